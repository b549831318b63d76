// Drives and volumes as the listings and the local pane see them. The label, free space and
// name length of a drive are the long-file-name layer's (LFN.h).
#pragma once

#include "WinTypes.h"

#include <string>

// DriveKind: 0 none, 1 removable, 2 fixed, 3 remote, 4 CD-ROM, 5 diskette.
inline constexpr int kDriveNone = 0;
inline constexpr int kDriveRemovable = 1;
inline constexpr int kDriveFixed = 2;
inline constexpr int kDriveRemote = 3;
inline constexpr int kDriveCdRom = 4;
inline constexpr int kDriveDiskette = 5;

// The kind of drive nIndex (0 = A .. 25 = Z), as the drive table configures it.
int GetDriveKind(int nIndex);

// The desktop folder offered as volume 0, as a path on one of the drives; empty when there is none.
std::string GetDesktopPath();

// TRUE when both paths lie on the same volume: both on the desktop ("Desktop..."), or the same
// drive letter in either case; two paths without a drive count as the same volume.
BOOL IsSameVolume(const char* pszPathA, const char* pszPathB);
