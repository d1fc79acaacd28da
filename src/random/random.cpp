#include "random.h"

#include "host.h"

namespace {

constexpr std::uint64_t MULTIPLIER = 0x5DEECE66DULL;
constexpr std::uint64_t ADDEND = 0xBULL;
constexpr std::uint64_t MASK = (1ULL << 48) - 1;

// Independent chains used to fill the look-ahead; each one jumps LANES steps.
constexpr int LANES = 8;
static_assert(random_detail::AHEAD % LANES == 0);

struct Jump {
    std::uint64_t mul;
    std::uint64_t add;
};

// The affine map of k steps, s -> mul * s + add (mod 2^48).
constexpr Jump jump(int k) {
    Jump j{1, 0};
    for (int i = 0; i < k; ++i) j = {(j.mul * MULTIPLIER) & MASK, (j.add * MULTIPLIER + ADDEND) & MASK};
    return j;
}

constexpr Jump LANE_JUMP = jump(LANES);

// The next LANES states, in order. Kept modulo 2^64: only the low 48 bits are
// ever read, and they are the same as when reduced after every step.
std::uint64_t lane[LANES];

}  // namespace

namespace random_detail {

std::uint32_t ahead[AHEAD];
int ahead_pos = AHEAD;

void refill() {
    for (int i = 0; i < AHEAD; i += LANES) {
        for (int j = 0; j < LANES; ++j) {
            ahead[i + j] = static_cast<std::uint32_t>(lane[j] >> 16);  // bits 16 .. 47
            lane[j] = lane[j] * LANE_JUMP.mul + LANE_JUMP.add;
        }
    }
    ahead_pos = 0;
}

std::int32_t reject_bound(std::int32_t bound) {
    show_warning(bound < 0 ? "IllegalArgumentException:   nextIntMax(arg) -- arg must be positive..."
                           : "IllegalArgumentException:   nextIntMax(arg) -- arg must be non-zero...",
                 "Non-Fatal Error");
    return 0;
}

}  // namespace random_detail

void setSeed(std::int64_t seed) {
    const std::uint64_t state = (static_cast<std::uint64_t>(seed) ^ MULTIPLIER) & MASK;
    for (int j = 0; j < LANES; ++j) {
        const Jump steps = jump(j + 1);
        lane[j] = steps.mul * state + steps.add;
    }
    random_detail::ahead_pos = random_detail::AHEAD;  // drop what was worked out from the old state
}
