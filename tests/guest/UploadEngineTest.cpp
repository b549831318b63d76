// The upload engine, host replies fed byte by byte: the requests of each file and folder, the
// replace answers on each kind of host, the failures the host reports and a cancel mid-file.
#include "CopyEngineFixture.h"

#include "OVFDrives.h"
#include "StringTable.h"

namespace {
constexpr std::uint8_t kCreate = CodeByte(kFTP_msgCreate);
constexpr std::uint8_t kSetInfo = CodeByte(kFTP_msgSetInfo);
constexpr std::uint8_t kOpenFork = CodeByte(kFTP_msgOpenFork);
constexpr std::uint8_t kForkData = CodeByte(kFTP_msgForkData);
constexpr std::uint8_t kEndData = CodeByte(kFTP_msgEndData);
constexpr std::uint8_t kGetInfo = CodeByte(kFTP_msgGetInfo);
constexpr std::uint8_t kRemove = CodeByte(kFTP_msgRemove);
constexpr std::uint8_t kMakeFolder = CodeByte(kFTP_msgMakeFolder);
constexpr std::uint8_t kAbort = CodeByte(kFTP_msgAbort);
constexpr std::uint8_t kListFiles = CodeByte(kFTP_msgListFiles);
using Codes = std::vector<std::uint8_t>;

std::uint32_t DWordAt(const Bytes& b, std::size_t n)
{
    return (std::uint32_t(b.at(n)) << 24) | (std::uint32_t(b.at(n + 1)) << 16) | (std::uint32_t(b.at(n + 2)) << 8) | b.at(n + 3);
}

// What one file sends once its create is answered: information, fork, data, end, read-back.
Codes FileRequests(std::size_t nPackets)
{
    if (nPackets == 0)
        return {kSetInfo, kGetInfo};
    Codes codes{kSetInfo, kOpenFork};
    codes.insert(codes.end(), nPackets, kForkData);
    codes.insert(codes.end(), {kEndData, kGetInfo});
    return codes;
}
} // namespace

class TUploadTest : public TCopyEngineTest {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        TCopyEngineTest::SetUp();
    }
    // Opens a session showing c:\Dst and starts the upload of C:\src\<name>.
    void StartFile(const std::string& sName, const std::string& sData, const THostAnswer& hostAnswer = {})
    {
        WriteLocal("src/" + sName, sData);
        OpenAt("c:\\Dst", {}, hostAnswer);
        ASSERT_TRUE(Start(ECopySource::Local, {{sName, false}}, "C:\\src", "c:\\Dst"));
    }
    // Answers create with 0 and returns the requests that follow at once.
    std::vector<Bytes> Create()
    {
        EXPECT_EQ(RequestCodes(), Codes{kCreate});
        Reply(ResultReply(0));
        return Requests();
    }
    // Answers the information's result, the end of data and the information read back, then
    // the closing re-listing.
    void FinishFile(std::int16_t nSetInfoResult = 0, std::int16_t nEndResult = 0)
    {
        Reply(ResultReply(nSetInfoResult));
        Reply(ResultReply(nEndResult));
        EXPECT_TRUE(Requests().empty());
        Reply(FileInfoReply({0, 1}));
        AnswerRelisting();
    }
};

