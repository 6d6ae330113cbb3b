#include "wizard/version/VersionText.h"

QString FormatVersion(const QString &version)
{
    const QChar dot = QLatin1Char('.');
    const qsizetype first = version.indexOf(dot);
    if (first < 0)
        return version;
    const qsizetype second = version.indexOf(dot, first + 1);
    const QString major = version.left(first);
    const QString minor =
        second < 0 ? version.mid(first + 1) : version.mid(first + 1, second - first - 1);
    return major + dot + PadLeft(minor, 2, QLatin1Char('0'));
}

QString PadLeft(const QString &text, qsizetype minimumLength, QChar fill)
{
    if (text.size() >= minimumLength)
        return text;
    return QString(minimumLength - text.size(), fill) + text;
}
