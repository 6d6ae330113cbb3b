// Replays the hostile files of tests/corpus/elf (or the files given)
// through the ELF section reader.

#include "Replay.h"

int main(int argc, char **argv)
{
    return ReplayCorpus(argc, argv, FLITTO_CORPUS);
}
