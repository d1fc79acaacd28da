#include "terminal_picture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bmp.h"
#include "common/key_decoder.h"
#include "grid.h"
#include "growth.h"
#include "random.h"

namespace {

// ---- what a terminal would make of the bytes

std::vector<unsigned char> from_base64(const std::string& text) {
    std::vector<unsigned char> out;
    unsigned value = 0;
    int bits = 0;
    for (char c : text) {
        const char* at = std::strchr("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", c);
        if (c == '=' || c == '\0' || at == nullptr) break;
        value =
            value << 6 | static_cast<unsigned>(at - "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>(value >> bits));
        }
    }
    return out;
}

// The keys of each kitty escape and the pixels of all of them together.
struct KittyImage {
    std::vector<std::map<std::string, std::string>> keys;
    std::vector<std::size_t> payload_sizes;
    std::vector<unsigned char> pixels;
    std::string after;  // what follows the last escape
};

KittyImage decode_kitty(const std::string& bytes) {
    KittyImage image;
    std::string base64;
    std::size_t at = 0;
    while (bytes.compare(at, 3, "\x1b_G") == 0) {
        const std::size_t semi = bytes.find(';', at), end = bytes.find("\x1b\\", at);
        std::map<std::string, std::string> keys;
        for (std::size_t k = at + 3; k < semi;) {
            const std::size_t comma = std::min(bytes.find(',', k), semi), eq = bytes.find('=', k);
            keys[bytes.substr(k, eq - k)] = bytes.substr(eq + 1, comma - eq - 1);
            k = comma + 1;
        }
        image.keys.push_back(keys);
        image.payload_sizes.push_back(end - semi - 1);
        base64 += bytes.substr(semi + 1, end - semi - 1);
        at = end + 2;
    }
    image.pixels = from_base64(base64);
    image.after = bytes.substr(at);
    return image;
}

int number_at(const std::string& s, std::size_t* at) {
    int n = 0;
    while (*at < s.size() && s[*at] >= '0' && s[*at] <= '9') n = n * 10 + (s[(*at)++] - '0');
    return n;
}

// A sixel image as a terminal draws it: -1 where nothing was drawn.
struct SixelImage {
    int width = 0, height = 0, registers = 0;
    std::vector<int> rgb;
};

SixelImage decode_sixel(const std::string& s) {
    SixelImage image;
    std::map<int, std::vector<int>> palette;
    std::size_t at = s.find('q') + 1;
    EXPECT_EQ(s[at++], '"');
    number_at(s, &at), ++at, number_at(s, &at), ++at;  // pixel aspect 1:1
    image.width = number_at(s, &at), ++at;
    image.height = number_at(s, &at);
    image.rgb.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3, -1);
    int x = 0, band = 0, color = 0;
    while (at < s.size() && s[at] != '\x1b') {
        const char c = s[at++];
        int repeat = 1;
        if (c == '#') {
            color = number_at(s, &at);
            if (s[at] == ';') {
                ++at;
                EXPECT_EQ(number_at(s, &at), 2);  // RGB in percent
                std::vector<int>& rgb = palette[color];
                for (int k = 0; k < 3; ++k) ++at, rgb.push_back((number_at(s, &at) * 255 + 50) / 100);
            }
            continue;
        }
        if (c == '$') x = 0;
        if (c == '-') x = 0, ++band;
        if (c == '!') repeat = number_at(s, &at);
        const char sixel = c == '!' ? s[at++] : c;
        if (sixel < '?' || sixel > '~') continue;
        for (int r = 0; r < repeat; ++r, ++x)
            for (int bit = 0; bit < 6; ++bit) {
                const int y = band * 6 + bit;
                if (!((sixel - '?') >> bit & 1) || y >= image.height || x >= image.width) continue;
                for (int k = 0; k < 3; ++k)
                    image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3 + k] =
                        palette[color].at(static_cast<std::size_t>(k));
            }
    }
    image.registers = static_cast<int>(palette.size());
    return image;
}

// Half-block cells: colours as sent: {2, r, g, b}, {5, index}, or a code of
// the sixteen ({31}, {93}, {44}).
struct Cell {
    std::vector<int> fg, bg;
    std::string glyph;
};
using Cells = std::vector<std::vector<Cell>>;

Cells decode_cells(const std::string& s) {
    Cells rows(1);
    std::vector<int> fg, bg;
    for (std::size_t at = 0; at < s.size();) {
        if (s.compare(at, 2, "\x1b[") == 0) {
            const std::size_t end = s.find('m', at);
            std::vector<int> p;
            for (std::size_t k = at + 2; k < end; ++k) p.push_back(number_at(s, &k));
            if (p.empty()) p.push_back(0);
            for (std::size_t i = 0; i < p.size();) {
                const int n = p[i];
                // 38 and 48 take 2;R;G;B or 5;N after them; the sixteen stand alone.
                const std::size_t size = n == 38 || n == 48 ? (p.at(i + 1) == 2 ? 5 : 3) : 1;
                const std::vector<int> sent(p.begin() + static_cast<long>(i + (size > 1 ? 1 : 0)),
                                            p.begin() + static_cast<long>(i + size));
                if (n == 0) fg.clear(), bg.clear();
                if (n == 38 || (n >= 30 && n <= 37) || (n >= 90 && n <= 97)) fg = sent;
                if (n == 48 || (n >= 40 && n <= 47) || (n >= 100 && n <= 107)) bg = sent;
                i += size;
            }
            at = end + 1;
        } else if (s[at] == '\n') {
            EXPECT_TRUE(fg.empty() && bg.empty()) << "colours reset before each line end";
            rows.emplace_back();
            at += 1;
        } else {
            const std::size_t n = static_cast<unsigned char>(s[at]) >= 0x80 ? 3 : 1;
            rows.back().push_back({fg, bg, s.substr(at, n)});
            at += n;
        }
    }
    rows.pop_back();
    return rows;
}

// Escapes and other controls made readable, for messages.
std::string printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == 0x1b)
            out += "ESC";
        else if (c < 0x20 || c == 0x7f)
            out.append("^").append(std::to_string(c));
        else
            out += static_cast<char>(c);
    }
    return out;
}

// ---- pictures

const unsigned char* pixel_at(const RgbPicture& p, int x, int y) {
    return &p.bytes[(static_cast<std::size_t>(y) * p.width + x) * 3];
}

