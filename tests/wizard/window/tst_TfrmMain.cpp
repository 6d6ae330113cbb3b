// The wizard window driven as a user drives it: buttons pressed with the
// mouse, message boxes answered by their buttons or keys.

#include "ModalAnswer.h"
#include "StagedInstall.h"
#include "TestDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"
#include "fileutil/FileUtil.h"
#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/buttonedit/TRzControlButton.h"
#include "widgets/progressbar/TRzProgressBar.h"
#include "widgets/richtext/TRTFLabel.h"
#include "widgets/shell/TRzSelectFolderDialog.h"
#include "widgets/shell/TRzSelectFolderForm.h"
#include "widgets/shell/TRzShellTree.h"
#include "wizard/move/MoveJournal.h"
#include "wizard/window/TfrmMain.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QByteArray StandardSettings = "; Quillbox settings\r\n"
                                    "[Settings]\r\n"
                                    "DataDirectory=%DATA%\r\n"
                                    "ConnectionMode=%MODE%\r\n"
                                    "\r\n"
                                    "[Server]\r\n"
                                    "ServerIP=10.1.2.3\r\n"
                                    "AdminPort=0x10\r\n";

// The smallest rectangle holding every pixel in which two pictures differ.
QRect Difference(const QImage &one, const QImage &other)
{
    QRect box;
    for (int y = 0; y < one.height(); ++y) {
        for (int x = 0; x < one.width(); ++x) {
            if (one.pixel(x, y) != other.pixel(x, y))
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}
} // namespace

class tst_TfrmMain : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StagedInstall> m_install;
    std::unique_ptr<TfrmMain> m_window;

    QByteArray settings(int mode) const
    {
        QByteArray text = StandardSettings;
        text.replace("%DATA%", m_install->dataFolder().chopped(1));
        text.replace("%MODE%", QByteArray::number(mode));
        return text;
    }
    void start()
    {
        m_window = std::make_unique<TfrmMain>(m_install->programFolder());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }
    void click(QPushButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
    QWidget *page() const { return m_window->pagScreens->currentWidget(); }
    QString buttons() const
    {
        // Previous, Next, Exit as "PNE" with lower case for disabled.
        QString state;
        state += m_window->btnPrevious->isEnabled() ? u'P' : u'p';
        state += m_window->btnNext->isEnabled() ? u'N' : u'n';
        state += m_window->btnExit->isEnabled() ? u'E' : u'e';
        return state;
    }
    // Walks from Welcome to the page of the given name in the given mode.
    void walkTo(const QString &pageName, int mode);

private Q_SLOTS:
    void init();
    void cleanup();

    void welcomePageTestsForSettingsFile_data();
    void welcomePageTestsForSettingsFile();
    void welcomeRepeatsTestWhenGoingBack();
    void tabsAreHiddenAfterActivation();
    void welcomeTestRunsWithoutActivation();
    void welcomeTextShowsWholeLinesAboveWarning();
    void startStateOfControls();
    void buttonPicturesSitAtTheLeft_data();
    void buttonPicturesSitAtTheLeft();
    void connectionModeIsFlat_data();
    void connectionModeIsFlat();
    void connectionModeListDropsWith13PixelItems();

    void localWalkWritesNewFolder();
    void remoteWalkLeavesSettingsUnchanged();

    void nextChecks_data();
    void nextChecks();
    void nextOnConnectionWithoutModeDoesNothing();

    void previousTable_data();
    void previousTable();
    void noSecondMoveOnceTheSettingsChanged();
    void journalAtTheEnd_data();
    void journalAtTheEnd();
    void previousToOtherSourcePageKeepsEdits();

    void cancelConfirmation_data();
    void cancelConfirmation();
    void exitAndCloseBoxEndAtOnce();

    void settingsSeeding_data();
    void settingsSeeding();
    void userEntriesSurviveReload();
    void browseButtons_data();
    void browseButtons();
    void settingsWriteFailureIsReported();
};

void tst_TfrmMain::init()
{
    // No dispatcher: the client switches itself off, as on most desktops,
    // without looking at this machine's own dispatcher settings.
    ObjectManager()->SetPlatform(std::make_shared<TestDispatcherPlatform>());
    m_install = std::make_unique<StagedInstall>();
    QVERIFY(m_install->isValid());
    m_install->writeFile(m_install->dataFolder() + "Messages.dat", "mail");
}

void tst_TfrmMain::cleanup()
{
    m_window.reset();
    m_install.reset();
    QVERIFY(OnlyTheseWindowsOpen({}));
}

void tst_TfrmMain::walkTo(const QString &pageName, int mode)
{
    m_install->writeSettings(settings(mode));
    start();
    const QStringList path =
        mode == 0 ? QStringList{"tabWelcome", "tabConnection", "tabLocalSource", "tabTarget",
                                "tabReady",   "tabMove",       "tabCompleted"}
                  : QStringList{"tabWelcome", "tabConnection", "tabRemoteSource", "tabTarget",
                                "tabReady",   "tabMove",       "tabServerUpdate", "tabCompleted"};
    for (const QString &step : path) {
        if (page()->objectName() == pageName)
            return;
        if (page() == m_window->tabRemoteSource && m_window->edtRemoteDir->text().isEmpty())
            m_window->edtRemoteDir->setText(QFile::decodeName(m_install->dataFolder()));
        if (page() == m_window->tabTarget && m_window->edtNewDir->text().isEmpty())
            m_window->edtNewDir->setText(QFile::decodeName(m_install->root() + "New"));
        QCOMPARE(page()->objectName(), step);
        click(m_window->btnNext);
    }
    QCOMPARE(page()->objectName(), pageName);
}

void tst_TfrmMain::welcomePageTestsForSettingsFile_data()
{
    QTest::addColumn<QByteArray>("fileName");
    QTest::addColumn<bool>("asFolder");
    QTest::addColumn<bool>("found");

    QTest::newRow("as written") << QByteArray("Quillbox.ini") << false << true;
    QTest::newRow("upper case") << QByteArray("QUILLBOX.INI") << false << true;
    QTest::newRow("lower case") << QByteArray("quillbox.ini") << false << true;
    QTest::newRow("missing") << QByteArray() << false << false;
    QTest::newRow("other name") << QByteArray("Quillbox.ini.bak") << false << false;
    QTest::newRow("folder of that name") << QByteArray("QUILLBOX.INI") << true << false;
}

void tst_TfrmMain::welcomePageTestsForSettingsFile()
{
    QFETCH(QByteArray, fileName);
    QFETCH(bool, asFolder);
    QFETCH(bool, found);

    if (asFolder)
        QVERIFY(::mkdir(QByteArray(m_install->programFolder() + fileName).constData(), 0755) == 0);
    else if (!fileName.isEmpty())
        m_install->writeSettings(settings(0), fileName);
    start();

    QCOMPARE(page(), m_window->tabWelcome);
    QCOMPARE(m_window->btnNext->isEnabled(), found);
    QCOMPARE(m_window->pnlNoIni->isVisible(), !found);
    QCOMPARE(buttons(), found ? QStringLiteral("pNe") : QStringLiteral("pne"));
    QVERIFY(m_window->btnCancel->isEnabled());
    QVERIFY(m_window->btnAbout->isEnabled());
}

void tst_TfrmMain::welcomeRepeatsTestWhenGoingBack()
{
    m_install->writeSettings(settings(0), "QUILLBOX.INI");
    start();
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabConnection);
    // Loading reached the same file under its stored name.
    QCOMPARE(m_window->edtCurrentDir->text(),
             QFile::decodeName(m_install->dataFolder().chopped(1)));

    QVERIFY(::unlink(QByteArray(m_install->programFolder() + "QUILLBOX.INI").constData()) == 0);
    click(m_window->btnPrevious);
    QCOMPARE(page(), m_window->tabWelcome);
    QVERIFY(!m_window->btnNext->isEnabled());
    QVERIFY(m_window->pnlNoIni->isVisible());
}

