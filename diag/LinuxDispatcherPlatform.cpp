#include "diag/LinuxDispatcherPlatform.h"

#include "diag/DispatcherWindows.h"
#include "fileutil/FileHandle.h"
#include "fileutil/PrivateProfile.h"

#include <QDeadlineTimer>
#include <QMutexLocker>
#include <QThread>
#include <QUuid>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

using namespace DispatcherWindows;

namespace {

// Bounds the next blocking step on a socket by what is left of the
// exchange; at least 1 ms, since 0 would mean no bound at all.
void LimitTo(int socket, const QDeadlineTimer &deadline)
{
    if (deadline.isForever())
        return;
    const qint64 left = std::max<qint64>(1, deadline.remainingTime());
    const timeval timeout{static_cast<time_t>(left / 1000),
                          static_cast<suseconds_t>((left % 1000) * 1000)};
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

// A socket connected to a window's socket file; invalid when the file is
// gone or nobody listens on it (error: why). A non-blocking probe never
// waits for a dispatcher whose backlog is full: it exists, so it counts as
// there. A full backlog makes a bounded connect end with EAGAIN.
FileHandle ConnectTo(const QByteArray &path, bool probe, const QDeadlineTimer &deadline, int &error)
{
    error = ENOENT;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= static_cast<qsizetype>(sizeof address.sun_path))
        return FileHandle();
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    FileHandle socket(
        ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | (probe ? SOCK_NONBLOCK : 0), 0));
    if (!socket.IsValid())
        return FileHandle();
    LimitTo(socket.Get(), deadline);
    int result;
    do {
        result =
            ::connect(socket.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (result != 0 && errno == EINTR && !probe);
    error = result == 0 ? 0 : errno;
    if (result != 0 && !(probe && (error == EAGAIN || error == EINPROGRESS)))
        return FileHandle();
    return socket;
}

// Whether the process listening on a connected socket runs as this user. A
// socket file of ours can still be served by another user's process.
bool PeerIsOurs(int socket)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof peer && peer.uid == ::geteuid();
}

bool IsOwnSocket(const struct stat &st)
{
    return S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid();
}

bool IsTimeOut(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

// What a start hands to posix_spawn, released whatever the start gives.
struct TSpawnSetup
{
    posix_spawnattr_t Attributes;
    posix_spawn_file_actions_t Files;
    bool AttributesMade = ::posix_spawnattr_init(&Attributes) == 0;
    bool FilesMade = ::posix_spawn_file_actions_init(&Files) == 0;

    TSpawnSetup() = default;
    TSpawnSetup(const TSpawnSetup &) = delete;
    TSpawnSetup &operator=(const TSpawnSetup &) = delete;
    ~TSpawnSetup()
    {
        if (AttributesMade)
            ::posix_spawnattr_destroy(&Attributes);
        if (FilesMade)
            ::posix_spawn_file_actions_destroy(&Files);
    }
    bool valid() const { return AttributesMade && FilesMade; }
};

} // namespace

LinuxDispatcherPlatform::LinuxDispatcherPlatform(TLinuxPlatformSettings settings)
    : m_settings(std::move(settings))
{}

QByteArray LinuxDispatcherPlatform::WindowDirectory() const
{
    return m_settings.WindowDirectory.isEmpty() ? DefaultWindowDirectory()
                                                : m_settings.WindowDirectory;
}

TWindowHandle LinuxDispatcherPlatform::HandleOf(quint64 inode, quint32 processId)
{
    const TWindowHandle handle = inode ^ (static_cast<quint64>(processId) << 32);
    return handle != 0 ? handle : 1;
}

QList<LinuxDispatcherPlatform::TEntry> LinuxDispatcherPlatform::Windows(int directory) const
{
    QList<TEntry> entries;
    const int listing = ::fcntl(directory, F_DUPFD_CLOEXEC, 0);
    if (listing < 0)
        return entries;
    const FileUtil::FolderListing dir = FileUtil::ListFolder(FileUtil::FileHandle(listing));
    if (!dir)
        return entries;
    while (const dirent *entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        const std::optional<TSocketName> parts = ParseSocketFileName(name);
        struct stat st;
        // A socket another user put there while the directory was open to
        // others stays there after its mode is mended: it is not a window.
        if (!parts || ::fstatat(directory, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !IsOwnSocket(st))
            continue;
        entries.append({name, HandleOf(st.st_ino, parts->ProcessId), parts->ProcessId,
                        parts->ClassName, parts->Title});
    }
    // Directory order is arbitrary; name order makes "the first window"
    // the same on every lookup.
    std::sort(entries.begin(), entries.end(),
              [](const TEntry &a, const TEntry &b) { return a.Name < b.Name; });
    return entries;
}

TWindowHandle LinuxDispatcherPlatform::FindWindow(const QByteArray &ClassName,
                                                  const QByteArray &Title)
{
    ReapStartedChildren();
    const FileHandle directory = OpenTrustedDirectory(WindowDirectory());
    if (!directory.IsValid())
        return 0;
    for (const TEntry &entry : Windows(directory.Get())) {
        if (entry.ClassName != ClassName || entry.Title != Title)
            continue;
        // A socket file whose dispatcher died is stale, one served by another
        // user is not ours: skip both. A full backlog tells no peer; the
        // exchange checks it again.
        int error = 0;
        const FileHandle probe = ConnectTo(EntryPath(directory, entry.Name), true,
                                           QDeadlineTimer(QDeadlineTimer::Forever), error);
        if (!probe.IsValid() || (error == 0 && !PeerIsOurs(probe.Get())))
            continue;
        QMutexLocker locker(&m_lock);
        m_names.insert(entry.Handle, entry.Name);
        return entry.Handle;
    }
    return 0;
}

QList<TThreadWindow> LinuxDispatcherPlatform::ThreadWindows(quint32 ThreadId)
{
    QList<TThreadWindow> windows;
    const FileHandle directory = OpenTrustedDirectory(WindowDirectory());
    if (!directory.IsValid())
        return windows;
    for (const TEntry &entry : Windows(directory.Get())) {
        if (entry.ProcessId != ThreadId)
            continue;
        QMutexLocker locker(&m_lock);
        m_names.insert(entry.Handle, entry.Name);
        windows.append({entry.Handle, false, entry.Title});
    }
    return windows;
}

TCopyDataResult LinuxDispatcherPlatform::SendCopyData(TWindowHandle Window, qint32 Kind,
                                                      const QByteArray &Record)
{
    if (Window == 0)
        return {};
    {
        QMutexLocker locker(&m_lock);
        if (m_exchangeTimedOut)
            return {0, true};
    }
    const FileHandle directory = OpenTrustedDirectory(WindowDirectory());
    if (!directory.IsValid())
        return {};
    QByteArray name;
    {
        QMutexLocker locker(&m_lock);
        name = m_names.value(Window);
    }
    if (name.isEmpty()) {
        for (const TEntry &entry : Windows(directory.Get())) {
            if (entry.Handle == Window)
                name = entry.Name;
        }
        if (name.isEmpty())
            return {};
    }
    const QDeadlineTimer deadline = m_settings.ExchangeTimeoutMs > 0
                                        ? QDeadlineTimer(m_settings.ExchangeTimeoutMs)
                                        : QDeadlineTimer(QDeadlineTimer::Forever);
    int error = 0;
    const FileHandle socket = ConnectTo(EntryPath(directory, name), false, deadline, error);
    if (!socket.IsValid())
        return Broken(error);
    // The socket file may have been replaced since the lookup: a message
    // for one window must not reach another, nor another user.
    struct stat st;
    if (::fstatat(directory.Get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !IsOwnSocket(st) || HandleOf(st.st_ino, ParseSocketFileName(name)->ProcessId) != Window ||
        !PeerIsOurs(socket.Get()))
        return {};
    const QByteArray header = EncodeHeader(Kind, static_cast<quint32>(Record.size()));
    char answer[AnswerSize];
    // errno is cleared first: a peer that hangs up leaves it untouched.
    errno = 0;
    LimitTo(socket.Get(), deadline);
    if (!SendAll(socket.Get(), header.constData(), header.size()))
        return Broken(errno);
    errno = 0;
    LimitTo(socket.Get(), deadline);
    if (!SendAll(socket.Get(), Record.constData(), Record.size()))
        return Broken(errno);
    errno = 0;
    LimitTo(socket.Get(), deadline);
    if (!ReceiveAll(socket.Get(), answer, AnswerSize))
        return Broken(errno);
    return {qFromLittleEndian<qint64>(answer), false};
}

TCopyDataResult LinuxDispatcherPlatform::Broken(int error)
{
    if (!IsTimeOut(error))
        return {};
    QMutexLocker locker(&m_lock);
    m_exchangeTimedOut = true;
    return {0, true};
}

std::optional<TStartedProcess> LinuxDispatcherPlatform::CreateProcess(const QByteArray &Command)
{
    ReapStartedChildren();
    // The command line is split at blanks, with no shell and no quoting.
    QByteArrayList words;
    for (const QByteArray &word : QByteArray(Command).replace('\t', ' ').split(' ')) {
        if (!word.isEmpty())
            words.append(word);
    }
    if (words.isEmpty())
        return std::nullopt;
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    TSpawnSetup setup;
    if (!setup.valid())
        return std::nullopt;
    // The dispatcher is a program of its own: its own session, so that the
    // terminal or desktop session of the wizard does not take it along, and
    // the default signal handling whatever the wizard changed.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    ::posix_spawnattr_setsigmask(&setup.Attributes, &none);
    ::posix_spawnattr_setsigdefault(&setup.Attributes, &all);
    ::posix_spawnattr_setflags(&setup.Attributes,
                               POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    // Nor does it hold any file of the wizard: a pipe it kept open would keep
    // "flitto | cat" from ending for as long as the dispatcher runs.
    for (int fd = 0; fd < 3; ++fd)
        ::posix_spawn_file_actions_addopen(&setup.Files, fd, "/dev/null",
                                           fd == 0 ? O_RDONLY : O_WRONLY, 0);
    ::posix_spawn_file_actions_addclosefrom_np(&setup.Files, 3);
    pid_t pid = 0;
    const int error =
        ::posix_spawnp(&pid, argv[0], &setup.Files, &setup.Attributes, argv.data(), environ);
    if (error != 0)
        return std::nullopt;
    {
        QMutexLocker locker(&m_lock);
        m_children.append(static_cast<quint32>(pid));
    }
    // The main thread of a Linux process has the process's own id.
    return TStartedProcess{static_cast<quint32>(pid), static_cast<quint32>(pid)};
}

void LinuxDispatcherPlatform::WaitForInputIdle(const TStartedProcess &Process)
{
    // Ready means: its window socket is there (the dispatcher puts it in
    // place only once it listens). A program that ends, or that takes
    // longer than the bound, is waited for no more.
    QDeadlineTimer deadline(m_settings.LaunchWaitMs);
    for (;;) {
        {
            const FileHandle directory = OpenTrustedDirectory(WindowDirectory());
            if (directory.IsValid()) {
                const QList<TEntry> entries = Windows(directory.Get());
                if (std::any_of(entries.begin(), entries.end(), [&](const TEntry &entry) {
                        return entry.ProcessId == Process.ProcessId;
                    }))
                    return;
            }
        }
        int status = 0;
        const pid_t pid = static_cast<pid_t>(Process.ProcessId);
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            QMutexLocker locker(&m_lock);
            m_children.removeOne(Process.ProcessId);
            return;
        }
        if (deadline.hasExpired())
            return;
        QThread::msleep(5);
    }
}

void LinuxDispatcherPlatform::CloseHandles(const TStartedProcess &)
{
    // A process id holds no resource; the started program is reaped when it
    // ends (ReapStartedChildren), so it never lingers as a zombie.
}

void LinuxDispatcherPlatform::ReapStartedChildren()
{
    QMutexLocker locker(&m_lock);
    for (qsizetype i = m_children.size() - 1; i >= 0; --i) {
        int status = 0;
        const pid_t result = ::waitpid(static_cast<pid_t>(m_children.at(i)), &status, WNOHANG);
        if (result != 0)
            m_children.removeAt(i);
    }
}

std::optional<QByteArray> LinuxDispatcherPlatform::ReadMachineValue(const QByteArray &Key,
                                                                    const QByteArray &ValueName)
{
    const QByteArray section = Key.mid(Key.lastIndexOf('\\') + 1);
    return PrivateProfile::ReadValue(m_settings.SettingsFile, section, ValueName);
}

QByteArray LinuxDispatcherPlatform::NewGuid()
{
    return QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toLatin1();
}

std::optional<QByteArray> LinuxDispatcherPlatform::ComputerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return std::nullopt;
    return QByteArray(name);
}

QByteArray LinuxDispatcherPlatform::ProgramFile()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || length >= static_cast<ssize_t>(sizeof path))
        return QByteArray();
    return QByteArray(path, length);
}

quint32 LinuxDispatcherPlatform::ProcessId()
{
    return static_cast<quint32>(::getpid());
}

quint32 LinuxDispatcherPlatform::ThreadId()
{
    return static_cast<quint32>(::gettid());
}

qint32 LinuxDispatcherPlatform::TimeZoneBias()
{
    // After tzset(), "timezone" holds the standard time's offset in seconds
    // west of Greenwich: the bias, without daylight saving.
    ::tzset();
    return static_cast<qint32>(::timezone / 60);
}

QDateTime LinuxDispatcherPlatform::LocalTime()
{
    return QDateTime::currentDateTime();
}
