#include "IconIds.h"
#include "ListingRows.h"
#include "RowTexts.h"
#include "TreeList.h"
#include "TreeListFlags.h"

#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

TTreeRow Row(const char* text, int type)
{
    TTreeRow row;
    row.text = text;
    row.type = type;
    return row;
}

TEST(RowTexts, SizesInWholeKilobytesAtLeastOne)
{
    const struct {
        qint64 bytes;
        const char* text;
    } cases[] = {{0, "1 KB  "}, {100, "1 KB  "}, {2047, "1 KB  "}, {2048, "2 KB  "}, {5000000000LL, "4882812 KB  "}};
    for (const auto& c : cases)
        EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

TEST(RowTexts, FileTimeConvertsToLocalTime)
{
    // 2000-01-01 00:00:00 UTC as a file time; the tests run with TZ=UTC.
    const std::uint64_t fileTime = 125911584000000000ull;
    EXPECT_EQ(FileTimeToLocal(fileTime).toString(Qt::ISODate), "2000-01-01T00:00:00");
}

TEST(ListingRows, SkipRulesAndRowFields)
{
    const unsigned dirs = kOVF_attrDirectory;
    const unsigned details = kTreeShowSize | kTreeShowModified;
    EXPECT_FALSE(ListingRow({".", kOVF_attrDirectory}, dirs, details | kTreeKeepParentRow));
    EXPECT_FALSE(ListingRow({"..", kOVF_attrDirectory}, dirs, details));
    EXPECT_FALSE(ListingRow({"hidden", kOVF_attrHidden}, dirs, details));
    EXPECT_FALSE(ListingRow({"sys", kOVF_attrSystem | kOVF_attrDirectory}, dirs, details));
    EXPECT_FALSE(ListingRow({"folder", kOVF_attrDirectory}, 0, details));  // outside the mask, not plain

    const auto parent = ListingRow({"..", kOVF_attrDirectory}, dirs, details | kTreeKeepParentRow);
    ASSERT_TRUE(parent);
    EXPECT_EQ(parent->icon, kIconParentFolder);
    EXPECT_EQ(parent->size, -1);

    const auto file = ListingRow({"Notes.TXT", kOVF_attrReadOnly | kOVF_attrArchive, 4096, 99}, dirs, details);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->type, kRowFile);
    EXPECT_EQ(file->icon, kIconText);
    EXPECT_EQ(file->size, 4096);
    EXPECT_EQ(file->Time(), 99u);
    const auto namesOnly = ListingRow({"a.bin", 0, 4096, 99}, dirs, kTreeSortName);
    ASSERT_TRUE(namesOnly);
    EXPECT_EQ(namesOnly->size, -1);
    EXPECT_EQ(namesOnly->Time(), 0u);

    const auto folder = ListingRow({"Sub", kOVF_attrDirectory, 0, 99}, dirs, details);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->type, kRowFolder);
    EXPECT_EQ(folder->icon, kIconFolder);
}

TEST(TreeIcons, EveryIdHasAResource)
{
    for (const int id : kTreeIconIds)
        EXPECT_FALSE(TreeIcon(id).isNull()) << id;
    for (const int id : kDragCursorIds)
        EXPECT_FALSE(TreeIcon(id).isNull()) << id;
    EXPECT_TRUE(TreeIcon(12345).isNull());
}

// Two panes' lists side by side, the local one mapping its drive onto a POSIX folder.
struct TTwoLists : ::testing::Test {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    TTreeList* local = new TTreeList(window.get());
    TTreeList* remote = new TTreeList(window.get());

    void SetUp() override
    {
        local->setGeometry(0, 0, 200, 200);
        remote->setGeometry(0, 210, 200, 200);
        local->Model()->SetBaseFolder("C:\\Work");
        remote->Model()->SetBaseFolder("Macintosh HD:Shared");
        for (TTreeList* list : {local, remote}) {
            list->Model()->AddRow(Row("..", kRowFolder));
            list->Model()->AddRow(Row("Sub", kRowFolder));
            list->Model()->AddRow(Row("a file.txt", kRowFile));
            list->EnableDrag(true);
            list->AcceptDrops(true);
        }
        local->SetPosixPathMapper([](const QString& path) {
            QString posix = path.mid(2);
            posix.replace('\\', '/');
            return "/srv/c" + posix;
        });
        window->show();
    }

