// Side-by-side timing of the checked copy and its proof against their
// floors, on a disk:
//   copy:  CopyFileChecked for every file + one FlushFolder,
//          against cp -p of the same files + sync -f;
//   proof: ProveCopy for every copy, against reading the copies back cold
//          file by file the same way (cached pages dropped), no checksum;
//   a 5 GiB sparse file holding 4 KiB of data: copy, flush and proof;
//   the peak memory of a copy and its proof at several file sizes.
// Every measured run is a fresh process, so its memory is its own; the
// sources are read once beforehand, so that every tool reads them from the
// page cache, and everything written is flushed before the next run.
//
//   bench_checkedcopy [--dir FOLDER] [--files N] [--big MIB] [--rounds N]
#include "BenchFiles.h"
#include "fileutil/CheckedCopy.h"
#include "fileutil/Exception.h"
#include "fileutil/FileUtil.h"

#include <QByteArrayList>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Run
{
    std::vector<double> seconds; // per stage the run timed: wall, then processor time
    long peakKiB = 0;
    bool ok = false;
};

// Runs body in a forked child, which hands back the seconds of the stages it
// timed; the child's peak resident memory comes with them.
Run RunInChild(const std::function<bool(std::vector<double> &)> &body)
{
    int channel[2];
    Run run;
    if (::pipe(channel) != 0)
        return run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(channel[0]);
        std::vector<double> seconds;
        bool ok = false;
        try {
            ok = body(seconds);
        } catch (const Exception &error) {
            std::fprintf(stderr, "%s\n", error.what());
        }
        const size_t bytes = seconds.size() * sizeof(double);
        const bool sent = ::write(channel[1], seconds.data(), bytes) == ssize_t(bytes);
        ::_exit(ok && sent ? 0 : 1);
    }
    ::close(channel[1]);
    double value;
    while (::read(channel[0], &value, sizeof value) == sizeof value)
        run.seconds.push_back(value);
    ::close(channel[0]);
    int status = 0;
    rusage usage = {};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        run.peakKiB = usage.ru_maxrss;
        run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return run;
}

// This process's processor time so far.
double OwnCpuSeconds()
{
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return BenchFiles::CpuSeconds(usage);
}

// Wall and processor seconds of one stage.
struct Cost
{
    double wall = -1;
    double cpu = 0;
};

// Measures one stage inside a process.
class StageClock
{
public:
    StageClock() { Start(); }
    void Start()
    {
        m_timer.start();
        m_cpu = OwnCpuSeconds();
    }
    void Stop(std::vector<double> &seconds) const
    {
        seconds.push_back(double(m_timer.nsecsElapsed()) / 1e9);
        seconds.push_back(OwnCpuSeconds() - m_cpu);
    }

private:
    QElapsedTimer m_timer;
    double m_cpu = 0;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

QByteArrayList Names(int count)
{
    QByteArrayList names;
    for (int i = 0; i < count; ++i)
        names << "file" + QByteArray::number(i).rightJustified(5, '0') + ".dat";
    return names;
}

// Reads every file once, so that all sources come from the page cache.
void Warm(const QByteArray &folder, const QByteArrayList &names)
{
    const auto buffer = std::make_unique<char[]>(FileUtil::CheckedCopyBufferSize);
    for (const QByteArray &name : names) {
        const QByteArray path = folder + name;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        while (fd >= 0 && ::read(fd, buffer.get(), FileUtil::CheckedCopyBufferSize) > 0) {
        }
        if (fd >= 0)
            ::close(fd);
    }
}

// Removes the copies and flushes, outside any timing.
void Settle(const QByteArray &target)
{
    BenchFiles::RemoveTree(target);
    ::sync();
}

// The proof's floor: each copy read back cold, the way the proof reads it.
bool ReadBackCold(const QByteArray &folder, const QByteArrayList &names)
{
    const auto buffer = std::make_unique_for_overwrite<char[]>(FileUtil::CheckedCopyBufferSize);
    for (const QByteArray &name : names) {
        const QByteArray path = folder + name;
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOATIME);
        if (fd < 0)
            return false;
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ssize_t got;
        while ((got = ::read(fd, buffer.get(), FileUtil::CheckedCopyBufferSize)) > 0) {
        }
        ::close(fd);
        if (got < 0)
            return false;
    }
    return true;
}

