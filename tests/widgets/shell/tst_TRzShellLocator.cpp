#include "ShellNamespaceDouble.h"
#include "widgets/shell/TRzShellLocator.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestTRzShellLocator : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void setPath_data();
    void setPath();
    void equality_data();
    void equality();
    void knownFolder();
};

void TestTRzShellLocator::setPath_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<bool>("none");
    QTest::addColumn<QByteArray>("readBack");
    QTest::addColumn<int>("notices");

    QTest::newRow("existing folder")
        << QByteArray() << QByteArray("/a/b") << false << QByteArray("/a/b") << 1;
    QTest::newRow("missing folder stores none")
        << QByteArray("/a") << QByteArray("/a/zzz") << true << QByteArray("/") << 1;
    QTest::newRow("empty text stores none")
        << QByteArray("/a") << QByteArray() << true << QByteArray("/") << 1;
    QTest::newRow("the root is none")
        << QByteArray() << QByteArray("/") << true << QByteArray("/") << 0;
    QTest::newRow("same item, no notice")
        << QByteArray("/a/b") << QByteArray("/a/b/") << false << QByteArray("/a/b") << 0;
}

void TestTRzShellLocator::setPath()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, path);
    QFETCH(bool, none);
    QFETCH(QByteArray, readBack);
    QFETCH(int, notices);
    auto ns = std::make_shared<ShellNamespaceDouble>();
    ns->AddFolder("/a/b");
    TRzShellLocator locator(ns);
    if (!start.isEmpty())
        locator.SetPath(start);
    int heard = 0;
    locator.OnChange = [&heard]() { ++heard; };
    locator.SetPath(path);
    QCOMPARE(locator.IsNone(), none);
    QCOMPARE(locator.Path(), readBack);
    QCOMPARE(heard, notices);
}

void TestTRzShellLocator::equality_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("equal");
    QTest::newRow("same") << QByteArray("/a/b") << QByteArray("/a/b") << true;
    QTest::newRow("different") << QByteArray("/a/b") << QByteArray("/a") << false;
    QTest::newRow("both none") << QByteArray() << QByteArray() << true;
    QTest::newRow("one none") << QByteArray("/a") << QByteArray() << false;
}

void TestTRzShellLocator::equality()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, equal);
    auto ns = std::make_shared<ShellNamespaceDouble>();
    ns->AddFolder("/a/b");
    TRzShellLocator first(ns), second(ns);
    first.SetPath(a);
    second.SetPath(b);
    QCOMPARE(first.Equals(second), equal);
    int heard = 0;
    first.OnChange = [&heard]() { ++heard; };
    first.Assign(second);
    QCOMPARE(heard, equal ? 0 : 1);
    QVERIFY(first.Equals(second));
}

void TestTRzShellLocator::knownFolder()
{
    TRzShellLocator locator;
    locator.SetKnownFolder(TRzKnownFolder::Home);
    QVERIFY(locator.IsKnownFolder());
    QCOMPARE(locator.Path(), QFile::encodeName(QDir::homePath()));
    TRzShellLocator root;
    root.SetKnownFolder(TRzKnownFolder::Root);
    QCOMPARE(root.Path(), QByteArray("/"));
    QVERIFY(!root.Equals(locator));
}

QTEST_MAIN(TestTRzShellLocator)
#include "tst_TRzShellLocator.moc"
