// Mail files: the template's folder and views, collations per sort column (also after design
// changes), reading every note id in one call, unread lists, folder membership and id tables.
#include "fixture.h"
#include "mailgen.h"
#include "notes/admin/mail.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace {

std::int64_t day(int d, int hour = 12) {
    return (notes::daysFromCivil(2005, 1, d) * 24 + hour) * 360000;
}

notes::mail::Message memo(const char* from, const char* subject, int d, bool unread = false) {
    notes::mail::Message m;
    m.from = from;
    m.sendTo = {"CN=Jane Doe/O=Acme"};
    m.subject = subject;
    m.body = "Hello";
    m.posted = day(d, 10);
    m.delivered = day(d, 11);
    m.unread = unread;
    return m;
}

} // namespace

class MailTest : public TemplateTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        create(notes::templates::Kind::Mail, "mail/jdoe.nsf");
        store = notes::handles::database(db.GetDatabaseHandle());
        ASSERT_TRUE(store);
    }

    void TearDown() override {
        store.reset();
        TemplateTest::TearDown();
    }

    std::vector<NOTEID> put(const std::vector<notes::mail::Message>& messages) {
        std::vector<NOTEID> ids;
        EXPECT_EQ(notes::mail::store(*store, messages, &ids), NOERROR);
        return ids;
    }

    std::vector<NOTEID> readAll(const char* viewName, WORD collation, STATUS* collationStatus = nullptr) {
        return readNoteIds(db.GetDatabaseHandle(), viewName, collation, collationStatus);
    }

    // The plug-in's design change: a column by title, appended when missing, made resortable.
    void sortableColumn(const char* viewName, const char* title, const char* field, const char* formula) {
        LNViewFolder view = openView(db, viewName);
        LNViewColumn col;
        if (view.GetColumn(title, &col) != LNNOERROR) {
            ASSERT_EQ(view.AppendColumn(&col), LNNOERROR);
            field ? col.SetFieldName(field) : col.SetFormula(formula);
            col.SetTitle(title);
        }
        if (col.GetHeadingSortOption() != LNVCHEADINGSORT_ASCENDING) {
            ASSERT_EQ(col.SetHeadingSortOption(LNVCHEADINGSORT_ASCENDING), LNNOERROR);
        }
        ASSERT_EQ(view.Save(), LNNOERROR);
        ASSERT_EQ(view.Refresh(), LNNOERROR);
        view.Close();
    }

    std::shared_ptr<notes::Database> store;
};

