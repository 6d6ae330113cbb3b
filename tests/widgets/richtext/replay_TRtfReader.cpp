// Replays the hostile documents of tests/corpus/rtf (or the files given)
// through the RTF reader.

#include "Replay.h"

int main(int argc, char **argv)
{
    return ReplayCorpus(argc, argv, FLITTO_CORPUS);
}
