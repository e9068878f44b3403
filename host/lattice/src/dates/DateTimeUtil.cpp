#include "Lattice/DateTimeUtil.h"

#include "../util/WallClock.h"
#include "Civil.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

namespace Lattice {

using namespace civil;

namespace {

constexpr const char* kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Bounds that keep every sum below well inside int64 while still reaching past year 9999, so a
// wild duration yields "no date" instead of overflowing.
// In 64 bits: `long` is 32 bits on Windows, where the seconds bound alone would not fit.
constexpr int64_t kMaxYears = 20000;
constexpr int64_t kMaxMonths = kMaxYears * 12;
constexpr int64_t kMaxDays = kMaxYears * 366;
constexpr int64_t kMaxHours = kMaxDays * 24;
constexpr int64_t kMaxMinutes = kMaxHours * 60;
constexpr int64_t kMaxSeconds = kMaxMinutes * 60;
constexpr int64_t kMaxZone = 100000;

// A field is a `long`, so the result fits back whatever the limit.
long clampField(long v, int64_t limit) {
    return static_cast<long>(std::clamp(int64_t{v}, -limit, limit));
}

int64_t durationSeconds(const _DurationData& d) {
    return int64_t{clampField(d.days, kMaxDays)} * kSecondsPerDay +
           int64_t{clampField(d.hours, kMaxHours)} * 3600 + int64_t{clampField(d.minutes, kMaxMinutes)} * 60 +
           clampField(d.seconds, kMaxSeconds);
}

// Years and months move the calendar date; the day is cut to the length of the month reached.
bool addMonths(_DateTimeData& v, const _DurationData& d) {
    int64_t months = int64_t{v.fullYear()} * 12 + (v.month - 1) +
                     int64_t{clampField(d.years, kMaxYears)} * 12 + clampField(d.months, kMaxMonths);
    int64_t y = floorDiv(months, 12);
    int m = static_cast<int>(floorMod(months, 12)) + 1;
    if (y < kMinYear || y > kMaxYear)
        return false;
    v.setFullYear(static_cast<int>(y));
    v.month = static_cast<short>(m);
    v.day = static_cast<short>(std::min<int>(v.day, daysIn(y, m)));
    return true;
}

} // namespace

_DateTimeData DateTimeUtil::convertToDateTime(const _DateData& date) {
    _DateTimeData r;
    r.century = date.century;
    r.year = date.year;
    r.month = date.month;
    r.day = date.day;
    return r;
}

_DateData DateTimeUtil::convert(const _DateTimeData& dateTime) {
    return dateTime.date();
}

_DateTimeData DateTimeUtil::addToDateTime(const _DateTimeData& dt, const _DurationData& d) {
    if (!dt.isSet())
        return dt;
    _DateTimeData v = dt;
    if (!addMonths(v, d))
        return {};
    return fromLocalHundredths(localHundredths(v) + durationSeconds(d) * 100, v.zoneOffset);
}

_DateData DateTimeUtil::addToDate(const _DateData& date, const _DurationData& d) {
    if (!date.isSet())
        return date;
    return convert(addToDateTime(convertToDateTime(date), d));
}

_TimeData DateTimeUtil::addToTime(const _TimeData& t, const _DurationData& d) {
    int64_t s = int64_t{t.hour} * 3600 + int64_t{t.minute} * 60 + t.second +
                int64_t{clampField(d.hours, kMaxHours)} * 3600 +
                int64_t{clampField(d.minutes, kMaxMinutes)} * 60 + clampField(d.seconds, kMaxSeconds);
    s = floorMod(s, kSecondsPerDay);
    _TimeData r;
    r.hour = static_cast<short>(s / 3600);
    r.minute = static_cast<short>(s / 60 % 60);
    r.second = static_cast<short>(s % 60);
    r.hundredths = t.hundredths;
    return r;
}

_DateTimeData DateTimeUtil::shiftByBias(const _DateTimeData& dt, long biasMinutes) {
    if (!dt.isSet())
        return dt;
    biasMinutes = clampField(biasMinutes, kMaxZone);
    return fromLocalHundredths(localHundredths(dt) - int64_t{biasMinutes} * 6000,
                               clampField(dt.zoneOffset, kMaxZone) + biasMinutes);
}

_DateTimeData DateTimeUtil::toGMT(const _DateTimeData& dt) {
    if (!dt.isSet())
        return dt;
    return shiftByBias(dt, -clampField(dt.zoneOffset, kMaxZone));
}

_DateTimeData DateTimeUtil::computeCurrentGMTTime() {
    const wallclock::Reading now = wallclock::now();
    _DateTimeData r = fromEpochSeconds(now.seconds);
    r.hundredths = static_cast<short>(now.nanos / 10000000);
    return r;
}

_DateTimeData DateTimeUtil::computeCurrentLocalTime() {
    const wallclock::Reading now = wallclock::now();
    tm local{};
    int64_t east = 0;
    if (!wallclock::localFields(now.seconds, &local, &east))
        return computeCurrentGMTTime();
    _DateTimeData r;
    r.setFullYear(local.tm_year + 1900);
    r.month = static_cast<short>(local.tm_mon + 1);
    r.day = static_cast<short>(local.tm_mday);
    r.hour = static_cast<short>(local.tm_hour);
    r.minute = static_cast<short>(local.tm_min);
    r.second = static_cast<short>(std::min(local.tm_sec, 59));
    r.hundredths = static_cast<short>(now.nanos / 10000000);
    // The offset counts east of GMT; the records count west.
    r.zoneOffset = -static_cast<long>(east / 60);
    return r;
}

long DateTimeUtil::timeToMinutes(const _TimeData& t) {
    return long{t.hour} * 60 + t.minute;
}

_TimeData DateTimeUtil::minutesToTime(long minutes) {
    int64_t m = floorMod(minutes, 1440);
    _TimeData r;
    r.hour = static_cast<short>(m / 60);
    r.minute = static_cast<short>(m % 60);
    return r;
}

int64_t DateTimeUtil::toEpochSeconds(const _DateTimeData& dt) {
    return localSeconds(dt) + int64_t{clampField(dt.zoneOffset, kMaxZone)} * 60;
}

_DateTimeData DateTimeUtil::fromEpochSeconds(int64_t seconds) {
    // Past the supported years the record is unset; bounding first keeps the day count exact.
    constexpr int64_t kLimit = int64_t{kMaxYear + 1} * 366 * kSecondsPerDay;
    if (seconds > kLimit || seconds < -kLimit)
        return {};
    return fromLocalSeconds(seconds, 0, 0);
}

int DateTimeUtil::dayOfWeek(const _DateData& date) {
    // 1970-01-01 was a Thursday.
    return static_cast<int>(floorMod(dayNumber(date.fullYear(), date.month, date.day) + 4, 7));
}

int DateTimeUtil::daysInMonth(int year, int month) {
    return daysIn(year, month);
}

bool DateTimeUtil::isValid(const _DateTimeData& dt) {
    int y = dt.fullYear();
    return dt.century >= 0 && dt.year >= 0 && dt.year <= 99 && y >= kMinYear && y <= kMaxYear &&
           dt.month >= 1 && dt.month <= 12 && dt.day >= 1 && dt.day <= daysIn(y, dt.month) && dt.hour >= 0 &&
           dt.hour <= 23 && dt.minute >= 0 && dt.minute <= 59 && dt.second >= 0 && dt.second <= 59 &&
           dt.hundredths >= 0 && dt.hundredths <= 99 && dt.zoneOffset >= -1440 && dt.zoneOffset <= 1440;
}

String DateTimeUtil::getSMTPDayString(const _DateTimeData& dt) {
    if (!dt.isSet())
        return String();
    _DateTimeData v = _TimeZoneData::normalize(dt);
    if (!v.isSet())
        return String();
    return String::format("%s, %d %s %04d", kDayNames[dayOfWeek(v.date())], v.day, kMonthNames[v.month - 1],
                          v.fullYear());
}

String DateTimeUtil::getSMTPDateString(const _DateTimeData& dt) {
    if (!dt.isSet() || dt.zoneOffset < -1440 || dt.zoneOffset > 1440)
        return String();
    _DateTimeData v = _TimeZoneData::normalize(dt);
    if (!v.isSet())
        return String();
    long east = -v.zoneOffset;
    char sign = east < 0 ? '-' : '+';
    long a = east < 0 ? -east : east;
    return String::format("%s %02d:%02d:%02d %c%02ld%02ld", getSMTPDayString(v).c_str(), v.hour, v.minute,
                          v.second, sign, a / 60, a % 60);
}

// ---- RFC 5322 date parsing ----

namespace {

class DateScanner {
public:
    explicit DateScanner(std::string_view s) : s_(s) {}

