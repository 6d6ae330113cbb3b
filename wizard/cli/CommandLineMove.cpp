#include "wizard/cli/CommandLineMove.h"
#include "wizard/cli/ProgressLine.h"

#include "wizard/cli/LaunchArguments.h"

#include "fileutil/Exception.h"
#include "fileutil/FileUtil.h"
#include "wizard/move/DatabaseMove.h"
#include "wizard/move/MoveLog.h"
#include "wizard/settings/ConnectionMode.h"
#include "wizard/settings/Installation.h"
#include "wizard/settings/TIniFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <map>
#include <memory>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace CommandLineMove {

using namespace MoveErrors;

namespace {

// Set once a write to stdout has failed (a full disk, a closed pipe): the
// help or version a script asked for never arrived, and its exit code must
// say so.
bool g_outputLost = false;

// The first text lost on stdout is told on stderr, once: a script reading
// stdout cannot see it there.
void Write(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    // A buffered write only fails at the flush, and a failed one leaves the
    // stream's error set for good.
    const bool written =
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream) == size_t(bytes.size()) &&
        std::fflush(stream) == 0 && !std::ferror(stream);
    if (!written && stream == stdout && !g_outputLost) {
        g_outputLost = true;
        const int error = errno;
        Write(stderr, QStringLiteral("flitto: cannot write to standard output (%1).\n")
                          .arg(SystemErrorText(error != 0 ? error : EIO)));
    }
}

// The exit code of a run whose only task was its output: --help, --version.
int OutputStatus()
{
    return g_outputLost ? Unexpected : Done;
}

// Lines of text never carry a control character to the terminal, whatever
// an argument, a name or another program's name held.
void Out(const QString &line)
{
    Write(stdout, ShownText(line) + QLatin1Char('\n'));
}

// --quiet: only what went wrong, and the exit code.
bool g_quiet = false;
// --json: the report a program reads, filled by the move and written at the
// end instead of the text on stdout.
bool g_json = false;
QJsonObject g_report;

// What the move tells on its way and at its end, unless asked to be quiet.
void Info(const QString &line)
{
    if (!g_quiet)
        Out(line);
}

void Err(const QString &line)
{
    Write(stderr, ShownText(line) + QLatin1Char('\n'));
}

void Complain(const QString &text)
{
    Err(QStringLiteral("flitto: ") + Sentence(text));
}

int UsageFailure(const QString &text)
{
    Complain(text);
    Err(QStringLiteral("Try 'flitto --help' for more information."));
    return UsageError;
}

// The engine's texts speak of the window's buttons and its fields; on the
// command line the same advice names what to do there.
QString CommandLineText(QString text)
{
    static const std::pair<const char *, const char *> phrases[] = {
        {"Close it, then choose Retry.", "Close it, then run the move again."},
        {"Close these programs, then choose Retry.",
         "Close these programs, then run the move again."},
        {"Choose Retry to look again, or Ignore if none of them writes into the database "
         "folder.",
         "Run the move again to look again, or give --allow-open-files if none of them writes "
         "into the database folder."},
        {"then choose Retry, or Ignore if none of them writes into the database folder.",
         "then run the move again, or give --allow-open-files if none of them writes into the "
         "database folder."},
        {"There are no database files in the location you specified!",
         "There are no database files (Messages.dat) in the data folder"},
        {"or choose the folder with the Browse button.", "or quote the folder."},
    };
    for (const auto &[window, commandLine] : phrases)
        text.replace(QLatin1String(window), QLatin1String(commandLine));
    return text;
}

QString QtOptionsText()
{
    QString text = QStringLiteral("Options the wizard passes on to Qt:\n");
    for (const LaunchArguments::QtOption &option : LaunchArguments::QtOptions())
        text += QStringLiteral("  -%1%2\n      %3\n")
                    .arg(QLatin1String(option.Name),
                         option.TakesValue ? QStringLiteral(" <value>") : QString(),
                         QLatin1String(option.Help));
    return text;
}

QString ExitCodesText()
{
    return QStringLiteral(
        "Exit codes:\n"
        "  0      the move is done (with --check: the checks passed), or there was\n"
        "         nothing to do: Quillbox.ini already names the folder\n"
        "  1      an unexpected error (such as running out of memory) stopped Flitto\n"
        "         before the copy; nothing was copied or changed\n"
        "  2      wrong use: unknown option, missing --move-to or --from\n"
        "  3      a check refused the move, or a question needed --yes\n"
        "  4      the copy failed; Quillbox.ini is unchanged\n"
        "  5      a copy did not read back as its source, or the data folder changed\n"
        "         during the move; Quillbox.ini is unchanged\n"
        "  6      the copy is proven, but Quillbox.ini could not be written\n"
        "  128+N  stopped by signal N (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP); no\n"
        "         half-written file is left, Quillbox.ini is unchanged. A second\n"
        "         signal ends Flitto at once, with 128 + its number: Quillbox.ini is\n"
        "         still unchanged, and the next run cleans up the new folder\n");
}

