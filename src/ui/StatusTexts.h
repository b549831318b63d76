// The rate and remaining-time texts of the transfer status window, paced to one change every 3 s.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

class TRateMeter;

struct TStatusTextChange {
    std::optional<std::string> rate;       // new text for the rate line, if it changes
    std::optional<std::string> remaining;  // new text for the remaining-time line, if it changes
};

class TStatusTexts {
public:
    static constexpr std::uint32_t kTextIntervalMs = 3000;
    static constexpr std::uint32_t kEstimateAfterMs = 20000;

    explicit TStatusTexts(TRateMeter& meter) : m_meter(meter) {}

    // Feeds the cumulative bytes done to the meter and says which texts change.
    TStatusTextChange Update(std::uint64_t bytesDone);

    // The remaining-time text for an estimate of `secs` seconds, or none when the text stays.
    static std::optional<std::string> RemainingText(std::int64_t secs, double megabytes);

private:
    TRateMeter& m_meter;
    std::uint32_t m_lastTextUpdate = 0;
};
