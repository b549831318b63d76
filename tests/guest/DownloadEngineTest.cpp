// The download engine, host replies fed byte by byte: the requests it sends, what arrives in
// the local folder, and that an earlier local file survives every way a download can fail.
#include "CopyEngineFixture.h"

#include "MacTime.h"
#include "OVFDrives.h"
#include "StringTable.h"

#include <sys/stat.h>

#include <cstdlib>

namespace {
constexpr std::uint8_t kGetInfo = CodeByte(kFTP_msgGetInfo);
constexpr std::uint8_t kReqFork = CodeByte(kFTP_msgReqFork);
constexpr std::uint8_t kAbort = CodeByte(kFTP_msgAbort);
constexpr std::uint8_t kListFiles = CodeByte(kFTP_msgListFiles);
const Bytes kEndData{CodeByte(kFTP_msgEndData)};

Bytes Named(std::initializer_list<std::uint8_t> head, const std::string& sName, const std::string& sDir)
{
    Bytes b(head);
    b.push_back(static_cast<std::uint8_t>(sName.size()));
    b.insert(b.end(), sName.begin(), sName.end());
    b.push_back(static_cast<std::uint8_t>(sDir.size()));
    b.insert(b.end(), sDir.begin(), sDir.end());
    return b;
}

std::time_t ModifiedTime(const std::filesystem::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// 2000-01-02 03:04:05 as a Mac time (UTC is the tests' zone).
constexpr std::uint32_t kRemoteTime = 946782245u + kMacTimeTo1970;
} // namespace

class TDownloadTest : public TUtcCopyTest {
protected:
    // Starts the download of one file of c:\Src, answers its kFTP_msgGetInfo when it was asked
    // for, and returns the codes of the requests sent before that answer.
    std::vector<std::uint8_t> StartFile(const std::string& sName, const TInfo& info, const Bytes& listing = {})
    {
        OpenAt("c:\\Src", listing.empty() ? AFileReply(false, info.nSize, 0x20, sName, true) : listing);
        EXPECT_TRUE(Start(ECopySource::Remote, {{sName, false}}, "c:\\Src", "C:\\dest"));
        const std::vector<std::uint8_t> codes = RequestCodes();
        if (!codes.empty() && codes[0] == kGetInfo)
            Reply(FileInfoReply(info));
        return codes;
    }
};

TEST_F(TDownloadTest, FileArrivesWholeUnderItsNameOnlyAtTheEndWithTheRemoteTime)
{
    const std::string sData = std::string(4093, 'x') + std::string(4094, 'y') + "tail";
    OpenAt("c:\\Src", AFileReply(false, 10, 0x20, "Report.dat", true));
    ASSERT_TRUE(Start(ECopySource::Remote, {{"Report.dat", false}}, "c:\\Src", "C:\\dest"));
    // The information and the fork are asked for at once.
    const Bytes expectedGetInfo = Named({kGetInfo, 3, 0, 0x80, 0, 0, 0}, "Report.dat", "\\Src\\");
    const Bytes expectedReqFork = Named({kReqFork, 0, 0, 3, 0, 0x80, 0, 0, 0}, "Report.dat", "\\Src\\");
    EXPECT_EQ(Requests(), (std::vector<Bytes>{expectedGetInfo, expectedReqFork}));

    // The announced size is not trusted: the data flows to the end of the fork.
    Reply(FileInfoReply({0, 10, "????", false, kRemoteTime, 0x21}));
    EXPECT_TRUE(Requests().empty());
    Reply(ForkDataReplies(sData, 4000));
    EXPECT_EQ(ReadLocal("dest/Report.dat"), "<missing>");
    EXPECT_EQ(CopyWindow().nStatusDone, sData.size());

    Reply(kEndData);
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 1u);
    EXPECT_FALSE(outcome->bStopped);
    EXPECT_EQ(ReadLocal("dest/Report.dat"), sData);
    EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{"Report.dat"}));
    EXPECT_EQ(ModifiedTime(LocalPath("dest/Report.dat")), 946782245);
    EXPECT_FALSE(CopyWindow().IsBusy());
    EXPECT_EQ(Session().RepliesAwaited(), 0u);
    EXPECT_TRUE(app.ReadPending());
    EXPECT_TRUE(boxes.empty());
    ASSERT_FALSE(CopyWindow().statusTexts.empty());
    EXPECT_EQ(CopyWindow().statusTexts.back(), "c:\\Src\\Report.dat (1 of 1)");
}

