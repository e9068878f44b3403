// LNNotesSession: the class library's session. Init starts the runtime (see the README for
// where the data directory comes from); Term stops it.
#pragma once

#include "notes/lndatabase.h"

#include <memory>

namespace notes::acl {
class Identity;
}

// Each session acts as someone: the server until a directory password is verified through it
// (see the README, access to mail files); databases it binds are opened as that user.
class LNNotesSession {
public:
    LNNotesSession() = default;
    ~LNNotesSession();
    LNNotesSession(const LNNotesSession&) = delete;
    LNNotesSession& operator=(const LNNotesSession&) = delete;

    // apiVersion: the caller's API version (at most LNCPP_API_VERSION). argc/argv: the program's
    // arguments; argv[1] = "=path" names an ini file. noConsole: accepted, no effect. iniFile:
    // an ini file whose "Directory=" names the data directory (wins over argv).
    LNSTATUS Init(LNINT apiVersion, int argc, char** argv, LNBOOL noConsole, const char* iniFile);
    LNSTATUS Init(int argc = 0, char** argv = 0) { return Init(LNCPP_API_VERSION, argc, argv, FALSE, 0); }
    LNBOOL IsInitialized() const { return initialized_; }
    LNSTATUS Term(LNINT flags = 0);

    // Binds db to the database at path on server ("" = local). The server must be known and the
    // file must exist; the database is not opened.
    LNSTATUS GetDatabase(const LNString& path, LNDatabase* db, const LNString& server = "") const;
    LNDatetime GetCurrentDatetime() const;
    LNString AbbreviateName(const LNString& name) const;
    LNSTATUS AbbreviateName(const LNString& name, LNString* abbreviated) const;
    LNString CanonicalizeName(const LNString& name) const;
    LNSTATUS CanonicalizeName(const LNString& name, LNString* canonical) const;
    LNString GetDataDirectory() const;

private:
    bool initialized_ = false;
    std::shared_ptr<notes::acl::Identity> identity_;
};
