#include "grid.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

void fill_grid(std::uint8_t value) { std::memset(image_grid, value, sizeof image_grid); }

TEST(Grid, GetPixelAddressesRowMajorCellsAndRejectsOutside) {
    const auto* base = reinterpret_cast<const std::uint8_t*>(image_grid);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(get_pixel(399, 399)) - base, 479997);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(get_pixel(3, 2)) - base, (2 * 400 + 3) * 3);
    EXPECT_EQ(sizeof image_grid, 480000u);
    EXPECT_EQ(get_pixel(400, 0), nullptr);
    EXPECT_EQ(get_pixel(0, 400), nullptr);
    EXPECT_EQ(get_pixel(-1, 5), nullptr);
    EXPECT_EQ(get_pixel(5, -1), nullptr);
    EXPECT_EQ(get_pixel(INT32_MIN, 0), nullptr);
}

TEST(Grid, PixelIsSetOnlyWhenAllThreeChannelsAreNonZero) {
    Pixel partly{{0, 200, 17}};
    Pixel dim{{1, 1, 1}};
    Pixel no_blue{{9, 9, 0}};
    EXPECT_EQ(pixel_if_set(&partly), nullptr);
    EXPECT_EQ(pixel_if_set(&no_blue), nullptr);
    EXPECT_EQ(pixel_if_set(&dim), &dim);
    EXPECT_EQ(pixel_if_set(nullptr), nullptr);
}

TEST(Grid, ImageFullScansTheGivenExtent) {
    clear_grid();
    EXPECT_FALSE(image_full(400, 400));
    EXPECT_TRUE(image_full(0, 400));
    EXPECT_TRUE(image_full(400, 0));
    EXPECT_TRUE(image_full(-3, 10));

    fill_grid(1);
    EXPECT_TRUE(image_full(400, 400));
    EXPECT_FALSE(image_full(401, 400));  // cells beyond the grid never count as set
    EXPECT_FALSE(image_full(400, 401));

    get_pixel(399, 399)->channel[1] = 0;  // the very last byte that could matter
    EXPECT_FALSE(image_full(400, 400));
    EXPECT_TRUE(image_full(399, 400));
    EXPECT_TRUE(image_full(400, 399));

    fill_grid(1);
    get_pixel(10, 0)->channel[2] = 0;
    EXPECT_FALSE(image_full(11, 1));
    EXPECT_TRUE(image_full(10, 400));

    // The scan goes on from the first unset cell it found last time; a cell
    // before that, unset by other hands, still counts.
    clear_grid();
    std::memset(image_grid, 1, sizeof(Pixel) * 3 * 400);  // the top three rows
    EXPECT_FALSE(image_full(400, 400));
    EXPECT_TRUE(image_full(400, 3));
    fill_grid(1);
    get_pixel(5, 0)->channel[0] = 0;
    EXPECT_FALSE(image_full(400, 400));
    EXPECT_FALSE(image_full(400, 1));
}

TEST(Grid, MarksAreCellsOfTheirOwnAndGoWithTheGrid) {
    clear_grid();
    const int cells[][2] = {{0, 0}, {63, 0}, {64, 0}, {399, 0}, {0, 1}, {17, 250}, {399, 399}};
    for (const auto& c : cells) mark_cell(c[0], c[1]);
    int marked = 0;
    for (int y = 0; y < GRID_HEIGHT; ++y)
        for (int x = 0; x < GRID_WIDTH; ++x) marked += cell_marked(x, y);
    EXPECT_EQ(marked, 7);
    for (const auto& c : cells) EXPECT_TRUE(cell_marked(c[0], c[1])) << c[0] << "," << c[1];
    clear_grid();
    for (const auto& c : cells) EXPECT_FALSE(cell_marked(c[0], c[1])) << c[0] << "," << c[1];
}

}  // namespace
