#include "GuestConnection.h"

#include "BlockingChannel.h"
#include "CommandErrors.h"
#include "Connection.h"
#include "Handshake.h"
#include "MessageCodes.h"
#include "KnownHosts.h"
#include "OpenBlocks.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
using TClock = std::chrono::steady_clock;
// How long a connection command that failed may take to say why.
constexpr auto kCommandLastWords = std::chrono::seconds(2);

// The platform byte of the open request: 1 names files in the ANSI set (0 would be OEM names).
constexpr std::uint8_t kPlatformAnsi = 1;
// What an upload gathers before it sends: the size of the file layer's reads.
constexpr std::size_t kGuestSendBatch = 256 * 1024;

struct TTransport {
    int nReadFd = -1;
    int nWriteFd = -1;
    pid_t nChild = -1;
    std::string strPeer;
    std::unique_ptr<TCommandErrors> pErrors; // the command's standard error, when kept
};

int MillisecondsLeft(TClock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

bool WaitFor(int nFd, short nEvents, TClock::time_point deadline)
{
    for (;;) {
        pollfd pfd{nFd, nEvents, 0};
        const int n = ::poll(&pfd, 1, MillisecondsLeft(deadline));
        if (n > 0)
            return true;
        if (n == 0 || errno != EINTR)
            return false;
    }
}

int OpenTcp(const TGuestTarget& target, TClock::time_point deadline, std::string& strError)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* pList = nullptr;
    const std::string strPort = std::to_string(target.nPort);
    if (const int nError = getaddrinfo(target.strHost.c_str(), strPort.c_str(), &hints, &pList); nError != 0) {
        strError = "cannot find host " + target.strHost + ": " + gai_strerror(nError);
        return -1;
    }
    int nFd = -1;
    strError = "cannot connect to " + target.strHost + ":" + strPort;
    for (addrinfo* p = pList; p && nFd < 0; p = p->ai_next) {
        nFd = ::socket(p->ai_family, p->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, p->ai_protocol);
        if (nFd < 0)
            continue;
        int nError = 0;
        socklen_t nSize = sizeof nError;
        const bool bConnected =
            ::connect(nFd, p->ai_addr, p->ai_addrlen) == 0 ||
            (errno == EINPROGRESS && WaitFor(nFd, POLLOUT, deadline) &&
             getsockopt(nFd, SOL_SOCKET, SO_ERROR, &nError, &nSize) == 0 && nError == 0);
        if (!bConnected) {
            strError += std::string(": ") + std::strerror(nError ? nError : errno ? errno : ETIMEDOUT);
            ::close(nFd);
            nFd = -1;
        }
    }
    freeaddrinfo(pList);
    return nFd;
}

bool OpenCommand(const TGuestTarget& target, TTransport& transport, std::string& strError)
{
    int toChild[2];
    int fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0)
        return false;
    if (::pipe2(fromChild, O_CLOEXEC) != 0) {
        ::close(toChild[0]);
        ::close(toChild[1]);
        return false;
    }
    int errors[2] = {-1, -1};
    if (target.bKeepCommandErrors && ::pipe2(errors, O_CLOEXEC) != 0)
        errors[0] = errors[1] = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
    if (errors[1] >= 0)
        posix_spawn_file_actions_adddup2(&actions, errors[1], STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& strArg : target.command)
        argv.push_back(const_cast<char*>(strArg.c_str()));
    argv.push_back(nullptr);
    const int nError = posix_spawnp(&transport.nChild, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toChild[0]);
    ::close(fromChild[1]);
    if (errors[1] >= 0) {
        ::close(errors[1]);
        fcntl(errors[0], F_SETFL, O_NONBLOCK);
        transport.pErrors = std::make_unique<TCommandErrors>(errors[0]);
    }
    if (nError != 0) {
        transport.pErrors.reset();
        ::close(toChild[1]);
        ::close(fromChild[0]);
        transport.nChild = -1;
        strError = "cannot run " + target.command[0] + ": " + std::strerror(nError);
        return false;
    }
    transport.nReadFd = fromChild[0];
    transport.nWriteFd = toChild[1];
    fcntl(transport.nReadFd, F_SETFL, O_NONBLOCK);
    fcntl(transport.nWriteFd, F_SETFL, O_NONBLOCK);
    transport.strPeer = target.command[0];
    return true;
}