// The bytes the program saves for the grid's top left `width` × `height`.
std::vector<unsigned char> saved_bytes(int width, int height) {
    std::vector<unsigned char> bytes(54 + static_cast<std::size_t>((width * 3 + 3) / 4 * 4 * height));
    bytes.resize(bmp_file_bytes(width, height, bytes.data()));
    return bytes;
}

// A picture the program grows, read back from the bytes it saves.
RgbPicture grown_picture(std::int64_t seed, std::vector<unsigned char>* file = nullptr) {
    setSeed(seed);
    clear_grid();
    completed_count = 0;
    locii = 0;
    testing::internal::CaptureStdout();  // the status lines
    while (!image_full(GRID_WIDTH, GRID_HEIGHT)) grow_batch(GRID_WIDTH, GRID_HEIGHT);
    testing::internal::GetCapturedStdout();
    const std::vector<unsigned char> bytes = saved_bytes(GRID_WIDTH, GRID_HEIGHT);
    RgbPicture picture;
    EXPECT_TRUE(read_bmp(bytes.data(), bytes.size(), &picture));
    if (file != nullptr) *file = bytes;
    return picture;
}

// Blocks of one colour each, `bw` × `bh` pixels, every block another colour.
RgbPicture blocks(int width, int height, int bw, int bh) {
    RgbPicture p{width, height, std::vector<unsigned char>(static_cast<std::size_t>(width * height * 3))};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int b = (y / bh) * 131 + (x / bw) * 71;
            unsigned char* to = &p.bytes[(static_cast<std::size_t>(y) * width + x) * 3];
            to[0] = static_cast<unsigned char>(b * 37), to[1] = static_cast<unsigned char>(b * 11 + 50),
            to[2] = static_cast<unsigned char>(b * 5 + 90);
        }
    return p;
}

TEST(TerminalPicture, ReadsBackWhatTheProgramSaves) {
    for (int width : {1, 2, 3, 5, 400}) {
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < width; ++x)
                *get_pixel(x, y) = Pixel{{std::uint8_t(x), std::uint8_t(y * 30), std::uint8_t(x ^ y)}};
        const std::vector<unsigned char> file = saved_bytes(width, 7);
        RgbPicture picture;
        ASSERT_TRUE(read_bmp(file.data(), file.size(), &picture)) << width;
        ASSERT_EQ(picture.width, width);
        ASSERT_EQ(picture.height, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(0, std::memcmp(pixel_at(picture, x, y), get_pixel(x, y)->channel, 3))
                    << width << " " << x << "," << y;
    }
}

TEST(TerminalPicture, RefusesWhatIsNoPictureOfItsKind) {
    const std::vector<unsigned char> file = saved_bytes(5, 3);
    const struct {
        const char* what;
        std::size_t at;
        unsigned char value;
        std::size_t keep;
    } cases[] = {
        {"cut short by a byte", 0, 'B', file.size() - 1},
        {"another signature", 1, 'A', file.size()},
        {"32 bits a pixel", 28, 32, file.size()},
        {"compressed", 30, 1, file.size()},
        {"no width", 18, 0, file.size()},
        {"a width beyond reason", 21, 0x40, file.size()},
        {"an older header", 14, 12, file.size()},
        {"pixels beyond the end", 10, 200, file.size()},
        {"rows top-down", 25, 0xFF, file.size()},
    };
    for (const auto& c : cases) {
        std::vector<unsigned char> bad(file.begin(), file.begin() + static_cast<long>(c.keep));
        bad[c.at] = c.value;
        RgbPicture picture;
        EXPECT_FALSE(read_bmp(bad.data(), bad.size(), &picture)) << c.what;
    }
}

// A grey picture: each value a pixel's red, green and blue, row by row.
RgbPicture greys(int width, int height, const std::vector<int>& values) {
    RgbPicture p{width, height, {}};
    for (const int v : values) p.bytes.insert(p.bytes.end(), 3, static_cast<unsigned char>(v));
    return p;
}

TEST(TerminalPicture, ScalingAveragesEachArea) {
    // 2 × 2 blocks halved: every new pixel is one block's colour.
    const RgbPicture halved = scale_area(blocks(400, 400, 2, 2), 200, 200);
    EXPECT_EQ(halved.bytes, blocks(200, 200, 1, 1).bytes);
    // Each new pixel the mean of the old ones, each weighed by how much of it
    // the new one covers: five into two take two and a half each.
    const struct {
        RgbPicture picture, scaled;
    } cases[] = {
        {greys(3, 1, {0, 30, 90}), greys(1, 1, {40})},
        {greys(2, 1, {0, 1}), greys(1, 1, {1})},  // half a level rounds up
        {greys(5, 1, {0, 11, 20, 30, 41}), greys(2, 1, {8, 32})},
        {greys(1, 5, {0, 11, 20, 30, 41}), greys(1, 2, {8, 32})},
        // Across by 5 : 2 and down by 3 : 2, each pixel x · 10 + y · 60: the
        // means across (8 and 32) and down (20 and 100) added.
        {greys(5, 3, {0, 10, 20, 30, 40, 60, 70, 80, 90, 100, 120, 130, 140, 150, 160}),
         greys(2, 2, {28, 52, 108, 132})},
        {greys(1, 1, {8}), greys(3, 2, {8, 8, 8, 8, 8, 8})},
    };
    for (const auto& c : cases) {
        const RgbPicture scaled = scale_area(c.picture, c.scaled.width, c.scaled.height);
        EXPECT_EQ(scaled.width, c.scaled.width);
        EXPECT_EQ(scaled.height, c.scaled.height);
        EXPECT_EQ(scaled.bytes, c.scaled.bytes) << c.picture.width << "x" << c.picture.height;
    }
    // The longest side read_bmp takes, all white into a few: more 255s in a
    // sum than 32 bits hold.
    RgbPicture white{16384, 1100, std::vector<unsigned char>(std::size_t{16384} * 1100 * 3, 255)};
    EXPECT_EQ(scale_area(white, 3, 2).bytes, std::vector<unsigned char>(18, 255));
    std::swap(white.width, white.height);
    EXPECT_EQ(scale_area(white, 2, 3).bytes, std::vector<unsigned char>(18, 255));
}

