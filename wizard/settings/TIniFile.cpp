#include "wizard/settings/TIniFile.h"

#include "fileutil/PrivateProfile.h"

TIniFile::TIniFile(const QByteArray &fileName) : TCustomIniFile(fileName) {}

QByteArray TIniFile::ReadString(const QByteArray &section, const QByteArray &key,
                                const QByteArray &def) const
{
    return PrivateProfile::GetString(section, key, def, ReadBufferSize, FileName());
}

void TIniFile::WriteString(const QByteArray &section, const QByteArray &key,
                           const QByteArray &value)
{
    if (!PrivateProfile::WriteString(section, key, value, FileName()))
        throw EIniFileException(QStringLiteral("Unable to write to %1").arg(PathText(FileName())));
}
