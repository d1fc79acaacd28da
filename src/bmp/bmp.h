// Saves the picture as an uncompressed 24-bit BMP file named after the time.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int BMP_NAME_SIZE = 261;  // room for the file name, with its terminating zero

// Lays out the BMP file of the grid cells with x < width and y < height in
// `out` (room for 54 + 400 x 400 x 3 bytes) and returns its size: the headers,
// then the rows from the bottom up, each pixel blue, green, red, each row
// padded with zeros to a multiple of four bytes. 0 for an extent outside the
// grid.
std::size_t bmp_file_bytes(std::int32_t width, std::int32_t height, unsigned char* out);

// Writes the grid cells with x < width and y < height to "randImage<seconds>.bmp"
// in the working directory, or where a file has that name (a picture of the
// same second) to "randImage<seconds>-2.bmp" and so on, never replacing one,
// and reports the outcome on standard output. The name goes into name_out
// (BMP_NAME_SIZE bytes) before anything is written, and the name written
// once the file is saved, or the name a failure is about (see save_file).
// Returns 1 when the file is on the disk, 0 when it could not be written:
// then no file was created or changed.
int write_image(std::int32_t width, std::int32_t height, char* name_out);

// The bytes of the file write_image last saved, as they went to the disk;
// `*size` 0 when it saved none. `line`, when given, gets the line that
// write_image printed for it, without its line ends ("" when none), for the
// terminal to keep on the screen.
const unsigned char* saved_image(std::size_t* size, const char** line = nullptr);
