// Directory name lookup and password digests through the C API, walked as a login does.
#include "fixture.h"
#include "notes/admin/directory.h"
#include "notes/admin/names.h"
#include "runtime.h"
#include "store.h"
#include "templates.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string packed(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        out += p;
        out += '\0';
    }
    return out;
}

std::string makeDigest(const std::string& password) {
    BYTE digest[SEC_DIGEST_SIZE];
    WORD length = 0;
    EXPECT_EQ(SECHashPassword(static_cast<WORD>(password.size()),
                              reinterpret_cast<const BYTE*>(password.data()), sizeof digest, &length, digest,
                              0, nullptr),
              NOERROR);
    return std::string(reinterpret_cast<char*>(digest), length);
}

const std::vector<std::string> kItems = {"FullName",   "ShortName",   "FirstName",       "MiddleInitial",
                                         "LastName",   "MailAddress", "MailSystem",      "MailServer",
                                         "MailDomain", "MailFile",    "InternetAddress", "HTTPPassword"};

} // namespace

class LookupTest : public NotesTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        ASSERT_EQ(NotesInitExtended(0, nullptr), NOERROR);
        ASSERT_EQ(notes::templates::create("Mail1", "names.nsf", notes::templates::Kind::Directory), NOERROR);
        ASSERT_EQ(NSFDbOpen("Mail1!!names.nsf", &hDb), NOERROR);
    }

    void TearDown() override {
        NSFDbClose(hDb);
        NotesTerm();
        NotesTest::TearDown();
    }

    void append(NOTEHANDLE h, const char* name, const std::vector<std::string>& values, bool list = false) {
        const std::string v = list ? notes::ods::encodeTextList(values) : values.front();
        ASSERT_EQ(NSFItemAppend(h, ITEM_SUMMARY, name, static_cast<WORD>(std::strlen(name)),
                                list ? TYPE_TEXT_LIST : TYPE_TEXT, v.data(), static_cast<DWORD>(v.size())),
                  NOERROR);
    }

    void addPerson(DBHANDLE db, const std::string& full, const std::string& shortName,
                   const std::string& digest) {
        NOTEHANDLE h = NULLHANDLE;
        ASSERT_EQ(NSFNoteCreate(db, &h), NOERROR);
        append(h, "Form", {"Person"});
        append(h, "FullName", {full, notes::commonName(full)}, true);
        append(h, "ShortName", {shortName});
        append(h, "LastName", {"Doe"});
        append(h, "MailSystem", {"1"});
        append(h, "MailServer", {"CN=Mail1/O=Acme"});
        append(h, "MailFile", {"mail\\" + shortName});
        append(h, "InternetAddress", {shortName + "@acme.example"});
        if (!digest.empty()) {
            append(h, "HTTPPassword", {digest});
        }
        ASSERT_EQ(NSFNoteUpdate(h, 0), NOERROR);
        NSFNoteClose(h);
    }

    // Looks names up in ($Users) with the login's twelve items.
    STATUS lookup(const std::vector<std::string>& names, DHANDLE* buffer, const char* server = "") {
        const std::string spaces = packed({"($Users)"}), n = packed(names), items = packed(kItems);
        return NAMELookup2(server, 0, 1, spaces.data(), static_cast<WORD>(names.size()), n.data(),
                           static_cast<WORD>(kItems.size()), items.data(), buffer);
    }

    DBHANDLE hDb = NULLHANDLE;
};

