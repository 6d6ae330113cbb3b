#include "wizard/settings/TCustomIniFile.h"

#include "fileutil/HexDigit.h"

bool IniTextToInt(const QByteArray &input, qint32 *value)
{
    QByteArray text = input;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text = '$' + text.mid(2);

    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        hex = true;
        i += 1;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= n)
        return false;

    if (hex) {
        quint32 pattern = 0;
        int significant = 0;
        for (; i < n; ++i) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0)
                return false;
            if (pattern == 0 && digit == 0)
                continue;
            if (++significant > 8)
                return false;
            pattern = pattern * 16 + quint32(digit);
        }
        *value = qint32(negative ? 0u - pattern : pattern);
        return true;
    }

    // 2147483648 is allowed only as the magnitude of the smallest value.
    constexpr qint64 limit = qint64(1) << 31;
    qint64 magnitude = 0;
    for (; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > limit)
            return false;
    }
    if (!negative && magnitude == limit)
        return false;
    *value = qint32(negative ? -magnitude : magnitude);
    return true;
}

qint32 TCustomIniFile::ReadInteger(const QByteArray &section, const QByteArray &key,
                                   qint32 def) const
{
    qint32 value = def;
    return IniTextToInt(ReadString(section, key, QByteArray()), &value) ? value : def;
}
