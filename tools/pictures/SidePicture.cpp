#include "SidePicture.h"

#include "Drawing.h"

#include <QPainterPath>
#include <QRadialGradient>

namespace {

// Where the hand truck's axle stands and how far the truck leans back
// towards the worker, in degrees clockwise.
const QPointF kAxle(64, 257);
const qreal kTilt = 16;
const qreal kFloorY = 251;   // where wall meets floor
const qreal kContactY = 270; // where wheels and shoes touch the floor

const QColor kSkin(0xec, 0xb9, 0x8e);
const QColor kShirt(0x2f, 0x6e, 0xb8);
const QColor kTrousers(0x2c, 0x36, 0x4a);
const QColor kCardboard(0xcf, 0x9a, 0x5c);
const QColor kTruckRed(0xc8, 0x2a, 0x22);

void DrawBackground(QPainter &p)
{
    // Warehouse wall with light falling from the upper left.
    p.fillRect(QRectF(0, 0, 163, kFloorY),
               Linear({0, 0}, {0, kFloorY}, QColor(0xee, 0xf2, 0xf6), QColor(0xc6, 0xd2, 0xde)));
    QRadialGradient light(QPointF(20, 30), 150);
    light.setColorAt(0, QColor(255, 255, 250, 110));
    light.setColorAt(1, QColor(255, 255, 250, 0));
    p.fillRect(QRectF(0, 0, 163, kFloorY), light);

    // Wall panels.
    p.setPen(QPen(QColor(0xb4, 0xc2, 0xd0), 1));
    for (qreal x = 40.5; x < 163; x += 40)
        p.drawLine(QPointF(x, 0), QPointF(x, 205));
    // A darker band along the lower wall, and the skirting board.
    p.fillRect(QRectF(0, 205, 163, kFloorY - 205),
               Linear({0, 205}, {0, kFloorY}, QColor(0x9f, 0xb1, 0xc3), QColor(0x8c, 0x9f, 0xb3)));
    p.fillRect(QRectF(0, 204, 163, 2), QColor(0x7d, 0x90, 0xa4));
    p.fillRect(QRectF(0, kFloorY - 5, 163, 5), QColor(0x5f, 0x6c, 0x7a));

    // Shelf with parcels far in the back, pale so it stays behind the scene.
    const QColor post(0x9a, 0xa8, 0xb8);
    p.fillRect(QRectF(6, 30, 3, 175), post);
    p.fillRect(QRectF(96, 30, 3, 175), post);
    for (qreal y : {70.0, 130.0})
        p.fillRect(QRectF(4, y, 97, 3), post.darker(110));
    const QColor parcel(0xd6, 0xc4, 0xa8);
    p.setPen(QPen(parcel.darker(115), 1));
    p.setBrush(parcel);
    p.drawRect(QRectF(14.5, 44.5, 24, 25));
    p.drawRect(QRectF(40.5, 52.5, 18, 17));
    p.drawRect(QRectF(64.5, 40.5, 28, 29));
    p.drawRect(QRectF(12.5, 108.5, 30, 21));
    p.drawRect(QRectF(46.5, 98.5, 22, 31));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xe6, 0xdc, 0xc8), 1.5));
    p.drawLine(QPointF(26.5, 45), QPointF(26.5, 52));
    p.drawLine(QPointF(78.5, 41), QPointF(78.5, 49));
    p.drawLine(QPointF(57.5, 99), QPointF(57.5, 107));

    // Hanging lamp above the worker, lit.
    QRadialGradient glow(QPointF(128, 27), 34);
    glow.setColorAt(0, QColor(255, 244, 200, 170));
    glow.setColorAt(1, QColor(255, 244, 200, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(128, 27), 34, 34);
    p.fillRect(QRectF(127.3, 0, 1.4, 14), QColor(0x40, 0x44, 0x4a));
    QPainterPath shade;
    shade.moveTo(124, 13);
    shade.lineTo(132, 13);
    shade.cubicTo(134, 18, 141, 20, 142, 25);
    shade.lineTo(114, 25);
    shade.cubicTo(115, 20, 122, 18, 124, 13);
    shade.closeSubpath();
    p.setPen(QPen(QColor(0x24, 0x40, 0x36), 0.8));
    p.setBrush(Linear({114, 0}, {142, 0}, QColor(0x5f, 0x90, 0x7c), QColor(0x2c, 0x50, 0x42)));
    p.drawPath(shade);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xfa, 0xe0));
    p.drawEllipse(QRectF(122, 23, 12, 5));

    // Floor: polished concrete, darker towards the viewer, with seams.
    p.fillRect(QRectF(0, kFloorY, 163, 305 - kFloorY),
               Linear({0, kFloorY}, {0, 305}, QColor(0xb9, 0xab, 0x98), QColor(0x8a, 0x7c, 0x6b)));
    p.setPen(QPen(QColor(0x7a, 0x6d, 0x5e, 120), 1));
    for (qreal y : {258.5, 274.5, 296.5})
        p.drawLine(QPointF(0, y), QPointF(163, y));
    p.drawLine(QPointF(30, kFloorY), QPointF(4, 305));
    p.drawLine(QPointF(120, kFloorY), QPointF(148, 305));
}

