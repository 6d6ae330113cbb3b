#pragma once

#include "fileutil/Exception.h"
#include "fileutil/FsIdentity.h"

#include <QByteArray>

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <sys/types.h>

// The copy of one database file as a move makes it: the data goes through a
// checksum on its way, holes stay holes, a stop request ends it within the
// current chunk, and afterwards the copy can be proven against its source.
// Meant for a worker thread: nothing here touches a widget or the event loop.
namespace FileUtil {

// The checked copy and its proof move the data in chunks of this many bytes.
inline constexpr size_t CheckedCopyBufferSize = size_t(64) << 10;
// The checksum's unit (see ContentChecksum).
inline constexpr size_t ChecksumBlockSize = 4096;

struct CheckedCopyOptions
{
    // Checked between chunks; once true the copy stops with ECopyStopped.
    const std::atomic<bool> *Stop = nullptr;
    // Told the bytes of this file done so far (a hole counts once passed),
    // after every chunk, from the copying thread.
    std::function<void(qint64)> Progress;
    // Run as root: the copy gets the source's owner, group and mode (set on
    // the open file), less the set-user and set-group bits. Otherwise the
    // mode plus read and write for the owner.
    bool KeepOwner = false;
    // Open the source as this user (root copying a user's files); null: as
    // we are.
    const FsIdentity *ReadAs = nullptr;
    // The source's folder, already open: the source is opened through it,
    // and the source's path only names it in messages. -1: the path is used.
    int SourceFolder = -1;
    // The target folder, already open: the copy is made through it, and
    // the folder's path only names it in messages. -1: the path is used,
    // and its missing folders are made.
    int TargetFolder = -1;
};

// What the source was when the copy opened it, and what was read from it.
struct CheckedCopyRecord
{
    QByteArray Source; // full path of the source file
    QByteArray Target; // full path of the finished copy
    dev_t Device = 0;
    ino_t Inode = 0;
    qint64 Size = 0;         // the source's size when opened
    qint64 MTimeSeconds = 0; // its last-write time when opened
    long MTimeNanoseconds = 0;
    qint64 BytesRead = 0; // logical bytes read, holes counted: the copy's length
    quint64 Checksum = 0; // ContentChecksum of what was read
    // The source's size or last-write time differed after the last read
    // from what it was when opened: the copy is finished all the same, and
    // its proof says SourceChanged.
    bool SourceChangedWhileCopying = false;
    // The copy was made by an earlier run and has already been read back
    // from the disk (ReuseCopy): its proof looks only at the source again.
    bool CopyProven = false;
};

// What an earlier run recorded of a copy it made.
struct EarlierCopy
{
    // The source as that run opened it.
    dev_t Device = 0;
    ino_t Inode = 0;
    qint64 Size = 0;
    qint64 MTimeSeconds = 0;
    long MTimeNanoseconds = 0;
    qint64 Length = 0;    // the bytes read, the copy's length
    quint64 Checksum = 0; // ContentChecksum of what was read
    // The checksum may stand for a fresh read of the source while the
    // source's device, inode, size and last-write time are unchanged.
    bool MayStandForSource = false;

    bool operator==(const EarlierCopy &) const = default;
};

// What a later run needs to know of a copy this record describes.
EarlierCopy EarlierCopyOf(const CheckedCopyRecord &record, bool mayStandForSource);

// The checksum of a file's contents, the same however its holes lie: XXH3
// (64 bits, no seed) over, for each 4096-byte block of the file (at offsets
// that are multiples of 4096) that is not all zero bytes, the block's offset
// as 8 bytes little-endian followed by its 4096 bytes (the last block of a
// file is filled up with zero bytes); then the file's length as 8 bytes
// little-endian. A hole and a written block of zeros count alike.
// Reads the file skipping holes; EFOpenError / EReadError when it cannot.
quint64 ContentChecksum(const QByteArray &path);

// XXH3 (64 bits, no seed) of the bytes: a record's own check.
quint64 BytesChecksum(const QByteArray &bytes);

// Copies source into the existing folder targetFolder under the source's
// name, like CopyFileTo (temporary name, rename over an existing file, the
// same errors; the last-write time is kept), and records what it read. Only
// the source's data segments are read and written: its holes stay holes.
// Reads go through CurrentCopyIo in chunks of CheckedCopyBufferSize. The
// copy is not flushed: flush the folder (FlushFolder) before ProveCopy.
CheckedCopyRecord CopyFileChecked(const QByteArray &source, const QByteArray &targetFolder,
                                  const CheckedCopyOptions &options = {});

// A copy an earlier run made of source into targetFolder, taken as this
// run's copy only when, read back past the page cache, it holds what the
// source holds now: its length and checksum are compared with a fresh read
// of the source, or with earlier's checksum where that may stand for one.
// The copy must also be a regular file (never a link) with the source's
// last-write time, give no one but its owner more than the source does, and
// run as root have the source's owner, group and mode. Call it once
// the target folder is flushed (FlushFolder, syncfs): pages not yet written
// cannot be dropped, and would be read from memory. Returns the record
// CopyFileChecked would have made, with CopyProven set; nothing when the
// copy must be made again (also when it cannot be read). Raises what
// CopyFileChecked raises when the source cannot be opened or read, and
// ECopyStopped. Reads go through CurrentCopyIo.
std::optional<CheckedCopyRecord> ReuseCopy(const QByteArray &source, const QByteArray &targetFolder,
                                           const EarlierCopy &earlier,
                                           const CheckedCopyOptions &options = {});

enum class ProofResult
{
    Same,          // the copy holds what was read, and the source is as it was
    CopyDiffers,   // the copy's size or content differs from what was read
    SourceChanged, // the source's size or last-write time changed since it was opened
};

// Reads the copy back past the page cache where the system allows it (its
// cached pages are dropped first, which works for pages already written to
// the disk) and compares its length and checksum with the record; then
// looks at the source's device, inode, size and last-write time again. Call
// it after the copies were flushed. A copy that is missing or no regular
// file is CopyDiffers, a missing source SourceChanged; when both differ,
// CopyDiffers. Raises EReadError when the copy cannot be read, ECopyStopped
// once *stop is true (looked at before every read). targetFolder and
// sourceFolder: the open folders the copy was made in and from (see
// CheckedCopyOptions), or -1. A record with CopyProven is not read again:
// only its length is looked at.
ProofResult ProveCopy(const CheckedCopyRecord &record, const std::atomic<bool> *stop = nullptr,
                      int targetFolder = -1, int sourceFolder = -1);

} // namespace FileUtil
