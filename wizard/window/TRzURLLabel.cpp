#include "wizard/window/TRzURLLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

namespace {

// A link to assistive technology: named by its caption, with the address
// it opens as its value, and opened by its one action as by a click.
class LinkAccessible : public QAccessibleWidget
{
public:
    explicit LinkAccessible(TRzURLLabel *link) : QAccessibleWidget(link, QAccessible::Link) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Link()->Caption();
        if (kind == QAccessible::Value)
            return Link()->LinkText();
        return QAccessibleWidget::text(kind);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.linked = true;
        state.traversed = Link()->Visited();
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == pressAction())
            Link()->OpenLink();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    TRzURLLabel *Link() const { return static_cast<TRzURLLabel *>(widget()); }
};

QAccessibleInterface *LinkFactory(const QString &, QObject *object)
{
    if (auto *link = qobject_cast<TRzURLLabel *>(object))
        return new LinkAccessible(link);
    return nullptr;
}

} // namespace

TRzURLLabel::TRzURLLabel(QWidget *parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(LinkFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // A caption is shown as written: "<" or "&" in an address is not markup.
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    // Tab reaches a link, as in a browser; a click does not move the focus.
    setFocusPolicy(Qt::TabFocus);
    EnsureUnderlined();
    UpdateColor();
}

void TRzURLLabel::SetCaption(const QString &caption)
{
    setText(caption);
    adjustSize();
}

void TRzURLLabel::SetFontColor(const QColor &color)
{
    m_fontColor = color;
    UpdateColor();
}

void TRzURLLabel::SetHighlightColor(const QColor &color)
{
    m_highlightColor = color;
    UpdateColor();
}

void TRzURLLabel::SetVisitedColor(const QColor &color)
{
    m_visitedColor = color;
    UpdateColor();
}

QColor TRzURLLabel::CurrentColor() const
{
    if (m_hovered)
        return m_highlightColor;
    return m_visited ? m_visitedColor : m_fontColor;
}

QString TRzURLLabel::LinkText() const
{
    return m_url.trimmed().isEmpty() ? text() : m_url;
}

bool TRzURLLabel::OpenLink()
{
    const QString link = LinkText().trimmed();
    if (link.isEmpty())
        return false;
    // Like the desktop's own "open", a bare "www.…" is a web address and a
    // text with a scheme ("mailto:", "https:") is taken as written.
    const QUrl url = QUrl::fromUserInput(link);
    if (!url.isValid() || !QDesktopServices::openUrl(url))
        return false;
    m_visited = true;
    UpdateColor();
    return true;
}

void TRzURLLabel::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    UpdateColor();
    QLabel::enterEvent(event);
}

void TRzURLLabel::leaveEvent(QEvent *event)
{
    m_hovered = false;
    UpdateColor();
    QLabel::leaveEvent(event);
}

void TRzURLLabel::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void TRzURLLabel::mouseReleaseEvent(QMouseEvent *event)
{
    // A click is a press and a release of the left button over the label;
    // sliding off before releasing cancels it, as on a button.
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click)
        OpenLink();
}

void TRzURLLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            OpenLink();
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
}

void TRzURLLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    // The focus shows however it came, in the link's own colour: the label
    // is as large as its caption, so the dotted frame hugs the text.
    if (hasFocus()) {
        QPainter painter(this);
        painter.setPen(QPen(CurrentColor(), 0, Qt::DotLine));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void TRzURLLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    // Whatever font the label is given, a link stays underlined.
    if (event->type() == QEvent::FontChange) {
        EnsureUnderlined();
        adjustSize();
    }
}

void TRzURLLabel::EnsureUnderlined()
{
    if (font().underline())
        return;
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
}

void TRzURLLabel::UpdateColor()
{
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, CurrentColor());
    setPalette(colors);
}
