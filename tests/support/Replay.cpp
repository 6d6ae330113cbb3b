#include "Replay.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int ReplayCorpus(int argc, char **argv, const char *corpusFolder)
{
    std::vector<std::filesystem::path> files(argv + 1, argv + argc);
    if (files.empty()) {
        std::error_code error;
        for (const auto &entry : std::filesystem::directory_iterator(corpusFolder, error)) {
            if (entry.is_regular_file())
                files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
    }
    if (files.empty()) {
        // A corpus that went missing must not pass as one that held up.
        std::fprintf(stderr, "no inputs in %s\n", corpusFolder);
        return 1;
    }
    for (const std::filesystem::path &file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        if (!in.good() && !in.eof()) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        // Named before the run: a crash then says which input caused it.
        std::fprintf(stderr, "%s\n", file.c_str());
        std::fflush(stderr);
        FuzzOne(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
    }
    std::fprintf(stderr, "%zu inputs held up\n", files.size());
    return 0;
}
