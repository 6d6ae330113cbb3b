#include "FileTestSupport.h"

#include "fileutil/CopyIo.h"

#include "fileutil/Exception.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace FileTest {

ScratchFolder::ScratchFolder()
{
    const QByteArray base = QFile::encodeName(QDir::tempPath());
    QByteArray pattern = base + "/flitto-test-XXXXXX";
    if (::mkdtemp(pattern.data()))
        m_path = pattern + '/';
}

static int RemoveEntry(const char *path, const struct stat *, int kind, struct FTW *)
{
    if (kind == FTW_DP)
        ::rmdir(path);
    else
        ::unlink(path);
    return 0;
}

ScratchFolder::~ScratchFolder()
{
    if (m_path.isEmpty())
        return;
    // Read-only folders inside would stop the removal: open them up first.
    ::nftw(
        m_path.constData(),
        [](const char *path, const struct stat *info, int kind, struct FTW *) {
            if (kind == FTW_D)
                ::chmod(path, (info->st_mode & 07777) | S_IRWXU);
            return 0;
        },
        64, FTW_PHYS);
    ::nftw(m_path.constData(), &RemoveEntry, 64, FTW_DEPTH | FTW_PHYS);
}

bool WriteFile(const QByteArray &path, const QByteArray &contents, mode_t mode)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < contents.size()) {
        const ssize_t n = ::write(fd, contents.constData() + done, size_t(contents.size() - done));
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += n;
    }
    return ::close(fd) == 0;
}

QByteArray ReadFile(const QByteArray &path)
{
    int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
    if (fd < 0)
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return QByteArray();
    QByteArray contents("");
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            ::close(fd);
            return QByteArray();
        }
        if (n == 0)
            break;
        contents.append(buffer, n);
    }
    ::close(fd);
    return contents;
}

void PutFile(const QByteArray &path, const QByteArray &contents)
{
    QVERIFY2(WriteFile(path, contents, 0666), path.constData());
}

QByteArray FileBytes(const QByteArray &path)
{
    const QByteArray contents = ReadFile(path);
    return contents.isNull() ? QByteArray("<unreadable>") : contents;
}

QByteArray Pattern(qint64 size, char seed)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        data[i] = char(seed + (i * 7 + i / 8192 * 13) % 251);
    return data;
}

QByteArrayList ListFolder(const QByteArray &folder)
{
    QByteArrayList names;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return names;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

int OpenDescriptorCount()
{
    return int(ListFolder(QByteArrayLiteral("/proc/self/fd")).size());
}

Snapshot Take(const QByteArray &path)
{
    Snapshot shot;
    shot.exists = ::lstat(path.constData(), &shot.info) == 0;
    if (shot.exists && S_ISREG(shot.info.st_mode))
        shot.contents = ReadFile(path);
    return shot;
}

static bool SameTime(const FileTime &a, const FileTime &b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

QString Compare(const Snapshot &before, const Snapshot &after)
{
    if (before.exists != after.exists)
        return QStringLiteral("existence changed");
    if (!before.exists)
        return QString();
    QStringList changes;
    if (before.contents != after.contents)
        changes << QStringLiteral("contents");
    if (before.info.st_ino != after.info.st_ino || before.info.st_dev != after.info.st_dev)
        changes << QStringLiteral("inode");
    if (before.info.st_mode != after.info.st_mode)
        changes << QStringLiteral("mode");
    if (before.info.st_nlink != after.info.st_nlink)
        changes << QStringLiteral("link count");
    if (before.info.st_size != after.info.st_size)
        changes << QStringLiteral("size");
    if (!SameTime(before.info.st_mtim, after.info.st_mtim))
        changes << QStringLiteral("modification time");
    if (!SameTime(before.info.st_atim, after.info.st_atim))
        changes << QStringLiteral("access time");
    if (!SameTime(before.info.st_ctim, after.info.st_ctim))
        changes << QStringLiteral("change time");
    return changes.join(QStringLiteral(", "));
}

static bool WriteProcFile(const char *path, const QByteArray &text)
{
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.constData(), size_t(text.size())) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

static bool EnterOwnMountNamespace()
{
    const uid_t uid = ::geteuid();
    const gid_t gid = ::getegid();
    if (uid == 0) {
        if (::unshare(CLONE_NEWNS) != 0)
            return false;
    } else {
        // Unprivileged: a user namespace of our own, mapping our ids onto
        // themselves, grants the right to mount inside it.
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        WriteProcFile("/proc/self/setgroups", QByteArrayLiteral("deny"));
        if (!WriteProcFile("/proc/self/uid_map",
                           QByteArray::number(uid) + ' ' + QByteArray::number(uid) + " 1") ||
            !WriteProcFile("/proc/self/gid_map",
                           QByteArray::number(gid) + ' ' + QByteArray::number(gid) + " 1"))
            return false;
    }
    // Nothing mounted here may reach the rest of the system.
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

QByteArray RunInChild(bool ownMounts, const std::function<QByteArray()> &body)
{
    int channel[2];
    if (::pipe2(channel, O_CLOEXEC) != 0)
        return QByteArrayLiteral("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        return QByteArrayLiteral("fork failed");
    if (pid == 0) {
        ::close(channel[0]);
        QByteArray result;
        if (ownMounts && !EnterOwnMountNamespace()) {
            result = QByteArrayLiteral("SKIP: no private mount namespace here");
        } else {
            try {
                result = body();
            } catch (const Exception &error) {
                result = error.message().toUtf8();
            } catch (...) {
                result = QByteArrayLiteral("unexpected exception");
            }
        }
        qsizetype done = 0;
        while (done < result.size()) {
            const ssize_t n =
                ::write(channel[1], result.constData() + done, size_t(result.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        ::_exit(0); // no destructors, no test framework teardown in the child
    }
    ::close(channel[1]);
    QByteArray result;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(channel[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.append(buffer, n);
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QByteArrayLiteral("child died: ") + result;
    return result;
}

ReadSwap::ReadSwap(ReadCall read) : m_old(FileUtil::CurrentCopyIo().Read)
{
    FileUtil::CurrentCopyIo().Read = read;
}

ReadSwap::~ReadSwap()
{
    FileUtil::CurrentCopyIo().Read = m_old;
}

QByteArrayList PartialCopies(const QByteArray &folder)
{
    QByteArrayList partial;
    for (const QByteArray &name : ListFolder(folder))
        if (name.contains(".flitto-") && !name.endsWith(".flitto-lock") &&
            name != ".flitto-journal")
            partial << name;
    return partial;
}

} // namespace FileTest
