// Renders each window building block to a PNG for looking at:
//   VANTRY_RENDER_DIR=/tmp/shots render_widgets
#include "ConfirmReplaceDialog.h"
#include "IconIds.h"
#include "LocalFolders.h"
#include "NewFolderDialog.h"
#include "OVFDrives.h"
#include "PictureBox.h"
#include "StatusWindow.h"
#include "TreeList.h"
#include "TreeListFlags.h"
#include "WaitDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

namespace {

struct TNoPane : ILocalFolderPane {
    QString CurrentFolder() const override { return QStringLiteral("C:\\Work"); }
    bool CreateFolder(const QString&) override { return true; }
    void AddFolderRow(const QString&) override {}
};

bool Save(QWidget& widget, const QDir& out, const char* name)
{
    widget.show();
    QApplication::processEvents();
    const QString path = out.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const bool ok = widget.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    widget.hide();
    return ok;
}

TTreeRow Row(const char* name, int type, int icon, qint64 size = -1, std::uint64_t time = 0, int level = 0)
{
    TTreeRow row;
    row.text = QString::fromUtf8(name);
    row.type = type;
    row.icon = icon;
    row.size = size;
    row.level = level;
    row.SetTime(time);
    return row;
}

void FillFiles(TTreeList& list, unsigned flags)
{
    const std::uint64_t t = 133000000000000000ull;  // a file time in 2022
    const TTreeRow rows[] = {
        Row("Projects", kRowFolder, kIconFolder),
        Row("Photos from the summer holiday in the mountains", kRowFolder, kIconFolder),
        Row("readme.txt", kRowFile, kIconText, 100, t),
        Row("setup.exe", kRowFile, kIconProgram, 2048, t + 8640000000000ull),
        Row("index.html", kRowFile, kIconWebPage, 2047, t),
        Row("chime.wav", kRowFile, kIconSound, 53000, t),
        Row("photo.bmp", kRowFile, kIconBitmap, 4200000, t),
        Row("\xC3\xA9t\xC3\xA9 r\xC3\xA9sum\xC3\xA9.doc", kRowFile, kIconDocument, 30000, t),
        Row("system.ini", kRowFile, kIconSettings, 900, t),
        Row("font.ttf", kRowFile, kIconTrueType, 70000, t),
    };
    for (const TTreeRow& row : rows)
        list.Model()->InsertSorted(row, flags);
}

// A small real folder, configured as drive C:, listed in the details view.
bool SaveLocalFolder(const QDir& out)
{
    QTemporaryDir drive;
    const QDir root(drive.path());
    root.mkpath(QStringLiteral("Demo/Letters"));
    root.mkpath(QStringLiteral("Demo/Music"));
    root.mkpath(QStringLiteral("Demo/.git"));
    const struct {
        const char* name;
        int size;
    } files[] = {
        {"notes.txt", 300},  {"install.exe", 150000}, {"site.html", 4200},   {"song.wav", 2600000},
        {"win.ini", 2047},   {"boot.sys", 2048},      {"photo.gif", 80000},  {".hidden", 10},
        {"Caf\xC3\xA9 r\xC3\xA9sum\xC3\xA9.pdf", 52000},
    };
    QDateTime when(QDate(2024, 3, 18), QTime(9, 41));
    for (const auto& f : files) {
        QFile file(root.filePath(QStringLiteral("Demo/") + QString::fromUtf8(f.name)));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.resize(f.size);
        file.setFileTime(when, QFileDevice::FileModificationTime);
        when = when.addSecs(-86400 * 3 - 3600);
    }
    if (OVF_SetDrive('C', QFile::encodeName(drive.path()).constData(), OVFDriveKind::fixed) != 0)
        return false;

    TTreeList local;
    local.resize(420, 210);
    local.SetPosixPathMapper(LocalPosixPath);
    local.SetColumns(200, 270);
    if (local.ListFolder(kOVF_attrDirectory, QStringLiteral("*.*"), kTreeSortName | kTreeShowSize | kTreeShowModified,
                         QStringLiteral("C:\\Demo")) != 0) {
        std::printf("FAILED listing %s\n", qPrintable(drive.path()));
        return false;
    }
    local.setCurrentIndex(local.Model()->index(3));
    const bool ok = Save(local, out, "tree_list_local");
    OVF_RemoveDrive('C');
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QByteArray dir = qgetenv("VANTRY_RENDER_DIR");
    const QDir out(dir.isEmpty() ? QStringLiteral("widget-shots") : QString::fromLocal8Bit(dir));
    QDir().mkpath(out.path());
    bool ok = true;

    TNoPane pane;
    TNewFolderDialog newFolder(pane, true);
    ok &= Save(newFolder, out, "new_folder");

    QStringList names;
    for (int i = 1; i <= 14; ++i)
        names << QStringLiteral("report-%1.txt").arg(i);
    TConfirmReplaceDialog replace(nullptr, names, false);
    ok &= Save(replace, out, "confirm_replace");
    TConfirmReplaceDialog readOnly(nullptr, {QStringLiteral("locked.doc")}, true);
    ok &= Save(readOnly, out, "confirm_read_only");

    TAdmitWaitDialog admit;
    admit.SetHostName(QStringLiteral("build-server"));
    ok &= Save(admit, out, "admit_wait");
    TScanWaitDialog scan;
    scan.SetHostName(QStringLiteral("build-server"));
    ok &= Save(scan, out, "scan_wait");

    std::uint32_t now = 0;
    TStatusWindow status(nullptr, [&now] { return now; });
    status.SetTitle(QStringLiteral("Vantry Files With build-server"));
    status.Start(50000000);
    status.SetFile(QStringLiteral("C:\\Users\\alice\\Documents\\Quarterly reports\\2024\\summary-final.xlsx"));
    for (int sample = 1; sample <= 12; ++sample) {
        now += 2000;
        status.Update(sample * 1000000ull);
    }
    status.SetPercent(24);
    for (int i = 0; i < 7; ++i)
        status.AnimationTick();
    ok &= Save(status, out, "status_window");
    status.SetPercent(100);
    ok &= Save(status, out, "status_window_full");

    TTreeList list;
    list.resize(260, 190);
    FillFiles(list, kTreeSortName);
    list.selectionModel()->select(list.Model()->index(2), QItemSelectionModel::Select);
    ok &= Save(list, out, "tree_list");

    TTreeList details;
    details.resize(420, 190);
    details.SetFlags(kTreeSortSize | kTreeShowSize | kTreeShowModified);
    details.SetColumns(200, 270);
    FillFiles(details, kTreeSortSize | kTreeDescending);
    ok &= Save(details, out, "tree_list_details");

    TTreeList tree;
    tree.resize(220, 170);
    tree.SetFlags(kTreeModeFlag);
    const TTreeRow treeRows[] = {
        Row("Desktop", kRowOther, kIconDesktop),     Row("a:", kRowOther, kIconRemovableDrive),
        Row("c: (SYSTEM)", kRowOther, kIconFixedDrive), Row("Users", kRowFolder, kIconFolder, -1, 0, 1),
        Row("alice", kRowFolder, kIconFolder, -1, 0, 2), Row("Documents", kRowFolder, kIconOpenFolder, -1, 0, 3),
        Row("d:", kRowOther, kIconCdRomDrive),        Row("n:", kRowOther, kIconRemoteDrive),
    };
    for (const TTreeRow& row : treeRows)
        tree.Model()->AddRow(row);
    ok &= Save(tree, out, "tree_list_drives");
    ok &= SaveLocalFolder(out);

    // Every icon and cursor, large, on one sheet.
    QWidget sheet;
    sheet.resize(40 * 14, 40 * 2 + 8);
    QPixmap icons(sheet.size());
    icons.fill(Qt::white);
    {
        QPainter painter(&icons);
        int i = 0;
        for (const int id : kTreeIconIds) {
            TreeIcon(id).paint(&painter, QRect(4 + 40 * (i % 14), 4 + 40 * (i / 14), 32, 32));
            ++i;
        }
        for (const int id : kDragCursorIds) {
            TreeIcon(id).paint(&painter, QRect(4 + 40 * (i % 14), 4 + 40 * (i / 14), 32, 32));
            ++i;
        }
    }
    ok &= icons.save(out.filePath(QStringLiteral("icons.png")));

    TPictureBox picture;
    picture.resize(120, 50);
    picture.LoadBitmap(kAnimationFrameIds.front());
    ok &= Save(picture, out, "picture_box");
    return ok ? 0 : 1;
}
