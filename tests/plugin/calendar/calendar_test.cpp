// The calendar through a logged-in provider: appointments of a date range from the Calendar folder
// and from a colleague's calendar, an entry's detail with its attendees, creating, re-timing and
// deleting entries, and ids that name nothing.
#include "MailFixture.h"

#include "calendar/CalendarProvider.h"
#include "calendar/NotesAppointment.h"

#include "hxMail/Calendar.h"

// Entries name only the fields a case is about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

struct EntrySetup {
    std::string subject;
    LNDatetime start, end;
    std::string type = "0"; // "AppointmentType"
    std::vector<std::string> required, optional;
    std::string chair;
    bool penciledIn = false;
    std::string location;
};

LNDatetime at(int day, int hour, int minute = 0, int zone = 0, bool dst = false) {
    LNDatetime t;
    t.SetDate(3, day, 2026);
    t.SetTime(hour, minute, 0, 0);
    t.SetTimeZone(zone);
    t.SetDST(dst);
    return t;
}

Lattice::_DateData date(int day, int month = 3) {
    Lattice::_DateData d;
    d.setFullYear(2026);
    d.month = static_cast<short>(month);
    d.day = static_cast<short>(day);
    return d;
}

} // namespace

class CalendarTest : public MailTest {
protected:
    void SetUp() override {
        MailTest::SetUp();
        if (HasFatalFailure())
            return;
        PersonDoc john;
        john.fullName = "CN=John Smith/O=Acme";
        john.shortName = "jsmith";
        john.firstName = "John";
        john.lastName = "Smith";
        john.mailFile = "mail\\jsmith";
        addPerson(kDirectory, john);
        ASSERT_EQ(notes::templates::create("Mail1", "mail/jsmith.nsf", notes::templates::Kind::Mail),
                  NOERROR);
        loginAndList();
        calendar = provider->calendarProvider();
        ASSERT_NE(calendar, nullptr);
        calendarId = folderId("Calendar");
        ASSERT_FALSE(calendarId.empty());
    }

    // Writes an entry through the class library into a mail file; returns its UNID text.
    std::string addEntry(const EntrySetup& e, const char* path = "mail/jdoe.nsf") {
        LNNotesSession session;
        EXPECT_EQ(session.Init(), LNNOERROR);
        LNDatabase db;
        EXPECT_EQ(session.GetDatabase(path, &db, "Mail1"), LNNOERROR);
        EXPECT_EQ(db.Open(), LNNOERROR);
        LNDocument doc;
        EXPECT_EQ(db.CreateDocument(&doc, "Appointment"), LNNOERROR);
        LNCalendarEntry entry(doc);
        entry.SetSubject(e.subject.c_str());
        entry.CreateItem("AppointmentType", LNText(LNString(e.type.c_str())));
        EXPECT_EQ(entry.SetDatetimeRange(LNDatetimeRange(e.start, e.end)), LNNOERROR);
        auto list = [&](const char* name, const std::vector<std::string>& values) {
            if (values.empty())
                return;
            LNText text;
            for (const std::string& v : values)
                text.Append(LNString(v.c_str()));
            entry.CreateItem(name, text);
        };
        list("RequiredAttendees", e.required);
        list("OptionalAttendees", e.optional);
        if (!e.chair.empty())
            entry.CreateItem("Chair", LNText(LNString(e.chair.c_str())));
        if (!e.location.empty())
            entry.CreateItem("Location", LNText(LNString(e.location.c_str())));
        entry.SetIsPenciledIn(e.penciledIn);
        EXPECT_EQ(entry.Save(), LNNOERROR);
        LNUniversalID unid;
        entry.GetUniversalID(&unid);
        const std::string id = unid.GetText().str();
        db.Close();
        session.Term();
        return id;
    }

    std::vector<hxMail::Appointment*> range(const std::string& folder, Lattice::_DateData from,
                                            Lattice::_DateData to, const std::string& user = "") {
        listed.removeAll();
        auto* c = static_cast<hx::CalendarProvider*>(calendar);
        EXPECT_EQ(user.empty() ? c->getAppointmentRange(folder.c_str(), from, to, true, &listed)
                               : c->getUserAppointmentRange(user.c_str(), "", from, to, true, &listed),
                  0);
        std::vector<hxMail::Appointment*> out;
        for (const Lattice::Data& d : listed)
            if (auto* a = d.toObject<hxMail::Appointment>())
                out.push_back(a);
        return out;
    }

