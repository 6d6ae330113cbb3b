#pragma once

#include "wizard/move/DatabaseMove.h"
#include "wizard/settings/ConnectionMode.h"
#include "wizard/settings/Installation.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QWidget>

class MoveNotifier;

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTabWidget;
class TCSObject;
class TRTFLabel;
class TRzButtonEdit;
class TRzProgressBar;
class TRzRegIniFile;
class TRzSelectFolderDialog;

// The wizard's one window: the side picture, the nine pages and the button
// bar, with the page flow that walks them and the work each page starts.
class TfrmMain : public QWidget
{
    Q_OBJECT

public:
    // installFolder is the Quillbox folder the program runs in, ending in
    // "/"; the program passes its own folder, tests a staged one.
    // settingsFile: the installation's Quillbox.ini; empty: the one in
    // installFolder under any case of its name.
    explicit TfrmMain(const QByteArray &installFolder, const QByteArray &settingsFile = {},
                      QWidget *parent = nullptr);
    ~TfrmMain() override;

    // The settings file: the install folder's "Quillbox.ini", in whatever
    // case the file is stored.
    QByteArray SettingsFileName() const;

    // Page operations: each makes its page current, sets the buttons, then
    // starts the page's work.
    void ShowWelcomePage();
    void ShowConnectionPage();
    void ShowLocalSourcePage();
    void ShowRemoteSourcePage();
    void ShowTargetPage();
    void ShowReadyPage();
    void ShowMovePage();
    void ShowServerUpdatePage();
    void ShowCompletedPage();

    void LoadSettings();
    void SaveLocalSettings();
    void SaveRemoteSettings();

    void CopyDatabaseFiles();
    // Next on the Move page: false when the end check or the settings write
    // refused, which the user has been shown.
    bool FinishMove();
    // The checks that every copy passes first: Next on the Ready page runs
    // them before the Move page shows, and so does Previous back to it.
    // False leaves the user on the page they are on.
    bool CheckMove();
    // A test seam: handed to every move the window makes.
    void SetBetweenStages(std::function<void(DatabaseMove::Stage)> call)
    {
        m_betweenStages = std::move(call);
    }

    // The path behind a folder edit's text: the bytes the folder dialog or
    // the settings file gave it, for as long as the text is not edited, so
    // that a name that is not valid text still reaches the same folder.
    QByteArray FolderBytes(const TRzButtonEdit *edit) const;
    void SetFolder(TRzButtonEdit *edit, const QByteArray &path);

    // Values read from the settings file by the last LoadSettings.
    QByteArray DataDirectory;
    ConnectionMode Mode = ConnectionMode::Local;
    QByteArray ServerIP;
    qint32 AdminPort = 0;

