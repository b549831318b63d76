// What the guest knows of the remote file system: one level record for the remote volume and for
// each folder between its root and the remote pane's folder, each with the entries listed for it.
#pragma once

#include "HList.h"
#include "PacketLayout.h"
#include "WinTypes.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

inline constexpr std::size_t kRemoteShortName = 32;
inline constexpr std::size_t kRemoteLongName = 256;
inline constexpr std::uint16_t kRemoteAttrFolder = 0x10;

// One remote entry, as a kFTP_msgAFile record describes it. The rest of an entry is zero.
struct TRemoteEntry {
    std::uint32_t dwFolder;     // non-zero for a folder; a folder's own entry in path mode 0: its directory number
    char type[4];
    std::uint32_t dwSize;
    std::uint32_t dwSpare;      // the record's zero field; with large sizes agreed, the size's high 32 bits
    std::uint16_t wAttributes;  // 0x10 folder
    char szShortName[kRemoteShortName];
    char szLongName[kRemoteLongName];
    std::uint32_t dwModTime;    // Mac time in host order; 0 when the host sends none
};

// The entry's size in bytes, both words.
inline std::uint64_t RemoteEntrySize(const TRemoteEntry& entry) { return (std::uint64_t{entry.dwSpare} << 32) | entry.dwSize; }
inline void SetRemoteEntrySize(TRemoteEntry& entry, std::uint64_t nSize)
{
    entry.dwSize = static_cast<std::uint32_t>(nSize);
    entry.dwSpare = static_cast<std::uint32_t>(nSize >> 32);
}

// The name the entry is known by: the long name when the host sent one, else the short name.
std::string_view RemoteEntryName(const TRemoteEntry& entry);
// Fills an entry's names from a name received: a short name when it fits, the long name on a host with long names.
void SetRemoteEntryName(TRemoteEntry& entry, std::string_view sName, bool bLongNames);

struct TRemoteLevel {
    std::uint8_t volumeRecord[Packet::AVol::kRecordLong]; // as received, zero-filled past a short record
    char szName[MAX_PATH];                                 // the volume's name at the root, else the folder's
    HList pathEntries;                                     // the last one is the folder's own entry
    HList entries;                                         // in the order received
};

// The listing: a handle list of level records and the index of the current level.
class TRemoteListing {
public:
    TRemoteListing();
    ~TRemoteListing();
    TRemoteListing(const TRemoteListing&) = delete;
    TRemoteListing& operator=(const TRemoteListing&) = delete;

    HList& Levels() { return m_levels; }
    std::uint32_t LevelCount() const { return m_levels.count; }
    std::uint32_t CurrentLevel() const { return m_nCurrentLevel; }
    void SetCurrentLevel(std::uint32_t nLevel) { m_nCurrentLevel = nLevel; }
    // A copy of the current level's entries; empty when there is no such level.
    std::vector<TRemoteEntry> CurrentEntries() { return EntriesAt(m_nCurrentLevel); }
    // A copy of a level's entries; empty when there is no such level.
    std::vector<TRemoteEntry> EntriesAt(std::uint32_t nLevel);

    // Keeps the levels that the path's components still name (their entries stay), frees the
    // deeper ones, adds a level for each component not yet there, and makes the last one current.
    // sVolumeName is the name of the volume record given (the root level's name).
    void EnterPath(const std::uint8_t* pVolumeRecord, std::string_view sVolumeName, std::string_view sRelativePath);
    // Empties the entries of the current level, ready for a new listing of it.
    void ClearCurrentEntries();
    // Appends an entry to the current level.
    void AddCurrentEntry(const TRemoteEntry& entry);
    // Frees every level.
    void Clear();
    // Removes the level's entries that have the entry's exact name and appends the entry;
    // returns its index.
    std::uint32_t PutEntry(std::uint32_t nLevel, const TRemoteEntry& entry);

private:
    void FreeLevel(TRemoteLevel& level);
    void ForgetNames() { m_nIndexedLevel = kNoLevel; }

    static constexpr std::uint32_t kNoLevel = UINT32_MAX;

    HList m_levels;
    std::uint32_t m_nCurrentLevel = 0;
    // How many entries of one level carry each name, so that entries added one by one (an
    // upload of a large folder) do not scan the whole level each time. Built on first use;
    // forgotten when the levels change in any other way.
    std::uint32_t m_nIndexedLevel = kNoLevel;
    std::unordered_map<std::string, std::uint32_t> m_nameCounts;
};

// The level record at nLevel and the current folder's own entry (the last path entry; zero at a
// volume's root). In path mode 0 the level is found by matching sPanePath instead of nLevel.
// False when the listing has no such level.
bool ZULGetCurrentRemoteDirInfo(TRemoteListing& listing, std::uint32_t nLevel, TRemoteLevel* pLevel,
                                TRemoteEntry* pEntry, int nPathMode = 1, std::string_view sPanePath = {});
// The size of the first entry of the current level whose short or long name equals sName, added to *pnBytes.
void ZULGetSelectedRemoteFileInfo(TRemoteListing& listing, std::string_view sName, std::uint64_t* pnBytes);
// Removes the entries of the level that have the new entry's name, appends the entry, and reports its index.
void ZULAddFileEntry(TRemoteListing& listing, std::uint32_t nLevel, const TRemoteEntry& entry, std::uint32_t* pnIndex);

// The free-space field of a volume record, in host order.
std::uint32_t RemoteVolumeFreeSpace(const std::uint8_t* pVolumeRecord);

// How names are fitted to a remote volume.
struct TRemoteNameLimits {
    std::uint8_t nFileSystem;
    std::uint8_t nLanguage;
    std::uint16_t nMaxTotal;
    std::uint16_t nMaxBase;
    std::uint16_t nMaxExtension;
};
TRemoteNameLimits RemoteNameLimits(const std::uint8_t* pVolumeRecord);

// Names and volume prefixes compared without regard to case.
bool EqualNoCase(std::string_view a, std::string_view b);

// The directory string of a remote pane folder (path mode 1): "\" at a volume's root, else "\path\".
std::string RemoteDirectoryString(std::string_view sPanePath);
// The volume part of a pane folder: "c:" of "c:\dir", "Desktop" of "Desktop\dir"; empty when none.
std::string_view RemoteVolumePrefix(std::string_view sPanePath);
