#include "FileTestSupport.h"
#include "fileutil/CopyIo.h"
#include "fileutil/PrivateProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using FileTest::FileBytes;
using FileTest::PutFile;

namespace {

// A byte string from a literal, embedded NULs and all.
template <qsizetype N> QByteArray B(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// The text stored in a symlink, unresolved.
QByteArray LinkText(const QByteArray &link)
{
    char buffer[4096];
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
    return length < 0 ? QByteArray() : QByteArray(buffer, length);
}

mode_t ModeOf(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 ? st.st_mode : 0;
}

QStringList Entries(const QByteArray &folder)
{
    return QDir(QFile::decodeName(folder))
        .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                   QDir::Name);
}

const QByteArray Sample = B("; Quillbox settings\r\n"
                            "[Settings]\r\n"
                            "DataDirectory=/srv/quillbox/data\r\n"
                            "ConnectionMode=0\r\n"
                            "\r\n"
                            "[Server]\r\n"
                            "ServerIP=10.0.0.5\r\n");

} // namespace

class tst_PrivateProfile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void findValue_data();
    void findValue();
    void setValue_data();
    void setValue();
    void setValueRefused_data();
    void setValueRefused();
    void writtenValueReadsBack_data();
    void writtenValueReadsBack();

    void readMissingFileGivesDefault();
    void readFolderOrFifoGivesDefault();
    void readCutsToBuffer();
    void writeCreatesFile();
    void writeChangesOnlyTheKey();
    void writeFlushes_data();
    void writeFlushes();
    void writeFailsInMissingFolder();
    void writeFailsOnReadOnlyFile();
    void writeFailsInReadOnlyFolder();
    void writeFailsInFolderNobodyMayWrite();
    void writeFailsOnFolderOrUnreadableFile();
    void writeKeepsSymlink_data();
    void writeKeepsSymlink();
    void writeThroughDanglingSymlinkCreatesTarget();
    void writeFailsOnReadOnlySymlinkTarget();
    void writeFailsOnSymlinkLoop();
    void writeThroughLinkOnlyForItsOwner_data();
    void writeThroughLinkOnlyForItsOwner();
    void writeKeepsOwner();
    void failedWriteKeepsOldBytes();

