// Path resolution beneath a drive's folder (internal).
//
// A path is resolved to the folder that holds its last element, opened as an O_PATH descriptor
// beneath the drive's root descriptor, and the last element's real name. Folders are opened
// with openat2(RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS), the whole exact path at once first;
// where openat2 is missing or refused (ENOSYS, EPERM, E2BIG), or when the fallback is forced,
// one element at a time with openat(O_NOFOLLOW | O_DIRECTORY). Elements are never "." or ".."
// (the lexical form has none) and never hold '/', so neither way can leave the drive, and
// neither follows a symbolic link. Work on the last element is done relative to the folder's
// descriptor (openat and friends with O_NOFOLLOW / AT_SYMLINK_NOFOLLOW).
#pragma once

#include "Fd.h"
#include "LibraryState.h"
#include "WinPath.h"

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

namespace ovf {

struct TTarget {
    TWinPath path;                        // lexical form, ANSI
    const TDrive* pDrive = nullptr;
    TSharedFd dir;                        // the folder holding the last element (the root for a root)
    std::vector<std::string> realFolders; // real names (disk) of the folders above the last element
    bool bRoot = false;                   // the path names the drive's root
    std::string strLeaf;                  // the last element as given, disk encoding
    std::string strReal;                  // its real name when it exists, else strLeaf
    bool bExists = false;
    struct stat st {};                    // when it exists
    std::optional<struct timespec> birth; // its creation time, where the disk keeps one
    std::optional<struct stat> folderSt;  // the folder's status, when the lookup read it

    std::string FaultKey() const { return ovf::FaultKey(path); }
    // The full Windows path with real names (ANSI).
    std::string RealWinPath() const;
};

// What the caller expects of the last element. A name about to be made exclusively is looked up
// in the folder's index first: when nothing answers to it there, no lookup of the exact name is
// made (the exclusive making catches one that appeared meanwhile). An unread one is not looked
// up at all: the caller needs only its folder, and takes the name as given (bExists false).
enum class ELeaf { Any, ToMake, Unread };

// Resolves a path. Returns 0 when every folder above the last element exists (the last element
// itself may be missing: bExists), else errno.
int Resolve(const char* pszPath, TTarget& target, ELeaf eLeaf = ELeaf::Any);
int ResolveParsed(const TWinPath& path, TTarget& target, ELeaf eLeaf = ELeaf::Any);
// As Resolve, but the last element must exist (ENOENT otherwise).
int ResolveExisting(const char* pszPath, TTarget& target);

// Looks one name up in a folder: the exact name, else (unless bExactCase) the folder index, which
// matches without regard to case and knows short aliases (a name to make: the index alone). ELOOP
// for a symbolic link, ENOENT when nothing matches.
// What a lookup may read besides the entry's status, for the caller to use instead of reading it
// again: the entry's creation time, and the folder's status when its index was consulted.
struct TLookupExtras {
    std::optional<struct timespec>* pBirth = nullptr;
    std::optional<struct stat>* pFolderSt = nullptr;
    ELeaf eLeaf = ELeaf::Any;
};
int LookupName(int dirFd, const std::string& strName, std::string& strReal, struct stat& st, bool bExactCase = false,
               TLookupExtras extras = {});
// Opens a sub-folder by its real name (O_PATH), confined and without following links.
int OpenChildFolder(int dirFd, const std::string& strName, TFd& out);

void ForceFallback(bool bForce);
bool UsingFallback();

// Resolved folders may be kept for up to nMilliseconds and used again by later resolutions
// (0, the default: never). A folder renamed or removed through this library is forgotten at
// once; one renamed by someone else is still found where it was for at most that long.
void KeepResolvedFolders(unsigned nMilliseconds);
void ForgetResolvedFolders();

} // namespace ovf
