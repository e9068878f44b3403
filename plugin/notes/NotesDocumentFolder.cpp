// Folder mode of NotesDocument: a view or folder note opened by name.
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

long NotesDocument::openFolder(const String& name) {
    isFolder_ = true;
    openedName = LNString(name.data(), name.length());
    // The class library of this build cannot open views yet, so a folder never loads.
    loadFailed_ = true;
    return LNERR_NULL_OBJECT;
}

void NotesDocument::dropFolder() {
    viewFolder = nullptr;
    if (isFolder_)
        note = nullptr;
}

} // namespace hxMail::hxNotesProvider
