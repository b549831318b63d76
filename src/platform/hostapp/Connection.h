// One byte stream of the host application: a socket, or a pair of pipe ends (standard input
// and output). Both directions are non-blocking and driven by the Qt event loop of the thread
// that owns the object.
//
// Reads complete when exactly the asked number of bytes has arrived; the socket is read in large
// chunks into a bounded input buffer and small reads are served from it. Writes complete once
// the bytes are taken: they are copied into an output buffer that is sent in few system calls,
// and a write completes only while at most the output limit of unsent bytes stands up to its
// end, so a peer that stops reading stops the writer instead of growing the buffer. Over TCP,
// bytes sent while more are sure to follow in the same turn of the loop may wait in the kernel
// for a full segment; they are pushed out as soon as nothing more follows.
//
// After StartTls the bytes travel inside TLS (OpenSSL over the same descriptors); bytes taken
// before it are still sent in the clear, ahead of the TLS handshake. A server session runs its
// handshake as the first bytes are read or sent; a client starts its own from the loop. TLS
// writes to the descriptor with write(): the process must ignore SIGPIPE, as `vantry` does.
//
// Completions are always delivered from the event loop, never inside Read or Write. A broken
// connection delivers a failed status to the outstanding completions, once. After Stop no
// completion is delivered any more.
#pragma once

#include "HostServiceTable.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;
struct ssl_st;

// Status given to completions of a connection that broke (the peer went away or an I/O error).
inline constexpr std::int32_t kConnectionLost = 2;

class TConnection : public QObject {
public:
    // Whoever started an operation: either a completion routine of the module or a function.
    struct TCompletion {
        FTPCompletion pfnCompletion = nullptr;
        void* pSession = nullptr;
        HStream hStream = nullptr;
        std::function<void(std::int32_t nStatus)> fnDone;
    };

    // Takes ownership of the descriptors (the same one twice for a socket) and makes them
    // non-blocking.
    TConnection(int nReadFd, int nWriteFd, std::string strPeer, QObject* pParent = nullptr);
    ~TConnection() override;
    TConnection(const TConnection&) = delete;
    TConnection& operator=(const TConnection&) = delete;

    // 0 when started; non-zero when the connection is stopped or broken (nothing will complete).
    std::int32_t Read(void* pBuffer, std::size_t nLength, TCompletion completion);
    std::int32_t Write(const void* pBuffer, std::size_t nLength, TCompletion completion);
    // Convenience forms for the host application's own conversation (the handshake).
    std::int32_t Read(void* pBuffer, std::size_t nLength, std::function<void(std::int32_t)> fnDone);
    std::int32_t Write(const void* pBuffer, std::size_t nLength, std::function<void(std::int32_t)> fnDone);

    // Unsent bytes allowed before writes stop completing (the connection buffering asked for),
    // never below the minimum.
    void SetOutputLimit(std::size_t nBytes);
    void SetMinimumOutputLimit(std::size_t nBytes);

    // Runs TLS over the descriptors from now on; the connection owns the session. A session
    // without descriptors of its own is given the connection's.
    void StartTls(ssl_st* pTls);
    ssl_st* Tls() const { return m_pTls; }
    // Why the connection broke, when the transport said (a TLS alert, an I/O error).
    const std::string& FailureText() const { return m_strFailure; }

    // Ends the conversation: drops every outstanding completion, stops reading, sends what is
    // already taken (for a few seconds at most) and then closes the descriptors.
    void Stop();
    // Closes at once, dropping unsent bytes.
    void Abort();

    // While held (a dialog of the session's window is open), completions wait, in order, and are
    // delivered once the last hold is released; bytes are still sent and read meanwhile.
    void HoldDeliveries() { ++m_nHolds; }
    void ReleaseDeliveries();
    std::size_t WaitingDeliveries() const { return m_ready.size(); }

    // Called once, from the event loop, when the descriptors have been closed.
    void SetOnClosed(std::function<void()> fnClosed) { m_fnClosed = std::move(fnClosed); }

