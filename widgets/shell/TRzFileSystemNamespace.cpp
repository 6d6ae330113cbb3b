#include "widgets/shell/TRzFileSystemNamespace.h"

#include "fileutil/FileHandle.h"
#include "widgets/look/MessageBoxes.h"
#include "widgets/shell/TRzShellCommands.h"
#include "widgets/shell/TRzShellIconList.h"
#include "widgets/shell/TRzShellTrash.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

QByteArray ChildPath(const TRzShellAbsId &folder, const TRzShellRelId &child)
{
    QByteArray path = TRzFileSystemNamespace::PathOf(folder);
    if (!path.endsWith('/'))
        path += '/';
    return path + child;
}

QString Text(const QByteArray &bytes)
{
    return QFile::decodeName(bytes);
}

QByteArray CurrentFolder()
{
    QByteArray buffer(PATH_MAX, '\0');
    if (::getcwd(buffer.data(), size_t(buffer.size())) == nullptr)
        return QByteArray("/");
    return QByteArray(buffer.constData());
}

QByteArray WithoutTrailingSlash(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    return path;
}

// The path with every link resolved; empty when it cannot be resolved.
QByteArray RealPath(const QByteArray &path)
{
    char *resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return QByteArray();
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

// The path as given and, when it differs, with its links resolved.
QByteArrayList PathForms(const QByteArray &path)
{
    QByteArrayList forms{path};
    const QByteArray real = RealPath(path);
    if (!real.isEmpty() && real != path)
        forms.append(real);
    return forms;
}

// True when folder is path itself or one of the folders holding it.
bool HoldsOrIs(const QByteArray &folder, const QByteArray &path)
{
    if (folder == "/")
        return path.startsWith('/');
    return path == folder || (path.startsWith(folder) && path.at(folder.size()) == '/');
}

bool IsTopLevelFolder(const QByteArray &path)
{
    return path.size() > 1 && path.startsWith('/') && path.indexOf('/', 1) < 0;
}

// OK is a button of our own caption, as in the tree's boxes (TellUser there).
void ShowError(QWidget *window, const QString &text)
{
    AskMessageBox(window, QMessageBox::Critical, QStringLiteral("Error"), text,
                  {{QStringLiteral("OK")}}, 0, 0);
}

// The commands of one file-system item.
class FileSystemCommands : public TRzShellCommands
{
public:
    enum Kind
    {
        File,
        Folder,
        Link,
    };

    FileSystemCommands(const QByteArray &path, Kind kind, bool offerRename)
        : m_path(path), m_kind(kind)
    {
        Add(TRzShellVerb::Open, QStringLiteral("&Open"));
        Add(TRzShellVerb::CopyPath, QStringLiteral("&Copy Path"));
        if (offerRename)
            Add(TRzShellVerb::Rename, QStringLiteral("Rena&me"));
        Add(TRzShellVerb::Delete, QStringLiteral("Move to &Trash"));
    }

protected:
    Outcome Run(const QString &verb, QWidget *window) override
    {
        if (SameVerb(verb, TRzShellVerb::Open)) {
            if (QDesktopServices::openUrl(QUrl::fromLocalFile(Text(m_path))))
                return Outcome::Done;
            ShowError(window, QStringLiteral("Unable to open \"%1\".").arg(Text(m_path)));
            return Outcome::Failed;
        }
        if (SameVerb(verb, TRzShellVerb::CopyPath)) {
            QGuiApplication::clipboard()->setText(Text(m_path));
            return Outcome::Done;
        }
        if (SameVerb(verb, TRzShellVerb::Delete))
            return MoveToTrash(window);
        return Outcome::Unknown;
    }

private:
    Outcome MoveToTrash(QWidget *window)
    {
        const QString shown = Text(m_path);
        // No is the default: Enter alone must not throw a folder away.
        const int answer = AskMessageBox(window, QMessageBox::Question, QStringLiteral("Confirm"),
                                         ConfirmText().arg(shown),
                                         {{QStringLiteral("&Yes"), QMessageBox::YesRole},
                                          {QStringLiteral("&No"), QMessageBox::NoRole}},
                                         1, 1);
        if (answer != 0)
            return Outcome::Declined;

        QString reason;
        if (!TRzMoveToTrash(m_path, &reason)) {
            ShowError(
                window,
                QStringLiteral("Unable to move \"%1\" to the trash.\n\n%2").arg(shown, reason));
            return Outcome::Failed;
        }
        return Outcome::Done;
    }

    QString ConfirmText() const
    {
        switch (m_kind) {
        case Folder:
            return QStringLiteral("Move the folder \"%1\" and everything in it to the trash?");
        case Link:
            return QStringLiteral("Move the link \"%1\" to the trash? What it points to stays "
                                  "where it is.");
        case File:
            break;
        }
        return QStringLiteral("Move the file \"%1\" to the trash?");
    }

    QByteArray m_path;
    Kind m_kind;
};

} // namespace

