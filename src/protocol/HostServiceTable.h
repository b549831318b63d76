// The host application's table of connection operations: the one way the module reaches a connection.
#pragma once

#include "HostOperation.h"

#include <cstdint>

using HConnection = void*;
using HStream = void*;

// Shape of every completion: (connection, session, stream, status); status 0 is success. Returns 0.
using FTPCompletion = std::uint32_t (*)(HConnection hConnection, void* pSession, HStream hStream, std::int32_t nStatus);

// Each operation that returns a status gives 0 for success. The slot numbers are those of the
// host application's table and are kept in the comments for reference.
class HostServiceTable {
public:
    virtual ~HostServiceTable() = default;

    // slot 18: ends the connection.
    virtual void Stop(HConnection hConnection, std::int32_t nStopValue) = 0;
    // slot 21: reads exactly nLength bytes into pBuffer, then calls pfnCompletion once, from the event loop.
    virtual std::int32_t Read(HConnection hConnection, void* pBuffer, std::uint16_t nLength,
                              FTPCompletion pfnCompletion, void* pSession, HStream hStream) = 0;
    // slot 22: takes nLength bytes from pBuffer, then calls pfnCompletion once, from the event loop.
    virtual std::int32_t Write(HConnection hConnection, const void* pBuffer, std::uint16_t nLength,
                               FTPCompletion pfnCompletion, void* pSession, HStream hStream, std::int32_t nFlags) = 0;
    // slot 29 / 30: buffers for the session's packets.
    virtual std::int32_t GetBuffer(void** ppBuffer, std::uint32_t nSize) = 0;
    virtual void FreeBuffer(void* pBuffer) = 0;
    // slot 31 / 32: streams name the direction of a read or write.
    virtual std::int32_t CreateStream(HStream* phStream) = 0;
    virtual void DisposeStream(HStream hStream) = 0;
    // slot 37: how much the connection buffers in each direction.
    virtual void SetConnectionBuffering(HConnection hConnection, std::uint32_t nReceive, std::uint32_t nSend) = 0;
    // Our addition: a host session tells what it did or refused for its guest, once per
    // operation, as it answers. The strings live only for the call.
    virtual void ReportOperation(HConnection hConnection, const THostOperation& operation) = 0;
};

inline constexpr std::int32_t kWriteFlagDefault = 1;
inline constexpr std::uint32_t kConnectionBuffering = 16384;
