// nsfadmin: its commands in process, and the program itself as a subprocess (exit codes, messages,
// and a store shared with another process).
#include "mimeparts.h"
#include "nsfadmin_fixture.h"

#include <algorithm>
#include <functional>
#include <map>
#include <sys/wait.h>
#include <tuple>

class NsfadminTest : public NsfadminRunTest {
protected:
    // Runs the nsfadmin program with the test's data directory.
    Outcome run(const std::string& args) {
        const std::string out = dir + "/.out", err = dir + "/.err";
        const std::string cmd = std::string(NSFADMIN_PATH) + " --data '" + dir + "' " + args + " >'" + out +
                                "' 2>'" + err + "' </dev/null";
        const int status = std::system(cmd.c_str());
        Outcome r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = readFile(out);
        r.err = readFile(err);
        return r;
    }

    const nsfadmin::DbRef mail{"CN=Mail1/O=Acme", "mail/jdoe"};
};

TEST_F(NsfadminTest, CreatesServersDatabasesAndDocuments) {
    EXPECT_EQ(admin([](auto& a) { return a.serverAdd("CN=Mail2/O=Acme"); }).code, nsfadmin::kOk);
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/Mail2"));
    ASSERT_EQ(admin([&](auto& a) { return a.dbCreate(mail, ""); }).code, nsfadmin::kOk);
    const Outcome created = admin([&](auto& a) { return a.docCreate(mail, "Memo", {"Subject=Grüße"}); });
    ASSERT_EQ(created.code, nsfadmin::kOk) << created.err;
    const std::string unid = trimmed(created.out);
    ASSERT_EQ(unid.size(), 32u);

    const std::vector<std::tuple<const char*, const char*, std::vector<std::string>, const char*>> items = {
        {"SendTo", "textlist", {"a", "b"}, ""},
        {"Size", "numberlist", {"1", "2.5"}, ""},
        {"When", "time", {"01/01/2005 3:00:00 PM"}, "5"}};
    for (const auto& [name, type, values, zone] : items)
        EXPECT_EQ(admin([&, n = name, t = type, v = values, z = zone](auto& a) {
                      return a.itemSet(mail, unid, n, t, v, z);
                  }).code,
                  0)
            << name;
    const Outcome shown = admin([&](auto& a) { return a.docShow(mail, unid); });
    for (const char* line : {"Subject (text): Grüße", "SendTo (textlist): a; b", "Size (numberlist): 1; 2.5",
                             "When (time): 01/01/2005 03:00:00 PM"}) {
        EXPECT_NE(shown.out.find(line), std::string::npos) << shown.out;
    }

    // What nsfadmin wrote reads back through the class library with the codes it chose.
    LNNotesSession s;
    LNDatabase db;
    openDb(s, db, "mail/jdoe");
    LNDocument doc = openDoc(db, unid);
    LNText subject;
    doc.GetItem("Subject", &subject);
    EXPECT_EQ(subject[0], "Gr\xFC\xDF"
                          "e"); // stored in the 8-bit character set
    LNDatetimes when;
    ASSERT_EQ(doc.GetItem("When", &when), LNNOERROR);
    EXPECT_EQ(when.GetNotesType(), TYPE_TIME);
    EXPECT_EQ(when.GetType(), LNITEMTYPE_DATETIMES);
    LNDatetime gmt = when[0];
    gmt.AdjustTimeZone(0);
    EXPECT_EQ(gmt.GetHour(), 20);
    doc.Close();
    db.Close();
    s.Term();
}

