#include "plain_growth.h"

#include <cstring>

#include "host.h"

namespace plain {
namespace {

constexpr int W = 400, H = 400, BATCH = 500, SPREAD = 55;

struct Cell {
    std::uint8_t c[3];
};
Cell grid[H][W];
std::uint64_t state;
std::int32_t completed, regions, spinner;

std::int32_t next(int bits) {
    state = (state * 0x5DEECE66DULL + 0xB) & ((1ULL << 48) - 1);
    return static_cast<std::int32_t>(state >> (48 - bits));
}

std::int32_t next_int_max(std::int32_t bound) {
    if ((bound & -bound) == bound)
        return static_cast<std::int32_t>((static_cast<std::int64_t>(bound) * next(31)) >> 31);
    std::int32_t r, v;
    do {
        r = next(31);
        v = r % bound;
    } while (static_cast<std::int64_t>(r) - v + (bound - 1) > INT32_MAX);
    return v;
}

Cell* get(std::int32_t x, std::int32_t y) { return x < 0 || y < 0 || x >= W || y >= H ? nullptr : &grid[y][x]; }
Cell* if_set(Cell* p) { return p != nullptr && p->c[0] && p->c[1] && p->c[2] ? p : nullptr; }

bool full() {
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            if (if_set(get(x, y)) == nullptr) return false;
    return true;
}

Cell* find_neighbor(std::int32_t x, std::int32_t y) {
    static const int dx[8] = {1, 1, 1, 0, -1, -1, -1, 0}, dy[8] = {-1, 0, 1, 1, 1, 0, -1, -1};
    const std::int32_t start = next_int_max(8);
    for (int i = 0; i < 8; ++i)
        if (Cell* n = if_set(get(x + dx[(start + i) & 7], y + dy[(start + i) & 7]))) return n;
    return nullptr;
}

Cell* color(Cell* p, const Cell* n) {
    if (if_set(p) != nullptr) return nullptr;
    for (int c = 0; c < 3; ++c) {
        if (p->c[c] != 0) continue;
        if (n != nullptr) {
            int v = next_int_max(SPREAD + 1) + n->c[c] - SPREAD;
            p->c[c] = static_cast<std::uint8_t>(v < 0 ? 1 : v);
        } else {
            p->c[c] = static_cast<std::uint8_t>(next_int_max(255));
        }
    }
    return if_set(p);
}

void grow_batch() {
    for (int i = 0; i < BATCH; ++i) {
        if (full()) return;
        if (i % 100 == 0) {
            print_text("\rlocii: %d  prog: %d%%   %c      ", regions, completed * 100 / (W * H), "\\|/-"[spinner]);
            spinner = (spinner + 1) % 4;
        }
        std::int32_t x, y;
        do {
            x = next_int_max(W);
            y = next_int_max(H);
        } while (if_set(get(x, y)) != nullptr);
        const Cell* n = find_neighbor(x, y);
        if (color(get(x, y), n) != nullptr) {
            ++completed;
            if (n == nullptr) ++regions;
        }
    }
}

}  // namespace

void set_seed(std::int64_t seed) { state = (static_cast<std::uint64_t>(seed) ^ 0x5DEECE66DULL) & ((1ULL << 48) - 1); }

int grow_picture(bool paced) {
    std::memset(grid, 0, sizeof grid);
    completed = regions = 0;
    int batches = 0;
    while (!full()) {
        grow_batch();
        ++batches;
        if (paced) sleep_ms(5);
    }
    return batches;
}

const std::uint8_t* grid_bytes() { return &grid[0][0].c[0]; }

std::int32_t locii() { return regions; }

}  // namespace plain
