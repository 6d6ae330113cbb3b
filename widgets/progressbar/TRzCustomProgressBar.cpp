#include "widgets/progressbar/TRzCustomProgressBar.h"

#include "widgets/look/TRzFrameController.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// numerator / denominator rounded to the nearest whole number, a half to
// the even neighbour (12.5 gives 12, 37.5 gives 38). Exact, where a
// floating-point quotient could land a hair off the half.
qint64 RoundHalfEven(qint64 numerator, qint64 denominator)
{
    const qint64 quotient = numerator / denominator;
    const qint64 twiceRemainder = 2 * (numerator % denominator);
    if (twiceRemainder > denominator || (twiceRemainder == denominator && quotient % 2 != 0))
        return quotient + 1;
    return quotient;
}

} // namespace

// A rectangle as the drawing rules count: right and bottom are exclusive.
struct TRzCustomProgressBar::Box
{
    int left, top, right, bottom;

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
    QRect ToQRect() const { return QRect(left, top, qMax(0, Width()), qMax(0, Height())); }
};

// Fills and frames the boxes of the bar. The boxes are in the painter's
// device pixels (its logical pixels at a scale of 1), where every line the
// bar counts is lineWidth pixels wide: the rule of Rz::PixelGrid.
class TRzCustomProgressBar::Painter
{
public:
    Painter(const TRzCustomProgressBar &bar, QPainter &painter, int lineWidth)
        : m_bar(bar), m_painter(painter), m_palette(bar.palette()),
          m_flat(Rz::AdjustColorLuminance(bar.m_flatColor.Resolve(m_palette),
                                          bar.m_flatColorAdjustment)),
          m_line(lineWidth)
    {}

    QColor Color(const Rz::TColor &color) const { return color.Resolve(m_palette); }

    void Fill(const Box &box, const QColor &color)
    {
        if (!box.IsEmpty())
            m_painter.fillRect(box.ToQRect(), color);
    }
    // One line along the inside of the box.
    void Outline(const Box &box, const QColor &color)
    {
        Box inside = box;
        Band(inside, 1, color);
    }
    // A band of the given number of lines along the inside of the box,
    // which shrinks by it.
    void Band(Box &box, int lines, const QColor &color)
    {
        if (lines <= 0)
            return;
        const int width = lines * m_line;
        if (box.Width() <= 2 * width || box.Height() <= 2 * width) {
            Fill(box, color);
        } else {
            Fill({box.left, box.top, box.right, box.top + width}, color);
            Fill({box.left, box.bottom - width, box.right, box.bottom}, color);
            Fill({box.left, box.top + width, box.left + width, box.bottom - width}, color);
            Fill({box.right - width, box.top + width, box.right, box.bottom - width}, color);
        }
        box.Shrink(width);
    }

    // The frame along the inside of the box, which shrinks by its width.
    void Frame(Rz::TFrameStyleEx style, Box &box, bool inner)
    {
        Rz::TFrameLook look;
        look.flat = m_flat;
        look.flatCorners = !inner; // the inner flat frame leaves its corners open
        look.bevelWidth = m_bar.m_bevelWidth;
        // fsFlatRounded lies inside on the border and back colours, outside on
        // the parent's colour and then on what lies inside the outer frame.
        look.roundedFirst = Color(m_bar.m_borderColor);
        look.roundedSecond = Color(m_bar.m_backColor);
        if (!inner && style == Rz::fsFlatRounded) {
            const QWidget *parent = m_bar.parentWidget();
            look.roundedFirst =
                parent ? parent->palette().color(QPalette::Active, parent->backgroundRole())
                       : m_palette.color(QPalette::Active, QPalette::Window);
            if (m_bar.m_borderWidth > 0 || m_bar.m_borderInner != Rz::fsNone)
                look.roundedSecond = Color(m_bar.m_borderColor);
        }
        const QRect inside =
            Rz::DrawDeviceFrame(m_painter, RawRect(box), m_line, style, m_palette, look);
        box = {inside.left(), inside.top(), inside.right() + 1, inside.bottom() + 1};
    }

private:
    // The box's corners as they are, even when it has shrunk past empty.
    static QRect RawRect(const Box &box)
    {
        return QRect(QPoint(box.left, box.top), QPoint(box.right - 1, box.bottom - 1));
    }

