// The window's pictures on ordinary and on high-density screens (this test
// runs once at each scale): drawn from the source of the screen's density,
// at the same place and size in the layout.

#include "TestDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"
#include "wizard/TfrmMain.h"

#include <QLabel>
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

QTEST_MAIN(tst_WindowPictures)
#include "tst_WindowPictures.moc"
