#pragma once
#include "calendar/CalendarProvider.h"
#include "contacts/ContactProvider.h"
#include "mail/ContentId.h"
#include "mail/NotesMessageProvider.h"
#include "notes/NotesAddressBook.h"
#include "notes/NotesDatabase.h"
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
// the host reaches it through the factory or the class factory and its virtual operations; the
// small accessors below are inline so that code outside the module can read its state.
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

    // Opens a fresh handle on every database the provider has, for one operation.
    void lockAll() {
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
    const LNDatetime& getLastMailSync() const { return lastMailSync; }
    const LNDatetime& getLastAddressBookSync() const { return lastAddressBookSync; }
    bool getShowPreviewDefault() const { return showPreviewDefault; }

    // The Domino server used when the host sets no "notes.server".
    static constexpr const char* kDefaultServer = "Mail1";

protected:
    void initialize();
    bool authenticateUser(String& userName, String password, String reserved);
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

private:
    std::array<NotesDatabase*, 4> databases() const {
        return {mailBox, directory, userMailDatabase, userAddressBook};
    }
};

} // namespace hxMail::hxNotesProvider
