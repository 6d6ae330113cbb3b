#pragma once

#include "Exception.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <sys/types.h>

// The copy of one database file as a move makes it: the data goes through a
// checksum on its way, holes stay holes, a stop request ends it within the
// current chunk, and afterwards the copy can be proven against its source.
namespace FileUtil {

// Raised when a copy stops because it was asked to; the half-written copy
// is removed first. Silent, like every abort.
class ECopyStopped : public EAbort
{
};

struct CheckedCopyOptions
{
    // Checked between chunks; once true the copy stops with ECopyStopped.
    const std::atomic<bool> *Stop = nullptr;
    // Told the bytes of this file done so far, from the copying thread.
    std::function<void(qint64)> Progress;
    // Run as root: the copy gets the source's owner, group and mode (set on
    // the open file). Otherwise the mode plus read and write for the owner.
    bool KeepOwner = false;
};

// What the source was when the copy opened it, and what was read from it.
struct CheckedCopyRecord
{
    QByteArray Source; // full path of the source file
    QByteArray Target; // full path of the finished copy
    dev_t Device = 0;
    ino_t Inode = 0;
    qint64 Size = 0;        // the source's size when opened
    qint64 MTimeSeconds = 0; // its last-write time when opened
    long MTimeNanoseconds = 0;
    qint64 BytesRead = 0;   // logical bytes read, holes counted
    quint64 Checksum = 0;   // ContentChecksum of what was read
};

// Copies source into the existing folder targetFolder under the source's
// name, like CopyFileTo (temporary name, rename over an existing file, the
// same errors), and records what it read.
CheckedCopyRecord CopyFileChecked(const QByteArray &source, const QByteArray &targetFolder,
                                  const CheckedCopyOptions &options = {});

enum class ProofResult
{
    Same,          // the copy holds what was read, and the source is as it was
    CopyDiffers,   // the copy's size or content differs from what was read
    SourceChanged, // the source's size or last-write time changed since it was opened
};

// Reads the copy back past the page cache where the system allows it and
// compares it with the record; looks at the source's size and time again.
// Call it after the copies were flushed.
ProofResult ProveCopy(const CheckedCopyRecord &record, const std::atomic<bool> *stop = nullptr);

} // namespace FileUtil
