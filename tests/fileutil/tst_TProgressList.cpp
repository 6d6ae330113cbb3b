// SetProgressProperty through the TProgressList adapter.
#include "fileutil/FileUtil.h"
#include "fileutil/TProgressList.h"

#include <QApplication>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTest>

using namespace FileUtil;

// A progress control with properties of assorted types.
class OddControl : public QObject
{
    Q_OBJECT
    Q_PROPERTY(double Ceiling MEMBER ceiling)
    Q_PROPERTY(QVariant Floor MEMBER floor)
    Q_PROPERTY(QString Label MEMBER label)
    Q_PROPERTY(int Fixed READ Fixed)
    Q_PROPERTY(qint64 Wide MEMBER wide)
    Q_PROPERTY(Qt::Orientation Direction MEMBER direction)

public:
    int Fixed() const { return 7; }

    double ceiling = 0;
    QVariant floor;
    QString label;
    qint64 wide = 0;
    Qt::Orientation direction = Qt::Horizontal;
};

// A subclass of a registered class, to be matched through its ancestor.
class FancyBar : public QProgressBar
{
    Q_OBJECT
    Q_PROPERTY(int Peak MEMBER peak)

public:
    int peak = 0;
};

class tst_TProgressList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registeredClasses();
    void standardControls_data();
    void standardControls();
    void absentOrUnknownControl();
    void propertyKinds_data();
    void propertyKinds();
    void newestEntryWins();
};

void tst_TProgressList::registeredClasses()
{
    const QList<TProgressList::Entry> &entries = TProgressList::Instance().Entries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).ClassName, QByteArray("QProgressBar"));
    QCOMPARE(entries.at(1).ClassName, QByteArray("QProgressDialog"));
    for (const TProgressList::Entry &entry : entries) {
        QCOMPARE(entry.MaximumProperty, QByteArray("maximum"));
        QCOMPARE(entry.MinimumProperty, QByteArray("minimum"));
        QCOMPARE(entry.PositionProperty, QByteArray("value"));
    }
}

void tst_TProgressList::standardControls_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("progress bar") << QStringLiteral("bar");
    QTest::newRow("subclass of the progress bar") << QStringLiteral("fancy");
    QTest::newRow("progress dialog (the gauge)") << QStringLiteral("dialog");
}

void tst_TProgressList::standardControls()
{
    QFETCH(QString, kind);
    std::unique_ptr<QObject> control;
    if (kind == QLatin1String("bar"))
        control = std::make_unique<QProgressBar>();
    else if (kind == QLatin1String("fancy"))
        control = std::make_unique<FancyBar>();
    else
        control = std::make_unique<QProgressDialog>();
    QVERIFY(SetProgressProperty(control.get(), TProgressProperty::Maximum, 20000));
    QVERIFY(SetProgressProperty(control.get(), TProgressProperty::Minimum, 10));
    QVERIFY(SetProgressProperty(control.get(), TProgressProperty::Position, 8192));
    QCOMPARE(control->property("maximum").toInt(), 20000);
    QCOMPARE(control->property("minimum").toInt(), 10);
    QCOMPARE(control->property("value").toInt(), 8192);
}

void tst_TProgressList::absentOrUnknownControl()
{
    QVERIFY(!SetProgressProperty(nullptr, TProgressProperty::Position, 1));
    QObject plain;
    QVERIFY(!SetProgressProperty(&plain, TProgressProperty::Position, 1));
    OddControl odd; // not registered
    QVERIFY(!SetProgressProperty(&odd, TProgressProperty::Maximum, 5));
    QCOMPARE(odd.ceiling, 0.0);
}

void tst_TProgressList::propertyKinds_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("floating point") << QByteArray("Ceiling") << true << QVariant(1234.0);
    QTest::newRow("variant") << QByteArray("Floor") << true << QVariant(1234);
    QTest::newRow("64-bit integer") << QByteArray("Wide") << true << QVariant(qint64(1234));
    QTest::newRow("text") << QByteArray("Label") << false << QVariant(QString());
    QTest::newRow("read-only") << QByteArray("Fixed") << false << QVariant(7);
    QTest::newRow("enumeration") << QByteArray("Direction") << false
                                 << QVariant::fromValue(Qt::Horizontal);
    QTest::newRow("missing") << QByteArray("Nowhere") << false << QVariant();
}

void tst_TProgressList::propertyKinds()
{
    QFETCH(QByteArray, property);
    QFETCH(bool, accepted);
    QFETCH(QVariant, stored);
    TProgressList::Instance().Add({"OddControl", property, property, property});
    OddControl odd;
    const bool result = SetProgressProperty(&odd, TProgressProperty::Maximum, 1234);
    TProgressList::Instance().Remove("OddControl");
    QCOMPARE(result, accepted);
    const QVariant value = odd.property(property.constData());
    QCOMPARE(value, stored);
    if (property == "Floor")
        QCOMPARE(odd.floor.metaType(), QMetaType::fromType<int>()); // not a nested variant
}

void tst_TProgressList::newestEntryWins()
{
    FancyBar bar;
    bar.setRange(0, 100);
    TProgressList::Instance().Add({"FancyBar", "Peak", "minimum", "value"});
    QVERIFY(SetProgressProperty(&bar, TProgressProperty::Maximum, 77));
    QCOMPARE(bar.peak, 77);
    QCOMPARE(bar.maximum(), 100);
    QVERIFY(TProgressList::Instance().Remove("FancyBar"));
    QVERIFY(!TProgressList::Instance().Remove("FancyBar"));
    QVERIFY(SetProgressProperty(&bar, TProgressProperty::Maximum, 55));
    QCOMPARE(bar.maximum(), 55);
    QCOMPARE(bar.peak, 77);
}

QTEST_MAIN(tst_TProgressList)
#include "tst_TProgressList.moc"
