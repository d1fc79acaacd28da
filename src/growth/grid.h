// The one picture being grown: a fixed 400 x 400 grid of colour cells, and the
// counters of the current picture.
#pragma once

#include <cstdint>

constexpr int GRID_WIDTH = 400;
constexpr int GRID_HEIGHT = 400;
constexpr int GRID_CELLS = GRID_WIDTH * GRID_HEIGHT;

// Channel 0 is red, 1 green, 2 blue. A pixel is set when all three are non-zero.
struct Pixel {
    std::uint8_t channel[3];
};
static_assert(sizeof(Pixel) == 3, "a pixel is exactly three bytes");

// Row-major: cell (x, y) is image_grid[y][x]; y = 0 is the top row.
using ImageGrid = Pixel[GRID_HEIGHT][GRID_WIDTH];

extern ImageGrid image_grid;
extern std::int32_t completed_count;  // pixels of this picture that became set
extern std::int32_t locii;            // of those, the ones that started a new region

// The cell at (x, y), or null when either coordinate is outside 0 .. 399.
inline Pixel* get_pixel(std::int32_t x, std::int32_t y) {
    if (static_cast<std::uint32_t>(x) >= GRID_WIDTH || static_cast<std::uint32_t>(y) >= GRID_HEIGHT) return nullptr;
    return &image_grid[y][x];
}

// The pixel itself when present and set, else null.
inline Pixel* pixel_if_set(Pixel* pixel) {
    if (pixel == nullptr) return nullptr;
    const std::uint8_t* c = pixel->channel;
    return (c[0] != 0 && c[1] != 0 && c[2] != 0) ? pixel : nullptr;
}

// True when every cell with x < width and y < height is set. Cells outside the
// grid count as unset; an extent of zero or below is full.
bool image_full(std::int32_t width, std::int32_t height);

// Sets every cell to zero, and unmarks them all.
void clear_grid();

// ---- marks: a bit per cell, which the growth engine sets as it sets the cell.
// Late in a picture almost every cell drawn is set already; the 20 KB of marks
// answer that from the fastest cache, where the 480 KB grid would not. A
// marked cell is set. (x, y) must lie inside the grid.

bool cell_marked(std::int32_t x, std::int32_t y);
void mark_cell(std::int32_t x, std::int32_t y);

// ---- inline definitions: asked millions of times a picture

namespace grid_detail {

extern std::uint64_t marks[GRID_CELLS / 64];
// A cell that was the first unset one when last looked at: the cells before it
// were set then, and as cells are only ever set until the grid is cleared,
// the next look starts here.
extern std::uint32_t first_unset;
bool image_full_scan(std::int32_t width, std::int32_t height);

inline std::uint32_t cell_index(std::int32_t x, std::int32_t y) {
    return static_cast<std::uint32_t>(y * GRID_WIDTH + x);
}

}  // namespace grid_detail

inline bool image_full(std::int32_t width, std::int32_t height) {
    using namespace grid_detail;
    // Mostly the answer: the cell found unset last time still is.
    if (width == GRID_WIDTH && height == GRID_HEIGHT && first_unset < GRID_CELLS &&
        pixel_if_set(&image_grid[0][0] + first_unset) == nullptr)
        return false;
    return image_full_scan(width, height);
}

inline bool cell_marked(std::int32_t x, std::int32_t y) {
    const std::uint32_t index = grid_detail::cell_index(x, y);
    return (grid_detail::marks[index / 64] >> (index % 64)) & 1;
}

inline void mark_cell(std::int32_t x, std::int32_t y) {
    const std::uint32_t index = grid_detail::cell_index(x, y);
    grid_detail::marks[index / 64] |= std::uint64_t{1} << (index % 64);
}
