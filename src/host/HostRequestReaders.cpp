// Reading requests off the stream: the code byte, then the body its kind names, taken whole
// so that none of its bytes is ever read as a code; a complete request joins the queue.
#include "VantryHostSession.h"

#include "OVCore.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"

#include <algorithm>

TVantryHostSession::EStep TVantryHostSession::PostNextMessageRead()
{
    m_bReading = true;
    return Read(m_pReceive, 1, &VantryMessageCompletion);
}

TVantryHostSession::EStep TVantryHostSession::Dispatch()
{
    const std::uint8_t nByte = m_pReceive[Packet::kCode];
    const int nIndex = MessageIndex(nByte);
    if (nIndex < 0)
        return EStep::Stop;
    const std::int32_t nCode = static_cast<std::int8_t>(nByte);
    if (m_send.Sending()) {
        // An abort ends the fork going out (the send chain writes kFTP_msgAbort in place of
        // the next block) and has no reply of its own; a no-op needs none either.
        if (nCode == kFTP_msgAbort || nCode == kFTP_msgNoOp) {
            if (nCode == kFTP_msgAbort)
                m_send.RequestAbort();
            m_bReading = false;
            return Pump();
        }
        // Unless the guest reads replies in order, any other reply would land between the
        // data packets.
        if (!m_bPipelining)
            return EStep::Stop;
    }
    m_incoming = THostRequest{};
    m_incoming.nCode = nCode;
    const TRequestKind& kind = s_requests[nIndex];
    switch (kind.eBody) {
    case EBody::Refused: return EStep::Stop;
    case EBody::None: return RequestComplete();
    case EBody::Fixed: return Read(m_pReceive, kind.nBlock, &Completion<&TVantryHostSession::OnBodyRead>);
    case EBody::NewMessages: return Read(m_pReceive, 1, &Completion<&TVantryHostSession::OnNewMessagesSubCode>);
    case EBody::Names:
        return Read(m_pReceive, static_cast<std::uint16_t>(kind.nBlock + 1), &Completion<&TVantryHostSession::OnNamesBlockRead>);
    case EBody::DirString: return Read(m_pReceive, kind.nBlock, &Completion<&TVantryHostSession::OnDirBlockRead>);
    case EBody::ForkData: return Read(m_pReceive, 2, &Completion<&TVantryHostSession::OnForkDataLengthRead>);
    }
    return EStep::Stop;
}

const TVantryHostSession::TRequestKind& TVantryHostSession::IncomingKind() const
{
    return s_requests[m_incoming.nCode - kFTP_msgNoOp];
}

TVantryHostSession::EStep TVantryHostSession::OnBodyRead()
{
    m_incoming.body.assign(m_pReceive, m_pReceive + IncomingKind().nBlock);
    return RequestComplete();
}

// Sub-codes other than 1 and 3 stop the session before the rest is read.
TVantryHostSession::EStep TVantryHostSession::OnNewMessagesSubCode()
{
    using namespace Packet;
    if (m_pReceive[0] != NewMessages::kSubCodeQuery && m_pReceive[0] != NewMessages::kSubCodeQuery3)
        return EStep::Stop;
    return Read(m_pReceive + 1, NewMessages::kTailLength, &Completion<&TVantryHostSession::OnBodyRead>);
}

// Requests with names: the fixed block and the name's length, the name and the directory
// string's length, then the directory string.
TVantryHostSession::EStep TVantryHostSession::OnNamesBlockRead()
{
    const std::size_t nBlock = IncomingKind().nBlock;
    const std::uint8_t nNameLength = m_pReceive[nBlock];
    return Read(m_pReceive + nBlock + 1, static_cast<std::uint16_t>(nNameLength + 1), &Completion<&TVantryHostSession::OnNameRead>);
}

TVantryHostSession::EStep TVantryHostSession::OnNameRead()
{
    const std::size_t nBlock = IncomingKind().nBlock;
    m_incoming.nNameOffset = nBlock;
    m_incoming.nDirOffset = nBlock + 1 + m_pReceive[nBlock];
    return ReadDirString();
}

// kFTP_msgListFiles: a block that ends in the directory string's length, then the string.
TVantryHostSession::EStep TVantryHostSession::OnDirBlockRead()
{
    m_incoming.nDirOffset = m_incoming.nNameOffset = Packet::InBlock(Packet::ListFiles::kDirString);
    return ReadDirString();
}

// The directory string ends every request with strings; its length byte is in.
TVantryHostSession::EStep TVantryHostSession::ReadDirString()
{
    const std::uint8_t nDirLength = m_pReceive[m_incoming.nDirOffset];
    if (nDirLength == 0)
        return OnStringsRead();
    return Read(m_pReceive + m_incoming.nDirOffset + 1, nDirLength, &Completion<&TVantryHostSession::OnStringsRead>);
}

TVantryHostSession::EStep TVantryHostSession::OnStringsRead()
{
    const std::size_t nEnd = m_incoming.nDirOffset + 1 + m_pReceive[m_incoming.nDirOffset];
    if (IncomingKind().eBody == EBody::Names)
        Pascal2C(m_pReceive + m_incoming.nNameOffset, reinterpret_cast<char*>(m_pReceive + m_incoming.nNameOffset));
    Pascal2C(m_pReceive + m_incoming.nDirOffset, reinterpret_cast<char*>(m_pReceive + m_incoming.nDirOffset));
    m_incoming.body.assign(m_pReceive, m_pReceive + nEnd);
    return RequestComplete();
}

// Incoming fork data: a data block is taken off the stream whole, one buffer at a time.
TVantryHostSession::EStep TVantryHostSession::OnForkDataLengthRead()
{
    m_nIncomingRemaining = TPacketReader(m_pReceive, 2).WordBE(0);
    m_incoming.body.reserve(m_nIncomingRemaining);
    return ReadNextForkDataChunk();
}

TVantryHostSession::EStep TVantryHostSession::ReadNextForkDataChunk()
{
    if (m_nIncomingRemaining == 0)
        return RequestComplete();
    m_nIncomingChunk = static_cast<std::uint16_t>(std::min<std::uint32_t>(m_nIncomingRemaining, m_nReceiveLimit));
    m_nIncomingRemaining -= m_nIncomingChunk;
    return Read(m_pReceive, m_nIncomingChunk, &Completion<&TVantryHostSession::OnForkDataChunkRead>);
}

TVantryHostSession::EStep TVantryHostSession::OnForkDataChunkRead()
{
    m_incoming.body.insert(m_incoming.body.end(), m_pReceive, m_pReceive + m_nIncomingChunk);
    return ReadNextForkDataChunk();
}

TVantryHostSession::EStep TVantryHostSession::RequestComplete()
{
    m_bReading = false;
    m_incoming.bPipelined = m_bReplying || !m_queue.empty();
    m_nQueuedBytes += m_incoming.body.size() + 1;
    m_queue.push_back(std::move(m_incoming));
    return Pump();
}
