#pragma once

#include <QHash>
#include <QIcon>
#include <QList>
#include <QString>
#include <QStyle>

// The shared list of small item icons that namespace items point into by
// index. Each entry is an icon of the desktop's icon theme, or a picture of
// the widget style when the theme has none (or no theme is set).
class TRzShellIconList
{
public:
    enum Overlay
    {
        NoOverlay,
        SharedOverlay,
        LinkOverlay,
    };

    static TRzShellIconList &Instance();

    // The index of the icon with this theme name, adding it on first use.
    int IndexOf(const QString &themeName, QStyle::StandardPixmap fallback);
    // The icon of an index, resolved on first use; a null icon for a bad index.
    QIcon Icon(int index);
    // The icon with an emblem in its lower left corner and, for a dimmed
    // ("cut") item, drawn half transparent.
    QIcon Decorated(int index, Overlay overlay, bool dimmed);

private:
    struct Entry
    {
        QString themeName;
        QStyle::StandardPixmap fallback;
        QIcon icon;
        bool resolved = false;
    };

    QList<Entry> m_entries;
    QHash<QString, int> m_byName;
    QHash<quint32, QIcon> m_decorated;
};
