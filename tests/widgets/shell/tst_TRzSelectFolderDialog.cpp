#include "ModalAnswer.h"
#include "ShellNamespaceDouble.h"
#include "ShellTestSupport.h"
#include "fileutil/Exception.h"
#include "widgets/shell/TRzSelectFolderDialog.h"
#include "widgets/shell/TRzSelectFolderForm.h"
#include "widgets/shell/TRzShellTree.h"
#include "widgets/shell/TRzShellTreeNode.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QPushButton>
#include <QSizeGrip>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <functional>

using Dialog = TRzCustomSelectFolderDialog;

namespace {

// Runs the dialog and, once its window is up, acts on it as a user would.
bool RunDialog(TRzSelectFolderDialog &dialog, const std::function<void(TRzSelectFolderForm *)> &act)
{
    auto done = std::make_shared<bool>(false);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [&dialog, act, done, poll]() {
        TRzSelectFolderForm *form = dialog.Form();
        if (form && form->isVisible() && QApplication::activeModalWidget() == form) {
            *done = true;
            act(form);
            // A failed check returns early: the run must still end.
            if (dialog.Form() == form && form->isVisible())
                form->reject();
            *poll = nullptr;
            return;
        }
        QTimer::singleShot(10, *poll);
    };
    QTimer::singleShot(0, *poll);
    const bool result = dialog.Execute();
    if (!*done)
        qWarning("the dialog ended before the test could act on it");
    return result;
}

} // namespace

class TestTRzSelectFolderDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void defaults();
    void cutFirstDirectory_data();
    void cutFirstDirectory();
    void shortenPath_data();
    void shortenPath();
    void run_data();
    void run();
    void statusShowsShortenedPath();
    void keptSize_data();
    void keptSize();
    void keptMaximizedState();
    void layout_data();
    void layout();
    void runningTwiceFails();
    void itemWithoutPath();
    void deleteButton_data();
    void deleteButton();
    void createFolderButton_data();
    void createFolderButton();

private:
    QByteArray T() const { return QFile::encodeName(m_temp->path()); }
    QString TS() const { return m_temp->path(); }

    std::unique_ptr<QTemporaryDir> m_temp;
    QTemporaryDir m_data;
};

void TestTRzSelectFolderDialog::initTestCase()
{
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
}

void TestTRzSelectFolderDialog::init()
{
    m_temp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_temp->isValid());
    QVERIFY(QDir(TS()).mkpath(QStringLiteral("outer/inner/leaf")));
    QVERIFY(QDir(TS()).mkpath(QStringLiteral("outer/other")));
}

void TestTRzSelectFolderDialog::defaults()
{
    TRzSelectFolderDialog dialog;
    QCOMPARE(unsigned(dialog.Options()), 706u);
    QCOMPARE(dialog.Title(), QString());
    QCOMPARE(dialog.FormWidth(), -1);
    QCOMPARE(dialog.FormHeight(), -1);
    QCOMPARE(dialog.FormWindowState(), TRzShellDialog::wsNormal);
    QCOMPARE(dialog.FrameStyle(), Rz::fsFlat);
    QCOMPARE(dialog.FramingPreference(), TRzShellDialog::fpXPThemes);
    QCOMPARE(dialog.HotTrackColorType(), TRzShellDialog::htctComplement);
    QVERIFY(!dialog.FrameVisible());
    QVERIFY(!dialog.HotTrack());
    QVERIFY(dialog.BaseFolder().IsNone());
    QCOMPARE(dialog.SelectedPath(), QStringLiteral("/"));
}

void TestTRzSelectFolderDialog::cutFirstDirectory_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("cut");
    QTest::newRow("first cut") << QStringLiteral("/a/b/c/") << QStringLiteral("/.../b/c/");
    QTest::newRow("after an ellipsis") << QStringLiteral("/.../b/c/") << QStringLiteral("/.../c/");
    QTest::newRow("last folder") << QStringLiteral("/.../c/") << QStringLiteral("/.../");
    QTest::newRow("bare ellipsis") << QStringLiteral(".../") << QString();
    QTest::newRow("root") << QStringLiteral("/") << QString();
    QTest::newRow("relative") << QStringLiteral("a/b/") << QStringLiteral(".../b/");
    QTest::newRow("hidden folder is a folder")
        << QStringLiteral("/.a/b/") << QStringLiteral("/.../b/");
}

