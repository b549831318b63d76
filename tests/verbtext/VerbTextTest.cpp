// Options, locations (percent escapes, IPv6, drives), ISO times, name escaping, JSON lines and the
// progress words, each as a table of cases.
#include "GuestLocation.h"
#include "GuestOptions.h"
#include "ListingFormat.h"
#include "ProgressText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace {
class ZoneScope {
public:
    explicit ZoneScope(const char* pszZone)
    {
        setenv("TZ", pszZone, 1);
        tzset();
    }
    ~ZoneScope()
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};
} // namespace

TEST(GuestLocationTest, ParsesHostsPortsDrivesAndEscapes)
{
    struct TCase {
        const char* pszText;
        const char* pszUser;
        const char* pszHost;
        unsigned nPort;
        const char* pszFolder;
        const char* pszParent;
        const char* pszName;
    };
    const TCase cases[] = {
        {"vantry://host", "", "host", 0, "", "", ""},
        {"vantry://host:7420/C", "", "host", 7420, "C:\\", "C:\\", ""},
        {"vantry://me@host/c:/dir/", "me", "host", 0, "C:\\dir", "C:\\", "dir"},
        {"vantry://[::1]:7420/C/a/b", "", "::1", 7420, "C:\\a\\b", "C:\\a", "b"},
        {"vantry://[::1]/desktop/x", "", "::1", 0, "Desktop\\x", "Desktop", "x"},
        {"vantry://h/C/My%20Files/100%25.txt", "", "h", 0, "C:\\My Files\\100%.txt", "C:\\My Files", "100%.txt"},
        {"vantry://j%40doe@h/C/%C3%A9t%C3%A9", "j@doe", "h", 0, "C:\\\xC3\xA9t\xC3\xA9", "C:\\", "\xC3\xA9t\xC3\xA9"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszText);
        TGuestLocation location;
        ASSERT_EQ(ParseGuestLocation(c.pszText, &location), "");
        EXPECT_EQ(location.strUser, c.pszUser);
        EXPECT_EQ(location.strHost, c.pszHost);
        EXPECT_EQ(location.nPort, c.nPort);
        EXPECT_EQ(location.strFolder, c.pszFolder);
        EXPECT_EQ(location.strParent, c.pszParent);
        EXPECT_EQ(location.strName, c.pszName);
    }
}

TEST(GuestLocationTest, RefusesMalformedLocations)
{
    for (const char* pszText : {"http://host/C", "vantry://", "vantry://host:0/C", "vantry://host:70000",
                                "vantry://host:x/C", "vantry://[::1/C", "vantry://[::1]x/C", "vantry://host/CC",
                                "vantry://host/C/../etc", "vantry://host/C/a%2Fb", "vantry://host/C/a%5Cb",
                                "vantry://host/C/bad%", "vantry://host/C/bad%4", "vantry://host/C/bad%zz",
                                "vantry://host/C/nul%00", "vantry://host/C/esc%1B"}) {
        SCOPED_TRACE(pszText);
        TGuestLocation location;
        const std::string strError = ParseGuestLocation(pszText, &location);
        EXPECT_NE(strError, "");
        EXPECT_TRUE(std::none_of(strError.begin(), strError.end(), [](char c) { return c >= 0 && c < 0x20; })) << strError;
    }
}

TEST(GuestLocationTest, RemotePathsAsTheUserReadsThem)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\", "C"}, {"C:\\dir\\sub", "C/dir/sub"}, {"Desktop", "Desktop"}, {"Desktop\\x\\", "Desktop/x"}};
    for (const auto& [pszFolder, pszShown] : cases)
        EXPECT_EQ(RemoteDisplayPath(pszFolder), pszShown);
}

TEST(ListingFormatTest, IsoTimesCarryTheirZone)
{
    const std::time_t tMoment = 1709647629; // 2024-03-05 14:07:09 UTC
    struct TCase {
        const char* pszZone;
        const char* pszLocal;
    };
    for (const TCase& c : {TCase{"UTC", "2024-03-05T14:07:09+00:00"}, TCase{"Europe/Paris", "2024-03-05T15:07:09+01:00"},
                           TCase{"America/St_Johns", "2024-03-05T10:37:09-03:30"}}) {
        SCOPED_TRACE(c.pszZone);
        ZoneScope zone(c.pszZone);
        EXPECT_EQ(IsoLocalTime(tMoment), c.pszLocal);
        EXPECT_EQ(IsoUtcTime(tMoment), "2024-03-05T14:07:09Z");
    }
}

