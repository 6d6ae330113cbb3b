#include "wizard/move/MoveLock.h"

#include "fileutil/Exception.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHash>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// One locked file or folder, open for as long as any move of this process
// needs it.
class MoveLock::Held
{
public:
    explicit Held(FileUtil::FileHandle file) : m_file(std::move(file)) {}

private:
    FileUtil::FileHandle m_file;
};

namespace {

// The locks this process holds, by device and inode of what is locked: a
// second flock on a new descriptor would conflict with our own.
QHash<QPair<quint64, quint64>, std::weak_ptr<void>> &HeldHere()
{
    static QHash<QPair<quint64, quint64>, std::weak_ptr<void>> held;
    return held;
}

QByteArray RuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/'))
        return runtime;
    return QFile::encodeName(QDir::tempPath());
}

} // namespace

MoveLock::MoveLock() = default;
MoveLock::~MoveLock() = default;

std::shared_ptr<MoveLock::Held> MoveLock::Take(const QByteArray &path, bool folder, bool *busy)
{
    *busy = false;
    const int flags = folder ? O_RDONLY | O_DIRECTORY | O_CLOEXEC
                             : O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY;
    FileUtil::FileHandle file(::open(path.constData(), flags, 0644));
    const int fd = file.Get();
    struct stat st;
    if (!file.IsValid() || ::fstat(fd, &st) != 0)
        return nullptr;
    const QPair<quint64, quint64> key(quint64(st.st_dev), quint64(st.st_ino));
    if (auto existing = HeldHere().value(key).lock())
        return std::static_pointer_cast<Held>(existing);
    int result;
    do
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result != 0) {
        *busy = errno == EWOULDBLOCK;
        return nullptr;
    }
    auto held = std::make_shared<Held>(std::move(file));
    HeldHere().insert(key, held);
    return held;
}

bool MoveLock::LockInstallation(const QByteArray &settingsFile)
{
    bool busy = false;
    const QByteArray folder = FileUtil::FolderOfPath(settingsFile);
    m_installation =
        Take(folder + '.' + FileUtil::NameOfPath(settingsFile) + ".flitto-lock", false, &busy);
    if (busy)
        return false;
    if (!m_installation) {
        // A Quillbox folder that takes no new file (remote mode on a read-only
        // installation): every Flitto of this user meets in the runtime folder.
        std::unique_ptr<char, void (*)(void *)> real(::realpath(folder.constData(), nullptr),
                                                     &::free);
        const QByteArray name =
            (real ? QByteArray(real.get()) : folder) + '/' + FileUtil::NameOfPath(settingsFile);
        const QByteArray key = QCryptographicHash::hash(name, QCryptographicHash::Sha1).toHex();
        m_installation = Take(RuntimeFolder() + "/flitto-" + key.left(20) + ".lock", false, &busy);
    }
    return !busy;
}

bool MoveLock::LockTarget(const QByteArray &target)
{
    bool busy = false;
    m_target = Take(target, true, &busy);
    return !busy;
}

QString MoveLock::Refusal(const QByteArray &what)
{
    return QStringLiteral("Another Flitto is moving a database in %1. Wait until it has "
                          "finished, then try again.")
        .arg(PathText(what));
}
