#include "lnbodies.h"

namespace {

notes::Fields toFields(int y, int mo, int d, int h, int mi, int s, int hh, int zone, bool dst, bool hasDate,
                       bool hasTime) {
    notes::Fields f;
    f.year = y, f.month = mo, f.day = d, f.hour = h, f.minute = mi, f.second = s, f.hundredth = hh;
    f.zone = zone, f.dst = dst, f.hasDate = hasDate, f.hasTime = hasTime;
    return f;
}

LNSTATUS invalid() {
    return lnResult(LNERR_INVALID_DATETIME);
}

int daysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) {
        return 29;
    }
    return kDays[(month - 1) % 12];
}

} // namespace

#define LN_FIELDS                                                                                            \
    toFields(year_, month_, day_, hour_, minute_, second_, hundredth_, zone_, dst_ != 0, hasDate_, hasTime_)

LNDatetime::LNDatetime(const TIMEDATE& td) {
    *this = td;
}

LNDatetime& LNDatetime::operator=(const TIMEDATE& td) {
    td_ = td;
    kept_ = true;
    pending_ = true;
    hasDate_ = td.Innards[1] != ANYDAY;
    hasTime_ = td.Innards[0] != ALLDAY;
    return *this;
}

void LNDatetime::fill() const {
    pending_ = false;
    const notes::Fields f = notes::fieldsFromTimedate(td_);
    year_ = f.year, month_ = f.month, day_ = f.day;
    hour_ = f.hour, minute_ = f.minute, second_ = f.second, hundredth_ = f.hundredth;
    zone_ = f.zone, dst_ = f.dst ? TRUE : FALSE;
    if (!hasDate_ || !hasTime_) {
        int zone = 0;
        bool dst = false;
        notes::machineZone(notes::ticksNow(), &zone, &dst);
        zone_ = zone, dst_ = dst ? TRUE : FALSE;
    }
}

TIMEDATE LNDatetime::GetTIMEDATE() const {
    if (IsNull()) {
        return TIMEDATE{{0, 0}};
    }
    if (kept_) {
        return td_;
    }
    return notes::fieldsToTimedate(LN_FIELDS);
}

// Out of line so that the lazy working-out of the fields stays inside the library.
LNINT LNDatetime::GetYear() const {
    return settle().year_;
}

LNINT LNDatetime::GetMonth() const {
    return settle().month_;
}

LNINT LNDatetime::GetDay() const {
    return settle().day_;
}

LNINT LNDatetime::GetHour() const {
    return settle().hour_;
}

LNINT LNDatetime::GetMinute() const {
    return settle().minute_;
}

LNINT LNDatetime::GetSecond() const {
    return settle().second_;
}

LNINT LNDatetime::GetHundredth() const {
    return settle().hundredth_;
}

LNINT LNDatetime::GetTimeZone() const {
    return settle().zone_;
}

LNBOOL LNDatetime::IsDST() const {
    return settle().dst_;
}

LNINT LNDatetime::GetWeekday() const {
    settle();
    return notes::weekday(LN_FIELDS);
}

void LNDatetime::ensureDate() {
    change();
    if (!hasDate_) {
        hasDate_ = true;
        year_ = year_ ? year_ : 2000;
        month_ = month_ ? month_ : 1;
        day_ = day_ ? day_ : 1;
    }
}

void LNDatetime::ensureTime() {
    change();
    if (!hasTime_) {
        hasTime_ = true;
        hour_ = minute_ = second_ = hundredth_ = 0;
    }
}

