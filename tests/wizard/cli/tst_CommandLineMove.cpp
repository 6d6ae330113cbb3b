// The move from the command line: the real program, copied into a staged
// Quillbox folder and run without a display, as a script or a terminal
// user runs it.

#include "FileTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace {

const QByteArray BigName = "big.dat";
// Large enough that a copy of it lasts well beyond the moment the test
// reacts to its "Copying" line, on any disk.
constexpr qint64 BigSize = qint64(256) << 20;

// A Quillbox installation with Flitto copied into it, and a private log and
// runtime folder.
class Stage
{
public:
    Stage()
    {
        for (const QByteArray &folder : {ProgramFolder(), DataFolder(), State(), Runtime()})
            ::mkdir(folder.constData(), 0700);
        const QByteArray program = ProgramFolder() + "flitto";
        // A hard link is as good as a copy for /proc/self/exe and much faster.
        if (::link(FLITTO_EXECUTABLE, program.constData()) != 0)
            QFile::copy(QStringLiteral(FLITTO_EXECUTABLE), QFile::decodeName(program));
        WriteSettings(0, DataFolder());
        WriteData("Messages.dat", "mail");
        WriteData("Folders.idx", FileTest::Pattern(7000));
    }

    bool IsValid() const { return m_root.IsValid(); }
    QByteArray Root() const { return m_root.Path(); }
    QByteArray ProgramFolder() const { return Root() + "Quillbox/"; }
    QByteArray DataFolder() const { return Root() + "Data"; }
    QByteArray Target() const { return Root() + "New"; }
    QByteArray SettingsFile() const { return ProgramFolder() + "Quillbox.ini"; }
    QByteArray State() const { return Root() + "state"; }
    QByteArray Runtime() const { return Root() + "runtime"; }
    QByteArray Log() const { return FileTest::ReadFile(State() + "/flitto/move.log"); }
    QByteArray Settings() const { return FileTest::ReadFile(SettingsFile()); }

    void WriteSettings(int mode, const QByteArray &dataFolder, const QByteArray &padding = {})
    {
        FileTest::WriteFile(SettingsFile(), padding + "[Settings]\r\nDataDirectory=" + dataFolder +
                                                "\r\nConnectionMode=" + QByteArray::number(mode) +
                                                "\r\n");
    }
    void WriteData(const QByteArray &name, const QByteArray &contents)
    {
        QVERIFY(FileTest::WriteFile(DataFolder() + '/' + name, contents));
    }
    void WriteBig()
    {
        const int fd = ::open(QByteArray(DataFolder() + '/' + BigName).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        const QByteArray chunk = FileTest::Pattern(1 << 20, 'q');
        for (qint64 done = 0; done < BigSize; done += chunk.size())
            QCOMPARE(::write(fd, chunk.constData(), size_t(chunk.size())), ssize_t(chunk.size()));
        ::close(fd);
    }

    // Names that a copy or a settings change leaves while it writes, in the
    // target and beside the settings file (where the lock file may stay).
    QByteArrayList PartialFiles() const
    {
        QByteArrayList partial;
        for (const QByteArray &folder : {Target(), ProgramFolder()})
            partial << FileTest::PartialCopies(folder);
        return partial;
    }

private:
    FileTest::ScratchFolder m_root;
};

struct Result
{
    int Code = -1;
    bool Crashed = false;
    QString Out;
    QString Err;
};

// Every name in the arguments that starts with "@" is a path of the stage.
QStringList Expand(const QStringList &args, const Stage &stage)
{
    QStringList expanded;
    for (QString arg : args) {
        arg.replace(QStringLiteral("@ROOT/"), QFile::decodeName(stage.Root()));
        arg.replace(QStringLiteral("@TARGET"), QFile::decodeName(stage.Target()));
        arg.replace(QStringLiteral("@DATA"), QFile::decodeName(stage.DataFolder()));
        expanded << arg;
    }
    return expanded;
}

// No display of any kind, and a log and lock folder of the stage's own.
QProcessEnvironment Environment(const Stage &stage)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("XDG_STATE_HOME"), QFile::decodeName(stage.State()));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QFile::decodeName(stage.Runtime()));
    return env;
}

