// The whole proven move beside what an administrator would do by hand, on
// three data folders: 10,000 files of 4 KiB, 100,000 files of 100 bytes and
// one file of 1 GiB. For each, in interleaved rounds, each contender into a
// fresh folder:
//   floor A      cp -p of the files, then sync -f of the copies;
//   floor B      floor A, then the copies' cached pages dropped and the two
//                folders compared with diff -rq: a copy checked by hand;
//   window       the wizard's Next on the Ready page (checks, copy, flush
//                and proof) until Next is enabled again; offscreen unless
//                QT_QPA_PLATFORM says otherwise, so that
//                  QT_QPA_PLATFORM=xcb xvfb-run -a bench_move ...
//                measures a real window;
//   command line the built flitto --settings INI --move-to DIR --yes -q, with
//                its peak resident memory, and that of a move of a folder
//                holding one tiny Messages.dat, for the growth per file.
// Then, once more outside the timing, a window move that looks at every copy
// as the proof starts to read it: how many of its pages are still in the
// page cache (the proof must read the disk).
//
// The resume case asks what a move killed late costs when it is started
// again: 30 files of 100 MiB. Each round kills a command-line move with
// SIGKILL once its finished copies hold 90 % of the bytes, then, from that
// state and with the page cache of both folders dropped as a restart would:
//   rerun        the same command again, which takes the copies the journal
//                records after reading them back, and copies the rest;
//   floor        by hand in a folder holding the same finished copies (cp -p
//                and sync beforehand): read them all back, cp -p of the rest,
//                sync -f;
//   no resume    the same command with --no-resume, into a folder holding
//                the same finished copies and the killed run's journal.
// The rerun should copy only what the killed run had not finished, and take
// no longer than the floor.
//
//   bench_move [--cases 4k,100b,1g,resume] [--rounds N] [--scale N]
//              [--dir FOLDER] [--contenders floors,window,cli]
// --scale N divides the file counts and the large file's size by N, for a
// quick try; in the resume case it divides the size of its 30 files. The
// resume case runs only when named: at full size it writes some 12 GiB per
// round, which would make the default run several times longer. It has its
// own contenders and ignores --contenders.

#include "BenchFiles.h"
#include "fileutil/CopyIo.h"
#include "fileutil/FileUtil.h"
#include "wizard/window/TfrmMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>

#include "widgets/buttonedit/TRzButtonEdit.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Case
{
    QByteArray Name;
    int Files = 0;
    qint64 Size = 0;
};

// Median and spread of one contender's rounds.
struct Series
{
    std::vector<double> Values;

    double Median() const
    {
        std::vector<double> sorted = Values;
        std::sort(sorted.begin(), sorted.end());
        return sorted.empty() ? 0 : sorted[sorted.size() / 2];
    }
    double Min() const
    {
        return Values.empty() ? 0 : *std::min_element(Values.begin(), Values.end());
    }
    double Max() const
    {
        return Values.empty() ? 0 : *std::max_element(Values.begin(), Values.end());
    }
};

[[noreturn]] void Fail(const char *what)
{
    std::fprintf(stderr, "bench_move: %s\n", what);
    std::exit(1);
}

// A data folder and the installation whose settings name it.
struct Staged
{
    QByteArray Base; // holds Quillbox/ and Data/, and the targets
    QByteArray Data() const { return Base + "/Data"; }
    QByteArray Settings() const { return Base + "/Quillbox/Quillbox.ini"; }

    // The command line writes the new folder into the settings: every run
    // starts again from the staged data folder.
    void WriteSettings() const
    {
        QFile ini(QFile::decodeName(Settings()));
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            ini.write("[Settings]\nConnectionMode=0\nDataDirectory=" + Data() + "\n") < 0)
            Fail("cannot write the settings");
    }
};

// Pseudo-random files (never sparse, never zeros); the first one is the
// database's Messages.dat.
Staged Stage(const QByteArray &base, int files, qint64 size)
{
    Staged staged{base};
    FileUtil::CreateFolderPath(base + "/Quillbox");
    if (!BenchFiles::MakeFileSet(staged.Data(), files, size) ||
        ::rename(QByteArray(staged.Data() + "/file00000.dat").constData(),
                 QByteArray(staged.Data() + "/Messages.dat").constData()) != 0)
        Fail("cannot make the data folder");
    staged.WriteSettings();
    return staged;
}

