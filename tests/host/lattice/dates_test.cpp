// Dates: calendar arithmetic, zones and daylight rules, epoch and RFC 5322 texts.
#include "Lattice/DateTimeUtil.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

using namespace Lattice;

namespace {

_DateTimeData dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, long zone = 0) {
    _DateTimeData v;
    v.setFullYear(y);
    v.month = static_cast<short>(mo);
    v.day = static_cast<short>(d);
    v.hour = static_cast<short>(h);
    v.minute = static_cast<short>(mi);
    v.second = static_cast<short>(s);
    v.zoneOffset = zone;
    return v;
}

_DateData date(int y, int mo, int d) {
    return dt(y, mo, d).date();
}

_DurationData days(long n) {
    _DurationData d;
    d.days = n;
    return d;
}

_DurationData months(long n) {
    _DurationData d;
    d.months = n;
    return d;
}

_DurationData years(long n) {
    _DurationData d;
    d.years = n;
    return d;
}

_DurationData minutes(long n) {
    _DurationData d;
    d.minutes = n;
    return d;
}

// US Eastern: second Sunday of March 2:00 to first Sunday of November 2:00.
_TimeZoneData newYork() {
    _TimeZoneData z;
    z.bias = 300;
    z.daylightBias = -60;
    z.daylightStart = {3, 2, 0, 2, 0};
    z.standardStart = {11, 1, 0, 2, 0};
    z.name = "Eastern";
    return z;
}

// Central Europe: last Sunday of March 2:00 to last Sunday of October 3:00.
_TimeZoneData berlin() {
    _TimeZoneData z;
    z.bias = -60;
    z.daylightBias = -60;
    z.daylightStart = {3, 5, 0, 2, 0};
    z.standardStart = {10, 5, 0, 3, 0};
    return z;
}

// Daylight time across the turn of the year.
_TimeZoneData sydney() {
    _TimeZoneData z;
    z.bias = -600;
    z.daylightBias = -60;
    z.daylightStart = {10, 1, 0, 2, 0};
    z.standardStart = {4, 1, 0, 3, 0};
    return z;
}

} // namespace

TEST(DateArithmetic, MonthsAreCutToTheMonthEnd) {
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 1, 31), months(1)), date(2024, 2, 29));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2023, 1, 31), months(1)), date(2023, 2, 28));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2000, 1, 31), months(1)), date(2000, 2, 29));
    EXPECT_EQ(DateTimeUtil::addToDate(date(1900, 1, 31), months(1)), date(1900, 2, 28));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 3, 31), months(-1)), date(2024, 2, 29));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 1, 15), months(-13)), date(2022, 12, 15));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 11, 30), months(3)), date(2025, 2, 28));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 2, 29), years(1)), date(2025, 2, 28));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 2, 29), years(4)), date(2028, 2, 29));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2000, 2, 29), years(-100)), date(1900, 2, 28));
}

TEST(DateArithmetic, DaysAcrossLeapDaysAndYearEnds) {
    EXPECT_EQ(DateTimeUtil::addToDate(date(2000, 3, 1), days(-1)), date(2000, 2, 29));
    EXPECT_EQ(DateTimeUtil::addToDate(date(1900, 3, 1), days(-1)), date(1900, 2, 28));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 2, 28), days(1)), date(2024, 2, 29));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2023, 12, 31), days(1)), date(2024, 1, 1));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 1, 1), days(-1)), date(2023, 12, 31));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 12, 31), days(-366)), date(2023, 12, 31));
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 3, 3), days(-2)), date(2024, 3, 1));
    // A partial day on a date moves to the day the sum falls on.
    _DurationData back;
    back.hours = -1;
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 3, 1), back), date(2024, 2, 29));
    // Years and months go first, then days.
    _DurationData mixed;
    mixed.months = 1;
    mixed.days = 1;
    EXPECT_EQ(DateTimeUtil::addToDate(date(2024, 1, 31), mixed), date(2024, 3, 1));
}

