// One connected guest, served on completion routines: reads each request whole, answers the
// requests in the order they came, and asks the host application to stop on any failure.
// A session reads the next request once the last one is answered; a pipelined one reads ahead
// into a bounded queue while it answers.
#pragma once

#include "HostCreations.h"
#include "HostForkSend.h"
#include "HostListing.h"
#include "HostRequest.h"
#include "HostServiceTable.h"
#include "HostUpload.h"
#include "MessageCodes.h"
#include "WinTypes.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

enum EHostSessionState : int {
    kHostNew = 0,
    kHostOpened = 1,
    kHostStarting = 2,
    kHostRunning = 3,
    kHostStopRequested = 5,
    kHostStopped = 6,
};

// Posted to the host application's main window to ask for StopHostSession.
inline constexpr std::uint32_t kHostStopMessage = 0x404;
inline constexpr std::uintptr_t kHostStopWParam = 3;

class TVantryHostSession {
public:
    explicit TVantryHostSession(HostServiceTable* pTable);
    ~TVantryHostSession() = default;
    TVantryHostSession(const TVantryHostSession&) = delete;
    TVantryHostSession& operator=(const TVantryHostSession&) = delete;

    // Reads the open request and fills the open response: agrees the version and the name mode,
    // and creates the read stream. Returns 0, or -12001 when the version is refused.
    std::int16_t OpenFromRequest(const std::uint8_t* pRequest, std::uint8_t* pResponse);
    void SetLevel(std::uint8_t nLevel) { m_nLevel = nLevel; }
    // The privilege word that the host application grants this guest.
    void SetPrivileges(std::uint16_t nPrivileges) { m_nPrivileges = nPrivileges; }
    // Set when this guest agreed in the handshake to sizes beyond 32 bits: listings and file
    // information then carry the high words of sizes.
    void SetLargeSizes(bool bLargeSizes) { m_bLargeSizes = bLargeSizes; }
    bool LargeSizes() const { return m_bLargeSizes; }
    // Set when this guest agreed in the handshake to pipelining: from protocol version 9 on, the
    // session then reads requests ahead while it answers earlier ones.
    void SetPipelining(bool bPipelining) { m_bPipelining = bPipelining && m_nVersion >= kFTP_versionLong; }
    bool Pipelining() const { return m_bPipelining; }
    // Where the session reports events that the host's operator should hear of (a full disk, a
    // refused replacement); nothing is reported without it.
    void SetNoticeHandler(std::function<void(const std::string&)> fnNotice) { m_fnNotice = std::move(fnNotice); }

    void Start(HConnection hConnection);
    void Stop(std::int32_t nStopValue);
    void PostStopMessage(std::int32_t nValue);

    int GetState() const { return m_nState; }
    void SetState(int nState) { m_nState = nState; }
    std::uint16_t Version() const { return m_nVersion; }
    bool OEMNames() const { return m_bOEMNames; }
    std::uint8_t Level() const { return m_nLevel; }
    std::uint16_t SendBlockSize() const { return m_nSendBlockSize; }
    std::uint16_t GuestVersion() const { return m_nGuestVersion; }
    std::int32_t StopValue() const { return m_nStopValue; }
    bool StopPostFailed() const { return m_bStopPostFailed; }

    static std::uint32_t VantryMessageCompletion(HConnection hConnection, void* pSession, HStream hStream, std::int32_t nStatus);
    static std::uint32_t WriteOSErrCompletion(HConnection hConnection, void* pSession, HStream hStream, std::int32_t nStatus);

private:
    // What a step leaves behind.
    enum class EStep {
        Pending, // a read or a write was started: its completion goes on
        Served,  // the request being served is answered in full: on to the next
        Stop,    // the session cannot go on: ask for its stop
    };
    using Step = EStep (TVantryHostSession::*)();