TEST_F(TDownloadTest, TextTranslationGivesEveryCarriageReturnALineFeedOnce)
{
    struct TCase {
        const char* pszType;
        bool bTranslate;
        const char* pszExpected;
    };
    const TCase cases[] = {
        {"TEXT", true, "ab\r\ncd\r\n"}, // a CR at a packet's end gains its LF at once; the LF that follows it goes
        {"TEXT", false, "ab\r\ncd\r"},
        {"BINA", true, "ab\r\ncd\r"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszType + std::string(c.bTranslate ? " on" : " off"));
        bTranslateDownload = c.bTranslate;
        StartFile("notes.txt", {0, 7, c.pszType});
        Reply(Concat({ForkDataReplies("ab\r"), ForkDataReplies("\ncd\r"), kEndData}));
        AnswerRelisting();
        EXPECT_EQ(ReadLocal("dest/notes.txt"), c.pszExpected);
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
        std::filesystem::remove(LocalPath("dest/notes.txt"));
    }
}

TEST_F(TDownloadTest, ReplaceAnswers)
{
    struct TCase {
        int nAnswer;
        const char* pszExpected;
        std::vector<std::uint8_t> requested;
    };
    const TCase cases[] = {
        {ReplaceAnswer::kYes, "new", {kGetInfo, kReqFork}},
        {ReplaceAnswer::kYesToAll, "new", {kGetInfo, kReqFork}},
        {ReplaceAnswer::kNo, "old", {}}, // nothing is asked for the kept file
        {ReplaceAnswer::kCancel, "old", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.nAnswer);
        WriteLocal("dest/a.txt", "old");
        std::filesystem::last_write_time(LocalPath("dest/a.txt"), std::filesystem::file_time_type::clock::now());
        answers = {c.nAnswer};
        asked.clear();
        const std::vector<std::uint8_t> codes = StartFile("a.txt", {0, 3, "????", false, kRemoteTime});
        EXPECT_EQ(asked, (std::vector<std::string>{"a.txt"}));
        if (c.requested.empty()) {
            EXPECT_EQ(codes, (std::vector<std::uint8_t>{kListFiles}));
            Reply(kEndData);
        } else {
            EXPECT_EQ(codes, c.requested);
            if (codes.size() > 1)
                Reply(Concat({ForkDataReplies("new"), kEndData}));
            AnswerRelisting();
        }
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->bStopped, c.nAnswer == ReplaceAnswer::kCancel);
        EXPECT_EQ(ReadLocal("dest/a.txt"), c.pszExpected);
        // A replaced file carries the remote file's time; a kept one stays exactly as it was.
        EXPECT_EQ(ModifiedTime(LocalPath("dest/a.txt")) == 946782245, std::string(c.pszExpected) == "new");
        EXPECT_EQ(outcome->nItemsSkipped, c.nAnswer == ReplaceAnswer::kNo ? 1u : 0u);
        if (c.nAnswer == ReplaceAnswer::kNo) {
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].eKind, ETransferEventKind::Skipped);
            EXPECT_EQ(events[0].eCause, ETransferCause::Exists);
            EXPECT_EQ(events[0].sItem, "C:\\dest\\a.txt");
            EXPECT_FALSE(events[0].bRemoteItem);
        }
        events.clear();
        EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{"a.txt"}));
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
    }
}