TEST_F(LookupTest, LoginWalksTheBufferAndChecksThePassword) {
    const std::string digest = makeDigest("demo-password");
    addPerson(hDb, "CN=Jane Doe/O=Acme", "jdoe", digest);
    addPerson(hDb, "CN=John Roe/O=Acme", "jroe", makeDigest("other"));

    for (const char* name :
         {"jdoe", "JDoe", "Jane Doe", "CN=Jane Doe/O=Acme", "Jane Doe/Acme", "jdoe@acme.example"}) {
        DHANDLE h = NULLHANDLE;
        ASSERT_EQ(lookup({name}, &h), NOERROR) << name;
        void* p = OSLockObject(h);
        WORD matches = 0;
        void* result = NAMELocateNextName2(p, nullptr, &matches);
        ASSERT_NE(result, nullptr);
        ASSERT_EQ(matches, 1) << name;
        void* match = NAMELocateNextMatch2(p, result, nullptr);
        ASSERT_NE(match, nullptr);
        EXPECT_EQ(NAMELocateNextMatch2(p, result, match), nullptr);
        EXPECT_EQ(NAMELocateNextName2(p, result, &matches), nullptr);

        // FullName: a text list whose first member is the canonical name.
        WORD type = 0, size = 0;
        const char* value = static_cast<const char*>(NAMELocateItem2(match, 0, &type, &size));
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(type, TYPE_TEXT_LIST);
        WORD typeWord = 0;
        std::memcpy(&typeWord, value, sizeof typeWord);
        EXPECT_EQ(typeWord, TYPE_TEXT_LIST); // the value starts with its type
        char text[1024];
        ASSERT_EQ(NAMEGetTextItem2(match, 0, 0, text, sizeof text), NOERROR);
        EXPECT_STREQ(text, "CN=Jane Doe/O=Acme");
        ASSERT_EQ(NAMEGetTextItem2(match, 0, 1, text, sizeof text), NOERROR);
        EXPECT_STREQ(text, "Jane Doe");
        EXPECT_EQ(NAMEGetTextItem2(match, 0, 2, text, sizeof text), ERR_ITEM_NOT_FOUND);
        // MailFile (item 9): text, size counts the type word.
        value = static_cast<const char*>(NAMELocateItem2(match, 9, &type, &size));
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(type, TYPE_TEXT);
        EXPECT_EQ(std::string(value + 2, size - 2), "mail\\jdoe");
        // Items the document lacks, and numbers beyond the list.
        EXPECT_EQ(NAMELocateItem2(match, 2, &type, &size), nullptr); // FirstName
        EXPECT_EQ(NAMELocateItem2(match, 12, &type, &size), nullptr);
        // HTTPPassword (item 11) checks against the right password only.
        value = static_cast<const char*>(NAMELocateItem2(match, 11, &type, &size));
        ASSERT_NE(value, nullptr);
        const std::string stored(value + 2, size - 2);
        EXPECT_EQ(stored, digest);
        EXPECT_EQ(verifyPassword("demo-password", stored), NOERROR);
        EXPECT_EQ(verifyPassword("Demo-password", stored), ERR_PASSWORD_MISMATCH);
        OSUnlockObject(h);
        EXPECT_EQ(OSMemFree(h), NOERROR);
    }
}

TEST_F(LookupTest, SeveralNamesUnknownNamesAndDirectories) {
    addPerson(hDb, "CN=Jane Doe/O=Acme", "jdoe", "");
    // Each name's number of matches, walking the buffer to its end; the buffer is freed.
    auto matches = [](DHANDLE h) {
        std::vector<WORD> counts;
        void* p = OSLockObject(h);
        WORD n = 99;
        for (void* name = NAMELocateNextName2(p, nullptr, &n); name;
             name = NAMELocateNextName2(p, name, &n)) {
            counts.push_back(n);
            if (n == 0) {
                EXPECT_EQ(NAMELocateNextMatch2(p, name, nullptr), nullptr);
            }
        }
        OSUnlockObject(h);
        OSMemFree(h);
        return counts;
    };
    DHANDLE h = NULLHANDLE;
    ASSERT_EQ(lookup({"nobody", "jdoe", ""}, &h), NOERROR);
    EXPECT_EQ(matches(h), (std::vector<WORD>{0, 1, 0}));

    // A second server's directory answers only for names the first one lacks (unless ALL).
    std::filesystem::create_directory(dir + "/Mail2");
    ASSERT_EQ(notes::templates::create("Mail2", "names.nsf", notes::templates::Kind::Directory), NOERROR);
    DBHANDLE other = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen("Mail2!!names.nsf", &other), NOERROR);
    addPerson(other, "CN=Jane Doe/O=Acme", "jdoe", "");
    addPerson(other, "CN=Max Mustermann/O=Acme", "mmuster", "");
    NSFDbClose(other);
    ASSERT_EQ(lookup({"jdoe", "mmuster"}, &h), NOERROR);
    EXPECT_EQ(matches(h), (std::vector<WORD>{1, 1}));
    const std::string spaces = packed({"($Users)"}), names = packed({"jdoe"}), items = packed({"ShortName"});
    ASSERT_EQ(NAMELookup2("", NAME_LOOKUP_ALL, 1, spaces.data(), 1, names.data(), 1, items.data(), &h),
              NOERROR);
    EXPECT_EQ(matches(h), std::vector<WORD>{2});
    // A named server looks only there.
    ASSERT_EQ(lookup({"mmuster"}, &h, "CN=Mail1/O=Acme"), NOERROR);
    EXPECT_EQ(matches(h), std::vector<WORD>{0});
    EXPECT_EQ(lookup({"jdoe"}, &h, "Mail9"), ERR_SERVER_NOT_RESPONDING);
}

