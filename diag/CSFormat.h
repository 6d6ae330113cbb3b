#pragma once

#include "fileutil/Exception.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>

// Where an exception was raised, for the exception description that
// SendLastException sends; exceptions that do not carry one are described
// with the address of the code that reports them.
class TRaiseAddress
{
public:
    explicit TRaiseAddress(const void *address) : m_address(address) {}
    virtual ~TRaiseAddress() = default;
    const void *RaiseAddress() const { return m_address; }

private:
    const void *m_address;
};

// The format routine's conversion error: a directive that does not fit its
// argument, a missing argument, or a directive it does not know.
class EConvertError : public Exception, public TRaiseAddress
{
public:
    EConvertError(const QString &message, const void *address);
};

// One typed argument of the format routine.
class TCSArg
{
public:
    enum class Type
    {
        Integer,
        Unsigned,
        Float,
        Text,
        Char,
        Pointer
    };

    TCSArg(int value) : m_type(Type::Integer), m_int(value), m_bits(32) {}
    TCSArg(long value) : m_type(Type::Integer), m_int(value), m_bits(64) {}
    TCSArg(long long value) : m_type(Type::Integer), m_int(value), m_bits(64) {}
    TCSArg(unsigned value) : m_type(Type::Unsigned), m_int(value), m_bits(32) {}
    TCSArg(unsigned long value)
        : m_type(Type::Unsigned), m_int(static_cast<qint64>(value)), m_bits(64)
    {}
    TCSArg(unsigned long long value)
        : m_type(Type::Unsigned), m_int(static_cast<qint64>(value)), m_bits(64)
    {}
    TCSArg(double value) : m_type(Type::Float), m_float(value) {}
    TCSArg(char value) : m_type(Type::Char), m_text(1, value) {}
    TCSArg(const char *value) : m_type(Type::Text), m_text(value) {}
    TCSArg(const QByteArray &value) : m_type(Type::Text), m_text(value) {}
    TCSArg(const QString &value) : m_type(Type::Text), m_text(value.toUtf8()) {}
    TCSArg(const void *value)
        : m_type(Type::Pointer), m_int(static_cast<qint64>(reinterpret_cast<std::uintptr_t>(value)))
    {}
    TCSArg(bool) = delete; // a boolean has no directive; say what it should read

    Type type() const { return m_type; }
    qint64 integer() const { return m_int; }
    int bits() const { return m_bits; }
    double floating() const { return m_float; }
    const QByteArray &text() const { return m_text; }

private:
    Type m_type;
    qint64 m_int = 0;
    int m_bits = 64;
    double m_float = 0;
    QByteArray m_text;
};

using TCSArgs = QList<TCSArg>;

// The printf-like format routine of the diagnostic client. Directives:
// "%" ["-"] ["0"] [width | "*"] ["." (precision | "*")] type, with the types
// d i u x X (integers), e E f g G (floating point), s (text or one
// character), c (one character or a character code), p (pointer) and "%%".
// Throws EConvertError when a directive does not fit its argument.
QByteArray CSFormat(const QByteArray &format, const TCSArgs &args);