// Copies of many files stay until the bench ends (see RunCase).
bool g_keepTargets = false;

// What earlier runs left dirty goes to the disk before the clock starts, so
// no run pays for another; the log of the moves starts empty.
void Settle(const QByteArray &target)
{
    if (!g_keepTargets)
        BenchFiles::RemoveTree(target);
    ::unlink(QByteArray(qgetenv("XDG_STATE_HOME") + "/flitto/move.log").constData());
    ::sync();
}

double Seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// Drops the cached pages of every file below folder; they were flushed, so
// the kernel can let them go. Done by the bench itself rather than with
// dd iflag=nocache: one open and one fadvise per file, no process each.
void DropCache(const QByteArray &folder)
{
    ::nftw(
        folder.constData(),
        [](const char *path, const struct stat *, int kind, struct FTW *) {
            if (kind != FTW_F)
                return 0;
            const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NOATIME);
            if (fd >= 0) {
                ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                ::close(fd);
            }
            return 0;
        },
        64, FTW_PHYS);
}

// Floors A and B from one run: B goes on where A ends.
struct FloorTimes
{
    double A = 0;
    double B = 0;
};

FloorTimes TimeFloors(const Staged &staged, const QByteArray &target)
{
    QElapsedTimer timer;
    timer.start();
    // cp -p of the files, as one process: cp -pR of the folder's contents
    // copies the same files with the same calls, and 100,000 names would
    // not fit on one command line.
    const BenchFiles::ProcessRun copy =
        BenchFiles::RunProcess({"cp", "-pR", "--", staged.Data() + "/.", target});
    const BenchFiles::ProcessRun flush = BenchFiles::RunProcess({"sync", "-f", target});
    FloorTimes times;
    times.A = Seconds(timer);
    DropCache(target);
    const BenchFiles::ProcessRun compare =
        BenchFiles::RunProcess({"diff", "-rq", "--", staged.Data(), target});
    times.B = Seconds(timer);
    if (!copy.ok || !flush.ok || !compare.ok)
        Fail("cp, sync or diff failed");
    return times;
}

struct WindowTimes
{
    double Checks = 0;
    double Whole = 0; // checks included
};

// Next on the Ready page: its checks, then the Move page until Next is
// enabled again.
WindowTimes TimeWindow(const Staged &staged, const QByteArray &target)
{
    TfrmMain window(staged.Base + "/Quillbox/");
    window.show();
    QApplication::processEvents();
    window.FormActivate();
    window.ShowConnectionPage();
    window.ShowLocalSourcePage();
    window.ShowTargetPage();
    window.edtNewDir->setText(QFile::decodeName(target));
    window.ShowReadyPage();
    WindowTimes times;
    QElapsedTimer timer;
    timer.start();
    if (!window.CheckMove())
        Fail("the window's checks refused the move");
    times.Checks = Seconds(timer);
    window.ShowMovePage();
    times.Whole = Seconds(timer);
    if (!window.btnNext->isEnabled())
        Fail("the window's move did not end proven");
    return times;
}

BenchFiles::ProcessRun RunCommandLine(const Staged &staged, const QByteArray &target)
{
    const BenchFiles::ProcessRun run = BenchFiles::RunProcess(
        {FLITTO_PROGRAM, "--settings", staged.Settings(), "--move-to", target, "--yes", "-q"});
    if (!run.ok)
        Fail("the command-line move failed");
    return run;
}

// Looks, through the reads the proof makes, at how much of each copy is in
// the page cache as its first read starts. Only copies in the target folder
// are looked at: the copy itself reads the sources through the same call.
namespace ColdCheck {

QByteArray g_targetPrefix;
ssize_t (*g_systemRead)(int, void *, size_t) = nullptr;
std::atomic<qint64> g_resident{0};
std::atomic<qint64> g_pages{0};
std::atomic<qint64> g_files{0};

void Measure(int fd)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char path[PATH_MAX];
    const ssize_t length = ::readlink(link, path, sizeof path);
    if (length <= 0 || !QByteArray(path, length).startsWith(g_targetPrefix))
        return;
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size == 0)
        return;
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    const size_t pages = (size_t(info.st_size) + page - 1) / page;
    void *map = ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return;
    std::vector<unsigned char> resident(pages);
    if (::mincore(map, size_t(info.st_size), resident.data()) == 0) {
        g_resident += std::count_if(resident.begin(), resident.end(),
                                    [](unsigned char bits) { return (bits & 1) != 0; });
        g_pages += qint64(pages);
        ++g_files;
    }
    ::munmap(map, size_t(info.st_size));
}

