// The steps both copy engines share: starting a copy, the per-item loop over the levels of a
// tree, the end of a level and of the copy.
#include "copyrtl.h"

#include "CheckedCalls.h"
#include "Exceptions.h"
#include "MacStrings.h"
#include "PacketBuffer.h"
#include "StringTable.h"

#include <cstring>

namespace {
constexpr std::size_t kStatusTextLimit = 280;
constexpr char kUnmappable = '_';
} // namespace

TCopyEngine::TCopyEngine(TVantryGuestSession& session) : m_session(session) { m_session.SetTransferEngine(this); }

TCopyEngine::~TCopyEngine()
{
    m_session.DropReplies(this);
    m_session.SetTransferEngine(nullptr);
}

IVantryWindow& TCopyEngine::Window() const
{
    IVantryWindow* pWindow = m_session.Window();
    VCheck(pWindow != nullptr);
    return *pWindow;
}

void TCopyEngine::ShowStringBox(const std::string& sText, unsigned nStyle)
{
    Window().MessageBoxText(sText, FixedText::kApplicationTitle, nStyle);
}

void TCopyEngine::Report(ETransferEventKind eKind, ETransferCause eCause, const std::string& sItem, bool bRemoteItem,
                         const std::string& sText, const std::string& sDetail, unsigned nStyle)
{
    if (eKind == ETransferEventKind::Failed)
        ++m_outcome.nFilesFailed;
    else if (eKind == ETransferEventKind::Skipped)
        ++m_outcome.nItemsSkipped;
    Window().ReportTransfer({eKind, eCause, sItem, bRemoteItem, sDetail}, sText, FixedText::kApplicationTitle, nStyle);
}

std::string TCopyEngine::RemoteItem() const
{
    return JoinLocalPath(m_eSource == ECopySource::Remote ? m_level.sSource : m_level.sDest, m_sItemName);
}

void TCopyEngine::ClearTransferGlobals()
{
    m_outcome = {};
    m_bNotReachedNoted = false;
    m_level = {};
    m_levels.clear();
    m_foldersToSize.clear();
    m_unreadableFolders.clear();
    m_nListingsOwed = 0;
    m_sizedListings.Clear();
    m_sizedRemote.Clear();
    m_sItemName.clear();
    m_sWireName.clear();
    m_sLocalPath.clear();
    m_bYesToAll = false;
    m_nBytesDone = m_nBytesToCopy = m_nFilesFound = m_nFileNumber = 0;
    m_inFlight.clear();
    m_bAbort = m_bAbortSent = false;
    m_received.Discard();
    m_upload = {};
    m_batch.clear();
    m_nCreatesOwed = 0;
    m_pSent.reset();
    m_unconfirmed.clear();
    CloseLocalFile();
}

bool TCopyEngine::StartCopy(ECopySource eSource, std::vector<TCopyItem> items, std::string sSourceFolder,
                            std::string sDestFolder, TCopyDone onDone)
{
    IVantryWindow& window = Window();
    if (window.IsBusy() || m_bRunning || items.empty())
        return false;
    window.EnterBusy();
    ClearTransferGlobals();
    m_eSource = eSource;
    m_outcome.bRemoteSource = eSource == ECopySource::Remote;
    m_onDone = std::move(onDone);
    m_level.items = std::move(items);
    m_level.sSource = std::move(sSourceFolder);
    m_level.sDest = std::move(sDestFolder);
    m_level.nSerial = ++m_nLevelSerial;
    m_session.m_nBytesToCopy = 0;
    m_session.m_bStopRequested = 0;
    m_session.m_bUploadReadFailure = 0;
    m_session.RefreshTranslateOptions();
    m_sOriginalRemoteFolder = window.RemoteFolder();
    if (!window.OpenStatus())
        window.MessageBoxText(FixedText::kStatusWindowFailed, FixedText::kApplicationTitle, MessageBoxStyle::kOk);
    m_session.m_bCopyInProgress = 1;
    m_bRunning = true;
    try {
        if (eSource == ECopySource::Remote)
            StartFromRemote();
        else
            StartToRemote();
    } catch (const std::exception&) {
        m_session.PostStopMessage(kStopSystemError);
    }
    return true;
}

void TCopyEngine::Cancel()
{
    if (m_bRunning)
        SetStopRequested();
}

void TCopyEngine::EnterRemoteFolder(const std::string& sFolder, std::function<void()> then, std::function<void()> orElse)
{
    if (m_session.ListedRemotePath() == sFolder && m_session.RepliesAwaited() == 0) {
        TakeListedFolder();
        then();
        return;
    }
    m_session.ListRemoteFolder(sFolder, [this, sFolder, then = std::move(then), orElse = std::move(orElse)] {
        // A folder the host cannot list leaves the listing where it was: nothing to name it by.
        if (m_session.m_nPaneResult != kFTP_resOK || m_session.ListedRemotePath() != sFolder) {
            if (m_session.m_nPaneResult == kFTP_resNotFound)
                Report(ETransferEventKind::Failed, ETransferCause::NotFound, sFolder, true, LoadStringId(IDS_UNABLE_TO_VANTRY));
            else
                ++m_outcome.nFilesFailed; // the session has told that the host cannot read it
            if (orElse) {
                orElse();
                return;
            }
            SetStopRequested();
            EndLevel();
            return;
        }
        TakeListedFolder();
        then();
    });
}