TEST_F(MailTest, TemplateViewsSelectTheirDocuments) {
    auto inboxMail = memo("CN=Adam Smith/O=Acme", "Budget", 3);
    notes::mail::Message draft;
    draft.kind = notes::mail::Message::Kind::Draft;
    draft.subject = "Unfinished";
    draft.sendTo = {"CN=Zoe Miller/O=Acme"};
    notes::mail::Message sent = draft;
    sent.kind = notes::mail::Message::Kind::Sent;
    sent.subject = "Sent one";
    sent.posted = day(4);
    notes::mail::Message task;
    task.kind = notes::mail::Message::Kind::Task;
    task.subject = "File taxes";
    task.due = day(20);
    const auto ids = put({inboxMail, draft, sent, task});
    ASSERT_EQ(ids.size(), 4u);
    EXPECT_EQ(readAll("($Inbox)", 0), (std::vector<NOTEID>{ids[0]}));
    EXPECT_EQ(readAll("($Drafts)", 0), (std::vector<NOTEID>{ids[1]}));
    EXPECT_EQ(readAll("($Sent)", 0), (std::vector<NOTEID>{ids[2]}));
    EXPECT_EQ(readAll("($ToDo)", 0), (std::vector<NOTEID>{ids[3]}));
    EXPECT_EQ(readAll("($todo)", 0), (std::vector<NOTEID>{ids[3]})); // the plug-in's spelling
    EXPECT_TRUE(readAll("($Calendar)", 0).empty());
    auto all = readAll("($All)", 0);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all, ids);

    // A memo saved through the class library lands in drafts until it is posted.
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
    ASSERT_EQ(doc.CreateItem("Subject", LNText("Draft via API")), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    EXPECT_EQ(readAll("($Drafts)", 0).size(), 2u);
    LNDatetimes posted;
    posted << session.GetCurrentDatetime();
    ASSERT_EQ(doc.CreateItem("PostedDate", posted), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    EXPECT_EQ(readAll("($Drafts)", 0).size(), 1u);
    EXPECT_EQ(readAll("($Sent)", 0).size(), 2u);
}

TEST_F(MailTest, CollationNumbersPickTheirColumnsAlsoAfterDesignChanges) {
    auto a = memo("CN=zoe Miller/O=Acme", "beta", 5);
    auto b = memo("CN=Adam Smith/O=Acme", "Alpha", 2);
    b.body = std::string(2000, 'x'); // the largest
    auto c = memo("CN=Émile Dupont/O=Acme", "gamma", 9);
    c.subject = "\xC9lan"; // "Élan": sorts with the e's, between "beta" and "gamma"
    c.importance = 1;
    const auto ids = put({a, b, c});
    const NOTEID A = ids[0], B = ids[1], C = ids[2];
    using V = std::vector<NOTEID>;
    using namespace notes::templates::collation;
    // Inbox: 0 is its own order (received); subject does not exist yet.
    EXPECT_EQ(readAll("($Inbox)", 0), (V{B, A, C}));
    EXPECT_EQ(readAll("($Inbox)", inbox::kWho), (V{B, C, A})); // Adam, Émile, zoe: accents and case ignored
    EXPECT_EQ(readAll("($Inbox)", inbox::kWhoDescending), (V{A, C, B})); // from, descending
    EXPECT_EQ(readAll("($Inbox)", inbox::kReceived), (V{B, A, C}));
    EXPECT_EQ(readAll("($Inbox)", inbox::kSize).back(), B);
    EXPECT_EQ(readAll("($Inbox)", inbox::kImportance).front(), C); // importance "1" first
    STATUS s = NOERROR;
    readAll("($Inbox)", inbox::kSubject, &s);
    EXPECT_EQ(s, ERR_BAD_COLLATION);

    // Subject made resortable once; a second identical change writes nothing.
    sortableColumn("($Inbox)", "Subject", "Subject", nullptr);
    EXPECT_EQ(readAll("($Inbox)", inbox::kSubject, &s), (V{B, A, C}));
    EXPECT_EQ(s, NOERROR);
    EXPECT_EQ(readAll("($Inbox)", inbox::kWho), (V{B, C, A})); // earlier numbers unchanged
    EXPECT_EQ(readAll("($Inbox)", inbox::kSize).back(), B);
    {
        LNViewFolder view = openView(db, "($Inbox)");
        LNViewColumn col;
        ASSERT_EQ(view.GetColumn("Subject", &col), LNNOERROR);
        EXPECT_EQ(col.GetHeadingSortOption(), LNVCHEADINGSORT_ASCENDING);
        EXPECT_EQ(col.SetHeadingSortOption(LNVCHEADINGSORT_ASCENDING), LNNOERROR);
        EXPECT_FALSE(view.IsDesignModified());
        EXPECT_EQ(view.GetColumn("subject", &col), LNWARN_NOT_FOUND); // titles match exactly
        EXPECT_TRUE(col.IsNull());
        EXPECT_EQ(view.GetColumn(0, &col), LNNOERROR);
        EXPECT_EQ(col.SetHeadingSortOption(7), ERR_INVALID_PARAM);
        EXPECT_EQ(view.GetColumn(99, &col), LNERR_INDEX_OUT_OF_RANGE);
    }
    notes::NoteInfo infoBefore, infoAfter;
    NOTEID inbox = 0;
    ASSERT_EQ(NIFFindView(db.GetDatabaseHandle(), "($Inbox)", &inbox), NOERROR);
    ASSERT_EQ(store->info(inbox, &infoBefore), NOERROR);
    sortableColumn("($Inbox)", "Subject", "Subject", nullptr);
    ASSERT_EQ(store->info(inbox, &infoAfter), NOERROR);
    EXPECT_EQ(infoAfter.sequence, infoBefore.sequence);

    // Drafts: "size" appended before or after "subject" gets the same number either way.
    notes::mail::Message small, big;
    small.kind = big.kind = notes::mail::Message::Kind::Draft;
    small.subject = "z small";
    big.subject = "a big";
    big.body = std::string(5000, 'y');
    const auto drafts = put({small, big});
    readAll("($Drafts)", drafts::kSize, &s);
    EXPECT_EQ(s, ERR_BAD_COLLATION);
    sortableColumn("($Drafts)", "Size", nullptr,
                   "@If(@IsDocTruncated;@If(@TextToNumber(@Version) < 172; @DocLength;@DocOmittedLength + "
                   "@DocLength);@DocLength)");
    sortableColumn("($Drafts)", "Subject", "Subject", nullptr);
    EXPECT_EQ(readAll("($Drafts)", drafts::kSize), (V{drafts[0], drafts[1]}));
    EXPECT_EQ(readAll("($Drafts)", drafts::kSubject), (V{drafts[1], drafts[0]}));

    // Tasks: "Importance" appended.
    notes::mail::Message t1, t2;
    t1.kind = t2.kind = notes::mail::Message::Kind::Task;
    t1.subject = "b";
    t1.importance = 3;
    t1.due = day(1);
    t2.subject = "a";
    t2.importance = 1;
    t2.due = day(9);
    const auto tasks = put({t1, t2});
    EXPECT_EQ(readAll("($Todo)", todo::kSubject), (V{tasks[1], tasks[0]}));
    EXPECT_EQ(readAll("($Todo)", todo::kDue), (V{tasks[0], tasks[1]}));
    sortableColumn("($Todo)", "Importance", "Importance", nullptr);
    EXPECT_EQ(readAll("($Todo)", todo::kImportance), (V{tasks[1], tasks[0]}));
    // That changed designs outlive the database being closed is the full-build test's.
}

// The collation table and the template agree: each view has the named collations up to the first
// one that the plug-in adds itself.
TEST_F(MailTest, TemplateViewsHaveTheNamedCollations) {
    using namespace notes::templates::collation;
    const struct {
        const char* view;
        int count; // collations before the plug-in's additions
    } views[] = {{"($Inbox)", inbox::kSubject},
                 {"($Drafts)", drafts::kSize},
                 {"($Sent)", sent::kSubject},
                 {"($ToDo)", todo::kImportance},
                 {"($All)", all::kSubject + 1}};
    for (const auto& v : views) {
        LNViewFolder view;
        ASSERT_EQ(db.GetViewFolder(v.view, &view), LNNOERROR) << v.view;
        ASSERT_EQ(view.Open(), LNNOERROR) << v.view;
        EXPECT_EQ(view.GetCollationCount(), v.count) << v.view;
    }
}

TEST_F(MailTest, ReadsEveryNoteIdOfALargeViewInOneCall) {
    // One entry more than the WORD-sized read returns; bodies of varied length give a size order of
    // its own.
    std::vector<notes::mail::Message> many(NIF_MAX_READ + 1, memo("CN=A/O=Acme", "bulk", 5));
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i].body.assign(1 + (i * 7919) % 97, 'x');
    put(many);
    const auto ids = readAll("($Inbox)", 0);
    ASSERT_EQ(ids.size(), many.size());
    const auto bySize = readAll("($Inbox)", notes::templates::collation::inbox::kSize);
    EXPECT_EQ(bySize.size(), many.size());
    EXPECT_NE(bySize, ids);
    // The old call still stops at its limit and says more remain.
    const DBHANDLE h = db.GetDatabaseHandle();
    NOTEID view = 0;
    ASSERT_EQ(NIFFindView(h, "($Inbox)", &view), NOERROR);
    HCOLLECTION coll = NULLHANDLE;
    ASSERT_EQ(NIFOpenCollection(h, h, view, 0, NULLHANDLE, &coll, nullptr, nullptr, nullptr, nullptr),
              NOERROR);
    COLLECTIONPOSITION pos{};
    DHANDLE buffer = NULLHANDLE;
    WORD length = 0, flags = 0;
    DWORD returned = 0;
    ASSERT_EQ(NIFReadEntries(coll, &pos, NAVIGATE_NEXT, 1, NAVIGATE_NEXT, 0xFFFFFFFF, READ_MASK_NOTEID,
                             &buffer, &length, nullptr, &returned, &flags),
              NOERROR);
    EXPECT_EQ(returned, static_cast<DWORD>(NIF_MAX_READ));
    EXPECT_EQ(flags, SIGNAL_MORE_TO_DO);
    OSMemFree(buffer);
    NIFCloseCollection(coll);
    // The class library's reading agrees.
    LNViewFolder inbox;
    ASSERT_EQ(db.GetViewFolder("($Inbox)", &inbox), LNNOERROR);
    std::vector<NOTEID> viaClass;
    ASSERT_EQ(inbox.GetNoteIDs(&viaClass), LNNOERROR);
    EXPECT_EQ(viaClass, ids);
}

