// A fresh data directory per test, with the server folder "Mail1" and the runtime pointed at it.
#pragma once

#include "notes/admin/clock.h"
#include "notes/capi.h"
#include "notes/lncpp.h"
#include "templates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

class NotesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/notes-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        std::filesystem::create_directory(dir + "/Mail1");
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        notes::Clock::set(2005, 1, 1, 12, 0, 0);
        LNSetThrowAllErrorsGlobal(FALSE);
    }

    void TearDown() override {
        LNSetThrowAllErrorsGlobal(FALSE);
        notes::Clock::reset();
        unsetenv("NOTES_DATA_DIR");
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // Creates a database "server!!path" through the C API.
    void createDb(const std::string& server, const std::string& path) {
        const std::string net = server.empty() ? path : server + "!!" + path;
        ASSERT_EQ(NSFDbCreate(net.c_str(), DBCLASS_NOTEFILE, FALSE), NOERROR);
    }

    std::string dir;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Opens a database through a session, initialising the session first if need be.
inline void openDb(LNNotesSession& s, LNDatabase& db, const char* path, const char* server = "Mail1") {
    if (!s.IsInitialized()) {
        ASSERT_EQ(s.Init(), LNNOERROR);
    }
    ASSERT_EQ(s.GetDatabase(path, &db, server), LNNOERROR) << path;
    ASSERT_EQ(db.Open(), LNNOERROR) << path;
}

// Looks a name up in ($Users) of the data directory as a login does: the number of matches (-1 when
// the lookup fails), and the first match's HTTPPassword without its type word in *digest.
inline int lookupUser(const std::string& name, std::string* digest = nullptr) {
    const std::string spaces = std::string("($Users)") + '\0', names = name + '\0',
                      items = std::string("HTTPPassword") + '\0';
    DHANDLE h = NULLHANDLE;
    if (NAMELookup2("", 0, 1, spaces.data(), 1, names.data(), 1, items.data(), &h) != NOERROR) {
        return -1;
    }
    void* p = OSLockObject(h);
    WORD matches = 0;
    void* result = NAMELocateNextName2(p, nullptr, &matches);
    void* match = matches ? NAMELocateNextMatch2(p, result, nullptr) : nullptr;
    WORD type = 0, size = 0;
    const char* value = match ? static_cast<const char*>(NAMELocateItem2(match, 0, &type, &size)) : nullptr;
    if (digest) {
        *digest = value ? std::string(value + 2, size - 2) : "";
    }
    if (match) {
        EXPECT_EQ(NAMELocateItem2(match, 1, &type, &size), nullptr) << "only the asked item comes back";
    }
    OSUnlockObject(h);
    OSMemFree(h);
    return matches;
}

inline STATUS verifyPassword(const std::string& password, const std::string& digest) {
    return SECVerifyPassword(static_cast<WORD>(password.size()),
                             reinterpret_cast<const BYTE*>(password.data()), static_cast<WORD>(digest.size()),
                             reinterpret_cast<const BYTE*>(digest.data()), 0, nullptr);
}

// A view or folder of an open database, opened.
inline LNViewFolder openView(LNDatabase& db, const char* name) {
    LNViewFolder view;
    EXPECT_EQ(db.GetViewFolder(name, &view), LNNOERROR) << name;
    EXPECT_EQ(view.Open(), LNNOERROR) << name;
    return view;
}

// A document of an open database, opened for reading.
inline LNDocument openDoc(LNDatabase& db, NOTEID id) {
    LNDocument doc;
    EXPECT_EQ(db.GetDocument(id, &doc), LNNOERROR) << id;
    EXPECT_EQ(doc.Open(), LNNOERROR) << id;
    return doc;
}

inline LNDocument openDoc(LNDatabase& db, const std::string& unid) {
    LNDocument doc;
    EXPECT_EQ(db.GetDocument(LNUniversalID(LNString(unid)), &doc), LNNOERROR) << unid;
    EXPECT_EQ(doc.Open(), LNNOERROR) << unid;
    return doc;
}

// The ids of an id table in ascending order.
inline std::vector<NOTEID> scanIds(DHANDLE table) {
    std::vector<NOTEID> ids;
    NOTEID id = 0;
    for (BOOL first = TRUE; IDScan(table, first, &id); first = FALSE) {
        ids.push_back(id);
    }
    return ids;
}

// Every note id of a view in a collation, in one read of the C API.
inline std::vector<NOTEID> readNoteIds(DBHANDLE h, const char* viewName, WORD collation = 0,
                                       STATUS* collationStatus = nullptr) {
    NOTEID view = 0;
    EXPECT_EQ(NIFFindView(h, viewName, &view), NOERROR);
    HCOLLECTION coll = NULLHANDLE;
    EXPECT_EQ(NIFOpenCollection(h, h, view, 0, NULLHANDLE, &coll, nullptr, nullptr, nullptr, nullptr),
              NOERROR);
    const STATUS cs = NIFSetCollation(coll, collation);
    if (collationStatus) {
        *collationStatus = cs;
    }
    COLLECTIONPOSITION pos{};
    DHANDLE buffer = NULLHANDLE;
    DWORD length = 0, skipped = 0, returned = 0;
    WORD flags = 0;
    EXPECT_EQ(NIFReadEntriesExt(coll, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, NIF_READ_ALL, READ_MASK_NOTEID,
                                &buffer, &length, &skipped, &returned, &flags),
              NOERROR);
    EXPECT_EQ(flags, 0);
    std::vector<NOTEID> ids(returned);
    if (buffer != NULLHANDLE) {
        EXPECT_EQ(length, returned * sizeof(NOTEID));
        std::memcpy(ids.data(), OSLockObject(buffer), length);
        OSUnlockObject(buffer);
        OSMemFree(buffer);
    }
    NIFCloseCollection(coll);
    return ids;
}

// A session on a database of Mail1 made from a template, opened.
class TemplateTest : public NotesTest {
protected:
    void create(notes::templates::Kind kind, const char* path) {
        ASSERT_EQ(notes::templates::create("Mail1", path, kind), NOERROR);
        open("Mail1", path);
    }

    void open(const char* server, const char* path) {
        ASSERT_EQ(session.Init(300, 0, nullptr, 0, nullptr), LNNOERROR);
        ASSERT_EQ(session.GetDatabase(path, &db, server), LNNOERROR);
        ASSERT_EQ(db.Open(), LNNOERROR);
    }

    void TearDown() override {
        db.Close();
        if (session.IsInitialized()) {
            session.Term();
        }
        NotesTest::TearDown();
    }

    LNNotesSession session;
    LNDatabase db;
};

// A session with "mail/jdoe.nsf" on Mail1, opened.
class SessionTest : public TemplateTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        createDb("CN=Mail1/O=Acme", "mail\\jdoe");
        open("CN=Mail1/O=Acme", "mail\\jdoe");
    }

    // A saved document with the given form; returns its UNID text.
    std::string saveDoc(const char* form, const char* subject) {
        LNDocument doc;
        EXPECT_EQ(db.CreateDocument(&doc, form), LNNOERROR);
        EXPECT_EQ(doc.CreateItem("Subject", LNText(subject)), LNNOERROR);
        EXPECT_EQ(doc.Save(), LNNOERROR);
        LNUniversalID unid;
        doc.GetUniversalID(&unid);
        doc.Close();
        return unid.GetText().str();
    }
};
