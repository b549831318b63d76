// The folder index under the library's own changes: they are applied in place, whatever the
// kind of names, and leave every alias as a fresh reading of the folder gives it.
#include "FolderNameKinds.h"
#include "FsFixture.h"

#include "OVFTesting.h"
#include "OVFUploads.h"

#include <algorithm>
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
            const std::string strPath = strWinFolder + "\\" + test.kind.Name(order[i]);
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

} // namespace
} // namespace fs_test
