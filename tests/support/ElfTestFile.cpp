#include "ElfTestFile.h"

#include <QFile>

void ElfTestImage::Put(std::uint64_t offset, std::uint64_t value, int width)
{
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (bigEndian ? width - 1 - i : i);
        bytes[qsizetype(offset) + i] = char((value >> shift) & 0xFF);
    }
}

std::uint64_t ElfTestImage::Get(std::uint64_t offset, int width) const
{
    std::uint64_t value = 0;
    for (int i = 0; i < width; ++i) {
        const int shift = 8 * (bigEndian ? width - 1 - i : i);
        value |= std::uint64_t(std::uint8_t(bytes[qsizetype(offset) + i])) << shift;
    }
    return value;
}

ElfTestImage MakeElf(const QList<ElfTestSection> &sections, bool bigEndian)
{
    ElfTestImage image;
    image.bigEndian = bigEndian;
    image.bytes = QByteArray(64, '\0');
    image.bytes[0] = '\x7f';
    image.bytes[1] = 'E';
    image.bytes[2] = 'L';
    image.bytes[3] = 'F';
    image.bytes[4] = 2; // 64-bit
    image.bytes[5] = bigEndian ? 2 : 1;
    image.bytes[6] = 1;

    QByteArray names("\0", 1);
    QList<std::uint32_t> nameOffsets;
    for (const ElfTestSection &section : sections) {
        image.dataOffset.append(std::uint64_t(image.bytes.size()));
        if (section.type != 8)
            image.bytes += section.data;
        nameOffsets.append(std::uint32_t(names.size()));
        names += section.name + '\0';
    }
    const std::uint32_t namesNameOffset = std::uint32_t(names.size());
    names += QByteArray(".shstrtab\0", 10);
    const auto namesOffset = std::uint64_t(image.bytes.size());
    image.bytes += names;

    image.tableOffset = std::uint64_t(image.bytes.size());
    const int count = int(sections.size()) + 2;
    image.namesIndex = count - 1;
    image.bytes += QByteArray(count * 64, '\0');
    image.Put(ElfField::ShOff, image.tableOffset, 8);
    image.Put(ElfField::ShEntSize, 64, 2);
    image.Put(ElfField::ShNum, std::uint64_t(count), 2);
    image.Put(ElfField::ShStrNdx, std::uint64_t(image.namesIndex), 2);

    auto putHeader = [&image](int index, std::uint32_t name, std::uint32_t type,
                              std::uint64_t offset, std::uint64_t size) {
        image.Put(image.HeaderField(index, ElfField::Name), name, 4);
        image.Put(image.HeaderField(index, ElfField::Type), type, 4);
        image.Put(image.HeaderField(index, ElfField::Offset), offset, 8);
        image.Put(image.HeaderField(index, ElfField::Size), size, 8);
    };
    for (int i = 0; i < sections.size(); ++i)
        putHeader(i + 1, nameOffsets[i], sections[i].type, image.dataOffset[i],
                  std::uint64_t(sections[i].data.size()));
    putHeader(image.namesIndex, namesNameOffset, 3, namesOffset, std::uint64_t(names.size()));
    return image;
}

bool WriteTestFile(const QByteArray &path, const QByteArray &bytes)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}
