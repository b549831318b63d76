// Transfers cut short by SIGKILL: `vantry get` and `vantry put` of a file and of a tree, onto
// nothing or over older copies, with the guest or the host killed at its Nth packet (the
// VANTRY_KILL_AT_PACKET hook of the connection table). After each cut:
//   - every destination file is either as it was (or absent) or the complete new one;
//   - once the killed side has started again and a transfer has run, no upload temporary is left
//     on either side;
//   - that next transfer succeeds and brings everything.
// The packet numbers come from VANTRY_INTERRUPT_PACKETS ("7", "1-200", "1,5,9-12"), else a short
// default list; bench/interrupt-sweep.sh runs long ranges. A failing case is replayed by its N.
#include "RandomBytes.h"
#include "ServeProcess.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {
constexpr char kTempPrefix[] = ".vantry-upload:";
constexpr char kPassword[] = "cut short";

enum class EDirection { get, put };
enum class ESubject { file, tree };
enum class EDestination { empty, olderCopies };
enum class ESide { guest, host };

struct TCase {
    EDirection eDirection;
    ESubject eSubject;
    EDestination eDestination;
    ESide eKilled;
};

std::string CaseText(const TCase& c)
{
    return std::string(c.eDirection == EDirection::get ? "Get" : "Put") + (c.eSubject == ESubject::file ? "File" : "Tree") +
           (c.eDestination == EDestination::empty ? "New" : "Replacing") +
           (c.eKilled == ESide::guest ? "KillGuest" : "KillHost");
}

// For gtest's messages.
void PrintTo(const TCase& c, std::ostream* pOut) { *pOut << CaseText(c); }

std::vector<TCase> Cases()
{
    std::vector<TCase> cases;
    for (EDirection eDirection : {EDirection::get, EDirection::put})
        for (ESubject eSubject : {ESubject::file, ESubject::tree})
            for (EDestination eDestination : {EDestination::empty, EDestination::olderCopies})
                for (ESide eKilled : {ESide::guest, ESide::host})
                    cases.push_back({eDirection, eSubject, eDestination, eKilled});
    return cases;
}

// "1-5,9" -> {1, 2, 3, 4, 5, 9}.
std::vector<int> ParsePacketNumbers(const std::string& strList)
{
    std::vector<int> numbers;
    std::stringstream items(strList);
    for (std::string strItem; std::getline(items, strItem, ',');) {
        const std::size_t nDash = strItem.find('-');
        const int nFirst = std::stoi(strItem.substr(0, nDash));
        const int nLast = nDash == std::string::npos ? nFirst : std::stoi(strItem.substr(nDash + 1));
        for (int n = nFirst; n <= nLast; ++n)
            numbers.push_back(n);
    }
    return numbers;
}

std::vector<int> PacketNumbers()
{
    const char* pszList = std::getenv("VANTRY_INTERRUPT_PACKETS");
    // Spread over the steps of these transfers: the requests before the data, the first data
    // packets, the middle of the first file, and later files of the tree.
    return ParsePacketNumbers(pszList && *pszList ? pszList : "3,11,24,47,90");
}

// Relative path -> contents. The tree spans several packets per file, an empty file and a
// nested folder, so cuts land between files as well as inside one.
using TTree = std::map<std::string, std::string>;

TTree NewContents(ESubject eSubject)
{
    if (eSubject == ESubject::file)
        return {{"doc.bin", RandomBytes(40000, 1)}};
    return {{"tree/a.bin", RandomBytes(20000, 2)},
            {"tree/empty.dat", ""},
            {"tree/sub/b.bin", RandomBytes(9000, 3)},
            {"tree/sub/c.txt", "the last file\n"}};
}