void tst_TfrmMain::tabsAreHiddenAfterActivation()
{
    m_install->writeSettings(settings(0));
    start();
    QVERIFY(!m_window->pagScreens->tabBar()->isVisible());
    for (int index = 0; index < m_window->pagScreens->count(); ++index)
        QVERIFY(!m_window->pagScreens->isTabVisible(index));
    // Every page is still reachable by the buttons, and a second activation
    // (a box closed, another program in front) does not fall back.
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabConnection);
    m_window->activateWindow();
    QApplication::setActiveWindow(nullptr);
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    QCOMPARE(page(), m_window->tabConnection);
}

void tst_TfrmMain::welcomeTestRunsWithoutActivation()
{
    // Shown behind another window, never activated: the settings file is
    // missing, so Next must not be usable.
    struct SwallowActivation : QObject
    {
        bool eventFilter(QObject *, QEvent *event) override
        {
            return event->type() == QEvent::WindowActivate;
        }
    } swallow;
    m_window = std::make_unique<TfrmMain>(m_install->programFolder());
    m_window->installEventFilter(&swallow);
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QTRY_VERIFY(!m_window->btnNext->isEnabled());
    QVERIFY(m_window->pnlNoIni->isVisible());
    QVERIFY(!m_window->pagScreens->tabBar()->isVisible());
    m_window->removeEventFilter(&swallow);
}