void TestTRzSelectFolderDialog::cutFirstDirectory()
{
    QFETCH(QString, folder);
    QFETCH(QString, cut);
    QCOMPARE(TRzSelectFolderForm::CutFirstDirectory(folder), cut);
}

void TestTRzSelectFolderDialog::shortenPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("fits"); // the limit is this text's width
    QTest::addColumn<QString>("shown");

    const QString path = QStringLiteral("/Program Files/Quillbox/Data");
    QTest::newRow("fits whole") << path << path << path;
    QTest::newRow("first folder cut")
        << path << QStringLiteral("/.../Quillbox/Data") << QStringLiteral("/.../Quillbox/Data");
    QTest::newRow("every folder cut")
        << path << QStringLiteral("/.../Data") << QStringLiteral("/.../Data");
    QTest::newRow("root gone") << path << QStringLiteral(".../Data") << QStringLiteral(".../Data");
    QTest::newRow("name alone") << path << QStringLiteral("Data") << QStringLiteral("Data");
    QTest::newRow("name too wide is shown whole")
        << path << QStringLiteral("D") << QStringLiteral("Data");
    QTest::newRow("hidden folder kept")
        << QStringLiteral("/.a/bb/ccc/name") << QStringLiteral("/.../ccc/name")
        << QStringLiteral("/.../ccc/name");
    QTest::newRow("root alone") << QStringLiteral("/") << QString() << QStringLiteral("/");
}

void TestTRzSelectFolderDialog::shortenPath()
{
    QFETCH(QString, path);
    QFETCH(QString, fits);
    QFETCH(QString, shown);
    const QFontMetrics metrics(QApplication::font());
    QCOMPARE(TRzSelectFolderForm::ShortenPath(path, metrics, metrics.horizontalAdvance(fits)),
             shown);
}

void TestTRzSelectFolderDialog::run_data()
{
    QTest::addColumn<QString>("start");   // relative to the temporary folder
    QTest::addColumn<QString>("opensAt"); // the folder selected on opening
    QTest::addColumn<QString>("actions"); // keys and buttons, in order
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("selected"); // SelectedPath afterwards

    QTest::newRow("nested folder, OK")
        << QStringLiteral("outer/inner") << QStringLiteral("outer/inner") << QStringLiteral("ok")
        << true << QStringLiteral("outer/inner");
    QTest::newRow("start with a trailing slash")
        << QStringLiteral("outer/inner/") << QStringLiteral("outer/inner") << QStringLiteral("ok")
        << true << QStringLiteral("outer/inner");
    QTest::newRow("parent chosen with the keyboard")
        << QStringLiteral("outer/inner") << QStringLiteral("outer/inner")
        << QStringLiteral("left ok") << true << QStringLiteral("outer");
    QTest::newRow("child chosen, Enter")
        << QStringLiteral("outer/inner") << QStringLiteral("outer/inner")
        << QStringLiteral("right down enter") << true << QStringLiteral("outer/inner/leaf");
    QTest::newRow("sibling clicked")
        << QStringLiteral("outer/inner") << QStringLiteral("outer/inner")
        << QStringLiteral("click:outer/other ok") << true << QStringLiteral("outer/other");
    QTest::newRow("Cancel") << QStringLiteral("outer/inner") << QStringLiteral("outer/inner")
                            << QStringLiteral("left cancel") << false
                            << QStringLiteral("outer/inner");
    QTest::newRow("Esc") << QStringLiteral("outer/inner") << QStringLiteral("outer/inner")
                         << QStringLiteral("left esc") << false << QStringLiteral("outer/inner");
    QTest::newRow("close box") << QStringLiteral("outer/inner") << QStringLiteral("outer/inner")
                               << QStringLiteral("left close") << false
                               << QStringLiteral("outer/inner");
    QTest::newRow("missing folder opens at the root")
        << QStringLiteral("outer/missing") << QStringLiteral("/") << QStringLiteral("ok") << true
        << QStringLiteral("/");
}

