#include "Resolver.h"

#include "FolderIndex.h"
#include "StatusRecord.h"

#include <algorithm>
#include <chrono>
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

// Folders resolved lately, for a stream of requests into the same folder (an upload of many
// files resolves it several times per file).
struct TKeptFolder {
    const TDrive* pDrive = nullptr;
    std::string strDiskPath; // the folders as asked for, disk names joined with '/'
    TSharedFd dir;
    std::vector<std::string> real;
    std::chrono::steady_clock::time_point until;
};
constexpr std::size_t kKeptFolders = 8;
std::chrono::milliseconds g_keepFor{0};
std::vector<TKeptFolder> g_kept;

const TKeptFolder* KeptFolder(const TDrive& drive, const std::string& strDiskPath)
{
    if (g_kept.empty())
        return nullptr;
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(g_kept, [now](const TKeptFolder& kept) { return kept.until <= now; });
    const auto it = std::find_if(g_kept.begin(), g_kept.end(), [&](const TKeptFolder& kept) {
        return kept.pDrive == &drive && kept.strDiskPath == strDiskPath;
    });
    return it == g_kept.end() ? nullptr : &*it;
}

void KeepFolder(const TDrive& drive, std::string strDiskPath, const TSharedFd& dir, const std::vector<std::string>& real)
{
    if (g_keepFor.count() == 0)
        return;
    if (g_kept.size() == kKeptFolders)
        g_kept.erase(g_kept.begin());
    g_kept.push_back({&drive, std::move(strDiskPath), dir, real, std::chrono::steady_clock::now() + g_keepFor});
}

int ToDisk(const std::string& strAnsi, std::string& strDisk)
{
    if (const int nError = AnsiToDisk(strAnsi, strDisk))
        return nError;
    return strDisk.size() > 255 ? ENAMETOOLONG : 0;
}

// Opens the folders of parts[0..nCount) beneath the drive's root.
int OpenFolders(const TDrive& drive, const std::vector<std::string>& parts, std::size_t nCount, TSharedFd& out,
                std::vector<std::string>& real)
{
    std::vector<std::string> disk(nCount);
    std::string strJoined;
    for (std::size_t i = 0; i < nCount; ++i) {
        if (const int nError = ToDisk(parts[i], disk[i]))
            return nError;
        strJoined += (i ? "/" : "") + disk[i];
    }
    if (const TKeptFolder* pKept = KeptFolder(drive, strJoined)) {
        out = pKept->dir;
        real = pKept->real;
        return 0;
    }

    if (nCount > 0 && !UsingFallback()) {
        const int fd = OpenBeneath(drive.root.Get(), strJoined);
        if (fd >= 0) {
            out.Reset(fd);
            real = disk;
            KeepFolder(drive, std::move(strJoined), out, real);
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
    out = TSharedFd(std::move(current));
    KeepFolder(drive, std::move(strJoined), out, real);
    return 0;
}

} // namespace

void ForceFallback(bool bForce)
{
    State().bForceFallback = bForce;
    ForgetResolvedFolders();
}

bool UsingFallback() { return State().bForceFallback || g_openat2 == EOpenat2::missing; }

void KeepResolvedFolders(unsigned nMilliseconds)
{
    g_keepFor = std::chrono::milliseconds(nMilliseconds);
    ForgetResolvedFolders();
}

void ForgetResolvedFolders() { g_kept.clear(); }

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

namespace {

// One entry's status, with its creation time where the disk keeps one (one call for both).
int StatEntry(int dirFd, const std::string& strName, struct stat& st, std::optional<struct timespec>* pBirth)
{
    if (pBirth == nullptr)
        return fstatat(dirFd, strName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
    struct statx stx {};
    if (statx(dirFd, strName.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
        return errno;
    st = StatOf(stx);
    *pBirth = BirthOf(stx);
    return 0;
}

} // namespace

int LookupName(int dirFd, const std::string& strName, std::string& strReal, struct stat& st, bool bExactCase,
               TLookupExtras extras)
{
    if (extras.eLeaf != ELeaf::ToMake || bExactCase) {
        const int nStat = StatEntry(dirFd, strName, st, extras.pBirth);
        if (nStat == 0) {
            strReal = strName;
            return S_ISLNK(st.st_mode) ? ELOOP : 0;
        }
        if (nStat != ENOENT || bExactCase)
            return nStat;
    }
    int nError = 0;
    struct stat folderSt {};
    const TFolderIndex* pIndex = GetFolderIndex(dirFd, &nError, &folderSt);
    if (pIndex == nullptr)
        return nError;
    if (extras.pFolderSt)
        *extras.pFolderSt = folderSt;
    const std::string* pReal = pIndex->Find(strName);
    if (pReal == nullptr)
        return ENOENT;
    strReal = *pReal;
    if (const int nStatReal = StatEntry(dirFd, strReal, st, extras.pBirth))
        return nStatReal;
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

int ResolveParsed(const TWinPath& path, TTarget& target, ELeaf eLeaf)
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
    if (eLeaf == ELeaf::Unread) {
        target.strReal = target.strLeaf;
        return 0;
    }
    const int nError =
        LookupName(target.dir.Get(), target.strLeaf, target.strReal, target.st, target.pDrive->bExactCase,
                   {&target.birth, &target.folderSt, eLeaf});
    if (nError == ENOENT) {
        target.strReal = target.strLeaf;
        return 0;
    }
    target.bExists = nError == 0;
    return nError;
}

int Resolve(const char* pszPath, TTarget& target, ELeaf eLeaf)
{
    TWinPath path;
    if (const int nError = ParseWinPath(pszPath, path))
        return nError;
    return ResolveParsed(path, target, eLeaf);
}

int ResolveExisting(const char* pszPath, TTarget& target)
{
    if (const int nError = Resolve(pszPath, target))
        return nError;
    return target.bExists ? 0 : ENOENT;
}

} // namespace ovf