void Reap(pid_t nChild)
{
    if (nChild <= 0)
        return;
    if (::waitpid(nChild, nullptr, WNOHANG) == 0) {
        ::kill(nChild, SIGTERM);
        ::waitpid(nChild, nullptr, 0);
    }
}

void CloseTransport(TTransport& transport)
{
    if (transport.nReadFd >= 0)
        ::close(transport.nReadFd);
    if (transport.nWriteFd >= 0 && transport.nWriteFd != transport.nReadFd)
        ::close(transport.nWriteFd);
    transport.nReadFd = transport.nWriteFd = -1;
    Reap(transport.nChild);
    transport.nChild = -1;
}

// Empty when the host's certificate may be trusted; else why not, for the user. eNext becomes
// Again when the user has just accepted a new host.
std::string CheckHostCertificate(const TGuestTarget& target, const std::string& strHostKey,
                                 const std::string& strFingerprint, TGuestHostApp::EAttempt& eNext)
{
    if (strFingerprint.empty())
        return "the host " + strHostKey + " showed no certificate";
    if (!target.strFingerprint.empty()) {
        if (target.strFingerprint == strFingerprint)
            return {};
        return "the host " + strHostKey + " shows the certificate " + strFingerprint +
               ", not the one given with --fingerprint (" + target.strFingerprint + ")";
    }
    const TKnownHost known = LookUpKnownHost(target.strKnownHostsFile, strHostKey, strFingerprint);
    if (known.eState == TKnownHost::EState::Matches)
        return {};
    if (known.eState == TKnownHost::EState::Changed) {
        return "THE CERTIFICATE OF " + strHostKey + " HAS CHANGED.\n"
               "  pinned:  " + known.strPinned + " (" + target.strKnownHostsFile + ", line " +
               std::to_string(known.nLine) + ")\n"
               "  offered: " + strFingerprint + "\n"
               "Someone may be intercepting the connection, or the host has a new key. If the host's\n"
               "administrator confirms the new fingerprint, remove this line from " + target.strKnownHostsFile + ":\n"
               "  " + strHostKey + " " + known.strPinned;
    }
    bool bAsked = false;
    if (!target.bAcceptNewHost) {
        if (!target.fnAskNewHost)
            return "the host " + strHostKey + " is not known yet; its certificate is " + strFingerprint +
                   ". Compare it with the fingerprint that `vantry serve` printed at start, then connect "
                   "with --accept-new-host or --fingerprint " + strFingerprint;
        if (!target.fnAskNewHost(strHostKey, strFingerprint))
            return "the host " + strHostKey + " was not accepted";
        bAsked = true;
    }
    if (target.strKnownHostsFile.empty())
        return {};
    if (std::string strError = AddKnownHost(target.strKnownHostsFile, strHostKey, strFingerprint); !strError.empty())
        return strError;
    if (bAsked)
        eNext = TGuestHostApp::EAttempt::Again;
    return {};
}

std::string RefusalText(std::int16_t nStatus)
{
    switch (nStatus) {
    case Handshake::kAuthenticationRefused: return "the host refused the password";
    case -12001: return "the host does not speak a protocol version this guest offers";
    case -108: return "the host could not set up a session";
    default: return "the host refused the connection (status " + std::to_string(nStatus) + ")";
    }
}
} // namespace

TGuestHostApp::TGuestHostApp(std::function<void(void*)> fnStopRequested)
    : m_window([fnStopRequested = std::move(fnStopRequested)](std::uint32_t, std::uintptr_t, void* lParam) {
          if (fnStopRequested)
              fnStopRequested(lParam);
      })
{
    // A host that goes away must fail a write, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
}

TGuestHostApp::~TGuestHostApp()
{
    for (auto& [pEntry, state] : m_entries) {
        if (auto* pConnection = static_cast<TConnection*>(pEntry->hConnection)) {
            pConnection->Abort();
            delete pConnection;
            pEntry->hConnection = nullptr;
        }
        Reap(state.nChild);
        // The session closes its connection but leaves the entry to us.
        delete pEntry;
    }
}

