// Whole folder trees on the local side: counting them for a copy and deleting them.
#pragma once

#include "WinTypes.h"

// Results of CountTree, DeleteTree and DeleteLocalFile.
inline constexpr int kTreeOk = 0;
inline constexpr int kTreeListingFailed = 1;  // a folder could not be listed
inline constexpr int kTreeNotFound = 2;       // CountTree: nothing at the path
inline constexpr int kTreeNotAFolder = 2;     // DeleteTree, DeleteLocalFile: the wrong kind of item
inline constexpr int kTreeFolderRemains = 3;  // a folder could not be removed

// Counts the files under pszPath (or the file itself) and their bytes. The byte total is
// 32 bits, as the transfers carry it, and wraps past 4 GB.
int CountTree(const char* pszPath, DWORD* pnFiles, DWORD* pnBytes);

// Deletes the folder pszPath with everything in it, read-only files included. A missing path
// is not an error (0); a file, or a drive root, gives 2 and nothing is deleted.
int DeleteTree(const char* pszPath);

// Deletes the file pszPath, read-only or not, without changing the file (only its name goes).
// A missing path gives 0, a folder 2. A file that cannot be removed is not reported here; its
// folder's removal fails later.
int DeleteLocalFile(const char* pszPath, BOOL bUnused = FALSE);

// Makes way for a complete file about to take the name pszPath: a folder there goes with its
// tree; a file there (read-only too) is left to the rename that replaces it. False when a
// folder there could not be deleted.
bool MakeWayForFile(const char* pszPath);
