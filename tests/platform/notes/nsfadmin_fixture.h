// nsfadmin commands run in process with what they printed, and a fixture whose mail file of Jane
// exists before each test.
#pragma once
#include "admin.h"
#include "fixture.h"
#include "runtime.h"
#include "store.h"

#include <memory>
#include <sstream>
#include <string>
#include <vector>

struct Outcome {
    int code = -1;
    std::string out, err;
};

inline std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

template <typename F> Outcome runAdmin(const std::string& dir, F f) {
    std::ostringstream out, err;
    nsfadmin::Admin a(dir, out, err);
    Outcome r;
    r.code = f(a);
    r.out = out.str();
    r.err = err.str();
    return r;
}

class NsfadminRunTest : public NotesTest {
protected:
    template <typename F> Outcome admin(F f) { return runAdmin(dir, f); }

    // Runs one command; its output is kept in out and err.
    template <typename F> int run(F f) {
        const Outcome r = runAdmin(dir, f);
        out = r.out;
        err = r.err;
        return r.code;
    }

    std::string out, err;
};

class NsfadminMailFileTest : public NsfadminRunTest {
protected:
    void SetUp() override {
        NsfadminRunTest::SetUp();
        EXPECT_EQ(run([&](auto& a) { return a.dbCreate(mail, "Jane", "mail"); }), nsfadmin::kOk);
    }

    std::shared_ptr<notes::Database> open() {
        std::string file;
        EXPECT_EQ(notes::resolveDatabaseFile("Mail1", "mail/jdoe.nsf", true, &file), NOERROR);
        std::shared_ptr<notes::Database> db;
        EXPECT_EQ(notes::Database::open(file, "Mail1", "mail/jdoe.nsf", &db), NOERROR);
        return db;
    }

    // The note of a universal id as a command printed it, with its database for file bytes.
    notes::Note load(const std::string& unidText) {
        auto db = open();
        UNID unid{};
        EXPECT_TRUE(notes::unidFromText(unidText.substr(0, 32), &unid)) << unidText;
        NOTEID id = 0;
        EXPECT_EQ(db->findByUnid(unid, &id), NOERROR);
        notes::Note note;
        EXPECT_EQ(db->load(id, &note), NOERROR);
        note.db = db;
        return note;
    }

    std::size_t documents() {
        std::vector<NOTEID> ids;
        EXPECT_EQ(open()->list(NOTE_CLASS_DOCUMENT, &ids), NOERROR);
        return ids.size();
    }

    static std::string text(const notes::Note& note, const char* name) {
        const notes::Item* item = note.find(name);
        return item ? notes::ods::toText(item->type, item->value, ";") : "";
    }

    const nsfadmin::DbRef mail{"Mail1", "mail/jdoe.nsf"};
};
