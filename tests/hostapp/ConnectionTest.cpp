#include "Connection.h"
#include "LoopServiceTable.h"
#include "LoopTestSupport.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include <cerrno>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
class ConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        m_pConnection = new TConnection(fds[0], fds[0], "test peer");
        m_nPeer = fds[1];
    }
    void TearDown() override
    {
        delete m_pConnection;
        if (m_nPeer >= 0)
            ::close(m_nPeer);
    }
    void PeerSend(const std::string& str) { ASSERT_EQ(::write(m_nPeer, str.data(), str.size()), ssize_t(str.size())); }
    // What the peer can read without waiting.
    std::string PeerDrain()
    {
        std::string str;
        char buffer[65536];
        ssize_t n;
        while ((n = ::recv(m_nPeer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            str.append(buffer, static_cast<std::size_t>(n));
        return str;
    }
    void ClosePeer()
    {
        ::close(m_nPeer);
        m_nPeer = -1;
    }

    TConnection* m_pConnection = nullptr;
    int m_nPeer = -1;
};

TEST_F(ConnectionTest, ReadsCompleteFromTheLoopWithExactlyTheAskedBytes)
{
    char buffer[16] = {};
    std::vector<std::string> got;
    bool bInsideCall = false;
    std::function<void(std::size_t)> readNext;
    const std::vector<std::size_t> lengths = {1, 3, 6, 2};
    readNext = [&](std::size_t nIndex) {
        if (nIndex == lengths.size())
            return;
        bInsideCall = true;
        ASSERT_EQ(m_pConnection->Read(buffer, lengths[nIndex], [&, nIndex](std::int32_t nStatus) {
            EXPECT_FALSE(bInsideCall) << "completion ran inside Read";
            EXPECT_EQ(nStatus, 0);
            got.emplace_back(buffer, lengths[nIndex]);
            readNext(nIndex + 1);
        }), 0);
        bInsideCall = false;
    };
    readNext(0);
    // The bytes arrive in uneven pieces, some reads wait, some are served from what is buffered.
    for (const char* piece : {"0", "12", "3456789A", "B"}) {
        RunLoopFor(20);
        PeerSend(piece);
    }
    ASSERT_TRUE(RunLoopUntil([&] { return got.size() == lengths.size(); }));
    EXPECT_EQ(got, (std::vector<std::string>{"0", "123", "456789", "AB"}));
    EXPECT_EQ(m_pConnection->Read(buffer, 1, [](std::int32_t) {}), 0) << "a read after the others is accepted";
    EXPECT_EQ(m_pConnection->Read(buffer, 1, [](std::int32_t) {}), 1) << "a second read at once is refused";
}

TEST_F(ConnectionTest, SmallWritesAreGatheredAndCompleteFromTheLoopInOrder)
{
    int nCompleted = 0;
    bool bInsideCall = false;
    std::string expected;
    std::function<void(int)> writeNext = [&](int nIndex) {
        const std::string strPiece = "<" + std::to_string(nIndex) + ">";
        expected += strPiece;
        bInsideCall = true;
        m_pConnection->Write(strPiece.data(), strPiece.size(), [&, nIndex](std::int32_t nStatus) {
            EXPECT_FALSE(bInsideCall) << "completion ran inside Write";
            EXPECT_EQ(nStatus, 0);
            EXPECT_EQ(nCompleted++, nIndex);
            if (nIndex < 499)
                writeNext(nIndex + 1);
        });
        bInsideCall = false;
    };
    writeNext(0);
    std::string received;
    ASSERT_TRUE(RunLoopUntil([&] {
        received += PeerDrain();
        return nCompleted == 500 && received.size() == expected.size();
    }));
    EXPECT_EQ(received, expected);
}

TEST_F(ConnectionTest, ACompletionThatRunsANestedLoopHasItsWritesSentAndAnswersDeliveredThere)
{
    // As a modal dialog does inside a completion: the conversation goes on in the nested loop.
    char buffer[8] = {};
    bool bAnsweredInside = false;
    bool bDone = false;
    ASSERT_EQ(m_pConnection->Read(buffer, 1, [&](std::int32_t) {
        QEventLoop nested;
        m_pConnection->Write("ping", 4, [](std::int32_t) {});
        m_pConnection->Read(buffer, 4, [&](std::int32_t nStatus) {
            bAnsweredInside = nStatus == 0 && std::string(buffer, 4) == "pong";
            nested.quit();
        });
        std::string received;
        QTimer peer;
        QObject::connect(&peer, &QTimer::timeout, [&] {
            received += PeerDrain();
            if (received == "ping") {
                received.clear();
                PeerSend("pong");
            }
        });
        peer.start(2);
        QTimer::singleShot(3000, &nested, &QEventLoop::quit);
        nested.exec();
        bDone = true;
    }), 0);
    PeerSend("x");
    ASSERT_TRUE(RunLoopUntil([&] { return bDone; }));
    EXPECT_TRUE(bAnsweredInside);
}

TEST_F(ConnectionTest, APeerThatStopsReadingStopsTheWriterAtABoundedBuffer)
{
    const std::string block(4096, 'x');
    std::size_t nCompleted = 0;
    std::function<void()> writeNext = [&] {
        m_pConnection->Write(block.data(), block.size(), [&](std::int32_t nStatus) {
            ASSERT_EQ(nStatus, 0);
            ++nCompleted;
            writeNext();
        });
    };
    writeNext();
    RunLoopFor(300);
    const std::size_t nStalledAt = nCompleted;
    RunLoopFor(200);
    EXPECT_EQ(nCompleted, nStalledAt) << "writes went on completing while nobody read";
    EXPECT_LT(m_pConnection->BufferedBytes(), 64u * 1024) << "the host buffered more than its limit";

    std::size_t nReceived = 0;
    ASSERT_TRUE(RunLoopUntil([&] {
        nReceived += PeerDrain().size();
        return nCompleted > nStalledAt + 100;
    })) << "the writer did not resume once the peer read again";
}

TEST_F(ConnectionTest, WritesHeldTogetherAllCompleteOnceTheirBytesAreSent)
{
    // A writer that does not wait for its completions: every write waits for room, and one
    // send can then carry the bytes of several held writes at once.
    const std::string block(64 * 1024, 'y');
    constexpr int kWrites = 8;
    int nCompleted = 0;
    for (int i = 0; i < kWrites; ++i)
        m_pConnection->Write(block.data(), block.size(), [&](std::int32_t nStatus) {
            EXPECT_EQ(nStatus, 0);
            ++nCompleted;
        });
    std::size_t nReceived = 0;
    ASSERT_TRUE(RunLoopUntil([&] {
        nReceived += PeerDrain().size();
        return nCompleted == kWrites;
    })) << nCompleted << " of " << kWrites << " writes completed, " << nReceived << " bytes arrived";
    EXPECT_EQ(nReceived, kWrites * block.size());
}

TEST_F(ConnectionTest, ABrokenConnectionFailsEachOutstandingCompletionOnce)
{
    // A writer stalled on a peer that does not read, and a reader waiting.
    const std::string block(4096, 'y');
    std::vector<std::int32_t> writeStatuses;
    std::function<void()> writeNext = [&] {
        m_pConnection->Write(block.data(), block.size(), [&](std::int32_t nStatus) {
            writeStatuses.push_back(nStatus);
            if (nStatus == 0)
                writeNext();
        });
    };
    writeNext();
    char buffer[4];
    std::vector<std::int32_t> readStatuses;
    m_pConnection->Read(buffer, 4, [&](std::int32_t nStatus) { readStatuses.push_back(nStatus); });
    RunLoopFor(200);
    PeerSend("ab");
    ClosePeer();
    ASSERT_TRUE(RunLoopUntil([&] { return !readStatuses.empty() && !writeStatuses.empty() && writeStatuses.back() != 0; }));
    RunLoopFor(100);
    EXPECT_EQ(readStatuses, std::vector<std::int32_t>{kConnectionLost});
    EXPECT_EQ(std::count(writeStatuses.begin(), writeStatuses.end(), kConnectionLost), 1);
    EXPECT_NE(m_pConnection->Read(buffer, 1, [](std::int32_t) {}), 0);
    EXPECT_NE(m_pConnection->Write(buffer, 1, [](std::int32_t) {}), 0);
}

TEST_F(ConnectionTest, BytesBeforeTheEndOfTheStreamAreStillRead)
{
    PeerSend("hello");
    ::shutdown(m_nPeer, SHUT_WR);
    char buffer[8] = {};
    std::vector<std::int32_t> statuses;
    m_pConnection->Read(buffer, 5, [&](std::int32_t nStatus) {
        statuses.push_back(nStatus);
        m_pConnection->Read(buffer + 5, 1, [&](std::int32_t nNext) { statuses.push_back(nNext); });
    });
    ASSERT_TRUE(RunLoopUntil([&] { return statuses.size() == 2; }));
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(statuses, (std::vector<std::int32_t>{0, kConnectionLost}));
}

TEST_F(ConnectionTest, AfterStopNothingCompletesButWhatWasTakenIsSent)
{
    PeerSend("z");
    char buffer[1];
    int nCompletions = 0;
    bool bClosed = false;
    m_pConnection->SetOnClosed([&] { bClosed = true; });
    m_pConnection->Read(buffer, 1, [&](std::int32_t) { ++nCompletions; });
    m_pConnection->Write("bye", 3, [&](std::int32_t) { ++nCompletions; });
    m_pConnection->Stop();
    EXPECT_NE(m_pConnection->Write("x", 1, [&](std::int32_t) { ++nCompletions; }), 0);
    std::string received;
    ASSERT_TRUE(RunLoopUntil([&] {
        received += PeerDrain();
        return bClosed;
    }));
    RunLoopFor(50);
    received += PeerDrain();
    EXPECT_EQ(nCompletions, 0);
    EXPECT_EQ(received, "bye");
    EXPECT_EQ(::recv(m_nPeer, buffer, 1, MSG_DONTWAIT), 0) << "the connection was not closed";
}

// Over TCP the connection lets the kernel hold back a partial segment while more bytes are sure
// to follow; whatever the length of a burst of writes, once its last completion has run and
// nothing more is written, every byte must already be on its way to the peer.
TEST(ConnectionTcpTest, ABurstOfWritesIsNeverLeftHeldBackWhenTheWriterGoesQuiet)
{
    EnsureApplication();
    const int nListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t nLength = sizeof address;
    ASSERT_EQ(::bind(nListener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(nListener, 1), 0);
    ASSERT_EQ(::getsockname(nListener, reinterpret_cast<sockaddr*>(&address), &nLength), 0);

    const std::string block(4096, 'b');
    for (const int nBlocks : {1, 3, 4, 5, 6, 9, 17, 40}) {
        SCOPED_TRACE("blocks: " + std::to_string(nBlocks));
        const int nPeer = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(::connect(nPeer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const int nAccepted = ::accept4(nListener, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(nAccepted, 0);
        TConnection connection(nAccepted, nAccepted, "tcp peer");
        int nCompleted = 0;
        std::function<void()> writeNext = [&] {
            connection.Write(block.data(), block.size(), [&](std::int32_t nStatus) {
                EXPECT_EQ(nStatus, 0);
                if (++nCompleted < nBlocks)
                    writeNext();
            });
        };
        writeNext();
        std::size_t nReceived = 0;
        char buffer[65536];
        ASSERT_TRUE(RunLoopUntil([&] {
            ssize_t n;
            while ((n = ::recv(nPeer, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
                nReceived += static_cast<std::size_t>(n);
            return nCompleted == nBlocks;
        }));
        // The loop is not turned any more. Loopback hands bytes over within the send; bytes held
        // back would only leave on a kernel timer, some hundred milliseconds later.
        const std::size_t nExpected = block.size() * static_cast<std::size_t>(nBlocks);
        pollfd readable{nPeer, POLLIN, 0};
        while (nReceived < nExpected && ::poll(&readable, 1, 50) == 1) {
            const ssize_t n = ::recv(nPeer, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0)
                break;
            nReceived += static_cast<std::size_t>(n);
        }
        EXPECT_EQ(nReceived, nExpected);
        ::close(nPeer);
    }
    ::close(nListener);
}

struct TRecorded {
    HConnection hConnection;
    void* pSession;
    HStream hStream;
    std::int32_t nStatus;
};
std::vector<TRecorded> g_recorded;

std::uint32_t RecordCompletion(HConnection hConnection, void* pSession, HStream hStream, std::int32_t nStatus)
{
    g_recorded.push_back({hConnection, pSession, hStream, nStatus});
    return 0;
}

TEST_F(ConnectionTest, TheTableNamesTheConnectionSessionAndStreamInEachCompletion)
{
    g_recorded.clear();
    TLoopServiceTable table;
    HStream hRead = nullptr;
    HStream hWrite = nullptr;
    ASSERT_EQ(table.CreateStream(&hRead), 0);
    ASSERT_EQ(table.CreateStream(&hWrite), 0);
    void* pBuffer = nullptr;
    ASSERT_EQ(table.GetBuffer(&pBuffer, 4096), 0);
    int nSession = 0;
    table.SetConnectionBuffering(m_pConnection, kConnectionBuffering, kConnectionBuffering);
    ASSERT_EQ(table.Read(m_pConnection, pBuffer, 2, RecordCompletion, &nSession, hRead), 0);
    ASSERT_EQ(table.Write(m_pConnection, "\x84", 1, RecordCompletion, &nSession, hWrite, kWriteFlagDefault), 0);
    EXPECT_TRUE(g_recorded.empty());
    PeerSend("ok");
    ASSERT_TRUE(RunLoopUntil([&] { return g_recorded.size() == 2; }));
    for (const TRecorded& r : g_recorded) {
        EXPECT_EQ(r.hConnection, m_pConnection);
        EXPECT_EQ(r.pSession, &nSession);
        EXPECT_EQ(r.nStatus, 0);
    }
    EXPECT_EQ(g_recorded[0].hStream, hWrite); // the write was taken before the bytes arrived
    EXPECT_EQ(g_recorded[1].hStream, hRead);
    EXPECT_EQ(std::string(static_cast<char*>(pBuffer), 2), "ok");
    EXPECT_EQ(PeerDrain(), "\x84");
    table.FreeBuffer(pBuffer);
    table.DisposeStream(hRead);
    table.DisposeStream(hWrite);
}
} // namespace
