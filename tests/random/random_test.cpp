#include "random.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

// The generator stepped one multiply at a time, as the definition reads.
struct PlainLcg {
    std::uint64_t state;
    explicit PlainLcg(std::int64_t seed)
        : state((static_cast<std::uint64_t>(seed) ^ 0x5DEECE66DULL) & 0xFFFFFFFFFFFFULL) {}
    std::int32_t next(int bits) {
        state = (state * 0x5DEECE66DULL + 0xB) & 0xFFFFFFFFFFFFULL;
        return static_cast<std::int32_t>(state >> (48 - bits));
    }
};

TEST(Random, KnownDrawsAfterSeedZero) {
    setSeed(0);
    const int coords[] = {160, 348, 29, 47, 315};
    for (int want : coords) EXPECT_EQ(nextIntMax(400), want);
    setSeed(0);
    const int directions[] = {5, 6, 1, 4, 5};
    for (int want : directions) EXPECT_EQ(nextIntMax(8), want);
}

TEST(Random, MatchesOneStepAtATime) {
    const std::int64_t seeds[] = {0, 1, 42, -1, 1765123456, INT64_MIN};
    for (std::int64_t seed : seeds) {
        setSeed(seed);
        PlainLcg plain(seed);
        for (int i = 0; i < 5000; ++i) {
            const int bits = 1 + i % 32;
            ASSERT_EQ(next(bits), plain.next(bits)) << "seed " << seed << " draw " << i;
        }
    }
}

TEST(Random, ReseedingMidStreamStartsTheNewStream) {
    setSeed(7);
    for (int i = 0; i < 100; ++i) next(31);
    setSeed(9);
    PlainLcg plain(9);
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(next(31), plain.next(31));
}

TEST(Random, RejectionLoopDiscardsTheTopPartialBlock) {
    // With a bound just above 2^30 almost half the 31-bit values are rejected,
    // so a wrong acceptance test or a lost step shows within a few draws.
    const std::int32_t bound = (1 << 30) + 1;
    setSeed(3);
    PlainLcg plain(3);
    for (int i = 0; i < 200; ++i) {
        std::int32_t want;
        for (;;) {
            const std::int32_t r = plain.next(31);
            const std::int32_t v = r % bound;
            if (static_cast<std::int64_t>(r) - v + (bound - 1) <= INT32_MAX) {
                want = v;
                break;
            }
        }
        ASSERT_EQ(nextIntMax(bound), want) << "draw " << i;
    }
    EXPECT_EQ(next(31), plain.next(31));  // and exactly as many steps were used
}

// The plain loop that draw_pair_while stands for, on the reference generator.
std::int32_t plain_bounded(PlainLcg& lcg, std::int32_t bound) {
    if ((bound & -bound) == bound)
        return static_cast<std::int32_t>((static_cast<std::int64_t>(bound) * lcg.next(31)) >> 31);
    for (;;) {
        const std::int32_t r = lcg.next(31);
        const std::int32_t v = r % bound;
        if (static_cast<std::int64_t>(r) - v + (bound - 1) <= INT32_MAX) return v;
    }
}

TEST(Random, PairDrawsMatchThePlainLoop) {
    // Bounds with many rejected values, powers of two and the grid size, at
    // both alignments of the pairs to the stream, on a state taken out of the
    // generator and put back.
    const std::int32_t bounds[][2] = {{400, 400}, {(1 << 30) + 1, 400}, {400, (1 << 30) + 3}, {8, 400}, {1, 1}};
    for (const auto& b : bounds) {
        setSeed(17);
        PlainLcg plain(17);
        // Taken for about three pairs in four, decided from the values alone.
        auto taken = [](std::int32_t x, std::int32_t y) {
            return (static_cast<std::uint32_t>(x) * 31u + static_cast<std::uint32_t>(y) * 7u) % 4u != 0;
        };
        for (int round = 0; round < 3000; ++round) {
            if (round % 7 == 0) {  // shift the alignment now and then
                ASSERT_EQ(next(31), plain.next(31));
            }
            std::int32_t x = -1, y = -1;
            std::uint64_t state = take_state();
            draw_pair_while(&state, b[0], b[1], &x, &y, taken);
            put_state(state);
            std::int32_t px, py;
            do {
                px = plain_bounded(plain, b[0]);
                py = plain_bounded(plain, b[1]);
            } while (taken(px, py));
            ASSERT_EQ(x, px) << "bounds " << b[0] << "," << b[1] << " round " << round;
            ASSERT_EQ(y, py) << "bounds " << b[0] << "," << b[1] << " round " << round;
        }
        EXPECT_EQ(next(31), plain.next(31));
    }
}

TEST(Random, BoundOfOneGivesZeroAndStillSteps) {
    setSeed(11);
    PlainLcg plain(11);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(nextIntMax(1), 0);
        plain.next(31);
    }
    EXPECT_EQ(next(31), plain.next(31));
}

TEST(Random, BadBoundsWarnAndLeaveTheStateAlone) {
    setSeed(5);
    PlainLcg plain(5);
    testing::internal::CaptureStderr();
    EXPECT_EQ(nextIntMax(0), 0);
    const std::string zero = testing::internal::GetCapturedStderr();
    testing::internal::CaptureStderr();
    EXPECT_EQ(nextIntMax(-5), 0);
    const std::string negative = testing::internal::GetCapturedStderr();
    EXPECT_EQ(zero, "Non-Fatal Error: IllegalArgumentException:   nextIntMax(arg) -- arg must be non-zero...\n");
    EXPECT_EQ(negative, "Non-Fatal Error: IllegalArgumentException:   nextIntMax(arg) -- arg must be positive...\n");
    EXPECT_EQ(next(31), plain.next(31));
}

TEST(Random, OnlyTheLow48BitsOfTheSeedMatter) {
    const std::int64_t low = 0x123456789ABCLL;
    const std::int64_t high = low | (static_cast<std::int64_t>(0x7FFF) << 48);
    setSeed(low);
    std::int32_t first[50];
    for (std::int32_t& v : first) v = nextIntMax(400);
    setSeed(high);
    for (std::int32_t want : first) ASSERT_EQ(nextIntMax(400), want);
}

}  // namespace
