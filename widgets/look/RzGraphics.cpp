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

// One line frame, each side u pixels wide.
void Outline(QPainter &painter, const Box &b, const QColor &upperLeft, const QColor &lowerRight,
             int u)
{
    if (b.IsEmpty())
        return;
    Fill(painter, {b.left, b.top, b.left + u, b.bottom - u}, upperLeft);
    Fill(painter, {b.left, b.top, b.right - u, b.top + u}, upperLeft);
    Fill(painter, {b.right - u, b.top, b.right, b.bottom}, lowerRight);
    Fill(painter, {b.left, b.bottom - u, b.right, b.bottom}, lowerRight);
}

// Draws in units of u pixels: every line, and every step along a side that
// the styles count in lines, is u pixels (u device pixels of a scaled grid,
// or one logical pixel).
class FramePainter
{
public:
    FramePainter(QPainter &painter, const QPalette &palette, const TFrameLook &look, int u)
        : m_painter(painter), m_palette(palette), m_look(look), m_u(u)
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
            box.Shrink(m_u);
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
        Rz::Outline(m_painter, box, upperLeft, lowerRight, m_u);
    }
    // One pixel of the logical drawing: a square of u.
    void Pixel(int x, int y, const QColor &color) { Fill({x, y, x + m_u, y + m_u}, color); }
    void LineFrame(Box &box, const QColor &upperLeft, const QColor &lowerRight)
    {
        Outline(box, upperLeft, lowerRight);
        box.Shrink(m_u);
    }

    void FlatSides(const Box &b)
    {
        if (b.IsEmpty())
            return;
        const QColor &flat = m_look.flat;
        const int u = m_u;
        const int skip = m_look.flatCorners ? 0 : u;
        if (m_look.flatSides & Qt::LeftEdge)
            Fill({b.left, b.top + skip, b.left + u, b.bottom - skip}, flat);
        if (m_look.flatSides & Qt::TopEdge)
            Fill({b.left + skip, b.top, b.right - skip, b.top + u}, flat);
        if (m_look.flatSides & Qt::RightEdge)
            Fill({b.right - u, b.top + skip, b.right, b.bottom - skip}, flat);
        if (m_look.flatSides & Qt::BottomEdge)
            Fill({b.left + skip, b.bottom - u, b.right - skip, b.bottom}, flat);
    }

    // The corner pixels first, then the light line one pixel in and down,
    // then the dark line one pixel short at right and bottom over it.
    void Etched(Box &box, const QColor &light, const QColor &dark)
    {
        const int u = m_u;
        if (!box.IsEmpty()) {
            Pixel(box.right - u, box.top, light);
            Pixel(box.left, box.bottom - u, light);
            Outline({box.left + u, box.top + u, box.right, box.bottom}, light, light);
            Outline({box.left, box.top, box.right - u, box.bottom - u}, dark, dark);
        }
        box.Shrink(2 * u);
    }

    // Two line frames, then over the rectangle as it was a rounded outline
    // in the flat colour: sides two pixels short at each end, and one pixel
    // diagonally inside each corner.
    void FlatRounded(Box &box)
    {
        const Box o = box;
        const int u = m_u;
        LineFrame(box, m_look.roundedFirst, m_look.roundedFirst);
        LineFrame(box, m_look.roundedSecond, m_look.roundedSecond);
        if (o.Width() < 4 * u || o.Height() < 4 * u)
            return;
        const QColor &flat = m_look.flat;
        Fill({o.left + 2 * u, o.top, o.right - 2 * u, o.top + u}, flat);
        Fill({o.left + 2 * u, o.bottom - u, o.right - 2 * u, o.bottom}, flat);
        Fill({o.left, o.top + 2 * u, o.left + u, o.bottom - 2 * u}, flat);
        Fill({o.right - u, o.top + 2 * u, o.right, o.bottom - 2 * u}, flat);
        Pixel(o.left + u, o.top + u, flat);
        Pixel(o.right - 2 * u, o.top + u, flat);
        Pixel(o.left + u, o.bottom - 2 * u, flat);
        Pixel(o.right - 2 * u, o.bottom - 2 * u, flat);
    }

    QPainter &m_painter;
    const QPalette &m_palette;
    const TFrameLook &m_look;
    const int m_u;
};

// The box with its corners as they are, even when it has shrunk past empty.
QRect RawRect(const Box &box)
{
    return QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1));
}

// The nearest whole number, halves upwards (the same way on both sides of 0).
int Nearest(qreal value)
{
    return int(std::floor(value + 0.5));
}

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

