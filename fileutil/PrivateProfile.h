#pragma once

#include <QByteArray>

#include <optional>

// Flitto's own reader and writer for INI files, with the observable
// behaviour of the desktop platform's private-profile functions that the
// product's settings file was written for. Everything is bytes: a file in
// any encoding, even with bytes that are not valid text, is read and
// rewritten byte for byte.
//
// The format as read:
// - A line ends at LF; a CR right before the LF belongs to the line end.
// - Blanks are space, tab and vertical tab.
// - A line whose first non-blank byte is "[" opens a section. Its name runs
//   to the first "]" (or to the line end when there is none), without the
//   blanks at either end. Section and key names are matched without regard
//   to the case of ASCII letters; other bytes must be equal.
// - A line whose first non-blank byte is ";" is a comment.
// - Any other line with "=" is a key: the name before the first "=", the
//   value after it, each without the blanks at either end. Matching single
//   or double quotes around the value are removed. A line without "=" holds
//   no key.
// - Only the first section of a name counts, and within it only the first
//   key of a name. Keys before the first section belong to no section.
// - A UTF-8 byte order mark at the start of the file is skipped.
namespace PrivateProfile {

// The value of key in section within contents, or def when there is none;
// def loses its trailing spaces. The result is cut to bufferSize - 1 bytes,
// as a buffer of bufferSize bytes with its terminating zero would hold.
// section and key are looked up without their leading and trailing spaces.
QByteArray FindValue(const QByteArray &contents, const QByteArray &section, const QByteArray &key,
                     const QByteArray &def, qsizetype bufferSize);

// contents with key in section set to value, every other byte kept:
// - an existing key (the first one of the first such section) keeps its
//   line, its spelling and the blanks after "="; only its value changes;
// - a missing key goes after the last key of the section (right after the
//   section line when the section has none);
// - a missing section goes at the end of the file, followed by the key.
// New lines end like the first line of the file that has an ending (LF
// when none has). No value is returned when the names or the value cannot
// be written so that they read back: a line break or NUL anywhere, "]" in
// the section name, "=" in the key, or a key that is empty or would turn
// into a comment or a section line.
std::optional<QByteArray> SetValue(const QByteArray &contents, const QByteArray &section,
                                   const QByteArray &key, const QByteArray &value);

// The value of key in section within contents, or nothing when the section
// or the key is missing: unlike FindValue, an empty value is told from a
// missing one, and nothing is cut.
std::optional<QByteArray> Lookup(const QByteArray &contents, const QByteArray &section,
                                 const QByteArray &key);
// The same for the file at fileName; nothing also when it cannot be read.
std::optional<QByteArray> ReadValue(const QByteArray &fileName, const QByteArray &section,
                                    const QByteArray &key);

// GetPrivateProfileStringA for one key of the file at fileName: a file that
// is missing or cannot be read counts as empty.
QByteArray GetString(const QByteArray &section, const QByteArray &key, const QByteArray &def,
                     qsizetype bufferSize, const QByteArray &fileName);

// WritePrivateProfileStringA for one key: reads the file, sets the key and
// replaces the file safely (SafeFile::Replace). False when the file cannot be
// read or written or the key cannot be set; the file keeps its old bytes.
bool WriteString(const QByteArray &section, const QByteArray &key, const QByteArray &value,
                 const QByteArray &fileName);

} // namespace PrivateProfile
