#include "Icons.h"

#include "Drawing.h"

#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace {

// The normal form in the left half, the disabled form in the right half, as
// one picture for a button that shows either.
QImage WithDisabledForm(const QImage &normal)
{
    const QSize size = normal.deviceIndependentSize().toSize();
    QImage both = TransparentCanvas(size.width() * 2, size.height());
    QPainter p(&both);
    p.drawImage(0, 0, normal);
    p.drawImage(size.width(), 0, DisabledForm(normal));
    return both;
}

// A right-pointing arrow filling a 16 x 16 cell; the left one is its mirror.
QImage DrawRightArrow()
{
    QImage image = TransparentCanvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(1.5, 5.5);
    arrow.lineTo(7.5, 5.5);
    arrow.lineTo(7.5, 1.5);
    arrow.lineTo(14.5, 8);
    arrow.lineTo(7.5, 14.5);
    arrow.lineTo(7.5, 10.5);
    arrow.lineTo(1.5, 10.5);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x15, 0x6b, 0x1f), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Linear({0, 2}, {0, 14}, QColor(0x8e, 0xe0, 0x7c), QColor(0x23, 0x9a, 0x2e)));
    p.drawPath(arrow);
    // A light edge along the upper faces gives the arrow some relief.
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(QPointF(2.5, 6.5), QPointF(8.5, 6.5));
    p.drawLine(QPointF(8.5, 4), QPointF(12.5, 7.6));
    return image;
}

} // namespace

