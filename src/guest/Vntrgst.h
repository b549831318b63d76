// The guest's one session with a host: owns the guest's end of the connection and the Vantry
// window, sends every request the guest makes, reads every message the host sends and hands it
// to the oldest request still waiting for its reply.
#pragma once

#include "AwaitedReply.h"
#include "GuestEntry.h"
#include "GuestTransferEngine.h"
#include "HostServiceTable.h"
#include "MessageCodes.h"
#include "PacketLayout.h"
#include "RemoteListing.h"
#include "VantryWindowInterface.h"
#include "WinTypes.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Where the session is in its life. What it waits for from the host is its queue of awaited
// replies, not a state.
enum class ESessionState { New, Attaching, Attached, Starting, Running, Stopping };

// Why a session is stopped.
inline constexpr std::int32_t kStopUserClosed = 0;
inline constexpr std::int32_t kStopConnectionFailed = 2;
inline constexpr std::int32_t kStopSystemError = 101;
inline constexpr std::int32_t kStopUnknownMessage = 102; // the host sent a code a guest never receives

// Posted to the host application's guest window to ask for CloseGuestServiceSession.
inline constexpr std::uint32_t kGuestStopMessage = 0x40D;
inline constexpr std::uintptr_t kGuestStopWParam = 3;

inline constexpr std::uint16_t kGuestBufferSize = 0x1003;
inline constexpr std::uint16_t kGuestDataMsgLen = 4096;

// A volume of the host, as its kFTP_msgAVol record gave it. Records of hosts below version 9 get
// the name limits filled in by the guest, so that every record reads the same.
struct TRemoteVolume {
    std::uint8_t record[Packet::AVol::kRecordLong];
    std::string sName;
};

// Where a request names a remote folder: the volume number as received, and the directory
// number (path mode 0) or the directory string (path mode 1).
struct TRemoteFolderRef {
    std::uint8_t volume[2];
    std::uint32_t dwDirNumber;
    std::string sDirString;
};

class TPacketWriter;
// The directory-number field of a request: the number kept in the listing, low byte first.
void WriteDirNumber(TPacketWriter& packet, std::size_t nOffset, std::uint32_t dw);

// One item of a remote remove: the name the remote pane shows and its kind (0 file, 1 folder).
struct TRemoveItem {
    std::string sName;
    int nKind;
};

class TVantryGuestSession {
public:
    using TListingDone = std::function<void()>;

    TVantryGuestSession();
    virtual ~TVantryGuestSession();
    TVantryGuestSession(const TVantryGuestSession&) = delete;
    TVantryGuestSession& operator=(const TVantryGuestSession&) = delete;

    // Life: Attach (0 or 1), Start (0 or 1), Close, then destruction.
    int Attach(OVGuestEntry* pEntry);
    int Start();
    void Close();
    // True for a live session whose tag reads "VNTR".
    static bool IsValidSession(const void* pSession);
    // The handle that the connection entry and the stop message carry.
    void* Handle() { return this; }

    // Connection operations; a refusal by the host application raises CMemoryException.
    void SendRequest(const void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion);
    // Reads the next bytes of the reply stream. One read is in flight at a time: a message's
    // parts are read from the completion of the part before.
    void ReadReplyBytes(void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion);
    void IssueCodeRead();
    void PostStopMessage(std::int32_t nReason);

    ESessionState State() const { return m_eState; }
    bool Stopping() const { return m_eState == ESessionState::Stopping; }

    // Requests in flight. Whoever sends a request that the host answers queues what it waits
    // for, in send order; the step runs when the reply has been read.
    void AwaitReply(TAwaitedReply reply) { m_awaited.push_back(std::move(reply)); }
    // A request with its reply awaited: writes the send buffer's first nLength bytes.
    void SendAwaited(std::uint16_t nLength, TAwaitedReply reply);
    // Runs the step once every request sent before now has been answered (at once when none is).
    void AfterReplies(const void* pOwner, std::function<void()> step);
    std::size_t RepliesAwaited() const { return m_awaited.size(); }
    // Replies awaited for requests of one chain.
    std::size_t RepliesAwaitedBy(const void* pOwner) const;
    // A chain that goes away: its replies are still read, in order, and dropped.
    void DropReplies(const void* pOwner);

