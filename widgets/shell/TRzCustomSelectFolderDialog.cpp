#include "widgets/shell/TRzCustomSelectFolderDialog.h"

#include "fileutil/Exception.h"
#include "widgets/look/TRzBusyPointer.h"
#include "widgets/shell/TRzSelectFolderForm.h"
#include "widgets/shell/TRzShellTree.h"

#include <QApplication>
#include <QFile>
#include <QStatusBar>
#include <QWindow>

TRzCustomSelectFolderDialog::TRzCustomSelectFolderDialog(QObject *parent)
    : TRzShellDialog(parent), m_namespace(TRzShellNamespace::FileSystem()),
      m_baseFolder(m_namespace), m_selectedFolder(m_namespace)
{}

TRzCustomSelectFolderDialog::~TRzCustomSelectFolderDialog() = default;

QString TRzCustomSelectFolderDialog::SelectedPath() const
{
    return QFile::decodeName(SelectedPathBytes());
}

void TRzCustomSelectFolderDialog::SetSelectedPath(const QString &path)
{
    SetSelectedPathBytes(QFile::encodeName(path));
}

QByteArray TRzCustomSelectFolderDialog::SelectedPathBytes() const
{
    return m_selectedFolder.Path();
}

void TRzCustomSelectFolderDialog::SetSelectedPathBytes(const QByteArray &path)
{
    m_selectedFolder.SetPath(path);
}

void TRzCustomSelectFolderDialog::SetProtectedPaths(const QStringList &paths)
{
    m_protectedPaths.clear();
    for (const QString &path : paths)
        m_protectedPaths.append(QFile::encodeName(path));
}

QStringList TRzCustomSelectFolderDialog::ProtectedPaths() const
{
    QStringList paths;
    for (const QByteArray &path : m_protectedPaths)
        paths.append(QFile::decodeName(path));
    return paths;
}

void TRzCustomSelectFolderDialog::SetNamespace(std::shared_ptr<TRzShellNamespace> shellNamespace)
{
    m_namespace = shellNamespace ? std::move(shellNamespace) : TRzShellNamespace::FileSystem();
    m_baseFolder.SetNamespace(m_namespace);
    m_selectedFolder.SetNamespace(m_namespace);
}

namespace {

using Options = TRzCustomSelectFolderDialog::TRzSelectFolderDialogOptions;

// The tree's options after the dialog's options that stand for them; the
// tree's other options are left as they are.
TRzCustomShellTree::TRzShellTreeOptions TreeOptions(Options options,
                                                    TRzCustomShellTree::TRzShellTreeOptions tree)
{
    using Dialog = TRzCustomSelectFolderDialog;
    using Tree = TRzCustomShellTree;
    struct Mapping
    {
        Dialog::TRzSelectFolderDialogOption dialogOption;
        Tree::TRzShellTreeOption treeOption;
    };
    static constexpr Mapping mappings[] = {
        {Dialog::sfdoContextMenus, Tree::stoContextMenus},
        {Dialog::sfdoIncludeNonFolders, Tree::stoIncludeNonFolders},
        {Dialog::sfdoOleDrag, Tree::stoOleDrag},
        {Dialog::sfdoOleDrop, Tree::stoOleDrop},
        {Dialog::sfdoVirtualFolders, Tree::stoVirtualFolders},
        {Dialog::sfdoShowHidden, Tree::stoShowHidden},
    };
    for (const Mapping &mapping : mappings)
        tree.setFlag(mapping.treeOption, options.testFlag(mapping.dialogOption));
    return tree;
}

// Points a member at the running window and forgets it on every way out.
class FormScope
{
public:
    FormScope(TRzSelectFolderForm *&slot, TRzSelectFolderForm *form) : m_slot(slot)
    {
        m_slot = form;
    }
    ~FormScope() { m_slot = nullptr; }
    FormScope(const FormScope &) = delete;
    FormScope &operator=(const FormScope &) = delete;

private:
    TRzSelectFolderForm *&m_slot;
};

} // namespace

