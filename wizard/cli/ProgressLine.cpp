#include "wizard/cli/ProgressLine.h"

#include "wizard/move/MoveChecks.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace CommandLineMove {

namespace {

QString Duration(qint64 seconds)
{
    const qint64 h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    const QString mmss = QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
    if (h == 0)
        return mmss;
    return QStringLiteral("%1:%2:%3")
        .arg(h)
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

} // namespace

QString ProgressLine(const QString &phase, int filesDone, int files, qint64 bytesDone,
                     qint64 totalBytes, qint64 elapsedMs, int width)
{
    const QString count = QStringLiteral("%1/%2").arg(filesDone).arg(files);
    const QString counted = phase + QLatin1Char(' ') + count;
    // Each form is shorter than the one before. What goes first is what
    // the user can best do without: the word "files", the total (it does
    // not change), the bytes done; the rate and the time left, which tell
    // whether to wait, go last.
    QStringList forms;
    if (totalBytes < 0) {
        forms = {counted + QStringLiteral(" files"), counted, count};
    } else {
        const QString done = MoveChecks::DataSize(bytesDone);
        const QString total = MoveChecks::DataSize(totalBytes);
        // The first half second says little about the rate.
        if (elapsedMs >= 500 && bytesDone > 0) {
            const double perSecond = double(bytesDone) * 1000 / double(elapsedMs);
            // Rounded up, but a whole second stays itself.
            const double seconds = double(std::max<qint64>(totalBytes - bytesDone, 0)) / perSecond;
            const QString rate = MoveChecks::DataSize(qint64(perSecond)) + QStringLiteral("/s");
            const QString left = Duration(qint64(std::ceil(seconds - 1e-6)));
            const QString rateLeft = rate + QStringLiteral(", ") + left + QStringLiteral(" left");
            forms = {
                counted + QStringLiteral(" files, ") + done + QStringLiteral(" of ") + total +
                    QStringLiteral(", ") + rateLeft,
                counted + QStringLiteral(", ") + done + QStringLiteral(" of ") + total +
                    QStringLiteral(", ") + rateLeft,
                counted + QStringLiteral(", ") + done + QStringLiteral(", ") + rateLeft,
                counted + QStringLiteral(", ") + rateLeft,
                count + QLatin1Char(' ') + rate + QLatin1Char(' ') + left + QStringLiteral(" left"),
                rate + QLatin1Char(' ') + left + QStringLiteral(" left"),
                rate + QLatin1Char(' ') + left,
                left + QStringLiteral(" left"),
                left,
            };
        } else {
            forms = {
                counted + QStringLiteral(" files, ") + done + QStringLiteral(" of ") + total,
                counted + QStringLiteral(", ") + done + QStringLiteral(" of ") + total,
                counted + QStringLiteral(", ") + done,
                counted,
                count,
            };
        }
    }
    for (const QString &form : std::as_const(forms)) {
        if (width < 1 || form.size() <= width)
            return form;
    }
    return forms.last().left(width);
}

} // namespace CommandLineMove
