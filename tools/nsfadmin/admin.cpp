#include "admin.h"
#include "admin_impl.h"

#include "notes/admin/config.h"
#include "notes/lncpp.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;

namespace nsfadmin {

namespace {

const char* typeName(WORD code) {
    for (const ItemType& t : itemTypes()) {
        if (t.code == code) {
            return t.name;
        }
    }
    switch (code) {
    case TYPE_NOTEREF_LIST:
        return "noterefs";
    case TYPE_MIME_PART:
        return "mime";
    case TYPE_OBJECT:
        return "object";
    default:
        return "other";
    }
}

bool parseNumber(const std::string& text, double* out) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    *out = std::strtod(text.c_str(), &end);
    return errno == 0 && end != nullptr && *end == '\0';
}

bool parseZone(const std::string& text, int* out) {
    double v = 0;
    if (!parseNumber(text, &v) || v != static_cast<int>(v) || v < -12 || v > 12) {
        return false;
    }
    *out = static_cast<int>(v);
    return true;
}

} // namespace

const std::vector<ItemType>& itemTypes() {
    static const std::vector<ItemType> kTypes = {
        {"text", TYPE_TEXT},          {"textlist", TYPE_TEXT_LIST},
        {"number", TYPE_NUMBER},      {"numberlist", TYPE_NUMBER_RANGE},
        {"time", TYPE_TIME},          {"timelist", TYPE_TIME_RANGE},
        {"richtext", TYPE_COMPOSITE},
    };
    return kTypes;
}

std::string utf8ToLatin1(const std::string& text) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t extra = c < 0x80 ? 0 : c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 4;
        if (extra == 4 || i + extra >= text.size() + (extra == 0 ? 1 : 0)) {
            out += extra == 0 ? static_cast<char>(c) : '?'; // a stray or cut-off byte
            ++i;
            continue;
        }
        unsigned long cp = extra == 0 ? c : (c & (0x3Fu >> extra));
        bool ok = true;
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char cc = static_cast<unsigned char>(text[i + k]);
            ok = ok && (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        out += ok && cp <= 0xFF ? static_cast<char>(cp) : '?'; // beyond Latin-1
        i += ok ? extra + 1 : 1;
    }
    return out;
}

std::string latin1ToUtf8(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

Admin::Admin(std::string dataDir, std::ostream& out, std::ostream& err)
    : impl_(new Impl(std::move(dataDir), out, err)) {}

Admin::~Admin() {
    delete impl_;
}

int Admin::serverAdd(const std::string& name) {
    const std::string cn = notes::commonName(utf8ToLatin1(name));
    if (cn.empty() || cn == "." || cn == ".." || cn.find_first_of("/\\") != std::string::npos) {
        return impl_->badInput("not a server name: '" + name + "'");
    }
    if (LNSTATUS s = impl_->start(); s != LNNOERROR) {
        return impl_->notesError("cannot start Notes", s);
    }
    const fs::path folder = fs::path(notes::dataDirectory()) / cn;
    std::error_code ec;
    if (fs::exists(folder, ec)) {
        impl_->err << "nsfadmin: server " << latin1ToUtf8(cn) << " already exists\n";
        return kNotesError;
    }
    if (!fs::create_directory(folder, ec)) {
        impl_->err << "nsfadmin: cannot create " << folder.string() << ": " << ec.message() << "\n";
        return kNotesError;
    }
    impl_->out << latin1ToUtf8(cn) << "\n";
    return kOk;
}

int Admin::serverList() {
    if (LNSTATUS s = impl_->start(); s != LNNOERROR) {
        return impl_->notesError("cannot start Notes", s);
    }
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(notes::dataDirectory(), ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_directory()) {
            names.push_back(it->path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        impl_->out << latin1ToUtf8(n) << "\n";
    }
    return kOk;
}

int Admin::dbCreate(const DbRef& db, const std::string& title) {
    return dbCreate(db, title, "");
}

int Admin::dbCreate(const DbRef& db, const std::string& title, const std::string& templateName) {
    (void)title;
    notes::templates::Kind kind{};
    if (!templateName.empty() && !notes::templates::kindFromName(templateName, &kind)) {
        return impl_->badInput("unknown template '" + templateName + "' (names, pab or mail)");
    }
    if (LNSTATUS s = impl_->start(); s != LNNOERROR) {
        return impl_->notesError("cannot start Notes", s);
    }
    if (db.path.empty()) {
        return impl_->badInput("a database path is needed");
    }
    if (!templateName.empty()) {
        if (STATUS s = notes::templates::create(utf8ToLatin1(db.server), utf8ToLatin1(db.path), kind);
            s != NOERROR) {
            return impl_->notesError("cannot create database " + Impl::describe(db), s);
        }
        return kOk;
    }
    const std::string net = utf8ToLatin1(db.server.empty() ? db.path : db.server + "!!" + db.path);
    if (STATUS s = NSFDbCreate(net.c_str(), DBCLASS_NOTEFILE, FALSE); s != NOERROR) {
        return impl_->notesError("cannot create database " + Impl::describe(db), s);
    }
    return kOk;
}

int Admin::dbList(const std::string& server) {
    if (LNSTATUS s = impl_->start(); s != LNNOERROR) {
        return impl_->notesError("cannot start Notes", s);
    }
    std::string folder;
    if (STATUS s = notes::serverFolder(utf8ToLatin1(server), &folder); s != NOERROR) {
        return impl_->notesError("cannot list server " + server, s);
    }
    std::vector<std::string> paths;
    std::error_code ec;
    // The local folder also holds the server folders; list those databases under their servers.
    const bool local = notes::commonName(server).empty();
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (local && it.depth() == 0 && it->is_directory()) {
            it.disable_recursion_pending();
            continue;
        }
        if (it->is_regular_file() && notes::nameEquals(it->path().extension().string(), ".nsf")) {
            paths.push_back(fs::relative(it->path(), folder).generic_string());
        }
    }
    std::sort(paths.begin(), paths.end());
    for (const std::string& p : paths) {
        impl_->out << latin1ToUtf8(p) << "\n";
    }
    return kOk;
}

int Admin::docCreate(const DbRef& ref, const std::string& form, const std::vector<std::string>& items) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& item : items) {
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0) {
            return impl_->badInput("an item is NAME=VALUE, not '" + item + "'");
        }
        pairs.emplace_back(utf8ToLatin1(item.substr(0, eq)), utf8ToLatin1(item.substr(eq + 1)));
    }
    LNDatabase db;
    if (int rc = impl_->openDb(ref, &db); rc != kOk) {
        return rc;
    }
    LNDocument doc;
    if (LNSTATUS s = db.CreateDocument(&doc, utf8ToLatin1(form)); s != LNNOERROR) {
        return impl_->notesError("cannot create document", s);
    }
    for (const auto& [name, value] : pairs) {
        const NOTEHANDLE h = doc.GetNoteHandle();
        NSFItemDelete(h, name.c_str(), static_cast<WORD>(name.size()));
        NSFItemAppend(h, ITEM_SUMMARY, name.c_str(), static_cast<WORD>(name.size()), TYPE_TEXT, value.data(),
                      static_cast<DWORD>(value.size()));
    }
    if (LNSTATUS s = doc.Save(); s != LNNOERROR) {
        return impl_->notesError("cannot save document", s);
    }
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    impl_->out << unid.GetText().str() << "\n";
    return kOk;
}

