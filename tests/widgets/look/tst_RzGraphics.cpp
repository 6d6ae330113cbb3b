// Colours of the Rz controls: system colour lookup and luminance changes.
#include "widgets/look/RzGraphics.h"

#include <QGuiApplication>
#include <QTest>

using namespace Rz;

class tst_RzGraphics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void adjustColorLuminance_data();
    void adjustColorLuminance();
    void systemColours_data();
    void systemColours();
};

void tst_RzGraphics::adjustColorLuminance_data()
{
    QTest::addColumn<QColor>("color");
    QTest::addColumn<int>("amount");
    QTest::addColumn<QColor>("expected");
    // Grey 128 has luminance 120.47, rounded to 120; +30 gives 150, which is
    // 159.4 on the 0 to 255 scale.
    QTest::newRow("grey 128 + 30") << QColor(128, 128, 128) << 30 << QColor(159, 159, 159);
    // 160 has luminance 150.6, rounded to 151; 181 gives 192.3.
    QTest::newRow("grey 160 + 30") << QColor(160, 160, 160) << 30 << QColor(192, 192, 192);
    QTest::newRow("no change keeps the colour") << QColor(12, 34, 56) << 0 << QColor(12, 34, 56);
    // Pure red: hue 0, saturation 240, luminance 120; at 150 the other two
    // channels rise to 63.75.
    QTest::newRow("red + 30") << QColor(255, 0, 0) << 30 << QColor(255, 64, 64);
    // Pure blue at luminance 60: half the blue.
    QTest::newRow("blue - 60") << QColor(0, 0, 255) << -60 << QColor(0, 0, 128);
    QTest::newRow("darker than black") << QColor(0, 0, 0) << -30 << QColor(0, 0, 0);
    QTest::newRow("far below 0") << QColor(200, 100, 50) << -500 << QColor(0, 0, 0);
    // Luminance may climb to 255, past the scale's 240: channels stop at 255.
    QTest::newRow("lighter than white") << QColor(255, 255, 255) << 30 << QColor(255, 255, 255);
    QTest::newRow("far above") << QColor(128, 128, 128) << 500 << QColor(255, 255, 255);
    QTest::newRow("green + 1 step") << QColor(0, 128, 0) << 1 << QColor(0, 130, 0);
}

void tst_RzGraphics::adjustColorLuminance()
{
    QFETCH(QColor, color);
    QFETCH(int, amount);
    QFETCH(QColor, expected);
    QCOMPARE(AdjustColorLuminance(color, amount), expected);
}

void tst_RzGraphics::systemColours_data()
{
    QTest::addColumn<TColor>("color");
    QTest::addColumn<int>("role");
    QTest::newRow("highlight") << clHighlight << int(QPalette::Highlight);
    QTest::newRow("button face") << clBtnFace << int(QPalette::Button);
    QTest::newRow("button shadow") << clBtnShadow << int(QPalette::Dark);
    QTest::newRow("button highlight") << clBtnHighlight << int(QPalette::Light);
    QTest::newRow("3D light") << cl3DLight << int(QPalette::Midlight);
    QTest::newRow("3D dark shadow") << cl3DDkShadow << int(QPalette::Shadow);
    QTest::newRow("button text") << clBtnText << int(QPalette::ButtonText);
    QTest::newRow("window") << clWindow << int(QPalette::Base);
    QTest::newRow("window text") << clWindowText << int(QPalette::Text);
    QTest::newRow("white is a plain value") << clWhite << -1;
    QTest::newRow("blue is a plain value") << clBlue << -1;
}

void tst_RzGraphics::systemColours()
{
    QFETCH(TColor, color);
    QFETCH(int, role);
    QPalette palette;
    for (int r = 0; r < int(QPalette::NColorRoles); ++r)
        palette.setColor(QPalette::Active, QPalette::ColorRole(r), QColor(r * 10, 255 - r, 7));
    QCOMPARE(color.IsSystem(), role >= 0);
    if (role >= 0) {
        QCOMPARE(color.Resolve(palette), QColor(role * 10, 255 - role, 7));
    } else {
        // Plain values do not change with the palette.
        QCOMPARE(color.Resolve(palette), color.Resolve(QPalette()));
        QCOMPARE(color.Resolve(palette).alpha(), 255);
    }
}

QTEST_MAIN(tst_RzGraphics)
#include "tst_RzGraphics.moc"
