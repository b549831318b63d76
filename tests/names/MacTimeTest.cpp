#include "MacTime.h"
#include "ZoneFixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

using MacTime = TZoneTest;

constexpr std::int64_t kTicks = 10'000'000;
constexpr std::int64_t kFileTimeTo1970 = 11'644'473'600;

// The bytes a wire-order Mac time puts into a packet, as a number read big-endian.
std::uint32_t ReadAsWireBytes(DWORD dwWireOrder)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &dwWireOrder, 4);
    return (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8) | bytes[3];
}

DWORD WireOrderOf(std::uint32_t nHostValue)
{
    const unsigned char bytes[4] = {BYTE(nHostValue >> 24), BYTE(nHostValue >> 16), BYTE(nHostValue >> 8), BYTE(nHostValue)};
    DWORD dw = 0;
    std::memcpy(&dw, bytes, 4);
    return dw;
}

FILETIME FileTimeOfUnix(std::int64_t t)
{
    const auto n = static_cast<std::uint64_t>((t + kFileTimeTo1970) * kTicks);
    return FILETIME{DWORD(n), DWORD(n >> 32)};
}

std::int64_t UnixOfFileTime(const FILETIME& ft)
{
    return std::int64_t(((std::uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) / kTicks) - kFileTimeTo1970;
}

TEST_F(MacTime, CountsTheLocalWallClockAndDeliversWireOrder)
{
    struct Case {
        const char* pszZone;
        std::time_t tMoment;
        std::uint32_t nMac; // as the wire bytes read it
    };
    const Case cases[] = {
        {"UTC0", 0, kMacTimeTo1970},
        {"UTC0", 1, kMacTimeTo1970 + 1},
        {kEastern, 0, kMacTimeTo1970 - 5 * 3600},               // 1969-12-31 19:00 local
        {kEastern, 1'720'000'000, 3'802'844'800u - 4 * 3600},   // July: daylight saving, UTC-4
        {"UTC0", -2'082'844'801LL, 0},                          // before 1904: the range's start
        {"UTC0", 4'294'967'296LL, 0xFFFFFFFFu},                 // past 2040: the range's end
    };
    for (const Case& c : cases) {
        SetZone(c.pszZone);
        const CTime time(c.tMoment);
        DWORD dwMac = 0;
        OVConvertCTimeToMacTime(&time, &dwMac);
        EXPECT_EQ(ReadAsWireBytes(dwMac), c.nMac) << c.pszZone << " " << c.tMoment;
        const FILETIME ftIn = FileTimeOfUnix(c.tMoment);
        OVConvertFileTimeToMacTime(&ftIn, &dwMac);
        EXPECT_EQ(ReadAsWireBytes(dwMac), c.nMac) << c.pszZone << " " << c.tMoment;
    }
}

TEST_F(MacTime, FileTimeRoundTripsThroughTheWire)
{
    SetZone(kEastern);
    const std::int64_t moments[] = {0, 315'532'800, 1'000'000'000, 1'720'000'000, 1'710'054'000 /* DST change day */};
    for (const std::int64_t t : moments) {
        const FILETIME ftIn = FileTimeOfUnix(t);
        DWORD dwMac = 0;
        OVConvertFileTimeToMacTime(&ftIn, &dwMac);
        FILETIME ftOut{};
        OVConvertMacTimeToFileTime(dwMac, &ftOut);
        EXPECT_EQ(UnixOfFileTime(ftOut), t);
    }
}

TEST_F(MacTime, MacTimeFromTheWireToFileTime)
{
    FILETIME ft{};
    OVConvertMacTimeToFileTime(WireOrderOf(kMacTimeTo1970), &ft);
    EXPECT_EQ(UnixOfFileTime(ft), 0);
    OVConvertMacTimeToFileTime(WireOrderOf(0), &ft);
    EXPECT_EQ(UnixOfFileTime(ft), -std::int64_t(kMacTimeTo1970));
    SetZone(kEastern);
    OVConvertMacTimeToFileTime(WireOrderOf(kMacTimeTo1970), &ft);
    EXPECT_EQ(UnixOfFileTime(ft), 5 * 3600); // midnight in New York is 05:00 UTC
    EXPECT_EQ(OVMacTimeToHostOrder(WireOrderOf(0x01020304u)), 0x01020304u);
    EXPECT_EQ(ReadAsWireBytes(OVMacTimeToWireOrder(0x01020304u)), 0x01020304u);
}

} // namespace