// Copy + flush, then the proof and its floor (in turns, by round): three
// stages, each as wall and processor seconds.
Run CheckedRun(const QByteArray &source, const QByteArray &target, const QByteArrayList &names,
               bool floorFirst)
{
    return RunInChild([&](std::vector<double> &seconds) {
        StageClock clock;
        FileUtil::CreateFolderPath(target);
        std::vector<FileUtil::CheckedCopyRecord> records;
        records.reserve(size_t(names.size()));
        for (const QByteArray &name : names)
            records.push_back(FileUtil::CopyFileChecked(source + name, target));
        if (!FileUtil::FlushFolder(target))
            return false;
        clock.Stop(seconds);

        const auto prove = [&] {
            clock.Start();
            for (const FileUtil::CheckedCopyRecord &record : records) {
                if (FileUtil::ProveCopy(record) != FileUtil::ProofResult::Same)
                    return false;
            }
            clock.Stop(seconds);
            return true;
        };
        const auto floor = [&] {
            clock.Start();
            const bool ok = ReadBackCold(target, names);
            clock.Stop(seconds);
            return ok;
        };
        if (floorFirst) {
            if (!floor() || !prove())
                return false;
            std::swap(seconds[2], seconds[4]);
            std::swap(seconds[3], seconds[5]);
            return true;
        }
        return prove() && floor();
    });
}

// cp -p of the files + sync -f, as one cost.
Cost CpRun(const QByteArray &source, const QByteArray &target, const QByteArrayList &names)
{
    FileUtil::CreateFolderPath(target);
    QByteArrayList command = {"cp", "-p", "--"};
    for (const QByteArray &name : names)
        command << source + name;
    command << target;
    const BenchFiles::ProcessRun copy = BenchFiles::RunProcess(command);
    const BenchFiles::ProcessRun flush = BenchFiles::RunProcess({"sync", "-f", target});
    if (!copy.ok || !flush.ok)
        return Cost();
    return {copy.seconds + flush.seconds, copy.cpuSeconds + flush.cpuSeconds};
}

struct Stage
{
    const char *name;
    double goal;
    std::vector<double> ours, floor, oursCpu, floorCpu;

    void Add(double oursWall, double oursCpuTime, double floorWall, double floorCpuTime)
    {
        ours.push_back(oursWall);
        oursCpu.push_back(oursCpuTime);
        floor.push_back(floorWall);
        floorCpu.push_back(floorCpuTime);
    }
};

void Print(const Stage &stage)
{
    const double ours = Median(stage.ours);
    const double floor = Median(stage.floor);
    const double oursCpu = Median(stage.oursCpu);
    const double floorCpu = Median(stage.floorCpu);
    std::printf("%-34s %8.3f %8.3f %6.2f %8.3f %8.3f %6.2f  (goal %.2f)\n", stage.name, ours, floor,
                floor > 0 ? ours / floor : 0.0, oursCpu, floorCpu,
                floorCpu > 0 ? oursCpu / floorCpu : 0.0, stage.goal);
}

