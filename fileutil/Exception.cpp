#include "fileutil/Exception.h"

#include <QFile>

#include <cstring>
#include <new>

Exception::Exception(const QString &message) : m_message(message), m_utf8(message.toUtf8()) {}

namespace {

// Control characters (C0, DEL and C1, which terminals take as commands)
// become \xNN; line breaks and tabs stay where keepLayout says so.
QString Escaped(const QString &text, bool keepLayout)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool layout = u == u'\n' || u == u'\t';
        if ((u < 0x20 && !(keepLayout && layout)) || (u >= 0x7f && u <= 0x9f))
            shown += QStringLiteral("\\x%1").arg(uint(u), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

} // namespace

QString PathText(const QByteArray &path)
{
    // A name is shown, never obeyed: it cannot clear the screen or print a
    // line of its own.
    return Escaped(QFile::decodeName(path), false);
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString ShownText(const QString &text)
{
    return Escaped(text, true);
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
