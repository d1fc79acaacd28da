// The growth rule written the plain, textbook way, for comparison only: one
// generator step per draw, the rejection loop with '%', and a cell-by-cell
// scan for a full grid before every attempt. It has its own grid and
// generator, and is not part of the program.
#pragma once

#include <cstdint>

namespace plain {

void set_seed(std::int64_t seed);

// Clears the grid and grows a whole picture, batch by batch, writing the
// status lines as the program does, and when `paced` pausing 5 ms after each
// batch as the program does. Returns the number of batches.
int grow_picture(bool paced = false);

// The grid, as the program's image_grid lays it out: 400 x 400 x 3 bytes.
const std::uint8_t* grid_bytes();

std::int32_t locii();

}  // namespace plain