// The last line of the Welcome text holds the blue "Next": shown whole with
// the settings file; without it, the warning panel takes its place and not
// a sliver of it peeks out above the panel.
void tst_TfrmMain::welcomeTextShowsWholeLinesAboveWarning()
{
    m_install->writeSettings(settings(0));
    start();
    QVERIFY(!m_window->pnlNoIni->isVisible());
    const QImage whole = m_window->tabWelcome->grab().toImage();
    QVERIFY(::unlink(m_install->settingsFile().constData()) == 0);
    m_window->ShowWelcomePage();
    QVERIFY(m_window->pnlNoIni->isVisible());
    const QImage cut = m_window->tabWelcome->grab().toImage();

    const auto blue = [](QRgb pixel) {
        return qBlue(pixel) > qRed(pixel) + 64 && qBlue(pixel) > qGreen(pixel) + 64;
    };
    const QRect label = m_window->findChild<QWidget *>(QStringLiteral("RTFLabel1"))->geometry();
    // Above the panel each row is the row of the whole text, or blank, and
    // the last line is blank.
    const QRgb white = QColor(Qt::white).rgb();
    int blankedRows = 0;
    for (int y = label.top(); y < m_window->pnlNoIni->y(); ++y) {
        bool same = true, blank = true;
        for (int x = label.left(); x <= label.right(); ++x) {
            QVERIFY2(!blue(cut.pixel(x, y)), qPrintable(QStringLiteral("row %1").arg(y)));
            same = same && cut.pixel(x, y) == whole.pixel(x, y);
            blank = blank && cut.pixel(x, y) == white;
        }
        QVERIFY2(same || blank, qPrintable(QStringLiteral("row %1").arg(y)));
        blankedRows += blank && !same;
    }
    QVERIFY(blankedRows > 0);
}

