// windows_main.cpp -- cave-demo.exe: the command line, the Windows host, and the system's WinMain on the
// real Win32 and DirectX 7 run by the shared demo run
#include <cstdio>
#include <cstring>

#include "app/demo/demo_options.h"
#include "app/demo/demo_run.h"
#include "platform/windows/windows_host.h"
#include "render/device.h"

namespace {

// After each presented frame, when a screenshot is asked for: the back buffer as the screenshot's frame
// (the surfaces are gone once the window is destroyed, however the run ends).
void captureBackBuffer() {
    windowsHostCaptureFrame(backBuffer);
}

// The options that choose what Linux runs the demo on; on Windows it runs in its window on the system's
// own Direct3D 7, so they are refused rather than ignored.
const char* linuxOnlyOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        for (const char* name : {"--headless", "--renderer", "--fullscreen"})
            if (std::strncmp(argv[i], name, std::strlen(name)) == 0 &&
                (argv[i][std::strlen(name)] == '\0' || argv[i][std::strlen(name)] == '='))
                return name;
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (const char* option = linuxOnlyOption(argc, argv)) {
        std::fprintf(stderr,
                     "cave-demo: %s is not available on Windows, where the demo always runs in its window on "
                     "the system's Direct3D 7; see --help\n",
                     option);
        return 2;
    }
    DemoRun run("cave-demo");
    int exitCode = 0;
    if (!openDemoRunFromCommandLine(argc, argv, run, exitCode)) return exitCode;
    if (!run.options().screenshot.empty()) run.hostHooks.framePresented = captureBackBuffer;
    run.attach();
    exitCode = run.finish(run.runWinMain(), windowsHostSaveScreenshot);
    windowsHostReset();
    return exitCode;
}
