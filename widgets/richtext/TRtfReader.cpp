#include "widgets/richtext/TRtfReader.h"

#include "fileutil/HexDigit.h"

#include <algorithm>
#include <array>
#include <climits>
#include <string_view>
#include <utility>

QString TRtfParagraph::Text() const
{
    QString text;
    for (const TRtfRun &run : runs)
        text += run.text;
    return text;
}

std::optional<QRgb> TRtfContent::ColorOf(const TRtfCharFormat &format) const
{
    if (format.color < 0 || format.color >= colors.size())
        return std::nullopt;
    return colors.at(format.color);
}

TRtfFont TRtfContent::FontOf(const TRtfCharFormat &format) const
{
    const auto found = fonts.constFind(format.font < 0 ? defaultFont : format.font);
    if (found != fonts.cend())
        return *found;
    return fonts.value(defaultFont);
}

char16_t Cp1252ToUnicode(unsigned char byte)
{
    static constexpr std::array<char16_t, 32> high = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    if (byte >= 0x80 && byte < 0xA0)
        return high[byte - 0x80];
    return byte;
}

namespace {

enum class Word
{
    Unknown,
    Ansicpg,
    Deff,
    FontTable,
    ColorTable,
    SkipDestination,
    Font,
    FontFamily,
    FontCharset,
    Red,
    Green,
    Blue,
    FontSize,
    Color,
    Plain,
    Pard,
    Par,
    Character,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Align,
    UnicodeSkip,
    Unicode,
    Binary,
};

struct WordEntry
{
    std::string_view name;
    Word word;
    int value = 0; // the character, the font family or the alignment
};

// Destinations whose text is not part of the shown document. Anything
// marked with \* is skipped as well, known or not.
constexpr WordEntry kWords[] = {
    {"ansicpg", Word::Ansicpg},
    {"deff", Word::Deff},
    {"fonttbl", Word::FontTable},
    {"colortbl", Word::ColorTable},
    {"stylesheet", Word::SkipDestination},
    {"info", Word::SkipDestination},
    {"pict", Word::SkipDestination},
    {"object", Word::SkipDestination},
    {"header", Word::SkipDestination},
    {"headerl", Word::SkipDestination},
    {"headerr", Word::SkipDestination},
    {"headerf", Word::SkipDestination},
    {"footer", Word::SkipDestination},
    {"footerl", Word::SkipDestination},
    {"footerr", Word::SkipDestination},
    {"footerf", Word::SkipDestination},
    {"footnote", Word::SkipDestination},
    {"annotation", Word::SkipDestination},
    {"fldinst", Word::SkipDestination},
    {"listtable", Word::SkipDestination},
    {"listoverridetable", Word::SkipDestination},
    {"rsidtbl", Word::SkipDestination},
    {"revtbl", Word::SkipDestination},
    {"filetbl", Word::SkipDestination},
    {"generator", Word::SkipDestination},
    {"xmlnstbl", Word::SkipDestination},
    {"themedata", Word::SkipDestination},
    {"colorschememapping", Word::SkipDestination},
    {"latentstyles", Word::SkipDestination},
    {"datastore", Word::SkipDestination},
    {"pn", Word::SkipDestination},
    {"nonshppict", Word::SkipDestination},
    {"xe", Word::SkipDestination},
    {"tc", Word::SkipDestination},
    {"txe", Word::SkipDestination},
    {"f", Word::Font},
    {"fnil", Word::FontFamily, int(TRtfFontFamily::Nil)},
    {"froman", Word::FontFamily, int(TRtfFontFamily::Roman)},
    {"fswiss", Word::FontFamily, int(TRtfFontFamily::Swiss)},
    {"fmodern", Word::FontFamily, int(TRtfFontFamily::Modern)},
    {"fscript", Word::FontFamily, int(TRtfFontFamily::Script)},
    {"fdecor", Word::FontFamily, int(TRtfFontFamily::Decor)},
    {"ftech", Word::FontFamily, int(TRtfFontFamily::Tech)},
    {"fbidi", Word::FontFamily, int(TRtfFontFamily::Bidi)},
    {"fcharset", Word::FontCharset},
    {"red", Word::Red},
    {"green", Word::Green},
    {"blue", Word::Blue},
    {"fs", Word::FontSize},
    {"cf", Word::Color},
    {"plain", Word::Plain},
    {"pard", Word::Pard},
    {"par", Word::Par},
    {"sect", Word::Par},
    {"page", Word::Par},
    {"row", Word::Par},
    {"line", Word::Character, 0x2028},
    {"tab", Word::Character, '\t'},
    {"cell", Word::Character, '\t'},
    {"emdash", Word::Character, 0x2014},
    {"endash", Word::Character, 0x2013},
    {"emspace", Word::Character, 0x2003},
    {"enspace", Word::Character, 0x2002},
    {"qmspace", Word::Character, 0x2005},
    {"bullet", Word::Character, 0x2022},
    {"lquote", Word::Character, 0x2018},
    {"rquote", Word::Character, 0x2019},
    {"ldblquote", Word::Character, 0x201C},
    {"rdblquote", Word::Character, 0x201D},
    {"zwj", Word::Character, 0x200D},
    {"zwnj", Word::Character, 0x200C},
    {"ltrmark", Word::Character, 0x200E},
    {"rtlmark", Word::Character, 0x200F},
    {"b", Word::Bold},
    {"i", Word::Italic},
    {"ul", Word::Underline},
    {"ulnone", Word::UnderlineNone},
    {"strike", Word::Strike},
    {"ql", Word::Align, int(TRtfAlignment::Left)},
    {"qc", Word::Align, int(TRtfAlignment::Center)},
    {"qr", Word::Align, int(TRtfAlignment::Right)},
    {"qj", Word::Align, int(TRtfAlignment::Justify)},
    {"uc", Word::UnicodeSkip},
    {"u", Word::Unicode},
    {"bin", Word::Binary},
};

WordEntry LookUp(std::string_view name)
{
    static const auto sorted = [] {
        std::array<WordEntry, std::size(kWords)> table{};
        std::copy(std::begin(kWords), std::end(kWords), table.begin());
        std::sort(table.begin(), table.end(),
                  [](const WordEntry &a, const WordEntry &b) { return a.name < b.name; });
        return table;
    }();
    const auto found = std::lower_bound(
        sorted.begin(), sorted.end(), name,
        [](const WordEntry &entry, std::string_view key) { return entry.name < key; });
    if (found != sorted.end() && found->name == name)
        return *found;
    return {name, Word::Unknown};
}

bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Control characters are not text; a tab and the line separator are.
bool IsShownCharacter(char16_t ch)
{
    if (ch == u'\t')
        return true;
    return ch >= 0x20 && !(ch >= 0x7F && ch < 0xA0);
}

// Replaces every UTF-16 surrogate that is not part of a pair.
void RepairSurrogates(QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (ch.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
}

enum class Destination : quint8
{
    Body,
    FontTable,
    ColorTable,
    Skip
};

struct GroupState
{
    Destination destination = Destination::Body;
    TRtfCharFormat format;
    TRtfAlignment alignment = TRtfAlignment::Left;
    int unicodeSkip = 1; // \ucN: fallback characters that follow each \uN
};

// A control word as it stands in the document: its entry and its numeric
// parameter, if it has one.
struct ControlWordCall
{
    WordEntry entry;
    bool hasParameter = false;
    int parameter = 0;
};

// One pass over the bytes with an explicit stack of group states: no
// recursion, so nesting depth costs no machine stack.
class Parser
{
public:
    explicit Parser(const QByteArray &document)
        : m_pos(document.constData()), m_end(document.constData() + document.size())
    {}

    std::optional<TRtfContent> Run();

private:
    void OpenGroup();
    void CloseGroup();
    void ControlSequence();
    void ControlWord();
    ControlWordCall ReadControlWord();
    // One function for each family of control words. Those of the document
    // act in every destination; the others only in their own. The two that
    // return bool tell whether the word was one of theirs.
    bool DocumentWord(const ControlWordCall &call);
    void FontTableWord(const ControlWordCall &call);
    void ColorTableWord(const ControlWordCall &call);
    void BodyWord(const ControlWordCall &call);
    bool FormatFlagWord(const ControlWordCall &call);
    void HexCharacter();
    void RawCharacter(unsigned char byte);
    void Emit(char16_t ch);
    void AppendText(char16_t ch);
    void EndParagraph();
    void CommitFont();
    void CommitColor();
    // True when the unit is one of the fallback characters after \uN.
    bool SkipsFallback();

    const char *m_pos;
    const char *m_end;
    QList<GroupState> m_stack;
    int m_overflowDepth = 0;
    GroupState m_state;
    TRtfContent m_content;
    TRtfParagraph m_paragraph;
    int m_characters = 0;
    int m_pendingSkip = 0;
    bool m_done = false;

    int m_fontNumber = -1;
    TRtfFont m_font;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorGiven = false;
};

std::optional<TRtfContent> Parser::Run()
{
    constexpr std::string_view magic = "{\\rtf";
    if (m_end - m_pos < qsizetype(magic.size()) || std::string_view(m_pos, magic.size()) != magic)
        return std::nullopt;
    if (m_pos + magic.size() < m_end && IsLetter(m_pos[magic.size()]))
        return std::nullopt; // another control word that merely starts with "rtf"
    m_content.rtf = true;
    m_stack.reserve(16);

    while (m_pos < m_end && !m_done) {
        const char c = *m_pos++;
        switch (c) {
        case '{':
            OpenGroup();
            break;
        case '}':
            CloseGroup();
            break;
        case '\\':
            ControlSequence();
            break;
        default:
            RawCharacter(static_cast<unsigned char>(c));
            break;
        }
    }

    if (m_state.destination == Destination::FontTable)
        CommitFont();
    m_paragraph.markFormat = m_state.format;
    m_paragraph.alignment = m_state.alignment;
    m_content.paragraphs.append(std::move(m_paragraph));
    for (TRtfParagraph &paragraph : m_content.paragraphs) {
        for (TRtfRun &run : paragraph.runs)
            RepairSurrogates(run.text);
    }
    return std::move(m_content);
}

void Parser::OpenGroup()
{
    m_pendingSkip = 0;
    if (m_stack.size() < TRtfReader::MaxDepth)
        m_stack.append(m_state);
    else
        ++m_overflowDepth;
}

void Parser::CloseGroup()
{
    m_pendingSkip = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return;
    }
    if (m_stack.isEmpty()) { // cannot happen: the outermost group ends the document
        m_done = true;
        return;
    }
    const GroupState outer = m_stack.takeLast();
    if (m_state.destination == Destination::FontTable &&
        outer.destination != Destination::FontTable)
        CommitFont(); // an entry without its ";" ends with the table
    if (m_stack.isEmpty()) {
        // The document's closing brace: what follows is not read, and the
        // last paragraph keeps the format the text ended in.
        m_done = true;
        return;
    }
    m_state = outer;
}

void Parser::ControlSequence()
{
    if (m_pos >= m_end)
        return; // a lone backslash at the end of a truncated document
    const char c = *m_pos;
    if (IsLetter(c)) {
        ControlWord();
        return;
    }
    ++m_pos;
    switch (c) {
    case '\'':
        HexCharacter();
        break;
    case '\\':
    case '{':
    case '}':
        Emit(char16_t(c));
        break;
    case '~':
        Emit(0x00A0);
        break;
    case '_':
        Emit(0x2011);
        break;
    case '*':
        m_state.destination = Destination::Skip;
        break;
    case '\r':
    case '\n':
        if (!SkipsFallback() && m_state.destination == Destination::Body)
            EndParagraph();
        break;
    default: // \- (optional hyphen), \| \: and unknown symbols show nothing
        SkipsFallback();
        break;
    }
}

void Parser::HexCharacter()
{
    int value = 0;
    int digits = 0;
    while (digits < 2 && m_pos < m_end && HexDigitValue(*m_pos) >= 0) {
        value = value * 16 + HexDigitValue(*m_pos);
        ++m_pos;
        ++digits;
    }
    if (digits == 0)
        return;
    const char16_t ch = Cp1252ToUnicode(static_cast<unsigned char>(value));
    if (ch == 0) {
        SkipsFallback();
        return;
    }
    Emit(ch);
}

ControlWordCall Parser::ReadControlWord()
{
    const char *nameStart = m_pos;
    while (m_pos < m_end && IsLetter(*m_pos))
        ++m_pos;
    std::string_view name(nameStart, m_pos - nameStart);

    bool hasParameter = false;
    bool negative = false;
    qint64 magnitude = 0;
    if (m_pos + 1 < m_end && *m_pos == '-' && IsDigit(m_pos[1])) {
        negative = true;
        ++m_pos;
    }
    while (m_pos < m_end && IsDigit(*m_pos)) {
        hasParameter = true;
        if (magnitude <= INT_MAX) // saturates: a huge number is read to its end
            magnitude = magnitude * 10 + (*m_pos - '0');
        ++m_pos;
    }
    if (m_pos < m_end && *m_pos == ' ')
        ++m_pos; // the delimiter belongs to the control word
    magnitude = std::min<qint64>(magnitude, INT_MAX);
    const int parameter = int(negative ? -magnitude : magnitude);

    const WordEntry entry = name.size() > 32 ? WordEntry{name, Word::Unknown} : LookUp(name);
    return {entry, hasParameter, parameter};
}

void Parser::ControlWord()
{
    const ControlWordCall call = ReadControlWord();
    if (call.entry.word == Word::Binary) {
        // Binary data is skipped whatever the destination; it may hold braces.
        const qint64 count = call.hasParameter ? std::max(call.parameter, 0) : 0;
        m_pos += std::min<qint64>(count, m_end - m_pos);
        SkipsFallback();
        return;
    }
    if (SkipsFallback() || m_state.destination == Destination::Skip)
        return;
    if (DocumentWord(call))
        return;
    if (m_state.destination == Destination::FontTable)
        FontTableWord(call);
    else if (m_state.destination == Destination::ColorTable)
        ColorTableWord(call);
    else
        BodyWord(call);
}

bool Parser::DocumentWord(const ControlWordCall &call)
{
    switch (call.entry.word) {
    case Word::Ansicpg:
        m_content.codePage = call.parameter;
        return true;
    case Word::Deff:
        m_content.defaultFont = call.parameter;
        return true;
    case Word::FontTable:
        m_state.destination = Destination::FontTable;
        m_fontNumber = -1;
        m_font = {};
        return true;
    case Word::ColorTable:
        m_state.destination = Destination::ColorTable;
        m_red = m_green = m_blue = 0;
        m_colorGiven = false;
        return true;
    case Word::SkipDestination:
        m_state.destination = Destination::Skip;
        return true;
    case Word::UnicodeSkip:
        m_state.unicodeSkip = std::clamp(call.parameter, 0, 16);
        return true;
    case Word::Unicode: {
        int code = call.parameter;
        if (code < 0)
            code += 65536;
        Emit(code >= 0 && code <= 0xFFFF ? char16_t(code) : char16_t(0xFFFD));
        m_pendingSkip = m_state.unicodeSkip;
        return true;
    }
    default:
        return false;
    }
}

void Parser::FontTableWord(const ControlWordCall &call)
{
    switch (call.entry.word) {
    case Word::Font:
        if (!m_font.name.isEmpty())
            CommitFont();
        m_fontNumber = call.hasParameter ? call.parameter : 0;
        m_font = {};
        break;
    case Word::FontFamily:
        m_font.family = TRtfFontFamily(call.entry.value);
        break;
    case Word::FontCharset:
        m_font.charset = call.parameter;
        break;
    default:
        break;
    }
}

void Parser::ColorTableWord(const ControlWordCall &call)
{
    static constexpr std::pair<Word, int Parser::*> components[] = {
        {Word::Red, &Parser::m_red},
        {Word::Green, &Parser::m_green},
        {Word::Blue, &Parser::m_blue},
    };
    for (const auto &[word, component] : components) {
        if (word == call.entry.word) {
            this->*component = std::clamp(call.parameter, 0, 255);
            m_colorGiven = true;
            return;
        }
    }
}

void Parser::BodyWord(const ControlWordCall &call)
{
    if (FormatFlagWord(call))
        return;
    TRtfCharFormat &format = m_state.format;
    switch (call.entry.word) {
    case Word::Font:
        format.font = call.hasParameter ? call.parameter : 0;
        break;
    case Word::FontSize:
        // Sizes outside 1 to 1638 points are no text size; they are held
        // to that range so that no font engine is asked for a giant glyph.
        format.halfPoints = std::clamp(call.hasParameter ? call.parameter : 24, 2, 3276);
        break;
    case Word::Color:
        format.color = std::max(call.parameter, 0);
        break;
    case Word::Plain:
        format = TRtfCharFormat{};
        break;
    case Word::Pard:
        m_state.alignment = TRtfAlignment::Left;
        break;
    case Word::Align:
        m_state.alignment = TRtfAlignment(call.entry.value);
        break;
    case Word::Par:
        EndParagraph();
        break;
    case Word::Character:
        AppendText(char16_t(call.entry.value));
        break;
    default: // unknown words and those without a visible effect
        break;
    }
}

bool Parser::FormatFlagWord(const ControlWordCall &call)
{
    // The switches of the character format: \b or \b1 turns one on, \b0
    // turns it off; \ulnone turns underlining off whatever its parameter.
    struct FormatFlag
    {
        Word word;
        bool TRtfCharFormat::*flag;
        bool followsParameter;
    };
    static constexpr FormatFlag flags[] = {
        {Word::Bold, &TRtfCharFormat::bold, true},
        {Word::Italic, &TRtfCharFormat::italic, true},
        {Word::Underline, &TRtfCharFormat::underline, true},
        {Word::UnderlineNone, &TRtfCharFormat::underline, false},
        {Word::Strike, &TRtfCharFormat::strike, true},
    };
    for (const FormatFlag &entry : flags) {
        if (entry.word == call.entry.word) {
            const bool on = !call.hasParameter || call.parameter != 0;
            m_state.format.*entry.flag = entry.followsParameter && on;
            return true;
        }
    }
    return false;
}

void Parser::RawCharacter(unsigned char byte)
{
    // Line breaks of the source are not text; nor are other control bytes.
    if (byte < 0x20 && byte != '\t')
        return;
    const char16_t ch = Cp1252ToUnicode(byte);
    if (ch == 0) {
        SkipsFallback();
        return;
    }
    Emit(ch);
}

bool Parser::SkipsFallback()
{
    if (m_pendingSkip <= 0)
        return false;
    --m_pendingSkip;
    return true;
}

void Parser::Emit(char16_t ch)
{
    if (SkipsFallback())
        return;
    switch (m_state.destination) {
    case Destination::Body:
        AppendText(ch);
        break;
    case Destination::FontTable:
        if (ch == u';')
            CommitFont();
        else if (m_font.name.size() < TRtfReader::MaxFontNameLength && IsShownCharacter(ch))
            m_font.name.append(QChar(ch));
        break;
    case Destination::ColorTable:
        if (ch == u';')
            CommitColor();
        break;
    case Destination::Skip:
        break;
    }
}

void Parser::AppendText(char16_t ch)
{
    if (!IsShownCharacter(ch))
        return;
    if (m_characters >= TRtfReader::MaxCharacters) {
        m_content.truncated = true;
        m_done = true;
        return;
    }
    ++m_characters;
    if (m_paragraph.runs.isEmpty() || m_paragraph.runs.constLast().format != m_state.format)
        m_paragraph.runs.append(TRtfRun{QString(), m_state.format});
    m_paragraph.runs.last().text.append(QChar(ch));
}

void Parser::EndParagraph()
{
    if (m_characters >= TRtfReader::MaxCharacters) {
        m_content.truncated = true;
        m_done = true;
        return;
    }
    ++m_characters;
    m_paragraph.markFormat = m_state.format;
    m_paragraph.alignment = m_state.alignment;
    m_content.paragraphs.append(std::move(m_paragraph));
    m_paragraph = TRtfParagraph{};
}

void Parser::CommitFont()
{
    if (m_fontNumber >= 0 && m_content.fonts.size() < TRtfReader::MaxFonts &&
        !m_content.fonts.contains(m_fontNumber)) {
        m_font.name = m_font.name.trimmed();
        m_content.fonts.insert(m_fontNumber, m_font);
    }
    m_fontNumber = -1;
    m_font = {};
}

void Parser::CommitColor()
{
    if (m_content.colors.size() < TRtfReader::MaxColors) {
        if (m_colorGiven)
            m_content.colors.append(qRgb(m_red, m_green, m_blue));
        else
            m_content.colors.append(std::nullopt);
    }
    m_red = m_green = m_blue = 0;
    m_colorGiven = false;
}

} // namespace

