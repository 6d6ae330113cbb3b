#include "TestDispatcherPlatform.h"
#include "diag/MessagePacket.h"
#include "diag/PropertyDump.h"
#include "diag/TCSObjectManager.h"

#include <QColor>
#include <QCursor>
#include <QDateTime>
#include <QTest>

// A plain object that may refer to another one.
class TInner
{
    Q_GADGET
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(TInner *Next MEMBER Next)

public:
    int Width = 3;
    TInner *Next = nullptr;
};

// A plain object held by value.
class TPoint
{
    Q_GADGET
    Q_PROPERTY(int X MEMBER X)
    Q_PROPERTY(int Y MEMBER Y)

public:
    int X = 1;
    int Y = 2;
};

// One object with a property of every kind the dump knows.
class TDumpSample : public QObject
{
    Q_OBJECT

public:
    enum TMode
    {
        mdLocal,
        mdRemote
    };
    Q_ENUM(TMode)
    enum TStyle
    {
        fsBold = 1,
        fsItalic = 2,
        fsUnderline = 4
    };
    Q_DECLARE_FLAGS(TStyles, TStyle)
    Q_FLAG(TStyles)

private:
    Q_PROPERTY(qint64 Big MEMBER Big)
    Q_PROPERTY(TCursor Caret MEMBER Caret)
    Q_PROPERTY(QTime Clock MEMBER Clock)
    Q_PROPERTY(TColor Color MEMBER Color)
    Q_PROPERTY(int Count MEMBER Count)
    Q_PROPERTY(QDateTime Created MEMBER Created)
    Q_PROPERTY(QDate Day MEMBER Day)
    Q_PROPERTY(bool Enabled MEMBER Enabled)
    Q_PROPERTY(QString Empty MEMBER Empty)
    Q_PROPERTY(TInner *Inner MEMBER Inner)
    Q_PROPERTY(char Initial MEMBER Initial)
    Q_PROPERTY(QString Label MEMBER Label)
    Q_PROPERTY(int labelWidth MEMBER labelWidth)
    Q_PROPERTY(TMode Mode MEMBER Mode)
    Q_PROPERTY(QCursor Mouse MEMBER Mouse)
    Q_PROPERTY(QStringList Names MEMBER Names)
    Q_PROPERTY(TCSSendMsgEvent OnCopy READ onCopy WRITE setOnCopy)
    Q_PROPERTY(TPoint Origin READ origin CONSTANT)
    Q_PROPERTY(QObject *Owner MEMBER Owner)
    Q_PROPERTY(QColor Paint MEMBER Paint)
    Q_PROPERTY(QObject *Peer MEMBER Peer)
    Q_PROPERTY(double Ratio MEMBER Ratio)
    Q_PROPERTY(QByteArray Raw MEMBER Raw)
    Q_PROPERTY(uint Size MEMBER Size)
    Q_PROPERTY(TStyles Styles READ styles WRITE setStyles)
    Q_PROPERTY(QVariant Value MEMBER Value)

public:
    qint64 Big = 1;
    TCursor Caret = TCursor(-22);
    QTime Clock{18, 4, 5};
    TColor Color = clWindow;
    int Count = -5;
    QDateTime Created{QDate(2026, 12, 8), QTime(18, 4, 5)};
    QDate Day{2026, 12, 8};
    bool Enabled = true;
    QString Empty;
    TInner *Inner = nullptr;
    char Initial = 'F';
    QString Label = QStringLiteral("Copy");
    int labelWidth = 120;
    TMode Mode = mdRemote;
    QCursor Mouse{Qt::BlankCursor};
    QStringList Names{QStringLiteral("a")};
    TCSSendMsgEvent OnCopy = [](TDezaZudi *, const TDezaZudiMsgData &, bool &) {};
    TPoint Origin;
    QObject *Owner = nullptr;
    QColor Paint{Qt::white};
    QObject *Peer = nullptr;
    double Ratio = 0.1;
    QByteArray Raw = "\xFF";
    uint Size = 7;
    TStyles Styles = fsItalic;
    QVariant Value = 1;

    TCSSendMsgEvent onCopy() const { return OnCopy; }
    void setOnCopy(const TCSSendMsgEvent &handler) { OnCopy = handler; }
    TPoint origin() const { return Origin; }
    TStyles styles() const { return Styles; }
    void setStyles(TStyles styles) { Styles = styles; }
};

class tst_PropertyDump : public QObject
{
    Q_OBJECT

