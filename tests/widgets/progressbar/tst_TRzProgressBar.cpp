// The segmented progress bar: counting, its events, and what it paints
// (checked pixel by pixel on off-screen grabs).
#include "widgets/look/TRzFrameController.h"
#include "widgets/progressbar/TRzProgressBar.h"

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>

using namespace Rz;

namespace {

// Distinct colours for every palette role the bar draws with.
const QColor Highlight(10, 20, 200);
const QColor Button(200, 190, 180); // clBtnFace
const QColor ButtonText(5, 6, 7);
const QColor Dark(128, 128, 128);     // clBtnShadow
const QColor Light(250, 240, 230);    // clBtnHighlight
const QColor Midlight(220, 210, 200); // cl3DLight
const QColor Shadow(40, 50, 60);      // cl3DDkShadow
const QColor ParentColor(100, 150, 100);
const QColor Back(0, 200, 0);
const QColor Bar(200, 0, 200);

QPalette TestPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Highlight, Highlight);
    palette.setColor(QPalette::Button, Button);
    palette.setColor(QPalette::ButtonText, ButtonText);
    palette.setColor(QPalette::Dark, Dark);
    palette.setColor(QPalette::Light, Light);
    palette.setColor(QPalette::Midlight, Midlight);
    palette.setColor(QPalette::Shadow, Shadow);
    palette.setColor(QPalette::Window, ParentColor);
    return palette;
}

// A crisp font: every text pixel is one of the two colours.
QFont CrispFont()
{
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// The bounding box of the pixels of one colour inside a rectangle.
QRect InkBox(const QImage &image, const QRect &area, const QColor &ink)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) == ink)
                box |= QRect(x, y, 1, 1);
    return box;
}

// The pixels of the area that are neither colour.
int Strangers(const QImage &image, const QRect &area, const QColor &a, const QColor &b)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c != a && c != b)
                ++count;
        }
    return count;
}

} // namespace

class tst_TRzProgressBar : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void initialState();
    void percentSteps_data();
    void percentSteps();
    void resetRules();
    void zeroTotalKeepsPercent();
    void clamping_data();
    void clamping();
    void onChangeBeforeRedraw();
    void redrawIsImmediate_data();
    void redrawIsImmediate();
    void orientationFollowsBounds();
    void barStyleSwitch();
    void barColorIsFontColor();
    void loadingRule();
    void frameController();

    void frameStyles_data();
    void frameStyles();
    void bordersAndOffset();
    void movePageBar_data();
    void movePageBar();
    void filledLength_data();
    void filledLength();
    void noTextWithoutShowPercent();
    void verticalTraditional();
    void systemColoursFollowPalette();
    void ledSegments_data();
    void ledSegments();

private:
    TRzProgressBar *MakeBar(int width, int height);
    QImage Grab() const { return m_bar->grab().toImage(); }

    std::unique_ptr<QWidget> m_window;
    TRzProgressBar *m_bar = nullptr;
};

void tst_TRzProgressBar::init()
{
    m_window = std::make_unique<QWidget>();
    m_window->setPalette(TestPalette());
    m_window->resize(500, 300);
    m_bar = new TRzProgressBar(m_window.get());
}

void tst_TRzProgressBar::cleanup()
{
    m_bar = nullptr;
    m_window.reset();
}

TRzProgressBar *tst_TRzProgressBar::MakeBar(int width, int height)
{
    m_bar->setGeometry(10, 10, width, height);
    m_bar->SetBarColor(Bar);
    m_bar->SetBackColor(Back);
    m_bar->SetBorderColor(clBtnFace);
    m_bar->SetFlatColor(QColor(90, 60, 30));
    m_bar->SetFlatColorAdjustment(0);
    m_bar->setFont(CrispFont());
    return m_bar;
}

