// demo_run.cpp -- the run every host shares: its files, its hooks, its start and its end
#include "app/demo/demo_run.h"

#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "platform/core/platform_core.h"
#include "scene/scene_classes.h"

namespace {

// The run whose hooks are installed; the frame loop's plain function hooks forward to it.
DemoRun* attachedRun = nullptr;
FrameLoopHooks attachedHostHooks;

void runBeforeLoop() {
    if (attachedHostHooks.beforeMessageLoop) attachedHostHooks.beforeMessageLoop();
    demoHookBeforeLoop();
}

void runBeforeStep() {
    if (attachedHostHooks.beforeStep) attachedHostHooks.beforeStep();
}

void runAfterStep() {
    if (attachedHostHooks.afterStep) attachedHostHooks.afterStep();
    demoHookAfterStep();
}

void runFramePresented() {
    if (attachedHostHooks.framePresented) attachedHostHooks.framePresented();
    demoHookFramePresented();
}

} // namespace

DemoRun::~DemoRun() {
    if (attached_) finish(1);
}

void DemoRun::reportError(const std::string& error) const {
    if (reportLine)
        reportLine(error.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", program_, error.c_str());
}

bool DemoRun::prepare(const DemoOptions& options, std::string& error, int& exitCode) {
    options_ = options;
    events_.clear();
    exitCode = 2;
    if (!options.script.empty() && !loadInputScript(options.script, events_, error)) return false;
    std::error_code ec;
    if (!options.dataDir.empty() && !std::filesystem::is_directory(options.dataDir, ec)) {
        error = "the data files are missing (no " + options.dataDir + ")";
        return false;
    }
    exitCode = 0;
    return true;
}

bool DemoRun::open(std::string& error, int& exitCode) {
    const DemoOptions& options = options_;
    if (!options.dataDir.empty()) {
        std::error_code ec;
        std::filesystem::current_path(options.dataDir, ec);
        if (ec) {
            error = "cannot work in " + options.dataDir + ": " + ec.message();
            exitCode = 2;
            return false;
        }
    }
    if (!options.trace.empty() && !trace_.open(options.trace, error)) {
        exitCode = 1;
        return false;
    }
    if (!options.record.empty() && !recorder_.open(options.record, error)) {
        std::string ignored;
        trace_.close(ignored);
        exitCode = 1;
        return false;
    }
    script_ = std::make_unique<ScriptPlayer>(std::move(events_));
    events_.clear();
    session_ =
        std::make_unique<DemoSession>(trace_.isOpen() ? &trace_ : nullptr, script_.get(), options.frames);
    session_->setRecorder(recorder_.isOpen() ? &recorder_ : nullptr);
    exitCode = 0;
    return true;
}

void DemoRun::attach() {
    attachedRun = this;
    attachedHostHooks = hostHooks;
    activeDemoSession = session_.get();
    frameLoopHooks.beforeMessageLoop = runBeforeLoop;
    frameLoopHooks.beforeStep = runBeforeStep;
    frameLoopHooks.afterStep = runAfterStep;
    frameLoopHooks.framePresented = runFramePresented;
    // Every key and mouse message the system takes from its queue, as it takes it (the recording).
    platformSetMessageObserver(demoHookMessageTaken);
    attached_ = true;
}

int DemoRun::runWinMain() {
    VokRegisterSceneClasses();
    char commandLine[] = "";
    const int exitCode = WinMain(nullptr, nullptr, commandLine, SW_SHOWNORMAL);
    if (exitCode != 0) reportError("the demo could not start (exit code " + std::to_string(exitCode) + ")");
    return exitCode;
}

HWND DemoRun::openWindow() {
    VokRegisterSceneClasses();
    HWND window = createMainWindow(nullptr, nullptr, SW_SHOWNORMAL);
    if (window != nullptr && frameLoopHooks.beforeMessageLoop) frameLoopHooks.beforeMessageLoop();
    return window;
}

bool DemoRun::pass(int& exitCode) {
    return runFramePass(&exitCode);
}

int DemoRun::finish(int exitCode, bool (*save)(const char* pngPath)) {
    // The last presented frame stays readable until the platform stops.
    if (exitCode == 0 && !options_.screenshot.empty() && save) {
        if (save(options_.screenshot.c_str())) {
            if (!reportLine)
                std::fprintf(stderr, "%s: screenshot of frame %d written to %s\n", program_,
                             framesPresented(), options_.screenshot.c_str());
        } else {
            exitCode = 1;
        }
    }
    if (attached_) {
        if (attachedRun == this) {
            attachedRun = nullptr;
            attachedHostHooks = FrameLoopHooks();
            activeDemoSession = nullptr;
            frameLoopHooks = FrameLoopHooks();
            platformSetMessageObserver(nullptr);
        }
        attached_ = false;
    }
    std::string error;
    if (!trace_.close(error)) {
        reportError(error);
        if (exitCode == 0) exitCode = 1;
    }
    if (recorder_.isOpen() && !recorder_.close(framesPresented(), error)) {
        reportError(error);
        if (exitCode == 0) exitCode = 1;
    }
    return exitCode;
}

bool DemoRun::stopTrace(std::string& error) {
    return trace_.close(error);
}
