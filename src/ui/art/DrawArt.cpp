// Draws the window's icons, drag cursors and status animation frames into PNG files:
//   vantry_draw_art <output folder>
// The drawings are kept as resources; run this again after changing one.
#include "IconIds.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>
#include <cstdio>
#include <functional>
#include <map>

namespace {

using TDraw = std::function<void(QPainter&)>;

const QColor kOutline(60, 60, 60);
const QColor kPaper(252, 252, 248);
const QColor kFolder(240, 196, 72);
const QColor kFolderDark(200, 150, 40);
const QColor kBlue(40, 90, 190);

void Page(QPainter& p)
{
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(10, 1.5);
    page.lineTo(13.5, 5);
    page.lineTo(13.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawPath(page);
    QPainterPath corner;
    corner.moveTo(10, 1.5);
    corner.lineTo(10, 5);
    corner.lineTo(13.5, 5);
    p.setBrush(QColor(220, 220, 215));
    p.drawPath(corner);
}

void Lines(QPainter& p, int from, int count, const QColor& colour)
{
    p.setPen(QPen(colour, 1));
    for (int i = 0; i < count; ++i)
        p.drawLine(QPointF(5, from + 2 * i + 0.5), QPointF(12, from + 2 * i + 0.5));
}

void PageWithLetter(QPainter& p, const QString& letter, const QColor& colour)
{
    Page(p);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPixelSize(9);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRectF(3.5, 5, 10, 9.5), Qt::AlignCenter, letter);
}

void Folder(QPainter& p, bool open)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kFolderDark);
    QPainterPath back;
    back.moveTo(1.5, 3.5);
    back.lineTo(6, 3.5);
    back.lineTo(7.5, 5);
    back.lineTo(14.5, 5);
    back.lineTo(14.5, 13.5);
    back.lineTo(1.5, 13.5);
    back.closeSubpath();
    p.drawPath(back);
    p.setBrush(kFolder);
    if (open) {
        QPolygonF front({{3.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}, {1.5, 13.5}});
        p.drawPolygon(front);
    } else {
        p.drawRect(QRectF(1.5, 6.5, 13, 7));
    }
}

void Drive(QPainter& p, const QColor& body)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 5.5, 13, 6), 1.5, 1.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    p.drawRect(QRectF(11, 8, 2, 1.5));
}

void Window(QPainter& p, const QColor& title)
{
    p.setPen(QPen(kOutline, 1));
    p.setBrush(kPaper);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setPen(Qt::NoPen);
    p.setBrush(title);
    p.drawRect(QRectF(2, 3, 12, 3));
}

