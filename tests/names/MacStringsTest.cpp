#include "MacStrings.h"
#include "OVFCodePages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(MacStrings, ConvertInPlaceBothWays)
{
    ASSERT_EQ(OVF_SetAnsiCodePage("UTF-8"), 0);
    char szName[64] = "Caf\xC3\xA9 \xE2\x82\xAC \xE4\xB8\xAD.txt"; // "Café € 中.txt"
    EXPECT_FALSE(OVAnsiToMacStr(szName, szName, 0, '_'));         // the CJK character has no equivalent
    EXPECT_STREQ(szName, "Caf\x8E \xDB _.txt");

    EXPECT_TRUE(OVMacToAnsiStr(szName, szName, sizeof szName, '_'));
    EXPECT_STREQ(szName, "Caf\xC3\xA9 \xE2\x82\xAC _.txt");
}

TEST(MacStrings, GrowingConversionIsCutOnACharacterBoundary)
{
    ASSERT_EQ(OVF_SetAnsiCodePage("UTF-8"), 0);
    char szName[8] = "\x8E\x8E\x8E\x8E"; // four é in Mac Roman, eight bytes in UTF-8
    EXPECT_FALSE(OVMacToAnsiStr(szName, szName, 0, '_'));
    EXPECT_STREQ(szName, "\xC3\xA9\xC3\xA9"); // what fits in the source's five bytes
    char szWide[16] = "\x8E\x8E\x8E\x8E";
    EXPECT_TRUE(OVMacToAnsiStr(szWide, szWide, sizeof szWide, '_'));
    EXPECT_EQ(std::strlen(szWide), 8u);
}

} // namespace
