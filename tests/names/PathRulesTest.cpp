#include "ListingType.h"
#include "LocalIcons.h"
#include "NameRules.h"
#include "OV2Tools.h"
#include "Volumes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(ListingType, ApplicationsAreKnownByUpperCaseEnding)
{
    struct Case {
        const char* pszShortName;
        DWORD type;
    };
    const Case cases[] = {
        {"SETUP.EXE", kTypeApplication}, {"COMMAND.COM", kTypeApplication}, {"AUTOEXEC.BAT", kTypeApplication},
        {"XEXE", kTypeApplication},      {"EXE", kTypeUnknown},             {"setup.exe", kTypeUnknown},
        {"SETUP.ExE", kTypeUnknown},     {"README.TXT", kTypeUnknown},      {"", kTypeUnknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetListingFileType(c.pszShortName), c.type) << c.pszShortName;
}

TEST(LocalIcons, ChosenByKindAndExtension)
{
    struct Case {
        const char* pszName;
        BOOL bFolder;
        WORD nIcon;
    };
    const Case cases[] = {
        {"..", 1, 20103},          {"docs", 1, 20100},         {"x.exe", 1, 20100},
        {"SETUP.EXE", 0, 20110},   {"a.com", 0, 20110},        {"win.ini", 0, 20113},
        {"oem.inf", 0, 20113},     {"k.dll", 0, 20114},        {"io.SYS", 0, 20114},
        {"notes.txt", 0, 20115},   {"main.grp", 0, 20116},     {"go.bat", 0, 20117},
        {"pic.bmp", 0, 20118},     {"anim.gif", 0, 20119},     {"letter.wri", 0, 20120},
        {"app.hlp", 0, 20121},     {"ding.wav", 0, 20122},     {"page.htm", 0, 20123},
        {"INDEX.HTML", 0, 20123},  {"arial.ttf", 0, 20124},    {"sys.fon", 0, 20125},
        {"keys.reg", 0, 20126},    {"archive.zip", 0, 20101},  {"txt", 0, 20101},
        {".txt", 0, 20115},        {"html", 0, 20101},         {"", 0, 20101},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetLocalIconId(c.pszName, c.bFolder), c.nIcon) << c.pszName;
}

TEST(SameVolume, DriveLettersAndDesktop)
{
    struct Case {
        const char* pszA;
        const char* pszB;
        BOOL bSame;
    };
    const Case cases[] = {
        {"c:\\one", "C:\\two\\three", 1},
        {"C:\\x", "D:\\x", FALSE},
        {"Desktop\\a", "C:\\a", FALSE},
        {"C:\\a", "DESKTOP", FALSE},
        {"desktop\\a", "Desktop\\b\\c", 1},
        {"relative\\a", "other", 1},   // no drive on either side
        {"C:\\a", "relative", FALSE},
        {"AB:\\x", "A:\\x", FALSE},   // colons in different places
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsSameVolume(c.pszA, c.pszB), c.bSame) << c.pszA << " | " << c.pszB;
}

TEST(NameRules, FortyCharacterNameForEachDestination)
{
    const char* pszName = "Minutes of the annual meeting, 2024.text"; // 40 characters
    ASSERT_EQ(std::strlen(pszName), 40u);
    NameRules local{};
    GetLocalNameRules(&local);
    EXPECT_EQ(local.nFileSystem, 1);
    EXPECT_EQ(local.nMaxTotal, 256);
    EXPECT_EQ(local.nMaxName, 256);
    EXPECT_EQ(local.nMaxExtension, 256);

    struct Case {
        NameRules rules;
        DWORD dwMode;
        const char* pszExpected;
    };
    const Case cases[] = {
        {kMacVolumeRules, kMungeForRemote, "Minutes of the annual meet.text"},
        {kShortNameVolumeRules, kMungeForRemote, "MINUTESO.TEX"},
        {local, kMungeForLocal, "Minutes of the annual meeting, 2024.text"},
    };
    for (const Case& c : cases) {
        char szOut[MAX_PATH];
        MungeName(pszName, szOut, c.rules, c.dwMode);
        EXPECT_STREQ(szOut, c.pszExpected);
        EXPECT_LE(std::strlen(szOut), c.rules.nMaxTotal);
    }
}

TEST(NameRules, LocalPathHasItsLastElementFitted)
{
    char szOut[MAX_PATH];
    EXPECT_TRUE(MungeLocalPath("C:\\in\\what?.txt", szOut));
    EXPECT_STREQ(szOut, "C:\\in\\what_.txt");
    EXPECT_TRUE(MungeLocalPath("plain<name>", szOut));
    EXPECT_STREQ(szOut, "plain_name_");

    const std::string folder = "C:\\" + std::string(250, 'f') + "\\";
    EXPECT_TRUE(MungeLocalPath((folder + "abcd").c_str(), szOut)); // 258 characters fit
    EXPECT_EQ(std::strlen(szOut), 258u);
    EXPECT_FALSE(MungeLocalPath((folder + "abcdefgh").c_str(), szOut)); // 262 would not
    EXPECT_STREQ(szOut, "");
}

} // namespace
