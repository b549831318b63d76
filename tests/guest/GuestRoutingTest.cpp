// How replies reach the requests that wait for them: each reply goes to the oldest request in
// flight, whatever its kind; replies nobody waits for are read past.
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
        if (m_pSession) {
            Session().DropReplies(engine.get());
            Session().SetTransferEngine(nullptr);
        }
        TGuestSessionTest::TearDown();
    }
    static Bytes InfoReply(std::uint8_t nSize)
    {
        Bytes info(49, 0);
        info[0] = 0x8F;
        info[1] = 0xFF; // -43
        info[2] = 0xD5;
        info[3 + 27] = nSize;
        return info;
    }
    std::unique_ptr<TRecordingEngine> engine;
};

TEST_F(TGuestRoutingTest, RepliesGoToTheRequestsInFlightInSendOrder)
{
    const Bytes packet{0x8C, 0x00, 0x03, 'a', 'b', 'c'};
    engine->Await(EAwaitedReply::Result, "create");
    engine->Await(EAwaitedReply::FileInfo, "info");
    engine->Await(EAwaitedReply::Fork, "fork");
    engine->Await(EAwaitedReply::Result, "end");
    Session().AfterReplies(engine.get(), [this] { engine->steps.push_back("all answered"); });
    EXPECT_EQ(Session().RepliesAwaited(), 5u);
    Reply(Concat({ResultReply(-48), InfoReply(7), packet, packet, Bytes{0x96}, ResultReply(256)}));
    EXPECT_EQ(engine->steps, (std::vector<std::string>{"create -48", "info -43 size 7", "fork data 3", "fork data 3",
                                                        "fork end 0", "end 256", "all answered"}));
    EXPECT_EQ(engine->forkData, (Bytes{'a', 'b', 'c', 'a', 'b', 'c'}));
    EXPECT_EQ(Session().RepliesAwaited(), 0u);
    EXPECT_TRUE(app.ReadPending());
}

TEST_F(TGuestRoutingTest, RepliesNobodyWaitsForAreReadPast)
{
    const Bytes packet{0x8C, 0x00, 0x03, 'a', 'b', 'c'};
    Reply(Concat({ResultReply(256), InfoReply(7), packet, Bytes{0x96}, Bytes{0x84}}));
    EXPECT_TRUE(engine->steps.empty());
    EXPECT_TRUE(Window().sizeResults.empty());
    EXPECT_TRUE(app.ReadPending());
    EXPECT_EQ(app.Unread(), 0u);
    EXPECT_EQ(Session().StopReason(), 0);

    // The window's own question for a size takes an information nobody else waits for.
    Window().bWaitingForSize = true;
    Reply(InfoReply(9));
    EXPECT_EQ(Window().sizeResults, std::vector<std::int16_t>{-43});
    EXPECT_TRUE(engine->steps.empty());
}

TEST_F(TGuestRoutingTest, ADroppedChainsRepliesAreStillReadInOrder)
{
    engine->Await(EAwaitedReply::Fork, "gone");
    engine->Await(EAwaitedReply::Result, "gone");
    Session().DropReplies(engine.get());
    TRecordingEngine other(Session());
    other.Await(EAwaitedReply::Result, "next");
    Reply(Concat({Bytes{0x8C, 0x00, 0x01, 'z', 0x96}, ResultReply(1), ResultReply(0)}));
    EXPECT_TRUE(engine->steps.empty());
    EXPECT_EQ(other.steps, std::vector<std::string>{"next 0"});
}

TEST_F(TGuestRoutingTest, AForkEndedByTheHostsAbortTakesTheAbortsOwnAnswerAway)
{
    struct TCase {
        const char* pszName;
        Bytes replies;
        std::vector<std::string> steps;
    };
    const TCase cases[] = {
        // The guest's abort reached the host while it sent the first fork: no answer of its own.
        {"first fork", Concat({Bytes{0x95}, Bytes{0x96}, ResultReply(5)}), {"one abort 0", "two end 0", "after 5"}},
        // It reached the host during the second one.
        {"second fork", Concat({Bytes{0x96}, Bytes{0x95}, ResultReply(5)}), {"one end 0", "two abort 0", "after 5"}},
        // It came between the forks: the host answers it in its turn.
        {"between", Concat({Bytes{0x96}, Bytes{0x96}, ResultReply(0), ResultReply(5)}),
         {"one end 0", "two end 0", "abort answer 0", "after 5"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        engine->steps.clear();
        engine->Await(EAwaitedReply::Fork, "one");
        engine->Await(EAwaitedReply::Fork, "two");
        engine->Await(EAwaitedReply::AbortAnswer, "abort answer");
        engine->Await(EAwaitedReply::Result, "after");
        Reply(c.replies);
        EXPECT_EQ(engine->steps, c.steps);
        EXPECT_EQ(Session().RepliesAwaited(), 0u);
    }
}

TEST_F(TGuestRoutingTest, HostAbortOutsideAForkStopsTheSession)
{
    Reply({0x95});
    EXPECT_EQ(Session().StopReason(), kStopConnectionFailed);
}

TEST_F(TGuestRoutingTest, FailedCompletionStopsWithItsStatus)
{
    engine->Await(EAwaitedReply::Result, "create");
    Reply({0x97});
    app.FailNextReadCompletion(-7);
    app.Run();
    EXPECT_EQ(Session().StopReason(), -7);
    EXPECT_TRUE(engine->steps.empty());
}

TEST_F(TGuestRoutingTest, CloseGivesTheEngineItsLastWord)
{
    engine->Await(EAwaitedReply::Result, "create");
    Session().PostStopMessage(kStopConnectionFailed);
    CloseAsHostApp();
    EXPECT_EQ(engine->steps, std::vector<std::string>{"close for stop"});
}

// A request sent while the rest of a reply is still being read (its code came in one piece and
// its value in the next) must not start another read: that read would take the value's bytes.
TEST_F(TGuestRoutingTest, ARequestSentInTheMiddleOfAReplyLeavesTheReadingAlone)
{
    const Bytes reply = ResultReply(-48);
    engine->Await(EAwaitedReply::Result, "create");
    Reply(Bytes{reply[0]});
    engine->Await(EAwaitedReply::Result, "set info");
    Session().IssueCodeRead(); // as sending a request does
    EXPECT_FALSE(app.Misused());
    Reply(Concat({Bytes(reply.begin() + 1, reply.end()), ResultReply(0)}));
    EXPECT_EQ(engine->steps, (std::vector<std::string>{"create -48", "set info 0"}));
    EXPECT_FALSE(app.Misused());
    EXPECT_TRUE(app.ReadPending());
}
