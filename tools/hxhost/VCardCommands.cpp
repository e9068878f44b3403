// contact-export and contact-import: a contact of the personal address book as a vCard and back,
// through the host's contact interfaces only.
#include "Commands.h"

#include "hxMailConversion/VCard.h"

#include "Lattice/HTMLEncode.h"

#include <cctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <set>
#include <sstream>
#include <strings.h>

namespace hxhost {

namespace {

namespace vcard = hxMailConversion::vcard;

// The listed form of the contacts of a folder (addresses, e-mails, phones): the host has no
// operation that opens one contact's list fields by id. Pages are read until one brings nothing
// new, which also ends the listing at a view's last entry. `wanted` ends the reading early when it
// answers true for a contact.
std::vector<Lattice::Ptr<hxMail::Contact>>
folderContacts(CommandContext& context, const Lattice::String& folder,
               const std::function<bool(const hxMail::Contact&)>& wanted = nullptr) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    constexpr long kPage = 200;
    std::set<std::string> seen;
    std::vector<Lattice::Ptr<hxMail::Contact>> out;
    for (long start = 0;;) {
        Lattice::ObjectCollection items;
        provider.getFolderItemsPage(folder, start, kPage, &items);
        bool fresh = false;
        for (const Lattice::Data& d : items)
            if (auto* contact = d.toObject<hxMail::Contact>()) {
                if (seen.insert(contact->get_id().str()).second) {
                    fresh = true;
                    out.emplace_back(contact);
                    if (wanted && wanted(*contact))
                        return out;
                }
            } else if (auto* item = d.toObject<hxMail::Item>()) {
                fresh |= seen.insert(item->get_id().str()).second; // a distribution list
            }
        if (!fresh)
            return out;
        start += items.count();
    }
}

Lattice::Ptr<hxMail::Contact> listedContact(CommandContext& context, const std::string& id) {
    const auto found = folderContacts(context, pickFolder(context, "Contacts").get_id(),
                                      [&](const hxMail::Contact& c) { return c.get_id().str() == id; });
    if (found.empty() || found.back()->get_id().str() != id)
        return nullptr;
    return found.back();
}

// A contact's id as a vCard UID (a UUID URN), and any UID back in the form of an id: 32 hex digits
// in upper case, or the text as given when it is no UUID.
std::string uidOf(const std::string& id) {
    if (id.size() != 32)
        return id;
    std::string out = "urn:uuid:";
    for (std::size_t i = 0; i < id.size(); ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20)
            out += '-';
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(id[i])));
    }
    return out;
}

std::string idOfUid(std::string uid) {
    if (uid.size() > 9 && strncasecmp(uid.c_str(), "urn:uuid:", 9) == 0)
        uid.erase(0, 9);
    std::string hex;
    for (char c : uid)
        if (c != '-')
            hex += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool isHex = hex.size() == 32 && hex.find_first_not_of("0123456789ABCDEF") == std::string::npos;
    return isHex ? hex : uid;
}

std::string folded(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto first = out.find_first_not_of(" \t");
    return first == std::string::npos ? std::string()
                                      : out.substr(first, out.find_last_not_of(" \t") + 1 - first);
}

// Whom a card names: its full name and first e-mail, compared without case. The address book keeps
// 8-bit text, so a name is also compared as it reads back from there.
struct Person {
    std::string name;
    std::string storedName;
    std::string email;

    static Person of(const hxMail::Contact& contact) {
        Person p;
        const Lattice::Ptr<hxMail::ContactDetail>& detail = contact.get_contactDetail();
        const Lattice::String name = detail ? detail->get_displayName() : Lattice::String();
        p.name = folded(name.str());
        p.storedName =
            folded(Lattice::HTMLEncode::string8ToUTF8(Lattice::HTMLEncode::UTF8ToString8(name)).str());
        p.email = folded(contact.get_eMail1().str());
        return p;
    }
    bool same(const Person& stored) const {
        return !email.empty() && email == stored.email && !stored.name.empty() &&
               (name == stored.name || storedName == stored.name);
    }
};

std::string statusText(long status) {
    return status == -1 ? "-1 (not supported by the provider)" : std::to_string(status);
}

void contactExport(CommandContext& context, const Args& args, Json& out) {
    const std::string id = resolveMessageId(args[0]);
    Lattice::Ptr<hxMail::Contact> contact = listedContact(context, id);
    if (!contact)
        throw CommandError("no contact with id \"" + id + "\" in the Contacts folder");
    Call call(context, args, out);
    Lattice::Ptr<hxMail::ContactDetail> detail(new hxMail::ContactDetail());
    const long status = call.contacts().getContactDetail(id.c_str(), detail);
    if (status != 0 || !detail)
        throw CommandError("getContactDetail answered " + statusText(status) + " for \"" + id + "\"");
    // The chosen mailing address is worked out when a contact is listed, not when its detail is
    // opened.
    const Lattice::Ptr<hxMail::ContactDetail>& listed = contact->get_contactDetail();
    if (detail->get_selectedMailingAddress() == 0 && listed)
        detail->set_selectedMailingAddress(listed->get_selectedMailingAddress());
    contact->set_contactDetail(detail);
    vcard::Card card = vcard::fromContact(*contact, *detail);
    // The id goes out as the card's UID, so that importing the card again finds this contact.
    card.properties.insert(card.properties.begin() + 1, vcard::Property{"", "UID", {}, uidOf(id)});
    const std::string text = vcard::write(card);

    out["id"] = id;
    out["name"] = detail->get_displayName().str();
    if (args.size() > 1) {
        std::ofstream file(args[1], std::ios::binary | std::ios::trunc);
        if (!file || !file.write(text.data(), static_cast<std::streamsize>(text.size())) || !file.flush())
            throw CommandError("cannot write " + args[1]);
        out["file"] = args[1];
        out["bytes"] = text.size();
    } else {
        out["vcard"] = text;
    }
}

