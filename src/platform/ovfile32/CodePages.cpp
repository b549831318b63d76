#include "CodePages.h"

#include "CodePageTables.h"
#include "LibraryState.h"
#include "OVFCodePages.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace ovf {

bool DecodeUtf8(const std::string& str, std::u32string& out)
{
    out.clear();
    out.reserve(str.size());
    const auto* p = reinterpret_cast<const unsigned char*>(str.data());
    const auto* pEnd = p + str.size();
    while (p < pEnd) {
        const unsigned char b = *p;
        if (b < 0x80) {
            out.push_back(b);
            ++p;
            continue;
        }
        int nMore;
        char32_t c;
        if ((b & 0xE0) == 0xC0) { nMore = 1; c = b & 0x1F; }
        else if ((b & 0xF0) == 0xE0) { nMore = 2; c = b & 0x0F; }
        else if ((b & 0xF8) == 0xF0) { nMore = 3; c = b & 0x07; }
        else return false;
        if (pEnd - p <= nMore)
            return false;
        for (int i = 1; i <= nMore; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (p[i] & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (c < kMin[nMore] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        out.push_back(c);
        p += nMore + 1;
    }
    return true;
}

void AppendUtf8(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void ComposePairs(std::u32string& str)
{
    std::u32string out;
    out.reserve(str.size());
    for (char32_t c : str) {
        if (!out.empty()) {
            const auto* pEnd = kCompositionPairs + kCompositionPairCount;
            const auto* it = std::find_if(kCompositionPairs, pEnd, [&](const TCompositionPair& pair) {
                return pair.base == out.back() && pair.mark == c;
            });
            if (it != pEnd) {
                out.back() = it->composed;
                continue;
            }
        }
        out.push_back(c);
    }
    str.swap(out);
}

namespace {

std::string NormalisedName(const std::string& strName)
{
    std::string strUpper;
    for (char ch : strName)
        if (ch != '-' && ch != '_')
            strUpper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
    if (strUpper == "MAC" || strUpper == "MACROMAN")
        return "MACINTOSH";
    if (strUpper == "WINDOWS1252")
        return "CP1252";
    if (strUpper == "IBM437")
        return "CP437";
    if (strUpper == "IBM850")
        return "CP850";
    return strUpper;
}

void FinishPage(TCodePage& page)
{
    for (int b = 0; b < 0x80; ++b)
        page.toUnicode[b] = static_cast<char32_t>(b);
    for (int b = 255; b >= 1; --b)
        if (page.toUnicode[b] != 0)
            page.fromUnicode[page.toUnicode[b]] = static_cast<unsigned char>(b);
}

bool LoadWithIconv(const std::string& strName, TCodePage& page)
{
    iconv_t cd = iconv_open("UTF-32LE", strName.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    bool bAsciiCompatible = true;
    for (int b = 1; b < 256; ++b) {
        char chIn = static_cast<char>(b);
        char32_t c = 0;
        char* pIn = &chIn;
        auto* pOut = reinterpret_cast<char*>(&c);
        std::size_t nIn = 1, nOut = sizeof c;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &pIn, &nIn, &pOut, &nOut) == static_cast<std::size_t>(-1) || nOut != 0)
            c = 0;
        if (b < 0x80 && c != static_cast<char32_t>(b))
            bAsciiCompatible = false;
        page.toUnicode[b] = c;
    }
    iconv_close(cd);
    return bAsciiCompatible;
}

} // namespace

bool LoadCodePage(const std::string& strName, TCodePage& page)
{
    page = TCodePage{};
    const std::string strKey = NormalisedName(strName);
    page.strName = strKey;
    if (strKey == "UTF8") {
        page.strName = "UTF-8";
        page.bUtf8 = true;
        return true;
    }
    for (std::size_t i = 0; i < kBuiltinCodePageCount; ++i) {
        if (strKey == kBuiltinCodePages[i].pszName) {
            for (int b = 0; b < 0x80; ++b)
                page.toUnicode[0x80 + b] = kBuiltinCodePages[i].upper[b];
            FinishPage(page);
            return true;
        }
    }
    if (!LoadWithIconv(strName, page))
        return false;
    FinishPage(page);
    return true;
}

const TCodePage& AnsiPage() { return State().ansiPage; }
const TCodePage& OemPage() { return State().oemPage; }
const TCodePage& MacPage() { return State().macPage; }

namespace {

// Decodes text of a page; an invalid byte or sequence becomes U+FFFD. False when any did.
bool Decode(const TCodePage& page, const std::string& str, std::u32string& out)
{
    if (page.bUtf8) {
        if (DecodeUtf8(str, out))
            return true;
        out.clear();
        // Salvage: valid sequences pass, each invalid byte becomes U+FFFD.
        std::size_t i = 0;
        while (i < str.size()) {
            std::size_t nLen = 1;
            const auto b = static_cast<unsigned char>(str[i]);
            if (b >= 0xF0) nLen = 4; else if (b >= 0xE0) nLen = 3; else if (b >= 0xC0) nLen = 2;
            std::u32string one;
            if (i + nLen <= str.size() && DecodeUtf8(str.substr(i, nLen), one) && one.size() == 1) {
                out.push_back(one[0]);
                i += nLen;
            } else {
                out.push_back(0xFFFD);
                ++i;
            }
        }
        return false;
    }
    out.clear();
    bool bAll = true;
    for (char ch : str) {
        const char32_t c = page.toUnicode[static_cast<unsigned char>(ch)];
        bAll = bAll && c != 0;
        out.push_back(c != 0 ? c : 0xFFFD);
    }
    return bAll;
}

// Encodes one character; false when the page has no equivalent.
bool EncodeOne(const TCodePage& page, char32_t c, std::string& out)
{
    if (c == 0xFFFD)
        return false;
    if (page.bUtf8) {
        AppendUtf8(c, out);
        return true;
    }
    const auto it = page.fromUnicode.find(c);
    if (it == page.fromUnicode.end())
        return false;
    out.push_back(static_cast<char>(it->second));
    return true;
}

} // namespace

int AnsiToDisk(const std::string& strAnsi, std::string& strDisk)
{
    const TCodePage& page = AnsiPage();
    if (page.bUtf8) {
        std::u32string tmp;
        if (!DecodeUtf8(strAnsi, tmp))
            return EINVAL;
        strDisk = strAnsi;
        return 0;
    }
    strDisk.clear();
    for (char ch : strAnsi) {
        const char32_t c = page.toUnicode[static_cast<unsigned char>(ch)];
        if (c == 0)
            return EINVAL;
        AppendUtf8(c, strDisk);
    }
    return 0;
}

bool DiskToAnsi(const std::string& strDisk, std::string& strAnsi)
{
    std::u32string text;
    if (!DecodeUtf8(strDisk, text))
        return false;
    const TCodePage& page = AnsiPage();
    if (page.bUtf8) {
        strAnsi = strDisk;
        return true;
    }
    strAnsi.clear();
    for (char32_t c : text)
        if (!EncodeOne(page, c, strAnsi))
            return false;
    // Only names that come back unchanged can be addressed.
    std::string strBack;
    return AnsiToDisk(strAnsi, strBack) == 0 && strBack == strDisk;
}

} // namespace ovf

using namespace ovf;

namespace {

const TCodePage& PageOf(OVFCharSet set)
{
    static const TCodePage utf8 = [] {
        TCodePage page;
        LoadCodePage("UTF-8", page);
        return page;
    }();
    switch (set) {
    case OVFCharSet::ansi: return AnsiPage();
    case OVFCharSet::oem: return OemPage();
    case OVFCharSet::mac: return MacPage();
    case OVFCharSet::utf8: break;
    }
    return utf8;
}

} // namespace

int OVF_SetAnsiCodePage(const char* pszName)
{
    TLock lock;
    TCodePage page;
    if (pszName == nullptr || !LoadCodePage(pszName, page))
        return EINVAL;
    State().ansiPage = std::move(page);
    DropFolderIndexes();
    return 0;
}

int OVF_SetOemCodePage(const char* pszName)
{
    TLock lock;
    TCodePage page;
    if (pszName == nullptr || !LoadCodePage(pszName, page) || page.bUtf8)
        return EINVAL;
    State().oemPage = std::move(page);
    return 0;
}

bool OVF_ConvertString(OVFCharSet from, OVFCharSet to, const char* pszSource, char* pDest,
                       std::size_t nDestSize, char chReplacement, std::size_t* pnLength)
{
    TLock lock;
    if (pnLength)
        *pnLength = 0;
    if (pDest == nullptr || nDestSize == 0)
        return false;
    const std::string strSource = pszSource ? pszSource : "";
    std::u32string text;
    bool bAll = Decode(PageOf(from), strSource, text);
    const TCodePage& target = PageOf(to);
    if (!target.bUtf8)
        ComposePairs(text);
    std::string strOut;
    for (char32_t c : text) {
        std::string strChar;
        if (!EncodeOne(target, c, strChar)) {
            bAll = false;
            strChar.assign(1, chReplacement);
        }
        if (strOut.size() + strChar.size() + 1 > nDestSize) {
            bAll = false;
            break;
        }
        strOut += strChar;
    }
    std::memcpy(pDest, strOut.data(), strOut.size());
    pDest[strOut.size()] = '\0';
    if (pnLength)
        *pnLength = strOut.size();
    return bAll;
}
