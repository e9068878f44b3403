// contact-export and contact-import as a user runs them: hxhost loading the real plug-in, with
// Jane Doe's personal address book.
#include "DirectoryFixture.h"
#include "HostRun.h"

#include "ContactFields.h"
#include "hxMailConversion/VCard.h"

#include "Lattice/HTMLEncode.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <map>
#include <sstream>

namespace {

using nlohmann::json;
namespace vcard = hxMailConversion::vcard;

class VCardCommandsTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        if (HasFatalFailure())
            return;
        addPerson(kDirectory, jane());
    }

    Outcome run(const std::string& commands) {
        return runIn(dir,
                     "--plugin '" HX_PLUGIN_PATH "' --data '" + dir +
                         "' --json -c 'login jdoe demo-password; " + commands + "'",
                     "");
    }

    // Documents of the personal address book, whatever their form.
    std::size_t personalDocuments() {
        DBHANDLE db = NULLHANDLE;
        EXPECT_EQ(NSFDbOpen(kPersonal, &db), NOERROR);
        TIMEDATE since{};
        TIMEDATE until{};
        TimeConstant(TIMEDATE_MINIMUM, &since);
        DHANDLE table = NULLHANDLE;
        EXPECT_EQ(NSFDbGetModifiedNoteTable(db, NOTE_CLASS_DOCUMENT, since, &until, &table), NOERROR);
        const std::size_t count = table ? IDEntries(table) : 0;
        if (table)
            IDDestroyTable(table);
        NSFDbClose(db);
        return count;
    }
};

} // namespace

TEST_F(VCardCommandsTest, BadFilesAndIdsAreRefusedAndCreateNothing) {
    std::ofstream(dir + "/bad.vcf") << "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann\r\nEND:VCARD\r\n"
                                    << "BEGIN:VCARD\r\nVERSION:4.0\r\nFN Bob\r\nEND:VCARD\r\n";
    std::ofstream(dir + "/empty.vcf");
    std::ofstream(dir + "/group.vcf") << "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Ann\r\nEND:VCARD\r\n"
                                      << "BEGIN:VCARD\r\nVERSION:4.0\r\nKIND:group\r\nFN:Team\r\n"
                                      << "MEMBER:mailto:ann@example.org\r\nEND:VCARD\r\n";
    const std::size_t before = personalDocuments();
    const struct {
        std::string command;
        std::string error;
    } cases[] = {
        {"contact-import bad.vcf", "bad.vcf: vCard line 7: no ':' between the property name and its value; "
                                   "nothing was imported"},
        {"contact-import empty.vcf", "empty.vcf holds no vCard"},
        {"contact-import group.vcf",
         "the card of line 5 is a group (KIND:group), not a contact; nothing was imported"},
        {"contact-import missing.vcf", "cannot read missing.vcf"},
        {"contact-import .", "cannot read ."},
        {"contact-export 0123456789ABCDEF0123456789ABCDEF",
         "no contact with id \"0123456789ABCDEF0123456789ABCDEF\""},
        {"contact-export #3", "#3"},
        {"contact-export", "usage: contact-export ID [FILE]"},
        {"contact-import a.vcf b c", "usage: contact-import FILE [FOLDER]"},
    };
    for (const auto& c : cases) {
        const Outcome r = run(c.command);
        EXPECT_EQ(r.status, 1) << c.command;
        const json error = lastJson(r.err);
        EXPECT_EQ(error.value("command", ""), c.command.substr(0, c.command.find(' '))) << r.err;
        EXPECT_NE(error.value("error", "").find(c.error), std::string::npos) << c.command << ": " << r.err;
    }
    EXPECT_EQ(personalDocuments(), before);
}

// A card imported into the personal address book and exported again is the same contact, except
// where Notes keeps one item for two host fields: the file-as name is the stored full name, and an
// address's full text is composed from its parts on loading.
TEST_F(VCardCommandsTest, ImportedCardsExportAsTheSameContacts) {
    const Outcome imported = run(std::string("contact-import '" HX_DEMO_DIR "/fixtures/perreault.vcf'; "
                                             "contact-import '" HX_DEMO_DIR "/fixtures/mueller.vcf'; "
                                             "contact-import '" HX_DEMO_DIR "/fixtures/zolkiewski.vcf'"));
    ASSERT_EQ(imported.status, 0) << imported.err;
    const std::vector<json> lines = jsonLines(imported.out);
    const std::vector<json> reports(lines.begin() + 1, lines.end()); // after the login
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2]["imported"], 2);
    EXPECT_EQ(reports[0]["contacts"][0]["notKept"].size(), 8u) << "birthday, anniversary, ...";

    // Notes items hold 8-bit text: characters outside Windows-1252 come back as '?'.
    auto stored = [](const std::string& text) {
        return Lattice::HTMLEncode::string8ToUTF8(Lattice::HTMLEncode::UTF8ToString8(text.c_str())).str();
    };
    std::map<std::string, std::map<std::string, std::string>> expected; // by display name as stored
    for (const char* file : {"perreault.vcf", "mueller.vcf", "zolkiewski.vcf"})
        for (const vcard::Card& card : vcard::parse(slurp(std::string(HX_DEMO_DIR "/fixtures/") + file))) {
            const auto contact = vcard::toContact(card);
            expected[stored(contact->get_contactDetail()->get_displayName().str())] = fieldsOf(*contact);
        }

    const json listed = lastJson(run("ls Contacts 0 50").out);
    std::size_t exported = 0;
    for (const json& item : listed["items"]) {
        const std::string id = item["id"];
        const Outcome r = run("contact-export " + id + " out.vcf");
        ASSERT_EQ(r.status, 0) << r.err;
        const auto cards = vcard::parse(slurp(dir + "/out.vcf"));
        ASSERT_EQ(cards.size(), 1u);
        const auto contact = vcard::toContact(cards.front());
        const auto fields = fieldsOf(*contact);
        const auto want = expected.find(contact->get_contactDetail()->get_displayName().str());
        ASSERT_NE(want, expected.end()) << slurp(dir + "/out.vcf");
        for (const auto& [path, value] : want->second) {
            if (path == "fileAsName" || path.ends_with("fullAddress") || path == "id" ||
                path == "contactDetail.id")
                continue;
            const std::string got = fields.at(path);
            EXPECT_TRUE(got == value || got == stored(value)) << want->first << " " << path << ": " << got;
        }
        ++exported;
    }
    EXPECT_EQ(exported, expected.size());
}