ssize_t Read(int fd, void *buffer, size_t count)
{
    if (::lseek(fd, 0, SEEK_CUR) == 0)
        Measure(fd);
    return g_systemRead(fd, buffer, count);
}

} // namespace ColdCheck

void RunColdCheck(const Staged &staged, const QByteArray &target)
{
    ColdCheck::g_targetPrefix = target + '/';
    ColdCheck::g_resident = 0;
    ColdCheck::g_pages = 0;
    ColdCheck::g_files = 0;
    FileUtil::CopyIo &io = FileUtil::CurrentCopyIo();
    ColdCheck::g_systemRead = io.Read;
    io.Read = &ColdCheck::Read;
    Settle(target);
    staged.WriteSettings();
    TimeWindow(staged, target);
    io.Read = ColdCheck::g_systemRead;
    Settle(target);
    std::printf("  cold check (window): pages resident at the start of the proof reads: %lld of "
                "%lld (%lld copies looked at)\n",
                static_cast<long long>(ColdCheck::g_resident.load()),
                static_cast<long long>(ColdCheck::g_pages.load()),
                static_cast<long long>(ColdCheck::g_files.load()));
    std::printf("  cold check (command line): not measured; only the window runs in this process, "
                "where the proof's reads can be watched\n");
}

void PrintRow(const char *name, const Series &series, const Series &floorA, const Series &floorB,
              const QByteArray &extra = {})
{
    std::printf("  %-34s %8.3f s  [%.3f-%.3f]", name, series.Median(), series.Min(), series.Max());
    if (&series != &floorA)
        std::printf("  x%.2f of A", series.Median() / floorA.Median());
    if (&series != &floorA && &series != &floorB)
        std::printf("  x%.2f of B", series.Median() / floorB.Median());
    std::printf("%s\n", extra.constData());
}

struct Options
{
    QByteArrayList Cases = {"4k", "100b", "1g"};
    QByteArrayList Contenders = {"floors", "window", "cli"};
    int Rounds = 5;
    int Scale = 1;
    QByteArray Dir = "/var/tmp";
};

Options Parse(int argc, char **argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray option = argv[i];
        const QByteArray value = argv[i + 1];
        if (option == "--cases")
            options.Cases = value.split(',');
        else if (option == "--contenders")
            options.Contenders = value.split(',');
        else if (option == "--rounds")
            options.Rounds = std::max(1, value.toInt());
        else if (option == "--scale")
            options.Scale = std::max(1, value.toInt());
        else if (option == "--dir")
            options.Dir = value;
        else
            Fail("usage: bench_move [--cases 4k,100b,1g,resume] [--rounds N] [--scale N] "
                 "[--dir FOLDER] [--contenders floors,window,cli]\n"
                 "  resume runs only when named, and ignores --contenders");
    }
    if (argc % 2 == 0)
        Fail("every option takes a value");
    return options;
}

// The peak resident memory of a command-line move of a data folder with
// nothing but a tiny Messages.dat: what a move costs before its files.
long EmptyMovePeakKiB(const QByteArray &work, int rounds)
{
    const Staged empty = Stage(work + "/empty", 1, 100);
    Series peaks;
    for (int round = 0; round < rounds; ++round) {
        const QByteArray target = empty.Base + "/ByCli" + QByteArray::number(round);
        empty.WriteSettings();
        Settle(target);
        peaks.Values.push_back(double(RunCommandLine(empty, target).peakKiB));
        Settle(target);
    }
    return long(peaks.Median());
}

