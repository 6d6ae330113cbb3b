#include "wizard/move/MoveLeftovers.h"

#include "fileutil/FileHandle.h"
#include "wizard/move/MoveJournal.h"
#include "wizard/move/MoveLock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace MoveLeftovers {

namespace {

bool AllOf(const QByteArray &text, const char *alphabet)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [alphabet](char c) {
        return c != '\0' && std::strchr(alphabet, c) != nullptr;
    });
}

constexpr char Base36[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr char Hex[] = "0123456789abcdef";

// A listing of its own: a duplicated descriptor would share, and move, the
// held folder's position.
FileUtil::FileHandle OpenAgain(int folder)
{
    return FileUtil::FileHandle(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

QByteArray UserName(uid_t user)
{
    struct passwd entry, *found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(user, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QByteArray(found->pw_name);
    return QByteArrayLiteral("user ") + QByteArray::number(qulonglong(user));
}

// The probe folder's own names: the probes the checks created in it.
bool RemoveFolderWithFiles(int folder, const QByteArray &name)
{
    const FileUtil::FileHandle inner(
        ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!inner.IsValid())
        return false;
    QByteArrayList names;
    {
        const FileUtil::FolderListing listing = FileUtil::ListFolder(OpenAgain(inner.Get()));
        if (!listing)
            return false;
        while (const dirent *entry = ::readdir(listing.get())) {
            const QByteArray file(entry->d_name);
            if (file != "." && file != "..")
                names << file;
        }
    }
    for (const QByteArray &file : std::as_const(names))
        if (::unlinkat(inner.Get(), file.constData(), 0) != 0)
            return false;
    return ::unlinkat(folder, name.constData(), AT_REMOVEDIR) == 0;
}

} // namespace

bool IsCopyLeftover(const QByteArray &name)
{
    static const QByteArray prefix = QByteArrayLiteral(".flitto-");
    if (!name.startsWith(prefix))
        return false;
    const QByteArray rest = name.mid(prefix.size());
    if (rest.endsWith(".part"))
        return AllOf(rest.chopped(5), Base36);
    for (const char *kind : {"probe-", "names-"})
        if (rest.startsWith(kind))
            return AllOf(rest.mid(qsizetype(std::strlen(kind))), Hex);
    return false;
}

bool IsSettingsLeftover(const QByteArray &name, const QByteArray &settingsName)
{
    // The replacement's name keeps at most 200 bytes of the file's name.
    // The lock beside it is the lock protocol's, never a leftover.
    const QByteArray prefix = '.' + settingsName.left(200) + ".flitto-";
    const QByteArray rest = name.mid(prefix.size());
    return name.startsWith(prefix) && rest != "lock" && AllOf(rest, Base36);
}

bool IsOwnName(const QByteArray &name)
{
    return name == MoveLock::TargetLockName() || name == MoveJournal::FileName() ||
           IsCopyLeftover(name);
}

Cleanup Clean(int folder, const std::function<bool(const QByteArray &)> &isLeftover,
              const std::function<bool(uid_t)> &ours, bool dryRun)
{
    Cleanup cleanup;
    QByteArrayList found;
    {
        const FileUtil::FolderListing listing = FileUtil::ListFolder(OpenAgain(folder));
        if (!listing)
            return cleanup;
        while (const dirent *entry = ::readdir(listing.get())) {
            const QByteArray name(entry->d_name);
            if (isLeftover(name))
                found << name;
        }
    }
    std::sort(found.begin(), found.end());
    for (const QByteArray &name : std::as_const(found)) {
        struct stat info;
        if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        if (!ours(info.st_uid)) {
            cleanup.Kept << name + ": it belongs to " + UserName(info.st_uid);
            continue;
        }
        if (dryRun) {
            cleanup.Removed << name;
            continue;
        }
        const bool removed = S_ISDIR(info.st_mode) ? RemoveFolderWithFiles(folder, name)
                                                   : ::unlinkat(folder, name.constData(), 0) == 0;
        if (removed || errno == ENOENT)
            cleanup.Removed << name;
        else
            cleanup.Kept << name + ": " + std::strerror(errno);
    }
    return cleanup;
}

} // namespace MoveLeftovers
