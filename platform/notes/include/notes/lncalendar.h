// Calendar entries of a mail file: LNCalendarEntry over an "Appointment" document, LNCalendar for
// the entries of a date range.
#pragma once

#include "notes/lnmail.h"

#include <vector>

// The class library's entry kinds. Stored as "AppointmentType": "0" appointment, "1" anniversary,
// "2" all-day event, "3" meeting, "4" reminder; any other text reads as an appointment.
enum LNCALENDARENTRYTYPE {
    LNCALENDARENTRYTYPE_APPOINTMENT = 1,
    LNCALENDARENTRYTYPE_ANNIVERSARY = 2,
    LNCALENDARENTRYTYPE_ALL_DAY_EVENT = 4,
    LNCALENDARENTRYTYPE_MEETING = 8,
    LNCALENDARENTRYTYPE_REMINDER = 16
};

// An "Appointment" document: "StartDateTime", "EndDateTime", "Subject", "Chair" (owner, else
// "From"), "RequiredAttendees", "OptionalAttendees", "PenciledIn" "1".
class LNCalendarEntry : public LNMailMessage {
public:
    LNCalendarEntry() = default;
    LNCalendarEntry(const LNNote& note) : LNMailMessage(note) {}
    LNCalendarEntry& operator=(const LNNote& note);

    LNCALENDARENTRYTYPE GetEntryType() const;
    LNSTATUS SetEntryType(LNCALENDARENTRYTYPE type); // another value: ERR_INVALID_PARAM
    LNString GetBriefDescription() const;            // the subject
    LNString GetOwner() const;
    LNBOOL GetIsPenciledIn() const;
    LNSTATUS SetIsPenciledIn(LNBOOL on);
    LNSTATUS GetRequiredAttendees(LNText* names) const;
    LNSTATUS GetOptionalAttendees(LNText* names) const;
    LNSTATUS GetDatetimeRange(LNDatetimeRange* range) const;
    // "StartDateTime", "EndDateTime", each with its own zone. A null end, or one before the
    // begin: LNERR_INVALID_DATETIME, nothing written.
    LNSTATUS SetDatetimeRange(const LNDatetimeRange& range);
};

// The calendar entries of a mail file ("($Calendar)").
class LNCalendar {
public:
    LNCalendar() = default;
    explicit LNCalendar(const LNDatabase& db) : db_(db) {}

    // Entries that overlap range, in start order, bound and unopened: an entry counts when it
    // starts before the range ends and ends after it begins (one ending exactly at the begin does
    // not; one without duration counts when it starts inside). A date-only end takes in its whole
    // day. A null end or an end before the begin: LNERR_INVALID_DATETIME. A file without the
    // calendar view: ERR_NOT_FOUND. The flag and name are accepted and not used.
    LNSTATUS GetEntries(const LNDatetimeRange& range, std::vector<LNCalendarEntry>* entries,
                        LNBOOL flag = TRUE, const LNString& name = "");
    // The same, over a database (the plug-in's form).
    static LNSTATUS GetEntries(const LNDatabase& db, const LNDatetimeRange& range,
                               std::vector<LNCalendarEntry>* entries, LNBOOL flag = TRUE,
                               const LNString& name = "");

private:
    LNDatabase db_;
};
