// Coverage-guided fuzzing of the RTF reader with libFuzzer (clang builds
// only; run by hand: fuzz_TRtfReader -max_total_time=600 found/
// tests/corpus/rtf). libFuzzer adds what it finds to the first folder, so
// the committed corpus stays as it is. The checks are those of the corpus
// replay, which runs in every build, as does the bounded random-document
// test.

#include "Replay.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return FuzzOne(data, size);
}
