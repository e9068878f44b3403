// Users, groups and whole servers from a fixture: the directory ("names.nsf"), mail files and
// personal address books.
#include "admin_impl.h"
#include "memo.h"
#include "mimeparts.h"

#include "notes/config.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace nsfadmin {
namespace {

constexpr const char* kDirectory = "names.nsf";
constexpr std::size_t kMaxFixtureBytes = 16 * 1024 * 1024;

// A database handle closed at the end of the scope.
struct Handle {
    DBHANDLE h = NULLHANDLE;
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h != NULLHANDLE) {
            NSFDbClose(h);
        }
    }
};

std::string netPath(const std::string& server, const std::string& path) {
    return server.empty() ? path : server + "!!" + path;
}

bool validShortName(const std::string& s) {
    return !s.empty() && s.size() <= 64 && std::all_of(s.begin(), s.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
    });
}

// The organisation part of a canonical name ("O=Acme" of "CN=Jane Doe/O=Acme"), or "".
std::string orgPart(const std::string& canonical) {
    const std::size_t slash = canonical.find('/');
    return slash == std::string::npos ? std::string() : canonical.substr(slash + 1);
}

// "Mail1" becomes "CN=Mail1/O=Acme" for a person of O=Acme; a full server name stays.
std::string serverFullName(const std::string& server, const std::string& personCanonical) {
    if (server.find('/') != std::string::npos || server.find('=') != std::string::npos) {
        return notes::canonicalizeName(server);
    }
    const std::string org = orgPart(personCanonical);
    return org.empty() ? server : "CN=" + server + "/" + org;
}

struct ItemValue {
    std::string name;
    std::vector<std::string> values; // Latin-1
    bool list = false;
};

// The documents whose key in a view equals `key` (ignoring case).
STATUS findKey(DBHANDLE h, const char* view, const std::string& key, std::vector<NOTEID>* out) {
    out->clear();
    const auto db = notes::handles::database(h);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    NOTEID id = 0;
    notes::ViewDesign design;
    if (STATUS s = db->findDesign(NOTE_CLASS_VIEW, view, &id); s != NOERROR) {
        return s;
    }
    if (STATUS s = db->viewDesign(id, &design); s != NOERROR) {
        return s;
    }
    const std::string prefix = notes::viewFindKey(design, 0, key, false);
    return prefix.empty() ? NOERROR : db->viewMatches(id, 0, prefix, out);
}

// Writes items into a new document (existing == 0) or over the same items of a stored one.
STATUS writeDoc(DBHANDLE h, NOTEID existing, const std::vector<ItemValue>& items, NOTEID* saved = nullptr) {
    NOTEHANDLE note = NULLHANDLE;
    STATUS s = existing ? NSFNoteOpen(h, existing, 0, &note) : NSFNoteCreate(h, &note);
    if (s != NOERROR) {
        return s;
    }
    for (const ItemValue& it : items) {
        NSFItemDelete(note, it.name.c_str(), static_cast<WORD>(it.name.size()));
        const std::string value = it.list ? notes::ods::encodeTextList(it.values)
                                          : (it.values.empty() ? std::string() : it.values.front());
        const WORD flags = it.name == "HTTPPassword" ? 0 : ITEM_SUMMARY;
        s = NSFItemAppend(note, flags, it.name.c_str(), static_cast<WORD>(it.name.size()),
                          it.list ? TYPE_TEXT_LIST : TYPE_TEXT, value.data(),
                          static_cast<DWORD>(value.size()));
        if (s != NOERROR) {
            NSFNoteClose(note);
            return s;
        }
    }
    s = NSFNoteUpdate(note, 0);
    if (s == NOERROR && saved) {
        NSFNoteGetInfo(note, _NOTE_ID, saved);
    }
    NSFNoteClose(note);
    return s;
}

