#pragma once

#include "wizard/settings/TIniFile.h"

#include <QByteArray>
#include <QString>

#include <optional>

// What Flitto knows of a Quillbox installation, written once for the window,
// the command line and the move alike: where the settings file is, the
// sections and keys Quillbox reads, the file that marks a database folder,
// and the longest folder the settings give back whole.
namespace Installation {

// The settings file in Quillbox's program folder. Quillbox finds it under
// any case of its name, so Flitto does too.
inline constexpr char SettingsFileName[] = "Quillbox.ini";
// A folder holding this file is a Quillbox database.
inline constexpr char DatabaseMarker[] = "Messages.dat";

inline constexpr char SettingsSection[] = "Settings";
inline constexpr char DataDirectoryKey[] = "DataDirectory";
inline constexpr char ConnectionModeKey[] = "ConnectionMode";
inline constexpr char ServerSection[] = "Server";
inline constexpr char ServerIPKey[] = "ServerIP";
inline constexpr char AdminPortKey[] = "AdminPort";
inline constexpr qint32 DefaultAdminPort = 12006;

// Quillbox reads its data folder into the reader's buffer, which keeps one
// byte for its terminating zero: a longer folder would come back cut, and
// Quillbox would open another folder.
inline constexpr qsizetype MaxFolderTextBytes = TIniFile::ReadBufferSize - 1;

// The settings file of the installation in programFolder (ending in "/"):
// the existing file under any case of its name, or the name as written.
QByteArray SettingsFileIn(const QByteArray &programFolder);

// The data folder that a DataDirectory value names: a relative value is
// taken from the settings file's folder, as Quillbox, started from
// anywhere, finds it there, never from the current folder.
QByteArray DataFolderOf(const QByteArray &value, const QByteArray &settingsFile);

// The folder holds the database's marker file.
bool HoldsDatabase(const QByteArray &folder);
// What the user is told about a folder without it.
QString NoDatabaseText();

// The values a move depends on, as the settings file gave them when a
// front end read it (nothing: the key was missing). A move never writes over
// a file that has changed them since: another move, or the user, chose
// otherwise meanwhile.
struct SettingsSnapshot
{
    std::optional<QByteArray> DataDirectory;
    std::optional<QByteArray> ConnectionMode;

    bool operator==(const SettingsSnapshot &) const = default;
};
SettingsSnapshot SnapshotOf(const QByteArray &contents);
// Nothing when the file exists but cannot be read; a missing file has
// neither value.
std::optional<SettingsSnapshot> ReadSnapshot(const QByteArray &settingsFile);
// What changed between was and now, for the user; empty when nothing did.
QString DescribeChange(const SettingsSnapshot &was, const SettingsSnapshot &now,
                       const QByteArray &settingsFile);

} // namespace Installation
