// What screen readers learn about the wizard, the About box and the folder
// dialog, read back through Qt's accessibility interfaces.

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

#include <QAccessible>
#include <QLabel>
#include <QStackedWidget>
#include <QTabWidget>
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
    // The browse button inside a button edit says what it does.
    if (auto *edit = qobject_cast<TRzButtonEdit *>(control)) {
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(edit->Button());
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Browse"));
        QVERIFY(!button->text(QAccessible::Description).isEmpty());
        QCOMPARE(button->role(), QAccessible::Button);
    }
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
        if (iface->role() == QAccessible::PageTab) {
            ++tabs;
            if (QAccessibleActionInterface *actions = iface->actionInterface())
                for (const QString &action : actions->actionNames())
                    actions->doAction(action);
        }
        for (int index = 0; index < iface->childCount(); ++index)
            walk(iface->child(index), depth + 1);
    };
    walk(QAccessible::queryAccessibleInterface(&window), 0);
    QCOMPARE(tabs, 0);
    QCOMPARE(window.pagScreens->currentWidget(), page);
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
