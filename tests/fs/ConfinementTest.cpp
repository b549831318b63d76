// No request reaches outside its drive's folder, on either resolution path.
#include "FsFixture.h"

#include <unistd.h>

#include <set>

namespace fs_test {
namespace {

std::set<std::string> Listing(const stdfs::path& dir)
{
    std::set<std::string> names;
    for (const auto& entry : stdfs::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

class ConfinementTest : public TDriveFixture, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        TDriveFixture::SetUp();
        OVF_ForceResolveFallback(GetParam());
        ASSERT_EQ(symlink(m_outside.c_str(), (m_drive / "linkdir").c_str()), 0);
        ASSERT_EQ(symlink((m_outside / "secret.txt").c_str(), (m_drive / "linkfile").c_str()), 0);
        ASSERT_EQ(symlink("../outside", (m_drive / "relative").c_str()), 0);
        Put("a/inside.txt", "inside");
    }
};

TEST_P(ConfinementTest, HostilePathsNeverReachOutside)
{
    EXPECT_EQ(OVF_UsingResolveFallback(), GetParam());
    const std::string strOutsidePosix = (m_outside / "secret.txt").string();
    const std::string strOutsideDir = m_outside.string();
    const char* hostile[] = {
        "C:\\..\\..\\etc\\passwd",
        "C:\\..\\outside\\secret.txt",
        "\\a\\..\\..\\x",
        "C:\\..",
        "C:..\\outside",
        strOutsidePosix.c_str(),
        strOutsideDir.c_str(),
        "C:\\linkdir\\secret.txt",
        "C:\\LinkDir\\secret.txt",
        "C:\\linkdir",
        "C:\\linkfile",
        "C:\\relative\\secret.txt",
        "C:\\a/../../outside/secret.txt",
        "C:\\a\\b/c",
        "C:\\linkdir\\new.txt",
        "C:\\linkdir\\*.*",
        "C:\\relative\\*.*",
    };
    const auto before = Listing(m_outside);
    struct stat stBefore {};
    ASSERT_EQ(stat((m_outside / "secret.txt").c_str(), &stBefore), 0);
    for (const char* pszPath : hostile) {
        SCOPED_TRACE(pszPath);
        bool bOpened = false;
        EXPECT_NE(ReadAll(pszPath, &bOpened), "secret");
        DWORD dwError = 0;
        const DWORD h = Open32(pszPath, kOVF_modeCreate | kOVF_modeWrite, &dwError);
        if (h != kOVF_invalid) {
            Write32(h, "pwned", 5, &dwError);
            Close32(h, &dwError);
        }
        WIN32_FIND_DATA data;
        const DWORD hFind = FindFirstFile32(pszPath, &data, &dwError);
        if (hFind != kOVF_invalid) {
            do {
                EXPECT_STRNE(data.cFileName, "secret.txt");
            } while (FindNextFile32(hFind, &data, &dwError));
            FindClose32(hFind, &dwError);
        }
        FileStatus32Record record{};
        if (GetStatus32(pszPath, &record)) {
            EXPECT_EQ(std::string(record.szFullName).find("secret"), std::string::npos);
        }
        SetStatus32(pszPath, &record, &dwError);
        Remove32(pszPath, &dwError);
        rmdir32(pszPath, &dwError);
        mkdir32(pszPath, &dwError);
        Rename32(pszPath, "C:\\moved", &dwError);
        Rename32("C:\\a\\inside.txt", pszPath, &dwError);
        Rename32(pszPath, "C:\\a\\inside.txt", &dwError);
    }
    EXPECT_EQ(Listing(m_outside), before);
    EXPECT_EQ(ReadPosixFile(m_outside / "secret.txt"), "secret");
    EXPECT_TRUE(stdfs::is_symlink(m_drive / "linkdir"));
    struct stat st {};
    ASSERT_EQ(stat((m_outside / "secret.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode, stBefore.st_mode);
    EXPECT_EQ(st.st_mtim.tv_sec, stBefore.st_mtim.tv_sec);
    EXPECT_FALSE(stdfs::exists(m_base / "x"));
    EXPECT_FALSE(stdfs::exists(m_base / "moved"));
}

TEST_P(ConfinementTest, DotDotStopsAtTheRoot)
{
    Put("etc/passwd", "drive's own");
    EXPECT_EQ(ReadAll("C:\\..\\..\\etc\\passwd"), "drive's own");
    EXPECT_EQ(ReadAll("\\a\\..\\..\\..\\a\\inside.txt"), "inside");
}

TEST_P(ConfinementTest, RefusedNamesAndLinksFailWithAnError)
{
    struct TCase {
        const char* pszPath;
        int nError;
    };
    const TCase cases[] = {
        {"C:\\a\\b/c", EINVAL},
        {"/etc/passwd", EINVAL},
        {"C:\\a\\x:y", EINVAL},
        {"C:\\linkfile", ELOOP},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszPath);
        DWORD dwError = 0;
        EXPECT_EQ(Open32(c.pszPath, kOVF_modeRead, &dwError), kOVF_invalid);
        EXPECT_EQ(dwError, static_cast<DWORD>(c.nError));
    }
    DWORD dwError = 0;
    EXPECT_EQ(Open32("C:\\linkdir\\secret.txt", kOVF_modeRead, &dwError), kOVF_invalid);
    EXPECT_NE(dwError, 0u);
}

TEST_P(ConfinementTest, FolderSwappedForALinkIsNotFollowed)
{
    // The folder resolves once, then is replaced by a link to the outside between uses.
    EXPECT_EQ(ReadAll("C:\\a\\inside.txt"), "inside");
    stdfs::rename(m_drive / "a", m_drive / "a-old");
    ASSERT_EQ(symlink(m_outside.c_str(), (m_drive / "a").c_str()), 0);
    bool bOpened = true;
    EXPECT_EQ(ReadAll("C:\\a\\secret.txt", &bOpened), "");
    EXPECT_FALSE(bOpened);
    EXPECT_EQ(ReadAll("C:\\A\\secret.txt", &bOpened), "");
    EXPECT_FALSE(bOpened);
}

TEST_P(ConfinementTest, LinksAreLeftOutOfListings)
{
    WIN32_FIND_DATA data;
    DWORD dwError = 0;
    const DWORD h = FindFirstFile32("C:\\*.*", &data, &dwError);
    ASSERT_NE(h, kOVF_invalid);
    std::set<std::string> names;
    do
        names.insert(data.cFileName);
    while (FindNextFile32(h, &data, &dwError));
    FindClose32(h, &dwError);
    EXPECT_EQ(names, (std::set<std::string>{"a"}));
}

INSTANTIATE_TEST_SUITE_P(BothResolutionPaths, ConfinementTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& param) { return param.param ? "Fallback" : "Openat2"; });

} // namespace
} // namespace fs_test