void TestTRzSelectFolderDialog::run()
{
    QFETCH(QString, start);
    QFETCH(QString, opensAt);
    QFETCH(QString, actions);
    QFETCH(bool, result);
    QFETCH(QString, selected);
    const auto full = [this](const QString &relative) -> QString {
        return relative == QLatin1String("/") ? relative : TS() + QLatin1Char('/') + relative;
    };

    TRzSelectFolderDialog dialog;
    dialog.SetSelectedPath(full(start));
    QString openedAt;
    QString status;
    const bool answer = RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        TRzShellTree *tree = form->ShellTree();
        openedAt = QFile::decodeName(tree->NodePath(tree->SelectedNode()));
        status = form->StatusBar()->currentMessage();
        for (const QString &action : actions.split(QLatin1Char(' '))) {
            if (action == QLatin1String("ok"))
                QTest::mouseClick(form->OkBtn(), Qt::LeftButton);
            else if (action == QLatin1String("cancel"))
                QTest::mouseClick(form->CancelBtn(), Qt::LeftButton);
            else if (action == QLatin1String("esc"))
                QTest::keyClick(tree, Qt::Key_Escape);
            else if (action == QLatin1String("enter"))
                QTest::keyClick(tree, Qt::Key_Return);
            else if (action == QLatin1String("close"))
                form->close();
            else if (action == QLatin1String("left"))
                QTest::keyClick(tree, Qt::Key_Left);
            else if (action == QLatin1String("right"))
                QTest::keyClick(tree, Qt::Key_Right);
            else if (action == QLatin1String("down"))
                QTest::keyClick(tree, Qt::Key_Down);
            else if (action.startsWith(QLatin1String("click:")))
                ClickNode(tree, FindNode(tree, *tree->Namespace()->ParsePath(
                                                   QFile::encodeName(full(action.mid(6))))));
        }
    });
    QCOMPARE(openedAt, full(opensAt));
    QCOMPARE(status, full(opensAt));
    QCOMPARE(answer, result);
    QCOMPARE(dialog.SelectedPath(), full(selected));
    QVERIFY(!dialog.Form());
    QVERIFY(!dialog.IsExecuting());
}

void TestTRzSelectFolderDialog::statusShowsShortenedPath()
{
    const QString deep = QStringLiteral("a-rather-long-folder-name/another-long-folder-name/"
                                        "yet-another-long-folder-name/the-leaf");
    QVERIFY(QDir(TS()).mkpath(deep));
    const QString path = TS() + QLatin1Char('/') + deep;
    TRzSelectFolderDialog dialog;
    dialog.SetSelectedPath(path);
    RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        QStatusBar *bar = form->StatusBar();
        const QFontMetrics metrics(bar->font());
        const QWidget *grip = bar->findChild<QSizeGrip *>();
        QVERIFY(grip && grip->isVisible());
        // Every width, so that each step of the shortening meets its edge.
        for (int width = TRzSelectFolderForm::MinimumWidth; width < 700; ++width) {
            form->resize(width, form->height());
            const QString status = bar->currentMessage();
            QVERIFY2(status.endsWith(QLatin1String("/the-leaf")), qPrintable(status));
            // The message is drawn from 6 pixels in up to the size grip.
            QVERIFY2(6 + metrics.horizontalAdvance(status) <= grip->x(),
                     qPrintable(QStringLiteral("%1 at width %2").arg(status).arg(width)));
        }
        QVERIFY(bar->currentMessage().startsWith(QLatin1String("/.../")));
        // A screen reader reads the whole path, by the value and by the text.
        QAccessibleInterface *status = QAccessible::queryAccessibleInterface(bar);
        QTest::keyClick(form->ShellTree(), Qt::Key_Left); // to the parent
        const QString parent = path.left(path.lastIndexOf(QLatin1Char('/')));
        QCOMPARE(status->text(QAccessible::Value), parent);
        QCOMPARE(status->textInterface()->text(0, int(parent.size()) + 1), parent);
        QTest::keyClick(form->ShellTree(), Qt::Key_Right);
        form->resize(6 * metrics.horizontalAdvance(path), form->height());
        QCOMPARE(bar->currentMessage(), path);
        form->reject();
    });
}

