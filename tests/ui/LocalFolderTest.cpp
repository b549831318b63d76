// Tree lists over real folders: a temporary folder configured as drive C:.
#include "FsFixture.h"
#include "IconIds.h"
#include "LFN.h"
#include "LocalFolders.h"
#include "OVFCodePages.h"
#include "OVFDrives.h"
#include "TreeList.h"
#include "TreeListFlags.h"

#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/time.h>

#include <ctime>
#include <memory>
#include <string>

namespace {

namespace stdfs = std::filesystem;

// 2000-01-01 00:00:00 UTC as seconds since 1970 and as a platform file time.
constexpr time_t kY2kSeconds = 946684800;
constexpr std::uint64_t kY2kFileTime = 125911584000000000ull;

class TLocalFolders : public fs_test::TDriveFixture {
protected:
    void SetUp() override
    {
        TDriveFixture::SetUp();
        stdfs::create_directories(m_drive / "Work" / "Beta");
        stdfs::create_directories(m_drive / "Work" / "alpha dir");
        stdfs::create_directories(m_drive / "Work" / ".cache");
        PutSized("Work/zeta.txt", 10);
        PutSized("Work/Alpha.EXE", 5000);
        PutSized("Work/page.html", 2048);
        PutSized("Work/caf\xC3\xA9 menu.wav", 100);
        PutSized("Work/.profile", 1);
    }

    // A file of `size` bytes under the drive, last written at 2000-01-01 00:00:00 UTC.
    void PutSized(const std::string& relative, std::size_t size)
    {
        Put(relative, std::string(size, 'x'));
        const timeval times[2] = {{kY2kSeconds, 0}, {kY2kSeconds, 0}};
        ASSERT_EQ(utimes((m_drive / relative).c_str(), times), 0);
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (int i = 0; i < m_list->Model()->rowCount(); ++i)
            texts << m_list->Model()->RowText(i);
        return texts;
    }

    int List(unsigned flags, const QString& folder)
    {
        m_list->Model()->Clear();
        return m_list->ListFolder(kOVF_attrDirectory, "*.*", flags, folder);
    }

