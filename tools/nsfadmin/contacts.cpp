// Contacts and distribution lists of a personal address book: add-contact and add-list. Everything
// given is checked before the first write, so a refused command leaves the book as it was.
#include "entries.h"

#include <algorithm>
#include <set>

namespace nsfadmin {

namespace {

// The largest value one text item holds: its length is a 16-bit count.
constexpr std::size_t kMaxItemBytes = 65000;

// Items a contact gets from the command itself, or that belong to logins, not to contacts.
const std::set<std::string> kReservedItems{"form", "fullname", "type", "httppassword"};

// UTF-8 to the stand-in's ISO-8859-1; false for malformed UTF-8 or a character beyond Latin-1,
// which Notes text here cannot hold.
bool strictLatin1(const std::string& text, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            *out += static_cast<char>(c);
            ++i;
            continue;
        }
        if ((c & 0xE0) != 0xC0 || i + 1 >= text.size() ||
            (static_cast<unsigned char>(text[i + 1]) & 0xC0) != 0x80)
            return false;
        const unsigned cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
        if (cp < 0x80 || cp > 0xFF)
            return false;
        *out += static_cast<char>(cp);
        i += 2;
    }
    return true;
}

bool hasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string unidText(LNDocument& doc) {
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    return unid.GetText().GetTextPtr();
}

// A name given on the command line as Notes text; an error message when it cannot be one.
std::string checkedName(const std::string& given, const char* what, std::string* latin) {
    if (given.find_first_not_of(' ') == std::string::npos)
        return std::string(what) + " must not be empty";
    if (!strictLatin1(given, latin))
        return std::string(what) + " is not valid UTF-8 or has characters beyond ISO-8859-1: '" + given + "'";
    if (hasControl(*latin))
        return std::string(what) + " must not contain control characters (line ends, tabs, NUL)";
    if (latin->size() > kMaxItemBytes)
        return std::string(what) + " is longer than " + std::to_string(kMaxItemBytes) + " bytes";
    return "";
}

} // namespace

