// A fresh data directory per test, with the server folder "Mail1" and the runtime pointed at it.
#pragma once

#include "notes/admin/clock.h"
#include "notes/capi.h"
#include "notes/lncpp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

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

// A session with "mail/jdoe.nsf" on Mail1, opened.
class SessionTest : public NotesTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        createDb("CN=Mail1/O=Acme", "mail\\jdoe");
        ASSERT_EQ(session.Init(300, 0, nullptr, 0, nullptr), LNNOERROR);
        ASSERT_EQ(session.GetDatabase("mail\\jdoe", &db, "CN=Mail1/O=Acme"), LNNOERROR);
        ASSERT_EQ(db.Open(), LNNOERROR);
    }

    void TearDown() override {
        db.Close();
        if (session.IsInitialized()) {
            session.Term();
        }
        NotesTest::TearDown();
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

    LNNotesSession session;
    LNDatabase db;
};
