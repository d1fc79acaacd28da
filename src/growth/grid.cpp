#include "grid.h"

#include <cstring>

ImageGrid image_grid;
std::int32_t completed_count = 0;
std::int32_t locii = 0;

namespace grid_detail {

std::uint64_t marks[GRID_CELLS / 64];
std::uint32_t first_unset = 0;

namespace {

const unsigned char* const grid_bytes = &image_grid[0][0].channel[0];

// The first byte that is zero in bytes from .. to, as the cell it belongs to; `to` when none is.
std::uint32_t first_zero_cell(std::size_t from, std::size_t to) {
    const void* zero = std::memchr(grid_bytes + from, 0, to - from);
    if (zero == nullptr) return static_cast<std::uint32_t>(to / sizeof(Pixel));
    return static_cast<std::uint32_t>((static_cast<const unsigned char*>(zero) - grid_bytes) / sizeof(Pixel));
}

}  // namespace

bool image_full_scan(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return true;
    // An extent reaching past the grid takes in cells that do not exist, and
    // those never count as set.
    if (width > GRID_WIDTH || height > GRID_HEIGHT) return false;
    // A cell is set exactly when none of its three bytes is zero, so a block of
    // cells is all set exactly when it holds no zero byte: memchr does the scan.
    if (width == GRID_WIDTH) {
        const std::uint32_t cells = static_cast<std::uint32_t>(GRID_WIDTH * height);
        std::uint32_t cell = first_zero_cell(std::size_t{first_unset} * sizeof(Pixel), sizeof image_grid);
        // Before saying full, look at the cells before the cursor too: the
        // grid may have been written by other hands than the growth rule's.
        if (cell >= cells) cell = first_zero_cell(0, std::size_t{cells} * sizeof(Pixel));
        if (cell >= cells) return true;
        first_unset = cell;
        return false;
    }
    const std::size_t row_bytes = static_cast<std::size_t>(width) * sizeof(Pixel);
    for (int y = 0; y < height; ++y)
        if (std::memchr(image_grid[y], 0, row_bytes) != nullptr) return false;
    return true;
}

}  // namespace grid_detail

void clear_grid() {
    std::memset(image_grid, 0, sizeof image_grid);
    std::memset(grid_detail::marks, 0, sizeof grid_detail::marks);
    grid_detail::first_unset = 0;
}
