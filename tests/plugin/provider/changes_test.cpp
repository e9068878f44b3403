// The change report through a logged-in provider: what each kind of document reports, what is
// left out, purged deletions and a skewed clock, many changes at once and writers that run while
// the report is read.
#include "MailFixture.h"

#include "notes/admin/clock.h"
#include "notes/admin/mail.h"

#include "hxMail/Calendar.h"
#include "hxMail/Change.h"
#include "hxMail/Task.h"

#include <atomic>
#include <functional>
#include <map>
#include <set>
#include <thread>

// Memos name only the fields a case is about.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

struct Change {
    char kind; // 'c' copy, 'd' delete
    std::string itemId, parentId, itemClass;
    bool readFlag = false;
};

} // namespace

class ChangesTest : public MailTest {
protected:
    void SetUp() override {
        MailTest::SetUp();
        if (HasFatalFailure())
            return;
        loginAndList();
    }

    void TearDown() override {
        notes::Clock::reset();
        MailTest::TearDown();
    }

    static std::vector<Change> report(hx::MailProvider* p) {
        Lattice::ObjectCollection out;
        EXPECT_EQ(p->getChanges(&out, 0), 0);
        std::vector<Change> changes;
        for (const Lattice::Data& d : out) {
            Change c{};
            if (auto* copy = d.toObject<hxMail::ChangeItemCopy>()) {
                c.kind = 'c';
                c.itemClass = copy->get_item() ? copy->get_item()->className().c_str() : "";
                if (auto* m = dynamic_cast<hxMail::MessageItem*>(copy->get_item().get()))
                    c.readFlag = m->get_readFlag();
                EXPECT_EQ(copy->get_itemId(), copy->get_item() ? copy->get_item()->get_id() : "");
            } else if (d.toObject<hxMail::ChangeItemDelete>()) {
                c.kind = 'd';
            }
            auto* item = d.toObject<hxMail::ChangeItem>();
            EXPECT_NE(item, nullptr);
            c.itemId = item ? item->get_itemId().c_str() : "";
            c.parentId = item ? item->get_parentId().c_str() : "";
            changes.push_back(c);
        }
        return changes;
    }
    std::vector<Change> report() { return report(provider); }

    void remove(const char* db, const std::string& unid) {
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen(db, &hDb), NOERROR);
        NOTEID id = 0;
        UNID u{};
        ASSERT_EQ(NSFDbGetNoteInfoByUNID(hDb, unidOf(unid, &u), &id, nullptr, nullptr, nullptr), NOERROR);
        ASSERT_EQ(NSFNoteDelete(hDb, id, 0), NOERROR);
        NSFDbClose(hDb);
    }

    std::string addTask(const char* subject) {
        return addDoc(kMail, {{"Form", {"Task"}}, {"Subject", {subject}}});
    }
};

