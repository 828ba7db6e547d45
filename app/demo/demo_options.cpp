// demo_options.cpp -- reads cave-demo's command line with CLI11
#include "app/demo/demo_options.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace {

const char* const DESCRIPTION =
    "cave-demo: 101 spheres fall into a textured cave.\n"
    "Controls: arrow up/down roll the ball, arrow left/right turn the view, space lifts the ball,\n"
    "shift shows the see-through view, the left mouse button drags a sphere, Esc quits.\n"
    "Without options it runs in a window and reads cave.x, check.bmp, map.bmp and block.bmp\n"
    "from the working directory.";

} // namespace

DemoParseResult parseDemoOptions(int argc, const char* const* argv, DemoOptions& options) {
    CLI::App app(DESCRIPTION, "cave-demo");
    app.option_defaults()->always_capture_default(false);
    app.add_option("--data", options.dataDir,
                   "work in DIR: read the scene and bitmaps from it and append VokDebug.txt there")
        ->type_name("DIR")
        ->check(CLI::ExistingDirectory.description(""));
    app.add_flag("--headless", options.headless,
                 "run offscreen with a virtual clock (every pass renders a frame); message boxes on stderr");
    app.add_option("--frames", options.frames, "quit after N frames (N >= 1), as if Esc was pressed")
        ->type_name("N")
        ->check(CLI::Range(1, INT_MAX).description(""));
    app.add_option("--screenshot", options.screenshot, "save the last frame as a PNG file")
        ->type_name("FILE.png");
    app.add_option("--trace", options.trace, "write every body's state after every step as CSV")
        ->type_name("FILE.csv");
    app.add_option("--script", options.script, "deliver key and mouse events by frame number")
        ->type_name("FILE")
        ->check(CLI::ExistingFile.description(""));

    DemoParseResult result;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return result;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "cave-demo: %s\nRun with --help for more information.\n", e.what());
        result.exitCode = 2;
        return result;
    }
    result.run = true;
    return result;
}

void resolveDemoPaths(DemoOptions& options, const std::string& startDir) {
    namespace fs = std::filesystem;
    for (std::string* path : {&options.screenshot, &options.trace, &options.script}) {
        if (path->empty() || fs::path(*path).is_absolute()) continue;
        *path = (fs::path(startDir) / *path).lexically_normal().string();
    }
}
