#include "wizard/settings/Installation.h"

#include "fileutil/FileUtil.h"

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

} // namespace Installation
