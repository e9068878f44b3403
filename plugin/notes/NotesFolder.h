#pragma once
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

// One Notes view or folder shown to the host as a folder, or the mailbox root.
class HX_EXPORT NotesFolder : public NotesDocument {
    LATTICE_CLASS(NotesFolder, "NotesFolder", NotesDocument)
public:
    NotesFolder() = default;
    NotesFolder(const NotesFolder& other) : NotesDocument(other) {}
    ~NotesFolder() override;
};

} // namespace hxMail::hxNotesProvider
