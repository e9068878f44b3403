// Jane Doe logged in through the loaded provider, with a mail file of the stand-in's mail template
// (its views fix the collation numbers the folder code relies on) and memos delivered into her
// inbox.
#pragma once

#include "DirectoryFixture.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesFolder.h"
#include "provider/MailProvider.h"

#include "Lattice/Base.h"
#include "hxMail/Folder.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace hx = hxMail::hxNotesProvider;

struct MemoSetup {
    std::string subject;
    std::string from = "CN=Sam Sender/O=Acme";
    std::string delivered = "03/01/2026 10:00:00 AM"; // empty: no "DeliveredDate"
    std::string posted;                               // empty: no "PostedDate"
    std::string form = "Memo";
    std::vector<std::pair<std::string, std::vector<std::string>>> extra;
    bool inbox = true; // put into the inbox folder
};

class MailTest : public DirectoryTest {
protected:
    static constexpr const char* kMail = "Mail1!!mail/jdoe.nsf";

    void SetUp() override {
        DirectoryTest::SetUp();
        if (HasFatalFailure())
            return;
        addPerson(kDirectory, jane());
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen(kMail, &hDb), NOERROR);
        EXPECT_EQ(notes::templates::apply(hDb, notes::templates::Kind::Mail), NOERROR);
        NOTEID skipped = 0;
        if (!skipView.empty() && NIFFindView(hDb, skipView.c_str(), &skipped) == NOERROR) {
            EXPECT_EQ(NSFNoteDelete(hDb, skipped, 0), NOERROR);
        }
        NSFDbClose(hDb);
        provider = makeProvider();
        ASSERT_NE(provider, nullptr);
    }

    void TearDown() override {
        if (provider)
            provider->release();
        PluginTest::TearDown();
    }

    static hx::MailProvider* makeProvider() {
        Lattice::Base* made = Lattice::ClassFactory::create("MailProvider");
        if (made)
            made->addRef();
        return static_cast<hx::MailProvider*>(made);
    }

    // Logs in, builds the mailbox and lists the folders into `folders`.
    void loginAndList() {
        ASSERT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 0);
        Lattice::Ptr<hxMail::Mailbox> mailbox;
        ASSERT_EQ(provider->getMailbox("", mailbox), 0);
        ASSERT_TRUE(mailbox);
        mailboxId = mailbox->get_id();
        ASSERT_EQ(provider->getFolders("", mailboxId, &folders), 0);
    }

    std::string folderId(const char* displayName) const {
        for (const Lattice::Data& d : folders)
            if (auto* f = d.toObject<hxMail::Folder>(); f && f->get_displayName() == displayName)
                return f->get_id().c_str();
        return {};
    }

    static void append(NOTEHANDLE h, const char* name, WORD type, const std::string& value) {
        ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, name, static_cast<WORD>(std::strlen(name)), type,
                                value.data(), static_cast<DWORD>(value.size())),
                  NOERROR)
            << name;
    }

    static std::string timeValue(const std::string& text) {
        TIMEDATE td{};
        EXPECT_EQ(ConvertTextToTIMEDATE(text.c_str(), static_cast<WORD>(text.size()), &td), NOERROR) << text;
        return std::string(reinterpret_cast<const char*>(&td), sizeof td);
    }

    // Opens the document's note in `db`, lets `adjust` change it, and saves it.
    void changeNote(const std::string& unid, const std::function<void(NOTEHANDLE)>& adjust,
                    const char* db = kMail) {
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen(db, &hDb), NOERROR) << db;
        NOTEHANDLE h = NULLHANDLE;
        UNID u{};
        ASSERT_EQ(NSFNoteOpenByUNID(hDb, unidOf(unid, &u), 0, &h), NOERROR) << unid;
        adjust(h);
        ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        NSFNoteClose(h);
        NSFDbClose(hDb);
    }

    // An item of a stored document as text, list entries joined by ';' ("" when missing).
    std::string itemText(const std::string& unid, const char* item, const char* db = kMail) {
        DBHANDLE hDb = NULLHANDLE;
        EXPECT_EQ(NSFDbOpen(db, &hDb), NOERROR) << db;
        NOTEHANDLE h = NULLHANDLE;
        UNID u{};
        EXPECT_EQ(NSFNoteOpenByUNID(hDb, unidOf(unid, &u), 0, &h), NOERROR) << unid;
        char text[4096] = "";
        NSFItemConvertToText(h, item, text, sizeof text, ';');
        NSFNoteClose(h);
        NSFDbClose(hDb);
        return text;
    }

    // A memo, put into the inbox folder when it was delivered. Returns its note id.
    NOTEID addMemo(const MemoSetup& m, std::string* unid = nullptr) {
        Items items{{"Form", {m.form}}, {"Subject", {m.subject}}, {"From", {m.from}}};
        for (const auto& e : m.extra)
            items.push_back(e);
        const std::string id = addDoc(kMail, items);
        if (unid)
            *unid = id;
        NOTEID noteId = 0;
        changeNote(id, [&](NOTEHANDLE h) {
            if (!m.delivered.empty())
                append(h, "DeliveredDate", TYPE_TIME, timeValue(m.delivered));
            if (!m.posted.empty())
                append(h, "PostedDate", TYPE_TIME, timeValue(m.posted));
            NSFNoteGetInfo(h, _NOTE_ID, &noteId);
        });
        if (m.inbox) {
            DBHANDLE hDb = NULLHANDLE;
            EXPECT_EQ(NSFDbOpen(kMail, &hDb), NOERROR);
            NOTEID inbox = 0;
            EXPECT_EQ(NIFFindView(hDb, "($Inbox)", &inbox), NOERROR);
            DHANDLE table = NULLHANDLE;
            IDCreateTable(sizeof(NOTEID), &table);
            IDInsert(table, noteId, nullptr);
            EXPECT_EQ(FolderDocAdd(hDb, hDb, inbox, table, 0), NOERROR);
            IDDestroyTable(table);
            NSFDbClose(hDb);
        }
        return noteId;
    }

    static UNID* unidOf(const std::string& text, UNID* out) {
        unsigned a, b, c, d;
        std::sscanf(text.c_str(), "%8x%8x%8x%8x", &a, &b, &c, &d);
        out->File.Innards[1] = a;
        out->File.Innards[0] = b;
        out->Note.Innards[1] = c;
        out->Note.Innards[0] = d;
        return out;
    }

    // The subjects of a collection of host messages, in order.
    static std::vector<std::string> subjects(const Lattice::ObjectCollection& items) {
        std::vector<std::string> out;
        for (const Lattice::Data& d : items)
            if (auto* m = d.toObject<hxMail::MessageItem>())
                out.push_back(m->get_subject().c_str());
        return out;
    }

    hx::MailProvider* provider = nullptr;
    Lattice::ObjectCollection folders;
    Lattice::String mailboxId;
    std::string skipView;
};