TEST(ListingFormatTest, MacTimesCountThisMachinesWallClock)
{
    ZoneScope zone("Europe/Paris");
    // 2024-03-05 15:07:09 on the wall clock, counted from 1904.
    const std::uint32_t dwMac = 1709651229u + 2082844800u;
    ASSERT_TRUE(MomentOfListedMacTime(dwMac));
    EXPECT_EQ(IsoLocalTime(*MomentOfListedMacTime(dwMac)), "2024-03-05T15:07:09+01:00");
    EXPECT_FALSE(MomentOfListedMacTime(0));
}

TEST(ListingFormatTest, NamesAreEscapedForTerminalsAndJson)
{
    struct TCase {
        std::string strName;
        const char* pszEscaped;
        const char* pszJson;
    };
    const TCase cases[] = {
        {"plain.txt", "plain.txt", "\"plain.txt\""},
        {"line\nbreak\ttab\rcr", "line\\nbreak\\ttab\\rcr", "\"line\\nbreak\\ttab\\rcr\""},
        {"esc\x1b[31mred", "esc\\x1b[31mred", "\"esc\\u001b[31mred\""},
        {"back\\slash \"quoted\"", "back\\\\slash \"quoted\"", "\"back\\\\slash \\\"quoted\\\"\""},
        {"del\x7f", "del\\x7f", "\"del\\u007f\""},
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC", "\"caf\xC3\xA9 \xE2\x82\xAC\""},
        {"csi\xC2\x9B" "1m", "csi\\xc2\\x9b1m", "\"csi\\u009b1m\""},
        {"latin1 \xE9t\xE9", "latin1 \\xe9t\\xe9", "\"latin1 \xEF\xBF\xBDt\xEF\xBF\xBD\""},
        {"overlong \xC0\xAF", "overlong \\xc0\\xaf", "\"overlong \xEF\xBF\xBD\xEF\xBF\xBD\""},
        {std::string("nul\0x", 5), "nul\\x00x", "\"nul\\u0000x\""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszEscaped);
        EXPECT_EQ(EscapedName(c.strName), c.pszEscaped);
        EXPECT_EQ(JsonString(c.strName), c.pszJson);
    }
}

TEST(ListingFormatTest, LinesKeepTheirColumnsAndJsonHasEveryField)
{
    const std::time_t tMoment = 1709647629;
    struct TCase {
        TListedItem item;
        const char* pszLine;
        const char* pszJson;
    };
    const TCase cases[] = {
        {{"a.txt", EListedKind::File, 5, tMoment, 0x21},
         "file               5 2024-03-05T14:07:09+00:00  a.txt",
         R"({"name":"a.txt","kind":"file","size":5,"modified":"2024-03-05T14:07:09Z","attributes":["read-only","archive"]})"},
        {{"big", EListedKind::File, 5368709120ull, std::nullopt, 0x06},
         "file      5368709120 -                          big",
         R"({"name":"big","kind":"file","size":5368709120,"modified":null,"attributes":["hidden","system"]})"},
        {{"sub", EListedKind::Folder, 0, tMoment, 0},
         "folder             0 2024-03-05T14:07:09+00:00  sub",
         R"({"name":"sub","kind":"folder","size":0,"modified":"2024-03-05T14:07:09Z","attributes":[]})"},
        {{"c:", EListedKind::Volume, 4294967295u, std::nullopt, 0},
         "volume    4294967295 -                          c:",
         R"({"name":"c:","kind":"volume","size":4294967295,"modified":null,"attributes":[]})"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ListingLine(c.item), c.pszLine);
        EXPECT_EQ(ListingJson(c.item), c.pszJson);
    }
}

