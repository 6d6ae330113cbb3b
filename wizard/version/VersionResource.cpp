#include "wizard/version/VersionResource.h"

namespace VersionResource {

QByteArray Encode(const Definition &definition)
{
    QByteArray bytes(qsizetype(EncodedSize(definition)), '\0');
    Encode(definition, reinterpret_cast<unsigned char *>(bytes.data()));
    return bytes;
}

namespace {

// Reads little-endian fields and refuses to step past the end.
class Reader
{
public:
    explicit Reader(QByteArrayView bytes) : m_bytes(bytes) {}

    qsizetype Position() const { return m_position; }
    bool Ok() const { return m_ok; }

    std::uint32_t U16()
    {
        if (!Need(2))
            return 0;
        const auto *p = reinterpret_cast<const unsigned char *>(m_bytes.data() + m_position);
        m_position += 2;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
    }
    std::uint32_t U32()
    {
        const std::uint32_t low = U16();
        return low | U16() << 16;
    }
    QByteArrayView Bytes(qsizetype length)
    {
        if (!Need(length))
            return {};
        const QByteArrayView view = m_bytes.sliced(m_position, length);
        m_position += length;
        return view;
    }

private:
    bool Need(qsizetype length)
    {
        if (!m_ok || length > m_bytes.size() - m_position)
            m_ok = false;
        return m_ok;
    }

    QByteArrayView m_bytes;
    qsizetype m_position = 0;
    bool m_ok = true;
};

QByteArray NormalisedPath(QByteArrayView path)
{
    if (path.startsWith('\\'))
        path = path.sliced(1);
    return path.toByteArray().toLower();
}

} // namespace

std::optional<Table> Table::Parse(QByteArrayView bytes)
{
    Reader reader(bytes);
    if (reader.Bytes(4) != QByteArrayView("FLVI") || reader.U16() != FormatVersion)
        return std::nullopt;
    const std::uint32_t translationCount = reader.U16();
    const std::uint32_t stringCount = reader.U16();
    reader.U16();
    const std::uint32_t length = reader.U32();
    if (!reader.Ok() || length > std::uint64_t(bytes.size()))
        return std::nullopt;

    // From here on nothing past the blob's own length counts.
    Reader body(bytes.first(qsizetype(length)));
    body.Bytes(16);
    Table table;
    if (body.U32() != FixedSignature)
        return std::nullopt;
    table.m_fixed.fileVersionMS = body.U32();
    table.m_fixed.fileVersionLS = body.U32();
    table.m_fixed.productVersionMS = body.U32();
    table.m_fixed.productVersionLS = body.U32();
    for (std::uint32_t i = 0; i < translationCount && body.Ok(); ++i) {
        Translation translation;
        translation.language = std::uint16_t(body.U16());
        translation.codePage = std::uint16_t(body.U16());
        table.m_translations.append(translation);
    }
    for (std::uint32_t i = 0; i < stringCount && body.Ok(); ++i) {
        const QByteArrayView key = body.Bytes(body.U16());
        const QByteArrayView value = body.Bytes(body.U16());
        table.m_strings.append({NormalisedPath(key), value.toByteArray()});
    }
    if (!body.Ok() || body.Position() != qsizetype(length))
        return std::nullopt;
    return table;
}

std::optional<QByteArray> Table::String(QByteArrayView path) const
{
    const QByteArray wanted = NormalisedPath(path);
    // The first of two equal keys wins, as a lookup from the front would.
    for (const Entry &entry : m_strings) {
        if (entry.key == wanted) {
            const qsizetype zero = entry.value.indexOf('\0');
            return zero < 0 ? entry.value : entry.value.left(zero);
        }
    }
    return std::nullopt;
}

} // namespace VersionResource
