#include "StatusWindow.h"

#include "IconIds.h"
#include "PictureBox.h"
#include "ProgressBar.h"
#include "TextShortening.h"

#include <QCloseEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

TStatusWindow::TStatusWindow(QWidget* owner, TMilliClock clock) : TDialog(owner), m_meter(std::move(clock))
{
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(DialogUnits(0, 0, 232, 122).size());

    auto place = [this](QWidget* control, int id, int x, int y, int width, int height) {
        SetControlId(control, id);
        control->setGeometry(DialogUnits(x, y, width, height));
    };
    m_rate = new QLabel(this);
    place(m_rate, kRateId, 6, 51, 99, 9);
    m_file = new QLabel(this);
    m_file->setTextFormat(Qt::PlainText);
    place(m_file, kFileId, 6, 69, 175, 11);
    m_remaining = new QLabel(this);
    place(m_remaining, kRemainingId, 6, 80, 175, 9);
    m_progress = new TProgressBar(this);
    place(m_progress, kProgressId, 6, 96, 175, 10);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    place(m_cancel, kCancelId, 190, 94, 36, 15);
    // Enter does nothing in this window, so the button does not answer it either.
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &TStatusWindow::cancelRequested);

    LoadFrames();
    m_timer.setInterval(kAnimationIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TStatusWindow::AnimationTick);
}

void TStatusWindow::LoadFrames()
{
    const QColor face = palette().color(QPalette::Button);
    for (const int id : kAnimationFrameIds) {
        QImage image(BitmapResource(id));
        if (image.isNull())
            continue;
        // Magenta is the frames' background: it takes the colour of the window's face.
        QPixmap frame(image.size());
        frame.fill(face);
        QPixmap drawn = QPixmap::fromImage(image);
        drawn.setMask(drawn.createMaskFromColor(QColor(255, 0, 255), Qt::MaskInColor));
        QPainter(&frame).drawPixmap(0, 0, drawn);
        m_frames.push_back(frame);
    }
}

void TStatusWindow::Start(std::uint64_t total)
{
    m_meter.Start(total);
    m_timer.start();
}

void TStatusWindow::SetFile(const QString& path)
{
    const QFontMetrics metrics(m_file->font());
    m_file->setText(ShortenStatusPath(path, m_file->width(),
                                      [&metrics](const QString& text) { return metrics.horizontalAdvance(text); }));
}

void TStatusWindow::SetPercent(int percent) { m_progress->SetPercent(percent); }

void TStatusWindow::Update(std::uint64_t bytesDone)
{
    const TStatusTextChange change = m_texts.Update(bytesDone);
    if (change.rate)
        SetRateText(QString::fromStdString(*change.rate));
    if (change.remaining)
        SetRemainingText(QString::fromStdString(*change.remaining));
}

void TStatusWindow::SetRateText(const QString& text) { m_rate->setText(text); }

void TStatusWindow::SetRemainingText(const QString& text) { m_remaining->setText(text); }

QString TStatusWindow::FileText() const { return m_file->text(); }
QString TStatusWindow::RateText() const { return m_rate->text(); }
QString TStatusWindow::RemainingText() const { return m_remaining->text(); }

void TStatusWindow::AnimationTick()
{
    if (m_frames.empty())
        return;
    m_shownFrame = m_frame;
    update(QRect(kFramePosition, m_frames.front().size()));
    if (m_animating)
        m_frame = (m_frame + 1) % static_cast<int>(m_frames.size());
}

void TStatusWindow::paintEvent(QPaintEvent* event)
{
    TDialog::paintEvent(event);
    if (m_frames.empty())
        return;
    QPainter painter(this);
    // The frame may use the client area less 12 in each direction.
    painter.setClipRect(QRect(kFramePosition, QSize(width() - 12, height() - 12)));
    painter.drawPixmap(kFramePosition, m_frames[static_cast<size_t>(m_shownFrame)]);
}

void TStatusWindow::closeEvent(QCloseEvent* event)
{
    emit cancelRequested();
    event->ignore();
}

void TStatusWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept();
        return;
    default:
        TDialog::keyPressEvent(event);
    }
}