void tst_TfrmMain::startStateOfControls()
{
    m_install->writeSettings(settings(0));
    m_window = std::make_unique<TfrmMain>(m_install->programFolder());
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Flitto"));
    QCOMPARE(m_window->size(), QSize(574, 335));
    QCOMPARE(m_window->pagScreens->count(), 9);
    const QStringList captions = {"Welcome",       "Connection",    "Local Source",
                                  "Remote Source", "Target",        "Ready",
                                  "Move",          "Server Update", "Completed"};
    for (int index = 0; index < captions.size(); ++index)
        QCOMPARE(m_window->pagScreens->tabText(index), captions.at(index));
    QCOMPARE(m_window->comConnectionMode->currentIndex(), -1);
    QCOMPARE(m_window->comConnectionMode->itemText(0),
             QStringLiteral("Local Mode (Quillbox connects directly)"));
    QCOMPARE(m_window->comConnectionMode->itemText(1),
             QStringLiteral("Remote Mode (Quillbox connects via server)"));
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Ready."));
    // The design's faces resolve to Liberation Sans at their point sizes.
    const QFontInfo windowFont(m_window->lblStatus->font());
    QCOMPARE(windowFont.family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(windowFont.pointSize(), 8);
    const QFontInfo heading(m_window->findChild<QLabel *>(QStringLiteral("RzLabel4"))->font());
    QCOMPARE(heading.family(), QStringLiteral("Liberation Sans"));
    QCOMPARE(heading.pointSize(), 10);
    QVERIFY(heading.bold());
    QVERIFY(!m_window->lblContinue->isVisibleTo(m_window->tabMove));
    QCOMPARE(buttons(), QStringLiteral("pNe"));

    // Tab order follows the button bar from left to right.
    QList<QPushButton *> order = {m_window->btnAbout, m_window->btnPrevious, m_window->btnNext,
                                  m_window->btnCancel, m_window->btnExit};
    for (int index = 0; index + 1 < order.size(); ++index)
        QCOMPARE(order.at(index)->nextInFocusChain(), order.at(index + 1));
}

void tst_TfrmMain::buttonPicturesSitAtTheLeft_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name : {"btnAbout", "btnPrevious", "btnNext", "btnCancel", "btnExit"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// The picture 2 pixels from the button's left edge, the caption 4 pixels
// after the picture's 16 columns: drawn, not centred as a group.
void tst_TfrmMain::buttonPicturesSitAtTheLeft()
{
    QFETCH(QString, name);

    m_window = std::make_unique<TfrmMain>(m_install->programFolder());
    auto *button = m_window->findChild<QPushButton *>(name);
    QVERIFY(button);
    const QIcon picture = button->icon();
    const QString caption = button->text();
    QPixmap clear(16, 16);
    clear.fill(Qt::transparent);
    button->setIcon(QIcon(clear));
    const QImage bare = button->grab().toImage();
    button->setText(QString());
    const QImage empty = button->grab().toImage();
    button->setText(caption);
    button->setIcon(picture);
    const QImage full = button->grab().toImage();

    const QRect drawnPicture = Difference(full, bare);
    QVERIFY(!drawnPicture.isEmpty());
    QVERIFY2(
        drawnPicture.left() >= 2 && drawnPicture.right() < 2 + 16,
        qPrintable(QStringLiteral("%1 to %2").arg(drawnPicture.left()).arg(drawnPicture.right())));
    const QRect drawnCaption = Difference(bare, empty);
    QVERIFY2(drawnCaption.left() >= 22 && drawnCaption.left() <= 24,
             qPrintable(QString::number(drawnCaption.left())));
}

void tst_TfrmMain::connectionModeIsFlat_data()
{
    QTest::addColumn<QRect>("area");
    QTest::addColumn<int>("colours"); // 0: all in the frame colour

    QTest::newRow("left column") << QRect(0, 0, 1, 21) << 0;
    QTest::newRow("top row") << QRect(0, 0, 257, 1) << 0;
    QTest::newRow("right column") << QRect(256, 0, 1, 21) << 0;
    QTest::newRow("bottom row") << QRect(0, 20, 257, 1) << 0;
    // A face and its arrow, no shading.
    QTest::newRow("drop-down button") << QRect(238, 2, 17, 17) << 2;
}

void tst_TfrmMain::connectionModeIsFlat()
{
    QFETCH(QRect, area);
    QFETCH(int, colours);

    m_window = std::make_unique<TfrmMain>(m_install->programFolder());
    QComboBox *combo = m_window->comConnectionMode;
    combo->setCurrentIndex(0);
    const QImage image = combo->grab().toImage();
    QCOMPARE(image.size(), QSize(257, 21));
    QSet<QRgb> seen;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            seen.insert(image.pixel(x, y));
    }
    if (colours == 0)
        QCOMPARE(seen, QSet<QRgb>{combo->palette().color(QPalette::Dark).rgb()});
    else
        QCOMPARE(seen.size(), colours);
}

void tst_TfrmMain::connectionModeListDropsWith13PixelItems()
{
    walkTo(QStringLiteral("tabConnection"), 0);
    QComboBox *combo = m_window->comConnectionMode;
    combo->showPopup();
    QAbstractItemView *list = combo->view();
    QVERIFY(QTest::qWaitForWindowExposed(list->window()));
    QCOMPARE(list->currentIndex().row(), 0);
    QCOMPARE(list->window()->pos(), combo->mapToGlobal(QPoint(0, combo->height())));
    // The current item is drawn in the (blue) highlight, shaded or not: its
    // band is the item's height.
    const QImage image = list->viewport()->grab().toImage();
    int rows = 0;
    for (int y = 0; y < image.height(); ++y) {
        const QRgb pixel = image.pixel(image.width() - 2, y);
        rows += qBlue(pixel) > qRed(pixel) + 64;
    }
    combo->hidePopup();
    QCOMPARE(rows, 13);
}

void tst_TfrmMain::localWalkWritesNewFolder()
{
    walkTo(QStringLiteral("tabReady"), 0);
    QCOMPARE(buttons(), QStringLiteral("PNe"));
    QCOMPARE(m_window->lblCopyFrom->text(), QFile::decodeName(m_install->dataFolder().chopped(1)));
    QCOMPARE(m_window->lblCopyTo->text(), QFile::decodeName(m_install->root() + "New"));

    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabMove);
    QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Copy completed."));
    QVERIFY(m_window->lblContinue->isVisible());
    QCOMPARE(buttons(), QStringLiteral("PNe"));
    QCOMPARE(StagedInstall::readFile(m_install->root() + "New/Messages.dat"), QByteArray("mail"));

    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabCompleted);
    QCOMPARE(buttons(), QStringLiteral("PnE"));
    // Next wrote the new folder; what else the write keeps is the engine's.
    const QByteArray entry = "\r\nDataDirectory=" + m_install->root() + "New\r\n";
    QVERIFY(StagedInstall::readFile(m_install->settingsFile()).contains(entry));

    click(m_window->btnExit);
    QVERIFY(!m_window->isVisible());
}

void tst_TfrmMain::remoteWalkLeavesSettingsUnchanged()
{
    walkTo(QStringLiteral("tabRemoteSource"), 1);
    QCOMPARE(m_window->comConnectionMode->currentIndex(), 1);
    QVERIFY(m_window->edtRemoteDir->text().isEmpty());
    m_window->edtRemoteDir->setText(QFile::decodeName(m_install->dataFolder()));
    click(m_window->btnNext);
    m_window->edtNewDir->setText(QFile::decodeName(m_install->root() + "Remote/New/"));
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabReady);
    // "Copy from:" shows the folder typed on the Remote Source page.
    QCOMPARE(m_window->lblCopyFrom->text(), QFile::decodeName(m_install->dataFolder()));

    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabMove);
    QCOMPARE(StagedInstall::readFile(m_install->root() + "Remote/New/Messages.dat"),
             QByteArray("mail"));
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabServerUpdate);
    QCOMPARE(buttons(), QStringLiteral("PNe"));
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabCompleted);
    QCOMPARE(buttons(), QStringLiteral("PnE"));
    QCOMPARE(StagedInstall::readFile(m_install->settingsFile()), settings(1));
}

