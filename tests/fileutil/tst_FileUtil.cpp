// Path helpers, existence tests, folder creation and size queries.
#include "FileTestSupport.h"
#include "fileutil/FileUtil.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileUtil;
using namespace FileTest;

class tst_FileUtil : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void withTrailingSeparator_data();
    void withTrailingSeparator();
    void folderAndNameOfPath_data();
    void folderAndNameOfPath();
    void appendFolderSeparator_data();
    void appendFolderSeparator();
    void programFolder();

    void existence_data();
    void existence();
    void attributes_data();
    void attributes();

    void queryFileSize_data();
    void queryFileSize();

    void createFolderPath_data();
    void createFolderPath();
    void createFolderPathAtRoot();

    void resolveNameIgnoringCase_data();
    void resolveNameIgnoringCase();
    void flushFolder_data();
    void flushFolder();

private:
    // Builds the entry named kind at path inside the scratch folder.
    void Make(const QByteArray &kind, const QByteArray &path);

    std::unique_ptr<ScratchFolder> m_scratch;
    QByteArray m_root; // the scratch folder, ending in "/"
};

void tst_FileUtil::init()
{
    m_scratch.reset();
    m_scratch = std::make_unique<ScratchFolder>();
    QVERIFY(m_scratch->IsValid());
    m_root = m_scratch->Path();
}

void tst_FileUtil::Make(const QByteArray &kind, const QByteArray &path)
{
    const QByteArray full = m_root + path;
    if (kind == "file") {
        QVERIFY(WriteFile(full, "data"));
    } else if (kind == "folder") {
        QCOMPARE(::mkdir(full.constData(), 0755), 0);
    } else if (kind == "readonly") {
        QVERIFY(WriteFile(full, "data", 0444));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(full.constData(), 0644), 0);
    } else if (kind == "old") {
        QVERIFY(WriteFile(full, "data"));
        const FileTime times[2] = {{-315619200, 0}, {-315619200, 0}}; // 1960
        QCOMPARE(::utimensat(AT_FDCWD, full.constData(), times, 0), 0);
    } else if (kind.startsWith("link:")) {
        QCOMPARE(::symlink(kind.mid(5).constData(), full.constData()), 0);
    } else {
        QFAIL("unknown kind");
    }
}

void tst_FileUtil::withTrailingSeparator_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty") << QByteArray() << QByteArray("/");
    QTest::newRow("plain") << QByteArray("/data") << QByteArray("/data/");
    QTest::newRow("already") << QByteArray("/data/") << QByteArray("/data/");
    QTest::newRow("root") << QByteArray("/") << QByteArray("/");
    QTest::newRow("relative") << QByteArray("a") << QByteArray("a/");
    QTest::newRow("not utf-8") << QByteArray("/d\xff\xfe") << QByteArray("/d\xff\xfe/");
}

void tst_FileUtil::withTrailingSeparator()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, expected);
    QCOMPARE(WithTrailingSeparator(path), expected);
}

void tst_FileUtil::folderAndNameOfPath_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("full") << QByteArray("/a/b/Messages.dat") << QByteArray("/a/b/")
                          << QByteArray("Messages.dat");
    QTest::newRow("bare name") << QByteArray("Messages.dat") << QByteArray()
                               << QByteArray("Messages.dat");
    QTest::newRow("folder") << QByteArray("/a/") << QByteArray("/a/") << QByteArray();
    QTest::newRow("root") << QByteArray("/") << QByteArray("/") << QByteArray();
    QTest::newRow("colon is a letter") << QByteArray("C:x") << QByteArray() << QByteArray("C:x");
    QTest::newRow("backslash is a letter")
        << QByteArray("/a/b\\c") << QByteArray("/a/") << QByteArray("b\\c");
    QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
}

void tst_FileUtil::folderAndNameOfPath()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, name);
    QCOMPARE(FolderOfPath(path), folder);
    QCOMPARE(NameOfPath(path), name);
}

void tst_FileUtil::appendFolderSeparator_data()
{
    QTest::addColumn<QByteArray>("folder");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty stays empty") << QByteArray() << QByteArray();
    QTest::newRow("root") << QByteArray("/") << QByteArray("/");
    QTest::newRow("ends in separator") << QByteArray("/new/") << QByteArray("/new/");
    QTest::newRow("folder") << QByteArray("/new") << QByteArray("/new/");
    QTest::newRow("one letter is a folder name") << QByteArray("d") << QByteArray("d/");
    QTest::newRow("no drive rule") << QByteArray("C:") << QByteArray("C:/");
}

void tst_FileUtil::appendFolderSeparator()
{
    QFETCH(QByteArray, folder);
    QFETCH(QByteArray, expected);
    QCOMPARE(AppendFolderSeparator(folder), expected);
}

void tst_FileUtil::programFolder()
{
    const QByteArray expected = QFile::encodeName(QCoreApplication::applicationDirPath()) + '/';
    QCOMPARE(ProgramFolder(), expected);
}

