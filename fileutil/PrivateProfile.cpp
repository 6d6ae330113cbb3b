#include "fileutil/PrivateProfile.h"

#include "fileutil/SafeFile.h"
#include <QStringBuilder>

#include <algorithm>
#include <vector>

namespace PrivateProfile {

namespace {

// One line of the file, as offsets into its bytes.
struct Line
{
    enum Kind
    {
        Other,
        Comment,
        Section,
        Key
    };

    qsizetype begin = 0; // first byte of the line
    qsizetype end = 0;   // end of its text, before the line ending
    qsizetype next = 0;  // first byte of the next line
    Kind kind = Other;
    QByteArray name;          // section or key name without surrounding blanks
    qsizetype valueStart = 0; // Key: after the "=" and the blanks that follow it

    bool hasEnding() const { return next > end; }
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v';
}

QByteArray TrimmedBlanks(const QByteArray &data, qsizetype from, qsizetype to)
{
    while (from < to && IsBlank(data[from]))
        ++from;
    while (to > from && IsBlank(data[to - 1]))
        --to;
    return data.mid(from, to - from);
}

// The names the caller passes lose their spaces only, not tabs.
QByteArray TrimmedSpaces(const QByteArray &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text[from] == ' ')
        ++from;
    while (to > from && text[to - 1] == ' ')
        --to;
    return text.mid(from, to - from);
}

char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Only ASCII letters fold: in a UTF-8 file, folding single bytes of other
// code pages would equate unrelated characters.
bool SameName(const QByteArray &a, const QByteArray &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

qsizetype Find(const QByteArray &data, char c, qsizetype from, qsizetype to)
{
    const auto found = std::find(data.begin() + from, data.begin() + to, c);
    return found - data.begin();
}

std::vector<Line> Lines(const QByteArray &data)
{
    std::vector<Line> lines;
    const qsizetype size = data.size();
    qsizetype pos = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (pos < size) {
        Line line;
        line.begin = pos;
        const qsizetype lf = data.indexOf('\n', pos);
        if (lf >= 0) {
            line.next = lf + 1;
            line.end = lf > pos && data[lf - 1] == '\r' ? lf - 1 : lf;
        } else {
            line.next = size;
            line.end = data.endsWith('\r') ? size - 1 : size;
        }

        qsizetype p = line.begin;
        while (p < line.end && IsBlank(data[p]))
            ++p;
        if (p < line.end && data[p] == '[') {
            line.kind = Line::Section;
            line.name = TrimmedBlanks(data, p + 1, Find(data, ']', p + 1, line.end));
        } else if (p < line.end && data[p] == ';') {
            line.kind = Line::Comment;
        } else if (const qsizetype eq = Find(data, '=', p, line.end); eq < line.end) {
            line.kind = Line::Key;
            line.name = TrimmedBlanks(data, p, eq);
            line.valueStart = eq + 1;
            while (line.valueStart < line.end && IsBlank(data[line.valueStart]))
                ++line.valueStart;
        }
        lines.push_back(line);
        pos = line.next;
    }
    return lines;
}

// Index of the first section line of that name, or -1.
qsizetype FindSection(const std::vector<Line> &lines, const QByteArray &section)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind == Line::Section && SameName(lines[i].name, section))
            return qsizetype(i);
    }
    return -1;
}

QByteArray CutToBuffer(const QByteArray &text, qsizetype bufferSize)
{
    return bufferSize <= 0 ? QByteArray() : text.left(bufferSize - 1);
}

QByteArray LineEnding(const QByteArray &data)
{
    const qsizetype lf = data.indexOf('\n');
    return lf > 0 && data[lf - 1] == '\r' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

bool HasAny(const QByteArray &text, const char *bytes)
{
    for (const char *b = bytes; *b; ++b) {
        if (text.contains(*b))
            return true;
    }
    return text.contains('\0');
}

bool HasOuterBlanks(const QByteArray &text)
{
    return !text.isEmpty() && (IsBlank(text.front()) || IsBlank(text.back()));
}

} // namespace