    std::vector<std::string> rangeSubjects(const std::string& folder, Lattice::_DateData from,
                                           Lattice::_DateData to, const std::string& user = "") {
        std::vector<std::string> out;
        for (hxMail::Appointment* a : range(folder, from, to, user))
            out.push_back(a->get_subject().c_str());
        return out;
    }

    hxMail::CalendarProvider* calendar = nullptr;
    std::string calendarId;
    Lattice::ObjectCollection listed;
};

TEST_F(CalendarTest, EachKindLoadsWithItsFlagsAndTimesInGmt) {
    // 09:00 in New York (5 hours west, no daylight saving in early March) is 14:00 GMT.
    addEntry({.subject = "NY call", .start = at(3, 9, 0, 5), .end = at(3, 10, 0, 5), .location = "Phone"});
    addEntry({.subject = "Holiday", .start = at(4, 0), .end = at(4, 0), .type = "2"});
    addEntry({.subject = "Review",
              .start = at(4, 9),
              .end = at(4, 10),
              .type = "3",
              .required = {"CN=John Smith/O=Acme"},
              .chair = "CN=Jane Doe/O=Acme",
              .penciledIn = true});
    addEntry({.subject = "Reminder", .start = at(5, 8), .end = at(5, 8), .type = "4"});
    const auto got = range(calendarId, date(3), date(5));
    ASSERT_EQ(got.size(), 4u);
    const struct {
        const char* subject;
        bool meeting, allDay;
        long busy;
        short startHour;
        const char* location;
    } want[] = {{"NY call", false, false, 2, 14, "Phone"},
                {"Holiday", false, true, 2, 0, ""},
                {"Review", true, false, 0, 9, ""},
                {"Reminder", false, false, 2, 8, ""}};
    for (std::size_t i = 0; i < 4; ++i) {
        const hxMail::Appointment& a = *got[i];
        EXPECT_EQ(a.get_subject(), want[i].subject);
        EXPECT_EQ(a.get_isMeeting(), want[i].meeting) << want[i].subject;
        EXPECT_EQ(a.get_allDay(), want[i].allDay) << want[i].subject;
        EXPECT_EQ(a.get_busyStatus(), want[i].busy) << want[i].subject;
        EXPECT_EQ(a.get_startDate().hour, want[i].startHour) << want[i].subject;
        EXPECT_EQ(a.get_startDate().zoneOffset, 0);
        EXPECT_EQ(a.get_location(), want[i].location);
        EXPECT_EQ(a.get_iconType(), 3);
        EXPECT_TRUE(a.get_isOriginator());
        EXPECT_FALSE(a.get_isRecurring());
        EXPECT_EQ(a.get_id().length(), 32);
    }
}

