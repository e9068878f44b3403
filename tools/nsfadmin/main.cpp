// nsfadmin's command line. Only parsing lives here (CLI11 is slow to compile); the commands are in
// admin.cpp.
#include "admin.h"

#include <CLI/CLI.hpp>

#include <iostream>

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
    CLI::App* dbCreate = dbCmd->add_subcommand("create", "create an empty database");
    addDbOptions(dbCreate, db);
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
    itemSet->add_option("--zone,-z", zone, "time zone of time values, hours west of GMT (default: this machine's)");
    CLI::App* itemShow = item->add_subcommand("show", "print an item's values, one per line");
    addDbOptions(itemShow, db);
    itemShow->add_option("unid", unid, "universal id")->required();
    itemShow->add_option("name", name, "item name")->required();
    CLI::App* itemDelete = item->add_subcommand("delete", "delete an item");
    addDbOptions(itemDelete, db);
    itemDelete->add_option("unid", unid, "universal id")->required();
    itemDelete->add_option("name", name, "item name")->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? nsfadmin::kOk : nsfadmin::kBadInput;
    }

    nsfadmin::Admin admin(data, std::cout, std::cerr);
    if (*serverAdd) {
        return admin.serverAdd(name);
    }
    if (*serverList) {
        return admin.serverList();
    }
    if (*dbCreate) {
        return admin.dbCreate(db, title);
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
