#include "wizard/version/VersionResource.h"

#include <QTest>

#include <functional>

using namespace VersionResource;

namespace {

constexpr Translation SampleTranslations[] = {{0x0C09, 0x04E4}, {0x0409, 0x04B0}};
const StringEntry SampleStrings[] = {
    {"StringFileInfo\\0c0904e4\\FileVersion", "4.0.0.0"},
    {"StringFileInfo\\0c0904e4\\CompanyName", ""},
    {"StringFileInfo\\0c0904e4\\Comments", "first"},
    {"StringFileInfo\\0c0904e4\\Comments", "second"},
};
const Definition Sample{
    {0x00040001, 0x00020003, 0x00010000, 0x00000005}, SampleTranslations, SampleStrings};

QByteArray SampleBlob()
{
    return Encode(Sample);
}

void PutLE(QByteArray &bytes, qsizetype offset, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i)
        bytes[offset + i] = char((value >> (8 * i)) & 0xFF);
}

using Change = std::function<void(QByteArray &)>;

} // namespace

Q_DECLARE_METATYPE(Change)

class tst_VersionResource : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parsesWhatWasEncoded();
    void encoderWritesTheDocumentedLayout();
    void query_data();
    void query();
    void valueCutAtZero();
    void rejectsDamagedBlob_data();
    void rejectsDamagedBlob();
    void rejectsEveryShortenedBlob();
};

void tst_VersionResource::parsesWhatWasEncoded()
{
    const QByteArray blob = SampleBlob();
    QCOMPARE(blob.size(), qsizetype(EncodedSize(Sample)));
    const std::optional<Table> table = Table::Parse(blob);
    QVERIFY(table);
    QCOMPARE(table->Fixed().fileVersionMS, 0x00040001u);
    QCOMPARE(table->Fixed().fileVersionLS, 0x00020003u);
    QCOMPARE(table->Fixed().productVersionMS, 0x00010000u);
    QCOMPARE(table->Fixed().productVersionLS, 0x00000005u);
    QCOMPARE(table->Translations().size(), 2);
    QCOMPARE(table->Translations()[0].language, 0x0C09);
    QCOMPARE(table->Translations()[0].codePage, 0x04E4);
    QCOMPARE(table->Translations()[1].language, 0x0409);
    QCOMPARE(table->Translations()[1].codePage, 0x04B0);
}

void tst_VersionResource::encoderWritesTheDocumentedLayout()
{
    // The constant-time encoder and the header layout the reader expects
    // must agree byte for byte on a known blob.
    static constexpr Translation translation[] = {{0x0C09, 0x04E4}};
    static constexpr StringEntry strings[] = {{"K", "v"}};
    static constexpr Definition small{{1, 2, 3, 4}, translation, strings};
    std::array<unsigned char, EncodedSize(small)> bytes{};
    Encode(small, bytes.data());
    const QByteArray expected = QByteArray::fromHex("464c5649"
                                                    "0100"
                                                    "0100"
                                                    "0100"
                                                    "0000"
                                                    "2e000000"
                                                    "bd04effe"
                                                    "01000000"
                                                    "02000000"
                                                    "03000000"
                                                    "04000000"
                                                    "090ce404"
                                                    "01004b"
                                                    "010076");
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size())),
             expected);
}

void tst_VersionResource::query_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("exact") << QByteArray("StringFileInfo\\0c0904e4\\FileVersion") << true
                           << QByteArray("4.0.0.0");
    QTest::newRow("leading backslash")
        << QByteArray("\\StringFileInfo\\0c0904e4\\FileVersion") << true << QByteArray("4.0.0.0");
    QTest::newRow("other case") << QByteArray("stringfileinfo\\0C0904E4\\FILEVERSION") << true
                                << QByteArray("4.0.0.0");
    QTest::newRow("empty value is found")
        << QByteArray("StringFileInfo\\0c0904e4\\CompanyName") << true << QByteArray();
    QTest::newRow("first of two wins")
        << QByteArray("StringFileInfo\\0c0904e4\\Comments") << true << QByteArray("first");
    QTest::newRow("missing key") << QByteArray("StringFileInfo\\0c0904e4\\ProductName") << false
                                 << QByteArray();
    QTest::newRow("other table") << QByteArray("StringFileInfo\\040904b0\\FileVersion") << false
                                 << QByteArray();
    QTest::newRow("prefix only") << QByteArray("StringFileInfo\\0c0904e4\\") << false
                                 << QByteArray();
    QTest::newRow("empty digit groups")
        << QByteArray("StringFileInfo\\\\FileVersion") << false << QByteArray();
}