std::optional<TRtfContent> TRtfReader::ReadRtf(const QByteArray &document)
{
    return Parser(document).Run();
}

TRtfContent TRtfReader::ReadPlainText(const QByteArray &document)
{
    TRtfContent content;
    TRtfCharFormat format;
    format.halfPoints = 0; // the size of the font the text is shown in
    TRtfParagraph paragraph;
    paragraph.markFormat = format;
    QString text;
    int characters = 0;
    const auto endParagraph = [&] {
        if (!text.isEmpty())
            paragraph.runs.append(TRtfRun{text, format});
        content.paragraphs.append(paragraph);
        paragraph.runs.clear();
        text.clear();
    };
    for (qsizetype i = 0; i < document.size(); ++i) {
        const auto byte = static_cast<unsigned char>(document.at(i));
        if (byte == 0)
            break;
        if (characters >= MaxCharacters) {
            content.truncated = true;
            break;
        }
        if (byte == '\r' || byte == '\n') {
            if (byte == '\r' && i + 1 < document.size() && document.at(i + 1) == '\n')
                ++i;
            endParagraph();
            ++characters;
            continue;
        }
        const char16_t ch = Cp1252ToUnicode(byte);
        if (!IsShownCharacter(ch))
            continue;
        text.append(QChar(ch));
        ++characters;
    }
    endParagraph();
    return content;
}

TRtfContent TRtfReader::Read(const QByteArray &document)
{
    if (std::optional<TRtfContent> content = ReadRtf(document))
        return std::move(*content);
    return ReadPlainText(document);
}
