#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Calendar.h"
#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// Shared group calendars are not supported: every operation answers -1 and touches neither its
// arguments (groupHasEditRights leaves its flag) nor Notes, with or without an owner.
class NotesGroupProvider : public hxMail::GroupProvider {
    LATTICE_CLASS(NotesGroupProvider, "GroupProvider", hxMail::GroupProvider)
public:
    explicit NotesGroupProvider(hxMail::MailProvider* owner = nullptr) : hxMail::GroupProvider(owner) {}
    NotesGroupProvider(const NotesGroupProvider& other) : hxMail::GroupProvider(other) {}
    ~NotesGroupProvider() override;

    long groupGetAppointmentRange(String groupId, String folderId, Lattice::_DateData start,
                                  Lattice::_DateData end, bool, Collection* out) override;
    long groupGetAppointmentDatesRange(String groupId, String folderId, Lattice::_DateData start,
                                       Lattice::_DateData end, String text, Collection* out) override;
    long groupRemoveAppointment(String groupId, String id, bool, bool, bool& removed) override;
    long groupGetAppointmentDetail(String groupId, String id,
                                   Lattice::Ptr<hxMail::AppointmentDetail>& detail) override;
    long groupSaveAppointment(String groupId, const Lattice::Ptr<hxMail::Appointment>& appointment,
                              const Lattice::Ptr<hxMail::AppointmentDetail>& detail, bool& flag) override;
    long groupAppointmentTimeChanged(String groupId, String id, Lattice::_DateTimeData start,
                                     Lattice::_DateTimeData end, String subject, bool, bool) override;
    long groupSendAppointment(String groupId, const Lattice::Ptr<hxMail::Appointment>& appointment,
                              const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long groupDeleteRecurringAppointment(String groupId, String id, Lattice::_DateTimeData instance,
                                         String text, bool) override;
    long groupRecurrenceChanged(String groupId, String id,
                                const Lattice::Ptr<hxMail::RecurrenceObject>& recurrence,
                                Lattice::_DateTimeData start, Lattice::_TimeData startTime,
                                Lattice::_TimeData endTime, String text, Lattice::_DateData& firstDate,
                                String& newId, Collection* changed, Lattice::_DateData& lastDate) override;
    long groupAddRecurringBreak(String groupId, const Lattice::Ptr<hxMail::Appointment>& appointment,
                                const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String& newId,
                                long& status) override;
    long groupGetFilteredDistributionRecipients(String groupId, String listId, String filter,
                                                Lattice::_DateData start, Lattice::_DateData end,
                                                Collection* out) override;
    long groupSendUpdateEx(String groupId, const Lattice::Ptr<hxMail::Appointment>& appointment,
                           bool& sent) override;
    long groupSendInvitation(String groupId, const Lattice::Ptr<hxMail::Appointment>& appointment,
                             const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long groupRespondToInvitation(String groupId, String id, long response, String text,
                                  bool sendResponse) override;
    long groupRemoveMeetingAppointment(String groupId, String id, bool& removed) override;
    long groupSendProposal(String groupId, String id, Lattice::_DateTimeData start,
                           Lattice::_DateTimeData end, String text) override;
    long groupSendUpdate(String groupId, const Lattice::Ptr<hxMail::Appointment>& appointment,
                         const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long groupLoadProposalAppointment(String groupId, String id,
                                      Lattice::Ptr<hxMail::Appointment>& appointment,
                                      Lattice::Ptr<hxMail::AppointmentDetail>& detail) override;
    long groupUpdateRecipientStatus(String groupId, String id, String recipientAddress, long status) override;
    long groupUpdateTrackingInfo(String groupId, String id, Collection* tracking) override;
    long groupAddAppointment(String groupId, String folderId,
                             const Lattice::Ptr<hxMail::Appointment>& appointment,
                             const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long groupGetFreeBusyBlocks(String groupId, Lattice::_DateData start, Lattice::_DateData end,
                                const Collection& users, Collection* out) override;
    long groupSyncAppointments(String groupId, const Collection& appointments) override;
    long groupGetRangeForUser(String groupId, String user, Lattice::_DateData start, Lattice::_DateData end,
                              Collection* out) override;
    long groupHasEditRights(String groupId, bool& canEdit) override;
    long groupGetSmartValue(String groupId, String id, String& smartValue) override;
    long groupSetSmartValue(String groupId, String id, String smartName, String smartValue) override;
    long groupLoadAttachmentData(String groupId, String id, long attachNum,
                                 Lattice::Ptr<Lattice::BaseObject64>& data) override;
};

} // namespace hxMail::hxNotesProvider
