// One connected guest, served on completion routines: reads one message at a time, runs the
// handler for its code, writes the reply, and asks the host application to stop on any failure.
#pragma once

#include "HostServiceTable.h"
#include "LFN.h"
#include "MessageCodes.h"
#include "TFile.h"
#include "WinTypes.h"

#include <cstdint>
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
    ~TVantryHostSession();
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
    using Step = bool (TVantryHostSession::*)();

    // Every completion but the message one: a failed status, a step that cannot go on, or an
    // exception from the step asks for the session's stop.
    template <Step pStep>
    static std::uint32_t Completion(HConnection, void* pSession, HStream, std::int32_t nStatus);
    static std::uint32_t RunStep(void* pSession, std::int32_t nStatus, Step pStep);

    // Session operations.
    bool Read(void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion);
    bool Write(const void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion);
    bool PostNextMessageRead();
    bool WriteResult(std::int16_t nValue);
    bool WriteCode(EFTPMessage eCode);
    bool Dispatch();

    // Requests with names: the fixed block, then the name, then the directory string.
    bool ReadNamesRequest(std::uint16_t nBlockLength, Step pFinalStage);
    bool OnNamesBlockRead();
    bool OnNameRead();
    bool OnNamesComplete();

    // Handlers, indexed by code + 124.
    bool HandleNoOp();
    bool HandleNewMessages();
    bool OnNewMessagesSubCode();
    bool OnNewMessagesTail();
    bool HandleVersion();
    bool OnVersionRead();
    bool HandleDataMsgLen();
    bool OnDataMsgLenRead();
    bool HandleMakeFolder();
    bool HandleSetInfo();
    bool HandleRemove();
    bool HandleCreate();
    bool HandleForkData();
    bool OnForkDataLengthRead();
    bool ReadNextForkDataChunk();
    bool OnForkDataChunkRead();
    bool HandleOpenFork();
    bool HandleReqFork();
    bool HandleGetInfo();
    bool HandleListFiles();
    bool OnListFilesBlockRead();
    bool OnListFilesDirRead();
    bool HandleListVols();
    bool HandleAbort();
    bool HandleEndData();
    bool Refuse();

    // Work done once a request is in (volume, folder, information, fork and file handlers).
    bool ServeListVols();
    bool OnVolumesWritten();
    bool ServeListFiles();
    bool WriteDriveNotReady();
    bool OnDriveNotReadyWritten();
    bool ListFiles3();
    bool SendEntryOrNext();
    bool ServeGetInfo();
    bool ServeReqFork();
    bool SendBlock();
    bool ServeCreate();
    bool ServeOpenFork();
    bool ServeEndData();
    bool ServeSetInfo();
    bool ServeRemove();
    bool ServeMakeFolder();
    // Called for each piece (at most one buffer) of an incoming data block, then once at its end.
    bool ServeForkDataChunk();
    bool ServeForkDataEnd();
    // Closes and removes a file that is being received (an abort, a stop, or a request that
    // ends the upload before its end of data), and the empty file that the request before it
    // created for it.
    void DiscardIncomingFile();
    // Removes the empty file that kFTP_msgCreate made for an upload that did not complete.
    static void RemoveCreatedFile(const std::string& strCreated);
    // Gives the received file its name (and, in OEM-name mode, its type's extension); returns
    // what kFTP_msgEndData answers.
    std::int16_t CompleteUpload();
    // Closes the received file: 0, or the result that a failed close answers.
    std::int16_t CloseIncomingFile();
    // An upload that cannot go on: its data so far is discarded, the rest is read and dropped,
    // and its kFTP_msgEndData answers nResult.
    void FailUpload(std::int16_t nResult, const std::string& strWhy);
    // True when an upload may end by taking the name strPath: nothing is there, it is the empty
    // file this upload created, or the guest may remove.
    bool MayReplace(const std::string& strPath, const std::string& strCreated) const;
    void Notice(const std::string& strText) const;
    // Closes a file that is being sent (a stop).
    void CloseOutgoingFile();

    // Paths: the request's volume number, directory string and name; false when the volume is
    // unknown or the path would not fit.
    bool FormPath(std::uint16_t nVolume, const char* pszDir, const char* pszName);
    std::uint16_t BlockVolume(std::size_t nPacketOffset) const;
    bool MayRead() const;
    bool MayWrite() const;
    bool MayRemove() const;

    static const Step s_handlers[kFTP_msgCount];

    std::int32_t m_nStopValue = 0;
    bool m_bStopPostFailed = false;
    HostServiceTable* m_pTable;
    HConnection m_hConnection = nullptr;
    HStream m_hReadStream = nullptr;
    HStream m_hWriteStream = nullptr;
    std::uint8_t* m_pReceive = nullptr;
    std::uint8_t* m_pSend = nullptr;
    char* m_pszName = nullptr;
    char* m_pszDir = nullptr;
    bool m_bAbort = false;
    bool m_bSending = false;
    bool m_bReceiving = false;
    std::uint16_t m_nIncomingLength = 0;    // bytes of the current piece in the receive buffer
    std::uint32_t m_nIncomingRemaining = 0; // bytes of the data block still in the stream
    std::int32_t m_nCode = 0;
    bool m_bOEMNames = false;
    std::uint8_t m_nLevel = 0;
    std::uint16_t m_nReceiveLimit = 0;
    std::uint16_t m_nSendBlockSize = 0;
    char m_szPath[MAX_PATH] = {};
    std::uint16_t m_nNamesBlockLength = 0;
    Step m_pFinalStage = nullptr;
    std::uint16_t m_nGuestVersion = 0;
    std::uint16_t m_nNewMessagesLength = 0;
    std::uint16_t m_nVersion = 0;
    std::uint16_t m_nPrivileges = 0;
    bool m_bLargeSizes = false;
    int m_nState = kHostNew;

    TFile m_file;
    // kFTP_msgSetInfo values, applied at the next kFTP_msgEndData.
    BYTE m_bStoredLocked = 0;
    BYTE m_nStoredAttributes = 0;
    DWORD m_nStoredModTime = 0; // wire order
    DWORD m_nStoredType = 0;
    DWORD m_nStoredCreator = 0;
    // The listing under way.
    WIN32_FIND_DATA m_findData;
    LFN_HANDLE m_hFind = 0;
    char m_szPattern[MAX_PATH] = {};
    // An upload: its data goes into a temporary file that takes the final name at kFTP_msgEndData.
    std::string m_strUploadToken;
    std::string m_strUploadPath;     // the name the upload takes at kFTP_msgEndData
    // What kFTP_msgEndData answers for an upload that could not be taken (256 refused or cut
    // short, -34 the disk is full); 0 when none failed.
    std::int16_t m_nUploadFailure = 0;
    std::string m_strCreatedPath;    // the empty file the last kFTP_msgCreate made, until its upload ends
    std::string m_strCreatedName;
    std::function<void(const std::string&)> m_fnNotice;
};

template <TVantryHostSession::Step pStep>
std::uint32_t TVantryHostSession::Completion(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunStep(pSession, nStatus, pStep);
}
