#pragma once

// Replaying a corpus of hostile inputs through a reader. Each reader has a
// FuzzOne in the shape of libFuzzer's entry point, so that a coverage-guided
// build can call the same function; the replay programs run it over every
// file of the reader's corpus folder in every build.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Feeds one input to the reader and checks what it made of it. Returns 0;
// an input that breaks the reader's contract stops the program.
int FuzzOne(const uint8_t *data, size_t size);

// Stops the program when the reader broke its contract: to libFuzzer this
// is a crash like any other, to a replay a failing test.
inline void Require(bool holds, const char *contract)
{
    if (holds)
        return;
    std::fprintf(stderr, "contract broken: %s\n", contract);
    std::fflush(stderr);
    std::abort();
}

// Runs FuzzOne over the files given on the command line, or else over every
// file in corpusFolder. Fails when there is nothing to run or a file cannot
// be read.
int ReplayCorpus(int argc, char **argv, const char *corpusFolder);
