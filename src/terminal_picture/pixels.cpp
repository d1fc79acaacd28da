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

// The first source pixel of each target pixel along one axis, and one past
// the last: those whose centres fall in the target pixel's span, or the
// nearest one when the target is larger than the source.
std::vector<int> spans(int from, int to) {
    std::vector<int> first(static_cast<std::size_t>(to) + 1);
    const std::int64_t f = from, t = to;
    for (std::int64_t x = 0; x <= t; ++x) {
        // the smallest i with (2i + 1) · to >= 2 · x · from
        const std::int64_t need = 2 * x * f - t;
        first[static_cast<std::size_t>(x)] = need <= 0 ? 0 : static_cast<int>((need + 2 * t - 1) / (2 * t));
    }
    return first;
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
    const std::vector<int> xs = spans(picture.width, width), ys = spans(picture.height, height);
    unsigned char* to = scaled.bytes.data();
    for (int y = 0; y < height; ++y) {
        int y0 = ys[static_cast<std::size_t>(y)], y1 = ys[static_cast<std::size_t>(y) + 1];
        if (y1 <= y0) {  // no centre inside: the nearest row
            y0 = std::min(y0, picture.height - 1);
            y1 = y0 + 1;
        }
        for (int x = 0; x < width; ++x, to += 3) {
            int x0 = xs[static_cast<std::size_t>(x)], x1 = xs[static_cast<std::size_t>(x) + 1];
            if (x1 <= x0) {
                x0 = std::min(x0, picture.width - 1);
                x1 = x0 + 1;
            }
            // 64 bits: 2^28 pixels (a largest picture into one) of 255 would wrap 32.
            std::uint64_t sum[3] = {0, 0, 0};
            for (int sy = y0; sy < y1; ++sy) {
                const unsigned char* from =
                    &picture.bytes[(static_cast<std::size_t>(sy) * static_cast<std::size_t>(picture.width) +
                                    static_cast<std::size_t>(x0)) *
                                   3];
                for (int sx = x0; sx < x1; ++sx, from += 3) {
                    sum[0] += from[0];
                    sum[1] += from[1];
                    sum[2] += from[2];
                }
            }
            const std::uint64_t count = static_cast<std::uint64_t>(y1 - y0) * static_cast<std::uint64_t>(x1 - x0);
            for (int c = 0; c < 3; ++c) to[c] = static_cast<unsigned char>((sum[c] + count / 2) / count);
        }
    }
    return scaled;
}
