#include "diag/CSFormat.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

EConvertError::EConvertError(const QString &message, const void *address)
    : Exception(message), TRaiseAddress(address)
{}

namespace {

struct Directive
{
    QByteArray text; // "%" up to the type, for the error message
    bool leftAlign = false;
    bool zeroPad = false;
    int width = -1;
    int precision = -1;
    char type = 0;
};

[[noreturn]] void Fail(const QByteArray &directive, const char *why, const void *address)
{
    throw EConvertError(QStringLiteral("Format directive \"%1\" %2")
                            .arg(QString::fromUtf8(directive), QLatin1String(why)),
                        address);
}

bool IsInteger(const TCSArg &arg)
{
    return arg.type() == TCSArg::Type::Integer || arg.type() == TCSArg::Type::Unsigned;
}

// Walks the format: plain bytes, "%%" and directives, taking the arguments
// in order. Its errors name the directive as far as it was read, so that a
// bad "*" points at itself rather than at the type that never came.
class DirectiveReader
{
public:
    DirectiveReader(const QByteArray &format, const TCSArgs &args, const void *address)
        : m_format(format), m_args(args), m_address(address)
    {}

    bool AtEnd() const { return m_pos >= m_format.size(); }
    bool OpensDirective() const { return m_format.at(m_pos) == '%'; }
    char TakeChar() { return m_format.at(m_pos++); }

    // Steps over the "%" of a directive; true when a second "%" makes it a
    // literal percent sign.
    bool TakeEscapedPercent()
    {
        m_start = m_pos++;
        if (!At('%'))
            return false;
        ++m_pos;
        return true;
    }

    // "%" ["-"] ["0"] [width | "*"] ["." (precision | "*")] type
    Directive ReadDirective()
    {
        Directive d;
        for (; At('-') || At('0'); ++m_pos)
            (At('-') ? d.leftAlign : d.zeroPad) = true;
        d.width = ReadCount(-1);
        if (At('.')) {
            ++m_pos;
            d.precision = ReadCount(0);
        }
        if (AtEnd())
            Fail(m_format.mid(m_start), "is incomplete");
        d.type = m_format.at(m_pos);
        d.text = TextSoFar();
        ++m_pos;
        return d;
    }

    const TCSArg &TakeArgument(const QByteArray &directive)
    {
        if (m_next >= m_args.size())
            Fail(directive, "has no argument");
        return m_args.at(m_next++);
    }

    [[noreturn]] void Fail(const QByteArray &directive, const char *why) const
    {
        ::Fail(directive, why, m_address);
    }

private:
    bool At(char c) const { return !AtEnd() && m_format.at(m_pos) == c; }
    bool AtDigit() const
    {
        return !AtEnd() && m_format.at(m_pos) >= '0' && m_format.at(m_pos) <= '9';
    }
    QByteArray TextSoFar() const
    {
        return m_format.mid(m_start, std::min(m_pos + 1, m_format.size()) - m_start);
    }

    // A width or precision: "*" takes it from the arguments, digits give it
    // in place, and without either it is none.
    int ReadCount(int none)
    {
        if (At('*')) {
            const int count = TakeCount();
            ++m_pos;
            return count;
        }
        int count = none;
        for (; AtDigit(); ++m_pos)
            count = std::max(count, 0) * 10 + (m_format.at(m_pos) - '0');
        return count;
    }

    int TakeCount()
    {
        const TCSArg &arg = TakeArgument(TextSoFar());
        if (!IsInteger(arg))
            Fail(TextSoFar(), "needs an integer for \"*\"");
        return static_cast<int>(std::clamp<qint64>(arg.integer(), -1, 1 << 20));
    }

