#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Reads the bytes of the first section of that name from an ELF64 file
// (either byte order). Anything else, a file that cannot be opened, is not
// a regular file, is truncated or contradicts itself, or a section larger
// than maxSize gives nullopt. Every offset and size in the file is checked
// against the file's real size before it is used: the file may be anything
// the user points at.
std::optional<QByteArray> ReadElfSection(const QByteArray &path, QByteArrayView name,
                                         qint64 maxSize);
