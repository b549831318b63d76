// An in-memory host application for driving sessions in tests: it implements the connection
// table, records every write, takes incoming bytes in any split, and delivers completions only
// from Run(), never inside the call that started the operation. Any read, write or table call
// can be made to fail.
#pragma once

#include "HostServiceTable.h"
#include "OVCore.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

enum class ETableCall { Read, Write, GetBuffer, CreateStream };

// A reported operation, with copies of its strings.
struct TReportedOperation {
    THostOperation operation; // its strings point into the copies: read them through View()
    std::string strPath;
    std::string strCause;

    THostOperation View() const
    {
        THostOperation view = operation;
        view.strPath = strPath;
        view.strCause = strCause;
        return view;
    }
};

class TScriptedHostApp : public HostServiceTable {
public:
    TScriptedHostApp();
    ~TScriptedHostApp() override;

    HConnection Connection() { return &m_connection; }
    // Back to a fresh connection, as if newly made.
    void Reset();

    // Incoming bytes, as the peer would send them.
    void Feed(const Bytes& bytes);
    void Feed(std::initializer_list<std::uint8_t> bytes) { Feed(Bytes(bytes)); }
    // Delivers queued completions until nothing more can happen; returns how many ran.
    int Run();
    // Feeds the bytes in pieces of nSplit, running the loop after each piece.
    void FeedInPieces(const Bytes& bytes, std::size_t nSplit);

    // Everything written so far, and the individual writes; TakeWritten() also clears them.
    const Bytes& Written() const { return m_written; }
    const std::vector<Bytes>& Writes() const { return m_writes; }
    Bytes TakeWritten();

    // Failure injection: the next such table call returns nStatus; or the next read/write
    // completes with nStatus.
    void FailNextCall(ETableCall eCall, std::int32_t nStatus = 1);
    void FailNextReadCompletion(std::int32_t nStatus = 1) { m_nFailReadCompletion = nStatus; }
    void FailNextWriteCompletion(std::int32_t nStatus = 1) { m_nFailWriteCompletion = nStatus; }
    // While held, writes are taken but their completions wait for ReleaseWrites().
    void HoldWrites(bool bHold) { m_bHoldWrites = bHold; }
    void ReleaseWrites();
    // Breaks the connection: outstanding operations complete with a failed status.
    void Break();

    bool ReadPending() const { return m_pendingRead.has_value(); }
    std::size_t PendingReadLength() const { return m_pendingRead ? m_pendingRead->nLength : 0; }
    std::size_t Unread() const { return m_incoming.size(); }
    bool Stopped() const { return m_bStopped; }
    std::int32_t StopValue() const { return m_nStopValue; }
    std::size_t BuffersOutstanding() const { return m_buffers.size(); }
    std::size_t StreamsOutstanding() const { return m_streams.size(); }
    std::uint32_t BufferingReceive() const { return m_nBufferingReceive; }
    std::uint32_t BufferingSend() const { return m_nBufferingSend; }
    // Set when the module broke the table's rules (two reads at once, use after stop).
    bool Misused() const { return m_bMisused; }
    // The operations the session reported, oldest first; TakeOperations() also clears them.
    std::vector<TReportedOperation> TakeOperations() { return std::exchange(m_operations, {}); }

    // HostServiceTable
    void Stop(HConnection hConnection, std::int32_t nStopValue) override;
    std::int32_t Read(HConnection hConnection, void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion,
                      void* pSession, HStream hStream) override;
    std::int32_t Write(HConnection hConnection, const void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion,
                       void* pSession, HStream hStream, std::int32_t nFlags) override;
    std::int32_t GetBuffer(void** ppBuffer, std::uint32_t nSize) override;
    void FreeBuffer(void* pBuffer) override;
    std::int32_t CreateStream(HStream* phStream) override;
    void DisposeStream(HStream hStream) override;
    void SetConnectionBuffering(HConnection hConnection, std::uint32_t nReceive, std::uint32_t nSend) override;
    void ReportOperation(HConnection hConnection, const THostOperation& operation) override;

private:
    struct TPending {
        std::uint8_t* pBuffer;
        std::size_t nLength;
        FTPCompletion pfnCompletion;
        void* pSession;
        HStream hStream;
    };
    struct TReady {
        FTPCompletion pfnCompletion;
        void* pSession;
        HStream hStream;
        std::int32_t nStatus;
    };

    std::optional<std::int32_t> TakeCallFailure(ETableCall eCall);
    void SatisfyRead();

    int m_connection = 0;
    std::deque<std::uint8_t> m_incoming;
    std::optional<TPending> m_pendingRead;
    std::deque<TReady> m_ready;
    std::deque<TReady> m_heldWrites;
    Bytes m_written;
    std::vector<Bytes> m_writes;
    std::map<ETableCall, std::int32_t> m_callFailures;
    std::optional<std::int32_t> m_nFailReadCompletion;
    std::optional<std::int32_t> m_nFailWriteCompletion;
    bool m_bHoldWrites = false;
    bool m_bStopped = false;
    bool m_bBroken = false;
    bool m_bMisused = false;
    std::int32_t m_nStopValue = 0;
    std::set<void*> m_buffers;
    std::set<HStream> m_streams;
    std::uintptr_t m_nNextStream = 1;
    std::uint32_t m_nBufferingReceive = 0;
    std::uint32_t m_nBufferingSend = 0;
    std::vector<TReportedOperation> m_operations;
};

// The host application's main window: records the messages the module posts to it.
class TScriptedWindow : public IOVWindow {
public:
    struct TMessage {
        std::uint32_t nMessage;
        std::uintptr_t wParam;
        void* lParam;
    };
    bool PostMessage(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam) override;

    std::vector<TMessage> messages;
    bool bRefuse = false;
};
