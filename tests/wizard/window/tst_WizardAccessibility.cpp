// What screen readers learn about the wizard, the About box and the folder
// dialog, read back through Qt's accessibility interfaces.

#include "ModalAnswer.h"
#include "StagedInstall.h"
#include "TestDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"
#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/buttonedit/TRzControlButton.h"
#include "widgets/look/Accessibility.h"
#include "widgets/progressbar/TRzProgressBar.h"
#include "widgets/richtext/TRTFLabel.h"
#include "widgets/shell/TRzSelectFolderForm.h"
#include "wizard/window/TfrmAbout.h"
#include "wizard/window/TfrmMain.h"
#include "wizard/window/WizardAccessibility.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <memory>

namespace {

using Expected = QHash<QString, QString>;

// Qt's inner parts of its widgets (the tab bar and its scroll buttons, for
// one) are named by Qt; a tab widget's page stack holds our pages, though.
bool IsQtsOwn(const QWidget *control, const QWidget *window)
{
    for (const QWidget *widget = control; widget != window; widget = widget->parentWidget()) {
        if (widget->objectName().startsWith(QLatin1String("qt_")) &&
            !qobject_cast<const QStackedWidget *>(widget))
            return true;
    }
    return false;
}

// A row per control a window made and named; Qt's own inner parts are
// named by Qt.
void AddControlRows(QWidget *window, const Expected &names, const QSet<QString> &decorative)
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("expectedName");
    QTest::addColumn<bool>("decorative");
    QList<QWidget *> controls = window->findChildren<QWidget *>();
    controls.prepend(window);
    for (QWidget *control : controls) {
        const QString name = control->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || IsQtsOwn(control, window))
            continue;
        QTest::newRow(qPrintable(name)) << name << names.value(name) << decorative.contains(name);
    }
    // Every expectation must have found its control.
    for (const QString &name : names.keys())
        QVERIFY2(window->objectName() == name || window->findChild<QWidget *>(name),
                 qPrintable(name));
}

// Makes the page that holds the control current, so that it shows unless
// it is hidden itself.
void Reveal(QWidget *control)
{
    for (QWidget *widget = control; widget; widget = widget->parentWidget()) {
        if (auto *stack = qobject_cast<QStackedWidget *>(widget->parentWidget()))
            stack->setCurrentWidget(widget);
    }
}

void CheckControl(QWidget *window)
{
    QFETCH(QString, objectName);
    QFETCH(QString, expectedName);
    QFETCH(bool, decorative);
    QWidget *control =
        window->objectName() == objectName ? window : window->findChild<QWidget *>(objectName);
    QVERIFY(control);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    Reveal(control);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
    QVERIFY(iface);
    const QString name = iface->text(QAccessible::Name);
    if (decorative) {
        QVERIFY(control->isVisible()); // still drawn
        QVERIFY(iface->state().invisible);
        QVERIFY(name.isEmpty());
        return;
    }
    QCOMPARE(bool(iface->state().invisible), !control->isVisible());
    if (name.isEmpty()) {
        // A value still empty is read with the caption that labels it.
        auto *label = qobject_cast<QLabel *>(control);
        QVERIFY2(label && label->text().isEmpty(), "no name");
        QVERIFY2(!iface->relations(QAccessible::Labelled).isEmpty(), "no name and no caption");
    }
    QVERIFY2(name.isEmpty() || !name.trimmed().isEmpty(), "blank name");
    QVERIFY2(!name.contains(QLatin1Char('&')), qPrintable(name));
    QVERIFY2(!iface->text(QAccessible::Description).isEmpty(), "no description");
    if (!expectedName.isEmpty())
        QCOMPARE(name, expectedName);
    // The browse button inside a button edit says what it does, and is the
    // edit's own child; its key is the edit's and is in the description.
    if (auto *edit = qobject_cast<TRzButtonEdit *>(control)) {
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(edit->Button());
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Browse"));
        QVERIFY(!button->text(QAccessible::Description).isEmpty());
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(iface->childCount(), 1);
        QCOMPARE(iface->child(0), button);
        QCOMPARE(button->parent(), iface);
        QAccessibleActionInterface *actions = iface->actionInterface();
        QVERIFY(actions->actionNames().contains(QStringLiteral("Browse")));
        QCOMPARE(actions->keyBindingsForAction(QStringLiteral("Browse")),
                 QStringList{QStringLiteral("F4")});
        QVERIFY(iface->text(QAccessible::Description).contains(QLatin1String("F4")));
    }
}

