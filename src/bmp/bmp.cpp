#include "bmp.h"

#include <cinttypes>
#include <cstdio>

#include "grid.h"
#include "host.h"

namespace {

constexpr int FILE_HEADER_SIZE = 14;
constexpr int INFO_HEADER_SIZE = 40;
constexpr int HEADER_SIZE = FILE_HEADER_SIZE + INFO_HEADER_SIZE;
constexpr int BITS_PER_PIXEL = 24;
constexpr std::size_t MAX_FILE_SIZE = HEADER_SIZE + sizeof(ImageGrid);

// The whole file is laid out here, then handed to the host to save in one go;
// `saved_size` says how much of it is the file last saved.
unsigned char file_bytes[MAX_FILE_SIZE];
std::size_t saved_size = 0;

// The line that tells the picture is saved, printed between line ends, with
// the width, the height and the file's name; formatted once, kept for the
// terminal, which must leave it on the screen above the picture.
constexpr char SAVED_LINE[] = "Successfully wrote %dx%d image: %s.";
char saved_line[sizeof SAVED_LINE + std::size_t{2} * 11 + BMP_NAME_SIZE];  // two numbers and the name

void put16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void put32(unsigned char* at, std::uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

}  // namespace

std::size_t bmp_file_bytes(std::int32_t width, std::int32_t height, unsigned char* out) {
    if (width < 0 || height < 0 || width > GRID_WIDTH || height > GRID_HEIGHT) return 0;
    // Each row is padded to a multiple of four bytes, as readers require; a
    // 400-pixel row is 1,200 bytes and needs none.
    const std::uint32_t row_size = (static_cast<std::uint32_t>(width) * 3 + 3) & ~3u;
    const std::uint32_t data_size = row_size * static_cast<std::uint32_t>(height);
    unsigned char* h = out;
    for (int i = 0; i < HEADER_SIZE; ++i) h[i] = 0;
    h[0] = 'B';
    h[1] = 'M';
    put32(h + 2, data_size + HEADER_SIZE);
    put32(h + 10, HEADER_SIZE);  // where the pixels start; bytes 6..9 are reserved zeros
    put32(h + 14, INFO_HEADER_SIZE);
    put32(h + 18, static_cast<std::uint32_t>(width));
    put32(h + 22, static_cast<std::uint32_t>(height));  // positive: rows stored bottom-up
    put16(h + 26, 1);                                   // planes
    put16(h + 28, BITS_PER_PIXEL);
    put32(h + 34, data_size);  // compression (30..33), resolutions and colour counts stay 0

    // Rows from the bottom of the picture up, each pixel blue, green, red.
    unsigned char* p = out + HEADER_SIZE;
    for (std::int32_t y = height - 1; y >= 0; --y) {
        unsigned char* row = p;
        for (std::int32_t x = 0; x < width; ++x) {
            const Pixel* cell = get_pixel(x, y);
            *p++ = cell->channel[2];
            *p++ = cell->channel[1];
            *p++ = cell->channel[0];
        }
        while (p < row + row_size) *p++ = 0;
    }
    return HEADER_SIZE + data_size;
}

int write_image(std::int32_t width, std::int32_t height, char* name_out) {
    (void)std::snprintf(name_out, BMP_NAME_SIZE, "randImage%" PRId64 ".bmp", wall_time_seconds());
    const std::size_t size = bmp_file_bytes(width, height, file_bytes);
    // Saved all or nothing: no reader ever sees half a file, and a failure or
    // an interruption leaves no file behind. A file of that name (a picture
    // of the same second) is never replaced: this one takes the next free name.
    const char* reason = "the picture does not fit in the grid";
    saved_size = 0;
    saved_line[0] = '\0';
    const SaveResult result =
        size == 0 ? SaveResult::WRITE_FAILED : save_file(name_out, BMP_NAME_SIZE, file_bytes, size, &reason);
    if (result == SaveResult::SAVED) {
        saved_size = size;
        (void)std::snprintf(saved_line, sizeof saved_line, SAVED_LINE, width, height, name_out);
        print_text("\n");
        print_text("%s", saved_line);
        print_text("\n");
        return 1;
    }
    print_text(result == SaveResult::OPEN_FAILED ? "ERROR: Could not open/create BMP file in write_image()!\n\n"
                                                 : "ERROR: Could not write BMP file in write_image()!\n\n");
    print_error("%s: %s", name_out, reason);  // why, as the error stream of any other program says it
    return 0;
}

const unsigned char* saved_image(std::size_t* size, const char** line) {
    *size = saved_size;
    if (line != nullptr) *line = saved_line;
    return file_bytes;
}
