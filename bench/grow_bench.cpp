// Time to grow one whole 400 x 400 picture, without the pauses the program
// makes between batches. Status lines go to /dev/null; results go to stderr.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <iostream>

#include "growth.h"
#include "random.h"

namespace {

void grow_picture(benchmark::State& state) {
    setSeed(1765000000);
    for (auto _ : state) {
        clear_grid();
        completed_count = 0;
        locii = 0;
        while (!image_full(GRID_WIDTH, GRID_HEIGHT)) grow_batch(GRID_WIDTH, GRID_HEIGHT);
        benchmark::DoNotOptimize(image_grid);
    }
    state.counters["locii"] = locii;
}
BENCHMARK(grow_picture)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::ConsoleReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
