// GetStatus32 and SetStatus32.
#include "Attributes.h"
#include "Faults.h"
#include "LibraryState.h"
#include "OVFile32.h"
#include "Resolver.h"
#include "StatusRecord.h"
#include "TimeConvert.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace ovf;


std::optional<struct timespec> ovf::BirthOf(const struct statx& stx)
{
    if ((stx.stx_mask & STATX_BTIME) == 0)
        return std::nullopt;
    return timespec{stx.stx_btime.tv_sec, stx.stx_btime.tv_nsec};
}

struct stat ovf::StatOf(const struct statx& stx)
{
    struct stat st {};
    st.st_dev = makedev(stx.stx_dev_major, stx.stx_dev_minor);
    st.st_ino = stx.stx_ino;
    st.st_mode = stx.stx_mode;
    st.st_nlink = stx.stx_nlink;
    st.st_uid = stx.stx_uid;
    st.st_gid = stx.stx_gid;
    st.st_rdev = makedev(stx.stx_rdev_major, stx.stx_rdev_minor);
    st.st_size = static_cast<off_t>(stx.stx_size);
    st.st_blksize = static_cast<blksize_t>(stx.stx_blksize);
    st.st_blocks = static_cast<blkcnt_t>(stx.stx_blocks);
    st.st_atim = {stx.stx_atime.tv_sec, stx.stx_atime.tv_nsec};
    st.st_mtim = {stx.stx_mtime.tv_sec, stx.stx_mtime.tv_nsec};
    st.st_ctim = {stx.stx_ctime.tv_sec, stx.stx_ctime.tv_nsec};
    return st;
}

void ovf::FillStatusRecord(FileStatus32Record& record, const struct stat& st, const std::optional<struct timespec>& birth,
                           BYTE bAttributes, const std::string& strFullName)
{
    const std::time_t created = birth ? birth->tv_sec : st.st_mtim.tv_sec;
    record.bAttribute = bAttributes;
    UnixToFields(created, record.tfCreation);
    UnixToFields(st.st_atim.tv_sec, record.tfLastAccess);
    UnixToFields(st.st_mtim.tv_sec, record.tfLastWrite);
    // The record's size field is 32 bits: a larger size reads 0xFFFFFFFF, never its low bits.
    record.dwSize = S_ISDIR(st.st_mode) ? 0 : static_cast<DWORD>(std::min<off_t>(st.st_size, 0xFFFFFFFF));
    // A longer path (the guest's own machine allows them) leaves the record's name empty rather
    // than cut into another path.
    const std::size_t nName = strFullName.size() < sizeof record.szFullName ? strFullName.size() : 0;
    std::memcpy(record.szFullName, strFullName.c_str(), nName);
    record.szFullName[nName] = '\0';
}

BOOL GetStatus32(const char* pszName, FileStatus32Record* pRecord)
{
    TLock lock;
    if (pRecord == nullptr)
        return FALSE;
    TTarget target;
    if (ResolveExisting(pszName, target) != 0 || InjectedFault(OVFOp::getStatus, target.path) != 0)
        return FALSE;
    const std::string strEntry = target.bRoot ? std::string() : target.strReal;
    // A drive root was not looked up by name: its creation time is read here.
    struct statx stx {};
    if (target.bRoot && statx(target.dir.Get(), "", AT_EMPTY_PATH, STATX_BTIME, &stx) == 0)
        target.birth = BirthOf(stx);
    FillStatusRecord(*pRecord, target.st, target.birth, ReadAttributes(target.dir.Get(), strEntry, target.st),
                     target.RealWinPath());
    return 1;
}

int OVF_EntryKind(const char* pszName)
{
    TLock lock;
    TTarget target;
    if (ResolveExisting(pszName, target) != 0 || InjectedFault(OVFOp::getStatus, target.path) != 0)
        return -1;
    return S_ISDIR(target.st.st_mode) ? 1 : 0;
}

BOOL SetStatus32(const char* pszName, const FileStatus32Record* pRecord, DWORD* pOsError)
{
    TLock lock;
    TTarget target;
    int nError = pRecord ? ResolveExisting(pszName, target) : EFAULT;
    if (nError == 0)
        nError = InjectedFault(OVFOp::setStatus, target.path);
    if (nError == 0 && target.bRoot)
        nError = EACCES;   // a drive's own folder keeps its mode and times
    TFd entry;
    if (nError == 0) {
        // The entry itself, without following anything: the descriptor is what gets changed.
        entry.Reset(openat(target.dir.Get(), target.strReal.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!entry.Valid() || fstat(entry.Get(), &st) != 0)
            nError = errno;
        else if (S_ISLNK(st.st_mode))
            nError = ELOOP;
        else
            target.st = st;
    }
    if (nError == 0) {
        const struct timespec times[2] = {TimeToSet(pRecord->tfLastAccess), TimeToSet(pRecord->tfLastWrite)};
        if (utimensat(AT_FDCWD, DescriptorPath(entry.Get()).c_str(), times, 0) != 0)
            nError = errno;
    }
    if (nError == 0)
        nError = WriteAttributes(entry.Get(), EEntryFd::path, target.st, pRecord->bAttribute);
    SetOsError(pOsError, nError);
    return nError == 0 ? 1 : FALSE;
}
