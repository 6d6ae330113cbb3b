// One file through the ELF section reader, for the corpus replay and a
// later libFuzzer build. The reader reads a path: the bytes go to a
// temporary file first. The file may be anything the user points at.

#include "Replay.h"
#include "wizard/version/ElfSection.h"

#include <QFile>
#include <QTemporaryFile>

int FuzzOne(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QTemporaryFile file;
    Require(file.open() && file.write(bytes) == bytes.size() && file.flush(),
            "the input can be written to a temporary file");
    const QByteArray path = QFile::encodeName(file.fileName());
    constexpr qint64 Limit = 4096;
    for (const char *name : {".flitto.version", ".shstrtab"}) {
        const std::optional<QByteArray> section = ReadElfSection(path, name, Limit);
        if (!section)
            continue;
        Require(section->size() <= Limit, "no section beyond the size limit");
        Require(bytes.contains(*section), "a section is bytes of the file, in their order");
        Require(ReadElfSection(path, name, section->size()) == section,
                "a section as large as the limit is read");
        if (!section->isEmpty())
            Require(!ReadElfSection(path, name, section->size() - 1),
                    "a section one byte over the limit is not");
    }
    return 0;
}
