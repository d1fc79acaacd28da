#include <windows.h>
#include <mmsystem.h>

#include "common/output.h"
#include "host.h"

namespace {

std::int64_t counter_ms() {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return now.QuadPart / frequency.QuadPart * 1000 + now.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart;
}

// A monotonic clock, so that setting the wall clock never makes a duration
// negative or jump.
const std::int64_t program_start_ms = counter_ms();

// The system timer ticks every 15.6 ms unless asked for better, which would
// turn the 5 ms pause into three times that.
struct FineTimer {
    FineTimer() { timeBeginPeriod(1); }
    ~FineTimer() { timeEndPeriod(1); }
} fine_timer;

}  // namespace

std::int64_t wall_time_seconds() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t;
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    constexpr unsigned long long FROM_1601_TO_1970 = 116444736000000000ULL;  // in 100 ns units
    return static_cast<std::int64_t>((t.QuadPart - FROM_1601_TO_1970) / 10000000ULL);
}

std::int32_t elapsed_ms() {
    // Wraps modulo 2^32, as a 32-bit millisecond count does; ms_between copes.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter_ms() - program_start_ms));
}

void sleep_ms(std::int32_t ms) {
    flush_terminal_output();
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}
