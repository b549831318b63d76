// The Vantry window against a real host: browsing both panes, copying both ways by menu, F8 and
// drops, the replace answers, removing, new folders, privileges, busy state, keys and layout.
#include "WindowFixture.h"

#include "ConfirmReplaceDialog.h"
#include "DialogHost.h"
#include "WindowDialogHost.h"
#include "NewFolderDialog.h"
#include "OVFDrives.h"
#include "RandomBytes.h"
#include "RemoteFilePicker.h"
#include "TreeList.h"
#include "Vntrgst.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>
#include <QTest>
#include <QToolButton>

#include <signal.h>
#include <sys/stat.h>

namespace {
std::int64_t ModifiedTime(const fs::path& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mtime;
}

// Delivers a drag of `data` onto `list` at its row `row` (-1: below the rows) as the platform would.
bool Drop(TTreeList* list, const QMimeData* data, int row)
{
    const QPoint at = row >= 0 ? list->visualRect(list->Model()->index(row)).center()
                               : QPoint(5, list->viewport()->height() - 3);
    QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &move);
    QDropEvent drop(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    return drop.isAccepted();
}

void Enter(TFilePicker* pane, const QString& name)
{
    pane->SelectRows({name});
    pane->OpenRow();
}

void SetTreeTimes(const fs::path& root)
{
    for (const auto& item : fs::recursive_directory_iterator(root))
        if (item.is_regular_file())
            fs::last_write_time(item.path(), fs::file_time_type::clock::now() - std::chrono::hours(50));
}
} // namespace

using WindowTest = TWindowFixture;

