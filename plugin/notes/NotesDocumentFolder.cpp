// Folder mode of NotesDocument: a view or folder note opened by name.
#include "notes/NotesDatabase.h"
#include "notes/NotesDocument.h"

namespace hxMail::hxNotesProvider {

long NotesDocument::openFolder(const String& name) {
    dropFolder();
    isFolder_ = true;
    openedName = LNString(name.data(), name.length());
    viewFolder = std::make_unique<LNViewFolder>();
    note = viewFolder.get();
    LNSTATUS status = LNERR_NULL_OBJECT;
    try {
        LNDatabase* db = database ? database->getDatabase() : nullptr;
        if (db) {
            status = db->GetViewFolder(openedName, viewFolder.get());
            if (status == LNNOERROR)
                status = viewFolder->Open();
        }
    } catch (LNSTATUS thrown) {
        status = thrown;
    }
    if (status != LNNOERROR) {
        loadFailed_ = true;
        return static_cast<long>(status);
    }
    loadFailed_ = false;
    setUniversalId();
    return 0;
}

void NotesDocument::dropFolder() {
    if (note == viewFolder.get())
        note = nullptr;
    viewFolder.reset();
}

} // namespace hxMail::hxNotesProvider
