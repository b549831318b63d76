// The guest verbs against a real `vantry serve` on 127.0.0.1 with temporary shares: listing,
// copying trees both ways on versions 9 and 7, replace answers, privileges, cancel mid-file,
// remove and new folder, and a wrong password.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {
struct TResult {
    int nStatus = -1;
    std::string strOut;
    std::string strErr;
};

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

void WriteFile(const fs::path& path, const std::string& strData)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << strData;
}

std::string RandomBytes(std::size_t n, unsigned nSeed)
{
    std::mt19937 random(nSeed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(random());
    return s;
}

pid_t Spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err)
{
    const pid_t nPid = fork();
    if (nPid == 0) {
        setpgid(0, 0);
        const int nIn = open("/dev/null", O_RDONLY);
        const int nOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int nErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(nIn, 0);
        dup2(nOut, 1);
        dup2(nErr, 2);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return nPid;
}

int WaitStatus(pid_t nPid)
{
    int nStatus = 0;
    waitpid(nPid, &nStatus, 0);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
}

// The tree every copy test sends: nested folders, empty files and folders, sizes around a
// packet's length, a few megabytes, names in several letter cases and names to be fitted.
std::map<std::string, std::string> SampleTree()
{
    return {
        {"top.txt", "top\r\nline\n"},
        {"empty.dat", ""},
        {"Mixed Case Name.TXT", "mixed"},
        {"lower.txt", "lower"},
        {"a/b/c/deep.bin", RandomBytes(4093, 1)},
        {"a/b/edge4094.bin", RandomBytes(4094, 2)},
        {"a/exact4096.bin", RandomBytes(4096, 3)},
        {"a/big.bin", RandomBytes(3 * 1024 * 1024 + 17, 4)},
        {"a/Empty Folder/", ""},
        {"UPPER/Inner.Name.With.Dots.txt", "dots"},
        {"a name with spaces and a very long tail that goes on and on and on for a while.txt", "long"},
    };
}

void MakeTree(const fs::path& root, const std::map<std::string, std::string>& tree)
{
    for (const auto& [strName, strData] : tree) {
        if (!strName.empty() && strName.back() == '/')
            fs::create_directories(root / strName);
        else
            WriteFile(root / strName, strData);
    }
}

// Relative path -> contents ("/" for a folder) of everything under root.
std::map<std::string, std::string> Snapshot(const fs::path& root)
{
    std::map<std::string, std::string> result;
    if (!fs::exists(root))
        return result;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        const std::string strName = fs::relative(item.path(), root).string();
        // Contents by size and digest, so that a difference prints short.
        const std::string strData = item.is_directory() ? std::string() : ReadAll(item.path());
        result[strName] = item.is_directory() ? "/" : std::to_string(strData.size()) + ":" + std::to_string(std::hash<std::string>{}(strData));
    }
    return result;
}

std::map<std::string, std::int64_t> ModifiedTimes(const fs::path& root)
{
    std::map<std::string, std::int64_t> result;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        struct stat st {};
        if (item.is_regular_file() && ::stat(item.path().c_str(), &st) == 0)
            result[fs::relative(item.path(), root).string()] = st.st_mtime;
    }
    return result;
}
} // namespace

class GuestVerbsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        char szTemplate[] = "/tmp/vantry-verbs-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_root = szTemplate;
        fs::create_directories(Share());
        fs::create_directories(Local());
        WriteFile(m_root / "password", "open sesame\n");
        // Host key and known hosts of this test alone, for the host and the guests it starts.
        setenv("XDG_CONFIG_HOME", Config().c_str(), 1);
    }
    void TearDown() override
    {
        StopServe();
        std::error_code error;
        fs::remove_all(m_root, error);
    }

    fs::path Share() const { return m_root / "share"; }
    fs::path Local() const { return m_root / "local"; }
    fs::path Config() const { return m_root / "config"; }
    fs::path KnownHosts() const { return Config() / "vantry" / "known_hosts"; }

    // Starts the host and pins its certificate for the guests, as its user would after comparing
    // the fingerprint that it prints (bPin false: the guests have not met it yet).
    void StartServe(const std::string& strAllow = "read,write,remove", std::vector<std::string> extra = {},
                    bool bPin = true, int nPort = 0)
    {
        StopServe();
        std::vector<std::string> args = {VANTRY_EXECUTABLE, "serve", "--listen", "127.0.0.1:" + std::to_string(nPort),
                                         "--share", "C=" + Share().string(), "--allow", strAllow, "--password-file",
                                         (m_root / "password").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        m_nServe = Spawn(args, m_root / "serve.out", m_root / "serve.err");
        for (int i = 0; i < 200 && m_nPort == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            const std::string strLog = ReadAll(m_root / "serve.out") + ReadAll(m_root / "serve.err");
            const std::size_t nAt = strLog.find("listening on 127.0.0.1:");
            if (nAt != std::string::npos)
                m_nPort = std::atoi(strLog.c_str() + nAt + std::strlen("listening on 127.0.0.1:"));
        }
        ASSERT_NE(m_nPort, 0) << ReadAll(m_root / "serve.err");
        const std::string strLog = ReadAll(m_root / "serve.err");
        const std::string strKey = "host key fingerprint ";
        const std::size_t nAt = strLog.find(strKey);
        ASSERT_NE(nAt, std::string::npos) << strLog;
        m_strFingerprint = strLog.substr(nAt + strKey.size(), strLog.find('\n', nAt) - nAt - strKey.size());
        if (bPin)
            WriteFile(KnownHosts(), "127.0.0.1:" + std::to_string(m_nPort) + " " + m_strFingerprint + "\n");
    }
    void StopServe()
    {
        if (m_nServe > 0) {
            kill(m_nServe, SIGTERM);
            WaitStatus(m_nServe);
        }
        m_nServe = -1;
        m_nPort = 0;
    }
    std::string Url(const std::string& strPath = {}) const
    {
        return "vantry://127.0.0.1:" + std::to_string(m_nPort) + (strPath.empty() ? "" : "/" + strPath);
    }
    pid_t StartVerb(std::vector<std::string> args, const std::string& strPassword = "open sesame")
    {
        args.insert(args.begin(), VANTRY_EXECUTABLE);
        setenv("VANTRY_PASSWORD", strPassword.c_str(), 1);
        return Spawn(args, m_root / "verb.out", m_root / "verb.err");
    }
    TResult Verb(std::vector<std::string> args, const std::string& strPassword = "open sesame")
    {
        TResult result;
        result.nStatus = WaitStatus(StartVerb(std::move(args), strPassword));
        result.strOut = ReadAll(m_root / "verb.out");
        result.strErr = ReadAll(m_root / "verb.err");
        return result;
    }

    fs::path m_root;
    pid_t m_nServe = -1;
    int m_nPort = 0;
    std::string m_strFingerprint;
};

TEST_F(GuestVerbsTest, ListsVolumesAndFoldersOnVersionsNineAndSeven)
{
    WriteFile(Share() / "dir/Long File Name.text", "12345");
    fs::create_directories(Share() / "dir/Sub");
    fs::last_write_time(Share() / "dir/Long File Name.text", fs::file_time_type::clock::now());
    StartServe();

    const TResult volumes = Verb({"ls", Url()});
    EXPECT_EQ(volumes.nStatus, 0) << volumes.strErr;
    EXPECT_NE(volumes.strOut.find("c:"), std::string::npos) << volumes.strOut;

    const TResult nine = Verb({"ls", Url("C/dir")});
    EXPECT_EQ(nine.nStatus, 0) << nine.strErr;
    EXPECT_NE(nine.strOut.find("Long File Name.text"), std::string::npos) << nine.strOut;
    EXPECT_NE(nine.strOut.find("folder"), std::string::npos);
    EXPECT_NE(nine.strOut.find("5 20"), std::string::npos) << "size then a date: " << nine.strOut;

    const TResult seven = Verb({"ls", "--protocol", "7", Url("C/dir")});
    EXPECT_EQ(seven.nStatus, 0) << seven.strErr;
    EXPECT_EQ(seven.strOut.find("Long File Name.text"), std::string::npos) << "short names only: " << seven.strOut;
    EXPECT_NE(seven.strOut.find("LONG~"), std::string::npos) << seven.strOut;
}

