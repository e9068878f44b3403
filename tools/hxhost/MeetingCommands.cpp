// The meeting provider's operations: invitations and answers to them. Appointments are given as
// fields, as for the calendar provider.
#include "Commands.h"

namespace hxhost {

void registerMeetingCommands(CommandRegistry& registry) {
    using AppointmentPtr = Lattice::Ptr<hxMail::Appointment>;
    using DetailPtr = Lattice::Ptr<hxMail::AppointmentDetail>;
    const auto a = [](const Call& c, std::size_t from) { return c.item<hxMail::Appointment>(from); };
    const auto d = [](const Call& c, std::size_t from) { return c.detail<hxMail::AppointmentDetail>(from); };
    addOperations(
        registry, "meeting provider",
        {
            {"sendInvitation", "[FIELD=VALUE...]", "Sends invitations to a meeting.",
             [a, d](Call& c) { c.status(c.meetings().sendInvitation(a(c, 0), d(c, 0), "")); }},
            {"sendUpdate", "[FIELD=VALUE...]", "Sends a meeting's changes to its attendees.",
             [a, d](Call& c) { c.status(c.meetings().sendUpdate(a(c, 0), d(c, 0), "")); }},
            {"respondToInvitation", "ID RESPONSE [TEXT [SEND]]", "Accepts or declines an invitation.",
             [](Call& c) {
                 c.status(c.meetings().respondToInvitation(c.message(0), c.number(1, "RESPONSE"), c.text(2),
                                                           c.flag(3, true)));
             }},
            {"removeMeetingAppointment", "ID", "Removes a meeting from the calendar.",
             [](Call& c) {
                 bool removed = false;
                 c.status(c.meetings().removeMeetingAppointment(c.message(0), removed));
                 c.out("removed", removed);
             }},
            {"sendRemoveNotification", "[FIELD=VALUE...]", "Tells the attendees that a meeting is off.",
             [a, d](Call& c) { c.status(c.meetings().sendRemoveNotification(a(c, 0), d(c, 0), "")); }},
            {"sendProposal", "ID START END [TEXT]", "Proposes another time for a meeting.",
             [](Call& c) {
                 c.status(c.meetings().sendProposal(c.message(0), c.dateTime(1), c.dateTime(2), c.text(3)));
             }},
            {"loadProposalAppointment", "ID", "The meeting a proposal proposes.",
             [](Call& c) {
                 AppointmentPtr appointment;
                 DetailPtr detail;
                 c.status(c.meetings().loadProposalAppointment(c.message(0), appointment, detail));
                 c.out("appointment", appointment);
                 c.out("detail", detail);
             }},
            {"updateRecipientStatus", "ID ADDRESS STATUS", "Records an attendee's answer.",
             [](Call& c) {
                 c.status(c.meetings().updateRecipientStatus(c.message(0), c.text(1), c.number(2, "STATUS")));
             }},
            {"sendRecUpdate", "[FIELD=VALUE...]", "Sends a repeating meeting's changes.",
             [a, d](Call& c) {
                 Lattice::Ptr<hxMail::RecurrenceObject> recurrence(new hxMail::RecurrenceObject());
                 c.status(c.meetings().sendRecUpdate(a(c, 0), d(c, 0), recurrence, ""));
             }},
            {"updateTrackingInfo", "ID", "The attendees' answers to a meeting.",
             [](Call& c) {
                 Lattice::ObjectCollection tracking;
                 c.status(c.meetings().updateTrackingInfo(c.message(0), &tracking));
                 c.out("tracking", tracking);
             }},
        });
}

} // namespace hxhost