// The control of the window that has the keyboard focus whenever the
// window is active, by name.
QString FocusName(const QWidget &window)
{
    QWidget *focus = window.focusWidget();
    return focus ? focus->objectName() : QStringLiteral("(none)");
}

} // namespace

class tst_Accessibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // No dispatcher: the windows' diagnostics stay off.
        ObjectManager()->SetPlatform(std::make_shared<TestDispatcherPlatform>());
        QAccessible::setActive(true);
    }

    void mainWindow_data();
    void mainWindow();
    void aboutBox_data();
    void aboutBox();
    void folderDialog_data();
    void folderDialog();
    void pageTabsAreNotReachable();
    void roles_data();
    void roles();
    void keyboardMove_data();
    void keyboardMove();
    void liveValues_data();
    void liveValues();
    void withoutMnemonic_data();
    void withoutMnemonic();

private:
    QByteArray m_folder = QByteArrayLiteral("/nonexistent/");
};

void tst_Accessibility::mainWindow_data()
{
    TfrmMain window(m_folder);
    const Expected names = {
        {"frmMain", "Flitto"},
        {"btnAbout", "About"},
        {"btnPrevious", "Previous"},
        {"btnNext", "Next"},
        {"btnCancel", "Cancel"},
        {"btnExit", "Exit"},
        {"edtCurrentDir", "Current location of the database"},
        {"edtRemoteDir", "Current location of the database on the server"},
        {"edtNewDir", "New location of the database"},
        {"barProgress", "Progress of the move"},
        {"lblStatus", "Ready."},
        {"RzLabel12", "Connection Mode:"},
        {"RTFLabel2", "Your Quillbox configuration indicates the current location of the data "
                      "directory is:"},
        {"RTFLabel3", "As Quillbox is connecting in Remote Mode, it is not possible to determine "
                      "the current data directory.  Please specify the directory:"},
        {"RTFLabel11", "If this setting is incorrect, please correct it before continuing.  \n\n"
                       "Click Next to continue."},
    };
    const QSet<QString> decorative = {
        "RzPanel1",
        "Image2",
        "Image3",
        "Image9",
        "tabConnectionIcon",
        "tabLocalSourceIcon",
        "tabRemoteSourceIcon",
        "tabTargetIcon",
        "tabReadyIcon",
        "tabMoveIcon",
        "tabServerUpdateIcon",
        "tabCompletedIcon",
    };
    AddControlRows(&window, names, decorative);
}

void tst_Accessibility::mainWindow()
{
    TfrmMain window(m_folder);
    CheckControl(&window);
}

void tst_Accessibility::aboutBox_data()
{
    TfrmAbout box;
    const Expected names = {
        {"frmAbout", "About"},
        {"RzLabel1", "Flitto"},
        {"BitBtn1", "OK"},
        {"RzURLLabel1", "support@ravav.example"},
    };
    AddControlRows(&box, names, {});
}

void tst_Accessibility::aboutBox()
{
    TfrmAbout box;
    CheckControl(&box);
}

void tst_Accessibility::folderDialog_data()
{
    TRzSelectFolderForm form;
    const Expected names = {
        {"BtnNewFolder", "Create Folder"},
        {"BtnDeleteFolder", "Delete"},
        {"OkBtn", "OK"},
        {"CancelBtn", "Cancel"},
        {"ShellTree", "Folders"},
        {"RzStatusBar1", "Selected folder"},
    };
    AddControlRows(&form, names, {});
}

void tst_Accessibility::folderDialog()
{
    TRzSelectFolderForm form;
    form.setWindowTitle(QStringLiteral("Select Folder")); // as the dialog titles it
    CheckControl(&form);
}

