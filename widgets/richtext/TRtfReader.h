#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QRgb>
#include <QString>

#include <optional>

// Character formatting of RTF text as the reader tracks it: numbers into the
// document's font and colour tables, resolved only when the text is shown.
struct TRtfCharFormat
{
    int font = -1;          // \fN; -1 until the first \f: the default font (\deffN)
    int halfPoints = 24;    // \fsN; 0: the size of the font the text is shown in
    int color = -1;         // \cfN; -1 until the first \cf: the automatic colour
    bool bold = false;      // \b
    bool italic = false;    // \i
    bool underline = false; // \ul
    bool strike = false;    // \strike

    bool operator==(const TRtfCharFormat &) const = default;
};

enum class TRtfAlignment
{
    Left,
    Center,
    Right,
    Justify
};

// A stretch of text in one format.
struct TRtfRun
{
    QString text;
    TRtfCharFormat format;
};

// One paragraph. The mark format is the format in force at its \par: it
// gives an empty paragraph its line height.
struct TRtfParagraph
{
    QList<TRtfRun> runs;
    TRtfCharFormat markFormat;
    TRtfAlignment alignment = TRtfAlignment::Left;

    QString Text() const;
};

enum class TRtfFontFamily
{
    Nil,
    Roman,
    Swiss,
    Modern,
    Script,
    Decor,
    Tech,
    Bidi
};

struct TRtfFont
{
    QString name;
    TRtfFontFamily family = TRtfFontFamily::Nil;
    int charset = 0;
};

// What the reader made of a document: its tables and its paragraphs. There
// is always at least one paragraph (the last one, which no \par ends).
struct TRtfContent
{
    bool rtf = false;       // false: the bytes were taken as plain text
    bool truncated = false; // the character limit cut the document short
    int codePage = 1252;
    int defaultFont = 0;
    QMap<int, TRtfFont> fonts;
    QList<std::optional<QRgb>> colors; // std::nullopt: the automatic colour
    QList<TRtfParagraph> paragraphs;

    // The colour of text in this format; std::nullopt is the automatic
    // colour (the window-text colour where the text is drawn).
    std::optional<QRgb> ColorOf(const TRtfCharFormat &format) const;
    // The font of text in this format; an unknown number gives the default
    // font, and a missing default font an empty name.
    TRtfFont FontOf(const TRtfCharFormat &format) const;
    qreal PointSizeOf(const TRtfCharFormat &format) const { return format.halfPoints / 2.0; }
};

// Flitto's own reader for the rich-text documents of the wizard's labels.
// It reads the common RTF subset (font and colour tables, \pard, \plain,
// \f, \fs, \cf, \b, \i, \ul, \strike, alignment, \par, \line, \tab, \'hh,
// \uN, \ucN, \bin, the typographic symbols) and skips every destination and
// control word it does not know. It never fails on any input: its time is
// linear in the input and its memory bounded whatever the input.
class TRtfReader
{
public:
    // The platform's editor control held at most this many characters by
    // default (paragraph marks count); longer documents are cut there, which
    // also bounds the memory a hostile document can make the reader take.
    static constexpr int MaxCharacters = 32767;
    // Groups nested deeper than this share the state of the deepest one.
    static constexpr int MaxDepth = 256;
    static constexpr int MaxFonts = 256;
    static constexpr int MaxColors = 256;
    static constexpr int MaxFontNameLength = 256;

    // The document as RTF when it is RTF (it opens with "{\rtf"), otherwise
    // its bytes as plain text.
    static TRtfContent Read(const QByteArray &document);
    // std::nullopt when the bytes are not an RTF document.
    static std::optional<TRtfContent> ReadRtf(const QByteArray &document);
    // The bytes as text in code page 1252, one paragraph per line, up to the
    // first zero byte.
    static TRtfContent ReadPlainText(const QByteArray &document);
};

// A byte of code page 1252 (the documents' "ANSI" code page) as Unicode;
// the five unassigned positions give 0.
char16_t Cp1252ToUnicode(unsigned char byte);
