#include "widgets/shell/TRzCustomShellTree.h"

#include "fileutil/FlagScope.h"
#include "widgets/look/MessageBoxes.h"
#include "widgets/look/TRzBusyPointer.h"
#include "widgets/shell/TRzMountWatcher.h"
#include "widgets/shell/TRzShellTreeData.h"
#include "widgets/shell/TRzShellTreeNode.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QEventLoop>
#include <QFile>
#include <QFileSystemWatcher>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QSet>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int CreateFolderWait = 1000;
constexpr int CreateFolderWaitAtRoot = 2100;
constexpr int NewFolderAttempts = 50;
constexpr int FolderChangeDelay = 300;

// A box with the one answer OK, made as the wizard makes its own: a button
// of our own caption, not the standard Ok, to which a desktop's theme may
// give a tick picture crowding the caption.
void TellUser(QWidget *window, QMessageBox::Icon icon, const QString &title, const QString &text)
{
    AskMessageBox(window, icon, title, text, {{QStringLiteral("OK")}}, 0, 0);
}

// Counts a stretch in which the tree rebuilds itself.
class UpdatingScope
{
public:
    explicit UpdatingScope(int &counter) : m_counter(counter) { ++m_counter; }
    ~UpdatingScope() { --m_counter; }
    UpdatingScope(const UpdatingScope &) = delete;
    UpdatingScope &operator=(const UpdatingScope &) = delete;

private:
    int &m_counter;
};

} // namespace

// Starts an in-place edit from the item's name for editing and hands the
// typed text back to the tree instead of writing it into the node.
class TRzShellTreeEditDelegate : public QStyledItemDelegate
{
public:
    explicit TRzShellTreeEditDelegate(TRzCustomShellTree *tree)
        : QStyledItemDelegate(tree), m_tree(tree)
    {}

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *line = qobject_cast<QLineEdit *>(editor);
        auto *node = static_cast<TRzShellTreeNode *>(m_tree->itemFromIndex(index));
        if (line && node)
            line->setText(m_tree->EditText(node));
        else
            QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &) const override
    {
        if (auto *line = qobject_cast<QLineEdit *>(editor)) {
            m_tree->m_editText = line->text();
            m_tree->m_editCommitted = true;
        }
    }

private:
    TRzCustomShellTree *m_tree;
};

TRzCustomShellTree::TRzCustomShellTree(QWidget *parent)
    : QTreeWidget(parent), m_namespace(TRzShellNamespace::FileSystem()), m_baseFolder(m_namespace),
      m_selectedFolder(m_namespace)
{
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::Fixed); // see FitColumn
    setUniformRowHeights(true); // rows of one height: no size hint asked of every item
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::SelectedClicked);
    setItemDelegate(new TRzShellTreeEditDelegate(this));
    setAutoScroll(true);

    m_baseFolder.OnChange = [this]() {
        m_selectedFolder.Clear();
        if (m_options.testFlag(stoAutoFill))
            FillTree();
    };

    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *current, QTreeWidgetItem *) { OnCurrentItemChanged(current); });
    connect(this, &QTreeWidget::itemExpanded, this, &TRzCustomShellTree::OnItemExpanded);

    m_mountWatcher = new TRzMountWatcher(this);
    connect(m_mountWatcher, &TRzMountWatcher::MountsChanged, this,
            &TRzCustomShellTree::OnMountsChanged);
}

TRzCustomShellTree::~TRzCustomShellTree()
{
    // The nodes die with the view; nobody is told of it any more.
    blockSignals(true);
}

void TRzCustomShellTree::updateGeometries()
{
    FitColumn();
    QTreeWidget::updateGeometries();
}

void TRzCustomShellTree::FitColumn()
{
    if (m_fitting)
        return;
    FlagScope fitting(m_fitting);
    const int available = viewport()->width();
    // The rows' widths, each with its indentation and the item's margins;
    // -1 without rows.
    const int needed = sizeHintForColumn(0);
    // The style leaves this margin after the text (QCommonStyle's item text margin).
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = needed - margin > available ? needed : available;
    if (header()->sectionSize(0) != width)
        header()->resizeSection(0, width);
}

void TRzCustomShellTree::SetNamespace(std::shared_ptr<TRzShellNamespace> shellNamespace)
{
    m_namespace = shellNamespace ? std::move(shellNamespace) : TRzShellNamespace::FileSystem();
    {
        UpdatingScope updating(m_updating);
        ClearNodes();
    }
    m_baseFolder.SetNamespace(m_namespace);
    m_selectedFolder.SetNamespace(m_namespace);
}

