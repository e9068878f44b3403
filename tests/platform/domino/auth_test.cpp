// Logins: the challenge, every malformed or wrong credential, the names a person logs in with,
// the credential cache, and what reaches the access log.
#include "fixture.h"

#include "admin.h"

#include <algorithm>
#include <sstream>

class DominoAuth : public DominoTest {
protected:
    void SetUp() override {
        DominoTest::SetUp();
        unid = addMemo("jdoe", memo("Hello", "Body text"));
        target = "/Mail1/mail/jdoe.nsf/($All)/" + unid + "?OpenDocument";
    }
    std::string unid, target;
};

TEST_F(DominoAuth, EveryBadCredentialIsChallenged) {
    startServer();
    const std::vector<std::string> bad = {
        "",                                          // none
        "Bearer abc",                                // another scheme
        "Basic",                                     // nothing after the scheme
        "Basic ",                                    //
        "Basic !!!!",                                // not Base64
        "Basic " + base64("jdoe:jane-pw").substr(1), //
        "Basic " + base64("jdoe jane-pw"),           // no colon
        "Basic " + base64(":jane-pw"),               // no name
        basic("nobody", "jane-pw"),                  // unknown user
        basic("jdoe", "wrong"),                      // wrong password
        basic("jdoe", ""),                           //
        basic("jdoe", "jane-pw "),                   //
        basic("jdoe", std::string(2000, 'x')),       // longer than any password
        basic("Mail1", "jane-pw"),                   // not a person
        "Basic " + std::string(5000, 'A'),           // absurdly long
    };
    for (const std::string& header : bad) {
        auto r = get(target, header);
        ASSERT_TRUE(r) << header.substr(0, 40);
        EXPECT_EQ(r->status, 401) << header.substr(0, 40);
        EXPECT_EQ(r->get_header_value("WWW-Authenticate"), "Basic realm=\"Domino\"");
        EXPECT_EQ(r->body.find("Body text"), std::string::npos);
    }
    EXPECT_EQ(status("/Mail9/x.nsf/0/" + unid, ""), 401) << "challenged before any document is looked at";
}

TEST_F(DominoAuth, AnyNameOfTheDirectoryLogsIn) {
    domino::Options options;
    options.realm = "Acme Mail";
    startServer(options);
    for (const char* name :
         {"jdoe", "JDOE", "Jane Doe/Acme", "CN=Jane Doe/O=Acme", "jane.doe@acme.example", "Jane Doe"}) {
        EXPECT_EQ(status(target, basic(name, "jane-pw")), 200) << name;
    }
    EXPECT_EQ(status(target, "bAsIc   " + base64("jdoe:jane-pw") + " "), 200);
    auto r = get(target, basic("jdoe", "nope"));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->get_header_value("WWW-Authenticate"), "Basic realm=\"Acme Mail\"");
}

// A name that logs nobody in (unknown, not a person, or the name of several people) pays a digest
// check too, against a digest nobody has, so that the answer time does not tell which names the
// directory knows.
TEST_F(DominoAuth, NamesThatLogNobodyInStillPayADigestCheck) {
    {
        std::ostringstream out, err;
        nsfadmin::Admin admin(dir, out, err);
        nsfadmin::PersonEntry other;
        other.fullName = "CN=Jane Doe/O=Sales";
        other.shortName = "jdoe2";
        other.internetAddress = "jane.doe@sales.example";
        ASSERT_EQ(admin.userAdd("Mail1", other, "jane-pw"), nsfadmin::kOk) << err.str();
    }
    startServer();
    const struct {
        std::string header;
        std::uint64_t checks, decoys; // after this request, counted from the start
    } cases[] = {
        {basic("nobody", "jane-pw"), 0, 1},        // unknown
        {basic("Mail1", "jane-pw"), 0, 2},         // not a person
        {basic("jdoe", "wrong"), 1, 2},            // a person: the real check
        {basic("nobody@acme.example", "x"), 1, 3}, //
        {"Basic " + base64("nobody"), 1, 3},       // malformed: no name to look up
        {basic("Jane Doe", "jane-pw"), 1, 4},      // two people
    };
    for (const auto& c : cases) {
        ASSERT_EQ(status(target, c.header), 401) << c.header;
        EXPECT_EQ(server->stats().passwordChecks, c.checks) << c.header;
        EXPECT_EQ(server->stats().decoyChecks, c.decoys) << c.header;
    }
    EXPECT_EQ(status(target, basic("jdoe", "jane-pw")), 200) << "an unambiguous name still logs in";
    std::lock_guard<std::mutex> lock(logMutex);
    EXPECT_EQ(std::count(log.begin(), log.end(),
                         "login refused: the name \"Jane Doe\" matches 2 people in the directory"),
              1);
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("jane-pw"), std::string::npos) << line;
    }
}

