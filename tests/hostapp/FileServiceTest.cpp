// Listing, download and upload through `vantry serve`. They need the host's file handlers; a
// host without them ends the session on kFTP_msgListVols, and the tests are skipped then.
#include "Handshake.h"
#include "ServeProcess.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
constexpr std::uint8_t kForkData = 0x8C;
constexpr std::uint8_t kCreate = 0x8B;
constexpr std::uint8_t kOpenFork = 0x8D;
constexpr std::uint8_t kReqFork = 0x8E;
constexpr std::uint8_t kAVol = 0x93;
constexpr std::uint8_t kListVols = 0x94;
constexpr std::uint8_t kEndData = 0x96;
constexpr std::uint8_t kResult = 0x97;
constexpr std::uint8_t kDriveD = 4;

TBytes Pascal(const std::string& str)
{
    TBytes bytes = {static_cast<std::uint8_t>(str.size())};
    bytes.insert(bytes.end(), str.begin(), str.end());
    return bytes;
}

// kFTP_msgReqFork / kFTP_msgOpenFork for the data fork of a file in the root of drive D:.
TBytes ForkRequest(std::uint8_t nCode, const std::string& strName)
{
    TBytes bytes = {nCode, 0, 0, kDriveD, 0, 0x80, 0, 0, 0};
    for (const TBytes& part : {Pascal(strName), Pascal("\\")})
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

TBytes CreateRequest(const std::string& strName)
{
    TBytes bytes = {kCreate, 0, 0, 0, 0, 0, 0, 0, 0, kDriveD, 0, 0x80, 0, 0, 0};
    for (const TBytes& part : {Pascal(strName), Pascal("\\")})
        bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

class FileServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("vantry-files-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir / "share");
        std::ofstream(m_dir / "pw") << "pw\n";
        m_pServe = std::make_unique<TServeProcess>(std::vector<std::string>{
            "--listen", "127.0.0.1:0", "--password-file", (m_dir / "pw").string(), "--share",
            "D=" + (m_dir / "share").string(), "--desktop", m_dir.string(), "--allow", "read,write,remove"});
    }
    void TearDown() override
    {
        m_pServe.reset();
        fs::remove_all(m_dir);
    }
    TRawGuest Guest()
    {
        TRawGuest guest = TRawGuest::Tcp(m_pServe->Port());
        EXPECT_EQ(guest.Handshake("pw", 9), 0);
        return guest;
    }
    // The volume list, or nothing when this host does not serve files yet.
    std::optional<std::vector<std::uint16_t>> ListVolumes(TRawGuest& guest)
    {
        guest.Send({kListVols});
        std::vector<std::uint16_t> volumes;
        for (;;) {
            const TBytes code = guest.Receive(1);
            if (code.empty())
                return std::nullopt;
            if (code[0] == kEndData)
                return volumes;
            EXPECT_EQ(code[0], kAVol);
            const TBytes record = guest.Receive(18 + 1);
            volumes.push_back(static_cast<std::uint16_t>(record[0] | record[1] << 8));
            guest.Receive(record[18]);
        }
    }
    // Reads kFTP_msgForkData packets up to kFTP_msgEndData.
    std::optional<std::string> ReceiveFork(TRawGuest& guest)
    {
        std::string strData;
        for (;;) {
            const TBytes code = guest.Receive(1);
            if (code.empty() || (code[0] != kForkData && code[0] != kEndData))
                return std::nullopt;
            if (code[0] == kEndData)
                return strData;
            const TBytes length = guest.Receive(2);
            const TBytes data = guest.Receive(static_cast<std::size_t>(length[0] << 8 | length[1]));
            strData.append(data.begin(), data.end());
        }
    }
    void SendFork(TRawGuest& guest, const std::string& strData)
    {
        for (std::size_t i = 0; i < strData.size(); i += 4093) {
            const std::size_t n = std::min<std::size_t>(4093, strData.size() - i);
            TBytes packet = {kForkData, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
            packet.insert(packet.end(), strData.begin() + static_cast<std::ptrdiff_t>(i),
                          strData.begin() + static_cast<std::ptrdiff_t>(i + n));
            guest.Send(packet);
        }
    }

    fs::path m_dir;
    std::unique_ptr<TServeProcess> m_pServe;
};

#define SKIP_WITHOUT_FILE_SERVICE(guest)                                                                     \
    if (!ListVolumes(guest))                                                                                 \
    GTEST_SKIP() << "this host does not serve files yet"

TEST_F(FileServiceTest, ListingDownloadAndUpload)
{
    TRawGuest guest = Guest();
    const auto volumes = ListVolumes(guest);
    if (!volumes)
        GTEST_SKIP() << "this host does not serve files yet";
    EXPECT_NE(std::find(volumes->begin(), volumes->end(), kDriveD), volumes->end());

    std::string strContent;
    for (int i = 0; i < 3000; ++i)
        strContent += "line " + std::to_string(i) + "\n";
    std::ofstream(m_dir / "share" / "notes.txt", std::ios::binary) << strContent;
    guest.Send(ForkRequest(kReqFork, "notes.txt"), 2);
    EXPECT_EQ(ReceiveFork(guest), strContent);

    guest.Send(CreateRequest("up.bin"), 3);
    EXPECT_EQ(guest.Receive(3), (TBytes{kResult, 0, 0}));
    guest.Send(ForkRequest(kOpenFork, "up.bin"));
    const std::string strUpload(10000, 'u');
    SendFork(guest, strUpload);
    guest.Send({kEndData});
    EXPECT_EQ(guest.Receive(3), (TBytes{kResult, 0, 0}));
    std::ifstream in(m_dir / "share" / "up.bin", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), strUpload);

    // The audit log: what is served, then a record of each operation with the guest and its session.
    // The log arrives through a pipe: the upload's record, the last, may follow its answer.
    EXPECT_TRUE(m_pServe->WaitForLog("event=upload outcome=done"));
    const std::string strWho = "guest=127.0.0.1:[0-9]+ user=tester session=1 ";
    for (const std::string& strRecord :
         {"event=share drive=D: folder=" + (m_dir / "share").string() + " privileges=read,write,remove dotfiles=no",
          "event=download outcome=done " + strWho + "path=D:\\\\notes.txt bytes=" + std::to_string(strContent.size()),
          "event=upload outcome=done " + strWho + "path=D:\\\\up.bin bytes=10000 replaced=no"}) {
        EXPECT_TRUE(std::regex_search(m_pServe->Log(), std::regex(strRecord + "\n"))) << strRecord << "\n" << m_pServe->Log();
    }
}

TEST_F(FileServiceTest, AGuestThatLeavesDuringAnUploadLeavesNoPartialFile)
{
    TRawGuest guest = Guest();
    SKIP_WITHOUT_FILE_SERVICE(guest);
    guest.Send(CreateRequest("half.bin"));
    EXPECT_EQ(guest.Receive(3), (TBytes{kResult, 0, 0}));
    guest.Send(ForkRequest(kOpenFork, "half.bin"));
    SendFork(guest, std::string(6000, 'h'));
    guest.Close();
    ASSERT_TRUE(m_pServe->WaitForLog("session ended"));
    EXPECT_FALSE(fs::exists(m_dir / "share" / "half.bin")) << m_pServe->Log();
}

TEST_F(FileServiceTest, AGuestThatStopsReadingHoldsLittleMemoryAndOthersAreStillAnswered)
{
    TRawGuest stalled = Guest();
    SKIP_WITHOUT_FILE_SERVICE(stalled);
    {
        std::ofstream big(m_dir / "share" / "big.bin", std::ios::binary);
        const std::string strBlock(1 << 20, 'b');
        for (int i = 0; i < 64; ++i)
            big << strBlock;
    }
    [[maybe_unused]] const long nBefore = m_pServe->ResidentKiB();
    stalled.Send(ForkRequest(kReqFork, "big.bin"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    [[maybe_unused]] const long nAfter = m_pServe->ResidentKiB();
#ifndef __SANITIZE_ADDRESS__ // the sanitizer's own quarantine of freed memory counts as resident
    EXPECT_LT(nAfter - nBefore, 4096) << "the host kept buffering for a guest that does not read";
#endif

    TRawGuest other = Guest();
    const auto started = std::chrono::steady_clock::now();
    other.Send({0x85, 1, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(other.Receive(10).size(), 10u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
}
} // namespace

namespace {
// The size fields of kFTP_msgFileInfo for a file in the root of drive D: (low word, high word).
std::pair<std::uint32_t, std::uint32_t> InfoSize(TRawGuest& guest, const std::string& strName)
{
    TBytes request = {0x90, kDriveD, 0, 0x80, 0, 0, 0};
    for (const TBytes& part : {Pascal(strName), Pascal("\\")})
        request.insert(request.end(), part.begin(), part.end());
    guest.Send(request);
    const TBytes reply = guest.Receive(49);
    if (reply.size() != 49)
        return {};
    const auto word = [&](std::size_t n) {
        return std::uint32_t{reply[n]} << 24 | std::uint32_t{reply[n + 1]} << 16 | std::uint32_t{reply[n + 2]} << 8 | reply[n + 3];
    };
    return {word(3 + 24), word(3 + 28)};
}
std::vector<std::string> ShareEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    return names;
}
} // namespace

// The host offers large sizes in its hello; they take effect only for a guest that takes them in
// its flags, which the password's proof covers.
TEST_F(FileServiceTest, LargeSizesOnlyForAGuestThatTakesThem)
{
    std::ofstream(m_dir / "share" / "five.bin").close();
    fs::resize_file(m_dir / "share" / "five.bin", 5ull << 30); // sparse
    for (const std::uint16_t nFlags : {std::uint16_t{0}, Handshake::kFlagLargeSizes}) {
        SCOPED_TRACE(nFlags);
        TRawGuest guest = TRawGuest::Tcp(m_pServe->Port());
        ASSERT_EQ(guest.Handshake("pw", 9, nullptr, "tester", nFlags), 0);
        EXPECT_EQ(InfoSize(guest, "five.bin"),
                  nFlags ? std::make_pair(0x40000000u, 1u) : std::make_pair(0xFFFFFFFFu, 0u));
    }

    TRawGuest forger = TRawGuest::Tcp(m_pServe->Port());
    const auto greeting = forger.Greet();
    ASSERT_TRUE(greeting);
    EXPECT_TRUE(greeting->nFlags & Handshake::kFlagLargeSizes);
    Handshake::TGuestHello guestHello;
    guestHello.request = OpenRequest(9);
    guestHello.proof = Handshake::ComputeProof("pw", forger.Nonce(), 0, guestHello.request, forger.Binding());
    guestHello.nFlags = Handshake::kFlagLargeSizes; // not what the proof covers
    forger.Send(Handshake::EncodeGuestHello(guestHello));
    EXPECT_EQ(forger.Answer(), Handshake::kAuthenticationRefused);
}

// Pipelining takes effect only for a guest that takes it in its flags, on version 9: then a
// request sent while a fork comes is answered after it; any other session ends at such a request.
TEST_F(FileServiceTest, PipeliningOnlyForAGuestThatTakesIt)
{
    const std::string strContent(100000, 'p');
    std::ofstream(m_dir / "share" / "big.bin") << strContent;
    const struct {
        std::uint16_t nVersion, nFlags;
        bool bPipelined;
    } cases[] = {{9, Handshake::kFlagPipelining, true}, {9, 0, false}, {7, Handshake::kFlagPipelining, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.nVersion) + "/" + std::to_string(c.nFlags));
        TRawGuest guest = TRawGuest::Tcp(m_pServe->Port());
        ASSERT_EQ(guest.Handshake("pw", c.nVersion, nullptr, "tester", c.nFlags), 0);
        TBytes requests = ForkRequest(kReqFork, "big.bin");
        const TBytes second = ForkRequest(kReqFork, "big.bin");
        requests.insert(requests.end(), second.begin(), second.end());
        guest.Send(requests);
        if (c.bPipelined) {
            EXPECT_EQ(ReceiveFork(guest), strContent);
            EXPECT_EQ(ReceiveFork(guest), strContent);
        } else {
            ReceiveFork(guest); // cut short or not, as the stop overtakes it
            EXPECT_TRUE(guest.ClosedByHost());
        }
    }
}

TEST_F(FileServiceTest, UnfinishedUploadsLeaveNothingAfterSIGTERM)
{
    TRawGuest guest = Guest();
    SKIP_WITHOUT_FILE_SERVICE(guest);
    // Two opens in a row, each with data and no end: the first is settled by the second.
    for (const char* pszName : {"a.bin", "b.bin"}) {
        guest.Send(ForkRequest(kOpenFork, pszName));
        SendFork(guest, "half of it");
    }
    EXPECT_TRUE(ListVolumes(guest)); // answered once the data before it is in
    EXPECT_EQ(ShareEntries(m_dir / "share").size(), 1u) << "one temporary at most";
    EXPECT_EQ(m_pServe->StopWith(SIGTERM), 0);
    EXPECT_TRUE(ShareEntries(m_dir / "share").empty());
}
