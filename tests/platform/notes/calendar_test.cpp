// Calendar entries: kinds and their stored codes, date ranges through zones, the overlap rule of a
// date-range query at its edges, the index kept through edits, deletions and reopening, bad ranges.
#include "fixture.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <vector>

namespace {

// A moment of January 2005 at a GMT hour.
LNDatetime gmt(int d, int hour, int minute = 0) {
    LNDatetime t;
    t.SetDate(1, d, 2005);
    t.SetTime(hour, minute, 0, 0);
    t.SetTimeZone(0);
    t.SetDST(FALSE);
    return t;
}

LNDatetime dateOnly(int month, int d, int year = 2005) {
    LNDatetime t;
    t.SetDate(month, d, year);
    return t;
}

} // namespace

class CalendarTest : public TemplateTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        create(notes::templates::Kind::Mail, "mail/jdoe.nsf");
    }

    NOTEID entry(const char* subject, const LNDatetime& begin, const LNDatetime& end,
                 LNCALENDARENTRYTYPE type = LNCALENDARENTRYTYPE_APPOINTMENT) {
        LNDocument doc;
        EXPECT_EQ(db.CreateDocument(&doc, "Appointment"), LNNOERROR);
        LNCalendarEntry e(doc);
        EXPECT_EQ(e.SetSubject(subject), LNNOERROR);
        EXPECT_EQ(e.SetDatetimeRange(LNDatetimeRange(begin, end)), LNNOERROR);
        EXPECT_EQ(e.SetEntryType(type), LNNOERROR);
        EXPECT_EQ(e.Save(), LNNOERROR);
        return e.GetNoteID();
    }

    std::vector<std::string> subjects(const LNDatetime& from, const LNDatetime& to,
                                      LNSTATUS* status = nullptr) {
        std::vector<LNCalendarEntry> entries;
        const LNSTATUS s = LNCalendar::GetEntries(db, LNDatetimeRange(from, to), &entries);
        if (status)
            *status = s;
        std::vector<std::string> out;
        for (LNCalendarEntry& e : entries) {
            EXPECT_EQ(e.Open(), LNNOERROR);
            out.push_back(e.GetBriefDescription().str());
        }
        return out;
    }
};

TEST_F(CalendarTest, EntryKindsRoundTripThroughTheirStoredCodes) {
    const struct {
        LNCALENDARENTRYTYPE type;
        const char* code;
    } kinds[] = {{LNCALENDARENTRYTYPE_APPOINTMENT, "0"},
                 {LNCALENDARENTRYTYPE_ANNIVERSARY, "1"},
                 {LNCALENDARENTRYTYPE_ALL_DAY_EVENT, "2"},
                 {LNCALENDARENTRYTYPE_MEETING, "3"},
                 {LNCALENDARENTRYTYPE_REMINDER, "4"}};
    EXPECT_EQ(LNCALENDARENTRYTYPE_ALL_DAY_EVENT, 4);
    EXPECT_EQ(LNCALENDARENTRYTYPE_MEETING, 8);
    for (const auto& k : kinds) {
        LNDocument doc = openDoc(db, entry(k.code, gmt(3, 9), gmt(3, 10), k.type));
        LNCalendarEntry e(doc);
        EXPECT_EQ(e.GetEntryType(), k.type) << k.code;
        LNItem item;
        ASSERT_EQ(e.GetItem("AppointmentType", &item), LNNOERROR);
        LNText text;
        text = item;
        EXPECT_EQ(text[0].str(), k.code);
    }
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Appointment"), LNNOERROR);
    LNCalendarEntry e(doc);
    EXPECT_EQ(e.SetEntryType(static_cast<LNCALENDARENTRYTYPE>(3)), ERR_INVALID_PARAM);
    EXPECT_EQ(e.GetEntryType(), LNCALENDARENTRYTYPE_APPOINTMENT); // no code at all
    for (const char* odd : {"7", "x", "33", ""}) {
        ASSERT_EQ(e.CreateItem("AppointmentType", LNText(LNString(odd))), LNNOERROR);
        EXPECT_EQ(e.GetEntryType(), LNCALENDARENTRYTYPE_APPOINTMENT) << odd;
    }
}