void TCopyEngine::AbandonLevel()
{
    m_level = std::move(m_levels.back());
    m_levels.pop_back();
    NextItem();
}

void TCopyEngine::TakeListedFolder()
{
    m_level.remote = m_session.CurrentRemoteFolder();
    m_level.nListingLevel = m_session.RemoteListing().CurrentLevel();
    TRemoteLevel level{};
    if (ZULGetCurrentRemoteDirInfo(m_session.RemoteListing(), m_level.nListingLevel, &level, nullptr, m_session.PathMode(),
                                   m_session.ListedRemotePath()))
        std::memcpy(m_volumeRecord, level.volumeRecord, sizeof m_volumeRecord);
}

void TCopyEngine::StartItems()
{
    IVantryWindow& window = Window();
    window.SetStatusTitle(std::string(LoadStringId(IDS_STATUS_TITLE)) + m_session.HostName());
    window.SetStatusTotal(m_nBytesToCopy);
    m_session.m_nBytesToCopy = m_nBytesToCopy;
    m_level.nIndex = 0;
    RunItem();
}

void TCopyEngine::RunItem()
{
    if (StopRequested()) {
        EndLevel();
        return;
    }
    const TCopyItem& item = m_level.items[m_level.nIndex];
    m_begun = {m_level.nSerial, m_level.nIndex};
    m_sItemName = item.sName;
    if (!item.bFolder) {
        ++m_nFileNumber;
        Window().SetStatusText(StatusFileText(m_level.sSource));
    }
    m_session.IssueCodeRead();
    const bool bRemote = m_eSource == ECopySource::Remote;
    if (item.bFolder)
        bRemote ? DownloadFolder() : UploadFolder();
    else
        bRemote ? DownloadFile() : UploadFile();
}

std::string TCopyEngine::StatusFileText(const std::string& sFolder) const
{
    std::string sName = m_eSource == ECopySource::Remote ? RemoteToLocalName(m_sItemName) : m_sItemName;
    std::string sText = JoinLocalPath(sFolder, sName) +
                        FormatStringIdNumbers(IDS_FILE_OF_FILES, static_cast<long long>(m_nFileNumber),
                                              static_cast<long long>(m_nFilesFound));
    if (sText.size() > kStatusTextLimit)
        sText.resize(kStatusTextLimit);
    return sText;
}

void TCopyEngine::NextItem()
{
    ++m_level.nIndex;
    if (m_level.nIndex < m_level.items.size() && !StopRequested()) {
        m_session.IssueCodeRead();
        RunItem();
        return;
    }
    EndLevel();
}

void TCopyEngine::EndLevel()
{
    if (StopRequested()) {
        NoteNotReached();
        if (m_eSource == ECopySource::Local && m_upload.bAbortSent) {
            // A file was flowing: the host learns that it is abandoned, and its answer ends the
            // copy. An answer to the file's information still on its way comes first.
            m_session.SendBuffer()[Packet::kCode] = CodeByte(kFTP_msgAbort);
            m_session.SendAwaited(1, AwaitResult([this](std::int16_t) { EndCopy(); }));
            RemoveUnsentBatch();
            UnwindLevels();
            return;
        }
        RemoveUnsentBatch();
        UnwindLevels();
        EndCopy();
        return;
    }
    if (m_levels.empty()) {
        EndCopy();
        return;
    }
    TLevel finished = std::move(m_level);
    m_level = std::move(m_levels.back());
    m_levels.pop_back();
    if (m_eSource == ECopySource::Local) {
        SendFolderTimes(finished);
        return;
    }
    SetDownloadedFolderTime(finished);
    NextItem();
}

void TCopyEngine::NoteNotReached()
{
    if (m_bNotReachedNoted)
        return;
    m_bNotReachedNoted = true;
    const auto note = [this](const TLevel& level, std::size_t nFrom) {
        for (std::size_t i = nFrom; i < level.items.size(); ++i) {
            const std::string& sName = level.items[i].sName;
            m_outcome.notReached.push_back(
                JoinLocalPath(level.sSource, m_eSource == ECopySource::Remote ? RemoteToLocalName(sName) : sName));
        }
    };
    // A parent level's current item is the folder that the levels below are copying; a folder
    // whose listing has not come yet is named itself.
    for (const TLevel& level : m_levels)
        note(level, level.nIndex + (&level == &m_levels.back() && m_level.items.empty() ? 0 : 1));
    const bool bBegun = m_begun == std::pair{m_level.nSerial, m_level.nIndex};
    note(m_level, m_level.nIndex + (bBegun ? 1 : 0));
}

