#pragma once
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

// A group document as a host distribution list.
class NotesDistributionList : public NotesDocument {
    LATTICE_CLASS(NotesDistributionList, "NotesDistributionList", NotesDocument)
public:
    NotesDistributionList() = default;
    NotesDistributionList(const NotesDistributionList& other) : NotesDocument(other) {}
    ~NotesDistributionList() override;
};

} // namespace hxMail::hxNotesProvider