// Bad input exits with 2, a failure of the store with 1; either way a message names the cause.
TEST_F(NsfadminTest, FailuresGiveTheirExitCodeAndMessage) {
    admin([&](auto& a) { return a.dbCreate(mail, ""); });
    const std::string unid = trimmed(admin([&](auto& a) { return a.docCreate(mail, "Memo", {}); }).out);
    using Command = std::function<int(nsfadmin::Admin&)>;
    const std::string missing = "0123456789ABCDEF0123456789ABCDEF";
    const std::tuple<Command, int, std::string> cases[] = {
        {[&](auto& a) { return a.itemSet(mail, unid, "Size", "number", {"12abc"}, ""); }, nsfadmin::kBadInput,
         "nsfadmin: not a number: '12abc'\n"},
        {[&](auto& a) { return a.itemSet(mail, unid, "When", "time", {"31/31/2005"}, ""); },
         nsfadmin::kBadInput, "not a date or time"},
        {[&](auto& a) {
             return a.itemSet(mail, unid, "Subject", "text", {"a", "b"}, "");
         },
         nsfadmin::kBadInput, "nsfadmin: type text takes exactly one value\n"},
        {[&](auto& a) { return a.itemSet(mail, unid, "When", "time", {"01/01/2005"}, "14"); },
         nsfadmin::kBadInput, ""},
        {[&](auto& a) { return a.docCreate(mail, "Memo", {"NoEquals"}); }, nsfadmin::kBadInput, ""},
        {[&](auto& a) { return a.docShow(mail, "xyz"); }, nsfadmin::kBadInput,
         "nsfadmin: not a universal id (32 hexadecimal digits): xyz\n"},
        {[](auto& a) { return a.serverAdd("../evil"); }, nsfadmin::kBadInput, ""},
        {[](auto& a) {
             return a.docList({"Nowhere", "names.nsf"}, "");
         },
         nsfadmin::kNotesError,
         "nsfadmin: cannot open database names.nsf on Nowhere: Server not responding\n"},
        {[](auto& a) {
             return a.docList({"Mail1", "missing"}, "");
         },
         nsfadmin::kNotesError, "nsfadmin: cannot open database missing on Mail1: File does not exist\n"},
        {[](auto& a) {
             return a.dbCreate({"Mail1", "/etc/evil"}, "");
         },
         nsfadmin::kNotesError, "Invalid path"},
        {[&](auto& a) { return a.docShow(mail, missing); }, nsfadmin::kNotesError,
         "nsfadmin: cannot find document " + missing + ": Invalid or nonexistent document\n"},
        {[](auto& a) { return a.serverAdd("Mail1"); }, nsfadmin::kNotesError,
         "nsfadmin: server Mail1 already exists\n"},
    };
    for (const auto& [command, code, message] : cases) {
        const Outcome r = admin(command);
        EXPECT_EQ(r.code, code) << r.err;
        if (message.ends_with('\n')) {
            EXPECT_EQ(r.err, message);
        } else {
            EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        }
    }
}

