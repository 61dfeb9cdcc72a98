#include "Icons.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <functional>

namespace Icons {
namespace {

using Painter = std::function<void(QPainter&)>;

// Draws in a 100 x 100 square at every size the toolbar and the window title may ask for;
// keepColour keeps the colours on a disabled button too.
QIcon Draw(const Painter& paint, bool keepColour = false)
{
    QIcon icon;
    for (int side : {16, 25, 32, 38, 50, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(side / 100.0, side / 100.0);
        paint(p);
        p.end();
        icon.addPixmap(pixmap);
        if (keepColour)
            icon.addPixmap(pixmap, QIcon::Disabled);
    }
    return icon;
}

QPen Pen(const QColor& colour, qreal width)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

const QColor kInk(0x30, 0x3a, 0x48);
const QColor kBlue(0x2b, 0x6c, 0xb0);
const QColor kGreen(0x1f, 0x9d, 0x55);
const QColor kRed(0xd0, 0x2c, 0x2c);
const QColor kGrey(0x8a, 0x8f, 0x96);
const QColor kPaper(0xf4, 0xf6, 0xf8);

void NoDrive(QPainter& p)
{
    // A hollow grey ring with a dash: nothing answers.
    p.setPen(Pen(kGrey, 12));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(14, 14, 72, 72));
    p.drawLine(QPointF(34, 50), QPointF(66, 50));
}

void DriveOk(QPainter& p)
{
    // A filled green disc with a white tick.
    p.setPen(Qt::NoPen);
    p.setBrush(kGreen);
    p.drawEllipse(QRectF(8, 8, 84, 84));
    p.setPen(Pen(Qt::white, 12));
    QPainterPath tick;
    tick.moveTo(29, 52);
    tick.lineTo(44, 67);
    tick.lineTo(72, 36);
    p.setBrush(Qt::NoBrush);
    p.drawPath(tick);
}

void Fault(QPainter& p)
{
    // A filled red triangle with a white exclamation mark: the drive reports a fault.
    QPainterPath triangle;
    triangle.moveTo(50, 5);
    triangle.lineTo(96, 90);
    triangle.lineTo(4, 90);
    triangle.closeSubpath();
    p.setPen(Pen(kRed.darker(130), 4));
    p.setBrush(kRed);
    p.drawPath(triangle);
    p.setPen(Pen(Qt::white, 11));
    p.drawLine(QPointF(50, 34), QPointF(50, 60));
    p.drawPoint(QPointF(50, 76));
}

void Folder(QPainter& p)
{
    p.setPen(Pen(kInk, 5));
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    QPainterPath path;
    path.moveTo(10, 82);
    path.lineTo(10, 22);
    path.lineTo(38, 22);
    path.lineTo(46, 32);
    path.lineTo(88, 32);
    path.lineTo(88, 82);
    path.closeSubpath();
    p.drawPath(path);
}

void Disk(QPainter& p)
{
    p.setPen(Pen(kInk, 5));
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(12, 12, 76, 76), 6, 6);
    p.setBrush(kPaper);
    p.drawRect(QRectF(28, 12, 44, 26));
    p.drawRect(QRectF(24, 56, 52, 32));
}

void Plug(QPainter& p, bool joined, const QColor& colour)
{
    // Two halves of a connector; apart when there is no connection.
    const qreal gap = joined ? 0 : 10;
    p.setPen(Pen(kInk, 5));
    p.setBrush(colour);
    p.drawRoundedRect(QRectF(8 - gap, 34, 34, 32), 5, 5);
    p.drawRoundedRect(QRectF(58 + gap, 34, 34, 32), 5, 5);
    p.setPen(Pen(kInk, 6));
    p.drawLine(QPointF(42 - gap, 42), QPointF(58 + gap * 0.2, 42));
    p.drawLine(QPointF(42 - gap, 58), QPointF(58 + gap * 0.2, 58));
    p.drawLine(QPointF(0, 50), QPointF(8 - gap, 50));
    p.drawLine(QPointF(92 + gap, 50), QPointF(100, 50));
}

void Scope(QPainter& p)
{
    p.setPen(Pen(kInk, 5));
    p.setBrush(QColor(0x1b, 0x2a, 0x33));
    p.drawRoundedRect(QRectF(8, 14, 84, 72), 8, 8);
    p.setPen(Pen(QColor(0x6c, 0xe0, 0x8a), 6));
    QPainterPath wave;
    wave.moveTo(16, 50);
    wave.cubicTo(30, 10, 40, 10, 50, 50);
    wave.cubicTo(60, 90, 70, 90, 84, 50);
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
}

void InOut(QPainter& p)
{
    p.setPen(Pen(kInk, 5));
    p.setBrush(kPaper);
    p.drawRect(QRectF(26, 20, 48, 60));
    p.setPen(Pen(kBlue, 6));
    for (int y : {32, 50, 68}) {
        p.drawLine(QPointF(8, y), QPointF(26, y));
        p.drawLine(QPointF(74, y), QPointF(92, y));
    }
}

void Chip(QPainter& p)
{
    p.setPen(Pen(kInk, 5));
    p.setBrush(QColor(0x44, 0x4c, 0x58));
    p.drawRect(QRectF(30, 44, 56, 44));
    p.setPen(Pen(kInk, 4));
    for (int x : {40, 52, 64, 76})
        p.drawLine(QPointF(x, 88), QPointF(x, 96));
}

void Arrow(QPainter& p, bool up)
{
    // An arrow between the drive (chip, lower right) and the file (upper left).
    p.setPen(Pen(kGreen.darker(110), 9));
    p.setBrush(Qt::NoBrush);
    const QPointF a(22, 14), b(22, 62);
    p.drawLine(a, b);
    const QPointF tip = up ? a : b;
    const qreal dir = up ? 1 : -1;
    p.drawLine(tip, tip + QPointF(-12, 14 * dir));
    p.drawLine(tip, tip + QPointF(12, 14 * dir));
}

void Windows(QPainter& p, bool cascade)
{
    p.setPen(Pen(kInk, 5));
    p.setBrush(kPaper);
    if (cascade) {
        for (int i = 0; i < 3; ++i) {
            const QRectF r(8 + i * 16, 8 + i * 16, 56, 50);
            p.setBrush(kPaper);
            p.drawRect(r);
            p.setBrush(kBlue);
            p.drawRect(QRectF(r.left(), r.top(), r.width(), 10));
        }
    } else {
        for (int i = 0; i < 2; ++i) {
            for (int j = 0; j < 2; ++j) {
                const QRectF r(8 + i * 44, 8 + j * 44, 40, 40);
                p.setBrush(kPaper);
                p.drawRect(r);
                p.setBrush(kBlue);
                p.drawRect(QRectF(r.left(), r.top(), r.width(), 9));
            }
        }
    }
}

void Motor(QPainter& p)
{
    // A servo motor seen from the side: body, flange and shaft.
    QLinearGradient body(0, 24, 0, 80);
    body.setColorAt(0, QColor(0x5d, 0x87, 0xb8));
    body.setColorAt(1, QColor(0x23, 0x4a, 0x78));
    p.setPen(Pen(kInk, 4));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(6, 24, 62, 56), 8, 8);
    p.setBrush(QColor(0xb0, 0xb8, 0xc2));
    p.drawRect(QRectF(66, 18, 12, 68));
    p.drawRect(QRectF(78, 46, 18, 12));
    p.setPen(Pen(QColor(255, 255, 255, 160), 4));
    for (int x : {20, 32, 44, 56})
        p.drawLine(QPointF(x, 32), QPointF(x, 72));
}

} // namespace

