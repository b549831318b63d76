#include "GuestLocation.h"

#include <cctype>
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
        location.strUser = authority.substr(0, nAt);
        authority = authority.substr(nAt + 1);
    }
    if (const std::size_t nColon = authority.rfind(':'); nColon != std::string_view::npos && authority.find(']') == std::string_view::npos) {
        const std::string strPort(authority.substr(nColon + 1));
        char* pEnd = nullptr;
        const unsigned long nPort = std::strtoul(strPort.c_str(), &pEnd, 10);
        if (strPort.empty() || *pEnd != '\0' || nPort == 0 || nPort > 65535)
            return "'" + strPort + "' is not a port number";
        location.nPort = static_cast<std::uint16_t>(nPort);
        authority = authority.substr(0, nColon);
    }
    if (authority.empty())
        return strForm;
    location.strHost = authority;

    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        const std::size_t n = rest.find('/');
        if (rest.substr(0, n).size() > 0)
            parts.push_back(rest.substr(0, n));
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
            return "'" + std::string(parts[0]) + "' is not a drive letter or Desktop";
        location.strFolder = strRoot;
        location.strParent = strRoot;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            if (parts[i] == "." || parts[i] == ".." || parts[i].find('\\') != std::string_view::npos)
                return "'" + std::string(parts[i]) + "' cannot be part of a location";
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

bool SameHost(const TGuestLocation& a, const TGuestLocation& b)
{
    return a.strHost == b.strHost && a.nPort == b.nPort && a.strUser == b.strUser;
}