    void Select(TTreeList* list, std::initializer_list<int> rows)
    {
        list->clearSelection();
        for (const int row : rows)
            list->selectionModel()->select(list->Model()->index(row), QItemSelectionModel::Select);
    }

    // Delivers a drag of `data` onto `target` at its row `row`; true when the drop was taken.
    static bool Drop(TTreeList* target, const QMimeData* data, int row)
    {
        const QPointF at = target->visualRect(target->Model()->index(row)).center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDragMoveEvent move(at.toPoint(), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &move);
        QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target->viewport(), &drop);
        return drop.isAccepted();
    }
};

TEST_F(TTwoLists, DragToTheOtherListReportsRowAndBothLists)
{
    Select(local, {1, 2});
    std::unique_ptr<QMimeData> data(local->DragMimeData());
    ASSERT_TRUE(data);
    QSignalSpy dropped(remote, &TTreeList::rowsDropped);
    EXPECT_TRUE(Drop(remote, data.get(), 1));
    ASSERT_EQ(dropped.count(), 1);
    EXPECT_EQ(dropped[0][0].toInt(), 1);
    EXPECT_EQ(dropped[0][1].value<TTreeList*>(), remote);
    EXPECT_EQ(dropped[0][2].value<TTreeList*>(), local);
    EXPECT_EQ(remote->DragOverRow(), -1);
}

TEST_F(TTwoLists, DropOnTheSameListDoesNothing)
{
    Select(local, {2});
    std::unique_ptr<QMimeData> data(local->DragMimeData());
    QSignalSpy dropped(local, &TTreeList::rowsDropped);
    EXPECT_FALSE(Drop(local, data.get(), 1));
    EXPECT_EQ(dropped.count(), 0);
}

TEST_F(TTwoLists, LocalRowsCarryFileUrisAndRemoteRowsDoNot)
{
    Select(local, {0, 1, 2});  // ".." is never dragged
    std::unique_ptr<QMimeData> data(local->DragMimeData());
    ASSERT_TRUE(data);
    EXPECT_EQ(data->urls(), (QList<QUrl>{QUrl("file:///srv/c/Work/Sub"), QUrl("file:///srv/c/Work/a%20file.txt")}));
    EXPECT_TRUE(data->hasFormat("text/uri-list"));

    Select(remote, {2});
    std::unique_ptr<QMimeData> remoteData(remote->DragMimeData());
    ASSERT_TRUE(remoteData);
    EXPECT_FALSE(remoteData->hasUrls());

    Select(local, {0});
    EXPECT_EQ(local->DragMimeData(), nullptr);
}

TEST_F(TTwoLists, AllowedTargetsAndClosedListsRefuseTheDrop)
{
    Select(local, {2});
    QWidget elsewhere;
    local->EnableDrag(true, {&elsewhere});
    std::unique_ptr<QMimeData> data(local->DragMimeData());
    EXPECT_FALSE(Drop(remote, data.get(), 1));
    local->EnableDrag(true, {remote});
    EXPECT_TRUE(Drop(remote, data.get(), 1));
    remote->AcceptDrops(false);
    EXPECT_FALSE(Drop(remote, data.get(), 1));
    // Data from another program (or a list that is gone) is not taken for rows.
    QMimeData foreign;
    foreign.setUrls({QUrl("file:///tmp/x")});
    remote->AcceptDrops(true);
    EXPECT_FALSE(Drop(remote, &foreign, 1));
}

TEST_F(TTwoLists, DeleteKeyNoticeNeedsASelectionAndAnOwner)
{
    QSignalSpy deletes(local, &TTreeList::deletePressed);
    local->setFocus();
    Select(local, {2});
    QTest::keyClick(local, Qt::Key_Delete);
    EXPECT_EQ(deletes.count(), 0);
    local->SetDeleteNotify(true);
    QTest::keyClick(local, Qt::Key_Delete);
    EXPECT_EQ(deletes.count(), 1);
    local->clearSelection();
    QTest::keyClick(local, Qt::Key_Delete);
    EXPECT_EQ(deletes.count(), 1);
}

