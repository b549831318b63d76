#include "RateMeter.h"

#include <algorithm>
#include <chrono>

std::uint32_t SteadyMilliTicks()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

TRateMeter::TRateMeter(TMilliClock clock) : m_clock(std::move(clock)) {}

void TRateMeter::Start(std::uint64_t total)
{
    m_total = total;
    m_startTick = m_lastTick = m_clock();
    m_samples = 0;
    m_lastBytes = 0;
    m_fill = 0;
    m_cycle = 0;
}

std::optional<std::int64_t> TRateMeter::Sample(std::uint64_t bytesDone)
{
    const std::uint32_t now = m_clock();
    if (now == m_lastTick)
        return std::nullopt;

    ++m_samples;
    const std::uint32_t elapsed = now - m_lastTick;
    m_lastTick = now;
    // A count that went backwards (a restarted file) contributes no speed rather than a huge one.
    const std::uint64_t delta = bytesDone >= m_lastBytes ? bytesDone - m_lastBytes : 0;
    m_lastBytes = bytesDone;

    const float rate = static_cast<float>(static_cast<double>(delta) / (elapsed / 1000.0));
    if (m_fill == 0) {
        std::fill(std::begin(m_history), std::end(m_history), rate);
    } else {
        std::copy(std::begin(m_history) + 1, std::end(m_history), std::begin(m_history));
        m_history[kHistory - 1] = rate;
    }
    m_fill = std::min(m_fill + 1, kHistory);

    m_cycle = m_cycle == kCycle ? 0 : m_cycle + 1;
    if (m_cycle != kCycle)
        return std::nullopt;

    // Measured in 64 bits: a 32-bit product of milliseconds and 1000 wraps after 71 minutes.
    const std::uint32_t sinceStart = now - m_startTick;
    if (static_cast<std::uint64_t>(sinceStart) * 1000 < 20)
        return std::nullopt;

    const double average = static_cast<double>(bytesDone) / (sinceStart / 1000.0);
    double weighted = 0;
    for (int i = 0; i < kHistory; ++i)
        weighted += i * static_cast<double>(m_history[i]);
    weighted /= 45.0;
    const int n = m_samples / 10;
    const double blended = (n * average + 3 * weighted) / (n + 3);
    // No speed measured yet means no estimate instead of a division by zero.
    if (!(blended > 0))
        return std::nullopt;
    const double left = bytesDone < m_total ? static_cast<double>(m_total - bytesDone) : 0.0;
    return static_cast<std::int64_t>(left / blended);
}

std::uint64_t TRateMeter::RateBytesPerSecond(std::uint64_t bytesDone) const
{
    if (m_lastTick == m_startTick)
        return 0;
    return (bytesDone / (m_lastTick - m_startTick)) * 1000;
}

double TRateMeter::MegabytesToSend(std::uint64_t bytesDone) const
{
    const std::uint64_t left = bytesDone < m_total ? m_total - bytesDone : 0;
    return static_cast<double>(left) / 1000000.0;
}
