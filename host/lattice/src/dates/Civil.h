#pragma once
// Calendar arithmetic shared by the date facilities (not installed).
#include "Lattice/Dates.h"

#include <cstdint>

namespace Lattice::civil {

inline constexpr int kMinYear = 1;
inline constexpr int kMaxYear = 9999;
inline constexpr int64_t kSecondsPerDay = 86400;

inline int64_t floorDiv(int64_t a, int64_t b) {
    int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
inline int64_t floorMod(int64_t a, int64_t b) {
    return a - floorDiv(a, b) * b;
}

// Days since 1970-01-01 of a proleptic Gregorian date; month 1..12, any day (days carry linearly).
inline int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = floorDiv(y, 400);
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + (d - 1);
}

inline void civilFromDays(int64_t z, int64_t& y, int& m, int& d) {
    z += 719468;
    const int64_t era = floorDiv(z, 146097);
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = yoe + era * 400 + (m <= 2);
}

inline bool isLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

inline int daysIn(int64_t y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (m < 1 || m > 12)
        return 0;
    return m == 2 && isLeap(y) ? 29 : kDays[m - 1];
}

// Days since the epoch of a record's date; a month out of 1..12 carries into the year.
inline int64_t dayNumber(int64_t fullYear, int64_t month, int64_t day) {
    const int64_t months = fullYear * 12 + (month - 1);
    return daysFromCivil(floorDiv(months, 12), floorMod(months, 12) + 1, day);
}

// Seconds since the epoch of the local wall-clock fields (zone ignored, hundredths dropped).
inline int64_t localSeconds(const _DateTimeData& v) {
    return dayNumber(v.fullYear(), v.month, v.day) * kSecondsPerDay + int64_t{v.hour} * 3600 +
           int64_t{v.minute} * 60 + v.second;
}

// Local seconds of the record, with hundredths (any value) carried in.
inline int64_t localHundredths(const _DateTimeData& v) {
    return localSeconds(v) * 100 + v.hundredths;
}

// A record from local seconds; unset (all zero) when the year is out of the supported range.
inline _DateTimeData fromLocalSeconds(int64_t seconds, long hundredths, long zoneOffset) {
    int64_t days = floorDiv(seconds, kSecondsPerDay);
    int64_t rest = seconds - days * kSecondsPerDay;
    int64_t y;
    int m, d;
    civilFromDays(days, y, m, d);
    _DateTimeData r;
    if (y < kMinYear || y > kMaxYear)
        return r;
    r.setFullYear(static_cast<int>(y));
    r.month = static_cast<short>(m);
    r.day = static_cast<short>(d);
    r.hour = static_cast<short>(rest / 3600);
    r.minute = static_cast<short>(rest / 60 % 60);
    r.second = static_cast<short>(rest % 60);
    r.hundredths = static_cast<short>(hundredths);
    r.zoneOffset = zoneOffset;
    return r;
}

inline _DateTimeData fromLocalHundredths(int64_t h, long zoneOffset) {
    return fromLocalSeconds(floorDiv(h, 100), static_cast<long>(floorMod(h, 100)), zoneOffset);
}

} // namespace Lattice::civil
