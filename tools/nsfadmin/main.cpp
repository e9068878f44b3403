// nsfadmin's command line. Only parsing lives here (CLI11 is slow to compile); the commands are in
// admin.cpp.
#include "admin.h"
#include "appointment.h"
#include "task.h"

#include <CLI/CLI.hpp>

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

// Adds the options that name a database: --server and the DB path.
void addDbOptions(CLI::App* cmd, nsfadmin::DbRef& db) {
    cmd->add_option("--server,-s", db.server, "server (canonical or common name); default: local");
    cmd->add_option("db", db.path, "database path, e.g. mail/jdoe.nsf")->required();
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"nsfadmin: sets up and inspects the data directory of the Notes client stand-in"};
    app.require_subcommand(1);
    std::string data;
    app.add_option("--data,-d", data, "data directory (default: $NOTES_DATA_DIR, notes.ini, current folder)");

    std::string name, unid, form, type, zone, title;
    std::vector<std::string> values, items;
    nsfadmin::DbRef db;

    CLI::App* server = app.add_subcommand("server", "server folders")->require_subcommand(1);
    CLI::App* serverAdd = server->add_subcommand("add", "create a server's folder");
    serverAdd->add_option("name", name, "server name, e.g. CN=Mail1/O=Acme or Mail1")->required();
    CLI::App* serverList = server->add_subcommand("list", "list the server folders");

    CLI::App* dbCmd = app.add_subcommand("db", "databases")->require_subcommand(1);
    std::string templateName;
    CLI::App* dbCreate = dbCmd->add_subcommand("create", "create a database, empty or from a template");
    addDbOptions(dbCreate, db);
    dbCreate->add_option("--template,-t", templateName, "names (directory), pab (address book) or mail");
    CLI::App* dbList = dbCmd->add_subcommand("list", "list the databases of a server");
    dbList->add_option("--server,-s", db.server, "server; default: local");

    CLI::App* doc = app.add_subcommand("doc", "documents")->require_subcommand(1);
    CLI::App* docCreate = doc->add_subcommand("create", "create a document and print its UNID");
    addDbOptions(docCreate, db);
    docCreate->add_option("--form,-f", form, "the document's form");
    docCreate->add_option("--item,-i", items, "a text item, NAME=VALUE (repeatable)");
    CLI::App* docList = doc->add_subcommand("list", "list documents: UNID and form");
    addDbOptions(docList, db);
    docList->add_option("--form,-f", form, "only documents of this form");
    CLI::App* docShow = doc->add_subcommand("show", "show a document's items");
    addDbOptions(docShow, db);
    docShow->add_option("unid", unid, "universal id (32 hexadecimal digits)")->required();
    CLI::App* docDelete = doc->add_subcommand("delete", "delete a document (leaves a deletion stub)");
    addDbOptions(docDelete, db);
    docDelete->add_option("unid", unid, "universal id")->required();

    std::vector<std::string> typeNames;
    for (const auto& t : nsfadmin::itemTypes()) {
        typeNames.emplace_back(t.name);
    }
    CLI::App* item = app.add_subcommand("item", "items of a document")->require_subcommand(1);
    CLI::App* itemSet = item->add_subcommand("set", "set an item (replaces items of that name)");
    addDbOptions(itemSet, db);
    itemSet->add_option("unid", unid, "universal id")->required();
    itemSet->add_option("name", name, "item name")->required();
    itemSet->add_option("values", values, "the value(s)");
    itemSet->add_option("--type,-t", type, "item type")->default_val("text")->check(CLI::IsMember(typeNames));
    itemSet->add_option("--zone,-z", zone,
                        "time zone of time values, hours west of GMT (default: this machine's)");
    CLI::App* itemShow = item->add_subcommand("show", "print an item's values, one per line");
    addDbOptions(itemShow, db);
    itemShow->add_option("unid", unid, "universal id")->required();
    itemShow->add_option("name", name, "item name")->required();
    CLI::App* itemDelete = item->add_subcommand("delete", "delete an item");
    addDbOptions(itemDelete, db);
    itemDelete->add_option("unid", unid, "universal id")->required();
    itemDelete->add_option("name", name, "item name")->required();

    // Users and groups of a server's directory.
    nsfadmin::PersonEntry person;
    nsfadmin::GroupEntry group;
    std::string password, groupName, action;
    bool passwordStdin = false;
    auto addPasswordOptions = [&](CLI::App* cmd) {
        cmd->add_flag("--password-stdin", passwordStdin,
                      "read the password from the first line of standard input");
        cmd->add_option("--password", password,
                        "the password (visible to other local users; prefer --password-stdin)");
    };
    CLI::App* user =
        app.add_subcommand("user", "people of a server's directory (names.nsf)")->require_subcommand(1);
    CLI::App* userAdd = user->add_subcommand(
        "add", "add a person with a mail file (mail/SHORT) and a personal address book (pab/SHORT_pab)");
    userAdd->add_option("--server,-s", db.server, "server, e.g. CN=Mail1/O=Acme")->required();
    userAdd->add_option("fullname", person.fullName, "full name, e.g. \"CN=Jane Doe/O=Acme\"")->required();
    userAdd->add_option("--short", person.shortName, "short name, e.g. jdoe")->required();
    userAdd->add_option("--first", person.firstName, "first name (default: from the full name)");
    userAdd->add_option("--middle", person.middleInitial, "middle initial");
    userAdd->add_option("--last", person.lastName, "last name (default: from the full name)");
    userAdd->add_option("--internet", person.internetAddress, "Internet address, e.g. jane.doe@acme.example");
    userAdd->add_option("--domain", person.mailDomain, "Notes mail domain (default: the organisation)");
    addPasswordOptions(userAdd);
    CLI::App* userPasswd = user->add_subcommand("passwd", "set a person's password");
    userPasswd->add_option("--server,-s", db.server, "server")->required();
    userPasswd->add_option("name", name, "any of the person's names (full, short, Internet address)")
        ->required();
    addPasswordOptions(userPasswd);
    CLI::App* userList =
        user->add_subcommand("list", "list the people: short name, full name, address, mail file");
    userList->add_option("--server,-s", db.server, "server")->required();

    auto addBookOptions = [&](CLI::App* cmd) {
        cmd->add_option("--server,-s", db.server, "server")->required();
        cmd->add_option("--book,-b", db.path, "address book path (default: the directory, names.nsf)");
    };
    CLI::App* groupCmd = app.add_subcommand("group", "groups of an address book")->require_subcommand(1);
    CLI::App* groupAdd = groupCmd->add_subcommand("add", "add a group");
    addBookOptions(groupAdd);
    groupAdd->add_option("name", group.name, "group name")->required();
    groupAdd->add_option("--description", group.description, "description");
    groupAdd->add_option("--type", group.type,
                         "0 multi-purpose (default), 1 mail, 2 access control, 3 deny list");
    groupAdd->add_option("--member,-m", group.members, "a member name (repeatable)");
    CLI::App* groupMembers = groupCmd->add_subcommand("members", "list, add or remove members");
    addBookOptions(groupMembers);
    groupMembers->add_option("action", action, "list, add or remove")
        ->required()
        ->check(CLI::IsMember({"list", "add", "remove"}));
    groupMembers->add_option("group", groupName, "group name")->required();
    groupMembers->add_option("members", values, "member names");

    // Contacts and distribution lists of a personal address book.
    std::string contactName, listDescription;
    std::vector<std::string> contactFields, listMembers;
    CLI::App* addContactCmd = app.add_subcommand(
        "add-contact", "add a contact to an address book; prints its UNID (ITEM=VALUE: items of the "
                       "\"Person\" form, e.g. MailAddress=ann@example.com OfficeCity=Springfield "
                       "selectedMailingAddress=2 Comment=notes)");
    addDbOptions(addContactCmd, db);
    addContactCmd->add_option("fullname", contactName, "the contact's full name, e.g. \"Ann Lee\"")
        ->required();
    addContactCmd->add_option("fields", contactFields, "ITEM=VALUE");
    CLI::App* addListCmd = app.add_subcommand(
        "add-list", "add a distribution list (a mail group) to an address book; prints its UNID");
    addDbOptions(addListCmd, db);
    addListCmd->add_option("name", contactName, "the list's name")->required();
    addListCmd->add_option("members", listMembers,
                           "member names: people or lists of the book or of the server's directory");
    addListCmd->add_option("--description,-d", listDescription, "description");

    std::string fixture;
    CLI::App* seed = app.add_subcommand(
        "seed", "build servers, directories, people and address books from a JSON fixture (see README.md)");
    seed->add_option("fixture", fixture, "the fixture file, e.g. demo/server.json")->required();

    std::string genUser, genCount, genServer;
    int genDays = 30;
    std::uint32_t genSeed = 1;
    CLI::App* genMail = app.add_subcommand(
        "gen-mail", "fill a user's mail file with COUNT realistic memos (for benchmarks), with progress");
    genMail->add_option("user", genUser, "short name; the mail file is mail/USER.nsf")->required();
    genMail->add_option("count", genCount, "how many memos (1 to 10000000)")->required();
    genMail->add_option("-s,--server", genServer, "server of the mail file (default: local)");
    genMail->add_option("--days", genDays, "spread delivery over this many days before now (default 30)");
    genMail->add_option("--seed", genSeed, "random seed (same seed, same memos)");

    std::string emlFile, folder = "($Inbox)";
    CLI::App* addMime = app.add_subcommand(
        "add-mime", "deliver a native MIME memo from an .eml file into a mail file; prints its UNID");
    addDbOptions(addMime, db);
    addMime->add_option("eml", emlFile, "the message file (RFC 5322, e.g. saved from a mail client)")
        ->required();
    addMime->add_option("--folder", folder, "folder to deliver into (default: ($Inbox))");

    std::string exportFile;
    CLI::App* exportMime = app.add_subcommand(
        "export-mime", "write a MIME memo's message as it was stored (.eml) to FILE or standard output");
    addDbOptions(exportMime, db);
    exportMime->add_option("unid", unid, "universal id (32 hexadecimal digits)")->required();
    exportMime->add_option("file", exportFile, "the .eml file to write (default: standard output)");

    nsfadmin::MemoEntry memo;
    CLI::App* addMemo = app.add_subcommand(
        "add-memo",
        "deliver a rich-text memo with pictures and attachments into a mail file; prints its UNID");
    addDbOptions(addMemo, db);
    addMemo->add_option("--from", memo.from, "sender, e.g. \"Anna Berg/Acme\"")->required();
    addMemo->add_option("--to", memo.to, "a recipient (repeatable)");
    addMemo->add_option("--cc", memo.cc, "a copy recipient (repeatable)");
    addMemo->add_option("--subject", memo.subject, "subject")->required();
    addMemo->add_option("--text", memo.text, "a paragraph of text (repeatable)");
    addMemo->add_option("--picture", memo.pictures, "a GIF, PNG or JPEG file shown in the body (repeatable)");
    addMemo->add_option("--attach", memo.attachments,
                        "a file attached and referenced in the body (repeatable)");
    addMemo->add_option("--folder", memo.folder, "folder to deliver into (default: ($Inbox))");

    std::vector<std::string> attachFiles;
    CLI::App* attachCmd = app.add_subcommand("attach", "attach files to an existing document");
    addDbOptions(attachCmd, db);
    attachCmd->add_option("unid", unid, "universal id (32 hexadecimal digits)")->required();
    attachCmd->add_option("files", attachFiles, "the files to attach")->required();

    std::string routeServer;
    CLI::App* mailboxCmd =
        app.add_subcommand("mailbox", "list what waits in a server's mail.box and its outbound queue");
    mailboxCmd->add_option("--server,-s", routeServer, "server (canonical or common name)")->required();
    CLI::App* routeCmd = app.add_subcommand("route", "deliver what waits in a server's mail.box now");
    routeCmd->add_option("--server,-s", routeServer, "server (canonical or common name)")->required();
    nsfadmin::AppointmentEntry appt;
    CLI::App* addAppt =
        app.add_subcommand("add-appointment", "write a calendar entry into a mail file; prints its UNID");
    addDbOptions(addAppt, db);
    addAppt->add_option("--subject", appt.subject, "subject")->required();
    addAppt->add_option("--start", appt.start, "start, \"YYYY-MM-DD HH:MM\" (all-day: \"YYYY-MM-DD\")")
        ->required();
    addAppt->add_option("--end", appt.end, "end, the same form (default: the start)");
    addAppt->add_option("--zone", appt.zone,
                        "zone of the times in hours west of GMT (New York 5, Berlin -1); default 0");
    addAppt->add_flag("--dst", appt.dst, "the times are in daylight saving time");
    addAppt->add_flag("--all-day", appt.allDay, "an all-day event (dates without times)");
    addAppt->add_option("--chair", appt.chair, "owner of the entry; a meeting's chair");
    addAppt->add_option("--attendee", appt.required, "a required attendee (repeatable; makes a meeting)");
    addAppt->add_option("--optional", appt.optional, "an optional attendee (repeatable; makes a meeting)");
    addAppt->add_flag("--penciled-in", appt.penciledIn, "penciled in: does not make its owner busy");
    addAppt->add_option("--location", appt.location, "location");
    addAppt->add_option("--text", appt.text, "the body text");

    std::string aclAction, aclName, aclLevel;
    CLI::App* aclCmd = app.add_subcommand(
        "acl", "a mail file's access list: 'acl DB list', or 'acl DB add NAME reader|none'");
    addDbOptions(aclCmd, db);
    aclCmd->add_option("action", aclAction, "list or add")->required();
    aclCmd->add_option("name", aclName, "a person of the directory, any name form (add)");
    aclCmd->add_option("access", aclLevel, "reader or none (add)");
    nsfadmin::TaskEntry task;
    CLI::App* addTaskCmd = app.add_subcommand("add-task", "write a to-do into a mail file; prints its UNID");
    addDbOptions(addTaskCmd, db);
    addTaskCmd->add_option("--subject", task.subject, "subject")->required();
    addTaskCmd->add_option("--due", task.due, "due date, YYYY-MM-DD");
    addTaskCmd->add_option("--start", task.start, "start date, YYYY-MM-DD");
    addTaskCmd->add_option("--importance", task.importance, "high, normal (default) or low");
    addTaskCmd->add_flag("--completed", task.completed, "done (completed today)");
    addTaskCmd->add_option("--from", task.from, "owner of the to-do");
    addTaskCmd->add_option("--text", task.text, "the body text");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? nsfadmin::kOk : nsfadmin::kBadInput;
    }

    if (passwordStdin) {
        if (!password.empty()) {
            std::cerr << "nsfadmin: give either --password or --password-stdin\n";
            return nsfadmin::kBadInput;
        }
        std::getline(std::cin, password);
        if (!password.empty() && password.back() == '\r') {
            password.pop_back();
        }
    }

    nsfadmin::Admin admin(data, std::cout, std::cerr);
    if (*userAdd) {
        return admin.userAdd(db.server, person, password);
    }
    if (*userPasswd) {
        return admin.userPasswd(db.server, name, password);
    }
    if (*userList) {
        return admin.userList(db.server);
    }
    if (*groupAdd) {
        return admin.groupAdd(db, group);
    }
    if (*groupMembers) {
        return admin.groupMembers(db, groupName, action, values);
    }
    if (*addContactCmd) {
        return admin.addContact(db, contactName, contactFields);
    }
    if (*addListCmd) {
        return admin.addList(db, contactName, listDescription, listMembers);
    }
    if (*seed) {
        return admin.seed(fixture);
    }
    if (*genMail) {
        char* end = nullptr;
        const long long count = std::strtoll(genCount.c_str(), &end, 10);
        return admin.genMail(genServer, genUser, end && *end == '\0' && !genCount.empty() ? count : -1,
                             genDays, genSeed);
    }
    if (*addMime) {
        return admin.addMime(db, emlFile, folder);
    }
    if (*exportMime) {
        return admin.exportMime(db, unid, exportFile);
    }
    if (*addMemo) {
        return admin.addMemo(db, memo);
    }
    if (*mailboxCmd) {
        return admin.mailbox(routeServer);
    }
    if (*routeCmd) {
        return admin.route(routeServer);
    }
    if (*addAppt) {
        return admin.addAppointment(db, appt);
    }
    if (*aclCmd) {
        return admin.acl(db, aclAction, aclName, aclLevel);
    }
    if (*addTaskCmd) {
        return admin.addTask(db, task);
    }
    if (*attachCmd) {
        return admin.attach(db, unid, attachFiles);
    }
    if (*serverAdd) {
        return admin.serverAdd(name);
    }
    if (*serverList) {
        return admin.serverList();
    }
    if (*dbCreate) {
        return admin.dbCreate(db, title, templateName);
    }
    if (*dbList) {
        return admin.dbList(db.server);
    }
    if (*docCreate) {
        return admin.docCreate(db, form, items);
    }
    if (*docList) {
        return admin.docList(db, form);
    }
    if (*docShow) {
        return admin.docShow(db, unid);
    }
    if (*docDelete) {
        return admin.docDelete(db, unid);
    }
    if (*itemSet) {
        return admin.itemSet(db, unid, name, type, values, zone);
    }
    if (*itemShow) {
        return admin.itemShow(db, unid, name);
    }
    if (*itemDelete) {
        return admin.itemDelete(db, unid, name);
    }
    return nsfadmin::kBadInput;
}
