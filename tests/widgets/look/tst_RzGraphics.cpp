// Colours of the Rz controls: system colour lookup and luminance changes;
// the frame styles and colours the controls publish.
#include "widgets/buttonedit/TRzEdit.h"
#include "widgets/look/RzGraphics.h"
#include "widgets/look/TRzFrameController.h"
#include "widgets/progressbar/TRzProgressBar.h"
#include "widgets/shell/TRzSelectFolderDialog.h"

#include <QGuiApplication>
#include <QMetaEnum>
#include <QMetaProperty>
#include <QTest>

using namespace Rz;

Q_DECLARE_METATYPE(const QMetaObject *)

class tst_RzGraphics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void adjustColorLuminance_data();
    void adjustColorLuminance();
    void systemColours_data();
    void systemColours();
    void publishedFrameStyles_data();
    void publishedFrameStyles();
    void editStylesMapByName();
    void folderDialogColours_data();
    void folderDialogColours();
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

void tst_RzGraphics::publishedFrameStyles_data()
{
    QTest::addColumn<const QMetaObject *>("meta");
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<int>("value");
    const QMetaObject *bar = &TRzProgressBar::staticMetaObject;
    const QMetaObject *controller = &TRzFrameController::staticMetaObject;
    const QMetaObject *dialog = &TRzSelectFolderDialog::staticMetaObject;
    const QMetaObject *edit = &TRzEdit::staticMetaObject;
    QTest::newRow("bar none") << bar << QByteArray("BorderOuter") << QByteArray("fsNone") << 0;
    QTest::newRow("bar lowered") << bar << QByteArray("BorderOuter") << QByteArray("fsLowered")
                                 << 4;
    QTest::newRow("bar button down")
        << bar << QByteArray("BorderOuter") << QByteArray("fsButtonDown") << 5;
    QTest::newRow("bar raised") << bar << QByteArray("BorderInner") << QByteArray("fsRaised") << 6;
    QTest::newRow("bar flat bold")
        << bar << QByteArray("BorderInner") << QByteArray("fsFlatBold") << 10;
    QTest::newRow("bar flat rounded")
        << bar << QByteArray("BorderOuter") << QByteArray("fsFlatRounded") << 11;
    QTest::newRow("controller raised")
        << controller << QByteArray("FrameStyle") << QByteArray("fsRaised") << 6;
    QTest::newRow("dialog flat") << dialog << QByteArray("FrameStyle") << QByteArray("fsFlat") << 1;
    QTest::newRow("dialog raised")
        << dialog << QByteArray("FrameStyle") << QByteArray("fsRaised") << 6;
    QTest::newRow("dialog popup") << dialog << QByteArray("FrameStyle") << QByteArray("fsPopup")
                                  << 9;
    QTest::newRow("dialog flat bold")
        << dialog << QByteArray("FrameStyle") << QByteArray("fsFlatBold") << 10;
    QTest::newRow("edit bump") << edit << QByteArray("FrameStyle") << QByteArray("fsBump") << 3;
    QTest::newRow("edit lowered") << edit << QByteArray("FrameStyle") << QByteArray("fsLowered")
                                  << 4;
    // The edit's own numbering: it has no fsButtonDown before fsRaised.
    QTest::newRow("edit raised") << edit << QByteArray("FrameStyle") << QByteArray("fsRaised") << 5;
}

// The numbers behind the published frame styles stay what they were.
void tst_RzGraphics::publishedFrameStyles()
{
    QFETCH(const QMetaObject *, meta);
    QFETCH(QByteArray, property);
    QFETCH(QByteArray, key);
    QFETCH(int, value);
    const int index = meta->indexOfProperty(property.constData());
    QVERIFY(index >= 0);
    const QMetaEnum enumerator = meta->property(index).enumerator();
    QVERIFY(enumerator.isValid());
    bool found = false;
    QCOMPARE(enumerator.keyToValue(key.constData(), &found), value);
    QVERIFY(found);
}

// Each of the edit's published styles stands for the shared style of its name.
void tst_RzGraphics::editStylesMapByName()
{
    const QMetaEnum edit = QMetaEnum::fromType<TRzEdit::TFrameStyle>();
    const QMetaEnum shared = QMetaEnum::fromType<TFrameStyleEx>();
    QCOMPARE(edit.keyCount(), 6);
    for (int i = 0; i < edit.keyCount(); ++i) {
        const TFrameStyleEx style = TRzEdit::SharedStyle(TRzEdit::TFrameStyle(edit.value(i)));
        QCOMPARE(shared.valueToKey(style), edit.key(i));
    }
    // A number the property lets through beyond the six draws no frame.
    QCOMPARE(TRzEdit::SharedStyle(TRzEdit::TFrameStyle(7)), fsNone);
}

void tst_RzGraphics::folderDialogColours_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::newRow("frame") << QByteArray("FrameColor");
    QTest::newRow("highlight") << QByteArray("HighlightColor");
    QTest::newRow("hot track") << QByteArray("HotTrackColor");
}

// The folder dialog publishes its system-colour defaults as invalid QColors
// (the object dump shows them as clNone), and takes one back as the default.
void tst_RzGraphics::folderDialogColours()
{
    QFETCH(QByteArray, property);
    TRzSelectFolderDialog dialog;
    const char *name = property.constData();
    QCOMPARE(dialog.property(name), QVariant(QColor()));
    QVERIFY(dialog.setProperty(name, QColor(1, 2, 3)));
    QCOMPARE(dialog.property(name), QVariant(QColor(1, 2, 3)));
    QVERIFY(dialog.setProperty(name, QColor()));
    QCOMPARE(dialog.property(name), QVariant(QColor()));
}

QTEST_MAIN(tst_RzGraphics)
#include "tst_RzGraphics.moc"
