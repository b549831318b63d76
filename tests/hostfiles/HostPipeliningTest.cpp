#include "HostFilesFixture.h"
#include "OpenBlocks.h"
#include "PipelineLimits.h"

#include <algorithm>
#include <fstream>
#include <functional>

namespace {
constexpr std::size_t kSplits[] = {1, 3, 7, 4096};
constexpr std::uint32_t kMacTime = 2082844800u + 1600000000u;

Bytes GetInfo(const std::string& name) { return NamesRequestOnVolume(0x90, 3, name, "\\"); }
Bytes ReqFork(const std::string& name) { return NamesRequestOnVolume(0x8E, 3, name, "\\"); }
Bytes Create(const std::string& name) { return NamesRequestOnVolume(0x8B, 3, name, "\\"); }
Bytes OpenFork(const std::string& name) { return NamesRequestOnVolume(0x8D, 3, name, "\\"); }

std::vector<std::uint8_t> Codes(const Bytes& written)
{
    std::vector<std::uint8_t> codes;
    for (const THostPacket& packet : SplitHostPackets(written, 9))
        codes.push_back(packet.nCode);
    return codes;
}

Bytes Repeat(const Bytes& request, std::size_t nCount)
{
    Bytes all;
    for (std::size_t i = 0; i < nCount; ++i)
        all.insert(all.end(), request.begin(), request.end());
    return all;
}
} // namespace

class THostPipeliningFixture : public THostFilesFixture {
protected:
    void OpenPipelined(std::uint16_t nPrivileges = 0xE0)
    {
        OpenSession(9, false, nPrivileges);
        m_pSession->SetPipelining(true);
        ASSERT_TRUE(m_pSession->Pipelining());
    }
    // Starts the fork of pszName behind a first request and holds it after its first block, so
    // that what comes next arrives while the fork goes out.
    void StartHeldFork(const char* pszName, std::size_t nSplit = 4096)
    {
        m_app.HoldWrites(true);
        Send(Concat({GetInfo(pszName), ReqFork(pszName)}), nSplit);
        m_app.ReleaseWrites();
        m_app.HoldWrites(true);
        m_app.Run();
        ASSERT_TRUE(m_app.ReadPending()) << "reading on while the fork goes out";
    }
    void Finish()
    {
        m_app.ReleaseWrites();
        m_app.Run();
    }
};

using HostPipelined = THostPipeliningFixture;

// Requests that arrive while a fork goes out, in any split, are answered after it in arrival
// order, with exactly the bytes they get one at a time.
TEST_F(HostPipelined, RequestsDuringAForkAreAnsweredInOrderAsOneAtATime)
{
    WriteFile(Drive('C') / "big.bin", std::string(10000, 'b'));
    WriteFile(Drive('C') / "small.txt", "small");
    const std::vector<Bytes> requests = {
        GetInfo("big.bin"),       ReqFork("big.bin"),   GetInfo("small.txt"),
        ListFilesRequest(3, "\\"), {0x85, 1, 0, 0, 0, 0, 0, 0}, ReqFork("small.txt"),
        ReqFork("missing"),       NamesRequest(0x8E, 8, "small.txt", "\\", {1, 0, 3, 0, 0x80}),
        {0x86, 0, 9},             GetInfo("missing"),   Create("new.txt"),
        {0x96},                   {0x84},               GetInfo("small.txt"),
    };
    OpenSession();
    for (const Bytes& request : requests)
        Send(request);
    const Bytes expected = m_app.TakeWritten();
    ASSERT_FALSE(StopRequested());
    ASSERT_EQ(Codes(expected).front(), 0x8F);

    for (std::size_t nSplit : kSplits) {
        SCOPED_TRACE(nSplit);
        Restart();
        fs::remove(Drive('C') / "new.txt");
        OpenPipelined();
        StartHeldFork("big.bin", nSplit);
        Bytes rest;
        for (std::size_t i = 2; i < requests.size(); ++i)
            rest.insert(rest.end(), requests[i].begin(), requests[i].end());
        Send(rest, nSplit);
        EXPECT_EQ(m_app.Unread(), 0u) << "all read ahead while the fork is held";
        Finish();
        EXPECT_EQ(m_app.Written(), expected);
        EXPECT_FALSE(StopRequested());
        EXPECT_EQ(m_app.PendingReadLength(), 1u);
    }
}

