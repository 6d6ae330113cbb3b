#include "widgets/buttonedit/TRzEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <qdrawutil.h>

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
    return m_frameColor.value_or(SystemColor(QPalette::Dark));
}

void TRzEdit::SetFrameColor(const QColor &color)
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
    return m_color.value_or(SystemColor(QPalette::Base));
}

void TRzEdit::SetColor(const QColor &color)
{
    m_color = color;
    UpdateColors();
}

QColor TRzEdit::FocusColor() const
{
    return m_focusColor.value_or(SystemColor(QPalette::Base));
}

void TRzEdit::SetFocusColor(const QColor &color)
{
    m_focusColor = color;
    UpdateColors();
}

QColor TRzEdit::DisabledColor() const
{
    return m_disabledColor.value_or(SystemColor(QPalette::Button));
}

void TRzEdit::SetDisabledColor(const QColor &color)
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

QColor TRzEdit::SystemColor(QPalette::ColorRole role) const
{
    return QApplication::palette(this).color(role);
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
    // A stroked rectangle covers one pixel more than its size; the lines run
    // from corner pixel to corner pixel of the whole edit.
    const QRect outer = rect().adjusted(0, 0, -1, -1);
    const QRect edge = rect();
    const QPalette scheme = QApplication::palette(this);
    if (!m_frameVisible) {
        if (m_borderStyle == bsSingle)
            qDrawWinPanel(&painter, rect(), scheme, true);
        return;
    }

    const QColor inside = CurrentColor();
    const bool bold = m_frameHotTrack && (m_hot || hasFocus());
    painter.setBrush(Qt::NoBrush);
    painter.setPen(bold ? FrameColor() : inside);
    painter.drawRect(outer.adjusted(1, 1, -1, -1));
    switch (m_frameStyle) {
    case fsNone:
        painter.setPen(inside);
        painter.drawRect(outer);
        break;
    case fsFlat:
        painter.setPen(inside);
        painter.drawRect(outer);
        painter.setPen(FrameColor());
        if (m_frameSides & sdLeft)
            painter.drawLine(edge.topLeft(), edge.bottomLeft());
        if (m_frameSides & sdTop)
            painter.drawLine(edge.topLeft(), edge.topRight());
        if (m_frameSides & sdRight)
            painter.drawLine(edge.topRight(), edge.bottomRight());
        if (m_frameSides & sdBottom)
            painter.drawLine(edge.bottomLeft(), edge.bottomRight());
        break;
    case fsGroove:
        qDrawShadeRect(&painter, rect(), scheme, true, 1, 0);
        break;
    case fsBump:
        qDrawShadeRect(&painter, rect(), scheme, false, 1, 0);
        break;
    case fsLowered:
        qDrawShadePanel(&painter, rect(), scheme, true, 1);
        break;
    case fsRaised:
        qDrawShadePanel(&painter, rect(), scheme, false, 1);
        break;
    }
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
