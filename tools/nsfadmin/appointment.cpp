// add-appointment: a calendar entry written through the class library, as the mail template's
// form writes one (kind, view icon, date range, people).
#include "appointment.h"

#include "admin_impl.h"

#include <cstdio>

namespace nsfadmin {

namespace {

bool readTime(const std::string& text, bool allDay, int zone, bool dst, LNDatetime* out, std::string* error) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    char tail = 0;
    const int n = std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d%c", &y, &mo, &d, &h, &mi, &tail);
    if (allDay ? n != 3 : n != 5) {
        *error = "\"" + text + "\": give " + (allDay ? "YYYY-MM-DD" : "YYYY-MM-DD HH:MM");
        return false;
    }
    LNDatetime t;
    if (t.SetDate(mo, d, y) != LNNOERROR ||
        (!allDay && (h > 23 || mi > 59 || t.SetTime(h, mi, 0, 0) != LNNOERROR))) {
        *error = "\"" + text + "\" is not a date and time of the Notes date range";
        return false;
    }
    if (!allDay) {
        t.SetTimeZone(zone);
        t.SetDST(dst);
    }
    *out = t;
    return true;
}

LNText names(const std::vector<std::string>& values) {
    LNText list;
    for (const std::string& v : values) {
        list.Append(LNString(notes::canonicalizeName(utf8ToLatin1(v))));
    }
    return list;
}

} // namespace

bool appointmentRange(const AppointmentEntry& e, LNDatetimeRange* range, std::string* error) {
    if (e.subject.empty()) {
        *error = "an appointment needs a subject";
        return false;
    }
    if (e.zone < -12 || e.zone > 12) {
        *error = "the zone is hours west of GMT, from -12 to 12";
        return false;
    }
    LNDatetime begin, end;
    if (!readTime(e.start, e.allDay, e.zone, e.dst, &begin, error) ||
        !readTime(e.end.empty() ? e.start : e.end, e.allDay, e.zone, e.dst, &end, error)) {
        return false;
    }
    if (end < begin) {
        *error = "the appointment ends before it starts";
        return false;
    }
    if ((!e.required.empty() || !e.optional.empty()) && e.chair.empty()) {
        *error = "a meeting needs its chair (--chair)";
        return false;
    }
    *range = LNDatetimeRange(begin, end);
    return true;
}

LNSTATUS writeAppointment(LNDatabase& db, const AppointmentEntry& e, const LNDatetimeRange& range,
                          LNDocument* doc) {
    if (LNSTATUS s = db.CreateDocument(doc, "Appointment"); s != LNNOERROR) {
        return s;
    }
    LNCalendarEntry entry(*doc);
    const bool meeting = !e.required.empty() || !e.optional.empty();
    // The view icons of the mail template: meeting, all-day event, appointment.
    const int icon = meeting ? 158 : e.allDay ? 9 : 160;
    LNSTATUS s = entry.SetSubject(utf8ToLatin1(e.subject));
    if (s == LNNOERROR)
        s = entry.SetEntryType(meeting    ? LNCALENDARENTRYTYPE_MEETING
                               : e.allDay ? LNCALENDARENTRYTYPE_ALL_DAY_EVENT
                                          : LNCALENDARENTRYTYPE_APPOINTMENT);
    LNNumbers iconValue;
    iconValue.Append(icon);
    if (s == LNNOERROR)
        s = entry.CreateItem("_ViewIcon", iconValue, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT);
    if (s == LNNOERROR)
        s = entry.SetDatetimeRange(range);
    if (s == LNNOERROR && !e.location.empty())
        s = entry.CreateItem("Location", LNText(LNString(utf8ToLatin1(e.location))), LNITEMFLAGS_SUMMARY);
    if (s == LNNOERROR && !e.chair.empty()) {
        const LNString chair(notes::canonicalizeName(utf8ToLatin1(e.chair)));
        s = entry.CreateItem("Chair", LNText(chair), LNITEMFLAGS_SUMMARY);
        if (s == LNNOERROR)
            s = entry.SetSender(chair);
    }
    if (s == LNNOERROR && !e.required.empty())
        s = entry.CreateItem("RequiredAttendees", names(e.required), LNITEMFLAGS_SUMMARY);
    if (s == LNNOERROR && !e.optional.empty())
        s = entry.CreateItem("OptionalAttendees", names(e.optional), LNITEMFLAGS_SUMMARY);
    if (s == LNNOERROR && e.penciledIn)
        s = entry.SetIsPenciledIn(TRUE);
    if (s == LNNOERROR && !e.text.empty()) {
        LNRichText body;
        body.SetValue(LNString(utf8ToLatin1(e.text)));
        s = entry.CreateItem("Body", body, 0, LNITEMOPTION_DELETE_INSERT);
    }
    *doc = entry;
    return s;
}

int Admin::addAppointment(const DbRef& ref, const AppointmentEntry& entry) {
    LNDatetimeRange range;
    std::string error;
    if (!appointmentRange(entry, &range, &error)) {
        return impl_->badInput(error);
    }
    LNDatabase db;
    if (int rc = impl_->openDb(ref, &db); rc != kOk) {
        return rc;
    }
    LNDocument doc;
    if (LNSTATUS s = writeAppointment(db, entry, range, &doc); s != LNNOERROR) {
        return impl_->notesError("cannot write the appointment", s);
    }
    if (LNSTATUS s = doc.Save(); s != LNNOERROR) {
        return impl_->notesError("cannot save the appointment", s);
    }
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    impl_->out << unid.GetText().str() << "\n";
    return kOk;
}

} // namespace nsfadmin