TEST_F(TUploadTest, FileGoesAsCreateSetInfoOpenForkDataAndEndData)
{
    const std::string sData = std::string(4096, 'a') + "b";
    StartFile("Report.txt", sData);
    const std::vector<Bytes> create = Requests();
    ASSERT_EQ(create.size(), 1u);
    const Bytes& c = create[0];
    EXPECT_EQ(Bytes(c.begin(), c.begin() + 15), (Bytes{kCreate, 0, 0, 0x10, 0x01, 0, 0, 0, 0, 3, 0, 0x80, 0, 0, 0}));
    EXPECT_EQ(Bytes(c.begin() + 15, c.end()), Concat({Bytes{10}, Bytes{'R', 'e', 'p', 'o', 'r', 't', '.', 't', 'x', 't'},
                                                      Bytes{5, '\\', 'D', 's', 't', '\\'}}));
    // The rest goes out without waiting for each answer.
    Reply(ResultReply(0));
    const std::vector<Bytes> sent = Requests();
    ASSERT_EQ(sent.size(), 6u);
    const Bytes& s = sent[0];
    EXPECT_EQ(s[0], kSetInfo);
    ASSERT_GE(s.size(), 53u);
    EXPECT_EQ(s[3], 0x20);                          // the attribute byte, archive added
    EXPECT_EQ(DWordAt(s, 5), DWordAt({'T', 'E', 'X', 'T'}, 0));
    EXPECT_EQ(DWordAt(s, 25), 4097u);
    EXPECT_EQ(Bytes(s.begin() + 33, s.begin() + 37), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Bytes(s.begin() + 47, s.begin() + 53), (Bytes{3, 0, 0x80, 0, 0, 0}));
    EXPECT_NE(DWordAt(s, 17), 0u);

    EXPECT_EQ(Bytes(sent[1].begin(), sent[1].begin() + 9), (Bytes{kOpenFork, 0, 0, 3, 0, 0x80, 0, 0, 0}));
    EXPECT_EQ(Bytes(sent[2].begin(), sent[2].begin() + 3), (Bytes{kForkData, 0x10, 0x00}));
    EXPECT_EQ(sent[2].size(), 4099u);
    EXPECT_EQ(sent[3], (Bytes{kForkData, 0, 1, 'b'}));
    EXPECT_EQ(sent[4], Bytes{kEndData});
    // The new file's information is read back for the remote listing.
    EXPECT_EQ(Bytes(sent[5].begin(), sent[5].begin() + 8), (Bytes{kGetInfo, 3, 0, 0x80, 0, 0, 0, 10}));
    EXPECT_EQ(CopyWindow().nStatusDone, 4097u);
    EXPECT_EQ(CopyWindow().nStatusTotal, 4097u);

    // The information's answer, the end of data's, then the information read back.
    EXPECT_EQ(Session().RepliesAwaited(), 3u);
    Reply(ResultReply(0));
    EXPECT_EQ(Session().RepliesAwaited(), 2u);
    Reply(ResultReply(0));
    EXPECT_EQ(Session().RepliesAwaited(), 1u);
    EXPECT_TRUE(Requests().empty());
    Reply(FileInfoReply({0, 4097, "TEXT"}));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 1u);
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(CopyWindow().IsBusy());
}

TEST_F(TUploadTest, EmptyFileIsCreatedAndDescribedButNoForkIsOpened)
{
    StartFile("empty", "");
    const std::vector<Bytes> after = Create();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0][0], kSetInfo);
    EXPECT_EQ(after[1][0], kGetInfo);
    Reply(ResultReply(0));
    Reply(FileInfoReply({0, 0}));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 1u);
}

