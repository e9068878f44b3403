// The router stand-in: memos put into mail.box are delivered to people, groups (nested, cyclic),
// bounce for unknown names and go out as .eml files for addresses outside the organisation.
#include "admin.h"
#include "domino/router.h"

#include "notes/admin/directory.h"
#include "notes/admin/templates.h"
#include "notes/capi.h"
#include "notes/lncpp.h"

#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class RouterTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/hxrouter-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fs::create_directory(dir + "/Mail1");
        setenv("NOTES_DATA_DIR", dir.c_str(), 1);
        ASSERT_EQ(session.Init(), LNNOERROR);
        ASSERT_EQ(notes::templates::create("Mail1", "names.nsf", notes::templates::Kind::Directory), NOERROR);
        ASSERT_EQ(NSFDbCreate("Mail1!!mail.box", DBCLASS_NOTEFILE, FALSE), NOERROR);
        DBHANDLE names = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!names.nsf", &names), NOERROR);
        for (const auto& [full, shortName] :
             std::vector<std::pair<std::string, std::string>>{{"CN=Jane Doe/O=Acme", "jdoe"},
                                                              {"CN=John Smith/O=Acme", "jsmith"},
                                                              {"CN=Mary Major/O=Acme", "mmajor"}}) {
            notes::directory::Person p;
            p.fullName = full;
            p.shortName = shortName;
            p.internetAddress = shortName + "@acme.example";
            p.mailServer = "CN=Mail1/O=Acme";
            ASSERT_EQ(notes::directory::addPerson(names, p), NOERROR);
            ASSERT_EQ(
                notes::templates::create("Mail1", "mail/" + shortName + ".nsf", notes::templates::Kind::Mail),
                NOERROR);
        }
        notes::directory::Person partner;
        partner.fullName = "CN=Pat Partner/O=Elsewhere";
        partner.internetAddress = "pat@partner.example";
        ASSERT_EQ(notes::directory::addPerson(names, partner), NOERROR);
        const std::vector<notes::directory::Group> groups = {
            {"Sales", "", "1", {"John Smith/Acme", "mmajor"}},
            {"Everyone", "", "1", {"Sales", "Jane Doe/Acme", "pat@partner.example"}},
            {"Loop A", "", "1", {"Loop B", "jsmith"}},
            {"Loop B", "", "1", {"Loop A", "mmajor"}},
        };
        for (const auto& g : groups)
            ASSERT_EQ(notes::directory::addGroup(names, g), NOERROR);
        NSFDbClose(names);
    }

    void TearDown() override {
        session.Term();
        unsetenv("NOTES_DATA_DIR");
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    static void append(NOTEHANDLE h, const char* name, WORD type, const std::string& value) {
        ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, name, static_cast<WORD>(std::strlen(name)), type,
                                value.data(), static_cast<DWORD>(value.size())),
                  NOERROR);
    }

    static std::string textList(const std::vector<std::string>& values) {
        std::string out;
        const WORD count = static_cast<WORD>(values.size());
        out.append(reinterpret_cast<const char*>(&count), 2);
        for (const auto& v : values) {
            const WORD length = static_cast<WORD>(v.size());
            out.append(reinterpret_cast<const char*>(&length), 2);
        }
        for (const auto& v : values)
            out += v;
        return out;
    }

    static std::string mimeChunk(const std::string& text) {
        std::string value(20, '\0');
        value[0] = 2;
        value[6] = 2;
        const WORD count = static_cast<WORD>(text.size());
        std::memcpy(&value[8], &count, 2);
        return value + text;
    }

    // A memo posted into mail.box by Jane; `mime` (if given) is its body as stored MIME chunks.
    void post(const std::string& subject, const std::vector<std::string>& recipients,
              const std::vector<std::string>& mime = {}) {
        DBHANDLE box = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!mail.box", &box), NOERROR);
        NOTEHANDLE h = NULLHANDLE;
        ASSERT_EQ(NSFNoteCreate(box, &h), NOERROR);
        append(h, "Form", TYPE_TEXT, "Memo");
        append(h, "From", TYPE_TEXT, "CN=Jane Doe/O=Acme");
        append(h, "Subject", TYPE_TEXT, subject);
        append(h, "SendTo", TYPE_TEXT_LIST, textList(recipients));
        if (!recipients.empty())
            append(h, "Recipients", TYPE_TEXT_LIST, textList(recipients));
        for (const std::string& chunk : mime)
            append(h, "Body", TYPE_MIME_PART, mimeChunk(chunk));
        if (!mime.empty())
            append(h, "$NoteHasNativeMIME", TYPE_TEXT, "1");
        ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        NSFNoteClose(h);
        NSFDbClose(box);
    }

    struct Delivered {
        std::string subject;
        bool inInbox = false, unread = false, hasDeliveredDate = false;
        std::vector<std::string> intended;
    };

    // The documents of a mail file.
    std::vector<Delivered> mailOf(const std::string& shortName) {
        std::vector<Delivered> out;
        LNDatabase db;
        EXPECT_EQ(session.GetDatabase(("mail/" + shortName + ".nsf").c_str(), &db, "Mail1"), LNNOERROR);
        EXPECT_EQ(db.Open(), LNNOERROR);
        LNViewFolder inbox;
        db.GetViewFolder("($Inbox)", &inbox);
        inbox.Open();
        LNNoteArray unread, notes;
        db.GetUnreadList(&unread);
        db.GetNotes(&notes);
        for (LNINT i = 0; i < notes.GetCount(); ++i) {
            LNDocument doc;
            db.GetDocument(notes.GetNoteID(i), &doc);
            doc.Open();
            Delivered d;
            LNItem item;
            if (doc.GetItem("Subject", &item) == LNNOERROR) {
                LNText t;
                t = item;
                d.subject = t[0].GetTextPtr();
            }
            if (doc.GetItem("IntendedRecipient", &item) == LNNOERROR) {
                LNText t;
                t = item;
                for (LNINT k = 0; k < t.GetCount(); ++k)
                    d.intended.emplace_back(t[k].GetTextPtr());
            }
            d.inInbox = inbox.Contains(doc.GetNoteID());
            d.unread = unread.Contains(doc.GetNoteID());
            d.hasDeliveredDate = doc.HasItem("DeliveredDate");
            out.push_back(d);
            doc.Close();
        }
        inbox.Close();
        db.Close();
        return out;
    }

    std::vector<std::string> subjectsOf(const std::string& shortName) {
        std::vector<std::string> out;
        for (const Delivered& d : mailOf(shortName))
            out.push_back(d.subject);
        std::sort(out.begin(), out.end());
        return out;
    }

    std::string dir;
    LNNotesSession session;
};

