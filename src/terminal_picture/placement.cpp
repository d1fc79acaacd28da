// Where the picture goes on the screen, and how many rows the text around it takes.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "terminal_picture.h"

namespace {

// A terminal that does not say its size is taken as the classic 80 × 24.
int columns_or_default(TerminalSize size) { return size.columns > 0 ? size.columns : 80; }
int rows_or_default(TerminalSize size) { return size.rows > 0 ? size.rows : 24; }

// No sane cell is larger: a graphics area that would need larger cells is
// the most the terminal could draw (Konsole answers 16384 × 16384), not its
// window.
constexpr int LARGEST_CELL_PX = 64;

bool area_fits(int width, int height, TerminalSize size) {
    return width > 0 && height > 0 && width <= LARGEST_CELL_PX * columns_or_default(size) &&
           height <= LARGEST_CELL_PX * rows_or_default(size);
}

// A cell's height over its width where the pixel size says it; a shape no
// font has is a pixel size that means something else.
constexpr double TALL_CELL = 2.0;  // where nothing says: two square half blocks
double cell_shape(TerminalSize size, int columns, int rows) {
    if (size.width_px < columns || size.height_px < rows) return TALL_CELL;
    const double shape = (static_cast<double>(size.height_px) / rows) / (static_cast<double>(size.width_px) / columns);
    return shape >= 1.0 && shape <= 4.0 ? shape : TALL_CELL;
}

}  // namespace

TerminalSize with_answered_pixels(TerminalSize size, const Answers& answers) {
    if (size.width_px > 0 && size.height_px > 0) return size;
    if (answers.cell_width > 0 && size.columns > 0 && size.rows > 0) {
        // No larger than a window size can say: an answer is any number.
        size.width_px =
            static_cast<int>(std::min<std::int64_t>(std::int64_t{answers.cell_width} * size.columns, 65535));
        size.height_px = static_cast<int>(std::min<std::int64_t>(std::int64_t{answers.cell_height} * size.rows, 65535));
    } else if (area_fits(answers.text_width, answers.text_height, size)) {
        size.width_px = answers.text_width;
        size.height_px = answers.text_height;
    } else if (area_fits(answers.graphics_width, answers.graphics_height, size)) {
        size.width_px = answers.graphics_width;
        size.height_px = answers.graphics_height;
    }
    return size;
}

Placement place_picture(PictureWay way, int picture_side, TerminalSize size, int reserved_rows) {
    // One that does not say its cells' pixels is taken as 8 × 16 (only the
    // ways that count in cells are chosen then).
    const int columns = columns_or_default(size);
    const int rows = rows_or_default(size);
    const int free_rows = rows - reserved_rows;
    if (columns < 2 || free_rows < 2 || picture_side <= 0) return {};
    Placement p;
    if (is_half_blocks(way)) {
        // The rows first: as many as fit, as the columns allow a square of
        // them, and no more half rows than the picture has pixels; then the
        // columns as wide as those rows are high.
        const double shape = cell_shape(size, columns, rows);
        const int most_rows = std::min(
            {free_rows, picture_side / 2, static_cast<int>(columns / shape), static_cast<int>(picture_side / shape)});
        p.rows = std::max(1, most_rows);
        p.columns = std::clamp(static_cast<int>(std::lround(p.rows * shape)), 1, std::min(columns, picture_side));
        return p;
    }
    int cell_w = 8, cell_h = 16;
    if (size.width_px >= columns && size.height_px >= rows) {
        cell_w = size.width_px / columns;
        cell_h = size.height_px / rows;
    }
    const int side = std::min({picture_side, columns * cell_w, free_rows * cell_h});
    p.columns = std::max(1, side / cell_w);
    p.rows = std::max(1, side / cell_h);
    p.side_px = side;
    return p;
}

int rows_of_text(const char* text, TerminalSize size) {
    const int columns = columns_or_default(size);
    int rows = 0, width = 0;
    for (const char* c = text;; ++c) {
        if (*c == '\n' || *c == '\0') {
            rows += width == 0 ? 1 : (width + columns - 1) / columns;
            width = 0;
            if (*c == '\0') return rows;
        } else if ((static_cast<unsigned char>(*c) & 0xC0) != 0x80) {  // a character's first byte: a cell
            ++width;
        }
    }
}
