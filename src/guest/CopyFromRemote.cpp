// The download engine: remote files and folder trees into a local folder. Per file: the file's
// information (kFTP_msgGetInfo) and its data fork (kFTP_msgReqFork), asked for together, the
// fork into a temporary file that replaces the local item only once the fork has ended well.
// With a host that takes requests while it sends a fork, the next small files of a folder are
// asked for while one file's data arrives.
#include "copyrtl.h"

#include "CheckedCalls.h"
#include "Exceptions.h"
#include "LFN.h"
#include "NameRules.h"
#include "OV2Tools.h"
#include "OVCore.h"
#include "PacketBuffer.h"
#include "StringTable.h"
#include "TreeOperations.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace {
constexpr std::uint32_t kKilobyteShift = 10;
constexpr BYTE kKeptAttributes = kOVF_attrArchive;
// The window of files asked for ahead while one file's data arrives: at most this many files
// in flight, owing at most this many bytes of data.
constexpr std::size_t kFilesAhead = 256;
constexpr std::uint64_t kBytesAhead = 1 << 20;
// Folder listings of the sizing pass in flight at once.
constexpr std::size_t kListingsAhead = 8;

std::string FitLocalName(const std::string& sName)
{
    NameRules rules{};
    GetLocalNameRules(&rules);
    char szFitted[MAX_PATH] = {};
    MungeName(sName.c_str(), szFitted, rules, kMungeForLocal);
    return szFitted;
}

bool IsRemoteFolder(const TRemoteEntry& entry) { return (entry.wAttributes & kRemoteAttrFolder) != 0 || entry.dwFolder != 0; }

// The drive number of a local folder ("C:\dir" -> 3); 0 when it names none.
int LocalDriveNumber(const std::string& sFolder)
{
    if (sFolder.size() < 2 || sFolder[1] != ':')
        return 0;
    const char c = static_cast<char>(sFolder[0] & ~0x20);
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 1 : 0;
}
} // namespace

void TCopyEngine::StartFromRemote()
{
    Window().SetStatusText(LoadStringId(IDS_PREPARING_TO_COPY));
    if (!IsFolderWritable(m_level.sDest)) {
        Report(ETransferEventKind::Failed, ETransferCause::LocalCannotWrite, m_level.sDest, false,
               LoadStringId(IDS_UNABLE_TO_VANTRY));
        m_outcome.nFilesFailed = m_level.items.size();
        EndLevel();
        return;
    }
    m_nBytesToCopy = 0;
    m_level.nIndex = 0;
    // The selected files' sizes come from the listing of the source folder.
    EnterRemoteFolder(m_level.sSource, [this] {
        std::unordered_map<std::string, std::uint64_t> sizes;
        for (const TRemoteEntry& entry : m_session.RemoteListing().CurrentEntries()) {
            sizes.try_emplace(entry.szShortName, RemoteEntrySize(entry));
            sizes.try_emplace(entry.szLongName, RemoteEntrySize(entry));
        }
        for (TCopyItem& item : m_level.items) {
            if (item.bFolder) {
                m_foldersToSize.push_back(JoinLocalPath(m_level.sSource, item.sName));
            } else {
                ++m_nFilesFound;
                ZULGetSelectedRemoteFileInfo(m_session.RemoteListing(), item.sName, &m_nBytesToCopy);
                if (const auto itSize = sizes.find(item.sName); itSize != sizes.end())
                    item.nSize = itSize->second;
            }
        }
        SizeNextRemoteFolder();
    });
}

void TCopyEngine::SizeNextRemoteFolder()
{
    if (m_session.Pipelining() && m_session.PathMode() == 1) {
        SizeRemoteFoldersAhead();
        return;
    }
    if (m_foldersToSize.empty()) {
        FinishSizing();
        return;
    }
    const std::string sFolder = m_foldersToSize.front();
    m_foldersToSize.pop_front();
    m_session.ListRemoteFolder(sFolder, [this, sFolder] {
        SizeListedEntries(sFolder, m_session.m_nPaneResult, m_session.RemoteListing().CurrentEntries());
        SizeNextRemoteFolder();
    });
}

