// TIMEDATE arithmetic, parsing and formatting, and the C API's time functions.
#include "values.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace notes {
namespace {

constexpr DWORD kDstBit = 0x80000000u;
constexpr DWORD kEastBit = 0x40000000u;
constexpr DWORD kJulianMask = 0x00FFFFFFu;
constexpr std::int64_t kTicksPerHour = 360000;

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0))) {
        --q;
    }
    return q;
}

std::int64_t localTicks(const Fields& f) {
    return daysFromCivil(f.year, f.month, f.day) * kTicksPerDay + f.hour * kTicksPerHour + f.minute * 6000 +
           f.second * 100 + f.hundredth;
}

void splitTime(std::int64_t hundredths, Fields* f) {
    f->hour = static_cast<int>(hundredths / kTicksPerHour);
    f->minute = static_cast<int>(hundredths / 6000 % 60);
    f->second = static_cast<int>(hundredths / 100 % 60);
    f->hundredth = static_cast<int>(hundredths % 100);
}

// A tiny cursor parser for the date and time texts.
struct Cursor {
    std::string_view s;
    std::size_t i = 0;
    void blanks() {
        while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) {
            ++i;
        }
    }
    bool done() const { return i >= s.size(); }
    bool number(int maxDigits, int* out, int* digits = nullptr) {
        int n = 0, v = 0;
        while (i < s.size() && n < maxDigits && std::isdigit(static_cast<unsigned char>(s[i]))) {
            v = v * 10 + (s[i] - '0');
            ++i;
            ++n;
        }
        if (digits) {
            *digits = n;
        }
        *out = v;
        return n > 0;
    }
    bool ch(char c) {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    char peek() const { return i < s.size() ? s[i] : '\0'; }
};

bool parseDate(Cursor& c, Fields* f) {
    const std::size_t start = c.i;
    int a = 0, b = 0, y = 0, digits = 0;
    if (!c.number(4, &a, &digits)) {
        return false;
    }
    if (digits == 4 && c.ch('-')) { // YYYY-MM-DD
        if (!c.number(2, &b) || !c.ch('-') || !c.number(2, &y)) {
            c.i = start;
            return false;
        }
        f->year = a, f->month = b, f->day = y;
    } else if (digits <= 2 && c.ch('/')) { // MM/DD/YYYY
        if (!c.number(2, &b) || !c.ch('/') || !c.number(4, &y, &digits)) {
            c.i = start;
            return false;
        }
        if (digits <= 2) {
            y += y < 50 ? 2000 : 1900;
        }
        f->year = y, f->month = a, f->day = b;
    } else {
        c.i = start;
        return false;
    }
    f->hasDate = true;
    return validDate(f->year, f->month, f->day);
}

bool parseTime(Cursor& c, Fields* f) {
    int h = 0, m = 0, s = 0, hh = 0, digits = 0;
    if (!c.number(2, &h) || !c.ch(':') || !c.number(2, &m)) {
        return false;
    }
    if (c.ch(':')) {
        if (!c.number(2, &s)) {
            return false;
        }
        if (c.ch('.') || c.ch(',')) {
            if (!c.number(2, &hh, &digits)) {
                return false;
            }
            if (digits == 1) {
                hh *= 10;
            }
        }
    }
    c.blanks();
    const char p = static_cast<char>(std::toupper(static_cast<unsigned char>(c.peek())));
    if (p == 'A' || p == 'P') {
        ++c.i;
        const char mch = static_cast<char>(std::toupper(static_cast<unsigned char>(c.peek())));
        if (mch != 'M') {
            return false;
        }
        ++c.i;
        if (h < 1 || h > 12) {
            return false;
        }
        h = (h % 12) + (p == 'P' ? 12 : 0);
    }
    if (h > 23 || m > 59 || s > 59) {
        return false;
    }
    f->hour = h, f->minute = m, f->second = s, f->hundredth = hh;
    f->hasTime = true;
    return true;
}

} // namespace

