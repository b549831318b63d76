// Renders the connected Vantry window to PNG pictures for looking at, against a real host:
//   VANTRY_RENDER_DIR=/tmp/shots [QT_SCALE_FACTOR=2] render_window
// window.png (details view of a real folder on each side), copying.png (the window during a copy,
// with its status window) and confirm-copy.png (the copy confirmation).
#include "WindowFixture.h"

#include "RandomBytes.h"
#include "RemoteFilePicker.h"
#include "StatusWindow.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTest>

namespace {
QString g_renderDir;

bool Save(QWidget& widget, const QString& name)
{
    const QString path = QDir(g_renderDir).filePath(name);
    const bool saved = widget.grab().save(path);
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
    return saved;
}
} // namespace

using RenderWindow = TWindowFixture;

TEST_F(RenderWindow, ConnectedCopyingAndConfirmation)
{
    WriteFile(Local() / "Reports/2026 summary.pdf", std::string(48000, 'r'));
    WriteFile(Local() / "notes.txt", "notes");
    WriteFile(Local() / "photo.jpg", std::string(3 * 1024 * 1024, 'p'));
    WriteFile(Share() / "Projects/plan.doc", "plan");
    WriteFile(Share() / "readme.txt", "readme");
    WriteFile(Share() / "archive.zip", std::string(700000, 'z'));
    StartServe();
    Open();
    CZulVntr* window = Window();
    window->LocalPane()->SetView(EViewMode::Details);
    window->RemotePane()->SetView(EViewMode::Details);
    ASSERT_TRUE(WaitIdle());
    window->resize(window->size() + QSize(160, 80));
    QApplication::processEvents();
    EXPECT_TRUE(Save(*window, QStringLiteral("window.png")));

    const QString text = CopyConfirmText(true, {QStringLiteral("photo.jpg"), QStringLiteral("notes.txt")},
                                         window->RemotePane()->CurrentFolder());
    QMessageBox confirm(QMessageBox::Question, CopyConfirmCaption(true), text, QMessageBox::Yes | QMessageBox::No, window);
    confirm.show();
    QApplication::processEvents();
    EXPECT_TRUE(Save(confirm, QStringLiteral("confirm-copy.png")));
    confirm.hide();

    WriteFile(Local() / "large.bin", RandomBytes(64 * 1024 * 1024, 9));
    window->RefreshLocalPane();
    Select(window->LocalPane(), {QStringLiteral("large.bin")});
    window->OnCopy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->Engine().BytesDone() > 0 && window->StatusWindow(); }, 20000));
    EXPECT_TRUE(Save(*window, QStringLiteral("copying.png")));
    EXPECT_TRUE(Save(*window->StatusWindow(), QStringLiteral("copying-status.png")));
    emit window->StatusWindow()->cancelRequested();
    ASSERT_TRUE(WaitIdle());
}

int main(int argc, char** argv)
{
    g_renderDir = QString::fromLocal8Bit(qgetenv("VANTRY_RENDER_DIR"));
    if (g_renderDir.isEmpty()) {
        std::fputs("Usage: VANTRY_RENDER_DIR=<folder> [QT_SCALE_FACTOR=2] render_window\n", stderr);
        return 2;
    }
    QDir().mkpath(g_renderDir);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TZ", "UTC", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
