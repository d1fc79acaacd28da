// Showing a picture in the terminal: the time to read the saved file back and
// to encode it each way, and the bytes each way sends (over ssh, the link is
// the cost), for a grown picture in terminals of 400 x 100, 200 x 60 and
// 80 x 24 cells of 7 x 17 pixels, a common cell: the first has room for the
// largest picture each way draws.
#include <benchmark/benchmark.h>

#include <vector>

#include "bmp.h"
#include "grid.h"
#include "growth.h"
#include "random.h"
#include "terminal_picture.h"

namespace {

constexpr int CELL_WIDTH = 7, CELL_HEIGHT = 17;

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
    const int columns = static_cast<int>(state.range(0)), rows = static_cast<int>(state.range(1));
    const Placement place =
        place_picture(way, 400, TerminalSize{columns, rows, columns * CELL_WIDTH, rows * CELL_HEIGHT}, 7);
    std::size_t bytes = 0;
    for (auto _ : state) {
        const std::string out = encode_picture(way, picture, file.data(), file.size(), place, true);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
#define ENCODE(name, way)                \
    BENCHMARK_CAPTURE(encode, name, way) \
        ->Args({400, 100})               \
        ->Args({200, 60})                \
        ->Args({80, 24})                 \
        ->Unit(benchmark::kMillisecond)
ENCODE(kitty, PictureWay::KITTY);
ENCODE(iterm2, PictureWay::ITERM2);
ENCODE(sixel, PictureWay::SIXEL);
ENCODE(half_blocks_24bit, PictureWay::HALF_BLOCKS_24BIT);
ENCODE(half_blocks_256, PictureWay::HALF_BLOCKS_256);
ENCODE(half_blocks_16, PictureWay::HALF_BLOCKS_16);
ENCODE(half_blocks_8, PictureWay::HALF_BLOCKS_8);
ENCODE(half_blocks_linux, PictureWay::HALF_BLOCKS_LINUX);

}  // namespace
