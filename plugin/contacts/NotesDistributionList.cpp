#include "contacts/NotesDistributionList.h"

#include "notes/NotesAddressBook.h"
#include "notes/NotesErrors.h"

#include "Lattice/HTMLEncode.h"
#include "Lattice/Logger.h"

#include <string>
#include <vector>

namespace hxMail::hxNotesProvider {

namespace {

using String = Lattice::String;

constexpr const char* kGroupForm = "Group";

// Host text (UTF-8) as Notes text, without the NULs no Notes reader would get past.
String toNotes(const String& text) {
    const String converted = Lattice::HTMLEncode::UTF8ToString8(text);
    std::string out;
    for (char c : converted.view())
        if (c != '\0')
            out += c;
    return String(std::move(out));
}

String lowered(const String& text) {
    std::string out(text.view());
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return String(std::move(out));
}

} // namespace

NotesDistributionList::NotesDistributionList(String& id, MailProvider* provider, NotesAddressBook* book)
    : NotesDocument(id, provider, book, false) {}

NotesDistributionList::NotesDistributionList(MailProvider* provider, NotesAddressBook* book)
    : NotesDocument(provider, kGroupForm, book) {}

NotesDistributionList::NotesDistributionList(MailProvider* provider, LNDocument* doc, NotesAddressBook* book,
                                             bool copy)
    : NotesDocument(provider, doc, book, copy) {}

NotesDistributionList::~NotesDistributionList() = default;

long NotesDistributionList::createDocument(MailProvider* owner) {
    return NotesDocument::createDocument(owner, kGroupForm);
}

bool NotesDistributionList::isMailGroup() {
    return getItemString("GroupType", false) == "1";
}

bool NotesDistributionList::isGroupDocument() {
    return !loadFailed_ && document && getItemString("Form", false) == kGroupForm;
}

long NotesDistributionList::load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* out,
                                 bool flag) {
    Lattice::Ptr<hxMail::DistributionList> list(dynamic_cast<hxMail::DistributionList*>(item.get()));
    if (!list) {
        list = new hxMail::DistributionList();
        item = Lattice::Ptr<hxMail::MessageItem>(list.get());
    }
    return load(list, out, flag);
}

long NotesDistributionList::load(Lattice::Ptr<hxMail::DistributionList>& list, Lattice::ObjectCollection* out,
                                 bool) {
    if (!list)
        list = new hxMail::DistributionList();
    if (!document || loadFailed_)
        return 0;
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        hxMail::DistributionList& l = *list;
        l.set_id(universalId);
        l.set_iconType(14);
        if (!l.get_memberList())
            l.set_memberList(new Lattice::ObjectCollection());
        auto* book = dynamic_cast<NotesAddressBook*>(database);
        LNText members = getItemTextList("Members");
        for (LNINT i = 0; i < members.GetCount(); ++i) {
            LNString name = members[i];
            if (name.GetByteLength() == 0)
                continue;
            // One reference is ours; the member list keeps its own.
            if (hxMail::Recipient* found = getGroupRecipient(book, name, provider)) {
                l.get_memberList()->add(Lattice::Data(found, true));
                found->release();
            }
        }
        l.set_name(getItemString("ListName", true));
        l.set_text(getItemString("ListDescription", true));
        if (out)
            out->add(Lattice::Data(list.get(), true));
    });
    return 0;
}

bool NotesDistributionList::save(hxMail::DistributionList* list, bool) {
    if (!list || !document || loadFailed_)
        return false;
    const String name = toNotes(list->get_name());
    const String text = toNotes(list->get_text());
    if (name.length() > kMaxValueBytes || text.length() > kMaxValueBytes) {
        Lattice::Logger::print(
            "saveDistributionList: the name or description is longer than %ld bytes; the list "
            "is not saved",
            kMaxValueBytes);
        return false;
    }
    String value(kGroupForm);
    setItemString("Form", value);
    setItemString("Type", value);
    value = "1";
    setItemString("GroupType", value);
    String stored = name;
    setItemString("ListName", stored);
    stored = text;
    setItemString("ListDescription", stored);
    if (list->get_memberList())
        saveMembers(list->get_memberList().get());
    computeWithForm();
    return NotesDocument::save() == 0;
}

void NotesDistributionList::saveMembers(Lattice::ObjectCollection* members) {
    if (!members || !note)
        return;
    // Members are found again by name, so a recipient without one is kept by its address. The
    // list itself is never a member of itself, and a name is listed once.
    const String self = lowered(getItemString("ListName", false));
    std::vector<String> seen;
    LNText names;
    for (const Lattice::Data& element : *members) {
        auto* recipient = element.toObject<hxMail::Recipient>();
        if (!recipient)
            continue;
        String name = recipient->get_emailAddress();
        if (name.isEmpty())
            name = recipient->get_smtpAddress();
        if (name.isEmpty())
            name = recipient->get_displayName();
        name = toNotes(name);
        const String key = lowered(name);
        if (name.isEmpty() || name.length() > kMaxValueBytes || key == self)
            continue;
        bool again = false;
        for (const String& s : seen)
            again = again || s == key;
        if (again)
            continue;
        seen.push_back(key);
        names.Append(LNString(name.data(), static_cast<LNINT>(name.length())));
    }
    setItemTextList("Members", names, false);
    note->Save();
}

void NotesDistributionList::getIndexLabel(String, hxMail::MessageItem* item, Lattice::ObjectCollection* out) {
    auto* list = dynamic_cast<hxMail::DistributionList*>(item);
    if (list && out)
        out->add(Lattice::Data(list->get_name()));
}

Lattice::Ptr<hxMail::ChangeItem> NotesDistributionList::getChangeItem(bool create) {
    if (!create)
        return nullptr;
    Lattice::Ptr<hxMail::ChangeItemCopy> change = new hxMail::ChangeItemCopy();
    if (database)
        change->set_parentId(database->getParentFolderId(noteId, universalId, create));
    Lattice::Ptr<hxMail::DistributionList> list = new hxMail::DistributionList();
    load(list, nullptr, false);
    change->set_itemId(list->get_id());
    change->set_item(Lattice::Ptr<hxMail::Item>(list.get()));
    return Lattice::Ptr<hxMail::ChangeItem>(change.get());
}

LATTICE_REGISTER_CLASS(NotesDistributionList);

} // namespace hxMail::hxNotesProvider