// Declared in the interface, whose users all default to it; made here, where
// the class is known.
std::shared_ptr<TRzShellNamespace> TRzShellNamespace::FileSystem()
{
    static const std::shared_ptr<TRzShellNamespace> instance =
        std::make_shared<TRzFileSystemNamespace>();
    return instance;
}

QByteArray TRzFileSystemNamespace::PathOf(const TRzShellAbsId &item)
{
    return QByteArray("/") + item.join('/');
}

std::optional<TRzShellAbsId> TRzFileSystemNamespace::ParsePath(const QByteArray &path)
{
    if (path.isEmpty() || path.contains('\0'))
        return std::nullopt;
    const QByteArray full = path.startsWith('/') ? path : CurrentFolder() + '/' + path;
    if (full.size() >= PATH_MAX)
        return std::nullopt;
    TRzShellAbsId item;
    for (const QByteArray &part : full.split('/')) {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..") {
            if (!item.isEmpty())
                item.removeLast();
            continue;
        }
        item.append(part);
    }
    struct stat info;
    if (::lstat(PathOf(item).constData(), &info) != 0)
        return std::nullopt;
    return item;
}

QByteArray TRzFileSystemNamespace::ItemPath(const TRzShellAbsId &item)
{
    return PathOf(item);
}

TRzShellListing TRzFileSystemNamespace::ListChildren(const TRzShellAbsId &folder,
                                                     TRzShellListFlags request)
{
    TRzShellListing listing;
    const int fd = ::open(PathOf(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        listing.outcome = TRzShellListing::NotStarted;
        listing.message = qt_error_string(errno);
        return listing;
    }
    const FileUtil::FolderListing dir = FileUtil::ListFolder(FileUtil::FileHandle(fd));
    if (!dir) {
        listing.outcome = TRzShellListing::NotStarted;
        listing.message = qt_error_string(errno);
        return listing;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0) {
                listing.outcome = TRzShellListing::Failed;
                listing.message = qt_error_string(errno);
            }
            break;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (!(request & slHidden) && name.startsWith('.'))
            continue;
        bool folderEntry = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info;
            folderEntry = ::fstatat(::dirfd(dir.get()), entry->d_name, &info, 0) == 0 &&
                          S_ISDIR(info.st_mode);
        }
        if (!folderEntry && !(request & slNonFolders))
            continue;
        listing.children.append(name);
    }
    return listing;
}

bool TRzFileSystemNamespace::LinkCountTellsSubfolders(quint64 device, const QByteArray &path)
{
    const auto found = m_linkCountTrusted.constFind(device);
    if (found != m_linkCountTrusted.constEnd())
        return found.value();
    // Only these file systems keep a folder's link count at 2 + its number of
    // subfolders; others (btrfs, most network and FUSE file systems) do not,
    // and a folder there is taken to have subfolders until it is listed.
    constexpr long Ext = 0xEF53, Xfs = 0x58465342, Tmpfs = 0x01021994;
    struct statfs fs;
    bool trusted = false;
    if (::statfs(path.constData(), &fs) == 0) {
        const long type = long(fs.f_type);
        trusted = type == Ext || type == Xfs || type == Tmpfs;
    }
    m_linkCountTrusted.insert(device, trusted);
    return trusted;
}

