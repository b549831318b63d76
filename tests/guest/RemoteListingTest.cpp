// The remote listing's own operations, without a connection.
#include "RemoteListing.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
TRemoteEntry File(const char* pszName, std::uint32_t nSize)
{
    TRemoteEntry entry{};
    SetRemoteEntryName(entry, pszName, true);
    entry.dwSize = nSize;
    return entry;
}

class TRemoteListingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::uint8_t record[Packet::AVol::kRecordLong] = {3, 0};
        listing.EnterPath(record, "c: (System)", "\\Work");
        for (const TRemoteEntry& e : {File("Report.doc", 10), File("report.doc", 20), File("notes.txt", 30)})
            listing.AddCurrentEntry(e);
    }
    std::vector<std::uint32_t> Sizes()
    {
        std::vector<std::uint32_t> sizes;
        HListBegin(&listing.Levels());
        HList& entries = HListAt<TRemoteLevel>(&listing.Levels(), listing.CurrentLevel())->entries;
        HListBegin(&entries);
        for (std::uint32_t i = 0; i < entries.count; ++i)
            sizes.push_back(HListAt<TRemoteEntry>(&entries, i)->dwSize);
        HListEnd(&entries);
        HListEnd(&listing.Levels());
        return sizes;
    }
    TRemoteListing listing;
};
} // namespace

TEST_F(TRemoteListingTest, AddedEntryReplacesOnlyItsExactNameAndGoesLast)
{
    std::uint32_t nIndex = 99;
    ZULAddFileEntry(listing, listing.CurrentLevel(), File("Report.doc", 11), &nIndex);
    EXPECT_EQ(Sizes(), (std::vector<std::uint32_t>{20, 30, 11}));
    EXPECT_EQ(nIndex, 2u);
    ZULAddFileEntry(listing, listing.CurrentLevel(), File("new.bin", 5), &nIndex);
    EXPECT_EQ(nIndex, 3u);
    ZULAddFileEntry(listing, listing.CurrentLevel(), File("Report.doc", 12), &nIndex);
    ZULAddFileEntry(listing, listing.CurrentLevel(), File("new.bin", 6), &nIndex);
    EXPECT_EQ(Sizes(), (std::vector<std::uint32_t>{20, 30, 12, 6}));
    // A new listing of the level is what later additions are checked against.
    listing.ClearCurrentEntries();
    listing.AddCurrentEntry(File("new.bin", 7));
    listing.AddCurrentEntry(File("new.bin", 8));
    ZULAddFileEntry(listing, listing.CurrentLevel(), File("Report.doc", 13), &nIndex);
    ZULAddFileEntry(listing, listing.CurrentLevel(), File("new.bin", 9), &nIndex);
    EXPECT_EQ(Sizes(), (std::vector<std::uint32_t>{13, 9}));
}

TEST_F(TRemoteListingTest, SelectedFileSizeIsFoundByEitherName)
{
    std::uint64_t nBytes = 100;
    ZULGetSelectedRemoteFileInfo(listing, "notes.txt", &nBytes);
    EXPECT_EQ(nBytes, 130u);
    ZULGetSelectedRemoteFileInfo(listing, "missing.txt", &nBytes);
    EXPECT_EQ(nBytes, 130u);
}

TEST_F(TRemoteListingTest, CurrentFolderIsTheLastLevelWithItsOwnEntry)
{
    TRemoteLevel level{};
    TRemoteEntry own{};
    ASSERT_TRUE(ZULGetCurrentRemoteDirInfo(listing, listing.CurrentLevel(), &level, &own));
    EXPECT_STREQ(level.szName, "Work");
    EXPECT_EQ(level.volumeRecord[0], 3);
    EXPECT_STREQ(own.szShortName, "Work");
    // Going deeper keeps the levels above; going elsewhere drops them.
    std::uint8_t record[Packet::AVol::kRecordLong] = {3, 0};
    listing.EnterPath(record, "c: (System)", "\\Work\\Deeper");
    EXPECT_EQ(listing.LevelCount(), 3u);
    EXPECT_EQ(Sizes().size(), 0u);
    listing.EnterPath(record, "c: (System)", "\\Work");
    EXPECT_EQ(Sizes(), (std::vector<std::uint32_t>{10, 20, 30}));
    ASSERT_TRUE(ZULGetCurrentRemoteDirInfo(listing, 0, &level, nullptr, 0, "c:\\Work"));
    EXPECT_STREQ(level.szName, "Work");
}

TEST(RemoteDirectoryStringTest, FollowsTheVolumeRules)
{
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\", "\\"},           {"c:", "\\"},         {"c:\\dir", "\\dir\\"},
        {"c:\\a\\b", "\\a\\b\\"}, {"Desktop", "\\"},    {"Desktop\\Notes", "\\Notes\\"},
    };
    for (const auto& [pszPath, pszDir] : cases)
        EXPECT_EQ(RemoteDirectoryString(pszPath), pszDir) << pszPath;
    EXPECT_EQ(RemoteDirectoryString("c:\\" + std::string(300, 'x')).size(), 260u);
}
