// `vantry serve` as a guest meets it: the handshake and its TLS, raw protocol packets over TCP
// and over standard input/output, many guests at once, disconnects and signals.
#include "CaptureProxy.h"
#include "ServeProcess.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
constexpr std::uint8_t kNoOp = 0x84;
constexpr std::uint8_t kNewMessages = 0x85;
const TBytes kNewMessagesQuery = {kNewMessages, 1, 0, 0, 0, 0, 0, 0};
const TBytes kNewMessagesAnswer = {kNewMessages, 2, 0, 0, 0, 0, 0, 0, 0, 0};

class ServeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() /
                ("vantry-serve-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir / "share");
        // The host key is made in the test's own configuration folder.
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
        std::ofstream(m_dir / "pw") << "open sesame\n";
        std::ofstream(m_dir / "vantry.conf") << "handshake-timeout 400\n";
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::vector<std::string> Args(const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> args = {"--listen", "127.0.0.1:0", "--password-file", (m_dir / "pw").string(),
                                         "--share", "D=" + (m_dir / "share").string(), "--desktop",
                                         m_dir.string(), "--config", (m_dir / "vantry.conf").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }
    TRawGuest Accepted(TServeProcess& serve)
    {
        TRawGuest guest = TRawGuest::Tcp(serve.Port());
        EXPECT_EQ(guest.Handshake(kPassword, 9), 0);
        return guest;
    }

    const std::string kPassword = "open sesame";
    fs::path m_dir;
};

TEST_F(ServeTest, HandshakeAgreesVersionsAndRefusesWrongPasswords)
{
    TServeProcess serve(Args({"--allow", "read,remove"}));
    ASSERT_NE(serve.Port(), 0) << serve.Log();
    struct TCase {
        std::string strPassword;
        std::uint16_t nAsked;
        std::int16_t nStatus;
        std::uint16_t nAgreed;
    };
    const TCase cases[] = {
        {kPassword, 9, 0, 9},  {kPassword, 7, 0, 7},       {kPassword, 8, 0, 7},
        {kPassword, 12, 0, 9}, {kPassword, 4, -12001, 0},  {"open sesame ", 9, -12002, 0},
        {"", 9, -12002, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE("password '" + c.strPassword + "' version " + std::to_string(c.nAsked));
        TRawGuest guest = TRawGuest::Tcp(serve.Port());
        TBytes response;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(guest.Handshake(c.strPassword, c.nAsked, &response), c.nStatus);
        const auto elapsed = std::chrono::steady_clock::now() - started;
        if (c.nStatus != 0) {
            EXPECT_TRUE(response.empty());
            EXPECT_TRUE(guest.ClosedByHost());
            if (c.nStatus == -12002) {
                EXPECT_GE(elapsed, std::chrono::milliseconds(800)) << "a wrong password was answered at once";
            }
            continue;
        }
        ASSERT_EQ(response.size(), 38u);
        EXPECT_EQ(response[8] | response[9] << 8, c.nAgreed) << "agreed version, little-endian";
        EXPECT_EQ(response[18] | response[19] << 8, 0xA0) << "privilege word of --allow read,remove";
        EXPECT_EQ(response[6], 1) << "folders named by directory string";
        EXPECT_EQ(response[36] << 8 | response[37], 4096);
    }
    EXPECT_TRUE(serve.WaitForLog("event=login outcome=refused"));
    EXPECT_TRUE(serve.WaitForLog("protocol version 4 not supported"));
    EXPECT_EQ(serve.StopWith(SIGTERM), 0);
}

TEST_F(ServeTest, AGuestThatLeavesWhileItsRefusalWaitsIsLetGoAtOnce)
{
    TServeProcess serve(Args());
    ASSERT_NE(serve.Port(), 0) << serve.Log();
    TRawGuest guest = TRawGuest::Tcp(serve.Port());
    ASSERT_TRUE(guest.Greet());
    const Handshake::TNonce nonce = guest.Nonce();
    Handshake::TGuestHello hello;
    hello.request = OpenRequest(9);
    hello.strUserName = "leaver";
    hello.proof = Handshake::ComputeProof("wrong", nonce, hello.nFlags, hello.request, guest.Binding());
    guest.Send(Handshake::EncodeGuestHello(hello));
    ASSERT_TRUE(serve.WaitForLog("event=login outcome=refused guest=127.0.0.1:")) << serve.Log();
    ASSERT_TRUE(serve.WaitForLog("user=leaver cause=\"wrong password\" failures=1")) << serve.Log();
    // Without this the host kept the connection until the delayed answer, which grows for an
    // address that keeps failing.
    guest.Close();
    EXPECT_TRUE(serve.WaitForLog("user 'leaver': left before its login was answered")) << serve.Log();
}

TEST_F(ServeTest, MessagesAreAnsweredWhateverTheSplitAndAFailingSessionEnds)
{
    TServeProcess serve(Args());
    TRawGuest guest = Accepted(serve);
    for (std::size_t nSplit : {1u, 3u, 0u}) {
        TBytes request = {kNoOp, kNoOp};
        request.insert(request.end(), kNewMessagesQuery.begin(), kNewMessagesQuery.end());
        guest.Send(request, nSplit);
        EXPECT_EQ(guest.Receive(kNewMessagesAnswer.size()), kNewMessagesAnswer) << "split " << nSplit;
    }
    // The module refuses a kFTP_msgResult from a guest: the session ends without a reply.
    guest.Send({0x97});
    EXPECT_TRUE(guest.ClosedByHost());
    EXPECT_TRUE(serve.WaitForLog("session ended"));
    // The service goes on for others.
    TRawGuest next = Accepted(serve);
    next.Send(kNewMessagesQuery);
    EXPECT_EQ(next.Receive(kNewMessagesAnswer.size()), kNewMessagesAnswer);
}

TEST_F(ServeTest, TenGuestsAtOnceEachGetTheirOwnAnswers)
{
    TServeProcess serve(Args());
    std::vector<TRawGuest> guests;
    for (int i = 0; i < 10; ++i)
        guests.push_back(Accepted(serve));
    // Each guest asks a different question, interleaved byte by byte across the guests.
    const TBytes query1 = kNewMessagesQuery;
    TBytes query3 = kNewMessagesQuery;
    query3[1] = 3;
    for (std::size_t nByte = 0; nByte < query1.size(); ++nByte) {
        for (std::size_t i = 0; i < guests.size(); ++i)
            guests[i].Send({(i % 2 ? query3 : query1)[nByte]});
    }
    for (std::size_t i = 0; i < guests.size(); ++i) {
        const TBytes expected = i % 2 ? TBytes{kNewMessages, 4, 0, 0, 0, 0, 0, 0} : kNewMessagesAnswer;
        EXPECT_EQ(guests[i].Receive(expected.size()), expected) << "guest " << i;
    }
    // One guest that leaves in the middle of a message disturbs nobody.
    guests[3].Send({kNewMessages, 1, 0});
    guests[3].Close();
    EXPECT_TRUE(serve.WaitForLog("session ended"));
    guests[4].Send(kNewMessagesQuery);
    EXPECT_EQ(guests[4].Receive(kNewMessagesAnswer.size()), kNewMessagesAnswer);
    EXPECT_EQ(serve.StopWith(SIGINT), 0);
}

TEST_F(ServeTest, SlowAndSilentConnectionsAreClosed)
{
    TServeProcess serve(Args());
    TRawGuest silent = TRawGuest::Tcp(serve.Port());
    EXPECT_EQ(silent.Receive(Handshake::kGreetingSize).size(), Handshake::kGreetingSize);
    EXPECT_TRUE(silent.ClosedByHost(3000)) << "the handshake timeout did not close the connection";
    EXPECT_TRUE(serve.WaitForLog("handshake timed out"));

    TRawGuest hostile = TRawGuest::Tcp(serve.Port());
    ASSERT_TRUE(hostile.Greet());
    hostile.Nonce();
    hostile.Send({0, 0, 0x02, 0x00}); // a request block longer than 508 bytes
    EXPECT_TRUE(hostile.ClosedByHost());
    EXPECT_TRUE(serve.WaitForLog("bad open request length 512"));

    // A guest that goes on in the clear where TLS was announced is dropped at once.
    TRawGuest plain = TRawGuest::Tcp(serve.Port());
    plain.Receive(Handshake::kGreetingSize);
    Handshake::TGuestHello hello;
    hello.request = OpenRequest(9);
    plain.Send(Handshake::EncodeGuestHello(hello));
    EXPECT_TRUE(plain.ClosedByHost(2000));
    EXPECT_TRUE(serve.WaitForLog("closed during the handshake (TLS"));
}

TEST_F(ServeTest, StandardInputAndOutputServeOneGuestWithoutAPassword)
{
    TServeProcess serve({"--stdio", "--share", "D=" + (m_dir / "share").string()}, true);
    TRawGuest guest(serve.StdoutFd(), serve.StdinFd(), false);
    const auto greeting = guest.Greet();
    ASSERT_TRUE(greeting) << serve.Log();
    EXPECT_EQ(greeting->nFlags & (Handshake::kFlagPasswordRequired | Handshake::kFlagTlsFollows), 0)
        << "ssh already encrypts and authenticates";
    guest.Nonce();
    Handshake::TGuestHello guestHello;
    guestHello.request = OpenRequest(9);
    TBytes bytes = Handshake::EncodeGuestHello(guestHello);
    bytes.insert(bytes.end(), kNewMessagesQuery.begin(), kNewMessagesQuery.end()); // sent before the answer
    guest.Send(bytes, 5);
    EXPECT_EQ(guest.Receive(4), (TBytes{0, 0, 0, 38}));
    EXPECT_EQ(guest.Receive(38).size(), 38u);
    EXPECT_EQ(guest.Receive(kNewMessagesAnswer.size()), kNewMessagesAnswer);
    // The guest's end of the pipe closes: the session ends and so does the service.
    ::close(serve.StdinFd());
    EXPECT_EQ(serve.WaitExit(5000), 0) << serve.Log();
    EXPECT_NE(serve.Log().find("stdio: session ended"), std::string::npos);
}

TEST_F(ServeTest, WithoutAPasswordFileOneIsMadeUpAndKeptInAPrivateFile)
{
    setenv("XDG_RUNTIME_DIR", (m_dir / "run").c_str(), 1);
    // Two hosts of one user: each keeps its own password in a file of its port.
    TServeProcess first({"--listen", "127.0.0.1:0", "--share", "D=" + (m_dir / "share").string()});
    TServeProcess second({"--listen", "127.0.0.1:0", "--share", "D=" + (m_dir / "share").string()});
    std::string strPasswords[2];
    TServeProcess* serves[2] = {&first, &second};
    for (int i = 0; i < 2; ++i) {
        TServeProcess& serve = *serves[i];
        ASSERT_NE(serve.Port(), 0) << serve.Log();
        const fs::path file = m_dir / "run" / "vantry" / ("password-" + std::to_string(serve.Port()));
        EXPECT_TRUE(serve.WaitForLog("with the password in " + file.string() + "\n")) << serve.Log();
        std::getline(std::ifstream(file), strPasswords[i]);
        ASSERT_GE(strPasswords[i].size(), 16u);
        EXPECT_EQ(serve.Log().find(strPasswords[i]), std::string::npos) << "the password went into a log";
        struct stat st {};
        ASSERT_EQ(::stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
    }
    EXPECT_NE(strPasswords[0], strPasswords[1]);
    for (int i = 0; i < 2; ++i) {
        TRawGuest guest = TRawGuest::Tcp(serves[i]->Port());
        EXPECT_EQ(guest.Handshake(strPasswords[i], 9), 0);
        TRawGuest wrong = TRawGuest::Tcp(serves[i]->Port());
        EXPECT_EQ(wrong.Handshake(strPasswords[1 - i], 9), -12002) << "the other host's password";
    }
    unsetenv("XDG_RUNTIME_DIR");
    // Nowhere to keep it and no terminal to show it on: no made-up password.
    TServeProcess nowhere({"--listen", "127.0.0.1:0", "--share", "D=" + (m_dir / "share").string()});
    EXPECT_EQ(nowhere.WaitExit(5000), 1);
    EXPECT_TRUE(nowhere.WaitForLog("no $XDG_RUNTIME_DIR")) << nowhere.Log();
}

TEST_F(ServeTest, TheHostKeyIsMadeOnceKeptPrivateAndShownByItsFingerprint)
{
    const fs::path keyFile = m_dir / "config" / "vantry" / "host-key.pem";
    std::string strFingerprint;
    {
        TServeProcess serve(Args());
        ASSERT_NE(serve.Port(), 0) << serve.Log();
        EXPECT_NE(serve.Log().find("made a new host key in " + keyFile.string()), std::string::npos);
        struct stat st {};
        ASSERT_EQ(::stat(keyFile.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        TRawGuest guest = TRawGuest::Tcp(serve.Port());
        EXPECT_EQ(guest.Handshake(kPassword, 9), 0);
        strFingerprint = guest.HostFingerprint();
        EXPECT_NE(serve.Log().find("host key fingerprint " + strFingerprint + "\n"), std::string::npos) << serve.Log();
    }
    {
        TServeProcess again(Args());
        ASSERT_NE(again.Port(), 0) << again.Log();
        EXPECT_EQ(again.Log().find("made a new host key"), std::string::npos);
        EXPECT_NE(again.Log().find(strFingerprint), std::string::npos) << "the key is kept";
    }
    {
        TServeProcess other(Args({"--host-key", (m_dir / "other.pem").string()}));
        ASSERT_NE(other.Port(), 0) << other.Log();
        TRawGuest guest = TRawGuest::Tcp(other.Port());
        EXPECT_EQ(guest.Handshake(kPassword, 9), 0);
        EXPECT_NE(guest.HostFingerprint(), strFingerprint);
    }
    fs::permissions(keyFile, fs::perms::group_read, fs::perm_options::add);
    TServeProcess exposed(Args());
    EXPECT_EQ(exposed.WaitExit(5000), 1);
    EXPECT_TRUE(exposed.WaitForLog("may be read by others")) << exposed.Log();
}

TEST_F(ServeTest, AProofIsWorthlessOnAnotherConnection)
{
    TServeProcess serve(Args());
    ASSERT_NE(serve.Port(), 0) << serve.Log();
    // The proof of a first connection, sent again on a second.
    TRawGuest first = TRawGuest::Tcp(serve.Port());
    ASSERT_EQ(first.Handshake(kPassword, 9), 0);
    const TBytes firstBinding = first.Binding();
    ASSERT_EQ(firstBinding.size(), Handshake::kBindingSize);
    Handshake::TGuestHello hello;
    hello.request = OpenRequest(9);
    hello.strUserName = "tester";
    hello.proof = first.LastProof();
    TRawGuest replay = TRawGuest::Tcp(serve.Port());
    ASSERT_TRUE(replay.Greet());
    replay.Nonce();
    replay.Send(Handshake::EncodeGuestHello(hello));
    EXPECT_EQ(replay.Answer(), Handshake::kAuthenticationRefused);
    // A relay in the middle: the host's nonce, but proven over the relay's own TLS session.
    TRawGuest relayed = TRawGuest::Tcp(serve.Port());
    ASSERT_TRUE(relayed.Greet());
    hello.proof = Handshake::ComputeProof(kPassword, relayed.Nonce(), 0, hello.request, firstBinding);
    relayed.Send(Handshake::EncodeGuestHello(hello));
    EXPECT_EQ(relayed.Answer(), Handshake::kAuthenticationRefused);
    // The guest flags are covered too.
    TRawGuest flagged = TRawGuest::Tcp(serve.Port());
    ASSERT_TRUE(flagged.Greet());
    hello.proof = Handshake::ComputeProof(kPassword, flagged.Nonce(), 0, hello.request, flagged.Binding());
    hello.nFlags = Handshake::kFlagLargeSizes;
    flagged.Send(Handshake::EncodeGuestHello(hello));
    EXPECT_EQ(flagged.Answer(), Handshake::kAuthenticationRefused);
}

TEST_F(ServeTest, BytesOnTheNetworkHoldNeitherContentNorProof)
{
    std::string strContent;
    for (int i = 0; strContent.size() < 20000; ++i)
        strContent += "confidential line " + std::to_string(i) + "\n";
    std::ofstream(m_dir / "share" / "secret.txt", std::ios::binary) << strContent;
    TServeProcess serve(Args());
    ASSERT_NE(serve.Port(), 0) << serve.Log();
    TCaptureProxy proxy(serve.Port());
    TRawGuest guest = TRawGuest::Tcp(proxy.Port());
    ASSERT_EQ(guest.Handshake(kPassword, 9, nullptr, "someone-special"), 0);
    // kFTP_msgReqFork for the data fork of D:\secret.txt; the packets up to kFTP_msgEndData.
    const std::string strName = "secret.txt";
    TBytes request = {0x8E, 0, 0, 4, 0, 0x80, 0, 0, 0, static_cast<std::uint8_t>(strName.size())};
    request.insert(request.end(), strName.begin(), strName.end());
    request.push_back(1); // the directory string, a lone backslash
    request.push_back('\\');
    guest.Send(request);
    std::string strReceived;
    for (;;) {
        const TBytes code = guest.Receive(1);
        if (code.empty() || code[0] != 0x8C)
            break;
        const TBytes length = guest.Receive(2);
        ASSERT_EQ(length.size(), 2u);
        const TBytes data = guest.Receive(Handshake::NetWord(length.data()));
        strReceived.append(data.begin(), data.end());
    }
    EXPECT_EQ(strReceived, strContent);
    guest.Close();
    const std::string strCaptured = proxy.Captured();
    ASSERT_GT(strCaptured.size(), strContent.size());
    EXPECT_EQ(strCaptured.rfind("VNTR", 0), 0u) << "the greeting stays in the clear";
    const std::string strProof(guest.LastProof().begin(), guest.LastProof().end());
    for (const std::string& strSecret : {std::string("confidential line"), strProof, kPassword,
                                         std::string("someone-special"), std::string("secret.txt")})
        EXPECT_EQ(strCaptured.find(strSecret), std::string::npos) << "in the clear: " << strSecret;
}

TEST_F(ServeTest, BadSettingsStopBeforeServing)
{
    TServeProcess missing({"--share", "D=" + (m_dir / "nothere").string()});
    EXPECT_EQ(missing.WaitExit(5000), 2);
    EXPECT_TRUE(missing.WaitForLog("is not a folder")) << missing.Log();
    TServeProcess unknown({"--frobnicate"});
    EXPECT_EQ(unknown.WaitExit(5000), 2);
}
} // namespace

namespace {
TEST_F(ServeTest, SilentGuestsAreClosedAndTheNumberOfGuestsIsCapped)
{
    TServeProcess serve(Args({"--idle-timeout", "1", "--max-guests", "2"}));
    ASSERT_NE(serve.Port(), 0) << serve.Log();
    TRawGuest first = Accepted(serve);
    TRawGuest second = Accepted(serve);
    TRawGuest third = TRawGuest::Tcp(serve.Port());
    EXPECT_TRUE(third.ClosedByHost(3000)) << "a third guest over the cap";
    EXPECT_TRUE(serve.WaitForLog("--max-guests"));
    // The two say nothing: each is closed after the idle time.
    EXPECT_TRUE(first.ClosedByHost(5000));
    EXPECT_TRUE(second.ClosedByHost(5000));
    EXPECT_TRUE(serve.WaitForLog("idle for 1 s"));
    TRawGuest later = Accepted(serve);
    EXPECT_EQ(serve.StopWith(SIGTERM), 0);
}

TEST_F(ServeTest, WithoutAStateFolderServingDoesNotStart)
{
    const std::string strHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* pszState = std::getenv("XDG_STATE_HOME");
    const std::string strState = pszState ? pszState : "";
    unsetenv("HOME");
    unsetenv("XDG_STATE_HOME");
    TServeProcess serve(Args());
    setenv("HOME", strHome.c_str(), 1);
    if (pszState)
        setenv("XDG_STATE_HOME", strState.c_str(), 1);
    EXPECT_EQ(serve.WaitExit(5000), 1);
    EXPECT_NE(serve.Log().find("neither HOME nor XDG_STATE_HOME is set"), std::string::npos) << serve.Log();
}
} // namespace
