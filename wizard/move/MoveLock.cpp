#include "wizard/move/MoveLock.h"

#include "fileutil/Exception.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"

#include <QDir>
#include <QFile>
#include <QHash>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using FileKey = QPair<quint64, quint64>; // device and inode

// A name that a lock file was replaced under more often than this is being
// fought over, and the move is refused rather than retried for ever.
constexpr int Attempts = 8;

FileKey KeyOf(const struct stat &st)
{
    return {quint64(st.st_dev), quint64(st.st_ino)};
}

// name is looked up in folder (AT_FDCWD: the current folder).
bool NameLeadsTo(int folder, const QByteArray &name, const FileKey &key)
{
    struct stat st;
    return ::fstatat(folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && KeyOf(st) == key;
}

// A descriptor of our own for folder, or AT_FDCWD kept as it is.
int OwnFolder(int folder)
{
    return folder == AT_FDCWD ? AT_FDCWD : ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
}

QString ErrorText(int error)
{
    return SystemErrorText(error);
}

// Owned by us, reached without a link, and closed to everyone else: nobody
// else can plant, swap or hold a lock file in it.
bool IsPrivateFolder(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 07777) == 0700;
}

// The user's runtime folder, or one of Flitto's own in the temporary folder;
// empty, with why, when neither is private.
QByteArray RuntimeFolder(QString *why)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/') && IsPrivateFolder(runtime))
        return runtime;
    const QByteArray own =
        QFile::encodeName(QDir::tempPath()) + "/flitto-" + QByteArray::number(::geteuid());
    if (::mkdir(own.constData(), 0700) == 0) {
        // The umask may have taken more than the group's and others' bits.
        const FileUtil::FileHandle folder(
            ::open(own.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.IsValid())
            ::fchmod(folder.Get(), 0700);
    } else if (errno != EEXIST) {
        *why = QStringLiteral("%1: %2").arg(PathText(own), ErrorText(errno));
        return {};
    }
    if (IsPrivateFolder(own))
        return own;
    *why = QStringLiteral("%1 is not a folder of this user that only this user may open")
               .arg(PathText(own));
    return {};
}

