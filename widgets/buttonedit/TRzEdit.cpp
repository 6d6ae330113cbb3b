#include "widgets/buttonedit/TRzEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

#include <iterator>

Rz::TFrameStyleEx TRzEdit::SharedStyle(TFrameStyle style)
{
    static constexpr Rz::TFrameStyleEx shared[] = {Rz::fsNone, Rz::fsFlat,    Rz::fsGroove,
                                                   Rz::fsBump, Rz::fsLowered, Rz::fsRaised};
    static_assert(std::size(shared) == fsRaised + 1);
    // A number outside the six, written through the property, draws no frame.
    return std::size_t(style) < std::size(shared) ? shared[style] : Rz::fsNone;
}

TRzEdit::TRzEdit(QWidget *parent) : QLineEdit(parent)
{
    // The border is this class's own drawing around the contents rectangle;
    // the style draws none.
    setFrame(false);
    resize(121, 21);
    UpdateBorder();
    UpdateColors();
}

void TRzEdit::SetFrameVisible(bool visible)
{
    m_frameVisible = visible;
    UpdateBorder();
}

void TRzEdit::SetFrameStyle(TFrameStyle style)
{
    m_frameStyle = style;
    UpdateBorder();
}

QColor TRzEdit::FrameColor() const
{
    return Resolve(m_frameColor);
}

void TRzEdit::SetFrameColor(const Rz::TColor &color)
{
    m_frameColor = color;
    update();
}

void TRzEdit::SetFrameSides(TSides sides)
{
    m_frameSides = sides;
    update();
}

void TRzEdit::SetFrameHotTrack(bool hotTrack)
{
    m_frameHotTrack = hotTrack;
    update();
}

void TRzEdit::SetBorderStyle(TBorderStyle style)
{
    m_borderStyle = style;
    UpdateBorder();
}

QColor TRzEdit::Color() const
{
    return Resolve(m_color);
}

void TRzEdit::SetColor(const Rz::TColor &color)
{
    m_color = color;
    UpdateColors();
}

QColor TRzEdit::FocusColor() const
{
    return Resolve(m_focusColor);
}

void TRzEdit::SetFocusColor(const Rz::TColor &color)
{
    m_focusColor = color;
    UpdateColors();
}

QColor TRzEdit::DisabledColor() const
{
    return Resolve(m_disabledColor);
}

void TRzEdit::SetDisabledColor(const Rz::TColor &color)
{
    m_disabledColor = color;
    UpdateColors();
}

QColor TRzEdit::CurrentColor() const
{
    if (!isEnabled())
        return DisabledColor();
    if (hasFocus())
        return FocusColor();
    return Color();
}

int TRzEdit::BorderWidth() const
{
    return m_frameVisible || m_borderStyle == bsSingle ? 2 : 0;
}

QColor TRzEdit::Resolve(const Rz::TColor &color) const
{
    return color.Resolve(QApplication::palette(this));
}

void TRzEdit::UpdateBorder()
{
    const int border = BorderWidth();
    setContentsMargins(border, border, border, border);
    update();
    FrameChanged();
}

void TRzEdit::UpdateColors()
{
    QPalette colors = palette();
    const QColor current = CurrentColor();
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        colors.setColor(group, QPalette::Base, current);
    setPalette(colors);
    update();
}

void TRzEdit::paintEvent(QPaintEvent *event)
{
    {
        // The style may leave parts of the contents rectangle unfilled.
        QPainter painter(this);
        painter.fillRect(rect(), CurrentColor());
    }
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    DrawBorder(painter);
}

void TRzEdit::DrawBorder(QPainter &painter) const
{
    const QRect edge = rect();
    const QPalette scheme = QApplication::palette(this);
    if (!m_frameVisible) {
        if (m_borderStyle == bsSingle)
            Rz::DrawFrame(painter, edge, Rz::fsLowered, scheme, {});
        return;
    }

    // Two lines deep: the frame's one line (the 3-D styles one bevel deep),
    // inside it a line in the edit's colour, bold in the frame colour while
    // hot-tracked; the etched styles take both lines.
    const QColor inside = CurrentColor();
    const bool bold = m_frameHotTrack && (m_hot || hasFocus());
    const QColor ring = bold ? FrameColor() : inside;
    Rz::FrameLines lines(painter, edge);
    lines.Line(inside);
    lines.Line(ring);
    Rz::TFrameLook look;
    look.flat = FrameColor();
    look.flatSides = {};
    if (m_frameSides & sdLeft)
        look.flatSides |= Qt::LeftEdge;
    if (m_frameSides & sdTop)
        look.flatSides |= Qt::TopEdge;
    if (m_frameSides & sdRight)
        look.flatSides |= Qt::RightEdge;
    if (m_frameSides & sdBottom)
        look.flatSides |= Qt::BottomEdge;
    Rz::DrawFrame(painter, edge, Rz::OneLineStyle(SharedStyle(m_frameStyle)), scheme, look);
}

void TRzEdit::focusInEvent(QFocusEvent *event)
{
    const bool byKeyboard = event->reason() == Qt::TabFocusReason ||
                            event->reason() == Qt::BacktabFocusReason ||
                            event->reason() == Qt::ShortcutFocusReason;
    const int cursor = cursorPosition();
    QLineEdit::focusInEvent(event);
    // The line edit selects on keyboard focus by itself; AutoSelect decides.
    if (byKeyboard) {
        if (m_autoSelect) {
            selectAll();
        } else {
            deselect();
            setCursorPosition(cursor);
        }
    }
    UpdateColors();
    StateChanged();
}

void TRzEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    UpdateColors();
    StateChanged();
}

void TRzEdit::enterEvent(QEnterEvent *event)
{
    QLineEdit::enterEvent(event);
    m_hot = true;
    update();
    StateChanged();
}

void TRzEdit::leaveEvent(QEvent *event)
{
    QLineEdit::leaveEvent(event);
    m_hot = false;
    update();
    StateChanged();
}

void TRzEdit::changeEvent(QEvent *event)
{
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) {
        UpdateColors();
        StateChanged();
    }
}

void TRzEdit::keyPressEvent(QKeyEvent *event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (m_tabOnEnter && enter && !(event->modifiers() & ~Qt::KeypadModifier)) {
        focusNextPrevChild(true);
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}
