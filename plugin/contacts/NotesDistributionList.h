#pragma once
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

// A group document as a host distribution list.
class NotesDistributionList : public NotesDocument {
    LATTICE_CLASS(NotesDistributionList, "NotesDistributionList", NotesDocument)
public:
    NotesDistributionList() = default;
    NotesDistributionList(const NotesDistributionList& other) : NotesDocument(other) {}
    // Wraps a document the caller holds (or, with `copy`, a copy of it made in `book`).
    NotesDistributionList(MailProvider* provider, LNDocument* doc, NotesAddressBook* book, bool copy);
    ~NotesDistributionList() override;
};

} // namespace hxMail::hxNotesProvider
