#include "lnbodies.h"

#include "notes/admin/config.h"

LNNotesSession::~LNNotesSession() {
    if (initialized_) {
        notes::termRuntime();
    }
}

LNSTATUS LNNotesSession::Init(LNINT apiVersion, int argc, char** argv, LNBOOL, const char* iniFile) {
    if (apiVersion <= 0 || apiVersion > LNCPP_API_VERSION) {
        return lnResult(LNERR_API_VERSION);
    }
    if (initialized_) {
        return LNNOERROR;
    }
    std::string ini = iniFile ? iniFile : "";
    if (ini.empty() && argc > 1 && argv != nullptr && argv[1] != nullptr && argv[1][0] == '=') {
        ini = argv[1] + 1;
    }
    if (STATUS s = notes::initRuntime(ini); s != NOERROR) {
        return lnResult(s);
    }
    initialized_ = true;
    identity_ = std::make_shared<notes::acl::Identity>(); // a new session has no one logged in
    notes::acl::makeCurrent(identity_);
    return LNNOERROR;
}

LNSTATUS LNNotesSession::Term(LNINT) {
    if (!initialized_) {
        return lnResult(LNERR_NOT_INITIALIZED);
    }
    notes::termRuntime();
    initialized_ = false;
    return LNNOERROR;
}

LNSTATUS LNNotesSession::GetDatabase(const LNString& path, LNDatabase* db, const LNString& server) const {
    if (!initialized_) {
        return lnResult(LNERR_NOT_INITIALIZED);
    }
    if (db == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    std::string file;
    if (STATUS s = notes::resolveDatabaseFile(server.str(), path.str(), true, &file); s != NOERROR) {
        return lnResult(s);
    }
    // A login checked on this thread next belongs to the session that last bound a database here.
    notes::acl::makeCurrent(identity_);
    auto body = std::make_shared<LNDatabaseBody>();
    body->server = server.str();
    body->path = path.str();
    body->identity = identity_;
    db->body_ = std::move(body);
    return LNNOERROR;
}

LNDatetime LNNotesSession::GetCurrentDatetime() const {
    const std::int64_t now = notes::ticksNow();
    int zone = 0;
    bool dst = false;
    notes::machineZone(now, &zone, &dst);
    return LNDatetime(notes::timedateFromTicks(now, zone, dst));
}

LNString LNNotesSession::AbbreviateName(const LNString& name) const {
    return LNString(notes::abbreviateName(name.str()));
}

LNSTATUS LNNotesSession::AbbreviateName(const LNString& name, LNString* abbreviated) const {
    if (abbreviated == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    *abbreviated = AbbreviateName(name);
    return LNNOERROR;
}

LNString LNNotesSession::CanonicalizeName(const LNString& name) const {
    return LNString(notes::canonicalizeName(name.str()));
}

LNSTATUS LNNotesSession::CanonicalizeName(const LNString& name, LNString* canonical) const {
    if (canonical == nullptr) {
        return lnResult(ERR_INVALID_PARAM);
    }
    *canonical = CanonicalizeName(name);
    return LNNOERROR;
}

LNString LNNotesSession::GetDataDirectory() const {
    return LNString(notes::dataDirectory());
}
