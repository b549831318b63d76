// Windows-style lookup: path forms, letter case, the folder index.
#include "FsFixture.h"

#include <algorithm>
#include <chrono>
#include <set>

namespace fs_test {
namespace {

using ResolutionTest = TDriveFixture;

TEST_F(ResolutionTest, PathFormsReachTheSameFile)
{
    Put("Docs/Report.TXT", "report");
    ASSERT_TRUE(OVF_SetCurrentDirectory("C:\\docs"));
    const char* forms[] = {
        "C:\\Docs\\Report.TXT", "c:\\docs\\report.txt", "C:\\\\Docs\\\\\\Report.TXT", "C:Docs\\Report.TXT",
        "\\Docs\\Report.TXT",   "Report.txt",           ".\\REPORT.TXT",              "C:\\Docs\\.\\x\\..\\Report.TXT",
    };
    for (const char* pszPath : forms) {
        SCOPED_TRACE(pszPath);
        EXPECT_EQ(ReadAll(pszPath), "report");
    }
    char szDir[MAX_PATH];
    EXPECT_TRUE(getcwd32(szDir, sizeof szDir, nullptr));
    EXPECT_STREQ(szDir, "C:\\Docs");   // the real name, not the one asked for
}

TEST_F(ResolutionTest, ExactNameWinsAndCaseVariantsResolveTheSameWayEveryTime)
{
    Put("readme.txt", "lower");
    Put("README.TXT", "upper");
    Put("ReadMe.txt", "mixed");
    EXPECT_EQ(ReadAll("C:\\ReadMe.txt"), "mixed");
    EXPECT_EQ(ReadAll("C:\\readme.txt"), "lower");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ReadAll("C:\\rEADME.TXT"), "upper");   // the smallest in byte order
}

TEST_F(ResolutionTest, CaseFoldingCoversAccentedLetters)
{
    Put("ÉTÉ Ärger.txt", "accents");
    EXPECT_EQ(ReadAll("C:\\été ärger.TXT"), "accents");
}

TEST_F(ResolutionTest, IndexFollowsOwnAndOutsideChanges)
{
    for (int i = 0; i < 50; ++i)
        Put("big/file" + std::to_string(i) + ".dat");
    EXPECT_EQ(ReadAll("C:\\BIG\\FILE7.DAT"), "x");
    const TOVFIndexStats first = OVF_GetIndexStats();

    // Own changes are applied in place.
    DWORD dwError = 0;
    const DWORD h = Open32("C:\\big\\New File.dat", kOVF_modeCreate | kOVF_modeWrite, &dwError);
    ASSERT_NE(h, kOVF_invalid);
    Close32(h, &dwError);
    ASSERT_TRUE(Rename32("C:\\big\\FILE8.DAT", "C:\\big\\renamed.dat", &dwError));
    ASSERT_TRUE(Remove32("C:\\BIG\\file9.dat", &dwError));
    FileStatus32Record record{};
    EXPECT_TRUE(GetStatus32("C:\\BIG\\NEW FILE.DAT", &record));
    EXPECT_TRUE(GetStatus32("C:\\BIG\\RENAMED.DAT", &record));
    EXPECT_FALSE(GetStatus32("C:\\BIG\\FILE8.DAT", &record));
    const TOVFIndexStats after = OVF_GetIndexStats();
    EXPECT_GE(after.nInPlaceUpdates, first.nInPlaceUpdates + 3);

    // Someone else's changes are seen.
    Put("big/Outsider.dat", "outsider");
    stdfs::remove(m_drive / "big" / "file10.dat");
    EXPECT_EQ(ReadAll("C:\\BIG\\OUTSIDER.DAT"), "outsider");
    bool bOpened = true;
    ReadAll("C:\\BIG\\FILE10.DAT", &bOpened);
    EXPECT_FALSE(bOpened);
}

TEST_F(ResolutionTest, UnaddressableNamesAreLeftOutOfListings)
{
    Put("good.txt");
    Put("back\\slash");
    Put("co:lon");
    Put(std::string("bad\xff\xfe"));
    WIN32_FIND_DATA data;
    DWORD dwError = 0;
    const DWORD h = FindFirstFile32("C:\\*", &data, &dwError);
    ASSERT_NE(h, kOVF_invalid);
    std::set<std::string> names;
    do
        names.insert(data.cFileName);
    while (FindNextFile32(h, &data, &dwError));
    EXPECT_EQ(dwError, static_cast<DWORD>(ENOENT));
    FindClose32(h, &dwError);
    EXPECT_EQ(names, (std::set<std::string>{"good.txt"}));
}

TEST_F(ResolutionTest, PatternsListMatchingEntriesAndDotsBelowTheRoot)
{
    Put("sub/one.txt");
    Put("sub/Two.TXT");
    Put("sub/three.doc");
    auto list = [](const char* pszPattern) {
        std::set<std::string> names;
        WIN32_FIND_DATA data;
        DWORD dwError = 0;
        const DWORD h = FindFirstFile32(pszPattern, &data, &dwError);
        if (h == kOVF_invalid)
            return names;
        do
            names.insert(data.cFileName);
        while (FindNextFile32(h, &data, &dwError));
        FindClose32(h, &dwError);
        return names;
    };
    EXPECT_EQ(list("C:\\sub\\*.*"), (std::set<std::string>{".", "..", "one.txt", "Two.TXT", "three.doc"}));
    EXPECT_EQ(list("C:\\SUB\\*.txt"), (std::set<std::string>{"one.txt", "Two.TXT"}));
    EXPECT_EQ(list("C:\\sub\\t?o.*"), (std::set<std::string>{"Two.TXT"}));
    EXPECT_EQ(list("C:\\sub\\TWO.txt"), (std::set<std::string>{"Two.TXT"}));
    EXPECT_TRUE(list("C:\\sub\\*.xls").empty());
    EXPECT_TRUE(list("C:\\missing\\*.*").empty());
    EXPECT_EQ(list("C:\\*.*"), (std::set<std::string>{"sub"}));
}

TEST_F(ResolutionTest, DrivesMapAndConvertBothWays)
{
    const stdfs::path other = m_base / "other";
    stdfs::create_directories(other / "Sub Dir");
    ASSERT_EQ(OVF_SetDrive('e', other.c_str(), OVFDriveKind::removable, "USB"), 0);
    EXPECT_EQ(OVF_GetDriveKind(4), OVFDriveKind::removable);
    EXPECT_EQ(OVF_GetDriveKind(3), OVFDriveKind::none);
    TOVFDriveInfo info;
    ASSERT_TRUE(OVF_GetDriveInfo(4, info));
    EXPECT_EQ(info.strLabel, "USB");
    EXPECT_GT(info.nTotalBytes, 0u);

    std::string strWindows;
    ASSERT_TRUE(OVF_PosixToWindowsPath((other / "Sub Dir" / "x.txt").string(), strWindows));
    EXPECT_EQ(strWindows, "E:\\Sub Dir\\x.txt");
    EXPECT_FALSE(OVF_PosixToWindowsPath(m_outside.string(), strWindows));
    std::string strPosix;
    ASSERT_TRUE(OVF_WindowsToPosixPath("e:\\SUB DIR\\x.txt", strPosix));
    EXPECT_EQ(strPosix, (other / "Sub Dir" / "x.txt").string());

    // The desktop is a volume of its own wherever its folder lies, and confined to it.
    EXPECT_EQ(OVF_GetDesktopPath(), "");
    WritePosixFile(other / "Sub Dir" / "x.txt", "on the desktop");
    ASSERT_EQ(OVF_SetDesktopFolder((other / "Sub Dir").c_str()), 0);
    EXPECT_EQ(OVF_GetDesktopPath(), "Desktop:\\");
    EXPECT_EQ(ReadAll("desktop:\\X.TXT"), "on the desktop");
    bool bOpened = true;
    ReadAll("Desktop:\\..\\..\\outside\\secret.txt", &bOpened);
    EXPECT_FALSE(bOpened) << "'..' stops at the desktop's root";
    ASSERT_EQ(OVF_SetDesktopFolder(m_outside.c_str()), 0);
    EXPECT_EQ(OVF_GetDesktopPath(), "Desktop:\\");
    EXPECT_EQ(ReadAll("Desktop:\\secret.txt"), "secret");
    EXPECT_EQ(OVF_SetDesktopFolder((m_outside / "missing").c_str()), ENOENT);
    EXPECT_EQ(OVF_GetDesktopPath(), "");
}

// Paths of more than 259 characters are refused on served drives, whose paths cross the wire,
// and addressed on the guest's own machine; clearing the drives restores the limit.
TEST_F(ResolutionTest, LongPathsOnlyOnTheGuestsOwnMachine)
{
    const std::string strDeep = std::string(120, 'a') + "/" + std::string(120, 'b') + "/" + std::string(120, 'c');
    Put(strDeep + "/f.txt", "deep");
    std::string strServed = "C:\\" + strDeep + "\\f.txt";
    std::replace(strServed.begin(), strServed.end(), '/', '\\');
    bool bOpened = true;
    ReadAll(strServed.c_str(), &bOpened);
    EXPECT_FALSE(bOpened);
    EXPECT_EQ(OVF_PathLimit(), MAX_PATH);

    ASSERT_EQ(OVF_UseLocalMachineDrives(), 0);
    EXPECT_GT(OVF_PathLimit(), 1000u);
    std::string strLocal;
    ASSERT_TRUE(OVF_PosixToWindowsPath((m_drive / strDeep / "f.txt").string(), strLocal));
    EXPECT_EQ(ReadAll(strLocal.c_str()), "deep");

    OVF_ClearDrives();
    EXPECT_EQ(OVF_PathLimit(), MAX_PATH);
}

TEST_F(ResolutionTest, LocalMachineDriveIsTheRootFolder)
{
    ASSERT_EQ(OVF_UseLocalMachineDrives(), 0);
    std::string strWindows;
    ASSERT_TRUE(OVF_PosixToWindowsPath((m_outside / "secret.txt").string(), strWindows));
    EXPECT_EQ(ReadAll(strWindows.c_str()), "secret");
    std::string strPosix;
    ASSERT_TRUE(OVF_WindowsToPosixPath(strWindows.c_str(), strPosix));
    EXPECT_EQ(strPosix, (m_outside / "secret.txt").string());
    EXPECT_EQ(OVF_GetDriveKind(2), OVFDriveKind::fixed);
}

TEST_F(ResolutionTest, KeptFoldersFollowTheLibrarysOwnChangesAndExpire)
{
    OVF_KeepResolvedFolders(600000);
    Put("A/B/f.txt", "one");
    ASSERT_EQ(ReadAll("C:\\A\\B\\f.txt"), "one");

    // Renamed through the library: the old path leads nowhere at once.
    DWORD dwError = 0;
    ASSERT_TRUE(Rename32("C:\\A\\B", "C:\\A\\D", &dwError));
    bool bOk = true;
    ReadAll("C:\\A\\B\\f.txt", &bOk);
    EXPECT_FALSE(bOk) << "a folder renamed through the library was still found at its old path";
    EXPECT_EQ(ReadAll("C:\\A\\D\\f.txt"), "one");

    // Removed through the library and made again by another program: the new folder is used.
    ASSERT_TRUE(Remove32("C:\\A\\D\\f.txt", &dwError));
    ASSERT_EQ(rmdir32("C:\\A\\D"), 0);
    Put("A/D/f.txt", "two");
    EXPECT_EQ(ReadAll("C:\\A\\D\\f.txt"), "two");

    // Removed by another program and made again through the library: the new folder is used.
    ASSERT_EQ(ReadAll("C:\\A\\D\\f.txt"), "two");
    stdfs::remove_all(m_drive / "A" / "D");
    ASSERT_EQ(mkdir32("C:\\A\\D"), 0);
    const DWORD hMade = Open32("C:\\A\\D\\g.txt", kOVF_modeCreate | kOVF_modeWrite, &dwError);
    EXPECT_NE(hMade, kOVF_invalid) << "a file was to go into the removed folder, not the one made again";
    if (hMade != kOVF_invalid)
        Close32(hMade, &dwError);
    EXPECT_TRUE(stdfs::exists(m_drive / "A" / "D" / "g.txt"));

    // The drive pointed elsewhere: its folders are looked up there.
    const stdfs::path other = m_base / "other";
    stdfs::create_directories(other / "A" / "D");
    WritePosixFile(other / "A" / "D" / "f.txt", "three");
    ASSERT_EQ(OVF_SetDrive('C', other.c_str(), OVFDriveKind::fixed, "Other"), 0);
    EXPECT_EQ(ReadAll("C:\\A\\D\\f.txt"), "three");

    // Renamed by another program: found at its old path only until the folder is let go.
    OVF_KeepResolvedFolders(20);
    ASSERT_EQ(ReadAll("C:\\A\\D\\f.txt"), "three");
    stdfs::rename(other / "A" / "D", other / "A" / "E");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do
        ReadAll("C:\\A\\D\\f.txt", &bOk);
    while (bOk && std::chrono::steady_clock::now() < deadline);
    EXPECT_FALSE(bOk) << "a folder renamed by another program was found at its old path for 10 s";
}

} // namespace
} // namespace fs_test