// Copies, flushes and proves one file in a child; its time and peak memory.
Run OneFile(const QByteArray &folder, const QByteArray &name, const QByteArray &target)
{
    return RunInChild([&](std::vector<double> &seconds) {
        const StageClock clock;
        FileUtil::CreateFolderPath(target);
        const FileUtil::CheckedCopyRecord record = FileUtil::CopyFileChecked(folder + name, target);
        if (!FileUtil::FlushFolder(target))
            return false;
        const bool same = FileUtil::ProveCopy(record) == FileUtil::ProofResult::Same;
        clock.Stop(seconds);
        return same;
    });
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QByteArrayList args;
    for (int i = 1; i < argc; ++i)
        args << QByteArray(argv[i]);
    QByteArray base = "/var/tmp";
    int files = 10000;
    qint64 bigMiB = 1024;
    int rounds = 3;
    for (int i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--dir")
            base = args[i + 1];
        else if (args[i] == "--files")
            files = args[i + 1].toInt();
        else if (args[i] == "--big")
            bigMiB = args[i + 1].toLongLong();
        else if (args[i] == "--rounds")
            rounds = args[i + 1].toInt();
    }
    QByteArray work = base + "/flitto-bench-XXXXXX";
    if (!::mkdtemp(work.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    work += '/';
    const QByteArray small = work + "small/";
    const QByteArray big = work + "big/";
    const QByteArray target = work + "copy/";
    const QByteArrayList names = Names(files);
    const QByteArrayList bigName = {"big.dat"};
    std::printf("work folder %s: %d files of 4 KiB, one of %lld MiB, %d rounds\n", work.constData(),
                files, static_cast<long long>(bigMiB), rounds);
    FileUtil::CreateFolderPath(big);
    if (!BenchFiles::MakeFileSet(small, files, 4096) ||
        !BenchFiles::MakeFile(big + bigName[0], bigMiB << 20)) {
        std::perror("making the files");
        BenchFiles::RemoveTree(work);
        return 1;
    }
    ::sync();
    Warm(small, names);
    Warm(big, bigName);

    Stage smallCopy{"copy, 4 KiB files (vs cp -p+sync)", 1.5, {}, {}, {}, {}};
    Stage smallProof{"proof, 4 KiB files (vs read back)", 1.2, {}, {}, {}, {}};
    Stage bigCopy{"copy, big file (vs cp -p+sync)", 1.1, {}, {}, {}, {}};
    Stage bigProof{"proof, big file (vs read back)", 1.2, {}, {}, {}, {}};
    long peakBig = 0;
    for (int round = 0; round < rounds; ++round) {
        const bool floorFirst = round % 2 == 1;
        for (int set = 0; set < 2; ++set) {
            const QByteArray &source = set == 0 ? small : big;
            const QByteArrayList &list = set == 0 ? names : bigName;
            Stage &copy = set == 0 ? smallCopy : bigCopy;
            Stage &proof = set == 0 ? smallProof : bigProof;
            // Take turns at going first.
            Cost cp;
            if (floorFirst) {
                cp = CpRun(source, target, list);
                Settle(target);
            }
            const Run ours = CheckedRun(source, target, list, floorFirst);
            Settle(target);
            if (!floorFirst) {
                cp = CpRun(source, target, list);
                Settle(target);
            }
            if (!ours.ok || ours.seconds.size() != 6 || cp.wall < 0) {
                std::fprintf(stderr, "a run failed\n");
                BenchFiles::RemoveTree(work);
                return 1;
            }
            const std::vector<double> &t = ours.seconds;
            copy.Add(t[0], t[1], cp.wall, cp.cpu);
            proof.Add(t[2], t[3], t[4], t[5]);
            if (set == 1)
                peakBig = std::max(peakBig, ours.peakKiB);
            std::printf("round %d, %s: copy %.3f, cp -p+sync %.3f, proof %.3f, read back %.3f\n",
                        round + 1, set == 0 ? "small files" : "big file", t[0], cp.wall, t[2],
                        t[4]);
            std::fflush(stdout);
        }
    }
    // Wall time on a busy machine mostly measures the waits for a processor
    // and the disk; the processor time next to it is steadier.
    std::printf("\n%-34s %8s %8s %6s %8s %8s %6s\n", "stage (medians, seconds)", "wall", "floor",
                "ratio", "cpu", "floor", "ratio");
    for (const Stage *stage : {&smallCopy, &smallProof, &bigCopy, &bigProof})
        Print(*stage);

    // A large file that is nearly all hole.
    const QByteArray sparse = work + "sparse/";
    FileUtil::CreateFolderPath(sparse);
    {
        const QByteArray path = sparse + "sparse.dat";
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        const QByteArray data(4096, 'x');
        const bool made = fd >= 0 && ::ftruncate(fd, qint64(5) << 30) == 0 &&
                          ::pwrite(fd, data.constData(), 4096, qint64(3) << 30) == 4096;
        if (fd >= 0)
            ::close(fd);
        if (!made) {
            std::fprintf(stderr, "cannot make the sparse file\n");
            BenchFiles::RemoveTree(work);
            return 1;
        }
    }
    std::vector<double> sparseTimes, sparseCpu;
    long peakSparse = 0;
    for (int round = 0; round < rounds; ++round) {
        const Run run = OneFile(sparse, "sparse.dat", target);
        Settle(target);
        if (!run.ok) {
            std::fprintf(stderr, "the sparse copy failed\n");
            BenchFiles::RemoveTree(work);
            return 1;
        }
        sparseTimes.push_back(run.seconds[0]);
        sparseCpu.push_back(run.seconds[1]);
        peakSparse = std::max(peakSparse, run.peakKiB);
    }
    std::printf("\n5 GiB sparse file, 4 KiB of data: copy+flush+proof %.3f s wall, %.3f s cpu"
                " (goal: under 1)\n",
                Median(sparseTimes), Median(sparseCpu));

    // Peak memory against file size: it must not grow with the file.
    std::printf("\npeak resident memory of a copy and its proof:\n");
    for (const qint64 mib : {qint64(1), qint64(64)}) {
        const QByteArray name = "m" + QByteArray::number(mib) + ".dat";
        if (!BenchFiles::MakeFile(work + name, mib << 20, 3))
            break;
        const Run run = OneFile(work, name, target);
        Settle(target);
        std::printf("%10lld MiB %10ld KiB\n", static_cast<long long>(mib),
                    run.ok ? run.peakKiB : -1L);
    }
    std::printf("%10lld MiB %10ld KiB\n", static_cast<long long>(bigMiB), peakBig);
    std::printf("%10lld MiB %10ld KiB (sparse)\n", 5120LL, peakSparse);
    BenchFiles::RemoveTree(work);
    return 0;
}
