// The local side of the copy engines: line-end rules, counting trees past 4 GiB and the
// listings the sizing keeps.
#include "CopyEngineFixture.h"

#include "OVFTesting.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

TEST(LineEnds, AddAndRemoveLineFeeds)
{
    struct TCase {
        std::string sIn;
        std::string sAdded;
        std::string sRemoved;
    };
    const TCase cases[] = {
        {"", "", ""},
        {"\r", "\r\n", "\r"},
        {"a\r\nb", "a\r\nb", "a\rb"},
        {"a\r\n\nb\n", "a\r\n\nb\n", "a\rb"},
        {"\n\n\n", "\n\n\n", ""},
        {"\r\r", "\r\n\r\n", "\r\r"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.sIn);
        Bytes in(c.sIn.begin(), c.sIn.end());
        // Whole, and in two pieces split at every place.
        for (std::size_t nSplit = 0; nSplit <= in.size(); ++nSplit) {
            Bytes out(2 * in.size() + 1);
            bool bAfterReturn = false;
            std::size_t nOut = AddLineFeeds(in.data(), nSplit, out.data(), bAfterReturn);
            nOut += AddLineFeeds(in.data() + nSplit, in.size() - nSplit, out.data() + nOut, bAfterReturn);
            out.resize(nOut);
            EXPECT_EQ(std::string(out.begin(), out.end()), c.sAdded) << "split at " << nSplit;
        }
        in.resize(RemoveLineFeeds(in.data(), in.size()));
        EXPECT_EQ(std::string(in.begin(), in.end()), c.sRemoved);
    }
}

class TLocalTreeTest : public TCopyEngineTest {};

TEST_F(TLocalTreeTest, TreesAreCountedIn64Bits)
{
    WriteLocal("tree/a", "12345");
    WriteLocal("tree/sub/.hidden", "x");
    std::filesystem::create_directories(LocalPath("tree/empty"));
    // A sparse file past 4 GiB costs no space.
    std::filesystem::resize_file((WriteLocal("tree/sub/huge", ""), LocalPath("tree/sub/huge")), 5ull << 30);
    std::uint64_t nFiles = 0;
    std::uint64_t nBytes = 0;
    ASSERT_TRUE(CountLocalTree("C:\\tree", &nFiles, &nBytes, nullptr));
    EXPECT_EQ(nFiles, 3u);
    EXPECT_EQ(nBytes, (5ull << 30) + 6);
    EXPECT_FALSE(CountLocalTree("C:\\missing", &nFiles, &nBytes, nullptr));
    EXPECT_TRUE(IsFolderWritable("C:\\tree"));
    EXPECT_FALSE(IsFolderWritable("C:\\missing"));
    EXPECT_EQ(LocalNames("tree"), (std::vector<std::string>{"a", "empty", "sub"}));
}

TEST_F(TLocalTreeTest, EnteringASizedFolderGivesWhatTheSizingCounted)
{
    WriteLocal("tree/a", "12345");
    WriteLocal("tree/sub/b", "1");
    std::uint64_t nFiles = 0;
    std::uint64_t nBytes = 0;
    TLocalSizedListings sized(kMostLocalSizedEntries);
    ASSERT_TRUE(CountLocalTree("C:\\tree", &nFiles, &nBytes, &sized));
    // What changes after the sizing is not sent: the copy stays the one counted.
    WriteLocal("tree/sub/late", "22");
    ASSERT_EQ(::mkfifo(LocalPath("tree/sub/fifo").c_str(), 0600), 0);
    std::vector<TCopyItem> items;
    std::vector<TOVFLeftOut> leftOut;
    const auto names = [&items] {
        std::vector<std::string> v;
        for (const TCopyItem& item : items)
            v.push_back(item.sName + (item.bFolder ? "/" : ":" + std::to_string(item.nSize.value_or(99))));
        std::sort(v.begin(), v.end());
        return v;
    };
    ASSERT_TRUE(LocalFolderItems("C:\\tree\\sub", &sized, &items, &leftOut));
    EXPECT_EQ(names(), (std::vector<std::string>{"b:1"}));
    // What cannot be sent is still said, as it is now.
    ASSERT_EQ(leftOut.size(), 1u);
    EXPECT_EQ(leftOut[0].strName, "fifo");
    // A listing is handed over once; entered again, the folder is read as it is now.
    ASSERT_TRUE(LocalFolderItems("C:\\tree\\sub", &sized, &items, &leftOut));
    EXPECT_EQ(names(), (std::vector<std::string>{"b:1", "late:2"}));
    ASSERT_TRUE(LocalFolderItems("C:\\tree", &sized, &items, &leftOut));
    EXPECT_EQ(names(), (std::vector<std::string>{"a:5", "sub/"}));
    sized.Clear();
    EXPECT_FALSE(LocalFolderItems("C:\\missing", &sized, &items, &leftOut));
}

TEST_F(TLocalTreeTest, ReceivedFileTakesItsNameOnlyAtCommit)
{
    using ECommit = TReceivedFile::ECommit;
    struct TCase {
        const char* pszAppears;   // what appears at the final path while the data arrives
        bool bDiskFull;           // the close, which writes the last data, finds the disk full
        ECommit eCommitted;
    };
    const TCase cases[] = {{nullptr, false, ECommit::Done},
                           {"file", false, ECommit::Done},
                           {"folder", false, ECommit::Failed},
                           {nullptr, true, ECommit::DiskFull}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.pszAppears ? c.pszAppears : "nothing") + (c.bDiskFull ? ", disk full" : ""));
        std::filesystem::remove_all(LocalPath("in"));
        std::filesystem::create_directories(LocalPath("in"));
        TReceivedFile received;
        ASSERT_TRUE(received.Open("C:\\in\\f.dat", false));
        received.Write("data", 4);
        if (c.pszAppears && std::string(c.pszAppears) == "file")
            WriteLocal("in/f.dat", "other");
        else if (c.pszAppears)
            WriteLocal("in/f.dat/inside", "kept");
        if (c.bDiskFull)
            OVF_InjectFault(OVFOp::close, "", ENOSPC, 1);
        EXPECT_EQ(received.Commit(), c.eCommitted);
        const bool bCommitted = c.eCommitted == ECommit::Done;
        EXPECT_EQ(LocalNames("in"), bCommitted || c.pszAppears ? std::vector<std::string>{"f.dat"} : std::vector<std::string>{})
            << "no temporary is left";
        if (bCommitted || c.pszAppears) {
            EXPECT_EQ(ReadLocal(bCommitted ? "in/f.dat" : "in/f.dat/inside"), bCommitted ? "data" : "kept");
        }
    }
}
