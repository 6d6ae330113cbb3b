#include "ModalAnswer.h"
#include "ShellNamespaceDouble.h"
#include "ShellTestSupport.h"
#include "widgets/shell/TRzFileSystemNamespace.h"
#include "widgets/shell/TRzShellTree.h"
#include "widgets/shell/TRzShellTreeNode.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using Tree = TRzCustomShellTree;

namespace {

// True when the node's row lies within the visible height of the tree.
bool RowVisible(Tree *tree, QTreeWidgetItem *node)
{
    const QRect row = tree->visualItemRect(node);
    return row.isValid() && row.top() >= 0 && row.bottom() < tree->viewport()->height();
}

struct RowOption : QStyledItemDelegate
{
    using QStyledItemDelegate::initStyleOption;
};

// Where the item's label ends in the viewport, as the style lays out the row.
qreal LabelEnd(QTreeWidget *tree, QTreeWidgetItem *item)
{
    QStyle *style = tree->style();
    QStyleOptionViewItem option;
    option.initFrom(tree);
    option.decorationSize =
        QSize(1, 1) * style->pixelMetric(QStyle::PM_SmallIconSize, nullptr, tree);
    RowOption().initStyleOption(&option, tree->indexFromItem(item));
    option.rect = tree->visualItemRect(item).adjusted(0, 0, 4 * tree->width(), 0);
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &option, tree);
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1;
    return text.left() + margin + QFontMetricsF(option.font).horizontalAdvance(option.text);
}

} // namespace
using Options = Tree::TRzShellTreeOptions;

Q_DECLARE_METATYPE(Options)
Q_DECLARE_METATYPE(TRzShellListing::Outcome)

class TestTRzShellTree : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void listing_data();
    void listing();
    void expandingListsOnce();
    void failingListing_data();
    void failingListing();
    void selectLocation_data();
    void selectLocation();
    void newFolderSeries_data();
    void newFolderSeries();
    void newFolderFailureWarnsOnce();
    void newFolderThroughNamespace_data();
    void newFolderThroughNamespace();
    void refreshKeepsSelection_data();
    void refreshKeepsSelection();
    void renameInPlace_data();
    void renameInPlace();
    void refreshWaitsForLabelEdit();
    void contextMenuDelete_data();
    void contextMenuDelete();
    void commandChecks_data();
    void commandChecks();
    void onlyLeftClickSelects_data();
    void onlyLeftClickSelects();
    void thousandsOfFolders();
    void dynamicRefresh();
    void droppedFolderIsSelected_data();
    void droppedFolderIsSelected();
    void columnFitsViewport();

private:
    std::shared_ptr<ShellNamespaceDouble> MakeDouble();
    std::unique_ptr<TRzShellTree> MakeTree(std::shared_ptr<TRzShellNamespace> ns, Options options);
    QByteArray TempPath() const { return QFile::encodeName(m_temp->path()); }
    TRzShellAbsId FsId(const QByteArray &path) const
    {
        return *TRzShellNamespace::FileSystem()->ParsePath(path);
    }
    void MakeFolders(const QStringList &relative);

    std::unique_ptr<QTemporaryDir> m_temp;
    QTemporaryDir m_data;
};

void TestTRzShellTree::initTestCase()
{
    // The trash of these tests is their own, not the user's.
    qRegisterMetaType<TRzShellTreeNode *>();
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
}

std::shared_ptr<ShellNamespaceDouble> TestTRzShellTree::MakeDouble()
{
    auto ns = std::make_shared<ShellNamespaceDouble>();
    // Added out of order: the tree sorts.
    ns->AddFolder("/gamma");
    ns->AddFolder("/Beta");
    ns->AddFolder("/.config/app");
    ns->AddFile("/notes.txt");
    ns->AddFolder("/alpha/one/two/three");
    for (int i = 0; i < 100; ++i)
        ns->AddFolder("/alpha/one/two/f" + QByteArray::number(100 + i));
    ns->AddVirtual("/Network");
    ns->AddVirtual("/Places", true);
    return ns;
}

std::unique_ptr<TRzShellTree> TestTRzShellTree::MakeTree(std::shared_ptr<TRzShellNamespace> ns,
                                                         Options options)
{
    auto tree = std::make_unique<TRzShellTree>();
    tree->SetNamespace(std::move(ns));
    tree->SetOptions(options);
    tree->resize(320, 240);
    tree->show();
    if (!QTest::qWaitForWindowExposed(tree.get()))
        return nullptr;
    return tree;
}