std::map<int, TDraw> Icons()
{
    std::map<int, TDraw> icons;
    icons[kIconFolder] = [](QPainter& p) { Folder(p, false); };
    icons[kIconOpenFolder] = [](QPainter& p) { Folder(p, true); };
    icons[kIconParentFolder] = [](QPainter& p) {
        Folder(p, false);
        p.setPen(QPen(kBlue, 1.6));
        p.drawLine(QPointF(8, 12), QPointF(8, 7.5));
        p.drawLine(QPointF(5.5, 9.5), QPointF(8, 7));
        p.drawLine(QPointF(10.5, 9.5), QPointF(8, 7));
    };
    icons[kIconDocument] = [](QPainter& p) { Page(p); };
    icons[kIconText] = [](QPainter& p) {
        Page(p);
        Lines(p, 6, 4, QColor(90, 90, 90));
    };
    icons[kIconProgram] = [](QPainter& p) { Window(p, kBlue); };
    icons[kIconGroup] = [](QPainter& p) {
        Window(p, QColor(0, 128, 128));
        p.setBrush(QColor(240, 196, 72));
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(3.5 + 3.5 * i, 8, 2.5, 2.5));
    };
    icons[kIconBatch] = [](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(20, 20, 20));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setPen(QPen(QColor(220, 220, 220), 1.2));
        p.drawLine(QPointF(4, 6), QPointF(6.5, 8));
        p.drawLine(QPointF(4, 10), QPointF(6.5, 8));
        p.drawLine(QPointF(8, 11), QPointF(12, 11));
    };
    icons[kIconSettings] = [](QPainter& p) {
        Page(p);
        p.setPen(QPen(QColor(110, 110, 120), 2));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i < 6; ++i) {
            const double a = i * std::numbers::pi / 3;
            p.drawLine(QPointF(8.5 + 2 * std::cos(a), 9.5 + 2 * std::sin(a)),
                       QPointF(8.5 + 3.5 * std::cos(a), 9.5 + 3.5 * std::sin(a)));
        }
        p.setPen(QPen(QColor(110, 110, 120), 1.2));
        p.drawEllipse(QPointF(8.5, 9.5), 2.2, 2.2);
    };
    icons[kIconLibrary] = [](QPainter& p) {
        Page(p);
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(130, 90, 180));
        p.drawRect(QRectF(5.5, 6.5, 4, 4));
        p.setBrush(QColor(90, 160, 210));
        p.drawRect(QRectF(7.5, 8.5, 4, 4));
    };
    icons[kIconBitmap] = [](QPainter& p) {
        Page(p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(120, 180, 240));
        p.drawRect(QRectF(4.5, 6, 8.5, 7.5));
        p.setBrush(QColor(60, 150, 60));
        p.drawPolygon(QPolygonF({{4.5, 13.5}, {8, 8.5}, {10.5, 11.5}, {11.5, 10.5}, {13, 13.5}}));
        p.setBrush(QColor(250, 220, 60));
        p.drawEllipse(QPointF(11, 7.8), 1.1, 1.1);
    };
    icons[kIconGif] = [](QPainter& p) {
        Page(p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 60, 60));
        p.drawEllipse(QPointF(6.8, 8.5), 2, 2);
        p.setBrush(QColor(60, 170, 80));
        p.drawEllipse(QPointF(10.2, 8.5), 2, 2);
        p.setBrush(QColor(60, 100, 220));
        p.drawEllipse(QPointF(8.5, 11.5), 2, 2);
    };
    icons[kIconWrite] = [](QPainter& p) {
        Page(p);
        Lines(p, 6, 3, QColor(120, 120, 120));
        p.setPen(QPen(QColor(180, 60, 40), 1.6));
        p.drawLine(QPointF(6, 13), QPointF(12.5, 6.5));
    };
    icons[kIconHelp] = [](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(kBlue);
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    };
    icons[kIconSound] = [](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(90, 90, 100));
        p.drawPolygon(QPolygonF({{2, 6}, {5, 6}, {8.5, 3}, {8.5, 13}, {5, 10}, {2, 10}}));
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(kBlue, 1.2));
        p.drawArc(QRectF(7, 5, 5, 6), -60 * 16, 120 * 16);
        p.drawArc(QRectF(7, 2.5, 8, 11), -60 * 16, 120 * 16);
    };
    icons[kIconWebPage] = [](QPainter& p) {
        p.setPen(QPen(QColor(30, 90, 160), 1));
        p.setBrush(QColor(150, 200, 240));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(5, 1.5, 6, 13));
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        p.drawLine(QPointF(8, 1.5), QPointF(8, 14.5));
        p.drawLine(QPointF(3, 4.5), QPointF(13, 4.5));
        p.drawLine(QPointF(3, 11.5), QPointF(13, 11.5));
    };
    icons[kIconTrueType] = [](QPainter& p) { PageWithLetter(p, QStringLiteral("T"), QColor(40, 40, 160)); };
    icons[kIconFont] = [](QPainter& p) { PageWithLetter(p, QStringLiteral("A"), QColor(160, 30, 30)); };
    icons[kIconRegistry] = [](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        const QColor colours[] = {QColor(70, 130, 220), QColor(60, 170, 110), QColor(220, 120, 60)};
        const QPointF at[] = {{2.5, 8.5}, {8.5, 8.5}, {5.5, 2.5}};
        for (int i = 0; i < 3; ++i) {
            p.setBrush(colours[i]);
            p.drawRect(QRectF(at[i], QSizeF(5, 5)));
        }
    };
    icons[kIconFixedDrive] = [](QPainter& p) { Drive(p, QColor(190, 190, 195)); };
    icons[kIconRemovableDrive] = [](QPainter& p) {
        Drive(p, QColor(190, 190, 195));
        p.setPen(QPen(QColor(30, 30, 30), 1));
        p.drawLine(QPointF(3.5, 8.5), QPointF(9, 8.5));
    };
    icons[kIconRemoteDrive] = [](QPainter& p) {
        p.translate(0, -2);
        Drive(p, QColor(190, 190, 195));
        p.translate(0, 2);
        p.setPen(QPen(QColor(40, 120, 40), 1.2));
        p.drawLine(QPointF(8, 9.5), QPointF(8, 13.5));
        p.drawLine(QPointF(3, 13.5), QPointF(13, 13.5));
    };
    icons[kIconCdRomDrive] = [](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(215, 215, 225));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(QColor(170, 200, 235));
        p.drawEllipse(QRectF(4, 4, 8, 8));
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(6.5, 6.5, 3, 3));
    };
    icons[kIconRamDrive] = [](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(40, 130, 70));
        p.drawRect(QRectF(1.5, 5.5, 13, 5));
        p.setBrush(QColor(30, 30, 30));
        for (int i = 0; i < 3; ++i)
            p.drawRect(QRectF(3 + 4 * i, 6.5, 2.5, 3));
        p.setPen(QPen(QColor(210, 180, 60), 1));
        for (int i = 0; i < 6; ++i)
            p.drawLine(QPointF(2.5 + 2.2 * i, 11), QPointF(2.5 + 2.2 * i, 12.5));
    };
    icons[kIconDesktop] = [](QPainter& p) {
        p.setPen(QPen(kOutline, 1));
        p.setBrush(QColor(60, 60, 70));
        p.drawRect(QRectF(1.5, 2.5, 13, 9));
        p.setBrush(QColor(40, 130, 170));
        p.drawRect(QRectF(3, 4, 10, 6));
        p.setBrush(QColor(150, 150, 155));
        p.drawRect(QRectF(5.5, 12.5, 5, 1.5));
    };
    return icons;
}

