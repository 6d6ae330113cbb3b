#include "Drawing.h"

#include <QLinearGradient>
#include <QPainterPath>

namespace {

int scale = 1;

} // namespace

void SetPictureScale(int newScale)
{
    scale = newScale;
}

int PictureScale()
{
    return scale;
}

QImage Canvas(int width, int height, QImage::Format format)
{
    QImage image(width * scale, height * scale, format);
    image.setDevicePixelRatio(scale);
    return image;
}

QImage TransparentCanvas(int width, int height)
{
    QImage image = Canvas(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

QColor Mix(const QColor &a, const QColor &b, qreal t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t),
                            float(a.alphaF() + (b.alphaF() - a.alphaF()) * t));
}

QBrush Linear(QPointF from, QPointF to, const QColor &a, const QColor &b)
{
    QLinearGradient gradient(from, to);
    gradient.setColorAt(0, a);
    gradient.setColorAt(1, b);
    return QBrush(gradient);
}

void RoundStroke(QPainter &p, const QList<QPointF> &points, qreal width, const QColor &colour,
                 int highlight)
{
    QPainterPath path(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        path.lineTo(points[i]);
    p.save();
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour.darker(125), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
    p.setPen(QPen(colour, width * 0.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path.translated(-width * 0.1, -width * 0.05));
    p.setPen(
        QPen(colour.lighter(highlight), width * 0.25, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path.translated(-width * 0.2, -width * 0.12));
    p.restore();
}

QRgb *RgbLine(QImage &image, int y)
{
    Q_ASSERT(image.depth() == 32);
    return static_cast<QRgb *>(static_cast<void *>(image.scanLine(y)));
}

const QRgb *RgbLine(const QImage &image, int y)
{
    Q_ASSERT(image.depth() == 32);
    return static_cast<const QRgb *>(static_cast<const void *>(image.constScanLine(y)));
}

QImage DisabledForm(const QImage &icon)
{
    QImage grey = icon.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < grey.height(); ++y) {
        QRgb *line = RgbLine(grey, y);
        for (int x = 0; x < grey.width(); ++x) {
            const int level = 110 + qGray(line[x]) * 100 / 255;
            line[x] = qRgba(level, level, level, qAlpha(line[x]));
        }
    }
    return grey;
}
