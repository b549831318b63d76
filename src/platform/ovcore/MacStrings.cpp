#include "MacStrings.h"

#include "OVFCodePages.h"

#include <cstring>

namespace {
BOOL Convert(OVFCharSet from, OVFCharSet to, const char* pszSource, char* pDest, std::size_t nDestSize, char chReplacement)
{
    if (nDestSize == 0)
        nDestSize = std::strlen(pszSource) + 1;
    return OVF_ConvertString(from, to, pszSource, pDest, nDestSize, chReplacement) ? 1 : FALSE;
}
} // namespace

BOOL OVAnsiToMacStr(const char* pszSource, char* pDest, std::size_t nDestSize, char chReplacement)
{
    return Convert(OVFCharSet::ansi, OVFCharSet::mac, pszSource, pDest, nDestSize, chReplacement);
}

BOOL OVMacToAnsiStr(const char* pszSource, char* pDest, std::size_t nDestSize, char chReplacement)
{
    return Convert(OVFCharSet::mac, OVFCharSet::ansi, pszSource, pDest, nDestSize, chReplacement);
}
