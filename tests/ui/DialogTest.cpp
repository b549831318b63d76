#include "ConfirmReplaceDialog.h"
#include "DialogHost.h"
#include "MessageBoxes.h"
#include "NewFolderChecks.h"
#include "NewFolderDialog.h"
#include "StatusWindow.h"
#include "StringTable.h"
#include "WaitDialogs.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QString Repeat(char c, int count) { return QString(count, QLatin1Char(c)); }

TEST(NewFolderChecks, LocalChecksInOrder)
{
    const QString folder240 = "C:\\" + Repeat('f', 237);
    const struct {
        QString name;
        QString folder;
        bool longNames;
        int expected;
    } cases[] = {
        {"", "C:\\Work", true, IDS_FOLDER_NAME_EMPTY},
        {"Reports", "C:\\Work", true, 0},
        {"a very long folder name", "C:\\Work", true, 0},
        // Without long names: 8.3 only.
        {"ABCDEFGH.TXT", "C:\\", false, 0},
        {"ABCDEFGHI", "C:\\", false, IDS_ILLEGAL_FOLDER_NAME},
        {"ABCDEFGHIJKLM", "C:\\", false, IDS_FOLDER_NAME_TOO_LONG},
        {"AB CD", "C:\\", false, IDS_ILLEGAL_FOLDER_NAME},
        {"ABCDEFGH.", "C:\\", false, IDS_ILLEGAL_FOLDER_NAME},
        // Too long for the folder comes before the characters.
        {Repeat('n', 10) + "*", folder240, true, IDS_FOLDER_NAME_LENGTH_1},
        {"a*b", "C:\\Work", true, IDS_FOLDER_NAME_CHARACTERS},
        {"a|b", "", true, IDS_FOLDER_NAME_CHARACTERS},
        {QString("brand") + QChar(0x2122), "C:\\Work", true, IDS_FOLDER_NAME_CHARACTERS},
        // Letters whose UTF-8 form holds the byte 0x99 are fine.
        {QString("cz") + QChar(0x0119) + "sto", "C:\\Work", true, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckLocalFolderName(c.name, c.folder, c.longNames).messageId, c.expected)
            << c.name.toStdString();
    for (const char* bad : {"\"", "*", "/", ":", "<", ">", "?", "\\", "|"})
        EXPECT_EQ(CheckLocalFolderName(QString("x") + bad, "C:\\", true).messageId, IDS_FOLDER_NAME_CHARACTERS) << bad;
}

TEST(NewFolderChecks, FolderLengthMessageOffersALengthThatWorks)
{
    // 240 characters with a trailing "\": 6 characters are left for the name.
    const QString withSlash = "C:\\" + Repeat('f', 236) + "\\";
    ASSERT_EQ(withSlash.size(), 240);
    const TFolderNameVerdict verdict = CheckLocalFolderName(Repeat('n', 7), withSlash, true);
    EXPECT_EQ(verdict.message, "The folder name (nnnnnnn) you entered is too long.  Please choose a name with 6 "
                               "characters or less.");
    EXPECT_EQ(CheckLocalFolderName(Repeat('n', 6), withSlash, true).messageId, 0);
    // Without it the separator takes one more.
    const QString noSlash = "C:\\" + Repeat('f', 237);
    EXPECT_TRUE(CheckLocalFolderName(Repeat('n', 7), noSlash, true).message.contains("name with 5 characters"));
    EXPECT_EQ(CheckLocalFolderName(Repeat('n', 5), noSlash, true).messageId, 0);
    // No room left at all: the dialog closes.
    const TFolderNameVerdict full = CheckLocalFolderName("x", "C:\\" + Repeat('f', 244), true);
    EXPECT_EQ(full.messageId, IDS_WORKING_FOLDER_TOO_LONG);
    EXPECT_TRUE(full.closesDialog);
}

TEST(NewFolderChecks, RemoteLastFailingCheckDecides)
{
    const QStringList entries{"Reports", "notes.txt"};
    const struct {
        QString name;
        int kind;
        int expected;
    } cases[] = {
        {"", 1, IDS_FOLDER_NAME_EMPTY},
        {"Fresh", 1, 0},
        {"ABCDEFGHIJKLM", 0, IDS_FOLDER_NAME_TOO_LONG},
        {"ABCDEFGHIJK M", 0, IDS_ILLEGAL_FOLDER_NAME},  // the blank overrides the length
        {"ABCDEFGH.TXT", 0, 0},
        {"ABCDEFGHI", 0, IDS_ILLEGAL_FOLDER_NAME},
        {Repeat('a', 31), 2, 0},
        {Repeat('a', 32), 2, IDS_FOLDER_NAME_TOO_LONG},
        {Repeat('a', 40) + "?", 2, IDS_FOLDER_NAME_CHARACTERS},
        {"reports", 1, IDS_FOLDER_NOT_CREATED},
        {"Reports", 0, IDS_FOLDER_NOT_CREATED},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckRemoteFolderName(c.name, c.kind, entries).messageId, c.expected)
            << c.name.toStdString() << " kind " << c.kind;
}

// Records message boxes instead of showing them.
struct TMessages {
    QStringList shown;
    TMessages()
    {
        SetMessagePresenter([this](QWidget*, const QString& text, TMessageKind) {
            shown << text;
            return 1;
        });
    }
    ~TMessages() { SetMessagePresenter({}); }
};

struct TFakePane : ILocalFolderPane {
    QString folder = "C:\\Work";
    bool canCreate = true;
    QStringList created;
    QStringList rows;
    QString CurrentFolder() const override { return folder; }
    bool CreateFolder(const QString& path) override
    {
        if (canCreate)
            created << path;
        return canCreate;
    }
    void AddFolderRow(const QString& name) override { rows << name; }
};

TEST(NewFolderDialog, LocalTrimsCreatesAndAddsTheRow)
{
    TMessages messages;
    TFakePane pane;
    TNewFolderDialog dialog(pane, true);
    EXPECT_EQ(dialog.NameEdit()->text(), "Folder");
    EXPECT_EQ(dialog.NameEdit()->maxLength(), 247);
    dialog.show();
    dialog.NameEdit()->setText("   Budget 2025  ");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.NameEdit()->text(), "Budget 2025");
    EXPECT_EQ(pane.created, QStringList{"C:\\Work\\Budget 2025"});
    EXPECT_EQ(pane.rows, QStringList{"Budget 2025"});
    EXPECT_TRUE(messages.shown.isEmpty());
}

