#pragma once

#include "fileutil/FsIdentity.h"

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <climits>
#include <cstddef>
#include <functional>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

// The copy's inner workings, shared by CopyFileWithOptions and
// CopyFileChecked so that both move their data with one loop.
namespace FileUtil {

// The read, write and flush calls the file copy and the replacement of a
// file make on their open files. Tests swap them to provoke what a real disk
// rarely does on demand (interrupted calls, short transfers, failed reads)
// and to see what is flushed when. Nothing else should change them.
struct CopyIo
{
    ssize_t (*Read)(int fd, void *buffer, size_t count);
    ssize_t (*Write)(int fd, const void *buffer, size_t count);
    int (*Fsync)(int fd) = &::fsync;
};

// The calls in use; initially the system's read(2), write(2) and fsync(2).
CopyIo &CurrentCopyIo();

// Takes one chunk read from a file: its logical offset and its bytes.
using ChunkSink = std::function<void(qint64 offset, const char *data, size_t count)>;

// Reads the open file from its start until the end of the file is reported,
// in requests of bufferSize bytes through CurrentCopyIo, handing each chunk
// to sink. With skipHoles only the data segments are read (SEEK_DATA /
// SEEK_HOLE; requests then end at a segment's end) and the holes between
// them are never handed over; where the file system cannot tell, the whole
// file is read. Raises ECopyStopped once *stop is true (looked at before
// every read), EReadError when a read fails. Returns the offset after the
// last byte read: the file's length for a plain read, the end of its last
// data segment with skipHoles.
qint64 ReadFileData(int fd, char *buffer, size_t bufferSize, bool skipHoles,
                    const std::atomic<bool> *stop, const ChunkSink &sink);

// Progress values are 32-bit: a file above 2 GiB is shown in coarser steps
// (the byte counts halved as often as it takes for the size to fit) instead
// of with a wrapped-around maximum.
class ProgressScale
{
public:
    explicit ProgressScale(qint64 size) : m_size(qMax<qint64>(size, 0))
    {
        while ((m_size >> m_shift) > INT_MAX)
            ++m_shift;
    }

    // The progress value for bytes done, kept within 0 and the size.
    int Of(qint64 bytes) const { return int(qBound<qint64>(0, bytes, m_size) >> m_shift); }

private:
    qint64 m_size;
    int m_shift = 0;
};

// How CopyRegularFile goes about one copy.
struct CopyPlan
{
    size_t BufferSize = 8192;
    // Copy the source's holes as holes (see ReadFileData).
    bool SkipHoles = false;
    bool OverwriteReadOnly = false;
    // Give the copy the source's owner, group and mode, never its set-user
    // or set-group bit (needs root).
    bool KeepOwner = false;
    const std::atomic<bool> *Stop = nullptr;
    // Open the source as this user (root copying a user's files); null: as
    // we are.
    const FsIdentity *ReadAs = nullptr;
    // The open folder the source is in, under SourceName: the source is not
    // looked up by its path again. -1: the source is a path.
    int SourceFolder = -1;
    QByteArray SourceName;
    // An open folder to copy into, under TargetName: every step on the copy
    // goes through it, and no path is looked up again. -1: the target is a
    // path, and missing folders on it are made.
    int TargetFolder = -1;
    QByteArray TargetName;
    // Called once the source is open, before the target is looked at.
    std::function<void(const struct stat &source)> Opened;
    // Called with every chunk once it is written.
    ChunkSink Written;
};

class FileHandle;

// Opens source, a regular file, for reading, as readAs when given (root
// reading a user's file); info gets what the open file is. Other kinds of
// entry are refused without being opened. With folder >= 0 the file is name
// in that open folder, and source only names it in messages. Raises
// EFOpenError.
FileHandle OpenSource(const QByteArray &source, struct stat &info, const FsIdentity *readAs,
                      int folder = -1, const QByteArray &name = QByteArray());

// What CopyRegularFile found.
struct CopyResult
{
    struct stat Opened = {};   // the source when opened
    struct stat Finished = {}; // the source after the last read
    qint64 Size = 0;           // the copy's length
};

// The copy of one regular file to the file name target (see
// CopyFileWithOptions for the temporary name, the refusals and the errors).
CopyResult CopyRegularFile(const QByteArray &source, const QByteArray &target,
                           const CopyPlan &plan);

} // namespace FileUtil
