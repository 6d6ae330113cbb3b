#include "widgets/shell/TRzShellLocator.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

TRzShellLocator::TRzShellLocator(std::shared_ptr<TRzShellNamespace> shellNamespace)
    : m_namespace(shellNamespace ? std::move(shellNamespace) : TRzShellNamespace::FileSystem())
{}

void TRzShellLocator::SetNamespace(std::shared_ptr<TRzShellNamespace> shellNamespace)
{
    m_namespace = shellNamespace ? std::move(shellNamespace) : TRzShellNamespace::FileSystem();
    m_resolved.reset();
}

bool TRzShellLocator::Equals(const TRzShellLocator &other) const
{
    if (m_known.has_value() != other.m_known.has_value())
        return false;
    if (m_known)
        return *m_known == *other.m_known;
    if (!m_item || !other.m_item)
        return !m_item && !other.m_item;
    return m_namespace->CompareIds(*m_item, *other.m_item) == 0;
}

void TRzShellLocator::Assign(const TRzShellLocator &other)
{
    if (&other == this || Equals(other))
        return;
    Store(other.m_item, other.m_known);
}

bool TRzShellLocator::IsNone() const
{
    return !m_item && !m_known;
}

void TRzShellLocator::SetIdList(const TRzShellAbsId &item)
{
    std::optional<TRzShellAbsId> value;
    if (!item.isEmpty())
        value = item;
    const bool same = !m_known && (m_item.has_value() == value.has_value()) &&
                      (!value || m_namespace->CompareIds(*m_item, *value) == 0);
    if (same)
        return;
    Store(value, std::nullopt);
}

void TRzShellLocator::SetPath(const QByteArray &path)
{
    const std::optional<TRzShellAbsId> item = m_namespace->ParsePath(path);
    SetIdList(item.value_or(TRzShellAbsId()));
}

void TRzShellLocator::SetKnownFolder(TRzKnownFolder folder)
{
    if (m_known && *m_known == folder)
        return;
    Store(std::nullopt, folder);
}

void TRzShellLocator::Clear()
{
    if (IsNone())
        return;
    Store(std::nullopt, std::nullopt);
}

TRzShellAbsId TRzShellLocator::IdList() const
{
    if (!m_known)
        return m_item.value_or(TRzShellAbsId());
    if (!m_resolved) {
        QString path;
        switch (*m_known) {
        case TRzKnownFolder::Root:
            break;
        case TRzKnownFolder::Home:
            path = QDir::homePath();
            break;
        case TRzKnownFolder::Desktop:
            path = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
            break;
        case TRzKnownFolder::Documents:
            path = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
            break;
        case TRzKnownFolder::Temp:
            path = QDir::tempPath();
            break;
        }
        m_resolved =
            path.isEmpty()
                ? TRzShellAbsId()
                : m_namespace->ParsePath(QFile::encodeName(path)).value_or(TRzShellAbsId());
    }
    return *m_resolved;
}

QByteArray TRzShellLocator::Path() const
{
    return m_namespace->ItemPath(IdList());
}

void TRzShellLocator::Store(std::optional<TRzShellAbsId> item, std::optional<TRzKnownFolder> known)
{
    m_item = std::move(item);
    m_known = known;
    m_resolved.reset();
    Changed();
}

void TRzShellLocator::Changed()
{
    if (OnChange)
        OnChange();
}