TEST_F(WindowTest, BrowsesBothPanesUpAndDownAndByTheDriveCombo)
{
    WriteFile(Share() / "dir/sub/inner.txt", "inner");
    WriteFile(Share() / "top.txt", "top");
    WriteFile(Local() / "ldir/deeper/l.txt", "l");
    StartServe();
    Open();
    CZulVntr* window = Window();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vantry Files with 127.0.0.1"));
    TFilePicker* local = window->LocalPane();
    TRemoteFilePicker* remote = window->RemotePane();
    EXPECT_EQ(remote->CurrentFolder().toLower(), QStringLiteral("c:\\"));
    EXPECT_TRUE(HasRow(remote, QStringLiteral("dir")));
    EXPECT_TRUE(HasRow(remote, QStringLiteral("top.txt")));
    EXPECT_FALSE(HasRow(remote, QStringLiteral("..")));
    EXPECT_FALSE(remote->ToolButton(0)->isEnabled()) << "up one folder at a root";
    EXPECT_TRUE(HasRow(local, QStringLiteral("ldir")));

    Enter(remote, QStringLiteral("dir"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(remote->CurrentFolder().toLower(), QStringLiteral("c:\\dir"));
    EXPECT_TRUE(HasRow(remote, QStringLiteral("sub")));
    EXPECT_FALSE(HasRow(remote, QStringLiteral("..")));
    Enter(remote, QStringLiteral("sub"));
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(HasRow(remote, QStringLiteral("inner.txt")));
    // The drive combo: the volume, then one row per folder of the path, the current one open.
    const TTreeListModel* combo = remote->DriveTree()->Model();
    ASSERT_EQ(combo->rowCount(), 3);
    EXPECT_EQ(combo->RowLevel(2), 2);
    EXPECT_EQ(combo->RowIcon(2), 20102);
    EXPECT_EQ(remote->DriveCombo()->currentIndex(), 2);
    remote->ChooseDrive(1);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(remote->CurrentFolder().toLower(), QStringLiteral("c:\\dir"));
    remote->UpOneFolder();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(remote->CurrentFolder().toLower(), QStringLiteral("c:\\"));

    Select(local, {QStringLiteral("ldir")});
    QTest::keyClick(local->ActiveList(), Qt::Key_Return);
    EXPECT_EQ(local->CurrentFolder(), QStringLiteral("C:\\ldir"));
    EXPECT_TRUE(HasRow(local, QStringLiteral("deeper")));
    local->ChooseDrive(0);
    EXPECT_EQ(local->CurrentFolder(), QStringLiteral("C:\\"));
}

TEST_F(WindowTest, TheLocalDesktopComesFirstInTheDriveComboAndCopiesLikeAnyFolder)
{
    WriteFile(m_root / "desk/notes/n.txt", "notes");
    WriteFile(m_root / "desk/d.txt", "on the desktop");
    StartServe();
    Open();
    ASSERT_EQ(Session()->HostKind(), 'T');
    ASSERT_EQ(OVF_SetDesktopFolder((m_root / "desk").c_str()), 0);
    TFilePicker* local = Window()->LocalPane();
    local->Fill();
    const TTreeListModel* combo = local->DriveTree()->Model();
    ASSERT_GE(combo->rowCount(), 2);
    EXPECT_EQ(combo->Row(0).text, QStringLiteral("Desktop"));
    EXPECT_EQ(combo->RowIcon(0), 20128);
    EXPECT_EQ(local->DriveCombo()->currentIndex(), 1) << "the current drive, not the desktop";

    local->ChooseDrive(0);
    EXPECT_EQ(local->CurrentFolder(), QStringLiteral("Desktop:\\"));
    EXPECT_TRUE(HasRow(local, QStringLiteral("notes")));
    EXPECT_FALSE(local->ToolButton(0)->isEnabled()) << "up one folder at the desktop's root";
    Select(local, {QStringLiteral("notes")});
    QTest::keyClick(local->ActiveList(), Qt::Key_Return);
    EXPECT_EQ(local->CurrentFolder(), QStringLiteral("Desktop:\\notes"));
    ASSERT_EQ(combo->rowCount(), 3);
    EXPECT_EQ(combo->RowLevel(1), 1);
    EXPECT_EQ(combo->RowIcon(1), 20102);
    EXPECT_EQ(local->DriveCombo()->currentIndex(), 1);
    local->ChooseDrive(0);
    EXPECT_EQ(local->CurrentFolder(), QStringLiteral("Desktop:\\"));

    Select(local, {QStringLiteral("d.txt"), QStringLiteral("notes")});
    QTest::keyClick(Window(), Qt::Key_F8);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ReadAll(Share() / "d.txt"), "on the desktop");
    EXPECT_EQ(ReadAll(Share() / "notes/n.txt"), "notes");
}

TEST_F(WindowTest, RemotePaneStartsInTheFolderTheLocationNames)
{
    WriteFile(Share() / "dir/sub/inner.txt", "inner");
    StartServe();
    Open(QStringLiteral("C:\\dir\\sub"));
    EXPECT_TRUE(HasRow(Window()->RemotePane(), QStringLiteral("inner.txt")));
}

TEST_F(WindowTest, CopiesFilesAndTreesBothWaysByMenuAndF8)
{
    WriteFile(Local() / "up.txt", "up data");
    WriteFile(Local() / "tree/a/b/deep.bin", RandomBytes(70000, 1));
    WriteFile(Local() / "tree/top.txt", "top");
    SetTreeTimes(Local());
    WriteFile(Share() / "down.bin", RandomBytes(9000, 2));
    WriteFile(Share() / "rtree/x/y.txt", "y");
    SetTreeTimes(Share());
    StartServe();
    Open();
    CZulVntr* window = Window();

    // Local to remote by the menu.
    Select(window->LocalPane(), {QStringLiteral("up.txt"), QStringLiteral("tree")});
    ASSERT_TRUE(window->Action(CZulVntr::kCmdCopy)->isEnabled());
    window->Action(CZulVntr::kCmdCopy)->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_FALSE(m_messages.empty());
    EXPECT_TRUE(m_messages.back().question);
    EXPECT_TRUE(m_messages.back().text.contains(QStringLiteral("FROM Local: tree up.txt \n\nTO Remote folder:  c:\\"),
                                                 Qt::CaseInsensitive))
        << m_messages.back().text.toStdString();
    EXPECT_EQ(ReadAll(Share() / "up.txt"), "up data");
    EXPECT_TRUE(ReadAll(Share() / "tree/a/b/deep.bin") == RandomBytes(70000, 1));
    EXPECT_EQ(ModifiedTime(Share() / "tree/a/b/deep.bin"), ModifiedTime(Local() / "tree/a/b/deep.bin"));
    EXPECT_TRUE(HasRow(window->RemotePane(), QStringLiteral("up.txt"))) << "the destination is listed again";
    EXPECT_EQ(window->StatusWindow(), nullptr);

    // Remote to local by F8.
    Select(window->RemotePane(), {QStringLiteral("down.bin"), QStringLiteral("rtree")});
    QTest::keyClick(window, Qt::Key_F8);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(m_messages.back().text.contains(QStringLiteral("FROM Remote: ")));
    EXPECT_TRUE(ReadAll(Local() / "down.bin") == RandomBytes(9000, 2));
    EXPECT_EQ(ReadAll(Local() / "rtree/x/y.txt"), "y");
    EXPECT_EQ(ModifiedTime(Local() / "down.bin"), ModifiedTime(Share() / "down.bin"));
    EXPECT_TRUE(HasRow(window->LocalPane(), QStringLiteral("down.bin")));

    // Answered No, nothing is copied; with nothing selected, 404.
    m_nAnswer = 7;
    WriteFile(Local() / "kept.txt", "kept");
    window->RefreshLocalPane();
    Select(window->LocalPane(), {QStringLiteral("kept.txt")});
    window->OnCopy();
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(fs::exists(Share() / "kept.txt"));
    Select(window->LocalPane(), {});
    window->OnCopy();
    EXPECT_EQ(m_messages.back().text, QStringLiteral("There were no valid selections for the desired operation."));
}

TEST_F(WindowTest, ReplacePromptAnswers)
{
    struct {
        int button;
        const char* second; // what b.txt holds on the host afterwards
        const char* first;
    } const cases[] = {
        {TConfirmReplaceDialog::kYes, "old b", "new a"},
        {TConfirmReplaceDialog::kNo, "old b", "old a"},
        {TConfirmReplaceDialog::kYesToAll, "new b", "new a"},
        {TConfirmReplaceDialog::kCancel, "old b", "old a"},
    };
    StartServe();
    Open();
    for (const auto& c : cases) {
        WriteFile(Local() / "a.txt", "new a");
        WriteFile(Local() / "b.txt", "new b");
        WriteFile(Share() / "a.txt", "old a");
        WriteFile(Share() / "b.txt", "old b");
        Window()->RefreshLocalPane();
        Select(Window()->LocalPane(), {QStringLiteral("a.txt"), QStringLiteral("b.txt")});
        // The first prompt takes the case's answer, any later one No.
        int asked = 0;
        AnswerEachModal([&asked, &c](QWidget* modal) {
            auto* dialog = qobject_cast<TConfirmReplaceDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            qobject_cast<QPushButton*>(dialog->Control(asked++ == 0 ? c.button : TConfirmReplaceDialog::kNo))->click();
        });
        Window()->OnCopy();
        ASSERT_TRUE(WaitIdle());
        EXPECT_EQ(ReadAll(Share() / "a.txt"), c.first) << c.button;
        EXPECT_EQ(ReadAll(Share() / "b.txt"), c.second) << c.button;
    }
}

TEST_F(WindowTest, RemovesLocalAndRemoteItemsAfterConfirmation)
{
    WriteFile(Local() / "gone.txt", "x");
    WriteFile(Local() / "gonedir/in.txt", "x");
    WriteFile(Local() / "ro1.txt", "x");
    WriteFile(Local() / "ro2.txt", "x");
    fs::permissions(Local() / "ro1.txt", fs::perms::owner_write, fs::perm_options::remove);
    fs::permissions(Local() / "ro2.txt", fs::perms::owner_write, fs::perm_options::remove);
    WriteFile(Share() / "rgone.txt", "x");
    WriteFile(Share() / "rdir/in.txt", "x");
    WriteFile(Share() / "stays.txt", "x");
    StartServe();
    Open();
    CZulVntr* window = Window();

    Select(window->LocalPane(), {QStringLiteral("gone.txt"), QStringLiteral("gonedir")});
    window->Action(CZulVntr::kCmdRemove)->trigger();
    EXPECT_TRUE(m_messages.back().text.endsWith(QStringLiteral("Local files and folders?\n\ngonedir  gone.txt  ")))
        << m_messages.back().text.toStdString();
    EXPECT_FALSE(fs::exists(Local() / "gone.txt"));
    EXPECT_FALSE(fs::exists(Local() / "gonedir"));
    EXPECT_FALSE(HasRow(window->LocalPane(), QStringLiteral("gone.txt")));

    // Read-only files are asked about: Yes To All removes both without a second question.
    Select(window->LocalPane(), {QStringLiteral("ro1.txt"), QStringLiteral("ro2.txt")});
    int asked = 0;
    AnswerModal([&asked](QWidget* modal) {
        ++asked;
        qobject_cast<QPushButton*>(static_cast<TDialog*>(modal)->Control(TConfirmReplaceDialog::kYesToAll))->click();
    });
    window->OnRemove();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(fs::exists(Local() / "ro1.txt"));
    EXPECT_FALSE(fs::exists(Local() / "ro2.txt"));

    // Remote: one request an item, then the pane is listed again.
    Select(window->RemotePane(), {QStringLiteral("rgone.txt"), QStringLiteral("rdir")});
    QTest::keyClick(window, Qt::Key_Delete);
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(m_messages.back().text.contains(QStringLiteral("Remote files and folders?")))
        << m_messages.back().text.toStdString();
    EXPECT_FALSE(fs::exists(Share() / "rgone.txt"));
    EXPECT_FALSE(fs::exists(Share() / "rdir"));
    EXPECT_TRUE(fs::exists(Share() / "stays.txt"));
    EXPECT_FALSE(HasRow(window->RemotePane(), QStringLiteral("rgone.txt")));
    EXPECT_TRUE(HasRow(window->RemotePane(), QStringLiteral("stays.txt")));
}

TEST_F(WindowTest, ReadOnlyPromptCancelLeavesTheRestAndNoSkipsOne)
{
    for (const char* name : {"r1.txt", "r2.txt", "r3.txt"}) {
        WriteFile(Local() / name, "x");
        fs::permissions(Local() / name, fs::perms::owner_write, fs::perm_options::remove);
    }
    StartServe();
    Open();
    Select(Window()->LocalPane(), {QStringLiteral("r1.txt"), QStringLiteral("r2.txt"), QStringLiteral("r3.txt")});
    AnswerModal([this](QWidget* modal) {
        AnswerModal([](QWidget* next) {
            qobject_cast<QPushButton*>(static_cast<TDialog*>(next)->Control(TConfirmReplaceDialog::kCancel))->click();
        });
        qobject_cast<QPushButton*>(static_cast<TDialog*>(modal)->Control(TConfirmReplaceDialog::kNo))->click();
    });
    Window()->OnRemove();
    EXPECT_TRUE(fs::exists(Local() / "r1.txt"));
    EXPECT_TRUE(fs::exists(Local() / "r2.txt"));
    EXPECT_TRUE(fs::exists(Local() / "r3.txt"));
    EXPECT_FALSE(Window()->IsBusy());
}

TEST_F(WindowTest, NewFoldersOnBothSides)
{
    StartServe();
    Open();
    for (const int command : {CZulVntr::kCmdCreateLocalFolder, CZulVntr::kCmdCreateRemoteFolder}) {
        AnswerModal([](QWidget* modal) {
            auto* dialog = qobject_cast<TNewFolderDialog*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->NameEdit()->setText(QStringLiteral("Made Here"));
            dialog->accept();
        });
        Window()->Action(command)->trigger();
        ASSERT_TRUE(WaitIdle());
    }
    EXPECT_TRUE(fs::is_directory(Local() / "Made Here"));
    EXPECT_TRUE(fs::is_directory(Share() / "Made Here"));
    EXPECT_TRUE(HasRow(Window()->LocalPane(), QStringLiteral("Made Here")));
    EXPECT_TRUE(HasRow(Window()->RemotePane(), QStringLiteral("Made Here")));
}

TEST_F(WindowTest, DropsBetweenPanesCopyIntoTheFolderUnderThem)
{
    WriteFile(Local() / "dropped.txt", "dropped");
    WriteFile(Share() / "target/keep.txt", "k");
    WriteFile(Share() / "back.txt", "back");
    StartServe();
    Open();
    CZulVntr* window = Window();
    TTreeList* localList = window->LocalPane()->ActiveList();
    TTreeList* remoteList = window->RemotePane()->ActiveList();

    Select(window->LocalPane(), {QStringLiteral("dropped.txt")});
    std::unique_ptr<QMimeData> rows(localList->DragMimeData());
    ASSERT_TRUE(Drop(remoteList, rows.get(), remoteList->Model()->FindRow(QStringLiteral("target"))));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ReadAll(Share() / "target/dropped.txt"), "dropped");
    EXPECT_FALSE(fs::exists(Share() / "dropped.txt"));

    Select(window->LocalPane(), {QStringLiteral("dropped.txt")});
    rows.reset(localList->DragMimeData());
    ASSERT_TRUE(Drop(remoteList, rows.get(), -1));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ReadAll(Share() / "dropped.txt"), "dropped");

    Select(window->RemotePane(), {QStringLiteral("back.txt")});
    rows.reset(remoteList->DragMimeData());
    ASSERT_TRUE(Drop(localList, rows.get(), -1));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ReadAll(Local() / "back.txt"), "back");
}

