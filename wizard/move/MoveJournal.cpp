#include "wizard/move/MoveJournal.h"

#include "fileutil/CheckedCopy.h"
#include "fileutil/Exception.h"
#include "fileutil/FileHandle.h"

#include <QByteArrayList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char Header[] = "flitto journal 1";
// Where a later run looks for whose move it is: the owner's lines come
// first, and are a few hundred bytes.
constexpr qsizetype MaxHeadBytes = 64 * 1024;
// Some hundred bytes a file: a database of millions of files stays far
// below this, and anything larger is not a journal.
constexpr qint64 MaxJournalBytes = qint64(1) << 30;

QByteArray Hex(quint64 value)
{
    return QByteArray::number(value, 16).rightJustified(16, '0');
}

// Reads the open journal's first limit bytes; nothing when it cannot.
std::optional<QByteArray> ReadText(int folder, qint64 limit, bool whole)
{
    const FileUtil::FileHandle file(
        ::openat(folder, MoveJournal::FileName().constData(),
                 O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (!file.IsValid() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        (whole && info.st_size > limit))
        return std::nullopt;
    QByteArray text(qsizetype(qMin<qint64>(info.st_size, limit)), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t got = ::read(file.Get(), text.data() + done, size_t(text.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        done += got;
    }
    text.truncate(done);
    return text;
}

// A file's line: its fields, then the checksum of the line up to it, so
// that a line torn by a power cut or damaged on the disk is never taken
// for another file's record.
std::optional<MoveJournal::Entry> DecodeEntry(const QByteArray &line)
{
    const qsizetype lastBlank = line.lastIndexOf(' ');
    bool ok = false;
    if (lastBlank < 0 ||
        line.mid(lastBlank + 1).toULongLong(&ok, 16) !=
            FileUtil::BytesChecksum(line.left(lastBlank)) ||
        !ok)
        return std::nullopt;
    const QByteArrayList fields = line.left(lastBlank).split(' ');
    if (fields.size() != 10 || fields.at(0) != "file" || fields.at(1).isEmpty())
        return std::nullopt;
    MoveJournal::Entry entry;
    entry.Name = QByteArray::fromPercentEncoding(fields.at(1));
    bool all = true;
    const auto number = [&all](const QByteArray &field, int base = 10) {
        bool fine = false;
        const qulonglong value = field.toULongLong(&fine, base);
        all = all && fine;
        return value;
    };
    entry.Copy.Device = dev_t(number(fields.at(2)));
    entry.Copy.Inode = ino_t(number(fields.at(3)));
    entry.Copy.Size = qint64(number(fields.at(4)));
    entry.Copy.MTimeSeconds = qint64(fields.at(5).toLongLong(&ok));
    all = all && ok;
    entry.Copy.MTimeNanoseconds = long(number(fields.at(6)));
    entry.Copy.Length = qint64(number(fields.at(7)));
    entry.Copy.Checksum = quint64(number(fields.at(8), 16));
    const QByteArray &trusted = fields.at(9);
    entry.Copy.MayStandForSource = trusted == "1";
    if (!all || (trusted != "0" && trusted != "1") || entry.Name.contains('/'))
        return std::nullopt;
    return entry;
}

// The owner's lines, and with files the lines of the files below them.
std::optional<MoveJournal::Contents> DecodeText(const QByteArray &text, bool files)
{
    QByteArrayList lines = text.split('\n');
    // The piece after the last line break is a line cut short, or empty.
    lines.removeLast();
    if (lines.isEmpty() || lines.first() != Header)
        return std::nullopt;
    MoveJournal::Contents contents;
    MoveJournal::Owner &owner = contents.Of;
    bool device = false, inode = false, settings = false;
    for (const QByteArray &line : std::as_const(lines).mid(1)) {
        if (line.startsWith("file ") || line == MoveJournal::Distrust().chopped(1)) {
            if (!files)
                break;
            if (line.startsWith("file ")) {
                if (const std::optional<MoveJournal::Entry> entry = DecodeEntry(line))
                    contents.Files.insert(entry->Name, *entry);
            } else {
                for (MoveJournal::Entry &entry : contents.Files)
                    entry.Copy.MayStandForSource = false;
            }
            continue;
        }
        const qsizetype blank = line.indexOf(' ');
        const QByteArray key = line.left(blank), value = line.mid(blank + 1);
        bool ok = true;
        if (key == "source-device") {
            owner.Device = dev_t(value.toULongLong(&ok));
            device = ok;
        } else if (key == "source-inode") {
            owner.Inode = ino_t(value.toULongLong(&ok));
            inode = ok;
        } else if (key == "settings-file") {
            owner.SettingsFile = QByteArray::fromPercentEncoding(value);
            settings = !owner.SettingsFile.isEmpty();
        } else if (key == "source") {
            owner.Source = QByteArray::fromPercentEncoding(value);
        }
        // Later versions may add lines of their own: they are not ours to
        // judge.
    }
    if (!device || !inode || !settings)
        return std::nullopt;
    return contents;
}

} // namespace

MoveJournal::Owner MoveJournal::OwnerOf(int dataFolder, const QByteArray &source,
                                        const QByteArray &settingsFile)
{
    Owner owner;
    struct stat info;
    if (::fstat(dataFolder, &info) == 0) {
        owner.Device = info.st_dev;
        owner.Inode = info.st_ino;
    }
    owner.SettingsFile = settingsFile;
    owner.Source = source;
    return owner;
}

QByteArray MoveJournal::Encode(const Owner &owner)
{
    // Paths are bytes and may hold line breaks: percent-encoded, they stay
    // on their line.
    return QByteArray(Header) + '\n' + "source-device " +
           QByteArray::number(qulonglong(owner.Device)) + '\n' + "source-inode " +
           QByteArray::number(qulonglong(owner.Inode)) + '\n' + "settings-file " +
           owner.SettingsFile.toPercentEncoding("/") + '\n' + "source " +
           owner.Source.toPercentEncoding("/") + '\n';
}

QByteArray MoveJournal::EncodeEntry(const Entry &entry)
{
    const QByteArray line = "file " + entry.Name.toPercentEncoding() + ' ' +
                            QByteArray::number(qulonglong(entry.Copy.Device)) + ' ' +
                            QByteArray::number(qulonglong(entry.Copy.Inode)) + ' ' +
                            QByteArray::number(entry.Copy.Size) + ' ' +
                            QByteArray::number(entry.Copy.MTimeSeconds) + ' ' +
                            QByteArray::number(qlonglong(entry.Copy.MTimeNanoseconds)) + ' ' +
                            QByteArray::number(entry.Copy.Length) + ' ' + Hex(entry.Copy.Checksum) +
                            ' ' + (entry.Copy.MayStandForSource ? '1' : '0');
    return line + ' ' + Hex(FileUtil::BytesChecksum(line)) + '\n';
}

QByteArray MoveJournal::Distrust()
{
    return QByteArrayLiteral("distrust\n");
}

std::optional<MoveJournal::Owner> MoveJournal::Decode(const QByteArray &text)
{
    const std::optional<Contents> contents = DecodeText(text, false);
    return contents ? std::optional<Owner>(contents->Of) : std::nullopt;
}

std::optional<MoveJournal::Contents> MoveJournal::DecodeAll(const QByteArray &text)
{
    return DecodeText(text, true);
}

std::optional<MoveJournal::Owner> MoveJournal::Read(int folder)
{
    const std::optional<QByteArray> text = ReadText(folder, MaxHeadBytes, false);
    return text ? Decode(*text) : std::nullopt;
}

std::optional<MoveJournal::Contents> MoveJournal::ReadAll(int folder)
{
    const std::optional<QByteArray> text = ReadText(folder, MaxJournalBytes, true);
    return text ? DecodeAll(*text) : std::nullopt;
}

FileUtil::FileHandle MoveJournal::Write(int folder, const QByteArray &target, const Owner &owner,
                                        const QHash<QByteArray, Entry> &files)
{
    // Under the same hidden pattern as the copies, so that one left by an
    // interrupted write is cleaned up like theirs.
    FileUtil::ReplacementFile pending(FileUtil::ReplaceFlush::Always, folder);
    const QByteArray journal = FileName();
    QByteArray text = Encode(owner);
    for (const Entry &entry : files)
        text += EncodeEntry(entry);
    if (pending.Create(QByteArrayLiteral(".flitto-"), QByteArrayLiteral(".part"), 0600) &&
        FileUtil::WriteAll(pending.Get(), text) && pending.Close() && pending.RenameOver(journal)) {
        FileUtil::FileHandle appending(
            ::openat(folder, journal.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
        if (appending.IsValid())
            return appending;
    }
    const int error = errno;
    const QByteArray path = target + '/' + journal;
    throw Exception(QStringLiteral("Unable to write %1: %2. Nothing was copied; check the new "
                                   "location and start the move again")
                        .arg(PathText(path), SystemErrorText(error)));
}

bool MoveJournal::Append(int journal, const QByteArray &lines)
{
    return journal >= 0 && FileUtil::WriteAll(journal, lines);
}

bool MoveJournal::Remove(int folder)
{
    if (::unlinkat(folder, FileName().constData(), 0) != 0 && errno != ENOENT)
        return false;
    return ::fsync(folder) == 0;
}
