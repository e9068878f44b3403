// The commands of nsfadmin. Each returns the process exit code: 0 done, 1 a Notes error (the
// message is on the error stream), 2 bad input. Text arguments are UTF-8; Notes text is the
// stand-in's 8-bit character set (ISO-8859-1) and is converted both ways.
#pragma once

#include <cstdint>
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

// A person of a directory or address book. Empty first and last names come from the common name;
// an empty mail domain from the organisation of the full name.
struct PersonEntry {
    std::string fullName; // "CN=Jane Doe/O=Acme", "Jane Doe/Acme" or a flat name
    std::string shortName;
    std::string firstName, middleInitial, lastName;
    std::string internetAddress;
    std::string mailDomain;
    std::vector<std::pair<std::string, std::vector<std::string>>> items; // further text items
};

// A group. Type "0" multi-purpose, "1" mail only (the ones listed as distribution lists), ...
struct GroupEntry {
    std::string name;
    std::string description;
    std::string type = "0";
    std::vector<std::string> members;
};

// A rich-text memo for add-memo: text paragraphs, then each picture and each attachment (with a
// reference to it in the body). Names are UTF-8; paths are files on disk.
struct MemoEntry {
    std::string from;
    std::vector<std::string> to, cc;
    std::string subject;
    std::vector<std::string> text; // paragraphs
    std::vector<std::string> pictures, attachments;
    std::string folder = "($Inbox)";
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
    // templateName: "names", "pab" or "mail" (empty: a database without design).
    int dbCreate(const DbRef& db, const std::string& title, const std::string& templateName);
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

    // The directory is "names.nsf" on the server (made from its template when missing). user add
    // also makes the mail file "mail/<short>" and the address book "pab/<short>_pab".
    int userAdd(const std::string& server, const PersonEntry& person, const std::string& password);
    int userPasswd(const std::string& server, const std::string& name, const std::string& password);
    int userList(const std::string& server);
    // book.path empty: the server's directory.
    int groupAdd(const DbRef& book, const GroupEntry& group);
    // action: "add", "remove" or "list".
    int groupMembers(const DbRef& book, const std::string& group, const std::string& action,
                     const std::vector<std::string>& members);
    // A contact (person document without mail items) in an address book; fields are "ITEM=VALUE"
    // for items of the book's "Person" form. Prints its UNID.
    int addContact(const DbRef& book, const std::string& fullName, const std::vector<std::string>& fields);
    // A distribution list (mail group) whose members are people or lists of the book or of the
    // server's directory. Prints its UNID.
    int addList(const DbRef& book, const std::string& name, const std::string& description,
                const std::vector<std::string>& members);
    // Builds servers from a JSON fixture (see tools/nsfadmin/README.md); refuses to overwrite.
    int seed(const std::string& file);
    // COUNT realistic memos delivered into mail/USER's inbox over the last `days` days, a batch per
    // transaction, with a progress line per batch.
    int genMail(const std::string& server, const std::string& user, long long count, int days,
                std::uint32_t seed);

    // A native MIME memo from an .eml file, delivered into `folder`; prints its UNID.
    int addMime(const DbRef& db, const std::string& emlFile, const std::string& folder);
    // Writes a MIME memo's message as it was stored (.eml) to `file`, or to the output when empty.
    int exportMime(const DbRef& db, const std::string& unid, const std::string& file);
    // A rich-text memo with pictures and attachments, delivered into its folder; prints its UNID.
    int addMemo(const DbRef& db, const MemoEntry& memo);
    // Attaches files to a document; nothing is saved unless every file can be attached.
    int attach(const DbRef& db, const std::string& unid, const std::vector<std::string>& files);

    // What waits in the server's mail.box (UNID, from, subject, recipients) and in the outbound
    // queue (one file name a line).
    int mailbox(const std::string& server);
    // Delivers what waits in the server's mail.box now; prints what it did.
    int route(const std::string& server);
    // A calendar entry in a mail file; prints its UNID.
    int addAppointment(const DbRef& db, const struct AppointmentEntry& entry);
    // A mail file's access list: "list" prints its readers ("reader", a tab, the full name, one a
    // line); "add" gives a directory person `level` ("reader", or "none" to take it away).
    int acl(const DbRef& db, const std::string& action, const std::string& name, const std::string& level);
    // A to-do in a mail file; prints its UNID.
    int addTask(const DbRef& db, const struct TaskEntry& entry);

    struct Impl; // the command sources' shared state (admin_impl.h)

private:
    Impl* impl_;
};

std::string utf8ToLatin1(const std::string& text);
std::string latin1ToUtf8(const std::string& text);

} // namespace nsfadmin
