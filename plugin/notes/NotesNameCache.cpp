#include "notes/NotesNameCache.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesHandle.h"
#include "notes/lndatabase.h"

namespace hxMail::hxNotesProvider {

void NotesNameCache::validate(NotesDatabase* directory) {
    if (checkedGeneration_ == generation_)
        return;
    checkedGeneration_ = generation_;
    LNDatabase* db = directory ? directory->getDatabase() : nullptr;
    const DBHANDLE handle = db ? db->GetDatabaseHandle() : NULLHANDLE;
    if (handle == NULLHANDLE) {
        // Nothing to compare with: trust nothing remembered.
        entries_.clear();
        haveCheck_ = false;
        return;
    }
    if (!haveCheck_) {
        // Entries made from here on are checked against changes after this moment.
        entries_.clear();
        OSCurrentTIMEDATE(&checkedUntil_);
        haveCheck_ = true;
        return;
    }
    TIMEDATE until{};
    NotesIdTable changed;
    if (NSFDbGetModifiedNoteTable(handle, NOTE_CLASS_ALL, checkedUntil_, &until, changed.out()) != NOERROR) {
        entries_.clear();
        haveCheck_ = false;
        return;
    }
    if (IDEntries(changed.get()) > 0)
        entries_.clear();
    checkedUntil_ = until;
}

hxMail::Recipient* NotesNameCache::find(const Lattice::String& name, NotesDatabase* directory, bool& known) {
    validate(directory);
    known = false;
    const auto it = entries_.find(name);
    if (it == entries_.end())
        return nullptr;
    known = true;
    if (!it->second)
        return nullptr;
    return static_cast<hxMail::Recipient*>(it->second->deepCopy());
}

void NotesNameCache::remember(const Lattice::String& name, const hxMail::Recipient* recipient) {
    if (!haveCheck_)
        return;
    entries_[name] =
        recipient ? Lattice::Ptr<hxMail::Recipient>(static_cast<hxMail::Recipient*>(recipient->deepCopy()))
                  : Lattice::Ptr<hxMail::Recipient>();
}

} // namespace hxMail::hxNotesProvider