TEST(DateArithmetic, UnsetAndOutOfRangeGiveNoDate) {
    EXPECT_FALSE(DateTimeUtil::addToDate(_DateData(), days(5)).isSet());
    EXPECT_FALSE(DateTimeUtil::addToDate(date(9999, 12, 31), days(1)).isSet());
    EXPECT_FALSE(DateTimeUtil::addToDate(date(1, 1, 1), days(-1)).isSet());
    EXPECT_FALSE(DateTimeUtil::addToDate(date(2024, 1, 1), years(LONG_MAX)).isSet());
    EXPECT_FALSE(DateTimeUtil::addToDate(date(2024, 1, 1), days(LONG_MIN)).isSet());
    _DurationData huge;
    huge.seconds = LONG_MAX;
    huge.minutes = LONG_MAX;
    huge.hours = LONG_MAX;
    EXPECT_FALSE(DateTimeUtil::addToDateTime(dt(2024, 1, 1), huge).isSet());
    EXPECT_EQ(DateTimeUtil::addToDate(date(9999, 12, 30), days(1)), date(9999, 12, 31));
}

TEST(DateArithmetic, DateTimesKeepTheirZoneAndConvertToTheirDay) {
    auto r = DateTimeUtil::addToDateTime(dt(2023, 12, 31, 23, 30, 0, 300), minutes(45));
    EXPECT_EQ(r, dt(2024, 1, 1, 0, 15, 0, 300));
    r = DateTimeUtil::addToDateTime(dt(2024, 3, 1, 0, 0, 0, -60), minutes(-1));
    EXPECT_EQ(r, dt(2024, 2, 29, 23, 59, 0, -60));
    _DurationData d;
    d.seconds = 86400 * 2 + 1;
    EXPECT_EQ(DateTimeUtil::addToDateTime(dt(2024, 2, 28), d), dt(2024, 3, 1, 0, 0, 1));
    // A date is midnight of its day; a date-time gives its day whatever its zone.
    EXPECT_EQ(DateTimeUtil::convertToDateTime(date(2024, 2, 29)), dt(2024, 2, 29));
    EXPECT_EQ(DateTimeUtil::convert(dt(2024, 2, 29, 13, 5, 0, 300)), date(2024, 2, 29));
    EXPECT_FALSE(DateTimeUtil::convertToDateTime(_DateData()).isSet());
}

TEST(DateArithmetic, TimesWrapAroundMidnight) {
    _TimeData t{23, 30, 0, 0};
    EXPECT_EQ(DateTimeUtil::addToTime(t, minutes(45)), (_TimeData{0, 15, 0, 0}));
    EXPECT_EQ(DateTimeUtil::addToTime(_TimeData{0, 10, 0, 0}, minutes(-20)), (_TimeData{23, 50, 0, 0}));
    EXPECT_EQ(DateTimeUtil::addToTime(t, days(3)), t);
    EXPECT_GE(DateTimeUtil::addToTime(t, minutes(LONG_MIN)).hour, 0);

    EXPECT_EQ(DateTimeUtil::timeToMinutes(_TimeData{10, 15, 59, 0}), 615);
    EXPECT_EQ(DateTimeUtil::minutesToTime(615), (_TimeData{10, 15, 0, 0}));
    EXPECT_EQ(DateTimeUtil::minutesToTime(-1), (_TimeData{23, 59, 0, 0}));
    EXPECT_EQ(DateTimeUtil::minutesToTime(1440), (_TimeData{0, 0, 0, 0}));
}

TEST(Zones, WestOfGMTIsPositive) {
    // 15:00 in New York in winter is 20:00 GMT.
    auto ny = dt(2024, 1, 15, 15, 0, 0, 300);
    EXPECT_EQ(DateTimeUtil::toGMT(ny), dt(2024, 1, 15, 20, 0, 0, 0));
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(ny), DateTimeUtil::toEpochSeconds(dt(2024, 1, 15, 20)));
    // Berlin at 15:00 is 14:00 GMT.
    EXPECT_EQ(DateTimeUtil::toGMT(dt(2024, 1, 15, 15, 0, 0, -60)), dt(2024, 1, 15, 14));
    // Crossing into a leap day.
    EXPECT_EQ(DateTimeUtil::toGMT(dt(2024, 2, 28, 22, 0, 0, 300)), dt(2024, 2, 29, 3));

    auto gmt = DateTimeUtil::shiftByBias(ny, -300);
    EXPECT_EQ(gmt, dt(2024, 1, 15, 20, 0, 0, 0));
    EXPECT_EQ(DateTimeUtil::shiftByBias(gmt, 300), ny);
    auto india = DateTimeUtil::shiftByBias(gmt, -330);
    EXPECT_EQ(india, dt(2024, 1, 16, 1, 30, 0, -330));
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(india), DateTimeUtil::toEpochSeconds(ny));
    EXPECT_FALSE(DateTimeUtil::toGMT(_DateTimeData()).isSet());
}

