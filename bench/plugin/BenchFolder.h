// A data folder of its own for one benchmark program: the plug-in loaded, the Notes runtime and the
// provider's log pointed at a fresh temporary folder, which goes away with the object.
#pragma once

#include "admin.h"
#include "notes/NotesFolder.h"

#include "Lattice/Logger.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>

struct BenchFolder {
    std::string dir;

    explicit BenchFolder(const std::string& name) {
        // A use of the plug-in, so that it is loaded and its classes registered under the host's names.
        benchmark::DoNotOptimize(hxMail::hxNotesProvider::NotesFolder::generateId());
        std::string tmpl = "/tmp/hxbench-" + name + "-XXXXXX";
        if (mkdtemp(tmpl.data()) == nullptr)
            std::abort();
        dir = tmpl;
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        Lattice::Logger::setLogFolder(dir.c_str());
    }
    ~BenchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    void addServer(const std::string& server) {
        check(server, [&](nsfadmin::Admin& admin) { return admin.serverAdd(server); });
    }

    // A person of `server` with a mail file.
    void addUser(const std::string& server, const std::string& fullName, const std::string& shortName,
                 const std::string& internetAddress, const std::string& password) {
        nsfadmin::PersonEntry person;
        person.fullName = fullName;
        person.shortName = shortName;
        person.internetAddress = internetAddress;
        check(fullName, [&](nsfadmin::Admin& admin) { return admin.userAdd(server, person, password); });
    }

    // Runs an nsfadmin step on the folder; aborts with its words when it fails.
    template <typename Step> void check(const std::string& what, Step step) {
        std::ostringstream out, err;
        nsfadmin::Admin admin(dir, out, err);
        if (step(admin) != 0) {
            std::fprintf(stderr, "cannot set up %s: %s%s\n", what.c_str(), out.str().c_str(),
                         err.str().c_str());
            std::abort();
        }
    }
};

constexpr const char* kMailFile = "Mail1!!mail/jdoe.nsf";

inline void append(NOTEHANDLE h, const char* name, WORD type, const std::string& value) {
    if (NSFItemAppend(h, ITEM_SUMMARY, name, static_cast<WORD>(std::strlen(name)), type, value.data(),
                      static_cast<DWORD>(value.size())) != NOERROR)
        std::abort();
}

// A memo from John Smith to Jane in her mail file; `body` adds its body items. Returns its UNID text.
inline std::string addMemo(const std::string& subject, const std::function<void(NOTEHANDLE)>& body) {
    DBHANDLE hDb = NULLHANDLE;
    NOTEHANDLE h = NULLHANDLE;
    if (NSFDbOpen(kMailFile, &hDb) != NOERROR || NSFNoteCreate(hDb, &h) != NOERROR)
        std::abort();
    append(h, "Form", TYPE_TEXT, "Memo");
    append(h, "Subject", TYPE_TEXT, subject);
    append(h, "From", TYPE_TEXT, "CN=John Smith/O=Acme");
    append(h, "SendTo", TYPE_TEXT, "CN=Jane Doe/O=Acme");
    body(h);
    if (NSFNoteUpdate(h, 0) != NOERROR)
        std::abort();
    OID oid{};
    NSFNoteGetInfo(h, _NOTE_OID, &oid);
    NSFNoteClose(h);
    NSFDbClose(hDb);
    char unid[33];
    std::snprintf(unid, sizeof unid, "%08X%08X%08X%08X", static_cast<unsigned>(oid.File.Innards[1]),
                  static_cast<unsigned>(oid.File.Innards[0]), static_cast<unsigned>(oid.Note.Innards[1]),
                  static_cast<unsigned>(oid.Note.Innards[0]));
    return unid;
}