void TestTRzSelectFolderDialog::keptSize_data()
{
    QTest::addColumn<QSize>("resizedTo");
    QTest::addColumn<QString>("closeWith");
    QTest::addColumn<QSize>("reopensAt");
    QTest::newRow("larger, OK") << QSize(520, 430) << QStringLiteral("ok") << QSize(520, 430);
    QTest::newRow("larger, Esc") << QSize(600, 380) << QStringLiteral("esc") << QSize(600, 380);
    QTest::newRow("too small") << QSize(100, 100) << QStringLiteral("cancel")
                               << QSize(TRzSelectFolderForm::MinimumWidth,
                                        TRzSelectFolderForm::MinimumHeight);
}

void TestTRzSelectFolderDialog::keptSize()
{
    QFETCH(QSize, resizedTo);
    QFETCH(QString, closeWith);
    QFETCH(QSize, reopensAt);
    TRzSelectFolderDialog dialog;
    QSize first;
    RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        first = form->size();
        form->resize(resizedTo);
        if (closeWith == QLatin1String("ok"))
            QTest::mouseClick(form->OkBtn(), Qt::LeftButton);
        else if (closeWith == QLatin1String("esc"))
            QTest::keyClick(form->ShellTree(), Qt::Key_Escape);
        else
            QTest::mouseClick(form->CancelBtn(), Qt::LeftButton);
    });
    QCOMPARE(first, QSize(TRzSelectFolderForm::MinimumWidth, TRzSelectFolderForm::MinimumHeight));
    QCOMPARE(QSize(dialog.FormWidth(), dialog.FormHeight()), reopensAt);
    QSize second;
    RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        second = form->size();
        form->reject();
    });
    QCOMPARE(second, reopensAt);
}

void TestTRzSelectFolderDialog::keptMaximizedState()
{
    TRzSelectFolderDialog dialog;
    RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        form->resize(500, 400);
        form->showMaximized();
        form->accept();
    });
    QCOMPARE(dialog.FormWindowState(), TRzShellDialog::wsMaximized);
    // The recorded size is the restored one, to go back to later.
    QCOMPARE(QSize(dialog.FormWidth(), dialog.FormHeight()), QSize(500, 400));
    bool maximized = false;
    RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        maximized = form->isMaximized();
        form->showNormal();
        form->reject();
    });
    QVERIFY(maximized);
    QCOMPARE(dialog.FormWindowState(), TRzShellDialog::wsNormal);

    // A minimized state would hide the next run from its user: it opens normal.
    dialog.SetFormWindowState(TRzShellDialog::wsMinimized);
    bool minimized = true;
    RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        minimized = form->isMinimized();
        form->reject();
    });
    QVERIFY(!minimized);
}

void TestTRzSelectFolderDialog::layout_data()
{
    QTest::addColumn<unsigned>("options");
    QTest::addColumn<bool>("buttons");
    QTest::addColumn<int>("treeTop");
    QTest::addColumn<bool>("flat");
    QTest::newRow("wizard's options") << Dialog::DefaultOptions << false << 8 << true;
    QTest::newRow("with the tool buttons")
        << (Dialog::DefaultOptions | Dialog::sfdoCreateDeleteButtons) << true << 32 << true;
    QTest::newRow("tool buttons without one picture")
        << unsigned(Dialog::sfdoCreateDeleteButtons | Dialog::sfdoCreateFolderIcon) << true << 32
        << false;
}