TEST_F(TUploadTest, ReplaceAnswersOnEachKindOfHost)
{
    struct TCase {
        std::uint16_t nVersion;
        std::uint16_t nPrivileges;
        int nAnswer;
        Codes after;               // what the answer sends
        const char* pszMessage;    // box shown, or null
    };
    const Codes kSent{kSetInfo, kOpenFork, kForkData, kEndData, kGetInfo};
    const TCase cases[] = {
        {9, 0xE0, ReplaceAnswer::kYes, kSent, nullptr},                      // the host replaces when the data is complete
        {7, 0xE0, ReplaceAnswer::kYes, {kRemove}, nullptr},                  // below 9: remove, then create again
        {9, 0xE0, ReplaceAnswer::kNo, {kListFiles}, nullptr},
        {9, 0xE0, ReplaceAnswer::kCancel, {kListFiles}, nullptr},
        // Without the remove privilege the file is not replaced, and the copy goes on.
        {9, 0x60, ReplaceAnswer::kYes, {kListFiles}, "Orvalis Pro is unable to Vantry files or folders."},
        {9, 0x60, ReplaceAnswer::kNo, {kListFiles}, nullptr},
        {9, 0x60, ReplaceAnswer::kCancel, {kListFiles}, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.nVersion) + " " + std::to_string(c.nPrivileges) + " " + std::to_string(c.nAnswer));
        answers = {c.nAnswer};
        StartFile("a.bin", "data", {c.nVersion, c.nPrivileges, 1, 0});
        EXPECT_EQ(RequestCodes(), Codes{kCreate});
        Reply(ResultReply(-48));
        EXPECT_EQ(RequestCodes(), c.after);
        if (c.after == Codes{kRemove}) {
            Reply(ResultReply(0));
            EXPECT_EQ(RequestCodes(), Codes{kCreate});
            Reply(ResultReply(0));
            EXPECT_EQ(RequestCodes(), kSent);
        }
        if (c.after != Codes{kListFiles}) {
            FinishFile();
            EXPECT_EQ(outcome->nFilesCopied, 1u);
        } else {
            Reply(Bytes{CodeByte(kFTP_msgEndData)});
            EXPECT_EQ(outcome->nFilesCopied, 0u);
        }
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->bStopped, c.nAnswer == ReplaceAnswer::kCancel);
        EXPECT_EQ(outcome->nItemsSkipped, c.nAnswer == ReplaceAnswer::kNo ? 1u : 0u);
        EXPECT_EQ(outcome->nFilesFailed, c.pszMessage ? 1u : 0u);
        if (c.pszMessage) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].sText, c.pszMessage);
        } else {
            EXPECT_TRUE(boxes.empty());
        }
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
        boxes.clear();
    }
}

TEST_F(TUploadTest, HostFailuresShowTheirMessage)
{
    const std::string sCreateProblem =
        "There is a problem on the remote side creating one or more files being sent. Check the destination and try again.";
    // The host cannot create the file.
    StartFile("a.bin", "data");
    Requests();
    Reply(ResultReply(256));
    AnswerRelisting();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].sText, sCreateProblem);
    EXPECT_EQ(outcome->nFilesFailed, 1u);
    CloseGuestServiceSession(CurrentGuestSession());
    app.Reset();
    boxes.clear();

    // The host could not write the data it received, or could not set the file's information:
    // the answers still on their way are read before the copy goes on.
    struct TCase {
        std::int16_t nSetInfoResult;
        std::int16_t nEndResult;
        const char* pszMessage;
        bool bStopped;
    };
    const TCase cases[] = {
        {0, 256, sCreateProblem.c_str(), false},
        {0, -34, "The host's disk is full: the file being sent was not stored. Free some space there and try again.", false},
        {-1, 0, "Orvalis Pro is unable to Vantry files or folders.", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszMessage);
        StartFile("b.bin", "data");
        Create();
        FinishFile(c.nSetInfoResult, c.nEndResult);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].sText, c.pszMessage);
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->nFilesFailed, 1u);
        EXPECT_EQ(outcome->nFilesCopied, 0u);
        EXPECT_EQ(outcome->bStopped, c.bStopped);
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
        boxes.clear();
    }
}

TEST_F(TUploadTest, CancelDuringTheDataSendsOneAbortAfterThePacketInFlight)
{
    StartFile("big.bin", std::string(5 * 4096, 'q'));
    EXPECT_EQ(RequestCodes(), Codes{kCreate});
    app.HoldWrites(true);
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), (Codes{kSetInfo, kOpenFork}));
    app.ReleaseWrites();
    app.HoldWrites(true);
    app.Run();
    // The fork is open and one packet is in flight.
    EXPECT_EQ(RequestCodes(), (Codes{kForkData}));
    Engine().Cancel();
    app.ReleaseWrites();
    app.Run();
    EXPECT_EQ(RequestCodes(), Codes{kAbort});
    // The information's answer comes first, then the answer to the abort.
    EXPECT_EQ(Session().RepliesAwaited(), 2u);
    Reply(ResultReply(0));
    EXPECT_EQ(Session().RepliesAwaited(), 1u);
    Reply(ResultReply(0));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->bStopped);
    EXPECT_EQ(outcome->nFilesCopied, 0u);
}