QImage DrawWarning()
{
    QImage image = TransparentCanvas(28, 28);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QPainterPath triangle;
    triangle.moveTo(14, 2.5);
    triangle.lineTo(26, 24.5);
    triangle.lineTo(2, 24.5);
    triangle.closeSubpath();
    // Soft drop shadow below and right of the sign.
    p.setPen(QPen(QColor(0, 0, 0, 45), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawPath(triangle.translated(0.8, 1.2));
    p.setPen(QPen(QColor(0x9a, 0x62, 0x00), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Linear({10, 3}, {18, 25}, QColor(0xff, 0xf0, 0x80), QColor(0xf7, 0xb5, 0x00)));
    p.drawPath(triangle);

    // The exclamation mark: a bar narrowing downwards and a dot.
    QPainterPath bar;
    bar.moveTo(12.4, 9);
    bar.lineTo(15.6, 9);
    bar.lineTo(14.8, 18);
    bar.lineTo(13.2, 18);
    bar.closeSubpath();
    p.setPen(QPen(Qt::black, 0.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::black);
    p.drawPath(bar);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(14, 21), 1.7, 1.7);
    return image;
}

QImage DrawBulb()
{
    QImage image = TransparentCanvas(28, 28);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(14, 11.5);

    // Rays of light around the glass.
    p.setPen(QPen(QColor(0xf5, 0xa6, 0x00), 1.6, Qt::SolidLine, Qt::RoundCap));
    for (int degrees : {-180, -145, -112, -90, -68, -35, 0}) {
        const qreal a = degrees * M_PI / 180;
        const QPointF direction(std::cos(a), std::sin(a));
        p.drawLine(centre + direction * 9.6, centre + direction * 12.2);
    }

    // Glow around the glass.
    QRadialGradient glow(centre, 11);
    glow.setColorAt(0.55, QColor(255, 230, 80, 150));
    glow.setColorAt(1, QColor(255, 230, 80, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(centre, 11, 11);

    // Glass: a sphere narrowing into the neck.
    QPainterPath glass;
    glass.moveTo(10.8, 19.5);
    glass.cubicTo(10.6, 17, 7, 15.5, 7, 11.5);
    glass.arcTo(QRectF(7, 4.5, 14, 14), 180, -180);
    glass.cubicTo(21, 15.5, 17.4, 17, 17.2, 19.5);
    glass.closeSubpath();
    QRadialGradient lit(QPointF(12, 9), 10, QPointF(11.5, 8.5));
    lit.setColorAt(0, QColor(255, 255, 235));
    lit.setColorAt(0.45, QColor(0xff, 0xee, 0x58));
    lit.setColorAt(1, QColor(0xf2, 0xb3, 0x00));
    p.setPen(QPen(QColor(0xb3, 0x78, 0x00), 1));
    p.setBrush(lit);
    p.drawPath(glass);

    // Filament.
    p.setPen(QPen(QColor(0xd8, 0x6a, 0x00), 0.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    QPainterPath filament;
    filament.moveTo(12.2, 18.5);
    filament.lineTo(12.2, 14);
    filament.lineTo(13.1, 12.5);
    filament.lineTo(14, 14);
    filament.lineTo(14.9, 12.5);
    filament.lineTo(15.8, 14);
    filament.lineTo(15.8, 18.5);
    p.drawPath(filament);

    // Highlight on the glass.
    p.setPen(QPen(QColor(255, 255, 255, 210), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(9.2, 6.7, 9.6, 9.6), 110 * 16, 55 * 16);

    // Screw base with its threads and contact.
    p.setPen(QPen(QColor(0x55, 0x55, 0x5a), 0.8));
    p.setBrush(Linear({10.5, 0}, {17.5, 0}, QColor(0xe8, 0xe8, 0xec), QColor(0x7c, 0x7c, 0x84)));
    p.drawRoundedRect(QRectF(10.6, 19.4, 6.8, 5.2), 1, 1);
    p.setPen(QPen(QColor(0x5c, 0x5c, 0x64), 0.8));
    p.drawLine(QPointF(10.8, 21.2), QPointF(17.2, 20.6));
    p.drawLine(QPointF(10.8, 23), QPointF(17.2, 22.4));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3a, 0x3a, 0x40));
    p.drawRoundedRect(QRectF(12.3, 24.4, 3.4, 2.2), 1, 1);
    return image;
}

QImage DrawPageIcon()
{
    QImage image = TransparentCanvas(11, 14);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath triangle;
    triangle.moveTo(1.5, 1);
    triangle.lineTo(10, 7);
    triangle.lineTo(1.5, 13);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(0x0b, 0x32, 0x8c), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Linear({1, 1}, {6, 13}, QColor(0x6a, 0xa8, 0xff), QColor(0x10, 0x48, 0xc8)));
    p.drawPath(triangle);
    return image;
}

QImage DrawAbout()
{
    QImage image = TransparentCanvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Balloon: a rounded body with a tail at its lower left.
    QPainterPath balloon;
    balloon.addRoundedRect(QRectF(0.5, 0.5, 15, 11.5), 4, 4);
    QPainterPath tail;
    tail.moveTo(3, 10);
    tail.lineTo(2.5, 15.5);
    tail.lineTo(8, 10);
    tail.closeSubpath();
    balloon = balloon.united(tail);
    p.setPen(QPen(QColor(0x12, 0x40, 0x90), 1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Linear({0, 0}, {0, 13}, QColor(0x7c, 0xb4, 0xff), QColor(0x1d, 0x5c, 0xcc)));
    p.drawPath(balloon);

    // The letter i in white.
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 3.4), 1.3, 1.3);
    p.drawRect(QRectF(6.9, 5.4, 2.2, 4.8));
    p.drawRect(QRectF(6, 5.4, 1.2, 1));
    p.drawRect(QRectF(6, 9.4, 4, 1));
    return image;
}

QImage DrawNext()
{
    return DrawRightArrow();
}

QImage DrawPrevious()
{
    return DrawRightArrow().mirrored(true, false);
}

QImage DrawCancel()
{
    QImage image = TransparentCanvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath cross;
    cross.moveTo(3.5, 3.5);
    cross.lineTo(12.5, 12.5);
    cross.moveTo(12.5, 3.5);
    cross.lineTo(3.5, 12.5);
    // Dark rim first, then the red body, then a light streak on top.
    p.setPen(QPen(QColor(0x86, 0x08, 0x08), 4.6, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cross);
    p.setPen(QPen(QColor(0xe0, 0x24, 0x1e), 2.8, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cross);
    p.setPen(QPen(QColor(0xff, 0x9a, 0x8a), 0.9, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(cross.translated(-0.4, -0.5));
    p.end();
    return WithDisabledForm(image);
}

QImage DrawExit()
{
    QImage image = TransparentCanvas(16, 16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Door frame and the open door leaf.
    p.setPen(QPen(QColor(0x4a, 0x3a, 0x2a), 1));
    p.setBrush(QColor(0x2e, 0x26, 0x1e));
    p.drawRect(QRectF(1.5, 0.5, 8, 15));
    QPainterPath leaf;
    leaf.moveTo(1.5, 0.5);
    leaf.lineTo(6.5, 2);
    leaf.lineTo(6.5, 15.5);
    leaf.lineTo(1.5, 15.5);
    leaf.closeSubpath();
    p.setPen(QPen(QColor(0x5e, 0x34, 0x12), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Linear({1, 0}, {7, 0}, QColor(0xd9, 0x96, 0x52), QColor(0x9c, 0x5a, 0x22)));
    p.drawPath(leaf);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf4, 0xd0, 0x40));
    p.drawEllipse(QPointF(5.2, 8.6), 0.8, 0.8);

    // The arrow leaving through the door.
    QPainterPath arrow;
    arrow.moveTo(7, 6.5);
    arrow.lineTo(10.5, 6.5);
    arrow.lineTo(10.5, 3.5);
    arrow.lineTo(15.5, 8.5);
    arrow.lineTo(10.5, 13.5);
    arrow.lineTo(10.5, 10.5);
    arrow.lineTo(7, 10.5);
    arrow.closeSubpath();
    p.setPen(QPen(QColor(0x15, 0x6b, 0x1f), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(Linear({0, 3}, {0, 14}, QColor(0x8e, 0xe0, 0x7c), QColor(0x23, 0x9a, 0x2e)));
    p.drawPath(arrow);
    p.end();
    return WithDisabledForm(image);
}
