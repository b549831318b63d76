#include "Volumes.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {
std::string Upper(const char* psz)
{
    std::string s(psz);
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}
} // namespace

BOOL IsSameVolume(const char* pszPathA, const char* pszPathB)
{
    const std::string a = Upper(pszPathA);
    const std::string b = Upper(pszPathB);
    const bool bDesktopA = a.starts_with("DESKTOP");
    const bool bDesktopB = b.starts_with("DESKTOP");
    if (bDesktopA || bDesktopB)
        return bDesktopA && bDesktopB ? 1 : FALSE;
    const std::size_t nColon = a.find(':');
    if (nColon != b.find(':'))
        return FALSE;
    return nColon == std::string::npos || a.compare(0, nColon, b, 0, nColon) == 0 ? 1 : FALSE;
}
