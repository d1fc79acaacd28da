#include "random.h"

#include "host.h"

namespace random_detail {

std::uint64_t state = 0;

std::int32_t reject_bound(std::int32_t bound) {
    show_warning(bound < 0 ? "IllegalArgumentException:   nextIntMax(arg) -- arg must be positive..."
                           : "IllegalArgumentException:   nextIntMax(arg) -- arg must be non-zero...",
                 "Non-Fatal Error");
    return 0;
}

}  // namespace random_detail

void setSeed(std::int64_t seed) { put_state(static_cast<std::uint64_t>(seed) ^ random_detail::MULTIPLIER); }
