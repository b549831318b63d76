// The long-file-name functions.
#include "FsFixture.h"
#include "LFN.h"

#include <cstring>
#include <set>

namespace fs_test {
namespace {

using LfnTest = TDriveFixture;

int Collect(WIN32_FIND_DATA* pData, void* pContext)
{
    static_cast<std::set<std::string>*>(pContext)->insert(pData->cFileName);
    return 1;
}

TEST_F(LfnTest, DirSelectsByAttributeMaskAndNeverPassesDots)
{
    Put("d/plain.txt");
    Put("d/ro.txt");
    Put("d/.hidden");
    Put("d/sys.bin");
    Put("d/sub/x");
    ASSERT_TRUE(LFN_SetFileAttributes("C:\\d\\ro.txt", kOVF_attrReadOnly));
    ASSERT_TRUE(LFN_SetFileAttributes("C:\\d\\sys.bin", kOVF_attrSystem | kOVF_attrArchive));
    struct TCase {
        DWORD nMask;
        std::set<std::string> expected;
    };
    const TCase cases[] = {
        {0x00, {"plain.txt"}},
        {0x01, {"plain.txt", "ro.txt"}},
        {0x02, {"plain.txt", ".hidden"}},
        {0x04, {"plain.txt", "sys.bin"}},
        {0x10, {"plain.txt", "sub"}},
        {0x17, {"plain.txt", "ro.txt", ".hidden", "sys.bin", "sub"}},
    };
    for (const TCase& c : cases) {
        std::set<std::string> names;
        WIN32_FIND_DATA data;
        EXPECT_EQ(LFN_Dir(Collect, "C:\\d", "*.*", c.nMask, &data, &names), 1);
        EXPECT_EQ(names, c.expected) << "mask " << c.nMask;
    }
    // The callback stops the search.
    int nCalls = 0;
    WIN32_FIND_DATA data;
    EXPECT_EQ(LFN_Dir([](WIN32_FIND_DATA*, void* p) { return ++*static_cast<int*>(p), 0; }, "C:\\d\\", "*.*", 0x17,
                      &data, &nCalls),
              0);
    EXPECT_EQ(nCalls, 1);
    EXPECT_EQ(LFN_Dir(Collect, "C:\\missing", "*.*", 0x17, &data, &nCalls), 1);
}

TEST_F(LfnTest, FindFunctionsAndStatus)
{
    Put("Big Name.txt", "12345");
    WIN32_FIND_DATA data;
    LFN_HANDLE h = LFN_FindFirstFile("C:\\big name.TXT", &data);
    ASSERT_NE(h, 0u);
    EXPECT_STREQ(data.cFileName, "Big Name.txt");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_FALSE(LFN_FindNextFile(h, &data));
    EXPECT_TRUE(LFN_FindClose(h));
    EXPECT_TRUE(LFN_FindClose(0));
    EXPECT_EQ(LFN_FindFirstFile("C:\\none*", &data), 0u);

    data.nFileSizeLow = 99;
    EXPECT_FALSE(LFN_GetStatus("C:\\missing", &data));
    EXPECT_EQ(data.nFileSizeLow, 0u);
    EXPECT_EQ(data.cFileName[0], '\0');

    ASSERT_TRUE(LFN_GetStatus("C:\\Big Name.txt", &data));
    EXPECT_STRNE(data.cAlternateFileName, "");
    WIN32_FIND_DATA shortData{};
    std::strcpy(shortData.cFileName, "A.TXT");
    FillAlternateName(&shortData);
    EXPECT_STREQ(shortData.cAlternateFileName, "A.TXT");

    DWORD dwSize = 7;
    EXPECT_TRUE(LFN_GetFileSize("C:\\BIG NAME.TXT", &dwSize));
    EXPECT_EQ(dwSize, 5u);
    EXPECT_FALSE(LFN_GetFileSize("C:\\missing", &dwSize));
    EXPECT_EQ(dwSize, 0u);
    EXPECT_EQ(LFN_IsDirectory("C:\\Big Name.txt"), 0);
    EXPECT_EQ(LFN_IsDirectory("C:\\missing"), -1);
    EXPECT_TRUE(LFN_FileExists("C:\\"));
    EXPECT_TRUE(LFN_FileExists("\\"));
    EXPECT_FALSE(LFN_FileExists("C:\\missing"));
}

// A size beyond 32 bits reads 0xFFFFFFFF where only 32 bits are given: its low bits would make
// a 4 GiB file look empty.
TEST_F(LfnTest, SizesBeyondThirtyTwoBitsSaturate)
{
    for (const std::uint64_t nSize : {0xFFFFFFFFull, 1ull << 32, (5ull << 30) + 7}) {
        SCOPED_TRACE(nSize);
        Put("large.bin", "");
        stdfs::resize_file(m_drive / "large.bin", nSize); // sparse
        DWORD dwSize = 0;
        EXPECT_TRUE(LFN_GetFileSize("C:\\large.bin", &dwSize));
        EXPECT_EQ(dwSize, 0xFFFFFFFFu);
        CFileStatus status;
        ASSERT_TRUE(TFile::GetStatus("C:\\large.bin", status));
        EXPECT_EQ(status.m_size, 0xFFFFFFFFu);
        WIN32_FIND_DATA data;
        ASSERT_TRUE(LFN_GetStatus("C:\\large.bin", &data));
        EXPECT_EQ(FindDataSize(data), nSize);
    }
}

TEST_F(LfnTest, MakeAndRemoveFolders)
{
    EXPECT_EQ(LFN_mkdir("C:\\New Folder\\", FALSE), 0);
    EXPECT_EQ(LFN_IsDirectory("C:\\new folder"), 1);
    EXPECT_EQ(LFN_mkdir("C:\\NEW FOLDER", FALSE), -1);   // exists already
    EXPECT_EQ(LFN_mkdir("C:\\NEW FOLDER", 1), 0);
    EXPECT_EQ(LFN_mkdir("C:\\", FALSE), 0);
    EXPECT_EQ(LFN_mkdir("C:\\a\\b\\c", 1), 0);             // every missing ancestor is made
    EXPECT_TRUE(stdfs::is_directory(m_drive / "a" / "b" / "c"));
    EXPECT_EQ(LFN_mkdir("C:\\x\\y", FALSE), -1);

    EXPECT_EQ(LFN_rmdir("C:\\missing", FALSE), 0);
    EXPECT_EQ(LFN_rmdir("C:\\a", FALSE), -1);             // not empty
    EXPECT_EQ(LFN_rmdir("C:\\A\\B\\C\\", 1), 0);             // and its parent
    EXPECT_FALSE(stdfs::exists(m_drive / "a" / "b"));
    EXPECT_EQ(LFN_rmdir("C:\\new folder", FALSE), 0);     // through its short path
    EXPECT_FALSE(stdfs::exists(m_drive / "New Folder"));
    EXPECT_EQ(LFN_rmdir("C:\\", FALSE), 0);
    OVF_InjectFault(OVFOp::mkdir, "C:\\denied", EACCES);
    EXPECT_EQ(LFN_mkdir("C:\\denied", FALSE), -1);
}

TEST_F(LfnTest, CurrentDriveAndFolder)
{
    const stdfs::path d = m_base / "d";
    stdfs::create_directories(d / "Long Folder Name");
    ASSERT_EQ(OVF_SetDrive('D', d.c_str(), OVFDriveKind::remote), 0);
    EXPECT_EQ(LFN_chdrive(2), 0);
    EXPECT_EQ(LFN_getdrive(), 3);
    EXPECT_EQ(LFN_chdrive(3), 0);
    EXPECT_EQ(LFN_getdrive(), 4);
    EXPECT_EQ(LFN_chdrive(5), -1);    // F: is not configured
    EXPECT_EQ(LFN_chdrive(26), -1);
    EXPECT_EQ(LFN_getdrive(), 4);
    EXPECT_EQ(LFN_chdir("D:\\long folder name"), 0);
    char szDir[MAX_PATH];
    ASSERT_NE(LFN_getcwd(szDir, sizeof szDir), 0);
    EXPECT_STREQ(szDir, "D:\\Long Folder Name");   // kept with its real name
    EXPECT_EQ(LFN_getcwd(szDir, 5), 0);
    EXPECT_EQ(LFN_chdir("D:\\missing"), -1);
    EXPECT_EQ(LFN_LeafLength(), 256);
    EXPECT_EQ(LFN_TotalPathLength(), 260);
}

TEST_F(LfnTest, VolumesAndDrives)
{
    const stdfs::path a = m_base / "a";
    stdfs::create_directories(a);
    ASSERT_EQ(OVF_SetDrive('A', a.c_str(), OVFDriveKind::diskette, "FLOPPY"), 0);
    char szLabel[80] = "junk";
    EXPECT_TRUE(LFN_GetVolumeName(1, szLabel, sizeof szLabel));
    EXPECT_STREQ(szLabel, "");   // diskette drives are never read for a label
    EXPECT_TRUE(LFN_GetVolumeName(3, szLabel, sizeof szLabel));
    EXPECT_STREQ(szLabel, "Work");
    EXPECT_TRUE(LFN_GetVolumeName(3, szLabel, 3));
    EXPECT_STREQ(szLabel, "Wo");
    EXPECT_FALSE(LFN_GetVolumeName(7, szLabel, sizeof szLabel));
    ASSERT_EQ(LFN_chdrive(2), 0);
    EXPECT_TRUE(LFN_GetVolumeName(0, szLabel, sizeof szLabel));
    EXPECT_STREQ(szLabel, "Work");
    EXPECT_GT(LFN_GetFreeSpace(3), 0u);
    EXPECT_EQ(LFN_GetFreeSpace(3), LFN_GetFreeSpace(27));
    EXPECT_EQ(LFN_GetFreeSpace(9), 0u);
    EXPECT_EQ(LFN_GetFileNameSizeOnVolume(3), 255u);
    OVF_InjectFault(OVFOp::freeSpace, "C:\\", EIO);
    EXPECT_EQ(LFN_GetFreeSpace(3), 0u);
}

TEST_F(LfnTest, SplitAndMakePaths)
{
    char szDrive[kOVF_maxDrive], szDir[kOVF_maxElement], szName[kOVF_maxElement], szExt[kOVF_maxElement];
    EXPECT_EQ(LFN_splitpath("C:\\dir\\sub\\file.tar.gz", szDrive, szDir, szName, szExt), 0);
    EXPECT_STREQ(szDrive, "C:");
    EXPECT_STREQ(szDir, "\\dir\\sub\\");
    EXPECT_STREQ(szName, "file.tar");
    EXPECT_STREQ(szExt, ".gz");
    LFN_splitpath("name", szDrive, szDir, szName, szExt);
    EXPECT_STREQ(szDrive, "");
    EXPECT_STREQ(szDir, "");
    EXPECT_STREQ(szName, "name");
    char szPath[MAX_PATH];
    EXPECT_EQ(LFN_makepath(szPath, "C", "\\dir", "file", "txt"), 0);
    EXPECT_STREQ(szPath, "C:\\dir\\file.txt");
    LFN_makepath(szPath, "", "", "f", ".c");
    EXPECT_STREQ(szPath, "f.c");
}

TEST_F(LfnTest, ListingFailuresComeFromInjectedFaults)
{
    Put("l/a.txt");
    OVF_InjectFault(OVFOp::findFirst, "C:\\L", EACCES);
    WIN32_FIND_DATA data;
    EXPECT_EQ(LFN_FindFirstFile("C:\\l\\*.*", &data), 0u);
    OVF_ClearFaults();
    OVF_InjectFault(OVFOp::findNext, "C:\\l", EIO);
    const LFN_HANDLE h = LFN_FindFirstFile("C:\\l\\*.*", &data);
    ASSERT_NE(h, 0u);
    EXPECT_FALSE(LFN_FindNextFile(h, &data));
    LFN_FindClose(h);
}

} // namespace
} // namespace fs_test