TEST_F(MailTest, UnreadListsAndMarks) {
    const auto ids = put({memo("CN=A/O=Acme", "one", 1, true), memo("CN=B/O=Acme", "two", 2, false),
                          memo("CN=C/O=Acme", "three", 3, true)});
    // The plug-in's question: a fresh unread list, then Contains.
    const auto isUnread = [](LNDatabase& d, NOTEID id) {
        LNNoteArray list;
        return d.GetUnreadList(&list, FALSE) == LNNOERROR && list.Contains(id);
    };
    LNNoteArray unread;
    ASSERT_EQ(db.GetUnreadList(&unread), LNNOERROR);
    EXPECT_EQ(unread.GetCount(), 2);
    EXPECT_TRUE(unread.Contains(ids[0]));
    EXPECT_FALSE(unread.Contains(ids[1]));
    EXPECT_TRUE(unread.Contains(ids[2]));
    EXPECT_FALSE(unread.Contains(0));

    // A copy taken before a change keeps what it saw; a list fetched afterwards has the new state.
    LNNoteArray copy = unread;
    ASSERT_EQ(db.MarkRead(ids[0]), LNNOERROR);
    EXPECT_TRUE(copy.Contains(ids[0]));
    EXPECT_FALSE(isUnread(db, ids[0]));
    ASSERT_EQ(db.MarkRead(ids[1], FALSE), LNNOERROR);
    EXPECT_TRUE(isUnread(db, ids[1]));
    // Editing an array does not touch another that shares its ids, nor the file's list; an array
    // that stops being ascending still finds its ids.
    LNNoteArray edited = copy;
    EXPECT_EQ(edited.Remove(ids[2]), LNNOERROR);
    EXPECT_TRUE(copy.Contains(ids[2]));
    EXPECT_EQ(edited.Remove(ids[2]), LNWARN_NOT_FOUND);
    EXPECT_TRUE(isUnread(db, ids[2]));
    ASSERT_EQ(edited.Append(1), LNNOERROR);
    EXPECT_TRUE(edited.Contains(1));
    EXPECT_TRUE(edited.Contains(ids[0]));
    EXPECT_FALSE(isUnread(db, 1));

    // Mark all read: the plug-in empties the list and writes it back.
    ASSERT_EQ(db.GetUnreadList(&unread), LNNOERROR);
    ASSERT_EQ(unread.DeleteAll(), LNNOERROR);
    ASSERT_EQ(db.SetUnreadList(unread, nullptr, FALSE), LNNOERROR);
    for (NOTEID id : ids) {
        EXPECT_FALSE(isUnread(db, id));
    }
    // A new document is unread; a closed database has no list.
    LNDocument doc;
    ASSERT_EQ(db.CreateDocument(&doc, "Memo"), LNNOERROR);
    ASSERT_EQ(doc.Save(), LNNOERROR);
    EXPECT_TRUE(isUnread(db, doc.GetNoteID()));
    // A list written with the one it was read as applies only the difference.
    LNNoteArray before, after;
    ASSERT_EQ(db.GetUnreadList(&before, FALSE), LNNOERROR);
    after = before;
    ASSERT_EQ(after.Remove(doc.GetNoteID()), LNNOERROR);
    ASSERT_EQ(after.Append(ids[0]), LNNOERROR);
    ASSERT_EQ(db.SetUnreadList(after, &before, FALSE), LNNOERROR);
    EXPECT_FALSE(isUnread(db, doc.GetNoteID()));
    EXPECT_TRUE(isUnread(db, ids[0]));
    // Ids of no note cannot be unread; a deleted document leaves the list.
    LNNoteArray again;
    again.Append(ids[0]);
    again.Append(0x7FFFFFFC);
    ASSERT_EQ(db.SetUnreadList(again), LNNOERROR);
    ASSERT_EQ(db.DeleteDocument(ids[0]), LNNOERROR);
    ASSERT_EQ(db.GetUnreadList(&unread), LNNOERROR);
    EXPECT_EQ(unread.GetCount(), 0);
    LNDatabase closed;
    LNNoteArray none;
    EXPECT_NE(closed.GetUnreadList(&none), LNNOERROR);
    EXPECT_EQ(none.GetCount(), 0);
}

