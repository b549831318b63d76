#include "LoopServiceTable.h"

#include "Connection.h"

#include <new>

namespace {
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
    return ConnectionOf(hConnection)->Read(pBuffer, nLength,
                                           TConnection::TCompletion{pfnCompletion, pSession, hStream, {}});
}

std::int32_t TLoopServiceTable::Write(HConnection hConnection, const void* pBuffer, std::uint16_t nLength,
                                      FTPCompletion pfnCompletion, void* pSession, HStream hStream, std::int32_t)
{
    if (!hConnection || !pfnCompletion)
        return 1;
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
