// hxhost as a user runs it: a subprocess loading the real plug-in.
#include "DirectoryFixture.h"

#include "Shell.h"

#include "richtext.h"

#include "domino/webserver.h"

#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class HostShellTest : public PluginTest {
protected:
    std::string read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Runs hxhost in the test's folder (where its log goes) with the given arguments and input.
    Outcome run(const std::string& args, const std::string& input = "") {
        std::ofstream(dir + "/stdin.txt") << input;
        const std::string command =
            "cd '" + dir + "' && '" HXHOST_PATH "' " + args + " <stdin.txt >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        Outcome result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = read(dir + "/stdout.txt");
        result.err = read(dir + "/stderr.txt");
        return result;
    }

    const std::string plugin = "--plugin '" HX_PLUGIN_PATH "' ";
};

} // namespace

TEST_F(HostShellTest, InfoNamesTheProviderType) {
    const Outcome r = run(plugin + "-c info");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("hxNotes"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Notes"), std::string::npos);
    EXPECT_NE(r.out.find(HX_PLUGIN_PATH), std::string::npos);
    EXPECT_TRUE(r.err.empty()) << r.err;
}

TEST_F(HostShellTest, JsonLinesParse) {
    const Outcome r = run(plugin + "--json --data '" + dir + "' -c 'info; session'");
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::vector<nlohmann::json> results;
    while (std::getline(lines, line))
        results.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(results.size(), 2u) << r.out;
    EXPECT_EQ(results[0]["command"], "info");
    EXPECT_EQ(results[0]["typeName"], "hxNotes");
    EXPECT_EQ(results[0]["displayName"], "Notes");
    EXPECT_EQ(results[1]["command"], "session");
    EXPECT_EQ(results[1]["sessionOpen"], true);
    EXPECT_EQ(results[1]["server"], "Mail1");
    EXPECT_EQ(results[1]["dataDir"], dir);
    EXPECT_EQ(countOf(read(dir + "/hxLog.log"), "Notes Session Opened!"), 1);
    EXPECT_EQ(countOf(read(dir + "/hxLog.log"), "Notes Session Terminated!"), 1);
}

TEST_F(HostShellTest, SessionStateFollowsTheDataDirectory) {
    unsetenv("NOTES_DATA_DIR");
    const Outcome r = run(plugin + "--json -c session", "");
    // The stand-in falls back to the current folder, which exists: the session opens there.
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["sessionOpen"], true);

    setenv("NOTES_DATA_DIR", (dir + "/missing").c_str(), 1);
    const Outcome failed = run(plugin + "--json -c session");
    ASSERT_EQ(failed.status, 0) << failed.err;
    EXPECT_EQ(nlohmann::json::parse(failed.out)["sessionOpen"], false);
    EXPECT_NE(read(dir + "/hxLog.log").find("Notes Session Failed to Open!"), std::string::npos);
}

TEST_F(HostShellTest, FailuresGoToStandardErrorAndStopTheRun) {
    Outcome r = run(plugin + "-c 'info; nosuch; info'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("nosuch"), std::string::npos) << r.err;
    EXPECT_EQ(countOf(r.out, "typeName"), 1) << "the run stops at the failing command";

    r = run(plugin + "--json -c 'info extra'");
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(nlohmann::json::parse(r.err)["ok"], false);

    r = run(plugin + "-c 'info \"open'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("quote"), std::string::npos);

    r = run("--plugin /nonexistent/libnothing.so -c info");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("cannot load plug-in"), std::string::npos) << r.err;

    r = run(plugin + "--data '" + dir + "/missing' -c info");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("not a directory"), std::string::npos);
}