void tst_TRzProgressBar::initialState()
{
    TRzProgressBar bar(nullptr);
    QCOMPARE(bar.size(), QSize(200, 24));
    QCOMPARE(bar.TotalParts(), 0);
    QCOMPARE(bar.PartsComplete(), 0);
    QCOMPARE(bar.Percent(), 0);
    QCOMPARE(bar.ShowPercent(), true);
    QCOMPARE(bar.BarStyle(), bsTraditional);
    QCOMPARE(bar.Orientation(), orHorizontal);
    QCOMPARE(bar.NumSegments(), 20);
    QVERIFY(bar.BarColor() == clHighlight);
    QVERIFY(bar.BackColor() == clWhite);
    QVERIFY(bar.BorderColor() == clBtnFace);
    QCOMPARE(bar.BorderOuter(), fsLowered);
    QCOMPARE(bar.BorderInner(), fsNone);
    QCOMPARE(bar.BorderWidth(), 0);
    QCOMPARE(bar.BevelWidth(), 1);
    QVERIFY(bar.FlatColor() == clBtnShadow);
    QCOMPARE(bar.FlatColorAdjustment(), 30);
    QCOMPARE(bar.InteriorOffset(), 0);
    QCOMPARE(bar.ThemeAware(), true);
    QCOMPARE(bar.FrameController(), nullptr);
    QVERIFY(bar.testAttribute(Qt::WA_OpaquePaintEvent));
}

void tst_TRzProgressBar::percentSteps_data()
{
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("step");
    QTest::addColumn<QList<int>>("percents"); // after each step
    QTest::newRow("8 parts: halves to even")
        << 8 << 1 << QList<int>{12, 25, 38, 50, 62, 75, 88, 100};
    QTest::newRow("3 parts") << 3 << 1 << QList<int>{33, 67, 100};
    QTest::newRow("1000 parts, first steps")
        << 1000 << 1 << QList<int>{0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1};
    QTest::newRow("200 parts: 0.5 goes to 0, 1.5 to 2") << 200 << 1 << QList<int>{0, 1, 2, 2, 2, 3};
    QTest::newRow("steps of 3 past the end") << 7 << 3 << QList<int>{43, 86, 100, 100};
    QTest::newRow("one part") << 1 << 1 << QList<int>{100, 100};
    QTest::newRow("largest total") << 2147483647 << 1073741824 << QList<int>{50, 100};
}

void tst_TRzProgressBar::percentSteps()
{
    QFETCH(int, total);
    QFETCH(int, step);
    QFETCH(QList<int>, percents);
    m_bar->SetTotalParts(total);
    m_bar->SetPartsComplete(0);
    QSignalSpy changes(m_bar, &TRzProgressBar::OnChange);
    QList<int> seen;
    int last = 0;
    int expectedSignals = 0;
    for (int i = 0; i < percents.size(); ++i) {
        m_bar->AddCompletedParts(step);
        seen << m_bar->Percent();
        if (percents.at(i) != last)
            ++expectedSignals;
        last = percents.at(i);
    }
    QCOMPARE(seen, percents);
    QCOMPARE(m_bar->PartsComplete(), int(qMin<qint64>(qint64(step) * percents.size(), total)));
    // OnChange only when the whole percentage changes, with the new value.
    QCOMPARE(changes.size(), expectedSignals);
    if (!changes.isEmpty()) {
        QCOMPARE(changes.last().at(0).value<TRzProgressBar *>(), m_bar);
        QCOMPARE(changes.last().at(1).toInt(), percents.last());
    }
}

void tst_TRzProgressBar::resetRules()
{
    m_bar->SetTotalParts(5);
    m_bar->SetPartsComplete(5);
    QCOMPARE(m_bar->Percent(), 100);
    // The same total again keeps the count: the bar still shows 100%.
    m_bar->SetTotalParts(5);
    QCOMPARE(m_bar->PartsComplete(), 5);
    QCOMPARE(m_bar->Percent(), 100);
    // Only the explicit reset starts a second run of the same size at 0.
    m_bar->SetPartsComplete(0);
    QCOMPARE(m_bar->Percent(), 0);
    m_bar->AddCompletedParts(3);
    QCOMPARE(m_bar->Percent(), 60);
    // A new total resets both.
    QSignalSpy changes(m_bar, &TRzProgressBar::OnChange);
    m_bar->SetTotalParts(6);
    QCOMPARE(m_bar->PartsComplete(), 0);
    QCOMPARE(m_bar->Percent(), 0);
    QCOMPARE(changes.size(), 1);
    // Above the total: clamped to it.
    m_bar->SetPartsComplete(60);
    QCOMPARE(m_bar->PartsComplete(), 6);
    QCOMPARE(m_bar->Percent(), 100);
    // Percent set directly stands until the count changes again.
    m_bar->SetPercent(40);
    QCOMPARE(m_bar->Percent(), 40);
    m_bar->SetPartsComplete(3);
    QCOMPARE(m_bar->Percent(), 50);
}