void RunCase(const Case &which, const Options &options, const QByteArray &work, long emptyPeakKiB)
{
    const Staged staged = Stage(work + "/" + which.Name, which.Files, which.Size);
    const bool floors = options.Contenders.contains("floors");
    const bool window = options.Contenders.contains("window");
    const bool cli = options.Contenders.contains("cli");
    std::printf("\n%d file(s) of %lld bytes, %d rounds (median [min-max])\n", which.Files,
                static_cast<long long>(which.Size), options.Rounds);
    std::fflush(stdout);
    // On ext4 without a journal, a new inode skips every inode freed within
    // the last minute (five while its table block is dirty): a copy of
    // 100,000 files right after removing as many took ten times as long,
    // cp's included. So the copies of many small files are removed only when
    // the bench ends; they take a few GiB at most.
    g_keepTargets = which.Files > 1;
    Series floorA, floorB, windowWhole, windowChecks, cliWall, cliPeak;
    for (int round = 0; round < options.Rounds; ++round) {
        const QByteArray tag = QByteArray::number(round);
        // Each round starts with another contender.
        for (int turn = 0; turn < 3; ++turn) {
            const int contender = (turn + round) % 3;
            if (contender == 0 && floors) {
                const QByteArray target = staged.Base + "/ByCp" + tag;
                Settle(target);
                const FloorTimes times = TimeFloors(staged, target);
                floorA.Values.push_back(times.A);
                floorB.Values.push_back(times.B);
                Settle(target);
            } else if (contender == 1 && window) {
                const QByteArray target = staged.Base + "/ByWindow" + tag;
                staged.WriteSettings();
                Settle(target);
                const WindowTimes times = TimeWindow(staged, target);
                windowWhole.Values.push_back(times.Whole);
                windowChecks.Values.push_back(times.Checks);
                Settle(target);
            } else if (contender == 2 && cli) {
                const QByteArray target = staged.Base + "/ByCli" + tag;
                staged.WriteSettings();
                Settle(target);
                const BenchFiles::ProcessRun run = RunCommandLine(staged, target);
                cliWall.Values.push_back(run.seconds);
                cliPeak.Values.push_back(double(run.peakKiB));
                Settle(target);
            }
        }
        std::printf("  round %d:", round + 1);
        if (floors)
            std::printf(" A %.3f, B %.3f", floorA.Values.back(), floorB.Values.back());
        if (window)
            std::printf(", window %.3f", windowWhole.Values.back());
        if (cli)
            std::printf(", command line %.3f (%.0f KiB)", cliWall.Values.back(),
                        cliPeak.Values.back());
        std::printf("\n");
        std::fflush(stdout);
    }
    if (floors) {
        PrintRow("floor A: cp -p + sync -f", floorA, floorA, floorB);
        PrintRow("floor B: A + drop cache + diff -rq", floorB, floorA, floorB);
    }
    const Series none;
    const Series &a = floors ? floorA : none;
    const Series &b = floors ? floorB : none;
    if (window) {
        const QByteArray share =
            QByteArray("  (checks ") + QByteArray::number(windowChecks.Median(), 'f', 3) + " s)";
        const QByteArray name = "window (" + QGuiApplication::platformName().toUtf8() + ")";
        PrintRow(name.constData(), windowWhole, a, b, share);
    }
    if (cli) {
        PrintRow("command line", cliWall, a, b);
        const double growth = (cliPeak.Median() - double(emptyPeakKiB)) * 1024 / which.Files;
        std::printf("  command line peak memory: %.0f KiB [%.0f-%.0f], empty move %ld KiB, "
                    "growth %.0f bytes per file\n",
                    cliPeak.Median(), cliPeak.Min(), cliPeak.Max(), emptyPeakKiB, growth);
    }
    if (window)
        RunColdCheck(staged, staged.Base + "/ByWindowCold");
    else if (cli)
        std::printf("  cold check: only the window runs in this process, where the proof's "
                    "reads can be watched; add window to the contenders\n");
    std::fflush(stdout);
    if (!g_keepTargets)
        BenchFiles::RemoveTree(staged.Base);
    ::sync();
}

// The resume case.
namespace Resume {

constexpr int Files = 30;
constexpr qint64 FileSize = qint64(100) << 20;

// The regular files of a folder by name, and their bytes. In a move's new
// folder, the engine's own files (a copy being written, the journal, the
// lock) are named .flitto-*: what is left are copies it has finished, as it
// gives a copy its name only once its data are written.
struct Listing
{
    QByteArrayList Names;
    qint64 Bytes = 0;
};

Listing FinishedFiles(const QByteArray &folder)
{
    Listing listing;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return listing;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name = entry->d_name;
        struct stat info;
        if (name.startsWith(".flitto-") ||
            ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode))
            continue;
        listing.Names << name;
        listing.Bytes += info.st_size;
    }
    ::closedir(dir);
    std::sort(listing.Names.begin(), listing.Names.end());
    return listing;
}