TEST_F(WindowTest, MissingPrivilegesGreyTheMenuAndRefuseDrops)
{
    WriteFile(Local() / "l.txt", "l");
    WriteFile(Share() / "r.txt", "r");
    StartServe("read");
    Open();
    CZulVntr* window = Window();
    Select(window->LocalPane(), {QStringLiteral("l.txt")});
    EXPECT_FALSE(window->Action(CZulVntr::kCmdCopy)->isEnabled());
    EXPECT_TRUE(window->Action(CZulVntr::kCmdRemove)->isEnabled());
    EXPECT_FALSE(window->Action(CZulVntr::kCmdCreateRemoteFolder)->isEnabled());
    Select(window->RemotePane(), {QStringLiteral("r.txt")});
    EXPECT_TRUE(window->Action(CZulVntr::kCmdCopy)->isEnabled());
    EXPECT_FALSE(window->Action(CZulVntr::kCmdRemove)->isEnabled());

    Select(window->LocalPane(), {QStringLiteral("l.txt")});
    std::unique_ptr<QMimeData> rows(window->LocalPane()->ActiveList()->DragMimeData());
    Drop(window->RemotePane()->ActiveList(), rows.get(), -1);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(m_messages.back().text, QStringLiteral("You do not have the privileges to copy in that direction."));
    EXPECT_FALSE(fs::exists(Share() / "l.txt"));
    Select(window->RemotePane(), {QStringLiteral("r.txt")});
    window->OnRemove();
    EXPECT_EQ(m_messages.back().text, QStringLiteral("You do not have permission to remove files on the remote computer."));
    EXPECT_TRUE(fs::exists(Share() / "r.txt"));
}

