#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "Lattice/Base.h"
#include "Lattice/Containers.h"
#include "Lattice/Data.h"
#include "hxMail/Folder.h"
#include "notes/NotesFolder.h"
#include "notes/NotesHandle.h"
#include "notes/lncpp.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace hxMail::hxNotesProvider {

// One Notes database named by server and path. It holds no open handle between provider
// operations: lockHandle opens one when an operation starts, unlockHandle closes it at the end.
class HX_EXPORT NotesDatabase : public Lattice::Base {
    LATTICE_CLASS(NotesDatabase, "NotesDatabase", Lattice::Base)
public:
    using String = Lattice::String;

    // The kinds of well-known folder a database can hold, one slot each.
    enum WellKnownKind { Inbox, Drafts, Sent, ToDo, Calendar, Contacts, DeletedItems, WellKnownCount };

    NotesDatabase();
    explicit NotesDatabase(MailProvider* provider);
    NotesDatabase(String serverName, String databasePath, MailProvider* provider);
    // Copies nothing: the copy is an empty wrapper.
    NotesDatabase(const NotesDatabase& other);
    NotesDatabase& operator=(const NotesDatabase&) = delete;
    ~NotesDatabase() override;

    MailProvider* getProvider() const { return provider; }
    String getServerName() const { return serverNameText; }
    const String& getDatabasePath() const { return databasePathText; }
    bool isOpen() const { return isOpen_; }

    // The handle to use: the open one inside a lock bracket, else a newly bound, unopened one;
    // null when the database cannot be reached. Leaves throw-all-errors mode on.
    LNDatabase* getDatabase();
    void lockHandle();
    void unlockHandle();
    // Why the last lockHandle found no database (LNNOERROR when it opened one), for the log.
    LNSTATUS getOpenStatus() const { return openStatus_; }
    // Tells one lock bracket from another: a number no other opening in the process had (0 while
    // the database is not open).
    std::uint64_t getOpenSerial() const { return isOpen_ ? openSerial_ : 0; }

    // "[/]server/path.nsf[/]": the database's place on the Domino web server.
    String getFullDatabasePath(bool leadingSlash, bool trailingSlash);
    String& getReplicaIdStr();
    // "%08X:%08X" of the second word, then the first.
    static String formatReplicaId(unsigned long first, unsigned long second);

    // Hands `doc` to this database as a new document (on "mail.box": to the router).
    LNSTATUS sendDoc(LNDocument* doc);
    // Deletes the document for good; Notes errors are swallowed.
    void deleteItem(String unid, MailProvider* provider);
    static void PrintAPIError(unsigned short status);

    virtual NotesFolder* getFolder(String folderId);
    virtual long getFolders(_UserInfoStruct* user, String mailboxId, Lattice::ObjectCollection* folders);
    // The folder holding the document: by the ids listed from each folder, or with byContents
    // by walking each folder's view. Empty when none holds it.
    String getParentFolderId(unsigned long noteId, String itemId, bool byContents);
    // The folder whose ID table holds the note; empty when none does.
    String getParentFolderId(unsigned long noteId);
    bool docIsInFolder(unsigned long folderNoteId, unsigned long noteId);

    // Whether the note is on the user's unread list (a lookup, not a read of the whole list).
    bool isUnread(unsigned long noteId);
    // While held, isUnread answers from one reading of the list (a change report asks about every
    // document it announces, and marks nothing); dropped on release and when the handle closes.
    void holdUnreadList(bool hold);

    void createMailBox(_UserInfoStruct* user, Lattice::Ptr<hxMail::Mailbox>& mailbox);

    NotesMessage* createMessage(LNDocument* doc);
    NotesMessage* createMessage();
    NotesMessage* openMessage(String& id);

    void setWellKnownFolder(WellKnownKind kind, NotesFolder* folder, const String& folderId);
    NotesFolder* getWellKnownFolder(WellKnownKind kind) const;
    const String& getWellKnownFolderId(WellKnownKind kind) const { return wellKnownFolders[kind].id; }
    Lattice::Map<String, Lattice::Ptr<NotesFolder>>& getFolderMap() { return folderMap; }
    NotesFolder* getMailboxFolder() const;
    const String& getMailboxFolderId() const { return mailboxFolderId; }

protected:
    struct WellKnownFolder {
        NotesFolder* folder = nullptr; // counted reference
        String id;
    };

    Lattice::Map<String, Lattice::Ptr<NotesFolder>> folderMap{17, 10};
    String mailboxFolderId;
    NotesFolder* mailboxFolder = nullptr; // counted reference
    WellKnownFolder wellKnownFolders[WellKnownCount];
    String replicaId;
    LNString serverName;
    String serverNameText;
    LNString databasePath;
    String databasePathText;
    std::unique_ptr<LNDatabase> handle; // the open database, or null
    bool isOpen_ = false;
    LNSTATUS openStatus_ = LNNOERROR;
    std::uint64_t openSerial_ = 0;
    MailProvider* provider = nullptr;

    // Builds one system folder and files it under `kind`.
    void addSystemFolder(WellKnownKind kind, const char* displayName, const char* viewName, _FolderType type,
                         Lattice::ObjectCollection* out);

private:
    void closeHandle();
    // Whether the folder's view holds the note, from its ID table read once per operation.
    bool folderHolds(NotesFolder* folder, unsigned long noteId);

    // The ID tables of folder views by view note id, for the length of one operation: a change
    // report asks about every changed document, and the view is the same for all of them.
    std::map<unsigned long, NotesIdTable> memberTables;
    bool holdUnread_ = false;
    std::unique_ptr<LNNoteArray> heldUnread_;

    // Unopened handles that getDatabase made outside a lock bracket; callers may still hold them,
    // so they live until the next bracket boundary.
    std::vector<std::unique_ptr<LNDatabase>> spareHandles;
};

} // namespace hxMail::hxNotesProvider
