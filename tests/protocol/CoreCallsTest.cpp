#include "OVCore.h"

#include <cstring>
#include <gtest/gtest.h>

TEST(CoreCalls, SwapReversesBytes)
{
    EXPECT_EQ(OVSwapWord(0x1234), 0x3412);
    EXPECT_EQ(OVSwapDWord(0x12345678u), 0x78563412u);
    EXPECT_EQ(OVSwapDWord(OVSwapDWord(0xA0B0C0D0u)), 0xA0B0C0D0u);
}

TEST(CoreCalls, PascalStringsConvertInPlaceBothWays)
{
    const char* cases[] = {"", "a", "C:\\dir\\", "name with spaces.txt"};
    for (const char* psz : cases) {
        char buffer[300];
        std::strcpy(buffer, psz);
        C2Pascal(buffer, reinterpret_cast<unsigned char*>(buffer));
        ASSERT_EQ(static_cast<unsigned char>(buffer[0]), std::strlen(psz));
        EXPECT_EQ(std::memcmp(buffer + 1, psz, std::strlen(psz)), 0);
        Pascal2C(reinterpret_cast<unsigned char*>(buffer), buffer);
        EXPECT_STREQ(buffer, psz);
    }
}

TEST(CoreCalls, UserNameFillsTheBufferWithATerminatedName)
{
    char szName[kOVUserNameSize];
    std::memset(szName, 'x', sizeof szName);
    ASSERT_EQ(OVGetUserName(szName), 0);
    EXPECT_GT(std::strlen(szName), 0u);
    EXPECT_LT(std::strlen(szName), static_cast<std::size_t>(kOVUserNameSize));
}