TEST_F(TUploadTest, CancelBeforeTheFirstReadSendsOneAbort)
{
    StartFile("big.bin", std::string(5 * 4096, 'q'));
    EXPECT_EQ(RequestCodes(), Codes{kCreate});
    app.HoldWrites(true);
    Reply(ResultReply(0));
    // The fork's open is still on its way when the stop comes.
    Engine().Cancel();
    app.ReleaseWrites();
    app.Run();
    EXPECT_EQ(RequestCodes(), (Codes{kSetInfo, kOpenFork, kAbort}));
    Reply(ResultReply(0));
    Reply(ResultReply(0));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->bStopped);
    EXPECT_EQ(outcome->nFilesCopied, 0u);
}

TEST_F(TUploadTest, FolderIsFittedMadeEnteredAndFilled)
{
    WriteLocal("src/Tree/inner.txt", "abc");
    std::filesystem::create_directories(LocalPath("src/Tree/Empty"));
    OpenAt("c:\\Dst", {});
    ASSERT_TRUE(Start(ECopySource::Local, {{"Tree", true}}, "C:\\src", "c:\\Dst"));
    EXPECT_EQ(CopyWindow().nStatusTotal, 3u);

    EXPECT_EQ(RequestCodes(), Codes{kGetInfo});
    Reply(FileInfoReply({-43}));
    const std::vector<Bytes> make = Requests();
    ASSERT_EQ(make.size(), 1u);
    EXPECT_EQ(make[0], Concat({Bytes{kMakeFolder, 3, 0, 0x80, 0, 0, 0, 4, 'T', 'r', 'e', 'e'}, Bytes{5, '\\', 'D', 's', 't', '\\'}}));
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), Codes{kListFiles});
    Reply(Bytes{CodeByte(kFTP_msgEndData)});

    // Inside: the file and the empty folder, in the order the local search gives them.
    std::vector<std::string> seen;
    for (int nItem = 0; nItem < 2; ++nItem) {
        const std::vector<Bytes> next = Requests();
        ASSERT_EQ(next.size(), 1u);
        const std::size_t nName = next[0][0] == kCreate ? Packet::Create::kName : Packet::GetInfo::kName;
        const std::string sName(next[0].begin() + static_cast<std::ptrdiff_t>(nName) + 1,
                                next[0].begin() + static_cast<std::ptrdiff_t>(nName) + 1 + next[0][nName]);
        seen.push_back(sName);
        if (next[0][0] == kCreate) {
            Reply(ResultReply(0));
            EXPECT_EQ(RequestCodes(), (Codes{kSetInfo, kOpenFork, kForkData, kEndData, kGetInfo}));
            Reply(Concat({ResultReply(0), ResultReply(0), FileInfoReply({0, 3})}));
        } else {
            EXPECT_EQ(next[0][0], kGetInfo);
            Reply(FileInfoReply({0, 0, "????", true})); // exists already: entered without a request
            EXPECT_EQ(RequestCodes(), Codes{kListFiles});
            Reply(Bytes{CodeByte(kFTP_msgEndData)});
            // Its contents written, the folder is given its local times.
            EXPECT_EQ(RequestCodes(), Codes{kSetInfo});
            Reply(ResultReply(0));
        }
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"Empty", "inner.txt"}));
    const std::vector<Bytes> times = Requests();
    ASSERT_EQ(times.size(), 1u);
    EXPECT_EQ(times[0][0], kSetInfo);
    const std::size_t nName = Packet::SetInfo::kName;
    EXPECT_EQ(Bytes(times[0].begin() + static_cast<std::ptrdiff_t>(nName), times[0].end()),
              Concat({Bytes{4, 'T', 'r', 'e', 'e'}, Bytes{5, '\\', 'D', 's', 't', '\\'}}));
    Reply(ResultReply(0));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 1u);
    EXPECT_FALSE(outcome->bStopped);
}

