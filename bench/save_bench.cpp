// Time to save one picture: the BMP file laid out, written beside its name,
// flushed to the disk and renamed, and the same without the two flushes to
// the disk, to show what they cost. Runs in a fresh directory under /tmp, or
// under $PIXELGROW_BENCH_DIR to measure another disk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bmp.h"
#include "posix/sys.h"

namespace {

int no_flush(int) { return 0; }

void save(benchmark::State& state, bool flush) {
    const char* base = std::getenv("PIXELGROW_BENCH_DIR");
    std::string dir = std::string(base != nullptr ? base : "/tmp") + "/pixelgrow_bench_XXXXXX";
    char old[4096];
    if (mkdtemp(dir.data()) == nullptr || getcwd(old, sizeof old) == nullptr || chdir(dir.c_str()) != 0) {
        state.SkipWithError("no directory to write in");
        return;
    }
    if (!flush) sys_calls.fsync = no_flush;
    char name[BMP_NAME_SIZE];
    for (auto _ : state) {
        if (write_image(400, 400, name) != 1) state.SkipWithError("the picture was not saved");
        (void)std::remove(name);  // the name changes every second
    }
    sys_calls = SYS_REAL;
    if (chdir(old) != 0 || rmdir(dir.c_str()) != 0) state.SkipWithError("the directory was not removed");
}

void save_picture(benchmark::State& state) { save(state, true); }
void save_picture_without_flush(benchmark::State& state) { save(state, false); }
BENCHMARK(save_picture)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(save_picture_without_flush)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