TEST_F(CalendarTest, RangeEdgesFoldersAndColleagues) {
    addEntry({.subject = "ends at midnight", .start = at(2, 23), .end = at(3, 0)});
    addEntry({.subject = "starts at midnight", .start = at(3, 0), .end = at(3, 1)});
    addEntry({.subject = "last day", .start = at(5, 23), .end = at(5, 23, 30)});
    addEntry({.subject = "John's", .start = at(4, 10), .end = at(4, 11)}, "mail/jsmith.nsf");
    const std::vector<std::string> none;
    const struct {
        const char* what;
        std::string folder, user;
        Lattice::_DateData from, to;
        std::vector<std::string> subjects;
    } cases[] = {
        {"an entry ending where the range starts is outside",
         calendarId,
         "",
         date(3),
         date(5),
         {"starts at midnight", "last day"}},
        {"end before start lists nothing", calendarId, "", date(5), date(3), none},
        {"ten years",
         calendarId,
         "",
         date(1, 1),
         date(1, 12),
         {"ends at midnight", "starts at midnight", "last day"}},
        {"a folder id that names nothing", "no-such-folder", "", date(1), date(31), none},
        {"the inbox holds no calendar entries", folderId("Inbox"), "", date(1), date(31), none},
        {"a colleague's calendar by name", "", "John Smith", date(1), date(31), {"John's"}},
        {"a colleague by short name", "", "jsmith", date(4), date(4), {"John's"}},
        {"a name nobody has", "", "Nobody Here", date(1), date(31), none},
        {"no folder and no name", "", "", date(1), date(31), none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rangeSubjects(c.folder, c.from, c.to, c.user), c.subjects) << c.what;
}

TEST_F(CalendarTest, DetailResolvesOwnerAndKnownAttendeesOnly) {
    const std::string id = addEntry({.subject = "Planning",
                                     .start = at(4, 9),
                                     .end = at(4, 10),
                                     .type = "3",
                                     .required = {"CN=John Smith/O=Acme", "CN=Nobody Known/O=Acme"},
                                     .optional = {"CN=Jane Doe/O=Acme"},
                                     .chair = "CN=Jane Doe/O=Acme"});
    Lattice::Ptr<hxMail::AppointmentDetail> detail = new hxMail::AppointmentDetail();
    ASSERT_EQ(calendar->getAppointmentDetail(id.c_str(), detail), 0);
    ASSERT_TRUE(detail->get_from());
    EXPECT_EQ(detail->get_from()->get_recipientType(), 0);
    std::vector<std::pair<std::string, long>> attendees;
    for (const Lattice::Data& d : *detail->get_attendeeList())
        if (auto* r = d.toObject<hxMail::Recipient>())
            attendees.emplace_back(r->get_displayName().c_str(), r->get_recipientType());
    EXPECT_EQ(attendees, (std::vector<std::pair<std::string, long>>{{"John Smith", 1}, {"Jane Doe", 2}}));

    // Ids that name nothing leave the detail as it was.
    for (const char* bad : {"", "0123456789ABCDEF0123456789ABCDEF", "not-an-id"}) {
        Lattice::Ptr<hxMail::AppointmentDetail> untouched = new hxMail::AppointmentDetail();
        EXPECT_EQ(calendar->getAppointmentDetail(bad, untouched), 0) << bad;
        EXPECT_FALSE(untouched->get_from()) << bad;
        EXPECT_EQ(untouched->get_attendeeList()->count(), 0) << bad;
    }
}

TEST_F(CalendarTest, CreateRetimeAndRemoveRoundTrip) {
    Lattice::Ptr<hxMail::Appointment> made = new hxMail::Appointment();
    made->set_subject("Lunch");
    made->set_location("Canteen");
    Lattice::_DateTimeData start{20, 26, 3, 10, 12, 0, 0, 0, 0};
    Lattice::_DateTimeData end{20, 26, 3, 10, 13, 0, 0, 0, 0};
    made->set_startDate(start);
    made->set_endDate(end);
    made->set_isMeeting(true);
    made->set_allDay(true); // the meeting test wins
    ASSERT_EQ(calendar->newAppointment(calendarId.c_str(), made), 0);
    const Lattice::String id = made->get_id();
    ASSERT_EQ(id.length(), 32);
    auto got = range(calendarId, date(10), date(10));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]->get_subject(), "Lunch");
    EXPECT_EQ(got[0]->get_location(), "Canteen");
    EXPECT_TRUE(got[0]->get_isMeeting());
    EXPECT_FALSE(got[0]->get_allDay());
    EXPECT_EQ(got[0]->get_startDate().hour, 12);

    // Re-timed to the next day with a new subject, in a zone one hour east of GMT (offset -60).
    Lattice::_DateTimeData moved{20, 26, 3, 11, 15, 0, 0, 0, -60};
    Lattice::_DateTimeData movedEnd{20, 26, 3, 11, 16, 0, 0, 0, -60};
    ASSERT_EQ(calendar->appointmentTimeChanged(id, moved, movedEnd, "Late lunch", false, false), 0);
    EXPECT_TRUE(range(calendarId, date(10), date(10)).empty());
    got = range(calendarId, date(11), date(11));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]->get_subject(), "Late lunch");
    EXPECT_EQ(got[0]->get_startDate().hour, 14);
    // An empty end changes nothing.
    ASSERT_EQ(calendar->appointmentTimeChanged(id, moved, Lattice::_DateTimeData{}, "Broken", false, false),
              0);
    EXPECT_EQ(rangeSubjects(calendarId, date(11), date(11)), std::vector<std::string>{"Late lunch"});

    bool flag = true;
    made->set_location("Roof");
    ASSERT_EQ(calendar->saveAppointment(made, nullptr, flag), 0);
    EXPECT_FALSE(flag);
    EXPECT_EQ(range(calendarId, date(10), date(10)).at(0)->get_location(), "Roof");

    bool removed = false;
    ASSERT_EQ(calendar->removeAppointment(id, false, false, removed), 0);
    EXPECT_TRUE(removed);
    EXPECT_TRUE(range(calendarId, date(1), date(31)).empty());
    removed = false;
    ASSERT_EQ(calendar->removeAppointment(id, false, false, removed), 0);
    EXPECT_FALSE(removed) << "an id that names nothing is not reported deleted";
}