TEST_F(MailTest, MailMessageItemsRoundTrip) {
    auto m = memo("CN=Adam Smith/O=Acme", "Report", 4);
    m.importance = 1;
    m.mood = 2;
    m.returnReceipt = true;
    m.deliveryReport = "C";
    m.attachments = {"report.pdf"};
    m.copyTo = {"CN=Zoe Miller/O=Acme", "CN=Ivan Petrov/O=Acme"};
    const NOTEID id = put({m}).front();
    LNDocument doc = openDoc(db, id);
    LNMailMessage msg(doc);
    EXPECT_EQ(msg.GetMailImportance(), LNMAILIMPORTANCE_HIGH);
    EXPECT_EQ(msg.GetMoodStamp(), LNMOODSTAMP_CONFIDENTIAL);
    EXPECT_TRUE(msg.GetReturnReceipt());
    EXPECT_EQ(msg.GetDeliveryReport(), LNDELIVERYREPORT_CONFIRMED);
    EXPECT_TRUE(msg.HasAttachments());
    EXPECT_GT(msg.GetSize(), 0);
    EXPECT_FALSE(msg.IsModified());
    LNString text;
    ASSERT_EQ(msg.GetSender(&text), LNNOERROR);
    EXPECT_EQ(text, LNString("CN=Adam Smith/O=Acme"));
    LNText names;
    ASSERT_EQ(msg.GetRecipients(LNRECIPIENTTYPE_CC, &names), LNNOERROR);
    EXPECT_EQ(names.GetCount(), 2);
    ASSERT_EQ(msg.GetRecipients(LNRECIPIENTTYPE_BCC, &names), LNNOERROR);
    EXPECT_EQ(names.GetCount(), 0);
    EXPECT_EQ(msg.GetRecipients(static_cast<LNRECIPIENTTYPE>(7), &names), ERR_INVALID_PARAM);

    // Change every one, save, read back in a fresh document.
    ASSERT_EQ(msg.SetMailImportance(LNMAILIMPORTANCE_LOW), LNNOERROR);
    EXPECT_EQ(msg.SetMailImportance(static_cast<LNMAILIMPORTANCE>(5)), ERR_INVALID_PARAM);
    ASSERT_EQ(msg.SetMoodStamp(LNMOODSTAMP_NORMAL), LNNOERROR);
    EXPECT_EQ(msg.SetMoodStamp(static_cast<LNMOODSTAMP>(11)), ERR_INVALID_PARAM);
    ASSERT_EQ(msg.SetReturnReceipt(FALSE), LNNOERROR);
    ASSERT_EQ(msg.SetDeliveryReport(LNDELIVERYREPORT_BASIC), LNNOERROR);
    ASSERT_EQ(msg.SetSubject("Report, final"), LNNOERROR);
    LNText to;
    to << "CN=Kenji Sato/O=Acme";
    ASSERT_EQ(msg.SetRecipients(LNRECIPIENTTYPE_TO, to), LNNOERROR);
    ASSERT_EQ(msg.SetRecipients(LNRECIPIENTTYPE_CC, LNText()), LNNOERROR);
    EXPECT_TRUE(msg.IsModified());
    ASSERT_EQ(msg.Save(), LNNOERROR);
    msg.Close();
    LNDocument again = openDoc(db, id);
    LNMailMessage back(again);
    EXPECT_EQ(back.GetMailImportance(), LNMAILIMPORTANCE_LOW);
    EXPECT_EQ(back.GetMoodStamp(), LNMOODSTAMP_NORMAL);
    EXPECT_FALSE(back.GetReturnReceipt());
    EXPECT_EQ(back.GetDeliveryReport(), LNDELIVERYREPORT_BASIC);
    ASSERT_EQ(back.GetSubject(&text), LNNOERROR);
    EXPECT_EQ(text, LNString("Report, final"));
    ASSERT_EQ(back.GetRecipients(LNRECIPIENTTYPE_TO, &names), LNNOERROR);
    ASSERT_EQ(names.GetCount(), 1);
    EXPECT_EQ(names[0], LNString("CN=Kenji Sato/O=Acme"));
    EXPECT_FALSE(back.HasItem("CopyTo"));
    EXPECT_FALSE(back.GetCreated().IsNull());

    // A plain new memo: defaults.
    LNDocument blank;
    ASSERT_EQ(db.CreateDocument(&blank, "Memo"), LNNOERROR);
    LNMailMessage fresh(blank);
    EXPECT_EQ(fresh.GetMailImportance(), LNMAILIMPORTANCE_NORMAL);
    EXPECT_EQ(fresh.GetDeliveryReport(), LNDELIVERYREPORT_BASIC);
    EXPECT_EQ(fresh.GetMoodStamp(), LNMOODSTAMP_NORMAL);
    EXPECT_FALSE(fresh.HasAttachments());
}