QIcon StateIcon(int id)
{
    // The drive's state shows also while the button's window is not there to open.
    switch (id) {
    case 205:
        return Draw(NoDrive, true);
    case 210:
        return Draw(Fault, true);
    case 211:
        return Draw(DriveOk, true);
    default:
        return QIcon();
    }
}

QIcon ToolIcon(Tool tool)
{
    switch (tool) {
    case Tool::ProjectOpen:
        return Draw(Folder);
    case Tool::ProjectSave:
        return Draw(Disk);
    case Tool::Connect:
        return Draw([](QPainter& p) { Plug(p, true, QColor(0xf2, 0xc1, 0x4e)); });
    case Tool::Oscilloscope:
        return Draw(Scope);
    case Tool::InOut:
        return Draw(InOut);
    case Tool::ReadConfig:
        return Draw([](QPainter& p) {
            Chip(p);
            Arrow(p, true);
        });
    case Tool::WriteConfig:
        return Draw([](QPainter& p) {
            Chip(p);
            Arrow(p, false);
        });
    case Tool::Tile:
        return Draw([](QPainter& p) { Windows(p, false); });
    case Tool::Cascade:
        return Draw([](QPainter& p) { Windows(p, true); });
    }
    return QIcon();
}

QIcon ConnectIcon(bool connected)
{
    return Draw([connected](QPainter& p) { Plug(p, connected, connected ? kGreen : kGrey); });
}

QIcon SwitchIcon(bool on)
{
    return Draw(
        [on](QPainter& p) {
            p.setPen(Pen(kInk, 5));
            p.setBrush(on ? QColor(0x3c, 0xa8, 0x4c) : QColor(0xc8, 0xcc, 0xd2));
            p.drawRoundedRect(QRectF(8, 28, 84, 44), 22, 22);
            p.setBrush(QColor(0xfa, 0xfa, 0xfa));
            p.drawEllipse(QPointF(on ? 70 : 30, 50), 17, 17);
        },
        true);
}

QIcon AppIcon()
{
    return Draw(Motor);
}

QPixmap BackgroundPicture(const QSize& size)
{
    // Drawn once at a fixed size and stretched over the area, as the picture always was.
    Q_UNUSED(size);
    const QSize base(640, 400);
    QPixmap pixmap(base);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, base.height());
    sky.setColorAt(0, QColor(0x3f, 0x5f, 0x86));
    sky.setColorAt(1, QColor(0x1c, 0x2c, 0x42));
    p.fillRect(pixmap.rect(), sky);
    // Faint grid and a sine trace, like the plot of a drive's recorder.
    p.setPen(QPen(QColor(255, 255, 255, 22), 1));
    for (int x = 0; x < base.width(); x += 32)
        p.drawLine(x, 0, x, base.height());
    for (int y = 0; y < base.height(); y += 32)
        p.drawLine(0, y, base.width(), y);
    QPainterPath wave;
    wave.moveTo(0, 260);
    for (int x = 0; x <= base.width(); x += 4)
        wave.lineTo(x, 260 + 50 * std::sin(x / 60.0) * std::exp(-x / 900.0));
    p.setPen(QPen(QColor(0x7f, 0xd8, 0xa0, 90), 3));
    p.drawPath(wave);
    QRadialGradient glow(QPointF(480, 120), 220);
    glow.setColorAt(0, QColor(255, 255, 255, 40));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(pixmap.rect(), glow);
    p.translate(400, 40);
    p.scale(1.8, 1.8);
    p.setOpacity(0.35);
    Motor(p);
    return pixmap;
}

} // namespace Icons
