// dezazudi-dispatcher: a reference dispatcher for Flitto's diagnostics. It
// opens the dispatcher window (a socket in the user's window directory),
// answers every record with 1 and prints each one on one line:
// kind, date and time, connection id, computer, program, category, type
// name, text and details, separated by tabs, with control bytes escaped.
// Each record it drops is reported with one line on stderr.
#include "diag/DispatcherWindows.h"
#include "diag/MessagePacket.h"

#include <QDate>
#include <QTime>
#include <QtEndian>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <variant>

using namespace DispatcherWindows;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void Stop(int)
{
    g_stop = 1;
}

// The largest record taken: far beyond any real message, small enough that
// a broken client cannot make the dispatcher allocate without bound.
constexpr quint32 MaxRecordSize = 64 * 1024 * 1024;

QByteArray Escaped(const QByteArray &text)
{
    QByteArray out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\')
            out += "\\\\";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (byte < 0x20 || byte == 0x7F)
            out += "\\x" + QByteArray::number(byte, 16).rightJustified(2, '0');
        else
            out += c; // other bytes as they came: a file name need not be UTF-8
    }
    return out;
}

QByteArray Line(const TMessagePacketFields &f)
{
    const QDate date = QDate::fromJulianDay(f.Date + 1721425);
    const QTime time = QTime::fromMSecsSinceStartOfDay(f.Time);
    const QByteArray when = (date.toString(QStringLiteral("yyyy-MM-dd")) + QLatin1Char(' ') +
                             time.toString(QStringLiteral("hh:mm:ss.zzz")))
                                .toLatin1();
    return QByteArray::number(f.Kind) + '\t' + when + '\t' + Escaped(f.ConnectionId) + '\t' +
           Escaped(f.ComputerName) + '\t' + Escaped(f.AppName) + '\t' + Escaped(f.Category) + '\t' +
           Escaped(f.TypeName) + '\t' + Escaped(f.Text) + '\t' + Escaped(f.Details) + '\n';
}

// Says why a record was dropped: by hand, a record that vanishes without a
// word looks like a client that never sent it.
void Dropped(const QByteArray &why)
{
    std::fprintf(stderr, "dezazudi-dispatcher: dropped a record: %s\n", why.constData());
}

// Whole-buffer receive that tells how much came before the peer stopped.
qsizetype Receive(int fd, char *data, qsizetype size)
{
    qsizetype got = 0;
    while (got < size) {
        const ssize_t part = ::recv(fd, data + got, static_cast<size_t>(size - got), 0);
        if (part < 0 && errno == EINTR)
            continue;
        if (part <= 0)
            break;
        got += part;
    }
    return got;
}

// One exchange: header, record, answer. A connection that closes at once
// is a lookup that only checked the window is alive.
void Serve(int connection, std::FILE *out)
{
    // A client that stops in the middle of a record must not stop the
    // dispatcher for everyone else.
    timeval limit{5, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    char headerBytes[HeaderSize];
    const qsizetype headerGot = Receive(connection, headerBytes, HeaderSize);
    if (headerGot == 0)
        return;
    if (headerGot < HeaderSize) {
        Dropped("the header was cut short");
        return;
    }
    const TCopyDataHeader header = DecodeHeader(headerBytes);
    qint64 answer = 0;
    const QByteArray size = QByteArray::number(header.Size) + " bytes";
    if (header.Message != CopyDataMessage) {
        Dropped("message " + QByteArray::number(header.Message) + " is not copy-data");
    } else if (header.Size > MaxRecordSize) {
        Dropped(size + ", more than any record");
    } else {
        QByteArray record(header.Size, '\0');
        if (Receive(connection, record.data(), record.size()) < record.size()) {
            Dropped(size + ", cut short");
            return;
        }
        if (const std::optional<TMessagePacketFields> fields = MessagePacket::Parse(record)) {
            const QByteArray line = Line(*fields);
            std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), out);
            std::fflush(out);
            answer = 1;
        } else {
            Dropped(size + ", not in the record layout");
        }
    }
    char answerBytes[AnswerSize];
    qToLittleEndian<qint64>(answer, answerBytes);
    SendAll(connection, answerBytes, AnswerSize);
}