STATUS digestOf(const std::string& password, std::string* digest) {
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

// Splits a common name into first and last name ("Jane Q Doe": Jane, Doe).
void splitCommon(const std::string& common, std::string* first, std::string* last) {
    std::istringstream in(common);
    std::vector<std::string> words;
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

// The items of a person (Latin-1 throughout). Directory people get the mail items.
std::vector<ItemValue> personItems(const PersonEntry& p, const std::string& mailServer, bool directory) {
    const std::string canonical = notes::canonicalizeName(utf8ToLatin1(p.fullName));
    const std::string common = notes::commonName(canonical);
    std::string first = utf8ToLatin1(p.firstName), last = utf8ToLatin1(p.lastName);
    splitCommon(common, &first, &last);
    std::vector<std::string> full{canonical};
    if (common != canonical) {
        full.push_back(common);
    }
    std::vector<ItemValue> items = {
        {"Form", {"Person"}, false},   {"FullName", full, true},
        {"FirstName", {first}, false}, {"MiddleInitial", {utf8ToLatin1(p.middleInitial)}, false},
        {"LastName", {last}, false},   {"InternetAddress", {utf8ToLatin1(p.internetAddress)}, false},
    };
    if (!p.shortName.empty()) {
        items.push_back({"ShortName", {utf8ToLatin1(p.shortName)}, false});
    }
    if (directory) {
        std::string domain = utf8ToLatin1(p.mailDomain);
        if (domain.empty()) {
            const std::string org = orgPart(canonical);
            domain = notes::commonName(org.substr(0, org.find('/'))); // "O=Acme" -> "Acme"
        }
        items.push_back({"MailAddress", {""}, false});
        items.push_back({"MailSystem", {"1"}, false});
        items.push_back({"MailServer", {mailServer}, false});
        items.push_back({"MailDomain", {domain}, false});
        items.push_back({"MailFile", {"mail\\" + utf8ToLatin1(p.shortName)}, false});
    }
    for (const auto& [name, values] : p.items) {
        std::vector<std::string> v;
        for (const std::string& s : values) {
            v.push_back(utf8ToLatin1(s));
        }
        items.push_back({utf8ToLatin1(name), v, v.size() != 1});
    }
    return items;
}

std::vector<ItemValue> groupItems(const GroupEntry& g) {
    std::vector<std::string> members;
    for (const std::string& m : g.members) {
        members.push_back(utf8ToLatin1(m));
    }
    return {{"Form", {"Group"}, false},
            {"ListName", {utf8ToLatin1(g.name)}, false},
            {"ListDescription", {utf8ToLatin1(g.description)}, false},
            {"GroupType", {utf8ToLatin1(g.type)}, false},
            {"Members", members, true}};
}

// Databases and folders made by one command, removed again when it fails half-way.
struct Undo {
    std::vector<std::string> databases; // net paths
    std::vector<std::string> folders;
    bool keep = false;
    ~Undo() {
        if (keep) {
            return;
        }
        for (auto it = databases.rbegin(); it != databases.rend(); ++it) {
            NSFDbDelete(it->c_str());
        }
        std::error_code ec;
        for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
            fs::remove_all(*it, ec);
        }
    }
};

bool databaseExists(const std::string& server, const std::string& path) {
    std::string file;
    return notes::resolveDatabaseFile(server, path, true, &file) == NOERROR;
}

// ---- the fixture ---------------------------------------------------------------------------------

struct SeedPerson {
    PersonEntry entry;
    std::string password;
    std::vector<notes::mail::Message> mail; // times relative to now (ticks before it)
    std::vector<PersonEntry> contacts;
    std::vector<GroupEntry> groups;
};

struct SeedServer {
    std::string name;
    std::string domain;
    std::vector<SeedPerson> people;
    std::vector<GroupEntry> groups;
};

struct FixtureError {
    std::string message;
};

using json = nlohmann::json;

void allowOnly(const json& obj, const std::string& where, std::initializer_list<const char*> keys) {
    if (!obj.is_object()) {
        throw FixtureError{where + ": must be an object"};
    }
    for (const auto& [key, value] : obj.items()) {
        if (std::none_of(keys.begin(), keys.end(), [&](const char* k) { return key == k; })) {
            throw FixtureError{where + "." + key + ": unknown field"};
        }
    }
}

std::string text(const json& obj, const std::string& where, const char* key, bool required) {
    const auto it = obj.find(key);
    if (it == obj.end()) {
        if (required) {
            throw FixtureError{where + "." + key + ": missing"};
        }
        return "";
    }
    if (!it->is_string()) {
        throw FixtureError{where + "." + key + ": must be a string"};
    }
    const std::string v = it->get<std::string>();
    if (required && v.empty()) {
        throw FixtureError{where + "." + key + ": must not be empty"};
    }
    return v;
}

const json& array(const json& obj, const std::string& where, const char* key) {
    static const json kEmpty = json::array();
    const auto it = obj.find(key);
    if (it == obj.end()) {
        return kEmpty;
    }
    if (!it->is_array()) {
        throw FixtureError{where + "." + key + ": must be a list"};
    }
    return *it;
}

std::vector<std::string> strings(const json& obj, const std::string& where, const char* key) {
    std::vector<std::string> out;
    const json& list = array(obj, where, key);
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].is_string()) {
            throw FixtureError{where + "." + key + "[" + std::to_string(i) + "]: must be a string"};
        }
        out.push_back(list[i].get<std::string>());
    }
    return out;
}

