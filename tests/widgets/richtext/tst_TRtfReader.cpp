#include "WizardDocuments.h"
#include "widgets/richtext/TRtfReader.h"

#include <QElapsedTimer>
#include <QTest>

namespace {

// The paragraphs as one string: "|" between paragraphs, a run in a colour
// of the colour table inside "[" and "]".
QString Markup(const TRtfContent &content)
{
    QStringList paragraphs;
    for (const TRtfParagraph &paragraph : content.paragraphs) {
        QString text;
        for (const TRtfRun &run : paragraph.runs) {
            if (content.ColorOf(run.format))
                text += QLatin1Char('[') + run.text + QLatin1Char(']');
            else
                text += run.text;
        }
        paragraphs << text;
    }
    return paragraphs.join(QLatin1Char('|'));
}

int CharacterCount(const TRtfContent &content)
{
    int count = int(content.paragraphs.size()) - 1; // paragraph marks
    for (const TRtfParagraph &paragraph : content.paragraphs)
        count += int(paragraph.Text().size());
    return count;
}

} // namespace

class tst_TRtfReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wizardDocuments_data();
    void wizardDocuments();
    void read_data();
    void read();
    void colorsAndFonts();
    void paragraphFormats();
    void hostileInput_data();
    void hostileInput();
};

void tst_TRtfReader::wizardDocuments_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QRgb>("color");

    const QRgb blue = qRgb(0, 0, 255);
    const QString nextToContinue =
        QStringLiteral("If this setting is incorrect, please correct it before continuing.  ||"
                       "Click [Next ]to continue.|");
    QTest::newRow("RTFLabel1")
        << QStringLiteral("RTFLabel1")
        << QStringLiteral("This utility will assist you in moving your Quillbox database to a new "
                          "location.  It will not remove your existing data directory.||"
                          "Flitto must be installed and run from the Quillbox directory for it to "
                          "work correctly.||||Click the [Next ]button to get started.|")
        << blue;
    QTest::newRow("RTFLabel9")
        << QStringLiteral("RTFLabel9")
        << QStringLiteral("According to the Quillbox configuration, you are connecting to the "
                          "Quillbox database using the following connection method:|")
        << blue;
    QTest::newRow("RTFLabel10") << QStringLiteral("RTFLabel10") << nextToContinue << blue;
    QTest::newRow("RTFLabel2") << QStringLiteral("RTFLabel2")
                               << QStringLiteral("Your Quillbox configuration indicates the "
                                                 "current location of the data directory is:|")
                               << blue;
    QTest::newRow("RTFLabel4") << QStringLiteral("RTFLabel4") << nextToContinue << blue;
    QTest::newRow("RTFLabel3")
        << QStringLiteral("RTFLabel3")
        << QStringLiteral("As Quillbox is connecting in [Remote Mode], it is not possible to "
                          "determine the current data directory.  Please specify the directory:|")
        << blue;
    QTest::newRow("RTFLabel11") << QStringLiteral("RTFLabel11") << nextToContinue << blue;
    QTest::newRow("RTFLabel5")
        << QStringLiteral("RTFLabel5")
        << QStringLiteral("Enter or select the [new ]location for the Quillbox database below.  "
                          "If the directory doesn't exist, it will be automatically created.|")
        << blue;
    QTest::newRow("RTFLabel6") << QStringLiteral("RTFLabel6")
                               << QStringLiteral("Click [Next ]to continue.|") << blue;
    QTest::newRow("RTFLabel12")
        << QStringLiteral("RTFLabel12")
        << QStringLiteral(
               "[Ensure that the directory has sufficient access rights for all users.]|")
        << qRgb(0, 0, 0);
    QTest::newRow("RTFLabel7") << QStringLiteral("RTFLabel7")
                               << QStringLiteral("We're now ready to move the database.  Make "
                                                 "sure that you do not interrupt this process. |")
                               << blue;
    QTest::newRow("RTFLabel13") << QStringLiteral("RTFLabel13")
                                << QStringLiteral("Click [Next] to start.|") << blue;
    QTest::newRow("lblContinue") << QStringLiteral("lblContinue")
                                 << QStringLiteral("Click [Next] to continue.|") << blue;
    QTest::newRow("RTFLabel8")
        << QStringLiteral("RTFLabel8")
        << QStringLiteral("Now that the Quillbox database has been moved, you need to notify the "
                          "Quillbox Server of this change.  Run [Relaydesk ]after exiting this "
                          "wizard.|")
        << blue;
    QTest::newRow("RTFLabel14")
        << QStringLiteral("RTFLabel14")
        << QStringLiteral("The Quillbox database has been moved.  Remember, the existing Quillbox "
                          "database remains intact.  Once you have verified that Quillbox is "
                          "working correctly with the database in the new location, you can "
                          "delete the old data directory.|")
        << blue;
}

