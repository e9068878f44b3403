// The class library over the store: documents, items, ids, deletions, error mode.
#include "fixture.h"

#include <atomic>
#include <map>
#include <thread>

TEST_F(SessionTest, DocumentItemsPersistAcrossSessions) {
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
    EXPECT_TRUE(doc.IsNewNote());
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    EXPECT_FALSE(unid.IsValid()); // no UNID before the first save
    LNText to;
    ASSERT_EQ(doc.CreateItem("SendTo", &to), LNNOERROR);
    to << "John Doe/Acme"
       << "Jane Roe/Acme";
    LNNumbers size;
    size.SetValue(1234);
    ASSERT_EQ(doc.CreateItem("Size", size), LNNOERROR);
    LNDatetimes when;
    LNDatetime posted;
    posted.SetText("01/01/2005 3:00:00 PM");
    posted.SetTimeZone(5);
    when.SetValue(posted);
    ASSERT_EQ(doc.CreateItem("PostedDate", when), LNNOERROR);
    LNRichText body;
    body.SetValue("first line\nsecond line");
    ASSERT_EQ(doc.CreateItem("Body", body, LNITEMFLAGS_SUMMARY, LNITEMOPTION_DELETE_INSERT), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    EXPECT_FALSE(doc.IsNewNote());
    ASSERT_EQ(doc.GetUniversalID(&unid), LNNOERROR);
    EXPECT_TRUE(unid.IsValid());
    const std::string text = unid.GetText().str();
    doc.Close();
    db.Close();
    session.Term();

    LNNotesSession again;
    LNDatabase db2;
    openDb(again, db2, "mail/jdoe.nsf");
    LNDocument read;
    ASSERT_EQ(db2.GetDocument(LNUniversalID(LNString(text)), &read), LNNOERROR);
    ASSERT_EQ(read.Open(), LNNOERROR);
    LNString form;
    ASSERT_EQ(read.GetForm(&form), LNNOERROR);
    EXPECT_EQ(form, "Memo");
    LNText sendTo;
    ASSERT_EQ(read.GetItem("sendto", &sendTo), LNNOERROR);
    ASSERT_EQ(sendTo.GetCount(), 2);
    EXPECT_EQ(sendTo[1], "Jane Roe/Acme");
    EXPECT_EQ(sendTo.GetType(), LNITEMTYPE_TEXT);
    LNNumbers n;
    ASSERT_EQ(read.GetItem("SIZE", &n), LNNOERROR);
    EXPECT_EQ(n[0], 1234);
    EXPECT_EQ(n.GetNotesType(), TYPE_NUMBER_RANGE);
    LNDatetimes dates;
    ASSERT_EQ(read.GetItem("PostedDate", &dates), LNNOERROR);
    EXPECT_EQ(dates.GetNotesType(), TYPE_TIME_RANGE);
    LNDatetime gmt = dates[0];
    EXPECT_EQ(gmt.GetTimeZone(), 5);
    gmt.AdjustTimeZone(0);
    EXPECT_EQ(gmt.GetHour(), 20);
    LNRichText rt;
    ASSERT_EQ(read.GetItem("Body", &rt), LNNOERROR);
    EXPECT_EQ(rt.GetText(), "first line\nsecond line");
    read.Close();
    db2.Close();
    again.Term();
    session.Init(); // for TearDown
}

// Items of an open note: names ignore case, an attached list writes through to the note while a
// free-standing one is a copy, and the wrong item class is refused.
TEST_F(SessionTest, ItemsOfAnOpenNote) {
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
    doc.CreateItem("Subject", LNText("hello"));
    EXPECT_TRUE(doc.HasItem("SUBJECT"));
    EXPECT_TRUE(doc.HasItem("subject"));
    doc.CreateItem("SUBJECT", LNText("replaced"));
    EXPECT_EQ(doc.GetItemCount(), 2); // Form and the one Subject
    LNText t;
    ASSERT_EQ(doc.GetItem("sUbJeCt", &t), LNNOERROR);
    EXPECT_EQ(t[0], "replaced");
    EXPECT_EQ(t.GetName(), "SUBJECT");
    EXPECT_EQ(doc.DeleteItem("subject"), LNNOERROR);
    EXPECT_FALSE(doc.HasItem("Subject"));
    EXPECT_EQ(doc.DeleteItem("subject"), static_cast<LNSTATUS>(ERR_ITEM_NOT_FOUND));

    LNText list;
    list << "a"
         << "b"
         << "c";
    doc.CreateItem("Names", list);
    LNText attached;
    ASSERT_EQ(doc.GetItem("Names", &attached), LNNOERROR);
    attached.Insert(attached.GetCount(), "d");
    attached.Insert(attached.GetCount(), "e");
    LNText again;
    doc.GetItem("Names", &again);
    EXPECT_EQ(again.GetCount(), 5);
    EXPECT_EQ(again[4], "e");
    LNINT pos = -1;
    EXPECT_EQ(again.FindEntry("c", &pos), LNNOERROR);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(again.FindEntry("C"), LNWARN_NOT_FOUND);
    EXPECT_EQ(again.FindEntry("C", &pos, LNSTRINGCOMPAREFLAGS_CASE_INSENSITIVE), LNNOERROR);
    EXPECT_EQ(list.GetCount(), 3);
    EXPECT_TRUE(doc.IsModified());

    LNNumbers n;
    EXPECT_EQ(doc.GetItem("Form", &n), static_cast<LNSTATUS>(LNERR_ITEM_TYPE));
    EXPECT_EQ(doc.GetItem("Form", &t), LNNOERROR); // a text item reads as a text list
    EXPECT_EQ(t.GetNotesType(), TYPE_TEXT);
    EXPECT_EQ(t.GetType(), LNITEMTYPE_TEXT);
    // Once the note is closed its attached items are empty and refuse changes.
    doc.Close();
    EXPECT_EQ(t.GetCount(), 0);
    EXPECT_EQ(t.Append("x"), static_cast<LNSTATUS>(LNERR_ITEM_NOT_ATTACHED));
}

TEST_F(SessionTest, UniversalIdTextRoundTripAndRefusals) {
    const std::string text = saveDoc("Memo", "one");
    ASSERT_EQ(text.size(), 32u);
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    LNUniversalID parsed{LNString(text)};
    EXPECT_TRUE(parsed.IsValid());
    EXPECT_EQ(parsed.GetText(), LNString(text));
    std::string lower = text;
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    LNDocument doc;
    EXPECT_EQ(db.GetDocument(LNUniversalID(LNString(lower)), &doc), LNNOERROR);

    for (const char* bad :
         {"", "1234", "ZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZZ", "0123456789ABCDEF0123456789ABCDEF0"}) {
        EXPECT_FALSE(LNUniversalID(bad).IsValid()) << bad;
        EXPECT_EQ(db.GetDocument(LNUniversalID(bad), &doc), static_cast<LNSTATUS>(LNERR_INVALID_UNID)) << bad;
    }
    EXPECT_EQ(db.GetDocument(LNUniversalID("0123456789ABCDEF0123456789ABCDEF"), &doc),
              static_cast<LNSTATUS>(ERR_INVALID_NOTE));
}

TEST_F(SessionTest, DeletionLeavesAStub) {
    const std::string text = saveDoc("Memo", "doomed");
    LNDocument doc;
    ASSERT_EQ(db.GetDocument(LNUniversalID(LNString(text)), &doc), LNNOERROR);
    const NOTEID id = doc.GetNoteID();
    ASSERT_EQ(db.DeleteDocument(&doc), LNNOERROR);
    LNDocument again;
    EXPECT_EQ(db.GetDocument(LNUniversalID(LNString(text)), &again), static_cast<LNSTATUS>(ERR_NOTE_DELETED));
    EXPECT_EQ(db.DeleteDocument(id), static_cast<LNSTATUS>(ERR_NOTE_DELETED));
    ORIGINATORID oid{};
    WORD noteClass = 0;
    ASSERT_EQ(NSFDbGetNoteInfo(db.GetDatabaseHandle(), id, &oid, nullptr, &noteClass), NOERROR);
    EXPECT_EQ(noteClass, NOTE_CLASS_DOCUMENT | NOTE_CLASS_NOTIFYDELETION);
    UNID unid{oid.File, oid.Note};
    EXPECT_EQ(LNUniversalID(unid).GetText(), LNString(text));
}

TEST_F(SessionTest, ModifiedNotesReportCreationsAndDeletions) {
    const LNDatetime start = session.GetCurrentDatetime();
    notes::Clock::advance(60);
    const std::string kept = saveDoc("Memo", "kept");
    const std::string gone = saveDoc("Memo", "gone");
    LNDocument doc;
    db.GetDocument(LNUniversalID(LNString(gone)), &doc);
    db.DeleteDocument(&doc);

    LNNoteArray changed;
    LNDatetime until;
    ASSERT_EQ(db.GetModifiedNotes(start, &changed, LNNOTETYPE_DOCUMENT, &until), LNNOERROR);
    ASSERT_EQ(changed.GetCount(), 2);
    int deleted = 0;
    for (LNINT i = 0; i < changed.GetCount(); ++i) {
        LNNote note = changed[i];
        LNUniversalID unid;
        note.GetUniversalID(&unid);
        if (note.IsDeleted()) {
            ++deleted;
            EXPECT_EQ(unid.GetText(), LNString(gone));
        } else {
            EXPECT_EQ(unid.GetText(), LNString(kept));
            LNDocument d = note;
            ASSERT_EQ(d.Open(), LNNOERROR);
            EXPECT_FALSE(d.IsModified());
            EXPECT_TRUE(d.GetCreated() >= start);
        }
    }
    EXPECT_EQ(deleted, 1);
    EXPECT_TRUE(changed.Contains(changed.GetNoteID(0)));
    EXPECT_FALSE(changed.Contains(3));

    // Nothing new: an empty report, even though the clock stood still.
    LNNoteArray none;
    LNDatetime next;
    ASSERT_EQ(db.GetModifiedNotes(until, &none, LNNOTETYPE_DOCUMENT, &next), LNNOERROR);
    EXPECT_EQ(none.GetCount(), 0);

    // A change at the same clock reading still shows up in the next report.
    saveDoc("Memo", "later");
    LNNoteArray later;
    db.GetModifiedNotes(next, &later, LNNOTETYPE_DOCUMENT, &until);
    EXPECT_EQ(later.GetCount(), 1);
}

// A deletion stub outlives its document by the purge interval; a report from before a purged stub
// says so instead of silently missing the deletion, and hands the time to go on from.
TEST_F(SessionTest, ReportsFromBeforePurgedStubsAskForAFreshRead) {
    const LNDatetime start = session.GetCurrentDatetime();
    notes::Clock::advance(60);
    const std::string gone = saveDoc("Memo", "gone");
    LNDocument doc;
    db.GetDocument(LNUniversalID(LNString(gone)), &doc);
    const NOTEID stubId = doc.GetNoteID();
    db.DeleteDocument(&doc);

    struct Case {
        double daysLater;
        bool stubKept;
    } cases[] = {{89, true}, {91, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.daysLater);
        notes::Clock::set(2005, 1, 1, 12, 1, 0);
        notes::Clock::advance(static_cast<long long>(c.daysLater * 86400));
        LNNoteArray changed;
        LNDatetime until;
        const LNSTATUS status = db.GetModifiedNotes(start, &changed, LNNOTETYPE_DOCUMENT, &until);
        EXPECT_FALSE(until.IsNull());
        if (c.stubKept) {
            EXPECT_EQ(status, LNNOERROR);
            ASSERT_EQ(changed.GetCount(), 1);
            EXPECT_TRUE(changed[0].IsDeleted());
            continue;
        }
        EXPECT_EQ(status, ERR_SINCE_PURGED);
        EXPECT_EQ(changed.GetCount(), 0);
        EXPECT_EQ(NSFDbGetNoteInfo(db.GetDatabaseHandle(), stubId, nullptr, nullptr, nullptr),
                  ERR_INVALID_NOTE);
        // From the handed time on the chain goes on; "everything" is never refused.
        LNNoteArray next;
        EXPECT_EQ(db.GetModifiedNotes(until, &next, LNNOTETYPE_DOCUMENT, &until), LNNOERROR);
        EXPECT_EQ(db.GetModifiedNotes(LNDatetime(), &next, LNNOTETYPE_DOCUMENT, &until), LNNOERROR);
        // In throw-all-errors mode the refusal is thrown like any error.
        LNSetThrowAllErrorsGlobal(TRUE);
        EXPECT_THROW(db.GetModifiedNotes(start, &next, LNNOTETYPE_DOCUMENT, &until), LNSTATUS);
        LNSetThrowAllErrorsGlobal(FALSE);
    }
}

// Saves from another thread, each on its own handle, while reports run back to back: every saved
// document turns up in exactly one report of the chain.
TEST_F(SessionTest, ChangesCommittedDuringReportsAreReportedExactlyOnce) {
    notes::Clock::reset();
    LNDatetime since = session.GetCurrentDatetime();
    constexpr int kWrites = 200;
    std::atomic<bool> done{false};
    auto write = [&] {
        LNDatabase other;
        openDb(session, other, "mail\\jdoe", "CN=Mail1/O=Acme");
        for (int i = 0; i < kWrites; ++i) {
            LNDocument doc;
            ASSERT_EQ(other.CreateDocument(&doc, "Memo"), LNNOERROR);
            ASSERT_EQ(doc.Save(), LNNOERROR);
            doc.Close();
        }
        other.Close();
    };
    std::thread writer([&] {
        write();
        done = true;
    });
    std::map<NOTEID, int> seen;
    auto report = [&] {
        LNNoteArray changed;
        LNDatetime until;
        ASSERT_EQ(db.GetModifiedNotes(since, &changed, LNNOTETYPE_DOCUMENT, &until), LNNOERROR);
        for (LNINT i = 0; i < changed.GetCount(); ++i)
            ++seen[changed.GetNoteID(i)];
        since = until;
    };
    while (!done && !HasFatalFailure())
        report();
    writer.join();
    report();
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWrites));
    for (const auto& [id, times] : seen)
        EXPECT_EQ(times, 1) << "note " << id;
}

