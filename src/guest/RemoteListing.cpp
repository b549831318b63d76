#include "RemoteListing.h"

#include "CheckedCalls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace {
constexpr std::string_view kDesktop = "Desktop";

// Keeps a list locked for the length of a scope, on every path out.
class THListLock {
public:
    explicit THListLock(HList& list) : m_list(list) { HListBegin(&m_list); }
    ~THListLock() { HListEnd(&m_list); }
    THListLock(const THListLock&) = delete;
    THListLock& operator=(const THListLock&) = delete;

private:
    HList& m_list;
};

void CopyText(char* pDest, std::size_t nCapacity, std::string_view s)
{
    const std::size_t n = std::min(s.size(), nCapacity - 1);
    std::memcpy(pDest, s.data(), n);
    pDest[n] = '\0';
}

// The components of a path inside its volume ("a\b" of "\a\b\").
std::vector<std::string_view> Components(std::string_view sPath)
{
    std::vector<std::string_view> parts;
    std::size_t nStart = 0;
    while (nStart <= sPath.size()) {
        std::size_t nEnd = sPath.find('\\', nStart);
        if (nEnd == std::string_view::npos)
            nEnd = sPath.size();
        if (nEnd > nStart)
            parts.push_back(sPath.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }
    return parts;
}
} // namespace

bool EqualNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view RemoteEntryName(const TRemoteEntry& entry)
{
    return entry.szLongName[0] ? std::string_view(entry.szLongName) : std::string_view(entry.szShortName);
}

void SetRemoteEntryName(TRemoteEntry& entry, std::string_view sName, bool bLongNames)
{
    std::memset(entry.szShortName, 0, sizeof entry.szShortName);
    std::memset(entry.szLongName, 0, sizeof entry.szLongName);
    if (sName.size() < kRemoteShortName)
        CopyText(entry.szShortName, kRemoteShortName, sName);
    if (bLongNames || sName.size() >= kRemoteShortName)
        CopyText(entry.szLongName, kRemoteLongName, sName);
}

TRemoteListing::TRemoteListing() { HListAlloc(&m_levels, sizeof(TRemoteLevel)); }

TRemoteListing::~TRemoteListing()
{
    try {
        Clear();
        HListFree(&m_levels);
    } catch (const std::exception&) {
        // Memory that cannot be given back is left to the process.
    }
}

void TRemoteListing::FreeLevel(TRemoteLevel& level)
{
    HListFree(&level.pathEntries);
    HListFree(&level.entries);
}

void TRemoteListing::Clear()
{
    ForgetNames();
    {
        THListLock lock(m_levels);
        for (std::uint32_t i = 0; i < m_levels.count; ++i)
            FreeLevel(*HListAt<TRemoteLevel>(&m_levels, i));
        m_levels.count = 0;
    }
    m_nCurrentLevel = 0;
}

