#pragma once

#include "fileutil/Exception.h"

#include <QByteArray>

// A settings file that could not be written: "Unable to write to %s".
class EIniFileException : public Exception
{
public:
    using Exception::Exception;
};

// The text-to-integer conversion of ReadInteger: optional leading spaces and
// sign, then decimal digits (the value must fit 32 signed bits) or, after
// "$", "x", "X", "0x" or "0X", up to eight significant hexadecimal digits
// taken as a 32-bit pattern ("$FFFFFFFF" is -1). A text longer than two
// bytes that starts with "0x" or "0X" is read as "$" and the rest. Anything
// else, trailing text or an empty text included, fails and leaves *value
// alone.
bool IniTextToInt(const QByteArray &text, qint32 *value);

// The interface of an INI-style settings store: named values in named
// sections, kept as bytes.
class TCustomIniFile
{
public:
    explicit TCustomIniFile(const QByteArray &fileName) : m_fileName(fileName) {}
    TCustomIniFile(const TCustomIniFile &) = delete;
    TCustomIniFile &operator=(const TCustomIniFile &) = delete;
    virtual ~TCustomIniFile() = default;

    const QByteArray &FileName() const { return m_fileName; }

    virtual QByteArray ReadString(const QByteArray &section, const QByteArray &key,
                                  const QByteArray &def) const = 0;
    // Raises EIniFileException when the value cannot be stored.
    virtual void WriteString(const QByteArray &section, const QByteArray &key,
                             const QByteArray &value) = 0;

    // The key read with an empty default and converted by IniTextToInt; def
    // when it is missing or not a number.
    qint32 ReadInteger(const QByteArray &section, const QByteArray &key, qint32 def) const;

private:
    QByteArray m_fileName;
};