TEST_F(NsfadminTest, ConvertsBetweenUtf8AndLatin1) {
    EXPECT_EQ(nsfadmin::utf8ToLatin1("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(nsfadmin::utf8ToLatin1("\xE2\x82\xAC"), "?"); // the euro sign is not Latin-1
    EXPECT_EQ(nsfadmin::utf8ToLatin1("a\xC3"), "a?");       // cut off
    EXPECT_EQ(nsfadmin::latin1ToUtf8("caf\xE9"), "caf\xC3\xA9");
}

#ifdef NSFADMIN_PATH
TEST_F(NsfadminTest, ProgramExitCodesAndMessages) {
    Outcome r = run("--help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("server"), std::string::npos);
    r = run("");
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    EXPECT_NE(r.err.find("A subcommand is required"), std::string::npos);
    r = run("item set -s Mail1 mail/jdoe 0123456789ABCDEF0123456789ABCDEF X 1 --type bogus");
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    EXPECT_NE(r.err.find("bogus"), std::string::npos);
    r = run("doc list -s Nowhere names");
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_EQ(r.err, "nsfadmin: cannot open database names on Nowhere: Server not responding\n");
}

TEST_F(NsfadminTest, AnotherProcessSeesTheStore) {
    ASSERT_EQ(run("db create -s Mail1 mail/jdoe").code, 0);
    // Written here, read by the program.
    LNNotesSession s;
    LNDatabase db;
    openDb(s, db, "mail/jdoe", "CN=Mail1/O=Acme");
    LNDocument doc;
    db.CreateDocument(&doc, "Memo");
    LNText names;
    names << "one"
          << "two";
    doc.CreateItem("Names", names);
    doc.Save();
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    const std::string id = unid.GetText().str();
    doc.Close();
    Outcome r = run("item show -s Mail1 mail/jdoe " + id + " names");
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "one\ntwo\n");

    // Written by the program, read here (the database stays open meanwhile).
    ASSERT_EQ(run("item set -s Mail1 mail/jdoe " + id + " Count 7 --type number").code, 0);
    ASSERT_EQ(db.GetDocument(unid, &doc), LNNOERROR);
    doc.Open();
    LNNumbers count;
    ASSERT_EQ(doc.GetItem("Count", &count), LNNOERROR);
    EXPECT_EQ(count[0], 7);
    doc.Close();
    ASSERT_EQ(run("doc delete -s Mail1 mail/jdoe " + id).code, 0);
    EXPECT_EQ(db.GetDocument(unid, &doc), static_cast<LNSTATUS>(ERR_NOTE_DELETED));
    db.Close();
    s.Term();
}
#endif

// ---- users, groups and seeding ----------------------------------------------------------------

namespace {

std::vector<std::string> databases(const std::string& root) {
    std::vector<std::string> out;
    std::error_code ec;
    for (std::filesystem::recursive_directory_iterator it(root, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->is_regular_file() && it->path().extension() == ".nsf") {
            out.push_back(std::filesystem::relative(it->path(), root).generic_string());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

nsfadmin::PersonEntry jane() {
    nsfadmin::PersonEntry p;
    p.fullName = "CN=Jane Doe/O=Acme";
    p.shortName = "jdoe";
    p.internetAddress = "jane.doe@acme.example";
    return p;
}

} // namespace

class NsfadminDirectoryTest : public NsfadminTest {
protected:
    void SetUp() override {
        NsfadminTest::SetUp();
        ASSERT_EQ(NotesInitExtended(0, nullptr), NOERROR);
    }
    void TearDown() override {
        NotesTerm();
        NsfadminTest::TearDown();
    }

    // Writes a fixture file and returns its path.
    std::string fixture(const std::string& text) {
        const std::string path = dir + "/fixture.json";
        writeFile(path, text);
        return path;
    }
};

TEST_F(NsfadminDirectoryTest, UserAddMakesPersonMailFileAndAddressBook) {
    const Outcome r = admin([](auto& a) { return a.userAdd("Mail1", jane(), "demo-password"); });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    EXPECT_EQ(r.out.find("demo-password"), std::string::npos); // secrets never reach the output
    EXPECT_EQ(databases(dir + "/Mail1"),
              (std::vector<std::string>{"mail/jdoe.nsf", "names.nsf", "pab/jdoe_pab.nsf"}));

    std::string digest;
    ASSERT_EQ(lookupUser("jdoe", &digest), 1);
    EXPECT_EQ(verifyPassword("demo-password", digest), NOERROR);
    EXPECT_EQ(lookupUser("Jane Doe"), 1);
    EXPECT_EQ(lookupUser("jane.doe@acme.example"), 1);

    // The person document holds the mail items the login reads.
    LNNotesSession s;
    LNDatabase names;
    openDb(s, names, "names.nsf");
    LNViewFolder users;
    ASSERT_EQ(names.GetViewFolder("($Users)", &users), LNNOERROR);
    LNVFEntry e;
    ASSERT_EQ(users.Find("jdoe", &e), LNNOERROR);
    LNDocument doc;
    ASSERT_EQ(e.GetDocument(&doc), LNNOERROR);
    ASSERT_EQ(doc.Open(), LNNOERROR);
    char buf[256];
    const std::vector<std::pair<const char*, const char*>> expected = {
        {"Form", "Person"},     {"FullName", "CN=Jane Doe/O=Acme"},
        {"FirstName", "Jane"},  {"LastName", "Doe"},
        {"MailSystem", "1"},    {"MailServer", "CN=Mail1/O=Acme"},
        {"MailDomain", "Acme"}, {"MailFile", "mail\\jdoe"},
        {"ShortName", "jdoe"}};
    for (const auto& [item, value] : expected) {
        NSFItemGetTextListEntry(doc.GetNoteHandle(), item, 0, buf, sizeof buf);
        EXPECT_STREQ(buf, value) << item;
    }
    doc.Close();
    // Showing the document does not show the digest.
    LNUniversalID unid;
    doc.GetUniversalID(&unid);
    const Outcome shown = admin([&](auto& a) {
        return a.docShow({"Mail1", "names.nsf"}, unid.GetText().str());
    });
    EXPECT_NE(shown.out.find("HTTPPassword (text): (digest hidden)"), std::string::npos) << shown.out;
    EXPECT_EQ(shown.out.find("argon2"), std::string::npos);
    names.Close();
    s.Term();

    // The mail file and the address book open, the address book with its views.
    LNDatabase pab;
    openDb(s, pab, "pab/jdoe_pab");
    LNViewFolder flat;
    EXPECT_EQ(pab.GetViewFolder("($PeopleGroupsFlat)", &flat), LNNOERROR);
    pab.Close();
    s.Term();
}

TEST_F(NsfadminDirectoryTest, UserAddRefusesDuplicatesAndBadInputWithoutWriting) {
    ASSERT_EQ(admin([](auto& a) { return a.userAdd("Mail1", jane(), "pw"); }).code, nsfadmin::kOk);
    const auto before = databases(dir + "/Mail1");

    nsfadmin::PersonEntry other = jane();
    other.shortName = "jdoe2"; // same full name
    Outcome r = admin([&](auto& a) { return a.userAdd("Mail1", other, "pw"); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_EQ(r.err, "nsfadmin: 'CN=Jane Doe/O=Acme' is already in the directory of Mail1\n");
    EXPECT_EQ(databases(dir + "/Mail1"), before);

    // A stray mail file blocks a new user; nothing else is made.
    nsfadmin::PersonEntry max;
    max.fullName = "Max Muster/Acme";
    max.shortName = "mmuster";
    createDb("Mail1", "mail/mmuster");
    r = admin([&](auto& a) { return a.userAdd("Mail1", max, "pw"); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_NE(r.err.find("mail/mmuster.nsf already exists"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/Mail1/pab/mmuster_pab.nsf"));
    EXPECT_EQ(lookupUser("mmuster"), 0);

    const struct {
        const char* server;
        const char* shortName;
        std::string password;
        int code;
        const char* says;
    } kRefused[] = {
        {"Mail1", "../evil", "pw", nsfadmin::kBadInput, "a short name uses letters"},
        {"Mail1", "mm", "", nsfadmin::kBadInput, "a user needs a password"},
        {"Mail1", "mm", std::string(2000, 'p'), nsfadmin::kBadInput, "the password is longer than"},
        {"", "mm", "pw", nsfadmin::kBadInput, "a user needs a server"},
        {"Nowhere", "mm", "pw", nsfadmin::kNotesError, "server Nowhere: Server not responding"},
    };
    for (const auto& row : kRefused) {
        SCOPED_TRACE(std::string(row.server) + " " + row.shortName);
        max.shortName = row.shortName;
        r = admin([&](auto& a) { return a.userAdd(row.server, max, row.password); });
        EXPECT_EQ(r.code, row.code);
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
        EXPECT_EQ(lookupUser("mm"), 0);
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/Mail1/mail/mm.nsf"));
}

TEST_F(NsfadminDirectoryTest, PasswdListAndGroups) {
    ASSERT_EQ(admin([](auto& a) { return a.userAdd("Mail1", jane(), "old"); }).code, nsfadmin::kOk);
    Outcome r = admin([](auto& a) { return a.userPasswd("Mail1", "Jane Doe", "new-password"); });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    std::string digest;
    ASSERT_EQ(lookupUser("jdoe", &digest), 1);
    EXPECT_EQ(verifyPassword("new-password", digest), NOERROR);
    EXPECT_EQ(verifyPassword("old", digest), ERR_PASSWORD_MISMATCH);
    r = admin([](auto& a) { return a.userPasswd("Mail1", "nobody", "x"); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_EQ(r.err, "nsfadmin: no person 'nobody' in the directory of Mail1\n");

    r = admin([](auto& a) { return a.userList("Mail1"); });
    EXPECT_EQ(r.out, "jdoe\tCN=Jane Doe/O=Acme\tjane.doe@acme.example\tmail\\jdoe\n");

    nsfadmin::GroupEntry sales;
    sales.name = "Sales";
    sales.members = {"CN=Jane Doe/O=Acme"};
    const nsfadmin::DbRef directory{"Mail1", ""};
    ASSERT_EQ(admin([&](auto& a) { return a.groupAdd(directory, sales); }).code, nsfadmin::kOk);
    EXPECT_EQ(admin([&](auto& a) { return a.groupAdd(directory, sales); }).code, nsfadmin::kNotesError);
    // Only the four documented group types; a refused group leaves no document behind.
    for (const char* type : {"4", "9", "", "01", "-1", "1 ", "mail"}) {
        nsfadmin::GroupEntry odd;
        odd.name = "Odd";
        odd.type = type;
        r = admin([&](auto& a) { return a.groupAdd(directory, odd); });
        EXPECT_EQ(r.code, nsfadmin::kBadInput) << type;
        EXPECT_NE(r.err.find("is not a group type"), std::string::npos) << r.err;
        EXPECT_EQ(admin([&](auto& a) { return a.groupMembers(directory, "Odd", "list", {}); }).code,
                  nsfadmin::kNotesError)
            << type;
    }
    EXPECT_EQ(run("group add -s Mail1 Odd --type 9").code, nsfadmin::kBadInput);
    // Each step: group, action, members, exit code, then the group's members ("-": not listed).
    const std::tuple<const char*, const char*, std::vector<std::string>, int, const char*> steps[] = {
        {"sales", "add", {"Bob", "bob"}, nsfadmin::kOk, "CN=Jane Doe/O=Acme\nBob\n"},
        {"Sales", "remove", {"CN=Jane Doe/O=Acme"}, nsfadmin::kOk, "Bob\n"},
        {"Sales", "remove", {"Carol"}, nsfadmin::kNotesError, "Bob\n"},
        {"Nope", "list", {}, nsfadmin::kNotesError, "-"},
        {"jdoe", "list", {}, nsfadmin::kNotesError, "-"}, // a person is not a group
        {"Sales", "add", {}, nsfadmin::kBadInput, "Bob\n"},
    };
    for (const auto& [group, action, members, code, after] : steps) {
        r = admin([&, g = group, op = action, m = members](auto& a) {
            return a.groupMembers(directory, g, op, m);
        });
        EXPECT_EQ(r.code, code) << group << " " << action;
        if (std::string(after) != "-") {
            EXPECT_EQ(admin([&](auto& a) { return a.groupMembers(directory, "Sales", "list", {}); }).out,
                      after);
        }
    }
    r = admin([&](auto& a) { return a.groupMembers(directory, "Sales", "remove", {"Carol"}); });
    EXPECT_EQ(r.err, "nsfadmin: 'Carol' is not a member of Sales\n");
    // Groups of a personal address book.
    const nsfadmin::DbRef pab{"Mail1", "pab/jdoe_pab"};
    ASSERT_EQ(admin([&](auto& a) { return a.groupAdd(pab, sales); }).code, nsfadmin::kOk);
    EXPECT_EQ(admin([&](auto& a) { return a.groupMembers(pab, "Sales", "list", {}); }).out,
              "CN=Jane Doe/O=Acme\n");
}

TEST_F(NsfadminDirectoryTest, SeedsTheDemoServerOnceAndLoginsWork) {
    Outcome r = admin([](auto& a) { return a.seed(DEMO_FIXTURE); });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    EXPECT_NE(r.out.find("seeded 1 server, 12 people, 4 groups, 5 contacts"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("demo-password"), std::string::npos);
    std::string digest;
    ASSERT_EQ(lookupUser("jdoe", &digest), 1);
    EXPECT_EQ(verifyPassword("demo-password", digest), NOERROR);
    EXPECT_EQ(lookupUser("All Staff"), 1);
    EXPECT_EQ(lookupUser("kenji.tanaka@acme.example"), 1);

    // Jane's address book: contacts and groups, with the Family/Friends cycle.
    LNNotesSession s;
    LNDatabase pab;
    openDb(s, pab, "pab/jdoe_pab", "CN=Mail1/O=Acme");
    LNViewFolder vim;
    ASSERT_EQ(pab.GetViewFolder("($VIMPeopleAndGroups)", &vim), LNNOERROR);
    EXPECT_EQ(vim.GetEntryCount(), 9);
    LNViewFolder users;
    ASSERT_EQ(pab.GetViewFolder("($Users)", &users), LNNOERROR);
    for (const char* group : {"Family", "Friends"}) {
        LNVFEntry e;
        ASSERT_EQ(users.Find(group, &e), LNNOERROR) << group;
        LNDocument doc;
        e.GetDocument(&doc);
        doc.Open();
        LNText members;
        ASSERT_EQ(doc.GetItem("Members", &members), LNNOERROR);
        LNINT at = 0;
        EXPECT_EQ(members.FindEntry(std::string(group) == "Family" ? "Friends" : "Family", &at), LNNOERROR);
        doc.Close();
    }
    pab.Close();
    s.Term();

    // A second seed refuses and leaves everything as it was.
    const auto before = databases(dir);
    // Jane's mail file: an inbox of 60 with some unread, drafts, sent items and tasks.
    LNDatabase mail;
    openDb(s, mail, "mail/jdoe", "CN=Mail1/O=Acme");
    std::map<std::string, int> counts;
    for (const char* view : {"($Inbox)", "($Drafts)", "($Sent)", "($ToDo)"}) {
        LNViewFolder v;
        ASSERT_EQ(mail.GetViewFolder(view, &v), LNNOERROR);
        counts[view] = v.GetEntryCount();
    }
    EXPECT_EQ(counts["($Inbox)"], 63); // 60 plain memos, a rich-text one and two MIME ones
    EXPECT_EQ(counts["($Drafts)"], 3);
    EXPECT_EQ(counts["($Sent)"], 6);
    EXPECT_EQ(counts["($ToDo)"], 4);
    LNNoteArray unread;
    ASSERT_EQ(mail.GetUnreadList(&unread), LNNOERROR);
    EXPECT_GE(unread.GetCount(), 9);
    EXPECT_LT(unread.GetCount(), 60);
    // The demo memos with a picture, a link and a file, and with MIME bodies.
    LNViewFolder janeInbox;
    ASSERT_EQ(mail.GetViewFolder("($Inbox)", &janeInbox), LNNOERROR);
    std::map<std::string, LNDocument> newest;
    std::vector<NOTEID> ids;
    ASSERT_EQ(janeInbox.GetNoteIDs(&ids), LNNOERROR);
    for (NOTEID id : ids) {
        LNDocument doc = openDoc(mail, id);
        LNText subject;
        if (doc.GetItem("Subject", &subject) == LNNOERROR) {
            newest.emplace(subject[0].str(), doc);
        }
    }
    ASSERT_TRUE(newest.count("Office floor plan"));
    LNDocument plan = newest["Office floor plan"];
    LNRichText body;
    ASSERT_EQ(plan.GetItem("Body", &body), LNNOERROR);
    LNRTCursor cursor;
    ASSERT_EQ(body.GetCursor(&cursor), LNNOERROR);
    LNGraphic picture;
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_GRAPHIC, &picture), LNNOERROR);
    EXPECT_EQ(picture.GetWidth(), 32);
    LNRTObject link;
    ASSERT_EQ(cursor.GotoFirst(LNRTTYPE_LINK, &link), LNNOERROR);
    EXPECT_NE(link.GetText().str().find("intranet"), std::string::npos);
    LNAttachmentArray files;
    ASSERT_EQ(plan.GetAttachments(&files), LNNOERROR);
    ASSERT_EQ(files.GetCount(), 1);
    EXPECT_EQ(files[0].GetAttachmentName(), "seating-plan.pdf");
    EXPECT_GT(files[0].GetFileSize(), 100);

    ASSERT_TRUE(newest.count("Lunch at the Caf\xE9 on Friday"));
    ASSERT_TRUE(newest.count("Facilities update: the third floor reopens"));
    for (const char* subject :
         {"Lunch at the Caf\xE9 on Friday", "Facilities update: the third floor reopens"}) {
        const LNDocument& doc = newest[subject];
        EXPECT_TRUE(doc.HasItem("$NoteHasNativeMIME")) << subject;
        const auto parts = notes::mime::leafParts(*notes::handles::note(doc.GetNoteHandle()));
        ASSERT_FALSE(parts.empty());
        EXPECT_EQ(parts[0].contentType, "text/plain");
    }
    const auto html = notes::mime::leafParts(
        *notes::handles::note(newest["Facilities update: the third floor reopens"].GetNoteHandle()));
    ASSERT_EQ(html.size(), 2u);
    EXPECT_EQ(html[1].contentType, "text/html");
    EXPECT_NE(html[1].content.find("facilities@acme.example</a>"), std::string::npos); // soft break undone
    for (auto& [subject, doc] : newest) {
        doc.Close();
    }
    janeInbox.Close();
    mail.Close();

    // gen-mail: memos into an existing mail file; bad arguments change nothing.
    r = admin([](auto& a) { return a.genMail("CN=Mail1/O=Acme", "jsmith", 250, 10, 3); });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    EXPECT_NE(r.out.find("250 of 250 memos"), std::string::npos) << r.out;
    EXPECT_EQ(admin([](auto& a) { return a.genMail("CN=Mail1/O=Acme", "jsmith", 0, 10, 3); }).code,
              nsfadmin::kBadInput);
    EXPECT_EQ(admin([](auto& a) { return a.genMail("CN=Mail1/O=Acme", "../x", 5, 10, 3); }).code,
              nsfadmin::kBadInput);
    EXPECT_EQ(admin([](auto& a) { return a.genMail("CN=Mail1/O=Acme", "nobody", 5, 10, 3); }).code,
              nsfadmin::kNotesError);
    EXPECT_EQ(admin([](auto& a) { return a.genMail("CN=Mail1/O=Acme", "jdoe", 5, 0, 3); }).code,
              nsfadmin::kBadInput);
    LNDatabase smith;
    openDb(s, smith, "mail/jsmith", "CN=Mail1/O=Acme");
    LNViewFolder inbox;
    ASSERT_EQ(smith.GetViewFolder("($Inbox)", &inbox), LNNOERROR);
    EXPECT_EQ(inbox.GetEntryCount(), 250);
    smith.Close();
    s.Term();

    r = admin([](auto& a) { return a.seed(DEMO_FIXTURE); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_NE(r.err.find("names.nsf already exists on CN=Mail1/O=Acme"), std::string::npos) << r.err;
    EXPECT_EQ(databases(dir), before);
    EXPECT_EQ(lookupUser("jdoe"), 1);
}

TEST_F(NsfadminDirectoryTest, BadFixturesNameTheFieldAndWriteNothing) {
    const std::string person = R"({"fullName": "CN=A B/O=Acme", "shortName": "ab", "password": "p"})";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"{", "is not valid JSON"},
        {"[]", "fixture: must be an object"},
        {"{}", "fixture.servers: needs at least one server"},
        {R"({"servers": [{"name": "Mail3", "peeple": []}]})", "servers[0].peeple: unknown field"},
        {R"({"servers": [{"people": []}]})", "servers[0].name: missing"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "CN=A/O=B", "password": "p"}]}]})",
         "servers[0].people[0].shortName: missing"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": 7, "shortName": "a", "password": "p"}]}]})",
         "servers[0].people[0].fullName: must be a string"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a/b", "password": "p"}]}]})",
         "servers[0].people[0].shortName: use letters"},
        {R"({"servers": [{"name": "Mail3", "people": [)" + person + "," + person + "]}]}",
         "servers[0].people[1]: 'ab' is already used by another person"},
        {R"({"servers": [{"name": "Mail3", "groups": [{"name": "G", "members": [1]}]}]})",
         "servers[0].groups[0].members[0]: must be a string"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "addressBook": {"contacts": [{"fullName": "C", "items": {"X": 5}}]}}]}]})",
         "servers[0].people[0].addressBook.contacts[0].items.X: must be a string or a list of strings"},
        {R"({"servers": [{"name": "Mail3"}, {"name": "CN=mail3/O=Other"}]})", "servers[1].name: server"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "mail": [{"kind": "memo", "subject": "x"}]}]}]})",
         "servers[0].people[0].mail[0].kind: one of inbox, draft, sent, task"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "mail": [{"from": "B", "subject": "x", "importance": "urgent"}]}]}]})",
         "servers[0].people[0].mail[0].importance: high, normal or low"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "mail": [{"subject": "x"}]}]}]})",
         "servers[0].people[0].mail[0].from: missing"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "mail": [{"from": "B", "subject": "x", "daysAgo": -1}]}]}]})",
         "servers[0].people[0].mail[0].daysAgo: a number from 0 to 3650"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "calendar": [{"subject": "x", "start": "10:00", "end": "09:00"}]}]}]})",
         "servers[0].people[0].calendar[0]: the appointment ends before it starts"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "calendar": [{"subject": "x", "allDay": true, "start": "10:00"}]}]}]})",
         "servers[0].people[0].calendar[0]: an all-day entry has \"days\""},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "calendar": [{"subject": "x", "start": "9", "end": "10:00"}]}]}]})",
         "servers[0].people[0].calendar[0]: \""},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "calendar": [{"subject": "x", "start": "09:00", "end": "10:00", "attendees": ["B"]}]}]}]})",
         "servers[0].people[0].calendar[0]: a meeting needs its chair"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "calendar": [{"subject": "x", "inDays": 4000, "start": "09:00", "end": "10:00"}]}]}]})",
         "servers[0].people[0].calendar[0].inDays: a whole number from -3650 to 3650"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "readers": ["Nobody"]}]}]})",
         "reader Nobody of a is no one person of the directory"},
        {R"({"servers": [{"name": "Mail3", "people": [{"fullName": "A", "shortName": "a", "password": "p",
            "readers": "A"}]}]})",
         "servers[0].people[0].readers: must be a list"},
    };
    for (const auto& [text, message] : cases) {
        const std::string path = fixture(text);
        const Outcome r = admin([&](auto& a) { return a.seed(path); });
        EXPECT_EQ(r.code, nsfadmin::kBadInput) << text;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir + "/Mail3"));
    }
    EXPECT_EQ(admin([&](auto& a) { return a.seed(dir + "/missing.json"); }).code, nsfadmin::kBadInput);

    // A failure half-way (a folder stands where a mail file goes) undoes everything made so far.
    std::filesystem::create_directories(dir + "/Mail1/mail/zz.nsf");
    const std::string path = fixture(R"({"servers": [{"name": "Mail1", "people": [
        {"fullName": "CN=A B/O=Acme", "shortName": "ab", "password": "p"},
        {"fullName": "CN=Z Z/O=Acme", "shortName": "zz", "password": "p"}]}]})");
    const Outcome r = admin([&](auto& a) { return a.seed(path); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_NE(r.err.find("nothing was kept"), std::string::npos) << r.err;
    EXPECT_EQ(databases(dir), std::vector<std::string>{});
    EXPECT_TRUE(std::filesystem::is_directory(dir + "/Mail1")); // it was there before
}

#ifdef NSFADMIN_PATH
TEST_F(NsfadminDirectoryTest, ProgramReadsPasswordsFromStandardInput) {
    const std::string in = dir + "/.in";
    writeFile(in, "from-stdin\n");
    const std::string cmd = std::string(NSFADMIN_PATH) + " --data '" + dir +
                            "' user add -s Mail1 'CN=Jane Doe/O=Acme' --short jdoe --password-stdin <'" + in +
                            "' >'" + dir + "/.out' 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << readFile(dir + "/.out");
    EXPECT_EQ(readFile(dir + "/.out").find("from-stdin"), std::string::npos);
    std::string digest;
    ASSERT_EQ(lookupUser("jdoe", &digest), 1); // written by another process, read here
    EXPECT_EQ(verifyPassword("from-stdin", digest), NOERROR);

    Outcome r = run("user passwd -s Mail1 jdoe --password second");
    EXPECT_EQ(r.code, 0) << r.err;
    ASSERT_EQ(lookupUser("jdoe", &digest), 1);
    EXPECT_EQ(verifyPassword("second", digest), NOERROR);
    r = run("user passwd -s Mail1 jdoe --password a --password-stdin");
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    r = run("user list -s Mail1");
    EXPECT_EQ(r.out, "jdoe\tCN=Jane Doe/O=Acme\t\tmail\\jdoe\n");
    r = run("group members -s Mail1 sideways Sales");
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    r = run("seed --help");
    EXPECT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("fixture"), std::string::npos);
}
#endif

