// demo_options_cli.cpp -- reads cave-demo's command line with CLI11
#include "app/demo/demo_options.h"
#include "app/demo/demo_run.h"

#include "cave_version.h"

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

// An option whose value goes through setDemoOption: its refusal is CLI11's validation error.
CLI::Option* addValue(CLI::App& app, DemoOptions& options, const char* flag, const char* help) {
    const std::string name = flag + 2; // without the leading "--"
    return app.add_option_function<std::string>(
        flag,
        [&options, name](const std::string& value) {
            std::string error;
            if (!setDemoOption(options, name, value, error)) throw CLI::ValidationError(error);
        },
        help);
}

} // namespace

DemoParseResult parseDemoOptions(int argc, const char* const* argv, DemoOptions& options) {
    CLI::App app(DESCRIPTION, "cave-demo");
    app.option_defaults()->always_capture_default(false);
    app.footer(FOOTER);
    app.set_version_flag("--version", "cave-demo " CAVE_VERSION, "print the version and exit");
    addValue(app, options, "--data",
             "work in DIR: read the scene and bitmaps from it and append VokDebug.txt there")
        ->type_name("DIR");
    app.add_flag("--headless", options.headless,
                 "run offscreen with a virtual clock (every pass renders a frame); message boxes on stderr");
    addValue(app, options, "--frames", "quit after N frames (0: no limit), as if Esc was pressed")
        ->type_name("N");
    addValue(app, options, "--screenshot", "save the last frame as a PNG file")->type_name("FILE.png");
    addValue(app, options, "--trace", "write every body's state after every step as CSV")
        ->type_name("FILE.csv");
    addValue(app, options, "--script", "deliver key and mouse events by frame number")->type_name("FILE");
    addValue(app, options, "--renderer",
             (std::string("draw with OpenGL's fixed function or with shaders (default: ") +
              (DEMO_DEFAULT_RENDERER == DemoRenderer::Shader ? "shader" : "fixed") + ")")
                 .c_str())
        ->type_name("fixed|shader");
    addValue(app, options, "--record",
             "write the key and mouse events of the run as an input script (replay with --script)")
        ->type_name("FILE");
    app.add_flag("--fullscreen", options.fullscreen,
                 "fill the screen with the window (its 640 x 480 picture scaled to fit, aspect kept)");

    DemoParseResult result;
    try {
        app.parse(argc, argv);
        std::string error;
        if (!checkDemoOptions(options, error)) throw CLI::ValidationError(error);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return result;
    } catch (const CLI::CallForVersion&) {
        std::puts("cave-demo " CAVE_VERSION);
        return result;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "cave-demo: %s\nRun with --help for more information.\n", e.what());
        result.exitCode = 2;
        return result;
    }
    result.run = true;
    return result;
}

bool openDemoRunFromCommandLine(int argc, const char* const* argv, DemoRun& run, int& exitCode) {
    DemoOptions options;
    const DemoParseResult parsed = parseDemoOptions(argc, argv, options);
    exitCode = parsed.exitCode;
    if (!parsed.run) return false;

    // Files named on the command line belong to the directory the user started in, not to --data.
    std::error_code ec;
    const std::string startDir = std::filesystem::current_path(ec).string();
    if (ec) {
        std::fprintf(stderr, "cave-demo: cannot read the working directory: %s\n", ec.message().c_str());
        exitCode = 1;
        return false;
    }
    resolveDemoPaths(options, startDir);

    // Everything that can be wrong with the inputs is reported before the window opens.
    std::string error;
    if (!run.prepare(options, error, exitCode) || !run.open(error, exitCode)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        return false;
    }
    return true;
}