TEST_F(CalendarTest, BeforeLoginNothingIsReached) {
    provider->logout();
    Lattice::Ptr<hxMail::Appointment> made = new hxMail::Appointment();
    EXPECT_EQ(calendar->newAppointment("", made), hxMail::kNotSupported);
    EXPECT_EQ(calendar->getAppointmentRange(calendarId.c_str(), date(1), date(31), true, &listed),
              hxMail::kNotSupported);
    EXPECT_EQ(listed.count(), 0);
}

TEST_F(CalendarTest, FreeBusyMergesBusyTimePerUserAndSkipsThoseWithoutSchedule) {
    // Jane: two overlapping entries merge, a penciled-in one does not count, one on the day before
    // the asked range counts (the window is widened by a day each side), one two days before does not.
    addEntry({.subject = "a", .start = at(3, 9), .end = at(3, 10)});
    addEntry({.subject = "b", .start = at(3, 9, 30), .end = at(3, 11)});
    addEntry({.subject = "maybe", .start = at(4, 9), .end = at(4, 10), .penciledIn = true});
    addEntry({.subject = "day before", .start = at(2, 15), .end = at(2, 16)});
    addEntry({.subject = "too early", .start = at(1, 15), .end = at(1, 16)});
    // John: 10:00 in New York (5 hours west) is 15:00 GMT.
    addEntry({.subject = "NY", .start = at(4, 10, 0, 5), .end = at(4, 11, 0, 5)}, "mail/jsmith.nsf");

    Lattice::ObjectCollection users;
    users.add(Lattice::Data("12/06/2026 05:00:00 AM---CN=John Smith/O=Acme")); // a text id
    users.add(Lattice::Data("x---Nobody Here"));                               // no schedule: no text
    Lattice::Ptr<hxMail::Recipient> jane = new hxMail::Recipient();
    jane->set_id("12/06/2026 05:00:00 AM---Jane Doe/Acme"); // a recipient, by its id
    users.add(Lattice::Data(jane.get(), true));
    users.add(Lattice::Data("x---Sales"));                // a group has no schedule
    users.add(Lattice::Data("x---CN=John Smith/O=Acme")); // the same user again, alone in his text
    Lattice::ObjectCollection out;
    ASSERT_EQ(calendar->getFreeBusyBlocks(date(3), date(5), users, &out), 0);
    std::vector<std::string> texts;
    for (const Lattice::Data& d : out)
        texts.push_back(d.toString().c_str());
    const std::string john = "2026-03-04T15:00:00Z/2026-03-04T16:00:00Z/2";
    EXPECT_EQ(texts, (std::vector<std::string>{john,
                                               "2026-03-02T15:00:00Z/2026-03-02T16:00:00Z/2;"
                                               "2026-03-03T09:00:00Z/2026-03-03T11:00:00Z/2",
                                               john}));
    Lattice::ObjectCollection none;
    EXPECT_EQ(calendar->getFreeBusyBlocks(date(3), date(5), Lattice::ObjectCollection(), &none), 0);
    EXPECT_EQ(none.count(), 0);
}