// Only Previous and Next turn the pages: a hidden page tab that assistive
// technology could press would show "moved" with nothing moved.
void tst_Accessibility::pageTabsAreNotReachable()
{
    TfrmMain window(m_folder);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.FormActivate();
    QWidget *const page = window.pagScreens->currentWidget();
    int tabs = 0;
    std::function<void(QAccessibleInterface *, int)> walk = [&](QAccessibleInterface *iface,
                                                                int depth) {
        if (!iface || depth > 40)
            return;
        // Nothing a screen reader would stop at without learning anything.
        if (iface->isValid() && iface->role() == QAccessible::Client && !iface->state().invisible)
            QVERIFY2(!iface->text(QAccessible::Name).isEmpty(),
                     qPrintable(iface->object()->objectName() + u' ' +
                                QLatin1String(iface->object()->metaObject()->className())));
        if (iface->role() == QAccessible::PageTab) {
            ++tabs;
            if (QAccessibleActionInterface *actions = iface->actionInterface())
                for (const QString &action : actions->actionNames())
                    actions->doAction(action);
        }
        // A decorative child is not listed at all, rather than left as an
        // empty place.
        for (int index = 0; index < iface->childCount(); ++index) {
            QAccessibleInterface *child = iface->child(index);
            QVERIFY2(child && child->isValid(), qPrintable(iface->object()->objectName()));
            walk(child, depth + 1);
        }
    };
    walk(QAccessible::queryAccessibleInterface(&window), 0);
    QCOMPARE(tabs, 0);
    QCOMPARE(window.pagScreens->currentWidget(), page);
}

void tst_Accessibility::roles_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("role");
    QTest::newRow("window") << "frmMain" << int(QAccessible::Window);
    QTest::newRow("status line") << "lblStatus" << int(QAccessible::StatusBar);
    QTest::newRow("folder edit") << "edtNewDir" << int(QAccessible::EditableText);
    QTest::newRow("progress") << "barProgress" << int(QAccessible::ProgressBar);
}

// The main window is a frame, and the status line a status bar whose text
// a screen reader can read as text.
void tst_Accessibility::roles()
{
    QFETCH(QString, objectName);
    QFETCH(int, role);
    TfrmMain window(m_folder);
    QWidget *control =
        window.objectName() == objectName ? &window : window.findChild<QWidget *>(objectName);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(control);
    QCOMPARE(int(iface->role()), role);
    if (role == QAccessible::StatusBar) {
        QAccessibleTextInterface *text = iface->textInterface();
        QVERIFY(text);
        window.lblStatus->setText(QStringLiteral("Copying Messages.dat..."));
        QCOMPARE(text->text(0, text->characterCount()), window.lblStatus->text());
        QCOMPARE(iface->text(QAccessible::Name), window.lblStatus->text());
    }
}

void tst_Accessibility::keyboardMove_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("pages");
    QTest::newRow("local") << 0 << QStringList{"tabConnection", "tabLocalSource", "tabTarget",
                                               "tabReady",      "tabMove",        "tabCompleted"};
    QTest::newRow("remote") << 1
                            << QStringList{"tabConnection", "tabRemoteSource", "tabTarget",
                                           "tabReady",      "tabMove",         "tabServerUpdate",
                                           "tabCompleted"};
}

