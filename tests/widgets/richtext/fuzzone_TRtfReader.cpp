// One document through the RTF reader, for the corpus replay and the
// libFuzzer target alike. The reader promises to take any bytes and stay
// within its limits, whatever they hold.

#include "Replay.h"
#include "widgets/richtext/TRtfReader.h"

int FuzzOne(const uint8_t *data, size_t size)
{
    const TRtfContent content =
        TRtfReader::Read(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    Require(!content.paragraphs.isEmpty(), "there is always a last paragraph");
    int characters = int(content.paragraphs.size()) - 1; // the paragraph marks count
    for (const TRtfParagraph &paragraph : content.paragraphs) {
        for (const TRtfRun &run : paragraph.runs) {
            Require(!run.text.isEmpty(), "no run is empty");
            characters += int(run.text.size());
        }
    }
    Require(characters <= TRtfReader::MaxCharacters, "the text stays within MaxCharacters");
    Require(content.fonts.size() <= TRtfReader::MaxFonts, "at most MaxFonts fonts");
    Require(content.colors.size() <= TRtfReader::MaxColors, "at most MaxColors colours");
    for (const TRtfFont &font : content.fonts)
        Require(font.name.size() <= TRtfReader::MaxFontNameLength,
                "font names stay within MaxFontNameLength");
    return 0;
}
