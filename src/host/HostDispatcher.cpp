// The request table, the queue of complete requests, and the handlers that need no file system.
#include "VantryHostSession.h"

#include "OpenBlocks.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"

namespace {
constexpr int kNone = -1;
} // namespace

// By code + 124: how the body is read, what serves the request, the privilege it needs, what a
// guest without that privilege is answered, and what the refusal is recorded as.
const TVantryHostSession::TRequestKind TVantryHostSession::s_requests[kFTP_msgCount] = {
    // kFTP_msgNoOp
    {EBody::None, 0, &TVantryHostSession::ServeNoOp, kNone, ERefusal::Result, 0},
    // kFTP_msgNewMessages: the sub-code and six bytes not interpreted
    {EBody::NewMessages, 1 + Packet::NewMessages::kTailLength, &TVantryHostSession::ServeNewMessages, kNone, ERefusal::Result, 0},
    // kFTP_msgVersion
    {EBody::Fixed, 2, &TVantryHostSession::ServeVersion, kNone, ERefusal::Result, 0},
    // kFTP_msgDataMsgLen
    {EBody::Fixed, 2, &TVantryHostSession::ServeDataMsgLen, kNone, ERefusal::Result, 0},
    // kFTP_msgMakeFolder
    {EBody::Names, Packet::Names::kMakeFolderBlock, &TVantryHostSession::ServeMakeFolder, kPrivilegeBitWrite,
     ERefusal::Result, kFTP_resFailure, EHostOperation::MakeFolder, Packet::GetInfo::kVolume},
    // kFTP_msgSetInfo: a guest stops dead on any answer but 0, so a refusal stores nothing and answers 0
    {EBody::Names, Packet::Names::kSetInfoBlock, &TVantryHostSession::ServeSetInfo, kPrivilegeBitWrite, ERefusal::Result,
     kFTP_resOK, EHostOperation::SetInfo, Packet::SetInfo::kVolume},
    // kFTP_msgRemove
    {EBody::Names, Packet::Names::kRemoveBlock, &TVantryHostSession::ServeRemove, kPrivilegeBitRemove, ERefusal::Result,
     kFTP_resAccessDenied, EHostOperation::Remove, Packet::GetInfo::kVolume},
    // kFTP_msgCreate
    {EBody::Names, Packet::Names::kCreateBlock, &TVantryHostSession::ServeCreate, kPrivilegeBitWrite, ERefusal::Result,
     kFTP_resCannotCreate, EHostOperation::Upload, Packet::Create::kVolume},
    // kFTP_msgForkData
    {EBody::ForkData, 0, &TVantryHostSession::ServeForkData, kNone, ERefusal::Result, 0},
    // kFTP_msgOpenFork
    {EBody::Names, Packet::Names::kOpenForkBlock, &TVantryHostSession::ServeOpenFork, kPrivilegeBitWrite,
     ERefusal::FailUpload, kFTP_resCannotCreate, EHostOperation::Upload, Packet::ReqFork::kVolume},
    // kFTP_msgReqFork
    {EBody::Names, Packet::Names::kReqForkBlock, &TVantryHostSession::ServeReqFork, kPrivilegeBitRead, ERefusal::AbortCode, 0,
     EHostOperation::Download, Packet::ReqFork::kVolume},
    // kFTP_msgFileInfo
    {EBody::Refused, 0, nullptr, kNone, ERefusal::Result, 0},
    // kFTP_msgGetInfo
    {EBody::Names, Packet::Names::kGetInfoBlock, &TVantryHostSession::ServeGetInfo, kNone, ERefusal::Result, 0},
    // kFTP_msgAFile
    {EBody::Refused, 0, nullptr, kNone, ERefusal::Result, 0},
    // kFTP_msgListFiles
    {EBody::DirString, Packet::ListFiles::kFixed, &TVantryHostSession::ServeListFiles, kNone, ERefusal::Result, 0},
    // kFTP_msgAVol
    {EBody::Refused, 0, nullptr, kNone, ERefusal::Result, 0},
    // kFTP_msgListVols
    {EBody::None, 0, &TVantryHostSession::ServeListVols, kNone, ERefusal::Result, 0},
    // kFTP_msgAbort
    {EBody::None, 0, &TVantryHostSession::ServeAbort, kNone, ERefusal::Result, 0},
    // kFTP_msgEndData
    {EBody::None, 0, &TVantryHostSession::ServeEndData, kNone, ERefusal::Result, 0},
    // kFTP_msgResult
    {EBody::Refused, 0, nullptr, kNone, ERefusal::Result, 0},
};

