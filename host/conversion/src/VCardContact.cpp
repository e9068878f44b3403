// The host contact model and vCard properties, both ways. Every text the model holds gets a
// place in the card, so that contact -> card -> contact gives the same contact; a card's extra
// instances (a fourth e-mail, a third home phone) fill the model's spare slots before they are
// left out.
#include "hxMailConversion/VCard.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <set>

namespace hxMailConversion::vcard {

namespace {

std::string get(const Lattice::Object& object, const char* path) {
    Lattice::Data value;
    object.getMemberByPath(path, value);
    return value.toString().str();
}

void set(Lattice::Object& object, const char* path, const std::string& value) {
    object.setMemberByPath(path, Lattice::Data(Lattice::String(value)), false);
}

std::string join(const std::vector<std::string>& values, const char* sep) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i)
            out += sep;
        out += values[i];
    }
    return out;
}

Property textProperty(const char* name, const std::string& value, bool separators = true) {
    Property p;
    p.name = name;
    p.value = escape(value, separators);
    return p;
}

void addParam(Property& p, const char* name, std::vector<std::string> values) {
    p.params.push_back({name, std::move(values)});
}

// Phones: the member, where it lives, the TYPE values it is written with, and the kind its card
// form is read back as (kinds are tried in this table's order when several slots share one).
enum class PhoneKind {
    Assistant,
    Callback,
    Telex,
    Radio,
    TextPhone,
    Isdn,
    Pager,
    Car,
    Company,
    HomeFax,
    WorkFax,
    Fax,
    Cell,
    Home,
    Work,
    Primary,
    Other
};

struct PhoneSlot {
    bool onDetail;
    const char* path;
    std::vector<std::string> types;
    PhoneKind kind;
};

const std::vector<PhoneSlot>& phoneSlots() {
    static const std::vector<PhoneSlot> slots = {
        {false, "businessPhone", {"work", "voice"}, PhoneKind::Work},
        {true, "business2Phone", {"work", "voice"}, PhoneKind::Work},
        {false, "homePhone", {"home", "voice"}, PhoneKind::Home},
        {true, "home2Phone", {"home", "voice"}, PhoneKind::Home},
        {false, "mobile", {"cell"}, PhoneKind::Cell},
        {false, "businessFax", {"work", "fax"}, PhoneKind::WorkFax},
        {false, "homeFax", {"home", "fax"}, PhoneKind::HomeFax},
        {true, "otherFax", {"fax"}, PhoneKind::Fax},
        {false, "carPhone", {"car"}, PhoneKind::Car},
        {false, "companyPhone", {"main"}, PhoneKind::Company},
        {true, "primaryPhone", {"voice"}, PhoneKind::Primary}, // with PREF=1
        {true, "pager", {"pager"}, PhoneKind::Pager},
        {true, "isdn", {"isdn"}, PhoneKind::Isdn},
        {true, "radio", {"x-radio"}, PhoneKind::Radio},
        {true, "telex", {"x-telex"}, PhoneKind::Telex},
        {true, "ttyttd", {"textphone"}, PhoneKind::TextPhone},
        {true, "assistantPhone", {"x-assistant"}, PhoneKind::Assistant},
        {true, "callback", {"x-callback"}, PhoneKind::Callback},
        {false, "otherPhone", {"voice"}, PhoneKind::Other},
    };
    return slots;
}

PhoneKind phoneKind(const Property& tel) {
    auto any = [&](std::initializer_list<const char*> types) {
        return std::any_of(types.begin(), types.end(), [&](const char* t) { return tel.hasType(t); });
    };
    if (any({"x-assistant", "assistant"}))
        return PhoneKind::Assistant;
    if (any({"x-callback", "callback"}))
        return PhoneKind::Callback;
    if (any({"x-telex", "telex", "tlx"}))
        return PhoneKind::Telex;
    if (any({"x-radio", "radio"}))
        return PhoneKind::Radio;
    if (any({"textphone", "tty", "tdd", "x-ttytdd"}))
        return PhoneKind::TextPhone;
    if (any({"isdn"}))
        return PhoneKind::Isdn;
    if (any({"pager"}))
        return PhoneKind::Pager;
    if (any({"car"}))
        return PhoneKind::Car;
    if (any({"main", "x-company", "company"}))
        return PhoneKind::Company;
    if (any({"fax"}))
        return tel.hasType("home")   ? PhoneKind::HomeFax
               : tel.hasType("work") ? PhoneKind::WorkFax
                                     : PhoneKind::Fax;
    if (any({"cell", "mobile", "iphone"}))
        return PhoneKind::Cell;
    if (any({"home"}))
        return PhoneKind::Home;
    if (any({"work"}))
        return PhoneKind::Work;
    return tel.pref() < 100 ? PhoneKind::Primary : PhoneKind::Other;
}