void TRemoteListing::EnterPath(const std::uint8_t* pVolumeRecord, std::string_view sVolumeName,
                               std::string_view sRelativePath)
{
    ForgetNames();
    const std::vector<std::string_view> parts = Components(sRelativePath);
    THListLock lock(m_levels);
    // How many levels still name the path: the root must be the same volume.
    std::uint32_t nKeep = 0;
    if (m_levels.count > 0) {
        const TRemoteLevel& root = *HListAt<TRemoteLevel>(&m_levels, 0);
        if (std::memcmp(root.volumeRecord, pVolumeRecord, 2) == 0 && sVolumeName == root.szName) {
            nKeep = 1;
            while (nKeep < m_levels.count && nKeep - 1 < parts.size() &&
                   parts[nKeep - 1] == HListAt<TRemoteLevel>(&m_levels, nKeep)->szName)
                ++nKeep;
        }
    }
    while (m_levels.count > nKeep) {
        FreeLevel(*HListAt<TRemoteLevel>(&m_levels, m_levels.count - 1));
        HListRemove(&m_levels, m_levels.count - 1);
    }
    for (std::uint32_t nLevel = m_levels.count; nLevel <= parts.size(); ++nLevel) {
        TRemoteLevel level{};
        std::memcpy(level.volumeRecord, pVolumeRecord, sizeof level.volumeRecord);
        TRemoteEntry own{};
        if (nLevel == 0) {
            CopyText(level.szName, sizeof level.szName, sVolumeName);
        } else {
            CopyText(level.szName, sizeof level.szName, parts[nLevel - 1]);
            // The folder's own entry, as its parent listed it when it is known there.
            own.dwFolder = 1;
            own.wAttributes = kRemoteAttrFolder;
            SetRemoteEntryName(own, parts[nLevel - 1], true);
            HList& parentEntries = HListAt<TRemoteLevel>(&m_levels, nLevel - 1)->entries;
            THListLock parentLock(parentEntries);
            for (std::uint32_t i = 0; i < parentEntries.count; ++i) {
                const TRemoteEntry& e = *HListAt<TRemoteEntry>(&parentEntries, i);
                if (RemoteEntryName(e) == parts[nLevel - 1]) {
                    own = e;
                    break;
                }
            }
        }
        HListAlloc(&level.pathEntries, sizeof(TRemoteEntry));
        HListAlloc(&level.entries, sizeof(TRemoteEntry));
        if (nLevel > 0) {
            HListBegin(&level.pathEntries);
            HListAdd(&level.pathEntries, &own);
            HListEnd(&level.pathEntries);
        }
        HListAdd(&m_levels, &level);
    }
    m_nCurrentLevel = static_cast<std::uint32_t>(parts.size());
}

void TRemoteListing::ClearCurrentEntries()
{
    ForgetNames();
    THListLock lock(m_levels);
    if (m_nCurrentLevel >= m_levels.count)
        return;
    HList& entries = HListAt<TRemoteLevel>(&m_levels, m_nCurrentLevel)->entries;
    HListBegin(&entries);
    entries.count = 0;
    HListEnd(&entries);
}

void TRemoteListing::AddCurrentEntry(const TRemoteEntry& entry)
{
    ForgetNames();
    THListLock lock(m_levels);
    VCheck(m_nCurrentLevel < m_levels.count);
    HList& entries = HListAt<TRemoteLevel>(&m_levels, m_nCurrentLevel)->entries;
    THListLock entriesLock(entries);
    HListAdd(&entries, &entry);
}

bool ZULGetCurrentRemoteDirInfo(TRemoteListing& listing, std::uint32_t nLevel, TRemoteLevel* pLevel,
                                TRemoteEntry* pEntry, int nPathMode, std::string_view sPanePath)
{
    HList& levels = listing.Levels();
    THListLock lock(levels);
    if (levels.count == 0)
        return false;
    if (nPathMode == 0) {
        // Match the pane's path, level by level from the root record's name.
        const std::vector<std::string_view> parts = Components(sPanePath);
        nLevel = 0;
        if (parts.empty() || !EqualNoCase(RemoteVolumePrefix(sPanePath),
                                          RemoteVolumePrefix(HListAt<TRemoteLevel>(&levels, 0)->szName)))
            return false;
        while (nLevel + 1 < levels.count && nLevel + 1 < parts.size() &&
               parts[nLevel + 1] == HListAt<TRemoteLevel>(&levels, nLevel + 1)->szName)
            ++nLevel;
    }
    if (nLevel >= levels.count)
        return false;
    TRemoteLevel& level = *HListAt<TRemoteLevel>(&levels, nLevel);
    if (pLevel)
        *pLevel = level;
    if (pEntry) {
        *pEntry = TRemoteEntry{};
        THListLock pathLock(level.pathEntries);
        if (level.pathEntries.count > 0)
            *pEntry = *HListAt<TRemoteEntry>(&level.pathEntries, level.pathEntries.count - 1);
    }
    return true;
}

void ZULGetSelectedRemoteFileInfo(TRemoteListing& listing, std::string_view sName, std::uint64_t* pnBytes)
{
    HList& levels = listing.Levels();
    THListLock lock(levels);
    if (listing.CurrentLevel() >= levels.count)
        return;
    HList& entries = HListAt<TRemoteLevel>(&levels, listing.CurrentLevel())->entries;
    THListLock entriesLock(entries);
    for (std::uint32_t i = 0; i < entries.count; ++i) {
        const TRemoteEntry& entry = *HListAt<TRemoteEntry>(&entries, i);
        if (sName == entry.szShortName || sName == entry.szLongName) {
            *pnBytes += RemoteEntrySize(entry);
            return;
        }
    }
}