void readItems(const json& obj, const std::string& where, PersonEntry* p) {
    const auto it = obj.find("items");
    if (it == obj.end()) {
        return;
    }
    if (!it->is_object()) {
        throw FixtureError{where + ".items: must be an object of item names"};
    }
    for (const auto& [name, value] : it->items()) {
        const std::string at = where + ".items." + name;
        if (name.empty() || name.size() > 255) {
            throw FixtureError{at + ": not an item name"};
        }
        std::vector<std::string> values;
        if (value.is_string()) {
            values.push_back(value.get<std::string>());
        } else if (value.is_array() &&
                   std::all_of(value.begin(), value.end(), [](const json& v) { return v.is_string(); })) {
            for (const json& v : value) {
                values.push_back(v.get<std::string>());
            }
        } else {
            throw FixtureError{at + ": must be a string or a list of strings"};
        }
        p->items.emplace_back(name, values);
    }
}

PersonEntry readPerson(const json& obj, const std::string& where, bool directory) {
    if (directory) {
        allowOnly(obj, where,
                  {"fullName", "shortName", "firstName", "middleInitial", "lastName", "internetAddress",
                   "mailDomain", "password", "items", "addressBook", "mail"});
    } else {
        allowOnly(obj, where,
                  {"fullName", "firstName", "middleInitial", "lastName", "internetAddress", "items"});
    }
    PersonEntry p;
    p.fullName = text(obj, where, "fullName", true);
    p.shortName = text(obj, where, "shortName", directory);
    if (directory && !validShortName(p.shortName)) {
        throw FixtureError{where + ".shortName: use letters, digits, '.', '_' and '-' (at most 64)"};
    }
    p.firstName = text(obj, where, "firstName", false);
    p.middleInitial = text(obj, where, "middleInitial", false);
    p.lastName = text(obj, where, "lastName", false);
    p.internetAddress = text(obj, where, "internetAddress", false);
    if (directory) {
        p.mailDomain = text(obj, where, "mailDomain", false);
    }
    readItems(obj, where, &p);
    return p;
}

GroupEntry readGroup(const json& obj, const std::string& where) {
    allowOnly(obj, where, {"name", "description", "type", "members"});
    GroupEntry g;
    g.name = text(obj, where, "name", true);
    g.description = text(obj, where, "description", false);
    if (obj.contains("type")) {
        g.type = text(obj, where, "type", true);
    }
    g.members = strings(obj, where, "members");
    return g;
}

// A mail file document of the fixture; dates are days before the seeding ("daysAgo"), due dates
// days after it ("dueInDays").
// The body of a rich-text fixture memo ("richBody": text runs with styles, paragraphs, links,
// pictures and attachments) and its "files"; paths are relative to the fixture's folder.
void readRichBody(const json& obj, const std::string& where, const std::string& baseDir,
                  notes::mail::Message* m) {
    std::vector<notes::ods::RichTextElement> body;
    std::string error;
    auto path = [&](const std::string& p) {
        return fs::path(p).is_absolute() ? p : (fs::path(baseDir) / p).string();
    };
    const json& pieces = array(obj, where, "richBody");
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const std::string at = where + ".richBody[" + std::to_string(i) + "]";
        const json& piece = pieces[i];
        if (!piece.is_object()) {
            throw FixtureError{at + ": an object"};
        }
        if (piece.contains("paragraph")) {
            allowOnly(piece, at, {"paragraph"});
            body.push_back(paragraphBreak());
        } else if (piece.contains("link")) {
            allowOnly(piece, at, {"link", "text"});
            notes::ods::RichTextElement begin;
            begin.kind = notes::ods::kCdLinkBegin;
            begin.text = utf8ToLatin1(text(piece, at, "link", true));
            const std::string shown = text(piece, at, "text", false);
            body.push_back(begin);
            body.push_back(textRun(shown.empty() ? begin.text : utf8ToLatin1(shown)));
            notes::ods::RichTextElement end;
            end.kind = notes::ods::kCdLinkEnd;
            body.push_back(end);
        } else if (piece.contains("picture")) {
            allowOnly(piece, at, {"picture"});
            if (!appendPicture(path(text(piece, at, "picture", true)), &body, &error)) {
                throw FixtureError{at + ": " + error};
            }
        } else if (piece.contains("attachment")) {
            allowOnly(piece, at, {"attachment"});
            if (!appendAttachment(path(text(piece, at, "attachment", true)), &body, &m->files, &error)) {
                throw FixtureError{at + ": " + error};
            }
        } else {
            allowOnly(piece, at, {"text", "bold", "italic", "underline", "size", "color"});
            notes::ods::RichTextElement style;
            style.kind = notes::ods::kCdStyle;
            for (const auto& [key, bit] : {std::pair<const char*, BYTE>{"bold", notes::ods::kStyleBold},
                                           {"italic", notes::ods::kStyleItalic},
                                           {"underline", notes::ods::kStyleUnderline}}) {
                if (piece.contains(key)) {
                    if (!piece[key].is_boolean()) {
                        throw FixtureError{at + "." + key + ": true or false"};
                    }
                    style.flags |= piece[key].get<bool>() ? bit : 0;
                }
            }
            if (piece.contains("size")) {
                if (!piece["size"].is_number_integer() || piece["size"].get<int>() < 1 ||
                    piece["size"].get<int>() > 255) {
                    throw FixtureError{at + ".size: points from 1 to 255"};
                }
                style.points = static_cast<BYTE>(piece["size"].get<int>());
            }
            if (piece.contains("color")) {
                const std::string c = text(piece, at, "color", true);
                if (c.size() != 7 || c[0] != '#' ||
                    c.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos) {
                    throw FixtureError{at + ".color: #RRGGBB"};
                }
                style.colour = static_cast<DWORD>(std::stoul(c.substr(1), nullptr, 16));
            }
            const bool styled =
                style.flags != 0 || style.points != 0 || style.colour != notes::ods::kDefaultColour;
            if (styled) {
                body.push_back(style);
            }
            std::vector<notes::ods::RichTextElement> runs; // "\n" in the text starts a paragraph
            notes::ods::decodeRichText(
                notes::ods::encodeRichText(utf8ToLatin1(text(piece, at, "text", true))), &runs);
            body.insert(body.end(), runs.begin(), runs.end());
            if (styled) {
                notes::ods::RichTextElement plain;
                plain.kind = notes::ods::kCdStyle;
                body.push_back(plain);
            }
        }
    }
    m->richText = notes::ods::encodeRichText(body);
}