TEST_F(TDownloadTest, FailedRefusedOrCancelledDownloadLeavesTheEarlierFileExactlyAsItWas)
{
    enum EEnd { kHostResult, kHostAbort, kUserCancel, kConnectionLost, kNotFound };
    for (EEnd eEnd : {kHostResult, kHostAbort, kUserCancel, kConnectionLost, kNotFound}) {
        SCOPED_TRACE(eEnd);
        WriteLocal("dest/a.txt", "earlier contents");
        answers = {ReplaceAnswer::kYes};
        EXPECT_EQ(StartFile("a.txt", {eEnd == kNotFound ? std::int16_t(-43) : std::int16_t(0), 9000}),
                  (std::vector<std::uint8_t>{kGetInfo, kReqFork}));
        Reply(ForkDataReplies(std::string(5000, 'n'), 2500));
        switch (eEnd) {
        case kHostResult: Reply(ResultReply(1)); break;
        case kNotFound:
        case kHostAbort: Reply(Bytes{kAbort}); break;
        case kUserCancel:
            Engine().Cancel();
            Reply(ForkDataReplies("more"));
            // One abort, sent once the packet in flight has been written.
            EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kAbort}));
            Reply(ForkDataReplies("still more"));
            EXPECT_TRUE(Requests().empty());
            Reply(Bytes{kAbort});
            break;
        case kConnectionLost:
            app.Break();
            app.Run();
            CloseAsHostApp();
            break;
        }
        if (eEnd != kConnectionLost) {
            AnswerRelisting();
            ASSERT_TRUE(outcome.has_value());
            EXPECT_EQ(outcome->nFilesCopied, 0u);
            CloseGuestServiceSession(CurrentGuestSession());
        }
        EXPECT_EQ(ReadLocal("dest/a.txt"), "earlier contents");
        EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{"a.txt"}));
        // What ended the file is told once: the host's refusal of it, or the lost connection.
        const auto nCount = [this](ETransferCause eCause) {
            return std::count_if(events.begin(), events.end(), [eCause](const TTransferEvent& e) { return e.eCause == eCause; });
        };
        EXPECT_EQ(nCount(ETransferCause::ConnectionLost), eEnd == kConnectionLost ? 1 : 0);
        EXPECT_EQ(nCount(ETransferCause::HostCannotRead), eEnd == kHostResult || eEnd == kHostAbort ? 1 : 0);
        EXPECT_EQ(nCount(ETransferCause::NotFound), eEnd == kNotFound ? 1 : 0);
        EXPECT_EQ(events.size(), eEnd == kUserCancel ? 0u : 1u);
        app.Reset();
        boxes.clear();
        events.clear();
    }
}

TEST_F(TDownloadTest, FileTheHostCannotOpenIsReportedAndTheRestOfTheLevelIsCopied)
{
    struct TCase {
        std::int16_t nInfoResult;
        ETransferCause eCause;
    };
    for (const TCase& c : {TCase{-43, ETransferCause::NotFound}, TCase{0, ETransferCause::HostCannotRead}}) {
        SCOPED_TRACE(c.nInfoResult);
        OpenAt("c:\\Src", Concat({AFileReply(false, 1, 0x20, "gone.txt", true), AFileReply(false, 4, 0x20, "next.txt", true)}));
        ASSERT_TRUE(Start(ECopySource::Remote, {{"gone.txt", false}, {"next.txt", false}}, "c:\\Src", "C:\\dest"));
        EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kGetInfo, kReqFork}));
        Reply(FileInfoReply({c.nInfoResult}));
        Reply(Bytes{kAbort});
        EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kGetInfo, kReqFork}));
        Reply(FileInfoReply({0, 4}));
        Reply(Concat({ForkDataReplies("next"), kEndData}));
        AnswerRelisting();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->nFilesFailed, 1u);
        EXPECT_EQ(outcome->nFilesCopied, 1u);
        EXPECT_FALSE(outcome->bStopped);
        EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{"next.txt"}));
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].eKind, ETransferEventKind::Failed);
        EXPECT_EQ(events[0].eCause, c.eCause);
        EXPECT_EQ(events[0].sItem, "c:\\Src\\gone.txt");
        EXPECT_TRUE(events[0].bRemoteItem);
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
        events.clear();
        std::filesystem::remove(LocalPath("dest/next.txt"));
    }
}

TEST_F(TDownloadTest, FolderTheHostCannotReadIsReportedNotMadeAndTheRestIsCopied)
{
    const Bytes kNotReady{CodeByte(kFTP_msgNewMessages)};
    const Bytes source = Concat({AFileReply(true, 0, 0x10, "Locked", true), AFileReply(false, 2, 0x20, "b.txt", true)});
    OpenAt("c:\\Src", source);
    ASSERT_TRUE(Start(ECopySource::Remote, {{"Locked", true}, {"b.txt", false}}, "c:\\Src", "C:\\dest"));
    // Sizing: the host cannot read Locked; then the source folder again.
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
    Reply(Concat({kNotReady, kEndData}));
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
    Reply(Concat({source, kEndData}));
    // Locked is not asked for again, no local folder stands for it, and b.txt follows.
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kGetInfo, kReqFork}));
    Reply(FileInfoReply({0, 2}));
    Reply(Concat({ForkDataReplies("bb"), kEndData}));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesFailed, 1u);
    EXPECT_EQ(outcome->nFilesCopied, 1u);
    EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{"b.txt"}));
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eKind, ETransferEventKind::Failed);
    EXPECT_EQ(events[0].eCause, ETransferCause::HostCannotRead);
    EXPECT_EQ(events[0].sItem, "c:\\Src\\Locked");
}

