#include "PacketBuffer.h"
#include "MessageCodes.h"

#include "Exceptions.h"

#include <gtest/gtest.h>
#include <vector>

TEST(PacketBuffer, WritesEachByteOrderAndReadsItBack)
{
    std::vector<std::uint8_t> buffer(16, 0xEE);
    TPacketWriter writer(buffer.data(), buffer.size());
    writer.Byte(0, 0x97);
    writer.WordBE(1, 0x0100);
    writer.WordLE(3, 0x0203);
    writer.DWordBE(5, 0xFFFF0001);
    const std::size_t nEnd = writer.Pascal(9, "abc");
    EXPECT_EQ(nEnd, 13u);
    EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0x97, 1, 0, 3, 2, 0xFF, 0xFF, 0, 1, 3, 'a', 'b', 'c', 0xEE, 0xEE, 0xEE}));

    TPacketReader reader(buffer.data(), 13);
    EXPECT_EQ(reader.ResultBE(1), 256);
    EXPECT_EQ(reader.WordLE(3), 0x0203);
    EXPECT_EQ(reader.DWordBE(5), 0xFFFF0001u);
    EXPECT_EQ(reader.Pascal(9), "abc");
}

TEST(PacketBuffer, AccessPastTheEndRaises)
{
    std::vector<std::uint8_t> buffer(4);
    TPacketWriter writer(buffer.data(), buffer.size());
    EXPECT_THROW(writer.DWordBE(1, 0), CMemoryException);
    EXPECT_THROW(writer.Pascal(2, "abc"), CMemoryException);
    EXPECT_THROW(writer.Byte(4, 0), CMemoryException);
    EXPECT_THROW(writer.Zero(static_cast<std::size_t>(-1), 2), CMemoryException);
    buffer = {3, 'a', 'b', 0};
    TPacketReader reader(buffer.data(), 3);
    EXPECT_THROW(reader.Pascal(0), CMemoryException) << "the string claims more bytes than there are";
    EXPECT_THROW(reader.WordBE(2), CMemoryException);
}

TEST(PacketBuffer, PascalStringsStopAt255Bytes)
{
    std::vector<std::uint8_t> buffer(300);
    TPacketWriter writer(buffer.data(), buffer.size());
    EXPECT_EQ(writer.Pascal(0, std::string(300, 'x')), 256u);
    EXPECT_EQ(buffer[0], 255);
}

TEST(MessageCodes, IndexCoversExactlyTheTwentyCodes)
{
    EXPECT_EQ(MessageIndex(0x84), 0);
    EXPECT_EQ(MessageIndex(0x97), 19);
    EXPECT_EQ(MessageIndex(0x83), -1);
    EXPECT_EQ(MessageIndex(0x98), -1);
    EXPECT_EQ(MessageIndex(0x00), -1);
    EXPECT_EQ(MessageIndex(CodeByte(kFTP_msgListVols)), 16);
}
