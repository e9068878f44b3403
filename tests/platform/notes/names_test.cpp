#include "fixture.h"

// Each row converts both ways; flat names (no components) pass unchanged either way.
TEST(NotesNames, AbbreviatesAndCanonicalizesBothWays) {
    const struct {
        const char* canonical;
        const char* abbreviated;
        bool roundTrips; // canonical -> abbreviated -> canonical gives the row's canonical form back
    } kCases[] = {
        {"CN=John Doe/OU=Sales/O=Acme/C=US", "John Doe/Sales/Acme/US", true},
        {"CN=Mail1/O=Acme", "Mail1/Acme", true},
        {"CN=John Doe/O=Acme", "John Doe/Acme", true},
        {"CN=Jo/OU=A/OU=B/O=Org", "Jo/A/B/Org", true},
        {"CN=John Doe/O=Acme@AcmeDomain", "John Doe/Acme@AcmeDomain", false},
        {"CN=John Doe/OU=East/OU=Sales/O=Acme", "John Doe/East/Sales/Acme", true},
        {"CN=Jane/O=Acme/C=DE", "Jane/Acme/DE", true},
        {"CN=A B/OU=X/O=Y/C=US", "A B/X/Y/US", true},
        {"John Doe", "John Doe", true},
        {"jdoe@acme.com", "jdoe@acme.com", true},
        {"LocalDomainServers", "LocalDomainServers", true},
        {"", "", true},
    };
    LNNotesSession s;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.canonical);
        EXPECT_EQ(s.AbbreviateName(c.canonical), c.abbreviated);
        if (c.roundTrips) {
            EXPECT_EQ(s.CanonicalizeName(c.abbreviated), c.canonical);
            EXPECT_EQ(s.CanonicalizeName(s.AbbreviateName(c.canonical)), c.canonical);
        }
    }
    // Lower-case keys and blanks around the separators are normalised.
    EXPECT_EQ(s.AbbreviateName("cn=Jane Roe / o=Acme"), "Jane Roe/Acme");
    EXPECT_EQ(s.CanonicalizeName("cn=John Doe/o=Acme"), "CN=John Doe/O=Acme");
}

TEST(NotesNames, CApiCopiesIntoTheCallersBuffer) {
    char out[64];
    WORD len = 0;
    ASSERT_EQ(DNCanonicalize(0, nullptr, "John Doe/Acme", out, sizeof out, &len), NOERROR);
    EXPECT_STREQ(out, "CN=John Doe/O=Acme");
    EXPECT_EQ(len, 18);
    char small[8];
    EXPECT_EQ(DNAbbreviate(0, nullptr, "CN=John Doe/O=Acme", small, sizeof small, &len),
              ERR_BUFFER_TOO_SMALL);
}
