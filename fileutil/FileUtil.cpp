#include "fileutil/FileUtil.h"

#include "fileutil/CopyIo.h"
#include "fileutil/EStreamError.h"
#include "fileutil/FileHandle.h"
#include "fileutil/TProgressList.h"

#include <QByteArrayList>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace FileUtil {

namespace {

// The kernel's time stamp (seconds and nanoseconds), named through the
// field of struct stat that holds one.
using FileTime = decltype(std::declval<struct stat>().st_mtim);

// Sets a progress control's position back to 0 when the copy ends, however
// it ends.
class ProgressReset
{
public:
    explicit ProgressReset(QObject *control) : m_control(control) {}
    ProgressReset(const ProgressReset &) = delete;
    ProgressReset &operator=(const ProgressReset &) = delete;
    ~ProgressReset()
    {
        if (!m_control)
            return;
        try {
            SetProgressProperty(m_control, TProgressProperty::Position, 0);
        } catch (...) {
            // A control that throws from its setter must not turn the end of
            // a copy, or the unwinding of a failed one, into a crash.
        }
    }

private:
    QPointer<QObject> m_control;
};

ssize_t SystemRead(int fd, void *buffer, size_t count)
{
    return ::read(fd, buffer, count);
}

ssize_t SystemWrite(int fd, const void *buffer, size_t count)
{
    return ::write(fd, buffer, count);
}

// path is looked up in folder (AT_FDCWD: the current folder).
int OpenRetrying(const QByteArray &path, int flags, mode_t mode = 0, int folder = AT_FDCWD)
{
    int fd;
    do
        fd = ::openat(folder, path.constData(), flags, mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// Refuses a destination that must not be replaced: the source itself under
// any spelling (another path, a hard link, a symlink, a bind mount: all end
// at the same inode), a folder, or a read-only file unless allowed. A
// symlink or hard link to any other file is fine: the link is replaced and
// the file it leads to is left alone.
// entry is looked up in folder (AT_FDCWD: the current folder); messages
// name target.
void RefuseUnsafeTarget(int folder, const QByteArray &entry, const QByteArray &target,
                        const struct stat &source, bool overwriteReadOnly)
{
    struct stat found;
    if (entry.isEmpty() || ::fstatat(folder, entry.constData(), &found, AT_SYMLINK_NOFOLLOW) != 0)
        return; // nothing there yet, or unreachable: creating the copy will tell
    struct stat resolved;
    if (::fstatat(folder, entry.constData(), &resolved, 0) != 0)
        return; // a dangling symlink: replaced like any other entry
    if (resolved.st_dev == source.st_dev && resolved.st_ino == source.st_ino)
        throw EFCreateError(target, EEXIST);
    if (S_ISDIR(resolved.st_mode))
        throw EFCreateError(target, EISDIR);
    if (!overwriteReadOnly && !(resolved.st_mode & S_IWUSR))
        throw EFCreateError(target, EACCES);
}

ssize_t ReadRetrying(int fd, char *buffer, size_t count)
{
    ssize_t got;
    do
        got = CurrentCopyIo().Read(fd, buffer, count);
    while (got < 0 && errno == EINTR);
    return got;
}

void ThrowIfStopped(const std::atomic<bool> *stop)
{
    if (stop && stop->load(std::memory_order_relaxed))
        throw ECopyStopped();
}

} // namespace

// Opens a regular file for reading. Other kinds of entry are refused
// without being opened: opening a FIFO blocks until a writer comes, and
// opening a device can act on the device.
// With folder >= 0 the file is entry in that open folder, and source only
// names it in messages.
FileHandle OpenSource(const QByteArray &source, struct stat &info, const FsIdentity *readAs,
                      int folder, const QByteArray &name)
{
    const int at = folder >= 0 ? folder : AT_FDCWD;
    const QByteArray &entry = folder >= 0 ? name : source;
    if (entry.isEmpty())
        throw EFOpenError(source, ENOENT);
    // Looked at and opened as the user whose file it is, when asked: a link
    // then reaches only what that user may read.
    std::optional<FsIdentityScope> identity;
    if (readAs)
        identity.emplace(*readAs);
    if (::fstatat(at, entry.constData(), &info, 0) != 0)
        throw EFOpenError(source, errno);
    if (!S_ISREG(info.st_mode))
        throw EFOpenError(source, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);

    // O_NONBLOCK keeps the open from hanging should the entry have been
    // swapped for a FIFO since the look above; O_NOATIME keeps the source's
    // access time as it was, where the kernel allows it (own files only).
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    int fd = OpenRetrying(entry, flags | O_NOATIME, 0, at);
    if (fd < 0)
        fd = OpenRetrying(entry, flags, 0, at);
    if (fd < 0)
        throw EFOpenError(source, errno);
    FileHandle handle(fd);

    struct stat opened;
    if (::fstat(fd, &opened) != 0)
        throw EFOpenError(source, errno);
    if (!S_ISREG(opened.st_mode) || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino)
        throw EFOpenError(source, EAGAIN);
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    info = opened;
    return handle;
}

CopyIo &CurrentCopyIo()
{
    static CopyIo io{&SystemRead, &SystemWrite};
    return io;
}

QByteArray WithTrailingSeparator(const QByteArray &path)
{
    if (path.endsWith(Separator))
        return path;
    return path + Separator;
}

QByteArray FolderOfPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf(Separator);
    return slash < 0 ? QByteArray() : path.left(slash + 1);
}

QByteArray NameOfPath(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf(Separator);
    return slash < 0 ? path : path.mid(slash + 1);
}

QByteArray ProgramFolder()
{
    // /proc/self/exe names the running binary even when it was started
    // through a symlink or a relative path.
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0)
        return QByteArray();
    buffer.truncate(length);
    return FolderOfPath(buffer);
}