TEST_F(HostShellTest, ScriptsInteractiveInputAndHelp) {
    std::ofstream(dir + "/commands.txt") << "# frame commands\n\ninfo\nsession; help info\n";
    Outcome r = run(plugin + "--data '" + dir + "' commands.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("typeName: hxNotes"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sessionOpen: true"), std::string::npos);
    EXPECT_NE(r.out.find("usage: info"), std::string::npos);

    r = run(plugin + "missing-script.txt");
    EXPECT_NE(r.status, 0);

    // Interactive: a failing line is reported and the shell goes on until "quit".
    r = run(plugin, "help\nbogus\ninfo\nquit\ninfo\n");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("session:"), std::string::npos) << r.out;
    EXPECT_EQ(countOf(r.out, "typeName"), 1);
    EXPECT_NE(r.err.find("bogus"), std::string::npos);

    r = run("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--plugin"), std::string::npos);
    EXPECT_NE(r.out.find("--json"), std::string::npos);
}

TEST(HostShellParse, CommandsWordsAndQuotes) {
    std::vector<std::vector<std::string>> commands;
    std::string error;
    ASSERT_TRUE(hxhost::Shell::parse("  info ;session;; find 'a b;c' \"d\"e  ", commands, error));
    ASSERT_EQ(commands.size(), 3u);
    EXPECT_EQ(commands[0], std::vector<std::string>{"info"});
    EXPECT_EQ(commands[1], std::vector<std::string>{"session"});
    EXPECT_EQ(commands[2], (std::vector<std::string>{"find", "a b;c", "de"}));

    ASSERT_TRUE(hxhost::Shell::parse("find ''", commands, error));
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0], (std::vector<std::string>{"find", ""}));

    ASSERT_TRUE(hxhost::Shell::parse("   ", commands, error));
    EXPECT_TRUE(commands.empty());
    EXPECT_FALSE(hxhost::Shell::parse("find 'open", commands, error));
    EXPECT_NE(error.find("quote"), std::string::npos);
}

namespace {

// hxhost on a server with a directory, Jane Doe's mail file and her personal address book.
class HostDirectoryTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        if (HasFatalFailure())
            return;
        addPerson(kDirectory, jane());
        PersonDoc john;
        john.fullName = "CN=John Smith/O=Acme";
        john.internetAddress = "john.smith@acme.example";
        addPerson(kDirectory, john);
        addGroup(kDirectory, "Sales", {"John Smith/Acme"});
        PersonDoc pat;
        pat.fullName = "CN=Pat Smithers";
        pat.internetAddress = "pat@home.example";
        addPerson(kPersonal, pat);
    }

    Outcome run(const std::string& args, const std::string& input = "") {
        std::ofstream(dir + "/stdin.txt") << input;
        const std::string command = "cd '" + dir +
                                    "' && '" HXHOST_PATH "' --plugin '" HX_PLUGIN_PATH "' --data '" + dir +
                                    "' " + args + " <stdin.txt >stdout.txt 2>stderr.txt";
        const int raw = std::system(command.c_str());
        Outcome result;
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = slurp(dir + "/stdout.txt");
        result.err = slurp(dir + "/stderr.txt");
        return result;
    }

    static std::string slurp(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static std::vector<nlohmann::json> jsonLines(const std::string& text) {
        std::istringstream lines(text);
        std::string line;
        std::vector<nlohmann::json> out;
        while (std::getline(lines, line))
            out.push_back(nlohmann::json::parse(line));
        return out;
    }
};

} // namespace