TEST_F(RouterTest, NamesResolveToTheirMailFilesGroupsExpandOnce) {
    struct Case {
        const char* subject;
        std::vector<std::string> recipients;
        std::vector<std::string> jsmith, mmajor, jdoe; // who gets a copy
    };
    const std::vector<Case> cases = {
        {"canonical", {"CN=John Smith/O=Acme"}, {"canonical"}, {}, {}},
        {"abbreviated", {"John Smith/Acme"}, {"abbreviated"}, {}, {}},
        {"short name", {"mmajor"}, {}, {"short name"}, {}},
        {"internet address", {"Mary <mmajor@acme.example>"}, {}, {"internet address"}, {}},
        {"group", {"Sales"}, {"group"}, {"group"}, {}},
        {"nested group", {"Everyone"}, {"nested group"}, {"nested group"}, {"nested group"}},
        {"cyclic groups", {"Loop A"}, {"cyclic groups"}, {"cyclic groups"}, {}},
        {"person twice", {"jsmith", "John Smith/Acme", "Sales"}, {"person twice"}, {"person twice"}, {}},
    };
    domino::Router router("Mail1", dir);
    for (const Case& c : cases) {
        post(c.subject, c.recipients);
        const domino::RouteReport report = router.routeOnce();
        EXPECT_EQ(report.memos, 1u) << c.subject;
        EXPECT_TRUE(report.errors.empty()) << c.subject;
    }
    auto expected = [&](std::vector<std::string> Case::*who) {
        std::vector<std::string> out;
        for (const Case& c : cases)
            for (const std::string& s : c.*who)
                out.push_back(s);
        std::sort(out.begin(), out.end());
        return out;
    };
    EXPECT_EQ(subjectsOf("jsmith"), expected(&Case::jsmith));
    EXPECT_EQ(subjectsOf("mmajor"), expected(&Case::mmajor));
    EXPECT_EQ(subjectsOf("jdoe"), expected(&Case::jdoe));
    for (const Delivered& d : mailOf("jsmith")) {
        EXPECT_TRUE(d.inInbox) << d.subject;
        EXPECT_TRUE(d.unread) << d.subject;
        EXPECT_TRUE(d.hasDeliveredDate) << d.subject;
    }
    EXPECT_TRUE(router.waiting().empty());
    ASSERT_EQ(router.outboundFiles().size(), 1u) << "the partner in the nested group";
}