bool TRzCustomSelectFolderDialog::Execute()
{
    ExecutingScope executing(*this);
    if (m_form)
        throw Exception(QStringLiteral("TRzSelectFolderDialog form already active"));
    TRzBusyPointer busy;

    // The window belongs to this run, not to the window that opened it: it
    // is only told which window to stay above.
    auto form = std::make_unique<TRzSelectFolderForm>();
    if (QWidget *opener = QApplication::activeWindow()) {
        form->winId();
        if (form->windowHandle() && opener->windowHandle())
            form->windowHandle()->setTransientParent(opener->windowHandle());
    }
    FormScope current(m_form, form.get());
    Configure(*form);
    Q_EMIT OnInitialized(this);

    int result = QDialog::Rejected;
    {
        TRzBusyPointer normal(Qt::ArrowCursor);
        result = form->exec();
    }
    TakeResults(*form, result);
    form.reset();
    return result == QDialog::Accepted;
}

void TRzCustomSelectFolderDialog::Configure(TRzSelectFolderForm &form)
{
    TRzShellTree *tree = form.ShellTree();
    connect(&form, &TRzSelectFolderForm::SelChange, this,
            [this](const TRzShellAbsId &newSel) { Q_EMIT OnSelChange(this, newSel); });
    connect(tree, &TRzCustomShellTree::OnAddItem, this,
            [this](const TRzShellAbsId &parentAbsId, const TRzShellRelId &itemRelId,
                   TRzShellAttributes attribs, bool &allowAdd) {
                Q_EMIT OnAddItem(this, parentAbsId, itemRelId, attribs, allowAdd);
            });
    TRzSelectFolderForm *window = &form;
    connect(&form, &TRzSelectFolderForm::Shown, this,
            [this, window]() { Q_EMIT OnFormShow(window); });
    connect(&form, &TRzSelectFolderForm::Hidden, this,
            [this, window]() { Q_EMIT OnFormClose(window); });

    form.StatusBar()->clearMessage();
    if (FormWidth() > 0 || FormHeight() > 0)
        form.resize(FormWidth() > 0 ? FormWidth() : form.width(),
                    FormHeight() > 0 ? FormHeight() : form.height());
    // A window that opened minimized would hide a modal run from its user.
    form.setWindowState(FormWindowState() == wsMaximized ? Qt::WindowMaximized : Qt::WindowNoState);
    // The options are the dialog's own: the window is told only what they
    // mean for its tree and its buttons.
    tree->SetOptions(TreeOptions(m_options, tree->Options()));
    tree->SetReadOnly(m_options.testFlag(sfdoReadOnly));
    form.ApplyToolButtons(m_options.testFlag(sfdoCreateDeleteButtons),
                          m_options.testFlag(sfdoCreateFolderIcon),
                          m_options.testFlag(sfdoDeleteFolderIcon));
    form.setWindowTitle(m_title.isEmpty() ? QStringLiteral("Browse for Folder") : m_title);
    form.ApplyFrame(FrameVisible(), FrameStyle(), FrameColor());
    form.ApplyHotTrack(HotTrack(), HighlightColor(), HotTrackColor(), HotTrackColorType());

    tree->SetNamespace(m_namespace);
    tree->SetProtectedPaths(m_protectedPaths);
    tree->BaseFolder().Assign(m_baseFolder);
    tree->SetSelectedItem(m_selectedFolder.IdList());
}

void TRzCustomSelectFolderDialog::TakeResults(TRzSelectFolderForm &form, int result)
{
    // The restored size of a maximized window, so that the next run can go back to it.
    const QRect normal = form.isMaximized() ? form.normalGeometry() : form.geometry();
    if (normal.isValid()) {
        SetFormWidth(normal.width());
        SetFormHeight(normal.height());
    }
    SetFormWindowState(form.isMaximized() ? wsMaximized : wsNormal);
    if (result == QDialog::Accepted)
        m_selectedFolder.SetIdList(form.ShellTree()->SelectedItem());
}
