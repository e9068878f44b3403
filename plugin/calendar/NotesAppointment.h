#pragma once
#include "mail/NotesMessage.h"

#include "hxMail/Calendar.h"

namespace hxMail::hxNotesProvider {

// A calendar entry as a host appointment: the message part is NotesMessage's, the calendar part
// (kind, view icon, date range, location, owner, attendees, busy state) is read and written here.
class HX_EXPORT NotesAppointment : public NotesMessage {
    LATTICE_CLASS(NotesAppointment, "NotesAppointment", NotesMessage)
public:
    NotesAppointment() = default;
    NotesAppointment(const NotesAppointment& other) : NotesMessage(other) {}
    // The existing entry with the UNID text `id`.
    NotesAppointment(String& id, MailProvider* provider, NotesDatabase* database)
        : NotesMessage(id, provider, database) {}
    // A new document of form "Appointment".
    NotesAppointment(MailProvider* provider, NotesDatabase* database)
        : NotesMessage(provider, "Appointment", database) {}
    // A document the caller already holds open.
    NotesAppointment(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy)
        : NotesMessage(provider, doc, database, copy) {}
    ~NotesAppointment() override;

    // The folder layer's per-form dispatch hands appointments in as message items.
    long load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* list, bool flag) override;
    long loadDetail(Lattice::SchemaBase* detail) override;
    void getIndexLabel(String column, hxMail::MessageItem* item, Lattice::ObjectCollection* out) override;
    Lattice::Ptr<hxMail::ChangeItem> getChangeItem(bool create) override;

    virtual long load(Lattice::Ptr<hxMail::Appointment>& appointment, Lattice::ObjectCollection* list, bool);
    virtual long save(hxMail::Appointment* appointment, Lattice::SchemaBase* detail, bool saveNow);
    using NotesMessage::save; // the memo overloads stay callable (and unhidden for clang)

    void loadAttendees(Lattice::ObjectCollection* out);
    static String getAppointmentType(hxMail::Appointment* appointment);
    static int getAppointmentIcon(hxMail::Appointment* appointment);
    // The entry's date range; not saved here. False when either end holds no date.
    bool setAppointmentDate(Lattice::_DateTimeData start, Lattice::_DateTimeData end);
    void timeChanged(Lattice::_DateTimeData start, Lattice::_DateTimeData end, String subject, bool, bool);

    // A host date-time as Notes writes it: its own zone (offset in minutes, truncated to hours),
    // seconds dropped. False for a value without a day or with fields Notes cannot hold.
    static bool toNotesDatetime(const Lattice::_DateTimeData& value, LNDatetime* out);
};

} // namespace hxMail::hxNotesProvider