// An abort read while a fork goes out ends that fork at once and has no answer of its own; the
// requests read before it keep their turn. Read at any other time it waits for its turn and is
// answered 0.
TEST_F(HostPipelined, AbortEndsTheForkGoingOutOrWaitsItsTurn)
{
    WriteFile(Drive('C') / "big.bin", std::string(100000, 'b'));
    WriteFile(Drive('C') / "small.txt", "small");
    for (std::size_t nSplit : kSplits) {
        SCOPED_TRACE(nSplit);
        Restart();
        OpenPipelined();
        StartHeldFork("big.bin", nSplit);
        Send(Concat({GetInfo("small.txt"), ReqFork("small.txt"), {0x95}, GetInfo("small.txt")}), nSplit);
        Finish();
        EXPECT_EQ(Codes(m_app.Written()), (std::vector<std::uint8_t>{0x8F, 0x8C, 0x95, 0x8F, 0x8C, 0x96, 0x8F}));
        EXPECT_FALSE(StopRequested());

        Restart();
        OpenPipelined();
        m_app.HoldWrites(true);
        Send(Concat({GetInfo("small.txt"), {0x95}, ReqFork("small.txt"), {0x95}}), nSplit);
        Finish();
        EXPECT_EQ(Codes(m_app.Written()), (std::vector<std::uint8_t>{0x8F, 0x97, 0x8C, 0x96, 0x97}));
        EXPECT_FALSE(StopRequested());
    }
}

// An abort in the middle of a batch of uploads: the upload under way and the empty files made
// for the ones still to come go, and nothing is left half-written.
TEST_F(HostPipelined, AbortDuringABatchOfUploadsLeavesNothing)
{
    OpenPipelined();
    Send(Concat({Create("a.txt"), Create("b.txt")}));
    EXPECT_EQ(m_app.TakeWritten(), Concat({Result(0), Result(0)}));
    Send(Concat({SetInfoRequest("a.txt", kMacTime), OpenFork("a.txt"), ForkDataPacket("part of a")}), 5);
    EXPECT_EQ(Entries(Drive('C')).size(), 3u) << "two empty files and a temporary";
    Send({0x95});
    EXPECT_EQ(m_app.TakeWritten(), Concat({Result(0), Result(0)}));
    EXPECT_TRUE(Entries(Drive('C')).empty());
    EXPECT_FALSE(StopRequested());
}

