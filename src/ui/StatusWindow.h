// The transfer status window: file being copied, progress, rate, time remaining, an animation
// and Cancel, which only tells the owner; the owner deletes the window when the copy ends.
#pragma once

#include "Dialog.h"
#include "RateMeter.h"
#include "StatusTexts.h"

#include <QPixmap>
#include <QTimer>

#include <vector>

class QLabel;
class QPushButton;
class TProgressBar;

class TStatusWindow : public TDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 10000;
    static constexpr int kRateId = 10003;
    static constexpr int kFileId = 10004;
    static constexpr int kRemainingId = 10005;
    static constexpr int kProgressId = 10006;
    static constexpr int kCancelId = 10007;
    static constexpr int kAnimationIntervalMs = 250;
    static constexpr QPoint kFramePosition{12, 6};

    explicit TStatusWindow(QWidget* owner = nullptr, TMilliClock clock = SteadyMilliTicks);

    // Starts the meter for a copy of `total` bytes and the animation.
    void Start(std::uint64_t total);
    void SetTitle(const QString& title) { setWindowTitle(title); }
    // Shows the path shortened to the width of its line.
    void SetFile(const QString& path);
    void SetPercent(int percent);
    // Feeds the bytes done so far; the rate and remaining texts follow at most every 3 s.
    void Update(std::uint64_t bytesDone);
    void SetRateText(const QString& text);
    void SetRemainingText(const QString& text);

    void StopAnimation() { m_animating = false; }
    void ResumeAnimation() { m_animating = true; }
    bool IsAnimating() const { return m_animating; }
    int CurrentFrame() const { return m_frame; }
    int FrameCount() const { return static_cast<int>(m_frames.size()); }
    bool IsTimerRunning() const { return m_timer.isActive(); }
    // One tick of the animation timer: shows the current frame and moves on while animating.
    void AnimationTick();

    QString FileText() const;
    QString RateText() const;
    QString RemainingText() const;
    TProgressBar* ProgressBar() const { return m_progress; }

signals:
    // Cancel or the window's close box: the owner raises the stop request.
    void cancelRequested();

public slots:
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void LoadFrames();

    TRateMeter m_meter;
    TStatusTexts m_texts{m_meter};
    QLabel* m_rate = nullptr;
    QLabel* m_file = nullptr;
    QLabel* m_remaining = nullptr;
    TProgressBar* m_progress = nullptr;
    QPushButton* m_cancel = nullptr;
    std::vector<QPixmap> m_frames;
    int m_frame = 0;
    int m_shownFrame = 0;
    bool m_animating = true;
    QTimer m_timer;
};
