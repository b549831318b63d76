// The library's process-wide state (internal): the drive table, the current directory, the
// code pages and the switches. Every public call holds TLock while it runs.
#pragma once

#include "CodePages.h"
#include "Fd.h"
#include "OVFTypes.h"
#include "WinPath.h"

#include <mutex>
#include <string>

namespace ovf {

struct TDrive {
    bool bUsed = false;
    TFd root;                   // O_PATH descriptor of the drive's folder
    std::string strPosixDir;
    OVFDriveKind kind = OVFDriveKind::none;
    std::string strLabel;
    bool bExactCase = false;    // names match only as written (a guest's own POSIX disk)
    bool bHideDotNames = false; // names beginning with "." are neither listed nor reachable
};

struct TLibraryState {
    std::recursive_mutex mutex;
    TDrive drives[26];
    std::size_t nPathLimit = MAX_PATH; // longest path, terminator included (OVF_PathLimit)
    bool bHasCwd = false;
    TWinPath cwd;               // the current directory, real names in ANSI
    TDrive desktop;             // the desktop folder, a volume of its own
    TCodePage ansiPage;
    TCodePage oemPage;
    TCodePage macPage;
    bool bForceFallback = false;
    bool bNoAttributeStore = false;
    bool bAttributesByPath = false; // stored attributes read by /proc path, as without getxattrat
};

TLibraryState& State();

class TLock {
public:
    TLock() : m_lock(State().mutex) {}

private:
    std::lock_guard<std::recursive_mutex> m_lock;
};

// The drive of index nDrive (kDesktopDrive: the desktop folder) when it is configured, else null.
const TDrive* Drive(int nDrive);

// Stores nError in *pOsError (when given) and returns it.
inline void SetOsError(DWORD* pOsError, int nError)
{
    if (pOsError)
        *pOsError = static_cast<DWORD>(nError);
}

void DropFolderIndexes();

} // namespace ovf