void TCopyEngine::NoteInterrupted(const std::string& sItem)
{
    if (m_outcome.sInterrupted.empty())
        m_outcome.sInterrupted = sItem;
}

void TCopyEngine::UnwindLevels()
{
    if (!m_levels.empty()) {
        m_level = std::move(m_levels.front());
        m_levels.clear();
    }
}

void TCopyEngine::EndCopy()
{
    if (m_session.Pipelining() && m_session.RepliesAwaitedBy(this) != 0) {
        // Requests of the copy still owe their replies: they are read (and what they bring
        // dropped) before the copy ends.
        m_session.AfterReplies(this, [this] { EndCopy(); });
        return;
    }
    m_received.Discard();
    CloseLocalFile();
    if (StopRequested())
        m_outcome.bStopped = true;
    IVantryWindow& window = Window();
    window.CloseStatus();
    m_session.m_bCopyInProgress = 0;
    m_session.IssueCodeRead();
    // The remote pane shows its own folder again, with what the copy changed there.
    if (m_sOriginalRemoteFolder.empty()) {
        FinishCopy();
        return;
    }
    m_session.ListRemoteFolder(m_sOriginalRemoteFolder, [this] {
        Window().RemoteListingDone();
        FinishCopy();
    });
}

void TCopyEngine::FinishCopy()
{
    IVantryWindow& window = Window();
    window.RefreshLocalPane();
    m_level = {};
    m_levels.clear();
    m_bRunning = false;
    window.LeaveBusy();
    TCopyDone onDone = std::move(m_onDone);
    m_onDone = nullptr;
    if (onDone)
        onDone(m_outcome);
}

void TCopyEngine::CloseForStop()
{
    if (m_bRunning) {
        // The session ends under the copy: a file on its way is lost with it.
        if (m_received.IsOpen())
            NoteInterrupted(RemoteItem());
        else if (m_localFile.m_hFile32 != TFile::kNoFile)
            NoteInterrupted(m_sLocalPath);
        // Files sent whole that the host has not confirmed: as far as the guest knows, not copied.
        for (const auto& [pSent, sLocalPath] : m_unconfirmed)
            if (!pSent->bSettled && pSent->nFailure == 0)
                m_outcome.notReached.push_back(sLocalPath);
        m_unconfirmed.clear();
        NoteNotReached();
    }
    m_inFlight.clear();
    m_received.Discard();
    CloseLocalFile();
    if (!m_bRunning)
        return;
    m_outcome.bStopped = true;
    m_bRunning = false;
    m_session.m_bCopyInProgress = 0;
    m_level = {};
    m_levels.clear();
    if (IVantryWindow* pWindow = m_session.Window()) {
        pWindow->CloseStatus();
        pWindow->LeaveBusy();
    }
    TCopyDone onDone = std::move(m_onDone);
    m_onDone = nullptr;
    if (onDone)
        onDone(m_outcome);
}

std::string TCopyEngine::RemoteToLocalName(const std::string& sRemote) const
{
    if (m_session.PathMode() != 0)
        return sRemote;
    std::string sAnsi(sRemote.size() * 3 + 1, '\0');
    OVMacToAnsiStr(sRemote.c_str(), sAnsi.data(), sAnsi.size(), kUnmappable);
    sAnsi.resize(std::strlen(sAnsi.c_str()));
    return sAnsi;
}

std::string TCopyEngine::LocalToRemoteName(const std::string& sLocal) const
{
    if (m_session.PathMode() != 0)
        return sLocal;
    std::string sMac(sLocal.size() + 1, '\0');
    OVAnsiToMacStr(sLocal.c_str(), sMac.data(), sMac.size(), kUnmappable);
    sMac.resize(std::strlen(sMac.c_str()));
    return sMac;
}

std::size_t TCopyEngine::BuildNamesRequest(EFTPMessage eCode, std::size_t nBlock, std::size_t nVolume,
                                           std::size_t nDirNumber, const std::string& sWireName)
{
    const TRemoteFolderRef& folder = m_level.remote;
    // A name or folder that a length byte cannot carry would name another item.
    VCheck(sWireName.size() <= Packet::kMaxPascal && folder.sDirString.size() <= Packet::kMaxPascal);
    TPacketWriter packet(m_session.SendBuffer(), kGuestBufferSize);
    packet.Byte(Packet::kCode, CodeByte(eCode));
    packet.Zero(1, nBlock);
    packet.Bytes(nVolume, folder.volume, sizeof folder.volume);
    WriteDirNumber(packet, nDirNumber, folder.dwDirNumber);
    const std::size_t nDir = packet.Pascal(1 + nBlock, sWireName);
    return packet.Pascal(nDir, folder.sDirString);
}

void TCopyEngine::SendNamesRequest(EFTPMessage eCode, const std::string& sWireName, TAwaitedReply reply)
{
    m_session.SendNamesRequest(eCode, m_level.remote, sWireName, std::move(reply));
}
