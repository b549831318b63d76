#include "HostSessionFixture.h"

#include "MessageCodes.h"
#include "PacketLayout.h"

namespace {
constexpr std::size_t kSplits[] = {1, 2, 3, 4096};

struct TConversation {
    const char* pszName;
    Bytes request;
    Bytes reply;
    bool bStops;
};
} // namespace

using HostSession = THostSessionFixture;

TEST_F(HostSession, StartSetsUpBuffersStreamsBufferingAndOneByteRead)
{
    OpenSession();
    EXPECT_EQ(m_pSession->GetState(), kHostRunning);
    EXPECT_EQ(m_app.BuffersOutstanding(), 2u);
    EXPECT_EQ(m_app.StreamsOutstanding(), 2u);
    EXPECT_EQ(m_app.BufferingReceive(), 16384u);
    EXPECT_EQ(m_app.BufferingSend(), 16384u);
    EXPECT_EQ(m_app.PendingReadLength(), 1u);
    EXPECT_EQ(m_pSession->SendBlockSize(), 4096);
}

TEST_F(HostSession, SmallConversationsInEverySplit)
{
    const TConversation cases[] = {
        {"no-op", {0x84}, {}, false},
        {"new messages 1", {0x85, 1, 9, 9, 9, 9, 9, 9}, {0x85, 2, 0, 0, 0, 0, 0, 0, 0, 0}, false},
        {"new messages 3", {0x85, 3, 0, 0, 0, 0, 0, 0}, {0x85, 4, 0, 0, 0, 0, 0, 0}, false},
        {"new messages 2", {0x85, 2, 0, 0, 0, 0, 0, 0}, {}, true},
        {"version", {0x86, 0, 9}, {}, false},
        {"data length", {0x87, 4, 0}, {}, false},
        {"abort with nothing open", {0x95}, {0x97, 0, 0}, false},
        {"0x83", {0x83}, {}, true},
        {"0x98", {0x98}, {}, true},
        {"zero byte", {0x00}, {}, true},
        {"result from a guest", {0x97, 0, 0}, {}, true},
        {"volume record from a guest", {0x93}, {}, true},
        {"file record from a guest", {0x91}, {}, true},
        {"file info from a guest", {0x8F}, {}, true},
    };
    for (const auto& c : cases) {
        for (std::size_t nSplit : kSplits) {
            SCOPED_TRACE(std::string(c.pszName) + " split " + std::to_string(nSplit));
            Restart();
            OpenSession();
            // A no-op after the request shows that the session reads the next message afterwards.
            Bytes bytes = c.request;
            if (!c.bStops)
                bytes.push_back(0x84);
            Send(bytes, nSplit);
            EXPECT_EQ(m_app.Written(), c.reply);
            EXPECT_EQ(StopRequested(), c.bStops);
            if (c.bStops) {
                EXPECT_FALSE(m_app.ReadPending()) << "nothing more is read after a failure";
                EXPECT_EQ(m_pSession->GetState(), kHostStopRequested);
                AnswerStops();
            } else {
                EXPECT_EQ(m_app.Unread(), 0u);
                EXPECT_EQ(m_app.PendingReadLength(), 1u);
            }
        }
    }
}

TEST_F(HostSession, VersionIsStored)
{
    OpenSession();
    Send({0x86, 0x01, 0x02}, 1);
    EXPECT_EQ(m_pSession->GuestVersion(), 0x0102);
}

TEST_F(HostSession, DataMsgLenLowersButNeverRaisesTheSendBlock)
{
    OpenSession();
    const struct {
        std::uint16_t nAsked, nBlock;
    } steps[] = {{8192, 4096}, {1024, 1024}, {8192, 1024}, {3, 1024}, {0, 1024}, {4, 4}};
    for (const auto& s : steps) {
        Send({0x87, static_cast<std::uint8_t>(s.nAsked >> 8), static_cast<std::uint8_t>(s.nAsked)}, 1);
        EXPECT_EQ(m_pSession->SendBlockSize(), s.nBlock) << s.nAsked;
    }
    EXPECT_FALSE(StopRequested());
}

