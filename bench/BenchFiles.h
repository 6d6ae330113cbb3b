#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QtGlobal>

#include <sys/types.h>

struct rusage;

// Test data for the benchmarks: files of pseudo-random bytes (never
// sparse, never all zeros, so no copy tool can take a shortcut); and the
// runs of the tools they are measured against.
namespace BenchFiles {

// Writes one file of the given size; false on failure.
bool MakeFile(const QByteArray &path, qint64 size, quint32 seed = 1);

// Creates folder (and parents) holding count files of size bytes each,
// named "file00000.dat" onwards. For a whole-folder comparison of the
// copy against cp; false on failure.
bool MakeFileSet(const QByteArray &folder, int count, qint64 size);

// Removes the named files and folders below folder, then folder itself.
void RemoveTree(const QByteArray &folder);

// What one run of a program cost; the times and the memory are set once it
// was waited for, ok only when it exited with 0.
struct ProcessRun
{
    double seconds = 0;    // wall time
    double cpuSeconds = 0; // the child's processor time, user and system
    long peakKiB = 0;      // the child's own peak resident memory
    bool ok = false;
};

// Starts the program with its arguments (found on the PATH) and waits.
// With output, the program's stdout goes to that file instead of the
// bench's, for what a run reports.
ProcessRun RunProcess(const QByteArrayList &command, const QByteArray &output = {});

// Starts the program as RunProcess does, without waiting: for a run that is
// to be killed. The process id, or -1.
pid_t StartProcess(const QByteArrayList &command, const QByteArray &output = {});

// Processor time (user and system) of a finished run.
double CpuSeconds(const rusage &usage);

} // namespace BenchFiles