void TRzCustomShellTree::SetOptions(TRzShellTreeOptions options)
{
    const TRzShellTreeOptions listing = stoIncludeNonFolders | stoShowHidden | stoVirtualFolders;
    const bool relist = (options & listing) != (m_options & listing);
    m_options = options;
    setDragEnabled(options.testFlag(stoOleDrag));
    setAcceptDrops(options.testFlag(stoOleDrop));
    viewport()->setAcceptDrops(options.testFlag(stoOleDrop));
    setDragDropMode(options.testFlag(stoOleDrop)   ? QAbstractItemView::DragDrop
                    : options.testFlag(stoOleDrag) ? QAbstractItemView::DragOnly
                                                   : QAbstractItemView::NoDragDrop);
    if (options.testFlag(stoDynamicRefresh) && !m_folderWatcher) {
        m_folderWatcher = new QFileSystemWatcher(this);
        m_folderChangeDelay = new QTimer(this);
        m_folderChangeDelay->setSingleShot(true);
        m_folderChangeDelay->setInterval(FolderChangeDelay);
        connect(m_folderWatcher, &QFileSystemWatcher::directoryChanged, m_folderChangeDelay,
                qOverload<>(&QTimer::start));
        connect(m_folderChangeDelay, &QTimer::timeout, this, &TRzCustomShellTree::RefreshTree);
        WatchListedFolders();
    } else if (!options.testFlag(stoDynamicRefresh) && m_folderWatcher) {
        delete m_folderWatcher;
        delete m_folderChangeDelay;
        m_folderWatcher = nullptr;
        m_folderChangeDelay = nullptr;
    }
    if (relist && RootNode())
        FillTree();
}

void TRzCustomShellTree::SetSelectedItem(const TRzShellAbsId &item)
{
    m_selectedFolder.SetIdList(item);
    if (RootNode())
        SelectLocation(item);
}

void TRzCustomShellTree::SetProtectedPaths(const QByteArrayList &paths)
{
    m_protectedPaths.clear();
    for (const QByteArray &path : paths) {
        if (!path.isEmpty())
            m_protectedPaths.append(path);
    }
}

bool TRzCustomShellTree::IsProtected(TRzShellTreeNode *node) const
{
    if (!node || node->IsRoot())
        return true;
    return m_namespace->IsProtected(node->Record().AbsoluteId(), m_protectedPaths);
}

TRzShellListFlags TRzCustomShellTree::ListRequest() const
{
    TRzShellListFlags request = slFolders;
    if (m_options.testFlag(stoShowHidden))
        request |= slHidden;
    if (m_options.testFlag(stoIncludeNonFolders))
        request |= slNonFolders;
    return request;
}

bool TRzCustomShellTree::MarksChildren(TRzShellAttributes attributes) const
{
    if (m_options.testFlag(stoIncludeNonFolders))
        return attributes.testFlag(saFolder) || attributes.testFlag(saHasSubfolders);
    return attributes.testFlag(saFolder) && attributes.testFlag(saHasSubfolders);
}

TRzShellTreeNode *TRzCustomShellTree::RootNode() const
{
    return static_cast<TRzShellTreeNode *>(topLevelItem(0));
}

TRzShellTreeNode *TRzCustomShellTree::SelectedNode() const
{
    return static_cast<TRzShellTreeNode *>(currentItem());
}

QByteArray TRzCustomShellTree::NodePath(TRzShellTreeNode *node) const
{
    return node ? m_namespace->ItemPath(node->Record().AbsoluteId()) : QByteArray();
}

void TRzCustomShellTree::RunDueRefresh()
{
    if (m_refreshDue && !IsInteracting()) {
        m_refreshDue = false;
        RefreshTree();
    }
}

