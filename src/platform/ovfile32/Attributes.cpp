#include "Attributes.h"

#include "LibraryState.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace ovf {

namespace {

constexpr const char* kAttributeName = "user.DOSATTRIB";
constexpr BYTE kStoredBits = kOVF_attrReadOnly | kOVF_attrHidden | kOVF_attrSystem | kOVF_attrArchive | kOVF_attrNormal;
// Read-only comes from the mode when read back; hidden, system and archive from the store,
// which a regular file without one reads as archive alone.
constexpr BYTE kReadBack = kOVF_attrHidden | kOVF_attrSystem | kOVF_attrArchive;

// "0x21" and a NUL, as the store holds the byte.
bool ParseStored(const char* pszValue, ssize_t nLength, BYTE& bStored)
{
    if (nLength < 3 || pszValue[0] != '0' || (pszValue[1] != 'x' && pszValue[1] != 'X'))
        return false;
    char* pEnd = nullptr;
    const unsigned long nValue = std::strtoul(pszValue + 2, &pEnd, 16);
    if (pEnd == pszValue + 2)
        return false;
    bStored = static_cast<BYTE>(nValue & kStoredBits);
    return true;
}

// The stored byte, as read(buffer, size) gives it (a getxattr of some kind).
template <typename TRead>
bool ReadStored(TRead read, BYTE& bStored)
{
    if (State().bNoAttributeStore)
        return false;
    char buf[64] = {};
    return ParseStored(buf, read(buf, sizeof buf - 1), bStored);
}

// The store of the entry strName of the folder dirFd ("" = the folder itself). getxattrat reads
// it by folder and name; where the kernel lacks it, the entry's /proc path does (a longer walk).
// Answers the length read or -1 with errno, as lgetxattr.
#ifndef SYS_getxattrat
#define SYS_getxattrat 464
#endif
struct TXattrArgs {
    std::uint64_t nValue;
    std::uint32_t nSize;
    std::uint32_t nFlags;
};

ssize_t ReadStoredAt(int dirFd, const std::string& strName, char* pBuffer, std::size_t nSize)
{
    static bool bNoCall = false;
    if (!strName.empty() && !bNoCall && !State().bAttributesByPath) {
        TXattrArgs args{reinterpret_cast<std::uintptr_t>(pBuffer), static_cast<std::uint32_t>(nSize), 0};
        const long n = syscall(SYS_getxattrat, dirFd, strName.c_str(), AT_SYMLINK_NOFOLLOW, kAttributeName, &args, sizeof args);
        if (n >= 0 || errno != ENOSYS)
            return static_cast<ssize_t>(n);
        bNoCall = true;
    }
    return lgetxattr(DescriptorPath(dirFd, strName).c_str(), kAttributeName, pBuffer, nSize);
}

// Whether files this process makes keep their owner's write bit: the umask, read once.
bool UmaskKeepsOwnerWrite()
{
    static const bool bKeeps = [] {
        std::FILE* pStatus = std::fopen("/proc/self/status", "re");
        unsigned nMask = 0777;
        char szLine[128];
        while (pStatus && std::fgets(szLine, sizeof szLine, pStatus))
            if (std::sscanf(szLine, "Umask: %o", &nMask) == 1)
                break;
        if (pStatus)
            std::fclose(pStatus);
        return (nMask & S_IWUSR) == 0;
    }();
    return bKeeps;
}

BYTE AttributesOf(bool bHasStored, BYTE bStored, const std::string& strName, const struct stat& st)
{
    BYTE bAttributes = bHasStored ? bStored : S_ISREG(st.st_mode) ? kOVF_attrArchive : 0;
    bAttributes &= static_cast<BYTE>(~(kOVF_attrReadOnly | kOVF_attrNormal));
    if (S_ISDIR(st.st_mode))
        bAttributes |= kOVF_attrDirectory;
    if ((st.st_mode & S_IWUSR) == 0)
        bAttributes |= kOVF_attrReadOnly;
    if (!strName.empty() && strName[0] == '.')
        bAttributes |= kOVF_attrHidden;
    if (bAttributes == 0)
        bAttributes = kOVF_attrNormal;
    return bAttributes;
}

} // namespace

std::string DescriptorPath(int fd, const std::string& strName)
{
    std::string str = "/proc/self/fd/" + std::to_string(fd);
    if (!strName.empty())
        str += "/" + strName;
    return str;
}

BYTE ReadAttributes(int dirFd, const std::string& strName, const struct stat& st)
{
    BYTE bStored = 0;
    const bool bHasStored = ReadStored(
        [&](char* pBuffer, std::size_t nSize) { return ReadStoredAt(dirFd, strName, pBuffer, nSize); }, bStored);
    return AttributesOf(bHasStored, bStored, strName, st);
}

BYTE ReadOpenFileAttributes(int fd, const std::string& strName, const struct stat& st)
{
    BYTE bStored = 0;
    const bool bHasStored = ReadStored(
        [fd](char* pBuffer, std::size_t nSize) { return fgetxattr(fd, kAttributeName, pBuffer, nSize); }, bStored);
    return AttributesOf(bHasStored, bStored, strName, st);
}

bool FreshFileTakesAsItIs(BYTE bAttributes)
{
    return (bAttributes & kOVF_attrReadOnly) == 0 && (bAttributes & kReadBack) == kOVF_attrArchive && UmaskKeepsOwnerWrite();
}

int WriteAttributes(int entryFd, EEntryFd eFd, const struct stat& st, BYTE bAttributes)
{
    // An O_PATH descriptor takes neither fchmod nor fsetxattr: its /proc path does.
    const std::string strPath = eFd == EEntryFd::path ? DescriptorPath(entryFd) : std::string();
    mode_t mode = st.st_mode & 07777;
    if (bAttributes & kOVF_attrReadOnly)
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    else
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) &&
        (eFd == EEntryFd::path ? chmod(strPath.c_str(), mode) : fchmod(entryFd, mode)) != 0)
        return errno;
    if (State().bNoAttributeStore)
        return 0;
    if (eFd == EEntryFd::fresh && S_ISREG(st.st_mode) && (bAttributes & kReadBack) == kOVF_attrArchive)
        return 0;
    char buf[16];
    const int n = std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(bAttributes & kStoredBits));
    const std::size_t nSize = static_cast<std::size_t>(n) + 1;
    const int nSet = eFd == EEntryFd::path ? setxattr(strPath.c_str(), kAttributeName, buf, nSize, 0)
                                           : fsetxattr(entryFd, kAttributeName, buf, nSize, 0);
    if (nSet != 0 && errno != ENOTSUP && errno != EOPNOTSUPP)
        return errno;
    return 0;
}

} // namespace ovf