int TGuestHostApp::Fail(int nStatus, const std::string& strWhy)
{
    m_strLastError = strWhy;
    return nStatus;
}

OVGuestEntry* TGuestHostApp::AllocateEntry(std::uintptr_t hHost, int nKind)
{
    auto* pTarget = reinterpret_cast<TGuestTarget*>(hHost);
    if (!pTarget || nKind != kOVGuestEntryKindFileTransfer)
        return nullptr;
    auto* pEntry = new OVGuestEntry;
    pEntry->pOptions = &pTarget->options;
    std::strncpy(pEntry->address.szName, pTarget->strHost.c_str(), sizeof pEntry->address.szName - 1);
    m_entries[pEntry].pTarget = pTarget;
    m_pLastTarget = pTarget;
    return pEntry;
}

int TGuestHostApp::SetupConnection(OVGuestEntry* pEntry, std::uintptr_t, std::uintptr_t, std::uintptr_t)
{
    const auto it = m_entries.find(pEntry);
    if (it == m_entries.end() || pEntry->hConnection)
        return Fail(1, "no connection request to set up");
    EAttempt eNext = EAttempt::Done;
    int nStatus = Connect(pEntry, it->second, eNext);
    if (eNext == EAttempt::Again)
        nStatus = Connect(pEntry, it->second, eNext);
    return nStatus;
}

void TGuestHostApp::HoldDeliveries(bool bHold)
{
    for (const auto& [pEntry, state] : m_entries) {
        auto* pConnection = static_cast<TConnection*>(pEntry->hConnection);
        if (!pConnection)
            continue;
        if (bHold)
            pConnection->HoldDeliveries();
        else
            pConnection->ReleaseDeliveries();
    }
}

std::size_t TGuestHostApp::WaitingDeliveries() const
{
    std::size_t nWaiting = 0;
    for (const auto& [pEntry, state] : m_entries)
        if (const auto* pConnection = static_cast<const TConnection*>(pEntry->hConnection))
            nWaiting += pConnection->WaitingDeliveries();
    return nWaiting;
}

const Handshake::TNegotiated* TGuestHostApp::Negotiated(const OVGuestEntry* pEntry) const
{
    const auto it = m_entries.find(const_cast<OVGuestEntry*>(pEntry));
    return it != m_entries.end() && it->second.negotiated ? &*it->second.negotiated : nullptr;
}