// A response points at its parent; a copy is a new document with the source's items, loaded from
// the store when the source is not open; another handle of the same file sees both.
TEST_F(SessionTest, ResponsesAndCopiesAreNewDocumentsOtherHandlesSee) {
    LNDatabase second;
    openDb(session, second, "mail/jdoe");
    const std::string parentId = saveDoc("Memo", "original");
    LNDocument parent = openDoc(db, parentId);
    LNDocument reply;
    db.CreateDocument(&reply, "Reply");
    ASSERT_EQ(reply.MakeResponse(parent), LNNOERROR);
    EXPECT_TRUE(reply.IsResponse());
    ASSERT_EQ(reply.Save(), LNNOERROR);
    LNDocument back;
    ASSERT_EQ(reply.GetParentDocument(&back), LNNOERROR);
    LNUniversalID unid;
    back.GetUniversalID(&unid);
    EXPECT_EQ(unid.GetText(), LNString(parentId));

    LNDocument source;
    db.GetDocument(LNUniversalID(LNString(parentId)), &source);
    LNDocument copy;
    ASSERT_EQ(db.CreateDocument(source, &copy), LNNOERROR);
    ASSERT_EQ(copy.Save(), LNNOERROR);
    copy.GetUniversalID(&unid);
    EXPECT_NE(unid.GetText(), LNString(parentId));

    LNDocument seen = openDoc(second, unid.GetText().str());
    LNText subject;
    ASSERT_EQ(seen.GetItem("Subject", &subject), LNNOERROR);
    EXPECT_EQ(subject[0], "original");
    second.Close();
}