TEST(NewFolderDialog, RefusalKeepsTheDialogOpenWithTheTextSelected)
{
    TMessages messages;
    TFakePane pane;
    pane.canCreate = false;
    TNewFolderDialog dialog(pane, true);
    dialog.show();
    dialog.NameEdit()->setText("    ");
    dialog.accept();
    dialog.NameEdit()->setText("Exists");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.NameEdit()->selectedText(), "Exists");
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0], "The folder name field is empty. Please enter a folder name.");
    EXPECT_EQ(messages.shown[1],
              "Folder was not created.  The Folder already exists or the disk is write-protected.");
    EXPECT_TRUE(pane.rows.isEmpty());
}

TEST(NewFolderDialog, WorkingFolderTooLongClosesTheDialog)
{
    TMessages messages;
    TFakePane pane;
    pane.folder = "C:\\" + Repeat('f', 244);
    TNewFolderDialog dialog(pane, true);
    dialog.show();
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(messages.shown,
              QStringList{"Your Working folder path is too long to allow any folder creation in it."});
}

struct TFakeRemote : IRemoteFolderSite {
    QStringList entries{"Archive"};
    QStringList requested;
    int NamingKind() const override { return 1; }
    QStringList CurrentEntries() const override { return entries; }
    void CreateRemoteFolder(const QString& name) override { requested << name; }
};

TEST(NewFolderDialog, RemoteRefusesAnExistingNameAndAsksForANewOne)
{
    TMessages messages;
    TFakeRemote remote;
    TNewFolderDialog dialog(remote);
    dialog.show();
    dialog.NameEdit()->setText("ARCHIVE");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    dialog.NameEdit()->setText(" Incoming ");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(remote.requested, QStringList{"Incoming"});
    EXPECT_EQ(messages.shown.size(), 1);
}

TEST(ConfirmReplace, NamesListStopsAtElevenNames)
{
    QStringList names;
    for (int i = 1; i <= 12; ++i)
        names << QString("f%1").arg(i);
    EXPECT_EQ(ReplaceNamesText(names), "f1  f2  f3  f4  f5  f6  f7  f8  f9  f10  f11   ...");
    EXPECT_EQ(ReplaceNamesText(names.mid(0, 11)), "f1  f2  f3  f4  f5  f6  f7  f8  f9  f10  f11  ");
    EXPECT_EQ(ReplaceNamesText({"only.txt"}), "only.txt  ");
}

