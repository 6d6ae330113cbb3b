#pragma once

#include <QByteArray>

#include <optional>
#include <sys/types.h>

// The small file a move keeps in its new folder from before the first copy
// until the move has succeeded. It names the data folder (by device and
// inode, which no rename changes) and the settings file the move is for, so
// that a later run can tell its own unfinished move from another
// installation's database, and go on with it.
class MoveJournal
{
public:
    static QByteArray FileName() { return QByteArrayLiteral(".flitto-journal"); }

    // Whose move the journal belongs to.
    struct Owner
    {
        dev_t Device = 0;
        ino_t Inode = 0;
        QByteArray SettingsFile; // as the move named it
        QByteArray Source;       // the data folder's name then, for messages

        // The same data folder and the same settings file: the same move.
        bool SameMove(const Owner &other) const
        {
            return Device == other.Device && Inode == other.Inode &&
                   SettingsFile == other.SettingsFile;
        }
    };

    // The owner a move from the open data folder names.
    static Owner OwnerOf(int dataFolder, const QByteArray &source, const QByteArray &settingsFile);

    // The journal of the open folder; nothing when there is none, or when
    // it is no plain journal (a link, another kind of file, unreadable
    // text), which is then no move's.
    static std::optional<Owner> Read(int folder);
    // Writes the journal into the open folder and flushes it and the
    // folder, so that no copy can reach the disk without it. Raises
    // Exception, naming target, when it cannot.
    static void Write(int folder, const QByteArray &target, const Owner &owner);
    // Removes the journal from the open folder and flushes the folder: the
    // move has succeeded. False with errno set when it could not.
    static bool Remove(int folder);

    // The journal's text and back: what tests and later runs read.
    static QByteArray Encode(const Owner &owner);
    static std::optional<Owner> Decode(const QByteArray &text);
};
