#include "ClampedTime.h"

#include "OVFile32.h"

TimeFields32 FloorTimeFields()
{
    TimeFields32 fields;
    fields.wYear = 1980;
    fields.wMonth = 1;
    fields.wDay = 1;
    return fields;
}

CTime FloorTime() { return CTime(1980, 1, 1, 0, 0, 0); }

CTime ClampedTime(const TimeFields32& fields)
{
    const int nYear = (fields.wYear < 1970 || fields.wYear > 2038) ? 1980 : fields.wYear;
    const int nMonth = (fields.wMonth < 1 || fields.wMonth > 12) ? 1 : fields.wMonth;
    const int nDay = (fields.wDay < 1 || fields.wDay > 31) ? 1 : fields.wDay;
    const int nHour = fields.wHour > 23 ? 0 : fields.wHour;
    const int nMinute = fields.wMinute > 59 ? 0 : fields.wMinute;
    const int nSecond = fields.wSecond > 59 ? 0 : fields.wSecond;
    return CTime(nYear, nMonth, nDay, nHour, nMinute, nSecond);
}

TimeFields32 TimeFieldsOf(const CTime& time)
{
    TimeFields32 fields;
    if (!OVF_UnixToTimeFields(time.GetTime(), fields) || fields.wYear < 1980)
        return FloorTimeFields();
    return fields;
}

CTime LayerCurrentTime()
{
    const CTime now = CTime::GetCurrentTime();
    std::tm tm{};
    return now.GetLocalTm(&tm) ? now : FloorTime();
}