void TCopyEngine::SizeRemoteFoldersAhead()
{
    // Several folders' listings in flight: the host answers them in order.
    while (!m_foldersToSize.empty() && m_nListingsOwed < kListingsAhead) {
        const std::string sFolder = m_foldersToSize.front();
        m_foldersToSize.pop_front();
        const bool bAsked = m_session.ListRemoteEntries(
            sFolder, this, [this, sFolder](std::int16_t nResult, const std::vector<TRemoteEntry>& entries) {
                --m_nListingsOwed;
                SizeListedEntries(sFolder, nResult, entries);
                if (nResult == kFTP_resOK)
                    m_sizedRemote.Keep(sFolder, entries);
                SizeRemoteFoldersAhead();
            });
        if (bAsked)
            ++m_nListingsOwed;
        else
            m_unreadableFolders.push_back(sFolder);
    }
    if (m_foldersToSize.empty() && m_nListingsOwed == 0)
        FinishSizing();
}

void TCopyEngine::FinishSizing()
{
    EnterRemoteFolder(m_level.sSource, [this] {
        // The selected folders' times, kept for when their contents have been written.
        for (TCopyItem& item : m_level.items) {
            for (const TRemoteEntry& entry : m_session.RemoteListing().CurrentEntries()) {
                if (item.bFolder && item.sName == RemoteEntryName(entry))
                    item.dwModTime = entry.dwModTime;
            }
        }
        CheckLocalFreeSpace();
    });
}

void TCopyEngine::SizeListedEntries(const std::string& sFolder, std::int16_t nResult, const std::vector<TRemoteEntry>& entries)
{
    if (nResult != kFTP_resOK) {
        // Told by the session already; the folder is not asked for again.
        m_unreadableFolders.push_back(sFolder);
        return;
    }
    for (const TRemoteEntry& entry : entries) {
        if (!IsRemoteFolder(entry)) {
            if (m_session.PathMode() != 0 || RemoteEntrySize(entry) != 0) {
                m_nBytesToCopy += RemoteEntrySize(entry);
                ++m_nFilesFound;
            }
        } else {
            m_foldersToSize.push_back(JoinLocalPath(sFolder, std::string(RemoteEntryName(entry))));
        }
    }
}

void TCopyEngine::CheckLocalFreeSpace()
{
    // The query reports at most 0xFFFFFFFF bytes, and 0 when it cannot tell: a check only below that.
    const DWORD nFree = LFN_GetFreeSpace(LocalDriveNumber(m_level.sDest));
    if (nFree != 0 && nFree != 0xFFFFFFFFu && m_nBytesToCopy > nFree) {
        const std::uint64_t nShort = std::max<std::uint64_t>((m_nBytesToCopy - nFree) >> kKilobyteShift, 1);
        Report(ETransferEventKind::Failed, ETransferCause::NoRoom, m_level.sDest, false,
               FormatStringIdNumber(IDS_FREE_UP_SPACE, static_cast<long long>(nShort)));
        SetStopRequested();
        EndLevel();
        return;
    }
    StartItems();
}

void TCopyEngine::DownloadFile()
{
    m_bAbort = false;
    m_session.m_bStopRequested = 0;
    m_sWireName = m_sItemName;
    const std::size_t nIndex = m_level.nIndex;
    TFileInFlight* pFile = FindInFlight(nIndex);
    if (!PrepareLocalFile())
        return; // a file asked for ahead stays untaken: its replies are read and dropped
    if (!pFile) {
        const std::optional<std::uint64_t>& nSize = m_level.items[nIndex].nSize;
        RequestFile(nIndex, nSize.value_or(0));
        pFile = &m_inFlight.back();
    }
    pFile->bTaken = true;
    RequestAhead();
}

// The local name of the remote item, in m_sLocalPath. Names fit to this side's rules: two remote
// names that fit to one local name would land on one local item. An item whose name fits as it
// is keeps it; otherwise the first to take a name keeps it, and the others are not copied.
bool TCopyEngine::TakeLocalName(const std::string& sDisplay)
{
    const std::string sLocalName = FitLocalName(sDisplay);
    m_sLocalPath = JoinLocalPath(m_level.sDest, sLocalName);
    const auto clash = [&] {
        Report(ETransferEventKind::Failed, ETransferCause::NameClash, RemoteItem(), true, {}, sLocalName);
        NextItem();
        return false;
    };
    if (sLocalName != sDisplay) {
        if (m_level.listedNames.empty()) {
            for (const TCopyItem& item : m_level.items)
                m_level.listedNames.insert(RemoteToLocalName(item.sName));
        }
        if (m_level.listedNames.contains(sLocalName))
            return clash();
    }
    if (!m_level.receivedNames.insert(sLocalName).second)
        return clash();
    if (sLocalName != sDisplay)
        Report(ETransferEventKind::Renamed, ETransferCause::NameFitted, RemoteItem(), true, {}, sLocalName);
    return true;
}

