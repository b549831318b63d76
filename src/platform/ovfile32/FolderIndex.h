// Per-folder name index (internal).
//
// Looking a name up without regard to case, or by its 8.3 alias, needs every name of the
// folder; an index keeps them per folder (keyed by device and inode) so that only the first
// miss pays for a scan. The index is checked against the folder's modification and change
// times on every use and rebuilt when someone else changed the folder; the library's own
// creates, renames and removes update it in place (TFolderChange). At most a bounded number of
// folders is kept, least recently used dropped first.
//
// Residual risk, accepted: a change by another process within the same timestamp tick as one
// of the library's own changes to the same folder is seen only at the folder's next change.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace ovf {

// True when a name on disk can be addressed through the library's namespace.
bool IsAddressableName(const std::string& strName);

struct TFolderEntry {
    std::string strName;     // as on disk
    std::string strAlias;    // 8.3 alias; empty for a legal 8.3 name
    unsigned nAttempt = 0;   // the alias candidate the alias is (0: the first choice)
    bool bLive = true;
};

class TFolderIndex {
public:
    // Reads the folder open at dirFd. Returns 0 or errno.
    int Build(int dirFd, const struct stat& st);

    // The real name that a name stands for: an exact name, else the same name in another letter
    // case (the smallest in byte order), else an alias. Null when none.
    const std::string* Find(const std::string& strName) const;
    // The alias of a real name; "" when it has none or is unknown.
    const std::string& AliasOf(const std::string& strName) const;
    const std::vector<TFolderEntry>& Entries() const { return m_entries; }

    // In-place updates for the library's own changes. Each leaves the index as reading the
    // folder anew would make it, other entries' aliases included (see the .cpp).
    void Add(const std::string& strName);
    void Remove(const std::string& strName);

    // Validation state.
    struct timespec m_mtime {};
    struct timespec m_ctime {};
    struct timespec m_snapshot {};   // when the folder was read
    struct timespec m_ownMtime {};   // the folder's times after the library's last own change
    struct timespec m_ownCtime {};
    bool m_bRacy = false;    // read within one timestamp tick of someone else's change
    bool m_bStale = false;

private:
    struct TFoldGroup {
        std::uint32_t nWinner;
        std::uint32_t nCount;
    };
    void Clear();
    void AddFold(std::uint32_t nEntry);
    bool LeaveFold(const std::string& strFold, std::uint32_t nEntry);
    void AssignAliases();
    void TakeRealSlot(std::uint32_t nEntry);
    void TakeFirstChoice(std::uint32_t nEntry);
    void PlaceFromAttempt(std::uint32_t nEntry, unsigned nAttempt);
    void GiveAlias(std::uint32_t nEntry, const std::string& strAlias, unsigned nAttempt);
    void Skip(const std::string& strShort, std::uint32_t nEntry, unsigned nAttempt);
    void ForgetSkips(std::uint32_t nEntry, unsigned nFrom, unsigned nTo);
    void Release(std::string strShort);

    // An entry that wanted a short name and found it taken: at its first choice (which goes
    // before every later attempt in a reading) or at a later attempt; of each, the smallest name
    // first.
    struct TSkip {
        bool bLater;
        std::string strName;
        std::uint32_t nEntry;
        unsigned nAttempt;
        bool operator<(const TSkip& other) const
        {
            return bLater != other.bLater ? !bLater : strName < other.strName;
        }
    };

    std::vector<TFolderEntry> m_entries;
    std::unordered_map<std::string, std::uint32_t> m_byName;
    std::unordered_map<std::string, TFoldGroup> m_byFold;
    // The members of each group of names that differ only in letter case (few, and only on a
    // disk that tells them apart), so that a removal can name the next winner.
    std::unordered_map<std::string, std::vector<std::uint32_t>> m_twins;
    std::unordered_map<std::string, std::uint32_t> m_byShort;   // upper-case 8.3 name -> entry
    std::unordered_map<std::string, std::set<TSkip>> m_skipped;  // short name -> who wanted it too
};

// The current index of the folder open at dirFd (built or rebuilt as needed); null with
// *pError set when the folder cannot be read. Valid until the next library call.
TFolderIndex* GetFolderIndex(int dirFd, int* pError, struct stat* pFolderSt = nullptr);

// Brackets one of the library's own changes to a folder:
//   TFolderChange change(dirFd); if (renameat(...) == 0) { change.Removed(a); change.Added(b); }
// The destructor brings the folder's index up to date in place when it was current before the
// change, and marks it for a rebuild otherwise. folderSt: the folder's status as the lookup just
// before the change read it, if it did (read again otherwise).
class TFolderChange {
public:
    explicit TFolderChange(int dirFd, const std::optional<struct stat>& folderSt = std::nullopt);
    ~TFolderChange();
    TFolderChange(const TFolderChange&) = delete;
    TFolderChange& operator=(const TFolderChange&) = delete;

    void Added(const std::string& strName) { m_changes.push_back({true, strName}); }
    void Removed(const std::string& strName) { m_changes.push_back({false, strName}); }

private:
    int m_dirFd;
    bool m_bCurrent = false;
    struct TChange {
        bool bAdded;
        std::string strName;
    };
    std::vector<TChange> m_changes;
};

struct TIndexCounters {
    std::uint64_t nBuilds = 0;
    std::uint64_t nInPlaceUpdates = 0;
};
TIndexCounters& IndexCounters();
void SetIndexLimit(unsigned nFolders);
void DropAllIndexes();

} // namespace ovf
