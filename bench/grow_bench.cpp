// Time to grow one whole 400 x 400 picture, without the pauses the program
// makes between batches, by the program's growth code (grow_picture) and by a
// plain textbook version of the same rule (grow_picture_plain), and the ratio
// of the two in the same run, with the floor the draws and the status lines
// set. Status lines go to /dev/null; results go to standard error.
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

// What a picture of SEED costs before any cell is looked at: its 2,024,562
// (x, y) draws bounded by 400, its other 645,961 generator steps, and its
// 1,630 status lines, done by the program's own generator and status code
// (counted once with an instrumented copy of the plain rule). No version that
// keeps the draws and the status lines can grow the picture in less.
constexpr int PAIR_DRAWS = 2'024'562;
constexpr int OTHER_STEPS = 645'961;
constexpr int STATUS_LINES = 1'630;

void picture_floor(benchmark::State& state) {
    for (auto _ : state) {
        setSeed(SEED);
        int left = PAIR_DRAWS;
        std::int32_t x = 0, y = 0;
        std::uint64_t generator = take_state();
        draw_pair_while(&generator, GRID_WIDTH, GRID_HEIGHT, &x, &y,
                        [&left](std::int32_t, std::int32_t) { return --left > 0; });
        put_state(generator);
        std::int32_t sum = x + y;
        for (int i = 0; i < OTHER_STEPS; ++i) sum += next(31);
        for (int i = 0; i < STATUS_LINES; ++i) print_status_line();
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(picture_floor)->Unit(benchmark::kMillisecond);

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
        for (const char* name : {"grow_picture", "picture_floor"})
            if (cpu_.count(name) && cpu_.count("grow_picture_plain"))
                std::fprintf(stderr, "%s / grow_picture_plain CPU (%s): %.3f\n", name,
                             has_median_[name] ? "medians" : "single runs", cpu_[name] / cpu_["grow_picture_plain"]);
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
