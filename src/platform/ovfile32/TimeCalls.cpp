#include "LibraryState.h"
#include "LocalTime.h"
#include "OVFile32.h"
#include "TimeConvert.h"

#include <cerrno>

namespace ovf {

namespace {

constexpr long long kFileTimeUnixEpoch = 116444736000000000LL;   // 1970-01-01 in file-time units

bool TmToFields(const std::tm& tm, TimeFields32& fields)
{
    if (tm.tm_year + 1900 < 0 || tm.tm_year + 1900 > 0xFFFF)
        return false;
    fields.wYear = static_cast<WORD>(tm.tm_year + 1900);
    fields.wMonth = static_cast<WORD>(tm.tm_mon + 1);
    fields.wDay = static_cast<WORD>(tm.tm_mday);
    fields.wHour = static_cast<WORD>(tm.tm_hour);
    fields.wMinute = static_cast<WORD>(tm.tm_min);
    fields.wSecond = static_cast<WORD>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    return true;
}

} // namespace

bool UnixToFields(std::time_t t, TimeFields32& fields)
{
    std::tm tm{};
    return localtime_r(&t, &tm) != nullptr && TmToFields(tm, fields);
}

struct timespec TimeToSet(const TimeFields32& fields)
{
    const bool bEmpty = fields.wYear == 0 && fields.wMonth == 0 && fields.wDay == 0 && fields.wHour == 0 &&
                        fields.wMinute == 0 && fields.wSecond == 0;
    std::time_t t = 0;
    if (bEmpty || !FieldsToUnix(fields, t))
        return {0, UTIME_OMIT};
    return {t, 0};
}

bool FieldsToUnix(const TimeFields32& fields, std::time_t& t)
{
    std::tm tm{};
    tm.tm_year = fields.wYear - 1900;
    tm.tm_mon = fields.wMonth - 1;
    tm.tm_mday = fields.wDay;
    tm.tm_hour = fields.wHour;
    tm.tm_min = fields.wMinute;
    tm.tm_sec = fields.wSecond;
    tm.tm_isdst = -1;
    errno = 0;
    t = LocalMakeTime(tm);
    return !(t == static_cast<std::time_t>(-1) && errno != 0);
}

} // namespace ovf

using namespace ovf;

FILETIME OVF_FileTimeFromUnix(std::time_t t, long nNanoseconds)
{
    const long long n = kFileTimeUnixEpoch + static_cast<long long>(t) * 10'000'000LL + nNanoseconds / 100;
    const auto u = static_cast<unsigned long long>(n < 0 ? 0 : n);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(u);
    ft.dwHighDateTime = static_cast<DWORD>(u >> 32);
    return ft;
}

std::time_t OVF_FileTimeToUnix(const FILETIME& ft)
{
    const long long n = static_cast<long long>((static_cast<unsigned long long>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
    const long long nDiff = n - kFileTimeUnixEpoch;
    // Round toward minus infinity so that times before 1970 keep their whole second.
    return static_cast<std::time_t>(nDiff >= 0 ? nDiff / 10'000'000LL : -((-nDiff + 9'999'999LL) / 10'000'000LL));
}

bool OVF_UnixToTimeFields(std::time_t t, TimeFields32& fields) { return UnixToFields(t, fields); }

BOOL LocalUCTToVskTime32(DWORD dwSeconds, TimeFields32* pFields)
{
    if (pFields == nullptr)
        return FALSE;
    const auto t = static_cast<std::time_t>(dwSeconds);
    std::tm tm{};
    return gmtime_r(&t, &tm) != nullptr && TmToFields(tm, *pFields) ? 1 : FALSE;
}

BOOL FileTimeToCTime32(const FILETIME* pFileTime, TimeFields32* pFields)
{
    if (pFileTime == nullptr || pFields == nullptr)
        return FALSE;
    return UnixToFields(OVF_FileTimeToUnix(*pFileTime), *pFields) ? 1 : FALSE;
}

BOOL CTimeToFileTime32(const TimeFields32* pFields, FILETIME* pFileTime)
{
    std::time_t t = 0;
    if (pFields == nullptr || pFileTime == nullptr || !FieldsToUnix(*pFields, t))
        return FALSE;
    *pFileTime = OVF_FileTimeFromUnix(t);
    return 1;
}
