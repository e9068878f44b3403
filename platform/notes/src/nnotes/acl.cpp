#include "acl.h"

#include "notes/admin/names.h"
#include "runtime.h"
#include "store.h"
#include "values.h"

#include <algorithm>
#include <map>

namespace notes::acl {

namespace {

constexpr const char* kTitle = "$ACL";
constexpr const char* kReaders = "Readers";

struct Person {
    std::string fullName;
    std::string mailFile;
};

thread_local std::weak_ptr<Identity> current;
// Digests a lookup on this thread handed out, by digest; only a check on the same thread uses them.
thread_local std::map<std::string, Person> handedOut;

STATUS loadList(Database& db, Note* note, bool* found) {
    NOTEID id = 0;
    *found = db.findDesign(NOTE_CLASS_ACL, kTitle, &id) == NOERROR;
    return *found ? db.load(id, note) : NOERROR;
}

std::vector<std::string> readersOf(const Note& note) {
    std::vector<std::string> names;
    if (const Item* item = note.find(kReaders))
        ods::decodeText(item->type, item->value, &names);
    return names;
}

STATUS saveList(Database& db, Note& note, const std::vector<std::string>& names) {
    note.info.noteClass = NOTE_CLASS_ACL;
    note.remove("$TITLE");
    note.remove(kReaders);
    note.append("$TITLE", TYPE_TEXT, ITEM_SUMMARY, kTitle);
    note.append(kReaders, TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(names));
    return db.save(note);
}

bool firstText(const std::pair<WORD, std::string>& item, std::string* out) {
    std::vector<std::string> values;
    if (!ods::decodeText(item.first, item.second, &values) || values.empty())
        return false;
    *out = values[0];
    return true;
}

} // namespace

Identity::State Identity::get() const {
    std::lock_guard lock(mutex_);
    return state_;
}

void Identity::set(State state) {
    std::lock_guard lock(mutex_);
    state_ = std::move(state);
}

void makeCurrent(const std::shared_ptr<Identity>& identity) {
    current = identity;
}

void digestHandedOut(const std::string& digest, const std::string& fullName, const std::string& mailFile) {
    if (handedOut.size() >= 64) // one login looks up a handful; never grows with a long-lived thread
        handedOut.clear();
    handedOut[digest] = Person{fullName, mailFile};
}

void passwordChecked(const std::string& digest, bool matched) {
    // Only a directory password is a login; checks of other digests (a decoy, a web login that
    // read the directory itself) leave the session as it is.
    const std::shared_ptr<Identity> session = current.lock();
    const auto person = handedOut.find(digest);
    if (!session || person == handedOut.end())
        return;
    if (matched)
        session->set({Identity::Kind::Person, person->second.fullName, person->second.mailFile});
    else
        session->set({Identity::Kind::Nobody, {}, {}}); // a failed login leaves no one's rights behind
}

STATUS readers(Database& db, std::vector<std::string>* out, bool* hasList) {
    out->clear();
    Note note;
    if (STATUS s = loadList(db, &note, hasList); s != NOERROR)
        return s;
    if (*hasList)
        *out = readersOf(note);
    return NOERROR;
}

STATUS setReader(Database& db, const std::string& fullName, bool reader) {
    Note note;
    bool found = false;
    if (STATUS s = loadList(db, &note, &found); s != NOERROR)
        return s;
    std::vector<std::string> names = found ? readersOf(note) : std::vector<std::string>();
    std::erase_if(names, [&](const std::string& n) { return nameEquals(n, fullName); });
    if (reader)
        names.push_back(fullName);
    return saveList(db, note, names);
}

STATUS ensureList(Database& db) {
    Note note;
    bool found = false;
    if (STATUS s = loadList(db, &note, &found); s != NOERROR || found)
        return s;
    return saveList(db, note, {});
}

bool isMailFile(Database& db) {
    NOTEID id = 0;
    return db.findDesign(NOTE_CLASS_ACL, kTitle, &id) == NOERROR ||
           db.findDesign(NOTE_CLASS_VIEW, "($Inbox)", &id) == NOERROR;
}

STATUS checkRead(const Identity* who, Database& db) {
    if (!who)
        return NOERROR;
    const Identity::State me = who->get();
    if (me.kind == Identity::Kind::Server)
        return NOERROR;
    if (me.kind == Identity::Kind::Person && !me.mailFile.empty() && me.mailFile == db.file())
        return NOERROR; // the owner
    std::vector<std::string> names;
    bool hasList = false;
    if (readers(db, &names, &hasList) != NOERROR)
        return ERR_NOACCESS; // a list that cannot be read admits nobody
    if (!hasList)
        return NOERROR;
    if (me.kind == Identity::Kind::Person &&
        std::any_of(names.begin(), names.end(), [&](const std::string& n) { return nameEquals(n, me.name); }))
        return NOERROR;
    return ERR_NOACCESS;
}

STATUS personName(const std::string& server, const std::string& name, std::string* fullName) {
    NameLookup lookup;
    if (STATUS s = lookup.open(DataDirectory::current(), server, {"($Users)"}); s != NOERROR)
        return s;
    std::vector<NameMatch> matches;
    if (STATUS s = lookup.find(name, false, {"Form", "FullName"}, &matches); s != NOERROR)
        return s;
    std::vector<std::string> people;
    for (const NameMatch& m : matches) {
        std::string form, full;
        if (m.items.size() == 2 && firstText(m.items[0], &form) && nameEquals(form, "Person") &&
            firstText(m.items[1], &full) &&
            std::none_of(people.begin(), people.end(),
                         [&](const std::string& p) { return nameEquals(p, full); }))
            people.push_back(full);
    }
    if (people.size() != 1)
        return ERR_NOT_FOUND;
    *fullName = people[0];
    return NOERROR;
}

} // namespace notes::acl
