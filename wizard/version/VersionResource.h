#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// The version information Flitto carries inside its own executable. Linux
// executables have no version resource, so the build stores this blob in an
// ELF section of its own. It mirrors the resource it stands for: fixed
// version numbers, translation entries (language, code page) and a string
// table whose keys are full query paths such as
// "StringFileInfo\0c0904e4\FileVersion".
//
// Layout, all integers little-endian:
//   0   4  magic "FLVI"
//   4   2  format version (1)
//   6   2  number of translation entries T
//   8   2  number of strings S
//   10  2  reserved, 0
//   12  4  length of the whole blob in bytes
//   16  20 fixed info: signature 0xFEEF04BD, file version high and low
//          words, product version high and low words (u32 each)
//   36  4T translation entries: language u16, code page u16
//   ..     S strings: key length u16, key bytes, value length u16, value
//          bytes (UTF-8, no terminator)
// The section may be longer than the blob (alignment); the blob may not be
// longer than the section.
namespace VersionResource {

inline constexpr char SectionName[] = ".flitto.version";
inline constexpr std::uint16_t FormatVersion = 1;
inline constexpr std::uint32_t FixedSignature = 0xFEEF04BD;
inline constexpr std::size_t HeaderSize = 36;
// Far above any real table; a section claiming more is not ours.
inline constexpr qint64 MaxSize = 64 * 1024;

struct FixedInfo
{
    std::uint32_t fileVersionMS = 0;
    std::uint32_t fileVersionLS = 0;
    std::uint32_t productVersionMS = 0;
    std::uint32_t productVersionLS = 0;
};

struct Translation
{
    std::uint16_t language = 0;
    std::uint16_t codePage = 0;
};

struct StringEntry
{
    const char *key;
    const char *value;
};

// What the build turns into a blob: usable at compile time, so that the
// program's own blob is a constant placed straight into its section.
struct Definition
{
    FixedInfo fixed;
    std::span<const Translation> translations;
    std::span<const StringEntry> strings;
};

constexpr std::size_t Length(const char *text)
{
    std::size_t n = 0;
    while (text[n] != '\0')
        ++n;
    return n;
}

constexpr std::size_t EncodedSize(const Definition &definition)
{
    std::size_t size = HeaderSize + 4 * definition.translations.size();
    for (const StringEntry &entry : definition.strings)
        size += 2 + Length(entry.key) + 2 + Length(entry.value);
    return size;
}

namespace Detail {
constexpr unsigned char *Put16(unsigned char *out, std::uint32_t value)
{
    out[0] = static_cast<unsigned char>(value & 0xFF);
    out[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
    return out + 2;
}
constexpr unsigned char *Put32(unsigned char *out, std::uint32_t value)
{
    return Put16(Put16(out, value & 0xFFFF), value >> 16);
}
constexpr unsigned char *PutText(unsigned char *out, const char *text)
{
    const std::size_t length = Length(text);
    out = Put16(out, static_cast<std::uint32_t>(length));
    for (std::size_t i = 0; i < length; ++i)
        *out++ = static_cast<unsigned char>(text[i]);
    return out;
}
} // namespace Detail

// Writes the blob into out, which holds exactly EncodedSize(definition)
// bytes. Counts and lengths must fit 16 bits (checked by Parse on reading).
constexpr void Encode(const Definition &definition, unsigned char *out)
{
    using namespace Detail;
    const auto size = static_cast<std::uint32_t>(EncodedSize(definition));
    const char magic[] = "FLVI";
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(magic[i]);
    unsigned char *p = Put16(out + 4, FormatVersion);
    p = Put16(p, static_cast<std::uint32_t>(definition.translations.size()));
    p = Put16(p, static_cast<std::uint32_t>(definition.strings.size()));
    p = Put16(p, 0);
    p = Put32(p, size);
    p = Put32(p, FixedSignature);
    p = Put32(p, definition.fixed.fileVersionMS);
    p = Put32(p, definition.fixed.fileVersionLS);
    p = Put32(p, definition.fixed.productVersionMS);
    p = Put32(p, definition.fixed.productVersionLS);
    for (const Translation &translation : definition.translations) {
        p = Put16(p, translation.language);
        p = Put16(p, translation.codePage);
    }
    for (const StringEntry &entry : definition.strings)
        p = PutText(PutText(p, entry.key), entry.value);
}

// The blob as a byte array, for code that builds one at run time.
QByteArray Encode(const Definition &definition);

// A parsed blob. Fixed() and Translations() answer the queries "\" and
// "\VarFileInfo\Translation"; String() answers a string path, matched as
// the platform's version query matches it: without regard to ASCII case,
// with or without the leading "\".
class Table
{
public:
    // nullopt unless the bytes hold one complete, consistent blob.
    static std::optional<Table> Parse(QByteArrayView bytes);

    const FixedInfo &Fixed() const { return m_fixed; }
    const QList<Translation> &Translations() const { return m_translations; }
    // The value stored under the path, cut at its first zero byte;
    // nullopt when the table has no such string.
    std::optional<QByteArray> String(QByteArrayView path) const;

private:
    struct Entry
    {
        QByteArray key; // lower case, no leading "\"
        QByteArray value;
    };
    FixedInfo m_fixed;
    QList<Translation> m_translations;
    QList<Entry> m_strings;
};

} // namespace VersionResource