notes::mail::Message readMessage(const json& obj, const std::string& where, const std::string& baseDir) {
    allowOnly(
        obj, where,
        {"kind",           "from",        "to",        "cc",        "bcc",        "subject",  "body",
         "daysAgo",        "unread",      "replied",   "forwarded", "importance", "mood",     "returnReceipt",
         "deliveryReport", "attachments", "dueInDays", "completed", "eml",        "richBody", "files"});
    notes::mail::Message m;
    using Kind = notes::mail::Message::Kind;
    if (obj.contains("eml")) { // a native MIME memo: the message file gives sender, recipients, subject
        for (const char* key :
             {"from", "to", "cc", "bcc", "subject", "body", "richBody", "kind", "attachments"}) {
            if (obj.contains(key)) {
                throw FixtureError{where + "." + key + ": not with \"eml\" (the message file gives it)"};
            }
        }
        const std::string rel = text(obj, where, "eml", true);
        const std::string file = fs::path(rel).is_absolute() ? rel : (fs::path(baseDir) / rel).string();
        std::string eml, error;
        if (!readWholeFile(file, &eml)) {
            throw FixtureError{where + ".eml: cannot read " + file};
        }
        if (notes::mime::memoFromEml(eml, &m, &error) != NOERROR) {
            throw FixtureError{where + ".eml: " + file + ": " + error};
        }
    }
    const bool fromEml = obj.contains("eml");
    const std::string kind = obj.contains("kind") ? text(obj, where, "kind", true) : "inbox";
    m.kind = kind == "inbox"   ? Kind::Inbox
             : kind == "draft" ? Kind::Draft
             : kind == "sent"  ? Kind::Sent
             : kind == "task"  ? Kind::Task
                               : throw FixtureError{where + ".kind: one of inbox, draft, sent, task"};
    if (!fromEml) {
        m.from = utf8ToLatin1(text(obj, where, "from", m.kind == Kind::Inbox));
    }
    for (const auto& [field, list] : {std::pair<const char*, std::vector<std::string>*>{"to", &m.sendTo},
                                      {"cc", &m.copyTo},
                                      {"bcc", &m.blindCopyTo},
                                      {"attachments", &m.attachments}}) {
        for (const std::string& v : strings(obj, where, field)) {
            list->push_back(
                utf8ToLatin1(field == std::string("attachments") ? v : notes::canonicalizeName(v)));
        }
    }
    if (!fromEml) {
        m.subject = utf8ToLatin1(text(obj, where, "subject", true));
        m.body = utf8ToLatin1(text(obj, where, "body", false));
    }
    if (obj.contains("richBody")) {
        if (obj.contains("body")) {
            throw FixtureError{where + ".richBody: give either \"body\" or \"richBody\""};
        }
        readRichBody(obj, where, baseDir, &m);
    }
    std::string error;
    std::vector<notes::ods::RichTextElement> unreferenced;
    for (const std::string& rel : strings(obj, where, "files")) {
        const std::string file = fs::path(rel).is_absolute() ? rel : (fs::path(baseDir) / rel).string();
        if (!appendAttachment(file, &unreferenced, &m.files, &error)) {
            throw FixtureError{where + ".files: " + error};
        }
    }
    auto number = [&](const char* field, double lo, double hi, double fallback) {
        const auto it = obj.find(field);
        if (it == obj.end()) {
            return fallback;
        }
        if (!it->is_number() || it->get<double>() < lo || it->get<double>() > hi) {
            throw FixtureError{where + "." + field + ": a number from " +
                               std::to_string(static_cast<int>(lo)) + " to " +
                               std::to_string(static_cast<int>(hi))};
        }
        return it->get<double>();
    };
    auto flag = [&](const char* field) {
        const auto it = obj.find(field);
        if (it != obj.end() && !it->is_boolean()) {
            throw FixtureError{where + "." + field + ": true or false"};
        }
        return it != obj.end() && it->get<bool>();
    };
    const std::int64_t ago = static_cast<std::int64_t>(number("daysAgo", 0, 3650, 0) * notes::kTicksPerDay);
    if (m.kind == Kind::Task) {
        m.start = ago;
        m.due = -static_cast<std::int64_t>(number("dueInDays", -3650, 3650, 7) * notes::kTicksPerDay);
        m.completed = flag("completed") ? 1 : 0;
    } else {
        m.posted = m.delivered = ago;
    }
    m.unread = flag("unread");
    if (flag("replied")) {
        m.respondedTo = "1";
    } else if (flag("forwarded")) {
        m.respondedTo = "2";
    }
    const std::string importance =
        obj.contains("importance") ? text(obj, where, "importance", true) : "normal";
    m.importance = importance == "high"     ? 1
                   : importance == "normal" ? 2
                   : importance == "low"    ? 3
                                            : throw FixtureError{where + ".importance: high, normal or low"};
    m.mood = static_cast<int>(number("mood", 0, 10, 0));
    m.returnReceipt = flag("returnReceipt");
    const std::string report = obj.contains("deliveryReport") ? text(obj, where, "deliveryReport", true) : "";
    m.deliveryReport = report.empty()          ? ""
                       : report == "basic"     ? "B"
                       : report == "confirmed" ? "C"
                       : report == "trace"     ? "T"
                       : report == "none"
                           ? "N"
                           : throw FixtureError{where + ".deliveryReport: basic, confirmed, trace or none"};
    return m;
}