enum class During
{
    Nothing,
    Interrupt,   // send the row's signal once the big file is being copied
    UnderNohup,  // the same, with SIGHUP ignored from the start
    ChangeBig,   // give the big file another last-write time while it is copied
    FileLimit,   // the program runs under a file size limit of 16 KiB
    HoldWriting, // this test holds Messages.dat open for writing
    FullOutput,  // stdout is /dev/full: every write to it fails
};

Result RunFlitto(const Stage &stage, const QStringList &args, During during = During::Nothing,
                 int signal = 0, const QString &workingFolder = QStringLiteral("/"))
{
    QProcess process;
    process.setProcessEnvironment(Environment(stage));
    process.setWorkingDirectory(workingFolder);
    if (during == During::UnderNohup)
        process.setChildProcessModifier([] { std::signal(SIGHUP, SIG_IGN); });
    if (during == During::FileLimit) {
        process.setChildProcessModifier([] {
            const struct rlimit limit = {16384, 16384};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    }
    if (during == During::FullOutput)
        process.setStandardOutputFile(QStringLiteral("/dev/full"));
    int writer = -1;
    if (during == During::HoldWriting)
        writer = ::open(QByteArray(stage.DataFolder() + "/Messages.dat").constData(),
                        O_WRONLY | O_APPEND | O_CLOEXEC);
    process.start(QFile::decodeName(stage.ProgramFolder() + "flitto"), Expand(args, stage));
    Result result;
    if (!process.waitForStarted())
        return result;
    QByteArray err;
    const bool interrupt = during == During::Interrupt || during == During::UnderNohup;
    if (interrupt || during == During::ChangeBig) {
        const QByteArray copying = "Copying " + BigName;
        QElapsedTimer waited;
        waited.start();
        while (!err.contains(copying) && waited.elapsed() < 60000 &&
               process.state() == QProcess::Running) {
            process.waitForReadyRead(100);
            err += process.readAllStandardError();
        }
        if (interrupt) {
            ::kill(pid_t(process.processId()), signal);
        } else {
            const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
            ::utimensat(AT_FDCWD, QByteArray(stage.DataFolder() + '/' + BigName).constData(), old,
                        0);
        }
    }
    process.waitForFinished(120000);
    if (writer >= 0)
        ::close(writer);
    result.Crashed = process.exitStatus() != QProcess::NormalExit;
    result.Code = process.exitCode();
    result.Out = QString::fromLocal8Bit(process.readAllStandardOutput());
    result.Err = QString::fromLocal8Bit(err + process.readAllStandardError());
    return result;
}

QByteArray DataDirectoryLine(const QByteArray &folder)
{
    return "DataDirectory=" + folder + "\r\n";
}

} // namespace

class tst_CommandLineMove : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void moves_data();
    void moves();
    void exitCodes_data();
    void exitCodes();
    void checkLeavesNothing_data();
    void checkLeavesNothing();
    void stopBySignal_data();
    void stopBySignal();
    void wizardArguments_data();
    void wizardArguments();
    void quietAndLog_data();
    void quietAndLog();
    void folderNamesAsBytes();
    void progressOnTerminal();
};

void tst_CommandLineMove::moves_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("settingsFolder"); // DataDirectory before the move
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("relative"); // run from the stage's root

    QTest::newRow("local, folder from the settings")
        << 0 << QByteArray("@DATA") << QStringList{"--move-to", "@TARGET"} << false;
    // Another folder than Quillbox.ini's is moved only on request.
    QTest::newRow("local, --from instead of the settings")
        << 0 << QByteArray("@ROOT/Gone")
        << QStringList{"--from", "@DATA", "--allow-other-source", "--move-to", "@TARGET"} << false;
    QTest::newRow("local, joined option forms")
        << 0 << QByteArray("@ROOT/Gone")
        << QStringList{"--from=@DATA", "--move-to=@TARGET", "--allow-other-source"} << false;
    // Taken from Quillbox's folder, wherever Flitto is started from.
    QTest::newRow("local, DataDirectory relative to Quillbox.ini")
        << 0 << QByteArray("../Data") << QStringList{"--move-to", "@TARGET"} << true;
    QTest::newRow("local, relative new folder")
        << 0 << QByteArray("@DATA") << QStringList{"--move-to", "./New"} << true;
    QTest::newRow("remote") << 1 << QByteArray("@ROOT/Gone")
                            << QStringList{"--move-to", "@TARGET", "--from", "@DATA"} << false;
}

