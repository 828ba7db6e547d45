// cave_bench.cpp -- cave-bench: time per simulation step for the demonstration's 101 bodies
//
// Each benchmark sets up the 101 bodies through the demonstration's own body creation over a world (the
// generated bowl, the shipped cave loaded as the demonstration loads it, the generated 20,000-triangle
// cave) and times consecutive calls of stepSimulation(1/60) from the first step on, one step per
// iteration, so the figure is the mean step time over the whole drop (bodies falling, landing, piling up
// and rolling). Every world is timed with the exhaustive search (every body against every triangle,
// every pair) and with the accelerated one (triangle hierarchy and pair sweep); the accelerated run
// reports speedup = exhaustive / accelerated. Steps are timed in thread CPU time ("Time" column, manual
// time).
//
//   cave-bench --benchmark_out=bench/results/<machine>.json --benchmark_out_format=json
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdlib>
#include <string>

#include "physics/bodies.h"
#include "physics/collision.h"
#include "physics/simulation.h"
#include "app/testing/demo_scenes.h"
#include "physics/testing/test_scenes.h"

namespace {

enum World { BOWL = 0, CAVE = 1, SHIPPED = 2 };
double exhaustiveSecondsPerStep[3] = {0.0, 0.0, 0.0}; // filled by the exhaustive runs, which come first

// The shipped cave as the demonstration loads it (its own loadWorldMesh), read from $CAVE_BENCH_DATA or
// else the source tree's assets folder.
RenderObject* setupShippedScene() {
    const char* folder = std::getenv("CAVE_BENCH_DATA");
    const std::string path = std::string(folder != nullptr ? folder : CAVE_ASSETS_DIR) + "/cave.x";
    return setupDemoSceneFromFile(path.c_str());
}

// CPU time of this thread, seconds: steadier than wall time on a machine shared with other work.
double threadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

void stepWorld(benchmark::State& state, World world, ContactSearch search) {
    RenderObject* mesh = world == BOWL   ? setupBowlScene()
                         : world == CAVE ? setupCaveScene()
                                         : setupShippedScene();
    if (mesh == nullptr) {
        state.SkipWithError(world == SHIPPED ? "cannot read cave.x (set CAVE_BENCH_DATA)"
                                             : "cannot build the scene");
        return;
    }
    contactSearch = search;
    double total = 0.0;
    for (auto _ : state) {
        const double start = threadSeconds();
        stepSimulation(SIMULATION_DT);
        const double seconds = threadSeconds() - start;
        state.SetIterationTime(seconds);
        total += seconds;
    }
    const double perStep = total / static_cast<double>(state.iterations());
    state.counters["triangles"] = worldTriangleCount(mesh);
    state.counters["bodies"] = numBodies;
    if (search == SEARCH_EXHAUSTIVE) {
        exhaustiveSecondsPerStep[world] = perStep;
    } else if (exhaustiveSecondsPerStep[world] > 0.0) {
        state.counters["speedup"] = exhaustiveSecondsPerStep[world] / perStep;
    }
    resetPhysics();
    resetRenderObjects();
}

} // namespace

BENCHMARK_CAPTURE(stepWorld, bowl_exhaustive, BOWL, SEARCH_EXHAUSTIVE)
    ->Iterations(1200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stepWorld, bowl_accelerated, BOWL, SEARCH_ACCELERATED)
    ->Iterations(1200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stepWorld, shipped_exhaustive, SHIPPED, SEARCH_EXHAUSTIVE)
    ->Iterations(1500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stepWorld, shipped_accelerated, SHIPPED, SEARCH_ACCELERATED)
    ->Iterations(1500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stepWorld, cave20k_exhaustive, CAVE, SEARCH_EXHAUSTIVE)
    ->Iterations(1500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(stepWorld, cave20k_accelerated, CAVE, SEARCH_ACCELERATED)
    ->Iterations(1500)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
