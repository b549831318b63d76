// The drive table: which drive letters exist and which POSIX folder each one stands for.
//
// Everything above this library speaks Windows-style paths ("C:\dir\file"); each configured
// letter A..Z maps onto one POSIX folder, opened once when it is configured, and no request
// ever reaches outside that folder (".." stops at the drive's root, symbolic links are never
// followed, names holding '/' or ':' are refused).
//
// The table is process-wide. The host application fills it from its configuration at start-up;
// tests fill it from temporary folders; a guest working on its own machine calls
// OVF_UseLocalMachineDrives() so that drive C: is "/" and a local POSIX path is C:\ followed by
// its components. Like every call of this library, these calls are meant for one thread
// (they are serialised internally, but the current directory is shared by all callers).
#pragma once

#include "OVFTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Maps drive cLetter ('A'..'Z', either case) onto the folder pszPosixDir, which must exist.
// Replaces any previous mapping of the letter. Returns 0, or an errno value (EINVAL for a bad
// letter or kind, or what opening the folder failed with).
int OVF_SetDrive(char cLetter, const char* pszPosixDir, OVFDriveKind kind, const char* pszLabel = "");
void OVF_RemoveDrive(char cLetter);
// Names on the drive match only as written, as a POSIX file system has them: no matching
// without regard to case, no short aliases. Off for a drive when it is set.
void OVF_SetDriveExactCase(char cLetter, bool bExactCase);

// Hides the names beginning with "." on the drive: searches skip them and paths through them are
// not found (so that nothing can be read, made or removed there). Off for a newly set drive.
void OVF_HideDotNames(char cLetter, bool bHide);
// The same for the desktop folder's volume; off when a desktop folder is set.
void OVF_HideDesktopDotNames(bool bHide);
// Removes every drive, the desktop folder and the current directory, and drops the folder indexes.
void OVF_ClearDrives();
// The guest's own machine: drive C: is "/" (fixed, names matched exactly), the desktop folder is
// ~/Desktop (or the home folder when there is none) and the current directory is the home folder;
// paths may be as long as the system allows (OVF_PathLimit), since they never cross the wire.
// Returns 0 or errno.
int OVF_UseLocalMachineDrives();
// The longest path, terminator included, that the calls accept: MAX_PATH (260), or PATH_MAX on
// the guest's own machine. OVF_ClearDrives restores MAX_PATH.
std::size_t OVF_PathLimit();

// What the volume layer needs to know of a drive. nIndex: 0 = A .. 25 = Z.
struct TOVFDriveInfo {
    OVFDriveKind kind = OVFDriveKind::none;
    std::string strPosixDir;      // the configured folder
    std::string strLabel;         // the volume label, ANSI; may be empty
    int nRootFd = -1;             // descriptor of the drive's folder (O_PATH); owned by the table
    std::uint64_t nFreeBytes = 0; // from statvfs at the time of the call
    std::uint64_t nTotalBytes = 0;
};
OVFDriveKind OVF_GetDriveKind(int nIndex);   // none for an unconfigured or out-of-range index
bool OVF_GetDriveInfo(int nIndex, TOVFDriveInfo& info);

// The user's desktop folder, offered by the listings as volume 0: a volume of its own, wherever
// the folder lies, confined to it as a drive is to its folder. OVF_SetDesktopFolder opens the
// folder (null or "" sets none) and returns 0 or an errno value; OVF_GetDesktopPath gives the
// volume's root, "Desktop:\", or "" when there is no desktop folder.
int OVF_SetDesktopFolder(const char* pszPosixDir);
std::string OVF_GetDesktopPath();

// The process's current directory, as the platform's directory services keep it.
// OVF_SetCurrentDirectory accepts any path form; the folder must exist. Returns TRUE or FALSE.
BOOL OVF_SetCurrentDirectory(const char* pszPath);
// Copies the current directory ("X:\dir") into pBuffer and returns its length; when nSize is too
// small, returns the size needed (terminator included) and leaves the buffer alone; 0 when there
// is no current directory (no drive configured).
DWORD OVF_GetCurrentDirectory(DWORD nSize, char* pBuffer);

// POSIX <-> Windows-style paths. PosixToWindows finds the drive whose folder holds the path
// (the longest match) and converts the remaining components to the ANSI code page; false when
// no drive holds it or a component cannot be expressed. WindowsToPosix resolves the path like
// every other call (case-insensitive, short aliases) and gives the real POSIX path; the last
// element need not exist, the folders above it must.
bool OVF_PosixToWindowsPath(const std::string& strPosix, std::string& strWindows);
bool OVF_WindowsToPosixPath(const char* pszWindows, std::string& strPosix);

// A folder resolved for one call may serve the calls that follow for up to nMilliseconds
// (0, the default: each call resolves its path afresh). A stream of requests into one folder
// then walks its path once, not several times per file. Folders renamed or removed through
// this library, and drive changes, are taken into account at once; a folder renamed by another
// program is still found at its old path for at most that long.
void OVF_KeepResolvedFolders(unsigned nMilliseconds);
// Lets the kept folders go now (a caller that goes idle holds no folder open).
void OVF_ForgetResolvedFolders();
