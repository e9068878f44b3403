#pragma once
#include "mail/NotesMessage.h"

namespace hxMail::hxNotesProvider {

// A calendar entry as a host appointment.
class HX_EXPORT NotesAppointment : public NotesMessage {
    LATTICE_CLASS(NotesAppointment, "NotesAppointment", NotesMessage)
public:
    NotesAppointment() = default;
    NotesAppointment(const NotesAppointment& other) : NotesMessage(other) {}
    // A document the caller already holds open.
    NotesAppointment(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy)
        : NotesMessage(provider, doc, database, copy) {}
    ~NotesAppointment() override;
};

} // namespace hxMail::hxNotesProvider