private:
    QByteArray Path(const char *name) const
    {
        return QFile::encodeName(m_dir->path()) + '/' + name;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_PrivateProfile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_PrivateProfile::findValue_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("def");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray d("default");
    auto row = [&](const char *name, const QByteArray &contents, const char *section,
                   const char *key, const QByteArray &expected) {
        QTest::newRow(name) << contents << QByteArray(section) << QByteArray(key) << d << 2048
                            << expected;
    };

    row("plain", Sample, "Settings", "DataDirectory", "/srv/quillbox/data");
    row("second section", Sample, "Server", "ServerIP", "10.0.0.5");
    row("section name in other case", Sample, "SETTINGS", "DataDirectory", "/srv/quillbox/data");
    row("key name in other case", Sample, "Settings", "datadirectory", "/srv/quillbox/data");
    row("missing section", Sample, "Client", "DataDirectory", d);
    row("missing key", Sample, "Settings", "AdminPort", d);
    row("key of another section", Sample, "Settings", "ServerIP", d);
    row("empty contents", "", "Settings", "DataDirectory", d);
    row("empty value is a value", "[S]\nK=\n", "S", "K", "");
    row("blank value is a value", "[S]\nK=  \t \n", "S", "K", "");

    row("comment line", "[S]\n;K=commented\nK=live\n", "S", "K", "live");
    row("indented comment", "[S]\n  ;K=commented\nK=live\n", "S", "K", "live");
    row("key asked with semicolon", "[S]\n;K=commented\n", "S", ";K", d);
    row("hash is no comment", "[S]\n#K=hashed\n", "S", "#K", "hashed");
    row("hash key is another key", "[S]\n# K=hashed\n", "S", "K", d);
    row("semicolon inside value", "[S]\nK=a ; b\n", "S", "K", "a ; b");
    row("value starting with semicolon", "[S]\nK=;x\n", "S", "K", ";x");
    row("blank lines", "\n\n[S]\n\n\nK=v\n\n", "S", "K", "v");

    row("duplicate key: first wins", "[S]\nK=first\nK=second\n", "S", "K", "first");
    row("duplicate key in other case", "[S]\nk=first\nK=second\n", "S", "K", "first");
    row("duplicate section: first wins", "[S]\nK=first\n[S]\nK=second\n", "S", "K", "first");
    row("key only in later duplicate section", "[S]\nA=1\n[T]\n[s]\nK=late\n", "S", "K", d);

    row("line without equals is no key", "[S]\nK\nK=v\n", "S", "K", "v");
    row("line without equals only", "[S]\nK\n", "S", "K", d);
    row("keys before any section", "K=orphan\n[S]\nX=1\n", "S", "K", d);
    row("keys before any section, no name", "K=orphan\n[S]\n", "", "K", d);
    row("section without name", "[]\nK=v\n", "", "K", "v");

    row("CR LF endings", "[S]\r\nK=v\r\nL=w\r\n", "S", "K", "v");
    row("LF endings", "[S]\nK=v\nL=w\n", "S", "K", "v");
    row("mixed endings", "[S]\r\nK=v\nL=w\r\n", "S", "L", "w");
    row("no final line break", "[S]\nK=last", "S", "K", "last");
    row("no final line break after CR", "[S]\nK=last\r", "S", "K", "last");
    row("CR inside a line is kept", "[S]\nK=a\rb\n", "S", "K", "a\rb");

    row("blanks around section line", "  \t[S]  \nK=v\n", "S", "K", "v");
    row("blanks inside brackets", "[ \tS \v]\nK=v\n", "S", "K", "v");
    row("blanks inside section name kept", "[Se ction]\nK=v\n", "Se ction", "K", "v");
    row("section asked with spaces", "[S]\nK=v\n", "  S  ", "K", "v");
    row("section asked with tab", "[S]\nK=v\n", "\tS", "K", d);
    row("section without closing bracket", "[S\nK=v\n", "S", "K", "v");
    row("text after closing bracket", "[S] ; note\nK=v\n", "S", "K", "v");
    row("opening bracket in name", "[[S]\nK=v\n", "[S", "K", "v");

    row("blanks around key and value", "[S]\n \t K \t=\t v \v\n", "S", "K", "v");
    row("blanks inside key kept", "[S]\nData Directory=v\n", "S", "Data Directory", "v");
    row("key asked with spaces", "[S]\nK=v\n", "S", " K ", "v");
    row("key asked with tab", "[S]\nK=v\n", "S", "K\t", d);
    row("blanks inside value kept", "[S]\nK=a  b\n", "S", "K", "a  b");
    row("value containing equals", "[S]\nK=a=b==c\n", "S", "K", "a=b==c");
    row("empty key name", "[S]\n=v\n", "S", "", "v");

    row("double quotes stripped", "[S]\nK=\"a b\"\n", "S", "K", "a b");
    row("single quotes stripped", "[S]\nK='a b'\n", "S", "K", "a b");
    row("blanks inside quotes kept", "[S]\nK= \" a \" \n", "S", "K", " a ");
    row("only outer quotes stripped", "[S]\nK=\"\"a\"\"\n", "S", "K", "\"a\"");
    row("mismatched quotes kept", "[S]\nK=\"a'\n", "S", "K", "\"a'");
    row("quote at one end kept", "[S]\nK=\"a\n", "S", "K", "\"a");
    row("lone quote kept", "[S]\nK=\"\n", "S", "K", "\"");
    row("empty quotes", "[S]\nK=\"\"\n", "S", "K", "");
    row("quotes in section name kept", "[\"S\"]\nK=v\n", "\"S\"", "K", "v");

    row("bytes that are not text in value", "[S]\nK=/d\xff\xfe\x80t\n", "S", "K",
        "/d\xff\xfe\x80t");
    row("bytes that are not text elsewhere", "\xff\xfe\n[\xc3(]\nK=x\n[S]\nK=v\n", "S", "K", "v");
    row("section name with high bytes", "[\xe9t\xe9]\nK=v\n", "\xe9t\xe9", "K", "v");
    row("high bytes are not case-folded", "[\xe9t\xe9]\nK=v\n", "\xc9T\xc9", "K", d);
    QTest::newRow("NUL byte in value")
        << B("[S]\nK=a\0b\n") << QByteArray("S") << QByteArray("K") << d << 2048 << B("a\0b");
    row("UTF-8 byte order mark skipped", "\xef\xbb\xbf[S]\nK=v\n", "S", "K", "v");
    row("byte order mark later is text", "[S]\n\xef\xbb\xbfK=v\n", "S", "K", d);

    QTest::newRow("default loses trailing spaces")
        << Sample << QByteArray("S") << QByteArray("K") << QByteArray("  def  ") << 2048
        << QByteArray("  def");
    QTest::newRow("default keeps trailing tab")
        << Sample << QByteArray("S") << QByteArray("K") << QByteArray("def\t") << 2048
        << QByteArray("def\t");
    QTest::newRow("value cut to buffer") << QByteArray("[S]\nK=abcdef\n") << QByteArray("S")
                                         << QByteArray("K") << d << 5 << QByteArray("abcd");
    QTest::newRow("value that fits exactly") << QByteArray("[S]\nK=abcd\n") << QByteArray("S")
                                             << QByteArray("K") << d << 5 << QByteArray("abcd");
    QTest::newRow("default cut to buffer") << Sample << QByteArray("S") << QByteArray("K")
                                           << QByteArray("abcdef") << 3 << QByteArray("ab");
    QTest::newRow("buffer of one byte")
        << QByteArray("[S]\nK=v\n") << QByteArray("S") << QByteArray("K") << d << 1 << QByteArray();
    QTest::newRow("buffer of no bytes")
        << QByteArray("[S]\nK=v\n") << QByteArray("S") << QByteArray("K") << d << 0 << QByteArray();
}

