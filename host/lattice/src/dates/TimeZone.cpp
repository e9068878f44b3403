#include "Lattice/DateTimeUtil.h"

#include "Civil.h"

namespace Lattice {

using namespace civil;

namespace {

// Local seconds of a transition in `year`: the nth weekday of the month (week 5 = the last one).
int64_t transitionSeconds(const _TimeZoneData::Transition& t, int64_t year) {
    int month = t.month;
    int weekday = static_cast<int>(floorMod(t.weekday, 7));
    int week = t.week < 1 ? 1 : (t.week > 5 ? 5 : t.week);
    int64_t first = daysFromCivil(year, month, 1);
    int firstWeekday = static_cast<int>(floorMod(first + 4, 7));
    int64_t day = first + floorMod(weekday - firstWeekday, 7) + int64_t{week - 1} * 7;
    int64_t last = first + daysIn(year, month) - 1;
    while (day > last)
        day -= 7;
    return day * kSecondsPerDay + int64_t{t.hour} * 3600 + int64_t{t.minute} * 60;
}

bool validTransition(const _TimeZoneData::Transition& t) {
    return t.month >= 1 && t.month <= 12;
}

// Whether `t` lies in daylight time, given the year's two transitions on the same clock as `t`.
bool inDaylight(int64_t t, int64_t daylightStart, int64_t standardStart) {
    if (daylightStart < standardStart)
        return t >= daylightStart && t < standardStart;
    // Southern hemisphere: daylight time spans the turn of the year.
    return t >= daylightStart || t < standardStart;
}

int64_t yearOf(int64_t localSecs) {
    int64_t y;
    int m, d;
    civilFromDays(floorDiv(localSecs, kSecondsPerDay), y, m, d);
    return y;
}

} // namespace

// Wall-clock times are compared with each transition on the clock in force just before it
// (daylight start in standard time, standard start in daylight time). So the hour skipped in
// spring counts as daylight time and the repeated hour in autumn as daylight time too.
long _TimeZoneData::biasAt(const _DateTimeData& local) const {
    if (!hasDaylight() || !validTransition(daylightStart) || !validTransition(standardStart) ||
        !local.isSet())
        return bias + standardBias;
    int64_t t = localSeconds(local);
    int64_t year = yearOf(t);
    return inDaylight(t, transitionSeconds(daylightStart, year), transitionSeconds(standardStart, year))
               ? bias + daylightBias
               : bias + standardBias;
}

_DateTimeData _TimeZoneData::adjust(const _DateTimeData& value) const {
    if (!value.isSet())
        return value;
    const int64_t gmt = DateTimeUtil::toEpochSeconds(value);
    long inForce = bias + standardBias;
    if (hasDaylight() && validTransition(daylightStart) && validTransition(standardStart)) {
        // Both transitions as GMT instants of the year the instant falls in, on standard time.
        const int64_t year = yearOf(gmt - int64_t{bias + standardBias} * 60);
        const int64_t dst = transitionSeconds(daylightStart, year) + int64_t{bias + standardBias} * 60;
        const int64_t standard = transitionSeconds(standardStart, year) + int64_t{bias + daylightBias} * 60;
        if (inDaylight(gmt, dst, standard))
            inForce = bias + daylightBias;
    }
    return fromLocalHundredths((gmt - int64_t{inForce} * 60) * 100 + value.hundredths, inForce);
}

_DateTimeData _TimeZoneData::normalize(const _DateTimeData& value) {
    if (!value.isSet())
        return value;
    return fromLocalHundredths(localHundredths(value), value.zoneOffset);
}

} // namespace Lattice
