#include "LFN.h"

#include "OVFDrives.h"
#include "OVFile32.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {

// The path without one trailing '\'.
std::string WithoutTrailingSlash(const char* pszPath)
{
    std::string str = pszPath ? pszPath : "";
    if (!str.empty() && str.back() == '\\')
        str.pop_back();
    return str;
}

// The text before the last '\' when there is one after the first character.
bool ParentOf(const std::string& strPath, std::string& strParent)
{
    const std::size_t nSlash = strPath.rfind('\\');
    if (nSlash == std::string::npos || nSlash == 0)
        return false;
    strParent = strPath.substr(0, nSlash);
    return true;
}

} // namespace

DWORD LFN_GetShortPathName(const char* pszLongPath, char* pszShortPath, DWORD nSize)
{
    if (pszShortPath == nullptr || nSize == 0)
        return 0;
    DWORD nLength = 0;
    if (IsDriveRoot(pszLongPath)) {
        std::strncpy(pszShortPath, pszLongPath, nSize - 1);
        pszShortPath[nSize - 1] = '\0';
        nLength = static_cast<DWORD>(std::strlen(pszShortPath));
    } else {
        nLength = GetShortPathName32(pszLongPath, pszShortPath, static_cast<WORD>(nSize));
        if (nLength == 0)
            return 0;
    }
    for (DWORD i = 0; i < nLength; ++i)
        pszShortPath[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(pszShortPath[i])));
    return nLength;
}

int LFN_getcwd(char* pBuffer, int nSize)
{
    if (nSize <= 0)
        return 0;
    return getcwd32(pBuffer, static_cast<WORD>(nSize), nullptr);
}

int LFN_mkdir(const char* pszPath, BOOL bCreateParents)
{
    if (IsDriveRoot(pszPath))
        return 0;
    const std::string strPath = WithoutTrailingSlash(pszPath);
    std::string strParent;
    if (bCreateParents && ParentOf(strPath, strParent)) {
        // Every missing ancestor is made; one that exists already is fine.
        if (const int nResult = LFN_mkdir(strParent.c_str(), 1))
            return nResult;
    }
    if (LFN_FileExists(strPath.c_str()))
        return bCreateParents ? 0 : -1;
    return mkdir32(strPath.c_str());
}

int LFN_rmdir(const char* pszPath, BOOL bRemoveParents)
{
    if (IsDriveRoot(pszPath))
        return 0;
    const std::string strPath = WithoutTrailingSlash(pszPath);
    if (LFN_FileExists(strPath.c_str())) {
        // Short paths are plain ASCII, the same text in every code page.
        char szShort[MAX_PATH];
        if (LFN_GetShortPathName(strPath.c_str(), szShort, sizeof szShort) == 0)
            return -1;
        if (const int nResult = rmdir32(szShort))
            return nResult;
    }
    std::string strParent;
    if (bRemoveParents && ParentOf(strPath, strParent))
        return LFN_rmdir(strParent.c_str(), FALSE);
    return 0;
}

int LFN_chdir(const char* pszPath)
{
    char szShort[MAX_PATH] = {};
    LFN_GetShortPathName(pszPath, szShort, sizeof szShort);
    return OVF_SetCurrentDirectory(szShort) ? 0 : -1;
}

int LFN_LeafLength() { return static_cast<int>(MAX_ELEMENT); }

int LFN_TotalPathLength() { return static_cast<int>(OVF_PathLimit()); }

int LFN_splitpath(const char* pszPath, char* pszDrive, char* pszDir, char* pszName, char* pszExt)
{
    splitpath32(pszPath, pszDrive, pszDir, pszName, pszExt, nullptr);
    return 0;
}

int LFN_makepath(char* pszPath, const char* pszDrive, const char* pszDir, const char* pszName, const char* pszExt)
{
    makepath32(pszPath, pszDrive, pszDir, pszName, pszExt, nullptr);
    return 0;
}

int LFN_getdrive()
{
    char szDir[MAX_PATH - 1] = {};
    const DWORD nLength = OVF_GetCurrentDirectory(sizeof szDir, szDir);
    if (nLength == 0 || nLength >= sizeof szDir)
        return 0;
    const char* pColon = std::strchr(szDir, ':');
    if (pColon == nullptr || pColon == szDir)
        return 0;
    return std::toupper(static_cast<unsigned char>(pColon[-1])) - 'A' + 1;
}

int LFN_chdrive(int nDrive)
{
    std::string strRoot = ":\\";
    if (nDrive >= 0 && nDrive <= 25)
        strRoot.insert(strRoot.begin(), static_cast<char>('A' + nDrive));
    return OVF_SetCurrentDirectory(strRoot.c_str()) ? 0 : -1;
}