bool TCopyEngine::PrepareLocalFile()
{
    const std::string sDisplay = RemoteToLocalName(m_sItemName);
    if (!TakeLocalName(sDisplay))
        return false;
    const bool bExists = LFN_FileExists(m_sLocalPath.c_str()) != 0;
    if (bExists && !m_bYesToAll) {
        switch (Window().AskReplace(sDisplay, false)) {
        case ReplaceAnswer::kYes: break;
        case ReplaceAnswer::kYesToAll: m_bYesToAll = true; break;
        case ReplaceAnswer::kNo:
            // The local item stays exactly as it is, its time included: a time taken from
            // another file would mislead every later copy that compares times.
            Report(ETransferEventKind::Skipped, ETransferCause::Exists, m_sLocalPath, false);
            NextItem();
            return false;
        default:
            SetStopRequested();
            m_bAbort = true;
            EndLevel();
            return false;
        }
    }
    if (m_sLocalPath.size() >= static_cast<std::size_t>(LFN_TotalPathLength())) {
        Report(ETransferEventKind::Failed, ETransferCause::PathTooLong, m_sLocalPath, false,
               FormatStringId(IDS_CANNOT_COPY_FILE, m_sLocalPath));
        NextItem();
        return false;
    }
    if (!m_received.Open(m_sLocalPath, bExists)) {
        Report(ETransferEventKind::Failed, ETransferCause::LocalCannotWrite, m_sLocalPath, false);
        NextItem();
        return false;
    }
    return true;
}

TCopyEngine::TFileInFlight* TCopyEngine::FindInFlight(std::size_t nIndex)
{
    for (TFileInFlight& file : m_inFlight) {
        if (file.nLevel == m_level.nSerial && file.nIndex == nIndex)
            return &file;
    }
    return nullptr;
}

void TCopyEngine::RequestFile(std::size_t nIndex, std::uint64_t nSize)
{
    TFileInFlight file;
    file.nLevel = m_level.nSerial;
    file.nIndex = nIndex;
    file.nSize = nSize;
    m_inFlight.push_back(file);
    if (m_level.nNextAhead <= nIndex)
        m_level.nNextAhead = nIndex + 1;
    // The information and the data fork (a resource fork is never asked for) are asked for at
    // once: the host answers in order, so the information arrives before the first data, and
    // the file costs one round trip instead of two.
    const std::string& sWireName = m_level.items[nIndex].sName;
    SendNamesRequest(kFTP_msgGetInfo, sWireName,
                     AwaitInfo([this](std::int16_t nResult, const std::uint8_t* pRecord) { TakeDownloadInfo(nResult, pRecord); }));
    const std::size_t nLength = BuildNamesRequest(kFTP_msgReqFork, Packet::Names::kReqForkBlock, Packet::ReqFork::kVolume,
                                                  Packet::ReqFork::kDirNumber, sWireName);
    m_session.SendAwaited(static_cast<std::uint16_t>(nLength),
                          TAwaitedReply::ForFork(
                              this, [this](const std::uint8_t* pData, std::uint16_t nData) { TakeForkData(pData, nData); },
                              [this](EForkEnd eEnd, std::int16_t nResult) { EndFileFork(eEnd, nResult); }));
}

std::uint64_t TCopyEngine::BytesOwed() const
{
    std::uint64_t nOwed = 0;
    for (const TFileInFlight& file : m_inFlight)
        nOwed += file.nSize > file.nReceived ? file.nSize - file.nReceived : 0;
    return nOwed;
}

void TCopyEngine::RequestAhead()
{
    // Only small files of known size go ahead, so that a Cancel costs at most the window.
    if (!m_session.Pipelining() || StopRequested())
        return;
    if (m_level.nNextAhead <= m_level.nIndex)
        m_level.nNextAhead = m_level.nIndex + 1;
    std::uint64_t nOwed = BytesOwed();
    while (m_level.nNextAhead < m_level.items.size() && m_inFlight.size() < kFilesAhead) {
        const TCopyItem& item = m_level.items[m_level.nNextAhead];
        // A folder is entered when its turn comes: its listing changes the remote listing.
        if (item.bFolder || !item.nSize || *item.nSize > kBytesAhead || nOwed + *item.nSize > kBytesAhead)
            return;
        nOwed += *item.nSize;
        RequestFile(m_level.nNextAhead, *item.nSize);
    }
}