void tst_TRzProgressBar::zeroTotalKeepsPercent()
{
    m_bar->SetPercent(42);
    m_bar->SetPartsComplete(7);
    QCOMPARE(m_bar->PartsComplete(), 0);
    QCOMPARE(m_bar->Percent(), 42);
    m_bar->AddCompletedPart();
    QCOMPARE(m_bar->Percent(), 42);
    m_bar->SetTotalParts(4);
    QCOMPARE(m_bar->Percent(), 0);
    m_bar->SetTotalParts(0);
    m_bar->AddCompletedPart();
    QCOMPARE(m_bar->PartsComplete(), 0);
    QCOMPARE(m_bar->Percent(), 0);
}

void tst_TRzProgressBar::clamping_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("segments below 1") << QByteArray("NumSegments") << 0 << 1;
    QTest::newRow("segments above 100") << QByteArray("NumSegments") << 250 << 100;
    QTest::newRow("segments in range") << QByteArray("NumSegments") << 37 << 37;
    QTest::newRow("interior offset above 255") << QByteArray("InteriorOffset") << 300 << 255;
    QTest::newRow("interior offset below 0") << QByteArray("InteriorOffset") << -4 << 0;
    QTest::newRow("bevel width below 1") << QByteArray("BevelWidth") << 0 << 1;
    QTest::newRow("border width below 0") << QByteArray("BorderWidth") << -1 << 0;
    QTest::newRow("percent below 0") << QByteArray("Percent") << -5 << 0;
    QTest::newRow("percent above 16 bits") << QByteArray("Percent") << 70000 << 65535;
    QTest::newRow("total below 0") << QByteArray("TotalParts") << -3 << 0;
    QTest::newRow("flat adjustment negative") << QByteArray("FlatColorAdjustment") << -40 << -40;
}

void tst_TRzProgressBar::clamping()
{
    QFETCH(QByteArray, property);
    QFETCH(int, value);
    QFETCH(int, stored);
    QVERIFY(m_bar->setProperty(property.constData(), value));
    QCOMPARE(m_bar->property(property.constData()).toInt(), stored);
}

void tst_TRzProgressBar::onChangeBeforeRedraw()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    PaintCounter paints(m_bar);
    int paintsSeenInHandler = -1;
    int percentSeenInHandler = -1;
    connect(m_bar, &TRzProgressBar::OnChange, this, [&](TRzProgressBar *sender, int) {
        paintsSeenInHandler = paints.count;
        percentSeenInHandler = sender->Percent();
    });
    m_bar->SetTotalParts(4);
    m_bar->AddCompletedPart();
    QCOMPARE(percentSeenInHandler, 25);
    QCOMPARE(paintsSeenInHandler, 0);
    QCOMPARE(paints.count, 1);
}

void tst_TRzProgressBar::redrawIsImmediate_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("immediate"); // else: at the next paint
    QTest::newRow("Percent") << QByteArray("Percent") << QVariant(30) << true;
    QTest::newRow("ShowPercent") << QByteArray("ShowPercent") << QVariant(false) << true;
    QTest::newRow("BarStyle") << QByteArray("BarStyle") << QVariant::fromValue(bsLED) << true;
    QTest::newRow("Orientation") << QByteArray("Orientation") << QVariant::fromValue(orVertical)
                                 << true;
    QTest::newRow("NumSegments") << QByteArray("NumSegments") << QVariant(7) << true;
    QTest::newRow("BarColor") << QByteArray("BarColor") << QVariant::fromValue(clYellow) << true;
    QTest::newRow("BackColor") << QByteArray("BackColor") << QVariant::fromValue(clYellow) << true;
    QTest::newRow("BorderColor") << QByteArray("BorderColor") << QVariant::fromValue(clYellow)
                                 << true;
    QTest::newRow("BorderOuter") << QByteArray("BorderOuter") << QVariant::fromValue(fsRaised)
                                 << true;
    QTest::newRow("BorderInner") << QByteArray("BorderInner") << QVariant::fromValue(fsFlat)
                                 << true;
    QTest::newRow("BorderWidth") << QByteArray("BorderWidth") << QVariant(2) << true;
    QTest::newRow("BevelWidth") << QByteArray("BevelWidth") << QVariant(3) << true;
    QTest::newRow("InteriorOffset") << QByteArray("InteriorOffset") << QVariant(2) << true;
    QTest::newRow("FlatColor") << QByteArray("FlatColor") << QVariant::fromValue(clYellow) << false;
    QTest::newRow("FlatColorAdjustment")
        << QByteArray("FlatColorAdjustment") << QVariant(-10) << false;
    QTest::newRow("ThemeAware") << QByteArray("ThemeAware") << QVariant(false) << false;
}

