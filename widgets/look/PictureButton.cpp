#include "widgets/look/PictureButton.h"

#include "widgets/look/RzGraphics.h"

#include <QStyleOptionButton>
#include <QStylePainter>

QRect PictureButton::PictureRect() const
{
    const QSize size = icon().isNull() ? QSize(0, iconSize().height()) : iconSize();
    return QRect(QPoint(Margin, (height() - size.height()) / 2), size);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    // Hot tracking: the button under the mouse is outlined and tinted in the
    // highlight colour, where the style's own change is hard to see.
    const QColor highlight = option.palette.color(QPalette::Active, QPalette::Highlight);
    if (isEnabled() && (option.state & QStyle::State_MouseOver)) {
        Rz::FrameLines edge(painter, rect());
        edge.Line(highlight);
        QColor tint = highlight;
        tint.setAlpha(HoverTintAlpha);
        edge.FillInside(tint);
    }

    QPoint shift;
    if (option.state & (QStyle::State_Sunken | QStyle::State_On))
        shift = QPoint(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));

    const QRect picture = PictureRect();
    if (!icon().isNull()) {
        QIcon::Mode mode = QIcon::Normal;
        if (!isEnabled())
            mode = QIcon::Disabled;
        else if (option.state & QStyle::State_MouseOver)
            mode = QIcon::Active;
        icon().paint(&painter, picture.translated(shift), Qt::AlignCenter, mode,
                     isChecked() ? QIcon::On : QIcon::Off);
    }

    QRect caption = rect().translated(shift);
    caption.setLeft(picture.x() + picture.width() + (icon().isNull() ? 0 : Spacing) + shift.x());
    int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, &option, this))
        flags |= Qt::TextHideMnemonic;
    painter.drawItemText(caption, flags, option.palette, isEnabled(), text(), QPalette::ButtonText);

    // The focus ring whenever the button has the focus, however it came
    // (the style draws one only after a change of focus by the keyboard):
    // one line in the highlight colour just inside the button's outline.
    if (hasFocus()) {
        Rz::FrameLines ring(painter, rect());
        ring.Skip(FocusRingInset);
        ring.Line(highlight);
    }
}
