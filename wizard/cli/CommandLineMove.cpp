#include "wizard/cli/CommandLineMove.h"
#include "wizard/cli/ProgressLine.h"

#include "fileutil/Exception.h"
#include "fileutil/FileUtil.h"
#include "wizard/move/DatabaseMove.h"
#include "wizard/settings/ConnectionMode.h"
#include "wizard/settings/Installation.h"
#include "wizard/settings/TIniFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace CommandLineMove {

using namespace MoveErrors;

namespace {

// The options that make Flitto a command-line program; anything else on
// the command line belongs to the wizard (and to Qt).
const char *const OwnOptions[] = {"--move-to", "--check",    "--from",    "--yes",
                                  "--help",    "--help-all", "--version", "--allow-ram-target",
                                  "-h",        "-v",         "-?"};

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
                          .arg(QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO))));
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

QString ExitCodesText()
{
    return QStringLiteral(
        "Exit codes:\n"
        "  0      the move is done (with --check: the checks passed)\n"
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
QByteArray RawValue(int argc, char **argv, const QByteArray &option)
{
    QByteArray value;
    const QByteArray joined = option + '=';
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--")
            break;
        if (arg == option && i + 1 < argc)
            value = QByteArray(argv[++i]);
        else if (arg.startsWith(joined))
            value = arg.mid(joined.size());
    }
    return value;
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
        for (int i = 0; i < SignalCount; ++i)
            ::sigaction(Signals[i], &action, &m_old[i]);
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

// What the move shows, on a terminal or in a log: one redrawn line on a
// terminal, plain lines otherwise. Questions are answered by --yes.
class CommandLineView : public MoveView
{
public:
    CommandLineView(bool yes, bool allowRam, bool terminal)
        : m_yes(yes), m_allowRam(allowRam), m_terminal(terminal)
    {}
    ~CommandLineView() override { ClearLine(); }
    CommandLineView(const CommandLineView &) = delete;
    CommandLineView &operator=(const CommandLineView &) = delete;

    void Refuse(const QString &text) override
    {
        ClearLine();
        Complain(text);
    }

    WritersAnswer AskWriters(const QString &text) override
    {
        return GoOnWhen(m_yes, QStringLiteral("--yes"), text,
                        QStringLiteral("Close Quillbox and try again, or give --yes to move "
                                       "anyway."))
                   ? WritersAnswer::Ignore
                   : WritersAnswer::Cancel;
    }

    bool AskForeignFiles(const QString &text) override
    {
        return GoOnWhen(m_yes, QStringLiteral("--yes"), text,
                        QStringLiteral("Choose another folder, or give --yes to copy into this "
                                       "one."));
    }

    // Not covered by --yes: files still being written can be retried, a
    // folder that a restart empties cannot.
    bool AskRamTarget(const QString &text) override
    {
        return GoOnWhen(m_allowRam, QStringLiteral("--allow-ram-target"), text,
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

    void Copying(int index, const QByteArray &name) override
    {
        m_filesDone = index;
        if (!m_terminal)
            Err(QStringLiteral("Copying ") + PathText(name));
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
        if (!m_terminal) {
            Err(QStringLiteral("Checking ") + PathText(name));
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
            Err(QStringLiteral("flitto: warning: ") + Sentence(text));
            Err(QStringLiteral("Going on all the same (%1).").arg(option));
            return true;
        }
        Complain(text);
        Err(advice);
        return false;
    }

    // Drawn when a tenth of a second has passed since the last drawing (or
    // at once when forced): a terminal redrawn for each of thousands of small
    // files would cost more than copying them.
    void Draw(bool force)
    {
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

    bool m_yes;
    bool m_allowRam;
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

struct Arguments
{
    bool Check = false;
    bool Yes = false;
    bool AllowRamTarget = false;
    QByteArray Target;
    QByteArray From;
};

// What a move would do, after the checks passed.
void DescribeMove(const DatabaseMove &move)
{
    const DatabaseMove::Plan &plan = move.GetPlan();
    qint64 bytes = 0;
    for (const MoveChecks::SourceFile &file : move.Files())
        bytes += file.Size;
    Out(QStringLiteral("The checks passed. A move would copy %1 file(s), %2, from %3 to %4.")
            .arg(move.Files().size())
            .arg(MoveChecks::DataSize(bytes), PathText(plan.Source), PathText(plan.Target)));
    if (plan.Mode == ConnectionMode::Local)
        Out(QStringLiteral("It would then write %1 into %2 as the data folder.")
                .arg(PathText(plan.Target), PathText(plan.SettingsFile)));
    else
        Out(QStringLiteral("Quillbox connects through the Quillbox Server (remote mode): %1 would "
                           "stay as it is, and the server would have to be told with Relaydesk.")
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

int Move(const DatabaseMove::Plan &plan, const Arguments &args)
{
    CommandLineView view(args.Yes, args.AllowRamTarget, ::isatty(STDERR_FILENO) == 1);
    DatabaseMove move(plan, &view);
    const StopOnSignals stopper([&move] { move.Stop(); });

    MoveErrors::Stage stage = MoveErrors::Stage::Checks;
    try {
        const bool passed = move.Check(args.Check ? DatabaseMove::Checking::DryRun
                                                  : DatabaseMove::Checking::ForMove);
        if (stopper.Signal() != 0)
            return Interrupted(stopper.Signal(), plan);
        if (!passed)
            return Refused;
        if (args.Check) {
            DescribeMove(move);
            return Done;
        }

        stage = MoveErrors::Stage::Copy;
        const DatabaseMove::Outcome outcome = move.Run();
        view.ClearLine();
        // A signal that came after the last file was proven still keeps the
        // settings as they are: the user asked to cancel.
        if (outcome != DatabaseMove::Outcome::Proven || stopper.Signal() != 0)
            return Interrupted(stopper.Signal() != 0 ? stopper.Signal() : SIGINT, plan);
        Out(QStringLiteral("Copy completed."));

        if (plan.Mode == ConnectionMode::Local) {
            stage = MoveErrors::Stage::Settings;
            stopper.ReplacingSettings();
            DatabaseMove::WriteSettings(&move, plan);
            Out(QStringLiteral("%1 now names %2 as the data folder.")
                    .arg(PathText(plan.SettingsFile), PathText(plan.Target)));
        } else {
            stage = MoveErrors::Stage::Settings;
            DatabaseMove::ConfirmMove(&move, plan);
            move.Conclude();
            Out(QStringLiteral("Now that the Quillbox database has been moved, you need to notify "
                               "the Quillbox Server of this change. Run Relaydesk and give it the "
                               "new location %1.")
                    .arg(PathText(plan.Target)));
        }
        // The checks refuse folders inside each other; this says so only
        // when it still holds.
        if (move.FoldersApart())
            Out(QStringLiteral("The old data folder %1 is unchanged. Once Quillbox works with the "
                               "new location, you can delete it.")
                    .arg(PathText(plan.Source)));
        else
            Out(QStringLiteral("The old data folder %1 is unchanged. Keep it: the new location "
                               "and the old one lie inside each other.")
                    .arg(PathText(plan.Source)));
        return Done;
    } catch (...) {
        view.ClearLine();
        const int code = Failed(std::current_exception(), stage);
        if (stage == MoveErrors::Stage::Checks && stopper.Signal() != 0)
            return Interrupted(stopper.Signal(), plan);
        if (code == SettingsFailed)
            Err(QStringLiteral("The copy in %1 is complete and proven, but Quillbox still uses %2.")
                    .arg(PathText(plan.Target), PathText(plan.Source)));
        return code;
    }
}

// The installation's settings and the options make the plan; then the move.
int PlanAndMove(const Arguments &args)
{
    DatabaseMove::Plan plan;
    plan.SettingsFile = Installation::SettingsFileIn(FileUtil::ProgramFolder());
    plan.Target = args.Target;
    if (!FileUtil::IsExistingFile(plan.SettingsFile)) {
        Complain(QStringLiteral("Unable to continue. The QUILLBOX.INI file could not be detected "
                                "in %1! This utility MUST be installed in the same directory as "
                                "Quillbox")
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
    if (plan.Mode == ConnectionMode::Local) {
        plan.Source = args.From.isEmpty()
                          ? Installation::DataFolderOf(
                                settings.ReadString(Installation::SettingsSection,
                                                    Installation::DataDirectoryKey, QByteArray()),
                                plan.SettingsFile)
                          : args.From;
        if (plan.Source.isEmpty())
            return UsageFailure(
                QStringLiteral("%1 names no data folder: give it with --from FOLDER")
                    .arg(PathText(plan.SettingsFile)));
    } else {
        if (args.From.isEmpty())
            return UsageFailure(QStringLiteral(
                "Quillbox connects through the Quillbox Server (remote mode), so the settings "
                "cannot tell the current data folder: give it with --from FOLDER"));
        plan.Source = args.From;
    }
    return Move(plan, args);
}

} // namespace

bool Wanted(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        for (const char *option : OwnOptions) {
            const QByteArray withValue = QByteArray(option) + '=';
            if (arg == option || (arg.startsWith("--") && arg.startsWith(withValue)))
                return true;
        }
    }
    return false;
}

int Run(int argc, char **argv, const std::function<QString()> &version)
{
    // Output into a closed pipe must fail the write, not end the program
    // between the proof and the settings change.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Flitto"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Moves the Quillbox database to a new folder without a window, from the "
                       "Quillbox folder this program is installed in. Started without these "
                       "options, Flitto is the wizard."));
    const QCommandLineOption moveTo(
        QStringLiteral("move-to"),
        QStringLiteral("Move the database to <folder> (missing folders are created)."),
        QStringLiteral("folder"));
    const QCommandLineOption from(
        QStringLiteral("from"),
        QStringLiteral("The current data folder. Local mode: instead of the one in Quillbox.ini. "
                       "Remote mode: required."),
        QStringLiteral("folder"));
    const QCommandLineOption check(QStringLiteral("check"),
                                   QStringLiteral("Only run the checks and say what a move would "
                                                  "do; nothing is copied or changed."));
    const QCommandLineOption yes(
        QStringLiteral("yes"),
        QStringLiteral("Go on when Quillbox still has database files open, and when the new "
                       "folder holds other files. Without it, both end the move."));
    const QCommandLineOption allowRam(
        QStringLiteral("allow-ram-target"),
        QStringLiteral("Go on when the new folder is on a file system kept in memory (tmpfs), "
                       "which a restart empties. Without it, such a folder ends the move."));
    parser.addOption(moveTo);
    parser.addOption(from);
    parser.addOption(check);
    parser.addOption(yes);
    parser.addOption(allowRam);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();

    if (!parser.parse(QCoreApplication::arguments()))
        return UsageFailure(parser.errorText());
    // --help-all would add Qt's own options, which this mode does not take.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        Write(stdout, parser.helpText() + QLatin1Char('\n') + ExitCodesText());
        return OutputStatus();
    }
    if (parser.isSet(versionOption)) {
        Out(QStringLiteral("Flitto ") + version());
        return OutputStatus();
    }
    if (!parser.positionalArguments().isEmpty())
        return UsageFailure(
            QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    if (!parser.isSet(moveTo))
        return UsageFailure(QStringLiteral("say where to move the database with --move-to FOLDER"));

    Arguments args;
    args.Check = parser.isSet(check);
    args.Yes = parser.isSet(yes);
    args.AllowRamTarget = parser.isSet(allowRam);
    args.Target = AbsoluteFolder(RawValue(argc, argv, QByteArrayLiteral("--move-to")));
    if (parser.isSet(from))
        args.From = AbsoluteFolder(RawValue(argc, argv, QByteArrayLiteral("--from")));

    // Whatever goes wrong from here on gets a message and an exit code,
    // never an abort.
    try {
        return PlanAndMove(args);
    } catch (...) {
        return Failed(std::current_exception(), MoveErrors::Stage::Before);
    }
}

} // namespace CommandLineMove