// A path argument's bytes as they came, not as text: a folder name that is
// not valid in the locale's encoding must reach the file system unchanged.
// The parser has already accepted the arguments, so only the two forms it
// takes are looked for; the last one counts, as with the parser.
QByteArray RawValue(const QList<QByteArray> &args, const QByteArray &option)
{
    QByteArray value;
    const QByteArray joined = option + '=';
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QByteArray &arg = args.at(i);
        if (arg == "--")
            break;
        if (arg == option && i + 1 < args.size())
            value = args.at(++i);
        else if (arg.startsWith(joined))
            value = arg.mid(joined.size());
    }
    return value;
}

// Both names lead to one folder (or, where either is missing, read alike).
bool SameFolder(const QByteArray &a, const QByteArray &b)
{
    struct stat one, other;
    if (::stat(a.constData(), &one) == 0 && ::stat(b.constData(), &other) == 0)
        return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
    return FileUtil::WithTrailingSeparator(a) == FileUtil::WithTrailingSeparator(b);
}

// --settings must name a file, for the wizard and the command line alike:
// Done, or the usage error told.
int RequireSettingsFile(const QByteArray &file)
{
    if (FileUtil::IsExistingFile(file))
        return Done;
    return UsageFailure(QStringLiteral("--settings: there is no file %1").arg(PathText(file)));
}

// A folder given relative to the current folder, made absolute: Quillbox
// reads its data folder from the settings file, wherever it was started.
QByteArray AbsoluteFolder(const QByteArray &folder)
{
    if (folder.isEmpty() || folder.startsWith('/'))
        return folder;
    QByteArray cwd(PATH_MAX, Qt::Uninitialized);
    if (!::getcwd(cwd.data(), size_t(cwd.size())))
        return folder;
    cwd.truncate(qsizetype(std::strlen(cwd.constData())));
    QByteArray rest = folder;
    while (rest.startsWith("./"))
        rest = rest.mid(2);
    if (rest == ".")
        rest.clear();
    return FileUtil::WithTrailingSeparator(cwd) + rest;
}

