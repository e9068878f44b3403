// Person and group documents of address books, and the databases a command makes: what the
// directory commands and seed share.
#pragma once

#include "admin_impl.h"

#include "notes/admin/directory.h"
#include "notes/admin/handle.h"

#include <string>
#include <vector>

namespace nsfadmin {

constexpr const char* kDirectory = "names.nsf";

struct ItemValue {
    std::string name;
    std::vector<std::string> values; // Latin-1
    bool list = false;
};

// Databases and folders made by one command, removed again when it fails half-way.
struct Undo {
    std::vector<std::string> databases; // net paths
    std::vector<std::string> folders;
    bool keep = false;
    ~Undo(); // removes what was made unless keep
};

std::string netPath(const std::string& server, const std::string& path);
// Letters, digits, '.', '_' and '-', at most 64.
bool validShortName(const std::string& s);
// The organisation part of a canonical name ("O=Acme" of "CN=Jane Doe/O=Acme"), or "".
std::string orgPart(const std::string& canonical);
// "Mail1" becomes "CN=Mail1/O=Acme" for a person of O=Acme; a full server name stays.
std::string serverFullName(const std::string& server, const std::string& personCanonical);
bool databaseExists(const std::string& server, const std::string& path);

// The documents whose key in a view equals `key` (ignoring case).
STATUS findKey(DBHANDLE h, const char* view, const std::string& key, std::vector<NOTEID>* out);
// Writes items into a new document (existing == 0) or over the same items of a stored one.
STATUS writeDoc(DBHANDLE h, NOTEID existing, const std::vector<ItemValue>& items, NOTEID* saved = nullptr);
// A person or group of the command line or a fixture as the directory stores it (UTF-8 becomes
// ISO-8859-1). A person with a mail server is a directory person, with the mail items.
notes::directory::Person personOf(const PersonEntry& p, const std::string& mailServer);
notes::directory::Group groupOf(const GroupEntry& g);

// The steps of user add, shared with seed: mail file, address book, person document.
int addUser(Admin::Impl& impl, const std::string& server, DBHANDLE directory, const PersonEntry& person,
            const std::string& password, Undo& undo, std::string* summary);
// Opens the server's directory, making it from its template when missing (recorded in undo).
int openDirectory(Admin::Impl& impl, const std::string& server, bool create, notes::admin::DatabaseHandle* h,
                  Undo* undo);

} // namespace nsfadmin