    // Folding white space and comments (nested, with quoted pairs); false on an unclosed comment.
    bool skipCFWS() {
        while (p_ < s_.size()) {
            char c = s_[p_];
            if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
                ++p_;
            } else if (c == '(') {
                int depth = 0;
                while (p_ < s_.size()) {
                    char k = s_[p_++];
                    if (k == '\\' && p_ < s_.size())
                        ++p_;
                    else if (k == '(')
                        ++depth;
                    else if (k == ')' && --depth == 0)
                        break;
                }
                if (depth != 0)
                    return false;
            } else {
                break;
            }
        }
        return true;
    }
    bool atEnd() const { return p_ >= s_.size(); }
    char peek() const { return atEnd() ? '\0' : s_[p_]; }
    bool accept(char c) {
        if (peek() != c)
            return false;
        ++p_;
        return true;
    }
    // A run of 1..maxDigits digits; false when there is none or it is longer.
    bool number(int& out, int& digits, int maxDigits) {
        digits = 0;
        long v = 0;
        while (!atEnd() && std::isdigit(static_cast<unsigned char>(s_[p_]))) {
            if (++digits > maxDigits)
                return false;
            v = v * 10 + (s_[p_++] - '0');
        }
        out = static_cast<int>(v);
        return digits > 0;
    }
    std::string word() {
        std::string w;
        while (!atEnd() && std::isalpha(static_cast<unsigned char>(s_[p_])))
            w += static_cast<char>(std::toupper(static_cast<unsigned char>(s_[p_++])));
        return w;
    }

private:
    std::string_view s_;
    std::size_t p_ = 0;
};

int monthFromName(const std::string& w) {
    for (int i = 0; i < 12; ++i) {
        const char* n = kMonthNames[i];
        if (w.size() == 3 && w[0] == n[0] && w[1] == std::toupper(static_cast<unsigned char>(n[1])) &&
            w[2] == std::toupper(static_cast<unsigned char>(n[2])))
            return i + 1;
    }
    return 0;
}

bool isDayName(const std::string& w) {
    for (const char* n : kDayNames) {
        std::string u(n);
        for (char& c : u)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (w == u)
            return true;
    }
    return false;
}

// Offset east of GMT in minutes for an obsolete zone name.
bool zoneFromName(const std::string& w, long& east) {
    static const struct {
        const char* name;
        long east;
    } kZones[] = {{"UT", 0},     {"GMT", 0},    {"EST", -300}, {"EDT", -240}, {"CST", -360},
                  {"CDT", -300}, {"MST", -420}, {"MDT", -360}, {"PST", -480}, {"PDT", -420}};
    for (const auto& z : kZones) {
        if (w == z.name) {
            east = z.east;
            return true;
        }
    }
    // Military zones were defined with the wrong sign, so they carry no information.
    if (w.size() == 1 && w[0] != 'J') {
        east = 0;
        return true;
    }
    return false;
}

} // namespace

