// One request of the guest, read off the stream whole: its code and the bytes after the code,
// laid out as they arrived (a fixed block at offset 0; for a request with names, the file name
// and the directory string after it, already turned into terminated strings in place).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct THostRequest {
    std::int32_t nCode = 0;
    std::vector<std::uint8_t> body;
    std::size_t nNameOffset = 0; // where the terminated file name starts (requests with names)
    std::size_t nDirOffset = 0;  // where the terminated directory string starts
    // Read while an earlier request was still unanswered (only in a pipelined session).
    bool bPipelined = false;
};
