#include "fileutil/TProgressList.h"

#include <QMetaObject>

#include <cstring>

TProgressList::TProgressList()
{
    m_entries.append({QByteArrayLiteral("QProgressBar"), QByteArrayLiteral("maximum"),
                      QByteArrayLiteral("minimum"), QByteArrayLiteral("value")});
    m_entries.append({QByteArrayLiteral("QProgressDialog"), QByteArrayLiteral("maximum"),
                      QByteArrayLiteral("minimum"), QByteArrayLiteral("value")});
}

TProgressList &TProgressList::Instance()
{
    static TProgressList list;
    return list;
}

void TProgressList::Add(const Entry &entry)
{
    m_entries.append(entry);
}

bool TProgressList::Remove(const QByteArray &className)
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        if (m_entries.at(i).ClassName == className) {
            m_entries.removeAt(i);
            return true;
        }
    }
    return false;
}

const TProgressList::Entry *TProgressList::Find(const QMetaObject *metaObject) const
{
    for (qsizetype i = m_entries.size() - 1; i >= 0; --i) {
        const Entry &entry = m_entries.at(i);
        for (const QMetaObject *meta = metaObject; meta; meta = meta->superClass()) {
            if (entry.ClassName == meta->className())
                return &entry;
        }
    }
    return nullptr;
}