TEST(Zones, SMTPOffsetIsEastOfGMT) {
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(dt(2005, 11, 1, 15, 20, 0, -60)),
              "Tue, 1 Nov 2005 15:20:00 +0100");
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(dt(2024, 1, 15, 15, 0, 0, 300)),
              "Mon, 15 Jan 2024 15:00:00 -0500");
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(dt(2024, 1, 15, 9, 5, 7, -330)),
              "Mon, 15 Jan 2024 09:05:07 +0530");
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(dt(2024, 1, 15, 9, 5, 7, 210)),
              "Mon, 15 Jan 2024 09:05:07 -0330");
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(dt(2000, 2, 29)), "Tue, 29 Feb 2000 00:00:00 +0000");
    EXPECT_EQ(DateTimeUtil::getSMTPDayString(dt(2005, 11, 1, 23, 59)), "Tue, 1 Nov 2005");
    EXPECT_EQ(DateTimeUtil::getSMTPDayString(dt(1900, 3, 1)), "Thu, 1 Mar 1900");
    // Out-of-range fields are carried before formatting; unset or absurd values give no text.
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(dt(2024, 1, 31, 23, 75)), "Thu, 1 Feb 2024 00:15:00 +0000");
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(_DateTimeData()), "");
    EXPECT_EQ(DateTimeUtil::getSMTPDayString(_DateTimeData()), "");
    EXPECT_EQ(DateTimeUtil::getSMTPDateString(dt(2024, 1, 1, 0, 0, 0, LONG_MAX)), "");
}

TEST(Epoch, KnownInstants) {
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(1970, 1, 1)), 0);
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(2000, 3, 1)), 951868800);
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(1900, 3, 1)), -2203891200LL);
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(2024, 2, 29, 12)), 1709208000);
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(9999, 12, 31, 23, 59, 59)), 253402300799LL);
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(1, 1, 1)), -62135596800LL);
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(2005, 11, 1, 15, 20, 0, -60)), 1130854800);
    // Where 32-bit signed and unsigned seconds run out; the records must not.
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(dt(2038, 1, 19, 3, 14, 8)), 2147483648LL);
    EXPECT_EQ(DateTimeUtil::fromEpochSeconds(4294967296LL), dt(2106, 2, 7, 6, 28, 16));

    EXPECT_EQ(DateTimeUtil::fromEpochSeconds(0), dt(1970, 1, 1));
    EXPECT_EQ(DateTimeUtil::fromEpochSeconds(-1), dt(1969, 12, 31, 23, 59, 59));
    EXPECT_EQ(DateTimeUtil::fromEpochSeconds(1709208000), dt(2024, 2, 29, 12));
    EXPECT_EQ(DateTimeUtil::fromEpochSeconds(-2203891200LL - 1), dt(1900, 2, 28, 23, 59, 59));
    EXPECT_FALSE(DateTimeUtil::fromEpochSeconds(253402300800LL).isSet());
    EXPECT_FALSE(DateTimeUtil::fromEpochSeconds(INT64_MIN).isSet());
    EXPECT_FALSE(DateTimeUtil::fromEpochSeconds(INT64_MAX).isSet());

    EXPECT_EQ(DateTimeUtil::dayOfWeek(date(1970, 1, 1)), 4);
    EXPECT_EQ(DateTimeUtil::dayOfWeek(date(2000, 2, 29)), 2);
    EXPECT_EQ(DateTimeUtil::dayOfWeek(date(1, 1, 1)), 1);
    EXPECT_EQ(DateTimeUtil::daysInMonth(1900, 2), 28);
    EXPECT_EQ(DateTimeUtil::daysInMonth(2000, 2), 29);
    EXPECT_EQ(DateTimeUtil::daysInMonth(2024, 13), 0);
}

