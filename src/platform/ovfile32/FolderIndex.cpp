#include "FolderIndex.h"

#include "CaseFold.h"
#include "CodePages.h"
#include "Fd.h"
#include "ShortNames.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <list>
#include <map>
#include <memory>

namespace ovf {

namespace {

// A folder changed less than this before its index was read may have changed again within the
// same timestamp tick; such an index is read once more on its next use.
constexpr long kTickNanoseconds = 20'000'000;

long long Nanoseconds(const struct timespec& ts) { return ts.tv_sec * 1'000'000'000LL + ts.tv_nsec; }

bool SameTime(const struct timespec& a, const struct timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

struct timespec Now()
{
    struct timespec ts {};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts;
}

} // namespace

bool IsAddressableName(const std::string& strName)
{
    if (strName.find_first_of("\\:") != std::string::npos)
        return false;
    std::string strAnsi;
    return DiskToAnsi(strName, strAnsi) && strAnsi.size() < 256;
}

void TFolderIndex::Clear()
{
    m_entries.clear();
    m_byName.clear();
    m_byFold.clear();
    m_twins.clear();
    m_byShort.clear();
    m_skipped.clear();
}

int TFolderIndex::Build(int dirFd, const struct stat& st)
{
    Clear();
    m_snapshot = Now();
    m_mtime = st.st_mtim;
    m_ctime = st.st_ctim;
    m_bStale = false;
    // A change of the same tick as the reading may be missing from it, unless the last change
    // was the library's own.
    const bool bOwnLast = SameTime(m_mtime, m_ownMtime) && SameTime(m_ctime, m_ownCtime);
    m_bRacy = !bOwnLast &&
              Nanoseconds(m_snapshot) - std::max(Nanoseconds(m_mtime), Nanoseconds(m_ctime)) < kTickNanoseconds;

    const int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    DIR* pDir = fdopendir(fd);
    if (pDir == nullptr) {
        const int nError = errno;
        close(fd);
        return nError;
    }
    errno = 0;
    while (const dirent* pEntry = readdir(pDir)) {
        const std::string strName = pEntry->d_name;
        if (strName == "." || strName == "..")
            continue;
        unsigned char type = pEntry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat entrySt {};
            if (fstatat(dirfd(pDir), strName.c_str(), &entrySt, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISLNK(entrySt.st_mode) ? DT_LNK : DT_REG;
        }
        if (type == DT_LNK || !IsAddressableName(strName))
            continue;
        m_entries.push_back({strName, std::string(), true});
    }
    closedir(pDir);

    m_byName.reserve(m_entries.size());
    m_byFold.reserve(m_entries.size());
    for (std::uint32_t i = 0; i < m_entries.size(); ++i) {
        m_byName.emplace(m_entries[i].strName, i);
        AddFold(i);
    }
    AssignAliases();
    ++IndexCounters().nBuilds;
    return 0;
}

void TFolderIndex::AddFold(std::uint32_t nEntry)
{
    const auto [it, bNew] = m_byFold.try_emplace(FoldName(m_entries[nEntry].strName), TFoldGroup{nEntry, 1});
    if (bNew)
        return;
    std::vector<std::uint32_t>& twins = m_twins[it->first];
    if (twins.empty())
        twins.push_back(it->second.nWinner);   // the group's only member so far
    twins.push_back(nEntry);
    ++it->second.nCount;
    if (m_entries[nEntry].strName < m_entries[it->second.nWinner].strName)
        it->second.nWinner = nEntry;
}

// The smallest remaining name of the group wins; the real 8.3 names of the group point their
// short names at it, as a reading does. Answers whether one of them is the leaving name in
// other letters, so that its short name stays taken.
bool TFolderIndex::LeaveFold(const std::string& strFold, std::uint32_t nEntry)
{
    const auto itFold = m_byFold.find(strFold);
    if (itFold->second.nCount == 1) {
        m_byFold.erase(itFold);
        return false;
    }
    std::vector<std::uint32_t>& twins = m_twins.at(strFold);
    twins.erase(std::find(twins.begin(), twins.end(), nEntry));
    const std::uint32_t nWinner = *std::min_element(twins.begin(), twins.end(), [this](std::uint32_t a, std::uint32_t b) {
        return m_entries[a].strName < m_entries[b].strName;
    });
    const std::string strLeaving = UpperAscii(m_entries[nEntry].strName);
    bool bShortKept = false;
    for (std::uint32_t nTwin : twins) {
        if (!IsLegalShortName(m_entries[nTwin].strName))
            continue;
        std::string strShort = UpperAscii(m_entries[nTwin].strName);
        bShortKept = bShortKept || strShort == strLeaving;
        m_byShort[std::move(strShort)] = nWinner;
    }
    itFold->second = {nWinner, static_cast<std::uint32_t>(twins.size())};
    if (twins.size() == 1)
        m_twins.erase(strFold);
    return bShortKept;
}

void TFolderIndex::AssignAliases()
{
    // Real 8.3 names hold their slots; of names that differ only in case, the fold winner.
    std::vector<std::uint32_t> needAlias;
    for (std::uint32_t i = 0; i < m_entries.size(); ++i) {
        const std::string& strName = m_entries[i].strName;
        if (!IsLegalShortName(strName)) {
            needAlias.push_back(i);
            continue;
        }
        const std::uint32_t nWinner = m_byFold.at(FoldName(strName)).nWinner;
        m_byShort[UpperAscii(strName)] = nWinner;
    }
    // First attempts: a candidate wanted once and free is taken; of several, the smallest name.
    std::unordered_map<std::string, std::vector<std::uint32_t>> firstChoice;
    firstChoice.reserve(needAlias.size());
    for (std::uint32_t i : needAlias)
        firstChoice[AliasCandidate(m_entries[i].strName, 0)].push_back(i);
    std::vector<std::uint32_t> losers;
    for (auto& [strAlias, members] : firstChoice) {
        const bool bTakenByRealName = m_byShort.count(strAlias) != 0;
        if (!bTakenByRealName && members.size() == 1) {
            GiveAlias(members[0], strAlias, 0);
            continue;
        }
        auto itWinner = members.end();
        if (!bTakenByRealName) {
            itWinner = std::min_element(members.begin(), members.end(), [this](std::uint32_t a, std::uint32_t b) {
                return m_entries[a].strName < m_entries[b].strName;
            });
            GiveAlias(*itWinner, strAlias, 0);
        }
        for (auto it = members.begin(); it != members.end(); ++it) {
            if (it != itWinner) {
                Skip(strAlias, *it, 0);
                losers.push_back(*it);
            }
        }
    }
    // The rest, in byte order of their names, take the first free later attempt.
    std::sort(losers.begin(), losers.end(), [this](std::uint32_t a, std::uint32_t b) {
        return m_entries[a].strName < m_entries[b].strName;
    });
    for (std::uint32_t i : losers) {
        for (unsigned nAttempt = 1;; ++nAttempt) {
            const std::string strAlias = AliasCandidate(m_entries[i].strName, nAttempt);
            if (m_byShort.count(strAlias) != 0) {
                Skip(strAlias, i, nAttempt);
                continue;
            }
            GiveAlias(i, strAlias, nAttempt);
            break;
        }
    }
}

const std::string* TFolderIndex::Find(const std::string& strName) const
{
    if (const auto it = m_byName.find(strName); it != m_byName.end())
        return &m_entries[it->second].strName;
    if (const auto it = m_byFold.find(FoldName(strName)); it != m_byFold.end())
        return &m_entries[it->second.nWinner].strName;
    if (strName.find('~') != std::string::npos && IsLegalShortName(strName)) {
        if (const auto it = m_byShort.find(UpperAscii(strName)); it != m_byShort.end())
            return &m_entries[it->second].strName;
    }
    return nullptr;
}

const std::string& TFolderIndex::AliasOf(const std::string& strName) const
{
    static const std::string kNone;
    const auto it = m_byName.find(strName);
    return it == m_byName.end() ? kNone : m_entries[it->second].strAlias;
}

void TFolderIndex::GiveAlias(std::uint32_t nEntry, const std::string& strAlias, unsigned nAttempt)
{
    m_entries[nEntry].strAlias = strAlias;
    m_entries[nEntry].nAttempt = nAttempt;
    m_byShort[strAlias] = nEntry;
}

// An added name changes the aliases that a new reading would give only along one chain: the
// slot it takes may be the alias of an entry that a reading places after it (a later attempt
// of a name greater in byte order, or any alias where a real 8.3 name or a first choice comes),
// and that entry then goes on from its next attempt, which may in turn take the alias of a
// later one. Every attempt an entry skipped stays taken (nothing is freed), so no other entry
// moves; each step is a hash look-up, whatever the size of the folder.
void TFolderIndex::Add(const std::string& strName)
{
    if (m_byName.count(strName) != 0 || !IsAddressableName(strName))
        return;
    const auto nEntry = static_cast<std::uint32_t>(m_entries.size());
    m_entries.push_back({strName, std::string(), 0, true});
    m_byName.emplace(strName, nEntry);
    AddFold(nEntry);
    if (IsLegalShortName(strName))
        TakeRealSlot(nEntry);
    else
        TakeFirstChoice(nEntry);
}

void TFolderIndex::TakeRealSlot(std::uint32_t nEntry)
{
    const std::string strShort = UpperAscii(m_entries[nEntry].strName);
    const std::uint32_t nOwner = m_byFold.at(FoldName(m_entries[nEntry].strName)).nWinner;
    const auto [it, bFree] = m_byShort.try_emplace(strShort, nOwner);
    if (bFree)
        return;
    const std::uint32_t nHolder = it->second;
    it->second = nOwner;
    if (m_entries[nHolder].strAlias != strShort)
        return;   // a real name of the same letters
    Skip(strShort, nHolder, m_entries[nHolder].nAttempt);
    PlaceFromAttempt(nHolder, m_entries[nHolder].nAttempt + 1);
}

void TFolderIndex::TakeFirstChoice(std::uint32_t nEntry)
{
    const std::string strFirst = AliasCandidate(m_entries[nEntry].strName, 0);
    const auto it = m_byShort.find(strFirst);
    if (it == m_byShort.end()) {
        GiveAlias(nEntry, strFirst, 0);
        return;
    }
    const std::uint32_t nHolder = it->second;
    const TFolderEntry& holder = m_entries[nHolder];
    // A first choice goes before every later attempt, and of two first choices the smaller
    // name wins; a real 8.3 name keeps its slot.
    const bool bTakesIt = holder.strAlias == strFirst &&
                          (holder.nAttempt > 0 || m_entries[nEntry].strName < holder.strName);
    if (!bTakesIt) {
        Skip(strFirst, nEntry, 0);
        PlaceFromAttempt(nEntry, 1);
        return;
    }
    const unsigned nHolderAttempt = holder.nAttempt;
    Skip(strFirst, nHolder, nHolderAttempt);
    GiveAlias(nEntry, strFirst, 0);
    PlaceFromAttempt(nHolder, nHolderAttempt + 1);
}

// Places an entry whose alias was taken (or that has none yet) from attempt nAttempt on.
void TFolderIndex::PlaceFromAttempt(std::uint32_t nEntry, unsigned nAttempt)
{
    for (;;) {
        std::string strAlias = AliasCandidate(m_entries[nEntry].strName, nAttempt);
        const auto it = m_byShort.find(strAlias);
        if (it == m_byShort.end()) {
            GiveAlias(nEntry, strAlias, nAttempt);
            return;
        }
        const std::uint32_t nHolder = it->second;
        const TFolderEntry& holder = m_entries[nHolder];
        const bool bLaterLoser = holder.strAlias == strAlias && holder.nAttempt > 0 &&
                                 m_entries[nEntry].strName < holder.strName;
        if (!bLaterLoser) {
            Skip(strAlias, nEntry, nAttempt);
            ++nAttempt;
            continue;
        }
        const unsigned nHolderAttempt = holder.nAttempt;
        Skip(strAlias, nHolder, nHolderAttempt);
        GiveAlias(nEntry, strAlias, nAttempt);
        nEntry = nHolder;
        nAttempt = nHolderAttempt + 1;
    }
}

void TFolderIndex::Skip(const std::string& strShort, std::uint32_t nEntry, unsigned nAttempt)
{
    m_skipped[strShort].insert({nAttempt > 0, m_entries[nEntry].strName, nEntry, nAttempt});
}

// Forgets that an entry skipped its attempts nFrom .. nTo - 1.
void TFolderIndex::ForgetSkips(std::uint32_t nEntry, unsigned nFrom, unsigned nTo)
{
    const std::string& strName = m_entries[nEntry].strName;
    for (unsigned nAttempt = nFrom; nAttempt < nTo; ++nAttempt) {
        const auto it = m_skipped.find(AliasCandidate(strName, nAttempt));
        if (it == m_skipped.end())
            continue;
        it->second.erase(TSkip{nAttempt > 0, strName, nEntry, nAttempt});
        if (it->second.empty())
            m_skipped.erase(it);
    }
}

// A short name given up: a reading without its holder gives it to the first entry that wanted
// it (a first choice before a later attempt, the smallest name first), whose own alias is then
// given up in turn. Every other entry that wanted it still finds it taken.
void TFolderIndex::Release(std::string strShort)
{
    for (;;) {
        const auto it = m_skipped.find(strShort);
        if (it == m_skipped.end()) {
            m_byShort.erase(strShort);
            return;
        }
        const TSkip first = *it->second.begin();
        TFolderEntry& entry = m_entries[first.nEntry];
        std::string strFreed = entry.strAlias;
        ForgetSkips(first.nEntry, first.nAttempt, entry.nAttempt);
        GiveAlias(first.nEntry, strShort, first.nAttempt);
        strShort = std::move(strFreed);
    }
}

void TFolderIndex::Remove(const std::string& strName)
{
    const auto itName = m_byName.find(strName);
    if (itName == m_byName.end())
        return;
    const std::uint32_t nEntry = itName->second;
    TFolderEntry& entry = m_entries[nEntry];
    ForgetSkips(nEntry, 0, entry.strAlias.empty() ? 0 : entry.nAttempt);
    m_byName.erase(itName);
    entry.bLive = false;
    const bool bShortKept = LeaveFold(FoldName(strName), nEntry);
    if (!entry.strAlias.empty())
        Release(entry.strAlias);
    else if (!bShortKept)
        Release(UpperAscii(strName));
}

// ---- The cache ------------------------------------------------------------------------------

namespace {

struct TCache {
    unsigned nLimit = 64;
    std::list<std::pair<dev_t, ino_t>> lru;   // most recently used first
    std::map<std::pair<dev_t, ino_t>, std::pair<std::unique_ptr<TFolderIndex>, decltype(lru)::iterator>> indexes;

    TFolderIndex* Peek(const struct stat& st)
    {
        const auto it = indexes.find({st.st_dev, st.st_ino});
        return it == indexes.end() ? nullptr : it->second.first.get();
    }

    TFolderIndex& Take(const struct stat& st)
    {
        const std::pair<dev_t, ino_t> key{st.st_dev, st.st_ino};
        auto it = indexes.find(key);
        if (it != indexes.end()) {
            lru.splice(lru.begin(), lru, it->second.second);
            return *it->second.first;
        }
        while (!lru.empty() && indexes.size() >= nLimit) {
            indexes.erase(lru.back());
            lru.pop_back();
        }
        lru.push_front(key);
        auto& slot = indexes[key];
        slot.first = std::make_unique<TFolderIndex>();
        slot.first->m_bStale = true;
        slot.second = lru.begin();
        return *slot.first;
    }
};

TCache& Cache()
{
    static TCache cache;
    return cache;
}

// Unchanged since it was read or last updated in place.
bool IsUnchanged(const TFolderIndex& index, const struct stat& st)
{
    return !index.m_bStale && SameTime(index.m_mtime, st.st_mtim) && SameTime(index.m_ctime, st.st_ctim);
}

// Unchanged, and not a racy reading whose tick has passed (such a reading is taken again once).
bool IsCurrent(const TFolderIndex& index, const struct stat& st)
{
    return IsUnchanged(index, st) &&
           !(index.m_bRacy && Nanoseconds(Now()) - Nanoseconds(index.m_snapshot) >= kTickNanoseconds);
}

} // namespace

TFolderIndex* GetFolderIndex(int dirFd, int* pError, struct stat* pFolderSt)
{
    struct stat st {};
    if (fstat(dirFd, &st) != 0) {
        *pError = errno;
        return nullptr;
    }
    if (pFolderSt)
        *pFolderSt = st;
    TFolderIndex& index = Cache().Take(st);
    if (IsCurrent(index, st))
        return &index;
    if (const int nError = index.Build(dirFd, st)) {
        index.m_bStale = true;
        *pError = nError;
        return nullptr;
    }
    return &index;
}

TFolderChange::TFolderChange(int dirFd, const std::optional<struct stat>& folderSt) : m_dirFd(dirFd)
{
    // With no index kept at all there is none to bring up to date, nor will the change make one.
    if (Cache().indexes.empty()) {
        m_dirFd = -1;
        return;
    }
    struct stat st {};
    if (folderSt)
        st = *folderSt;
    else if (fstat(dirFd, &st) != 0)
        return;
    const TFolderIndex* pIndex = Cache().Peek(st);
    m_bCurrent = pIndex != nullptr && IsUnchanged(*pIndex, st);
}

// Also with no name changes (a name the index never holds came or went): the folder's new
// times are our own, and the index stays current.
TFolderChange::~TFolderChange()
{
    struct stat st {};
    if (m_dirFd < 0 || fstat(m_dirFd, &st) != 0)
        return;
    TFolderIndex* pIndex = Cache().Peek(st);
    if (pIndex == nullptr)
        return;
    if (m_bCurrent) {
        for (const TChange& change : m_changes) {
            if (change.bAdded)
                pIndex->Add(change.strName);
            else
                pIndex->Remove(change.strName);
        }
    }
    pIndex->m_ownMtime = st.st_mtim;
    pIndex->m_ownCtime = st.st_ctim;
    if (!m_bCurrent) {
        pIndex->m_bStale = true;
        return;
    }
    pIndex->m_mtime = st.st_mtim;
    pIndex->m_ctime = st.st_ctim;
    ++IndexCounters().nInPlaceUpdates;
}

TIndexCounters& IndexCounters()
{
    static TIndexCounters counters;
    return counters;
}

void SetIndexLimit(unsigned nFolders) { Cache().nLimit = std::max(1u, nFolders); }

void DropAllIndexes()
{
    Cache().indexes.clear();
    Cache().lru.clear();
}

} // namespace ovf
