#include "fileutil/CheckedCopy.h"

#include "fileutil/CopyIo.h"
#include "fileutil/EStreamError.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"

#include <xxhash.h>
// The library's run-time choice of the fastest vector unit (AVX2 where there
// is one) for the one-shot and streaming XXH3 calls: three times the speed
// of the plain SSE2 build on such a CPU, and the same results.
#if defined(__x86_64__) || defined(__i386__)
#include <xxh_x86dispatch.h>
#endif

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace FileUtil {

namespace {

constexpr qint64 BlockMask = ~qint64(ChecksumBlockSize - 1);

void HashNumber(XXH3_state_t *state, qint64 value)
{
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i)
        bytes[i] = static_cast<unsigned char>(quint64(value) >> (8 * i));
    XXH3_64bits_update(state, bytes, sizeof bytes);
}

bool AllZero(const char *block)
{
    // Word by word, stopping at the first 64 bytes that hold data: a block
    // of mail data shows that within its first bytes.
    for (size_t at = 0; at < ChecksumBlockSize; at += 64) {
        quint64 words[8];
        std::memcpy(words, block + at, sizeof words);
        if ((words[0] | words[1] | words[2] | words[3] | words[4] | words[5] | words[6] |
             words[7]) != 0)
            return false;
    }
    return true;
}

// Builds ContentChecksum from chunks handed over in increasing offsets; the
// gaps between them are zeros.
class ContentHasher
{
public:
    ContentHasher() : m_state(XXH3_createState(), &XXH3_freeState)
    {
        if (!m_state)
            throw std::bad_alloc();
        XXH3_64bits_reset(m_state.get());
    }

    void Add(qint64 offset, const char *data, size_t count)
    {
        while (count > 0) {
            const qint64 block = offset & BlockMask;
            const size_t within = size_t(offset - block);
            if (m_pending >= 0 && m_pending != block)
                FlushPending();
            size_t taken;
            if (m_pending < 0 && within == 0 && count >= ChecksumBlockSize) {
                HashBlock(block, data); // a whole block in place, without a copy
                taken = ChecksumBlockSize;
            } else {
                if (m_pending < 0) {
                    std::memset(m_block, 0, sizeof m_block);
                    m_pending = block;
                }
                taken = qMin(count, ChecksumBlockSize - within);
                std::memcpy(m_block + within, data, taken);
                if (within + taken == ChecksumBlockSize)
                    FlushPending();
            }
            offset += qint64(taken);
            data += taken;
            count -= taken;
        }
    }

    quint64 Finish(qint64 size)
    {
        FlushPending();
        HashNumber(m_state.get(), size);
        return XXH3_64bits_digest(m_state.get());
    }

private:
    void HashBlock(qint64 offset, const char *block)
    {
        if (AllZero(block))
            return;
        HashNumber(m_state.get(), offset);
        XXH3_64bits_update(m_state.get(), block, ChecksumBlockSize);
    }

    void FlushPending()
    {
        if (m_pending < 0)
            return;
        HashBlock(m_pending, m_block);
        m_pending = -1;
    }

    std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t *)> m_state;
    qint64 m_pending = -1; // offset of the block partly in m_block; -1 for none
    alignas(64) char m_block[ChecksumBlockSize];
};

// path is looked up in folder (AT_FDCWD: the current folder).
int OpenForReading(const QByteArray &path, int folder = AT_FDCWD, int extraFlags = 0)
{
    // O_NONBLOCK: never hang on a FIFO put in the file's place.
    const int flags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | extraFlags;
    int fd;
    do
        fd = ::openat(folder, path.constData(), flags | O_NOATIME);
    while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno == EPERM)
        do
            fd = ::openat(folder, path.constData(), flags);
        while (fd < 0 && errno == EINTR);
    return fd;
}