TEST(ProgressTextTest, HumanUnitsRatesAndClocks)
{
    const std::pair<std::uint64_t, const char*> bytes[] = {
        {0, "0 B"}, {999, "999 B"}, {1000, "1.00 kB"}, {1536, "1.54 kB"}, {99'949, "99.9 kB"}, {99'950, "100 kB"},
        {999'499, "999 kB"}, {999'500, "1.00 MB"}, {5'368'709'120ull, "5.37 GB"}, {UINT64_MAX, "18.4 EB"}};
    for (const auto& [nBytes, pszText] : bytes)
        EXPECT_EQ(HumanBytes(nBytes), pszText) << nBytes;
    EXPECT_EQ(RateText(0, 0), "- MB/s");
    EXPECT_EQ(RateText(12'345'678, 1000), "12.3 MB/s");
    EXPECT_EQ(RateText(500'000, 2000), "0.2 MB/s");
    const std::pair<std::uint64_t, const char*> clocks[] = {{0, "0:00"}, {7, "0:07"}, {754, "12:34"}, {3723, "1:02:03"}};
    for (const auto& [nSeconds, pszText] : clocks)
        EXPECT_EQ(ClockText(nSeconds), pszText);
}

TEST(ProgressTextTest, ProgressLineFitsTheTerminalAndSummaryCountsAll)
{
    TProgressState state;
    state.strItem = "C/dir/a rather long file name.bin";
    state.nDone = 12'300'000;
    state.nTotal = 45'000'000;
    state.nElapsedMs = 2000;
    EXPECT_EQ(ProgressLine(state, 120), "C/dir/a rather long file name.bin  12.3 MB / 45.0 MB  27%  6.2 MB/s");
    state.remaining = 5;
    EXPECT_EQ(ProgressLine(state, 120),
              "C/dir/a rather long file name.bin  12.3 MB / 45.0 MB  27%  6.2 MB/s  0:05 left");
    const std::string strNarrow = ProgressLine(state, 60);
    EXPECT_EQ(strNarrow.size(), 59u);
    EXPECT_EQ(strNarrow, "...le name.bin  12.3 MB / 45.0 MB  27%  6.2 MB/s  0:05 left");
    state.strItem = "C/\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.bin";
    EXPECT_EQ(ProgressLine(state, 60), "...\xC3\xA9\xC3\xA9\xC3\xA9.bin  12.3 MB / 45.0 MB  27%  6.2 MB/s  0:05 left");
    EXPECT_EQ(ProgressLine(state, 20).size(), 19u);

    EXPECT_EQ(SummaryLine(1, 6, 10), "1 file, 6 B in 0:00 (0.0 MB/s)");
    EXPECT_EQ(SummaryLine(3, 45'000'000, 7'400), "3 files, 45.0 MB in 0:07 (6.1 MB/s)");
}

TEST(GuestOptionsTest, EachVerbTakesItsOwnOptions)
{
    constexpr unsigned kCopyVerb = VerbOption::kCopy | VerbOption::kRecursive | VerbOption::kVerbose;
    struct TCase {
        TVerbArguments args;
        unsigned nAccepted;
        const char* pszError; // a part of the error, "" when none
        std::vector<std::string> operands;
    };
    const TCase cases[] = {
        {{"-rqv", "a", "b"}, kCopyVerb, "cannot go together", {}},
        {{"-rv", "a", "--", "-b"}, kCopyVerb, "", {"a", "-b"}},
        {{"-R", "--replace=all", "--protocol", "7", "x"}, kCopyVerb, "", {"x"}},
        {{"--replace", "some"}, kCopyVerb, "ask, all or none", {}},
        {{"--replace"}, kCopyVerb, "needs a value", {}},
        {{"--json=yes"}, VerbOption::kJson, "unknown option --json=yes", {}},
        {{"-r", "x"}, VerbOption::kJson, "unknown option -r", {}},
        {{"-p", "x"}, VerbOption::kRecursive, "unknown option -p", {}},
        {{"-pv", "x"}, VerbOption::kParents | VerbOption::kVerbose, "", {"x"}},
        {{"-rx"}, VerbOption::kRecursive, "unknown option -rx", {}},
        {{"--translate-text"}, VerbOption::kRecursive, "unknown option", {}},
        {{"-"}, 0, "", {"-"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.args.front());
        const TGuestOptions options = ParseGuestOptions(c.args, c.nAccepted);
        if (*c.pszError == '\0') {
            EXPECT_EQ(options.strError, "");
            EXPECT_EQ(options.operands, c.operands);
        } else {
            EXPECT_NE(options.strError.find(c.pszError), std::string::npos) << options.strError;
        }
    }
    const TGuestOptions copy = ParseGuestOptions({"-R", "--replace=all", "--protocol", "7", "-q", "--translate-text"}, kCopyVerb);
    EXPECT_TRUE(copy.bRecursive && copy.bQuiet && copy.bTranslateText && copy.bProtocol7);
    EXPECT_EQ(copy.eReplace, EReplaceMode::All);
}