TEST_F(TDownloadTest, FolderArrivingWhereALocalFileIsReplacesItOnlyWhenTheUserAgrees)
{
    for (int nAnswer : {ReplaceAnswer::kNo, ReplaceAnswer::kYes}) {
        SCOPED_TRACE(nAnswer);
        WriteLocal("dest/Tree", "user data");
        answers = {nAnswer};
        OpenAt("c:\\Src", AFileReply(true, 0, 0x10, "Tree", true));
        ASSERT_TRUE(Start(ECopySource::Remote, {{"Tree", true}}, "c:\\Src", "C:\\dest"));
        const Bytes tree = AFileReply(false, 3, 0x20, "in.txt", true);
        EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
        Reply(Concat({tree, kEndData}));
        EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
        Reply(Concat({AFileReply(true, 0, 0x10, "Tree", true), kEndData}));
        if (nAnswer == ReplaceAnswer::kYes) {
            EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
            Reply(Concat({tree, kEndData}));
            EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kGetInfo, kReqFork}));
            Reply(FileInfoReply({0, 3}));
            Reply(Concat({ForkDataReplies("abc"), kEndData}));
        }
        AnswerRelisting();
        ASSERT_TRUE(outcome.has_value());
        if (nAnswer == ReplaceAnswer::kNo) {
            EXPECT_EQ(ReadLocal("dest/Tree"), "user data");
            EXPECT_EQ(outcome->nItemsSkipped, 1u);
            ASSERT_EQ(events.size(), 1u);
            EXPECT_EQ(events[0].eKind, ETransferEventKind::Skipped);
            EXPECT_EQ(events[0].sItem, "C:\\dest\\Tree");
        } else {
            EXPECT_EQ(ReadLocal("dest/Tree/in.txt"), "abc");
            EXPECT_TRUE(events.empty());
        }
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
        events.clear();
        std::filesystem::remove_all(LocalPath("dest/Tree"));
    }
}

TEST_F(TDownloadTest, NameFromTheHostIsWrittenAsItIsBesideALocalNameInAnotherCase)
{
    OVF_SetDriveExactCase('C', true);
    WriteLocal("dest/case.txt", "local");
    // A question would be answered with Cancel: none may come.
    EXPECT_EQ(StartFile("Case.txt", {0, 6}), (std::vector<std::uint8_t>{kGetInfo, kReqFork}));
    Reply(Concat({ForkDataReplies("remote"), kEndData}));
    AnswerRelisting();
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{"Case.txt", "case.txt"}));
    EXPECT_EQ(ReadLocal("dest/case.txt"), "local");
    EXPECT_EQ(ReadLocal("dest/Case.txt"), "remote");
}

