#pragma once

#include "widgets/shell/TRzShellNamespace.h"

#include <optional>

class TRzCustomShellTree;

// The record each node of a shell folder tree carries: its owner, its
// parent's record, its identifier relative to the parent folder, and its
// absolute identifier, built from the parent's on first use and kept.
// Folders are named by their absolute identifier, so there is no separate
// bound folder object to keep.
class TRzShellTreeData
{
public:
    // A child node's record.
    TRzShellTreeData(TRzCustomShellTree *tree, TRzShellTreeData *parent, TRzShellRelId relativeId);
    // The root node's record: it holds its absolute identifier from the start.
    TRzShellTreeData(TRzCustomShellTree *tree, TRzShellAbsId rootId);

    TRzCustomShellTree *Tree() const { return m_tree; }
    TRzShellTreeData *Parent() const { return m_parent; }
    const TRzShellRelId &RelativeId() const { return m_relativeId; }
    const TRzShellAbsId &AbsoluteId() const;
    // The absolute identifier of the folder that lists this item.
    TRzShellAbsId ParentId() const;

    // After a rename: the new identifier; the kept absolute one is dropped.
    void SetRelativeId(const TRzShellRelId &relativeId);
    // After an ancestor was renamed.
    void ForgetAbsoluteId();

private:
    TRzCustomShellTree *m_tree;
    TRzShellTreeData *m_parent;
    TRzShellRelId m_relativeId;
    mutable std::optional<TRzShellAbsId> m_absoluteId;
};
