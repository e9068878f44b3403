// The calendar through a logged-in provider: appointments of a date range from the Calendar folder
// and from a colleague's calendar, an entry's detail with its attendees, creating, re-timing and
// deleting entries, and ids that name nothing.
#include "MailFixture.h"

#include "calendar/CalendarProvider.h"
#include "calendar/NotesAppointment.h"

#include "hxMail/Calendar.h"
#include "notes/admin/access.h"

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
        addPerson(kDirectory, john());
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

    // Reader access (or none) for a directory person to a mail file of "Mail1".
    void setReader(const char* path, const std::string& name, bool reader) {
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen((std::string("Mail1!!") + path).c_str(), &hDb), NOERROR);
        EXPECT_EQ(notes::access::setReader(hDb, name, reader), NOERROR) << name;
        NSFDbClose(hDb);
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

// Each kind loads with its flags; times read in GMT from zones east and west of it, on either side
// of their daylight-saving switches (the US on 8 March 2026, Europe on 29 March), and an all-day
// entry across a switch is on every day it covers.
TEST_F(CalendarTest, EachKindLoadsWithItsFlagsAndTimesInGmt) {
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
    addEntry({.subject = "NY after", .start = at(10, 9, 0, 5, true), .end = at(10, 10, 0, 5, true)});
    addEntry({.subject = "Berlin before", .start = at(27, 9, 0, -1), .end = at(27, 10, 0, -1)});
    addEntry(
        {.subject = "Easter trip", .start = at(28, 0, 0, -1), .end = at(30, 0, 0, -1, true), .type = "2"});
    addEntry({.subject = "Berlin after", .start = at(30, 9, 0, -1, true), .end = at(30, 10, 0, -1, true)});
    const struct {
        const char* subject;
        bool meeting, allDay;
        long busy;
        short day, hour;
        const char* location;
    } want[] = {{"NY call", false, false, 2, 3, 14, "Phone"}, {"Holiday", false, true, 2, 4, 0, ""},
                {"Review", true, false, 0, 4, 9, ""},         {"Reminder", false, false, 2, 5, 8, ""},
                {"NY after", false, false, 2, 10, 13, ""},    {"Berlin before", false, false, 2, 27, 8, ""},
                {"Easter trip", false, true, 2, 27, 23, ""},  {"Berlin after", false, false, 2, 30, 7, ""}};
    const auto got = range(calendarId, date(1), date(31));
    ASSERT_EQ(got.size(), std::size(want));
    for (std::size_t i = 0; i < got.size(); ++i) {
        const hxMail::Appointment& a = *got[i];
        EXPECT_EQ(a.get_subject(), want[i].subject);
        EXPECT_EQ(a.get_isMeeting(), want[i].meeting) << want[i].subject;
        EXPECT_EQ(a.get_allDay(), want[i].allDay) << want[i].subject;
        EXPECT_EQ(a.get_busyStatus(), want[i].busy) << want[i].subject;
        EXPECT_EQ(a.get_startDate().day, want[i].day) << want[i].subject;
        EXPECT_EQ(a.get_startDate().hour, want[i].hour) << want[i].subject;
        EXPECT_EQ(a.get_startDate().zoneOffset, 0);
        EXPECT_EQ(a.get_location(), want[i].location);
        EXPECT_EQ(a.get_iconType(), 3);
        EXPECT_TRUE(a.get_isOriginator());
        EXPECT_FALSE(a.get_isRecurring());
        EXPECT_EQ(a.get_id().length(), 32);
    }
    for (int day : {28, 29})
        EXPECT_EQ(rangeSubjects(calendarId, date(day), date(day)), std::vector<std::string>{"Easter trip"})
            << day;
}

TEST_F(CalendarTest, RangeEdgesAndFolders) {
    addEntry({.subject = "ends at midnight", .start = at(2, 23), .end = at(3, 0)});
    addEntry({.subject = "starts at midnight", .start = at(3, 0), .end = at(3, 1)});
    addEntry({.subject = "last day", .start = at(5, 23), .end = at(5, 23, 30)});
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
        {"no folder and no name", "", "", date(1), date(31), none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rangeSubjects(c.folder, c.from, c.to, c.user), c.subjects) << c.what;
}

