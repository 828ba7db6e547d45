// windows_main.cpp -- cave-demo.exe: reads the options, prepares the trace, the script and the recording,
// and runs the system's WinMain on the real Win32 and DirectX 7 (the Windows host, platform/windows/)
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/camera.h"
#include "app/demo/body_trace.h"
#include "app/demo/demo_options.h"
#include "app/demo/demo_session.h"
#include "app/demo/input_recorder.h"
#include "app/demo/input_script.h"
#include "app/shell.h"
#include "platform/windows/windows_host.h"
#include "platform/win32.h"
#include "render/device.h"
#include "scene/scene_classes.h"

namespace {

bool screenshotWanted = false;

// After each presented frame: the back buffer as the screenshot's frame (when one is asked for), then
// cave-demo's own bookkeeping.
void onFramePresented() {
    if (screenshotWanted) windowsHostCaptureFrame(backBuffer);
    demoHookFramePresented();
}

} // namespace

int main(int argc, char** argv) {
    DemoOptions options;
    DemoParseResult parsed = parseDemoOptions(argc, argv, options);
    if (!parsed.run) return parsed.exitCode;
    for (int i = 1; i < argc; ++i) {
        // Windows draws with the real Direct3D in a real window; there is no other device or display.
        if (std::strcmp(argv[i], "--headless") == 0 || std::strcmp(argv[i], "--renderer") == 0 ||
            std::strncmp(argv[i], "--renderer=", 11) == 0 || std::strcmp(argv[i], "--fullscreen") == 0) {
            std::fprintf(stderr,
                         "cave-demo: %s is for Linux; on Windows the demo runs in its window on the "
                         "system's Direct3D 7 (try --help)\n",
                         argv[i]);
            return 2;
        }
    }

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
    std::vector<ScriptEvent> events;
    if (!options.script.empty() && !loadInputScript(options.script, events, error)) {
        std::fprintf(stderr, "cave-demo: %s\n", error.c_str());
        return 2;
    }
    if (!options.dataDir.empty()) {
        std::filesystem::current_path(options.dataDir, ec);
        if (ec) {
            std::fprintf(stderr, "cave-demo: cannot work in %s: %s\n", options.dataDir.c_str(),
                         ec.message().c_str());
            return 2;
        }
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
    framePresentedHook = onFramePresented;
    screenshotWanted = !options.screenshot.empty();
    platformSetMessageObserver(demoHookMessageTaken);

    char commandLine[] = "";
    int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
    if (exitCode != 0) std::fprintf(stderr, "cave-demo: the demo could not start (exit code %d)\n", exitCode);

    if (exitCode == 0 && screenshotWanted) {
        if (windowsHostSaveScreenshot(options.screenshot.c_str()))
            std::fprintf(stderr, "cave-demo: screenshot of frame %d written to %s\n",
                         session.framesPresented(), options.screenshot.c_str());
        else
            exitCode = 1;
    }

    activeDemoSession = nullptr;
    beforeMessageLoopHook = nullptr;
    afterStepHook = nullptr;
    framePresentedHook = nullptr;
    windowsHostReset();

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