void tst_TRtfReader::wizardDocuments()
{
    QFETCH(QString, label);
    QFETCH(QString, markup);
    QFETCH(QRgb, color);

    // The window stores each document with a zero byte after its last line.
    const QByteArray document = WizardDocument(label) + '\0';
    QVERIFY(document.endsWith(QByteArrayLiteral("}\r\n\0")));
    const TRtfContent content = TRtfReader::Read(document);
    QVERIFY(content.rtf);
    QVERIFY(!content.truncated);
    QCOMPARE(Markup(content), markup);

    // Every run: font 0 at 8 points; the coloured ones in colour 1.
    for (const TRtfParagraph &paragraph : content.paragraphs) {
        for (const TRtfRun &run : paragraph.runs) {
            QCOMPARE(content.FontOf(run.format).name, QStringLiteral("MS Sans Serif"));
            QCOMPARE(content.PointSizeOf(run.format), 8.0);
            if (const std::optional<QRgb> runColor = content.ColorOf(run.format))
                QCOMPARE(*runColor, color);
        }
    }
    // The document ends with font 1 switched on for the last, empty paragraph.
    const TRtfParagraph &last = content.paragraphs.constLast();
    QVERIFY(last.runs.isEmpty());
    QCOMPARE(content.FontOf(last.markFormat).name, QStringLiteral("Arial"));
    QCOMPARE(content.PointSizeOf(last.markFormat), 8.0);

    // What follows the closing brace is not read.
    QCOMPARE(Markup(TRtfReader::Read(document + "trailing {\\b words}\\par")), markup);
}

