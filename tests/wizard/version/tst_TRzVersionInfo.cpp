#include "ElfTestFile.h"
#include "wizard/version/ElfSection.h"
#include "wizard/version/TRzVersionInfo.h"
#include "wizard/version/VersionResource.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using namespace VersionResource;

namespace {

// What Flitto's own file carries (this test executable embeds the same).
const QStringList OwnValues = {u""_s, u""_s, u"4.0.0.0"_s, u""_s,        u""_s,
                               u""_s, u""_s, u""_s,        u"1.0.0.0"_s, u""_s};

QStringList AllNotAvailable()
{
    return QStringList(TRzVersionInfo::ValueCount, u"Value Not Available"_s);
}

QByteArray OwnFile()
{
    return QFile::encodeName(QCoreApplication::applicationFilePath());
}

QByteArray ReadAll(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An ELF file whose version section holds the given blob.
QByteArray ElfWithBlob(const QByteArray &blob)
{
    return MakeElf({{".text", QByteArray(24, '\xc3')}, {SectionName, blob}}).bytes;
}

QByteArray ElfWith(std::initializer_list<Translation> translations,
                   std::initializer_list<StringEntry> strings)
{
    const std::vector<Translation> t(translations);
    const std::vector<StringEntry> s(strings);
    return ElfWithBlob(Encode(Definition{{}, t, s}));
}

// Makes the file to read in the given folder and returns its path.
using MakeFile = std::function<QByteArray(const QString &folder)>;

MakeFile Content(const QByteArray &bytes)
{
    return [bytes](const QString &folder) {
        const QByteArray path = QFile::encodeName(folder + u"/file"_s);
        return WriteTestFile(path, bytes) ? path : QByteArray();
    };
}

} // namespace

Q_DECLARE_METATYPE(MakeFile)

class tst_TRzVersionInfo : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsOwnFile();
    void readsTheBuiltProgram();
    void fileWithoutInformation_data();
    void fileWithoutInformation();
    void stringTable_data();
    void stringTable();
    void readsAgainWhenFilePathChanges();
};

void tst_TRzVersionInfo::readsOwnFile()
{
    TRzVersionInfo info;
    QCOMPARE(info.Values(), OwnValues);
    QCOMPARE(info.Value(TRzVersionInfo::FileVersion), u"4.0.0.0"_s);
    QCOMPARE(info.Value(2), u"4.0.0.0"_s);
    QCOMPARE(info.Value(8), u"1.0.0.0"_s);
    QCOMPARE(info.Value(10), QString());
    // An empty path names the running program; it reads back as its full name.
    QCOMPARE(info.FilePath(), OwnFile());
}

void tst_TRzVersionInfo::readsTheBuiltProgram()
{
    TRzVersionInfo info;
    info.SetFilePath(QByteArrayLiteral(FLITTO_EXECUTABLE));
    QCOMPARE(info.Values(), OwnValues);

    const std::optional<QByteArray> section =
        ReadElfSection(QByteArrayLiteral(FLITTO_EXECUTABLE), SectionName, MaxSize);
    QVERIFY(section);
    const std::optional<Table> table = Table::Parse(*section);
    QVERIFY(table);
    // Fixed file and product versions 4.0.0.0.
    QCOMPARE(table->Fixed().fileVersionMS, 0x00040000u);
    QCOMPARE(table->Fixed().fileVersionLS, 0u);
    QCOMPARE(table->Fixed().productVersionMS, 0x00040000u);
    QCOMPARE(table->Fixed().productVersionLS, 0u);
    QCOMPARE(table->Translations().size(), 1);
    QCOMPARE(table->Translations()[0].language, 0x0C09);
    QCOMPARE(table->Translations()[0].codePage, 0x04E4);
}

void tst_TRzVersionInfo::fileWithoutInformation_data()
{
    QTest::addColumn<MakeFile>("makeFile");

    QTest::newRow("program without the section")
        << Content(MakeElf({{".text", QByteArray(64, '\x90')}}).bytes);
    QTest::newRow("text file") << Content("[Settings]\r\nDataDirectory=C:\\Mail\r\n");
    QTest::newRow("empty file") << Content(QByteArray());
    QTest::newRow("random bytes") << Content([] {
        QByteArray bytes(8192, Qt::Uninitialized);
        QRandomGenerator random(4711);
        for (char &c : bytes)
            c = char(random.bounded(256));
        return bytes;
    }());
    QTest::newRow("section with garbage") << Content(ElfWithBlob("FLVI but nothing more"));
    QTest::newRow("program cut short") << MakeFile([](const QString &folder) {
        const QByteArray own = ReadAll(OwnFile());
        // The section headers sit at the end of a linked program.
        return Content(own.left(own.size() - 100))(folder);
    });
    QTest::newRow("program with a damaged blob") << MakeFile([](const QString &folder) {
        QByteArray own = ReadAll(OwnFile());
        const QByteArray section =
            ReadElfSection(OwnFile(), SectionName, MaxSize).value_or(QByteArray());
        const qsizetype blob = own.indexOf(section);
        if (section.isEmpty() || blob < 0 || own.lastIndexOf(section) != blob)
            return QByteArray();
        own[blob + 12] = char(own[blob + 12] + 1); // the blob's length
        return Content(own)(folder);
    });
    QTest::newRow("missing file") << MakeFile(
        [](const QString &folder) { return QFile::encodeName(folder + u"/missing"_s); });
    QTest::newRow("folder") << MakeFile(
        [](const QString &folder) { return QFile::encodeName(folder); });
}

