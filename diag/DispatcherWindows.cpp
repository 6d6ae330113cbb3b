#include "diag/DispatcherWindows.h"

#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace DispatcherWindows {

QByteArray DefaultWindowDirectory()
{
    const QByteArray uid = QByteArray::number(::geteuid());
    const QByteArray runtime = "/run/user/" + uid;
    struct stat st;
    if (::stat(runtime.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return runtime + "/dezazudi";
    return "/tmp/dezazudi-" + uid;
}

namespace {

bool IsTrusted(const struct stat &st)
{
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

} // namespace

FileHandle OpenTrustedDirectory(const QByteArray &path)
{
    FileHandle directory(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!directory.IsValid() || ::fstat(directory.Get(), &st) != 0 || !IsTrusted(st))
        return FileHandle();
    return directory;
}

FileHandle CreateTrustedDirectory(const QByteArray &path, QByteArray *reason)
{
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        if (reason)
            *reason = "cannot create " + path + ": " + QByteArray(::strerror(errno));
        return FileHandle();
    }
    FileHandle directory = OpenTrustedDirectory(path);
    if (!directory.IsValid() && reason)
        *reason = path + " is not a folder owned by this user and closed to others";
    return directory;
}

QByteArray EntryPath(const FileHandle &directory, const QByteArray &name)
{
    return "/proc/self/fd/" + QByteArray::number(directory.Get()) + '/' + name;
}

QByteArray SocketFileName(const QByteArray &className, quint32 processId, const QByteArray &title)
{
    return className + '#' + QByteArray::number(processId) + '#' + title;
}

std::optional<TSocketName> ParseSocketFileName(const QByteArray &name)
{
    const qsizetype first = name.indexOf('#');
    if (first < 0)
        return std::nullopt;
    const qsizetype second = name.indexOf('#', first + 1);
    if (second < 0)
        return std::nullopt;
    const QByteArray pid = name.mid(first + 1, second - first - 1);
    bool ok = false;
    const uint processId = pid.toUInt(&ok);
    if (!ok || pid.isEmpty() || pid.at(0) < '0' || pid.at(0) > '9' || processId == 0)
        return std::nullopt;
    return TSocketName{name.left(first), processId, name.mid(second + 1)};
}

QByteArray EncodeHeader(qint32 kind, quint32 size)
{
    QByteArray header(HeaderSize, '\0');
    qToLittleEndian<quint32>(CopyDataMessage, header.data());
    qToLittleEndian<quint32>(size, header.data() + 4);
    qToLittleEndian<quint64>(0, header.data() + 8);
    qToLittleEndian<qint64>(kind, header.data() + 16);
    return header;
}

TCopyDataHeader DecodeHeader(const char *bytes)
{
    TCopyDataHeader header;
    header.Message = qFromLittleEndian<quint32>(bytes);
    header.Size = qFromLittleEndian<quint32>(bytes + 4);
    header.WParam = qFromLittleEndian<quint64>(bytes + 8);
    header.DataWord = qFromLittleEndian<qint64>(bytes + 16);
    return header;
}

bool SendAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= sent;
    }
    return true;
}

bool ReceiveAll(int fd, char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t got = ::recv(fd, data, static_cast<size_t>(size), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        data += got;
        size -= got;
    }
    return true;
}

} // namespace DispatcherWindows
