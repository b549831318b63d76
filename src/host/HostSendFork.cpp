// kFTP_msgReqFork: the data fork as kFTP_msgForkData packets, then kFTP_msgEndData, while one
// message read stays outstanding so that a kFTP_msgAbort can end the stream early.
#include "VantryHostSession.h"

#include "PacketBuffer.h"
#include "OVFile32.h"
#include "PacketLayout.h"

bool TVantryHostSession::ServeReqFork()
{
    using namespace Packet;
    const bool bDataFork = m_pReceive[InBlock(ReqFork::kFork)] == 0;
    // The file object is the upload's until its end of data: a request for a fork cuts the
    // upload short, and its end of data answers the failure.
    if (m_bReceiving)
        FailUpload(kFTP_resCannotCreate, "a file was requested before the end of its data");
    if (!FormPath(BlockVolume(ReqFork::kVolume), m_pszDir, m_pszName) || !MayRead()) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Download, EHostOutcome::Refused, std::string(m_pszDir) + m_pszName, MayRead() ? "no such volume, or the path is too long" : "no read privilege"));
        return WriteCode(kFTP_msgAbort);
    }
    if (!bDataFork)
        return WriteCode(kFTP_msgEndData); // resource forks are always empty here
    if (!m_file.TryOpen(m_szPath, CFile::modeRead | CFile::shareDenyWrite) &&
        !m_file.TryOpen(m_szPath, CFile::modeRead | CFile::shareDenyNone)) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Download, EHostOutcome::Refused, m_szPath, "no such file, or it cannot be read"));
        return WriteCode(kFTP_msgAbort);
    }
    m_bAbort = false;
    m_bSending = true;
    return SendBlock() && PostNextMessageRead();
}

// Also the completion of each kFTP_msgForkData write.
bool TVantryHostSession::SendBlock()
{
    using namespace Packet;
    const UINT nRoom = static_cast<UINT>(m_nSendBlockSize - ForkData::kHeader);
    const UINT nRead = m_bAbort ? 0 : m_file.TryRead(m_pSend + ForkData::kData, nRoom);
    if (nRead == 0) {
        m_pTable->ReportOperation(m_hConnection, OperationOutcome(EHostOperation::Download, m_bAbort ? EHostOutcome::Aborted : EHostOutcome::Done, m_szPath, m_bAbort ? "stopped by the guest" : "", 0, GetPosition64(m_file.m_hFile32)));
        CloseOutgoingFile();
        const bool bAborted = m_bAbort;
        m_bAbort = false;
        if (bAborted)
            return WriteCode(kFTP_msgAbort);
        // The next message read is already outstanding.
        m_pSend[kCode] = CodeByte(kFTP_msgEndData);
        return Write(m_pSend, 1, &WriteOSErrCompletion);
    }
    TPacketWriter packet(m_pSend, kBufferSize);
    packet.Byte(kCode, CodeByte(kFTP_msgForkData));
    packet.WordBE(ForkData::kDataLength, static_cast<std::uint16_t>(nRead));
    return Write(m_pSend, static_cast<std::uint16_t>(nRead + ForkData::kHeader), &Completion<&TVantryHostSession::SendBlock>);
}

void TVantryHostSession::CloseOutgoingFile()
{
    if (!m_bSending)
        return;
    m_file.TryClose();
    m_szPath[0] = '\0';
    m_bSending = false;
}
