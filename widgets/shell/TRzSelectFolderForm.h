#pragma once

#include "widgets/shell/TRzShellDialog.h"
#include "widgets/shell/TRzShellNamespace.h"

#include <QDialog>
#include <QIcon>

class QFontMetrics;
class QPushButton;
class QSizeGrip;
class QStatusBar;
class QToolButton;
class TRzShellTree;
class TRzShellTreeNode;

// The window of one run of the folder selection dialog: the folder tree,
// Create Folder and Delete above it, OK and Cancel below it, and a status bar
// with the selected folder's path shortened to fit.
class TRzSelectFolderForm : public QDialog
{
    Q_OBJECT

public:
    // The smallest window, and the size it opens at.
    static constexpr int MinimumWidth = 366;
    static constexpr int MinimumHeight = 340;

    explicit TRzSelectFolderForm(QWidget *parent = nullptr);
    ~TRzSelectFolderForm() override;

    TRzShellTree *ShellTree() const { return m_shellTree; }
    QToolButton *BtnNewFolder() const { return m_btnNewFolder; }
    QToolButton *BtnDeleteFolder() const { return m_btnDeleteFolder; }
    QPushButton *OkBtn() const { return m_okBtn; }
    QPushButton *CancelBtn() const { return m_cancelBtn; }
    QWidget *ButtonPanel() const { return m_buttonPanel; }
    QStatusBar *StatusBar() const { return m_statusBar; }

    // Shows or hides Create Folder and Delete, and gives each its picture or
    // none; the buttons look flat only when both have one. The dialog decides
    // from its options, which this window does not know.
    void ApplyToolButtons(bool visible, bool createIcon, bool deleteIcon);
    void ApplyFrame(bool visible, Rz::TFrameStyleEx style, const Rz::TColor &color);
    void ApplyHotTrack(bool hotTrack, const Rz::TColor &highlight, const Rz::TColor &hotTrackColor,
                       TRzShellDialog::THotTrackColorType type);

    // Shortens a path from the left, folder by folder, until it fits the
    // width (see CutFirstDirectory); a name that still does not fit is
    // returned whole.
    static QString ShortenPath(const QString &path, const QFontMetrics &metrics, int maxWidth);
    // "/a/b/c/" gives "/.../b/c/", ".../b/" gives "", "/" gives "".
    static QString CutFirstDirectory(const QString &folder);

    // OK takes a name still being typed first; a refused name keeps the window open.
    void done(int result) override;

Q_SIGNALS:
    void SelChange(const TRzShellAbsId &newSel);
    void Shown();
    void Hidden();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void CreateBtnClick();
    void DeleteBtnClick();
    void ShellTreeChange(TRzShellTreeNode *node);
    void ShowPath(const QString &path);
    int MessageWidth() const;
    void FormResize();
    void PlaceToolButtons();

    TRzShellTree *m_shellTree;
    QToolButton *m_btnNewFolder;
    QToolButton *m_btnDeleteFolder;
    QWidget *m_buttonPanel;
    QPushButton *m_okBtn;
    QPushButton *m_cancelBtn;
    QStatusBar *m_statusBar;
    QSizeGrip *m_statusGrip = nullptr; // the message is drawn up to it
    QIcon m_createIcon;                // the disabled pictures come from the icons' disabled mode
    QIcon m_deleteIcon;
    bool m_shown = false;
};