void TestTRzShellTree::MakeFolders(const QStringList &relative)
{
    for (const QString &each : relative)
        QVERIFY(QDir(m_temp->path()).mkpath(each));
}

void TestTRzShellTree::listing_data()
{
    QTest::addColumn<Options>("options");
    QTest::addColumn<QStringList>("labels");

    const QStringList plain{QStringLiteral("alpha"), QStringLiteral("Beta"),
                            QStringLiteral("gamma"), QStringLiteral("Places")};
    QTest::newRow("folders and groupings of them") << Options() << plain;
    QTest::newRow("hidden folders")
        << Options(Tree::stoShowHidden) << (QStringList{QStringLiteral(".config")} + plain);
    QTest::newRow("non-folders") << Options(Tree::stoIncludeNonFolders)
                                 << QStringList{QStringLiteral("alpha"), QStringLiteral("Beta"),
                                                QStringLiteral("gamma"),
                                                QStringLiteral("notes.txt"),
                                                QStringLiteral("Places")};
    QTest::newRow("virtual folders")
        << Options(Tree::stoVirtualFolders)
        << QStringList{QStringLiteral("alpha"), QStringLiteral("Beta"), QStringLiteral("gamma"),
                       QStringLiteral("Network"), QStringLiteral("Places")};
}

