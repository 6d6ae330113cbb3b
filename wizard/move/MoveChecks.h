#pragma once

#include "fileutil/FileHandle.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

#include <functional>
#include <limits>
#include <optional>
#include <sys/types.h>
#include <vector>

// The checks a move runs before the first byte is written. Each answers with
// the text the user sees (empty when the check passed): it names the folder
// or file and says what the user can do. None leaves anything behind.
namespace MoveChecks {

// One file of the data folder, as the listing found it.
struct SourceFile
{
    QByteArray Name;      // bytes, no folder part
    qint64 Size = 0;      // st_size of the file (a link is followed)
    qint64 Allocated = 0; // bytes the file occupies: st_blocks * 512
    // With the size, what tells a file changed since it was listed.
    dev_t Device = 0;
    ino_t Inode = 0;
    qint64 ModifiedNs = 0;
};

// What changed in the data folder (ending in "/") between two listings: a
// file that appeared or went, or whose device, inode, size or modification
// time changed. Empty when nothing did.
QString DescribeListingChange(const QByteArray &sourcePrefix, const QList<SourceFile> &before,
                              const QList<SourceFile> &after);

// A size as the user reads it: "1.50 MiB", "512 bytes".
QString DataSize(qint64 bytes);

// Every entry directly in the data folder (ending in "/") that is a
// regular file or a link to one, in the order the listing returns them. An
// entry that cannot be examined fails the listing: a move must never leave
// a file behind unseen.
// betweenEntries runs after each entry but the first. Raises Exception when
// the folder cannot be read.
QList<SourceFile> ListSourceFiles(const QByteArray &sourcePrefix,
                                  const std::function<void()> &betweenEntries = {});
// The same for the data folder open as folder; sourcePrefix names it in
// messages.
// expected: about how many files there are (an earlier listing's count),
// so that the list takes its room once.
QList<SourceFile> ListSourceFiles(int folder, const QByteArray &sourcePrefix,
                                  const std::function<void()> &betweenEntries = {},
                                  qsizetype expected = 0);
// The data folder open as folder listed again and compared with before, as
// DescribeListingChange does; "" when nothing changed.
QString ListingChange(int folder, const QByteArray &sourcePrefix, const QList<SourceFile> &before);
// The data folder, opened once for the move. Raises Exception when it
// cannot be read.
FileUtil::FileHandle OpenDataFolder(const QByteArray &sourcePrefix);

// Absolute, no blanks at either end, no line break, not longer than the
// settings give back whole (Installation::MaxFolderTextBytes).
QString CheckTargetText(const QByteArray &target);

// Both names lead to one existing folder (the same device and inode).
bool IsSameFolder(const QByteArray &one, const QByteArray &other);

// The new folder, made once and held open from the checks to the end of
// the move: every later step goes through its descriptor, so swapping the
// name for a link, or claiming a level meanwhile, changes nothing Flitto
// writes. The levels it made go again, through their parents' descriptors,
// when it goes while they are still empty (a refused, cancelled or dry
// run).
class NewFolder
{
public:
    // owner: run as root, the data folder's owner; every level the folder
    // is reached through must then be changeable only by root and owner.
    explicit NewFolder(const QByteArray &target, std::optional<uid_t> owner = std::nullopt);
    ~NewFolder();
    NewFolder(const NewFolder &) = delete;
    NewFolder &operator=(const NewFolder &) = delete;
    // Empty when the folder is there and open; otherwise why not.
    QString Error() const { return m_error; }
    // The open folder; -1 on error.
    int Get() const { return m_folder.Get(); }
    // The outermost level this made, open; -1 when it made none.
    int FirstMade() const;

private:
    // Makes level, the next missing one, in *parent, which then becomes the
    // new level (invalid when its descriptor could not be duplicated);
    // false, with m_error set, when it could not be made as ours.
    bool Make(const QByteArray &level, FileUtil::FileHandle *parent);

