// The framework's time value: seconds since 1970-01-01 00:00:00 UTC, broken down in local time
// through the C library (so TZ decides the zone).
#pragma once

#include <ctime>

class CTime {
public:
    CTime() = default;
    explicit CTime(std::time_t t) : m_time(t) {}
    // Local date and time; nDST < 0 lets the C library decide whether daylight saving applies.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);

    static CTime GetCurrentTime() { return CTime(std::time(nullptr)); }

    std::time_t GetTime() const { return m_time; }
    // Local broken-down form; false when the C library cannot break the value down.
    bool GetLocalTm(std::tm* pTm) const;
    int GetYear() const;

    friend bool operator==(const CTime& a, const CTime& b) { return a.m_time == b.m_time; }
    friend bool operator!=(const CTime& a, const CTime& b) { return a.m_time != b.m_time; }

private:
    std::time_t m_time = 0;
};