void tst_PrivateProfile::findValue()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, def);
    QFETCH(int, bufferSize);
    QFETCH(QByteArray, expected);

    QCOMPARE(PrivateProfile::FindValue(contents, section, key, def, bufferSize), expected);
}

void tst_PrivateProfile::setValue_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("expected");

    auto row = [](const char *name, const QByteArray &contents, const char *section,
                  const char *key, const QByteArray &value, const QByteArray &expected) {
        QTest::newRow(name) << contents << QByteArray(section) << QByteArray(key) << value
                            << expected;
    };

    row("change existing, CR LF kept", Sample, "Settings", "DataDirectory", "/new",
        B("; Quillbox settings\r\n[Settings]\r\nDataDirectory=/new\r\nConnectionMode=0\r\n\r\n"
          "[Server]\r\nServerIP=10.0.0.5\r\n"));
    row("change existing, LF", "[S]\nK=old\nL=1\n", "S", "K", "new", "[S]\nK=new\nL=1\n");
    row("key spelling in file kept", "[settings]\ndatadirectory=old\n", "Settings", "DataDirectory",
        "new", "[settings]\ndatadirectory=new\n");
    row("blanks before value kept", "[S]\n  K \t=  old  \n", "S", "K", "new",
        "[S]\n  K \t=  new\n");
    row("empty old value", "[S]\nK=\nL=1\n", "S", "K", "new", "[S]\nK=new\nL=1\n");
    row("last line without break stays so", "[S]\nK=old", "S", "K", "new", "[S]\nK=new");
    row("value with equals and quotes", "[S]\nK=old\n", "S", "K", "\"a=b\"", "[S]\nK=\"a=b\"\n");
    row("value written unchanged", "[S]\nK=old\n", "S", "K", "  /x/  ", "[S]\nK=  /x/  \n");
    row("empty value", "[S]\nK=old\n", "S", "K", "", "[S]\nK=\n");
    row("only first duplicate key changed", "[S]\nK=1\nK=2\n", "S", "K", "x", "[S]\nK=x\nK=2\n");
    row("only first duplicate section changed", "[S]\nK=1\n[S]\nK=2\n", "S", "K", "x",
        "[S]\nK=x\n[S]\nK=2\n");
    row("key before any section untouched", "K=orphan\n[S]\nK=old\n", "S", "K", "new",
        "K=orphan\n[S]\nK=new\n");
    row("section with blanks and case", "  [ sEttings ] \nK=old\n", "Settings", "K", "new",
        "  [ sEttings ] \nK=new\n");
    row("bytes that are not text kept", "\xff\n[S]\n\xfe=\x80\nK=old\xff\n;\xc3\n", "S", "K",
        "n\xe9w", "\xff\n[S]\n\xfe=\x80\nK=n\xe9w\n;\xc3\n");
    row("byte order mark kept", "\xef\xbb\xbf[S]\nK=old\n", "S", "K", "new",
        "\xef\xbb\xbf[S]\nK=new\n");

    row("add key after last key of section", "[S]\nA=1\nB=2\n\n; next\n[T]\nC=3\n", "S", "K", "v",
        "[S]\nA=1\nB=2\nK=v\n\n; next\n[T]\nC=3\n");
    row("add key after comment and non-key lines stay", "[S]\nA=1\n; note\nnokey\n[T]\n", "S", "K",
        "v", "[S]\nA=1\nK=v\n; note\nnokey\n[T]\n");
    row("add key to empty section", "[S]\n\n[T]\nC=3\n", "S", "K", "v", "[S]\nK=v\n\n[T]\nC=3\n");
    row("add key, CR LF file", "[S]\r\nA=1\r\n", "S", "K", "v", "[S]\r\nA=1\r\nK=v\r\n");
    row("add key after last line without break", "[S]\nA=1", "S", "K", "v", "[S]\nA=1\nK=v\n");
    row("add key after CR LF line without break", "[S]\r\nA=1", "S", "K", "v",
        "[S]\r\nA=1\r\nK=v\r\n");
    row("add key after section line without break", "[S]", "S", "K", "v", "[S]\nK=v\n");
    row("commented key is not changed", "[S]\n;K=old\n", "S", "K", "v", "[S]\nK=v\n;K=old\n");
    row("line without equals is not changed", "[S]\nK\n", "S", "K", "v", "[S]\nK=v\nK\n");
    row("key only in later duplicate section", "[S]\nA=1\n[S]\nK=old\n", "S", "K", "v",
        "[S]\nA=1\nK=v\n[S]\nK=old\n");
    row("key of other section not used", "[T]\nK=t\n[S]\nA=1\n", "S", "K", "v",
        "[T]\nK=t\n[S]\nA=1\nK=v\n");

    row("add section to empty file", "", "Settings", "DataDirectory", "/d",
        "[Settings]\nDataDirectory=/d\n");
    row("add section at end", "[T]\nC=3\n", "S", "K", "v", "[T]\nC=3\n[S]\nK=v\n");
    row("add section, CR LF file", "[T]\r\nC=3\r\n", "S", "K", "v", "[T]\r\nC=3\r\n[S]\r\nK=v\r\n");
    row("add section after missing final break", "[T]\nC=3", "S", "K", "v", "[T]\nC=3\n[S]\nK=v\n");
    row("add section after missing final CR LF", "[T]\r\nC=3", "S", "K", "v",
        "[T]\r\nC=3\r\n[S]\r\nK=v\r\n");
    row("add section to byte order mark only", "\xef\xbb\xbf", "S", "K", "v",
        "\xef\xbb\xbf[S]\nK=v\n");
    row("names written without outer spaces", "", "  S  ", " K ", "v", "[S]\nK=v\n");
    row("add section without name", "[S]\nK=1\n", "", "K", "v", "[S]\nK=1\n[]\nK=v\n");
}