// The same names with other contents and lengths, for the replacements. The empty file is only
// ever created: a file replaced by an empty one is not a matter of where a transfer is cut.
TTree OldContents(ESubject eSubject)
{
    TTree old;
    unsigned nSeed = 100;
    for (const auto& [strName, strData] : NewContents(eSubject))
        if (!strData.empty())
            old[strName] = RandomBytes(strData.size() / 3 + 5, nSeed++);
    return old;
}

// Contents by size and digest, so that a difference prints short.
std::string Digest(const std::string& strData)
{
    return std::to_string(strData.size()) + ":" + std::to_string(std::hash<std::string>{}(strData));
}

void WriteTree(const fs::path& root, const TTree& tree)
{
    for (const auto& [strName, strData] : tree) {
        fs::create_directories((root / strName).parent_path());
        std::ofstream(root / strName, std::ios::binary) << strData;
    }
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

// Upload temporaries anywhere under root. Names are made relative without asking the disk: a
// host may still be removing what a broken session left while the folder is read.
std::vector<std::string> Temporaries(const fs::path& root)
{
    std::vector<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.path().filename().string().rfind(kTempPrefix, 0) == 0)
            found.push_back(item.path().lexically_relative(root).string());
    return found;
}

// Files under root that are not temporaries, with their contents (empty for one that went as it
// was read).
TTree FilesUnder(const fs::path& root)
{
    TTree files;
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.is_regular_file() && item.path().filename().string().rfind(kTempPrefix, 0) != 0)
            files[item.path().lexically_relative(root).string()] = ReadAll(item.path());
    return files;
}

std::map<std::string, std::string> Digests(const TTree& tree)
{
    std::map<std::string, std::string> digests;
    for (const auto& [strName, strData] : tree)
        digests[strName] = Digest(strData);
    return digests;
}

