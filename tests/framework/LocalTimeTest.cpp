#include "LocalTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

class LocalTimeTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override
    {
        setenv("TZ", GetParam(), 1);
        tzset();
    }
    void TearDown() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

std::tm Fields(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond, int nDST = -1)
{
    std::tm tm{};
    tm.tm_year = nYear - 1900;
    tm.tm_mon = nMonth - 1;
    tm.tm_mday = nDay;
    tm.tm_hour = nHour;
    tm.tm_min = nMinute;
    tm.tm_sec = nSecond;
    tm.tm_isdst = nDST;
    return tm;
}

std::time_t LibraryMakeTime(std::tm tm) { return std::mktime(&tm); }

// Every reading of two years in steps that land on and around each offset change, the gaps
// and repeated hours included, gives what mktime gives.
TEST_P(LocalTimeTest, AgreesWithMktimeAcrossTwoYears)
{
    std::tm wall = Fields(2020, 1, 1, 0, 0, 0);
    const std::time_t tStart = timegm(&wall);
    for (std::time_t t = tStart; t < tStart + 2 * 366 * 86400; t += 7 * 60 + 13) {
        std::tm fields{};
        gmtime_r(&t, &fields);
        fields.tm_isdst = -1;
        const std::time_t tOurs = LocalMakeTime(fields);
        ASSERT_EQ(tOurs, LibraryMakeTime(fields)) << std::asctime(&fields);
    }
}

TEST_P(LocalTimeTest, EdgeFieldsAgreeWithMktime)
{
    const std::tm cases[] = {
        Fields(2021, 3, 14, 2, 30, 0),  Fields(2021, 11, 7, 1, 30, 0), Fields(2021, 10, 3, 2, 15, 0),
        Fields(2021, 3, 28, 1, 30, 0),  Fields(2021, 10, 31, 1, 30, 0), Fields(2021, 2, 30, 25, 61, 61),
        Fields(2021, 13, 0, 0, 0, 0),   Fields(1901, 12, 14, 0, 0, 0),  Fields(1970, 1, 1, 0, 0, 0),
        Fields(1969, 12, 31, 23, 59, 59), Fields(2038, 1, 19, 3, 14, 8), Fields(2100, 6, 1, 12, 0, 0),
        Fields(2021, 7, 4, 12, 0, 0, 0), Fields(2021, 7, 4, 12, 0, 0, 1), Fields(2021, 1, 4, 12, 0, 0, 1),
    };
    for (const std::tm& fields : cases)
        EXPECT_EQ(LocalMakeTime(fields), LibraryMakeTime(fields)) << std::asctime(&fields);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalTimeTest,
                         ::testing::Values("UTC", "America/New_York", "Europe/Dublin", "Australia/Lord_Howe",
                                           "Pacific/Apia", "Asia/Kolkata"));

} // namespace
