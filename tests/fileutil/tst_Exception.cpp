// How an error is told: the sentence rule of every report, and the report
// of an error whatever raised it.

#include "fileutil/Exception.h"

#include <QTest>

#include <functional>
#include <new>

using Raise = std::function<void()>;
Q_DECLARE_METATYPE(Raise)

class tst_Exception : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sentence_data();
    void sentence();
    void pathText_data();
    void pathText();
    void reportOf_data();
    void reportOf();
};

void tst_Exception::sentence_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");

    QTest::newRow("letter gets a full stop") << "Unable to write to /q/Quillbox.ini"
                                             << "Unable to write to /q/Quillbox.ini.";
    QTest::newRow("full stop kept") << "Stream read error."
                                    << "Stream read error.";
    QTest::newRow("digit gets one") << "Error 42"
                                    << "Error 42.";
    QTest::newRow("slash sorts after") << "Cannot create file /new/"
                                       << "Cannot create file /new/.";
    QTest::newRow("comma sorts before") << "Failed,"
                                        << "Failed,";
    QTest::newRow("exclamation sorts before") << "Stop!"
                                              << "Stop!";
    QTest::newRow("blank sorts before") << "Trailing "
                                        << "Trailing ";
    QTest::newRow("hyphen sorts before") << "a-"
                                         << "a-";
    QTest::newRow("empty stays empty") << ""
                                       << "";
    QTest::newRow("non-ASCII letter") << QString::fromUtf8("Größe") << QString::fromUtf8("Größe.");
}

void tst_Exception::sentence()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(Sentence(message), shown);
}

void tst_Exception::pathText_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain, letters of any script") << QByteArray("/srv/Gr\xc3\xb6\xc3\x9f"
                                                                "e")
                                                  << QString::fromUtf8("/srv/Gr\xc3\xb6\xc3\x9f"
                                                                       "e");
    QTest::newRow("a terminal's escape sequence") << QByteArray("a\x1b[2Jb") << "a\\x1b[2Jb";
    QTest::newRow("C1 control, DEL") << QByteArray("a\xc2\x9b\x7f") << "a\\x9b\\x7f";
}

void tst_Exception::pathText()
{
    QFETCH(QByteArray, path);
    QFETCH(QString, shown);
    QCOMPARE(PathText(path), shown);
}

void tst_Exception::reportOf_data()
{
    QTest::addColumn<Raise>("raise");
    QTest::addColumn<QString>("message"); // empty: silent
    QTest::addColumn<QString>("details");

    QTest::newRow("ours, with details") << Raise([] {
        Exception error(QStringLiteral("Unable to write to /q/Quillbox.ini"));
        error.SetDetails(QStringLiteral("The log of this move is in /s/move.log."));
        throw error;
    }) << "Unable to write to /q/Quillbox.ini."
                                        << "The log of this move is in /s/move.log.";
    QTest::newRow("out of memory") << Raise([] { throw std::bad_alloc(); }) << "Out of memory."
                                   << "";
    QTest::newRow("not an exception class")
        << Raise([] { throw 42; }) << "An unexpected error stopped the operation."
        << "";
}

void tst_Exception::reportOf()
{
    QFETCH(Raise, raise);
    QFETCH(QString, message);
    QFETCH(QString, details);

    std::exception_ptr error;
    try {
        raise();
    } catch (...) {
        error = std::current_exception();
    }
    QVERIFY(error);
    const ErrorReport report = ReportOf(error);
    QCOMPARE(report.Silent, message.isEmpty());
    QCOMPARE(report.Message, message);
    QCOMPARE(report.Details, details);
}

QTEST_GUILESS_MAIN(tst_Exception)
#include "tst_Exception.moc"
