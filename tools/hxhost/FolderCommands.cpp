// folders, sort, index, ls, rm, markread, preview: browsing the mailbox's folders through the
// provider's folder operations, as the host does.
#include "Commands.h"
#include "Table.h"

#include <cstdio>
#include <ostream>

namespace hxhost {

namespace {

constexpr long kDefaultPage = 20;

long number(const std::string& text, const char* what, long least) {
    return parseNumber(text, what, least);
}

bool onOff(const std::string& text, const char* first, const char* second) {
    if (text == first)
        return true;
    if (text == second)
        return false;
    throw CommandError(std::string("say \"") + first + "\" or \"" + second + "\", not \"" + text + "\"");
}

const char* iconName(long icon) {
    switch (icon) {
    case 5:
        return "new";
    case 6:
        return "read";
    case 7:
        return "draft";
    case 9:
        return "answered";
    case 10:
        return "replied";
    default:
        return "";
    }
}

std::string dateText(const Lattice::_DateTimeData& dt) {
    if (dt.day == 0)
        return "";
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", dt.fullYear(), dt.month, dt.day, dt.hour,
                  dt.minute);
    return text;
}

void folders(CommandContext& context, const Args&, Json& out) {
    Json list = Json::array();
    for (const Lattice::Data& d : sessionFolders(context, true))
        if (auto* f = d.toObject<hxMail::Folder>())
            list.push_back({{"id", f->get_id().str()},
                            {"displayName", f->get_displayName().str()},
                            {"folderType", static_cast<long>(f->folderType())},
                            {"showPreview", f->get_showPreview()}});
    out["folders"] = list;
}

void renderFolders(const Json& r, std::ostream& out) {
    out << "Folders\n";
    Table table({"Name", "Kind", "Preview", "Folder id"});
    for (const Json& f : r["folders"])
        table.add({f.value("displayName", ""), std::to_string(f.value("folderType", 0L)),
                   f.value("showPreview", false) ? "on" : "off",
                   f.value("id", "").empty() ? "(no view)" : f.value("id", "")});
    table.print(out);
}

void sort(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::Folder& folder = pickFolder(context, args[0]);
    const bool ascending = onOff(args[2], "asc", "desc");
    Lattice::String selected;
    provider.setSortContext(args[1], folder.get_id(), ascending, "", selected);
    out["folder"] = folder.get_displayName().str();
    out["column"] = args[1];
    out["order"] = ascending ? "ascending" : "descending";
}

void renderSort(const Json& r, std::ostream& out) {
    out << r.value("folder", "") << " sorted by " << r.value("column", "") << ", " << r.value("order", "")
        << "\n";
}

void index(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::Folder& folder = pickFolder(context, args[0]);
    const long pageSize = number(args[1], "PAGESIZE", 1);
    Lattice::ObjectCollection labels;
    Lattice::String labelType;
    provider.getSortIndex(folder.get_id(), "", pageSize, &labels, labelType, 0);
    Json pages = Json::array();
    for (long i = 0; i + 1 < labels.count(); i += 2)
        pages.push_back(
            {{"first", labels[i].toString(false).str()}, {"last", labels[i + 1].toString(false).str()}});
    out["folder"] = folder.get_displayName().str();
    out["pageSize"] = pageSize;
    out["labelType"] = labelType.str();
    out["pages"] = pages;
}

void renderIndex(const Json& r, std::ostream& out) {
    out << r.value("folder", "") << ": " << r["pages"].size() << " pages of " << r.value("pageSize", 0L)
        << "\n";
    if (r["pages"].empty()) {
        out << "  (no entries)\n";
        return;
    }
    Table table({"Page", "First", "Last"});
    long n = 1;
    for (const Json& p : r["pages"])
        table.add({std::to_string(n++), p.value("first", ""), p.value("last", "")});
    table.print(out);
}

void ls(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::Folder& folder = pickFolder(context, args[0]);
    const long start = args.size() > 1 ? number(args[1], "START", 0) : 0;
    const long count = args.size() > 2 ? number(args[2], "COUNT", 1) : kDefaultPage;
    Lattice::ObjectCollection items;
    provider.getFolderItemsPage(folder.get_id(), start, count, &items);
    Json list = Json::array();
    lastListing().clear();
    for (const Lattice::Data& d : items)
        if (auto* m = d.toObject<hxMail::MessageItem>()) {
            lastListing().push_back({m->get_id().str(), m->get_subject().str()});
            list.push_back({{"id", m->get_id().str()},
                            {"icon", m->get_iconType()},
                            {"from", m->get_from().str()},
                            {"subject", m->get_subject().str()},
                            {"received", dateText(m->get_received())},
                            {"size", m->get_size()},
                            {"unread", !m->get_readFlag()},
                            {"attachment", m->get_hasAttachments()}});
        }
    out["folder"] = folder.get_displayName().str();
    out["start"] = start;
    out["count"] = count;
    out["items"] = list;
}

void renderLs(const Json& r, std::ostream& out) {
    out << r.value("folder", "") << " from entry " << r.value("start", 0L) << "\n";
    if (r["items"].empty()) {
        out << "  (no entries)\n";
        return;
    }
    Table table({"#", "", "From", "Subject", "Received", "Size", "Unread", "Att"});
    long row = 1;
    for (const Json& m : r["items"])
        table.add({std::to_string(row++), iconName(m.value("icon", 0L)), m.value("from", ""),
                   m.value("subject", ""), m.value("received", ""), std::to_string(m.value("size", 0L)),
                   m.value("unread", false) ? "*" : "", m.value("attachment", false) ? "@" : ""});
    table.print(out);
}

void rm(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::Folder& folder = pickFolder(context, args[0]);
    Lattice::ObjectCollection ids;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string id = resolveMessageId(args[i]); // "#N" of the last listing, too
        if (id.size() != 32 || id.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            throw CommandError("\"" + args[i] + "\" is not a document id (32 hexadecimal digits)");
        ids.add(Lattice::Data(id.c_str()));
    }
    bool done = false;
    provider.deleteItems(folder.get_id(), ids, false, done);
    out["folder"] = folder.get_displayName().str();
    out["deleted"] = static_cast<long>(ids.count());
    out["done"] = done;
}

void renderRm(const Json& r, std::ostream& out) {
    out << r.value("folder", "") << ": " << r.value("deleted", 0L) << " id(s) deleted\n";
}

void markread(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::Folder& folder = pickFolder(context, args[0]);
    provider.markFolderRead(folder.get_id(), 0, 0, 0);
    out["folder"] = folder.get_displayName().str();
    out["read"] = true;
}

void renderMarkread(const Json& r, std::ostream& out) {
    out << r.value("folder", "") << ": every document of the mail file is now read\n";
}

void preview(CommandContext& context, const Args& args, Json& out) {
    hxMail::MailProvider& provider = loggedInProvider(context);
    hxMail::Folder& folder = pickFolder(context, args[0]);
    const bool show = onOff(args[1], "on", "off");
    provider.setShowPreview(folder.get_id(), show);
    out["folder"] = folder.get_displayName().str();
    out["showPreview"] = folder.get_showPreview();
}

void renderPreview(const Json& r, std::ostream& out) {
    out << r.value("folder", "") << ": preview " << (r.value("showPreview", false) ? "on" : "off") << "\n";
}

} // namespace