void TestTRzShellTree::listing()
{
    QFETCH(Options, options);
    QFETCH(QStringList, labels);
    auto ns = MakeDouble();
    auto tree = MakeTree(ns, options);
    QVERIFY(tree);
    QSignalSpy changes(tree.get(), &Tree::OnChange);
    tree->FillTree();

    TRzShellTreeNode *root = tree->RootNode();
    QVERIFY(root);
    QCOMPARE(root->text(0), QStringLiteral("Double Root"));
    QVERIFY(root->isExpanded());
    QCOMPARE(ChildLabels(root), labels);
    QCOMPARE(tree->SelectedNode(), root);
    QCOMPARE(changes.count(), 1);
    // Only the root is listed; its children wait until they are expanded.
    QCOMPARE(ns->TotalListCount(), 1);
    QCOMPARE(root->child(0)->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

void TestTRzShellTree::expandingListsOnce()
{
    auto ns = MakeDouble();
    auto tree = MakeTree(ns, {});
    QVERIFY(tree);
    tree->FillTree();
    TRzShellTreeNode *alpha = FindNode(tree.get(), {"alpha"});
    QVERIFY(alpha);
    QCOMPARE(ns->ListCount("/alpha"), 0);

    ClickNode(tree.get(), alpha);
    QCOMPARE(tree->SelectedNode(), alpha);
    QTest::keyClick(tree.get(), Qt::Key_Right);
    QVERIFY(alpha->isExpanded());
    QCOMPARE(ns->ListCount("/alpha"), 1);
    QCOMPARE(ChildLabels(alpha), QStringList{QStringLiteral("one")});
    QCOMPARE(ns->ListCount("/alpha/one"), 0);

    QTest::keyClick(tree.get(), Qt::Key_Left);
    QVERIFY(!alpha->isExpanded());
    QTest::keyClick(tree.get(), Qt::Key_Right);
    QVERIFY(alpha->isExpanded());
    QCOMPARE(ns->ListCount("/alpha"), 1);
    QCOMPARE(ns->ListCount("/Beta"), 0);
}

void TestTRzShellTree::failingListing_data()
{
    QTest::addColumn<TRzShellListing::Outcome>("outcome");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("labels");

    QTest::newRow("cannot start: silent, stays expandable")
        << TRzShellListing::NotStarted << QString() << QStringList();
    QTest::newRow("generic failure: silent")
        << TRzShellListing::GenericFailure << QString() << QStringList{QStringLiteral("first")};
    QTest::newRow("other failure: reported")
        << TRzShellListing::Failed << QStringLiteral("Input/output error")
        << QStringList{QStringLiteral("first")};
}

void TestTRzShellTree::failingListing()
{
    QFETCH(TRzShellListing::Outcome, outcome);
    QFETCH(QString, box);
    QFETCH(QStringList, labels);
    auto ns = MakeDouble();
    ns->AddFolder("/Beta/first");
    ns->AddFolder("/Beta/second");
    ns->SetOutcome("/Beta", outcome, box);
    auto tree = MakeTree(ns, {});
    QVERIFY(tree);
    tree->FillTree();
    TRzShellTreeNode *beta = FindNode(tree.get(), {"Beta"});
    QVERIFY(beta);
    ClickNode(tree.get(), beta);

    if (box.isEmpty()) {
        NoBoxGuard guard;
        QTest::keyClick(tree.get(), Qt::Key_Right);
        QVERIFY2(!guard.SawBox(), qPrintable(guard.Seen()));
    } else {
        auto seen = AnswerNextBox(QStringLiteral("OK"));
        QTest::keyClick(tree.get(), Qt::Key_Right);
        QTRY_VERIFY(seen->seen);
        QCOMPARE(seen->title, QStringLiteral("Error"));
        QCOMPARE(seen->text, box);
    }
    QCOMPARE(ChildLabels(beta), labels);
    QCOMPARE(ns->ListCount("/Beta"), 1);
    if (outcome == TRzShellListing::NotStarted) {
        QCOMPARE(beta->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
        // Can be tried again once the folder can be read.
        ns->SetOutcome("/Beta", TRzShellListing::Complete);
        QTest::keyClick(tree.get(), Qt::Key_Right);
        QCOMPARE(ns->ListCount("/Beta"), 2);
        QCOMPARE(ChildLabels(beta),
                 (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    }
    // The tree stays usable.
    QTest::keyClick(tree.get(), Qt::Key_Down);
    QVERIFY(tree->SelectedNode() != beta);
}

void TestTRzShellTree::selectLocation_data()
{
    QTest::addColumn<Options>("options");
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("selected");
    QTest::addColumn<bool>("dimmed");

    QTest::newRow("deep folder, scrolled into view")
        << Options() << QByteArray("/alpha/one/two/three") << QByteArray("/alpha/one/two/three")
        << false;
    QTest::newRow("hidden folder, hidden ones shown")
        << Options(Tree::stoShowHidden) << QByteArray("/.config/app") << QByteArray("/.config/app")
        << false;
    QTest::newRow("hidden folder itself, hidden ones not listed")
        << Options() << QByteArray("/.config") << QByteArray("/.config") << true;
    QTest::newRow("file named by the path")
        << Options() << QByteArray("/notes.txt") << QByteArray("/notes.txt") << false;
    QTest::newRow("missing step stops at the deepest folder reached")
        << Options() << QByteArray("/alpha/one/nope/deeper") << QByteArray("/alpha/one") << false;
    QTest::newRow("grouping the filter rejects")
        << Options() << QByteArray("/Network/inner") << QByteArray() << false;
}

void TestTRzShellTree::selectLocation()
{
    QFETCH(Options, options);
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, selected);
    QFETCH(bool, dimmed);
    auto ns = MakeDouble();
    ns->AddFolder("/Network/inner");
    auto tree = MakeTree(ns, options);
    QVERIFY(tree);
    tree->SetSelectedItem(ShellNamespaceDouble::Id(target));
    tree->FillTree();

    TRzShellTreeNode *node = tree->SelectedNode();
    QVERIFY(node);
    const TRzShellAbsId expected = ShellNamespaceDouble::Id(selected);
    QCOMPARE(node->Record().AbsoluteId(), expected);
    QCOMPARE(tree->SelectedItem(), expected);
    // A screen reader reads the row's label as its name, its path as its description.
    QCOMPARE(node->data(0, Qt::AccessibleDescriptionRole).toString(),
             selected.isEmpty() ? QStringLiteral("/") : QString::fromUtf8(selected));
    for (QTreeWidgetItem *up = node->parent(); up; up = up->parent())
        QVERIFY2(up->isExpanded(), qPrintable(up->text(0)));
    if (!selected.isEmpty())
        QVERIFY(!node->isExpanded());
    QVERIFY(RowVisible(tree.get(), node));
    if (dimmed) {
        QVERIFY(node->IsDimmed());
        // Its siblings are still the listed ones, plus the hidden folder itself.
        QCOMPARE(
            ChildLabels(node->parent()),
            (QStringList{QStringLiteral(".config"), QStringLiteral("alpha"), QStringLiteral("Beta"),
                         QStringLiteral("gamma"), QStringLiteral("Places")}));
    } else {
        QVERIFY(!node->IsDimmed());
    }
}

void TestTRzShellTree::newFolderSeries_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("created");

    QStringList firstSeries{QStringLiteral("New Folder")};
    for (int i = 2; i <= 50; ++i)
        firstSeries << QStringLiteral("New Folder (%1)").arg(i);

    QTest::newRow("empty folder") << QStringList() << QStringLiteral("New Folder");
    QTest::newRow("New Folder taken")
        << QStringList{QStringLiteral("New Folder")} << QStringLiteral("New Folder (2)");
    QTest::newRow("gap in the series")
        << QStringList{QStringLiteral("New Folder"), QStringLiteral("New Folder (2)"),
                       QStringLiteral("New Folder (4)")}
        << QStringLiteral("New Folder (3)");
    QTest::newRow("all 50 taken") << firstSeries << QStringLiteral("fldr");
    QTest::newRow("all 50 and fldr taken")
        << (firstSeries + QStringList{QStringLiteral("fldr")}) << QStringLiteral("fldr2");
}

void TestTRzShellTree::newFolderSeries()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, created);
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders(existing);
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), {});
    QVERIFY(tree);
    tree->SetSelectedItem(FsId(TempPath()));
    tree->FillTree();
    TRzShellTreeNode *folder = tree->SelectedNode();
    QCOMPARE(tree->NodePath(folder), TempPath());

    {
        NoBoxGuard guard;
        tree->CreateNewFolder();
        QVERIFY2(!guard.SawBox(), qPrintable(guard.Seen()));
    }
    QVERIFY(QFileInfo(m_temp->filePath(created)).isDir());
    QCOMPARE(QDir(m_temp->path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(),
             existing.size() + 1);
    // The new folder is listed, expanded into view and its label is open for a name.
    QVERIFY(folder->isExpanded());
    QVERIFY(ChildLabels(folder).contains(created));
    QVERIFY(tree->IsEditingLabel());
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), created);
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!tree->IsEditingLabel());
    QVERIFY(QFileInfo(m_temp->filePath(created)).isDir());
}