void tst_CommandLineMove::moves()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, settingsFolder);
    QFETCH(QStringList, args);
    QFETCH(bool, relative);
    Stage stage;
    QVERIFY(stage.IsValid());
    settingsFolder.replace("@ROOT/", stage.Root()).replace("@DATA", stage.DataFolder());
    stage.WriteSettings(mode, settingsFolder);
    const QByteArray before = stage.Settings();

    const Result result = RunFlitto(stage, args, During::Nothing, 0,
                                    relative ? QFile::decodeName(stage.Root()) : "/");
    QVERIFY2(result.Code == 0 && !result.Crashed, qPrintable(result.Err));
    QVERIFY(result.Out.contains("Copy completed."));
    QVERIFY(result.Out.contains("The log of this move is in " + QFile::decodeName(stage.State())));
    // Not a terminal: one plain line per file and step.
    QVERIFY2(result.Err.contains("Copying Messages.dat\n"), qPrintable(result.Err));
    QVERIFY(result.Err.contains("Checking Folders.idx\n"));
    QVERIFY(!result.Err.contains('\r'));

    for (const QByteArray &name : {QByteArray("Messages.dat"), QByteArray("Folders.idx")})
        QCOMPARE(FileTest::ReadFile(stage.Target() + '/' + name),
                 FileTest::ReadFile(stage.DataFolder() + '/' + name));
    if (mode == 0) {
        QByteArray expected = before;
        expected.replace(DataDirectoryLine(settingsFolder), DataDirectoryLine(stage.Target()));
        QCOMPARE(stage.Settings(), expected);
        QVERIFY(!result.Out.contains("Relaydesk"));
    } else {
        QCOMPARE(stage.Settings(), before);
        QVERIFY(result.Out.contains("Run Relaydesk"));
    }
    QVERIFY(stage.Log().contains("outcome: proven"));
}

