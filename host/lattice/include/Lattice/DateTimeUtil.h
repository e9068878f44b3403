#pragma once
#include "Lattice/Dates.h"
#include "Lattice/String.h"

#include <cstdint>

namespace Lattice {

// Date arithmetic and formats. Unless said otherwise, date-times keep their zoneOffset.
class DateTimeUtil {
public:
    // A date at midnight, zone offset 0.
    static _DateTimeData convertToDateTime(const _DateData& date);
    // The date part of a date-time.
    static _DateData convert(const _DateTimeData& dateTime);

    static _DateData addToDate(const _DateData& date, const _DurationData& d);
    static _DateTimeData addToDateTime(const _DateTimeData& dt, const _DurationData& d);
    // Adds to a time of day, wrapping around midnight.
    static _TimeData addToTime(const _TimeData& t, const _DurationData& d);

    // Moves a date-time to another zone: the same instant, with zoneOffset += biasMinutes and the
    // local fields shifted by -biasMinutes.
    static _DateTimeData shiftByBias(const _DateTimeData& dt, long biasMinutes);
    // The instant as GMT (zoneOffset 0).
    static _DateTimeData toGMT(const _DateTimeData& dt);

    static _DateTimeData computeCurrentGMTTime();
    static _DateTimeData computeCurrentLocalTime();

    static long timeToMinutes(const _TimeData& t);
    static _TimeData minutesToTime(long minutes);

    // Seconds since 1970-01-01 GMT and back (zone offset 0).
    static int64_t toEpochSeconds(const _DateTimeData& dt);
    static _DateTimeData fromEpochSeconds(int64_t seconds);
    static int dayOfWeek(const _DateData& date); // 0 = Sunday
    static int daysInMonth(int year, int month);
    static bool isValid(const _DateTimeData& dt);

    // RFC 5322 date, e.g. "Tue, 1 Nov 2005 15:20:00 +0100" (the offset from zoneOffset).
    static String getSMTPDateString(const _DateTimeData& dt);
    // The day the host shows in lists: "Tue, 1 Nov 2005".
    static String getSMTPDayString(const _DateTimeData& dt);
    // Parses an RFC 5322 date (with obsolete zone names); false for text that is not a date.
    static bool parseSMTPDate(const String& text, _DateTimeData& out);
};

} // namespace Lattice
