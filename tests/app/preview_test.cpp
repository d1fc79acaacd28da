#include "preview.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "host.h"
#include "posix/sys.h"
#include "support.h"

namespace {

const std::vector<std::string> UTF8_TERMINAL = {"LANG=C.UTF-8", "LC_ALL", "LC_CTYPE"};

TEST(Preview, ShowsTheTopLeftEightyByFiftyCorner) {
    const std::vector<int> codes = shown_codes(run_in_pty(
        [] {
            host_start();
            // Brightness from the position, so a row or column out of place shows.
            for (int y = 0; y < GRID_HEIGHT; ++y)
                for (int x = 0; x < GRID_WIDTH; ++x) {
                    const std::uint8_t v = static_cast<std::uint8_t>(x < 80 && y < 50 ? 32 + (x + y) % 90 : 250);
                    *get_pixel(x, y) = Pixel{{v, v, v}};
                }
            show_progress(GRID_WIDTH, GRID_HEIGHT);
        },
        UTF8_TERMINAL));
    ASSERT_EQ(codes.size(), 50u * 81u + 1u);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(codes[static_cast<std::size_t>(y * 81 + x)], 32 + (x + y) % 90) << x << "," << y;
        ASSERT_EQ(codes[static_cast<std::size_t>(y * 81 + 80)], '\n') << "end of row " << y;
    }
    EXPECT_EQ(codes.back(), '\n');
}

TEST(Preview, SmallExtentsShowWhatThereIs) {
    EXPECT_EQ(shown_codes(run_in_pty(
                  [] {
                      host_start();
                      show_progress(0, 0);
                  },
                  UTF8_TERMINAL)),
              std::vector<int>{'\n'});
    const std::vector<int> codes = shown_codes(run_in_pty(
        [] {
            host_start();
            clear_grid();
            *get_pixel(1, 0) = Pixel{{90, 90, 90}};
            show_progress(3, 2);
        },
        UTF8_TERMINAL));
    EXPECT_EQ(codes, (std::vector<int>{0, 90, 0, '\n', 0, 0, 0, '\n', '\n'}));
}

int writes = 0;
ssize_t counted_write(int fd, const void* data, size_t size) {
    ++writes;
    return SYS_REAL.write(fd, data, size);
}

TEST(Preview, IsWrittenALineAtATime) {
    // A line feed, then 50 rows and one more line feed, as after P: one write
    // per line, not one per character.
    const std::string out = run_in_pty(
        [] {
            host_start();
            clear_grid();
            sys_calls.write = counted_write;
            put_char('\n');
            show_progress(GRID_WIDTH, GRID_HEIGHT);
            sys_calls = SYS_REAL;
            print_text("writes=%d\n", writes);
        },
        UTF8_TERMINAL);
    EXPECT_NE(out.find("writes=52\r\n"), std::string::npos) << out.substr(out.size() > 40 ? out.size() - 40 : 0);
}

}  // namespace
