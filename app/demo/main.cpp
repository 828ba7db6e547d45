// main.cpp -- cave-demo on the desktop: the command line, the SDL backend, and the system's WinMain run by
// the shared demo run
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/demo/demo_options.h"
#include "app/demo/demo_run.h"
#include "platform/sdl/sdl_backend.h"

int main(int argc, char** argv) {
    DemoOptions options;
    DemoParseResult parsed = parseDemoOptions(argc, argv, options);
    if (!parsed.run) return parsed.exitCode;

    // Files named on the command line belong to the directory the user started in, not to --data.
    std::error_code ec;
    const std::string startDir = std::filesystem::current_path(ec).string();
    if (ec) {
        std::fprintf(stderr, "cave-demo: cannot read the working directory: %s\n", ec.message().c_str());
        return 1;
    }
    resolveDemoPaths(options, startDir);

    // Everything that can be wrong with the inputs is reported before the window opens.
    DemoRun run("cave-demo");
    std::string error;
    int exitCode = 0;
    if (!run.prepare(options, error, exitCode) || !run.open(error, exitCode)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        return exitCode;
    }

    PlatformOptions platform;
    platform.mode = options.headless ? PlatformMode::Headless : PlatformMode::Windowed;
    platform.renderer =
        options.renderer == DemoRenderer::Shader ? PlatformRenderer::Shader : PlatformRenderer::FixedFunction;
    platform.fullscreen = options.fullscreen;
    if (!platformStartSdl(platform)) {
        if (options.headless)
            std::fprintf(stderr, "cave-demo: cannot start the offscreen display\n");
        else
            std::fprintf(stderr,
                         "cave-demo: cannot start the window; without a display, run with --headless\n");
        run.finish(1);
        return 1;
    }
    run.attach();
    exitCode = run.finish(run.runWinMain(), platformSaveScreenshot);
    platformStopSdl();
    return exitCode;
}
