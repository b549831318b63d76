// The host application's connection table for the module: every operation names a
// TConnection (the connection handle is its address). One table serves every connection of the
// process, host sessions and the guest session alike, over TCP or standard input/output.
#pragma once

#include "HostServiceTable.h"

#include <functional>

class TConnection;

class TLoopServiceTable : public HostServiceTable {
public:
    using TOperationSink = std::function<void(TConnection* pConnection, const THostOperation& operation)>;

    // Where the sessions' reports of their operations go; without one they are dropped.
    void SetOperationSink(TOperationSink fnSink) { m_fnOperationSink = std::move(fnSink); }
    static TConnection* ConnectionOf(HConnection hConnection) { return static_cast<TConnection*>(hConnection); }

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
    TOperationSink m_fnOperationSink;
};
