// Saves the picture as an uncompressed 24-bit BMP file named after the time.
#pragma once

#include <cstdint>

constexpr int BMP_NAME_SIZE = 261;  // room for the file name, with its terminating zero

// Writes the grid cells with x < width and y < height to "randImage<seconds>.bmp"
// in the working directory and reports the outcome on standard output. The name
// goes into name_out (BMP_NAME_SIZE bytes) before anything is written. Returns
// 1 when the file was written, 0 when it could not be: then no file of that
// name was created or changed.
int write_image(std::int32_t width, std::int32_t height, char* name_out);