std::vector<SeedServer> readFixture(const json& root, const std::string& baseDir) {
    allowOnly(root, "fixture", {"servers"});
    const json& servers = array(root, "fixture", "servers");
    if (servers.empty()) {
        throw FixtureError{"fixture.servers: needs at least one server"};
    }
    std::vector<SeedServer> out;
    std::set<std::string> serverNames;
    for (std::size_t i = 0; i < servers.size(); ++i) {
        const std::string where = "servers[" + std::to_string(i) + "]";
        allowOnly(servers[i], where, {"name", "domain", "people", "groups"});
        SeedServer s;
        s.name = text(servers[i], where, "name", true);
        const std::string cn = notes::commonName(utf8ToLatin1(s.name));
        if (cn.empty() || cn == "." || cn == ".." || cn.find_first_of("/\\") != std::string::npos) {
            throw FixtureError{where + ".name: not a server name"};
        }
        if (!serverNames.insert(notes::lower(cn)).second) {
            throw FixtureError{where + ".name: server " + s.name + " appears twice"};
        }
        s.domain = text(servers[i], where, "domain", false);
        std::set<std::string> keys; // short names, full names and addresses must be unique
        const json& people = array(servers[i], where, "people");
        for (std::size_t k = 0; k < people.size(); ++k) {
            const std::string at = where + ".people[" + std::to_string(k) + "]";
            SeedPerson p;
            p.entry = readPerson(people[k], at, true);
            if (p.entry.mailDomain.empty()) {
                p.entry.mailDomain = s.domain;
            }
            p.password = text(people[k], at, "password", true);
            if (p.password.size() > SEC_MAX_PASSWORD) {
                throw FixtureError{at + ".password: longer than " + std::to_string(SEC_MAX_PASSWORD) +
                                   " bytes"};
            }
            std::set<std::string> own; // one text may serve as several of a person's names
            for (const std::string& key :
                 {p.entry.shortName, notes::canonicalizeName(utf8ToLatin1(p.entry.fullName)),
                  p.entry.internetAddress}) {
                if (!key.empty()) {
                    own.insert(notes::lower(key));
                }
            }
            for (const std::string& key : own) {
                if (!keys.insert(key).second) {
                    throw FixtureError{at + ": '" + key + "' is already used by another person"};
                }
            }
            const json& mail = array(people[k], at, "mail");
            for (std::size_t m = 0; m < mail.size(); ++m) {
                p.mail.push_back(readMessage(mail[m], at + ".mail[" + std::to_string(m) + "]", baseDir));
            }
            if (const auto book = people[k].find("addressBook"); book != people[k].end()) {
                allowOnly(*book, at + ".addressBook", {"contacts", "groups"});
                const json& contacts = array(*book, at + ".addressBook", "contacts");
                for (std::size_t c = 0; c < contacts.size(); ++c) {
                    p.contacts.push_back(readPerson(
                        contacts[c], at + ".addressBook.contacts[" + std::to_string(c) + "]", false));
                }
                const json& groups = array(*book, at + ".addressBook", "groups");
                for (std::size_t g = 0; g < groups.size(); ++g) {
                    p.groups.push_back(
                        readGroup(groups[g], at + ".addressBook.groups[" + std::to_string(g) + "]"));
                }
            }
            s.people.push_back(std::move(p));
        }
        const json& groups = array(servers[i], where, "groups");
        for (std::size_t g = 0; g < groups.size(); ++g) {
            const std::string at = where + ".groups[" + std::to_string(g) + "]";
            GroupEntry entry = readGroup(groups[g], at);
            if (!keys.insert(notes::lower(entry.name)).second) {
                throw FixtureError{at + ".name: '" + entry.name + "' is already used"};
            }
            s.groups.push_back(std::move(entry));
        }
        out.push_back(std::move(s));
    }
    return out;
}

} // namespace

