#include "provider/NotesGroupProvider.h"

namespace hxMail::hxNotesProvider {

NotesGroupProvider::~NotesGroupProvider() = default;

// Notes has no shared group calendars to map these onto.
long NotesGroupProvider::groupGetAppointmentRange(String, String, Lattice::_DateData, Lattice::_DateData,
                                                  bool, Collection*) {
    return kNotSupported;
}

long NotesGroupProvider::groupGetAppointmentDatesRange(String, String, Lattice::_DateData, Lattice::_DateData,
                                                       String, Collection*) {
    return kNotSupported;
}

long NotesGroupProvider::groupRemoveAppointment(String, String, bool, bool, bool&) {
    return kNotSupported;
}

long NotesGroupProvider::groupGetAppointmentDetail(String, String, Lattice::Ptr<hxMail::AppointmentDetail>&) {
    return kNotSupported;
}

long NotesGroupProvider::groupSaveAppointment(String, const Lattice::Ptr<hxMail::Appointment>&,
                                              const Lattice::Ptr<hxMail::AppointmentDetail>&, bool&) {
    return kNotSupported;
}

long NotesGroupProvider::groupAppointmentTimeChanged(String, String, Lattice::_DateTimeData,
                                                     Lattice::_DateTimeData, String, bool, bool) {
    return kNotSupported;
}

long NotesGroupProvider::groupSendAppointment(String, const Lattice::Ptr<hxMail::Appointment>&,
                                              const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long NotesGroupProvider::groupDeleteRecurringAppointment(String, String, Lattice::_DateTimeData, String,
                                                         bool) {
    return kNotSupported;
}

long NotesGroupProvider::groupRecurrenceChanged(String, String, const Lattice::Ptr<hxMail::RecurrenceObject>&,
                                                Lattice::_DateTimeData, Lattice::_TimeData,
                                                Lattice::_TimeData, String, Lattice::_DateData&, String&,
                                                Collection*, Lattice::_DateData&) {
    return kNotSupported;
}

long NotesGroupProvider::groupAddRecurringBreak(String, const Lattice::Ptr<hxMail::Appointment>&,
                                                const Lattice::Ptr<hxMail::AppointmentDetail>&, String&,
                                                long&) {
    return kNotSupported;
}

long NotesGroupProvider::groupGetFilteredDistributionRecipients(String, String, String, Lattice::_DateData,
                                                                Lattice::_DateData, Collection*) {
    return kNotSupported;
}

long NotesGroupProvider::groupSendUpdateEx(String, const Lattice::Ptr<hxMail::Appointment>&, bool&) {
    return kNotSupported;
}

long NotesGroupProvider::groupSendInvitation(String, const Lattice::Ptr<hxMail::Appointment>&,
                                             const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long NotesGroupProvider::groupRespondToInvitation(String, String, long, String, bool) {
    return kNotSupported;
}

long NotesGroupProvider::groupRemoveMeetingAppointment(String, String, bool&) {
    return kNotSupported;
}

long NotesGroupProvider::groupSendProposal(String, String, Lattice::_DateTimeData, Lattice::_DateTimeData,
                                           String) {
    return kNotSupported;
}

long NotesGroupProvider::groupSendUpdate(String, const Lattice::Ptr<hxMail::Appointment>&,
                                         const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long NotesGroupProvider::groupLoadProposalAppointment(String, String, Lattice::Ptr<hxMail::Appointment>&,
                                                      Lattice::Ptr<hxMail::AppointmentDetail>&) {
    return kNotSupported;
}

long NotesGroupProvider::groupUpdateRecipientStatus(String, String, String, long) {
    return kNotSupported;
}

long NotesGroupProvider::groupUpdateTrackingInfo(String, String, Collection*) {
    return kNotSupported;
}

long NotesGroupProvider::groupAddAppointment(String, String, const Lattice::Ptr<hxMail::Appointment>&,
                                             const Lattice::Ptr<hxMail::AppointmentDetail>&, String) {
    return kNotSupported;
}

long NotesGroupProvider::groupGetFreeBusyBlocks(String, Lattice::_DateData, Lattice::_DateData,
                                                const Collection&, Collection*) {
    return kNotSupported;
}

long NotesGroupProvider::groupSyncAppointments(String, const Collection&) {
    return kNotSupported;
}

long NotesGroupProvider::groupGetRangeForUser(String, String, Lattice::_DateData, Lattice::_DateData,
                                              Collection*) {
    return kNotSupported;
}

long NotesGroupProvider::groupHasEditRights(String, bool&) {
    return kNotSupported;
}

long NotesGroupProvider::groupGetSmartValue(String, String, String&) {
    return kNotSupported;
}

long NotesGroupProvider::groupSetSmartValue(String, String, String, String) {
    return kNotSupported;
}

long NotesGroupProvider::groupLoadAttachmentData(String, String, long, Lattice::Ptr<Lattice::BaseObject64>&) {
    return kNotSupported;
}

LATTICE_REGISTER_CLASS(NotesGroupProvider);

} // namespace hxMail::hxNotesProvider
