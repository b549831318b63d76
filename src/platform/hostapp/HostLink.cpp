#include "HostLink.h"

#include "AuditRecord.h"
#include "Connection.h"
#include "LoginThrottle.h"
#include "LoopServiceTable.h"
#include "OpenBlocks.h"
#include "ServeLog.h"
#include "ServiceExports.h"
#include "TlsContext.h"
#include "VantryHostSession.h"

#include <cstring>

namespace {
// A refused proof is answered after this long when no throttle paces the refusals.
constexpr int kRefusalDelayMs = 1000;
// How often a login that waits looks whether its guest is still there.
constexpr int kLeaveCheckMs = 250;
// Byte 6 of the open response: 1 tells the guest that this host names folders by directory string.
constexpr std::size_t kRespPathMode = 6;
constexpr std::uint8_t kPathModeByString = 1;
} // namespace

THostLink::THostLink(TConnection* pConnection, const THostLinkSettings& settings)
    : m_pConnection(pConnection), m_settings(settings)
{
    QObject::connect(&m_leaveCheck, &QTimer::timeout, m_pConnection, [this] {
        if (!m_pConnection->PeerClosed())
            return;
        m_leaveCheck.stop();
        m_refusalDelay.stop();
        Fail("left before its login was answered");
    });
}

THostLink::~THostLink()
{
    if (m_turnDelay.isActive() && m_settings.pThrottle)
        m_settings.pThrottle->Abandoned(TLoginThrottle::SourceAddress(m_pConnection->Peer()));
    if (m_pSession)
        EndSession(0);
    m_pConnection->SetOnClosed(nullptr);
    m_pConnection->Abort();
    // Deleted from the loop: this may run inside one of the connection's own callbacks.
    m_pConnection->deleteLater();
}

std::string THostLink::Who() const
{
    return m_pConnection->Peer() + (m_strUser.empty() ? std::string() : " user '" + LogSafe(m_strUser) + "'");
}

void THostLink::Audit(const THostOperation& operation) const
{
    const std::string strRecord = OperationRecord(operation, {m_pConnection->Peer(), m_strUser, m_settings.nSession});
    ServeLog(strRecord, operation.eOutcome == EHostOutcome::Done ? ELogLevel::Info : ELogLevel::Warning);
}

void THostLink::Begin()
{
    m_nonce = Handshake::NewNonce();
    Handshake::TGreeting greeting;
    greeting.nFlags = m_settings.nCapabilities & Handshake::kCapabilityFlags;
    if (!m_settings.strPassword.empty())
        greeting.nFlags |= Handshake::kFlagPasswordRequired;
    if (m_settings.pTlsContext)
        greeting.nFlags |= Handshake::kFlagTlsFollows;
    m_negotiated.nHostFlags = greeting.nFlags;
    const Handshake::TBytes bytes = Handshake::EncodeGreeting(greeting);
    m_pConnection->Write(bytes.data(), bytes.size(), [](std::int32_t) {});
    if (m_settings.pTlsContext) {
        SSL* pTls = SSL_new(m_settings.pTlsContext);
        if (!pTls)
            return Fail("cannot start TLS: " + TlsErrorText());
        SSL_set_accept_state(pTls);
        m_pConnection->StartTls(pTls);
        m_negotiated.bTls = true;
    }
    m_pConnection->Write(m_nonce.data(), m_nonce.size(), [](std::int32_t) {});
    m_timeout.setSingleShot(true);
    QObject::connect(&m_timeout, &QTimer::timeout, m_pConnection, [this] {
        if (!m_bDecided)
            Fail("handshake timed out");
    });
    m_timeout.start(m_settings.nHandshakeTimeoutMs);
    m_pConnection->Read(m_header, sizeof m_header, [this](std::int32_t nStatus) { OnGuestHeader(nStatus); });
}

void THostLink::FailClosed()
{
    const std::string& strWhy = m_pConnection->FailureText();
    Fail("closed during the handshake" + (strWhy.empty() ? std::string() : " (" + strWhy + ")"));
}

void THostLink::OnGuestHeader(std::int32_t nStatus)
{
    if (nStatus != 0)
        return FailClosed();
    m_negotiated.nGuestFlags = Handshake::NetWord(m_header);
    const std::uint16_t nLength = Handshake::NetWord(m_header + 2);
    if (nLength < 1 || nLength > Handshake::kMaxRequest)
        return Fail("bad open request length " + std::to_string(nLength));
    m_request.resize(nLength);
    m_pConnection->Read(m_request.data(), nLength, [this](std::int32_t n) { OnRequest(n); });
}

