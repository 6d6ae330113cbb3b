#include "fileutil/Exception.h"

#include <QFile>

#include <new>

Exception::Exception(const QString &message) : m_message(message), m_utf8(message.toUtf8()) {}

QString PathText(const QByteArray &path)
{
    return QFile::decodeName(path);
}

QString Sentence(const QString &message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

ErrorReport ReportOf(const std::exception_ptr &error)
{
    ErrorReport report;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort &) {
        report.Silent = true;
    } catch (const Exception &failure) {
        report.Message = Sentence(failure.message());
        report.Details = failure.Details();
    } catch (const std::bad_alloc &) {
        report.Message = Sentence(QStringLiteral("Out of memory"));
    } catch (const std::exception &failure) {
        report.Message = Sentence(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        report.Message = Sentence(QStringLiteral("An unexpected error stopped the operation"));
    }
    return report;
}