TEST(Epoch, CurrentTimes) {
    auto gmt = DateTimeUtil::computeCurrentGMTTime();
    auto local = DateTimeUtil::computeCurrentLocalTime();
    EXPECT_TRUE(DateTimeUtil::isValid(gmt));
    EXPECT_TRUE(DateTimeUtil::isValid(local));
    EXPECT_EQ(gmt.zoneOffset, 0);
    // The two readings are the same instant give or take the time between them.
    EXPECT_LT(std::llabs(DateTimeUtil::toEpochSeconds(local) - DateTimeUtil::toEpochSeconds(gmt)), 120);
}

TEST(Epoch, Validity) {
    EXPECT_TRUE(DateTimeUtil::isValid(dt(2024, 2, 29, 23, 59, 59)));
    EXPECT_FALSE(DateTimeUtil::isValid(dt(2023, 2, 29)));
    EXPECT_FALSE(DateTimeUtil::isValid(dt(1900, 2, 29)));
    EXPECT_FALSE(DateTimeUtil::isValid(dt(2024, 13, 1)));
    EXPECT_FALSE(DateTimeUtil::isValid(dt(2024, 1, 1, 24)));
    EXPECT_FALSE(DateTimeUtil::isValid(dt(2024, 1, 1, 0, 0, 0, 2000)));
    EXPECT_FALSE(DateTimeUtil::isValid(_DateTimeData()));
}

TEST(TimeZone, NormalizeCarriesFields) {
    auto v = dt(2024, 1, 31, 23, 75, 0, 300);
    EXPECT_EQ(_TimeZoneData::normalize(v), dt(2024, 2, 1, 0, 15, 0, 300));
    EXPECT_EQ(_TimeZoneData::normalize(dt(2023, 2, 30)), dt(2023, 3, 2));
    EXPECT_EQ(_TimeZoneData::normalize(dt(2023, 13, 1)), dt(2024, 1, 1));
    EXPECT_EQ(_TimeZoneData::normalize(dt(2024, 3, 1, -1)), dt(2024, 2, 29, 23));
    auto h = dt(2024, 12, 31, 23, 59, 59);
    h.hundredths = 150;
    auto n = _TimeZoneData::normalize(h);
    EXPECT_EQ(n.fullYear(), 2025);
    EXPECT_EQ(n.hundredths, 50);
    EXPECT_FALSE(_TimeZoneData::normalize(_DateTimeData()).isSet());
}

TEST(TimeZone, DaylightTransitionsNorthern) {
    auto ny = newYork();
    EXPECT_EQ(ny.biasAt(dt(2024, 3, 10, 1, 59)), 300);
    EXPECT_EQ(ny.biasAt(dt(2024, 3, 10, 2, 0)), 240);
    EXPECT_EQ(ny.biasAt(dt(2024, 7, 1, 12)), 240);
    EXPECT_EQ(ny.biasAt(dt(2024, 11, 3, 1, 59)), 240);
    EXPECT_EQ(ny.biasAt(dt(2024, 11, 3, 2, 0)), 300);
    EXPECT_EQ(ny.biasAt(dt(2024, 12, 25)), 300);

    // Around the instants of change, read from GMT.
    EXPECT_EQ(ny.adjust(dt(2024, 3, 10, 6, 59)), dt(2024, 3, 10, 1, 59, 0, 300));
    EXPECT_EQ(ny.adjust(dt(2024, 3, 10, 7, 0)), dt(2024, 3, 10, 3, 0, 0, 240));
    EXPECT_EQ(ny.adjust(dt(2024, 11, 3, 5, 59)), dt(2024, 11, 3, 1, 59, 0, 240));
    EXPECT_EQ(ny.adjust(dt(2024, 11, 3, 6, 0)), dt(2024, 11, 3, 1, 0, 0, 300));
    // From another zone: 14:00 in Berlin in summer is 08:00 in New York.
    EXPECT_EQ(ny.adjust(dt(2024, 7, 1, 14, 0, 0, -120)), dt(2024, 7, 1, 8, 0, 0, 240));

    // Every adjusted value is the same instant.
    for (int h = 0; h < 48; ++h) {
        auto gmt = dt(2024, 11, 2, 12 + h % 12, 30, 0, 0);
        gmt = DateTimeUtil::addToDateTime(gmt, days(h / 12));
        auto local = ny.adjust(gmt);
        EXPECT_EQ(DateTimeUtil::toGMT(local), gmt);
        EXPECT_TRUE(local.zoneOffset == 240 || local.zoneOffset == 300);
    }
    EXPECT_FALSE(ny.adjust(_DateTimeData()).isSet());
}