void THostLink::OnRequest(std::int32_t nStatus)
{
    if (nStatus != 0)
        return FailClosed();
    m_pConnection->Read(m_header, 1, [this](std::int32_t n) { OnNameLength(n); });
}

void THostLink::OnNameLength(std::int32_t nStatus)
{
    if (nStatus != 0)
        return FailClosed();
    if (m_header[0] > Handshake::kMaxUserName)
        return Fail("user name too long");
    m_nameAndProof.resize(m_header[0] + Handshake::kProofSize);
    m_pConnection->Read(m_nameAndProof.data(), m_nameAndProof.size(), [this](std::int32_t n) { OnNameAndProof(n); });
}

void THostLink::OnNameAndProof(std::int32_t nStatus)
{
    if (nStatus != 0)
        return FailClosed();
    const std::size_t nNameLength = m_nameAndProof.size() - Handshake::kProofSize;
    m_strUser.assign(reinterpret_cast<const char*>(m_nameAndProof.data()), nNameLength);
    Decide();
}

void THostLink::Decide()
{
    m_bDecided = true;
    m_timeout.stop();
    if (m_settings.strPassword.empty() || !m_settings.pThrottle)
        return CheckProof();
    const auto now = TLoginThrottle::TClock::now();
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        m_settings.pThrottle->CheckTime(TLoginThrottle::SourceAddress(m_pConnection->Peer()), now) - now);
    if (wait.count() <= 0)
        return CheckProof();
    ServeLog(Who() + ": login held for " + std::to_string(wait.count()) + " ms: its address keeps failing");
    m_turnDelay.setSingleShot(true);
    QObject::connect(&m_turnDelay, &QTimer::timeout, m_pConnection, [this] { CheckProof(); });
    m_turnDelay.start(static_cast<int>(wait.count()));
    WatchForLeaving();
}

// A login held for its turn or its refusal may wait long; a guest that leaves meanwhile is let
// go at once, or its connection would be kept for the whole wait.
void THostLink::WatchForLeaving()
{
    if (!m_leaveCheck.isActive())
        m_leaveCheck.start(kLeaveCheckMs);
}

void THostLink::CheckProof()
{
    m_leaveCheck.stop();
    const std::string strAddress = TLoginThrottle::SourceAddress(m_pConnection->Peer());
    if (!m_settings.strPassword.empty()) {
        Handshake::TProof proof;
        std::memcpy(proof.data(), m_nameAndProof.data() + m_strUser.size(), proof.size());
        Handshake::TBytes binding;
        if (m_pConnection->Tls() && (binding = ExportBinding(m_pConnection->Tls())).empty())
            return Fail("cannot export keying material from the TLS session");
        const Handshake::TProof expected =
            Handshake::ComputeProof(m_settings.strPassword, m_nonce, m_negotiated.nGuestFlags, m_request, binding);
        if (!Handshake::ProofsEqual(proof, expected)) {
            // The refusal is answered late, so that passwords cannot be tried quickly.
            int nDelayMs = kRefusalDelayMs;
            if (m_settings.pThrottle) {
                const auto now = TLoginThrottle::TClock::now();
                nDelayMs = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(
                                                m_settings.pThrottle->Refused(strAddress, now) - now).count());
            }
            const unsigned nFailures = m_settings.pThrottle ? m_settings.pThrottle->Failures(strAddress) : 1;
            ServeLog(TAuditRecord("login")
                         .Add("outcome", "refused")
                         .Add("guest", m_pConnection->Peer())
                         .Add("user", m_strUser)
                         .Add("cause", "wrong password")
                         .Add("failures", std::uint64_t{nFailures})
                         .Add("answered_ms", std::int64_t{nDelayMs})
                         .Text(),
                     ELogLevel::Warning);
            m_refusalDelay.setSingleShot(true);
            QObject::connect(&m_refusalDelay, &QTimer::timeout, m_pConnection, [this] {
                Answer(Handshake::kAuthenticationRefused, nullptr, 0);
                m_pConnection->Stop();
            });
            m_refusalDelay.start(nDelayMs);
            WatchForLeaving();
            return;
        }
        if (m_settings.pThrottle)
            m_settings.pThrottle->Accepted(strAddress);
    }
    OpenSession();
}

