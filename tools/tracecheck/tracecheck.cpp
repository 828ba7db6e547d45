// tracecheck.cpp -- cave-tracecheck: the system's run on the platform core and the recorded device, writing
// the body trace
//
// The same program builds natively and for WebAssembly (run under node), so that the two body traces can
// be compared byte for byte. It needs neither SDL nor OpenGL: the window, messages and clock are the
// platform core's (a virtual clock, 20 ms per idle poll, as cave-demo --headless runs) and the Direct3D
// device is the recorder, whose call log is cleared after every frame.
//
//   cave-tracecheck demo DATA_DIR SCRIPT FRAMES TRACE.csv
//       the demonstration itself (WinMain and its scene set-up with the files in DATA_DIR), the input
//       script replayed by frame number and the trace written as cave-demo --trace writes it; ends after
//       FRAMES frames as cave-demo --frames does.
//   cave-tracecheck cave STEPS TRACE.csv
//       the 101 bodies of the demonstration in the generated 20,000-triangle cave, STEPS steps of 1/60 s,
//       one trace frame after each.
//
// Exit status: 0 when the run ended and the trace was written; 1 when the run or the trace failed; 2 for
// bad arguments or an input script that does not parse.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/demo/body_trace.h"
#include "cave_version.h"
#include "app/demo/demo_run.h"
#include "app/picking.h"
#include "physics/simulation.h"
#include "app/testing/demo_scenes.h"
#include "physics/testing/test_scenes.h"
#include "platform/testing/recorded_device.h"
#include "platform/win32.h"
#include "platform/core/platform_core.h"

namespace {

constexpr int MAX_FRAMES = 1000000; // ten hours of frames at 50 per second

const char* const USAGE = "usage: cave-tracecheck demo DATA_DIR SCRIPT FRAMES TRACE.csv\n"
                          "       cave-tracecheck cave STEPS TRACE.csv\n";

// A frame count in 1 .. MAX_FRAMES, or 0 when the text is not one.
int parseCount(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < 1 || value > MAX_FRAMES) return 0;
    return static_cast<int>(value);
}

bool closeTrace(BodyTrace& trace) {
    std::string error;
    if (trace.close(error)) return true;
    std::fprintf(stderr, "cave-tracecheck: %s\n", error.c_str());
    return false;
}

// Frames presented so far and whether a drag was in progress at the last one, for the pick report.
int framesSeen = 0;
bool wasDragging = false;

// After each presented frame, before the run's own bookkeeping: report a pick (so that a check can tell
// that its drag took hold) and drop the recorder's call log (a long run would otherwise keep every call).
void onFramePresented() {
    ++framesSeen;
    if (dragging && !wasDragging)
        std::fprintf(stderr, "cave-tracecheck: frame %d: body %d picked\n", framesSeen, pickedBody);
    wasDragging = dragging != 0;
    recordClearCalls();
}

int runDemo(const char* dataDir, const char* scriptPath, int frames, const char* tracePath) {
    // The script and the trace are named relative to the starting directory, the data files to DATA_DIR.
    DemoOptions options;
    options.dataDir = dataDir;
    options.script = scriptPath;
    options.trace = tracePath;
    options.frames = frames;
    std::error_code ec;
    resolveDemoPaths(options, std::filesystem::current_path(ec).string());
    DemoRun run("cave-tracecheck");
    std::string error;
    int exitCode = 0;
    if (!run.prepare(options, error, exitCode) || !run.open(error, exitCode)) {
        std::fprintf(stderr, "cave-tracecheck: %s\n", error.c_str());
        return exitCode;
    }

    // The platform core on its own (a virtual clock, 20 ms per idle poll) and the recorded device.
    platformReset();
    platformUseVirtualClock(true, 20);
    recordReset();
    run.hostHooks.framePresented = onFramePresented;
    run.attach();
    exitCode = run.finish(run.runWinMain());
    platformReset();
    if (exitCode == 0 && run.framesPresented() != frames) {
        std::fprintf(stderr, "cave-tracecheck: the demo ended after %d of %d frames\n", run.framesPresented(),
                     frames);
        exitCode = 1;
    }
    return exitCode;
}

int runCave(int steps, const char* tracePath) {
    BodyTrace trace;
    std::string error;
    if (!trace.open(tracePath, error)) {
        std::fprintf(stderr, "cave-tracecheck: %s\n", error.c_str());
        return 1;
    }
    if (setupCaveScene() == nullptr) {
        std::fprintf(stderr, "cave-tracecheck: the generated cave could not be built\n");
        closeTrace(trace);
        return 1;
    }
    trace.writeFrame(0);
    for (int k = 1; k <= steps; ++k) {
        stepSimulation(SIMULATION_DT);
        trace.writeFrame(k);
    }
    resetPhysics();
    resetRenderObjects();
    return closeTrace(trace) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("cave-tracecheck " CAVE_VERSION);
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (argc == 6 && std::strcmp(argv[1], "demo") == 0) {
        const int frames = parseCount(argv[4]);
        if (frames == 0) {
            std::fprintf(stderr,
                         "cave-tracecheck: FRAMES must be a whole number from 1 to %d, not \"%s\"\n%s",
                         MAX_FRAMES, argv[4], USAGE);
            return 2;
        }
        return runDemo(argv[2], argv[3], frames, argv[5]);
    }
    if (argc == 4 && std::strcmp(argv[1], "cave") == 0) {
        const int steps = parseCount(argv[2]);
        if (steps == 0) {
            std::fprintf(stderr, "cave-tracecheck: STEPS must be a whole number from 1 to %d, not \"%s\"\n%s",
                         MAX_FRAMES, argv[2], USAGE);
            return 2;
        }
        return runCave(steps, argv[3]);
    }
    std::fputs(USAGE, stderr);
    return 2;
}
