// The listening socket of `vantry serve`. When the process is out of descriptors a pending
// connection cannot be taken and the socket stays readable: the acceptor then stops looking at
// it for a moment instead of waking up for it again and again, and says so once.
#pragma once

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <string>

class QSocketNotifier;

struct TAcceptStats {
    std::uint64_t nWakeups = 0;  // times the socket was found readable
    std::uint64_t nPauses = 0;   // times accepting stopped for want of descriptors
    std::uint64_t nAccepted = 0;
};

class TAcceptor : public QObject {
public:
    static constexpr int kPauseMs = 500;

    // fnAccept takes each accepted connection's descriptor; fnLog gets the shortage notices.
    TAcceptor(std::function<void(int nFd)> fnAccept, std::function<void(const std::string&)> fnLog);
    ~TAcceptor() override;
    TAcceptor(const TAcceptor&) = delete;
    TAcceptor& operator=(const TAcceptor&) = delete;

    // Listens on a numeric address ("localhost", "*" and "0.0.0.0" too). Returns an error text,
    // empty on success.
    std::string Listen(const std::string& strHost, std::uint16_t nPort);
    // "host:port" as listened on ("[v6]:port").
    const std::string& Where() const { return m_strWhere; }
    std::uint16_t Port() const { return m_nPort; }
    void Close();
    const TAcceptStats& Stats() const { return m_stats; }

private:
    void OnReadable();

    std::function<void(int)> m_fnAccept;
    std::function<void(const std::string&)> m_fnLog;
    int m_nFd = -1;
    QSocketNotifier* m_pNotifier = nullptr;
    QTimer m_resume;
    bool m_bShort = false; // out of descriptors since the last connection taken
    std::string m_strWhere;
    std::uint16_t m_nPort = 0;
    TAcceptStats m_stats;
};
