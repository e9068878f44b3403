#include "notes/NotesDatabase.h"

#include "mail/NotesMessage.h"
#include "notes/NotesDocument.h"
#include "notes/NotesFolder.h"
#include "provider/MailProvider.h"

#include <cstdio>

namespace hxMail::hxNotesProvider {

namespace {

void releaseFolder(NotesFolder*& folder) {
    if (folder) {
        folder->release();
        folder = nullptr;
    }
}

} // namespace

NotesDatabase::NotesDatabase() = default;

NotesDatabase::NotesDatabase(MailProvider* provider) : provider(provider) {}

NotesDatabase::NotesDatabase(String serverName, String databasePath, MailProvider* provider)
    : serverName(serverName.c_str()), serverNameText(serverName), databasePath(databasePath.c_str()),
      databasePathText(databasePath), provider(provider) {}

NotesDatabase::NotesDatabase(const NotesDatabase& other) : Lattice::Base(other) {}

NotesDatabase::~NotesDatabase() {
    folderMap.removeAll();
    releaseFolder(mailboxFolder);
    for (WellKnownFolder& slot : wellKnownFolders)
        releaseFolder(slot.folder);
    // unlockHandle has normally closed it; the object itself is still ours.
    delete handle;
}

LNDatabase* NotesDatabase::getDatabase() {
    LNSetThrowAllErrorsGlobal(TRUE);
    if (isOpen_)
        return handle;
    if (handle)
        spareHandles.emplace_back(handle);
    handle = new LNDatabase();
    try {
        if (!provider || !provider->getSession())
            throw static_cast<LNSTATUS>(LNERR_NOT_INITIALIZED);
        if (provider->getSession()->GetDatabase(databasePath, handle, serverName) == LNNOERROR)
            return handle;
    } catch (LNSTATUS status) {
        char text[LNERROR_MESSAGE_LENGTH];
        LNGetErrorMessageText(status, text, sizeof text);
        LNSetThrowAllErrorsGlobal(FALSE);
    }
    delete handle;
    handle = nullptr;
    return nullptr;
}

void NotesDatabase::closeHandle() {
    isOpen_ = false;
    if (handle) {
        try {
            handle->Close();
        } catch (LNSTATUS) {
            // Closing never matters to the caller; the object goes either way.
        }
        delete handle;
        handle = nullptr;
    }
    spareHandles.clear();
}

void NotesDatabase::lockHandle() {
    if (isOpen_)
        closeHandle();
    handle = getDatabase();
    if (!handle)
        return;
    try {
        if (handle->Open() == LNNOERROR) {
            isOpen_ = true;
            return;
        }
    } catch (LNSTATUS) {
        LNSetThrowAllErrorsGlobal(FALSE);
    }
    // A handle that cannot be opened is no handle: the operation finds no database.
    delete handle;
    handle = nullptr;
}

void NotesDatabase::unlockHandle() {
    closeHandle();
}

Lattice::String NotesDatabase::getFullDatabasePath(bool leadingSlash, bool trailingSlash) {
    String server = serverNameText;
    if (provider && provider->getSession())
        server = provider->getSession()->AbbreviateName(serverName).GetTextPtr();
    if (long slash = server.find('/'); slash >= 0)
        server = server.left(slash);
    String path = databasePathText;
    path.replaceAll("\\", "/");

    String result;
    if (leadingSlash)
        result += "/";
    result += server.isEmpty() ? String("localhost") : server;
    result += "/";
    result += path;
    result += ".nsf";
    if (trailingSlash)
        result += "/";
    return result;
}

Lattice::String NotesDatabase::formatReplicaId(unsigned long first, unsigned long second) {
    return String::format("%08lX:%08lX", second & 0xFFFFFFFFUL, first & 0xFFFFFFFFUL);
}

Lattice::String& NotesDatabase::getReplicaIdStr() {
    LNDatabase* db = getDatabase();
    if (!db)
        return replicaId;
    try {
        TIMEDATE id{};
        if (db->GetReplicaID(&id) == LNNOERROR)
            replicaId = formatReplicaId(id.Innards[0], id.Innards[1]);
    } catch (LNSTATUS) {
        LNSetThrowAllErrorsGlobal(FALSE);
    }
    return replicaId;
}

LNSTATUS NotesDatabase::sendDoc(LNDocument* doc) {
    LNDatabase* db = getDatabase();
    if (!db || !doc)
        return LNERR_NULL_OBJECT;
    LNDocument posted;
    LNSTATUS status = db->CreateDocument(*doc, &posted);
    if (status == LNNOERROR)
        status = posted.Save();
    if (!posted.IsNull())
        posted.Close();
    return status;
}

void NotesDatabase::deleteItem(String unid, MailProvider* owner) {
    LNSetThrowAllErrorsGlobal(TRUE);
    try {
        LNDatabase* db = getDatabase();
        if (!db) {
            LNSetThrowAllErrorsGlobal(FALSE);
            return;
        }
        NotesDocument wrapper;
        (void)owner;
        LNDocument doc;
        db->GetDocument(wrapper.getUniversalID(unid), &doc);
        db->DeleteDocument(&doc);
    } catch (LNSTATUS status) {
        char text[LNERROR_MESSAGE_LENGTH];
        LNGetErrorMessageText(status, text, sizeof text);
    }
    LNSetThrowAllErrorsGlobal(FALSE);
}

void NotesDatabase::PrintAPIError(unsigned short status) {
    char text[200] = {};
    OSLoadString(nullptr, static_cast<STATUS>(status & ERR_MASK), text, sizeof text);
    std::fprintf(stderr, "\n%s\n", text);
}

NotesFolder* NotesDatabase::getFolder(String folderId) {
    for (const WellKnownFolder& slot : wellKnownFolders)
        if (slot.id == folderId && !slot.id.isEmpty())
            return slot.folder;
    return nullptr;
}

void NotesDatabase::addSystemFolder(WellKnownKind kind, const char* display, const char* view,
                                    _FolderType type, Lattice::ObjectCollection* out) {
    NotesFolder* folder = new NotesFolder(provider, this, display, view, type, false, true, true);
    folder->addRef();
    setWellKnownFolder(kind, folder, folder->getFolderId());
    if (out && folder->getFolderObject())
        out->add(Lattice::Data(folder->getFolderObject(), true));
    folderMap.set(folder->getFolderId(), Lattice::Ptr<NotesFolder>(folder));
    folder->release();
}

long NotesDatabase::getFolders(_UserInfoStruct*, String, Lattice::ObjectCollection* out) {
    addSystemFolder(Inbox, "Inbox", "($Inbox)", FolderTypeInbox, out);
    addSystemFolder(Drafts, "Drafts", "($Drafts)", FolderTypeDrafts, out);
    addSystemFolder(Sent, "Sent Items", "($Sent)", FolderTypeSentItems, out);
    addSystemFolder(ToDo, "Tasks", "($ToDo)", FolderTypeTasks, out);
    addSystemFolder(Calendar, "Calendar", "($Calendar)", FolderTypeCalendar, out);
    return 0;
}

Lattice::String NotesDatabase::getParentFolderId(unsigned long noteId, String itemId, bool byContents) {
    for (auto& [id, folder] : folderMap) {
        if (!folder)
            continue;
        folder->newHandle();
        const bool match = byContents ? folder->contains(noteId)
                                      : (!itemId.isEmpty() && folder->getFolderItemIds().find(itemId) >= 0);
        if (match)
            return id;
    }
    return String();
}

Lattice::String NotesDatabase::getParentFolderId(unsigned long noteId) {
    LNDatabase* db = getDatabase();
    LNSetThrowAllErrorsGlobal(FALSE);
    if (!db)
        return String();
    const DBHANDLE handle = db->GetDatabaseHandle();
    for (auto& [id, folder] : folderMap) {
        if (!folder || folder->getNoteId() == 0)
            continue;
        DHANDLE table = NULLHANDLE;
        const STATUS status =
            NSFFolderGetIDTable(handle, handle, static_cast<NOTEID>(folder->getNoteId()), 0, &table);
        if (status != NOERROR) {
            char text[200] = {};
            OSLoadString(nullptr, static_cast<STATUS>(status & ERR_MASK), text, sizeof text);
            std::fprintf(stderr, "\n%s\n", text);
            continue;
        }
        const bool present = IDIsPresent(table, static_cast<NOTEID>(noteId));
        IDDestroyTable(table);
        if (present) {
            std::printf("checking folder name=%s\n", id.c_str());
            return id;
        }
    }
    return String();
}

bool NotesDatabase::docIsInFolder(unsigned long folderNoteId, unsigned long noteId) {
    LNDatabase* db = getDatabase();
    LNSetThrowAllErrorsGlobal(FALSE);
    if (!db)
        return false;
    const DBHANDLE handle = db->GetDatabaseHandle();
    DHANDLE table = NULLHANDLE;
    const STATUS status = NSFFolderGetIDTable(handle, handle, static_cast<NOTEID>(folderNoteId), 0, &table);
    if (status != NOERROR) {
        PrintAPIError(status);
        return false;
    }
    const bool present = IDIsPresent(table, static_cast<NOTEID>(noteId));
    IDDestroyTable(table);
    return present;
}

bool NotesDatabase::isUnread(unsigned long id) {
    LNDatabase* db = getDatabase();
    if (!db)
        throw static_cast<LNSTATUS>(LNERR_NULL_OBJECT);
    LNNoteArray unread;
    db->GetUnreadList(&unread, FALSE);
    return unread.Contains(static_cast<NOTEID>(id)) != FALSE;
}

void NotesDatabase::createMailBox(_UserInfoStruct* user, Lattice::Ptr<hxMail::Mailbox>& mailbox) {
    NotesFolder* root = new NotesFolder(provider, this, true);
    root->addRef();
    releaseFolder(mailboxFolder);
    mailboxFolder = root;
    mailboxFolder->initMailBox(user, mailbox);
    mailboxFolderId = mailboxFolder->getFolderId();
}

NotesMessage* NotesDatabase::createMessage(LNDocument* doc) {
    return new NotesMessage(provider, doc, this, false);
}

NotesMessage* NotesDatabase::createMessage() {
    return new NotesMessage(provider, this);
}

NotesMessage* NotesDatabase::openMessage(String& id) {
    return new NotesMessage(id, provider, this);
}

void NotesDatabase::setWellKnownFolder(WellKnownKind kind, NotesFolder* folder, const String& folderId) {
    if (kind < 0 || kind >= WellKnownCount)
        return;
    WellKnownFolder& slot = wellKnownFolders[kind];
    if (folder)
        folder->addRef();
    releaseFolder(slot.folder);
    slot.folder = folder;
    slot.id = folderId;
}

NotesFolder* NotesDatabase::getWellKnownFolder(WellKnownKind kind) const {
    return (kind >= 0 && kind < WellKnownCount) ? wellKnownFolders[kind].folder : nullptr;
}

NotesFolder* NotesDatabase::getMailboxFolder() const {
    return mailboxFolder;
}

LATTICE_REGISTER_CLASS(NotesDatabase);

} // namespace hxMail::hxNotesProvider