std::unique_ptr<TRzShellTreeNode> TRzCustomShellTree::MakeChild(TRzShellTreeNode *parent,
                                                                const TRzShellRelId &id)
{
    const TRzShellAbsId parentId = parent->Record().AbsoluteId();
    const std::optional<TRzShellAttributes> attributes = m_namespace->ItemAttributes(parentId, id);
    if (!attributes)
        return nullptr;
    const bool passes = m_options.testFlag(stoVirtualFolders) ||
                        attributes->testFlag(saFileSystem) ||
                        attributes->testFlag(saFileSystemAncestor);
    if (!passes)
        return nullptr;
    bool allowAdd = true;
    Q_EMIT OnAddItem(parentId, id, *attributes, allowAdd);
    if (!allowAdd)
        return nullptr;
    auto node = std::make_unique<TRzShellTreeNode>(
        m_namespace, std::make_unique<TRzShellTreeData>(this, &parent->Record(), id), *attributes);
    node->setText(0, m_namespace->DisplayName(parentId, id, TRzShellNamePurpose::InFolder));
    node->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable |
                   Qt::ItemIsDragEnabled);
    node->SetListingState(MarksChildren(*attributes) ? TRzShellTreeNode::Listing::Unlisted
                                                     : TRzShellTreeNode::Listing::Leaf);
    return node;
}

void TRzCustomShellTree::InsertChildren(TRzShellTreeNode *parent,
                                        std::vector<std::unique_ptr<TRzShellTreeNode>> &children)
{
    if (children.empty())
        return;
    const bool hadChildren = parent->childCount() > 0;
    const TRzShellAbsId folder = parent->Record().AbsoluteId();
    std::stable_sort(children.begin(), children.end(), [&](const auto &a, const auto &b) {
        return m_namespace->CompareItems(folder, a->Record().RelativeId(),
                                         b->Record().RelativeId()) < 0;
    });
    QList<QTreeWidgetItem *> items;
    items.reserve(qsizetype(children.size()));
    for (auto &child : children)
        items.append(child.release());
    children.clear();
    // One insertion for the lot: the view then lays out once, not once per child.
    parent->addChildren(items);
    if (hadChildren)
        parent->sortChildren(0, Qt::AscendingOrder);
    for (QTreeWidgetItem *item : std::as_const(items))
        Q_EMIT OnInsertItem(static_cast<TRzShellTreeNode *>(item));
}

TRzShellTreeNode *TRzCustomShellTree::AddChildItem(TRzShellTreeNode *parent,
                                                   const TRzShellRelId &id)
{
    std::unique_ptr<TRzShellTreeNode> child = MakeChild(parent, id);
    if (!child)
        return nullptr;
    TRzShellTreeNode *node = child.get();
    std::vector<std::unique_ptr<TRzShellTreeNode>> children;
    children.push_back(std::move(child));
    InsertChildren(parent, children);
    if (parent->ListingState() == TRzShellTreeNode::Listing::Leaf)
        parent->SetListingState(TRzShellTreeNode::Listing::Unlisted);
    return node;
}

TRzShellTreeNode *TRzCustomShellTree::FindChild(TRzShellTreeNode *parent,
                                                const TRzShellRelId &id) const
{
    const TRzShellAbsId folder = parent->Record().AbsoluteId();
    for (int i = 0; i < parent->childCount(); ++i) {
        TRzShellTreeNode *child = parent->ChildNode(i);
        if (m_namespace->CompareItems(folder, child->Record().RelativeId(), id) == 0)
            return child;
    }
    return nullptr;
}

void TRzCustomShellTree::ListNode(TRzShellTreeNode *node)
{
    TRzBusyPointer busy;
    Q_EMIT OnFillStart();
    const TRzShellListing listing =
        m_namespace->ListChildren(node->Record().AbsoluteId(), ListRequest());
    if (listing.outcome == TRzShellListing::NotStarted) {
        // Left expandable, so that it can be tried again.
        node->SetListingState(TRzShellTreeNode::Listing::Unlisted);
        return;
    }
    // A node can already hold a child that a SelectLocation walk put there.
    QSet<QByteArray> present;
    for (int i = 0; i < node->childCount(); ++i)
        present.insert(node->ChildNode(i)->Record().RelativeId());
    std::vector<std::unique_ptr<TRzShellTreeNode>> children;
    children.reserve(size_t(listing.children.size()));
    for (const TRzShellRelId &id : listing.children) {
        if (present.contains(id))
            continue;
        if (std::unique_ptr<TRzShellTreeNode> child = MakeChild(node, id))
            children.push_back(std::move(child));
    }
    node->SetListingState(TRzShellTreeNode::Listing::Listed);
    InsertChildren(node, children);
    if (listing.outcome == TRzShellListing::Failed)
        ShowError(listing.message);
    Q_EMIT OnFillComplete();
}

void TRzCustomShellTree::EnsureListed(TRzShellTreeNode *node)
{
    if (node->ListingState() != TRzShellTreeNode::Listing::Listed)
        ListNode(node);
}

