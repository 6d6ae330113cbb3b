#include "wizard/move/MoveJournal.h"

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
// A journal is a few lines; anything much larger is not one.
constexpr qsizetype MaxJournalBytes = 64 * 1024;

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

std::optional<MoveJournal::Owner> MoveJournal::Decode(const QByteArray &text)
{
    const QByteArrayList lines = text.split('\n');
    if (lines.isEmpty() || lines.first() != Header)
        return std::nullopt;
    Owner owner;
    bool device = false, inode = false, settings = false;
    for (const QByteArray &line : lines.mid(1)) {
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
    return owner;
}

std::optional<MoveJournal::Owner> MoveJournal::Read(int folder)
{
    const FileUtil::FileHandle file(::openat(
        folder, FileName().constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    struct stat info;
    if (!file.IsValid() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > MaxJournalBytes)
        return std::nullopt;
    QByteArray text(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t got = ::read(file.Get(), text.data() + done, size_t(text.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return std::nullopt;
        done += got;
    }
    return Decode(text);
}

void MoveJournal::Write(int folder, const QByteArray &target, const Owner &owner)
{
    // Under the same hidden pattern as the copies, so that one left by an
    // interrupted write is cleaned up like theirs.
    FileUtil::ReplacementFile pending(FileUtil::ReplaceFlush::Always, folder);
    const QByteArray journal = FileName();
    if (pending.Create(QByteArrayLiteral(".flitto-"), QByteArrayLiteral(".part"), 0600) &&
        FileUtil::WriteAll(pending.Get(), Encode(owner)) && pending.Close() &&
        pending.RenameOver(journal))
        return;
    const int error = errno;
    const QByteArray path = target + '/' + journal;
    throw Exception(QStringLiteral("Unable to write %1: %2. Nothing was copied; check the new "
                                   "location and start the move again")
                        .arg(PathText(path), SystemErrorText(error)));
}

bool MoveJournal::Remove(int folder)
{
    if (::unlinkat(folder, FileName().constData(), 0) != 0 && errno != ENOENT)
        return false;
    return ::fsync(folder) == 0;
}
