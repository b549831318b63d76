// 8.3 aliases: the frozen scheme, collisions, lookups and short paths.
#include "FsFixture.h"
#include "LFN.h"

#include <map>

namespace fs_test {
namespace {

using ShortNameTest = TDriveFixture;

// Peers store these names: a change here breaks them.
struct TGolden {
    const char* pszName;
    const char* pszAlias;
};
const TGolden kGolden[] = {
    {"Long File Name.html", "LONG~X6D.HTM"},
    {"readme.txt.bak", "READ~665.BAK"},
    {"My Document.docx", "MYDO~QOK.DOC"},
    {".bashrc", "BASH~MUW"},
    {"a+b=c.txt", "A_B_~PDJ.TXT"},
    {"Ünïcødé.txt", "_N_C~S2E.TXT"},
    {"x.y.z", "XY~8OM.Z"},
    {"photo 2024-01-01.jpeg", "PHOT~327.JPE"},
    {"VERYLONGNAME.TXT", "VERY~6L6.TXT"},
    {"lower case.md", "LOWE~QCT.MD"},
    {"résumé", "R_SU~CVW"},
};

std::map<std::string, std::string> AliasesOf(const char* pszPattern)
{
    std::map<std::string, std::string> aliases;
    WIN32_FIND_DATA data;
    DWORD dwError = 0;
    const DWORD h = FindFirstFile32(pszPattern, &data, &dwError);
    if (h == kOVF_invalid)
        return aliases;
    do
        aliases[data.cFileName] = data.cAlternateFileName;
    while (FindNextFile32(h, &data, &dwError));
    FindClose32(h, &dwError);
    return aliases;
}

TEST_F(ShortNameTest, AliasesFollowTheFrozenScheme)
{
    for (const TGolden& golden : kGolden)
        Put(std::string("g/") + golden.pszName, golden.pszName);
    Put("g/README.TXT");
    Put("g/lower.c");
    const auto aliases = AliasesOf("C:\\g\\*");
    for (const TGolden& golden : kGolden) {
        SCOPED_TRACE(golden.pszName);
        EXPECT_EQ(aliases.at(golden.pszName), golden.pszAlias);
        // Alias -> the same file, in either letter case.
        EXPECT_EQ(ReadAll(("C:\\g\\" + std::string(golden.pszAlias)).c_str()), golden.pszName);
        std::string strLower = golden.pszAlias;
        for (char& ch : strLower)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(ReadAll(("C:\\g\\" + strLower).c_str()), golden.pszName);
    }
    EXPECT_EQ(aliases.at("README.TXT"), "");   // legal 8.3 names have none of their own
    EXPECT_EQ(aliases.at("lower.c"), "");
}

TEST_F(ShortNameTest, CollisionsResolveDeterministically)
{
    // Both names want COLL~FS7.TXT; the smaller name keeps it, the other takes its next choice.
    Put("c/collide 86.txt", "86");
    Put("c/collide 68.txt", "68");
    for (int nPass = 0; nPass < 2; ++nPass) {
        const auto aliases = AliasesOf("C:\\c\\*.*");
        EXPECT_EQ(aliases.at("collide 68.txt"), "COLL~FS7.TXT");
        EXPECT_EQ(aliases.at("collide 86.txt"), "COLL~G4K.TXT");
        EXPECT_EQ(ReadAll("C:\\c\\coll~g4k.txt"), "86");
        OVF_ClearDrives();   // as after a restart
        ASSERT_EQ(OVF_SetDrive('C', m_drive.c_str(), OVFDriveKind::fixed), 0);
    }
}

TEST_F(ShortNameTest, RealNameThatLooksLikeAnAliasWins)
{
    Put("r/Long File Name.html", "long");
    Put("r/LONG~X6D.HTM", "real");
    EXPECT_EQ(ReadAll("C:\\r\\long~x6d.htm"), "real");
    const auto aliases = AliasesOf("C:\\r\\*.*");
    EXPECT_EQ(aliases.at("Long File Name.html"), "LONG~IVI.HTM");
    EXPECT_EQ(ReadAll("C:\\r\\LONG~IVI.HTM"), "long");
}

TEST_F(ShortNameTest, ShortPathsNameEveryElementAndAreLowerCase)
{
    Put("My Documents/Long File Name.html");
    char szShort[MAX_PATH];
    ASSERT_GT(GetShortPathName32("c:\\my documents\\long file name.html", szShort, sizeof szShort), 0u);
    EXPECT_STREQ(szShort, "C:\\MYDO~3Q1\\LONG~X6D.HTM");
    ASSERT_GT(LFN_GetShortPathName("C:\\My Documents\\Long File Name.html", szShort, sizeof szShort), 0u);
    EXPECT_STREQ(szShort, "c:\\mydo~3q1\\long~x6d.htm");
    EXPECT_EQ(LFN_GetShortPathName("C:\\", szShort, sizeof szShort), 3u);
    EXPECT_STREQ(szShort, "c:\\");
    EXPECT_EQ(LFN_GetShortPathName("C:\\missing\\x", szShort, sizeof szShort), 0u);
    EXPECT_EQ(GetShortPathName32("C:\\My Documents", szShort, 5), 0u);   // does not fit
    // The short path leads back to the same file.
    EXPECT_EQ(ReadAll("c:\\mydo~3q1\\long~x6d.htm"), "x");
}

} // namespace
} // namespace fs_test
