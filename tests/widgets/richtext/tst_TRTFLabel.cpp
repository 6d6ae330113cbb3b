#include "WizardDocuments.h"
#include "widgets/richtext/TRTFLabel.h"

#include <QFontMetricsF>
#include <QImage>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>

namespace {

const QRgb kYellow = qRgb(255, 255, 0);
const QRgb kWhite = qRgb(255, 255, 255);

bool IsBluish(QRgb pixel)
{
    return qBlue(pixel) > qRed(pixel) + 60 && qBlue(pixel) > qGreen(pixel) + 60;
}

bool IsReddish(QRgb pixel)
{
    return qRed(pixel) > qBlue(pixel) + 60 && qRed(pixel) > qGreen(pixel) + 60;
}

QImage Render(QWidget &widget)
{
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta); // shows through wherever nothing is painted
    widget.render(&image);
    return image;
}

// Rows holding any pixel other than the background, grouped into bands of
// consecutive rows: one band per line of text.
QList<QPair<int, int>> InkBands(const QImage &image, QRgb background)
{
    QList<QPair<int, int>> bands;
    bool inBand = false;
    for (int y = 0; y < image.height(); ++y) {
        bool ink = false;
        for (int x = 0; x < image.width() && !ink; ++x)
            ink = image.pixel(x, y) != background;
        if (ink && !inBand)
            bands.append({y, y});
        if (ink)
            bands.last().second = y;
        inBand = ink;
    }
    return bands;
}

QFont DocumentFont()
{
    return QFont(QStringLiteral("MS Sans Serif"), 8);
}

} // namespace

class tst_TRTFLabel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void twipsRect_data();
    void twipsRect();
    void blueWhereTheWordStands_data();
    void blueWhereTheWordStands();
    void wrapsAtTheWidth_data();
    void wrapsAtTheWidth();
    void showsOnlyWholeLines_data();
    void showsOnlyWholeLines();
    void emptyDocumentDrawsOnlyBackground_data();
    void emptyDocumentDrawsOnlyBackground();
    void automaticColorIsWindowText();
    void background_data();
    void background();
    void hiddenLabelDrawsNothing();
    void plainTextShown();
    void sizeTrace();
};

void tst_TRTFLabel::initTestCase()
{
    // As the program does: the documents' faces map to Liberation Sans.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

void tst_TRTFLabel::twipsRect_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<QList<int>>("twips");

    QTest::newRow("393x73 at 96") << QRect(0, 0, 393, 73) << 96 << QList<int>{15, 15, 5895, 1095};
    QTest::newRow("97x17 at 96") << QRect(0, 0, 97, 17) << 96 << QList<int>{15, 15, 1455, 255};
    QTest::newRow("393x73 at 120") << QRect(0, 0, 393, 73) << 120 << QList<int>{12, 12, 4716, 876};
    QTest::newRow("moved area") << QRect(10, 20, 5, 5) << 96 << QList<int>{165, 315, 225, 375};
    // At 2880 dpi a pixel is half a twip: halves round to the even twip.
    QTest::newRow("halves to even") << QRect(0, 0, 4, 6) << 2880 << QList<int>{0, 0, 2, 2};
    QTest::newRow("halves to even, odd start")
        << QRect(2, 2, 4, 4) << 2880 << QList<int>{2, 2, 4, 4};
    QTest::newRow("empty area") << QRect(0, 0, 0, 0) << 96 << QList<int>{15, 15, 0, 0};
}

void tst_TRTFLabel::twipsRect()
{
    QFETCH(QRect, area);
    QFETCH(int, dpi);
    QFETCH(QList<int>, twips);

    const TTwipsRect rect = RenderRectInTwips(area, dpi, dpi);
    QCOMPARE((QList<int>{rect.left, rect.top, rect.right, rect.bottom}), twips);
}

