// The guest's end of a connection, as the host application offers it to the module's guest
// session (installed with OVSetGuestHost).
//
// Use from a front end, on the thread of a QCoreApplication:
//
//     TGuestHostApp hostApp([](void* hSession) { CloseGuestServiceSession(hSession); });
//     OVSetGuestHost(&hostApp);
//     TGuestTarget target;                 // where to connect
//     target.strHost = "127.0.0.1";        // TCP: strHost and nPort
//     target.command = {...};              // or: run a command and talk over its stdin/stdout,
//                                          // e.g. {"ssh", "host", "vantry", "serve", "--stdio"}
//     target.strPassword = "...";          // given when the host asks for one
//     OVGuestConnectionRequest request{TGuestHostApp::Handle(target)};
//     if (OpenGuestServiceSession(&request) != 0) { report hostApp.LastError() }
//     ... run the event loop; the session's stop request reaches fnStopRequested from the loop.
//
// Connecting (SetupConnection) blocks for at most the target's timeout: it opens the transport,
// builds the open request (the module's SetupV7Request, then the block length 176, the level
// byte 34 and the platform byte 1), runs the handshake and fills the entry's open response,
// connection and address name. Over TCP the handshake runs TLS and checks the host's
// certificate against the one pinned for its host and port (KnownHosts.h), before anything of
// the guest's is sent; the password proof is bound to the TLS session. After that every read and write of the session goes through
// the event loop (TLoopServiceTable), with its completions delivered from the loop.
#pragma once

#include "GuestEntry.h"
#include "Handshake.h"
#include "LoopServiceTable.h"
#include "LoopWindow.h"
#include "OVGuest.h"
#include "ServeConfig.h"
#include "TlsContext.h"

#include <QTimer>

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCommandErrors;
class TConnection;

// A guest's request to reach a host; its address is the host handle of the connection request.
struct TGuestTarget {
    std::string strHost;                 // name or address for TCP; also the name shown for the host
    std::uint16_t nPort = kDefaultServePort;
    std::vector<std::string> command;    // not empty: run it and talk over its standard input/output
    std::string strPassword;
    std::string strUserName;             // empty: the login name
    OVConnectionOptions options;         // wProtocolSelector 8 asks for version 7
    bool bTranslateDownload = false;     // line-end options of the guest's command
    bool bTranslateUpload = false;
    int nTimeoutMs = 15000;              // connecting and the handshake together
    bool bPlain = false;                 // TCP without TLS (the host must serve so too)
    std::string strKnownHostsFile;       // where host certificates are pinned; empty: nowhere
    std::string strFingerprint;          // not empty: the host must show this certificate
    bool bAcceptNewHost = false;         // pin the certificate of a host not yet known
    // Asked about a host not yet known ("HOST:PORT", its fingerprint); true pins it. The
    // connection is then made again, as the answer may have taken longer than the host waits.
    std::function<bool(const std::string& strHost, const std::string& strFingerprint)> fnAskNewHost;
    // The command's standard error is kept and shown in the error when the connection cannot be
    // made (a window has no terminal), and passed on to ours once it stands.
    bool bKeepCommandErrors = false;
    std::uint16_t nCapabilities = Handshake::kFlagLargeSizes | Handshake::kFlagPipelining; // capability flags this guest speaks
    // A connection without a byte either way this long sends a kFTP_msgNoOp, so that a host's
    // idle timeout never ends a session that only waits for its user.
    int nKeepAliveMs = 5 * 60 * 1000;
};

class TGuestHostApp : public IOVGuestHost {
public:
    // After one connection attempt: done (connected or failed), or to be made once more.
    enum class EAttempt { Done, Again };

    // fnStopRequested runs from the loop when the guest session asks to be closed; it is given
    // the session handle that the request carried.
    explicit TGuestHostApp(std::function<void(void* hSession)> fnStopRequested);
    ~TGuestHostApp() override;
    TGuestHostApp(const TGuestHostApp&) = delete;
    TGuestHostApp& operator=(const TGuestHostApp&) = delete;

    static std::uintptr_t Handle(TGuestTarget& target) { return reinterpret_cast<std::uintptr_t>(&target); }
    // Why the last SetupConnection failed, for the user.
    const std::string& LastError() const { return m_strLastError; }
    HostServiceTable* Table() { return &m_table; }
    // Holds (or releases) the deliveries of every session's connection: a window's modal dialog
    // asks so that its session does not act on its replies underneath the open dialog.
    void HoldDeliveries(bool bHold);
    // Completions that have arrived and wait for a hold to be released.
    std::size_t WaitingDeliveries() const;
    // What the handshake of the entry's connection agreed; null before it has run.
    const Handshake::TNegotiated* Negotiated(const OVGuestEntry* pEntry) const;

    OVGuestEntry* AllocateEntry(std::uintptr_t hHost, int nKind) override;
    int SetupConnection(OVGuestEntry* pEntry, std::uintptr_t, std::uintptr_t, std::uintptr_t) override;
    void CloseConnection(OVGuestEntry* pEntry) override;
    void DeleteEntry(OVGuestEntry* pEntry) override;
    int GetPtrAddress(const OVAddressRecord* pAddress, HostServiceTable** ppTable) override;
    const char* GetAddressName(const OVAddressRecord* pAddress) override;
    IOVWindow* GetGuestWindow() override { return &m_window; }
    std::uint32_t GetTranslateCRLF(EOVTranslateDirection eDirection) override;

private:
    struct TEntryState {
        TGuestTarget* pTarget = nullptr;
        pid_t nChild = -1; // the command of a command transport
        std::unique_ptr<TCommandErrors> pCommandErrors;
        std::unique_ptr<QTimer> pKeepAlive;
        std::optional<Handshake::TNegotiated> negotiated;
    };

    int Fail(int nStatus, const std::string& strWhy);
    static std::unique_ptr<QTimer> KeepAlive(TConnection* pConnection, int nIntervalMs);
    // One connection and handshake; Again when it should be made once more.
    int Connect(OVGuestEntry* pEntry, TEntryState& state, EAttempt& eNext);

    TLoopServiceTable m_table;
    TLoopWindow m_window;
    std::map<OVGuestEntry*, TEntryState> m_entries;
    std::string m_strLastError;
    TGuestTarget* m_pLastTarget = nullptr;
    TSslContext m_pTlsContext;
};
