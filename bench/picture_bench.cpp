// Showing a picture in the terminal: the time to read the saved file back and
// to encode it each way, and the bytes each way sends, for a grown picture in
// a terminal with room for all of it (120 x 55 cells of 10 x 18 pixels).
#include <benchmark/benchmark.h>

#include <vector>

#include "bmp.h"
#include "grid.h"
#include "growth.h"
#include "random.h"
#include "terminal_picture.h"

namespace {

// The file the program saves for a picture grown from a fixed seed.
const std::vector<unsigned char>& saved_file() {
    static const std::vector<unsigned char> file = [] {
        setSeed(1);
        clear_grid();
        std::vector<unsigned char> bytes(54 + GRID_WIDTH * GRID_HEIGHT * 3);
        while (!image_full(GRID_WIDTH, GRID_HEIGHT)) grow_batch(GRID_WIDTH, GRID_HEIGHT);
        bytes.resize(bmp_file_bytes(GRID_WIDTH, GRID_HEIGHT, bytes.data()));
        return bytes;
    }();
    return file;
}

void read_back(benchmark::State& state) {
    const std::vector<unsigned char>& file = saved_file();
    RgbPicture picture;
    for (auto _ : state) benchmark::DoNotOptimize(read_bmp(file.data(), file.size(), &picture));
}
BENCHMARK(read_back)->Unit(benchmark::kMillisecond);

void encode(benchmark::State& state, PictureWay way) {
    const std::vector<unsigned char>& file = saved_file();
    RgbPicture picture;
    read_bmp(file.data(), file.size(), &picture);
    const Placement place = place_picture(400, TerminalSize{120, 55, 1200, 990}, 7);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string out = encode_picture(way, picture, file.data(), file.size(), place, true);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK_CAPTURE(encode, kitty, PictureWay::KITTY)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, iterm2, PictureWay::ITERM2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, sixel, PictureWay::SIXEL)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, half_blocks_24bit, PictureWay::HALF_BLOCKS_24BIT)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(encode, half_blocks_256, PictureWay::HALF_BLOCKS_256)->Unit(benchmark::kMillisecond);

}  // namespace
