// The directory commands: users (person documents with their mail file and address book) and
// groups of an address book.
#include "entries.h"

#include <algorithm>

namespace nsfadmin {

int Admin::userAdd(const std::string& server, const PersonEntry& person, const std::string& password) {
    if (server.empty()) {
        return impl_->badInput("a user needs a server (--server)");
    }
    if (notes::commonName(utf8ToLatin1(person.fullName)).empty()) {
        return impl_->badInput("a user needs a full name");
    }
    if (!validShortName(person.shortName)) {
        return impl_->badInput("a short name uses letters, digits, '.', '_' and '-' (at most 64): '" +
                               person.shortName + "'");
    }
    if (password.empty()) {
        return impl_->badInput("a user needs a password (--password-stdin or --password)");
    }
    if (password.size() > SEC_MAX_PASSWORD) {
        return impl_->badInput("the password is longer than " + std::to_string(SEC_MAX_PASSWORD) + " bytes");
    }
    Undo undo;
    notes::admin::DatabaseHandle dir;
    if (int rc = openDirectory(*impl_, server, true, &dir, &undo); rc != kOk) {
        return rc;
    }
    std::string summary;
    if (int rc = addUser(*impl_, server, dir.get(), person, password, undo, &summary); rc != kOk) {
        return rc;
    }
    undo.keep = true;
    impl_->out << "added " << person.shortName << " (" << summary << ")\n";
    return kOk;
}

int Admin::userPasswd(const std::string& server, const std::string& name, const std::string& password) {
    if (password.empty()) {
        return impl_->badInput("a password is needed (--password-stdin or --password)");
    }
    if (password.size() > SEC_MAX_PASSWORD) {
        return impl_->badInput("the password is longer than " + std::to_string(SEC_MAX_PASSWORD) + " bytes");
    }
    notes::admin::DatabaseHandle dir;
    if (int rc = openDirectory(*impl_, server, false, &dir, nullptr); rc != kOk) {
        return rc;
    }
    std::vector<NOTEID> found;
    if (STATUS s = findKey(dir.get(), "($Users)", utf8ToLatin1(name), &found); s != NOERROR) {
        return impl_->notesError("cannot read the directory of " + server, s);
    }
    const auto db = notes::handles::database(dir.get());
    std::vector<NOTEID> people;
    for (NOTEID id : found) {
        notes::Note n;
        const notes::Item* form = db->load(id, &n) == NOERROR ? n.find("Form") : nullptr;
        if (form && notes::nameEquals(form->value, "Person")) {
            people.push_back(id);
        }
    }
    if (people.size() != 1) {
        impl_->err << "nsfadmin: " << (people.empty() ? "no person " : "more than one person answers to ")
                   << "'" << name << "' in the directory of " << server << "\n";
        return kNotesError;
    }
    std::string digest;
    if (STATUS s = notes::directory::hashPassword(password, &digest); s != NOERROR) {
        return impl_->notesError("cannot make the password digest", s);
    }
    if (STATUS s = writeDoc(dir.get(), people.front(), {{"HTTPPassword", {digest}, false}}); s != NOERROR) {
        return impl_->notesError("cannot save the person document", s);
    }
    impl_->out << "password changed for " << name << "\n";
    return kOk;
}

int Admin::userList(const std::string& server) {
    notes::admin::DatabaseHandle dir;
    if (int rc = openDirectory(*impl_, server, false, &dir, nullptr); rc != kOk) {
        return rc;
    }
    const auto db = notes::handles::database(dir.get());
    NOTEID view = 0;
    std::vector<notes::ViewRow> rows;
    if (STATUS s = db->findDesign(NOTE_CLASS_VIEW, "($VIMPeopleAndGroups)", &view); s != NOERROR) {
        return impl_->notesError("cannot read the directory of " + server, s);
    }
    if (STATUS s = db->viewRows(view, 0, &rows); s != NOERROR) {
        return impl_->notesError("cannot read the directory of " + server, s);
    }
    for (const notes::ViewRow& r : rows) {
        notes::Note n;
        if (db->load(r.note, &n) != NOERROR) {
            continue;
        }
        const auto first = [&](const char* item) {
            const notes::Item* it = n.find(item);
            std::vector<std::string> v;
            return it && notes::ods::decodeText(it->type, it->value, &v) && !v.empty()
                       ? latin1ToUtf8(v.front())
                       : std::string();
        };
        if (first("Form") != "Person") {
            continue;
        }
        impl_->out << first("ShortName") << "\t" << first("FullName") << "\t" << first("InternetAddress")
                   << "\t" << first("MailFile") << "\n";
    }
    return kOk;
}

// Opens an address book: the server's directory, or book.path.
static int openBook(Admin::Impl& impl, const DbRef& book, notes::admin::DatabaseHandle* h) {
    if (book.path.empty()) {
        return openDirectory(impl, book.server, false, h, nullptr);
    }
    if (LNSTATUS s = impl.start(); s != LNNOERROR) {
        return impl.notesError("cannot start Notes", s);
    }
    if (STATUS s = NSFDbOpen(utf8ToLatin1(netPath(book.server, book.path)).c_str(), h->out()); s != NOERROR) {
        return impl.notesError("cannot open " + Admin::Impl::describe(book), s);
    }
    return kOk;
}

static STATUS findGroup(DBHANDLE h, const std::string& name, std::vector<NOTEID>* groups) {
    std::vector<NOTEID> found;
    if (STATUS s = findKey(h, "($Users)", name, &found); s != NOERROR) {
        return s;
    }
    const auto db = notes::handles::database(h);
    groups->clear();
    for (NOTEID id : found) {
        notes::Note n;
        const notes::Item* form = db->load(id, &n) == NOERROR ? n.find("Form") : nullptr;
        if (form && notes::nameEquals(form->value, "Group")) {
            groups->push_back(id);
        }
    }
    return NOERROR;
}

int Admin::groupAdd(const DbRef& book, const GroupEntry& group) {
    if (group.name.empty()) {
        return impl_->badInput("a group needs a name");
    }
    if (!notes::directory::knownGroupType(group.type)) {
        return impl_->badInput(
            "'" + group.type +
            "' is not a group type: 0 multi-purpose, 1 mail, 2 access control, 3 deny list");
    }
    notes::admin::DatabaseHandle h;
    if (int rc = openBook(*impl_, book, &h); rc != kOk) {
        return rc;
    }
    std::vector<NOTEID> existing;
    if (STATUS s = findKey(h.get(), "($Users)", utf8ToLatin1(group.name), &existing); s != NOERROR) {
        return impl_->notesError("cannot read the address book", s);
    }
    if (!existing.empty()) {
        impl_->err << "nsfadmin: '" << group.name << "' is already in the address book\n";
        return kNotesError;
    }
    if (STATUS s = notes::directory::addGroup(h.get(), groupOf(group)); s != NOERROR) {
        return impl_->notesError("cannot save the group", s);
    }
    impl_->out << "added group " << group.name << "\n";
    return kOk;
}

int Admin::groupMembers(const DbRef& book, const std::string& group, const std::string& action,
                        const std::vector<std::string>& members) {
    if (action != "add" && action != "remove" && action != "list") {
        return impl_->badInput("group members takes add, remove or list, not '" + action + "'");
    }
    if (action != "list" && members.empty()) {
        return impl_->badInput("name the members to " + action);
    }
    notes::admin::DatabaseHandle h;
    if (int rc = openBook(*impl_, book, &h); rc != kOk) {
        return rc;
    }
    std::vector<NOTEID> groups;
    if (STATUS s = findGroup(h.get(), utf8ToLatin1(group), &groups); s != NOERROR) {
        return impl_->notesError("cannot read the address book", s);
    }
    if (groups.size() != 1) {
        impl_->err << "nsfadmin: " << (groups.empty() ? "no group " : "more than one group named ") << "'"
                   << group << "'\n";
        return kNotesError;
    }
    notes::Note n;
    if (STATUS s = notes::handles::database(h.get())->load(groups.front(), &n); s != NOERROR) {
        return impl_->notesError("cannot read group " + group, s);
    }
    std::vector<std::string> current;
    if (const notes::Item* it = n.find("Members")) {
        notes::ods::decodeText(it->type, it->value, &current);
    }
    if (action == "list") {
        for (const std::string& m : current) {
            impl_->out << latin1ToUtf8(m) << "\n";
        }
        return kOk;
    }
    for (const std::string& m : members) {
        const std::string name = utf8ToLatin1(m);
        const auto it = std::find_if(current.begin(), current.end(),
                                     [&](const std::string& c) { return notes::nameEquals(c, name); });
        if (action == "add" && it == current.end()) {
            current.push_back(name);
        } else if (action == "remove") {
            if (it == current.end()) {
                impl_->err << "nsfadmin: '" << m << "' is not a member of " << group << "\n";
                return kNotesError;
            }
            current.erase(it);
        }
    }
    if (STATUS s = writeDoc(h.get(), groups.front(), {{"Members", current, true}}); s != NOERROR) {
        return impl_->notesError("cannot save group " + group, s);
    }
    impl_->out << group << ": " << current.size() << " members\n";
    return kOk;
}

} // namespace nsfadmin
