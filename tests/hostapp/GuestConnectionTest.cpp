// The guest's end of a connection against a real `vantry serve`, over TCP and over a command's
// standard input/output.
#include "Connection.h"
#include "GuestConnection.h"
#include "LoopTestSupport.h"
#include "OpenBlocks.h"
#include "ServeProcess.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class GuestConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApplication();
        m_dir = fs::temp_directory_path() /
                ("vantry-guest-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        std::ofstream(m_dir / "pw") << "letmein\n";
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    // kFTP_msgNewMessages through the module's table, answered from the loop.
    void ExpectConversation(OVGuestEntry* pEntry)
    {
        HostServiceTable* pTable = nullptr;
        ASSERT_EQ(OVNAPIGetPtrAddress(&pEntry->address, &pTable), 0);
        std::uint8_t query[8] = {0x85, 1};
        std::uint8_t answer[10] = {};
        static int s_nDone;
        s_nDone = 0;
        const FTPCompletion done = [](HConnection, void*, HStream, std::int32_t nStatus) -> std::uint32_t {
            s_nDone += nStatus == 0 ? 1 : 100;
            return 0;
        };
        ASSERT_EQ(pTable->Write(pEntry->hConnection, query, sizeof query, done, this, nullptr, kWriteFlagDefault), 0);
        ASSERT_EQ(pTable->Read(pEntry->hConnection, answer, sizeof answer, done, this, nullptr), 0);
        ASSERT_TRUE(RunLoopUntil([] { return s_nDone >= 2; }));
        EXPECT_EQ(s_nDone, 2);
        EXPECT_EQ(answer[0], 0x85);
        EXPECT_EQ(answer[1], 2);
    }

    // `vantry serve` over TCP with the test's password and folder.
    std::vector<std::string> ServeArgs(const std::vector<std::string>& extra) const
    {
        std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--password-file", (m_dir / "pw").string(),
                                         "--share", "D=" + m_dir.string(), "--desktop", m_dir.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    TGuestTarget TcpTarget(std::uint16_t nPort) const
    {
        TGuestTarget target;
        target.strHost = "127.0.0.1";
        target.nPort = nPort;
        target.strPassword = "letmein";
        target.strKnownHostsFile = (m_dir / "known_hosts").string();
        target.bAcceptNewHost = true;
        return target;
    }

    fs::path m_dir;
};

TEST_F(GuestConnectionTest, ConnectsOverTcpWithTheOpenRequestOfThisGuest)
{
    TServeProcess serve(ServeArgs({"--allow", "read,write"}));
    ASSERT_NE(serve.Port(), 0);
    TGuestHostApp hostApp(nullptr);
    OVSetGuestHost(&hostApp);
    TGuestTarget target = TcpTarget(serve.Port());
    target.strUserName = "guest-tester";
    target.options.wProtocolSelector = 8;

    OVGuestEntry* pEntry = OVGuestAllocateEntry(TGuestHostApp::Handle(target), kOVGuestEntryKindFileTransfer);
    ASSERT_NE(pEntry, nullptr);
    ASSERT_EQ(OVGuestSetupConnection(pEntry, 0, 0, 0), 0) << hostApp.LastError();
    EXPECT_EQ(ReadNetWord(pEntry->openRequest, OpenBlock::kReqLength), 176);
    EXPECT_EQ(pEntry->openRequest[OpenBlock::kReqLevel], OpenBlock::kLevelExtendedVolumes);
    EXPECT_EQ(pEntry->openRequest[OpenBlock::kReqPlatform], 1);
    EXPECT_EQ(ReadHostWord(pEntry->openResponse, OpenBlock::kRespVersion), 7) << "selector 8 asks for 7";
    EXPECT_EQ(ReadHostWord(pEntry->openResponse, OpenBlock::kRespPrivileges), 0x60);
    EXPECT_EQ(pEntry->openResponse[6], 1);
    EXPECT_STREQ(OVGetAddressName(&pEntry->address), "127.0.0.1");
    EXPECT_TRUE(serve.WaitForLog("user 'guest-tester': accepted, protocol version 7, TLS"));
    const Handshake::TNegotiated* pNegotiated = hostApp.Negotiated(pEntry);
    ASSERT_NE(pNegotiated, nullptr);
    EXPECT_TRUE(pNegotiated->bTls);
    EXPECT_EQ(pNegotiated->nHostFlags,
              Handshake::kFlagPasswordRequired | Handshake::kFlagTlsFollows | Handshake::kFlagLargeSizes |
                  Handshake::kFlagPipelining);
    ExpectConversation(pEntry);

    OVGuestDeleteEntry(pEntry);
    EXPECT_TRUE(RunLoopUntil([&] { return serve.Log().find("session ended") != std::string::npos; }));

    target.strPassword = "wrong";
    pEntry = OVGuestAllocateEntry(TGuestHostApp::Handle(target), kOVGuestEntryKindFileTransfer);
    EXPECT_EQ(OVGuestSetupConnection(pEntry, 0, 0, 0), -12002);
    EXPECT_EQ(hostApp.LastError(), "the host refused the password");
    EXPECT_EQ(pEntry->hConnection, nullptr);
    OVGuestDeleteEntry(pEntry);

    target.nPort = 1; // nothing listens there
    pEntry = OVGuestAllocateEntry(TGuestHostApp::Handle(target), kOVGuestEntryKindFileTransfer);
    EXPECT_NE(OVGuestSetupConnection(pEntry, 0, 0, 0), 0);
    EXPECT_NE(hostApp.LastError().find("cannot connect"), std::string::npos);
    OVGuestDeleteEntry(pEntry);
    OVSetGuestHost(nullptr);
}

TEST_F(GuestConnectionTest, PlainOnOneEndOnlyFailsAtOnceWithAClearMessage)
{
    TGuestHostApp hostApp(nullptr);
    OVSetGuestHost(&hostApp);
    struct TCase {
        bool bHostPlain;
        bool bGuestPlain;
        std::string strError; // empty: connects
    };
    const TCase cases[] = {
        {false, true, "the host serves over TLS only; connect without --insecure-plain"},
        {true, false, "the host serves without encryption (vantry serve --insecure-plain)"},
        {true, true, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.bHostPlain) + std::to_string(c.bGuestPlain));
        std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--password-file", (m_dir / "pw").string(),
                                         "--share", "D=" + m_dir.string(), "--desktop", m_dir.string()};
        if (c.bHostPlain)
            args.push_back("--insecure-plain");
        TServeProcess serve(args);
        ASSERT_NE(serve.Port(), 0) << serve.Log();
        TGuestTarget target;
        target.strHost = "127.0.0.1";
        target.nPort = serve.Port();
        target.strPassword = "letmein";
        target.bPlain = c.bGuestPlain;
        target.bAcceptNewHost = true;
        target.nTimeoutMs = 3000;
        OVGuestEntry* pEntry = OVGuestAllocateEntry(TGuestHostApp::Handle(target), kOVGuestEntryKindFileTransfer);
        const auto started = std::chrono::steady_clock::now();
        const int nStatus = OVGuestSetupConnection(pEntry, 0, 0, 0);
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1)) << "not reported at once";
        if (c.strError.empty()) {
            EXPECT_EQ(nStatus, 0) << hostApp.LastError();
            EXPECT_FALSE(hostApp.Negotiated(pEntry)->bTls);
            ExpectConversation(pEntry);
        } else {
            EXPECT_NE(nStatus, 0);
            EXPECT_NE(hostApp.LastError().find(c.strError), std::string::npos) << hostApp.LastError();
        }
        OVGuestDeleteEntry(pEntry);
    }
    OVSetGuestHost(nullptr);
}