int TGuestHostApp::Connect(OVGuestEntry* pEntry, TEntryState& state, EAttempt& eNext)
{
    eNext = EAttempt::Done;
    const TGuestTarget& target = *state.pTarget;
    const auto deadline = TClock::now() + std::chrono::milliseconds(target.nTimeoutMs);

    std::uint8_t request[kOpenBlockMax] = {};
    std::uint16_t nRequestLength = 0;
    SetupV7Request(pEntry, request, &nRequestLength);
    WriteNetWord(request, OpenBlock::kReqLength, OpenBlock::kV7RequestLength);
    request[OpenBlock::kReqLevel] = OpenBlock::kLevelExtendedVolumes;
    request[OpenBlock::kReqPlatform] = kPlatformAnsi;
    std::memcpy(pEntry->openRequest, request, nRequestLength);
    pEntry->nOpenRequestLength = nRequestLength;

    TTransport transport;
    std::string strError;
    const bool bTcp = target.command.empty();
    if (!bTcp) {
        if (!OpenCommand(target, transport, strError))
            return Fail(1, strError.empty() ? "cannot start the connection command" : strError);
    } else {
        transport.nReadFd = transport.nWriteFd = OpenTcp(target, deadline, strError);
        if (transport.nReadFd < 0)
            return Fail(1, strError);
        const int nOne = 1;
        setsockopt(transport.nReadFd, IPPROTO_TCP, TCP_NODELAY, &nOne, sizeof nOne);
        transport.strPeer = target.strHost + ":" + std::to_string(target.nPort);
    }

    // Everything below runs the handshake; any failure closes the transport.
    TBlockingChannel channel(transport.nReadFd, transport.nWriteFd, deadline);
    const auto fail = [&](int nStatus, const std::string& strWhy) {
        SSL_free(channel.ReleaseTls());
        // A command still running is ended first: what it said stays readable, and nothing is
        // waited for that it would not say until it ended.
        CloseTransport(transport);
        std::string strSaid;
        if (transport.pErrors)
            strSaid = transport.pErrors->Collect(std::min(deadline, TClock::now() + kCommandLastWords));
        return Fail(nStatus, strSaid.empty() ? strWhy : strWhy + "; " + target.command[0] + " said: " + strSaid);
    };
    const std::string strNoAnswer = "the host closed the connection or did not answer in time";
    std::uint8_t greetingBytes[Handshake::kGreetingSize];
    if (!channel.Read(greetingBytes, sizeof greetingBytes))
        return fail(1, strNoAnswer);
    const auto greeting = Handshake::DecodeGreeting(greetingBytes, sizeof greetingBytes);
    if (!greeting)
        return fail(1, "the other end is not a Vantry host");
    if (greeting->nVersion != Handshake::kVersion)
        return fail(1, "the host speaks handshake version " + std::to_string(greeting->nVersion) +
                           ", this guest version " + std::to_string(Handshake::kVersion) +
                           ": update the older of the two");

    const bool bHostTls = (greeting->nFlags & Handshake::kFlagTlsFollows) != 0;
    const bool bGuestTls = bTcp && !target.bPlain;
    if (bHostTls && !bGuestTls)
        return fail(1, bTcp ? "the host serves over TLS only; connect without --insecure-plain"
                            : "the host asks for TLS on a command's standard input and output");
    if (!bHostTls && bGuestTls)
        return fail(1, "the host serves without encryption (vantry serve --insecure-plain); connect with "
                       "--insecure-plain to accept that, or ask for TLS on the host");
    Handshake::TBytes binding;
    if (bHostTls) {
        if (!m_pTlsContext)
            m_pTlsContext = NewClientContext();
        if (!channel.StartTlsClient(m_pTlsContext.get(), strError))
            return fail(1, "TLS with " + transport.strPeer + " failed: " + strError);
        const std::string strFingerprint = PeerFingerprint(channel.Tls());
        const std::string strHostKey = KnownHostKey(target.strHost, target.nPort);
        if (std::string strRefusal = CheckHostCertificate(target, strHostKey, strFingerprint, eNext);
            !strRefusal.empty() || eNext == EAttempt::Again) {
            // A host that the user has just accepted is reached again: the question may have
            // taken longer than the host waits.
            return fail(1, strRefusal.empty() ? "connecting again" : strRefusal);
        }
        binding = ExportBinding(channel.Tls());
        if (binding.empty())
            return fail(1, "cannot export keying material from the TLS session");
    }

    Handshake::TNonce nonce;
    if (!channel.Read(nonce.data(), nonce.size()))
        return fail(1, strNoAnswer);
    Handshake::TGuestHello guestHello;
    guestHello.nFlags = Handshake::Acknowledge(greeting->nFlags, target.nCapabilities);
    guestHello.request.assign(request, request + nRequestLength);
    if (greeting->nFlags & Handshake::kFlagPasswordRequired) {
        if (target.strPassword.empty())
            return fail(1, "the host asks for a password");
        guestHello.proof =
            Handshake::ComputeProof(target.strPassword, nonce, guestHello.nFlags, guestHello.request, binding);
    }
    guestHello.strUserName = target.strUserName;
    if (guestHello.strUserName.empty()) {
        char szUser[kOVUserNameSize] = {};
        if (OVGetUserName(szUser) == 0)
            guestHello.strUserName = szUser;
    }
    guestHello.strUserName.resize(std::min(guestHello.strUserName.size(), Handshake::kMaxUserName));
    const Handshake::TBytes out = Handshake::EncodeGuestHello(guestHello);
    if (!channel.Write(out.data(), out.size()))
        return fail(1, "the host closed the connection during the handshake");

    std::uint8_t answer[Handshake::kAnswerHeader];
    if (!channel.Read(answer, sizeof answer))
        return fail(1, strNoAnswer);
    const auto nStatus = static_cast<std::int16_t>(Handshake::NetWord(answer));
    const std::uint16_t nResponseLength = Handshake::NetWord(answer + 2);
    if (nStatus != Handshake::kAccepted)
        return fail(nStatus, RefusalText(nStatus));
    if (nResponseLength > kOpenBlockMax || !channel.Read(pEntry->openResponse, nResponseLength))
        return fail(1, "the host sent a broken open response");
    Handshake::ResponseFromWire(pEntry->openResponse);
    pEntry->nOpenResponseLength = nResponseLength;
    pEntry->bLargeSizes = (guestHello.nFlags & Handshake::kFlagLargeSizes) != 0;
    pEntry->bPipelining = (guestHello.nFlags & Handshake::kFlagPipelining) != 0;
    auto* pConnection = new TConnection(transport.nReadFd, transport.nWriteFd, transport.strPeer);
    if (SSL* pTls = channel.ReleaseTls())
        pConnection->StartTls(pTls);
    // A guest has this one connection: an upload leaves in batches as large as its file reads,
    // a fraction of the sends (and of the host's wake-ups) that the session's buffering gives.
    pConnection->SetMinimumOutputLimit(kGuestSendBatch);
    pEntry->hConnection = pConnection;
    state.nChild = transport.nChild;
    if (transport.pErrors)
        transport.pErrors->PassOn();
    state.pCommandErrors = std::move(transport.pErrors);
    state.pKeepAlive = KeepAlive(pConnection, target.nKeepAliveMs);
    state.negotiated = Handshake::TNegotiated{greeting->nFlags, guestHello.nFlags, bHostTls};
    m_strLastError.clear();
    return 0;
}

