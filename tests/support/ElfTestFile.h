#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

// Builds small ELF64 images for the tests of the version information
// reader: a 64-byte header, the sections' bytes, the section name table,
// and the section header table last (so that any shortened copy loses part
// of the table).
struct ElfTestSection
{
    QByteArray name;
    QByteArray data;
    std::uint32_t type = 1; // bytes in the file; 8 = none
};

struct ElfTestImage
{
    QByteArray bytes;
    bool bigEndian = false;
    std::uint64_t tableOffset = 0;   // of the section header table
    QList<std::uint64_t> dataOffset; // per given section, in order
    int namesIndex = 0;              // index of the name table's header

    // Offset of a field in the header of section `index` (0 is the null
    // section, the given sections follow from 1).
    std::uint64_t HeaderField(int index, int field) const
    {
        return tableOffset + std::uint64_t(index) * 64 + std::uint64_t(field);
    }
    void Put(std::uint64_t offset, std::uint64_t value, int width);
    std::uint64_t Get(std::uint64_t offset, int width) const;
};

ElfTestImage MakeElf(const QList<ElfTestSection> &sections, bool bigEndian = false);

// Field offsets within the ELF header and a section header.
namespace ElfField {
inline constexpr int ShOff = 0x28, ShEntSize = 0x3A, ShNum = 0x3C, ShStrNdx = 0x3E;
inline constexpr int Name = 0, Type = 4, Offset = 24, Size = 32, Link = 40;
} // namespace ElfField

// Writes bytes to a new file; returns false when it cannot.
bool WriteTestFile(const QByteArray &path, const QByteArray &bytes);