QByteArray JournalOf(const QByteArray &folder)
{
    return folder + "/.flitto-journal";
}

QByteArray ReadJournal(const QByteArray &folder)
{
    QFile journal(QFile::decodeName(JournalOf(folder)));
    return journal.open(QIODevice::ReadOnly) ? journal.readAll() : QByteArray();
}

int FileLines(const QByteArray &journal)
{
    int lines = 0;
    for (const QByteArray &line : journal.split('\n'))
        if (line.startsWith("file "))
            ++lines;
    return lines;
}

// The state a killed run left, as the bench saw it after the kill.
struct Killed
{
    Listing Finished;
    // Kept aside: a rerun that ends proven removes it.
    QByteArray Journal;
    double Seconds = 0; // from the start to the kill
};

// The command-line move, killed with SIGKILL once its finished copies hold
// the given bytes. Looked at every millisecond, far less than one file's
// copy takes even at --scale 10, so the kill lands while the next copy is
// being written, as a kill at a random moment would.
Killed KillWhenDone(const Staged &staged, const QByteArray &target, qint64 bytes)
{
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = BenchFiles::StartProcess(
        {FLITTO_PROGRAM, "--settings", staged.Settings(), "--move-to", target, "--yes", "-q"});
    if (pid < 0)
        Fail("cannot start the command-line move");
    for (;;) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            Fail("the move to be killed ended first; try a smaller --scale");
        if (FinishedFiles(target).Bytes >= bytes)
            break;
        ::usleep(1000);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    Killed killed;
    killed.Seconds = Seconds(timer);
    killed.Finished = FinishedFiles(target);
    killed.Journal = ReadJournal(target);
    return killed;
}

void Copy(const QByteArray &from, const QByteArrayList &names, const QByteArray &to)
{
    if (names.isEmpty())
        return;
    QByteArrayList command = {"cp", "-p", "--"};
    for (const QByteArray &name : names)
        command << from + '/' + name;
    command << to + '/';
    if (!BenchFiles::RunProcess(command).ok)
        Fail("cp -p failed");
}

// A restart's page cache: nothing of either folder. The sources too, so
// that every contender reads what it reads from the disk alike.
void StartCold(const Staged &staged, const QByteArray &target)
{
    ::unlink(QByteArray(qgetenv("XDG_STATE_HOME") + "/flitto/move.log").constData());
    ::sync();
    DropCache(target);
    DropCache(staged.Data());
}

// Another folder in the killed run's state as far as its copies go: the
// same finished files, by cp -p, on the disk.
void MakeLikeKilled(const Staged &staged, const QByteArray &target, const Killed &killed)
{
    BenchFiles::RemoveTree(target);
    FileUtil::CreateFolderPath(target);
    Copy(staged.Data(), killed.Finished.Names, target);
}

// Reads every named file to its end, as cat would.
void ReadAll(const QByteArray &folder, const QByteArrayList &names)
{
    std::vector<char> buffer(size_t(1) << 20);
    for (const QByteArray &name : names) {
        const int fd = ::open(QByteArray(folder + '/' + name).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            Fail("cannot open a copy to read it back");
        ssize_t n = 0;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) {
        }
        ::close(fd);
        if (n < 0)
            Fail("cannot read a copy back");
    }
}

double TimeFloor(const Staged &staged, const QByteArray &target, const Killed &killed,
                 const QByteArrayList &sources)
{
    MakeLikeKilled(staged, target, killed);
    QByteArrayList rest;
    for (const QByteArray &name : sources)
        if (!killed.Finished.Names.contains(name))
            rest << name;
    StartCold(staged, target);
    QElapsedTimer timer;
    timer.start();
    ReadAll(target, killed.Finished.Names);
    Copy(staged.Data(), rest, target);
    if (!BenchFiles::RunProcess({"sync", "-f", target}).ok)
        Fail("sync -f failed");
    return Seconds(timer);
}

