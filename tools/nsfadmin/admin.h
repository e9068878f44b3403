// The commands of nsfadmin. Each returns the process exit code: 0 done, 1 a Notes error (the
// message is on the error stream), 2 bad input. Text arguments are UTF-8; Notes text is the
// stand-in's 8-bit character set (ISO-8859-1) and is converted both ways.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace nsfadmin {

constexpr int kOk = 0;
constexpr int kNotesError = 1;
constexpr int kBadInput = 2;

// Names of the item types that "item set" takes, with their Notes type codes.
struct ItemType {
    const char* name;
    unsigned short code;
};
const std::vector<ItemType>& itemTypes();

// Where a database is: server ("" = local) and path.
struct DbRef {
    std::string server;
    std::string path;
};

class Admin {
public:
    // dataDir: the data directory; empty = the library's own configuration.
    Admin(std::string dataDir, std::ostream& out, std::ostream& err);
    ~Admin();
    Admin(const Admin&) = delete;
    Admin& operator=(const Admin&) = delete;

    int serverAdd(const std::string& name);
    int serverList();
    int dbCreate(const DbRef& db, const std::string& title);
    int dbList(const std::string& server);
    // Prints the new document's UNID. items: "NAME=VALUE" text items.
    int docCreate(const DbRef& db, const std::string& form, const std::vector<std::string>& items);
    int docList(const DbRef& db, const std::string& form);
    int docShow(const DbRef& db, const std::string& unid);
    int docDelete(const DbRef& db, const std::string& unid);
    // type: a name of itemTypes(); zone: hours west of GMT for time values, or empty for this
    // machine's zone.
    int itemSet(const DbRef& db, const std::string& unid, const std::string& name, const std::string& type,
                const std::vector<std::string>& values, const std::string& zone);
    int itemShow(const DbRef& db, const std::string& unid, const std::string& name);
    int itemDelete(const DbRef& db, const std::string& unid, const std::string& name);

private:
    struct Impl;
    Impl* impl_;
};

std::string utf8ToLatin1(const std::string& text);
std::string latin1ToUtf8(const std::string& text);

} // namespace nsfadmin
