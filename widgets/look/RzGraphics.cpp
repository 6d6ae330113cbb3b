#include "widgets/look/RzGraphics.h"

#include <QFrame>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace Rz {

namespace {

constexpr double Scale = 240.0;

struct Hls
{
    int hue;
    int luminance;
    int saturation;
};

Hls ToHls(const QColor &color)
{
    const double red = color.red() / 255.0;
    const double green = color.green() / 255.0;
    const double blue = color.blue() / 255.0;
    const double high = std::max({red, green, blue});
    const double low = std::min({red, green, blue});
    const double luminance = (high + low) / 2;
    double hue = 0;
    double saturation = 0;
    if (high != low) {
        const double delta = high - low;
        saturation = luminance <= 0.5 ? delta / (high + low) : delta / (2 - high - low);
        if (red == high)
            hue = (green - blue) / delta;
        else if (green == high)
            hue = 2 + (blue - red) / delta;
        else
            hue = 4 + (red - green) / delta;
        hue /= 6;
        if (hue < 0)
            hue += 1;
    }
    return {int(std::lround(hue * Scale)) % int(Scale), int(std::lround(luminance * Scale)),
            int(std::lround(saturation * Scale))};
}

double HueToChannel(double p, double q, double hue)
{
    if (hue < 0)
        hue += 1;
    if (hue > 1)
        hue -= 1;
    if (hue < 1.0 / 6)
        return p + (q - p) * 6 * hue;
    if (hue < 0.5)
        return q;
    if (hue < 2.0 / 3)
        return p + (q - p) * (2.0 / 3 - hue) * 6;
    return p;
}

int ToByte(double channel)
{
    return std::clamp(int(std::lround(channel * 255)), 0, 255);
}

QColor FromHls(const Hls &hls)
{
    const double hue = hls.hue / Scale;
    const double luminance = hls.luminance / Scale;
    const double saturation = hls.saturation / Scale;
    if (hls.saturation == 0) {
        const int grey = ToByte(luminance);
        return QColor(grey, grey, grey);
    }
    const double q = luminance < 0.5 ? luminance * (1 + saturation)
                                     : luminance + saturation - luminance * saturation;
    const double p = 2 * luminance - q;
    return QColor(ToByte(HueToChannel(p, q, hue + 1.0 / 3)), ToByte(HueToChannel(p, q, hue)),
                  ToByte(HueToChannel(p, q, hue - 1.0 / 3)));
}

// A rectangle as the drawing rules count: right and bottom are exclusive,
// and it may shrink past empty.
struct Box
{
    int left, top, right, bottom;

    explicit Box(const QRect &rect)
        : left(rect.left()), top(rect.top()), right(rect.right() + 1), bottom(rect.bottom() + 1)
    {}
    Box(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    void Shrink(int by)
    {
        left += by;
        top += by;
        right -= by;
        bottom -= by;
    }
    QRect ToQRect() const { return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)); }
};

void Fill(QPainter &painter, const Box &box, const QColor &color)
{
    if (!box.IsEmpty())
        painter.fillRect(box.ToQRect(), color);
}

void Outline(QPainter &painter, const Box &b, const QColor &upperLeft, const QColor &lowerRight)
{
    if (b.IsEmpty())
        return;
    Fill(painter, {b.left, b.top, b.left + 1, b.bottom - 1}, upperLeft);
    Fill(painter, {b.left, b.top, b.right - 1, b.top + 1}, upperLeft);
    Fill(painter, {b.right - 1, b.top, b.right, b.bottom}, lowerRight);
    Fill(painter, {b.left, b.bottom - 1, b.right, b.bottom}, lowerRight);
}

class FramePainter
{
public:
    FramePainter(QPainter &painter, const QPalette &palette, const TFrameLook &look)
        : m_painter(painter), m_palette(palette), m_look(look)
    {}

    void Frame(TFrameStyleEx style, Box &box)
    {
        const QColor highlight = clBtnHighlight.Resolve(m_palette);
        const QColor shadow = clBtnShadow.Resolve(m_palette);
        const QColor light = cl3DLight.Resolve(m_palette);
        const QColor darkShadow = cl3DDkShadow.Resolve(m_palette);
        switch (style) {
        case fsNone:
            break;
        case fsFlat:
            FlatSides(box);
            box.Shrink(1);
            break;
        case fsGroove:
            Etched(box, highlight, shadow);
            break;
        case fsBump:
            Etched(box, shadow, highlight);
            break;
        case fsLowered:
            LineFrame(box, shadow, highlight);
            LineFrame(box, darkShadow, light);
            break;
        case fsRaised:
            LineFrame(box, light, darkShadow);
            LineFrame(box, highlight, shadow);
            break;
        case fsButtonUp:
            LineFrame(box, highlight, darkShadow);
            LineFrame(box, light, shadow);
            break;
        case fsButtonDown: {
            const QColor text = clBtnText.Resolve(m_palette);
            LineFrame(box, text, text);
            LineFrame(box, shadow, shadow);
            break;
        }
        case fsStatus:
            for (int i = 0; i < m_look.bevelWidth; ++i)
                LineFrame(box, shadow, highlight);
            break;
        case fsPopup:
            for (int i = 0; i < m_look.bevelWidth; ++i)
                LineFrame(box, highlight, shadow);
            break;
        case fsFlatBold:
            LineFrame(box, m_look.flat, m_look.flat);
            LineFrame(box, m_look.flat, m_look.flat);
            break;
        case fsFlatRounded:
            FlatRounded(box);
            break;
        }
    }

private:
    void Fill(const Box &box, const QColor &color) { Rz::Fill(m_painter, box, color); }
    void Outline(const Box &box, const QColor &upperLeft, const QColor &lowerRight)
    {
        Rz::Outline(m_painter, box, upperLeft, lowerRight);
    }
    void Pixel(int x, int y, const QColor &color) { Fill({x, y, x + 1, y + 1}, color); }
    void LineFrame(Box &box, const QColor &upperLeft, const QColor &lowerRight)
    {
        Outline(box, upperLeft, lowerRight);
        box.Shrink(1);
    }

