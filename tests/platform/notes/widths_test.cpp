// The plug-in's target is 32-bit Windows: `long` has 32 bits there, `size_t` too, and so has the
// C runtime's `time_t` (msvcrt). These cases hold the data model to what both targets agree on:
// stored layouts of fixed size, times as 64-bit ticks, and dates well past 2038 (when 32-bit
// seconds run out), local ones included.
#include "fixture.h"

#include "saturate.h"
#include "values.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

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

// The machine's zone for one test, given as a rule so that no zone database is needed.
class MachineZone {
public:
    explicit MachineZone(const char* rule) {
        if (const char* old = std::getenv("TZ"))
            saved_ = old;
        setenv("TZ", rule, 1);
        tzset();
    }
    ~MachineZone() {
        if (saved_)
            setenv("TZ", saved_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> saved_;
};

} // namespace

// Local zone and summer time come from the C runtime by the time's seconds: held in a 32-bit time_t,
// 2040 would read the rules of 1904. Past what a runtime knows at all, the nearest time it knows
// gives the rules (Windows' knows 1970 to 3000; glibc fails only past 2^31 years).
TEST(Widths, MachineZonePast2038AndPastTheRuntime) {
    MachineZone est("EST5EDT,M3.2.0,M11.1.0");
    const struct {
        std::int64_t seconds;
        bool dst;
    } rows[] = {
        {2224756800LL, true},                                        // 2040-07-01 12:00 GMT
        {2210241600LL, false},                                       // 2040-01-15
        {4307428800LL, true},                                        // 2106-07-01
        {7226625600LL, false},                                       // 2199-01-01
        {253386446400LL, true},                                      // 9999-07-01
        {std::numeric_limits<std::int64_t>::max() / 100, false},     // no runtime's: 3000-12-30
        {std::numeric_limits<std::int64_t>::min() / 100 + 1, false}, // nor this: 1970-01-03
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seconds);
        int zone = -1;
        bool dst = !row.dst;
        notes::machineZone(row.seconds * 100, &zone, &dst);
        EXPECT_EQ(zone, 5);
        EXPECT_EQ(dst, row.dst);
    }
}

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

// Sizes the class library hands out as LNINT, a 32-bit long on the target: a recorded file size
// past 2 GB (a DWORD holds up to 4 GB) must not read as a negative size there.
TEST(Widths, SizesPast2GBSaturateInA32BitLong) {
    const struct {
        std::uint64_t value;
        std::int32_t as32;
    } rows[] = {
        {0, 0},
        {2147483647u, 2147483647},
        {2147483648u, 2147483647},
        {4294967295u, 2147483647},
        {std::numeric_limits<std::uint64_t>::max(), 2147483647},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value);
        EXPECT_EQ(notes::saturating<std::int32_t>(row.value), row.as32);
        if (row.value <= std::numeric_limits<std::uint32_t>::max()) {
            EXPECT_EQ(notes::saturating<std::int32_t>(static_cast<std::uint32_t>(row.value)), row.as32);
        }
        EXPECT_GE(notes::saturating<LNINT>(row.value), 0);
    }
}