    const TRzCustomProgressBar &m_bar;
    QPainter &m_painter;
    const QPalette m_palette;
    const QColor m_flat;
    const int m_line;
};

TRzCustomProgressBar::TRzCustomProgressBar(QWidget *parent) : QWidget(parent)
{
    // Every pixel is painted, from one finished image: nothing beneath needs
    // drawing first, and the bar never shows half-drawn.
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(200, 24);
    FollowBounds();
}

TRzCustomProgressBar::~TRzCustomProgressBar() = default;

void TRzCustomProgressBar::SetTotalParts(int value)
{
    value = qMax(0, value);
    if (value == m_totalParts)
        return;
    m_totalParts = value;
    if (IsLoading())
        return;
    m_partsComplete = 0;
    SetPercent(0);
}

void TRzCustomProgressBar::SetPartsComplete(int value)
{
    value = qMax(0, value);
    if (value == m_partsComplete)
        return;
    m_partsComplete = qMin(value, m_totalParts);
    if (IsLoading() || m_totalParts == 0)
        return;
    SetPercent(int(RoundHalfEven(qint64(m_partsComplete) * 100, m_totalParts)));
}

void TRzCustomProgressBar::SetPercent(int value)
{
    value = qBound(0, value, 65535);
    if (value == m_percent)
        return;
    m_percent = value;
    Change(value);
    Redraw();
}

void TRzCustomProgressBar::AddCompletedParts(int count)
{
    SetPartsComplete(int(qBound<qint64>(0, qint64(m_partsComplete) + count, qint64(INT_MAX))));
}

void TRzCustomProgressBar::SetShowPercent(bool show)
{
    if (show == m_showPercent)
        return;
    m_showPercent = show;
    Redraw();
}

void TRzCustomProgressBar::SetBarStyle(Rz::TBarStyle style)
{
    if (style == m_barStyle)
        return;
    m_barStyle = style;
    m_showPercent = style == Rz::bsTraditional;
    m_interiorOffset = style == Rz::bsTraditional ? 0 : 1;
    Redraw();
}

Rz::TOrientation TRzCustomProgressBar::Orientation() const
{
    FollowBounds();
    return m_orientation;
}

void TRzCustomProgressBar::SetOrientation(Rz::TOrientation orientation)
{
    FollowBounds(); // a bounds change made before this call must not undo it later
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    Redraw();
}

void TRzCustomProgressBar::SetNumSegments(int count)
{
    count = qBound(1, count, 100);
    if (count == m_numSegments)
        return;
    m_numSegments = count;
    Redraw();
}

void TRzCustomProgressBar::SetBarColor(const Rz::TColor &color)
{
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, color.Resolve(colors));
    setPalette(colors);
    if (color == m_barColor)
        return;
    m_barColor = color;
    Redraw();
}

void TRzCustomProgressBar::SetBackColor(const Rz::TColor &color)
{
    if (color == m_backColor)
        return;
    m_backColor = color;
    Redraw();
}

void TRzCustomProgressBar::SetBorderColor(const Rz::TColor &color)
{
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    Redraw();
}

void TRzCustomProgressBar::SetBorderOuter(Rz::TFrameStyleEx style)
{
    if (style == m_borderOuter)
        return;
    m_borderOuter = style;
    Redraw();
}

void TRzCustomProgressBar::SetBorderInner(Rz::TFrameStyleEx style)
{
    if (style == m_borderInner)
        return;
    m_borderInner = style;
    Redraw();
}

void TRzCustomProgressBar::SetBorderWidth(int width)
{
    width = qMax(0, width);
    if (width == m_borderWidth)
        return;
    m_borderWidth = width;
    Redraw();
}

void TRzCustomProgressBar::SetBevelWidth(int width)
{
    width = qMax(1, width);
    if (width == m_bevelWidth)
        return;
    m_bevelWidth = width;
    Redraw();
}

void TRzCustomProgressBar::SetFlatColor(const Rz::TColor &color)
{
    if (color == m_flatColor)
        return;
    m_flatColor = color;
    update();
}

void TRzCustomProgressBar::SetFlatColorAdjustment(int steps)
{
    if (steps == m_flatColorAdjustment)
        return;
    m_flatColorAdjustment = steps;
    update();
}

