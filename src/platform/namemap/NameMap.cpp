#include "NameMap.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

struct TMFNContext {
    WORD nFileSystem;
    WORD nLanguage;
    std::size_t nMaxTotal;
    std::size_t nMaxName;
    std::size_t nMaxExtension; // dot included
    DWORD dwMode;
};

namespace {

constexpr int kMaxUniqueTries = 99999;

// A name as a list of characters, each one or more bytes of the source encoding.
using TChars = std::vector<std::string>;

// Length of the UTF-8 sequence that starts at p, or 1 for a byte that starts none: such a byte
// (another code page's character) is one character of its own.
std::size_t SequenceLength(const unsigned char* p, std::size_t nLeft)
{
    std::size_t n = 1;
    if (p[0] >= 0xC2 && p[0] <= 0xDF)
        n = 2;
    else if (p[0] >= 0xE0 && p[0] <= 0xEF)
        n = 3;
    else if (p[0] >= 0xF0 && p[0] <= 0xF4)
        n = 4;
    if (n > nLeft)
        return 1;
    for (std::size_t i = 1; i < n; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 1;
    return n;
}

bool IsShortNameSymbol(char c) { return std::strchr("!#$%&'()-@^_`{}~", c) != nullptr; }

// One source character as the target accepts it; empty when it is dropped.
std::string CleanCharacter(std::string_view ch, WORD nFileSystem)
{
    const unsigned char c = static_cast<unsigned char>(ch[0]);
    if (ch.size() > 1 || c >= 0x80)
        return nFileSystem == kMFNFileSystemShort ? "_" : std::string(ch);
    if (c < 0x20 || c == 0x7F)
        return "_";
    switch (nFileSystem) {
    case kMFNFileSystemShort:
        if (c == ' ')
            return {};
        if (c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || IsShortNameSymbol(char(c)))
            return std::string(1, char(c));
        if (c >= 'a' && c <= 'z')
            return std::string(1, char(c - 'a' + 'A'));
        return "_";
    case kMFNFileSystemMac:
        return c == ':' ? "_" : std::string(1, char(c));
    default:
        return std::strchr("\\/:*?\"<>|", c) ? "_" : std::string(1, char(c));
    }
}

TChars CleanName(const char* pszSource, WORD nFileSystem)
{
    TChars chars;
    const auto* p = reinterpret_cast<const unsigned char*>(pszSource);
    std::size_t nLeft = std::strlen(pszSource);
    while (nLeft > 0) {
        const std::size_t n = SequenceLength(p, nLeft);
        std::string clean = CleanCharacter(std::string_view(reinterpret_cast<const char*>(p), n), nFileSystem);
        if (!clean.empty())
            chars.push_back(std::move(clean));
        p += n;
        nLeft -= n;
    }
    return chars;
}

bool IsChar(const std::string& ch, char c) { return ch.size() == 1 && ch[0] == c; }

void TrimTrailing(TChars& chars, std::string_view set)
{
    while (!chars.empty() && chars.back().size() == 1 && set.find(chars.back()[0]) != std::string_view::npos)
        chars.pop_back();
}

// Keeps the leading characters that fit in nBytes.
void CutToBytes(TChars& chars, std::size_t nBytes)
{
    std::size_t nUsed = 0;
    std::size_t i = 0;
    for (; i < chars.size() && nUsed + chars[i].size() <= nBytes; ++i)
        nUsed += chars[i].size();
    chars.resize(i);
}

std::string Join(const TChars& chars)
{
    std::string s;
    for (const std::string& ch : chars)
        s += ch;
    return s;
}

struct TSplitName {
    TChars name;
    TChars extension;       // without its dot; empty when the name has none
    std::size_t nNameRoom;  // bytes the name part may take beside the extension
};

TSplitName SplitAndFit(TChars chars, const TMFNContext& rules)
{
    const bool bShort = rules.nFileSystem == kMFNFileSystemShort;
    const bool bLong = !bShort && rules.nFileSystem != kMFNFileSystemMac;
    if (bShort)
        chars.erase(chars.begin(), std::find_if(chars.begin(), chars.end(), [](const std::string& ch) { return !IsChar(ch, '.'); }));
    if (bLong)
        TrimTrailing(chars, " .");

    TSplitName split;
    const auto itDot = std::find_if(chars.rbegin(), chars.rend(), [](const std::string& ch) { return IsChar(ch, '.'); });
    const std::size_t nDot = itDot == chars.rend() ? 0 : std::size_t(chars.rend() - itDot) - 1;
    if (nDot > 0 && nDot + 1 < chars.size()) {
        split.name.assign(chars.begin(), chars.begin() + std::ptrdiff_t(nDot));
        split.extension.assign(chars.begin() + std::ptrdiff_t(nDot) + 1, chars.end());
    } else {
        split.name = std::move(chars);
    }
    if (bShort)
        std::erase_if(split.name, [](const std::string& ch) { return IsChar(ch, '.'); });

    // The extension keeps room for its dot and for at least one character of name.
    const std::size_t nExtensionRoom = std::min(rules.nMaxExtension, rules.nMaxTotal - 1);
    CutToBytes(split.extension, nExtensionRoom > 1 ? nExtensionRoom - 1 : 0);
    if (bLong)
        TrimTrailing(split.extension, " ");
    const std::size_t nExtensionBytes = split.extension.empty() ? 0 : Join(split.extension).size() + 1;
    split.nNameRoom = std::min(rules.nMaxName, rules.nMaxTotal - nExtensionBytes);
    CutToBytes(split.name, split.nNameRoom);
    if (bLong && split.extension.empty())
        TrimTrailing(split.name, " .");
    const bool bOnlyDots = std::all_of(split.name.begin(), split.name.end(), [](const std::string& ch) { return IsChar(ch, '.'); });
    if (bOnlyDots && (split.extension.empty() || split.name.empty()))
        split.name.assign(1, "_");
    return split;
}

// The name with a suffix before its extension; the name part is cut to make room for the suffix.
std::string Compose(const TSplitName& split, const std::string& suffix)
{
    TChars name = split.name;
    CutToBytes(name, split.nNameRoom - suffix.size());
    std::string s = Join(name) + suffix;
    if (!split.extension.empty())
        s += "." + Join(split.extension);
    return s;
}

void CopyOut(const std::string& name, char* pszOut)
{
    std::memcpy(pszOut, name.c_str(), name.size() + 1);
}

} // namespace

int MFN_Initialize(HMFN* phContext, WORD nFileSystem, WORD nLanguage, WORD nMaxTotal, WORD nMaxName,
                   WORD nMaxExtension, DWORD dwMode)
{
    if (!phContext)
        return kMFNBadArgument;
    *phContext = nullptr;
    if (nMaxTotal == 0 || nMaxName == 0)
        return kMFNBadArgument;
    // Whatever the rules say, the name must fit the out buffer with its terminator.
    const std::size_t nTotal = std::min<std::size_t>(nMaxTotal, kMFNOutSize - 1);
    *phContext = new TMFNContext{nFileSystem, nLanguage, nTotal, std::min<std::size_t>(nMaxName, nTotal),
                                 nMaxExtension, dwMode};
    return kMFNOk;
}

int MFN_Munge(HMFN hContext, const char* pszSource, char* pszOut, TMFNUniqueProc pfnUnique, std::uintptr_t nContext)
{
    if (!hContext || !pszSource || !pszOut)
        return kMFNBadArgument;
    const TSplitName split = SplitAndFit(CleanName(pszSource, hContext->nFileSystem), *hContext);
    const std::string first = Compose(split, {});
    CopyOut(first, pszOut);
    if (!pfnUnique || pfnUnique(nContext, first.c_str()))
        return kMFNOk;

    for (int n = 1; n <= kMaxUniqueTries; ++n) {
        const std::string suffix = "~" + std::to_string(n);
        if (suffix.size() > split.nNameRoom)
            break;
        const std::string candidate = Compose(split, suffix);
        if (pfnUnique(nContext, candidate.c_str())) {
            CopyOut(candidate, pszOut);
            return kMFNOk;
        }
    }
    return kMFNNoUniqueName;
}

void MFN_Terminate(HMFN* phContext)
{
    if (!phContext)
        return;
    delete *phContext;
    *phContext = nullptr;
}

int MFN_GetFileSystemAndLanguage(WORD* pFileSystem, WORD* pLanguage)
{
    if (!pFileSystem || !pLanguage)
        return 0;
    *pFileSystem = kMFNFileSystemLong;
    *pLanguage = 0;
    return 1;
}
