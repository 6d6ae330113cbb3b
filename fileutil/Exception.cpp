#include "fileutil/Exception.h"

#include <QFile>

Exception::Exception(const QString &message) : m_message(message), m_utf8(message.toUtf8()) {}

QString PathText(const QByteArray &path)
{
    return QFile::decodeName(path);
}