void TRzCustomShellTree::OnItemExpanded(QTreeWidgetItem *item)
{
    auto *node = static_cast<TRzShellTreeNode *>(item);
    if (node->ListingState() != TRzShellTreeNode::Listing::Listed)
        ListNode(node);
    if (node->childCount() == 0)
        node->setExpanded(false);
    WatchListedFolders();
}

void TRzCustomShellTree::DeleteNode(TRzShellTreeNode *node)
{
    while (node->childCount() > 0)
        DeleteNode(node->ChildNode(node->childCount() - 1));
    Q_EMIT OnDeleteItem(node, &node->Record());
    if (m_editNode == node)
        m_editNode = nullptr;
    delete node;
}

void TRzCustomShellTree::ClearNodes()
{
    while (topLevelItemCount() > 0)
        DeleteNode(static_cast<TRzShellTreeNode *>(topLevelItem(topLevelItemCount() - 1)));
}

void TRzCustomShellTree::FillTree()
{
    if (IsInteracting()) {
        m_refreshDue = true;
        return;
    }
    TRzBusyPointer busy;
    TRzShellTreeNode *root = nullptr;
    {
        UpdatingScope updating(m_updating);
        ClearNodes();
        const TRzShellAbsId rootId = m_baseFolder.IdList();
        const TRzShellAbsId parentId = rootId.mid(0, std::max<qsizetype>(0, rootId.size() - 1));
        const TRzShellRelId rootRelId = rootId.isEmpty() ? TRzShellRelId() : rootId.last();
        TRzShellAttributes attributes = saFolder | saFileSystemAncestor | saHasSubfolders;
        if (!rootId.isEmpty()) {
            attributes = m_namespace->ItemAttributes(parentId, rootRelId).value_or(attributes);
        } else if (!m_namespace->ItemPath(rootId).isEmpty()) {
            attributes |= saFileSystem;
        }
        attributes &= ~TRzShellAttributes(saCanRename);
        auto node = std::make_unique<TRzShellTreeNode>(
            m_namespace, std::make_unique<TRzShellTreeData>(this, rootId), attributes);
        node->setText(0,
                      m_namespace->DisplayName(parentId, rootRelId, TRzShellNamePurpose::InFolder));
        node->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        root = node.get();
        addTopLevelItem(node.release());
        ListNode(root);
        if (root->childCount() > 0)
            root->setExpanded(true);
    }
    if (!m_selectedFolder.IsNone())
        SelectLocation(m_selectedFolder.IdList());
    else
        setCurrentItem(root);
    WatchListedFolders();
}

void TRzCustomShellTree::SelectLocation(const TRzShellAbsId &item)
{
    TRzShellTreeNode *root = RootNode();
    if (m_updating > 0 || !root)
        return;
    const TRzShellAbsId base = root->Record().AbsoluteId();
    const qsizetype n = base.size();
    const qsizetype m = item.size();
    if (m == 0 || m <= n || !m_namespace->IsWithin(item, base)) {
        setCurrentItem(root);
        if (m > 0 && root->childCount() > 0)
            root->setExpanded(true);
        scrollToItem(root);
        return;
    }
    TRzShellTreeNode *node = root;
    EnsureListed(root);
    if (root->childCount() > 0)
        root->setExpanded(true);
    for (qsizetype i = n; i < m; ++i) {
        EnsureListed(node);
        TRzShellTreeNode *child = FindChild(node, item.at(i));
        if (!child)
            child = AddChildItem(node, item.at(i));
        if (!child) {
            QApplication::beep();
            break;
        }
        if (node->childCount() > 0)
            node->setExpanded(true);
        node = child;
    }
    setCurrentItem(node);
    scrollToItem(node);
    // Scroll bars that appear once the new rows are laid out can cover the
    // row again; look once more when the layout is done.
    QTimer::singleShot(0, this, [this]() {
        if (TRzShellTreeNode *selected = SelectedNode())
            scrollToItem(selected);
    });
}

void TRzCustomShellTree::OnCurrentItemChanged(QTreeWidgetItem *current)
{
    if (m_updating > 0 || !current)
        return;
    auto *node = static_cast<TRzShellTreeNode *>(current);
    Q_EMIT OnChange(node);
    // The tree's own bookkeeping comes after its listeners, as they expect.
    if (currentItem() == current)
        m_selectedFolder.SetIdList(node->Record().AbsoluteId());
}

