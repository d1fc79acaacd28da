// Time to grow one whole 400 x 400 picture, without the pauses the program
// makes between batches, by the program's growth code (grow_picture) and by a
// plain textbook version of the same rule (grow_picture_plain), and the ratio
// of the two in the same run. Status lines go to /dev/null; results go to
// standard error.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>

#include "growth.h"
#include "plain_growth.h"
#include "random.h"

namespace {

constexpr std::int64_t SEED = 1765000000;

int grow_whole_picture() {
    clear_grid();
    completed_count = 0;
    locii = 0;
    int loops = 0;
    for (; !image_full(GRID_WIDTH, GRID_HEIGHT); ++loops) grow_batch(GRID_WIDTH, GRID_HEIGHT);
    return loops;
}

// Both versions must paint the same pictures, or the comparison means nothing.
bool same_pictures() {
    for (std::int64_t seed : {SEED, std::int64_t{0}, std::int64_t{42}, std::int64_t{-7}}) {
        setSeed(seed);
        plain::set_seed(seed);
        const int loops = grow_whole_picture();
        if (plain::grow_picture() != loops || plain::locii() != locii ||
            std::memcmp(plain::grid_bytes(), image_grid, sizeof image_grid) != 0) {
            std::fprintf(stderr, "the two versions differ for seed %lld\n", static_cast<long long>(seed));
            return false;
        }
    }
    return true;
}

void grow_picture(benchmark::State& state) {
    setSeed(SEED);
    for (auto _ : state) {
        grow_whole_picture();
        benchmark::DoNotOptimize(image_grid);
    }
    state.counters["locii"] = locii;
}
BENCHMARK(grow_picture)->Unit(benchmark::kMillisecond);

void grow_picture_plain(benchmark::State& state) {
    plain::set_seed(SEED);
    for (auto _ : state) {
        plain::grow_picture();
        benchmark::DoNotOptimize(plain::grid_bytes());
    }
    state.counters["locii"] = plain::locii();
}
BENCHMARK(grow_picture_plain)->Unit(benchmark::kMillisecond);

// Prints as usual and keeps the CPU time of each run (the median when the
// runs are repeated), for the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median) {
                const std::string name = run.run_name.function_name;
                if (median || cpu_.count(name) == 0) cpu_[name] = run.GetAdjustedCPUTime();
                if (median) has_median_[name] = true;
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        if (cpu_.count("grow_picture") && cpu_.count("grow_picture_plain"))
            std::fprintf(stderr, "grow_picture / grow_picture_plain CPU (%s): %.3f\n",
                         has_median_["grow_picture"] ? "medians" : "single runs",
                         cpu_["grow_picture"] / cpu_["grow_picture_plain"]);
    }

private:
    std::map<std::string, double> cpu_;
    std::map<std::string, bool> has_median_;
};

}  // namespace

int main(int argc, char** argv) {
    if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
    benchmark::Initialize(&argc, argv);
    if (!same_pictures()) return 1;
    RatioReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
