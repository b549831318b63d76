// The words of a copy's progress on a terminal: byte counts in human units, the rate, the time
// remaining and the closing summary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// "0 B", "999 B", "1.0 kB", "12.3 MB", "4.29 GB": decimal units, three significant digits.
std::string HumanBytes(std::uint64_t nBytes);
// Megabytes (10^6 bytes) per second over nMs milliseconds: "12.3 MB/s"; "- MB/s" before any time passed.
std::string RateText(std::uint64_t nBytes, std::uint64_t nMs);
// "0:07", "12:34", "1:02:03".
std::string ClockText(std::uint64_t nSeconds);

struct TProgressState {
    std::string strItem;                    // the file being copied, as the user knows it
    std::uint64_t nDone = 0;
    std::uint64_t nTotal = 0;
    std::uint64_t nElapsedMs = 0;
    std::optional<std::uint64_t> remaining; // seconds, once an estimate exists
};

// "name  12.3 MB / 45.0 MB  27%  5.2 MB/s  0:06 left", cut to nWidth columns (the name gives way first).
std::string ProgressLine(const TProgressState& state, std::size_t nWidth);
// "3 files, 12.3 MB in 0:02 (5.2 MB/s)".
std::string SummaryLine(std::uint64_t nFiles, std::uint64_t nBytes, std::uint64_t nElapsedMs);