void TRzCustomShellTree::RefreshTree()
{
    if (IsInteracting()) {
        m_refreshDue = true;
        return;
    }
    TRzShellTreeNode *root = RootNode();
    if (!root) {
        FillTree();
        return;
    }
    TRzBusyPointer busy;
    Q_EMIT OnFillStart();
    TRzShellTreeNode *remembered = SelectedNode();
    {
        UpdatingScope updating(m_updating);
        setCurrentItem(nullptr);
        RefreshNode(root, remembered);
    }
    if (remembered)
        setCurrentItem(remembered);
    WatchListedFolders();
    Q_EMIT OnFillComplete();
}

void TRzCustomShellTree::RefreshNode(TRzShellTreeNode *node, TRzShellTreeNode *&remembered)
{
    if (node->ListingState() != TRzShellTreeNode::Listing::Listed) {
        if (node->IsRoot()) {
            ListNode(node);
        } else if (std::optional<TRzShellAttributes> attributes = m_namespace->ItemAttributes(
                       node->Record().ParentId(), node->Record().RelativeId())) {
            // Never listed: only whether it may have children can have changed.
            node->SetAttributes(*attributes);
            if (MarksChildren(*attributes))
                node->SetListingState(TRzShellTreeNode::Listing::Unlisted);
            else if (node->childCount() == 0)
                node->SetListingState(TRzShellTreeNode::Listing::Leaf);
        }
        for (int i = 0; i < node->childCount(); ++i)
            RefreshNode(node->ChildNode(i), remembered);
        return;
    }

    const TRzShellAbsId folder = node->Record().AbsoluteId();
    const TRzShellListing listing = m_namespace->ListChildren(folder, ListRequest());
    if (listing.outcome != TRzShellListing::NotStarted) {
        const QSet<QByteArray> listed(listing.children.cbegin(), listing.children.cend());
        if (listing.outcome == TRzShellListing::Complete) {
            for (int i = node->childCount() - 1; i >= 0; --i) {
                TRzShellTreeNode *child = node->ChildNode(i);
                const TRzShellRelId &id = child->Record().RelativeId();
                // Not listed is not gone: a hidden folder or a file that a walk
                // put here stays while it exists.
                if (listed.contains(id) || m_namespace->ItemAttributes(folder, id))
                    continue;
                for (QTreeWidgetItem *up = remembered; up; up = up->parent()) {
                    if (up == child) {
                        remembered = node;
                        break;
                    }
                }
                DeleteNode(child);
            }
        }
        QSet<QByteArray> present;
        for (int i = 0; i < node->childCount(); ++i)
            present.insert(node->ChildNode(i)->Record().RelativeId());
        std::vector<std::unique_ptr<TRzShellTreeNode>> added;
        for (const TRzShellRelId &id : listing.children) {
            if (present.contains(id))
                continue;
            if (std::unique_ptr<TRzShellTreeNode> child = MakeChild(node, id))
                added.push_back(std::move(child));
        }
        InsertChildren(node, added);
        if (listing.outcome == TRzShellListing::Failed)
            ShowError(listing.message);
    }
    for (int i = 0; i < node->childCount(); ++i)
        RefreshNode(node->ChildNode(i), remembered);
}

void TRzCustomShellTree::OnMountsChanged()
{
    // A file system that came or went counts as a device change.
    if (RootNode())
        RefreshTree();
}

void TRzCustomShellTree::WatchListedFolders()
{
    if (!m_folderWatcher)
        return;
    const QStringList watched = m_folderWatcher->directories();
    if (!watched.isEmpty())
        m_folderWatcher->removePaths(watched);
    QStringList paths;
    QList<TRzShellTreeNode *> pending;
    if (TRzShellTreeNode *root = RootNode())
        pending.append(root);
    while (!pending.isEmpty()) {
        TRzShellTreeNode *node = pending.takeLast();
        if (node->ListingState() != TRzShellTreeNode::Listing::Listed)
            continue;
        const QByteArray path = NodePath(node);
        if (!path.isEmpty())
            paths.append(QFile::decodeName(path));
        for (int i = 0; i < node->childCount(); ++i)
            pending.append(node->ChildNode(i));
    }
    if (!paths.isEmpty())
        m_folderWatcher->addPaths(paths);
}

