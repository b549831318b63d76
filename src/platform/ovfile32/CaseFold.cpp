#include "CaseFold.h"

#include "CodePages.h"

namespace ovf {

char32_t FoldChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'A' && c <= 'Z') ? c + 0x20 : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130)
            return 'i';
        if (c == 0x178)
            return 0xFF;
        const bool bEvenUpper = (c <= 0x137) || (c >= 0x14A && c <= 0x177);
        if (bEvenUpper)
            return (c % 2 == 0) ? c + 1 : c;
        if (c >= 0x139 && c <= 0x148)
            return (c % 2 == 1) ? c + 1 : c;
        if (c >= 0x179 && c <= 0x17E)
            return (c % 2 == 1) ? c + 1 : c;
        return c;
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2)
        return c + 0x20;
    if (c == 0x386)
        return 0x3AC;
    if (c >= 0x388 && c <= 0x38A)
        return c + 37;
    if (c == 0x38C)
        return 0x3CC;
    if (c == 0x38E || c == 0x38F)
        return c + 63;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    return c;
}

std::string FoldName(const std::string& strUtf8)
{
    bool bAscii = true;
    for (char ch : strUtf8)
        bAscii = bAscii && static_cast<unsigned char>(ch) < 0x80;
    if (bAscii) {
        std::string str = strUtf8;
        for (char& ch : str)
            if (ch >= 'A' && ch <= 'Z')
                ch = static_cast<char>(ch + 0x20);
        return str;
    }
    std::u32string text;
    if (!DecodeUtf8(strUtf8, text))
        return strUtf8;
    std::string str;
    for (char32_t c : text)
        AppendUtf8(FoldChar(c), str);
    return str;
}

} // namespace ovf