TEST_F(WindowTest, BusyGreysCommandsAndCancelStopsALargeCopyWithoutAPartialFile)
{
    WriteFile(Local() / "large.bin", RandomBytes(64 * 1024 * 1024, 5));
    StartServe();
    Open();
    CZulVntr* window = Window();
    Select(window->LocalPane(), {QStringLiteral("large.bin")});
    window->OnCopy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Engine().BytesDone() > 0; }, 20000));
    EXPECT_TRUE(window->IsBusy());
    ASSERT_NE(window->StatusWindow(), nullptr);
    window->UpdateMenu();
    for (const int id : {CZulVntr::kCmdCopy, CZulVntr::kCmdRemove, CZulVntr::kCmdCreateLocalFolder,
                         CZulVntr::kCmdCreateRemoteFolder, CZulVntr::kCmdClose})
        EXPECT_FALSE(window->Action(id)->isEnabled()) << id;
    EXPECT_FALSE(window->CloseButton()->isEnabled());
    EXPECT_FALSE(window->HelpButton()->isEnabled());
    QTest::keyClick(window, Qt::Key_Escape);
    EXPECT_FALSE(m_bClosed) << "Escape does nothing while busy";

    emit window->StatusWindow()->cancelRequested();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(window->StatusWindow(), nullptr);
    EXPECT_FALSE(fs::exists(Share() / "large.bin"));
    std::size_t nLeft = 0;
    for ([[maybe_unused]] const auto& item : fs::directory_iterator(Share()))
        ++nLeft;
    EXPECT_EQ(nLeft, 0u) << "no partial file left behind";
}

