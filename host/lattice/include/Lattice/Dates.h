#pragma once
#include "Lattice/String.h"

namespace Lattice {

// A calendar date. The year is split as the host stores it: century * 100 + year.
// An all-zero record is "no date".
struct _DateData {
    short century = 0;
    short year = 0;  // year within the century, 0..99
    short month = 0; // 1..12
    short day = 0;   // 1..31; 0 means unset

    int fullYear() const { return century * 100 + year; }
    void setFullYear(int y) {
        century = static_cast<short>(y / 100);
        year = static_cast<short>(y % 100);
    }
    bool isSet() const { return day != 0; }
    bool operator==(const _DateData&) const = default;
};

// A time of day.
struct _TimeData {
    short hour = 0;
    short minute = 0;
    short second = 0;
    short hundredths = 0;
    bool operator==(const _TimeData&) const = default;
};

// A local date and time with the zone it was written in.
// zoneOffset is the bias in minutes WEST of GMT (GMT = local + zoneOffset): New York in winter is
// +300, Berlin in winter is -60. Notes counts its zones in hours the same way, so zoneOffset / 60
// is the Notes zone.
struct _DateTimeData {
    short century = 0;
    short year = 0;
    short month = 0;
    short day = 0;
    short hour = 0;
    short minute = 0;
    short second = 0;
    short hundredths = 0;
    long zoneOffset = 0;

    int fullYear() const { return century * 100 + year; }
    void setFullYear(int y) {
        century = static_cast<short>(y / 100);
        year = static_cast<short>(y % 100);
    }
    bool isSet() const { return day != 0; }
    _DateData date() const { return {century, year, month, day}; }
    _TimeData time() const { return {hour, minute, second, hundredths}; }
    bool operator==(const _DateTimeData&) const = default;
};

// A span of calendar and clock units; each field may be negative.
struct _DurationData {
    long years = 0;
    long months = 0;
    long days = 0;
    long hours = 0;
    long minutes = 0;
    long seconds = 0;
    bool operator==(const _DurationData&) const = default;
};

// A time zone with optional daylight-saving rule. Biases are minutes west of GMT.
// A transition is "the nth weekday of a month at a local time" (week 5 = last); month 0 = no DST.
struct _TimeZoneData {
    struct Transition {
        short month = 0;
        short week = 0;    // 1..5
        short weekday = 0; // 0 = Sunday
        short hour = 0;
        short minute = 0;
        bool operator==(const Transition&) const = default;
    };
    long bias = 0;
    long standardBias = 0; // added to bias outside daylight time (usually 0)
    long daylightBias = 0; // added to bias in daylight time (usually -60)
    Transition standardStart;
    Transition daylightStart;
    String name;

    bool hasDaylight() const { return daylightStart.month != 0 && standardStart.month != 0; }
    // Bias in force at a local date-time given in this zone.
    long biasAt(const _DateTimeData& local) const;
    // Converts a date-time (in whatever zone it carries) into this zone's local time.
    _DateTimeData adjust(const _DateTimeData& value) const;
    // Brings out-of-range fields (minute 75, day 32, ...) back into range, keeping the instant.
    static _DateTimeData normalize(const _DateTimeData& value);

    bool operator==(const _TimeZoneData&) const = default;
};

} // namespace Lattice