// The folder the settings name after a run, as written.
QByteArray NamedFolder(const Staged &staged)
{
    QFile ini(QFile::decodeName(staged.Settings()));
    if (!ini.open(QIODevice::ReadOnly))
        Fail("cannot read the settings");
    for (QByteArray line : ini.readAll().split('\n')) {
        line = line.trimmed();
        if (line.startsWith("DataDirectory=")) {
            QByteArray folder = line.mid(int(sizeof "DataDirectory=") - 1);
            while (folder.size() > 1 && folder.endsWith('/'))
                folder.chop(1);
            return folder;
        }
    }
    return {};
}

struct Rerun
{
    double Seconds = 0;
    int Resumed = 0;
};

// The command line run again into target, to the end: it must exit with 0
// and leave the settings naming target. --json rather than -q, for the
// count of the copies it took; the report is one object at the end, and
// costs the run nothing that matters.
Rerun TimeRerun(const Staged &staged, const QByteArray &target, const QByteArray &report,
                bool resume)
{
    staged.WriteSettings();
    StartCold(staged, target);
    QByteArrayList command = {FLITTO_PROGRAM, "--settings", staged.Settings(), "--move-to",
                              target,         "--yes",      "--json"};
    if (!resume)
        command << "--no-resume";
    const BenchFiles::ProcessRun run = BenchFiles::RunProcess(command, report);
    if (!run.ok)
        Fail(resume ? "the rerun failed" : "the --no-resume rerun failed");
    if (NamedFolder(staged) != target)
        Fail("the rerun did not write the new folder into the settings");
    QFile file(QFile::decodeName(report));
    if (!file.open(QIODevice::ReadOnly))
        Fail("cannot read the rerun's report");
    const QJsonObject object = QJsonDocument::fromJson(file.readAll()).object();
    if (!object.contains(QLatin1String("resumed")))
        Fail("the rerun's report says nothing of resumed copies");
    staged.WriteSettings();
    return {run.seconds, object.value(QLatin1String("resumed")).toInt()};
}

void PrintSeries(const char *name, const Series &series, const char *unit, int decimals)
{
    std::printf("  %-44s %8.*f%s  [%.*f-%.*f]\n", name, decimals, series.Median(), unit, decimals,
                series.Min(), decimals, series.Max());
}