void TestTRzShellTree::newFolderFailureWarnsOnce()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders({QStringLiteral("gone")});
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), {});
    QVERIFY(tree);
    tree->SetSelectedItem(FsId(TempPath() + "/gone"));
    tree->FillTree();
    QVERIFY(QDir(m_temp->filePath(QStringLiteral("gone"))).removeRecursively());

    auto seen = AnswerNextBox(QStringLiteral("OK"));
    tree->CreateNewFolder();
    QVERIFY(seen->seen);
    QCOMPARE(seen->title, QStringLiteral("Warning"));
    QCOMPARE(
        seen->text,
        QStringLiteral("Unable to create the folder 'New Folder'\n\nNo such file or directory"));
    // No second series, and no misleading "already exists" after it.
    NoBoxGuard guard;
    QTest::qWait(50);
    QVERIFY(!guard.SawBox());
}

void TestTRzShellTree::newFolderThroughNamespace_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<QByteArray>("created");
    QTest::newRow("free name") << QByteArray() << QByteArray("/Beta/New Folder");
    QTest::newRow("name taken") << QByteArray("/Beta/New Folder")
                                << QByteArray("/Beta/New Folder (2)");
}

void TestTRzShellTree::newFolderThroughNamespace()
{
    QFETCH(QByteArray, existing);
    QFETCH(QByteArray, created);
    // "/Beta" exists only in the double: a folder made around the namespace
    // would fail with a warning, and the double would not hold it.
    auto ns = MakeDouble();
    if (!existing.isEmpty())
        ns->AddFolder(existing);
    auto tree = MakeTree(ns, {});
    QVERIFY(tree);
    tree->SetSelectedItem({"Beta"});
    tree->FillTree();
    NoBoxGuard guard;
    tree->CreateNewFolder();
    QVERIFY2(!guard.SawBox(), qPrintable(guard.Seen()));
    QVERIFY(ns->Exists(created));
    QVERIFY(tree->IsEditingLabel());
}

void TestTRzShellTree::refreshKeepsSelection_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QStringList>("topLabels");

    const QString deep = QStringLiteral("a/keep/deep");
    QTest::newRow("folder added beside")
        << QStringLiteral("mkdir c") << deep
        << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
    QTest::newRow("folder removed beside")
        << QStringLiteral("rmdir b") << deep << QStringList{QStringLiteral("a")};
    QTest::newRow("selected folder's parent removed")
        << QStringLiteral("rmdir a/keep") << QStringLiteral("a")
        << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("subfolder created in the selected folder")
        << QStringLiteral("mkdir a/keep/deep/new") << deep
        << QStringList{QStringLiteral("a"), QStringLiteral("b")};
}

