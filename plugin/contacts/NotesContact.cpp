#include "contacts/NotesContact.h"

#include "notes/NotesAddressBook.h"

namespace hxMail::hxNotesProvider {

NotesContact::NotesContact(MailProvider* provider, LNDocument* doc, NotesAddressBook* book, bool copy)
    : NotesDocument(provider, doc, book, copy) {}

NotesContact::~NotesContact() = default;

LATTICE_REGISTER_CLASS(NotesContact);

} // namespace hxMail::hxNotesProvider
