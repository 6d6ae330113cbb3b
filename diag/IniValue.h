#pragma once

#include <QByteArray>

#include <optional>

// Reads one value of an INI text the way the program's settings reader
// does: section and key matched without regard to ASCII case, blanks around
// them and around the value not part of them, one pair of matching quotes
// around the value removed, the first match winning. Nothing when the
// section or the key is missing.
std::optional<QByteArray> IniValue(const QByteArray &contents, const QByteArray &section,
                                   const QByteArray &key);

// The same for a file; nothing also when the file cannot be read.
std::optional<QByteArray> ReadIniValue(const QByteArray &fileName, const QByteArray &section,
                                       const QByteArray &key);
