// Open files: Open32 and the calls on a file handle; Rename32 and Remove32.
#include "Attributes.h"
#include "BufferedFile.h"
#include "Faults.h"
#include "FolderIndex.h"
#include "LibraryState.h"
#include "OVFile32.h"
#include "Resolver.h"
#include "StatusRecord.h"
#include "TimeConvert.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <vector>

using namespace ovf;

namespace {

std::vector<std::unique_ptr<TBufferedFile>>& Handles()
{
    static std::vector<std::unique_ptr<TBufferedFile>> handles;   // handle = index + 1
    return handles;
}

} // namespace

DWORD ovf::AddHandle(std::unique_ptr<TBufferedFile> file)
{
    auto& handles = Handles();
    for (std::size_t i = 0; i < handles.size(); ++i) {
        if (!handles[i]) {
            handles[i] = std::move(file);
            return static_cast<DWORD>(i + 1);
        }
    }
    handles.push_back(std::move(file));
    return static_cast<DWORD>(handles.size());
}

namespace {

// The open file of a handle, or null (EBADF). Checks the injected faults for op.
TBufferedFile* FileOf(DWORD hFile, OVFOp op, int& nError)
{
    auto& handles = Handles();
    if (hFile == 0 || hFile > handles.size() || !handles[hFile - 1]) {
        nError = EBADF;
        return nullptr;
    }
    TBufferedFile* pFile = handles[hFile - 1].get();
    nError = InjectedFault(op, pFile->FaultKey());
    return nError ? nullptr : pFile;
}

// Records the result of a call: the error into *pOsError; true when there was none.
bool Report(DWORD* pOsError, int nError)
{
    SetOsError(pOsError, nError);
    return nError == 0;
}

constexpr DWORD kLargestPosition = 0xFFFFFFFEu;   // kOVF_invalid is the failure value

int OpenExisting(TTarget& target, UINT nFlags, TFd& fd)
{
    const UINT nAccess = nFlags & 3;
    if (target.bRoot || S_ISDIR(target.st.st_mode))
        return EISDIR;
    if (!S_ISREG(target.st.st_mode))
        return EACCES;
    const bool bWrite = nAccess != kOVF_modeRead;
    if (bWrite && (target.st.st_mode & S_IWUSR) == 0)
        return EACCES;   // read-only, as the attribute says
    int nOpen = (nAccess == kOVF_modeWrite ? O_WRONLY : nAccess == kOVF_modeReadWrite ? O_RDWR : O_RDONLY);
    if ((nFlags & kOVF_modeCreate) && !(nFlags & kOVF_modeNoTruncate))
        nOpen |= O_TRUNC;
    fd.Reset(openat(target.dir.Get(), target.strReal.c_str(), nOpen | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.Valid())
        return errno;
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EACCES;   // replaced by something else since the lookup
    // O_NONBLOCK only kept the open from waiting on a FIFO; it changes nothing for a regular file.
    return 0;
}

int CreateNew(TTarget& target, UINT nFlags, TFd& fd)
{
    const UINT nAccess = nFlags & 3;
    const int nOpen = nAccess == kOVF_modeReadWrite ? O_RDWR : O_WRONLY;
    TFolderChange change(target.dir.Get(), target.folderSt);
    fd.Reset(openat(target.dir.Get(), target.strLeaf.c_str(), nOpen | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.Valid())
        return errno;
    change.Added(target.strLeaf);
    return 0;
}

} // namespace

DWORD Open32(const char* pszName, UINT nFlags, DWORD* pOsError)
{
    TLock lock;
    const bool bCreate = (nFlags & kOVF_modeCreate) != 0;
    const bool bWritable = (nFlags & 3) != kOVF_modeRead || bCreate;
    for (int nAttempt = 0;; ++nAttempt) {
        TTarget target;
        int nError = Resolve(pszName, target);
        if (nError == 0)
            nError = InjectedFault(OVFOp::open, target.path);
        if (nError == 0 && bWritable)
            nError = InjectedFault(OVFOp::openWrite, target.path);
        TFd fd;
        if (nError == 0) {
            if (target.bExists)
                nError = OpenExisting(target, nFlags, fd);
            else
                nError = bCreate ? CreateNew(target, nFlags, fd) : ENOENT;
        }
        if (nError == EEXIST && nAttempt == 0)
            continue;   // created by someone else in the meantime: open that one
        if (nError) {
            Report(pOsError, nError);
            return kOVF_invalid;
        }
        Report(pOsError, 0);
        auto file = std::make_unique<TBufferedFile>(std::move(fd), target.FaultKey(), bWritable);
        file->SetNames(target.strReal, target.RealWinPath());
        return AddHandle(std::move(file));
    }
}

DWORD Read32(DWORD hFile, void* pBuffer, DWORD nCount, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::read, nError);
    std::size_t nRead = 0;
    if (pFile)
        nError = pBuffer ? pFile->Read(pBuffer, nCount, nRead) : EFAULT;
    if (!Report(pOsError, nError))
        return kOVF_invalid;
    return static_cast<DWORD>(nRead);
}

DWORD Write32(DWORD hFile, const void* pBuffer, DWORD nCount, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::write, nError);
    if (pFile)
        nError = pBuffer ? pFile->Write(pBuffer, nCount) : EFAULT;
    return Report(pOsError, nError) ? nCount : kOVF_invalid;
}

