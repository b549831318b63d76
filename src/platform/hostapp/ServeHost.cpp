#include "ServeHost.h"

#include "Acceptor.h"
#include "AuditRecord.h"
#include "Connection.h"
#include "Handshake.h"
#include "ConfigPaths.h"
#include "HostKey.h"
#include "HostLink.h"
#include "KeptFolders.h"
#include "LoopWindow.h"
#include "OVFUploads.h"
#include "ServeDrives.h"
#include "ServeLog.h"
#include "ServiceExports.h"
#include "SignalWatcher.h"
#include "VantryHostSession.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <csignal>
#include <malloc.h>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
std::string PeerName(int nFd)
{
    sockaddr_storage address {};
    socklen_t nLength = sizeof address;
    if (getpeername(nFd, reinterpret_cast<sockaddr*>(&address), &nLength) != 0)
        return "unknown peer";
    char szHost[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* pIn = reinterpret_cast<const sockaddr_in*>(&address);
        inet_ntop(AF_INET, &pIn->sin_addr, szHost, sizeof szHost);
        return std::string(szHost) + ":" + std::to_string(ntohs(pIn->sin_port));
    }
    const auto* pIn6 = reinterpret_cast<const sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &pIn6->sin6_addr, szHost, sizeof szHost);
    return "[" + std::string(szHost) + "]:" + std::to_string(ntohs(pIn6->sin6_port));
}

} // namespace

TServeHost::TServeHost(TServeConfig config) : m_config(std::move(config))
{
    m_pWindow = std::make_unique<TLoopWindow>(
        [this](std::uint32_t nMessage, std::uintptr_t wParam, void* lParam) { OnWindowMessage(nMessage, wParam, lParam); });
    OVSetHostWindow(m_pWindow.get());
    m_table.SetOperationSink([this](TConnection* pConnection, const THostOperation& operation) {
        for (const auto& [pLink, pOwned] : m_links) {
            if (pLink->Connection() == pConnection)
                return pLink->Audit(operation);
        }
    });
}

TServeHost::~TServeHost()
{
    m_links.clear();
    OVSetHostWindow(nullptr);
}

std::string TServeHost::Start()
{
    if (m_config.bStdio) {
        LogWhatIsServed("stdio");
        AddLink(new TConnection(STDIN_FILENO, STDOUT_FILENO, "stdio"), std::string());
        return {};
    }
    if (std::string strError = StartTls(); !strError.empty())
        return strError;
    m_pListener = std::make_unique<TAcceptor>([this](int nFd) { Accept(nFd); }, [](const std::string& strLine) { ServeLog(strLine, ELogLevel::Warning); });
    if (std::string strError = m_pListener->Listen(m_config.strListenHost, m_config.nPort); !strError.empty())
        return strError;
    const std::string strWhere = m_pListener->Where();
    if (m_config.strPassword.empty())
        if (std::string strError = MakeUpPassword(strWhere); !strError.empty())
            return strError;
    if (m_pTlsContext)
        ServeLog("host key fingerprint " + m_strFingerprint);
    else
        ServeLog("serving in the clear (--insecure-plain): passwords and files can be read on the network");
    ServeLog("listening on " + strWhere);
    LogWhatIsServed(strWhere);
    return {};
}

void TServeHost::LogWhatIsServed(const std::string& strWhere) const
{
    TAuditRecord start("serve");
    start.Add("address", strWhere).AddYesNo("tls", m_pTlsContext != nullptr);
    if (m_pTlsContext)
        start.Add("fingerprint", m_strFingerprint);
    ServeLog(start.Text());
    const std::string strPrivileges = PrivilegeNames(m_config.nPrivileges);
    for (const TShareConfig& share : m_config.shares) {
        ServeLog(TAuditRecord("share")
                     .Add("drive", std::string(1, share.cLetter) + ":")
                     .Add("folder", share.strDir)
                     .Add("privileges", strPrivileges)
                     .AddYesNo("dotfiles", share.bDotNames)
                     .Text());
    }
    if (!m_config.strDesktopDir.empty())
        ServeLog(TAuditRecord("share")
                     .Add("drive", "Desktop")
                     .Add("folder", m_config.strDesktopDir)
                     .Add("privileges", strPrivileges)
                     .AddYesNo("dotfiles", m_config.bDesktopDotNames)
                     .Text());
}

std::string TServeHost::MakeUpPassword(const std::string& strWhere)
{
    m_config.strPassword = Handshake::NewPassword();
    m_config.bPasswordMadeUp = true;
    // The password itself goes only to a terminal, never into a log file.
    const bool bTerminal = ::isatty(STDERR_FILENO) == 1;
    const std::string strDir = VantryRuntimeDir();
    if (strDir.empty() && !bTerminal)
        return "no --password-file given, and no $XDG_RUNTIME_DIR to keep a made-up password in";
    // One file a port: two hosts of one user keep their passwords apart.
    const std::string strFile = strDir + "/password-" + std::to_string(m_pListener->Port());
    std::string strWhereKept;
    if (!strDir.empty()) {
        if (std::string strError = WritePrivateFile(strFile, m_config.strPassword + "\n"); !strError.empty())
            return strError;
        strWhereKept = " (kept in " + strFile + ", readable by you alone)";
    }
    if (bTerminal)
        ServeLog("no password file given; guests connect to " + strWhere + " with the password " +
                 m_config.strPassword + strWhereKept);
    else
        ServeLog("no password file given; guests connect to " + strWhere + " with the password in " + strFile);
    return {};
}

