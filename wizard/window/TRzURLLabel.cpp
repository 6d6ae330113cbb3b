#include "wizard/window/TRzURLLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

TRzURLLabel::TRzURLLabel(QWidget *parent) : QLabel(parent)
{
    // A caption is shown as written: "<" or "&" in an address is not markup.
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
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