TEST_F(DominoAuth, VerifiedCredentialsAreCachedForTheirLifetimeOnly) {
    domino::Options options;
    options.credentialLifetime = std::chrono::seconds(60);
    startServer(options);
    ASSERT_EQ(status(target, kJane), 200);
    EXPECT_EQ(server->stats().passwordChecks, 1u);
    ASSERT_EQ(status(target, kJane), 200);
    ASSERT_EQ(status(target, kJane), 200);
    EXPECT_EQ(server->stats().passwordChecks, 1u);
    EXPECT_EQ(server->stats().credentialCacheHits, 2u);
    // Wrong passwords are never cached: each one pays the check.
    ASSERT_EQ(status(target, basic("jdoe", "wrong")), 401);
    ASSERT_EQ(status(target, basic("jdoe", "wrong")), 401);
    EXPECT_EQ(server->stats().passwordChecks, 3u);
    // Another name for the same person is another header: checked once on its own.
    ASSERT_EQ(status(target, basic("jane.doe@acme.example", "jane-pw")), 200);
    EXPECT_EQ(server->stats().passwordChecks, 4u);
    clockSeconds += 59;
    ASSERT_EQ(status(target, kJane), 200);
    EXPECT_EQ(server->stats().passwordChecks, 4u);
    clockSeconds += 2;
    ASSERT_EQ(status(target, kJane), 200);
    EXPECT_EQ(server->stats().passwordChecks, 5u);
}

TEST_F(DominoAuth, CacheIsBoundedAndCanBeSwitchedOff) {
    domino::Options options;
    options.credentialCacheSize = 1;
    startServer(options);
    ASSERT_EQ(status(target, kJane), 200);
    ASSERT_EQ(status(target, kJohn), 403);
    ASSERT_EQ(status(target, kJane), 200); // John pushed Jane out
    EXPECT_EQ(server->stats().passwordChecks, 3u);
    ASSERT_EQ(status(target, kJane), 200);
    EXPECT_EQ(server->stats().passwordChecks, 3u);

    server->stop();
    options.credentialLifetime = std::chrono::seconds(0);
    startServer(options);
    ASSERT_EQ(status(target, kJane), 200);
    ASSERT_EQ(status(target, kJane), 200);
    EXPECT_EQ(server->stats().passwordChecks, 2u);
}

TEST_F(DominoAuth, AccessLogHasUserAndStatusButNoSecrets) {
    startServer();
    ASSERT_EQ(status(target, basic("jdoe", "jane-pw")), 200);
    ASSERT_EQ(status(target + "&password=jane-pw", basic("jdoe", "bad-secret")), 401);
    std::lock_guard<std::mutex> lock(logMutex);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_NE(log[0].find("\"Jane Doe/Acme\" GET /Mail1/mail/jdoe.nsf/($All)/" + unid + " 200"),
              std::string::npos)
        << log[0];
    EXPECT_NE(log[1].find("\"-\" GET"), std::string::npos) << log[1];
    EXPECT_NE(log[1].find(" 401"), std::string::npos) << log[1];
    for (const std::string& line : log) {
        for (const std::string& secret :
             {std::string("jane-pw"), std::string("bad-secret"), base64("jdoe:jane-pw"), std::string("Basic"),
              std::string("$argon2")}) {
            EXPECT_EQ(line.find(secret), std::string::npos) << line;
        }
    }
}

TEST_F(DominoAuth, StartRefusesABadDataFolderAndABusyPort) {
    domino::WebServer missing(dir + "/nowhere");
    EXPECT_THROW(missing.start(0), domino::StartError);
    startServer();
    domino::WebServer second(dir);
    EXPECT_THROW(second.start(server->port()), domino::StartError);
    domino::Options elsewhere;
    elsewhere.bindAddress = "192.0.2.1"; // not an address of this machine
    domino::WebServer third(dir, elsewhere);
    EXPECT_THROW(third.start(0), domino::StartError);
}
