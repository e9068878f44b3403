// nsfadmin acl: grants by any name form of one directory person, and refusals that leave the list
// as it was.
#include "nsfadmin_fixture.h"

class NsfadminAclTest : public NsfadminRunTest {
protected:
    void SetUp() override {
        NotesTest::SetUp();
        for (const auto& [full, shortName] : {std::pair{"CN=Jane Doe/O=Acme", "jdoe"},
                                              {"CN=John Smith/O=Acme", "jsmith"},
                                              {"CN=John Smith/O=Partner", "jsmith2"}}) {
            nsfadmin::PersonEntry p;
            p.fullName = full;
            p.shortName = shortName;
            ASSERT_EQ(run([&](auto& a) { return a.userAdd("Mail1", p, "pw"); }), nsfadmin::kOk) << err;
        }
        nsfadmin::GroupEntry sales{"Sales", "", "0", {"CN=Jane Doe/O=Acme"}};
        ASSERT_EQ(run([&](auto& a) { return a.groupAdd({"Mail1", ""}, sales); }), nsfadmin::kOk) << err;
        ASSERT_EQ(run([&](auto& a) {
                      return a.dbCreate({"Mail1", "other.nsf"}, "Other", "");
                  }),
                  nsfadmin::kOk);
    }

    int acl(const char* path, const std::string& action, const std::string& name = "",
            const std::string& level = "") {
        return run([&](auto& a) { return a.acl({"Mail1", path}, action, name, level); });
    }
};

TEST_F(NsfadminAclTest, GrantsListsAndRefusals) {
    const std::string jane = "reader\tCN=Jane Doe/O=Acme\n";
    const struct {
        const char* what;
        const char* path;
        std::string action, name, level;
        int code;
        std::string listAfter; // of mail/jsmith
    } steps[] = {
        {"a new mail file lists no one", "mail/jsmith", "list", "", "", nsfadmin::kOk, ""},
        {"by short name", "mail/jsmith", "add", "jdoe", "reader", nsfadmin::kOk, jane},
        {"again by abbreviated name", "mail/jsmith", "add", "Jane Doe/Acme", "reader", nsfadmin::kOk, jane},
        {"nobody", "mail/jsmith", "add", "Nobody", "reader", nsfadmin::kBadInput, jane},
        {"a group", "mail/jsmith", "add", "Sales", "reader", nsfadmin::kBadInput, jane},
        {"two people's name", "mail/jsmith", "add", "John Smith", "reader", nsfadmin::kBadInput, jane},
        {"an unknown level", "mail/jsmith", "add", "jdoe", "editor", nsfadmin::kBadInput, jane},
        {"no level", "mail/jsmith", "add", "jdoe", "", nsfadmin::kBadInput, jane},
        {"an unknown action", "mail/jsmith", "grant", "jdoe", "reader", nsfadmin::kBadInput, jane},
        {"list with a name", "mail/jsmith", "list", "jdoe", "", nsfadmin::kBadInput, jane},
        {"no mail file", "other.nsf", "add", "jdoe", "reader", nsfadmin::kBadInput, jane},
        {"no such file", "mail/nobody", "list", "", "", nsfadmin::kNotesError, jane},
        {"taken away", "mail/jsmith", "add", "JDOE", "none", nsfadmin::kOk, ""},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(acl(s.path, s.action, s.name, s.level), s.code) << s.what << ": " << err;
        EXPECT_EQ(err.find("nsfadmin: ") != std::string::npos, s.code != nsfadmin::kOk) << s.what;
        ASSERT_EQ(acl("mail/jsmith", "list"), nsfadmin::kOk);
        EXPECT_EQ(out, s.listAfter) << s.what;
    }
}
