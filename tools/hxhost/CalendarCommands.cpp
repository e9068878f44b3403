// The calendar provider's operations. Appointments are given as fields of an Appointment
// (subject=..., startDate=2026-12-07T12:00, location=...) and of its detail (detail.body.text=...).
#include "Commands.h"

namespace hxhost {

namespace {

using Collection = Lattice::ObjectCollection;
using AppointmentPtr = Lattice::Ptr<hxMail::Appointment>;
using DetailPtr = Lattice::Ptr<hxMail::AppointmentDetail>;

AppointmentPtr appointment(const Call& c, std::size_t from) {
    return c.item<hxMail::Appointment>(from);
}
DetailPtr detail(const Call& c, std::size_t from) {
    return c.detail<hxMail::AppointmentDetail>(from);
}

} // namespace

void registerCalendarCommands(CommandRegistry& registry) {
    addOperations(
        registry, "calendar provider",
        {
            {"newAppointment", "FOLDER [FIELD=VALUE...]", "Creates an appointment from the fields.",
             [](Call& c) {
                 AppointmentPtr a = appointment(c, 1);
                 c.status(c.calendar().newAppointment(c.folder(0), a));
                 c.out("appointment", a);
             }},
            {"addAppointment", "FOLDER [FIELD=VALUE...]",
             "Creates an appointment with its detail (detail.X=...).",
             [](Call& c) {
                 c.status(c.calendar().addAppointment(c.folder(0), appointment(c, 1), detail(c, 1), ""));
             }},
            {"removeAppointment", "ID", "Deletes an appointment.",
             [](Call& c) {
                 bool removed = false;
                 c.status(c.calendar().removeAppointment(c.message(0), false, false, removed));
                 c.out("removed", removed);
             }},
            {"getAppointmentDetail", "ID", "An appointment's detail.",
             [](Call& c) {
                 DetailPtr d(new hxMail::AppointmentDetail());
                 c.status(c.calendar().getAppointmentDetail(c.message(0), d));
                 c.out("detail", d);
             }},
            {"sendUpdateEx", "[FIELD=VALUE...]", "Sends an update of an appointment.",
             [](Call& c) {
                 bool sent = false;
                 c.status(c.calendar().sendUpdateEx(appointment(c, 0), sent));
                 c.out("sent", sent);
             }},
            {"saveAppointment", "[FIELD=VALUE...]", "Writes the fields into the appointment id=ID.",
             [](Call& c) {
                 bool flag = true;
                 c.status(c.calendar().saveAppointment(appointment(c, 0), detail(c, 0), flag));
                 c.out("flag", flag);
             }},
            {"appointmentTimeChanged", "ID START END [SUBJECT]",
             "Moves an appointment (date-times YYYY-MM-DDTHH:MM[Z|+HH:MM]) and gives it SUBJECT.",
             [](Call& c) {
                 c.status(c.calendar().appointmentTimeChanged(c.message(0), c.dateTime(1), c.dateTime(2),
                                                              c.text(3), false, false));
             }},
            {"sendAppointment", "[FIELD=VALUE...]", "Sends an appointment as an invitation.",
             [](Call& c) { c.status(c.calendar().sendAppointment(appointment(c, 0), detail(c, 0), "")); }},
            {"deleteRecurringAppointment", "ID INSTANCE [TEXT]",
             "Deletes one instance of a repeating appointment.",
             [](Call& c) {
                 c.status(
                     c.calendar().deleteRecurringAppointment(c.message(0), c.dateTime(1), c.text(2), false));
             }},
            {"recurrenceChanged", "ID START START-TIME END-TIME [FIELD=VALUE...]",
             "Changes the repeat rule (fields of a RecurrenceObject) of an appointment.",
             [](Call& c) {
                 Lattice::_DateData first;
                 Lattice::_DateData last;
                 Lattice::String newId;
                 Collection changed;
                 c.status(c.calendar().recurrenceChanged(c.message(0), c.item<hxMail::RecurrenceObject>(4),
                                                         c.dateTime(1), c.time(2), c.time(3), "", first,
                                                         newId, &changed, last));
                 c.out("firstDate", first);
                 c.out("newId", newId);
                 c.out("changed", changed);
                 c.out("lastDate", last);
             }},
            {"getAppointmentRange", "FOLDER START END", "The appointments of a folder between two dates.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getAppointmentRange(c.folder(0), c.date(1), c.date(2), true, &out));
                 c.out("appointments", out);
             }},
            {"getAppointmentDatesRange", "FOLDER START END", "The same, as the host asks for a date range.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getAppointmentDatesRange(c.folder(0), c.date(1), c.date(2), "", &out));
                 c.out("appointments", out);
             }},
            {"addRecurringBreak", "[FIELD=VALUE...]", "Splits a repeating appointment.",
             [](Call& c) {
                 Lattice::String newId;
                 long status = 0;
                 c.status(c.calendar().addRecurringBreak(appointment(c, 0), detail(c, 0), newId, status));
                 c.out("newId", newId);
                 c.out("breakStatus", status);
             }},
            {"getFilteredDistributionRecipients", "LIST FILTER START END",
             "The members of a distribution list free between two dates.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getFilteredDistributionRecipients(c.text(0), c.text(1), c.date(2),
                                                                         c.date(3), &out));
                 c.out("recipients", out);
             }},
            {"getFreeBusyBlocks", "START END USER...",
             "The busy time of users (recipient ids) between two dates.",
             [](Call& c) {
                 Collection out;
                 c.status(c.calendar().getFreeBusyBlocks(c.date(0), c.date(1), c.texts(2), &out));
                 c.out("blocks", out);
             }},
            {"syncAppointments", "[FIELD=VALUE...]", "Hands the provider one appointment to synchronise.",
             [](Call& c) {
                 Collection list;
                 list.add(Lattice::Data(appointment(c, 0)));
                 c.status(c.calendar().syncAppointments(list));
             }},
        });
}

} // namespace hxhost
