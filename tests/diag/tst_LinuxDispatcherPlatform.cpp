#include "diag/DispatcherWindows.h"
#include "diag/LinuxDispatcherPlatform.h"
#include "diag/TCSObjectManager.h"
#include "diag/TDezaZudi.h"
#include "fileutil/PrivateProfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimeZone>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace DispatcherWindows;

namespace {

// The Linux platform, counting the programs it starts.
class TCountingPlatform : public LinuxDispatcherPlatform
{
public:
    using LinuxDispatcherPlatform::LinuxDispatcherPlatform;
    int Starts = 0;
    std::optional<TStartedProcess> CreateProcess(const QByteArray &Command) override
    {
        ++Starts;
        return LinuxDispatcherPlatform::CreateProcess(Command);
    }
};

QByteArray Local(const QString &path)
{
    return QFile::encodeName(path);
}

// Whether a process is a child of this test: only those are ended.
bool IsOurChild(quint32 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (command) state ppid ...": the command may hold blanks.
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2).split(' ').value(1).toLongLong() == ::getpid();
}

sockaddr_un Address(const QByteArray &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(),
                std::min(size_t(path.size()), sizeof address.sun_path - 1));
    return address;
}

QByteArray ReadAll(const QByteArray &path)
{
    QFile file(QFile::decodeName(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A window socket held by the test. It never accepts, so every connection
// waits in its backlog to be counted.
struct TQuietWindow
{
    QByteArray Path;
    quint32 Pid;
    FileHandle Listener{::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)};
    int Exchanges = 0;

    TQuietWindow(const QByteArray &directory, quint32 pid)
        : Path(directory + '/' + SocketFileName("TFrmDispatcher", pid, "DezaZudi Dispatcher")),
          Pid(pid)
    {
        ::mkdir(directory.constData(), 0700);
        const sockaddr_un address = Address(Path);
        ::bind(Listener.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof address);
    }
    ~TQuietWindow() { ::unlink(Path.constData()); }

    // Listens as the given user: the peer credentials are taken when
    // listening starts and stay after that process has gone.
    bool Listen(uid_t uid)
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::setresuid(uid, uid, uid) == 0 && ::listen(Listener.Get(), 16) == 0 ? 0 : 1);
        int status = -1;
        return child > 0 && ::waitpid(child, &status, 0) == child && status == 0;
    }
    TWindowHandle Handle() const
    {
        struct stat st = {};
        ::lstat(Path.constData(), &st);
        return LinuxDispatcherPlatform::HandleOf(st.st_ino, Pid);
    }
    // The connections so far that carried bytes: exchanges, not lookups.
    int CountExchanges()
    {
        for (FileHandle c;
             (c = FileHandle(::accept4(Listener.Get(), nullptr, nullptr, SOCK_NONBLOCK)))
                 .IsValid();) {
            char byte;
            Exchanges += ::recv(c.Get(), &byte, 1, 0) > 0;
        }
        return Exchanges;
    }
};

} // namespace

