// The copy engines: the download of remote items into a local folder and the upload of local
// items into a remote folder, files and whole folder trees. Each runs as a chain of steps that
// the guest session runs as the replies it awaits come in, and reaches the user only through
// the session's window (IVantryWindow).
#pragma once

#include "CopyItem.h"
#include "GuestTransferEngine.h"
#include "LocalCopyFiles.h"
#include "StringTable.h"
#include "TFile.h"
#include "Vntrgst.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

enum class ECopySource { Local, Remote };

// A name as the host compares names: letter case aside.
std::string FoldedName(std::string_view sName);

// What became of a copy, for the front ends that report it.
struct TCopyOutcome {
    std::uint64_t nFilesCopied = 0;
    std::uint64_t nFilesFailed = 0;  // items refused, not found, unreadable or not writable: not copied
    std::uint64_t nItemsSkipped = 0; // items left out: kept where they exist, or not to be sent
    bool bStopped = false;           // cancelled by the user or stopped by an error
    // What a stop left uncopied, as pane paths in the source folders: the file it was in the
    // middle of (nothing of it kept), and the items it never reached (remote when bRemoteSource).
    std::string sInterrupted;
    std::vector<std::string> notReached;
    bool bRemoteSource = false;
};

// Remote folders as the sizing pass listed them: about 20 MB of entries at most.
constexpr std::size_t kMostRemoteSizedEntries = 64 * 1024;

class TCopyEngine : public IGuestTransferEngine {
public:
    using TCopyDone = std::function<void(const TCopyOutcome&)>;

    // Registers with the session for its transfer steps; the session must outlive the engine.
    explicit TCopyEngine(TVantryGuestSession& session);
    ~TCopyEngine() override;
    TCopyEngine(const TCopyEngine&) = delete;
    TCopyEngine& operator=(const TCopyEngine&) = delete;

    // Starts copying the items of sSourceFolder into sDestFolder (pane folders: "X:\dir",
    // "Desktop\dir"). False when the window is busy or there is nothing to copy. onDone runs
    // once the copy is over, whatever ended it.
    bool StartCopy(ECopySource eSource, std::vector<TCopyItem> items, std::string sSourceFolder,
                   std::string sDestFolder, TCopyDone onDone = nullptr);
    bool InProgress() const { return m_bRunning; }
    // The status window's Cancel: the copy stops at its next step (one kFTP_msgAbort when a
    // file is flowing).
    void Cancel();
    const TCopyOutcome& Outcome() const { return m_outcome; }
    // Bytes of file data moved so far and the total found by the sizing pass.
    std::uint64_t BytesDone() const { return m_nBytesDone; }

    // IGuestTransferEngine
    void DecideToContinue() override;
    void CloseForStop() override;

private:
    // One level of the copy: the items of a folder and where they come from and go to.
    struct TLevel {
        std::vector<TCopyItem> items;
        std::size_t nIndex = 0;
        std::size_t nSerial = 0;      // tells the levels of a copy apart
        std::size_t nNextAhead = 0;   // download: the next item to be asked for ahead
        std::string sSource;          // local folder (upload) or remote pane folder (download)
        std::string sDest;
        TRemoteFolderRef remote;      // the remote folder that requests name
        std::uint32_t nListingLevel = 0;
        std::uint32_t dwFolderTime = 0;        // download: the remote folder's Mac time, host order; 0 none
        // upload: the names sent to this folder, by their case-folded form (the host matches so)
        std::unordered_map<std::string, std::string> sentNames;
        // download: the local names that this folder's items took; and the folder's listed
        // names, once one of them needs fitting
        std::unordered_set<std::string> receivedNames;
        std::unordered_set<std::string> listedNames;
        std::string sRemoteName;               // upload: this folder's name in its remote parent, as sent
        // upload: the listed names of the remote folder, case-folded, once a batch has asked
        std::unordered_set<std::string> remoteNames;
        bool bRemoteNamesRead = false;
    };