// One row per step between two reports: what happens, then exactly what the report holds.
TEST_F(ChangesTest, EachReportHoldsWhatWasCreatedOrDeletedSinceThePrevious) {
    report(); // from a clean start
    std::string older, kept;
    const std::string inbox = folderId("Inbox"), todo = folderId("Tasks");
    const struct {
        const char* step;
        std::function<std::string()> act;                   // the id the report names, if any
        std::vector<std::pair<char, const char*>> expected; // kind, item class
        const std::string* parent = nullptr;
    } rows[] = {
        {"nothing happened", [] { return std::string(); }, {}},
        {"a memo delivered",
         [&] {
             addMemo({.subject = "Hello"}, &older);
             return older;
         },
         {{'c', "Message"}},
         &inbox},
        {"a to-do added", [&] { return addTask("Call Ann"); }, {{'c', "Task"}}, &todo},
        {"an appointment added",
         [&] {
             return addDoc(kMail, {{"Form", {"Appointment"}}, {"Subject", {"Dentist"}}});
         },
         {{'c', "Appointment"}}},
        {"a to-do added and deleted",
         [&] {
             const std::string id = addTask("Gone");
             remove(kMail, id);
             return id;
         },
         {{'d', ""}}},
        {"an older memo edited",
         [&] {
             changeNote(older, [](NOTEHANDLE h) { append(h, "Subject", TYPE_TEXT, "edited"); });
             return std::string();
         },
         {}},
        {"an older memo deleted",
         [&] {
             remove(kMail, older);
             return older;
         },
         {{'d', ""}}},
        {"documents of other forms",
         [&] {
             addDoc(kMail, {{"Form", {"CalendarProfile"}}, {"Subject", {"p"}}});
             addDoc(kMail, {{"Subject", {"no form"}}});
             addDoc(kMail, {{"Form", {"Reply"}}, {"Subject", {"a reply"}}});
             return std::string();
         },
         {}},
        {"a contact added to the personal address book",
         [&] {
             return kept = addDoc(kPersonal, {{"Form", {"Person"}}, {"FullName", {"Ann Lee"}}});
         },
         {{'c', "Contact"}}},
        {"a distribution list added",
         [&] {
             return addDoc(kPersonal, {{"Form", {"Group"}}, {"ListName", {"Readers"}}, {"GroupType", {"0"}}});
         },
         {{'c', "DistributionList"}}},
        {"that contact deleted",
         [&] {
             remove(kPersonal, kept);
             return kept;
         },
         {{'d', ""}}},
        {"again nothing", [] { return std::string(); }, {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.step);
        const std::string id = r.act();
        const auto changes = report();
        ASSERT_EQ(changes.size(), r.expected.size());
        for (std::size_t i = 0; i < changes.size(); ++i) {
            EXPECT_EQ(changes[i].kind, r.expected[i].first);
            EXPECT_EQ(changes[i].itemClass, r.expected[i].second);
            EXPECT_EQ(changes[i].itemId, id);
            EXPECT_FALSE(changes[i].readFlag) << "a new message is announced unread";
            if (r.parent) {
                EXPECT_EQ(changes[i].parentId, *r.parent);
            }
        }
    }
}

TEST_F(ChangesTest, TenThousandChangesComeInOneReport) {
    report();
    std::vector<notes::mail::Message> todo(10000);
    for (std::size_t i = 0; i < todo.size(); ++i) {
        todo[i].kind = notes::mail::Message::Kind::Task;
        todo[i].subject = "to-do " + std::to_string(i);
    }
    DBHANDLE hDb = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen(kMail, &hDb), NOERROR);
    ASSERT_EQ(notes::mail::store(hDb, todo), NOERROR);
    NSFDbClose(hDb);
    std::set<std::string> ids;
    for (const Change& c : report())
        if (c.kind == 'c' && c.itemClass == "Task")
            ids.insert(c.itemId);
    EXPECT_EQ(ids.size(), todo.size());
    EXPECT_TRUE(report().empty());
}

// Another writer saves to-dos on its own handle while reports run back to back: each one is
// reported exactly once, whichever report sees it.
TEST_F(ChangesTest, ChangesCommittedDuringAReportAreReportedExactlyOnce) {
    report();
    constexpr int kWrites = 150;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < kWrites; ++i)
            addTask(("written " + std::to_string(i)).c_str());
        done = true;
    });
    std::map<std::string, int> seen;
    auto collect = [&] {
        for (const Change& c : report())
            ++seen[c.itemId];
    };
    while (!done)
        collect();
    writer.join();
    collect();
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kWrites));
    for (const auto& [id, times] : seen)
        EXPECT_EQ(times, 1) << id;
}

// Deletions older than the stubs' purge interval are gone: the report says "read everything again"
// once (a deletion without an item id, of the mailbox) and then goes on as before.
TEST_F(ChangesTest, PurgedDeletionsAskTheHostToReadAgain) {
    report();
    remove(kMail, addTask("deleted long ago"));
    notes::Clock::advance(91LL * 86400);
    auto changes = report();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, 'd');
    EXPECT_EQ(changes[0].itemId, "");
    EXPECT_EQ(changes[0].parentId, mailboxId.c_str());
    const std::string later = addTask("after the purge");
    changes = report();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].itemId, later);
}

// A provider made while its clock ran a day ahead still reports what is saved after its login.
TEST_F(ChangesTest, ASyncTimeAheadOfTheDatabaseLosesNothing) {
    notes::Clock::advance(86400);
    hx::MailProvider* skewed = makeProvider();
    notes::Clock::reset();
    ASSERT_EQ(skewed->login("jdoe", "demo-password", "", 0, 0), 0);
    const std::string id = addTask("after login");
    const auto changes = report(skewed);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].itemId, id);
    EXPECT_TRUE(report(skewed).empty());
    skewed->release();
}

// A pass that cannot read its database keeps its sync time: the changes come with the next report.
TEST_F(ChangesTest, AnUnreadableMailFileKeepsItsChangesForTheNextReport) {
    report();
    const std::string id = addTask("while away");
    const std::string file = dir + "/Mail1/mail/jdoe.nsf";
    std::filesystem::rename(file, file + ".away");
    EXPECT_TRUE(report().empty());
    std::filesystem::rename(file + ".away", file);
    const auto changes = report();
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].itemId, id);
}

TEST_F(ChangesTest, BeforeALoginNothingIsReported) {
    hx::MailProvider* fresh = makeProvider();
    addTask("unseen");
    Lattice::ObjectCollection out;
    EXPECT_EQ(fresh->getChanges(&out, 0), 0);
    EXPECT_EQ(out.count(), 0);
    fresh->release();
}
