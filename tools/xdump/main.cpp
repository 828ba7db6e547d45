// main.cpp -- cave-xdump: prints the scene (or the tokens) that the scene reader makes of a .x file
#include <cstdio>
#include <string>

#include "tools/xdump/xdump.h"

int main(int argc, char** argv) {
    std::string out;
    std::string err;
    int status = XdumpMain(argc, argv, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
}