    // How the bytes after a code are read.
    enum class EBody {
        Refused,     // a code that only a host sends: the session stops
        None,        // nothing follows the code
        Fixed,       // a block of nBlock bytes
        NewMessages, // the sub-code, checked before the rest is read
        Names,       // a block of nBlock bytes, the file name and the directory string
        DirString,   // a block of nBlock bytes ending in the directory string's length
        ForkData,    // a 16-bit length and that many data bytes
    };
    // What a request that needs a privilege the guest lacks is answered.
    enum class ERefusal {
        Result,      // kFTP_msgResult with nRefusal
        AbortCode,   // a lone kFTP_msgAbort
        FailUpload,  // nothing now; the data is dropped and kFTP_msgEndData answers nRefusal
    };
    struct TRequestKind {
        EBody eBody;
        std::uint16_t nBlock;
        Step pServe;
        int nPrivilegeBit; // -1: none needed
        ERefusal eRefusal;
        std::int16_t nRefusal;
        EHostOperation eOperation = EHostOperation::List;
        std::size_t nVolume = 0; // packet offset of the volume number in a request with names
    };
    static const TRequestKind s_requests[kFTP_msgCount];

    // Every completion but the message one: a failed status, a step that cannot go on, or an
    // exception from the step asks for the session's stop.
    template <Step pStep>
    static std::uint32_t Completion(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t RunStep(void* pSession, std::int32_t nStatus, Step pStep);

    // Session operations.
    EStep Read(void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion);
    EStep Write(const void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion);
    EStep WriteResult(std::int16_t nValue);
    EStep WriteCode(EFTPMessage eCode);

    // Reading requests (HostRequestReaders.cpp): the code, then the body its kind names; a
    // complete request joins the queue.
    EStep PostNextMessageRead();
    EStep Dispatch();
    EStep OnNewMessagesSubCode();
    EStep OnNamesBlockRead();
    EStep OnNameRead();
    EStep OnDirBlockRead();
    EStep ReadDirString();
    EStep OnStringsRead();
    EStep OnForkDataLengthRead();
    EStep ReadNextForkDataChunk();
    EStep OnForkDataChunkRead();
    EStep OnBodyRead();
    EStep RequestComplete();
    const TRequestKind& IncomingKind() const;

    // Serving the queue (HostDispatcher.cpp): one request at a time, in arrival order.
    EStep Pump();
    bool MayReadAhead() const;
    EStep ServeRequest();
    EStep Refuse(const TRequestKind& kind);
    EStep OnReplyDone();
    const std::uint8_t* Block() const { return m_request.body.data(); }
    const char* Name() const { return reinterpret_cast<const char*>(m_request.body.data() + m_request.nNameOffset); }
    const char* Dir() const { return reinterpret_cast<const char*>(m_request.body.data() + m_request.nDirOffset); }

    // Serve steps, by code.
    EStep ServeNoOp();
    EStep ServeNewMessages();
    EStep ServeVersion();
    EStep ServeDataMsgLen();
    EStep ServeAbort();
    EStep ServeListVols();
    EStep OnVolumesWritten();
    EStep ServeListFiles();
    EStep WriteDriveNotReady();
    EStep OnDriveNotReadyWritten();
    EStep ListFiles3();
    EStep SendEntryOrNext();
    EStep ServeGetInfo();
    EStep ServeReqFork();
    EStep SendBlock();
    EStep EndFork();
    EStep ServeCreate();
    EStep ServeOpenFork();
    EStep ServeForkData();
    EStep ServeEndData();
    EStep ServeSetInfo();
    EStep ServeRemove();
    EStep ServeMakeFolder();

    // Uploads (HostReceiveFork.cpp).
    // Gives the received file its name (and, in OEM-name mode, its type's extension); returns
    // what kFTP_msgEndData answers.
    std::int16_t CompleteUpload();
    // An upload that cannot go on: its data so far is discarded, the rest is read and dropped,
    // and its kFTP_msgEndData answers nResult.
    void FailUpload(std::int16_t nResult, const std::string& strWhy);
    // Ends the upload under way (an abort, a stop, or a request that ends it before its end of
    // data): its temporary and the empty file created for it go.
    void DiscardIncomingFile();
    // True when an upload may end by taking the name strPath: nothing is there, it is an empty
    // file this session created, or the guest may remove.
    bool MayReplace(const std::string& strPath);
    // In a pipelined session a request read ahead may only write to a file this session created
    // (so may one naming such a file): the guest sent it before it could know what is there.
    bool OnlyOurOwnFile(const std::string& strPath);
    void Notice(const std::string& strText) const;

    // The host application's record of what was done for the guest, or refused.
    void Report(const THostOperation& operation) const { m_pTable->ReportOperation(m_hConnection, operation); }
    // Records how the upload under way ended before its time.
    void ReportUploadEnd(EHostOutcome eOutcome, std::string_view strCause, std::int16_t nResult = 0);
    // The request's path for a record: as the host names it where the volume is known, else as
    // the guest sent it.
    std::string RequestPath(std::size_t nVolumeOffset);
    static constexpr std::string_view kCauseNoPath = "no such volume, or the path is too long";
    static constexpr std::string_view kCauseGuestStopped = "stopped by the guest";
    static constexpr std::string_view kCauseNoReplace = "no remove privilege to replace an existing file";
    static constexpr std::string_view kCauseTakenMeanwhile = "the name was taken by another file meanwhile";

    // Paths: the request's volume number, directory string and name; false when the volume is
    // unknown or the path would not fit.
    bool FormPath(std::uint16_t nVolume, const char* pszDir, const char* pszName);
    std::uint16_t BlockVolume(std::size_t nPacketOffset) const;
    bool May(int nPrivilegeBit) const;

    std::int32_t m_nStopValue = 0;
    bool m_bStopPostFailed = false;
    HostServiceTable* m_pTable;
    HConnection m_hConnection = nullptr;
    HStream m_hReadStream = nullptr;
    HStream m_hWriteStream = nullptr;
    std::uint8_t* m_pReceive = nullptr;
    std::uint8_t* m_pSend = nullptr;
    bool m_bOEMNames = false;
    std::uint8_t m_nLevel = 0;
    std::uint16_t m_nReceiveLimit = 0;
    std::uint16_t m_nSendBlockSize = 0;
    char m_szPath[MAX_PATH] = {};
    std::uint16_t m_nGuestVersion = 0;
    std::uint16_t m_nVersion = 0;
    std::uint16_t m_nPrivileges = 0;
    bool m_bLargeSizes = false;
    int m_nState = kHostNew;

    // The request being read: set from its code byte until it joins the queue.
    bool m_bReading = false;
    THostRequest m_incoming;
    std::uint32_t m_nIncomingRemaining = 0; // fork data bytes still in the stream
    std::uint16_t m_nIncomingChunk = 0;     // fork data bytes in the receive buffer
    // Complete requests waiting for their turn, and the one being served. A pipelined session
    // reads ahead until the queue holds this many requests or bytes; TCP holds the rest back.
    static constexpr std::size_t kReadAheadRequests = 32;
    static constexpr std::size_t kReadAheadBytes = 256 * 1024;
    bool m_bPipelining = false;
    std::deque<THostRequest> m_queue;
    std::size_t m_nQueuedBytes = 0;
    THostRequest m_request;
    bool m_bReplying = false; // the request being served still has writes to make

    THostForkSend m_send;
    THostUpload m_upload;
    THostCreations m_creations;
    THostListing m_listing;
    // kFTP_msgSetInfo values, applied at the next kFTP_msgEndData.
    struct TStoredInfo {
        BYTE bLocked = 0;
        BYTE nAttributes = 0;
        DWORD nModTime = 0; // wire order
        DWORD nType = 0;
        DWORD nCreator = 0;
    } m_info;
    std::function<void(const std::string&)> m_fnNotice;
};

template <TVantryHostSession::Step pStep>
std::uint32_t TVantryHostSession::Completion(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunStep(pSession, nStatus, pStep);
}
