// Dates and times of the class library.
//
// Time zones follow Notes: the zone is the number of hours WEST of GMT (US Eastern = 5, Central
// Europe = -1), and the DST flag says that daylight saving time (one hour) is in effect. A host
// zone bias in minutes west of GMT becomes a Notes zone as bias / 60.
//
// An LNDatetime is a wall-clock reading (fields) in its zone; it may hold a date, a time or both.
// SetTimeZone changes the zone and keeps the fields; AdjustTimeZone keeps the moment and moves the
// fields into the new zone.
#pragma once

#include "notes/lnstring.h"

class LNDatetime {
public:
    LNDatetime() = default; // holds neither date nor time
    LNDatetime(const TIMEDATE& td);
    LNDatetime& operator=(const TIMEDATE& td);

    operator TIMEDATE() const { return GetTIMEDATE(); }
    TIMEDATE GetTIMEDATE() const;

    LNINT GetYear() const;
    LNINT GetMonth() const;
    LNINT GetDay() const;
    LNINT GetHour() const;
    LNINT GetMinute() const;
    LNINT GetSecond() const;
    LNINT GetHundredth() const;
    LNINT GetTimeZone() const;
    LNBOOL IsDST() const;
    LNINT GetWeekday() const; // 1 = Sunday .. 7 = Saturday; 0 without date
    LNBOOL HasDate() const { return hasDate_; }
    LNBOOL HasTime() const { return hasTime_; }
    LNBOOL IsNull() const { return !hasDate_ && !hasTime_; }

    LNSTATUS SetDate(LNINT month, LNINT day, LNINT year);
    LNSTATUS SetTime(LNINT hour, LNINT minute, LNINT second, LNINT hundredth = 0);
    LNSTATUS SetYear(LNINT year);
    LNSTATUS SetMonth(LNINT month);
    LNSTATUS SetDay(LNINT day);
    LNSTATUS SetHour(LNINT hour);
    LNSTATUS SetMinute(LNINT minute);
    LNSTATUS SetSecond(LNINT second);
    LNSTATUS SetHundredth(LNINT hundredth);
    LNSTATUS SetTimeZone(LNINT zone);
    LNSTATUS SetDST(LNBOOL dst);
    // Same moment, fields moved into `zone` (hours west of GMT) with the given DST flag.
    LNSTATUS AdjustTimeZone(LNINT zone, LNBOOL dst = FALSE);
    LNSTATUS AdjustYear(LNINT years);
    LNSTATUS AdjustMonth(LNINT months);
    LNSTATUS AdjustDay(LNINT days);
    LNSTATUS AdjustHour(LNINT hours);
    LNSTATUS AdjustMinute(LNINT minutes);
    LNSTATUS AdjustSecond(LNINT seconds);

    // Text: "MM/DD/YYYY hh:mm:ss AM", "MM/DD/YYYY" or "hh:mm:ss AM". Parsing also accepts
    // "3:20 PM", "15:20", "01/01/2005 3:00:00 PM" and "2005-01-01 15:00"; a parsed value gets this
    // machine's zone and DST flag.
    LNSTATUS GetText(LNString* text) const;
    LNString GetText() const;
    LNSTATUS SetText(const LNString& text);

    // Comparison of moments (a date without time counts from midnight GMT).
    friend bool operator==(const LNDatetime& a, const LNDatetime& b);
    friend bool operator!=(const LNDatetime& a, const LNDatetime& b) { return !(a == b); }
    friend bool operator<(const LNDatetime& a, const LNDatetime& b);
    friend bool operator>(const LNDatetime& a, const LNDatetime& b) { return b < a; }
    friend bool operator<=(const LNDatetime& a, const LNDatetime& b) { return !(b < a); }
    friend bool operator>=(const LNDatetime& a, const LNDatetime& b) { return !(a < b); }

private:
    void ensureDate();
    void ensureTime();
    LNSTATUS adjustTicks(long long hundredths);
    // A value made from a TIMEDATE keeps it and works its fields out when first asked: reading a
    // view's column of times for their days needs no calendar arithmetic.
    const LNDatetime& settle() const {
        if (pending_) {
            fill();
        }
        return *this;
    }
    void fill() const;
    // Fields are about to change: the kept TIMEDATE no longer tells them.
    void change() {
        settle();
        kept_ = false;
    }

    mutable int year_ = 0, month_ = 0, day_ = 0;
    mutable int hour_ = 0, minute_ = 0, second_ = 0, hundredth_ = 0;
    mutable int zone_ = 0;
    mutable LNBOOL dst_ = FALSE;
    bool hasDate_ = false, hasTime_ = false;
    TIMEDATE td_{};
    mutable bool pending_ = false; // fields not yet worked out from td_
    bool kept_ = false;            // td_ is this value's TIMEDATE
};

class LNDatetimeRange {
public:
    LNDatetimeRange() = default;
    LNDatetimeRange(const LNDatetime& begin, const LNDatetime& end) : begin_(begin), end_(end) {}
    LNDatetimeRange(const TIMEDATE_PAIR& pair) : begin_(pair.Lower), end_(pair.Upper) {}
    LNDatetimeRange(const TIMEDATE& begin, const TIMEDATE& end) : begin_(begin), end_(end) {}

    LNDatetime GetBegin() const { return begin_; }
    LNDatetime GetEnd() const { return end_; }
    LNSTATUS SetBegin(const LNDatetime& begin);
    LNSTATUS SetEnd(const LNDatetime& end);
    LNSTATUS SetBegin(const TIMEDATE& begin) { return SetBegin(LNDatetime(begin)); }
    LNSTATUS SetEnd(const TIMEDATE& end) { return SetEnd(LNDatetime(end)); }
    TIMEDATE_PAIR GetTIMEDATE_PAIR() const;
    operator TIMEDATE_PAIR() const { return GetTIMEDATE_PAIR(); }
    LNSTATUS GetText(LNString* text) const; // "begin - end"

private:
    LNDatetime begin_, end_;
};
