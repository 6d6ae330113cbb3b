#pragma once

#include "widgets/shell/TRzShellIconList.h"
#include "widgets/shell/TRzShellNamespace.h"
#include "widgets/shell/TRzShellTreeData.h"

#include <QTreeWidgetItem>

#include <memory>

// One node of a shell folder tree: the item's record, its attributes, how
// far its children are known, and its icons, which are asked for only when
// the node is first drawn.
//
// The node holds the namespace it was made from instead of reaching it
// through its tree, so the node does not depend on the tree that depends on
// it. A tree drops all its nodes when its namespace changes, so the two agree;
// the hold is shared so that nodes being dropped after the change still have
// theirs.
class TRzShellTreeNode : public QTreeWidgetItem
{
public:
    enum class Listing
    {
        Unlisted, // may have children; listed when first expanded
        Leaf,     // has no subfolders by its attributes; never listed
        Listed,   // children listed (possibly none)
    };

    TRzShellTreeNode(std::shared_ptr<TRzShellNamespace> shellNamespace,
                     std::unique_ptr<TRzShellTreeData> record, TRzShellAttributes attributes);

    TRzShellTreeData &Record() const { return *m_record; }
    bool IsRoot() const { return m_record->Parent() == nullptr; }

    TRzShellAttributes Attributes() const { return m_attributes; }
    void SetAttributes(TRzShellAttributes attributes);
    Listing ListingState() const { return m_listing; }
    void SetListingState(Listing state);

    TRzShellIconList::Overlay Overlay() const;
    // Hidden items are drawn dimmed, like items that were cut.
    bool IsDimmed() const { return m_attributes.testFlag(saHidden); }
    // Forgets the icons so that they are asked for again on the next drawing.
    void ForgetIcons() { m_iconsKnown = false; }

    TRzShellTreeNode *ParentNode() const { return static_cast<TRzShellTreeNode *>(parent()); }
    TRzShellTreeNode *ChildNode(int index) const
    {
        return static_cast<TRzShellTreeNode *>(child(index));
    }

    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem &other) const override;

private:
    std::shared_ptr<TRzShellNamespace> m_namespace;
    std::unique_ptr<TRzShellTreeData> m_record;
    TRzShellAttributes m_attributes;
    Listing m_listing = Listing::Leaf;
    mutable bool m_iconsKnown = false;
    mutable TRzShellIcons m_icons;
};
