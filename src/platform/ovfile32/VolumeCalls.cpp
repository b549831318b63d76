// Volumes: labels, free space and name lengths of the drives.
#include "Faults.h"
#include "LibraryState.h"
#include "OVFile32.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

using namespace ovf;

namespace {

// The drive of "x:\" or "\" (the current drive); -1 for anything else.
int RootDrive(const char* pszRoot)
{
    if (pszRoot == nullptr)
        return -1;
    if (std::strcmp(pszRoot, "\\") == 0)
        return State().bHasCwd ? State().cwd.nDrive : -1;
    if (std::isalpha(static_cast<unsigned char>(pszRoot[0])) && pszRoot[1] == ':' && pszRoot[2] == '\\' &&
        pszRoot[3] == '\0')
        return std::toupper(static_cast<unsigned char>(pszRoot[0])) - 'A';
    return -1;
}

} // namespace

BOOL GetVolumeName32(const char* pszRoot, char* pBuffer, WORD nSize)
{
    TLock lock;
    const int nDrive = RootDrive(pszRoot);
    const TDrive* pDrive = Drive(nDrive);
    if (pDrive == nullptr || pBuffer == nullptr || nSize == 0)
        return FALSE;
    TWinPath root{nDrive, {}};
    if (InjectedFault(OVFOp::volumeName, root) != 0)
        return FALSE;
    // A label longer than the buffer is cut on a character boundary.
    OVF_ConvertString(OVFCharSet::ansi, OVFCharSet::ansi, pDrive->strLabel.c_str(), pBuffer, nSize);
    return 1;
}

DWORD GetFreeSpace32(int nDrive, DWORD* pOsError)
{
    TLock lock;
    const int nIndex = nDrive == 0 ? (State().bHasCwd ? State().cwd.nDrive : -1) : nDrive - 1;
    const TDrive* pDrive = Drive(nIndex);
    int nError = pDrive ? InjectedFault(OVFOp::freeSpace, TWinPath{nIndex, {}}) : ENOENT;
    struct statvfs vfs {};
    if (nError == 0 && fstatvfs(pDrive->root.Get(), &vfs) != 0)
        nError = errno;
    SetOsError(pOsError, nError);
    if (nError)
        return 0;
    const unsigned long long nFree = static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize;
    return static_cast<DWORD>(std::min<unsigned long long>(nFree, 0xFFFFFFFFull));
}

DWORD GetFileNameSizeOnVolume32(const char* pszRoot)
{
    TLock lock;
    const TDrive* pDrive = Drive(RootDrive(pszRoot));
    if (pDrive == nullptr)
        return 0;
    struct statvfs vfs {};
    if (fstatvfs(pDrive->root.Get(), &vfs) != 0)
        return 0;
    return static_cast<DWORD>(std::min<unsigned long>(vfs.f_namemax, 255));
}