namespace {

// A design change as the plug-in makes it: a heading made re-sortable, or a re-sortable column
// appended (showing items, or a formula).
struct DesignChange {
    const char* view;
    const char* title;
    const char* items;   // appended column's items; null: change the existing column
    const char* formula; // appended column's formula
    LNINT option;
};

void applyChange(LNDatabase& db, const DesignChange& c) {
    LNViewFolder view = openView(db, c.view);
    LNViewColumn col;
    if (c.items || c.formula) {
        ASSERT_EQ(view.AppendColumn(&col), LNNOERROR);
        col.SetTitle(c.title);
        c.items ? col.SetFieldName(c.items) : col.SetFormula(c.formula);
    } else {
        ASSERT_EQ(view.GetColumn(c.title, &col), LNNOERROR);
    }
    ASSERT_EQ(col.SetHeadingSortOption(c.option), LNNOERROR);
    ASSERT_EQ(view.Save(), LNNOERROR);
    view.Close();
}

// Every entry's values in every column, in the order of each collation.
std::vector<std::string> viewDump(LNDatabase& db, const char* name) {
    std::vector<std::string> out;
    LNViewFolder view;
    EXPECT_EQ(db.GetViewFolder(name, &view), LNNOERROR);
    EXPECT_EQ(view.Open(), LNNOERROR);
    for (WORD c = 0; c < view.GetCollationCount(); ++c) {
        EXPECT_EQ(view.SetCollation(c), LNNOERROR);
        LNVFNavigator nav;
        EXPECT_EQ(view.GetEntries(&nav), LNNOERROR);
        for (LNINT i = 0; i < nav.GetEntryCount(); ++i) {
            std::string row = std::to_string(c) + ":" + std::to_string(nav[i].GetNoteID());
            for (LNINT k = 0; k < view.GetColumnCount(); ++k) {
                LNItem value;
                EXPECT_EQ(nav[i].GetColumnValue(k, &value), LNNOERROR);
                row += "|" + std::to_string(value.GetNotesType()) + "=" + value.GetRawValue();
            }
            out.push_back(row);
        }
    }
    LNItem none;
    LNVFNavigator nav;
    view.GetEntries(&nav);
    if (nav.GetEntryCount() > 0) {
        EXPECT_EQ(nav[0].GetColumnValue(view.GetColumnCount(), &none), LNERR_INDEX_OUT_OF_RANGE);
    }
    return out;
}

std::vector<notes::mail::Message> mixedMail() {
    std::vector<notes::mail::Message> out;
    const char* subjects[] = {"beta", "Alpha", "", "alpha", "Gamma", "beta"};
    for (int i = 0; i < 6; ++i) {
        notes::mail::Message m =
            memo(i % 2 ? "CN=Zed Young/O=Acme" : "CN=Ann Old/O=Acme", subjects[i], 10 - i);
        m.importance = 1 + i % 3;
        m.kind = i < 4 ? notes::mail::Message::Kind::Inbox
                       : (i == 4 ? notes::mail::Message::Kind::Draft : notes::mail::Message::Kind::Sent);
        out.push_back(m);
    }
    for (int i = 0; i < 3; ++i) {
        notes::mail::Message t;
        t.kind = notes::mail::Message::Kind::Task;
        t.subject = subjects[i];
        t.importance = 3 - i;
        t.due = day(3 + i);
        out.push_back(t);
    }
    return out;
}

} // namespace