int TerminalWidth()
{
    struct winsize size = {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

// The signal that stopped the move, and the pipe that carries it from the
// handler to the main thread's event loop, where the move may be stopped.
// Atomic, not just volatile: two signals may meet in handlers on two threads.
std::atomic<int> g_signal = 0;
static_assert(std::atomic<int>::is_always_lock_free, "used in a signal handler");
// Set once Quillbox.ini may be replaced: from then on "unchanged" may be
// untrue.
std::atomic<bool> g_replacingSettings = false;
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");
int g_signalPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int signal)
{
    const int savedErrno = errno;
    int first = 0;
    if (!g_signal.compare_exchange_strong(first, signal)) {
        // The user asked twice: the polite stop may be waiting for a file
        // system that no longer answers. Quillbox.ini is only ever replaced
        // by a rename, so it is the old file or the new one, never half of
        // either. Only async-signal-safe calls from here on.
        static const char unchanged[] = "\nflitto: stopped at once; Quillbox.ini is unchanged, "
                                        "and the next run cleans up the new folder.\n";
        static const char replacing[] = "\nflitto: stopped at once while Quillbox.ini was being "
                                        "replaced: it names either the old or the new data "
                                        "folder.\n";
        [[maybe_unused]] const ssize_t told =
            g_replacingSettings ? ::write(STDERR_FILENO, replacing, sizeof replacing - 1)
                                : ::write(STDERR_FILENO, unchanged, sizeof unchanged - 1);
        ::_exit(InterruptedBase + signal);
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    errno = savedErrno;
}

// Ctrl-C, SIGTERM and SIGHUP (a dropped SSH session) act as a confirmed
// Cancel for as long as this lives: the move stops within its current file
// and its half-written copy is removed, instead of the process dying in the
// middle of a write. A second one ends the process at once, in the handler:
// the stop waits for the copy, and a copy may wait for ever on a file system
// that stopped answering.
class StopOnSignals
{
public:
    explicit StopOnSignals(std::function<void()> stop) : m_stop(std::move(stop))
    {
        g_signal = 0;
        g_replacingSettings = false;
        if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
            char buffer[16];
            while (::read(g_signalPipe[0], buffer, sizeof buffer) > 0) {
            }
            m_stop();
        });
        struct sigaction action = {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        // The copy's reads and writes go on where the signal met them; the
        // stop request ends the copy between two chunks.
        action.sa_flags = SA_RESTART;
        for (int i = 0; i < SignalCount; ++i) {
            // A signal ignored at start stays ignored: under nohup a hangup
            // must not stop the move.
            ::sigaction(Signals[i], nullptr, &m_old[i]);
            if (m_old[i].sa_handler != SIG_IGN)
                ::sigaction(Signals[i], &action, nullptr);
        }
    }

    ~StopOnSignals()
    {
        if (g_signalPipe[0] < 0)
            return;
        for (int i = 0; i < SignalCount; ++i)
            ::sigaction(Signals[i], &m_old[i], nullptr);
        m_notifier.reset();
        ::close(g_signalPipe[0]);
        ::close(g_signalPipe[1]);
        g_signalPipe[0] = g_signalPipe[1] = -1;
    }

    StopOnSignals(const StopOnSignals &) = delete;
    StopOnSignals &operator=(const StopOnSignals &) = delete;

    // The first signal that came, 0 when none did.
    int Signal() const { return g_signal; }
    // Quillbox.ini may be replaced from now on.
    void ReplacingSettings() const { g_replacingSettings = true; }

private:
    static constexpr int SignalCount = 3;
    static constexpr int Signals[SignalCount] = {SIGINT, SIGTERM, SIGHUP};

    std::function<void()> m_stop;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_old[SignalCount] = {};
};

// What the user asked for on the command line.
struct Arguments
{
    bool Check = false;
    bool AllowOpenFiles = false;
    bool AllowNonEmptyTarget = false;
    bool AllowRamTarget = false;
    bool AllowOtherSource = false;
    bool NoResume = false;
    QByteArray SettingsFile; // empty: beside the program
    QByteArray Target;
    QByteArray From;
};

// What the move shows, on a terminal or in a log: one redrawn line on a
// terminal, plain lines otherwise. Questions are answered by options, each
// risk by its own.
class CommandLineView : public MoveView
{
public:
    CommandLineView(const Arguments &args, bool terminal) : m_args(args), m_terminal(terminal) {}
    ~CommandLineView() override { ClearLine(); }
    CommandLineView(const CommandLineView &) = delete;
    CommandLineView &operator=(const CommandLineView &) = delete;

    void Refuse(const QString &text) override
    {
        ClearLine();
        Complain(CommandLineText(text));
    }

    WritersAnswer AskWriters(const QString &text) override
    {
        return GoOnWhen(m_args.AllowOpenFiles, QStringLiteral("--allow-open-files"), text,
                        QStringLiteral("Close Quillbox and run the move again, or give "
                                       "--allow-open-files (or --yes) to move anyway."))
                   ? WritersAnswer::Ignore
                   : WritersAnswer::Cancel;
    }

    bool AskForeignFiles(const QString &text) override
    {
        return GoOnWhen(m_args.AllowNonEmptyTarget, QStringLiteral("--allow-nonempty-target"), text,
                        QStringLiteral("Choose another folder, or give --allow-nonempty-target "
                                       "(or --yes) to copy into this one."));
    }

    // Not covered by --yes: files still being written can be retried, a
    // folder that a restart empties cannot.
    bool AskRamTarget(const QString &text) override
    {
        return GoOnWhen(m_args.AllowRamTarget, QStringLiteral("--allow-ram-target"), text,
                        QStringLiteral("Choose a folder on a disk, or give --allow-ram-target to "
                                       "move there anyway."));
    }

    void Starting(const QByteArray &, const QByteArray &) override {}

    void Listed(const QByteArrayList &names, qint64 totalBytes) override
    {
        m_files = int(names.size());
        m_totalBytes = totalBytes;
        m_elapsed.start();
    }

    void Resumed(int proven, int files) override
    {
        ClearLine();
        Info(DatabaseMove::ResumedText(proven, files) + QLatin1Char('.'));
    }

    void Copying(int index, const QByteArray &name) override
    {
        m_filesDone = index;
        if (g_quiet)
            return;
        if (!m_terminal)
            Step(QStringLiteral("Copying ") + PathText(name));
        else
            Draw(false);
    }

    void Progress(qint64 bytesDone) override
    {
        m_bytesDone = bytesDone;
        Draw(false);
    }

    void Copied(int index) override
    {
        m_filesDone = index + 1;
        Draw(false);
    }

    void Checking(const QByteArray &name) override
    {
        if (!m_checking) {
            m_checking = true;
            m_filesDone = 0;
        }
        if (g_quiet)
            return;
        if (!m_terminal) {
            Step(QStringLiteral("Checking ") + PathText(name));
            return;
        }
        Draw(m_filesDone == 0);
        ++m_filesDone;
    }

    // Takes the progress line off the terminal before other text is written.
    void ClearLine()
    {
        if (m_drawnLength == 0)
            return;
        Write(stderr,
              QLatin1Char('\r') + QString(m_drawnLength, QLatin1Char(' ')) + QLatin1Char('\r'));
        m_drawnLength = 0;
    }

private:
    // A question the command line cannot ask: the option answers it, or the
    // move ends with the advice.
    bool GoOnWhen(bool allowed, const QString &option, const QString &text, const QString &advice)
    {
        ClearLine();
        if (allowed) {
            Err(QStringLiteral("flitto: warning: ") + Sentence(CommandLineText(text)));
            Err(QStringLiteral("Going on all the same (%1).").arg(option));
            return true;
        }
        Complain(CommandLineText(text));
        Err(advice);
        return false;
    }

    // Drawn when a tenth of a second has passed since the last drawing (or
    // at once when forced): a terminal redrawn for each of thousands of small
    // files would cost more than copying them.
    void Step(const QString &line)
    {
        if (!g_quiet)
            Err(line);
    }

    void Draw(bool force)
    {
        if (g_quiet)
            return;
        if (!m_terminal)
            return;
        if (!force && m_drawn.isValid() && m_drawn.elapsed() < 100)
            return;
        m_drawn.start();
        const QString line =
            m_checking ? ProgressLine(QStringLiteral("Checking"), m_filesDone, m_files, 0, -1,
                                      m_elapsed.elapsed(), TerminalWidth() - 1)
                       : ProgressLine(QStringLiteral("Copying"), m_filesDone, m_files, m_bytesDone,
                                      m_totalBytes, m_elapsed.elapsed(), TerminalWidth() - 1);
        const int length = int(line.size());
        QString text = QLatin1Char('\r') + line;
        if (length < m_drawnLength)
            text += QString(m_drawnLength - length, QLatin1Char(' '));
        Write(stderr, text);
        m_drawnLength = std::max(length, m_drawnLength);
    }

    const Arguments &m_args;
    bool m_terminal;
    int m_files = 0;
    int m_filesDone = 0;
    qint64 m_bytesDone = 0;
    qint64 m_totalBytes = 0;
    bool m_checking = false;
    QElapsedTimer m_elapsed;
    QElapsedTimer m_drawn;
    int m_drawnLength = 0;
};

// A dry run's report: what a move would copy and leave behind, and the
// room it needs; then whether it would run.
void DescribeMove(const DatabaseMove &move, bool passed)
{
    const DatabaseMove::Plan &plan = move.GetPlan();
    qint64 bytes = 0;
    for (const MoveChecks::SourceFile &file : move.Files())
        bytes += file.Size;
    Info(QStringLiteral("The data folder %1 holds %2 file(s), %3.")
             .arg(PathText(plan.Source))
             .arg(move.Files().size())
             .arg(MoveChecks::DataSize(bytes)));
    for (const MoveChecks::LeftBehind &entry : move.EntriesLeftBehind()) {
        switch (entry.Type) {
        case MoveChecks::LeftBehind::Kind::Folder:
            Info(QStringLiteral("  %1 is a folder: it stays behind.").arg(PathText(entry.Name)));
            break;
        case MoveChecks::LeftBehind::Kind::Special:
            Info(QStringLiteral("  %1 is no file (a pipe, socket or device): it stays behind.")
                     .arg(PathText(entry.Name)));
            break;
        case MoveChecks::LeftBehind::Kind::LinkFollowed:
            Info(QStringLiteral("  %1 is a link: the file it leads to is copied as a file.")
                     .arg(PathText(entry.Name)));
            break;
        }
    }
    if (const std::optional<MoveChecks::SpaceReport> space = move.Space())
        Info(QStringLiteral("%1 has %2 free; the copy needs %3.")
                 .arg(PathText(plan.Target), MoveChecks::DataSize(space->Figures.Available),
                      MoveChecks::DataSize(space->Needed)));
    if (!passed) {
        Info(QStringLiteral("A move would not run: see what the checks found above."));
        return;
    }
    Info(QStringLiteral("The checks passed. A move would copy %1 file(s), %2, from %3 to %4.")
             .arg(move.Files().size())
             .arg(MoveChecks::DataSize(bytes), PathText(plan.Source), PathText(plan.Target)));
    if (plan.Mode == ConnectionMode::Local)
        Info(QStringLiteral("It would then write %1 into %2 as the data folder.")
                 .arg(PathText(plan.Target), PathText(plan.SettingsFile)));
    else
        Info(QStringLiteral("Quillbox connects through the Quillbox Server (remote mode): %1 "
                            "would stay as it is, and the server would have to be told with "
                            "Relaydesk.")
                 .arg(PathText(plan.SettingsFile)));
}

QString SignalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return QStringLiteral("Ctrl-C (SIGINT)");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
    case SIGHUP:
        return QStringLiteral("SIGHUP (the terminal went away)");
    default:
        return QStringLiteral("signal %1").arg(signal);
    }
}

