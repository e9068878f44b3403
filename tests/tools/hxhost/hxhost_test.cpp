// hxhost as a user runs it: a subprocess loading the real plug-in through the host's interfaces.
#include "DirectoryFixture.h"
#include "HostRun.h"

#include "Commands.h"
#include "Reflect.h"
#include "Shell.h"

#include "richtext.h"

#include "domino/router.h"
#include "domino/webserver.h"

#include "hxMail/Items.h"
#include "notes/admin/access.h"

#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

namespace {

using nlohmann::json;

class HostShellTest : public PluginTest {
protected:
    Outcome run(const std::string& args, const std::string& input = "") { return runIn(dir, args, input); }

    const std::string plugin = "--plugin '" HX_PLUGIN_PATH "' ";
};

} // namespace

TEST_F(HostShellTest, FrameCommandsFailuresJsonLinesAndTheProvidersLog) {
    struct Case {
        std::string args;
        std::string input;
        int status;
        std::vector<std::string> out; // each must appear on standard output
        std::string err;              // must appear on standard error ("" : it stays empty)
    };
    std::ofstream(dir + "/commands.txt") << "# frame commands\n\ninfo\nsession; help info\n";
    const std::string data = "--data '" + dir + "' ";
    const Case cases[] = {
        {plugin + "-c info", "", 0, {"typeName: hxNotes", "displayName: Notes", HX_PLUGIN_PATH}, ""},
        {plugin + data + "commands.txt",
         "",
         0,
         {"typeName: hxNotes", "moduleName: hxNotesProvider", "usage: info"},
         ""},
        // Interactive: a failing line is reported and the shell goes on until "quit".
        {plugin, "help\nbogus\ninfo\nquit\ninfo\n", 1, {"main provider:", "typeName"}, "bogus"},
        {plugin + "-c 'info; nosuch; info'", "", 1, {"typeName"}, "nosuch"},
        {plugin + "-c 'info \"open'", "", 1, {}, "quote"},
        {plugin + "missing-script.txt", "", 2, {}, "cannot read script"},
        {"--plugin /nonexistent/libnothing.so -c info", "", 1, {}, "cannot load plug-in"},
        {plugin + "--data '" + dir + "/missing' -c info", "", 2, {}, "not a directory"},
        {plugin + "--set runtimePath -c info", "", 2, {}, "expected KEY=VALUE"},
        {plugin + "--set =x -c info", "", 2, {}, "expected KEY=VALUE"},
        {plugin + "--set runtimePath=/web/ --set http.connectTo= -c info", "", 0, {"hxNotes"}, ""},
        {"--help", "", 0, {"--plugin", "--json", "--set"}, ""},
    };
    for (const Case& c : cases) {
        const Outcome r = run(c.args, c.input);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        for (const std::string& text : c.out)
            EXPECT_NE(r.out.find(text), std::string::npos) << c.args << ": " << text << "\n" << r.out;
        if (c.err.empty())
            EXPECT_TRUE(r.err.empty()) << c.args << "\n" << r.err;
        else
            EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << "\n" << r.err;
    }
    EXPECT_EQ(countOf(run(plugin + "-c 'info; nosuch; info'").out, "typeName"), 1)
        << "the run stops at a failure";

    // As JSON lines: one per answer, the failure as JSON on standard error; one session more.
    const auto opened = countOf(logText(), "Notes Session Opened!");
    const auto ended = countOf(logText(), "Notes Session Terminated!");
    Outcome r = run(plugin + "--json --data '" + dir + "' -c 'info; session; info extra'");
    EXPECT_EQ(r.status, 1);
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 2u) << r.out;
    EXPECT_EQ(lines[0]["typeName"], "hxNotes");
    EXPECT_EQ(lines[1]["command"], "session");
    EXPECT_EQ(lines[1]["moduleName"], "hxNotesProvider");
    EXPECT_EQ(lines[1]["authenticated"], false);
    EXPECT_EQ(lines[1]["dataDir"], dir);
    EXPECT_EQ(json::parse(r.err)["ok"], false);
    EXPECT_EQ(countOf(logText(), "Notes Session Opened!"), opened + 1);
    EXPECT_EQ(countOf(logText(), "Notes Session Terminated!"), ended + 1);

    // What the host cannot see, the plug-in's log tells: its session did not open.
    setenv("NOTES_DATA_DIR", (dir + "/missing").c_str(), 1);
    r = run(plugin + "--json -c session");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out)["providerMade"], true);
    EXPECT_NE(logText().find("Notes Session Failed to Open!"), std::string::npos);
}

