#include "HostFilesFixture.h"

#include "LFN.h"
#include "OVFDrives.h"
#include "PacketBuffer.h"
#include "PacketLayout.h"

#include <map>
#include <fcntl.h>
#include <sys/stat.h>

using HostListing = THostFilesFixture;

namespace {
struct TVolume {
    std::uint16_t nVolume;
    std::uint8_t nFixed, nFlags;
    std::string strName;
};

std::vector<TVolume> ReadVolumes(const std::vector<THostPacket>& packets, std::uint16_t nVersion)
{
    std::vector<TVolume> volumes;
    for (const THostPacket& packet : packets) {
        if (packet.nCode != 0x93)
            continue;
        TPacketReader record(packet.body.data(), packet.body.size());
        const std::size_t nName = nVersion >= 9 ? Packet::AVol::kRecordLong : Packet::AVol::kRecordShort;
        EXPECT_EQ(record.DWordBE(4), LFN_GetFreeSpace(record.WordLE(0) ? record.WordLE(0) : 3)) << "real free space";
        if (nVersion >= 9) {
            EXPECT_EQ(record.Byte(8), 1) << "long-name file system";
            EXPECT_EQ(record.WordBE(10), 260);
            EXPECT_EQ(record.WordBE(12), 256);
            EXPECT_EQ(record.WordBE(14), 256);
            EXPECT_EQ(record.WordBE(16), 256);
        }
        volumes.push_back({record.WordLE(0), record.Byte(2), record.Byte(3), std::string(record.Pascal(nName))});
    }
    return volumes;
}
} // namespace

TEST_F(HostListing, VolumeListsOnVersion7And9WithAndWithoutTheExtendedLevel)
{
    AddDrive('A', static_cast<int>(OVFDriveKind::diskette));
    AddDrive('D', static_cast<int>(OVFDriveKind::fixed), "Data");
    AddDrive('E', static_cast<int>(OVFDriveKind::remote), "");
    AddDrive('F', static_cast<int>(OVFDriveKind::cdrom), "Disc");
    fs::create_directories(Drive('C') / "Desktop");
    OVF_SetDesktopFolder((Drive('C') / "Desktop").c_str());
    for (std::uint16_t nVersion : {7, 9}) {
        for (bool bExtended : {true, false}) {
            SCOPED_TRACE(std::to_string(nVersion) + (bExtended ? " extended" : " plain"));
            Restart();
            OpenSession(nVersion, false, 0xE0, bExtended ? 34 : 0);
            Send({0x94});
            auto packets = SplitHostPackets(m_app.Written(), nVersion);
            ASSERT_FALSE(packets.empty());
            EXPECT_EQ(packets.back().nCode, 0x96);
            EXPECT_EQ(m_app.Writes().size(), 2u) << "all volume records in one write, then the end";
            std::vector<TVolume> expected = {
                {1, 0, 0, bExtended ? "a:" : "a"},
                {3, 1, 0x02, bExtended ? "c: (System)" : "c"},
                {4, 1, 0, bExtended ? "d: (Data)" : "d"},
                {5, 1, 0x01, bExtended ? "e: ()" : "e"},
                {6, 0, 0x04, bExtended ? "f: (Disc)" : "f"},
            };
            if (bExtended)
                expected.insert(expected.begin(), {0, 1, 0, "Desktop"});
            const auto volumes = ReadVolumes(packets, nVersion);
            ASSERT_EQ(volumes.size(), expected.size());
            for (std::size_t i = 0; i < expected.size(); ++i) {
                EXPECT_EQ(volumes[i].nVolume, expected[i].nVolume);
                EXPECT_EQ(volumes[i].nFixed, expected[i].nFixed) << i;
                EXPECT_EQ(volumes[i].nFlags, expected[i].nFlags) << i;
                EXPECT_EQ(volumes[i].strName, expected[i].strName);
            }
            EXPECT_EQ(m_app.PendingReadLength(), 1u);
        }
    }
}

