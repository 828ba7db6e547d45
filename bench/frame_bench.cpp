// frame_bench.cpp -- cave-bench: time of one drawn frame of the demonstration on each OpenGL device
//
// The demonstration starts as cave-demo --headless does (SDL's offscreen driver, the fixed-function or
// the shader device, the shipped files from $CAVE_BENCH_DATA or the source tree's assets folder, the same
// window and scene set-up), then each iteration advances the virtual clock by one frame interval and runs
// renderFrame: clear, the camera, one simulation step, the 102 draws and the presentation (a blit and a
// buffer swap; the frame is read back only when asked for). Without a GPU the device runs on Mesa's
// software rasterizer, so the figure is mostly drawing.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/camera.h"
#include "app/picking.h"
#include "app/scene_setup.h"
#include "app/shell.h"
#include "physics/bodies.h"
#include "physics/simulation.h"
#include "platform/win32.h"
#include "render/device.h"
#include "render/render_object.h"
#include "render/texture_slots.h"
#include "platform/sdl/sdl_backend.h"

namespace {

void drawnFrame(benchmark::State& state, PlatformRenderer renderer) {
    const char* folder = std::getenv("CAVE_BENCH_DATA");
    const std::string data = folder != nullptr ? folder : CAVE_ASSETS_DIR;
    char previousDir[4096];
    if (getcwd(previousDir, sizeof previousDir) == nullptr || chdir(data.c_str()) != 0) {
        state.SkipWithError("the data folder cannot be entered");
        return;
    }
    PlatformOptions options;
    options.mode = PlatformMode::Headless;
    options.idleAdvanceMs = 0; // the benchmark moves the clock itself
    options.renderer = renderer;
    resetDemonstration();
    if (!platformStartSdl(options)) {
        state.SkipWithError("SDL could not start");
        return;
    }
    HWND window = createMainWindow(nullptr, nullptr, SW_SHOWNORMAL);
    if (window == nullptr || numBodies != 101) {
        state.SkipWithError("the demonstration could not start");
    } else {
        for (auto _ : state) {
            platformAdvanceTickCount(FRAME_INTERVAL_MS);
            renderFrame();
        }
        DestroyWindow(window);
    }
    platformStopSdl();
    resetDemonstration();
    if (chdir(previousDir) != 0) state.SkipWithError("the working folder cannot be restored");
}

} // namespace

// 300 frames: the column falling and the first landings, 6 seconds of simulated time.
BENCHMARK_CAPTURE(drawnFrame, fixed, PlatformRenderer::FixedFunction)
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(drawnFrame, shader, PlatformRenderer::Shader)
    ->Iterations(300)
    ->Unit(benchmark::kMillisecond);