// A lock file the open failed on with error: a link or another user's file
// at the name is unsafe; a folder that takes no new file lets the caller
// look for another place.
MoveLock::Taken RefusedOpen(int folder, const QByteArray &path, int error, QString *why)
{
    struct stat st;
    const bool exists = ::fstatat(folder, path.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (exists && S_ISLNK(st.st_mode)) {
        *why = QStringLiteral("it is a symbolic link");
        return MoveLock::Taken::Unsafe;
    }
    if (exists && st.st_uid != ::geteuid()) {
        *why = QStringLiteral("it belongs to another user");
        return MoveLock::Taken::Unsafe;
    }
    *why = ErrorText(error);
    const bool refused =
        error == EACCES || error == EPERM || error == EROFS || error == ENOSPC || error == EDQUOT;
    return !exists && refused ? MoveLock::Taken::NoNewFile : MoveLock::Taken::Unsafe;
}

// Why the open lock file is none to trust, empty when it is: only a regular
// file of this user, under this one name, can be a lock nobody else holds.
QString Untrusted(const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("it is not a regular file");
    if (st.st_uid != ::geteuid())
        return QStringLiteral("it belongs to another user");
    if (st.st_nlink != 1)
        return QStringLiteral("it has more than one name");
    return QString();
}

// Locks file without waiting: 0, or why not (EWOULDBLOCK: someone holds it).
int LockAtOnce(int file)
{
    int result;
    do
        result = ::flock(file, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

} // namespace

// One locked lock file, open for as long as any move of this process needs
// it, and removed while still locked when the last move lets it go.
class MoveLock::Held
{
public:
    Held(FileUtil::FileHandle file, int folder, QByteArray name, FileKey key)
        : Pid(::getpid()), Key(key), m_file(std::move(file)), m_folder(OwnFolder(folder)),
          m_name(std::move(name))
    {}
    ~Held()
    {
        // A forked child shares the lock but does not own the name.
        if (Pid == ::getpid() && NameLeadsTo(At(), m_name, Key))
            ::unlinkat(At(), m_name.constData(), 0);
        if (m_folder >= 0)
            ::close(m_folder);
    }
    Held(const Held &) = delete;
    Held &operator=(const Held &) = delete;

    const pid_t Pid;
    const FileKey Key;

private:
    int At() const { return m_folder >= 0 ? m_folder : AT_FDCWD; }

    FileUtil::FileHandle m_file;
    const int m_folder; // the folder the name is in, open; AT_FDCWD for a path
    const QByteArray m_name;
};

namespace {

// The locks this process holds, by device and inode of the lock file: a
// second flock on a new descriptor would conflict with our own.
QHash<FileKey, std::weak_ptr<void>> &HeldHere()
{
    static QHash<FileKey, std::weak_ptr<void>> held;
    return held;
}

} // namespace

MoveLock::MoveLock() = default;
MoveLock::~MoveLock() = default;

MoveLock::Taken MoveLock::Take(int folder, const QByteArray &path, std::shared_ptr<Held> *lock,
                               QString *why)
{
    for (int attempt = 0; attempt < Attempts; ++attempt) {
        // O_NONBLOCK: a FIFO planted at the name must not stall the open.
        FileUtil::FileHandle file(
            ::openat(folder, path.constData(),
                     O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600));
        if (!file.IsValid())
            return RefusedOpen(folder, path, errno, why);
        struct stat st;
        if (::fstat(file.Get(), &st) != 0) {
            *why = ErrorText(errno);
            return Taken::Unsafe;
        }
        if (st.st_nlink == 0)
            continue; // its holder has just let it go
        if (const QString untrusted = Untrusted(st); !untrusted.isEmpty()) {
            *why = untrusted;
            return Taken::Unsafe;
        }
        const FileKey key = KeyOf(st);
        if (auto existing = std::static_pointer_cast<Held>(HeldHere().value(key).lock());
            existing && existing->Pid == ::getpid()) {
            *lock = existing;
            return Taken::Yes;
        }
        if (st.st_mode & 077) {
            // A lock file others may open is no lock: whoever can read it
            // could hold it and refuse every move. Only an older Flitto made
            // such a file; it goes, and a private one takes its place.
            if (NameLeadsTo(folder, path, key))
                ::unlinkat(folder, path.constData(), 0);
            continue;
        }
        if (const int error = LockAtOnce(file.Get()); error != 0) {
            if (error == EWOULDBLOCK)
                return Taken::Busy;
            *why = ErrorText(error);
            return Taken::Unsafe;
        }
        // A holder removes the name while it holds the file: if the name now
        // leads elsewhere, what we locked is a file nobody will meet again.
        if (!NameLeadsTo(folder, path, key))
            continue;
        HeldHere().removeIf([](const auto &entry) { return entry.value().expired(); });
        auto held = std::make_shared<Held>(std::move(file), folder, path, key);
        HeldHere().insert(key, held);
        *lock = std::move(held);
        return Taken::Yes;
    }
    *why = QStringLiteral("it was replaced again and again while Flitto took it");
    return Taken::Unsafe;
}

MoveLock::Taken MoveLock::LockInstallation(const QByteArray &settingsFile)
{
    const QByteArray folder = FileUtil::FolderOfPath(settingsFile);
    const QByteArray beside = folder + '.' + FileUtil::NameOfPath(settingsFile) + ".flitto-lock";
    QString why;
    Taken taken = Take(AT_FDCWD, beside, &m_installation, &why);
    if (taken == Taken::NoNewFile) {
        // A Quillbox folder that takes no new file (remote mode on a
        // read-only installation): every Flitto of this user meets in a
        // folder nobody else can write, under the settings file's identity.
        QString runtimeWhy;
        const QByteArray runtime = RuntimeFolder(&runtimeWhy);
        struct stat st;
        if (runtime.isEmpty()) {
            taken = Taken::Unsafe;
        } else if (::stat(settingsFile.constData(), &st) != 0) {
            runtimeWhy = ErrorText(errno);
            taken = Taken::Unsafe;
        } else {
            const QByteArray name = runtime + "/flitto-" + QByteArray::number(quint64(st.st_dev)) +
                                    '-' + QByteArray::number(quint64(st.st_ino)) + ".lock";
            taken = Take(AT_FDCWD, name, &m_installation, &runtimeWhy);
        }
        if (taken != Taken::Yes && taken != Taken::Busy) {
            m_reason =
                QStringLiteral("Flitto cannot lock the Quillbox folder %1: it takes no lock file "
                               "(%2), and there is no private folder for the lock (%3). Flitto "
                               "moves no database without its lock.")
                    .arg(PathText(folder), why, runtimeWhy);
            return Taken::Unsafe;
        }
    }
    if (taken == Taken::Busy)
        m_reason = Refusal(folder);
    else if (taken == Taken::Unsafe)
        m_reason = QStringLiteral("Flitto cannot use its lock file %1: %2. Flitto moves no "
                                  "database without its lock.")
                       .arg(PathText(beside), why);
    return taken;
}

MoveLock::Taken MoveLock::LockTarget(int folder, const QByteArray &target)
{
    const QByteArray path = FileUtil::WithTrailingSeparator(target) + TargetLockName();
    QString why;
    const Taken taken = Take(folder, TargetLockName(), &m_target, &why);
    if (taken == Taken::Busy)
        m_reason = Refusal(target);
    else if (taken != Taken::Yes)
        m_reason = QStringLiteral("Flitto cannot use its lock file %1: %2. Flitto moves no "
                                  "database without its lock.")
                       .arg(PathText(path), why);
    return taken;
}

QString MoveLock::Refusal(const QByteArray &what)
{
    return QStringLiteral("Another Flitto is moving a database in %1. Wait until it has "
                          "finished, then try again.")
        .arg(PathText(what));
}