void tst_TRzProgressBar::redrawIsImmediate()
{
    QFETCH(QByteArray, property);
    QFETCH(QVariant, value);
    QFETCH(bool, immediate);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCoreApplication::processEvents();
    PaintCounter paints(m_bar);
    QVERIFY(m_bar->setProperty(property.constData(), value));
    QCOMPARE(m_bar->property(property.constData()), value);
    // No event has been processed since the change.
    QCOMPARE(paints.count, immediate ? 1 : 0);
    if (!immediate)
        QTRY_VERIFY(paints.count > 0);
}

void tst_TRzProgressBar::orientationFollowsBounds()
{
    // Not shown: the size alone decides, at once.
    m_bar->resize(20, 100);
    QCOMPARE(m_bar->Orientation(), orVertical);
    m_bar->resize(50, 50);
    QCOMPARE(m_bar->Orientation(), orHorizontal);
    m_bar->SetOrientation(orVertical);
    QCOMPARE(m_bar->Orientation(), orVertical);
    // The next change of bounds, even a move, decides again.
    m_bar->move(3, 4);
    QCOMPARE(m_bar->Orientation(), orHorizontal);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_bar->setGeometry(0, 0, 10, 11);
    QCOMPARE(m_bar->Orientation(), orVertical);
}

void tst_TRzProgressBar::barStyleSwitch()
{
    m_bar->SetInteriorOffset(5);
    m_bar->SetBarStyle(bsLED);
    QCOMPARE(m_bar->ShowPercent(), false);
    QCOMPARE(m_bar->InteriorOffset(), 1);
    m_bar->SetShowPercent(true);
    m_bar->SetBarStyle(bsLED); // no change, nothing reset
    QCOMPARE(m_bar->ShowPercent(), true);
    m_bar->SetBarStyle(bsTraditional);
    QCOMPARE(m_bar->ShowPercent(), true);
    QCOMPARE(m_bar->InteriorOffset(), 0);
}

void tst_TRzProgressBar::barColorIsFontColor()
{
    m_bar->SetBarColor(clBlue);
    QCOMPARE(m_bar->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    m_bar->SetBarColor(clHighlight);
    QCOMPARE(m_bar->palette().color(QPalette::WindowText), Highlight);
}

void tst_TRzProgressBar::loadingRule()
{
    TRzProgressBar bar(nullptr);
    QSignalSpy changes(&bar, &TRzProgressBar::OnChange);
    bar.BeginLoading();
    bar.SetPercent(30);
    bar.SetTotalParts(10);
    bar.SetPartsComplete(5);
    bar.EndLoading();
    QCOMPARE(bar.TotalParts(), 10);
    QCOMPARE(bar.PartsComplete(), 5);
    QCOMPARE(bar.Percent(), 30);
    QCOMPARE(changes.size(), 1);
    // Once loaded, the counting rules apply again.
    bar.AddCompletedPart();
    QCOMPARE(bar.Percent(), 60);
}

void tst_TRzProgressBar::frameController()
{
    auto controller = std::make_unique<TRzFrameController>();
    controller->SetFrameStyle(fsFlatBold);
    controller->SetFrameColor(clYellow);
    controller->SetColor(clBlue);
    m_bar->SetFrameController(controller.get());
    QCOMPARE(m_bar->FrameController(), controller.get());
    QCOMPARE(m_bar->BorderOuter(), fsLowered); // frame switched off: nothing taken
    controller->SetFrameVisible(true);
    QCOMPARE(m_bar->BorderOuter(), fsFlatBold);
    QVERIFY(m_bar->FlatColor() == clYellow);
    QCOMPARE(m_bar->FlatColorAdjustment(), 0);
    QVERIFY(m_bar->BackColor() == clBlue);
    controller->SetFrameStyle(fsGroove);
    QCOMPARE(m_bar->BorderOuter(), fsGroove);
    controller.reset();
    QCOMPARE(m_bar->FrameController(), nullptr);
    m_bar->SetBorderOuter(fsNone);
    QCOMPARE(m_bar->BorderOuter(), fsNone);
}

// Pixel expectations are written "x,y=Colour": x and y count from the
// right or bottom when negative (-1 is the last pixel), "m" is the middle.
static QColor NamedColor(const QString &name, const TRzProgressBar &bar)
{
    static const QHash<QString, QColor> colors = {
        {QStringLiteral("Dark"), Dark},          {QStringLiteral("Light"), Light},
        {QStringLiteral("Midlight"), Midlight},  {QStringLiteral("Shadow"), Shadow},
        {QStringLiteral("BtnText"), ButtonText}, {QStringLiteral("Face"), Button},
        {QStringLiteral("Back"), Back},          {QStringLiteral("Bar"), Bar},
        {QStringLiteral("Parent"), ParentColor}};
    if (name == QLatin1String("Flat"))
        return AdjustColorLuminance(bar.FlatColor().Resolve(bar.palette()),
                                    bar.FlatColorAdjustment());
    return colors.value(name);
}

static void CheckPixels(const QImage &image, const QString &expectations, const TRzProgressBar &bar)
{
    const QStringList checks = expectations.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &check : checks) {
        const QStringList parts = check.split(QLatin1Char('='));
        const QStringList xy = parts.at(0).split(QLatin1Char(','));
        const auto coordinate = [](const QString &text, int extent) {
            if (text == QLatin1String("m"))
                return extent / 2;
            const int value = text.toInt();
            return value < 0 ? extent + value : value;
        };
        const int x = coordinate(xy.at(0), image.width());
        const int y = coordinate(xy.at(1), image.height());
        const QColor expected = NamedColor(parts.at(1), bar);
        QVERIFY2(expected.isValid(), qPrintable(parts.at(1)));
        if (image.pixelColor(x, y) != expected) {
            QFAIL(qPrintable(QStringLiteral("pixel %1 (%2,%3) is %4, expected %5")
                                 .arg(check)
                                 .arg(x)
                                 .arg(y)
                                 .arg(image.pixelColor(x, y).name(), expected.name())));
        }
    }
}

