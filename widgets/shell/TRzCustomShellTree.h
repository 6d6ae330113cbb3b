#pragma once

#include "widgets/shell/TRzShellCommands.h"
#include "widgets/shell/TRzShellLocator.h"
#include "widgets/shell/TRzShellNamespace.h"

#include <QByteArrayList>
#include <QTreeWidget>

#include <memory>
#include <vector>

class QFileSystemWatcher;
class QTimer;
class TRzMountWatcher;
class TRzShellTreeData;
class TRzShellTreeNode;

// A tree of the shell namespace's folders, built lazily one level at a time,
// in which folders can be created, renamed in place and handed to their
// context commands. It reaches the namespace only through TRzShellNamespace.
class TRzCustomShellTree : public QTreeWidget
{
    Q_OBJECT

public:
    enum TRzShellTreeOption : unsigned
    {
        stoAutoFill = 0x001,           // fill when BaseFolder changes
        stoContextMenus = 0x002,       // right-click shows the item's commands
        stoDefaultKeyHandling = 0x004, // Del, F2, F5 and Ctrl+C act on the selected item
        stoDynamicRefresh = 0x008,     // watch the listed folders and refresh on changes
        stoIncludeNonFolders = 0x010,
        stoOleDrag = 0x020, // items can be dragged out as file URLs
        stoOleDrop = 0x040, // a folder dropped from another program is selected
        stoShowHidden = 0x080,
        stoVirtualFolders = 0x100,
    };
    Q_DECLARE_FLAGS(TRzShellTreeOptions, TRzShellTreeOption)
    Q_FLAG(TRzShellTreeOptions)

    explicit TRzCustomShellTree(QWidget *parent = nullptr);
    ~TRzCustomShellTree() override;

    // The namespace shown; the file system unless a test puts a double here.
    void SetNamespace(std::shared_ptr<TRzShellNamespace> shellNamespace);
    const std::shared_ptr<TRzShellNamespace> &Namespace() const { return m_namespace; }

    TRzShellTreeOptions Options() const { return m_options; }
    void SetOptions(TRzShellTreeOptions options);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool ShowRoot() const { return rootIsDecorated(); }
    void SetShowRoot(bool show) { setRootIsDecorated(show); }

    // The item shown as the tree's root; none is the namespace root.
    TRzShellLocator &BaseFolder() { return m_baseFolder; }
    // The selected item (none for the namespace root).
    TRzShellAbsId SelectedItem() const { return m_selectedFolder.IdList(); }
    const TRzShellLocator &SelectedFolder() const { return m_selectedFolder; }
    // Stores the item; on a filled tree it is also selected.
    void SetSelectedItem(const TRzShellAbsId &item);

    // Folders that a delete command must leave alone, with every folder that
    // holds one of them; the namespace adds its own vital folders (for the
    // file system: the root, its direct subfolders and the home folder).
    void SetProtectedPaths(const QByteArrayList &paths);
    QByteArrayList ProtectedPaths() const { return m_protectedPaths; }
    bool IsProtected(TRzShellTreeNode *node) const;

    void FillTree();
    void RefreshTree();
    void SelectLocation(const TRzShellAbsId &item);
    void CreateNewFolder();
    // Starts renaming the node's label in place; false when it may not be renamed.
    bool StartRename(TRzShellTreeNode *node);
    // Ends a label edit under way as Enter would; false when the rename was
    // refused, so the name on screen is not the item's.
    bool CommitLabelEdit();
    // Carries out one of the node's context commands as its menu would, then
    // refreshes the tree.
    TRzShellCommands::Outcome InvokeCommand(TRzShellTreeNode *node, const QString &verb);

