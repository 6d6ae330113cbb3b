#pragma once

#include <QByteArray>

#include <optional>

// The fields of one record handed to the dispatcher.
struct TMessagePacketFields
{
    qint32 Kind = 0;
    qint32 Time = 0;
    qint32 Date = 0;
    qint32 TimeZoneBias = 0;
    quint32 ProcessId = 0;
    quint32 ThreadId = 0;
    QByteArray ConnectionId;
    QByteArray ComputerName;
    QByteArray AppName;
    QByteArray Category;
    qint32 CategoryColor = 0;
    QByteArray TypeName;
    QByteArray Text;
    QByteArray Details;
};

// The record layout: little-endian integers, NUL-terminated fixed-size text
// fields, then the text, the details and three zero bytes.
namespace MessagePacket {

inline constexpr int KindOffset = 0;
inline constexpr int TimeOffset = 4;
inline constexpr int DateOffset = 8;
inline constexpr int TimeZoneBiasOffset = 12;
inline constexpr int TextLengthOffset = 16;
inline constexpr int DetailsLengthOffset = 20;
inline constexpr int ProcessIdOffset = 24;
inline constexpr int ThreadIdOffset = 28;
inline constexpr int ConnectionIdOffset = 32;
inline constexpr int ConnectionIdSize = 42;
inline constexpr int ComputerNameOffset = 74;
inline constexpr int ComputerNameSize = 16;
inline constexpr int AppNameOffset = 90;
inline constexpr int AppNameSize = 41;
inline constexpr int CategoryOffset = 131;
inline constexpr int CategorySize = 41;
inline constexpr int CategoryColorOffset = 172;
inline constexpr int TypeNameOffset = 176;
inline constexpr int TypeNameSize = 41;
inline constexpr int TextOffset = 217;
inline constexpr int FixedSize = 220; // everything but the text and the details

// The record for these fields: the text stops at its first NUL and loses
// one final CR LF (a text of one character never), the fixed text fields
// are cut to their size less one, every byte not written is zero.
QByteArray Build(const TMessagePacketFields &fields);

// The fields of a record, or nothing when its lengths do not add up.
std::optional<TMessagePacketFields> Parse(const QByteArray &record);

} // namespace MessagePacket