// ---- commands ------------------------------------------------------------------------------------

// The steps of user add, shared with seed: mail file, address book, person document.
static int addUser(Admin::Impl& impl, const std::string& server, DBHANDLE directory,
                   const PersonEntry& person, const std::string& password, Undo& undo, std::string* summary) {
    const std::string srv = utf8ToLatin1(server);
    const std::string shortName = utf8ToLatin1(person.shortName);
    const std::string canonical = notes::canonicalizeName(utf8ToLatin1(person.fullName));
    for (const std::string& key : {shortName, canonical, utf8ToLatin1(person.internetAddress)}) {
        std::vector<NOTEID> found;
        if (key.empty()) {
            continue;
        }
        if (STATUS s = findKey(directory, "($Users)", key, &found); s != NOERROR) {
            return impl.notesError("cannot read the directory of " + server, s);
        }
        if (!found.empty()) {
            impl.err << "nsfadmin: '" << latin1ToUtf8(key) << "' is already in the directory of " << server
                     << "\n";
            return kNotesError;
        }
    }
    const std::string mailPath = "mail/" + shortName, pabPath = "pab/" + shortName + "_pab";
    for (const std::string& path : {mailPath, pabPath}) {
        if (databaseExists(srv, path)) {
            impl.err << "nsfadmin: " << latin1ToUtf8(path) << ".nsf already exists on " << server
                     << "; refusing to overwrite it\n";
            return kNotesError;
        }
    }
    std::string digest;
    if (STATUS s = digestOf(password, &digest); s != NOERROR) {
        return impl.notesError("cannot make the password digest", s);
    }
    if (STATUS s = notes::templates::create(srv, mailPath, notes::templates::Kind::Mail); s != NOERROR) {
        return impl.notesError("cannot create the mail file " + latin1ToUtf8(mailPath), s);
    }
    undo.databases.push_back(netPath(srv, mailPath));
    if (STATUS s = notes::templates::create(srv, pabPath, notes::templates::Kind::AddressBook);
        s != NOERROR) {
        return impl.notesError("cannot create the address book " + latin1ToUtf8(pabPath), s);
    }
    undo.databases.push_back(netPath(srv, pabPath));
    std::vector<ItemValue> items = personItems(person, serverFullName(srv, canonical), true);
    items.push_back({"HTTPPassword", {digest}, false});
    if (STATUS s = writeDoc(directory, 0, items); s != NOERROR) {
        return impl.notesError("cannot save the person document", s);
    }
    if (summary) {
        *summary = "mail/" + person.shortName + ".nsf, pab/" + person.shortName + "_pab.nsf";
    }
    return kOk;
}

