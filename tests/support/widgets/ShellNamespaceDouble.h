#pragma once

#include "widgets/shell/TRzShellCommands.h"
#include "widgets/shell/TRzShellNamespace.h"

#include <QHash>
#include <QMap>
#include <QStringList>

// An in-memory namespace for the shell tree tests: items are added by path
// ("/a/b"), listings can be made to fail, every listing
// is counted, and items can be "virtual" (no file-system path), like
// groupings on other desktops. Nothing here touches the real file system, so
// a tree that went around the namespace would find none of these items.
class ShellNamespaceDouble : public TRzShellNamespace
{
public:
    struct Item
    {
        bool folder = true;
        bool virtualItem = false; // has no file-system path
        bool ancestor = false;    // a virtual item that holds file-system items
        bool canRename = true;
        bool protectedItem = false; // a vital folder of the namespace
        TRzShellListing::Outcome outcome = TRzShellListing::Complete;
        QString message;
    };

    ShellNamespaceDouble();

    void AddFolder(const QByteArray &path);
    void AddFile(const QByteArray &path);
    void AddVirtual(const QByteArray &path, bool ancestor = false);
    void Remove(const QByteArray &path);
    // The next listings of the folder end this way; Failed and GenericFailure
    // hand out the first child only.
    void SetOutcome(const QByteArray &path, TRzShellListing::Outcome outcome,
                    const QString &message = QString());
    void SetCanRename(const QByteArray &path, bool canRename);
    void SetProtected(const QByteArray &path);
    int ListCount(const QByteArray &path) const { return m_listCounts.value(path); }
    int TotalListCount() const;
    bool Exists(const QByteArray &path) const { return m_items.contains(path); }
    QStringList Invoked() const { return m_invoked; }

    std::optional<TRzShellAbsId> ParsePath(const QByteArray &path) override;
    QByteArray ItemPath(const TRzShellAbsId &item) override;
    TRzShellListing ListChildren(const TRzShellAbsId &folder, TRzShellListFlags request) override;
    std::optional<TRzShellAttributes> ItemAttributes(const TRzShellAbsId &folder,
                                                     const TRzShellRelId &child) override;
    QString DisplayName(const TRzShellAbsId &folder, const TRzShellRelId &child,
                        TRzShellNamePurpose purpose) override;
    int CompareItems(const TRzShellAbsId &folder, const TRzShellRelId &a,
                     const TRzShellRelId &b) override;
    TRzShellIcons ItemIcons(const TRzShellAbsId &item) override;
    TRzShellRenameResult RenameItem(const TRzShellAbsId &folder, const TRzShellRelId &child,
                                    const QString &newName) override;
    TRzShellCreateResult CreateFolder(const TRzShellAbsId &folder, const QString &name) override;
    bool IsProtected(const TRzShellAbsId &item, const QByteArrayList &kept) override;
    std::unique_ptr<TRzShellCommands> ItemCommands(const TRzShellAbsId &folder,
                                                   const TRzShellRelId &child, bool offerRename,
                                                   QString *error) override;

    static QByteArray Key(const TRzShellAbsId &item);
    static TRzShellAbsId Id(const QByteArray &path);

private:
    friend class DoubleCommands;
    void Add(const QByteArray &path, const Item &item);
    QList<QByteArray> ChildrenOf(const QByteArray &key) const;

    QMap<QByteArray, Item> m_items; // by key "/a/b"; the root is ""
    QList<QByteArray> m_order;      // keys in the order they were added
    QHash<QByteArray, int> m_listCounts;
    QStringList m_invoked;
};