void tst_TRzProgressBar::frameStyles_data()
{
    QTest::addColumn<TFrameStyleEx>("style");
    QTest::addColumn<bool>("inner");
    QTest::addColumn<int>("bevel");
    QTest::addColumn<QString>("pixels");
    // Line frames: top and left in the first colour, right and bottom in the
    // second, which also owns the top-right and bottom-left corners.
    // Rings are written "UpperLeft/LowerRight", outermost first.
    const auto lineFrames = [](const char *ringList) -> QString {
        const QStringList rings = QString::fromLatin1(ringList).split(QLatin1Char(' '));
        QString text;
        for (int i = 0; i < rings.size(); ++i) {
            const QString a = rings.at(i).section(QLatin1Char('/'), 0, 0);
            const QString b = rings.at(i).section(QLatin1Char('/'), 1, 1);
            const QString n = QString::number(i), e = QString::number(-1 - i);
            text += QStringLiteral("m,%1=%2 %1,m=%2 %1,%1=%2 m,%3=%4 %3,m=%4 %3,%3=%4 %3,%1=%4 "
                                   "%1,%3=%4 ")
                        .arg(n, a, e, b);
        }
        const QString w = QString::number(rings.size());
        return text + QStringLiteral("m,%1=Back %1,m=Back").arg(w);
    };
    QTest::newRow("none") << fsNone << false << 1 << QStringLiteral("0,0=Back m,0=Back -1,m=Back");
    QTest::newRow("flat") << fsFlat << false << 1 << lineFrames("Flat/Flat");
    QTest::newRow("lowered") << fsLowered << false << 1 << lineFrames("Dark/Light Shadow/Midlight");
    QTest::newRow("raised") << fsRaised << false << 1 << lineFrames("Midlight/Shadow Light/Dark");
    QTest::newRow("button up") << fsButtonUp << false << 1
                               << lineFrames("Light/Shadow Midlight/Dark");
    QTest::newRow("button down") << fsButtonDown << false << 1
                                 << lineFrames("BtnText/BtnText Dark/Dark");
    QTest::newRow("groove") << fsGroove << false << 1 << lineFrames("Dark/Light Light/Dark");
    QTest::newRow("bump") << fsBump << false << 1 << lineFrames("Light/Dark Dark/Light");
    QTest::newRow("status, bevel 1") << fsStatus << false << 1 << lineFrames("Dark/Light");
    QTest::newRow("status, bevel 3")
        << fsStatus << false << 3 << lineFrames("Dark/Light Dark/Light Dark/Light");
    QTest::newRow("popup, bevel 2") << fsPopup << false << 2 << lineFrames("Light/Dark Light/Dark");
    QTest::newRow("flat bold") << fsFlatBold << false << 1 << lineFrames("Flat/Flat Flat/Flat");
    QTest::newRow("lowered as inner frame")
        << fsLowered << true << 1 << lineFrames("Dark/Light Shadow/Midlight");
    QTest::newRow("flat as inner frame: open corners")
        << fsFlat << true << 1
        << QStringLiteral("0,0=Face -1,0=Face 0,-1=Face -1,-1=Face 1,0=Flat 0,1=Flat -2,0=Flat "
                          "-1,1=Flat m,-1=Flat -1,-2=Flat 1,1=Back");
    QTest::newRow("flat rounded, outer")
        << fsFlatRounded << false << 1
        << QStringLiteral("0,0=Parent 1,0=Parent 0,1=Parent -1,-1=Parent -2,-1=Parent "
                          "2,0=Flat -3,0=Flat 0,2=Flat -1,-3=Flat m,-1=Flat "
                          "1,1=Flat -2,1=Flat 1,-2=Flat -2,-2=Flat "
                          "m,1=Back 1,m=Back 2,2=Back");
    QTest::newRow("flat rounded, inner")
        << fsFlatRounded << true << 1
        << QStringLiteral("0,0=Face 1,0=Face -1,-1=Face 2,0=Flat m,-1=Flat 0,m=Flat "
                          "1,1=Flat -2,-2=Flat m,1=Back 2,2=Back");
}

