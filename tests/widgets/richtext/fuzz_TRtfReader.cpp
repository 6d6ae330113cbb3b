// Coverage-guided fuzzing of the RTF reader with libFuzzer (clang builds
// only; run by hand: fuzz_TRtfReader -max_total_time=600 corpus/). The
// bounded random-document test runs in every build instead.

#include "widgets/richtext/TRtfReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const TRtfContent content =
        TRtfReader::Read(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    int characters = int(content.paragraphs.size()) - 1;
    for (const TRtfParagraph &paragraph : content.paragraphs) {
        for (const TRtfRun &run : paragraph.runs) {
            if (run.text.isEmpty())
                __builtin_trap();
            characters += int(run.text.size());
        }
    }
    if (content.paragraphs.isEmpty() || characters > TRtfReader::MaxCharacters ||
        content.fonts.size() > TRtfReader::MaxFonts ||
        content.colors.size() > TRtfReader::MaxColors)
        __builtin_trap();
    return 0;
}
