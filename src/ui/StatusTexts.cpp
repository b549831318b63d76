#include "StatusTexts.h"

#include "RateMeter.h"

#include <cstdarg>
#include <cstdio>

namespace {

std::string Format(const char* format, ...)
{
    char buffer[128];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

}  // namespace

std::optional<std::string> TStatusTexts::RemainingText(std::int64_t secs, double megabytes)
{
    const long long s = secs;
    if (secs <= 0)
        return std::nullopt;
    if (secs < 60)
        return Format("%lld seconds remaining, %3.2f mb", s, megabytes);
    if (secs < 120)
        return Format("1 minute remaining, %3.2f mb", megabytes);
    if (secs < 3600)
        return Format("%lld minutes remaining, %3.2f mb", s / 60, megabytes);
    return Format("%lld hours remaining, %3.2f mb", s / 3600, megabytes);
}

TStatusTextChange TStatusTexts::Update(std::uint64_t bytesDone)
{
    const std::optional<std::int64_t> secs = m_meter.Sample(bytesDone);
    const std::uint64_t rate = m_meter.RateBytesPerSecond(bytesDone);
    const double megabytes = m_meter.MegabytesToSend(bytesDone);
    const std::uint32_t t = m_meter.ElapsedMs();

    TStatusTextChange change;
    if (t - m_lastTextUpdate < kTextIntervalMs)
        return change;
    m_lastTextUpdate = t;

    change.rate = Format("%llu kb/sec", static_cast<unsigned long long>(rate / 1000));
    if (t < kEstimateAfterMs)
        change.remaining = Format("%3.2f mb to send", megabytes);
    else if (secs)
        change.remaining = RemainingText(*secs, megabytes);
    return change;
}