// Addresses: home (TYPE=home), business (TYPE=work), other (no TYPE); selectedMailingAddress
// numbers them 1, 2, 3.
constexpr std::array<const char*, 3> kAddressTypes = {"home", "work", nullptr};

// People around the contact: RELATED in 4.0, and the X- properties other applications write.
struct RelationSlot {
    const char* path;
    const char* type; // written as RELATED;TYPE=...;VALUE=text
    std::vector<std::string> types;
    std::vector<std::string> properties;
    const char* appleLabel; // X-ABRELATEDNAMES labelled through its group's X-ABLabel
};

const std::vector<RelationSlot>& relationSlots() {
    static const std::vector<RelationSlot> slots = {
        {"spouse", "spouse", {"spouse"}, {"X-SPOUSE", "X-MS-SPOUSE", "X-EVOLUTION-SPOUSE"}, "spouse"},
        {"manager",
         "x-manager",
         {"x-manager", "manager"},
         {"X-MANAGER", "X-MS-MANAGER", "X-EVOLUTION-MANAGER"},
         "manager"},
        {"assistant",
         "x-assistant",
         {"x-assistant", "assistant", "agent"},
         {"X-ASSISTANT", "X-MS-ASSISTANT", "X-EVOLUTION-ASSISTANT"},
         "assistant"},
    };
    return slots;
}

const std::set<std::string>& imProperties() {
    static const std::set<std::string> names = {"X-JABBER",      "X-SKYPE",    "X-SKYPE-USERNAME", "X-AIM",
                                                "X-ICQ",         "X-MSN",      "X-YAHOO",          "X-GTALK",
                                                "X-GOOGLE-TALK", "X-GADUGADU", "X-GROUPWISE",      "X-QQ"};
    return names;
}

// Properties about the card itself, not the person: read past without a word.
const std::set<std::string>& cardProperties() {
    static const std::set<std::string> names = {"PRODID",  "REV",          "UID",       "KIND",
                                                "SOURCE",  "CLIENTPIDMAP", "X-ABLABEL", "X-ABUID",
                                                "X-ABADR", "NAME",         "PROFILE",   "LABEL"};
    return names;
}

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return text;
}

// Properties in PREF order, the order of the card among equals.
std::vector<const Property*> byPref(const Card& card, const std::function<bool(const Property&)>& wanted) {
    std::vector<const Property*> out;
    for (const Property& p : card.properties)
        if (wanted(p))
            out.push_back(&p);
    std::stable_sort(out.begin(), out.end(),
                     [](const Property* a, const Property* b) { return a->pref() < b->pref(); });
    return out;
}

std::string displayOf(const hxMail::Contact& contact, const hxMail::ContactDetail& detail) {
    std::vector<std::string> parts;
    for (const Lattice::String* part : {&detail.get_title(), &detail.get_first(), &detail.get_middle(),
                                        &detail.get_last(), &detail.get_suffix()})
        if (!part->isEmpty())
            parts.push_back(part->str());
    if (!parts.empty())
        return join(parts, " ");
    if (!contact.get_fileAsName().isEmpty())
        return contact.get_fileAsName().str();
    return contact.get_eMail1().str();
}

} // namespace

std::string fileAsOf(const hxMail::ContactDetail& detail) {
    std::string out = detail.get_last().str();
    if (!detail.get_first().isEmpty())
        out += ", " + detail.get_first().str();
    if (!detail.get_middle().isEmpty())
        out += " " + detail.get_middle().str();
    return out;
}

std::string fullAddressOf(const hxMail::Address& a) {
    if (a.get_street().isEmpty() && a.get_city().isEmpty() && a.get_state().isEmpty() &&
        a.get_postalCode().isEmpty() && a.get_country().isEmpty())
        return std::string();
    std::string out = a.get_street().str() + "\n" + a.get_city().str();
    if (!a.get_city().isEmpty())
        out += ", ";
    out += a.get_state().str() + " " + a.get_postalCode().str() + "\n" + a.get_country().str();
    return out;
}

