#include "diag/CSFormat.h"

#include <QHash>
#include <QTest>

class tst_CSFormat : public QObject
{
    Q_OBJECT

    // The arguments of each row, by its tag: argument lists are not
    // QVariant values.
    QHash<QByteArray, TCSArgs> m_args;

    void row(const char *tag, const QByteArray &format, const TCSArgs &args,
             const QByteArray &expected)
    {
        m_args.insert(tag, args);
        QTest::newRow(tag) << format << expected;
    }

private Q_SLOTS:
    void formats_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("expected");
        const int answer = 42;

        row("plain text", "no directives", {}, "no directives");
        row("percent sign", "100%% sure", {}, "100% sure");
        row("named value", "%s = %s%s%s", {"SourceDir", '\'', "/data/", '\''},
            "SourceDir = '/data/'");
        row("one character for %s", "[%s]", {'"'}, "[\"]");
        row("text bytes unchanged", "%s", {QByteArray("\xFF\x80")}, "\xFF\x80");
        row("signed", "%d|%i", {-17, 5}, "-17|5");
        row("64-bit", "%d", {Q_INT64_C(-9000000000)}, "-9000000000");
        row("width and precision", "[%5d][%-5d][%05d][%.3d]", {42, 42, -42, 7},
            "[   42][42   ][-0042][007]");
        row("star width and precision", "[%*.*s]", {6, 2, "abcdef"}, "[    ab]");
        row("unsigned of a negative 32-bit", "%u", {-1}, "4294967295");
        row("hexadecimal", "%x %X %8.4X", {255, 255, answer}, "ff FF     002A");
        row("negative hexadecimal keeps its width", "%X", {-2}, "FFFFFFFE");
        row("floating point", "%.2f %e %g", {3.14159, 1500.0, 0.5}, "3.14 1.500000e+03 0.5");
        row("negative floating point padded", "[%08.2f]", {-3.5}, "[-0003.50]");
        row("character code", "%c%c", {65, 'b'}, "Ab");
        row("pointer is 16 hexadecimal digits", "%p",
            {reinterpret_cast<const void *>(quintptr(0xBEEF))}, "000000000000BEEF");
        row("extra arguments ignored", "%d", {1, 2}, "1");
        row("assertion text", "Assertion Failed: %s\rFile: %s\rLine: %d", {"x > 0", "main.cpp", 12},
            "Assertion Failed: x > 0\rFile: main.cpp\rLine: 12");
    }

    void formats()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, expected);
        QCOMPARE(CSFormat(format, m_args.value(QTest::currentDataTag())), expected);
    }

    void conversionErrors_data()
    {
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QByteArray>("expected"); // part of the message

        row("text for %d", "%d", {"text"}, "\"%d\" does not fit");
        row("integer for %s", "Name: %s", {12}, "\"%s\" does not fit");
        row("integer for %f", "%f", {1}, "\"%f\" does not fit");
        row("floating point for %x", "%x", {1.0}, "\"%x\" does not fit");
        row("text for %p", "%p", {"x"}, "\"%p\" does not fit");
        row("missing argument", "%s and %s", {"one"}, "\"%s\" has no argument");
        row("unknown directive", "%q", {1}, "\"%q\" is not known");
        row("lone percent at the end", "50%", {}, "\"%\" is incomplete");
        row("star without a number", "%*d", {"x", 1}, "needs an integer");
    }

    void conversionErrors()
    {
        QFETCH(QByteArray, format);
        QFETCH(QByteArray, expected);
        try {
            CSFormat(format, m_args.value(QTest::currentDataTag()));
            QFAIL("no conversion error");
        } catch (const EConvertError &error) {
            QVERIFY2(error.message().contains(QString::fromUtf8(expected)),
                     qPrintable(error.message()));
            QVERIFY(error.RaiseAddress() != nullptr);
        }
    }
};

QTEST_GUILESS_MAIN(tst_CSFormat)
#include "tst_CSFormat.moc"
