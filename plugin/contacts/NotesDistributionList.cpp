#include "contacts/NotesDistributionList.h"

#include "notes/NotesAddressBook.h"

namespace hxMail::hxNotesProvider {

NotesDistributionList::NotesDistributionList(MailProvider* provider, LNDocument* doc, NotesAddressBook* book,
                                             bool copy)
    : NotesDocument(provider, doc, book, copy) {}

NotesDistributionList::~NotesDistributionList() = default;

LATTICE_REGISTER_CLASS(NotesDistributionList);

} // namespace hxMail::hxNotesProvider
