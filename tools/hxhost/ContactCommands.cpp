// The contact provider's operations, and the friendly commands over them: contacts, contact,
// contact-new, contact-edit, contact-rm, lists, list-new, list-edit, name-parse, address-parse.
// Contacts are given as fields of a Contact (fileAsName=..., eMail1=..., homeAddress.city=...) and
// of its detail (detail.first=..., detail.last=...). The name and address rules are the plug-in's,
// reached through the provider's own name and address operations.
#include "Commands.h"
#include "Table.h"

#include <algorithm>
#include <climits>
#include <ostream>

namespace hxhost {

namespace {

using Collection = Lattice::ObjectCollection;
using ContactPtr = Lattice::Ptr<hxMail::Contact>;
using DetailPtr = Lattice::Ptr<hxMail::ContactDetail>;
using ListPtr = Lattice::Ptr<hxMail::DistributionList>;

constexpr long kDefaultContactPage = 50;

// Every row of the personal address book's Contacts folder, in name order.
Collection addressBookRows(CommandContext& context) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::Folder& folder = pickFolder(context, "Contacts");
    Lattice::String selected;
    provider.setSortContext("name", folder.get_id(), true, "", selected);
    Collection rows;
    provider.getFolderItemsPage(folder.get_id(), 0, LONG_MAX - 1, &rows);
    return rows;
}

template <class T> std::vector<Lattice::Ptr<T>> rowsOf(CommandContext& context) {
    std::vector<Lattice::Ptr<T>> out;
    for (const Lattice::Data& d : addressBookRows(context))
        if (T* item = d.toObject<T>())
            out.emplace_back(item);
    return out;
}

template <class T>
Lattice::Ptr<T> findRow(CommandContext& context, const Lattice::String& id, const char* what) {
    for (Lattice::Ptr<T>& item : rowsOf<T>(context))
        if (item->get_id() == id)
            return item;
    throw CommandError(std::string("the personal address book has no ") + what + " " + id.str());
}

std::string text(const Json& object, const char* name) {
    const auto it = object.find(name);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

Json contactRow(const hxMail::Contact& c) {
    const hxMail::ContactDetail* d = c.get_contactDetail().get();
    return {{"id", c.get_id().str()},
            {"name", c.get_fileAsName().str()},
            {"email", c.get_eMail1().str()},
            {"company", d ? d->get_company().str() : ""},
            {"businessPhone", c.get_businessPhone().str()},
            {"mobile", c.get_mobile().str()}};
}

Json listRow(const hxMail::DistributionList& l) {
    Json members = Json::array();
    for (const Lattice::Data& d : *l.get_memberList())
        if (auto* r = d.toObject<hxMail::Recipient>())
            members.push_back({{"name", r->get_displayName().str()},
                               {"address", r->get_smtpAddress().str()},
                               {"isList", r->get_displayType() == 1 || r->get_displayType() == 2}});
    return {{"id", l.get_id().str()},
            {"name", l.get_name().str()},
            {"text", l.get_text().str()},
            {"members", members}};
}

void renderContacts(const Json& r, std::ostream& out) {
    const auto list = r.find("contacts");
    if (list == r.end()) {
        renderResult(r, out);
        return;
    }
    out << r.value("total", 0L) << " contacts, from " << r.value("start", 0L) << "\n";
    Table table({"#", "Name", "E-mail", "Company", "Business phone", "Mobile"});
    long row = r.value("start", 0L);
    for (const Json& c : *list)
        table.add({"#" + std::to_string(++row), text(c, "name"), text(c, "email"), text(c, "company"),
                   text(c, "businessPhone"), text(c, "mobile")});
    if (table.empty())
        out << "  (no contacts)\n";
    else
        table.print(out);
}

void renderLists(const Json& r, std::ostream& out) {
    const auto lists = r.find("lists");
    if (lists == r.end()) {
        renderResult(r, out);
        return;
    }
    Table table({"#", "Name", "Members", "Description"});
    long row = 0;
    for (const Json& l : *lists) {
        std::string members;
        for (const Json& m : l["members"])
            members +=
                (members.empty() ? "" : ", ") + text(m, "name") + (m.value("isList", false) ? " (list)" : "");
        table.add({"#" + std::to_string(++row), text(l, "name"), members, text(l, "text")});
    }
    if (table.empty())
        out << "  (no distribution lists)\n";
    else
        table.print(out);
}

void addFriendly(CommandRegistry& registry, const char* name, const char* usage, const char* help,
                 std::function<void(CommandContext&, const Args&, Json&)> run,
                 std::function<void(const Json&, std::ostream&)> render = renderResult) {
    const auto [least, most] = arity(usage);
    registry.add({name, usage, help, least, most, std::move(run), std::move(render), "contacts"});
}

// The words after the id as FIELD=VALUE fields, checked: nothing is sent when one is not.
void requireFields(const Args& args, std::size_t from) {
    for (std::size_t i = from; i < args.size(); ++i)
        if (args[i].find('=') == std::string::npos && (args[i].empty() || args[i].front() != '{'))
            throw CommandError("not FIELD=VALUE: '" + args[i] + "'");
}

// Fills the name parts and file-as name from the display name by the plug-in's own rule, unless
// the fields give them.
void completeNames(Call& c, hxMail::Contact& contact, hxMail::ContactDetail& detail, const Args& args) {
    const bool partsGiven = std::any_of(args.begin(), args.end(), [](const std::string& w) {
        for (const char* p :
             {"detail.first=", "detail.last=", "detail.middle=", "detail.title=", "detail.suffix="})
            if (w.rfind(p, 0) == 0)
                return true;
        return false;
    });
    if (detail.get_displayName().isEmpty() || partsGiven)
        return;
    Lattice::String title, first, last, middle, suffix, fileAs;
    c.contacts().fullNameChanged("", detail.get_displayName(), title, first, last, middle, suffix, fileAs);
    detail.set_title(title);
    detail.set_first(first);
    detail.set_middle(middle);
    detail.set_last(last);
    detail.set_suffix(suffix);
    if (contact.get_fileAsName().isEmpty())
        contact.set_fileAsName(fileAs);
}

// A member given by name: a recipient whose address is that name, found again by it.
Lattice::Data memberNamed(const std::string& name) {
    Lattice::Ptr<hxMail::Recipient> r(new hxMail::Recipient());
    r->set_emailAddress(name);
    r->set_displayName(name);
    return Lattice::Data(r);
}

bool sameMember(const hxMail::Recipient& r, const std::string& name) {
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char ch) { return std::tolower(ch); });
        return s;
    };
    const std::string wanted = lower(name);
    for (const Lattice::String* t : {&r.get_emailAddress(), &r.get_displayName(), &r.get_smtpAddress()})
        if (lower(t->str()) == wanted)
            return true;
    return false;
}

