#include "preview.h"

#include "host.h"

int pixel_char_code(Pixel pixel) {
    int code = (pixel.channel[0] + pixel.channel[1] + pixel.channel[2]) / 3;
    while ((code >= 7 && code <= 10) || code == 13) ++code;
    return code;
}

void print_pixel_char(Pixel pixel) { put_char(pixel_char_code(pixel)); }

void show_progress(std::int32_t width, std::int32_t height) {
    for (std::int32_t y = 0; y < height && y < PREVIEW_ROWS; ++y) {
        for (std::int32_t x = 0; x < width && x < PREVIEW_COLUMNS; ++x) print_pixel_char(*get_pixel(x, y));
        put_char('\n');
    }
    put_char('\n');
}