int Usage(std::FILE *to, int status)
{
    std::fprintf(to, "usage: dezazudi-dispatcher [--window-dir DIR] [--output FILE] "
                     "[--idle-exit SECONDS] [--help]\n");
    return status;
}

struct Options
{
    QByteArray directoryPath = DefaultWindowDirectory();
    const char *outputPath = nullptr;
    int idleExitSeconds = 0;
};

// The options, or the exit status of a usage message: 0 for --help, 2 for
// anything it does not understand.
std::variant<Options, int> ParseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const QByteArray option = argv[i];
        if (option == "--help" || option == "-h")
            return Usage(stdout, 0);
        if (i + 1 >= argc)
            return Usage(stderr, 2);
        if (option == "--window-dir")
            options.directoryPath = argv[++i];
        else if (option == "--output")
            options.outputPath = argv[++i];
        else if (option == "--idle-exit")
            options.idleExitSeconds = std::atoi(argv[++i]);
        else
            return Usage(stderr, 2);
    }
    return options;
}

void StopOnSignals()
{
    struct sigaction action
    {};
    action.sa_handler = Stop;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // Closing the terminal it runs in must not leave its socket behind.
    ::sigaction(SIGHUP, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

// Opens the window: the listening socket under its name in directory. The
// socket is bound under a hidden name and renamed into place once it
// listens: a client that sees the window can always connect to it.
FileHandle OpenWindow(const FileHandle &directory, const QByteArray &name)
{
    const QByteArray hidden = ".binding-" + QByteArray::number(::getpid());
    const QByteArray bindPath = EntryPath(directory, hidden);
    FileHandle listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, bindPath.constData(), static_cast<size_t>(bindPath.size()));
    ::unlinkat(directory.Get(), hidden.constData(), 0);
    if (!listener.IsValid() ||
        ::bind(listener.Get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(listener.Get(), 64) != 0 ||
        ::renameat(directory.Get(), hidden.constData(), directory.Get(), name.constData()) != 0) {
        const int error = errno;
        ::unlinkat(directory.Get(), hidden.constData(), 0);
        errno = error;
        return FileHandle();
    }
    return listener;
}

// Serves one connection at a time until a signal stops it or, with an idle
// limit, no client came for that long.
void ServeUntilStopped(const FileHandle &listener, std::FILE *out, int idleExitSeconds)
{
    time_t lastActivity = std::time(nullptr);
    while (!g_stop) {
        pollfd waiting{listener.Get(), POLLIN, 0};
        const int ready = ::poll(&waiting, 1, 200);
        if (ready > 0) {
            FileHandle connection(::accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (connection.IsValid())
                Serve(connection.Get(), out);
            lastActivity = std::time(nullptr);
        } else if (idleExitSeconds > 0 && std::time(nullptr) - lastActivity >= idleExitSeconds) {
            break;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    const std::variant<Options, int> parsed = ParseOptions(argc, argv);
    if (const int *status = std::get_if<int>(&parsed))
        return *status;
    const Options &options = std::get<Options>(parsed);
    std::FILE *out = stdout;
    if (options.outputPath && !(out = std::fopen(options.outputPath, "a"))) {
        std::fprintf(stderr, "dezazudi-dispatcher: cannot open %s: %s\n", options.outputPath,
                     std::strerror(errno));
        return 1;
    }

    QByteArray reason;
    const FileHandle directory = CreateTrustedDirectory(options.directoryPath, &reason);
    if (!directory.IsValid()) {
        std::fprintf(stderr, "dezazudi-dispatcher: %s\n", reason.constData());
        return 1;
    }
    StopOnSignals();

    const QByteArray name =
        SocketFileName("TFrmDispatcher", static_cast<quint32>(::getpid()), "DezaZudi Dispatcher");
    const FileHandle listener = OpenWindow(directory, name);
    if (!listener.IsValid()) {
        std::fprintf(stderr, "dezazudi-dispatcher: cannot open its window in %s: %s\n",
                     options.directoryPath.constData(), std::strerror(errno));
        return 1;
    }
    std::fprintf(stderr, "dezazudi-dispatcher: listening as %s/%s\n",
                 options.directoryPath.constData(), name.constData());

    ServeUntilStopped(listener, out, options.idleExitSeconds);
    ::unlinkat(directory.Get(), name.constData(), 0);
    if (out != stdout)
        std::fclose(out);
    return 0;
}