void TRzCustomShellTree::WaitShowingBusy(int milliseconds)
{
    TRzBusyPointer busy;
    // The window keeps painting, but takes no input until the wait is over.
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void TRzCustomShellTree::CreateNewFolder()
{
    TRzShellTreeNode *node = SelectedNode();
    if (!node)
        return;
    const bool atRoot = node->Record().AbsoluteId().isEmpty();
    // An item without a path holds no folders: the new one goes into the
    // current folder instead.
    const std::optional<TRzShellAbsId> folder = NodePath(node).isEmpty()
                                                    ? m_namespace->ParsePath(QByteArray("."))
                                                    : node->Record().AbsoluteId();
    if (!folder)
        return;

    enum class Series
    {
        Created,
        AllTaken,
        Failed
    };
    QString created;
    QString takenReason;
    const auto trySeries = [&](const QString &base, const QString &numbered) {
        for (int attempt = 1; attempt <= NewFolderAttempts; ++attempt) {
            const QString name = attempt == 1 ? base : base + numbered.arg(attempt);
            const TRzShellCreateResult result = m_namespace->CreateFolder(*folder, name);
            if (result.outcome == TRzShellCreateResult::Created) {
                created = name;
                return Series::Created;
            }
            if (result.outcome == TRzShellCreateResult::Exists) {
                takenReason = result.message;
                continue;
            }
            TellUser(
                window(), QMessageBox::Warning, QStringLiteral("Warning"),
                QStringLiteral("Unable to create the folder '%2'\n\n%1").arg(result.message, name));
            return Series::Failed;
        }
        return Series::AllTaken;
    };

    // A failure other than "already exists" would fail the same way in the
    // second series, so it ends the whole attempt after its one warning.
    Series outcome = trySeries(QStringLiteral("New Folder"), QStringLiteral(" (%1)"));
    if (outcome == Series::AllTaken)
        outcome = trySeries(QStringLiteral("fldr"), QStringLiteral("%1"));
    if (outcome == Series::Failed)
        return;
    if (outcome == Series::AllTaken) {
        TellUser(window(), QMessageBox::Warning, QStringLiteral("Warning"),
                 QStringLiteral("Unable to create the folder '%2'\n\n%1")
                     .arg(takenReason, QStringLiteral("New Folder")));
        return;
    }

    WaitShowingBusy(atRoot ? CreateFolderWaitAtRoot : CreateFolderWait);
    RefreshTree();
    node = SelectedNode();
    if (!node)
        return;
    EnsureListed(node);
    if (node->childCount() > 0)
        node->setExpanded(true);
    for (int i = 0; i < node->childCount(); ++i) {
        TRzShellTreeNode *child = node->ChildNode(i);
        if (child->text(0) == created) {
            scrollToItem(child);
            StartRename(child);
            break;
        }
    }
}

bool TRzCustomShellTree::CanRename(TRzShellTreeNode *node) const
{
    return node && !m_readOnly && !node->IsRoot() && node->Attributes().testFlag(saCanRename);
}

QString TRzCustomShellTree::EditText(TRzShellTreeNode *node) const
{
    return m_namespace->DisplayName(node->Record().ParentId(), node->Record().RelativeId(),
                                    TRzShellNamePurpose::ForEditing);
}

bool TRzCustomShellTree::StartRename(TRzShellTreeNode *node)
{
    if (!node)
        return false;
    scrollToItem(node);
    editItem(node, 0);
    return m_editing && m_editNode == node;
}

bool TRzCustomShellTree::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (trigger != AllEditTriggers && !(editTriggers() & trigger))
        return QTreeWidget::edit(index, trigger, event);
    auto *node = static_cast<TRzShellTreeNode *>(itemFromIndex(index));
    if (m_editing || !CanRename(node))
        return false;
    bool allowEdit = true;
    Q_EMIT OnEditing(node, allowEdit);
    if (!allowEdit)
        return false;
    m_editCommitted = false;
    m_editNode = node;
    m_editing = true;
    if (!QTreeWidget::edit(index, trigger, event)) {
        m_editing = false;
        m_editNode = nullptr;
        return false;
    }
    return true;
}

void TRzCustomShellTree::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTreeWidget::closeEditor(editor, hint);
    if (!m_editing)
        return;
    // The editor is gone from the view by now, so a message box shown by the
    // rename cannot end the same edit a second time through a focus change.
    TRzShellTreeNode *node = std::exchange(m_editNode, nullptr);
    const bool committed = std::exchange(m_editCommitted, false);
    m_editRefused = node && committed && !ApplyRename(node, m_editText);
    m_editing = false;
    RunDueRefresh();
}