    const std::string& Peer() const { return m_strPeer; }
    bool Stopped() const { return m_bStopped; }
    bool Broken() const { return m_bBroken; }
    bool Closed() const { return m_nReadFd < 0; }
    // True once the end of the peer's stream has been read.
    bool EndOfStream() const { return m_bEof; }
    // True when the peer has closed its end, or the connection is gone: nothing more will come.
    bool PeerClosed() const;
    // Memory held for this connection's data (input and output buffers), for checks and logs.
    std::size_t BufferedBytes() const;
    // Bytes received and sent so far: a connection whose count stands still is idle.
    std::uint64_t Traffic() const { return m_nReceivedTotal + m_nSentTotal; }

private:
    struct TPendingRead {
        std::uint8_t* pBuffer;
        std::size_t nLength;
        TCompletion completion;
    };
    struct THeldWrite {
        std::uint64_t nEndOffset; // output position just after the write's last byte
        TCompletion completion;
    };

    void Queue(TCompletion completion, std::int32_t nStatus);
    // Completions ready and free to be delivered now.
    bool Deliverable() const { return !m_ready.empty() && m_nHolds == 0; }
    void SchedulePump();
    void Pump();
    void Deliver(TCompletion& completion, std::int32_t nStatus);
    // A turn of the loop that delivers, unless this one is delivering already.
    void PostPump();
    void OnLoopAboutToBlock();
    // A round trip costs each side a sleep and a wake-up; the answer to a request usually comes
    // within a fraction of a millisecond, so right after sending the connection polls for it
    // for a moment before the loop goes to sleep. True when the answer made a completion ready,
    // to be delivered in the same turn.
    bool AwaitAnswerBriefly();

    // One transfer over the descriptor, in the clear or through TLS.
    enum class ETransfer { Done, WantsRead, WantsWrite, Closed, Failed };
    ETransfer Receive(std::uint8_t* pBuffer, std::size_t nLength, std::size_t& nDone);
    ETransfer Send(const std::uint8_t* pData, std::size_t nLength, bool bMore, std::size_t& nDone);
    ETransfer TlsResult(int nResult, std::size_t& nDone);
    bool TlsHasPending() const;
    // Bytes of TLS records written but still in the buffer before the descriptor.
    std::size_t TlsBuffered() const;
    ETransfer FlushTls();

    void OnReadable();
    // Takes what the descriptor has and satisfies the pending read with it.
    void ReadAvailable();
    void OnWritable();
    bool SatisfyRead();
    void UpdateReadNotifier();
    void Flush();
    void ReleaseHeldWrites();
    std::size_t Unsent() const { return m_out.size() - m_nOutHead; }
    bool AllSent() const { return Unsent() == 0 && TlsBuffered() == 0; }
    void Break(std::string strWhy = {});
    void CloseDescriptors();

    int m_nReadFd;
    int m_nWriteFd;
    bool m_bSocket = false;
    bool m_bTcp = false;
    bool m_bHeldBack = false; // the last send let TCP hold back a partial segment
    int m_nHolds = 0;
    std::string m_strPeer;
    ssl_st* m_pTls = nullptr;
    std::uint64_t m_nClearUntil = 0; // output position up to which bytes go in the clear
    bool m_bReadWantsWrite = false;  // TLS must send before it can read on
    bool m_bWriteWantsRead = false;  // TLS must read before it can send on
    std::string m_strFailure;
    QSocketNotifier* m_pReadNotifier = nullptr;
    QSocketNotifier* m_pWriteNotifier = nullptr;
    QTimer* m_pLingerTimer = nullptr;

    std::vector<std::uint8_t> m_in;
    std::size_t m_nInHead = 0;
    std::size_t m_nInTail = 0;
    bool m_bEof = false;
    std::optional<TPendingRead> m_pendingRead;

    std::vector<std::uint8_t> m_out;
    std::size_t m_nOutHead = 0;
    std::uint64_t m_nOutTotal = 0; // bytes ever taken
    std::uint64_t m_nSentTotal = 0; // bytes ever sent
    std::uint64_t m_nReceivedTotal = 0;
    std::uint64_t m_nSentAtLastWait = 0;
    std::size_t m_nOutputLimit = kConnectionBuffering;
    std::size_t m_nMinimumOutputLimit = 0;
    std::deque<THeldWrite> m_heldWrites;

    std::deque<std::pair<TCompletion, std::int32_t>> m_ready;
    bool m_bPumpPosted = false;
    bool m_bPumping = false;
    bool m_bBroken = false;
    bool m_bStopped = false;
    std::function<void()> m_fnClosed;
};