void tst_PrivateProfile::setValue()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, expected);

    const std::optional<QByteArray> changed =
        PrivateProfile::SetValue(contents, section, key, value);
    QVERIFY(changed.has_value());
    QCOMPARE(*changed, expected);
}

void tst_PrivateProfile::setValueRefused_data()
{
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("line break in value")
        << QByteArray("S") << QByteArray("K") << QByteArray("a\n[T]");
    QTest::newRow("CR in value") << QByteArray("S") << QByteArray("K") << QByteArray("a\rb");
    QTest::newRow("NUL in value") << QByteArray("S") << QByteArray("K") << B("a\0b");
    QTest::newRow("line break in key") << QByteArray("S") << QByteArray("K\nL") << QByteArray("v");
    QTest::newRow("equals in key") << QByteArray("S") << QByteArray("K=L") << QByteArray("v");
    QTest::newRow("empty key") << QByteArray("S") << QByteArray("  ") << QByteArray("v");
    QTest::newRow("key would be a comment")
        << QByteArray("S") << QByteArray(";K") << QByteArray("v");
    QTest::newRow("key would be a section")
        << QByteArray("S") << QByteArray("[K") << QByteArray("v");
    QTest::newRow("key with outer tab") << QByteArray("S") << QByteArray("K\t") << QByteArray("v");
    QTest::newRow("closing bracket in section")
        << QByteArray("S]") << QByteArray("K") << QByteArray("v");
    QTest::newRow("line break in section")
        << QByteArray("S\n") << QByteArray("K") << QByteArray("v");
    QTest::newRow("section with outer tab")
        << QByteArray("\tS") << QByteArray("K") << QByteArray("v");
}

void tst_PrivateProfile::setValueRefused()
{
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, value);

    QVERIFY(!PrivateProfile::SetValue(Sample, section, key, value).has_value());

    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, Sample);
    QVERIFY(!PrivateProfile::WriteString(section, key, value, path));
    QCOMPARE(FileBytes(path), Sample);
}

