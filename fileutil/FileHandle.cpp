#include "fileutil/FileHandle.h"

#include "fileutil/CopyIo.h"

#include <QRandomGenerator>
#include <QStringBuilder>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace FileUtil {

FileHandle &FileHandle::operator=(FileHandle &&other) noexcept
{
    if (this != &other) {
        FileHandle old(m_fd);
        m_fd = other.Release();
    }
    return *this;
}

FileHandle::~FileHandle()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

int FileHandle::Release() noexcept
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileHandle::Close() noexcept
{
    const int fd = Release();
    return ::close(fd) == 0 || errno == EINTR; // on Linux the descriptor is gone either way
}

FolderListing ListFolder(const QByteArray &path)
{
    return FolderListing(::opendir(path.constData()));
}

FolderListing ListFolder(FileHandle folder)
{
    FolderListing listing(::fdopendir(folder.Get()));
    if (listing) {
        folder.Release(); // closed with the listing now
    } else {
        const int error = errno;
        folder = FileHandle();
        errno = error;
    }
    return listing;
}

bool WriteAll(int fd, const char *data, size_t count, WriteCall write)
{
    if (!write)
        write = &::write;
    while (count > 0) {
        const ssize_t written = write(fd, data, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0 || size_t(written) > count) {
            errno = ENOSPC;
            return false;
        }
        data += written;
        count -= size_t(written);
    }
    return true;
}

bool WriteAll(int fd, const QByteArray &data)
{
    return WriteAll(fd, data.constData(), size_t(data.size()));
}

ReplacementFile::~ReplacementFile()
{
    m_file = FileHandle();
    if (!m_name.isEmpty())
        ::unlinkat(At(), m_name.constData(), 0);
}

int ReplacementFile::At() const
{
    return m_folder >= 0 ? m_folder : AT_FDCWD;
}

bool ReplacementFile::Create(const QByteArray &prefix, const QByteArray &suffix, mode_t mode)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name =
            prefix + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + suffix;
        int fd;
        do
            fd = ::openat(At(), name.constData(), flags, mode);
        while (fd < 0 && errno == EINTR);
        if (fd >= 0) {
            m_file = FileHandle(fd);
            m_name = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    errno = EEXIST;
    return false;
}

bool ReplacementFile::Close()
{
    if (m_flush == ReplaceFlush::Always && CurrentCopyIo().Fsync(m_file.Get()) != 0) {
        const int error = errno;
        m_file = FileHandle();
        errno = error;
        return false;
    }
    return m_file.Close();
}

bool ReplacementFile::RenameOver(const QByteArray &target)
{
    if (::renameat(At(), m_name.constData(), At(), target.constData()) != 0)
        return false;
    m_name.clear();
    if (m_flush == ReplaceFlush::Always) {
        // Makes the rename itself durable. Some file systems refuse fsync on
        // a folder; the replacement is complete either way.
        // The folder part, as FolderOfPath gives it; the path helpers build
        // on this unit, not the other way round.
        const QByteArray folder = target.left(target.lastIndexOf('/') + 1);
        const FileHandle handle(::openat(At(), folder.isEmpty() ? "." : folder.constData(),
                                         O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (handle.IsValid())
            CurrentCopyIo().Fsync(handle.Get());
    }
    return true;
}

} // namespace FileUtil