// Each request with names reads its fixed block and both strings, and not one byte more.
TEST_F(HostSession, NamesRequestsReadExactlyTheirLength)
{
    const struct {
        std::uint8_t nCode;
        std::size_t nBlock;
    } codes[] = {{0x88, 6}, {0x89, 52}, {0x8A, 6}, {0x8B, 14}, {0x8D, 8}, {0x8E, 8}, {0x90, 6}};
    const std::pair<std::string, std::string> names[] = {{"", ""}, {"A.TXT", ""}, {"", "\\"}, {"long name.txt", "\\dir\\sub\\"},
                                                         {std::string(255, 'n'), std::string(255, 'd')}};
    for (const auto& code : codes) {
        for (const auto& [name, dir] : names) {
            SCOPED_TRACE(std::to_string(code.nCode) + " " + std::to_string(name.size()) + "/" + std::to_string(dir.size()));
            Restart();
            OpenSession();
            const Bytes request = NamesRequest(code.nCode, code.nBlock, name, dir);
            EXPECT_EQ(request.size(), code.nBlock + 3 + name.size() + dir.size());
            Send(Bytes(request.begin(), request.end() - 1), 7);
            EXPECT_TRUE(m_app.ReadPending()) << "still reading the request";
            EXPECT_FALSE(StopRequested());
            EXPECT_TRUE(m_app.Written().empty());
            Send(Bytes(request.end() - 1, request.end()));
            EXPECT_EQ(m_app.Unread(), 0u);
            EXPECT_TRUE(StopRequested() || !m_app.Written().empty() || m_app.PendingReadLength() == 1)
                << "the request was acted on once complete";
            AnswerStops();
        }
    }
}

TEST_F(HostSession, FailedReadOrWriteStopsTheSession)
{
    OpenSession();
    m_app.FailNextReadCompletion();
    m_app.Run();
    EXPECT_TRUE(StopRequested());
    AnswerStops();

    Restart();
    OpenSession();
    m_app.FailNextWriteCompletion();
    Send({0x95});
    EXPECT_TRUE(StopRequested());
    EXPECT_FALSE(m_app.ReadPending());
    AnswerStops();

    Restart();
    OpenSession();
    m_app.FailNextCall(ETableCall::Write);
    Send({0x85, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_TRUE(StopRequested());
    AnswerStops();
}

TEST_F(HostSession, BrokenConnectionStopsOnce)
{
    OpenSession();
    m_app.Break();
    m_app.Run();
    EXPECT_EQ(m_window.messages.size(), 1u);
    AnswerStops();
}

TEST_F(HostSession, SecondStopRequestDoesNothingAndKeepsTheFirstValue)
{
    OpenSession();
    m_pSession->PostStopMessage(5);
    m_pSession->PostStopMessage(6);
    EXPECT_EQ(m_window.messages.size(), 1u);
    EXPECT_EQ(m_pSession->StopValue(), 5);
    EXPECT_EQ(m_pSession->GetState(), kHostStopRequested);
    AnswerStops();
    EXPECT_TRUE(m_app.Stopped());
    EXPECT_EQ(m_app.StopValue(), 5);
}

TEST_F(HostSession, StopThatCannotBePostedRestoresTheStateAndReadsNoMore)
{
    OpenSession();
    m_window.bRefuse = true;
    Send({0x83});
    EXPECT_TRUE(m_pSession->StopPostFailed());
    EXPECT_EQ(m_pSession->GetState(), kHostRunning);
    EXPECT_FALSE(m_app.ReadPending());
    m_window.bRefuse = false;
    m_pSession->PostStopMessage(0);
    EXPECT_EQ(m_window.messages.size(), 1u) << "a later stop request still goes out";
    AnswerStops();
}
