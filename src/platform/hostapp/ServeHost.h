// `vantry serve`: listens for guests (or takes one on standard input/output), runs the
// handshake and a host session of the module for each, and answers the module's stop requests.
#pragma once

#include "LoginThrottle.h"
#include "LoopServiceTable.h"
#include "ServeConfig.h"
#include "TlsContext.h"

#include <QObject>

#include <map>
#include <memory>
#include <string>

class TAcceptor;
class TConnection;
class THostLink;
class TLoopWindow;

class TServeHost {
public:
    // The configuration must be complete (CompleteServeConfig); the module must be started.
    explicit TServeHost(TServeConfig config);
    ~TServeHost();
    TServeHost(const TServeHost&) = delete;
    TServeHost& operator=(const TServeHost&) = delete;

    // Starts listening, or serving standard input/output. Returns an error text, empty on success.
    std::string Start();
    // Stops every session and the listener; the loop is quit once nothing is left.
    void Shutdown();
    std::size_t GuestCount() const { return m_links.size(); }

private:
    void Accept(int nFd);
    void AddLink(TConnection* pConnection, const std::string& strPassword);
    void OnWindowMessage(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam);
    void QuitWhenIdle();
    // Loads or makes the host key and the TLS context. Returns an error text, empty on success.
    std::string StartTls();
    // Makes up the password, keeps it in a file that its owner alone may read and says where.
    std::string MakeUpPassword(const std::string& strWhere);
    // The audit log's opening records: where guests connect, and what each drive serves.
    void LogWhatIsServed(const std::string& strWhere) const;

    TServeConfig m_config;
    TLoopServiceTable m_table;
    TLoginThrottle m_throttle;
    std::unique_ptr<TLoopWindow> m_pWindow;
    std::unique_ptr<TAcceptor> m_pListener;
    TSslContext m_pTlsContext;   // null: guests are served in the clear
    std::string m_strFingerprint;
    std::map<THostLink*, std::unique_ptr<THostLink>> m_links;
    bool m_bShuttingDown = false;
    bool m_bAtGuestLimit = false; // said once until a connection is taken again
    unsigned m_nSessions = 0;     // connections taken so far: the next one's number follows
};

// The whole `vantry serve` run inside an existing QCoreApplication: completes the settings,
// starts the module, serves until SIGINT/SIGTERM (or the stdio guest leaves). Returns the exit
// status: 0 after a clean stop, 1 when serving could not start, 2 for bad settings.
int RunServe(TServeConfig config);