void tst_TfrmMain::nextChecks_data()
{
    QTest::addColumn<QString>("pageName");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text"); // "%DATA%" stands for the data folder
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("nextPage");

    const QString noLocation =
        QStringLiteral("You have not specified the current location of the database!");
    const QString noFiles =
        QStringLiteral("There are no database files in the location you specified!");
    const QString noTarget =
        QStringLiteral("You have not specified where to move the database to!");
    for (int mode : {0, 1}) {
        const QString source = mode == 0 ? "tabLocalSource" : "tabRemoteSource";
        const QByteArray tag = mode == 0 ? "local " : "remote ";
        QTest::newRow(QByteArray(tag + "empty").constData())
            << source << mode << "" << noLocation << source;
        QTest::newRow(QByteArray(tag + "blanks").constData())
            << source << mode << "   " << noFiles << source;
        QTest::newRow(QByteArray(tag + "no marker").constData())
            << source << mode << "%ROOT%" << noFiles << source;
        QTest::newRow(QByteArray(tag + "missing folder").constData())
            << source << mode << "%ROOT%nowhere" << noFiles << source;
        QTest::newRow(QByteArray(tag + "database").constData()) << source << mode << "%DATA%"
                                                                << ""
                                                                << "tabTarget";
        QTest::newRow(QByteArray(tag + "database with slash").constData())
            << source << mode << "%DATA%/"
            << ""
            << "tabTarget";
    }
    QTest::newRow("target empty") << "tabTarget" << 0 << "" << noTarget << "tabTarget";
    QTest::newRow("target blanks") << "tabTarget" << 0 << " "
                                   << ""
                                   << "tabReady";
    QTest::newRow("target missing folder") << "tabTarget" << 1 << "%ROOT%a/b/c"
                                           << ""
                                           << "tabReady";
}

void tst_TfrmMain::nextChecks()
{
    QFETCH(QString, pageName);
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, nextPage);

    walkTo(pageName, mode);
    text.replace(QStringLiteral("%DATA%"), QFile::decodeName(m_install->dataFolder().chopped(1)));
    text.replace(QStringLiteral("%ROOT%"), QFile::decodeName(m_install->root()));
    auto *edit = page()->findChild<TRzButtonEdit *>();
    QVERIFY(edit);
    edit->setText(text);
    const QString before = buttons();

    std::shared_ptr<SeenBox> box;
    if (!message.isEmpty())
        box = AnswerNextBox(QStringLiteral("OK"));
    click(m_window->btnNext);

    QCOMPARE(page()->objectName(), nextPage);
    if (box) {
        QVERIFY(box->seen);
        QCOMPARE(box->title, QStringLiteral("Error"));
        QCOMPARE(box->icon, QMessageBox::Critical);
        QCOMPARE(box->text, message);
        QCOMPARE(box->buttons, QStringList{QStringLiteral("OK")});
        QCOMPARE(box->defaultButton, QStringLiteral("OK"));
        QCOMPARE(box->escapeButton, QStringLiteral("OK"));
        QCOMPARE(buttons(), before);
        QCOMPARE(edit->text(), text);
    }
}

void tst_TfrmMain::nextOnConnectionWithoutModeDoesNothing()
{
    m_install->writeSettings(settings(2));
    start();
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabConnection);
    QCOMPARE(m_window->comConnectionMode->currentIndex(), -1);
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabConnection);
    QVERIFY(OnlyTheseWindowsOpen({m_window.get()}));

    m_window->comConnectionMode->setCurrentIndex(1);
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabRemoteSource);
}

void tst_TfrmMain::previousTable_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("buttonsAfter");
    // What the data folder's Messages.dat holds when Previous is pressed
    // (null: it is gone), and what the new folder's copy holds afterwards.
    QTest::addColumn<QByteArray>("dataFile");
    QTest::addColumn<QByteArray>("newFile");
    QTest::addColumn<QString>("refusal");

    const QByteArray newer = "newer mail";
    QTest::newRow("connection") << "tabConnection" << 0 << "tabWelcome"
                                << "pNe" << newer << QByteArray() << "";
    QTest::newRow("local source") << "tabLocalSource" << 0 << "tabConnection"
                                  << "PNe" << newer << QByteArray() << "";
    QTest::newRow("remote source") << "tabRemoteSource" << 1 << "tabConnection"
                                   << "PNe" << newer << QByteArray() << "";
    QTest::newRow("target local") << "tabTarget" << 0 << "tabLocalSource"
                                  << "PNe" << newer << QByteArray() << "";
    QTest::newRow("target remote") << "tabTarget" << 1 << "tabRemoteSource"
                                   << "PNe" << newer << QByteArray() << "";
    QTest::newRow("ready") << "tabReady" << 0 << "tabTarget"
                           << "PNe" << newer << QByteArray() << "";
    QTest::newRow("move") << "tabMove" << 0 << "tabReady"
                          << "PNe" << newer << QByteArray() << "";
    // Back to the Move page copies again, after the checks.
    QTest::newRow("server update") << "tabServerUpdate" << 1 << "tabMove"
                                   << "PNe" << newer << newer << "";
    QTest::newRow("server update, database gone")
        << "tabServerUpdate" << 1 << "tabServerUpdate"
        << "PNe" << QByteArray() << QByteArray("mail")
        << "There are no database files in the location you specified! (%DATA%)";
    // Quillbox.ini names the new folder: it is the database now, and the old
    // files must not overwrite it.
    QTest::newRow("completed local") << "tabCompleted" << 0 << "tabMove"
                                     << "PNe" << newer << QByteArray("mail") << "";
    QTest::newRow("completed remote") << "tabCompleted" << 1 << "tabServerUpdate"
                                      << "PNe" << newer << QByteArray() << "";
}

