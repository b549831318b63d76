#include "VantryHostSession.h"

#include "Exceptions.h"
#include "CheckedCalls.h"
#include "OVCore.h"
#include "OpenBlocks.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"

#include <exception>

TVantryHostSession::TVantryHostSession(HostServiceTable* pTable) : m_pTable(pTable) {}

std::int16_t TVantryHostSession::OpenFromRequest(const std::uint8_t* pRequest, std::uint8_t* pResponse)
{
    m_bOEMNames = pRequest[OpenBlock::kReqPlatform] == 0;
    m_nVersion = AgreeProtocolVersion(RequestedProtocolVersion(pRequest));
    if (m_nVersion == 0)
        return -12001;
    WriteHostWord(pResponse, OpenBlock::kRespVersion, m_nVersion);
    WriteNetWord(pResponse, OpenBlock::kRespBufferSize, OpenBlock::kBufferSize);
    VCheck(m_pTable->CreateStream(&m_hReadStream) == 0);
    m_nState = kHostOpened;
    return 0;
}

void TVantryHostSession::Start(HConnection hConnection)
{
    m_nState = kHostStarting;
    m_nReceiveLimit = Packet::kBufferSize;
    m_nSendBlockSize = Packet::kBufferSize;
    m_hConnection = hConnection;
    VCheck(m_pTable->CreateStream(&m_hWriteStream) == 0);
    void* pBuffer = nullptr;
    VCheck(m_pTable->GetBuffer(&pBuffer, Packet::kBufferSize) == 0 && pBuffer);
    m_pReceive = static_cast<std::uint8_t*>(pBuffer);
    pBuffer = nullptr;
    VCheck(m_pTable->GetBuffer(&pBuffer, Packet::kBufferSize) == 0 && pBuffer);
    m_pSend = static_cast<std::uint8_t*>(pBuffer);
    m_pTable->SetConnectionBuffering(m_hConnection, kConnectionBuffering, kConnectionBuffering);
    VCheck(PostNextMessageRead() == EStep::Pending);
    m_nState = kHostRunning;
}

void TVantryHostSession::Stop(std::int32_t nStopValue)
{
    if (m_hConnection)
        m_pTable->Stop(m_hConnection, nStopValue);
    if (m_send.Sending())
        Report(OperationOutcome(EHostOperation::Download, EHostOutcome::Aborted, m_send.Path(), "the session stopped", 0, m_send.BytesSent()));
    if (m_upload.Receiving())
        ReportUploadEnd(EHostOutcome::Aborted, "the session stopped");
    // Nothing half-received survives: the upload under way and the empty files made for
    // uploads that never came go; whatever was read ahead is dropped unanswered.
    DiscardIncomingFile();
    m_creations.Sweep();
    OVF_CloseUploadJournal();
    m_send.End();
    m_listing.Reset();
    m_queue.clear();
    if (m_pReceive)
        m_pTable->FreeBuffer(m_pReceive);
    if (m_pSend)
        m_pTable->FreeBuffer(m_pSend);
    m_pReceive = m_pSend = nullptr;
    if (m_hReadStream)
        m_pTable->DisposeStream(m_hReadStream);
    if (m_hWriteStream)
        m_pTable->DisposeStream(m_hWriteStream);
    m_hReadStream = m_hWriteStream = nullptr;
    m_nState = kHostStopped;
}

void TVantryHostSession::PostStopMessage(std::int32_t nValue)
{
    if (m_nState >= kHostStopRequested)
        return;
    const int nFormerState = m_nState;
    m_nState = kHostStopRequested;
    if (m_nStopValue == 0)
        m_nStopValue = nValue;
    IOVWindow* pWindow = nullptr;
    OVGetHostWindow(&pWindow);
    if (!pWindow || !pWindow->PostMessage(kHostStopMessage, kHostStopWParam, this)) {
        m_nState = nFormerState;
        m_bStopPostFailed = true;
    }
}

std::uint32_t TVantryHostSession::RunStep(void* pSession, std::int32_t nStatus, Step pStep)
{
    auto* pThis = static_cast<TVantryHostSession*>(pSession);
    EStep eStep = EStep::Stop;
    if (nStatus == 0) {
        try {
            eStep = (pThis->*pStep)();
        } catch (const std::exception&) {
            eStep = EStep::Stop;
        }
    }
    if (eStep == EStep::Stop)
        pThis->PostStopMessage(0);
    return 0;
}

std::uint32_t TVantryHostSession::VantryMessageCompletion(HConnection, void* pSession, HStream, std::int32_t nStatus)
{
    return RunStep(pSession, nStatus, &TVantryHostSession::Dispatch);
}

std::uint32_t TVantryHostSession::WriteOSErrCompletion(HConnection, void*, HStream, std::int32_t)
{
    return 0;
}

TVantryHostSession::EStep TVantryHostSession::Read(void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion)
{
    return m_pTable->Read(m_hConnection, pBuffer, nLength, pfnCompletion, this, m_hReadStream) == 0 ? EStep::Pending
                                                                                                     : EStep::Stop;
}

TVantryHostSession::EStep TVantryHostSession::Write(const void* pBuffer, std::uint16_t nLength, FTPCompletion pfnCompletion)
{
    return m_pTable->Write(m_hConnection, pBuffer, nLength, pfnCompletion, this, m_hWriteStream, kWriteFlagDefault) == 0
               ? EStep::Pending
               : EStep::Stop;
}

// A reply's last write: its completion goes on with the next request.
TVantryHostSession::EStep TVantryHostSession::WriteResult(std::int16_t nValue)
{
    TPacketWriter packet(m_pSend, Packet::kBufferSize);
    packet.Byte(Packet::kCode, CodeByte(kFTP_msgResult));
    packet.WordBE(Packet::Result::kValue, static_cast<std::uint16_t>(nValue));
    return Write(m_pSend, Packet::Result::kLength, &Completion<&TVantryHostSession::OnReplyDone>);
}

TVantryHostSession::EStep TVantryHostSession::WriteCode(EFTPMessage eCode)
{
    m_pSend[Packet::kCode] = CodeByte(eCode);
    return Write(m_pSend, 1, &Completion<&TVantryHostSession::OnReplyDone>);
}