int Interrupted(int signal, const DatabaseMove::Plan &plan)
{
    Complain(QStringLiteral("stopped by %1: the files copied so far stay in %2 and Quillbox "
                            "still uses %3; %4 is unchanged")
                 .arg(SignalName(signal), PathText(plan.Target), PathText(plan.Source),
                      PathText(plan.SettingsFile)));
    return InterruptedBase + signal;
}

// An error told as the window tells it, with the exit code that its stage
// stands for.
int Failed(const std::exception_ptr &error, MoveErrors::Stage stage)
{
    const ErrorReport report = ReportOf(error);
    if (!report.Silent)
        Complain(report.Message);
    if (!report.Details.isEmpty())
        Err(report.Details);
    return MoveErrors::ExitCodeOf(error, stage);
}

// A dry run ends with its report, once the checks have looked at every
// finding.
int EndDryRun(DatabaseMove &move, bool passed)
{
    if (passed)
        move.LogDryRun();
    DescribeMove(move, passed);
    return passed ? Done : Refused;
}

// After the proof: local mode writes the new folder into Quillbox.ini;
// remote mode leaves it as it is, and the user tells the server.
void ChangeSettings(const DatabaseMove::Plan &plan, DatabaseMove &move,
                    const StopOnSignals &stopper)
{
    if (plan.Mode == ConnectionMode::Local) {
        stopper.ReplacingSettings();
        DatabaseMove::WriteSettings(&move, plan);
        Info(QStringLiteral("%1 now names %2 as the data folder.")
                 .arg(PathText(plan.SettingsFile), PathText(plan.Target)));
        return;
    }
    DatabaseMove::ConfirmMove(&move, plan);
    move.Conclude();
    Info(QStringLiteral("Now that the Quillbox database has been moved, you need to notify "
                        "the Quillbox Server of this change. Run Relaydesk and give it the "
                        "new location %1.")
             .arg(PathText(plan.Target)));
}