std::unique_ptr<QTimer> TGuestHostApp::KeepAlive(TConnection* pConnection, int nIntervalMs)
{
    auto pTimer = std::make_unique<QTimer>();
    // A whole request is written in one go, so a no-op sent between two turns of the loop never
    // lands inside one; the host reads it as a message of its own and does not answer.
    QObject::connect(pTimer.get(), &QTimer::timeout, pConnection, [pConnection, nLast = pConnection->Traffic()]() mutable {
        static const std::uint8_t kNoOp = CodeByte(kFTP_msgNoOp);
        if (pConnection->Traffic() == nLast && !pConnection->Stopped() && !pConnection->Broken())
            pConnection->Write(&kNoOp, 1, [](std::int32_t) {});
        nLast = pConnection->Traffic();
    });
    pTimer->start(nIntervalMs);
    return pTimer;
}

void TGuestHostApp::CloseConnection(OVGuestEntry* pEntry)
{
    const auto it = m_entries.find(pEntry);
    auto* pConnection = static_cast<TConnection*>(pEntry ? pEntry->hConnection : nullptr);
    if (it == m_entries.end() || !pConnection)
        return;
    pEntry->hConnection = nullptr;
    it->second.pKeepAlive.reset();
    const pid_t nChild = it->second.nChild;
    it->second.nChild = -1;
    if (pConnection->Closed()) {
        pConnection->deleteLater();
        Reap(nChild);
        return;
    }
    // The connection sends what it has taken, then closes; the command ends on its closed input.
    pConnection->SetOnClosed([pConnection, nChild] {
        pConnection->deleteLater();
        Reap(nChild);
    });
    pConnection->Stop();
}

void TGuestHostApp::DeleteEntry(OVGuestEntry* pEntry)
{
    CloseConnection(pEntry);
    if (m_entries.erase(pEntry))
        delete pEntry;
}

int TGuestHostApp::GetPtrAddress(const OVAddressRecord* pAddress, HostServiceTable** ppTable)
{
    *ppTable = pAddress ? &m_table : nullptr;
    return *ppTable ? 0 : 1;
}

const char* TGuestHostApp::GetAddressName(const OVAddressRecord* pAddress)
{
    return (pAddress && pAddress->szName[0]) ? pAddress->szName : nullptr;
}

std::uint32_t TGuestHostApp::GetTranslateCRLF(EOVTranslateDirection eDirection)
{
    if (!m_pLastTarget)
        return 0;
    return eDirection == kOVTranslateDownload ? m_pLastTarget->bTranslateDownload : m_pLastTarget->bTranslateUpload;
}
