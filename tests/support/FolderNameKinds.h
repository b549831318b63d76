// Kinds of file names that fill a large folder, for the tests that count folder reads: each
// kind numbers its names, so that any count of distinct names can be had.
#pragma once

#include <string>
#include <vector>

namespace name_kinds {

struct TNameKind {
    const char* pszKind;
    std::string (*Name)(unsigned nIndex);
};

// Short: legal 8.3 names. Long: a plain long name. Alias-needing: short but not 8.3 (a space,
// two dots), so that every one needs an alias built from the same four letters. Long prefix:
// names as cameras and exports make them, equal up to the last digits. Mixed case: letter case
// that varies from name to name, 8.3 and long.
inline const std::vector<TNameKind>& Kinds()
{
    static const std::vector<TNameKind> kinds{
        {"short", [](unsigned n) { return "f" + std::to_string(n) + ".dat"; }},
        {"long", [](unsigned n) { return "A rather long document name number " + std::to_string(n) + ".text"; }},
        {"alias-needing", [](unsigned n) { return "doc " + std::to_string(n) + ".v1.txt"; }},
        {"long prefix",
         [](unsigned n) { return "2024-06-01 Holiday Trip - Camera Roll Export IMG_" + std::to_string(100000 + n) + ".jpeg"; }},
        {"mixed case",
         [](unsigned n) { return (n % 2 ? "Photo" : "pHOTO") + std::to_string(n) + (n % 3 ? ".Jpg" : " Of The Day.JPG"); }},
    };
    return kinds;
}

} // namespace name_kinds
