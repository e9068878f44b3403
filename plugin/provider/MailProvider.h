#pragma once
#include "calendar/CalendarProvider.h"
#include "contacts/ContactProvider.h"
#include "mail/ContentId.h"
#include "mail/NotesMessageProvider.h"
#include "notes/NotesAddressBook.h"
#include "notes/NotesDatabase.h"
#include "notes/NotesNameCache.h"
#include "notes/NotesUser.h"
#include "provider/NotesGroupProvider.h"
#include "provider/NotesMeetingProvider.h"
#include "tasks/TaskProvider.h"

#include "Lattice/Data.h"
#include "hxMail/Providers.h"
#include "notes/lncpp.h"

#include <array>

namespace hxMail::hxNotesProvider {

// The plug-in's main provider: one host user connection with its own Notes session. Not exported:
// the host reaches it through the factory or the class factory and its virtual operations.
//
// One provider, one thread at a time: every operation reuses the same four database handle slots
// and the provider has no lock, so a host must not call one provider (or its child providers)
// from two threads at once. Separate providers share nothing but the Logger and may run side by
// side.
class MailProvider : public hxMail::MailProvider {
    LATTICE_CLASS(MailProvider, "MailProvider", hxMail::MailProvider)
public:
    using String = Lattice::String;

    MailProvider();
    // A copy is a fresh provider with its own session; nothing is taken from `other`.
    MailProvider(const MailProvider& other);
    MailProvider& operator=(const MailProvider&) = delete;
    ~MailProvider() override;

    // Checks the name and password against the directory; 0 and the host's authenticated flag
    // when they match, 1 otherwise. A provider authenticates once: later calls repeat the first
    // answer until logout.
    long login(String userName, String password, String reserved, long, long) override;
    // As login, without setting the host's flag.
    bool verifyLogin(String userName, String password, String reserved, long, long, long) override;
    long logout() override;
    long getMailbox(String ownerName, Lattice::Ptr<hxMail::Mailbox>& mailbox) override;

    bool providerReserved1(String, String, long) override;
    long providerReserved2(long, long) override;
    long providerReserved3(String, Lattice::Ptr<Lattice::Base>& out) override;
    long providerReserved4(String, String, String, long, long) override;
    long providerReserved5(String, String) override;
    long deleteItems(String folderId, const Collection& ids, bool, bool& done) override;
    // What was created or deleted in the mail file and the personal address book since the last
    // report: copies of new memos, appointments and to-dos, and deletions. Always 0.
    long getChanges(Collection* changes, long) override;
    long providerReserved6(String, Lattice::Ptr<Lattice::Base>& out) override;
    long getFolders(String, String mailboxId, Collection* folders) override;
    long getSortIndex(String folderId, String, long pageSize, Collection* labels, String& labelType,
                      long) override;
    long getFolderItemsPage(String folderId, long start, long count, Collection* items) override;
    long markAllRead(String folderId) override;
    long markFolderRead(String folderId, long, long, long) override;
    long providerReserved7(String, String) override;
    long providerReserved8(String, String) override;
    long providerReserved9(String, String, String) override;
    long providerReserved10(String, Lattice::Ptr<Lattice::Base>& out) override;
    long providerReserved11(String) override;
    long providerReserved12(String, String, long) override;
    long setSortContext(String sortColumn, String folderId, bool ascending, String,
                        String& selectedFolderId) override;
    long providerReserved13(long, long, long) override;
    long providerReserved14(String) override;
    long providerReserved15(String, long, long) override;
    long providerReserved16(String) override;
    long setShowPreview(String folderId, bool show) override;
    String getModuleName() override;
    long providerReserved17() override;
    void providerReserved18() override;
    void providerReserved19() override;
    String providerReserved20(long, Lattice::Base*, const String&) override;
    void providerReserved21() override;
    void providerReserved22() override;
    long providerReserved23(String, String) override;
    long providerReserved24(String, String) override;
    long providerReserved25(String, String) override;

    // The system folder of the mail file or the personal address book with that id, or null.
    // The databases keep it.
    NotesFolder* findFolder(String folderId) {
        NotesFolder* folder = userMailDatabase ? userMailDatabase->getFolder(folderId) : nullptr;
        if (!folder && userAddressBook)
            folder = userAddressBook->getFolder(folderId);
        return folder;
    }

    long getAddressListCount(String bookId, long& count) override;
    long getAddressList(String bookId, long count, Collection* entries) override;
    long getAddressListPage(String bookId, long start, long count, Collection* entries) override;
    long findAddressList(String bookId, String searchText, long count, long, Collection* entries, long& start,
                         long&) override;

