#pragma once
// The machine's clock and local-time rules in 64-bit seconds (not installed). The 32-bit Windows
// runtime's time_t, and the clock_gettime built on it, stop at 2038.
#include <cstdint>
#include <ctime>

namespace Lattice::wallclock {

struct Reading {
    int64_t seconds = 0; // since 1970-01-01 00:00 GMT
    int32_t nanos = 0;
};

Reading now();

// The local fields of a time and its offset east of GMT in seconds; false where the runtime knows
// no local time for it.
bool localFields(int64_t seconds, std::tm* out, int64_t* eastSeconds);

} // namespace Lattice::wallclock