TEST(TerminalPicture, KittyChunksDecodeToThePixels) {
    const RgbPicture picture = grown_picture(11);
    const KittyImage image = decode_kitty(encode_kitty(picture));
    ASSERT_GT(image.keys.size(), 1u);
    EXPECT_EQ(image.keys[0].at("a"), "T");
    EXPECT_EQ(image.keys[0].at("f"), "24");
    EXPECT_EQ(image.keys[0].at("s"), "400");
    EXPECT_EQ(image.keys[0].at("v"), "400");
    for (std::size_t i = 0; i < image.keys.size(); ++i) {
        EXPECT_EQ(image.keys[i].at("q"), "2") << "no answers that would arrive as keys";
        EXPECT_EQ(image.keys[i].at("m"), i + 1 < image.keys.size() ? "1" : "0") << i;
        EXPECT_LE(image.payload_sizes[i], 4096u) << i;
    }
    EXPECT_EQ(image.pixels, picture.bytes);
    EXPECT_EQ(image.after, "\n");
}

TEST(TerminalPicture, Iterm2SendsTheFileItself) {
    std::vector<unsigned char> file;
    grown_picture(12, &file);
    const std::string bytes = encode_iterm2(file.data(), file.size(), 40, 20);
    const std::string head = "\x1b]1337;File=inline=1;size=480054;width=40;height=20;preserveAspectRatio=1:";
    ASSERT_EQ(bytes.compare(0, head.size(), head), 0) << bytes.substr(0, 80);
    const std::size_t bell = bytes.find('\a');
    EXPECT_EQ(from_base64(bytes.substr(head.size(), bell - head.size())), file);
    EXPECT_EQ(bytes.substr(bell), "\a\n");
}

TEST(TerminalPicture, SixelDecodesToThePictureWithinItsColourError) {
    // A grown picture at a size no multiple of six: 256 colours for a picture
    // of tens of thousands leave about 9 of 255 on average. A picture of
    // fewer colours than registers: only the rounding to percent.
    const struct {
        RgbPicture picture;
        double mean_error, max_error;
    } cases[] = {{scale_area(grown_picture(13), 299, 299), 10.0, 64.0}, {blocks(60, 45, 15, 9), 1.0, 1.0}};
    for (const auto& c : cases) {
        const SixelImage image = decode_sixel(encode_sixel(c.picture));
        ASSERT_EQ(image.width, c.picture.width);
        ASSERT_EQ(image.height, c.picture.height);
        EXPECT_LE(image.registers, 256);
        double sum = 0, worst = 0;
        for (std::size_t i = 0; i < image.rgb.size(); ++i) {
            ASSERT_NE(image.rgb[i], -1) << "pixel " << i / 3 << " never drawn";
            const double error = std::abs(image.rgb[i] - c.picture.bytes[i]);
            sum += error, worst = std::max(worst, error);
        }
        EXPECT_LE(sum / static_cast<double>(image.rgb.size()), c.mean_error);
        EXPECT_LE(worst, c.max_error);
        std::printf("sixel %dx%d: %d registers, mean error %.2f, largest %.0f\n", image.width, image.height,
                    image.registers, sum / static_cast<double>(image.rgb.size()), worst);
    }
}

// The palette index a cell's colour was sent as; -1 for a 24-bit colour.
int index_sent(const std::vector<int>& sent, bool foreground) {
    if (sent.size() == 2 && sent[0] == 5) return sent[1];
    if (sent.size() != 1) return -1;
    if (sent[0] >= 90) return sent[0] - (foreground ? 90 : 100) + 8;
    return sent[0] - (foreground ? 30 : 40);
}

// What the terminal shows of half-block cells of `way`: two pixels a cell,
// the upper the foreground of ▀, the lower that of ▄, the others the background.
RgbPicture shown(const Cells& cells, PictureWay way) {
    RgbPicture p{static_cast<int>(cells.empty() ? 0 : cells[0].size()), static_cast<int>(cells.size() * 2), {}};
    p.bytes.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height) * 3);
    for (std::size_t row = 0; row < cells.size(); ++row)
        for (std::size_t x = 0; x < cells[row].size(); ++x)
            for (const bool top : {true, false}) {
                const Cell& cell = cells[row][x];
                const bool foreground = cell.glyph == (top ? "\xe2\x96\x80" : "\xe2\x96\x84");
                const std::vector<int>& sent = foreground ? cell.fg : cell.bg;
                unsigned char* to = &p.bytes[((2 * row + (top ? 0 : 1)) * static_cast<std::size_t>(p.width) + x) * 3];
                EXPECT_FALSE(sent.empty()) << "a colour shown, never sent since the line began: " << row << "," << x;
                if (sent.empty()) continue;
                const int index = index_sent(sent, foreground);
                if (index >= 0)
                    palette_color(way, index, to);
                else
                    for (int c = 0; c < 3; ++c)
                        to[c] = static_cast<unsigned char>(sent.at(static_cast<std::size_t>(c) + 1));
            }
    return p;
}

// Each half-block way and the palette indices it sends: from `top_first` up
// to `top_end` above (a cell's foreground), to `bottom_end` below. All 240 of
// the 256 beyond the terminal's own sixteen; the sixteen, the bright ones as
// 90 .. 97 and 100 .. 107; 8 and 8; on the Linux console 16 above and 8 below.
struct HalfBlockWay {
    PictureWay way;
    int top_first, top_end, bottom_end;
};
constexpr HalfBlockWay HALF_BLOCK_WAYS[] = {{PictureWay::HALF_BLOCKS_24BIT, 0, 0, 0},
                                            {PictureWay::HALF_BLOCKS_256, 16, 256, 256},
                                            {PictureWay::HALF_BLOCKS_16, 0, 16, 16},
                                            {PictureWay::HALF_BLOCKS_8, 0, 8, 8},
                                            {PictureWay::HALF_BLOCKS_LINUX, 0, 16, 8}};