TEST_F(HostDirectoryTest, LoginMailboxAndBooksAsJson) {
    const Outcome r =
        run("--json -c 'login jdoe demo-password; mailbox; books; addresses gal 1 2; addresses pab; "
            "find gal \"john smith\" 5; search smi; logout; mailbox'");
    EXPECT_EQ(r.status, 1) << "the last mailbox needs a login";
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out << r.err;
    EXPECT_EQ(lines[0]["authenticated"], true);
    EXPECT_EQ(lines[0]["mailFile"], "mail\\jdoe");
    EXPECT_EQ(lines[0]["addressBook"], "pab/jdoe_pab");
    EXPECT_EQ(lines[1]["displayName"], "Jane Doe");
    EXPECT_EQ(lines[1]["smtpAddress"], "Jane Doe/Acme");
    EXPECT_EQ(lines[1]["id"].get<std::string>().size(), 36u);
    ASSERT_EQ(lines[2]["books"].size(), 2u);
    EXPECT_EQ(lines[2]["books"][0]["displayName"], "Global Address List");
    EXPECT_EQ(lines[2]["books"][1]["displayName"], "Personal Address Book");
    EXPECT_EQ(lines[3]["total"], 3);
    ASSERT_EQ(lines[3]["entries"].size(), 2u);
    EXPECT_EQ(lines[3]["entries"][0]["displayName"], "John Smith");
    EXPECT_EQ(lines[3]["entries"][1]["kind"], "group");
    EXPECT_EQ(lines[4]["entries"][0]["displayName"], "Pat Smithers");
    EXPECT_EQ(lines[4]["entries"][0]["book"], "pab");
    EXPECT_EQ(lines[5]["start"], 1);
    const auto& found = lines[6]["entries"];
    ASSERT_EQ(found.size(), 2u) << lines[6].dump();
    EXPECT_EQ(found[0]["displayName"], "Pat Smithers");
    EXPECT_EQ(found[1]["displayName"], "John Smith");
    EXPECT_EQ(lines[7]["wasLoggedIn"], true);
    EXPECT_NE(r.err.find("not logged in"), std::string::npos) << r.err;
    for (const std::string& text : {r.out, r.err, slurp(dir + "/hxLog.log")})
        EXPECT_EQ(text.find("demo-password"), std::string::npos);
}

TEST_F(HostDirectoryTest, TablesForAPersonAndClearErrors) {
    Outcome r = run("-c 'login jdoe demo-password; addresses gal; search smi'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Logged in as Jane Doe/Acme"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Global Address List: entries 1-3 of 3"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Name"), std::string::npos);
    EXPECT_NE(r.out.find("john.smith@acme.example"), std::string::npos);
    EXPECT_NE(r.out.find("personal"), std::string::npos);
    EXPECT_EQ(r.out.find("demo-password"), std::string::npos);

    r = run("-c 'login jdoe Wrong-Secret'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("login refused"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Wrong-Secret"), std::string::npos);
    EXPECT_EQ(r.out.find("Wrong-Secret"), std::string::npos);

    for (const char* bad :
         {"addresses gal", "login jdoe demo-password; addresses xyz",
          "login jdoe demo-password; addresses gal -1", "login jdoe demo-password; addresses gal 1x",
          "login jdoe demo-password; find gal"}) {
        r = run(std::string("-c '") + bad + "'");
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_FALSE(r.err.empty()) << bad;
    }

    r = run("-c 'verify jdoe demo-password; verify jdoe nope'");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("are correct"), std::string::npos) << r.out;
    EXPECT_EQ(countOf(r.out, "are correct"), 2) << "a session keeps its first answer";

    // Without a password and without a terminal there is nobody to ask.
    r = run("-c 'login jdoe' < /dev/null");
    EXPECT_EQ(r.status, 1);
}

