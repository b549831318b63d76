// Attributes and times through the library and the file object.
#include "ClampedTime.h"
#include "FsFixture.h"
#include "LFN.h"
#include "MacTime.h"
#include "OVFUploads.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <vector>

namespace fs_test {
namespace {

using AttributeTimeTest = TDriveFixture;

BYTE Attributes(const char* pszPath)
{
    BYTE b = 0;
    EXPECT_TRUE(LFN_GetFileAttributes(pszPath, &b)) << pszPath;
    return b;
}

TEST_F(AttributeTimeTest, DefaultsComeFromTypeModeAndName)
{
    Put("plain.txt");
    Put(".hidden");
    Put("dir/x");
    stdfs::permissions(m_drive / "plain.txt", stdfs::perms::owner_write, stdfs::perm_options::remove);
    EXPECT_EQ(Attributes("C:\\plain.txt"), kOVF_attrArchive | kOVF_attrReadOnly);
    EXPECT_EQ(Attributes("C:\\.hidden"), kOVF_attrArchive | kOVF_attrHidden);
    EXPECT_EQ(Attributes("C:\\dir"), kOVF_attrDirectory);
    EXPECT_EQ(Attributes("C:\\"), kOVF_attrVolume);
}

TEST_F(AttributeTimeTest, AttributesSetAndReadBack)
{
    Put("f.txt");
    struct TCase {
        BYTE bSet;
        BYTE bRead;
    };
    const TCase cases[] = {
        {0x00, kOVF_attrNormal},
        {0x01, 0x01},
        {0x02 | 0x04, 0x02 | 0x04},
        {0x21, 0x21},
        {0x20, 0x20},
    };
    for (const bool bByPath : {false, true}) {
        OVF_ForceAttributeReadByPath(bByPath);
        for (const TCase& c : cases) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(c.bSet) << (bByPath ? " by path" : " by folder and name"));
            ASSERT_TRUE(LFN_SetFileAttributes("C:\\F.TXT", c.bSet));
            EXPECT_EQ(Attributes("C:\\f.txt"), c.bRead);
            const bool bWritable = (stdfs::status(m_drive / "f.txt").permissions() & stdfs::perms::owner_write) != stdfs::perms::none;
            EXPECT_EQ(bWritable, (c.bSet & 1) == 0);
        }
    }
    char buf[16] = {};
    const ssize_t n = getxattr((m_drive / "f.txt").c_str(), "user.DOSATTRIB", buf, sizeof buf);
    ASSERT_EQ(n, 5);
    EXPECT_EQ(std::string(buf, 5), std::string("0x20\0", 5));
}

TEST_F(AttributeTimeTest, WithoutAnAttributeStoreOnlyModeAndNameCount)
{
    OVF_DisableAttributeStore(true);
    Put("f.txt");
    ASSERT_TRUE(LFN_SetFileAttributes("C:\\f.txt", kOVF_attrHidden | kOVF_attrReadOnly));
    EXPECT_EQ(Attributes("C:\\f.txt"), kOVF_attrArchive | kOVF_attrReadOnly);
}

TEST_F(AttributeTimeTest, ReadOnlyFilesResistWritesAndRemoval)
{
    Put("ro.txt", "keep");
    ASSERT_TRUE(LFN_SetFileAttributes("C:\\ro.txt", kOVF_attrReadOnly));
    DWORD dwError = 0;
    EXPECT_EQ(Open32("C:\\ro.txt", kOVF_modeWrite, &dwError), kOVF_invalid);
    EXPECT_EQ(dwError, static_cast<DWORD>(EACCES));
    EXPECT_FALSE(Remove32("C:\\ro.txt", &dwError));
    EXPECT_EQ(ReadAll("C:\\ro.txt"), "keep");
}

