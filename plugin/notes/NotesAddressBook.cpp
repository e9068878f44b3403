#include "notes/NotesAddressBook.h"

namespace hxMail::hxNotesProvider {

NotesAddressBook::NotesAddressBook(String serverName, String databasePath, MailProvider* provider,
                                   bool personal)
    : NotesDatabase(std::move(serverName), std::move(databasePath), provider), isPersonal(personal) {}

NotesAddressBook::NotesAddressBook(const NotesAddressBook& other) : NotesDatabase(other) {}

NotesAddressBook::~NotesAddressBook() = default;

LATTICE_REGISTER_CLASS(NotesAddressBook);

} // namespace hxMail::hxNotesProvider