Card fromContact(const hxMail::Contact& contact, const hxMail::ContactDetail& detail) {
    Card card;
    card.version = "4.0";
    auto& props = card.properties;
    props.push_back({"", "PRODID", {}, "-//hxMail//Contacts//EN"});

    const std::string display =
        detail.get_displayName().isEmpty() ? displayOf(contact, detail) : detail.get_displayName().str();
    props.push_back(textProperty("FN", display));
    const std::array<const Lattice::String*, 5> name = {&detail.get_last(), &detail.get_first(),
                                                        &detail.get_middle(), &detail.get_title(),
                                                        &detail.get_suffix()};
    if (std::any_of(name.begin(), name.end(), [](const Lattice::String* s) { return !s->isEmpty(); })) {
        Property n;
        n.name = "N";
        for (std::size_t i = 0; i < name.size(); ++i)
            n.value += (i ? ";" : "") + escape(name[i]->str());
        props.push_back(std::move(n));
    }
    // Written only when it is not what the names give, so that other applications keep sorting by
    // their own rule; an empty one is written too, or reading would derive one.
    if (contact.get_fileAsName().str() != fileAsOf(detail))
        props.push_back(textProperty("X-FILE-AS", contact.get_fileAsName().str()));
    if (!detail.get_nickname().isEmpty())
        props.push_back(textProperty("NICKNAME", detail.get_nickname().str()));
    if (!detail.get_company().isEmpty() || !detail.get_department().isEmpty()) {
        Property org;
        org.name = "ORG";
        org.value = escape(detail.get_company().str());
        if (!detail.get_department().isEmpty())
            org.value += ";" + escape(detail.get_department().str());
        props.push_back(std::move(org));
    }
    if (!detail.get_jobTitle().isEmpty())
        props.push_back(textProperty("TITLE", detail.get_jobTitle().str()));
    if (!detail.get_profession().isEmpty())
        props.push_back(textProperty("ROLE", detail.get_profession().str()));
    if (!detail.get_office().isEmpty())
        props.push_back(textProperty("X-OFFICE", detail.get_office().str()));

    const std::array<std::pair<const char*, const char*>, 3> emails = {
        {{"eMail1", "email1Display"}, {"eMail2", "email2Display"}, {"eMail3", "email3Display"}}};
    for (std::size_t i = 0; i < emails.size(); ++i) {
        const std::string address = get(contact, emails[i].first);
        const std::string shown = get(detail, emails[i].second);
        if (address.empty() && shown.empty())
            continue;
        Property email = textProperty("EMAIL", address, false);
        if (i == 0)
            addParam(email, "PREF", {"1"});
        if (!shown.empty())
            addParam(email, "X-DISPLAY", {shown});
        props.push_back(std::move(email));
    }

    for (const PhoneSlot& slot : phoneSlots()) {
        const std::string number = slot.onDetail ? get(detail, slot.path) : get(contact, slot.path);
        if (number.empty())
            continue;
        Property tel = textProperty("TEL", number);
        addParam(tel, "TYPE", slot.types);
        if (slot.kind == PhoneKind::Primary)
            addParam(tel, "PREF", {"1"});
        props.push_back(std::move(tel));
    }

    const std::array<const hxMail::Address*, 3> addresses = {contact.get_homeAddress().get(),
                                                             contact.get_businessAddress().get(),
                                                             detail.get_otherAddress().get()};
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const hxMail::Address* address = addresses[i];
        static const hxMail::Address empty;
        const hxMail::Address& a = address ? *address : empty;
        const bool selected = detail.get_selectedMailingAddress() == static_cast<long>(i + 1);
        const std::string composed = fullAddressOf(a);
        if (composed.empty() && a.get_fullAddress().isEmpty() && !selected)
            continue;
        Property adr;
        adr.name = "ADR";
        adr.value = ";;" + escape(a.get_street().str()) + ";" + escape(a.get_city().str()) + ";" +
                    escape(a.get_state().str()) + ";" + escape(a.get_postalCode().str()) + ";" +
                    escape(a.get_country().str());
        if (kAddressTypes[i])
            addParam(adr, "TYPE", {kAddressTypes[i]});
        if (selected)
            addParam(adr, "PREF", {"1"});
        if (a.get_fullAddress().str() != composed)
            addParam(adr, "LABEL", {a.get_fullAddress().str()});
        props.push_back(std::move(adr));
    }

    if (!detail.get_webPage().isEmpty())
        props.push_back(textProperty("URL", detail.get_webPage().str(), false));
    if (!detail.get_IMAddress().isEmpty())
        props.push_back(textProperty("IMPP", detail.get_IMAddress().str(), false));
    for (const RelationSlot& slot : relationSlots()) {
        const std::string who = get(detail, slot.path);
        if (who.empty())
            continue;
        Property related = textProperty("RELATED", who);
        addParam(related, "TYPE", {slot.type});
        addParam(related, "VALUE", {"text"});
        props.push_back(std::move(related));
    }
    if (!detail.get_body().isEmpty())
        props.push_back(textProperty("NOTE", detail.get_body().str()));
    return card;
}