void DrawShadows(QPainter &p)
{
    QRadialGradient shadow(QPointF(0, 0), 1);
    shadow.setColorAt(0, QColor(40, 30, 20, 110));
    shadow.setColorAt(1, QColor(40, 30, 20, 0));
    p.save();
    p.translate(100, kContactY + 1);
    p.scale(78, 8);
    p.setPen(Qt::NoPen);
    p.setBrush(shadow);
    p.drawEllipse(QPointF(0, 0), 1, 1);
    p.restore();
}

// One cardboard box standing on its bottom edge; x0 and x1 are the left and
// right of its face, bottom its lower edge. Its depth recedes to the upper
// left, so its top and left side show.
void DrawBox(QPainter &p, qreal x0, qreal x1, qreal bottom, qreal height, int decoration)
{
    const QPointF depth(-7, -5);
    const qreal top = bottom - height;
    const QColor edge(0x86, 0x58, 0x2a);
    p.setPen(QPen(edge, 0.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));

    // Left side, in shade.
    QPolygonF side({QPointF(x0, top), QPointF(x0, bottom), QPointF(x0, bottom) + depth,
                    QPointF(x0, top) + depth});
    p.setBrush(kCardboard.darker(135));
    p.drawPolygon(side);
    // Top, in light.
    QPolygonF lid(
        {QPointF(x0, top), QPointF(x1, top), QPointF(x1, top) + depth, QPointF(x0, top) + depth});
    p.setBrush(kCardboard.lighter(112));
    p.drawPolygon(lid);
    // Face.
    p.setBrush(Linear({x0, top}, {x1, bottom}, kCardboard.lighter(104), kCardboard.darker(112)));
    p.drawRect(QRectF(x0, top, x1 - x0, height));

    // Packing tape along the lid's seam and down over the face.
    const qreal mid = (x0 + x1) / 2;
    const QColor tape(0xe9, 0xd2, 0xa0, 230);
    p.setPen(Qt::NoPen);
    p.setBrush(tape);
    p.drawPolygon(QPolygonF({QPointF(mid - 3.5, top) + depth, QPointF(mid + 3.5, top) + depth,
                             QPointF(mid + 3.5, top), QPointF(mid - 3.5, top)}));
    p.drawRect(QRectF(mid - 3.5, top, 7, 13));
    p.setPen(QPen(QColor(0xb8, 0x96, 0x5c), 0.6));
    p.drawLine(QPointF(mid - 3.5, top + 13), QPointF(mid + 3.5, top + 13));
    // Flap seam on the lid.
    p.setPen(QPen(edge, 0.6));
    p.drawLine(QPointF(x0, top) + depth / 2, QPointF(mid - 3.5, top) + depth / 2);
    p.drawLine(QPointF(mid + 3.5, top) + depth / 2, QPointF(x1, top) + depth / 2);

    if (decoration == 0) {
        // Shipping label with an address and a bar code.
        const QRectF label(x0 + 6, bottom - 21, 20, 14);
        p.setPen(QPen(QColor(0xa0, 0x90, 0x80), 0.6));
        p.setBrush(QColor(0xfa, 0xf8, 0xf2));
        p.drawRect(label);
        p.setPen(QPen(QColor(0x60, 0x60, 0x68), 1));
        p.drawLine(QPointF(label.left() + 3, label.top() + 3),
                   QPointF(label.right() - 5, label.top() + 3));
        p.drawLine(QPointF(label.left() + 3, label.top() + 6),
                   QPointF(label.right() - 3, label.top() + 6));
        p.setPen(QPen(QColor(0x30, 0x30, 0x34), 0.7));
        for (qreal x = label.left() + 3; x < label.right() - 3; x += 1.6)
            p.drawLine(QPointF(x, label.top() + 9), QPointF(x, label.bottom() - 2));
    } else if (decoration == 1) {
        // "This way up": two arrows.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x3a, 0x2a, 0x1c, 200));
        for (qreal x : {x0 + 8.0, x0 + 16.0}) {
            const qreal y = bottom - 8;
            p.drawPolygon(
                QPolygonF({QPointF(x - 3, y - 10), QPointF(x, y - 15), QPointF(x + 3, y - 10)}));
            p.drawRect(QRectF(x - 1, y - 10.5, 2, 9));
        }
        p.drawRect(QRectF(x0 + 4.5, bottom - 6.5, 15, 1.5));
    } else {
        // A printed stripe with a stamp.
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xb0, 0x3a, 0x2a, 170));
        p.drawRect(QRectF(x0 + 5, bottom - 12, x1 - x0 - 10, 3));
        p.setPen(QPen(QColor(0xb0, 0x3a, 0x2a, 170), 1));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(x1 - 10, bottom - 24), 5, 5);
    }
}

