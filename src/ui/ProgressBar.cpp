#include "ProgressBar.h"

#include <QPainter>

#include <algorithm>

namespace {
constexpr int kInset = 3;
constexpr int kBlock = 12;
constexpr int kStep = 14;
}  // namespace

TProgressBar::TProgressBar(QWidget* parent) : QWidget(parent) {}

void TProgressBar::SetPercent(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_percent)
        return;
    m_percent = percent;
    update();
}

std::vector<QRect> TProgressBar::Blocks(QSize size, int percent)
{
    std::vector<QRect> blocks;
    const int height = size.height() - 2 * kInset;
    if (height <= 0)
        return blocks;
    const int end = kInset + size.width() * percent / 100;
    int x = kInset;
    const int right = size.width() - kInset;  // inner edge, as far from the right as x = 3 is from the left
    for (; x + kBlock <= end && x + kBlock <= right; x += kStep)
        blocks.emplace_back(x, kInset, kBlock, height);
    if (percent >= 100) {
        const int gap = right - x;
        if (gap > 1)
            blocks.emplace_back(x, kInset, gap, height);
    }
    return blocks;
}

void TProgressBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect r = rect();
    const QPalette& colours = palette();
    painter.fillRect(r, colours.color(QPalette::Window));
    painter.setPen(colours.color(QPalette::Dark));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(colours.color(QPalette::Light));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
    for (const QRect& block : Blocks(size(), m_percent))
        painter.fillRect(block, BarColor());
}