Lattice::Ptr<hxMail::Contact> toContact(const Card& card, std::vector<std::string>* left) {
    Lattice::Ptr<hxMail::Contact> contact(new hxMail::Contact());
    Lattice::Ptr<hxMail::ContactDetail> detail(new hxMail::ContactDetail());
    contact->set_contactDetail(detail);
    std::set<const Property*> used;
    auto leave = [&](const Property& p) {
        if (left)
            left->push_back(p.name);
    };
    // The first of the wanted properties in PREF order fills `path`; the rest are left out. Empty
    // ones hold nothing and are passed over, unless emptiness itself is the value.
    auto single = [&](Lattice::Object& target, const char* path,
                      const std::function<bool(const Property&)>& wanted,
                      const std::function<std::string(const Property&)>& value, bool keepEmpty = false) {
        bool filled = false;
        for (const Property* p : byPref(card, wanted)) {
            used.insert(p);
            const std::string v = value(*p);
            if (v.empty() && !keepEmpty)
                continue;
            if (filled) {
                leave(*p);
                continue;
            }
            set(target, path, v);
            filled = true;
        }
        return filled;
    };
    auto named = [](const char* name) { return [name](const Property& p) { return p.name == name; }; };
    auto text = [](const Property& p) { return p.text(); };

    const bool hasDisplay = single(*detail, "displayName", named("FN"), text);
    if (const Property* n = card.find("N")) {
        used.insert(n);
        const auto parts = n->components();
        static const std::array<const char*, 5> paths = {"last", "first", "middle", "title", "suffix"};
        for (std::size_t i = 0; i < paths.size() && i < parts.size(); ++i)
            set(*detail, paths[i], join(parts[i], " "));
    }
    const bool hasFileAs = single(
        *contact, "fileAsName",
        [](const Property& p) { return p.name == "X-FILE-AS" || p.name == "X-EVOLUTION-FILE-AS"; }, text,
        true);
    if (!hasFileAs)
        contact->set_fileAsName(fileAsOf(*detail));
    auto list = [](const Property& p) {
        std::vector<std::string> values;
        for (const auto& component : p.components())
            values.insert(values.end(), component.begin(), component.end());
        return join(values, ", ");
    };
    single(*detail, "nickname", named("NICKNAME"), list);
    if (const Property* org = card.find("ORG")) {
        used.insert(org);
        // Commas in ORG are text even where a writer forgot to escape them.
        std::vector<std::string> units;
        for (const auto& component : org->components())
            units.push_back(join(component, ","));
        detail->set_company(units.empty() ? std::string() : units.front());
        if (units.size() > 1)
            detail->set_department(join(std::vector<std::string>(units.begin() + 1, units.end()), "; "));
    }
    single(*detail, "jobTitle", named("TITLE"), text);
    single(*detail, "profession", named("ROLE"), text);
    single(*detail, "office", named("X-OFFICE"), text);

    // E-mail addresses fill eMail1..3 in PREF order.
    {
        static const std::array<std::pair<const char*, const char*>, 3> emails = {
            {{"eMail1", "email1Display"}, {"eMail2", "email2Display"}, {"eMail3", "email3Display"}}};
        std::size_t next = 0;
        for (const Property* p : byPref(card, named("EMAIL"))) {
            used.insert(p);
            const std::string address = p->text();
            const Parameter* display = p->param("X-DISPLAY");
            const std::string shown = display && !display->values.empty() ? display->values.front() : "";
            if (address.empty() && shown.empty())
                continue;
            if (next == emails.size()) {
                leave(*p);
                continue;
            }
            set(*contact, emails[next].first, address);
            set(*detail, emails[next].second, shown);
            ++next;
        }
    }

    // Phones go to the first free slot of their kind, else to otherPhone.
    {
        std::set<const char*> taken;
        for (const Property& p : card.properties) {
            if (p.name != "TEL")
                continue;
            used.insert(&p);
            std::string number = p.text();
            const Parameter* valueType = p.param("VALUE");
            if (valueType && !valueType->values.empty() && lower(valueType->values.front()) == "uri" &&
                lower(number.substr(0, 4)) == "tel:")
                number.erase(0, 4);
            if (number.empty())
                continue;
            const PhoneKind kind = phoneKind(p);
            const PhoneSlot* target = nullptr;
            for (const PhoneKind wanted : {kind, PhoneKind::Other}) {
                for (const PhoneSlot& slot : phoneSlots())
                    if (slot.kind == wanted && !taken.count(slot.path)) {
                        target = &slot;
                        break;
                    }
                if (target)
                    break;
            }
            if (!target) {
                leave(p);
                continue;
            }
            taken.insert(target->path);
            if (target->onDetail)
                set(*detail, target->path, number);
            else
                set(*contact, target->path, number);
        }
    }

    // Addresses by TYPE; a second of a kind goes to the other address when that is free.
    {
        std::array<const Property*, 3> placed{};
        std::array<std::string, 3> labels;
        for (const Property& p : card.properties) {
            if (p.name != "ADR")
                continue;
            used.insert(&p);
            // An empty address holds nothing, unless it is the one to mail to.
            const std::string parts = p.text();
            if (parts.find_first_not_of(';') == std::string::npos && !p.param("LABEL") && p.pref() == 100)
                continue;
            std::size_t slot = p.hasType("home") ? 0 : p.hasType("work") ? 1 : 2;
            if (placed[slot])
                slot = 2;
            if (placed[slot]) {
                leave(p);
                continue;
            }
            placed[slot] = &p;
        }
        // 3.0's LABEL property gives the formatted text of the address of its TYPE.
        for (const Property& p : card.properties)
            if (p.name == "LABEL") {
                const std::size_t slot = p.hasType("home") ? 0 : p.hasType("work") ? 1 : 2;
                if (labels[slot].empty())
                    labels[slot] = p.text();
            }
        int bestPref = 100;
        for (std::size_t i = 0; i < placed.size(); ++i) {
            if (!placed[i])
                continue;
            const Property& p = *placed[i];
            Lattice::Ptr<hxMail::Address> a(new hxMail::Address());
            const auto parts = p.components();
            auto part = [&](std::size_t k, const char* sep) {
                return k < parts.size() ? join(parts[k], sep) : std::string();
            };
            std::vector<std::string> street;
            for (std::size_t k : {2u, 1u, 0u})
                if (!part(k, "\n").empty())
                    street.push_back(part(k, "\n"));
            a->set_street(join(street, "\n"));
            a->set_city(part(3, ", "));
            a->set_state(part(4, ", "));
            a->set_postalCode(part(5, ", "));
            a->set_country(part(6, ", "));
            if (const Parameter* label = p.param("LABEL"); label && !label->values.empty())
                a->set_fullAddress(label->values.front());
            else if (!labels[i].empty())
                a->set_fullAddress(labels[i]);
            else
                a->set_fullAddress(fullAddressOf(*a));
            if (i == 0)
                contact->set_homeAddress(a);
            else if (i == 1)
                contact->set_businessAddress(a);
            else
                detail->set_otherAddress(a);
            if (p.pref() < bestPref) {
                bestPref = p.pref();
                detail->set_selectedMailingAddress(static_cast<long>(i + 1));
            }
        }
    }

    single(*detail, "webPage", named("URL"), text);
    if (!single(*detail, "IMAddress", named("IMPP"), text))
        single(
            *detail, "IMAddress", [](const Property& p) { return imProperties().count(p.name) > 0; }, text);

    // Apple labels a grouped property through an X-ABLabel of the same group.
    std::map<std::string, std::string> labels;
    for (const Property& p : card.properties)
        if (p.name == "X-ABLABEL" && !p.group.empty())
            labels.emplace(p.group, lower(p.text()));
    auto label = [&](const Property& p) {
        const auto found = p.group.empty() ? labels.end() : labels.find(p.group);
        return found == labels.end() ? std::string() : found->second;
    };
    for (const RelationSlot& slot : relationSlots()) {
        single(
            *detail, slot.path,
            [&](const Property& p) {
                if (p.name == "RELATED")
                    return std::any_of(slot.types.begin(), slot.types.end(),
                                       [&](const std::string& t) { return p.hasType(t); });
                if (p.name == "X-ABRELATEDNAMES")
                    return label(p).find(slot.appleLabel) != std::string::npos;
                return std::find(slot.properties.begin(), slot.properties.end(), p.name) !=
                       slot.properties.end();
            },
            text);
    }

    {
        std::vector<std::string> notes;
        for (const Property& p : card.properties)
            if (p.name == "NOTE") {
                used.insert(&p);
                notes.push_back(p.text());
            }
        detail->set_body(join(notes, "\n"));
    }

    // A card without a usable FN is named as the host names one without a display name.
    if (!hasDisplay || detail->get_displayName().isEmpty())
        detail->set_displayName(displayOf(*contact, *detail));

    for (const Property& p : card.properties)
        if (!used.count(&p) && !cardProperties().count(p.name))
            leave(p);
    return contact;
}

} // namespace hxMailConversion::vcard