void DrawWheel(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x1e, 0x1e, 0x22));
    p.drawEllipse(kAxle, 13, 13);
    p.setPen(QPen(QColor(0x55, 0x55, 0x5c), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(kAxle - QPointF(11, 11), QSizeF(22, 22)), 100 * 16, 70 * 16);
    p.setPen(QPen(QColor(0x40, 0x40, 0x46), 0.8));
    p.setBrush(Linear(kAxle - QPointF(6, 6), kAxle + QPointF(6, 6), QColor(0xe4, 0xe4, 0xea),
                      QColor(0x80, 0x80, 0x88)));
    p.drawEllipse(kAxle, 6.5, 6.5);
    p.setBrush(QColor(0x50, 0x50, 0x58));
    p.drawEllipse(kAxle, 2, 2);
}

void DrawHandTruck(QPainter &p)
{
    p.save();
    p.translate(kAxle);
    p.rotate(kTilt);
    // From here on the axle is the origin and the frame stands upright.

    // Load: three boxes, the widest at the bottom, resting against the frame.
    DrawBox(p, -60, -6, 3, 50, 0);
    DrawBox(p, -55, -6, -47, 44, 1);
    DrawBox(p, -49, -6, -91, 38, 2);

    // Nose plate under the load.
    p.setPen(QPen(QColor(0x30, 0x30, 0x34), 0.8));
    p.setBrush(Linear({0, 3}, {0, 7}, QColor(0xa8, 0xa8, 0xb0), QColor(0x50, 0x50, 0x58)));
    p.drawRect(QRectF(-63, 3, 63, 4));

    // Frame: the near rail, bent back into the handle, with a black grip.
    RoundStroke(p, {QPointF(-3, 6), QPointF(-3, -148), QPointF(4, -158), QPointF(10, -160)}, 5,
                kTruckRed);
    RoundStroke(p, {QPointF(6, -160), QPointF(14, -161)}, 6, QColor(0x26, 0x26, 0x2a));
    // Bracket from the rail down to the axle.
    p.setPen(QPen(QColor(0x7a, 0x16, 0x12), 0.8));
    p.setBrush(kTruckRed.darker(110));
    p.drawPolygon(QPolygonF({QPointF(-6, -8), QPointF(0, -8), QPointF(3, 0), QPointF(-2, 4)}));
    p.restore();

    DrawWheel(p);
}

// A work shoe pointing left, its heel at 125, 270.
QPainterPath Shoe()
{
    QPainterPath shoe;
    shoe.moveTo(125, 257);
    shoe.lineTo(125.5, 270.5);
    shoe.lineTo(101, 270.5);
    shoe.cubicTo(99, 270.5, 99, 265, 104, 263.5);
    shoe.lineTo(112, 260);
    shoe.closeSubpath();
    return shoe;
}

// The far arm and leg, in shade behind the body.
void DrawFarLimbs(QPainter &p)
{
    RoundStroke(p, {QPointF(140, 100), QPointF(126, 121)}, 9, kShirt.darker(140));
    RoundStroke(p, {QPointF(126, 121), QPointF(113, 108)}, 6.5, kSkin.darker(125), 105);
    RoundStroke(p, {QPointF(141, 170), QPointF(151, 216), QPointF(155, 260)}, 15,
                kTrousers.darker(125));
    // Far shoe, heel lifted as the worker steps forward.
    p.save();
    p.translate(137, 270.5); // the toe stays on the floor
    p.rotate(-24);
    p.translate(-101, -270.5);
    p.setPen(QPen(QColor(0x10, 0x0c, 0x08), 0.8));
    p.setBrush(QColor(0x1a, 0x14, 0x10));
    p.drawPath(Shoe());
    p.restore();
}

// Near leg, stepping forward, and its shoe.
void DrawNearLeg(QPainter &p)
{
    RoundStroke(p, {QPointF(134, 170), QPointF(127, 216), QPointF(117, 259)}, 16, kTrousers);
    p.setPen(QPen(QColor(0x10, 0x0c, 0x08), 0.8));
    p.setBrush(Linear({103, 258}, {103, 271}, QColor(0x4a, 0x3a, 0x30), QColor(0x16, 0x10, 0x0c)));
    p.drawPath(Shoe());
}