// Runs `vantry ARGS` and waits; the exit status, or 128 + the signal.
int RunVantry(const std::vector<std::string>& args)
{
    std::vector<std::string> all = {VANTRY_EXECUTABLE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& str : all)
        argv.push_back(str.data());
    argv.push_back(nullptr);
    pid_t nPid = -1;
    if (posix_spawn(&nPid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int nStatus = 0;
    waitpid(nPid, &nStatus, 0);
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
}

// The killing hook is read by the children that start while it is set.
class TKillAt {
public:
    explicit TKillAt(int nPacket) { setenv("VANTRY_KILL_AT_PACKET", std::to_string(nPacket).c_str(), 1); }
    ~TKillAt() { unsetenv("VANTRY_KILL_AT_PACKET"); }
};

template <typename TCondition>
bool WaitFor(TCondition condition, int nMilliseconds = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
} // namespace

class InterruptionTest : public ::testing::TestWithParam<std::tuple<TCase, int>> {
protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/vantry-cut-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        m_root = szTemplate;
        for (const char* pszFolder : {"share", "local", "state"})
            fs::create_directories(m_root / pszFolder);
        fs::permissions(m_root / "state", fs::perms::owner_all);
        std::ofstream(m_root / "password") << kPassword << "\n";
        // Both sides keep their upload journal here, as they would under one user's home.
        setenv("XDG_STATE_HOME", (m_root / "state").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1); // host key and pinned hosts of this test alone
        setenv("VANTRY_PASSWORD", kPassword, 1);
        setenv("TZ", "UTC", 1);
    }
    void TearDown() override
    {
        m_pServe.reset();
        std::error_code error;
        fs::remove_all(m_root, error);
    }

    void StartServe()
    {
        m_pServe = std::make_unique<TServeProcess>(std::vector<std::string>{
            "--listen", "127.0.0.1:0", "--share", "C=" + (m_root / "share").string(), "--allow",
            "read,write,remove", "--password-file", (m_root / "password").string()});
        m_nPort = m_pServe->Port();
        ASSERT_NE(m_nPort, 0) << m_pServe->Log();
    }

    int Transfer(const TCase& c)
    {
        const std::string strUrl = "vantry://127.0.0.1:" + std::to_string(m_nPort) + "/C";
        const std::string strItem = c.eSubject == ESubject::file ? "doc.bin" : "tree";
        if (c.eDirection == EDirection::get)
            return RunVantry({"get", "-q", "--accept-new-host", "--replace", "all", strUrl + "/" + strItem, (m_root / "local").string()});
        return RunVantry({"put", "-q", "--accept-new-host", "--replace", "all", (m_root / "local" / strItem).string(), strUrl});
    }

    fs::path Source(const TCase& c) const { return m_root / (c.eDirection == EDirection::get ? "share" : "local"); }
    fs::path Destination(const TCase& c) const { return m_root / (c.eDirection == EDirection::get ? "local" : "share"); }

    fs::path m_root;
    std::unique_ptr<TServeProcess> m_pServe;
    std::uint16_t m_nPort = 0;
};

TEST_P(InterruptionTest, LeavesOldOrNewAndNoTemporaryAndTheNextTransferSucceeds)
{
    const auto& [c, nPacket] = GetParam();
    const TTree fresh = NewContents(c.eSubject);
    WriteTree(Source(c), fresh);
    const TTree old = c.eDestination == EDestination::olderCopies ? OldContents(c.eSubject) : TTree();
    WriteTree(Destination(c), old);

    {
        std::optional<TKillAt> killAt;
        if (c.eKilled == ESide::host)
            killAt.emplace(nPacket);
        ASSERT_NO_FATAL_FAILURE(StartServe());
    }
    int nCut = 0;
    {
        std::optional<TKillAt> killAt;
        if (c.eKilled == ESide::guest)
            killAt.emplace(nPacket);
        nCut = Transfer(c);
    }
    const bool bHostKilled = m_pServe->WaitExit(c.eKilled == ESide::host && nCut != 0 ? 5000 : 0) == 128 + SIGKILL;
    SCOPED_TRACE("N=" + std::to_string(nPacket) + ", guest exit " + std::to_string(nCut) +
                 (bHostKilled ? ", host killed" : ""));

    // A replaced file is as it was, or whole and new. A new file may be missing, or empty: an
    // upload creates the file before its data comes.
    for (const auto& [strName, strData] : FilesUnder(Destination(c))) {
        ASSERT_TRUE(fresh.count(strName)) << "unexpected file " << strName;
        const bool bOld = old.count(strName) ? strData == old.at(strName)
                                             : c.eDirection == EDirection::put && strData.empty();
        EXPECT_TRUE(bOld || strData == fresh.at(strName))
            << strName << " is neither the old nor the new file (" << strData.size() << " bytes)";
    }

    // The killed side starts again: a host that died is restarted (and one that outlived its N,
    // so that it does not die in the next transfer); then the next transfer.
    if (c.eKilled == ESide::host) {
        m_pServe.reset();
        ASSERT_NO_FATAL_FAILURE(StartServe());
    }
    EXPECT_EQ(Transfer(c), 0) << m_pServe->Log();
    EXPECT_EQ(Digests(FilesUnder(Destination(c))), Digests(FilesUnder(Source(c))));
    // The host ends a session that broke on its own time: its side is waited for.
    const fs::path share = m_root / "share";
    EXPECT_TRUE(WaitFor([&] { return Temporaries(share).empty(); }))
        << "left in the share: " << testing::PrintToString(Temporaries(share));
    const std::vector<std::string> local = Temporaries(m_root / "local");
    EXPECT_TRUE(local.empty()) << "left in the local folder: " << testing::PrintToString(local);
}

std::string CaseName(const ::testing::TestParamInfo<std::tuple<TCase, int>>& param)
{
    return CaseText(std::get<0>(param.param)) + "_N" + std::to_string(std::get<1>(param.param));
}

INSTANTIATE_TEST_SUITE_P(Cuts, InterruptionTest,
                         ::testing::Combine(::testing::ValuesIn(Cases()), ::testing::ValuesIn(PacketNumbers())), CaseName);
