#include "Vntrgst.h"

#include "CheckedCalls.h"
#include "Exceptions.h"
#include "OVCore.h"
#include "OVGuest.h"
#include "OpenBlocks.h"
#include "PacketBuffer.h"
#include "StringTable.h"

#include <cstring>
#include <exception>
#include <set>

namespace {
constexpr char kTag[4] = {'V', 'N', 'T', 'R'};
constexpr std::size_t kHostNameLimit = 48;
constexpr std::size_t kUnknownNameLimit = 33;

TVantryGuestSession* g_pCurrentGuestSession = nullptr;

// Sessions alive in this process: a pointer is only looked at when it is one of them.
std::set<const void*>& LiveSessions()
{
    static std::set<const void*> s_sessions;
    return s_sessions;
}

TVantryWindowFactory& WindowFactory()
{
    static TVantryWindowFactory s_factory;
    return s_factory;
}
} // namespace

void SetVantryWindowFactory(TVantryWindowFactory factory) { WindowFactory() = std::move(factory); }
const TVantryWindowFactory& GetVantryWindowFactory() { return WindowFactory(); }

TVantryGuestSession* CurrentGuestSession() { return g_pCurrentGuestSession; }
void SetCurrentGuestSession(TVantryGuestSession* pSession) { g_pCurrentGuestSession = pSession; }

TVantryGuestSession::TVantryGuestSession()
{
    std::memcpy(m_tag, kTag, sizeof m_tag);
    LiveSessions().insert(this);
}

TVantryGuestSession::~TVantryGuestSession()
{
    std::memset(m_tag, 0, sizeof m_tag);
    LiveSessions().erase(this);
    try {
        m_pWindow.reset();
        ReleaseConnection();
    } catch (const std::exception&) {
        // Nothing can be reported from here; what could not be released stays with the host application.
    }
}

bool TVantryGuestSession::IsValidSession(const void* pSession)
{
    if (!pSession || LiveSessions().count(pSession) == 0)
        return false;
    return std::memcmp(static_cast<const TVantryGuestSession*>(pSession)->m_tag, kTag, sizeof kTag) == 0;
}

int TVantryGuestSession::Attach(OVGuestEntry* pEntry)
{
    try {
        m_eState = ESessionState::Attaching;
        m_pEntry = pEntry;
        pEntry->pGuestSession = Handle();
        m_pRemoteAddress = &pEntry->address;
        VCheck(OVNAPIGetPtrAddress(m_pRemoteAddress, &m_pTable) == 0 && m_pTable);
        VCheck(m_pTable->CreateStream(&m_hReadStream) == 0);
        VCheck(m_pTable->CreateStream(&m_hWriteStream) == 0);
        m_eState = ESessionState::Attached;
        return 0;
    } catch (const std::exception&) {
        if (m_pTable) {
            if (m_hReadStream)
                m_pTable->DisposeStream(m_hReadStream);
            if (m_hWriteStream)
                m_pTable->DisposeStream(m_hWriteStream);
        }
        m_hReadStream = m_hWriteStream = nullptr;
        m_eState = ESessionState::New;
        return 1;
    }
}

void TVantryGuestSession::RefreshTranslateOptions()
{
    m_nTranslateDownload = OVGetOV2TranslateCRLF(kOVTranslateDownload);
    m_nTranslateUpload = OVGetOV2TranslateCRLF(kOVTranslateUpload);
}

int TVantryGuestSession::Start()
{
    try {
        m_eState = ESessionState::Starting;
        m_hConnection = m_pEntry->hConnection;
        m_pTable->SetConnectionBuffering(m_hConnection, kConnectionBuffering, kConnectionBuffering);

        const std::uint8_t* pInfo = m_pEntry->openResponse;
        const std::uint16_t nVersion = ReadHostWord(pInfo, OpenBlock::kRespVersion);
        switch (nVersion) {
        case 5:
        case 7:
        case 9: m_nProtocolVersion = static_cast<std::int16_t>(nVersion); break;
        case 6: m_nProtocolVersion = 5; break;
        default: return 1;
        }
        RefreshTranslateOptions();

        void* pBuffer = nullptr;
        VCheck(m_pTable->GetBuffer(&pBuffer, kGuestBufferSize) == 0 && pBuffer);
        m_pReceive = static_cast<std::uint8_t*>(pBuffer);
        pBuffer = nullptr;
        VCheck(m_pTable->GetBuffer(&pBuffer, kGuestBufferSize) == 0 && pBuffer);
        m_pSend = static_cast<std::uint8_t*>(pBuffer);

        m_eState = ESessionState::Running;
        try {
            IssueCodeRead();
        } catch (const std::exception&) {
            PostStopMessage(kStopConnectionFailed);
            return 0;
        }

        const char* pszName = OVGetAddressName(m_pRemoteAddress);
        if (pszName && *pszName)
            std::strncpy(m_szHostName, pszName, kHostNameLimit - 1);
        else
            std::strncpy(m_szHostName, FixedText::kUnknownName, kUnknownNameLimit);

        const std::uint16_t nPrivileges = ReadHostWord(pInfo, OpenBlock::kRespPrivileges);
        m_bMayCopyFromRemote = (nPrivileges & PrivilegeMask(kPrivilegeBitRead)) ? 1 : 0;
        m_bMayWriteToRemote = (nPrivileges & PrivilegeMask(kPrivilegeBitWrite)) ? 1 : 0;
        m_bMayRemoveOnRemote = (nPrivileges & PrivilegeMask(kPrivilegeBitRemove)) ? 1 : 0;
        m_nPathMode = pInfo[OpenBlock::kRespPathMode];
        m_bLargeSizes = m_pEntry->bLargeSizes;
        m_bPipelining = m_pEntry->bPipelining && LongNames();

        try {
            TPacketWriter packet(m_pSend, kGuestBufferSize);
            packet.Byte(Packet::kCode, CodeByte(kFTP_msgDataMsgLen));
            packet.WordBE(Packet::Version::kValue, kGuestDataMsgLen);
            SendRequest(m_pSend, Packet::Version::kLength, &DoNothingCallBack);
            const TVantryWindowFactory& factory = GetVantryWindowFactory();
            VCheck(static_cast<bool>(factory));
            m_pWindow = factory(*this);
            VCheck(m_pWindow != nullptr);
        } catch (const std::exception&) {
            OVGuestDeleteEntry(m_pEntry);
            m_pEntry = nullptr;
            PostStopMessage(kStopConnectionFailed);
        }

        m_cHostKind = (pInfo[OpenBlock::kRespHostKind] == OpenBlock::kHostKindDesktop || m_nPathMode == 1)
                          ? static_cast<char>(OpenBlock::kHostKindDesktop)
                          : 0;
        return 0;
    } catch (const std::exception&) {
        return 1;
    }
}