TEST_F(WindowTest, ViewsSortingAndSelectionMemory)
{
    WriteFile(Local() / "b.txt", std::string(5000, 'b'));
    WriteFile(Local() / "a.txt", std::string(9000, 'a'));
    WriteFile(Local() / "c.txt", std::string(10, 'c'));
    StartServe();
    Open();
    CZulVntr* window = Window();
    TFilePicker* local = window->LocalPane();
    Select(local, {QStringLiteral("a.txt")});
    window->Action(CZulVntr::kCmdViewDetails)->trigger();
    ASSERT_EQ(local->View().mode, EViewMode::Details);
    const auto order = [local] {
        QStringList names;
        for (int i = 0; i < local->ActiveList()->Model()->rowCount(); ++i)
            names << local->ActiveList()->Model()->RowText(i);
        return names.join(QLatin1Char(' '));
    };
    EXPECT_EQ(order(), QStringLiteral("a.txt b.txt c.txt"));
    local->Header(1)->click();
    EXPECT_EQ(order(), QStringLiteral("c.txt b.txt a.txt"));
    local->Header(1)->click();
    EXPECT_EQ(order(), QStringLiteral("a.txt b.txt c.txt"));
    EXPECT_EQ(local->Header(1)->property("sortState").toInt(), 2);
    local->ActiveList()->setFocus();
    window->UpdateMenu();
    EXPECT_TRUE(window->Action(CZulVntr::kCmdSortSize)->isChecked());
    EXPECT_TRUE(window->Action(CZulVntr::kCmdDescending)->isChecked());
    window->Action(CZulVntr::kCmdAscending)->trigger();
    EXPECT_EQ(order(), QStringLiteral("c.txt b.txt a.txt"));

    // The local highlight clears when the remote list takes the focus and comes back after.
    local->SelectRows({QStringLiteral("b.txt")});
    window->RemotePane()->ActiveList()->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    EXPECT_TRUE(local->ActiveList()->SelectedRows().empty());
    EXPECT_EQ(Session()->m_bRemotePaneActive, 1);
    local->ActiveList()->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
    ASSERT_EQ(local->ActiveList()->SelectedRows().size(), 1u);
    EXPECT_EQ(local->ActiveList()->Model()->RowText(local->ActiveList()->SelectedRows().front()), QStringLiteral("b.txt"));
    EXPECT_EQ(Session()->m_bRemotePaneActive, 0);

    window->Action(CZulVntr::kCmdViewList)->trigger();
    window->UpdateMenu();
    EXPECT_FALSE(qobject_cast<QWidget*>(window->Action(CZulVntr::kCmdSortName)->parent())->isEnabled()) << "Sort By greyed in list view";
}

