#include "PacketBuffer.h"

#include "Exceptions.h"

#include <algorithm>
#include <cstring>

void TPacketWriter::Check(std::size_t nOffset, std::size_t nLength) const
{
    if (nOffset > m_nCapacity || nLength > m_nCapacity - nOffset)
        throw CMemoryException();
}

void TPacketWriter::Byte(std::size_t nOffset, std::uint8_t n)
{
    Check(nOffset, 1);
    m_pBuffer[nOffset] = n;
}

void TPacketWriter::WordBE(std::size_t nOffset, std::uint16_t n)
{
    Check(nOffset, 2);
    m_pBuffer[nOffset] = static_cast<std::uint8_t>(n >> 8);
    m_pBuffer[nOffset + 1] = static_cast<std::uint8_t>(n);
}

void TPacketWriter::WordLE(std::size_t nOffset, std::uint16_t n)
{
    Check(nOffset, 2);
    m_pBuffer[nOffset] = static_cast<std::uint8_t>(n);
    m_pBuffer[nOffset + 1] = static_cast<std::uint8_t>(n >> 8);
}

void TPacketWriter::DWordBE(std::size_t nOffset, std::uint32_t n)
{
    Check(nOffset, 4);
    for (int i = 0; i < 4; ++i)
        m_pBuffer[nOffset + i] = static_cast<std::uint8_t>(n >> (24 - 8 * i));
}

void TPacketWriter::Bytes(std::size_t nOffset, const void* pData, std::size_t nLength)
{
    Check(nOffset, nLength);
    if (nLength)
        std::memcpy(m_pBuffer + nOffset, pData, nLength);
}

void TPacketWriter::Zero(std::size_t nOffset, std::size_t nLength)
{
    Check(nOffset, nLength);
    std::memset(m_pBuffer + nOffset, 0, nLength);
}

std::size_t TPacketWriter::Pascal(std::size_t nOffset, std::string_view s)
{
    const std::size_t nLen = std::min<std::size_t>(s.size(), 255);
    Check(nOffset, nLen + 1);
    m_pBuffer[nOffset] = static_cast<std::uint8_t>(nLen);
    if (nLen)
        std::memcpy(m_pBuffer + nOffset + 1, s.data(), nLen);
    return nOffset + 1 + nLen;
}

void TPacketReader::Check(std::size_t nOffset, std::size_t nLength) const
{
    if (nOffset > m_nLength || nLength > m_nLength - nOffset)
        throw CMemoryException();
}

std::uint8_t TPacketReader::Byte(std::size_t nOffset) const
{
    Check(nOffset, 1);
    return m_pBuffer[nOffset];
}

std::uint16_t TPacketReader::WordBE(std::size_t nOffset) const
{
    Check(nOffset, 2);
    return static_cast<std::uint16_t>((m_pBuffer[nOffset] << 8) | m_pBuffer[nOffset + 1]);
}

std::uint16_t TPacketReader::WordLE(std::size_t nOffset) const
{
    Check(nOffset, 2);
    return static_cast<std::uint16_t>(m_pBuffer[nOffset] | (m_pBuffer[nOffset + 1] << 8));
}

std::uint32_t TPacketReader::DWordBE(std::size_t nOffset) const
{
    Check(nOffset, 4);
    std::uint32_t n = 0;
    for (int i = 0; i < 4; ++i)
        n = (n << 8) | m_pBuffer[nOffset + i];
    return n;
}

std::string_view TPacketReader::Pascal(std::size_t nOffset) const
{
    const std::size_t nLen = Byte(nOffset);
    Check(nOffset + 1, nLen);
    return {reinterpret_cast<const char*>(m_pBuffer + nOffset + 1), nLen};
}