// While the queue is full the session reads no further, so what the guest sends ahead stays in
// the stream; once answers make room, every request is served.
TEST_F(HostPipelined, AFullQueueStopsTheReadingUntilThereIsRoom)
{
    WriteFile(Drive('C') / "big.bin", std::string(10000, 'b'));
    const struct {
        const char* pszCase;
        Bytes request;
        std::size_t nSent, nQueued;
        std::size_t nInfoAnswers; // the held fork's own kFTP_msgGetInfo included
        std::int16_t nEndAnswer;
    } cases[] = {
        {"requests", GetInfo("big.bin"), 40, 32, 41, 0},
        {"bytes", ForkDataPacket(std::string(65535, 'd')), 8, 4, 1, 256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        Restart();
        OpenPipelined();
        StartHeldFork("big.bin");
        Send(Repeat(c.request, c.nSent));
        EXPECT_FALSE(m_app.ReadPending());
        EXPECT_EQ(m_app.Unread(), (c.nSent - c.nQueued) * c.request.size());
        Finish();
        Send({0x96});
        EXPECT_EQ(m_app.Unread(), 0u);
        const std::vector<std::uint8_t> codes = Codes(m_app.Written());
        EXPECT_EQ(static_cast<std::size_t>(std::count(codes.begin(), codes.end(), 0x8F)), c.nInfoAnswers);
        EXPECT_EQ(m_app.Writes().back(), Result(c.nEndAnswer)) << "data with no fork open is not stored";
        EXPECT_FALSE(StopRequested());
    }
}

// A file that takes the name between the create's answer and the upload's requests, or between
// the file's information and its fork, is never changed: the requests after it answer -48 (also
// with the remove privilege), and the session goes on.
TEST_F(HostPipelined, AFileThatTookTheNameMeanwhileIsLeftAlone)
{
    const auto replaceOurs = [](const fs::path& path) {
        fs::remove(path);
        WriteFile(path, "theirs");
    };
    const struct {
        const char* pszCase;
        bool bCreated;
        bool bAfterInfo; // the name is taken once kFTP_msgSetInfo has been answered
        std::function<void(const fs::path&)> takeName;
    } cases[] = {
        {"another file in place of ours", true, false, replaceOurs},
        {"another file in place of ours, after its information", true, true, replaceOurs},
        {"ours written by someone else", true, false, [](const fs::path& path) { std::ofstream(path, std::ios::app) << "theirs"; }},
        {"a name this session never created", false, false, [](const fs::path& path) { WriteFile(path, "theirs"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszCase);
        Restart();
        ClearDrive('C');
        OpenPipelined();
        if (c.bCreated) {
            Send(Create("a.txt"));
            EXPECT_EQ(m_app.TakeWritten(), Result(0));
        }
        const Bytes info = Concat({GetInfo("a.txt"), SetInfoRequest("a.txt", kMacTime)});
        const Bytes upload = Concat({OpenFork("a.txt"), ForkDataPacket("ours"), {0x96}, GetInfo("a.txt")});
        if (c.bAfterInfo)
            Send(info);
        c.takeName(Drive('C') / "a.txt");
        m_app.HoldWrites(true);
        Send(c.bAfterInfo ? upload : Concat({info, upload}), 3);
        Finish();
        const auto packets = SplitHostPackets(m_app.TakeWritten(), 9);
        ASSERT_EQ(packets.size(), 4u);
        EXPECT_EQ(packets[1].body, c.bAfterInfo ? Bytes({0x00, 0x00}) : Bytes({0xFF, 0xD0})) << "kFTP_msgSetInfo";
        EXPECT_EQ(packets[2].body, Bytes({0xFF, 0xD0})) << "kFTP_msgEndData";
        EXPECT_EQ(ReadFile(Drive('C') / "a.txt"), "theirs");
        EXPECT_EQ(Entries(Drive('C')), (std::vector<std::string>{"a.txt"}));
        // The next file is served as usual.
        Send(Concat({Create("b.txt"), SetInfoRequest("b.txt", kMacTime), OpenFork("b.txt"), ForkDataPacket("b"), {0x96}}));
        EXPECT_EQ(m_app.TakeWritten(), Concat({Result(0), Result(0), Result(0)}));
        EXPECT_EQ(ReadFile(Drive('C') / "b.txt"), "b");
        EXPECT_FALSE(StopRequested());
    }
}

// A guest creates as far ahead as a pipelined session allows, then uploads each file: every
// upload finds the empty file its own create made, also without the remove privilege.
TEST_F(HostPipelined, EveryFileOfAWholeBatchOfCreatesIsStored)
{
    OpenPipelined((1 << kPrivilegeBitRead) | (1 << kPrivilegeBitWrite));
    const auto name = [](std::size_t i) { return "f" + std::to_string(i) + ".txt"; };
    Bytes creates;
    for (std::size_t i = 0; i < kPipelinedCreatesAhead; ++i)
        creates = Concat({creates, Create(name(i))});
    Send(creates);
    EXPECT_EQ(m_app.TakeWritten(), Repeat(Result(0), kPipelinedCreatesAhead));
    Bytes uploads;
    for (std::size_t i = 0; i < kPipelinedCreatesAhead; ++i)
        uploads = Concat({uploads, SetInfoRequest(name(i), kMacTime), OpenFork(name(i)), ForkDataPacket(name(i)), {0x96}});
    Send(uploads);
    EXPECT_EQ(m_app.TakeWritten(), Repeat(Result(0), 2 * kPipelinedCreatesAhead));
    for (std::size_t i = 0; i < kPipelinedCreatesAhead; ++i)
        ASSERT_EQ(ReadFile(Drive('C') / name(i)), name(i)) << "file " << i;
    EXPECT_FALSE(StopRequested());
}

// A guest that pipelines and goes away: what was queued is dropped, every temporary and empty
// file of an unfinished upload goes, and every descriptor is released.
TEST_F(HostPipelined, AGuestThatDisconnectsLeavesNothing)
{
    WriteFile(Drive('C') / "big.bin", std::string(100000, 'b'));
    for (const bool bBreak : {true, false}) {
        SCOPED_TRACE(bBreak ? "connection broken" : "session stopped");
        Restart();
        const std::size_t nDescriptors = OpenDescriptors();
        OpenPipelined();
        Send(Concat({Create("a.txt"), Create("b.txt"), SetInfoRequest("a.txt", kMacTime), OpenFork("a.txt"),
                     ForkDataPacket(std::string(5000, 'a'))}));
        EXPECT_EQ(Entries(Drive('C')).size(), 4u) << "big.bin, two empty files, a temporary";
        m_app.HoldWrites(true);
        Send(Concat({GetInfo("a.txt"), ForkDataPacket("more"), {0x96}, ReqFork("big.bin")}));
        if (bBreak) {
            m_app.Break();
            m_app.Run();
        } else {
            m_pSession->PostStopMessage(0);
        }
        AnswerStops();
        EXPECT_EQ(Entries(Drive('C')), (std::vector<std::string>{"big.bin"}));
        EXPECT_EQ(OpenDescriptors(), nDescriptors);
    }
}

// Pipelining needs version 9; a session without it stops on a request read while a fork goes
// out, as before; and data with no fork open is never answered as stored.
TEST_F(HostPipelined, SessionsThatDoNotPipelineAreServedAsBefore)
{
    WriteFile(Drive('C') / "big.bin", std::string(10000, 'b'));
    for (const std::uint16_t nVersion : {7, 9}) {
        SCOPED_TRACE(nVersion);
        Restart();
        OpenSession(nVersion);
        if (nVersion < 9)
            m_pSession->SetPipelining(true);
        EXPECT_FALSE(m_pSession->Pipelining());
        StartHeldFork("big.bin");
        Send(GetInfo("big.bin"));
        EXPECT_TRUE(StopRequested());
        AnswerStops();

        Restart();
        OpenSession(nVersion);
        Send(Concat({ForkDataPacket("x"), {0x96}}));
        EXPECT_EQ(m_app.Written(), Concat({nVersion < 9 ? Bytes{0x84} : Bytes{}, Result(256)}));
    }
}