void tst_TRTFLabel::blueWhereTheWordStands_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("word");

    QTest::newRow("RTFLabel6") << QStringLiteral("RTFLabel6") << QSize(393, 17)
                               << QStringLiteral("Click ") << QStringLiteral("Next");
    QTest::newRow("lblContinue") << QStringLiteral("lblContinue") << QSize(145, 17)
                                 << QStringLiteral("Click ") << QStringLiteral("Next");
    QTest::newRow("RTFLabel13") << QStringLiteral("RTFLabel13") << QSize(97, 17)
                                << QStringLiteral("Click ") << QStringLiteral("Next");
    QTest::newRow("RTFLabel3") << QStringLiteral("RTFLabel3") << QSize(393, 33)
                               << QStringLiteral("As Quillbox is connecting in ")
                               << QStringLiteral("Remote Mode");
    QTest::newRow("RTFLabel12, in black")
        << QStringLiteral("RTFLabel12") << QSize(265, 33) << QString() << QString();
    QTest::newRow("RTFLabel14, no colour")
        << QStringLiteral("RTFLabel14") << QSize(385, 57) << QString() << QString();
    // Seven paragraphs do not fit 73 pixels: the line with "Next" is cut.
    QTest::newRow("RTFLabel1, coloured line cut")
        << QStringLiteral("RTFLabel1") << QSize(393, 73) << QString() << QString();
}

void tst_TRTFLabel::blueWhereTheWordStands()
{
    QFETCH(QString, label);
    QFETCH(QSize, size);
    QFETCH(QString, before);
    QFETCH(QString, word);

    TRTFLabel rtfLabel;
    rtfLabel.SetColor(Qt::white);
    rtfLabel.resize(size);
    rtfLabel.SetRichText(WizardDocument(label));
    rtfLabel.SetWordWrap(false);
    const QImage image = Render(rtfLabel);

    int blue = 0;
    int blueLeft = image.width(), blueRight = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (IsBluish(image.pixel(x, y))) {
                ++blue;
                blueLeft = qMin(blueLeft, x);
                blueRight = qMax(blueRight, x);
            }
        }
    }
    const QList<QPair<int, int>> lines = InkBands(image, kWhite);
    QVERIFY(!lines.isEmpty());
    if (word.isEmpty()) {
        QCOMPARE(blue, 0);
        return;
    }

    // The word starts one pixel in, after the text before it, on line 1.
    const QFontMetricsF metrics(DocumentFont());
    const qreal start = 1 + metrics.horizontalAdvance(before);
    const qreal end = 1 + metrics.horizontalAdvance(before + word);
    QVERIFY2(blue > 20, qPrintable(QString::number(blue)));
    QVERIFY2(blueLeft >= start - 2 && blueRight <= end + 2,
             qPrintable(QStringLiteral("blue from %1 to %2, word from %3 to %4")
                            .arg(blueLeft)
                            .arg(blueRight)
                            .arg(start)
                            .arg(end)));
    // Text in the automatic colour stands before the word and after it.
    bool darkBefore = false, darkAfter = false;
    for (int y = lines.first().first; y <= lines.first().second; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (IsBluish(pixel) || qGray(pixel) > 160)
                continue;
            darkBefore = darkBefore || x < start - 2;
            darkAfter = darkAfter || x > end + 2;
        }
    }
    QVERIFY(darkBefore);
    QVERIFY(darkAfter);
}

void tst_TRTFLabel::wrapsAtTheWidth_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("lines");

    QTest::newRow("wizard width") << 393 << 2;
    QTest::newRow("wide enough") << 1200 << 1;
    QTest::newRow("narrow") << 120 << 6;
}

// RTFLabel9's one paragraph, with WordWrap false as in the wizard.
void tst_TRTFLabel::wrapsAtTheWidth()
{
    QFETCH(int, width);
    QFETCH(int, lines);

    TRTFLabel label;
    label.SetColor(Qt::white);
    label.SetWordWrap(false);
    label.SetRichText(WizardDocument(QStringLiteral("RTFLabel9")));
    label.resize(width, 200);
    const QImage image = Render(label);

    QCOMPARE(InkBands(image, kWhite).size(), lines);
    // No line runs past the right edge of the page: the last column stays clear.
    for (int y = 0; y < image.height(); ++y)
        QCOMPARE(image.pixel(width - 1, y), kWhite);
}

