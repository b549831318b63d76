// A download in a session where the host takes requests while it sends a fork: the requests of
// the next files go out while one file's data arrives, within the window of files and bytes;
// Cancel sends one abort and reads every reply still owed, leaving nothing behind.
#include "CopyEngineFixture.h"

#include <cstdlib>

namespace {
constexpr std::uint8_t kGetInfo = CodeByte(kFTP_msgGetInfo);
constexpr std::uint8_t kReqFork = CodeByte(kFTP_msgReqFork);
constexpr std::uint8_t kAbort = CodeByte(kFTP_msgAbort);
const Bytes kEndData{CodeByte(kFTP_msgEndData)};
const Bytes kHostAbort{CodeByte(kFTP_msgAbort)};
constexpr std::size_t kFileWindow = 256;
constexpr std::uint64_t kByteWindow = 1 << 20;

std::string NameOf(std::size_t i) { return "IMG_20240612_" + std::to_string(1000 + i) + ".dat"; }
std::string DataOf(std::size_t i, std::size_t nSize) { return std::string(nSize, static_cast<char>('a' + i % 26)); }
} // namespace

class TPipelinedDownloadTest : public TUtcCopyTest {
protected:
    // Opens a session on c:\Src listing the files of the sizes given, and starts their download.
    void StartFiles(const std::vector<std::size_t>& sizes, bool bPipelining = true)
    {
        m_sizes = sizes;
        Bytes listing;
        std::vector<TCopyItem> items;
        for (std::size_t i = 0; i < sizes.size(); ++i) {
            listing = Concat({listing, AFileReply(false, static_cast<std::uint32_t>(sizes[i]), 0x20, NameOf(i), true)});
            items.push_back({NameOf(i), false});
        }
        THostAnswer hostAnswer;
        hostAnswer.bPipelining = bPipelining;
        OpenAt("c:\\Src", listing, hostAnswer);
        ASSERT_TRUE(Start(ECopySource::Remote, std::move(items), "c:\\Src", "C:\\dest"));
    }
    // Takes the requests written since the last call and counts the files asked for.
    void TakeRequests()
    {
        for (const Bytes& request : Requests()) {
            if (request.at(0) == kGetInfo)
                ++m_nAsked;
            if (request.at(0) == kReqFork)
                ++m_nForksAsked;
            if (request.at(0) == kAbort)
                ++m_nAborts;
            if (request.at(0) == CodeByte(kFTP_msgListFiles))
                ++m_nListings;
        }
        EXPECT_EQ(m_nAsked, m_nForksAsked);
    }
    // Files asked for whose fork has not ended yet.
    std::size_t InFlight() const { return m_nAsked - m_nAnswered; }
    std::uint64_t BytesOwed(std::size_t nReceivedOfFirst) const
    {
        std::uint64_t n = 0;
        for (std::size_t i = m_nAnswered; i < m_nAsked; ++i)
            n += m_sizes[i];
        return n - nReceivedOfFirst;
    }
    // The host's answers for the next file asked for: its information, then its data in
    // packets, fed in small splits; the window is checked after every packet.
    void AnswerNextFile(const Bytes& end = kEndData)
    {
        const std::size_t i = m_nAnswered;
        Reply(FileInfoReply({0, static_cast<std::uint32_t>(m_sizes[i])}));
        const std::string sData = DataOf(i, m_sizes[i]);
        for (std::size_t nDone = 0; nDone < sData.size(); nDone += 4093) {
            app.FeedInPieces(ForkDataReplies(sData.substr(nDone, 4093)), 61);
            TakeRequests();
            EXPECT_LE(InFlight(), kFileWindow);
            EXPECT_LE(BytesOwed(std::min(nDone + 4093, sData.size())), std::max<std::uint64_t>(kByteWindow, m_sizes[i]));
        }
        Reply(end);
        ++m_nAnswered;
        TakeRequests();
        EXPECT_LE(InFlight(), kFileWindow);
    }

    std::vector<std::size_t> m_sizes;
    std::size_t m_nAsked = 0;
    std::size_t m_nForksAsked = 0;
    std::size_t m_nAnswered = 0;
    std::size_t m_nAborts = 0;
    std::size_t m_nListings = 0;
    // Ends the session, ready for the next case to open another.
    void CloseForNextCase()
    {
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
        entry = OVGuestEntry{};
        std::filesystem::remove_all(LocalPath("dest"));
        std::filesystem::create_directories(LocalPath("dest"));
    }
    // The copy's closing listing of the remote pane's folder, asked for once.
    void AnswerClosingListing()
    {
        TakeRequests();
        EXPECT_EQ(m_nListings, 1u);
        Reply(kEndData);
    }
};

