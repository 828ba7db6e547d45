// main.cpp -- cave-demo in a web page: the options the page passes, the system's window, and one pass of its
// message loop each time the browser's main loop calls
//
// The page (cave-web.js) turns its URL parameters into these arguments:
//   --frames N      quit after N frames, as if Esc was pressed (0: no limit)
//   --script FILE   replay key and mouse events by frame number (a file the page fetched into memory)
//   --trace FILE    write the body trace (kept in the in-memory file system for the page)
//   --shot          keep the last frame readable from the canvas
//   --vsync         run a pass per animation frame of the display instead of when the next frame is due
// and reads what the program reports through these Module functions, each called when present:
//   caveStarted()                    the scene is set up, the first pass is scheduled
//   caveFrame(frames, milliseconds)  a frame was presented; the pass took that long
//   caveTraceStopped(frames)         the trace reached MAX_TRACE_BYTES and was closed after that frame
//   caveEnded(exitCode, frames)      the loop read WM_QUIT (Esc, or the frame limit); the trace is closed
//   caveFailed(reason)               the demo could not start
#include <emscripten.h>
#include <emscripten/html5.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "app/camera.h"
#include "app/demo/body_trace.h"
#include "app/demo/demo_session.h"
#include "app/demo/input_script.h"
#include "app/shell.h"
#include "framework/stream.h"
#include "platform/win32.h"
#include "platform/win32_html5.h"
#include "render/device.h"
#include "scene/scene_classes.h"

namespace {

// clang-format off
EM_JS(void, pageStarted, (), {
    if (Module["caveStarted"]) Module["caveStarted"]();
});
EM_JS(void, pageFrame, (int frames, double milliseconds), {
    if (Module["caveFrame"]) Module["caveFrame"](frames, milliseconds);
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

struct WebOptions {
    int frames = 0;             // 0: no limit
    std::string script;         // input script in the in-memory file system; empty: none
    std::string trace;          // body trace to write; empty: none
    std::string data = "/data"; // the preloaded cave.x and bitmaps; the debug log goes here too
    bool preserveFrame = false; // keep the last frame readable from the canvas (screenshots)
    bool vsync = false;         // EM_TIMING_RAF instead of passes timed to the next frame
};

// A whole decimal number in 0 .. INT_MAX, digits only.
bool parseCount(const char* text, int& out) {
    if (!text || !*text) return false;
    long long value = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) return false;
    }
    out = static_cast<int>(value);
    return true;
}

bool parseWebOptions(int argc, char** argv, WebOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (option == "--frames" || option == "--script" || option == "--trace" || option == "--data") {
            if (!value) {
                error = option + " needs a value";
                return false;
            }
            ++i;
            if (option == "--frames") {
                if (!parseCount(value, options.frames)) {
                    error = "frames must be a whole number from 0 to 2147483647, not \"" +
                            std::string(value).substr(0, 40) + "\"";
                    return false;
                }
            } else if (option == "--script") {
                options.script = value;
            } else if (option == "--trace") {
                options.trace = value;
            } else {
                options.data = value;
            }
        } else if (option == "--shot") {
            options.preserveFrame = true;
        } else if (option == "--vsync") {
            options.vsync = true;
        } else {
            error = "unknown option " + option.substr(0, 40);
            return false;
        }
    }
    return true;
}

// One run of the demo in the page. Lives for the page's lifetime: the browser calls pass() after main
// has returned.
struct WebRun {
    WebOptions options;
    BodyTrace trace;
    std::unique_ptr<ScriptPlayer> script;
    std::unique_ptr<DemoSession> session;
    std::string debugLogPath;
    bool ended = false;
};

WebRun run;

// One pass of WinMain's loop: every waiting message, then a frame when the window is active. False with
// the quit message's wParam when WM_QUIT was read.
bool loopPass(int& exitCode) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
        if (msg.message == WM_QUIT) {
            exitCode = static_cast<int>(msg.wParam);
            return false;
        }
    }
    if (appActive) renderFrame();
    return true;
}

