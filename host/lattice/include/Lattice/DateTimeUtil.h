#pragma once
#include "Lattice/Dates.h"
#include "Lattice/String.h"

#include <cstdint>

namespace Lattice {

// Date arithmetic and formats on the proleptic Gregorian calendar, years 1..9999. Unless said
// otherwise, date-times keep their zoneOffset. An unset input ("no date", day 0) gives an unset
// result, and so does a result outside the supported years.
class DateTimeUtil {
public:
    // A date at midnight, zone offset 0.
    static _DateTimeData convertToDateTime(const _DateData& date);
    // The date part of a date-time.
    static _DateData convert(const _DateTimeData& dateTime);

    // Years and months first, with the day kept but cut to the month's length (31 Jan + 1 month =
    // 28/29 Feb); then days, hours, minutes and seconds as a span of time. On a date, a partial day
    // moves to the day the sum falls on.
    static _DateData addToDate(const _DateData& date, const _DurationData& d);
    static _DateTimeData addToDateTime(const _DateTimeData& dt, const _DurationData& d);
    // Adds hours, minutes and seconds to a time of day, wrapping around midnight; the calendar
    // fields of the duration do not move a time of day.
    static _TimeData addToTime(const _TimeData& t, const _DurationData& d);

    // Moves a date-time to another zone: the same instant, with zoneOffset += biasMinutes and the
    // local fields shifted by -biasMinutes.
    static _DateTimeData shiftByBias(const _DateTimeData& dt, long biasMinutes);
    // The instant as GMT (zoneOffset 0).
    static _DateTimeData toGMT(const _DateTimeData& dt);

    static _DateTimeData computeCurrentGMTTime();
    static _DateTimeData computeCurrentLocalTime();

    // Minutes since midnight (seconds dropped) and back; minutesToTime wraps into one day, so
    // -1 is 23:59 and 1440 is 00:00.
    static long timeToMinutes(const _TimeData& t);
    static _TimeData minutesToTime(long minutes);

    // Seconds since 1970-01-01 GMT of the instant (the zoneOffset counts; hundredths dropped),
    // and back as GMT (zone offset 0). toEpochSeconds takes out-of-range fields as carries.
    static int64_t toEpochSeconds(const _DateTimeData& dt);
    static _DateTimeData fromEpochSeconds(int64_t seconds);
    static int dayOfWeek(const _DateData& date); // 0 = Sunday
    static int daysInMonth(int year, int month); // 0 for a month outside 1..12
    // Every field in range, the year in 1..9999 and |zoneOffset| at most a day.
    static bool isValid(const _DateTimeData& dt);

    // RFC 5322 date, e.g. "Tue, 1 Nov 2005 15:20:00 +0100": the local fields with the offset east
    // of GMT, i.e. -zoneOffset. Out-of-range fields are normalised first; the empty text for an
    // unset or unrepresentable value.
    static String getSMTPDateString(const _DateTimeData& dt);
    // The day the host shows in lists: "Tue, 1 Nov 2005"; the empty text for an unset value.
    static String getSMTPDayString(const _DateTimeData& dt);
    // Parses an RFC 5322 date, also its obsolete forms: two- and three-digit years, comments,
    // zone names (UT, GMT, EST...PDT, and military letters, which count as -0000) and a missing
    // zone (GMT). The local fields come out as written, zoneOffset = -(the offset). False, with
    // `out` untouched, for text that is not a date.
    static bool parseSMTPDate(const String& text, _DateTimeData& out);
};

} // namespace Lattice
