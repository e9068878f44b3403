// The change report: documents created or deleted in the user's mail file and personal address book
// since the previous report, read off the databases' modification index.
#include "calendar/NotesAppointment.h"
#include "contacts/NotesContact.h"
#include "contacts/NotesDistributionList.h"
#include "mail/NotesMessage.h"
#include "notes/NotesDatabase.h"
#include "provider/OperationFrame.h"
#include "tasks/NotesTask.h"

#include "Lattice/Logger.h"
#include "hxMail/Change.h"

#include <utility>

namespace hxMail::hxNotesProvider {

namespace {

Lattice::String latin1(const LNString& text) {
    return Lattice::String(text.GetTextPtr(), static_cast<std::size_t>(text.GetByteLength()));
}

void append(Lattice::ObjectCollection* changes, const Lattice::Ptr<hxMail::ChangeItem>& change) {
    if (changes && change)
        changes->add(Lattice::Data(change.get(), true));
}

} // namespace

long MailProvider::getChanges(Collection* changes, long) {
    if (!isLoggedIn())
        return 0;
    OperationFrame frame(this);
    frame.run([&] {
        reportChanges(userMailDatabase, lastMailSync, mailboxId, changes);
        if (userAddressBook)
            reportChanges(userAddressBook, lastAddressBookSync,
                          userAddressBook->getWellKnownFolderId(NotesDatabase::Contacts), changes);
    });
    return 0;
}

void MailProvider::alignSyncTimes() {
    const std::pair<NotesDatabase*, LNDatetime*> passes[] = {{userMailDatabase, &lastMailSync},
                                                             {userAddressBook, &lastAddressBookSync}};
    ThrowAllErrorsScope quiet(FALSE);
    for (const auto& [database, sync] : passes) {
        LNDatabase* db = database ? database->getDatabase() : nullptr;
        LNNoteArray ignored;
        LNDatetime databaseNow;
        if (!db || db->GetModifiedNotes(*sync, &ignored, LNNOTETYPE_DOCUMENT, &databaseNow) != LNNOERROR)
            continue;
        if (databaseNow < *sync) {
            Lattice::Logger::print(
                "getChanges: the sync time is ahead of the database's clock; using the database's");
            *sync = databaseNow;
        }
    }
}

void MailProvider::reportChanges(NotesDatabase* database, LNDatetime& sync, const String& wholeId,
                                 Collection* changes) {
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    if (!db)
        return;
    const LNDatetime since = sync;
    LNNoteArray notes;
    LNDatetime until;
    try {
        db->GetModifiedNotes(since, &notes, LNNOTETYPE_DOCUMENT, &until);
    } catch (LNSTATUS status) {
        if (status != ERR_SINCE_PURGED)
            throw;
        // Deletions since the last report are lost: one deletion without an item id, of the whole
        // mailbox (or address book), tells the host to read it again; later reports go on from here.
        Lattice::Logger::print(
            "getChanges: deletions since the last report were purged; asking for a fresh read");
        Lattice::Ptr<hxMail::ChangeItemDelete> reread = new hxMail::ChangeItemDelete();
        reread->set_parentId(wholeId);
        append(changes, Lattice::Ptr<hxMail::ChangeItem>(reread.get()));
        sync = until;
        return;
    }
    // The pass marks nothing read: one reading of the unread list answers for all its documents.
    struct HeldUnreadList {
        NotesDatabase* database;
        ~HeldUnreadList() { database->holdUnreadList(false); }
    } heldUnread{database};
    database->holdUnreadList(true);
    for (LNINT i = 0; i < notes.GetCount(); ++i) {
        LNNote note = notes[i];
        const NOTEID noteId = notes.GetNoteID(i);
        // Opened straight away: a deletion stub refuses to open, so a document is read once and
        // only a deletion asks for its note's state.
        LNDocument document = note;
        LNSTATUS opened = LNNOERROR;
        try {
            opened = document.Open();
        } catch (LNSTATUS status) {
            opened = status;
        }
        if (opened == ERR_NOTE_DELETED) {
            LNUniversalID unid;
            note.GetUniversalID(&unid);
            const String id = latin1(unid.GetText());
            Lattice::Ptr<hxMail::ChangeItemDelete> gone = new hxMail::ChangeItemDelete();
            gone->set_itemId(id);
            gone->set_parentId(database->getParentFolderId(noteId, id, false));
            append(changes, Lattice::Ptr<hxMail::ChangeItem>(gone.get()));
            continue;
        }
        // Gone altogether since the query (its stub purged): nothing left to announce.
        if (opened == ERR_INVALID_NOTE)
            continue;
        if (opened != LNNOERROR)
            throw opened;
        // Edits of older documents are not announced: only what is new since the last report.
        if (!document.IsModified() && document.GetCreated() >= since)
            append(changes, makeChangeItem(document, database, true));
        document.Close();
    }
    sync = until;
}

Lattice::Ptr<hxMail::ChangeItem> MailProvider::makeChangeItem(LNDocument document, NotesDatabase* database,
                                                              bool asNew) {
    LNString form;
    {
        // A document without "Form" is no item of the host's.
        ThrowAllErrorsScope quiet(FALSE);
        if (document.GetForm(&form) != LNNOERROR)
            return nullptr;
    }
    Lattice::Ptr<NotesDocument> wrapper;
    auto* book = dynamic_cast<NotesAddressBook*>(database);
    if (form == "Person" && book)
        wrapper = new NotesContact(this, &document, book, false);
    else if (form == "Group" && book)
        wrapper = new NotesDistributionList(this, &document, book, false);
    else if (form == "Task")
        wrapper = new NotesTask(this, &document, database, false);
    else if (form == "Appointment")
        wrapper = new NotesAppointment(this, &document, database, false);
    else if (form == "Memo")
        wrapper = new NotesMessage(this, &document, database, false);
    if (!wrapper || wrapper->loadFailed())
        return nullptr;
    return wrapper->getChangeItem(asNew);
}

} // namespace hxMail::hxNotesProvider
