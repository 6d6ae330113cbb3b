#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

// The checks a move runs before the first byte is written. Each answers with
// the text the user sees (empty when the check passed): it names the folder
// or file and says what the user can do. None leaves anything behind.
namespace MoveChecks {

// One file of the data folder, as the listing found it.
struct SourceFile
{
    QByteArray Name;     // bytes, no folder part
    qint64 Size = 0;     // st_size of the file (a link is followed)
    qint64 Allocated = 0; // bytes the file occupies: st_blocks * 512
};

// The longest folder text the settings reader gives back whole.
inline constexpr qsizetype MaxFolderTextBytes = 2047;

// Absolute, no blanks at either end, not longer than MaxFolderTextBytes.
QString CheckTargetText(const QByteArray &target);

// Creates the missing levels of the target folder for the checks and removes
// the ones it created when it goes (only while they are still empty).
class TargetProbe
{
public:
    explicit TargetProbe(const QByteArray &target);
    ~TargetProbe();
    TargetProbe(const TargetProbe &) = delete;
    TargetProbe &operator=(const TargetProbe &) = delete;
    // Empty when the folder exists now; otherwise why it could not be made.
    QString Error() const { return m_error; }

private:
    QByteArrayList m_created; // innermost last
    QString m_error;
};

// The target folder takes a new file.
QString CheckWriteAccess(const QByteArray &target);
// The target's file system has room for every file (by the blocks each will
// occupy, less what the copies being replaced free), for the user, and can
// hold the largest one.
QString CheckSpace(const QByteArray &target, const QList<SourceFile> &files);
// No two source names land on one file of the target's file system.
QString CheckNameClashes(const QByteArray &target, const QList<SourceFile> &files);

// A process that holds a file of the source folder open for writing.
struct Writer
{
    qint64 Pid = 0;
    QString Program;
    QByteArray File; // the name within the source folder
};
// The other processes (as far as this user may look) that hold a file of
// the folder open for writing.
QList<Writer> FindWriters(const QByteArray &sourceFolder);
QString DescribeWriters(const QByteArray &sourceFolder, const QList<Writer> &writers);

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
