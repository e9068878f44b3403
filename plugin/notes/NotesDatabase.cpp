#include "notes/NotesDatabase.h"

#include "mail/NotesMessage.h"
#include "notes/NotesDocument.h"
#include "notes/NotesErrors.h"
#include "notes/NotesFolder.h"
#include "notes/NotesHandle.h"
#include "provider/MailProvider.h"

#include <atomic>
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
}

LNDatabase* NotesDatabase::getDatabase() {
    ThrowAllErrorsScope throwing;
    if (isOpen_)
        return handle.get();
    if (handle)
        spareHandles.push_back(std::move(handle));
    handle = std::make_unique<LNDatabase>();
    try {
        if (!provider || !provider->getSession())
            throw static_cast<LNSTATUS>(LNERR_NOT_INITIALIZED);
        if (provider->getSession()->GetDatabase(databasePath, handle.get(), serverName) == LNNOERROR)
            return handle.get();
    } catch (LNSTATUS status) {
        openStatus_ = status;
        reportNotesError(status, ErrorChannel::Silent);
    }
    handle.reset();
    return nullptr;
}

void NotesDatabase::closeHandle() {
    isOpen_ = false;
    memberTables.clear();
    heldUnread_.reset();
    if (handle) {
        try {
            handle->Close();
        } catch (LNSTATUS) {
            // Closing never matters to the caller; the object goes either way.
        }
        handle.reset();
    }
    spareHandles.clear();
}

void NotesDatabase::lockHandle() {
    if (isOpen_)
        closeHandle();
    openStatus_ = LNERR_NULL_OBJECT;
    if (!getDatabase())
        return;
    ThrowAllErrorsScope throwing;
    try {
        openStatus_ = handle->Open();
    } catch (LNSTATUS status) {
        openStatus_ = status;
    }
    if (openStatus_ == LNNOERROR) {
        static std::atomic<std::uint64_t> openings{0};
        openSerial_ = ++openings;
        isOpen_ = true;
        return;
    }
    // A handle that cannot be opened is no handle: the operation finds no database.
    handle.reset();
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
    ThrowAllErrorsScope throwing;
    throwing.run(
        [&] {
            TIMEDATE id{};
            if (db->GetReplicaID(&id) == LNNOERROR)
                replicaId = formatReplicaId(id.Innards[0], id.Innards[1]);
        },
        ErrorChannel::Silent);
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

void NotesDatabase::deleteItem(String unid, MailProvider*) {
    ThrowAllErrorsScope throwing;
    throwing.run(
        [&] {
            if (LNDatabase* db = getDatabase()) {
                NotesDocument wrapper;
                LNDocument doc;
                db->GetDocument(wrapper.getUniversalID(unid), &doc);
                db->DeleteDocument(&doc);
            }
        },
        ErrorChannel::Silent);
}

void NotesDatabase::PrintAPIError(unsigned short status) {
    reportNotesError(status, ErrorChannel::StandardError);
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

bool NotesDatabase::folderHolds(NotesFolder* folder, unsigned long noteId) {
    LNDatabase* db = getDatabase();
    if (!db || folder->getNoteId() == 0)
        return false;
    auto cached = memberTables.find(folder->getNoteId());
    if (cached == memberTables.end()) {
        const DBHANDLE handle = db->GetDatabaseHandle();
        NotesIdTable table;
        const STATUS status =
            NSFFolderGetIDTable(handle, handle, static_cast<NOTEID>(folder->getNoteId()), 0, table.out());
        if (status != NOERROR) {
            PrintAPIError(status);
            return false;
        }
        cached = memberTables.emplace(folder->getNoteId(), std::move(table)).first;
    }
    return IDIsPresent(cached->second.get(), static_cast<NOTEID>(noteId));
}

Lattice::String NotesDatabase::getParentFolderId(unsigned long noteId, String itemId, bool byContents) {
    for (auto& [id, folder] : folderMap) {
        if (!folder)
            continue;
        const bool match = byContents ? folderHolds(folder.get(), noteId)
                                      : (!itemId.isEmpty() && folder->getFolderItemIds().find(itemId) >= 0);
        if (match)
            return id;
    }
    return String();
}

Lattice::String NotesDatabase::getParentFolderId(unsigned long noteId) {
    LNDatabase* db = getDatabase();
    if (!db)
        return String();
    const DBHANDLE handle = db->GetDatabaseHandle();
    for (auto& [id, folder] : folderMap) {
        if (!folder || folder->getNoteId() == 0)
            continue;
        NotesIdTable table;
        const STATUS status =
            NSFFolderGetIDTable(handle, handle, static_cast<NOTEID>(folder->getNoteId()), 0, table.out());
        if (status != NOERROR) {
            PrintAPIError(status);
            continue;
        }
        if (IDIsPresent(table.get(), static_cast<NOTEID>(noteId))) {
            std::printf("checking folder name=%s\n", id.c_str());
            return id;
        }
    }
    return String();
}

bool NotesDatabase::docIsInFolder(unsigned long folderNoteId, unsigned long noteId) {
    LNDatabase* db = getDatabase();
    if (!db)
        return false;
    const DBHANDLE handle = db->GetDatabaseHandle();
    NotesIdTable table;
    const STATUS status =
        NSFFolderGetIDTable(handle, handle, static_cast<NOTEID>(folderNoteId), 0, table.out());
    if (status != NOERROR) {
        PrintAPIError(status);
        return false;
    }
    return IDIsPresent(table.get(), static_cast<NOTEID>(noteId));
}

bool NotesDatabase::isUnread(unsigned long id) {
    LNDatabase* db = getDatabase();
    if (!db)
        throw static_cast<LNSTATUS>(LNERR_NULL_OBJECT);
    if (!holdUnread_) {
        LNNoteArray unread;
        db->GetUnreadList(&unread, FALSE);
        return unread.Contains(static_cast<NOTEID>(id)) != FALSE;
    }
    if (!heldUnread_) {
        auto unread = std::make_unique<LNNoteArray>();
        db->GetUnreadList(unread.get(), FALSE);
        heldUnread_ = std::move(unread);
    }
    return heldUnread_->Contains(static_cast<NOTEID>(id)) != FALSE;
}

void NotesDatabase::holdUnreadList(bool hold) {
    holdUnread_ = hold;
    if (!hold)
        heldUnread_.reset();
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
