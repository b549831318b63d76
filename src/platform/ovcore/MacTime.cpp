#include "MacTime.h"

#include "LocalTime.h"
#include "OVCore.h"

#include <algorithm>
#include <cstdint>
#include <ctime>

namespace {

constexpr std::int64_t kFileTimeTicksPerSecond = 10'000'000;
constexpr std::int64_t kFileTimeTo1970 = 11'644'473'600; // seconds from 1601 to 1970

// A Mac time counts the local wall clock; these move between a moment (seconds since 1970 UTC)
// and the same wall-clock reading counted as if it were UTC.
std::int64_t LocalSecondsOf(std::time_t tMoment)
{
    std::tm tm{};
    if (!localtime_r(&tMoment, &tm))
        return tMoment;
    return timegm(&tm);
}

std::time_t MomentOfLocalSeconds(std::int64_t nLocal)
{
    const std::time_t t = static_cast<std::time_t>(nLocal);
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return t;
    tm.tm_isdst = -1;
    return LocalMakeTime(tm);
}

DWORD MacTimeOfMoment(std::time_t tMoment)
{
    const std::int64_t nMac = LocalSecondsOf(tMoment) + kMacTimeTo1970;
    return OVMacTimeToWireOrder(static_cast<DWORD>(std::clamp<std::int64_t>(nMac, 0, UINT32_MAX)));
}

} // namespace

DWORD OVMacTimeToHostOrder(DWORD dwWireOrder) { return OVSwapDWord(dwWireOrder); }
DWORD OVMacTimeToWireOrder(DWORD dwHostOrder) { return OVSwapDWord(dwHostOrder); }

void OVConvertCTimeToMacTime(const CTime* pTime, DWORD* pMacTime) { *pMacTime = MacTimeOfMoment(pTime->GetTime()); }

void OVConvertMacTimeToFileTime(DWORD dwMacTime, FILETIME* pFileTime)
{
    const std::int64_t nLocal = std::int64_t(OVMacTimeToHostOrder(dwMacTime)) - kMacTimeTo1970;
    const std::int64_t nTicks = (std::int64_t(MomentOfLocalSeconds(nLocal)) + kFileTimeTo1970) * kFileTimeTicksPerSecond;
    const auto nFileTime = static_cast<std::uint64_t>(std::max<std::int64_t>(nTicks, 0));
    pFileTime->dwLowDateTime = static_cast<DWORD>(nFileTime);
    pFileTime->dwHighDateTime = static_cast<DWORD>(nFileTime >> 32);
}

void OVConvertFileTimeToMacTime(const FILETIME* pFileTime, DWORD* pMacTime)
{
    const std::uint64_t nTicks = (std::uint64_t(pFileTime->dwHighDateTime) << 32) | pFileTime->dwLowDateTime;
    const auto tMoment = static_cast<std::time_t>(std::int64_t(nTicks / kFileTimeTicksPerSecond) - kFileTimeTo1970);
    *pMacTime = MacTimeOfMoment(tMoment);
}