int Admin::docList(const DbRef& ref, const std::string& form) {
    LNDatabase db;
    if (int rc = impl_->openDb(ref, &db); rc != kOk) {
        return rc;
    }
    LNNoteArray notesArray;
    if (LNSTATUS s = db.GetNotes(&notesArray, LNNOTETYPE_DOCUMENT); s != LNNOERROR) {
        return impl_->notesError("cannot list documents", s);
    }
    const std::string wanted = utf8ToLatin1(form);
    for (LNINT i = 0; i < notesArray.GetCount(); ++i) {
        LNDocument doc = notesArray[i];
        if (doc.Open() != LNNOERROR) {
            continue;
        }
        LNString docForm;
        doc.GetForm(&docForm);
        if (wanted.empty() || notes::nameEquals(docForm.str(), wanted)) {
            LNUniversalID unid;
            doc.GetUniversalID(&unid);
            impl_->out << unid.GetText().str() << " " << latin1ToUtf8(docForm.str()) << "\n";
        }
        doc.Close();
    }
    return kOk;
}

int Admin::docShow(const DbRef& ref, const std::string& unid) {
    LNDatabase db;
    LNDocument doc;
    if (int rc = impl_->openDoc(ref, unid, &db, &doc); rc != kOk) {
        return rc;
    }
    const auto note = notes::handles::note(doc.GetNoteHandle());
    LNUniversalID id;
    doc.GetUniversalID(&id);
    char noteId[16];
    std::snprintf(noteId, sizeof noteId, "0x%X", doc.GetNoteID());
    impl_->out << "UNID: " << id.GetText().str() << "\n"
               << "Note ID: " << noteId << "\n"
               << "Created: " << doc.GetCreated().GetText().str() << "\n"
               << "Modified: " << doc.GetLastModified().GetText().str() << "\n";
    for (const notes::Item& item : note->items) {
        impl_->out << latin1ToUtf8(item.name) << " (" << typeName(item.type)
                   << "): " << impl_->itemText(item, "; ") << "\n";
    }
    return kOk;
}

int Admin::docDelete(const DbRef& ref, const std::string& unid) {
    LNDatabase db;
    LNDocument doc;
    if (int rc = impl_->openDoc(ref, unid, &db, &doc); rc != kOk) {
        return rc;
    }
    if (LNSTATUS s = db.DeleteDocument(&doc); s != LNNOERROR) {
        return impl_->notesError("cannot delete document " + unid, s);
    }
    return kOk;
}

