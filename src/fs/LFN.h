// The long-file-name functions: search, paths, folders, drives, attributes, sizes and times,
// over the file library. Strings are terminated ANSI; paths at most 260 bytes with the
// terminator (on the guest's own machine as long as the system allows: LFN_TotalPathLength), one
// element at most 256.
#pragma once

#include "OVFTypes.h"
#include "Time.h"
#include "TFile.h"

#include <cstdint>

using LFN_HANDLE = DWORD;   // a search handle; 0 = none

// Searches. FindFirstFile gives 0 when nothing was found.
LFN_HANDLE LFN_FindFirstFile(const char* pszName, WIN32_FIND_DATA* pData);
BOOL LFN_FindNextFile(LFN_HANDLE hFind, WIN32_FIND_DATA* pData);
BOOL LFN_FindClose(LFN_HANDLE hFind);   // 0 is closed already
// The entry of one path (FindFirst + FindClose); on failure *pData is all zero.
BOOL LFN_GetStatus(const char* pszPath, WIN32_FIND_DATA* pData);
// Supplies the long name as the short one where an entry has none (a legal 8.3 name).
void FillAlternateName(WIN32_FIND_DATA* pData);
// The entry's whole size, both halves.
inline std::uint64_t FindDataSize(const WIN32_FIND_DATA& data)
{
    return (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

// Calls pCallback for each entry of pszFolder matching pszPattern that is a plain file or has
// an attribute bit in nAttributeMask ("." and ".." never); the callback returns 0 to stop.
// Returns the last callback result, 1 when it was never called.
using LFN_DirCallback = int (*)(WIN32_FIND_DATA* pData, void* pContext);
int LFN_Dir(LFN_DirCallback pCallback, const char* pszFolder, const char* pszPattern, DWORD nAttributeMask,
            WIN32_FIND_DATA* pData, void* pContext);

// Paths and folders.
DWORD LFN_GetShortPathName(const char* pszLongPath, char* pszShortPath, DWORD nSize);   // lower case; 0 on failure
int LFN_getcwd(char* pBuffer, int nSize);                 // nonzero on success
int LFN_mkdir(const char* pszPath, BOOL bCreateParents);  // 0 or -1
int LFN_rmdir(const char* pszPath, BOOL bRemoveParents);  // 0 or nonzero; a missing folder is 0
int LFN_chdir(const char* pszPath);                       // 0 or -1
int LFN_LeafLength();                                     // 256
int LFN_TotalPathLength();                                // 260; longer on the guest's own machine
int LFN_splitpath(const char* pszPath, char* pszDrive, char* pszDir, char* pszName, char* pszExt);
int LFN_makepath(char* pszPath, const char* pszDrive, const char* pszDir, const char* pszName, const char* pszExt);

// Drives: LFN_getdrive counts from 1 (A), LFN_chdrive from 0 (A).
int LFN_getdrive();
int LFN_chdrive(int nDrive);
// nDrive: 1 = A .. 26 = Z; 0 or above 26 the current drive.
BOOL LFN_GetVolumeName(int nDrive, char* pBuffer, int nSize);
DWORD LFN_GetFreeSpace(int nDrive);
DWORD LFN_GetFileNameSizeOnVolume(int nDrive);

// Attributes and sizes.
BOOL LFN_FileExists(const char* pszPath);                 // drive roots always exist
BOOL LFN_GetFileSize(const char* pszPath, DWORD* pSize);
BOOL LFN_GetFileAttributes(const char* pszPath, BYTE* pAttributes);
BOOL LFN_SetFileAttributes(const char* pszPath, BYTE bAttributes);
int LFN_IsDirectory(const char* pszPath);                 // 1 folder, 0 not, -1 unknown

// Times.
// dwMacTime: seconds since 1904 in local time, big-endian as it came from the wire.
BOOL LFN_SetFileTimeWithMacTime(const char* pszPath, DWORD dwMacTime);
// As LFN_SetFileTimeWithMacTime, and the attributes become (current & bKeep) | bSet, in one
// read and one write of the file's status.
BOOL LFN_SetFileTimeAndAttributes(const char* pszPath, DWORD dwMacTime, BYTE bKeep, BYTE bSet);
// The time and the attributes of a file open for writing (a file received under a temporary
// name gets them before it takes its final name, which keeps them).
BOOL LFN_SetOpenFileTimeAndAttributes(DWORD hFile32, DWORD dwMacTime, BYTE bAttributes);
void LFN_FileTimeToCTime(const FILETIME* pFileTime, CTime* pTime);
void LFN_CTimeToFileTime(const CTime* pTime, FILETIME* pFileTime);