void TestTRzShellTree::refreshKeepsSelection()
{
    QFETCH(QString, change);
    QFETCH(QString, selected);
    QFETCH(QStringList, topLabels);
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders({QStringLiteral("a/keep/deep"), QStringLiteral("b")});
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), Tree::stoDefaultKeyHandling);
    QVERIFY(tree);
    tree->SetSelectedItem(FsId(TempPath() + "/a/keep/deep"));
    tree->FillTree();
    TRzShellTreeNode *deep = tree->SelectedNode();
    QCOMPARE(deep->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);

    const QString verb = change.section(QLatin1Char(' '), 0, 0);
    const QString what = m_temp->filePath(change.section(QLatin1Char(' '), 1));
    if (verb == QLatin1String("mkdir"))
        QVERIFY(QDir().mkpath(what));
    else
        QVERIFY(QDir(what).removeRecursively());

    QSignalSpy changes(tree.get(), &Tree::OnChange);
    QTest::keyClick(tree.get(), Qt::Key_F5);
    QCOMPARE(ChildLabels(FindNode(tree.get(), FsId(TempPath()))), topLabels);
    QCOMPARE(tree->NodePath(tree->SelectedNode()), TempPath() + '/' + QFile::encodeName(selected));
    QCOMPARE(tree->SelectedItem(), FsId(TempPath() + '/' + QFile::encodeName(selected)));
    QCOMPARE(changes.count(), 1);
    if (change.endsWith(QLatin1String("deep/new")))
        QCOMPARE(deep->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

void TestTRzShellTree::renameInPlace_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("name");

    QTest::newRow("new name") << QStringLiteral("renamed") << QString()
                              << QStringLiteral("renamed");
    QTest::newRow("blanks trimmed")
        << QStringLiteral("  spaced  ") << QString() << QStringLiteral("spaced");
    QTest::newRow("empty text keeps the name") << QString() << QString() << QStringLiteral("old");
    QTest::newRow("slash refused")
        << QStringLiteral("a/b")
        << QStringLiteral("\"a/b\" cannot be used as a name: a name must not contain \"/\" or a "
                          "NUL character.")
        << QStringLiteral("old");
    QTest::newRow("existing name refused")
        << QStringLiteral("taken")
        << QStringLiteral("\"taken\" cannot be used as a name: a file or folder with that name "
                          "already exists here.")
        << QStringLiteral("old");
    QTest::newRow("parent's name refused")
        << QStringLiteral("..")
        << QStringLiteral("\"..\" cannot be used as a name: it is reserved for the folder itself "
                          "and its parent.")
        << QStringLiteral("old");
}

void TestTRzShellTree::renameInPlace()
{
    QFETCH(QString, typed);
    QFETCH(QString, box);
    QFETCH(QString, name);
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders({QStringLiteral("old/inner"), QStringLiteral("taken")});
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), Tree::stoDefaultKeyHandling);
    QVERIFY(tree);
    tree->SetSelectedItem(FsId(TempPath() + "/old"));
    tree->FillTree();
    TRzShellTreeNode *node = tree->SelectedNode();
    QCOMPARE(node->text(0), QStringLiteral("old"));

    QTest::keyClick(tree.get(), Qt::Key_F2);
    QVERIFY(tree->IsEditingLabel());
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("old"));
    editor->selectAll();
    QTest::keyClick(editor, Qt::Key_Backspace);
    QTest::keyClicks(editor, typed);
    std::shared_ptr<SeenBox> seen;
    if (!box.isEmpty())
        seen = AnswerNextBox(QStringLiteral("OK"));
    {
        std::unique_ptr<NoBoxGuard> guard =
            box.isEmpty() ? std::make_unique<NoBoxGuard>() : nullptr;
        QTest::keyClick(editor, Qt::Key_Return);
        // The edit ends once the editor has had its say about the key.
        QTRY_VERIFY(!tree->IsEditingLabel());
        if (guard)
            QVERIFY2(!guard->SawBox(), qPrintable(guard->Seen()));
    }
    if (seen) {
        QTRY_VERIFY(seen->seen);
        QCOMPARE(seen->text, box);
        QVERIFY(!seen->standardButtons); // no theme's tick crowding "OK", as in the wizard
    }
    QVERIFY(!tree->IsEditingLabel());
    QVERIFY(QFileInfo(m_temp->filePath(name + QStringLiteral("/inner"))).isDir());
    QCOMPARE(node->text(0), name);
    QCOMPARE(tree->SelectedNode(), node);
    QCOMPARE(tree->SelectedItem(), FsId(TempPath() + '/' + QFile::encodeName(name)));
    if (name != QLatin1String("old"))
        QVERIFY(!QFileInfo::exists(m_temp->filePath(QStringLiteral("old"))));
}

