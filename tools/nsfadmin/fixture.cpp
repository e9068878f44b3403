// The seed fixture: its JSON schema (see README.md) and the reader that checks it.
#include "fixture.h"

#include "entries.h"

#include "memo.h"
#include "mimeparts.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;

namespace nsfadmin {
namespace {

void allowOnly(const json& obj, const std::string& where, std::initializer_list<const char*> keys) {
    if (!obj.is_object()) {
        throw FixtureError{where + ": must be an object"};
    }
    for (const auto& field : obj.items()) {
        const std::string& key = field.key(); // clang before 16 cannot capture a structured binding
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
                   "mailDomain", "password", "items", "addressBook", "mail", "calendar", "readers"});
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
        if (!notes::directory::knownGroupType(g.type)) {
            throw FixtureError{where + ".type: \"" + g.type + "\" is not a group type (0, 1, 2 or 3)"};
        }
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

// A calendar entry: "inDays" from the seeding day (negative: before it), "start" and "end" times
// "HH:MM" (none for "allDay", whose "days" it lasts, default 1), the rest as add-appointment takes it.
AppointmentEntry readAppointment(const json& obj, const std::string& where) {
    allowOnly(obj, where,
              {"subject", "inDays", "start", "end", "days", "zone", "dst", "allDay", "chair", "attendees",
               "optional", "penciledIn", "location", "text"});
    auto integer = [&](const char* key, int lo, int hi, int fallback) {
        const auto it = obj.find(key);
        if (it == obj.end()) {
            return fallback;
        }
        if (!it->is_number_integer() || it->get<long long>() < lo || it->get<long long>() > hi) {
            throw FixtureError{where + "." + key + ": a whole number from " + std::to_string(lo) + " to " +
                               std::to_string(hi)};
        }
        return it->get<int>();
    };
    auto boolean = [&](const char* key) {
        const auto it = obj.find(key);
        if (it != obj.end() && !it->is_boolean()) {
            throw FixtureError{where + "." + key + ": true or false"};
        }
        return it != obj.end() && it->get<bool>();
    };
    AppointmentEntry e;
    e.subject = text(obj, where, "subject", true);
    e.allDay = boolean("allDay");
    e.dst = boolean("dst");
    e.penciledIn = boolean("penciledIn");
    e.zone = integer("zone", -12, 12, 0);
    e.chair = text(obj, where, "chair", false);
    e.required = strings(obj, where, "attendees");
    e.optional = strings(obj, where, "optional");
    e.location = text(obj, where, "location", false);
    e.text = text(obj, where, "text", false);
    const int inDays = integer("inDays", -3650, 3650, 0);
    const int days = integer("days", 1, 366, 1);
    auto day = [&](int offset) {
        int y = 0, m = 0, d = 0;
        notes::civilFromDays(notes::ticksNow() / notes::kTicksPerDay + inDays + offset, &y, &m, &d);
        char text[16];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", y, m, d);
        return std::string(text);
    };
    if (e.allDay) {
        if (obj.contains("start") || obj.contains("end")) {
            throw FixtureError{where + ": an all-day entry has \"days\", not \"start\" and \"end\""};
        }
        e.start = day(0);
        e.end = day(days - 1);
    } else {
        e.start = day(0) + " " + text(obj, where, "start", true);
        e.end = day(0) + " " + text(obj, where, "end", true);
    }
    LNDatetimeRange range;
    std::string error;
    if (!appointmentRange(e, &range, &error)) {
        throw FixtureError{where + ": " + error};
    }
    return e;
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

} // namespace

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
            p.readers = strings(people[k], at, "readers");
            const json& calendar = array(people[k], at, "calendar");
            for (std::size_t c = 0; c < calendar.size(); ++c) {
                p.calendar.push_back(
                    readAppointment(calendar[c], at + ".calendar[" + std::to_string(c) + "]"));
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

} // namespace nsfadmin
