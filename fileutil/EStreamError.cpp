#include "fileutil/EStreamError.h"

EStreamError::EStreamError(const QString &message, int systemError)
    : Exception(message), m_systemError(systemError)
{}

EFOpenError::EFOpenError(const QByteArray &path, int systemError)
    : EFileStreamError(QStringLiteral("Cannot open file %1").arg(PathText(path)), systemError)
{}

EFCreateError::EFCreateError(const QByteArray &path, int systemError)
    : EFileStreamError(QStringLiteral("Cannot create file %1").arg(PathText(path)), systemError)
{}

EReadError::EReadError(int systemError)
    : EFilerError(QStringLiteral("Stream read error"), systemError)
{}

EWriteError::EWriteError(int systemError)
    : EFilerError(QStringLiteral("Stream write error"), systemError)
{}