void TestTRzSelectFolderDialog::layout()
{
    QFETCH(unsigned, options);
    QFETCH(bool, buttons);
    QFETCH(int, treeTop);
    QFETCH(bool, flat);
    TRzSelectFolderDialog dialog;
    dialog.SetOptions(Dialog::TRzSelectFolderDialogOptions(options));
    for (const QSize size : {QSize(366, 340), QSize(640, 480)}) {
        RunDialog(dialog, [&](TRzSelectFolderForm *form) {
            form->resize(size);
            QCOMPARE(form->windowTitle(), QStringLiteral("Browse for Folder"));
            QCOMPARE(form->BtnNewFolder()->isVisible(), buttons);
            QCOMPARE(form->BtnDeleteFolder()->isVisible(), buttons);
            // A hidden button is not there for assistive technology either.
            QAccessibleInterface *window = QAccessible::queryAccessibleInterface(form);
            QObjectList listed;
            for (int index = 0; index < window->childCount(); ++index)
                listed.append(window->child(index)->object());
            QCOMPARE(listed.contains(form->BtnNewFolder()), buttons);
            QCOMPARE(listed.contains(form->BtnDeleteFolder()), buttons);
            QCOMPARE(form->BtnNewFolder()->autoRaise(), flat);
            QCOMPARE(form->BtnDeleteFolder()->text(), QStringLiteral("Delete"));
            const QRect tree = form->ShellTree()->geometry();
            QCOMPARE(tree.top(), treeTop);
            QCOMPARE(tree.left(), 8);
            QCOMPARE(tree.right(), size.width() - 9);
            QCOMPARE(tree.bottom() + 1 + 4, form->ButtonPanel()->y());
            QCOMPARE(form->ButtonPanel()->geometry().bottom() + 1, form->StatusBar()->y());
            QCOMPARE(form->StatusBar()->geometry().bottom() + 1, size.height());
            const QRect cancel = form->CancelBtn()->geometry();
            QCOMPARE(cancel.right() + 1, size.width() - 8);
            QCOMPARE(form->OkBtn()->geometry().right() + 1 + 8, cancel.left());
            QVERIFY(form->OkBtn()->isDefault());
            form->reject();
        });
    }
}

void TestTRzSelectFolderDialog::runningTwiceFails()
{
    TRzSelectFolderDialog dialog;
    QString message;
    RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        try {
            dialog.Execute();
        } catch (const Exception &error) {
            message = error.message();
        }
        QVERIFY(dialog.IsExecuting());
        form->reject();
    });
    QCOMPARE(message, QStringLiteral("TRzSelectFolderDialog already executing"));
    QVERIFY(!dialog.IsExecuting());
}

void TestTRzSelectFolderDialog::itemWithoutPath()
{
    auto ns = std::make_shared<ShellNamespaceDouble>();
    ns->AddFolder("/home/user");
    ns->AddVirtual("/Network");
    TRzSelectFolderDialog dialog;
    dialog.SetNamespace(ns);
    dialog.SetOptions(dialog.Options() | Dialog::sfdoVirtualFolders |
                      Dialog::sfdoCreateDeleteButtons);
    dialog.SetSelectedPath(QStringLiteral("/home/user"));
    QString status = QStringLiteral("unset");
    bool createEnabled = true;
    const bool answer = RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        TRzShellTree *tree = form->ShellTree();
        QVERIFY(form->BtnNewFolder()->isEnabled());
        ClickNode(tree, FindNode(tree, {"Network"}));
        status = form->StatusBar()->currentMessage();
        createEnabled = form->BtnNewFolder()->isEnabled();
        QVERIFY(form->OkBtn()->isEnabled());
        QTest::mouseClick(form->OkBtn(), Qt::LeftButton);
    });
    QVERIFY(answer);
    QCOMPARE(status, QString());
    QVERIFY(!createEnabled);
    QCOMPARE(dialog.SelectedPath(), QString());
}

void TestTRzSelectFolderDialog::deleteButton_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("trashed");
    QTest::newRow("confirmed") << QStringLiteral("outer/other") << true << QStringLiteral("&Yes")
                               << true;
    QTest::newRow("declined") << QStringLiteral("outer/other") << true << QStringLiteral("&No")
                              << false;
    QTest::newRow("database folder")
        << QStringLiteral("outer/inner/leaf") << false << QString() << false;
    QTest::newRow("folder holding the database")
        << QStringLiteral("outer") << false << QString() << false;
    QTest::newRow("root") << QStringLiteral("/") << false << QString() << false;
}