void tst_TRTFLabel::showsOnlyWholeLines_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("lines");

    // Heights are in lines of the document's font (13 pixels at 8 points)
    // plus the one-pixel inset at the top.
    QTest::newRow("all three lines") << 1 + 3 * 13 << 3;
    QTest::newRow("third line one pixel short") << 1 + 3 * 13 - 1 << 2;
    QTest::newRow("third line half visible") << 1 + 2 * 13 + 6 << 2;
    QTest::newRow("first line one pixel short") << 13 << 0;
}

void tst_TRTFLabel::showsOnlyWholeLines()
{
    QFETCH(int, height);
    QFETCH(int, lines);

    const QByteArray document = QByteArrayLiteral(
        "{\\rtf1{\\fonttbl{\\f0\\fnil MS Sans Serif;}}\\f0\\fs16 Alpha\\par Beta\\par Gamma}");
    TRTFLabel label;
    label.SetColor(Qt::white);
    label.SetRichText(document);
    label.resize(200, 100);
    const QList<QPair<int, int>> full = InkBands(Render(label), kWhite);
    QCOMPARE(full.size(), 3);
    // The line pitch this test's heights assume.
    QCOMPARE(full.at(1).first - full.at(0).first, 13);

    label.resize(200, height);
    const QImage image = Render(label);
    const QList<QPair<int, int>> shown = InkBands(image, kWhite);
    QCOMPARE(shown.size(), lines);
    for (int i = 0; i < lines; ++i)
        QCOMPARE(shown.at(i), full.at(i)); // whole lines, never a part of one
}

void tst_TRTFLabel::emptyDocumentDrawsOnlyBackground_data()
{
    QTest::addColumn<QByteArray>("document");

    QTest::newRow("no bytes") << QByteArray();
    QTest::newRow("empty RTF") << QByteArrayLiteral("{\\rtf1}");
    QTest::newRow("empty paragraphs") << QByteArrayLiteral(
        "{\\rtf1{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue255;}\\cf1\\par\\par}");
    QTest::newRow("hidden text only") << QByteArrayLiteral("{\\rtf1{\\*\\comment words}}");
}

void tst_TRTFLabel::emptyDocumentDrawsOnlyBackground()
{
    QFETCH(QByteArray, document);

    TRTFLabel label;
    label.SetColor(QColor(kYellow));
    label.SetRichText(document);
    label.resize(120, 40);
    const QImage image = Render(label);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(image.pixel(x, y), kYellow);
    }
}

void tst_TRTFLabel::automaticColorIsWindowText()
{
    TRTFLabel label;
    label.SetColor(Qt::white);
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    label.setPalette(palette);
    label.SetRichText(QByteArrayLiteral(
        "{\\rtf1{\\colortbl ;\\red0\\green0\\blue255;}\\fs16 Red \\cf1 Blue \\cf0 Red}"));
    label.resize(200, 17);
    const QImage image = Render(label);

    int redLeft = image.width(), redRight = -1, blueLeft = image.width(), blueRight = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (IsReddish(pixel)) {
                redLeft = qMin(redLeft, x);
                redRight = qMax(redRight, x);
            } else if (IsBluish(pixel)) {
                blueLeft = qMin(blueLeft, x);
                blueRight = qMax(blueRight, x);
            }
        }
    }
    QVERIFY(blueRight >= 0);
    QVERIFY(redLeft < blueLeft);   // before \cf1
    QVERIFY(redRight > blueRight); // after \cf0
}