// A design change on a full mail file builds only the new collations from the values the index keeps;
// the result must equal a mail file whose design had the change before its documents arrived, and
// survive closing and reopening.
TEST_F(MailTest, NewCollationsEqualAFullBuildAndPersist) {
    const DesignChange kChanges[] = {
        {"($Inbox)", "Subject", nullptr, nullptr, LNVCHEADINGSORT_BOTH},
        {"($ToDo)", "Importance", "Importance", nullptr, LNVCHEADINGSORT_ASCENDING},
        {"($ToDo)", "Note", nullptr, "@Text(@Now)", LNVCHEADINGSORT_ASCENDING}, // kept, not evaluated
        {"($Sent)", "Who", "From", nullptr, LNVCHEADINGSORT_DESCENDING},
        {"($Drafts)", "Size", nullptr, "@DocLength", LNVCHEADINGSORT_ASCENDING},
        {"($All)", "Changed", nullptr, "@Modified", LNVCHEADINGSORT_DESCENDING},
        {"($All)", "Made", nullptr, "@Created", LNVCHEADINGSORT_BOTH},
    };
    put(mixedMail());
    ASSERT_EQ(notes::templates::create("Mail1", "mail/fresh.nsf", notes::templates::Kind::Mail), NOERROR);
    LNDatabase fresh;
    openDb(session, fresh, "mail/fresh.nsf");
    for (const DesignChange& c : kChanges) {
        applyChange(fresh, c);
    }
    {
        auto freshStore = notes::handles::database(fresh.GetDatabaseHandle());
        ASSERT_EQ(notes::mail::store(*freshStore, mixedMail(), nullptr), NOERROR);
    }
    for (std::size_t i = 0; i < std::size(kChanges); ++i) {
        const DesignChange& c = kChanges[i];
        SCOPED_TRACE(c.view);
        const std::vector<std::string> before = viewDump(db, c.view);
        applyChange(db, c);
        const std::vector<std::string> after = viewDump(db, c.view);
        EXPECT_GT(after.size(), before.size()) << "a collation more";
        if (i + 1 == std::size(kChanges) || std::strcmp(kChanges[i + 1].view, c.view) != 0) {
            EXPECT_EQ(after, viewDump(fresh, c.view)); // the view has every change of the table
        }
    }
    // Documents saved after the change go into the new collations like any other.
    put(mixedMail());
    {
        auto freshStore = notes::handles::database(fresh.GetDatabaseHandle());
        ASSERT_EQ(notes::mail::store(*freshStore, mixedMail(), nullptr), NOERROR);
    }
    std::vector<std::vector<std::string>> dumps;
    for (const DesignChange& c : kChanges) {
        dumps.push_back(viewDump(db, c.view));
        EXPECT_EQ(dumps.back(), viewDump(fresh, c.view)) << c.view;
    }
    store.reset();
    db.Close();
    ASSERT_EQ(db.Open(), LNNOERROR);
    for (std::size_t i = 0; i < std::size(kChanges); ++i) {
        EXPECT_EQ(viewDump(db, kChanges[i].view), dumps[i]) << kChanges[i].view;
    }
    fresh.Close();
}

