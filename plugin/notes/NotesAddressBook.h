#pragma once
#include "notes/NotesDatabase.h"

namespace hxMail::hxNotesProvider {

// An address book: the server's directory or a user's personal address book. It logs users in
// against the directory and lists its people and groups as host recipients.
class HX_EXPORT NotesAddressBook : public NotesDatabase {
    LATTICE_CLASS(NotesAddressBook, "NotesAddressBook", NotesDatabase)
public:
    NotesAddressBook() = default;
    explicit NotesAddressBook(MailProvider* provider) : NotesDatabase(provider) {}
    NotesAddressBook(String serverName, String databasePath, MailProvider* provider, bool personal);
    // Copies nothing: the copy is an empty book.
    NotesAddressBook(const NotesAddressBook& other);
    ~NotesAddressBook() override;

    bool isPersonalBook() const { return isPersonal; }

    // The book's one folder, "Contacts".
    long getFolders(_UserInfoStruct* user, String mailboxId, Lattice::ObjectCollection* folders) override;

    // Looks the user up and checks the password; stores the user (and, when authenticated, the
    // user's two databases) on the provider. Runs inside the provider's lock bracket.
    bool authenticate(String& userName, String& password, String& reserved, MailProvider* provider);
    // A new user filled from the directory's "($Users)" lookup, or null when the lookup fails.
    // The caller owns the user.
    NotesUser* VerifyAndCreateUser(String& userName, String& password, String& reserved,
                                   MailProvider* provider);
    // A book made only to resolve names (not to log in) skips the password check, which is slow
    // by design; its users are never authenticated.
    void setChecksPassword(bool value) { checksPassword = value; }

    // Takes one looked-up item into the user's record. `value` starts with the Notes data type
    // word, which `valueLength` counts. Always 0.
    unsigned short loadAddressBookItem(NotesUser* user, char* match, char* itemName, unsigned short itemIndex,
                                       char* value, unsigned short dataType, unsigned short valueLength,
                                       MailProvider* provider);
    // The record's names from a login or full name.
    void setNames(_UserInfoStruct* info, String& name, MailProvider* provider);
    // The record's names from a name item of a person document.
    void setNames(NotesDocument* document, _UserInfoStruct* info, String& itemName, MailProvider* provider);
    // "<current date-time>---<name>": the user's own recipient id.
    void getUserIdString(String name, String& id, MailProvider* provider);
    // The name part of an id made by getUserIdString; an id without "---" is taken as the name.
    static String getUserNameFromId(String id);

    // A user's busy time within `interval` from the scheduling service: 0, or the Notes status
    // (printed) of the first step that failed.
    unsigned long BusyTimeSearch(const LNDatetimeRange& interval, LNDatetimes* busy,
                                 const LNString& userName);
    // Appends one range per range entry of a locked range list (RANGE, then TIMEDATE pairs).
    void getBusyRanges(char* rangeList, LNDatetimes* busy, LNString userName);
    // A TIMEDATE as text with the default formats, at most 80 characters, into `text`.
    static void GetTDString(TIMEDATE* td, char* text);

    // The number of people and groups in the book; 0 when the view cannot be read.
    long getAddressListCount(MailProvider* provider);
    // The people and groups from view position `start` (0-based) up to `start + count`, or to the
    // end when `count` is 0; entries without an SMTP address are left out.
    void getAddressList(Lattice::ObjectCollection* entries, long start, long count, MailProvider* provider);
    // A page that begins at the first entry whose key starts with `searchText`; `start` receives
    // that position (0 when nothing matches).
    void getAddressList(String searchText, long count, long, Lattice::ObjectCollection* entries, long& start,
                        long&, MailProvider* provider);
    // People whose full name, and groups whose list name, contain a word starting with the
    // filter's words. Always 0.
    long getFilteredRecipients(String filter, Lattice::ObjectCollection* recipients, MailProvider* provider);
    // The full-text query for a filter: the filter goes in as one quoted phrase of its words, so
    // that no part of it can act as query syntax. Empty when the filter holds no word.
    static String filterQuery(const String& filter);
    // The recipient of `scratch`'s record, filled from a person or group document of this book.
    hxMail::Recipient* loadRecipient(NotesUser* scratch, NotesDocument* document, MailProvider* provider);

protected:
    bool isPersonal = false;
    bool checksPassword = true;

private:
    // Appends the recipient of `doc` to `entries` when it has an SMTP address.
    void appendRecipient(LNDocument& doc, Lattice::ObjectCollection* entries, MailProvider* provider);
};

} // namespace hxMail::hxNotesProvider