    // Shared steps (CopyEngine.cpp).
    void ClearTransferGlobals();
    bool StopRequested() const { return m_session.m_bStopRequested != 0; }
    void SetStopRequested() { m_session.m_bStopRequested = 1; }
    IVantryWindow& Window() const;
    void ShowStringBox(const std::string& sText, unsigned nStyle);
    // Tells the window of an item that failed or was left out (and counts it), with the box that
    // the window shows for it when sText is not empty.
    void Report(ETransferEventKind eKind, ETransferCause eCause, const std::string& sItem, bool bRemoteItem,
                const std::string& sText = {}, const std::string& sDetail = {},
                unsigned nStyle = MessageBoxStyle::kIconStop);
    // A local file or folder that cannot be read, with the window's unreadable-drive box.
    void ReportUnreadable(const std::string& sPath);
    // The current item in the remote folder of a download (its source) or of an upload (its destination).
    std::string RemoteItem() const;
    // Lists the remote folder and runs `then`; when the host cannot list it, runs `orElse` after
    // reporting the folder (the default stops the copy).
    void EnterRemoteFolder(const std::string& sFolder, std::function<void()> then, std::function<void()> orElse = nullptr);
    // Leaves a level whose folder could not be entered and goes on with the parent's next item.
    void AbandonLevel();
    void TakeListedFolder();
    void StartItems();
    void RunItem();
    void NextItem();
    void EndLevel();
    // At a stop: the items after the one begun last, at every level, go into the outcome.
    void NoteNotReached();
    void NoteInterrupted(const std::string& sItem);
    void UnwindLevels();
    void EndCopy();
    void FinishCopy();
    std::string StatusFileText(const std::string& sFolder) const;
    // Names on the wire and for the user: in path mode 0 the host's names are in the Mac set.
    std::string RemoteToLocalName(const std::string& sRemote) const;
    std::string LocalToRemoteName(const std::string& sLocal) const;
    // A request with a fixed block (zero-filled, the current folder's volume and directory
    // number put in), the file name and the directory string; returns its length.
    std::size_t BuildNamesRequest(EFTPMessage eCode, std::size_t nBlock, std::size_t nVolume, std::size_t nDirNumber,
                                  const std::string& sWireName);
    // A request with a 6-byte block for a name in the current remote folder, its reply awaited.
    void SendNamesRequest(EFTPMessage eCode, const std::string& sWireName, TAwaitedReply reply);
    TAwaitedReply AwaitResult(std::function<void(std::int16_t)> step) { return TAwaitedReply::ForResult(this, std::move(step)); }
    TAwaitedReply AwaitInfo(std::function<void(std::int16_t, const std::uint8_t*)> step)
    {
        return TAwaitedReply::ForInfo(this, std::move(step));
    }

    // Download (CopyFromRemote.cpp).
    // A file whose information and data fork have been asked for; the oldest is answered first.
    struct TFileInFlight {
        std::size_t nLevel = 0;     // serial of the level it belongs to
        std::size_t nIndex = 0;     // its item in that level
        std::uint64_t nSize = 0;    // as listed: what it still owes counts against the window
        std::uint64_t nReceived = 0;
        bool bTaken = false;        // the item loop has reached it and a local file receives its data
        std::int16_t nResult = 0;   // of its information
        bool bTranslateText = false;
        bool bAfterReturn = false;  // translated text: the data so far ends with a carriage return
        std::uint8_t info[Packet::FileInfo::kRecordLength] = {};
    };
    void StartFromRemote();
    void SizeNextRemoteFolder();
    void SizeRemoteFoldersAhead();
    void FinishSizing();
    void SizeListedEntries(const std::string& sFolder, std::int16_t nResult, const std::vector<TRemoteEntry>& entries);
    void CheckLocalFreeSpace();
    void DownloadFile();
    // Asks the replace question and opens the local file; false when the item goes no further
    // (the next step has been taken).
    bool TakeLocalName(const std::string& sDisplay);
    bool PrepareLocalFile();
    TFileInFlight* FindInFlight(std::size_t nIndex);
    // Sends the information and data fork requests of an item of the current level.
    void RequestFile(std::size_t nIndex, std::uint64_t nSize);
    // Keeps the requests of the next files of the level in flight, within the window.
    void RequestAhead();
    std::uint64_t BytesOwed() const;
    void SendDownloadAbort();
    void TakeDownloadInfo(std::int16_t nResult, const std::uint8_t* pRecord);
    void TakeForkData(const std::uint8_t* pData, std::uint16_t nLength);
    void EndFileFork(EForkEnd eEnd, std::int16_t nResult);
    void FinishDownloadedFile(const TFileInFlight& file);
    void DownloadFolder();
    void EnterDownloadedFolder();
    void FillDownloadLevel();
    void SetDownloadedFolderTime(const TLevel& level);
    void DiscardDownload(const TFileInFlight& file);
    void ReportLocalDiskFull();

