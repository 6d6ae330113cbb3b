#pragma once

#include "wizard/settings/TCustomIniFile.h"

// An INI file on disk through the private-profile functions. It holds only
// the file's name and caches nothing: every call goes to the file.
class TIniFile : public TCustomIniFile
{
public:
    // Values are read into a buffer of this many bytes, so a value longer
    // than ReadBufferSize - 1 bytes arrives cut.
    static constexpr qsizetype ReadBufferSize = 2048;

    explicit TIniFile(const QByteArray &fileName);
    // Would flush the platform's cached copy of the file; the private-profile
    // layer keeps none, so there is nothing left to write.
    ~TIniFile() override = default;

    QByteArray ReadString(const QByteArray &section, const QByteArray &key,
                          const QByteArray &def) const override;
    void WriteString(const QByteArray &section, const QByteArray &key,
                     const QByteArray &value) override;
};