TEST_F(WindowTest, OldHostOffersTheListViewAlone)
{
    StartServe();
    Open({}, 7);
    EXPECT_TRUE(Window()->RemotePane()->IsOldHost());
    EXPECT_FALSE(Window()->RemotePane()->ToolButton(3)->isEnabled());
    Window()->RemotePane()->SetView(EViewMode::Details);
    Window()->RemotePane()->ActiveList()->setFocus();
    Window()->Action(CZulVntr::kCmdViewDetails)->trigger();
    EXPECT_EQ(Window()->RemotePane()->View().mode, EViewMode::List);
}

TEST_F(WindowTest, LayoutMinimumSizeButtonsAndColumnLimits)
{
    StartServe();
    Open();
    CZulVntr* window = Window();
    const QSize first = window->size();
    EXPECT_EQ(window->minimumSize(), first);
    for (const QSize size : {QSize(first.width() + 200, first.height() + 120), first}) {
        window->resize(size);
        QApplication::processEvents();
        EXPECT_EQ(window->HelpButton()->x(), 7);
        EXPECT_EQ(window->CloseButton()->geometry().right() + 1, window->width() - 7);
        EXPECT_EQ(window->HelpButton()->geometry().bottom() + 1, window->height() - 4);
        EXPECT_EQ(window->LocalPane()->width(), window->width() - 12);
        EXPECT_LT(window->LocalPane()->geometry().bottom(), window->RemotePane()->y());
        EXPECT_LT(window->RemotePane()->geometry().bottom(), window->HelpButton()->y());
    }
    TFilePicker* local = window->LocalPane();
    local->SetView(EViewMode::Details);
    const TColumnBounds before = local->Columns();
    EXPECT_FALSE(local->DragNameSizeBoundary(10));
    EXPECT_FALSE(local->DragSizeModifiedBoundary(100000));
    EXPECT_EQ(local->Columns().nameSize, before.nameSize);
    EXPECT_TRUE(local->DragSizeModifiedBoundary(60));
    EXPECT_EQ(local->Columns().nameSize, 30);
}