// A folder's or view's id table follows saves, moves and deletes while the same database stays open,
// also writes through another handle and more changes than the membership log keeps. Each step
// runs with every table read just before it, so the tables are brought up to date, not read afresh;
// on alternate steps the inbox's table from before the step is kept, and keeps what it saw.
TEST_F(MailTest, IdTablesFollowEveryChangeWithoutReopening) {
    const DBHANDLE h = db.GetDatabaseHandle();
    const char* const kViews[] = {"($Inbox)", "($Drafts)", "($Sent)", "($All)"};
    auto table = [&](NOTEID view) {
        DHANDLE t = NULLHANDLE;
        EXPECT_EQ(NSFFolderGetIDTable(h, h, view, 0, &t), NOERROR);
        std::vector<NOTEID> ids = scanIds(t);
        IDDestroyTable(t);
        return ids;
    };
    auto setPosted = [&](NOTEID id) {
        NOTEHANDLE n = NULLHANDLE;
        ASSERT_EQ(NSFNoteOpen(h, id, 0, &n), NOERROR);
        TIMEDATE now{};
        OSCurrentTIMEDATE(&now);
        ASSERT_EQ(NSFItemAppend(n, ITEM_SUMMARY, "PostedDate", 10, TYPE_TIME, &now, sizeof now), NOERROR);
        ASSERT_EQ(NSFNoteUpdate(n, 0), NOERROR);
        NSFNoteClose(n);
    };
    auto otherHandle = [&](const std::function<void(DBHANDLE)>& write) {
        DBHANDLE other = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!mail/jdoe.nsf", &other), NOERROR);
        write(other);
        NSFDbClose(other);
    };
    auto folderOp = [&](NOTEID id, bool add) {
        LNViewFolder inbox;
        ASSERT_EQ(db.GetViewFolder("($Inbox)", &inbox), LNNOERROR);
        if (add) {
            LNDocument doc;
            ASSERT_EQ(db.GetDocument(id, &doc), LNNOERROR);
            ASSERT_EQ(inbox.AddDocument(doc), LNNOERROR);
        } else {
            ASSERT_EQ(inbox.RemoveDocument(id), LNNOERROR);
        }
    };
    std::vector<NOTEID> mail = put({memo("CN=A/O=Acme", "one", 1), memo("CN=B/O=Acme", "two", 2)});
    notes::mail::Message draft;
    draft.kind = notes::mail::Message::Kind::Draft;
    draft.subject = "draft";
    const NOTEID d = put({draft}).front();

    struct Step {
        const char* what;
        std::function<void()> run;
    };
    const Step kSteps[] = {
        {"nothing changed", [] {}},
        {"delivery", [&] { mail.push_back(put({memo("CN=C/O=Acme", "three", 3)}).front()); }},
        {"draft saved", [&] { put({draft}); }},
        {"draft sent: drafts to sent", [&] { setPosted(d); }},
        {"moved into the inbox", [&] { folderOp(d, true); }},
        {"moved out of the inbox", [&] { folderOp(mail[0], false); }},
        {"deleted", [&] { ASSERT_EQ(NSFNoteDelete(h, mail[1], 0), NOERROR); }},
        {"delivery through another handle",
         [&] {
             otherHandle([&](DBHANDLE o) {
                 ASSERT_EQ(notes::mail::store(o, {memo("CN=D/O=Acme", "four", 4)}), NOERROR);
             });
         }},
        {"deleted through another handle",
         [&] { otherHandle([&](DBHANDLE o) { ASSERT_EQ(NSFNoteDelete(o, mail[2], 0), NOERROR); }); }},
        {"more changes than the log keeps",
         [&] { put(std::vector<notes::mail::Message>(4200, memo("CN=E/O=Acme", "bulk", 5))); }},
        {"delivery after the bulk", [&] { put({memo("CN=F/O=Acme", "six", 6)}); }},
    };
    bool hold = false;
    for (const Step& step : kSteps) {
        SCOPED_TRACE(step.what);
        std::vector<NOTEID> views, inboxBefore;
        for (const char* name : kViews) {
            NOTEID v = 0;
            ASSERT_EQ(NIFFindView(h, name, &v), NOERROR);
            views.push_back(v);
            const std::vector<NOTEID> ids = table(v);
            if (views.size() == 1) {
                inboxBefore = ids;
            }
        }
        DHANDLE kept = NULLHANDLE;
        if ((hold = !hold)) {
            ASSERT_EQ(NSFFolderGetIDTable(h, h, views[0], 0, &kept), NOERROR);
        }
        step.run();
        for (std::size_t i = 0; i < views.size(); ++i) {
            std::vector<NOTEID> expected;
            ASSERT_EQ(store->viewNoteIds(views[i], &expected), NOERROR);
            EXPECT_EQ(table(views[i]), expected) << kViews[i];
        }
        if (kept != NULLHANDLE) {
            EXPECT_EQ(scanIds(kept), inboxBefore);
            // Locked, it reads as its count and ids; changed, it changes alone.
            const auto* raw = static_cast<const DWORD*>(OSLockObject(kept));
            ASSERT_NE(raw, nullptr);
            EXPECT_EQ(std::vector<NOTEID>(raw + 1, raw + 1 + raw[0]), inboxBefore);
            OSUnlockObject(kept);
            BOOL inserted = FALSE;
            EXPECT_EQ(IDInsert(kept, 0x7FFFFFF0u, &inserted), NOERROR);
            EXPECT_TRUE(inserted);
            EXPECT_EQ(IDEntries(kept), inboxBefore.size() + 1);
            const std::vector<NOTEID> inboxNow = table(views[0]);
            EXPECT_FALSE(std::binary_search(inboxNow.begin(), inboxNow.end(), 0x7FFFFFF0u));
            IDDestroyTable(kept);
        }
    }
    // The steps above did move documents: the tables are not trivially equal.
    std::vector<NOTEID> inbox;
    NOTEID inboxView = 0;
    ASSERT_EQ(NIFFindView(h, "($Inbox)", &inboxView), NOERROR);
    inbox = table(inboxView);
    EXPECT_TRUE(std::binary_search(inbox.begin(), inbox.end(), d));
    EXPECT_FALSE(std::binary_search(inbox.begin(), inbox.end(), mail[0]));
    EXPECT_FALSE(std::binary_search(inbox.begin(), inbox.end(), mail[1]));
    EXPECT_EQ(inbox.size(), 3u + 4200u);
    // The class library counts the same; a view is not a folder: adding to it is refused.
    LNViewFolder folder, all;
    ASSERT_EQ(db.GetViewFolder("($Inbox)", &folder), LNNOERROR);
    EXPECT_EQ(folder.GetEntryCount(), 3 + 4200);
    ASSERT_EQ(db.GetViewFolder("($All)", &all), LNNOERROR);
    const LNINT everything = all.GetEntryCount();
    LNDocument draftDoc;
    ASSERT_EQ(db.GetDocument(d, &draftDoc), LNNOERROR);
    EXPECT_NE(all.AddDocument(draftDoc), LNNOERROR);
    EXPECT_EQ(all.GetEntryCount(), everything);
}