TEST_F(LookupTest, BadRequestsFailCleanly) {
    DHANDLE h = NULLHANDLE;
    const std::string spaces = packed({"($Users)"}), names = packed({"jdoe"}), items = packed({"ShortName"});
    EXPECT_EQ(NAMELookup2("", 0, 1, spaces.data(), 1, names.data(), 1, items.data(), nullptr),
              ERR_INVALID_PARAM);
    EXPECT_EQ(NAMELookup2("", 0, 0, spaces.data(), 1, names.data(), 1, items.data(), &h), ERR_INVALID_PARAM);
    EXPECT_EQ(NAMELookup2("", 0, 1, nullptr, 1, names.data(), 1, items.data(), &h), ERR_INVALID_PARAM);
    EXPECT_EQ(NAMELookup2("", 0, 1, spaces.data(), 1, names.data(), 200, items.data(), &h),
              ERR_INVALID_PARAM);
    const std::string longName = packed({std::string(5000, 'x')});
    EXPECT_EQ(NAMELookup2("", 0, 1, spaces.data(), 1, longName.data(), 1, items.data(), &h),
              ERR_INVALID_PARAM);
    const std::string missing = packed({"($NoSuchView)"});
    EXPECT_EQ(NAMELookup2("", 0, 1, missing.data(), 1, names.data(), 1, items.data(), &h),
              ERR_NAMESPACE_NOT_FOUND);
    // Without any directory the lookup fails.
    NSFDbClose(hDb);
    hDb = NULLHANDLE;
    ASSERT_EQ(NSFDbDelete("Mail1!!names.nsf"), NOERROR);
    EXPECT_EQ(NAMELookup2("", 0, 1, spaces.data(), 1, names.data(), 1, items.data(), &h), ERR_NO_DIRECTORY);
    char text[256];
    OSLoadString(nullptr, ERR_NO_DIRECTORY, text, sizeof text);
    EXPECT_STREQ(text, "No directory to look names up in");
    EXPECT_EQ(NAMELocateNextName2(nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(NAMELocateItem2(nullptr, 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(NAMEGetTextItem2(nullptr, 0, 0, text, sizeof text), ERR_ITEM_NOT_FOUND);
    EXPECT_EQ(NAMEGetTextItem2(nullptr, 0, 0, nullptr, 0), ERR_INVALID_PARAM);
}

TEST(PasswordDigest, Argon2idRoundTripAndRefusals) {
    const std::string digest = makeDigest("s3cret");
    EXPECT_EQ(digest.rfind("$argon2id$v=19$m=19456,t=2,p=1$", 0), 0u) << digest;
    EXPECT_NE(makeDigest("s3cret"), digest); // a fresh salt each time
    EXPECT_EQ(verifyPassword("s3cret", digest), NOERROR);
    EXPECT_EQ(verifyPassword("s3cre", digest), ERR_PASSWORD_MISMATCH);
    EXPECT_EQ(verifyPassword("", digest), ERR_PASSWORD_MISMATCH);
    // An empty password has a digest of its own.
    const std::string empty = makeDigest("");
    EXPECT_EQ(verifyPassword("", empty), NOERROR);
    EXPECT_EQ(verifyPassword("x", empty), ERR_PASSWORD_MISMATCH);

    // Empty, malformed, truncated and other-algorithm digests never match.
    for (const std::string& bad :
         {std::string(), std::string("s3cret"), digest.substr(0, digest.size() - 5), digest + "AA",
          std::string("$argon2i$v=19$m=19456,t=2,p=1$c2FsdHNhbHQ$aGFzaGhhc2g"),
          std::string("$argon2id$v=19$"), std::string("$argon2id$v=19$m=-1,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaA"),
          // Costs beyond the bounds are refused before any hashing.
          std::string("$argon2id$v=19$m=4194304,t=2,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNoaGFzaA"),
          std::string("$argon2id$v=19$m=19456,t=100000,p=1$c2FsdHNhbHRzYWx0$aGFzaGhhc2hoYXNoaGFzaA"),
          std::string(600, '$')}) {
        EXPECT_EQ(verifyPassword("s3cret", bad), ERR_PASSWORD_MISMATCH) << bad;
    }
    EXPECT_EQ(SECVerifyPassword(6, reinterpret_cast<const BYTE*>("s3cret"), 0, nullptr, 0, nullptr),
              ERR_PASSWORD_MISMATCH);

    // Over-long passwords are refused both ways; the limit itself is allowed.
    const std::string limit(SEC_MAX_PASSWORD, 'p'), over(SEC_MAX_PASSWORD + 1, 'p');
    EXPECT_EQ(verifyPassword(limit, makeDigest(limit)), NOERROR);
    EXPECT_EQ(verifyPassword(over, digest), ERR_PASSWORD_TOO_LONG);
    BYTE out[SEC_DIGEST_SIZE];
    WORD length = 0;
    EXPECT_EQ(SECHashPassword(static_cast<WORD>(over.size()), reinterpret_cast<const BYTE*>(over.data()),
                              sizeof out, &length, out, 0, nullptr),
              ERR_PASSWORD_TOO_LONG);
    EXPECT_EQ(SECHashPassword(1, reinterpret_cast<const BYTE*>("x"), 10, &length, out, 0, nullptr),
              ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(SECHashPassword(1, nullptr, sizeof out, &length, out, 0, nullptr), ERR_INVALID_PARAM);
}

// People and groups written through the admin API are found by the lookup; one that the
// directory's forms cannot hold is refused and nothing is written.
TEST_F(LookupTest, AdminPeopleAndGroupsAreFoundAndBadOnesRefused) {
    notes::directory::Person jane;
    jane.fullName = "Jane Doe/Acme";
    jane.shortName = "jdoe";
    jane.internetAddress = "jane.doe@acme.example";
    jane.mailServer = "CN=Mail1/O=Acme";
    ASSERT_EQ(notes::directory::hashPassword("pw", &jane.passwordDigest), NOERROR);
    NOTEID person = 0;
    ASSERT_EQ(notes::directory::addPerson(hDb, jane, &person), NOERROR);
    notes::directory::Group sales;
    sales.name = "Sales";
    sales.members = {"CN=Jane Doe/O=Acme"};
    ASSERT_EQ(notes::directory::addGroup(hDb, sales), NOERROR);

    notes::NameLookup lookup;
    ASSERT_EQ(lookup.open(notes::DataDirectory::current(), "Mail1", {"($Users)"}), NOERROR);
    std::vector<notes::NameMatch> found;
    const std::vector<std::string> items{"FullName",   "FirstName", "LastName",
                                         "MailDomain", "MailFile",  "HTTPPassword"};
    ASSERT_EQ(lookup.find("jdoe", false, items, &found), NOERROR);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].note, person);
    std::vector<std::string> text;
    const auto value = [&](std::size_t i) {
        text.clear();
        notes::ods::decodeText(found[0].items[i].first, found[0].items[i].second, &text);
        return text;
    };
    EXPECT_EQ(value(0), (std::vector<std::string>{"CN=Jane Doe/O=Acme", "Jane Doe"}));
    EXPECT_EQ(value(1), std::vector<std::string>{"Jane"}); // from the common name
    EXPECT_EQ(value(2), std::vector<std::string>{"Doe"});
    EXPECT_EQ(value(3), std::vector<std::string>{"Acme"}); // from the organisation
    EXPECT_EQ(value(4), std::vector<std::string>{"mail\\jdoe"});
    EXPECT_EQ(verifyPassword("pw", found[0].items[5].second), NOERROR);
    ASSERT_EQ(lookup.find("sales", false, items, &found), NOERROR);
    EXPECT_EQ(found.size(), 1u);

    std::vector<NOTEID> before;
    ASSERT_EQ(notes::handles::database(hDb)->list(NOTE_CLASS_DOCUMENT, &before), NOERROR);
    notes::directory::Group odd = sales;
    for (const char* type : {"4", "", "01", "x"}) {
        odd.type = type;
        EXPECT_EQ(notes::directory::addGroup(hDb, odd), ERR_INVALID_PARAM) << type;
    }
    odd.type = "1";
    odd.name = "";
    EXPECT_EQ(notes::directory::addGroup(hDb, odd), ERR_INVALID_PARAM);
    notes::directory::Person nameless;
    EXPECT_EQ(notes::directory::addPerson(hDb, nameless), ERR_INVALID_PARAM);
    EXPECT_EQ(notes::directory::addPerson(NULLHANDLE, jane), ERR_INVALID_HANDLE);
    std::vector<NOTEID> after;
    ASSERT_EQ(notes::handles::database(hDb)->list(NOTE_CLASS_DOCUMENT, &after), NOERROR);
    EXPECT_EQ(after, before);
}

// A lookup serves a data directory of its own, not only the configuration's: what a web server
// object does for the folder it was given.
TEST_F(LookupTest, LookupWorksInAnotherDataDirectory) {
    const std::string other = dir + "/elsewhere";
    std::filesystem::create_directories(other + "/Mail2");
    const notes::DataDirectory elsewhere(other);
    std::string file;
    ASSERT_EQ(elsewhere.databaseFile("Mail2", "names", false, &file), NOERROR);
    EXPECT_EQ(file, other + "/Mail2/names.nsf");
    EXPECT_EQ(elsewhere.databaseFile("Mail1", "names", true, &file), ERR_SERVER_NOT_RESPONDING);
    EXPECT_EQ(elsewhere.servers(), std::vector<std::string>{"Mail2"});

    notes::NameLookup lookup;
    EXPECT_EQ(lookup.open(elsewhere, "", {"($Users)"}), ERR_NO_DIRECTORY); // no names.nsf there yet
    // The configuration's directory still answers the C API.
    EXPECT_EQ(lookup.open(notes::DataDirectory::current(), "", {"($Users)"}), NOERROR);
    EXPECT_EQ(lookup.open(notes::DataDirectory::current(), "", {"($NoSuchView)"}), ERR_NAMESPACE_NOT_FOUND);
}