void TestTRzShellTree::refreshWaitsForLabelEdit()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders({QStringLiteral("edited")});
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), Tree::stoDefaultKeyHandling);
    QVERIFY(tree);
    tree->SetSelectedItem(FsId(TempPath() + "/edited"));
    tree->FillTree();
    TRzShellTreeNode *top = FindNode(tree.get(), FsId(TempPath()));
    QTest::keyClick(tree.get(), Qt::Key_F2);
    QVERIFY(tree->IsEditingLabel());

    QVERIFY(QDir(m_temp->path()).mkdir(QStringLiteral("arrived")));
    tree->RefreshTree(); // as a mount change would
    QVERIFY(tree->IsRefreshDue());
    QCOMPARE(ChildLabels(top), QStringList{QStringLiteral("edited")});

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QVERIFY(!tree->IsEditingLabel());
    QVERIFY(!tree->IsRefreshDue());
    QCOMPARE(ChildLabels(top), (QStringList{QStringLiteral("arrived"), QStringLiteral("edited")}));
}

void TestTRzShellTree::contextMenuDelete_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<bool>("trashed");

    QTest::newRow("confirmed") << QStringLiteral("victim") << QStringLiteral("&Yes") << true
                               << true;
    QTest::newRow("declined") << QStringLiteral("victim") << QStringLiteral("&No") << true << false;
    QTest::newRow("protected folder") << QStringLiteral("db") << QString() << false << false;
    QTest::newRow("folder holding a protected one")
        << QStringLiteral("holder") << QString() << false << false;
}

void TestTRzShellTree::contextMenuDelete()
{
    QFETCH(QString, target);
    QFETCH(QString, answer);
    QFETCH(bool, offered);
    QFETCH(bool, trashed);
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders(
        {QStringLiteral("victim/inner"), QStringLiteral("db"), QStringLiteral("holder/data")});
    QFile marker(m_temp->filePath(QStringLiteral("victim/inner/mail.dat")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), Tree::stoContextMenus);
    QVERIFY(tree);
    tree->SetProtectedPaths({TempPath() + "/db", TempPath() + "/holder/data/"});
    tree->SetSelectedItem(FsId(TempPath()));
    tree->FillTree();
    QTest::keyClick(tree.get(), Qt::Key_Right);
    TRzShellTreeNode *node =
        FindNode(tree.get(), FsId(TempPath() + '/' + QFile::encodeName(target)));
    QVERIFY(node);

    const QString trash = QStringLiteral("Move to &Trash");
    auto menu = ChooseFromNextMenu(trash);
    std::shared_ptr<SeenBox> box = answer.isEmpty() ? nullptr : AnswerNextBox(answer);
    RightClick(tree.get(), node);
    QVERIFY(menu->seen);
    QCOMPARE(menu->captions, (QStringList{QStringLiteral("&Open"), QStringLiteral("&Copy Path"),
                                          QStringLiteral("Rena&me"), trash}));
    QCOMPARE(menu->disabled.contains(trash), !offered);
    if (box) {
        QVERIFY(box->seen);
        QCOMPARE(box->title, QStringLiteral("Confirm"));
        QCOMPARE(box->defaultButton, QStringLiteral("&No"));
        QCOMPARE(box->escapeButton, QStringLiteral("&No"));
    }
    const QString original = m_temp->filePath(target);
    QCOMPARE(QFileInfo::exists(original), !trashed);
    QCOMPARE(ChildLabels(FindNode(tree.get(), FsId(TempPath()))).contains(target), !trashed);
    if (trashed) {
        // Recoverable: the folder and its contents are in a trash, not gone.
        const QString homeTrash = m_data.filePath(QStringLiteral("Trash/files/victim"));
        QVERIFY(QFileInfo::exists(homeTrash + QStringLiteral("/inner/mail.dat")));
        QDir(homeTrash).removeRecursively();
    }
}

void TestTRzShellTree::commandChecks_data()
{
    QTest::addColumn<QString>("situation");
    QTest::addColumn<QString>("verb");
    QTest::addColumn<bool>("enabled"); // listed and enabled in the menu
    QTest::addColumn<bool>("carried"); // carried out, from the menu and by name

    const QString copy = TRzShellVerb::CopyPath, rename = TRzShellVerb::Rename,
                  remove = TRzShellVerb::Delete;
    QTest::newRow("plain, copypath") << "plain" << copy << true << true;
    QTest::newRow("plain, rename") << "plain" << rename << true << true;
    QTest::newRow("plain, delete") << "plain" << remove << true << true;
    QTest::newRow("vital, copypath") << "vital" << copy << true << true;
    QTest::newRow("vital, delete") << "vital" << remove << false << false;
    QTest::newRow("holds a kept path, delete") << "holder" << remove << false << false;
    // The menu offers it, but the label cannot be edited either way.
    QTest::newRow("cannot be renamed, rename") << "fixed" << rename << true << false;
    QTest::newRow("read-only, rename") << "read-only" << rename << false << false;
    QTest::newRow("read-only, delete") << "read-only" << remove << true << true;
}

