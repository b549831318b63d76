#include "LFN.h"

#include "OVFile32.h"

#include <algorithm>

BOOL LFN_FileExists(const char* pszPath)
{
    return IsDriveRoot(pszPath) || OVF_EntryKind(pszPath) >= 0;
}

BOOL LFN_GetFileSize(const char* pszPath, DWORD* pSize)
{
    *pSize = 0;
    if (!LFN_FileExists(pszPath))
        return FALSE;
    WIN32_FIND_DATA data;
    const LFN_HANDLE hFind = LFN_FindFirstFile(pszPath, &data);
    if (hFind != 0) {
        // A size beyond 32 bits reads 0xFFFFFFFF: its low bits could read as an empty file.
        *pSize = static_cast<DWORD>(std::min<std::uint64_t>(FindDataSize(data), 0xFFFFFFFF));
        LFN_FindClose(hFind);
    }
    return 1;
}

BOOL LFN_GetFileAttributes(const char* pszPath, BYTE* pAttributes)
{
    CFileStatus status;
    if (!TFile::GetStatus(pszPath, status))
        return FALSE;
    *pAttributes = status.m_attribute;
    return 1;
}

BOOL LFN_SetFileAttributes(const char* pszPath, BYTE bAttributes)
{
    CFileStatus status;
    if (!TFile::GetStatus(pszPath, status))
        return FALSE;
    status.m_attribute = bAttributes;
    return TFile::TrySetStatus(pszPath, status);
}

// A drive root reads as a volume, not a folder.
int LFN_IsDirectory(const char* pszPath) { return IsDriveRoot(pszPath) ? 0 : OVF_EntryKind(pszPath); }
