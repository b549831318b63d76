#include "HostFilesFixture.h"

#include "OVFTesting.h"

#include <cerrno>

class HostSend : public THostFilesFixture {
protected:
    // Lets the writes held back go, and returns the packets the host has written.
    std::vector<THostPacket> ReleasedPackets()
    {
        m_app.ReleaseWrites();
        m_app.Run();
        return SplitHostPackets(m_app.Written(), 9);
    }
};

namespace {
std::string AllByteValues(std::size_t nLength)
{
    std::string data(nLength, '\0');
    for (std::size_t i = 0; i < nLength; ++i)
        data[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return data;
}

// The data of a fork stream, and the code that ended it.
std::pair<std::string, std::uint8_t> Fork(const std::vector<THostPacket>& packets, std::size_t nMaxPacket)
{
    std::string data;
    for (const THostPacket& packet : packets) {
        if (packet.nCode != 0x8C)
            return {data, packet.nCode};
        EXPECT_LE(packet.body.size() + 1, nMaxPacket);
        EXPECT_GE(packet.body.size(), 3u) << "no empty data packets";
        data.append(packet.body.begin() + 2, packet.body.end());
    }
    return {data, 0};
}
} // namespace

TEST_F(HostSend, ForksArriveWholeInBlocksOfTheSendSize)
{
    const struct {
        std::size_t nSize;
        std::uint16_t nMsgLen; // 0: the default block
        std::size_t nDataPackets;
    } cases[] = {{0, 0, 0}, {4093, 0, 1}, {4094, 0, 2}, {1021, 1024, 1}, {1022, 1024, 2}, {100000, 0, 25}, {4094, 1024, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.nSize) + "/" + std::to_string(c.nMsgLen));
        Restart();
        const std::string content = AllByteValues(c.nSize);
        WriteFile(Drive('C') / "f.bin", content);
        OpenSession();
        if (c.nMsgLen)
            Send({0x87, static_cast<std::uint8_t>(c.nMsgLen >> 8), static_cast<std::uint8_t>(c.nMsgLen)});
        Send(NamesRequestOnVolume(0x8E, 3, "F.BIN", "\\"), 5);
        const auto packets = SplitHostPackets(m_app.Written(), 9);
        const auto [data, nEnd] = Fork(packets, c.nMsgLen ? c.nMsgLen : 4096);
        EXPECT_EQ(nEnd, 0x96);
        EXPECT_EQ(packets.size(), c.nDataPackets + 1);
        EXPECT_TRUE(data == content);
        EXPECT_EQ(m_app.PendingReadLength(), 1u) << "the message read posted at the start";
        Send({0x84});
        EXPECT_FALSE(StopRequested());
    }
}

TEST_F(HostSend, ResourceForkAndUnreadableFiles)
{
    WriteFile(Drive('C') / "f.txt", "data");
    OpenSession();
    Bytes resource = NamesRequestOnVolume(0x8E, 3, "f.txt", "\\");
    resource[1] = 1;
    Send(resource);
    EXPECT_EQ(m_app.TakeWritten(), (Bytes{0x96}));
    Send(NamesRequestOnVolume(0x8E, 3, "missing", "\\"));
    EXPECT_EQ(m_app.TakeWritten(), (Bytes{0x95}));
    OVF_InjectFault(OVFOp::open, "C:\\f.txt", EACCES);
    Send(NamesRequestOnVolume(0x8E, 3, "f.txt", "\\"));
    EXPECT_EQ(m_app.TakeWritten(), (Bytes{0x95}));
    EXPECT_EQ(m_app.PendingReadLength(), 1u);
    EXPECT_FALSE(StopRequested());
}

TEST_F(HostSend, AbortWhileSendingEndsTheForkWithAbortAndNoResult)
{
    WriteFile(Drive('C') / "big.bin", AllByteValues(50000));
    OpenSession();
    m_app.HoldWrites(true);
    Send(NamesRequestOnVolume(0x8E, 3, "big.bin", "\\"));
    EXPECT_EQ(m_app.Writes().size(), 1u) << "one block in flight";
    Send({0x95}); // the abort arrives while the block is in flight
    const auto packets = ReleasedPackets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].nCode, 0x8C);
    EXPECT_EQ(packets[1].nCode, 0x95);
    EXPECT_EQ(m_app.PendingReadLength(), 1u);
    Send({0x85, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(m_app.Writes().back().size(), 10u) << "the session goes on";
}

// A file that cannot be read to its end must not reach the guest as a complete, shorter file.
TEST_F(HostSend, AReadFailureMidFileEndsTheForkWithAbort)
{
    WriteFile(Drive('C') / "big.bin", AllByteValues(50000));
    OpenSession();
    m_app.HoldWrites(true);
    Send(NamesRequestOnVolume(0x8E, 3, "big.bin", "\\"));
    OVF_InjectFault(OVFOp::read, "C:\\big.bin", EIO);
    const auto packets = ReleasedPackets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[0].nCode, 0x8C);
    EXPECT_EQ(packets[1].nCode, 0x95);
    const auto operations = m_app.TakeOperations();
    ASSERT_FALSE(operations.empty());
    EXPECT_EQ(operations.back().View().eOutcome, EHostOutcome::Failed);
    EXPECT_FALSE(StopRequested());
}

TEST_F(HostSend, AbortAfterTheLastBlockTurnsTheEndIntoAbort)
{
    WriteFile(Drive('C') / "small.bin", "abc");
    OpenSession();
    m_app.HoldWrites(true);
    Send(NamesRequestOnVolume(0x8E, 3, "small.bin", "\\"));
    Send({0x95});
    const auto packets = ReleasedPackets();
    ASSERT_EQ(packets.size(), 2u);
    EXPECT_EQ(packets[1].nCode, 0x95);
    EXPECT_EQ(m_app.PendingReadLength(), 1u);
}

TEST_F(HostSend, OtherRequestsDuringASendStopTheSession)
{
    WriteFile(Drive('C') / "big.bin", AllByteValues(50000));
    OpenSession();
    m_app.HoldWrites(true);
    Send(NamesRequestOnVolume(0x8E, 3, "big.bin", "\\"));
    Send({0x94});
    EXPECT_TRUE(StopRequested());
    AnswerStops();
}

TEST_F(HostSend, PrivilegesAndHostilePaths)
{
    WriteFile(m_root / "outside.txt", "secret");
    WriteFile(Drive('C') / "in.txt", "in");
    const struct {
        std::uint16_t nPrivileges;
        std::string strName, strDir;
    } cases[] = {
        {0xC0, "in.txt", "\\"},                    // no read privilege
        {0xE0, "outside.txt", "\\..\\"},           // above the drive
        {0xE0, "passwd", "\\..\\..\\etc\\"},
        {0xE0, std::string(250, 'n'), std::string(20, 'd')}, // too long for a path
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.strDir);
        Restart();
        WriteFile(Drive('C') / "in.txt", "in");
        OpenSession(9, false, c.nPrivileges);
        Send(NamesRequestOnVolume(0x8E, 3, c.strName, c.strDir));
        EXPECT_EQ(m_app.Written(), (Bytes{0x95}));
    }
}
