#pragma once

#include "widgets/shell/TRzShellNamespace.h"

#include <functional>
#include <memory>
#include <optional>

// Well-known folders a locator can name instead of an identifier; each is
// resolved through the namespace when first asked for.
enum class TRzKnownFolder
{
    Root = 0, // the namespace root
    Home,
    Desktop,
    Documents,
    Temp,
};

// Names one item of the shell namespace: by absolute identifier (or none,
// which stands for the namespace root) or by well-known folder. Its owner hears
// of every change through OnChange.
class TRzShellLocator
{
public:
    explicit TRzShellLocator(std::shared_ptr<TRzShellNamespace> shellNamespace = {});
    TRzShellLocator(const TRzShellLocator &) = delete;
    TRzShellLocator &operator=(const TRzShellLocator &) = delete;

    void SetNamespace(std::shared_ptr<TRzShellNamespace> shellNamespace);
    const std::shared_ptr<TRzShellNamespace> &Namespace() const { return m_namespace; }

    // Takes the other locator's value; no effect (and no notification) when equal.
    void Assign(const TRzShellLocator &other);
    bool Equals(const TRzShellLocator &other) const;

    // True when the locator holds no identifier (and no well-known folder).
    bool IsNone() const;
    bool IsKnownFolder() const { return m_known.has_value(); }

    // The root's empty identifier is kept as none.
    void SetIdList(const TRzShellAbsId &item);
    // An unknown path stores none.
    void SetPath(const QByteArray &path);
    void SetKnownFolder(TRzKnownFolder folder);
    void Clear();

    // The identifier; empty for none. A well-known folder is resolved here once.
    TRzShellAbsId IdList() const;
    // The item's file-system path; none gives the namespace root's.
    QByteArray Path() const;

    std::function<void()> OnChange;

private:
    void Store(std::optional<TRzShellAbsId> item, std::optional<TRzKnownFolder> known);
    void Changed();

    std::shared_ptr<TRzShellNamespace> m_namespace;
    std::optional<TRzShellAbsId> m_item;
    std::optional<TRzKnownFolder> m_known;
    mutable std::optional<TRzShellAbsId> m_resolved; // of the well-known folder
};
