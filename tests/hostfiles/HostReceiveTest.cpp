#include "HostFilesFixture.h"

#include "LFN.h"
#include "OVFTesting.h"
#include "OVFUploads.h"

#include <fstream>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

using HostReceive = THostFilesFixture;

namespace {
constexpr std::uint32_t kMacTime = 2082844800u + 1600000000u; // 2020-09-13 12:26:40

std::string AllByteValues(std::size_t nLength)
{
    std::string data(nLength, '\0');
    for (std::size_t i = 0; i < nLength; ++i)
        data[i] = static_cast<char>((i * 13 + i / 256) & 0xFF);
    return data;
}

// The upload a guest makes: create, set information, open the fork, the data, the end.
Bytes Upload(const std::string& name, const std::string& data, std::size_t nPiece = 4093)
{
    Bytes bytes = Concat({NamesRequestOnVolume(0x8B, 3, name, "\\"), SetInfoRequest(name, kMacTime),
                          NamesRequestOnVolume(0x8D, 3, name, "\\")});
    for (std::size_t i = 0; i < data.size(); i += nPiece) {
        const Bytes packet = ForkDataPacket(data.substr(i, nPiece));
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    bytes.push_back(0x96);
    return bytes;
}

std::time_t ModificationTime(const fs::path& path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mtime;
}
} // namespace

TEST_F(HostReceive, UploadsOnVersion7And9ArriveWhole)
{
    const std::string data = AllByteValues(10000);
    for (std::uint16_t nVersion : {7, 9}) {
        SCOPED_TRACE(nVersion);
        Restart();
        ClearDrive('C');
        OpenSession(nVersion);
        Send(Upload("New File.bin", data), 1000);
        const Bytes acks = nVersion < 9 ? Bytes{0x84, 0x84, 0x84} : Bytes{};
        EXPECT_EQ(m_app.Written(), Concat({Result(0), Result(0), acks, Result(0)}));
        EXPECT_TRUE(ReadFile(Drive('C') / "New File.bin") == data);
        EXPECT_EQ(ModificationTime(Drive('C') / "New File.bin"), 1600000000);
        EXPECT_EQ(Entries(Drive('C')), (std::vector<std::string>{"New File.bin"})) << "no temporary left";
        EXPECT_FALSE(StopRequested());
    }
}

TEST_F(HostReceive, CreateOfAnExistingFileAnswersDuplicateAndLeavesIt)
{
    WriteFile(Drive('C') / "old.txt", "old");
    OpenSession();
    Send(NamesRequestOnVolume(0x8B, 3, "OLD.TXT", "\\"));
    EXPECT_EQ(m_app.Written(), Result(-48));
    EXPECT_EQ(ReadFile(Drive('C') / "old.txt"), "old");
}

TEST_F(HostReceive, ReplacingAReadOnlyFileOrAFolderTakesTheNewData)
{
    WriteFile(Drive('C') / "ro.txt", "old");
    LFN_SetFileAttributes("C:\\ro.txt", 0x21);
    WriteFile(Drive('C') / "dir" / "inner.txt", "x");
    OpenSession();
    for (const char* pszName : {"ro.txt", "dir"}) {
        SCOPED_TRACE(pszName);
        Send(Concat({SetInfoRequest(pszName, kMacTime), NamesRequestOnVolume(0x8D, 3, pszName, "\\"), ForkDataPacket("new"), {0x96}}));
        EXPECT_EQ(m_app.TakeWritten(), Concat({Result(0), Result(0)}));
        EXPECT_EQ(ReadFile(Drive('C') / pszName), "new");
        BYTE nAttributes = 0;
        LFN_GetFileAttributes((std::string("C:\\") + pszName).c_str(), &nAttributes);
        EXPECT_EQ(nAttributes, 0x20);
    }
}

TEST_F(HostReceive, AbortOrStopDuringAnUploadLeavesTheEarlierFileAndNoPartialOne)
{
    for (bool bStop : {false, true}) {
        for (bool bExisting : {false, true}) {
            SCOPED_TRACE(std::string(bStop ? "stop" : "abort") + (bExisting ? " replacing" : " new"));
            Restart();
            ClearDrive('C');
            if (bExisting)
                WriteFile(Drive('C') / "f.bin", "earlier");
            OpenSession();
            Bytes upload = Upload("f.bin", AllByteValues(9000));
            upload.pop_back(); // no end
            Send(upload);
            if (bStop) {
                m_pSession->PostStopMessage(0);
                AnswerStops();
            } else {
                Send({0x95});
                EXPECT_EQ(m_app.Writes().back(), Result(0));
            }
            if (bExisting) {
                EXPECT_EQ(ReadFile(Drive('C') / "f.bin"), "earlier");
                EXPECT_EQ(Entries(Drive('C')), (std::vector<std::string>{"f.bin"}));
            } else {
                EXPECT_TRUE(Entries(Drive('C')).empty()) << "the file created for the upload goes too";
            }
        }
    }
}

TEST_F(HostReceive, EmptyFileKeepsItsTimeWithoutData)
{
    OpenSession();
    Send(Concat({NamesRequestOnVolume(0x8B, 3, "empty.txt", "\\"), SetInfoRequest("empty.txt", kMacTime)}));
    EXPECT_EQ(m_app.Written(), Concat({Result(0), Result(0)}));
    EXPECT_EQ(ReadFile(Drive('C') / "empty.txt"), "");
    EXPECT_EQ(ModificationTime(Drive('C') / "empty.txt"), 1600000000);
    m_pSession->PostStopMessage(0);
    AnswerStops();
    EXPECT_TRUE(fs::exists(Drive('C') / "empty.txt")) << "an empty upload is complete";
}

TEST_F(HostReceive, DataLongerThanABufferIsTakenWhole)
{
    OpenSession(7);
    const std::string data = AllByteValues(9000);
    Send(Concat({NamesRequestOnVolume(0x8B, 3, "long.bin", "\\"), NamesRequestOnVolume(0x8D, 3, "long.bin", "\\"),
                 ForkDataPacket(data), {0x96}}),
         777);
    EXPECT_EQ(m_app.Written(), Concat({Result(0), {0x84}, Result(0)}));
    EXPECT_TRUE(ReadFile(Drive('C') / "long.bin") == data);
}

TEST_F(HostReceive, UploadThatCannotBeWrittenAnswersItsEndWith256)
{
    OpenSession(7);
    OVF_InjectFault(OVFOp::openWrite, nullptr, EACCES);
    Send(Concat({NamesRequestOnVolume(0x8D, 3, "x.bin", "\\"), ForkDataPacket("abc"), {0x96}}));
    EXPECT_EQ(m_app.Written(), Concat({{0x84}, Result(256)}));
    EXPECT_FALSE(fs::exists(Drive('C') / "x.bin"));
    EXPECT_FALSE(StopRequested());
}

TEST_F(HostReceive, FailedWriteStopsTheSessionAndRemovesThePartialFile)
{
    OpenSession(7);
    OVF_InjectFault(OVFOp::write, nullptr, EIO);
    Send(Concat({NamesRequestOnVolume(0x8D, 3, "x.bin", "\\"), ForkDataPacket(std::string(5000, 'a'))}));
    EXPECT_TRUE(StopRequested());
    AnswerStops();
    EXPECT_TRUE(Entries(Drive('C')).empty());
}

TEST_F(HostReceive, WithoutWritePrivilegeNothingChanges)
{
    WriteFile(Drive('C') / "keep.txt", "keep");
    OpenSession(7, false, 0x20);
    Send(Concat({NamesRequestOnVolume(0x8B, 3, "new.txt", "\\"), SetInfoRequest("new.txt", kMacTime),
                 NamesRequestOnVolume(0x8D, 3, "keep.txt", "\\"), ForkDataPacket("abc"), {0x96},
                 NamesRequestOnVolume(0x88, 3, "Folder", "\\")}));
    EXPECT_EQ(m_app.Written(), Concat({Result(256), Result(0), {0x84}, Result(256), Result(1)}));
    EXPECT_EQ(Entries(Drive('C')), (std::vector<std::string>{"keep.txt"}));
    EXPECT_EQ(ReadFile(Drive('C') / "keep.txt"), "keep");
}

TEST_F(HostReceive, ReplacingWithoutRemovePrivilegeIsRefused)
{
    WriteFile(Drive('C') / "keep.txt", "keep");
    OpenSession(9, false, 0x60);
    Send(Concat({NamesRequestOnVolume(0x8D, 3, "keep.txt", "\\"), ForkDataPacket("abc"), {0x96}}));
    EXPECT_EQ(m_app.Written(), Result(256));
    EXPECT_EQ(ReadFile(Drive('C') / "keep.txt"), "keep");
    // A new file of this session's own making is not a replacement.
    Send(Upload("mine.txt", "mine"));
    EXPECT_EQ(ReadFile(Drive('C') / "mine.txt"), "mine");
}

TEST_F(HostReceive, TemporariesAreNeverListedAndLeftoversGoAtStart)
{
    OpenSession();
    Bytes upload = Upload("f.bin", "partial data");
    upload.pop_back();
    Send(upload);
    EXPECT_EQ(Entries(Drive('C')).size(), 2u) << "the created file and its temporary";
    Send(ListFilesRequest(3, "\\"));
    const auto packets = SplitHostPackets(m_app.TakeWritten(), 9);
    ASSERT_EQ(packets.size(), 4u) << "results, one entry and the end";
    EXPECT_EQ(packets[2].nCode, 0x91);
}

TEST_F(HostReceive, LeftoversOfAHostThatIsGoneAreRemoved)
{
    const fs::path leftover = Drive('C') / ".vantry-upload:00000000deadbeef";
    const fs::path unrelated = Drive('C') / "keep.txt";
    fs::create_directories(Drive('C') / "sub");
    const fs::path inFolder = Drive('C') / "sub" / ".vantry-upload:4194305-00000000deadbeef";
    const fs::path ofLiveProcess = Drive('C') / "sub" / (".vantry-upload:" + std::to_string(getpid()) + "-1");
    for (const fs::path& file : {leftover, unrelated, inFolder, ofLiveProcess})
        WriteFile(file, "half");
    fs::create_directories(m_root / "journal");
    // Entries of a process that no longer runs (pid 2^22 + 1 is above the kernel's pid limit):
    // one naming a temporary, one naming a file that is none, one naming a folder.
    std::ofstream(m_root / "journal" / "4194305-00000000deadbeef") << leftover.string() << '\n';
    std::ofstream(m_root / "journal" / "4194305-1") << unrelated.string() << '\n';
    std::ofstream(m_root / "journal" / "4194305") << (Drive('C') / "sub").string() << '\n';
    EXPECT_EQ(OVF_RemoveUploadLeftovers(), 2);
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_FALSE(fs::exists(inFolder));
    EXPECT_TRUE(fs::exists(unrelated)) << "only temporaries are ever removed";
    EXPECT_TRUE(fs::exists(ofLiveProcess)) << "only the temporaries of the process that is gone";
    EXPECT_TRUE(fs::is_empty(m_root / "journal"));
}

TEST_F(HostReceive, NameModeOfOldGuestsGivesTheFileTheExtensionOfItsType)
{
    OpenSession(7, true);
    Send(Upload("NOTES", "text"));
    EXPECT_EQ(m_app.Written(), Concat({Result(0), Result(0), {0x84}, Result(0)}));
    EXPECT_EQ(Entries(Drive('C')), (std::vector<std::string>{"NOTES.txt"}));
    EXPECT_EQ(ReadFile(Drive('C') / "NOTES.txt"), "text");
}

// Requests that end an upload before its end of data: the upload is settled as an abort would
// settle it, nothing it opened outlives the session, and only a stored file is answered with 0.
TEST_F(HostReceive, AnUploadCutShortLeavesNothingAndIsNeverAnsweredAsStored)
{
    const Bytes reqFork = NamesRequestOnVolume(0x8E, 3, "other.txt", "\\");
    const struct {
        const char* pszCase;
        Bytes interruption;
        Bytes hostAnswer; // what the interrupting request itself is answered with
        std::int16_t nEndResult;
        std::vector<std::string> kept;
    } cases[] = {
        {"second data fork", Concat({NamesRequestOnVolume(0x8D, 3, "B.BIN", "\\"), ForkDataPacket("bbb")}), {}, 0,
         {"B.BIN", "other.txt"}},
        {"resource fork", Concat({NamesRequest(0x8D, 8, "A.BIN", "\\", {1, 0, 3, 0, 0x80}), ForkDataPacket("rrr")}), {},
         0, {"other.txt"}},
        {"fork request", reqFork, Concat({{0x8C, 0, 5}, Bytes{'o', 't', 'h', 'e', 'r'}, {0x96}}), 256, {"other.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        Restart();
        ClearDrive('C');
        WriteFile(Drive('C') / "other.txt", "other");
        const std::size_t nDescriptors = OpenDescriptors();
        OpenSession();
        Send(Concat({NamesRequestOnVolume(0x8D, 3, "A.BIN", "\\"), ForkDataPacket("aaa"), c.interruption, {0x96}}));
        EXPECT_EQ(m_app.TakeWritten(), Concat({c.hostAnswer, Result(c.nEndResult)}));
        EXPECT_EQ(Entries(Drive('C')), c.kept);
        m_pSession->PostStopMessage(0);
        AnswerStops();
        EXPECT_EQ(Entries(Drive('C')), c.kept) << "no temporary outlives the session";
        EXPECT_EQ(OpenDescriptors(), nDescriptors);
    }
}

TEST_F(HostReceive, ManyOpensInOneSessionHoldOneTemporaryAtMost)
{
    const std::size_t nDescriptors = OpenDescriptors();
    OpenSession();
    for (int i = 0; i < 200; ++i)
        Send(Concat({NamesRequestOnVolume(0x8D, 3, "F" + std::to_string(i), "\\"), ForkDataPacket("x")}));
    EXPECT_EQ(Entries(Drive('C')).size(), 1u);
    EXPECT_LE(OpenDescriptors(), nDescriptors + 2) << "more than the temporary and the upload journal";
    m_pSession->PostStopMessage(0);
    AnswerStops();
    EXPECT_TRUE(Entries(Drive('C')).empty());
    EXPECT_EQ(OpenDescriptors(), nDescriptors);
}

// Every way an upload can end by taking an existing name needs the remove privilege; a refused
// one keeps what is there, leaves no temporary and answers the end of data with 256.
TEST_F(HostReceive, EveryReplacementTakesTheRemovePrivilege)
{
    const struct {
        const char* pszCase;
        bool bOEMNames;
        const char* pszExisting;  // made before the upload ("/" ends a folder)
        const char* pszAppearing; // made while the data comes in
        Bytes upload;
    } cases[] = {
        {"open over a file", false, "keep.txt", nullptr,
         Concat({NamesRequestOnVolume(0x8D, 3, "keep.txt", "\\"), ForkDataPacket("new")})},
        {"open over a folder", false, "keep/", nullptr,
         Concat({NamesRequestOnVolume(0x8D, 3, "keep", "\\"), ForkDataPacket("new")})},
        {"name taken during the upload", false, nullptr, "keep.txt",
         Concat({NamesRequestOnVolume(0x8D, 3, "keep.txt", "\\"), ForkDataPacket("new")})},
        {"extension of its type", true, "KEEP.TXT", nullptr,
         Concat({NamesRequestOnVolume(0x8B, 3, "KEEP", "\\"), SetInfoRequest("KEEP", kMacTime),
                 NamesRequestOnVolume(0x8D, 3, "KEEP", "\\"), ForkDataPacket("new")})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        Restart();
        ClearDrive('C');
        const auto make = [this](const std::string& name) {
            if (name.back() == '/')
                fs::create_directories(Drive('C') / name / "inner");
            else
                WriteFile(Drive('C') / name, "keep");
        };
        if (c.pszExisting)
            make(c.pszExisting);
        OpenSession(9, c.bOEMNames, 0x60);
        Send(c.upload);
        if (c.pszAppearing)
            make(c.pszAppearing);
        m_app.TakeWritten();
        Send({0x96});
        EXPECT_EQ(m_app.TakeWritten(), Result(256));
        const std::string kept = c.pszExisting ? c.pszExisting : c.pszAppearing;
        EXPECT_EQ(Entries(Drive('C')), (std::vector<std::string>{kept.back() == '/' ? kept.substr(0, kept.size() - 1) : kept}));
        if (kept.back() != '/') {
            EXPECT_EQ(ReadFile(Drive('C') / kept), "keep");
        }
        EXPECT_FALSE(StopRequested());
    }
}

TEST_F(HostReceive, AFullDiskIsAnsweredAtTheEndOfDataAndTheSessionGoesOn)
{
    for (OVFOp op : {OVFOp::write, OVFOp::close}) {
        SCOPED_TRACE(static_cast<int>(op));
        Restart();
        ClearDrive('C');
        std::vector<std::string> notices;
        OpenSession(7);
        m_pSession->SetNoticeHandler([&notices](const std::string& strText) { notices.push_back(strText); });
        OVF_InjectFault(op, nullptr, ENOSPC);
        Send(Concat({NamesRequestOnVolume(0x8D, 3, "x.bin", "\\"), ForkDataPacket(std::string(5000, 'a')),
                     ForkDataPacket("rest"), {0x96}}));
        OVF_ClearFaults();
        EXPECT_EQ(m_app.TakeWritten(), Concat({{0x84, 0x84}, Result(-34)}));
        EXPECT_FALSE(StopRequested());
        EXPECT_TRUE(Entries(Drive('C')).empty());
        ASSERT_EQ(notices.size(), 1u);
        EXPECT_NE(notices[0].find("disk is full"), std::string::npos) << notices[0];
        // The next upload is served as usual.
        Send(Upload("y.bin", "data"));
        EXPECT_EQ(ReadFile(Drive('C') / "y.bin"), "data");
    }
}