void registerFriendlyContactCommands(CommandRegistry& registry) {
    addFriendly(
        registry, "contacts", "[START [COUNT]]",
        "The personal address book's contacts in name order, COUNT (default 50) from START (0 first); rows "
        "are #N for contact, contact-edit and contact-rm.",
        [](CommandContext& context, const Args& args, Json& out) {
            const long start = args.size() > 0 ? parseNumber(args[0], "START", 0) : 0;
            const long count = args.size() > 1 ? parseNumber(args[1], "COUNT", 1) : kDefaultContactPage;
            const auto all = rowsOf<hxMail::Contact>(context);
            Json list = Json::array();
            lastListing().clear();
            for (const auto& c : all) // "#N" counts from the first contact, whichever page is shown
                lastListing().push_back({c->get_id().str(), c->get_fileAsName().str()});
            for (long i = start; i < static_cast<long>(all.size()) && i - start < count; ++i)
                list.push_back(contactRow(*all[static_cast<std::size_t>(i)]));
            out["status"] = 0;
            out["total"] = static_cast<long>(all.size());
            out["start"] = start;
            out["contacts"] = list;
        },
        renderContacts);
    addFriendly(registry, "contact", "ID", "A contact with every field (ID or #N of contacts).",
                [](CommandContext& context, const Args& args, Json& out) {
                    Call c(context, args, out);
                    const Lattice::String id = c.message(0);
                    ContactPtr contact = findRow<hxMail::Contact>(context, id, "contact");
                    DetailPtr detail(new hxMail::ContactDetail());
                    c.status(c.contacts().getContactDetail(id, detail));
                    // The detail's own fields, and the mailing address chosen when it was listed.
                    detail->set_selectedMailingAddress(
                        contact->get_contactDetail()->get_selectedMailingAddress());
                    contact->set_contactDetail(detail);
                    c.out("contact", contact);
                });
    addFriendly(registry, "contact-new", "FIELD=VALUE...",
                "Creates a contact (detail.displayName=\"Ann Lee\" eMail1=... businessPhone=... "
                "homeAddress.city=... detail.company=...); the name parts and file-as name follow from the "
                "display name unless given. Prints the new id.",
                [](CommandContext& context, const Args& args, Json& out) {
                    requireFields(args, 0);
                    Call c(context, args, out);
                    ContactPtr contact = c.item<hxMail::Contact>(0);
                    DetailPtr detail = c.detail<hxMail::ContactDetail>(0);
                    completeNames(c, *contact, *detail, args);
                    if (contact->get_fileAsName().isEmpty() && detail->get_displayName().isEmpty())
                        throw CommandError(
                            "a contact needs a name: detail.displayName=... or fileAsName=...");
                    c.status(c.contacts().addContact("", contact, detail));
                    c.out("id", contact->get_id());
                });
    addFriendly(registry, "contact-edit", "ID FIELD=VALUE...",
                "Changes fields of a contact (ID or #N); the other fields keep their values.",
                [](CommandContext& context, const Args& args, Json& out) {
                    requireFields(args, 1);
                    Call c(context, args, out);
                    const Lattice::String id = c.message(0);
                    ContactPtr contact = findRow<hxMail::Contact>(context, id, "contact");
                    DetailPtr detail(new hxMail::ContactDetail());
                    c.contacts().getContactDetail(id, detail);
                    detail->set_selectedMailingAddress(
                        contact->get_contactDetail()->get_selectedMailingAddress());
                    // The changes go onto the stored values, so unnamed fields are written back unchanged.
                    std::vector<std::string> contactWords, detailWords;
                    for (std::size_t i = 1; i < args.size(); ++i)
                        (args[i].rfind("detail.", 0) == 0 ? detailWords : contactWords)
                            .push_back(args[i].rfind("detail.", 0) == 0 ? args[i].substr(7) : args[i]);
                    setMembers(*contact, contactWords);
                    setMembers(*detail, detailWords);
                    contact->set_id(id);
                    bool flag = false;
                    c.status(c.contacts().saveContact(contact, detail, flag));
                    c.out("id", id);
                    c.out("flag", flag);
                });
    addFriendly(registry, "contact-rm", "ID", "Deletes a contact (ID or #N); says whether it is gone.",
                [](CommandContext& context, const Args& args, Json& out) {
                    Call c(context, args, out);
                    const Lattice::String id = c.message(0);
                    findRow<hxMail::Contact>(context, id, "contact");
                    c.status(c.contacts().removeContact(id));
                    bool gone = true;
                    for (const auto& row : rowsOf<hxMail::Contact>(context))
                        gone = gone && row->get_id() != id;
                    c.out("removed", gone);
                });
    addFriendly(
        registry, "lists", "",
        "The distribution lists of the personal address book with their members; rows are #N for list-edit.",
        [](CommandContext& context, const Args&, Json& out) {
            Json lists = Json::array();
            lastListing().clear();
            for (const auto& l : rowsOf<hxMail::DistributionList>(context)) {
                lastListing().push_back({l->get_id().str(), l->get_name().str()});
                lists.push_back(listRow(*l));
            }
            out["status"] = 0;
            out["lists"] = lists;
        },
        renderLists);
    addFriendly(registry, "list-new", "NAME [MEMBER...]",
                "Creates a distribution list; members are names of people or lists of either address book "
                "(text=DESCRIPTION sets its description). Prints the new id.",
                [](CommandContext& context, const Args& args, Json& out) {
                    if (args[0].find_first_not_of(' ') == std::string::npos)
                        throw CommandError("a list needs a name");
                    Call c(context, args, out);
                    ListPtr list(new hxMail::DistributionList());
                    list->set_name(args[0]);
                    for (std::size_t i = 1; i < args.size(); ++i) {
                        if (args[i].rfind("text=", 0) == 0)
                            list->set_text(args[i].substr(5));
                        else
                            list->get_memberList()->add(memberNamed(args[i]));
                    }
                    bool flag = false;
                    c.status(c.contacts().addDistributionList("", list, flag));
                    c.out("id", list->get_id());
                });
    addFriendly(registry, "list-edit", "ID CHANGE...",
                "Changes a distribution list (ID or #N of lists): +MEMBER adds, -MEMBER removes, name=... "
                "renames, text=... sets the description.",
                [](CommandContext& context, const Args& args, Json& out) {
                    Call c(context, args, out);
                    const Lattice::String id = c.message(0);
                    ListPtr list = findRow<hxMail::DistributionList>(context, id, "distribution list");
                    Collection& members = *list->get_memberList();
                    for (std::size_t i = 1; i < args.size(); ++i) {
                        const std::string& w = args[i];
                        if (w.rfind("name=", 0) == 0) {
                            if (w.size() == 5)
                                throw CommandError("a list needs a name");
                            list->set_name(w.substr(5));
                        } else if (w.rfind("text=", 0) == 0) {
                            list->set_text(w.substr(5));
                        } else if (w.size() > 1 && w[0] == '+') {
                            members.add(memberNamed(w.substr(1)));
                        } else if (w.size() > 1 && w[0] == '-') {
                            Collection kept;
                            bool found = false;
                            for (const Lattice::Data& d : members) {
                                auto* r = d.toObject<hxMail::Recipient>();
                                if (r && !found && sameMember(*r, w.substr(1)))
                                    found = true;
                                else
                                    kept.add(d);
                            }
                            if (!found)
                                throw CommandError("'" + w.substr(1) + "' is not a member of " +
                                                   list->get_name().str());
                            members = kept;
                        } else {
                            throw CommandError("not +MEMBER, -MEMBER, name=... or text=...: '" + w + "'");
                        }
                    }
                    bool flag = false;
                    c.status(c.contacts().saveDistributionList(list, flag));
                    c.out("id", id);
                    c.out("flag", flag);
                });
    addFriendly(
        registry, "name-parse", "TEXT",
        "A full name split into title, first, middle, last, suffix and "
        "file-as name by the plug-in's rule.",
        [](CommandContext& context, const Args& args, Json& out) {
            Call c(context, args, out);
            Lattice::String title, first, last, middle, suffix, fileAs;
            c.status(c.contacts().fullNameChanged("", c.text(0), title, first, last, middle, suffix, fileAs));
            c.out("title", title);
            c.out("first", first);
            c.out("middle", middle);
            c.out("last", last);
            c.out("suffix", suffix);
            c.out("fileAsName", fileAs);
        });
    addFriendly(registry, "address-parse", "TEXT",
                "A postal address split into street, city, state, postal code and country by the plug-in's "
                "rule; \\n in TEXT is a line end (\"1 Main St\\nSpringfield, IL 62701\\nUSA\").",
                [](CommandContext& context, const Args& args, Json& out) {
                    std::string text = args[0];
                    for (std::size_t at = text.find("\\n"); at != std::string::npos;
                         at = text.find("\\n", at + 1))
                        text.replace(at, 2, "\n");
                    Call c(context, args, out);
                    Lattice::Ptr<hxMail::Address> address(new hxMail::Address());
                    c.status(c.contacts().fullAddressChanged("", text, address));
                    c.out("address", address);
                });
}

} // namespace