TEST(DemoTour, RunsAgainstTheSeededDemoServer) {
    char tmpl[] = "/tmp/hxdemo-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string seed = "'" NSFADMIN_PATH "' --data '" + dir +
                             "' seed '" HX_DEMO_DIR "/server.json' >'" + dir + "/seed.txt' 2>&1";
    ASSERT_EQ(std::system(seed.c_str()), 0);
    domino::WebServer web(dir);
    web.start(0);
    const std::string tour = "cd '" + dir + "' && '" HXHOST_PATH "' --plugin '" HX_PLUGIN_PATH "' --data '" +
                             dir + "' --set http.connectTo=Mail1:80=127.0.0.1:" + std::to_string(web.port()) +
                             " '" HX_DEMO_DIR "/tour.hxs' >tour.txt 2>tour.err";
    const int status = std::system(tour.c_str());
    std::ifstream in(dir + "/tour.txt");
    std::stringstream text;
    text << in.rdbuf();
    const std::string out = text.str();
    EXPECT_EQ(status, 0) << out;
    for (const char* line : {"== Jane Doe logs in ==", "Logged in as Jane Doe/Acme", "Mailbox of Jane Doe",
                             "Sent Items", "Inbox sorted by subject, ascending", "Inbox from entry 10",
                             "Global Address List: entries 1-10 of 16", "Alice Wong", "Personal Address Book",
                             "Paul Martin   paul.martin@partner.example  person  personal", "Maria Rossi",
                             "Logged out.", "Subject: Office floor plan",
                             "attachment 0 saved to seating-plan.pdf", "shall we try the new caf\xc3\xa9"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    EXPECT_EQ(out.find("demo-password"), std::string::npos);
    EXPECT_EQ(out.find("Error:"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::file_size(dir + "/seating-plan.pdf") > 0);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

namespace {

// hxhost on Jane Doe's mail file made from the mail template, with five memos in her inbox.
class HostMailTest : public HostDirectoryTest {
protected:
    void SetUp() override {
        HostDirectoryTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_EQ(NSFDbDelete("Mail1!!mail/jdoe.nsf"), NOERROR);
        ASSERT_EQ(notes::templates::create("Mail1", "mail/jdoe.nsf", notes::templates::Kind::Mail), NOERROR);
        for (const char* subject : {"delta", "alpha", "echo", "charlie", "bravo"})
            unids.push_back(
                addDoc("Mail1!!mail/jdoe.nsf",
                       {{"Form", {"Memo"}}, {"Subject", {subject}}, {"From", {"CN=John Smith/O=Acme"}}}));
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!mail/jdoe.nsf", &hDb), NOERROR);
        NOTEID inbox = 0;
        ASSERT_EQ(NIFFindView(hDb, "($Inbox)", &inbox), NOERROR);
        DHANDLE table = NULLHANDLE;
        IDCreateTable(sizeof(NOTEID), &table);
        for (const std::string& unid : unids) {
            UNID u{};
            unsigned a, b, c, d;
            std::sscanf(unid.c_str(), "%8x%8x%8x%8x", &a, &b, &c, &d);
            u.File.Innards[1] = a;
            u.File.Innards[0] = b;
            u.Note.Innards[1] = c;
            u.Note.Innards[0] = d;
            NOTEHANDLE h = NULLHANDLE;
            ASSERT_EQ(NSFNoteOpenByUNID(hDb, &u, 0, &h), NOERROR);
            NOTEID id = 0;
            NSFNoteGetInfo(h, _NOTE_ID, &id);
            NSFNoteClose(h);
            IDInsert(table, id, nullptr);
        }
        ASSERT_EQ(FolderDocAdd(hDb, hDb, inbox, table, 0), NOERROR);
        IDDestroyTable(table);
        NSFDbClose(hDb);
    }

    std::vector<std::string> unids;
};

} // namespace

TEST_F(HostMailTest, BrowseSortIndexPageDeleteAndMarkRead) {
    const Outcome r =
        run("--json -c 'login jdoe demo-password; folders; sort inbox subject desc; index Inbox 2; "
            "ls inbox 0 2; rm inbox " +
            unids[0] + "; ls inbox; markread inbox; ls inbox 0 1; preview inbox off; folders'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 11u) << r.out;
    const auto& folders = lines[1]["folders"];
    ASSERT_EQ(folders.size(), 6u);
    const char* names[] = {"Inbox", "Drafts", "Sent Items", "Tasks", "Calendar", "Contacts"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(folders[i]["displayName"], names[i]);
    EXPECT_EQ(lines[2]["order"], "descending");
    const auto& pages = lines[3]["pages"];
    ASSERT_EQ(pages.size(), 3u) << lines[3].dump();
    EXPECT_EQ(pages[0]["first"], "echo");
    EXPECT_EQ(pages[0]["last"], "delta");
    EXPECT_EQ(pages[2]["first"], "alpha");
    EXPECT_EQ(pages[2]["last"], "alpha");
    const auto& page = lines[4]["items"];
    ASSERT_EQ(page.size(), 2u);
    EXPECT_EQ(page[0]["subject"], "echo");
    EXPECT_EQ(page[0]["from"], "John Smith/Acme");
    EXPECT_EQ(page[0]["unread"], true);
    EXPECT_EQ(page[0]["icon"], 7) << "never delivered";
    EXPECT_EQ(lines[5]["done"], true);
    EXPECT_EQ(lines[6]["items"].size(), 4u) << "delta is gone";
    EXPECT_EQ(lines[8]["items"][0]["unread"], false);
    EXPECT_EQ(lines[9]["showPreview"], false);
    EXPECT_EQ(lines[10]["folders"][0]["id"], folders[0]["id"]) << "ids stay";
}

TEST_F(HostMailTest, ReadableTablesAndBadInput) {
    Outcome r = run("-c 'login jdoe demo-password; sort inbox subject asc; ls inbox 0 1; index inbox 10'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Inbox sorted by subject, ascending"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Subject"), std::string::npos);
    EXPECT_NE(r.out.find("alpha"), std::string::npos);
    EXPECT_NE(r.out.find("Inbox: 1 pages of 10"), std::string::npos) << r.out;

    for (const char* bad :
         {"ls inbox", "login jdoe demo-password; ls nowhere",
          "login jdoe demo-password; sort inbox subject up", "login jdoe demo-password; index inbox 0",
          "login jdoe demo-password; ls inbox -1", "login jdoe demo-password; rm inbox not-an-id",
          "login jdoe demo-password; preview inbox maybe"}) {
        r = run(std::string("-c '") + bad + "'");
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_FALSE(r.err.empty()) << bad;
    }
    r = run("-c 'login jdoe demo-password; ls inbox 0 50'");
    EXPECT_EQ(countOf(r.out, "John Smith/Acme"), 5) << "nothing was deleted by the bad input";
}

namespace {

// The inbox's first memo given a picture and a file, and the web task stand-in serving the folder.
class HostMessageTest : public HostMailTest {
protected:
    void SetUp() override {
        HostMailTest::SetUp();
        if (HasFatalFailure())
            return;
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!mail/jdoe.nsf", &hDb), NOERROR);
        UNID u{};
        unsigned a, b, c, d;
        std::sscanf(unids[1].c_str(), "%8x%8x%8x%8x", &a, &b, &c, &d);
        u.File.Innards[1] = a;
        u.File.Innards[0] = b;
        u.Note.Innards[1] = c;
        u.Note.Innards[0] = d;
        NOTEHANDLE h = NULLHANDLE;
        ASSERT_EQ(NSFNoteOpenByUNID(hDb, &u, 0, &h), NOERROR);
        notes::ods::RichTextElement text, picture;
        text.kind = notes::ods::kCdText;
        text.text = "See the chart below.";
        picture.kind = notes::ods::kCdGraphic;
        picture.text = "image/gif";
        picture.bytes = gif;
        picture.width = picture.height = 1;
        const std::string body = notes::ods::encodeRichText({text, picture});
        ASSERT_EQ(
            NSFItemAppend(h, 0, "Body", 4, TYPE_COMPOSITE, body.data(), static_cast<DWORD>(body.size())),
            NOERROR);
        std::ofstream(dir + "/plan.txt") << fileText;
        const std::string path = dir + "/plan.txt";
        ASSERT_EQ(NSFNoteAttachFile(h, "$FILE", 5, path.c_str(), nullptr, 0), NOERROR);
        ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        NSFNoteClose(h);
        NSFDbClose(hDb);
        web = std::make_unique<domino::WebServer>(dir);
        web->start(0);
        connectTo = "--set http.connectTo=Mail1:80=127.0.0.1:" + std::to_string(web->port()) + " ";
    }

    const std::string gif = std::string("GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\xff\xff\x00\x00\x00!", 19);
    const std::string fileText = "step one\nstep two\n";
    std::unique_ptr<domino::WebServer> web;
    std::string connectTo;
};

} // namespace

TEST_F(HostMessageTest, OpenListAndSaveAttachmentsByListingRow) {
    // Sorted by subject, "alpha" (the memo with the body) is row 1.
    Outcome r =
        run(connectTo + "--json -c 'login jdoe demo-password; sort inbox subject asc; ls inbox; "
                        "open #1 --html body.html; attachments #1; save-attachment #1 0 plan-copy.txt; "
                        "save-attachment #1 100 chart.gif'");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 7u) << r.out;
    const auto& opened = lines[3];
    EXPECT_EQ(opened["id"], unids[1]);
    EXPECT_EQ(opened["subject"], "alpha");
    EXPECT_EQ(opened["from"].get<std::string>().rfind("John Smith", 0), 0u) << opened.dump();
    EXPECT_NE(opened["text"].get<std::string>().find("See the chart below."), std::string::npos)
        << opened.dump();
    const std::string html = slurp(dir + "/body.html");
    EXPECT_NE(html.find("getFileWithObject"), std::string::npos) << html;
    EXPECT_EQ(opened["htmlBytes"], html.size());
    const auto& attachments = lines[4]["attachments"];
    ASSERT_EQ(attachments.size(), 2u);
    EXPECT_EQ(attachments[0]["name"], "plan.txt");
    EXPECT_EQ(attachments[0]["mimeType"], "text/plain");
    EXPECT_EQ(attachments[0]["size"], fileText.size());
    EXPECT_EQ(attachments[1]["number"], 101) << "the second read appended the picture again";
    EXPECT_EQ(lines[5]["bytes"], fileText.size());
    EXPECT_EQ(slurp(dir + "/plan-copy.txt"), fileText);
    EXPECT_EQ(slurp(dir + "/chart.gif"), gif);
    EXPECT_EQ(r.out.find("demo-password"), std::string::npos);
    EXPECT_EQ(slurp(dir + "/hxLog.log").find("demo-password"), std::string::npos);

    // Unsorted, the inbox shows "alpha" second; a memo without a body opens without complaint.
    r = run(connectTo + "-c 'login jdoe demo-password; ls inbox; open #2; open #1'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Subject: alpha\nFrom:    John Smith"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2 attachment(s): plan.txt (18 bytes) embed100.gif"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Error:"), std::string::npos) << r.out;

    for (const char* bad :
         {"login jdoe demo-password; open #1", "login jdoe demo-password; ls inbox; open #9",
          "login jdoe demo-password; open 00000000000000000000000000000BAD",
          "login jdoe demo-password; ls inbox; save-attachment #2 7 x.bin",
          "login jdoe demo-password; ls inbox; save-attachment #1 -2 x.bin",
          "login jdoe demo-password; ls inbox; open #2 --text x",
          "login jdoe demo-password; ls inbox; save-attachment #2 0 /nonexistent/dir/x"}) {
        r = run(connectTo + "-c '" + bad + "'");
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_FALSE(r.err.empty()) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(dir + "/x.bin"));
}

TEST_F(HostShellTest, SettingsMustBeKeyValuePairs) {
    Outcome r = run(plugin + "--set runtimePath -c info");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("expected KEY=VALUE"), std::string::npos) << r.err;
    r = run(plugin + "--set =x -c info");
    EXPECT_EQ(r.status, 2);
    r = run(plugin + "--set runtimePath=/web/ --set http.connectTo= -c info");
    EXPECT_EQ(r.status, 0) << r.err;
    r = run("--help");
    EXPECT_NE(r.out.find("--set"), std::string::npos);
}
