#include "grid.h"

#include <cstring>

ImageGrid image_grid;
std::int32_t completed_count = 0;
std::int32_t locii = 0;

bool image_full(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return true;
    // An extent reaching past the grid takes in cells that do not exist, and
    // those never count as set.
    if (width > GRID_WIDTH || height > GRID_HEIGHT) return false;
    // A cell is set exactly when none of its three bytes is zero, so a block of
    // cells is all set exactly when it holds no zero byte: memchr does the scan.
    const std::size_t row_bytes = static_cast<std::size_t>(width) * sizeof(Pixel);
    if (width == GRID_WIDTH)
        return std::memchr(image_grid, 0, row_bytes * static_cast<std::size_t>(height)) == nullptr;
    for (int y = 0; y < height; ++y)
        if (std::memchr(image_grid[y], 0, row_bytes) != nullptr) return false;
    return true;
}

void clear_grid() {
    std::memset(image_grid, 0, sizeof image_grid);
}
