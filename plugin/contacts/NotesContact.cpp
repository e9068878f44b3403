#include "contacts/NotesContact.h"

#include "notes/NotesAddressBook.h"
#include "notes/NotesErrors.h"

#include "Lattice/HTMLEncode.h"
#include "Lattice/Logger.h"

#include <string>
#include <vector>

namespace hxMail::hxNotesProvider {

const _contactMapStruct detailFieldMap[] = {
    {"title", "Title", "string"},
    {"first", "FirstName", "string"},
    {"last", "LastName", "string"},
    {"middle", "MiddleInitial", "string"},
    {"suffix", "Suffix", "string"},
    {"jobTitle", "JobTitle", "string"},
    {"company", "CompanyName", "string"},
    {"pager", "PhoneNumber_6", "string"},
    {"spouse", "Spouse", "string"},
    {"manager", "Manager", "string"},
    {"assistant", "Assistant", "string"},
    {"webPage", "WebSite", "string"},
    {"displayName", "FullName", "string"},
    {"otherAddress.city", "OtherCity", "string"},
    // Its own item, so that the other address keeps both its city and its country.
    {"otherAddress.country", "OtherCountry", "string"},
    {"otherAddress.postalCode", "OtherZip", "string"},
    {"otherAddress.state", "OtherState", "string"},
    {"otherAddress.street", "OtherStreet", "string"},
    {"isdn", "Isdn", "string"},
    {"radio", "Radio", "string"},
    {"primaryPhone", "PrimaryPhone", "string"},
    {"otherFax", "OtherFax", "string"},
    {"home2Phone", "Home2Phone", "string"},
    {"telex", "Telex", "string"},
    {"ttyttd", "Ttyttd", "string"},
    {"department", "Department", "string"},
    {"office", "Office", "string"},
    {"profession", "Profession", "string"},
    {"nickname", "NickName", "string"},
    {"assistantPhone", "AssistantPhone", "string"},
    {"business2Phone", "Business2Phone", "string"},
    {"callback", "Callback", "string"},
    {"email1Display", "Email1Display", "string"},
    {"email2Display", "Email2Display", "string"},
    {"email3Display", "Email3Display", "string"},
    {"IMAddress", "IMAddress", "string"},
};
const long detailFieldMapCount = static_cast<long>(sizeof detailFieldMap / sizeof detailFieldMap[0]);

const _contactMapStruct contactFieldMap[] = {
    {"eMail1", "MailAddress", "string"},
    {"eMail2", "MiscPhone1", "string"},
    {"eMail3", "MiscPhone2", "string"},
    {"fileAsName", "FullName", "string"},
    {"businessAddress.street", "OfficeStreetAddress", "string"},
    {"businessAddress.city", "OfficeCity", "string"},
    {"businessAddress.state", "OfficeState", "string"},
    {"businessAddress.postalCode", "OfficeZip", "string"},
    {"businessAddress.country", "OfficeCountry", "string"},
    {"homeAddress.city", "City", "string"},
    {"homeAddress.country", "Country", "string"},
    {"homeAddress.postalCode", "Zip", "string"},
    {"homeAddress.state", "State", "string"},
    {"homeAddress.street", "StreetAddress", "string"},
    {"businessPhone", "OfficePhone", "string"},
    {"homePhone", "PhoneNumber", "string"},
    {"mobile", "PersPager", "string"},
    {"businessFax", "OfficeFax", "string"},
    {"homeFax", "HomeFAXPhoneNumber", "string"},
    {"carPhone", "CarPhone", "string"},
    {"companyPhone", "CompanyPhone", "string"},
    {"otherPhone", "OtherPhone", "string"},
};
const long contactFieldMapCount = static_cast<long>(sizeof contactFieldMap / sizeof contactFieldMap[0]);

const Lattice::String titleWords[] = {"DR.", "DR",  "DOCTOR", "MISS",  "MR.",  "MR",       "MRS.",
                                      "MRS", "MS.", "MS",     "PROF.", "PROF", "PROFESSOR"};
const long titleWordCount = static_cast<long>(sizeof titleWords / sizeof titleWords[0]);
const Lattice::String suffixWords[] = {"I",   "1st", "II",     "2nd", "III", "3rd",
                                       "JR.", "JR",  "JUNIOR", "SR.", "SR",  "SENIOR"};
const long suffixWordCount = static_cast<long>(sizeof suffixWords / sizeof suffixWords[0]);

namespace {

using String = Lattice::String;

constexpr const char* kPersonForm = "Person";

// Notes text is NUL-free: a NUL would end the value for every C reader.
String withoutNul(const String& text) {
    if (text.find('\0') < 0)
        return text;
    std::string out;
    for (char c : text.view())
        if (c != '\0')
            out += c;
    return String(std::move(out));
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

std::string trim(std::string_view text) {
    std::size_t from = 0;
    std::size_t to = text.size();
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;
    return std::string(text.substr(from, to - from));
}

bool hasDigit(std::string_view word) {
    for (char c : word)
        if (c >= '0' && c <= '9')
            return true;
    return false;
}

} // namespace

NotesContact::NotesContact(String& id, MailProvider* provider, NotesAddressBook* book)
    : NotesDocument(id, provider, book, false) {}

NotesContact::NotesContact(MailProvider* provider, NotesAddressBook* book)
    : NotesDocument(provider, kPersonForm, book) {}

NotesContact::NotesContact(MailProvider* provider, LNDocument* doc, NotesAddressBook* book, bool copy)
    : NotesDocument(provider, doc, book, copy) {}

NotesContact::~NotesContact() = default;

long NotesContact::createDocument(MailProvider* owner) {
    return NotesDocument::createDocument(owner, kPersonForm);
}

bool NotesContact::isPerson() {
    if (loadFailed_ || !document)
        return false;
    const String form = getItemString("Form", false);
    return form == kPersonForm || (form.isEmpty() && getItemString("Type", false) == kPersonForm);
}

void NotesContact::loadStringServiceFields(const _contactMapStruct* map, Lattice::SchemaBase* target,
                                           long count) {
    if (!map || !target)
        return;
    for (long i = 0; i < count; ++i) {
        const String text = Lattice::HTMLEncode::string8ToUTF8(getItemString(map[i].item, false));
        target->setMemberByPath(map[i].path, Lattice::Data(text), false);
    }
}

void NotesContact::saveStringServiceFields(const _contactMapStruct* map, Lattice::SchemaBase* source,
                                           long count) {
    if (!map || !source)
        return;
    for (long i = 0; i < count; ++i) {
        Lattice::Data value;
        if (!source->getMemberByPath(map[i].path, value, false))
            continue;
        String text = withoutNul(Lattice::HTMLEncode::UTF8ToString8(value.toString(false)));
        setItemString(map[i].item, text);
    }
}

String NotesContact::oversizedField(hxMail::Contact* contact, Lattice::SchemaBase* detail) {
    const std::pair<const _contactMapStruct*, Lattice::SchemaBase*> maps[] = {{contactFieldMap, contact},
                                                                              {detailFieldMap, detail}};
    const long counts[] = {contactFieldMapCount, detailFieldMapCount};
    for (int m = 0; m < 2; ++m) {
        if (!maps[m].second)
            continue;
        for (long i = 0; i < counts[m]; ++i) {
            Lattice::Data value;
            if (maps[m].second->getMemberByPath(maps[m].first[i].path, value, false) &&
                Lattice::HTMLEncode::UTF8ToString8(value.toString(false)).length() > kMaxValueBytes)
                return maps[m].first[i].path;
        }
    }
    return String();
}

long NotesContact::load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* list, bool flag) {
    Lattice::Ptr<hxMail::Contact> contact(dynamic_cast<hxMail::Contact*>(item.get()));
    if (!contact) {
        contact = new hxMail::Contact();
        item = Lattice::Ptr<hxMail::MessageItem>(contact.get());
    }
    return load(contact, list, flag);
}

long NotesContact::load(Lattice::Ptr<hxMail::Contact>& contact, Lattice::ObjectCollection* list, bool) {
    if (!contact)
        contact = new hxMail::Contact();
    if (!document || loadFailed_)
        return 0;
    ThrowAllErrorsScope throwing;
    throwing.run([&] {
        hxMail::Contact& c = *contact;
        Lattice::Ptr<hxMail::ContactDetail> detail = new hxMail::ContactDetail();
        c.set_id(universalId);
        c.set_iconType(2);
        c.set_contactDetail(detail);
        loadDetail(detail.get());
        c.set_homeAddress(new hxMail::Address());
        c.set_businessAddress(new hxMail::Address());
        loadStringServiceFields(contactFieldMap, &c, contactFieldMapCount);
        for (hxMail::Address* address : {c.get_homeAddress().get(), c.get_businessAddress().get()})
            if (!address->get_street().isEmpty())
                address->set_fullAddress(composeAddress(*address));

        const long chosen = getInt("selectedMailingAddress", -1);
        if (chosen != -1 && chosen != 0) {
            detail->set_selectedMailingAddress(chosen);
        } else if (!c.get_homeAddress()->get_fullAddress().isEmpty()) {
            detail->set_selectedMailingAddress(hxMail::ContactDetail::MailingAddressHome);
        } else if (!c.get_businessAddress()->get_fullAddress().isEmpty()) {
            detail->set_selectedMailingAddress(hxMail::ContactDetail::MailingAddressBusiness);
        } else if (!detail->get_otherAddress()->get_fullAddress().isEmpty()) {
            detail->set_selectedMailingAddress(hxMail::ContactDetail::MailingAddressOther);
        }
        if (list)
            list->add(Lattice::Data(contact.get(), true));
    });
    return 0;
}

long NotesContact::loadDetail(Lattice::SchemaBase* schema) {
    auto* detail = dynamic_cast<hxMail::ContactDetail*>(schema);
    if (!detail || !document || loadFailed_)
        return 0;
    detail->set_otherAddress(new hxMail::Address());
    detail->set_body(getItemTextRT("Comment", true));
    loadStringServiceFields(detailFieldMap, detail, detailFieldMapCount);
    hxMail::Address& other = *detail->get_otherAddress();
    if (!other.get_street().isEmpty())
        other.set_fullAddress(composeAddress(other));
    return 0;
}

bool NotesContact::save(hxMail::Contact* contact, Lattice::SchemaBase* schema) {
    if (!contact || !document || loadFailed_)
        return false;
    if (const String field = oversizedField(contact, schema); !field.isEmpty()) {
        Lattice::Logger::print(
            "saveContact: the value of %s is longer than %ld bytes; the contact is not saved", field.c_str(),
            kMaxValueBytes);
        return false;
    }
    auto* detail = dynamic_cast<hxMail::ContactDetail*>(schema);
    String type(kPersonForm);
    setItemString("Type", type);
    saveStringServiceFields(contactFieldMap, contact, contactFieldMapCount);
    if (detail) {
        // A contact named only by its file-as name keeps that name rather than an empty one.
        const String fileAs = contact->get_fileAsName();
        const bool keepFileAs = detail->get_displayName().isEmpty() && !fileAs.isEmpty();
        saveStringServiceFields(detailFieldMap, detail, detailFieldMapCount);
        if (keepFileAs) {
            String name = withoutNul(Lattice::HTMLEncode::UTF8ToString8(fileAs));
            setItemString("FullName", name);
        }
        setInt("selectedMailingAddress", detail->get_selectedMailingAddress());
        // The notes are read from "Comment"; writing them back keeps an edit of them.
        String notes = withoutNul(Lattice::HTMLEncode::UTF8ToString8(detail->get_body()));
        setItemTextRT("Comment", notes);
    }
    return NotesDocument::save() == 0;
}

void NotesContact::calcNameFields(MailProvider*, hxMail::Contact* contact, hxMail::ContactDetail* detail) {
    if (!detail)
        return;
    String title, first, middle, last, suffix, fileAs;
    parseName(detail->get_displayName(), title, first, middle, last, suffix, fileAs);
    detail->set_first(first);
    detail->set_middle(middle);
    detail->set_last(last);
    detail->set_suffix(suffix);
    detail->set_title(title);
    if (contact)
        contact->set_fileAsName(fileAs);
}

void NotesContact::getIndexLabel(String, hxMail::MessageItem* item, Lattice::ObjectCollection* out) {
    auto* contact = dynamic_cast<hxMail::Contact*>(item);
    if (contact && out)
        out->add(Lattice::Data(contact->get_fileAsName()));
}

Lattice::Ptr<hxMail::ChangeItem> NotesContact::getChangeItem(bool create) {
    if (!create)
        return nullptr;
    Lattice::Ptr<hxMail::ChangeItemCopy> change = new hxMail::ChangeItemCopy();
    if (database)
        change->set_parentId(database->getParentFolderId(noteId, universalId, create));
    Lattice::Ptr<hxMail::Contact> contact = new hxMail::Contact();
    load(contact, nullptr, false);
    change->set_itemId(contact->get_id());
    change->set_item(Lattice::Ptr<hxMail::Item>(contact.get()));
    return Lattice::Ptr<hxMail::ChangeItem>(change.get());
}

// ---- text rules -------------------------------------------------------------------------------

bool NotesContact::matchList(const char* word, const String* list, long count) {
    if (!word || !list)
        return false;
    std::string upper(word);
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    for (long i = 0; i < count; ++i)
        if (list[i].view().find(upper) != std::string_view::npos)
            return true;
    return false;
}

void NotesContact::parseName(const String& fullName, String& title, String& first, String& middle,
                             String& last, String& suffix, String& fileAsName) {
    // Words end at blanks (line ends and NULs count as blanks) and at commas. The "Last, First"
    // form is recognised only when a comma closes the first word; other commas just separate.
    const std::string_view text = fullName.view();
    std::vector<std::string> words;
    std::string word;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        const char c = i < text.size() ? text[i] : ' ';
        if (isBlank(c) || c == ',') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    std::size_t at = 0;
    while (at < text.size() && (isBlank(text[at]) || text[at] == ','))
        ++at;
    while (at < text.size() && !isBlank(text[at]) && text[at] != ',')
        ++at;
    while (at < text.size() && isBlank(text[at]))
        ++at;
    const bool commaForm = at < text.size() && text[at] == ',';
    if (commaForm && words.size() > 1) {
        std::string moved = std::move(words.front());
        words.erase(words.begin());
        if (matchList(words.back().c_str(), suffixWords, suffixWordCount))
            words.insert(words.end() - 1, std::move(moved));
        else
            words.push_back(std::move(moved));
    }

    const std::size_t n = words.size();
    if (n <= 1) {
        last = n == 1 ? String(words[0]) : String();
    } else if (n == 2) {
        first = words[0];
        last = words[1];
    } else {
        std::size_t firstPos = 0;
        if (matchList(words[0].c_str(), titleWords, titleWordCount)) {
            title = words[0];
            firstPos = 1;
        }
        std::size_t middleEnd = n - 1;
        if (matchList(words[n - 1].c_str(), suffixWords, suffixWordCount)) {
            suffix = words[n - 1];
            const std::size_t between = n - 1 - firstPos;
            if (between >= 2) {
                last = words[n - 2];
                middleEnd = n - 2;
            }
        } else {
            last = words[n - 1];
        }
        first = words[firstPos];
        for (std::size_t i = firstPos + 1; i < middleEnd; ++i) {
            if (!middle.isEmpty())
                middle += " ";
            middle += words[i];
        }
    }
    fileAsName = last;
    if (!first.isEmpty())
        fileAsName += ", " + first;
    if (!middle.isEmpty())
        fileAsName += " " + middle;
}

void NotesContact::composeName(const String& title, const String& first, const String& middle,
                               const String& last, const String& suffix, String& fullName,
                               String& fileAsName) {
    fullName = title;
    for (const String* part : {&first, &middle, &last, &suffix})
        if (!part->isEmpty())
            fullName += " " + *part;
    fileAsName = last;
    if (!first.isEmpty())
        fileAsName += ", " + first;
    if (!middle.isEmpty())
        fileAsName += " " + middle;
}

String NotesContact::composeAddress(const hxMail::Address& a) {
    String text = a.get_street() + "\n" + a.get_city();
    if (!a.get_city().isEmpty())
        text += ", ";
    return text + a.get_state() + " " + a.get_postalCode() + "\n" + a.get_country();
}

void NotesContact::parseAddress(const String& fullAddress, hxMail::Address& address) {
    // Line by line, as composed: street; "city, state postal code" (a line without a comma is
    // all city); country. Postal codes are the trailing words with a digit ("SW1A 1AA").
    address.set_fullAddress(fullAddress);
    std::vector<std::string> lines;
    const std::string_view text = fullAddress.view();
    for (std::size_t from = 0; from <= text.size();) {
        std::size_t end = text.find('\n', from);
        if (end == std::string_view::npos)
            end = text.size();
        lines.push_back(trim(text.substr(from, end - from)));
        from = end + 1;
    }
    std::string city, state, postal, country;
    if (lines.size() > 1) {
        const std::string& locality = lines[1];
        const std::size_t comma = locality.find(',');
        if (comma == std::string::npos) {
            city = locality;
        } else {
            city = trim(std::string_view(locality).substr(0, comma));
            std::vector<std::string> words;
            std::string rest = locality.substr(comma + 1);
            for (std::size_t i = 0; i <= rest.size(); ++i) {
                const char c = i < rest.size() ? rest[i] : ' ';
                if (isBlank(c)) {
                    if (!words.empty() && words.back().empty())
                        continue;
                    words.emplace_back();
                } else {
                    if (words.empty())
                        words.emplace_back();
                    words.back() += c;
                }
            }
            while (!words.empty() && words.back().empty())
                words.pop_back();
            std::size_t split = words.size();
            while (split > 0 && hasDigit(words[split - 1]))
                --split;
            for (std::size_t i = 0; i < words.size(); ++i)
                (i < split ? state : postal) += (i == 0 || i == split ? "" : " ") + words[i];
        }
    }
    for (std::size_t i = 2; i < lines.size(); ++i)
        if (!lines[i].empty())
            country += (country.empty() ? "" : "\n") + lines[i];
    address.set_street(lines.empty() ? String() : String(lines[0]));
    address.set_city(city);
    address.set_state(state);
    address.set_postalCode(postal);
    address.set_country(country);
}

LATTICE_REGISTER_CLASS(NotesContact);

} // namespace hxMail::hxNotesProvider
