// Access lists of mail files: each session opens databases as the person who logged in through
// it, the server's own sessions open everything, and lists are edited by directory names only.
#include "fixture.h"
#include "notes/admin/access.h"
#include "notes/admin/directory.h"
#include "notes/admin/templates.h"

#include <string>
#include <vector>

class AccessTest : public NotesTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        using notes::templates::Kind;
        ASSERT_EQ(notes::templates::create("Mail1", "names.nsf", Kind::Directory), NOERROR);
        ASSERT_EQ(notes::templates::create("Mail1", "mail/jdoe.nsf", Kind::Mail), NOERROR);
        ASSERT_EQ(notes::templates::create("Mail1", "mail/jsmith.nsf", Kind::Mail), NOERROR);
        createDb("Mail1", "other.nsf");
        DBHANDLE dir = NULLHANDLE;
        ASSERT_EQ(NSFDbOpen("Mail1!!names.nsf", &dir), NOERROR);
        for (const auto& [full, shortName, password] : {std::tuple{"CN=Jane Doe/O=Acme", "jdoe", "jane-pw"},
                                                        {"CN=John Smith/O=Acme", "jsmith", "john-pw"},
                                                        {"CN=John Smith/O=Partner", "jsmith2", ""}}) {
            notes::directory::Person p;
            p.fullName = full;
            p.shortName = shortName;
            p.mailServer = "CN=Mail1/O=Acme";
            if (*password) {
                ASSERT_EQ(notes::directory::hashPassword(password, &p.passwordDigest), NOERROR);
            }
            ASSERT_EQ(notes::directory::addPerson(dir, p), NOERROR);
        }
        notes::directory::Group sales;
        sales.name = "Sales";
        sales.members = {"CN=Jane Doe/O=Acme"};
        ASSERT_EQ(notes::directory::addGroup(dir, sales), NOERROR);
        NSFDbClose(dir);
    }

    // What a login does: the session binds the directory, the lookup hands out the password's
    // digest, the check verifies it.
    static STATUS login(LNNotesSession& session, const char* name, const char* password) {
        LNDatabase directory;
        EXPECT_EQ(session.GetDatabase("names.nsf", &directory, "Mail1"), LNNOERROR);
        std::string digest;
        return lookupUser(name, &digest) > 0 && !digest.empty() ? verifyPassword(password, digest)
                                                                : ERR_PASSWORD_MISMATCH;
    }

    static LNSTATUS open(LNNotesSession& session, const char* path) {
        LNDatabase db;
        EXPECT_EQ(session.GetDatabase(path, &db, "Mail1"), LNNOERROR);
        return db.Open();
    }

    static STATUS setReader(const char* path, const std::string& name, bool reader,
                            std::string* full = nullptr) {
        DBHANDLE h = NULLHANDLE;
        EXPECT_EQ(NSFDbOpen((std::string("Mail1!!") + path).c_str(), &h), NOERROR);
        const STATUS s = notes::access::setReader(h, name, reader, full);
        NSFDbClose(h);
        return s;
    }

    static std::vector<std::string> readers(const char* path, bool* hasList = nullptr) {
        DBHANDLE h = NULLHANDLE;
        EXPECT_EQ(NSFDbOpen((std::string("Mail1!!") + path).c_str(), &h), NOERROR);
        std::vector<std::string> out;
        bool has = false;
        EXPECT_EQ(notes::access::readers(h, &out, &has), NOERROR);
        NSFDbClose(h);
        if (hasList)
            *hasList = has;
        return out;
    }
};

TEST_F(AccessTest, EachSessionOpensAsItsOwnUser) {
    LNNotesSession jane, john, server, failed;
    for (LNNotesSession* s : {&jane, &john, &server, &failed})
        ASSERT_EQ(s->Init(), LNNOERROR);
    ASSERT_EQ(login(jane, "jdoe", "jane-pw"), NOERROR);
    ASSERT_EQ(login(john, "John Smith/Acme", "john-pw"), NOERROR); // a later login leaves Jane's alone
    ASSERT_EQ(login(failed, "jdoe", "wrong"), ERR_PASSWORD_MISMATCH);

    const struct {
        const char* what;
        LNNotesSession* session;
        const char* path;
        LNSTATUS before, afterGrant;
    } cases[] = {
        {"Jane's own file", &jane, "mail/jdoe.nsf", LNNOERROR, LNNOERROR},
        {"Jane reads John's once granted", &jane, "mail/jsmith.nsf", ERR_NOACCESS, LNNOERROR},
        {"John's own file", &john, "mail/jsmith.nsf", LNNOERROR, LNNOERROR},
        {"John is not granted Jane's", &john, "mail/jdoe.nsf", ERR_NOACCESS, ERR_NOACCESS},
        {"a database without a list", &john, "other.nsf", LNNOERROR, LNNOERROR},
        {"the server reads every file", &server, "mail/jdoe.nsf", LNNOERROR, LNNOERROR},
        {"a failed login reads no mail file", &failed, "mail/jdoe.nsf", ERR_NOACCESS, ERR_NOACCESS},
        {"... not even one she is granted", &failed, "mail/jsmith.nsf", ERR_NOACCESS, ERR_NOACCESS},
        {"... but an open database", &failed, "other.nsf", LNNOERROR, LNNOERROR},
    };
    for (const auto& c : cases)
        EXPECT_EQ(open(*c.session, c.path), c.before) << c.what;
    ASSERT_EQ(setReader("mail/jsmith.nsf", "jdoe", true), NOERROR);
    for (const auto& c : cases)
        EXPECT_EQ(open(*c.session, c.path), c.afterGrant) << c.what;

    char text[LNERROR_MESSAGE_LENGTH] = {};
    LNGetErrorMessageText(ERR_NOACCESS, text, sizeof text);
    EXPECT_STREQ(text, "You are not authorized to access that database");
    // A session started again has no one logged in.
    ASSERT_EQ(failed.Term(), LNNOERROR);
    ASSERT_EQ(failed.Init(), LNNOERROR);
    EXPECT_EQ(open(failed, "mail/jsmith.nsf"), LNNOERROR);
}

// Which names a list takes is nsfadmin acl's test; here: where lists are, and that they last.
TEST_F(AccessTest, MailFilesHaveAListThatLasts) {
    bool hasList = false;
    EXPECT_TRUE(readers("mail/jsmith.nsf", &hasList).empty());
    EXPECT_TRUE(hasList) << "the mail template's default: nobody but the owner";
    readers("other.nsf", &hasList);
    EXPECT_FALSE(hasList);
    EXPECT_EQ(setReader("other.nsf", "jdoe", true), ERR_INVALID_PARAM);
    readers("other.nsf", &hasList);
    EXPECT_FALSE(hasList) << "a refused grant writes nothing";

    std::string full;
    ASSERT_EQ(setReader("mail/jsmith.nsf", "jdoe", true, &full), NOERROR);
    EXPECT_EQ(full, "CN=Jane Doe/O=Acme");
    DBHANDLE h = NULLHANDLE;
    ASSERT_EQ(NSFDbOpen("Mail1!!mail/jsmith.nsf", &h), NOERROR);
    EXPECT_EQ(notes::templates::apply(h, notes::templates::Kind::Mail), NOERROR);
    NSFDbClose(h);
    EXPECT_EQ(readers("mail/jsmith.nsf"), std::vector<std::string>{full}) << "kept by a new design";
}
