#include "contacts/NotesDistributionList.h"

#include "notes/NotesAddressBook.h"
#include "notes/NotesErrors.h"
#include "provider/MailProvider.h"

#include "Lattice/HTMLEncode.h"
#include "Lattice/Logger.h"
#include "notes/capi.h"

#include <cstdint>
#include <map>
#include <mutex>
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

// One resolved member, as plain values: the cache is shared by every provider of the process, and
// host objects are not (their reference counts are not atomic).
struct Member {
    std::string id, displayName, emailAddress, smtpAddress, emailType;
    long displayType = 0;
    long recipientType = 0;
};

// Members are found by name in the personal address book and the directory, a view search and a
// document read each; a listing of the Contacts folder would do that for every list every time.
// The resolved members of a list are kept until either book changes (the list is a document of the
// first). Once per operation (per opening of the book) the book is asked, with one query, what
// changed since it was last asked.
class MemberCache {
public:
    // The generation of a book: it grows whenever a document of the book was saved or deleted.
    std::uint64_t generation(NotesDatabase* book) {
        LNDatabase* db = book ? book->getDatabase() : nullptr;
        const DBHANDLE hDb = db ? db->GetDatabaseHandle() : NULLHANDLE;
        if (hDb == NULLHANDLE)
            return 0;
        const std::string path = book->getFullDatabasePath(false, false).str();
        std::lock_guard<std::mutex> lock(mutex_);
        Watch& watch = books_[path];
        const std::uint64_t opening = book->getOpenSerial();
        if (watch.started && opening != 0 && watch.askedIn == opening)
            return watch.generation;
        watch.askedIn = opening;
        TIMEDATE since = watch.until;
        if (!watch.started)
            TimeConstant(TIMEDATE_MAXIMUM, &since);
        TIMEDATE until{};
        DHANDLE table = NULLHANDLE;
        const STATUS status = NSFDbGetModifiedNoteTable(hDb, NOTE_CLASS_DOCUMENT, since, &until, &table);
        const bool changed = status != NOERROR || (table != NULLHANDLE && IDEntries(table) > 0);
        if (table != NULLHANDLE)
            IDDestroyTable(table);
        if (status == NOERROR || status == ERR_SINCE_PURGED)
            watch.until = until;
        if (!watch.started || changed) {
            watch.started = status == NOERROR || status == ERR_SINCE_PURGED;
            watch.generation = ++next_;
            std::erase_if(lists_, [&](const auto& entry) { return entry.first.rfind(path + "\n", 0) == 0; });
        }
        return watch.generation;
    }

    using Generations = std::pair<std::uint64_t, std::uint64_t>; // of the personal book, the directory

    // A document of the book was written in this operation: the next read asks the book again.
    void touched(NotesDatabase* book) {
        if (!book)
            return;
        const std::string path = book->getFullDatabasePath(false, false).str();
        std::lock_guard<std::mutex> lock(mutex_);
        books_[path].askedIn = 0;
    }

    bool find(const std::string& key, Generations generation, std::vector<Member>* members) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto at = lists_.find(key);
        if (at == lists_.end() || at->second.generation != generation)
            return false;
        *members = at->second.members;
        return true;
    }

    void keep(const std::string& key, Generations generation, std::vector<Member> members) {
        std::lock_guard<std::mutex> lock(mutex_);
        lists_[key] = {generation, std::move(members)};
    }

private:
    struct Watch {
        bool started = false;
        std::uint64_t askedIn = 0; // the opening of the book in which it was last asked
        TIMEDATE until{};
        std::uint64_t generation = 0;
    };
    struct Entry {
        Generations generation{};
        std::vector<Member> members;
    };
    std::mutex mutex_;
    std::uint64_t next_ = 0;
    std::map<std::string, Watch> books_;
    std::map<std::string, Entry> lists_; // by book path, a line end, the list's id
};

MemberCache& memberCache() {
    static MemberCache cache;
    return cache;
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
        NotesDatabase* directory = provider ? provider->getDirectory() : nullptr;
        // Both generations are taken before the members are read: a change while they are read
        // makes the next read resolve them again.
        const MemberCache::Generations generation{memberCache().generation(book),
                                                  memberCache().generation(directory)};
        const std::string key =
            (book ? book->getFullDatabasePath(false, false).str() : std::string()) + "\n" +
            (directory ? directory->getFullDatabasePath(false, false).str() : std::string()) + "\n" +
            universalId.str();
        std::vector<Member> resolved;
        if (!book || !memberCache().find(key, generation, &resolved)) {
            resolved.clear();
            LNText members = getItemTextList("Members");
            for (LNINT i = 0; i < members.GetCount(); ++i) {
                LNString name = members[i];
                if (name.GetByteLength() == 0)
                    continue;
                if (hxMail::Recipient* found = getGroupRecipient(book, name, provider)) {
                    resolved.push_back({found->get_id().str(), found->get_displayName().str(),
                                        found->get_emailAddress().str(), found->get_smtpAddress().str(),
                                        found->get_emailType().str(), found->get_displayType(),
                                        found->get_recipientType()});
                    found->release();
                }
            }
            if (book)
                memberCache().keep(key, generation, resolved);
        }
        for (const Member& m : resolved) {
            Lattice::Ptr<hxMail::Recipient> r = new hxMail::Recipient();
            r->set_id(m.id);
            r->set_displayName(m.displayName);
            r->set_emailAddress(m.emailAddress);
            r->set_smtpAddress(m.smtpAddress);
            r->set_emailType(m.emailType);
            r->set_displayType(m.displayType);
            r->set_recipientType(m.recipientType);
            l.get_memberList()->add(Lattice::Data(r.get(), true));
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
    const bool saved = NotesDocument::save() == 0;
    memberCache().touched(database);
    return saved;
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
