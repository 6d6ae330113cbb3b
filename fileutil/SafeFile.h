#pragma once

#include <QByteArray>

#include <optional>

// Whole-file reads and crash-safe whole-file replacement for the product's
// settings file: a replacement is written beside the file and renamed over
// it, so a reader sees either the old bytes or the new ones, never a mix.
namespace SafeFile {

enum class ReadStatus
{
    Read,    // the contents were read
    Missing, // no entry of that name (or its folder is missing)
    Failed,  // it exists but is not a readable regular file
};

// Files beyond this size are not settings files; they are never read whole.
inline constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

// Reads the regular file at path (following symlinks). A FIFO or device is
// never opened for a blocking read.
ReadStatus ReadAll(const QByteArray &path, QByteArray *contents);

// The path the bytes finally live at: symlinks are followed one by one (a
// relative link target counts from the link's folder). A missing final
// entry is returned as it is; a symlink loop gives an empty result.
QByteArray FinalTarget(const QByteArray &path);

// The first symlink on the way from path to its final target whose owner
// could not have written that file himself; empty when every link passes.
// A link passes when its owner is root or the user running the program, owns
// the final file, or the file lets everyone write it, or its group write
// and the link has that group. A missing final file is judged by its folder,
// where it would be created. Without this, a program running as root would
// write for whoever planted a link, wherever it leads.
QByteArray UntrustedLink(const QByteArray &path);

// Replaces the contents of the file at path, or creates it. A symlink stays
// a symlink: its final target is replaced within the target's folder. An
// existing file keeps its mode, and its owner where the system permits.
// Fails without touching anything when the file is read-only (the owner has
// no write permission, whoever runs the program), is not writable by the
// caller, is not a regular file, its folder does not take a new file, or a
// link on the way is untrusted (UntrustedLink).
// With expected, the file must still hold exactly those bytes when it is
// read again right before the rename; otherwise nothing is replaced and
// errno is ECANCELED: someone else wrote it meanwhile.
bool Replace(const QByteArray &path, const QByteArray &contents,
             const std::optional<QByteArray> &expected = std::nullopt);

} // namespace SafeFile