void tst_VersionResource::query()
{
    QFETCH(QByteArray, path);
    QFETCH(bool, found);
    QFETCH(QByteArray, value);
    const std::optional<Table> table = Table::Parse(SampleBlob());
    QVERIFY(table);
    const std::optional<QByteArray> result = table->String(path);
    QCOMPARE(result.has_value(), found);
    if (found)
        QCOMPARE(*result, value);
}

void tst_VersionResource::valueCutAtZero()
{
    const StringEntry strings[] = {{"Key", "1.0"}};
    QByteArray blob = Encode(Definition{{}, {}, strings});
    // Replace the stored value "1.0" by "1\0x": the reader stops at the zero.
    blob[blob.size() - 2] = '\0';
    const std::optional<Table> table = Table::Parse(blob);
    QVERIFY(table);
    QCOMPARE(table->String("Key").value_or("missing"), QByteArray("1"));
}

void tst_VersionResource::rejectsDamagedBlob_data()
{
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("valid");

    const qsizetype stringsStart = qsizetype(HeaderSize) + 4 * 2;
    QTest::newRow("unchanged") << Change([](QByteArray &) {}) << true;
    QTest::newRow("padding after the blob")
        << Change([](QByteArray &b) { b += QByteArray(32, '\0'); }) << true;
    QTest::newRow("empty") << Change([](QByteArray &b) { b.clear(); }) << false;
    QTest::newRow("wrong magic") << Change([](QByteArray &b) { b[0] = 'X'; }) << false;
    QTest::newRow("later format") << Change([](QByteArray &b) { PutLE(b, 4, 2, 2); }) << false;
    QTest::newRow("wrong signature") << Change([](QByteArray &b) { b[16] = 0; }) << false;
    QTest::newRow("length past the bytes")
        << Change([](QByteArray &b) { PutLE(b, 12, std::uint32_t(b.size() + 1), 4); }) << false;
    QTest::newRow("length huge") << Change([](QByteArray &b) { PutLE(b, 12, 0xFFFFFFFF, 4); })
                                 << false;
    QTest::newRow("length cuts the last value")
        << Change([](QByteArray &b) { PutLE(b, 12, std::uint32_t(b.size() - 1), 4); }) << false;
    QTest::newRow("length below the header")
        << Change([](QByteArray &b) { PutLE(b, 12, 8, 4); }) << false;
    QTest::newRow("bytes inside the length not accounted for") << Change([](QByteArray &b) {
        b += 'x';
        PutLE(b, 12, std::uint32_t(b.size()), 4);
    }) << false;
    QTest::newRow("more translations than stored")
        << Change([](QByteArray &b) { PutLE(b, 6, 0xFFFF, 2); }) << false;
    QTest::newRow("more strings than stored")
        << Change([](QByteArray &b) { PutLE(b, 8, 5, 2); }) << false;
    QTest::newRow("fewer strings than stored")
        << Change([](QByteArray &b) { PutLE(b, 8, 3, 2); }) << false;
    QTest::newRow("key length past the end")
        << Change([stringsStart](QByteArray &b) { PutLE(b, stringsStart, 0xFFFF, 2); }) << false;
}

void tst_VersionResource::rejectsDamagedBlob()
{
    QFETCH(Change, change);
    QFETCH(bool, valid);
    QByteArray blob = SampleBlob();
    change(blob);
    const std::optional<Table> table = Table::Parse(blob);
    QCOMPARE(table.has_value(), valid);
    if (valid)
        QCOMPARE(table->String("StringFileInfo\\0c0904e4\\FileVersion").value_or("missing"),
                 QByteArray("4.0.0.0"));
}

void tst_VersionResource::rejectsEveryShortenedBlob()
{
    const QByteArray blob = SampleBlob();
    for (qsizetype length = 0; length < blob.size(); ++length) {
        // A copy, so that the sanitizer sees reads past the shortened end.
        const QByteArray shortened(blob.constData(), length);
        QVERIFY2(!Table::Parse(shortened), QByteArray::number(length).constData());
    }
}

QTEST_APPLESS_MAIN(tst_VersionResource)
#include "tst_VersionResource.moc"
