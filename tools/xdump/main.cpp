// main.cpp -- cave-xdump: prints the scene (or the tokens) that the scene reader makes of a .x file
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/xdump/xdump.h"

int main(int argc, char** argv) {
#ifdef _WIN32
    // The dump's bytes as they are, on every platform: no "\n" to "\r\n" translation on Windows.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    std::string out;
    std::string err;
    int status = XdumpMain(argc, argv, out, err);
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fwrite(err.data(), 1, err.size(), stderr);
    return status;
}
