// Paths and folders: short paths, the current directory, making and removing folders,
// splitting and building paths.
#include "Faults.h"
#include "FolderIndex.h"
#include "LibraryState.h"
#include "OVFile32.h"
#include "Resolver.h"
#include "ShortNames.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

using namespace ovf;

namespace {

// Copies str into a buffer of nSize bytes, cut to fit.
void CopyCut(char* pDest, std::size_t nSize, const std::string& str)
{
    if (pDest == nullptr || nSize == 0)
        return;
    const std::size_t n = std::min(str.size(), nSize - 1);
    std::memcpy(pDest, str.data(), n);
    pDest[n] = '\0';
}

} // namespace

DWORD GetShortPathName32(const char* pszLongPath, char* pszShortPath, WORD nSize)
{
    TLock lock;
    TWinPath path;
    if (ParseWinPath(pszLongPath, path) != 0)
        return 0;
    const TDrive* pDrive = Drive(path.nDrive);
    if (pDrive == nullptr)
        return 0;
    TFd current(fcntl(pDrive->root.Get(), F_DUPFD_CLOEXEC, 0));
    if (!current.Valid())
        return 0;
    TWinPath shortPath;
    shortPath.nDrive = path.nDrive;
    for (std::size_t i = 0; i < path.parts.size(); ++i) {
        std::string strDisk;
        std::string strReal;
        struct stat st {};
        if (AnsiToDisk(path.parts[i], strDisk) != 0 || LookupName(current.Get(), strDisk, strReal, st, pDrive->bExactCase) != 0)
            return 0;
        std::string strShort = strReal;
        if (!IsLegalShortName(strReal)) {
            int nError = 0;
            const TFolderIndex* pIndex = GetFolderIndex(current.Get(), &nError);
            if (pIndex == nullptr || pIndex->AliasOf(strReal).empty())
                return 0;
            strShort = pIndex->AliasOf(strReal);
        }
        shortPath.parts.push_back(strShort);
        if (i + 1 < path.parts.size()) {
            TFd next;
            if (!S_ISDIR(st.st_mode) || OpenChildFolder(current.Get(), strReal, next) != 0)
                return 0;
            current = std::move(next);
        }
    }
    const std::string strResult = FormatWinPath(shortPath);
    if (pszShortPath == nullptr || strResult.size() + 1 > nSize)
        return 0;
    std::memcpy(pszShortPath, strResult.c_str(), strResult.size() + 1);
    return static_cast<DWORD>(strResult.size());
}

BOOL getcwd32(char* pBuffer, WORD nSize, DWORD* pOsError)
{
    TLock lock;
    if (!State().bHasCwd) {
        SetOsError(pOsError, ENOENT);
        return FALSE;
    }
    const std::string str = FormatWinPath(State().cwd);
    if (pBuffer == nullptr || str.size() + 1 > nSize) {
        SetOsError(pOsError, ERANGE);
        return FALSE;
    }
    std::memcpy(pBuffer, str.c_str(), str.size() + 1);
    SetOsError(pOsError, 0);
    return 1;
}

int mkdir32(const char* pszPath, DWORD* pOsError)
{
    TLock lock;
    TTarget target;
    int nError = Resolve(pszPath, target);
    if (nError == 0)
        nError = InjectedFault(OVFOp::mkdir, target.path);
    if (nError == 0 && target.bExists)
        nError = EEXIST;
    if (nError == 0) {
        TFolderChange change(target.dir.Get(), target.folderSt);
        if (mkdirat(target.dir.Get(), target.strLeaf.c_str(), 0777) != 0) {
            nError = errno;
        } else {
            change.Added(target.strLeaf);
            // A folder kept under this path was removed by another program: it is this one now.
            ForgetResolvedFolders();
        }
    }
    SetOsError(pOsError, nError);
    return nError == 0 ? 0 : -1;
}

int rmdir32(const char* pszPath, DWORD* pOsError)
{
    TLock lock;
    TTarget target;
    int nError = ResolveExisting(pszPath, target);
    if (nError == 0)
        nError = InjectedFault(OVFOp::rmdir, target.path);
    if (nError == 0 && target.bRoot)
        nError = EBUSY;
    if (nError == 0 && !S_ISDIR(target.st.st_mode))
        nError = ENOTDIR;
    if (nError == 0) {
        TFolderChange change(target.dir.Get());
        if (unlinkat(target.dir.Get(), target.strReal.c_str(), AT_REMOVEDIR) != 0) {
            nError = errno;
        } else {
            change.Removed(target.strReal);
            ForgetResolvedFolders();
        }
    }
    SetOsError(pOsError, nError);
    return nError == 0 ? 0 : -1;
}

int splitpath32(const char* pszPath, char* pszDrive, char* pszDir, char* pszName, char* pszExt, DWORD* pOsError)
{
    const std::string str = pszPath ? pszPath : "";
    std::size_t nPos = 0;
    std::string strDrive;
    if (str.size() >= 2 && str[1] == ':') {
        strDrive = str.substr(0, 2);
        nPos = 2;
    }
    const std::size_t nSlash = str.find_last_of("\\/");
    std::string strDir;
    if (nSlash != std::string::npos && nSlash >= nPos) {
        strDir = str.substr(nPos, nSlash + 1 - nPos);
        nPos = nSlash + 1;
    }
    std::string strName = str.substr(nPos);
    std::string strExt;
    if (const std::size_t nDot = strName.rfind('.'); nDot != std::string::npos) {
        strExt = strName.substr(nDot);
        strName.erase(nDot);
    }
    CopyCut(pszDrive, kOVF_maxDrive, strDrive);
    CopyCut(pszDir, kOVF_maxElement, strDir);
    CopyCut(pszName, kOVF_maxElement, strName);
    CopyCut(pszExt, kOVF_maxElement, strExt);
    SetOsError(pOsError, 0);
    return 0;
}

int makepath32(char* pszPath, const char* pszDrive, const char* pszDir, const char* pszName, const char* pszExt,
               DWORD* pOsError)
{
    std::string str;
    if (pszDrive && *pszDrive) {
        str.push_back(*pszDrive);
        str.push_back(':');
    }
    if (pszDir && *pszDir) {
        str += pszDir;
        if (str.back() != '\\' && str.back() != '/')
            str.push_back('\\');
    }
    if (pszName)
        str += pszName;
    if (pszExt && *pszExt) {
        if (*pszExt != '.')
            str.push_back('.');
        str += pszExt;
    }
    CopyCut(pszPath, MAX_PATH, str);
    SetOsError(pOsError, 0);
    return 0;
}