void tst_FileUtil::existence_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QByteArray>("query"); // relative to the scratch folder
    QTest::addColumn<bool>("isFile");
    QTest::addColumn<bool>("isFolder");
    QTest::newRow("file") << QByteArray("file") << QByteArray("x") << true << false;
    QTest::newRow("folder") << QByteArray("folder") << QByteArray("x") << false << true;
    QTest::newRow("folder with separator")
        << QByteArray("folder") << QByteArray("x/") << false << true;
    QTest::newRow("missing") << QByteArray() << QByteArray("x") << false << false;
    QTest::newRow("time before 1980") << QByteArray("old") << QByteArray("x") << true << false;
    QTest::newRow("symlink to file")
        << QByteArray("link:target") << QByteArray("x") << true << false;
    QTest::newRow("dangling symlink")
        << QByteArray("link:nowhere") << QByteArray("x") << false << false;
    QTest::newRow("symlink to folder")
        << QByteArray("link:sub") << QByteArray("x") << false << true;
    QTest::newRow("fifo is not a folder") << QByteArray("fifo") << QByteArray("x") << true << false;
    QTest::newRow("no wildcard matching")
        << QByteArray("file") << QByteArray("*") << false << false;
    QTest::newRow("no case folding") << QByteArray("file") << QByteArray("X") << false << false;
}

void tst_FileUtil::existence()
{
    QFETCH(QByteArray, kind);
    QFETCH(QByteArray, query);
    QFETCH(bool, isFile);
    QFETCH(bool, isFolder);
    Make("file", "target");
    Make("folder", "sub");
    if (!kind.isEmpty())
        Make(kind, "x");
    QCOMPARE(IsExistingFile(m_root + query), isFile);
    QCOMPARE(IsExistingFolder(m_root + query), isFolder);
    QCOMPARE(HasAttributes(m_root + query, faDirectory), isFolder);
}

void tst_FileUtil::attributes_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("expected");
    QTest::newRow("plain file") << QByteArray("file") << QByteArray("a") << 0;
    QTest::newRow("read-only file") << QByteArray("readonly") << QByteArray("a") << int(faReadOnly);
    QTest::newRow("hidden file") << QByteArray("file") << QByteArray(".a") << int(faHidden);
    QTest::newRow("hidden read-only")
        << QByteArray("readonly") << QByteArray(".a") << int(faHidden | faReadOnly);
    QTest::newRow("folder") << QByteArray("folder") << QByteArray("a") << int(faDirectory);
    QTest::newRow("hidden folder")
        << QByteArray("folder") << QByteArray(".a") << int(faDirectory | faHidden);
    QTest::newRow("missing") << QByteArray() << QByteArray("a") << -1;
}

void tst_FileUtil::attributes()
{
    QFETCH(QByteArray, kind);
    QFETCH(QByteArray, name);
    QFETCH(int, expected);
    if (!kind.isEmpty())
        Make(kind, name);
    QCOMPARE(FileAttributes(m_root + name), expected);
    if (expected >= 0) {
        QVERIFY(HasAttributes(m_root + name, unsigned(expected)));
        QCOMPARE(HasAttributes(m_root + name, unsigned(expected) | faSysFile), false);
    } else {
        QCOMPARE(HasAttributes(m_root + name, 0), false);
    }
}

void tst_FileUtil::queryFileSize_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<qint64>("size"); // for "file": the size to give it
    QTest::addColumn<qint64>("expected");
    QTest::newRow("missing") << QByteArray() << qint64(0) << qint64(-1);
    QTest::newRow("folder") << QByteArray("folder") << qint64(0) << qint64(-1);
    QTest::newRow("empty") << QByteArray("file") << qint64(0) << qint64(0);
    QTest::newRow("one chunk") << QByteArray("file") << qint64(8192) << qint64(8192);
    QTest::newRow("above 4 GiB") << QByteArray("file") << (qint64(5) << 30) << (qint64(5) << 30);
    QTest::newRow("symlink to file") << QByteArray("link:target") << qint64(0) << qint64(4);
    QTest::newRow("dangling symlink") << QByteArray("link:nowhere") << qint64(0) << qint64(-1);
}

void tst_FileUtil::queryFileSize()
{
    QFETCH(QByteArray, kind);
    QFETCH(qint64, size);
    QFETCH(qint64, expected);
    Make("file", "target");
    const QByteArray path = m_root + "x";
    if (kind == "file") {
        Make("file", "x");
        QCOMPARE(::truncate(path.constData(), size), 0); // sparse: no disk space used
    } else if (!kind.isEmpty()) {
        Make(kind, "x");
    }
    QCOMPARE(QueryFileSize(path), expected);
}

