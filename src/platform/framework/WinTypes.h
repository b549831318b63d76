// Fixed-width names for the platform types that the module's interfaces are written in.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using BOOL = int;
using UINT = unsigned int;

inline constexpr BOOL FALSE = 0;
inline constexpr BOOL TRUE = 1;
inline constexpr std::size_t MAX_PATH = 260;       // longest path, terminator included
inline constexpr std::size_t MAX_ELEMENT = 256;    // longest single path element
