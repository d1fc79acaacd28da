#include "growth.h"

#include "host.h"
#include "random.h"

namespace {

constexpr std::int32_t DX[8] = {1, 1, 1, 0, -1, -1, -1, 0};
constexpr std::int32_t DY[8] = {-1, 0, 1, 1, 1, 0, -1, -1};

constexpr char SPINNER[] = "\\|/-";
constexpr int SPINNER_LENGTH = sizeof SPINNER - 1;
int spinner_pos = 0;  // carries on from picture to picture

// The steps of the rule on the caller's copy of the generator state, which
// grow_batch keeps in a register for a whole batch.

[[gnu::always_inline]] inline Pixel* find_neighbor(std::uint64_t* state, std::int32_t x, std::int32_t y) {
    const std::int32_t start = nextIntMax(state, 8);
    for (std::int32_t i = 0; i < 8; ++i) {
        std::int32_t nx, ny;
        gen_neighbor_offset(x, y, &nx, &ny, start + i);
        if (Pixel* found = pixel_if_set(get_pixel(nx, ny))) return found;
    }
    return nullptr;
}

[[gnu::always_inline]] inline Pixel* color(std::uint64_t* state, Pixel* pixel, const Pixel* neighbor) {
    if (pixel == nullptr || pixel_if_set(pixel) != nullptr) return nullptr;
    for (int c = 0; c < 3; ++c) {
        std::uint8_t& channel = pixel->channel[c];
        if (channel != 0) continue;  // filled on an earlier visit; never redrawn
        if (neighbor != nullptr) {
            int value = nextIntMax(state, COLOR_SPREAD + 1) + neighbor->channel[c] - COLOR_SPREAD;
            if (value < 0) value = 1;  // exactly 0 stays 0: the channel waits for a later visit
            channel = static_cast<std::uint8_t>(value);
        } else {
            channel = static_cast<std::uint8_t>(nextIntMax(state, 255));
        }
    }
    return pixel_if_set(pixel);
}

// A cell for the next attempt: drawn again while the drawn cell is set (as
// its mark says). Inlined with the usual constant 400 x 400 extent, so that
// the bounded draws become multiplications and the bounds checks go.
[[gnu::always_inline]] inline void pick_target(std::uint64_t* state, std::int32_t width, std::int32_t height,
                                               std::int32_t* x, std::int32_t* y) {
    draw_pair_while(state, width, height, x, y, [](std::int32_t cx, std::int32_t cy) {
        return static_cast<std::uint32_t>(cx) < GRID_WIDTH && static_cast<std::uint32_t>(cy) < GRID_HEIGHT &&
               cell_marked(cx, cy);
    });
}

}  // namespace

void gen_neighbor_offset(std::int32_t x, std::int32_t y, std::int32_t* out_x, std::int32_t* out_y,
                         std::int32_t direction) {
    *out_x = x + DX[direction & 7];
    *out_y = y + DY[direction & 7];
}

Pixel* find_colored_neighbor(std::int32_t x, std::int32_t y) {
    std::uint64_t state = take_state();
    Pixel* found = find_neighbor(&state, x, y);
    put_state(state);
    return found;
}

Pixel* color_pixel(Pixel* pixel, const Pixel* neighbor) {
    std::uint64_t state = take_state();
    Pixel* result = color(&state, pixel, neighbor);
    put_state(state);
    return result;
}

void grow_batch(std::int32_t width, std::int32_t height) {
    std::uint64_t state = take_state();
    for (int i = 0; i < BATCH_ATTEMPTS && !image_full(width, height); ++i) {
        if (i % STATUS_EVERY == 0) print_status_line();
        std::int32_t x, y;
        if (width == GRID_WIDTH && height == GRID_HEIGHT)
            pick_target(&state, GRID_WIDTH, GRID_HEIGHT, &x, &y);
        else
            pick_target(&state, width, height, &x, &y);
        const Pixel* neighbor = find_neighbor(&state, x, y);
        if (color(&state, get_pixel(x, y), neighbor) != nullptr) {
            ++completed_count;
            mark_cell(x, y);
            if (neighbor == nullptr) ++locii;
        }
    }
    put_state(state);
}

void print_status_line() {
    const char c = SPINNER[spinner_pos];
    ++spinner_pos;
    print_text("\rlocii: %d  prog: %d%%   %c      ", locii, completed_count * 100 / GRID_CELLS, c);
    if (spinner_pos == SPINNER_LENGTH) spinner_pos = 0;
}
