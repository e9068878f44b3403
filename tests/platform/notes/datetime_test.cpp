#include "fixture.h"

namespace {

LNDatetime parse(const char* text) {
    LNDatetime dt;
    EXPECT_EQ(dt.SetText(text), LNNOERROR) << text;
    return dt;
}

} // namespace

// The texts the templates write, read field by field and formatted back.
TEST(NotesDatetime, ParsesFormatsAndRefusesTexts) {
    const struct {
        const char* text;
        bool hasDate, hasTime;
        int year, month, day, hour, minute, second; // -1: not part of the text
        const char* formatted;                      // nullptr: not checked
    } kCases[] = {
        {"01/01/2005 3:00:00 PM", true, true, 2005, 1, 1, 15, 0, 0, "01/01/2005 03:00:00 PM"},
        {"3:20 PM", false, true, -1, -1, -1, 15, 20, 0, nullptr},
        {"01/01/2005", true, false, 2005, 1, 1, -1, -1, -1, "01/01/2005"},
        {"12/31/1999", true, false, 1999, 12, 31, -1, -1, -1, "12/31/1999"},
        {"12:05 AM", false, true, -1, -1, -1, 0, 5, 0, nullptr},  // midnight hour
        {"12:05 PM", false, true, -1, -1, -1, 12, 5, 0, nullptr}, // noon hour
        {"2005-02-03 17:04:05", true, true, 2005, 2, 3, 17, 4, 5, nullptr},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        const LNDatetime dt = parse(c.text);
        EXPECT_EQ(dt.HasDate(), c.hasDate);
        EXPECT_EQ(dt.HasTime(), c.hasTime);
        if (c.hasDate) {
            EXPECT_EQ(dt.GetYear(), c.year);
            EXPECT_EQ(dt.GetMonth(), c.month);
            EXPECT_EQ(dt.GetDay(), c.day);
        }
        if (c.hasTime) {
            EXPECT_EQ(dt.GetHour(), c.hour);
            EXPECT_EQ(dt.GetMinute(), c.minute);
            EXPECT_EQ(dt.GetSecond(), c.second);
        }
        if (c.formatted) {
            EXPECT_EQ(dt.GetText(), c.formatted);
        }
    }
    LNDatetime dt;
    dt.SetDate(7, 4, 2021);
    dt.SetTime(9, 5, 7, 0);
    EXPECT_EQ(dt.GetText(), "07/04/2021 09:05:07 AM");
    EXPECT_EQ(parse(dt.GetText()).GetText(), dt.GetText());

    for (const char* text : {"", "13/01/2005", "02/30/2005", "25:00", "3:20 XM", "01/01/2005 3:00 PM junk"}) {
        EXPECT_EQ(dt.SetText(text), static_cast<LNSTATUS>(ERR_TDI_CONV)) << text;
    }
    TIMEDATE td;
    EXPECT_EQ(ConvertTextToTIMEDATE("not a date", 80, &td), ERR_TDI_CONV);
}

