// Directory searches: FindFirstFile32, FindNextFile32, FindClose32.
#include "Attributes.h"
#include "CaseFold.h"
#include "CodePages.h"
#include "Faults.h"
#include "FolderIndex.h"
#include "LibraryState.h"
#include "OVFile32.h"
#include "Resolver.h"
#include "ShortNames.h"
#include "StatusRecord.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

using namespace ovf;

namespace {

// An entry's status as its lookup read it.
struct TKnownStatus {
    struct stat st;
    std::optional<struct timespec> birth;
};

struct TCandidate {
    std::string strName;    // on disk; "." and ".." stand for the folder and its parent
    std::string strAlias;
    std::optional<TKnownStatus> known; // a single name's, read by its lookup a moment ago
};

struct TSearch {
    TSharedFd dir;
    TSharedFd parent;                  // for ".."; the folder itself at a drive's first level
    std::string strFaultKey;
    std::vector<TCandidate> candidates;
    std::size_t nNext = 0;
};

std::vector<std::unique_ptr<TSearch>>& Searches()
{
    static std::vector<std::unique_ptr<TSearch>> searches;   // handle = index + 1
    return searches;
}

// Wildcard match of folded UTF-8 text: '*' any run, '?' one character.
bool Matches(const std::u32string& pattern, std::size_t p, const std::u32string& text, std::size_t t)
{
    std::size_t nStarP = std::u32string::npos, nStarT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            nStarP = p++;
            nStarT = t;
        } else if (nStarP != std::u32string::npos) {
            p = nStarP + 1;
            t = ++nStarT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*')
        ++p;
    return p == pattern.size();
}

std::u32string Folded(const std::string& strUtf8)
{
    std::u32string text;
    DecodeUtf8(FoldName(strUtf8), text);
    return text;
}

bool HasWildcards(const std::string& str) { return str.find_first_of("*?") != std::string::npos; }

// Fills pData for one candidate; false when it vanished or cannot be listed.
bool FillEntry(TSearch& search, const TCandidate& candidate, WIN32_FIND_DATA* pData)
{
    const bool bSelf = candidate.strName == ".";
    const bool bParent = candidate.strName == "..";
    const int nFd = bParent ? search.parent.Get() : search.dir.Get();
    const std::string strEntry = (bSelf || bParent) ? std::string() : candidate.strName;
    TKnownStatus status{};
    if (candidate.known) {
        status = *candidate.known;
    } else {
        struct statx stx {};
        if (statx(nFd, strEntry.c_str(), AT_SYMLINK_NOFOLLOW | (strEntry.empty() ? AT_EMPTY_PATH : 0),
                  STATX_BASIC_STATS | STATX_BTIME, &stx) != 0)
            return false;
        status = {StatOf(stx), BirthOf(stx)};
    }
    const struct stat& st = status.st;
    if (S_ISLNK(st.st_mode))
        return false;
    std::string strAnsi = candidate.strName;
    if (!bSelf && !bParent && !DiskToAnsi(candidate.strName, strAnsi))
        return false;
    if (strAnsi.size() >= sizeof pData->cFileName || candidate.strAlias.size() >= sizeof pData->cAlternateFileName)
        return false;
    *pData = WIN32_FIND_DATA{};
    pData->dwFileAttributes = ReadAttributes(nFd, strEntry, st);
    if (bSelf || bParent)
        pData->dwFileAttributes &= ~static_cast<DWORD>(kOVF_attrHidden);
    const struct timespec& btime = status.birth ? *status.birth : st.st_mtim;
    pData->ftCreationTime = OVF_FileTimeFromUnix(btime.tv_sec, btime.tv_nsec);
    pData->ftLastAccessTime = OVF_FileTimeFromUnix(st.st_atim.tv_sec, st.st_atim.tv_nsec);
    pData->ftLastWriteTime = OVF_FileTimeFromUnix(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    if (!S_ISDIR(st.st_mode)) {
        const auto nSize = static_cast<std::uint64_t>(st.st_size);
        pData->nFileSizeHigh = static_cast<DWORD>(nSize >> 32);
        pData->nFileSizeLow = static_cast<DWORD>(nSize);
    }
    std::memcpy(pData->cFileName, strAnsi.c_str(), strAnsi.size() + 1);
    std::memcpy(pData->cAlternateFileName, candidate.strAlias.c_str(), candidate.strAlias.size() + 1);
    return true;
}

// The next entry of a search that can be reported; ENOENT at the end.
int Next(TSearch& search, WIN32_FIND_DATA* pData)
{
    while (search.nNext < search.candidates.size()) {
        const TCandidate& candidate = search.candidates[search.nNext++];
        if (FillEntry(search, candidate, pData))
            return 0;
    }
    return ENOENT;
}

int StartSearch(const char* pszPattern, TSearch& search)
{
    TWinPath path;
    if (const int nError = ParseWinPath(pszPattern, path))
        return nError;
    if (path.parts.empty())
        return ENOENT;   // a drive's root is no entry of any folder
    const std::string strPattern = path.parts.back();
    TWinPath folder = path;
    folder.parts.pop_back();
    search.strFaultKey = FaultKey(folder);
    if (const int nError = InjectedFault(OVFOp::findFirst, search.strFaultKey))
        return nError;

    if (!HasWildcards(strPattern)) {
        TTarget target;
        if (const int nError = ResolveParsed(path, target))
            return nError;
        if (!target.bExists)
            return ENOENT;
        search.dir = std::move(target.dir);
        int nError = 0;
        const TFolderIndex* pIndex = IsLegalShortName(target.strReal) ? nullptr : GetFolderIndex(search.dir.Get(), &nError);
        if (!IsLegalShortName(target.strReal) && pIndex == nullptr)
            return nError;
        search.candidates.push_back({target.strReal, pIndex ? pIndex->AliasOf(target.strReal) : std::string(),
                                     TKnownStatus{target.st, target.birth}});
        return 0;
    }

    TTarget target;
    if (const int nError = ResolveParsed(folder, target))
        return nError;
    if (!target.bExists)
        return ENOENT;
    if (!S_ISDIR(target.st.st_mode))
        return ENOTDIR;
    if (target.bRoot) {
        search.dir = std::move(target.dir);
    } else {
        search.parent = std::move(target.dir);
        TFd child;
        if (const int nError = OpenChildFolder(search.parent.Get(), target.strReal, child))
            return nError;
        search.dir = TSharedFd(std::move(child));
        search.candidates.push_back({".", "", std::nullopt});
        search.candidates.push_back({"..", "", std::nullopt});
    }
    int nError = 0;
    const TFolderIndex* pIndex = GetFolderIndex(search.dir.Get(), &nError);
    if (pIndex == nullptr)
        return nError;
    std::string strDiskPattern;
    if (const int nConvert = AnsiToDisk(strPattern, strDiskPattern))
        return nConvert;
    const bool bAll = strPattern == "*" || strPattern == "*.*";
    const std::u32string pattern = Folded(strDiskPattern);
    for (const TFolderEntry& entry : pIndex->Entries()) {
        if (!entry.bLive || (target.pDrive->bHideDotNames && entry.strName.starts_with('.')))
            continue;
        if (bAll || Matches(pattern, 0, Folded(entry.strName), 0) ||
            (!entry.strAlias.empty() && Matches(pattern, 0, Folded(entry.strAlias), 0)))
            search.candidates.push_back({entry.strName, entry.strAlias, std::nullopt});
    }
    if (!bAll) {   // "." and ".." only where the pattern selects them
        std::erase_if(search.candidates, [&](const TCandidate& candidate) {
            return (candidate.strName == "." || candidate.strName == "..") &&
                   !Matches(pattern, 0, Folded(candidate.strName), 0);
        });
    }
    return 0;
}

} // namespace

DWORD FindFirstFile32(const char* pszPattern, WIN32_FIND_DATA* pData, DWORD* pOsError)
{
    TLock lock;
    auto search = std::make_unique<TSearch>();
    int nError = pData ? StartSearch(pszPattern, *search) : EFAULT;
    if (nError == 0)
        nError = Next(*search, pData);
    SetOsError(pOsError, nError);
    if (nError)
        return kOVF_invalid;
    auto& searches = Searches();
    for (std::size_t i = 0; i < searches.size(); ++i) {
        if (!searches[i]) {
            searches[i] = std::move(search);
            return static_cast<DWORD>(i + 1);
        }
    }
    searches.push_back(std::move(search));
    return static_cast<DWORD>(searches.size());
}

BOOL FindNextFile32(DWORD hFind, WIN32_FIND_DATA* pData, DWORD* pOsError)
{
    TLock lock;
    auto& searches = Searches();
    int nError = (hFind == 0 || hFind > searches.size() || !searches[hFind - 1]) ? EBADF : pData ? 0 : EFAULT;
    if (nError == 0)
        nError = InjectedFault(OVFOp::findNext, searches[hFind - 1]->strFaultKey);
    if (nError == 0)
        nError = Next(*searches[hFind - 1], pData);
    SetOsError(pOsError, nError);
    return nError == 0 ? 1 : FALSE;
}

BOOL FindClose32(DWORD hFind, DWORD* pOsError)
{
    TLock lock;
    auto& searches = Searches();
    if (hFind == 0 || hFind > searches.size() || !searches[hFind - 1]) {
        SetOsError(pOsError, EBADF);
        return FALSE;
    }
    searches[hFind - 1].reset();
    SetOsError(pOsError, 0);
    return 1;
}
