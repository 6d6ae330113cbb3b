#pragma once

#include "fileutil/FileHandle.h"

#include <QByteArray>

#include <optional>

// How dispatcher windows exist on Linux: each is a listening Unix-domain
// socket named "<class>#<pid>#<title>" in a window directory private to the
// user, and the copy-data message is one exchange on a connection to it.
// Both the client's platform and the reference dispatcher use this.
namespace DispatcherWindows {

using FileUtil::FileHandle;

// "/run/user/<uid>/dezazudi" when "/run/user/<uid>" exists, otherwise
// "/tmp/dezazudi-<uid>", for the effective uid.
QByteArray DefaultWindowDirectory();

// The directory opened for lookups, but only when it is a directory (not a
// symlink) owned by the effective uid and not writable by group or others:
// diagnostics hold folder names and never go to another user's process.
// Checking the opened directory, and reaching sockets through it, leaves no
// gap between the check and the use.
FileHandle OpenTrustedDirectory(const QByteArray &path);

// Creates the window directory with mode 0700 when it is missing, then
// opens it as OpenTrustedDirectory does; an invalid FileHandle and a reason when
// the directory cannot be made or is not safe.
FileHandle CreateTrustedDirectory(const QByteArray &path, QByteArray *reason);

// A path that reaches an entry of an opened directory, short enough for a
// socket address whatever the directory's own path.
QByteArray EntryPath(const FileHandle &directory, const QByteArray &name);

struct TSocketName
{
    QByteArray ClassName;
    quint32 ProcessId = 0;
    QByteArray Title;
};

QByteArray SocketFileName(const QByteArray &className, quint32 processId, const QByteArray &title);
// The parts of a window's socket file name; nothing for other names. The
// class ends at the first "#", the title may hold "#" itself.
std::optional<TSocketName> ParseSocketFileName(const QByteArray &name);

// The copy-data exchange: a 24-byte header (message number, data size, first
// parameter 0, data word = the kind sign-extended), the record, and an
// 8-byte signed answer, all little-endian.
inline constexpr quint32 CopyDataMessage = 0x4A;
inline constexpr int HeaderSize = 24;
inline constexpr int AnswerSize = 8;

struct TCopyDataHeader
{
    quint32 Message = 0;
    quint32 Size = 0;
    quint64 WParam = 0;
    qint64 DataWord = 0;
};

QByteArray EncodeHeader(qint32 kind, quint32 size);
TCopyDataHeader DecodeHeader(const char *bytes);

// Whole-buffer socket I/O that survives signals; a write to a closed peer
// fails instead of raising SIGPIPE.
bool SendAll(int fd, const char *data, qsizetype size);
bool ReceiveAll(int fd, char *data, qsizetype size);

} // namespace DispatcherWindows