void THostLink::OpenSession()
{
    // The module reads a full-size block; what the guest did not send reads as zeros.
    std::uint8_t request[kOpenBlockMax] = {};
    std::memcpy(request, m_request.data(), m_request.size());
    std::uint8_t response[kOpenBlockMax] = {};
    // The session takes the granted privileges from the response before it fills the rest.
    WriteHostWord(response, OpenBlock::kRespPrivileges, m_settings.nPrivileges);
    TVantryHostSession* pSession = nullptr;
    std::uint16_t nResponseLength = 0;
    std::int16_t nStatus = InitHostSession(m_settings.pTable, request, response, &pSession, &nResponseLength);
    if (nStatus == 0 && StartHostSession(m_pConnection, 0, pSession) != 0) {
        Answer(kInitFailed, nullptr, 0);
        StopHostSession(pSession, 0); // stops the connection after the answer has gone out
        ServeLog(Who() + ": refused: the session could not be started", ELogLevel::Warning);
        return;
    }
    if (nStatus != 0) {
        ServeLog(Who() + ": refused: " +
                 (nStatus == kInitVersionRefused
                      ? "protocol version " + std::to_string(RequestedProtocolVersion(request)) + " not supported"
                      : "the session could not be set up (" + std::to_string(nStatus) + ")"),
                 ELogLevel::Warning);
        Answer(nStatus, nullptr, 0);
        m_pConnection->Stop();
        return;
    }
    m_pSession = pSession;
    pSession->SetLargeSizes(m_negotiated.Agreed(Handshake::kFlagLargeSizes));
    pSession->SetPipelining(m_negotiated.Agreed(Handshake::kFlagPipelining));
    m_started = std::chrono::steady_clock::now();
    response[kRespPathMode] = kPathModeByString;
    Handshake::ResponseToWire(response);
    Answer(Handshake::kAccepted, response, nResponseLength);
    ServeLog(Who() + ": accepted, protocol version " + std::to_string(pSession->Version()) +
             (m_negotiated.bTls ? ", TLS" : ", in the clear") + ", session " + std::to_string(m_settings.nSession));
    pSession->SetNoticeHandler([this](const std::string& strText) { ServeLog(Who() + ": " + strText); });
    WatchIdle();
}

// A guest that neither sends nor receives a byte for the idle time is gone or forgotten; its
// session is ended. Checked a few times per idle time, so it acts within a quarter of it late.
void THostLink::WatchIdle()
{
    if (m_settings.nIdleTimeoutSeconds <= 0)
        return;
    const auto idleTime = std::chrono::seconds(m_settings.nIdleTimeoutSeconds);
    m_nLastTraffic = m_pConnection->Traffic();
    m_lastTrafficChange = std::chrono::steady_clock::now();
    QObject::connect(&m_idleCheck, &QTimer::timeout, m_pConnection, [this, idleTime] {
        const auto now = std::chrono::steady_clock::now();
        if (m_pConnection->Traffic() != m_nLastTraffic) {
            m_nLastTraffic = m_pConnection->Traffic();
            m_lastTrafficChange = now;
        } else if (now - m_lastTrafficChange >= idleTime && m_pSession) {
            m_idleCheck.stop();
            ServeLog(Who() + ": idle for " + std::to_string(idleTime.count()) + " s: closing the connection");
            EndSession(0);
        }
    });
    m_idleCheck.start(std::chrono::duration_cast<std::chrono::milliseconds>(idleTime / 4));
}

void THostLink::Answer(std::int16_t nStatus, const std::uint8_t* pResponse, std::size_t nLength)
{
    Handshake::TAnswer answer{nStatus, Handshake::TBytes(pResponse, pResponse + nLength)};
    const Handshake::TBytes bytes = Handshake::EncodeAnswer(answer);
    m_pConnection->Write(bytes.data(), bytes.size(), [](std::int32_t) {});
}

void THostLink::Fail(const std::string& strWhy)
{
    m_bDecided = true;
    m_timeout.stop();
    ServeLog(Who() + ": " + strWhy, ELogLevel::Warning);
    m_pConnection->Abort();
}

void THostLink::EndSession(std::int32_t nStopValue)
{
    TVantryHostSession* pSession = m_pSession;
    if (!pSession)
        return;
    m_pSession = nullptr;
    StopHostSession(pSession, nStopValue);
    m_pConnection->Stop(); // in case the session had not reached its connection
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - m_started);
    ServeLog(Who() + ": session ended after " + std::to_string(seconds.count()) + " s");
}
