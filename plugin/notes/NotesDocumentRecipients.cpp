// Between Notes names in documents and host recipients: name lookup, member documents of the
// address books, and personal groups expanded into addresses.
#include "notes/NotesAddressBook.h"
#include "notes/NotesDocument.h"
#include "notes/NotesNameCache.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

namespace hxMail::hxNotesProvider {

namespace {

constexpr const char* kUsersView = "($Users)";

Lattice::String toText(const LNString& s) {
    return Lattice::String(s.GetTextPtr(), static_cast<std::size_t>(s.GetByteLength()));
}

} // namespace

bool NotesDocument::loadRecipient(LNString& name, hxMail::Recipient** recipient, NotesUser** user) {
    LNNotesSession* session = provider ? provider->getSession() : nullptr;
    LNString abbreviated = name;
    if (session) {
        try {
            abbreviated = session->AbbreviateName(name);
        } catch (LNSTATUS) {
            // A name that does not parse is looked up as written.
        }
    }
    String lookupName = toText(abbreviated);
    NotesNameCache* cache = provider ? &provider->getNameCache() : nullptr;
    if (cache) {
        bool known = false;
        hxMail::Recipient* remembered = cache->find(lookupName, provider->getDirectory(), known);
        if (known) {
            if (user)
                *user = nullptr;
            if (recipient)
                *recipient = remembered;
            else
                delete remembered;
            return remembered != nullptr;
        }
    }
    Lattice::Ptr<NotesAddressBook> books = new NotesAddressBook(provider);
    books->setChecksPassword(false);
    String noPassword;
    String noReserved;
    NotesUser* found = books->VerifyAndCreateUser(lookupName, noPassword, noReserved, provider);
    if (!found)
        return false;
    if (cache)
        cache->remember(lookupName, found->isValidUser() ? found->getRecipient() : nullptr);
    if (!found->isValidUser()) {
        found->release();
        return false;
    }
    if (recipient)
        *recipient = found->getRecipient();
    if (user)
        *user = found;
    else
        found->release();
    return true;
}

NotesDocument* NotesDocument::getMemberDoc(NotesAddressBook* book, LNString name, MailProvider* owner) {
    LNDatabase* db = book ? book->getDatabase() : nullptr;
    if (!db)
        return nullptr;
    NotesDocument* member = nullptr;
    LNViewFolder view;
    try {
        db->GetViewFolder(kUsersView, &view);
        view.Open();
        LNVFEntry entry;
        LNSTATUS found = view.Find(name, &entry);
        // Person documents keep their names canonical ("CN=Dan Lee/O=Acme"), while documents
        // often carry them abbreviated ("Dan Lee/Acme"): look for the canonical form as well.
        LNNotesSession* session = owner ? owner->getSession() : nullptr;
        if (found != LNNOERROR && session && name.Find("/") >= 0) {
            const LNString canonical = session->CanonicalizeName(name);
            if (canonical != name)
                found = view.Find(canonical, &entry);
        }
        if (found == LNNOERROR && !entry.IsNull() && !entry.IsCategory()) {
            LNDocument doc;
            entry.GetDocument(&doc);
            member = new NotesDocument(owner, &doc, book, false);
            member->addRef();
            member->setIsGroup(member->getItemString("Form", false) == "Group");
        }
        view.Close();
    } catch (LNSTATUS) {
        // No such view or no such name: not a member of this book.
        if (member) {
            member->release();
            member = nullptr;
        }
    }
    return member;
}

hxMail::Recipient* NotesDocument::getGroupRecipient(NotesAddressBook* book, LNString name,
                                                    MailProvider* owner) {
    NotesAddressBook* foundIn = book;
    NotesDocument* member = getMemberDoc(book, name, owner);
    if (!member && owner) {
        foundIn = owner->getDirectory();
        member = getMemberDoc(foundIn, name, owner);
    }
    if (!member)
        return nullptr;
    Lattice::Ptr<NotesUser> scratch = new NotesUser(owner);
    hxMail::Recipient* r = nullptr;
    try {
        r = foundIn->loadRecipient(scratch.get(), member, owner);
    } catch (LNSTATUS) {
        // A name item that does not parse: no recipient, as for a name found nowhere.
        r = nullptr;
    }
    const bool inBook = foundIn == book;
    if (r) {
        r->addRef();
        r->set_recipientType(4);
        if (member->isGroup())
            r->set_displayType(inBook ? 2 : 1);
        else
            r->set_displayType(inBook ? 3 : 0);
    }
    member->release();
    return r;
}

void NotesDocument::storeRecipient(long kind, hxMail::Recipients* recipients, LNText& allAddresses,
                                   LNDocument* message) {
    LNText names;
    long stored = 0;
    const Lattice::ObjectCollection* list = recipients ? recipients->get_list().get() : nullptr;
    for (long i = 0; list && i < list->count(); ++i) {
        const auto* r = list->at(i).toObject<hxMail::Recipient>();
        if (!r)
            continue;
        ++stored;
        const String& address = r->get_smtpAddress();
        const LNString text(address.data(), address.length());
        if (r->get_displayType() == 2) {
            LNText visited;
            visited.Append(text);
            expandPabGroup(text, visited, names, allAddresses);
        } else {
            names.Append(text);
            allAddresses.Append(text);
        }
    }
    if (stored == 0 || !message || message->IsNull())
        return;
    const char* item = kind == 1 ? "SendTo" : kind == 2 ? "CopyTo" : kind == 3 ? "BlindCopyTo" : nullptr;
    if (item)
        message->CreateItem(item, names, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
}

void NotesDocument::expandPabGroup(LNString group, LNText& visited, LNText& names, LNText& allAddresses) {
    if (group.IsNull() || !provider)
        return;
    NotesAddressBook* personal = provider->getUserAddressBook();
    NotesAddressBook* directory = provider->getDirectory();
    NotesDocument* groupDoc = getMemberDoc(personal, group, provider);
    if (!groupDoc)
        return;
    const LNText members = groupDoc->getItemTextList("Members");
    groupDoc->release();

    for (LNINT i = 0; i < members.GetCount(); ++i) {
        const LNString member = members[i];
        if (member.IsNull())
            continue;
        NotesDocument* doc = getMemberDoc(personal, member, provider);
        const bool inPersonal = doc != nullptr;
        if (!doc)
            doc = getMemberDoc(directory, member, provider);
        if (!doc)
            continue;
        if (inPersonal && doc->isGroup()) {
            doc->release();
            if (visited.FindEntry(member) != LNNOERROR) {
                visited.Append(member);
                expandPabGroup(member, visited, names, allAddresses);
            }
        } else if (inPersonal) {
            Lattice::Ptr<NotesUser> scratch = new NotesUser(provider);
            const hxMail::Recipient* r = nullptr;
            try {
                r = personal->loadRecipient(scratch.get(), doc, provider);
            } catch (LNSTATUS) {
                // A member whose names do not parse is dropped like one found nowhere.
                r = nullptr;
            }
            doc->release();
            // A person without an address has nothing to send to.
            if (r && !r->get_smtpAddress().isEmpty()) {
                const LNString address(r->get_smtpAddress().data(), r->get_smtpAddress().length());
                names.Append(address);
                allAddresses.Append(address);
            }
        } else {
            // The server resolves directory names itself.
            doc->release();
            names.Append(member);
            allAddresses.Append(member);
        }
    }
}

} // namespace hxMail::hxNotesProvider
