// How replies are routed by phase: kFTP_msgResult, kFTP_msgFileInfo, kFTP_msgForkData, the
// host's abort and the end of a fork.
#include "GuestSessionFixture.h"

class TGuestRoutingTest : public TGuestSessionTest {
protected:
    void SetUp() override
    {
        TGuestSessionTest::SetUp();
        ASSERT_EQ(Open(), 0);
        app.Run();
        app.TakeWritten();
        engine = std::make_unique<TRecordingEngine>(Session());
        Session().SetTransferEngine(engine.get());
    }
    void TearDown() override
    {
        if (m_pSession)
            Session().SetTransferEngine(nullptr);
        TGuestSessionTest::TearDown();
    }
    std::unique_ptr<TRecordingEngine> engine;
};

TEST_F(TGuestRoutingTest, ResultIsReadIntoTheWordOfItsPhaseAndRouted)
{
    enum EWord { kOperation, kWindow };
    struct TCase {
        int nPhase;
        EWord eWord;
        const char* pszStep;
    };
    const TCase cases[] = {
        {kPhaseCreate, kOperation, "route 11"},          {kPhaseRemoveForReplace, kOperation, "route 12"},
        {kPhaseCreateAgain, kOperation, "route 0"},      {kPhaseSetInfo, kOperation, "route 13"},
        {kPhaseEndData, kOperation, "route 15"},         {kPhaseAbortUpload, kOperation, "route 6"},
        {kPhaseFolderMadeInCopy, kWindow, "route 18"},   {kPhaseRemoveForFolder, kWindow, "route 7"},
        {kPhaseDownload, kWindow, "download result"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.nPhase);
        engine->steps.clear();
        Session().m_nOperationResult = Session().m_nWindowResult = 0;
        Session().SetPhase(c.nPhase);
        Reply(ResultReply(-48));
        ASSERT_EQ(engine->steps.size(), 1u);
        EXPECT_EQ(engine->steps[0], c.pszStep);
        EXPECT_EQ(c.eWord == kOperation ? Session().m_nOperationResult : Session().m_nWindowResult, -48);
        // The step decides when to read again: nothing is read behind its back.
        EXPECT_FALSE(app.ReadPending());
        Session().IssueCodeRead();
    }
}

TEST_F(TGuestRoutingTest, ResultNobodyWaitsForIsReadAndDropped)
{
    Reply(Concat({ResultReply(256), Bytes{0x84}}));
    EXPECT_TRUE(engine->steps.empty());
    EXPECT_TRUE(app.ReadPending());
    EXPECT_EQ(app.Unread(), 0u);
    EXPECT_EQ(Session().GetPhase(), kPhaseIdle);
}

TEST_F(TGuestRoutingTest, FileInfoGoesToTheEngineOrTheWindowByPhase)
{
    Bytes info(49, 0);
    info[0] = 0x8F;
    info[1] = 0xFF; // -43
    info[2] = 0xD5;
    info[3 + 27] = 7; // size 7
    const int enginePhases[] = {kPhaseInfoAfterUpload, kPhaseFolderInfoInCopy, kPhaseDownloadInfo,
                                kPhaseFolderInfoAgain};
    for (int nPhase : enginePhases) {
        engine->steps.clear();
        Session().SetPhase(nPhase);
        Reply(info);
        ASSERT_EQ(engine->steps.size(), 1u);
        EXPECT_EQ(engine->steps[0], "info " + std::to_string(nPhase) + " -43 size 7");
        Session().IssueCodeRead();
    }
    engine->steps.clear();
    Session().SetPhase(kPhaseWindowSize);
    Reply(info);
    EXPECT_EQ(Window().sizeResults, std::vector<std::int16_t>{-43});
    Session().IssueCodeRead();
    // In any other phase the record is read past, and reading goes on.
    Session().SetPhase(kPhaseIdle);
    Reply(Concat({info, Bytes{0x84}}));
    EXPECT_TRUE(engine->steps.empty());
    EXPECT_TRUE(app.ReadPending());
    EXPECT_EQ(app.Unread(), 0u);
}

TEST_F(TGuestRoutingTest, ForkDataFlowsToTheEngineOnlyDuringADownload)
{
    const Bytes packet{0x8C, 0x00, 0x03, 'a', 'b', 'c'};
    Session().SetPhase(kPhaseDownload);
    Reply(Concat({packet, Bytes{0x96}}));
    EXPECT_EQ(engine->steps, (std::vector<std::string>{"fork size 3", "fork data", "fork ended"}));

    engine->steps.clear();
    Session().IssueCodeRead();
    Session().SetPhase(kPhaseIdle);
    Reply(Concat({packet, Bytes{0x84}}));
    EXPECT_TRUE(engine->steps.empty());
    EXPECT_TRUE(app.ReadPending());
    EXPECT_EQ(app.Unread(), 0u);
}

TEST_F(TGuestRoutingTest, HostAbortEndsADownloadAndStopsAnythingElse)
{
    Session().SetPhase(kPhaseDownload);
    Reply({0x95});
    EXPECT_EQ(engine->steps, std::vector<std::string>{"host abort"});
    Session().SetPhase(kPhaseIdle);
    Session().IssueCodeRead();
    Reply({0x95});
    EXPECT_EQ(Session().StopReason(), kStopConnectionFailed);
}

TEST_F(TGuestRoutingTest, FailedCompletionStopsWithItsStatus)
{
    Session().SetPhase(kPhaseCreate);
    Reply({0x97});
    app.FailNextReadCompletion(-7);
    app.Run();
    EXPECT_EQ(Session().StopReason(), -7);
    EXPECT_TRUE(engine->steps.empty());
}

TEST_F(TGuestRoutingTest, TransferStepsWithoutAnEngineStopTheSession)
{
    Session().SetTransferEngine(nullptr);
    Session().SetPhase(kPhaseCreate);
    Reply(ResultReply(0));
    EXPECT_EQ(Session().StopReason(), kStopConnectionFailed);
}

TEST_F(TGuestRoutingTest, CloseGivesTheEngineItsLastWord)
{
    Session().PostStopMessage(kStopConnectionFailed);
    CloseAsHostApp();
    EXPECT_EQ(engine->steps, std::vector<std::string>{"close for stop"});
}
