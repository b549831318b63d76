#include "ProgressBar.h"
#include "StatusWindow.h"

#include <QCloseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct TStatusWindowFixture : ::testing::Test {
    std::uint32_t now = 1000;
    TStatusWindow window{nullptr, [this] { return now; }};
};

TEST_F(TStatusWindowFixture, CancelAndCloseNotifyTheOwnerWithoutClosing)
{
    window.show();
    QSignalSpy cancelled(&window, &TStatusWindow::cancelRequested);
    qobject_cast<QPushButton*>(window.Control(TStatusWindow::kCancelId))->click();
    window.close();
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    EXPECT_EQ(cancelled.count(), 2);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(TStatusWindowFixture, UpdatesShowRateAndRemainingTexts)
{
    window.Start(2000000);
    EXPECT_TRUE(window.IsTimerRunning());
    now += 1000;
    window.Update(100000);
    EXPECT_EQ(window.RateText(), QString());  // not before 3 s
    now += 2000;
    window.Update(300000);
    EXPECT_EQ(window.RateText(), "100 kb/sec");
    EXPECT_EQ(window.RemainingText(), "1.70 mb to send");
    window.SetPercent(15);
    EXPECT_EQ(window.ProgressBar()->Percent(), 15);
}

TEST_F(TStatusWindowFixture, LongPathIsShortenedToTheLine)
{
    const QString path = "C:\\Users\\somebody\\Documents\\Projects\\Old\\Archive\\2019\\"
                         "a-file-with-a-rather-long-name.txt";
    window.SetFile(path);
    const QString shown = window.FileText();
    EXPECT_NE(shown, path);
    EXPECT_TRUE(shown.startsWith("C:\\...\\")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(".txt")) << shown.toStdString();
    window.SetFile("C:\\a.txt");
    EXPECT_EQ(window.FileText(), "C:\\a.txt");
}

TEST_F(TStatusWindowFixture, AnimationRunsThroughNineteenFramesAndPauses)
{
    ASSERT_EQ(window.FrameCount(), 19);
    for (int i = 0; i < 18; ++i)
        window.AnimationTick();
    EXPECT_EQ(window.CurrentFrame(), 18);
    window.AnimationTick();
    EXPECT_EQ(window.CurrentFrame(), 0);
    window.StopAnimation();
    window.AnimationTick();
    EXPECT_EQ(window.CurrentFrame(), 0);
    window.ResumeAnimation();
    window.AnimationTick();
    EXPECT_EQ(window.CurrentFrame(), 1);
}

TEST(ProgressBar, BlocksAreWholeAndFullBarReachesTheEnd)
{
    const QSize size(100, 14);
    EXPECT_TRUE(TProgressBar::Blocks(size, 0).empty());
    // 50 %: blocks may reach x = 53: those at 3, 17 and 31 fit whole (31 + 12 = 43), 45 does not.
    const auto half = TProgressBar::Blocks(size, 50);
    ASSERT_EQ(half.size(), 3u);
    EXPECT_EQ(half[2], QRect(31, 3, 12, 8));
    const auto full = TProgressBar::Blocks(size, 100);
    ASSERT_FALSE(full.empty());
    EXPECT_EQ(full.back().right(), 100 - 3 - 1);
    for (size_t i = 1; i < full.size(); ++i)
        EXPECT_EQ(full[i].left() - full[i - 1].left(), 14);
}

}  // namespace