TEST_F(RouterTest, AnUnknownNameBouncesToTheSenderAndTheRestIsDelivered) {
    post("Typo", {"Jon Smiht", "jsmith"});
    domino::Router router("Mail1", dir);
    const domino::RouteReport report = router.routeOnce();
    EXPECT_EQ(report.failed, 1u);
    EXPECT_EQ(subjectsOf("jsmith"), (std::vector<std::string>{"Typo"}));
    const std::vector<Delivered> jane = mailOf("jdoe");
    ASSERT_EQ(jane.size(), 1u);
    EXPECT_EQ(jane[0].subject, "DELIVERY FAILURE: Typo");
    EXPECT_EQ(jane[0].intended, (std::vector<std::string>{"Jon Smiht"}));
    EXPECT_TRUE(jane[0].inInbox);
}

TEST_F(RouterTest, ExternalAddressesGoOutAsMessagesAStandardParserReads) {
    const std::string boundary = "B_1";
    post("Outside", {"pat@partner.example", "CN=Pat Partner/O=Elsewhere", "jsmith"},
         {"From: Jane Doe <jdoe@acme.example>\r\nTo: pat@partner.example\r\nSubject: Outside\r\n"
          "MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=" +
              boundary + "\r\n\r\n--" + boundary + "\r\n",
          "Content-Type: text/plain; charset=utf-8\r\n\r\nHello Pat\r\n--" + boundary + "\r\n"});
    domino::Router router("Mail1", dir);
    const domino::RouteReport report = router.routeOnce();
    EXPECT_EQ(report.outbound, 1u);
    EXPECT_EQ(report.delivered, 1u);
    const auto files = router.outboundFiles();
    ASSERT_EQ(files.size(), 1u);
    std::ifstream in(router.outboundFolder() + "/" + files[0], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    const std::string eml = text.str();
    EXPECT_TRUE(eml.starts_with("X-Envelope-To: pat@partner.example\r\n")) << eml;
    EXPECT_TRUE(eml.ends_with("--" + boundary + "--\r\n")) << "closed for a standard reader";

    g_mime_init();
    GMimeStream* stream = g_mime_stream_mem_new_with_buffer(eml.data(), eml.size());
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* message = g_mime_parser_construct_message(parser, nullptr);
    ASSERT_NE(message, nullptr);
    EXPECT_STREQ(g_mime_message_get_subject(message), "Outside");
    GMimeObject* body = g_mime_message_get_mime_part(message);
    ASSERT_TRUE(GMIME_IS_MULTIPART(body));
    EXPECT_EQ(g_mime_multipart_get_count(GMIME_MULTIPART(body)), 1);
    g_object_unref(message);
    g_object_unref(parser);
    g_object_unref(stream);
}

TEST_F(RouterTest, RoutingAgainAfterAnInterruptionDeliversNothingTwice) {
    // Stopped at each step (two copies, the report, the outbound file, leaving mail.box), then run
    // again.
    for (std::size_t stopAfter = 0; stopAfter <= 4; ++stopAfter) {
        const std::string subject = "Once " + std::to_string(stopAfter);
        post(subject, {"Sales", "pat@partner.example", "nobody at all"});
        domino::Router interrupted("Mail1", dir);
        interrupted.interruptAfter(stopAfter);
        EXPECT_EQ(interrupted.routeOnce().memos, 0u) << subject << ": still waiting";
        ASSERT_EQ(interrupted.waiting().size(), 1u) << subject;
        domino::Router router("Mail1", dir);
        EXPECT_EQ(router.routeOnce().memos, 1u) << subject;
        EXPECT_TRUE(router.waiting().empty());
    }
    for (const char* person : {"jsmith", "mmajor", "jdoe"}) {
        const std::vector<Delivered> mail = mailOf(person);
        EXPECT_EQ(mail.size(), 5u) << person << ": each memo (or report) exactly once";
        for (const Delivered& d : mail)
            EXPECT_TRUE(d.inInbox) << person << " " << d.subject;
    }
    EXPECT_EQ(domino::Router("Mail1", dir).outboundFiles().size(), 5u);
}

TEST_F(RouterTest, AThreadDeliversWithinASecond) {
    domino::Router router("Mail1", dir);
    router.start(std::chrono::milliseconds(100));
    post("Soon", {"jsmith"});
    for (int i = 0; i < 50 && mailOf("jsmith").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    router.stop();
    EXPECT_EQ(subjectsOf("jsmith"), (std::vector<std::string>{"Soon"}));
}

TEST_F(RouterTest, NsfadminListsTheQueuesAndRoutesOnDemand) {
    post("Queued", {"jsmith", "pat@partner.example"});
    auto run = [&](const std::function<int(nsfadmin::Admin&)>& command, std::string* out = nullptr) {
        std::ostringstream o, e;
        nsfadmin::Admin admin(dir, o, e);
        const int code = command(admin);
        if (out)
            *out = o.str() + e.str();
        return code;
    };
    std::string out;
    ASSERT_EQ(run([](auto& a) { return a.mailbox("Mail1"); }, &out), nsfadmin::kOk);
    EXPECT_NE(out.find("mail.box: 1 memo\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\tCN=Jane Doe/O=Acme\tQueued\tjsmith; pat@partner.example\n"), std::string::npos)
        << out;
    EXPECT_NE(out.find("outbound: 0 messages\n"), std::string::npos) << out;
    ASSERT_EQ(run([](auto& a) { return a.route("Mail1"); }, &out), nsfadmin::kOk);
    EXPECT_EQ(out, "routed 1 memo: 1 delivered, 0 failed, 1 outbound\n");
    ASSERT_EQ(run([](auto& a) { return a.mailbox("Mail1"); }, &out), nsfadmin::kOk);
    EXPECT_NE(out.find("mail.box: 0 memos\noutbound: 1 message\n"), std::string::npos) << out;

    EXPECT_EQ(run([](auto& a) { return a.route(""); }), nsfadmin::kBadInput);
    EXPECT_EQ(run([](auto& a) { return a.route("Nowhere"); }, &out), nsfadmin::kNotesError);
    EXPECT_NE(out.find("Server not responding"), std::string::npos) << out;
    EXPECT_EQ(subjectsOf("jsmith"), (std::vector<std::string>{"Queued"}));
}

#ifdef DOMINOD_PATH
TEST_F(RouterTest, DominodKilledMidDeliveryDeliversEveryMemoExactlyOnceAfterRestart) {
    constexpr int kMemos = 300;
    {
        DBHANDLE box = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!mail.box", &box), NOERROR);
        for (int i = 0; i < kMemos; ++i) {
            NOTEHANDLE h = NULLHANDLE;
            ASSERT_EQ(NSFNoteCreate(box, &h), NOERROR);
            append(h, "Form", TYPE_TEXT, "Memo");
            append(h, "From", TYPE_TEXT, "CN=Jane Doe/O=Acme");
            append(h, "Subject", TYPE_TEXT, "Memo " + std::to_string(i));
            append(h, "Recipients", TYPE_TEXT_LIST, textList({"jsmith"}));
            ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
            NSFNoteClose(h);
        }
        NSFDbClose(box);
    }
    auto spawn = [&] {
        const pid_t pid = fork();
        if (pid == 0) {
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
            execl(DOMINOD_PATH, DOMINOD_PATH, "--data", dir.c_str(), "--port", "0", "--quiet", nullptr);
            _exit(127);
        }
        return pid;
    };
    auto count = [&](const char* path) {
        LNDatabase db;
        LNNoteArray notes;
        if (session.GetDatabase(path, &db, "Mail1") == LNNOERROR && db.Open() == LNNOERROR) {
            db.GetNotes(&notes);
            db.Close();
        }
        return static_cast<int>(notes.GetCount());
    };
    auto waitFor = [&](const std::function<bool()>& done) {
        for (int i = 0; i < 6000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return done();
    };

    pid_t pid = spawn();
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor([&] { return count("mail/jsmith.nsf") >= 10; }));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    const int delivered = count("mail/jsmith.nsf");
    const int waiting = count("mail.box");
    EXPECT_GT(waiting, 0) << "killed while memos still waited";
    EXPECT_LE(delivered + waiting, kMemos + 1) << "at most the memo in hand is both delivered and waiting";

    pid = spawn();
    ASSERT_TRUE(waitFor([&] { return count("mail.box") == 0; }));
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    std::map<std::string, int> seen;
    for (const Delivered& d : mailOf("jsmith"))
        ++seen[d.subject];
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kMemos)) << "none lost";
    for (const auto& [subject, times] : seen)
        EXPECT_EQ(times, 1) << subject << ": none doubled";
}
#endif

} // namespace