TEST_F(TUploadTest, FolderArrivingWhereARemoteFileIsSkippedWhenTheUserKeepsTheFile)
{
    WriteLocal("src/Tree/inner.txt", "abc");
    answers = {ReplaceAnswer::kNo};
    OpenAt("c:\\Dst", {});
    ASSERT_TRUE(Start(ECopySource::Local, {{"Tree", true}}, "C:\\src", "c:\\Dst"));
    EXPECT_EQ(RequestCodes(), Codes{kGetInfo});
    Reply(FileInfoReply({0, 9, "????", false}));
    // No remove, no folder: the host's file stays.
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(asked, (std::vector<std::string>{"Tree"}));
    EXPECT_EQ(outcome->nItemsSkipped, 1u);
    EXPECT_FALSE(outcome->bStopped);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eKind, ETransferEventKind::Skipped);
    EXPECT_EQ(events[0].eCause, ETransferCause::Exists);
    EXPECT_EQ(events[0].sItem, "c:\\Dst\\Tree");
    EXPECT_TRUE(events[0].bRemoteItem);
}

TEST_F(TUploadTest, LocalNamesThatDifferOnlyInCaseClashOnTheHost)
{
    OVF_SetDriveExactCase('C', true);
    WriteLocal("src/README", "upper");
    WriteLocal("src/readme", "lower");
    OpenAt("c:\\Dst", {});
    ASSERT_TRUE(Start(ECopySource::Local, {{"README", false}, {"readme", false}}, "C:\\src", "c:\\Dst"));
    EXPECT_EQ(RequestCodes(), Codes{kCreate});
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), (Codes{kSetInfo, kOpenFork, kForkData, kEndData, kGetInfo}));
    // The second name is not sent over the first.
    Reply(Concat({ResultReply(0), ResultReply(0), FileInfoReply({0, 5})}));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 1u);
    EXPECT_EQ(outcome->nFilesFailed, 1u);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].eCause, ETransferCause::NameClash);
    EXPECT_EQ(events[0].sItem, "C:\\src\\readme");
    EXPECT_EQ(events[0].sDetail, "README");
}

TEST_F(TUploadTest, TextTranslationToAHostNamingFoldersByNumberDropsLineFeeds)
{
    bTranslateUpload = true;
    const std::string sData = std::string(4096, '\n') + "a\r\nb";
    WriteLocal("src/notes.txt", sData);
    OpenAt("c:\\", {}, {9, 0xE0, 0, 0});
    ASSERT_TRUE(Start(ECopySource::Local, {{"notes.txt", false}}, "C:\\src", "c:\\"));
    const std::vector<Bytes> create = Requests();
    ASSERT_EQ(create.size(), 1u);
    EXPECT_EQ(DWordAt(create[0], 1), 3u); // announced without its line feeds
    Reply(ResultReply(0));
    // The chunk of line feeds alone sends no packet.
    const std::vector<Bytes> data = Requests();
    ASSERT_EQ(data.size(), 5u);
    EXPECT_EQ(data[2], (Bytes{kForkData, 0, 3, 'a', '\r', 'b'}));
    EXPECT_EQ(data[3], Bytes{kEndData});
}