// A held unread list follows every kind of change: from this handle, another handle, another
// thread and another process, a deletion, the whole list replaced, and more marks than the unread
// log keeps. Every step starts right after a reading, so the list is brought up to date rather than
// read afresh; on alternate steps an array from before the step is kept, and keeps what it saw.
TEST_F(MailTest, UnreadListFollowsEveryChange) {
    const DBHANDLE h = db.GetDatabaseHandle();
    auto idsOf = [](const LNNoteArray& list) {
        std::vector<NOTEID> ids;
        for (LNINT i = 0; i < list.GetCount(); ++i) {
            ids.push_back(list.GetNoteID(i));
        }
        return ids;
    };
    auto listed = [&](LNDatabase& d) {
        LNNoteArray list;
        EXPECT_EQ(d.GetUnreadList(&list, FALSE), LNNOERROR);
        return idsOf(list);
    };
    auto onFile = [&] {
        std::vector<NOTEID> ids;
        EXPECT_EQ(store->unread("", &ids), NOERROR);
        return ids;
    };
    LNDatabase other;
    openDb(session, other, "mail/jdoe.nsf");
    std::vector<NOTEID> mail = put({memo("CN=A/O=Acme", "one", 1, true), memo("CN=B/O=Acme", "two", 2, false),
                                    memo("CN=C/O=Acme", "three", 3, true)});
    // Marks `id` read (or unread) through the C API on another thread with a handle of its own.
    auto onThread = [&](NOTEID id, bool read) {
        std::thread worker([&] {
            DBHANDLE o = NULLHANDLE;
            ASSERT_EQ(NSFDbOpen("Mail1!!mail/jdoe.nsf", &o), NOERROR);
            const DHANDLE before =
                notes::idtable::create(read ? std::vector<NOTEID>{id} : std::vector<NOTEID>{});
            const DHANDLE after =
                notes::idtable::create(read ? std::vector<NOTEID>{} : std::vector<NOTEID>{id});
            EXPECT_EQ(NSFDbSetUnreadNoteTable(o, "", 0, TRUE, before, after), NOERROR);
            IDDestroyTable(before);
            IDDestroyTable(after);
            NSFDbClose(o);
        });
        worker.join();
    };
    auto markAllRead = [&] {
        LNNoteArray none;
        ASSERT_EQ(db.SetUnreadList(none, nullptr, FALSE), LNNOERROR);
    };

    struct Step {
        const char* what;
        std::function<void()> run;
        bool changes;
    };
    const Step kSteps[] = {
        {"nothing changed", [] {}, false},
        {"unread delivery", [&] { mail.push_back(put({memo("CN=D/O=Acme", "four", 4, true)}).front()); },
         true},
        {"delivery already read", [&] { put({memo("CN=E/O=Acme", "five", 5, false)}); }, false},
        {"marked read here", [&] { ASSERT_EQ(db.MarkRead(mail[0]), LNNOERROR); }, true},
        {"marked unread here", [&] { ASSERT_EQ(db.MarkRead(mail[1], FALSE), LNNOERROR); }, true},
        {"marked read through another handle", [&] { ASSERT_EQ(other.MarkRead(mail[2]), LNNOERROR); }, true},
        {"marked unread through another handle",
         [&] { ASSERT_EQ(other.MarkRead(mail[0], FALSE), LNNOERROR); }, true},
        {"marked read on another thread", [&] { onThread(mail[1], true); }, true},
        {"marked unread on another thread", [&] { onThread(mail[2], false); }, true},
        {"unread document deleted", [&] { ASSERT_EQ(NSFNoteDelete(h, mail[3], 0), NOERROR); }, true},
        {"all marked read", markAllRead, true},
#ifdef NSFADMIN_PATH
        {"delivered by another process",
         [&] {
             const std::string line =
                 std::string(NSFADMIN_PATH) + " --data '" + dir +
                 "' add-memo -s Mail1 mail/jdoe.nsf --from 'Sam Sender/Acme' --subject six "
                 "--text hello >/dev/null 2>&1";
             const int status = std::system(line.c_str());
             ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << line;
         },
         true},
#endif
        {"more marks than the log keeps",
         [&] {
             put(std::vector<notes::mail::Message>(4200, memo("CN=F/O=Acme", "bulk", 6, true)));
             markAllRead();
             ASSERT_EQ(db.MarkRead(mail[1], FALSE), LNNOERROR);
         },
         true},
        {"delivery after the bulk", [&] { put({memo("CN=G/O=Acme", "seven", 7, true)}); }, true},
        {"many unread delivered",
         [&] { put(std::vector<notes::mail::Message>(100, memo("CN=H/O=Acme", "many", 8, true))); }, true},
        {"an early note marked read below them", [&] { ASSERT_EQ(db.MarkRead(mail[1]), LNNOERROR); }, true},
    };
    bool hold = false;
    for (const Step& step : kSteps) {
        SCOPED_TRACE(step.what);
        const std::vector<NOTEID> before = listed(db);
        LNNoteArray kept;
        if ((hold = !hold)) {
            ASSERT_EQ(db.GetUnreadList(&kept, FALSE), LNNOERROR);
        }
        step.run();
        const std::vector<NOTEID> now = onFile();
        EXPECT_EQ(listed(db), now);
        EXPECT_EQ(listed(other), now);
        EXPECT_EQ(now != before, step.changes);
        if (hold) {
            EXPECT_EQ(idsOf(kept), before);
        }
    }
    other.Close();
}