TEST_F(GuestVerbsTest, TreeArrivesByteIdenticalWithItsTimesByGetAndByPut)
{
    for (const char* pszProtocol : {"9", "7"}) {
        SCOPED_TRACE(pszProtocol);
        fs::remove_all(Share());
        fs::remove_all(Local());
        fs::create_directories(Local());
        MakeTree(Share() / "tree", SampleTree());
        StartServe();
        const bool bLong = std::string(pszProtocol) == "9";

        const TResult get = Verb({"get", "--protocol", pszProtocol, Url("C/tree"), Local().string()});
        ASSERT_EQ(get.nStatus, 0) << get.strErr;
        if (bLong) {
            EXPECT_EQ(Snapshot(Local() / "tree"), Snapshot(Share() / "tree"));
            EXPECT_EQ(ModifiedTimes(Local() / "tree"), ModifiedTimes(Share() / "tree"));
        } else {
            // Short names on version 7: the same bytes under each file's 8.3 alias.
            EXPECT_EQ(Snapshot(Local()).size(), Snapshot(Share()).size());
        }
        const std::string strArrived = fs::directory_iterator(Local())->path().filename().string();

        fs::create_directories(Share() / "back");
        const TResult put = Verb({"put", "--protocol", pszProtocol, (Local() / strArrived).string(), Url("C/back")});
        ASSERT_EQ(put.nStatus, 0) << put.strErr;
        // Below 9 the folder's name is fitted to the host's 8.3 rules too.
        ASSERT_FALSE(fs::is_empty(Share() / "back"));
        const fs::path sent = fs::directory_iterator(Share() / "back")->path();
        // 8.3 names fitted for a version 7 host are in upper case.
        auto fold = [bLong](auto map) {
            decltype(map) folded;
            for (auto& [strName, value] : map) {
                std::string strKey = strName;
                if (!bLong)
                    std::transform(strKey.begin(), strKey.end(), strKey.begin(), [](unsigned char c) { return std::toupper(c); });
                folded[strKey] = value;
            }
            return folded;
        };
        EXPECT_EQ(fold(Snapshot(sent)), fold(Snapshot(Local() / strArrived)));
        // Mac times travel in whole seconds.
        EXPECT_EQ(fold(ModifiedTimes(sent)), fold(ModifiedTimes(Local() / strArrived)));
    }
}

TEST_F(GuestVerbsTest, ReplaceAnswersFromTheOption)
{
    StartServe();
    struct TCase {
        const char* pszMode;
        const char* pszExpected;
    };
    for (const TCase& c : {TCase{"none", "local old"}, TCase{"all", "remote new"}}) {
        SCOPED_TRACE(c.pszMode);
        WriteFile(Share() / "f.txt", "remote new");
        WriteFile(Local() / "f.txt", "local old");
        const TResult get = Verb({"get", "--replace", c.pszMode, Url("C/f.txt"), Local().string()});
        EXPECT_EQ(get.nStatus, 0) << get.strErr;
        EXPECT_EQ(ReadAll(Local() / "f.txt"), c.pszExpected);

        WriteFile(Share() / "f.txt", "remote old");
        WriteFile(Local() / "f.txt", "local new");
        const TResult put = Verb({"put", "--replace", c.pszMode, (Local() / "f.txt").string(), Url("C")});
        EXPECT_EQ(put.nStatus, 0) << put.strErr;
        EXPECT_EQ(ReadAll(Share() / "f.txt"), std::string(c.pszMode) == "all" ? "local new" : "remote old");
    }
}

// Waits until a temporary file appears beside the one in the folder (the copy is under way).
bool WaitForTemporary(const fs::path& folder)
{
    for (int i = 0; i < 2000; ++i) {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& item : fs::directory_iterator(folder))
            ++n;
        if (n > 1)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

void WriteBigFile(const fs::path& path, std::size_t nMegabytes)
{
    const std::string strChunk = RandomBytes(1024 * 1024, 7);
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < nMegabytes; ++i)
        out << strChunk;
}