// Opens the server's directory, making it from its template when missing.
static int openDirectory(Admin::Impl& impl, const std::string& server, bool create, Handle* h, Undo* undo) {
    if (LNSTATUS s = impl.start(); s != LNNOERROR) {
        return impl.notesError("cannot start Notes", s);
    }
    const std::string srv = utf8ToLatin1(server);
    std::string folder;
    if (STATUS s = notes::serverFolder(srv, &folder); s != NOERROR) {
        return impl.notesError("server " + server, s);
    }
    if (!databaseExists(srv, kDirectory)) {
        if (!create) {
            return impl.notesError("the directory of " + server, ERR_NOEXIST);
        }
        if (STATUS s = notes::templates::create(srv, kDirectory, notes::templates::Kind::Directory);
            s != NOERROR) {
            return impl.notesError("cannot create the directory of " + server, s);
        }
        if (undo) {
            undo->databases.push_back(netPath(srv, kDirectory));
        }
        impl.out << "created the directory names.nsf on " << server << "\n";
    }
    if (STATUS s = NSFDbOpen(netPath(srv, kDirectory).c_str(), &h->h); s != NOERROR) {
        return impl.notesError("cannot open the directory of " + server, s);
    }
    return kOk;
}

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
    Handle dir;
    if (int rc = openDirectory(*impl_, server, true, &dir, &undo); rc != kOk) {
        return rc;
    }
    std::string summary;
    if (int rc = addUser(*impl_, server, dir.h, person, password, undo, &summary); rc != kOk) {
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
    Handle dir;
    if (int rc = openDirectory(*impl_, server, false, &dir, nullptr); rc != kOk) {
        return rc;
    }
    std::vector<NOTEID> found;
    if (STATUS s = findKey(dir.h, "($Users)", utf8ToLatin1(name), &found); s != NOERROR) {
        return impl_->notesError("cannot read the directory of " + server, s);
    }
    const auto db = notes::handles::database(dir.h);
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
    if (STATUS s = digestOf(password, &digest); s != NOERROR) {
        return impl_->notesError("cannot make the password digest", s);
    }
    if (STATUS s = writeDoc(dir.h, people.front(), {{"HTTPPassword", {digest}, false}}); s != NOERROR) {
        return impl_->notesError("cannot save the person document", s);
    }
    impl_->out << "password changed for " << name << "\n";
    return kOk;
}

