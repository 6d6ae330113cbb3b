#pragma once

#include <QByteArray>

#include <cstddef>
#include <dirent.h>
#include <memory>
#include <sys/types.h>

// Open files: the one owner of a descriptor in the program, the write of a
// whole buffer, and the replacement of a file by a finished copy renamed
// over it.
namespace FileUtil {

// Owns one open file descriptor and closes it when it goes.
class FileHandle
{
public:
    FileHandle() noexcept = default;
    explicit FileHandle(int fd) noexcept : m_fd(fd) {}
    FileHandle(FileHandle &&other) noexcept : m_fd(other.Release()) {}
    FileHandle &operator=(FileHandle &&other) noexcept;
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    ~FileHandle();

    int Get() const noexcept { return m_fd; }
    bool IsValid() const noexcept { return m_fd >= 0; }
    // Gives the descriptor up without closing it.
    int Release() noexcept;
    // Closes now and tells whether that succeeded: a file system may report
    // a deferred write failure only here. errno says why on failure.
    bool Close() noexcept;

private:
    int m_fd = -1;
};

struct FolderListingCloser
{
    void operator()(DIR *dir) const noexcept { ::closedir(dir); }
};
// An open folder listing (readdir) that closes when it goes.
using FolderListing = std::unique_ptr<DIR, FolderListingCloser>;

// Lists the folder at path. Null with errno set when it cannot.
FolderListing ListFolder(const QByteArray &path);
// Lists an open folder and takes its descriptor over: the listing closes it,
// and so does a failure. Null with errno set when it cannot.
FolderListing ListFolder(FileHandle folder);

// The write(2) call WriteAll makes; the copy passes its own so that tests
// can provoke short and failed writes.
using WriteCall = ssize_t (*)(int fd, const void *buffer, size_t count);

// Writes all count bytes. A write may take fewer bytes than offered (a
// signal, a file size limit, a nearly full disk): it goes on with the rest
// until all is written or the system reports why it cannot. False with
// errno set otherwise; a write that makes no progress is ENOSPC, never a spin.
bool WriteAll(int fd, const char *data, size_t count, WriteCall write = nullptr);
bool WriteAll(int fd, const QByteArray &data);

// When a replacement reaches the disk.
enum class ReplaceFlush
{
    // Nothing is flushed here: a batch of copies flushes its folder once
    // at the end (FlushFolder) instead of once per file.
    Caller,
    // The data before the rename and the folder after it, every time: the
    // rename itself survives a crash at once.
    Always,
};

// A new file written under a fresh temporary name beside the file it
// replaces and renamed over that file when complete, so that a reader sees
// the old bytes or the new ones, never a mix, and a failed write leaves the
// old file intact. Until renamed, the temporary file is removed however the
// scope ends.
class ReplacementFile
{
public:
    // Names are taken relative to folder, an open folder, when one is
    // given (the file then stays in that folder whatever its name comes to
    // lead to), and to the current folder otherwise.
    explicit ReplacementFile(ReplaceFlush flush, int folder = -1) : m_flush(flush), m_folder(folder)
    {}
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;
    ~ReplacementFile();

    // Creates the temporary file with the given mode (before the umask) as
    // prefix + a random part + suffix; prefix starts with the folder the
    // file replaces one in. Never follows or reuses an existing entry. False
    // with errno set when it cannot be created (EEXIST after many names in
    // use).
    bool Create(const QByteArray &prefix, const QByteArray &suffix, mode_t mode);

    int Get() const noexcept { return m_file.Get(); }
    const QByteArray &TemporaryName() const { return m_name; }

    // Closes the temporary file, flushing it first under ReplaceFlush::Always.
    // False with errno set when the data may not all have been written.
    bool Close();
    // Renames the closed temporary file over target; from then on it is
    // kept. Under ReplaceFlush::Always the folder is flushed after (its
    // failure is ignored: the replacement is complete either way). False
    // with errno set when the rename fails.
    bool RenameOver(const QByteArray &target);

private:
    int At() const;

    ReplaceFlush m_flush;
    int m_folder;
    FileHandle m_file;
    QByteArray m_name; // empty once renamed
};

} // namespace FileUtil
