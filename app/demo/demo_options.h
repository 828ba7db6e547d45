// demo_options.h -- the options of one run of the demonstration, whatever host starts it: what they hold,
// how each is read from its text, and how they are checked together
#pragma once

#include <string>

// The Direct3D device a desktop host draws with.
enum class DemoRenderer {
    FixedFunction, // OpenGL's fixed function
    Shader,        // GLSL shaders
};

// The device cave-demo draws with unless --renderer says otherwise.
#define DEMO_DEFAULT_RENDERER DemoRenderer::FixedFunction

// The largest frame count: --frames and a page's ?frames= take 0 (no limit) to this.
constexpr int DEMO_MAX_FRAMES = 2147483647;

// The options of one run. None of them changes what the system does; they choose where it runs, where
// its files are read from and what is recorded. cave-demo fills them from its command line (--NAME VALUE,
// parseDemoOptions), the page from its URL (NAME=VALUE); both through setDemoOption, so that a bad value is
// refused in the same words everywhere.
struct DemoOptions {
    std::string dataDir;    // data: directory to work in (scene, bitmaps, debug log); empty: stay put
    bool headless = false;  // headless: offscreen, virtual clock, message boxes on stderr
    int frames = 0;         // frames: quit after this many frames as if Esc was pressed; 0: no limit
    std::string screenshot; // screenshot: PNG of the last frame; empty: none
    std::string trace;      // trace: body trace CSV; empty: none
    std::string script;     // script: input script; empty: none
    // renderer fixed|shader: the Direct3D device on OpenGL's fixed function or on GLSL shaders; the
    // default is the faster of the two on a software rasterizer (llvmpipe).
    DemoRenderer renderer = DEMO_DEFAULT_RENDERER;
    std::string record; // record: input script written from the run's key and mouse events; empty: none
    // fullscreen: the window fills the screen (desktop full screen); not with headless.
    bool fullscreen = false;
};

// Sets the option `name` (data, headless, frames, screenshot, trace, script, renderer, record,
// fullscreen) from `value`, its text as a command line or a URL gives it. Flags take "", "1" or "true"
// ("0" or "false" clear them). False, with `error` one sentence naming the option and the value, when the
// value is not one the option takes (frames: a whole number from 0 to DEMO_MAX_FRAMES; data: an existing
// directory; script: an existing file; renderer: fixed or shader; files: not empty), or when `name` is
// not an option.
bool setDemoOption(DemoOptions& options, const std::string& name, const std::string& value,
                   std::string& error);

// What the options must be together: fullscreen not with headless, and no two of the files one file
// (checkDemoFiles). False with `error` saying which.
bool checkDemoOptions(const DemoOptions& options, std::string& error);

// What the caller does after parsing.
struct DemoParseResult {
    bool run = false; // true: start the demo with the options; false: exit at once with exitCode
    int exitCode = 0; // 0 after --help, 2 after a bad option (the message is already on stderr)
};

// Reads argv into `options` (CLI11; each value through setDemoOption, then checkDemoOptions). --help prints
// the usage on stdout; a bad option prints a one-line reason on stderr, prefixed with "cave-demo: ",
// followed by a pointer to --help. Never throws. (demo_options_cli.cpp, for hosts with a command line.)
DemoParseResult parseDemoOptions(int argc, const char* const* argv, DemoOptions& options);

// Turns the relative file paths of --screenshot, --trace, --script and --record into absolute ones against
// `startDir`, so that they keep naming files of the directory the user started in after --data changes
// the working directory. Empty paths stay empty.
void resolveDemoPaths(DemoOptions& options, const std::string& startDir);

// False, with `error` naming the two options, when two of the files (--script, --screenshot, --trace,
// --record) are one file, so that an output would overwrite the script or another output. Paths are
// compared after resolving "." and ".." and symbolic links of the parts that exist.
bool checkDemoFiles(const DemoOptions& options, std::string& error);
