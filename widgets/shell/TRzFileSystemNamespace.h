#pragma once

#include "widgets/shell/TRzShellNamespace.h"

#include <QHash>

// The shell namespace on Linux: the file system with "/" as its root. An
// item's relative identifier is its entry name (bytes); hidden means the
// name starts with "."; the commands are open, copy path, rename and delete
// (to the desktop's trash, after a confirmation). Protected are "/", the
// folders directly in it, the home folder, the kept paths and every folder
// holding one; paths count both as given and with their links resolved.
class TRzFileSystemNamespace : public TRzShellNamespace
{
public:
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

    // "/" followed by the items joined with "/".
    static QByteArray PathOf(const TRzShellAbsId &item);

private:
    bool LinkCountTellsSubfolders(quint64 device, const QByteArray &path);
    // True when the folder holds a link to a folder, or is too large to tell.
    static bool HoldsLinkToFolder(const QByteArray &path);

    static constexpr int LinkSearchLimit = 4096;

    // Per device: whether a folder's link count is 2 + its number of subfolders.
    QHash<quint64, bool> m_linkCountTrusted;
};
