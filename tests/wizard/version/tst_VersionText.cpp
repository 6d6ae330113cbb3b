#include "wizard/version/VersionText.h"

#include <QTest>

using namespace Qt::StringLiterals;

class tst_VersionText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void formatVersion_data();
    void formatVersion();
    void padLeft_data();
    void padLeft();
};

void tst_VersionText::formatVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("expected");

    QTest::newRow("program's own") << u"4.0.0.0"_s << u"4.00"_s;
    QTest::newRow("one-digit minor padded") << u"1.2.3.4"_s << u"1.02"_s;
    QTest::newRow("two-digit minor kept") << u"2.10.0.7"_s << u"2.10"_s;
    QTest::newRow("three-digit minor not cut") << u"3.123.1.1"_s << u"3.123"_s;
    QTest::newRow("empty minor") << u"5..1.2"_s << u"5.00"_s;
    QTest::newRow("three numbers") << u"12.3.0"_s << u"12.03"_s;
    QTest::newRow("1.5.0.0") << u"1.5.0.0"_s << u"1.05"_s;
    QTest::newRow("10.12.0.0") << u"10.12.0.0"_s << u"10.12"_s;
    QTest::newRow("more than three dots") << u"6.7.8.9.10.11"_s << u"6.07"_s;
    QTest::newRow("two dots, nothing after") << u"7.8."_s << u"7.08"_s;
    QTest::newRow("empty major") << u".4.0.0"_s << u".04"_s;
    QTest::newRow("text between dots") << u"v1.beta.2"_s << u"v1.beta"_s;
    // Fewer than two dots: one dot still names major and minor ...
    QTest::newRow("one dot") << u"4.1"_s << u"4.01"_s;
    QTest::newRow("one dot, two digits") << u"4.10"_s << u"4.10"_s;
    QTest::newRow("one trailing dot") << u"4."_s << u"4.00"_s;
    // ... no dot at all is not a version number and is shown as it is.
    QTest::newRow("no information") << u"Value Not Available"_s << u"Value Not Available"_s;
    QTest::newRow("empty") << u""_s << u""_s;
    QTest::newRow("number without dot") << u"4"_s << u"4"_s;
}

void tst_VersionText::formatVersion()
{
    QFETCH(QString, version);
    QFETCH(QString, expected);
    QCOMPARE(FormatVersion(version), expected);
}

void tst_VersionText::padLeft_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("minimumLength");
    QTest::addColumn<QChar>("fill");
    QTest::addColumn<QString>("expected");

    QTest::newRow("one missing") << u"5"_s << 2 << QChar(u'0') << u"05"_s;
    QTest::newRow("empty filled") << u""_s << 2 << QChar(u'0') << u"00"_s;
    QTest::newRow("exactly long enough") << u"12"_s << 2 << QChar(u'0') << u"12"_s;
    QTest::newRow("longer kept") << u"123"_s << 2 << QChar(u'0') << u"123"_s;
    QTest::newRow("several missing") << u"ab"_s << 5 << QChar(u'*') << u"***ab"_s;
    QTest::newRow("zero length") << u"x"_s << 0 << QChar(u'0') << u"x"_s;
    QTest::newRow("negative length") << u"x"_s << -3 << QChar(u'0') << u"x"_s;
    QTest::newRow("blank fill") << u"7"_s << 3 << QChar(u' ') << u"  7"_s;
}

void tst_VersionText::padLeft()
{
    QFETCH(QString, text);
    QFETCH(int, minimumLength);
    QFETCH(QChar, fill);
    QFETCH(QString, expected);
    QCOMPARE(PadLeft(text, minimumLength, fill), expected);
}

QTEST_APPLESS_MAIN(tst_VersionText)
#include "tst_VersionText.moc"
