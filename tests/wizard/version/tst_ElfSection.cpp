#include "ElfTestFile.h"
#include "wizard/version/ElfSection.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <sys/stat.h>

using namespace ElfField;

namespace {

const QByteArray Wanted(".flitto.version");
const QByteArray Payload("the wanted bytes");

ElfTestImage Sample(bool bigEndian = false)
{
    return MakeElf({{".text", QByteArray(40, '\x90')},
                    {".flitto.versio", QByteArray("a shorter name")},
                    {Wanted, Payload},
                    {".flitto.version.more", QByteArray("a longer name")}},
                   bigEndian);
}
constexpr int WantedIndex = 3; // its header, counting the null section

using Change = std::function<void(ElfTestImage &)>;

} // namespace

Q_DECLARE_METATYPE(Change)

class tst_ElfSection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void readsSection_data();
    void readsSection();
    void everyShortenedCopyFails();
    void notAnElfFile_data();
    void notAnElfFile();
    void fifoDoesNotBlock();

private:
    QByteArray Path(const char *name) const
    {
        return QFile::encodeName(m_dir->filePath(QLatin1StringView(name)));
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_ElfSection::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_ElfSection::readsSection_data()
{
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<Change>("change");
    QTest::addColumn<bool>("found");

    const auto none = Change([](ElfTestImage &) {});
    QTest::newRow("little-endian") << false << none << true;
    QTest::newRow("big-endian") << true << none << true;
    QTest::newRow("big-endian read as little")
        << true << Change([](ElfTestImage &image) { image.bytes[5] = 1; }) << false;
    QTest::newRow("32-bit class") << false
                                  << Change([](ElfTestImage &image) { image.bytes[4] = 1; })
                                  << false;
    QTest::newRow("unknown byte order")
        << false << Change([](ElfTestImage &image) { image.bytes[5] = 3; }) << false;
    QTest::newRow("unknown ELF version")
        << false << Change([](ElfTestImage &image) { image.bytes[6] = 2; }) << false;
    QTest::newRow("no section table")
        << false << Change([](ElfTestImage &image) { image.Put(ShOff, 0, 8); }) << false;
    QTest::newRow("table past the end") << false << Change([](ElfTestImage &image) {
        image.Put(ShOff, std::uint64_t(image.bytes.size()), 8);
    }) << false;
    QTest::newRow("table offset wraps around")
        << false << Change([](ElfTestImage &image) { image.Put(ShOff, ~std::uint64_t(0) - 16, 8); })
        << false;
    QTest::newRow("header entries too small")
        << false << Change([](ElfTestImage &image) { image.Put(ShEntSize, 40, 2); }) << false;
    QTest::newRow("more sections than the file holds")
        << false << Change([](ElfTestImage &image) { image.Put(ShNum, 0xFF00, 2); }) << false;
    QTest::newRow("name table index out of range")
        << false << Change([](ElfTestImage &image) { image.Put(ShStrNdx, 7, 2); }) << false;
    QTest::newRow("name table holds no bytes") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(image.namesIndex, Type), 8, 4);
    }) << false;
    QTest::newRow("name table past the end") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(image.namesIndex, Size), 1u << 20, 8);
    }) << false;
    QTest::newRow("name offset past the name table") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(WantedIndex, Name), 0xFFFFFFFF, 4);
    }) << false;
    QTest::newRow("last name without terminator") << false << Change([](ElfTestImage &image) {
        // End the name table just before the wanted name's terminator.
        const std::uint64_t nameOffset = image.Get(image.HeaderField(WantedIndex, Name), 4);
        image.Put(image.HeaderField(image.namesIndex, Size), nameOffset + Wanted.size(), 8);
    }) << false;
    QTest::newRow("section holds no bytes") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(WantedIndex, Type), 8, 4);
    }) << false;
    QTest::newRow("section past the end") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(WantedIndex, Offset), std::uint64_t(image.bytes.size()) - 4, 8);
    }) << false;
    QTest::newRow("section end wraps around") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(WantedIndex, Offset), 16, 8);
        image.Put(image.HeaderField(WantedIndex, Size), ~std::uint64_t(0) - 8, 8);
    }) << false;
    QTest::newRow("section above the size limit") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(WantedIndex, Offset), 0, 8);
        image.Put(image.HeaderField(WantedIndex, Size), 4097, 8);
        image.bytes += QByteArray(4096, '\0');
    }) << false;
    QTest::newRow("no section of that name") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(WantedIndex, Name), 0, 4);
    }) << false;
    QTest::newRow("extended section count") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(0, Size), image.Get(ShNum, 2), 8);
        image.Put(ShNum, 0, 2);
    }) << true;
    QTest::newRow("extended name table index") << false << Change([](ElfTestImage &image) {
        image.Put(image.HeaderField(0, Link), std::uint64_t(image.namesIndex), 4);
        image.Put(ShStrNdx, 0xFFFF, 2);
    }) << true;
    QTest::newRow("extended count of zero")
        << false << Change([](ElfTestImage &image) { image.Put(ShNum, 0, 2); }) << false;
}

void tst_ElfSection::readsSection()
{
    QFETCH(bool, bigEndian);
    QFETCH(Change, change);
    QFETCH(bool, found);
    ElfTestImage image = Sample(bigEndian);
    change(image);
    const QByteArray path = Path("file");
    QVERIFY(WriteTestFile(path, image.bytes));
    const std::optional<QByteArray> section = ReadElfSection(path, Wanted, 4096);
    QCOMPARE(section.has_value(), found);
    if (found)
        QCOMPARE(*section, Payload);
}

void tst_ElfSection::everyShortenedCopyFails()
{
    // The table comes last, so every shortened copy loses part of it.
    const ElfTestImage image = Sample();
    const QByteArray path = Path("short");
    QVERIFY(WriteTestFile(path, image.bytes));
    QVERIFY(ReadElfSection(path, Wanted, 4096));
    for (qsizetype length = 0; length < image.bytes.size(); ++length) {
        QVERIFY(WriteTestFile(path, image.bytes.left(length)));
        QVERIFY2(!ReadElfSection(path, Wanted, 4096), QByteArray::number(length).constData());
    }
}

void tst_ElfSection::notAnElfFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("text") << QByteArray("[Settings]\nDataDirectory=/srv/mail\n");
    QTest::newRow("magic only") << QByteArray("\x7f"
                                              "ELF");
    QTest::newRow("zeros") << QByteArray(4096, '\0');
}

void tst_ElfSection::notAnElfFile()
{
    QFETCH(QByteArray, content);
    const QByteArray path = Path("other");
    QVERIFY(WriteTestFile(path, content));
    QVERIFY(!ReadElfSection(path, Wanted, 4096));
    QVERIFY(!ReadElfSection(Path("missing"), Wanted, 4096));
    QVERIFY(!ReadElfSection(QFile::encodeName(m_dir->path()), Wanted, 4096));
    QVERIFY(!ReadElfSection(QByteArray(), Wanted, 4096));
}

void tst_ElfSection::fifoDoesNotBlock()
{
    // Opening a FIFO for reading would wait for a writer for ever.
    const QByteArray path = Path("fifo");
    QCOMPARE(::mkfifo(path.constData(), 0600), 0);
    QVERIFY(!ReadElfSection(path, Wanted, 4096));
}

QTEST_APPLESS_MAIN(tst_ElfSection)
#include "tst_ElfSection.moc"