TEST(TerminalPicture, HalfBlocksShowTheirPixelsInEachWay) {
    // 24-bit: each cell's two pixels exactly, whichever glyph draws it. A
    // picture whose colours the palette holds: exactly those, dithering adds
    // nothing, each from the indices its way has.
    for (const HalfBlockWay& c : HALF_BLOCK_WAYS) {
        SCOPED_TRACE(static_cast<int>(c.way));
        RgbPicture picture = blocks(40, 80, 1, 1);
        if (c.way != PictureWay::HALF_BLOCKS_24BIT)  // shuffled palette colours: a cell's top often the bottom before
            for (unsigned i = 0, state = 7; i < 40 * 80; ++i, state = state * 1103515245u + 12345u) {
                const int end = (i / 40) % 2 == 0 ? c.top_end : c.bottom_end;
                palette_color(c.way,
                              c.top_first + static_cast<int>((state >> 16) % static_cast<unsigned>(end - c.top_first)),
                              &picture.bytes[std::size_t{i} * 3]);
            }
        const Cells cells = decode_cells(encode_half_blocks(picture, c.way, true));
        ASSERT_EQ(cells.size(), 40u);
        // Each colour as its way sends it: {2, r, g, b}, {5, n}, a code of the
        // sixteen; as a background only one the way has below.
        const std::size_t size = c.way == PictureWay::HALF_BLOCKS_24BIT ? 4 : c.top_first == 16 ? 2 : 1;
        for (const auto& row : cells)
            for (const Cell& cell : row) {
                ASSERT_EQ(cell.bg.size(), size);
                if (cell.glyph != " ") {
                    ASSERT_EQ(cell.fg.size(), size);
                }
                if (c.bottom_end == 8) {
                    ASSERT_LT(index_sent(cell.bg, false), 8);
                }
            }
        EXPECT_EQ(shown(cells, c.way).bytes, picture.bytes);
    }
    // A square picture in cells of 116 half blocks across and 96 down: both
    // sides scaled apart, and each cell shows its two scaled pixels.
    const RgbPicture grown = grown_picture(14);
    const Cells apart =
        decode_cells(encode_picture(PictureWay::HALF_BLOCKS_24BIT, grown, nullptr, 0, {116, 48, 0}, true));
    EXPECT_EQ(shown(apart, PictureWay::HALF_BLOCKS_24BIT).bytes, scale_area(grown, 116, 96).bytes);
    // Without the half block: a space a pixel, its colour the background.
    const RgbPicture picture = blocks(40, 80, 1, 1);
    const Cells spaces = decode_cells(encode_half_blocks(picture, PictureWay::HALF_BLOCKS_24BIT, false));
    ASSERT_EQ(spaces.size(), 80u);
    const unsigned char* p = pixel_at(picture, 3, 41);
    EXPECT_EQ(spaces[41][3].glyph, " ");
    EXPECT_EQ(spaces[41][3].bg, (std::vector<int>{2, p[0], p[1], p[2]}));
    const Cells linux_console = decode_cells(encode_half_blocks(picture, PictureWay::HALF_BLOCKS_LINUX, false));
    for (const auto& row : linux_console)
        for (const Cell& cell : row) ASSERT_LT(index_sent(cell.bg, false), 8) << "a background of the console's";
}

TEST(TerminalPicture, HalfBlocksTakeTheFewestBytes) {
    // Pictures of palette colours, given by their indices row by row: the
    // bytes for the sixteen, where each colour is short to read.
    const PictureWay SIXTEEN = PictureWay::HALF_BLOCKS_16, LINUX = PictureWay::HALF_BLOCKS_LINUX;
    const std::string U = "\xe2\x96\x80", L = "\xe2\x96\x84";  // the upper and the lower half block
    const struct {
        PictureWay way;
        std::vector<std::vector<int>> rows;
        std::string bytes;
    } cases[] = {
        {SIXTEEN, {{1, 1}, {2, 2}}, "\x1b[31;42m" + U + U + "\x1b[m\n"},         // both colours in one code, then none
        {SIXTEEN, {{1, 2, 2}, {2, 1, 2}}, "\x1b[31;42m" + U + L + " \x1b[m\n"},  // the lower block: colours swapped
        {SIXTEEN, {{1, 4, 4}, {2, 4, 1}}, "\x1b[31;42m" + U + "\x1b[44m " + L + "\x1b[m\n"},  // a space keeps the fg
        {SIXTEEN, {{3, 3, 3, 3}, {1, 3, 3, 3}}, "\x1b[31;43m" + L + "   \x1b[m\n"},  // the bg the spaces after need
        {SIXTEEN, {{1}, {2}, {1}, {2}}, "\x1b[31;42m" + U + "\x1b[m\n\x1b[31;42m" + U + "\x1b[m\n"},  // after a reset
        {SIXTEEN, {{5, 5}, {5, 5}}, "\x1b[45m  \x1b[m\n"},  // a line of spaces, no foreground
        {SIXTEEN, {{1, 4, 9}, {2, 4, 1}}, "\x1b[31;42m" + U + "\x1b[44m \x1b[101m" + L + "\x1b[m\n"},  // bright bg
        {LINUX, {{1, 4, 9}, {2, 4, 1}}, "\x1b[31;42m" + U + "\x1b[44m \x1b[91;41m" + U + "\x1b[m\n"},  // none there
    };
    for (const auto& c : cases) {
        RgbPicture picture{static_cast<int>(c.rows[0].size()), static_cast<int>(c.rows.size()), {}};
        for (const auto& row : c.rows)
            for (const int index : row) {
                unsigned char rgb[3];
                palette_color(c.way, index, rgb);
                picture.bytes.insert(picture.bytes.end(), rgb, rgb + 3);
            }
        EXPECT_EQ(printable(encode_half_blocks(picture, c.way, true)), printable(c.bytes));
    }
}

// The mean difference, per channel out of 255, of the two pictures' averages
// over squares of `side` pixels: what the eye makes of a few cells together.
double area_difference(const RgbPicture& a, const RgbPicture& b, int side) {
    const RgbPicture x = scale_area(a, a.width / side, a.height / side),
                     y = scale_area(b, b.width / side, b.height / side);
    double sum = 0;
    for (std::size_t i = 0; i < x.bytes.size(); ++i) sum += std::abs(x.bytes[i] - y.bytes[i]);
    return sum / static_cast<double>(x.bytes.size());
}

