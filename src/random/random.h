// The program's one pseudo-random generator: a 48-bit linear congruential
// generator with a bounded draw that rejects biased values.
//
// The state is program-wide. Successive states are worked out ahead of use, a
// block at a time, along several independent chains; the values given out are
// exactly those of stepping the state once per draw.
#pragma once

#include <cstdint>

void setSeed(std::int64_t seed);

// Advances the state one step and returns its top `bits` bits (1..32).
std::int32_t next(int bits);

// A uniformly distributed value in 0 .. bound-1. A bound of zero or below shows
// a warning, leaves the state alone and gives 0.
std::int32_t nextIntMax(std::int32_t bound);

// Draws x = nextIntMax(bound_x), then y = nextIntMax(bound_y), and again while
// taken(x, y) is true. The same values and steps as that loop, without its
// per-draw bookkeeping: the growth engine spends most of its time here.
template <typename Taken>
void draw_pair_while(std::int32_t bound_x, std::int32_t bound_y, std::int32_t* x, std::int32_t* y, Taken taken);

// ---- inline definitions: the growth engine draws millions of times a picture

namespace random_detail {

constexpr int AHEAD = 512;             // states worked out per refill
extern std::uint32_t ahead[AHEAD];     // top 32 of the 48 bits of the coming states
extern int ahead_pos;                  // index of the next unused one
void refill();                         // fills `ahead` and sets ahead_pos to 0
std::int32_t reject_bound(std::int32_t bound);  // warns, returns 0

inline std::uint32_t step() {
    if (ahead_pos == AHEAD) refill();
    return ahead[ahead_pos++];
}

// One try of nextIntMax for a bound above zero, given r = next(31). False when
// r lies in the top partial block of 31-bit values and must be drawn again, so
// that every result is equally likely.
inline bool bounded(std::uint32_t r, std::uint32_t bound, std::int32_t* out) {
    if ((bound & -bound) == bound) {
        *out = static_cast<std::int32_t>((static_cast<std::uint64_t>(bound) * r) >> 31);
        return true;
    }
    // Unsigned arithmetic gives the same values (r is below 2^31, bound above
    // 0) and lets the compiler turn a constant bound into a multiplication.
    const std::uint32_t v = r % bound;
    *out = static_cast<std::int32_t>(v);
    return r - v <= 0x80000000u - bound;  // r - v + (bound - 1) stays within 2^31 - 1
}

}  // namespace random_detail

inline std::int32_t next(int bits) {
    return static_cast<std::int32_t>(random_detail::step() >> (32 - bits));
}

inline std::int32_t nextIntMax(std::int32_t bound) {
    if (bound <= 0) return random_detail::reject_bound(bound);
    std::int32_t v;
    while (!random_detail::bounded(static_cast<std::uint32_t>(next(31)), static_cast<std::uint32_t>(bound), &v)) {
    }
    return v;
}

template <typename Taken>
inline void draw_pair_while(std::int32_t bound_x, std::int32_t bound_y, std::int32_t* x, std::int32_t* y,
                            Taken taken) {
    using namespace random_detail;
    for (;;) {
        // Whole pairs straight from the look-ahead while neither value is rejected.
        if (bound_x > 0 && bound_y > 0) {
            int pos = ahead_pos;
            while (pos <= AHEAD - 2 && bounded(ahead[pos] >> 1, static_cast<std::uint32_t>(bound_x), x) &&
                   bounded(ahead[pos + 1] >> 1, static_cast<std::uint32_t>(bound_y), y)) {
                pos += 2;
                if (!taken(*x, *y)) {
                    ahead_pos = pos;
                    return;
                }
            }
            ahead_pos = pos;
        }
        // The end of the look-ahead, a rejected value or a bad bound: one pair the plain way.
        *x = nextIntMax(bound_x);
        *y = nextIntMax(bound_y);
        if (!taken(*x, *y)) return;
    }
}
