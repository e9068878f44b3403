// nsfadmin: its commands in process, and the program itself as a subprocess (exit codes, messages,
// and a store shared with another process).
#include "admin.h"
#include "fixture.h"

#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace {

struct Outcome {
    int code = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string trimmed(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) {
        s.pop_back();
    }
    return s;
}

} // namespace

class NsfadminTest : public NotesTest {
protected:
    // Runs the nsfadmin program with the test's data directory.
    Outcome run(const std::string& args) {
        const std::string out = dir + "/.out", err = dir + "/.err";
        const std::string cmd = std::string(NSFADMIN_PATH) + " --data '" + dir + "' " + args + " >'" + out +
                                "' 2>'" + err + "' </dev/null";
        const int status = std::system(cmd.c_str());
        Outcome r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    // Runs one command in process.
    template <typename F> Outcome admin(F f) {
        std::ostringstream out, err;
        nsfadmin::Admin a(dir, out, err);
        Outcome r;
        r.code = f(a);
        r.out = out.str();
        r.err = err.str();
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

    EXPECT_EQ(admin([&](auto& a) { return a.itemSet(mail, unid, "SendTo", "textlist", {"a", "b"}, ""); }).code, 0);
    EXPECT_EQ(admin([&](auto& a) { return a.itemSet(mail, unid, "Size", "numberlist", {"1", "2.5"}, ""); }).code, 0);
    EXPECT_EQ(
        admin([&](auto& a) { return a.itemSet(mail, unid, "When", "time", {"01/01/2005 3:00:00 PM"}, "5"); }).code,
        0);
    const Outcome shown = admin([&](auto& a) { return a.docShow(mail, unid); });
    EXPECT_NE(shown.out.find("Subject (text): Grüße"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("SendTo (textlist): a; b"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("Size (numberlist): 1; 2.5"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("When (time): 01/01/2005 03:00:00 PM"), std::string::npos) << shown.out;

    // What nsfadmin wrote reads back through the class library with the codes it chose.
    LNNotesSession s;
    ASSERT_EQ(s.Init(), LNNOERROR);
    LNDatabase db;
    ASSERT_EQ(s.GetDatabase("mail/jdoe", &db, "Mail1"), LNNOERROR);
    db.Open();
    LNDocument doc;
    ASSERT_EQ(db.GetDocument(LNUniversalID(LNString(unid)), &doc), LNNOERROR);
    doc.Open();
    LNText subject;
    doc.GetItem("Subject", &subject);
    EXPECT_EQ(subject[0], "Gr\xFC\xDF" "e"); // stored in the 8-bit character set
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

TEST_F(NsfadminTest, BadInputGivesAMessageAndExitCodeTwo) {
    admin([&](auto& a) { return a.dbCreate(mail, ""); });
    const std::string unid = trimmed(admin([&](auto& a) { return a.docCreate(mail, "Memo", {}); }).out);

    Outcome r = admin([&](auto& a) { return a.itemSet(mail, unid, "Size", "number", {"12abc"}, ""); });
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    EXPECT_EQ(r.err, "nsfadmin: not a number: '12abc'\n");
    r = admin([&](auto& a) { return a.itemSet(mail, unid, "When", "time", {"31/31/2005"}, ""); });
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    EXPECT_NE(r.err.find("not a date or time"), std::string::npos);
    r = admin([&](auto& a) { return a.itemSet(mail, unid, "Subject", "text", {"a", "b"}, ""); });
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    EXPECT_EQ(r.err, "nsfadmin: type text takes exactly one value\n");
    r = admin([&](auto& a) { return a.itemSet(mail, unid, "When", "time", {"01/01/2005"}, "14"); });
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    r = admin([&](auto& a) { return a.docCreate(mail, "Memo", {"NoEquals"}); });
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    r = admin([&](auto& a) { return a.docShow(mail, "xyz"); });
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
    EXPECT_EQ(r.err, "nsfadmin: not a universal id (32 hexadecimal digits): xyz\n");
    r = admin([](auto& a) { return a.serverAdd("../evil"); });
    EXPECT_EQ(r.code, nsfadmin::kBadInput);
}

TEST_F(NsfadminTest, NotesErrorsGiveTheirTextAndExitCodeOne) {
    Outcome r = admin([](auto& a) { return a.docList({"Nowhere", "names.nsf"}, ""); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_EQ(r.err, "nsfadmin: cannot open database names.nsf on Nowhere: Server not responding\n");
    r = admin([](auto& a) { return a.docList({"Mail1", "missing"}, ""); });
    EXPECT_EQ(r.err, "nsfadmin: cannot open database missing on Mail1: File does not exist\n");
    r = admin([](auto& a) { return a.dbCreate({"Mail1", "/etc/evil"}, ""); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_NE(r.err.find("Invalid path"), std::string::npos);
    admin([&](auto& a) { return a.dbCreate(mail, ""); });
    r = admin([&](auto& a) { return a.docShow(mail, "0123456789ABCDEF0123456789ABCDEF"); });
    EXPECT_EQ(r.err, "nsfadmin: cannot find document 0123456789ABCDEF0123456789ABCDEF: "
                     "Invalid or nonexistent document\n");
    r = admin([](auto& a) { return a.serverAdd("Mail1"); });
    EXPECT_EQ(r.code, nsfadmin::kNotesError);
    EXPECT_EQ(r.err, "nsfadmin: server Mail1 already exists\n");
}

TEST_F(NsfadminTest, ConvertsBetweenUtf8AndLatin1) {
    EXPECT_EQ(nsfadmin::utf8ToLatin1("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(nsfadmin::utf8ToLatin1("\xE2\x82\xAC"), "?");   // the euro sign is not Latin-1
    EXPECT_EQ(nsfadmin::utf8ToLatin1("a\xC3"), "a?");         // cut off
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
    ASSERT_EQ(s.Init(), LNNOERROR);
    LNDatabase db;
    ASSERT_EQ(s.GetDatabase("mail/jdoe", &db, "CN=Mail1/O=Acme"), LNNOERROR);
    db.Open();
    LNDocument doc;
    db.CreateDocument(&doc, "Memo");
    LNText names;
    names << "one" << "two";
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
