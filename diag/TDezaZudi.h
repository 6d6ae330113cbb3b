#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

// Interim stand-in for the diagnostic message client: accepts the wizard's
// messages and drops them until the client and its dispatcher link land.
class TDezaZudi : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QByteArray HexNumPrefix READ HexNumPrefix WRITE SetHexNumPrefix)
    Q_PROPERTY(char QuoteChar READ QuoteChar WRITE SetQuoteChar)

public:
    explicit TDezaZudi(QObject *parent = nullptr);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    QByteArray HexNumPrefix() const { return m_hexNumPrefix; }
    void SetHexNumPrefix(const QByteArray &prefix) { m_hexNumPrefix = prefix; }
    char QuoteChar() const { return m_quoteChar; }
    void SetQuoteChar(char quote) { m_quoteChar = quote; }

    // Texts are bytes: the record on the wire is bytes, and a file name that
    // is not valid UTF-8 must reach the dispatcher as it is.
    void SendNamedValue(const QByteArray &Name, const QByteArray &Value);
    void SendNamedList(const QByteArray &Name, const QByteArrayList &List);

private:
    bool m_enabled = true;
    QByteArray m_hexNumPrefix = "$";
    char m_quoteChar = '\'';
};

// The variant of the client that lives on a window.
class TCSObject : public TDezaZudi
{
    Q_OBJECT

public:
    using TDezaZudi::TDezaZudi;
};