// End to end on real sockets, against the reference dispatcher, in a
// private window directory and with a private settings file: whatever is
// installed on the machine plays no part.
class tst_LinuxDispatcherPlatform : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_windows;  // the window directory
    QByteArray m_settings; // the settings file
    QByteArray m_output;   // what the dispatchers print
    QByteArray m_errors;   // what the dispatcher started by the test reports
    std::shared_ptr<TCountingPlatform> m_platform;
    std::unique_ptr<QProcess> m_dispatcher;
    QByteArray m_path;

    QByteArray DispatcherCommand() const
    {
        return QByteArray(DISPATCHER_PROGRAM) + " --window-dir " + m_windows + " --output " +
               m_output + " --idle-exit 120";
    }

    void UsePlatform(TLinuxPlatformSettings settings)
    {
        m_platform = std::make_shared<TCountingPlatform>(std::move(settings));
        ObjectManager()->SetPlatform(m_platform);
    }

    TLinuxPlatformSettings Settings(int waitMs = 10000) const
    {
        TLinuxPlatformSettings settings;
        settings.SettingsFile = m_settings;
        settings.WindowDirectory = m_windows;
        settings.LaunchWaitMs = waitMs;
        return settings;
    }

    // An executable shell script in the test's directory; its path.
    QByteArray WriteScript(const QString &name, const QByteArray &body)
    {
        QFile file(m_dir->filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body + "\n") < 0)
            return QByteArray();
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return Local(file.fileName());
    }

    void WriteSettings(const QByteArray &contents)
    {
        QFile file(QFile::decodeName(m_settings));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    // The window sockets of the directory, by pid.
    QList<quint32> WindowPids() const
    {
        QList<quint32> pids;
        const QStringList names = QDir(QFile::decodeName(m_windows)).entryList(QDir::System);
        for (const QString &name : names) {
            if (const auto parts = ParseSocketFileName(QFile::encodeName(name)))
                pids.append(parts->ProcessId);
        }
        return pids;
    }

    bool StartDispatcher()
    {
        m_dispatcher = std::make_unique<QProcess>();
        m_dispatcher->setStandardErrorFile(QFile::decodeName(m_errors));
        m_dispatcher->start(QStringLiteral(DISPATCHER_PROGRAM),
                            {QStringLiteral("--window-dir"), QFile::decodeName(m_windows),
                             QStringLiteral("--output"), QFile::decodeName(m_output)});
        if (!m_dispatcher->waitForStarted())
            return false;
        const auto pid = static_cast<quint32>(m_dispatcher->processId());
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (WindowPids().contains(pid))
                return true;
            QThread::msleep(5);
        }
        return false;
    }

    void StopDispatcher()
    {
        if (!m_dispatcher)
            return;
        if (m_dispatcher->state() != QProcess::NotRunning) {
            m_dispatcher->terminate();
            QVERIFY(m_dispatcher->waitForFinished(10000));
        }
        m_dispatcher.reset();
    }

    // Each printed record as its tab-separated fields.
    QList<QByteArrayList> Lines() const
    {
        QList<QByteArrayList> lines;
        QFile file(QFile::decodeName(m_output));
        if (!file.open(QIODevice::ReadOnly))
            return lines;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (!line.isEmpty())
                lines.append(line.split('\t'));
        }
        return lines;
    }

    QList<int> Kinds() const
    {
        QList<int> kinds;
        for (const QByteArrayList &line : Lines())
            kinds.append(line.value(0).toInt());
        return kinds;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_windows = Local(m_dir->filePath(QStringLiteral("w")));
        m_settings = Local(m_dir->filePath(QStringLiteral("DezaZudi.conf")));
        m_output = Local(m_dir->filePath(QStringLiteral("records.txt")));
        m_errors = Local(m_dir->filePath(QStringLiteral("errors.txt")));
        m_path = qgetenv("PATH");
        // No program of the default command's name may come from the machine.
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("bin"))));
        qputenv("PATH", Local(m_dir->filePath(QStringLiteral("bin"))));
        UsePlatform(Settings());
    }

    void cleanup()
    {
        StopDispatcher();
        // Dispatchers the client started are ended by their pid; a socket
        // named by any other pid is no program of this test.
        for (quint32 pid : WindowPids()) {
            if (IsOurChild(pid))
                ::kill(static_cast<pid_t>(pid), SIGTERM);
        }
        QFile pids(m_dir->filePath(QStringLiteral("pids")));
        if (pids.open(QIODevice::ReadOnly)) {
            for (const QByteArray &pid : pids.readAll().split('\n')) {
                if (pid.toInt() > 0 && IsOurChild(pid.toUInt()))
                    ::kill(pid.toInt(), SIGTERM);
            }
        }
        qputenv("PATH", m_path);
        TLinuxPlatformSettings nowhere;
        nowhere.SettingsFile = "/nonexistent/DezaZudi.conf";
        nowhere.WindowDirectory = "/nonexistent/windows";
        nowhere.LaunchWaitMs = 0;
        ObjectManager()->SetPlatform(std::make_shared<LinuxDispatcherPlatform>(nowhere));
    }

    void dispatcherRunning()
    {
        QVERIFY(StartDispatcher());
        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendNamedValue("SourceDir", "/data/\xFF old/");
        client->SendNamedList("FileList", {"Messages.dat", "Folders.dat"});
        client.reset();

        const QList<QByteArrayList> lines = Lines();
        QCOMPARE(Kinds(), (QList<int>{41, 0, 6, 42}));
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        const QByteArray id = lines.at(0).value(2);
        QVERIFY(
            QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
                .match(QString::fromLatin1(id))
                .hasMatch());
        for (const QByteArrayList &line : lines) {
            QCOMPARE(line.size(), 9);
            QCOMPARE(line.at(2), id);
        }
        QCOMPARE(lines.at(0).at(3), QByteArray()); // the first registration: no names
        QCOMPARE(lines.at(0).at(7), QByteArray("Viewer"));
        QCOMPARE(lines.at(1).at(3), QByteArray(host).left(15));
        QCOMPARE(lines.at(1).at(4), QByteArray("tst_LinuxDispatcherPlatform"));
        QCOMPARE(lines.at(1).at(7), QByteArray("SourceDir = '/data/\xFF old/'"));
        QCOMPARE(lines.at(2).at(6), QByteArray("TStringList"));
        QCOMPARE(lines.at(2).at(7), QByteArray("FileList"));
        QCOMPARE(lines.at(2).at(8), QByteArray("Messages.dat\\r\\nFolders.dat\\r\\n"));
        QCOMPARE(m_platform->Starts, 0);
    }

    void startedFromTheSettingsCommand()
    {
        WriteSettings("[2.0]\nDispatcherPath = " + DispatcherCommand() + "\n");
        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendNamedValue("TargetDir", "/srv/new/");
        QVERIFY(client->Enabled());
        QCOMPARE(m_platform->Starts, 1);
        QCOMPARE(Kinds(), (QList<int>{41, 0}));
        QCOMPARE(WindowPids().size(), 1);
        client->SendNamedValue("TargetDir", "/srv/new/");
        QCOMPARE(m_platform->Starts, 1);
        QCOMPARE(Kinds(), (QList<int>{41, 0, 0}));
    }

    void startedFromTheDefaultCommandOnPath()
    {
        QVERIFY(!WriteScript(QStringLiteral("bin/RAVivavovova.exe"), "exec " + DispatcherCommand())
                     .isEmpty());

        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendText(0, "hello");
        QVERIFY(client->Enabled());
        QCOMPARE(m_platform->Starts, 1);
        QCOMPARE(Kinds(), (QList<int>{41, 0}));
    }

    void dispatcherRestarted()
    {
        QVERIFY(StartDispatcher());
        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendText(0, "before");
        StopDispatcher();
        QVERIFY(StartDispatcher());
        client->SendText(0, "after");
        const QList<QByteArrayList> lines = Lines();
        QCOMPARE(Kinds(), (QList<int>{41, 0, 41, 0}));
        // Registered again under the same connection.
        QCOMPARE(lines.at(2).at(2), lines.at(0).at(2));
        QCOMPARE(lines.at(3).at(7), QByteArray("after"));
        QCOMPARE(m_platform->Starts, 0);
    }

    void notInstalled()
    {
        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendNamedValue("SourceDir", "/data/");
        QVERIFY(!client->Enabled());
        QCOMPARE(m_platform->Starts, 2);
        client->SendNamedValue("TargetDir", "/srv/");
        client->SendNamedList("FileList", {"a"});
        QCOMPARE(m_platform->Starts, 2);
        QVERIFY(Lines().isEmpty());
    }

    void dispatcherThatNeverOpensItsWindow()
    {
        // It records its pid and waits: the client must not wait with it.
        const QByteArray script =
            WriteScript(QStringLiteral("hang.sh"),
                        "echo $$ >> " + Local(m_dir->filePath(QStringLiteral("pids"))) +
                            "\nexec /bin/sleep 60");
        WriteSettings("[2.0]\nDispatcherPath=" + script + "\n");
        UsePlatform(Settings(200));

        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendText(0, "x");
        QVERIFY(!client->Enabled());
        QCOMPARE(m_platform->Starts, 2);
    }

    void untrustedWindowDirectory_data()
    {
        QTest::addColumn<QByteArray>("problem");
        QTest::newRow("owned by someone else") << QByteArray("owner");
        QTest::newRow("writable by others") << QByteArray("others");
        QTest::newRow("writable by the group") << QByteArray("group");
        QTest::newRow("a symlink to a good directory") << QByteArray("symlink");
        QTest::newRow("a socket file, not a directory") << QByteArray("file");
    }

    void untrustedWindowDirectory()
    {
        QFETCH(QByteArray, problem);
        QVERIFY(StartDispatcher());
        QByteArray directory = m_windows;
        if (problem == "owner") {
            if (::geteuid() != 0)
                QSKIP("only root can give a directory to another user");
            QCOMPARE(::chown(m_windows.constData(), 65534, 65534), 0);
        } else if (problem == "others") {
            QCOMPARE(::chmod(m_windows.constData(), 0703), 0);
        } else if (problem == "group") {
            QCOMPARE(::chmod(m_windows.constData(), 0730), 0);
        } else if (problem == "symlink") {
            directory = Local(m_dir->filePath(QStringLiteral("link")));
            QCOMPARE(::symlink(m_windows.constData(), directory.constData()), 0);
        } else {
            directory = m_windows + '/' +
                        QFile::encodeName(
                            QDir(QFile::decodeName(m_windows)).entryList(QDir::System).value(0));
        }
        WriteSettings("[2.0]\nDispatcherPath=/nonexistent/dispatcher\n");
        TLinuxPlatformSettings settings = Settings();
        settings.WindowDirectory = directory;
        UsePlatform(settings);

        QCOMPARE(m_platform->FindWindow("TFrmDispatcher", "DezaZudi Dispatcher"), TWindowHandle(0));
        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendNamedValue("SourceDir", "/private/folder/");
        QVERIFY(!client->Enabled());
        QVERIFY(Lines().isEmpty());
        ::chown(m_windows.constData(), ::geteuid(), ::getegid());
        ::chmod(m_windows.constData(), 0700);
    }

    void staleSocketsAreSkipped()
    {
        QVERIFY(StartDispatcher());
        // A socket file nobody listens on, sorting before the live one.
        const QByteArray stale = m_windows + "/TFrmDispatcher#1#DezaZudi Dispatcher";
        {
            FileHandle socket(::socket(AF_UNIX, SOCK_STREAM, 0));
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, stale.constData(), static_cast<size_t>(stale.size()));
            QCOMPARE(
                ::bind(socket.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof address),
                0);
        }
        const TWindowHandle window =
            m_platform->FindWindow("TFrmDispatcher", "DezaZudi Dispatcher");
        QVERIFY(window != 0);
        struct stat st;
        QCOMPARE(::stat(stale.constData(), &st), 0);
        QVERIFY(window != LinuxDispatcherPlatform::HandleOf(st.st_ino, 1));
        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendText(0, "x");
        QCOMPARE(Kinds(), (QList<int>{41, 0}));
    }

    void windowSearches_data()
    {
        QTest::addColumn<QByteArray>("className");
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<bool>("found");
        QTest::newRow("class and title")
            << QByteArray("TFrmDispatcher") << QByteArray("DezaZudi Dispatcher") << true;
        QTest::newRow("title in other case")
            << QByteArray("TFrmDispatcher") << QByteArray("dezazudi dispatcher") << false;
        QTest::newRow("other class")
            << QByteArray("TFrmViewer") << QByteArray("DezaZudi Dispatcher") << false;
        QTest::newRow("part of the title")
            << QByteArray("TFrmDispatcher") << QByteArray("DezaZudi") << false;
    }

    void windowSearches()
    {
        QFETCH(QByteArray, className);
        QFETCH(QByteArray, title);
        QFETCH(bool, found);
        QVERIFY(StartDispatcher());
        QCOMPARE(m_platform->FindWindow(className, title) != 0, found);
        const auto pid = static_cast<quint32>(m_dispatcher->processId());
        const QList<TThreadWindow> windows = m_platform->ThreadWindows(pid);
        QCOMPARE(windows.size(), 1);
        QCOMPARE(windows.at(0).Title, QByteArray("DezaZudi Dispatcher"));
        QVERIFY(!windows.at(0).HasParent);
        QVERIFY(m_platform->ThreadWindows(pid + 1).isEmpty());
    }

    void copyDataExchange_data()
    {
        QTest::addColumn<bool>("validWindow");
        QTest::addColumn<int>("size"); // of the record; 4: "junk", no record
        QTest::addColumn<qint64>("answer");
        QTest::addColumn<int>("reports"); // lines on the dispatcher's stderr
        QTest::newRow("a record") << true << 220 << qint64(1) << 0;
        QTest::newRow("bytes that are no record") << true << 4 << qint64(0) << 1;
        QTest::newRow("larger than any record") << true << 64 * 1024 * 1024 + 1 << qint64(0) << 1;
        QTest::newRow("no such window") << false << 220 << qint64(0) << 0;
    }

    void copyDataExchange()
    {
        QFETCH(bool, validWindow);
        QFETCH(int, size);
        QFETCH(qint64, answer);
        QFETCH(int, reports);
        QVERIFY(StartDispatcher());
        TWindowHandle window = m_platform->FindWindow("TFrmDispatcher", "DezaZudi Dispatcher");
        if (!validWindow)
            window ^= 0x5555;
        const QByteArray record = size == 4 ? QByteArray("junk") : QByteArray(size, '\0');
        QCOMPARE(m_platform->SendCopyData(window, 0, record).Answer, answer);
        QCOMPARE(Lines().size(), answer ? 1 : 0);
        // Each record dropped is reported; the lookup's bare connection is not.
        StopDispatcher();
        QCOMPARE(int(ReadAll(m_errors).count("dropped a record")), reports);
    }

    void silentDispatcherDoesNotHangTheSender()
    {
        // A window that takes connections and records but never answers:
        // the first exchange ends at its bound and no other follows, not
        // even the unregistration when the client is destroyed.
        TQuietWindow silent(m_windows, quint32(::getpid()));
        QVERIFY(silent.Listen(::geteuid()));
        TLinuxPlatformSettings settings = Settings();
        settings.ExchangeTimeoutMs = 200;
        UsePlatform(settings);
        auto client = std::make_unique<TCSObject>(nullptr);
        client->SendText(0, "a");
        client->SendText(0, "b");
        QVERIFY(!client->Enabled());
        client.reset();
        QCOMPARE(silent.CountExchanges(), 1);
        // Nor does the platform try again for any other client.
        const TCopyDataResult again =
            m_platform->SendCopyData(silent.Handle(), 0, QByteArray(220, '\0'));
        QVERIFY(again.TimedOut && again.Answer == 0);
        QCOMPARE(silent.CountExchanges(), 1);
    }

    void foreignWindowsAreSkipped_data()
    {
        QTest::addColumn<bool>("foreignFile"); // else our file, served by another user
        QTest::newRow("socket file of another user") << true;
        QTest::newRow("served by another user") << false;
    }

    void foreignWindowsAreSkipped()
    {
        QFETCH(bool, foreignFile);
        if (::geteuid() != 0)
            QSKIP("only root can act as another user");
        QVERIFY(StartDispatcher());
        // Named by pid 1, it sorts before the dispatcher's own window.
        TQuietWindow foreign(m_windows, 1);
        QVERIFY(foreign.Listen(foreignFile ? ::geteuid() : 65534));
        if (foreignFile)
            QCOMPARE(::lchown(foreign.Path.constData(), 65534, 65534), 0);
        TLinuxPlatformSettings settings = Settings();
        settings.ExchangeTimeoutMs = 300;
        UsePlatform(settings);

        QVERIFY(m_platform->FindWindow("TFrmDispatcher", "DezaZudi Dispatcher") !=
                foreign.Handle());
        QCOMPARE(m_platform->SendCopyData(foreign.Handle(), 0, QByteArray(220, '\0')).Answer, 0);
        std::make_unique<TCSObject>(nullptr)->SendText(0, "private");
        QCOMPARE(Kinds(), (QList<int>{41, 0, 42}));
        QCOMPARE(foreign.CountExchanges(), 0);
    }

    void startedProgramHoldsNothingOfOurs()
    {
        // A descriptor without close-on-exec, as a library may leave one.
        const FileHandle marker(::open(m_settings.constData(), O_WRONLY | O_CREAT, 0600));
        const QByteArray listing = m_output + ".fds";
        // In a subshell: the shell would otherwise point its own output at
        // the listing while "ls" runs.
        const QByteArray script =
            WriteScript(QStringLiteral("fds.sh"), "(/bin/ls -l /proc/$$/fd) > " + listing);
        const std::optional<TStartedProcess> started = m_platform->CreateProcess(script);
        QVERIFY(marker.IsValid() && started);
        m_platform->WaitForInputIdle(*started); // it ends without a window
        int standard = 0;
        for (const QByteArray &line : ReadAll(listing).split('\n')) {
            const qsizetype arrow = line.indexOf(" -> ");
            if (arrow < 0)
                continue;
            // The standard streams on /dev/null, else only the shell's script.
            const bool isStandard = line.left(arrow).split(' ').last().toInt() < 3;
            standard += isStandard;
            QCOMPARE(line.mid(arrow + 4), isStandard ? QByteArray("/dev/null") : script);
        }
        QCOMPARE(standard, 3);
    }

    void dispatcherCommandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::newRow("--help") << QStringList{"--help"} << 0;
        QTest::newRow("-h after an option") << QStringList{"--idle-exit", "1", "-h"} << 0;
        QTest::newRow("unknown option") << QStringList{"--bogus", "x"} << 2;
        QTest::newRow("option without its value") << QStringList{"--output"} << 2;
    }

    void dispatcherCommandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QProcess process;
        process.start(QStringLiteral(DISPATCHER_PROGRAM), arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitCode(), status);
        // Asked for, the usage is the output; after a mistake, the error.
        QVERIFY((status == 0 ? process.readAllStandardOutput() : process.readAllStandardError())
                    .startsWith("usage: dezazudi-dispatcher"));
    }

    void dispatcherLeavesNoSocket_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("terminal closed") << int(SIGHUP);
        QTest::newRow("terminated") << int(SIGTERM);
        QTest::newRow("interrupted") << int(SIGINT);
    }

    void dispatcherLeavesNoSocket()
    {
        QFETCH(int, signal);
        QVERIFY(StartDispatcher());
        QCOMPARE(::kill(pid_t(m_dispatcher->processId()), signal), 0);
        QVERIFY(m_dispatcher->waitForFinished(10000));
        QCOMPARE(m_dispatcher->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_dispatcher->exitCode(), 0);
        QVERIFY(WindowPids().isEmpty());
    }

    void socketFileNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QByteArray>("className");
        QTest::addColumn<uint>("pid");
        QTest::addColumn<QByteArray>("title");
        QTest::newRow("dispatcher")
            << QByteArray("TFrmDispatcher#4711#DezaZudi Dispatcher") << true
            << QByteArray("TFrmDispatcher") << 4711u << QByteArray("DezaZudi Dispatcher");
        QTest::newRow("title holding #")
            << QByteArray("C#1#a#b") << true << QByteArray("C") << 1u << QByteArray("a#b");
        QTest::newRow("empty title")
            << QByteArray("C#2#") << true << QByteArray("C") << 2u << QByteArray();
        QTest::newRow("no pid") << QByteArray("C##t") << false << QByteArray() << 0u
                                << QByteArray();
        QTest::newRow("signed pid")
            << QByteArray("C#+3#t") << false << QByteArray() << 0u << QByteArray();
        QTest::newRow("pid 0") << QByteArray("C#0#t") << false << QByteArray() << 0u
                               << QByteArray();
        QTest::newRow("one #") << QByteArray("C#3") << false << QByteArray() << 0u << QByteArray();
        QTest::newRow("hidden binding name")
            << QByteArray(".binding-12") << false << QByteArray() << 0u << QByteArray();
    }

    void socketFileNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, valid);
        QFETCH(QByteArray, className);
        QFETCH(uint, pid);
        QFETCH(QByteArray, title);
        const auto parts = ParseSocketFileName(name);
        QCOMPARE(bool(parts), valid);
        if (!valid)
            return;
        QCOMPARE(parts->ClassName, className);
        QCOMPARE(parts->ProcessId, pid);
        QCOMPARE(parts->Title, title);
        QCOMPARE(SocketFileName(className, pid, title), name);
    }

    void iniValues_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QByteArray>("value"); // null: missing
        QTest::newRow("plain") << QByteArray("[2.0]\nDispatcherPath=/opt/d\n")
                               << QByteArray("/opt/d");
        QTest::newRow("cases and blanks")
            << QByteArray("[ 2.0 ]\r\n  dispatcherpath  =  /opt/d x  \r\n")
            << QByteArray("/opt/d x");
        QTest::newRow("quoted") << QByteArray("[2.0]\nDispatcherPath=\"/opt/d\"\n")
                                << QByteArray("/opt/d");
        QTest::newRow("empty value") << QByteArray("[2.0]\nDispatcherPath=\n") << QByteArray("");
        QTest::newRow("first of two")
            << QByteArray("[2.0]\nDispatcherPath=a\nDispatcherPath=b\n") << QByteArray("a");
        QTest::newRow("other section")
            << QByteArray("[1.0]\nDispatcherPath=a\n[2.0]\nOther=b\n") << QByteArray();
        QTest::newRow("comment") << QByteArray("[2.0]\n;DispatcherPath=a\n") << QByteArray();
        QTest::newRow("no section") << QByteArray("DispatcherPath=a\n") << QByteArray();
        QTest::newRow("empty file") << QByteArray() << QByteArray();
    }

    void iniValues()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QByteArray, value);
        const auto found = PrivateProfile::Lookup(contents, "2.0", "DispatcherPath");
        QCOMPARE(found.has_value(), !value.isNull());
        if (found)
            QCOMPARE(*found, value);
        WriteSettings(contents);
        const auto read =
            m_platform->ReadMachineValue("\\Software\\Ravav\\DezaZudi\\2.0", "DispatcherPath");
        QCOMPARE(read.has_value(), !value.isNull());
    }

    void missingSettingsFileIsNoValue()
    {
        QVERIFY(
            !m_platform->ReadMachineValue("\\Software\\Ravav\\DezaZudi\\2.0", "DispatcherPath"));
    }

    void machineFacts()
    {
        const QByteArray guid = m_platform->NewGuid();
        QVERIFY(
            QRegularExpression(QStringLiteral("^\\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\}$"))
                .match(QString::fromLatin1(guid))
                .hasMatch());
        QVERIFY(guid != m_platform->NewGuid());
        const QDateTime now = QDateTime::currentDateTime();
        QCOMPARE(m_platform->TimeZoneBias(),
                 -QTimeZone::systemTimeZone().standardTimeOffset(now) / 60);
        QVERIFY(m_platform->ProgramFile().endsWith("/tst_LinuxDispatcherPlatform"));
        QCOMPARE(m_platform->ProcessId(), quint32(::getpid()));
        const QByteArray uid = QByteArray::number(::geteuid());
        QVERIFY(DefaultWindowDirectory() == "/run/user/" + uid + "/dezazudi" ||
                DefaultWindowDirectory() == "/tmp/dezazudi-" + uid);
    }
};

QTEST_GUILESS_MAIN(tst_LinuxDispatcherPlatform)
#include "tst_LinuxDispatcherPlatform.moc"
