// kFTP_msgReqFork: the data fork as kFTP_msgForkData packets, then kFTP_msgEndData, while the
// next request is read so that a kFTP_msgAbort can end the stream early.
#include "VantryHostSession.h"

#include "PacketBuffer.h"
#include "PacketLayout.h"

TVantryHostSession::EStep TVantryHostSession::ServeReqFork()
{
    using namespace Packet;
    const bool bDataFork = Block()[InBlock(ReqFork::kFork)] == 0;
    // The file being received is the upload's until its end of data: a request for a fork cuts
    // the upload short, and its end of data answers the failure.
    if (m_upload.Receiving())
        FailUpload(kFTP_resCannotCreate, "a file was requested before the end of its data");
    if (!FormPath(BlockVolume(ReqFork::kVolume), Dir(), Name())) {
        Report(OperationOutcome(EHostOperation::Download, EHostOutcome::Refused, RequestPath(ReqFork::kVolume), kCauseNoPath));
        return WriteCode(kFTP_msgAbort);
    }
    if (!bDataFork)
        return WriteCode(kFTP_msgEndData); // resource forks are always empty here
    if (!m_send.Begin(m_szPath)) {
        Report(OperationOutcome(EHostOperation::Download, EHostOutcome::Refused, m_szPath, "no such file, or it cannot be read"));
        return WriteCode(kFTP_msgAbort);
    }
    return SendBlock();
}

// Also the completion of each kFTP_msgForkData write.
TVantryHostSession::EStep TVantryHostSession::SendBlock()
{
    using namespace Packet;
    const UINT nRoom = static_cast<UINT>(m_nSendBlockSize - ForkData::kHeader);
    const UINT nRead = m_send.ReadBlock(m_pSend + ForkData::kData, nRoom);
    if (nRead == 0)
        return EndFork();
    TPacketWriter packet(m_pSend, kBufferSize);
    packet.Byte(kCode, CodeByte(kFTP_msgForkData));
    packet.WordBE(ForkData::kDataLength, static_cast<std::uint16_t>(nRead));
    return Write(m_pSend, static_cast<std::uint16_t>(nRead + ForkData::kHeader), &Completion<&TVantryHostSession::SendBlock>);
}

// A fork that went out whole ends with kFTP_msgEndData; one the guest stopped, or one the file
// could not fill, ends with kFTP_msgAbort, so the guest keeps nothing of it.
TVantryHostSession::EStep TVantryHostSession::EndFork()
{
    const std::string strPath = m_send.Path();
    const std::uint64_t nSent = m_send.BytesSent();
    switch (m_send.End()) {
    case THostForkSend::EEnd::Complete:
        Report(OperationDone(EHostOperation::Download, strPath, nSent));
        return WriteCode(kFTP_msgEndData);
    case THostForkSend::EEnd::Aborted:
        Report(OperationOutcome(EHostOperation::Download, EHostOutcome::Aborted, strPath, kCauseGuestStopped, 0, nSent));
        return WriteCode(kFTP_msgAbort);
    case THostForkSend::EEnd::ReadFailed:
        Notice("sending " + strPath + " failed: the file could not be read to its end");
        Report(OperationOutcome(EHostOperation::Download, EHostOutcome::Failed, strPath, "the file could not be read to its end", 0, nSent));
        return WriteCode(kFTP_msgAbort);
    }
    return EStep::Stop;
}