TEST(TerminalPicture, DitheringKeepsTheAreasTrueWhereTheNearestColourDoesNot) {
    // Grown pictures at a half-block size: shown in each palette way, and as
    // each pixel's nearest colour in RGB, as the program once showed them.
    const RgbPicture picture = scale_area(grown_picture(5), 120, 120);
    for (const HalfBlockWay& c : HALF_BLOCK_WAYS) {
        if (c.way == PictureWay::HALF_BLOCKS_24BIT) continue;
        RgbPicture nearest = picture;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                unsigned char* p = &nearest.bytes[(static_cast<std::size_t>(y) * 120 + x) * 3];
                int best = 1 << 30, at = 0;
                for (int i = c.top_first; i < (y % 2 == 0 ? c.top_end : c.bottom_end); ++i) {
                    unsigned char q[3];
                    palette_color(c.way, i, q);
                    const int d =
                        (p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]);
                    if (d < best) best = d, at = i;
                }
                palette_color(c.way, at, p);
            }
        const RgbPicture dithered = shown(decode_cells(encode_half_blocks(picture, c.way, true)), c.way);
        const double by_nearest = area_difference(nearest, picture, 4),
                     by_dither = area_difference(dithered, picture, 4);
        std::printf("way %d: 4 x 4 areas off by %.2f dithered, %.2f by the nearest colour\n", static_cast<int>(c.way),
                    by_dither, by_nearest);
        EXPECT_LT(by_dither, by_nearest * 0.8) << static_cast<int>(c.way);
    }
}

// The answers in `bytes` arriving `piece` at a time, as the terminal's one
// reader takes them: keys and replies apart, each reply read whole.
Answers answered(const std::string& bytes, std::size_t piece) {
    Answers answers;
    KeyDecoder decoder;
    std::string pending;
    for (std::size_t at = 0; at < bytes.size() || !pending.empty();) {
        const bool more = at < bytes.size();
        if (more) pending += bytes.substr(at, piece), at += piece;
        for (;;) {
            const KeyDecode key = decode_key(&decoder, reinterpret_cast<const unsigned char*>(pending.data()),
                                             static_cast<int>(pending.size()), at < bytes.size());
            if (key.reply) read_answer(&answers, decoder.reply, decoder.reply_length);
            if (key.used == 0) break;
            pending.erase(0, static_cast<std::size_t>(key.used));
        }
        if (!more) break;
    }
    return answers;
}

// The device attributes of a terminal that lists 50 of them, 4 at `at`.
std::string many_attributes(int at) {
    std::string text = "\x1b[?64";
    for (int i = 1; i < 50; ++i) text += i == at ? ";4" : ";1";
    return text;
}

TEST(TerminalPicture, AnswersArePickedOutOfTheKeysInPiecesOfAnySize) {
    const std::string KITTY_OK = "\x1b_Gi=31;OK\x1b\\";
    const struct {
        std::string input;
        int device_attributes;
        bool sixel, kitty;
        std::string name;
        int cell_w, cell_h, area_w, area_h;
    } cases[] = {
        {"q\x1b[A" + KITTY_OK + "\x1b[?62;c p", 1, false, true, "", 0, 0, 0, 0},
        {"\x1b[?63;1;2;4;6;9;15;16;22;28c", 1, true, false, "", 0, 0, 0, 0},
        {"\x1b[?1;2;4c", 1, true, false, "", 0, 0, 0, 0},
        {"\x1b[?64;1;42;14c", 1, false, false, "", 0, 0, 0, 0},      // 42 and 14 are not 4
        {many_attributes(2) + "c", 1, true, false, "", 0, 0, 0, 0},  // however many there are
        {many_attributes(40) + "c", 1, true, false, "", 0, 0, 0, 0},
        {"\x1b[?62;4", 0, false, false, "", 0, 0, 0, 0},  // unfinished
        {"\x1b[62;4c", 0, false, false, "", 0, 0, 0, 0},  // no '?': no answer of this kind
        {"\x1b_Gi=31;ENOTSUPPORTED:no\x1b\\\x1b[?6c", 1, false, false, "", 0, 0, 0, 0},
        {"\x1b[?62;\x1b[?12;4c", 1, true, false, "", 0, 0, 0, 0},  // the first broken off by the next
        // What xterm 379 and kitty 0.26.5 answer to the name, cell size and graphics area.
        {"\x1bP>|XTerm(379)\x1b\\\x1b[?2;0;480;312S\x1b[?63;4c\x1b[?63;4c", 2, true, false, "XTerm(379)", 0, 0, 480,
         312},
        {"\x1bP>|kitty(0.26.5)\x1b\\\x1b[6;20;9t\x1b[?62;c", 1, false, false, "kitty(0.26.5)", 9, 20, 0, 0},
        {"\x1b[?2;3;0S\x1b[6;0;9t\x1b[5;900;1200t", 0, false, false, "", 0, 0, 0,
         0},  // a failure, no height, another report
        {"\x1bP>|WezTerm 20240203\x07\x1b\\", 0, false, false, "WezTerm 20240203?", 0, 0, 0,
         0},                                                    // a control shown as '?'
        {"\x1bP1$r0m\x1b\\", 0, false, false, "", 0, 0, 0, 0},  // another string is no name
    };
    for (const auto& c : cases)
        for (std::size_t piece : {1u, 2u, 5u, 64u}) {
            SCOPED_TRACE(c.input.substr(1) + " in pieces of " + std::to_string(piece));
            const Answers a = answered(c.input, piece);
            EXPECT_EQ(a.device_attributes, c.device_attributes);
            EXPECT_EQ(a.sixel, c.sixel);
            EXPECT_EQ(a.kitty, c.kitty);
            EXPECT_EQ(std::string(a.name), c.name);
            EXPECT_EQ(a.cell_width, c.cell_w);
            EXPECT_EQ(a.cell_height, c.cell_h);
            EXPECT_EQ(a.graphics_width, c.area_w);
            EXPECT_EQ(a.graphics_height, c.area_h);
        }
    // The text area, as VTE answers it, height first; a side of 0 says nothing.
    for (std::size_t piece : {1u, 64u}) {
        const Answers vte = answered("\x1b[4;935;840t\x1b[?65;1;9c", piece);
        EXPECT_EQ(vte.text_width, 840);
        EXPECT_EQ(vte.text_height, 935);
        EXPECT_EQ(vte.cell_width, 0);
        EXPECT_EQ(answered("\x1b[4;0;840t", piece).text_width, 0);
    }
    // The secondary device attributes: their first three numbers, which are
    // no primary ones.
    const struct {
        std::string input;
        bool said;
        int kind, version, extra, device_attributes;
    } secondary[] = {
        {"\x1b[>65;7006;1c\x1b[?65;1;9c", true, 65, 7006, 1, 1},
        {"\x1b[>0;1700;1c", true, 0, 1700, 1, 0},
        {"\x1b[>77;30702c", true, 77, 30702, 0, 0},
        {"\x1b[>c\x1b[?6c", false, 0, 0, 0, 1},
    };
    for (const auto& c : secondary)
        for (std::size_t piece : {1u, 64u}) {
            SCOPED_TRACE(c.input.substr(1) + " in pieces of " + std::to_string(piece));
            const Answers a = answered(c.input, piece);
            EXPECT_EQ(a.secondary_said, c.said);
            EXPECT_EQ(a.secondary_attributes[0], c.kind);
            EXPECT_EQ(a.secondary_attributes[1], c.version);
            EXPECT_EQ(a.secondary_attributes[2], c.extra);
            EXPECT_EQ(a.device_attributes, c.device_attributes);
        }
}