void tst_TRtfReader::read_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("rtf");
    QTest::addColumn<QString>("markup");

    const QByteArray blueTable = QByteArrayLiteral("{\\colortbl ;\\red0\\green0\\blue255;}");

    QTest::newRow("one space delimits a control word")
        << QByteArray("{\\rtf1" + blueTable + "Click \\cf1 Next\\cf0  to continue.}") << true
        << QStringLiteral("Click [Next] to continue.");
    QTest::newRow("other delimiters are text")
        << QByteArrayLiteral("{\\rtf1 a\\b0,b\\b-1.c\\b- d}") << true << QStringLiteral("a,b.c- d");
    QTest::newRow("source line breaks ignored")
        << QByteArrayLiteral("{\\rtf1 one\r\ntwo\rthree\nfour}") << true
        << QStringLiteral("onetwothreefour");
    QTest::newRow("backslash line break ends a paragraph")
        << QByteArrayLiteral("{\\rtf1 one\\\ntwo\\\r\nthree}") << true
        << QStringLiteral("one|two|three");
    QTest::newRow("paragraphs and empty paragraphs")
        << QByteArrayLiteral("{\\rtf1 a\\par\\par b\\par}") << true << QStringLiteral("a||b|");
    QTest::newRow("literal symbols") << QByteArrayLiteral("{\\rtf1 \\\\ \\{ \\} \\~x\\_y\\-z}")
                                     << true << QStringLiteral("\\ { } \u00A0x\u2011yz");
    QTest::newRow("line and tab") << QByteArrayLiteral("{\\rtf1 a\\line b\\tab c}") << true
                                  << QStringLiteral("a\u2028b\tc");
    QTest::newRow("hex escapes in code page 1252")
        << QByteArrayLiteral("{\\rtf1\\ansi\\ansicpg1252 caf\\'e9 \\'80\\'93\\'4A\\'4a}") << true
        << QStringLiteral("caf\u00E9 \u20AC\u201CJJ");
    QTest::newRow("hex escape with one digit or none")
        << QByteArrayLiteral("{\\rtf1 a\\'4 b\\'zc}") << true << QStringLiteral("a bzc");
    QTest::newRow("raw 8-bit bytes in code page 1252")
        << QByteArray("{\\rtf1 na\xefve \x80}") << true << QStringLiteral("na\u00EFve \u20AC");
    QTest::newRow("control bytes are not text")
        << QByteArrayLiteral("{\\rtf1 a\x01\x1f\x7f\\'00\\'07b\tc}") << true
        << QStringLiteral("ab\tc");
    QTest::newRow("unicode with one fallback")
        << QByteArrayLiteral("{\\rtf1 a\\u8364?b}") << true << QStringLiteral("a\u20ACb");
    QTest::newRow("unicode fallback as hex escape")
        << QByteArrayLiteral("{\\rtf1 a\\u8364\\'80b}") << true << QStringLiteral("a\u20ACb");
    QTest::newRow("unicode without fallback")
        << QByteArrayLiteral("{\\rtf1\\uc0 a\\u8364 b}") << true << QStringLiteral("a\u20ACb");
    QTest::newRow("unicode with two fallbacks")
        << QByteArrayLiteral("{\\rtf1\\uc2 \\u8364??b}") << true << QStringLiteral("\u20ACb");
    QTest::newRow("fallback count is per group")
        << QByteArrayLiteral("{\\rtf1{\\uc2 \\u8364??}\\u8364?b}") << true
        << QStringLiteral("\u20AC\u20ACb");
    QTest::newRow("a brace ends the fallback")
        << QByteArrayLiteral("{\\rtf1\\uc3 \\u8364{}ab}") << true << QStringLiteral("\u20ACab");
    QTest::newRow("negative unicode")
        << QByteArrayLiteral("{\\rtf1 \\u-3913?}") << true << QStringLiteral("\uF0B7");
    QTest::newRow("surrogate pair") << QByteArrayLiteral("{\\rtf1 \\u-10179?\\u-8704?}") << true
                                    << QString::fromUcs4(U"\U0001F600");
    QTest::newRow("lone surrogate")
        << QByteArrayLiteral("{\\rtf1 \\u55357?x}") << true << QStringLiteral("\uFFFDx");
    QTest::newRow("huge numbers") << QByteArrayLiteral(
                                         "{\\rtf1\\fs99999999999999999999999 a\\cf-99999999999 "
                                         "b\\u99999999999999 ?c\\uc99999999999 d}")
                                  << true << QStringLiteral("ab\uFFFDcd");
    QTest::newRow("unknown control words")
        << QByteArrayLiteral("{\\rtf1 a\\foo b\\bar123 c\\xyzzy-5\\qwerty}") << true
        << QStringLiteral("abc");
    QTest::newRow("overlong control word")
        << QByteArray("{\\rtf1 a\\" + QByteArray(100, 'p') + "ar b}") << true
        << QStringLiteral("ab");
    QTest::newRow("starred destinations")
        << QByteArrayLiteral("{\\rtf1 a{\\*\\foo hidden{\\b deeper}}b{\\*\\par}c}") << true
        << QStringLiteral("abc");
    QTest::newRow("known destinations")
        << QByteArrayLiteral("{\\rtf1{\\stylesheet{\\s0 Normal;}}{\\info{\\title T}}a"
                             "{\\pict\\wmetafile8 0123abcd}b{\\field{\\*\\fldinst HYPERLINK}"
                             "{\\fldrslt shown}}}")
        << true << QStringLiteral("abshown");
    QTest::newRow("binary data skipped")
        << QByteArrayLiteral("{\\rtf1 a{\\pict\\bin6 }}{\\x}}b}") << true << QStringLiteral("ab");
    QTest::newRow("binary data in the body")
        << QByteArrayLiteral("{\\rtf1 a\\bin2 {}b}") << true << QStringLiteral("ab");
    QTest::newRow("binary data past the end")
        << QByteArrayLiteral("{\\rtf1 a\\bin999999999 b}") << true << QStringLiteral("a");
    QTest::newRow("missing closing braces")
        << QByteArrayLiteral("{\\rtf1 a{\\b b{c") << true << QStringLiteral("abc");
    QTest::newRow("closing brace ends the document")
        << QByteArrayLiteral("{\\rtf1 a}b}c\\par d") << true << QStringLiteral("a");
    QTest::newRow("truncated control word")
        << QByteArrayLiteral("{\\rtf1 a\\") << true << QStringLiteral("a");
    QTest::newRow("truncated hex escape")
        << QByteArrayLiteral("{\\rtf1 a\\'") << true << QStringLiteral("a");
    QTest::newRow("only the header") << QByteArrayLiteral("{\\rtf") << true << QString();
    QTest::newRow("empty bytes") << QByteArray() << false << QString();
    QTest::newRow("plain text") << QByteArrayLiteral("Hello\r\nworld\n\nend\r") << false
                                << QStringLiteral("Hello|world||end|");
    QTest::newRow("plain text in code page 1252") << QByteArray("caf\xe9 \x93quoted\x94") << false
                                                  << QStringLiteral("caf\u00E9 \u201Cquoted\u201D");
    QTest::newRow("plain text ends at a zero byte")
        << QByteArray("ab\0cd", 5) << false << QStringLiteral("ab");
    QTest::newRow("braces alone are no document")
        << QByteArrayLiteral("{\\b not rtf}") << false << QStringLiteral("{\\b not rtf}");
    QTest::newRow("another word starting with rtf")
        << QByteArrayLiteral("{\\rtfx a}") << false << QStringLiteral("{\\rtfx a}");
    QTest::newRow("leading blank")
        << QByteArrayLiteral(" {\\rtf1 a}") << false << QStringLiteral(" {\\rtf1 a}");
}

