#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QFlags>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class TRzShellCommands;

// One item's identifier inside its folder; never empty. For the file system
// it is the entry's name, byte for byte.
using TRzShellRelId = QByteArray;
// The chain of relative identifiers leading down from the namespace root; the
// empty chain is the root itself.
using TRzShellAbsId = QByteArrayList;

enum TRzShellAttribute : unsigned
{
    saFileSystem = 0x01,         // the item has a file-system path
    saFileSystemAncestor = 0x02, // the item may hold file-system items
    saFolder = 0x04,
    saHasSubfolders = 0x08, // may be a guess: a folder that turns out empty is fixed up on listing
    saShared = 0x10,
    saLink = 0x20,
    saHidden = 0x40,
    saCanRename = 0x80,
};
Q_DECLARE_FLAGS(TRzShellAttributes, TRzShellAttribute)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRzShellAttributes)

// What a listing asks for besides the folders, which are always listed.
enum TRzShellListFlag : unsigned
{
    slFolders = 0x0,
    slHidden = 0x1,
    slNonFolders = 0x2,
};
Q_DECLARE_FLAGS(TRzShellListFlags, TRzShellListFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TRzShellListFlags)

// The children of one folder, and how their listing ended.
struct TRzShellListing
{
    enum Outcome
    {
        Complete,
        NotStarted,     // the folder could not be opened: nothing was read
        GenericFailure, // ended early without a reason worth telling the user
        Failed,         // ended early; message says why
    };
    Outcome outcome = Complete;
    QList<TRzShellRelId> children; // what was read, also when the listing ended early
    QString message;
};

enum class TRzShellNamePurpose
{
    InFolder,   // the label in its folder
    ForEditing, // the text a rename starts from
};

// Indexes into TRzShellIconList: the small icon and the small "open" icon.
struct TRzShellIcons
{
    int normal = -1;
    int open = -1;
};

struct TRzShellRenameResult
{
    bool ok = false;
    std::optional<TRzShellRelId> newId; // set when the item's identifier changed
    QString message;                    // why the rename was refused
};

struct TRzShellCreateResult
{
    enum Outcome
    {
        Created,
        Exists, // the name is taken; another one may do
        Failed, // another name would fail the same way
    };
    Outcome outcome = Failed;
    QString message; // why it was not created
};

// The shell namespace as the folder tree and the folder dialog see it: the
// only way either of them reaches folders. The file system is one
// implementation; tests put a double in its place.
class TRzShellNamespace
{
public:
    virtual ~TRzShellNamespace();

    // The item a path names (made absolute against the current folder), or
    // nothing when the path names no existing item.
    virtual std::optional<TRzShellAbsId> ParsePath(const QByteArray &path) = 0;
    // The item's file-system path; empty when the item has none.
    virtual QByteArray ItemPath(const TRzShellAbsId &item) = 0;
    virtual TRzShellListing ListChildren(const TRzShellAbsId &folder,
                                         TRzShellListFlags request) = 0;
    // Nothing when the child does not exist (any more).
    virtual std::optional<TRzShellAttributes> ItemAttributes(const TRzShellAbsId &folder,
                                                             const TRzShellRelId &child) = 0;
    // An empty child names the folder itself, so the root has a name too.
    virtual QString DisplayName(const TRzShellAbsId &folder, const TRzShellRelId &child,
                                TRzShellNamePurpose purpose) = 0;
    // Negative, zero or positive; zero only for the same item.
    virtual int CompareItems(const TRzShellAbsId &folder, const TRzShellRelId &a,
                             const TRzShellRelId &b) = 0;
    virtual TRzShellIcons ItemIcons(const TRzShellAbsId &item) = 0;
    virtual TRzShellRenameResult RenameItem(const TRzShellAbsId &folder, const TRzShellRelId &child,
                                            const QString &newName) = 0;
    // Creates an empty folder with the name (one entry name) in the folder.
    virtual TRzShellCreateResult CreateFolder(const TRzShellAbsId &folder, const QString &name) = 0;
    // True when a delete must leave the item alone: the namespace's vital
    // folders, and every item that is or holds one of the kept paths.
    virtual bool IsProtected(const TRzShellAbsId &item, const QByteArrayList &kept) = 0;
    // The item's context commands; nullptr with *error set when the namespace
    // cannot give them.
    virtual std::unique_ptr<TRzShellCommands> ItemCommands(const TRzShellAbsId &folder,
                                                           const TRzShellRelId &child,
                                                           bool offerRename, QString *error) = 0;

    // Two absolute identifiers compared level by level through their folders.
    int CompareIds(const TRzShellAbsId &a, const TRzShellAbsId &b);
    // True when ancestor is item itself or lies on its chain from the root.
    bool IsWithin(const TRzShellAbsId &item, const TRzShellAbsId &ancestor);

    // The process-wide file-system namespace rooted at "/", every user's
    // default. It is made in TRzFileSystemNamespace.cpp, so that this
    // interface's unit needs none of its implementations.
    static std::shared_ptr<TRzShellNamespace> FileSystem();
};