TEST_F(TTwoLists, DoubleClickOnTheCurrentRowIsReported)
{
    QSignalSpy opened(local, &TTreeList::rowDoubleClicked);
    const QPoint at = local->visualRect(local->Model()->index(1)).center();
    QTest::mouseClick(local->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(local->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(opened.count(), 1);
}

TEST_F(TTwoLists, HorizontalExtentOnlyForRowsWiderThanTheList)
{
    EXPECT_EQ(local->HorizontalExtent(), 0);
    local->Model()->AddRow(Row("a name far too long to fit inside a list that is only two hundred pixels", kRowFile));
    EXPECT_GT(local->HorizontalExtent(), local->viewport()->width());
}

}  // namespace

namespace {

struct TFakeFolders {
    std::map<QString, std::vector<TListingEntry>> folders;
    QStringList asked;
    TFolderReader Reader()
    {
        return [this](const QString& folder, std::vector<TListingEntry>& entries) {
            asked << folder;
            const auto found = folders.find(folder);
            if (found == folders.end())
                return false;
            entries = found->second;
            return true;
        };
    }
};

QStringList Texts(const TTreeList& list)
{
    QStringList texts;
    for (int i = 0; i < list.Model()->rowCount(); ++i)
        texts << list.Model()->RowText(i);
    return texts;
}

TEST(TreeListListing, ListsAFolderSortedWithTheSkipRules)
{
    TFakeFolders fs;
    fs.folders["C:\\Work"] = {{".", kOVF_attrDirectory},          {"..", kOVF_attrDirectory},
                              {"zeta.txt", kOVF_attrArchive, 10}, {"Beta", kOVF_attrDirectory},
                              {"alpha.exe", 0, 5000},             {".secret", kOVF_attrHidden, 1},
                              {"Alpha", kOVF_attrDirectory}};
    fs.folders[""] = {};
    TTreeList list;
    list.SetFolderReader(fs.Reader());
    const unsigned flags = kTreeSortName | kTreeKeepParentRow | kTreeShowSize;
    EXPECT_EQ(list.ListFolder(kOVF_attrDirectory, "*.*", flags, "C:\\Work\\"), 0);
    EXPECT_EQ(fs.asked.last(), "C:\\Work");
    EXPECT_EQ(Texts(list), (QStringList{"..", "Alpha", "Beta", "alpha.exe", "zeta.txt"}));
    EXPECT_EQ(list.Model()->RowIcon(3), kIconProgram);
    EXPECT_EQ(list.Model()->RowSize(3), 5000);
    EXPECT_EQ(list.Model()->RowFullPath(4), "C:\\Work\\zeta.txt");

    list.Model()->Clear();
    EXPECT_EQ(list.ListFolder(kOVF_attrDirectory, "*.*", kTreeSortName, "\\"), 0);
    EXPECT_EQ(fs.asked.last(), "");
    EXPECT_EQ(list.ListFolder(kOVF_attrDirectory, "*.*", kTreeSortName, "C:\\Missing"), -1);
    EXPECT_EQ(list.Model()->rowCount(), 0);
}

TEST(TreeListListing, PathModeAddsARowForEachPartOfTheFolder)
{
    TFakeFolders fs;
    fs.folders["C:\\Work\\Deep"] = {{"f.txt", 0, 1}};
    TTreeList list;
    list.SetFolderReader(fs.Reader());
    ASSERT_EQ(list.ListFolder(kOVF_attrDirectory, "*.*", kTreePathMode | kTreeSortName, "C:\\Work\\Deep"), 0);
    EXPECT_EQ(Texts(list), (QStringList{"C:", "Work", "Deep", "f.txt"}));
    EXPECT_EQ(list.Model()->RowLevel(2), 2);
    EXPECT_EQ(list.Model()->RowIcon(1), kIconOpenFolder);
}

}  // namespace