void tst_TRtfReader::read()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, rtf);
    QFETCH(QString, markup);

    const TRtfContent content = TRtfReader::Read(document);
    QCOMPARE(content.rtf, rtf);
    QCOMPARE(Markup(content), markup);
    QVERIFY(!content.truncated);
}

void tst_TRtfReader::colorsAndFonts()
{
    const TRtfContent content = TRtfReader::Read(QByteArrayLiteral(
        "{\\rtf1\\deff1{\\fonttbl{\\f0\\froman\\fcharset0 Times New Roman;}{\\f1\\fswiss Helv;}"
        "\\f2\\fmodern Courier;{\\f3\\fnil{\\*\\panose 0203}Tahoma;}{\\f4 Unterminated}}"
        "{\\colortbl;\\red255\\green0\\blue0;;\\red999\\green-5\\blue128;}"
        "a\\f0\\cf1 b\\f2\\cf2 c\\f3\\cf3 d\\f4\\cf4 e\\f9 f\\plain g\\cf0\\fs1 h\\fs i}"));
    QVERIFY(content.rtf);

    QCOMPARE(content.fonts.size(), 5);
    QCOMPARE(content.fonts.value(0).name, QStringLiteral("Times New Roman"));
    QCOMPARE(content.fonts.value(0).family, TRtfFontFamily::Roman);
    QCOMPARE(content.fonts.value(2).name, QStringLiteral("Courier"));
    QCOMPARE(content.fonts.value(2).family, TRtfFontFamily::Modern);
    QCOMPARE(content.fonts.value(3).name, QStringLiteral("Tahoma"));
    QCOMPARE(content.fonts.value(4).name, QStringLiteral("Unterminated"));

    QCOMPARE(content.colors.size(), 4);
    QCOMPARE(content.colors.at(0), std::nullopt);
    QCOMPARE(content.colors.at(2), std::nullopt);
    QCOMPARE(content.colors.at(3), std::optional<QRgb>(qRgb(255, 0, 128)));

    const QList<TRtfRun> runs = content.paragraphs.constFirst().runs;
    QCOMPARE(runs.size(), 9);
    struct Expected
    {
        const char *text;
        const char *font;
        std::optional<QRgb> color;
        qreal points;
    };
    const Expected expected[] = {
        {"a", "Helv", std::nullopt, 12},
        {"b", "Times New Roman", qRgb(255, 0, 0), 12},
        {"c", "Courier", std::nullopt, 12},
        {"d", "Tahoma", qRgb(255, 0, 128), 12},
        {"e", "Unterminated", std::nullopt, 12}, // colour 4 is not in the table
        {"f", "Helv", std::nullopt, 12},         // font 9 neither: the default font
        {"g", "Helv", std::nullopt, 12},
        {"h", "Helv", std::nullopt, 1}, // the smallest size is 1 point
        {"i", "Helv", std::nullopt, 12},
    };
    for (int i = 0; i < runs.size(); ++i) {
        QCOMPARE(runs.at(i).text, QString::fromLatin1(expected[i].text));
        QCOMPARE(content.FontOf(runs.at(i).format).name, QString::fromLatin1(expected[i].font));
        QCOMPARE(content.ColorOf(runs.at(i).format), expected[i].color);
        QCOMPARE(content.PointSizeOf(runs.at(i).format), expected[i].points);
    }
}