TEST_F(WindowTest, RemovableDriveNotReadyFallsBackToAWorkingDrive)
{
    StartServe();
    Open();
    // A removable drive whose medium went away after it was defined.
    fs::create_directories(m_root / "medium");
    ASSERT_EQ(OVF_SetDrive('E', (m_root / "medium").c_str(), OVFDriveKind::removable, ""), 0);
    fs::remove(m_root / "medium");
    TFilePicker* local = Window()->LocalPane();
    local->Fill();
    const int row = local->DriveTree()->Model()->FindRow(QStringLiteral("e:"));
    ASSERT_GE(row, 0);
    local->ChooseDrive(row);
    ASSERT_FALSE(m_messages.empty());
    EXPECT_TRUE(m_messages.back().text.startsWith(QStringLiteral("Drive E:\\ is not ready."))) << m_messages.back().text.toStdString();
    EXPECT_EQ(local->CurrentFolder(), QStringLiteral("C:\\"));
}

TEST_F(WindowTest, EscapeClosesTheWindowAndEndsTheSession)
{
    StartServe();
    Open();
    QTest::keyClick(Window(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_bClosed; }, 10000));
    EXPECT_EQ(m_nStopReason, kStopUserClosed);
    EXPECT_EQ(CurrentGuestSession(), nullptr);
}

TEST_F(WindowTest, FilesDroppedFromAnotherProgramAreUploadedFolderByFolder)
{
    WriteFile(Local() / "one/a.txt", "a");
    WriteFile(Local() / "two/b.txt", "b");
    WriteFile(Local() / "two/sub/c.txt", "c");
    fs::create_directories(Share() / "in");
    StartServe();
    Open();
    TTreeList* remoteList = Window()->RemotePane()->ActiveList();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QString::fromStdString((Local() / "one/a.txt").string())),
                   QUrl::fromLocalFile(QString::fromStdString((Local() / "two/b.txt").string())),
                   QUrl::fromLocalFile(QString::fromStdString((Local() / "two/sub").string()))});
    ASSERT_TRUE(Drop(remoteList, &files, remoteList->Model()->FindRow(QStringLiteral("in"))));
    ASSERT_TRUE(QTest::qWaitFor([this] { return fs::exists(Share() / "in/sub/c.txt"); }, 20000));
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(ReadAll(Share() / "in/a.txt"), "a");
    EXPECT_EQ(ReadAll(Share() / "in/b.txt"), "b");
    EXPECT_EQ(ReadAll(Share() / "in/sub/c.txt"), "c");

    QMimeData remoteUrl;
    remoteUrl.setUrls({QUrl(QStringLiteral("https://example.invalid/x"))});
    EXPECT_FALSE(Drop(remoteList, &remoteUrl, -1)) << "only local files are taken";
}

