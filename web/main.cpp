// main.cpp -- cave-demo in a web page: the options the page passes, the system's window, one pass of its
// message loop each time the browser's main loop calls, and the page's own controls around the system
// (restart on another cave, pause, single step, slow motion, see-through)
//
// The page (cave-web.js) passes its URL parameters as NAME=VALUE arguments, the run's options read and
// refused as cave-demo's command line reads them (setDemoOption), with the files in the page's in-memory
// file system:
//   frames=N        end each run after N frames, as if Esc was pressed (0: no limit)
//   script=FILE     replay key and mouse events by frame number (a file the page fetched into memory)
//   trace=FILE      write the body trace of each run (kept in the in-memory file system for the page)
//   record=FILE     write the key and mouse messages of each run as an input script (the page offers it)
//   data=DIR        the folder of cave.x and the bitmaps of the first run (default /data, the preloaded ones)
// and two of the page's own:
//   shot=1          keep the last frame readable from the canvas, in the client area's own pixels
//   timing=vsync    run a pass per animation frame of the display instead of when the next frame is due
// and reads what the program reports through these Module functions, each called when present:
//   caveStarted(triangles)      a run is set up (its cave has that many triangles); its first pass is due
//   caveFrame(frames, ms, step) a frame was presented; the pass took ms milliseconds, the simulation step
//                               `step` of them
//   caveTraceStopped(frames)    the trace reached MAX_TRACE_BYTES and was closed after that frame
//   caveEnded(exitCode, frames) the loop read WM_QUIT (Esc, or the frame limit); the trace and the
//                               recording are closed
//   caveFailed(reason)          the demo could not start
// The page calls these exported functions (Module.ccall):
//   caveRestart(dir, script)   a new run on the cave.x and bitmaps of `dir` ("" script: live input);
//                              caveLastError() says why one was refused
//   cavePause(on), caveStep()  hold the frames / present one more frame while held
//   caveSlowMotion(every)      a pass every 1st, 2nd or 4th animation frame of the display
//   caveSeeThrough(on)         shift held down or let go, as the key would (the system's see-through view)
//   caveRepresent()            the last frame shown again, fitted to the canvas's new size
//   caveBodiesAtRest()         bodies whose centre and surface move slower than REST_SPEED
#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "app/demo/demo_options.h"
#include "app/demo/demo_run.h"
#include "app/scene_setup.h"
#include "app/shell.h"
#include "physics/bodies.h"
#include "physics/collision.h"
#include "framework/stream.h"
#include "platform/win32.h"
#include "platform/html5/html5_backend.h"
#include "render/device.h"
#include "platform/core/platform_core.h"

namespace {

// clang-format off
EM_JS(void, pageStarted, (int triangles), {
    if (Module["caveStarted"]) Module["caveStarted"](triangles);
});
EM_JS(void, pageFrame, (int frames, double milliseconds, double stepMilliseconds), {
    if (Module["caveFrame"]) Module["caveFrame"](frames, milliseconds, stepMilliseconds);
});
EM_JS(void, pageEnded, (int exitCode, int frames), {
    if (Module["caveEnded"]) Module["caveEnded"](exitCode, frames);
});
EM_JS(void, pageTraceStopped, (int frames), {
    if (Module["caveTraceStopped"]) Module["caveTraceStopped"](frames);
});
EM_JS(void, pageFailed, (const char* reason), {
    var text = UTF8ToString(reason);
    console.error("cave-demo: " + text);
    if (Module["caveFailed"]) Module["caveFailed"](text);
});
// clang-format on

// The trace lives in the page's memory (some 25 kB a frame): a run without a frame limit stops tracing
// at this size, about 10,000 frames, instead of taking the page's memory until it fails.
constexpr long MAX_TRACE_BYTES = 256L << 20;

// A body counts as at rest while its centre and its surface (angular speed times radius) move slower than
// this, units per second: a sphere lying on the cave's floor jitters far below it, a rolling one is above.
constexpr float REST_SPEED = 0.5f;

// What the page asks of every run besides the run's own options.
struct PageOptions {
    bool preserveFrame = false; // keep the last frame readable from the canvas (screenshots)
    bool vsync = false;         // EM_TIMING_RAF instead of passes timed to the next frame
};

// Reads the page's NAME=VALUE arguments: the page's own, and the run's options through setDemoOption.
bool readArguments(int argc, char** argv, DemoOptions& options, PageOptions& page, std::string& error) {
    options.dataDir = "/data"; // the preloaded cave.x and bitmaps; the debug log goes here too
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const size_t equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : argument.substr(equals + 1);
        if (name == "shot") {
            page.preserveFrame = value == "1";
        } else if (name == "timing") {
            page.vsync = value == "vsync";
        } else if (!setDemoOption(options, name, value, error)) {
            return false;
        }
    }
    return true;
}

