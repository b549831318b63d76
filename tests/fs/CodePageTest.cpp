// Code pages: built-in tables against iconv, round trips, replacements and cutting.
#include "FsFixture.h"

#include <iconv.h>

#include <cstring>
#include <map>

namespace fs_test {
namespace {

using CodePageTest = TDriveFixture;

std::string Convert(OVFCharSet from, OVFCharSet to, const std::string& str, std::size_t nSize = 256, bool* pAll = nullptr)
{
    std::string buf(nSize, '\0');
    const bool bAll = OVF_ConvertString(from, to, str.c_str(), buf.data(), nSize, '_');
    if (pAll)
        *pAll = bAll;
    return buf.c_str();
}

// The UTF-8 text iconv gives for one byte of a page, or "" where it has none.
std::string IconvByte(const char* pszPage, unsigned char b)
{
    iconv_t cd = iconv_open("UTF-8", pszPage);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "?";
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* pIn = in;
    char* pOut = out;
    std::size_t nIn = 1, nOut = sizeof out;
    const bool bOk = iconv(cd, &pIn, &nIn, &pOut, &nOut) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    return bOk ? std::string(out, static_cast<std::size_t>(pOut - out)) : "";
}

TEST_F(CodePageTest, BuiltInTablesAgreeWithIconv)
{
    // Where the Mac mapping was revised, the tables follow the current public mapping file.
    const std::map<int, std::string> macRevisions = {
        {0xC6, "\xE2\x88\x86"},   // U+2206 INCREMENT (older mappings: U+0394)
        {0xF0, "\xEF\xA3\xBF"},   // U+F8FF, the maker's logo (older mappings: a private-use U+E01E)
    };
    for (const char* pszPage : {"CP437", "CP850", "MACINTOSH", "CP1252"}) {
        SCOPED_TRACE(pszPage);
        ASSERT_EQ(OVF_SetOemCodePage(pszPage), 0);
        for (int b = 0x80; b < 0x100; ++b) {
            std::string strIconv = IconvByte(pszPage, static_cast<unsigned char>(b));
            if (std::strcmp(pszPage, "MACINTOSH") == 0 && macRevisions.count(b) && !strIconv.empty())
                strIconv = macRevisions.at(b);
            if (strIconv == "?")
                GTEST_SKIP() << "iconv has no " << pszPage;
            const char in[2] = {static_cast<char>(b), 0};
            bool bAll = false;
            const std::string strOurs = Convert(OVFCharSet::oem, OVFCharSet::utf8, in, 8, &bAll);
            EXPECT_EQ(bAll ? strOurs : std::string(), strIconv) << "byte " << b;
        }
    }
}

TEST_F(CodePageTest, RoundTripsForTheCharactersEachSetHolds)
{
    const std::string strText = "Caf\xC3\xA9 \xC3\xBC\xC3\xB1\xC3\xAF\xC3\xA7\xC3\xB8" "d\xC3\xA9";   // Café ünïçødé
    const std::string strOem = Convert(OVFCharSet::ansi, OVFCharSet::oem, strText);
    EXPECT_EQ(strOem, "Caf\x82 \x81\xA4\x8B\x87_d\x82");   // ø is not in CP437
    const std::string strMac = Convert(OVFCharSet::ansi, OVFCharSet::mac, strText);
    EXPECT_EQ(Convert(OVFCharSet::mac, OVFCharSet::ansi, strMac), strText);
    EXPECT_EQ(Convert(OVFCharSet::mac, OVFCharSet::oem, strMac), strOem);
    ASSERT_EQ(OVF_SetOemCodePage("CP850"), 0);
    EXPECT_EQ(Convert(OVFCharSet::oem, OVFCharSet::ansi, Convert(OVFCharSet::ansi, OVFCharSet::oem, strText)), strText);
}

TEST_F(CodePageTest, MacConversionComposesFirstAndReplacesTheRest)
{
    EXPECT_EQ(Convert(OVFCharSet::ansi, OVFCharSet::mac, "e\xCC\x81t\xC3\xA9"), "\x8Et\x8E");   // NFD é, NFC é
    bool bAll = true;
    EXPECT_EQ(Convert(OVFCharSet::ansi, OVFCharSet::mac, "a\xE2\x82\xB9z", 256, &bAll), "a_z");    // ₹
    EXPECT_FALSE(bAll);
}

TEST_F(CodePageTest, GrowingConversionIsCutOnACharacterBoundary)
{
    char buf[6];
    std::size_t nLength = 0;
    // Four é in Mac Roman become eight bytes of UTF-8; six bytes hold two of them and the NUL.
    EXPECT_FALSE(OVF_ConvertString(OVFCharSet::mac, OVFCharSet::ansi, "\x8E\x8E\x8E\x8E", buf, sizeof buf, '_', &nLength));
    EXPECT_EQ(nLength, 4u);
    EXPECT_STREQ(buf, "\xC3\xA9\xC3\xA9");
    // In place.
    char inPlace[16] = "\x8E" "t\x8E";
    EXPECT_TRUE(OVF_ConvertString(OVFCharSet::mac, OVFCharSet::ansi, inPlace, inPlace, sizeof inPlace));
    EXPECT_STREQ(inPlace, "\xC3\xA9t\xC3\xA9");
}

TEST_F(CodePageTest, SingleByteAnsiPageAddressesUtf8NamesOnDisk)
{
    Put("caf\xC3\xA9.txt", "cp1252");
    Put("\xE2\x82\xB9.txt", "rupee");   // not in CP1252: cannot be addressed
    ASSERT_EQ(OVF_SetAnsiCodePage("CP1252"), 0);
    EXPECT_EQ(ReadAll("C:\\CAF\xC9.TXT"), "cp1252");
    WIN32_FIND_DATA data;
    DWORD dwError = 0;
    const DWORD h = FindFirstFile32("C:\\*.*", &data, &dwError);
    ASSERT_NE(h, kOVF_invalid);
    EXPECT_STREQ(data.cFileName, "caf\xE9.txt");
    EXPECT_FALSE(FindNextFile32(h, &data, &dwError));
    FindClose32(h, &dwError);
    EXPECT_EQ(OVF_SetAnsiCodePage("no-such-page"), EINVAL);
    EXPECT_EQ(OVF_SetOemCodePage("UTF-8"), EINVAL);
}

} // namespace
} // namespace fs_test