// A wall-clock time in one zone moved to another: the moment stays, the reading changes, across
// midnight, the year's end and summer time; also past 2038, where 32-bit seconds end.
TEST(NotesDatetime, AdjustTimeZoneKeepsTheMoment) {
    const struct {
        const char* text;
        int zone;
        bool dst;
        int toZone;
        bool toDst;
        int year, month, day, hour;
    } kCases[] = {
        {"01/01/2005 3:00:00 PM", 5, false, 0, false, 2005, 1, 1, 20},  // US Eastern to GMT
        {"01/01/2005 8:00:00 PM", 0, false, 5, false, 2005, 1, 1, 15},  // and back
        {"01/01/2005 3:00:00 PM", -1, false, 0, false, 2005, 1, 1, 14}, // east of GMT
        {"12/31/2004 10:30:00 PM", 5, false, 0, false, 2005, 1, 1, 3},  // into the next year
        {"07/01/2005 3:00:00 PM", 5, true, 0, false, 2005, 7, 1, 19},   // EDT is GMT-4
        {"12/31/2099 10:30:00 PM", 5, false, 0, false, 2100, 1, 1, 3},  // past 2038
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        LNDatetime dt = parse(c.text);
        dt.SetTimeZone(c.zone);
        dt.SetDST(c.dst);
        LNDatetime moved = dt;
        ASSERT_EQ(moved.AdjustTimeZone(c.toZone, c.toDst), LNNOERROR);
        EXPECT_EQ(moved.GetYear(), c.year);
        EXPECT_EQ(moved.GetMonth(), c.month);
        EXPECT_EQ(moved.GetDay(), c.day);
        EXPECT_EQ(moved.GetHour(), c.hour);
        EXPECT_EQ(moved.GetTimeZone(), c.toZone);
        EXPECT_TRUE(moved == dt); // the same moment
    }

    // Setting the zone keeps the wall clock.
    LNDatetime dt = parse("01/01/2005 3:00:00 PM");
    dt.SetTimeZone(-1);
    EXPECT_EQ(dt.GetHour(), 15);
    LNDatetime range = parse("01/01/2005");
    ASSERT_EQ(range.SetTime(0, 0, 1, 0), LNNOERROR);
    ASSERT_EQ(range.SetTimeZone(0), LNNOERROR);
    range.SetDST(FALSE);
    EXPECT_TRUE(range.HasTime());
    EXPECT_EQ(range.GetTIMEDATE().Innards[0], 100u); // one second past midnight GMT
}

TEST(NotesDatetime, TimedateRoundTripKeepsZone) {
    LNDatetime dt;
    dt.SetDate(3, 15, 2010);
    dt.SetTime(8, 45, 0, 50);
    dt.SetTimeZone(-2);
    dt.SetDST(TRUE);
    LNDatetime copy(dt.GetTIMEDATE());
    EXPECT_EQ(copy.GetHour(), 8);
    EXPECT_EQ(copy.GetMinute(), 45);
    EXPECT_EQ(copy.GetHundredth(), 50);
    EXPECT_EQ(copy.GetTimeZone(), -2);
    EXPECT_TRUE(copy.IsDST());
}

TEST(NotesDatetime, FieldSettersAndArithmeticAtMonthAndYearEnds) {
    LNDatetime dt = parse("01/01/2005 3:00:00 PM");
    EXPECT_EQ(dt.SetMonth(13), static_cast<LNSTATUS>(LNERR_INVALID_DATETIME));
    EXPECT_EQ(dt.SetHour(24), static_cast<LNSTATUS>(LNERR_INVALID_DATETIME));
    EXPECT_EQ(dt.SetDate(2, 29, 2005), static_cast<LNSTATUS>(LNERR_INVALID_DATETIME));
    EXPECT_EQ(dt.SetDate(2, 29, 2004), LNNOERROR);

    LNDatetime late = parse("01/31/2005 11:00:00 PM");
    late.AdjustHour(2);
    EXPECT_EQ(late.GetMonth(), 2);
    EXPECT_EQ(late.GetDay(), 1);
    EXPECT_EQ(late.GetHour(), 1);
    LNDatetime m = parse("01/31/2005");
    m.AdjustMonth(1);
    EXPECT_EQ(m.GetDay(), 28);
    m.AdjustYear(-1);
    EXPECT_EQ(m.GetYear(), 2004);
}

TEST(NotesDatetime, SessionTimeComesFromTheClock) {
    notes::Clock::set(2010, 6, 15, 10, 30, 0);
    LNNotesSession s;
    LNDatetime now = s.GetCurrentDatetime();
    now.AdjustTimeZone(0);
    EXPECT_EQ(now.GetYear(), 2010);
    EXPECT_EQ(now.GetHour(), 10);
    EXPECT_EQ(now.GetMinute(), 30);
    notes::Clock::advance(150);
    LNDatetime later = s.GetCurrentDatetime();
    later.AdjustTimeZone(0);
    EXPECT_EQ(later.GetMinute(), 32);
    notes::Clock::reset();
    EXPECT_FALSE(notes::Clock::isPinned());
}