int Admin::userList(const std::string& server) {
    Handle dir;
    if (int rc = openDirectory(*impl_, server, false, &dir, nullptr); rc != kOk) {
        return rc;
    }
    const auto db = notes::handles::database(dir.h);
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
static int openBook(Admin::Impl& impl, const DbRef& book, Handle* h) {
    if (book.path.empty()) {
        return openDirectory(impl, book.server, false, h, nullptr);
    }
    if (LNSTATUS s = impl.start(); s != LNNOERROR) {
        return impl.notesError("cannot start Notes", s);
    }
    if (STATUS s = NSFDbOpen(utf8ToLatin1(netPath(book.server, book.path)).c_str(), &h->h); s != NOERROR) {
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
    Handle h;
    if (int rc = openBook(*impl_, book, &h); rc != kOk) {
        return rc;
    }
    std::vector<NOTEID> existing;
    if (STATUS s = findKey(h.h, "($Users)", utf8ToLatin1(group.name), &existing); s != NOERROR) {
        return impl_->notesError("cannot read the address book", s);
    }
    if (!existing.empty()) {
        impl_->err << "nsfadmin: '" << group.name << "' is already in the address book\n";
        return kNotesError;
    }
    if (STATUS s = writeDoc(h.h, 0, groupItems(group)); s != NOERROR) {
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
    Handle h;
    if (int rc = openBook(*impl_, book, &h); rc != kOk) {
        return rc;
    }
    std::vector<NOTEID> groups;
    if (STATUS s = findGroup(h.h, utf8ToLatin1(group), &groups); s != NOERROR) {
        return impl_->notesError("cannot read the address book", s);
    }
    if (groups.size() != 1) {
        impl_->err << "nsfadmin: " << (groups.empty() ? "no group " : "more than one group named ") << "'"
                   << group << "'\n";
        return kNotesError;
    }
    notes::Note n;
    if (STATUS s = notes::handles::database(h.h)->load(groups.front(), &n); s != NOERROR) {
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
    if (STATUS s = writeDoc(h.h, groups.front(), {{"Members", current, true}}); s != NOERROR) {
        return impl_->notesError("cannot save group " + group, s);
    }
    impl_->out << group << ": " << current.size() << " members\n";
    return kOk;
}

int Admin::seed(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return impl_->badInput("cannot read the fixture " + file);
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (content.size() > kMaxFixtureBytes) {
        return impl_->badInput("the fixture " + file + " is larger than 16 MiB");
    }
    std::vector<SeedServer> servers;
    try {
        servers = readFixture(json::parse(content), fs::path(file).parent_path().string());
    } catch (const json::exception& e) {
        return impl_->badInput("the fixture " + file + " is not valid JSON: " + e.what());
    } catch (const FixtureError& e) {
        return impl_->badInput("fixture " + file + ": " + e.message);
    }
    if (LNSTATUS s = impl_->start(); s != LNNOERROR) {
        return impl_->notesError("cannot start Notes", s);
    }
    // Nothing is written while anything that the fixture makes already exists.
    const std::string root = notes::dataDirectory();
    for (const SeedServer& s : servers) {
        const std::string srv = utf8ToLatin1(s.name);
        std::vector<std::string> paths{kDirectory};
        for (const SeedPerson& p : s.people) {
            paths.push_back("mail/" + p.entry.shortName);
            paths.push_back("pab/" + p.entry.shortName + "_pab");
        }
        std::string folder;
        if (notes::serverFolder(srv, &folder) != NOERROR) {
            continue;
        }
        for (const std::string& path : paths) {
            if (databaseExists(srv, utf8ToLatin1(path))) {
                impl_->err << "nsfadmin: " << path << (path == kDirectory ? "" : ".nsf")
                           << " already exists on " << s.name
                           << "; seed does not overwrite (remove the server's folder to seed it anew)\n";
                return kNotesError;
            }
        }
    }

    Undo undo;
    std::size_t people = 0, groups = 0, contacts = 0;
    for (const SeedServer& s : servers) {
        const std::string srv = utf8ToLatin1(s.name);
        std::string folder;
        if (notes::serverFolder(srv, &folder) != NOERROR) {
            const fs::path made = fs::path(root) / notes::commonName(srv);
            std::error_code ec;
            if (!fs::create_directory(made, ec)) {
                impl_->err << "nsfadmin: cannot create " << made.string() << ": " << ec.message() << "\n";
                return kNotesError;
            }
            undo.folders.push_back(made.string());
        }
        impl_->out << "server " << s.name << "\n";
        Handle dir;
        if (int rc = openDirectory(*impl_, s.name, true, &dir, &undo); rc != kOk) {
            return rc;
        }
        for (const SeedPerson& p : s.people) {
            std::string summary;
            if (int rc = addUser(*impl_, s.name, dir.h, p.entry, p.password, undo, &summary); rc != kOk) {
                impl_->err << "nsfadmin: seeding stopped at " << p.entry.shortName << "; nothing was kept\n";
                return rc;
            }
            if (!p.contacts.empty() || !p.groups.empty()) {
                Handle pab;
                const std::string pabPath = netPath(srv, "pab/" + utf8ToLatin1(p.entry.shortName) + "_pab");
                STATUS st = NSFDbOpen(pabPath.c_str(), &pab.h);
                for (std::size_t i = 0; st == NOERROR && i < p.contacts.size(); ++i) {
                    st = writeDoc(pab.h, 0, personItems(p.contacts[i], "", false));
                }
                for (std::size_t i = 0; st == NOERROR && i < p.groups.size(); ++i) {
                    st = writeDoc(pab.h, 0, groupItems(p.groups[i]));
                }
                if (st != NOERROR) {
                    impl_->notesError("cannot fill the address book of " + p.entry.shortName, st);
                    impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                    return kNotesError;
                }
                summary += ", " + std::to_string(p.contacts.size()) + " contacts, " +
                           std::to_string(p.groups.size()) + " groups";
                contacts += p.contacts.size();
            }
            if (!p.mail.empty()) {
                std::vector<notes::mail::Message> mail = p.mail;
                const std::int64_t now = notes::ticksNow();
                for (notes::mail::Message& m : mail) { // relative times become real ones
                    for (std::int64_t* t : {&m.posted, &m.delivered, &m.start, &m.due}) {
                        *t = *t != 0 ? now - *t : (t == &m.posted || t == &m.delivered ? now : 0);
                    }
                    if (m.kind == notes::mail::Message::Kind::Task) {
                        m.posted = m.delivered = 0;
                        m.due = m.due == 0 ? now : m.due;
                        m.completed = m.completed ? now : 0;
                    }
                }
                Handle mdb;
                const std::string mailPath = netPath(srv, "mail/" + utf8ToLatin1(p.entry.shortName));
                STATUS st = NSFDbOpen(mailPath.c_str(), &mdb.h);
                if (st == NOERROR) {
                    st = notes::mail::store(*notes::handles::database(mdb.h), mail);
                }
                if (st != NOERROR) {
                    impl_->notesError("cannot fill the mail file of " + p.entry.shortName, st);
                    impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                    return kNotesError;
                }
                summary += ", " + std::to_string(mail.size()) + " mail documents";
            }
            impl_->out << "  person " << p.entry.shortName << " (" << summary << ")\n";
            ++people;
        }
        for (const GroupEntry& g : s.groups) {
            if (STATUS st = writeDoc(dir.h, 0, groupItems(g)); st != NOERROR) {
                impl_->notesError("cannot save group " + g.name, st);
                impl_->err << "nsfadmin: seeding stopped; nothing was kept\n";
                return kNotesError;
            }
            impl_->out << "  group " << g.name << " (" << g.members.size() << " members)\n";
            ++groups;
        }
    }
    undo.keep = true;
    impl_->out << "seeded " << servers.size() << (servers.size() == 1 ? " server, " : " servers, ") << people
               << " people, " << groups << " groups, " << contacts << " contacts\n";
    return kOk;
}

} // namespace nsfadmin
