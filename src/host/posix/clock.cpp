#include <ctime>

#include "host.h"

namespace {

std::int64_t monotonic_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// A monotonic clock, so that setting the wall clock never makes a duration
// negative or jump.
const std::int64_t program_start_ms = monotonic_ms();

}  // namespace

std::int64_t wall_time_seconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec);
}

std::int32_t elapsed_ms() {
    // Wraps modulo 2^32, as a 32-bit millisecond count does; ms_between copes.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(monotonic_ms() - program_start_ms));
}
