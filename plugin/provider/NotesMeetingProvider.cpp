#include "provider/NotesMeetingProvider.h"

namespace hxMail::hxNotesProvider {

NotesMeetingProvider::~NotesMeetingProvider() = default;

// Invitations are kept in the calendar provider; nothing here reaches Notes.
long NotesMeetingProvider::sendInvitation(const Lattice::Ptr<hxMail::Appointment>&,
                                          const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long NotesMeetingProvider::sendUpdate(const Lattice::Ptr<hxMail::Appointment>&,
                                      const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long NotesMeetingProvider::respondToInvitation(String, long, String, bool) {
    return kNotSupported;
}

long NotesMeetingProvider::removeMeetingAppointment(String, bool&) {
    return kNotSupported;
}

long NotesMeetingProvider::sendRemoveNotification(const Lattice::Ptr<hxMail::Appointment>&,
                                                  const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long NotesMeetingProvider::sendProposal(String, Lattice::_DateTimeData, Lattice::_DateTimeData, String) {
    return kNotSupported;
}

long NotesMeetingProvider::loadProposalAppointment(String, Lattice::Ptr<hxMail::Appointment>&,
                                                   Lattice::Ptr<hxMail::AppointmentDetail>&) {
    return kNotSupported;
}

long NotesMeetingProvider::updateRecipientStatus(String, String, long) {
    return kNotSupported;
}

long NotesMeetingProvider::sendRecUpdate(const Lattice::Ptr<hxMail::Appointment>&,
                                         const Lattice::Ptr<hxMail::AppointmentDetail>&,
                                         const Lattice::Ptr<hxMail::RecurrenceObject>&, String) {
    return kNotSupported;
}

long NotesMeetingProvider::updateTrackingInfo(String, Collection*) {
    return kNotSupported;
}

LATTICE_REGISTER_CLASS(NotesMeetingProvider);

} // namespace hxMail::hxNotesProvider