    std::shared_ptr<TestDispatcherPlatform> m_platform;

private Q_SLOTS:
    void init()
    {
        m_platform = std::make_shared<TestDispatcherPlatform>();
        m_platform->RunningWindow = 1;
        ObjectManager()->SetPlatform(m_platform);
    }

    void everyKind()
    {
        QObject owner;
        owner.setObjectName(QStringLiteral("frmMain"));
        TInner inner;
        TDumpSample sample;
        sample.setObjectName(QStringLiteral("Sample"));
        sample.Owner = &owner;
        sample.Inner = &inner;

        TCSObject client(nullptr);
        QByteArrayList lines;
        client.ListProperties(&sample, 1, lines);
        const QByteArrayList expected{
            "  Big=<<Not Implemented Yet>>",
            "  Caret=crSizeAll",
            "  Clock=18:04:05",
            "  Color=clWindow",
            "  Count=-5",
            "  Created=2026-12-08 18:04:05",
            "  Day=2026-12-08",
            "  Empty=",
            "  Enabled=True",
            "  Initial=<<Not Implemented Yet>>",
            "  Inner=(TInner)",
            "    Next=nil",
            "    Width=3",
            "  Label='Copy'",
            "  labelWidth=120",
            "  Mode=mdRemote",
            "  Mouse=-1",
            "  Names=<<Not Implemented Yet>>",
            "  objectName='Sample'",
            "  Origin=(TPoint)",
            "    X=1",
            "    Y=2",
            "  Owner=frmMain",
            "  Paint=clWhite",
            "  Peer=nil",
            "  Ratio=0.1",
            "  Raw='\xFF'",
            "  Size=7",
            "  Styles=[TStyles]",
            "    fsBold=False",
            "    fsItalic=True",
            "    fsUnderline=False",
            "  Value=<<Not Implemented Yet>>",
        };
        QCOMPARE(lines, expected);
        QVERIFY(m_platform->Records.isEmpty());
    }

    void sendObject()
    {
        TDumpSample sample;
        TCSObject client(nullptr);
        client.SetDateTimeFormat("dd.MM.yyyy hh:mm");
        client.SendObject("Sample", &sample);
        QCOMPARE(m_platform->Records.size(), 2);
        const auto fields = MessagePacket::Parse(m_platform->Records.at(1).Bytes);
        QCOMPARE(fields->Kind, 4);
        QCOMPARE(fields->Text, QByteArray("Sample"));
        QCOMPARE(fields->TypeName, QByteArray("TDumpSample"));
        QVERIFY(fields->Details.startsWith("Big=<<Not Implemented Yet>>\r\nCaret=crSizeAll\r\n"));
        QVERIFY(fields->Details.contains("\r\nCreated=08.12.2026 18:04\r\n"));
        QVERIFY(fields->Details.endsWith("\r\nValue=<<Not Implemented Yet>>\r\n"));
        QVERIFY(!fields->Details.contains("OnCopy"));
    }

    void clientDumpShowsNoHandler()
    {
        TCSObject client(nullptr);
        client.setObjectName(QStringLiteral("CS"));
        client.SetOnSendMsg([](TDezaZudi *, const TDezaZudiMsgData &, bool &) {});
        QByteArrayList lines;
        client.ListProperties(&client, 0, lines);
        QCOMPARE(lines, (QByteArrayList{"About=aiDezaZudi", "Category=", "CategoryColor=clWindow",
                                        "DateTimeFormat=", "DestinationDetails=", "Enabled=True",
                                        "HexNumPrefix='$'", "HexViewWidth=8", "objectName='CS'",
                                        "QuoteChar=<<Not Implemented Yet>>"}));
    }

    void cycleOfPlainObjects()
    {
        TInner first;
        TInner second;
        first.Next = &second;
        second.Next = &first;
        second.Width = 4;
        TCSObject client(nullptr);
        QByteArrayList lines;
        client.ListProperties(TCSObjectRef::Of(first), 0, lines);
        QCOMPARE(lines, (QByteArrayList{"Next=(TInner)", "  Next=(TInner)", "    <<Cycle>>",
                                        "  Width=4", "Width=3"}));
    }

    void longChainIsBounded()
    {
        std::vector<TInner> chain(MaxDumpDepth + 10);
        for (size_t i = 0; i + 1 < chain.size(); ++i)
            chain[i].Next = &chain[i + 1];
        TCSObject client(nullptr);
        QByteArrayList lines;
        client.ListProperties(TCSObjectRef::Of(chain.front()), 0, lines);
        QVERIFY(lines.contains(QByteArray(2 * (MaxDumpDepth + 1), ' ') + "<<Too Deep>>"));
        QVERIFY(lines.size() < 3 * (MaxDumpDepth + 2));
    }

