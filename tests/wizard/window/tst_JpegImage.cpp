#include "tools/pictures/ProgressiveJpeg.h"
#include "wizard/window/JpegImage.h"

#include <QFile>
#include <QImageReader>
#include <QTest>

#include <cstdlib>

namespace {

QByteArray ResourceBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Position of the first frame header (SOFn marker) of a JPEG, or -1. Walks
// the marker segments from the start, so bytes inside other segments are
// never mistaken for a marker.
qsizetype FrameHeaderAt(const QByteArray &jpeg)
{
    if (!jpeg.startsWith(QByteArrayLiteral("\xFF\xD8")))
        return -1;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        if (uchar(jpeg[at]) != 0xFF)
            return -1;
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
            return at;
        at += 2 + ((uchar(jpeg[at + 2]) << 8) | uchar(jpeg[at + 3]));
    }
    return -1;
}

int FrameMarker(const QByteArray &jpeg)
{
    const qsizetype at = FrameHeaderAt(jpeg);
    return at < 0 ? 0 : 0xFF00 | uchar(jpeg[at + 1]);
}

enum class Scans
{
    Baseline,
    Progressive
};

// A picture as libjpeg writes it by default, for the decoder to read back.
QByteArray Encode(const QImage &image, Scans scans)
{
    JpegSettings settings;
    settings.Progressive = scans == Scans::Progressive;
    return EncodeJpeg(image, settings);
}

// A picture whose left half has one colour and right half another.
QImage TwoHalves(int width, int height, QImage::Format format, QRgb left, QRgb right)
{
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, x < width / 2 ? left : right);
    return image;
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

QByteArray SideJpeg()
{
    return ResourceBytes(QStringLiteral(":/wizard/side.jpg"));
}

} // namespace

class tst_JpegImage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void sidePictureIsAProgressiveJpeg();
    void sidePictureDecodesAsQtDecodesIt();
    void frameMarker_data();
    void frameMarker();
    void decodes_data();
    void decodes();
    void givesNullImage_data();
    void givesNullImage();
    void pictureSizes_data();
    void pictureSizes();
    void disabledHalvesAreGrey_data();
    void disabledHalvesAreGrey();
};

void tst_JpegImage::initTestCase()
{
    Q_INIT_RESOURCE(wizard);
}

void tst_JpegImage::sidePictureIsAProgressiveJpeg()
{
    const QByteArray bytes = SideJpeg();
    QVERIFY(!bytes.isEmpty());
    QCOMPARE(FrameMarker(bytes), 0xFFC2);
    const QImage image = LoadJpegImage(bytes);
    QCOMPARE(image.size(), QSize(163, 305));
    QCOMPARE(image.format(), QImage::Format_RGB888);
}

// A second decoder reading the same file catches swapped colour channels,
// shifted rows and the like.
void tst_JpegImage::sidePictureDecodesAsQtDecodesIt()
{
    QImageReader reader(QStringLiteral(":/wizard/side.jpg"), "jpeg");
    const QImage expected = reader.read();
    if (expected.isNull())
        QSKIP("Qt's own JPEG reader is not installed");
    const QImage image = LoadJpegImage(SideJpeg());
    QCOMPARE(image.size(), expected.size());
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!Near(image.pixel(x, y), expected.pixel(x, y), 2))
                QFAIL(qPrintable(QStringLiteral("pixel %1, %2 differs").arg(x).arg(y)));
}

void tst_JpegImage::frameMarker_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<int>("marker");
    const QImage grey =
        TwoHalves(16, 16, QImage::Format_Grayscale8, qRgb(0, 0, 0), qRgb(255, 255, 255));
    QTest::newRow("baseline") << Encode(grey, Scans::Baseline) << 0xFFC0;
    QTest::newRow("progressive") << Encode(grey, Scans::Progressive) << 0xFFC2;
    QTest::newRow("side picture") << SideJpeg() << 0xFFC2;
}

// The check above relies on FrameMarker telling the two kinds apart.
void tst_JpegImage::frameMarker()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(int, marker);
    QCOMPARE(FrameMarker(jpeg), marker);
}

void tst_JpegImage::decodes_data()
{
    QTest::addColumn<QByteArray>("jpeg");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QRgb>("left");
    QTest::addColumn<QRgb>("right");

    const QRgb grey = qRgb(0x80, 0x80, 0x80);
    QTest::newRow("small grey") << Encode(TwoHalves(8, 8, QImage::Format_Grayscale8, grey, grey),
                                          Scans::Baseline)
                                << QSize(8, 8) << QImage::Format_Grayscale8 << grey << grey;
    const QRgb dark = qRgb(0x20, 0x20, 0x20), light = qRgb(0xe0, 0xe0, 0xe0);
    QTest::newRow("grey halves, progressive")
        << Encode(TwoHalves(32, 24, QImage::Format_Grayscale8, dark, light), Scans::Progressive)
        << QSize(32, 24) << QImage::Format_Grayscale8 << dark << light;
    const QRgb red = qRgb(0xff, 0, 0), blue = qRgb(0, 0, 0xff);
    QTest::newRow("red and blue") << Encode(TwoHalves(32, 16, QImage::Format_RGB888, red, blue),
                                            Scans::Baseline)
                                  << QSize(32, 16) << QImage::Format_RGB888 << red << blue;
    const QRgb green = qRgb(0, 0xc0, 0), yellow = qRgb(0xff, 0xe0, 0x20);
    QTest::newRow("green and yellow, progressive, odd size")
        << Encode(TwoHalves(49, 37, QImage::Format_RGB888, green, yellow), Scans::Progressive)
        << QSize(49, 37) << QImage::Format_RGB888 << green << yellow;
    QTest::newRow("one pixel") << Encode(TwoHalves(1, 1, QImage::Format_RGB888, red, red),
                                         Scans::Progressive)
                               << QSize(1, 1) << QImage::Format_RGB888 << red << red;
}

