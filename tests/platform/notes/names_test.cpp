#include "fixture.h"

TEST(NotesNames, AbbreviatesCanonicalNames) {
    LNNotesSession s;
    EXPECT_EQ(s.AbbreviateName("CN=John Doe/OU=Sales/O=Acme/C=US"), "John Doe/Sales/Acme/US");
    EXPECT_EQ(s.AbbreviateName("CN=Mail1/O=Acme"), "Mail1/Acme");
    EXPECT_EQ(s.AbbreviateName("cn=Jane Roe / o=Acme"), "Jane Roe/Acme");
    EXPECT_EQ(s.AbbreviateName("CN=John Doe/O=Acme@AcmeDomain"), "John Doe/Acme@AcmeDomain");
}

TEST(NotesNames, CanonicalizesAbbreviatedNames) {
    LNNotesSession s;
    EXPECT_EQ(s.CanonicalizeName("John Doe/Sales/Acme/US"), "CN=John Doe/OU=Sales/O=Acme/C=US");
    EXPECT_EQ(s.CanonicalizeName("John Doe/Acme"), "CN=John Doe/O=Acme");
    EXPECT_EQ(s.CanonicalizeName("John Doe/East/Sales/Acme"), "CN=John Doe/OU=East/OU=Sales/O=Acme");
    EXPECT_EQ(s.CanonicalizeName("Jane/Acme/DE"), "CN=Jane/O=Acme/C=DE");
    EXPECT_EQ(s.CanonicalizeName("cn=John Doe/o=Acme"), "CN=John Doe/O=Acme");
}

TEST(NotesNames, RoundTripsBothWays) {
    LNNotesSession s;
    for (const char* name : {"CN=A B/OU=X/O=Y/C=US", "CN=Mail1/O=Acme", "CN=Jo/OU=A/OU=B/O=Org"}) {
        EXPECT_EQ(s.CanonicalizeName(s.AbbreviateName(name)), name);
    }
}

TEST(NotesNames, FlatNamesPassUnchanged) {
    LNNotesSession s;
    for (const char* name : {"John Doe", "jdoe@acme.com", "LocalDomainServers", ""}) {
        EXPECT_EQ(s.AbbreviateName(name), name);
        EXPECT_EQ(s.CanonicalizeName(name), name);
    }
}

TEST(NotesNames, CApiCopiesIntoTheCallersBuffer) {
    char out[64];
    WORD len = 0;
    ASSERT_EQ(DNCanonicalize(0, nullptr, "John Doe/Acme", out, sizeof out, &len), NOERROR);
    EXPECT_STREQ(out, "CN=John Doe/O=Acme");
    EXPECT_EQ(len, 18);
    char small[8];
    EXPECT_EQ(DNAbbreviate(0, nullptr, "CN=John Doe/O=Acme", small, sizeof small, &len), ERR_BUFFER_TOO_SMALL);
}
