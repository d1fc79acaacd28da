// Time to grow one whole 400 x 400 picture by the program's growth code
// (grow_picture) and by a plain textbook version of the same rule
// (grow_picture_plain); the same grown as the program grows it, with the
// 5 ms pause between batches that lets the caches go cold (the _paced pair);
// and the floor that the draws and status lines alone set (picture_floor).
// Every iteration grows the same picture from the same seed. The table goes
// to standard output in the format asked for (--benchmark_format); the status
// lines go to /dev/null; the ratios of CPU time to the plain twin are added on
// standard error.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <streambuf>
#include <string>

#include "growth.h"
#include "host.h"
#include "plain_growth.h"
#include "random.h"

namespace {

constexpr std::int64_t SEED = 1765000000;
constexpr std::int32_t PAUSE_MS = 5;  // the program's pause between batches

int grow_whole_picture(bool paced) {
    clear_grid();
    completed_count = 0;
    locii = 0;
    int loops = 0;
    for (; !image_full(GRID_WIDTH, GRID_HEIGHT); ++loops) {
        grow_batch(GRID_WIDTH, GRID_HEIGHT);
        if (paced) sleep_ms(PAUSE_MS);
    }
    return loops;
}

// Both versions must paint the same pictures, or the comparison means nothing.
bool same_pictures() {
    for (std::int64_t seed : {SEED, std::int64_t{0}, std::int64_t{42}, std::int64_t{-7}}) {
        setSeed(seed);
        plain::set_seed(seed);
        const int loops = grow_whole_picture(false);
        if (plain::grow_picture(false) != loops || plain::locii() != locii ||
            std::memcmp(plain::grid_bytes(), image_grid, sizeof image_grid) != 0) {
            (void)std::fprintf(stderr, "the two versions differ for seed %lld\n", static_cast<long long>(seed));
            return false;
        }
    }
    return true;
}

void grow(benchmark::State& state, bool paced) {
    for (auto _ : state) {
        setSeed(SEED);
        grow_whole_picture(paced);
        benchmark::DoNotOptimize(image_grid);
    }
    state.counters["locii"] = locii;
}

void grow_plain(benchmark::State& state, bool paced) {
    for (auto _ : state) {
        plain::set_seed(SEED);
        plain::grow_picture(paced);
        benchmark::DoNotOptimize(plain::grid_bytes());
    }
    state.counters["locii"] = plain::locii();
}

void grow_picture(benchmark::State& state) { grow(state, false); }
void grow_picture_plain(benchmark::State& state) { grow_plain(state, false); }
void grow_picture_paced(benchmark::State& state) { grow(state, true); }
void grow_picture_paced_plain(benchmark::State& state) { grow_plain(state, true); }
BENCHMARK(grow_picture)->Unit(benchmark::kMillisecond);
BENCHMARK(grow_picture_plain)->Unit(benchmark::kMillisecond);
// About 1.6 s of pauses a picture: one picture a run is enough.
BENCHMARK(grow_picture_paced)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(grow_picture_paced_plain)->Unit(benchmark::kMillisecond)->UseRealTime();

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

// The display the flags ask for, with the ratios of CPU time to the plain
// twin added on standard error: of the medians when the runs are repeated.
class RatioReporter : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override { return display_->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        display_->ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const std::string name = run.run_name.function_name;
            if (median || cpu_.count(name) == 0) cpu_[name] = run.GetAdjustedCPUTime();
            if (median) has_median_[name] = true;
        }
    }
    void Finalize() override {
        display_->Finalize();
        const char* pairs[][2] = {{"grow_picture", "grow_picture_plain"},
                                  {"picture_floor", "grow_picture_plain"},
                                  {"grow_picture_paced", "grow_picture_paced_plain"}};
        for (const auto& pair : pairs)
            if (cpu_.count(pair[0]) && cpu_.count(pair[1]))
                (void)std::fprintf(stderr, "%s / %s CPU (%s): %.3f\n", pair[0], pair[1],
                                   has_median_[pair[0]] ? "medians" : "single runs", cpu_[pair[0]] / cpu_[pair[1]]);
    }

private:
    benchmark::BenchmarkReporter* display_ = benchmark::CreateDefaultDisplayReporter();
    std::map<std::string, double> cpu_;
    std::map<std::string, bool> has_median_;
};

// Standard output as it was given, for the table, once the program's own
// standard output (the status lines) goes to /dev/null.
class FdBuffer : public std::streambuf {
public:
    explicit FdBuffer(int fd) : fd_(fd) {}

private:
    int_type overflow(int_type c) override {
        const char ch = traits_type::to_char_type(c);
        return c == traits_type::eof() || xsputn(&ch, 1) == 1 ? traits_type::not_eof(c) : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::streamsize done = 0;
        while (done < n) {
            const ssize_t w = write(fd_, s + done, static_cast<std::size_t>(n - done));
            if (w <= 0) break;
            done += w;
        }
        return done;
    }
    int fd_;
};

}  // namespace

int main(int argc, char** argv) {
    (void)std::fflush(stdout);
    const int table = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (table < 0 || null < 0 || dup2(null, STDOUT_FILENO) < 0) return 1;
    close(null);
    FdBuffer table_buffer(table);
    std::streambuf* const given = std::cout.rdbuf(&table_buffer);

    benchmark::Initialize(&argc, argv);
    int status = 1;
    if (!benchmark::ReportUnrecognizedArguments(argc, argv) && same_pictures()) {
        RatioReporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        status = 0;
    }
    benchmark::Shutdown();
    std::cout.flush();
    std::cout.rdbuf(given);  // the buffer goes with this function
    return status;
}