void tst_TfrmMain::previousTable()
{
    QFETCH(QString, from);
    QFETCH(int, mode);
    QFETCH(QString, to);
    QFETCH(QString, buttonsAfter);
    QFETCH(QByteArray, dataFile);
    QFETCH(QByteArray, newFile);
    QFETCH(QString, refusal);

    walkTo(from, mode);
    // A copy made by going back shows in the new folder.
    const QByteArray data = m_install->dataFolder() + "Messages.dat";
    if (dataFile.isNull())
        QVERIFY(::unlink(data.constData()) == 0);
    else
        m_install->writeFile(data, dataFile);
    std::shared_ptr<SeenBox> box = AnswerNextBox(QStringLiteral("OK"));
    click(m_window->btnPrevious);
    box->cancelled = true;
    refusal.replace(QStringLiteral("%DATA%"), QFile::decodeName(m_install->dataFolder()));
    QCOMPARE(box->seen ? box->text : QString(), refusal);
    QCOMPARE(page()->objectName(), to);
    QCOMPARE(buttons(), buttonsAfter);
    if (!newFile.isNull())
        QCOMPARE(StagedInstall::readFile(m_install->root() + "New/Messages.dat"), newFile);
    if (to == QStringLiteral("tabMove")) {
        QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Copy completed."));
        QVERIFY(m_window->lblContinue->isVisible());
        QCOMPARE(m_window->barProgress->Percent(), 100);
    }
}

void tst_TfrmMain::noSecondMoveOnceTheSettingsChanged()
{
    // Quillbox.ini names the new folder now: going back to the Ready page
    // and on again must not copy the old files over the live database.
    walkTo(QStringLiteral("tabCompleted"), 0);
    m_install->writeFile(m_install->dataFolder() + "Messages.dat", "stale");
    click(m_window->btnPrevious);
    click(m_window->btnPrevious);
    QCOMPARE(page(), m_window->tabReady);
    std::shared_ptr<SeenBox> box = AnswerNextBox(QStringLiteral("OK"));
    click(m_window->btnNext);
    QVERIFY(box->seen);
    QVERIFY2(box->text.contains(QStringLiteral("changed since Flitto read it")),
             qPrintable(box->text));
    QCOMPARE(page(), m_window->tabReady);
    QCOMPARE(StagedInstall::readFile(m_install->root() + "New/Messages.dat"), QByteArray("mail"));
}

void tst_TfrmMain::journalAtTheEnd_data()
{
    QTest::addColumn<QString>("lastPage");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("kept"); // the next run goes on with the new folder
    QTest::newRow("local, settings written") << "tabCompleted" << 0 << false;
    QTest::newRow("remote, gone on to the server") << "tabCompleted" << 1 << false;
    QTest::newRow("remote, closed after the copy") << "tabMove" << 1 << true;
}

void tst_TfrmMain::journalAtTheEnd()
{
    QFETCH(QString, lastPage);
    QFETCH(int, mode);
    QFETCH(bool, kept);
    walkTo(lastPage, mode);
    m_window.reset();
    const QByteArray journal = m_install->root() + "New/" + MoveJournal::FileName();
    QCOMPARE(FileUtil::IsExistingFile(journal), kept);
}

void tst_TfrmMain::previousToOtherSourcePageKeepsEdits()
{
    walkTo(QStringLiteral("tabTarget"), 0);
    const QString local = m_window->edtCurrentDir->text();
    click(m_window->btnPrevious);
    click(m_window->btnPrevious);
    QCOMPARE(page(), m_window->tabConnection);
    m_window->comConnectionMode->setCurrentIndex(1);
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabRemoteSource);
    m_window->edtRemoteDir->setText(QFile::decodeName(m_install->dataFolder()));
    click(m_window->btnNext);
    click(m_window->btnPrevious);
    QCOMPARE(page(), m_window->tabRemoteSource);
    QCOMPARE(m_window->edtRemoteDir->text(), QFile::decodeName(m_install->dataFolder()));
    QCOMPARE(m_window->edtCurrentDir->text(), local);
}