TEST_F(WindowTest, HelpOpensTheManualAtTheSectionOfItsContext)
{
    StartServe();
    Open();
    TWindowDialogHost& help = *DialogHostOfWindow();
    Window()->HelpButton()->click();
    ASSERT_NE(help.Browser(), nullptr);
    EXPECT_TRUE(help.Browser()->isVisible());
    EXPECT_TRUE(help.Browser()->toPlainText().contains(QStringLiteral("The Vantry window")));
    EXPECT_EQ(HelpSection(CZulVntr::kHelpWindowContext), QStringLiteral("window"));
    // F1 anywhere in the window asks for the window's help, as the button does.
    QSignalSpy asked(Window(), &TDialog::helpRequested);
    QTest::keyClick(Window()->RemotePane()->ActiveList(), Qt::Key_F1);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.at(0).at(0).toInt(), CZulVntr::kHelpWindowContext);
    Window()->Action(CZulVntr::kCmdHelpContents)->trigger();
    EXPECT_EQ(HelpSection(CZulVntr::kHelpCommandContext), QStringLiteral("contents"));
    // Every section the manual promises is there.
    const QString html = help.Browser()->toHtml();
    for (const char* section : {"panes", "copying", "replace", "removing", "folders", "views", "keys", "privileges",
                                "connecting"})
        EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(QLatin1String(section)))) << section;
}

// A dialog runs a nested event loop: the session that opened it must not act on its replies
// underneath it. Its deliveries wait for the answer, then go on in order.
TEST_F(WindowTest, AnOpenDialogHoldsItsSessionsRepliesUntilItIsAnswered)
{
    StartServe();
    Open();
    Window()->RemotePane()->Fill(); // a listing goes out; the pane stays busy until its reply is taken
    ASSERT_TRUE(Window()->IsBusy());
    bool bArrived = false;
    bool bBusyWhileOpen = false;
    AnswerModal([&](QWidget* modal) {
        bArrived = QTest::qWaitFor([&] { return HostApp()->WaitingDeliveries() > 0; }, 10000);
        bBusyWhileOpen = Window()->IsBusy();
        static_cast<QDialog*>(modal)->done(ReplaceAnswer::kNo);
    });
    EXPECT_EQ(Window()->AskReplace("held.txt", false), ReplaceAnswer::kNo);
    EXPECT_TRUE(bArrived) << "the host's reply came in while the dialog was open";
    EXPECT_TRUE(bBusyWhileOpen) << "and waited for the answer";
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(HostApp()->WaitingDeliveries(), 0u);
    EXPECT_EQ(Window()->RemotePane()->CurrentFolder().toLower(), QStringLiteral("c:\\"));
}

TEST_F(WindowTest, ALostConnectionIsToldAndEndsTheSession)
{
    StartServe();
    Open();
    kill(m_nServe, SIGKILL); // the host goes away without a word
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_bClosed; }, 20000));
    EXPECT_NE(m_nStopReason, kStopUserClosed);
    ASSERT_FALSE(m_messages.empty());
    EXPECT_TRUE(m_messages.back().text.contains(QStringLiteral("lost its connection"))) << m_messages.back().text.toStdString();
}

// No child of the window lies outside its parent, and no button shows less than its text.
TEST_F(WindowTest, ChildrenFitTheirParentsAndButtonTextsAreWhole)
{
    StartServe();
    Open();
    Window()->LocalPane()->SetView(EViewMode::Details);
    QApplication::processEvents();
    for (const QSize size : {Window()->size(), Window()->size() + QSize(300, 200)}) {
        Window()->resize(size);
        QApplication::processEvents();
        for (QWidget* child : Window()->findChildren<QWidget*>()) {
            if (!child->isVisible() || child->isWindow() || !child->parentWidget() ||
                qobject_cast<QAbstractScrollArea*>(child->parentWidget()) ||
                qobject_cast<QAbstractScrollArea*>(child->parentWidget()->parentWidget()))
                continue;
            EXPECT_TRUE(child->parentWidget()->rect().contains(child->geometry()))
                << child->metaObject()->className() << " " << child->objectName().toStdString();
        }
        for (QPushButton* button : Window()->findChildren<QPushButton*>()) {
            if (!button->isVisible())
                continue;
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(button->text()))
                << button->text().toStdString();
        }
    }
}
