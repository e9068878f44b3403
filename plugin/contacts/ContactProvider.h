#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Contact.h"
#include "hxMail/Providers.h"

#include <functional>

namespace hxMail::hxNotesProvider {

class NotesContact;
class NotesDistributionList;

// The contact and distribution-list operations of the main provider: contacts and lists live in
// the user's personal address book; the directory is searched and listed, never written.
class HX_EXPORT ContactProvider : public hxMail::ContactProvider {
    LATTICE_CLASS(ContactProvider, "ContactProvider", hxMail::ContactProvider)
public:
    explicit ContactProvider(hxMail::MailProvider* owner = nullptr) : hxMail::ContactProvider(owner) {}
    ContactProvider(const ContactProvider& other) : hxMail::ContactProvider(other) {}
    ~ContactProvider() override;

    // Deletes a contact or list of the personal address book.
    long removeContact(String id) override;
    // The directory ("NOTESGAL") and the personal address book ("NOTESPAB") under `parentId`;
    // their ids are remembered by the main provider, which picks a book by them.
    long getContactFolders(String parentId, Collection* out) override;
    // Every recipient of the folder's book.
    long getRecipients(String text, const Lattice::Ptr<hxMail::Folder>& folder,
                       Lattice::Ptr<hxMail::Recipients>& out) override;
    long getContactDetail(String id, Lattice::Ptr<hxMail::ContactDetail>& detail) override;
    // Creates a contact; the host's contact gets the new id.
    long addContact(String folderId, const Lattice::Ptr<hxMail::Contact>& contact,
                    const Lattice::Ptr<hxMail::ContactDetail>& detail) override;
    long saveContact(const Lattice::Ptr<hxMail::Contact>& contact,
                     const Lattice::Ptr<hxMail::ContactDetail>& detail, bool& flag) override;
    // Searches the personal address book, then the directory.
    long getFilteredRecipients(String filter, Collection* out) override;
    long nameChanged(String, String title, String first, String middle, String last, String suffix,
                     String& fullName, String& fileAsName) override;
    long addressChanged(String, const Lattice::Ptr<hxMail::Address>& address, String,
                        String& fullAddress) override;
    long fullAddressChanged(String, String fullAddress, Lattice::Ptr<hxMail::Address>& address) override;
    long fullNameChanged(String, String fullName, String& title, String& first, String& last, String& middle,
                         String& suffix, String& fileAsName) override;
    // Creates a list; the host's list gets the new id.
    long addDistributionList(String folderId, const Lattice::Ptr<hxMail::DistributionList>& list,
                             bool& flag) override;
    long saveDistributionList(const Lattice::Ptr<hxMail::DistributionList>& list, bool& flag) override;
    long addContactGetRecipient(String folderId, const Lattice::Ptr<hxMail::Contact>& contact,
                                const Lattice::Ptr<hxMail::ContactDetail>& detail,
                                Lattice::Ptr<hxMail::Recipient>& recipient, bool& flag) override;

protected:
    MailProvider* provider() const;
    // The logged-in user's personal address book, or null.
    NotesAddressBook* getDb() const;
    static bool matchList(const char* word, const String* list, long count);

private:
    // Runs `work` inside the operation frame; false before a login (the operation answers -1).
    bool framed(const std::function<void(MailProvider&, NotesAddressBook&)>& work);
    // A contact of the personal address book by id; null (and a log line naming `operation`) when
    // the id names no person there, e.g. an id of the directory, which users cannot change.
    Lattice::Ptr<NotesContact> openContact(String id, const char* operation);
};

} // namespace hxMail::hxNotesProvider
