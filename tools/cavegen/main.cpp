// main.cpp -- cave-gen: writes the demo's data files, or the gallery of caves, into a directory
#include <cstdio>
#include <cstring>
#include <string>

#include "cave_version.h"
#include "tools/cavegen/assets.h"
#include "tools/cavegen/gallery.h"

namespace {

void printUsage(std::FILE* to) {
    std::fprintf(to, "usage: cave-gen DIR\n"
                     "       cave-gen --gallery DIR\n"
                     "Writes the demo's data files cave.x, check.bmp, block.bmp and map.bmp into DIR\n"
                     "(which must exist). With --gallery, writes the caves a visitor of the web page can\n"
                     "pick instead: steps.x, bowl.x, tube.x and their list gallery.json.\n"
                     "The output is the same on every run.\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        printUsage(stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("cave-gen " CAVE_VERSION);
        return 0;
    }
    const bool gallery = argc == 3 && std::strcmp(argv[1], "--gallery") == 0;
    if ((argc != 2 && !gallery) || argv[argc - 1][0] == '-') {
        printUsage(stderr);
        return 2;
    }
    std::string error;
    const char* directory = argv[argc - 1];
    if (!(gallery ? cavegen::writeGallery(directory, &error) : cavegen::writeAssets(directory, &error))) {
        std::fprintf(stderr, "cave-gen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