void registerContactCommands(CommandRegistry& registry) {
    addOperations(
        registry, "contact provider",
        {
            {"newContact", "FOLDER", "A new, unsaved contact.",
             [](Call& c) {
                 ContactPtr contact;
                 c.status(c.contacts().newContact(c.folder(0), contact));
                 c.out("contact", contact);
             }},
            {"removeContact", "ID", "Deletes a contact.",
             [](Call& c) { c.status(c.contacts().removeContact(c.message(0))); }},
            {"getContactFolders", "[PARENT]",
             "The recipient folders (address books), under the mailbox unless given.",
             [](Call& c) {
                 Collection out;
                 const Lattice::String parent = c.has(0) ? c.text(0) : sessionMailbox(c.context()).get_id();
                 c.status(c.contacts().getContactFolders(parent, &out));
                 c.out("folders", out);
             }},
            {"getRecipients", "BOOK", "The entries of a recipient folder (gal, pab or its id).",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Folder> folder(new hxMail::RecipientFolder());
                 folder->set_id(c.book(0));
                 Lattice::Ptr<hxMail::Recipients> out(new hxMail::Recipients());
                 c.status(c.contacts().getRecipients("", folder, out));
                 c.out("recipients", out);
             }},
            {"getContactDetail", "ID", "A contact's detail.",
             [](Call& c) {
                 DetailPtr detail(new hxMail::ContactDetail());
                 c.status(c.contacts().getContactDetail(c.message(0), detail));
                 c.out("detail", detail);
             }},
            {"addContact", "FOLDER [FIELD=VALUE...]", "Creates a contact in the personal address book.",
             [](Call& c) {
                 ContactPtr contact = c.item<hxMail::Contact>(1);
                 c.status(c.contacts().addContact(c.folder(0), contact, c.detail<hxMail::ContactDetail>(1)));
                 c.out("id", contact->get_id());
             }},
            {"saveContact", "[FIELD=VALUE...]", "Writes the fields into the contact id=ID.",
             [](Call& c) {
                 bool flag = false;
                 c.status(c.contacts().saveContact(c.item<hxMail::Contact>(0),
                                                   c.detail<hxMail::ContactDetail>(0), flag));
                 c.out("flag", flag);
             }},
            {"getFilteredRecipients", "FILTER",
             "People and groups of both books with a name word starting FILTER.",
             [](Call& c) {
                 Collection out;
                 c.status(c.contacts().getFilteredRecipients(c.text(0), &out));
                 c.out("recipients", out);
             }},
            {"nameChanged", "TITLE FIRST MIDDLE LAST SUFFIX",
             "The full and file-as names made of name parts.",
             [](Call& c) {
                 Lattice::String full;
                 Lattice::String fileAs;
                 c.status(c.contacts().nameChanged("", c.text(0), c.text(1), c.text(2), c.text(3), c.text(4),
                                                   full, fileAs));
                 c.out("fullName", full);
                 c.out("fileAsName", fileAs);
             }},
            {"addressChanged", "[FIELD=VALUE...]", "The full address made of an Address's parts.",
             [](Call& c) {
                 Lattice::String full;
                 c.status(c.contacts().addressChanged("", c.item<hxMail::Address>(0), "", full));
                 c.out("fullAddress", full);
             }},
            {"fullAddressChanged", "TEXT", "An address split into its parts.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Address> address(new hxMail::Address());
                 c.status(c.contacts().fullAddressChanged("", c.text(0), address));
                 c.out("address", address);
             }},
            {"fullNameChanged", "TEXT", "A full name split into its parts.",
             [](Call& c) {
                 Lattice::String title, first, last, middle, suffix, fileAs;
                 c.status(
                     c.contacts().fullNameChanged("", c.text(0), title, first, last, middle, suffix, fileAs));
                 c.out("title", title);
                 c.out("first", first);
                 c.out("middle", middle);
                 c.out("last", last);
                 c.out("suffix", suffix);
                 c.out("fileAsName", fileAs);
             }},
            {"addDistributionList", "FOLDER [FIELD=VALUE...]",
             "Creates a distribution list (name=..., text=..., memberList=[{\"_class\":\"Recipient\",...}]).",
             [](Call& c) {
                 bool flag = false;
                 ListPtr list = c.item<hxMail::DistributionList>(1);
                 c.status(c.contacts().addDistributionList(c.folder(0), list, flag));
                 c.out("id", list->get_id());
                 c.out("flag", flag);
             }},
            {"saveDistributionList", "[FIELD=VALUE...]",
             "Writes the fields into the distribution list id=ID.",
             [](Call& c) {
                 bool flag = false;
                 c.status(c.contacts().saveDistributionList(c.item<hxMail::DistributionList>(0), flag));
                 c.out("flag", flag);
             }},
            {"addContactGetRecipient", "FOLDER [FIELD=VALUE...]",
             "Creates a contact and answers it as a recipient.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Recipient> recipient;
                 bool flag = false;
                 c.status(c.contacts().addContactGetRecipient(c.folder(0), c.item<hxMail::Contact>(1),
                                                              c.detail<hxMail::ContactDetail>(1), recipient,
                                                              flag));
                 c.out("recipient", recipient);
                 c.out("flag", flag);
             }},
        });
    registerFriendlyContactCommands(registry);
}

} // namespace hxhost
