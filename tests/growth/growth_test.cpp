#include "growth.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "plain_growth.h"
#include "random.h"

namespace {

void start_picture() {
    clear_grid();
    completed_count = 0;
    locii = 0;
}

struct Picture {
    int loops = 0;
    std::string output;
    std::vector<std::uint8_t> cells;
};

// Grows one whole picture the way the program does: batches until full.
Picture grow_whole_picture() {
    Picture p;
    start_picture();
    testing::internal::CaptureStdout();
    while (!image_full(GRID_WIDTH, GRID_HEIGHT)) {
        grow_batch(GRID_WIDTH, GRID_HEIGHT);
        ++p.loops;
    }
    p.output = testing::internal::GetCapturedStdout();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image_grid);
    p.cells.assign(bytes, bytes + sizeof image_grid);
    return p;
}

std::vector<std::string> status_lines(const std::string& output) {
    std::vector<std::string> lines;
    std::size_t at = output.find('\r');
    while (at != std::string::npos) {
        const std::size_t end = output.find('\r', at + 1);
        lines.push_back(output.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end;
    }
    return lines;
}

TEST(Growth, NeighbourDirectionsRunClockwiseFromUpperRight) {
    const int want[8][2] = {{11, 19}, {11, 20}, {11, 21}, {10, 21}, {9, 21}, {9, 20}, {9, 19}, {10, 19}};
    for (int d = 0; d < 8; ++d) {
        std::int32_t x = 0, y = 0;
        gen_neighbor_offset(10, 20, &x, &y, d);
        EXPECT_EQ(x, want[d][0]) << "direction " << d;
        EXPECT_EQ(y, want[d][1]) << "direction " << d;
        std::int32_t wx = 0, wy = 0;
        gen_neighbor_offset(10, 20, &wx, &wy, d + 8 * 5);  // taken modulo 8
        EXPECT_EQ(wx, x);
        EXPECT_EQ(wy, y);
    }
    std::int32_t x = 0, y = 0;
    gen_neighbor_offset(0, 0, &x, &y, -2);  // -2 & 7 == 6: upper left, off the grid
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    EXPECT_EQ(get_pixel(x, y), nullptr);
}

TEST(Growth, NeighbourSearchStartsAtTheDrawnDirection) {
    // After setSeed(0) the first direction drawn is 5 (left), the next 6.
    start_picture();
    *get_pixel(99, 50) = Pixel{{1, 2, 3}};   // left
    *get_pixel(99, 49) = Pixel{{4, 5, 6}};   // upper left
    *get_pixel(101, 50) = Pixel{{7, 8, 9}};  // right
    setSeed(0);
    EXPECT_EQ(find_colored_neighbor(100, 50), get_pixel(99, 50));
    EXPECT_EQ(find_colored_neighbor(100, 50), get_pixel(99, 49));

    // Only lower left (4) is set: found last, after 5, 6, 7, 0, 1, 2, 3.
    start_picture();
    *get_pixel(99, 51) = Pixel{{1, 1, 1}};
    get_pixel(99, 50)->channel[0] = 5;  // partly coloured: not set
    setSeed(0);
    EXPECT_EQ(find_colored_neighbor(100, 50), get_pixel(99, 51));
    EXPECT_EQ(nextIntMax(8), 6);  // one draw per search, however far it looked

    // A corner cell with no set neighbour on the grid.
    setSeed(0);
    EXPECT_EQ(find_colored_neighbor(0, 0), nullptr);
    EXPECT_EQ(find_colored_neighbor(399, 399), nullptr);
}

TEST(Growth, ChildrenAreDarkerThanTheirParentWithinTheSpread) {
    const Pixel parent{{10, 200, 55}};
    bool saw_zero = false, saw_one = false;
    for (int seed = 0; seed < 2000; ++seed) {
        setSeed(seed);
        Pixel child{{0, 0, 0}};
        Pixel* result = color_pixel(&child, &parent);
        EXPECT_LE(child.channel[0], 10);
        EXPECT_GE(child.channel[1], 145);
        EXPECT_LE(child.channel[1], 200);
        EXPECT_LE(child.channel[2], 55);
        const bool set = child.channel[0] && child.channel[1] && child.channel[2];
        EXPECT_EQ(result, set ? &child : nullptr);
        saw_zero |= child.channel[0] == 0;
        saw_one |= child.channel[0] == 1;
    }
    EXPECT_TRUE(saw_zero);  // a sum of exactly 0 stays 0
    EXPECT_TRUE(saw_one);   // negative sums become 1
}

TEST(Growth, ColouringDrawsOnlyForZeroChannels) {
    setSeed(21);
    Pixel already{{3, 4, 5}};
    EXPECT_EQ(color_pixel(&already, nullptr), nullptr);
    EXPECT_EQ(already.channel[0], 3);

    Pixel partly{{0, 77, 0}};
    Pixel* result = color_pixel(&partly, nullptr);
    EXPECT_EQ(partly.channel[1], 77);

    // Same draws by hand: red then blue, two steps, nothing for green.
    setSeed(21);
    const int red = nextIntMax(255);
    const int blue = nextIntMax(255);
    EXPECT_EQ(partly.channel[0], red);
    EXPECT_EQ(partly.channel[2], blue);
    EXPECT_EQ(result, (red && blue) ? &partly : nullptr);
    EXPECT_EQ(color_pixel(nullptr, nullptr), nullptr);
}

TEST(Growth, FirstLociAfterSeedZero) {
    start_picture();
    setSeed(0);
    testing::internal::CaptureStdout();
    grow_batch(GRID_WIDTH, GRID_HEIGHT);
    const std::string out = testing::internal::GetCapturedStdout();

    struct Locus {
        int x, y, r, g, b;
    };
    const Locus want[] = {{160, 348, 2, 200, 203},
                          {91, 161, 119, 77, 152},
                          {273, 262, 254, 139, 210},
                          {41, 120, 183, 239, 152},
                          {252, 60, 247, 87, 38}};
    for (const Locus& l : want) {
        const Pixel* p = get_pixel(l.x, l.y);
        EXPECT_EQ(p->channel[0], l.r) << l.x << "," << l.y;
        EXPECT_EQ(p->channel[1], l.g) << l.x << "," << l.y;
        EXPECT_EQ(p->channel[2], l.b) << l.x << "," << l.y;
    }
    EXPECT_GE(locii, 5);
    EXPECT_LE(completed_count, BATCH_ATTEMPTS);
    // Five status lines, the first before any attempt.
    const std::vector<std::string> lines = status_lines(out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].substr(0, 26), "\rlocii: 0  prog: 0%   \\   ");
}

