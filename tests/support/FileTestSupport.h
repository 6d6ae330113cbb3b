#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <functional>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>

// Small file-system tools shared by the fileutil tests. Paths are bytes.
namespace FileTest {

// The kernel's time stamp (seconds and nanoseconds) as struct stat holds it.
using FileTime = decltype(std::declval<struct stat>().st_mtim);

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it
// when the object goes; unlike QTemporaryDir it copes with names that are
// not valid UTF-8 and with read-only entries.
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    bool IsValid() const { return !m_path.isEmpty(); }
    // The folder, ending in "/".
    const QByteArray &Path() const { return m_path; }

private:
    QByteArray m_path;
};

// Swaps the copy's read call for the life of the object: a slow or
// meddling disk on demand.
class ReadSwap
{
public:
    using ReadCall = ssize_t (*)(int fd, void *buffer, size_t count);
    explicit ReadSwap(ReadCall read);
    ~ReadSwap();
    ReadSwap(const ReadSwap &) = delete;
    ReadSwap &operator=(const ReadSwap &) = delete;

private:
    ReadCall m_old;
};

// Writes the bytes to a new or truncated file; false on any failure.
bool WriteFile(const QByteArray &path, const QByteArray &contents, mode_t mode = 0644);
// The whole contents, or a null QByteArray when the file cannot be read.
// Reads without touching the file's access time where the kernel allows.
QByteArray ReadFile(const QByteArray &path);
// For tests that compare whole files, settings files above all: writes the
// bytes with the permissions a new file normally gets (0666 less the umask),
// and a failure fails the running test.
void PutFile(const QByteArray &path, const QByteArray &contents);
// The whole contents; "<unreadable>" when the file cannot be read, so that
// no expected contents match a file that is missing or closed to the test.
QByteArray FileBytes(const QByteArray &path);
// Deterministic contents of the given size that differ from chunk to chunk.
QByteArray Pattern(qint64 size, char seed = 'a');
// The names in a folder, sorted, without "." and "..".
QByteArrayList ListFolder(const QByteArray &folder);
// The half-written files a copy or a settings change leaves in the folder
// while it writes (".flitto-" names); the lock file of a move does not count.
QByteArrayList PartialCopies(const QByteArray &folder);
// The number of open file descriptors of this process.
int OpenDescriptorCount();

// Everything a copy must leave alone about a file.
struct Snapshot
{
    bool exists = false;
    QByteArray contents;
    struct stat info = {};
};
Snapshot Take(const QByteArray &path);
// "" when equal, otherwise what differs.
QString Compare(const Snapshot &before, const Snapshot &after);

// Runs body in a forked child and returns its text. With ownMounts the
// child first enters a private mount namespace (a user namespace as well
// when not root); when that is impossible the result starts with "SKIP:".
// An Exception escaping body gives its message.
QByteArray RunInChild(bool ownMounts, const std::function<QByteArray()> &body);

} // namespace FileTest
