#pragma once
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

// A person document as a host contact.
class HX_EXPORT NotesContact : public NotesDocument {
    LATTICE_CLASS(NotesContact, "NotesContact", NotesDocument)
public:
    NotesContact() = default;
    NotesContact(const NotesContact& other) : NotesDocument(other) {}
    // Wraps a document the caller holds (or, with `copy`, a copy of it made in `book`).
    NotesContact(MailProvider* provider, LNDocument* doc, NotesAddressBook* book, bool copy);
    ~NotesContact() override;
};

} // namespace hxMail::hxNotesProvider
