// The plug-in's target is 32-bit Windows: `long` has 32 bits there and `size_t` too, while
// `time_t` has 64. These cases hold the data model to what both targets agree on: stored layouts of
// fixed size, times as 64-bit ticks, and dates well past 2038 (when 32-bit seconds run out).
#include "fixture.h"

#include "values.h"

#include <cstddef>
#include <cstdint>

// Raw item bytes and API records are the same on every target.
static_assert(sizeof(WORD) == 2 && sizeof(DWORD) == 4 && sizeof(NOTEID) == 4);
static_assert(sizeof(TIMEDATE) == 8 && offsetof(TIMEDATE, Innards[1]) == 4);
static_assert(sizeof(TIMEDATE_PAIR) == 16);
static_assert(sizeof(UNID) == 16 && offsetof(UNID, Note) == 8);
// Ticks (hundredths since 1970) for dates to 9999 need more than 32 bits.
static_assert(sizeof(decltype(notes::ticksFromTimedate(TIMEDATE{}))) == 8);

namespace {

struct WallClock {
    int year, month, day, hour, minute, second;
    std::int64_t epochSeconds; // the same instant in GMT
};

// 2^31 and 2^32 seconds after 1970 are where 32-bit signed and unsigned time_t end.
const WallClock kPast2038[] = {
    {2038, 1, 19, 3, 14, 7, 2147483647LL},    {2038, 1, 19, 3, 14, 8, 2147483648LL},
    {2040, 2, 29, 12, 0, 0, 2214129600LL},    {2106, 2, 7, 6, 28, 16, 4294967296LL},
    {2199, 12, 31, 23, 59, 59, 7258118399LL}, {9999, 12, 31, 23, 59, 59, 253402300799LL},
};

} // namespace

TEST(Widths, DatesPast2038RoundTripThroughTicksAndTimedate) {
    for (const WallClock& w : kPast2038) {
        SCOPED_TRACE(w.year);
        LNDatetime dt;
        ASSERT_EQ(dt.SetDate(w.month, w.day, w.year), LNNOERROR);
        ASSERT_EQ(dt.SetTime(w.hour, w.minute, w.second, 0), LNNOERROR);
        ASSERT_EQ(dt.SetTimeZone(0), LNNOERROR);
        dt.SetDST(FALSE);
        const TIMEDATE td = dt.GetTIMEDATE();
        EXPECT_EQ(notes::ticksFromTimedate(td), w.epochSeconds * 100);
        const TIMEDATE again = notes::timedateFromTicks(w.epochSeconds * 100);
        EXPECT_EQ(TimeDateCompare(&td, &again), 0);

        LNDatetime back(td);
        EXPECT_EQ(back.GetYear(), w.year);
        EXPECT_EQ(back.GetMonth(), w.month);
        EXPECT_EQ(back.GetDay(), w.day);
        EXPECT_EQ(back.GetHour(), w.hour);
        EXPECT_EQ(back.GetSecond(), w.second);
        LNDatetime parsed;
        ASSERT_EQ(parsed.SetText(back.GetText()), LNNOERROR) << back.GetText();
        EXPECT_EQ(parsed.GetText(), back.GetText());
    }
}

TEST(Widths, ZoneShiftsPast2038CrossDayAndYearEnds) {
    LNDatetime late;
    ASSERT_EQ(late.SetText("12/31/2099 10:30:00 PM"), LNNOERROR);
    late.SetTimeZone(5);
    late.SetDST(FALSE);
    ASSERT_EQ(late.AdjustTimeZone(0, FALSE), LNNOERROR);
    EXPECT_EQ(late.GetYear(), 2100);
    EXPECT_EQ(late.GetMonth(), 1);
    EXPECT_EQ(late.GetDay(), 1);
    EXPECT_EQ(late.GetHour(), 3);
}