// Serves the queued requests in order until one is still replying, then reads the next request
// when the session may.
TVantryHostSession::EStep TVantryHostSession::Pump()
{
    while (!m_bReplying && !m_queue.empty()) {
        m_request = std::move(m_queue.front());
        m_queue.pop_front();
        m_nQueuedBytes -= m_request.body.size() + 1;
        switch (ServeRequest()) {
        case EStep::Pending: m_bReplying = true; break;
        case EStep::Served: break;
        case EStep::Stop: return EStep::Stop;
        }
    }
    if (!m_bReading && MayReadAhead())
        return PostNextMessageRead();
    return EStep::Pending;
}

// A pipelined session reads ahead while the queue has room. Otherwise one request at a time:
// the next is read once this one is answered, or, while a fork goes out, so that an abort can
// come in.
bool TVantryHostSession::MayReadAhead() const
{
    if (m_bPipelining)
        return m_queue.size() < kReadAheadRequests && m_nQueuedBytes < kReadAheadBytes;
    return m_queue.empty() && (!m_bReplying || (m_send.Sending() && !m_send.AbortRequested()));
}

TVantryHostSession::EStep TVantryHostSession::ServeRequest()
{
    const TRequestKind& kind = s_requests[m_request.nCode - kFTP_msgNoOp];
    if (kind.nPrivilegeBit != kNone && !May(kind.nPrivilegeBit))
        return Refuse(kind);
    return (this->*kind.pServe)();
}

TVantryHostSession::EStep TVantryHostSession::Refuse(const TRequestKind& kind)
{
    const char* pszCause = kind.nPrivilegeBit == kPrivilegeBitRead    ? "no read privilege"
                           : kind.nPrivilegeBit == kPrivilegeBitWrite ? "no write privilege"
                                                                      : "no remove privilege";
    const std::int16_t nResult = kind.eRefusal == ERefusal::AbortCode ? 0 : kind.nRefusal;
    Report(OperationOutcome(kind.eOperation, EHostOutcome::Refused, RequestPath(kind.nVolume), pszCause, nResult));
    switch (kind.eRefusal) {
    case ERefusal::Result: return WriteResult(kind.nRefusal);
    case ERefusal::AbortCode: return WriteCode(kFTP_msgAbort);
    case ERefusal::FailUpload:
        if (m_upload.Receiving())
            ReportUploadEnd(EHostOutcome::Aborted, "another file was opened before the end of its data");
        DiscardIncomingFile();
        m_upload.Fail(kind.nRefusal);
        return EStep::Served;
    }
    return EStep::Stop;
}

// The completion of a reply's last write.
TVantryHostSession::EStep TVantryHostSession::OnReplyDone()
{
    m_bReplying = false;
    return Pump();
}

TVantryHostSession::EStep TVantryHostSession::ServeNoOp()
{
    return EStep::Served;
}

TVantryHostSession::EStep TVantryHostSession::ServeNewMessages()
{
    using namespace Packet;
    const bool bQuery1 = Block()[0] == NewMessages::kSubCodeQuery;
    const std::uint16_t nLength = bQuery1 ? NewMessagesAnswer::kLengthQuery1 : NewMessagesAnswer::kLengthQuery3;
    TPacketWriter answer(m_pSend, kBufferSize);
    answer.Zero(0, nLength);
    answer.Byte(kCode, CodeByte(kFTP_msgNewMessages));
    answer.Byte(NewMessagesAnswer::kKind, bQuery1 ? NewMessagesAnswer::kKindQuery1 : NewMessagesAnswer::kKindQuery3);
    return Write(m_pSend, nLength, &Completion<&TVantryHostSession::OnReplyDone>);
}

TVantryHostSession::EStep TVantryHostSession::ServeVersion()
{
    m_nGuestVersion = TPacketReader(Block(), 2).WordBE(0);
    return EStep::Served;
}

// Lowers the send block size, never raises it; sizes that leave no room for data are ignored.
TVantryHostSession::EStep TVantryHostSession::ServeDataMsgLen()
{
    const std::uint16_t nLength = TPacketReader(Block(), 2).WordBE(0);
    if (nLength > Packet::ForkData::kHeader && nLength < m_nSendBlockSize)
        m_nSendBlockSize = nLength;
    return EStep::Served;
}

// Not while a fork goes out (the reader ends the fork then): the upload under way ends, and
// with it the empty files created for uploads that will not come now.
TVantryHostSession::EStep TVantryHostSession::ServeAbort()
{
    if (m_upload.Receiving())
        ReportUploadEnd(EHostOutcome::Aborted, kCauseGuestStopped);
    DiscardIncomingFile();
    m_creations.Sweep();
    return WriteResult(kFTP_resOK);
}