void tst_TRtfReader::paragraphFormats()
{
    const TRtfContent content = TRtfReader::Read(
        QByteArrayLiteral("{\\rtf1\\qc\\b centred \\b0\\i\\ul x\\ulnone\\strike y\\par "
                          "\\qr right{\\ql\\par}\\pard\\b left\\b0\\par\\qj}"));
    QCOMPARE(content.paragraphs.size(), 4);
    QCOMPARE(content.paragraphs.at(0).alignment, TRtfAlignment::Center);
    QCOMPARE(content.paragraphs.at(1).alignment, TRtfAlignment::Left); // \ql before its \par
    QCOMPARE(content.paragraphs.at(2).alignment, TRtfAlignment::Left);
    QCOMPARE(content.paragraphs.at(3).alignment, TRtfAlignment::Justify);

    const QList<TRtfRun> &first = content.paragraphs.at(0).runs;
    QCOMPARE(first.size(), 3);
    QVERIFY(first.at(0).format.bold && !first.at(0).format.italic);
    QVERIFY(!first.at(1).format.bold && first.at(1).format.italic && first.at(1).format.underline);
    QVERIFY(first.at(2).format.italic && !first.at(2).format.underline &&
            first.at(2).format.strike);
    // The group around \ql\par restores the right alignment for the text.
    QCOMPARE(content.paragraphs.at(1).Text(), QStringLiteral("right"));
    QVERIFY(content.paragraphs.at(2).runs.constFirst().format.bold);
}

