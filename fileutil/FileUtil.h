#pragma once

#include <QByteArray>

// Path and existence helpers. Paths are byte strings throughout: a file name
// that is not valid UTF-8 must survive every operation unchanged.
namespace FileUtil {

// File attribute bits as the wizard knows them. On Linux: folder = a
// directory (after following a symlink), read-only = the owner may not write,
// hidden = the name starts with "."; the other bits are never set.
enum Attribute : unsigned {
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

// The existing non-folder entry of folder whose name equals name without
// regard to case (an exact match preferred); folder + name when there is
// none. Used for the product's settings file only.
QByteArray ResolveNameIgnoringCase(const QByteArray &folder, const QByteArray &name);

} // namespace FileUtil
