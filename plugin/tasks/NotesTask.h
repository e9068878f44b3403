#pragma once
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

// A to-do document as a host task.
class HX_EXPORT NotesTask : public NotesDocument {
    LATTICE_CLASS(NotesTask, "NotesTask", NotesDocument)
public:
    NotesTask() = default;
    NotesTask(const NotesTask& other) : NotesDocument(other) {}
    // A document the caller already holds open.
    NotesTask(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy)
        : NotesDocument(provider, doc, database, copy) {}
    ~NotesTask() override;
};

} // namespace hxMail::hxNotesProvider
