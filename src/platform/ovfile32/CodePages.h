// Character-set machinery of the library (internal).
#pragma once

#include <string>
#include <unordered_map>

namespace ovf {

// A single-byte code page, or UTF-8.
struct TCodePage {
    std::string strName;
    bool bUtf8 = false;
    char32_t toUnicode[256] = {};                       // 0 = undefined (byte 0 is never used)
    std::unordered_map<char32_t, unsigned char> fromUnicode;
};

// Strict UTF-8: false on any invalid, overlong or surrogate sequence.
bool DecodeUtf8(const std::string& str, std::u32string& out);
void AppendUtf8(char32_t c, std::string& out);
// Canonical composition of base + combining mark pairs that the known code pages hold.
void ComposePairs(std::u32string& str);

// Loads a code page by name: a built-in table, else iconv; false when unknown or not single-byte.
bool LoadCodePage(const std::string& strName, TCodePage& page);

const TCodePage& AnsiPage();
const TCodePage& OemPage();
const TCodePage& MacPage();

// Names on disk are UTF-8; names at the interface are ANSI.
// ANSI -> disk: 0, or EINVAL when the text is not valid in the ANSI page.
int AnsiToDisk(const std::string& strAnsi, std::string& strDisk);
// Disk -> ANSI: false when the name cannot be expressed exactly (it is then not addressable).
bool DiskToAnsi(const std::string& strDisk, std::string& strAnsi);

} // namespace ovf