    // Upload (CopyToRemote.cpp).
    // What the answers to a file's last requests need to know of it, whenever they come.
    struct TSentFile {
        std::string sRemoteItem;
        std::string sWireName;
        std::uint32_t nListingLevel = 0;
        bool bAnswersLate = false; // pipelined: the upload has gone on by the time they come
        int nFailure = 0;          // the message shown for the file, 0 while none
        bool bSettled = false;     // its last answer has come
    };
    void StartToRemote();
    void SizeLocalItems();
    std::string FitRemoteName(const std::string& sName) const;
    // Fits the current item's name for the host and checks it against the names sent to the
    // folder; false (reported) when another item of this copy has the name there already.
    bool TakeRemoteName();
    void UploadFile();
    // kFTP_msgCreate for the current file; the answer to a create after a removal is not looked at.
    enum class ECreate { First, AfterRemove };
    void SendCreate(ECreate eCreate);
    void OnCreateResult(std::int16_t nResult);
    void OnReplaceRemoveResult(std::int16_t nResult);
    void SendSetInfo();
    // What a kFTP_msgSetInfo describes: the file being sent or a finished folder.
    enum class ESetInfoOf { File, Folder };
    // pStatus: the local item's status; null when it could not be read.
    void SendSetInfoOf(const std::string& sLocalPath, const CFileStatus* pStatus, const std::string& sWireName,
                       std::uint64_t nDataLength, ESetInfoOf eOf);
    // Opens the current local file and reads its length and status from it; false when either
    // cannot be had.
    bool OpenLocalFile();
    void SendFolderTimes(const TLevel& finished);
    void OpenRemoteFork();
    void OnSetInfoResult(TSentFile& file, std::int16_t nResult);
    void SendInfoRequestAfterUpload();
    void SendData();
    void DecideUpload();
    void FinishUploadedFile();
    // True when an answer needs nothing more: success, a file already reported, or a name
    // taken on the host after a pipelined create (reported here).
    bool AnswerSettled(TSentFile& file, std::int16_t nResult);
    void OnEndDataResult(TSentFile& file, std::int16_t nResult);
    void TakeUploadedInfo(const TSentFile& file, std::int16_t nResult, const std::uint8_t* pRecord);
    // Puts a file just uploaded into the remote listing, as its information read back describes it.
    void AddUploadedEntry(const TSentFile& file, const std::uint8_t* pRecord);
    void StopUpload(int nMessage, ETransferCause eCause);
    void UploadFolder();
    void TakeRemoteFolderInfo(std::int16_t nResult, const std::uint8_t* pRecord);
    void MakeRemoteFolder();
    void OnRemoteFolderMade(std::int16_t nResult);
    void EnterUploadedFolder();
    void CloseLocalFile();

    TVantryGuestSession& m_session;
    ECopySource m_eSource = ECopySource::Local;
    TCopyDone m_onDone;
    bool m_bRunning = false;
    TCopyOutcome m_outcome;

