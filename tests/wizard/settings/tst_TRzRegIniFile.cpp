#include "wizard/settings/TIniFile.h"
#include "wizard/settings/TRzRegIniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaEnum>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class tst_TRzRegIniFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void startsUnrefreshed();
    void defaultIniFileName_data();
    void defaultIniFileName();
    void emptyPathUsesProgramName();
    void refreshRules();
    void propertiesThroughMetaObject();
    void forwardsReadsAndWrites();
    void writeFailureRaises();

private:
    QByteArray Path(const char *name) const
    {
        return QFile::encodeName(m_dir->path()) + '/' + name;
    }
    void WriteFile(const QByteArray &path, const QByteArray &contents)
    {
        QFile file(QFile::decodeName(path));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(contents), contents.size());
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_TRzRegIniFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_TRzRegIniFile::startsUnrefreshed()
{
    const TRzRegIniFile store;
    QCOMPARE(store.Path(), QByteArray());
    QCOMPARE(store.PathType(), TRzRegIniFile::ptIniFile);
    QVERIFY(store.RefreshNeeded());
    QVERIFY(store.IniFile() == nullptr);
}

void tst_TRzRegIniFile::defaultIniFileName_data()
{
    QTest::addColumn<QByteArray>("program");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("no extension") << QByteArray("/opt/quillbox/flitto")
                                  << QByteArray("/opt/quillbox/flitto.ini");
    QTest::newRow("extension replaced")
        << QByteArray("/opt/quillbox/Flitto.exe") << QByteArray("/opt/quillbox/Flitto.ini");
    QTest::newRow("last extension only")
        << QByteArray("/opt/q/flitto.bin.old") << QByteArray("/opt/q/flitto.bin.ini");
    QTest::newRow("dot in folder only")
        << QByteArray("/opt/q.d/flitto") << QByteArray("/opt/q.d/flitto.ini");
    QTest::newRow("dot file") << QByteArray("/opt/q/.flitto") << QByteArray("/opt/q/.flitto.ini");
    QTest::newRow("name without folder") << QByteArray("flitto.x") << QByteArray("flitto.ini");
    QTest::newRow("no program file") << QByteArray() << QByteArray();
}

void tst_TRzRegIniFile::defaultIniFileName()
{
    QFETCH(QByteArray, program);
    QFETCH(QByteArray, expected);

    QCOMPARE(TRzRegIniFile::DefaultIniFileName(program), expected);
}

void tst_TRzRegIniFile::emptyPathUsesProgramName()
{
    // The test's own executable has no extension: ".ini" is appended.
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationFilePath());
    TRzRegIniFile store;
    QCOMPARE(store.ReadString("Settings", "DataDirectory", "none"), QByteArray("none"));
    QCOMPARE(store.Path(), program + ".ini");
    QVERIFY(!store.RefreshNeeded());
    QVERIFY(store.IniFile() != nullptr);
    QCOMPARE(store.IniFile()->FileName(), program + ".ini");
}

void tst_TRzRegIniFile::refreshRules()
{
    TRzRegIniFile store;
    const QByteArray first = Path("First.ini");
    store.SetPath(first);
    QVERIFY(store.RefreshNeeded());
    store.ReadInteger("Settings", "ConnectionMode", 0);
    QVERIFY(!store.RefreshNeeded());
    QCOMPARE(store.IniFile()->FileName(), first);

    // The same name again is no change.
    store.SetPath(first);
    QVERIFY(!store.RefreshNeeded());
    store.SetPathType(TRzRegIniFile::ptIniFile);
    QVERIFY(!store.RefreshNeeded());

    const QByteArray second = Path("Second.ini");
    store.SetPath(second);
    QVERIFY(store.RefreshNeeded());
    QCOMPARE(store.IniFile()->FileName(), first); // not re-created before use
    store.ReadString("Settings", "DataDirectory", QByteArray());
    QVERIFY(!store.RefreshNeeded());
    QCOMPARE(store.IniFile()->FileName(), second);
    QCOMPARE(store.Path(), second);

    // Back to empty: the default name again, stored without a new refresh.
    store.SetPath(QByteArray());
    QVERIFY(store.RefreshNeeded());
    store.ReadString("Settings", "DataDirectory", QByteArray());
    QVERIFY(!store.RefreshNeeded());
    QCOMPARE(store.Path(), QFile::encodeName(QCoreApplication::applicationFilePath()) + ".ini");
}

void tst_TRzRegIniFile::propertiesThroughMetaObject()
{
    TRzRegIniFile store;
    QVERIFY(store.setProperty("Path", Path("Meta.ini")));
    QCOMPARE(store.Path(), Path("Meta.ini"));
    QCOMPARE(store.property("Path").toByteArray(), Path("Meta.ini"));

    const QMetaObject *meta = store.metaObject();
    const QMetaProperty pathType = meta->property(meta->indexOfProperty("PathType"));
    QVERIFY(pathType.isValid());
    QVERIFY(pathType.isEnumType());
    QCOMPARE(pathType.enumerator().valueToKey(pathType.read(&store).toInt()), "ptIniFile");
}

void tst_TRzRegIniFile::forwardsReadsAndWrites()
{
    const QByteArray path = Path("Quillbox.ini");
    WriteFile(path, "[Settings]\nDataDirectory=/d\nConnectionMode=1\n[Server]\nServerIP=h\n");
    TRzRegIniFile store;
    store.SetPath(path);
    QCOMPARE(store.ReadString("Settings", "DataDirectory", QByteArray()), QByteArray("/d"));
    QCOMPARE(store.ReadInteger("Settings", "ConnectionMode", 0), 1);
    QCOMPARE(store.ReadString("Server", "ServerIP", QByteArray()), QByteArray("h"));
    QCOMPARE(store.ReadInteger("Server", "AdminPort", 12006), 12006);

    store.WriteString("Settings", "DataDirectory", "/e");
    QFile file(QFile::decodeName(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(),
             QByteArray("[Settings]\nDataDirectory=/e\nConnectionMode=1\n[Server]\nServerIP=h\n"));
}

void tst_TRzRegIniFile::writeFailureRaises()
{
    const QByteArray path = Path("Quillbox.ini");
    WriteFile(path, "[Settings]\nDataDirectory=/d\n");
    QCOMPARE(::chmod(path.constData(), 0444), 0);
    TRzRegIniFile store;
    store.SetPath(path);
    QVERIFY_THROWS_EXCEPTION(EIniFileException,
                             store.WriteString("Settings", "DataDirectory", "/e"));
    QCOMPARE(store.ReadString("Settings", "DataDirectory", QByteArray()), QByteArray("/d"));
}

QTEST_GUILESS_MAIN(tst_TRzRegIniFile)
#include "tst_TRzRegIniFile.moc"