void tst_CommandLineMove::exitCodes_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("says"); // on stdout for 0, on stderr otherwise

    const QStringList move = {"--move-to", "@TARGET"};
    QTest::newRow("--help") << QStringList{"--help"} << "" << 0 << "Exit codes:";
    QTest::newRow("-h") << QStringList{"-h"} << "" << 0 << "--move-to <folder>";
    QTest::newRow("--version") << QStringList{"--version"} << "" << 0 << "Flitto 4.0.0.0";
    // What a script asked for never arrived: it must not go on as if it had.
    QTest::newRow("--help, stdout fails")
        << QStringList{"--help"} << "stdout full" << 1 << "cannot write to standard output";
    QTest::newRow("--version, stdout fails")
        << QStringList{"--version"} << "stdout full" << 1 << "cannot write to standard output";
    QTest::newRow("unknown option")
        << QStringList{"--move-to", "@TARGET", "--bogus"} << "" << 2 << "Unknown option 'bogus'";
    // A typo never opens a window or aborts: without --move-to too.
    QTest::newRow("mistyped option alone")
        << QStringList{"--moveto", "@TARGET"} << "" << 2 << "Unknown option 'moveto'";
    QTest::newRow("unknown short option") << QStringList{"-x"} << "" << 2 << "Unknown option 'x'";
    QTest::newRow("stray word alone") << QStringList{"extra"} << "" << 2 << "unexpected argument";
    QTest::newRow("-?") << QStringList{"-?"} << "" << 0 << "Exit codes:";
    QTest::newRow("--help-all") << QStringList{"--help-all"} << "" << 0 << "-platform <value>";
    QTest::newRow("Qt's options beside the command line")
        << QStringList{"-style", "Fusion", "--check", "--move-to", "@TARGET"} << "" << 0
        << "The checks passed";
    QTest::newRow("empty --move-to")
        << QStringList{"--move-to", ""} << "" << 2 << "--move-to needs a folder";
    QTest::newRow("--settings that is not there")
        << QStringList{"--settings", "@ROOT/none.ini", "--move-to", "@TARGET"} << "" << 2
        << "there is no file";
    QTest::newRow("--from another folder")
        << QStringList{"--move-to", "@TARGET", "--from", "@ROOT/Quillbox"} << "" << 3
        << "--allow-other-source";
    QTest::newRow("no new folder") << QStringList{"--yes"} << "" << 2 << "--move-to FOLDER";
    // Shown, never obeyed: an escape sequence cannot clear the terminal.
    QTest::newRow("stray argument") << QStringList{"--move-to", "@TARGET", "\x1b[2J"} << "" << 2
                                    << "unexpected argument '\\x1b[2J'";
    QTest::newRow("remote without --from") << move << "remote" << 2 << "--from FOLDER";
    QTest::newRow("local without a folder") << move << "no data folder" << 2 << "--from FOLDER";
    QTest::newRow("no settings file") << move << "no settings" << 3 << "--settings FILE";
    QTest::newRow("unknown connection mode") << move << "mode 7" << 3 << "connection mode 7";
    QTest::newRow("no database files")
        << QStringList{"--move-to", "@TARGET", "--from", "@ROOT/Quillbox", "--allow-other-source"}
        << "" << 3 << "There are no database files (Messages.dat) in the data folder";
    QTest::newRow("new folder is a file") << move << "target file" << 3 << "is a file";
    // A move run again after it succeeded has nothing to do; in remote mode
    // the settings name no folder, so the same target is a mistake.
    QTest::newRow("new folder is the data folder")
        << QStringList{"--move-to", "@DATA"} << "" << 0 << "there is nothing to do";
    QTest::newRow("new folder is the data folder, remote")
        << QStringList{"--from", "@DATA", "--move-to", "@DATA"} << "remote" << 3
        << "is the current location";
    QTest::newRow("other files, no --yes") << move << "foreign" << 3 << "--yes";
    // A dry run goes on past the first finding: the writers come after the
    // other files.
    QTest::newRow("--check reports every finding")
        << QStringList{"--check", "--move-to", "@TARGET"} << "foreign and writing" << 3
        << "--allow-open-files";
    QTest::newRow("other files, --yes")
        << move + QStringList{"--yes"} << "foreign" << 0 << "Copy completed.";
    QTest::newRow("still written, no --yes") << move << "writing" << 3 << "--yes";
    QTest::newRow("still written, --yes")
        << move + QStringList{"--yes"} << "writing" << 0 << "Copy completed.";
    // Each risk has its own consent; --yes is both of these.
    QTest::newRow("still written, --allow-open-files")
        << move + QStringList{"--allow-open-files"} << "writing" << 0 << "Copy completed.";
    QTest::newRow("still written, only --allow-nonempty-target")
        << move + QStringList{"--allow-nonempty-target"} << "writing" << 3 << "--allow-open-files";
    // A new folder that a restart empties is a question of its own, not
    // answered by --yes.
    QTest::newRow("kept in memory, --yes")
        << move + QStringList{"--yes"} << "in memory" << 3 << "--allow-ram-target";
    QTest::newRow("kept in memory, --allow-ram-target")
        << move + QStringList{"--allow-ram-target"} << "in memory" << 0 << "Copy completed.";
    QTest::newRow("copy fails") << move << "dangling link" << 4
                                << "lost.dat failed: No such file or directory";
    QTest::newRow("proof fails") << move << "change big" << 5 << "changed while it was copied";
    QTest::newRow("settings not written") << move << "file limit" << 6 << "is complete and proven";
}

