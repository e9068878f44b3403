#include "WallClock.h"

#ifdef _WIN32
#include <sys/timeb.h>
#endif

namespace Lattice::wallclock {

#ifdef _WIN32

Reading now() {
    __timeb64 now{};
    _ftime64(&now);
    return {now.time, int32_t{now.millitm} * 1000000};
}

bool localFields(int64_t seconds, std::tm* out, int64_t* eastSeconds) {
    const __time64_t t = seconds;
    if (_localtime64_s(out, &t) != 0)
        return false;
    std::tm asGMT = *out; // Windows' tm has no offset: read the local fields back as GMT
    *eastSeconds = int64_t{_mkgmtime64(&asGMT)} - seconds;
    return true;
}

#else

static_assert(sizeof(std::time_t) >= 8, "times past 2038 need a 64-bit time_t");

Reading now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return {ts.tv_sec, static_cast<int32_t>(ts.tv_nsec)};
}

bool localFields(int64_t seconds, std::tm* out, int64_t* eastSeconds) {
    const std::time_t t = seconds;
    if (!localtime_r(&t, out))
        return false;
    *eastSeconds = out->tm_gmtoff;
    return true;
}

#endif

} // namespace Lattice::wallclock