TEST_F(NsfadminDirectoryTest, ContactsAndListsAreCheckedBeforeAnythingIsWritten) {
    ASSERT_EQ(admin([](auto& a) { return a.userAdd("Mail1", jane(), "pw"); }).code, nsfadmin::kOk);
    const nsfadmin::DbRef pab{"Mail1", "pab/jdoe_pab"};
    Outcome r = admin([&](auto& a) {
        return a.addContact(pab, "Ann Lee",
                            {"MailAddress=ann@example.com", "OtherCountry=Canada", "selectedMailingAddress=3",
                             "Comment=line one\nline two", "CompanyName=Caf\xC3\xA9 Ltd"});
    });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    const std::string ann = r.out.substr(0, 32);
    EXPECT_EQ(run("item show -s Mail1 pab/jdoe_pab " + ann + " OtherCountry").out, "Canada\n");
    EXPECT_EQ(run("item show -s Mail1 pab/jdoe_pab " + ann + " CompanyName").out, "Caf\xC3\xA9 Ltd\n");

    struct Bad {
        std::string name;
        std::vector<std::string> fields;
        const char* says;
    };
    const std::vector<Bad> badContacts{
        {"", {}, "must not be empty"},
        {"Line\nBreak", {}, "control characters"},
        {"Bad \xC3", {}, "not valid UTF-8"},
        {"Kanji \xE6\xBC\xA2", {}, "beyond ISO-8859-1"},
        {"Bob", {"NoSuchItem=1"}, "not a contact item"},
        {"Bob", {"HTTPPassword=x"}, "not a contact item"},
        {"Bob", {"City=a", "city=b"}, "given twice"},
        {"Bob", {"City"}, "not ITEM=VALUE"},
        {"Bob", {"selectedMailingAddress=4"}, "1 (home), 2 (business) or 3 (other)"},
        {"Bob", {"City=" + std::string(70000, 'x')}, "longer than"},
    };
    for (const Bad& bad : badContacts) {
        r = admin([&](auto& a) { return a.addContact(pab, bad.name, bad.fields); });
        EXPECT_EQ(r.code, nsfadmin::kBadInput) << bad.says;
        EXPECT_NE(r.err.find(bad.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(run("doc list -s Mail1 pab/jdoe_pab --form Person").out, ann + " Person\n");

    r = admin([&](auto& a) {
        return a.addList(pab, "Friends", "close ones", {"Ann Lee", "jane.doe@acme.example"});
    });
    ASSERT_EQ(r.code, nsfadmin::kOk) << r.err;
    EXPECT_EQ(admin([&](auto& a) { return a.groupMembers(pab, "Friends", "list", {}); }).out,
              "Ann Lee\njane.doe@acme.example\n");
    const std::vector<std::pair<std::vector<std::string>, const char*>> badLists{
        {{"Loop", "Loop"}, "cannot contain itself"},
        {{"Ghosts", "Nobody Known"}, "no person or list is named 'Nobody Known'"},
        {{""}, "must not be empty"},
    };
    for (const auto& [words, says] : badLists) {
        const std::vector<std::string> members(words.begin() + 1, words.end());
        r = admin([&](auto& a) { return a.addList(pab, words[0], "", members); });
        EXPECT_EQ(r.code, nsfadmin::kBadInput) << says;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
    }
    EXPECT_EQ(admin([&](auto& a) { return a.addList(pab, "friends", "", {}); }).code, nsfadmin::kNotesError);
    EXPECT_EQ(run("doc list -s Mail1 pab/jdoe_pab --form Group").out.size(), 39u); // Friends alone
    EXPECT_EQ(run("add-contact --help").code, 0);
}