bool DateTimeUtil::parseSMTPDate(const String& text, _DateTimeData& out) {
    DateScanner sc(text.view());
    if (!sc.skipCFWS())
        return false;

    if (std::isalpha(static_cast<unsigned char>(sc.peek()))) {
        if (!isDayName(sc.word()) || !sc.skipCFWS() || !sc.accept(',') || !sc.skipCFWS())
            return false;
    }

    int day = 0, digits = 0;
    if (!sc.number(day, digits, 2) || !sc.skipCFWS())
        return false;
    int month = monthFromName(sc.word());
    if (month == 0 || !sc.skipCFWS())
        return false;
    int year = 0;
    if (!sc.number(year, digits, 4) || !sc.skipCFWS())
        return false;
    if (digits < 2)
        return false;
    if (digits == 2)
        year += year < 50 ? 2000 : 1900;
    else if (digits == 3)
        year += 1900;

    int hour = 0, minute = 0, second = 0;
    if (!sc.number(hour, digits, 2) || !sc.skipCFWS() || !sc.accept(':') || !sc.skipCFWS() ||
        !sc.number(minute, digits, 2) || digits != 2 || !sc.skipCFWS())
        return false;
    if (sc.accept(':')) {
        if (!sc.skipCFWS() || !sc.number(second, digits, 2) || digits != 2 || !sc.skipCFWS())
            return false;
    }

    long east = 0;
    char c = sc.peek();
    if (c == '+' || c == '-') {
        sc.accept(c);
        int hhmm = 0;
        if (!sc.number(hhmm, digits, 4) || digits != 4 || hhmm % 100 > 59 || hhmm > 2400)
            return false;
        east = (hhmm / 100) * 60 + hhmm % 100;
        if (c == '-')
            east = -east;
    } else if (std::isalpha(static_cast<unsigned char>(c))) {
        if (!zoneFromName(sc.word(), east))
            return false;
    }
    if (!sc.skipCFWS() || !sc.atEnd())
        return false;

    if (year < kMinYear || year > kMaxYear || day < 1 || day > daysIn(year, month) || hour > 23 ||
        minute > 59 || second > 60)
        return false;

    _DateTimeData r;
    r.setFullYear(year);
    r.month = static_cast<short>(month);
    r.day = static_cast<short>(day);
    r.hour = static_cast<short>(hour);
    r.minute = static_cast<short>(minute);
    r.second = static_cast<short>(second);
    r.zoneOffset = -east;
    if (second == 60) // a leap second is kept as the start of the next minute
        r = _TimeZoneData::normalize(r);
    if (!r.isSet())
        return false;
    out = r;
    return true;
}

} // namespace Lattice