// In a session that pipelines: creates go out in batches, each created file's requests follow
// without waiting for answers, a name the host has goes the unpipelined way, and a name taken
// on the host between the create and the data costs only that file.
class TPipelinedUploadTest : public TUtcCopyTest {
protected:
    // Opens a pipelining session showing c:\Dst (listing the entries given) and starts the
    // upload of the files of C:\src.
    void StartFiles(const std::vector<std::pair<std::string, std::string>>& files, const Bytes& entries = {})
    {
        std::vector<TCopyItem> items;
        for (const auto& [sName, sData] : files) {
            WriteLocal("src/" + sName, sData);
            items.push_back({sName, false});
        }
        THostAnswer hostAnswer;
        hostAnswer.bPipelining = true;
        OpenAt("c:\\Dst", entries, hostAnswer);
        ASSERT_TRUE(Start(ECopySource::Local, std::move(items), "C:\\src", "c:\\Dst"));
    }
    // The answers to one file's requests: information, end of data (none for an empty file),
    // and the information read back.
    static Bytes FileAnswers(bool bEmpty, std::int16_t nSetInfo = 0, std::int16_t nEnd = 0)
    {
        return bEmpty ? Concat({ResultReply(nSetInfo), FileInfoReply({0, 0})})
                      : Concat({ResultReply(nSetInfo), ResultReply(nEnd), FileInfoReply({0, 1})});
    }
};

TEST_F(TPipelinedUploadTest, CreatesGoInABatchAndEachFileFollowsWithoutWaiting)
{
    StartFiles({{"a.txt", std::string(5000, 'a')}, {"b.txt", "bb"}, {"c.txt", ""}});
    EXPECT_EQ(RequestCodes(), (Codes{kCreate, kCreate, kCreate}));
    Reply(Concat({ResultReply(0), ResultReply(0)}));
    // Nothing goes out for the batch's files until every create is answered.
    EXPECT_TRUE(Requests().empty());
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), Concat({FileRequests(2), FileRequests(1), FileRequests(0)}));
    const std::vector<std::string>& texts = CopyWindow().statusTexts;
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 3, texts.end()),
              (std::vector<std::string>{"C:\\src\\a.txt (1 of 3)", "C:\\src\\b.txt (2 of 3)", "C:\\src\\c.txt (3 of 3)"}));
    Reply(Concat({FileAnswers(false), FileAnswers(false), FileAnswers(true)}));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 3u);
    EXPECT_EQ(outcome->nFilesFailed, 0u);
    EXPECT_FALSE(outcome->bStopped);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(TPipelinedUploadTest, ANameTakenOnTheHostMeanwhileFailsThatFileAlone)
{
    struct TCase {
        const char* pszName;
        std::int16_t nSetInfo; // the host's answers for b.txt
        std::int16_t nEnd;
    };
    const TCase cases[] = {
        {"taken before the information", -48, -48},
        {"taken before the fork opened", 0, -48},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        StartFiles({{"a.txt", "aaa"}, {"b.txt", "bbb"}, {"c.txt", "ccc"}});
        EXPECT_EQ(RequestCodes(), (Codes{kCreate, kCreate, kCreate}));
        Reply(Concat({ResultReply(0), ResultReply(0), ResultReply(0)}));
        EXPECT_EQ(RequestCodes(), Concat({FileRequests(1), FileRequests(1), FileRequests(1)}));
        Reply(Concat({FileAnswers(false), FileAnswers(false, c.nSetInfo, c.nEnd), FileAnswers(false)}));
        AnswerRelisting();
        ASSERT_TRUE(outcome.has_value());
        EXPECT_EQ(outcome->nFilesCopied, 2u);
        EXPECT_EQ(outcome->nFilesFailed, 1u);
        EXPECT_FALSE(outcome->bStopped);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].eCause, ETransferCause::NameTakenMeanwhile);
        EXPECT_EQ(events[0].sItem, "c:\\Dst\\b.txt");
        CloseGuestServiceSession(CurrentGuestSession());
        app.Reset();
        entry = OVGuestEntry{};
        events.clear();
    }
}

