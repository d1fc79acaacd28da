// The bytes that show a saved picture in half blocks at a given size, to
// measure and compare them outside the program (bench/half_blocks_match.py):
//   picture_bytes grow FILE                 saves the benchmark's picture (seed 1)
//   picture_bytes WAY COLUMNS ROWS FILE     WAY: 24bit, 256, 16, 8 or linux
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bmp.h"
#include "grid.h"
#include "growth.h"
#include "random.h"
#include "terminal_picture.h"

namespace {

constexpr struct {
    const char* name;
    PictureWay way;
} WAYS[] = {{"24bit", PictureWay::HALF_BLOCKS_24BIT},
            {"256", PictureWay::HALF_BLOCKS_256},
            {"16", PictureWay::HALF_BLOCKS_16},
            {"8", PictureWay::HALF_BLOCKS_8},
            {"linux", PictureWay::HALF_BLOCKS_LINUX}};

int grow(const char* name) {
    setSeed(1);
    clear_grid();
    while (!image_full(GRID_WIDTH, GRID_HEIGHT)) grow_batch(GRID_WIDTH, GRID_HEIGHT);
    std::vector<unsigned char> bytes(54 + GRID_WIDTH * GRID_HEIGHT * 3);
    bytes.resize(bmp_file_bytes(GRID_WIDTH, GRID_HEIGHT, bytes.data()));
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "grow") == 0) return grow(argv[2]);
    const auto* way = argc == 5 ? std::find_if(std::begin(WAYS), std::end(WAYS),
                                               [&](const auto& w) { return std::strcmp(w.name, argv[1]) == 0; })
                                : std::end(WAYS);
    if (way == std::end(WAYS)) {
        (void)std::fprintf(stderr, "usage: %s grow FILE | %s 24bit|256|16|8|linux COLUMNS ROWS FILE\n", argv[0],
                           argv[0]);
        return 2;
    }
    std::ifstream in(argv[4], std::ios::binary);
    const std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    RgbPicture picture;
    if (!read_bmp(file.data(), file.size(), &picture)) {
        (void)std::fprintf(stderr, "%s: not a saved picture\n", argv[4]);
        return 1;
    }
    const Placement place{std::atoi(argv[2]), std::atoi(argv[3]), 0};
    const std::string out = encode_picture(way->way, picture, file.data(), file.size(), place, true);
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() ? 0 : 1;
}
