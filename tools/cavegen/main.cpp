// main.cpp -- cave-gen: writes cave.x, check.bmp, block.bmp and map.bmp into a directory
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/cavegen/assets.h"

namespace {

void printUsage(std::FILE* to) {
    std::fprintf(to, "usage: cave-gen DIR\n"
                     "Writes the demo's data files cave.x, check.bmp, block.bmp and map.bmp into DIR\n"
                     "(which must exist). The output is the same on every run.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        printUsage(stderr);
        return 2;
    }
    std::string error;
    if (!cavegen::writeAssets(argv[1], &error)) {
        std::fprintf(stderr, "cave-gen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
