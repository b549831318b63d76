#include "NameMap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>

namespace {

struct Rules {
    WORD nFileSystem;
    WORD nTotal;
    WORD nName;
    WORD nExtension;
};
constexpr Rules kMac{kMFNFileSystemMac, 31, 31, 15};
constexpr Rules kShort{kMFNFileSystemShort, 12, 8, 4};
constexpr Rules kLong{kMFNFileSystemLong, 256, 256, 256};

BOOL AlwaysUnique(std::uintptr_t, const char*) { return 1; }

// Refuses the names in the set that the context points to.
BOOL NotTaken(std::uintptr_t nContext, const char* pszCandidate)
{
    return reinterpret_cast<const std::set<std::string>*>(nContext)->count(pszCandidate) == 0;
}

std::string Munge(const Rules& rules, const char* pszSource, TMFNUniqueProc pfn = AlwaysUnique,
                  std::uintptr_t nContext = 0, int* pResult = nullptr)
{
    HMFN h = nullptr;
    EXPECT_EQ(MFN_Initialize(&h, rules.nFileSystem, 0, rules.nTotal, rules.nName, rules.nExtension, 0), kMFNOk);
    char szOut[kMFNOutSize];
    std::memset(szOut, 'X', sizeof szOut);
    const int nResult = MFN_Munge(h, pszSource, szOut, pfn, nContext);
    if (pResult)
        *pResult = nResult;
    else
        EXPECT_EQ(nResult, kMFNOk);
    MFN_Terminate(&h);
    EXPECT_EQ(h, nullptr);
    return szOut;
}

bool IsValidUtf8(const std::string& s)
{
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        i += n;
    }
    return true;
}

TEST(NameMap, FortyCharacterNameFitsEachKindOfVolume)
{
    const char* pszName = "Quarterly report: sales, costs <v2>.docx"; // 40 characters
    ASSERT_EQ(std::strlen(pszName), 40u);
    EXPECT_EQ(Munge(kMac, pszName), "Quarterly report_ sales, c.docx");
    EXPECT_EQ(Munge(kShort, pszName), "QUARTERL.DOC");
    EXPECT_EQ(Munge(kLong, pszName), "Quarterly report_ sales, costs _v2_.docx");
}