bool TRzFileSystemNamespace::HoldsLinkToFolder(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false; // cannot be listed either
    const FileUtil::FolderListing dir = FileUtil::ListFolder(FileUtil::FileHandle(fd));
    if (!dir)
        return false;
    // Only links are looked at, and only so many entries are read: a folder
    // too large to search keeps its mark until it is listed.
    for (int read = 0; read < LinkSearchLimit; ++read) {
        const dirent *entry = ::readdir(dir.get());
        if (!entry)
            return false;
        if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat target;
        if (::fstatat(::dirfd(dir.get()), entry->d_name, &target, 0) == 0 &&
            S_ISDIR(target.st_mode))
            return true;
    }
    return true;
}

std::optional<TRzShellAttributes>
TRzFileSystemNamespace::ItemAttributes(const TRzShellAbsId &folder, const TRzShellRelId &child)
{
    if (child.isEmpty() || child.contains('/'))
        return std::nullopt;
    const QByteArray path = ChildPath(folder, child);
    struct stat info;
    if (::lstat(path.constData(), &info) != 0)
        return std::nullopt;
    TRzShellAttributes attributes = saFileSystem;
    if (S_ISLNK(info.st_mode)) {
        attributes |= saLink;
        struct stat target;
        if (::stat(path.constData(), &target) == 0)
            info = target;
    }
    if (S_ISDIR(info.st_mode)) {
        attributes |= saFolder | saFileSystemAncestor;
        // A link count of 1 says nothing (ext4 uses it past 65000 subfolders).
        // The count leaves out links to folders, which the listing shows.
        const bool none = info.st_nlink == 2 && LinkCountTellsSubfolders(info.st_dev, path) &&
                          !HoldsLinkToFolder(path);
        if (!none)
            attributes |= saHasSubfolders;
    }
    if (child.startsWith('.'))
        attributes |= saHidden;
    if (::access(PathOf(folder).constData(), W_OK) == 0)
        attributes |= saCanRename;
    return attributes;
}

QString TRzFileSystemNamespace::DisplayName(const TRzShellAbsId &folder, const TRzShellRelId &child,
                                            TRzShellNamePurpose)
{
    if (!child.isEmpty())
        return Text(child);
    if (folder.isEmpty())
        return QStringLiteral("/");
    return Text(folder.last());
}

int TRzFileSystemNamespace::CompareItems(const TRzShellAbsId &, const TRzShellRelId &a,
                                         const TRzShellRelId &b)
{
    if (a == b)
        return 0;
    const int folded = QString::compare(Text(a), Text(b), Qt::CaseInsensitive);
    if (folded != 0)
        return folded;
    return a < b ? -1 : 1;
}

TRzShellIcons TRzFileSystemNamespace::ItemIcons(const TRzShellAbsId &item)
{
    TRzShellIconList &icons = TRzShellIconList::Instance();
    const int drive = icons.IndexOf(QStringLiteral("drive-harddisk"), QStyle::SP_DriveHDIcon);
    if (item.isEmpty())
        return {drive, drive};
    const QByteArray path = PathOf(item);
    struct stat info;
    if (::stat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        const int file = icons.IndexOf(QStringLiteral("text-x-generic"), QStyle::SP_FileIcon);
        return {file, file};
    }
    if (path == QFile::encodeName(QDir::homePath())) {
        const int home = icons.IndexOf(QStringLiteral("user-home"), QStyle::SP_DirHomeIcon);
        return {home, home};
    }
    struct stat parent;
    const QByteArray parentPath = PathOf(item.mid(0, item.size() - 1));
    if (::stat(parentPath.constData(), &parent) == 0 && parent.st_dev != info.st_dev)
        return {drive, drive}; // a mount point
    return {icons.IndexOf(QStringLiteral("folder"), QStyle::SP_DirIcon),
            icons.IndexOf(QStringLiteral("folder-open"), QStyle::SP_DirOpenIcon)};
}

