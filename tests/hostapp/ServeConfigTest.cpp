#include "OpenBlocks.h"
#include "ServeConfig.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class ServeConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("vantry-config-" + std::to_string(::getpid()));
        fs::create_directories(m_dir / "home" / "Desktop");
        fs::create_directories(m_dir / "data");
        fs::create_directories(m_dir / "config" / "vantry");
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Write(const std::string& strName, const std::string& strText)
    {
        const fs::path path = m_dir / strName;
        std::ofstream(path, std::ios::binary) << strText;
        return path.string();
    }
    fs::path m_dir;
};

constexpr std::uint16_t kRead = PrivilegeMask(kPrivilegeBitRead);
constexpr std::uint16_t kWrite = PrivilegeMask(kPrivilegeBitWrite);
constexpr std::uint16_t kRemove = PrivilegeMask(kPrivilegeBitRemove);

TEST_F(ServeConfigTest, OptionsAreParsed)
{
    const TServeArguments parsed = ParseServeArguments(
        {"--listen", "0.0.0.0:9000", "--share", "d=/srv/data,cdrom,My Disc", "--share=E=/mnt", "--allow",
         "read,remove", "--desktop", "/tmp", "--password-file", "/pw", "--oem-codepage", "850", "--stdio"});
    ASSERT_EQ(parsed.strError, "");
    const TServeConfig& c = parsed.config;
    EXPECT_EQ(c.strListenHost, "0.0.0.0");
    EXPECT_EQ(c.nPort, 9000);
    ASSERT_EQ(c.shares.size(), 2u);
    EXPECT_EQ(c.shares[0].cLetter, 'D');
    EXPECT_EQ(c.shares[0].strDir, "/srv/data");
    EXPECT_EQ(c.shares[0].nKind, kShareCDROM);
    EXPECT_EQ(c.shares[0].strLabel, "My Disc");
    EXPECT_EQ(c.shares[1].cLetter, 'E');
    EXPECT_EQ(c.shares[1].nKind, kShareFixed);
    EXPECT_EQ(c.nPrivileges, kRead | kRemove);
    EXPECT_EQ(c.strDesktopDir, "/tmp");
    EXPECT_EQ(c.strPasswordFile, "/pw");
    EXPECT_EQ(c.nOemCodePage, 850);
    EXPECT_TRUE(c.bStdio);
    EXPECT_TRUE(ParseServeArguments({"--share", "C=/x", "--help"}).bHelp);
}

TEST_F(ServeConfigTest, SecuritySettingsAndTheOwnConfigFileOfStdio)
{
    const TServeArguments parsed = ParseServeArguments(
        {"--share", "D=/srv/a,dotfiles", "--share", "E=/srv/b,remote,Label, with comma,dotfiles", "--share", "F=/srv/c",
         "--host-key", "/k.pem", "--insecure-plain", "--log-level", "warning", "--desktop", "/srv/desk,dotfiles"});
    ASSERT_EQ(parsed.strError, "");
    const TServeConfig& c = parsed.config;
    ASSERT_EQ(c.shares.size(), 3u);
    EXPECT_TRUE(c.shares[0].bDotNames);
    EXPECT_EQ(c.shares[0].nKind, kShareFixed);
    EXPECT_TRUE(c.shares[1].bDotNames);
    EXPECT_EQ(c.shares[1].strLabel, "Label, with comma");
    EXPECT_FALSE(c.shares[2].bDotNames) << "dot names are hidden by default";
    EXPECT_EQ(c.strDesktopDir, "/srv/desk");
    EXPECT_TRUE(c.bDesktopDotNames);
    EXPECT_FALSE(ParseServeArguments({"--desktop", "/srv/desk"}).config.bDesktopDotNames);
    EXPECT_EQ(c.strHostKeyFile, "/k.pem");
    EXPECT_TRUE(c.bInsecurePlain);
    EXPECT_EQ(c.eLogLevel, ELogLevel::Warning);
    EXPECT_NE(ParseServeArguments({"--log-level", "loud"}).strError, "");

    // Over ssh, the remote user's serve.conf applies unless --config names another file.
    Write("config/vantry/serve.conf", "share D=/srv/remote\nallow read,write\n");
    const TServeConfig stdio = ParseServeArguments({"--stdio"}).config;
    ASSERT_EQ(stdio.shares.size(), 1u);
    EXPECT_EQ(stdio.shares[0].strDir, "/srv/remote");
    EXPECT_EQ(stdio.nPrivileges, kRead | kWrite);
    EXPECT_TRUE(ParseServeArguments({}).config.shares.empty()) << "only --stdio reads it by itself";
    const std::string strOther = Write("other.conf", "share E=/srv/other\n");
    const TServeConfig other = ParseServeArguments({"--stdio", "--config", strOther}).config;
    ASSERT_EQ(other.shares.size(), 1u);
    EXPECT_EQ(other.shares[0].cLetter, 'E');
}