void tst_TRzProgressBar::frameStyles()
{
    QFETCH(TFrameStyleEx, style);
    QFETCH(bool, inner);
    QFETCH(int, bevel);
    QFETCH(QString, pixels);
    MakeBar(60, 30);
    m_bar->SetShowPercent(false);
    m_bar->SetBevelWidth(bevel);
    m_bar->SetBorderOuter(inner ? fsNone : style);
    m_bar->SetBorderInner(inner ? style : fsNone);
    CheckPixels(Grab(), pixels, *m_bar);
}

void tst_TRzProgressBar::bordersAndOffset()
{
    // Outer frame 2, border 3 in the border colour, inner flat frame 1,
    // interior offset 2 in the back colour: the bar starts 8 pixels in.
    MakeBar(80, 40);
    m_bar->SetBorderOuter(fsLowered);
    m_bar->SetBorderWidth(3);
    m_bar->SetBorderInner(fsFlat);
    m_bar->SetInteriorOffset(2);
    m_bar->SetShowPercent(false);
    m_bar->SetTotalParts(1);
    m_bar->SetPartsComplete(1);
    CheckPixels(Grab(),
                QStringLiteral("m,0=Dark m,1=Shadow m,2=Face m,4=Face 4,m=Face -5,m=Face "
                               "m,5=Flat 5,m=Flat 5,5=Face -6,-6=Face m,6=Back m,7=Back "
                               "6,6=Back m,8=Bar 8,m=Bar -9,-9=Bar -8,m=Back"),
                *m_bar);
}

void tst_TRzProgressBar::movePageBar_data()
{
    QTest::addColumn<int>("percent");
    QTest::newRow("0%") << 0;
    QTest::newRow("37%") << 37;
    QTest::newRow("50%") << 50;
    QTest::newRow("100%") << 100;
}

