#include "IniValue.h"

#include <QFile>

std::optional<QByteArray> IniValue(const QByteArray &contents, const QByteArray &section,
                                   const QByteArray &key)
{
    bool inSection = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.startsWith('[')) {
            const qsizetype end = line.indexOf(']');
            const QByteArray name = line.mid(1, end < 0 ? -1 : end - 1).trimmed();
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inSection || line.startsWith(';'))
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QByteArray value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

std::optional<QByteArray> ReadIniValue(const QByteArray &fileName, const QByteArray &section,
                                       const QByteArray &key)
{
    QFile file(QFile::decodeName(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return IniValue(file.readAll(), section, key);
}
