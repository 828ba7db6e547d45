// main.cpp -- cave-demo: reads the options, prepares the trace, the script and the recording, and runs the
// system's WinMain
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "app/camera.h"
#include "app/demo/body_trace.h"
#include "app/demo/demo_options.h"
#include "app/demo/demo_session.h"
#include "app/demo/input_recorder.h"
#include "app/demo/input_script.h"
#include "app/shell.h"
#include "platform/win32.h"
#include "scene/scene_classes.h"
#include "platform/sdl/sdl_backend.h"

int main(int argc, char** argv) {
    DemoOptions options;
    DemoParseResult parsed = parseDemoOptions(argc, argv, options);
    if (!parsed.run) return parsed.exitCode;

    // Files named on the command line belong to the directory the user started in, not to --data.
    std::error_code ec;
    std::string startDir = std::filesystem::current_path(ec).string();
    if (ec) {
        std::fprintf(stderr, "cave-demo: cannot read the working directory: %s\n", ec.message().c_str());
        return 1;
    }
    resolveDemoPaths(options, startDir);
    std::string error;
    if (!checkDemoFiles(options, error)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        return 2;
    }

    // Everything that can be wrong with the inputs is reported before the window opens.
    std::vector<ScriptEvent> events;
    if (!options.script.empty() && !loadInputScript(options.script, events, error)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        return 2;
    }
    if (!options.dataDir.empty() && chdir(options.dataDir.c_str()) != 0) {
        std::fprintf(stderr, "cave-demo: cannot work in %s: %s\n", options.dataDir.c_str(),
                     std::strerror(errno));
        return 2;
    }
    BodyTrace trace;
    if (!options.trace.empty() && !trace.open(options.trace, error)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        return 1;
    }
    InputRecorder recorder;
    if (!options.record.empty() && !recorder.open(options.record, error)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        return 1;
    }

    ScriptPlayer script(std::move(events));
    DemoSession session(trace.isOpen() ? &trace : nullptr, &script, options.frames);
    session.setRecorder(recorder.isOpen() ? &recorder : nullptr);
    activeDemoSession = &session;
    beforeMessageLoopHook = demoHookBeforeLoop;
    afterStepHook = demoHookAfterStep;
    framePresentedHook = demoHookFramePresented;

    PlatformOptions platform;
    platform.mode = options.headless ? PlatformMode::Headless : PlatformMode::Windowed;
    platform.renderer = options.renderer;
    platform.fullscreen = options.fullscreen;
    if (!platformStartSdl(platform)) {
        if (options.headless)
            std::fprintf(stderr, "cave-demo: cannot start the offscreen display\n");
        else
            std::fprintf(stderr,
                         "cave-demo: cannot start the window; without a display, run with --headless\n");
        return 1;
    }
    // Every key and mouse message the system takes from its queue, as it takes it (--record).
    platformSetMessageObserver(demoHookMessageTaken);

    VokRegisterSceneClasses();
    char commandLine[] = "";
    int exitCode = WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL);
    if (exitCode != 0) std::fprintf(stderr, "cave-demo: the demo could not start (exit code %d)\n", exitCode);

    // The last presented frame stays readable until the platform stops.
    if (exitCode == 0 && !options.screenshot.empty()) {
        if (platformSaveScreenshot(options.screenshot.c_str()))
            std::fprintf(stderr, "cave-demo: screenshot of frame %d written to %s\n",
                         session.framesPresented(), options.screenshot.c_str());
        else
            exitCode = 1;
    }

    activeDemoSession = nullptr;
    beforeMessageLoopHook = nullptr;
    afterStepHook = nullptr;
    framePresentedHook = nullptr;
    platformStopSdl();

    if (!trace.close(error)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        if (exitCode == 0) exitCode = 1;
    }
    if (!recorder.close(session.framesPresented(), error)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        if (exitCode == 0) exitCode = 1;
    }
    return exitCode;
}
