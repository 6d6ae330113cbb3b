#include "BenchFiles.h"

#include "fileutil/FileUtil.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <fcntl.h>
#include <ftw.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace BenchFiles {

bool MakeFile(const QByteArray &path, qint64 size, quint32 seed)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    QRandomGenerator random(seed);
    // Up to 1 MiB at a time, and no more than the file needs: a set of
    // 100,000 small files must not draw 100 GB of random numbers.
    const qint64 chunkBytes = qBound<qint64>(4, size, qint64(1) << 20);
    std::vector<quint32> chunk(size_t((chunkBytes + 3) / 4));
    bool ok = true;
    for (qint64 done = 0; ok && done < size;) {
        random.fillRange(chunk.data(), qsizetype(chunk.size()));
        const qint64 want = qMin<qint64>(size - done, qint64(chunk.size() * sizeof(quint32)));
        const char *data = reinterpret_cast<const char *>(chunk.data());
        for (qint64 written = 0; written < want;) {
            const ssize_t n = ::write(fd, data + written, size_t(want - written));
            if (n <= 0) {
                ok = false;
                break;
            }
            written += n;
        }
        done += want;
    }
    return ::close(fd) == 0 && ok;
}

bool MakeFileSet(const QByteArray &folder, int count, qint64 size)
{
    FileUtil::CreateFolderPath(folder);
    if (!FileUtil::IsExistingFolder(folder))
        return false;
    const QByteArray prefix = FileUtil::WithTrailingSeparator(folder);
    for (int i = 0; i < count; ++i) {
        const QByteArray name = QByteArray::number(i).rightJustified(5, '0');
        if (!MakeFile(prefix + "file" + name + ".dat", size, quint32(i + 1)))
            return false;
    }
    return true;
}

void RemoveTree(const QByteArray &folder)
{
    ::nftw(
        folder.constData(),
        [](const char *path, const struct stat *, int kind, struct FTW *) {
            if (kind == FTW_DP)
                ::rmdir(path);
            else
                ::unlink(path);
            return 0;
        },
        64, FTW_DEPTH | FTW_PHYS);
}

pid_t StartProcess(const QByteArrayList &command, const QByteArray &output)
{
    std::vector<char *> argv;
    for (const QByteArray &part : command)
        argv.push_back(const_cast<char *>(part.constData()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!output.isEmpty()) {
            const int fd =
                ::open(output.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0)
                ::_exit(127);
        }
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

ProcessRun RunProcess(const QByteArrayList &command, const QByteArray &output)
{
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = StartProcess(command, output);
    ProcessRun run;
    int status = 0;
    rusage usage = {};
    if (pid > 0 && ::wait4(pid, &status, 0, &usage) == pid) {
        run.seconds = double(timer.nsecsElapsed()) / 1e9;
        run.cpuSeconds = CpuSeconds(usage);
        run.peakKiB = usage.ru_maxrss;
        run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return run;
}

double CpuSeconds(const rusage &usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace BenchFiles