    // The window's controls, named as the pages refer to them.
    QWidget *RzPanel1 = nullptr;
    QLabel *Image2 = nullptr;
    QWidget *RzPanel2 = nullptr;
    QPushButton *btnAbout = nullptr;
    QPushButton *btnPrevious = nullptr;
    QPushButton *btnNext = nullptr;
    QPushButton *btnCancel = nullptr;
    QPushButton *btnExit = nullptr;
    QTabWidget *pagScreens = nullptr;
    QWidget *tabWelcome = nullptr;
    QWidget *tabConnection = nullptr;
    QWidget *tabLocalSource = nullptr;
    QWidget *tabRemoteSource = nullptr;
    QWidget *tabTarget = nullptr;
    QWidget *tabReady = nullptr;
    QWidget *tabMove = nullptr;
    QWidget *tabServerUpdate = nullptr;
    QWidget *tabCompleted = nullptr;
    QWidget *pnlNoIni = nullptr;
    QLabel *lblNoIni = nullptr;
    QComboBox *comConnectionMode = nullptr;
    TRzButtonEdit *edtCurrentDir = nullptr;
    TRzButtonEdit *edtRemoteDir = nullptr;
    TRzButtonEdit *edtNewDir = nullptr;
    QLabel *lblCopyFrom = nullptr;
    QLabel *lblCopyTo = nullptr;
    QLabel *lblStatus = nullptr;
    TRzProgressBar *barProgress = nullptr;
    TRTFLabel *lblContinue = nullptr;
    TRzRegIniFile *IniSettings = nullptr;
    TRzSelectFolderDialog *dlgSelectDir = nullptr;
    TCSObject *CS = nullptr;

public Q_SLOTS:
    void FormActivate();
    void btnNextClick();
    void btnPreviousClick();
    void btnCancelClick();
    void btnExitClick();
    void btnAboutClick();
    void edtCurrentDirButtonClick();
    void edtNewDirButtonClick();

protected:
    bool event(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void RunFirstActivation();
    void CreateButtonBar();
    void CreatePages();
    void CreateWelcomePage();
    void CreateConnectionPage();
    void CreateLocalSourcePage();
    void CreateRemoteSourcePage();
    void CreateTargetPage();
    void CreateReadyPage();
    void CreateMovePage();
    void CreateServerUpdatePage();
    void CreateCompletedPage();
    QWidget *AddPage(const QString &objectName, const QString &caption, const QString &heading,
                     const QString &headingName, bool withIcon);
    TRTFLabel *AddRichText(QWidget *page, const QString &name, const QRect &geometry);
    QLabel *AddLabel(QWidget *page, const QString &name, const QString &text, const QPoint &at);
    TRzButtonEdit *AddFolderEdit(QWidget *page, const QString &name, const QRect &geometry);
    // focus: the control that takes the focus; by default, FocusTarget's.
    void ShowPage(QWidget *page, bool previous, bool next, QWidget *focus = nullptr);
    QWidget *FocusTarget(bool previous, bool next) const;
    void PlaceFocus();
    // The mode chosen on the Connection page.
    ConnectionMode SelectedMode() const;
    TRzButtonEdit *SourceEdit() const;
    bool CheckSourceAndGoOn(TRzButtonEdit *edit);
    bool CheckTarget();
    // Runs checks off the window's thread, since a folder on a file system
    // that stopped answering can hang them for good; the window meanwhile
    // paints and answers, without Previous and Next.
    bool CheckAside(const std::function<bool()> &checks);
    // Previous back to the Move page.
    void ReturnToMovePage();
    // Cancel and the close box: a running copy is asked to stop while the
    // window keeps answering. Checks, or a copy asked once already, may be
    // stuck in a system call: asked again, the program ends at once.
    void StopWork();

    // One page of the walk: how it shows, what must hold before Next leaves
    // it (nothing when goOn is empty), and how Previous returns to it (as
    // show when back is empty).
    struct Step
    {
        QWidget *page;
        void (TfrmMain::*show)();
        std::function<bool()> goOn;
        void (TfrmMain::*back)() = nullptr;
    };
    // The pages of the chosen mode in the order Next walks them; Previous
    // walks the same sequence back. Without a mode the walk ends on the
    // Connection page.
    QList<Step> PageSequence();
    bool BrowseForFolder(TRzButtonEdit *edit, const QString &startFolder);
    // The move the pages describe now: source, target and settings file.
    DatabaseMove::Plan CurrentPlan() const;

    QByteArray m_installFolder;
    QByteArray m_settingsFile;
    // The move that passed the checks of the Ready page, until its run starts.
    std::shared_ptr<DatabaseMove> m_checkedMove;
    // The most recently started run; only it may lead to the settings change.
    std::shared_ptr<DatabaseMove> m_move;
    // Lives as long as the window, so that a click on a notification posted
    // by a finished run still brings the window back.
    MoveNotifier *m_notifier = nullptr;
    // The settings file's values as LoadSettings read them.
    std::optional<Installation::SettingsSnapshot> m_loadedSettings;
    // The move whose folder Quillbox.ini names since the Completed page
    // wrote it.
    std::optional<DatabaseMove::Plan> m_settingsWritten;
    std::function<void(DatabaseMove::Stage)> m_betweenStages;
    bool m_checking = false;
    bool m_stopping = false;
    QHash<const TRzButtonEdit *, QPair<QString, QByteArray>> m_folderBytes;
    bool m_activated = false;
    bool m_centred = false;
};

// The text of a folder edit as a path: bytes in the locale's file-name
// encoding.
QByteArray PathOfText(const QString &text);