// What may become of the old data folder once the move is done.
void TellOldFolder(const DatabaseMove &move, const DatabaseMove::Plan &plan)
{
    // The checks refuse folders inside each other; this says so only
    // when it still holds.
    if (move.FoldersApart())
        Info(QStringLiteral("The old data folder %1 is unchanged. Once Quillbox works with the "
                            "new location, you can delete it.")
                 .arg(PathText(plan.Source)));
    else
        Info(QStringLiteral("The old data folder %1 is unchanged. Keep it: the new location "
                            "and the old one lie inside each other.")
                 .arg(PathText(plan.Source)));
}

// A step of the move that failed at stage: told, with the exit code it
// stands for.
int FailedStep(const std::exception_ptr &error, const DatabaseMove::Plan &plan,
               MoveErrors::Stage stage, const StopOnSignals &stopper)
{
    const int code = Failed(error, stage);
    if (stage == MoveErrors::Stage::Checks && stopper.Signal() != 0)
        return Interrupted(stopper.Signal(), plan);
    if (code == SettingsFailed)
        Err(QStringLiteral("The copy in %1 is complete and proven, but Quillbox still uses %2.")
                .arg(PathText(plan.Target), PathText(plan.Source)));
    return code;
}

int MoveSteps(const DatabaseMove::Plan &plan, const Arguments &args, CommandLineView &view,
              DatabaseMove &move)
{
    const StopOnSignals stopper([&move] { move.Stop(); });

    MoveErrors::Stage stage = MoveErrors::Stage::Checks;
    try {
        const bool passed = move.Check(args.Check ? DatabaseMove::Checking::DryRun
                                                  : DatabaseMove::Checking::ForMove);
        if (stopper.Signal() != 0)
            return Interrupted(stopper.Signal(), plan);
        if (args.Check)
            return EndDryRun(move, passed);
        if (!passed)
            return Refused;

        stage = MoveErrors::Stage::Copy;
        const DatabaseMove::Outcome outcome = move.Run();
        view.ClearLine();
        // A signal that came after the last file was proven still keeps the
        // settings as they are: the user asked to cancel.
        if (outcome != DatabaseMove::Outcome::Proven || stopper.Signal() != 0)
            return Interrupted(stopper.Signal() != 0 ? stopper.Signal() : SIGINT, plan);
        Info(QStringLiteral("Copy completed."));

        stage = MoveErrors::Stage::Settings;
        ChangeSettings(plan, move, stopper);
        TellOldFolder(move, plan);
        return Done;
    } catch (...) {
        view.ClearLine();
        return FailedStep(std::current_exception(), plan, stage, stopper);
    }
}

// A name for a program to read: the text as the locale decodes it; JSON
// escapes what it must.
QJsonValue NameValue(const QByteArray &name)
{
    return QFile::decodeName(name);
}

// The move as --json reports it; the outcome and the exit code are added
// where the run ends.
QJsonObject ReportOf(const DatabaseMove &move, const Arguments &args)
{
    const DatabaseMove::Plan &plan = move.GetPlan();
    QJsonObject report;
    report[QStringLiteral("source")] = NameValue(plan.Source);
    report[QStringLiteral("target")] = NameValue(plan.Target);
    report[QStringLiteral("settingsFile")] = NameValue(plan.SettingsFile);
    report[QStringLiteral("mode")] =
        plan.Mode == ConnectionMode::Local ? QStringLiteral("local") : QStringLiteral("remote");
    report[QStringLiteral("dryRun")] = args.Check;
    QJsonArray checks;
    for (const auto &[name, result] : move.Log().Checks())
        checks.append(
            QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("result"), result}});
    report[QStringLiteral("checks")] = checks;
    QJsonArray files;
    if (!move.Log().Copied().isEmpty()) {
        for (const MoveLog::CopiedFile &file : move.Log().Copied())
            files.append(
                QJsonObject{{QStringLiteral("name"), NameValue(file.Name)},
                            {QStringLiteral("size"), double(file.Size)},
                            {QStringLiteral("xxh3"),
                             QString::fromLatin1(
                                 QByteArray::number(file.Checksum, 16).rightJustified(16, '0'))}});
    } else {
        for (const MoveChecks::SourceFile &file : move.Files())
            files.append(QJsonObject{{QStringLiteral("name"), NameValue(file.Name)},
                                     {QStringLiteral("size"), double(file.Size)},
                                     {QStringLiteral("xxh3"), QJsonValue()}});
    }
    report[QStringLiteral("files")] = files;
    report[QStringLiteral("resumed")] = move.Resumed();
    report[QStringLiteral("log")] = move.LogPath();
    return report;
}

// What the exit code says, as a word for a program.
QString OutcomeName(int code, bool dryRun)
{
    switch (code) {
    case Done:
        return dryRun ? QStringLiteral("would move") : QStringLiteral("moved");
    case Unexpected:
        return QStringLiteral("unexpected error");
    case Refused:
        return QStringLiteral("refused");
    case CopyFailed:
        return QStringLiteral("copy failed");
    case ProofFailed:
        return QStringLiteral("proof failed");
    case SettingsFailed:
        return QStringLiteral("settings not written");
    default:
        return code > InterruptedBase ? QStringLiteral("stopped") : QStringLiteral("failed");
    }
}