TEST_F(TPipelinedDownloadTest, NextFilesAreAskedForWhileOneArrivesWithinTheWindow)
{
    struct TCase {
        const char* pszName;
        std::vector<std::size_t> sizes;
        std::size_t nAskedAtStart;
    };
    const TCase cases[] = {
        // Many small files: the window in files holds.
        {"small files", std::vector<std::size_t>(kFileWindow + 8, 1000), kFileWindow},
        // Larger files: the window in bytes holds; 400 KiB files fit two at a time, a third
        // goes out once enough of the first has arrived.
        {"large files", std::vector<std::size_t>(5, 400 * 1024), 2},
        // A file over the window is asked for only at its turn, the small ones behind it then.
        {"one over the window", {3000, (1 << 20) + 5, 3000, 3000}, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_nAsked = m_nForksAsked = m_nAnswered = m_nAborts = m_nListings = 0;
        StartFiles(c.sizes);
        TakeRequests();
        EXPECT_EQ(m_nAsked, c.nAskedAtStart);
        std::size_t nAskedBeforeEnd = 0;
        while (m_nAnswered < c.sizes.size()) {
            const std::size_t nBefore = m_nAsked;
            AnswerNextFile();
            if (m_nAsked > nBefore && m_nAsked < c.sizes.size())
                ++nAskedBeforeEnd;
        }
        EXPECT_GT(nAskedBeforeEnd, 0u);
        EXPECT_EQ(m_nAsked, c.sizes.size());
        AnswerClosingListing();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->nFilesCopied, c.sizes.size());
        for (std::size_t i = 0; i < c.sizes.size(); ++i)
            EXPECT_EQ(ReadLocal("dest/" + NameOf(i)), DataOf(i, c.sizes[i])) << NameOf(i);
        CloseForNextCase();
    }
}

TEST_F(TPipelinedDownloadTest, WhileLargeDataArrivesTheNextFileIsAskedFor)
{
    StartFiles(std::vector<std::size_t>(3, 400 * 1024));
    TakeRequests();
    ASSERT_EQ(m_nAsked, 2u);
    Reply(FileInfoReply({0, 400 * 1024}));
    const std::string sData = DataOf(0, 400 * 1024);
    app.FeedInPieces(ForkDataReplies(sData.substr(0, 300 * 1024), 4093), 509);
    // The first file's data has not ended, yet the third is asked for.
    TakeRequests();
    EXPECT_EQ(m_nAsked, 3u);
}

TEST_F(TPipelinedDownloadTest, AHostThatDoesNotPipelineIsAskedOneFileAtATime)
{
    StartFiles({100, 100, 100}, false);
    for (std::size_t i = 0; i < 3; ++i) {
        TakeRequests();
        EXPECT_EQ(m_nAsked, i + 1);
        AnswerNextFile();
    }
    AnswerClosingListing();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 3u);
}

TEST_F(TPipelinedDownloadTest, CancelSendsOneAbortReadsWhatIsOwedAndLeavesNothing)
{
    // Four files of two packets each are in flight when the user cancels during the first.
    const std::size_t nSize = 6000;
    const std::string sFirst = std::string(4093, 'p');
    const Bytes kRestOfFirst = ForkDataReplies(std::string(nSize - 4093, 'p'));
    auto whole = [&](std::size_t i, const Bytes& end) {
        return Concat({FileInfoReply({0, static_cast<std::uint32_t>(nSize)}), ForkDataReplies(DataOf(i, nSize), 4093), end});
    };
    struct TCase {
        const char* pszName;
        Bytes afterAbort; // the host's replies from the moment the abort is sent
    };
    const TCase cases[] = {
        // The abort reaches the host while it sends the first fork: that fork ends at once, the
        // files queued behind are answered in full, and the abort has no answer of its own.
        {"ends the fork in flight", Concat({kHostAbort, whole(1, kEndData), whole(2, kEndData), whole(3, kEndData)})},
        // The first fork had ended: the abort ends the second.
        {"ends a later fork", Concat({kRestOfFirst, kEndData, FileInfoReply({0, 6000}), kHostAbort, whole(2, kEndData),
                                      whole(3, kEndData)})},
        // It reached the host between forks: every fork ends with its data, then its own answer.
        {"answered in its turn", Concat({kRestOfFirst, kEndData, whole(1, kEndData), whole(2, kEndData),
                                         whole(3, kEndData), ResultReply(0)})},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_nAsked = m_nForksAsked = m_nAnswered = m_nAborts = m_nListings = 0;
        WriteLocal("dest/" + NameOf(0), "kept");
        answers = {ReplaceAnswer::kYesToAll};
        StartFiles(std::vector<std::size_t>(4, nSize));
        TakeRequests();
        ASSERT_EQ(m_nAsked, 4u);
        Reply(Concat({FileInfoReply({0, static_cast<std::uint32_t>(nSize)}), ForkDataReplies(sFirst)}));
        Engine().Cancel();
        Reply(ForkDataReplies(std::string(1, 'p')));
        TakeRequests();
        EXPECT_EQ(m_nAborts, 1u);
        EXPECT_EQ(m_nAsked, 4u); // nothing more is asked for
        // Until every owed reply is read, the copy does not end.
        const Bytes replies = c.afterAbort;
        for (std::size_t i = 0; i + 1 < replies.size(); i += 53) {
            app.FeedInPieces(Bytes(replies.begin() + static_cast<std::ptrdiff_t>(i),
                                   replies.begin() + static_cast<std::ptrdiff_t>(std::min(i + 53, replies.size() - 1))),
                             7);
            EXPECT_FALSE(outcome.has_value());
            EXPECT_TRUE(Requests().empty());
        }
        Reply(Bytes{replies.back()});
        TakeRequests();
        EXPECT_EQ(m_nAborts, 1u);
        AnswerClosingListing();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_TRUE(outcome->bStopped);
        EXPECT_EQ(outcome->nFilesCopied, 0u);
        // The earlier local file is untouched; no partial or temporary file is left.
        EXPECT_EQ(LocalNames("dest"), std::vector<std::string>{NameOf(0)});
        EXPECT_EQ(ReadLocal("dest/" + NameOf(0)), "kept");
        EXPECT_EQ(Session().RepliesAwaited(), 0u);
        EXPECT_EQ(Session().StopReason(), 0);
        CloseForNextCase();
    }
}

