#pragma once
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

// A note document; it has no behaviour of its own.
class HX_EXPORT NotesNote : public NotesDocument {
    LATTICE_CLASS(NotesNote, "NotesNote", NotesDocument)
public:
    NotesNote() = default;
    NotesNote(const NotesNote& other) : NotesDocument(other) {}
    ~NotesNote() override;
};

} // namespace hxMail::hxNotesProvider