int Move(const DatabaseMove::Plan &plan, const Arguments &args)
{
    CommandLineView view(args, ::isatty(STDERR_FILENO) == 1);
    DatabaseMove move(plan, &view);
    move.SetResume(!args.NoResume);
    const int code = MoveSteps(plan, args, view, move);
    if (g_json)
        g_report = ReportOf(move, args);
    // Every run ends by saying where its log is; a failure's details have
    // said it already.
    if (!move.Log().IsWritten())
        Err(QStringLiteral("flitto: warning: the move log %1 could not be written.")
                .arg(move.LogPath()));
    else if (code == Done)
        Info(QStringLiteral("The log of this move is in %1.").arg(move.LogPath()));
    else if (code == Refused || code > InterruptedBase)
        Err(QStringLiteral("The log of this move is in %1.").arg(move.LogPath()));
    return code;
}

// Run again after it succeeded (by a script that cannot tell), the move
// has nothing left to do: that is its success too.
int NothingToDo(const DatabaseMove::Plan &plan, const Arguments &args)
{
    Info(QStringLiteral("%1 already names %2 as the data folder: there is nothing to do.")
             .arg(PathText(plan.SettingsFile), PathText(plan.Target)));
    g_report = QJsonObject{{QStringLiteral("source"), NameValue(plan.Source)},
                           {QStringLiteral("target"), NameValue(plan.Target)},
                           {QStringLiteral("settingsFile"), NameValue(plan.SettingsFile)},
                           {QStringLiteral("mode"), QStringLiteral("local")},
                           {QStringLiteral("dryRun"), args.Check},
                           {QStringLiteral("outcome"), QStringLiteral("nothing to do")}};
    return Done;
}

// Local mode: the folder moved is the data folder the settings name, or
// the one --from names. The exit code of a run that ends here.
std::optional<int> PlanLocalSource(const Arguments &args, const TIniFile &settings,
                                   DatabaseMove::Plan *plan)
{
    const QByteArray named = Installation::DataFolderOf(
        settings.ReadString(Installation::SettingsSection, Installation::DataDirectoryKey,
                            QByteArray()),
        plan->SettingsFile);
    plan->Source = args.From.isEmpty() ? named : args.From;
    // The folder moved becomes Quillbox's database: one other than the
    // folder Quillbox uses now (a stale backup given by mistake) only
    // on request.
    if (!named.isEmpty() && !args.AllowOtherSource && !SameFolder(named, plan->Source)) {
        Complain(QStringLiteral("--from %1 is not the data folder %2 that %3 names. Moving "
                                "it would make it Quillbox's database and leave the mail in "
                                "%2 behind")
                     .arg(PathText(plan->Source), PathText(named), PathText(plan->SettingsFile)));
        Err(QStringLiteral("Leave out --from, or give --allow-other-source if that folder is "
                           "the one to move."));
        return Refused;
    }
    if (plan->Source.isEmpty())
        return UsageFailure(QStringLiteral("%1 names no data folder: give it with --from FOLDER")
                                .arg(PathText(plan->SettingsFile)));
    if (MoveChecks::IsSameFolder(named, plan->Source) &&
        MoveChecks::IsSameFolder(named, plan->Target))
        return NothingToDo(*plan, args);
    return std::nullopt;
}

// Remote mode: only --from can tell the folder moved. The exit code of a
// run that ends here.
std::optional<int> PlanRemoteSource(const Arguments &args, DatabaseMove::Plan *plan)
{
    if (args.From.isEmpty())
        return UsageFailure(QStringLiteral(
            "Quillbox connects through the Quillbox Server (remote mode), so the settings "
            "cannot tell the current data folder: give it with --from FOLDER"));
    plan->Source = args.From;
    return std::nullopt;
}

// The installation's settings and the options make the plan; then the move.
int PlanAndMove(const Arguments &args)
{
    DatabaseMove::Plan plan;
    plan.SettingsFile = args.SettingsFile.isEmpty()
                            ? Installation::SettingsFileIn(FileUtil::ProgramFolder())
                            : args.SettingsFile;
    plan.Target = args.Target;
    if (!FileUtil::IsExistingFile(plan.SettingsFile)) {
        Complain(QStringLiteral("there is no Quillbox.ini in %1, the folder of this program. Give "
                                "the installation's settings file with --settings FILE, or copy "
                                "flitto into the Quillbox folder")
                     .arg(PathText(FileUtil::ProgramFolder())));
        return Refused;
    }
    // What the move compares the file with before it writes: a change made
    // meanwhile by another move, or by hand, is never overwritten.
    plan.Loaded = Installation::ReadSnapshot(plan.SettingsFile);
    const TIniFile settings(plan.SettingsFile);
    const qint32 stored =
        settings.ReadInteger(Installation::SettingsSection, Installation::ConnectionModeKey, 0);
    plan.Mode = ConnectionModeOf(stored);
    if (plan.Mode == ConnectionMode::None) {
        Complain(QStringLiteral("%1 gives the connection mode %2, which is neither local (0) nor "
                                "remote (1). Correct it with the wizard or in the file")
                     .arg(PathText(plan.SettingsFile))
                     .arg(stored));
        return Refused;
    }
    const std::optional<int> ended = plan.Mode == ConnectionMode::Local
                                         ? PlanLocalSource(args, settings, &plan)
                                         : PlanRemoteSource(args, &plan);
    return ended ? *ended : Move(plan, args);
}