bool IsExistingFile(const QByteArray &path)
{
    // Any last-write time counts: files restored from archives often carry
    // dates before 1980, and they are still the user's files.
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return false;
    return !S_ISDIR(st.st_mode);
}

bool IsExistingFolder(const QByteArray &path)
{
    return HasAttributes(path, faDirectory);
}

int FileAttributes(const QByteArray &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return -1;
    int attributes = 0;
    if (S_ISDIR(st.st_mode))
        attributes |= faDirectory;
    if (!(st.st_mode & S_IWUSR))
        attributes |= faReadOnly;
    QByteArray name = path;
    while (name.size() > 1 && name.endsWith(Separator))
        name.chop(1);
    if (NameOfPath(name).startsWith('.') && NameOfPath(name) != "." && NameOfPath(name) != "..")
        attributes |= faHidden;
    return attributes;
}

bool HasAttributes(const QByteArray &path, unsigned bits)
{
    const int attributes = FileAttributes(path);
    return attributes >= 0 && (unsigned(attributes) & bits) == bits;
}

QByteArray AppendFolderSeparator(const QByteArray &folder)
{
    if (folder.isEmpty() || folder.endsWith(Separator))
        return folder;
    return folder + Separator;
}

qint64 QueryFileSize(const QByteArray &path)
{
    struct stat st;
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return qint64(st.st_size);
}

void CreateFolderPath(const QByteArray &folder)
{
    if (folder.isEmpty())
        return;
    QByteArray path = folder;
    if (path.endsWith(Separator))
        path.chop(1);
    // The root is its own parent ("" after the "/" is cut), which ends the
    // recursion; so does a path ending in "//", whose rest is its own parent.
    if (IsExistingFolder(path) || FolderOfPath(path) == path)
        return;
    CreateFolderPath(FolderOfPath(path));
    ::mkdir(path.constData(), 0777);
}

qint64 ReadFileData(int fd, char *buffer, size_t bufferSize, bool skipHoles,
                    const std::atomic<bool> *stop, const ChunkSink &sink)
{
    ThrowIfStopped(stop);
    qint64 position = 0;
    for (;;) {
        qint64 segmentEnd = -1; // -1: read on until the end of the file
        if (skipHoles) {
            const off_t data = ::lseek(fd, off_t(position), SEEK_DATA);
            if (data < 0 && errno == ENXIO)
                return position; // nothing but a hole from here on
            if (data >= 0) {
                const off_t hole = ::lseek(fd, data, SEEK_HOLE);
                if (hole < 0 || ::lseek(fd, data, SEEK_SET) != data)
                    throw EReadError(errno);
                position = data;
                segmentEnd = hole;
            } else if (errno == EINVAL || errno == EOPNOTSUPP) {
                // The file system cannot tell holes from data: read it all.
                skipHoles = false;
                if (::lseek(fd, off_t(position), SEEK_SET) < 0)
                    throw EReadError(errno);
            } else {
                throw EReadError(errno);
            }
        }
        // Read until the end of the file is reported, not until the first
        // short read: a short read before the end (a signal, some network
        // file systems) must not cut the copy short.
        while (segmentEnd < 0 || position < segmentEnd) {
            ThrowIfStopped(stop);
            const size_t want =
                segmentEnd < 0 ? bufferSize
                               : size_t(qMin<qint64>(qint64(bufferSize), segmentEnd - position));
            const ssize_t count = ReadRetrying(fd, buffer, want);
            if (count < 0)
                throw EReadError(errno);
            if (count == 0)
                return position; // the end, earlier than the segment if the file shrank
            sink(position, buffer, size_t(count));
            position += count;
        }
    }
}