void tst_TfrmMain::cancelConfirmation_data()
{
    QTest::addColumn<QString>("answer"); // a button text, or "Escape", "Enter", "close"
    QTest::addColumn<bool>("ends");

    QTest::newRow("yes") << "&Yes" << true;
    QTest::newRow("no") << "&No" << false;
    QTest::newRow("escape") << "Escape" << false;
    QTest::newRow("enter") << "Enter" << true;
    QTest::newRow("close box") << "close" << false;
}

void tst_TfrmMain::cancelConfirmation()
{
    QFETCH(QString, answer);
    QFETCH(bool, ends);

    walkTo(QStringLiteral("tabTarget"), 0);
    const QString before = buttons();
    std::shared_ptr<SeenBox> box;
    if (answer == QStringLiteral("Escape"))
        box = AnswerNextBoxWithKey(Qt::Key_Escape);
    else if (answer == QStringLiteral("Enter"))
        box = AnswerNextBoxWithKey(Qt::Key_Return);
    else if (answer == QStringLiteral("close"))
        box = CloseNextBox();
    else
        box = AnswerNextBox(answer);
    click(m_window->btnCancel);

    QVERIFY(box->seen);
    QCOMPARE(box->title, QStringLiteral("Confirm"));
    QCOMPARE(box->icon, QMessageBox::Question);
    QCOMPARE(box->text, QStringLiteral("Are you sure you want to cancel?"));
    QCOMPARE(box->buttons, (QStringList{QStringLiteral("&Yes"), QStringLiteral("&No")}));
    QCOMPARE(box->defaultButton, QStringLiteral("&Yes"));
    QCOMPARE(box->escapeButton, QStringLiteral("&No"));
    QCOMPARE(m_window->isVisible(), !ends);
    if (!ends) {
        QCOMPARE(page(), m_window->tabTarget);
        QCOMPARE(buttons(), before);
    }
}

void tst_TfrmMain::exitAndCloseBoxEndAtOnce()
{
    walkTo(QStringLiteral("tabConnection"), 0);
    // The close box asks nothing, on any page.
    m_window->close();
    QVERIFY(!m_window->isVisible());
    QVERIFY(OnlyTheseWindowsOpen({}));
}

void tst_TfrmMain::settingsSeeding_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QByteArray>("serverIP");
    QTest::addColumn<int>("adminPort");

    QTest::newRow("remote with folder")
        << QByteArray("[Settings]\nConnectionMode=1\nDataDirectory=/srv/Data\n") << 1 << "/srv/Data"
        << QByteArray() << 12006;
    QTest::newRow("mode 2 selects nothing")
        << QByteArray("[Settings]\nConnectionMode=2\n") << -1 << "" << QByteArray() << 12006;
    // A relative folder is Quillbox's, from the folder of Quillbox.ini (@/).
    QTest::newRow("mode missing, relative folder")
        << QByteArray("[Settings]\nDataDirectory=x\n") << 0 << "@/x" << QByteArray() << 12006;
    QTest::newRow("mode empty") << QByteArray("[Settings]\nConnectionMode=\n") << 0 << ""
                                << QByteArray() << 12006;
    QTest::newRow("mode not a number")
        << QByteArray("[settings]\nconnectionmode=remote\n") << 0 << "" << QByteArray() << 12006;
    QTest::newRow("hex mode") << QByteArray("[SETTINGS]\nCONNECTIONMODE=0x1\n") << 1 << ""
                              << QByteArray() << 12006;
    QTest::newRow("server values")
        << QByteArray("[Server]\n ServerIP = 10.0.0.9 \nAdminPort=0x10\n") << 0 << ""
        << QByteArray("10.0.0.9") << 16;
    QTest::newRow("empty file") << QByteArray() << 0 << "" << QByteArray() << 12006;
}

void tst_TfrmMain::settingsSeeding()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, mode);
    QFETCH(QString, edit);
    QFETCH(QByteArray, serverIP);
    QFETCH(int, adminPort);

    m_install->writeSettings(contents);
    start();
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabConnection);
    QCOMPARE(m_window->comConnectionMode->currentIndex(), mode);
    edit.replace(QStringLiteral("@/"), QFile::decodeName(m_install->programFolder()));
    QCOMPARE(m_window->edtCurrentDir->text(), edit);
    QCOMPARE(m_window->ServerIP, serverIP);
    QCOMPARE(m_window->AdminPort, adminPort);
}