// A colleague's calendar is read from the colleague's own mail file, and only with reader access
// to it; the user's own calendar is hers whatever the colleague's list says.
TEST_F(CalendarTest, ColleagueCalendarNeedsReaderAccess) {
    addEntry({.subject = "mine", .start = at(4, 9), .end = at(4, 10)});
    addEntry({.subject = "John's", .start = at(4, 10), .end = at(4, 11)}, "mail/jsmith.nsf");
    addGroup(kDirectory, "Sales", {"CN=Jane Doe/O=Acme"});
    const std::vector<std::string> none, johns{"John's"};
    const struct {
        const char* what;
        std::string grant; // a name given reader access first ("-name": taken away)
        std::string user;
        std::vector<std::string> subjects;
    } steps[] = {
        {"no one is listed", "", "John Smith", none},
        {"the owner listed is not Jane", "jsmith", "John Smith", none},
        {"Jane by short name", "jdoe", "John Smith", johns},
        {"the colleague by short name", "", "jsmith", johns},
        {"by abbreviated name", "", "John Smith/Acme", johns},
        {"names ignore case", "", "JOHN SMITH", johns},
        {"access taken away", "-Jane Doe/Acme", "John Smith", none},
        {"a name nobody has", "jdoe", "Nobody Here", none},
        {"a group has no calendar", "", "Sales", none},
    };
    for (const auto& s : steps) {
        if (!s.grant.empty())
            setReader("mail/jsmith.nsf", s.grant[0] == '-' ? s.grant.substr(1) : s.grant, s.grant[0] != '-');
        EXPECT_EQ(rangeSubjects("", date(1), date(31), s.user), s.subjects) << s.what;
        EXPECT_EQ(rangeSubjects(calendarId, date(1), date(31)), std::vector<std::string>{"mine"}) << s.what;
    }
    const std::string log = logText();
    EXPECT_NE(log.find("the mail file of John Smith cannot be opened: You are not authorized to access that "
                       "database"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("nobody is named Nobody Here"), std::string::npos);
}

// Two providers of one process logged in as two people: each opens databases as its own user, so
// the second login neither locks the first user out nor lends her the second's rights.
TEST_F(CalendarTest, TwoUsersInOneProcessReadAsThemselves) {
    addEntry({.subject = "mine", .start = at(4, 9), .end = at(4, 10)});
    addEntry({.subject = "John's", .start = at(4, 10), .end = at(4, 11)}, "mail/jsmith.nsf");
    hx::MailProvider* second = makeProvider();
    ASSERT_NE(second, nullptr);
    ASSERT_EQ(second->login("jsmith", "john-password", "", 0, 0), 0);
    auto* johnsCalendar = static_cast<hx::CalendarProvider*>(second->calendarProvider());
    auto johnReads = [&](const char* user) {
        Lattice::ObjectCollection out;
        EXPECT_EQ(johnsCalendar->getUserAppointmentRange(user, "", date(1), date(31), true, &out), 0);
        return subjects(out);
    };
    const std::vector<std::string> none, mine{"mine"}, johns{"John's"};
    const struct {
        const char* what;
        bool grantJane;
        std::vector<std::string> janeReadsJohn, johnReadsJane;
    } steps[] = {
        {"nobody granted", false, none, none},
        {"Jane granted on John's file", true, johns, none},
    };
    for (const auto& s : steps) {
        if (s.grantJane)
            setReader("mail/jsmith.nsf", "Jane Doe", true);
        EXPECT_EQ(rangeSubjects(calendarId, date(1), date(31)), mine) << s.what;
        EXPECT_EQ(rangeSubjects("", date(1), date(31), "Jane Doe"), mine) << s.what;
        EXPECT_EQ(johnReads("John Smith"), johns) << s.what;
        EXPECT_EQ(rangeSubjects("", date(1), date(31), "John Smith"), s.janeReadsJohn) << s.what;
        EXPECT_EQ(johnReads("Jane Doe"), s.johnReadsJane) << s.what;
    }
    // A failed login on the second provider takes nothing from the first.
    second->logout();
    EXPECT_EQ(second->login("jsmith", "wrong", "", 0, 0), 1);
    EXPECT_EQ(rangeSubjects("", date(1), date(31), "John Smith"), johns);
    EXPECT_EQ(rangeSubjects(calendarId, date(1), date(31)), mine);
    second->release();
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

// With its detail an appointment is stored the way a memo is: a MIME body and the recipients; the
// detail gets a fresh id and the appointment one sent and received time. Without it, the body stays.
TEST_F(CalendarTest, AppointmentWithDetailIsStoredAsAMemoIs) {
    Lattice::Ptr<hxMail::Appointment> made = new hxMail::Appointment();
    made->set_subject("Kick-off");
    made->set_startDate(Lattice::_DateTimeData{20, 26, 3, 12, 9, 0, 0, 0, 0});
    made->set_endDate(Lattice::_DateTimeData{20, 26, 3, 12, 10, 0, 0, 0, 0});
    Lattice::Ptr<hxMail::AppointmentDetail> detail = new hxMail::AppointmentDetail();
    detail->set_textType("html");
    detail->get_body()->set_text("<p>Agenda: the plan</p>");
    Lattice::Ptr<hxMail::Recipient> john = new hxMail::Recipient();
    john->set_displayName("John Smith");
    john->set_emailAddress("CN=John Smith/O=Acme");
    john->set_smtpAddress("CN=John Smith/O=Acme");
    detail->get_to()->add(john);
    ASSERT_EQ(calendar->addAppointment("", made, detail, ""), 0);
    ASSERT_EQ(made->get_id().length(), 32);
    EXPECT_EQ(detail->get_id().length(), 36);
    EXPECT_EQ(made->get_sent().minute, made->get_received().minute);
    EXPECT_NE(made->get_sent().year, 0);

    auto stored = [&](const char* item) { return itemText(made->get_id().c_str(), item); };
    EXPECT_EQ(stored("SendTo"), "CN=John Smith/O=Acme");
    EXPECT_EQ(stored("$NoteHasNativeMIME"), "1");
    EXPECT_EQ(stored("Subject"), "Kick-off");
    EXPECT_EQ(rangeSubjects(calendarId, date(12), date(12)), std::vector<std::string>{"Kick-off"});

    // Saved again without a detail: the new subject, the body and recipients as they were.
    bool flag = true;
    made->set_subject("Kick-off, moved");
    ASSERT_EQ(calendar->saveAppointment(made, nullptr, flag), 0);
    EXPECT_EQ(stored("Subject"), "Kick-off, moved");
    EXPECT_EQ(stored("SendTo"), "CN=John Smith/O=Acme");
    EXPECT_EQ(stored("$NoteHasNativeMIME"), "1");
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

// A long user list gets an answer for the people with a schedule only, in list order: unknown
// names and groups are skipped, nothing waits on them.
TEST_F(CalendarTest, FreeBusyForFiveHundredNames) {
    addEntry({.subject = "a", .start = at(3, 9), .end = at(3, 10)});
    addEntry({.subject = "b", .start = at(4, 9), .end = at(4, 10)}, "mail/jsmith.nsf");
    addGroup(kDirectory, "Sales", {"CN=Jane Doe/O=Acme", "CN=John Smith/O=Acme"});
    Lattice::ObjectCollection users;
    for (int i = 0; i < 500; ++i) {
        const std::string name = i == 0     ? "Jane Doe/Acme"
                                 : i == 250 ? "Sales"
                                 : i == 499 ? "jsmith"
                                            : "Person " + std::to_string(i);
        users.add(Lattice::Data(("x---" + name).c_str()));
    }
    Lattice::ObjectCollection out;
    ASSERT_EQ(calendar->getFreeBusyBlocks(date(3), date(5), users, &out), 0);
    ASSERT_EQ(out.count(), 2);
    EXPECT_EQ(out[0].toString(), "2026-03-03T09:00:00Z/2026-03-03T10:00:00Z/2");
    EXPECT_EQ(out[1].toString(), "2026-03-04T09:00:00Z/2026-03-04T10:00:00Z/2");
}