void TVantryGuestSession::ReleaseConnection()
{
    if (!m_pTable)
        return;
    if (m_hConnection) {
        m_pTable->Stop(m_hConnection, 1);
        m_hConnection = nullptr;
    }
    if (m_hReadStream)
        m_pTable->DisposeStream(m_hReadStream);
    if (m_hWriteStream)
        m_pTable->DisposeStream(m_hWriteStream);
    m_hReadStream = m_hWriteStream = nullptr;
    if (m_pReceive)
        m_pTable->FreeBuffer(m_pReceive);
    if (m_pSend)
        m_pTable->FreeBuffer(m_pSend);
    m_pReceive = m_pSend = nullptr;
    m_bCodeReadPending = 0;
    m_bReplyReadPending = false;
}

void TVantryGuestSession::Close()
{
    ReleaseConnection();
    m_awaited.clear(); // nothing more is read
    if (m_eState == ESessionState::New || m_eState == ESessionState::Attaching || m_eState == ESessionState::Attached)
        return;
    if (m_nStopReason != kStopUserClosed && m_pWindow)
        m_pWindow->EndCopyOnClose();
    // A download's local file is closed, and removed when it was only partly written.
    if (m_pEngine)
        m_pEngine->CloseForStop();
    if (!m_pWindow)
        return;
    if (m_nStopReason == kStopConnectionFailed)
        m_pWindow->ReportTransfer({ETransferEventKind::SessionEnded, ETransferCause::ConnectionLost, {}, false, {}},
                                  LoadStringId(IDS_CONNECTION_LOST_CLOSING), FixedText::kApplicationTitle,
                                  MessageBoxStyle::kOk);
    else if (m_nStopReason == kStopSystemError)
        m_pWindow->ReportTransfer({ETransferEventKind::SessionEnded, ETransferCause::SystemError, {}, false, {}},
                                  LoadStringId(IDS_SYSTEM_ERROR_CLOSING), FixedText::kApplicationTitle,
                                  MessageBoxStyle::kOk);
}

void TVantryGuestSession::SendRequest(const void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion)
{
    VCheck(m_pTable && m_hConnection);
    VCheck(m_pTable->Write(m_hConnection, pBuffer, nLength, pfnCompletion, this, m_hWriteStream, kWriteFlagDefault) == 0);
}

void TVantryGuestSession::ReadReplyBytes(void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion)
{
    VCheck(m_pTable && m_hConnection && !m_bReplyReadPending);
    m_pfnReplyRead = pfnCompletion;
    m_bReplyReadPending = true;
    if (m_pTable->Read(m_hConnection, pBuffer, nLength, &ReplyReadDone, this, m_hReadStream) != 0) {
        m_bReplyReadPending = false;
        VCheck(false);
    }
}

std::uint32_t TVantryGuestSession::ReplyReadDone(HConnection hConnection, void* pSession, HStream hStream, std::int32_t nStatus)
{
    auto* pThis = static_cast<TVantryGuestSession*>(pSession);
    if (!IsValidSession(pThis))
        return 0;
    pThis->m_bReplyReadPending = false;
    return pThis->m_pfnReplyRead(hConnection, pSession, hStream, nStatus);
}

void TVantryGuestSession::IssueCodeRead()
{
    if (m_bCodeReadPending || m_bReplyReadPending)
        return;
    m_bCodeReadPending = 1;
    try {
        ReadReplyBytes(m_pReceive, 1, &ReadResultCompletion);
    } catch (const std::exception&) {
        m_bCodeReadPending = 0;
        PostStopMessage(kStopConnectionFailed);
    }
}

void TVantryGuestSession::PostStopMessage(std::int32_t nReason)
{
    if (Stopping())
        return;
    const ESessionState eFormerState = m_eState;
    m_eState = ESessionState::Stopping;
    if (m_nStopReason == 0)
        m_nStopReason = nReason;
    IOVWindow* pGuestWindow = nullptr;
    OVGetGuestWindow(&pGuestWindow);
    if (pGuestWindow && !pGuestWindow->PostMessage(kGuestStopMessage, kGuestStopWParam, Handle())) {
        m_eState = eFormerState;
        m_bStopPostFailed = 1;
    }
}