std::int64_t daysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const auto doy = static_cast<unsigned>((153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1); // m, d in range
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int* y, int* m, int* d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    *y = static_cast<int>(yy + (*m <= 2));
}

bool validDate(int y, int m, int d) {
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > 31) {
        return false;
    }
    int yy = 0, mm = 0, dd = 0;
    civilFromDays(daysFromCivil(y, m, d), &yy, &mm, &dd);
    return yy == y && mm == m && dd == d;
}

TIMEDATE timedateFromTicks(std::int64_t ticks, int zone, bool dst) {
    const std::int64_t days = floorDiv(ticks, kTicksPerDay);
    TIMEDATE td{};
    td.Innards[0] = static_cast<DWORD>(ticks - days * kTicksPerDay);
    DWORD hi = static_cast<DWORD>(kJulian1970 + days) & kJulianMask;
    const int az = zone < 0 ? -zone : zone;
    hi |= static_cast<DWORD>(az & 0x0F) << 24;
    if (zone < 0) {
        hi |= kEastBit;
    }
    if (dst) {
        hi |= kDstBit;
    }
    td.Innards[1] = hi;
    return td;
}

bool timedateHasDate(const TIMEDATE& td) {
    return td.Innards[1] != ANYDAY;
}
bool timedateHasTime(const TIMEDATE& td) {
    return td.Innards[0] != ALLDAY;
}

int timedateZone(const TIMEDATE& td) {
    if (!timedateHasDate(td) || !timedateHasTime(td)) {
        return 0;
    }
    const int hours = static_cast<int>((td.Innards[1] >> 24) & 0x0F);
    return (td.Innards[1] & kEastBit) ? -hours : hours;
}

bool timedateDst(const TIMEDATE& td) {
    return timedateHasDate(td) && timedateHasTime(td) && (td.Innards[1] & kDstBit) != 0;
}

std::int64_t ticksFromTimedate(const TIMEDATE& td) {
    if (!timedateHasDate(td)) {
        return td.Innards[0];
    }
    const std::int64_t days = static_cast<std::int64_t>(td.Innards[1] & kJulianMask) - kJulian1970;
    return days * kTicksPerDay + (timedateHasTime(td) ? td.Innards[0] : 0);
}

namespace {

// The machine's local fields of a time in seconds since 1970. The 32-bit Windows runtime's time_t
// has 32 bits, so its 64-bit calls are named outright: a date past 2038 must not wrap to 1901.
bool localFields(std::int64_t seconds, std::tm* out) {
#ifdef _WIN32
    const __time64_t t = seconds;
    return _localtime64_s(out, &t) == 0;
#else
    static_assert(sizeof(std::time_t) >= 8, "local times past 2038 need a 64-bit time_t");
    const std::time_t t = seconds;
    return localtime_r(&t, out) != nullptr;
#endif
}

// 1970-01-03 and 3000-12-30, 00:00 GMT: Windows' runtime knows no local time outside 1970 to 3000
// (nor a GMT time before 1970 to read the local fields back), whatever the machine's zone.
constexpr std::int64_t kFirstLocalSecond = 172800, kLastLocalSecond = 32535043200LL;

} // namespace

void machineZone(std::int64_t ticks, int* zone, bool* dst) {
    std::int64_t t = floorDiv(ticks, 100);
    std::tm tm{};
    if (!localFields(t, &tm)) {
        // Past what the runtime knows (on Windows before 1970 or after 3000): the rules of the
        // nearest time it does know, rather than none at all.
        t = t < kFirstLocalSecond ? kFirstLocalSecond : kLastLocalSecond;
        localFields(t, &tm);
    }
#ifdef _WIN32
    std::tm asGMT = tm; // Windows' tm has no offset: read the local fields back as GMT
    const std::int64_t east = std::int64_t{_mkgmtime64(&asGMT)} - t;
#else
    const std::int64_t east = tm.tm_gmtoff;
#endif
    const std::int64_t standardOffset = east - (tm.tm_isdst > 0 ? 3600 : 0);
    *zone = static_cast<int>(-standardOffset / 3600);
    *dst = tm.tm_isdst > 0;
}