// The checksum of an open regular file of the given length, read skipping
// holes; *length gets the length it counted.
quint64 ChecksumOf(int fd, qint64 size, const std::atomic<bool> *stop, qint64 *length = nullptr)
{
    ContentHasher hasher;
    const auto buffer = std::make_unique_for_overwrite<char[]>(CheckedCopyBufferSize);
    const qint64 end = ReadFileData(
        fd, buffer.get(), CheckedCopyBufferSize, true, stop,
        [&](qint64 offset, const char *data, size_t count) { hasher.Add(offset, data, count); });
    if (length)
        *length = qMax(end, size);
    return hasher.Finish(qMax(end, size));
}

// A copy's checksum as the disk holds it. The copy was flushed, so its
// cached pages are clean and can be dropped: the reads then come from the
// disk.
quint64 ColdChecksum(int fd, qint64 size, const std::atomic<bool> *stop)
{
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return ChecksumOf(fd, size, stop);
}

// Through the open target folder when there is one, and never through a
// link: the copy is the file the copy wrote there.
FileHandle OpenCopy(const QByteArray &target, int targetFolder)
{
    return FileHandle(targetFolder >= 0
                          ? OpenForReading(NameOfPath(target), targetFolder, O_NOFOLLOW)
                          : OpenForReading(target));
}

bool SameTime(const struct stat &a, const struct stat &b)
{
    return a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

} // namespace

