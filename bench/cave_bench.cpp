// cave_bench.cpp -- cave-bench: time per simulation step for the demonstration's 101 bodies
//
// Each benchmark sets up the 101 bodies over a generated world and times consecutive calls of
// stepSimulation(1/60) from the first step on, one step per iteration, so the figure is the mean
// step time over the whole drop (bodies falling, landing, piling up and rolling).
#include <benchmark/benchmark.h>

#include "physics/bodies.h"
#include "physics/simulation.h"
#include "physics/testing/test_scenes.h"

namespace {

constexpr int DROP_STEPS = 1200;  // 20 s of simulated time

void stepBowl(benchmark::State& state) {
    if (setupBowlScene() == nullptr) {
        state.SkipWithError("cannot build the bowl scene");
        return;
    }
    for (auto _ : state) stepSimulation(SIMULATION_DT);
    state.counters["bodies"] = numBodies;
}

}  // namespace

BENCHMARK(stepBowl)->Name("step/bowl")->Iterations(DROP_STEPS)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
