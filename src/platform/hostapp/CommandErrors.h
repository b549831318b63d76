// The standard error of a connection command (ssh), kept rather than passed through: while the
// connection is made, what the command says is collected for the user's error message (a window
// has no terminal to show it on); once the connection stands, it is passed on to our own standard
// error as it comes (the remote host's log lines with -v).
#pragma once

#include <chrono>
#include <memory>
#include <string>

class QSocketNotifier;

class TCommandErrors {
public:
    // Takes the read end of the pipe that the command writes its standard error into.
    explicit TCommandErrors(int nReadFd);
    ~TCommandErrors();
    TCommandErrors(const TCommandErrors&) = delete;
    TCommandErrors& operator=(const TCommandErrors&) = delete;

    // What the command has said, up to its end or the deadline: the last lines, trimmed.
    std::string Collect(std::chrono::steady_clock::time_point deadline);
    // From now on what comes is written to our standard error, from the event loop.
    void PassOn();

private:
    // Moves what can be read now into m_strSaid (or to stderr once passed on); false at the end.
    bool ReadAvailable();

    int m_nFd;
    bool m_bPassOn = false;
    std::string m_strSaid;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
};
