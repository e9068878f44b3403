// Person and group documents for the admin API.
#include "notes/admin/directory.h"

#include "runtime.h"
#include "store.h"

#include <algorithm>
#include <sstream>

namespace notes::directory {
namespace {

using Values = std::vector<std::string>;

void text(Note& note, const std::string& name, const std::string& value, WORD flags = ITEM_SUMMARY) {
    note.append(name, TYPE_TEXT, flags, value);
}

void textList(Note& note, const std::string& name, const Values& values) {
    note.append(name, TYPE_TEXT_LIST, ITEM_SUMMARY, ods::encodeTextList(values));
}

// Fills an empty first or last name from a common name ("Jane Q Doe": Jane, Doe).
void splitCommon(const std::string& common, std::string* first, std::string* last) {
    std::istringstream in(common);
    Values words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    if (first->empty() && words.size() > 1) {
        *first = words.front();
    }
    if (last->empty() && !words.empty()) {
        *last = words.back();
    }
}

// "Acme" of "CN=Jane Doe/OU=Sales/O=Acme": the component after the common name.
std::string organisation(const std::string& canonical) {
    const std::size_t slash = canonical.find('/');
    if (slash == std::string::npos) {
        return "";
    }
    const std::string org = canonical.substr(slash + 1);
    return commonName(org.substr(0, org.find('/')));
}

STATUS save(DBHANDLE book, Note& note, NOTEID* id) {
    const auto db = handles::database(book);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    note.info.noteClass = NOTE_CLASS_DOCUMENT;
    if (STATUS s = db->save(note); s != NOERROR) {
        return s;
    }
    if (id) {
        *id = note.info.id;
    }
    return NOERROR;
}

} // namespace

bool knownGroupType(const std::string& type) {
    return type.size() == 1 && type[0] >= '0' && type[0] <= '3';
}

STATUS hashPassword(const std::string& password, std::string* digest) {
    BYTE buf[SEC_DIGEST_SIZE];
    WORD length = 0;
    if (STATUS s = SECHashPassword(static_cast<WORD>(std::min<std::size_t>(password.size(), 0xFFFF)),
                                   reinterpret_cast<const BYTE*>(password.data()), sizeof buf, &length, buf,
                                   0, nullptr);
        s != NOERROR) {
        return s;
    }
    digest->assign(reinterpret_cast<const char*>(buf), length);
    return NOERROR;
}

STATUS addPerson(DBHANDLE book, const Person& p, NOTEID* id) {
    const std::string canonical = canonicalizeName(p.fullName);
    const std::string common = commonName(canonical);
    if (common.empty()) {
        return ERR_INVALID_PARAM;
    }
    std::string first = p.firstName, last = p.lastName;
    splitCommon(common, &first, &last);
    Values full{canonical};
    if (common != canonical) {
        full.push_back(common);
    }
    Note note;
    text(note, "Form", "Person");
    textList(note, "FullName", full);
    text(note, "FirstName", first);
    text(note, "MiddleInitial", p.middleInitial);
    text(note, "LastName", last);
    text(note, "InternetAddress", p.internetAddress);
    if (!p.shortName.empty()) {
        text(note, "ShortName", p.shortName);
    }
    if (!p.mailServer.empty()) {
        text(note, "MailAddress", "");
        text(note, "MailSystem", "1");
        text(note, "MailServer", p.mailServer);
        text(note, "MailDomain", p.mailDomain.empty() ? organisation(canonical) : p.mailDomain);
        text(note, "MailFile", p.mailFile.empty() ? "mail\\" + p.shortName : p.mailFile);
    }
    for (const auto& [name, values] : p.items) {
        values.size() == 1 ? text(note, name, values.front()) : textList(note, name, values);
    }
    if (!p.passwordDigest.empty()) {
        text(note, "HTTPPassword", p.passwordDigest,
             0); // not a summary item: views and searches never see it
    }
    return save(book, note, id);
}

STATUS addGroup(DBHANDLE book, const Group& g, NOTEID* id) {
    if (g.name.empty() || !knownGroupType(g.type)) {
        return ERR_INVALID_PARAM;
    }
    Note note;
    text(note, "Form", "Group");
    text(note, "ListName", g.name);
    text(note, "ListDescription", g.description);
    text(note, "GroupType", g.type);
    textList(note, "Members", g.members);
    return save(book, note, id);
}

} // namespace notes::directory
