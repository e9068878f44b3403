// Calendar entries for add-appointment and the seed fixture.
#pragma once

#include "notes/lncpp.h"

#include <string>
#include <vector>

namespace nsfadmin {

// An appointment as given on the command line or in a fixture. Times are "YYYY-MM-DD HH:MM" (or
// "YYYY-MM-DD" for all-day entries) read in `zone`, hours west of GMT (New York 5, Berlin -1),
// with `dst` for daylight saving time. Names are UTF-8.
struct AppointmentEntry {
    std::string subject;
    std::string start, end;
    int zone = 0;
    bool dst = false;
    bool allDay = false;
    std::string chair; // owner; makes the entry a meeting when attendees are given
    std::vector<std::string> required, optional;
    bool penciledIn = false;
    std::string location;
    std::string text; // the body
};

// Checks an entry and turns its times into a range; false with the reason in *error.
bool appointmentRange(const AppointmentEntry& entry, LNDatetimeRange* range, std::string* error);
// Writes a new "Appointment" document (not saved) into `doc`, created in `db`.
LNSTATUS writeAppointment(LNDatabase& db, const AppointmentEntry& entry, const LNDatetimeRange& range,
                          LNDocument* doc);

} // namespace nsfadmin
