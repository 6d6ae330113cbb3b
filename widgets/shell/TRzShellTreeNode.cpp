#include "widgets/shell/TRzShellTreeNode.h"

#include <QFile>

TRzShellTreeNode::TRzShellTreeNode(std::shared_ptr<TRzShellNamespace> shellNamespace,
                                   std::unique_ptr<TRzShellTreeData> record,
                                   TRzShellAttributes attributes)
    : QTreeWidgetItem(QTreeWidgetItem::UserType), m_namespace(std::move(shellNamespace)),
      m_record(std::move(record)), m_attributes(attributes)
{
    SetListingState(Listing::Leaf);
}

void TRzShellTreeNode::SetAttributes(TRzShellAttributes attributes)
{
    m_attributes = attributes;
}

void TRzShellTreeNode::SetListingState(Listing state)
{
    m_listing = state;
    setChildIndicatorPolicy(state == Listing::Unlisted
                                ? QTreeWidgetItem::ShowIndicator
                                : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

TRzShellIconList::Overlay TRzShellTreeNode::Overlay() const
{
    if (m_attributes.testFlag(saShared))
        return TRzShellIconList::SharedOverlay;
    if (m_attributes.testFlag(saLink))
        return TRzShellIconList::LinkOverlay;
    return TRzShellIconList::NoOverlay;
}

QVariant TRzShellTreeNode::data(int column, int role) const
{
    // A screen reader names the row by its label, as it shows, and tells
    // which folder it is by the whole path; asked for only when read, so a
    // rename above the node needs no bookkeeping here.
    if (role == Qt::AccessibleDescriptionRole && column == 0)
        return QFile::decodeName(m_namespace->ItemPath(m_record->AbsoluteId()));
    if (role != Qt::DecorationRole || column != 0)
        return QTreeWidgetItem::data(column, role);
    if (!m_iconsKnown) {
        m_icons = m_namespace->ItemIcons(m_record->AbsoluteId());
        m_iconsKnown = true;
    }
    const QTreeWidget *tree = treeWidget();
    const bool open = tree && tree->currentItem() == this;
    return TRzShellIconList::Instance().Decorated(open ? m_icons.open : m_icons.normal, Overlay(),
                                                  IsDimmed());
}

bool TRzShellTreeNode::operator<(const QTreeWidgetItem &other) const
{
    const auto &node = static_cast<const TRzShellTreeNode &>(other);
    return m_namespace->CompareItems(m_record->ParentId(), m_record->RelativeId(),
                                     node.m_record->RelativeId()) < 0;
}
