#include "widgets/shell/TRzShellIconList.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr int SmallIcon = 16;

QPixmap Emblem(TRzShellIconList::Overlay overlay)
{
    const QString name = overlay == TRzShellIconList::LinkOverlay
                             ? QStringLiteral("emblem-symbolic-link")
                             : QStringLiteral("emblem-shared");
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name).pixmap(SmallIcon / 2);
    // No theme emblem: a small white box with a dark arrow (link) or dot (shared).
    QPixmap pixmap(SmallIcon / 2, SmallIcon / 2);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(0.5, 0.5, SmallIcon / 2 - 1, SmallIcon / 2 - 1));
    if (overlay == TRzShellIconList::LinkOverlay) {
        painter.drawLine(QPointF(2, 6), QPointF(6, 2));
        painter.drawLine(QPointF(3.5, 2), QPointF(6, 2));
        painter.drawLine(QPointF(6, 2), QPointF(6, 4.5));
    } else {
        painter.setBrush(Qt::black);
        painter.drawEllipse(QPointF(4, 4), 1.5, 1.5);
    }
    return pixmap;
}

} // namespace

TRzShellIconList &TRzShellIconList::Instance()
{
    static TRzShellIconList list;
    return list;
}

int TRzShellIconList::IndexOf(const QString &themeName, QStyle::StandardPixmap fallback)
{
    const auto found = m_byName.constFind(themeName);
    if (found != m_byName.constEnd())
        return found.value();
    const int index = int(m_entries.size());
    m_entries.append(Entry{themeName, fallback, QIcon(), false});
    m_byName.insert(themeName, index);
    return index;
}

QIcon TRzShellIconList::Icon(int index)
{
    if (index < 0 || index >= m_entries.size())
        return QIcon();
    Entry &entry = m_entries[index];
    if (!entry.resolved) {
        entry.resolved = true;
        if (QIcon::hasThemeIcon(entry.themeName))
            entry.icon = QIcon::fromTheme(entry.themeName);
        else if (QApplication::style())
            entry.icon = QApplication::style()->standardIcon(entry.fallback);
    }
    return entry.icon;
}

QIcon TRzShellIconList::Decorated(int index, Overlay overlay, bool dimmed)
{
    if (overlay == NoOverlay && !dimmed)
        return Icon(index);
    if (index < 0 || index >= m_entries.size())
        return QIcon();
    const quint32 key = (quint32(index) << 3) | (quint32(overlay) << 1) | (dimmed ? 1u : 0u);
    const auto found = m_decorated.constFind(key);
    if (found != m_decorated.constEnd())
        return found.value();

    QPixmap pixmap(SmallIcon, SmallIcon);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        if (dimmed)
            painter.setOpacity(0.5);
        Icon(index).paint(&painter, QRect(0, 0, SmallIcon, SmallIcon));
        painter.setOpacity(1.0);
        if (overlay != NoOverlay)
            painter.drawPixmap(0, SmallIcon / 2, Emblem(overlay));
    }
    const QIcon icon(pixmap);
    m_decorated.insert(key, icon);
    return icon;
}