// The demo in the page: the options, and the run now shown (one at a time; a restart ends the run and
// starts the next one on the same canvas). Lives for the page's lifetime: the browser calls pass() after
// main has returned.
struct Page {
    DemoOptions options;
    PageOptions page;
    std::unique_ptr<DemoRun> run; // the run now shown, or null
    std::string debugLogPath;     // the debug log of the run's folder
    HWND window = nullptr;        // the system's main window, or null
    bool started = false;         // the browser backend and the window are up
    bool looping = false;         // the browser's main loop calls pass()
    bool ended = true;            // no run is going on (before the first, or after WM_QUIT)
    bool paused = false;          // the page holds the frames
    int framesToStep = 0;         // frames still to present while paused
    int slowEvery = 1;            // a pass every 1st, 2nd or 4th animation frame
    double stepStart = 0;         // performance.now() before this frame's simulation step
    double stepMs = 0;            // the last simulation step's time
};

Page run;
std::string lastError; // why the page's last restart was refused

void beforeStep() {
    run.stepStart = emscripten_performance_now();
}

void afterStep() {
    run.stepMs = emscripten_performance_now() - run.stepStart;
}

// Ends the run now shown: its hooks go, its trace and recording are closed (a failure to write them is a
// line on the page). Returns its frames.
int endRunFiles() {
    if (!run.run) return 0;
    const int frames = run.run->framesPresented();
    run.run->finish(0);
    run.run.reset();
    return frames;
}

// Takes the system down: its window (WM_DESTROY frees the scene and the device), the backend with its
// queue and event handlers, the frame loop's hooks; every global group of the demonstration starts
// clean again.
void stopRun() {
    if (run.looping) {
        emscripten_cancel_main_loop();
        run.looping = false;
    }
    if (run.window && IsWindow(run.window)) DestroyWindow(run.window);
    run.window = nullptr;
    endRunFiles();
    if (run.started) platformStopHtml5();
    run.started = false;
    resetDemonstration();
}

void finish(int exitCode) {
    run.ended = true;
    const int frames = endRunFiles();
    stopRun();
    pageEnded(exitCode, frames);
}

// True while frames may run: the window is active and the page does not hold the frames.
bool framesRun() {
    return appActive && !(run.paused && run.framesToStep == 0);
}

// The next pass comes when the next frame is due (20 ms after the last frame started, as renderFrame
// counts them), measured from the start of this pass, aimed two milliseconds early: a browser's timer fires
// a millisecond or two late, and a frame that starts a tick late starts the next 20 ms a tick later, so
// that the pace would lose a tick a frame (some 47 frames a second instead of 50). The pass then waits
// out the rest (waitForDueTick). While no frames run, a pass every 20 ms keeps the page's controls and
// messages served. With --vsync, or in slow motion, the display's animation frames drive the passes.
void scheduleNextPass(uint32_t passStartTicks) {
    if (run.page.vsync || run.slowEvery > 1) return;
    int wait = static_cast<int>(FRAME_INTERVAL_MS);
    if (framesRun()) {
        int32_t due = static_cast<int32_t>(lastFrameTime + FRAME_INTERVAL_MS - passStartTicks) - 2;
        wait = due < 0 ? 0 : (due > wait ? wait : due);
    }
    emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, wait);
}

// A pass that came at most three ticks before the next frame is due waits for that tick, so that the frame
// starts on it.
void waitForDueTick() {
    if (run.page.vsync || run.slowEvery > 1 || !framesRun()) return;
    const uint32_t due = lastFrameTime + FRAME_INTERVAL_MS;
    const int32_t left = static_cast<int32_t>(due - GetTickCount());
    if (left <= 0 || left > 3) return;
    const double deadline = emscripten_performance_now() + 4.0; // bounded, whatever the clock does
    while (static_cast<int32_t>(due - GetTickCount()) > 0 && emscripten_performance_now() < deadline) {
    }
}

void setLoopTiming() {
    if (run.slowEvery > 1)
        emscripten_set_main_loop_timing(EM_TIMING_RAF, run.slowEvery);
    else if (run.page.vsync)
        emscripten_set_main_loop_timing(EM_TIMING_RAF, 1);
    else
        emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, 0);
}

void pass() {
    if (run.ended) return;
    // Held: the system takes no messages and draws no frame; what the page sends waits in its queue.
    if (run.paused && run.framesToStep == 0) {
        scheduleNextPass(GetTickCount());
        return;
    }
    waitForDueTick();
    const uint32_t startTicks = GetTickCount();
    const double start = emscripten_performance_now();
    const int before = run.run->framesPresented();
    int exitCode = 0;
    bool running = run.run->pass(exitCode); // one pass of WinMain's loop
    const int after = run.run->framesPresented();
    if (after != before) {
        if (run.framesToStep > 0) --run.framesToStep;
        pageFrame(after, emscripten_performance_now() - start, run.stepMs);
        struct stat traced;
        if (run.run->tracing() && stat(run.options.trace.c_str(), &traced) == 0 &&
            traced.st_size >= MAX_TRACE_BYTES) {
            std::string error;
            if (!run.run->stopTrace(error)) pageFailed(error.c_str());
            pageTraceStopped(after);
        }
    }
    if (!running) {
        finish(exitCode);
        return;
    }
    scheduleNextPass(startTicks);
}