void finish(int exitCode) {
    run.ended = true;
    emscripten_cancel_main_loop();
    std::string error;
    if (!run.trace.close(error)) {
        pageFailed(error.c_str());
        if (exitCode == 0) exitCode = 1;
    }
    int frames = run.session->framesPresented();
    activeDemoSession = nullptr;
    beforeMessageLoopHook = nullptr;
    afterStepHook = nullptr;
    framePresentedHook = nullptr;
    platformStopHtml5();
    pageEnded(exitCode, frames);
}

// The next pass comes when the next frame is due (20 ms after the last frame started, as renderFrame
// counts them), measured from the start of this pass; while the window is inactive, every 20 ms so that
// messages keep flowing. With --vsync the display's animation frames drive the passes instead, which
// rounds the 20 ms up to a whole number of display refreshes.
void scheduleNextPass(uint32_t passStartTicks) {
    if (run.options.vsync) return;
    int wait = static_cast<int>(FRAME_INTERVAL_MS);
    if (appActive) {
        int32_t due = static_cast<int32_t>(lastFrameTime + FRAME_INTERVAL_MS - passStartTicks);
        wait = due < 0 ? 0 : (due > wait ? wait : due);
    }
    emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, wait);
}

void pass() {
    if (run.ended) return;
    const double start = emscripten_performance_now();
    const uint32_t startTicks = GetTickCount();
    const int before = run.session->framesPresented();
    int exitCode = 0;
    bool running = loopPass(exitCode);
    const int after = run.session->framesPresented();
    if (after != before) {
        pageFrame(after, emscripten_performance_now() - start);
        struct stat traced;
        if (run.trace.isOpen() && stat(run.options.trace.c_str(), &traced) == 0 &&
            traced.st_size >= MAX_TRACE_BYTES) {
            std::string error;
            if (!run.trace.close(error)) pageFailed(error.c_str());
            pageTraceStopped(after);
        }
    }
    if (!running) {
        finish(exitCode);
        return;
    }
    scheduleNextPass(startTicks);
}

} // namespace

int main(int argc, char** argv) {
    std::string error;
    if (!parseWebOptions(argc, argv, run.options, error)) {
        pageFailed(error.c_str());
        return 2;
    }
    // Everything that can be wrong with the inputs is reported before the window opens.
    std::vector<ScriptEvent> events;
    if (!run.options.script.empty() && !loadInputScript(run.options.script, events, error)) {
        pageFailed(error.c_str());
        return 2;
    }
    if (chdir(run.options.data.c_str()) != 0) {
        pageFailed(("the data files are missing (no " + run.options.data + ")").c_str());
        return 2;
    }
    if (!run.options.trace.empty() && !run.trace.open(run.options.trace, error)) {
        pageFailed(error.c_str());
        return 1;
    }

    Html5Options html5;
    html5.preserveDrawingBuffer = run.options.preserveFrame;
    run.debugLogPath = run.options.data + "/" + vokDebugLogName;
    html5.debugLogPath = run.debugLogPath.c_str();
    const char* reason = nullptr;
    if (!platformStartHtml5(html5, &reason)) {
        pageFailed(reason);
        return 1;
    }

    run.script = std::make_unique<ScriptPlayer>(std::move(events));
    run.session = std::make_unique<DemoSession>(run.trace.isOpen() ? &run.trace : nullptr, run.script.get(),
                                                run.options.frames);
    activeDemoSession = run.session.get();
    afterStepHook = demoHookAfterStep;
    framePresentedHook = demoHookFramePresented;

    VokRegisterSceneClasses();
    if (createMainWindow(nullptr, nullptr, SW_SHOWNORMAL) == nullptr) {
        platformStopHtml5();
        pageFailed("the scene could not be set up (the console has the reason)");
        return 1;
    }
    demoHookBeforeLoop();
    pageStarted();
    emscripten_set_main_loop(pass, 0, 0);
    if (!run.options.vsync) emscripten_set_main_loop_timing(EM_TIMING_SETTIMEOUT, 0);
    return 0;
}