void registerFolderCommands(CommandRegistry& registry) {
    registry.add({"folders", "", "Lists the mailbox's folders (builds them afresh: sort orders start over).",
                  0, 0, folders, renderFolders, "main provider"});
    registry.add({"sort", "FOLDER COLUMN asc|desc",
                  "Sorts a folder by a host column (received, from, subject, size, sent, to, ...).", 3, 3,
                  sort, renderSort, "main provider"});
    registry.add({"index", "FOLDER PAGESIZE", "The first and last label of every page of PAGESIZE entries.",
                  2, 2, index, renderIndex, "main provider"});
    registry.add({"ls", "FOLDER [START [COUNT]]",
                  "A page of a folder from entry START (0 is the first), COUNT entries (20 unless given).", 1,
                  3, ls, renderLs, "main provider"});
    registry.add(
        {"rm", "FOLDER ID...", "Deletes documents of a folder by id.", 2, 64, rm, renderRm, "main provider"});
    registry.add({"markread", "FOLDER",
                  "Marks all mail read (the whole mail file, as the host's mark-read does).", 1, 1, markread,
                  renderMarkread, "main provider"});
    registry.add({"preview", "FOLDER on|off", "Shows or hides a folder's preview pane.", 2, 2, preview,
                  renderPreview, "main provider"});
}

} // namespace hxhost