void TCopyEngine::SendDownloadAbort()
{
    // One abort for the copy: it ends the fork the host is sending, or, when none is, the
    // host answers it in its turn.
    m_bAbortSent = true;
    m_session.SendBuffer()[Packet::kCode] = CodeByte(kFTP_msgAbort);
    m_session.SendAwaited(1, TAwaitedReply::Of(EAwaitedReply::AbortAnswer, this));
}

void TCopyEngine::TakeDownloadInfo(std::int16_t nResult, const std::uint8_t* pRecord)
{
    VCheck(!m_inFlight.empty());
    TFileInFlight& file = m_inFlight.front();
    file.nResult = nResult;
    std::memcpy(file.info, pRecord, sizeof file.info);
    file.bTranslateText = m_session.TranslateDownload() != 0 &&
                          std::memcmp(file.info + Packet::FileInfo::kType, "TEXT", 4) == 0;
}

void TCopyEngine::TakeForkData(const std::uint8_t* pData, std::uint16_t nLength)
{
    VCheck(!m_inFlight.empty());
    TFileInFlight& file = m_inFlight.front();
    file.nReceived += nLength;
    if (file.bTaken) {
        // Once the local disk is full the file is gone, and the rest of its fork is dropped.
        if (m_received.IsOpen()) {
            try {
                if (file.bTranslateText) {
                    std::uint8_t translated[2 * Packet::kMaxIncomingData];
                    m_received.Write(translated, AddLineFeeds(pData, nLength, translated, file.bAfterReturn));
                } else {
                    m_received.Write(pData, nLength);
                }
            } catch (const CFileException& error) {
                if (error.m_cause != CFileException::diskFull)
                    throw;
                m_received.Discard();
                ReportLocalDiskFull();
            }
        }
        m_nBytesDone += nLength;
        Window().UpdateStatus(m_nBytesDone);
    }
    if (StopRequested()) {
        if (!m_bAbortSent)
            SendDownloadAbort();
        return;
    }
    RequestAhead();
}

void TCopyEngine::EndFileFork(EForkEnd eEnd, std::int16_t nResult)
{
    VCheck(!m_inFlight.empty());
    TFileInFlight file = m_inFlight.front();
    m_inFlight.pop_front();
    if (!file.bTaken)
        return; // its item went no further: nothing was written for it
    switch (eEnd) {
    case EForkEnd::EndData: break;
    case EForkEnd::Result: file.nResult = nResult; break;
    case EForkEnd::Abort:
        // The host abandoned the fork (it could not open the file, or it answers the guest's
        // abort). Only this file is lost: the copy goes on with the next item.
        m_bAbort = true;
        DiscardDownload(file);
        NextItem();
        return;
    }
    FinishDownloadedFile(file);
}

void TCopyEngine::FinishDownloadedFile(const TFileInFlight& file)
{
    const bool bWhole = file.nResult == kFTP_resOK && !m_bAbort && !m_bAbortSent;
    const DWORD dwModTime = OVSwapDWord(TPacketReader(file.info, sizeof file.info).DWordBE(Packet::FileInfo::kModified));
    // In path mode 0 the file keeps its own archive bit; otherwise it takes the host's.
    const bool bOwnArchive = m_session.PathMode() == 0;
    const BYTE nHostArchive = static_cast<BYTE>(file.info[Packet::FileInfo::kAttributes] & kKeptAttributes);
    if (bWhole) {
        // A new file's own attributes are the archive bit alone.
        m_received.Stamp(dwModTime, bOwnArchive ? kKeptAttributes : nHostArchive);
        switch (m_received.Commit()) {
        case TReceivedFile::ECommit::Done: ++m_outcome.nFilesCopied; break;
        case TReceivedFile::ECommit::DiskFull: ReportLocalDiskFull(); break;
        case TReceivedFile::ECommit::Failed:
            Report(ETransferEventKind::Failed, ETransferCause::LocalCannotWrite, m_sLocalPath, false);
            break;
        }
    } else {
        DiscardDownload(file);
    }
    NextItem();
}

// Nothing more fits on the local disk: the copy stops (the abort that a stop sends ends the
// file's stream), and the user is told where.
void TCopyEngine::ReportLocalDiskFull()
{
    Report(ETransferEventKind::Failed, ETransferCause::LocalDiskFull, m_sLocalPath, false,
           FormatStringId(IDS_LOCAL_DISK_FULL, m_sLocalPath));
    SetStopRequested();
}

