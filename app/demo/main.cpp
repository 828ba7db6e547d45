// main.cpp -- cave-demo on the desktop: the command line, the SDL backend, and the system's WinMain run by
// the shared demo run
#include <cstdio>

#include "app/demo/demo_options.h"
#include "app/demo/demo_run.h"
#include "platform/sdl/sdl_backend.h"

int main(int argc, char** argv) {
    DemoRun run("cave-demo");
    int exitCode = 0;
    if (!openDemoRunFromCommandLine(argc, argv, run, exitCode)) return exitCode;
    const DemoOptions& options = run.options();

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