TEST(TimeZone, LastWeekAndSouthernRules) {
    auto b = berlin();
    // March 2024 has five Sundays (the 31st is the last); October has four (the 27th).
    EXPECT_EQ(b.adjust(dt(2024, 3, 31, 0, 59)), dt(2024, 3, 31, 1, 59, 0, -60));
    EXPECT_EQ(b.adjust(dt(2024, 3, 31, 1, 0)), dt(2024, 3, 31, 3, 0, 0, -120));
    EXPECT_EQ(b.adjust(dt(2024, 10, 27, 0, 59)), dt(2024, 10, 27, 2, 59, 0, -120));
    EXPECT_EQ(b.adjust(dt(2024, 10, 27, 1, 0)), dt(2024, 10, 27, 2, 0, 0, -60));
    EXPECT_EQ(b.biasAt(dt(2024, 10, 20, 12)), -120);
    EXPECT_EQ(b.biasAt(dt(2024, 10, 28, 12)), -60);

    auto s = sydney();
    EXPECT_EQ(s.biasAt(dt(2024, 1, 15)), -660);
    EXPECT_EQ(s.biasAt(dt(2024, 6, 15)), -600);
    EXPECT_EQ(s.biasAt(dt(2024, 12, 31, 23)), -660);
    EXPECT_EQ(s.adjust(dt(2024, 1, 1, 0, 0)), dt(2024, 1, 1, 11, 0, 0, -660));
    EXPECT_EQ(s.adjust(dt(2024, 7, 1, 0, 0)), dt(2024, 7, 1, 10, 0, 0, -600));

    _TimeZoneData fixed;
    fixed.bias = -330;
    EXPECT_FALSE(fixed.hasDaylight());
    EXPECT_EQ(fixed.biasAt(dt(2024, 7, 1)), -330);
    EXPECT_EQ(fixed.adjust(dt(2024, 7, 1)), dt(2024, 7, 1, 5, 30, 0, -330));
}

TEST(SMTPDate, ParsesStandardAndObsoleteForms) {
    _DateTimeData v;
    ASSERT_TRUE(DateTimeUtil::parseSMTPDate("Tue, 1 Nov 2005 15:20:00 +0100", v));
    EXPECT_EQ(v, dt(2005, 11, 1, 15, 20, 0, -60));
    EXPECT_EQ(DateTimeUtil::toEpochSeconds(v), 1130854800);

    ASSERT_TRUE(DateTimeUtil::parseSMTPDate("1 Nov 2005 15:20 GMT", v));
    EXPECT_EQ(v, dt(2005, 11, 1, 15, 20));
    ASSERT_TRUE(DateTimeUtil::parseSMTPDate("tue, 01 nov 05 15:20:00 EST", v));
    EXPECT_EQ(v, dt(2005, 11, 1, 15, 20, 0, 300));
    ASSERT_TRUE(DateTimeUtil::parseSMTPDate("Mon, 1 Nov 99 08:00:00 PDT", v));
    EXPECT_EQ(v, dt(1999, 11, 1, 8, 0, 0, 420));
    ASSERT_TRUE(DateTimeUtil::parseSMTPDate("1 Nov 105 08:00 CDT", v));
    EXPECT_EQ(v, dt(2005, 11, 1, 8, 0, 0, 300));

    const struct {
        const char* zone;
        long offset;
    } zones[] = {{"UT", 0},    {"GMT", 0},   {"EST", 300}, {"EDT", 240},  {"CST", 360}, {"CDT", 300},
                 {"MST", 420}, {"MDT", 360}, {"PST", 480}, {"PDT", 420},  {"Z", 0},     {"A", 0},
                 {"m", 0},     {"-0000", 0}, {"+0000", 0}, {"-0930", 570}};
    for (const auto& z : zones) {
        std::string text = std::string("2 Jan 2024 10:00:00 ") + z.zone;
        ASSERT_TRUE(DateTimeUtil::parseSMTPDate(text.c_str(), v)) << text;
        EXPECT_EQ(v.zoneOffset, z.offset) << text;
    }

    // Comments and folding white space anywhere between tokens, and a missing zone.
    ASSERT_TRUE(DateTimeUtil::parseSMTPDate(" Tue (day) ,\r\n 1 Nov 2005 15:20:00 +0100 (CET (nested))", v));
    EXPECT_EQ(v, dt(2005, 11, 1, 15, 20, 0, -60));
    ASSERT_TRUE(DateTimeUtil::parseSMTPDate("1 Nov 2005 15:20:00", v));
    EXPECT_EQ(v.zoneOffset, 0);
    // A leap second becomes the start of the next minute.
    ASSERT_TRUE(DateTimeUtil::parseSMTPDate("Sat, 31 Dec 2016 23:59:60 +0000", v));
    EXPECT_EQ(v, dt(2017, 1, 1));
}

