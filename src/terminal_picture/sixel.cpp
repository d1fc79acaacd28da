// Sixel: at most 256 colour registers, portable across terminals, so the
// palette is chosen for each picture by median cut: the picture's colours are
// split again and again at the median of their widest channel, and each part
// becomes one register holding its mean. Every pixel takes its part's register.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "terminal_picture.h"

namespace {

constexpr int REGISTERS = 256;

struct Part {
    std::size_t begin, end;  // into the order of pixels
    int channel;             // the widest
    int range;               // its width; 0 when the part is one colour
};

Part measure(const std::vector<std::uint32_t>& order, const unsigned char* rgb, std::size_t begin, std::size_t end) {
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    for (std::size_t i = begin; i < end; ++i) {
        const unsigned char* p = rgb + 3 * static_cast<std::size_t>(order[i]);
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min<int>(low[c], p[c]);
            high[c] = std::max<int>(high[c], p[c]);
        }
    }
    Part part{begin, end, 0, -1};
    for (int c = 0; c < 3; ++c)
        if (high[c] - low[c] > part.range) part = {begin, end, c, high[c] - low[c]};
    return part;
}

// The register of each pixel, and the registers' colours.
void choose_palette(const RgbPicture& picture, std::vector<unsigned char>* index,
                    std::vector<std::array<int, 3>>* palette) {
    const std::size_t count = static_cast<std::size_t>(picture.width) * static_cast<std::size_t>(picture.height);
    const unsigned char* rgb = picture.bytes.data();
    std::vector<std::uint32_t> order(count);
    for (std::size_t i = 0; i < count; ++i) order[i] = static_cast<std::uint32_t>(i);

    std::vector<Part> parts{measure(order, rgb, 0, count)};
    while (parts.size() < REGISTERS) {
        // The part to split: the one whose widest channel spans most, weighed
        // by its pixels (which gave the smallest error on grown pictures).
        auto widest = std::max_element(parts.begin(), parts.end(), [](const Part& a, const Part& b) {
            return a.range * static_cast<double>(a.end - a.begin) < b.range * static_cast<double>(b.end - b.begin);
        });
        if (widest->range <= 0) break;
        const Part part = *widest;
        const std::size_t middle = part.begin + (part.end - part.begin) / 2;
        std::nth_element(order.begin() + static_cast<std::ptrdiff_t>(part.begin),
                         order.begin() + static_cast<std::ptrdiff_t>(middle),
                         order.begin() + static_cast<std::ptrdiff_t>(part.end), [&](std::uint32_t a, std::uint32_t b) {
                             return rgb[3 * static_cast<std::size_t>(a) + static_cast<std::size_t>(part.channel)] <
                                    rgb[3 * static_cast<std::size_t>(b) + static_cast<std::size_t>(part.channel)];
                         });
        *widest = measure(order, rgb, part.begin, middle);
        parts.push_back(measure(order, rgb, middle, part.end));
    }

    index->assign(count, 0);
    palette->clear();
    for (const Part& part : parts) {
        std::uint64_t sum[3] = {0, 0, 0};
        for (std::size_t i = part.begin; i < part.end; ++i) {
            const unsigned char* p = rgb + 3 * static_cast<std::size_t>(order[i]);
            for (int c = 0; c < 3; ++c) sum[c] += p[c];
            (*index)[order[i]] = static_cast<unsigned char>(palette->size());
        }
        const std::uint64_t n = part.end - part.begin;
        std::array<int, 3> mean{};
        for (int c = 0; c < 3; ++c) mean[static_cast<std::size_t>(c)] = n ? static_cast<int>((sum[c] + n / 2) / n) : 0;
        palette->push_back(mean);
    }
}

// A run of one sixel character; "!n" repeats it where that is shorter.
void append_run(std::string* out, char sixel, int length) {
    if (length > 3) {
        *out += '!';
        *out += std::to_string(length);
        *out += sixel;
    } else {
        out->append(static_cast<std::size_t>(length), sixel);
    }
}

}  // namespace

std::string encode_sixel(const RgbPicture& picture) {
    const int w = picture.width, h = picture.height;
    if (w <= 0 || h <= 0) return {};
    std::vector<unsigned char> index;
    std::vector<std::array<int, 3>> palette;
    choose_palette(picture, &index, &palette);

    // Raster attributes: square pixels, and the size, so that the terminal
    // clears exactly the picture's area.
    std::string out("\x1bPq\"1;1;");
    out += std::to_string(w);
    out += ';';
    out += std::to_string(h);
    for (std::size_t r = 0; r < palette.size(); ++r) {
        out += '#';
        out += std::to_string(r);
        out += ";2";
        for (int c : palette[r]) {  // in percent
            out += ';';
            out += std::to_string((c * 100 + 127) / 255);
        }
    }

    // Six rows a band; within a band each register present draws its pixels
    // across the width, then "$" returns for the next one.
    std::vector<unsigned char> bits(palette.size() * static_cast<std::size_t>(w));
    std::vector<int> last_x(palette.size());
    std::vector<int> present;
    std::vector<char> in_band(palette.size());
    for (int top = 0; top < h; top += 6) {
        present.clear();
        for (int dy = 0; dy < 6 && top + dy < h; ++dy) {
            const unsigned char* row = &index[static_cast<std::size_t>(top + dy) * static_cast<std::size_t>(w)];
            for (int x = 0; x < w; ++x) {
                const int r = row[x];
                unsigned char& b =
                    bits[static_cast<std::size_t>(r) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
                if (!in_band[static_cast<std::size_t>(r)]) {
                    in_band[static_cast<std::size_t>(r)] = 1;
                    present.push_back(r);
                }
                b = static_cast<unsigned char>(b | 1 << dy);
                last_x[static_cast<std::size_t>(r)] = std::max(last_x[static_cast<std::size_t>(r)], x);
            }
        }
        for (std::size_t k = 0; k < present.size(); ++k) {
            const int r = present[k];
            unsigned char* line = &bits[static_cast<std::size_t>(r) * static_cast<std::size_t>(w)];
            if (k > 0) out += '$';
            out += '#';
            out += std::to_string(r);
            const int end = last_x[static_cast<std::size_t>(r)] + 1;  // nothing to draw after its last pixel
            for (int x = 0; x < end;) {
                int run = 1;
                while (x + run < end && line[x + run] == line[x]) ++run;
                append_run(&out, static_cast<char>('?' + line[x]), run);
                x += run;
            }
            std::fill(line, line + end, 0);
            last_x[static_cast<std::size_t>(r)] = 0;
            in_band[static_cast<std::size_t>(r)] = 0;
        }
        if (top + 6 < h) out += '-';
    }
    out.append("\x1b\\");
    return out;
}
