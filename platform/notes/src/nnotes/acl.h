// Access lists of mail files, and who a session acts as.
//
// A mail file's list is one note of class NOTE_CLASS_ACL ("$TITLE" "$ACL") with the readers'
// canonical names in "Readers". Its owner (the person whose directory "MailFile" it is) always
// reads it, a reader reads it, anyone else is refused. A database without a list is open to all.
//
// Each LNNotesSession acts as someone, like a Notes ID per session: the server until a directory
// password is verified through it, then that person. A password check names no session, so the
// session is the one that last started or bound a database on the checking thread (a provider's
// operation binds its databases before it logs in).
#pragma once

#include "notes/capi.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace notes {
class Database;
}

namespace notes::acl {

class Identity {
public:
    enum class Kind {
        Server, // nobody logged in through the session: reads everything
        Person, // a verified login
        Nobody, // the last password check failed: reads no mail file but open ones
    };
    struct State {
        Kind kind = Kind::Server;
        std::string name;     // canonical full name (Person)
        std::string mailFile; // the file of the person's directory MailFile, resolved; may be empty
    };
    State get() const;
    void set(State state);

private:
    mutable std::mutex mutex_;
    State state_;
};

// The session whose identity a password check on this thread sets.
void makeCurrent(const std::shared_ptr<Identity>& identity);

// NAMELookup2 hands out a person's digest for checking; SECVerifyPassword reports the check.
void digestHandedOut(const std::string& digest, const std::string& fullName, const std::string& mailFile);
void passwordChecked(const std::string& digest, bool matched);

// ERR_NOACCESS unless `who` (null: the server) may read `db`.
STATUS checkRead(const Identity* who, Database& db);

// The list's readers; *hasList false (and no readers) when the database carries no list.
STATUS readers(Database& db, std::vector<std::string>* out, bool* hasList);
// Gives `fullName` reader access, or takes it away; writes the list if the database had none.
STATUS setReader(Database& db, const std::string& fullName, bool reader);
// Writes an empty list unless the database has one (the mail template's default: no access).
STATUS ensureList(Database& db);
// A mail file: it carries a list, or it has the mail template's inbox (made before lists were).
bool isMailFile(Database& db);

// The canonical full name of the one directory person `name` (any name form) finds on `server`
// ("" every directory): ERR_NOT_FOUND for nobody, a group, or several people.
STATUS personName(const std::string& server, const std::string& name, std::string* fullName);

} // namespace notes::acl