    void FlatSides(const Box &b)
    {
        if (b.IsEmpty())
            return;
        const QColor &flat = m_look.flat;
        const int skip = m_look.flatCorners ? 0 : 1;
        if (m_look.flatSides & Qt::LeftEdge)
            Fill({b.left, b.top + skip, b.left + 1, b.bottom - skip}, flat);
        if (m_look.flatSides & Qt::TopEdge)
            Fill({b.left + skip, b.top, b.right - skip, b.top + 1}, flat);
        if (m_look.flatSides & Qt::RightEdge)
            Fill({b.right - 1, b.top + skip, b.right, b.bottom - skip}, flat);
        if (m_look.flatSides & Qt::BottomEdge)
            Fill({b.left + skip, b.bottom - 1, b.right - skip, b.bottom}, flat);
    }

    // The corner pixels first, then the light line one pixel in and down,
    // then the dark line one pixel short at right and bottom over it.
    void Etched(Box &box, const QColor &light, const QColor &dark)
    {
        if (!box.IsEmpty()) {
            Pixel(box.right - 1, box.top, light);
            Pixel(box.left, box.bottom - 1, light);
            Outline({box.left + 1, box.top + 1, box.right, box.bottom}, light, light);
            Outline({box.left, box.top, box.right - 1, box.bottom - 1}, dark, dark);
        }
        box.Shrink(2);
    }

    // Two line frames, then over the rectangle as it was a rounded outline
    // in the flat colour: sides two pixels short at each end, and one pixel
    // diagonally inside each corner.
    void FlatRounded(Box &box)
    {
        const Box o = box;
        LineFrame(box, m_look.roundedFirst, m_look.roundedFirst);
        LineFrame(box, m_look.roundedSecond, m_look.roundedSecond);
        if (o.Width() < 4 || o.Height() < 4)
            return;
        const QColor &flat = m_look.flat;
        Fill({o.left + 2, o.top, o.right - 2, o.top + 1}, flat);
        Fill({o.left + 2, o.bottom - 1, o.right - 2, o.bottom}, flat);
        Fill({o.left, o.top + 2, o.left + 1, o.bottom - 2}, flat);
        Fill({o.right - 1, o.top + 2, o.right, o.bottom - 2}, flat);
        Pixel(o.left + 1, o.top + 1, flat);
        Pixel(o.right - 2, o.top + 1, flat);
        Pixel(o.left + 1, o.bottom - 2, flat);
        Pixel(o.right - 2, o.bottom - 2, flat);
    }

    QPainter &m_painter;
    const QPalette &m_palette;
    const TFrameLook &m_look;
};

} // namespace

QColor AdjustColorLuminance(const QColor &color, int amount)
{
    if (amount == 0)
        return color;
    Hls hls = ToHls(color);
    hls.luminance =
        amount > 0 ? std::min(hls.luminance + amount, 255) : std::max(hls.luminance + amount, 0);
    return FromHls(hls);
}

void DrawLineFrame(QPainter &painter, const QRect &box, const QColor &upperLeft,
                   const QColor &lowerRight)
{
    Outline(painter, Box(box), upperLeft, lowerRight);
}

QRect DrawFrame(QPainter &painter, const QRect &box, TFrameStyleEx style, const QPalette &palette,
                const TFrameLook &look)
{
    Box inside(box);
    FramePainter(painter, palette, look).Frame(style, inside);
    return inside.ToQRect();
}

TFrameStyleEx OneLineStyle(TFrameStyleEx style)
{
    switch (style) {
    case fsLowered:
    case fsButtonDown:
    case fsStatus:
        return fsStatus;
    case fsRaised:
    case fsButtonUp:
    case fsPopup:
        return fsPopup;
    case fsFlatRounded:
        return fsFlat;
    case fsNone:
    case fsFlat:
    case fsGroove:
    case fsBump:
    case fsFlatBold:
        break;
    }
    return style;
}

void ApplyFrameStyle(QFrame &frame, TFrameStyleEx style, const QColor &flat)
{
    const TFrameStyleEx drawn = OneLineStyle(style);
    int shape = QFrame::Box | QFrame::Plain; // fsFlat and fsFlatBold
    if (drawn == fsNone)
        shape = QFrame::NoFrame;
    else if (drawn == fsGroove)
        shape = QFrame::Box | QFrame::Sunken;
    else if (drawn == fsBump)
        shape = QFrame::Box | QFrame::Raised;
    else if (drawn == fsStatus)
        shape = QFrame::Panel | QFrame::Sunken;
    else if (drawn == fsPopup)
        shape = QFrame::Panel | QFrame::Raised;
    frame.setFrameStyle(shape);
    frame.setLineWidth(drawn == fsFlatBold ? 2 : 1);
    QPalette palette = frame.palette();
    // A plain frame is drawn in the window-text colour.
    palette.setColor(QPalette::WindowText, flat);
    frame.setPalette(palette);
}

} // namespace Rz
