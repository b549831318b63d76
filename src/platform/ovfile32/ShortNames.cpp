#include "ShortNames.h"

#include "CodePages.h"

#include <cstring>

namespace ovf {

namespace {

bool IsShortChar(char ch)
{
    if ((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9'))
        return true;
    return ch != '\0' && std::strchr("!#$%&'()-@^_`{}~", ch) != nullptr;
}

// The characters of a name part as an alias holds them.
std::string AliasChars(const std::string& strPart)
{
    std::u32string text;
    if (!DecodeUtf8(strPart, text)) {
        text.clear();
        for (char ch : strPart)
            text.push_back(static_cast<unsigned char>(ch) < 0x80 ? static_cast<char32_t>(ch) : 0xFFFD);
    }
    std::string str;
    for (char32_t c : text) {
        if (c == ' ' || c == '.')
            continue;
        const char ch = c < 0x80 ? static_cast<char>(c) : '\0';
        if (ch >= 'a' && ch <= 'z')
            str.push_back(static_cast<char>(ch - 0x20));
        else if (IsShortChar(ch))
            str.push_back(ch);
        else
            str.push_back('_');
    }
    return str;
}

void AppendDigits(std::uint32_t nValue, int nDigits, std::string& str)
{
    static constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    char buf[8];
    for (int i = nDigits - 1; i >= 0; --i) {
        buf[i] = kDigits[nValue % 36];
        nValue /= 36;
    }
    str.append(buf, static_cast<std::size_t>(nDigits));
}

} // namespace

bool IsLegalShortName(const std::string& strName)
{
    const auto nDot = strName.find('.');
    const std::string strBase = strName.substr(0, nDot);
    const std::string strExt = nDot == std::string::npos ? std::string() : strName.substr(nDot + 1);
    if (strBase.empty() || strBase.size() > 8 || strExt.size() > 3)
        return false;
    if (nDot != std::string::npos && strExt.empty())
        return false;
    for (char ch : strBase)
        if (!IsShortChar(ch))
            return false;
    for (char ch : strExt)
        if (!IsShortChar(ch))
            return false;
    return true;
}

std::string UpperAscii(std::string str)
{
    for (char& ch : str)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 0x20);
    return str;
}

std::uint32_t NameHash(const std::string& strName, unsigned nAttempt)
{
    std::uint32_t h = 2166136261u;
    auto mix = [&h](unsigned char b) {
        h ^= b;
        h *= 16777619u;
    };
    for (char ch : strName)
        mix(static_cast<unsigned char>(ch));
    if (nAttempt > 0) {
        mix(0);
        for (int i = 0; i < 4; ++i)
            mix(static_cast<unsigned char>(nAttempt >> (8 * i)));
    }
    return h;
}

std::string AliasCandidate(const std::string& strName, unsigned nAttempt)
{
    std::size_t nStart = strName.find_first_not_of('.');
    if (nStart == std::string::npos)
        nStart = strName.size();
    const std::string strRest = strName.substr(nStart);
    const auto nDot = strRest.rfind('.');
    const std::string strBase = AliasChars(strRest.substr(0, nDot));
    const std::string strExt =
        AliasChars(nDot == std::string::npos ? std::string() : strRest.substr(nDot + 1)).substr(0, 3);

    const bool bWide = nAttempt >= 8;
    std::string strAlias = strBase.empty() ? std::string("_") : strBase.substr(0, bWide ? 2 : 4);
    strAlias.push_back('~');
    const std::uint32_t h = NameHash(strName, nAttempt);
    if (bWide)
        AppendDigits(h % (36u * 36 * 36 * 36 * 36), 5, strAlias);
    else
        AppendDigits(h % (36u * 36 * 36), 3, strAlias);
    if (!strExt.empty())
        strAlias += "." + strExt;
    return strAlias;
}

} // namespace ovf