// The questions and the way, for terminals as they name themselves and answer
// (the answers as measured where the notes on real terminals say so).
TEST(TerminalPicture, TheWayComesFromTheNamesAndTheAnswers) {
    const std::string KITTY_OK = "\x1b_Gi=31;OK\x1b\\", SIXEL = "\x1b[?63;4c", PLAIN = "\x1b[?62;c";
    // C: the cell's size and the text area's, asked where the pty says no pixels.
    const std::string K = KITTY_QUERY, N = NAME_QUERY, C = std::string(CELL_SIZE_QUERY) + TEXT_AREA_QUERY,
                      G = GRAPHICS_SIZE_QUERY, S = SECONDARY_ATTRIBUTES_QUERY, D = DEVICE_ATTRIBUTES_QUERY;
    const auto name = [](const char* n) { return std::string("\x1bP>|") + n + "\x1b\\"; };
    const auto secondary = [](const char* n) { return std::string("\x1b[>") + n + "c"; };
    const TerminalSize PIXELS{80, 24, 640, 384}, NO_PIXELS{80, 24, 0, 0};
    using W = PictureWay;
    const struct {
        TerminalNames names;
        TerminalSize size;
        std::string answers;        // to the first round, then to the second
        std::string first, second;  // the questions
        PictureWay way;
    } cases[] = {
        {{"xterm-kitty"}, PIXELS, KITTY_OK + PLAIN, K + N + S + D, "", W::KITTY},
        {{"xterm-kitty"}, PIXELS, PLAIN, K + N + S + D, "", W::HALF_BLOCKS_24BIT},  // the query not answered
        {{"xterm-ghostty", "truecolor"}, PIXELS, KITTY_OK + PLAIN, K + N + S + D, "", W::KITTY},
        {{"xterm-256color", nullptr, nullptr, nullptr, "3"}, PIXELS, KITTY_OK + PLAIN, K + N + S + D, "", W::KITTY},
        // Over ssh, TERM a stand-in: the name says kitty, its query comes second.
        {{"xterm-256color"}, PIXELS, name("kitty(0.26.5)") + PLAIN + KITTY_OK + PLAIN, N + S + D, K + D, W::KITTY},
        {{"xterm-256color"},
         NO_PIXELS,
         name("kitty(0.26.5)") + "\x1b[6;20;9t" + PLAIN + KITTY_OK + PLAIN,
         N + C + S + D,
         K + D,
         W::KITTY},
        {{"xterm-256color"}, PIXELS, name("ghostty 1.1.0") + PLAIN + KITTY_OK + PLAIN, N + S + D, K + D, W::KITTY},
        {{"xterm-256color"}, PIXELS, name("Konsole 24.02.1") + SIXEL + PLAIN, N + S + D, K + D, W::SIXEL},  // no OK
        {{"xterm-256color"}, PIXELS, name("WezTerm 20240203-110809-5046fc22") + SIXEL, N + S + D, "", W::ITERM2},
        {{"xterm-256color"}, PIXELS, name("iTerm2 3.5.0") + PLAIN, N + S + D, "", W::ITERM2},
        {{"xterm-256color", nullptr, "WezTerm"}, PIXELS, PLAIN, N + S + D, "", W::ITERM2},
        {{"xterm-256color", nullptr, nullptr, "iTerm2"}, NO_PIXELS, SIXEL, N + C + S + D, G + D, W::ITERM2},
        {{"xterm"}, PIXELS, name("XTerm(379)") + SIXEL, N + S + D, "", W::SIXEL},
        {{"xterm"}, PIXELS, name("foot(1.13.1)") + SIXEL, N + S + D, "", W::SIXEL},
        {{"xterm"}, PIXELS, name("kittyish 1.0") + SIXEL, N + S + D, "", W::SIXEL},  // not kitty's name
        // No pixel size from the terminal: sixel only once the terminal says its area.
        {{"xterm"},
         NO_PIXELS,
         name("XTerm(379)") + SIXEL + "\x1b[?2;0;480;312S" + SIXEL,
         N + C + S + D,
         G + D,
         W::SIXEL},
        {{"xterm"}, NO_PIXELS, SIXEL + PLAIN, N + C + S + D, G + D, W::HALF_BLOCKS_256},
        {{"xterm"}, NO_PIXELS, "\x1b[6;13;6t" + SIXEL, N + C + S + D, "", W::SIXEL},
        {{"xterm"}, NO_PIXELS, "\x1b[4;312;480t" + SIXEL, N + C + S + D, "", W::SIXEL},  // the text area says it
        {{"xterm"}, PIXELS, "", N + S + D, "", W::HALF_BLOCKS_256},                      // no answer (yet)
        // 24-bit colour on evidence alone: COLORTERM, the TERM, the name, the
        // secondary attributes as a whole.
        {{"xterm", "24bit"}, PIXELS, PLAIN, N + S + D, "", W::HALF_BLOCKS_24BIT},
        {{"xterm-256color"},
         NO_PIXELS,
         name("XTerm(379)") + secondary("41;379;0") + "\x1b[?64;1;2;6;9;15;16;17;18;21;22;28c",
         N + C + S + D,
         "",
         W::HALF_BLOCKS_24BIT},
        {{"alacritty"}, NO_PIXELS, secondary("0;1700;1") + "\x1b[?6c", N + C + S + D, "", W::HALF_BLOCKS_24BIT},
        {{"xterm-256color"}, NO_PIXELS, secondary("0;1700;1") + "\x1b[?6c", N + C + S + D, "", W::HALF_BLOCKS_24BIT},
        {{"st-256color"}, NO_PIXELS, "\x1b[?6c", N + C + S + D, "", W::HALF_BLOCKS_24BIT},
        {{"foot-extra"}, NO_PIXELS, "\x1b[?62;22c", N + C + S + D, "", W::HALF_BLOCKS_24BIT},
        {{"xterm-direct"}, NO_PIXELS, "\x1b[?62;22c", N + C + S + D, "", W::HALF_BLOCKS_24BIT},
        {{"xterm-256color"},
         NO_PIXELS,
         secondary("65;7006;1") + "\x1b[?65;1;9c",
         N + C + S + D,
         "",
         W::HALF_BLOCKS_24BIT},
        {{"xterm-256color"},
         NO_PIXELS,
         secondary("61;7600;1") + "\x1b[?65;1;9c",
         N + C + S + D,
         "",
         W::HALF_BLOCKS_24BIT},
        {{"xterm-256color"}, NO_PIXELS, secondary("0;115;0") + "\x1b[?1;2c", N + C + S + D, "", W::HALF_BLOCKS_24BIT},
        {{"xterm-256color"},
         NO_PIXELS,
         secondary("64;0;0") + "\x1b[?64;1;9;15;21;22c",
         N + C + S + D,
         "",
         W::HALF_BLOCKS_24BIT},
        {{"xterm-256color"},
         NO_PIXELS,
         secondary("0;10;1") + "\x1b[?61;6;7;14;21;22;23;24;28;32;42c",
         N + C + S + D,
         "",
         W::HALF_BLOCKS_24BIT},
        // terminology (VTE's first number, but not VTE), rxvt-unicode (no
        // version), Terminal.app: 256.
        {{"xterm-256color"},
         NO_PIXELS,
         name("terminology 1.13.0") + secondary("61;337;0") + "\x1b[?64;1;9;15;18;21;22c",
         N + C + S + D,
         "",
         W::HALF_BLOCKS_256},
        {{"rxvt-unicode-256color"},
         NO_PIXELS,
         secondary("85;95;0") + "\x1b[?1;2c",
         N + C + S + D,
         "",
         W::HALF_BLOCKS_256},
        {{"xterm-256color"}, NO_PIXELS, secondary("1;95;0"), N + C + S + D, "", W::HALF_BLOCKS_256},
        // Fewer colours where the TERM holds no more; none where it has none.
        {{"linux"}, NO_PIXELS, "\x1b[?6c", N + C + S + D, "", W::HALF_BLOCKS_LINUX},
        {{"xterm-16color"}, NO_PIXELS, PLAIN, N + C + S + D, "", W::HALF_BLOCKS_16},
        {{"rxvt-8color"}, NO_PIXELS, PLAIN, N + C + S + D, "", W::HALF_BLOCKS_8},
        {{"vt220"}, PIXELS, SIXEL, "", "", W::NONE},
        {{"xterm-mono"}, PIXELS, SIXEL, "", "", W::NONE},
        {{"dumb"}, PIXELS, SIXEL, "", "", W::NONE},
        {{}, PIXELS, SIXEL, "", "", W::NONE},
        // Multiplexers: asked nothing. GNU screen garbles 24-bit colours and
        // holds what its TERM says; tmux turns 24-bit into what its terminal holds.
        {{"screen.xterm-256color", "truecolor"}, PIXELS, SIXEL, "", "", W::HALF_BLOCKS_256},
        {{"screen"}, PIXELS, "", "", "", W::HALF_BLOCKS_8},
        {{"screen.linux", nullptr, nullptr, nullptr, nullptr, nullptr, "123.pts-0.host"},
         PIXELS,
         "",
         "",
         "",
         W::HALF_BLOCKS_8},
        {{"screen-16color"}, PIXELS, "", "", "", W::HALF_BLOCKS_16},
        {{"xterm", "truecolor", nullptr, nullptr, nullptr, nullptr, "123.pts-0.host"},
         PIXELS,
         SIXEL,
         "",
         "",
         W::HALF_BLOCKS_8},
        {{"tmux-256color"}, PIXELS, SIXEL, "", "", W::HALF_BLOCKS_24BIT},
        {{"screen", nullptr, nullptr, nullptr, nullptr, "/tmp/tmux-0/default,1,0"},
         PIXELS,
         "",
         "",
         "",
         W::HALF_BLOCKS_24BIT},
        {{"xterm-kitty", nullptr, nullptr, nullptr, nullptr, "/tmp/tmux-0/default,1,0"},
         PIXELS,
         KITTY_OK,
         "",
         "",
         W::HALF_BLOCKS_24BIT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.names.term ? c.names.term : "(unset)") + " " + printable(c.answers));
        const bool pixels = c.size.width_px > 0;
        EXPECT_EQ(printable(next_questions(c.names, Answers{}, 0, pixels)), printable(c.first));
        // The second round is asked once the first one's device attributes
        // are in, and not before; after it, none.
        const std::size_t round_end = c.answers.find('c', c.answers.find("\x1b[?")) + 1;
        const Answers first = answered(c.answers.substr(0, round_end), 3);
        if (!c.first.empty()) {
            EXPECT_EQ(next_questions(c.names, answered(c.answers.substr(0, round_end - 1), 3), 1, pixels), "");
        }
        EXPECT_EQ(printable(next_questions(c.names, first, c.first.empty() ? 0 : 1, pixels)),
                  printable(c.first.empty() ? "" : c.second));
        const Answers all = answered(c.answers, 3);
        EXPECT_EQ(next_questions(c.names, all, 2, pixels), "");
        EXPECT_EQ(static_cast<int>(choose_way(c.names, all, with_answered_pixels(c.size, all))),
                  static_cast<int>(c.way));
    }
}