TEST_F(ServeConfigTest, BadOptionsAreRefusedWithAReason)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--listen", "127.0.0.1"}, "--listen"},
        {{"--listen", "127.0.0.1:70000"}, "--listen"},
        {{"--share", "D:/x"}, "--share"},
        {{"--share", "1=/x"}, "--share"},
        {{"--share", "D=/x,floppy"}, "unknown drive kind"},
        {{"--share", "D=/x", "--share", "d=/y"}, "twice"},
        {{"--allow", "read,delete"}, "--allow"},
        {{"--allow", ""}, "--allow"},
        {{"--oem-codepage", "x"}, "--oem-codepage"},
        {{"--stdio=yes"}, "takes no value"},
        {{"--share"}, "needs a value"},
        {{"--handshake-timeout", "5"}, "unknown option"},
        {{"--bogus"}, "unknown option"},
        {{"stray"}, "unexpected argument"},
        {{"--config", "/nonexistent/vantry.conf"}, "cannot read"},
    };
    for (const auto& [args, strExpected] : cases) {
        const TServeArguments parsed = ParseServeArguments(args);
        EXPECT_NE(parsed.strError.find(strExpected), std::string::npos)
            << args.front() << " gave '" << parsed.strError << "'";
    }
}

TEST_F(ServeConfigTest, ConfigFileHoldsTheSameSettingsAndTheCommandLineComesAfter)
{
    const std::string strConfig = Write("vantry.conf", "# served folders\n"
                                                       "share D=/srv/d,remote\n"
                                                       "listen = 127.0.0.1:1234\n"
                                                       "allow read\n"
                                                       "stdio\n"
                                                       "handshake-timeout 250\n");
    const TServeArguments parsed = ParseServeArguments({"--allow", "write", "--config", strConfig, "--share", "E=/e"});
    ASSERT_EQ(parsed.strError, "");
    EXPECT_EQ(parsed.config.nPort, 1234);
    EXPECT_EQ(parsed.config.nPrivileges, kWrite);
    EXPECT_TRUE(parsed.config.bStdio);
    EXPECT_EQ(parsed.config.nHandshakeTimeoutMs, 250);
    ASSERT_EQ(parsed.config.shares.size(), 2u);
    EXPECT_EQ(parsed.config.shares[0].nKind, kShareRemote);

    const std::string strBad = Write("bad.conf", "listen 1.2.3.4:5\nfrobnicate 3\n");
    EXPECT_NE(ParseServeArguments({"--config", strBad}).strError.find("bad.conf:2: unknown setting"), std::string::npos);
}

TEST_F(ServeConfigTest, CompletionFillsTheDefaultsAndReadsThePassword)
{
    const std::string strHome = (m_dir / "home").string();
    TServeConfig config = ParseServeArguments({}).config;
    ASSERT_EQ(CompleteServeConfig(config, strHome), "");
    ASSERT_EQ(config.shares.size(), 1u);
    EXPECT_EQ(config.shares[0].cLetter, 'C');
    EXPECT_EQ(config.shares[0].strDir, fs::canonical(strHome).string());
    EXPECT_EQ(config.strDesktopDir, fs::canonical(m_dir / "home" / "Desktop").string());
    EXPECT_EQ(config.nPrivileges, kRead);
    EXPECT_EQ(config.strPassword, "");

    config = ParseServeArguments({"--password-file", Write("pw", "s3cret pass\r\nsecond line\n")}).config;
    ASSERT_EQ(CompleteServeConfig(config, strHome), "");
    EXPECT_EQ(config.strPassword, "s3cret pass");

    const std::vector<std::pair<std::vector<std::string>, std::string>> failures = {
        {{"--password-file", Write("empty", "\nx\n")}, "empty line"},
        {{"--password-file", (m_dir / "missing").string()}, "cannot read password file"},
        {{"--share", "D=" + (m_dir / "nothere").string()}, "is not a folder"},
        {{"--desktop", (m_dir / "nothere").string()}, "is not a folder"},
    };
    for (const auto& [args, strExpected] : failures) {
        TServeConfig bad = ParseServeArguments(args).config;
        EXPECT_NE(CompleteServeConfig(bad, strHome).find(strExpected), std::string::npos) << args.back();
    }
}
} // namespace
