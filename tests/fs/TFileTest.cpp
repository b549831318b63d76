// The file object: throwing and try forms over the library's buffered files.
#include "FsFixture.h"
#include "LFN.h"

#include <fstream>
#include <memory>

namespace fs_test {
namespace {

using TFileTest = TDriveFixture;

TEST_F(TFileTest, WriteSeekReadRoundTripInProtocolSizedPieces)
{
    std::string strData;
    for (int i = 0; i < 300000; ++i)
        strData.push_back(static_cast<char>('a' + i % 26));
    {
        TFile file;
        ASSERT_TRUE(file.Open("C:\\Data.bin", CFile::modeCreate | CFile::modeReadWrite));
        for (std::size_t n = 0; n < strData.size(); n += 4096)
            file.Write(strData.data() + n, static_cast<UINT>(std::min<std::size_t>(4096, strData.size() - n)));
        EXPECT_EQ(file.GetLength(), strData.size());
        EXPECT_EQ(file.GetPosition(), strData.size());
        EXPECT_EQ(file.Seek(100, CFile::begin), 100);
        char buf[10];
        ASSERT_EQ(file.Read(buf, 10), 10u);
        EXPECT_EQ(std::string(buf, 10), strData.substr(100, 10));
        file.Write("XYZ", 3);
        EXPECT_EQ(file.Seek(-3, CFile::current), 110);
        ASSERT_EQ(file.Read(buf, 3), 3u);
        EXPECT_EQ(std::string(buf, 3), "XYZ");
        EXPECT_EQ(file.SeekToEnd(), strData.size());
        file.Flush();
        file.Close();
        EXPECT_EQ(file.m_hFile32, TFile::kNoFile);
    }
    strData.replace(110, 3, "XYZ");
    EXPECT_EQ(ReadPosixFile(m_drive / "Data.bin"), strData);
    EXPECT_EQ(ReadAll("C:\\data.BIN"), strData);
}

TEST_F(TFileTest, TheEndIsReportedOnceAndAFileThatGrowsIsReadFurther)
{
    Put("grow.txt", "abc");
    TFile file;
    ASSERT_TRUE(file.Open("C:\\grow.txt", CFile::modeRead));
    char buf[16];
    ASSERT_EQ(file.Read(buf, 3), 3u);
    EXPECT_EQ(file.Read(buf, sizeof buf), 0u);
    {
        std::ofstream more(m_drive / "grow.txt", std::ios::app);
        more << "def";
    }
    ASSERT_EQ(file.Read(buf, sizeof buf), 3u);
    EXPECT_EQ(std::string(buf, 3), "def");
    EXPECT_EQ(file.Read(buf, sizeof buf), 0u);
}

TEST_F(TFileTest, CreateTruncatesAndSetLengthResizes)
{
    Put("t.txt", "0123456789");
    TFile file("C:\\T.TXT", CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(file.GetLength(), 0u);
    file.Write("abc", 3);
    file.SetLength(10);
    file.Close();
    EXPECT_EQ(ReadPosixFile(m_drive / "t.txt"), std::string("abc") + std::string(7, '\0'));
    EXPECT_FALSE(stdfs::exists(m_drive / "T.TXT"));   // the existing file kept its name
}

TEST_F(TFileTest, ZeroCountsMakeNoCall)
{
    TFile file;   // no file open: any library call would fail
    char buf[1];
    EXPECT_EQ(file.Read(buf, 0), 0u);
    file.Write(buf, 0);
    file.LockRange(0, 0);
    file.UnlockRange(0, 0);
    file.Close();
    file.Abort();
    EXPECT_THROW(file.Read(buf, 1), CFileException);
}

TEST_F(TFileTest, OpenFailureFillsTheErrorObjectOrThrows)
{
    TFile file;
    CFileException error;
    EXPECT_FALSE(file.Open("C:\\missing.txt", CFile::modeRead, &error));
    EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(error.m_lOsError, ENOENT);
    EXPECT_EQ(file.m_strName, "C:\\missing.txt");
    try {
        file.Open("C:\\nofolder\\x.txt", CFile::modeRead);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
    }
    EXPECT_THROW(TFile("C:\\missing.txt", CFile::modeRead), CFileException);
    EXPECT_FALSE(file.TryOpen("C:\\missing.txt", CFile::modeRead));
    EXPECT_FALSE(TFile::Exists("C:\\missing.txt"));
    Put("here.txt");
    EXPECT_TRUE(TFile::Exists("C:\\HERE.TXT"));
    EXPECT_FALSE(TFile::Exists("C:\\"));
}

TEST_F(TFileTest, TryFormsReportInsteadOfThrowing)
{
    Put("f.txt", "data");
    OVF_InjectFault(OVFOp::read, "C:\\f.txt", EIO);
    OVF_InjectFault(OVFOp::write, "C:\\f.txt", ENOSPC);
    OVF_InjectFault(OVFOp::seek, "C:\\f.txt", EIO);
    OVF_InjectFault(OVFOp::flush, "C:\\f.txt", EIO);
    OVF_InjectFault(OVFOp::getLength, "C:\\f.txt", EIO);
    OVF_InjectFault(OVFOp::setLength, "C:\\f.txt", EIO);
    TFile file("C:\\f.txt", CFile::modeReadWrite);
    char buf[4];
    EXPECT_EQ(file.TryRead(buf, 4), 0u);
    EXPECT_FALSE(file.TryWrite("x", 1));
    try {
        file.Write("x", 1);
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::diskFull);
        EXPECT_EQ(e.m_cause, 13);
    }
    EXPECT_EQ(file.TrySeek(0, CFile::begin), -1);
    EXPECT_EQ(file.TryGetPosition(), 0u);
    EXPECT_EQ(file.TryGetLength(), 0u);
    EXPECT_FALSE(file.TrySetLength(1));
    EXPECT_FALSE(file.TryFlush());
    EXPECT_TRUE(file.TryClose());
    EXPECT_EQ(ReadPosixFile(m_drive / "f.txt"), "data");
}

TEST_F(TFileTest, FailedCloseKeepsTheHandleAndDestructorReleasesIt)
{
    OVF_InjectFault(OVFOp::close, "C:\\c.txt", EIO, 1);
    auto file = std::make_unique<TFile>("C:\\c.txt", CFile::modeCreate | CFile::modeWrite);
    const DWORD hFile = file->m_hFile32;
    file->Write("abc", 3);
    EXPECT_THROW(file->Close(), CFileException);
    EXPECT_EQ(file->m_hFile32, hFile);
    file->Close();   // the fault was for one call only
    EXPECT_EQ(file->m_hFile32, TFile::kNoFile);
    EXPECT_EQ(ReadPosixFile(m_drive / "c.txt"), "abc");

    OVF_InjectFault(OVFOp::close, "C:\\c.txt", EIO);
    file = std::make_unique<TFile>("C:\\c.txt", CFile::modeWrite);
    file.reset();   // no exception escapes, and the handle is not leaked
    DWORD dwError = 0;
    EXPECT_FALSE(Close32(hFile, &dwError));
    EXPECT_EQ(dwError, static_cast<DWORD>(EBADF));
}

TEST_F(TFileTest, AbortMarksTheObjectClosed)
{
    TFile file("C:\\a.txt", CFile::modeCreate | CFile::modeWrite);
    file.Write("abc", 3);
    EXPECT_TRUE(file.TryAbort());
    EXPECT_EQ(file.m_hFile32, TFile::kNoFile);
    EXPECT_EQ(ReadPosixFile(m_drive / "a.txt"), "abc");
}

TEST_F(TFileTest, DuplicateSharesFileNameAndPosition)
{
    Put("d.txt", "hello world");
    TFile file("C:\\d.txt", CFile::modeRead);
    char buf[6];
    file.Read(buf, 6);
    std::unique_ptr<CFile> copy(file.Duplicate());
    auto* pCopy = static_cast<TFile*>(copy.get());
    EXPECT_TRUE(copy->IsKindOf(&TFile::classTFile));
    EXPECT_STREQ(copy->GetRuntimeClass()->m_lpszClassName, "TFile");
    EXPECT_EQ(pCopy->m_strName, "C:\\d.txt");
    EXPECT_NE(pCopy->m_hFile32, file.m_hFile32);
    ASSERT_EQ(copy->Read(buf, 5), 5u);
    EXPECT_EQ(std::string(buf, 5), "world");
    TFile closed;
    EXPECT_THROW(closed.Duplicate(), CFileException);
}

TEST_F(TFileTest, LockedRangesConflictBetweenHandles)
{
    Put("l.txt", "0123456789");
    TFile first("C:\\l.txt", CFile::modeReadWrite);
    TFile second("C:\\l.txt", CFile::modeReadWrite);
    first.LockRange(0, 5);
    EXPECT_FALSE(second.TryLockRange(2, 2));
    EXPECT_TRUE(second.TryLockRange(5, 5));
    first.UnlockRange(0, 5);
    EXPECT_TRUE(second.TryLockRange(0, 2));
}

TEST_F(TFileTest, RenameAndRemove)
{
    Put("old.txt", "o");
    Put("other.txt", "x");
    TFile::Rename("C:\\OLD.TXT", "C:\\New Name.txt");
    EXPECT_EQ(ReadPosixFile(m_drive / "New Name.txt"), "o");
    EXPECT_FALSE(TFile::TryRename("C:\\New Name.txt", "C:\\OTHER.TXT"));   // taken by another file
    EXPECT_TRUE(TFile::TryRename("C:\\new name.txt", "C:\\NEW NAME.TXT"));  // a change of case only
    EXPECT_TRUE(stdfs::exists(m_drive / "NEW NAME.TXT"));
    EXPECT_FALSE(TFile::TryRename("C:\\missing", "C:\\x"));
    TFile::Remove("C:\\new name.txt");
    EXPECT_FALSE(stdfs::exists(m_drive / "NEW NAME.TXT"));
    // A file that cannot be removed: TryRemove still answers TRUE.
    OVF_InjectFault(OVFOp::remove, "C:\\other.txt", EACCES);
    EXPECT_TRUE(TFile::TryRemove("C:\\other.txt"));
    EXPECT_TRUE(stdfs::exists(m_drive / "other.txt"));
    EXPECT_TRUE(LFN_FileExists("C:\\other.txt"));
}

TEST_F(TFileTest, DriveRootStatusNeedsNoDisk)
{
    OVF_ClearDrives();   // nothing to touch
    CFileStatus status;
    ASSERT_TRUE(TFile::GetStatus("C:\\", status));
    EXPECT_EQ(status.m_attribute, CFile::volume);
    EXPECT_EQ(status.m_size, 0u);
    EXPECT_STREQ(status.m_szFullName, "C:\\");
    EXPECT_GT(status.m_mtime.GetTime(), 315532800);
    EXPECT_FALSE(TFile::GetStatus("C:", status));
}

TEST_F(TFileTest, StatusReportsRealNamesAndSize)
{
    Put("Sub/File.TXT", "12345");
    CFileStatus status;
    ASSERT_TRUE(TFile::GetStatus("c:\\sub\\file.txt", status));
    EXPECT_STREQ(status.m_szFullName, "C:\\Sub\\File.TXT");
    EXPECT_EQ(status.m_size, 5u);
    EXPECT_EQ(status.m_attribute, kOVF_attrArchive);
    TFile file("C:\\SUB\\FILE.TXT", CFile::modeRead);
    CFileStatus own;
    ASSERT_TRUE(file.GetStatus(own));
    EXPECT_EQ(own.m_size, 5u);
}

// An open file's status, read from the file itself, is the one its name gives: attributes from
// the mode, the name and the store, times, size and the full real name.
TEST_F(TFileTest, AnOpenFilesStatusIsTheOneItsNameGives)
{
    struct TCase {
        const char* pszDisk;
        const char* pszAsked;
        BYTE bSet;        // stored through the name first; 0 stores nothing
    };
    const TCase cases[] = {
        {"Plain.txt", "c:\\plain.txt", 0},
        {".dotted", "C:\\.dotted", 0},
        {"ReadOnly.txt", "C:\\READONLY.TXT", kOVF_attrArchive | kOVF_attrReadOnly},
        {"System.bin", "C:\\system.bin", kOVF_attrSystem | kOVF_attrHidden},
        {"Sub/Deep name.dat", "C:\\SUB\\deep name.dat", kOVF_attrArchive},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.pszDisk);
        Put(c.pszDisk, "0123456789");
        if (c.bSet != 0) {
            ASSERT_TRUE(LFN_SetFileAttributes(c.pszAsked, c.bSet));
        }
        CFileStatus byName;
        ASSERT_TRUE(TFile::GetStatus(c.pszAsked, byName));
        TFile file(c.pszAsked, CFile::modeRead);
        CFileStatus byHandle;
        std::uint64_t nSize = 0;
        ASSERT_TRUE(file.GetStatus(byHandle, &nSize));
        EXPECT_EQ(byHandle.m_attribute, byName.m_attribute);
        EXPECT_EQ(byHandle.m_size, byName.m_size);
        EXPECT_EQ(nSize, 10u);
        EXPECT_EQ(byHandle.m_mtime.GetTime(), byName.m_mtime.GetTime());
        EXPECT_EQ(byHandle.m_ctime.GetTime(), byName.m_ctime.GetTime());
        EXPECT_EQ(byHandle.m_atime.GetTime(), byName.m_atime.GetTime());
        EXPECT_STREQ(byHandle.m_szFullName, byName.m_szFullName);
    }
    // Data still gathered in a written file's buffer counts.
    TFile written("C:\\new.bin", CFile::modeCreate | CFile::modeWrite);
    written.Write("abc", 3);
    CFileStatus status;
    std::uint64_t nSize = 0;
    ASSERT_TRUE(written.GetStatus(status, &nSize));
    EXPECT_EQ(nSize, 3u);
}

} // namespace
} // namespace fs_test