DWORD Seek32(DWORD hFile, LONG lOffset, UINT nOrigin, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::seek, nError);
    off_t nPosition = 0;
    if (pFile) {
        const int nWhence = nOrigin == 0 ? SEEK_SET : nOrigin == 1 ? SEEK_CUR : nOrigin == 2 ? SEEK_END : -1;
        nError = pFile->Seek(lOffset, nWhence, nPosition);
        if (nError == 0 && nPosition > static_cast<off_t>(kLargestPosition))
            nError = EOVERFLOW;
    }
    return Report(pOsError, nError) ? static_cast<DWORD>(nPosition) : kOVF_invalid;
}

DWORD GetPosition32(DWORD hFile, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::seek, nError);
    if (pFile && pFile->Position() > static_cast<off_t>(kLargestPosition))
        nError = EOVERFLOW;
    return Report(pOsError, nError) ? static_cast<DWORD>(pFile->Position()) : kOVF_invalid;
}

std::uint64_t GetPosition64(DWORD hFile)
{
    TLock lock;
    // A report of how far a transfer got, not an operation of its own: no fault applies.
    const auto& handles = Handles();
    if (hFile == 0 || hFile > handles.size() || !handles[hFile - 1])
        return 0;
    return static_cast<std::uint64_t>(handles[hFile - 1]->Position());
}

DWORD GetLength32(DWORD hFile, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::getLength, nError);
    off_t nLength = 0;
    if (pFile) {
        nError = pFile->Length(nLength);
        if (nError == 0 && nLength > static_cast<off_t>(kLargestPosition))
            nError = EOVERFLOW;
    }
    return Report(pOsError, nError) ? static_cast<DWORD>(nLength) : kOVF_invalid;
}

BOOL SetLength32(DWORD hFile, DWORD dwLength, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::setLength, nError);
    if (pFile)
        nError = pFile->SetLength(static_cast<off_t>(dwLength));
    return Report(pOsError, nError) ? 1 : FALSE;
}

BOOL Flush32(DWORD hFile, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::flush, nError);
    if (pFile)
        nError = pFile->Sync();
    return Report(pOsError, nError) ? 1 : FALSE;
}

BOOL SetHandleStatus32(DWORD hFile, const TimeFields32* pLastWrite, BYTE bAttribute, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::setStatus, nError);
    if (pFile)
        nError = pFile->Sync();
    const bool bFresh = pFile && pFile->TakeFresh();
    // A fresh file that keeps its mode and stores nothing is not read back for its status.
    const bool bAsItIs = bFresh && FreshFileTakesAsItIs(bAttribute);
    struct stat st {};
    if (pFile && nError == 0) {
        const struct timespec times[2] = {TimeToSet(*pLastWrite), TimeToSet(*pLastWrite)};
        if (futimens(pFile->Fd(), times) != 0 || (!bAsItIs && fstat(pFile->Fd(), &st) != 0))
            nError = errno;
    }
    if (pFile && nError == 0 && !bAsItIs)
        nError = WriteAttributes(pFile->Fd(), bFresh ? EEntryFd::fresh : EEntryFd::open, st, bAttribute);
    return Report(pOsError, nError) ? 1 : FALSE;
}

BOOL GetHandleStatus32(DWORD hFile, FileStatus32Record* pRecord, std::uint64_t* pnSize, DWORD* pOsError)
{
    TLock lock;
    int nError = pRecord ? 0 : EFAULT;
    TBufferedFile* pFile = nError ? nullptr : FileOf(hFile, OVFOp::getStatus, nError);
    // Data still gathered counts as written: the size includes it.
    if (pFile)
        nError = pFile->WriteOut();
    struct statx stx {};
    if (pFile && nError == 0 && statx(pFile->Fd(), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
        nError = errno;
    if (nError) {
        Report(pOsError, nError);
        return FALSE;
    }
    const struct stat st = StatOf(stx);
    FillStatusRecord(*pRecord, st, BirthOf(stx), ReadOpenFileAttributes(pFile->Fd(), pFile->Leaf(), st), pFile->WinPath());
    if (pnSize)
        *pnSize = stx.stx_size;
    Report(pOsError, 0);
    return 1;
}

BOOL Close32(DWORD hFile, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::close, nError);
    if (pFile) {
        nError = pFile->Close();
        if (nError == 0 || pFile->Fd() < 0)
            Handles()[hFile - 1].reset();
    }
    return Report(pOsError, nError) ? 1 : FALSE;
}

void Abort32(DWORD hFile)
{
    TLock lock;
    auto& handles = Handles();
    if (hFile == 0 || hFile > handles.size() || !handles[hFile - 1])
        return;
    handles[hFile - 1]->Abort();
    handles[hFile - 1].reset();
}

namespace {

BOOL Lock(DWORD hFile, DWORD dwPos, DWORD dwCount, bool bLock, DWORD* pOsError)
{
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::lock, nError);
    if (pFile) {
        struct flock lock {};
        lock.l_type = static_cast<short>(bLock ? (pFile->Writable() ? F_WRLCK : F_RDLCK) : F_UNLCK);
        lock.l_whence = SEEK_SET;
        lock.l_start = static_cast<off_t>(dwPos);
        lock.l_len = static_cast<off_t>(dwCount);
        // Open-file-description locks belong to the handle, as the platform's range locks do.
        if (fcntl(pFile->Fd(), F_OFD_SETLK, &lock) != 0)
            nError = (errno == EAGAIN || errno == EACCES) ? ENOLCK : errno;
    }
    return Report(pOsError, nError) ? 1 : FALSE;
}

} // namespace

