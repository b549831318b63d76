#include "LocalTime.h"

namespace {

constexpr std::time_t kSteadyMargin = 24 * 60 * 60;

bool OffsetAt(std::time_t t, long& nOffset)
{
    std::tm tm{};
    if (localtime_r(&t, &tm) == nullptr)
        return false;
    nOffset = tm.tm_gmtoff;
    return true;
}

// The single moment whose local reading is tWall (the fields counted as UTC), when the offset
// around it is steady; false otherwise.
bool SteadyMoment(std::time_t tWall, std::time_t& t)
{
    long nOffset = 0;
    long nCheck = 0;
    if (!OffsetAt(tWall, nOffset))
        return false;
    t = tWall - nOffset;
    return OffsetAt(t, nCheck) && nCheck == nOffset && OffsetAt(t - kSteadyMargin, nCheck) && nCheck == nOffset &&
           OffsetAt(t + kSteadyMargin, nCheck) && nCheck == nOffset;
}

} // namespace

std::time_t LocalMakeTime(const std::tm& fields)
{
    std::tm tm = fields;
    if (fields.tm_isdst < 0) {
        std::tm wall = fields;
        const std::time_t tWall = timegm(&wall);
        std::time_t t = 0;
        if (tWall != static_cast<std::time_t>(-1) && SteadyMoment(tWall, t))
            return t;
    }
    return std::mktime(&tm);
}
