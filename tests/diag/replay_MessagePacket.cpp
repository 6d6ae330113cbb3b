// Replays the hostile records of tests/corpus/messagepacket (or the files
// given) through the dispatcher's record parser.

#include "Replay.h"

int main(int argc, char **argv)
{
    return ReplayCorpus(argc, argv, FLITTO_CORPUS);
}
