// Times a whole move on the Move page (offscreen, window work included)
// against cp on the same files: 10,000 files of 4 KiB by default.
//
//   bench_move [file count] [file size]

#include "FileUtil.h"
#include "TfrmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "TRzButtonEdit.h"

#include <cstdio>
#include <sys/resource.h>

namespace {

long PeakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void DropCaches(const QByteArray &folder)
{
    // Not a cache drop (that needs privileges); a flush keeps one run's
    // dirty pages from being written during the next run's timing.
    FileUtil::FlushFolder(folder);
}

double TimeCp(const QString &from, const QString &to)
{
    QElapsedTimer timer;
    timer.start();
    QProcess cp;
    cp.start(QStringLiteral("sh"),
             {QStringLiteral("-c"),
              QStringLiteral("mkdir -p \"$2\" && cp -p \"$1\"/* \"$2\"/ && sync -f \"$2\""),
              QStringLiteral("sh"), from, to});
    cp.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int size = argc > 2 ? std::atoi(argv[2]) : 4096;

    QTemporaryDir root(QDir::currentPath() + QStringLiteral("/bench-move-XXXXXX"));
    const QString base = root.path();
    QDir(base).mkpath(QStringLiteral("Quillbox"));
    QDir(base).mkpath(QStringLiteral("Data"));
    {
        QFile ini(base + QStringLiteral("/Quillbox/Quillbox.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Settings]\nConnectionMode=0\nDataDirectory=" + QFile::encodeName(base) +
                  "/Data\n");
    }
    const QByteArray block(size, 'x');
    for (int index = 0; index < count; ++index) {
        QFile file(base + QStringLiteral("/Data/file%1.dat").arg(index, 5, 10, QLatin1Char('0')));
        file.open(QIODevice::WriteOnly);
        file.write(block);
    }
    QFile(base + QStringLiteral("/Data/file00000.dat"))
        .rename(base + QStringLiteral("/Data/Messages.dat"));
    const long baseline = PeakKiB();

    DropCaches(QFile::encodeName(base));
    const double cpSeconds = TimeCp(base + QStringLiteral("/Data"), base + QStringLiteral("/ByCp"));
    DropCaches(QFile::encodeName(base));

    TfrmMain window(QFile::encodeName(base) + "/Quillbox/");
    window.show();
    QApplication::processEvents();
    window.FormActivate();
    window.ShowConnectionPage();
    window.ShowLocalSourcePage();
    window.ShowTargetPage();
    window.edtNewDir->setText(base + QStringLiteral("/ByFlitto"));
    window.ShowReadyPage();
    QElapsedTimer timer;
    timer.start();
    window.ShowMovePage();
    const double flittoSeconds = timer.nsecsElapsed() / 1e9;

    std::printf("files: %d of %d bytes\n", count, size);
    std::printf("cp -p + sync:      %8.3f s\n", cpSeconds);
    std::printf("wizard move:       %8.3f s  (ratio %.2f, goal <= 1.5)\n", flittoSeconds,
                flittoSeconds / cpSeconds);
    std::printf("peak memory:       %8ld KiB (before the move: %ld KiB)\n", PeakKiB(), baseline);
    return window.btnNext->isEnabled() ? 0 : 1;
}
