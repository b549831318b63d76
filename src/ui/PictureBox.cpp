#include "PictureBox.h"

#include <QPainter>

QString BitmapResource(int id) { return QStringLiteral(":/vantry/bitmaps/%1.png").arg(id); }

TPictureBox::TPictureBox(QWidget* parent) : QWidget(parent), m_background(palette().color(QPalette::Window)) {}

bool TPictureBox::LoadBitmap(int id)
{
    m_bitmapId = id;
    m_loaded = false;
    QImage image(BitmapResource(id));
    if (image.isNull()) {
        m_image = QPixmap();
        update();
        return false;
    }
    m_image = QPixmap::fromImage(image);
    m_image.setMask(m_image.createMaskFromColor(image.pixelColor(0, 0), Qt::MaskInColor));
    m_loaded = true;
    updateGeometry();
    update();
    return true;
}

void TPictureBox::SetCentred(bool centred)
{
    m_centred = centred;
    update();
}

void TPictureBox::SetBackground(const QColor& colour)
{
    m_background = colour;
    update();
}

QSize TPictureBox::sizeHint() const { return m_loaded ? m_image.size() : QSize(16, 16); }

void TPictureBox::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (!m_loaded)
        return;
    QRect target(QPoint(0, 0), m_image.size());
    if (m_centred)
        target.moveCenter(rect().center());
    // A bitmap larger than the control shows its centre part: the painter clips the rest.
    painter.drawPixmap(target.topLeft(), m_image);
}