void tst_TRzProgressBar::movePageBar()
{
    QFETCH(int, percent);
    // The bar as the Move page sets it up.
    m_bar->setGeometry(16, 73, 385, 24);
    m_bar->SetBarColor(clBlue);
    m_bar->SetBorderColor(clWhite);
    m_bar->SetBorderInner(fsFlat);
    m_bar->SetBorderOuter(fsNone);
    m_bar->SetBorderWidth(1);
    m_bar->setFont(CrispFont());
    m_bar->SetTotalParts(100);
    m_bar->SetPartsComplete(percent);
    QCOMPARE(m_bar->Percent(), percent);
    const QImage image = Grab();
    const QColor white(255, 255, 255), blue(0, 0, 255);
    const QColor flat = AdjustColorLuminance(Dark, 30);

    // White frame, then the flat frame with open corners.
    for (const QPoint &p : {QPoint(0, 0), QPoint(384, 23), QPoint(0, 12), QPoint(192, 0),
                            QPoint(1, 1), QPoint(383, 1), QPoint(1, 22), QPoint(383, 22)})
        QCOMPARE(image.pixelColor(p), white);
    for (const QPoint &p : {QPoint(1, 12), QPoint(192, 1), QPoint(383, 12), QPoint(192, 22),
                            QPoint(2, 1), QPoint(1, 2), QPoint(382, 22)})
        QCOMPARE(image.pixelColor(p), flat);

    // The bar area, 381 by 20 from (2,2): blue up to the edge, white after
    // it, the text in the other colour on each side.
    const QRect area(2, 2, 381, 20);
    QCOMPARE(Strangers(image, area, white, blue), 0);
    const int edge = 2 + (percent == 50 ? 190 : percent == 37 ? 141 : percent * 381 / 100);
    const QRect filled(area.left(), area.top(), edge - area.left(), area.height());
    const QRect empty(edge, area.top(), area.right() + 1 - edge, area.height());
    if (!filled.isEmpty()) {
        QCOMPARE(image.pixelColor(filled.topLeft()), blue);
        QCOMPARE(image.pixelColor(filled.bottomRight()), blue);
    }
    if (!empty.isEmpty()) {
        QCOMPARE(image.pixelColor(empty.topLeft()), white);
        QCOMPARE(image.pixelColor(empty.bottomRight()), white);
    }
    const QRect textOnBar = filled.isEmpty() ? QRect() : InkBox(image, filled, white);
    const QRect textOnBack = empty.isEmpty() ? QRect() : InkBox(image, empty, blue);
    const QRect text = textOnBar | textOnBack;
    QVERIFY(!text.isEmpty());
    // Centred on x = 383 / 2 and in the middle of the area's height.
    QVERIFY2(qAbs((text.left() + text.right()) / 2 - 191) <= 2,
             qPrintable(QStringLiteral("text spans %1..%2").arg(text.left()).arg(text.right())));
    QVERIFY(qAbs((text.top() + text.bottom()) / 2 - 12) <= 3);
    if (percent == 50) {
        // The edge runs through the text: both colours show.
        QVERIFY(!textOnBar.isEmpty());
        QVERIFY(!textOnBack.isEmpty());
        QCOMPARE(textOnBar.right() < edge, true);
        QCOMPARE(textOnBack.left() >= edge, true);
    }

    // The focus, which the Move page gives the bar while the copy runs,
    // shows as an outer frame in the highlight colour.
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    m_bar->setFocus();
    const QImage focused = Grab();
    const QColor highlight = m_bar->palette().color(QPalette::Highlight);
    for (const QPoint &p : {QPoint(0, 0), QPoint(384, 23), QPoint(0, 12), QPoint(192, 0)})
        QCOMPARE(focused.pixelColor(p), highlight);
    QCOMPARE(focused.pixelColor(1, 12), flat);
}

void tst_TRzProgressBar::filledLength_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("length");
    QTest::newRow("5 px, 50%: 2.5 goes to 2") << 5 << 50 << 2;
    QTest::newRow("7 px, 50%: 3.5 goes to 4") << 7 << 50 << 4;
    QTest::newRow("385 px, 50%: 192.5 goes to 192") << 385 << 50 << 192;
    QTest::newRow("385 px, 10%: 38.5 goes to 38") << 385 << 10 << 38;
    QTest::newRow("385 px, 30%: 115.5 goes to 116") << 385 << 30 << 116;
    QTest::newRow("381 px, 70%: 266.7") << 381 << 70 << 267;
    QTest::newRow("200 px, 1%") << 200 << 1 << 2;
    QTest::newRow("200 px, 99%") << 200 << 99 << 198;
}

void tst_TRzProgressBar::filledLength()
{
    QFETCH(int, width);
    QFETCH(int, percent);
    QFETCH(int, length);
    const int height = qMin(width, 20); // never taller than wide: stays horizontal
    MakeBar(width, height);
    m_bar->SetBorderOuter(fsNone);
    m_bar->SetShowPercent(false);
    m_bar->SetPercent(percent);
    const QImage image = Grab();
    QCOMPARE(image.pixelColor(length - 1, height / 2), Bar);
    QCOMPARE(image.pixelColor(length, height / 2), Back);
}