// A whole move by keyboard alone: Space presses whatever has the focus, and
// the folder edits are reached with Tab. After every step the focus is
// where the user goes on, and Next says when the copy is complete. (The
// events a screen reader hears need the desktop's bridge, which only a real
// window has: tests/wizard/window_atspi.sh listens to them.)
void tst_Accessibility::keyboardMove()
{
    QFETCH(int, mode);
    QFETCH(QStringList, pages);
    QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
    StagedInstall install;
    install.writeFile(install.dataFolder() + "Messages.dat", "mail");
    install.writeSettings("[Settings]\nConnectionMode=" + QByteArray::number(mode) +
                          "\nDataDirectory=" + install.dataFolder() + "\n");
    TfrmMain window(install.programFolder());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTRY_COMPARE(window.pagScreens->currentWidget(), window.tabWelcome);
    QCOMPARE(FocusName(window), QStringLiteral("btnNext"));

    // Tab from Next to the edit, types there and tabs back to Next.
    const auto typeInto = [&window](QWidget *edit, const QString &text) {
        for (int tabs = 0; tabs < 20 && window.focusWidget() != edit; ++tabs)
            QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
        QCOMPARE(window.focusWidget(), edit);
        QTest::keyClicks(edit, text);
        for (int tabs = 0; tabs < 20 && FocusName(window) != QLatin1String("btnNext"); ++tabs)
            QTest::keyClick(window.focusWidget(), Qt::Key_Tab);
        QCOMPARE(FocusName(window), QStringLiteral("btnNext"));
    };
    for (const QString &expected : std::as_const(pages)) {
        QWidget *const page = window.pagScreens->currentWidget();
        if (page == window.tabLocalSource || page == window.tabRemoteSource) {
            // A refused folder: the box goes, and the focus is back on
            // Next, not on whatever the held buttons pushed it to.
            TRzButtonEdit *edit =
                page == window.tabLocalSource ? window.edtCurrentDir : window.edtRemoteDir;
            edit->setText(QFile::decodeName(install.root()));
            const auto box = AnswerNextBoxWithKey(Qt::Key_Return);
            QTest::keyClick(window.focusWidget(), Qt::Key_Space);
            QVERIFY(box->seen);
            QCOMPARE(window.pagScreens->currentWidget(), page);
            QCOMPARE(FocusName(window), QStringLiteral("btnNext"));
            edit->clear();
            typeInto(edit, QFile::decodeName(install.dataFolder()));
        }
        if (page == window.tabTarget)
            typeInto(window.edtNewDir, QFile::decodeName(install.root() + "New"));
        QTest::keyClick(window.focusWidget(), Qt::Key_Space);
        QCOMPARE(window.pagScreens->currentWidget()->objectName(), expected);
        QCOMPARE(FocusName(window), expected == QLatin1String("tabCompleted")
                                        ? QStringLiteral("btnExit")
                                        : QStringLiteral("btnNext"));
        if (expected == QLatin1String("tabMove")) {
            QCOMPARE(window.lblStatus->text(), QStringLiteral("Copy completed."));
            QCOMPARE(window.btnNext->accessibleDescription(), CopiedNextDescription());
        } else {
            QCOMPARE(window.btnNext->accessibleDescription(), NextDescription());
        }
    }
    QVERIFY(QFile::exists(QFile::decodeName(install.root() + "New/Messages.dat")));

    QTest::keyClick(window.focusWidget(), Qt::Key_Space);
    QVERIFY(!window.isVisible());
}

void tst_Accessibility::liveValues_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QString>("status");
    QTest::newRow("start") << 0 << 100 << "Checking the source...";
    QTest::newRow("half") << 50 << 100 << "Copying Quillbox.db";
    QTest::newRow("done") << 100 << 100 << "Copy completed.";
    QTest::newRow("beyond") << 150 << 150 << QString::fromUtf8("Unicode \u00e9 text");
}

// The bar's value and the status line follow the move while it runs.
void tst_Accessibility::liveValues()
{
    QFETCH(int, percent);
    QFETCH(int, maximum);
    QFETCH(QString, status);
    TfrmMain window(m_folder);
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(window.barProgress);
    QAccessibleInterface *line = QAccessible::queryAccessibleInterface(window.lblStatus);
    QCOMPARE(bar->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface *value = bar->valueInterface();
    QVERIFY(value);
    window.barProgress->SetPercent(percent);
    window.lblStatus->setText(status);
    QCOMPARE(value->currentValue().toInt(), percent);
    QCOMPARE(value->minimumValue().toInt(), 0);
    QCOMPARE(value->maximumValue().toInt(), maximum);
    QCOMPARE(bar->text(QAccessible::Value), QString::number(percent) + QLatin1Char('%'));
    QCOMPARE(line->text(QAccessible::Name), status);
    QVERIFY(!bar->text(QAccessible::Description).isEmpty());

    // A label's new document is what it reads from then on.
    window.lblContinue->SetRichText(QByteArrayLiteral("{\\rtf1 Click \\b Next\\b0 .\\par}"));
    QCOMPARE(QAccessible::queryAccessibleInterface(window.lblContinue)->text(QAccessible::Name),
             QStringLiteral("Click Next."));
}

void tst_Accessibility::withoutMnemonic_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "Cancel"
                           << "Cancel";
    QTest::newRow("first") << "&Next"
                           << "Next";
    QTest::newRow("inside") << "Sa&ve as"
                            << "Save as";
    QTest::newRow("doubled") << "A && B"
                             << "A & B";
    QTest::newRow("trailing") << "End&"
                              << "End";
    QTest::newRow("empty") << ""
                           << "";
}

void tst_Accessibility::withoutMnemonic()
{
    QFETCH(QString, caption);
    QFETCH(QString, text);
    QCOMPARE(Accessibility::WithoutMnemonic(caption), text);
}

QTEST_MAIN(tst_Accessibility)
#include "tst_WizardAccessibility.moc"