// Every option of a move, named in the table below.
enum class Option
{
    MoveTo,
    From,
    Settings,
    Check,
    AllowOpenFiles,
    AllowNonEmptyTarget,
    Yes,
    AllowRamTarget,
    AllowOtherSource,
    NoResume,
    Json,
    Quiet,
    Log,
    Help,
    HelpAll,
    Version,
};

// The options as --help lists them, in its order: the names (split at
// the commas), the help, and the name of the value of those that take one.
struct OptionText
{
    Option Id;
    const char *Names;
    const char *Help;
    const char *Value = nullptr;
};

constexpr OptionText OptionTexts[] = {
    {Option::MoveTo, "move-to", "Move the database to <folder> (missing folders are created).",
     "folder"},
    {Option::From, "from",
     "The current data folder. Local mode: one other than the DataDirectory of Quillbox.ini "
     "needs --allow-other-source. Remote mode: required.",
     "folder"},
    {Option::Settings, "settings",
     "The installation's Quillbox.ini, instead of the one beside this program (also for the "
     "wizard).",
     "file"},
    {Option::Check, "check",
     "Only run the checks and say what a move would do; nothing is copied or changed."},
    {Option::AllowOpenFiles, "allow-open-files",
     "Go on when programs (Quillbox) still have database files open for writing."},
    {Option::AllowNonEmptyTarget, "allow-nonempty-target",
     "Go on when the new folder already holds files that are not part of the database."},
    {Option::Yes, "yes", "The same as --allow-open-files --allow-nonempty-target."},
    {Option::AllowRamTarget, "allow-ram-target",
     "Go on when the new folder is on a file system kept in memory (tmpfs), which a restart "
     "empties. --yes does not cover it."},
    {Option::AllowOtherSource, "allow-other-source",
     "Local mode: move the folder --from names although Quillbox.ini names another one. --yes "
     "does not cover it."},
    {Option::NoResume, "no-resume",
     "Copy every file again, even those an interrupted move into the same folder already "
     "copied and proved."},
    {Option::Json, "json",
     "Instead of the text on stdout, one JSON object at the end: the folders, the files, the "
     "checks, the outcome, the log and the exit code."},
    {Option::Quiet, "q,quiet", "No progress and no report: only errors, and the exit code."},
    {Option::Log, "log", "Append the move's log entry to <file> too, beside the user's move log.",
     "file"},
    {Option::Help, "h,?,help", "Show this help, and the exit codes."},
    {Option::HelpAll, "help-all", "Also show the options the wizard passes on to Qt."},
    {Option::Version, "v,version", "Show the version."},
};

// The parser, given every option of the table.
class Options
{
public:
    Options()
    {
        m_parser.setApplicationDescription(QStringLiteral(
            "Moves the Quillbox database to a new folder without a window. Flitto reads "
            "Quillbox.ini beside its own program, or the file --settings names. Started with no "
            "option but --settings and Qt's own, Flitto is the wizard."));
        for (const OptionText &text : OptionTexts) {
            const QCommandLineOption option(QString::fromLatin1(text.Names).split(QLatin1Char(',')),
                                            QString::fromUtf8(text.Help),
                                            text.Value ? QString::fromLatin1(text.Value)
                                                       : QString());
            m_parser.addOption(option);
            m_options.emplace(text.Id, option);
        }
    }

    bool Parse(const QStringList &arguments) { return m_parser.parse(arguments); }
    const QCommandLineParser &Parser() const { return m_parser; }
    bool IsSet(Option option) const { return m_parser.isSet(m_options.at(option)); }

private:
    QCommandLineParser m_parser;
    std::map<Option, QCommandLineOption> m_options;
};

// --help, --help-all and --version: a run whose only task is its output.
// Its exit code, or none for a move.
std::optional<int> ShowAsked(const Options &options, const std::function<QString()> &version)
{
    if (options.IsSet(Option::Help) || options.IsSet(Option::HelpAll)) {
        QString text = options.Parser().helpText() + QLatin1Char('\n') + ExitCodesText();
        if (options.IsSet(Option::HelpAll))
            text += QLatin1Char('\n') + QtOptionsText();
        Write(stdout, text);
        return OutputStatus();
    }
    if (options.IsSet(Option::Version)) {
        Out(QStringLiteral("Flitto ") + version());
        return OutputStatus();
    }
    return std::nullopt;
}

// How the run tells what it does: on stdout, quietly, or as JSON; and the
// log entry in one more file.
void TakeOutputOptions(const Options &options, const QList<QByteArray> &kept)
{
    g_json = options.IsSet(Option::Json);
    g_quiet = options.IsSet(Option::Quiet) || g_json;
    if (options.IsSet(Option::Log))
        MoveLog::SetAlsoTo(AbsoluteFolder(RawValue(kept, QByteArrayLiteral("--log"))));
}

