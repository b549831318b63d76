// The message dispatcher and the handlers that need no file system.
#include "VantryHostSession.h"

#include "OVFile32.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"

const TVantryHostSession::Step TVantryHostSession::s_handlers[kFTP_msgCount] = {
    &TVantryHostSession::HandleNoOp,        // kFTP_msgNoOp
    &TVantryHostSession::HandleNewMessages, // kFTP_msgNewMessages
    &TVantryHostSession::HandleVersion,     // kFTP_msgVersion
    &TVantryHostSession::HandleDataMsgLen,  // kFTP_msgDataMsgLen
    &TVantryHostSession::HandleMakeFolder,  // kFTP_msgMakeFolder
    &TVantryHostSession::HandleSetInfo,     // kFTP_msgSetInfo
    &TVantryHostSession::HandleRemove,      // kFTP_msgRemove
    &TVantryHostSession::HandleCreate,      // kFTP_msgCreate
    &TVantryHostSession::HandleForkData,    // kFTP_msgForkData
    &TVantryHostSession::HandleOpenFork,    // kFTP_msgOpenFork
    &TVantryHostSession::HandleReqFork,     // kFTP_msgReqFork
    &TVantryHostSession::Refuse,            // kFTP_msgFileInfo
    &TVantryHostSession::HandleGetInfo,     // kFTP_msgGetInfo
    &TVantryHostSession::Refuse,            // kFTP_msgAFile
    &TVantryHostSession::HandleListFiles,   // kFTP_msgListFiles
    &TVantryHostSession::Refuse,            // kFTP_msgAVol
    &TVantryHostSession::HandleListVols,    // kFTP_msgListVols
    &TVantryHostSession::HandleAbort,       // kFTP_msgAbort
    &TVantryHostSession::HandleEndData,     // kFTP_msgEndData
    &TVantryHostSession::Refuse,            // kFTP_msgResult
};

bool TVantryHostSession::Dispatch()
{
    const std::uint8_t nByte = m_pReceive[Packet::kCode];
    m_nCode = static_cast<std::int8_t>(nByte);
    const int nIndex = MessageIndex(nByte);
    if (nIndex < 0)
        return false;
    // While a fork goes out only an abort (or a no-op) may come in: any reply would be written
    // between the data packets, in the buffer they are sent from.
    if (m_bSending && m_nCode != kFTP_msgAbort && m_nCode != kFTP_msgNoOp)
        return false;
    return (this->*s_handlers[nIndex])();
}

// Codes that only a host sends.
bool TVantryHostSession::Refuse()
{
    return false;
}

bool TVantryHostSession::HandleNoOp()
{
    return PostNextMessageRead();
}

bool TVantryHostSession::HandleNewMessages()
{
    return Read(m_pReceive, 1, &Completion<&TVantryHostSession::OnNewMessagesSubCode>);
}

bool TVantryHostSession::OnNewMessagesSubCode()
{
    using namespace Packet;
    TPacketWriter answer(m_pSend, kBufferSize);
    switch (m_pReceive[0]) {
    case NewMessages::kSubCodeQuery:
        m_nNewMessagesLength = NewMessagesAnswer::kLengthQuery1;
        answer.Zero(0, m_nNewMessagesLength);
        answer.Byte(NewMessagesAnswer::kKind, NewMessagesAnswer::kKindQuery1);
        break;
    case NewMessages::kSubCodeQuery3:
        m_nNewMessagesLength = NewMessagesAnswer::kLengthQuery3;
        answer.Zero(0, m_nNewMessagesLength);
        answer.Byte(NewMessagesAnswer::kKind, NewMessagesAnswer::kKindQuery3);
        break;
    default:
        return false;
    }
    answer.Byte(kCode, CodeByte(kFTP_msgNewMessages));
    return Read(m_pReceive, NewMessages::kTailLength, &Completion<&TVantryHostSession::OnNewMessagesTail>);
}

bool TVantryHostSession::OnNewMessagesTail()
{
    return Write(m_pSend, m_nNewMessagesLength, &Completion<&TVantryHostSession::PostNextMessageRead>);
}

bool TVantryHostSession::HandleVersion()
{
    return Read(m_pReceive, 2, &Completion<&TVantryHostSession::OnVersionRead>);
}

bool TVantryHostSession::OnVersionRead()
{
    m_nGuestVersion = TPacketReader(m_pReceive, 2).WordBE(0);
    return PostNextMessageRead();
}

bool TVantryHostSession::HandleDataMsgLen()
{
    return Read(m_pReceive, 2, &Completion<&TVantryHostSession::OnDataMsgLenRead>);
}

// Lowers the send block size, never raises it; sizes that leave no room for data are ignored.
bool TVantryHostSession::OnDataMsgLenRead()
{
    const std::uint16_t nLength = TPacketReader(m_pReceive, 2).WordBE(0);
    if (nLength > Packet::ForkData::kHeader && nLength < m_nSendBlockSize)
        m_nSendBlockSize = nLength;
    return PostNextMessageRead();
}

bool TVantryHostSession::HandleAbort()
{
    if (m_bSending) {
        // The send chain ends the fork with kFTP_msgAbort and posts the next message read.
        m_bAbort = true;
        return true;
    }
    if (m_bReceiving)
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Upload, EHostOutcome::Aborted, m_strUploadPath, "stopped by the guest", 0, GetPosition64(m_file.m_hFile32)));
    DiscardIncomingFile();
    return WriteResult(kFTP_resOK);
}