// Every operation of the host's factory and provider interfaces has a command of its own name.
TEST_F(HostShellTest, HelpListsACommandPerHostOperation) {
    const Outcome r = run(plugin + "--json -c 'help; help getChanges'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 2u);
    std::map<std::string, std::string> groups;
    for (const json& c : lines[0]["commands"])
        groups[c["name"]] = c["group"];
    const std::pair<const char*, const char*> operations[] = {
        {"factory", "getTypeName getDisplayName createProvider createAccount factoryReserved1 "
                    "factoryReserved2 factoryReserved3"},
        {"main provider",
         "login verifyLogin logout getMailbox copyFolder copyItem deleteItems deleteFolder getChanges "
         "getFolders getSharedFolder getFolderItems getSortIndex getFolderItemsPage markAllRead "
         "markFolderRead newMailItem setSortContext importCSVItems exportItemsToCSV getAddressListCount "
         "getAddressList getAddressListPage findAddressList setShowPreview loadFullMessageItem getACL "
         "updateUsersInACL useUnicode getModuleName noteProvider taskProvider contactProvider "
         "calendarProvider messageProvider meetingProvider groupProvider"},
        {"message provider",
         "newMessage getMessageDetail sendMessage sendMessageById newAttachment addRecipient removeRecipient "
         "saveMessage deleteMessage replyMessage forwardMessage loadAttachmentData getMessageText "
         "loadAttachmentObject clearFlag setFlag getHTMLBody setImportance setSmartValue getSmartValue "
         "markMessageAsRead"},
        {"calendar provider",
         "newAppointment addAppointment removeAppointment getAppointmentDetail sendUpdateEx saveAppointment "
         "appointmentTimeChanged sendAppointment deleteRecurringAppointment recurrenceChanged "
         "getAppointmentRange getAppointmentDatesRange addRecurringBreak getFilteredDistributionRecipients "
         "getFreeBusyBlocks syncAppointments"},
        {"contact provider",
         "newContact removeContact getContactFolders getRecipients getContactDetail addContact saveContact "
         "getFilteredRecipients nameChanged addressChanged fullAddressChanged fullNameChanged "
         "addDistributionList saveDistributionList addContactGetRecipient"},
        {"task provider", "newTask addTask removeTask getTaskDetail saveTask addTaskSimple "
                          "taskRecurrenceChanged generateRecurringTask"},
        {"note provider", "newNote addNote removeNote saveNote"},
        {"meeting provider",
         "sendInvitation sendUpdate respondToInvitation removeMeetingAppointment sendRemoveNotification "
         "sendProposal loadProposalAppointment updateRecipientStatus sendRecUpdate updateTrackingInfo"},
        {"group provider",
         "groupGetAppointmentRange groupGetAppointmentDatesRange groupRemoveAppointment "
         "groupGetAppointmentDetail groupSaveAppointment groupAppointmentTimeChanged groupSendAppointment "
         "groupDeleteRecurringAppointment groupRecurrenceChanged groupAddRecurringBreak "
         "groupGetFilteredDistributionRecipients groupSendUpdateEx groupSendInvitation "
         "groupRespondToInvitation groupRemoveMeetingAppointment groupSendProposal groupSendUpdate "
         "groupLoadProposalAppointment groupUpdateRecipientStatus groupUpdateTrackingInfo "
         "groupAddAppointment groupGetFreeBusyBlocks groupSyncAppointments groupGetRangeForUser "
         "groupHasEditRights groupGetSmartValue groupSetSmartValue groupLoadAttachmentData"},
    };
    for (const auto& [group, names] : operations) {
        std::istringstream words(names);
        for (std::string name; words >> name;)
            EXPECT_EQ(groups[name], group) << name;
    }
    for (int n = 1; n <= 25; ++n)
        EXPECT_EQ(groups["providerReserved" + std::to_string(n)], "main provider (reserved)") << n;
    EXPECT_EQ(lines[1]["usage"], "getChanges");
    EXPECT_EQ(lines[1]["group"], "main provider");
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

TEST(HostShellArity, UsageTextsGiveTheArgumentCounts) {
    const std::pair<const char*, std::pair<std::size_t, std::size_t>> cases[] = {
        {"", {0, 0}},
        {"FOLDER", {1, 1}},
        {"FOLDER [START [COUNT]]", {1, 3}},
        {"FOLDER ID...", {2, 64}},
        {"[FIELD=VALUE...]", {0, 64}},
        {"FOLDER COLUMN asc|desc", {3, 3}},
    };
    for (const auto& [usage, expected] : cases)
        EXPECT_EQ(hxhost::arity(usage), expected) << usage;
}

// Host items filled from FIELD=VALUE words and JSON objects through reflection, and shown back.
TEST(HostShellReflection, FieldsRoundTripThroughTheHostModel) {
    struct Case {
        std::function<Lattice::Object*()> make;
        std::vector<std::string> words;
        std::vector<std::pair<std::string, json>> expected; // JSON pointer, value
    };
    const Case cases[] = {
        {[] { return new hxMail::Appointment(); },
         {"subject=Lunch", "startDate=2026-12-07T12:30+01:00", "endDate=2026-12-07 13:30Z", "allDay=true",
          "importance=2", R"({"location":"Café","recurrenceStart":"09:15"})"},
         {{"/_class", "Appointment"},
          {"/subject", "Lunch"},
          {"/startDate", "2026-12-07T12:30:00+01:00"},
          {"/endDate", "2026-12-07T13:30:00+00:00"},
          {"/allDay", true},
          {"/importance", 2},
          {"/location", "Café"},
          {"/recurrenceStart", "09:15:00.00"},
          {"/received", ""}}},
        {[] { return new hxMail::Contact(); },
         {"homeAddress.city=Springfield", "contactDetail.first=Jane",
          R"({"contactDetail":{"otherAddress":{"country":"NZ"}}})"},
         {{"/homeAddress/city", "Springfield"},
          {"/contactDetail/_class", "ContactDetail"},
          {"/contactDetail/first", "Jane"},
          {"/contactDetail/otherAddress/country", "NZ"},
          {"/businessAddress/_class", "Address"}}},
        {[] { return new hxMail::DistributionList(); },
         {"name=Friends", R"(memberList=[{"_class":"Recipient","emailAddress":"a@b.example"},"plain"])"},
         {{"/name", "Friends"},
          {"/memberList/0/_class", "Recipient"},
          {"/memberList/0/emailAddress", "a@b.example"},
          {"/memberList/1", "plain"}}},
        {[] { return new hxMail::Task(); },
         {"dueDate=2026-02-28", "complete=yes"},
         {{"/dueDate", "2026-02-28"}, {"/complete", true}}},
    };
    for (const Case& c : cases) {
        Lattice::Ptr<Lattice::Object> object(c.make());
        hxhost::setMembers(*object, c.words);
        const json shown = json::parse(hxhost::toJson(object.get()).dump());
        for (const auto& [pointer, value] : c.expected)
            EXPECT_EQ(shown.at(json::json_pointer(pointer)), value) << pointer << " in " << shown.dump();
    }

    // Bad fields are refused with the field's name, whatever the kind of mistake.
    const std::pair<std::string, std::string> bad[] = {
        {"nosuch=1", "nosuch"},
        {"allDay=perhaps", "allDay"},
        {"startDate=2026-13-01", "startDate"},
        {"startDate=2026-02-30T10:00", "startDate"},
        {"recurrenceStart=24:00", "recurrenceStart"},
        {"importance=high", "importance"},
        {"subject", "subject"},
        {".x=1", ".x"},
        {"memberList=[{}]", "memberList"},
        {"location.city=x", "location"},
        {"{\"subject\":", "JSON"},
        {"startDate=2026-12-07T10:00+99:00", "startDate"},
    };
    for (const auto& [word, named] : bad) {
        Lattice::Ptr<hxMail::Appointment> appointment(new hxMail::Appointment());
        try {
            hxhost::setMembers(*appointment, std::vector<std::string>{word});
            ADD_FAILURE() << word << " was taken";
        } catch (const hxhost::CommandError& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << word << ": " << e.what();
        }
    }

    // An operation's item and its detail come from the same words: "detail." paths and a JSON
    // "detail" object go to the detail, the rest to the item.
    hxhost::PluginHost host("/nonexistent/plugin.so");
    hxhost::CommandContext context{host};
    const hxhost::Args args{"ignored", "subject=Lunch", "detail.body.text=Soup",
                            R"({"location":"Canteen","detail":{"textType":"html"}})"};
    hxhost::Json out;
    const hxhost::Call call(context, args, out);
    const auto appointment = call.item<hxMail::Appointment>(1);
    const auto detail = call.detail<hxMail::AppointmentDetail>(1);
    EXPECT_EQ(appointment->get_subject().str(), "Lunch");
    EXPECT_EQ(appointment->get_location().str(), "Canteen");
    EXPECT_EQ(detail->get_body()->get_text().str(), "Soup");
    EXPECT_EQ(detail->get_textType().str(), "html");
    EXPECT_FALSE(host.isLoaded()) << "reading arguments needs no plug-in";
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
        john.mailFile = "mail\\jsmith";
        addPerson(kDirectory, john);
        addGroup(kDirectory, "Sales", {"John Smith/Acme"});
        PersonDoc pat;
        pat.fullName = "CN=Pat Smithers";
        pat.internetAddress = "pat@home.example";
        addPerson(kPersonal, pat);
    }

    Outcome run(const std::string& args, const std::string& input = "") {
        return runIn(dir, "--plugin '" HX_PLUGIN_PATH "' --data '" + dir + "' " + args, input);
    }

    // Each command line (after `prefix`) fails with exit status 1 and says why on standard error.
    void expectRefused(const std::vector<std::string>& commands, const std::string& prefix = "",
                       const std::string& args = "") {
        for (const std::string& c : commands) {
            const Outcome r = run(args + "-c '" + prefix + c + "'");
            EXPECT_EQ(r.status, 1) << c;
            EXPECT_FALSE(r.err.empty()) << c;
        }
    }

    // The rows' commands after a login, in one --json session; each check gets its command's line.
    void runRows(const std::vector<std::pair<std::string, std::function<void(const json&)>>>& rows) {
        std::string line = "login jdoe demo-password";
        for (const auto& row : rows)
            line += "; " + row.first;
        const Outcome r = run("--json -c '" + line + "'");
        ASSERT_EQ(r.status, 0) << r.err;
        const auto lines = jsonLines(r.out);
        ASSERT_EQ(lines.size(), rows.size() + 1) << r.out;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(rows[i].first);
            EXPECT_EQ(lines[i + 1]["ok"], true);
            rows[i].second(lines[i + 1]);
        }
    }

    static constexpr const char* kLogin = "login jdoe demo-password; ";
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
    EXPECT_EQ(lines[0]["notesName"], "Jane Doe/Acme");
    EXPECT_EQ(lines[1]["displayName"], "Jane Doe");
    EXPECT_EQ(lines[1]["smtpAddress"], "Jane Doe/Acme");
    EXPECT_EQ(lines[1]["id"].get<std::string>().size(), 36u);
    EXPECT_NE(lines[1]["id"], lines[0]["mailboxId"]) << "each getMailbox names a new mailbox";
    EXPECT_EQ(lines[1]["mailbox"]["_class"], "Mailbox");
    EXPECT_EQ(lines[1]["mailbox"]["person"]["recipient"]["emailType"], "NOTES");
    EXPECT_EQ(lines[2]["books"][0]["id"], lines[1]["id"].get<std::string>() + "NOTESGAL");
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

TEST(DemoTour, RunsAgainstTheSeededDemoServer) {
    char tmpl[] = "/tmp/hxdemo-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    const std::string seed = "'" NSFADMIN_PATH "' --data '" + dir +
                             "' seed '" HX_DEMO_DIR "/server.json' >'" + dir + "/seed.txt' 2>&1";
    ASSERT_EQ(std::system(seed.c_str()), 0);
    const std::string mailBox =
        "'" NSFADMIN_PATH "' --data '" + dir + "' db create -s Mail1 mail.box >/dev/null";
    ASSERT_EQ(std::system(mailBox.c_str()), 0);
    for (const char* file : {"q3-note.txt", "q3-figures.csv", "reply.txt", "forward.txt"})
        std::filesystem::copy_file(std::string(HX_DEMO_DIR "/fixtures/") + file, dir + "/" + file);
    domino::WebServer web(dir);
    web.start(0);
    auto runTour = [&](const char* script) {
        const std::string command =
            "cd '" + dir + "' && '" HXHOST_PATH "' --plugin '" HX_PLUGIN_PATH "' --data '" + dir +
            "' --set http.connectTo=Mail1:80=127.0.0.1:" + std::to_string(web.port()) + " '" HX_DEMO_DIR "/" +
            script + "' >tour.txt 2>tour.err";
        const int status = std::system(command.c_str());
        const std::string text = slurp(dir + "/tour.txt");
        EXPECT_EQ(status, 0) << script << "\n" << text;
        return text;
    };
    const std::string out = runTour("tour.hxs");
    // What dominod's router does for the demo.
    setenv("NOTES_DATA_DIR", dir.c_str(), 1);
    {
        LNNotesSession session;
        ASSERT_EQ(session.Init(), LNNOERROR);
        const domino::RouteReport routed = domino::Router("Mail1", dir).routeOnce();
        EXPECT_EQ(routed.memos, 3u);
        EXPECT_EQ(routed.failed, 1u);
    }
    unsetenv("NOTES_DATA_DIR");
    const std::string delivery = runTour("delivery.hxs");
    for (const char* line :
         {"Subject: Q3 figures", "attachment 0 saved to received-q3-figures.csv (91 bytes)",
          "Fw: Facilities update", "Subject: DELIVERY FAILURE: Q3 figures", "Jon Smiht"})
        EXPECT_NE(delivery.find(line), std::string::npos) << line << "\n" << delivery;
    const std::string contactsTour = runTour("contacts.hxs");
    for (const char* line : {"5 contacts, from 0", "telex: 712345", "otherAddress: Address",
                             "written to paul.vcf", "updated Paul Martin", "6 contacts, from 0",
                             "Reading group  Partners (list), Dr. Grace Hopper, Alice Wong",
                             "To:      paul.martin@partner.example; laura.chen@partner.example; "
                             "grace.hopper@navy.example; Alice Wong <Alice Wong/Acme>"})
        EXPECT_NE(contactsTour.find(line), std::string::npos) << line << "\n" << contactsTour;
    for (const char* line : {"== Jane Doe logs in ==",
                             "Logged in as Jane Doe/Acme",
                             "Mailbox of Jane Doe",
                             "Sent Items",
                             "Inbox sorted by subject, ascending",
                             "Inbox from entry 10",
                             "Global Address List: entries 1-10 of 16",
                             "Alice Wong",
                             "Personal Address Book",
                             "Paul Martin   paul.martin@partner.example  person  personal",
                             "Maria Rossi",
                             "Logged out.",
                             "Subject: Office floor plan",
                             "attachment 0 saved to seating-plan.pdf",
                             "shall we try the new caf\xc3\xa9",
                             "Design review  @ Room 4  (meeting)",
                             "Company holiday  (all day)",
                             "Gym, if the day allows  (penciled in)",
                             "Lunch with John  @ Roof terrace  (meeting)",
                             "Customer visit  @ Partner office",
                             "removed: yes",
                             "blocks: 3"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    EXPECT_EQ(out.find("demo-password"), std::string::npos);
    EXPECT_EQ(out.find("Error:"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::file_size(dir + "/seating-plan.pdf") > 0);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

namespace {

STATUS openByUnid(DBHANDLE hDb, const std::string& text, NOTEHANDLE* h) {
    UNID u{};
    unsigned a, b, c, d;
    std::sscanf(text.c_str(), "%8x%8x%8x%8x", &a, &b, &c, &d);
    u.File.Innards[1] = a;
    u.File.Innards[0] = b;
    u.Note.Innards[1] = c;
    u.Note.Innards[0] = d;
    return NSFNoteOpenByUNID(hDb, &u, 0, h);
}

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
            NOTEHANDLE h = NULLHANDLE;
            ASSERT_EQ(openByUnid(hDb, unid, &h), NOERROR);
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

// What a person reads: tables, clear errors, and no secret; refused input changes nothing.
TEST_F(HostMailTest, ReadableTablesAndBadInput) {
    Outcome r = run("-c 'login jdoe demo-password; addresses gal; search smi; sort inbox subject asc; "
                    "ls inbox 0 1; index inbox 10'");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* text : {"Logged in as Jane Doe/Acme", "Global Address List: entries 1-3 of 3", "Name",
                             "john.smith@acme.example", "personal", "Inbox sorted by subject, ascending",
                             "Subject", "alpha", "Inbox: 1 pages of 10"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    EXPECT_EQ(r.out.find("demo-password"), std::string::npos);

    r = run("-c 'login jdoe Wrong-Secret'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("login refused"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Wrong-Secret"), std::string::npos);
    EXPECT_EQ(r.out.find("Wrong-Secret"), std::string::npos);

    expectRefused({"addresses gal", "ls inbox"}); // both need a login
    expectRefused({"addresses xyz", "addresses gal -1", "addresses gal 1x", "find gal", "ls nowhere",
                   "sort inbox subject up", "index inbox 0", "ls inbox -1", "rm inbox not-an-id",
                   "preview inbox maybe"},
                  kLogin);
    r = run("-c 'login jdoe demo-password; ls inbox 0 50'");
    EXPECT_EQ(countOf(r.out, "John Smith/Acme"), 5) << "nothing was deleted by the bad input";

    r = run("-c 'verify jdoe demo-password; verify jdoe nope'");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(countOf(r.out, "are correct"), 2) << "a session keeps its first answer";
    // Without a password and without a terminal there is nobody to ask.
    EXPECT_EQ(run("-c 'login jdoe' < /dev/null").status, 1);
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
        NOTEHANDLE h = NULLHANDLE;
        ASSERT_EQ(openByUnid(hDb, unids[1], &h), NOERROR);
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

TEST_F(HostMessageTest, OpenListSaveAttachmentsAndTheDetailAsTheHostGetsIt) {
    // Sorted by subject, "alpha" (the memo with the body) is row 1.
    Outcome r =
        run(connectTo + "--json -c 'login jdoe demo-password; sort inbox subject asc; ls inbox; "
                        "open #1 --html body.html; attachments #1; save-attachment #1 0 plan-copy.txt; "
                        "save-attachment #1 100 chart.gif'");
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    auto lines = jsonLines(r.out);
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

    expectRefused({"open #1", "open 00000000000000000000000000000BAD"}, kLogin, connectTo);
    expectRefused({"open #9", "save-attachment #2 7 x.bin", "save-attachment #1 -2 x.bin", "open #2 --text x",
                   "save-attachment #2 0 /nonexistent/dir/x"},
                  std::string(kLogin) + "ls inbox; ", connectTo);
    EXPECT_FALSE(std::filesystem::exists(dir + "/x.bin"));

    // The same through the host's operations: the detail, and the attachment bytes it names.
    r = run(connectTo + "--json -c 'login jdoe demo-password; ls inbox; getMessageDetail #2; "
                        "loadAttachmentData #2 0; loadAttachmentData #2 7'");
    ASSERT_EQ(r.status, 0) << r.err;
    lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 5u) << r.out;
    const json& detail = lines[2]["detail"];
    EXPECT_EQ(detail["textType"], "html");
    EXPECT_NE(detail["body"]["text"].get<std::string>().find("See the chart below."), std::string::npos);
    const json& files = detail["attachments"]["list"];
    ASSERT_EQ(files.size(), 2u) << detail.dump();
    EXPECT_EQ(files[0]["_class"], "Attachment");
    EXPECT_EQ(files[0]["fileName"], "plan.txt");
    EXPECT_EQ(files[0]["size"], fileText.size());
    EXPECT_EQ(files[1]["mimeType"], "image/gif");
    EXPECT_EQ(lines[3]["status"], 0);
    EXPECT_EQ(lines[3]["data"]["length"], fileText.size());
    EXPECT_EQ(lines[4]["status"], -1) << "there is no attachment 7";
}

// Each host operation family answers through its own command, shown with every reflected member.
TEST_F(HostMailTest, OperationsAnswerWithTheHostObjects) {
    runRows({
        {"getTypeName", [](const json& j) { EXPECT_EQ(j["typeName"], "hxNotes"); }},
        {"createAccount", [](const json& j) { EXPECT_EQ(j["account"]["_class"], "LotusNotesAccount"); }},
        {"factoryReserved3", [](const json& j) { EXPECT_EQ(j["status"], 0); }},
        {"verifyLogin jdoe demo-password", [](const json& j) { EXPECT_EQ(j["result"], true); }},
        {"getModuleName", [](const json& j) { EXPECT_EQ(j["moduleName"], "hxNotesProvider"); }},
        {"calendarProvider", [](const json& j) { EXPECT_EQ(j["provider"], "CalendarProvider"); }},
        {"getMailbox",
         [](const json& j) {
             EXPECT_EQ(j["mailbox"]["_class"], "Mailbox");
             EXPECT_EQ(j["mailbox"]["person"]["lastName"], "Doe");
         }},
        {"getFolders",
         [](const json& j) {
             ASSERT_EQ(j["folders"].size(), 6u);
             EXPECT_EQ(j["folders"][0]["_class"], "Inbox");
             EXPECT_EQ(j["folders"][5]["displayName"], "Contacts");
         }},
        {"setSortContext subject inbox false",
         [](const json& j) { EXPECT_EQ(j["selectedFolderId"].get<std::string>().size(), 32u); }},
        {"getSortIndex inbox 2",
         [](const json& j) {
             EXPECT_EQ(j["labelType"], "string");
             ASSERT_EQ(j["labels"].size(), 6u);
             EXPECT_EQ(j["labels"][0], "echo");
         }},
        {"getFolderItemsPage inbox 0 1",
         [](const json& j) {
             ASSERT_EQ(j["items"].size(), 1u);
             const json& m = j["items"][0];
             EXPECT_EQ(m["_class"], "Message");
             EXPECT_EQ(m["subject"], "echo");
             EXPECT_EQ(m["readFlag"], false);
             EXPECT_EQ(m["importance"], 1);
             for (const char* member : {"id", "from", "to", "sent", "received", "size", "hasAttachments"})
                 EXPECT_TRUE(m.contains(member)) << member;
         }},
        {"setImportance #1 2", [](const json& j) { EXPECT_EQ(j["changed"], true); }},
        {"setSmartValue #1 flag red", [](const json& j) { EXPECT_EQ(j["status"], 0); }},
        {"getSmartValue #1", [](const json& j) { EXPECT_EQ(j["smartValue"], "red"); }},
        {"markAllRead inbox", [](const json& j) { EXPECT_EQ(j["status"], 0); }},
        {"getFolderItemsPage inbox 0 1",
         [](const json& j) {
             EXPECT_EQ(j["items"][0]["importance"], 2);
             EXPECT_EQ(j["items"][0]["readFlag"], true);
         }},
        {"setShowPreview inbox false", [](const json& j) { EXPECT_EQ(j["showPreview"], false); }},
        {"getAddressListCount gal", [](const json& j) { EXPECT_EQ(j["count"], 3); }},
        {"getAddressList pab 5",
         [](const json& j) { EXPECT_EQ(j["entries"][0]["displayName"], "Pat Smithers"); }},
        {"getAddressListPage gal 1 1",
         [](const json& j) {
             ASSERT_EQ(j["entries"].size(), 1u);
             EXPECT_EQ(j["entries"][0]["_class"], "Recipient");
         }},
        {"findAddressList gal sales 5", [](const json& j) { EXPECT_EQ(j["start"], 2); }},
        {"getContactFolders",
         [](const json& j) {
             ASSERT_EQ(j["folders"].size(), 2u);
             EXPECT_EQ(j["folders"][1]["_class"], "RecipientFolder");
             EXPECT_EQ(j["folders"][1]["displayName"], "Personal Address Book");
         }},
        {"getFilteredRecipients smi", [](const json& j) { EXPECT_EQ(j["recipients"].size(), 2u); }},
        {"getMessageDetail #1",
         [](const json& j) {
             EXPECT_EQ(j["detail"]["_class"], "MessageDetail");
             EXPECT_EQ(j["detail"]["from"]["displayName"], "John Smith");
         }},
        {"deleteItems inbox #1", [](const json& j) { EXPECT_EQ(j["done"], true); }},
        {"getFolderItemsPage inbox 0 9", [](const json& j) { EXPECT_EQ(j["items"].size(), 4u); }},
    });
}

// What the plug-in leaves to the host answers -1, writes no output and changes no document.
TEST_F(HostMailTest, UnsupportedOperationsAnswerMinusOneAndTouchNothing) {
    const std::string id = unids[0];
    const std::pair<std::string, std::pair<const char*, json>> rows[] = {
        {"factoryReserved2", {"", nullptr}},
        {"copyFolder inbox drafts", {"newFolderId", ""}},
        {"copyItem inbox " + id + " drafts", {"newItemId", ""}},
        {"deleteFolder inbox", {"", nullptr}},
        {"getSharedFolder jsmith Inbox", {"folder", nullptr}},
        {"getFolderItems inbox", {"items", json::array()}},
        {"newMailItem inbox Message", {"item", nullptr}},
        {"importCSVItems inbox Subject,hello", {"imported", 0}},
        {"exportItemsToCSV inbox", {"csvText", ""}},
        {"getACL inbox", {"entries", json::array()}},
        {"updateUsersInACL inbox jsmith", {"", nullptr}},
        {"loadFullMessageItem " + id, {"item", nullptr}},
        {"providerReserved3 x", {"out", nullptr}},
        {"sendMessageById " + id, {"", nullptr}},
        {"newAttachment " + id, {"attachment", nullptr}},
        {"loadAttachmentObject " + id + " 0", {"item", nullptr}},
        {"clearFlag " + id, {"changed", false}},
        {"setFlag " + id + " 1 text=later reminderTime=2026-12-07T09:00Z", {"changed", false}},
        {"sendUpdateEx subject=x", {"sent", false}},
        {"sendAppointment subject=x detail.body.text=y", {"", nullptr}},
        {"deleteRecurringAppointment " + id + " 2026-12-07T10:00", {"", nullptr}},
        {"recurrenceChanged " + id + " 2026-12-07T10:00 10:00 11:00 interval=1", {"newId", ""}},
        {"addRecurringBreak subject=x", {"newId", ""}},
        {"newTask tasks", {"task", nullptr}},
        {"removeTask " + id, {"", nullptr}},
        {"generateRecurringTask " + id, {"task", nullptr}},
        {"newNote inbox", {"note", nullptr}},
        {"addNote inbox hello 3", {"", nullptr}},
        {"removeNote " + id, {"", nullptr}},
        {"saveNote " + id + " hello", {"flag", false}},
        {"sendInvitation subject=Meet startDate=2026-12-07T10:00Z", {"", nullptr}},
        {"removeMeetingAppointment " + id, {"removed", false}},
        {"loadProposalAppointment " + id, {"appointment", nullptr}},
        {"groupRemoveAppointment g " + id, {"removed", false}},
        {"groupHasEditRights g", {"canEdit", false}},
        {"groupGetSmartValue g " + id, {"smartValue", ""}},
        {"groupGetRangeForUser g jsmith 2026-12-01 2026-12-31", {"appointments", json::array()}},
        {"groupLoadAttachmentData g " + id + " 0", {"data", nullptr}},
    };
    std::string line = "login jdoe demo-password";
    for (const auto& row : rows)
        line += "; " + row.first;
    Outcome r = run("--json -c \"" + line + "\"");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), std::size(rows) + 1) << r.out;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        const auto& [key, untouched] = rows[i].second;
        EXPECT_EQ(lines[i + 1]["status"], -1) << rows[i].first;
        if (*key) {
            EXPECT_EQ(lines[i + 1][key], untouched) << rows[i].first;
        }
    }

    // For a person the status says so.
    r = run("-c 'login jdoe demo-password; deleteFolder inbox; ls inbox 0 9; folders'");
    EXPECT_NE(r.out.find("status: -1 (not supported by the plug-in)"), std::string::npos) << r.out;
    EXPECT_EQ(countOf(r.out, "John Smith/Acme"), 5) << "no memo went";
    EXPECT_NE(r.out.find("Inbox"), std::string::npos);
}

// Bad arguments stop the command before the provider is called: a clear error, exit status 1.
TEST_F(HostMailTest, BadArgumentsAreRefusedBeforeTheCall) {
    const std::pair<std::string, std::string> rows[] = {
        {"getFolderItemsPage inbox x 2", "START must be a whole number"},
        {"getSortIndex inbox", "usage: getSortIndex FOLDER PAGESIZE"},
        {"setSortContext subject inbox maybe", "true or false"},
        {"addTaskSimple tasks s false 2026-02-30", "not a date"},
        {"appointmentTimeChanged #1 2026-12-07T25:00 2026-12-07T11:00", "not a time"},
        {"saveAppointment nosuch=1", "has no member \"nosuch\""},
        {"saveAppointment allDay=maybe", "allDay"},
        {"saveContact homeAddress=5", "homeAddress"},
        {"saveContact {bad", "not a JSON object"},
        {"addDistributionList pab memberList=[{}]", "_class"},
        {"getFreeBusyBlocks 2026-12-01 2026-12-02", "usage: getFreeBusyBlocks START END USER..."},
        {"deleteItems inbox #9", "names no row"},
        {"cal --user jdoe today", "cal --user takes a name and two dates"},
        {"cal inbox today +1 +2", "cal takes [FOLDER] FROM TO"},
        {"appt-edit #1 nosuch=1", "has no member \"nosuch\""},
        {"appt-edit #1 id=0123456789ABCDEF0123456789ABCDEF", "cannot be changed"},
        {"appt-edit #1 subject=x", "no appointment of the Calendar has the id"},
        {"rm inbox not-an-id", "not a document id"},
        {"nosuch", "unknown command"},
    };
    for (const auto& [command, error] : rows) {
        const Outcome r = run("--json -c 'login jdoe demo-password; ls inbox; " + command + "'");
        EXPECT_EQ(r.status, 1) << command;
        const json failure = json::parse(r.err.empty() ? "{}" : r.err);
        EXPECT_EQ(failure.value("ok", true), false) << command;
        EXPECT_NE(failure.value("error", "").find(error), std::string::npos) << command << ": " << r.err;
    }
    const Outcome r = run("-c 'login jdoe demo-password; ls inbox 0 50'");
    EXPECT_EQ(countOf(r.out, "John Smith/Acme"), 5) << "nothing was touched";
}

// An appointment edited field by field keeps the fields not given; a colleague's calendar lists
// once the colleague grants read access, and its rows carry no numbers.
TEST_F(HostMailTest, AppointmentEditAndAColleaguesCalendar) {
    ASSERT_EQ(notes::templates::create("Mail1", "mail/jsmith.nsf", notes::templates::Kind::Mail), NOERROR);
    {
        LNNotesSession session;
        ASSERT_EQ(session.Init(), LNNOERROR);
        LNDatabase db;
        ASSERT_EQ(session.GetDatabase("mail/jsmith.nsf", &db, "Mail1"), LNNOERROR);
        ASSERT_EQ(db.Open(), LNNOERROR);
        LNDocument doc;
        ASSERT_EQ(db.CreateDocument(&doc, "Appointment"), LNNOERROR);
        LNCalendarEntry entry(doc);
        LNDatetime begin, end;
        begin.SetDate(3, 11, 2026);
        begin.SetTime(9, 0, 0, 0);
        begin.SetTimeZone(0);
        end = begin;
        end.AdjustHour(1);
        entry.SetSubject("Sales call");
        ASSERT_EQ(entry.SetDatetimeRange(LNDatetimeRange(begin, end)), LNNOERROR);
        ASSERT_EQ(entry.Save(), LNNOERROR);
    }
    const std::string colleague = "cal --user \"John Smith/Acme\" 2026-03-01 2026-03-31";
    Outcome r = run("--json -c 'login jdoe demo-password; appt-new subject=Lunch location=Canteen "
                    "startDate=2026-03-10T12:00Z endDate=2026-03-10T13:00Z; cal 2026-03-10 2026-03-10; "
                    "appt-edit #1 location=Roof isMeeting=true; cal 2026-03-10 2026-03-10; " +
                    colleague + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    // The plug-in writes the owner it reads ("Sender Name=...") to standard output, before the line.
    std::vector<json> lines;
    std::istringstream text(r.out);
    for (std::string line; std::getline(text, line);)
        lines.push_back(json::parse(line.substr(line.find('{'))));
    ASSERT_EQ(lines.size(), 6u) << r.out;
    const json& edited = lines[3]["appointment"];
    EXPECT_EQ(edited.value("subject", ""), "Lunch");
    EXPECT_EQ(edited.value("location", ""), "Roof");
    EXPECT_TRUE(edited.value("isMeeting", false));
    const json& listed = lines[4]["appointments"];
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].value("location", ""), "Roof");
    EXPECT_EQ(listed[0].value("startDate", ""), lines[2]["appointments"][0].value("startDate", "?"));
    EXPECT_EQ(lines[5]["appointments"].size(), 0u) << "John has not granted access";
    EXPECT_NE(slurp(dir + "/hxLog.log").find("You are not authorized to access that database"),
              std::string::npos);

    DBHANDLE hDb = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen("Mail1!!mail/jsmith.nsf", &hDb), NOERROR);
    ASSERT_EQ(notes::access::setReader(hDb, "Jane Doe/Acme", true), NOERROR);
    NSFDbClose(hDb);
    r = run("-c 'login jdoe demo-password; " + colleague + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("-   2026-03-11T09:00:00+00:00 - 2026-03-11T10:00:00+00:00  Sales call"),
              std::string::npos)
        << r.out;
}

// Without the web task an appointment's body cannot be read: an edit of its detail is refused and
// the stored body stays, unless the edit brings the body itself.
TEST_F(HostMailTest, AppointmentDetailEditWithoutTheWebTaskKeepsTheBody) {
    Outcome r =
        run("--json -c 'login jdoe demo-password; appt-new subject=Budget startDate=2026-03-10T12:00Z "
            "endDate=2026-03-10T13:00Z'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string id = jsonLines(r.out).back()["id"].get<std::string>();
    // Runs `use` on the appointment's note, saving it when `save` is set.
    const auto withNote = [&](bool save, const std::function<void(NOTEHANDLE)>& use) {
        DBHANDLE hDb = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!mail/jdoe.nsf", &hDb), NOERROR);
        NOTEHANDLE h = NULLHANDLE;
        ASSERT_EQ(openByUnid(hDb, id, &h), NOERROR);
        use(h);
        if (save) {
            EXPECT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        }
        NSFNoteClose(h);
        NSFDbClose(hDb);
    };
    const auto body = [&]() {
        std::string bytes;
        withNote(false, [&](NOTEHANDLE h) {
            BLOCKID item{}, value{};
            WORD type = 0;
            DWORD length = 0;
            for (STATUS st = NSFItemInfo(h, "Body", 4, &item, &type, &value, &length); st == NOERROR;
                 st = NSFItemInfoNext(h, item, "Body", 4, &item, &type, &value, &length)) {
                bytes.append(OSLockBlock(char, value), length);
                OSUnlockBlock(value);
            }
        });
        return bytes;
    };
    withNote(true, [](NOTEHANDLE h) {
        NSFItemDelete(h, "Body", 4);
        const std::string agenda = "Agenda: the budget";
        ASSERT_EQ(NSFItemAppend(h, 0, "Body", 4, TYPE_TEXT, agenda.data(), static_cast<DWORD>(agenda.size())),
                  NOERROR);
    });
    const std::string stored = body();
    ASSERT_NE(stored.find("Agenda: the budget"), std::string::npos);

    r = run("--json -c 'login jdoe demo-password; appt-edit " + id + " location=Roof detail.textType=text'");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.err.find("body could not be read"), std::string::npos) << r.err;
    EXPECT_EQ(body(), stored);

    r = run("--json -c 'login jdoe demo-password; appt-edit " + id + " detail.body.text=\"New agenda\"'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(body().find("New agenda"), std::string::npos);
}

TEST_F(HostMailTest, ComposeSavesSendsAndRefusesBadInput) {
    std::ofstream(dir + "/note.txt") << "Hello <John> & team";
    Outcome r =
        run("-c 'login jdoe demo-password; compose --to \"John Smith/Acme\" --subject Plans --text note.txt "
            "--draft; ls drafts; edit #1 --cc Sales --draft; compose --to Sales --subject Now'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(countOf(r.out, "draft saved: "), 2) << r.out;
    EXPECT_NE(r.out.find("Plans"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sent\n"), std::string::npos) << r.out;

    const std::string login = "login jdoe demo-password; ";
    const std::pair<std::string, std::string> bad[] = {
        {"compose --to x", "not logged in"},
        {login + "compose --bogus", "unknown option \"--bogus\""},
        {login + "compose --to", "--to needs a value"},
        {login + "compose --to x --attach missing.bin", "cannot attach \"missing.bin\""},
        {login + "compose --to x --importance 7", "--importance must be"},
        {login + "compose --to x --text a --html b", "either --text or --html"},
        {login + "compose --subject Nobody", "names nobody to deliver to"},
        {login + "reply 0123456789ABCDEF0123456789ABCDEF", "no message with id"},
        {login + "edit 0123456789ABCDEF0123456789ABCDEF --subject x", "no draft with id"},
        {login + "importance " + unids[0] + " 5", "N must be 0"},
        {login + "smart " + unids[0] + " onlyName", "usage: smart"},
    };
    for (const auto& [command, error] : bad) {
        r = run("-c '" + command + "'");
        EXPECT_EQ(r.status, 1) << command;
        EXPECT_NE(r.err.find(error), std::string::npos) << command << ": " << r.err;
    }
}

// The friendly contact commands, each through the host's own contact operations.
TEST_F(HostDirectoryTest, ContactAndListCommandsAsJson) {
    runRows({
        {"contact-new detail.displayName=\"Dr. Ann Lee\" eMail1=ann@example.com homeAddress.city=Springfield",
         [](const json& j) { EXPECT_EQ(j["id"].get<std::string>().size(), 32u); }},
        {"contacts",
         [](const json& j) {
             EXPECT_EQ(j["total"], 2);
             // Notes keeps one name: the file-as name lists as the display name.
             EXPECT_EQ(j["contacts"][0]["name"], "Dr. Ann Lee");
             EXPECT_EQ(j["contacts"][1]["name"], "CN=Pat Smithers");
         }},
        {"contacts 1 5", [](const json& j) { EXPECT_EQ(j["contacts"].size(), 1u); }},
        {"contact-edit #1 detail.jobTitle=Surgeon", [](const json& j) { EXPECT_EQ(j["flag"], true); }},
        {"contact #1",
         [](const json& j) {
             const json& c = j["contact"];
             EXPECT_EQ(c["eMail1"], "ann@example.com") << "fields not named keep their values";
             EXPECT_EQ(c["homeAddress"]["city"], "Springfield");
             EXPECT_EQ(c["contactDetail"]["jobTitle"], "Surgeon");
             EXPECT_EQ(c["contactDetail"]["title"], "Dr.");
         }},
        {"list-new Inner \"Pat Smithers\" text=inside", [](const json& j) { EXPECT_EQ(j["status"], 0); }},
        {"list-new Outer Inner \"Dr. Ann Lee\" \"John Smith/Acme\"",
         [](const json& j) { EXPECT_EQ(j["status"], 0); }},
        {"lists",
         [](const json& j) {
             ASSERT_EQ(j["lists"].size(), 2u);
             EXPECT_EQ(j["lists"][0]["text"], "inside");
             const json& outer = j["lists"][1]["members"];
             ASSERT_EQ(outer.size(), 3u);
             EXPECT_EQ(outer[0]["isList"], true);
             EXPECT_EQ(outer[2]["address"], "john.smith@acme.example");
         }},
        {"list-edit #2 -Inner +Sales name=Everyone", [](const json& j) { EXPECT_EQ(j["flag"], true); }},
        {"lists",
         [](const json& j) {
             EXPECT_EQ(j["lists"][0]["name"], "Everyone");
             EXPECT_EQ(j["lists"][0]["members"].size(), 3u);
         }},
        {"name-parse \"Smith, John Jr.\"",
         [](const json& j) {
             EXPECT_EQ(j["first"], "John");
             EXPECT_EQ(j["suffix"], "Jr.");
         }},
        {"address-parse \"1 Main St\\nSpringfield, IL 62701\\nUSA\"",
         [](const json& j) { EXPECT_EQ(j["address"]["postalCode"], "62701"); }},
        {"contacts", [](const json&) {}},
        {"contact-rm #1", [](const json& j) { EXPECT_EQ(j["removed"], true); }},
    });
    // Bad input stops the command before anything is written.
    for (const char* bad : {"contact-new bogus=1", "contact-new eMail1=x@example.com", "contact-new Ann",
                            "contact-edit 0123456789ABCDEF0123456789ABCDEF jobTitle=x", "list-new \" \"",
                            "list-edit 0123456789ABCDEF0123456789ABCDEF +x", "contact-rm #9"}) {
        const Outcome refused = run(std::string("-c 'login jdoe demo-password; ") + bad + "; contacts'");
        EXPECT_EQ(refused.status, 1) << bad;
        EXPECT_NE(refused.err.find("hxhost: "), std::string::npos) << bad << refused.err;
    }
    const Outcome after = run("--json -c 'login jdoe demo-password; contacts'");
    EXPECT_EQ(jsonLines(after.out).back()["total"], 1) << "only Pat is left";
}

// To-dos and the change report as a user drives them: what is announced, once, and refused input.
TEST_F(HostMailTest, ToDosAndTheChangeReport) {
    Outcome r =
        run("--json -c 'login jdoe demo-password; changes; task-new subject=Report dueDate=2026-12-20 "
            "importance=2; tasks; task-done #1; task-edit #1 subject=\"Final report\" "
            "detail.startDate=2026-12-01; tasks; changes; changes; rm Tasks #1; changes; watch 1'");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto lines = jsonLines(r.out);
    ASSERT_EQ(lines.size(), 12u) << r.out;
    EXPECT_EQ(lines[1]["changes"], json::array()) << "mail from before the login is not news";
    const std::string id = lines[2]["id"];
    ASSERT_EQ(id.size(), 32u);
    ASSERT_EQ(lines[3]["tasks"].size(), 1u);
    EXPECT_EQ(lines[3]["tasks"][0]["importance"], 2);
    EXPECT_EQ(lines[3]["tasks"][0]["dueDate"], "2026-12-20");
    const json& edited = lines[6]["tasks"][0];
    EXPECT_EQ(edited["subject"], "Final report");
    EXPECT_EQ(edited["complete"], true);
    EXPECT_EQ(edited["dueDate"], "2026-12-20") << "fields not named keep their values";
    ASSERT_EQ(lines[7]["changes"].size(), 1u) << "created once, however often edited";
    EXPECT_EQ(lines[7]["changes"][0]["change"], "new");
    EXPECT_EQ(lines[7]["changes"][0]["itemId"], id);
    EXPECT_EQ(lines[8]["changes"], json::array());
    ASSERT_EQ(lines[10]["changes"].size(), 1u);
    EXPECT_EQ(lines[10]["changes"][0]["change"], "deleted");
    EXPECT_EQ(lines[10]["changes"][0]["itemId"], id);
    EXPECT_EQ(lines[11]["reported"], 0);

    // For a person: one line per to-do and per change.
    r = run("-c 'login jdoe demo-password; task-new subject=Call; tasks; changes'");
    EXPECT_NE(r.out.find("[ ]  no due date  normal  Call"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("new Task"), std::string::npos) << r.out;

    expectRefused({"task-new importance=2", "task #7", "task-done 00000000000000000000000000000000",
                   "task-edit #1 nosuchfield=1", "watch 0", "watch soon", "changes now"},
                  std::string(kLogin) + "tasks; ");
}
