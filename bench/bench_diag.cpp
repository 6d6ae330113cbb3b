// Diagnostics benchmark, run by hand: messages per second from one client
// to the reference dispatcher (the window looked up again for every
// message), and the cost of a send operation on a disabled client.
#include "diag/LinuxDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"
#include "diag/TDezaZudi.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? std::atoi(argv[1]) : 20000;

    QTemporaryDir dir;
    const QByteArray windows = QFile::encodeName(dir.filePath(QStringLiteral("w")));
    TLinuxPlatformSettings settings;
    settings.SettingsFile = QFile::encodeName(dir.filePath(QStringLiteral("none.conf")));
    settings.WindowDirectory = windows;
    ObjectManager()->SetPlatform(std::make_shared<LinuxDispatcherPlatform>(settings));

    QProcess dispatcher;
    dispatcher.start(QStringLiteral(DISPATCHER_PROGRAM),
                     {QStringLiteral("--window-dir"), QFile::decodeName(windows),
                      QStringLiteral("--output"), QStringLiteral("/dev/null")});
    if (!dispatcher.waitForStarted())
        return 1;
    for (int i = 0; i < 2000 && QDir(QFile::decodeName(windows)).entryList(QDir::System).isEmpty();
         ++i)
        QThread::msleep(5);

    {
        TCSObject client(nullptr);
        client.SendNamedValue("SourceDir", "/warm/up/"); // registers
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < messages; ++i)
            client.SendNamedValue("SourceDir", "/srv/quillbox/data/");
        const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        std::printf("enabled client: %d messages in %.3f s = %.0f messages/s (%.1f us each)\n",
                    messages, seconds, messages / seconds, seconds / messages * 1e6);
        if (!client.Enabled())
            std::printf("  (the client switched itself off: the figure is not valid)\n");
    }
    {
        TCSObject client(nullptr);
        client.SetEnabled(false);
        const int sends = 10000000;
        const QByteArray name = "SourceDir";
        const QByteArray value = "/srv/quillbox/data/";
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < sends; ++i)
            client.SendNamedValue(name, value);
        const double nanoseconds = static_cast<double>(timer.nsecsElapsed()) / sends;
        std::printf("disabled client: %.1f ns per SendNamedValue\n", nanoseconds);
    }
    dispatcher.terminate();
    dispatcher.waitForFinished();
    return 0;
}
