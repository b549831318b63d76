#include "ScriptedHostApp.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

TScriptedHostApp::TScriptedHostApp() = default;

TScriptedHostApp::~TScriptedHostApp()
{
    for (void* p : m_buffers)
        std::free(p);
}

void TScriptedHostApp::Reset()
{
    for (void* p : m_buffers)
        std::free(p);
    m_buffers.clear();
    m_streams.clear();
    m_incoming.clear();
    m_pendingRead.reset();
    m_ready.clear();
    m_heldWrites.clear();
    m_written.clear();
    m_writes.clear();
    m_callFailures.clear();
    m_nFailReadCompletion.reset();
    m_nFailWriteCompletion.reset();
    m_bHoldWrites = m_bStopped = m_bBroken = m_bMisused = false;
    m_nStopValue = 0;
    m_nBufferingReceive = m_nBufferingSend = 0;
    m_operations.clear();
}

void TScriptedHostApp::Feed(const Bytes& bytes)
{
    m_incoming.insert(m_incoming.end(), bytes.begin(), bytes.end());
}

void TScriptedHostApp::FeedInPieces(const Bytes& bytes, std::size_t nSplit)
{
    for (std::size_t i = 0; i < bytes.size(); i += nSplit) {
        const std::size_t nEnd = std::min(bytes.size(), i + nSplit);
        Feed(Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(i), bytes.begin() + static_cast<std::ptrdiff_t>(nEnd)));
        Run();
    }
    Run();
}

void TScriptedHostApp::SatisfyRead()
{
    if (!m_pendingRead || m_bStopped)
        return;
    TPending& read = *m_pendingRead;
    if (m_nFailReadCompletion) {
        m_ready.push_back({read.pfnCompletion, read.pSession, read.hStream, *m_nFailReadCompletion});
        m_nFailReadCompletion.reset();
        m_pendingRead.reset();
        return;
    }
    if (m_incoming.size() < read.nLength)
        return;
    std::copy_n(m_incoming.begin(), read.nLength, read.pBuffer);
    m_incoming.erase(m_incoming.begin(), m_incoming.begin() + static_cast<std::ptrdiff_t>(read.nLength));
    m_ready.push_back({read.pfnCompletion, read.pSession, read.hStream, 0});
    m_pendingRead.reset();
}

int TScriptedHostApp::Run()
{
    int nRan = 0;
    for (;;) {
        SatisfyRead();
        if (m_ready.empty() || m_bStopped)
            break;
        TReady ready = m_ready.front();
        m_ready.pop_front();
        ready.pfnCompletion(Connection(), ready.pSession, ready.hStream, ready.nStatus);
        ++nRan;
    }
    return nRan;
}

Bytes TScriptedHostApp::TakeWritten()
{
    Bytes written;
    written.swap(m_written);
    m_writes.clear();
    return written;
}

void TScriptedHostApp::FailNextCall(ETableCall eCall, std::int32_t nStatus)
{
    m_callFailures[eCall] = nStatus;
}

std::optional<std::int32_t> TScriptedHostApp::TakeCallFailure(ETableCall eCall)
{
    auto it = m_callFailures.find(eCall);
    if (it == m_callFailures.end())
        return std::nullopt;
    const std::int32_t nStatus = it->second;
    m_callFailures.erase(it);
    return nStatus;
}

void TScriptedHostApp::ReleaseWrites()
{
    m_bHoldWrites = false;
    m_ready.insert(m_ready.end(), m_heldWrites.begin(), m_heldWrites.end());
    m_heldWrites.clear();
}

void TScriptedHostApp::Break()
{
    m_bBroken = true;
    if (m_pendingRead) {
        m_ready.push_back({m_pendingRead->pfnCompletion, m_pendingRead->pSession, m_pendingRead->hStream, -1});
        m_pendingRead.reset();
    }
    for (TReady& held : m_heldWrites) {
        held.nStatus = -1;
        m_ready.push_back(held);
    }
    m_heldWrites.clear();
}

void TScriptedHostApp::Stop(HConnection, std::int32_t nStopValue)
{
    m_bStopped = true;
    m_nStopValue = nStopValue;
    m_pendingRead.reset();
    m_ready.clear();
    m_heldWrites.clear();
}

std::int32_t TScriptedHostApp::Read(HConnection, void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion,
                                    void* pSession, HStream hStream)
{
    if (auto nFailure = TakeCallFailure(ETableCall::Read))
        return *nFailure;
    if (m_bStopped || m_pendingRead)
        m_bMisused = true;
    if (m_bBroken) {
        m_ready.push_back({pfnCompletion, pSession, hStream, -1});
        return 0;
    }
    m_pendingRead = TPending{static_cast<std::uint8_t*>(pBuffer), nLength, pfnCompletion, pSession, hStream};
    return 0;
}

std::int32_t TScriptedHostApp::Write(HConnection, const void* pBuffer, std::uint16_t nLength,
                                     FTPCompletion pfnCompletion, void* pSession, HStream hStream, std::int32_t)
{
    if (auto nFailure = TakeCallFailure(ETableCall::Write))
        return *nFailure;
    if (m_bStopped)
        m_bMisused = true;
    const auto* p = static_cast<const std::uint8_t*>(pBuffer);
    std::int32_t nStatus = m_bBroken ? -1 : 0;
    if (m_nFailWriteCompletion) {
        nStatus = *m_nFailWriteCompletion;
        m_nFailWriteCompletion.reset();
    }
    if (nStatus == 0) {
        m_written.insert(m_written.end(), p, p + nLength);
        m_writes.emplace_back(p, p + nLength);
    }
    TReady ready{pfnCompletion, pSession, hStream, nStatus};
    if (m_bHoldWrites)
        m_heldWrites.push_back(ready);
    else
        m_ready.push_back(ready);
    return 0;
}

std::int32_t TScriptedHostApp::GetBuffer(void** ppBuffer, std::uint32_t nSize)
{
    if (auto nFailure = TakeCallFailure(ETableCall::GetBuffer))
        return *nFailure;
    *ppBuffer = std::calloc(1, nSize);
    m_buffers.insert(*ppBuffer);
    return 0;
}

void TScriptedHostApp::FreeBuffer(void* pBuffer)
{
    if (m_buffers.erase(pBuffer) == 0)
        m_bMisused = true;
    std::free(pBuffer);
}

std::int32_t TScriptedHostApp::CreateStream(HStream* phStream)
{
    if (auto nFailure = TakeCallFailure(ETableCall::CreateStream))
        return *nFailure;
    *phStream = reinterpret_cast<HStream>(m_nNextStream++);
    m_streams.insert(*phStream);
    return 0;
}

void TScriptedHostApp::DisposeStream(HStream hStream)
{
    if (m_streams.erase(hStream) == 0)
        m_bMisused = true;
}

void TScriptedHostApp::SetConnectionBuffering(HConnection, std::uint32_t nReceive, std::uint32_t nSend)
{
    m_nBufferingReceive = nReceive;
    m_nBufferingSend = nSend;
}

void TScriptedHostApp::ReportOperation(HConnection, const THostOperation& operation)
{
    m_operations.push_back({operation, std::string(operation.strPath), std::string(operation.strCause)});
}

bool TScriptedWindow::PostMessage(std::uint32_t nMessage, std::uintptr_t wParam, void* lParam)
{
    if (bRefuse)
        return false;
    messages.push_back({nMessage, wParam, lParam});
    return true;
}