// An answered size stands in for the pixels the window size left out.
TEST(TerminalPicture, AnsweredSizesFillInMissingPixels) {
    Answers cells, text, area, most, none;
    cells.cell_width = 6;
    cells.cell_height = 13;
    text.text_width = 840;
    text.text_height = 935;
    text.graphics_width = text.graphics_height = 300;  // the text area comes first
    area.graphics_width = 480;
    area.graphics_height = 312;
    most.graphics_width = most.graphics_height = 16384;  // Konsole's: the most it draws, not its window
    const struct {
        TerminalSize size;
        const Answers& answers;
        int width, height;
    } cases[] = {
        {{100, 45, 0, 0}, cells, 600, 585},     {{80, 24, 0, 0}, area, 480, 312},
        {{80, 24, 800, 480}, cells, 800, 480},                                     // the window's own pixels stand
        {{80, 24, 0, 0}, none, 0, 0},           {{80, 24, 0, 0}, most, 0, 0},      // 204 pixels a column: unknown
        {{300, 300, 0, 0}, most, 16384, 16384}, {{0, 0, 0, 0}, area, 480, 312},    // a window of no size said: 80 × 24
        {{120, 55, 0, 0}, text, 840, 935},      {{10, 10, 0, 0}, text, 300, 300},  // 84 pixels a column: not the window
    };
    for (const auto& c : cases) {
        const TerminalSize s = with_answered_pixels(c.size, c.answers);
        EXPECT_EQ(s.width_px, c.width);
        EXPECT_EQ(s.height_px, c.height);
    }
    // xterm's 6 × 13 cells, 100 × 45 of them: the picture stands in the rows left.
    const Placement p = place_picture(PictureWay::SIXEL, 400, with_answered_pixels({100, 45, 0, 0}, cells), 7);
    EXPECT_EQ(p.side_px, 400);
    EXPECT_LE(p.side_px, (45 - 7) * 13);
    const Placement small = place_picture(PictureWay::SIXEL, 400, with_answered_pixels({80, 24, 0, 0}, area), 7);
    EXPECT_EQ(small.side_px, 17 * 13);
}

