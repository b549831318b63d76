#include "Resolver.h"

#include "FolderIndex.h"

#include <algorithm>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace ovf {

namespace {

enum class EOpenat2 { unknown, available, missing };
EOpenat2 g_openat2 = EOpenat2::unknown;

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// openat2 beneath dirFd; -1 with errno. ENOSYS/EPERM/E2BIG mark it missing (errno ENOSYS).
int OpenBeneath(int dirFd, const std::string& strRelative)
{
    struct open_how how {};
    how.flags = kFolderFlags;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (int nTry = 0; nTry < 16; ++nTry) {
        const long fd = syscall(SYS_openat2, dirFd, strRelative.c_str(), &how, sizeof how);
        if (fd >= 0) {
            g_openat2 = EOpenat2::available;
            return static_cast<int>(fd);
        }
        if (errno != EAGAIN && errno != EINTR)
            break;
    }
    if (errno == ENOSYS || errno == EPERM || errno == E2BIG) {
        g_openat2 = EOpenat2::missing;
        errno = ENOSYS;
    }
    return -1;
}

int ToDisk(const std::string& strAnsi, std::string& strDisk)
{
    if (const int nError = AnsiToDisk(strAnsi, strDisk))
        return nError;
    return strDisk.size() > 255 ? ENAMETOOLONG : 0;
}

// Opens the folders of parts[0..nCount) beneath the drive's root.
int OpenFolders(const TDrive& drive, const std::vector<std::string>& parts, std::size_t nCount, TFd& out,
                std::vector<std::string>& real)
{
    std::vector<std::string> disk(nCount);
    for (std::size_t i = 0; i < nCount; ++i)
        if (const int nError = ToDisk(parts[i], disk[i]))
            return nError;

    if (nCount > 0 && !UsingFallback()) {
        std::string strJoined;
        for (const std::string& strPart : disk)
            strJoined += (strJoined.empty() ? "" : "/") + strPart;
        const int fd = OpenBeneath(drive.root.Get(), strJoined);
        if (fd >= 0) {
            out.Reset(fd);
            real = disk;
            return 0;
        }
        // Otherwise some element differs in case, is an alias, or is missing: go one at a time.
    }

    TFd current(fcntl(drive.root.Get(), F_DUPFD_CLOEXEC, 0));
    if (!current.Valid())
        return errno;
    real.clear();
    for (std::size_t i = 0; i < nCount; ++i) {
        TFd next;
        int nError = OpenChildFolder(current.Get(), disk[i], next);
        std::string strReal = disk[i];
        if (nError == ENOENT) {
            struct stat st {};
            nError = LookupName(current.Get(), disk[i], strReal, st, drive.bExactCase);
            if (nError == 0)
                nError = S_ISDIR(st.st_mode) ? OpenChildFolder(current.Get(), strReal, next) : ENOTDIR;
        }
        if (nError)
            return nError;
        real.push_back(strReal);
        current = std::move(next);
    }
    out = std::move(current);
    return 0;
}

} // namespace

void ForceFallback(bool bForce) { State().bForceFallback = bForce; }

bool UsingFallback() { return State().bForceFallback || g_openat2 == EOpenat2::missing; }

int OpenChildFolder(int dirFd, const std::string& strName, TFd& out)
{
    int fd = -1;
    if (!UsingFallback())
        fd = OpenBeneath(dirFd, strName);
    if (fd < 0 && UsingFallback())
        fd = openat(dirFd, strName.c_str(), kFolderFlags | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    out.Reset(fd);
    return 0;
}

int LookupName(int dirFd, const std::string& strName, std::string& strReal, struct stat& st, bool bExactCase)
{
    if (fstatat(dirFd, strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        strReal = strName;
        return S_ISLNK(st.st_mode) ? ELOOP : 0;
    }
    if (errno != ENOENT || bExactCase)
        return errno;
    int nError = 0;
    const TFolderIndex* pIndex = GetFolderIndex(dirFd, &nError);
    if (pIndex == nullptr)
        return nError;
    const std::string* pReal = pIndex->Find(strName);
    if (pReal == nullptr)
        return ENOENT;
    strReal = *pReal;
    if (fstatat(dirFd, strReal.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    return S_ISLNK(st.st_mode) ? ELOOP : 0;
}

std::string TTarget::RealWinPath() const
{
    TWinPath real;
    real.nDrive = path.nDrive;
    std::vector<std::string> disk = realFolders;
    if (!bRoot)
        disk.push_back(strReal);
    for (const std::string& strDisk : disk) {
        std::string strAnsi;
        real.parts.push_back(DiskToAnsi(strDisk, strAnsi) ? strAnsi : strDisk);
    }
    return FormatWinPath(real);
}

int ResolveParsed(const TWinPath& path, TTarget& target)
{
    target.path = path;
    target.pDrive = Drive(path.nDrive);
    if (target.pDrive == nullptr)
        return ENOENT;
    if (target.pDrive->bHideDotNames &&
        std::any_of(path.parts.begin(), path.parts.end(), [](const std::string& strPart) { return strPart.starts_with('.'); }))
        return ENOENT;
    if (path.parts.empty()) {
        target.bRoot = true;
        target.dir.Reset(fcntl(target.pDrive->root.Get(), F_DUPFD_CLOEXEC, 0));
        if (!target.dir.Valid() || fstat(target.dir.Get(), &target.st) != 0)
            return errno;
        if (target.st.st_nlink == 0)
            return ENODEV; // the drive's folder was removed: the drive is not ready
        target.bExists = true;
        return 0;
    }
    if (const int nError = OpenFolders(*target.pDrive, path.parts, path.parts.size() - 1, target.dir,
                                       target.realFolders))
        return nError;
    if (const int nError = ToDisk(path.parts.back(), target.strLeaf))
        return nError;
    const int nError = LookupName(target.dir.Get(), target.strLeaf, target.strReal, target.st, target.pDrive->bExactCase);
    if (nError == ENOENT) {
        target.strReal = target.strLeaf;
        return 0;
    }
    target.bExists = nError == 0;
    return nError;
}

int Resolve(const char* pszPath, TTarget& target)
{
    TWinPath path;
    if (const int nError = ParseWinPath(pszPath, path))
        return nError;
    return ResolveParsed(path, target);
}

int ResolveExisting(const char* pszPath, TTarget& target)
{
    if (const int nError = Resolve(pszPath, target))
        return nError;
    return target.bExists ? 0 : ENOENT;
}

} // namespace ovf
