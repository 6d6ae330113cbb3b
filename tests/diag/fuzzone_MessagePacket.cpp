// One record through the dispatcher's record parser, for the corpus replay
// and a later libFuzzer build. The record comes from any client over a
// socket: the parser takes only records whose lengths add up to their size.

#include "Replay.h"
#include "diag/MessagePacket.h"

#include <QtEndian>

using namespace MessagePacket;

int FuzzOne(const uint8_t *data, size_t size)
{
    const QByteArray record(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<TMessagePacketFields> fields = Parse(record);
    if (!fields)
        return 0;
    Require(record.size() >= FixedSize, "no record is shorter than its fixed part");
    const auto declared = [&](int offset) {
        return qFromLittleEndian<quint32>(record.constData() + offset);
    };
    Require(quint64(fields->Text.size()) == declared(TextLengthOffset) &&
                quint64(fields->Details.size()) == declared(DetailsLengthOffset),
            "the text and the details are as long as the record declares");
    Require(FixedSize + fields->Text.size() + fields->Details.size() == record.size(),
            "the declared lengths and the fixed part make up the whole record");
    Require(record.mid(TextOffset, fields->Text.size()) == fields->Text &&
                record.mid(TextOffset + fields->Text.size(), fields->Details.size()) ==
                    fields->Details,
            "the text and the details are the record's bytes at their place");
    for (const auto &[text, limit] : {std::pair{&fields->ConnectionId, ConnectionIdSize},
                                      {&fields->ComputerName, ComputerNameSize},
                                      {&fields->AppName, AppNameSize},
                                      {&fields->Category, CategorySize},
                                      {&fields->TypeName, TypeNameSize}})
        Require(text->size() <= limit && !text->contains('\0'),
                "a fixed text field ends at its first NUL or its size");
    Require(Parse(Build(*fields)).has_value(), "a record built from the fields parses again");
    return 0;
}
