// demo_options.h -- cave-demo's command-line options: what they hold and how they are read
#pragma once

#include <string>

#include "platform/win32.h"
#include "platform/sdl/sdl_backend.h"

// The device cave-demo draws with unless --renderer says otherwise.
#define DEMO_DEFAULT_RENDERER PlatformRenderer::FixedFunction

// The options of one run. None of them changes what the system does; they choose where it runs, where
// its files are read from and what is recorded.
struct DemoOptions {
    std::string dataDir;    // --data: directory to work in (scene, bitmaps, debug log); empty: stay put
    bool headless = false;  // --headless: offscreen, virtual clock, message boxes on stderr
    int frames = 0;         // --frames: quit after this many frames as if Esc was pressed; 0: no limit
    std::string screenshot; // --screenshot: PNG of the last frame; empty: none
    std::string trace;      // --trace: body trace CSV; empty: none
    std::string script;     // --script: input script; empty: none
    // --renderer fixed|shader: the Direct3D device on OpenGL's fixed function or on GLSL shaders; the
    // default is the faster of the two on a software rasterizer (llvmpipe).
    PlatformRenderer renderer = DEMO_DEFAULT_RENDERER;
    std::string record; // --record: input script written from the run's key and mouse events; empty: none
    // --fullscreen: the window fills the screen (desktop full screen); not with --headless.
    bool fullscreen = false;
};

// What the caller does after parsing.
struct DemoParseResult {
    bool run = false; // true: start the demo with the options; false: exit at once with exitCode
    int exitCode = 0; // 0 after --help, 2 after a bad option (the message is already on stderr)
};

// Reads argv into `options`. --help prints the usage on stdout; a bad option prints a one-line reason on
// stderr, prefixed with "cave-demo: ", followed by a pointer to --help. Checks that --data names an
// existing directory. Never throws.
DemoParseResult parseDemoOptions(int argc, const char* const* argv, DemoOptions& options);

// Turns the relative file paths of --screenshot, --trace, --script and --record into absolute ones against
// `startDir`, so that they keep naming files of the directory the user started in after --data changes
// the working directory. Empty paths stay empty.
void resolveDemoPaths(DemoOptions& options, const std::string& startDir);

// False, with `error` naming the two options, when two of the files (--script, --screenshot, --trace,
// --record) are one file, so that an output would overwrite the script or another output. Paths are
// compared after resolving "." and ".." and symbolic links of the parts that exist.
bool checkDemoFiles(const DemoOptions& options, std::string& error);
