// The guest verbs against a real `vantry serve` on 127.0.0.1 with temporary shares: listing,
// copying trees both ways on versions 9 and 7, replace answers, privileges, cancel mid-file,
// remove and new folder, and a wrong password.
#include "RandomBytes.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
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
#include <functional>
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

// In a child: runs args in place of this process.
[[noreturn]] void Exec(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
}

pid_t Spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err)
{
    // Emptied before the child exists, so that no one reads an earlier process's output as its own.
    const int nOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const int nErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const pid_t nPid = fork();
    if (nPid == 0) {
        setpgid(0, 0);
        const int nIn = open("/dev/null", O_RDONLY);
        dup2(nIn, 0);
        dup2(nOut, 1);
        dup2(nErr, 2);
        Exec(args);
    }
    close(nOut);
    close(nErr);
    return nPid;
}

// Runs args with standard error (and with bAll, standard input and output too) on a new
// terminal; returns what the terminal showed and the exit status.
std::pair<std::string, int> RunOnTerminal(const std::vector<std::string>& args, bool bAll, const fs::path& out)
{
    int nMaster = -1;
    int nSlave = -1;
    if (openpty(&nMaster, &nSlave, nullptr, nullptr, nullptr) != 0)
        return {"openpty failed", -1};
    const pid_t nPid = fork();
    if (nPid == 0) {
        setsid();
        const int nIn = open("/dev/null", O_RDONLY);
        const int nOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(bAll ? nSlave : nIn, 0);
        dup2(bAll ? nSlave : nOut, 1);
        dup2(nSlave, 2);
        close(nMaster);
        Exec(args);
    }
    close(nSlave);
    std::string strShown;
    char buffer[4096];
    for (ssize_t n; (n = read(nMaster, buffer, sizeof buffer)) > 0;)
        strShown.append(buffer, static_cast<std::size_t>(n));
    close(nMaster);
    int nStatus = 0;
    waitpid(nPid, &nStatus, 0);
    return {strShown, WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus)};
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
                    bool bPin = true, int nPort = 0, const std::string& strHost = "127.0.0.1")
    {
        StopServe();
        const std::string strListen = strHost.find(':') == std::string::npos ? strHost : "[" + strHost + "]";
        std::vector<std::string> args = {VANTRY_EXECUTABLE, "serve", "--listen", strListen + ":" + std::to_string(nPort),
                                         "--share", "C=" + Share().string(), "--allow", strAllow, "--password-file",
                                         (m_root / "password").string()};
        args.insert(args.end(), extra.begin(), extra.end());
        m_nServe = Spawn(args, m_root / "serve.out", m_root / "serve.err");
        const std::string strWhere = "listening on " + strListen + ":";
        for (int i = 0; i < 200 && m_nPort == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            const std::string strLog = ReadAll(m_root / "serve.out") + ReadAll(m_root / "serve.err");
            const std::size_t nAt = strLog.find(strWhere);
            if (nAt != std::string::npos)
                m_nPort = std::atoi(strLog.c_str() + nAt + strWhere.size());
        }
        ASSERT_NE(m_nPort, 0) << ReadAll(m_root / "serve.err");
        m_strHost = strListen;
        const std::string strLog = ReadAll(m_root / "serve.err");
        const std::string strKey = "host key fingerprint ";
        const std::size_t nAt = strLog.find(strKey);
        ASSERT_NE(nAt, std::string::npos) << strLog;
        m_strFingerprint = strLog.substr(nAt + strKey.size(), strLog.find('\n', nAt) - nAt - strKey.size());
        if (bPin)
            WriteFile(KnownHosts(), strListen + ":" + std::to_string(m_nPort) + " " + m_strFingerprint + "\n");
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
        return "vantry://" + m_strHost + ":" + std::to_string(m_nPort) + (strPath.empty() ? "" : "/" + strPath);
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
    std::string m_strHost = "127.0.0.1";
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

// A file beyond 4 GiB is listed with its whole size, not the size modulo 2^32.
TEST_F(GuestVerbsTest, FilesBeyondFourGigabytesAreListedWithTheirWholeSize)
{
    WriteFile(Share() / "big" / "five.bin", "");
    fs::resize_file(Share() / "big" / "five.bin", 5ull << 30); // sparse
    StartServe();
    const TResult listed = Verb({"ls", Url("C/big")});
    EXPECT_EQ(listed.nStatus, 0) << listed.strErr;
    EXPECT_NE(listed.strOut.find(" 5368709120 "), std::string::npos) << listed.strOut;
}

// The desktop folder is a volume of its own wherever it lies: listed, readable and writable
// outside every share, with no free-space figure to refuse a copy; without one there is none.
TEST_F(GuestVerbsTest, DesktopOutsideTheSharesIsServed)
{
    const fs::path desktop = m_root / "desk";
    WriteFile(desktop / "note.txt", "on the desktop");
    WriteFile(Local() / "sent.txt", "sent");
    StartServe("read,write,remove", {"--desktop", desktop.string()});
    TResult result = Verb({"ls", Url()});
    EXPECT_EQ(result.nStatus, 0) << result.strErr;
    EXPECT_NE(result.strOut.find("volume    4294967295 -                          Desktop\n"), std::string::npos) << result.strOut;
    result = Verb({"ls", Url("Desktop")});
    EXPECT_EQ(result.nStatus, 0) << result.strErr;
    EXPECT_NE(result.strOut.find("note.txt"), std::string::npos) << result.strOut;
    result = Verb({"put", (Local() / "sent.txt").string(), Url("Desktop")});
    EXPECT_EQ(result.nStatus, 0) << result.strErr;
    EXPECT_EQ(ReadAll(desktop / "sent.txt"), "sent");
    result = Verb({"get", Url("Desktop/note.txt"), Local().string()});
    EXPECT_EQ(result.nStatus, 0) << result.strErr;
    EXPECT_EQ(ReadAll(Local() / "note.txt"), "on the desktop");

    // No desktop folder at all: a home without one.
    const std::string strHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* pszConfigHome = std::getenv("XDG_CONFIG_HOME");
    const std::string strConfigHome = pszConfigHome ? pszConfigHome : "";
    fs::create_directories(m_root / "home");
    setenv("HOME", (m_root / "home").c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    StartServe();
    setenv("HOME", strHome.c_str(), 1);
    if (pszConfigHome)
        setenv("XDG_CONFIG_HOME", strConfigHome.c_str(), 1);
    result = Verb({"ls", Url()});
    EXPECT_EQ(result.nStatus, 0) << result.strErr;
    EXPECT_EQ(result.strOut.find("Desktop"), std::string::npos) << result.strOut;
}

// Local paths never cross the wire: one of more than 259 characters is copied both ways, and
// one that this machine cannot name is refused with the limit and the path as typed.
TEST_F(GuestVerbsTest, LongLocalPathsAreCopiedAndTooLongOnesNamed)
{
    const fs::path deep = Local() / std::string(100, 'd') / std::string(100, 'e') / std::string(100, 'f');
    ASSERT_GT(deep.string().size(), 300u);
    WriteFile(deep / "up.txt", "up");
    WriteFile(Share() / "down.txt", "down");
    StartServe();
    TResult result = Verb({"put", (deep / "up.txt").string(), Url("C")});
    EXPECT_EQ(result.nStatus, 0) << result.strErr;
    EXPECT_EQ(ReadAll(Share() / "up.txt"), "up");
    result = Verb({"get", Url("C/down.txt"), deep.string()});
    EXPECT_EQ(result.nStatus, 0) << result.strErr;
    EXPECT_EQ(ReadAll(deep / "down.txt"), "down");

    std::string strLongPath = "/tmp";
    while (strLongPath.size() < 4100)
        strLongPath += "/" + std::string(200, 'p');
    const struct {
        std::string strPath;
        const char* pszWhy;
    } tooLong[] = {{strLongPath, "the path is longer than 4093 characters"},
                   {(Local() / std::string(256, 'n')).string(), "a name in it is longer than 255 characters"}};
    for (const auto& c : tooLong) {
        for (const bool bPut : {true, false}) {
            SCOPED_TRACE(std::string(bPut ? "put: " : "get: ") + c.pszWhy);
            result = bPut ? Verb({"put", c.strPath, Url("C")}) : Verb({"get", Url("C/down.txt"), c.strPath});
            EXPECT_EQ(result.nStatus, 1);
            EXPECT_NE(result.strErr.find(c.strPath + ": " + c.pszWhy), std::string::npos) << result.strErr;
        }
    }
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
    const auto kLocalTime = fs::file_time_type::clock::now() - std::chrono::hours(48);
    for (const TCase& c : {TCase{"none", "local old"}, TCase{"all", "remote new"}}) {
        SCOPED_TRACE(c.pszMode);
        const bool bNone = std::string(c.pszMode) == "none";
        WriteFile(Share() / "f.txt", "remote new");
        WriteFile(Local() / "f.txt", "local old");
        fs::last_write_time(Local() / "f.txt", kLocalTime);
        const TResult get = Verb({"get", "--replace", c.pszMode, Url("C/f.txt"), Local().string()});
        // Done, but something was skipped: status 3, and a line that says what and why.
        EXPECT_EQ(get.nStatus, bNone ? 3 : 0) << get.strErr;
        EXPECT_EQ(ReadAll(Local() / "f.txt"), c.pszExpected);
        // A kept file keeps its own time.
        EXPECT_EQ(fs::last_write_time(Local() / "f.txt") == kLocalTime, bNone);
        if (bNone) {
            EXPECT_NE(get.strErr.find("vantry get: skipped " + (Local() / "f.txt").string() + ": exists"), std::string::npos)
                << get.strErr;
        }

        WriteFile(Share() / "f.txt", "remote old");
        WriteFile(Local() / "f.txt", "local new");
        const TResult put = Verb({"put", "--replace", c.pszMode, (Local() / "f.txt").string(), Url("C")});
        EXPECT_EQ(put.nStatus, bNone ? 3 : 0) << put.strErr;
        EXPECT_EQ(ReadAll(Share() / "f.txt"), bNone ? "remote old" : "local new");
        if (bNone) {
            EXPECT_NE(put.strErr.find("vantry put: skipped C/f.txt: exists"), std::string::npos) << put.strErr;
        }
        // An empty file replaces a full one too (it sends no data to end with).
        WriteFile(Local() / "f.txt", "");
        const TResult empty = Verb({"put", "--replace", c.pszMode, (Local() / "f.txt").string(), Url("C")});
        EXPECT_EQ(empty.nStatus, bNone ? 3 : 0) << empty.strErr;
        EXPECT_EQ(ReadAll(Share() / "f.txt"), bNone ? "remote old" : "");
    }
}

TEST_F(GuestVerbsTest, ReplaceNoneKeepsAFileWhereAFolderArrivesBothWays)
{
    WriteFile(Share() / "docs/a.txt", "remote");
    WriteFile(Local() / "docs", "local user data");
    StartServe();
    const TResult get = Verb({"get", "--replace", "none", Url("C/docs"), Local().string()});
    EXPECT_EQ(get.nStatus, 3) << get.strErr;
    EXPECT_EQ(ReadAll(Local() / "docs"), "local user data");
    EXPECT_NE(get.strErr.find("skipped " + (Local() / "docs").string() + ": exists"), std::string::npos) << get.strErr;

    WriteFile(Local() / "up/b.txt", "local");
    WriteFile(Share() / "up", "remote user data");
    const TResult put = Verb({"put", "--replace", "none", (Local() / "up").string(), Url("C")});
    EXPECT_EQ(put.nStatus, 3) << put.strErr;
    EXPECT_EQ(ReadAll(Share() / "up"), "remote user data");
    EXPECT_NE(put.strErr.find("skipped C/up: exists"), std::string::npos) << put.strErr;
}

TEST_F(GuestVerbsTest, ItemsTheHostCannotReadAreNamedAndTheRestIsCopied)
{
    for (int i = 1; i <= 6; ++i)
        WriteFile(Share() / "D" / ("f" + std::to_string(i) + ".txt"), "file " + std::to_string(i));
    WriteFile(Share() / "D/sub/inner.txt", "inner");
    WriteFile(Share() / "D/locked/hidden.txt", "hidden");
    // Root reads everything: the host's file layer is told to refuse these two.
    setenv("VANTRY_OVF_FAULTS", "open:C:\\D\\f4.txt:13;findFirst:C:\\D\\locked:13", 1);
    StartServe();
    unsetenv("VANTRY_OVF_FAULTS");

    const TResult get = Verb({"get", Url("C/D"), Local().string()});
    EXPECT_EQ(get.nStatus, 1) << get.strErr;
    EXPECT_NE(get.strErr.find("vantry get: C/D/f4.txt: the host cannot read it\n"), std::string::npos) << get.strErr;
    const std::string strLocked = "vantry get: C/D/locked: the host cannot read it\n";
    const std::size_t nLocked = get.strErr.find(strLocked);
    EXPECT_NE(nLocked, std::string::npos) << get.strErr;
    EXPECT_EQ(get.strErr.find(strLocked, nLocked + 1), std::string::npos) << "told once: " << get.strErr;
    EXPECT_NE(get.strErr.find("6 file(s) copied, 2 failed"), std::string::npos) << get.strErr;
    auto expected = Snapshot(Share() / "D");
    expected.erase("f4.txt");
    expected.erase("locked");
    expected.erase("locked/hidden.txt");
    EXPECT_EQ(Snapshot(Local() / "D"), expected) << "no empty stand-in for the folder the host cannot read";

    const TResult ls = Verb({"ls", Url("C/D/locked")});
    EXPECT_EQ(ls.nStatus, 1) << ls.strOut;
    EXPECT_NE(ls.strErr.find("C/D/locked: the host cannot read it"), std::string::npos) << ls.strErr;
}

TEST_F(GuestVerbsTest, AFullLocalDiskIsNamedAndLeavesNoPartialFile)
{
    WriteFile(Share() / "big.bin", std::string(20000, 'b'));
    WriteFile(Share() / "small.txt", "small");
    StartServe();
    // The guest's file layer fails every write, or only the close that writes the last data, as
    // a full disk does.
    for (const char* pszFault : {"write::28", "close::28"}) {
        SCOPED_TRACE(pszFault);
        for (const char* pszName : {"big.bin", "small.txt"}) {
            SCOPED_TRACE(pszName);
            setenv("VANTRY_OVF_FAULTS", pszFault, 1);
            const TResult get = Verb({"get", Url(std::string("C/") + pszName), Local().string()});
            unsetenv("VANTRY_OVF_FAULTS");
            EXPECT_EQ(get.nStatus, 1) << get.strErr;
            EXPECT_NE(get.strErr.find("vantry get: " + (Local() / pszName).string() + ": the local disk is full\n"),
                      std::string::npos) << get.strErr;
            EXPECT_EQ(get.strErr.find("system error"), std::string::npos) << get.strErr;
            EXPECT_TRUE(Snapshot(Local()).empty()) << "no partial file and no temporary";
        }
    }
}

TEST_F(GuestVerbsTest, LetterCaseIsKeptOnTheLocalSideAndClashesOnTheHostAreReported)
{
    WriteFile(Share() / "Case.txt", "remote");
    WriteFile(Local() / "case.txt", "local");
    StartServe();
    const TResult get = Verb({"get", "--replace", "all", Url("C/Case.txt"), Local().string()});
    EXPECT_EQ(get.nStatus, 0) << get.strErr;
    EXPECT_EQ(ReadAll(Local() / "case.txt"), "local");
    EXPECT_EQ(ReadAll(Local() / "Case.txt"), "remote");

    WriteFile(Local() / "pair/README", "upper");
    WriteFile(Local() / "pair/readme", "lower");
    const TResult put = Verb({"put", (Local() / "pair").string(), Url("C")});
    EXPECT_EQ(put.nStatus, 1) << put.strErr;
    EXPECT_NE(put.strErr.find("clashes on the host with"), std::string::npos) << put.strErr;
    ASSERT_EQ(Snapshot(Share() / "pair").size(), 1u);
}

// Remote names that fit to one local name never land on one file: a name that fits as it is keeps
// it, else the first to take it; the others are named and not copied, whatever the replace mode.
TEST_F(GuestVerbsTest, RemoteNamesThatFitToOneLocalNameAreNotCopiedOverEachOther)
{
    WriteFile(Share() / "m/q?m", "question");
    WriteFile(Share() / "m/q*m", "star");
    WriteFile(Share() / "m/q_m", "plain");
    WriteFile(Share() / "m/t.", "dot");
    WriteFile(Share() / "m/r?", "fitted");
    StartServe();
    for (const char* pszReplace : {"all", "none"}) {
        SCOPED_TRACE(pszReplace);
        fs::remove_all(Local() / "m");
        const TResult get = Verb({"get", "--replace", pszReplace, Url("C/m"), Local().string()});
        EXPECT_EQ(get.nStatus, 1) << get.strErr;
        for (const char* pszItem : {"C/m/q?m", "C/m/q*m"})
            EXPECT_NE(get.strErr.find(std::string(pszItem) + ": not copied: here it would be named q_m, as another item of this copy is\n"),
                      std::string::npos) << get.strErr;
        EXPECT_NE(get.strErr.find("received C/m/r? as r_\n"), std::string::npos) << get.strErr;
        const std::map<std::string, std::string> expected = {{"q_m", "plain"}, {"r_", "fitted"}, {"t", "dot"}};
        std::map<std::string, std::string> got;
        for (const auto& entry : fs::directory_iterator(Local() / "m"))
            got[entry.path().filename().string()] = ReadAll(entry.path());
        EXPECT_EQ(got, expected);
    }
}

// Local paths are taken where the system finds them: a folder reached through a link (a home
// folder on another disk) serves as itself; an item that is itself a link is still not followed.
TEST_F(GuestVerbsTest, LocalPathsThroughALinkedFolderAreFollowed)
{
    WriteFile(Share() / "x/f.txt", "remote");
    WriteFile(m_root / "real/src/s/u.txt", "local");
    fs::create_directories(m_root / "real/dl");
    fs::create_symlink(m_root / "real", Local() / "home");
    fs::create_symlink("home/dl", Local() / "dl");
    StartServe();
    const struct {
        std::vector<std::string> args;
        fs::path arrived;
        const char* pszContent;
    } cases[] = {
        {{"put", (Local() / "home/src/s").string(), Url("C")}, Share() / "s/u.txt", "local"},
        {{"get", Url("C/x"), (Local() / "home/dl").string()}, m_root / "real/dl/x/f.txt", "remote"},
        {{"get", Url("C/x/f.txt"), (Local() / "home/dl/named.txt").string()}, m_root / "real/dl/named.txt", "remote"},
        {{"get", Url("C/x/f.txt"), (Local() / "dl").string()}, m_root / "real/dl/f.txt", "remote"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const TResult result = Verb(c.args);
        EXPECT_EQ(result.nStatus, 0) << result.strErr;
        EXPECT_EQ(ReadAll(c.arrived), c.pszContent);
    }
    const TResult link = Verb({"put", (Local() / "home").string(), Url("C")});
    EXPECT_EQ(link.nStatus, 3) << link.strErr;
    EXPECT_FALSE(fs::exists(Share() / "home"));
}

// A copy of several items ends with one summary over all of them.
TEST_F(GuestVerbsTest, OneSummaryCountsEveryItemNamed)
{
    WriteFile(Local() / "p1/a.txt", "a");
    WriteFile(Local() / "p1/b.txt", "b");
    WriteFile(Local() / "p2/c.txt", "c");
    WriteFile(Share() / "p1/a.txt", "kept");
    WriteFile(Share() / "x.txt", "x");
    WriteFile(Share() / "y.txt", "y");
    WriteFile(Local() / "x.txt", "kept");
    StartServe();
    const struct {
        std::vector<std::string> args;
        const char* pszSummary;
    } cases[] = {
        {{"put", "--replace", "none", (Local() / "p1").string(), (Local() / "p2").string(), Url("C")},
         "vantry put: 2 file(s) copied, 0 failed, 1 skipped\n"},
        {{"get", "--replace", "none", Url("C/x.txt"), Url("C/y.txt"), Local().string()},
         "vantry get: 1 file(s) copied, 0 failed, 1 skipped\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.front());
        const TResult result = Verb(c.args);
        EXPECT_EQ(result.nStatus, 3) << result.strErr;
        const std::size_t nAt = result.strErr.find(" file(s) copied");
        EXPECT_NE(result.strErr.find(c.pszSummary), std::string::npos) << result.strErr;
        EXPECT_EQ(result.strErr.find(" file(s) copied", nAt + 1), std::string::npos) << result.strErr;
    }
}

TEST_F(GuestVerbsTest, WhatPutCannotSendIsReportedInsideAFolderAndWhenNamed)
{
    const fs::path folder = Local() / "d";
    WriteFile(folder / "ok.txt", "ok");
    WriteFile(folder / "a:b.txt", "colon");
    WriteFile(folder / "back\\slash.txt", "backslash");
    WriteFile(folder / "q?.txt", "question");
    fs::create_symlink("ok.txt", folder / "link.txt");
    StartServe();

    const TResult put = Verb({"put", folder.string(), Url("C")});
    EXPECT_EQ(put.nStatus, 3) << put.strErr;
    for (const std::string& strLine : {"skipped " + (folder / "a:b.txt").string() + ": the host cannot hold this name",
                                       "skipped " + (folder / "back\\slash.txt").string() + ": the host cannot hold this name",
                                       "skipped " + (folder / "link.txt").string() + ": symbolic link",
                                       "sent " + (folder / "q?.txt").string() + " as q_.txt"})
        EXPECT_NE(put.strErr.find("vantry put: " + strLine + "\n"), std::string::npos) << strLine << "\n" << put.strErr;
    EXPECT_EQ(Snapshot(Share() / "d").size(), 2u);
    EXPECT_EQ(ReadAll(Share() / "d/q_.txt"), "question");

    ASSERT_EQ(mkfifo((Local() / "fifo").c_str(), 0600), 0);
    struct TCase {
        fs::path path;
        int nStatus;
        std::string strLine;
    };
    const TCase cases[] = {
        {Local() / "fifo", 1, "vantry put: not a regular file: " + (Local() / "fifo").string()},
        {folder / "link.txt", 3, "vantry put: skipped " + (folder / "link.txt").string() + ": symbolic link"},
        {folder / "a:b.txt", 3, "vantry put: skipped " + (folder / "a:b.txt").string() + ": the host cannot hold this name"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.path.string());
        const TResult named = Verb({"put", c.path.string(), Url("C")});
        EXPECT_EQ(named.nStatus, c.nStatus);
        EXPECT_NE(named.strErr.find(c.strLine + "\n"), std::string::npos) << named.strErr;
    }
}

TEST_F(GuestVerbsTest, FolderTimesAreKeptByGetAndByPut)
{
    MakeTree(Share() / "tree", SampleTree());
    const auto kPast = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    for (const auto& item : fs::recursive_directory_iterator(Share() / "tree")) {
        if (item.is_directory())
            fs::last_write_time(item.path(), kPast);
    }
    fs::last_write_time(Share() / "tree", kPast);
    StartServe();
    const TResult get = Verb({"get", Url("C/tree"), Local().string()});
    ASSERT_EQ(get.nStatus, 0) << get.strErr;
    auto folderTimes = [](const fs::path& root) {
        std::map<std::string, std::int64_t> times;
        for (const auto& item : fs::recursive_directory_iterator(root)) {
            struct stat st {};
            if (item.is_directory() && ::stat(item.path().c_str(), &st) == 0)
                times[fs::relative(item.path(), root).string()] = st.st_mtime;
        }
        struct stat st {};
        ::stat(root.c_str(), &st);
        times["."] = st.st_mtime;
        return times;
    };
    EXPECT_EQ(folderTimes(Local() / "tree"), folderTimes(Share() / "tree"));

    for (const auto& item : fs::recursive_directory_iterator(Local() / "tree")) {
        if (item.is_directory())
            fs::last_write_time(item.path(), kPast - std::chrono::hours(24));
    }
    fs::last_write_time(Local() / "tree", kPast - std::chrono::hours(24));
    fs::create_directories(Share() / "back");
    const TResult put = Verb({"put", (Local() / "tree").string(), Url("C/back")});
    ASSERT_EQ(put.nStatus, 0) << put.strErr;
    EXPECT_EQ(folderTimes(Share() / "back/tree"), folderTimes(Local() / "tree"));
}

// Waits until a temporary file appears beside the one in the folder (the copy is under way).
bool WaitForTemporary(const fs::path& folder)
{
    for (int i = 0; i < 10000; ++i) { // up to 20 s on a loaded machine
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
        WriteFile(Share() / "next.txt", "next");
        WriteFile(Local() / "big.bin", "earlier local");
        StartServe();
        // get: the earlier local file stays, and the copy goes no further.
        pid_t nPid = StartVerb(
            {"get", "--replace", "all", "--protocol", pszProtocol, Url("C/big.bin"), Url("C/next.txt"), Local().string()});
        EXPECT_TRUE(WaitForTemporary(Local())) << ReadAll(m_root / "verb.err");
        kill(nPid, SIGINT);
        EXPECT_EQ(WaitStatus(nPid), 130);
        EXPECT_TRUE(ReadAll(Local() / "big.bin") == "earlier local");
        EXPECT_EQ(Snapshot(Local()).size(), 1u);
        EXPECT_NE(ReadAll(m_root / "verb.err").find("not reached, the copy stopped before them: C/next.txt\n"), std::string::npos)
            << ReadAll(m_root / "verb.err");
        fs::remove(Share() / "next.txt");

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
        EXPECT_EQ(WaitStatus(nPid), 130);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        if (std::string(pszProtocol) == "9")
            EXPECT_TRUE(ReadAll(Share() / "big.bin") == "earlier remote");
        else
            EXPECT_FALSE(fs::exists(Share() / "big.bin") && fs::file_size(Share() / "big.bin") != 14);
        EXPECT_LE(Snapshot(Share()).size(), 1u);
        fs::remove(Local() / "big.bin");
    }
}

TEST_F(GuestVerbsTest, LostConnectionIsReportedOnceAsSuch)
{
    WriteBigFile(Share() / "big.bin", 512);
    WriteFile(Local() / "other.txt", "other");
    StartServe();
    const pid_t nPid = StartVerb({"get", Url("C/big.bin"), Local().string()});
    EXPECT_TRUE(WaitForTemporary(Local()));
    kill(m_nServe, SIGKILL);
    EXPECT_EQ(WaitStatus(nPid), 1);
    const std::string strErr = ReadAll(m_root / "verb.err");
    const std::string strLine = "vantry get: the connection to the host was lost\n";
    const std::size_t nAt = strErr.find(strLine);
    ASSERT_NE(nAt, std::string::npos) << strErr;
    EXPECT_EQ(strErr.find(strLine, nAt + 1), std::string::npos) << strErr;
    EXPECT_EQ(strErr.find("cancelled"), std::string::npos) << strErr;
}

// True once an upload temporary somewhere under folder holds that much: a file is on its way.
// True once fnDone is, looked at every 2 ms for up to 20 s (a loaded machine).
bool WaitUntil(const std::function<bool()>& fnDone)
{
    for (int i = 0; i < 10000; ++i) {
        if (fnDone())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

bool WaitForDataInTemporary(const fs::path& folder, std::uintmax_t nAtLeast)
{
    return WaitUntil([&] {
        std::error_code error;
        for (auto it = fs::recursive_directory_iterator(folder, error); !error && it != fs::recursive_directory_iterator();
             it.increment(error)) {
            // A temporary renamed meanwhile has no size (the error's size is the largest).
            if (it->path().filename().string().starts_with(".vantry-upload:")) {
                const std::uintmax_t nSize = fs::file_size(it->path(), error);
                if (!error && nSize >= nAtLeast)
                    return true;
                error.clear();
            }
        }
        return false;
    });
}

// A copy that the host's end stops names what it left: the file it was in the middle of and
// every item it did not reach. Each item is either there whole or named.
TEST_F(GuestVerbsTest, AStoppedCopyNamesWhatItLeft)
{
    for (const bool bGet : {true, false}) {
        SCOPED_TRACE(bGet ? "get" : "put");
        for (const fs::path& folder : {Share(), Local()}) {
            fs::remove_all(folder);
            fs::create_directories(folder);
        }
        const fs::path from = (bGet ? Share() : Local()) / "t";
        const fs::path to = (bGet ? Local() : Share()) / "t";
        fs::create_directories(from);
        WriteBigFile(from / "big.bin", 256);
        std::vector<std::string> small;
        for (int i = 0; i < 12; ++i) {
            small.push_back("small" + std::to_string(i) + ".txt");
            WriteFile(from / small.back(), "small");
        }
        WriteFile(from / "sub/inner.txt", "inner");
        StartServe();
        const pid_t nPid =
            bGet ? StartVerb({"get", Url("C/t"), Local().string()}) : StartVerb({"put", from.string(), Url("C")});
        ASSERT_TRUE(WaitForDataInTemporary(bGet ? Local() : Share(), 1 << 20)) << ReadAll(m_root / "verb.err");
        kill(m_nServe, SIGKILL);
        WaitStatus(m_nServe);
        m_nServe = -1;
        EXPECT_EQ(WaitStatus(nPid), 1);
        const std::string strErr = ReadAll(m_root / "verb.err");
        const std::size_t nInterrupted = strErr.find("big.bin: not copied, the copy stopped in the middle of it");
        EXPECT_NE(nInterrupted, std::string::npos) << strErr;
        const std::size_t nNotReached = strErr.find("not reached, the copy stopped before them: ");
        const std::string strNotReached = strErr.substr(nNotReached, strErr.find('\n', nNotReached) - nNotReached);
        std::size_t nMissing = 1; // big.bin
        // An upload's file is created before its data: a host killed in between leaves it empty.
        for (const std::string& strName : small) {
            if (ReadAll(to / strName) != "small") {
                ++nMissing;
                EXPECT_TRUE(strNotReached.find(strName) != std::string::npos || strNotReached.find(" more") != std::string::npos)
                    << strName << " neither copied nor named: " << strErr;
            }
        }
        if (!fs::exists(to / "sub/inner.txt")) {
            ++nMissing;
            EXPECT_TRUE(strNotReached.find("sub") != std::string::npos || strNotReached.find(" more") != std::string::npos)
                << strErr;
        }
        EXPECT_NE(strErr.find(std::to_string(nMissing) + " not copied as the copy stopped"), std::string::npos)
            << nMissing << " missing: " << strErr;
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
    EXPECT_EQ(ReadAll(Local() / "notes.txt"), "one\r\ntwo\r\n");
}

TEST_F(GuestVerbsTest, RemoveAndNewFolder)
{
    WriteFile(Share() / "file.txt", "x");
    WriteFile(Share() / "tree/a/b.txt", "y");
    StartServe();
    const TResult rm = Verb({"rm", "-r", Url("C/file.txt"), Url("C/tree")});
    EXPECT_EQ(rm.nStatus, 0) << rm.strErr;
    EXPECT_FALSE(fs::exists(Share() / "file.txt"));
    EXPECT_FALSE(fs::exists(Share() / "tree"));

    EXPECT_EQ(Verb({"mkdir", Url("C/made")}).nStatus, 0);
    EXPECT_TRUE(fs::is_directory(Share() / "made"));
    const TResult again = Verb({"mkdir", Url("C/made")});
    EXPECT_NE(again.nStatus, 0);
    EXPECT_NE(again.strErr.find("vantry mkdir: cannot create folder C/made: it exists\n"), std::string::npos) << again.strErr;

    WriteFile(Share() / "locked.txt", "z");
    fs::permissions(Share() / "locked.txt", fs::perms::owner_write, fs::perm_options::remove);
    const TResult refused = Verb({"rm", Url("C/locked.txt")});
    EXPECT_NE(refused.nStatus, 0);
    EXPECT_NE(refused.strErr.find("vantry rm: cannot remove C/locked.txt: the host refused"), std::string::npos)
        << refused.strErr;
}

TEST_F(GuestVerbsTest, WrongPasswordIsAClearFailure)
{
    StartServe();
    const TResult ls = Verb({"ls", Url()}, "not the password");
    EXPECT_NE(ls.nStatus, 0);
    EXPECT_FALSE(ls.strErr.empty());
    EXPECT_TRUE(ls.strOut.empty());
}

namespace {
// Gives every item under root (and root) one modification time.
void SetTimes(const fs::path& root, std::time_t tMoment)
{
    const timespec times[2] = {{tMoment, 0}, {tMoment, 0}};
    for (const auto& item : fs::recursive_directory_iterator(root))
        utimensat(AT_FDCWD, item.path().c_str(), times, AT_SYMLINK_NOFOLLOW);
    utimensat(AT_FDCWD, root.c_str(), times, 0);
}

bool Contains(const std::string& strText, const std::string& strPart) { return strText.find(strPart) != std::string::npos; }
} // namespace

TEST_F(GuestVerbsTest, LsSpeaksLikeAPosixCommand)
{
    WriteFile(Share() / "dir/b.txt", "12345");
    WriteFile(Share() / "dir/A.txt", "a");
    WriteFile(Share() / "dir/ctl\x1bname", "");
    fs::create_directories(Share() / "dir/sub");
    WriteFile(Share() / "My Dir/x.txt", "x");
    SetTimes(Share() / "dir", 1709647629); // 2024-03-05 14:07:09 UTC
    StartServe("read");
    struct TCase {
        std::vector<std::string> args;
        int nStatus;
        std::string strOut; // the whole of standard output, or a part of it when bPart
        bool bPart;
        std::string strErrPart;
    };
    const TCase cases[] = {
        {{"C/dir"},
         0,
         "file               1 2024-03-05T14:07:09+00:00  A.txt\n"
         "file               5 2024-03-05T14:07:09+00:00  b.txt\n"
         "file               0 2024-03-05T14:07:09+00:00  ctl\\x1bname\n"
         "folder             0 2024-03-05T14:07:09+00:00  sub\n",
         false,
         ""},
        {{"C/dir/b.txt"}, 0, "file               5 2024-03-05T14:07:09+00:00  b.txt\n", false, ""},
        {{"C/DIR/B.TXT"}, 0, "file               5 2024-03-05T14:07:09+00:00  b.txt\n", false, ""},
        {{"--json", "C/dir/b.txt"},
         0,
         R"({"name":"b.txt","kind":"file","size":5,"modified":"2024-03-05T14:07:09Z","attributes":["archive"]})"
         "\n",
         false,
         ""},
        {{"--json", "C/dir"}, 0, R"({"name":"ctl\u001bname","kind":"file","size":0,)", true, ""},
        {{"C/My%20Dir"}, 0, "  x.txt\n", true, ""},
        {{""}, 0, "volume ", true, ""},
        {{"C/dir/missing"}, 1, "", false, "C/dir/missing"},
        {{"C/missing/x"}, 1, "", false, "C/missing"},
        {{"C/bad%zz"}, 2, "", false, "%zz"},
        {{"--frobnicate", "C"}, 2, "", false, "--frobnicate"},
        {{"C", "C/dir"}, 2, "", false, "one LOCATION"},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> args{"ls"};
        for (std::size_t i = 0; i < c.args.size(); ++i)
            args.push_back(i + 1 == c.args.size() ? Url(c.args[i]) : c.args[i]);
        SCOPED_TRACE(args.back());
        const TResult result = Verb(args);
        EXPECT_EQ(result.nStatus, c.nStatus) << result.strErr;
        if (c.bPart)
            EXPECT_TRUE(Contains(result.strOut, c.strOut)) << result.strOut;
        else
            EXPECT_EQ(result.strOut, c.strOut);
        EXPECT_TRUE(Contains(result.strErr, c.strErrPart)) << result.strErr;
    }
    // A volume has no date: the column holds a "-".
    EXPECT_TRUE(Contains(Verb({"ls", Url()}).strOut, " -  "));
}

TEST_F(GuestVerbsTest, LocationsReachAnIpv6Host)
{
    WriteFile(Share() / "six.txt", "6");
    StartServe("read", {}, true, 0, "::1");
    const TResult ls = Verb({"ls", Url("C")});
    EXPECT_EQ(ls.nStatus, 0) << ls.strErr;
    EXPECT_TRUE(Contains(ls.strOut, "six.txt")) << ls.strOut;
}

TEST_F(GuestVerbsTest, VerbsFollowPosixConventions)
{
    WriteFile(Share() / "f1.txt", "one");
    WriteFile(Share() / "tree/a/b.txt", "bee");
    WriteFile(Share() / "tree/c.txt", "sea");
    WriteFile(Local() / "up/u.txt", "up");
    StartServe();
    const fs::path local = Local();
    struct TCase {
        const char* pszWhat;
        std::vector<std::string> args; // "@X" is the location X on the host
        int nStatus;
        std::function<void(const TResult&)> check;
    };
    const TCase cases[] = {
        {"rm of a folder wants -r", {"rm", "@C/tree"}, 1,
         [&](const TResult& r) {
             EXPECT_TRUE(Contains(r.strErr, "C/tree: is a folder (use -r")) << r.strErr;
             EXPECT_TRUE(fs::exists(Share() / "tree/a/b.txt"));
         }},
        {"mkdir -p makes every level", {"mkdir", "-pv", "@C/p/q/r"}, 0,
         [&](const TResult& r) {
             EXPECT_TRUE(fs::is_directory(Share() / "p/q/r"));
             EXPECT_EQ(r.strOut, "created C/p\ncreated C/p/q\ncreated C/p/q/r\n");
         }},
        {"mkdir -p of folders that exist", {"mkdir", "-p", "@C/p/q"}, 0, [](const TResult&) {}},
        {"mkdir -p through a file", {"mkdir", "-p", "@C/f1.txt/x"}, 1,
         [](const TResult& r) { EXPECT_TRUE(Contains(r.strErr, "C/f1.txt")) << r.strErr; }},
        {"get of several locations, -r accepted", {"get", "-r", "-q", "@C/f1.txt", "@C/tree", local.string()}, 0,
         [&](const TResult& r) {
             EXPECT_EQ(ReadAll(local / "f1.txt"), "one");
             EXPECT_EQ(ReadAll(local / "tree/a/b.txt"), "bee");
             EXPECT_EQ(r.strErr, "");
         }},
        {"get -v names each file", {"get", "-v", "--replace", "all", "@C/tree", local.string()}, 0,
         [](const TResult& r) { EXPECT_EQ(r.strOut, "C/tree/a/b.txt\nC/tree/c.txt\n"); }},
        {"get of a file to a new name", {"get", "@C/f1.txt", (local / "named.txt").string()}, 0,
         [&](const TResult&) { EXPECT_EQ(ReadAll(local / "named.txt"), "one"); }},
        {"get to a name that exists, --replace none", {"get", "--replace", "none", "@C/tree/c.txt", (local / "named.txt").string()}, 3,
         [&](const TResult& r) {
             EXPECT_EQ(ReadAll(local / "named.txt"), "one");
             EXPECT_TRUE(Contains(r.strErr, "skipped")) << r.strErr;
         }},
        {"get to a name that exists, --replace all", {"get", "--replace", "all", "@C/tree/c.txt", (local / "named.txt").string()}, 0,
         [&](const TResult&) { EXPECT_EQ(ReadAll(local / "named.txt"), "sea"); }},
        {"get of a folder to a new name", {"get", "@C/tree", (local / "copy").string()}, 0,
         [&](const TResult&) { EXPECT_EQ(ReadAll(local / "copy/a/b.txt"), "bee"); }},
        {"get of a folder onto a file", {"get", "@C/tree", (local / "named.txt").string()}, 1,
         [&](const TResult&) { EXPECT_EQ(ReadAll(local / "named.txt"), "sea"); }},
        {"get into a folder that does not exist", {"get", "@C/f1.txt", (local / "none/x.txt").string()}, 1, [](const TResult&) {}},
        {"get of several to a name", {"get", "@C/f1.txt", "@C/tree/c.txt", (local / "new.txt").string()}, 1,
         [&](const TResult&) { EXPECT_FALSE(fs::exists(local / "new.txt")); }},
        {"put -r of a folder", {"put", "-r", (local / "up").string(), "@C"}, 0,
         [&](const TResult&) { EXPECT_EQ(ReadAll(Share() / "up/u.txt"), "up"); }},
        {"put -v names each file once, as typed", {"put", "-v", "--replace", "all", (local / "up").string(), "@C"}, 0,
         [&](const TResult& r) { EXPECT_EQ(r.strOut, (local / "up/u.txt").string() + "\n"); }},
        {"-q with -v", {"get", "-q", "-v", "@C/f1.txt", local.string()}, 2, [](const TResult&) {}},
        {"an option another verb takes", {"ls", "-r", "@C"}, 2, [](const TResult&) {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        std::vector<std::string> args;
        for (const std::string& strArg : c.args)
            args.push_back(strArg.rfind("@", 0) == 0 ? Url(strArg.substr(1)) : strArg);
        const TResult result = Verb(args);
        EXPECT_EQ(result.nStatus, c.nStatus) << result.strErr;
        c.check(result);
    }
    // Staging folders of named copies never stay behind.
    for (const auto& item : fs::directory_iterator(local))
        EXPECT_NE(item.path().filename().string().rfind(".vantry", 0), 0u) << item.path();

    const TResult version = Verb({"--version"});
    EXPECT_EQ(version.nStatus, 0);
    EXPECT_TRUE(Contains(version.strOut, ", protocol version 9\n")) << version.strOut;
    EXPECT_NE(version.strOut.rfind("vantry ", 0), std::string::npos);
}

TEST_F(GuestVerbsTest, ProgressOnATerminalEndsWithASummary)
{
    WriteFile(Share() / "big.bin", RandomBytes(3 * 1000 * 1000, 9));
    StartServe("read");
    setenv("VANTRY_PASSWORD", "open sesame", 1);
    const auto [strShown, nStatus] =
        RunOnTerminal({VANTRY_EXECUTABLE, "get", Url("C/big.bin"), Local().string()}, false, m_root / "verb.out");
    EXPECT_EQ(nStatus, 0) << strShown;
    EXPECT_TRUE(Contains(strShown, " / 3.00 MB")) << strShown;
    EXPECT_TRUE(Contains(strShown, " MB/s")) << strShown;
    EXPECT_TRUE(Contains(strShown, "1 file, 3.00 MB in 0:")) << strShown;

    const auto [strQuiet, nQuietStatus] = RunOnTerminal(
        {VANTRY_EXECUTABLE, "get", "-q", "--replace", "all", Url("C/big.bin"), Local().string()}, false, m_root / "verb.out");
    EXPECT_EQ(nQuietStatus, 0) << strQuiet;
    EXPECT_EQ(strQuiet, "");

    const auto [strServe, nServeStatus] =
        RunOnTerminal({VANTRY_EXECUTABLE, "serve", "--stdio", "--share", "C=" + Share().string()}, true, m_root / "verb.out");
    EXPECT_EQ(nServeStatus, 2);
    EXPECT_TRUE(Contains(strServe, "must not be a terminal")) << strServe;
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
    StartServe("read,write,remove",
               {"--share", "D=" + Share().string() + ",fixed,dotfiles", "--desktop", Share().string()});
    for (const std::string strVolume : {"C", "Desktop"}) {
        SCOPED_TRACE(strVolume);
        const TResult hidden = Verb({"ls", Url(strVolume)});
        EXPECT_EQ(hidden.nStatus, 0) << hidden.strErr;
        EXPECT_NE(hidden.strOut.find("visible.txt"), std::string::npos);
        EXPECT_EQ(hidden.strOut.find(".hidden.txt"), std::string::npos) << hidden.strOut;
        EXPECT_EQ(hidden.strOut.find(".ssh"), std::string::npos) << hidden.strOut;
        for (const char* pszPath : {"/.hidden.txt", "/.ssh/id_key", "/.ssh"}) {
            SCOPED_TRACE(pszPath);
            EXPECT_NE(Verb({"get", Url(strVolume + pszPath), Local().string()}).nStatus, 0);
            EXPECT_NE(Verb({"rm", Url(strVolume + pszPath)}).nStatus, 0);
        }
        EXPECT_NE(Verb({"put", (Local() / ".planted").string(), Url(strVolume)}).nStatus, 0);
        EXPECT_FALSE(fs::exists(Share() / ".planted"));
    }
    EXPECT_TRUE(fs::exists(Share() / ".ssh/id_key"));
    EXPECT_FALSE(fs::exists(Local() / "id_key"));

    // The same folder shared with its dot names.
    const TResult shown = Verb({"ls", Url("D")});
    EXPECT_NE(shown.strOut.find(".hidden.txt"), std::string::npos) << shown.strOut;
    EXPECT_EQ(Verb({"get", Url("D/.ssh/id_key"), Local().string()}).nStatus, 0);
    EXPECT_EQ(ReadAll(Local() / "id_key"), "k");
}

// `vantry connect` as the README starts it: the window opens on the folder the location names
// (offscreen here), and a SIGTERM ends the session as Close does.
TEST_F(GuestVerbsTest, ConnectOpensTheWindowOnTheNamedFolderAndEndsItsSessionOnSigterm)
{
    WriteFile(Share() / "Docs/report.txt", "report");
    WriteFile(Local() / "mine.txt", "mine");
    StartServe();
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const pid_t nPid = StartVerb({"connect", Url("C/Docs"), "--local", Local().string()});
    const auto serveLog = [this] { return ReadAll(m_root / "serve.err"); };
    const bool bListed = WaitUntil([&] {
        const std::string strLog = serveLog();
        return strLog.find("event=list outcome=done") != std::string::npos &&
               strLog.find("path=C:\\Docs") != std::string::npos;
    });
    unsetenv("QT_QPA_PLATFORM");
    EXPECT_TRUE(bListed) << serveLog() << ReadAll(m_root / "verb.err");
    kill(nPid, SIGTERM);
    EXPECT_EQ(WaitStatus(nPid), 0) << ReadAll(m_root / "verb.err");
    EXPECT_TRUE(WaitUntil([&] { return serveLog().find("session ended") != std::string::npos; })) << serveLog();
}

// The window has no terminal for ssh to complain on: what it says is in the error shown.
TEST_F(GuestVerbsTest, ConnectShowsWhySshCouldNotConnect)
{
    const fs::path ssh = m_root / "bin" / "ssh";
    WriteFile(ssh, "#!/bin/sh\necho 'alice@far.example: Permission denied (publickey).' >&2\nexit 255\n");
    fs::permissions(ssh, fs::perms::owner_all);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const pid_t nPid = StartVerb({"connect", "--ssh", "--ssh-command", ssh.string(), "vantry://alice@far.example/C"});
    unsetenv("QT_QPA_PLATFORM");
    const std::string strSaid = "ssh said: alice@far.example: Permission denied (publickey).";
    const bool bSaid = WaitUntil([&] { return ReadAll(m_root / "verb.err").find(strSaid) != std::string::npos; });
    kill(nPid, SIGKILL); // the same text waits in a message box
    WaitStatus(nPid);
    EXPECT_TRUE(bSaid) << ReadAll(m_root / "verb.err");
}