CopyResult CopyRegularFile(const QByteArray &source, const QByteArray &target, const CopyPlan &plan)
{
    CopyResult result;
    FileHandle input =
        OpenSource(source, result.Opened, plan.ReadAs, plan.SourceFolder, plan.SourceName);
    const struct stat &info = result.Opened;
    if (plan.Opened)
        plan.Opened(info);

    const bool inFolder = plan.TargetFolder >= 0;
    const int folder = inFolder ? plan.TargetFolder : AT_FDCWD;
    const QByteArray entry = inFolder ? plan.TargetName : target;
    if (!inFolder)
        CreateFolderPath(FolderOfPath(target));
    RefuseUnsafeTarget(folder, entry, target, info, plan.OverwriteReadOnly);

    // Without the source's owner the copy does not keep its read-only state
    // (a second run must be able to replace it), but it keeps who else may
    // read the data: a private mail file stays private. The umask applies on
    // top. With the owner kept, the whole mode is set on the open file at
    // the end; until then only its owner may read it.
    const mode_t mode =
        plan.KeepOwner ? mode_t(S_IRUSR | S_IWUSR) : (info.st_mode & 0777) | S_IRUSR | S_IWUSR;
    // The copy goes under a fresh hidden name in the destination's folder,
    // so that it can be renamed over the destination. Nothing is flushed
    // per file: a move flushes the folder once after all its copies.
    ReplacementFile output(ReplaceFlush::Caller, inFolder ? folder : -1);
    if (!output.Create(FolderOfPath(entry) + QByteArrayLiteral(".flitto-"),
                       QByteArrayLiteral(".part"), mode))
        throw EFCreateError(target, errno);

    const auto buffer = std::make_unique_for_overwrite<char[]>(plan.BufferSize);
    qint64 written = 0; // the output's offset
    const qint64 end = ReadFileData(
        input.Get(), buffer.get(), plan.BufferSize, plan.SkipHoles, plan.Stop,
        [&](qint64 offset, const char *data, size_t count) {
            // Past a hole: seek on, so that the copy gets a hole as well.
            if (offset != written && ::lseek(output.Get(), off_t(offset), SEEK_SET) != offset)
                throw EWriteError(errno);
            if (!WriteAll(output.Get(), data, count, CurrentCopyIo().Write))
                throw EWriteError(errno);
            written = offset + qint64(count);
            if (plan.Written)
                plan.Written(offset, data, count);
        });

    if (::fstat(input.Get(), &result.Finished) != 0)
        throw EReadError(errno);
    // A hole at the end is never read: the source's length says where it ends.
    result.Size = plan.SkipHoles ? qMax(end, qint64(result.Finished.st_size)) : end;
    if (result.Size != written && ::ftruncate(output.Get(), off_t(result.Size)) != 0)
        throw EWriteError(errno);

    // Owner and group first, then the mode, on the open file, so that
    // nothing swapped in under the name can be given away. Never the
    // set-user or set-group bit: a copy made by root must give no one more
    // than the data folder's owner already had, and a setuid-root program
    // linked into a data folder would otherwise become one in the new
    // folder.
    if (plan.KeepOwner && (::fchown(output.Get(), info.st_uid, info.st_gid) != 0 ||
                           ::fchmod(output.Get(), info.st_mode & 01777) != 0))
        throw EFCreateError(target, errno);

    // The last-write time to the nanosecond, any date; the access time is
    // the copy's own. A failure here leaves correct data with a new time.
    const FileTime times[2] = {{0, UTIME_OMIT}, info.st_mtim};
    ::futimens(output.Get(), times);

    if (!output.Close())
        throw EWriteError(errno);
    if (!output.RenameOver(entry))
        throw EFCreateError(target, errno);
    return result;
}