int Admin::addContact(const DbRef& book, const std::string& fullName,
                      const std::vector<std::string>& fields) {
    std::string name;
    if (std::string error = checkedName(fullName, "a contact's full name", &name); !error.empty())
        return impl_->badInput(error);
    LNDatabase db;
    if (int rc = impl_->openDb(book, &db); rc != kOk)
        return rc;
    LNForm form;
    if (db.GetForm("Person", &form) != LNNOERROR || form.Open() != LNNOERROR)
        return impl_->badInput(Impl::describe(book) + " has no \"Person\" form: not an address book");

    struct Field {
        std::string item;
        std::string value; // Latin-1
    };
    std::vector<Field> items;
    std::set<std::string> seen;
    for (const std::string& word : fields) {
        const std::size_t eq = word.find('=');
        if (eq == std::string::npos || eq == 0)
            return impl_->badInput("not ITEM=VALUE: '" + word + "'");
        const std::string item = word.substr(0, eq);
        LNFormField field;
        if (kReservedItems.count(lower(item)) || form.GetField(item.c_str(), &field) != LNNOERROR)
            return impl_->badInput("'" + item + "' is not a contact item of the \"Person\" form");
        if (!seen.insert(lower(item)).second)
            return impl_->badInput("'" + item + "' is given twice");
        std::string value;
        if (!strictLatin1(word.substr(eq + 1), &value))
            return impl_->badInput("the value of " + item +
                                   " is not valid UTF-8 or has characters beyond ISO-8859-1");
        if (value.size() > kMaxItemBytes)
            return impl_->badInput("the value of " + item + " is longer than " +
                                   std::to_string(kMaxItemBytes) + " bytes");
        if (lower(item) == "selectedmailingaddress" && value != "1" && value != "2" && value != "3")
            return impl_->badInput("selectedMailingAddress is 1 (home), 2 (business) or 3 (other), not '" +
                                   word.substr(eq + 1) + "'");
        if (lower(item) != "comment" && hasControl(value))
            return impl_->badInput("the value of " + item + " must not contain control characters");
        items.push_back({item, value});
    }
    form.Close();

    LNDocument doc;
    if (LNSTATUS s = db.CreateDocument(&doc, "Person"); s != LNNOERROR)
        return impl_->notesError("cannot create the contact", s);
    doc.CreateItem("Type", LNText(LNString("Person")), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
    doc.CreateItem("FullName", LNText(LNString(name.c_str())), LNITEMFLAGS_SUMMARY,
                   LNITEMOPTION_DELETE_APPEND);
    for (const Field& f : items) {
        const LNString value(f.value.data(), static_cast<LNINT>(f.value.size()));
        if (lower(f.item) == "comment") {
            LNRichText rich;
            rich.SetValue(value);
            doc.CreateItem(f.item.c_str(), rich, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
        } else if (lower(f.item) == "selectedmailingaddress") {
            LNNumbers number;
            number.Append(static_cast<LNNUMBER>(f.value[0] - '0'));
            doc.CreateItem(f.item.c_str(), number, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
        } else {
            doc.CreateItem(f.item.c_str(), LNText(value), LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_APPEND);
        }
    }
    if (LNSTATUS s = doc.Save(); s != LNNOERROR)
        return impl_->notesError("cannot save the contact", s);
    impl_->out << unidText(doc) << "\n";
    return kOk;
}

int Admin::addList(const DbRef& book, const std::string& listName, const std::string& description,
                   const std::vector<std::string>& members) {
    std::string name;
    std::string text;
    if (std::string error = checkedName(listName, "a list's name", &name); !error.empty())
        return impl_->badInput(error);
    if (!strictLatin1(description, &text) || text.size() > kMaxItemBytes)
        return impl_->badInput("the description is not valid UTF-8 with ISO-8859-1 characters, or too long");
    std::vector<std::string> names;
    for (const std::string& m : members) {
        std::string member;
        if (std::string error = checkedName(m, "a member's name", &member); !error.empty())
            return impl_->badInput(error);
        if (lower(member) == lower(name))
            return impl_->badInput("the list '" + listName + "' cannot contain itself");
        if (std::none_of(names.begin(), names.end(),
                         [&](const std::string& n) { return lower(n) == lower(member); }))
            names.push_back(member);
    }
    if (LNSTATUS s = impl_->start(); s != LNNOERROR)
        return impl_->notesError("cannot start Notes", s);
    notes::admin::DatabaseHandle h;
    if (STATUS s = NSFDbOpen(utf8ToLatin1(netPath(book.server, book.path)).c_str(), h.out()); s != NOERROR)
        return impl_->notesError("cannot open " + Impl::describe(book), s);
    std::vector<NOTEID> found;
    if (STATUS s = findKey(h.get(), "($Users)", name, &found); s != NOERROR)
        return impl_->badInput(Impl::describe(book) + " is not an address book");
    if (!found.empty()) {
        impl_->err << "nsfadmin: '" << listName << "' is already in the address book\n";
        return kNotesError;
    }
    // Members are people or lists of this book or of the server's directory; a name found in
    // neither would be dropped silently when the list is read, so it is refused here.
    notes::admin::DatabaseHandle directory;
    const bool haveDirectory =
        !book.server.empty() && databaseExists(book.server, kDirectory) &&
        NSFDbOpen(utf8ToLatin1(netPath(book.server, kDirectory)).c_str(), directory.out()) == NOERROR;
    std::string unknown;
    for (const std::string& member : names) {
        bool known = findKey(h.get(), "($Users)", member, &found) == NOERROR && !found.empty();
        if (!known && haveDirectory)
            known = findKey(directory.get(), "($Users)", member, &found) == NOERROR && !found.empty();
        if (!known)
            unknown += (unknown.empty() ? "'" : ", '") + latin1ToUtf8(member) + "'";
    }
    if (!unknown.empty())
        return impl_->badInput("no person or list is named " + unknown);

    const std::vector<ItemValue> items{{"Form", {"Group"}},         {"Type", {"Group"}},
                                       {"GroupType", {"1"}},        {"ListName", {name}},
                                       {"ListDescription", {text}}, {"Members", names, true}};
    NOTEID saved = 0;
    if (STATUS s = writeDoc(h.get(), 0, items, &saved); s != NOERROR)
        return impl_->notesError("cannot save the list", s);
    LNDatabase db;
    LNDocument doc;
    if (impl_->openDb(book, &db) == kOk && db.GetDocument(saved, &doc) == LNNOERROR &&
        doc.Open() == LNNOERROR)
        impl_->out << unidText(doc) << "\n";
    return kOk;
}

} // namespace nsfadmin
