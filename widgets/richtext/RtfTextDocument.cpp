#include "widgets/richtext/RtfTextDocument.h"

#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextOption>

namespace {

QFont::StyleHint StyleHintOf(TRtfFontFamily family)
{
    switch (family) {
    case TRtfFontFamily::Roman:
        return QFont::Serif;
    case TRtfFontFamily::Modern:
        return QFont::TypeWriter;
    case TRtfFontFamily::Script:
        return QFont::Cursive;
    case TRtfFontFamily::Decor:
        return QFont::Decorative;
    default:
        return QFont::SansSerif;
    }
}

Qt::Alignment AlignmentOf(TRtfAlignment alignment)
{
    switch (alignment) {
    case TRtfAlignment::Center:
        return Qt::AlignHCenter;
    case TRtfAlignment::Right:
        return Qt::AlignRight;
    case TRtfAlignment::Justify:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

QTextCharFormat CharFormatOf(const TRtfContent &content, const TRtfCharFormat &format,
                             const QFont &fallback)
{
    QTextCharFormat result;
    const TRtfFont font = content.FontOf(format);
    if (font.name.isEmpty()) {
        result.setFontFamilies(fallback.families().isEmpty() ? QStringList{fallback.family()}
                                                             : fallback.families());
        result.setFontStyleHint(fallback.styleHint());
    } else {
        result.setFontFamilies({font.name});
        result.setFontStyleHint(StyleHintOf(font.family));
    }
    if (format.halfPoints > 0)
        result.setFontPointSize(content.PointSizeOf(format));
    else if (fallback.pointSizeF() > 0)
        result.setFontPointSize(fallback.pointSizeF());
    else
        result.setProperty(QTextFormat::FontPixelSize, fallback.pixelSize());
    result.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    result.setFontItalic(format.italic);
    result.setFontUnderline(format.underline);
    result.setFontStrikeOut(format.strike);
    if (const std::optional<QRgb> color = content.ColorOf(format))
        result.setForeground(QColor::fromRgb(*color));
    return result;
}

} // namespace

void FillTextDocument(const TRtfContent &content, QTextDocument &document, const QFont &fallback)
{
    document.clear();
    document.setDocumentMargin(0);
    document.setDefaultFont(fallback);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    document.setDefaultTextOption(option);

    QTextCursor cursor(&document);
    bool first = true;
    for (const TRtfParagraph &paragraph : content.paragraphs) {
        QTextBlockFormat blockFormat;
        blockFormat.setAlignment(AlignmentOf(paragraph.alignment));
        // The paragraph mark's format gives an empty paragraph its height.
        const QTextCharFormat markFormat = CharFormatOf(content, paragraph.markFormat, fallback);
        if (first) {
            cursor.setBlockFormat(blockFormat);
            cursor.setBlockCharFormat(markFormat);
            first = false;
        } else {
            cursor.insertBlock(blockFormat, markFormat);
        }
        for (const TRtfRun &run : paragraph.runs)
            cursor.insertText(run.text, CharFormatOf(content, run.format, fallback));
    }
}