// The rows kept around the picture: each line as the terminal wraps it.
TEST(TerminalPicture, TextTakesTheRowsItWrapsTo) {
    const std::string below =
        "\nlocii = 17955   loops = 326  secs: 1\nMenu:\nESC - stop image creation/Quit prog\n"
        "P   - show Progress\n";
    const struct {
        std::string text;
        int columns, rows;
    } cases[] = {
        {"", 80, 1},
        {std::string(81, 'x'), 0, 2},  // a width not said: 80
        {"Successfully wrote 400x400 image: randImage1796810400.bmp.", 80, 1},
        {"Successfully wrote 400x400 image: randImage1796810400.bmp.", 40, 2},  // 58 characters
        {"Successfully wrote 400x400 image: randImage1796810400.bmp.", 29, 2},
        {"Successfully wrote 400x400 image: randImage1796810400.bmp.", 28, 3},
        {below, 80, 6},  // an empty line, the summary, the menu's three, the cursor's
        {below, 30, 8},  // the summary and the menu's second line wrap
        {std::string(80, 'x'), 80, 1},
        {std::string(81, 'x'), 80, 2},
        {"\xc3\xa9\xc3\xa9\xc3\xa9", 2, 2},  // a character is a cell, not its bytes
    };
    for (const auto& c : cases)
        EXPECT_EQ(rows_of_text(c.text.c_str(), {c.columns, 24, 0, 0}), c.rows) << c.text << " " << c.columns;
}

TEST(TerminalPicture, PlacesTheLargestSquareThatFits) {
    // The pixel ways in screen pixels, never more than the picture's own;
    // half blocks in cells, a square on the screen by the cells' shape,
    // where the pixels say it, and else two of the picture's pixels a cell.
    const PictureWay PIXELS = PictureWay::KITTY, CELLS = PictureWay::HALF_BLOCKS_256;
    const struct {
        PictureWay way;
        TerminalSize size;
        Placement want;
    } cases[] = {
        {PIXELS, {120, 55, 1200, 990}, {40, 22, 400}},  // room for all: its own size, 10 × 18 cells
        {PIXELS, {80, 24, 640, 384}, {34, 17, 272}},    // 17 rows free of 24
        {PIXELS, {30, 60, 300, 1200}, {30, 15, 300}},   // narrow: the width decides
        {PIXELS, {80, 24, 0, 0}, {34, 17, 272}},        // no pixels said: 8 × 16 cells
        {PIXELS, {0, 0, 0, 0}, {34, 17, 272}},          // no size said: 80 × 24
        {PIXELS, {80, 8, 640, 128}, {0, 0, 0}},         // one row free: nothing
        {CELLS, {120, 55, 1200, 990}, {86, 48, 0}},     // the rows decide: 48 free of cells 10 × 18
        {CELLS, {120, 55, 0, 0}, {96, 48, 0}},          // no pixels: cells twice as tall as wide
        // Cells as measured, 120 × 55 of them: Alacritty and VTE (7 × 17),
        // st (8 × 18), rxvt-unicode's text area (8.13 × 18.07), xterm.js
        // (8 × 19), xterm with DejaVu Sans Mono (8 × 15) and Noto Sans Mono (9 × 18).
        {CELLS, {120, 55, 840, 935}, {117, 48, 0}},
        {CELLS, {120, 55, 960, 990}, {108, 48, 0}},
        {CELLS, {120, 55, 976, 994}, {107, 48, 0}},
        {CELLS, {120, 55, 960, 1045}, {114, 48, 0}},
        {CELLS, {120, 55, 960, 825}, {90, 48, 0}},
        {CELLS, {120, 55, 1080, 990}, {96, 48, 0}},
        {CELLS, {60, 55, 420, 935}, {58, 24, 0}},        // narrow: the width decides the rows
        {CELLS, {120, 55, 1200, 495}, {96, 48, 0}},      // cells wider than tall: no font's, so unknown
        {CELLS, {400, 300, 2800, 5100}, {398, 164, 0}},  // never more than the picture's pixels
        {CELLS, {80, 24, 0, 0}, {34, 17, 0}},
        {CELLS, {41, 60, 0, 0}, {40, 20, 0}},      // the width decides, an even side
        {CELLS, {500, 300, 0, 0}, {400, 200, 0}},  // never more than the picture's pixels
        {CELLS, {80, 8, 0, 0}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        const Placement p = place_picture(c.way, 400, c.size, 7);
        EXPECT_EQ(p.columns, c.want.columns) << c.size.columns << "x" << c.size.rows;
        EXPECT_EQ(p.rows, c.want.rows) << c.size.columns << "x" << c.size.rows;
        EXPECT_EQ(p.side_px, c.want.side_px) << c.size.columns << "x" << c.size.rows;
    }
}

}  // namespace