void renderExport(const Json& r, std::ostream& out) {
    if (r.contains("vcard"))
        out << r["vcard"].get<std::string>();
    else
        out << r.value("name", "") << " written to " << r.value("file", "") << " (" << r.value("bytes", 0L)
            << " bytes)\n";
}

void contactImport(CommandContext& context, const Args& args, Json& out) {
    const std::string& path = args[0];
    std::ifstream file(path, std::ios::binary);
    if (!file || std::filesystem::is_directory(path))
        throw CommandError("cannot read " + path);
    std::stringstream text;
    text << file.rdbuf();
    if (file.bad())
        throw CommandError("cannot read " + path);
    // Every card is read before anything is created, so a bad card in the file creates nothing.
    std::vector<vcard::Card> cards;
    try {
        cards = vcard::parse(text.str());
    } catch (const vcard::ParseError& e) {
        throw CommandError(path + ": " + e.what() + "; nothing was imported");
    }
    if (cards.empty())
        throw CommandError(path + " holds no vCard");
    for (const vcard::Card& card : cards)
        if (const vcard::Property* kind = card.find("KIND");
            kind && strcasecmp(kind->text().c_str(), "group") == 0)
            throw CommandError(path + ": the card of line " + std::to_string(card.line) +
                               " is a group (KIND:group), not a contact; nothing was imported");

    Call call(context, args, out);
    Lattice::String folder;
    if (args.size() > 1)
        folder = call.folder(1);
    else
        folder = pickFolder(context, "Contacts").get_id();

    // A card of a contact the folder holds updates it rather than making a second one: the same
    // UID (the id contact-export writes), else the same full name and first e-mail.
    struct Known {
        std::string id;
        Person person;
    };
    std::vector<Known> known;
    for (const auto& contact : folderContacts(context, folder))
        known.push_back({contact->get_id().str(), Person::of(*contact)});
    const auto match = [&](const vcard::Card& card, const hxMail::Contact& contact) -> std::string {
        if (const vcard::Property* uid = card.find("UID")) {
            const std::string id = idOfUid(uid->text());
            for (const Known& k : known)
                if (strcasecmp(k.id.c_str(), id.c_str()) == 0)
                    return k.id;
        }
        const Person person = Person::of(contact);
        for (const Known& k : known)
            if (person.same(k.person))
                return k.id;
        return std::string();
    };

    Json made = Json::array();
    long updated = 0;
    for (const vcard::Card& card : cards) {
        std::vector<std::string> left;
        Lattice::Ptr<hxMail::Contact> contact = vcard::toContact(card, &left);
        const std::string existing = match(card, *contact);
        const char* operation = existing.empty() ? "addContact" : "saveContact";
        long status = 0;
        if (existing.empty()) {
            status = call.contacts().addContact(folder, contact, contact->get_contactDetail());
        } else {
            contact->set_id(existing);
            bool flag = false;
            status = call.contacts().saveContact(contact, contact->get_contactDetail(), flag);
        }
        if (status != 0)
            throw CommandError(std::string(operation) + " answered " + statusText(status) +
                               " for the card of line " + std::to_string(card.line) + "; " +
                               std::to_string(made.size()) + " of " + std::to_string(cards.size()) +
                               " contacts were imported before it");
        Json one = {{"name", contact->get_contactDetail()->get_displayName().str()}};
        if (!contact->get_id().isEmpty())
            one["id"] = contact->get_id().str();
        one["updated"] = !existing.empty();
        updated += existing.empty() ? 0 : 1;
        one["notKept"] = left;
        made.push_back(std::move(one));
        // A later card of the same file finds this one too.
        if (existing.empty() && !contact->get_id().isEmpty())
            known.push_back({contact->get_id().str(), Person::of(*contact)});
    }
    out["file"] = path;
    out["imported"] = made.size();
    out["updated"] = updated;
    out["contacts"] = std::move(made);
}

void renderImport(const Json& r, std::ostream& out) {
    for (const Json& c : r["contacts"]) {
        out << (c.value("updated", false) ? "updated " : "imported ") << c.value("name", "");
        if (c.contains("id"))
            out << " (id " << c["id"].get<std::string>() << ")";
        out << "\n";
        if (!c["notKept"].empty()) {
            std::string names;
            for (const Json& n : c["notKept"])
                names += (names.empty() ? "" : ", ") + n.get<std::string>();
            out << "  not kept (no place in a contact): " << names << "\n";
        }
    }
}

} // namespace

void registerVCardCommands(CommandRegistry& registry) {
    registry.add(
        {"contact-export", "ID [FILE]",
         "Writes a contact of the personal address book (ID, or #N for row N of the last ls) as a vCard "
         "4.0 to FILE, or shows it.",
         1, 2, contactExport, renderExport, "contact provider"});
    registry.add(
        {"contact-import", "FILE [FOLDER]",
         "Creates a contact from each vCard (2.1, 3.0 or 4.0) of FILE, in the Contacts folder unless "
         "given, or updates the contact the card names (same UID, else same full name and first e-mail); "
         "names what a contact cannot hold.",
         1, 2, contactImport, renderImport, "contact provider"});
}

} // namespace hxhost
