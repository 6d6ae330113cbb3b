// The parallel loop behind the proof: every index once, and the failure a
// loop in order would have met first.

#include "fileutil/Parallel.h"

#include <QTest>
#include <QThread>

#include <atomic>
#include <stdexcept>
#include <vector>

class tst_Parallel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void runsEachIndexOnce_data();
    void runsEachIndexOnce();
};

void tst_Parallel::runsEachIndexOnce_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("threads");
    QTest::addColumn<QList<int>>("failing"); // indexes whose call throws
    QTest::addColumn<int>("thrown");         // the index rethrown; -1: none

    QTest::newRow("nothing to do") << 0 << 8 << QList<int>{} << -1;
    QTest::newRow("more threads than work") << 3 << 8 << QList<int>{} << -1;
    QTest::newRow("many on a few threads") << 5000 << 4 << QList<int>{} << -1;
    QTest::newRow("one thread") << 100 << 1 << QList<int>{} << -1;
    // A failing call takes longer the lower its index: the failures meet
    // the threads in reverse, and still the lowest index is told.
    QTest::newRow("a later failure first") << 64 << 8 << QList<int>{3, 5} << 3;
    QTest::newRow("the last index fails") << 64 << 8 << QList<int>{63} << 63;
}

void tst_Parallel::runsEachIndexOnce()
{
    QFETCH(int, count);
    QFETCH(int, threads);
    QFETCH(QList<int>, failing);
    QFETCH(int, thrown);
    std::vector<std::atomic<int>> calls(static_cast<size_t>(count));
    int caught = -1;
    try {
        FileUtil::ForEachInParallel(count, threads, [&](qsizetype index) {
            ++calls[size_t(index)];
            if (failing.contains(int(index))) {
                QThread::msleep(ulong(20 * (failing.last() - index)));
                throw std::runtime_error(std::to_string(index));
            }
        });
    } catch (const std::runtime_error &error) {
        caught = std::stoi(error.what());
    }
    QCOMPARE(caught, thrown);
    for (int index = 0; index < count; ++index) {
        QVERIFY(calls[size_t(index)] <= 1);
        // Without a failure nothing is skipped; after one, nothing below it.
        if (thrown < 0 || index <= thrown)
            QCOMPARE(calls[size_t(index)].load(), 1);
    }
}

QTEST_GUILESS_MAIN(tst_Parallel)
#include "tst_Parallel.moc"