TEST_F(AttributeTimeTest, TimesWrittenAndReadBackInLocalTime)
{
    setenv("TZ", "America/New_York", 1);
    tzset();
    Put("t.txt");
    CFileStatus status;
    ASSERT_TRUE(TFile::GetStatus("C:\\t.txt", status));
    status.m_mtime = CTime(2021, 7, 4, 12, 30, 15);
    status.m_atime = CTime(2022, 1, 2, 3, 4, 5);
    ASSERT_TRUE(TFile::TrySetStatus("C:\\t.txt", status));
    struct stat st {};
    ASSERT_EQ(stat((m_drive / "t.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1625416215);   // 16:30:15 UTC, daylight saving in force
    EXPECT_EQ(st.st_atime, 1641110645);   // 08:04:05 UTC, standard time
    CFileStatus back;
    ASSERT_TRUE(TFile::GetStatus("C:\\t.txt", back));
    EXPECT_EQ(back.m_mtime, status.m_mtime);
    EXPECT_EQ(back.m_atime, status.m_atime);
    WIN32_FIND_DATA data;
    ASSERT_TRUE(LFN_GetStatus("C:\\t.txt", &data));
    EXPECT_EQ(OVF_FileTimeToUnix(data.ftLastWriteTime), 1625416215);
    setenv("TZ", "UTC", 1);
    tzset();
}

TEST_F(AttributeTimeTest, AnOpenFileTakesItsTimeAndAttributesAfterItsBufferedDataAndKeepsThemWhenRenamed)
{
    DWORD dwError = 0;
    const DWORD hFile = Open32("C:\\new.bin", kOVF_modeCreate | kOVF_modeWrite, &dwError);
    ASSERT_NE(hFile, kOVF_invalid);
    ASSERT_EQ(Write32(hFile, "buffered", 8, &dwError), 8u);
    // 2000-01-02 03:04:05 UTC as a Mac time, wire order.
    const DWORD dwMacTime = OVMacTimeToHostOrder(946782245u + kMacTimeTo1970);
    EXPECT_TRUE(LFN_SetOpenFileTimeAndAttributes(hFile, dwMacTime, kOVF_attrArchive | kOVF_attrReadOnly));
    ASSERT_TRUE(Close32(hFile, &dwError));
    ASSERT_TRUE(Rename32("C:\\new.bin", "C:\\final.bin", &dwError));
    EXPECT_EQ(ReadAll("C:\\final.bin"), "buffered");
    struct stat st {};
    ASSERT_EQ(stat((m_drive / "final.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 946782245);
    EXPECT_EQ(Attributes("C:\\final.bin"), kOVF_attrArchive | kOVF_attrReadOnly);
    EXPECT_FALSE(LFN_SetOpenFileTimeAndAttributes(hFile, dwMacTime, 0)) << "a closed handle";
}

// An upload's temporary stores nothing where the default reads the same, and a later setting
// still replaces an earlier one.
TEST_F(AttributeTimeTest, AFreshTemporaryReadsBackEveryAttributeSetOnIt)
{
    struct TCase {
        std::vector<BYTE> settings;
        BYTE bRead;
        bool bStored;
    };
    const TCase cases[] = {
        {{kOVF_attrArchive}, kOVF_attrArchive, false},
        {{kOVF_attrArchive | kOVF_attrReadOnly}, kOVF_attrArchive | kOVF_attrReadOnly, false},
        {{0}, kOVF_attrNormal, true},
        {{kOVF_attrArchive | kOVF_attrHidden}, kOVF_attrArchive | kOVF_attrHidden, true},
        {{kOVF_attrArchive | kOVF_attrHidden, kOVF_attrArchive}, kOVF_attrArchive, true},
        {{kOVF_attrArchive, kOVF_attrSystem}, kOVF_attrSystem, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.bRead));
        std::string strToken;
        DWORD dwError = 0;
        const DWORD hFile = OVF_OpenUploadTemp("C:\\up.bin", &strToken, &dwError);
        ASSERT_NE(hFile, kOVF_invalid);
        for (const BYTE bSet : c.settings)
            ASSERT_TRUE(LFN_SetOpenFileTimeAndAttributes(hFile, OVMacTimeToHostOrder(946782245u + kMacTimeTo1970), bSet));
        ASSERT_TRUE(Close32(hFile, &dwError));
        ASSERT_TRUE(OVF_CommitUploadTemp(strToken, "C:\\up.bin", &dwError));
        EXPECT_EQ(Attributes("C:\\up.bin"), c.bRead);
        char buf[16] = {};
        EXPECT_EQ(getxattr((m_drive / "up.bin").c_str(), "user.DOSATTRIB", buf, sizeof buf) > 0, c.bStored);
        stdfs::permissions(m_drive / "up.bin", stdfs::perms::owner_write, stdfs::perm_options::add);
        stdfs::remove(m_drive / "up.bin");
    }
}

TEST_F(AttributeTimeTest, TimesBefore1980AreWrittenAs1980)
{
    Put("old.txt");
    CFileStatus status;
    ASSERT_TRUE(TFile::GetStatus("C:\\old.txt", status));
    status.m_mtime = status.m_atime = status.m_ctime = CTime(1975, 6, 1, 0, 0, 0);
    TFile::SetStatus("C:\\old.txt", status);
    struct stat st {};
    ASSERT_EQ(stat((m_drive / "old.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 315532800);   // 1980-01-01 00:00:00 UTC
}

TEST_F(AttributeTimeTest, ClampedTimeRules)
{
    struct TCase {
        TimeFields32 fields;
        std::time_t expected;
    };
    auto f = [](int y, int mo, int d, int h, int mi, int s) {
        return TimeFields32{static_cast<WORD>(y), static_cast<WORD>(mo), static_cast<WORD>(d),
                            static_cast<WORD>(h), static_cast<WORD>(mi), static_cast<WORD>(s)};
    };
    const TCase cases[] = {
        {f(2001, 2, 3, 4, 5, 6), 981173106},
        {f(1969, 2, 3, 4, 5, 6), 318398706},    // year -> 1980
        {f(2039, 1, 1, 0, 0, 0), 315532800},    // year -> 1980
        {f(2001, 13, 32, 24, 60, 60), 978307200},   // month, day -> 1; hour, minute, second -> 0
        {f(2001, 0, 0, 0, 0, 0), 978307200},
        {f(1970, 1, 1, 0, 0, 0), 0},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ClampedTime(c.fields).GetTime(), c.expected) << c.fields.wYear << "-" << c.fields.wMonth;
    const TimeFields32 floor = TimeFieldsOf(CTime(1979, 12, 31, 23, 59, 59));
    EXPECT_EQ(floor.wYear, 1980);
    EXPECT_EQ(floor.wMonth, 1);
    EXPECT_EQ(floor.wDay, 1);
    EXPECT_EQ(floor.wSecond, 0);
}

TEST_F(AttributeTimeTest, ZeroCreationAndAccessTimesTakeTheLastWriteTime)
{
    Put("z.txt");
    const struct timespec times[2] = {{0, 0}, {1000000000, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (m_drive / "z.txt").c_str(), times, 0), 0);
    CFileStatus status;
    ASSERT_TRUE(TFile::GetStatus("C:\\z.txt", status));
    EXPECT_EQ(status.m_mtime.GetTime(), 1000000000);
    EXPECT_EQ(status.m_atime.GetTime(), 1000000000);
}

TEST_F(AttributeTimeTest, MacTimesSetTheFileTimes)
{
    Put("m.txt");
    auto wire = [](DWORD dw) { return __builtin_bswap32(dw); };
    struct TCase {
        DWORD dwMacTime;
        std::time_t expected;
    };
    const TCase cases[] = {
        {0, 315532800},
        {2082844800u, 315532800},
        {2082844801u, 315532800},                  // 1970: raised to 1980
        {2082844800u + 1000000000u, 1000000000},   // 2001-09-09 01:46:40
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(LFN_SetFileTimeWithMacTime("C:\\m.txt", wire(c.dwMacTime)));
        struct stat st {};
        ASSERT_EQ(stat((m_drive / "m.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, c.expected) << c.dwMacTime;
    }
    EXPECT_FALSE(LFN_SetFileTimeWithMacTime("C:\\missing.txt", 0));
}

TEST_F(AttributeTimeTest, FileTimesAndFrameworkTimes)
{
    CTime time;
    const FILETIME ft1979 = OVF_FileTimeFromUnix(300000000);   // 1979-07-05
    LFN_FileTimeToCTime(&ft1979, &time);
    EXPECT_EQ(time.GetTime(), 315532800);
    const FILETIME ft2001 = OVF_FileTimeFromUnix(1000000000);
    LFN_FileTimeToCTime(&ft2001, &time);
    EXPECT_EQ(time.GetTime(), 1000000000);
    FILETIME back;
    LFN_CTimeToFileTime(&time, &back);
    EXPECT_EQ(OVF_FileTimeToUnix(back), 1000000000);
    const CTime before1980(1975, 1, 1, 0, 0, 0);
    LFN_CTimeToFileTime(&before1980, &back);
    EXPECT_EQ(OVF_FileTimeToUnix(back), 315532800);
}

} // namespace
} // namespace fs_test