// The options that each answer a question of the checks, or choose a way
// of moving. --yes answers the questions a retry can settle, not those
// whose risk stays.
struct Flag
{
    Option Given;
    bool Arguments::*Sets;
    bool ByYes;
};

constexpr Flag Flags[] = {
    {Option::Check, &Arguments::Check, false},
    {Option::AllowOpenFiles, &Arguments::AllowOpenFiles, true},
    {Option::AllowNonEmptyTarget, &Arguments::AllowNonEmptyTarget, true},
    {Option::AllowRamTarget, &Arguments::AllowRamTarget, false},
    {Option::AllowOtherSource, &Arguments::AllowOtherSource, false},
    {Option::NoResume, &Arguments::NoResume, false},
};

void TakeFlags(const Options &options, Arguments *args)
{
    for (const Flag &flag : Flags)
        args->*flag.Sets = (flag.ByYes && options.IsSet(Option::Yes)) || options.IsSet(flag.Given);
}

// The folders and the settings file, as the file system must get them:
// Done, or the usage error told.
int TakeFolders(const Options &options, const QList<QByteArray> &kept, Arguments *args)
{
    const QByteArray target = RawValue(kept, QByteArrayLiteral("--move-to"));
    if (target.isEmpty())
        return UsageFailure(QStringLiteral("--move-to needs a folder"));
    args->Target = AbsoluteFolder(target);
    if (options.IsSet(Option::From))
        args->From = AbsoluteFolder(RawValue(kept, QByteArrayLiteral("--from")));
    if (!options.IsSet(Option::Settings))
        return Done;
    args->SettingsFile = AbsoluteFolder(RawValue(kept, QByteArrayLiteral("--settings")));
    return RequireSettingsFile(args->SettingsFile);
}

// What a move was asked to do: Done with args filled in, or the usage
// error told.
int TakeArguments(const Options &options, const QList<QByteArray> &kept, Arguments *args)
{
    const QStringList positional = options.Parser().positionalArguments();
    if (!positional.isEmpty())
        return UsageFailure(QStringLiteral("unexpected argument '%1'").arg(positional.first()));
    if (!options.IsSet(Option::MoveTo))
        return UsageFailure(QStringLiteral("say where to move the database with --move-to FOLDER"));
    TakeOutputOptions(options, kept);
    TakeFlags(options, args);
    return TakeFolders(options, kept, args);
}

// --json: the report, with the run's outcome and exit code, as the one
// thing on stdout. The exit code, unless the report could not be written.
int WriteReport(int code, bool dryRun)
{
    if (!g_report.contains(QStringLiteral("outcome")))
        g_report[QStringLiteral("outcome")] = OutcomeName(code, dryRun);
    g_report[QStringLiteral("exitCode")] = code;
    Write(stdout, QString::fromUtf8(QJsonDocument(g_report).toJson(QJsonDocument::Compact)) +
                      QLatin1Char('\n'));
    return OutputStatus() == Done ? code : Unexpected;
}

int MoveAndReport(const Arguments &args)
{
    // Whatever goes wrong from here on gets a message and an exit code,
    // never an abort.
    int code = Unexpected;
    try {
        code = PlanAndMove(args);
    } catch (...) {
        code = Failed(std::current_exception(), MoveErrors::Stage::Before);
    }
    if (!g_json || code == UsageError)
        return code;
    return WriteReport(code, args.Check);
}

} // namespace

int Run(int argc, char **argv, const std::function<QString()> &version)
{
    // Output into a closed pipe must fail the write, not end the program
    // between the proof and the settings change.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Flitto"));
    Options options;

    // Qt's own options belong to a window, which this mode never opens.
    QStringList arguments;
    const QList<QByteArray> kept = LaunchArguments::WithoutQtOptions(argc, argv);
    for (const QByteArray &arg : kept)
        arguments << QString::fromLocal8Bit(arg);
    if (!options.Parse(arguments))
        return UsageFailure(options.Parser().errorText());
    if (const std::optional<int> shown = ShowAsked(options, version))
        return *shown;
    Arguments args;
    if (const int code = TakeArguments(options, kept, &args); code != Done)
        return code;
    return MoveAndReport(args);
}

QByteArray AbsolutePath(const QByteArray &path)
{
    return AbsoluteFolder(path);
}

int RefuseWizard(const LaunchArguments::Choice &choice, int argc, char **argv)
{
    if (choice.SettingsFile)
        if (const int missing = RequireSettingsFile(AbsoluteFolder(*choice.SettingsFile));
            missing != Done)
            return missing;
    // Without a display Qt would abort with a message of its own.
    bool platform = false;
    for (int i = 1; i < argc && !platform; ++i)
        platform = std::strcmp(argv[i], "-platform") == 0 ||
                   std::strcmp(argv[i], "--platform") == 0 ||
                   std::strncmp(argv[i], "-platform=", 10) == 0;
    if (platform || !qgetenv("QT_QPA_PLATFORM").isEmpty() || !qgetenv("DISPLAY").isEmpty() ||
        !qgetenv("WAYLAND_DISPLAY").isEmpty())
        return Done;
    Complain(QStringLiteral("there is no display to show the wizard on. Move without a window "
                            "with --move-to FOLDER; see flitto --help"));
    return Unexpected;
}

} // namespace CommandLineMove
