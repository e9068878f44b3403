// The main provider's operations, each a command of its own name. The friendlier commands (login,
// folders, ls, ...) drive the same operations with shorter output.
#include "Commands.h"

namespace hxhost {

namespace {

using Collection = Lattice::ObjectCollection;
using Ptr = Lattice::Ptr<Lattice::Base>;

// The name of a child provider the main provider hands out, or null when it hands out none.
template <class T> void child(Call& c, const char* key, T* provider) {
    c.out(key, provider ? Lattice::String(provider->className().c_str()) : Lattice::String());
    c.out("given", provider != nullptr);
}

// Keeps the row numbers of a listing, so that later commands can say "#N".
void remember(const Collection& items) {
    lastListing().clear();
    for (const Lattice::Data& d : items)
        if (auto* m = d.toObject<hxMail::MessageItem>())
            lastListing().push_back({m->get_id().str(), m->get_subject().str()});
}

} // namespace

void registerMainProviderCommands(CommandRegistry& registry) {
    addOperations(
        registry, "main provider",
        {
            {"verifyLogin", "USER PASSWORD [RESERVED]", "Whether USER's password is right; logs nobody in.",
             [](Call& c) { c.result(c.provider().verifyLogin(c.text(0), c.text(1), c.text(2), 0, 0, 0)); }},
            {"getMailbox", "[OWNER]", "Builds the user's mailbox; the session uses it from then on.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Mailbox> box;
                 c.status(c.main().getMailbox(c.text(0), box));
                 if (box) {
                     c.context().host.session.clear();
                     c.context().host.session.mailbox = box;
                 }
                 c.out("mailbox", box);
             }},
            {"copyFolder", "FOLDER TARGET-PARENT", "Copies a folder under another.",
             [](Call& c) {
                 Lattice::String newId;
                 c.status(c.main().copyFolder(c.folder(0), c.folder(1), newId));
                 c.out("newFolderId", newId);
             }},
            {"copyItem", "FOLDER ITEM TARGET-FOLDER", "Copies an item into another folder.",
             [](Call& c) {
                 Lattice::String newId;
                 c.status(c.main().copyItem(c.folder(0), c.message(1), c.folder(2), newId));
                 c.out("newItemId", newId);
             }},
            {"deleteItems", "FOLDER ID...", "Deletes items of a folder.",
             [](Call& c) {
                 bool done = false;
                 Collection ids;
                 for (std::size_t i = 1; c.has(i); ++i)
                     ids.add(Lattice::Data(c.message(i)));
                 c.status(c.main().deleteItems(c.folder(0), ids, false, done));
                 c.out("done", done);
             }},
            {"deleteFolder", "FOLDER", "Deletes a folder.",
             [](Call& c) { c.status(c.main().deleteFolder(c.folder(0))); }},
            {"getChanges", "", "What was created or deleted since the last report.",
             [](Call& c) {
                 Collection changes;
                 c.status(c.main().getChanges(&changes, 0));
                 c.out("changes", changes);
             }},
            {"getFolders", "[MAILBOX-ID]", "The folders of the session's mailbox, or of another mailbox id.",
             [](Call& c) {
                 if (!c.has(0)) {
                     const Collection& folders = sessionFolders(c.context(), true);
                     c.status(0);
                     c.out("folders", folders);
                     return;
                 }
                 Collection folders;
                 c.status(c.main().getFolders("", c.text(0), &folders));
                 c.out("folders", folders);
             }},
            {"getSharedFolder", "OWNER FOLDER-NAME", "Another user's shared folder.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::Folder> folder;
                 c.status(c.main().getSharedFolder(c.text(0), c.text(1), folder));
                 c.out("folder", folder);
             }},
            {"getFolderItems", "FOLDER", "Every item of a folder.",
             [](Call& c) {
                 Collection items;
                 c.status(c.main().getFolderItems(c.folder(0), &items));
                 c.out("items", items);
             }},
            {"getSortIndex", "FOLDER PAGESIZE", "The first and last label of every page.",
             [](Call& c) {
                 Collection labels;
                 Lattice::String labelType;
                 c.status(
                     c.main().getSortIndex(c.folder(0), "", c.number(1, "PAGESIZE"), &labels, labelType, 0));
                 c.out("labelType", labelType);
                 c.out("labels", labels);
             }},
            {"getFolderItemsPage", "FOLDER START COUNT", "A page of a folder's items (rows #N as with ls).",
             [](Call& c) {
                 Collection items;
                 c.status(c.main().getFolderItemsPage(c.folder(0), c.number(1, "START"), c.number(2, "COUNT"),
                                                      &items));
                 remember(items);
                 c.out("items", items);
             }},
            {"markAllRead", "FOLDER", "Marks a folder's mail read.",
             [](Call& c) { c.status(c.main().markAllRead(c.folder(0))); }},
            {"markFolderRead", "FOLDER", "Marks a folder read.",
             [](Call& c) { c.status(c.main().markFolderRead(c.folder(0), 0, 0, 0)); }},
            {"newMailItem", "FOLDER CLASS", "A new, unsaved item of a host class (Message, Contact, ...).",
             [](Call& c) {
                 Lattice::Ptr<hxMail::MessageItem> item;
                 c.status(c.main().newMailItem(c.folder(0), c.text(1), item));
                 c.out("item", item);
             }},
            {"setSortContext", "COLUMN FOLDER ASCENDING",
             "Sorts a folder by a column (ASCENDING true|false).",
             [](Call& c) {
                 Lattice::String selected;
                 c.status(c.main().setSortContext(c.text(0), c.folder(1), c.flag(2), "", selected));
                 c.out("selectedFolderId", selected);
             }},
            {"importCSVItems", "FOLDER CSV-TEXT", "Imports items from CSV text.",
             [](Call& c) {
                 long imported = 0;
                 c.status(c.main().importCSVItems(c.folder(0), c.text(1), imported));
                 c.out("imported", imported);
             }},
            {"exportItemsToCSV", "FOLDER", "A folder's items as CSV text.",
             [](Call& c) {
                 Lattice::String csv;
                 c.status(c.main().exportItemsToCSV(c.folder(0), csv));
                 c.out("csvText", csv);
             }},
            {"getAddressListCount", "BOOK", "The number of entries of an address book (gal, pab or an id).",
             [](Call& c) {
                 long count = 0;
                 c.status(c.main().getAddressListCount(c.book(0), count));
                 c.out("count", count);
             }},
            {"getAddressList", "BOOK COUNT", "The first COUNT entries of an address book.",
             [](Call& c) {
                 Collection entries;
                 c.status(c.main().getAddressList(c.book(0), c.number(1, "COUNT"), &entries));
                 c.out("entries", entries);
             }},
            {"getAddressListPage", "BOOK START COUNT", "A page of an address book.",
             [](Call& c) {
                 Collection entries;
                 c.status(c.main().getAddressListPage(c.book(0), c.number(1, "START"), c.number(2, "COUNT"),
                                                      &entries));
                 c.out("entries", entries);
             }},
            {"findAddressList", "BOOK TEXT COUNT", "A page of an address book from where TEXT sorts.",
             [](Call& c) {
                 Collection entries;
                 long start = 0;
                 long other = 0;
                 c.status(c.main().findAddressList(c.book(0), c.text(1), c.number(2, "COUNT"), 0, &entries,
                                                   start, other));
                 c.out("start", start);
                 c.out("entries", entries);
             }},
            {"setShowPreview", "FOLDER SHOW", "Shows (true) or hides (false) a folder's preview.",
             [](Call& c) {
                 const Lattice::String id = c.folder(0);
                 const bool show = c.flag(1);
                 c.status(c.main().setShowPreview(id, show));
                 // The host's folder object carries the choice.
                 for (const Lattice::Data& d : sessionFolders(c.context(), false))
                     if (auto* f = d.toObject<hxMail::Folder>(); f && f->get_id() == id)
                         c.out("showPreview", f->get_showPreview());
             }},
            {"loadFullMessageItem", "ID", "An item with all its fields.",
             [](Call& c) {
                 Lattice::Ptr<hxMail::MessageItem> item;
                 c.status(c.main().loadFullMessageItem(c.message(0), item));
                 c.out("item", item);
             }},
            {"getACL", "FOLDER", "A folder's access list.",
             [](Call& c) {
                 Collection entries;
                 c.status(c.main().getACL(c.folder(0), &entries));
                 c.out("entries", entries);
             }},
            {"updateUsersInACL", "FOLDER [USER...]", "Puts users on a folder's access list.",
             [](Call& c) { c.status(c.main().updateUsersInACL(c.folder(0), c.texts(1))); }},
            {"useUnicode", "", "Whether the provider's texts are Unicode.",
             [](Call& c) { c.result(c.provider().useUnicode()); }},
            {"getModuleName", "", "The plug-in module's name.",
             [](Call& c) { c.out("moduleName", c.provider().getModuleName()); }},
            {"noteProvider", "", "The note provider the main provider hands out, if any.",
             [](Call& c) { child(c, "provider", c.provider().noteProvider()); }},
            {"taskProvider", "", "The task provider the main provider hands out.",
             [](Call& c) { child(c, "provider", c.provider().taskProvider()); }},
            {"contactProvider", "", "The contact provider the main provider hands out.",
             [](Call& c) { child(c, "provider", c.provider().contactProvider()); }},
            {"calendarProvider", "", "The calendar provider the main provider hands out.",
             [](Call& c) { child(c, "provider", c.provider().calendarProvider()); }},
            {"messageProvider", "", "The message provider the main provider hands out.",
             [](Call& c) { child(c, "provider", c.provider().messageProvider()); }},
            {"meetingProvider", "", "The meeting provider the main provider hands out.",
             [](Call& c) { child(c, "provider", c.provider().meetingProvider()); }},
            {"groupProvider", "", "The group provider the main provider hands out.",
             [](Call& c) { child(c, "provider", c.provider().groupProvider()); }},
        });

    // The slots the host reserves, called with empty arguments; they show what a plug-in answers.
    const auto text = [](Call& c, std::size_t i) { return c.text(i); };
    addOperations(
        registry, "main provider (reserved)",
        {
            {"providerReserved1", "[TEXT [TEXT]]", "A reserved slot.",
             [text](Call& c) { c.result(c.provider().providerReserved1(text(c, 0), text(c, 1), 0)); }},
            {"providerReserved2", "", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved2(0, 0)); }},
            {"providerReserved3", "[TEXT]", "A reserved slot.",
             [](Call& c) {
                 Ptr out;
                 c.status(c.provider().providerReserved3(c.text(0), out));
                 c.out("out", out);
             }},
            {"providerReserved4", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved4(c.text(0), "", "", 0, 0)); }},
            {"providerReserved5", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved5(c.text(0), "")); }},
            {"providerReserved6", "[TEXT]", "A reserved slot.",
             [](Call& c) {
                 Ptr out;
                 c.status(c.provider().providerReserved6(c.text(0), out));
                 c.out("out", out);
             }},
            {"providerReserved7", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved7(c.text(0), "")); }},
            {"providerReserved8", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved8(c.text(0), "")); }},
            {"providerReserved9", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved9(c.text(0), "", "")); }},
            {"providerReserved10", "[TEXT]", "A reserved slot.",
             [](Call& c) {
                 Ptr out;
                 c.status(c.provider().providerReserved10(c.text(0), out));
                 c.out("out", out);
             }},
            {"providerReserved11", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved11(c.text(0))); }},
            {"providerReserved12", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved12(c.text(0), "", 0)); }},
            {"providerReserved13", "", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved13(0, 0, 0)); }},
            {"providerReserved14", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved14(c.text(0))); }},
            {"providerReserved15", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved15(c.text(0), 0, 0)); }},
            {"providerReserved16", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved16(c.text(0))); }},
            {"providerReserved17", "", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved17()); }},
            {"providerReserved18", "", "A reserved slot without an answer.",
             [](Call& c) { c.provider().providerReserved18(); }},
            {"providerReserved19", "", "A reserved slot without an answer.",
             [](Call& c) { c.provider().providerReserved19(); }},
            {"providerReserved20", "[TEXT]", "A reserved slot answering a text.",
             [](Call& c) { c.out("text", c.provider().providerReserved20(0, nullptr, c.text(0))); }},
            {"providerReserved21", "", "A reserved slot without an answer.",
             [](Call& c) { c.provider().providerReserved21(); }},
            {"providerReserved22", "", "A reserved slot without an answer.",
             [](Call& c) { c.provider().providerReserved22(); }},
            {"providerReserved23", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved23(c.text(0), "")); }},
            {"providerReserved24", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved24(c.text(0), "")); }},
            {"providerReserved25", "[TEXT]", "A reserved slot.",
             [](Call& c) { c.status(c.provider().providerReserved25(c.text(0), "")); }},
        });
}

} // namespace hxhost
