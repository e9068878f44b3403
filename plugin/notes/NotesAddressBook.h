#pragma once
#include "notes/NotesDatabase.h"

namespace hxMail::hxNotesProvider {

// An address book: the server's directory or a user's personal address book.
class HX_EXPORT NotesAddressBook : public NotesDatabase {
    LATTICE_CLASS(NotesAddressBook, "NotesAddressBook", NotesDatabase)
public:
    NotesAddressBook() = default;
    NotesAddressBook(String serverName, String databasePath, MailProvider* provider, bool personal);
    NotesAddressBook(const NotesAddressBook& other);
    ~NotesAddressBook() override;

    bool isPersonalBook() const { return isPersonal; }

protected:
    bool isPersonal = false;
};

} // namespace hxMail::hxNotesProvider
