#include "../fs/FsFixture.h"

#include "LFN.h"
#include "MacTime.h"
#include "NameMap.h"
#include "NameRules.h"
#include "OV2Tools.h"
#include "TreeOperations.h"
#include "UniqueNames.h"
#include "Volumes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

namespace stdfs = std::filesystem;

class TreeOperations : public fs_test::TDriveFixture {
protected:
    bool Exists(const std::string& strRelative) const { return stdfs::exists(m_drive / strRelative); }
};

TEST_F(TreeOperations, CountTreeOfARootAFolderAFileAndNothing)
{
    Put("a.txt", "12345");
    Put("sub/b.bin", std::string(1000, 'b'));
    Put("sub/deeper/c", "");
    Put("sub/.hidden", "hh");
    Put("other/d", "1234567");
    ASSERT_TRUE(LFN_SetFileAttributes("C:\\other\\d", 0x01 | 0x20)); // read-only counts too

    struct Case {
        const char* pszPath;
        int nResult;
        DWORD nFiles;
        DWORD nBytes;
    };
    const Case cases[] = {
        {"C:\\", kTreeOk, 5, 5 + 1000 + 0 + 2 + 7},
        {"C:\\sub", kTreeOk, 3, 1002},
        {"c:\\SUB\\", kTreeOk, 3, 1002},
        {"C:\\a.txt", kTreeOk, 1, 5},
        {"C:\\missing", kTreeNotFound, 0, 0},
    };
    for (const Case& c : cases) {
        DWORD nFiles = 99;
        DWORD nBytes = 99;
        EXPECT_EQ(CountTree(c.pszPath, &nFiles, &nBytes), c.nResult) << c.pszPath;
        EXPECT_EQ(nFiles, c.nFiles) << c.pszPath;
        EXPECT_EQ(nBytes, c.nBytes) << c.pszPath;
    }
}

TEST_F(TreeOperations, DeleteTreeRemovesReadOnlyFilesAndNestedFolders)
{
    Put("tree/ro.txt", "r");
    Put("tree/x/y/z.txt", "z");
    Put("tree/x/empty/.keep", "");
    Put("keep.txt", "k");
    ASSERT_TRUE(LFN_SetFileAttributes("C:\\tree\\ro.txt", 0x01));
    ASSERT_TRUE(LFN_chdir("C:\\tree\\x\\y") == 0); // the tree's own folder is current

    EXPECT_EQ(DeleteTree("C:\\TREE"), kTreeOk);
    EXPECT_FALSE(Exists("tree"));
    EXPECT_TRUE(Exists("keep.txt"));
}

TEST_F(TreeOperations, DeleteTreeOfWhatIsNoFolder)
{
    Put("plain.txt", "p");
    EXPECT_EQ(DeleteTree("C:\\plain.txt"), kTreeNotAFolder);
    EXPECT_TRUE(Exists("plain.txt"));
    EXPECT_EQ(DeleteTree("C:\\missing"), kTreeOk);
    EXPECT_EQ(DeleteTree("C:\\"), kTreeNotAFolder); // a root reports the volume attribute
    EXPECT_TRUE(Exists("plain.txt"));
}

TEST_F(TreeOperations, DeleteTreeStopsWhenAFileCannotBeRemoved)
{
    Put("tree/a.txt", "a");
    Put("tree/sub/stuck.txt", "s");
    Put("tree/sub/b.txt", "b");
    OVF_InjectFault(OVFOp::remove, "C:\\tree\\sub\\stuck.txt", EBUSY);

    EXPECT_EQ(DeleteTree("C:\\tree"), kTreeFolderRemains);
    EXPECT_TRUE(Exists("tree/sub/stuck.txt"));
    EXPECT_FALSE(Exists("tree/sub/b.txt"));
    EXPECT_FALSE(Exists("tree/a.txt"));
}

TEST_F(TreeOperations, DeleteLocalFileClearsReadOnlyAndRefusesFolders)
{
    Put("ro.txt", "r");
    Put("dir/f", "f");
    ASSERT_TRUE(LFN_SetFileAttributes("C:\\ro.txt", 0x01 | 0x02));
    EXPECT_EQ(DeleteLocalFile("C:\\ro.txt"), kTreeOk);
    EXPECT_FALSE(Exists("ro.txt"));
    EXPECT_EQ(DeleteLocalFile("C:\\dir"), kTreeNotAFolder);
    EXPECT_TRUE(Exists("dir/f"));
    EXPECT_EQ(DeleteLocalFile("C:\\nothing"), kTreeOk);
}