TEST(NameMap, CharactersAreCleanedForTheTarget)
{
    struct Case {
        Rules rules;
        const char* pszSource;
        const char* pszExpected;
    };
    const Case cases[] = {
        {kShort, "my file+name.c", "MYFILE_N.C"},
        {kShort, "a.b.c.txt", "ABC.TXT"},
        {kShort, ".profile", "PROFILE"},
        {kShort, "caf\xC3\xA9.txt", "CAF_.TXT"},   // one '_' for the two-byte character
        {kShort, "x.html", "X.HTM"},
        {kMac, "a:b/c\\d*.txt", "a_b/c\\d*.txt"},
        {kMac, "tab\there", "tab_here"},
        {kLong, "a:b/c\\d*e?f\"g<h>i|j.txt", "a_b_c_d_e_f_g_h_i_j.txt"},
        {kLong, "trailing dots. . .", "trailing dots"},
        {kLong, "caf\xC3\xA9 \xE2\x82\xAC.txt", "caf\xC3\xA9 \xE2\x82\xAC.txt"},
        {kLong, "..", "_"},
        {kLong, "", "_"},
        {kMac, ".", "_"},
        {kShort, "...", "_"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Munge(c.rules, c.pszSource), c.pszExpected) << c.pszSource;
}

TEST(NameMap, LengthsCountBytesAndCutsKeepWholeCharacters)
{
    std::string source;
    for (int i = 0; i < 40; ++i)
        source += "\xC3\xA9"; // 80 bytes of two-byte characters
    const std::string mac = Munge(kMac, (source + ".t\xC3\xA9xt").c_str());
    EXPECT_LE(mac.size(), 31u);
    EXPECT_TRUE(IsValidUtf8(mac));
    EXPECT_EQ(mac.substr(mac.size() - 6), ".t\xC3\xA9xt");

    const Rules tiny{kMFNFileSystemLong, 3, 3, 2};
    EXPECT_EQ(Munge(tiny, "\xE2\x82\xAC\xE2\x82\xAC.x"), "_.x"); // no whole character fits beside the extension
    const std::string big(400, 'n');
    EXPECT_EQ(Munge(kLong, big.c_str()).size(), 256u);
    const Rules wide{kMFNFileSystemLong, 0xFFFF, 0xFFFF, 0xFFFF};
    EXPECT_EQ(Munge(wide, big.c_str()).size(), kMFNOutSize - 1); // never past the out buffer
}

TEST(NameMap, UniquenessCallbackIsConsulted)
{
    const std::set<std::string> taken{"LONGNAME.TXT", "LONGNA~1.TXT", "report.txt"};
    const auto nContext = reinterpret_cast<std::uintptr_t>(&taken);
    EXPECT_EQ(Munge(kShort, "longname.txt", NotTaken, nContext), "LONGNA~2.TXT");
    EXPECT_EQ(Munge(kLong, "report.txt", NotTaken, nContext), "report~1.txt");
    EXPECT_EQ(Munge(kLong, "free.txt", NotTaken, nContext), "free.txt");
    EXPECT_EQ(Munge(kLong, "report.txt", nullptr), "report.txt");

    int nResult = kMFNOk;
    const auto refuseAll = [](std::uintptr_t, const char*) -> BOOL { return 0; };
    const Rules tiny{kMFNFileSystemLong, 2, 2, 0};
    EXPECT_EQ(Munge(tiny, "ab", refuseAll, 0, &nResult), "ab");
    EXPECT_EQ(nResult, kMFNNoUniqueName);
}

TEST(NameMap, BadArgumentsAndLocalVolume)
{
    HMFN h = reinterpret_cast<HMFN>(1);
    EXPECT_EQ(MFN_Initialize(&h, kMFNFileSystemLong, 0, 0, 8, 4, 0), kMFNBadArgument);
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(MFN_Initialize(nullptr, kMFNFileSystemLong, 0, 12, 8, 4, 0), kMFNBadArgument);
    char szOut[kMFNOutSize];
    EXPECT_EQ(MFN_Munge(nullptr, "a", szOut, AlwaysUnique, 0), kMFNBadArgument);
    MFN_Terminate(&h); // a null handle is ignored

    WORD nFileSystem = 0xFFFF;
    WORD nLanguage = 0xFFFF;
    EXPECT_NE(MFN_GetFileSystemAndLanguage(&nFileSystem, &nLanguage), 0);
    EXPECT_EQ(nFileSystem, 1);
    EXPECT_EQ(nLanguage, 0);
}

// Whatever the source, the result obeys the rules: within the lengths, whole characters, none
// of the target's forbidden characters, never empty, "." or "..".
TEST(NameMap, EveryResultObeysItsRules)
{
    const char* pieces[] = {"a", "Z", "9", ".", " ", ":", "\\", "/", "*", "?", "<", "|", "~", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\t"};
    struct Target {
        Rules rules;
        const char* pszForbidden;
    };
    const Target targets[] = {
        {kMac, ":"},
        {kShort, "\\/:*?\"<>| +abcdefghijklmnopqrstuvwxyz"},
        {kLong, "\\/:*?\"<>|"},
        {{kMFNFileSystemLong, 5, 3, 3}, "\\/:*?\"<>|"},
    };
    std::mt19937 random(4);
    for (int i = 0; i < 3000; ++i) {
        std::string source;
        const int nPieces = int(random() % 70);
        for (int k = 0; k < nPieces; ++k)
            source += pieces[random() % std::size(pieces)];
        for (const Target& target : targets) {
            const std::string out = Munge(target.rules, source.c_str());
            EXPECT_LE(out.size(), target.rules.nTotal) << source;
            EXPECT_TRUE(IsValidUtf8(out)) << source;
            EXPECT_EQ(out.find_first_of(target.pszForbidden), std::string::npos) << source << " -> " << out;
            EXPECT_TRUE(out.find_first_of("\t") == std::string::npos) << source;
            EXPECT_TRUE(!out.empty() && out != "." && out != "..") << source;
            if (target.rules.nFileSystem == kMFNFileSystemShort) {
                const std::size_t nDot = out.find('.');
                EXPECT_EQ(nDot, out.rfind('.')) << out; // one dot at most
                EXPECT_LE(std::min(nDot, out.size()), target.rules.nName) << out;
                if (nDot != std::string::npos) {
                    EXPECT_LE(out.size() - nDot, target.rules.nExtension) << out;
                }
            }
        }
    }
}

} // namespace