TEST(ConfirmReplace, ButtonsGiveTheirResultsAndPauseTheStatusAnimation)
{
    const struct {
        int button;
        bool yesToAll;
        bool no;
    } cases[] = {{1, false, false}, {6, true, false}, {7, false, true}, {2, false, false}};
    TStatusWindow status(nullptr, [] { return 0u; });
    for (const auto& c : cases) {
        int result = -1;
        bool yesToAll = false;
        bool no = false;
        {
            TConfirmReplaceDialog dialog(nullptr, {"a.txt"}, false, &status);
            EXPECT_FALSE(status.IsAnimating());
            QTimer::singleShot(0, &dialog, [&dialog, &c] {
                qobject_cast<QPushButton*>(dialog.Control(c.button))->click();
            });
            result = dialog.RunModal();
            yesToAll = dialog.YesToAllPressed();
            no = dialog.NoPressed();
        }
        EXPECT_TRUE(status.IsAnimating());
        EXPECT_EQ(result, c.button);
        EXPECT_EQ(yesToAll, c.yesToAll);
        EXPECT_EQ(no, c.no);
    }
}

TEST(ConfirmReplace, ReadOnlyModeAsksAboutDeleting)
{
    TConfirmReplaceDialog dialog(nullptr, {"locked.doc"}, true);
    auto* question = dialog.Control(TConfirmReplaceDialog::kQuestionId);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(dialog.ControlTextLength(TConfirmReplaceDialog::kQuestionId),
              QString("The file is a read-only file.\nAre you sure you want to delete?").size());
    EXPECT_TRUE(qobject_cast<QPushButton*>(dialog.Control(TConfirmReplaceDialog::kYes))->isDefault());
}

TEST(WaitDialogs, ShowTheHostNameAndReportCancel)
{
    TAdmitWaitDialog admit;
    EXPECT_EQ(admit.HostName(), "Unknown");
    EXPECT_EQ(admit.windowTitle(), "Orvalis Pro ");
    admit.SetHostName("server-7");
    EXPECT_EQ(admit.HostName(), "server-7");
    QSignalSpy cancelled(&admit, &TWaitDialog::cancelled);
    admit.CreateModeless();
    qobject_cast<QPushButton*>(admit.Control(2))->click();
    EXPECT_EQ(cancelled.count(), 1);
    TScanWaitDialog scan;
    EXPECT_EQ(scan.windowTitle(), "Orvalis Pro");
}

TEST(Dialog, CentringStaysInsideTheScreen)
{
    const QRect screen(0, 0, 1000, 800);
    const struct {
        QRect owner;
        QPoint topLeft;
    } cases[] = {
        {QRect(), QPoint(400, 300)},                  // no owner: the screen's centre
        {QRect(100, 100, 400, 400), QPoint(200, 200)},
        {QRect(-300, -200, 200, 200), QPoint(0, 0)},  // pulled in from the top left
        {QRect(900, 700, 300, 300), QPoint(800, 600)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CentredInside(QSize(200, 200), c.owner, screen).topLeft(), c.topLeft) << c.owner.x();
}

struct TRecordingHost : IDialogHost {
    QStringList calls;
    void ApplyLook(QWidget*) override { calls << "look"; }
    void UseNormalFont(QWidget*) override { calls << "font"; }
    void AddIdleNotifier(QWidget*) override { calls << "add idle"; }
    void RemoveIdleNotifier(QWidget*) override { calls << "remove idle"; }
    void ShowHelp(int context) override { calls << QString("help %1").arg(context); }
};

TEST(Dialog, HostHooksAndControlOperations)
{
    TRecordingHost host;
    SetDialogHost(&host);
    {
        TDialog dialog;
        dialog.m_nIDHelp = 1503;
        auto* help = new QPushButton("Help", &dialog);
        auto* ok = new QPushButton("OK", &dialog);
        dialog.SetControlId(help, kHelpButtonId);
        dialog.SetControlId(ok, 1);
        help->hide();
        dialog.CreateModeless();
        EXPECT_FALSE(dialog.IsModal());
        EXPECT_TRUE(dialog.IsControlVisible(kHelpButtonId));
        help->click();
        dialog.MakeDefaultButton(1);
        EXPECT_TRUE(ok->isDefault());
        dialog.MakeDefaultButton(kHelpButtonId);
        EXPECT_FALSE(ok->isDefault());
        EXPECT_EQ(dialog.ControlTextLength(1), 2);
        EXPECT_EQ(dialog.ControlTextLength(999), -1);
        dialog.EnableControl(1, false);
        EXPECT_FALSE(dialog.IsControlEnabled(1));
        dialog.EnableControl(999, false);  // no such control: nothing happens
        dialog.MoveControl(1, QRect(10, 20, 50, 25));
        EXPECT_EQ(dialog.ControlRect(1), QRect(10, 20, 50, 25));
        EXPECT_EQ(dialog.ControlRect(999), QRect());
    }
    SetDialogHost(nullptr);
    EXPECT_EQ(host.calls, (QStringList{"look", "font", "add idle", "help 1503", "remove idle"}));
}

}  // namespace