void tst_TfrmMain::userEntriesSurviveReload()
{
    walkTo(QStringLiteral("tabLocalSource"), 0);
    m_window->edtCurrentDir->setText(QStringLiteral("/typed/by/user"));
    m_install->writeSettings("[Settings]\nDataDirectory=/changed\nConnectionMode=1\n");
    click(m_window->btnPrevious);
    QCOMPARE(page(), m_window->tabConnection);
    QCOMPARE(m_window->edtCurrentDir->text(), QStringLiteral("/typed/by/user"));
    QCOMPARE(m_window->comConnectionMode->currentIndex(), 0);
    QCOMPARE(m_window->DataDirectory, QByteArray("/changed"));

    // A cleared edit is filled again from the file.
    click(m_window->btnNext);
    m_window->edtCurrentDir->clear();
    click(m_window->btnPrevious);
    QCOMPARE(m_window->edtCurrentDir->text(), QStringLiteral("/changed"));
}

void tst_TfrmMain::browseButtons_data()
{
    QTest::addColumn<QString>("pageName");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("before");   // the edit's text; %ROOT% is the staging root
    QTest::addColumn<QString>("keys");     // what the user types in the dialog
    QTest::addColumn<QString>("expected"); // the edit's text afterwards

    // The source edits start at their own text, else at the program folder.
    QTest::newRow("local, kept") << "tabLocalSource" << 0 << "%ROOT%Data"
                                 << "Return"
                                 << "%ROOT%Data";
    QTest::newRow("local, next folder") << "tabLocalSource" << 0 << "%ROOT%Data"
                                        << "Down Return"
                                        << "%ROOT%Quillbox";
    QTest::newRow("local, cancelled") << "tabLocalSource" << 0 << "%ROOT%Data"
                                      << "Down Escape"
                                      << "%ROOT%Data";
    QTest::newRow("remote, program folder") << "tabRemoteSource" << 1 << ""
                                            << "Return"
                                            << "%ROOT%Quillbox";
    // The new folder's edit starts at the current data folder when empty.
    QTest::newRow("new, from data folder") << "tabTarget" << 0 << ""
                                           << "Down Return"
                                           << "%ROOT%Quillbox";
    QTest::newRow("new, own text") << "tabTarget" << 0 << "%ROOT%Quillbox"
                                   << "Up Return"
                                   << "%ROOT%Data";
    QTest::newRow("new, cancelled") << "tabTarget" << 0 << "%ROOT%typed"
                                    << "Escape"
                                    << "%ROOT%typed";
}

void tst_TfrmMain::browseButtons()
{
    QFETCH(QString, pageName);
    QFETCH(int, mode);
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, expected);
    const QString root = QFile::decodeName(m_install->root());
    before.replace(QStringLiteral("%ROOT%"), root);
    expected.replace(QStringLiteral("%ROOT%"), root);

    walkTo(pageName, mode);
    auto *edit = page()->findChild<TRzButtonEdit *>();
    QVERIFY(edit);
    edit->setText(before);
    auto *button = edit->findChild<TRzControlButton *>();
    QVERIFY(button && button->isVisible());

    bool shown = false;
    QTimer::singleShot(0, this, [&] {
        QTRY_VERIFY(QApplication::activeModalWidget() != nullptr);
        auto *form = qobject_cast<TRzSelectFolderForm *>(QApplication::activeModalWidget());
        QVERIFY(form);
        shown = true;
        for (const QString &key : keys.split(u' ')) {
            const Qt::Key code = key == QStringLiteral("Down")     ? Qt::Key_Down
                                 : key == QStringLiteral("Up")     ? Qt::Key_Up
                                 : key == QStringLiteral("Escape") ? Qt::Key_Escape
                                                                   : Qt::Key_Return;
            QTest::keyClick(form->ShellTree(), code);
        }
    });
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(shown);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(edit->text(), expected);
    QCOMPARE(page()->objectName(), pageName);
}

// Why the write fails, and that the file is left as it was, is the engine's;
// the window shows the failure before it says "moved": it stays on the Move
// page, and Next tries again.
void tst_TfrmMain::settingsWriteFailureIsReported()
{
    walkTo(QStringLiteral("tabMove"), 0);
    QVERIFY(::chmod(m_install->settingsFile().constData(), 0444) == 0);

    auto box = AnswerNextBox(QStringLiteral("OK"));
    click(m_window->btnNext);
    QVERIFY(box->seen);
    QCOMPARE(box->title, QStringLiteral("Flitto"));
    QCOMPARE(box->icon, QMessageBox::Critical);
    QCOMPARE(box->text, QStringLiteral("Unable to write to ") +
                            QFile::decodeName(m_install->settingsFile()) +
                            QStringLiteral(": Permission denied."));
    QCOMPARE(page(), m_window->tabMove);
    QCOMPARE(buttons(), QStringLiteral("PNe"));

    QVERIFY(::chmod(m_install->settingsFile().constData(), 0644) == 0);
    click(m_window->btnNext);
    QCOMPARE(page(), m_window->tabCompleted);
    QVERIFY(StagedInstall::readFile(m_install->settingsFile()).contains("New"));
}

QTEST_MAIN(tst_TfrmMain)
#include "tst_TfrmMain.moc"
