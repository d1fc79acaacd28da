#include "bmp.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "grid.h"
#include "host.h"

namespace {

constexpr int FILE_HEADER_SIZE = 14;
constexpr int INFO_HEADER_SIZE = 40;
constexpr int HEADER_SIZE = FILE_HEADER_SIZE + INFO_HEADER_SIZE;
constexpr int BITS_PER_PIXEL = 24;
constexpr int TEMP_ATTEMPTS = 100;

void put16(unsigned char* at, std::uint32_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void put32(unsigned char* at, std::uint32_t value) {
    put16(at, value & 0xFFFF);
    put16(at + 2, value >> 16);
}

bool write_header(std::FILE* file, std::int32_t width, std::int32_t height) {
    const std::uint32_t data_size = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(height) * 3;
    unsigned char h[HEADER_SIZE] = {};
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
    return std::fwrite(h, 1, sizeof h, file) == sizeof h;
}

// Rows from the bottom of the picture up, each pixel blue, green, red. A
// 400-pixel row is 1,200 bytes, already the multiple of four the format asks for.
bool write_pixels(std::FILE* file, std::int32_t width, std::int32_t height) {
    unsigned char row[GRID_WIDTH * 3];
    for (std::int32_t y = height - 1; y >= 0; --y) {
        for (std::int32_t x0 = 0; x0 < width; x0 += GRID_WIDTH) {  // one pass for the grid's own width
            const std::int32_t count = width - x0 < GRID_WIDTH ? width - x0 : GRID_WIDTH;
            for (std::int32_t i = 0; i < count; ++i) {
                const Pixel* p = get_pixel(x0 + i, y);
                for (int c = 0; c < 3; ++c) row[3 * i + c] = p != nullptr ? p->channel[2 - c] : 0;
            }
            const std::size_t bytes = static_cast<std::size_t>(count) * 3;
            if (std::fwrite(row, 1, bytes, file) != bytes) return false;
        }
    }
    return true;
}

// Creates a new file beside the final one, never one that exists already
// (not even a link), so nothing else is touched while the picture is written.
std::FILE* create_temporary(const char* name, char* temp, std::size_t temp_size) {
    for (int attempt = 0; attempt < TEMP_ATTEMPTS; ++attempt) {
        std::snprintf(temp, temp_size, "%s.%d.tmp", name, attempt);
        std::FILE* file = std::fopen(temp, "wbx");
        if (file != nullptr || errno != EEXIST) return file;
    }
    return nullptr;
}

}  // namespace

int write_image(std::int32_t width, std::int32_t height, char* name_out) {
    std::snprintf(name_out, BMP_NAME_SIZE, "randImage%" PRId64 ".bmp", wall_time_seconds());

    // The picture is written whole under a temporary name and then renamed
    // over the final one, so no reader ever sees half a file, an interrupted
    // run leaves nothing under the final name, and a link there is replaced
    // rather than followed.
    char temp[BMP_NAME_SIZE + 16];
    std::FILE* file = create_temporary(name_out, temp, sizeof temp);
    if (file == nullptr) {
        print_text("ERROR: Could not open/create BMP file in write_image()!\n\n");
        return 0;
    }
    bool ok = write_header(file, width, height) && write_pixels(file, width, height);
    ok = std::fclose(file) == 0 && ok;  // the last buffered bytes are written here
    ok = ok && std::rename(temp, name_out) == 0;
    if (!ok) {
        std::remove(temp);
        print_text("ERROR: Could not write BMP file in write_image()!\n\n");
        return 0;
    }
    print_text("\nSuccessfully wrote %dx%d image: %s.\n", width, height, name_out);
    return 1;
}
