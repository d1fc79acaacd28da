// What every fuzz target shares: a check that stops the run with the broken
// promise named, and a reader of the input's next bytes as small numbers.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            (void)std::fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (0)

// The input, taken from the front: a byte at a time for choices, the rest as data.
struct FuzzInput {
    const unsigned char* data;
    std::size_t size;

    // A number in 0 .. limit - 1 from as many of the next bytes as the limit needs, the first the highest;
    // 0 once the input is used up.
    int pick(int limit) {
        int value = 0;
        for (int span = 1; span < limit && size > 0; span <<= 8, ++data, --size) value = value << 8 | *data;
        return limit > 0 ? value % limit : 0;
    }
};
