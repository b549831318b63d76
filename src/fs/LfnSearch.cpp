#include "LFN.h"

#include "OVFile32.h"

#include <cstring>
#include <string>

LFN_HANDLE LFN_FindFirstFile(const char* pszName, WIN32_FIND_DATA* pData)
{
    const DWORD hFind = FindFirstFile32(pszName, pData, nullptr);
    return hFind == kOVF_invalid ? 0 : hFind;
}

BOOL LFN_FindNextFile(LFN_HANDLE hFind, WIN32_FIND_DATA* pData) { return FindNextFile32(hFind, pData, nullptr); }

BOOL LFN_FindClose(LFN_HANDLE hFind)
{
    if (hFind == 0)
        return 1;
    return FindClose32(hFind, nullptr);
}

BOOL LFN_GetStatus(const char* pszPath, WIN32_FIND_DATA* pData)
{
    const LFN_HANDLE hFind = LFN_FindFirstFile(pszPath, pData);
    if (hFind == 0) {
        *pData = WIN32_FIND_DATA{};
        return FALSE;
    }
    LFN_FindClose(hFind);
    return 1;
}

void FillAlternateName(WIN32_FIND_DATA* pData)
{
    if (pData->cAlternateFileName[0] != '\0')
        return;
    // Only a legal 8.3 name lacks an alias, so it fits; cut anyway rather than overrun.
    std::strncpy(pData->cAlternateFileName, pData->cFileName, sizeof pData->cAlternateFileName - 1);
    pData->cAlternateFileName[sizeof pData->cAlternateFileName - 1] = '\0';
}

int LFN_Dir(LFN_DirCallback pCallback, const char* pszFolder, const char* pszPattern, DWORD nAttributeMask,
            WIN32_FIND_DATA* pData, void* pContext)
{
    std::string strSearch = pszFolder ? pszFolder : "";
    if (!strSearch.empty() && strSearch.back() != '\\')
        strSearch += '\\';
    strSearch += pszPattern ? pszPattern : "";
    const LFN_HANDLE hFind = LFN_FindFirstFile(strSearch.c_str(), pData);
    if (hFind == 0)
        return 1;
    int nResult = 1;
    do {
        const DWORD dwAttributes = pData->dwFileAttributes;
        const bool bPlain = (dwAttributes & kOVF_attrNormal) != 0 ||
                            (dwAttributes & (kOVF_attrReadOnly | kOVF_attrHidden | kOVF_attrSystem | kOVF_attrDirectory)) == 0;
        const bool bDots = std::strcmp(pData->cFileName, ".") == 0 || std::strcmp(pData->cFileName, "..") == 0;
        if (!bDots && (bPlain || (dwAttributes & nAttributeMask) != 0)) {
            nResult = pCallback(pData, pContext);
            if (nResult == 0)
                break;
        }
    } while (LFN_FindNextFile(hFind, pData));
    LFN_FindClose(hFind);
    return nResult;
}
