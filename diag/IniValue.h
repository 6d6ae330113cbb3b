#pragma once

#include <QByteArray>

#include <optional>

// Reads one value of an INI text with the program's settings reader
// (PrivateProfile), telling a missing section or key (nothing) from an
// empty value.
std::optional<QByteArray> IniValue(const QByteArray &contents, const QByteArray &section,
                                   const QByteArray &key);

// The same for a file; nothing also when the file cannot be read.
std::optional<QByteArray> ReadIniValue(const QByteArray &fileName, const QByteArray &section,
                                       const QByteArray &key);