TIMEDATE fieldsToTimedate(const Fields& f) {
    TIMEDATE td{};
    if (f.hasDate && f.hasTime) {
        const std::int64_t gmt = localTicks(f) + f.zone * kTicksPerHour - (f.dst ? kTicksPerHour : 0);
        return timedateFromTicks(gmt, f.zone, f.dst);
    }
    if (f.hasDate) {
        td.Innards[0] = ALLDAY;
        td.Innards[1] = static_cast<DWORD>(kJulian1970 + daysFromCivil(f.year, f.month, f.day)) & kJulianMask;
    } else if (f.hasTime) {
        td.Innards[1] = ANYDAY;
        td.Innards[0] =
            static_cast<DWORD>(f.hour * kTicksPerHour + f.minute * 6000 + f.second * 100 + f.hundredth);
    }
    return td;
}

Fields fieldsInZone(const TIMEDATE& td, int zone, bool dst) {
    Fields f;
    f.hasDate = timedateHasDate(td);
    f.hasTime = timedateHasTime(td);
    if (f.hasDate && f.hasTime) {
        f.zone = zone;
        f.dst = dst;
        const std::int64_t local = ticksFromTimedate(td) - zone * kTicksPerHour + (dst ? kTicksPerHour : 0);
        const std::int64_t days = floorDiv(local, kTicksPerDay);
        civilFromDays(days, &f.year, &f.month, &f.day);
        splitTime(local - days * kTicksPerDay, &f);
    } else if (f.hasDate) {
        civilFromDays(static_cast<std::int64_t>(td.Innards[1] & kJulianMask) - kJulian1970, &f.year, &f.month,
                      &f.day);
    } else if (f.hasTime) {
        splitTime(td.Innards[0] % kTicksPerDay, &f);
    }
    return f;
}

Fields fieldsFromTimedate(const TIMEDATE& td) {
    return fieldsInZone(td, timedateZone(td), timedateDst(td));
}

bool parseDatetime(std::string_view text, Fields* out) {
    Fields f;
    Cursor c{text};
    c.blanks();
    if (parseDate(c, &f)) {
        if (!f.hasDate) {
            return false;
        }
        if (c.ch('T')) {
            if (!parseTime(c, &f)) {
                return false;
            }
        } else {
            c.blanks();
            if (!c.done() && !parseTime(c, &f)) {
                return false;
            }
        }
    } else if (f.hasDate) {
        return false; // a date that does not exist
    } else if (!parseTime(c, &f)) {
        return false;
    }
    c.blanks();
    if (!c.done()) {
        return false;
    }
    // This machine's zone at that wall-clock time.
    const std::int64_t guess = f.hasDate ? localTicks(f) : ticksNow();
    machineZone(guess, &f.zone, &f.dst);
    machineZone(guess + f.zone * kTicksPerHour - (f.dst ? kTicksPerHour : 0), &f.zone, &f.dst);
    *out = f;
    return true;
}

std::string formatDatetime(const Fields& f) {
    char buf[64];
    std::string out;
    if (f.hasDate) {
        std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", f.month, f.day, f.year);
        out += buf;
    }
    if (f.hasTime) {
        const int h12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
        std::snprintf(buf, sizeof buf, "%s%02d:%02d:%02d %s", out.empty() ? "" : " ", h12, f.minute, f.second,
                      f.hour < 12 ? "AM" : "PM");
        out += buf;
    }
    return out;
}

int weekday(const Fields& f) {
    if (!f.hasDate) {
        return 0;
    }
    const std::int64_t days = daysFromCivil(f.year, f.month, f.day);
    return static_cast<int>(((days % 7) + 7 + 4) % 7) + 1; // 1970-01-01 was a Thursday
}

} // namespace notes

using notes::Fields;