void Run(const Options &options, const QByteArray &work)
{
    const qint64 size = std::max<qint64>(1, FileSize / options.Scale);
    const Staged staged = Stage(work + "/resume", Files, size);
    const QByteArrayList sources = FinishedFiles(staged.Data()).Names;
    const qint64 total = qint64(Files) * size;
    std::printf("\nresume: %d files of %lld bytes, killed at 90 %% of the bytes, %d rounds "
                "(median [min-max])\n",
                Files, static_cast<long long>(size), options.Rounds);
    std::fflush(stdout);
    g_keepTargets = false;
    Series recopied, lost, rerunTime, floorTime, ratio, noResumeTime, finishedAtKill;
    bool barCopies = true;
    for (int round = 0; round < options.Rounds; ++round) {
        const QByteArray tag = QByteArray::number(round);
        const QByteArray killedFolder = staged.Base + "/ByCli" + tag;
        const QByteArray floorFolder = staged.Base + "/ByCp" + tag;
        const QByteArray noResumeFolder = staged.Base + "/NoResume" + tag;
        staged.WriteSettings();
        Settle(killedFolder);
        const Killed killed = KillWhenDone(staged, killedFolder, total / 10 * 9);
        Rerun rerun, noResume;
        double floorSeconds = 0;
        // Each round starts with another contender; the killed folder is
        // left as it is until the rerun, and copied from the sources only.
        for (int turn = 0; turn < 3; ++turn) {
            const int contender = (turn + round) % 3;
            if (contender == 0) {
                rerun = TimeRerun(staged, killedFolder, work + "/report.json", true);
            } else if (contender == 1) {
                floorSeconds = TimeFloor(staged, floorFolder, killed, sources);
                BenchFiles::RemoveTree(floorFolder);
            } else {
                MakeLikeKilled(staged, noResumeFolder, killed);
                QFile journal(QFile::decodeName(JournalOf(noResumeFolder)));
                if (!journal.open(QIODevice::WriteOnly) || journal.write(killed.Journal) < 0 ||
                    !journal.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
                    Fail("cannot write the killed run's journal");
                journal.close();
                noResume = TimeRerun(staged, noResumeFolder, work + "/report.json", false);
                BenchFiles::RemoveTree(noResumeFolder);
            }
        }
        Settle(killedFolder);
        const int finished = int(killed.Finished.Names.size());
        // Copies the killed run had finished that the rerun made again.
        const int again = finished - rerun.Resumed;
        barCopies = barCopies && again <= 0;
        recopied.Values.push_back(Files - rerun.Resumed);
        lost.Values.push_back(again);
        rerunTime.Values.push_back(rerun.Seconds);
        floorTime.Values.push_back(floorSeconds);
        ratio.Values.push_back(rerun.Seconds / floorSeconds);
        noResumeTime.Values.push_back(noResume.Seconds);
        finishedAtKill.Values.push_back(finished);
        std::printf("  round %d: killed after %.3f s with %d copies finished, %d journal lines; "
                    "rerun took %d, copied %d, %.3f s; floor %.3f s (x%.2f); --no-resume "
                    "%.3f s\n",
                    round + 1, killed.Seconds, finished, FileLines(killed.Journal), rerun.Resumed,
                    Files - rerun.Resumed, rerun.Seconds, floorSeconds, ratio.Values.back(),
                    noResume.Seconds);
        std::fflush(stdout);
    }
    PrintSeries("copies finished at the kill", finishedAtKill, "", 0);
    PrintSeries("files copied by the rerun (30 - resumed)", recopied, "", 0);
    PrintSeries("  of them finished before the kill", lost, "", 0);
    PrintSeries("rerun", rerunTime, " s", 3);
    PrintSeries("floor: read back + cp -p of the rest + sync -f", floorTime, " s", 3);
    PrintSeries("rerun / floor", ratio, "", 2);
    PrintSeries("--no-resume rerun", noResumeTime, " s", 3);
    // The ratio of the rounds' medians beside the median of the rounds'
    // ratios: a disk this noisy can tip one without the other.
    const double medians = rerunTime.Median() / floorTime.Median();
    std::printf("  bar: copies only what the killed run had not finished: %s; no slower than "
                "the floor: %s (median ratio x%.2f, ratio of the medians x%.2f)\n",
                barCopies ? "yes" : "NO", ratio.Median() <= 1 ? "yes" : "NO", ratio.Median(),
                medians);
    std::fflush(stdout);
    BenchFiles::RemoveTree(staged.Base);
    ::sync();
}

} // namespace Resume

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const Options options = Parse(argc, argv);
    QByteArray work = options.Dir + "/bench-move-XXXXXX";
    if (!::mkdtemp(work.data()))
        Fail("cannot make the work folder");
    // The move logs of the runs stay with the staged files, out of the
    // user's own log; the command line inherits this.
    qputenv("XDG_STATE_HOME", work + "/state");
    QApplication app(argc, argv);

    const std::vector<Case> all = {
        {"4k", 10000, 4096},
        {"100b", 100000, 100},
        {"1g", 1, qint64(1) << 30},
    };
    std::printf("work folder %s, platform %s, scale 1/%d\n", work.constData(),
                qPrintable(QGuiApplication::platformName()), options.Scale);
    const bool moveCases = std::any_of(all.begin(), all.end(), [&](const Case &which) {
        return options.Cases.contains(which.Name);
    });
    const long emptyPeak = moveCases && options.Contenders.contains("cli")
                               ? EmptyMovePeakKiB(work, options.Rounds)
                               : 0;
    for (const Case &which : all) {
        if (!options.Cases.contains(which.Name))
            continue;
        Case scaled = which;
        if (which.Files > 1)
            scaled.Files = std::max(1, which.Files / options.Scale);
        else
            scaled.Size = std::max<qint64>(1, which.Size / options.Scale);
        RunCase(scaled, options, work, emptyPeak);
    }
    if (options.Cases.contains("resume"))
        Resume::Run(options, work);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("\npeak memory of this process (window runs): %ld KiB\n", usage.ru_maxrss);
    BenchFiles::RemoveTree(work);
    return 0;
}
