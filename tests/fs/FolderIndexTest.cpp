// The folder index under the library's own changes: they are applied in place, whatever the
// kind of names, and leave every alias as a fresh reading of the folder gives it.
#include "FolderNameKinds.h"
#include "FsFixture.h"

#include "OVFTesting.h"
#include "OVFUploads.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <numeric>
#include <random>

namespace fs_test {
namespace {

class FolderIndexTest : public TDriveFixture {
protected:
    // Every name of a folder with its alias, as a listing gives them.
    static std::map<std::string, std::string> Aliases(const std::string& strFolder)
    {
        std::map<std::string, std::string> aliases;
        WIN32_FIND_DATA data;
        DWORD dwError = 0;
        const DWORD h = FindFirstFile32((strFolder + "\\*").c_str(), &data, &dwError);
        if (h == kOVF_invalid)
            return aliases;
        do
            aliases[data.cFileName] = data.cAlternateFileName;
        while (FindNextFile32(h, &data, &dwError));
        FindClose32(h, &dwError);
        aliases.erase(".");
        aliases.erase("..");
        return aliases;
    }

    // A change by someone else, so that the folder is read again at its next use.
    void TouchFromOutside(const std::string& strFolder)
    {
        Put(strFolder + "/outsider");
        stdfs::remove(m_drive / strFolder / "outsider");
    }

    static std::uint64_t FolderReads() { return OVF_GetIndexStats().nBuilds; }
};

// Half of each folder comes from outside, the other half is created in a shuffled order, as a
// received file arrives: its temporary is made and takes the name; then a third of the names
// are removed. Names that share their first letters collide in their aliases, and 6000 of them
// make chains where a new name takes an alias that a later one held, or a removed name's alias
// goes to one that wanted it.
TEST_F(FolderIndexTest, OwnChangesAreAppliedInPlaceAndGiveTheAliasesOfAFreshReading)
{
    struct TCase {
        const name_kinds::TNameKind& kind;
        unsigned nNames;
    };
    std::vector<TCase> cases;
    for (const name_kinds::TNameKind& kind : name_kinds::Kinds())
        cases.push_back({kind, 600});
    cases.push_back({name_kinds::Kinds()[3], 6000});
    std::mt19937 random(14);
    for (std::size_t nCase = 0; nCase < cases.size(); ++nCase) {
        const TCase& test = cases[nCase];
        SCOPED_TRACE(std::string(test.kind.pszKind) + " " + std::to_string(test.nNames));
        const std::string strFolder = "k" + std::to_string(nCase);
        std::vector<unsigned> order(test.nNames);
        std::iota(order.begin(), order.end(), 0u);
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t i = 0; i < order.size() / 2; ++i)
            Put(strFolder + "/" + test.kind.Name(order[i]));
        const std::string strWinFolder = "C:\\" + strFolder;

        const std::uint64_t nReadsBefore = FolderReads();
        for (std::size_t i = order.size() / 2; i < order.size(); ++i) {
            const std::string strPath = strWinFolder + "\\" + test.kind.Name(order[i]);
            FileStatus32Record record{};
            ASSERT_FALSE(GetStatus32(strPath.c_str(), &record));
            std::string strToken;
            DWORD dwError = 0;
            const DWORD h = OVF_OpenUploadTemp(strPath.c_str(), &strToken, &dwError);
            ASSERT_NE(h, kOVF_invalid);
            ASSERT_TRUE(Close32(h, &dwError));
            ASSERT_TRUE(OVF_CommitUploadTemp(strToken, strPath.c_str(), &dwError));
        }
        const std::map<std::string, std::string> inPlace = Aliases(strWinFolder);
        // The first reading, and one more where it came within a tick of the outside changes.
        EXPECT_LE(FolderReads() - nReadsBefore, 2u);
        ASSERT_EQ(inPlace.size(), test.nNames);

        std::uint64_t nReadsInPlace = FolderReads();
        TouchFromOutside(strFolder);
        EXPECT_EQ(Aliases(strWinFolder), inPlace);
        EXPECT_EQ(FolderReads(), nReadsInPlace + 1);

        nReadsInPlace = FolderReads();
        std::shuffle(order.begin(), order.end(), random);
        for (std::size_t i = 0; i < order.size() / 3; ++i) {
            // In capitals, so that each removal looks the name up in the index, as the creates
            // did: a reading taken within a tick of the outside change is taken again early on,
            // and the removals after it are applied in place.
            std::string strName = test.kind.Name(order[i]);
            std::transform(strName.begin(), strName.end(), strName.begin(), [](char ch) {
                return static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            });
            const std::string strPath = strWinFolder + "\\" + strName;
            DWORD dwError = 0;
            ASSERT_TRUE(Remove32(strPath.c_str(), &dwError)) << strPath;
        }
        const std::map<std::string, std::string> afterRemoves = Aliases(strWinFolder);
        EXPECT_LE(FolderReads() - nReadsInPlace, 1u);
        ASSERT_EQ(afterRemoves.size(), test.nNames - test.nNames / 3);
        TouchFromOutside(strFolder);
        EXPECT_EQ(Aliases(strWinFolder), afterRemoves);
    }
}

// A real 8.3 name keeps the short name that a long name wants; once removed, the long name
// takes it. (Whether a change was applied in place is counted above: here a reading within a
// tick of the outside change may be taken again at any step.)
TEST_F(FolderIndexTest, ShortNameOfARemovedRealNameGoesToTheNameThatWantedIt)
{
    Put("r/other.txt");
    const auto create = [](const char* pszPath) {
        DWORD dwError = 0;
        const DWORD h = Open32(pszPath, kOVF_modeCreate | kOVF_modeWrite, &dwError);
        return h != kOVF_invalid && Close32(h, &dwError);
    };
    const auto remove = [](const char* pszPath) {
        DWORD dwError = 0;
        return Remove32(pszPath, &dwError) != 0;
    };
    struct TStep {
        bool (*Change)(const char*);
        const char* pszPath;
        const char* pszAlias;   // of "Long File Name.html" afterwards; null while it is not there
    };
    const TStep steps[] = {
        {create, "C:\\r\\LONG~X6D.HTM", nullptr},
        {create, "C:\\r\\Long File Name.html", "LONG~IVI.HTM"},
        {create, "C:\\r\\Long File Name 2.html", "LONG~IVI.HTM"},
        {remove, "C:\\r\\long~x6d.htm", "LONG~X6D.HTM"},
    };
    EXPECT_TRUE(Aliases("C:\\r").count("other.txt"));
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.pszPath);
        ASSERT_TRUE(step.Change(step.pszPath));
        const std::map<std::string, std::string> inPlace = Aliases("C:\\r");
        if (step.pszAlias != nullptr) {
            EXPECT_EQ(inPlace.at("Long File Name.html"), step.pszAlias);
        }
        TouchFromOutside("r");
        EXPECT_EQ(Aliases("C:\\r"), inPlace);
    }
}

