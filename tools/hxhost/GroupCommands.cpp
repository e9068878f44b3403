// The group provider's operations: shared calendars of several users, each named by GROUP first.
#include "Commands.h"

namespace hxhost {

void registerGroupCommands(CommandRegistry& registry) {
    using Collection = Lattice::ObjectCollection;
    using AppointmentPtr = Lattice::Ptr<hxMail::Appointment>;
    using DetailPtr = Lattice::Ptr<hxMail::AppointmentDetail>;
    const auto a = [](const Call& c, std::size_t from) { return c.item<hxMail::Appointment>(from); };
    const auto d = [](const Call& c, std::size_t from) { return c.detail<hxMail::AppointmentDetail>(from); };
    addOperations(
        registry, "group provider",
        {
            {"groupGetAppointmentRange", "GROUP FOLDER START END", "A group calendar's appointments.",
             [](Call& c) {
                 Collection out;
                 c.status(c.groups().groupGetAppointmentRange(c.text(0), c.folder(1), c.date(2), c.date(3),
                                                              true, &out));
                 c.out("appointments", out);
             }},
            {"groupGetAppointmentDatesRange", "GROUP FOLDER START END", "The same, for a date range.",
             [](Call& c) {
                 Collection out;
                 c.status(c.groups().groupGetAppointmentDatesRange(c.text(0), c.folder(1), c.date(2),
                                                                   c.date(3), "", &out));
                 c.out("appointments", out);
             }},
            {"groupRemoveAppointment", "GROUP ID", "Deletes a group appointment.",
             [](Call& c) {
                 bool removed = false;
                 c.status(c.groups().groupRemoveAppointment(c.text(0), c.message(1), false, false, removed));
                 c.out("removed", removed);
             }},
            {"groupGetAppointmentDetail", "GROUP ID", "A group appointment's detail.",
             [](Call& c) {
                 DetailPtr detail(new hxMail::AppointmentDetail());
                 c.status(c.groups().groupGetAppointmentDetail(c.text(0), c.message(1), detail));
                 c.out("detail", detail);
             }},
            {"groupSaveAppointment", "GROUP [FIELD=VALUE...]", "Writes a group appointment.",
             [a, d](Call& c) {
                 bool flag = false;
                 c.status(c.groups().groupSaveAppointment(c.text(0), a(c, 1), d(c, 1), flag));
                 c.out("flag", flag);
             }},
            {"groupAppointmentTimeChanged", "GROUP ID START END [SUBJECT]", "Moves a group appointment.",
             [](Call& c) {
                 c.status(c.groups().groupAppointmentTimeChanged(c.text(0), c.message(1), c.dateTime(2),
                                                                 c.dateTime(3), c.text(4), false, false));
             }},
            {"groupSendAppointment", "GROUP [FIELD=VALUE...]", "Sends a group appointment.",
             [a, d](Call& c) { c.status(c.groups().groupSendAppointment(c.text(0), a(c, 1), d(c, 1), "")); }},
            {"groupDeleteRecurringAppointment", "GROUP ID INSTANCE [TEXT]", "Deletes one instance.",
             [](Call& c) {
                 c.status(c.groups().groupDeleteRecurringAppointment(c.text(0), c.message(1), c.dateTime(2),
                                                                     c.text(3), false));
             }},
            {"groupRecurrenceChanged", "GROUP ID START START-TIME END-TIME [FIELD=VALUE...]",
             "Changes a group appointment's repeat rule.",
             [](Call& c) {
                 Lattice::_DateData first;
                 Lattice::_DateData last;
                 Lattice::String newId;
                 Collection changed;
                 c.status(c.groups().groupRecurrenceChanged(
                     c.text(0), c.message(1), c.item<hxMail::RecurrenceObject>(5), c.dateTime(2), c.time(3),
                     c.time(4), "", first, newId, &changed, last));
                 c.out("firstDate", first);
                 c.out("newId", newId);
                 c.out("changed", changed);
                 c.out("lastDate", last);
             }},
            {"groupAddRecurringBreak", "GROUP [FIELD=VALUE...]", "Splits a repeating group appointment.",
             [a, d](Call& c) {
                 Lattice::String newId;
                 long status = 0;
                 c.status(c.groups().groupAddRecurringBreak(c.text(0), a(c, 1), d(c, 1), newId, status));
                 c.out("newId", newId);
                 c.out("breakStatus", status);
             }},
            {"groupGetFilteredDistributionRecipients", "GROUP LIST FILTER START END",
             "A list's members free between two dates.",
             [](Call& c) {
                 Collection out;
                 c.status(c.groups().groupGetFilteredDistributionRecipients(c.text(0), c.text(1), c.text(2),
                                                                            c.date(3), c.date(4), &out));
                 c.out("recipients", out);
             }},
            {"groupSendUpdateEx", "GROUP [FIELD=VALUE...]", "Sends an update of a group appointment.",
             [a](Call& c) {
                 bool sent = false;
                 c.status(c.groups().groupSendUpdateEx(c.text(0), a(c, 1), sent));
                 c.out("sent", sent);
             }},
            {"groupSendInvitation", "GROUP [FIELD=VALUE...]", "Sends invitations for a group meeting.",
             [a, d](Call& c) { c.status(c.groups().groupSendInvitation(c.text(0), a(c, 1), d(c, 1), "")); }},
            {"groupRespondToInvitation", "GROUP ID RESPONSE [TEXT [SEND]]", "Answers a group invitation.",
             [](Call& c) {
                 c.status(c.groups().groupRespondToInvitation(
                     c.text(0), c.message(1), c.number(2, "RESPONSE"), c.text(3), c.flag(4, true)));
             }},
            {"groupRemoveMeetingAppointment", "GROUP ID", "Removes a group meeting.",
             [](Call& c) {
                 bool removed = false;
                 c.status(c.groups().groupRemoveMeetingAppointment(c.text(0), c.message(1), removed));
                 c.out("removed", removed);
             }},
            {"groupSendProposal", "GROUP ID START END [TEXT]", "Proposes another time for a group meeting.",
             [](Call& c) {
                 c.status(c.groups().groupSendProposal(c.text(0), c.message(1), c.dateTime(2), c.dateTime(3),
                                                       c.text(4)));
             }},
            {"groupSendUpdate", "GROUP [FIELD=VALUE...]", "Sends a group meeting's changes.",
             [a, d](Call& c) { c.status(c.groups().groupSendUpdate(c.text(0), a(c, 1), d(c, 1), "")); }},
            {"groupLoadProposalAppointment", "GROUP ID", "The group meeting a proposal proposes.",
             [](Call& c) {
                 AppointmentPtr appointment;
                 DetailPtr detail;
                 c.status(
                     c.groups().groupLoadProposalAppointment(c.text(0), c.message(1), appointment, detail));
                 c.out("appointment", appointment);
                 c.out("detail", detail);
             }},
            {"groupUpdateRecipientStatus", "GROUP ID ADDRESS STATUS", "Records a group attendee's answer.",
             [](Call& c) {
                 c.status(c.groups().groupUpdateRecipientStatus(c.text(0), c.message(1), c.text(2),
                                                                c.number(3, "STATUS")));
             }},
            {"groupUpdateTrackingInfo", "GROUP ID", "The answers to a group meeting.",
             [](Call& c) {
                 Collection tracking;
                 c.status(c.groups().groupUpdateTrackingInfo(c.text(0), c.message(1), &tracking));
                 c.out("tracking", tracking);
             }},
            {"groupAddAppointment", "GROUP FOLDER [FIELD=VALUE...]", "Creates a group appointment.",
             [a, d](Call& c) {
                 c.status(c.groups().groupAddAppointment(c.text(0), c.folder(1), a(c, 2), d(c, 2), ""));
             }},
            {"groupGetFreeBusyBlocks", "GROUP START END USER...", "The busy time of a group's users.",
             [](Call& c) {
                 Collection out;
                 c.status(
                     c.groups().groupGetFreeBusyBlocks(c.text(0), c.date(1), c.date(2), c.texts(3), &out));
                 c.out("blocks", out);
             }},
            {"groupSyncAppointments", "GROUP [FIELD=VALUE...]",
             "Hands over one group appointment to synchronise.",
             [a](Call& c) {
                 Collection list;
                 list.add(Lattice::Data(a(c, 1)));
                 c.status(c.groups().groupSyncAppointments(c.text(0), list));
             }},
            {"groupGetRangeForUser", "GROUP USER START END", "One user's appointments in a group calendar.",
             [](Call& c) {
                 Collection out;
                 c.status(c.groups().groupGetRangeForUser(c.text(0), c.text(1), c.date(2), c.date(3), &out));
                 c.out("appointments", out);
             }},
            {"groupHasEditRights", "GROUP", "Whether the user may change a group calendar.",
             [](Call& c) {
                 bool canEdit = false;
                 c.status(c.groups().groupHasEditRights(c.text(0), canEdit));
                 c.out("canEdit", canEdit);
             }},
            {"groupGetSmartValue", "GROUP ID", "The value kept on a group item.",
             [](Call& c) {
                 Lattice::String value;
                 c.status(c.groups().groupGetSmartValue(c.text(0), c.message(1), value));
                 c.out("smartValue", value);
             }},
            {"groupSetSmartValue", "GROUP ID NAME VALUE", "Keeps a named value on a group item.",
             [](Call& c) {
                 c.status(c.groups().groupSetSmartValue(c.text(0), c.message(1), c.text(2), c.text(3)));
             }},
            {"groupLoadAttachmentData", "GROUP ID NUM", "The bytes of a group item's attachment.",
             [](Call& c) {
                 Lattice::Ptr<Lattice::BaseObject64> data;
                 c.status(
                     c.groups().groupLoadAttachmentData(c.text(0), c.message(1), c.number(2, "NUM"), data));
                 c.out("data", data);
             }},
        });
}

} // namespace hxhost