    // Copy state.
    TLevel m_level;
    std::vector<TLevel> m_levels;
    std::size_t m_nLevelSerial = 0; // a new one for every level entered
    std::pair<std::size_t, std::size_t> m_begun{0, 0}; // level serial and index of the item begun last
    bool m_bNotReachedNoted = false;
    std::string m_sOriginalRemoteFolder;
    std::uint8_t m_volumeRecord[Packet::AVol::kRecordLong] = {}; // of the remote folder entered last
    std::string m_sItemName;       // the current item (fitted name on the destination side)
    std::string m_sWireName;       // the current item's name as requests carry it
    std::string m_sLocalPath;      // the local file or folder being written or read
    bool m_bYesToAll = false;
    std::uint64_t m_nBytesDone = 0;
    std::uint64_t m_nBytesToCopy = 0;
    std::uint64_t m_nFilesFound = 0;
    std::uint64_t m_nFileNumber = 0;
    std::deque<std::string> m_foldersToSize;
    std::vector<std::string> m_unreadableFolders; // remote folders the host could not list while sizing
    std::size_t m_nListingsOwed = 0;              // sizing listings in flight
    TLocalSizedListings m_sizedListings{kMostLocalSizedEntries}; // local folders listed while sizing
    TSizedListings<TRemoteEntry> m_sizedRemote{kMostRemoteSizedEntries}; // remote ones (about 20 MB at most)

    // Download.
    std::deque<TFileInFlight> m_inFlight;
    bool m_bAbort = false;         // the current file is abandoned
    bool m_bAbortSent = false;     // the one kFTP_msgAbort of this copy has gone out
    TReceivedFile m_received;

    // Upload in a session that pipelines (PipelinedUpload.cpp): the files of a batch, whose
    // creates go out together.
    struct TBatchFile {
        std::size_t nIndex = 0;
        std::string sItemName; // fitted
        std::string sWireName;
        std::string sLocalPath;
        std::uint64_t nLocalLength = 0;
        std::int16_t nCreateResult = 0;
        bool bCounted = false; // in the status window's file count already
    };
    // Text files sent with their line feeds taken out (path mode 0, translation on).
    bool StripsLineFeeds(const std::string& sLocalPath) const;
    // True when the name, as the host matches names, is in the listing of the remote folder.
    bool KnownOnHost(const std::string& sFittedName);
    // Sends the creates of the current item and the next files of the level that the host does
    // not know yet; false when the current item goes the unpipelined way.
    bool StartBatch();
    // The next file of the batch whose creates have been answered; the next item after the last.
    void SendBatchFile();
    // Files created for the batch but never sent are removed again from the host.
    void RemoveUnsentBatch();
    // After a file of the upload: the next of its batch, or the next item.
    void AfterUploadedFile();
    std::deque<TBatchFile> m_batch;
    std::size_t m_nCreatesOwed = 0;
    std::size_t m_nBatchLast = 0; // the last item the batch looked at

    // The chain of a file waits for each answer before its next request: a replace in a
    // session that pipelines, so that the host takes it as one.
    bool WaitsForEachAnswer(const TSentFile& file) const { return m_session.Pipelining() && !file.bAnswersLate; }
    std::shared_ptr<TSentFile> m_pSent;
    // Files sent whole whose last answers are still owed, with their local paths, oldest first:
    // a stop names them with the items it did not reach.
    std::deque<std::pair<std::shared_ptr<TSentFile>, std::string>> m_unconfirmed;

    // Upload: the file being sent.
    struct TUploadFile {
        std::uint64_t nLocalLength = 0;
        CFileStatus status;  // as the opened file had it
        std::uint64_t nLineFeeds = 0;
        std::uint32_t nLastRead = 0;
        bool bStripLineFeeds = false;
        bool bAbortSent = false;
        bool bInBatch = false; // the next file is the batch's next
    };
    TUploadFile m_upload;
    TFile m_localFile;
};