// On a disk that tells letter case apart, names that differ only in case live side by side: a
// removal hands the case winner and the shared short name on in place, without reading the
// folder again.
TEST_F(FolderIndexTest, RemovingACaseTwinIsAppliedInPlace)
{
    OVF_SetDriveExactCase('C', true);
    Put("t/other.txt");
    struct TStep {
        bool bCreate;
        const char* pszName;
    };
    const TStep steps[] = {
        {true, "Readme.txt"},           {true, "README.TXT"},           {true, "readme.txt"},
        {true, "Long Shared Name.txt"}, {true, "LONG SHARED NAME.TXT"}, {true, "long shared name.txt"},
        {true, "LONGSH~1.TXT"},         {false, "README.TXT"},          {false, "Long Shared Name.txt"},
        {false, "readme.txt"},          {false, "LONG SHARED NAME.TXT"}, {false, "LONGSH~1.TXT"},
        {false, "Readme.txt"},          {false, "long shared name.txt"},
    };
    EXPECT_TRUE(Aliases("C:\\t").count("other.txt"));
    for (const TStep& step : steps) {
        SCOPED_TRACE(step.pszName);
        const std::string strPath = std::string("C:\\t\\") + step.pszName;
        const std::uint64_t nInPlace = OVF_GetIndexStats().nInPlaceUpdates;
        DWORD dwError = 0;
        if (step.bCreate) {
            const DWORD h = Open32(strPath.c_str(), kOVF_modeCreate | kOVF_modeWrite, &dwError);
            ASSERT_NE(h, kOVF_invalid);
            ASSERT_TRUE(Close32(h, &dwError));
        } else {
            ASSERT_TRUE(Remove32(strPath.c_str(), &dwError));
        }
        EXPECT_EQ(OVF_GetIndexStats().nInPlaceUpdates, nInPlace + 1);
        const std::map<std::string, std::string> inPlace = Aliases("C:\\t");
        EXPECT_EQ(inPlace.count(step.pszName), step.bCreate ? 1u : 0u);
        TouchFromOutside("t");
        EXPECT_EQ(Aliases("C:\\t"), inPlace);
    }
}

} // namespace
} // namespace fs_test