void tst_CommandLineMove::exitCodes()
{
    QFETCH(QStringList, args);
    QFETCH(QString, setup);
    QFETCH(int, code);
    QFETCH(QString, says);
    Stage stage;
    QVERIFY(stage.IsValid());
    During during = During::Nothing;
    QTemporaryDir memory(QStringLiteral("/dev/shm/tst_CommandLineMove-XXXXXX"));
    if (setup == "in memory") {
        struct statfs fs;
        if (!memory.isValid() || ::statfs("/dev/shm", &fs) != 0 || fs.f_type != TMPFS_MAGIC)
            QSKIP("This machine has no tmpfs at /dev/shm");
        args.replaceInStrings(QStringLiteral("@TARGET"), memory.path() + QStringLiteral("/New"));
    } else if (setup == "remote")
        stage.WriteSettings(1, stage.DataFolder());
    else if (setup == "no data folder")
        stage.WriteSettings(0, QByteArray());
    else if (setup == "no settings")
        QCOMPARE(::unlink(stage.SettingsFile().constData()), 0);
    else if (setup == "mode 7")
        stage.WriteSettings(7, stage.DataFolder());
    else if (setup == "target file")
        QVERIFY(FileTest::WriteFile(stage.Target(), "not a folder"));
    else if (setup == "foreign" || setup == "foreign and writing") {
        if (setup == "foreign and writing")
            during = During::HoldWriting;
        QCOMPARE(::mkdir(stage.Target().constData(), 0755), 0);
        QVERIFY(FileTest::WriteFile(stage.Target() + "/notes.txt", "mine"));
    } else if (setup == "writing")
        during = During::HoldWriting;
    else if (setup == "stdout full")
        during = During::FullOutput;
    else if (setup == "dangling link")
        QCOMPARE(::symlink("/nonexistent/lost",
                           QByteArray(stage.DataFolder() + "/lost.dat").constData()),
                 0);
    else if (setup == "change big") {
        stage.WriteBig();
        during = During::ChangeBig;
    } else if (setup == "file limit") {
        // The data fits under the limit, the settings file does not.
        stage.WriteSettings(0, stage.DataFolder(), "; " + QByteArray(20000, 'x') + "\r\n");
        during = During::FileLimit;
    }
    const QByteArray before = stage.Settings();

    const Result result = RunFlitto(stage, args, during);
    QVERIFY(!result.Crashed);
    QVERIFY2(result.Code == code, qPrintable(QString::number(result.Code) + ": " + result.Err));
    QVERIFY2((code == 0 ? result.Out : result.Err).contains(says),
             qPrintable(result.Out + result.Err));
    // Only a proven move changes the settings, and no failure leaves a
    // half-written copy.
    if (code != 0)
        QCOMPARE(stage.Settings(), before);
    QCOMPARE(stage.PartialFiles(), QByteArrayList());
}

void tst_CommandLineMove::checkLeavesNothing_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("target"); // below the stage's root
    QTest::addColumn<QString>("says");

    QTest::newRow("local, new folder") << 0 << "New"
                                       << "write";
    QTest::newRow("local, new folder three levels deep") << 0 << "New/a/b"
                                                         << "write";
    // A dry run only says which leftovers a move would remove.
    QTest::newRow("remote, existing folder with a leftover") << 1 << "Quillbox"
                                                             << "Relaydesk";
}

