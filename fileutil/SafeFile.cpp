#include "fileutil/SafeFile.h"

#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"

#include <QByteArrayList>

#include <cerrno>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeFile {

namespace {

// The final target of path; the links passed on the way go to links. Empty
// for a loop or a link that cannot be read.
QByteArray FollowLinks(const QByteArray &path, QByteArrayList *links)
{
    QByteArray current = path;
    // The kernel gives up after 40 links; so does this.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(current.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        if (links)
            links->append(current);
        QByteArray link(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(current.constData(), link.data(), size_t(link.size()));
        if (length <= 0 || length >= link.size())
            return QByteArray();
        link.truncate(length);
        current = link.startsWith('/') ? link : FileUtil::FolderOfPath(current) + link;
    }
    return QByteArray();
}

} // namespace

ReadStatus ReadAll(const QByteArray &path, QByteArray *contents)
{
    contents->clear();
    if (path.isEmpty())
        return ReadStatus::Failed;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadStatus::Missing : ReadStatus::Failed;
    const FileUtil::FileHandle closer(fd);
    struct stat st;
    if (::fstat(fd, &st) != 0)
        return ReadStatus::Failed;
    // errno says why, for the caller's message.
    if (!S_ISREG(st.st_mode) || st.st_size > MaxFileSize) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : !S_ISREG(st.st_mode) ? EINVAL : EFBIG;
        return ReadStatus::Failed;
    }

    QByteArray data;
    data.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return ReadStatus::Failed;
        }
        if (got == 0)
            break;
        data.append(buffer, got);
        if (data.size() > MaxFileSize) {
            errno = EFBIG;
            return ReadStatus::Failed;
        }
    }
    *contents = data;
    return ReadStatus::Read;
}

QByteArray FinalTarget(const QByteArray &path)
{
    return FollowLinks(path, nullptr);
}

QByteArray UntrustedLink(const QByteArray &path)
{
    QByteArrayList links;
    const QByteArray target = FollowLinks(path, &links);
    if (target.isEmpty() || links.isEmpty())
        return QByteArray(); // a loop writes nothing anyway; no link, nothing to judge

    struct stat final;
    if (::lstat(target.constData(), &final) != 0) {
        const QByteArray folder = FileUtil::FolderOfPath(target);
        if (::stat(folder.isEmpty() ? "." : folder.constData(), &final) != 0)
            return QByteArray(); // nothing can be written there anyway
    }
    const uid_t self = ::geteuid();
    for (const QByteArray &link : std::as_const(links)) {
        struct stat st;
        if (::lstat(link.constData(), &st) != 0)
            return link;
        const bool passes = st.st_uid == 0 || st.st_uid == self || st.st_uid == final.st_uid ||
                            (final.st_mode & S_IWOTH) ||
                            ((final.st_mode & S_IWGRP) && st.st_gid == final.st_gid);
        if (!passes)
            return link;
    }
    return QByteArray();
}

bool Replace(const QByteArray &path, const QByteArray &contents,
             const std::optional<QByteArray> &expected)
{
    // Every refusal sets errno, so that the caller can say why.
    const auto refuse = [](int error) {
        errno = error;
        return false;
    };
    if (path.isEmpty())
        return refuse(ENOENT);
    const QByteArray target = FinalTarget(path);
    if (target.isEmpty())
        return refuse(ELOOP);
    if (!UntrustedLink(path).isEmpty())
        return refuse(EPERM);

    struct stat st;
    const bool exists = ::lstat(target.constData(), &st) == 0;
    if (exists) {
        if (!S_ISREG(st.st_mode))
            return refuse(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        // The read-only attribute of the settings file is the owner's write
        // bit. It is honoured even for root, who could write anyway: a user
        // who protected the file must not find it rewritten.
        if (!(st.st_mode & S_IWUSR))
            return refuse(EACCES);
        if (::access(target.constData(), W_OK) != 0)
            return false;
    } else if (errno != ENOENT) {
        return false;
    }

    // The replacement's name cannot collide with a settings file and stays
    // within NAME_MAX however long the original name is. A new file gets the
    // ordinary mode after the umask; an existing file's mode is copied
    // below, once the owner is set. The settings write is flushed every time.
    FileUtil::ReplacementFile pending(FileUtil::ReplaceFlush::Always);
    if (!pending.Create(FileUtil::FolderOfPath(target) + '.' +
                            FileUtil::NameOfPath(target).left(200) + ".flitto-",
                        QByteArray(), exists ? 0600 : 0666))
        return false;
    const int fd = pending.Get();

    if (exists) {
        // Owner first: changing the owner clears set-id bits that the mode
        // then restores. Only root may give a file away; a group change may
        // still work for the file's owner. The write goes on either way.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            if (::fchown(fd, st.st_uid, st.st_gid) != 0 &&
                ::fchown(fd, uid_t(-1), st.st_gid) != 0) {
                // The file now belongs to whoever runs the program.
            }
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0)
            return false;
    }
    if (!FileUtil::WriteAll(fd, contents) || !pending.Close())
        return false;
    // The last moment before the rename: what the caller changed must still
    // be what is there, or an edit made meanwhile would be lost.
    if (expected) {
        QByteArray now;
        if (ReadAll(target, &now) != ReadStatus::Read || now != *expected) {
            errno = ECANCELED;
            return false;
        }
    }
    return pending.RenameOver(target);
}

} // namespace SafeFile