BOOL LockRange32(DWORD hFile, DWORD dwPos, DWORD dwCount, DWORD* pOsError)
{
    TLock lock;
    return Lock(hFile, dwPos, dwCount, true, pOsError);
}

BOOL UnlockRange32(DWORD hFile, DWORD dwPos, DWORD dwCount, DWORD* pOsError)
{
    TLock lock;
    return Lock(hFile, dwPos, dwCount, false, pOsError);
}

DWORD Duplicate32(DWORD hFile, DWORD* pOsError)
{
    TLock lock;
    int nError = 0;
    TBufferedFile* pFile = FileOf(hFile, OVFOp::open, nError);
    std::unique_ptr<TBufferedFile> copy;
    if (pFile)
        nError = pFile->Duplicate(copy);
    if (!Report(pOsError, nError))
        return kOVF_invalid;
    return AddHandle(std::move(copy));
}

BOOL Rename32(const char* pszOldName, const char* pszNewName, DWORD* pOsError)
{
    TLock lock;
    TTarget from;
    TTarget to;
    int nError = ResolveExisting(pszOldName, from);
    if (nError == 0)
        nError = InjectedFault(OVFOp::rename, from.path);
    if (nError == 0)
        nError = Resolve(pszNewName, to);
    if (nError == 0 && (from.bRoot || to.bRoot))
        nError = EACCES;
    if (nError == 0 && from.pDrive != to.pDrive)
        nError = EXDEV;
    if (nError == 0 && to.bExists) {
        // Only the file itself may answer to the new name (a change of letter case).
        const bool bSame = to.st.st_dev == from.st.st_dev && to.st.st_ino == from.st.st_ino;
        if (!bSame)
            nError = EEXIST;
        else if (to.strLeaf == from.strReal)
            return Report(pOsError, 0) ? 1 : FALSE;
    }
    if (nError)
        return Report(pOsError, nError) ? 1 : FALSE;
    {
        TFolderChange changeFrom(from.dir.Get());
        TFolderChange changeTo(to.dir.Get());
        int nResult = renameat2(from.dir.Get(), from.strReal.c_str(), to.dir.Get(), to.strLeaf.c_str(),
                                to.bExists ? 0 : RENAME_NOREPLACE);
        if (nResult != 0 && errno == EINVAL && !to.bExists)   // a file system without RENAME_NOREPLACE
            nResult = renameat(from.dir.Get(), from.strReal.c_str(), to.dir.Get(), to.strLeaf.c_str());
        if (nResult != 0) {
            nError = errno;
        } else {
            changeFrom.Removed(from.strReal);
            changeTo.Added(to.strLeaf);
            if (S_ISDIR(from.st.st_mode))
                ForgetResolvedFolders(); // a folder kept under its old path is there no more
        }
    }
    return Report(pOsError, nError) ? 1 : FALSE;
}

namespace {

BOOL RemoveFile(const char* pszName, bool bKeepReadOnly, DWORD* pOsError)
{
    TLock lock;
    TTarget target;
    int nError = ResolveExisting(pszName, target);
    if (nError == 0)
        nError = InjectedFault(OVFOp::remove, target.path);
    if (nError == 0 && (target.bRoot || S_ISDIR(target.st.st_mode)))
        nError = EISDIR;
    if (nError == 0 && bKeepReadOnly && (target.st.st_mode & S_IWUSR) == 0)
        nError = EACCES;   // read-only, as the attribute says
    if (nError == 0) {
        TFolderChange change(target.dir.Get());
        if (unlinkat(target.dir.Get(), target.strReal.c_str(), 0) != 0)
            nError = errno;
        else
            change.Removed(target.strReal);
    }
    return Report(pOsError, nError) ? 1 : FALSE;
}

} // namespace

BOOL Remove32(const char* pszName, DWORD* pOsError)
{
    return RemoveFile(pszName, true, pOsError);
}

BOOL RemoveName32(const char* pszName, DWORD* pOsError)
{
    return RemoveFile(pszName, false, pOsError);
}