void TestTRzShellTree::commandChecks()
{
    QFETCH(QString, situation);
    QFETCH(QString, verb);
    QFETCH(bool, enabled);
    QFETCH(bool, carried);
    const QString caption = verb == TRzShellVerb::CopyPath ? QStringLiteral("&Copy Path")
                            : verb == TRzShellVerb::Rename ? QStringLiteral("Rena&me")
                                                           : QStringLiteral("&Delete");
    for (const bool fromMenu : {true, false}) {
        auto ns = MakeDouble();
        if (situation == QLatin1String("vital"))
            ns->SetProtected("/alpha/one");
        ns->SetCanRename("/alpha/one", situation != QLatin1String("fixed"));
        auto tree = MakeTree(ns, Tree::stoContextMenus);
        QVERIFY(tree);
        tree->SetReadOnly(situation == QLatin1String("read-only"));
        if (situation == QLatin1String("holder"))
            tree->SetProtectedPaths({"/alpha/one/two/three"});
        tree->SetSelectedItem({"alpha", "one"});
        tree->FillTree();
        TRzShellTreeNode *node = tree->SelectedNode();
        if (fromMenu) {
            auto menu = ChooseFromNextMenu(caption);
            RightClick(tree.get(), node);
            QVERIFY(menu->seen);
            QCOMPARE(menu->captions.contains(caption) && !menu->disabled.contains(caption),
                     enabled);
        } else {
            // A refused delete says why; nothing else asks anything.
            auto told = AnswerNextBox(QStringLiteral("OK"));
            QCOMPARE(tree->InvokeCommand(node, verb) == TRzShellCommands::Outcome::Done, carried);
            QCOMPARE(told->seen, verb == TRzShellVerb::Delete && !carried);
        }
        const QStringList invoked = ns->Invoked();
        QVERIFY2((tree->IsEditingLabel() || !invoked.isEmpty()) == carried,
                 fromMenu ? "from the menu" : "by name");
        QVERIFY(invoked.isEmpty() || invoked == QStringList{verb + QStringLiteral(" /alpha/one")});
    }
}

void TestTRzShellTree::onlyLeftClickSelects_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<QString>("command"); // chosen from the menu; empty: Esc
    QTest::addColumn<bool>("selects");
    QTest::newRow("left click") << Qt::LeftButton << QString() << true;
    QTest::newRow("right click, menu closed") << Qt::RightButton << QString() << false;
    QTest::newRow("right click, command on the clicked item")
        << Qt::RightButton << QStringLiteral("&Open") << false;
    QTest::newRow("middle click") << Qt::MiddleButton << QString() << false;
}

void TestTRzShellTree::onlyLeftClickSelects()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(QString, command);
    QFETCH(bool, selects);
    auto ns = MakeDouble();
    auto tree = MakeTree(ns, Tree::stoContextMenus);
    QVERIFY(tree);
    tree->SetSelectedItem({"Beta"});
    tree->FillTree();
    TRzShellTreeNode *clicked = FindNode(tree.get(), {"gamma"});
    QVERIFY(clicked);
    const QPoint where = tree->visualItemRect(clicked).center();
    std::shared_ptr<SeenMenu> menu;
    QTest::mousePress(tree->viewport(), button, {}, where);
    if (button == Qt::RightButton) {
        menu = ChooseFromNextMenu(command);
        RightClick(tree.get(), clicked);
    }
    QTest::mouseRelease(tree->viewport(), button, {}, where);
    if (menu)
        QVERIFY(menu->seen);
    if (!command.isEmpty())
        QCOMPARE(ns->Invoked(), QStringList{QStringLiteral("open /gamma")});
    QCOMPARE(tree->SelectedItem(), selects ? TRzShellAbsId{"gamma"} : TRzShellAbsId{"Beta"});
}

