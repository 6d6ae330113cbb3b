// The window's pictures on ordinary and on high-density screens (this test
// runs once at each scale): drawn from the source of the screen's density,
// at the same place and size in the layout. The button edit's built-in
// pictures, which the window's folder edits show, too.

#include "TestDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"
#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/buttonedit/TRzControlButton.h"
#include "wizard/window/TfrmMain.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <memory>

class tst_WindowPictures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        ObjectManager()->SetPlatform(std::make_shared<TestDispatcherPlatform>());
    }
    void labels_data();
    void labels();
    void buttons_data();
    void buttons();
    void buttonEditPictures_data();
    void buttonEditPictures();
};

namespace {

// The committed picture of the screen's density, as the window should show it.
QImage Source(const QString &name)
{
    QString path = QStringLiteral(":/wizard/") + name;
    if (qApp->devicePixelRatio() > 1)
        path.insert(path.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
    return QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage Pixels(const QImage &image)
{
    QImage copy = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    copy.setDevicePixelRatio(1);
    return copy;
}

} // namespace

void tst_WindowPictures::labels_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QSize>("logicalSize");
    QTest::addColumn<QSize>("labelSize");
    QTest::newRow("side") << "Image2"
                          << "side.jpg" << QSize(163, 305) << QSize(153, 294);
    QTest::newRow("warning") << "Image3"
                             << "warning.png" << QSize(28, 28) << QSize(28, 28);
    QTest::newRow("bulb") << "Image9"
                          << "bulb.png" << QSize(28, 28) << QSize(28, 28);
    QTest::newRow("page icon") << "tabTargetIcon"
                               << "pageicon.png" << QSize(11, 14) << QSize(11, 14);
}

void tst_WindowPictures::labels()
{
    QFETCH(QString, objectName);
    QFETCH(QString, picture);
    QFETCH(QSize, logicalSize);
    QFETCH(QSize, labelSize);
    TfrmMain window(QByteArrayLiteral("/nonexistent/"));
    auto *label = window.findChild<QLabel *>(objectName);
    QVERIFY(label);
    const QPixmap pixmap = label->pixmap();
    QCOMPARE(pixmap.devicePixelRatio(), qApp->devicePixelRatio() > 1 ? 2.0 : 1.0);
    QCOMPARE(pixmap.deviceIndependentSize().toSize(), logicalSize);
    QCOMPARE(pixmap.size(), logicalSize * pixmap.devicePixelRatio());
    QCOMPARE(label->size(), labelSize);
    if (!picture.isEmpty() && !picture.endsWith(QLatin1String(".jpg")))
        QCOMPARE(Pixels(pixmap.toImage()), Pixels(Source(picture)));
}

void tst_WindowPictures::buttons_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<bool>("twoStates");
    QTest::newRow("about") << "btnAbout"
                           << "about.png" << false;
    QTest::newRow("next") << "btnNext"
                          << "next.png" << false;
    QTest::newRow("cancel") << "btnCancel"
                            << "cancel.png" << true;
}

void tst_WindowPictures::buttons()
{
    QFETCH(QString, objectName);
    QFETCH(QString, picture);
    QFETCH(bool, twoStates);
    TfrmMain window(QByteArrayLiteral("/nonexistent/"));
    auto *button = window.findChild<QPushButton *>(objectName);
    QVERIFY(button);
    QCOMPARE(button->iconSize(), QSize(16, 16));
    const qreal ratio = qApp->devicePixelRatio() > 1 ? 2.0 : 1.0;
    const QPixmap shown = button->icon().pixmap(QSize(16, 16), ratio);
    QImage expected = Source(picture);
    if (twoStates)
        expected = expected.copy(0, 0, expected.width() / 2, expected.height());
    QCOMPARE(Pixels(shown.toImage()), Pixels(expected));
}

void tst_WindowPictures::buttonEditPictures_data()
{
    QTest::addColumn<TRzButtonEdit::TButtonKind>("kind");
    QTest::addColumn<QString>("name");
    const QMetaEnum kinds = QMetaEnum::fromType<TRzButtonEdit::TButtonKind>();
    for (int i = 0; i < kinds.keyCount(); ++i) {
        const auto kind = TRzButtonEdit::TButtonKind(kinds.value(i));
        if (kind != TRzButtonEdit::bkCustom)
            QTest::newRow(kinds.key(i))
                << kind
                << QStringLiteral("RZBTNEDT_") + QString::fromLatin1(kinds.key(i) + 2).toUpper();
    }
}

// The button paints its picture's image of the screen's density at its
// centre: on a high-density screen the double-resolution drawing, not the
// ordinary picture scaled up.
void tst_WindowPictures::buttonEditPictures()
{
    QFETCH(TRzButtonEdit::TButtonKind, kind);
    QFETCH(QString, name);
    const bool dense = qApp->devicePixelRatio() > 1;
    const QImage ordinary(QStringLiteral(":/buttonedit/") + name);
    QImage source(QStringLiteral(":/buttonedit/") + name + (dense ? "@2x" : ""));
    QCOMPARE(source.size(), QSize(20, 10) * (dense ? 2 : 1));
    source.setDevicePixelRatio(dense ? 2 : 1);

    TRzButtonEdit edit;
    edit.resize(120, 23);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    TRzControlButton *button = edit.Button();
    for (const bool enabled : {true, false}) {
        edit.setEnabled(enabled);
        edit.SetButtonKind(kind);
        edit.Loaded(); // the drop-down kind's picture
        const QImage shown = Pixels(button->grab().toImage());
        button->SetGlyph(QImage());
        const QImage face = button->grab().toImage();
        // The face with the image of the state painted over its centre.
        const auto over = [&](const QImage &picture) {
            QImage image = picture.copy(enabled ? 0 : picture.width() / 2, 0, picture.width() / 2,
                                        picture.height());
            image.setDevicePixelRatio(picture.devicePixelRatio());
            QImage canvas = face.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&canvas);
            painter.drawImage(QPoint((button->width() - 10) / 2, (button->height() - 10) / 2),
                              image);
            painter.end();
            return Pixels(canvas);
        };
        QCOMPARE(shown, over(source));
        if (dense) {
            QImage scaledUp = ordinary.scaled(ordinary.size() * 2);
            scaledUp.setDevicePixelRatio(2);
            QVERIFY(shown != over(scaledUp));
        }
    }
}

QTEST_MAIN(tst_WindowPictures)
#include "tst_WindowPictures.moc"