TEST_F(TreeOperations, UniquenessCallbacksLookAtTheFolder)
{
    Put("in/taken.txt", "t");
    const char* pszFolder = "C:\\in";
    const auto nFolder = reinterpret_cast<std::uintptr_t>(pszFolder);
    EXPECT_EQ(IsUniqueFile(nFolder, "taken.txt"), FALSE);
    EXPECT_EQ(IsUniqueFile(nFolder, "TAKEN.TXT"), FALSE); // names are found in any case
    EXPECT_NE(IsUniqueFile(nFolder, "free.txt"), FALSE);
    EXPECT_EQ(IsNotUniqueFile(nFolder, "taken.txt"), 1);

    HMFN h = nullptr;
    ASSERT_EQ(MFN_Initialize(&h, kMFNFileSystemLong, 0, 256, 256, 256, kMungeForLocal), kMFNOk);
    char szOut[kMFNOutSize];
    EXPECT_EQ(MFN_Munge(h, "taken.txt", szOut, IsUniqueFile, nFolder), kMFNOk);
    EXPECT_STREQ(szOut, "taken~1.txt");
    MFN_Terminate(&h);
}

TEST_F(TreeOperations, DrivesAndDesktop)
{
    ASSERT_EQ(OVF_SetDrive('D', m_outside.c_str(), OVFDriveKind::cdrom), 0);
    EXPECT_EQ(GetDriveKind(2), kDriveFixed);
    EXPECT_EQ(GetDriveKind(3), kDriveCdRom);
    EXPECT_EQ(GetDriveKind(0), kDriveNone);
    EXPECT_EQ(GetDriveKind(26), kDriveNone);

    EXPECT_EQ(GetDesktopPath(), "");
    Put("Users/me/Desktop/note.txt");
    OVF_SetDesktopFolder((m_drive / "Users/me/Desktop").c_str());
    EXPECT_EQ(GetDesktopPath(), "Desktop:\\");
    EXPECT_EQ(LFN_FileExists("Desktop:\\note.txt"), 1);
    EXPECT_TRUE(IsDriveRoot("Desktop:\\"));
}

// A time sent the way the host sends it (file time to a wire-order Mac time, copied into the
// packet as it stands) and applied the way a receiver applies it comes back unchanged.
TEST_F(TreeOperations, MacTimeSentOneWayAndReadBackTheOther)
{
    Put("sent.txt");
    Put("received.txt");
    const FILETIME sent = OVF_FileTimeFromUnix(1'300'000'000);
    DWORD dwMac = 0;
    OVConvertFileTimeToMacTime(&sent, &dwMac);
    unsigned char packet[4];
    std::memcpy(packet, &dwMac, 4);
    EXPECT_EQ(packet[0], (1'300'000'000u + kMacTimeTo1970) >> 24); // big-endian on the wire

    DWORD dwReceived = 0;
    std::memcpy(&dwReceived, packet, 4);
    ASSERT_TRUE(LFN_SetFileTimeWithMacTime("C:\\received.txt", dwReceived));
    WIN32_FIND_DATA data{};
    ASSERT_TRUE(LFN_GetStatus("C:\\received.txt", &data));
    EXPECT_EQ(OVF_FileTimeToUnix(data.ftLastWriteTime), 1'300'000'000);
}

TEST_F(TreeOperations, MacTimesBeforeTheFloorBecome1980)
{
    Put("f.txt");
    const std::time_t tFloor = CTime(1980, 1, 1, 0, 0, 0).GetTime();
    for (const DWORD nMac : {0u, kMacTimeTo1970, kMacTimeTo1970 + 1}) {
        ASSERT_TRUE(LFN_SetFileTimeWithMacTime("C:\\f.txt", OVMacTimeToWireOrder(nMac)));
        WIN32_FIND_DATA data{};
        ASSERT_TRUE(LFN_GetStatus("C:\\f.txt", &data));
        EXPECT_EQ(OVF_FileTimeToUnix(data.ftLastWriteTime), tFloor) << nMac;
    }
    EXPECT_FALSE(LFN_SetFileTimeWithMacTime("C:\\missing.txt", OVMacTimeToWireOrder(kMacTimeTo1970 + 20 * 365 * 86400)));

    const FILETIME ft1979 = OVF_FileTimeFromUnix(CTime(1979, 6, 1, 12, 0, 0).GetTime());
    CTime time;
    LFN_FileTimeToCTime(&ft1979, &time);
    EXPECT_EQ(time.GetTime(), tFloor);
}

} // namespace