TEST_F(TDownloadTest, FolderTreeIsSizedThenCopiedLevelByLevel)
{
    OpenAt("c:\\Src", Concat({AFileReply(true, 0, 0x10, "Tree", true), AFileReply(false, 5, 0x20, "top.txt", true)}));
    ASSERT_TRUE(Start(ECopySource::Remote, {{"Tree", true}, {"top.txt", false}}, "c:\\Src", "C:\\dest"));
    const Bytes treeListing =
        Concat({AFileReply(false, 3, 0x20, "inner.txt", true), AFileReply(true, 0, 0x10, "Empty", true, kRemoteTime)});

    // Sizing: Tree, then Tree\Empty, then the source folder again.
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
    Reply(Concat({treeListing, kEndData}));
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
    Reply(kEndData);
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
    Reply(Concat({AFileReply(true, 0, 0x10, "Tree", true, kRemoteTime + 60), AFileReply(false, 5, 0x20, "top.txt", true),
                  kEndData}));
    EXPECT_EQ(CopyWindow().nStatusTotal, 8u);

    // Tree: listed as it is entered; inner.txt; Empty (listed, nothing in it); then top.txt.
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
    Reply(Concat({treeListing, kEndData}));
    const std::vector<Bytes> innerInfo = Requests();
    ASSERT_EQ(innerInfo.size(), 2u);
    EXPECT_EQ(innerInfo[0], Named({kGetInfo, 3, 0, 0x80, 0, 0, 0}, "inner.txt", "\\Src\\Tree\\"));
    Reply(FileInfoReply({0, 3}));
    Reply(Concat({ForkDataReplies("abc"), kEndData}));
    EXPECT_EQ(RequestCodes(), (std::vector<std::uint8_t>{kListFiles}));
    Reply(kEndData);
    const std::vector<Bytes> topInfo = Requests();
    ASSERT_EQ(topInfo.size(), 2u);
    EXPECT_EQ(topInfo[0], Named({kGetInfo, 3, 0, 0x80, 0, 0, 0}, "top.txt", "\\Src\\"));
    Reply(FileInfoReply({0, 5}));
    Reply(Concat({ForkDataReplies("12345"), kEndData}));
    AnswerRelisting();

    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 2u);
    EXPECT_EQ(ReadLocal("dest/Tree/inner.txt"), "abc");
    EXPECT_TRUE(std::filesystem::is_directory(LocalPath("dest/Tree/Empty")));
    EXPECT_EQ(ReadLocal("dest/top.txt"), "12345");
    // Folders keep their remote times, set once their contents are written.
    EXPECT_EQ(ModifiedTime(LocalPath("dest/Tree/Empty")), 946782245);
    EXPECT_EQ(ModifiedTime(LocalPath("dest/Tree")), 946782245 + 60);
}

TEST_F(TDownloadTest, DownloadedFileReplacesALocalFolderOfItsNameOnlyWhenComplete)
{
    WriteLocal("dest/item/kept.txt", "inside");
    answers = {ReplaceAnswer::kYes, ReplaceAnswer::kYes};
    StartFile("item", {0, 4});
    Reply(ForkDataReplies("file"));
    EXPECT_EQ(ReadLocal("dest/item/kept.txt"), "inside");
    Reply(kEndData);
    AnswerRelisting();
    EXPECT_EQ(ReadLocal("dest/item"), "file");
}

TEST_F(TDownloadTest, UnwritableDestinationShowsTheMessageAndCopiesNothing)
{
    OpenAt("c:\\Src", AFileReply(false, 1, 0x20, "a.txt", true));
    ASSERT_TRUE(Start(ECopySource::Remote, {{"a.txt", false}}, "c:\\Src", "C:\\nowhere"));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].sText, "Orvalis Pro is unable to Vantry files or folders.");
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 0u);
}

TEST_F(TDownloadTest, FailureAtEveryStepOfTheConversationLeavesNoPartialFile)
{
    // Each completion of the conversation fails in turn; the session stops and closes, and the
    // destination holds exactly what it held before.
    for (int nFailAt = 0;; ++nFailAt) {
        SCOPED_TRACE(nFailAt);
        WriteLocal("dest/a.txt", "earlier");
        answers = {ReplaceAnswer::kYes};
        OpenAt("c:\\Src", AFileReply(false, 30, 0x20, "a.txt", true));
        ASSERT_TRUE(Start(ECopySource::Remote, {{"a.txt", false}}, "c:\\Src", "C:\\dest"));
        const Bytes conversation = Concat({FileInfoReply({0, 30}), ForkDataReplies(std::string(30, 'z'), 10), kEndData, kEndData});
        int nStep = 0;
        for (std::size_t i = 0; i < conversation.size() && CurrentGuestSession(); ++i) {
            if (nStep++ == nFailAt)
                app.FailNextReadCompletion();
            app.Feed(Bytes{conversation[i]});
            app.Run();
            if (Session().Stopping())
                break;
        }
        const bool bStopped = Session().Stopping();
        if (bStopped)
            CloseAsHostApp();
        else
            CloseGuestServiceSession(CurrentGuestSession());
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(ReadLocal("dest/a.txt"), outcome->nFilesCopied == 1 ? std::string(30, 'z') : "earlier");
        EXPECT_EQ(LocalNames("dest"), (std::vector<std::string>{"a.txt"}));
        app.Reset();
        guestWindow.messages.clear();
        boxes.clear();
        if (!bStopped)
            break;
    }
}