LNSTATUS LNDatetime::SetDate(LNINT month, LNINT day, LNINT year) {
    change();
    if (!notes::validDate(static_cast<int>(year), static_cast<int>(month), static_cast<int>(day))) {
        return invalid();
    }
    year_ = static_cast<int>(year), month_ = static_cast<int>(month), day_ = static_cast<int>(day);
    hasDate_ = true;
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetTime(LNINT hour, LNINT minute, LNINT second, LNINT hundredth) {
    change();
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || hundredth < 0 ||
        hundredth > 99) {
        return invalid();
    }
    hour_ = static_cast<int>(hour), minute_ = static_cast<int>(minute), second_ = static_cast<int>(second);
    hundredth_ = static_cast<int>(hundredth);
    hasTime_ = true;
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetYear(LNINT year) {
    if (year < 1 || year > 9999) {
        return invalid();
    }
    ensureDate();
    year_ = static_cast<int>(year);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetMonth(LNINT month) {
    if (month < 1 || month > 12) {
        return invalid();
    }
    ensureDate();
    month_ = static_cast<int>(month);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetDay(LNINT day) {
    if (day < 1 || day > 31) {
        return invalid();
    }
    ensureDate();
    day_ = static_cast<int>(day);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetHour(LNINT hour) {
    if (hour < 0 || hour > 23) {
        return invalid();
    }
    ensureTime();
    hour_ = static_cast<int>(hour);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetMinute(LNINT minute) {
    if (minute < 0 || minute > 59) {
        return invalid();
    }
    ensureTime();
    minute_ = static_cast<int>(minute);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetSecond(LNINT second) {
    if (second < 0 || second > 59) {
        return invalid();
    }
    ensureTime();
    second_ = static_cast<int>(second);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetHundredth(LNINT hundredth) {
    if (hundredth < 0 || hundredth > 99) {
        return invalid();
    }
    ensureTime();
    hundredth_ = static_cast<int>(hundredth);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetTimeZone(LNINT zone) {
    change();
    if (zone < -12 || zone > 12) {
        return invalid();
    }
    zone_ = static_cast<int>(zone);
    return LNNOERROR;
}

LNSTATUS LNDatetime::SetDST(LNBOOL dst) {
    change();
    dst_ = dst ? TRUE : FALSE;
    return LNNOERROR;
}

LNSTATUS LNDatetime::AdjustTimeZone(LNINT zone, LNBOOL dst) {
    if (zone < -12 || zone > 12) {
        return invalid();
    }
    change();
    if (hasDate_ && hasTime_) {
        const TIMEDATE moment = notes::fieldsToTimedate(LN_FIELDS); // normalises day overflow first
        const notes::Fields f = notes::fieldsInZone(moment, static_cast<int>(zone), dst != 0);
        year_ = f.year, month_ = f.month, day_ = f.day;
        hour_ = f.hour, minute_ = f.minute, second_ = f.second, hundredth_ = f.hundredth;
    }
    zone_ = static_cast<int>(zone);
    dst_ = dst ? TRUE : FALSE;
    return LNNOERROR;
}

LNSTATUS LNDatetime::adjustTicks(long long hundredths) {
    change();
    if (IsNull()) {
        return invalid();
    }
    std::int64_t local = hasDate_ ? notes::daysFromCivil(year_, month_, day_) * notes::kTicksPerDay : 0;
    local += hasTime_ ? hour_ * 360000LL + minute_ * 6000LL + second_ * 100LL + hundredth_ : 0;
    local += hundredths;
    std::int64_t days = local / notes::kTicksPerDay;
    std::int64_t rest = local % notes::kTicksPerDay;
    if (rest < 0) {
        rest += notes::kTicksPerDay;
        --days;
    }
    if (hasDate_) {
        notes::civilFromDays(days, &year_, &month_, &day_);
    }
    if (hasTime_) {
        hour_ = static_cast<int>(rest / 360000), minute_ = static_cast<int>(rest / 6000 % 60);
        second_ = static_cast<int>(rest / 100 % 60), hundredth_ = static_cast<int>(rest % 100);
    }
    return LNNOERROR;
}

LNSTATUS LNDatetime::AdjustDay(LNINT days) {
    if (!hasDate_) {
        return invalid();
    }
    return adjustTicks(static_cast<long long>(days) * notes::kTicksPerDay);
}
LNSTATUS LNDatetime::AdjustHour(LNINT hours) {
    return adjustTicks(static_cast<long long>(hours) * 360000LL);
}
LNSTATUS LNDatetime::AdjustMinute(LNINT minutes) {
    return adjustTicks(static_cast<long long>(minutes) * 6000LL);
}
LNSTATUS LNDatetime::AdjustSecond(LNINT seconds) {
    return adjustTicks(static_cast<long long>(seconds) * 100LL);
}

LNSTATUS LNDatetime::AdjustMonth(LNINT months) {
    change();
    if (!hasDate_) {
        return invalid();
    }
    const long long total = static_cast<long long>(year_) * 12 + (month_ - 1) + months;
    const int year = static_cast<int>(total / 12), month = static_cast<int>(total % 12) + 1;
    if (year < 1 || year > 9999) {
        return invalid();
    }
    year_ = year, month_ = month;
    day_ = std::min(day_, daysInMonth(year_, month_));
    return LNNOERROR;
}

LNSTATUS LNDatetime::AdjustYear(LNINT years) {
    return AdjustMonth(years * 12);
}

LNSTATUS LNDatetime::GetText(LNString* text) const {
    if (text == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    settle();
    *text = LNString(notes::formatDatetime(LN_FIELDS));
    return LNNOERROR;
}

LNString LNDatetime::GetText() const {
    settle();
    return LNString(notes::formatDatetime(LN_FIELDS));
}

LNSTATUS LNDatetime::SetText(const LNString& text) {
    change();
    notes::Fields f;
    if (!notes::parseDatetime(text.str(), &f)) {
        return lnResult(ERR_TDI_CONV);
    }
    year_ = f.year, month_ = f.month, day_ = f.day;
    hour_ = f.hour, minute_ = f.minute, second_ = f.second, hundredth_ = f.hundredth;
    zone_ = f.zone, dst_ = f.dst ? TRUE : FALSE;
    hasDate_ = f.hasDate, hasTime_ = f.hasTime;
    return LNNOERROR;
}

bool operator==(const LNDatetime& a, const LNDatetime& b) {
    const TIMEDATE x = a.GetTIMEDATE(), y = b.GetTIMEDATE();
    return TimeDateCompare(&x, &y) == 0;
}

bool operator<(const LNDatetime& a, const LNDatetime& b) {
    const TIMEDATE x = a.GetTIMEDATE(), y = b.GetTIMEDATE();
    return TimeDateCompare(&x, &y) < 0;
}

LNSTATUS LNDatetimeRange::SetBegin(const LNDatetime& begin) {
    begin_ = begin;
    return LNNOERROR;
}

LNSTATUS LNDatetimeRange::SetEnd(const LNDatetime& end) {
    end_ = end;
    return LNNOERROR;
}

TIMEDATE_PAIR LNDatetimeRange::GetTIMEDATE_PAIR() const {
    return TIMEDATE_PAIR{begin_.GetTIMEDATE(), end_.GetTIMEDATE()};
}

LNSTATUS LNDatetimeRange::GetText(LNString* text) const {
    if (text == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    *text = begin_.GetText() + " - " + end_.GetText();
    return LNNOERROR;
}