    std::unique_ptr<TTreeList> m_list = std::make_unique<TTreeList>();
};

const QString kCafe = QString::fromUtf8("caf\xC3\xA9 menu.wav");

TEST_F(TLocalFolders, ListsAFolderWithTheSkipRulesSizesTimesAndIcons)
{
    ASSERT_EQ(List(kTreeSortName | kTreeKeepParentRow | kTreeShowSize | kTreeShowModified, "C:\\Work\\"), 0);
    // Hidden entries (names starting with a dot) and "." never show; folders come first.
    EXPECT_EQ(Texts(), (QStringList{"..", "alpha dir", "Beta", "Alpha.EXE", kCafe, "page.html", "zeta.txt"}));
    const TTreeListModel& rows = *m_list->Model();
    EXPECT_EQ(rows.RowIcon(0), kIconParentFolder);
    EXPECT_EQ(rows.RowSize(0), -1);
    EXPECT_EQ(rows.RowIcon(1), kIconFolder);
    EXPECT_EQ(rows.RowType(1), kRowFolder);
    EXPECT_EQ(rows.RowSize(1), -1);
    const struct {
        int row;
        int icon;
        qint64 size;
    } files[] = {{3, kIconProgram, 5000}, {4, kIconSound, 100}, {5, kIconWebPage, 2048}, {6, kIconText, 10}};
    for (const auto& f : files) {
        EXPECT_EQ(rows.RowType(f.row), kRowFile) << f.row;
        EXPECT_EQ(rows.RowIcon(f.row), f.icon) << f.row;
        EXPECT_EQ(rows.RowSize(f.row), f.size) << f.row;
        EXPECT_EQ(rows.RowTime(f.row), kY2kFileTime) << f.row;
    }
    EXPECT_EQ(rows.RowFullPath(4), "C:\\Work\\" + kCafe);

    // Without the columns the rows carry neither size nor time; without 0x01 no "..".
    ASSERT_EQ(List(kTreeSortName, "C:\\Work"), 0);
    EXPECT_EQ(Texts().first(), "alpha dir");
    EXPECT_EQ(m_list->Model()->RowSize(2), -1);
    EXPECT_EQ(m_list->Model()->RowTime(2), 0u);
}

TEST_F(TLocalFolders, SortsBySizeBothWaysWithFoldersFirst)
{
    PutSized("Work/also ten.txt", 10);
    const unsigned bySize = kTreeSortSize | kTreeShowSize;
    ASSERT_EQ(List(bySize, "C:\\Work"), 0);
    EXPECT_EQ(Texts(), (QStringList{"alpha dir", "Beta", "also ten.txt", "zeta.txt", kCafe, "page.html", "Alpha.EXE"}));
    ASSERT_EQ(List(bySize | kTreeDescending, "C:\\Work"), 0);
    EXPECT_EQ(Texts(), (QStringList{"Beta", "alpha dir", "Alpha.EXE", "page.html", kCafe, "zeta.txt", "also ten.txt"}));
}

TEST_F(TLocalFolders, RootsTheCurrentFolderAndFoldersThatCannotBeEntered)
{
    // A drive root has no "." or ".."; an empty drive lists nothing and succeeds.
    ASSERT_EQ(List(kTreeSortName | kTreeKeepParentRow, "C:\\"), 0);
    EXPECT_EQ(Texts(), QStringList{"Work"});
    stdfs::create_directories(m_base / "empty");
    ASSERT_EQ(OVF_SetDrive('E', (m_base / "empty").c_str(), OVFDriveKind::removable), 0);
    EXPECT_EQ(List(kTreeSortName, "e:\\"), 0);
    EXPECT_EQ(m_list->Model()->rowCount(), 0);

    // "\" and an empty folder mean the current folder.
    ASSERT_TRUE(OVF_SetCurrentDirectory("C:\\Work\\Beta"));
    PutSized("Work/Beta/inside.bat", 3);
    for (const QString& current : {QString("\\"), QString()}) {
        ASSERT_EQ(List(kTreeSortName, current), 0) << current.toStdString();
        EXPECT_EQ(Texts(), QStringList{"inside.bat"});
        EXPECT_EQ(m_list->Model()->RowIcon(0), kIconBatch);
    }

    for (const char* missing : {"C:\\Nowhere", "C:\\Work\\zeta.txt", "D:\\", "D:\\Work"}) {
        EXPECT_EQ(List(kTreeSortName | kTreePathMode, missing), -1) << missing;
        EXPECT_EQ(m_list->Model()->rowCount(), 0) << missing;
    }
}

TEST_F(TLocalFolders, SystemEntriesAreSkipped)
{
    if (!LFN_SetFileAttributes("C:\\Work\\zeta.txt", kOVF_attrSystem) ||
        !LFN_SetFileAttributes("C:\\Work\\Beta", kOVF_attrSystem | kOVF_attrDirectory))
        GTEST_SKIP() << "this file system keeps no attributes";
    ASSERT_EQ(List(kTreeSortName, "C:\\Work"), 0);
    EXPECT_EQ(Texts(), (QStringList{"alpha dir", "Alpha.EXE", kCafe, "page.html"}));
}

TEST_F(TLocalFolders, NamesFromASingleByteCodePageArriveWhole)
{
    ASSERT_EQ(OVF_SetAnsiCodePage("CP1252"), 0);
    ASSERT_EQ(List(kTreeSortName, "C:\\Work"), 0);
    EXPECT_TRUE(Texts().contains(kCafe));
    EXPECT_EQ(LocalPosixPath("C:\\Work\\" + kCafe), QString::fromStdString((m_drive / "Work").string()) + "/" + kCafe);
}

TEST_F(TLocalFolders, DraggedLocalRowsCarryTheirPosixPaths)
{
    m_list->SetPosixPathMapper(LocalPosixPath);
    m_list->EnableDrag(true);
    ASSERT_EQ(List(kTreeSortName | kTreeKeepParentRow, "c:\\WORK"), 0);
    m_list->selectAll();
    std::unique_ptr<QMimeData> data(m_list->DragMimeData());
    ASSERT_TRUE(data);
    // The folder is given in other case; the URIs name the real entries, ".." is not dragged.
    const QString work = QString::fromStdString((m_drive / "Work").string());
    QList<QUrl> expected;
    for (const QString& name : QStringList{"alpha dir", "Beta", "Alpha.EXE", kCafe, "page.html", "zeta.txt"})
        expected << QUrl::fromLocalFile(work + "/" + name);
    EXPECT_EQ(data->urls(), expected);
    EXPECT_TRUE(data->data("text/uri-list").contains("caf%C3%A9%20menu.wav"));

    // A path no drive holds is offered to tree lists only.
    EXPECT_EQ(LocalPosixPath("Q:\\x"), QString());
}

}  // namespace
