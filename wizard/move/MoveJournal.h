#pragma once

#include "fileutil/CheckedCopy.h"
#include "fileutil/FileHandle.h"

#include <QByteArray>
#include <QHash>

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

    // One copy as the run that wrote it recorded it. Its checksum may
    // stand for the source's (Copy.MayStandForSource) when that run found
    // no program writing the data folder and was not told to ignore one.
    struct Entry
    {
        QByteArray Name;
        FileUtil::EarlierCopy Copy;

        bool operator==(const Entry &) const = default;
    };

    struct Contents
    {
        Owner Of;
        // The last line for each name counts.
        QHash<QByteArray, Entry> Files;
    };

    // The owner a move from the open data folder names.
    static Owner OwnerOf(int dataFolder, const QByteArray &source, const QByteArray &settingsFile);

    // The journal of the open folder; nothing when there is none, or when
    // it is no plain journal (a link, another kind of file, unreadable
    // text), which is then no move's.
    static std::optional<Owner> Read(int folder);
    // The same with every file's line.
    static std::optional<Contents> ReadAll(int folder);
    // Writes the journal, with the lines of files, into the open folder and
    // flushes it and the folder, so that no copy can reach the disk without
    // it. Returns it open for appending (see Append). Raises Exception,
    // naming target, when it cannot.
    static FileUtil::FileHandle Write(int folder, const QByteArray &target, const Owner &owner,
                                      const QHash<QByteArray, Entry> &files = {});
    // Appends lines made by EncodeEntry or Distrust to the journal open for
    // appending. False with errno set when they could not all be written:
    // the copies are as good, a later run only copies more of them again.
    static bool Append(int journal, const QByteArray &lines);
    // Removes the journal from the open folder and flushes the folder: the
    // move has succeeded. False with errno set when it could not.
    static bool Remove(int folder);

    // The journal's text and back: what tests and later runs read. A line
    // cut short by a crash, or damaged, is left out: its file is copied
    // again.
    static QByteArray Encode(const Owner &owner);
    static QByteArray EncodeEntry(const Entry &entry);
    // A line that takes the trust from every line above it: programs were
    // found writing the data folder after those copies were made.
    static QByteArray Distrust();
    static std::optional<Owner> Decode(const QByteArray &text);
    static std::optional<Contents> DecodeAll(const QByteArray &text);
};
