// A fixture for nsfadmin commands that write into Jane's mail file: the file is made first, and
// each command's output is kept for the checks.
#pragma once
#include "admin.h"
#include "fixture.h"
#include "runtime.h"
#include "store.h"

#include <sstream>

class NsfadminMailFileTest : public NotesTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        EXPECT_EQ(run([&](auto& a) { return a.dbCreate(mail, "Jane", "mail"); }), nsfadmin::kOk);
    }

    template <typename F> int run(F f) {
        std::ostringstream o, e;
        nsfadmin::Admin a(dir, o, e);
        const int rc = f(a);
        out = o.str();
        err = e.str();
        return rc;
    }

    std::shared_ptr<notes::Database> open() {
        std::string file;
        EXPECT_EQ(notes::resolveDatabaseFile("Mail1", "mail/jdoe.nsf", true, &file), NOERROR);
        std::shared_ptr<notes::Database> db;
        EXPECT_EQ(notes::Database::open(file, "Mail1", "mail/jdoe.nsf", &db), NOERROR);
        return db;
    }

    std::string text(const notes::Note& note, const char* name) {
        const notes::Item* item = note.find(name);
        return item ? notes::ods::toText(item->type, item->value, ";") : "";
    }

    nsfadmin::DbRef mail{"Mail1", "mail/jdoe.nsf"};
    std::string out, err;
};