TEST_F(TPipelinedDownloadTest, TheSizingPassAsksForSeveralFolderListingsAtOnce)
{
    THostAnswer hostAnswer;
    hostAnswer.bPipelining = true;
    OpenAt("c:\\Src", Concat({AFileReply(true, 0, 0x10, "A", true), AFileReply(true, 0, 0x10, "B", true)}), hostAnswer);
    ASSERT_TRUE(Start(ECopySource::Remote, {{"A", true}, {"B", true}}, "c:\\Src", "C:\\dest"));
    const std::vector<Bytes> listings = Requests();
    ASSERT_EQ(listings.size(), 2u);
    EXPECT_EQ(Bytes(listings[0].begin() + 7, listings[0].end()), (Bytes{7, '\\', 'S', 'r', 'c', '\\', 'A', '\\'}));
    EXPECT_EQ(Bytes(listings[1].begin() + 7, listings[1].end()), (Bytes{7, '\\', 'S', 'r', 'c', '\\', 'B', '\\'}));
    // A's answer names a folder inside it, which is asked for next; the remote pane's listing
    // stays that of c:\Src all along.
    app.FeedInPieces(Concat({AFileReply(true, 0, 0x10, "A1", true), AFileReply(false, 300, 0x20, "a.dat", true), kEndData}), 5);
    EXPECT_EQ(RequestCodes(), std::vector<std::uint8_t>{CodeByte(kFTP_msgListFiles)});
    app.FeedInPieces(Concat({AFileReply(false, 20, 0x20, "b.dat", true), kEndData}), 5);
    EXPECT_EQ(Session().ListedRemotePath(), "c:\\Src");
    app.FeedInPieces(Concat({AFileReply(false, 1000, 0x20, "deep.dat", true), kEndData}), 5);
    EXPECT_EQ(CopyWindow().nStatusTotal, 1320u);
    // The copy enters A, then A1, with the listings the sizing read: nothing is listed again,
    // and the first file asked for is A1's.
    EXPECT_EQ(Session().ListedRemotePath(), "c:\\Src\\A\\A1");
    const std::vector<Bytes> requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].at(0), kGetInfo);
    EXPECT_EQ(requests[1].at(0), kReqFork);
    const std::string sAsked(requests[0].begin(), requests[0].end());
    EXPECT_NE(sAsked.find("deep.dat"), std::string::npos);
}

TEST_F(TPipelinedDownloadTest, AFileLeftOutAfterItWasAskedForHasItsDataReadAndDropped)
{
    WriteLocal("dest/" + NameOf(1), "kept");
    answers = {ReplaceAnswer::kNo};
    StartFiles({100, 100, 100});
    TakeRequests();
    ASSERT_EQ(m_nAsked, 3u);
    AnswerNextFile();
    // The second file's turn came with the end of the first: the user keeps the local one.
    EXPECT_EQ(asked, std::vector<std::string>{NameOf(1)});
    AnswerNextFile();
    AnswerNextFile();
    AnswerClosingListing();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 2u);
    EXPECT_EQ(outcome->nItemsSkipped, 1u);
    EXPECT_EQ(ReadLocal("dest/" + NameOf(1)), "kept");
    EXPECT_EQ(ReadLocal("dest/" + NameOf(2)), DataOf(2, 100));
    EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{NameOf(0), NameOf(1), NameOf(2)}));
}