    hxMail::NoteProvider* noteProvider() override;
    hxMail::TaskProvider* taskProvider() override;
    hxMail::ContactProvider* contactProvider() override;
    hxMail::CalendarProvider* calendarProvider() override;
    hxMail::MessageProvider* messageProvider() override;
    hxMail::MeetingProvider* meetingProvider() override;
    hxMail::GroupProvider* groupProvider() override;

    // A login has succeeded and the user's mail file opened: only then do operations reach the
    // user's databases.
    bool isLoggedIn() const { return user && user->isAuthenticated() && userMailDatabase; }

    // Opens a fresh handle on every database the provider has, for one operation (through an
    // OperationFrame, which closes them again).
    void lockAll() {
        nameCache.beginOperation();
        for (NotesDatabase* db : databases())
            if (db)
                db->lockHandle();
    }
    void unlockAll() {
        for (NotesDatabase* db : databases())
            if (db)
                db->unlockHandle();
    }

    LNNotesSession* getSession() const { return session; }
    const String& getServerName() const { return serverName; }
    NotesDatabase* getMailBox() const { return mailBox; }
    NotesAddressBook* getDirectory() const { return directory; }
    NotesUser* getUser() const { return user; }
    NotesDatabase* getUserMailDatabase() const { return userMailDatabase; }
    NotesAddressBook* getUserAddressBook() const { return userAddressBook; }
    // The provider keeps its own reference to the user.
    void setUser(NotesUser* value) {
        if (value)
            value->addRef();
        if (user)
            user->release();
        user = value;
    }
    void setUserMailDatabase(NotesDatabase* value) { userMailDatabase = value; }
    void setUserAddressBook(NotesAddressBook* value) { userAddressBook = value; }
    const String& getMailboxId() const { return mailboxId; }
    const String& getDirectoryBookId() const { return directoryBookId; }
    void setDirectoryBookId(const String& id) { directoryBookId = id; }
    const String& getPersonalBookId() const { return personalBookId; }
    void setPersonalBookId(const String& id) { personalBookId = id; }
    Lattice::Map<String, Lattice::Data>& getConversionSettings() { return conversionSettings; }
    Lattice::Array<_ContentIdStruct>& getContentIds() { return contentIds; }
    NotesNameCache& getNameCache() { return nameCache; }
    const LNDatetime& getLastMailSync() const { return lastMailSync; }
    const LNDatetime& getLastAddressBookSync() const { return lastAddressBookSync; }
    bool getShowPreviewDefault() const { return showPreviewDefault; }

    // The Domino server used when the host sets no "notes.server".
    static constexpr const char* kDefaultServer = "Mail1";

    // The change record of one document by its form, or null for a form the host has no item for.
    Lattice::Ptr<hxMail::ChangeItem> makeChangeItem(LNDocument document, NotesDatabase* database, bool asNew);

protected:
    void initialize();
    // Moves a sync time that is ahead of its database's own clock back to that clock, so a skewed
    // client clock cannot hide what is saved before the database's time catches up.
    void alignSyncTimes();
    // One database's part of getChanges; `sync` moves on only when the pass completes.
    void reportChanges(NotesDatabase* database, LNDatetime& sync, const String& wholeId, Collection* changes);
    bool authenticateUser(String& userName, String password, String reserved);
    // findFolder, without the calendar: lists, sorting and the index are not the calendar's.
    NotesFolder* findListFolder(const String& folderId);
    // The address book that a recipient-folder id stands for, or null.
    NotesAddressBook* selectBook(const String& bookId) const;

    Lattice::Map<String, Lattice::Data> conversionSettings{17, 10};
    String mailboxId;
    String directoryBookId;
    String personalBookId;
    Lattice::Array<_ContentIdStruct> contentIds;
    LNNotesSession* session = nullptr;
    String serverName;
    NotesDatabase* mailBox = nullptr;
    NotesAddressBook* directory = nullptr;
    NotesUser* user = nullptr;
    NotesDatabase* userMailDatabase = nullptr;
    NotesAddressBook* userAddressBook = nullptr;
    NotesMessageProvider messageProvider_;
    ContactProvider contactProvider_;
    TaskProvider taskProvider_;
    CalendarProvider calendarProvider_;
    NotesGroupProvider groupProvider_;
    NotesMeetingProvider meetingProvider_;
    LNDatetime lastMailSync;
    LNDatetime lastAddressBookSync;
    bool showPreviewDefault = true;
    NotesNameCache nameCache;

private:
    std::array<NotesDatabase*, 4> databases() const {
        return {mailBox, directory, userMailDatabase, userAddressBook};
    }
};

} // namespace hxMail::hxNotesProvider