    void withoutPropertyInformation()
    {
        const int plain = 0;
        TCSObject client(nullptr);
        QByteArrayList lines;
        client.ListProperties(TCSObjectRef(&plain, nullptr), 0, lines);
        QVERIFY(lines.isEmpty());
        QCOMPARE(m_platform->Kinds(), (QList<qint32>{41, 2}));
        QCOMPARE(MessagePacket::Parse(m_platform->Records.at(1).Bytes)->Text,
                 QByteArray("Object has no RTTI"));
        // Deeper down such an object just adds nothing.
        client.ListProperties(TCSObjectRef(&plain, nullptr), 1, lines);
        QCOMPARE(m_platform->Records.size(), 2);
    }

    void colours_data()
    {
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("clWindow") << qint32(0xFF000005) << QByteArray("clWindow");
        QTest::newRow("clHighlight") << qint32(0xFF00000D) << QByteArray("clHighlight");
        QTest::newRow("clBtnFace") << qint32(0xFF00000F) << QByteArray("clBtnFace");
        QTest::newRow("clBtnShadow") << qint32(0xFF000010) << QByteArray("clBtnShadow");
        QTest::newRow("clWindowText") << qint32(0xFF000008) << QByteArray("clWindowText");
        QTest::newRow("clWhite") << qint32(0x00FFFFFF) << QByteArray("clWhite");
        QTest::newRow("clBlue is BGR") << qint32(0x00FF0000) << QByteArray("clBlue");
        QTest::newRow("clYellow") << qint32(0x0000FFFF) << QByteArray("clYellow");
        QTest::newRow("unnamed colour") << qint32(0x00123456) << QByteArray("$00123456");
        QTest::newRow("unnamed system colour") << qint32(0xFF000063) << QByteArray("$FF000063");
    }

    void colours()
    {
        QFETCH(qint32, value);
        QFETCH(QByteArray, text);
        QCOMPARE(ColorToIdent(TColor(value)), text);
    }

    void qtColours_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("red") << QColor(255, 0, 0) << QByteArray("clRed");
        QTest::newRow("blue") << QColor(0, 0, 255) << QByteArray("clBlue");
        QTest::newRow("other") << QColor(0x12, 0x34, 0x56) << QByteArray("$00563412");
        QTest::newRow("invalid") << QColor() << QByteArray("clNone");
    }

    void qtColours()
    {
        QFETCH(QColor, color);
        QFETCH(QByteArray, text);
        QCOMPARE(ColorToIdent(ColorValue(color)), text);
    }

    void cursors_data()
    {
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("0") << 0 << QByteArray("crDefault");
        QTest::newRow("-2") << -2 << QByteArray("crArrow");
        QTest::newRow("-22 is always crSizeAll") << -22 << QByteArray("crSizeAll");
        QTest::newRow("-1 has no row") << -1 << QByteArray("-1");
        QTest::newRow("-5 has no row") << -5 << QByteArray("-5");
        QTest::newRow("-21") << -21 << QByteArray("crHandPoint");
        QTest::newRow("-23 is past the table") << -23 << QByteArray("-23");
        QTest::newRow("own cursor") << 3 << QByteArray("3");
    }

    void cursors()
    {
        QFETCH(qint32, value);
        QFETCH(QByteArray, text);
        QCOMPARE(CursorToIdent(TCursor(value)), text);
    }

    void qtCursors_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("arrow") << int(Qt::ArrowCursor) << QByteArray("crArrow");
        QTest::newRow("wait") << int(Qt::WaitCursor) << QByteArray("crHourGlass");
        QTest::newRow("size all") << int(Qt::SizeAllCursor) << QByteArray("crSizeAll");
        QTest::newRow("hand") << int(Qt::PointingHandCursor) << QByteArray("crHandPoint");
        QTest::newRow("blank") << int(Qt::BlankCursor) << QByteArray("-1");
        QTest::newRow("open hand has no identifier")
            << int(Qt::OpenHandCursor) << QByteArray::number(int(Qt::OpenHandCursor));
    }

    void qtCursors()
    {
        QFETCH(int, shape);
        QFETCH(QByteArray, text);
        QCOMPARE(CursorToIdent(TCursor(CursorNumber(static_cast<Qt::CursorShape>(shape)))), text);
    }
};

QTEST_MAIN(tst_PropertyDump)
#include "tst_PropertyDump.moc"
