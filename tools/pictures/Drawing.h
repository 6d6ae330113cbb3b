#pragma once

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPointF>

// Small helpers the picture drawings share.

// Pictures are drawn in logical pixels at this scale: 2 draws the
// double-resolution forms for high-density screens.
void SetPictureScale(int scale);
int PictureScale();

// A canvas of the logical size at the picture scale.
QImage Canvas(int width, int height, QImage::Format format);

// A transparent canvas for an icon.
QImage TransparentCanvas(int width, int height);

// The colour a of the way from a to b.
QColor Mix(const QColor &a, const QColor &b, qreal t);

// A straight gradient between two points and two colours.
QBrush Linear(QPointF from, QPointF to, const QColor &a, const QColor &b);

// A round-capped stroke along the points, then a narrower lighter stroke
// shifted towards the light (upper left), so a limb or tube looks round.
void RoundStroke(QPainter &p, const QList<QPointF> &points, qreal width, const QColor &colour,
                 int highlight = 125);

// Scan line y of a 32-bit image as pixels. QImage keeps every scan line
// 32-bit aligned, so the bytes of such a line are an array of QRgb.
QRgb *RgbLine(QImage &image, int y);
const QRgb *RgbLine(const QImage &image, int y);

// The greyed form of an icon that a disabled button shows: the same shape,
// no colour, lighter, so it reads as "not available" next to the normal one.
QImage DisabledForm(const QImage &icon);
