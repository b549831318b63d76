// The login throttle on a made-up clock: one address's refusals one at a time with growing
// delays, all refusals together at a fixed pace, other addresses checked at once.
#include "LoginThrottle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
using namespace std::chrono_literals;
using TTime = TLoginThrottle::TClock::time_point;

const TTime kStart = TTime{} + 1h;

long long MsAfter(TTime later, TTime earlier) { return std::chrono::duration_cast<std::chrono::milliseconds>(later - earlier).count(); }
} // namespace

TEST(LoginThrottle, OneAddressIsCheckedOneAtATimeWithGrowingDelays)
{
    TLoginThrottle throttle;
    // Parallel connections from one address, each guessing wrong: every guess is checked only
    // when the refusal before it has been answered, and the waits double.
    std::vector<long long> refusalsAt;
    std::vector<TTime> turns;
    for (int i = 0; i < 5; ++i)
        turns.push_back(throttle.CheckTime("192.0.2.7", kStart));
    for (TTime turn : turns)
        refusalsAt.push_back(MsAfter(throttle.Refused("192.0.2.7", turn), kStart));
    EXPECT_EQ(MsAfter(turns[0], kStart), 0) << "a first login is checked at once";
    for (std::size_t i = 1; i < turns.size(); ++i)
        EXPECT_GE(turns[i], kStart + std::chrono::milliseconds(refusalsAt[i - 1])) << "no guess before the last answer";
    for (std::size_t i = 2; i < refusalsAt.size(); ++i)
        EXPECT_GT(refusalsAt[i] - refusalsAt[i - 1], refusalsAt[i - 1] - refusalsAt[i - 2]) << "the delay grows";
    EXPECT_EQ(throttle.Failures("192.0.2.7"), 5u);

    // Another address is checked at once meanwhile; the right password resets an address.
    const TTime later = kStart + 2s;
    EXPECT_EQ(throttle.CheckTime("192.0.2.8", later), later);
    throttle.Accepted("192.0.2.8");
    EXPECT_EQ(throttle.Failures("192.0.2.8"), 0u);
}

TEST(LoginThrottle, RefusalsOfManyAddressesKeepAnOverallPace)
{
    TLoginThrottle throttle;
    std::vector<TTime> answers;
    for (int i = 0; i < 50; ++i) {
        const std::string strAddress = "127.0.0." + std::to_string(i + 2);
        const TTime turn = throttle.CheckTime(strAddress, kStart);
        EXPECT_EQ(turn, kStart) << "a fresh address is checked at once";
        answers.push_back(throttle.Refused(strAddress, turn));
    }
    for (std::size_t i = 1; i < answers.size(); ++i)
        EXPECT_GE(answers[i] - answers[i - 1], TLoginThrottle::kOverallSpacing);
    EXPECT_GE(answers.back() - kStart, 49 * TLoginThrottle::kOverallSpacing);
}

TEST(LoginThrottle, QuietAddressesAreForgottenAndAbandonedTurnsFreed)
{
    TLoginThrottle throttle;
    throttle.Refused("192.0.2.9", throttle.CheckTime("192.0.2.9", kStart));
    throttle.CheckTime("192.0.2.10", kStart);
    throttle.Abandoned("192.0.2.10");
    const TTime muchLater = kStart + TLoginThrottle::kForgetAfter + 1min;
    EXPECT_EQ(throttle.CheckTime("192.0.2.11", muchLater), muchLater);
    EXPECT_EQ(throttle.TrackedAddresses(), 1u);
}

TEST(LoginThrottle, SourceAddressOfPeerNames)
{
    const struct {
        const char* pszPeer;
        const char* pszAddress;
    } cases[] = {{"192.0.2.1:4000", "192.0.2.1"}, {"[::1]:4000", "::1"}, {"stdio", "stdio"}};
    for (const auto& c : cases)
        EXPECT_EQ(TLoginThrottle::SourceAddress(c.pszPeer), c.pszAddress);
}