TEST_F(SessionTest, RefusalsAndTheThreadsThrowMode) {
    const std::string id = saveDoc("Memo", "x");
    LNDocument doc;
    db.GetDocument(LNUniversalID(LNString(id)), &doc);
    LNText t;
    EXPECT_EQ(doc.GetItem("Subject", &t), static_cast<LNSTATUS>(LNERR_NOTE_NOT_OPEN));
    LNDatabase other;
    const struct {
        const char* path;
        const char* server;
        STATUS status;
    } kOpens[] = {{"names.nsf", "CN=Nowhere/O=Acme", ERR_SERVER_NOT_RESPONDING},
                  {"../mail/jdoe", "Mail1", ERR_PATH_NOT_ALLOWED},
                  {"missing.nsf", "Mail1", ERR_NOEXIST}};
    for (const auto& c : kOpens) {
        EXPECT_EQ(session.GetDatabase(c.path, &other, c.server), static_cast<LNSTATUS>(c.status)) << c.path;
    }
    LNNotesSession idle;
    EXPECT_EQ(idle.GetDatabase("mail/jdoe", &other, "Mail1"), static_cast<LNSTATUS>(LNERR_NOT_INITIALIZED));
    EXPECT_EQ(idle.Init(301, 0, nullptr, FALSE, nullptr), static_cast<LNSTATUS>(LNERR_API_VERSION));

    LNSetThrowAllErrorsGlobal(TRUE);
    try {
        session.GetDatabase("missing.nsf", &other, "Mail1");
        FAIL() << "no exception";
    } catch (LNSTATUS error) {
        EXPECT_EQ(error, static_cast<LNSTATUS>(ERR_NOEXIST));
        char text[LNERROR_MESSAGE_LENGTH];
        LNGetErrorMessageText(error, text, LNERROR_MESSAGE_LENGTH);
        EXPECT_STREQ(text, "File does not exist");
    }
    EXPECT_EQ(LNText("a").FindEntry("b"), LNWARN_NOT_FOUND); // warnings are never thrown
    // The mode belongs to the thread that set it.
    LNBOOL seenByOther = TRUE;
    LNSTATUS returned = 0;
    std::thread elsewhere([&] {
        seenByOther = LNGetThrowAllErrorsGlobal();
        LNDatabase missing;
        returned = session.GetDatabase("missing.nsf", &missing, "Mail1"); // must not throw here
    });
    elsewhere.join();
    EXPECT_FALSE(seenByOther);
    EXPECT_EQ(returned, static_cast<LNSTATUS>(ERR_NOEXIST));
    EXPECT_TRUE(LNGetThrowAllErrorsGlobal());
    LNSetThrowAllErrorsGlobal(FALSE);
    EXPECT_EQ(session.GetDatabase("missing.nsf", &other, "Mail1"), static_cast<LNSTATUS>(ERR_NOEXIST));

    db.Close();
    EXPECT_EQ(doc.Open(), static_cast<LNSTATUS>(LNERR_DATABASE_NOT_OPEN));
    EXPECT_EQ(db.GetDocument(LNUniversalID(LNString(id)), &doc),
              static_cast<LNSTATUS>(LNERR_DATABASE_NOT_OPEN));
    EXPECT_EQ(db.GetDatabaseHandle(), NULLHANDLE);
}

TEST_F(SessionTest, NoteIdsAndTimesFollowTheClock) {
    notes::Clock::set(2006, 3, 4, 5, 6, 7);
    LNDocument doc;
    db.CreateDocument(&doc, "Memo");
    doc.Save();
    EXPECT_EQ(doc.GetNoteID() % 4, 0u);
    LNDatetime created = doc.GetCreated();
    created.AdjustTimeZone(0);
    EXPECT_EQ(created.GetYear(), 2006);
    EXPECT_EQ(created.GetHour(), 5);
    EXPECT_EQ(created.GetSecond(), 7);
    notes::Clock::advance(3600);
    doc.CreateItem("Subject", LNText("changed"));
    doc.Save();
    LNDatetime modified = doc.GetLastModified();
    modified.AdjustTimeZone(0);
    EXPECT_EQ(modified.GetHour(), 6);
}
