#pragma once

#include <QByteArray>
#include <QtGlobal>

// Test data for the benchmarks: files of pseudo-random bytes (never
// sparse, never all zeros, so no copy tool can take a shortcut).
namespace BenchFiles {

// Writes one file of the given size; false on failure.
bool MakeFile(const QByteArray &path, qint64 size, quint32 seed = 1);

// Creates folder (and parents) holding count files of size bytes each,
// named "file00000.dat" onwards. For a whole-folder comparison of the
// copy against cp; false on failure.
bool MakeFileSet(const QByteArray &folder, int count, qint64 size);

// Removes the named files and folders below folder, then folder itself.
void RemoveTree(const QByteArray &folder);

} // namespace BenchFiles
