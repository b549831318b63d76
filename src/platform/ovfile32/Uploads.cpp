#include "OVFUploads.h"

#include "BufferedFile.h"
#include "Faults.h"
#include "FolderIndex.h"
#include "LibraryState.h"
#include "Resolver.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <map>
#include <random>
#include <set>
#include <sys/stat.h>
#include <pthread.h>
#include <unistd.h>
#include <vector>

using namespace ovf;

namespace {
// ':' cannot appear in a name of this namespace: no guest can name or see a temporary.
constexpr char kTempPrefix[] = ".vantry-upload:";

// Each open temporary's final path (Windows-style), by its name.
std::map<std::string, std::string>& Uploads()
{
    static std::map<std::string, std::string> uploads;
    return uploads;
}

std::string& JournalSetting()
{
    static std::string strFolder;
    return strFolder;
}

// Empty when this user has no state folder: the journal is never put where others could
// write.
std::string JournalFolder()
{
    if (!JournalSetting().empty())
        return JournalSetting();
    std::string strBase;
    if (const char* pszState = std::getenv("XDG_STATE_HOME"); pszState && *pszState)
        strBase = pszState;
    else if (const char* pszHome = std::getenv("HOME"); pszHome && *pszHome)
        strBase = std::string(pszHome) + "/.local/state";
    else
        return std::string();
    return strBase + "/vantry/uploads";
}

// Makes the journal folder (0700) when it is missing; 0 when it is there, a folder (not a link)
// of this user that no one else may write, else errno.
int MakeJournalFolder(const std::string& strFolder)
{
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(strFolder, error))) {
        std::filesystem::create_directories(std::filesystem::path(strFolder).parent_path(), error);
        if (mkdir(strFolder.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    struct stat st {};
    if (lstat(strFolder.c_str(), &st) != 0)
        return errno;
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        return EPERM;
    if ((st.st_mode & 077) != 0 && chmod(strFolder.c_str(), 0700) != 0)
        return errno;
    return 0;
}

// A journal entry, opened without following a link in its place.
int OpenJournalEntry(const std::string& strEntry, int nFlags)
{
    return open(strEntry.c_str(), nFlags | O_NOFOLLOW | O_CLOEXEC, 0600);
}

// This process's number, asked of the system once (and again in a forked child): each
// placeholder and temporary names it.
pid_t ProcessId()
{
    static pid_t nPid = [] {
        pthread_atfork(nullptr, nullptr, [] { nPid = getpid(); });
        return getpid();
    }();
    return nPid;
}

// The owner's process number is part of the name, so that the leftovers of one process can be
// told from the temporaries of others in the same folder.
std::string TempNamePrefix(pid_t nOwner) { return kTempPrefix + std::to_string(nOwner) + "-"; }

std::string NewTempName()
{
    static std::mt19937_64 random{std::random_device{}()};
    char szRandom[32];
    std::snprintf(szRandom, sizeof szRandom, "%016llx", static_cast<unsigned long long>(random()));
    return TempNamePrefix(ProcessId()) + szRandom;
}

// The absolute POSIX path of an open folder.
std::string PosixPathOf(int dirFd)
{
    char szLink[64];
    std::snprintf(szLink, sizeof szLink, "/proc/self/fd/%d", dirFd);
    char szFolder[PATH_MAX];
    const ssize_t nLength = readlink(szLink, szFolder, sizeof szFolder);
    if (nLength <= 0 || static_cast<std::size_t>(nLength) >= sizeof szFolder)
        return std::string();
    return std::string(szFolder, static_cast<std::size_t>(nLength));
}

// This process's journal entry (named after the process), open for appending while the
// process makes uploads; reopened when the journal folder changes.
struct TJournalEntry {
    std::string strPath;
    TFd fd;
    std::set<std::string> notedFolders;
    std::map<std::string, std::string> absoluteFolders; // by drive folder and real names
};

TJournalEntry& JournalEntry()
{
    static TJournalEntry entry;
    return entry;
}

// This process's entry in the journal folder of the moment, opened when first needed there.
TJournalEntry& CurrentJournalEntry()
{
    TJournalEntry& entry = JournalEntry();
    const std::string strFolder = JournalFolder();
    const std::string strPath = strFolder.empty() ? std::string() : strFolder + "/" + std::to_string(ProcessId());
    if (entry.strPath != strPath)
        entry = TJournalEntry{strPath, TFd(), {}, {}};
    if (!entry.fd.Valid() && !strFolder.empty() && MakeJournalFolder(strFolder) == 0)
        entry.fd.Reset(OpenJournalEntry(strPath, O_WRONLY | O_APPEND | O_CREAT));
    return entry;
}

// Appends one line to this process's journal entry; nothing where there is no journal.
void AppendToJournal(TJournalEntry& entry, const std::string& strLine)
{
    if (entry.fd.Valid()) {
        const std::string strOut = strLine + '\n';
        [[maybe_unused]] const ssize_t n = write(entry.fd.Get(), strOut.data(), strOut.size());
    }
}

// The absolute path of a target's folder, looked up once per folder.
const std::string& AbsoluteFolderOf(TJournalEntry& entry, const TTarget& target)
{
    std::string strKey = target.pDrive->strPosixDir;
    for (const std::string& strName : target.realFolders)
        strKey += "/" + strName;
    const auto [it, bNew] = entry.absoluteFolders.try_emplace(strKey);
    if (bNew)
        it->second = PosixPathOf(target.dir.Get());
    return it->second;
}

// Notes in the journal each folder that receives temporaries, once: a folder of many uploads
// costs one line, not a journal file per upload.
void NoteFolderInJournal(const TTarget& target)
{
    TJournalEntry& entry = CurrentJournalEntry();
    const std::string& strFolder = AbsoluteFolderOf(entry, target);
    if (entry.notedFolders.insert(strFolder).second)
        AppendToJournal(entry, strFolder);
}

// The journal's other lines: an empty file made for an upload (removed at the sweep when it is
// still that empty file, unchanged), one that is complete as it is (left alone), and a folder
// that holds a copy until it is moved into place (removed when empty).
constexpr char kPlaceholderLine[] = "placeholder ";
constexpr char kSettledLine[] = "settled ";
constexpr char kStagingLine[] = "staging ";

// "DEV:INO", as a settled line names the file.
std::string FileKey(std::uint64_t nDevice, std::uint64_t nInode)
{
    return std::to_string(nDevice) + ":" + std::to_string(nInode);
}

// "DEV:INO:CTIME", as a placeholder line names the file.
std::string IdentityText(std::uint64_t nDevice, std::uint64_t nInode, const struct timespec& ctime)
{
    return FileKey(nDevice, nInode) + ":" + std::to_string(ctime.tv_sec) + "." + std::to_string(ctime.tv_nsec);
}

std::string ReadAll(int fd)
{
    std::string strAll;
    char buffer[4096];
    for (ssize_t n; fd >= 0 && (n = read(fd, buffer, sizeof buffer)) > 0;)
        strAll.append(buffer, static_cast<std::size_t>(n));
    return strAll;
}

// Removes the temporaries a process left in a folder, adding their paths to removed.
void RemoveTemporariesOf(pid_t nOwner, const std::string& strFolder, std::vector<std::string>& removed)
{
    const std::string strPrefix = TempNamePrefix(nOwner);
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(strFolder, error)) {
        if (item.path().filename().string().compare(0, strPrefix.size(), strPrefix) == 0 &&
            std::remove(item.path().c_str()) == 0)
            removed.push_back(item.path().string());
    }
}

// "DEV:INO:CTIME PATH" of a placeholder line: the file goes when it is still that empty file,
// never changed since it was made, and not settled as complete; its path is added to removed.
void RemoveAbandonedPlaceholder(const std::string& strPlaceholder, const std::set<std::string>& settled,
                                std::vector<std::string>& removed)
{
    const std::size_t nBlank = strPlaceholder.find(' ');
    if (nBlank == std::string::npos)
        return;
    const std::string strIdentity = strPlaceholder.substr(0, nBlank);
    const std::string strPath = strPlaceholder.substr(nBlank + 1);
    struct stat st {};
    if (lstat(strPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 ||
        IdentityText(st.st_dev, st.st_ino, st.st_ctim) != strIdentity || settled.contains(FileKey(st.st_dev, st.st_ino)))
        return;
    if (unlink(strPath.c_str()) == 0)
        removed.push_back(strPath);
}

bool IsTempName(const std::string& strPath)
{
    const std::size_t nSlash = strPath.rfind('/');
    return strPath.compare(nSlash == std::string::npos ? 0 : nSlash + 1, sizeof kTempPrefix - 1, kTempPrefix) == 0;
}

void Forget(const std::string& strToken)
{
    Uploads().erase(strToken);
}

OVFFileIdentity IdentityOf(const struct stat& st)
{
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool IsPlaceholderTarget(const TTarget& target, const OVFFileIdentity& identity)
{
    return target.bExists && S_ISREG(target.st.st_mode) && target.st.st_size == 0 && IdentityOf(target.st) == identity;
}
} // namespace

BOOL OVF_CreatePlaceholder(const char* pszPath, OVFFileIdentity* pIdentity, DWORD* pOsError)
{
    TLock lock;
    TTarget target;
    int nError = Resolve(pszPath, target, ELeaf::ToMake);
    if (nError == 0 && (target.bRoot || target.bExists))
        nError = EEXIST;
    if (nError == 0)
        nError = InjectedFault(OVFOp::openWrite, target.path);
    struct stat st {};
    if (nError == 0) {
        TFolderChange change(target.dir.Get(), target.folderSt);
        TFd fd(openat(target.dir.Get(), target.strLeaf.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd.Valid() || fstat(fd.Get(), &st) != 0)
            nError = errno;
        else
            change.Added(target.strLeaf);
        // The index knows no links: one at the name is told as a lookup would have told it.
        if (nError == EEXIST && fstatat(target.dir.Get(), target.strLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            nError = ELOOP;
    }
    SetOsError(pOsError, nError);
    if (nError)
        return FALSE;
    *pIdentity = IdentityOf(st);
    // A process that dies before the upload comes leaves the empty file to the next sweep.
    TJournalEntry& entry = CurrentJournalEntry();
    if (const std::string& strFolder = AbsoluteFolderOf(entry, target); !strFolder.empty())
        AppendToJournal(entry, kPlaceholderLine + IdentityText(st.st_dev, st.st_ino, st.st_ctim) + " " + strFolder + "/" +
                                   target.strLeaf);
    return TRUE;
}

void OVF_CloseUploadJournal()
{
    TLock lock;
    JournalEntry().fd.Reset();
}

void OVF_NoteStagingFolder(const char* pszPosixDir)
{
    TLock lock;
    AppendToJournal(CurrentJournalEntry(), kStagingLine + std::string(pszPosixDir));
}

void OVF_SettlePlaceholder(const OVFFileIdentity& identity)
{
    TLock lock;
    AppendToJournal(CurrentJournalEntry(), kSettledLine + FileKey(identity.nDevice, identity.nInode));
}

BOOL OVF_IsPlaceholder(const char* pszPath, const OVFFileIdentity& identity)
{
    TLock lock;
    TTarget target;
    return Resolve(pszPath, target) == 0 && IsPlaceholderTarget(target, identity);
}

DWORD OVF_OpenUploadTemp(const char* pszFinalPath, std::string* pToken, DWORD* pOsError,
                         const OVFFileIdentity* pPlaceholder, OVFHoldCheck eCheck)
{
    TLock lock;
    TTarget target;
    const bool bCheckHold = pPlaceholder && eCheck == OVFHoldCheck::AtOpenAndCommit;
    int nError = Resolve(pszFinalPath, target, pPlaceholder && !bCheckHold ? ELeaf::Unread : ELeaf::Any);
    if (nError == 0 && target.bRoot)
        nError = EISDIR;
    if (nError == 0 && bCheckHold && !IsPlaceholderTarget(target, *pPlaceholder))
        nError = EEXIST;
    if (nError == 0)
        nError = InjectedFault(OVFOp::open, target.path);
    if (nError == 0)
        nError = InjectedFault(OVFOp::openWrite, target.path);
    if (nError) {
        SetOsError(pOsError, nError);
        return kOVF_invalid;
    }
    const std::string strTempName = NewTempName();
    TFd fd;
    {
        // A temporary is never in an index (its name cannot be addressed); the bracket keeps the
        // folder's index current instead of having it rebuilt for our own change.
        TFolderChange change(target.dir.Get());
        fd.Reset(openat(target.dir.Get(), strTempName.c_str(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0644));
    }
    if (!fd.Valid()) {
        SetOsError(pOsError, errno);
        return kOVF_invalid;
    }
    NoteFolderInJournal(target);
    Uploads()[strTempName] = pszFinalPath;
    *pToken = strTempName;
    SetOsError(pOsError, 0);
    auto file = std::make_unique<TBufferedFile>(std::move(fd), target.FaultKey(), true);
    file->MarkFresh();
    file->SetNames(target.strLeaf, target.RealWinPath());
    return AddHandle(std::move(file));
}

BOOL OVF_CommitUploadTemp(const std::string& strToken, const char* pszFinalPath, DWORD* pOsError,
                          const OVFFileIdentity* pPlaceholder)
{
    TLock lock;
    TTarget target;
    int nError = Uploads().count(strToken) ? Resolve(pszFinalPath, target) : ENOENT;
    if (nError == 0 && pPlaceholder && !IsPlaceholderTarget(target, *pPlaceholder))
        nError = EEXIST;
    if (nError == 0)
        nError = InjectedFault(OVFOp::rename, target.path);
    if (nError == 0) {
        TFolderChange change(target.dir.Get());
        if (renameat(target.dir.Get(), strToken.c_str(), target.dir.Get(), target.strReal.c_str()) != 0)
            nError = errno;
        else if (!target.bExists)
            change.Added(target.strReal);
    }
    if (nError) {
        SetOsError(pOsError, nError);
        if (nError != ENOENT || Uploads().count(strToken)) {
            OVF_DiscardUploadTemp(strToken);
        }
        return FALSE;
    }
    Forget(strToken);
    SetOsError(pOsError, 0);
    return TRUE;
}

void OVF_DiscardUploadTemp(const std::string& strToken)
{
    TLock lock;
    auto it = Uploads().find(strToken);
    if (it == Uploads().end())
        return;
    TTarget target;
    if (Resolve(it->second.c_str(), target) == 0) {
        TFolderChange change(target.dir.Get());
        unlinkat(target.dir.Get(), strToken.c_str(), 0);
    }
    Forget(strToken);
}

int OVF_RemoveUploadLeftovers(std::vector<std::string>* pRemoved)
{
    TLock lock;
    std::vector<std::string> removed;
    const std::string strFolder = JournalFolder();
    if (strFolder.empty() || MakeJournalFolder(strFolder) != 0)
        return 0;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(strFolder, error)) {
        const std::string strEntryName = entry.path().filename().string();
        const pid_t nOwner = static_cast<pid_t>(std::atol(strEntryName.c_str()));
        if (nOwner <= 0 || nOwner == ProcessId() || (kill(nOwner, 0) == 0 || errno != ESRCH))
            continue; // its process is still running
        // One line per folder that received temporaries; an entry may also name one temporary,
        // and the empty files made for uploads.
        const TFd entryFd(OpenJournalEntry(entry.path().string(), O_RDONLY));
        std::istringstream lines(ReadAll(entryFd.Get()));
        std::vector<std::string> placeholders;
        std::vector<std::string> staging;
        std::set<std::string> settled;
        for (std::string strLine; std::getline(lines, strLine);) {
            if (strLine.starts_with(kStagingLine)) {
                staging.push_back(strLine.substr(sizeof kStagingLine - 1));
            } else if (strLine.starts_with(kPlaceholderLine)) {
                placeholders.push_back(strLine.substr(sizeof kPlaceholderLine - 1));
            } else if (strLine.starts_with(kSettledLine)) {
                settled.insert(strLine.substr(sizeof kSettledLine - 1));
            } else if (IsTempName(strLine)) {
                if (std::remove(strLine.c_str()) == 0)
                    removed.push_back(strLine);
            } else if (!strLine.empty()) {
                RemoveTemporariesOf(nOwner, strLine, removed);
            }
        }
        for (const std::string& strPlaceholder : placeholders)
            RemoveAbandonedPlaceholder(strPlaceholder, settled, removed);
        // A staging folder goes once its temporaries have: what arrived complete stays.
        for (const std::string& strStaging : staging) {
            RemoveTemporariesOf(nOwner, strStaging, removed);
            if (rmdir(strStaging.c_str()) == 0)
                removed.push_back(strStaging);
        }
        std::filesystem::remove(entry.path(), error);
    }
    const int nRemoved = static_cast<int>(removed.size());
    if (pRemoved)
        *pRemoved = std::move(removed);
    return nRemoved;
}

std::string OVF_CheckUploadJournal()
{
    TLock lock;
    const std::string strFolder = JournalFolder();
    if (strFolder.empty())
        return "neither HOME nor XDG_STATE_HOME is set: there is no private folder for the upload journal";
    if (const int nError = MakeJournalFolder(strFolder); nError != 0)
        return "the upload journal folder " + strFolder + " cannot be used: " +
               (nError == EPERM ? std::string("it is not a folder of this user") : std::strerror(nError));
    return std::string();
}

int OVF_EndUploads()
{
    TLock lock;
    std::vector<std::string> tokens;
    for (const auto& [strToken, strFinal] : Uploads())
        tokens.push_back(strToken);
    for (const std::string& strToken : tokens)
        OVF_DiscardUploadTemp(strToken);
    if (const std::string strFolder = JournalFolder(); !strFolder.empty())
        unlink((strFolder + "/" + std::to_string(ProcessId())).c_str());
    JournalEntry() = TJournalEntry{};
    return static_cast<int>(tokens.size());
}

void OVF_SetUploadJournalFolder(const char* pszPosixDir)
{
    TLock lock;
    JournalSetting() = pszPosixDir ? pszPosixDir : "";
    JournalEntry() = TJournalEntry{};
}
