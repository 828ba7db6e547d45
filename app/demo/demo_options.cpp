// demo_options.cpp -- reads cave-demo's command line with CLI11
#include "app/demo/demo_options.h"
#include "platform/sdl/sdl_backend.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <map>
#include <iterator>
#include <sstream>
#include <utility>

namespace {

const char* const DESCRIPTION =
    "cave-demo: 101 spheres fall into a textured cave.\n"
    "Controls: arrow up/down roll the ball, arrow left/right turn the view, space lifts the ball,\n"
    "shift shows the see-through view, the left mouse button drags a sphere, Esc quits.\n"
    "Without options it runs in a window and reads cave.x, check.bmp, map.bmp and block.bmp\n"
    "from the working directory.";

const char* const FOOTER =
    "Input script (--script): one event per line, FRAME EVENT [ARGS], frame 1 first, frame numbers\n"
    "never decreasing; blank lines and lines whose first non-blank character is # are skipped.\n"
    "EVENT is keydown KEY or keyup KEY (KEY: up, down, left, right, space, shift, escape), or\n"
    "mousedown X Y, mousemove X Y or mouseup X Y in client pixels. The events of frame N arrive\n"
    "after frame N-1 is shown and before frame N starts.\n"
    "Trace (--trace): a header line, then one row per body per frame (frame 0: before the first\n"
    "step): frame, body, world matrix rows 0-2 and position, velocity, angular velocity, force, torque.\n"
    "Recording (--record): the key and mouse events the run receives, written as an input script\n"
    "(the keys above and the left button), each with the frame it came before; --script replays it.\n"
    "Exit status: 0 after a normal end, 1 when the demo cannot start or write its output, 2 after a\n"
    "bad option or script.";

} // namespace

DemoParseResult parseDemoOptions(int argc, const char* const* argv, DemoOptions& options) {
    CLI::App app(DESCRIPTION, "cave-demo");
    app.option_defaults()->always_capture_default(false);
    app.footer(FOOTER);
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
    const std::map<std::string, PlatformRenderer> renderers = {{"fixed", PlatformRenderer::FixedFunction},
                                                               {"shader", PlatformRenderer::Shader}};
    app.add_option("--renderer", options.renderer,
                   std::string("draw with OpenGL's fixed function or with shaders (default: ") +
                       (DEMO_DEFAULT_RENDERER == PlatformRenderer::Shader ? "shader" : "fixed") + ")")
        ->type_name("fixed|shader")
        ->transform(CLI::CheckedTransformer(renderers).description(""));
    app.add_option("--record", options.record,
                   "write the key and mouse events of the run as an input script (replay with --script)")
        ->type_name("FILE");
    app.add_flag("--fullscreen", options.fullscreen,
                 "fill the screen with the window (its 640 x 480 picture scaled to fit, aspect kept)")
        ->excludes("--headless");

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
    for (std::string* path : {&options.screenshot, &options.trace, &options.script, &options.record}) {
        if (path->empty() || fs::path(*path).is_absolute()) continue;
        *path = (fs::path(startDir) / *path).lexically_normal().string();
    }
}

bool checkDemoFiles(const DemoOptions& options, std::string& error) {
    namespace fs = std::filesystem;
    const std::pair<const char*, const std::string*> files[] = {{"--script", &options.script},
                                                                {"--screenshot", &options.screenshot},
                                                                {"--trace", &options.trace},
                                                                {"--record", &options.record}};
    const auto canonical = [](const std::string& path) {
        std::error_code ec;
        fs::path resolved = fs::weakly_canonical(fs::path(path), ec);
        return ec ? fs::path(path).lexically_normal() : resolved;
    };
    for (size_t i = 0; i < std::size(files); ++i)
        for (size_t j = i + 1; j < std::size(files); ++j) {
            if (files[i].second->empty() || files[j].second->empty()) continue;
            if (canonical(*files[i].second) != canonical(*files[j].second)) continue;
            error = std::string(files[i].first) + " and " + files[j].first + " name the same file " +
                    *files[j].second;
            return false;
        }
    return true;
}
