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
    bool bHideDotNames = false; // names beginning with "." are neither listed nor reachable
};

struct TLibraryState {
    std::recursive_mutex mutex;
    TDrive drives[26];
    bool bHasCwd = false;
    TWinPath cwd;               // the current directory, real names in ANSI
    std::string strDesktopPosix;
    TCodePage ansiPage;
    TCodePage oemPage;
    TCodePage macPage;
    bool bForceFallback = false;
    bool bNoAttributeStore = false;
};

TLibraryState& State();

class TLock {
public:
    TLock() : m_lock(State().mutex) {}

private:
    std::lock_guard<std::recursive_mutex> m_lock;
};

// The drive of index nDrive when it is configured, else null.
const TDrive* Drive(int nDrive);

// Stores nError in *pOsError (when given) and returns it.
inline void SetOsError(DWORD* pOsError, int nError)
{
    if (pOsError)
        *pOsError = static_cast<DWORD>(nError);
}

void DropFolderIndexes();

} // namespace ovf
