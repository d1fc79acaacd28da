// The program's one pseudo-random generator: a 48-bit linear congruential
// generator with a bounded draw that rejects biased values. The state is
// program-wide.
#pragma once

#include <cstdint>

void setSeed(std::int64_t seed);

// Advances the state one step and returns its top `bits` bits (1..32).
std::int32_t next(int bits);

// A uniformly distributed value in 0 .. bound-1. A bound of zero or below shows
// a warning, leaves the state alone and gives 0.
std::int32_t nextIntMax(std::int32_t bound);

// ---- for a hot loop: the state taken into a local variable, which the
// compiler keeps in a register, drawn from there and put back. Between the two,
// every draw goes through the local copy.

std::uint64_t take_state();
void put_state(std::uint64_t state);

// nextIntMax on the caller's copy of the state.
std::int32_t nextIntMax(std::uint64_t* state, std::int32_t bound);

// Draws x = nextIntMax(bound_x), then y = nextIntMax(bound_y), and again while
// taken(x, y) is true: the same values and steps as that loop. The growth
// engine spends most of its time here, picking cells late in a picture.
template <typename Taken>
void draw_pair_while(std::uint64_t* state, std::int32_t bound_x, std::int32_t bound_y, std::int32_t* x, std::int32_t* y,
                     Taken taken);

// ---- inline definitions: the growth engine draws millions of times a picture

namespace random_detail {

constexpr std::uint64_t MULTIPLIER = 0x5DEECE66DULL;
constexpr std::uint64_t ADDEND = 0xBULL;
constexpr std::uint64_t MASK = (1ULL << 48) - 1;

// Copies of the state are stepped modulo 2^64, which leaves the low 48 bits,
// the only ones read, as they would be if reduced after every step.
extern std::uint64_t state;

std::int32_t reject_bound(std::int32_t bound);  // warns, returns 0

inline std::uint64_t step(std::uint64_t s) { return s * MULTIPLIER + ADDEND; }
// Two steps in one: s -> MULTIPLIER_2 * s + ADDEND_2.
constexpr std::uint64_t MULTIPLIER_2 = MULTIPLIER * MULTIPLIER;
constexpr std::uint64_t ADDEND_2 = ADDEND * MULTIPLIER + ADDEND;

// next(31) of a state: bits 17 .. 47.
inline std::uint32_t top31(std::uint64_t s) { return static_cast<std::uint32_t>(s >> 17) & 0x7FFFFFFFu; }

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

inline std::uint64_t take_state() { return random_detail::state; }
inline void put_state(std::uint64_t state) { random_detail::state = state & random_detail::MASK; }

inline std::int32_t nextIntMax(std::uint64_t* state, std::int32_t bound) {
    using namespace random_detail;
    if (bound <= 0) return reject_bound(bound);
    std::int32_t v;
    do *state = step(*state);
    while (!bounded(top31(*state), static_cast<std::uint32_t>(bound), &v));
    return v;
}

inline std::int32_t nextIntMax(std::int32_t bound) {
    std::uint64_t state = take_state();
    const std::int32_t v = nextIntMax(&state, bound);
    put_state(state);
    return v;
}

inline std::int32_t next(int bits) {
    std::uint64_t state = random_detail::step(take_state());
    put_state(state);
    return static_cast<std::int32_t>((state & random_detail::MASK) >> (48 - bits));
}

template <typename Taken>
inline void draw_pair_while(std::uint64_t* state, std::int32_t bound_x, std::int32_t bound_y, std::int32_t* x,
                            std::int32_t* y, Taken taken) {
    using namespace random_detail;
    std::uint64_t s = *state;
    if (bound_x > 0 && bound_y > 0) {
        const auto bx = static_cast<std::uint32_t>(bound_x), by = static_cast<std::uint32_t>(bound_y);
        for (;;) {
            // Both states of the pair from the one before it, so the second
            // draw need not wait for the first.
            const std::uint64_t first = step(s), second = s * MULTIPLIER_2 + ADDEND_2;
            const bool x_fine = bounded(top31(first), bx, x);
            const bool y_fine = bounded(top31(second), by, y);
            if (!(x_fine && y_fine)) break;  // a rejected value: below, the plain way
            s = second;
            if (!taken(*x, *y)) {
                *state = s;
                return;
            }
        }
    }
    do {
        *x = nextIntMax(&s, bound_x);
        *y = nextIntMax(&s, bound_y);
    } while (taken(*x, *y));
    *state = s;
}
