#include "diag/IniValue.h"

#include "fileutil/PrivateProfile.h"
#include "fileutil/SafeFile.h"

std::optional<QByteArray> IniValue(const QByteArray &contents, const QByteArray &section,
                                   const QByteArray &key)
{
    // No value can hold a line break, so a default of one tells a missing
    // key from an empty value.
    const QByteArray missing("\n");
    const QByteArray value =
        PrivateProfile::FindValue(contents, section, key, missing, contents.size() + 2);
    if (value == missing)
        return std::nullopt;
    return value;
}

std::optional<QByteArray> ReadIniValue(const QByteArray &fileName, const QByteArray &section,
                                       const QByteArray &key)
{
    QByteArray contents;
    if (SafeFile::ReadAll(fileName, &contents) != SafeFile::ReadStatus::Read)
        return std::nullopt;
    return IniValue(contents, section, key);
}
