// What the process shares between connections to one file: idle connections, which later opens
// reuse, and view and unread lists, which must follow every commit of every connection and never
// show another connection's uncommitted rows or a file that has since been replaced.
#include "fixture.h"
#include "mailgen.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <filesystem>
#include <vector>

namespace {

notes::mail::Message memo(const char* subject, bool unread) {
    notes::mail::Message m;
    m.from = "CN=Sam Sender/O=Acme";
    m.sendTo = {"CN=Jane Doe/O=Acme"};
    m.subject = subject;
    m.body = "Hello";
    m.posted = m.delivered = (notes::daysFromCivil(2005, 1, 2) * 24 + 10) * 360000;
    m.unread = unread;
    return m;
}

} // namespace

class SharingTest : public NotesTest {
protected:
    static constexpr const char* kPath = "Mail1!!mail/jdoe.nsf";

    void SetUp() override {
        NotesTest::SetUp();
        ASSERT_EQ(notes::templates::create("Mail1", "mail/jdoe.nsf", notes::templates::Kind::Mail), NOERROR);
    }

    DBHANDLE open() {
        DBHANDLE h = NULLHANDLE;
        EXPECT_EQ(NSFDbOpen(kPath, &h), NOERROR);
        return h;
    }

    std::vector<NOTEID> put(DBHANDLE h, const std::vector<notes::mail::Message>& messages) {
        std::vector<NOTEID> ids;
        EXPECT_EQ(notes::mail::store(*notes::handles::database(h), messages, &ids), NOERROR);
        return ids;
    }

    // One memo saved and filed on the handle's own connection, joining a batch that is open there.
    NOTEID putInBatch(DBHANDLE h, const notes::mail::Message& m) {
        auto store = notes::handles::database(h);
        notes::Note note;
        notes::mail::fill(m, &note);
        EXPECT_EQ(store->save(note), NOERROR);
        NOTEID folder = 0;
        EXPECT_EQ(NIFFindView(h, "($Inbox)", &folder), NOERROR);
        EXPECT_EQ(store->changeFolder(folder, {note.info.id}, {}), NOERROR);
        return note.info.id;
    }

    std::vector<NOTEID> inbox(DBHANDLE h) { return readNoteIds(h, "($Inbox)"); }

    std::vector<NOTEID> unread(DBHANDLE h) {
        DHANDLE table = NULLHANDLE;
        EXPECT_EQ(NSFDbGetUnreadNoteTable(h, "", 0, TRUE, &table), NOERROR);
        const std::vector<NOTEID> ids = scanIds(table);
        IDDestroyTable(table);
        return ids;
    }
};

TEST_F(SharingTest, ListsFollowTheCommitsOfEveryConnection) {
    const DBHANDLE reader = open();
    const DBHANDLE writer = open();
    const std::vector<NOTEID> first = put(writer, {memo("one", true), memo("two", false)});
    EXPECT_EQ(inbox(reader).size(), 2u);
    EXPECT_EQ(unread(reader), std::vector<NOTEID>{first[0]});

    // Asked again after another connection wrote: the new memo is there, for old and new handles.
    const NOTEID third = put(writer, {memo("three", true)})[0];
    EXPECT_EQ(inbox(reader).size(), 3u);
    EXPECT_EQ(unread(reader), (std::vector<NOTEID>{first[0], third}));
    const DBHANDLE late = open();
    EXPECT_EQ(inbox(late).size(), 3u);

    // Unread changes through the C API of another handle show at once as well.
    DHANDLE none = NULLHANDLE;
    ASSERT_EQ(IDCreateTable(sizeof(NOTEID), &none), NOERROR);
    ASSERT_EQ(NSFDbSetUnreadNoteTable(writer, "", 0, TRUE, NULLHANDLE, none), NOERROR);
    IDDestroyTable(none);
    EXPECT_TRUE(unread(reader).empty());
    EXPECT_TRUE(unread(late).empty());

    // And deletions.
    ASSERT_EQ(NSFNoteDelete(late, third, 0), NOERROR);
    EXPECT_EQ(inbox(reader), inbox(writer));
    EXPECT_EQ(inbox(reader).size(), 2u);
    for (DBHANDLE h : {reader, writer, late}) {
        EXPECT_EQ(NSFDbClose(h), NOERROR);
    }
}

// A batch's rows are its connection's until committed: rolled back, or closed with its
// connection, they are gone, and the connection is not handed out again with the batch open.
TEST_F(SharingTest, UncommittedRowsStayWithTheirConnection) {
    const DBHANDLE reader = open();
    DBHANDLE writer = open();
    put(writer, {memo("kept", false)});
    auto store = notes::handles::database(writer);
    ASSERT_EQ(store->beginBatch(), NOERROR);
    putInBatch(writer, memo("pending", true));
    EXPECT_EQ(inbox(writer).size(), 2u); // the batch sees its own rows
    EXPECT_EQ(inbox(reader).size(), 1u); // nobody else does
    EXPECT_EQ(unread(reader).size(), 0u);
    ASSERT_EQ(store->endBatch(false), NOERROR);
    EXPECT_EQ(inbox(writer).size(), 1u);
    EXPECT_EQ(inbox(reader).size(), 1u);

    ASSERT_EQ(store->beginBatch(), NOERROR);
    store.reset();
    putInBatch(writer, memo("dropped", false));
    ASSERT_EQ(NSFDbClose(writer), NOERROR); // the unfinished batch is rolled back with the connection
    writer = open();
    EXPECT_EQ(inbox(writer).size(), 1u);
    put(writer, {memo("after", false)}); // a fresh connection: no transaction left open
    EXPECT_EQ(inbox(writer).size(), 2u);
    EXPECT_EQ(inbox(reader).size(), 2u);
    NSFDbClose(reader);
    NSFDbClose(writer);
}

TEST_F(SharingTest, ReplacedFilesAreNeverServedFromMemory) {
    DBHANDLE h = open();
    put(h, {memo("old one", false), memo("old two", false)});
    ASSERT_EQ(inbox(h).size(), 2u);
    NSFDbClose(h); // its connection is now idle in the pool, its lists in the cache

    // Deleted and made again through the C API...
    ASSERT_EQ(NSFDbDelete(kPath), NOERROR);
    ASSERT_EQ(notes::templates::create("Mail1", "mail/jdoe.nsf", notes::templates::Kind::Mail), NOERROR);
    h = open();
    EXPECT_TRUE(inbox(h).empty());
    put(h, {memo("new", true)});
    EXPECT_EQ(inbox(h).size(), 1u);
    NSFDbClose(h);

    // ...or behind the API's back, as another process would.
    const std::string file = dir + "/Mail1/mail/jdoe.nsf";
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(file + suffix);
    }
    ASSERT_EQ(notes::templates::create("Mail1", "mail/jdoe.nsf", notes::templates::Kind::Mail), NOERROR);
    h = open();
    EXPECT_TRUE(inbox(h).empty());
    EXPECT_TRUE(unread(h).empty());
    NSFDbClose(h);
}