void tst_PrivateProfile::writtenValueReadsBack_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QByteArray>("value");

    QTest::newRow("existing key") << Sample << QByteArray("/mnt/new data");
    QTest::newRow("new section") << QByteArray("[Server]\nServerIP=1\n") << QByteArray("/d");
    QTest::newRow("no final break") << QByteArray("[Settings]\nX=1") << QByteArray("/d");
    QTest::newRow("bytes that are not text")
        << QByteArray("[Settings]\nX=\xff\n") << QByteArray("/d\xff\xfe");
    QTest::newRow("value with semicolon and equals") << Sample << QByteArray("/a;b=c");
}

void tst_PrivateProfile::writtenValueReadsBack()
{
    QFETCH(QByteArray, contents);
    QFETCH(QByteArray, value);

    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, contents);
    QVERIFY(PrivateProfile::WriteString("Settings", "DataDirectory", value, path));
    QCOMPARE(PrivateProfile::GetString("settings", "DATADIRECTORY", "none", 2048, path), value);
}

void tst_PrivateProfile::readMissingFileGivesDefault()
{
    QCOMPARE(PrivateProfile::GetString("S", "K", "def", 2048, Path("missing.ini")),
             QByteArray("def"));
    QCOMPARE(PrivateProfile::GetString("S", "K", "def  ", 2048, Path("missing/x.ini")),
             QByteArray("def"));
    QCOMPARE(PrivateProfile::GetString("S", "K", "def", 2048, QByteArray()), QByteArray("def"));
}

void tst_PrivateProfile::readFolderOrFifoGivesDefault()
{
    const QByteArray folder = Path("folder.ini");
    QVERIFY(QDir().mkdir(QFile::decodeName(folder)));
    QCOMPARE(PrivateProfile::GetString("S", "K", "def", 2048, folder), QByteArray("def"));

    // A FIFO must not block the read waiting for a writer.
    const QByteArray fifo = Path("fifo.ini");
    QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
    QCOMPARE(PrivateProfile::GetString("S", "K", "def", 2048, fifo), QByteArray("def"));
}

void tst_PrivateProfile::readCutsToBuffer()
{
    const QByteArray path = Path("Quillbox.ini");
    QByteArray long1;
    for (int i = 0; i < 3000; ++i)
        long1 += char('a' + i % 26);
    PutFile(path, "[S]\nK=" + long1 + "\n");
    QCOMPARE(PrivateProfile::GetString("S", "K", "", 2048, path), long1.left(2047));
}

void tst_PrivateProfile::writeCreatesFile()
{
    const QByteArray path = Path("Quillbox.ini");
    QVERIFY(PrivateProfile::WriteString("Settings", "DataDirectory", "/d", path));
    QCOMPARE(FileBytes(path), QByteArray("[Settings]\nDataDirectory=/d\n"));

    const mode_t mask = ::umask(022);
    ::umask(mask);
    QCOMPARE(ModeOf(path) & 07777, mode_t(0666 & ~mask));
    QCOMPARE(Entries(QFile::encodeName(m_dir->path())),
             QStringList{QStringLiteral("Quillbox.ini")});
}

void tst_PrivateProfile::writeChangesOnlyTheKey()
{
    const QByteArray path = Path("Quillbox.ini");
    const QByteArray before = B("\xef\xbb\xbf; \xff comment\r\n"
                                "Orphan=1\r\n"
                                "[Settings]\r\n"
                                "  DataDirectory = \"/old\"   \r\n"
                                "DataDirectory=/second\r\n"
                                "Weird line\r\n"
                                "\r\n"
                                "[Server]\r\n"
                                "ServerIP=\xe9\r\n"
                                "AdminPort=0x10");
    PutFile(path, before);
    QVERIFY(::chmod(path.constData(), 0640) == 0);
    QVERIFY(PrivateProfile::WriteString("Settings", "DataDirectory", "/new", path));
    QByteArray expected = before;
    expected.replace("\"/old\"   ", "/new");
    QCOMPARE(FileBytes(path), expected);
    QCOMPARE(ModeOf(path) & 07777, mode_t(0640));
    QCOMPARE(Entries(QFile::encodeName(m_dir->path())),
             QStringList{QStringLiteral("Quillbox.ini")});
}

namespace {

// Each flush of a settings write: of a folder or a file, and whether the
// file already held the new bytes then (the rename had happened).
struct Flush
{
    bool Folder;
    bool Renamed;
    bool operator==(const Flush &) const = default;
};
std::vector<Flush> g_flushes;
QByteArray g_flushedFile;

int RecordingFsync(int fd)
{
    struct stat st;
    const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
    g_flushes.push_back({folder, FileBytes(g_flushedFile).contains("/new")});
    return ::fsync(fd);
}

} // namespace

