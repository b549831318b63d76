// Built-in single-byte code pages (generated; see GenerateCodePageTables.py).
#pragma once

#include <cstddef>

namespace ovf {

struct TBuiltinCodePage {
    const char* pszName;          // iconv name
    char16_t upper[128];          // bytes 0x80..0xFF; 0 = undefined. Bytes below 0x80 are ASCII.
};

struct TCompositionPair {
    char32_t base;
    char32_t mark;
    char32_t composed;
};

extern const TBuiltinCodePage kBuiltinCodePages[];
extern const std::size_t kBuiltinCodePageCount;
extern const TCompositionPair kCompositionPairs[];
extern const std::size_t kCompositionPairCount;

} // namespace ovf
