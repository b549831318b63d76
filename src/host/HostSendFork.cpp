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
    if (!FormPath(BlockVolume(ReqFork::kVolume), Dir(), Name()))
        return WriteCode(kFTP_msgAbort);
    if (!bDataFork)
        return WriteCode(kFTP_msgEndData); // resource forks are always empty here
    if (!m_send.Begin(m_szPath))
        return WriteCode(kFTP_msgAbort);
    return SendBlock();
}

// Also the completion of each kFTP_msgForkData write.
TVantryHostSession::EStep TVantryHostSession::SendBlock()
{
    using namespace Packet;
    const UINT nRoom = static_cast<UINT>(m_nSendBlockSize - ForkData::kHeader);
    const UINT nRead = m_send.ReadBlock(m_pSend + ForkData::kData, nRoom);
    if (nRead == 0)
        return WriteCode(m_send.End() ? kFTP_msgAbort : kFTP_msgEndData);
    TPacketWriter packet(m_pSend, kBufferSize);
    packet.Byte(kCode, CodeByte(kFTP_msgForkData));
    packet.WordBE(ForkData::kDataLength, static_cast<std::uint16_t>(nRead));
    return Write(m_pSend, static_cast<std::uint16_t>(nRead + ForkData::kHeader), &Completion<&TVantryHostSession::SendBlock>);
}
