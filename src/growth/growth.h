// The growth rule: visit pixels in random order; a pixel next to a set one
// takes that neighbour's colour made a little darker, a pixel with no set
// neighbour starts a new region (a locus) with a fresh random colour.
#pragma once

#include <cstdint>

#include "grid.h"

constexpr double COLOR_VARIATION = 0.217;
constexpr int COLOR_SPREAD = static_cast<int>(COLOR_VARIATION * 255);  // how much darker a child may be
static_assert(COLOR_SPREAD == 55);
constexpr int BATCH_ATTEMPTS = 500;
constexpr int STATUS_EVERY = 100;  // attempts between status lines

// The neighbour of (x, y) in direction (direction & 7): 0 is upper right, then
// clockwise. The result may lie one step outside the grid.
void gen_neighbor_offset(std::int32_t x, std::int32_t y, std::int32_t* out_x, std::int32_t* out_y,
                         std::int32_t direction);

// The first set neighbour, looking clockwise from a random direction; null when
// none of the eight is set.
Pixel* find_colored_neighbor(std::int32_t x, std::int32_t y);

// Fills the zero channels of `pixel` from `neighbor` (or freshly when null).
// Returns the pixel when it ends up set; null when it was set already or still
// has a zero channel.
Pixel* color_pixel(Pixel* pixel, const Pixel* neighbor);

// Up to BATCH_ATTEMPTS attempts, each colouring one randomly chosen unset cell,
// with a status line every STATUS_EVERY attempts. Stops early when full.
void grow_batch(std::int32_t width, std::int32_t height);

// "\rlocii: ..  prog: ..%   c      ", rewriting the current line in place.
void print_status_line();