TRzShellRenameResult TRzFileSystemNamespace::RenameItem(const TRzShellAbsId &folder,
                                                        const TRzShellRelId &child,
                                                        const QString &newName)
{
    TRzShellRenameResult result;
    const QByteArray name = QFile::encodeName(newName);
    if (name.isEmpty()) {
        result.message = QStringLiteral("A name cannot be empty.");
        return result;
    }
    if (name.contains('/') || name.contains('\0')) {
        result.message =
            QStringLiteral("\"%1\" cannot be used as a name: a name must not contain \"/\" or a "
                           "NUL character.")
                .arg(newName);
        return result;
    }
    if (name == "." || name == "..") {
        result.message =
            QStringLiteral("\"%1\" cannot be used as a name: it is reserved for the folder itself "
                           "and its parent.")
                .arg(newName);
        return result;
    }
    if (name == child) {
        result.ok = true;
        return result;
    }
    const QByteArray from = ChildPath(folder, child);
    const QByteArray to = ChildPath(folder, name);
    const QString exists =
        QStringLiteral("\"%1\" cannot be used as a name: a file or folder with that name already "
                       "exists here.")
            .arg(newName);
    struct stat source, target;
    if (::lstat(to.constData(), &target) == 0) {
        // On a file system that ignores case, a change of case finds the item itself.
        const bool itself = ::lstat(from.constData(), &source) == 0 &&
                            source.st_dev == target.st_dev && source.st_ino == target.st_ino;
        if (!itself) {
            result.message = exists;
            return result;
        }
    }
    int status =
        ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
    if (status != 0 && (errno == EINVAL || errno == ENOSYS))
        status = ::rename(from.constData(), to.constData()); // no such flag here; checked above
    if (status != 0) {
        result.message = errno == EEXIST
                             ? exists
                             : QStringLiteral("Unable to rename \"%1\" to \"%2\".\n\n%3")
                                   .arg(Text(child), newName, qt_error_string(errno));
        return result;
    }
    result.ok = true;
    result.newId = name;
    return result;
}

TRzShellCreateResult TRzFileSystemNamespace::CreateFolder(const TRzShellAbsId &folder,
                                                          const QString &name)
{
    TRzShellCreateResult result;
    if (::mkdir(ChildPath(folder, QFile::encodeName(name)).constData(), 0777) == 0) {
        result.outcome = TRzShellCreateResult::Created;
        return result;
    }
    const int error = errno;
    result.outcome = error == EEXIST ? TRzShellCreateResult::Exists : TRzShellCreateResult::Failed;
    result.message = qt_error_string(error);
    return result;
}

bool TRzFileSystemNamespace::IsProtected(const TRzShellAbsId &item, const QByteArrayList &kept)
{
    const QByteArray path = WithoutTrailingSlash(ItemPath(item));
    if (path.isEmpty())
        return false;
    QByteArrayList guarded;
    for (const QByteArray &each : kept) {
        if (!each.isEmpty())
            guarded.append(PathForms(WithoutTrailingSlash(each)));
    }
    guarded.append(QByteArray("/"));
    guarded.append(WithoutTrailingSlash(QFile::encodeName(QDir::homePath())));
    for (const QByteArray &form : PathForms(path)) {
        if (form == "/" || IsTopLevelFolder(form))
            return true;
        for (const QByteArray &each : std::as_const(guarded)) {
            if (HoldsOrIs(form, each))
                return true;
        }
    }
    return false;
}

std::unique_ptr<TRzShellCommands> TRzFileSystemNamespace::ItemCommands(const TRzShellAbsId &folder,
                                                                       const TRzShellRelId &child,
                                                                       bool offerRename,
                                                                       QString *error)
{
    const QByteArray path = ChildPath(folder, child);
    struct stat info;
    if (child.isEmpty() || ::lstat(path.constData(), &info) != 0) {
        if (error)
            *error = QStringLiteral("The commands of \"%1\" are not available.\n\n%2")
                         .arg(Text(path), qt_error_string(child.isEmpty() ? EINVAL : errno));
        return nullptr;
    }
    const FileSystemCommands::Kind kind = S_ISLNK(info.st_mode)   ? FileSystemCommands::Link
                                          : S_ISDIR(info.st_mode) ? FileSystemCommands::Folder
                                                                  : FileSystemCommands::File;
    return std::make_unique<FileSystemCommands>(path, kind, offerRename);
}
