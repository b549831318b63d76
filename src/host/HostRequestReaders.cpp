// Reading the bodies of requests off the stream; each ends in the Serve step for its code.
#include "VantryHostSession.h"

#include "OVCore.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"

#include <algorithm>

bool TVantryHostSession::ReadNamesRequest(std::uint16_t nBlockLength, Step pFinalStage)
{
    m_pFinalStage = pFinalStage;
    m_nNamesBlockLength = nBlockLength;
    m_pszName = reinterpret_cast<char*>(m_pReceive + nBlockLength);
    m_pszDir = nullptr;
    return Read(m_pReceive, static_cast<std::uint16_t>(nBlockLength + 1),
                &Completion<&TVantryHostSession::OnNamesBlockRead>);
}

bool TVantryHostSession::OnNamesBlockRead()
{
    const std::uint8_t nNameLength = m_pReceive[m_nNamesBlockLength];
    m_pszDir = m_pszName + 1 + nNameLength;
    return Read(m_pszName + 1, static_cast<std::uint16_t>(nNameLength + 1),
                &Completion<&TVantryHostSession::OnNameRead>);
}

bool TVantryHostSession::OnNameRead()
{
    const std::uint8_t nDirLength = static_cast<std::uint8_t>(*m_pszDir);
    if (nDirLength == 0)
        return OnNamesComplete();
    return Read(m_pszDir + 1, nDirLength, &Completion<&TVantryHostSession::OnNamesComplete>);
}

bool TVantryHostSession::OnNamesComplete()
{
    Pascal2C(reinterpret_cast<unsigned char*>(m_pszName), m_pszName);
    Pascal2C(reinterpret_cast<unsigned char*>(m_pszDir), m_pszDir);
    return (this->*m_pFinalStage)();
}

bool TVantryHostSession::HandleMakeFolder()
{
    return ReadNamesRequest(Packet::Names::kMakeFolderBlock, &TVantryHostSession::ServeMakeFolder);
}

bool TVantryHostSession::HandleSetInfo()
{
    return ReadNamesRequest(Packet::Names::kSetInfoBlock, &TVantryHostSession::ServeSetInfo);
}

bool TVantryHostSession::HandleRemove()
{
    return ReadNamesRequest(Packet::Names::kRemoveBlock, &TVantryHostSession::ServeRemove);
}

bool TVantryHostSession::HandleCreate()
{
    return ReadNamesRequest(Packet::Names::kCreateBlock, &TVantryHostSession::ServeCreate);
}

bool TVantryHostSession::HandleOpenFork()
{
    return ReadNamesRequest(Packet::Names::kOpenForkBlock, &TVantryHostSession::ServeOpenFork);
}

bool TVantryHostSession::HandleReqFork()
{
    return ReadNamesRequest(Packet::Names::kReqForkBlock, &TVantryHostSession::ServeReqFork);
}

bool TVantryHostSession::HandleGetInfo()
{
    return ReadNamesRequest(Packet::Names::kGetInfoBlock, &TVantryHostSession::ServeGetInfo);
}

bool TVantryHostSession::HandleListFiles()
{
    m_pszName = nullptr;
    return Read(m_pReceive, Packet::ListFiles::kFixed, &Completion<&TVantryHostSession::OnListFilesBlockRead>);
}

bool TVantryHostSession::OnListFilesBlockRead()
{
    m_pszDir = reinterpret_cast<char*>(m_pReceive + Packet::InBlock(Packet::ListFiles::kDirString));
    const std::uint8_t nDirLength = static_cast<std::uint8_t>(*m_pszDir);
    if (nDirLength == 0)
        return OnListFilesDirRead();
    return Read(m_pszDir + 1, nDirLength, &Completion<&TVantryHostSession::OnListFilesDirRead>);
}

bool TVantryHostSession::OnListFilesDirRead()
{
    Pascal2C(reinterpret_cast<unsigned char*>(m_pszDir), m_pszDir);
    return ServeListFiles();
}

bool TVantryHostSession::HandleListVols()
{
    return ServeListVols();
}

bool TVantryHostSession::HandleEndData()
{
    return ServeEndData();
}

bool TVantryHostSession::HandleForkData()
{
    return Read(m_pReceive, 2, &Completion<&TVantryHostSession::OnForkDataLengthRead>);
}

// A data block is taken off the stream whole, one buffer at a time, so that none of its bytes
// is ever read as a message code.
bool TVantryHostSession::OnForkDataLengthRead()
{
    m_nIncomingRemaining = TPacketReader(m_pReceive, 2).WordBE(0);
    return ReadNextForkDataChunk();
}

bool TVantryHostSession::ReadNextForkDataChunk()
{
    if (m_nIncomingRemaining == 0)
        return ServeForkDataEnd();
    m_nIncomingLength = static_cast<std::uint16_t>(std::min<std::uint32_t>(m_nIncomingRemaining, m_nReceiveLimit));
    m_nIncomingRemaining -= m_nIncomingLength;
    return Read(m_pReceive, m_nIncomingLength, &Completion<&TVantryHostSession::OnForkDataChunkRead>);
}

bool TVantryHostSession::OnForkDataChunkRead()
{
    return ServeForkDataChunk() && ReadNextForkDataChunk();
}
