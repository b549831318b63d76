// A sunken bar of blocks showing a percentage.
#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>

#include <vector>

class TProgressBar : public QWidget {
    Q_OBJECT
public:
    explicit TProgressBar(QWidget* parent = nullptr);

    void SetPercent(int percent);
    int Percent() const { return m_percent; }
    virtual QColor BarColor() const { return QColor(0, 0, 128); }

    // The blocks for `percent` in a bar of `size`: 12 wide every 14 from x = 3, whole blocks
    // only; at 100 the gap left before the right edge is filled too.
    static std::vector<QRect> Blocks(QSize size, int percent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_percent = 0;
};
