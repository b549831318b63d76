// A `vantry serve` child process for integration tests, and a raw guest that speaks the
// handshake and protocol bytes to it.
#pragma once

#include "BlockingChannel.h"
#include "Handshake.h"
#include "TlsContext.h"

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

class TServeProcess {
public:
    // Starts `vantry serve ARGS`; with bStdio its standard input/output are kept as pipes.
    TServeProcess(const std::vector<std::string>& args, bool bStdio = false);
    ~TServeProcess();
    TServeProcess(const TServeProcess&) = delete;
    TServeProcess& operator=(const TServeProcess&) = delete;

    // The port from the "listening on" line; 0 when none came.
    std::uint16_t Port();
    // Waits until a log line containing strText has been written; true when it came.
    bool WaitForLog(const std::string& strText, int nMilliseconds = 5000);
    std::string Log();
    // Sends the signal and waits for the exit status (-1 when it did not exit in time).
    int StopWith(int nSignal);
    int WaitExit(int nMilliseconds);
    pid_t Pid() const { return m_nPid; }
    // Resident memory of the process in KiB.
    long ResidentKiB() const;
    int StdinFd() const { return m_nStdin; }
    int StdoutFd() const { return m_nStdout; }

private:
    pid_t m_nPid = -1;
    int m_nStdin = -1;
    int m_nStdout = -1;
    int m_nStderr = -1;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::string m_strLog;
    int m_nExitStatus = -1;
};

// A guest speaking raw bytes over a descriptor pair (a socket, or the serve pipes), through TLS
// once the host's greeting asks for it.
class TRawGuest {
public:
    static TRawGuest Tcp(std::uint16_t nPort);
    TRawGuest(int nReadFd, int nWriteFd, bool bOwned);
    TRawGuest(TRawGuest&& other) noexcept;
    ~TRawGuest();

    // Runs the handshake; returns the status and fills the response block.
    std::int16_t Handshake(const std::string& strPassword, std::uint16_t nVersion, TBytes* pResponse = nullptr,
                           const std::string& strUser = "tester", std::uint16_t nGuestFlags = 0);
    // The handshake step by step: the greeting (and TLS when it says so), then the nonce, then
    // the guest's hello, then the answer's status (its block in pResponse).
    std::optional<Handshake::TGreeting> Greet();
    Handshake::TNonce Nonce();
    // Keying material of this connection's TLS session; empty in the clear.
    TBytes Binding() const;
    std::int16_t Answer(TBytes* pResponse = nullptr);
    // The proof the last Handshake sent.
    const Handshake::TProof& LastProof() const { return m_lastProof; }
    // The fingerprint of the host's certificate; empty in the clear.
    std::string HostFingerprint() const;
    void Send(const TBytes& bytes, std::size_t nSplit = 0);
    // Exactly n bytes; fewer when the host closed the connection or 5 s passed.
    TBytes Receive(std::size_t nLength, int nMilliseconds = 5000);
    // True when the host closed the connection (end of stream) within the time.
    bool ClosedByHost(int nMilliseconds = 5000);
    void Close();

private:
    int m_nReadFd;
    int m_nWriteFd;
    bool m_bOwned;
    std::unique_ptr<TBlockingChannel> m_pChannel;
    Handshake::TProof m_lastProof{};
};

// The open request a guest of this system sends, asking for nVersion.
TBytes OpenRequest(std::uint16_t nVersion);
