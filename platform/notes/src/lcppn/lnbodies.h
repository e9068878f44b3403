// Shared state behind the class library's reference objects.
#pragma once

#include "acl.h"
#include "notes/lncpp.h"
#include "runtime.h"
#include "store.h"

struct LNDatabaseBody {
    std::string server;
    std::string path;
    DBHANDLE handle = NULLHANDLE;
    std::shared_ptr<notes::acl::Identity> identity; // of the binding session: whom Open admits
    ~LNDatabaseBody() {
        if (handle != NULLHANDLE) {
            NSFDbClose(handle);
        }
    }
    std::shared_ptr<notes::Database> database() const { return notes::handles::database(handle); }
};

struct LNNoteBody {
    std::shared_ptr<LNDatabaseBody> db;
    NOTEID id = 0;
    NOTEHANDLE handle = NULLHANDLE;
    bool isNew = false;
    ~LNNoteBody() {
        if (handle != NULLHANDLE) {
            NSFNoteClose(handle);
        }
    }
    std::shared_ptr<notes::Note> note() const { return notes::handles::note(handle); }
};

struct LNItemBody {
    NOTEHANDLE note = NULLHANDLE; // attached when set
    WORD itemId = 0;
    std::string name;
    WORD type = 0;
    WORD flags = 0;
    std::string value;
};

// Returns s, or throws it when the calling thread's throw-all-errors mode is on and s is an error.
LNSTATUS lnResult(LNSTATUS s);
