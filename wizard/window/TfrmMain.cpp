#include "wizard/window/TfrmMain.h"

#include "diag/TDezaZudi.h"
#include "fileutil/EStreamError.h"
#include "fileutil/Exception.h"
#include "fileutil/FileUtil.h"
#include "fileutil/FlagScope.h"
#include "widgets/buttonedit/TRzButtonEdit.h"
#include "widgets/look/Accessibility.h"
#include "widgets/look/FlatComboBox.h"
#include "widgets/look/MessageBoxes.h"
#include "widgets/look/PictureButton.h"
#include "widgets/look/RzGraphics.h"
#include "widgets/look/TRzBusyPointer.h"
#include "widgets/look/WindowFonts.h"
#include "widgets/progressbar/TRzProgressBar.h"
#include "widgets/richtext/TRTFLabel.h"
#include "widgets/shell/TRzSelectFolderDialog.h"
#include "wizard/notify/MoveNotifier.h"
#include "wizard/settings/Installation.h"
#include "wizard/settings/TRzRegIniFile.h"
#include "wizard/window/AsideThread.h"
#include "wizard/window/FlittoApplication.h"
#include "wizard/window/JpegImage.h"
#include "wizard/window/TfrmAbout.h"
#include "wizard/window/WindowThreadView.h"
#include "wizard/window/WizardAccessibility.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

// Outside any namespace: the macro declares the registration function in
// the scope it is used in.
static void InitResources()
{
    Q_INIT_RESOURCE(wizard);
}

namespace {

// Off unless asked for (QT_LOGGING_RULES="flitto.pages.info=true"): the
// real-window checks wait for these lines before each click, since on a
// loaded machine no fixed pause tells when the wizard is ready for it.
Q_LOGGING_CATEGORY(lcPages, "flitto.pages", QtWarningMsg)

void LogPage(const QWidget *page, const QPushButton *next)
{
    qCInfo(lcPages, "%s, Next %s", qPrintable(page->objectName()),
           next->isEnabled() ? "enabled" : "disabled");
}

// The status line of one copy run. Its text follows every file, but a
// screen shows some sixty pictures a second: drawing the line anew for each
// of thousands of small files costs more than copying them. So the text is
// always current, and it is drawn at once when a frame's time has passed
// since the last drawing, for the first file, and when the run ends in any
// way (a failed file's name is on screen with the error).
class StatusLine
{
public:
    explicit StatusLine(QLabel *label) : m_label(label)
    {
        m_label->setUpdatesEnabled(false);
        m_sinceDrawn.start();
    }
    ~StatusLine() { Draw(); }
    StatusLine(const StatusLine &) = delete;
    StatusLine &operator=(const StatusLine &) = delete;

    // force: drawn at once, even when the next text follows within a frame.
    void Show(const QString &text, bool force = false)
    {
        m_label->setText(text);
        if (force || m_first || m_sinceDrawn.elapsed() >= FrameMs) {
            m_first = false;
            Draw();
            m_label->setUpdatesEnabled(false);
        }
    }

private:
    static constexpr qint64 FrameMs = 16;

    void Draw()
    {
        m_label->setUpdatesEnabled(true);
        m_label->repaint();
        Accessibility::AnnounceStatus(m_label);
        m_sinceDrawn.restart();
    }

    QLabel *m_label;
    QElapsedTimer m_sinceDrawn;
    bool m_first = true;
};

// The button bar: white, with a one-pixel line along its top edge.
class ButtonBar : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        Rz::TFrameLook look;
        look.flat = palette().color(QPalette::Mid);
        look.flatSides = Qt::TopEdge;
        Rz::DrawFrame(painter, rect(), Rz::fsFlat, palette(), look);
    }
};

// A white panel with a flat, rounded one-pixel border.
class RoundedPanel : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        Rz::DrawRoundedFrame(painter, rect(), palette().color(QPalette::Mid), Qt::white, 4);
    }
};

// Ends a widget at the top of the panel below it while that panel shows, so
// no part of it peeks out above the panel; with the panel hidden the widget
// has its full height again.
class EndAbovePanel : public QObject
{
public:
    EndAbovePanel(QWidget *above, QWidget *panel)
        : QObject(panel), m_above(above), m_fullHeight(above->height())
    {
        panel->installEventFilter(this);
        Fit(panel);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
            Fit(static_cast<QWidget *>(watched));
        return false;
    }

private:
    void Fit(const QWidget *panel)
    {
        const int height =
            panel->isHidden() ? m_fullHeight : qMin(m_fullHeight, panel->y() - m_above->y());
        m_above->resize(m_above->width(), height);
    }

    QWidget *m_above;
    int m_fullHeight;
};

QFont WindowFont()
{
    QFont font(WindowFonts::SansSerif());
    font.setPointSize(8);
    return font;
}

