#include "diag/MessagePacket.h"

#include <QtEndian>

#include <cstring>

namespace {

void PutInt(QByteArray &record, int offset, quint32 value)
{
    qToLittleEndian(value, record.data() + offset);
}

// Writes at most size - 1 bytes, so the field always keeps a NUL.
void PutText(QByteArray &record, int offset, int size, const QByteArray &text)
{
    const qsizetype length = std::min<qsizetype>(text.size(), size - 1);
    std::memcpy(record.data() + offset, text.constData(), static_cast<size_t>(length));
}

quint32 GetInt(const QByteArray &record, int offset)
{
    return qFromLittleEndian<quint32>(record.constData() + offset);
}

QByteArray GetText(const QByteArray &record, int offset, int size)
{
    const char *begin = record.constData() + offset;
    const void *nul = std::memchr(begin, 0, static_cast<size_t>(size));
    return QByteArray(begin, nul ? static_cast<const char *>(nul) - begin : size);
}

} // namespace

namespace MessagePacket {

QByteArray Build(const TMessagePacketFields &fields)
{
    qsizetype textLength = fields.Text.indexOf('\0');
    if (textLength < 0)
        textLength = fields.Text.size();
    if (textLength >= 2 && fields.Text.at(textLength - 2) == '\r' &&
        fields.Text.at(textLength - 1) == '\n')
        textLength -= 2;
    const qsizetype detailsLength = fields.Details.size();

    QByteArray record(FixedSize + textLength + detailsLength, '\0');
    PutInt(record, KindOffset, static_cast<quint32>(fields.Kind));
    PutInt(record, TimeOffset, static_cast<quint32>(fields.Time));
    PutInt(record, DateOffset, static_cast<quint32>(fields.Date));
    PutInt(record, TimeZoneBiasOffset, static_cast<quint32>(fields.TimeZoneBias));
    PutInt(record, TextLengthOffset, static_cast<quint32>(textLength));
    PutInt(record, DetailsLengthOffset, static_cast<quint32>(detailsLength));
    PutInt(record, ProcessIdOffset, fields.ProcessId);
    PutInt(record, ThreadIdOffset, fields.ThreadId);
    PutText(record, ConnectionIdOffset, ConnectionIdSize, fields.ConnectionId);
    PutText(record, ComputerNameOffset, ComputerNameSize, fields.ComputerName);
    PutText(record, AppNameOffset, AppNameSize, fields.AppName);
    PutText(record, CategoryOffset, CategorySize, fields.Category);
    PutInt(record, CategoryColorOffset, static_cast<quint32>(fields.CategoryColor));
    PutText(record, TypeNameOffset, TypeNameSize, fields.TypeName);
    std::memcpy(record.data() + TextOffset, fields.Text.constData(),
                static_cast<size_t>(textLength));
    std::memcpy(record.data() + TextOffset + textLength, fields.Details.constData(),
                static_cast<size_t>(detailsLength));
    return record;
}

std::optional<TMessagePacketFields> Parse(const QByteArray &record)
{
    if (record.size() < FixedSize)
        return std::nullopt;
    const quint64 textLength = GetInt(record, TextLengthOffset);
    const quint64 detailsLength = GetInt(record, DetailsLengthOffset);
    if (textLength + detailsLength + FixedSize != static_cast<quint64>(record.size()))
        return std::nullopt;
    TMessagePacketFields fields;
    fields.Kind = static_cast<qint32>(GetInt(record, KindOffset));
    fields.Time = static_cast<qint32>(GetInt(record, TimeOffset));
    fields.Date = static_cast<qint32>(GetInt(record, DateOffset));
    fields.TimeZoneBias = static_cast<qint32>(GetInt(record, TimeZoneBiasOffset));
    fields.ProcessId = GetInt(record, ProcessIdOffset);
    fields.ThreadId = GetInt(record, ThreadIdOffset);
    fields.ConnectionId = GetText(record, ConnectionIdOffset, ConnectionIdSize);
    fields.ComputerName = GetText(record, ComputerNameOffset, ComputerNameSize);
    fields.AppName = GetText(record, AppNameOffset, AppNameSize);
    fields.Category = GetText(record, CategoryOffset, CategorySize);
    fields.CategoryColor = static_cast<qint32>(GetInt(record, CategoryColorOffset));
    fields.TypeName = GetText(record, TypeNameOffset, TypeNameSize);
    fields.Text = record.mid(TextOffset, static_cast<qsizetype>(textLength));
    fields.Details = record.mid(TextOffset + static_cast<qsizetype>(textLength),
                                static_cast<qsizetype>(detailsLength));
    return fields;
}

} // namespace MessagePacket