int Admin::itemSet(const DbRef& ref, const std::string& unid, const std::string& name,
                   const std::string& type, const std::vector<std::string>& values, const std::string& zone) {
    const auto& types = itemTypes();
    const auto t =
        std::find_if(types.begin(), types.end(), [&](const ItemType& it) { return type == it.name; });
    if (t == types.end()) {
        return impl_->badInput("unknown item type '" + type + "'");
    }
    const bool single =
        t->code == TYPE_TEXT || t->code == TYPE_NUMBER || t->code == TYPE_TIME || t->code == TYPE_COMPOSITE;
    if (single && values.size() != 1) {
        return impl_->badInput("type " + type + " takes exactly one value");
    }
    int zoneHours = 0;
    if (!zone.empty() && !parseZone(zone, &zoneHours)) {
        return impl_->badInput("not a time zone (hours west of GMT, -12 to 12): " + zone);
    }
    std::string value;
    switch (t->code) {
    case TYPE_TEXT:
        value = utf8ToLatin1(values.front());
        break;
    case TYPE_COMPOSITE:
        value = notes::ods::encodeRichText(utf8ToLatin1(values.front()));
        break;
    case TYPE_TEXT_LIST: {
        std::vector<std::string> texts;
        for (const std::string& v : values) {
            texts.push_back(utf8ToLatin1(v));
        }
        value = notes::ods::encodeTextList(texts);
        break;
    }
    case TYPE_NUMBER:
    case TYPE_NUMBER_RANGE: {
        std::vector<double> numbers;
        for (const std::string& v : values) {
            double d = 0;
            if (!parseNumber(v, &d)) {
                return impl_->badInput("not a number: '" + v + "'");
            }
            numbers.push_back(d);
        }
        value = t->code == TYPE_NUMBER
                    ? std::string(reinterpret_cast<const char*>(&numbers[0]), sizeof(double))
                    : notes::ods::encodeNumbers(numbers);
        break;
    }
    default: { // times
        std::vector<TIMEDATE> times;
        for (const std::string& v : values) {
            notes::Fields f;
            if (!notes::parseDatetime(v, &f)) {
                return impl_->badInput("not a date or time: '" + v + "' (use MM/DD/YYYY [h:mm[:ss] AM|PM])");
            }
            if (!zone.empty()) {
                f.zone = zoneHours;
                f.dst = false;
            }
            times.push_back(notes::fieldsToTimedate(f));
        }
        value = t->code == TYPE_TIME ? std::string(reinterpret_cast<const char*>(&times[0]), sizeof(TIMEDATE))
                                     : notes::ods::encodeTimes(times, {});
        break;
    }
    }
    LNDatabase db;
    LNDocument doc;
    if (int rc = impl_->openDoc(ref, unid, &db, &doc); rc != kOk) {
        return rc;
    }
    const std::string itemName = utf8ToLatin1(name);
    const NOTEHANDLE h = doc.GetNoteHandle();
    // A call deletes one item: a value kept in several items is replaced whole.
    while (NSFItemDelete(h, itemName.c_str(), static_cast<WORD>(itemName.size())) == NOERROR) {
    }
    const WORD flags = t->code == TYPE_COMPOSITE ? 0 : ITEM_SUMMARY;
    if (STATUS s = NSFItemAppend(h, flags, itemName.c_str(), static_cast<WORD>(itemName.size()), t->code,
                                 value.data(), static_cast<DWORD>(value.size()));
        s != NOERROR) {
        return impl_->notesError("cannot set item " + name, s);
    }
    if (LNSTATUS s = doc.Save(); s != LNNOERROR) {
        return impl_->notesError("cannot save document " + unid, s);
    }
    return kOk;
}

int Admin::itemShow(const DbRef& ref, const std::string& unid, const std::string& name) {
    LNDatabase db;
    LNDocument doc;
    if (int rc = impl_->openDoc(ref, unid, &db, &doc); rc != kOk) {
        return rc;
    }
    const auto note = notes::handles::note(doc.GetNoteHandle());
    const notes::Item* item = note->find(utf8ToLatin1(name));
    if (item == nullptr) {
        return impl_->notesError("item " + name, ERR_ITEM_NOT_FOUND);
    }
    impl_->out << impl_->itemText(*item, "\n") << "\n";
    return kOk;
}

int Admin::itemDelete(const DbRef& ref, const std::string& unid, const std::string& name) {
    LNDatabase db;
    LNDocument doc;
    if (int rc = impl_->openDoc(ref, unid, &db, &doc); rc != kOk) {
        return rc;
    }
    if (LNSTATUS s = doc.DeleteItem(utf8ToLatin1(name)); s != LNNOERROR) {
        return impl_->notesError("item " + name, s);
    }
    if (LNSTATUS s = doc.Save(); s != LNNOERROR) {
        return impl_->notesError("cannot save document " + unid, s);
    }
    return kOk;
}

} // namespace nsfadmin
