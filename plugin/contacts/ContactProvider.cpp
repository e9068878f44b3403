#include "contacts/ContactProvider.h"

#include "notes/NotesAddressBook.h"
#include "notes/NotesUser.h"
#include "provider/OperationFrame.h"

#include "hxMail/Folder.h"

namespace hxMail::hxNotesProvider {

ContactProvider::~ContactProvider() = default;

MailProvider* ContactProvider::provider() const {
    return static_cast<MailProvider*>(owner());
}

NotesAddressBook* ContactProvider::getDb() const {
    MailProvider* main = provider();
    NotesUser* user = main ? main->getUser() : nullptr;
    return user ? user->getPabDatabase(main) : nullptr;
}

long ContactProvider::getContactFolders(String parentId, Collection* out) {
    MailProvider* main = provider();
    const String galId = parentId + "NOTESGAL";
    const String pabId = parentId + "NOTESPAB";
    for (const auto& [id, name] :
         {std::pair{galId, "Global Address List"}, std::pair{pabId, "Personal Address Book"}}) {
        Lattice::Ptr<hxMail::RecipientFolder> folder = new hxMail::RecipientFolder();
        folder->set_id(id);
        folder->set_displayName(name);
        folder->set_isSystem(false);
        if (out)
            out->add(Lattice::Data(folder.get(), true));
    }
    if (main) {
        main->setDirectoryBookId(galId);
        main->setPersonalBookId(pabId);
    }
    return 0;
}

long ContactProvider::getFilteredRecipients(String filter, Collection* out) {
    MailProvider* main = provider();
    if (!main || !main->isLoggedIn())
        return hxMail::kNotSupported;
    OperationFrame frame(main);
    frame.run([&] {
        if (NotesAddressBook* personal = getDb())
            personal->getFilteredRecipients(filter, out, main);
        if (NotesAddressBook* directory = main->getDirectory())
            directory->getFilteredRecipients(filter, out, main);
    });
    return 0;
}

LATTICE_REGISTER_CLASS(ContactProvider);

} // namespace hxMail::hxNotesProvider
