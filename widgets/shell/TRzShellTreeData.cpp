#include "widgets/shell/TRzShellTreeData.h"

TRzShellTreeData::TRzShellTreeData(TRzCustomShellTree *tree, TRzShellTreeData *parent,
                                   TRzShellRelId relativeId)
    : m_tree(tree), m_parent(parent), m_relativeId(std::move(relativeId))
{}

TRzShellTreeData::TRzShellTreeData(TRzCustomShellTree *tree, TRzShellAbsId rootId)
    : m_tree(tree), m_parent(nullptr),
      m_relativeId(rootId.isEmpty() ? QByteArray() : rootId.last()), m_absoluteId(std::move(rootId))
{}

const TRzShellAbsId &TRzShellTreeData::AbsoluteId() const
{
    if (!m_absoluteId) {
        TRzShellAbsId id = m_parent ? m_parent->AbsoluteId() : TRzShellAbsId();
        id.append(m_relativeId);
        m_absoluteId = std::move(id);
    }
    return *m_absoluteId;
}

TRzShellAbsId TRzShellTreeData::ParentId() const
{
    if (m_parent)
        return m_parent->AbsoluteId();
    const TRzShellAbsId &own = AbsoluteId();
    return own.mid(0, std::max<qsizetype>(0, own.size() - 1));
}

void TRzShellTreeData::SetRelativeId(const TRzShellRelId &relativeId)
{
    m_relativeId = relativeId;
    if (m_parent) {
        m_absoluteId.reset();
    } else if (m_absoluteId && !m_absoluteId->isEmpty()) {
        m_absoluteId->last() = relativeId;
    }
}

void TRzShellTreeData::ForgetAbsoluteId()
{
    if (m_parent)
        m_absoluteId.reset();
}