void tst_CommandLineMove::checkLeavesNothing()
{
    QFETCH(int, mode);
    QFETCH(QString, target);
    QFETCH(QString, says);
    Stage stage;
    QVERIFY(stage.IsValid());
    stage.WriteSettings(mode, stage.DataFolder());
    const QString folder = QFile::decodeName(stage.Root()) + target;
    if (target == "Quillbox") {
        // The program folder holds files; a folder of its own is the target.
        QCOMPARE(::mkdir(stage.Target().constData(), 0755), 0);
        QVERIFY(FileTest::WriteFile(stage.Target() + "/.flitto-5d.part", "half a copy"));
    }
    const QString targetArg = target == "Quillbox" ? QFile::decodeName(stage.Target()) : folder;
    QCOMPARE(::mkdir(QByteArray(stage.DataFolder() + "/Archive").constData(), 0755), 0);
    const QByteArrayList rootBefore = FileTest::ListFolder(stage.Root());
    const QByteArrayList dataBefore = FileTest::ListFolder(stage.DataFolder());
    const QByteArrayList targetBefore = FileTest::ListFolder(stage.Target());
    const QByteArray settingsBefore = stage.Settings();

    const Result result = RunFlitto(stage, {"--check", "--move-to", targetArg, "--from", "@DATA"});
    QVERIFY2(result.Code == 0, qPrintable(result.Err));
    QVERIFY(result.Out.contains("would copy 2 file(s)"));
    // The report: what stays behind, and the room.
    QVERIFY(result.Out.contains("Archive is a folder: it stays behind."));
    QVERIFY(result.Out.contains("free; the copy needs"));
    QVERIFY(result.Out.contains(says));
    QVERIFY(!result.Out.contains("Copy completed."));

    QCOMPARE(FileTest::ListFolder(stage.Root()), rootBefore);
    QCOMPARE(FileTest::ListFolder(stage.DataFolder()), dataBefore);
    QCOMPARE(FileTest::ListFolder(stage.Target()), targetBefore);
    QCOMPARE(stage.Settings(), settingsBefore);
}

void tst_CommandLineMove::stopBySignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("nohup"); // ignored from the start: the move goes on

    QTest::newRow("Ctrl-C") << int(SIGINT) << false;
    QTest::newRow("SIGTERM") << int(SIGTERM) << false;
    QTest::newRow("SSH session dropped") << int(SIGHUP) << false;
    QTest::newRow("SSH session dropped under nohup") << int(SIGHUP) << true;
}

void tst_CommandLineMove::stopBySignal()
{
    QFETCH(int, signal);
    QFETCH(bool, nohup);
    Stage stage;
    QVERIFY(stage.IsValid());
    stage.WriteBig();
    const QByteArray before = stage.Settings();

    const Result result = RunFlitto(stage, {"--move-to", "@TARGET"},
                                    nohup ? During::UnderNohup : During::Interrupt, signal);
    QVERIFY2(!result.Crashed, qPrintable(result.Err));
    if (nohup) {
        QVERIFY2(result.Code == 0 && result.Out.contains("Copy completed."),
                 qPrintable(result.Err));
        return;
    }
    QVERIFY2(result.Code == 128 + signal, qPrintable(result.Err));
    QVERIFY(result.Err.contains("stopped by"));
    QVERIFY(!result.Out.contains("Copy completed."));
    QCOMPARE(stage.Settings(), before);
    QCOMPARE(stage.PartialFiles(), QByteArrayList());
    // Stopped in the middle: the big file never arrived whole.
    QVERIFY(!FileTest::ListFolder(stage.Target()).contains(BigName));
    QVERIFY(stage.Log().contains("outcome: stopped"));
}

void tst_CommandLineMove::wizardArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM, "" for none

    QTest::newRow("no arguments") << QStringList{} << "offscreen";
    QTest::newRow("Qt's -platform") << QStringList{"-platform", "offscreen"} << "";
    QTest::newRow("Qt's -style") << QStringList{"-style", "Fusion"} << "offscreen";
    QTest::newRow("--settings") << QStringList{"--settings", "@ROOT/Quillbox/Quillbox.ini"}
                                << "offscreen";
}

