// contact-export and contact-import: a contact of the personal address book as a vCard and back,
// through the host's contact interfaces only.
#include "Commands.h"

#include "hxMailConversion/VCard.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <set>
#include <sstream>
#include <strings.h>

namespace hxhost {

namespace {

namespace vcard = hxMailConversion::vcard;

// The listed form of a contact (addresses, e-mails, phones) from the "Contacts" folder: the host
// has no operation that opens one contact's list fields by id. Pages are read until the id turns
// up or a page brings nothing new, which also ends the listing at a view's last entry.
Lattice::Ptr<hxMail::Contact> listedContact(CommandContext& context, const std::string& id) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    const Lattice::String folder = pickFolder(context, "Contacts").get_id();
    constexpr long kPage = 200;
    std::set<std::string> seen;
    for (long start = 0;;) {
        Lattice::ObjectCollection items;
        provider.getFolderItemsPage(folder, start, kPage, &items);
        bool fresh = false;
        for (const Lattice::Data& d : items)
            if (auto* contact = d.toObject<hxMail::Contact>()) {
                if (contact->get_id().str() == id)
                    return Lattice::Ptr<hxMail::Contact>(contact);
                fresh |= seen.insert(contact->get_id().str()).second;
            } else if (auto* item = d.toObject<hxMail::Item>()) {
                fresh |= seen.insert(item->get_id().str()).second; // a distribution list
            }
        if (!fresh)
            return nullptr;
        start += items.count();
    }
}

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
    const std::string text = vcard::write(vcard::fromContact(*contact, *detail));

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

    Json made = Json::array();
    for (const vcard::Card& card : cards) {
        std::vector<std::string> left;
        Lattice::Ptr<hxMail::Contact> contact = vcard::toContact(card, &left);
        const long status = call.contacts().addContact(folder, contact, contact->get_contactDetail());
        if (status != 0)
            throw CommandError("addContact answered " + statusText(status) + " for the card of line " +
                               std::to_string(card.line) + "; " + std::to_string(made.size()) + " of " +
                               std::to_string(cards.size()) + " contacts were imported before it");
        Json one = {{"name", contact->get_contactDetail()->get_displayName().str()}};
        if (!contact->get_id().isEmpty())
            one["id"] = contact->get_id().str();
        one["notKept"] = left;
        made.push_back(std::move(one));
    }
    out["file"] = path;
    out["imported"] = made.size();
    out["contacts"] = std::move(made);
}

void renderImport(const Json& r, std::ostream& out) {
    for (const Json& c : r["contacts"]) {
        out << "imported " << c.value("name", "");
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
         "given; names what a contact cannot hold.",
         1, 2, contactImport, renderImport, "contact provider"});
}

} // namespace hxhost