TEST_F(CalendarTest, EntryPartsReadBack) {
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Appointment"), LNNOERROR);
    LNCalendarEntry e(doc);
    {
        // A bare entry reads as defaults, also when every error would throw.
        LNSetThrowAllErrorsGlobal(TRUE);
        LNText none;
        LNDatetimeRange range;
        EXPECT_NO_THROW({
            EXPECT_EQ(e.GetEntryType(), LNCALENDARENTRYTYPE_APPOINTMENT);
            EXPECT_FALSE(e.GetIsPenciledIn());
            EXPECT_TRUE(e.GetOwner().IsNull() || e.GetOwner().str().empty());
            EXPECT_EQ(e.GetRequiredAttendees(&none), LNNOERROR);
            EXPECT_EQ(e.GetDatetimeRange(&range), LNNOERROR);
        });
        LNSetThrowAllErrorsGlobal(FALSE);
        EXPECT_TRUE(range.GetBegin().IsNull());
    }
    EXPECT_EQ(e.SetIsPenciledIn(TRUE), LNNOERROR);
    EXPECT_TRUE(e.GetIsPenciledIn());
    EXPECT_EQ(e.SetIsPenciledIn(FALSE), LNNOERROR);
    EXPECT_FALSE(e.GetIsPenciledIn());
    EXPECT_EQ(e.CreateItem("From", LNText("CN=Jane Doe/O=Acme")), LNNOERROR);
    EXPECT_EQ(e.GetOwner(), LNString("CN=Jane Doe/O=Acme"));
    EXPECT_EQ(e.CreateItem("Chair", LNText("CN=Adam Smith/O=Acme")), LNNOERROR);
    EXPECT_EQ(e.GetOwner(), LNString("CN=Adam Smith/O=Acme")); // the chair wins
    LNText req;
    req << "CN=Adam Smith/O=Acme"
        << "Nobody";
    EXPECT_EQ(e.CreateItem("RequiredAttendees", req), LNNOERROR);
    LNText names;
    ASSERT_EQ(e.GetRequiredAttendees(&names), LNNOERROR);
    EXPECT_EQ(names.GetCount(), 2);
    ASSERT_EQ(e.GetOptionalAttendees(&names), LNNOERROR);
    EXPECT_EQ(names.GetCount(), 0);
    // A reversed or half-null range writes nothing.
    EXPECT_EQ(e.SetDatetimeRange(LNDatetimeRange(gmt(3, 10), gmt(3, 9))), LNERR_INVALID_DATETIME);
    EXPECT_EQ(e.SetDatetimeRange(LNDatetimeRange(gmt(3, 10), LNDatetime())), LNERR_INVALID_DATETIME);
    EXPECT_FALSE(e.HasItem("StartDateTime"));
}

TEST_F(CalendarTest, ZonesKeepTheMomentAndTheirOwnReading) {
    // 09:00 in New York in January (5 hours west, no daylight saving) is 14:00 GMT; in July (daylight
    // saving) 13:00 GMT.
    for (const auto& [month, gmtHour] : {std::pair{1, 14}, std::pair{7, 13}}) {
        LNDatetime begin, end;
        begin.SetDate(month, 10, 2005);
        begin.SetTime(9, 0, 0, 0);
        begin.SetTimeZone(5);
        begin.SetDST(month == 7);
        end = begin;
        end.AdjustHour(1);
        LNDocument doc = openDoc(db, entry("NY", begin, end));
        LNDatetimeRange range;
        ASSERT_EQ(LNCalendarEntry(doc).GetDatetimeRange(&range), LNNOERROR);
        EXPECT_EQ(range.GetBegin().GetHour(), 9);
        EXPECT_EQ(range.GetBegin().GetTimeZone(), 5);
        LNDatetime inGmt = range.GetBegin();
        inGmt.AdjustTimeZone(0);
        EXPECT_EQ(inGmt.GetHour(), gmtHour) << month;
        LNDatetime back = inGmt;
        back.AdjustTimeZone(5, month == 7);
        EXPECT_EQ(back.GetHour(), 9);
    }
}

TEST_F(CalendarTest, RangeQueryTakesEveryOverlappingEntryInStartOrder) {
    entry("before", gmt(3, 8), gmt(3, 9));        // ends exactly where the range begins
    entry("across-begin", gmt(3, 8), gmt(3, 10)); // reaches into it
    entry("inside", gmt(3, 12), gmt(3, 13));
    entry("instant-at-begin", gmt(3, 9), gmt(3, 9)); // no duration, at the begin
    entry("long", gmt(1, 0), gmt(20, 0));            // covers the whole range
    entry("after", gmt(3, 18), gmt(3, 19));          // starts at the end
    entry("next-day", gmt(4, 9), gmt(4, 10));
    entry("all-day", dateOnly(1, 3), dateOnly(1, 3), LNCALENDARENTRYTYPE_ALL_DAY_EVENT);
    EXPECT_EQ(
        subjects(gmt(3, 9), gmt(3, 18)),
        (std::vector<std::string>{"long", "all-day", "across-begin", "instant-at-begin", "inside", "after"}));
    // A date-only end takes in its whole day; a date-only begin starts at midnight GMT.
    EXPECT_EQ(subjects(dateOnly(1, 4), dateOnly(1, 4)), (std::vector<std::string>{"long", "next-day"}));
    EXPECT_EQ(subjects(dateOnly(1, 21), dateOnly(1, 30)), std::vector<std::string>{});
}

