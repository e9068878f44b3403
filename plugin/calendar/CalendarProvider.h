#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Calendar.h"
#include "hxMail/Providers.h"

#include <functional>

namespace hxMail::hxNotesProvider {

class NotesAppointment;

// The calendar operations of the main provider: thin frames around NotesAppointment and the
// folder layer's date-range query. Recurrence, invitations and sending are not supported (-1).
class HX_EXPORT CalendarProvider : public hxMail::CalendarProvider {
    LATTICE_CLASS(CalendarProvider, "CalendarProvider", hxMail::CalendarProvider)
public:
    explicit CalendarProvider(hxMail::MailProvider* owner = nullptr) : hxMail::CalendarProvider(owner) {}
    CalendarProvider(const CalendarProvider& other) : hxMail::CalendarProvider(other) {}
    ~CalendarProvider() override;

    long newAppointment(String folderId, Lattice::Ptr<hxMail::Appointment>& appointment) override;
    long addAppointment(String folderId, const Lattice::Ptr<hxMail::Appointment>& appointment,
                        const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long removeAppointment(String id, bool, bool, bool& removed) override;
    long getAppointmentDetail(String id, Lattice::Ptr<hxMail::AppointmentDetail>& detail) override;
    long sendUpdateEx(const Lattice::Ptr<hxMail::Appointment>& appointment, bool& sent) override;
    long saveAppointment(const Lattice::Ptr<hxMail::Appointment>& appointment,
                         const Lattice::Ptr<hxMail::AppointmentDetail>& detail, bool& flag) override;
    long appointmentTimeChanged(String id, Lattice::_DateTimeData start, Lattice::_DateTimeData end,
                                String subject, bool, bool) override;
    long sendAppointment(const Lattice::Ptr<hxMail::Appointment>& appointment,
                         const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String text) override;
    long deleteRecurringAppointment(String id, Lattice::_DateTimeData instance, String text, bool) override;
    long recurrenceChanged(String id, const Lattice::Ptr<hxMail::RecurrenceObject>& recurrence,
                           Lattice::_DateTimeData start, Lattice::_TimeData startTime,
                           Lattice::_TimeData endTime, String text, Lattice::_DateData& firstDate,
                           String& newId, Collection* changed, Lattice::_DateData& lastDate) override;
    long getAppointmentRange(String folderId, Lattice::_DateData start, Lattice::_DateData end, bool,
                             Collection* out) override;
    long getAppointmentDatesRange(String folderId, Lattice::_DateData start, Lattice::_DateData end,
                                  String text, Collection* out) override;
    long addRecurringBreak(const Lattice::Ptr<hxMail::Appointment>& appointment,
                           const Lattice::Ptr<hxMail::AppointmentDetail>& detail, String& newId,
                           long& status) override;
    long getFilteredDistributionRecipients(String listId, String filter, Lattice::_DateData start,
                                           Lattice::_DateData end, Collection* out) override;
    // One text of merged busy spans per user whose search succeeded, in user order. Always 0.
    long getFreeBusyBlocks(Lattice::_DateData start, Lattice::_DateData end, const Collection& users,
                           Collection* out) override;

    // The appointments of a folder of the user's own files, or with no folder those of the named
    // user's calendar ("($Calendar)" of that user's mail file).
    virtual long getUserAppointmentRange(String user, String folderId, Lattice::_DateData start,
                                         Lattice::_DateData end, bool, Collection* out);

    NotesDatabase* getDb() const;

private:
    MailProvider* mailProvider() const;
    // Runs `work` on the entry with UNID `id` of the user's mail file inside the operation frame;
    // an id that names no document is logged and runs nothing. False before a login.
    bool withAppointment(String id, const char* operation,
                         const std::function<void(NotesAppointment&)>& work);
    // A new entry from `appointment` (and `detail`), saved.
    long create(hxMail::Appointment* appointment, hxMail::AppointmentDetail* detail);
};

} // namespace hxMail::hxNotesProvider
