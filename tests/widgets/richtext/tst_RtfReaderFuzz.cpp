// Random documents against the RTF reader and the label that shows them:
// mutated wizard documents, soups of RTF tokens and plain garbage. Each run
// is bounded by a count and a time budget (FLITTO_FUZZ_ITERATIONS,
// FLITTO_FUZZ_SECONDS) and repeatable from its seed (FLITTO_FUZZ_SEED).

#include "WizardDocuments.h"
#include "widgets/richtext/TRTFLabel.h"
#include "widgets/richtext/TRtfReader.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTest>

#include <random>

namespace {

const char *const kTokens[] = {
    "{",        "}",         "\\",           "\\\\",       "\\{",    "\\}",
    "\\'",      "\\'e9",     "\\'0",         "\\u",        "\\u-",   "\\u8364?",
    "\\u55357", "\\uc",      "\\uc0 ",       "\\uc9 ",     "\\bin",  "\\bin5 ",
    "\\*",      "\\par",     "\\pard",       "\\plain",    "\\line", "\\tab",
    "\\f",      "\\f1",      "\\fs",         "\\fs16",     "\\fs0",  "\\cf",
    "\\cf1",    "\\cf-1",    "\\b",          "\\b0",       "\\i",    "\\ul",
    "\\qc",     "\\qj",      "\\fonttbl",    "\\colortbl", "\\red",  "\\green255",
    "\\blue",   ";",         "\\fnil",       "\\fcharset", "\\deff", "\\pict",
    "\\info",   "\\fldinst", "\\fldrslt",    "\\rtf1",     " ",      "\r\n",
    "\\\r\n",   "text ",     "999999999999", "-",          "0",      "\\~",
    "\\-",      "\\_",       "\\emdash",
};

class Generator
{
public:
    explicit Generator(quint32 seed) : m_random(seed) {}

    QByteArray Next(const QList<QByteArray> &documents)
    {
        switch (Below(4)) {
        case 0:
        case 1:
            return Mutated(documents.at(Below(int(documents.size()))));
        case 2:
            return TokenSoup();
        default:
            return Garbage();
        }
    }

    int Below(int bound) { return int(m_random() % quint32(bound)); }

private:
    QByteArray Token()
    {
        if (Below(8) == 0) {
            QByteArray bytes(Below(6) + 1, '\0');
            for (char &byte : bytes)
                byte = char(Below(256));
            return bytes;
        }
        return QByteArray(kTokens[Below(int(std::size(kTokens)))]);
    }

    QByteArray Mutated(QByteArray document)
    {
        const int mutations = Below(8) + 1;
        for (int i = 0; i < mutations && !document.isEmpty(); ++i) {
            const int at = Below(int(document.size()));
            switch (Below(6)) {
            case 0:
                document[at] = char(document.at(at) ^ (1 << Below(8)));
                break;
            case 1:
                document.insert(at, Token());
                break;
            case 2:
                document.remove(at, Below(16) + 1);
                break;
            case 3:
                document.insert(at, document.mid(at, Below(64) + 1));
                break;
            case 4:
                document.truncate(at);
                break;
            default:
                document.insert(at, QByteArray(Below(300) + 1, Below(2) ? '{' : '}'));
                break;
            }
        }
        return document;
    }

    QByteArray TokenSoup()
    {
        QByteArray document = Below(4) ? QByteArrayLiteral("{\\rtf1") : QByteArray();
        const int count = Below(400);
        for (int i = 0; i < count; ++i)
            document += Token();
        return document;
    }

    QByteArray Garbage()
    {
        QByteArray document = Below(2) ? QByteArrayLiteral("{\\rtf1 ") : QByteArray();
        const int size = Below(2048);
        for (int i = 0; i < size; ++i)
            document += char(Below(256));
        return document;
    }

    std::mt19937 m_random;
};

int EnvironmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

} // namespace

class tst_RtfReaderFuzz : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void randomDocuments();
};

void tst_RtfReaderFuzz::randomDocuments()
{
    const auto seed = quint32(EnvironmentNumber("FLITTO_FUZZ_SEED", 20240611));
    const int iterations = EnvironmentNumber("FLITTO_FUZZ_ITERATIONS", 20000);
    const qint64 budget = EnvironmentNumber("FLITTO_FUZZ_SECONDS", 10) * qint64(1000);
    qInfo("seed %u, up to %d documents or %lld ms", seed, iterations, budget);

    QList<QByteArray> documents;
    for (const QString &label : WizardDocumentLabels())
        documents << WizardDocument(label);
    Generator generator(seed);
    TRTFLabel label;
    label.SetColor(Qt::white);

    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (; done < iterations && clock.elapsed() < budget; ++done) {
        const QByteArray document = generator.Next(documents);
        const TRtfContent content = TRtfReader::Read(document);

        const auto failure = [&](const char *what) {
            return QStringLiteral("%1 in document %2 of seed %3: %4")
                .arg(QLatin1String(what))
                .arg(done)
                .arg(seed)
                .arg(QLatin1String(document.toPercentEncoding()));
        };
        QVERIFY2(!content.paragraphs.isEmpty(), qPrintable(failure("no paragraph")));
        int characters = int(content.paragraphs.size()) - 1;
        for (const TRtfParagraph &paragraph : content.paragraphs) {
            for (const TRtfRun &run : paragraph.runs) {
                QVERIFY2(!run.text.isEmpty(), qPrintable(failure("empty run")));
                characters += int(run.text.size());
                for (qsizetype i = 0; i < run.text.size(); ++i) {
                    const QChar ch = run.text.at(i);
                    QVERIFY2(ch == QLatin1Char('\t') || ch.unicode() >= 0x20,
                             qPrintable(failure("control character")));
                    if (ch.isHighSurrogate()) {
                        QVERIFY2(i + 1 < run.text.size() && run.text.at(i + 1).isLowSurrogate(),
                                 qPrintable(failure("lone surrogate")));
                        ++i;
                    } else {
                        QVERIFY2(!ch.isLowSurrogate(), qPrintable(failure("lone surrogate")));
                    }
                }
                QVERIFY2(run.format.halfPoints >= 0 && run.format.halfPoints <= 3276,
                         qPrintable(failure("font size")));
            }
        }
        QVERIFY2(characters <= TRtfReader::MaxCharacters, qPrintable(failure("too long")));
        QVERIFY2(content.fonts.size() <= TRtfReader::MaxFonts, qPrintable(failure("fonts")));
        QVERIFY2(content.colors.size() <= TRtfReader::MaxColors, qPrintable(failure("colours")));

        // Every tenth document also goes through layout and drawing.
        if (done % 10 == 0) {
            label.resize(generator.Below(400) + 1, generator.Below(100) + 1);
            label.SetRichText(document);
            QImage image(label.size(), QImage::Format_RGB32);
            label.render(&image);
            // The one-pixel inset stays clear: nothing is drawn out of place.
            for (int x = 0; x < image.width(); ++x)
                QVERIFY2(image.pixel(x, 0) == qRgb(255, 255, 255), qPrintable(failure("inset")));
            for (int y = 0; y < image.height(); ++y)
                QVERIFY2(image.pixel(0, y) == qRgb(255, 255, 255), qPrintable(failure("inset")));
        }
    }
    qInfo("%d documents in %lld ms", done, clock.elapsed());
    QVERIFY(done > 0);
}

QTEST_MAIN(tst_RtfReaderFuzz)
#include "tst_RtfReaderFuzz.moc"
