#include "RateMeter.h"
#include "StatusTexts.h"

#include <gtest/gtest.h>

namespace {

struct TFakeClock {
    std::uint32_t now = 5000;
    TMilliClock Clock() { return [this] { return now; }; }
};

TEST(RateMeter, SameMillisecondGivesNoSample)
{
    TFakeClock clock;
    TRateMeter meter(clock.Clock());
    meter.Start(1000);
    EXPECT_FALSE(meter.Sample(10));
    EXPECT_EQ(meter.Samples(), 0);
    clock.now += 1;
    meter.Sample(20);
    EXPECT_EQ(meter.Samples(), 1);
    EXPECT_FALSE(meter.Sample(30));
    EXPECT_EQ(meter.Samples(), 1);
}

TEST(RateMeter, FirstEstimateAtTwelfthSampleThenEveryThirteenth)
{
    TFakeClock clock;
    TRateMeter meter(clock.Clock());
    meter.Start(100000);
    std::vector<int> estimatedAt;
    std::uint64_t done = 0;
    for (int sample = 1; sample <= 40; ++sample) {
        clock.now += 100;
        done += 100;  // 1000 bytes per second throughout
        if (meter.Sample(done))
            estimatedAt.push_back(sample);
    }
    EXPECT_EQ(estimatedAt, (std::vector<int>{12, 25, 38}));
}

TEST(RateMeter, SteadyRateEstimatesRemainingBytesOverRate)
{
    TFakeClock clock;
    TRateMeter meter(clock.Clock());
    meter.Start(60000);
    std::optional<std::int64_t> secs;
    for (int sample = 1; sample <= 12; ++sample) {
        clock.now += 1000;
        secs = meter.Sample(sample * 1000);
    }
    ASSERT_TRUE(secs);
    EXPECT_EQ(*secs, 48);  // 48000 bytes left at 1000 bytes per second
    EXPECT_EQ(meter.RateBytesPerSecond(12000), 1000u);
    EXPECT_DOUBLE_EQ(meter.MegabytesToSend(12000), 0.048);
}

TEST(RateMeter, NoBytesMovedGivesNoEstimateRatherThanDivisionByZero)
{
    TFakeClock clock;
    TRateMeter meter(clock.Clock());
    meter.Start(5000);
    std::optional<std::int64_t> secs;
    for (int sample = 1; sample <= 12; ++sample) {
        clock.now += 1000;
        secs = meter.Sample(0);
    }
    EXPECT_FALSE(secs);
}

TEST(RateMeter, RateIsZeroUntilTimePasses)
{
    TFakeClock clock;
    TRateMeter meter(clock.Clock());
    meter.Start(5000);
    EXPECT_EQ(meter.RateBytesPerSecond(4000), 0u);
}

TEST(RateMeter, TickCounterWrapAroundKeepsElapsedTime)
{
    TFakeClock clock;
    clock.now = 0xFFFFFF00u;
    TRateMeter meter(clock.Clock());
    meter.Start(1000);
    clock.now += 0x200;  // wraps past zero
    meter.Sample(512);
    EXPECT_EQ(meter.ElapsedMs(), 0x200u);
    EXPECT_EQ(meter.RateBytesPerSecond(512), 1000u);
}

// Status texts: paced to every 3 s, "mb to send" for 20 s, then the estimate.
struct TStatusFixture : ::testing::Test {
    TFakeClock clock;
    TRateMeter meter{clock.Clock()};
    TStatusTexts texts{meter};
};

TEST_F(TStatusFixture, TextsChangeAtMostEveryThreeSecondsAndNeverBefore)
{
    meter.Start(10000000);
    std::vector<std::uint32_t> changedAt;
    for (std::uint32_t t = 500; t <= 10000; t += 500) {
        clock.now = 5000 + t;
        if (texts.Update(t * 100).rate)
            changedAt.push_back(t);
    }
    EXPECT_EQ(changedAt, (std::vector<std::uint32_t>{3000, 6000, 9000}));
}

TEST_F(TStatusFixture, FirstTwentySecondsShowMegabytesToSendOnly)
{
    meter.Start(5000000);
    clock.now += 3000;
    const TStatusTextChange change = texts.Update(300000);
    EXPECT_EQ(change.rate, "100 kb/sec");
    EXPECT_EQ(change.remaining, "4.70 mb to send");
}

TEST_F(TStatusFixture, AfterTwentySecondsRemainingTimeAppearsOnlyWithAnEstimate)
{
    meter.Start(100000000);
    std::vector<std::string> shown;
    // One sample every 2 s at 100000 bytes per second: estimates at samples 12 and 25.
    for (int sample = 1; sample <= 26; ++sample) {
        clock.now += 2000;
        const TStatusTextChange change = texts.Update(sample * 200000ull);
        if (change.remaining)
            shown.push_back(*change.remaining);
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "99.60 mb to send");  // t = 2 s is too early; first text at 4 s
    // Sample 12 (t = 24 s) estimates 976 s for 97.6 MB at 100 KB/s; the estimate of sample 25
    // (t = 50 s) falls within 3 s of the text shown at 48 s and is not shown.
    EXPECT_EQ(shown.back(), "16 minutes remaining, 97.60 mb");
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                            [](const std::string& s) { return s.find("remaining") != s.npos; }),
              1);
    EXPECT_EQ(shown.size(), 5u);  // 4, 8, 12, 16 s; at 20 s there is no estimate to show
}

TEST(StatusTexts, RemainingTextBands)
{
    const struct {
        std::int64_t secs;
        const char* text;
    } cases[] = {
        {1, "1 seconds remaining, 1.50 mb"},
        {59, "59 seconds remaining, 1.50 mb"},
        {60, "1 minute remaining, 1.50 mb"},
        {119, "1 minute remaining, 1.50 mb"},
        {120, "2 minutes remaining, 1.50 mb"},
        {3599, "59 minutes remaining, 1.50 mb"},
        {3600, "1 hours remaining, 1.50 mb"},
        {7300, "2 hours remaining, 1.50 mb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TStatusTexts::RemainingText(c.secs, 1.5), c.text) << c.secs;
    EXPECT_FALSE(TStatusTexts::RemainingText(0, 1.5));
    EXPECT_FALSE(TStatusTexts::RemainingText(-4, 1.5));
}

}  // namespace