void TRzCustomProgressBar::SetInteriorOffset(int pixels)
{
    pixels = qBound(0, pixels, 255);
    if (pixels == m_interiorOffset)
        return;
    m_interiorOffset = pixels;
    Redraw();
}

void TRzCustomProgressBar::SetThemeAware(bool aware)
{
    if (aware == m_themeAware)
        return;
    m_themeAware = aware;
    update();
}

void TRzCustomProgressBar::SetFrameController(TRzFrameController *controller)
{
    if (controller == m_frameController)
        return;
    disconnect(m_controllerChanged);
    m_frameController = controller; // a destroyed controller turns into nullptr
    if (controller) {
        m_controllerChanged = connect(controller, &TRzFrameController::Changed, this,
                                      &TRzCustomProgressBar::UpdateFromFrameController);
        UpdateFromFrameController();
    }
}

void TRzCustomProgressBar::UpdateFromFrameController()
{
    if (!m_frameController || !m_frameController->FrameVisible())
        return;
    m_borderOuter = m_frameController->FrameStyle();
    m_flatColor = m_frameController->FrameColor();
    m_flatColorAdjustment = 0;
    m_backColor = m_frameController->Color();
    Redraw();
}

void TRzCustomProgressBar::Change(int) {}

void TRzCustomProgressBar::Redraw()
{
    // Synchronous on purpose: the copy that steps the bar keeps the event
    // loop busy, so a queued update would show only after the last file.
    repaint();
}

void TRzCustomProgressBar::FollowBounds() const
{
    const QRect bounds = geometry();
    if (bounds == m_boundsSeen)
        return;
    m_boundsSeen = bounds;
    m_orientation = bounds.height() > bounds.width() ? Rz::orVertical : Rz::orHorizontal;
}

void TRzCustomProgressBar::resizeEvent(QResizeEvent *event)
{
    FollowBounds();
    QWidget::resizeEvent(event);
}

void TRzCustomProgressBar::moveEvent(QMoveEvent *event)
{
    FollowBounds();
    QWidget::moveEvent(event);
}

void TRzCustomProgressBar::paintEvent(QPaintEvent *)
{
    FollowBounds();
    QPainter widgetPainter(this);
    // The image holds the bar's pixels on the screen's device pixel grid:
    // where the widget's rectangle snaps to (Rz::PixelGrid), pixel for pixel.
    const Rz::PixelGrid grid(widgetPainter);
    const QRect area = grid.Snap(rect());
    QImage image(area.size(), QImage::Format_RGB32);
    {
        QPainter painter(&image);
        if (grid.Scaled())
            painter.setWorldTransform(grid.LogicalToDevice() *
                                      QTransform::fromTranslate(-area.left(), -area.top()));
        PaintBar(painter);
    }
    if (grid.Scaled()) {
        // The device pixels that the widget covers beyond the snapped
        // rectangle (up to one at each edge) take the colour around it.
        const QWidget *parent = parentWidget();
        widgetPainter.fillRect(rect(), parent ? parent->palette().color(parent->backgroundRole())
                                              : palette().color(QPalette::Window));
    }
    {
        const Rz::DeviceScope device(widgetPainter, grid);
        widgetPainter.drawImage(area.topLeft(), image);
    }
    // The bar takes the focus only from the program, while the work it shows
    // runs; its border turns to the highlight colour so that the focus is
    // seen there too.
    if (hasFocus())
        Rz::FrameLines(widgetPainter, rect()).Line(palette().color(QPalette::Highlight));
}