void tst_TRtfReader::hostileInput_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("expectedStart");
    QTest::addColumn<bool>("truncated");

    const int big = 4 * 1024 * 1024;
    QTest::newRow("deep nesting") << QByteArray("{\\rtf1 " + QByteArray(big, '{') + "a")
                                  << QStringLiteral("a") << false;
    QTest::newRow("deep nesting closed")
        << QByteArray("{\\rtf1 " + QByteArray(big, '{') + "\\b a" + QByteArray(big, '}') + "b}")
        << QStringLiteral("ab") << false;
    QTest::newRow("deep destinations")
        << QByteArray("{\\rtf1 x" + QByteArray("{\\*\\x ").repeated(big / 6) + "a")
        << QStringLiteral("x") << false;
    QTest::newRow("endless unclosed closing")
        << QByteArray("{\\rtf1 a" + QByteArray(big, '}')) << QStringLiteral("a") << false;
    QTest::newRow("endless digits") << QByteArray("{\\rtf1 \\fs" + QByteArray(big, '9') + " a}")
                                    << QStringLiteral("a") << false;
    QTest::newRow("endless letters")
        << QByteArray("{\\rtf1 \\" + QByteArray(big, 'x') + " a}") << QStringLiteral("a") << false;
    QTest::newRow("endless text") << QByteArray("{\\rtf1 " + QByteArray(big, 'a') + "}")
                                  << QString(100, QLatin1Char('a')) << true;
    QTest::newRow("endless paragraphs")
        << QByteArray("{\\rtf1 a" + QByteArray("\\par").repeated(big / 4) + "}")
        << QStringLiteral("a|||") << true;
    QTest::newRow("endless format changes")
        << QByteArray("{\\rtf1 " + QByteArray("\\b a\\b0 b").repeated(big / 10) + "}")
        << QStringLiteral("abab") << true;
    QTest::newRow("endless font table")
        << QByteArray("{\\rtf1{\\fonttbl" + QByteArray("\\f1 x;").repeated(big / 6) + "}a}")
        << QStringLiteral("a") << false;
    QTest::newRow("endless font name")
        << QByteArray("{\\rtf1{\\fonttbl\\f0 " + QByteArray(big, 'n') + ";}a}")
        << QStringLiteral("a") << false;
    QTest::newRow("endless colour table")
        << QByteArray("{\\rtf1{\\colortbl" + QByteArray("\\red1;").repeated(big / 6) + "}a}")
        << QStringLiteral("a") << false;
    QTest::newRow("endless unicode fallback")
        << QByteArray("{\\rtf1\\uc99999999 \\u65 " + QByteArray(big, 'x') + "}")
        << QStringLiteral("A") << true;
    QTest::newRow("endless backslashes")
        << QByteArray("{\\rtf1 a" + QByteArray(big, '\\') + "}") << QStringLiteral("a\\") << true;
    QByteArray garbage(big, '\0');
    quint32 state = 12345;
    for (char &byte : garbage) {
        state = state * 1103515245u + 12345u;
        byte = char(state >> 24);
    }
    QTest::newRow("binary garbage after the header")
        << QByteArray("{\\rtf1 " + garbage) << QString() << false;
}

// Each input is large; what is checked is that reading ends (the test's
// time-out catches a hang), keeps its bounds and shows the right text.
void tst_TRtfReader::hostileInput()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, expectedStart);
    QFETCH(bool, truncated);

    const TRtfContent content = TRtfReader::Read(document);
    QVERIFY(content.rtf);
    QVERIFY(Markup(content).startsWith(expectedStart));
    if (QTest::currentDataTag() != QByteArray("binary garbage after the header"))
        QCOMPARE(content.truncated, truncated);
    QVERIFY(CharacterCount(content) <= TRtfReader::MaxCharacters);
    QVERIFY(content.fonts.size() <= TRtfReader::MaxFonts);
    QVERIFY(content.colors.size() <= TRtfReader::MaxColors);
    for (const TRtfFont &font : content.fonts)
        QVERIFY(font.name.size() <= TRtfReader::MaxFontNameLength);
}

QTEST_GUILESS_MAIN(tst_TRtfReader)
#include "tst_TRtfReader.moc"
