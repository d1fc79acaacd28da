// The text preview: the picture's top-left corner, one character per pixel,
// whose code is the pixel's average brightness.
#pragma once

#include <cstdint>

#include "grid.h"

constexpr int PREVIEW_COLUMNS = 80;
constexpr int PREVIEW_ROWS = 50;

// The character code of a pixel: its average brightness, with 7..10 and 13
// (bell, backspace, tab, line feed, carriage return) moved up past them, so
// that a pixel never moves the cursor.
int pixel_char_code(Pixel pixel);

// One pixel as one character, of pixel_char_code.
void print_pixel_char(Pixel pixel);

// The cells with x < min(width, 80) and y < min(height, 50), a line feed after
// each row and one more at the end.
void show_progress(std::int32_t width, std::int32_t height);
