// A picture in a terminal's palette. Its pictures are regions of one tint
// darkening as they grow; the nearest palette colour alone turns those tints
// into flat greys and bands, so each pixel's error is handed on to its
// neighbours not yet chosen, and an area keeps its average colour.
#include <algorithm>
#include <climits>

#include "terminal_picture.h"

namespace {

// The sixteen as xterm shows them unless told otherwise (most terminals' own
// are near them), and as the Linux console does: the VGA colours.
constexpr unsigned char XTERM_SIXTEEN[16][3] = {
    {0, 0, 0},     {205, 0, 0},     {0, 205, 0},     {205, 205, 0},   {0, 0, 238}, {205, 0, 205},
    {0, 205, 205}, {229, 229, 229}, {127, 127, 127}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
    {92, 92, 255}, {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};
constexpr unsigned char VGA_SIXTEEN[16][3] = {
    {0, 0, 0},     {170, 0, 0},     {0, 170, 0},    {170, 85, 0},    {0, 0, 170},   {170, 0, 170},
    {0, 170, 170}, {170, 170, 170}, {85, 85, 85},   {255, 85, 85},   {85, 255, 85}, {255, 255, 85},
    {85, 85, 255}, {255, 85, 255},  {85, 255, 255}, {255, 255, 255},
};
constexpr int CUBE[6] = {0, 95, 135, 175, 215, 255};

// How far apart two colours are. A distance weighted for the eye (by the
// red level) was tried: the areas came out no closer in CIELAB, so the
// plain one stays.
int distance2(const int* a, const unsigned char* b) {
    const int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
    return dr * dr + dg * dg + db * db;
}

// The indices a pixel may take. The first sixteen are left out of the
// 256-colour way: each terminal has its own, the rest are the same everywhere.
struct Choice {
    int first, end;
};
Choice choice_for(PictureWay way, bool foreground) {
    if (way == PictureWay::HALF_BLOCKS_256) return {16, 256};
    if (way == PictureWay::HALF_BLOCKS_16 || (way == PictureWay::HALF_BLOCKS_LINUX && foreground)) return {0, 16};
    return {0, 8};
}

}  // namespace

void palette_color(PictureWay way, int index, unsigned char rgb[3]) {
    if (index < 16) {
        const auto& sixteen = way == PictureWay::HALF_BLOCKS_LINUX ? VGA_SIXTEEN : XTERM_SIXTEEN;
        std::copy(sixteen[index], sixteen[index] + 3, rgb);
    } else if (index < 232) {
        rgb[0] = static_cast<unsigned char>(CUBE[(index - 16) / 36]);
        rgb[1] = static_cast<unsigned char>(CUBE[(index - 16) / 6 % 6]);
        rgb[2] = static_cast<unsigned char>(CUBE[(index - 16) % 6]);
    } else {
        rgb[0] = rgb[1] = rgb[2] = static_cast<unsigned char>(8 + 10 * (index - 232));
    }
}

std::vector<unsigned char> palette_indices(const RgbPicture& picture, PictureWay way, bool unicode) {
    unsigned char palette[256][3];
    for (int i = 0; i < 256; ++i) palette_color(way, i, palette[i]);
    const std::size_t w = static_cast<std::size_t>(picture.width);
    std::vector<unsigned char> indices(w * static_cast<std::size_t>(picture.height));
    // Floyd and Steinberg's shares, in sixteenths: 7 to the right, 3, 5 and 1
    // to the row below. A pixel of room on each side keeps the edges plain.
    std::vector<int> here((w + 2) * 3), below((w + 2) * 3);
    for (int y = 0; y < picture.height; ++y) {
        const Choice choice = choice_for(way, unicode && y % 2 == 0);
        for (std::size_t x = 0; x < w; ++x) {
            const std::size_t at = static_cast<std::size_t>(y) * w + x;
            int want[3];
            for (std::size_t c = 0; c < 3; ++c)
                want[c] = std::clamp(picture.bytes[at * 3 + c] + here[(x + 1) * 3 + c] / 16, 0, 255);
            int best = choice.first, best_distance = INT_MAX;
            for (int i = choice.first; i < choice.end; ++i) {
                const int d = distance2(want, palette[i]);
                if (d < best_distance) best = i, best_distance = d;
            }
            indices[at] = static_cast<unsigned char>(best);
            for (std::size_t c = 0; c < 3; ++c) {
                const int error = want[c] - palette[best][c];
                here[(x + 2) * 3 + c] += 7 * error;
                below[x * 3 + c] += 3 * error;
                below[(x + 1) * 3 + c] += 5 * error;
                below[(x + 2) * 3 + c] += error;
            }
        }
        std::swap(here, below);
        std::fill(below.begin(), below.end(), 0);
    }
    return indices;
}
