#include "LoopServiceTable.h"

#include "Connection.h"

#include <csignal>
#include <cstdlib>
#include <new>

namespace {
// A debugging aid for the interruption tests: with VANTRY_KILL_AT_PACKET=N in the environment,
// the process kills itself (SIGKILL, as a crash or a pulled plug would) when the module asks
// for its Nth read or write on any connection. The module's own sequence of requests decides
// the point, not timing, so a run can be repeated at the same N.
void CountPacket()
{
    static const long nKillAt = [] {
        const char* pszValue = std::getenv("VANTRY_KILL_AT_PACKET");
        return pszValue ? std::atol(pszValue) : 0L;
    }();
    static long nCount = 0;
    if (nKillAt > 0 && ++nCount == nKillAt)
        std::raise(SIGKILL);
}

// A stream only names a direction of a connection; the connection keeps the state.
struct TStream {
    int nUnused = 0;
};
} // namespace

void TLoopServiceTable::Stop(HConnection hConnection, std::int32_t)
{
    if (hConnection)
        ConnectionOf(hConnection)->Stop();
}

std::int32_t TLoopServiceTable::Read(HConnection hConnection, void* pBuffer, std::uint16_t nLength,
                                     FTPCompletion pfnCompletion, void* pSession, HStream hStream)
{
    if (!hConnection || !pfnCompletion)
        return 1;
    CountPacket();
    return ConnectionOf(hConnection)->Read(pBuffer, nLength,
                                           TConnection::TCompletion{pfnCompletion, pSession, hStream, {}});
}

std::int32_t TLoopServiceTable::Write(HConnection hConnection, const void* pBuffer, std::uint16_t nLength,
                                      FTPCompletion pfnCompletion, void* pSession, HStream hStream, std::int32_t)
{
    if (!hConnection || !pfnCompletion)
        return 1;
    CountPacket();
    return ConnectionOf(hConnection)->Write(pBuffer, nLength,
                                            TConnection::TCompletion{pfnCompletion, pSession, hStream, {}});
}

std::int32_t TLoopServiceTable::GetBuffer(void** ppBuffer, std::uint32_t nSize)
{
    *ppBuffer = ::operator new(nSize, std::nothrow);
    return *ppBuffer ? 0 : 1;
}

void TLoopServiceTable::FreeBuffer(void* pBuffer) { ::operator delete(pBuffer); }

std::int32_t TLoopServiceTable::CreateStream(HStream* phStream)
{
    *phStream = new (std::nothrow) TStream;
    return *phStream ? 0 : 1;
}

void TLoopServiceTable::DisposeStream(HStream hStream) { delete static_cast<TStream*>(hStream); }

void TLoopServiceTable::SetConnectionBuffering(HConnection hConnection, std::uint32_t, std::uint32_t nSend)
{
    if (hConnection)
        ConnectionOf(hConnection)->SetOutputLimit(nSend);
}

void TLoopServiceTable::ReportOperation(HConnection hConnection, const THostOperation& operation)
{
    if (hConnection && m_fnOperationSink)
        m_fnOperationSink(ConnectionOf(hConnection), operation);
}
