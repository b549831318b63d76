// The naming rules of a volume, and fitting names and local paths to them.
#pragma once

#include "WinTypes.h"

struct NameRules {
    BYTE nFileSystem; // 2 a Mac volume, 0 an 8.3 volume, 1 this machine's long-name volume
    BYTE nLanguage;
    WORD nMaxTotal;
    WORD nMaxName;
    WORD nMaxExtension;
};

// The rules of a remote volume whose host speaks a protocol below 9 (version 9 hosts send theirs).
inline constexpr NameRules kMacVolumeRules{2, 0, 31, 31, 15};
inline constexpr NameRules kShortNameVolumeRules{0, 0, 12, 8, 4};

// Mode flags of MungeName.
inline constexpr DWORD kMungeForRemote = 0;
inline constexpr DWORD kMungeForLocal = 1;

// This machine as a destination: long names of up to 256 characters.
void GetLocalNameRules(NameRules* pRules);

// Writes into pszOut (MAX_PATH bytes) the leaf name fitted to the rules.
void MungeName(const char* pszName, char* pszOut, const NameRules& rules, DWORD dwMode);

// Writes into pszOut (MAX_PATH bytes) the path with its last element fitted to the local rules.
// FALSE, with pszOut empty, when the result would not fit (the path is too long).
BOOL MungeLocalPath(const char* pszPath, char* pszOut);