TEST(Growth, WholePictureFillsEveryCellAndIsReproducible) {
    setSeed(1765000000);
    const Picture first = grow_whole_picture();
    EXPECT_EQ(completed_count, GRID_CELLS);
    EXPECT_GE(first.loops, 320);
    EXPECT_GT(locii, 0);
    for (int y = 0; y < GRID_HEIGHT; ++y)
        for (int x = 0; x < GRID_WIDTH; ++x) ASSERT_NE(pixel_if_set(get_pixel(x, y)), nullptr) << x << "," << y;

    // Status lines: spinner turns \ | / - in order, percentages never fall and
    // never show 100, since the fullness test comes first.
    const std::vector<std::string> lines = status_lines(first.output);
    ASSERT_FALSE(lines.empty());
    int last_percent = -1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        int l = -1, percent = -1;
        char spin = 0;
        ASSERT_EQ(std::sscanf(lines[i].c_str(), "\rlocii: %d  prog: %d%%   %c", &l, &percent, &spin), 3) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - 6), "      ");
        EXPECT_GE(percent, last_percent);
        EXPECT_LE(percent, 99);
        last_percent = percent;
        if (i > 0) {
            const char prev = lines[i - 1][lines[i - 1].find('%') + 4];
            const std::string spinner = "\\|/-";
            EXPECT_EQ(spinner[(spinner.find(prev) + 1) % 4], spin);
        }
    }
    EXPECT_EQ(last_percent, 99);

    const std::int32_t first_locii = locii;
    setSeed(1765000000);
    const Picture again = grow_whole_picture();
    EXPECT_EQ(again.loops, first.loops);
    EXPECT_EQ(locii, first_locii);
    EXPECT_TRUE(again.cells == first.cells);
    // The spinner is never reset, so the text is alike only from the second
    // status line on when the first run did not end on a whole turn.
    EXPECT_EQ(status_lines(again.output).size(), lines.size());
}

TEST(Growth, SameSeedSameCallsSameOutputByteForByte) {
    // Start both runs from the same spinner position: one full turn is 4 lines.
    auto run = [] {
        setSeed(99);
        start_picture();
        testing::internal::CaptureStdout();
        for (int i = 0; i < 40; ++i) grow_batch(GRID_WIDTH, GRID_HEIGHT);  // 200 status lines
        std::string out = testing::internal::GetCapturedStdout();
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(image_grid);
        return std::make_pair(out, std::vector<std::uint8_t>(bytes, bytes + sizeof image_grid));
    };
    const auto a = run();
    const auto b = run();
    EXPECT_EQ(a.first, b.first);
    EXPECT_TRUE(a.second == b.second);
}

TEST(Growth, BatchOnAFullGridDoesNothing) {
    std::memset(image_grid, 9, sizeof image_grid);
    completed_count = GRID_CELLS;
    setSeed(4);
    testing::internal::CaptureStdout();
    grow_batch(GRID_WIDTH, GRID_HEIGHT);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(completed_count, GRID_CELLS);
    setSeed(4);
    const std::int32_t untouched = next(31);
    setSeed(4);
    grow_batch(GRID_WIDTH, GRID_HEIGHT);
    EXPECT_EQ(next(31), untouched);
}

// A status line with its spinner character left out: the program's spinner
// carries on from whatever ran before in this process.
std::vector<std::string> without_spinner(std::vector<std::string> lines) {
    for (std::string& line : lines) {
        const std::size_t at = line.find('%');
        if (at != std::string::npos && at + 4 < line.size()) line[at + 4] = '*';
    }
    return lines;
}

TEST(Growth, WholePicturesAreThoseOfThePlainRule) {
    // The engine keeps the generator in a register, draws pairs two steps at a
    // time, rejects set cells by their marks and looks for a full grid from a
    // cursor; the plain version does none of that. Three pictures in a row from
    // each seed: the later ones start where the stream and the marks were left.
    for (std::int64_t seed : {std::int64_t{0}, std::int64_t{1}, std::int64_t{-7}, std::int64_t{1765000000}}) {
        setSeed(seed);
        plain::set_seed(seed);
        for (int picture = 0; picture < 3; ++picture) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << ", picture " << picture);
            const Picture grown = grow_whole_picture();
            testing::internal::CaptureStdout();
            const int plain_loops = plain::grow_picture();
            const std::string plain_output = testing::internal::GetCapturedStdout();
            EXPECT_EQ(grown.loops, plain_loops);
            EXPECT_EQ(locii, plain::locii());
            EXPECT_EQ(completed_count, GRID_CELLS);
            EXPECT_EQ(std::memcmp(grown.cells.data(), plain::grid_bytes(), grown.cells.size()), 0);
            EXPECT_EQ(without_spinner(status_lines(grown.output)), without_spinner(status_lines(plain_output)));
        }
    }
}

}  // namespace
