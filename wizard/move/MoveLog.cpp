#include "wizard/move/MoveLog.h"

#include "fileutil/Exception.h"

#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The size of the parts a long entry is written in.
constexpr qsizetype WrittenAtOnce = 256 * 1024;

// One line per item, whatever bytes a name holds: control bytes and the
// backslash are written as \xNN, so a name with a line break cannot forge a
// line of its own.
QByteArray Escaped(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '\\')
            out += "\\x" + QByteArray::number(u, 16).rightJustified(2, '0');
        else
            out += c;
    }
    return out;
}

QByteArray &AlsoTo()
{
    static QByteArray file;
    return file;
}

QByteArray Text(const QString &text)
{
    return Escaped(text.toUtf8());
}

// A level of the log's path that nobody else can change. A user's own
// folders count as they are (a group of the user's own may write them);
// root's only when nobody else may write them.
bool Ours(const struct stat &level)
{
    const uid_t me = ::geteuid();
    return (level.st_uid == me && me != 0) || FileUtil::OnlyChangeableBy(level, me);
}

// The log's folder, opened level by level from the root without following
// a link, every level ours or changeable only by us or root: as root with a user's
// XDG_STATE_HOME (sudo -E), a level the user could change would let the
// user choose where root writes. Missing levels are made private (0700).
// Invalid when any level is a link, untrusted, or cannot be opened.
FileUtil::FileHandle OpenLogFolder(const QByteArray &folder)
{
    QByteArray failed;
    return FileUtil::OpenEveryLevel(folder, &Ours, true, &failed);
}

// The file the administrator named with --log, open for appending; it is
// written as named. Invalid when none was named or it cannot be opened.
FileUtil::FileHandle OpenAlsoTo()
{
    if (AlsoTo().isEmpty())
        return FileUtil::FileHandle();
    return FileUtil::FileHandle(
        ::open(AlsoTo().constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0600));
}

// The user's move log at path, open for appending; invalid when it cannot be
// opened or is not the user's own.
FileUtil::FileHandle OpenOwnLog(const QByteArray &path)
{
    // The folders are private to the user: the log names their mail folders.
    const qsizetype slash = path.lastIndexOf('/');
    const FileUtil::FileHandle folder = OpenLogFolder(path.left(slash));
    FileUtil::FileHandle file;
    if (folder.IsValid())
        file = FileUtil::FileHandle(
            ::openat(folder.Get(), path.mid(slash + 1).constData(),
                     O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600));
    // Only a log of our own: not another user's file, nor a second name of
    // some other file.
    struct stat st;
    if (file.IsValid() && (::fstat(file.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
                           st.st_uid != ::geteuid() || st.st_nlink != 1))
        file = FileUtil::FileHandle();
    return file;
}

QByteArray FileLine(const MoveLog::CopiedFile &copied)
{
    return "  file: " + Escaped(copied.Name) + " size " + QByteArray::number(copied.Size) +
           " xxh3 " + QByteArray::number(copied.Checksum, 16).rightJustified(16, '0') + "\n";
}

// An entry on its way into both logs, in parts of at most about
// WrittenAtOnce bytes. Only the user's own log decides whether it was
// written.
class EntryWriter
{
public:
    EntryWriter(const FileUtil::FileHandle &also, const FileUtil::FileHandle &file)
        : m_also(also), m_file(file), m_written(file.IsValid())
    {}

    void Add(const QByteArray &text) { m_entry += text; }
    void WriteWhenLarge()
    {
        if (m_entry.size() >= WrittenAtOnce)
            Write();
    }
    void Write()
    {
        if (m_also.IsValid())
            FileUtil::WriteAll(m_also.Get(), m_entry);
        if (m_file.IsValid())
            m_written = FileUtil::WriteAll(m_file.Get(), m_entry) && m_written;
        m_entry.clear();
    }
    bool Written() const { return m_written; }

private:
    const FileUtil::FileHandle &m_also;
    const FileUtil::FileHandle &m_file;
    QByteArray m_entry;
    bool m_written;
};

} // namespace

MoveLog::MoveLog() : m_path(DefaultPath())
{
    // Local time with its offset: the user reads the log, and compares it
    // with other logs of the same machine.
    const QDateTime now = QDateTime::currentDateTime();
    m_started = now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate).toUtf8();
}

QByteArray MoveLog::DefaultPath()
{
    QByteArray state = qgetenv("XDG_STATE_HOME");
    if (!state.startsWith('/'))
        state = QFile::encodeName(QDir::homePath()) + "/.local/state";
    return state + "/flitto/move.log";
}

QString MoveLog::Path() const
{
    // Shown to the user: XDG_STATE_HOME may hold anything.
    return PathText(m_path);
}

void MoveLog::Folders(const QByteArray &source, const QByteArray &target)
{
    m_lines << "source: " + Escaped(source) << "target: " + Escaped(target);
}

void MoveLog::Check(const QString &name, const QString &result)
{
    m_lines << "check: " + Text(name) + ": " + Text(result);
    m_checks.append({name, result});
}

void MoveLog::Files(qsizetype count, FileAt at)
{
    // One run's files: a run told again replaces what it told before.
    m_lines.removeIf([](const QByteArray &line) { return line.isNull(); });
    m_fileRuns.clear();
    if (count <= 0)
        return;
    m_lines << QByteArray();
    m_fileRuns.append({count, std::move(at)});
}

QList<MoveLog::CopiedFile> MoveLog::Copied() const
{
    QList<CopiedFile> files;
    for (const auto &[count, at] : m_fileRuns)
        for (qsizetype index = 0; index < count; ++index)
            files.append(at(index));
    return files;
}

bool MoveLog::Write(const QString &outcome, const QString &error)
{
    if (m_written)
        return true;
    m_written = true;
    m_outcome = outcome;

    FileUtil::FileHandle also = OpenAlsoTo();
    FileUtil::FileHandle file = OpenOwnLog(m_path);
    // The entry of a move of many files is written in parts, so that it is
    // never all in memory at once; the lock keeps another Flitto's entry
    // from coming between them (each run writes whole entries under it).
    for (const FileUtil::FileHandle *open : {&also, &file})
        if (open->IsValid())
            ::flock(open->Get(), LOCK_EX);
    EntryWriter entry(also, file);
    entry.Add("move " + m_started + "\n");
    qsizetype run = 0;
    for (const QByteArray &line : std::as_const(m_lines)) {
        if (!line.isNull()) {
            entry.Add("  " + line + "\n");
            continue;
        }
        const auto &[count, at] = m_fileRuns.at(run++);
        for (qsizetype index = 0; index < count; ++index) {
            entry.Add(FileLine(at(index)));
            entry.WriteWhenLarge();
        }
    }
    entry.Add("  outcome: " + Text(outcome) + "\n");
    if (!error.isEmpty())
        entry.Add("  error: " + Text(error) + "\n");
    entry.Add("\n");
    entry.Write();
    if (!file.IsValid())
        return false;
    m_stored = file.Close() && entry.Written();
    return m_stored;
}

void MoveLog::SetAlsoTo(const QByteArray &file)
{
    AlsoTo() = file;
}