QByteArray FindValue(const QByteArray &contents, const QByteArray &section, const QByteArray &key,
                     const QByteArray &def, qsizetype bufferSize)
{
    const std::vector<Line> lines = Lines(contents);
    const QByteArray wantedKey = TrimmedSpaces(key);
    const qsizetype start = FindSection(lines, TrimmedSpaces(section));
    if (start >= 0) {
        for (size_t i = size_t(start) + 1; i < lines.size() && lines[i].kind != Line::Section;
             ++i) {
            const Line &line = lines[i];
            if (line.kind != Line::Key || !SameName(line.name, wantedKey))
                continue;
            QByteArray value = TrimmedBlanks(contents, line.valueStart, line.end);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            return CutToBuffer(value, bufferSize);
        }
    }
    QByteArray fallback = def;
    while (fallback.endsWith(' '))
        fallback.chop(1);
    return CutToBuffer(fallback, bufferSize);
}

std::optional<QByteArray> SetValue(const QByteArray &contents, const QByteArray &section,
                                   const QByteArray &key, const QByteArray &value)
{
    const QByteArray sectionName = TrimmedSpaces(section);
    const QByteArray keyName = TrimmedSpaces(key);
    // Refuse what would not read back as written, or would add lines of its
    // own to the file.
    if (HasAny(sectionName, "\r\n]") || HasOuterBlanks(sectionName))
        return std::nullopt;
    if (keyName.isEmpty() || HasAny(keyName, "\r\n=") || HasOuterBlanks(keyName) ||
        keyName.startsWith(';') || keyName.startsWith('['))
        return std::nullopt;
    if (HasAny(value, "\r\n"))
        return std::nullopt;

    const std::vector<Line> lines = Lines(contents);
    const QByteArray eol = LineEnding(contents);
    const QByteArray entry = keyName + '=' + value + eol;

    const qsizetype start = FindSection(lines, sectionName);
    if (start < 0) {
        const bool unfinished = !lines.empty() && !lines.back().hasEnding();
        return contents + (unfinished ? eol : QByteArray()) + '[' + sectionName + ']' + eol + entry;
    }

    size_t anchor = size_t(start);
    for (size_t i = size_t(start) + 1; i < lines.size() && lines[i].kind != Line::Section; ++i) {
        const Line &line = lines[i];
        if (line.kind != Line::Key)
            continue;
        if (SameName(line.name, keyName))
            return contents.left(line.valueStart) + value + contents.mid(line.end);
        anchor = i;
    }
    const Line &after = lines[anchor];
    return contents.left(after.next) + (after.hasEnding() ? QByteArray() : eol) + entry +
           contents.mid(after.next);
}

QByteArray GetString(const QByteArray &section, const QByteArray &key, const QByteArray &def,
                     qsizetype bufferSize, const QByteArray &fileName)
{
    QByteArray contents;
    if (SafeFile::ReadAll(fileName, &contents) != SafeFile::ReadStatus::Read)
        contents.clear();
    return FindValue(contents, section, key, def, bufferSize);
}

bool WriteString(const QByteArray &section, const QByteArray &key, const QByteArray &value,
                 const QByteArray &fileName)
{
    QByteArray contents;
    // A file that exists but cannot be read is never replaced: its other
    // entries would be lost.
    if (SafeFile::ReadAll(fileName, &contents) == SafeFile::ReadStatus::Failed)
        return false;
    const std::optional<QByteArray> changed = SetValue(contents, section, key, value);
    return changed && SafeFile::Replace(fileName, *changed);
}

std::optional<QByteArray> Lookup(const QByteArray &contents, const QByteArray &section,
                                 const QByteArray &key)
{
    // No value can hold a line break, so a default of one tells a missing
    // key from an empty value.
    const QByteArray missing("\n");
    const QByteArray value = FindValue(contents, section, key, missing, contents.size() + 2);
    if (value == missing)
        return std::nullopt;
    return value;
}

std::optional<QByteArray> ReadValue(const QByteArray &fileName, const QByteArray &section,
                                    const QByteArray &key)
{
    QByteArray contents;
    if (SafeFile::ReadAll(fileName, &contents) != SafeFile::ReadStatus::Read)
        return std::nullopt;
    return Lookup(contents, section, key);
}

} // namespace PrivateProfile