void TCopyEngine::DiscardDownload(const TFileInFlight& file)
{
    // A fork the user abandoned is no failure of the file; one the host ended is.
    if (m_received.IsOpen() && !m_bAbortSent)
        Report(ETransferEventKind::Failed,
               file.nResult == kFTP_resNotFound ? ETransferCause::NotFound : ETransferCause::HostCannotRead, RemoteItem(),
               true);
    else if (m_received.IsOpen())
        NoteInterrupted(RemoteItem());
    m_received.Discard();
}

void TCopyEngine::DownloadFolder()
{
    const std::string sDisplay = RemoteToLocalName(m_sItemName);
    if (!TakeLocalName(sDisplay))
        return;
    const int nKind = LFN_IsDirectory(m_sLocalPath.c_str());
    if (nKind == 0 && LFN_FileExists(m_sLocalPath.c_str()) && !m_bYesToAll) {
        const int nAnswer = Window().AskReplace(sDisplay, false);
        if (nAnswer == ReplaceAnswer::kCancel) {
            SetStopRequested();
            EndLevel();
            return;
        }
        if (nAnswer == ReplaceAnswer::kNo) {
            // No keeps the file: the folder is not copied.
            Report(ETransferEventKind::Skipped, ETransferCause::Exists, m_sLocalPath, false);
            NextItem();
            return;
        }
        m_bYesToAll = nAnswer == ReplaceAnswer::kYesToAll;
    }
    TLevel child;
    child.sSource = JoinLocalPath(m_level.sSource, m_sItemName);
    if (std::find(m_unreadableFolders.begin(), m_unreadableFolders.end(), child.sSource) != m_unreadableFolders.end()) {
        ++m_outcome.nFilesFailed;
        NextItem();
        return;
    }
    child.sDest = m_sLocalPath;
    child.nSerial = ++m_nLevelSerial;
    child.dwFolderTime = m_level.items[m_level.nIndex].dwModTime;
    m_levels.push_back(std::move(m_level));
    m_level = std::move(child);
    // The local folder is made only once the host has listed the remote one: a folder the host
    // cannot read leaves nothing behind that looks like an empty copy of it. A folder the sizing
    // pass listed is entered with that listing, once the replies before it are in.
    std::vector<TRemoteEntry> entries;
    if (m_sizedRemote.Take(m_level.sSource, &entries)) {
        m_session.AfterReplies(this, [this, entries = std::move(entries)] {
            if (!m_session.TakeRemoteEntries(m_level.sSource, entries)) {
                EnterDownloadedFolder();
                return;
            }
            TakeListedFolder();
            FillDownloadLevel();
        });
        return;
    }
    EnterDownloadedFolder();
}

void TCopyEngine::EnterDownloadedFolder()
{
    EnterRemoteFolder(m_level.sSource, [this] { FillDownloadLevel(); }, [this] { AbandonLevel(); });
}

void TCopyEngine::FillDownloadLevel()
{
    const std::string& sFolder = m_level.sDest;
    if (LFN_IsDirectory(sFolder.c_str()) == 0 && LFN_FileExists(sFolder.c_str()))
        DeleteLocalFile(sFolder.c_str()); // the user agreed to replace it
    if (LFN_IsDirectory(sFolder.c_str()) != 1 && LFN_mkdir(sFolder.c_str(), FALSE) != 0 &&
        LFN_IsDirectory(sFolder.c_str()) != 1) {
        Report(ETransferEventKind::Failed, ETransferCause::LocalCannotWrite, sFolder, false,
               LoadStringId(IDS_UNABLE_TO_VANTRY));
        AbandonLevel();
        return;
    }
    for (const TRemoteEntry& entry : m_session.RemoteListing().CurrentEntries())
        m_level.items.push_back({std::string(RemoteEntryName(entry)), IsRemoteFolder(entry), entry.dwModTime,
                                 RemoteEntrySize(entry)});
    if (m_level.items.empty()) {
        EndLevel();
        return;
    }
    RunItem();
}

// A folder takes its remote time once its contents are written, since writing them changed it.
void TCopyEngine::SetDownloadedFolderTime(const TLevel& level)
{
    if (level.dwFolderTime != 0)
        LFN_SetFileTimeWithMacTime(level.sDest.c_str(), OVSwapDWord(level.dwFolderTime));
}
