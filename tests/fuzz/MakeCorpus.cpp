// Writes the fuzzer's seed files into the folder given on the command line.
#include <cstdio>
#include <string>

#include "tests/fuzz/WavSeeds.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    int written = 0;
    for (const wavseeds::Seed& seed : wavseeds::makeSeeds()) {
        const std::string path = dir + "/" + seed.name + ".wav";
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) {
            std::perror(path.c_str());
            return 1;
        }
        const bool ok = std::fwrite(seed.bytes.data(), 1, seed.bytes.size(), f) == seed.bytes.size();
        if (std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "%s: write failed\n", path.c_str());
            return 1;
        }
        ++written;
    }
    std::printf("%d seed files in %s\n", written, dir.c_str());
    return 0;
}