void tst_PrivateProfile::writeFlushes_data()
{
    QTest::addColumn<bool>("folder");
    QTest::addColumn<bool>("renamed");
    // The new bytes are on the disk before the name leads to them, and the
    // rename itself survives a power cut.
    QTest::newRow("the new file before the rename") << false << false;
    QTest::newRow("its folder after the rename") << true << true;
}

void tst_PrivateProfile::writeFlushes()
{
    QFETCH(bool, folder);
    QFETCH(bool, renamed);
    g_flushedFile = Path("Quillbox.ini");
    PutFile(g_flushedFile, "[Settings]\nDataDirectory=/old\n");
    g_flushes.clear();
    const FileUtil::CopyIo saved = FileUtil::CurrentCopyIo();
    FileUtil::CurrentCopyIo().Fsync = &RecordingFsync;
    const bool written =
        PrivateProfile::WriteString("Settings", "DataDirectory", "/new", g_flushedFile);
    FileUtil::CurrentCopyIo() = saved;
    QVERIFY(written);
    QVERIFY(std::find(g_flushes.begin(), g_flushes.end(), Flush{folder, renamed}) !=
            g_flushes.end());
}

void tst_PrivateProfile::writeFailsInMissingFolder()
{
    QVERIFY(!PrivateProfile::WriteString("S", "K", "v", Path("missing/Quillbox.ini")));
    QVERIFY(!QFile::exists(QFile::decodeName(Path("missing"))));
    // A file where the folder should be.
    PutFile(Path("plain"), "x");
    QVERIFY(!PrivateProfile::WriteString("S", "K", "v", Path("plain/Quillbox.ini")));
    QVERIFY(!PrivateProfile::WriteString("S", "K", "v", QByteArray()));
}

void tst_PrivateProfile::writeFailsOnReadOnlyFile()
{
    // The folder is writable: the file could be replaced, but a read-only
    // settings file must stay as it is, even for root.
    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, Sample);
    QCOMPARE(::chmod(path.constData(), 0444), 0);
    QVERIFY(!PrivateProfile::WriteString("Settings", "DataDirectory", "/new", path));
    QCOMPARE(FileBytes(path), Sample);
    QCOMPARE(ModeOf(path) & 07777, mode_t(0444));
    QCOMPARE(Entries(QFile::encodeName(m_dir->path())),
             QStringList{QStringLiteral("Quillbox.ini")});
}

void tst_PrivateProfile::writeFailsInReadOnlyFolder()
{
    if (::geteuid() == 0)
        QSKIP("root may write into any folder; writeFailsInFolderNobodyMayWrite covers it");
    const QByteArray folder = Path("locked");
    QVERIFY(QDir().mkdir(QFile::decodeName(folder)));
    const QByteArray path = folder + "/Quillbox.ini";
    PutFile(path, Sample);
    QCOMPARE(::chmod(folder.constData(), 0555), 0);
    const bool written = PrivateProfile::WriteString("Settings", "DataDirectory", "/new", path);
    const bool createdNew = PrivateProfile::WriteString("Settings", "K", "v", folder + "/New.ini");
    QCOMPARE(::chmod(folder.constData(), 0755), 0);
    QVERIFY(!written);
    QVERIFY(!createdNew);
    QCOMPARE(FileBytes(path), Sample);
    QCOMPARE(Entries(folder), QStringList{QStringLiteral("Quillbox.ini")});
}

void tst_PrivateProfile::writeFailsInFolderNobodyMayWrite()
{
    // /proc/self takes no new files, whoever asks.
    QVERIFY(!PrivateProfile::WriteString("S", "K", "v", "/proc/self/Quillbox.ini"));
}

void tst_PrivateProfile::writeFailsOnFolderOrUnreadableFile()
{
    const QByteArray folder = Path("Quillbox.ini");
    QVERIFY(QDir().mkdir(QFile::decodeName(folder)));
    QVERIFY(!PrivateProfile::WriteString("S", "K", "v", folder));
    QVERIFY(QFileInfo(QFile::decodeName(folder)).isDir());

    if (::geteuid() == 0)
        return; // root reads every file
    const QByteArray path = Path("Unreadable.ini");
    PutFile(path, Sample);
    QCOMPARE(::chmod(path.constData(), 0200), 0);
    QVERIFY(!PrivateProfile::WriteString("S", "K", "v", path));
    QCOMPARE(::chmod(path.constData(), 0600), 0);
    QCOMPARE(FileBytes(path), Sample);
}

