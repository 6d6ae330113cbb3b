// Times a whole move on the Move page (window work, copy, flush and proof
// included) against cp on the same files, and the checks of the Ready page
// as a share of the whole: 10,000 files of 4 KiB by default. Offscreen
// unless QT_QPA_PLATFORM says otherwise, so that
//   QT_QPA_PLATFORM=xcb xvfb-run bench_move
// measures a real window.
//
//   bench_move [file count] [file size] [rounds]

#include "fileutil/FileUtil.h"
#include "wizard/window/TfrmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include "widgets/buttonedit/TRzButtonEdit.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

long PeakKiB()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Both sides end with their copies on the disk (cp with sync -f, the wizard
// with its own flush); what earlier runs left dirty is written before the
// clock starts, so no run pays for another.
double TimeCp(const QString &from, const QString &to)
{
    FileUtil::FlushFolder(QFile::encodeName(from));
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

double TimeCopyLoop(const QByteArray &from, const QByteArray &to, int count)
{
    FileUtil::FlushFolder(from);
    QElapsedTimer timer;
    timer.start();
    FileUtil::CreateFolderPath(to);
    for (int index = 0; index < count; ++index) {
        const QByteArray name =
            index == 0 ? QByteArray("Messages.dat")
                       : "file" + QByteArray::number(index).rightJustified(5, '0') + ".dat";
        FileUtil::CopyFileTo(from + '/' + name, to, nullptr);
    }
    FileUtil::FlushFolder(to);
    return timer.nsecsElapsed() / 1e9;
}

struct WizardTimes
{
    double Checks = 0;
    double Move = 0;
};

WizardTimes TimeWizard(const QString &base, const QString &to)
{
    FileUtil::FlushFolder(QFile::encodeName(base));
    TfrmMain window(QFile::encodeName(base) + "/Quillbox/");
    window.show();
    QApplication::processEvents();
    window.FormActivate();
    window.ShowConnectionPage();
    window.ShowLocalSourcePage();
    window.ShowTargetPage();
    window.edtNewDir->setText(to);
    window.ShowReadyPage();
    WizardTimes times;
    QElapsedTimer timer;
    timer.start();
    if (!window.CheckMove())
        std::exit(1);
    times.Checks = timer.nsecsElapsed() / 1e9;
    timer.restart();
    window.ShowMovePage();
    times.Move = timer.nsecsElapsed() / 1e9;
    if (!window.btnNext->isEnabled())
        std::exit(1);
    return times;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The move log of the runs goes with the staged files.
    const QTemporaryDir state;
    qputenv("XDG_STATE_HOME", QFile::encodeName(state.path()));
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

    // Alternate the contenders, each into a fresh folder, and take medians.
    const int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    QList<double> cp, loop, wizard, checks;
    const QString data = base + QStringLiteral("/Data");
    for (int round = 0; round < rounds; ++round) {
        const QString tag = QString::number(round);
        cp << TimeCp(data, base + QStringLiteral("/ByCp") + tag);
        loop << TimeCopyLoop(QFile::encodeName(data),
                             QFile::encodeName(base + QStringLiteral("/ByLoop") + tag), count);
        const WizardTimes times = TimeWizard(base, base + QStringLiteral("/ByWizard") + tag);
        checks << times.Checks;
        wizard << times.Move;
    }

    std::printf("files: %d of %d bytes, %d rounds, medians\n", count, size, rounds);
    std::printf("cp -p + sync -f:          %8.3f s\n", Median(cp));
    std::printf("CopyFileTo loop + flush:  %8.3f s  (ratio to cp %.2f)\n", Median(loop),
                Median(loop) / Median(cp));
    std::printf("platform:                 %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("wizard Move page:         %8.3f s  (copy, flush and proof; ratio to cp %.2f)\n",
                Median(wizard), Median(wizard) / Median(cp));
    std::printf("checks of the Ready page: %8.3f s  (%.1f%% of the whole, goal <= 5%%)\n",
                Median(checks), 100 * Median(checks) / (Median(checks) + Median(wizard)));
    std::printf("peak memory:              %8ld KiB (after staging: %ld KiB)\n", PeakKiB(),
                baseline);
    return 0;
}