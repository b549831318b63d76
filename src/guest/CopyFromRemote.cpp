// The download engine: remote files and folder trees into a local folder. Per file: the file's
// information (kFTP_msgGetInfo) and its data fork (kFTP_msgReqFork), asked for together, the
// fork into a temporary file that replaces the local item only once the fork has ended well.
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

namespace {
constexpr std::uint32_t kKilobyteShift = 10;
constexpr BYTE kKeptAttributes = kOVF_attrArchive;

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
        for (const TCopyItem& item : m_level.items) {
            if (item.bFolder) {
                m_foldersToSize.push_back(JoinLocalPath(m_level.sSource, item.sName));
            } else {
                ++m_nFilesFound;
                ZULGetSelectedRemoteFileInfo(m_session.RemoteListing(), item.sName, &m_nBytesToCopy);
            }
        }
        SizeNextRemoteFolder();
    });
}

void TCopyEngine::SizeNextRemoteFolder()
{
    if (m_foldersToSize.empty()) {
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
        return;
    }
    const std::string sFolder = m_foldersToSize.front();
    m_foldersToSize.pop_front();
    m_session.ListRemoteFolder(sFolder, [this, sFolder] {
        SizeListedRemoteFolder(sFolder);
        SizeNextRemoteFolder();
    });
}

void TCopyEngine::SizeListedRemoteFolder(const std::string& sFolder)
{
    if (m_session.m_nPaneResult != kFTP_resOK) {
        // Told by the session already; the folder is not asked for again.
        m_unreadableFolders.push_back(sFolder);
        return;
    }
    for (const TRemoteEntry& entry : m_session.RemoteListing().CurrentEntries()) {
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
    m_nResult = 0;
    m_bAbort = false;
    m_bAbortSent = false;
    m_session.m_bStopRequested = 0;
    m_sWireName = m_sItemName;
    const std::string sDisplay = RemoteToLocalName(m_sItemName);
    m_sLocalPath = JoinLocalPath(m_level.sDest, FitLocalName(sDisplay));

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
            return;
        default:
            SetStopRequested();
            m_bAbort = true;
            EndLevel();
            return;
        }
    }
    if (m_sLocalPath.size() >= static_cast<std::size_t>(LFN_TotalPathLength())) {
        Report(ETransferEventKind::Failed, ETransferCause::PathTooLong, m_sLocalPath, false,
               FormatStringId(IDS_CANNOT_COPY_FILE, m_sLocalPath));
        NextItem();
        return;
    }
    if (!m_received.Open(m_sLocalPath, bExists)) {
        Report(ETransferEventKind::Failed, ETransferCause::LocalCannotWrite, m_sLocalPath, false);
        NextItem();
        return;
    }
    // The information and the data fork (a resource fork is never asked for) are asked for at
    // once: the host answers in order, so the information arrives before the first data, and
    // the file costs one round trip instead of two.
    SendNamesRequest(kFTP_msgGetInfo, kPhaseDownloadInfo, m_sWireName);
    const std::size_t nLength = BuildNamesRequest(kFTP_msgReqFork, Packet::Names::kReqForkBlock, Packet::ReqFork::kVolume,
                                                  Packet::ReqFork::kDirNumber, m_sWireName);
    m_session.SendRequest(m_session.SendBuffer(), static_cast<std::uint16_t>(nLength),
                          &TVantryGuestSession::DoNothingCallBack);
}

void TCopyEngine::TakeDownloadInfo(std::int16_t nResult, const std::uint8_t* pRecord)
{
    m_nResult = nResult;
    std::memcpy(m_fileInfo, pRecord, sizeof m_fileInfo);
    m_bTranslateText = m_session.TranslateDownload() != 0 &&
                       std::memcmp(m_fileInfo + Packet::FileInfo::kType, "TEXT", 4) == 0;
    m_session.SetPhase(kPhaseDownload);
    m_session.IssueCodeRead();
}

