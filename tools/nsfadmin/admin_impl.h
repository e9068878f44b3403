// The state behind Admin, shared by the command sources.
#pragma once

#include "admin.h"

#include "attachments.h"
#include "mimeparts.h"
#include "notes/lncpp.h"
#include "store.h"

#include <cstdlib>
#include <ostream>
#include <string>

namespace nsfadmin {

struct Admin::Impl {
    std::string dataDir;
    std::ostream& out;
    std::ostream& err;
    LNNotesSession session;

    Impl(std::string dir, std::ostream& o, std::ostream& e) : dataDir(std::move(dir)), out(o), err(e) {}

    int badInput(const std::string& message) {
        err << "nsfadmin: " << message << "\n";
        return kBadInput;
    }

    int notesError(const std::string& what, LNSTATUS status) {
        char text[LNERROR_MESSAGE_LENGTH];
        LNGetErrorMessageText(status, text, LNERROR_MESSAGE_LENGTH);
        err << "nsfadmin: " << what << ": " << text << "\n";
        return kNotesError;
    }

    LNSTATUS start() {
        if (session.IsInitialized()) {
            return LNNOERROR;
        }
        if (!dataDir.empty()) {
            setenv("NOTES_DATA_DIR", dataDir.c_str(), 1);
        }
        return session.Init();
    }

    static std::string describe(const DbRef& ref) {
        return ref.server.empty() ? ref.path : ref.path + " on " + ref.server;
    }

    // Opens a database; on failure prints why and returns the exit code.
    int openDb(const DbRef& ref, LNDatabase* db) {
        if (LNSTATUS s = start(); s != LNNOERROR) {
            return notesError("cannot start Notes", s);
        }
        if (LNSTATUS s = session.GetDatabase(utf8ToLatin1(ref.path), db, utf8ToLatin1(ref.server));
            s != LNNOERROR) {
            return notesError("cannot open database " + describe(ref), s);
        }
        if (LNSTATUS s = db->Open(); s != LNNOERROR) {
            return notesError("cannot open database " + describe(ref), s);
        }
        return kOk;
    }

    int openDoc(const DbRef& ref, const std::string& unid, LNDatabase* db, LNDocument* doc) {
        if (int rc = openDb(ref, db); rc != kOk) {
            return rc;
        }
        const LNUniversalID id{LNString(unid)};
        if (!id.IsValid()) {
            return badInput("not a universal id (32 hexadecimal digits): " + unid);
        }
        if (LNSTATUS s = db->GetDocument(id, doc); s != LNNOERROR) {
            return notesError("cannot find document " + unid, s);
        }
        if (LNSTATUS s = doc->Open(); s != LNNOERROR) {
            return notesError("cannot open document " + unid, s);
        }
        return kOk;
    }

    // Password digests are secrets: shown only as present.
    std::string itemText(const notes::Item& item, const char* separator) {
        if (notes::nameEquals(item.name, "HTTPPassword")) {
            return item.value.empty() ? "" : "(digest hidden)";
        }
        notes::files::FileObject file;
        if (notes::files::isFileItem(item) && notes::files::decode(item.value, &file)) {
            return latin1ToUtf8(file.name) + " (" + std::to_string(file.size) + " bytes)";
        }
        MIME_PART part{};
        std::string text;
        if (item.type == TYPE_MIME_PART && notes::mime::decodePartItem(item.value, &part, &text)) {
            static const char* const kKinds[] = {"?", "prolog", "body", "epilog", "retrieve info", "message"};
            return std::string(part.cPartType <= 5 ? kKinds[part.cPartType] : "?") + " part, " +
                   std::to_string(text.size()) + " bytes";
        }
        return latin1ToUtf8(notes::ods::toText(item.type, item.value, separator));
    }
};

} // namespace nsfadmin
