// The folder operations of the main provider: the folder list, sorting, index and pages,
// deletion, read marks and the preview flag; and the reserved operations of the host table.
#include "notes/NotesAddressBook.h"
#include "notes/NotesFolder.h"
#include "notes/NotesUser.h"
#include "provider/OperationFrame.h"

namespace hxMail::hxNotesProvider {

long MailProvider::getFolders(String, String wantedMailboxId, Collection* folders) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    NotesDatabase* mailFile = user->getMailDatabase(this);
    NotesAddressBook* book = user->getPabDatabase(this);
    if (wantedMailboxId == mailboxId && folders) {
        folders->removeAll(true);
        if (mailFile)
            mailFile->getFolders(user->getInfo(), wantedMailboxId, folders);
        if (book)
            book->getFolders(user->getInfo(), wantedMailboxId, folders);
    }
    return 0;
}

NotesFolder* MailProvider::findListFolder(const String& folderId) {
    NotesFolder* folder = findFolder(folderId);
    return folder && folder->getFolderType() != FolderTypeCalendar ? folder : nullptr;
}

long MailProvider::getFolderItemsPage(String folderId, long start, long count, Collection* items) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    if (NotesFolder* folder = findListFolder(folderId))
        folder->getSortItems(folderId, start, count, items);
    return 0;
}

long MailProvider::getSortIndex(String folderId, String, long pageSize, Collection* labels, String& labelType,
                                long) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    labelType = "string";
    OperationFrame frame(this);
    if (NotesFolder* folder = findListFolder(folderId))
        folder->getSortIndexItems(pageSize, labels);
    return 0;
}

long MailProvider::setSortContext(String sortColumn, String folderId, bool ascending, String,
                                  String& selectedFolderId) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    {
        OperationFrame frame(this);
        if (NotesFolder* folder = findListFolder(folderId))
            folder->setSortContext(sortColumn, ascending);
    }
    selectedFolderId = folderId;
    return 0;
}

long MailProvider::deleteItems(String folderId, const Collection& ids, bool flag, bool& done) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    NotesFolder* folder = findFolder(folderId);
    return folder ? folder->deleteItems(ids, flag, done) : 0;
}

long MailProvider::markAllRead(String) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    frame.run([&] {
        if (LNDatabase* db = userMailDatabase->getDatabase()) {
            LNNoteArray unread;
            db->GetUnreadList(&unread, FALSE);
            unread.DeleteAll();
            db->SetUnreadList(unread, nullptr, FALSE);
        }
    });
    return 0;
}

long MailProvider::markFolderRead(String folderId, long, long, long) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    markAllRead(folderId);
    return 0;
}

long MailProvider::setShowPreview(String folderId, bool show) {
    if (!isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(this);
    NotesFolder* folder = findFolder(folderId);
    if (folder && folder->getFolderObject())
        folder->getFolderObject()->set_showPreview(show);
    else if (!folder)
        showPreviewDefault = show;
    return 0;
}

Lattice::String MailProvider::getModuleName() {
    return "hxNotesProvider";
}

// The reserved slots of the host table: fixed answers, no Notes work.
bool MailProvider::providerReserved1(String, String, long) {
    return false;
}
long MailProvider::providerReserved2(long, long) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved3(String, Lattice::Ptr<Lattice::Base>& out) {
    out = nullptr;
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved4(String, String, String, long, long) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved5(String, String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved6(String, Lattice::Ptr<Lattice::Base>&) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved7(String, String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved8(String, String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved9(String, String, String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved10(String, Lattice::Ptr<Lattice::Base>&) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved11(String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved12(String, String, long) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved13(long, long, long) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved14(String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved15(String, long, long) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved16(String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved17() {
    return 0;
}
void MailProvider::providerReserved18() {}
void MailProvider::providerReserved19() {}
Lattice::String MailProvider::providerReserved20(long, Lattice::Base*, const String&) {
    return String();
}
void MailProvider::providerReserved21() {}
void MailProvider::providerReserved22() {}
long MailProvider::providerReserved23(String, String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved24(String, String) {
    return hxMail::kNotSupported;
}
long MailProvider::providerReserved25(String, String) {
    return hxMail::kNotSupported;
}

} // namespace hxMail::hxNotesProvider
