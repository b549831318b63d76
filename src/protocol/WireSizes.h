// File sizes in the 32-bit size fields of the wire. A size that such a field cannot hold is sent
// as 0xFFFFFFFF, never cut to its low bits, so that nothing looks smaller than it is. Once both
// ends agreed on large sizes in the handshake, a listing's entries and the file information
// carry the size's high 32 bits in a field of their own, and sizes are exact.
#pragma once

#include "PacketBuffer.h"

#include <cstddef>
#include <cstdint>

inline constexpr std::uint32_t kWireSizeUnknown = 0xFFFFFFFF;

// The 32-bit field alone.
inline std::uint32_t SaturatedWireSize(std::uint64_t nSize)
{
    return nSize > kWireSizeUnknown ? kWireSizeUnknown : static_cast<std::uint32_t>(nSize);
}

// Writes a size into its field and, with large sizes, its high word into nHighOffset. Without
// large sizes the high word's field is left as it is (zero).
inline void WriteWireSize(TPacketWriter& packet, std::size_t nOffset, std::size_t nHighOffset, std::uint64_t nSize,
                          bool bLargeSizes)
{
    if (!bLargeSizes) {
        packet.DWordBE(nOffset, SaturatedWireSize(nSize));
        return;
    }
    packet.DWordBE(nOffset, static_cast<std::uint32_t>(nSize));
    packet.DWordBE(nHighOffset, static_cast<std::uint32_t>(nSize >> 32));
}

// The size that WriteWireSize wrote; the high word's field is read only with large sizes.
inline std::uint64_t ReadWireSize(const TPacketReader& packet, std::size_t nOffset, std::size_t nHighOffset,
                                  bool bLargeSizes)
{
    const std::uint64_t nLow = packet.DWordBE(nOffset);
    return bLargeSizes ? (std::uint64_t{packet.DWordBE(nHighOffset)} << 32) | nLow : nLow;
}