void TestTRzShellTree::thousandsOfFolders()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    QDir top(m_temp->path());
    QVERIFY(top.mkdir(QStringLiteral("big")));
    constexpr int count = 5000;
    for (int i = 0; i < count; ++i)
        QVERIFY(top.mkdir(QStringLiteral("big/d%1").arg(count - i, 5, 10, QLatin1Char('0'))));
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), {});
    QVERIFY(tree);
    tree->SetSelectedItem(FsId(TempPath() + "/big/d04999"));
    tree->FillTree();
    TRzShellTreeNode *big = FindNode(tree.get(), FsId(TempPath() + "/big"));
    QVERIFY(big);
    QCOMPARE(big->childCount(), count);
    QCOMPARE(big->child(0)->text(0), QStringLiteral("d00001"));
    QCOMPARE(big->child(count - 1)->text(0), QStringLiteral("d05000"));
    QCOMPARE(tree->SelectedNode()->text(0), QStringLiteral("d04999"));
    QVERIFY(RowVisible(tree.get(), tree->SelectedNode()));
    // The folder vanishes while open; the tree drops it and keeps working.
    QVERIFY(QDir(m_temp->filePath(QStringLiteral("big"))).removeRecursively());
    tree->RefreshTree();
    QCOMPARE(tree->NodePath(tree->SelectedNode()), TempPath());
    QCOMPARE(ChildLabels(tree->SelectedNode()), QStringList());
}

void TestTRzShellTree::dynamicRefresh()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders({QStringLiteral("watched")});
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), Tree::stoDynamicRefresh);
    QVERIFY(tree);
    tree->SetSelectedItem(FsId(TempPath() + "/watched"));
    tree->FillTree();
    TRzShellTreeNode *top = FindNode(tree.get(), FsId(TempPath()));
    QVERIFY(QDir(m_temp->path()).mkdir(QStringLiteral("appeared")));
    QTRY_COMPARE(ChildLabels(top),
                 (QStringList{QStringLiteral("appeared"), QStringLiteral("watched")}));
    QCOMPARE(tree->NodePath(tree->SelectedNode()), TempPath() + "/watched");
}

void TestTRzShellTree::droppedFolderIsSelected_data()
{
    QTest::addColumn<Options>("options");
    QTest::addColumn<bool>("selected");
    QTest::newRow("drops accepted") << Options(Tree::stoOleDrop) << true;
    QTest::newRow("drops not accepted") << Options() << false;
}

void TestTRzShellTree::droppedFolderIsSelected()
{
    QFETCH(Options, options);
    QFETCH(bool, selected);
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    MakeFolders({QStringLiteral("dropped/here")});
    auto tree = MakeTree(TRzShellNamespace::FileSystem(), options);
    QVERIFY(tree);
    tree->FillTree();
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(m_temp->filePath(QStringLiteral("dropped/here")))});
    const QPoint where = tree->viewport()->rect().center();
    QDragEnterEvent enter(where, Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &enter);
    QCOMPARE(enter.isAccepted(), selected);
    QDropEvent drop(QPointF(where), Qt::CopyAction | Qt::LinkAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &drop);
    QCOMPARE(tree->NodePath(tree->SelectedNode()),
             selected ? TempPath() + "/dropped/here" : QByteArray("/"));
    // Nothing was copied or moved.
    QVERIFY(QFileInfo(m_temp->filePath(QStringLiteral("dropped/here"))).isDir());
}

// The horizontal scroll bar shows only while a label does not fit, and the
// selected row's highlight reaches the viewport's edge at every width.
void TestTRzShellTree::columnFitsViewport()
{
    auto ns = std::make_shared<ShellNamespaceDouble>();
    ns->AddFolder("/Beta/a-long-folder-name-for-a-narrow-tree");
    auto tree = MakeTree(ns, {});
    QVERIFY(tree);
    tree->SetSelectedItem({"Beta", "a-long-folder-name-for-a-narrow-tree"});
    tree->FillTree();
    for (int width = 140; width <= 420; ++width) {
        tree->resize(width, 240);
        QApplication::processEvents();
        qreal labels = 0;
        for (QTreeWidgetItem *item = tree->RootNode(); item; item = tree->itemBelow(item))
            labels = std::max(labels, LabelEnd(tree.get(), item));
        const int viewport = tree->viewport()->width();
        QCOMPARE(tree->horizontalScrollBar()->isVisible(), labels > viewport);
        QVERIFY(tree->visualItemRect(tree->SelectedNode()).right() >= viewport - 1);
    }
}

QTEST_MAIN(TestTRzShellTree)
#include "tst_TRzShellTree.moc"