// Importing a card again updates the contact it names: by UID (the id contact-export writes), else
// by full name and first e-mail; a namesake with another e-mail is a person of their own.
TEST_F(VCardCommandsTest, ACardImportedAgainUpdatesItsContact) {
    const auto card = [](const std::string& lines) {
        return "BEGIN:VCARD\r\nVERSION:4.0\r\n" + lines + "END:VCARD\r\n";
    };
    const std::string ann = "FN:Ann Lee\r\nN:Lee;Ann;;;\r\nEMAIL:ann@example.org\r\n";
    const struct {
        std::string what, file;
        bool updated;
        std::string phone; // Ann's business phone afterwards
    } steps[] = {
        {"a new card", card(ann + "TEL;TYPE=work:111\r\n"), false, "111"},
        {"the same person without UID", card(ann + "TEL;TYPE=work:222\r\n"), true, "222"},
        {"a namesake with another e-mail",
         card("FN:Ann Lee\r\nN:Lee;Ann;;;\r\nEMAIL:other.ann@example.org\r\n"), false, "222"},
        {"names in other case and blanks",
         card("FN: ann lee\r\nN:Lee;Ann;;;\r\nEMAIL:ANN@example.org\r\n"
              "TEL;TYPE=work:333\r\n"),
         true, "333"},
    };
    const auto contacts = [&]() { return lastJson(run("contacts").out)["contacts"]; };
    const auto isAnn = [](const json& item) {
        std::string email = item.value("email", "");
        for (char& c : email)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return email == "ann@example.org";
    };
    const auto annsPhone = [&]() {
        for (const json& item : contacts())
            if (isAnn(item))
                return item.value("businessPhone", "");
        return std::string("(none)");
    };
    std::size_t made = 0;
    for (const auto& step : steps) {
        std::ofstream(dir + "/card.vcf", std::ios::binary) << step.file;
        const Outcome r = run("contact-import card.vcf");
        ASSERT_EQ(r.status, 0) << step.what << ": " << r.err;
        EXPECT_EQ(lastJson(r.out)["contacts"][0].value("updated", !step.updated), step.updated) << step.what;
        made += step.updated ? 0 : 1;
        EXPECT_EQ(contacts().size(), made) << step.what;
        EXPECT_EQ(annsPhone(), step.phone) << step.what;
    }

    // An exported card carries the contact's id as its UID: renamed and with a new address, it
    // still updates that contact.
    std::string id;
    for (const json& item : contacts())
        if (isAnn(item))
            id = item["id"];
    ASSERT_EQ(run("contact-export " + id + " ann.vcf").status, 0);
    std::string exported = slurp(dir + "/ann.vcf");
    ASSERT_NE(exported.find("UID:urn:uuid:"), std::string::npos) << exported;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"Ann Lee", "Ann Lee-Park"},
                                   {"ANN@example.org", "ann.park@example.org"}})
        for (auto at = exported.find(from); at != std::string::npos; at = exported.find(from, at + to.size()))
            exported.replace(at, from.size(), to);
    std::ofstream(dir + "/ann.vcf", std::ios::binary) << exported;
    const Outcome r = run("contact-import ann.vcf");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lastJson(r.out)["contacts"][0].value("id", ""), id);
    EXPECT_EQ(contacts().size(), made);
    bool renamed = false;
    for (const json& item : contacts())
        renamed = renamed || (item["id"] == id && item.value("email", "") == "ann.park@example.org");
    EXPECT_TRUE(renamed);

    // A UID of another application names no contact here: the card is matched by name and e-mail.
    std::ofstream(dir + "/bob.vcf", std::ios::binary) << card(
        "UID:urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1\r\nFN:Bob Ray\r\nEMAIL:bob@example.org\r\n");
    for (int twice = 0; twice < 2; ++twice)
        ASSERT_EQ(run("contact-import bob.vcf").status, 0);
    EXPECT_EQ(contacts().size(), made + 1);
}