PixelGrid::PixelGrid(const QPainter &painter)
    : m_device(painter.deviceTransform()),
      m_logicalWorld(painter.worldMatrixEnabled() ? painter.worldTransform() : QTransform())
{
    // Only a plain scale (with any offset) has a grid to snap to; a scale of
    // 1 needs no snapping, and the logical drawing stays as it is.
    if (m_device.type() > QTransform::TxScale || m_device.m11() <= 0 || m_device.m22() <= 0)
        return;
    if (qFuzzyCompare(m_device.m11(), 1.0) && qFuzzyCompare(m_device.m22(), 1.0))
        return;
    m_scaled = true;
    m_scaleX = m_device.m11();
    m_scaleY = m_device.m22();
    m_lineWidth = std::max(1, Nearest(std::min(m_scaleX, m_scaleY)));
}

QRect PixelGrid::Snap(const QRect &logical) const
{
    if (!m_scaled)
        return logical;
    const int left = Nearest(m_device.dx() + logical.left() * m_scaleX);
    const int top = Nearest(m_device.dy() + logical.top() * m_scaleY);
    const int right = Nearest(m_device.dx() + (logical.right() + 1) * m_scaleX);
    const int bottom = Nearest(m_device.dy() + (logical.bottom() + 1) * m_scaleY);
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

QTransform PixelGrid::DeviceWorld() const
{
    // The device transform is the world transform followed by the rest
    // (view, redirection, device pixel ratio); this world transform undoes
    // the rest.
    return m_scaled ? m_device.inverted() * m_logicalWorld : m_logicalWorld;
}

DeviceScope::DeviceScope(QPainter &painter, const PixelGrid &grid)
{
    if (!grid.Scaled())
        return;
    m_painter = &painter;
    painter.save();
    painter.setWorldTransform(grid.DeviceWorld());
}

DeviceScope::~DeviceScope()
{
    if (m_painter)
        m_painter->restore();
}

FrameLines::FrameLines(QPainter &painter, const QRect &box)
    : m_painter(painter), m_grid(painter), m_logical(box), m_device(m_grid.Snap(box))
{}

void FrameLines::Line(const QColor &upperLeft, const QColor &lowerRight)
{
    const DeviceScope scope(m_painter, m_grid);
    Box box(m_device);
    Outline(m_painter, box, upperLeft, lowerRight, m_grid.LineWidth());
    Skip(1);
}

void FrameLines::Frame(TFrameStyleEx style, const QPalette &palette, const TFrameLook &look)
{
    const int u = m_grid.LineWidth();
    QRect inside;
    {
        const DeviceScope scope(m_painter, m_grid);
        inside = DrawDeviceFrame(m_painter, m_device, u, style, palette, look);
    }
    Skip((inside.left() - m_device.left()) / u);
}

void FrameLines::Skip(int lines)
{
    const int u = m_grid.LineWidth();
    Box device(m_device);
    device.Shrink(lines * u);
    m_device = RawRect(device);
    m_lines += lines;
}

void FrameLines::FillInside(const QColor &color)
{
    const DeviceScope scope(m_painter, m_grid);
    Fill(m_painter, Box(m_device), color);
}

QRect FrameLines::Inside() const
{
    Box logical(m_logical);
    logical.Shrink(m_lines);
    return RawRect(logical);
}

QRect DrawFrame(QPainter &painter, const QRect &box, TFrameStyleEx style, const QPalette &palette,
                const TFrameLook &look)
{
    FrameLines lines(painter, box);
    lines.Frame(style, palette, look);
    return lines.Inside();
}

QRect DrawDeviceFrame(QPainter &painter, const QRect &box, int lineWidth, TFrameStyleEx style,
                      const QPalette &palette, const TFrameLook &look)
{
    Box inside(box);
    FramePainter(painter, palette, look, std::max(1, lineWidth)).Frame(style, inside);
    return RawRect(inside);
}

void DrawRoundedFrame(QPainter &painter, const QRect &box, const QColor &line, const QColor &fill,
                      qreal radius)
{
    const PixelGrid grid(painter);
    const DeviceScope scope(painter, grid);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    // The outline's pen runs along the middle of its line, half a line
    // inside the snapped rectangle.
    const int u = grid.LineWidth();
    QPen pen(line);
    pen.setWidth(u);
    painter.setPen(pen);
    painter.setBrush(fill);
    const qreal half = u / 2.0;
    const qreal corner = grid.Scaled() ? radius * grid.Scale() : radius;
    painter.drawRoundedRect(QRectF(grid.Snap(box)).adjusted(half, half, -half, -half), corner,
                            corner);
    painter.restore();
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
