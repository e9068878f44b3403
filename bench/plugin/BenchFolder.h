// A data folder of its own for one benchmark program: the plug-in loaded, the Notes runtime and the
// provider's log pointed at a fresh temporary folder, which goes away with the object.
#pragma once

#include "admin.h"
#include "notes/NotesFolder.h"

#include "Lattice/Logger.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