TEST_F(CalendarTest, BadRangesAreRefusedAndEdgesOfTheDateRangeAnswer) {
    entry("one", gmt(3, 8), gmt(3, 9));
    const struct {
        LNDatetime from, to;
        LNSTATUS status;
        size_t count;
    } cases[] = {
        {gmt(4, 0), gmt(3, 0), LNERR_INVALID_DATETIME, 0}, // end before begin
        {LNDatetime(), gmt(3, 0), LNERR_INVALID_DATETIME, 0},
        {gmt(3, 0), LNDatetime(), LNERR_INVALID_DATETIME, 0},
        {dateOnly(1, 1, 2000), dateOnly(12, 31, 2009), LNNOERROR, 1}, // ten years
        {dateOnly(1, 1, 1), dateOnly(12, 31, 9999), LNNOERROR, 1},    // the whole date range
        {gmt(3, 8), gmt(3, 8), LNNOERROR, 1},                         // one instant at a start
    };
    for (const auto& c : cases) {
        LNSTATUS status = 0;
        EXPECT_EQ(subjects(c.from, c.to, &status).size(), c.count);
        EXPECT_EQ(status, c.status);
    }
}

TEST_F(CalendarTest, IndexFollowsEditsDeletionsAndOtherForms) {
    const NOTEID id = entry("moving", gmt(3, 9), gmt(3, 10));
    LNDocument doc = openDoc(db, id);
    LNCalendarEntry e(doc);
    ASSERT_EQ(e.SetDatetimeRange(LNDatetimeRange(gmt(5, 9), gmt(5, 10))), LNNOERROR);
    ASSERT_EQ(e.Save(), LNNOERROR);
    EXPECT_TRUE(subjects(dateOnly(1, 3), dateOnly(1, 3)).empty());
    EXPECT_EQ(subjects(dateOnly(1, 5), dateOnly(1, 5)), std::vector<std::string>{"moving"});
    // A memo with the same items is no calendar entry.
    LNDocument memo;
    ASSERT_EQ(db.CreateDocument(&memo, "Memo"), LNNOERROR);
    LNCalendarEntry fake(memo);
    ASSERT_EQ(fake.SetDatetimeRange(LNDatetimeRange(gmt(5, 9), gmt(5, 10))), LNNOERROR);
    ASSERT_EQ(fake.Save(), LNNOERROR);
    EXPECT_EQ(subjects(dateOnly(1, 5), dateOnly(1, 5)).size(), 1u);
    ASSERT_EQ(db.DeleteDocument(id), LNNOERROR);
    EXPECT_TRUE(subjects(dateOnly(1, 5), dateOnly(1, 5)).empty());
    // The index is the file's: it answers after the database is closed and opened again.
    entry("kept", gmt(6, 9), gmt(6, 10));
    db.Close();
    ASSERT_EQ(db.Open(), LNNOERROR);
    EXPECT_EQ(subjects(dateOnly(1, 6), dateOnly(1, 6)), std::vector<std::string>{"kept"});
    LNCalendar closed;
    std::vector<LNCalendarEntry> entries;
    EXPECT_EQ(closed.GetEntries(LNDatetimeRange(gmt(1, 0), gmt(2, 0)), &entries), LNERR_DATABASE_NOT_OPEN);
}

TEST_F(CalendarTest, TenThousandEntriesInOneMonth) {
    auto store = notes::handles::database(db.GetDatabaseHandle());
    ASSERT_TRUE(store);
    ASSERT_EQ(store->beginBatch(), NOERROR);
    for (int i = 0; i < 10000; ++i) {
        LNDatetime begin = gmt(1 + i % 28, 8 + i % 10);
        LNDatetime end = begin;
        end.AdjustMinute(30);
        entry("e", begin, end);
    }
    ASSERT_EQ(store->endBatch(true), NOERROR);
    EXPECT_EQ(subjects(dateOnly(1, 1), dateOnly(1, 31)).size(), 10000u);
    EXPECT_EQ(subjects(dateOnly(1, 2), dateOnly(1, 2)).size(), 358u);
}
