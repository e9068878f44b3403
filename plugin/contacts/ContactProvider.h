#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"

#include "hxMail/Providers.h"

namespace hxMail::hxNotesProvider {

// The contact and distribution-list operations of the main provider.
class HX_EXPORT ContactProvider : public hxMail::ContactProvider {
    LATTICE_CLASS(ContactProvider, "ContactProvider", hxMail::ContactProvider)
public:
    explicit ContactProvider(hxMail::MailProvider* owner = nullptr) : hxMail::ContactProvider(owner) {}
    ContactProvider(const ContactProvider& other) : hxMail::ContactProvider(other) {}
    ~ContactProvider() override;

    // The directory ("NOTESGAL") and the personal address book ("NOTESPAB") under `parentId`;
    // their ids are remembered by the main provider, which picks a book by them.
    long getContactFolders(String parentId, Collection* out) override;
    // Searches the personal address book, then the directory.
    long getFilteredRecipients(String filter, Collection* out) override;

protected:
    MailProvider* provider() const;
    // The logged-in user's personal address book, or null.
    NotesAddressBook* getDb() const;
};

} // namespace hxMail::hxNotesProvider