    struct Made
    {
        FileUtil::FileHandle Parent;
        QByteArray Name;
        FileUtil::FileHandle Folder;
    };
    std::vector<Made> m_made; // outermost first
    FileUtil::FileHandle m_folder;
    QString m_error;
};

// How the new folder and the data folder lie to each other, judged by the
// device and inode of every folder up the tree, never by the text: a link,
// a bind mount or another spelling leads to the same answer.
enum class Nesting
{
    Apart,
    TargetInSource, // the new folder is the data folder or lies inside it
    SourceInTarget, // the data folder lies inside the new folder
};
// sourceFolder: the data folder, open. A target that does not exist yet is
// judged by its nearest existing folder.
Nesting NestingOf(int sourceFolder, const QByteArray &target);
QString DescribeNesting(Nesting nesting, const QByteArray &source, const QByteArray &target);

// The target folder takes a new file.
QString CheckWriteAccess(const QByteArray &target);
// The target's file system has room for every file (by the blocks each will
// occupy, less what the copies being replaced free), for the user, and can
// hold the largest one.
QString CheckSpace(const QByteArray &target, const QList<SourceFile> &files);
// No two source names land on one file of the target's file system.
QString CheckNameClashes(const QByteArray &target, const QList<SourceFile> &files);

// The parts of the checks above that tests reach on their own.

// What the target's file system offers the copy.
struct SpaceFigures
{
    qint64 Available = 0; // bytes the user may still fill
    qint64 BlockSize = 1; // a file occupies a multiple of this
    qint64 MaxFileSize = std::numeric_limits<qint64>::max();
};
// What the target's file system offers, and what the copy needs of it.
struct SpaceReport
{
    SpaceFigures Figures;
    QList<qint64> Replaced; // as SpaceNeeded takes it
    qint64 Needed = 0;
};
// Nothing, with errno set, when the file system does not say.
std::optional<SpaceReport> SpaceFor(const QByteArray &target, const QList<SourceFile> &files);

// An entry of the data folder that is no file of the database, or a link
// the copy follows: what a dry run tells the administrator.
struct LeftBehind
{
    enum class Kind
    {
        Folder,       // a subfolder (or a link to one): never copied
        Special,      // a pipe, socket or device: never copied
        LinkFollowed, // a link to a file: its contents are copied as a file
    };
    QByteArray Name;
    Kind Type;
};
QList<LeftBehind> EntriesLeftBehind(int folder);

// The bytes the copy needs at its fullest, in any order of the files:
// replaced[i] is what the target's file of files[i]'s name occupies now (0
// when none), freed only once its copy is written.
qint64 SpaceNeeded(const QList<SourceFile> &files, const QList<qint64> &replaced, qint64 blockSize);
// CheckSpace's answer for the figures it found.
QString SpaceVerdict(const QByteArray &target, const QList<SourceFile> &files,
                     const QList<qint64> &replaced, const SpaceFigures &figures);
// The largest file size that pathconf's _PC_FILESIZEBITS answer allows
// (bits < 1 means no answer: no limit).
qint64 MaxFileSizeOfBits(long bits);
// True when the file system holding folder finds a file under another
// spelling of its name (other case, other Unicode form, a trailing dot or
// blank added), or refuses a probe name. Leaves nothing behind.
bool FoldsNames(const QByteArray &folder);
// A test seam: called with the parent's descriptor and the name of each
// scratch folder of the checks, once it is filled and before it is removed.
void SetScratchSeam(std::function<void(int parent, const QByteArray &name)> call);

// Creates every name in folder, a fresh empty one (O_EXCL), and reports the
// first two names that meet, or a name the file system takes no file under;
// messages name target. The files stay for the caller to remove.
QString CreateEveryName(const QByteArray &folder, const QByteArray &target,
                        const QList<SourceFile> &files);

// A process that holds a file of the source folder open for writing.
struct Writer
{
    qint64 Pid = 0;
    QString Program;
    QByteArray File; // the name within the source folder; empty: not known
};
// What the look at the other processes found, and whom it could not look at
// in time.
struct WriterScan
{
    QList<Writer> Writers;
    // Processes the time limit left unread (their File empty): a call on a
    // file system that stopped answering may have held the look.
    QList<Writer> NotInspected;
    // Other users' processes this user may not look at, run by a user who
    // may write the database's files (their owner, or their group).
    QList<Writer> OtherUsers;

    bool IsEmpty() const
    {
        return Writers.isEmpty() && NotInspected.isEmpty() && OtherUsers.isEmpty();
    }
};
// How long the look at the other processes may take.
constexpr int WriterScanSeconds = 5;
// The other processes (as far as this user may look) that hold a file of
// the folder open for writing, or mapped shared and writable (a store into
// such a mapping changes neither size nor time). Never waits longer than WriterScanSeconds,
// whichever file system stops answering.
WriterScan FindWriters(const QByteArray &sourceFolder);
QString DescribeWriters(const QByteArray &sourceFolder, const WriterScan &scan);

// Entries of the target folder that are not among the source's files.
QByteArrayList ForeignFiles(const QByteArray &target, const QList<SourceFile> &files);
QString DescribeForeignFiles(const QByteArray &target, const QByteArrayList &names);

// The settings file can take the new folder and give it back: a plain
// 8-bit INI (no UTF-16 or UTF-32 byte order mark, no NUL), one hard link,
// replaceable (not read-only, its folder takes a new file), line ends the
// reader and the writer both understand, and links that their owners could
// have written through.
QString CheckSettingsFile(const QByteArray &settingsFile);

} // namespace MoveChecks