void Arrow(QPainter& p)
{
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({{0.5, 0.5}, {0.5, 12}, {3.5, 9}, {6, 14}, {8, 13}, {5.5, 8.5}, {9.5, 8.5}}));
}

std::map<int, TDraw> Cursors()
{
    std::map<int, TDraw> cursors;
    auto carried = [](QPainter& p) {
        p.save();
        p.translate(9, 10);
        p.scale(0.8, 0.8);
        Page(p);
        p.restore();
    };
    cursors[kCursorDrag] = [carried](QPainter& p) {
        Arrow(p);
        carried(p);
    };
    cursors[kCursorDrop] = [carried](QPainter& p) {
        Arrow(p);
        carried(p);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 140, 40));
        p.drawRect(QRectF(17, 17, 6, 2));
        p.drawRect(QRectF(19, 15, 2, 6));
    };
    cursors[kCursorNoDrop] = [](QPainter& p) {
        p.setPen(QPen(Qt::white, 4));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(11, 11), 8, 8);
        p.drawLine(QPointF(5.5, 16.5), QPointF(16.5, 5.5));
        p.setPen(QPen(QColor(200, 30, 30), 2));
        p.drawEllipse(QPointF(11, 11), 8, 8);
        p.drawLine(QPointF(5.5, 16.5), QPointF(16.5, 5.5));
    };
    return cursors;
}

// A page flies from the left folder to the right one along an arc, frame by frame.
void AnimationFrame(QPainter& p, int frame, int frames)
{
    p.save();
    p.translate(0, 8);
    p.scale(2, 2);
    Folder(p, true);
    p.restore();
    p.save();
    p.translate(64, 8);
    p.scale(2, 2);
    Folder(p, frame == frames - 1);
    p.restore();
    const double t = static_cast<double>(frame) / (frames - 1);
    const double x = 8 + 64 * t;
    const double y = 14 - 14 * std::sin(t * std::numbers::pi);
    p.save();
    p.translate(x, y);
    p.scale(1.3, 1.3);
    p.rotate(-20 + 40 * t);
    Page(p);
    p.restore();
}

bool Save(const QImage& image, const QString& path)
{
    if (image.save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

QImage Render(QSize size, int scale, const QColor& background, const TDraw& draw)
{
    QImage image(size * scale, QImage::Format_ARGB32);
    image.fill(background);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, background.alpha() != 255);
    painter.scale(scale, scale);
    draw(painter);
    return image;
}

}  // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: vantry_draw_art <output folder>\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(out.filePath(QStringLiteral("icons")));
    QDir().mkpath(out.filePath(QStringLiteral("bitmaps")));
    bool ok = true;
    for (const auto& [id, draw] : Icons()) {
        ok &= Save(Render({16, 16}, 1, Qt::transparent, draw), out.filePath(QStringLiteral("icons/%1.png").arg(id)));
        ok &= Save(Render({16, 16}, 2, Qt::transparent, draw),
                   out.filePath(QStringLiteral("icons/%1@2x.png").arg(id)));
    }
    for (const auto& [id, draw] : Cursors())
        ok &= Save(Render({32, 32}, 1, Qt::transparent, draw), out.filePath(QStringLiteral("icons/%1.png").arg(id)));
    // Frames are opaque on magenta, which the status window maps to its face colour.
    const int frames = static_cast<int>(kAnimationFrameIds.size());
    for (int i = 0; i < frames; ++i)
        ok &= Save(Render({96, 40}, 1, QColor(255, 0, 255),
                          [i, frames](QPainter& p) { AnimationFrame(p, i, frames); }),
                   out.filePath(QStringLiteral("bitmaps/%1.png").arg(kAnimationFrameIds[static_cast<size_t>(i)])));
    return ok ? 0 : 1;
}
