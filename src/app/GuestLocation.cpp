#include "GuestLocation.h"

#include <cctype>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace {
constexpr std::string_view kScheme = "vantry://";
constexpr std::string_view kDesktop = "Desktop";

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}
} // namespace

std::string PercentDecoded(std::string_view text, std::string* pDecoded)
{
    std::string strDecoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            strDecoded += text[i];
            continue;
        }
        const auto digit = [&](std::size_t n) -> int {
            if (n >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[n])))
                return -1;
            return std::isdigit(static_cast<unsigned char>(text[n])) ? text[n] - '0' : (std::tolower(static_cast<unsigned char>(text[n])) - 'a' + 10);
        };
        const int nHigh = digit(i + 1);
        const int nLow = digit(i + 2);
        if (nHigh < 0 || nLow < 0)
            return "'" + std::string(text.substr(i, 3)) + "' is not a percent escape (write %25 for a percent sign)";
        const int nByte = nHigh * 16 + nLow;
        // No name holds a control character (a terminal would also act on it in a message).
        if (nByte < 0x20 || nByte == 0x7F)
            return "'" + std::string(text.substr(i, 3)) + "' is a control character, which no name holds";
        strDecoded += static_cast<char>(nByte);
        i += 2;
    }
    *pDecoded = std::move(strDecoded);
    return {};
}

std::string ParseGuestLocation(const std::string& strText, TGuestLocation* pLocation)
{
    TGuestLocation location;
    const std::string strForm = "'" + strText + "' is not a location of the form vantry://[USER@]HOST[:PORT]/DRIVE/path";
    if (strText.compare(0, kScheme.size(), kScheme) != 0)
        return strForm;
    std::string_view rest = std::string_view(strText).substr(kScheme.size());
    const std::size_t nSlash = rest.find('/');
    std::string_view authority = rest.substr(0, nSlash);
    rest = nSlash == std::string_view::npos ? std::string_view() : rest.substr(nSlash + 1);
    if (const std::size_t nAt = authority.rfind('@'); nAt != std::string_view::npos) {
        if (std::string strError = PercentDecoded(authority.substr(0, nAt), &location.strUser); !strError.empty())
            return strError;
        authority = authority.substr(nAt + 1);
    }
    // An IPv6 address is written in brackets, so that its colons are not taken for the port's.
    std::string_view host = authority;
    std::string_view port;
    bool bHasPort = false;
    if (!authority.empty() && authority[0] == '[') {
        const std::size_t nClose = authority.find(']');
        if (nClose == std::string_view::npos)
            return strForm;
        host = authority.substr(1, nClose - 1);
        const std::string_view after = authority.substr(nClose + 1);
        if (!after.empty() && after[0] != ':')
            return strForm;
        bHasPort = !after.empty();
        port = bHasPort ? after.substr(1) : std::string_view();
    } else if (const std::size_t nColon = authority.rfind(':'); nColon != std::string_view::npos) {
        host = authority.substr(0, nColon);
        port = authority.substr(nColon + 1);
        bHasPort = true;
    }
    if (bHasPort) {
        const std::string strPort(port);
        char* pEnd = nullptr;
        const unsigned long nPort = std::strtoul(strPort.c_str(), &pEnd, 10);
        if (strPort.empty() || !std::isdigit(static_cast<unsigned char>(strPort[0])) || *pEnd != '\0' || nPort == 0 ||
            nPort > 65535)
            return "'" + strPort + "' is not a port number";
        location.nPort = static_cast<std::uint16_t>(nPort);
    }
    if (std::string strError = PercentDecoded(host, &location.strHost); !strError.empty())
        return strError;
    if (location.strHost.empty())
        return strForm;

    std::vector<std::string> parts;
    while (!rest.empty()) {
        const std::size_t n = rest.find('/');
        if (const std::string_view part = rest.substr(0, n); !part.empty()) {
            std::string strPart;
            if (std::string strError = PercentDecoded(part, &strPart); !strError.empty())
                return strError;
            parts.push_back(std::move(strPart));
        }
        rest = n == std::string_view::npos ? std::string_view() : rest.substr(n + 1);
    }
    if (!parts.empty()) {
        std::string_view drive = parts[0];
        if (drive.size() == 2 && drive[1] == ':')
            drive = drive.substr(0, 1);
        std::string strRoot;
        if (EqualNoCase(drive, kDesktop))
            strRoot = kDesktop;
        else if (drive.size() == 1 && std::isalpha(static_cast<unsigned char>(drive[0])))
            strRoot = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(drive[0])))) + ":\\";
        else
            return "'" + parts[0] + "' is not a drive letter or Desktop";
        location.strFolder = strRoot;
        location.strParent = strRoot;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (parts[i] == "." || parts[i] == ".." || parts[i].find_first_of("/\\") != std::string::npos ||
                parts[i].find('\0') != std::string::npos)
                return "'" + parts[i] + "' cannot be part of a location";
            location.strParent = location.strFolder;
            location.strName = parts[i];
            if (location.strFolder.back() != '\\')
                location.strFolder += '\\';
            location.strFolder += parts[i];
        }
    }
    *pLocation = std::move(location);
    return {};
}

std::string RemoteDisplayPath(const std::string& strFolder)
{
    std::string strPath = strFolder;
    if (strPath.size() >= 2 && strPath[1] == ':') {
        strPath.erase(1, 1);
        strPath[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(strPath[0])));
    }
    for (char& c : strPath) {
        if (c == '\\')
            c = '/';
    }
    while (strPath.size() > 1 && strPath.back() == '/')
        strPath.pop_back();
    return strPath;
}

bool SameHost(const TGuestLocation& a, const TGuestLocation& b)
{
    return a.strHost == b.strHost && a.nPort == b.nPort && a.strUser == b.strUser;
}
