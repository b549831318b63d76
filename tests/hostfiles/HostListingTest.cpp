#include "HostFilesFixture.h"

#include "LFN.h"
#include "OVFDrives.h"
#include "OVFTesting.h"
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
        if (record.WordLE(0) == 0)
            EXPECT_EQ(record.DWordBE(4), 0xFFFFFFFFu) << "the desktop tells no free space";
        else
            EXPECT_EQ(record.DWordBE(4), LFN_GetFreeSpace(record.WordLE(0))) << "real free space";
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

TEST_F(HostListing, FolderThatCannotBeReadGivesTheNotReadyNoticeNotAnEmptyList)
{
    WriteFile(Drive('C') / "Locked" / "inside.txt", "x");
    OpenSession();
    OVF_InjectFault(OVFOp::findFirst, "C:\\Locked", EACCES);
    Send(ListFilesRequest(3, "\\Locked\\"));
    OVF_ClearFaults();
    EXPECT_EQ(m_app.Written(), (Bytes{0x85, 0x96}));
    EXPECT_EQ(m_app.PendingReadLength(), 1u);
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

// The desktop is a volume of its own: a folder outside every share is listed and read, and a
// path cannot climb out of it; without a desktop folder there is no desktop volume.
TEST_F(HostListing, DesktopOutsideTheSharesIsAVolumeOfItsOwn)
{
    const fs::path desktop = m_root / "Elsewhere";
    WriteFile(desktop / "note.txt", "hello");
    WriteFile(desktop / "Sub" / "in.txt", "in");
    ASSERT_EQ(OVF_SetDesktopFolder(desktop.c_str()), 0);
    OpenSession(9, false, 0xE0, 34);
    Send({0x94});
    auto volumes = ReadVolumes(SplitHostPackets(m_app.TakeWritten(), 9), 9);
    ASSERT_FALSE(volumes.empty());
    EXPECT_EQ(volumes[0].strName, "Desktop");

    const struct {
        const char* pszDir;
        std::vector<std::string> names;
    } listings[] = {{"\\", {"NOTE.TXT", "SUB"}}, {"\\Sub\\", {"IN.TXT"}}, {"\\..\\", {"NOTE.TXT", "SUB"}}};
    for (const auto& c : listings) {
        SCOPED_TRACE(c.pszDir);
        Send(ListFilesRequest(0, c.pszDir), 2);
        std::vector<std::string> names;
        for (const auto& [name, entry] : ReadEntries(SplitHostPackets(m_app.TakeWritten(), 9), 9))
            names.push_back(name);
        EXPECT_EQ(names, c.names);
    }
    Send(NamesRequestOnVolume(0x90, 0, "note.txt", "\\"));
    Bytes reply = m_app.TakeWritten();
    ASSERT_EQ(reply.size(), 49u);
    EXPECT_EQ(TPacketReader(reply.data(), reply.size()).ResultBE(1), 0);
    EXPECT_EQ(TPacketReader(reply.data(), reply.size()).DWordBE(27), 5u);

    Restart();
    OVF_SetDesktopFolder(nullptr);
    OpenSession(9, false, 0xE0, 34);
    Send({0x94});
    volumes = ReadVolumes(SplitHostPackets(m_app.TakeWritten(), 9), 9);
    ASSERT_FALSE(volumes.empty());
    EXPECT_NE(volumes[0].strName, "Desktop");
    Send(ListFilesRequest(0, "\\"));
    EXPECT_EQ(m_app.TakeWritten(), (Bytes{0x96}));
}

// Without large sizes a size beyond 32 bits reads 0xFFFFFFFF, never its low bits; with them the
// field beside the size carries its high word, in listings and in file information alike.
TEST_F(HostListing, SizesBeyondThirtyTwoBits)
{
    const struct {
        const char* pszName;
        std::uint64_t nSize;
    } files[] = {{"edge.bin", 0xFFFFFFFFull}, {"four.bin", 1ull << 32}, {"five.bin", 5ull << 30}};
    for (const auto& f : files) {
        WriteFile(Drive('C') / f.pszName, "");
        fs::resize_file(Drive('C') / f.pszName, f.nSize); // sparse
    }
    for (bool bLarge : {false, true}) {
        SCOPED_TRACE(bLarge ? "large sizes" : "32-bit sizes");
        Restart();
        OpenSession();
        m_pSession->SetLargeSizes(bLarge);
        Send(ListFilesRequest(3, "\\"), 3);
        std::map<std::string, std::pair<std::uint32_t, std::uint32_t>> listed;
        for (const THostPacket& packet : SplitHostPackets(m_app.TakeWritten(), 9)) {
            if (packet.nCode != 0x91)
                continue;
            TPacketReader record(packet.body.data(), packet.body.size());
            listed[std::string(record.Pascal(Packet::AFile::kRecordLength))] = {
                record.DWordBE(Packet::AFile::kSize), record.DWordBE(Packet::AFile::kSizeHigh)};
        }
        for (const auto& f : files) {
            SCOPED_TRACE(f.pszName);
            const std::uint32_t nLow = bLarge ? static_cast<std::uint32_t>(f.nSize)
                                              : static_cast<std::uint32_t>(std::min<std::uint64_t>(f.nSize, 0xFFFFFFFF));
            const std::uint32_t nHigh = bLarge ? static_cast<std::uint32_t>(f.nSize >> 32) : 0;
            EXPECT_EQ(listed[f.pszName], std::make_pair(nLow, nHigh));
            Send(NamesRequestOnVolume(0x90, 3, f.pszName, "\\"), 4);
            const Bytes reply = m_app.TakeWritten();
            ASSERT_EQ(reply.size(), 49u);
            const TPacketReader info(reply.data(), reply.size());
            EXPECT_EQ(info.DWordBE(Packet::FileInfo::kRecord + Packet::FileInfo::kSize), nLow);
            EXPECT_EQ(info.DWordBE(Packet::FileInfo::kRecord + Packet::FileInfo::kSizeHigh), nHigh);
        }
    }
}
