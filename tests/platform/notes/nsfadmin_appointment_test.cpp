// nsfadmin add-appointment: what each kind of entry stores, and refused input writing nothing.
#include "appointment.h"
#include "nsfadmin_fixture.h"

// Entries name only the fields a case is about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

class NsfadminAppointmentTest : public NsfadminMailFileTest {};

TEST_F(NsfadminAppointmentTest, EachKindStoresItsCodeIconAndSpan) {
    nsfadmin::AppointmentEntry plain{
        .subject = "Dentist", .start = "2005-01-10 09:00", .end = "2005-01-10 10:00", .zone = 5};
    nsfadmin::AppointmentEntry allDay{.subject = "Holiday", .start = "2005-01-11", .allDay = true};
    nsfadmin::AppointmentEntry meeting{.subject = "Review",
                                       .start = "2005-01-12 14:00",
                                       .end = "2005-01-12 15:00",
                                       .zone = -1,
                                       .chair = "Jane Doe/Acme",
                                       .required = {"John Smith/Acme"},
                                       .optional = {"Anna Berg/Acme"},
                                       .penciledIn = true,
                                       .location = "Room 4"};
    const struct {
        nsfadmin::AppointmentEntry* entry;
        const char* code;
        const char* icon;
        std::int64_t startGmtHour; // hours after midnight GMT of the entry's day
        std::int64_t hours;
    } cases[] = {{&plain, "0", "160", 14, 1}, {&allDay, "2", "9", 0, 24}, {&meeting, "3", "158", 13, 1}};
    for (const auto& c : cases) {
        ASSERT_EQ(run([&](auto& a) { return a.addAppointment(mail, *c.entry); }), nsfadmin::kOk) << err;
        ASSERT_EQ(out.size(), 33u);
        const notes::Note note = load(out);
        EXPECT_EQ(text(note, "AppointmentType"), c.code);
        EXPECT_EQ(text(note, "_ViewIcon"), c.icon);
        std::int64_t start = 0, end = 0;
        ASSERT_TRUE(notes::calendarSpan(note, &start, &end));
        EXPECT_EQ(start % notes::kTicksPerDay, c.startGmtHour * 360000) << c.code;
        EXPECT_EQ(end - start, c.hours * 360000) << c.code;
    }
    auto db = open();
    std::vector<NOTEID> ids;
    ASSERT_EQ(db->calendarEntries(0, notes::ticksNow() * 2, &ids), NOERROR);
    ASSERT_EQ(ids.size(), 3u);
    notes::Note last;
    ASSERT_EQ(db->load(ids[2], &last), NOERROR);
    EXPECT_EQ(text(last, "Chair"), "CN=Jane Doe/O=Acme");
    EXPECT_EQ(text(last, "RequiredAttendees"), "CN=John Smith/O=Acme");
    EXPECT_EQ(text(last, "OptionalAttendees"), "CN=Anna Berg/O=Acme");
    EXPECT_EQ(text(last, "PenciledIn"), "1");
    EXPECT_EQ(text(last, "Location"), "Room 4");
}

TEST_F(NsfadminAppointmentTest, BadInputIsRefusedAndNothingIsWritten) {
    const struct {
        nsfadmin::AppointmentEntry entry;
        int code;
        const char* says;
    } cases[] = {
        {{.subject = "", .start = "2005-01-10 09:00"}, nsfadmin::kBadInput, "needs a subject"},
        {{.subject = "x", .start = "2005-01-10 10:00", .end = "2005-01-10 09:00"},
         nsfadmin::kBadInput,
         "ends before"},
        {{.subject = "x", .start = "2005-02-30 10:00"}, nsfadmin::kBadInput, "not a date"},
        {{.subject = "x", .start = "2005-01-10 25:00"}, nsfadmin::kBadInput, "not a date"},
        {{.subject = "x", .start = "2005-01-10"}, nsfadmin::kBadInput, "YYYY-MM-DD HH:MM"},
        {{.subject = "x", .start = "2005-01-10 09:00", .allDay = true}, nsfadmin::kBadInput, "YYYY-MM-DD"},
        {{.subject = "x", .start = "2005-01-10 09:00", .zone = 13}, nsfadmin::kBadInput, "hours west"},
        {{.subject = "x", .start = "2005-01-10 09:00", .required = {"A"}}, nsfadmin::kBadInput, "--chair"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run([&](auto& a) { return a.addAppointment(mail, c.entry); }), c.code) << c.says;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
    EXPECT_EQ(run([&](auto& a) {
                  return a.addAppointment({"Mail1", "mail/nobody.nsf"},
                                          {.subject = "x", .start = "2005-01-10 09:00"});
              }),
              nsfadmin::kNotesError);
    EXPECT_EQ(documents(), 0u);
}
