#include "common/file_name.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FileName, NumberedBeforeTheExtension) {
    const struct {
        const char* name;
        int n;
        std::size_t size;
        const char* want;  // null: does not fit
    } cases[] = {
        {"randImage1796810400.bmp", 1, 64, "randImage1796810400.bmp"},
        {"randImage1796810400.bmp", 2, 64, "randImage1796810400-2.bmp"},
        {"randImage1796810400.bmp", 1000, 64, "randImage1796810400-1000.bmp"},
        {"a.b.bmp", 3, 64, "a.b-3.bmp"},  // the last dot
        {"plain", 2, 64, "plain-2"},
        {".hidden", 2, 64, ".hidden-2"},  // a leading dot is no extension
        {"dir.d/name", 2, 64, "dir.d/name-2"},
        {"a.bmp", 2, 8, "a-2.bmp"},  // exactly fits with its zero
        {"a.bmp", 2, 7, nullptr},
        {"a.bmp", 1, 5, nullptr},
    };
    for (const auto& c : cases) {
        char out[64] = "unchanged";
        const bool fits = numbered_name(c.name, c.n, out, c.size);
        EXPECT_EQ(fits, c.want != nullptr) << c.name << " " << c.n;
        if (c.want != nullptr) {
            EXPECT_EQ(std::string(out), c.want) << c.name << " " << c.n;
        }
    }
}

}  // namespace