void CopyFileWithOptions(const QByteArray &source, const QByteArray &destination,
                         bool overwriteReadOnly, bool shellDialog, QObject *progress)
{
    // There is no desktop-neutral shell copy service to hand the work to;
    // the same copy runs in process, and a failure keeps its message.
    Q_UNUSED(shellDialog);

    const QByteArray target = HasAttributes(destination, faDirectory)
                                  ? AppendFolderSeparator(destination) + NameOfPath(source)
                                  : destination;

    const ProgressReset progressReset(progress);
    ProgressScale scale(0);
    CopyPlan plan;
    plan.BufferSize = CopyBufferSize;
    plan.OverwriteReadOnly = overwriteReadOnly;
    if (progress) {
        plan.Opened = [&](const struct stat &info) {
            scale = ProgressScale(info.st_size);
            SetProgressProperty(progress, TProgressProperty::Maximum, scale.Of(info.st_size));
            SetProgressProperty(progress, TProgressProperty::Minimum, 0);
            SetProgressProperty(progress, TProgressProperty::Position, 0);
        };
        plan.Written = [&](qint64 offset, const char *, size_t count) {
            SetProgressProperty(progress, TProgressProperty::Position,
                                scale.Of(offset + qint64(count)));
        };
    }
    CopyRegularFile(source, target, plan);
}

void CopyFileTo(const QByteArray &source, const QByteArray &destination, QObject *progress)
{
    CopyFileWithOptions(source, destination, false, false, progress);
}

bool FlushFolder(const QByteArray &folder)
{
    if (folder.isEmpty())
        return false;
    const FileHandle handle(OpenRetrying(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return handle.Get() >= 0 && ::syncfs(handle.Get()) == 0;
}

bool SetProgressProperty(QObject *control, TProgressProperty which, int value)
{
    if (!control)
        return false;
    const QMetaObject *meta = control->metaObject();
    const TProgressList::Entry *entry = TProgressList::Instance().Find(meta);
    if (!entry)
        return false;
    const QByteArray &name = which == TProgressProperty::Maximum   ? entry->MaximumProperty
                             : which == TProgressProperty::Minimum ? entry->MinimumProperty
                                                                   : entry->PositionProperty;
    const int index = meta->indexOfProperty(name.constData());
    if (index < 0)
        return false;
    const QMetaProperty property = meta->property(index);
    if (!property.isWritable() || property.isEnumType())
        return false;
    switch (property.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Char:
        return property.write(control, QVariant(value));
    case QMetaType::Double:
    case QMetaType::Float:
        // The value is whole; a floating-point property stores it exactly.
        return property.write(control, QVariant(double(value)));
    case QMetaType::QVariant:
        return property.write(control, QVariant(value)); // stored as the variant itself
    default:
        return false;
    }
}

QByteArray ResolveNameIgnoringCase(const QByteArray &folder, const QByteArray &name)
{
    const QByteArray exact = folder + name;
    struct stat st;
    if (::stat(exact.constData(), &st) == 0 && !S_ISDIR(st.st_mode))
        return exact;

    const FolderListing dir = ListFolder(folder.isEmpty() ? QByteArray(".") : folder);
    if (!dir)
        return exact;
    QByteArrayList matches;
    while (const dirent *entry = ::readdir(dir.get())) {
        if (::strcasecmp(entry->d_name, name.constData()) != 0)
            continue;
        const QByteArray candidate = folder + entry->d_name;
        if (::stat(candidate.constData(), &st) == 0 && !S_ISDIR(st.st_mode))
            matches.append(candidate);
    }
    if (matches.isEmpty())
        return exact;
    // Several spellings of one name: take a fixed one, not the directory's order.
    std::sort(matches.begin(), matches.end());
    return matches.first();
}

bool OnlyChangeableBy(const struct stat &folder, uid_t user)
{
    if (folder.st_uid != user && folder.st_uid != 0)
        return false;
    return (folder.st_mode & (S_IWGRP | S_IWOTH)) == 0 || (folder.st_mode & S_ISVTX) != 0;
}

FileHandle OpenEveryLevel(const QByteArray &path,
                          const std::function<bool(const struct stat &)> &trusted, bool makeMissing,
                          QByteArray *failed)
{
    FileHandle current(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QByteArray level = "/";
    const QByteArrayList names = path.split('/');
    for (qsizetype i = 0;; ++i) {
        struct stat st;
        if (!current.IsValid() || ::fstat(current.Get(), &st) != 0)
            break;
        if (trusted && !trusted(st)) {
            errno = 0;
            break;
        }
        while (i < names.size() && (names.at(i).isEmpty() || names.at(i) == "."))
            ++i;
        if (i == names.size())
            return current;
        const QByteArray &name = names.at(i);
        level = WithTrailingSeparator(level) + name;
        if (name == "..") {
            errno = EINVAL;
            break;
        }
        if (makeMissing)
            ::mkdirat(current.Get(), name.constData(), 0700);
        current = FileHandle(::openat(current.Get(), name.constData(),
                                      O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    const int error = errno;
    *failed = level;
    errno = error;
    return {};
}

} // namespace FileUtil
