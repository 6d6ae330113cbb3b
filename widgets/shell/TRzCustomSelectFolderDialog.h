#pragma once

#include "widgets/shell/TRzShellDialog.h"
#include "widgets/shell/TRzShellLocator.h"
#include "widgets/shell/TRzShellNamespace.h"

#include <QByteArrayList>
#include <QString>
#include <QStringList>

#include <memory>

class TRzSelectFolderForm;

// The folder selection dialog's behaviour: the folder state kept between
// runs and the run itself, which builds a fresh window each time.
class TRzCustomSelectFolderDialog : public TRzShellDialog
{
    Q_OBJECT

public:
    enum TRzSelectFolderDialogOption : unsigned
    {
        sfdoCreateDeleteButtons = 1u << 0,
        sfdoContextMenus = 1u << 1,
        sfdoReadOnly = 1u << 2,
        sfdoIncludeNonFolders = 1u << 3,
        sfdoOleDrag = 1u << 4,
        sfdoOleDrop = 1u << 5,
        sfdoCreateFolderIcon = 1u << 6,
        sfdoDeleteFolderIcon = 1u << 7,
        sfdoVirtualFolders = 1u << 8,
        sfdoShowHidden = 1u << 9,
    };
    Q_DECLARE_FLAGS(TRzSelectFolderDialogOptions, TRzSelectFolderDialogOption)
    Q_FLAG(TRzSelectFolderDialogOptions)

    static constexpr unsigned DefaultOptions =
        sfdoContextMenus | sfdoCreateFolderIcon | sfdoDeleteFolderIcon | sfdoShowHidden; // 706

    explicit TRzCustomSelectFolderDialog(QObject *parent = nullptr);
    ~TRzCustomSelectFolderDialog() override;

    // The chosen folder's path; "/" when nothing was chosen, empty for an item
    // without a file-system path.
    QString SelectedPath() const;
    // Text that names no existing item (the empty text too) stores none, so
    // the next run opens at the root.
    void SetSelectedPath(const QString &path);
    // The same as bytes, for names that are not valid text.
    QByteArray SelectedPathBytes() const;
    void SetSelectedPathBytes(const QByteArray &path);

    // Runs the window modally; true only when it was closed with OK, and only
    // then is the selection taken over.
    bool Execute();

    QString Title() const { return m_title; }
    void SetTitle(const QString &title) { m_title = title; }
    TRzSelectFolderDialogOptions Options() const { return m_options; }
    void SetOptions(TRzSelectFolderDialogOptions options) { m_options = options; }
    TRzShellLocator &BaseFolder() { return m_baseFolder; }
    TRzShellLocator &SelectedFolder() { return m_selectedFolder; }

    // Folders that Delete must not throw away, with every folder holding one
    // of them (for example the database folders the wizard works with). The
    // root, the folders directly in it and the home folder are protected always.
    void SetProtectedPaths(const QStringList &paths);
    QStringList ProtectedPaths() const;

    // The namespace shown; the file system unless a test puts a double here.
    void SetNamespace(std::shared_ptr<TRzShellNamespace> shellNamespace);

    // The window while a run is under way, else nullptr.
    TRzSelectFolderForm *Form() const { return m_form; }

Q_SIGNALS:
    void OnSelChange(QObject *sender, const TRzShellAbsId &newSel);
    void OnAddItem(QObject *sender, const TRzShellAbsId &parentAbsId,
                   const TRzShellRelId &itemRelId, TRzShellAttributes attribs, bool &allowAdd);

private:
    void Configure(TRzSelectFolderForm &form);
    void TakeResults(TRzSelectFolderForm &form, int result);

    std::shared_ptr<TRzShellNamespace> m_namespace;
    QString m_title;
    TRzSelectFolderDialogOptions m_options{DefaultOptions};
    TRzShellLocator m_baseFolder;
    TRzShellLocator m_selectedFolder;
    QByteArrayList m_protectedPaths;
    TRzSelectFolderForm *m_form = nullptr; // owned by Execute while it runs
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TRzCustomSelectFolderDialog::TRzSelectFolderDialogOptions)
