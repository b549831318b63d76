// The drive table, the desktop folder, the current directory and POSIX path conversion.
#include "OVFDrives.h"

#include "FolderIndex.h"
#include "LibraryState.h"
#include "Resolver.h"

#include <fcntl.h>
#include <sys/statvfs.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

using namespace ovf;

namespace {

int LetterIndex(char cLetter)
{
    const int ch = std::toupper(static_cast<unsigned char>(cLetter));
    return (ch >= 'A' && ch <= 'Z') ? ch - 'A' : -1;
}

// "/a/b/" -> "/a/b"; "/" stays.
std::string TrimSlashes(std::string str)
{
    while (str.size() > 1 && str.back() == '/')
        str.pop_back();
    return str;
}

// The current directory falls back to the first drive's root when its drive goes away.
void RepairCurrentDirectory()
{
    TLibraryState& state = State();
    if (state.bHasCwd && Drive(state.cwd.nDrive) != nullptr)
        return;
    state.bHasCwd = false;
    for (int i = 0; i < 26; ++i) {
        if (Drive(i) != nullptr) {
            state.cwd = TWinPath{i, {}};
            state.bHasCwd = true;
            return;
        }
    }
}

} // namespace

int OVF_SetDrive(char cLetter, const char* pszPosixDir, OVFDriveKind kind, const char* pszLabel)
{
    TLock lock;
    const int nIndex = LetterIndex(cLetter);
    if (nIndex < 0 || pszPosixDir == nullptr || *pszPosixDir == '\0' || kind == OVFDriveKind::none ||
        static_cast<int>(kind) < 0 || static_cast<int>(kind) > 5)
        return EINVAL;
    TFd root(open(pszPosixDir, O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root.Valid())
        return errno;
    TDrive& drive = State().drives[nIndex];
    drive.bUsed = true;
    drive.root = std::move(root);
    drive.strPosixDir = TrimSlashes(pszPosixDir);
    drive.kind = kind;
    drive.strLabel = pszLabel ? pszLabel : "";
    drive.bExactCase = false;
    drive.bHideDotNames = false;
    ForgetResolvedFolders();
    RepairCurrentDirectory();
    return 0;
}

void OVF_SetDriveExactCase(char cLetter, bool bExactCase)
{
    TLock lock;
    const int nIndex = LetterIndex(cLetter);
    if (nIndex >= 0)
        State().drives[nIndex].bExactCase = bExactCase;
    ForgetResolvedFolders();
}

void OVF_HideDotNames(char cLetter, bool bHide)
{
    TLock lock;
    if (const int nIndex = LetterIndex(cLetter); nIndex >= 0)
        State().drives[nIndex].bHideDotNames = bHide;
}

void OVF_HideDesktopDotNames(bool bHide)
{
    TLock lock;
    State().desktop.bHideDotNames = bHide;
}

void OVF_RemoveDrive(char cLetter)
{
    TLock lock;
    const int nIndex = LetterIndex(cLetter);
    if (nIndex < 0)
        return;
    State().drives[nIndex] = TDrive{};
    ForgetResolvedFolders();
    RepairCurrentDirectory();
}

void OVF_ClearDrives()
{
    TLock lock;
    TLibraryState& state = State();
    for (TDrive& drive : state.drives)
        drive = TDrive{};
    state.bHasCwd = false;
    state.cwd = TWinPath{};
    state.desktop = TDrive{};
    state.nPathLimit = MAX_PATH;
    DropAllIndexes();
    ForgetResolvedFolders();
}

void OVF_KeepResolvedFolders(unsigned nMilliseconds)
{
    TLock lock;
    KeepResolvedFolders(nMilliseconds);
}

void OVF_ForgetResolvedFolders()
{
    TLock lock;
    ForgetResolvedFolders();
}

int OVF_UseLocalMachineDrives()
{
    TLock lock;
    OVF_ClearDrives();
    if (const int nError = OVF_SetDrive('C', "/", OVFDriveKind::fixed, ""))
        return nError;
    // Local paths go no further than this machine: as long as the system takes them.
    State().nPathLimit = PATH_MAX;
    // The guest's own disk is a POSIX one: a name that differs in case names another file.
    OVF_SetDriveExactCase('C', true);
    const char* pszHome = std::getenv("HOME");
    if (pszHome == nullptr || *pszHome != '/')
        return 0;
    const std::string strHome = TrimSlashes(pszHome);
    struct stat st {};
    const std::string strDesktop = strHome + "/Desktop";
    OVF_SetDesktopFolder(stat(strDesktop.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? strDesktop.c_str()
                                                                                     : strHome.c_str());
    std::string strWindows;
    if (OVF_PosixToWindowsPath(strHome, strWindows))
        OVF_SetCurrentDirectory(strWindows.c_str());
    return 0;
}

OVFDriveKind OVF_GetDriveKind(int nIndex)
{
    TLock lock;
    const TDrive* pDrive = Drive(nIndex);
    return pDrive ? pDrive->kind : OVFDriveKind::none;
}

bool OVF_GetDriveInfo(int nIndex, TOVFDriveInfo& info)
{
    TLock lock;
    info = TOVFDriveInfo{};
    const TDrive* pDrive = Drive(nIndex);
    if (pDrive == nullptr)
        return false;
    info.kind = pDrive->kind;
    info.strPosixDir = pDrive->strPosixDir;
    info.strLabel = pDrive->strLabel;
    info.nRootFd = pDrive->root.Get();
    struct statvfs vfs {};
    if (fstatvfs(pDrive->root.Get(), &vfs) == 0) {
        info.nFreeBytes = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
        info.nTotalBytes = static_cast<std::uint64_t>(vfs.f_blocks) * vfs.f_frsize;
    }
    return true;
}

int OVF_SetDesktopFolder(const char* pszPosixDir)
{
    TLock lock;
    TDrive& desktop = State().desktop;
    desktop = TDrive{};
    ForgetResolvedFolders();
    if (pszPosixDir == nullptr || *pszPosixDir == '\0')
        return 0;
    TFd root(open(pszPosixDir, O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!root.Valid())
        return errno;
    desktop.bUsed = true;
    desktop.root = std::move(root);
    desktop.strPosixDir = TrimSlashes(pszPosixDir);
    desktop.kind = OVFDriveKind::fixed;
    return 0;
}

std::string OVF_GetDesktopPath()
{
    TLock lock;
    return Drive(kDesktopDrive) ? FormatWinPath(TWinPath{kDesktopDrive, {}}) : std::string();
}

BOOL OVF_SetCurrentDirectory(const char* pszPath)
{
    TLock lock;
    TTarget target;
    if (ResolveExisting(pszPath, target) != 0 || !S_ISDIR(target.st.st_mode))
        return FALSE;
    TWinPath path;
    ParseWinPath(target.RealWinPath().c_str(), path);
    State().cwd = path;
    State().bHasCwd = true;
    return 1;
}

DWORD OVF_GetCurrentDirectory(DWORD nSize, char* pBuffer)
{
    TLock lock;
    if (!State().bHasCwd)
        return 0;
    const std::string str = FormatWinPath(State().cwd);
    if (pBuffer == nullptr || nSize < str.size() + 1)
        return static_cast<DWORD>(str.size() + 1);
    std::memcpy(pBuffer, str.c_str(), str.size() + 1);
    return static_cast<DWORD>(str.size());
}

bool OVF_PosixToWindowsPath(const std::string& strPosix, std::string& strWindows)
{
    TLock lock;
    const std::string strPath = TrimSlashes(strPosix);
    int nBest = -1;
    std::size_t nBestLength = 0;
    for (int i = 0; i < 26; ++i) {
        const TDrive* pDrive = Drive(i);
        if (pDrive == nullptr)
            continue;
        const std::string& strDir = pDrive->strPosixDir;
        const bool bInside = strDir == "/" ? strPath.starts_with("/")
                                           : (strPath == strDir || strPath.starts_with(strDir + "/"));
        if (bInside && (nBest < 0 || strDir.size() > nBestLength)) {
            nBest = i;
            nBestLength = strDir.size();
        }
    }
    if (nBest < 0)
        return false;
    TWinPath path;
    path.nDrive = nBest;
    std::size_t nPos = nBestLength;
    while (nPos < strPath.size()) {
        while (nPos < strPath.size() && strPath[nPos] == '/')
            ++nPos;
        const std::size_t nEnd = std::min(strPath.find('/', nPos), strPath.size());
        const std::string strDisk = strPath.substr(nPos, nEnd - nPos);
        nPos = nEnd;
        if (strDisk.empty() || strDisk == ".")
            continue;
        std::string strAnsi;
        if (strDisk == ".." || !IsAddressableName(strDisk) || !DiskToAnsi(strDisk, strAnsi))
            return false;
        path.parts.push_back(strAnsi);
    }
    strWindows = FormatWinPath(path);
    return strWindows.size() < State().nPathLimit;
}

std::size_t OVF_PathLimit()
{
    TLock lock;
    return State().nPathLimit;
}

bool OVF_WindowsToPosixPath(const char* pszWindows, std::string& strPosix)
{
    TLock lock;
    TTarget target;
    if (Resolve(pszWindows, target) != 0)
        return false;
    strPosix = target.pDrive->strPosixDir;
    std::vector<std::string> parts = target.realFolders;
    if (!target.bRoot)
        parts.push_back(target.strReal);
    for (const std::string& strPart : parts)
        strPosix += (strPosix.back() == '/' ? "" : "/") + strPart;
    return true;
}
