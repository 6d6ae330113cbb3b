#pragma once

#include <QByteArray>
#include <QList>

class QMetaObject;
class QObject;

// The classes of progress-capable controls the file copy can drive, with
// the names of their range and position properties. Classes are known by
// their meta-object class name, so this library needs no widget module.
class TProgressList
{
public:
    struct Entry
    {
        QByteArray ClassName;
        QByteArray MaximumProperty;
        QByteArray MinimumProperty;
        QByteArray PositionProperty;
    };

    // The process-wide list, created on first use with the framework's
    // progress bar (QProgressBar) and then the stand-in for the gauge
    // (QProgressDialog), both with "maximum", "minimum" and "value".
    static TProgressList &Instance();

    // Appends an entry; a newer entry wins over an older one.
    void Add(const Entry &entry);
    // Removes the newest entry for that class name; false when there is none.
    bool Remove(const QByteArray &className);

    // The newest entry whose class is the given class or one of its
    // ancestors; nullptr when none applies.
    const Entry *Find(const QMetaObject *metaObject) const;

    const QList<Entry> &Entries() const { return m_entries; }

private:
    TProgressList();

    QList<Entry> m_entries;
};