TEST_F(TPipelinedUploadTest, ANameTheHostHasIsReplacedOneAnswerAtATime)
{
    answers = {ReplaceAnswer::kYes};
    StartFiles({{"a.txt", "aaa"}, {"b.txt", "bbb"}, {"c.txt", "ccc"}}, AFileReply(false, 9, 0x20, "B.TXT", true));
    // The batch stops before the name the host has.
    EXPECT_EQ(RequestCodes(), Codes{kCreate});
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), FileRequests(1));
    // The replace starts only once every earlier answer is in, and waits for each of its own.
    Reply(Concat({ResultReply(0), ResultReply(0)}));
    EXPECT_TRUE(Requests().empty());
    Reply(FileInfoReply({0, 3}));
    EXPECT_EQ(RequestCodes(), Codes{kCreate});
    Reply(ResultReply(-48));
    EXPECT_EQ(asked, std::vector<std::string>{"b.txt"});
    EXPECT_EQ(RequestCodes(), Codes{kSetInfo});
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), (Codes{kOpenFork, kForkData, kEndData}));
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), Codes{kGetInfo});
    Reply(FileInfoReply({0, 3}));
    // The next file is back in a batch of its own.
    EXPECT_EQ(RequestCodes(), Codes{kCreate});
    Reply(ResultReply(0));
    EXPECT_EQ(RequestCodes(), FileRequests(1));
    Reply(FileAnswers(false));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 3u);
}

TEST_F(TPipelinedUploadTest, ACreateThatFindsTheNameTakenAsksBeforeAnythingElseIsSent)
{
    answers = {ReplaceAnswer::kNo};
    StartFiles({{"a.txt", "aaa"}, {"b.txt", "bbb"}});
    EXPECT_EQ(RequestCodes(), (Codes{kCreate, kCreate}));
    Reply(Concat({ResultReply(-48), ResultReply(0)}));
    // a.txt is kept on the host: nothing is sent for it; b.txt follows.
    EXPECT_EQ(asked, std::vector<std::string>{"a.txt"});
    EXPECT_EQ(RequestCodes(), FileRequests(1));
    Reply(FileAnswers(false));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->nFilesCopied, 1u);
    EXPECT_EQ(outcome->nItemsSkipped, 1u);
}

TEST_F(TPipelinedUploadTest, CancelDuringABatchRemovesTheFilesCreatedButNotSent)
{
    StartFiles({{"a.txt", std::string(3 * 4096, 'a')}, {"b.txt", "bbb"}, {"c.txt", "ccc"}});
    EXPECT_EQ(RequestCodes(), (Codes{kCreate, kCreate, kCreate}));
    app.HoldWrites(true);
    Reply(Concat({ResultReply(0), ResultReply(0), ResultReply(0)}));
    EXPECT_EQ(RequestCodes(), (Codes{kSetInfo, kOpenFork}));
    app.ReleaseWrites();
    app.HoldWrites(true);
    app.Run();
    // The fork is open and one packet is in flight.
    EXPECT_EQ(RequestCodes(), Codes{kForkData});
    Engine().Cancel();
    app.HoldWrites(false);
    app.ReleaseWrites();
    app.Run();
    // One abort for the file in flight, then the created files that were never sent go.
    const std::vector<Bytes> sent = Requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], Bytes{kAbort});
    EXPECT_EQ(sent[1].at(0), kRemove);
    EXPECT_EQ(sent[2].at(0), kRemove);
    EXPECT_EQ(Bytes(sent[1].begin() + 7, sent[1].begin() + 13), (Bytes{5, 'b', '.', 't', 'x', 't'}));
    Reply(Concat({ResultReply(0), ResultReply(0), ResultReply(0), ResultReply(0)}));
    AnswerRelisting();
    ASSERT_TRUE(outcome.has_value());
    EXPECT_TRUE(outcome->bStopped);
    EXPECT_EQ(outcome->nFilesCopied, 0u);
}
