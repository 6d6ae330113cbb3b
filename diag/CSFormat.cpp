#include "diag/CSFormat.h"

#include <algorithm>
#include <cmath>

EConvertError::EConvertError(const QString &message, const void *address)
    : Exception(message), TRaiseAddress(address)
{}

namespace {

struct Directive
{
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

} // namespace

QByteArray CSFormat(const QByteArray &format, const TCSArgs &args)
{
    // The failing address is the code that asked for the format: that is
    // where the mismatch between format and arguments lies.
    const void *address = __builtin_return_address(0);
    QByteArray out;
    qsizetype next = 0;
    qsizetype i = 0;
    const qsizetype n = format.size();
    while (i < n) {
        const char c = format.at(i);
        if (c != '%') {
            out.append(c);
            ++i;
            continue;
        }
        const qsizetype start = i++;
        if (i < n && format.at(i) == '%') {
            out.append('%');
            ++i;
            continue;
        }
        Directive d;
        auto directiveText = [&] { return format.mid(start, std::min(i + 1, n) - start); };
        auto takeCount = [&]() -> int {
            if (next >= args.size())
                Fail(directiveText(), "has no argument", address);
            const TCSArg &arg = args.at(next++);
            if (arg.type() != TCSArg::Type::Integer && arg.type() != TCSArg::Type::Unsigned)
                Fail(directiveText(), "needs an integer for \"*\"", address);
            return static_cast<int>(std::clamp<qint64>(arg.integer(), -1, 1 << 20));
        };
        for (; i < n && (format.at(i) == '-' || format.at(i) == '0'); ++i)
            (format.at(i) == '-' ? d.leftAlign : d.zeroPad) = true;
        if (i < n && format.at(i) == '*') {
            d.width = takeCount();
            ++i;
        } else {
            for (; i < n && format.at(i) >= '0' && format.at(i) <= '9'; ++i)
                d.width = std::max(d.width, 0) * 10 + (format.at(i) - '0');
        }
        if (i < n && format.at(i) == '.') {
            ++i;
            d.precision = 0;
            if (i < n && format.at(i) == '*') {
                d.precision = takeCount();
                ++i;
            } else {
                for (; i < n && format.at(i) >= '0' && format.at(i) <= '9'; ++i)
                    d.precision = d.precision * 10 + (format.at(i) - '0');
            }
        }
        if (i >= n)
            Fail(format.mid(start), "is incomplete", address);
        d.type = format.at(i);
        const QByteArray directive = directiveText();
        ++i;
        if (!QByteArray("diuxXeEfgGscp").contains(d.type))
            Fail(directive, "is not known", address);
        if (next >= args.size())
            Fail(directive, "has no argument", address);
        const TCSArg &arg = args.at(next++);
        const bool isInteger =
            arg.type() == TCSArg::Type::Integer || arg.type() == TCSArg::Type::Unsigned;

        QByteArray body;
        QByteArray sign;
        bool numeric = true;
        switch (d.type) {
        case 'd':
        case 'i':
            if (!isInteger)
                Fail(directive, "does not fit its argument", address);
            if (arg.type() == TCSArg::Type::Integer && arg.integer() < 0) {
                sign = "-";
                body = WithPrecision(Digits(0 - static_cast<quint64>(arg.integer()), 10, false),
                                     d.precision);
            } else {
                body = WithPrecision(Digits(static_cast<quint64>(arg.integer()), 10, false),
                                     d.precision);
            }
            break;
        case 'u':
            if (!isInteger)
                Fail(directive, "does not fit its argument", address);
            body = WithPrecision(Digits(AsUnsigned(arg), 10, false), d.precision);
            break;
        case 'x':
        case 'X':
            if (!isInteger)
                Fail(directive, "does not fit its argument", address);
            body = WithPrecision(Digits(AsUnsigned(arg), 16, d.type == 'X'), d.precision);
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'g':
        case 'G': {
            if (arg.type() != TCSArg::Type::Float)
                Fail(directive, "does not fit its argument", address);
            const double value = arg.floating();
            const char style = static_cast<char>(d.type | 0x20);
            // QByteArray::number is locale-independent: a diagnostic text
            // must not change with the user's decimal separator.
            body = QByteArray::number(std::abs(value), style, d.precision < 0 ? 6 : d.precision);
            if (d.type == 'E' || d.type == 'G')
                body = body.toUpper();
            if (std::signbit(value))
                sign = "-";
            break;
        }
        case 's':
            if (arg.type() != TCSArg::Type::Text && arg.type() != TCSArg::Type::Char)
                Fail(directive, "does not fit its argument", address);
            body = d.precision >= 0 ? arg.text().left(d.precision) : arg.text();
            numeric = false;
            break;
        case 'c':
            if (arg.type() == TCSArg::Type::Char)
                body = arg.text();
            else if (isInteger)
                body = QByteArray(1, static_cast<char>(arg.integer()));
            else
                Fail(directive, "does not fit its argument", address);
            numeric = false;
            break;
        case 'p':
            if (arg.type() != TCSArg::Type::Pointer)
                Fail(directive, "does not fit its argument", address);
            body = Digits(static_cast<quint64>(arg.integer()), 16, true)
                       .rightJustified(2 * sizeof(void *), '0');
            break;
        }
        const qsizetype length = sign.size() + body.size();
        const qsizetype pad = d.width > length ? d.width - length : 0;
        if (d.leftAlign)
            out.append(sign).append(body).append(QByteArray(pad, ' '));
        else if (d.zeroPad && numeric)
            out.append(sign).append(QByteArray(pad, '0')).append(body);
        else
            out.append(QByteArray(pad, ' ')).append(sign).append(body);
    }
    return out;
}