quint64 ContentChecksum(const QByteArray &path)
{
    const FileHandle file(OpenForReading(path));
    struct stat info;
    if (file.Get() < 0 || ::fstat(file.Get(), &info) != 0)
        throw EFOpenError(path, errno);
    if (!S_ISREG(info.st_mode))
        throw EFOpenError(path, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    return ChecksumOf(file.Get(), info.st_size, nullptr);
}

quint64 BytesChecksum(const QByteArray &bytes)
{
    return XXH3_64bits(bytes.constData(), size_t(bytes.size()));
}

CheckedCopyRecord CopyFileChecked(const QByteArray &source, const QByteArray &targetFolder,
                                  const CheckedCopyOptions &options)
{
    CheckedCopyRecord record;
    record.Source = source;
    record.Target = AppendFolderSeparator(targetFolder) + NameOfPath(source);

    ContentHasher hasher;
    CopyPlan plan;
    plan.BufferSize = CheckedCopyBufferSize;
    plan.SkipHoles = true;
    plan.KeepOwner = options.KeepOwner;
    // A copy that kept its source's read-only mode must still give way to
    // the next run's copy of the same file.
    plan.OverwriteReadOnly = options.KeepOwner;
    plan.Stop = options.Stop;
    plan.ReadAs = options.ReadAs;
    plan.SourceFolder = options.SourceFolder;
    plan.SourceName = NameOfPath(source);
    plan.TargetFolder = options.TargetFolder;
    plan.TargetName = NameOfPath(source);
    plan.Written = [&](qint64 offset, const char *data, size_t count) {
        hasher.Add(offset, data, count);
        if (options.Progress)
            options.Progress(offset + qint64(count));
    };
    const CopyResult copied = CopyRegularFile(source, record.Target, plan);

    const struct stat &opened = copied.Opened;
    record.Device = opened.st_dev;
    record.Inode = opened.st_ino;
    record.Size = opened.st_size;
    record.MTimeSeconds = opened.st_mtim.tv_sec;
    record.MTimeNanoseconds = opened.st_mtim.tv_nsec;
    record.BytesRead = copied.Size;
    record.Checksum = hasher.Finish(copied.Size);
    record.SourceChangedWhileCopying =
        copied.Finished.st_size != opened.st_size || !SameTime(copied.Finished, opened);
    return record;
}

EarlierCopy EarlierCopyOf(const CheckedCopyRecord &record, bool mayStandForSource)
{
    return {record.Device,           record.Inode,     record.Size,     record.MTimeSeconds,
            record.MTimeNanoseconds, record.BytesRead, record.Checksum, mayStandForSource};
}

std::optional<CheckedCopyRecord> ReuseCopy(const QByteArray &source, const QByteArray &targetFolder,
                                           const EarlierCopy &earlier,
                                           const CheckedCopyOptions &options)
{
    CheckedCopyRecord record;
    record.Source = source;
    record.Target = AppendFolderSeparator(targetFolder) + NameOfPath(source);
    record.CopyProven = true;
    struct stat opened;
    const FileHandle input =
        OpenSource(source, opened, options.ReadAs, options.SourceFolder, NameOfPath(source));
    record.Device = opened.st_dev;
    record.Inode = opened.st_ino;
    record.Size = opened.st_size;
    record.MTimeSeconds = opened.st_mtim.tv_sec;
    record.MTimeNanoseconds = opened.st_mtim.tv_nsec;

    const FileHandle copy = OpenCopy(record.Target, options.TargetFolder);
    struct stat made;
    if (!copy.IsValid() || ::fstat(copy.Get(), &made) != 0 || !S_ISREG(made.st_mode) ||
        !SameTime(made, opened))
        return std::nullopt;
    if (options.KeepOwner && (made.st_uid != opened.st_uid || made.st_gid != opened.st_gid ||
                              (made.st_mode & 07777) != (opened.st_mode & 01777)))
        return std::nullopt;
    // A source made private since its copy was made: the copy must not let
    // anyone else read what the source no longer lets them.
    if ((made.st_mode & 0077 & ~opened.st_mode) != 0)
        return std::nullopt;

    if (earlier.MayStandForSource && earlier.Device == opened.st_dev &&
        earlier.Inode == opened.st_ino && earlier.Size == qint64(opened.st_size) &&
        earlier.Length == qint64(opened.st_size) && earlier.MTimeSeconds == opened.st_mtim.tv_sec &&
        earlier.MTimeNanoseconds == opened.st_mtim.tv_nsec) {
        record.BytesRead = earlier.Length;
        record.Checksum = earlier.Checksum;
    } else {
        record.Checksum = ChecksumOf(input.Get(), opened.st_size, options.Stop, &record.BytesRead);
        struct stat after;
        if (::fstat(input.Get(), &after) != 0)
            throw EReadError(errno);
        // Changing while it was read: the copy made now finds out what to
        // do with that.
        if (after.st_size != opened.st_size || !SameTime(after, opened))
            return std::nullopt;
    }
    if (qint64(made.st_size) != record.BytesRead)
        return std::nullopt;
    try {
        if (ColdChecksum(copy.Get(), made.st_size, options.Stop) != record.Checksum)
            return std::nullopt;
    } catch (const EReadError &) {
        // A copy that cannot be read back is made again: the new copy's own
        // proof then says what the disk does.
        return std::nullopt;
    }
    return record;
}

ProofResult ProveCopy(const CheckedCopyRecord &record, const std::atomic<bool> *stop,
                      int targetFolder, int sourceFolder)
{
    {
        const FileHandle copy = OpenCopy(record.Target, targetFolder);
        struct stat info;
        if (copy.Get() < 0 || ::fstat(copy.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
            qint64(info.st_size) != record.BytesRead)
            return ProofResult::CopyDiffers;
        if (!record.CopyProven && ColdChecksum(copy.Get(), info.st_size, stop) != record.Checksum)
            return ProofResult::CopyDiffers;
    }

    struct stat now;
    const bool inFolder = sourceFolder >= 0;
    const QByteArray source = inFolder ? NameOfPath(record.Source) : record.Source;
    if (record.SourceChangedWhileCopying ||
        ::fstatat(inFolder ? sourceFolder : AT_FDCWD, source.constData(), &now, 0) != 0 ||
        now.st_dev != record.Device || now.st_ino != record.Inode ||
        qint64(now.st_size) != record.Size || qint64(now.st_mtim.tv_sec) != record.MTimeSeconds ||
        long(now.st_mtim.tv_nsec) != record.MTimeNanoseconds)
        return ProofResult::SourceChanged;
    return ProofResult::Same;
}

} // namespace FileUtil