    const QByteArray &m_format;
    const TCSArgs &m_args;
    const void *m_address;
    qsizetype m_pos = 0;
    qsizetype m_start = 0; // the "%" of the directive being read
    qsizetype m_next = 0;  // the next argument
};

// A converted argument before padding. Only numbers take zeros for padding.
struct Rendered
{
    QByteArray sign;
    QByteArray body;
    bool numeric = true;
};

QByteArray Digits(quint64 value, int base, bool upper)
{
    QByteArray text = QByteArray::number(value, base);
    return upper ? text.toUpper() : text;
}

// Applies the minimum digit count of an integer directive.
QByteArray WithPrecision(QByteArray digits, int precision)
{
    if (precision >= 0 && digits.size() < precision)
        digits.prepend(QByteArray(precision - digits.size(), '0'));
    return digits;
}

quint64 AsUnsigned(const TCSArg &arg)
{
    const auto value = static_cast<quint64>(arg.integer());
    return arg.bits() == 32 ? value & 0xFFFFFFFFu : value;
}

// Each conversion gives nothing when the argument does not fit it.

std::optional<Rendered> SignedDecimal(const Directive &d, const TCSArg &arg)
{
    if (!IsInteger(arg))
        return std::nullopt;
    if (arg.type() == TCSArg::Type::Integer && arg.integer() < 0)
        return Rendered{
            "-",
            WithPrecision(Digits(0 - static_cast<quint64>(arg.integer()), 10, false), d.precision)};
    return Rendered{
        {}, WithPrecision(Digits(static_cast<quint64>(arg.integer()), 10, false), d.precision)};
}

std::optional<Rendered> UnsignedDecimal(const Directive &d, const TCSArg &arg)
{
    if (!IsInteger(arg))
        return std::nullopt;
    return Rendered{{}, WithPrecision(Digits(AsUnsigned(arg), 10, false), d.precision)};
}

std::optional<Rendered> Hexadecimal(const Directive &d, const TCSArg &arg)
{
    if (!IsInteger(arg))
        return std::nullopt;
    return Rendered{{}, WithPrecision(Digits(AsUnsigned(arg), 16, d.type == 'X'), d.precision)};
}

std::optional<Rendered> FloatingPoint(const Directive &d, const TCSArg &arg)
{
    if (arg.type() != TCSArg::Type::Float)
        return std::nullopt;
    const double value = arg.floating();
    const char style = static_cast<char>(d.type | 0x20);
    // QByteArray::number is locale-independent: a diagnostic text must not
    // change with the user's decimal separator.
    QByteArray body = QByteArray::number(std::abs(value), style, d.precision < 0 ? 6 : d.precision);
    if (d.type == 'E' || d.type == 'G')
        body = body.toUpper();
    return Rendered{std::signbit(value) ? "-" : "", body};
}

std::optional<Rendered> Text(const Directive &d, const TCSArg &arg)
{
    if (arg.type() != TCSArg::Type::Text && arg.type() != TCSArg::Type::Char)
        return std::nullopt;
    return Rendered{{}, d.precision >= 0 ? arg.text().left(d.precision) : arg.text(), false};
}

std::optional<Rendered> Character(const Directive &, const TCSArg &arg)
{
    if (arg.type() == TCSArg::Type::Char)
        return Rendered{{}, arg.text(), false};
    if (IsInteger(arg))
        return Rendered{{}, QByteArray(1, static_cast<char>(arg.integer())), false};
    return std::nullopt;
}

std::optional<Rendered> Pointer(const Directive &, const TCSArg &arg)
{
    if (arg.type() != TCSArg::Type::Pointer)
        return std::nullopt;
    return Rendered{{},
                    Digits(static_cast<quint64>(arg.integer()), 16, true)
                        .rightJustified(2 * sizeof(void *), '0')};
}

struct Conversion
{
    std::string_view types;
    std::optional<Rendered> (*render)(const Directive &, const TCSArg &);
};

constexpr Conversion Conversions[] = {
    {"di", SignedDecimal}, {"u", UnsignedDecimal}, {"xX", Hexadecimal}, {"eEfgG", FloatingPoint},
    {"s", Text},           {"c", Character},       {"p", Pointer},
};

const Conversion *ConversionOf(char type)
{
    for (const Conversion &conversion : Conversions) {
        if (conversion.types.find(type) != std::string_view::npos)
            return &conversion;
    }
    return nullptr;
}

// Pads to the width: on the right when left-aligned, with zeros between
// sign and digits for a zero-padded number, otherwise with blanks in front.
void AppendPadded(QByteArray &out, const Directive &d, const Rendered &r)
{
    const qsizetype length = r.sign.size() + r.body.size();
    const qsizetype pad = d.width > length ? d.width - length : 0;
    if (d.leftAlign)
        out.append(r.sign).append(r.body).append(QByteArray(pad, ' '));
    else if (d.zeroPad && r.numeric)
        out.append(r.sign).append(QByteArray(pad, '0')).append(r.body);
    else
        out.append(QByteArray(pad, ' ')).append(r.sign).append(r.body);
}

} // namespace

QByteArray CSFormat(const QByteArray &format, const TCSArgs &args)
{
    // The failing address is the code that asked for the format: that is
    // where the mismatch between format and arguments lies.
    DirectiveReader reader(format, args, __builtin_return_address(0));
    QByteArray out;
    while (!reader.AtEnd()) {
        if (!reader.OpensDirective()) {
            out.append(reader.TakeChar());
            continue;
        }
        if (reader.TakeEscapedPercent()) {
            out.append('%');
            continue;
        }
        const Directive d = reader.ReadDirective();
        const Conversion *conversion = ConversionOf(d.type);
        if (!conversion)
            reader.Fail(d.text, "is not known");
        const TCSArg &arg = reader.TakeArgument(d.text);
        const std::optional<Rendered> rendered = conversion->render(d, arg);
        if (!rendered)
            reader.Fail(d.text, "does not fit its argument");
        AppendPadded(out, d, *rendered);
    }
    return out;
}