TEST_F(GuestVerbsTest, CancelInTheMiddleOfALargeFileLeavesNothingPartial)
{
    for (const char* pszProtocol : {"9", "7"}) {
        SCOPED_TRACE(pszProtocol);
        WriteBigFile(Share() / "big.bin", 512);
        WriteFile(Local() / "big.bin", "earlier local");
        StartServe();
        // get: the earlier local file stays.
        pid_t nPid = StartVerb({"get", "--replace", "all", "--protocol", pszProtocol, Url("C/big.bin"), Local().string()});
        EXPECT_TRUE(WaitForTemporary(Local()));
        kill(nPid, SIGINT);
        EXPECT_NE(WaitStatus(nPid), 0);
        EXPECT_TRUE(ReadAll(Local() / "big.bin") == "earlier local");
        EXPECT_EQ(Snapshot(Local()).size(), 1u);

        // put: on version 9 the earlier remote file stays; below 9 it was removed before sending.
        fs::remove(Local() / "big.bin");
        WriteBigFile(Local() / "big.bin", 512);
        WriteFile(Share() / "big.bin", "earlier remote");
        nPid = StartVerb({"put", "--replace", "all", "--protocol", pszProtocol, (Local() / "big.bin").string(), Url("C")});
        if (std::string(pszProtocol) == "9")
            EXPECT_TRUE(WaitForTemporary(Share()));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        kill(nPid, SIGINT);
        EXPECT_NE(WaitStatus(nPid), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (std::string(pszProtocol) == "9")
            EXPECT_TRUE(ReadAll(Share() / "big.bin") == "earlier remote");
        else
            EXPECT_FALSE(fs::exists(Share() / "big.bin") && fs::file_size(Share() / "big.bin") != 14);
        EXPECT_LE(Snapshot(Share()).size(), 1u);
        fs::remove(Local() / "big.bin");
    }
}

TEST_F(GuestVerbsTest, HostWithoutPrivilegeRefusesAndNothingChanges)
{
    WriteFile(Share() / "kept.txt", "kept");
    WriteFile(Local() / "new.txt", "new");
    StartServe("read");
    const TResult put = Verb({"put", (Local() / "new.txt").string(), Url("C")});
    EXPECT_NE(put.nStatus, 0);
    EXPECT_NE(put.strErr.find("You do not have the privileges to copy in that direction."), std::string::npos) << put.strErr;
    EXPECT_FALSE(fs::exists(Share() / "new.txt"));
    const TResult rm = Verb({"rm", Url("C/kept.txt")});
    EXPECT_NE(rm.nStatus, 0);
    EXPECT_NE(rm.strErr.find("You do not have permission to remove files on the remote computer."), std::string::npos);
    EXPECT_TRUE(fs::exists(Share() / "kept.txt"));

    StartServe("write");
    const TResult get = Verb({"get", Url("C/kept.txt"), Local().string()});
    EXPECT_NE(get.nStatus, 0);
    EXPECT_NE(get.strErr.find("You do not have the privileges to copy in that direction."), std::string::npos) << get.strErr;
    EXPECT_FALSE(fs::exists(Local() / "kept.txt"));
}

TEST_F(GuestVerbsTest, TextTranslationOnAndOff)
{
    WriteFile(Share() / "notes.txt", "one\rtwo\r\n");
    StartServe();
    ASSERT_EQ(Verb({"get", Url("C/notes.txt"), Local().string()}).nStatus, 0);
    EXPECT_EQ(ReadAll(Local() / "notes.txt"), "one\rtwo\r\n");
    ASSERT_EQ(Verb({"get", "--replace", "all", "--translate-text", Url("C/notes.txt"), Local().string()}).nStatus, 0);
    EXPECT_EQ(ReadAll(Local() / "notes.txt"), "one\r\ntwo\r\n\n");
}

TEST_F(GuestVerbsTest, RemoveAndNewFolder)
{
    WriteFile(Share() / "file.txt", "x");
    WriteFile(Share() / "tree/a/b.txt", "y");
    StartServe();
    const TResult rm = Verb({"rm", Url("C/file.txt"), Url("C/tree")});
    EXPECT_EQ(rm.nStatus, 0) << rm.strErr;
    EXPECT_FALSE(fs::exists(Share() / "file.txt"));
    EXPECT_FALSE(fs::exists(Share() / "tree"));

    EXPECT_EQ(Verb({"mkdir", Url("C/made")}).nStatus, 0);
    EXPECT_TRUE(fs::is_directory(Share() / "made"));
    const TResult again = Verb({"mkdir", Url("C/made")});
    EXPECT_NE(again.nStatus, 0);
    EXPECT_NE(again.strErr.find("Unable to create the folder made."), std::string::npos) << again.strErr;

    WriteFile(Share() / "locked.txt", "z");
    fs::permissions(Share() / "locked.txt", fs::perms::owner_write, fs::perm_options::remove);
    const TResult refused = Verb({"rm", Url("C/locked.txt")});
    EXPECT_NE(refused.nStatus, 0);
    EXPECT_NE(refused.strErr.find("An error occurred removing file locked.txt."), std::string::npos) << refused.strErr;
}

TEST_F(GuestVerbsTest, WrongPasswordIsAClearFailure)
{
    StartServe();
    const TResult ls = Verb({"ls", Url()}, "not the password");
    EXPECT_NE(ls.nStatus, 0);
    EXPECT_FALSE(ls.strErr.empty());
    EXPECT_TRUE(ls.strOut.empty());
}

TEST_F(GuestVerbsTest, AHostMetForTheFirstTimeIsTrustedOnlyWhenTheUserSaysSo)
{
    WriteFile(Share() / "a.txt", "a");
    StartServe("read", {}, false);
    const TResult unknown = Verb({"ls", Url("C")});
    EXPECT_NE(unknown.nStatus, 0);
    EXPECT_NE(unknown.strErr.find("is not known yet; its certificate is " + m_strFingerprint), std::string::npos)
        << unknown.strErr;
    EXPECT_FALSE(fs::exists(KnownHosts()));

    const TResult wrongPin = Verb({"ls", "--fingerprint", "SHA256:AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA", Url("C")});
    EXPECT_NE(wrongPin.nStatus, 0);
    EXPECT_NE(wrongPin.strErr.find("not the one given with --fingerprint"), std::string::npos) << wrongPin.strErr;
    const TResult pinned = Verb({"ls", "--fingerprint", m_strFingerprint, Url("C")});
    EXPECT_EQ(pinned.nStatus, 0) << pinned.strErr;
    EXPECT_NE(pinned.strOut.find("a.txt"), std::string::npos);
    EXPECT_FALSE(fs::exists(KnownHosts())) << "a fingerprint on the command line is not written down";

    const TResult accepted = Verb({"ls", "--accept-new-host", Url("C")});
    EXPECT_EQ(accepted.nStatus, 0) << accepted.strErr;
    EXPECT_EQ(ReadAll(KnownHosts()), "127.0.0.1:" + std::to_string(m_nPort) + " " + m_strFingerprint + "\n");
    struct stat st {};
    ASSERT_EQ(::stat(KnownHosts().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(Verb({"ls", Url("C")}).nStatus, 0) << "known from now on";
}

TEST_F(GuestVerbsTest, AnotherHostKeyOnTheSameAddressIsRefusedLoudly)
{
    WriteFile(Share() / "a.txt", "a");
    StartServe("read");
    ASSERT_EQ(Verb({"get", Url("C/a.txt"), Local().string()}).nStatus, 0);
    const std::string strPinned = m_strFingerprint;
    const int nPort = m_nPort;
    // Another host on the same address and port: another key.
    StartServe("read", {"--host-key", (m_root / "impostor.pem").string()}, false, nPort);
    ASSERT_NE(m_strFingerprint, strPinned);
    const TResult changed = Verb({"get", "--accept-new-host", Url("C/a.txt"), Local().string()});
    EXPECT_NE(changed.nStatus, 0);
    const std::string strLine = "127.0.0.1:" + std::to_string(nPort) + " " + strPinned;
    for (const std::string& strText : {std::string("HAS CHANGED"), "pinned:  " + strPinned, "offered: " + m_strFingerprint,
                                       KnownHosts().string() + ", line 1", "  " + strLine})
        EXPECT_NE(changed.strErr.find(strText), std::string::npos) << strText << " in:\n" << changed.strErr;
    EXPECT_EQ(ReadAll(KnownHosts()), strLine + "\n") << "nothing replaced in silence";
    EXPECT_EQ(ReadAll(m_root / "serve.err").find("accepted"), std::string::npos) << "the guest sent nothing";
}

TEST_F(GuestVerbsTest, SshTakesPortAndUserFromTheLocationAndTheRemoteSettingsFromItsFile)
{
    WriteFile(Share() / "over-ssh.txt", "ssh");
    WriteFile(Local() / "sent.txt", "sent");
    // A stand-in for ssh on PATH: writes down its arguments, then runs the remote command here.
    const fs::path bin = m_root / "bin";
    WriteFile(bin / "ssh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n"
                           "while [ $# -gt 0 ]; do case \"$1\" in -p|-l|-o) shift 2;; *) shift; break;; esac; done\n"
                           "exec \"$@\"\n");
    fs::permissions(bin / "ssh", fs::perms::owner_all);
    fs::create_symlink(VANTRY_EXECUTABLE, bin / "vantry");
    const std::string strPath = std::getenv("PATH");
    setenv("PATH", (bin.string() + ":" + strPath).c_str(), 1);
    // The remote user's settings: this share, writable.
    WriteFile(Config() / "vantry" / "serve.conf", "share C=" + Share().string() + "\nallow read,write\n");
    struct TCase {
        std::vector<std::string> args;
        std::string strSshArgs;
        bool bRemoteLog;
    };
    const std::string strRemote = "vantry\nserve\n--stdio\n";
    const TCase cases[] = {
        {{"ls", "--ssh", "vantry://alice@far.example:2222/C"},
         "-p\n2222\n-l\nalice\nfar.example\n" + strRemote + "--log-level\nerror\n", false},
        {{"put", "--ssh", (Local() / "sent.txt").string(), "vantry://far.example/C"},
         "far.example\n" + strRemote + "--log-level\nerror\n", false},
        {{"ls", "-v", "--ssh", "--ssh-command", (bin / "ssh").string() + " -o BatchMode=yes", "vantry://far.example/C"},
         "-o\nBatchMode=yes\nfar.example\n" + strRemote, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const TResult result = Verb(c.args);
        EXPECT_EQ(result.nStatus, 0) << result.strErr;
        EXPECT_EQ(ReadAll(bin / "ssh.args"), c.strSshArgs);
        if (c.args[0] == "ls") {
            EXPECT_NE(result.strOut.find("over-ssh.txt"), std::string::npos) << "the share of serve.conf";
        }
        EXPECT_EQ(result.strErr.find(": accepted, protocol version") != std::string::npos, c.bRemoteLog) << result.strErr;
    }
    setenv("PATH", strPath.c_str(), 1);
    EXPECT_EQ(ReadAll(Share() / "sent.txt"), "sent") << "written: serve.conf allows it";
}

TEST_F(GuestVerbsTest, DotNamesAreInvisibleAndUnreachableUnlessTheShareSaysSo)
{
    WriteFile(Share() / "visible.txt", "v");
    WriteFile(Share() / ".hidden.txt", "h");
    WriteFile(Share() / ".ssh/id_key", "k");
    WriteFile(Local() / ".planted", "p");
    StartServe("read,write,remove", {"--share", "D=" + Share().string() + ",fixed,dotfiles"});
    const TResult hidden = Verb({"ls", Url("C")});
    EXPECT_EQ(hidden.nStatus, 0) << hidden.strErr;
    EXPECT_NE(hidden.strOut.find("visible.txt"), std::string::npos);
    EXPECT_EQ(hidden.strOut.find(".hidden.txt"), std::string::npos) << hidden.strOut;
    EXPECT_EQ(hidden.strOut.find(".ssh"), std::string::npos) << hidden.strOut;
    for (const char* pszPath : {"C/.hidden.txt", "C/.ssh/id_key", "C/.ssh"}) {
        SCOPED_TRACE(pszPath);
        EXPECT_NE(Verb({"get", Url(pszPath), Local().string()}).nStatus, 0);
        EXPECT_NE(Verb({"rm", Url(pszPath)}).nStatus, 0);
    }
    EXPECT_NE(Verb({"put", (Local() / ".planted").string(), Url("C")}).nStatus, 0);
    EXPECT_FALSE(fs::exists(Share() / ".planted"));
    EXPECT_TRUE(fs::exists(Share() / ".ssh/id_key"));
    EXPECT_FALSE(fs::exists(Local() / "id_key"));

    // The same folder shared with its dot names.
    const TResult shown = Verb({"ls", Url("D")});
    EXPECT_NE(shown.strOut.find(".hidden.txt"), std::string::npos) << shown.strOut;
    EXPECT_EQ(Verb({"get", Url("D/.ssh/id_key"), Local().string()}).nStatus, 0);
    EXPECT_EQ(ReadAll(Local() / "id_key"), "k");
}