void tst_TRTFLabel::background_data()
{
    QTest::addColumn<bool>("setColor");
    QTest::addColumn<bool>("transparent");
    QTest::addColumn<QRgb>("expected");

    QTest::newRow("follows the parent") << false << false << kYellow;
    QTest::newRow("own colour") << true << false << kWhite;
    QTest::newRow("transparent") << true << true << kYellow;
}

void tst_TRTFLabel::background()
{
    QFETCH(bool, setColor);
    QFETCH(bool, transparent);
    QFETCH(QRgb, expected);

    QWidget parent;
    parent.resize(100, 60);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(kYellow));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    TRTFLabel label(&parent);
    label.setGeometry(10, 10, 80, 40);
    label.SetRichText(QByteArrayLiteral("{\\rtf1\\fs16 Text}"));
    if (setColor)
        label.SetColor(Qt::white);
    label.SetTransparent(transparent);

    QCOMPARE(label.Color().rgb(), setColor ? kWhite : kYellow);
    const QImage image = Render(parent);
    // The one-pixel inset and the lower right of the label hold no text.
    QCOMPARE(image.pixel(10, 10), expected);
    QCOMPARE(image.pixel(88, 48), expected);
    QVERIFY(InkBands(image.copy(10, 10, 80, 40), expected).size() == 1);
}

void tst_TRTFLabel::hiddenLabelDrawsNothing()
{
    QWidget parent;
    parent.resize(200, 80);
    QPalette palette = parent.palette();
    palette.setColor(QPalette::Window, QColor(kYellow));
    parent.setPalette(palette);
    parent.setAutoFillBackground(true);
    TRTFLabel label(&parent);
    const QRect bounds(20, 10, 100, 30);
    label.setGeometry(bounds);
    label.SetColor(Qt::white);
    // Far more text than fits, in both directions.
    label.SetRichText("{\\rtf1{\\colortbl ;\\red0\\green0\\blue255;}\\fs16 " +
                      QByteArray("Click \\cf1 Next\\cf0  to continue. ").repeated(20) + "}");

    label.hide();
    QImage image = Render(parent);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            QCOMPARE(image.pixel(x, y), kYellow);
    }

    label.show();
    image = Render(parent);
    int blue = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool inside = bounds.contains(x, y);
            if (!inside)
                QCOMPARE(image.pixel(x, y), kYellow);
            else if (IsBluish(image.pixel(x, y)))
                ++blue;
        }
    }
    QVERIFY(blue > 0);
    QCOMPARE(image.pixel(bounds.left(), bounds.top()), kWhite);
}

void tst_TRTFLabel::plainTextShown()
{
    TRTFLabel label;
    label.SetColor(Qt::white);
    label.SetRichText(QByteArrayLiteral("Not RTF\r\nbut shown"));
    label.resize(200, 60);
    QVERIFY(!label.Content().rtf);
    QCOMPARE(InkBands(Render(label), kWhite).size(), 2);
}

void tst_TRTFLabel::sizeTrace()
{
    QVERIFY(!lcRtfLabel().isDebugEnabled()); // off unless asked for

    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &context, const QString &text) {
            if (QByteArray(context.category) == lcRtfLabel().categoryName())
                messages << text;
        });
    TRTFLabel label;
    label.resize(393, 33);
    label.SetRichText(WizardDocument(QStringLiteral("RTFLabel9")));

    Render(label);
    QVERIFY(messages.isEmpty());

    QLoggingCategory::setFilterRules(QStringLiteral("flitto.widgets.rtflabel.debug=true"));
    Render(label);
    QLoggingCategory::setFilterRules(QString());
    qInstallMessageHandler(previous);

    QCOMPARE(messages.size(), 1);
    // left:top:right:bottom of the laid-out page: 392 wide, two lines and
    // the empty last paragraph high.
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("^0:0:392:(\\d+)$")).match(messages.first());
    QVERIFY2(match.hasMatch(), qPrintable(messages.first()));
    QCOMPARE(match.captured(1).toInt(), 3 * 13);
}

QTEST_MAIN(tst_TRTFLabel)
#include "tst_TRTFLabel.moc"
