#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Calendar.h"
#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// Meetings outside the user's own calendar are not supported: every operation answers -1 and
// touches neither its arguments nor Notes, with or without an owner.
class NotesMeetingProvider : public hxMail::MeetingProvider {
    LATTICE_CLASS(NotesMeetingProvider, "MeetingProvider", hxMail::MeetingProvider)
public:
    explicit NotesMeetingProvider(hxMail::MailProvider* owner = nullptr) : hxMail::MeetingProvider(owner) {}
    NotesMeetingProvider(const NotesMeetingProvider& other) : hxMail::MeetingProvider(other) {}
    ~NotesMeetingProvider() override;

    long sendInvitation(const Lattice::Ptr<hxMail::Appointment>& appointment,
                        const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long sendUpdate(const Lattice::Ptr<hxMail::Appointment>& appointment,
                    const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long respondToInvitation(String id, long response, String text, bool sendResponse) override;
    long removeMeetingAppointment(String id, bool& removed) override;
    long sendRemoveNotification(const Lattice::Ptr<hxMail::Appointment>& appointment,
                                const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long sendProposal(String id, Lattice::_DateTimeData start, Lattice::_DateTimeData end,
                      String text) override;
    long loadProposalAppointment(String id, Lattice::Ptr<hxMail::Appointment>& appointment,
                                 Lattice::Ptr<hxMail::AppointmentDetail>& detail) override;
    long updateRecipientStatus(String id, String recipientAddress, long status) override;
    long sendRecUpdate(const Lattice::Ptr<hxMail::Appointment>& appointment,
                       const Lattice::Ptr<hxMail::AppointmentDetail>& detail,
                       const Lattice::Ptr<hxMail::RecurrenceObject>& recurrence, String text) override;
    long updateTrackingInfo(String id, Collection* tracking) override;
};

} // namespace hxMail::hxNotesProvider