bool TRzCustomShellTree::CommitLabelEdit()
{
    if (!m_editing || !m_editNode)
        return true;
    QWidget *editor = indexWidget(indexFromItem(m_editNode));
    if (!editor)
        return true;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return !m_editRefused;
}

bool TRzCustomShellTree::ApplyRename(TRzShellTreeNode *node, const QString &typed)
{
    QString text = typed.trimmed();
    // An unchanged text is no rename: a name that is not valid text would
    // otherwise come back as a different name.
    if (text.isEmpty() || text == EditText(node))
        return true;
    Q_EMIT OnEdited(node, text);
    if (text.isEmpty())
        return true;
    TRzShellTreeData &record = node->Record();
    const TRzShellAbsId folder = record.ParentId();
    TRzShellRenameResult result;
    {
        TRzBusyPointer busy;
        result = m_namespace->RenameItem(folder, record.RelativeId(), text);
    }
    if (!result.ok) {
        ShowError(result.message);
        return false;
    }
    if (!result.newId) {
        node->setText(0, m_namespace->DisplayName(folder, record.RelativeId(),
                                                  TRzShellNamePurpose::InFolder));
        return true;
    }
    record.SetRelativeId(*result.newId);
    QList<QTreeWidgetItem *> below{node};
    while (!below.isEmpty()) {
        auto *each = static_cast<TRzShellTreeNode *>(below.takeLast());
        each->Record().ForgetAbsoluteId();
        each->ForgetIcons();
        for (int i = 0; i < each->childCount(); ++i)
            below.append(each->child(i));
    }
    if (std::optional<TRzShellAttributes> attributes =
            m_namespace->ItemAttributes(folder, *result.newId))
        node->SetAttributes(*attributes);
    node->setText(0,
                  m_namespace->DisplayName(folder, *result.newId, TRzShellNamePurpose::InFolder));
    if (TRzShellTreeNode *parent = node->ParentNode())
        parent->sortChildren(0, Qt::AscendingOrder);
    scrollToItem(node);

    // The renamed item is the selection from now on (a new folder is named
    // to be chosen); when it already was, the listeners see its new path.
    if (SelectedNode() != node) {
        setCurrentItem(node);
    } else {
        Q_EMIT OnChange(node);
        m_selectedFolder.SetIdList(node->Record().AbsoluteId());
    }
    return true;
}

std::unique_ptr<TRzShellCommands> TRzCustomShellTree::CommandsOf(TRzShellTreeNode *node)
{
    QString error;
    std::unique_ptr<TRzShellCommands> commands = m_namespace->ItemCommands(
        node->Record().ParentId(), node->Record().RelativeId(), !m_readOnly, &error);
    if (!commands) {
        ShowError(error);
        return nullptr;
    }
    if (IsProtected(node))
        commands->Disable(TRzShellVerb::Delete);
    return commands;
}

TRzShellCommands::Outcome TRzCustomShellTree::InvokeCommand(TRzShellTreeNode *node,
                                                            const QString &verb)
{
    if (!node || node->IsRoot())
        return TRzShellCommands::Outcome::Unknown;
    std::unique_ptr<TRzShellCommands> commands = CommandsOf(node);
    if (!commands)
        return TRzShellCommands::Outcome::Failed;
    return RunCommand(node, *commands, verb);
}

TRzShellCommands::Outcome TRzCustomShellTree::RunCommand(TRzShellTreeNode *node,
                                                         TRzShellCommands &commands,
                                                         const QString &verb)
{
    const TRzShellCommand *command = commands.Find(verb);
    if (!command)
        return TRzShellCommands::Outcome::Unknown;
    if (!command->enabled) {
        if (TRzShellCommands::SameVerb(command->verb, TRzShellVerb::Delete)) {
            TellUser(window(), QMessageBox::Information, QStringLiteral("Information"),
                     QStringLiteral("\"%1\" cannot be deleted from here: it is the root, a "
                                    "folder directly in it, your home folder, or a folder "
                                    "that holds data this program works with.")
                         .arg(QFile::decodeName(NodePath(node))));
        }
        return TRzShellCommands::Outcome::Declined;
    }
    // The tree edits the label itself rather than handing a rename over.
    if (TRzShellCommands::SameVerb(command->verb, TRzShellVerb::Rename))
        return StartRename(node) ? TRzShellCommands::Outcome::Done
                                 : TRzShellCommands::Outcome::Declined;
    const TRzShellCommands::Outcome outcome = commands.Invoke(command->verb, window());
    RefreshTree();
    return outcome;
}