void tst_JpegImage::decodes()
{
    QFETCH(QByteArray, jpeg);
    QFETCH(QSize, size);
    QFETCH(QImage::Format, format);
    QFETCH(QRgb, left);
    QFETCH(QRgb, right);
    const QImage image = LoadJpegImage(jpeg);
    QCOMPARE(image.size(), size);
    QCOMPARE(image.format(), format);
    // Sample away from the edge between the halves, where JPEG rings.
    const int y = size.height() / 2;
    QVERIFY(Near(image.pixel(0, y), left, 12));
    QVERIFY(Near(image.pixel(size.width() - 1, y), right, 12));
}

void tst_JpegImage::givesNullImage_data()
{
    QTest::addColumn<QByteArray>("data");
    const QByteArray side = SideJpeg();
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("garbage") << QByteArray("This is not a picture at all, only some text.");
    QTest::newRow("zero bytes") << QByteArray(4096, '\0');
    QTest::newRow("start marker only") << QByteArrayLiteral("\xFF\xD8");
    QTest::newRow("PNG") << ResourceBytes(QStringLiteral(":/wizard/next.png"));
    QTest::newRow("cut in the header") << side.left(100);
    QTest::newRow("cut after the frame header") << side.left(FrameHeaderAt(side) + 20);
    QTest::newRow("cut in the first scan") << side.left(side.size() / 4);
    QTest::newRow("cut in half") << side.left(side.size() / 2);
    QTest::newRow("end marker missing") << side.left(side.size() - 2);
    QByteArray endInScan = side;
    endInScan.replace(side.size() / 2, 2, QByteArrayLiteral("\xFF\xD9"));
    QTest::newRow("end marker inside a scan") << endInScan;

    QByteArray huge = Encode(TwoHalves(8, 8, QImage::Format_RGB888, 0, 0), Scans::Baseline);
    const qsizetype frame = FrameHeaderAt(huge);
    huge.replace(frame + 5, 4, QByteArrayLiteral("\xFD\xE8\xFD\xE8")); // 65000 x 65000
    QTest::newRow("65000 x 65000 claimed") << huge;
    JpegSettings cmyk;
    cmyk.Cmyk = true;
    const QRgb quarterInk = qRgba(0x40, 0x40, 0x40, 0x40);
    QTest::newRow("CMYK") << EncodeJpeg(
        TwoHalves(8, 8, QImage::Format_RGBA8888, quarterInk, quarterInk), cmyk);
}

void tst_JpegImage::givesNullImage()
{
    QFETCH(QByteArray, data);
    QVERIFY(LoadJpegImage(data).isNull());
}

void tst_JpegImage::pictureSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    QTest::newRow("side") << QStringLiteral(":/wizard/side.jpg") << QSize(163, 305);
    QTest::newRow("warning") << QStringLiteral(":/wizard/warning.png") << QSize(28, 28);
    QTest::newRow("bulb") << QStringLiteral(":/wizard/bulb.png") << QSize(28, 28);
    QTest::newRow("page icon") << QStringLiteral(":/wizard/pageicon.png") << QSize(11, 14);
    QTest::newRow("about") << QStringLiteral(":/wizard/about.png") << QSize(16, 16);
    QTest::newRow("previous") << QStringLiteral(":/wizard/previous.png") << QSize(16, 16);
    QTest::newRow("next") << QStringLiteral(":/wizard/next.png") << QSize(16, 16);
    QTest::newRow("cancel") << QStringLiteral(":/wizard/cancel.png") << QSize(32, 16);
    QTest::newRow("exit") << QStringLiteral(":/wizard/exit.png") << QSize(32, 16);
}

// Every picture has its size; the small ones are drawn on a transparent
// ground, so their corners show the window behind them.
void tst_JpegImage::pictureSizes()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    if (path.endsWith(QLatin1String(".jpg"))) {
        QCOMPARE(LoadJpegImage(ResourceBytes(path)).size(), size);
        return;
    }
    const QImage image(path);
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, size.height() - 1)), 0);
    QCOMPARE(qAlpha(image.pixel(size.width() - 1, 0)), 0);
    int opaque = 0;
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            opaque += qAlpha(image.pixel(x, y)) == 255;
    QVERIFY2(opaque >= size.width() * size.height() / 5, "the picture is nearly empty");
}

void tst_JpegImage::disabledHalvesAreGrey_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("cancel") << QStringLiteral(":/wizard/cancel.png");
    QTest::newRow("exit") << QStringLiteral(":/wizard/exit.png");
}

// The right half is the disabled form: without colour, and of the same
// shape as the coloured left half.
void tst_JpegImage::disabledHalvesAreGrey()
{
    QFETCH(QString, path);
    const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), QSize(32, 16));
    int colouredLeft = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const QRgb normal = image.pixel(x, y), disabled = image.pixel(x + 16, y);
            QCOMPARE(qAlpha(disabled), qAlpha(normal));
            if (qAlpha(disabled) > 0)
                QVERIFY(qRed(disabled) == qGreen(disabled) && qGreen(disabled) == qBlue(disabled));
            if (qAlpha(normal) == 255 && QColor(normal).hsvSaturation() > 100)
                ++colouredLeft;
        }
    }
    QVERIFY(colouredLeft > 20);
}

QTEST_MAIN(tst_JpegImage)
#include "tst_JpegImage.moc"