void TRzCustomProgressBar::PaintBar(QPainter &qp) const
{
    // Everything but the text is drawn in device pixels.
    const Rz::PixelGrid grid(qp);
    const Rz::DeviceScope device(qp, grid);
    Painter painter(*this, qp, grid.LineWidth());
    const QColor backColor = painter.Color(m_backColor);
    const QColor borderColor = painter.Color(m_borderColor);

    const QRect area = grid.Snap(rect());
    Box r{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
    painter.Fill(r, borderColor);
    painter.Frame(m_borderOuter, r, false);
    painter.Band(r, m_borderWidth, borderColor);
    painter.Frame(m_borderInner, r, true);
    painter.Band(r, m_interiorOffset, backColor);
    if (r.IsEmpty())
        return;
    if (m_barStyle == Rz::bsTraditional)
        PaintSolidBar(qp, painter, grid, r);
    else
        PaintSegments(painter, grid, r);
}

void TRzCustomProgressBar::PaintSolidBar(QPainter &qp, Painter &painter, const Rz::PixelGrid &grid,
                                         const Box &r) const
{
    const QColor barColor = painter.Color(m_barColor);
    const QColor backColor = painter.Color(m_backColor);
    // Logical lengths in device pixels, unchanged at a scale of 1.
    const auto toDevice = [&](qreal length) {
        return grid.Scaled() ? int(std::lround(length * grid.Scale())) : int(length);
    };
    const QString text = m_showPercent ? QString::asprintf("%u%%", unsigned(m_percent)) : QString();
    Box filled = r;
    Box empty = {r.right, r.top, r.right, r.bottom};
    if (m_percent < 100) {
        if (m_orientation == Rz::orHorizontal) {
            filled.right = r.left + int(RoundHalfEven(qint64(m_percent) * r.Width(), 100));
            empty.left = filled.right;
        } else {
            filled.top = r.bottom - int(RoundHalfEven(qint64(m_percent) * r.Height(), 100));
            empty = {r.left, r.top, r.right, filled.top};
        }
    }
    const QFontMetrics metrics(font());
    const int textLeft = r.right / 2 - toDevice(metrics.horizontalAdvance(text)) / 2;
    const int textTop = r.top + (r.Height() - toDevice(metrics.height())) / 2;
    const QPointF baseline = grid.LogicalToDevice().inverted().map(
        QPointF(textLeft, textTop + toDevice(metrics.ascent())));
    qp.setFont(font());
    // The text in the opposite colour on each part, clipped at the bar's
    // edge, so that it reads in two colours split exactly there.
    const auto part = [&](const Box &box, const QColor &fill, const QColor &ink) {
        if (box.IsEmpty())
            return;
        painter.Fill(box, fill);
        if (text.isEmpty())
            return;
        qp.save();
        qp.setClipRect(box.ToQRect());
        qp.setWorldTransform(grid.LogicalWorld());
        qp.setPen(ink);
        qp.drawText(baseline, text);
        qp.restore();
    };
    part(filled, barColor, backColor);
    part(empty, backColor, barColor);
}

void TRzCustomProgressBar::PaintSegments(Painter &painter, const Rz::PixelGrid &grid,
                                         const Box &r) const
{
    const QColor barColor = painter.Color(m_barColor);
    const QColor backColor = painter.Color(m_backColor);
    const bool horizontal = m_orientation == Rz::orHorizontal;
    // As many whole segments as fit, centred, lit from the start; counted in
    // logical pixels, drawn at their places on the device grid.
    const int deviceLength = horizontal ? r.Width() : r.Height();
    const int length = grid.Scaled() ? int(std::lround(deviceLength / grid.Scale())) : deviceLength;
    const auto at = [&](int offset) {
        return grid.Scaled() && length > 0 ? int(std::lround(qreal(offset) * deviceLength / length))
                                           : offset;
    };
    int count = m_numSegments;
    int size = length / count;
    if (length <= 80 && count > 10) {
        size = length / 10;
        count = 10;
    }
    if (size > 0)
        count += (length - size * count) / size;
    const int margin = (length - size * count) / 2;
    const int lit = int(qMin<qint64>(count, qint64(m_percent) * count / 100));
    const auto segment = [&](int from, int to) -> Box {
        from = at(from);
        to = at(to);
        return horizontal ? Box{r.left + from, r.top, r.left + to, r.bottom}
                          : Box{r.left, r.bottom - to, r.right, r.bottom - from};
    };
    painter.Fill(segment(0, margin), backColor);
    painter.Fill(segment(margin + size * count, length), backColor);
    for (int i = 0; i < count && size > 0; ++i) {
        const Box box = segment(margin + i * size, margin + (i + 1) * size);
        painter.Outline(box, backColor);
        Box inside = box;
        inside.Shrink(grid.LineWidth());
        painter.Fill(inside, i < lit ? barColor : backColor);
    }
}
