#pragma once
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

// A mail memo as a host message.
class HX_EXPORT NotesMessage : public NotesDocument {
    LATTICE_CLASS(NotesMessage, "NotesMessage", NotesDocument)
public:
    NotesMessage() = default;
    NotesMessage(const NotesMessage& other) : NotesDocument(other) {}
    // A new document of the given form.
    NotesMessage(MailProvider* provider, const char* form, NotesDatabase* database)
        : NotesDocument(provider, form, database) {}
    // A new memo.
    NotesMessage(MailProvider* provider, NotesDatabase* database)
        : NotesDocument(provider, "Memo", database) {}
    // The existing document with the UNID text `id`.
    NotesMessage(String& id, MailProvider* provider, NotesDatabase* database)
        : NotesDocument(id, provider, database, false) {}
    // A document the caller already holds open.
    NotesMessage(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy)
        : NotesDocument(provider, doc, database, copy) {}
    ~NotesMessage() override;
};

} // namespace hxMail::hxNotesProvider
