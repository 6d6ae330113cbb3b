// The progress line on a terminal: it fits the terminal's width, and gives
// up words before it gives up the rate and the time left.

#include "wizard/cli/ProgressLine.h"

#include <QTest>

namespace {

constexpr qint64 MiB = qint64(1) << 20;

} // namespace

class tst_ProgressLine : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fitsTheWidth_data();
    void fitsTheWidth();
};

void tst_ProgressLine::fitsTheWidth_data()
{
    QTest::addColumn<QString>("phase");
    QTest::addColumn<qint64>("bytesDone");
    QTest::addColumn<qint64>("totalBytes"); // < 0: no bytes in this phase
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("line");

    // 12 of 345 files, 100 of 400 MiB in 2 s: 50 MiB/s, 6 s left.
    const QString copying = QStringLiteral("Copying");
    const qint64 done = 100 * MiB, total = 400 * MiB;
    const qint64 ms = 2000;
    QTest::newRow("80 columns: everything")
        << copying << done << total << ms << 80
        << "Copying 12/345 files, 100.00 MiB of 400.00 MiB, 50.00 MiB/s, 0:06 left";
    QTest::newRow("no limit") << copying << done << total << ms << 0
                              << "Copying 12/345 files, 100.00 MiB of 400.00 MiB, 50.00 MiB/s, "
                                 "0:06 left";
    QTest::newRow("69 columns: no word files")
        << copying << done << total << ms << 69
        << "Copying 12/345, 100.00 MiB of 400.00 MiB, 50.00 MiB/s, 0:06 left";
    QTest::newRow("60 columns: no total") << copying << done << total << ms << 60
                                          << "Copying 12/345, 100.00 MiB, 50.00 MiB/s, 0:06 left";
    QTest::newRow("40 columns: rate and time left stay")
        << copying << done << total << ms << 40 << "Copying 12/345, 50.00 MiB/s, 0:06 left";
    QTest::newRow("30 columns") << copying << done << total << ms << 30
                                << "12/345 50.00 MiB/s 0:06 left";
    QTest::newRow("20 columns") << copying << done << total << ms << 20 << "50.00 MiB/s 0:06";
    // 4500 s left at 50 MiB/s.
    QTest::newRow("hours left, 20 columns")
        << copying << done << done + 4500 * 50 * MiB << ms << 20 << "50.00 MiB/s 1:15:00";
    QTest::newRow("6 columns: the time left alone")
        << copying << done << total << ms << 6 << "0:06";
    // The first half second gives no rate yet.
    QTest::newRow("no rate yet, 40 columns") << copying << done << total << qint64(400) << 40
                                             << "Copying 12/345, 100.00 MiB of 400.00 MiB";
    QTest::newRow("no rate yet, 20 columns")
        << copying << done << total << qint64(400) << 20 << "Copying 12/345";
    QTest::newRow("checking, 80 columns") << QStringLiteral("Checking") << qint64(0) << qint64(-1)
                                          << qint64(2000) << 80 << "Checking 12/345 files";
    // Narrower than the shortest form: cut, the last resort.
    QTest::newRow("checking, 4 columns")
        << QStringLiteral("Checking") << qint64(0) << qint64(-1) << qint64(2000) << 4 << "12/3";
}

void tst_ProgressLine::fitsTheWidth()
{
    QFETCH(QString, phase);
    QFETCH(qint64, bytesDone);
    QFETCH(qint64, totalBytes);
    QFETCH(qint64, elapsedMs);
    QFETCH(int, width);
    QFETCH(QString, line);

    QCOMPARE(CommandLineMove::ProgressLine(phase, 12, 345, bytesDone, totalBytes, elapsedMs, width),
             line);
}

QTEST_GUILESS_MAIN(tst_ProgressLine)
#include "tst_ProgressLine.moc"
