// Database templates: the design (forms, views) a new directory, address book or mail file gets.
#include "internal.h"

#include <functional>

namespace notes::templates {
namespace {

struct FormDesign {
    const char* name;
    std::vector<std::string> fields;
};

const FormDesign kPerson{"Person",
                         {"FullName", "ShortName", "FirstName", "MiddleInitial", "LastName",
                          "InternetAddress", "MailAddress", "MailSystem", "MailServer", "MailDomain",
                          "MailFile", "HTTPPassword"}};
const FormDesign kGroup{"Group", {"ListName", "ListDescription", "GroupType", "Members"}};

ViewColumn column(const char* title, std::vector<std::string> items, DWORD flags) {
    ViewColumn c;
    c.title = title;
    c.items = std::move(items);
    c.flags = flags;
    return c;
}

ViewDesign view(const char* title, std::vector<ViewColumn> columns) {
    ViewDesign d;
    d.title = title;
    d.forms = {"Person", "Group"};
    d.columns = std::move(columns);
    return d;
}

// One entry per lookup key of a person or group; keys compare ignoring case.
ViewDesign usersView() {
    return view("($Users)", {column("Name", {"FullName", "ShortName", "InternetAddress", "ListName"},
                                    kColSorted | kColSeparateEntries)});
}

// People and groups in name order.
ViewDesign peopleAndGroupsView(const char* title) {
    return view(title,
                {column("Name", {"FullName", "ListName"},
                        kColSorted | kColCommonName | kColResortAscending | kColResortDescending),
                 column("InternetAddress", {"InternetAddress"}, kColResortAscending | kColResortDescending)});
}

std::vector<FormDesign> forms(Kind kind) {
    switch (kind) {
    case Kind::Directory:
    case Kind::AddressBook:
        return {kPerson, kGroup};
    case Kind::Mail:
        return {}; // the mail forms come with the mail features
    }
    return {};
}

std::vector<ViewDesign> views(Kind kind) {
    switch (kind) {
    case Kind::Directory:
        return {usersView(), peopleAndGroupsView("($VIMPeopleAndGroups)")};
    case Kind::AddressBook:
        return {usersView(), peopleAndGroupsView("($VIMPeopleAndGroups)"),
                peopleAndGroupsView("($PeopleGroupsFlat)")};
    case Kind::Mail:
        return {}; // the mail folders and views ("($Inbox)", ...) come with the mail features
    }
    return {};
}

// Saves a design note, replacing the one of the same class and name.
STATUS saveDesign(Database& db, WORD noteClass, const std::string& name,
                  const std::function<void(Note*)>& fill) {
    Note note;
    NOTEID existing = 0;
    if (db.findDesign(noteClass, name, &existing) == NOERROR) {
        if (STATUS s = db.load(existing, &note); s != NOERROR) {
            return s;
        }
    }
    note.info.noteClass = noteClass;
    fill(&note);
    return db.save(note);
}

} // namespace

bool kindFromName(std::string_view name, Kind* out) {
    for (Kind k : {Kind::Directory, Kind::AddressBook, Kind::Mail}) {
        if (nameEquals(name, kindName(k))) {
            *out = k;
            return true;
        }
    }
    return false;
}

const char* kindName(Kind kind) {
    switch (kind) {
    case Kind::Directory:
        return "names";
    case Kind::AddressBook:
        return "pab";
    case Kind::Mail:
        return "mail";
    }
    return "";
}

STATUS apply(Database& db, Kind kind) {
    for (const FormDesign& f : forms(kind)) {
        if (STATUS s = saveDesign(db, NOTE_CLASS_FORM, f.name,
                                  [&](Note* n) {
                                      n->remove("$TITLE");
                                      n->remove("$Fields");
                                      n->append("$TITLE", TYPE_TEXT, ITEM_SUMMARY, f.name);
                                      n->append("$Fields", TYPE_TEXT_LIST, ITEM_SUMMARY,
                                                ods::encodeTextList(f.fields));
                                  });
            s != NOERROR) {
            return s;
        }
    }
    for (const ViewDesign& v : views(kind)) {
        if (STATUS s = saveDesign(db, NOTE_CLASS_VIEW, v.name(), [&](Note* n) { writeViewDesign(v, n); });
            s != NOERROR) {
            return s;
        }
    }
    return NOERROR;
}

STATUS create(std::string_view server, std::string_view path, Kind kind) {
    std::string file;
    if (STATUS s = resolveDatabaseFile(server, path, false, &file); s != NOERROR) {
        return s;
    }
    const std::string net =
        server.empty() ? std::string(path) : std::string(server) + "!!" + std::string(path);
    if (STATUS s = NSFDbCreate(net.c_str(), DBCLASS_NOTEFILE, 0); s != NOERROR) {
        return s;
    }
    std::shared_ptr<Database> db;
    STATUS s = Database::open(file, std::string(server), std::string(path), &db);
    if (s == NOERROR) {
        s = apply(*db, kind);
    }
    if (s != NOERROR) { // no half-made database stays behind
        db.reset();
        NSFDbDelete(net.c_str());
    }
    return s;
}

} // namespace notes::templates