// Starts a run on the cave.x and bitmaps of `dataDir`, replaying `scriptPath` when it is not empty. The
// inputs are checked before anything of a running run is touched: on a bad script or folder the running
// run goes on and `error` says why (returns false, `fatal` false). A run that cannot be set up after the
// old one was taken down leaves the page without a demo (returns false, `fatal` true).
bool startRun(const std::string& dataDir, const std::string& scriptPath, std::string& error, bool& fatal) {
    fatal = false;
    DemoOptions options = run.options;
    options.dataDir = dataDir;
    options.script = scriptPath;
    auto next = std::make_unique<DemoRun>("cave-demo");
    next->reportLine = pageFailed;
    int exitCode = 0;
    if (!next->prepare(options, error, exitCode)) return false;

    if (!run.ended) endRunFiles();
    stopRun();
    run.ended = true;
    fatal = true;
    if (!next->open(error, exitCode)) return false;

    Html5Options html5;
    html5.preserveDrawingBuffer = run.page.preserveFrame;
    html5.scaleToCanvas = !run.page.preserveFrame; // a saved frame is the client area's own pixels
    run.debugLogPath = dataDir + "/" + vokDebugLogName;
    html5.debugLogPath = run.debugLogPath.c_str();
    const char* reason = nullptr;
    if (!platformStartHtml5(html5, &reason)) {
        next->finish(1);
        error = reason ? reason : "the browser backend could not start";
        return false;
    }
    run.started = true;
    run.run = std::move(next);
    run.run->hostHooks.beforeStep = beforeStep;
    run.run->hostHooks.afterStep = afterStep;
    run.run->attach();

    run.window = run.run->openWindow();
    if (run.window == nullptr) {
        stopRun();
        error = "the scene could not be set up (the console has the reason)";
        return false;
    }
    run.ended = false;
    run.framesToStep = 0;
    pageStarted(worldMeshCount > 0 && worldMeshes[0] ? worldMeshes[0]->vertexCount / 3 : 0);
    emscripten_set_main_loop(pass, 0, 0);
    run.looping = true;
    setLoopTiming();
    return true;
}

} // namespace

extern "C" {

// A new run on the files of `dataDir` (the page writes a chosen cave and bitmaps there), replaying the
// input script `script` ("" or null: live input). Returns 0; 1 when the inputs were refused and the running
// run goes on; 2 when the page is left without a demo. caveLastError() then says why.
EMSCRIPTEN_KEEPALIVE int caveRestart(const char* dataDir, const char* script) {
    bool fatal = false;
    lastError.clear();
    if (startRun(dataDir ? dataDir : "", script ? script : "", lastError, fatal)) return 0;
    return fatal ? 2 : 1;
}

EMSCRIPTEN_KEEPALIVE const char* caveLastError() {
    return lastError.c_str();
}

EMSCRIPTEN_KEEPALIVE void cavePause(int on) {
    run.paused = on != 0;
    run.framesToStep = 0;
}

// Holds the frames (if they ran) and lets exactly one more frame through.
EMSCRIPTEN_KEEPALIVE void caveStep() {
    run.paused = true;
    ++run.framesToStep;
}

EMSCRIPTEN_KEEPALIVE void caveSlowMotion(int every) {
    run.slowEvery = every == 2 || every == 4 ? every : 1;
    if (run.looping) setLoopTiming();
}

// Shift down or up as the system would receive it from the keyboard: the message is queued for the next
// pass, recorded, and replayed by a recorded script.
EMSCRIPTEN_KEEPALIVE void caveSeeThrough(int on) {
    if (!run.ended && run.started) platformPostKey(VK_SHIFT, on != 0);
}

// The canvas was resized: the last frame shown again at the new size (frames that run redraw anyway).
EMSCRIPTEN_KEEPALIVE void caveRepresent() {
    if (!run.ended) platformHtml5Represent();
}

EMSCRIPTEN_KEEPALIVE int caveBodiesAtRest() {
    int resting = 0;
    for (int b = 0; b < numBodies && b < MAX_BODIES; ++b) {
        const Vector3& v = bodyVelocity[b];
        const Vector3& w = bodyAngularVelocity[b];
        const float surface = bodyRadius[b] * bodyRadius[b] * (w.x * w.x + w.y * w.y + w.z * w.z);
        if (v.x * v.x + v.y * v.y + v.z * v.z < REST_SPEED * REST_SPEED && surface < REST_SPEED * REST_SPEED)
            ++resting;
    }
    return resting;
}

} // extern "C"

int main(int argc, char** argv) {
    std::string error;
    if (!readArguments(argc, argv, run.options, run.page, error)) {
        pageFailed(error.c_str());
        return 2;
    }
    bool fatal = false;
    if (!startRun(run.options.dataDir, run.options.script, error, fatal)) {
        pageFailed(error.c_str());
        return fatal ? 1 : 2;
    }
    return 0;
}