void TestTRzSelectFolderDialog::deleteButton()
{
    QFETCH(QString, target);
    QFETCH(bool, enabled);
    QFETCH(QString, answer);
    QFETCH(bool, trashed);
    const QString path = target == QLatin1String("/") ? target : TS() + QLatin1Char('/') + target;
    TRzSelectFolderDialog dialog;
    dialog.SetOptions(dialog.Options() | Dialog::sfdoCreateDeleteButtons);
    dialog.SetProtectedPaths({TS() + QStringLiteral("/outer/inner/leaf")});
    dialog.SetSelectedPath(path);
    bool wasEnabled = !enabled;
    QString selectedAfter;
    std::shared_ptr<SeenBox> box;
    const bool answered = RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        wasEnabled = form->BtnDeleteFolder()->isEnabled();
        if (!answer.isEmpty()) {
            box = AnswerNextBox(answer);
            QTest::mouseClick(form->BtnDeleteFolder(), Qt::LeftButton);
        }
        selectedAfter =
            QFile::decodeName(form->ShellTree()->NodePath(form->ShellTree()->SelectedNode()));
        QTest::mouseClick(form->OkBtn(), Qt::LeftButton);
    });
    QVERIFY(answered);
    QCOMPARE(wasEnabled, enabled);
    if (box) {
        QVERIFY(box->seen);
        QCOMPARE(box->text, QStringLiteral("Move the folder \"%1\" and everything in it to the "
                                           "trash?")
                                .arg(path));
    }
    QCOMPARE(QFileInfo::exists(path), !trashed);
    // After a delete the tree is refreshed and the selection moves up.
    QCOMPARE(selectedAfter, trashed ? TS() + QStringLiteral("/outer") : path);
    QCOMPARE(dialog.SelectedPath(), selectedAfter);
    if (trashed)
        QVERIFY(QDir(m_data.filePath(QStringLiteral("Trash/files/other"))).removeRecursively());
}

void TestTRzSelectFolderDialog::createFolderButton_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter"); // Enter ends the edit, else OK does
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("chosen"); // empty: the window stays open

    QTest::newRow("Enter, then OK")
        << QStringLiteral("Mail Data") << true << QString() << QStringLiteral("outer/Mail Data");
    QTest::newRow("OK while the name is typed")
        << QStringLiteral("Mail Data") << false << QString() << QStringLiteral("outer/Mail Data");
    QTest::newRow("refused name, OK")
        << QStringLiteral("inner") << false
        << QStringLiteral("\"inner\" cannot be used as a name: a file or folder with that name "
                          "already exists here.")
        << QString();
}

void TestTRzSelectFolderDialog::createFolderButton()
{
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(QString, box);
    QFETCH(QString, chosen);
    TRzSelectFolderDialog dialog;
    dialog.SetOptions(dialog.Options() | Dialog::sfdoCreateDeleteButtons);
    dialog.SetSelectedPath(TS() + QStringLiteral("/outer"));
    QString status;
    bool stayedOpen = false;
    std::shared_ptr<SeenBox> seen;
    const bool answer = RunDialog(dialog, [&](TRzSelectFolderForm *form) {
        QTest::mouseClick(form->BtnNewFolder(), Qt::LeftButton);
        QWidget *editor = QApplication::focusWidget();
        QVERIFY(editor && form->ShellTree()->IsEditingLabel());
        QTest::keyClicks(editor, typed);
        if (enter) {
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!form->ShellTree()->IsEditingLabel());
            status = form->StatusBar()->currentMessage();
        }
        if (!box.isEmpty())
            seen = AnswerNextBox(QStringLiteral("OK"));
        // As a click that leaves the focus in the editor.
        form->OkBtn()->click();
        stayedOpen = form->isVisible();
    });
    if (enter)
        QCOMPARE(status, TS() + QLatin1Char('/') + chosen);
    if (seen) {
        QVERIFY(seen->seen);
        QCOMPARE(seen->text, box);
    }
    QCOMPARE(stayedOpen, chosen.isEmpty());
    QCOMPARE(answer, !chosen.isEmpty());
    QCOMPARE(dialog.SelectedPath(),
             TS() + QLatin1Char('/') + (chosen.isEmpty() ? QStringLiteral("outer") : chosen));
    QCOMPARE(QFileInfo(TS() + QStringLiteral("/outer/") + typed).isDir(), true);
    QCOMPARE(QFileInfo::exists(TS() + QStringLiteral("/outer/New Folder")), chosen.isEmpty());
}

QTEST_MAIN(TestTRzSelectFolderDialog)
#include "tst_TRzSelectFolderDialog.moc"
