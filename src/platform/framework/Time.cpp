#include "Time.h"

#include "LocalTime.h"

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST)
{
    std::tm tm{};
    tm.tm_year = nYear - 1900;
    tm.tm_mon = nMonth - 1;
    tm.tm_mday = nDay;
    tm.tm_hour = nHour;
    tm.tm_min = nMin;
    tm.tm_sec = nSec;
    tm.tm_isdst = nDST;
    m_time = LocalMakeTime(tm);
}

bool CTime::GetLocalTm(std::tm* pTm) const { return localtime_r(&m_time, pTm) != nullptr; }

int CTime::GetYear() const
{
    std::tm tm{};
    return GetLocalTm(&tm) ? tm.tm_year + 1900 : 0;
}