void tst_TRzProgressBar::noTextWithoutShowPercent()
{
    MakeBar(200, 24);
    m_bar->SetBorderOuter(fsNone);
    m_bar->SetPercent(50);
    QVERIFY(!InkBox(Grab(), QRect(100, 0, 100, 24), Bar).isEmpty()); // the text is there
    m_bar->SetShowPercent(false);
    const QImage image = Grab();
    QVERIFY(InkBox(image, QRect(100, 0, 100, 24), Bar).isEmpty());
    QVERIFY(InkBox(image, QRect(0, 0, 100, 24), Back).isEmpty());
}

void tst_TRzProgressBar::verticalTraditional()
{
    MakeBar(24, 100);
    QCOMPARE(m_bar->Orientation(), orVertical);
    m_bar->SetBorderOuter(fsNone);
    m_bar->SetShowPercent(false);
    m_bar->SetPercent(25);
    // Filled from the bottom upwards: 25 of 100 rows.
    CheckPixels(Grab(), QStringLiteral("m,-1=Bar 0,75=Bar -1,75=Bar m,74=Back m,0=Back"), *m_bar);
}

void tst_TRzProgressBar::systemColoursFollowPalette()
{
    // The default bar colour is the palette's highlight, looked up at paint
    // time: a new palette shows without setting the colour again.
    m_bar->setGeometry(0, 0, 100, 20);
    m_bar->SetBorderOuter(fsNone);
    m_bar->SetShowPercent(false);
    m_bar->SetPercent(100);
    QCOMPARE(Grab().pixelColor(50, 10), Highlight);
    QPalette palette = TestPalette();
    palette.setColor(QPalette::Highlight, QColor(1, 2, 3));
    m_window->setPalette(palette);
    QCOMPARE(Grab().pixelColor(50, 10), QColor(1, 2, 3));
}

void tst_TRzProgressBar::ledSegments_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("segments");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("pixels");
    // 200 wide, offset 1: 198 px; 20 segments of 9 px leave 18, room for 2
    // more: 22 segments, no margin; 50% lights 11.
    QTest::newRow("wide, half lit")
        << QSize(200, 24) << 20 << 50
        << QStringLiteral("0,0=Back 1,12=Back 2,12=Bar 5,1=Back "
                          "95,12=Bar 99,12=Back 100,12=Back 104,12=Back "
                          "190,12=Back 197,12=Back 198,12=Back");
    // 60 wide: 58 px is short, so 10 segments of 5, then one more fits:
    // 11 segments of 5 and a margin of 1 at each end (2 at the far one).
    QTest::newRow("short, all lit") << QSize(60, 24) << 20 << 100
                                    << QStringLiteral("1,12=Back 2,12=Back 3,12=Bar 5,12=Bar "
                                                      "6,12=Back 8,12=Bar 53,12=Bar 56,12=Back "
                                                      "57,12=Back 58,12=Back");
    // 9% of 22 segments is 1.98: one lit.
    QTest::newRow("truncated lit count")
        << QSize(200, 24) << 20 << 9 << QStringLiteral("5,12=Bar 14,12=Back");
    // Vertical: 198 px high, 22 segments of 9 from the bottom; 10% lights 2.
    QTest::newRow("vertical, from the bottom")
        << QSize(24, 200) << 20 << 10
        << QStringLiteral("12,194=Bar 12,185=Bar 12,189=Back 12,176=Back 12,5=Back");
    // More segments than pixels: none fits, the area stays the back colour.
    QTest::newRow("too narrow") << QSize(12, 24) << 50 << 100
                                << QStringLiteral("5,12=Back 1,1=Back 10,22=Back");
}

void tst_TRzProgressBar::ledSegments()
{
    QFETCH(QSize, size);
    QFETCH(int, segments);
    QFETCH(int, percent);
    QFETCH(QString, pixels);
    MakeBar(size.width(), size.height());
    m_bar->SetBorderOuter(fsNone);
    m_bar->SetBorderColor(Bar); // the frame fill must not pass for a lit segment
    m_bar->SetBarStyle(bsLED);
    m_bar->SetNumSegments(segments);
    m_bar->SetPercent(percent);
    CheckPixels(Grab(), pixels, *m_bar);
}

QTEST_MAIN(tst_TRzProgressBar)
#include "tst_TRzProgressBar.moc"
