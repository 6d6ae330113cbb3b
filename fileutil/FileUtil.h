#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>
#include <sys/types.h>

class QObject;
struct stat;

// Path and existence helpers. Paths are byte strings throughout: a file name
// that is not valid UTF-8 must survive every operation unchanged.
namespace FileUtil {

class FileHandle;

// File attribute bits as the wizard knows them. On Linux: folder = a
// directory (after following a symlink), read-only = the owner may not write,
// hidden = the name starts with "."; the other bits are never set.
enum Attribute : unsigned
{
    faReadOnly = 1,
    faHidden = 2,
    faSysFile = 4,
    faVolumeID = 8,
    faDirectory = 16,
    faArchive = 32,
    faAnyFile = 63,
};

inline constexpr char Separator = '/';

// The path with "/" appended unless it already ends in one; "" gives "/".
QByteArray WithTrailingSeparator(const QByteArray &path);
// The path up to and including its last "/"; empty when it has none.
QByteArray FolderOfPath(const QByteArray &path);
// The part after the last "/"; the whole path when it has none.
QByteArray NameOfPath(const QByteArray &path);
// The folder of the running program, ending in "/".
QByteArray ProgramFolder();

// True when the path names an existing entry that is not a folder. The
// lookup is exact: "*" and "?" are ordinary characters here.
bool IsExistingFile(const QByteArray &path);
// True when the path's attributes can be read and include the folder bit.
bool IsExistingFolder(const QByteArray &path);
// The attribute bits of a path, or -1 when they cannot be read.
int FileAttributes(const QByteArray &path);
// True when the attributes can be read and contain every one of the bits.
bool HasAttributes(const QByteArray &path, unsigned bits);

// The folder name made to end in "/": "" stays "", a name ending in "/" is
// kept, any other name gets "/" appended.
QByteArray AppendFolderSeparator(const QByteArray &folder);

// The size in bytes of the file the path names (a symlink is followed);
// -1 when there is no such entry or it is a folder.
qint64 QueryFileSize(const QByteArray &path);

// Creates the folder and every missing parent, outermost first. Silent: a
// level that cannot be created is skipped, and a caller that needs the
// folder meets the failure at its next step. Stops at the root.
void CreateFolderPath(const QByteArray &folder);

// The copy moves the data in chunks of this many bytes.
inline constexpr int CopyBufferSize = 8192;

// Copies one regular file. When destination is an existing folder the copy
// goes into it under the source's name, otherwise destination is the new
// file's name. The copy is written under a temporary name in the
// destination's folder and then renamed over the name, so an existing file
// there is replaced (never written through) and stays intact when the copy
// fails. The new file gets the source's last-write time to the nanosecond.
// Raises EFOpenError when the source cannot be opened or is not a regular
// file (FIFOs, sockets and devices are refused unopened); EFCreateError when
// the destination cannot be created, is the source itself under any
// spelling, or is an existing read-only file and overwriteReadOnly is off;
// EReadError / EWriteError when the transfer fails. With a progress control
// (see SetProgressProperty) its range is set to the file size and its
// position follows the bytes copied; the position returns to 0 at the end.
// shellDialog asks for the desktop's own copy with its dialogs; there is no
// such service here and the same in-process copy runs (failures are raised
// with their messages rather than silently).
void CopyFileWithOptions(const QByteArray &source, const QByteArray &destination,
                         bool overwriteReadOnly, bool shellDialog, QObject *progress = nullptr);
// CopyFileWithOptions with overwriteReadOnly and shellDialog both off.
void CopyFileTo(const QByteArray &source, const QByteArray &destination,
                QObject *progress = nullptr);

// Writes the data of every file in the folder's file system to the disk
// (syncfs). Call it once after a batch of copies, before anything starts
// to rely on the copies; false when the folder cannot be opened or the
// flush fails.
bool FlushFolder(const QByteArray &folder);

enum class TProgressProperty
{
    Maximum,
    Minimum,
    Position
};

// Sets the control's maximum, minimum or position through the property
// names TProgressList registers for its class (or an ancestor). True when
// a property was set; false with no control, an unregistered class, or a
// property that is missing, read-only or not numeric.
bool SetProgressProperty(QObject *control, TProgressProperty which, int value);

// The existing non-folder entry of folder whose name equals name without
// regard to case (an exact match preferred); folder + name when there is
// none. Used for the product's settings file only.
QByteArray ResolveNameIgnoringCase(const QByteArray &folder, const QByteArray &name);

// Only user or root can change what the folder holds: it belongs to one of
// them, and nobody else may write it, unless it is sticky (then others may
// add names, but not take or replace one of ours).
bool OnlyChangeableBy(const struct stat &folder, uid_t user);

// The folder at path (absolute), opened level by level from the root
// without following a link at any level, the root and every level passing
// trusted (every level, when trusted is empty); missing levels are made,
// private (0700), when makeMissing. Invalid when a level is a link, fails
// trusted or cannot be opened: *failed is then that level, and errno its
// error, or 0 when it was not trusted.
FileHandle OpenEveryLevel(const QByteArray &path,
                          const std::function<bool(const struct stat &)> &trusted, bool makeMissing,
                          QByteArray *failed);

} // namespace FileUtil