TEST_F(GuestConnectionTest, ConnectsThroughACommandsStandardInputAndOutput)
{
    TGuestHostApp hostApp(nullptr);
    OVSetGuestHost(&hostApp);
    TGuestTarget target;
    target.strHost = "over-a-pipe";
    target.command = {VANTRY_EXECUTABLE, "serve", "--stdio", "--share", "D=" + m_dir.string(), "--desktop",
                      m_dir.string()};
    target.bTranslateDownload = true;
    OVGuestEntry* pEntry = OVGuestAllocateEntry(TGuestHostApp::Handle(target), kOVGuestEntryKindFileTransfer);
    ASSERT_EQ(OVGuestSetupConnection(pEntry, 0, 0, 0), 0) << hostApp.LastError();
    EXPECT_EQ(ReadHostWord(pEntry->openResponse, OpenBlock::kRespVersion), 9);
    EXPECT_EQ(OVGetOV2TranslateCRLF(kOVTranslateDownload), 1u);
    EXPECT_EQ(OVGetOV2TranslateCRLF(kOVTranslateUpload), 0u);
    ExpectConversation(pEntry);
    OVGuestDeleteEntry(pEntry);
    RunLoopFor(100);
    OVSetGuestHost(nullptr);
}

// A guest that waits for its user sends a no-op now and then; a host that closes silent
// connections keeps it.
TEST_F(GuestConnectionTest, AnIdleGuestIsKeptByItsNoOps)
{
    TServeProcess serve(ServeArgs({"--idle-timeout", "1"}));
    ASSERT_NE(serve.Port(), 0);
    TGuestHostApp hostApp(nullptr);
    OVSetGuestHost(&hostApp);
    TGuestTarget target = TcpTarget(serve.Port());
    target.nKeepAliveMs = 200;
    OVGuestEntry* pEntry = OVGuestAllocateEntry(TGuestHostApp::Handle(target), kOVGuestEntryKindFileTransfer);
    ASSERT_EQ(OVGuestSetupConnection(pEntry, 0, 0, 0), 0) << hostApp.LastError();
    auto* pConnection = static_cast<TConnection*>(pEntry->hConnection);
    // Ten no-ops, two seconds: twice the host's idle time.
    const std::uint64_t nStart = pConnection->Traffic();
    EXPECT_TRUE(RunLoopUntil([&] { return pConnection->Traffic() >= nStart + 10; }, 6000));
    EXPECT_FALSE(pConnection->Broken());
    ExpectConversation(pEntry);
    EXPECT_EQ(serve.Log().find("idle for"), std::string::npos) << serve.Log();
    OVGuestDeleteEntry(pEntry);
    OVSetGuestHost(nullptr);
}

TEST_F(GuestConnectionTest, TheStopRequestReachesTheFrontEndFromTheLoop)
{
    void* pStopped = nullptr;
    TGuestHostApp hostApp([&](void* hSession) { pStopped = hSession; });
    OVSetGuestHost(&hostApp);
    IOVWindow* pWindow = nullptr;
    OVGetGuestWindow(&pWindow);
    ASSERT_NE(pWindow, nullptr);
    int nSession = 0;
    EXPECT_TRUE(pWindow->PostMessage(0x40D, 3, &nSession));
    EXPECT_EQ(pStopped, nullptr) << "handled inside the post";
    EXPECT_TRUE(RunLoopUntil([&] { return pStopped == &nSession; }));
    EXPECT_EQ(OVGuestAllocateEntry(0, kOVGuestEntryKindFileTransfer), nullptr);
    OVSetGuestHost(nullptr);
}
} // namespace
