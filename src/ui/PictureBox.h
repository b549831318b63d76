// A control showing a bitmap resource with a transparent background: the colour of the bitmap's
// top-left pixel is left out.
#pragma once

#include <QBitmap>
#include <QPixmap>
#include <QWidget>

class TPictureBox : public QWidget {
    Q_OBJECT
public:
    explicit TPictureBox(QWidget* parent = nullptr);

    // Loads bitmap `id`; false when there is no such bitmap (nothing is drawn then).
    bool LoadBitmap(int id);
    void SetCentred(bool centred);
    void SetBackground(const QColor& colour);
    bool IsLoaded() const { return m_loaded; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_bitmapId = 0;
    bool m_centred = true;
    QColor m_background;
    bool m_loaded = false;
    QPixmap m_image;
};

// The resource path of a bitmap id.
QString BitmapResource(int id);
