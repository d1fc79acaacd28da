#include <algorithm>
#include <cstdint>

#include "terminal_picture.h"

namespace {

constexpr std::size_t HEADER_SIZE = 54;
constexpr int LARGEST_SIDE = 1 << 14;  // a larger file is not a picture of ours; refused before allocating

std::uint32_t u32(const unsigned char* p) {
    return p[0] | static_cast<std::uint32_t>(p[1]) << 8 | static_cast<std::uint32_t>(p[2]) << 16 |
           static_cast<std::uint32_t>(p[3]) << 24;
}
int u16(const unsigned char* p) { return p[0] | p[1] << 8; }

// How the source pixels along one axis make up each target pixel, in units
// of 1 / `to` of a source pixel: source pixel i spans [i · to, (i + 1) · to),
// target pixel x spans [x · from, (x + 1) · from), and each source pixel
// weighs as much as the two overlap. Every target pixel's weights add up to
// `from`. Exact in integers: no pixel gains or loses a share by rounding.
struct Axis {
    std::vector<int> first;    // each target pixel's first source pixel
    std::vector<int> begin;    // where its weights start in `weights`, and one past the last target's
    std::vector<int> weights;  // the weights of its source pixels, first to last
};

Axis axis(int from, int to) {
    Axis a;
    a.first.reserve(static_cast<std::size_t>(to));
    a.begin.reserve(static_cast<std::size_t>(to) + 1);
    for (std::int64_t x = 0; x < to; ++x) {
        const std::int64_t start = x * from, end = start + from;
        a.first.push_back(static_cast<int>(start / to));
        a.begin.push_back(static_cast<int>(a.weights.size()));
        for (std::int64_t i = start / to; i * to < end; ++i)
            a.weights.push_back(static_cast<int>(std::min(end, (i + 1) * to) - std::max(start, i * to)));
    }
    a.begin.push_back(static_cast<int>(a.weights.size()));
    return a;
}

}  // namespace

bool read_bmp(const unsigned char* data, std::size_t size, RgbPicture* out) {
    if (data == nullptr || size < HEADER_SIZE || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t offset = u32(data + 10);
    const std::int32_t width = static_cast<std::int32_t>(u32(data + 18));
    const std::int32_t height =
        static_cast<std::int32_t>(u32(data + 22));  // rows bottom-up, as the program writes them
    if (u32(data + 14) < 40 || u16(data + 26) != 1 || u16(data + 28) != 24 || u32(data + 30) != 0) return false;
    if (width <= 0 || width > LARGEST_SIDE || height <= 0 || height > LARGEST_SIDE) return false;
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
    if (offset < HEADER_SIZE || offset > size || (size - offset) / stride < static_cast<std::size_t>(height))
        return false;

    out->width = width;
    out->height = height;
    out->bytes.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    unsigned char* to = out->bytes.data();
    for (int y = 0; y < out->height; ++y) {
        const unsigned char* from = data + offset + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x, from += 3, to += 3) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
        }
    }
    return true;
}

RgbPicture scale_area(const RgbPicture& picture, int width, int height) {
    RgbPicture scaled;
    if (width <= 0 || height <= 0 || picture.width <= 0 || picture.height <= 0) return scaled;
    scaled.width = width;
    scaled.height = height;
    scaled.bytes.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
    const Axis xs = axis(picture.width, width), ys = axis(picture.height, height);
    const std::size_t row_size = static_cast<std::size_t>(width) * 3;
    // A source row scaled across, each value at most picture.width · 255
    // (under 2^22); the rows of one target row summed by their weights, at
    // most picture.width · picture.height · 255 (under 2^36).
    std::vector<std::uint32_t> across(row_size);
    std::vector<std::uint64_t> sum(row_size);
    int across_row = -1;  // the source row in `across`: a row shared by two target rows is scaled once
    const std::uint64_t total = static_cast<std::uint64_t>(picture.width) * static_cast<std::uint64_t>(picture.height);
    unsigned char* to = scaled.bytes.data();
    for (std::size_t y = 0; y < static_cast<std::size_t>(height); ++y) {
        std::fill(sum.begin(), sum.end(), 0);
        for (int k = ys.begin[y]; k < ys.begin[y + 1]; ++k) {
            const int sy = ys.first[y] + k - ys.begin[y];
            if (sy != across_row) {
                const unsigned char* row =
                    &picture.bytes[static_cast<std::size_t>(sy) * static_cast<std::size_t>(picture.width) * 3];
                for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
                    std::uint32_t r = 0, g = 0, b = 0;
                    const unsigned char* from = row + static_cast<std::size_t>(xs.first[x]) * 3;
                    for (int j = xs.begin[x]; j < xs.begin[x + 1]; ++j, from += 3) {
                        const auto w = static_cast<std::uint32_t>(xs.weights[static_cast<std::size_t>(j)]);
                        r += w * from[0], g += w * from[1], b += w * from[2];
                    }
                    across[3 * x] = r, across[3 * x + 1] = g, across[3 * x + 2] = b;
                }
                across_row = sy;
            }
            const auto w = static_cast<std::uint64_t>(ys.weights[static_cast<std::size_t>(k)]);
            for (std::size_t i = 0; i < row_size; ++i) sum[i] += w * across[i];
        }
        for (std::size_t i = 0; i < row_size; ++i) to[i] = static_cast<unsigned char>((sum[i] + total / 2) / total);
        to += row_size;
    }
    return scaled;
}