void tst_PrivateProfile::writeKeepsSymlink_data()
{
    QTest::addColumn<QByteArray>("linkTarget"); // as stored in the link
    QTest::addColumn<bool>("chain");

    QTest::newRow("absolute") << QByteArray("<abs>") << false;
    QTest::newRow("relative") << QByteArray("../real/Quillbox.ini") << false;
    QTest::newRow("chain of links") << QByteArray("../real/Quillbox.ini") << true;
}

void tst_PrivateProfile::writeKeepsSymlink()
{
    QFETCH(QByteArray, linkTarget);
    QFETCH(bool, chain);

    const QByteArray real = Path("real");
    const QByteArray install = Path("install");
    QVERIFY(QDir().mkdir(QFile::decodeName(real)));
    QVERIFY(QDir().mkdir(QFile::decodeName(install)));
    const QByteArray target = real + "/Quillbox.ini";
    PutFile(target, Sample);
    QCOMPARE(::chmod(target.constData(), 0640), 0);
    if (linkTarget == "<abs>")
        linkTarget = target;

    const QByteArray link = install + "/Quillbox.ini";
    const QByteArray middle = install + "/middle";
    if (chain) {
        QCOMPARE(::symlink(linkTarget.constData(), middle.constData()), 0);
        QCOMPARE(::symlink("middle", link.constData()), 0);
    } else {
        QCOMPARE(::symlink(linkTarget.constData(), link.constData()), 0);
    }

    QVERIFY(PrivateProfile::WriteString("Settings", "DataDirectory", "/new", link));

    QVERIFY(S_ISLNK(ModeOf(link)));
    if (chain) {
        QCOMPARE(LinkText(link), QByteArray("middle"));
        QVERIFY(S_ISLNK(ModeOf(middle)));
        QCOMPARE(LinkText(middle), linkTarget);
    } else {
        QCOMPARE(LinkText(link), linkTarget);
    }
    QByteArray expected = Sample;
    expected.replace("/srv/quillbox/data", "/new");
    QCOMPARE(FileBytes(target), expected);
    QCOMPARE(ModeOf(target) & 07777, mode_t(0640));
    QVERIFY(S_ISREG(ModeOf(target)));
    QCOMPARE(Entries(real), QStringList{QStringLiteral("Quillbox.ini")});
    QCOMPARE(Entries(install).size(), chain ? 2 : 1);
}

void tst_PrivateProfile::writeThroughDanglingSymlinkCreatesTarget()
{
    const QByteArray link = Path("Quillbox.ini");
    QCOMPARE(::symlink("Stored.ini", link.constData()), 0);
    QVERIFY(PrivateProfile::WriteString("S", "K", "v", link));
    QVERIFY(S_ISLNK(ModeOf(link)));
    QCOMPARE(LinkText(link), QByteArray("Stored.ini"));
    QCOMPARE(FileBytes(Path("Stored.ini")), QByteArray("[S]\nK=v\n"));
}

void tst_PrivateProfile::writeFailsOnReadOnlySymlinkTarget()
{
    const QByteArray target = Path("Stored.ini");
    PutFile(target, Sample);
    QCOMPARE(::chmod(target.constData(), 0444), 0);
    const QByteArray link = Path("Quillbox.ini");
    QCOMPARE(::symlink("Stored.ini", link.constData()), 0);
    QVERIFY(!PrivateProfile::WriteString("Settings", "DataDirectory", "/new", link));
    QCOMPARE(FileBytes(target), Sample);
    QVERIFY(S_ISLNK(ModeOf(link)));
}

void tst_PrivateProfile::writeFailsOnSymlinkLoop()
{
    const QByteArray a = Path("a.ini");
    const QByteArray b = Path("b.ini");
    QCOMPARE(::symlink("b.ini", a.constData()), 0);
    QCOMPARE(::symlink("a.ini", b.constData()), 0);
    QVERIFY(!PrivateProfile::WriteString("S", "K", "v", a));
    QVERIFY(S_ISLNK(ModeOf(a)));
    QVERIFY(S_ISLNK(ModeOf(b)));
    QCOMPARE(PrivateProfile::GetString("S", "K", "def", 2048, a), QByteArray("def"));
}

