#include "wizard/settings/Installation.h"

#include "fileutil/Exception.h"
#include "fileutil/FileUtil.h"
#include "fileutil/PrivateProfile.h"
#include "fileutil/SafeFile.h"

#include <QStringList>

namespace Installation {

QByteArray SettingsFileIn(const QByteArray &programFolder)
{
    return FileUtil::ResolveNameIgnoringCase(programFolder, QByteArray(SettingsFileName));
}

QByteArray DataFolderOf(const QByteArray &value, const QByteArray &settingsFile)
{
    if (value.isEmpty() || value.startsWith('/'))
        return value;
    return FileUtil::FolderOfPath(settingsFile) + value;
}

bool HoldsDatabase(const QByteArray &folder)
{
    return FileUtil::IsExistingFile(FileUtil::WithTrailingSeparator(folder) +
                                    QByteArray(DatabaseMarker));
}

QString NoDatabaseText()
{
    return QStringLiteral("There are no database files in the location you specified!");
}

SettingsSnapshot SnapshotOf(const QByteArray &contents)
{
    return {PrivateProfile::Lookup(contents, SettingsSection, DataDirectoryKey),
            PrivateProfile::Lookup(contents, SettingsSection, ConnectionModeKey)};
}

std::optional<SettingsSnapshot> ReadSnapshot(const QByteArray &settingsFile)
{
    QByteArray contents;
    switch (SafeFile::ReadAll(settingsFile, &contents)) {
    case SafeFile::ReadStatus::Read:
        return SnapshotOf(contents);
    case SafeFile::ReadStatus::Missing:
        return SettingsSnapshot();
    case SafeFile::ReadStatus::Failed:
        break;
    }
    return std::nullopt;
}

QString DescribeChange(const SettingsSnapshot &was, const SettingsSnapshot &now,
                       const QByteArray &settingsFile)
{
    const auto shown = [](const std::optional<QByteArray> &value) -> QString {
        return value ? QStringLiteral("\"%1\"").arg(PathText(*value)) : QStringLiteral("missing");
    };
    QStringList changes;
    if (was.DataDirectory != now.DataDirectory)
        changes << QStringLiteral("%1 is now %2 (it was %3)")
                       .arg(QString::fromLatin1(DataDirectoryKey), shown(now.DataDirectory),
                            shown(was.DataDirectory));
    if (was.ConnectionMode != now.ConnectionMode)
        changes << QStringLiteral("%1 is now %2 (it was %3)")
                       .arg(QString::fromLatin1(ConnectionModeKey), shown(now.ConnectionMode),
                            shown(was.ConnectionMode));
    if (changes.isEmpty())
        return QString();
    return QStringLiteral("%1 changed since Flitto read it: %2. Another move may have run "
                          "meanwhile. Start Flitto again to see where Quillbox's database is now")
        .arg(PathText(settingsFile), changes.join(QStringLiteral("; ")));
}

} // namespace Installation
