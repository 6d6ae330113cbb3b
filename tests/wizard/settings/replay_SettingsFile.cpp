// Replays the hostile settings files of tests/corpus/ini (or the files
// given) through the settings file's reader and writer.

#include "Replay.h"

int main(int argc, char **argv)
{
    return ReplayCorpus(argc, argv, FLITTO_CORPUS);
}
