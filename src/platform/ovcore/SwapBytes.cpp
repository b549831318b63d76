#include "OVCore.h"

std::uint16_t OVSwapWord(std::uint16_t w)
{
    return static_cast<std::uint16_t>((w >> 8) | (w << 8));
}

std::uint32_t OVSwapDWord(std::uint32_t dw)
{
    return ((dw & 0xFFu) << 24) | ((dw & 0xFF00u) << 8) | ((dw >> 8) & 0xFF00u) | (dw >> 24);
}
