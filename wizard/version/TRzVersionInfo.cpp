#include "wizard/version/TRzVersionInfo.h"

#include "wizard/version/ElfSection.h"
#include "wizard/version/VersionResource.h"

#include <limits.h>
#include <unistd.h>

namespace {

// The string table's keys, in the list's order.
constexpr const char *Keys[TRzVersionInfo::ValueCount] = {
    "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTrademarks", "OriginalFilename", "ProductName", "ProductVersion", "Comments",
};

// The running program's own file. /proc/self/exe itself is what gets read:
// it reaches the running image even when its file was replaced or deleted
// after the start; the name is what FilePath reports.
constexpr char OwnFile[] = "/proc/self/exe";

QByteArray OwnFileName()
{
    QByteArray buffer(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(OwnFile, buffer.data(), size_t(buffer.size()));
    if (length <= 0 || length >= buffer.size())
        return QByteArray(OwnFile);
    buffer.truncate(length);
    return buffer;
}

std::optional<VersionResource::Table> ReadTable(const QByteArray &path)
{
    const std::optional<QByteArray> section =
        ReadElfSection(path, VersionResource::SectionName, VersionResource::MaxSize);
    if (!section)
        return std::nullopt;
    return VersionResource::Table::Parse(*section);
}

QByteArray HexWord(std::uint16_t value)
{
    return QByteArray::number(value, 16).rightJustified(4, '0');
}

} // namespace

TRzVersionInfo::TRzVersionInfo(QObject *parent) : QObject(parent)
{
    ReadVersionInfo();
}

void TRzVersionInfo::SetFilePath(const QByteArray &path)
{
    if (path == m_filePath)
        return;
    m_filePath = path;
    ReadVersionInfo();
}

void TRzVersionInfo::ReadVersionInfo()
{
    QByteArray readPath = m_filePath;
    if (m_filePath.isEmpty()) {
        readPath = OwnFile;
        m_filePath = OwnFileName();
    }

    QStringList values;
    const std::optional<VersionResource::Table> table = ReadTable(readPath);
    if (!table) {
        for (int i = 0; i < ValueCount; ++i)
            values.append(NotAvailableText());
    } else {
        // Only the first translation names the string table. Without one
        // both hexadecimal groups are empty, the prefix matches no key, and
        // every string comes out empty.
        QByteArray prefix = "StringFileInfo\\";
        if (!table->Translations().isEmpty()) {
            const VersionResource::Translation first = table->Translations().first();
            prefix += HexWord(first.language) + HexWord(first.codePage);
        }
        prefix += '\\';
        for (int i = 0; i < ValueCount; ++i) {
            const QByteArray key = prefix + Keys[i];
            const std::optional<QByteArray> value = table->String(key);
            values.append(value ? QString::fromUtf8(*value) : QString());
        }
    }
    m_values = values;
}
