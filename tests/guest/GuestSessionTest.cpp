// Opening, stopping and closing a guest session, and the messages it cannot take.
#include "GuestSessionFixture.h"

#include "MessageCodes.h"
#include "StringTable.h"

#include <cstdio>

TEST_F(TGuestSessionTest, OpenStartsReadingAndSendsTheDataLimit)
{
    ASSERT_EQ(Open(), 0);
    app.Run();
    EXPECT_EQ(app.Written(), (Bytes{0x87, 0x10, 0x00}));
    EXPECT_TRUE(app.ReadPending());
    EXPECT_EQ(app.PendingReadLength(), 1u);
    EXPECT_EQ(app.BufferingReceive(), 16384u);
    EXPECT_EQ(Session().State(), ESessionState::Running);
    EXPECT_STREQ(Session().HostName(), "far.example");
    EXPECT_TRUE(Session().MayCopyFromRemote());
    EXPECT_TRUE(Session().MayWriteToRemote());
    EXPECT_TRUE(Session().MayRemoveOnRemote());
    EXPECT_EQ(entry.pGuestSession, Session().Handle());
}

TEST_F(TGuestSessionTest, PrivilegesComeFromTheirOwnBits)
{
    ASSERT_EQ(Open({9, 0x20 | 0x10, 1, 0}), 0);
    EXPECT_TRUE(Session().MayCopyFromRemote());
    EXPECT_FALSE(Session().MayWriteToRemote());
    EXPECT_FALSE(Session().MayRemoveOnRemote());
}

TEST_F(TGuestSessionTest, VersionsThatCanAndCannotBeOpened)
{
    struct TCase {
        std::uint16_t nAnswered;
        std::int16_t nTaken; // 0: the session cannot be opened
    };
    const TCase cases[] = {{5, 5}, {6, 5}, {7, 7}, {8, 0}, {9, 9}, {4, 0}, {10, 0}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.nAnswered);
        TGuestSessionTest::TearDown();
        TGuestSessionTest::SetUp();
        const int nClosedBefore = nConnectionsClosed;
        const int nResult = Open({c.nAnswered, 0xE0, 1, 0});
        if (c.nTaken == 0) {
            EXPECT_NE(nResult, 0);
            EXPECT_EQ(CurrentGuestSession(), nullptr);
            EXPECT_EQ(nConnectionsClosed, nClosedBefore + 1);
            EXPECT_EQ(app.StreamsOutstanding(), 0u);
            EXPECT_EQ(app.BuffersOutstanding(), 0u);
        } else {
            ASSERT_EQ(nResult, 0);
            EXPECT_EQ(Session().ProtocolVersion(), c.nTaken);
            CloseGuestServiceSession(&Session());
        }
    }
}

TEST_F(TGuestSessionTest, FailuresWhileOpeningLeaveNothingBehind)
{
    const ETableCall calls[] = {ETableCall::CreateStream, ETableCall::GetBuffer, ETableCall::Read};
    for (ETableCall eCall : calls) {
        SCOPED_TRACE(static_cast<int>(eCall));
        TGuestSessionTest::TearDown();
        TGuestSessionTest::SetUp();
        app.FailNextCall(eCall);
        const int nResult = Open();
        if (eCall == ETableCall::Read) {
            // The first read cannot start: the session asks to stop, with the lost-connection reason.
            ASSERT_EQ(nResult, 0);
            EXPECT_EQ(Session().StopReason(), kStopConnectionFailed);
            CloseAsHostApp();
        } else {
            EXPECT_NE(nResult, 0);
        }
        EXPECT_EQ(app.StreamsOutstanding(), 0u);
        EXPECT_EQ(app.BuffersOutstanding(), 0u);
    }
    // A connection that cannot be set up is closed again.
    TGuestSessionTest::TearDown();
    TGuestSessionTest::SetUp();
    EXPECT_EQ(Open({9, 0xE0, 1, 7}), 7);
    EXPECT_EQ(nConnectionsClosed, 1);
}

TEST_F(TGuestSessionTest, WindowThatCannotBeMadeStopsTheSession)
{
    bNoWindow = true;
    ASSERT_EQ(Open(), 0);
    EXPECT_EQ(nEntriesDeleted, 1);
    EXPECT_TRUE(Session().Stopping());
    CloseAsHostApp();
    EXPECT_EQ(CurrentGuestSession(), nullptr);
}

TEST_F(TGuestSessionTest, SecondSessionIsRefusedWithOneMessage)
{
    ASSERT_EQ(Open(), 0);
    TVantryGuestSession* pFirst = &Session();
    const OVGuestConnectionRequest request{42};
    EXPECT_EQ(OpenGuestServiceSession(&request), 1);
    ASSERT_EQ(Window().boxes.size(), 1u);
    EXPECT_EQ(Window().boxes[0].sText, "You can have only one vantry session");
    EXPECT_EQ(CurrentGuestSession(), pFirst);
}

TEST_F(TGuestSessionTest, StopRequestIsPostedToTheGuestWindowOnce)
{
    ASSERT_EQ(Open(), 0);
    Session().PostStopMessage(kStopConnectionFailed);
    Session().PostStopMessage(kStopSystemError);
    ASSERT_EQ(guestWindow.messages.size(), 1u);
    EXPECT_EQ(guestWindow.messages[0].nMessage, 0x40Du);
    EXPECT_EQ(guestWindow.messages[0].wParam, 3u);
    EXPECT_EQ(guestWindow.messages[0].lParam, Session().Handle());
    EXPECT_EQ(Session().StopReason(), kStopConnectionFailed);
}

