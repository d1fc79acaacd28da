#include "preview.h"

#include <gtest/gtest.h>

namespace {

TEST(Preview, PixelCodeIsTheAverageBrightnessSkippingCursorMovers) {
    const struct {
        Pixel pixel;
        int code;
    } cases[] = {{{{0, 0, 0}}, 0},     {{{1, 1, 1}}, 1},         {{{255, 255, 255}}, 255}, {{{7, 7, 8}}, 11},
                 {{{13, 13, 13}}, 14}, {{{11, 11, 11}}, 11},     {{{9, 9, 9}}, 11},        {{{10, 10, 11}}, 11},
                 {{{100, 50, 0}}, 50}, {{{200, 201, 203}}, 201}, {{{12, 12, 12}}, 12},     {{{6, 6, 8}}, 6}};
    for (const auto& c : cases)
        EXPECT_EQ(pixel_char_code(c.pixel), c.code)
            << int{c.pixel.channel[0]} << "," << int{c.pixel.channel[1]} << "," << int{c.pixel.channel[2]};
}

}  // namespace