namespace {

Fields fieldsFromTIME(const TIME& t) {
    Fields f;
    f.year = t.year, f.month = t.month, f.day = t.day;
    f.hour = t.hour, f.minute = t.minute, f.second = t.second, f.hundredth = t.hundredth;
    f.zone = t.zone, f.dst = t.dst != 0;
    f.hasDate = t.year != 0 || t.month != 0 || t.day != 0;
    f.hasTime = t.hour >= 0;
    return f;
}

void fieldsToTIME(const Fields& f, TIME* t) {
    t->year = f.year, t->month = f.month, t->day = f.day;
    t->hour = f.hasTime ? f.hour : -1, t->minute = f.minute, t->second = f.second, t->hundredth = f.hundredth;
    t->zone = f.zone, t->dst = f.dst ? 1 : 0;
    t->weekday = notes::weekday(f);
}

} // namespace

extern "C" {

void OSCurrentTIMEDATE(TIMEDATE* retTimeDate) {
    if (retTimeDate == nullptr) {
        return;
    }
    const std::int64_t now = notes::ticksNow();
    int zone = 0;
    bool dst = false;
    notes::machineZone(now, &zone, &dst);
    *retTimeDate = notes::timedateFromTicks(now, zone, dst);
}

BOOL TimeLocalToGM(TIME* time) {
    if (time == nullptr) {
        return 1;
    }
    const Fields f = fieldsFromTIME(*time);
    if (f.hasDate && !notes::validDate(f.year, f.month, f.day)) {
        return 1;
    }
    time->GM = notes::fieldsToTimedate(f);
    return 0;
}

BOOL TimeGMToLocal(TIME* time) {
    if (time == nullptr) {
        return 1;
    }
    fieldsToTIME(notes::fieldsFromTimedate(time->GM), time);
    return 0;
}

BOOL TimeGMToLocalZone(TIME* time) {
    if (time == nullptr) {
        return 1;
    }
    fieldsToTIME(notes::fieldsInZone(time->GM, time->zone, time->dst != 0), time);
    return 0;
}

int TimeDateCompare(const TIMEDATE* t1, const TIMEDATE* t2) {
    const std::int64_t a = notes::ticksFromTimedate(*t1), b = notes::ticksFromTimedate(*t2);
    return a < b ? -1 : (a > b ? 1 : 0);
}

void TimeConstant(WORD type, TIMEDATE* td) {
    switch (type) {
    case TIMEDATE_MINIMUM:
        td->Innards[0] = 0, td->Innards[1] = 0;
        break;
    case TIMEDATE_MAXIMUM:
        td->Innards[0] = static_cast<DWORD>(notes::kTicksPerDay - 1), td->Innards[1] = 0x00FFFFFFu;
        break;
    default:
        td->Innards[0] = ALLDAY, td->Innards[1] = ANYDAY;
        break;
    }
}

STATUS ConvertTextToTIMEDATE(const char* text, WORD maxLength, TIMEDATE* retTimeDate) {
    if (text == nullptr || retTimeDate == nullptr) {
        return ERR_INVALID_PARAM;
    }
    Fields f;
    if (!notes::parseDatetime(std::string_view(text, strnlen(text, maxLength)), &f)) {
        return ERR_TDI_CONV;
    }
    *retTimeDate = notes::fieldsToTimedate(f);
    return NOERROR;
}

STATUS ConvertTIMEDATEToText(const void*, const void*, const TIMEDATE* td, char* retBuffer, WORD bufferLength,
                             WORD* retLength) {
    if (td == nullptr || retBuffer == nullptr || bufferLength == 0) {
        return ERR_INVALID_PARAM;
    }
    const std::string text = notes::formatDatetime(notes::fieldsFromTimedate(*td));
    if (text.size() >= bufferLength) {
        return ERR_BUFFER_TOO_SMALL;
    }
    std::memcpy(retBuffer, text.c_str(), text.size() + 1);
    if (retLength) {
        *retLength = static_cast<WORD>(text.size());
    }
    return NOERROR;
}

} // extern "C"