QByteArray Document(const QString &name)
{
    QFile file(QStringLiteral(":/wizard/documents/") + name + QStringLiteral(".rtf"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QPixmap LoadPicture(const QString &path)
{
    if (!path.endsWith(QLatin1String(".jpg")))
        return QPixmap(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QPixmap();
    return QPixmap::fromImage(LoadJpegImage(file.readAll()));
}

// A picture of the window; on high-density screens its double-resolution
// form ("@2x"), so that it is not scaled up. Either way its size in the
// layout is the same.
QPixmap Picture(const QString &name)
{
    const QString path = QStringLiteral(":/wizard/") + name;
    if (qApp->devicePixelRatio() > 1) {
        QString dense = path;
        dense.insert(dense.lastIndexOf(QLatin1Char('.')), QLatin1String("@2x"));
        QPixmap pixmap = LoadPicture(dense);
        if (!pixmap.isNull()) {
            pixmap.setDevicePixelRatio(2);
            return pixmap;
        }
    }
    return LoadPicture(path);
}

// A button picture with its disabled form: the file holds both, side by
// side, normal on the left.
QIcon TwoStateIcon(const QString &name)
{
    const QPixmap both = Picture(name);
    const int half = both.width() / 2;
    QIcon icon;
    icon.addPixmap(both.copy(0, 0, half, both.height()), QIcon::Normal);
    icon.addPixmap(both.copy(half, 0, half, both.height()), QIcon::Disabled);
    return icon;
}

// Disables buttons for as long as it lives and gives each its state back on
// every way out, the focus included. The focus leaves a held button before
// it is disabled: Qt would pass it on to the next control, Cancel, and a
// screen reader would say so.
class HeldButtons
{
public:
    explicit HeldButtons(const QList<QPushButton *> &buttons)
    {
        for (QPushButton *button : buttons) {
            m_held.append({button, button->isEnabled()});
            if (button->hasFocus()) {
                m_focused = button;
                button->clearFocus();
            }
            button->setEnabled(false);
        }
    }
    ~HeldButtons()
    {
        for (const auto &[button, enabled] : std::as_const(m_held))
            button->setEnabled(enabled);
        if (m_focused && m_focused->isEnabled())
            m_focused->setFocus(Qt::OtherFocusReason);
    }
    HeldButtons(const HeldButtons &) = delete;
    HeldButtons &operator=(const HeldButtons &) = delete;

private:
    QList<QPair<QPushButton *, bool>> m_held;
    QPointer<QPushButton> m_focused;
};

// The wizard's boxes have no parent: they are centred on the screen, not
// over the window.
void ErrorBox(const QString &text)
{
    AskMessageBox(nullptr, QMessageBox::Critical, QStringLiteral("Error"), text,
                  {{QStringLiteral("OK")}}, 0, 0);
}

// The Move page as the move sees it: the boxes of the checks, the status
// line, the progress bar and the diagnostics of one run.
class MovePage : public MoveView
{
public:
    explicit MovePage(TfrmMain *window) : m_window(window) {}

    void Refuse(const QString &text) override { ErrorBox(text); }

    WritersAnswer AskWriters(const QString &text) override
    {
        const int answer = AskMessageBox(
            nullptr, QMessageBox::Warning, QStringLiteral("Warning"), text,
            {{QStringLiteral("&Retry")}, {QStringLiteral("&Ignore")}, {QStringLiteral("Cancel")}},
            0, 2);
        return answer == 0   ? WritersAnswer::Retry
               : answer == 1 ? WritersAnswer::Ignore
                             : WritersAnswer::Cancel;
    }

    bool AskForeignFiles(const QString &text) override
    {
        return AskMessageBox(nullptr, QMessageBox::Question, QStringLiteral("Confirm"), text,
                             {{QStringLiteral("&Yes")}, {QStringLiteral("&No")}}, 1, 1) == 0;
    }

    bool AskRamTarget(const QString &text) override
    {
        // No is the default: Enter must never put the only copy of the mail
        // where a restart wipes it.
        return AskMessageBox(nullptr, QMessageBox::Warning, QStringLiteral("Confirm"),
                             text + QStringLiteral("\n\nMove the database there all the same?"),
                             {{QStringLiteral("&Yes")}, {QStringLiteral("&No")}}, 1, 1) == 0;
    }

    void Starting(const QByteArray &sourcePrefix, const QByteArray &target) override
    {
        m_window->CS->SendNamedValue(QByteArrayLiteral("SourceDir"), sourcePrefix);
        m_window->CS->SendNamedValue(QByteArrayLiteral("TargetDir"), target);
    }

    void Listed(const QByteArrayList &names, qint64) override
    {
        m_window->CS->SendNamedList(QByteArrayLiteral("FileList"), names);
        m_window->barProgress->SetTotalParts(int(names.size()));
        m_window->barProgress->SetPartsComplete(0);
        m_status = std::make_unique<StatusLine>(m_window->lblStatus);
    }

    void Copying(int, const QByteArray &name) override
    {
        m_status->Show(QStringLiteral("Copying ") + PathText(name) + QStringLiteral("..."));
    }

    void Copied(int) override { m_window->barProgress->AddCompletedPart(); }

    void Checking(const QByteArray &name) override
    {
        m_status->Show(QStringLiteral("Checking ") + PathText(name) + QStringLiteral("..."));
    }

    void Reusing(int, const QByteArray &name) override { Checking(name); }

    void Resumed(int proven, int files) override
    {
        m_status->Show(DatabaseMove::ResumedText(proven, files) + QLatin1Char('.'), true);
    }

private:
    TfrmMain *m_window;
    // Drawn when the run ends in any way, with the page.
    std::unique_ptr<StatusLine> m_status;
};

// Where the page stands in a page sequence; -1 when it is not in it.
template <typename Step> qsizetype StepOf(const QList<Step> &sequence, const QWidget *page)
{
    for (qsizetype index = 0; index < sequence.size(); ++index) {
        if (sequence[index].page == page)
            return index;
    }
    return -1;
}

} // namespace

QByteArray PathOfText(const QString &text)
{
    return QFile::encodeName(text);
}

TfrmMain::TfrmMain(const QByteArray &installFolder, const QByteArray &settingsFile, QWidget *parent)
    : QWidget(parent), m_installFolder(FileUtil::WithTrailingSeparator(installFolder)),
      m_settingsFile(settingsFile)
{
    InitResources();
    // The design's faces are not installed on Linux; Liberation Sans has the
    // same metrics as the face it stands in for.
    WindowFonts::InstallSubstitutes();

    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Flitto"));
    // Single fixed border with system menu and minimise, but no maximise.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(574, 335);

    m_notifier =
        new MoveNotifier(QDBusConnection::sessionBus(), MoveNotifier::DefaultThreshold, this);
    connect(m_notifier, &MoveNotifier::Activated, this, [this] {
        if (isMinimized())
            showNormal();
        raise();
        activateWindow();
    });
    setFont(WindowFont());
    setAutoFillBackground(true);
    QPalette windowPalette = palette();
    windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
    setPalette(windowPalette);

    RzPanel1 = new QWidget(this);
    RzPanel1->setObjectName(QStringLiteral("RzPanel1"));
    RzPanel1->setGeometry(0, 0, 153, 294);
    Image2 = new QLabel(RzPanel1);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(0, 0, 153, 294);
    Image2->setScaledContents(true);
    Image2->setPixmap(Picture(QStringLiteral("side.jpg")));

    CreateButtonBar();
    CreatePages();

    IniSettings = new TRzRegIniFile(this);
    IniSettings->setObjectName(QStringLiteral("IniSettings"));
    dlgSelectDir = new TRzSelectFolderDialog(this);
    dlgSelectDir->setObjectName(QStringLiteral("dlgSelectDir"));
    CS = new TCSObject(this);
    CS->setObjectName(QStringLiteral("CS"));
    CS->SetHexNumPrefix(QByteArrayLiteral("$"));
    CS->SetQuoteChar('\'');
    NameMainWindowControls(this);
}

TfrmMain::~TfrmMain()
{
    // Remote mode: the program ends after a move the user went on from, so
    // its journal goes; a later run must take the new folder for the
    // database it now is. Anything less keeps it for a rerun.
    if (m_move)
        m_move->Conclude();
}

void TfrmMain::CreateButtonBar()
{
    RzPanel2 = new ButtonBar(this);
    RzPanel2->setObjectName(QStringLiteral("RzPanel2"));
    RzPanel2->setGeometry(0, 294, 574, 41);

    struct ButtonDef
    {
        QPushButton **button;
        const char *name;
        const char *caption;
        int left;
        bool enabled;
        QIcon icon;
        void (TfrmMain::*handler)();
    };
    const ButtonDef buttons[] = {
        {&btnAbout, "btnAbout", "&About", 8, true, QIcon(Picture(QStringLiteral("about.png"))),
         &TfrmMain::btnAboutClick},
        {&btnPrevious, "btnPrevious", "&Previous", 229, false,
         QIcon(Picture(QStringLiteral("previous.png"))), &TfrmMain::btnPreviousClick},
        {&btnNext, "btnNext", "&Next", 317, true, QIcon(Picture(QStringLiteral("next.png"))),
         &TfrmMain::btnNextClick},
        {&btnCancel, "btnCancel", "Cancel", 405, true, TwoStateIcon(QStringLiteral("cancel.png")),
         &TfrmMain::btnCancelClick},
        {&btnExit, "btnExit", "Exit", 493, false, TwoStateIcon(QStringLiteral("exit.png")),
         &TfrmMain::btnExitClick},
    };
    QWidget *previous = nullptr;
    for (const ButtonDef &def : buttons) {
        auto *button = new PictureButton(QString::fromLatin1(def.caption), RzPanel2);
        button->setObjectName(QString::fromLatin1(def.name));
        button->setGeometry(def.left, 8, 75, 25);
        button->setIcon(def.icon);
        button->setIconSize(QSize(16, 16));
        button->setEnabled(def.enabled);
        button->setAutoDefault(false);
        button->setAttribute(Qt::WA_Hover);
        const auto handler = def.handler;
        connect(button, &QPushButton::clicked, this,
                [this, handler] { ReportErrors([this, handler] { (this->*handler)(); }); });
        if (previous)
            setTabOrder(previous, button);
        previous = button;
        *def.button = button;
    }
}

QWidget *TfrmMain::AddPage(const QString &objectName, const QString &caption,
                           const QString &heading, const QString &headingName, bool withIcon)
{
    auto *page = new QWidget;
    page->setObjectName(objectName);
    page->setAutoFillBackground(true);
    QPalette white = page->palette();
    white.setColor(QPalette::Window, Qt::white);
    page->setPalette(white);

    if (withIcon) {
        auto *icon = new QLabel(page);
        icon->setObjectName(objectName + QStringLiteral("Icon"));
        icon->setPixmap(Picture(QStringLiteral("pageicon.png")));
        icon->setGeometry(16, 8, 11, 14);
    }
    auto *label = new QLabel(heading, page);
    label->setObjectName(headingName);
    QFont font(WindowFonts::Arial());
    font.setPointSize(10);
    font.setBold(true);
    label->setFont(font);
    label->move(withIcon ? QPoint(32, 7) : QPoint(16, 7));
    label->adjustSize();

    pagScreens->addTab(page, caption);
    return page;
}

TRTFLabel *TfrmMain::AddRichText(QWidget *page, const QString &name, const QRect &geometry)
{
    auto *label = new TRTFLabel(page);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->SetWordWrap(false);
    label->SetRichText(Document(name));
    return label;
}

QLabel *TfrmMain::AddLabel(QWidget *page, const QString &name, const QString &text,
                           const QPoint &at)
{
    auto *label = new QLabel(text, page);
    label->setObjectName(name);
    label->move(at);
    label->adjustSize();
    return label;
}

TRzButtonEdit *TfrmMain::AddFolderEdit(QWidget *page, const QString &name, const QRect &geometry)
{
    auto *edit = new TRzButtonEdit(page);
    edit->setObjectName(name);
    edit->setGeometry(geometry);
    edit->SetFrameVisible(true);
    edit->SetFlatButtons(true);
    return edit;
}

void TfrmMain::CreatePages()
{
    pagScreens = new QTabWidget(this);
    pagScreens->setObjectName(QStringLiteral("pagScreens"));
    pagScreens->setGeometry(153, 0, 421, 294);
    pagScreens->setTabPosition(QTabWidget::South);
    pagScreens->setDocumentMode(true);
    pagScreens->setFocusPolicy(Qt::NoFocus);
    pagScreens->tabBar()->setFocusPolicy(Qt::NoFocus);
    // Only Previous and Next turn the pages, after their checks. The hidden
    // tabs would otherwise still be listed to a screen reader, and pressing
    // "Completed" there would say the database moved when nothing did.
    Accessibility::MarkDecorative(pagScreens->tabBar());

    CreateWelcomePage();
    CreateConnectionPage();
    CreateLocalSourcePage();
    CreateRemoteSourcePage();
    CreateTargetPage();
    CreateReadyPage();
    CreateMovePage();
    CreateServerUpdatePage();
    CreateCompletedPage();
    pagScreens->setCurrentWidget(tabWelcome);
}

void TfrmMain::CreateWelcomePage()
{
    tabWelcome = AddPage(QStringLiteral("tabWelcome"), QStringLiteral("Welcome"),
                         QStringLiteral("Welcome to the Quillbox Database Move Wizard"),
                         QStringLiteral("RzLabel4"), false);
    // Taller than its first design (73): with Liberation Sans the first
    // paragraph takes two lines, and the label only draws whole lines, so the
    // "Click the Next button" line would be cut. While pnlNoIni shows, the
    // label ends at the panel's top, so only whole lines show above it.
    TRTFLabel *welcomeText =
        AddRichText(tabWelcome, QStringLiteral("RTFLabel1"), QRect(16, 32, 393, 105));
    pnlNoIni = new QWidget(tabWelcome);
    pnlNoIni->setObjectName(QStringLiteral("pnlNoIni"));
    pnlNoIni->setGeometry(8, 128, 409, 57);
    pnlNoIni->setAutoFillBackground(true);
    auto *image3 = new QLabel(pnlNoIni);
    image3->setObjectName(QStringLiteral("Image3"));
    image3->setGeometry(8, 5, 28, 28);
    image3->setPixmap(Picture(QStringLiteral("warning.png")));
    lblNoIni = new QLabel(
        QStringLiteral("Unable to continue.  The QUILLBOX.INI file could not be detected in the "
                       "directory the wizard is installed in!  This utility MUST be installed in "
                       "the same directory as Quillbox."),
        pnlNoIni);
    lblNoIni->setObjectName(QStringLiteral("lblNoIni"));
    lblNoIni->setGeometry(48, 3, 353, 46);
    lblNoIni->setWordWrap(true);
    lblNoIni->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette red = lblNoIni->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lblNoIni->setPalette(red);
    new EndAbovePanel(welcomeText, pnlNoIni);
}

void TfrmMain::CreateConnectionPage()
{
    tabConnection = AddPage(QStringLiteral("tabConnection"), QStringLiteral("Connection"),
                            QStringLiteral("Connection Mode"), QStringLiteral("RzLabel11"), true);
    AddRichText(tabConnection, QStringLiteral("RTFLabel9"), QRect(16, 32, 393, 33));
    AddLabel(tabConnection, QStringLiteral("RzLabel12"), QStringLiteral("Connection Mode:"),
             QPoint(32, 75));
    comConnectionMode = new FlatComboBox(tabConnection);
    comConnectionMode->setObjectName(QStringLiteral("comConnectionMode"));
    comConnectionMode->setGeometry(152, 72, 257, 21);
    comConnectionMode->addItem(QStringLiteral("Local Mode (Quillbox connects directly)"));
    comConnectionMode->addItem(QStringLiteral("Remote Mode (Quillbox connects via server)"));
    comConnectionMode->setCurrentIndex(-1);
    AddRichText(tabConnection, QStringLiteral("RTFLabel10"), QRect(16, 104, 393, 57));
}

void TfrmMain::CreateLocalSourcePage()
{
    tabLocalSource = AddPage(QStringLiteral("tabLocalSource"), QStringLiteral("Local Source"),
                             QStringLiteral("Current Location of Quillbox Database"),
                             QStringLiteral("RzLabel2"), true);
    AddRichText(tabLocalSource, QStringLiteral("RTFLabel2"), QRect(16, 32, 393, 33));
    AddLabel(tabLocalSource, QStringLiteral("RzLabel1"), QStringLiteral("Current Data Directory:"),
             QPoint(32, 67));
    edtCurrentDir =
        AddFolderEdit(tabLocalSource, QStringLiteral("edtCurrentDir"), QRect(152, 64, 257, 21));
    connect(edtCurrentDir, &TRzButtonEdit::OnButtonClick, this,
            [this] { ReportErrors([this] { edtCurrentDirButtonClick(); }); });
    AddRichText(tabLocalSource, QStringLiteral("RTFLabel4"), QRect(16, 96, 393, 57));
}

void TfrmMain::CreateRemoteSourcePage()
{
    tabRemoteSource = AddPage(QStringLiteral("tabRemoteSource"), QStringLiteral("Remote Source"),
                              QStringLiteral("Current Location of Quillbox Database"),
                              QStringLiteral("RzLabel3"), true);
    AddRichText(tabRemoteSource, QStringLiteral("RTFLabel3"), QRect(16, 32, 393, 33));
    AddLabel(tabRemoteSource, QStringLiteral("RzLabel13"),
             QStringLiteral("Current Data Directory:"), QPoint(32, 75));
    edtRemoteDir =
        AddFolderEdit(tabRemoteSource, QStringLiteral("edtRemoteDir"), QRect(152, 72, 257, 21));
    connect(edtRemoteDir, &TRzButtonEdit::OnButtonClick, this,
            [this] { ReportErrors([this] { edtCurrentDirButtonClick(); }); });
    AddRichText(tabRemoteSource, QStringLiteral("RTFLabel11"), QRect(16, 104, 393, 57));
}

void TfrmMain::CreateTargetPage()
{
    tabTarget = AddPage(QStringLiteral("tabTarget"), QStringLiteral("Target"),
                        QStringLiteral("New Location of Quillbox Database"),
                        QStringLiteral("RzLabel5"), true);
    AddRichText(tabTarget, QStringLiteral("RTFLabel5"), QRect(16, 32, 393, 33));
    AddLabel(tabTarget, QStringLiteral("RzLabel6"), QStringLiteral("New Data Directory:"),
             QPoint(32, 75));
    edtNewDir = AddFolderEdit(tabTarget, QStringLiteral("edtNewDir"), QRect(136, 72, 273, 21));
    connect(edtNewDir, &TRzButtonEdit::OnButtonClick, this,
            [this] { ReportErrors([this] { edtNewDirButtonClick(); }); });
    AddRichText(tabTarget, QStringLiteral("RTFLabel6"), QRect(16, 104, 393, 17));
    auto *rzPanel3 = new RoundedPanel(tabTarget);
    rzPanel3->setObjectName(QStringLiteral("RzPanel3"));
    rzPanel3->setGeometry(48, 152, 321, 57);
    auto *image9 = new QLabel(rzPanel3);
    image9->setObjectName(QStringLiteral("Image9"));
    image9->setGeometry(8, 13, 28, 28);
    image9->setPixmap(Picture(QStringLiteral("bulb.png")));
    AddRichText(rzPanel3, QStringLiteral("RTFLabel12"), QRect(43, 11, 265, 33));
}

void TfrmMain::CreateReadyPage()
{
    tabReady = AddPage(QStringLiteral("tabReady"), QStringLiteral("Ready"),
                       QStringLiteral("Ready to Move the Quillbox Database"),
                       QStringLiteral("RzLabel7"), true);
    AddRichText(tabReady, QStringLiteral("RTFLabel7"), QRect(16, 32, 393, 33));
    AddLabel(tabReady, QStringLiteral("RzLabel9"), QStringLiteral("Copy from:"), QPoint(32, 72));
    AddLabel(tabReady, QStringLiteral("RzLabel10"), QStringLiteral("Copy to:"), QPoint(32, 96));
    QPalette blue = palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    blue.setColor(QPalette::Window, Qt::white);
    lblCopyFrom = AddLabel(tabReady, QStringLiteral("lblCopyFrom"), QString(), QPoint(96, 72));
    lblCopyFrom->setPalette(blue);
    lblCopyTo = AddLabel(tabReady, QStringLiteral("lblCopyTo"), QString(), QPoint(96, 96));
    lblCopyTo->setPalette(blue);
    lblCopyTo->setAutoFillBackground(true);
    AddRichText(tabReady, QStringLiteral("RTFLabel13"), QRect(16, 128, 97, 17));
}

void TfrmMain::CreateMovePage()
{
    tabMove =
        AddPage(QStringLiteral("tabMove"), QStringLiteral("Move"),
                QStringLiteral("Moving the Quillbox Database"), QStringLiteral("RzLabel14"), true);
    lblStatus = new QLabel(QStringLiteral("Ready."), tabMove);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(16, 48, 385, 13);
    barProgress = new TRzProgressBar(tabMove);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setGeometry(16, 73, 385, barProgress->height());
    barProgress->SetBarColor(Rz::clBlue);
    barProgress->SetBorderColor(Rz::clWhite);
    barProgress->SetBorderInner(Rz::fsFlat);
    barProgress->SetBorderOuter(Rz::fsNone);
    barProgress->SetBorderWidth(1);
    barProgress->SetInteriorOffset(0);
    QFont barFont = WindowFont();
    barProgress->setFont(barFont);
    lblContinue = AddRichText(tabMove, QStringLiteral("lblContinue"), QRect(16, 112, 145, 17));
    lblContinue->hide();
}

void TfrmMain::CreateServerUpdatePage()
{
    tabServerUpdate =
        AddPage(QStringLiteral("tabServerUpdate"), QStringLiteral("Server Update"),
                QStringLiteral("Update the Quillbox Server"), QStringLiteral("RzLabel8"), true);
    AddRichText(tabServerUpdate, QStringLiteral("RTFLabel8"), QRect(16, 32, 393, 33));
}

void TfrmMain::CreateCompletedPage()
{
    tabCompleted = AddPage(QStringLiteral("tabCompleted"), QStringLiteral("Completed"),
                           QStringLiteral("Completed"), QStringLiteral("RzLabel15"), true);
    AddRichText(tabCompleted, QStringLiteral("RTFLabel14"), QRect(16, 32, 385, 57));
}

bool TfrmMain::event(QEvent *event)
{
    // The window system reports every return of the focus as an activation;
    // the wizard only reacts to the first one, so that closing a message box
    // or switching applications never falls back to the Welcome page.
    if (event->type() == QEvent::WindowActivate) {
        const bool handled = QWidget::event(event);
        RunFirstActivation();
        return handled;
    }
    return QWidget::event(event);
}

void TfrmMain::RunFirstActivation()
{
    if (m_activated)
        return;
    m_activated = true;
    ReportErrors([this] { FormActivate(); });
}

void TfrmMain::showEvent(QShowEvent *event)
{
    if (!m_centred) {
        m_centred = true;
        if (const QScreen *screen = this->screen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        // A desktop that prevents focus stealing may show the window without
        // activating it: the settings-file test must run all the same, or
        // Next would stay enabled without it. Whichever comes first wins.
        QTimer::singleShot(0, this, &TfrmMain::RunFirstActivation);
    }
    QWidget::showEvent(event);
}

void TfrmMain::FormActivate()
{
    for (int index = 0; index < pagScreens->count(); ++index)
        pagScreens->setTabVisible(index, false);
    pagScreens->tabBar()->hide();
    ShowWelcomePage();
}

QByteArray TfrmMain::SettingsFileName() const
{
    return m_settingsFile.isEmpty() ? Installation::SettingsFileIn(m_installFolder)
                                    : m_settingsFile;
}

void TfrmMain::ShowPage(QWidget *page, bool previous, bool next, QWidget *focus)
{
    pagScreens->setCurrentWidget(page);
    // Enabled first, then the focus, then disabled: a focused button that
    // is disabled passes the focus on to the next control, Cancel, and a
    // screen reader would say that on the way.
    if (previous)
        btnPrevious->setEnabled(true);
    if (next)
        btnNext->setEnabled(true);
    btnNext->setAccessibleDescription(NextDescription());
    (focus ? focus : FocusTarget(previous, next))->setFocus(Qt::OtherFocusReason);
    btnPrevious->setEnabled(previous);
    btnNext->setEnabled(next);
    LogPage(page, btnNext);
}

QWidget *TfrmMain::FocusTarget(bool previous, bool next) const
{
    // Where the user goes on: Next while it can be pressed, Exit on the last
    // page, Previous after a failed run. Cancel only when nothing else is
    // left, as on the Welcome page without settings: never by accident.
    if (next)
        return btnNext;
    if (btnExit->isEnabled())
        return btnExit;
    if (previous)
        return btnPrevious;
    return btnCancel;
}

void TfrmMain::PlaceFocus()
{
    FocusTarget(btnPrevious->isEnabled(), btnNext->isEnabled())->setFocus(Qt::OtherFocusReason);
}

void TfrmMain::ShowWelcomePage()
{
    const bool present = FileUtil::IsExistingFile(SettingsFileName());
    pnlNoIni->setVisible(!present);
    ShowPage(tabWelcome, false, present);
}

void TfrmMain::ShowConnectionPage()
{
    ShowPage(tabConnection, true, true);
    LoadSettings();
}

void TfrmMain::ShowLocalSourcePage()
{
    ShowPage(tabLocalSource, true, true);
}

void TfrmMain::ShowRemoteSourcePage()
{
    ShowPage(tabRemoteSource, true, true);
}

void TfrmMain::ShowTargetPage()
{
    ShowPage(tabTarget, true, true);
}

void TfrmMain::ShowReadyPage()
{
    ShowPage(tabReady, true, true);
    lblCopyFrom->setText(SourceEdit() ? SourceEdit()->text() : QString());
    lblCopyFrom->adjustSize();
    lblCopyTo->setText(edtNewDir->text());
    lblCopyTo->adjustSize();
}

void TfrmMain::ShowMovePage()
{
    btnExit->setEnabled(false);
    // While the copy runs the progress bar has the focus: a screen reader
    // follows it, and no key can press a button by habit. It takes the
    // focus before Next goes.
    ShowPage(tabMove, true, false, barProgress);
    CopyDatabaseFiles();
}

void TfrmMain::ShowServerUpdatePage()
{
    btnExit->setEnabled(false);
    ShowPage(tabServerUpdate, true, true);
}

void TfrmMain::ShowCompletedPage()
{
    // Exit first: it is the finishing button that takes the focus.
    btnExit->setEnabled(true);
    ShowPage(tabCompleted, true, false);
}

bool TfrmMain::FinishMove()
{
    // Before "moved" is said: the end check and the settings write. A
    // refusal keeps the Move page, and Next asks again.
    bool finished = false;
    ReportErrors([&] {
        if (SelectedMode() == ConnectionMode::Local)
            SaveLocalSettings();
        else
            SaveRemoteSettings();
        finished = true;
    });
    return finished;
}

ConnectionMode TfrmMain::SelectedMode() const
{
    return ConnectionModeOf(comConnectionMode->currentIndex());
}

TRzButtonEdit *TfrmMain::SourceEdit() const
{
    switch (SelectedMode()) {
    case ConnectionMode::Local:
        return edtCurrentDir;
    case ConnectionMode::Remote:
        return edtRemoteDir;
    case ConnectionMode::None:
        break;
    }
    return nullptr;
}

bool TfrmMain::CheckSourceAndGoOn(TRzButtonEdit *edit)
{
    if (edit->text().isEmpty()) {
        ErrorBox(QStringLiteral("You have not specified the current location of the database!"));
        return false;
    }
    const QByteArray folder = FolderBytes(edit);
    if (!CheckAside([&folder] { return Installation::HoldsDatabase(folder); })) {
        ErrorBox(Installation::NoDatabaseText());
        return false;
    }
    return true;
}

bool TfrmMain::CheckTarget()
{
    if (!edtNewDir->text().isEmpty())
        return true;
    ErrorBox(QStringLiteral("You have not specified where to move the database to!"));
    return false;
}

QList<TfrmMain::Step> TfrmMain::PageSequence()
{
    const Step welcome{tabWelcome, &TfrmMain::ShowWelcomePage, {}};
    const Step connection{tabConnection, &TfrmMain::ShowConnectionPage, {}};
    const Step target{tabTarget, &TfrmMain::ShowTargetPage, [this] { return CheckTarget(); }};
    const Step ready{tabReady, &TfrmMain::ShowReadyPage, [this] { return CheckMove(); }};
    const Step move{tabMove, &TfrmMain::ShowMovePage, [this] { return FinishMove(); },
                    &TfrmMain::ReturnToMovePage};
    const Step completed{tabCompleted, &TfrmMain::ShowCompletedPage, {}};
    switch (SelectedMode()) {
    case ConnectionMode::Local:
        return {welcome,
                connection,
                {tabLocalSource, &TfrmMain::ShowLocalSourcePage,
                 [this] { return CheckSourceAndGoOn(edtCurrentDir); }},
                target,
                ready,
                move,
                completed};
    case ConnectionMode::Remote:
        return {welcome,
                connection,
                {tabRemoteSource, &TfrmMain::ShowRemoteSourcePage,
                 [this] { return CheckSourceAndGoOn(edtRemoteDir); }},
                target,
                ready,
                move,
                {tabServerUpdate, &TfrmMain::ShowServerUpdatePage, {}},
                completed};
    case ConnectionMode::None:
        break;
    }
    return {welcome, connection};
}

void TfrmMain::btnNextClick()
{
    const QList<Step> sequence = PageSequence();
    const qsizetype at = StepOf(sequence, pagScreens->currentWidget());
    if (at < 0 || at + 1 >= sequence.size())
        return;
    if (sequence[at].goOn && !sequence[at].goOn())
        return;
    (this->*sequence[at + 1].show)();
}

void TfrmMain::btnPreviousClick()
{
    const QList<Step> sequence = PageSequence();
    const qsizetype at = StepOf(sequence, pagScreens->currentWidget());
    if (at <= 0)
        return;
    const Step &step = sequence[at - 1];
    (this->*(step.back ? step.back : step.show))();
}

void TfrmMain::ReturnToMovePage()
{
    // Once Quillbox.ini names the new folder, that folder is the database:
    // the old files copied over it would wipe out the mail that came since.
    // The page shows the run that made it.
    if (m_settingsWritten && *m_settingsWritten == CurrentPlan()) {
        btnExit->setEnabled(false);
        ShowPage(tabMove, true, true);
        btnNext->setAccessibleDescription(CopiedNextDescription());
        return;
    }
    // Anything may have changed since the last run: a rerun passes the same
    // checks as the first, and the user stays where they are when it fails.
    if (CheckMove())
        ShowMovePage();
}

void TfrmMain::btnCancelClick()
{
    const int answer = AskMessageBox(nullptr, QMessageBox::Question, QStringLiteral("Confirm"),
                                     QStringLiteral("Are you sure you want to cancel?"),
                                     {{QStringLiteral("&Yes")}, {QStringLiteral("&No")}}, 0, 1);
    if (answer == 0) {
        StopWork();
        close();
    }
}

void TfrmMain::closeEvent(QCloseEvent *event)
{
    StopWork();
    QWidget::closeEvent(event);
}

void TfrmMain::StopWork()
{
    // Nothing has been written to Quillbox.ini before the Completed page, and
    // the system drops the move's locks with the process.
    if (m_checking)
        AsideThread::EndProgram();
    if (m_stopping) {
        if (m_move)
            m_move->Abandon();
        AsideThread::EndProgram();
    }
    // The copy stops within its current file before the window goes: nothing
    // may go on unseen once the user was told it stopped.
    if (!m_move || !m_move->IsRunning())
        return;
    const FlagScope stopping(m_stopping);
    qCInfo(lcPages, "stopping the copy");
    if (!m_move->Stop()) {
        m_move->Abandon();
        AsideThread::EndProgram();
    }
}

void TfrmMain::btnExitClick()
{
    close();
}

void TfrmMain::btnAboutClick()
{
    TfrmAbout frmAbout(this);
    frmAbout.exec();
}

bool TfrmMain::BrowseForFolder(TRzButtonEdit *edit, const QString &startFolder)
{
    // The dialog can send folders to the trash: never the database the user
    // is about to move, nor the Quillbox folder the wizard runs in.
    QStringList keep = {QFile::decodeName(m_installFolder)};
    for (const TRzButtonEdit *source : {edtCurrentDir, edtRemoteDir}) {
        if (!source->text().isEmpty())
            keep << source->text();
    }
    dlgSelectDir->SetProtectedPaths(keep);
    dlgSelectDir->SetSelectedPath(startFolder);
    if (!dlgSelectDir->Execute())
        return false;
    SetFolder(edit, dlgSelectDir->SelectedPathBytes());
    return true;
}

void TfrmMain::edtCurrentDirButtonClick()
{
    auto *edit = qobject_cast<TRzButtonEdit *>(sender());
    if (!edit)
        edit = pagScreens->currentWidget() == tabRemoteSource ? edtRemoteDir : edtCurrentDir;
    const QString start =
        edit->text().isEmpty() ? QFile::decodeName(m_installFolder) : edit->text();
    BrowseForFolder(edit, start);
}

void TfrmMain::edtNewDirButtonClick()
{
    const QString start = edtNewDir->text().isEmpty() ? edtCurrentDir->text() : edtNewDir->text();
    BrowseForFolder(edtNewDir, start);
}

void TfrmMain::LoadSettings()
{
    IniSettings->SetPath(SettingsFileName());
    // The move compares the file with these values before it writes.
    m_loadedSettings = Installation::ReadSnapshot(SettingsFileName());
    using namespace Installation;
    DataDirectory = IniSettings->ReadString(SettingsSection, DataDirectoryKey, QByteArray());
    Mode = ConnectionModeOf(IniSettings->ReadInteger(SettingsSection, ConnectionModeKey, 0));
    ServerIP = IniSettings->ReadString(ServerSection, ServerIPKey, QByteArray());
    AdminPort = IniSettings->ReadInteger(ServerSection, AdminPortKey, DefaultAdminPort);
    if (edtCurrentDir->text().isEmpty())
        SetFolder(edtCurrentDir, Installation::DataFolderOf(DataDirectory, SettingsFileName()));
    if (SelectedMode() == ConnectionMode::None && Mode != ConnectionMode::None)
        comConnectionMode->setCurrentIndex(int(Mode));
}

void TfrmMain::SaveLocalSettings()
{
    const DatabaseMove::Plan plan = CurrentPlan();
    DatabaseMove::WriteSettings(m_move.get(), plan);
    m_settingsWritten = plan;
}

void TfrmMain::SaveRemoteSettings()
{
    // The settings stay as they are; the data folder must still be what
    // the copy proved before the user tells the server about it.
    DatabaseMove::ConfirmMove(m_move.get(), CurrentPlan());
}

QByteArray TfrmMain::FolderBytes(const TRzButtonEdit *edit) const
{
    const auto stored = m_folderBytes.constFind(edit);
    if (stored != m_folderBytes.constEnd() && stored->first == edit->text())
        return stored->second;
    return PathOfText(edit->text());
}

void TfrmMain::SetFolder(TRzButtonEdit *edit, const QByteArray &path)
{
    const QString text = QFile::decodeName(path);
    m_folderBytes.insert(edit, {text, path});
    edit->setText(text);
}

DatabaseMove::Plan TfrmMain::CurrentPlan() const
{
    DatabaseMove::Plan plan;
    if (const TRzButtonEdit *source = SourceEdit())
        plan.Source = FolderBytes(source);
    plan.Target = FolderBytes(edtNewDir);
    plan.SettingsFile = SettingsFileName();
    plan.Mode = SelectedMode();
    plan.Loaded = m_loadedSettings;
    return plan;
}

bool TfrmMain::CheckAside(const std::function<bool()> &checks)
{
    QWidget *const page = pagScreens->currentWidget();
    bool passed = false;
    {
        const FlagScope checking(m_checking);
        const HeldButtons held({btnPrevious, btnNext});
        const TRzBusyPointer hourGlass;
        AsideThread::Run([&passed, &checks] { passed = checks(); });
    }
    if (!passed)
        LogPage(page, btnNext);
    return passed;
}

bool TfrmMain::CheckMove()
{
    MovePage page(this);
    WindowThreadView onWindow(&page, this);
    const DatabaseMove::Plan plan = CurrentPlan();
    QThread *const windowThread = thread();
    std::shared_ptr<DatabaseMove> move;
    const bool passed = CheckAside([&]() -> bool {
        // Made on the thread it is checked on; handed to the window's thread
        // however the checks end, since the run posts its progress to it
        // there.
        move = std::make_shared<DatabaseMove>(plan, &onWindow);
        const auto handBack =
            qScopeGuard([&move, windowThread] { move->moveToThread(windowThread); });
        move->SetBetweenStages(m_betweenStages);
        return move->Check();
    });
    move->SetView(nullptr);
    if (!passed)
        return false;
    m_checkedMove = move;
    return true;
}

void TfrmMain::CopyDatabaseFiles()
{
    MoveNotice notice(
        *m_notifier, [this] { return lblStatus->text(); }, [this] { return isActiveWindow(); },
        PathText(MoveLog::DefaultPath()));
    repaint();
    // Restored on every way out, a failed run included, so that an error box
    // never leaves the user looking at a busy pointer over an idle window.
    const TRzBusyPointer hourGlass;

    // No copy without its checks: the world may have changed since any
    // earlier run.
    if (!(m_checkedMove && m_checkedMove->GetPlan() == CurrentPlan()) && !CheckMove())
        return;
    // A new run ends the one still going: that one stops within its current
    // file, removes the half-written copy and never enables Next.
    if (m_move && !m_move->Stop())
        AsideThread::EndProgram();
    std::shared_ptr<DatabaseMove> move = std::move(m_checkedMove);
    m_checkedMove.reset();
    m_move = move;

    // The progress bar has had the focus since the page showed; it goes
    // where the user goes on however the run ends.
    auto placeFocus = qScopeGuard([this] { PlaceFocus(); });
    MovePage page(this);
    move->SetView(&page);
    DatabaseMove::Outcome outcome;
    try {
        outcome = move->Run();
    } catch (const Exception &error) {
        move->SetView(nullptr);
        notice.Failed(Sentence(error.message()));
        throw;
    }
    move->SetView(nullptr);
    if (outcome != DatabaseMove::Outcome::Proven || m_move != move) {
        notice.Dismiss();
        return;
    }

    lblStatus->setText(QStringLiteral("Copy completed."));
    lblStatus->repaint();
    Accessibility::AnnounceStatus(lblStatus);
    lblContinue->show();
    btnNext->setEnabled(true);
    // Said when Next takes the focus, so that the end is heard there too.
    btnNext->setAccessibleDescription(CopiedNextDescription());
    placeFocus.dismiss();
    PlaceFocus();
    LogPage(tabMove, btnNext);
    notice.Succeeded(move->Files().size(), move->GetPlan().Mode == ConnectionMode::Remote);
}
