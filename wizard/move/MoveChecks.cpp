#include "wizard/move/MoveChecks.h"

#include "wizard/move/MoveLeftovers.h"
#include "wizard/settings/Installation.h"

#include "fileutil/Exception.h"
#include "fileutil/FileHandle.h"
#include "fileutil/FileUtil.h"
#include "fileutil/SafeFile.h"

#include <QLocale>
#include <QRandomGenerator>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <system_error>
#include <thread>
#include <tuple>
#include <unistd.h>
#include <utility>

namespace MoveChecks {

namespace {

// The folder without trailing "/" (but "/" itself stays).
QByteArray WithoutTrailingSeparator(QByteArray folder)
{
    while (folder.size() > 1 && folder.endsWith('/'))
        folder.chop(1);
    return folder;
}

QByteArray InFolder(const QByteArray &folder, const QByteArray &name)
{
    return FileUtil::WithTrailingSeparator(folder) + name;
}

// A hidden name that no file of a mail folder has.
QByteArray ProbeName(const char *kind)
{
    return QByteArrayLiteral(".flitto-") + kind + '-' +
           QByteArray::number(QRandomGenerator::global()->generate64(), 16);
}

QString SizeText(qint64 bytes)
{
    return QStringLiteral("%1 (%2 bytes)").arg(DataSize(bytes), QString::number(bytes));
}

// An open folder listing that closes when it goes.
class Listing
{
public:
    explicit Listing(const QByteArray &folder) : m_dir(FileUtil::ListFolder(folder)) {}
    // A listing of its own of the folder open as folder, from its start.
    explicit Listing(int folder)
        : m_dir(FileUtil::ListFolder(
              FileUtil::FileHandle(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC))))
    {}
    bool IsOpen() const { return m_dir != nullptr; }
    // The next name without "." and ".."; null at the end.
    QByteArray Next()
    {
        while (const dirent *entry = ::readdir(m_dir.get())) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                return name;
        }
        return QByteArray();
    }

private:
    FileUtil::FolderListing m_dir;
};

// A folder opened without following a link in its last step.
FileUtil::FileHandle OpenFolder(const QByteArray &folder)
{
    return FileUtil::FileHandle(::open(WithoutTrailingSeparator(folder).constData(),
                                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

std::function<void(int, const QByteArray &)> g_scratchMade;

// A fresh hidden folder inside another, made, filled and removed through
// descriptors only: whoever may write the parent could swap the name for a
// link meanwhile, and the names would then be created, or removed,
// wherever the link led.
class ScratchFolder
{
public:
    explicit ScratchFolder(int parent) : m_parent(parent)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = ProbeName("names");
            if (::mkdirat(parent, name.constData(), 0700) == 0) {
                m_name = name;
                m_folder = FileUtil::FileHandle(::openat(
                    parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (!m_folder.IsValid())
                    m_error = errno;
                return;
            }
            if (errno != EEXIST) {
                m_error = errno;
                return;
            }
        }
        m_error = EEXIST;
    }
    ~ScratchFolder()
    {
        if (g_scratchMade && !m_name.isEmpty())
            g_scratchMade(m_parent, m_name);
        if (m_folder.IsValid()) {
            // Names are listed rather than remembered: on a folding file
            // system the names created are not always the names the folder
            // lists.
            QByteArrayList names;
            Listing listing(m_folder.Get());
            if (listing.IsOpen())
                for (QByteArray name = listing.Next(); !name.isNull(); name = listing.Next())
                    names.append(name);
            for (const QByteArray &name : std::as_const(names))
                ::unlinkat(m_folder.Get(), name.constData(), 0);
        }
        // A link swapped in under the name is no folder: nothing goes.
        if (!m_name.isEmpty())
            ::unlinkat(m_parent, m_name.constData(), AT_REMOVEDIR);
    }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    // The open scratch folder; -1 when it could not be made.
    int Get() const { return m_folder.Get(); }
    int Error() const { return m_error; }

private:
    int m_parent;
    QByteArray m_name;
    FileUtil::FileHandle m_folder;
    int m_error = 0;
};

// Creates a new empty file in the open folder (never an existing one); 0
// or the errno.
int CreateExclusive(int folder, const QByteArray &name, struct stat *info = nullptr)
{
    const int fd = ::openat(folder, name.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return errno;
    const FileUtil::FileHandle closer(fd);
    if (info && ::fstat(fd, info) != 0)
        std::memset(info, 0, sizeof *info);
    return 0;
}

// Creates and removes a hidden file in folder: 0 or the errno.
int ProbeNewFile(const QByteArray &folder)
{
    const FileUtil::FileHandle open = OpenFolder(folder);
    if (!open.IsValid())
        return errno;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = ProbeName("probe");
        const int error = CreateExclusive(open.Get(), name);
        if (error == EEXIST)
            continue;
        if (error != 0)
            return error;
        return ::unlinkat(open.Get(), name.constData(), 0) == 0 ? 0 : errno;
    }
    return EEXIST;
}

QByteArray ReadSmallFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return QByteArray();
    const FileUtil::FileHandle closer(fd);
    QByteArray data;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || data.size() > 65536)
            break;
        data.append(buffer, got);
    }
    return data;
}