    TRzShellTreeNode *RootNode() const;
    TRzShellTreeNode *SelectedNode() const;
    QByteArray NodePath(TRzShellTreeNode *node) const;
    // True while a refresh waits for a label edit, a drag or a menu to end.
    bool IsRefreshDue() const { return m_refreshDue; }
    bool IsEditingLabel() const { return m_editing; }

Q_SIGNALS:
    void OnAddItem(const TRzShellAbsId &parentAbsId, const TRzShellRelId &itemRelId,
                   TRzShellAttributes attribs, bool &allowAdd);
    void OnFillStart();
    void OnFillComplete();
    void OnInsertItem(TRzShellTreeNode *node);
    void OnDeleteItem(TRzShellTreeNode *node, TRzShellTreeData *record);
    void OnEditing(TRzShellTreeNode *node, bool &allowEdit);
    void OnEdited(TRzShellTreeNode *node, QString &text);
    // The selection moved to node.
    void OnChange(TRzShellTreeNode *node);

protected:
    // Sizes the column before the scroll bars are set from it (see FitColumn).
    void updateGeometries() override;
    bool edit(const QModelIndex &index, EditTrigger trigger, QEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    friend class TRzShellTreeEditDelegate;

    TRzShellListFlags ListRequest() const;
    bool IsInteracting() const { return m_editing || m_dragging || m_menuOpen; }
    void RunDueRefresh();
    bool MarksChildren(TRzShellAttributes attributes) const;
    std::unique_ptr<TRzShellTreeNode> MakeChild(TRzShellTreeNode *parent, const TRzShellRelId &id);
    TRzShellTreeNode *AddChildItem(TRzShellTreeNode *parent, const TRzShellRelId &id);
    void InsertChildren(TRzShellTreeNode *parent,
                        std::vector<std::unique_ptr<TRzShellTreeNode>> &children);
    void ListNode(TRzShellTreeNode *node);
    void EnsureListed(TRzShellTreeNode *node);
    void RefreshNode(TRzShellTreeNode *node, TRzShellTreeNode *&remembered);
    void DeleteNode(TRzShellTreeNode *node);
    void ClearNodes();
    TRzShellTreeNode *FindChild(TRzShellTreeNode *parent, const TRzShellRelId &id) const;
    bool CanRename(TRzShellTreeNode *node) const;
    QString EditText(TRzShellTreeNode *node) const;
    bool ApplyRename(TRzShellTreeNode *node, const QString &typed);
    std::unique_ptr<TRzShellCommands> CommandsOf(TRzShellTreeNode *node);
    // The one way a command is carried out, whether chosen from the menu or
    // asked for by name.
    TRzShellCommands::Outcome RunCommand(TRzShellTreeNode *node, TRzShellCommands &commands,
                                         const QString &verb);
    void ShowError(const QString &text);
    void OnCurrentItemChanged(QTreeWidgetItem *current);
    void OnItemExpanded(QTreeWidgetItem *item);
    void OnMountsChanged();
    void WatchListedFolders();
    void WaitShowingBusy(int milliseconds);
    // The column fills the viewport, so that a row's highlight reaches its
    // right edge at any width, and is wider only while a label would not
    // fit: the blank margin after the widest label brings no scroll bar.
    void FitColumn();

    std::shared_ptr<TRzShellNamespace> m_namespace;
    TRzShellTreeOptions m_options;
    bool m_readOnly = false;
    TRzShellLocator m_baseFolder;
    TRzShellLocator m_selectedFolder;
    QByteArrayList m_protectedPaths;
    int m_updating = 0;     // while above 0, selection changes are not reported
    bool m_fitting = false; // measuring the rows can lay them out, which fits again

    bool m_editing = false;
    bool m_dragging = false;
    bool m_menuOpen = false;
    bool m_refreshDue = false;
    TRzShellTreeNode *m_editNode = nullptr;
    bool m_editCommitted = false;
    bool m_editRefused = false; // the last edit's rename failed
    QString m_editText;

    TRzMountWatcher *m_mountWatcher = nullptr;
    QFileSystemWatcher *m_folderWatcher = nullptr; // only with stoDynamicRefresh
    QTimer *m_folderChangeDelay = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TRzCustomShellTree::TRzShellTreeOptions)
