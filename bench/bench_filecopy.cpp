// Side-by-side timing of CopyFileTo against dd with 8 KiB blocks (the same
// system calls: the floor for an 8192-byte loop) and cp, on one large file,
// plus the peak memory of each at several file sizes. Each copy runs in a
// fresh process, so that every tool pays for its own start and its memory
// is its own.
//
//   bench_filecopy [--size MIB] [--rounds N] [--dir FOLDER]
//   bench_filecopy --make-files FOLDER COUNT BYTES   (test data, then exit)
#include "BenchFiles.h"
#include "fileutil/EStreamError.h"
#include "fileutil/FileUtil.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

QByteArray Self()
{
    return QFile::encodeName(QCoreApplication::applicationFilePath());
}

QByteArrayList Command(const QByteArray &tool, const QByteArray &source, const QByteArray &target)
{
    if (tool == "CopyFileTo")
        return {Self(), "--copy-one", source, target};
    if (tool == "dd")
        return {"dd", "if=" + source, "of=" + target, "bs=8k", "status=none"};
    return {"cp", source, target};
}

// Flushes what the last copy left dirty, outside the timing, so that one
// run's write-back does not slow the next.
void Settle(const QByteArray &target)
{
    ::unlink(target.constData());
    ::sync();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int CopyOne(const QByteArray &source, const QByteArray &target)
{
    try {
        FileUtil::CopyFileTo(source, target);
    } catch (const Exception &error) {
        std::fprintf(stderr, "%s\n", error.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QByteArrayList args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);

    if (args.size() == 3 && args[0] == "--copy-one")
        return CopyOne(args[1], args[2]);
    if (args.size() == 4 && args[0] == "--make-files") {
        const bool ok = BenchFiles::MakeFileSet(args[1], args[2].toInt(), args[3].toLongLong());
        return ok ? 0 : 1;
    }

    qint64 sizeMiB = 1024;
    int rounds = 5;
    QByteArray base = QFile::encodeName(QDir::tempPath());
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--size")
            sizeMiB = args[i + 1].toLongLong();
        else if (args[i] == "--rounds")
            rounds = args[i + 1].toInt();
        else if (args[i] == "--dir")
            base = args[i + 1];
    }
    QByteArray work = base + "/flitto-bench-XXXXXX";
    if (!::mkdtemp(work.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    work += '/';
    const QByteArray source = work + "source.dat";
    const QByteArray target = work + "target.dat";
    std::printf("work folder %s, file of %lld MiB, %d rounds\n", work.constData(),
                static_cast<long long>(sizeMiB), rounds);
    if (!BenchFiles::MakeFile(source, sizeMiB << 20)) {
        std::perror("making the source file");
        BenchFiles::RemoveTree(work);
        return 1;
    }
    ::sync();

    const QByteArrayList tools = {"CopyFileTo", "dd", "cp"};
    std::vector<std::vector<double>> times(size_t(tools.size()));
    std::vector<long> peaks(size_t(tools.size()), 0);
    // Warm the source into the page cache once, so that every tool reads it
    // from memory and the comparison measures the copy loop and the writes.
    BenchFiles::RunProcess(Command("cp", source, target));
    Settle(target);
    for (int round = 0; round < rounds; ++round) {
        for (qsizetype k = 0; k < tools.size(); ++k) {
            // Rotate the order, so that no tool always runs after the same one.
            const qsizetype t = (k + round) % tools.size();
            const BenchFiles::ProcessRun run =
                BenchFiles::RunProcess(Command(tools[t], source, target));
            if (!run.ok || FileUtil::QueryFileSize(target) != (sizeMiB << 20)) {
                std::fprintf(stderr, "%s failed\n", tools[t].constData());
                BenchFiles::RemoveTree(work);
                return 1;
            }
            times[size_t(t)].push_back(run.seconds);
            peaks[size_t(t)] = std::max(peaks[size_t(t)], run.peakKiB);
            Settle(target);
        }
    }

    std::printf("\n%-12s %10s %10s %10s %12s\n", "tool", "median s", "best s", "MiB/s", "peak KiB");
    for (qsizetype t = 0; t < tools.size(); ++t) {
        const double median = Median(times[size_t(t)]);
        const double best = *std::min_element(times[size_t(t)].begin(), times[size_t(t)].end());
        std::printf("%-12s %10.3f %10.3f %10.0f %12ld\n", tools[t].constData(), median, best,
                    double(sizeMiB) / median, peaks[size_t(t)]);
    }
    const double copy = Median(times[0]);
    std::printf("\nCopyFileTo / dd bs=8k: %.3f (goal: at most 1.1)\n", copy / Median(times[1]));
    std::printf("CopyFileTo / cp:       %.3f\n", copy / Median(times[2]));

    // Peak memory against file size: it must not grow with the file.
    std::printf("\npeak resident memory (KiB) by file size:\n%-12s", "size");
    for (const QByteArray &tool : tools)
        std::printf(" %12s", tool.constData());
    std::printf("\n");
    for (const qint64 mib : {qint64(1), qint64(64), sizeMiB}) {
        const QByteArray file = mib == sizeMiB ? source : work + "small.dat";
        if (mib != sizeMiB && !BenchFiles::MakeFile(file, mib << 20, 7))
            break;
        std::printf("%8lld MiB", static_cast<long long>(mib));
        for (const QByteArray &tool : tools) {
            const BenchFiles::ProcessRun run = BenchFiles::RunProcess(Command(tool, file, target));
            std::printf(" %12ld", run.ok ? run.peakKiB : -1L);
            Settle(target);
        }
        std::printf("\n");
    }
    BenchFiles::RemoveTree(work);
    return 0;
}