// Torso leaning into the push.
void DrawTorso(QPainter &p)
{
    QPainterPath shirt;
    shirt.moveTo(124, 172);
    shirt.cubicTo(118, 150, 114, 118, 116, 100);
    shirt.cubicTo(117, 91, 124, 86, 132, 86);
    shirt.cubicTo(142, 86, 149, 93, 150, 104);
    shirt.cubicTo(152, 125, 152, 150, 150, 172);
    shirt.closeSubpath();
    p.setPen(QPen(kShirt.darker(150), 0.8));
    p.setBrush(Linear({114, 100}, {152, 110}, kShirt.lighter(125), kShirt.darker(125)));
    p.drawPath(shirt);
    // Belt and a chest pocket.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x22, 0x1a, 0x14));
    p.drawRect(QRectF(123, 166, 28, 5));
    p.setBrush(QColor(0xc0, 0xa0, 0x40));
    p.drawRect(QRectF(127, 166.5, 4, 4));
    p.setPen(QPen(kShirt.darker(140), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(120.5, 108.5, 9, 10));
    // Trousers below the belt, between the legs.
    p.setPen(Qt::NoPen);
    p.setBrush(kTrousers);
    p.drawPolygon(
        QPolygonF({QPointF(124, 171), QPointF(151, 171), QPointF(148, 186), QPointF(127, 186)}));
}

// Neck, head and cap.
void DrawHead(QPainter &p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kSkin.darker(115));
    p.drawRect(QRectF(125, 78, 9, 11));
    p.setPen(QPen(kSkin.darker(150), 0.8));
    p.setBrush(Linear({114, 60}, {136, 80}, kSkin.lighter(108), kSkin.darker(112)));
    QPainterPath head;
    head.moveTo(134, 66);
    head.cubicTo(136, 74, 133, 81, 126, 82);
    head.cubicTo(121, 82.5, 117, 80, 116, 77);
    head.lineTo(115.5, 74);
    head.lineTo(113.5, 71.5);
    head.lineTo(115.5, 70);
    head.cubicTo(115, 66, 116, 62, 119, 60);
    head.closeSubpath();
    p.drawPath(head);
    // Hair at the back below the cap, ear, eye and mouth.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4a, 0x30, 0x1e));
    p.drawPolygon(
        QPolygonF({QPointF(128, 62), QPointF(135, 62), QPointF(135, 72), QPointF(131, 69)}));
    p.setBrush(kSkin.darker(120));
    p.drawEllipse(QPointF(128.5, 70), 2.3, 3);
    p.setBrush(QColor(0x20, 0x18, 0x14));
    p.drawEllipse(QPointF(119, 67.5), 1, 1.2);
    p.setPen(QPen(kSkin.darker(160), 0.8));
    p.drawLine(QPointF(117, 77), QPointF(120, 77.3));

    // Cap with its peak facing forward.
    QPainterPath cap;
    cap.moveTo(116, 64);
    cap.cubicTo(115, 55, 121, 51, 127, 51);
    cap.cubicTo(134, 51, 137, 56, 136.5, 64);
    cap.closeSubpath();
    p.setPen(QPen(kShirt.darker(160), 0.8));
    p.setBrush(Linear({118, 51}, {134, 64}, kShirt.lighter(135), kShirt.darker(115)));
    p.drawPath(cap);
    QPainterPath peak;
    peak.moveTo(118, 62);
    peak.cubicTo(113, 61.5, 108, 63, 106, 65);
    peak.lineTo(118, 65.5);
    peak.closeSubpath();
    p.setBrush(kShirt.darker(130));
    p.drawPath(peak);
}

// Collar and the near arm: sleeve, forearm and the hand on the grip.
void DrawNearArm(QPainter &p)
{
    p.setPen(QPen(kShirt.darker(160), 0.8));
    p.setBrush(kShirt.lighter(115));
    p.drawPolygon(QPolygonF({QPointF(123, 86), QPointF(136, 85), QPointF(131, 92)}));

    // A dark rim first keeps the sleeve apart from the shirt behind it.
    p.setPen(QPen(kShirt.darker(170), 13, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(134, 97), QPointF(127, 116));
    RoundStroke(p, {QPointF(134, 97), QPointF(127, 116)}, 11, kShirt.lighter(105));
    RoundStroke(p, {QPointF(127, 117), QPointF(111, 112)}, 7, kSkin, 110);
    p.setPen(QPen(kSkin.darker(150), 0.8));
    p.setBrush(kSkin);
    p.drawEllipse(QPointF(107.5, 111), 4.2, 4);
}

// The worker pushing the truck, drawn back to front.
void DrawWorker(QPainter &p)
{
    DrawFarLimbs(p);
    DrawNearLeg(p);
    DrawTorso(p);
    DrawHead(p);
    DrawNearArm(p);
}

} // namespace

QImage DrawSidePicture()
{
    QImage image = Canvas(163, 305, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    DrawBackground(p);
    DrawShadows(p);
    DrawHandTruck(p);
    DrawWorker(p);
    return image;
}