    // Completion routines.
    static std::uint32_t ReadResultCompletion(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t DoNothingCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t GetSizeThenDoNothingCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t ReissueReadCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t DecideToContinueCallBack(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t CopyFromRemoteReadForkSize(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t CopyFromRemoteProcessForkData(HConnection, void* pSession, HStream, std::int32_t nStatus);

    // Remote volume and folder listing (the remote pane's requests). An empty path lists the
    // volumes alone; onDone runs once the listing has been delivered.
    void ListRemoteVolumes(TListingDone onDone);
    void ListRemoteFolder(const std::string& sPath, TListingDone onDone);
    // Lists a remote folder (path mode 1) into the step alone, leaving the remote listing as it
    // is, so that several may be in flight at once. False when no volume of the host names it
    // (nothing is asked).
    bool ListRemoteEntries(const std::string& sPath, const void* pOwner, TAwaitedReply::TEntriesStep step);
    // Makes entries that ListRemoteEntries read the remote listing of sPath, as if the host had
    // just listed it. False when no volume of the host names it (the listing is left as it is).
    bool TakeRemoteEntries(const std::string& sPath, const std::vector<TRemoteEntry>& entries);
    const std::vector<TRemoteVolume>& RemoteVolumes() const { return m_volumes; }
    int CurrentVolumeIndex() const { return m_nCurrentVolume; }
    // The remote pane's folder that the remote listing's current level stands for.
    const std::string& ListedRemotePath() const { return m_sListedPath; }
    TRemoteListing& RemoteListing() { return m_remoteListing; }
    // The current remote folder, as requests name it.
    TRemoteFolderRef CurrentRemoteFolder();

    // A request with a 6-byte block and names (kFTP_msgGetInfo, kFTP_msgRemove, kFTP_msgMakeFolder),
    // written with DoNothingCallBack after making sure that a code read is outstanding; its
    // reply is awaited as given.
    void SendNamesRequest(EFTPMessage eCode, const TRemoteFolderRef& folder, std::string_view sName, TAwaitedReply reply);

    // Removes the items from the current remote folder one request at a time; the window's
    // RemoteRemoveDone runs at the end.
    void StartRemoteRemove(std::vector<TRemoveItem> items);
    // Makes a folder in the current remote folder; the window's RemoteNewFolderDone runs at the end.
    void CreateRemoteFolder(const std::string& sName);

    // The copy engine registers here to hear of the session's close.
    void SetTransferEngine(IGuestTransferEngine* pEngine) { m_pEngine = pEngine; }
    IVantryWindow* Window() const { return m_pWindow.get(); }

    // Fields read by the window and the engines.
    std::int16_t ProtocolVersion() const { return m_nProtocolVersion; }
    bool LongNames() const { return m_nProtocolVersion >= static_cast<std::int16_t>(kFTP_versionLong); }
    int PathMode() const { return m_nPathMode; }
    // The host and this guest agreed in the handshake on sizes beyond 32 bits: the high words of
    // sizes are read from listings and file information.
    bool LargeSizes() const { return m_bLargeSizes; }
    // Both ends agreed on requests in flight across files (and the session speaks long names):
    // the host reads requests while it sends a fork and answers them in order.
    bool Pipelining() const { return m_bPipelining; }
    char HostKind() const { return m_cHostKind; }
    bool MayCopyFromRemote() const { return m_bMayCopyFromRemote != 0; }
    bool MayWriteToRemote() const { return m_bMayWriteToRemote != 0; }
    bool MayRemoveOnRemote() const { return m_bMayRemoveOnRemote != 0; }
    const char* HostName() const { return m_szHostName; }
    std::int32_t StopReason() const { return m_nStopReason; }
    bool StopPostFailed() const { return m_bStopPostFailed != 0; }
    bool CodeReadPending() const { return m_bCodeReadPending != 0; }
    std::uint32_t TranslateDownload() const { return m_nTranslateDownload; }
    std::uint32_t TranslateUpload() const { return m_nTranslateUpload; }
    void RefreshTranslateOptions();
    std::uint8_t* SendBuffer() { return m_pSend; }
    std::uint8_t* ReceiveBuffer() { return m_pReceive; }

    // State shared with the window and the copy engines.
    std::int32_t m_bRemotePaneActive = 0;
    std::int32_t m_bStopRequested = 0;
    std::int32_t m_bCopyInProgress = 0;
    std::int32_t m_bUploadReadFailure = 0;
    std::uint16_t m_nChunkSize = 0;
    std::uint64_t m_nBytesToCopy = 0;
    std::uint16_t m_nPendingLength = 0; // what GetSizeThenDoNothingCallBack reads and drops
    // The result of the last remote listing: 0 listed, kFTP_resFailure the host could not read
    // the folder, kFTP_resNotFound no volume of the host names it.
    std::int16_t m_nPaneResult = 0;

private:
    using Step = void (TVantryGuestSession::*)();

    // Runs a step for a completion: a failed status stops the session with that status, a raised
    // failure with nFailureReason.
    static std::uint32_t RunCompletion(void* pSession, std::int32_t nStatus, Step pStep, std::int32_t nFailureReason);
    // A completion routine that runs one step of the session.
    template <Step pStep, std::int32_t nFailureReason = kStopSystemError>
    static std::uint32_t StepCompletion(HConnection, void* pSession, HStream, std::int32_t nStatus)
    {
        return RunCompletion(pSession, nStatus, pStep, nFailureReason);
    }

    void OnCodeByte();
    bool Awaits(EAwaitedReply eKind) const { return !m_awaited.empty() && m_awaited.front().eKind == eKind; }
    // Takes the oldest awaited reply off the queue, runs what it leads to, and reads on.
    TAwaitedReply TakeAwaited();
    void ReadOn();
    void RunBarriers();
    void OnResultValue();
    void OnFileInfoRecord();
    void OnForkLength();
    void OnForkData();
    void EndFork(EForkEnd eEnd, std::int16_t nResult);
    void OnHostAbort();
    void OnEndData();
    void OnDriveNotReady();
    void ShowIllegalMessage();
    // Replies read and dropped where the guest expects none.
    void SkipForkDataLength();
    void SkipForkData();
    // The window is gone while a chain's step is due: the session cannot go on.
    bool ChainCanRun(const TAwaitedReply& reply);

    // Remote listing steps.
    void SendListVolumes();
    void SendListFiles();
    // The remote listing's level for sPath, on the volume that names it, emptied.
    void EnterListingLevel(const TRemoteVolume& volume, const std::string& sPath);
    // The volume of the host that a pane path names; null when none does.
    const TRemoteVolume* VolumeOf(std::string_view sPanePath) const;
    // Writes kFTP_msgListFiles into the send buffer; returns its length.
    std::size_t WriteListFiles(const TRemoteVolume& volume, std::uint32_t dwDir, const std::string& sDir);
    void OnVolume();
    void OnVolumeRecord();
    void OnVolumeNameLength();
    void OnVolumeName();
    void OnFile();
    void OnFileRecord();
    void OnFileNameLength();
    void OnFileName();
    void OnFileTime();
    void StoreFileEntry(std::uint32_t dwModTime);
    void EndVolumeList();
    void EndFileList();
    void FinishListing();

    // Remote remove and new folder steps.
    void RemoveRemoteSelItems();
    void FinishNewFolder(std::int16_t nResult);

    // Step wrappers for the completion routines.
    void DoNothing() {}
    void ReadPendingLength();
    void ContinueUpload();

    void ReleaseConnection();

    // Fields, in the order the session keeps them.
    std::int16_t m_nProtocolVersion = 0;
    std::int32_t m_bCodeReadPending = 0;
    // A read of the reply stream is in flight (a code or the rest of a message), and where it
    // completes: a code read asked for meanwhile would take bytes from the middle of a message.
    bool m_bReplyReadPending = false;
    FTPCompletion m_pfnReplyRead = nullptr;
    static std::uint32_t ReplyReadDone(HConnection hConnection, void* pSession, HStream hStream, std::int32_t nStatus);
    char m_tag[4] = {};
    std::int32_t m_nStopReason = 0;
    std::int32_t m_bStopPostFailed = 0;
    HostServiceTable* m_pTable = nullptr;
    HConnection m_hConnection = nullptr;
    HStream m_hReadStream = nullptr;
    HStream m_hWriteStream = nullptr;
    std::uint8_t* m_pSend = nullptr;
    std::uint8_t* m_pReceive = nullptr;
    OVGuestEntry* m_pEntry = nullptr;
    const OVAddressRecord* m_pRemoteAddress = nullptr;
    std::int32_t m_bMayCopyFromRemote = 0;
    std::int32_t m_bMayWriteToRemote = 0;
    std::int32_t m_bMayRemoveOnRemote = 0;
    TRemoteListing m_remoteListing;
    char m_szHostName[48] = {};
    std::unique_ptr<IVantryWindow> m_pWindow;
    std::uint32_t m_nTranslateDownload = 0;
    std::uint32_t m_nTranslateUpload = 0;
    std::int32_t m_nPathMode = 0;
    bool m_bLargeSizes = false;
    bool m_bPipelining = false;
    ESessionState m_eState = ESessionState::New;
    char m_cHostKind = 0;

    IGuestTransferEngine* m_pEngine = nullptr;
    std::deque<TAwaitedReply> m_awaited;
    std::uint16_t m_nForkLength = 0; // of the kFTP_msgForkData being read

    // The running remote listing: what one message of it has given so far.
    struct TListingChain {
        TListingDone onDone;
        std::string sPath; // the folder being listed
        std::uint16_t nRecordLength = 0;
        std::uint8_t nNameLength = 0;
        std::uint8_t record[Packet::AFile::kRecordLength] = {};
        std::string sName;
    };
    TListingChain m_listing;
    std::vector<TRemoteVolume> m_volumes;
    int m_nCurrentVolume = 0;
    bool m_bAdmitWaitShown = false;
    std::string m_sListedPath;

    // The running remote remove.
    struct TRemoveChain {
        std::vector<TRemoveItem> items;
        int nIndex = -1;
        std::int16_t nResult = 0;
    };
    TRemoveChain m_remove;
    // The running new remote folder.
    struct TNewFolderChain {
        std::string sName;
    };
    TNewFolderChain m_newFolder;
};

// The current guest session, null when none.
TVantryGuestSession* CurrentGuestSession();
void SetCurrentGuestSession(TVantryGuestSession* pSession);