TEST(SMTPDate, FormatAndParseRoundTrip) {
    const _DateTimeData values[] = {dt(2005, 11, 1, 15, 20, 0, -60), dt(2024, 2, 29, 0, 0, 0, 300),
                                    dt(1900, 3, 1, 23, 59, 59, -330), dt(9999, 12, 31, 12, 0, 0, 210),
                                    dt(1, 1, 1, 0, 0, 1, 0)};
    for (const auto& value : values) {
        String text = DateTimeUtil::getSMTPDateString(value);
        _DateTimeData back;
        ASSERT_TRUE(DateTimeUtil::parseSMTPDate(text, back)) << text.c_str();
        EXPECT_EQ(back, value) << text.c_str();
        EXPECT_EQ(DateTimeUtil::getSMTPDateString(back), text);
    }
}

TEST(SMTPDate, RejectsGarbageAndLeavesTheOutputAlone) {
    const char* bad[] = {"",
                         "   ",
                         "hello",
                         "Tue, 32 Nov 2005 15:20:00 +0100",
                         "Wed, 29 Feb 2023 10:00:00 +0000",
                         "29 Feb 1900 10:00:00 +0000",
                         "30 Feb 2024 10:00:00 +0000",
                         "1 Foo 2005 15:20:00 +0100",
                         "Xyz, 1 Nov 2005 15:20:00 +0100",
                         "Tue 1 Nov 2005 15:20:00 +0100",
                         "1 Nov 2005 24:00:00 +0000",
                         "1 Nov 2005 15:60 +0000",
                         "1 Nov 2005 15:2 +0000",
                         "1 Nov 2005 15:20:00 +01000",
                         "1 Nov 2005 15:20:00 +0160",
                         "1 Nov 2005 15:20:00 +9900",
                         "1 Nov 2005 15:20:00 +01",
                         "1 Nov 2005 15:20:00 J",
                         "1 Nov 2005 15:20:00 CEST",
                         "1 Nov 2005 15:20:00 +0100 trailing",
                         "1 Nov 2005 15:20:00 +0100 (unclosed",
                         "1 Nov 5 15:20:00 +0000",
                         "1 Nov 20050 15:20:00 +0000",
                         "0 Nov 2005 15:20:00 +0000",
                         "1 Nov 0000 15:20:00 +0000",
                         "1 Nov 99999999999999999999 15:20:00 +0000",
                         "1 Nov 2005",
                         "1 Nov 2005 15",
                         "1 Nov 2005 15:20:00 +0100,"};
    const _DateTimeData sentinel = dt(1999, 9, 9, 9, 9, 9, 99);
    for (const char* text : bad) {
        _DateTimeData v = sentinel;
        EXPECT_FALSE(DateTimeUtil::parseSMTPDate(text, v)) << text;
        EXPECT_EQ(v, sentinel) << text;
    }
    _DateTimeData v = sentinel;
    EXPECT_FALSE(DateTimeUtil::parseSMTPDate(String(std::string(100000, '(')), v));
    EXPECT_FALSE(DateTimeUtil::parseSMTPDate(String(std::string("1 Nov 2005\0 15:20 GMT", 21)), v));
    EXPECT_EQ(v, sentinel);
}