namespace {
struct TEntry {
    std::uint32_t nFolder;
    std::string strType;
    std::uint32_t nSize;
    std::uint8_t nAttributes;
    std::string strName;
};

// Entries by upper-case name; with nMacTime, each must carry that modification time.
std::map<std::string, TEntry> ReadEntries(const std::vector<THostPacket>& packets, std::uint16_t nVersion,
                                          std::uint32_t nMacTime = 0)
{
    std::map<std::string, TEntry> entries;
    for (const THostPacket& packet : packets) {
        if (packet.nCode != 0x91)
            continue;
        TPacketReader record(packet.body.data(), packet.body.size());
        TEntry entry{record.DWordBE(0), AsString(Bytes(packet.body.begin() + 4, packet.body.begin() + 8)), record.DWordBE(8),
                     record.Byte(16), std::string(record.Pascal(18))};
        EXPECT_EQ(record.DWordBE(12), 0u);
        if (nVersion >= 9 && nMacTime) {
            EXPECT_EQ(record.DWordBE(19 + entry.strName.size()), nMacTime) << entry.strName;
        }
        std::string strKey = entry.strName;
        for (char& c : strKey)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        entries[strKey] = entry;
    }
    return entries;
}
} // namespace

TEST_F(HostListing, FolderListingsByVersionAndNameMode)
{
    const fs::path folder = Drive('C') / "Work";
    WriteFile(folder / "a.txt", "hello");
    WriteFile(folder / "A long name.text", std::string(5000, 'x'));
    WriteFile(folder / "ro.txt", "r");
    WriteFile(folder / ".hidden", "h");
    WriteFile(folder / "TOOL.EXE", "mz");
    fs::create_directories(folder / "Sub");
    LFN_SetFileAttributes("C:\\Work\\ro.txt", 0x21);
    for (const auto& entry : fs::directory_iterator(folder)) {
        const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
        utimensat(AT_FDCWD, entry.path().c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    for (std::uint16_t nVersion : {7, 9}) {
        for (bool bOEM : {false, true}) {
            SCOPED_TRACE(std::to_string(nVersion) + (bOEM ? " OEM" : ""));
            Restart();
            OpenSession(nVersion, bOEM);
            Send(ListFilesRequest(3, "\\Work\\"), 3);
            auto packets = SplitHostPackets(m_app.Written(), nVersion);
            ASSERT_FALSE(packets.empty());
            EXPECT_EQ(packets.back().nCode, 0x96);
            auto entries = ReadEntries(packets, nVersion, 2082844800u + 1700000000u);
            ASSERT_EQ(entries.size(), 6u);
            const bool bLong = nVersion >= 9;
            const auto attr = [&](std::uint8_t n) { return static_cast<std::uint8_t>(bOEM ? 0 : n); };
            if (bLong) {
                EXPECT_EQ(entries["A LONG NAME.TEXT"].strName, "A long name.text");
                EXPECT_EQ(entries["A LONG NAME.TEXT"].nSize, 5000u);
            } else {
                for (const auto& [name, entry] : entries)
                    EXPECT_LE(name.size(), 12u) << "short names below 9: " << name;
                EXPECT_EQ(entries.count("A LONG NAME.TEXT"), 0u);
            }
            EXPECT_EQ(entries["TOOL.EXE"].strType, "APPL");
            EXPECT_EQ(entries["A.TXT"].strType, "????");
            EXPECT_EQ(entries["A.TXT"].nSize, 5u);
            EXPECT_EQ(entries["A.TXT"].nAttributes, attr(0x20));
            EXPECT_EQ(entries["RO.TXT"].nAttributes, attr(0x21));
            EXPECT_EQ(entries["SUB"].nFolder, 1u);
            EXPECT_EQ(entries["SUB"].nAttributes, attr(0x30));
            if (bLong) {
                EXPECT_EQ(entries[".HIDDEN"].nAttributes, attr(0x22));
            }
            EXPECT_EQ(m_app.Writes().size(), 7u) << "one write per entry and the end";
        }
    }
}

TEST_F(HostListing, EmptyAndMissingFoldersAndUnknownVolumesEndTheListAtOnce)
{
    fs::create_directories(Drive('C') / "Empty");
    const struct {
        std::uint16_t nVolume;
        std::string dir;
    } cases[] = {{3, "\\Empty\\"}, {3, "\\Missing\\"}, {4, "\\"}, {27, "\\"}, {3, std::string(300, 'x')}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dir);
        Restart();
        OpenSession();
        Send(ListFilesRequest(c.nVolume, c.dir.substr(0, 255)));
        EXPECT_EQ(m_app.Written(), (Bytes{0x96}));
        EXPECT_EQ(m_app.PendingReadLength(), 1u);
    }
}

TEST_F(HostListing, DriveThatCannotBeEnteredGivesTheNotReadyNotice)
{
    AddDrive('D', static_cast<int>(OVFDriveKind::removable));
    OpenSession();
    fs::remove_all(Drive('D'));
    Send(ListFilesRequest(4, "\\"));
    EXPECT_EQ(m_app.Written(), (Bytes{0x85, 0x96}));
}

TEST_F(HostListing, ParenthesisedFolderNamesAreListedAsTheyAre)
{
    WriteFile(Drive('C') / "Photos" / "(2019) trip" / "beach.jpg", "jpg");
    WriteFile(Drive('C') / "Ph)" / "top.jpg", "jpg");
    OpenSession();
    Send(ListFilesRequest(3, "\\Photos\\(2019) trip\\"));
    auto entries = ReadEntries(SplitHostPackets(m_app.TakeWritten(), 9), 9);
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries.count("BEACH.JPG"), 1u);
    // A string that names no folder is cut around the parentheses: "\Ph\(x)\" becomes "\Ph)\".
    Send(ListFilesRequest(3, "\\Ph\\(x)\\"));
    entries = ReadEntries(SplitHostPackets(m_app.TakeWritten(), 9), 9);
    EXPECT_EQ(entries.count("TOP.JPG"), 1u);
}

