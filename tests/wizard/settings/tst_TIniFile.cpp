#include "FileTestSupport.h"
#include "wizard/settings/TIniFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

using FileTest::FileBytes;
using FileTest::PutFile;

class tst_TIniFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void iniTextToInt_data();
    void iniTextToInt();
    void readInteger_data();
    void readInteger();
    void readStringIsCut_data();
    void readStringIsCut();
    void readStringDefaults();
    void writeStringChangesFile();
    void writeFailureRaises_data();
    void writeFailureRaises();

private:
    QByteArray Path(const char *name) const
    {
        return QFile::encodeName(m_dir->path()) + '/' + name;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_TIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_TIniFile::iniTextToInt_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("converts");
    QTest::addColumn<qint32>("expected");

    const qint32 min = std::numeric_limits<qint32>::min();
    const qint32 max = std::numeric_limits<qint32>::max();
    auto ok = [](const char *text, qint32 value) {
        QTest::newRow(text) << QByteArray(text) << true << value;
    };
    auto bad = [](const char *name, const char *text) {
        QTest::newRow(name) << QByteArray(text) << false << qint32(0);
    };

    // The documented examples.
    ok("1", 1);
    ok("0x1F", 31);
    ok("$1F", 31);
    ok("  7", 7);
    bad("7a", "7a");
    bad("1.0", "1.0");
    bad("empty", "");

    ok("0", 0);
    ok("-0", 0);
    ok("00012", 12);
    ok("+5", 5);
    ok("-1", -1);
    ok("2147483647", max);
    ok("-2147483648", min);
    ok("0X1f", 31);
    ok("0x10", 16);
    ok("x1F", 31);
    ok("X1F", 31);
    ok("$ff", 255);
    ok("-0x10", -16);
    ok("+$10", 16);
    ok(" -0X10", -16);
    ok("$FFFFFFFF", -1);
    ok("$80000000", min);
    ok("$7FFFFFFF", max);
    ok("-$FFFFFFFF", 1);
    ok("$000000001", 1);
    ok("0x00000000FF", 255);

    bad("too large", "2147483648");
    bad("too large with plus", "+2147483648");
    bad("too small", "-2147483649");
    bad("far too large", "99999999999999999999999");
    bad("nine significant hex digits", "$100000000");
    bad("blank only", "   ");
    bad("sign only", "-");
    bad("plus only", "+");
    bad("dollar only", "$");
    bad("0x only", "0x");
    bad("x only", "x");
    bad("sign and prefix only", "-0x");
    bad("trailing blank", "7 ");
    bad("blank after sign", "- 5");
    bad("two signs", "--5");
    bad("leading tab", "\t7");
    bad("hex letter without prefix", "1F");
    bad("bad hex digit", "$1G");
    bad("sign after prefix", "0x-1");
    bad("exponent", "1e3");
    bad("two prefixes", "$0x1");
}

void tst_TIniFile::iniTextToInt()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, converts);
    QFETCH(qint32, expected);

    qint32 value = 12345;
    QCOMPARE(IniTextToInt(text, &value), converts);
    QCOMPARE(value, converts ? expected : qint32(12345));
}

void tst_TIniFile::readInteger_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<qint32>("expected");

    QTest::newRow("decimal") << QByteArray("[Server]\nAdminPort=6000\n") << 6000;
    QTest::newRow("hex with 0x") << QByteArray("[Server]\nAdminPort=0x10\n") << 16;
    QTest::newRow("blanks around value") << QByteArray("[Server]\nAdminPort =  42 \n") << 42;
    QTest::newRow("quoted") << QByteArray("[Server]\nAdminPort=\"42\"\n") << 42;
    QTest::newRow("missing key") << QByteArray("[Server]\nServerIP=1\n") << 12006;
    QTest::newRow("missing section") << QByteArray("[Settings]\nAdminPort=1\n") << 12006;
    QTest::newRow("empty value") << QByteArray("[Server]\nAdminPort=\n") << 12006;
    QTest::newRow("not a number") << QByteArray("[Server]\nAdminPort=port\n") << 12006;
    QTest::newRow("fraction") << QByteArray("[Server]\nAdminPort=1.0\n") << 12006;
    QTest::newRow("out of range") << QByteArray("[Server]\nAdminPort=4294967296\n") << 12006;
}

void tst_TIniFile::readInteger()
{
    QFETCH(QByteArray, contents);
    QFETCH(qint32, expected);

    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, contents);
    const TIniFile ini(path);
    QCOMPARE(ini.ReadInteger("Server", "AdminPort", 12006), expected);
}

void tst_TIniFile::readStringIsCut_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("expected");

    QTest::newRow("short") << 10 << 10;
    QTest::newRow("2047 bytes") << 2047 << 2047;
    QTest::newRow("2048 bytes") << 2048 << 2047;
    QTest::newRow("5000 bytes") << 5000 << 2047;
}

void tst_TIniFile::readStringIsCut()
{
    QFETCH(int, length);
    QFETCH(int, expected);

    QByteArray value;
    for (int i = 0; i < length; ++i)
        value += char('A' + i % 23);
    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, "[Settings]\r\nDataDirectory=" + value + "\r\n");
    const TIniFile ini(path);
    QCOMPARE(ini.ReadString("Settings", "DataDirectory", QByteArray()), value.left(expected));
}

void tst_TIniFile::readStringDefaults()
{
    const TIniFile missing(Path("missing.ini"));
    QCOMPARE(missing.ReadString("Settings", "DataDirectory", "/fallback"), QByteArray("/fallback"));
    QCOMPARE(missing.ReadInteger("Settings", "ConnectionMode", 0), 0);
    QCOMPARE(missing.FileName(), Path("missing.ini"));
}

void tst_TIniFile::writeStringChangesFile()
{
    const QByteArray path = Path("Quillbox.ini");
    PutFile(path, "[Settings]\r\nDataDirectory=/old\r\nConnectionMode=0\r\n");
    TIniFile ini(path);
    ini.WriteString("Settings", "DataDirectory", "/srv/new");
    QCOMPARE(FileBytes(path),
             QByteArray("[Settings]\r\nDataDirectory=/srv/new\r\nConnectionMode=0\r\n"));
    QCOMPARE(ini.ReadString("Settings", "DataDirectory", QByteArray()), QByteArray("/srv/new"));
}

void tst_TIniFile::writeFailureRaises_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("readOnly");

    QTest::newRow("read-only file") << QByteArray("Quillbox.ini") << true;
    QTest::newRow("missing folder") << QByteArray("missing/Quillbox.ini") << false;
    QTest::newRow("name that is not text") << QByteArray("Quill\xff.ini") << true;
}

void tst_TIniFile::writeFailureRaises()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, readOnly);

    const QByteArray path = QFile::encodeName(m_dir->path()) + '/' + name;
    const QByteArray before("[Settings]\nDataDirectory=/old\n");
    if (readOnly) {
        PutFile(path, before);
        QCOMPARE(::chmod(path.constData(), 0444), 0);
    }
    TIniFile ini(path);
    try {
        ini.WriteString("Settings", "DataDirectory", "/new");
        QFAIL("WriteString did not raise");
    } catch (const EIniFileException &error) {
        // Caught as the common base too: the event loop's report relies on it.
        const Exception &base = error;
        QCOMPARE(base.message(), QStringLiteral("Unable to write to ") + QFile::decodeName(path));
    }
    if (readOnly)
        QCOMPARE(FileBytes(path), before);
}

QTEST_GUILESS_MAIN(tst_TIniFile)
#include "tst_TIniFile.moc"
