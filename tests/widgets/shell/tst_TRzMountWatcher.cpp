#include "ShellTestSupport.h"
#include "widgets/shell/TRzMountWatcher.h"
#include "widgets/shell/TRzShellTree.h"
#include "widgets/shell/TRzShellTreeNode.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sched.h>
#include <sys/mount.h>

// Mounts happen in a mount namespace of this test's own, so nothing outside
// it sees them; where that is not allowed, the tests are skipped.
class TestTRzMountWatcher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void reportsMountsAndUnmounts();
    void treeRefreshesOnMount();

private:
    bool Mount();
    bool Unmount();

    bool m_isolated = false;
    std::unique_ptr<QTemporaryDir> m_temp;
    QByteArray m_point;
    bool m_mounted = false;
};

void TestTRzMountWatcher::initTestCase()
{
    m_isolated = ::unshare(CLONE_NEWNS) == 0 &&
                 ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

void TestTRzMountWatcher::init()
{
    if (!m_isolated)
        QSKIP("this process may not have a mount namespace of its own");
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    QVERIFY(QDir(m_temp->path()).mkdir(QStringLiteral("mnt")));
    m_point = QFile::encodeName(m_temp->filePath(QStringLiteral("mnt")));
}

void TestTRzMountWatcher::cleanup()
{
    if (m_mounted)
        Unmount();
    m_temp.reset();
}

bool TestTRzMountWatcher::Mount()
{
    m_mounted = ::mount("flittotest", m_point.constData(), "tmpfs", 0, "size=1m") == 0;
    return m_mounted;
}

bool TestTRzMountWatcher::Unmount()
{
    const bool done = ::umount(m_point.constData()) == 0;
    m_mounted = !done;
    return done;
}

void TestTRzMountWatcher::reportsMountsAndUnmounts()
{
    TRzMountWatcher watcher;
    QVERIFY(watcher.IsWatching());
    QSignalSpy changes(&watcher, &TRzMountWatcher::MountsChanged);
    QVERIFY(Mount());
    QTRY_COMPARE(changes.count(), 1);
    QVERIFY(Unmount());
    QTRY_COMPARE(changes.count(), 2);
}

void TestTRzMountWatcher::treeRefreshesOnMount()
{
    TRzShellTree tree;
    tree.resize(320, 240);
    tree.show();
    QVERIFY(QTest::qWaitForWindowExposed(&tree));
    const TRzShellAbsId point = *TRzShellNamespace::FileSystem()->ParsePath(m_point);
    tree.SetSelectedItem(point);
    tree.FillTree();
    TRzShellTreeNode *node = tree.SelectedNode();
    QCOMPARE(tree.NodePath(node), m_point);
    QCOMPARE(node->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    QVERIFY(Mount());
    QVERIFY(QDir(m_temp->filePath(QStringLiteral("mnt"))).mkdir(QStringLiteral("inside")));
    // The mounted file system's folder shows it can be opened, and opens.
    QTRY_COMPARE(node->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
    QTest::keyClick(&tree, Qt::Key_Right);
    QCOMPARE(ChildLabels(node), QStringList{QStringLiteral("inside")});
    QVERIFY(Unmount());
    QTRY_COMPARE(ChildLabels(node), QStringList());
    QCOMPARE(tree.SelectedNode(), node);
}

QTEST_MAIN(TestTRzMountWatcher)
#include "tst_TRzMountWatcher.moc"