void TRzCustomShellTree::ShowError(const QString &text)
{
    TellUser(window(), QMessageBox::Critical, QStringLiteral("Error"), text);
}

void TRzCustomShellTree::contextMenuEvent(QContextMenuEvent *event)
{
    if (!m_options.testFlag(stoContextMenus)) {
        QTreeWidget::contextMenuEvent(event);
        return;
    }
    auto *node = event->reason() == QContextMenuEvent::Keyboard
                     ? SelectedNode()
                     : static_cast<TRzShellTreeNode *>(itemAt(event->pos()));
    if (!node || node->IsRoot())
        return;
    std::unique_ptr<TRzShellCommands> commands = CommandsOf(node);
    if (!commands)
        return;
    QMenu menu(this);
    for (const TRzShellCommand &command : commands->Commands()) {
        QAction *action = menu.addAction(command.caption);
        action->setEnabled(command.enabled);
        action->setData(command.verb);
    }
    QPoint where = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard)
        where = viewport()->mapToGlobal(visualItemRect(node).bottomLeft());
    QAction *chosen = nullptr;
    {
        FlagScope open(m_menuOpen);
        chosen = menu.exec(where);
    }
    if (chosen)
        RunCommand(node, *commands, chosen->data().toString());
    RunDueRefresh();
}

void TRzCustomShellTree::mousePressEvent(QMouseEvent *event)
{
    // Only a left click moves the selection; a context menu works on the row
    // under the mouse and leaves the selection where it was.
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void TRzCustomShellTree::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        event->accept();
        return;
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

void TRzCustomShellTree::keyPressEvent(QKeyEvent *event)
{
    const bool ownKeys = m_options.testFlag(stoDefaultKeyHandling);
    if (event->matches(QKeySequence::Copy)) {
        // Without the tree's own keys, Ctrl+C does nothing here.
        if (ownKeys)
            InvokeCommand(SelectedNode(), TRzShellVerb::CopyPath);
        else
            event->ignore();
        return;
    }
    if (ownKeys && event->modifiers() == Qt::NoModifier) {
        switch (event->key()) {
        case Qt::Key_F2:
            StartRename(SelectedNode());
            return;
        case Qt::Key_F5:
            RefreshTree();
            return;
        case Qt::Key_Delete:
            InvokeCommand(SelectedNode(), TRzShellVerb::Delete);
            return;
        default:
            break;
        }
    }
    QTreeWidget::keyPressEvent(event);
}

void TRzCustomShellTree::startDrag(Qt::DropActions)
{
    TRzShellTreeNode *node = SelectedNode();
    const QByteArray path = NodePath(node);
    if (!m_options.testFlag(stoOleDrag) || path.isEmpty())
        return;
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(QFile::decodeName(path))});
    mime->setText(QFile::decodeName(path));
    auto *drag = new QDrag(this);
    drag->setMimeData(mime);
    {
        FlagScope dragging(m_dragging);
        drag->exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
    }
    RunDueRefresh();
}

namespace {

QByteArray DroppedPath(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return QByteArray();
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return QByteArray();
    return QFile::encodeName(urls.first().toLocalFile());
}

} // namespace

void TRzCustomShellTree::dragEnterEvent(QDragEnterEvent *event)
{
    if (m_options.testFlag(stoOleDrop) && !DroppedPath(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::LinkAction);
        event->accept();
        return;
    }
    event->ignore();
}

void TRzCustomShellTree::dragMoveEvent(QDragMoveEvent *event)
{
    if (m_options.testFlag(stoOleDrop) && !DroppedPath(event->mimeData()).isEmpty()) {
        event->setDropAction(Qt::LinkAction);
        event->accept();
        return;
    }
    event->ignore();
}

void TRzCustomShellTree::dropEvent(QDropEvent *event)
{
    const QByteArray path = DroppedPath(event->mimeData());
    if (!m_options.testFlag(stoOleDrop) || path.isEmpty()) {
        event->ignore();
        return;
    }
    // Dropping only points at an item: nothing is copied or moved.
    event->setDropAction(Qt::LinkAction);
    event->accept();
    if (const std::optional<TRzShellAbsId> item = m_namespace->ParsePath(path))
        SelectLocation(*item);
}