void tst_FileUtil::createFolderPath_data()
{
    QTest::addColumn<QByteArrayList>("existing"); // folders made first ("f:" prefix: a file)
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArrayList>("expectFolders");
    QTest::addColumn<QByteArrayList>("expectMissing");
    QTest::newRow("three missing levels")
        << QByteArrayList() << QByteArray("a/b/c") << QByteArrayList{"a", "a/b", "a/b/c"}
        << QByteArrayList();
    QTest::newRow("trailing separator")
        << QByteArrayList() << QByteArray("a/b/") << QByteArrayList{"a", "a/b"} << QByteArrayList();
    QTest::newRow("existing parent") << QByteArrayList{"a"} << QByteArray("a/b")
                                     << QByteArrayList{"a", "a/b"} << QByteArrayList();
    QTest::newRow("already there")
        << QByteArrayList{"a"} << QByteArray("a") << QByteArrayList{"a"} << QByteArrayList();
    QTest::newRow("two separators: stops")
        << QByteArrayList() << QByteArray("a//") << QByteArrayList() << QByteArrayList{"a"};
    QTest::newRow("a file in the way is silent")
        << QByteArrayList{"f:a"} << QByteArray("a/b/c") << QByteArrayList()
        << QByteArrayList{"a/b", "a/b/c"};
    QTest::newRow("one-letter name")
        << QByteArrayList() << QByteArray("x/y") << QByteArrayList{"x", "x/y"} << QByteArrayList();
    QTest::newRow("name not utf-8")
        << QByteArrayList() << QByteArray("\xff\xfe/\x80")
        << QByteArrayList{"\xff\xfe", "\xff\xfe/\x80"} << QByteArrayList();
}

void tst_FileUtil::createFolderPath()
{
    QFETCH(QByteArrayList, existing);
    QFETCH(QByteArray, request);
    QFETCH(QByteArrayList, expectFolders);
    QFETCH(QByteArrayList, expectMissing);
    for (const QByteArray &entry : std::as_const(existing)) {
        if (entry.startsWith("f:"))
            QVERIFY(WriteFile(m_root + entry.mid(2), "x"));
        else
            QCOMPARE(::mkdir(QByteArray(m_root + entry).constData(), 0755), 0);
    }
    CreateFolderPath(m_root + request);
    for (const QByteArray &folder : std::as_const(expectFolders))
        QVERIFY2(IsExistingFolder(m_root + folder), folder.constData());
    for (const QByteArray &folder : std::as_const(expectMissing))
        QVERIFY2(!IsExistingFolder(m_root + folder), folder.constData());
}

void tst_FileUtil::createFolderPathAtRoot()
{
    // The root and the empty text end the recursion without touching anything.
    CreateFolderPath(QByteArrayLiteral("/"));
    CreateFolderPath(QByteArray());
    QVERIFY(IsExistingFolder("/"));
    // A folder that cannot be made (below a file) raises nothing.
    QVERIFY(WriteFile(m_root + "plain", "x"));
    CreateFolderPath(m_root + "plain/sub/deeper/");
    QVERIFY(!IsExistingFolder(m_root + "plain/sub"));
}

void tst_FileUtil::resolveNameIgnoringCase_data()
{
    QTest::addColumn<QByteArrayList>("files");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("exact") << QByteArrayList{"Quillbox.ini"} << QByteArray("Quillbox.ini");
    QTest::newRow("upper case on disk")
        << QByteArrayList{"QUILLBOX.INI"} << QByteArray("QUILLBOX.INI");
    QTest::newRow("exact preferred")
        << QByteArrayList{"QUILLBOX.INI", "Quillbox.ini"} << QByteArray("Quillbox.ini");
    QTest::newRow("several others: smallest")
        << QByteArrayList{"quillbox.ini", "QUILLBOX.ini"} << QByteArray("QUILLBOX.ini");
    QTest::newRow("none: as written") << QByteArrayList() << QByteArray("Quillbox.ini");
    QTest::newRow("a folder does not count")
        << QByteArrayList{"d:QUILLBOX.INI"} << QByteArray("Quillbox.ini");
}

void tst_FileUtil::resolveNameIgnoringCase()
{
    QFETCH(QByteArrayList, files);
    QFETCH(QByteArray, expected);
    for (const QByteArray &name : std::as_const(files)) {
        if (name.startsWith("d:"))
            QCOMPARE(::mkdir(QByteArray(m_root + name.mid(2)).constData(), 0755), 0);
        else
            QVERIFY(WriteFile(m_root + name, "x"));
    }
    QCOMPARE(ResolveNameIgnoringCase(m_root, "Quillbox.ini"), m_root + expected);
}

void tst_FileUtil::flushFolder_data()
{
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<bool>("flushed");
    QTest::newRow("folder") << QByteArray("folder") << true;
    QTest::newRow("symlink to folder") << QByteArray("link:sub") << true;
    QTest::newRow("file") << QByteArray("file") << false;
    QTest::newRow("missing") << QByteArray() << false;
}

void tst_FileUtil::flushFolder()
{
    QFETCH(QByteArray, kind);
    QFETCH(bool, flushed);
    Make("folder", "sub");
    if (!kind.isEmpty())
        Make(kind, "x");
    QCOMPARE(FlushFolder(m_root + "x"), flushed);
}

QTEST_GUILESS_MAIN(tst_FileUtil)
#include "tst_FileUtil.moc"
