// Bounds-checked access to a packet in a buffer. Any access past the buffer's end raises
// CMemoryException, which the session's boundary turns into a stop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

class TPacketWriter {
public:
    TPacketWriter(void* pBuffer, std::size_t nCapacity)
        : m_pBuffer(static_cast<std::uint8_t*>(pBuffer)), m_nCapacity(nCapacity) {}

    void Byte(std::size_t nOffset, std::uint8_t n);
    void WordBE(std::size_t nOffset, std::uint16_t n);
    void WordLE(std::size_t nOffset, std::uint16_t n);
    void DWordBE(std::size_t nOffset, std::uint32_t n);
    void Bytes(std::size_t nOffset, const void* pData, std::size_t nLength);
    void Zero(std::size_t nOffset, std::size_t nLength);
    // A Pascal string (length byte, then at most 255 bytes); returns the offset after it.
    std::size_t Pascal(std::size_t nOffset, std::string_view s);

    std::uint8_t* Data() const { return m_pBuffer; }

private:
    void Check(std::size_t nOffset, std::size_t nLength) const;

    std::uint8_t* m_pBuffer;
    std::size_t m_nCapacity;
};

class TPacketReader {
public:
    TPacketReader(const void* pBuffer, std::size_t nLength)
        : m_pBuffer(static_cast<const std::uint8_t*>(pBuffer)), m_nLength(nLength) {}

    std::uint8_t Byte(std::size_t nOffset) const;
    std::uint16_t WordBE(std::size_t nOffset) const;
    std::uint16_t WordLE(std::size_t nOffset) const;
    std::uint32_t DWordBE(std::size_t nOffset) const;
    std::int16_t ResultBE(std::size_t nOffset) const { return static_cast<std::int16_t>(WordBE(nOffset)); }
    // A Pascal string at nOffset; raises when it runs past the end.
    std::string_view Pascal(std::size_t nOffset) const;
    std::size_t Length() const { return m_nLength; }

private:
    void Check(std::size_t nOffset, std::size_t nLength) const;

    const std::uint8_t* m_pBuffer;
    std::size_t m_nLength;
};