TEST_F(TGuestSessionTest, CloseShowsTheMessageOfTheFirstReason)
{
    struct TCase {
        std::int32_t nFirst;
        std::int32_t nSecond;
        const char* pszShown; // null: nothing
    };
    const TCase cases[] = {
        {kStopUserClosed, kStopConnectionFailed, nullptr},
        {kStopConnectionFailed, kStopSystemError,
         "Vantry has unexpectedly lost its connection to the host computer.  Vantry is closing."},
        {kStopSystemError, kStopConnectionFailed,
         "A system error has occured or there is insufficient memory to complete this operation.  Vantry is "
         "closing."},
        {5, kStopConnectionFailed, nullptr},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.nFirst);
        TGuestSessionTest::TearDown();
        TGuestSessionTest::SetUp();
        ASSERT_EQ(Open(), 0);
        Session().PostStopMessage(c.nFirst);
        Session().PostStopMessage(c.nSecond);
        CloseAsHostApp();
        const std::vector<TShownBox> shown = boxes;
        if (c.pszShown) {
            ASSERT_EQ(shown.size(), 1u);
            EXPECT_EQ(shown[0].sText, c.pszShown);
            EXPECT_EQ(shown[0].sCaption, "Orvalis Pro");
        } else {
            EXPECT_TRUE(shown.empty());
        }
        EXPECT_TRUE(app.Stopped());
        EXPECT_EQ(app.StopValue(), 1);
        EXPECT_EQ(app.BuffersOutstanding(), 0u);
        EXPECT_EQ(app.StreamsOutstanding(), 0u);
    }
}

TEST_F(TGuestSessionTest, FailedStopPostKeepsTheSessionWorking)
{
    ASSERT_EQ(Open(), 0);
    guestWindow.bRefuse = true;
    Session().PostStopMessage(kStopConnectionFailed);
    EXPECT_EQ(Session().State(), ESessionState::Running);
    EXPECT_TRUE(Session().StopPostFailed());
    Reply({0x84});
    EXPECT_TRUE(app.ReadPending());
}

TEST_F(TGuestSessionTest, EveryMessageIsDroppedWhileStopping)
{
    for (int nCode = 0x84; nCode <= 0x97; ++nCode) {
        SCOPED_TRACE(nCode);
        TGuestSessionTest::TearDown();
        TGuestSessionTest::SetUp();
        ASSERT_EQ(Open(), 0);
        app.Run();
        app.TakeWritten();
        Session().PostStopMessage(kStopUserClosed);
        Reply({static_cast<std::uint8_t>(nCode), 0, 0, 0});
        EXPECT_FALSE(app.ReadPending());
        EXPECT_EQ(app.Unread(), 3u);
        EXPECT_TRUE(app.Written().empty());
        EXPECT_TRUE(Window().boxes.empty());
    }
}

TEST_F(TGuestSessionTest, IllegalMessageShowsTheBoxThenStopsTheSession)
{
    const std::uint8_t codes[] = {0x86, 0x87, 0x88, 0x89, 0x8A, 0x8B, 0x8D, 0x8E, 0x90, 0x92, 0x94, 0x83, 0x98, 0x00};
    for (std::uint8_t nCode : codes) {
        SCOPED_TRACE(static_cast<int>(nCode));
        TGuestSessionTest::TearDown();
        TGuestSessionTest::SetUp();
        ASSERT_EQ(Open(), 0);
        Reply({nCode, 0x84});
        ASSERT_EQ(Window().boxes.size(), 1u);
        EXPECT_EQ(Window().boxes[0].sText, "Vantry");
        EXPECT_EQ(Window().boxes[0].sCaption, "Illegal Message in Vntrgst ReadResultCompletion");
        EXPECT_FALSE(app.ReadPending());
        EXPECT_EQ(app.Unread(), 1u);
        // Nobody is left waiting for an answer that cannot come: the session stops, told once.
        EXPECT_TRUE(Session().Stopping());
        EXPECT_EQ(guestWindow.messages.size(), 1u);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].eKind, ETransferEventKind::SessionEnded);
        EXPECT_EQ(events[0].eCause, ETransferCause::UnknownMessage);
        char szCode[8];
        std::snprintf(szCode, sizeof szCode, "0x%02X", nCode);
        EXPECT_EQ(events[0].sDetail, szCode);
        CloseAsHostApp();
        EXPECT_EQ(boxes.size(), 1u) << "no second box at close";
    }
}

TEST_F(TGuestSessionTest, BrokenReadStopsWithItsStatus)
{
    ASSERT_EQ(Open(), 0);
    app.FailNextReadCompletion(-3);
    app.Run();
    EXPECT_EQ(Session().StopReason(), kStopConnectionFailed);
    EXPECT_TRUE(Session().Stopping());
}

TEST_F(TGuestSessionTest, InvalidHandlesAreIgnored)
{
    int nNotASession = 0;
    EXPECT_FALSE(TVantryGuestSession::IsValidSession(nullptr));
    EXPECT_FALSE(TVantryGuestSession::IsValidSession(&nNotASession));
    EXPECT_EQ(CloseGuestServiceSession(&nNotASession), 0);
}
