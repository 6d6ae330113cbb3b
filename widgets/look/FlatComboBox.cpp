#include "widgets/look/FlatComboBox.h"

#include "widgets/look/RzGraphics.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QStyledItemDelegate>

namespace {

constexpr int Border = 2;
constexpr int ButtonWidth = 17;

// List items of the list's own fixed height, whatever the font asks for.
class FixedHeightDelegate : public QStyledItemDelegate
{
public:
    explicit FixedHeightDelegate(const FlatComboBox *combo)
        : QStyledItemDelegate(combo->view()), m_combo(combo)
    {}

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), m_combo->ItemHeight());
    }

private:
    const FlatComboBox *m_combo;
};

} // namespace

FlatComboBox::FlatComboBox(QWidget *parent) : QComboBox(parent)
{
    setItemDelegate(new FixedHeightDelegate(this));
}

void FlatComboBox::SetItemHeight(int height)
{
    m_itemHeight = height;
    view()->doItemsLayout();
}

QRect FlatComboBox::ButtonRect() const
{
    return QRect(width() - Border - ButtonWidth, Border, ButtonWidth, height() - 2 * Border);
}

void FlatComboBox::showPopup()
{
    QComboBox::showPopup();
    QWidget *popup = view()->window();
    if (!popup->isVisible())
        return;
    QPoint at = mapToGlobal(QPoint(0, height()));
    if (const QScreen *screen = this->screen()) {
        if (at.y() + popup->height() > screen->availableGeometry().bottom() + 1)
            at.setY(mapToGlobal(QPoint(0, 0)).y() - popup->height());
    }
    popup->move(at);
}

void FlatComboBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QPalette scheme = QApplication::palette(this);
    const QColor field = scheme.color(isEnabled() ? QPalette::Base : QPalette::Button);
    painter.fillRect(rect(), field);

    const QRect button = ButtonRect();
    painter.fillRect(button, scheme.color(QPalette::Button));
    // The classic drop-down arrow: 7 pixels wide, 4 high.
    painter.setPen(scheme.color(isEnabled() ? QPalette::ButtonText : QPalette::Dark));
    const QPoint tip(button.x() + button.width() / 2, button.y() + (button.height() + 4) / 2);
    for (int row = 0; row < 4; ++row)
        painter.drawLine(tip + QPoint(-row, -row), tip + QPoint(row, -row));

    // The text field; with the focus it is shown selected, as the list's
    // keyboard target.
    QRect text(Border, Border, button.x() - Border, height() - 2 * Border);
    QColor ink = scheme.color(isEnabled() ? QPalette::Text : QPalette::Dark);
    if (hasFocus() && !view()->isVisible()) {
        const QRect selection = text.adjusted(1, 1, -1, -1);
        painter.fillRect(selection, scheme.color(QPalette::Highlight));
        ink = scheme.color(QPalette::HighlightedText);
    }
    painter.setPen(ink);
    painter.setFont(font());
    painter.drawText(text.adjusted(2, 0, -1, 0),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, currentText());

    // The frame last, whole on the device pixel grid, over anything that
    // reaches its lines at a fractional scale.
    Rz::TFrameLook look;
    look.flat = scheme.color(QPalette::Dark);
    Rz::DrawFrame(painter, rect(), Rz::fsFlat, scheme, look);
}