TEST_F(HostListing, FileInformationForFileFolderAndMissingItem)
{
    WriteFile(Drive('C') / "doc.txt", std::string(1234, 'd'));
    fs::create_directories(Drive('C') / "Folder");
    LFN_SetFileAttributes("C:\\doc.txt", 0x21);
    const timespec times[2] = {{1700000000, 0}, {1700000000, 0}};
    utimensat(AT_FDCWD, (Drive('C') / "doc.txt").c_str(), times, 0);
    OpenSession();

    Send(NamesRequestOnVolume(0x90, 3, "doc.txt", "\\"), 2);
    Bytes reply = m_app.TakeWritten();
    ASSERT_EQ(reply.size(), 49u);
    TPacketReader info(reply.data(), reply.size());
    EXPECT_EQ(info.Byte(0), 0x8F);
    EXPECT_EQ(info.ResultBE(1), 0);
    EXPECT_EQ(info.Byte(3), 1) << "read-only";
    EXPECT_EQ(info.Byte(5), 0x21);
    EXPECT_EQ(AsString(Bytes(reply.begin() + 7, reply.begin() + 15)), "TEXTttxt");
    EXPECT_EQ(info.DWordBE(19), 2082844800u + 1700000000u);
    EXPECT_EQ(info.DWordBE(23), 0u) << "not a folder";
    EXPECT_EQ(info.DWordBE(27), 1234u);
    EXPECT_EQ(info.WordBE(35), 0xFFFF);
    EXPECT_EQ(info.WordBE(37), 0xFFFF);

    Send(NamesRequestOnVolume(0x90, 3, "Folder", "\\"));
    reply = m_app.TakeWritten();
    EXPECT_EQ(TPacketReader(reply.data(), reply.size()).DWordBE(23), 1u);

    Send(NamesRequestOnVolume(0x90, 3, "missing", "\\"));
    reply = m_app.TakeWritten();
    Bytes expected(49, 0);
    expected[0] = 0x8F;
    expected[1] = 0xFF;
    expected[2] = 0xD5; // -43
    EXPECT_EQ(reply, expected);
}