bool IsDigits(const QByteArray &name)
{
    return !name.isEmpty() &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The access mode from the "flags:" line of /proc/PID/fdinfo/N, or -1.
int AccessModeOfFdInfo(const QByteArray &fdinfo)
{
    for (const QByteArray &line : fdinfo.split('\n')) {
        if (!line.startsWith("flags:"))
            continue;
        bool ok = false;
        const qulonglong flags = line.mid(6).trimmed().toULongLong(&ok, 8);
        return ok ? int(flags & O_ACCMODE) : -1;
    }
    return -1;
}

using FileId = std::pair<dev_t, ino_t>;

// The inode number from the "ino:" line of /proc/PID/fdinfo/N; false when
// the kernel gives none.
bool InodeOfFdInfo(const QByteArray &fdinfo, quint64 *inode)
{
    for (const QByteArray &line : fdinfo.split('\n')) {
        if (!line.startsWith("ino:"))
            continue;
        bool ok = false;
        *inode = line.mid(4).trimmed().toULongLong(&ok, 10);
        return ok;
    }
    return false;
}

QString ProgramOfProcess(const QByteArray &process)
{
    // Any process names itself: shown, never obeyed.
    return PathText(ReadSmallFile(process + "/comm").trimmed());
}

QString ProgramText(const Writer &writer)
{
    return writer.Program.isEmpty() ? QStringLiteral("(unknown program)") : writer.Program;
}

// Whether process (this user's, still there) has a file open for writing:
// the processes a look could not reach that matter. Asks procfs only, so
// it never waits on the files' own file systems.
bool HoldsFileForWriting(const QByteArray &process)
{
    Listing descriptors(process + "/fd");
    if (!descriptors.IsOpen())
        return false;
    for (QByteArray fd = descriptors.Next(); !fd.isNull(); fd = descriptors.Next()) {
        const int mode = AccessModeOfFdInfo(ReadSmallFile(process + "/fdinfo/" + fd));
        if (mode != O_WRONLY && mode != O_RDWR)
            continue;
        // Pipes, sockets and the like are named "pipe:[N]", never by a path.
        char target[2];
        const QByteArray link = process + "/fd/" + fd;
        if (::readlink(link.constData(), target, sizeof target) > 0 && target[0] == '/')
            return true;
    }
    return false;
}

// One look at the other processes, shared between the caller and the
// thread that looks: the caller may stop waiting and leave the thread
// behind, stuck in a call on a file system that no longer answers.
struct WriterScanState
{
    std::mutex Mutex;
    std::condition_variable Done;
    bool Finished = false;
    bool Abandoned = false;
    QByteArrayList Pids;   // the processes to look at, in order
    qsizetype Reached = 0; // the processes before this one are inspected
    QList<Writer> Writers;
    QList<Writer> OtherUsers;
};

// The data folder's files as the look at the processes needs them.
struct DataFiles
{
    // By inode number: the device and the name.
    std::multimap<quint64, std::pair<dev_t, QByteArray>> ByInode;
    // Who may write one of them: its owner, its group.
    std::set<uid_t> Owners;
    std::set<gid_t> Groups;
};

// The ids on a "Uid:", "Gid:" or "Groups:" line of /proc/PID/status.
QList<qulonglong> IdsOfStatus(const QByteArray &status, const QByteArray &key)
{
    QList<qulonglong> ids;
    for (const QByteArray &line : status.split('\n')) {
        if (!line.startsWith(key))
            continue;
        for (const QByteArray &word : line.mid(key.size()).simplified().split(' ')) {
            bool ok = false;
            const qulonglong id = word.toULongLong(&ok);
            if (ok)
                ids << id;
        }
    }
    return ids;
}

// A process this user may not look into, run by a user (or group) that may
// write one of the files: it could be writing unseen.
bool MayWriteUnseen(const QByteArray &process, const DataFiles &files)
{
    const QByteArray status = ReadSmallFile(process + "/status");
    for (const qulonglong uid : IdsOfStatus(status, "Uid:"))
        if (files.Owners.count(uid_t(uid)))
            return true;
    QList<qulonglong> groups = IdsOfStatus(status, "Gid:");
    groups << IdsOfStatus(status, "Groups:");
    for (const qulonglong gid : std::as_const(groups))
        if (files.Groups.count(gid_t(gid)))
            return true;
    return false;
}

// "08:01" of a maps line as a device number.
bool DeviceOfMaps(const QByteArray &text, dev_t *device)
{
    const qsizetype colon = text.indexOf(':');
    bool majorOk = false, minorOk = false;
    const uint major = text.left(colon).toUInt(&majorOk, 16);
    const uint minor = text.mid(colon + 1).toUInt(&minorOk, 16);
    *device = makedev(major, minor);
    return colon > 0 && majorOk && minorOk;
}

// The files process maps shared and writable ("rw?s" in /proc/PID/maps).
// procfs names device and inode itself: nothing reaches the files' own file
// system.
QByteArrayList MappedForWriting(const QByteArray &process, const DataFiles &files)
{
    QByteArrayList names;
    for (const QByteArray &line : ReadSmallFile(process + "/maps").split('\n')) {
        const QByteArrayList fields = line.simplified().split(' ');
        if (fields.size() < 5 || fields.at(1).size() < 4 || fields.at(1).at(1) != 'w' ||
            fields.at(1).at(3) != 's')
            continue;
        dev_t device = 0;
        bool ok = false;
        const quint64 inode = fields.at(4).toULongLong(&ok);
        if (!ok || !DeviceOfMaps(fields.at(3), &device))
            continue;
        const auto [first, last] = files.ByInode.equal_range(inode);
        for (auto file = first; file != last; ++file)
            if (file->second.first == device && !names.contains(file->second.second))
                names << file->second.second;
    }
    return names;
}

// Which of files (by inode number) process pid holds open for writing.
// Only procfs is asked until an inode number matches: fdinfo and the
// descriptor listing never reach the file's own file system, a stat does;
// the stat then confirms the device. *unseen: pid is another user's that
// this user may not look into, and that user may write the files.
QList<Writer> WritersIn(const QByteArray &pid, const DataFiles &data, bool *unseen)
{
    const auto &files = data.ByInode;
    QList<Writer> writers;
    const QByteArray process = "/proc/" + pid;
    QSet<QByteArray> found; // one line per file, however many descriptors
    Listing descriptors(process + "/fd");
    if (!descriptors.IsOpen()) {
        *unseen = errno == EACCES && MayWriteUnseen(process, data);
        return writers; // another user's process, or gone
    }
    for (QByteArray fd = descriptors.Next(); !fd.isNull(); fd = descriptors.Next()) {
        const QByteArray fdinfo = ReadSmallFile(process + "/fdinfo/" + fd);
        const int mode = AccessModeOfFdInfo(fdinfo);
        if (mode != O_WRONLY && mode != O_RDWR)
            continue;
        quint64 inode = 0;
        // An older kernel gives no inode: then only the stat can tell.
        if (InodeOfFdInfo(fdinfo, &inode) && files.find(inode) == files.end())
            continue;
        struct stat st;
        const QByteArray link = process + "/fd/" + fd;
        if (::stat(link.constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const auto [first, last] = files.equal_range(quint64(st.st_ino));
        for (auto file = first; file != last; ++file) {
            if (file->second.first != st.st_dev || found.contains(file->second.second))
                continue;
            found.insert(file->second.second);
            writers.append({pid.toLongLong(), ProgramOfProcess(process), file->second.second});
        }
    }
    for (const QByteArray &name : MappedForWriting(process, data))
        if (!found.contains(name))
            writers.append({pid.toLongLong(), ProgramOfProcess(process), name});
    return writers;
}

// The thread's part: the folder's files, then one process after another,
// telling the caller how far it got.
void ScanForWriters(const QByteArray &folder, const std::shared_ptr<WriterScanState> &state)
{
    DataFiles files;
    {
        Listing listing(folder);
        for (QByteArray name = listing.IsOpen() ? listing.Next() : QByteArray(); !name.isNull();
             name = listing.Next()) {
            struct stat st;
            if (::stat(InFolder(folder, name).constData(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            files.ByInode.emplace(quint64(st.st_ino), std::pair(st.st_dev, name));
            if (st.st_mode & S_IWUSR)
                files.Owners.insert(st.st_uid);
            if (st.st_mode & S_IWGRP)
                files.Groups.insert(st.st_gid);
        }
    }
    std::unique_lock lock(state->Mutex);
    for (qsizetype i = 0; !files.ByInode.empty() && i < state->Pids.size() && !state->Abandoned;
         ++i) {
        state->Reached = i;
        const QByteArray pid = state->Pids.at(i);
        lock.unlock();
        bool unseen = false;
        const QList<Writer> writers = WritersIn(pid, files, &unseen);
        lock.lock();
        state->Writers.append(writers);
        if (unseen)
            state->OtherUsers.append({pid.toLongLong(), ProgramOfProcess("/proc/" + pid), {}});
    }
    state->Reached = state->Pids.size();
    state->Finished = true;
    state->Done.notify_all();
}

} // namespace

QString DataSize(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes);
}

FileUtil::FileHandle OpenDataFolder(const QByteArray &sourcePrefix)
{
    // Links on the way are followed once, now: the folder Quillbox names
    // may well be a link. From here on only the descriptor counts.
    FileUtil::FileHandle folder(
        ::open(sourcePrefix.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.IsValid())
        throw Exception(QStringLiteral("Cannot read the folder %1 (%2)")
                            .arg(PathText(sourcePrefix), SystemErrorText(errno)));
    return folder;
}

QList<SourceFile> ListSourceFiles(const QByteArray &sourcePrefix,
                                  const std::function<void()> &betweenEntries)
{
    return ListSourceFiles(OpenDataFolder(sourcePrefix).Get(), sourcePrefix, betweenEntries);
}

namespace {

// The same name and the same file as it was: device, inode, size and time.
bool SameListing(const SourceFile &one, const SourceFile &other)
{
    return one.Name == other.Name &&
           std::tie(one.Device, one.Inode, one.Size, one.ModifiedNs) ==
               std::tie(other.Device, other.Inode, other.Size, other.ModifiedNs);
}

// Fills in *file, an entry of folder, and says whether it is listed at
// all. Folders are not database files, and neither are FIFOs, sockets or
// devices: opening a FIFO for reading would block forever. A link is judged
// by what it points to; a dangling one stays in the list, so the copy
// reports it instead of silently leaving it behind.
bool Examine(int folder, const QByteArray &sourcePrefix, SourceFile *file)
{
    struct stat st;
    const char *name = file->Name.constData();
    if (::fstatat(folder, name, &st, 0) == 0) {
        if (!S_ISREG(st.st_mode))
            return false;
        file->Size = qint64(st.st_size);
        file->Allocated = qint64(st.st_blocks) * 512;
        file->Device = st.st_dev;
        file->Inode = st.st_ino;
        file->ModifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return true;
    }
    const int error = errno;
    const bool exists = ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0;
    if (!exists && errno == ENOENT)
        return false; // removed since the listing saw it
    if (!exists || !S_ISLNK(st.st_mode) || error != ENOENT)
        throw Exception(
            QStringLiteral("Cannot examine %1 (%2). A move copies every file "
                           "of the data folder; repair or remove this one, "
                           "then start the move again")
                .arg(PathText(sourcePrefix + file->Name), SystemErrorText(exists ? error : errno)));
    return true;
}

// Hands each entry ListSourceFiles would list to take, in the listing's
// order.
void ForEachSourceFile(int folder, const QByteArray &sourcePrefix,
                       const std::function<void()> &betweenEntries,
                       const std::function<void(SourceFile &&)> &take)
{
    // A folder that cannot be read must fail the move: an empty list would
    // end in "Copy completed." and a settings file pointing at an empty
    // folder, with the user's mail left behind.
    const auto unreadable = [&sourcePrefix](int error) {
        return Exception(QStringLiteral("Cannot read the folder %1 (%2)")
                             .arg(PathText(sourcePrefix), SystemErrorText(error)));
    };
    // A listing of its own, from the start, of the folder open as folder.
    const FileUtil::FolderListing dir = FileUtil::ListFolder(
        FileUtil::FileHandle(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)));
    if (!dir)
        throw unreadable(errno);
    bool first = true;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                throw unreadable(errno);
            break;
        }
        if (!first && betweenEntries)
            betweenEntries();
        first = false;
        const char *entryName = entry->d_name;
        if (std::strcmp(entryName, ".") == 0 || std::strcmp(entryName, "..") == 0)
            continue;
        SourceFile file;
        file.Name = QByteArray(entryName);
        // Flitto's own files (its lock, journal and half-written copies),
        // left behind when this folder was once a new one, are no part of
        // the database, and must not end up in the next.
        if (MoveLeftovers::IsOwnName(file.Name))
            continue;
        if (Examine(folder, sourcePrefix, &file))
            take(std::move(file));
    }
}

} // namespace

QList<SourceFile> ListSourceFiles(int folder, const QByteArray &sourcePrefix,
                                  const std::function<void()> &betweenEntries, qsizetype expected)
{
    QList<SourceFile> files;
    files.reserve(expected);
    ForEachSourceFile(folder, sourcePrefix, betweenEntries,
                      [&files](SourceFile &&file) { files.append(std::move(file)); });
    // Kept for the whole move: without much room to grow into.
    if (files.capacity() > files.size() + files.size() / 8 + 16)
        files.squeeze();
    return files;
}

QString ListingChange(int folder, const QByteArray &sourcePrefix, const QList<SourceFile> &before)
{
    // In step with the earlier listing while it lasts: an unchanged folder
    // costs no second list of a file count that may be large.
    qsizetype matched = 0;
    QList<SourceFile> after;
    bool differs = false;
    ForEachSourceFile(folder, sourcePrefix, {}, [&](SourceFile &&file) {
        if (!differs && matched < before.size() && SameListing(before.at(matched), file)) {
            ++matched;
            return;
        }
        if (!differs) {
            differs = true;
            after = before.mid(0, matched);
        }
        after.append(std::move(file));
    });
    if (!differs && matched == before.size())
        return QString();
    if (!differs)
        after = before.mid(0, matched);
    return DescribeListingChange(sourcePrefix, before, after);
}

QString DescribeListingChange(const QByteArray &sourcePrefix, const QList<SourceFile> &before,
                              const QList<SourceFile> &after)
{
    const auto same = [](const SourceFile &one, const SourceFile &other) {
        return std::tie(one.Device, one.Inode, one.Size, one.ModifiedNs) ==
               std::tie(other.Device, other.Inode, other.Size, other.ModifiedNs);
    };
    // A folder nobody touched lists in the same order again: compared in
    // step, without the index of names that a change needs.
    if (before.size() == after.size() &&
        std::equal(before.cbegin(), before.cend(), after.cbegin(), SameListing))
        return QString();
    std::map<QByteArray, const SourceFile *> was;
    for (const SourceFile &file : before)
        was.emplace(file.Name, &file);
    QStringList changes;
    for (const SourceFile &file : after) {
        const auto found = was.find(file.Name);
        if (found == was.end()) {
            changes << QStringLiteral("%1 appeared").arg(PathText(file.Name));
            continue;
        }
        if (!same(*found->second, file))
            changes << QStringLiteral("%1 changed").arg(PathText(file.Name));
        was.erase(found);
    }
    for (const auto &[name, file] : was)
        changes << QStringLiteral("%1 went").arg(PathText(name));
    if (changes.isEmpty())
        return QString();
    constexpr qsizetype Shown = 5;
    QString listed = QStringList(changes.mid(0, Shown)).join(QStringLiteral(", "));
    if (changes.size() > Shown)
        listed += QStringLiteral(" and %1 more").arg(changes.size() - Shown);
    return QStringLiteral("The data folder %1 changed during the move (%2): is Quillbox still "
                          "running? Close Quillbox and start the move again")
        .arg(PathText(sourcePrefix), listed);
}

bool IsSameFolder(const QByteArray &one, const QByteArray &other)
{
    struct stat a, b;
    return ::stat(one.constData(), &a) == 0 && ::stat(other.constData(), &b) == 0 &&
           S_ISDIR(a.st_mode) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString CheckTargetText(const QByteArray &target)
{
    const QString shown = PathText(target);
    if (target.trimmed().isEmpty())
        return QStringLiteral("Please enter the new location of the database.");
    // What the settings reader trims: Quillbox would read another folder.
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\v'; };
    if (isBlank(target.front()) || isBlank(target.back()))
        return QStringLiteral("The new location \"%1\" starts or ends with a blank. Remove the "
                              "blanks, or choose the folder with the Browse button.")
            .arg(shown);
    if (!target.startsWith('/'))
        return QStringLiteral("The new location %1 is not a full path. Enter a folder that "
                              "starts with \"/\".")
            .arg(shown);
    // A tab inside the name reads back whole; any other control character
    // either ends the line or is nothing a person can see or type back.
    if (std::any_of(target.begin(), target.end(), [](char c) {
            const auto u = static_cast<unsigned char>(c);
            return (u < 0x20 && c != '\t') || u == 0x7f;
        }))
        return QStringLiteral("The new location %1 contains a control character, such as a line "
                              "break or a NUL character, which the settings file cannot hold. "
                              "Choose another folder.")
            .arg(shown);
    if (target.size() > Installation::MaxFolderTextBytes)
        return QStringLiteral("The new location %1 is %2 bytes long; Quillbox reads at most %3 "
                              "bytes of it back from its settings. Choose a folder with a "
                              "shorter path.")
            .arg(shown, QString::number(target.size()),
                 QString::number(Installation::MaxFolderTextBytes));
    return QString();
}

namespace {

// The folder at path, opened level by level from the root through real
// folders only (the links the user gave are resolved first, once), each
// level checked on its descriptor when owner is given (run as root: only
// root and owner may change it). A level swapped for a link meanwhile then
// ends the walk instead of leading root elsewhere. Invalid, with *error
// set, when that fails.
FileUtil::FileHandle OpenThroughRealFolders(const QByteArray &path, const QByteArray &target,
                                            std::optional<uid_t> owner, QString *error)
{
    std::unique_ptr<char, void (*)(void *)> real(::realpath(path.constData(), nullptr), &::free);
    QByteArray failed = path;
    FileUtil::FileHandle folder;
    if (real) {
        std::function<bool(const struct stat &)> trusted;
        if (owner)
            trusted = [owner](const struct stat &st) {
                return FileUtil::OnlyChangeableBy(st, *owner);
            };
        folder = FileUtil::OpenEveryLevel(QByteArray(real.get()), trusted, false, &failed);
        if (folder.IsValid())
            return folder;
        if (errno == 0) {
            *error = QStringLiteral("%1 can be changed by users other than root and the owner "
                                    "of the database, so Flitto, run as root, will not move the "
                                    "database into %2. Choose a folder that only root or the "
                                    "database's owner can change")
                         .arg(PathText(failed), PathText(target));
            return {};
        }
    }
    *error = QStringLiteral("Cannot open the folder %1 (%2): it may have been changed meanwhile. "
                            "Choose another location.")
                 .arg(PathText(path), SystemErrorText(errno));
    return {};
}

// Every level of folder down to itself, outermost first.
QByteArrayList LevelsOf(const QByteArray &folder)
{
    QByteArrayList levels;
    for (qsizetype slash = folder.indexOf('/', 1); slash >= 0;
         slash = folder.indexOf('/', slash + 1))
        levels.append(folder.left(slash));
    levels.append(folder);
    return levels;
}

// A level of the new location that is there already, but as a file: the
// new location itself (whole), or a folder on the way to it.
QString NotAFolderText(const QByteArray &target, const QByteArray &level, bool whole)
{
    return whole ? QStringLiteral("The new location %1 is a file, not a folder. "
                                  "Choose another location.")
                       .arg(PathText(target))
                 : QStringLiteral("The new location %1 cannot be created: %2 is a "
                                  "file, not a folder. Choose another location.")
                       .arg(PathText(target), PathText(level));
}

} // namespace

NewFolder::NewFolder(const QByteArray &target, std::optional<uid_t> owner)
{
    const QByteArray folder = WithoutTrailingSeparator(target);
    FileUtil::FileHandle parent; // once the first missing level is met
    QByteArray existing = "/";
    for (const QByteArray &level : LevelsOf(folder)) {
        if (level.isEmpty() || level.endsWith('/'))
            continue; // "a//b": the empty step names the same folder
        if (!parent.IsValid()) {
            // The levels that are there already are looked up by name, links
            // followed: the user chose them, and who may change them is the
            // owners check's matter.
            struct stat st;
            if (::stat(level.constData(), &st) == 0) {
                if (!S_ISDIR(st.st_mode)) {
                    m_error = NotAFolderText(target, level, level == folder);
                    return;
                }
                existing = level;
                continue;
            }
            parent = OpenThroughRealFolders(existing, target, owner, &m_error);
            if (!parent.IsValid())
                return;
        }
        if (!Make(level, &parent))
            return;
    }
    if (parent.IsValid()) {
        m_folder = std::move(parent);
        return;
    }
    // The whole folder was there: opened once, now, and held.
    m_folder = OpenThroughRealFolders(folder, target, owner, &m_error);
}

bool NewFolder::Make(const QByteArray &level, FileUtil::FileHandle *parent)
{
    // Made here and opened without following a link: a level someone
    // else made meanwhile (a shared folder such as /tmp) is not taken
    // for ours, or they could read the mail.
    const QByteArray name = level.mid(level.lastIndexOf('/') + 1);
    if (::mkdirat(parent->Get(), name.constData(), 0777) != 0) {
        const int error = errno;
        m_error = error == EEXIST
                      ? QStringLiteral("The folder %1 was created by someone else while Flitto "
                                       "was making it. Choose another location.")
                            .arg(PathText(level))
                      : QStringLiteral("Cannot create the folder %1 (%2). Choose another "
                                       "location, or create the folder yourself.")
                            .arg(PathText(level), SystemErrorText(error));
        return false;
    }
    FileUtil::FileHandle made(
        ::openat(parent->Get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!made.IsValid() || ::fstat(made.Get(), &st) != 0 || st.st_uid != ::geteuid()) {
        m_error = QStringLiteral("The folder %1 was replaced by someone else while Flitto "
                                 "was making it. Choose another location.")
                      .arg(PathText(level));
        return false;
    }
    const int next = ::fcntl(made.Get(), F_DUPFD_CLOEXEC, 0);
    m_made.push_back({std::move(*parent), name, std::move(made)});
    *parent = FileUtil::FileHandle(next);
    return true;
}

NewFolder::~NewFolder()
{
    m_folder = FileUtil::FileHandle();
    // Only while still empty: a folder that has come to hold something
    // stays, and a link swapped in under a name is no folder to remove.
    for (auto level = m_made.rbegin(); level != m_made.rend(); ++level)
        if (::unlinkat(level->Parent.Get(), level->Name.constData(), AT_REMOVEDIR) != 0)
            break;
}

int NewFolder::FirstMade() const
{
    return m_made.empty() ? -1 : m_made.front().Folder.Get();
}

namespace {

// The folder and every folder above it, by "..", up to the root (whose
// ".." is itself). A mount point's ".." is the folder it is mounted on.
std::set<FileId> FoldersUpFrom(int folder)
{
    std::set<FileId> chain;
    FileUtil::FileHandle level(::openat(folder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    // No tree is this deep; a loop through a broken file system would be.
    for (int depth = 0; level.IsValid() && depth < 4096; ++depth) {
        struct stat info;
        if (::fstat(level.Get(), &info) != 0 || !chain.insert({info.st_dev, info.st_ino}).second)
            break;
        level = FileUtil::FileHandle(::openat(level.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    return chain;
}

} // namespace

Nesting NestingOf(int sourceFolder, const QByteArray &target)
{
    struct stat source;
    if (::fstat(sourceFolder, &source) != 0)
        return Nesting::Apart;
    // The nearest folder of the target's path that exists; the target
    // itself when it does.
    QByteArray path = WithoutTrailingSeparator(target);
    bool whole = true;
    FileUtil::FileHandle existing;
    while (!path.isEmpty()) {
        existing = FileUtil::FileHandle(::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (existing.IsValid() || path == "/")
            break;
        path = WithoutTrailingSeparator(FileUtil::FolderOfPath(path));
        whole = false;
    }
    if (!existing.IsValid())
        return Nesting::Apart;
    if (FoldersUpFrom(existing.Get()).count({source.st_dev, source.st_ino}) != 0)
        return Nesting::TargetInSource;
    struct stat folder;
    if (whole && ::fstat(existing.Get(), &folder) == 0 &&
        FoldersUpFrom(sourceFolder).count({folder.st_dev, folder.st_ino}) != 0)
        return Nesting::SourceInTarget;
    return Nesting::Apart;
}

QString DescribeNesting(Nesting nesting, const QByteArray &source, const QByteArray &target)
{
    switch (nesting) {
    case Nesting::Apart:
        break;
    case Nesting::TargetInSource:
        return QStringLiteral("The new location %1 lies inside the current data folder %2. "
                              "Deleting the old folder later would delete the moved database. "
                              "Choose a folder outside it.")
            .arg(PathText(target), PathText(source));
    case Nesting::SourceInTarget:
        return QStringLiteral("The current data folder %1 lies inside the new location %2, so "
                              "the new database would hold the old one. Choose a folder outside "
                              "it.")
            .arg(PathText(source), PathText(target));
    }
    return QString();
}

QString CheckWriteAccess(const QByteArray &target)
{
    const int error = ProbeNewFile(WithoutTrailingSeparator(target));
    if (error == 0)
        return QString();
    return QStringLiteral("Cannot create files in the folder %1 (%2). Choose a folder you may "
                          "write to, or ask its owner to give you write permission.")
        .arg(PathText(target), SystemErrorText(error));
}

qint64 SpaceNeeded(const QList<SourceFile> &files, const QList<qint64> &replaced, qint64 blockSize)
{
    const qint64 unit = std::max<qint64>(blockSize, 1);
    // Each file's copy is written in full before the file it replaces is
    // freed. Whatever the order, the fullest moment is bounded by the
    // growth of every file plus the part of one file that only its
    // replacement frees.
    qint64 growth = 0;
    qint64 pending = 0;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const SourceFile &file = files.at(i);
        // A file system that reports no blocks (some network and FUSE
        // ones) still stores the bytes.
        qint64 occupied = file.Allocated > 0 || file.Size == 0 ? file.Allocated : file.Size;
        occupied = (occupied + unit - 1) / unit * unit;
        const qint64 freed = i < replaced.size() ? std::max<qint64>(replaced.at(i), 0) : 0;
        growth += std::max<qint64>(occupied - freed, 0);
        pending = std::max(pending, std::min(occupied, freed));
    }
    return growth + pending;
}

qint64 MaxFileSizeOfBits(long bits)
{
    if (bits < 1 || bits >= 64)
        return std::numeric_limits<qint64>::max();
    return qint64((quint64(1) << bits) - 1);
}

QString SpaceVerdict(const QByteArray &target, const QList<SourceFile> &files,
                     const QList<qint64> &replaced, const SpaceFigures &figures)
{
    const SourceFile *largest = nullptr;
    for (const SourceFile &file : files)
        if (!largest || file.Size > largest->Size)
            largest = &file;
    if (largest && largest->Size > figures.MaxFileSize)
        return QStringLiteral("The file %1 is %2, larger than the file system of %3 can hold "
                              "(at most %4 per file). Choose a folder on another drive.")
            .arg(PathText(largest->Name), SizeText(largest->Size), PathText(target),
                 SizeText(figures.MaxFileSize));
    const qint64 needed = SpaceNeeded(files, replaced, figures.BlockSize);
    if (needed > figures.Available)
        return QStringLiteral("There is not enough free space in %1: the database needs %2, and "
                              "%3 are available. Free some space on that drive, or choose "
                              "another location.")
            .arg(PathText(target), SizeText(needed), SizeText(figures.Available));
    return QString();
}

std::optional<SpaceReport> SpaceFor(const QByteArray &target, const QList<SourceFile> &files)
{
    const QByteArray folder = WithoutTrailingSeparator(target);
    struct statvfs fs;
    if (::statvfs(folder.constData(), &fs) != 0)
        return std::nullopt;
    SpaceReport report;
    SpaceFigures &figures = report.Figures;
    const qint64 fragment = qint64(fs.f_frsize ? fs.f_frsize : fs.f_bsize);
    figures.BlockSize = std::max<qint64>(fragment, 1);
    if (fs.f_bavail > fsblkcnt_t(std::numeric_limits<qint64>::max()) ||
        qMulOverflow(qint64(fs.f_bavail), figures.BlockSize, &figures.Available))
        figures.Available = std::numeric_limits<qint64>::max();
    figures.MaxFileSize = MaxFileSizeOfBits(::pathconf(folder.constData(), _PC_FILESIZEBITS));

    // A file of the same name is replaced; its blocks come free unless
    // another name still holds them.
    report.Replaced.reserve(files.size());
    for (const SourceFile &file : files) {
        struct stat st;
        const QByteArray path = InFolder(folder, file.Name);
        const bool freed =
            ::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1;
        report.Replaced.append(freed ? qint64(st.st_blocks) * 512 : 0);
    }
    report.Needed = SpaceNeeded(files, report.Replaced, figures.BlockSize);
    return report;
}

QString CheckSpace(const QByteArray &target, const QList<SourceFile> &files)
{
    const std::optional<SpaceReport> report = SpaceFor(target, files);
    if (!report)
        return QStringLiteral("Cannot find out the free space in %1 (%2). Choose another "
                              "location.")
            .arg(PathText(target), SystemErrorText(errno));
    return SpaceVerdict(target, files, report->Replaced, report->Figures);
}

QList<LeftBehind> EntriesLeftBehind(int folder)
{
    QList<LeftBehind> entries;
    Listing listing(folder);
    for (QByteArray name = listing.IsOpen() ? listing.Next() : QByteArray(); !name.isNull();
         name = listing.Next()) {
        struct stat entry, target;
        if (MoveLeftovers::IsOwnName(name) ||
            ::fstatat(folder, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const bool reached = ::fstatat(folder, name.constData(), &target, 0) == 0;
        if (S_ISLNK(entry.st_mode) && reached && S_ISREG(target.st_mode))
            entries.append({name, LeftBehind::Kind::LinkFollowed});
        else if ((S_ISLNK(entry.st_mode) && reached && S_ISDIR(target.st_mode)) ||
                 S_ISDIR(entry.st_mode))
            entries.append({name, LeftBehind::Kind::Folder});
        else if (!S_ISREG(entry.st_mode) && !S_ISLNK(entry.st_mode))
            entries.append({name, LeftBehind::Kind::Special});
    }
    std::sort(entries.begin(), entries.end(),
              [](const LeftBehind &a, const LeftBehind &b) { return a.Name < b.Name; });
    return entries;
}

namespace {

bool FoldsNamesIn(int folder)
{
    ScratchFolder scratch(folder);
    if (scratch.Get() < 0)
        return true; // cannot tell: the careful way
    // Each probe is created under one spelling and looked up under others.
    struct Probe
    {
        QByteArray created;
        QByteArrayList variants;
    };
    const Probe probes[] = {
        {"Flitto-Probe", {"fLITTO-pROBE", "Flitto-Probe.", "Flitto-Probe "}},
        // e with acute accent, composed (NFC); then upper case and
        // decomposed (NFD) forms.
        {"Fl\xc3\xa9tto", {"FL\xc3\x89TTO", "fl\xc3\xa9tto", "Fle\xcc\x81tto"}},
        {"Fle\xcc\x81tto2", {"Fl\xc3\xa9tto2"}},
    };
    for (const Probe &probe : probes) {
        const int error = CreateExclusive(scratch.Get(), probe.created);
        if (error != 0)
            return true; // a name refused is a file system with rules of its own
        for (const QByteArray &variant : probe.variants) {
            struct stat st;
            if (::fstatat(scratch.Get(), variant.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                return true;
        }
    }
    return false;
}

QString CreateEveryNameIn(int folder, const QByteArray &target, const QList<SourceFile> &files)
{
    std::set<FileId> seen;
    for (qsizetype i = 0; i < files.size(); ++i) {
        const SourceFile &file = files.at(i);
        struct stat st = {};
        const int error = CreateExclusive(folder, file.Name, &st);
        if (error != 0 && error != EEXIST)
            return QStringLiteral("The file %1 cannot be created in %2 (%3): its file system does "
                                  "not take this name. Choose a location on another file system.")
                .arg(PathText(file.Name), PathText(target), SystemErrorText(error));
        if (error == 0 && seen.insert({st.st_dev, st.st_ino}).second)
            continue;
        // The name met an earlier one. Inode numbers do not always tell
        // which (some FUSE file systems make them up per lookup): the file
        // is removed, and the earlier name that went with it is the other.
        // The listing, not a lookup: a lookup may still be answered from
        // the kernel's cache of names.
        QByteArray other;
        if (::unlinkat(folder, file.Name.constData(), 0) == 0) {
            QSet<QByteArray> left;
            Listing listing(folder);
            for (QByteArray name = listing.Next(); !name.isNull(); name = listing.Next())
                left.insert(name);
            for (qsizetype j = 0; j < i && other.isNull(); ++j)
                if (!left.contains(files.at(j).Name))
                    other = files.at(j).Name;
        }
        if (other.isNull() && error == 0) {
            // Only the inode number repeated: not the same file after all.
            if (const int again = CreateExclusive(folder, file.Name); again != 0 && again != EEXIST)
                return QStringLiteral("The file %1 cannot be created in %2 (%3).")
                    .arg(PathText(file.Name), PathText(target), SystemErrorText(again));
            continue;
        }
        return QStringLiteral("The files %1 and %2 would become one file in %3: its file "
                              "system does not tell these names apart. Rename one of them "
                              "in the database folder, or choose a location on another "
                              "file system.")
            .arg(other.isNull() ? QStringLiteral("another file") : PathText(other),
                 PathText(file.Name), PathText(target));
    }
    return QString();
}

} // namespace

void SetScratchSeam(std::function<void(int, const QByteArray &)> call)
{
    g_scratchMade = std::move(call);
}

bool FoldsNames(const QByteArray &folder)
{
    const FileUtil::FileHandle open = OpenFolder(folder);
    return !open.IsValid() || FoldsNamesIn(open.Get());
}

QString CreateEveryName(const QByteArray &folder, const QByteArray &target,
                        const QList<SourceFile> &files)
{
    const FileUtil::FileHandle open = OpenFolder(folder);
    if (!open.IsValid())
        return QStringLiteral("Cannot create files in the folder %1 (%2).")
            .arg(PathText(target), SystemErrorText(errno));
    return CreateEveryNameIn(open.Get(), target, files);
}

QString CheckNameClashes(const QByteArray &target, const QList<SourceFile> &files)
{
    // One descriptor for the whole check: the scratch folders are made,
    // filled and removed through it, whatever happens to the name.
    const FileUtil::FileHandle folder = OpenFolder(target);
    const int opened = folder.IsValid() ? 0 : errno;
    // Byte-exact file systems keep every distinct name apart: the per-name
    // work is only done where the probe shows that names fold.
    if (folder.IsValid() && !FoldsNamesIn(folder.Get()))
        return QString();
    const ScratchFolder scratch(folder.Get());
    if (scratch.Get() < 0)
        return QStringLiteral("Cannot create files in the folder %1 (%2). Choose a folder you "
                              "may write to.")
            .arg(PathText(target), SystemErrorText(opened ? opened : scratch.Error()));
    return CreateEveryNameIn(scratch.Get(), target, files);
}

WriterScan FindWriters(const QByteArray &sourceFolder)
{
    const auto state = std::make_shared<WriterScanState>();
    {
        // /proc answers by itself: listed here, every process is counted
        // even when the thread gets stuck before its first look.
        Listing processes("/proc");
        if (!processes.IsOpen())
            return {};
        const QByteArray self = QByteArray::number(qint64(::getpid()));
        for (QByteArray pid = processes.Next(); !pid.isNull(); pid = processes.Next())
            if (IsDigits(pid) && pid != self)
                state->Pids.append(pid);
    }
    const QByteArray folder = WithoutTrailingSeparator(sourceFolder);
    // The thread takes no signal: the kernel may hand a process-wide signal
    // to any thread that does not block it, and one stuck in a call on a
    // file system that no longer answers would never run the handler.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    bool started = false;
    try {
        std::thread(ScanForWriters, folder, state).detach();
        started = true;
    } catch (const std::system_error &) {
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    // No thread to spare: look on this one, as patiently as it takes.
    if (!started)
        ScanForWriters(folder, state);

    std::unique_lock lock(state->Mutex);
    state->Done.wait_for(lock, std::chrono::seconds(WriterScanSeconds),
                         [&state] { return state->Finished; });
    WriterScan result;
    result.Writers = state->Writers;
    result.OtherUsers = state->OtherUsers;
    if (!state->Finished) {
        // Left behind: it stops at its next process, if its call ever
        // returns.
        state->Abandoned = true;
        for (qsizetype i = state->Reached; i < state->Pids.size(); ++i) {
            if (!HoldsFileForWriting("/proc/" + state->Pids.at(i)))
                continue;
            Writer process;
            process.Pid = state->Pids.at(i).toLongLong();
            process.Program = ProgramOfProcess("/proc/" + state->Pids.at(i));
            result.NotInspected.append(process);
        }
    }
    lock.unlock();
    const auto byPid = [](const Writer &a, const Writer &b) {
        return std::tie(a.Pid, a.File) < std::tie(b.Pid, b.File);
    };
    std::sort(result.Writers.begin(), result.Writers.end(), byPid);
    std::sort(result.NotInspected.begin(), result.NotInspected.end(), byPid);
    std::sort(result.OtherUsers.begin(), result.OtherUsers.end(), byPid);
    return result;
}

QString DescribeWriters(const QByteArray &sourceFolder, const WriterScan &scan)
{
    QString text;
    if (!scan.Writers.isEmpty()) {
        text = QStringLiteral("These programs have files of the database folder %1 open "
                              "for writing:\n")
                   .arg(PathText(sourceFolder));
        bool quillbox = false;
        for (const Writer &writer : scan.Writers) {
            text +=
                QStringLiteral("\n    %1 (process %2): %3")
                    .arg(ProgramText(writer), QString::number(writer.Pid), PathText(writer.File));
            quillbox = quillbox ||
                       writer.Program.contains(QStringLiteral("quillbox"), Qt::CaseInsensitive);
        }
        text += QStringLiteral("\n\n");
        if (quillbox)
            text +=
                QStringLiteral("Quillbox seems to be still running. Close it, then choose Retry. ");
        else
            text += QStringLiteral("Close these programs, then choose Retry. ");
        text += QStringLiteral("A copy taken while a file is written may be incomplete.");
    }
    // A long list says no more than its first lines.
    const auto processes = [](const QList<Writer> &list) {
        constexpr qsizetype Shown = 10;
        QString lines;
        for (qsizetype i = 0; i < list.size() && i < Shown; ++i)
            lines += QStringLiteral("\n    %1 (process %2)")
                         .arg(ProgramText(list.at(i)), QString::number(list.at(i).Pid));
        if (list.size() > Shown)
            lines += QStringLiteral("\n    and %1 more").arg(list.size() - Shown);
        return lines;
    };
    const auto paragraph = [&text](const QString &more) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += more;
    };
    if (!scan.NotInspected.isEmpty())
        paragraph(QStringLiteral("These programs were not inspected within %1 seconds, so they "
                                 "may have files of the database folder %2 open for writing (a "
                                 "file system that stops answering can hold the look at a "
                                 "program):\n")
                      .arg(QString::number(WriterScanSeconds), PathText(sourceFolder)) +
                  processes(scan.NotInspected) +
                  QStringLiteral("\n\nChoose Retry to look again, or Ignore if none of them "
                                 "writes into the database folder."));
    if (!scan.OtherUsers.isEmpty())
        paragraph(QStringLiteral("These programs run as a user who may write the files of the "
                                 "database folder %1, and Flitto may not look at what they have "
                                 "open:\n")
                      .arg(PathText(sourceFolder)) +
                  processes(scan.OtherUsers) +
                  QStringLiteral("\n\nStop Quillbox first (also a Quillbox service of another "
                                 "user), then choose Retry, or Ignore if none of them writes "
                                 "into the database folder."));
    return text;
}

QByteArrayList ForeignFiles(const QByteArray &target, const QList<SourceFile> &files)
{
    QSet<QByteArray> own;
    for (const SourceFile &file : files)
        own.insert(file.Name);
    QByteArrayList foreign;
    Listing listing(WithoutTrailingSeparator(target));
    if (!listing.IsOpen())
        return foreign;
    // Flitto's own files go when the move is done, or are removed as
    // leftovers before it.
    for (QByteArray name = listing.Next(); !name.isNull(); name = listing.Next())
        if (!own.contains(name) && !MoveLeftovers::IsOwnName(name))
            foreign.append(name);
    std::sort(foreign.begin(), foreign.end());
    return foreign;
}

QString DescribeForeignFiles(const QByteArray &target, const QByteArrayList &names)
{
    if (names.isEmpty())
        return QString();
    constexpr qsizetype Shown = 10;
    QString text = QStringLiteral("The folder %1 already holds files that are not part of the "
                                  "database:\n")
                       .arg(PathText(target));
    for (qsizetype i = 0; i < names.size() && i < Shown; ++i)
        text += QStringLiteral("\n    ") + PathText(names.at(i));
    if (names.size() > Shown)
        text += QStringLiteral("\n    and %1 more").arg(names.size() - Shown);
    text += QStringLiteral("\n\nQuillbox would read them together with the moved database as one. "
                           "Move them elsewhere, or choose an empty folder.");
    return text;
}

namespace {

// The settings file is written where its links lead: they must lead
// somewhere, and only through links whose owners could write the file
// themselves.
QString LinkRefusal(const QByteArray &settingsFile, const QByteArray &target)
{
    const QString shown = PathText(settingsFile);
    if (target.isEmpty())
        return QStringLiteral("The settings file %1 is a symbolic link that cannot be followed "
                              "(a loop of links). Replace it with the file itself.")
            .arg(shown);
    if (const QByteArray link = SafeFile::UntrustedLink(settingsFile); !link.isEmpty())
        return QStringLiteral("The settings file %1 is reached through the symbolic link %2, "
                              "whose owner could not write %3. Flitto does not write through "
                              "such a link. Replace the link with the file itself, or have "
                              "the link's owner own the file.")
            .arg(shown, PathText(link), PathText(target));
    return QString();
}

// Text Quillbox can read, and the settings writer can change without
// losing a line: no wide encodings, no NUL, no line ending in CR alone.
QString TextRefusal(const QByteArray &contents, const QString &shown)
{
    if (contents.startsWith(QByteArray("\xff\xfe\0\0", 4)) ||
        contents.startsWith(QByteArray("\0\0\xfe\xff", 4)))
        return QStringLiteral("The settings file %1 is saved as UTF-32 text, which Quillbox "
                              "cannot read. Save it as plain text (ANSI or UTF-8).")
            .arg(shown);
    if (contents.startsWith("\xff\xfe") || contents.startsWith("\xfe\xff"))
        return QStringLiteral("The settings file %1 is saved as UTF-16 (Unicode) text, which "
                              "Quillbox cannot read. Save it as plain text (ANSI or UTF-8).")
            .arg(shown);
    if (contents.contains('\0'))
        return QStringLiteral("The settings file %1 contains NUL bytes; it is not a plain "
                              "text file. Save it as plain text (ANSI or UTF-8).")
            .arg(shown);
    // A CR as the very last byte reads as a line end; anywhere else
    // without an LF after it, neither the reader nor the writer sees one.
    for (qsizetype cr = contents.indexOf('\r'); cr >= 0; cr = contents.indexOf('\r', cr + 1))
        if (cr + 1 < contents.size() && contents.at(cr + 1) != '\n')
            return QStringLiteral("The settings file %1 has lines that end in a carriage "
                                  "return alone. Save it with Windows (CR LF) or Unix (LF) "
                                  "line ends.")
                .arg(shown);
    return QString();
}

// The file itself may be replaced: one name only, and writable by its
// owner and by this user.
QString ReplaceRefusal(const QByteArray &target, const QString &shown)
{
    struct stat st;
    if (::stat(target.constData(), &st) != 0)
        return QStringLiteral("Cannot read the settings file %1 (%2).")
            .arg(shown, SystemErrorText(errno));
    if (st.st_nlink > 1)
        return QStringLiteral("The settings file %1 has %2 hard links. Replacing it would "
                              "leave the old settings under its other names. Remove the "
                              "other links, or copy the file over them.")
            .arg(shown, QString::number(qulonglong(st.st_nlink)));
    if (!(st.st_mode & S_IWUSR))
        return QStringLiteral("The settings file %1 is read-only. Give its owner write "
                              "permission, then try again.")
            .arg(shown);
    if (::access(target.constData(), W_OK) != 0)
        return QStringLiteral("You may not write the settings file %1 (%2). Run the wizard as "
                              "the file's owner, or give yourself write permission.")
            .arg(shown, SystemErrorText(errno));
    return QString();
}

// The new settings are written into a new file beside the old one.
QString FolderRefusal(const QByteArray &target)
{
    const QByteArray folder = FileUtil::FolderOfPath(target);
    if (const int error = ProbeNewFile(folder.isEmpty() ? QByteArrayLiteral(".") : folder);
        error != 0)
        return QStringLiteral("Cannot create files in the folder %1 (%2); the settings file is "
                              "saved by writing a new file beside it. Give yourself write "
                              "permission to the folder.")
            .arg(PathText(folder), SystemErrorText(error));
    return QString();
}

} // namespace

QString CheckSettingsFile(const QByteArray &settingsFile)
{
    const QString shown = PathText(settingsFile);
    const QByteArray target = SafeFile::FinalTarget(settingsFile);
    if (QString refusal = LinkRefusal(settingsFile, target); !refusal.isEmpty())
        return refusal;
    QByteArray contents;
    const SafeFile::ReadStatus status = SafeFile::ReadAll(target, &contents);
    if (status == SafeFile::ReadStatus::Failed)
        return QStringLiteral("Cannot read the settings file %1. It must be a readable text "
                              "file.")
            .arg(shown);
    // A file that is not there yet is made new: only its folder counts.
    if (status == SafeFile::ReadStatus::Read) {
        if (QString refusal = TextRefusal(contents, shown); !refusal.isEmpty())
            return refusal;
        if (QString refusal = ReplaceRefusal(target, shown); !refusal.isEmpty())
            return refusal;
    }
    return FolderRefusal(target);
}

} // namespace MoveChecks