void tst_TRzVersionInfo::fileWithoutInformation()
{
    QFETCH(MakeFile, makeFile);
    QTemporaryDir folder;
    const QByteArray path = makeFile(folder.path());
    QVERIFY(!path.isEmpty());
    TRzVersionInfo info;
    info.SetFilePath(path);
    QCOMPARE(info.FilePath(), path);
    QCOMPARE(info.Values(), AllNotAvailable());
    QCOMPARE(info.Value(TRzVersionInfo::FileVersion), u"Value Not Available"_s);
}

void tst_TRzVersionInfo::stringTable_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("values");

    const QString none;
    // Stored in reverse: the list must come out in its own fixed key order.
    QTest::newRow("all ten") << ElfWith({{0x0C09, 0x04E4}},
                                        {{"StringFileInfo\\0c0904e4\\Comments", "ten"},
                                         {"StringFileInfo\\0c0904e4\\ProductVersion", "nine"},
                                         {"StringFileInfo\\0c0904e4\\ProductName", "eight"},
                                         {"StringFileInfo\\0c0904e4\\OriginalFilename", "seven"},
                                         {"StringFileInfo\\0c0904e4\\LegalTrademarks", "six"},
                                         {"StringFileInfo\\0c0904e4\\LegalCopyright", "five"},
                                         {"StringFileInfo\\0c0904e4\\InternalName", "four"},
                                         {"StringFileInfo\\0c0904e4\\FileVersion", "three"},
                                         {"StringFileInfo\\0c0904e4\\FileDescription", "two"},
                                         {"StringFileInfo\\0c0904e4\\CompanyName", "one"}})
                             << QStringList{u"one"_s, u"two"_s,   u"three"_s, u"four"_s, u"five"_s,
                                            u"six"_s, u"seven"_s, u"eight"_s, u"nine"_s, u"ten"_s};
    QTest::newRow("missing key is empty")
        << ElfWith({{0x0C09, 0x04E4}}, {{"StringFileInfo\\0c0904e4\\FileVersion", "1.5.0.0"}})
        << QStringList{none, none, u"1.5.0.0"_s, none, none, none, none, none, none, none};
    QTest::newRow("no translation: all empty")
        << ElfWith({}, {{"StringFileInfo\\0c0904e4\\FileVersion", "1.5.0.0"}})
        << QStringList(10, none);
    QTest::newRow("other translation")
        << ElfWith({{0x0409, 0x04B0}}, {{"StringFileInfo\\0c0904e4\\FileVersion", "wrong"},
                                        {"StringFileInfo\\040904b0\\FileVersion", "2.10.0.7"}})
        << QStringList{none, none, u"2.10.0.7"_s, none, none, none, none, none, none, none};
    QTest::newRow("first translation wins")
        << ElfWith({{0x0407, 0x04E4}, {0x0C09, 0x04E4}},
                   {{"StringFileInfo\\0c0904e4\\FileVersion", "second"},
                    {"StringFileInfo\\040704e4\\FileVersion", "first"}})
        << QStringList{none, none, u"first"_s, none, none, none, none, none, none, none};
    QTest::newRow("text beyond ASCII")
        << ElfWith({{0x0C09, 0x04E4}},
                   {{"StringFileInfo\\0c0904e4\\LegalCopyright", "\xc2\xa9 Ravav"}})
        << QStringList{none, none, none, none, u"\u00a9 Ravav"_s, none, none, none, none, none};
}

void tst_TRzVersionInfo::stringTable()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, values);
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.filePath(u"program"_s));
    QVERIFY(WriteTestFile(path, file));
    TRzVersionInfo info;
    info.SetFilePath(path);
    QCOMPARE(info.Values(), values);
}

void tst_TRzVersionInfo::readsAgainWhenFilePathChanges()
{
    QTemporaryDir folder;
    const QByteArray first = QFile::encodeName(folder.filePath(u"first"_s));
    const QByteArray second = QFile::encodeName(folder.filePath(u"second"_s));
    QVERIFY(WriteTestFile(
        first, ElfWith({{0x0C09, 0x04E4}}, {{"StringFileInfo\\0c0904e4\\FileVersion", "1.5"}})));
    QVERIFY(WriteTestFile(second, "no information"));

    TRzVersionInfo info;
    info.SetFilePath(first);
    QCOMPARE(info.Value(2), u"1.5"_s);

    // The same path again reads nothing: the values stay those read before.
    QVERIFY(WriteTestFile(first, "no information any more"));
    info.SetFilePath(first);
    QCOMPARE(info.Value(2), u"1.5"_s);

    info.SetFilePath(second);
    QCOMPARE(info.Values(), AllNotAvailable());

    info.SetFilePath(QByteArray());
    QCOMPARE(info.Values(), OwnValues);
    QCOMPARE(info.FilePath(), OwnFile());
}

QTEST_GUILESS_MAIN(tst_TRzVersionInfo)
#include "tst_TRzVersionInfo.moc"
