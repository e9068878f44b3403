#include "contacts/ContactProvider.h"

#include "contacts/NotesContact.h"
#include "contacts/NotesDistributionList.h"
#include "notes/NotesAddressBook.h"
#include "notes/NotesUser.h"
#include "provider/OperationFrame.h"

#include "Lattice/Logger.h"
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

bool ContactProvider::matchList(const char* word, const String* list, long count) {
    return NotesContact::matchList(word, list, count);
}

bool ContactProvider::framed(const std::function<void(MailProvider&, NotesAddressBook&)>& work) {
    MailProvider* main = provider();
    if (!main || !main->isLoggedIn())
        return false;
    OperationFrame frame(main);
    frame.run([&] {
        if (NotesAddressBook* book = getDb())
            work(*main, *book);
    });
    return true;
}

Lattice::Ptr<NotesContact> ContactProvider::openContact(String id, const char* operation) {
    Lattice::Ptr<NotesContact> contact = new NotesContact(id, provider(), getDb());
    if (contact->loadFailed() || !contact->isPerson()) {
        Lattice::Logger::print("%s: the personal address book has no contact with the id %s", operation,
                               id.c_str());
        return nullptr;
    }
    return contact;
}

long ContactProvider::removeContact(String id) {
    return framed([&](MailProvider& main, NotesAddressBook& book) {
        if (!id.isEmpty())
            book.deleteItem(id, &main);
    })
               ? 0
               : kNotSupported;
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

long ContactProvider::getRecipients(String, const Lattice::Ptr<hxMail::Folder>& folder,
                                    Lattice::Ptr<hxMail::Recipients>& out) {
    MailProvider* main = provider();
    if (!main || !main->isLoggedIn())
        return kNotSupported;
    if (!folder)
        return 0;
    if (!out)
        out = new hxMail::Recipients();
    if (!out->get_list())
        out->set_list(new Lattice::ObjectCollection());
    // A count of 0 is no limit: the whole book.
    main->getAddressListPage(folder->get_id(), 0, 0, out->get_list().get());
    return 0;
}

long ContactProvider::getContactDetail(String id, Lattice::Ptr<hxMail::ContactDetail>& detail) {
    if (!detail)
        detail = new hxMail::ContactDetail();
    return framed([&](MailProvider&, NotesAddressBook&) {
        if (id.isEmpty())
            return;
        if (Lattice::Ptr<NotesContact> contact = openContact(id, "getContactDetail"))
            contact->loadDetail(detail.get());
    })
               ? 0
               : kNotSupported;
}

long ContactProvider::addContact(String, const Lattice::Ptr<hxMail::Contact>& contact,
                                 const Lattice::Ptr<hxMail::ContactDetail>& detail) {
    return framed([&](MailProvider& main, NotesAddressBook& book) {
        if (!contact)
            return;
        Lattice::Ptr<NotesContact> made = new NotesContact(&main, &book);
        // The host's contact has an id slot: it gets the new id, to be opened again by it.
        if (made->save(contact.get(), detail.get()))
            contact->set_id(made->getId());
    })
               ? 0
               : kNotSupported;
}

long ContactProvider::saveContact(const Lattice::Ptr<hxMail::Contact>& contact,
                                  const Lattice::Ptr<hxMail::ContactDetail>& detail, bool& flag) {
    const String id = contact ? contact->get_id() : String();
    const bool ran = framed([&](MailProvider&, NotesAddressBook&) {
        if (id.isEmpty())
            return;
        if (Lattice::Ptr<NotesContact> stored = openContact(id, "saveContact"))
            stored->save(contact.get(), detail.get());
    });
    flag = true;
    return ran ? 0 : kNotSupported;
}

long ContactProvider::getFilteredRecipients(String filter, Collection* out) {
    MailProvider* main = provider();
    if (!main || !main->isLoggedIn())
        return kNotSupported;
    OperationFrame frame(main);
    frame.run([&] {
        if (NotesAddressBook* personal = getDb())
            personal->getFilteredRecipients(filter, out, main);
        if (NotesAddressBook* directory = main->getDirectory())
            directory->getFilteredRecipients(filter, out, main);
    });
    return 0;
}

long ContactProvider::nameChanged(String, String title, String first, String middle, String last,
                                  String suffix, String& fullName, String& fileAsName) {
    NotesContact::composeName(title, first, middle, last, suffix, fullName, fileAsName);
    return 0;
}

long ContactProvider::addressChanged(String, const Lattice::Ptr<hxMail::Address>& address, String,
                                     String& fullAddress) {
    if (address)
        fullAddress = NotesContact::composeAddress(*address);
    return 0;
}

long ContactProvider::fullAddressChanged(String, String fullAddress, Lattice::Ptr<hxMail::Address>& address) {
    if (!address)
        address = new hxMail::Address();
    NotesContact::parseAddress(fullAddress, *address);
    return 0;
}

long ContactProvider::fullNameChanged(String, String fullName, String& title, String& first, String& last,
                                      String& middle, String& suffix, String& fileAsName) {
    NotesContact::parseName(fullName, title, first, middle, last, suffix, fileAsName);
    return 0;
}

long ContactProvider::addDistributionList(String, const Lattice::Ptr<hxMail::DistributionList>& list, bool&) {
    return framed([&](MailProvider& main, NotesAddressBook& book) {
        if (!list)
            return;
        Lattice::Ptr<NotesDistributionList> made = new NotesDistributionList(&main, &book);
        if (made->save(list.get(), false))
            list->set_id(made->getId());
    })
               ? 0
               : kNotSupported;
}

long ContactProvider::saveDistributionList(const Lattice::Ptr<hxMail::DistributionList>& list, bool& flag) {
    const String id = list ? list->get_id() : String();
    const bool ran = framed([&](MailProvider& main, NotesAddressBook& book) {
        if (id.isEmpty())
            return;
        String key = id;
        Lattice::Ptr<NotesDistributionList> stored = new NotesDistributionList(key, &main, &book);
        if (stored->loadFailed() || !stored->isGroupDocument()) {
            Lattice::Logger::print(
                "saveDistributionList: the personal address book has no list with the id %s", id.c_str());
            return;
        }
        stored->save(list.get(), false);
    });
    flag = true;
    return ran ? 0 : kNotSupported;
}

long ContactProvider::addContactGetRecipient(String, const Lattice::Ptr<hxMail::Contact>& contact,
                                             const Lattice::Ptr<hxMail::ContactDetail>& detail,
                                             Lattice::Ptr<hxMail::Recipient>& recipient, bool& flag) {
    const bool ran = framed([&](MailProvider& main, NotesAddressBook& book) {
        if (!contact)
            return;
        Lattice::Ptr<NotesContact> made = new NotesContact(&main, &book);
        made->calcNameFields(&main, contact.get(), detail.get());
        if (!made->save(contact.get(), detail.get()))
            return;
        contact->set_id(made->getId());
        // The recipient belongs to the scratch user's record; the host keeps its own reference.
        Lattice::Ptr<NotesUser> scratch = new NotesUser(&main);
        recipient = book.loadRecipient(scratch.get(), made.get(), &main);
    });
    flag = true;
    return ran ? 0 : kNotSupported;
}

LATTICE_REGISTER_CLASS(ContactProvider);

} // namespace hxMail::hxNotesProvider