std::uint32_t TRemoteListing::PutEntry(std::uint32_t nLevel, const TRemoteEntry& entry)
{
    THListLock lock(m_levels);
    VCheck(nLevel < m_levels.count);
    HList& entries = HListAt<TRemoteLevel>(&m_levels, nLevel)->entries;
    THListLock entriesLock(entries);
    if (m_nIndexedLevel != nLevel) {
        m_nameCounts.clear();
        for (std::uint32_t i = 0; i < entries.count; ++i)
            ++m_nameCounts[std::string(RemoteEntryName(*HListAt<TRemoteEntry>(&entries, i)))];
        m_nIndexedLevel = nLevel;
    }
    // Exact comparison: names that differ only in letter case are different entries.
    const std::string_view sName = RemoteEntryName(entry);
    std::uint32_t& nCount = m_nameCounts[std::string(sName)];
    for (std::uint32_t i = entries.count; nCount > 0 && i-- > 0;) {
        if (RemoteEntryName(*HListAt<TRemoteEntry>(&entries, i)) == sName) {
            HListRemove(&entries, i);
            --nCount;
        }
    }
    HListAdd(&entries, &entry);
    ++nCount;
    return entries.count - 1;
}

void ZULAddFileEntry(TRemoteListing& listing, std::uint32_t nLevel, const TRemoteEntry& entry, std::uint32_t* pnIndex)
{
    const std::uint32_t nIndex = listing.PutEntry(nLevel, entry);
    if (pnIndex)
        *pnIndex = nIndex;
}

std::uint32_t RemoteVolumeFreeSpace(const std::uint8_t* pVolumeRecord)
{
    const std::uint8_t* p = pVolumeRecord + Packet::AVol::kFreeSpace;
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

TRemoteNameLimits RemoteNameLimits(const std::uint8_t* pVolumeRecord)
{
    auto word = [pVolumeRecord](std::size_t n) {
        return static_cast<std::uint16_t>((pVolumeRecord[n] << 8) | pVolumeRecord[n + 1]);
    };
    return {pVolumeRecord[Packet::AVol::kFileSystem], pVolumeRecord[Packet::AVol::kLanguage],
            word(Packet::AVol::kMaxPath), word(Packet::AVol::kMaxName), word(Packet::AVol::kMaxExtension)};
}

std::string_view RemoteVolumePrefix(std::string_view sPanePath)
{
    if (sPanePath.substr(0, kDesktop.size()) == kDesktop &&
        (sPanePath.size() == kDesktop.size() || sPanePath[kDesktop.size()] == '\\'))
        return kDesktop;
    if (sPanePath.size() >= 2 && sPanePath[1] == ':')
        return sPanePath.substr(0, 2);
    // A one-letter volume name of a short volume list.
    if (sPanePath.size() == 1)
        return sPanePath;
    return {};
}

std::string RemoteDirectoryString(std::string_view sPanePath)
{
    const std::string_view sVolume = RemoteVolumePrefix(sPanePath);
    std::string sDir(sPanePath.substr(sVolume.size()));
    if (sDir.empty() || sDir.back() != '\\') {
        if (sVolume == kDesktop || sDir.size() != 1)
            sDir += '\\';
    }
    if (sDir.empty() || sDir.front() != '\\')
        sDir.insert(sDir.begin(), '\\');
    if (sDir.size() > MAX_PATH)
        sDir.resize(MAX_PATH);
    return sDir;
}

std::vector<TRemoteEntry> TRemoteListing::EntriesAt(std::uint32_t nLevel)
{
    std::vector<TRemoteEntry> result;
    if (nLevel >= m_levels.count)
        return result;
    HListBegin(&m_levels);
    HList& entries = HListAt<TRemoteLevel>(&m_levels, nLevel)->entries;
    HListBegin(&entries);
    result.assign(HListAt<TRemoteEntry>(&entries, 0), HListAt<TRemoteEntry>(&entries, 0) + entries.count);
    HListEnd(&entries);
    HListEnd(&m_levels);
    return result;
}
