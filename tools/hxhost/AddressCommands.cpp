// books, addresses, find, search: the directory and the personal address book as the host sees
// them, through the contact provider's recipient folders and the provider's address lists.
#include "Commands.h"
#include "Table.h"

#include <ostream>

namespace hxhost {

namespace {

constexpr long kDefaultPage = 20;

long number(const std::string& text, const char* what) {
    return parseNumber(text, what, 0);
}

// The two recipient folders, as the host lists them under the mailbox.
struct Book {
    std::string id;
    std::string name;
};

// The host's route to the book ids: the contact provider names them under the mailbox.
std::vector<Book> listBooks(CommandContext& context) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    Lattice::ObjectCollection folders;
    hxMail::ContactProvider* contacts = provider.contactProvider();
    if (!contacts)
        throw CommandError("the provider has no contact provider");
    contacts->getContactFolders(sessionMailbox(context).get_id(), &folders);
    std::vector<Book> books;
    for (const Lattice::Data& d : folders)
        if (auto* folder = d.toObject<hxMail::Folder>())
            books.push_back({folder->get_id().str(), folder->get_displayName().str()});
    return books;
}

Book pickBook(CommandContext& context, const std::string& which) {
    std::size_t index = 0;
    if (which == "gal")
        index = 0;
    else if (which == "pab")
        index = 1;
    else
        throw CommandError(
            "the book is \"gal\" (the directory) or \"pab\" (the personal address book), not \"" + which +
            "\"");
    const std::vector<Book> books = listBooks(context);
    if (books.size() <= index)
        throw CommandError("the contact provider lists no such book");
    return books[index];
}

const char* kindOf(long displayType) {
    switch (displayType) {
    case 0:
    case 3:
        return "person";
    case 1:
    case 2:
        return "group";
    default:
        return "other";
    }
}

Json recipients(const Lattice::ObjectCollection& list) {
    Json entries = Json::array();
    for (const Lattice::Data& d : list) {
        const auto* r = d.toObject<hxMail::Recipient>();
        if (!r)
            continue;
        entries.push_back({{"id", r->get_id().str()},
                           {"displayName", r->get_displayName().str()},
                           {"emailAddress", r->get_emailAddress().str()},
                           {"smtpAddress", r->get_smtpAddress().str()},
                           {"emailType", r->get_emailType().str()},
                           {"displayType", r->get_displayType()},
                           {"recipientType", r->get_recipientType()},
                           {"kind", kindOf(r->get_displayType())},
                           {"book", r->get_displayType() >= 2 ? "pab" : "gal"}});
    }
    return entries;
}

void printEntries(const Json& entries, std::ostream& out, bool withBook) {
    if (entries.empty()) {
        out << "  (no entries)\n";
        return;
    }
    std::vector<std::string> headings{"Name", "Address", "Kind"};
    if (withBook)
        headings.push_back("Book");
    Table table(headings);
    for (const Json& e : entries) {
        std::vector<std::string> row{e.value("displayName", ""), e.value("smtpAddress", ""),
                                     e.value("kind", "")};
        if (withBook)
            row.push_back(e.value("book", "") == "pab" ? "personal" : "directory");
        table.add(row);
    }
    table.print(out);
}

void books(CommandContext& context, const Args&, Json& out) {
    Json list = Json::array();
    for (const Book& b : listBooks(context))
        list.push_back({{"id", b.id}, {"displayName", b.name}});
    out["books"] = list;
}

void renderBooks(const Json& r, std::ostream& out) {
    out << "Address books\n";
    Table table({"Book", "Name", "Folder id"});
    const char* keys[] = {"gal", "pab"};
    std::size_t i = 0;
    for (const Json& b : r["books"])
        table.add({i < 2 ? keys[i++] : "", b.value("displayName", ""), b.value("id", "")});
    table.print(out);
}

void addresses(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    const Book book = pickBook(context, args[0]);
    const long start = args.size() > 1 ? number(args[1], "START") : 0;
    const long count = args.size() > 2 ? number(args[2], "COUNT") : kDefaultPage;
    long total = 0;
    provider.getAddressListCount(book.id, total);
    Lattice::ObjectCollection page;
    provider.getAddressListPage(book.id, start, count, &page);
    out["book"] = args[0];
    out["bookName"] = book.name;
    out["total"] = total;
    out["start"] = start;
    out["count"] = count;
    out["entries"] = recipients(page);
}

void renderAddresses(const Json& r, std::ostream& out) {
    const long start = r.value("start", 0L);
    const long total = r.value("total", 0L);
    const long last = std::min(total, start + r.value("count", 0L));
    out << r.value("bookName", "") << ": entries " << (start < last ? start + 1 : start) << "-" << last
        << " of " << total << " (people and groups without an Internet address are not shown)\n";
    printEntries(r["entries"], out, false);
}

void find(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    const Book book = pickBook(context, args[0]);
    const long count = args.size() > 2 ? number(args[2], "COUNT") : kDefaultPage;
    long start = 0;
    long unused = 0;
    Lattice::ObjectCollection page;
    provider.findAddressList(book.id, args[1], count, 0, &page, start, unused);
    out["book"] = args[0];
    out["bookName"] = book.name;
    out["text"] = args[1];
    out["start"] = start;
    out["entries"] = recipients(page);
}

void renderFind(const Json& r, std::ostream& out) {
    out << r.value("bookName", "") << " from entry " << r.value("start", 0L) + 1 << ", where \""
        << r.value("text", "") << "\" sorts\n";
    printEntries(r["entries"], out, false);
}

void search(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::ContactProvider* contacts = provider.contactProvider();
    if (!contacts)
        throw CommandError("the provider has no contact provider");
    Lattice::ObjectCollection found;
    contacts->getFilteredRecipients(args[0], &found);
    out["text"] = args[0];
    out["entries"] = recipients(found);
}

void renderSearch(const Json& r, std::ostream& out) {
    out << "Names with a word starting \"" << r.value("text", "") << "\" (personal address book first)\n";
    printEntries(r["entries"], out, true);
}

} // namespace

Lattice::String bookId(CommandContext& context, const std::string& which) {
    if (which != "gal" && which != "pab")
        return Lattice::String(which.c_str());
    return Lattice::String(pickBook(context, which).id.c_str());
}

void registerAddressCommands(CommandRegistry& registry) {
    registry.add({"books", "", "Lists the two address books the host can browse.", 0, 0, books, renderBooks,
                  "contact provider"});
    registry.add({"addresses", "gal|pab [START [COUNT]]",
                  "A page of the directory (gal) or the personal address book (pab), from entry START "
                  "(0 is the first) for COUNT entries (20 unless given).",
                  1, 3, addresses, renderAddresses, "contact provider"});
    registry.add({"find", "gal|pab TEXT [COUNT]",
                  "A page of a book starting where TEXT sorts among the names, for COUNT entries (20 unless "
                  "given).",
                  2, 3, find, renderFind, "contact provider"});
    registry.add(
        {"search", "TEXT",
         "People and groups of both books with a name word starting TEXT, personal address book first.", 1, 1,
         search, renderSearch, "contact provider"});
}

} // namespace hxhost
