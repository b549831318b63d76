// One guest of `vantry serve`: the handshake on a fresh connection, then the module's host
// session on it until the session ends.
#pragma once

#include "Handshake.h"
#include "HostOperation.h"

#include <QTimer>

#include <chrono>
#include <cstdint>
#include <string>

class TConnection;
class TLoginThrottle;
class TLoopServiceTable;
class TVantryHostSession;
struct ssl_ctx_st;

struct THostLinkSettings {
    TLoopServiceTable* pTable = nullptr;
    std::string strPassword; // empty: no password is asked for
    std::uint16_t nPrivileges = 0;
    int nHandshakeTimeoutMs = 5000;
    ssl_ctx_st* pTlsContext = nullptr; // null: the connection stays in the clear
    std::uint16_t nCapabilities = Handshake::kFlagLargeSizes | Handshake::kFlagPipelining; // the capability flags this host announces
    TLoginThrottle* pThrottle = nullptr; // null: each refusal waits the first delay alone
    int nIdleTimeoutSeconds = 0;         // a session without traffic this long is ended; 0 never
    unsigned nSession = 0;               // names the session in the log's lines
};

class THostLink {
public:
    // Takes the connection (deleted with the link). The owner learns from the connection's
    // closed notice when the link can go.
    THostLink(TConnection* pConnection, const THostLinkSettings& settings);
    ~THostLink();
    THostLink(const THostLink&) = delete;
    THostLink& operator=(const THostLink&) = delete;

    // Sends the greeting (and starts TLS) and the nonce, and reads the guest's hello.
    void Begin();
    TVantryHostSession* Session() const { return m_pSession; }
    const TConnection* Connection() const { return m_pConnection; }
    // Writes the audit record of an operation that the session reported.
    void Audit(const THostOperation& operation) const;
    // What the handshake agreed; complete once the guest's hello has been read.
    const Handshake::TNegotiated& Negotiated() const { return m_negotiated; }
    // Stops the module's session (the answer to its stop request, or a shutdown).
    void EndSession(std::int32_t nStopValue);

private:
    void OnGuestHeader(std::int32_t nStatus);
    void OnRequest(std::int32_t nStatus);
    void OnNameLength(std::int32_t nStatus);
    void OnNameAndProof(std::int32_t nStatus);
    void Decide();
    void CheckProof();
    void OpenSession();
    void WatchIdle();
    void WatchForLeaving();
    void Answer(std::int16_t nStatus, const std::uint8_t* pResponse, std::size_t nLength);
    void Fail(const std::string& strWhy);
    void FailClosed();
    std::string Who() const;

    TConnection* m_pConnection;
    THostLinkSettings m_settings;
    Handshake::TNonce m_nonce{};
    QTimer m_timeout;
    QTimer m_refusalDelay;
    QTimer m_turnDelay; // a login of an address that keeps failing waits for its turn
    QTimer m_idleCheck;
    QTimer m_leaveCheck;
    std::uint64_t m_nLastTraffic = 0;
    std::chrono::steady_clock::time_point m_lastTrafficChange;
    bool m_bDecided = false;
    std::uint8_t m_header[Handshake::kGuestHeader] = {};
    Handshake::TNegotiated m_negotiated;
    Handshake::TBytes m_request;
    Handshake::TBytes m_nameAndProof;
    std::string m_strUser;
    TVantryHostSession* m_pSession = nullptr;
    std::chrono::steady_clock::time_point m_started;
};