std::string TServeHost::StartTls()
{
    if (m_config.bInsecurePlain)
        return {};
    const std::string strKeyFile = m_config.strHostKeyFile.empty() ? DefaultHostKeyFile() : m_config.strHostKeyFile;
    if (strKeyFile.empty())
        return "no folder for the host key: set XDG_CONFIG_HOME or HOME, or give --host-key";
    THostKey key;
    if (std::string strError = LoadOrCreateHostKey(strKeyFile, key); !strError.empty())
        return strError;
    if (key.bCreated)
        ServeLog("made a new host key in " + strKeyFile);
    m_pTlsContext = NewServerContext(key);
    if (!m_pTlsContext)
        return "cannot set up TLS with " + strKeyFile + ": " + TlsErrorText();
    m_strFingerprint = key.strFingerprint;
    return {};
}

void TServeHost::Accept(int nFd)
{
    if (m_bShuttingDown) {
        ::close(nFd);
        return;
    }
    if (m_links.size() >= static_cast<std::size_t>(m_config.nMaxGuests)) {
        if (!m_bAtGuestLimit)
            ServeLog(PeerName(nFd) + ": refused: " + std::to_string(m_config.nMaxGuests) +
                     " connections are served already (--max-guests); more are closed until one ends");
        m_bAtGuestLimit = true;
        ::close(nFd);
        return;
    }
    m_bAtGuestLimit = false;
    AddLink(new TConnection(nFd, nFd, PeerName(nFd)), m_config.strPassword);
}

void TServeHost::AddLink(TConnection* pConnection, const std::string& strPassword)
{
    THostLinkSettings settings;
    settings.pTable = &m_table;
    settings.strPassword = strPassword;
    settings.nPrivileges = m_config.nPrivileges;
    settings.nHandshakeTimeoutMs = m_config.nHandshakeTimeoutMs;
    settings.pThrottle = &m_throttle;
    settings.nIdleTimeoutSeconds = m_config.nIdleTimeoutSeconds;
    settings.pTlsContext = m_pTlsContext.get();
    settings.nSession = ++m_nSessions;
    auto pLink = std::make_unique<THostLink>(pConnection, settings);
    THostLink* pKey = pLink.get();
    // Runs from the loop once the connection has closed.
    pConnection->SetOnClosed([this, pKey] {
        m_links.erase(pKey);
        // The allocator keeps what a busy spell freed; a host with no guest left gives it back.
        if (m_links.empty())
            malloc_trim(0);
        if (m_config.bStdio || m_bShuttingDown)
            QuitWhenIdle();
    });
    m_links.emplace(pKey, std::move(pLink));
    pKey->Begin();
}

void TServeHost::OnWindowMessage(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam)
{
    if (nMessage != kHostStopMessage || wParam != kHostStopWParam)
        return;
    // A session that is already gone (a shutdown came first) is not looked at.
    for (auto& [pLink, pOwned] : m_links) {
        TVantryHostSession* pSession = pLink->Session();
        if (pSession && pSession == lParam) {
            pLink->EndSession(pSession->StopValue());
            return;
        }
    }
}

void TServeHost::Shutdown()
{
    if (m_bShuttingDown)
        return;
    m_bShuttingDown = true;
    if (m_pListener)
        m_pListener->Close();
    m_links.clear(); // each link stops its session and closes its connection
    QuitWhenIdle();
}

void TServeHost::QuitWhenIdle()
{
    if (m_links.empty())
        QCoreApplication::quit();
}

int RunServe(TServeConfig config)
{
    std::signal(SIGPIPE, SIG_IGN);
    SetServeLogLevel(config.eLogLevel);
    const char* pszHome = std::getenv("HOME");
    if (std::string strError = CompleteServeConfig(config, pszHome ? pszHome : ""); !strError.empty()) {
        std::fprintf(stderr, "vantry serve: %s\n", strError.c_str());
        return 2;
    }
    if (std::string strError = OVF_CheckUploadJournal(); !strError.empty()) {
        std::fprintf(stderr, "vantry serve: %s\n", strError.c_str());
        return 1;
    }
    if (std::string strError = InstallServeDrives(config); !strError.empty()) {
        std::fprintf(stderr, "vantry serve: %s\n", strError.c_str());
        return 2;
    }
    if (InitHostService() != 0) {
        std::fprintf(stderr, "vantry serve: the file-transfer service could not start\n");
        return 1;
    }
    int nStatus = 0;
    {
        TServeHost host(std::move(config));
        if (std::string strError = host.Start(); !strError.empty()) {
            std::fprintf(stderr, "vantry serve: %s\n", strError.c_str());
            nStatus = 1;
        } else {
            TSignalWatcher watcher([&host](int nSignal) {
                ServeLog(std::string("stopping on ") + (nSignal == SIGINT ? "SIGINT" : "SIGTERM"));
                host.Shutdown();
            });
            // An upload of many files resolves its folder several times per file.
            TKeptFolders keptFolders;
            QCoreApplication::exec();
        }
    }
    // The sessions have discarded their uploads; nothing of this process is left for the journal.
    if (const int nLeft = OVF_EndUploads(); nLeft > 0)
        ServeLog("removed " + std::to_string(nLeft) + " upload temporaries at exit");
    UninitHostService();
    return nStatus;
}