void TCopyEngine::ReadForkSize()
{
    const std::uint8_t* pLength = m_session.ReceiveBuffer();
    m_nForkLength = static_cast<std::uint16_t>((pLength[0] << 8) | pLength[1]);
    VCheck(m_nForkLength <= Packet::kMaxIncomingData);
    if (m_nForkLength == 0) {
        ProcessForkData();
        return;
    }
    m_session.ReadReplyBytes(m_session.ReceiveBuffer(), m_nForkLength, &TVantryGuestSession::CopyFromRemoteProcessForkData);
}

void TCopyEngine::ProcessForkData()
{
    const std::uint8_t* pData = m_session.ReceiveBuffer();
    // Once the local disk is full the file is gone, and the rest of its fork is dropped.
    if (m_received.IsOpen()) {
        try {
            if (m_bTranslateText) {
                std::uint8_t translated[2 * Packet::kMaxIncomingData];
                m_received.Write(translated, AddLineFeeds(pData, m_nForkLength, translated));
            } else {
                m_received.Write(pData, m_nForkLength);
            }
        } catch (const CFileException& error) {
            if (error.m_cause != CFileException::diskFull)
                throw;
            m_received.Discard();
            ReportLocalDiskFull();
        }
    }
    m_nBytesDone += m_nForkLength;
    Window().UpdateStatus(m_nBytesDone);
    m_session.IssueCodeRead();
    if (StopRequested() && !m_bAbortSent) {
        m_bAbortSent = true;
        m_session.m_bAbortAckPending = 1;
        m_session.SendBuffer()[Packet::kCode] = CodeByte(kFTP_msgAbort);
        m_session.SendRequest(m_session.SendBuffer(), 1, &TVantryGuestSession::DoNothingCallBack);
    }
}

// The fork ended with kFTP_msgEndData.
void TCopyEngine::ForkEnded() { FinishDownloadedFile(); }

// The fork ended with kFTP_msgResult: its value is in the window's result word.
void TCopyEngine::FromRemoteRespondToResult()
{
    m_nResult = m_session.m_nWindowResult;
    m_session.IssueCodeRead();
    FinishDownloadedFile();
}

void TCopyEngine::FinishDownloadedFile()
{
    m_session.IssueCodeRead();
    m_session.SetPhase(kPhaseIdle);
    const bool bWhole = m_nResult == kFTP_resOK && !m_bAbort && !m_bAbortSent;
    DWORD dwModTime = 0;
    std::memcpy(&dwModTime, m_fileInfo + Packet::FileInfo::kModified, sizeof dwModTime); // wire order
    // In path mode 0 the file keeps its own archive bit; otherwise it takes the host's.
    const bool bOwnArchive = m_session.PathMode() == 0;
    const BYTE nHostArchive = static_cast<BYTE>(m_fileInfo[Packet::FileInfo::kAttributes] & kKeptAttributes);
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
        DiscardDownload();
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

void TCopyEngine::DiscardDownload()
{
    // A fork the user abandoned is no failure of the file; one the host ended is.
    if (m_received.IsOpen() && !m_bAbortSent)
        Report(ETransferEventKind::Failed,
               m_nResult == kFTP_resNotFound ? ETransferCause::NotFound : ETransferCause::HostCannotRead, RemoteItem(), true);
    m_received.Discard();
}

// The host abandoned the fork (it could not open the file, or it answers the guest's abort).
// Only this file is lost: the copy goes on with the next item.
void TCopyEngine::RespondToAbort()
{
    m_bAbort = true;
    m_session.m_bAbortAckPending = 0;
    DiscardDownload();
    m_session.SetPhase(kPhaseIdle);
    m_session.IssueCodeRead();
    NextItem();
}

void TCopyEngine::DownloadFolder()
{
    const std::string sDisplay = RemoteToLocalName(m_sItemName);
    m_sLocalPath = JoinLocalPath(m_level.sDest, FitLocalName(sDisplay));
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
    child.dwFolderTime = m_level.items[m_level.nIndex].dwModTime;
    m_levels.push_back(std::move(m_level));
    m_level = std::move(child);
    // The local folder is made only once the host has listed the remote one: a folder the host
    // cannot read leaves nothing behind that looks like an empty copy of it.
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
        m_level.items.push_back({std::string(RemoteEntryName(entry)), IsRemoteFolder(entry), entry.dwModTime});
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
