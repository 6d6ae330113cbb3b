#include "widgets/buttonedit/TRzControlButton.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

TRzControlButton::TRzControlButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    // Its parent may be an edit with a text cursor; the button is no text.
    setCursor(Qt::ArrowCursor);
}

void TRzControlButton::SetGlyph(const QImage &glyph)
{
    m_glyph = glyph;
    m_denseGlyph = QImage();
    update();
}

void TRzControlButton::SetDenseGlyph(const QImage &glyph)
{
    m_denseGlyph = glyph;
    update();
}

void TRzControlButton::SetNumGlyphs(int count)
{
    m_numGlyphs = qBound(1, count, 4);
    update();
}

void TRzControlButton::SetFlat(bool flat)
{
    m_flat = flat;
    update();
}

QColor TRzControlButton::Color() const
{
    return m_color.Resolve(QApplication::palette(this));
}

void TRzControlButton::SetColor(const Rz::TColor &color)
{
    m_color = color;
    update();
}

void TRzControlButton::SetDropDownArrow(bool arrow)
{
    m_dropDownArrow = arrow;
    update();
}

QImage TRzControlButton::CurrentImageOf(const QImage &glyph) const
{
    if (glyph.isNull())
        return {};
    const int width = glyph.width() / m_numGlyphs;
    const auto image = [&](int index) {
        QImage part = glyph.copy(index * width, 0, width, glyph.height());
        part.setDevicePixelRatio(glyph.devicePixelRatio());
        return part;
    };
    if (!isEnabled()) {
        if (m_numGlyphs >= 2)
            return image(1);
        // A picture without a disabled image: the style greys the normal one.
        QStyleOption option;
        option.initFrom(this);
        const QPixmap normal = QPixmap::fromImage(image(0));
        return style()->generatedIconPixmap(QIcon::Disabled, normal, &option).toImage();
    }
    if (isDown() && m_numGlyphs >= 3)
        return image(2);
    return image(0);
}

void TRzControlButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette scheme = QApplication::palette(this);
    const QRect area = rect();
    const bool down = isDown() && isEnabled();
    // The shading as Qt's classic panels and buttons draw it, on the device
    // pixel grid.
    const QColor dark = scheme.color(QPalette::Dark);
    const QColor light = scheme.color(QPalette::Light);
    Rz::FrameLines lines(painter, area);
    if (m_flat) {
        painter.fillRect(area, Color());
        if (down)
            lines.Line(dark, light);
        else if (underMouse() && isEnabled())
            lines.Line(light, dark);
    } else if (area.width() >= 2 && area.height() >= 2) {
        const QColor shadow = scheme.color(QPalette::Shadow);
        const QColor button = scheme.color(QPalette::Button);
        if (down)
            lines.Line(shadow, light);
        else
            lines.Line(light, shadow);
        if (area.width() > 4 && area.height() > 4) {
            if (down)
                lines.Line(dark, button);
            else
                lines.Line(button, dark);
            lines.FillInside(Color());
        }
    }

    const QPoint shift = down ? QPoint(1, 1) : QPoint();
    // On a high-density screen the dense form, in the same place and size.
    const bool dense = devicePixelRatioF() > 1 && !m_denseGlyph.isNull();
    const QImage image = CurrentImageOf(dense ? m_denseGlyph : m_glyph);
    if (!image.isNull()) {
        const QSize size = image.deviceIndependentSize().toSize();
        const QPoint at((area.width() - size.width()) / 2, (area.height() - size.height()) / 2);
        painter.drawImage(at + shift, image);
    } else if (m_dropDownArrow) {
        // The classic drop-down arrow: 7 pixels wide, 4 high.
        const QPoint tip(area.width() / 2, (area.height() + 4) / 2);
        const auto drawArrow = [&painter, tip](QPoint offset, const QColor &color) {
            painter.setPen(color);
            for (int row = 0; row < 4; ++row) {
                const QPoint left = tip + offset + QPoint(-row, -row);
                painter.drawLine(left, left + QPoint(2 * row, 0));
            }
        };
        if (isEnabled()) {
            drawArrow(shift, scheme.color(QPalette::ButtonText));
        } else {
            drawArrow(QPoint(1, 1), scheme.color(QPalette::Light));
            drawArrow(QPoint(), scheme.color(QPalette::Dark));
        }
    }
}

void TRzControlButton::mousePressEvent(QMouseEvent *event)
{
    // The focus goes to the focus control first; a press that cannot take
    // it there is not a press.
    QWidget *control = m_focusControl;
    if (event->button() == Qt::LeftButton && control && control->isEnabled() &&
        control->isVisible() && (control->focusPolicy() & Qt::TabFocus)) {
        if (control->window()->focusWidget() != control)
            control->setFocus(Qt::MouseFocusReason);
        if (control->window()->focusWidget() != control) {
            event->accept();
            return;
        }
    }
    QAbstractButton::mousePressEvent(event);
}

void TRzControlButton::enterEvent(QEnterEvent *event)
{
    QAbstractButton::enterEvent(event);
    update();
}

void TRzControlButton::leaveEvent(QEvent *event)
{
    QAbstractButton::leaveEvent(event);
    update();
}
