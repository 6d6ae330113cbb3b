#include "wizard/version/ElfSection.h"

#include "fileutil/FileHandle.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t ElfHeaderSize = 64;
constexpr std::uint64_t SectionHeaderSize = 64;
constexpr std::uint32_t SectionTypeNoBits = 8; // occupies no bytes in the file
constexpr std::uint16_t ExtendedIndex = 0xFFFF;
// Real files have a few dozen sections; a table or name table beyond this
// size is not worth reading into memory.
constexpr std::uint64_t MaxTableSize = 16 * 1024 * 1024;

class ElfFile
{
public:
    ElfFile(int fd, std::uint64_t size) : m_fd(fd), m_size(size) {}

    // size bytes at offset, or nullopt when they are not all in the file.
    std::optional<QByteArray> Read(std::uint64_t offset, std::uint64_t size) const
    {
        if (size > m_size || offset > m_size - size || size > std::uint64_t(MaxTableSize))
            return std::nullopt;
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        std::uint64_t done = 0;
        while (done < size) {
            const ssize_t got =
                ::pread(m_fd, bytes.data() + done, size - done, off_t(offset + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return std::nullopt; // the file shrank under us, or cannot be read
            done += std::uint64_t(got);
        }
        return bytes;
    }

    std::uint64_t Size() const { return m_size; }

private:
    int m_fd;
    std::uint64_t m_size;
};

// Integer fields of an ELF structure in the file's own byte order.
class Fields
{
public:
    Fields(const QByteArray &bytes, bool bigEndian) : m_bytes(bytes), m_bigEndian(bigEndian) {}

    std::uint64_t Get(qsizetype offset, int width) const
    {
        std::uint64_t value = 0;
        for (int i = 0; i < width; ++i) {
            const int index = m_bigEndian ? i : width - 1 - i;
            value = value << 8 | std::uint8_t(m_bytes[offset + index]);
        }
        return value;
    }
    std::uint16_t U16(qsizetype offset) const { return std::uint16_t(Get(offset, 2)); }
    std::uint32_t U32(qsizetype offset) const { return std::uint32_t(Get(offset, 4)); }
    std::uint64_t U64(qsizetype offset) const { return Get(offset, 8); }

private:
    const QByteArray &m_bytes;
    bool m_bigEndian;
};

struct Section
{
    std::uint32_t nameOffset;
    std::uint32_t type;
    std::uint64_t offset;
    std::uint64_t size;
    std::uint32_t link;
};

Section SectionAt(const QByteArray &table, std::uint64_t entrySize, std::uint64_t index,
                  bool bigEndian)
{
    const Fields fields(table, bigEndian);
    const auto base = qsizetype(index * entrySize);
    return {fields.U32(base + 0), fields.U32(base + 4), fields.U64(base + 24),
            fields.U64(base + 32), fields.U32(base + 40)};
}

} // namespace

std::optional<QByteArray> ReadElfSection(const QByteArray &path, QByteArrayView name,
                                         qint64 maxSize)
{
    if (path.isEmpty() || maxSize < 0)
        return std::nullopt;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const FileUtil::FileHandle fd(
        ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    struct stat st;
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0)
        return std::nullopt;
    const ElfFile file(fd.Get(), std::uint64_t(st.st_size));

    const std::optional<QByteArray> header = file.Read(0, ElfHeaderSize);
    if (!header || !header->startsWith("\x7f"
                                       "ELF"))
        return std::nullopt;
    const char elfClass = header->at(4), byteOrder = header->at(5), version = header->at(6);
    if (elfClass != 2 || (byteOrder != 1 && byteOrder != 2) || version != 1)
        return std::nullopt;
    const bool bigEndian = byteOrder == 2;
    const Fields fields(*header, bigEndian);
    const std::uint64_t tableOffset = fields.U64(0x28);
    const std::uint64_t entrySize = fields.U16(0x3A);
    std::uint64_t count = fields.U16(0x3C);
    std::uint64_t namesIndex = fields.U16(0x3E);
    if (tableOffset == 0 || entrySize < SectionHeaderSize)
        return std::nullopt;

    // More than 0xFF00 sections: the real count and name-table index are
    // kept in the first section header.
    if (count == 0 || namesIndex == ExtendedIndex) {
        const std::optional<QByteArray> first = file.Read(tableOffset, entrySize);
        if (!first)
            return std::nullopt;
        const Section zero = SectionAt(*first, entrySize, 0, bigEndian);
        if (count == 0)
            count = zero.size;
        if (namesIndex == ExtendedIndex)
            namesIndex = zero.link;
    }
    if (count == 0 || namesIndex >= count || count > MaxTableSize / entrySize)
        return std::nullopt;
    const std::optional<QByteArray> table = file.Read(tableOffset, count * entrySize);
    if (!table)
        return std::nullopt;

    const Section namesSection = SectionAt(*table, entrySize, namesIndex, bigEndian);
    if (namesSection.type == SectionTypeNoBits)
        return std::nullopt;
    const std::optional<QByteArray> names = file.Read(namesSection.offset, namesSection.size);
    if (!names)
        return std::nullopt;

    for (std::uint64_t i = 0; i < count; ++i) {
        const Section section = SectionAt(*table, entrySize, i, bigEndian);
        if (section.nameOffset >= std::uint64_t(names->size()))
            continue;
        const qsizetype end = names->indexOf('\0', qsizetype(section.nameOffset));
        if (end < 0) // a name without its terminator runs off the table
            continue;
        if (QByteArrayView(*names).sliced(section.nameOffset, end - section.nameOffset) != name)
            continue;
        if (section.type == SectionTypeNoBits || section.size > std::uint64_t(maxSize))
            return std::nullopt;
        return file.Read(section.offset, section.size);
    }
    return std::nullopt;
}