void tst_CommandLineMove::wizardArguments()
{
    QFETCH(QStringList, args);
    QFETCH(QString, platform);
    Stage stage;
    QVERIFY(stage.IsValid());
    QProcess process;
    QProcessEnvironment env = Environment(stage);
    if (!platform.isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    process.setProcessEnvironment(env);
    args = Expand(args, stage);
    process.start(QFile::decodeName(stage.ProgramFolder() + "flitto"), args);
    QVERIFY(process.waitForStarted());
    // The wizard waits for the user; the command line would have ended.
    QVERIFY2(!process.waitForFinished(2000), qPrintable(process.readAllStandardError()));
    process.kill();
    process.waitForFinished();

    // And without a display the same arguments cannot start the wizard:
    // the command-line runs above really had none.
    if (platform.isEmpty())
        return;
    QProcess noDisplay;
    noDisplay.setProcessEnvironment(Environment(stage));
    noDisplay.start(QFile::decodeName(stage.ProgramFolder() + "flitto"), args);
    QVERIFY(noDisplay.waitForFinished(30000));
    QCOMPARE(noDisplay.exitStatus(), QProcess::NormalExit);
    QCOMPARE(noDisplay.exitCode(), 1);
    QVERIFY(noDisplay.readAllStandardError().contains("there is no display"));
}

void tst_CommandLineMove::quietAndLog_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("quiet");  // nothing on stdout or stderr
    QTest::addColumn<bool>("logged"); // the entry in the --log file
    QTest::newRow("--quiet") << QStringList{"--quiet"} << true << false;
    QTest::newRow("--log beside the user's log")
        << QStringList{"--log", "@ROOT/admin.log"} << false << true;
}

void tst_CommandLineMove::quietAndLog()
{
    QFETCH(QStringList, options);
    QFETCH(bool, quiet);
    QFETCH(bool, logged);
    Stage stage;
    QVERIFY(stage.IsValid());
    const Result result = RunFlitto(stage, QStringList{"--move-to", "@TARGET"} + options);
    QVERIFY2(result.Code == 0, qPrintable(result.Err));
    QCOMPARE(result.Out.isEmpty() && result.Err.isEmpty(), quiet);
    QCOMPARE(FileTest::ReadFile(stage.Root() + "admin.log").contains("outcome: proven"), logged);
    QVERIFY(stage.Log().contains("outcome: proven"));
}

void tst_CommandLineMove::folderNamesAsBytes()
{
    Stage stage;
    QVERIFY(stage.IsValid());
    // A name that is not valid UTF-8 reaches the program only through a
    // shell: the test's own arguments are text.
    const QByteArray target = stage.Target() + "\xff\xfe";
    QProcess process;
    process.setProcessEnvironment(Environment(stage));
    process.start(QStringLiteral("/bin/sh"),
                  {"-c", R"sh(exec "$0" --move-to "$1$(printf '\377\376')")sh",
                   QFile::decodeName(stage.ProgramFolder() + "flitto"),
                   QFile::decodeName(stage.Target())});
    QVERIFY(process.waitForFinished(60000));
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
    QCOMPARE(FileTest::ReadFile(target + "/Messages.dat"), QByteArray("mail"));
    QVERIFY(stage.Settings().contains(DataDirectoryLine(target)));
}

void tst_CommandLineMove::progressOnTerminal()
{
    Stage stage;
    QVERIFY(stage.IsValid());
    stage.WriteBig();
    // script(1) gives the program a terminal for its output.
    QProcess process;
    process.setProcessEnvironment(Environment(stage));
    const QString command = QStringLiteral("'%1' --move-to '%2'")
                                .arg(QFile::decodeName(stage.ProgramFolder() + "flitto"),
                                     QFile::decodeName(stage.Target()));
    process.start(QStringLiteral("script"),
                  {"-qefc", command, QFile::decodeName(stage.Root() + "typescript")});
    QVERIFY(process.waitForStarted());
    QVERIFY(process.waitForFinished(120000));
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    QVERIFY2(process.exitCode() == 0, qPrintable(out));
    QVERIFY(out.contains("\rCopying "));
    QVERIFY(out.contains(" files, "));
    QVERIFY(!out.contains("Copying Messages.dat"));
    QVERIFY(out.contains("Copy completed."));
}

QTEST_GUILESS_MAIN(tst_CommandLineMove)
#include "tst_CommandLineMove.moc"