void tst_PrivateProfile::writeThroughLinkOnlyForItsOwner_data()
{
    QTest::addColumn<QByteArray>("linkOwner"); // uid:gid
    QTest::addColumn<QByteArray>("fileOwner"); // of the file, or its folder when dangling
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("dangling");
    QTest::addColumn<bool>("written");

    QTest::newRow("root's link") << QByteArray("0:0") << QByteArray("1000:1000") << 0644 << false
                                 << true;
    QTest::newRow("the file owner's link")
        << QByteArray("1000:1000") << QByteArray("1000:1000") << 0644 << false << true;
    QTest::newRow("a stranger's link")
        << QByteArray("1001:1001") << QByteArray("1000:1000") << 0644 << false << false;
    QTest::newRow("into a file anyone may write")
        << QByteArray("1001:1001") << QByteArray("1000:1000") << 0666 << false << true;
    QTest::newRow("of the group that may write")
        << QByteArray("1001:2000") << QByteArray("1000:2000") << 0664 << false << true;
    QTest::newRow("of another group")
        << QByteArray("1001:2001") << QByteArray("1000:2000") << 0664 << false << false;
    QTest::newRow("dangling into the owner's folder")
        << QByteArray("1000:1000") << QByteArray("1000:1000") << 0755 << true << true;
    QTest::newRow("dangling into another's folder")
        << QByteArray("1001:1001") << QByteArray("1000:1000") << 0755 << true << false;
}

void tst_PrivateProfile::writeThroughLinkOnlyForItsOwner()
{
    QFETCH(QByteArray, linkOwner);
    QFETCH(QByteArray, fileOwner);
    QFETCH(int, mode);
    QFETCH(bool, dangling);
    QFETCH(bool, written);
    if (::geteuid() != 0)
        QSKIP("only root may give links and files to other users");

    const QByteArray real = Path("real");
    QVERIFY(QDir().mkdir(QFile::decodeName(real)));
    const QByteArray target = real + "/Quillbox.ini";
    if (!dangling)
        PutFile(target, Sample);
    const QByteArray judged = dangling ? real : target;
    const QByteArrayList fileIds = fileOwner.split(':');
    QCOMPARE(::chown(judged.constData(), fileIds.at(0).toUInt(), fileIds.at(1).toUInt()), 0);
    QCOMPARE(::chmod(judged.constData(), mode_t(mode)), 0);
    const QByteArray link = Path("Quillbox.ini");
    QCOMPARE(::symlink(target.constData(), link.constData()), 0);
    const QByteArrayList linkIds = linkOwner.split(':');
    QCOMPARE(::lchown(link.constData(), linkIds.at(0).toUInt(), linkIds.at(1).toUInt()), 0);

    QCOMPARE(PrivateProfile::WriteString("Settings", "DataDirectory", "/new", link), written);
    QByteArray expected = Sample;
    expected.replace("/srv/quillbox/data", "/new");
    if (dangling)
        QCOMPARE(FileBytes(target), written ? QByteArray("[Settings]\nDataDirectory=/new\n")
                                            : QByteArray("<unreadable>"));
    else
        QCOMPARE(FileBytes(target), written ? expected : Sample);
    QVERIFY(S_ISLNK(ModeOf(link)));
}

void tst_PrivateProfile::writeKeepsOwner()
{
    if (::geteuid() != 0)
        QSKIP("only root may give a file to another owner");
    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, Sample);
    QCOMPARE(::chown(path.constData(), 4321, 4322), 0);
    QCOMPARE(::chmod(path.constData(), 0664), 0);
    QVERIFY(PrivateProfile::WriteString("Settings", "ConnectionMode", "1", path));
    struct stat st;
    QCOMPARE(::stat(path.constData(), &st), 0);
    QCOMPARE(st.st_uid, uid_t(4321));
    QCOMPARE(st.st_gid, gid_t(4322));
    QCOMPARE(st.st_mode & 07777, mode_t(0664));
}

void tst_PrivateProfile::failedWriteKeepsOldBytes()
{
    // A file size limit makes writing the replacement fail half-way, as a
    // full disk would.
    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, Sample);
    QByteArray longValue(4096, 'x');

    struct rlimit old;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit low = old;
    low.rlim_cur = 1024;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &low), 0);
    const bool written = PrivateProfile::WriteString("Settings", "DataDirectory", longValue, path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!written);
    QCOMPARE(FileBytes(path), Sample);
    QCOMPARE(Entries(QFile::encodeName(m_dir->path())),
             QStringList{QStringLiteral("Quillbox.ini")});
}

QTEST_GUILESS_MAIN(tst_PrivateProfile)
#include "tst_PrivateProfile.moc"
