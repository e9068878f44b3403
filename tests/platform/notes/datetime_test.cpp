#include "fixture.h"

namespace {

LNDatetime parse(const char* text) {
    LNDatetime dt;
    EXPECT_EQ(dt.SetText(text), LNNOERROR) << text;
    return dt;
}

} // namespace

TEST(NotesDatetime, ParsesTheTemplateTexts) {
    LNDatetime full = parse("01/01/2005 3:00:00 PM");
    EXPECT_TRUE(full.HasDate());
    EXPECT_TRUE(full.HasTime());
    EXPECT_EQ(full.GetYear(), 2005);
    EXPECT_EQ(full.GetMonth(), 1);
    EXPECT_EQ(full.GetDay(), 1);
    EXPECT_EQ(full.GetHour(), 15);
    EXPECT_EQ(full.GetMinute(), 0);
    EXPECT_EQ(full.GetSecond(), 0);

    LNDatetime timeOnly = parse("3:20 PM");
    EXPECT_FALSE(timeOnly.HasDate());
    EXPECT_EQ(timeOnly.GetHour(), 15);
    EXPECT_EQ(timeOnly.GetMinute(), 20);

    LNDatetime dateOnly = parse("01/01/2005");
    EXPECT_FALSE(dateOnly.HasTime());
    EXPECT_EQ(dateOnly.GetDay(), 1);

    EXPECT_EQ(parse("12:05 AM").GetHour(), 0);
    EXPECT_EQ(parse("12:05 PM").GetHour(), 12);
    EXPECT_EQ(parse("2005-02-03 17:04:05").GetSecond(), 5);
}

TEST(NotesDatetime, RefusesBadTexts) {
    for (const char* text : {"", "13/01/2005", "02/30/2005", "25:00", "3:20 XM", "01/01/2005 3:00 PM junk"}) {
        LNDatetime dt;
        EXPECT_EQ(dt.SetText(text), static_cast<LNSTATUS>(ERR_TDI_CONV)) << text;
    }
    TIMEDATE td;
    EXPECT_EQ(ConvertTextToTIMEDATE("not a date", 80, &td), ERR_TDI_CONV);
}

TEST(NotesDatetime, FormatsAndParsesBack) {
    LNDatetime dt;
    dt.SetDate(7, 4, 2021);
    dt.SetTime(9, 5, 7, 0);
    EXPECT_EQ(dt.GetText(), "07/04/2021 09:05:07 AM");
    EXPECT_EQ(parse(dt.GetText()).GetText(), dt.GetText());
    LNDatetime dateOnly = parse("12/31/1999");
    EXPECT_EQ(dateOnly.GetText(), "12/31/1999");
}

TEST(NotesDatetime, AdjustTimeZoneToGmtAndBack) {
    LNDatetime dt = parse("01/01/2005 3:00:00 PM");
    dt.SetTimeZone(5); // US Eastern, no DST
    dt.SetDST(FALSE);
    LNDatetime gmt = dt;
    ASSERT_EQ(gmt.AdjustTimeZone(0, FALSE), LNNOERROR);
    EXPECT_EQ(gmt.GetHour(), 20);
    EXPECT_EQ(gmt.GetTimeZone(), 0);
    EXPECT_TRUE(gmt == dt); // the same moment

    LNDatetime back = gmt;
    back.AdjustTimeZone(5, FALSE);
    EXPECT_EQ(back.GetHour(), 15);
    EXPECT_EQ(back.GetDay(), 1);

    LNDatetime cet = parse("01/01/2005 3:00:00 PM");
    cet.SetTimeZone(-1);
    cet.SetDST(FALSE);
    cet.AdjustTimeZone(0);
    EXPECT_EQ(cet.GetHour(), 14);
}

TEST(NotesDatetime, AdjustTimeZoneCrossesMidnightAndHonoursDst) {
    LNDatetime late = parse("12/31/2004 10:30:00 PM");
    late.SetTimeZone(5);
    late.SetDST(FALSE);
    late.AdjustTimeZone(0);
    EXPECT_EQ(late.GetYear(), 2005);
    EXPECT_EQ(late.GetMonth(), 1);
    EXPECT_EQ(late.GetDay(), 1);
    EXPECT_EQ(late.GetHour(), 3);

    LNDatetime summer = parse("07/01/2005 3:00:00 PM");
    summer.SetTimeZone(5);
    summer.SetDST(TRUE); // EDT is GMT-4
    summer.AdjustTimeZone(0);
    EXPECT_EQ(summer.GetHour(), 19);
}

TEST(NotesDatetime, SetTimeZoneKeepsTheWallClock) {
    LNDatetime dt = parse("01/01/2005 3:00:00 PM");
    dt.SetTimeZone(-1);
    EXPECT_EQ(dt.GetHour(), 15);
    LNDatetime range = parse("01/01/2005");
    ASSERT_EQ(range.SetTime(0, 0, 1, 0), LNNOERROR);
    ASSERT_EQ(range.SetTimeZone(0), LNNOERROR);
    range.SetDST(FALSE);
    EXPECT_TRUE(range.HasTime());
    TIMEDATE td = range.GetTIMEDATE();
    EXPECT_EQ(td.Innards[0], 100u); // one second past midnight GMT
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

TEST(NotesDatetime, FieldSettersRejectOutOfRange) {
    LNDatetime dt = parse("01/01/2005 3:00:00 PM");
    EXPECT_EQ(dt.SetMonth(13), static_cast<LNSTATUS>(LNERR_INVALID_DATETIME));
    EXPECT_EQ(dt.SetHour(24), static_cast<LNSTATUS>(LNERR_INVALID_DATETIME));
    EXPECT_EQ(dt.SetDate(2, 29, 2005), static_cast<LNSTATUS>(LNERR_INVALID_DATETIME));
    EXPECT_EQ(dt.SetDate(2, 29, 2004), LNNOERROR);
}

TEST(NotesDatetime, ArithmeticAcrossMonthAndYearEnds) {
    LNDatetime dt = parse("01/31/2005 11:00:00 PM");
    dt.AdjustHour(2);
    EXPECT_EQ(dt.GetMonth(), 2);
    EXPECT_EQ(dt.GetDay(), 1);
    EXPECT_EQ(dt.GetHour(), 1);
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
