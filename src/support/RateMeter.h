// Transfer rate and remaining-time estimator fed with cumulative byte counts.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

// A millisecond tick source; wraps around like a 32-bit tick count.
using TMilliClock = std::function<std::uint32_t()>;

// The process's monotonic millisecond tick.
std::uint32_t SteadyMilliTicks();

class TRateMeter {
public:
    static constexpr int kHistory = 10;
    // Samples between two estimates: the first estimate comes with the 12th sample.
    static constexpr int kCycle = 12;

    explicit TRateMeter(TMilliClock clock = SteadyMilliTicks);

    // Starts a copy of `total` bytes now.
    void Start(std::uint64_t total);

    // Takes one sample of the cumulative bytes done and returns the estimated seconds
    // remaining when this sample produces an estimate.
    std::optional<std::int64_t> Sample(std::uint64_t bytesDone);

    // Average bytes per second from the start to the last sample with `bytesDone` done
    // (counted in whole bytes per millisecond); 0 before any time has passed.
    std::uint64_t RateBytesPerSecond(std::uint64_t bytesDone) const;
    // Megabytes (10^6 bytes) still to send with `bytesDone` done.
    double MegabytesToSend(std::uint64_t bytesDone) const;
    // Milliseconds from the start to the last sample.
    std::uint32_t ElapsedMs() const { return m_lastTick - m_startTick; }
    int Samples() const { return m_samples; }

private:
    TMilliClock m_clock;
    int m_samples = 0;
    std::uint32_t m_startTick = 0;
    std::uint32_t m_lastTick = 0;
    std::uint64_t m_total = 0;
    std::uint64_t m_lastBytes = 0;
    int m_fill = 0;
    float m_history[kHistory] = {};
    int m_cycle = 0;
};
