// Names in documents as host recipients and personal groups expanded into addresses, on a logged-in
// provider with a real directory and personal address book.
#include "DirectoryFixture.h"

#include "notes/NotesAddressBook.h"
#include "notes/NotesDocument.h"
#include "notes/NotesUser.h"
#include "provider/MailProvider.h"

#include "Lattice/Base.h"

namespace hx = hxMail::hxNotesProvider;
using Lattice::String;

namespace {

// Opens storeRecipient, which mail documents use from inside.
class AddressedDocument : public hx::NotesDocument {
public:
    using hx::NotesDocument::NotesDocument;
    using hx::NotesDocument::storeRecipient;
};

class RecipientTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        if (HasFatalFailure())
            return;
        addPerson(kDirectory, jane());
        addPerson(kDirectory, person("CN=Dan Director/O=Acme", "dan@acme.example"));
        addGroup(kDirectory, "Everyone", {"Dan Director/Acme", "Jane Doe/Acme"});
        addPerson(kPersonal, person("CN=Pat Personal", "pat@home.example", ""));
        addPerson(kPersonal, person("CN=Dan Director/O=Acme", "dan.private@home.example")); // in both books

        provider = static_cast<hx::MailProvider*>(Lattice::ClassFactory::create("MailProvider"));
        ASSERT_TRUE(provider);
        ASSERT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 0);
        provider->lockAll();
        scratch = new AddressedDocument();
        static_cast<hx::NotesDocument*>(scratch.get())->openDocument(unused, provider.get(), false);
    }

    void TearDown() override {
        scratch.reset();
        if (provider)
            provider->unlockAll();
        LNSetThrowAllErrorsGlobal(FALSE);
        provider.reset();
        DirectoryTest::TearDown();
    }

    static std::vector<std::string> texts(const LNText& list) {
        std::vector<std::string> out;
        for (LNINT i = 0; i < list.GetCount(); ++i)
            out.emplace_back(list[i].GetTextPtr());
        return out;
    }

    Lattice::Ptr<hx::MailProvider> provider;
    Lattice::Ptr<AddressedDocument> scratch;
    String unused;
};

} // namespace

TEST_F(RecipientTest, ANameBecomesTheRecipientOfItsUser) {
    hxMail::Recipient* recipient = nullptr;
    hx::NotesUser* user = nullptr;
    LNString name("CN=Jane Doe/O=Acme");
    ASSERT_TRUE(scratch->loadRecipient(name, &recipient, &user));
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(recipient, user->getRecipient());
    EXPECT_EQ(recipient->get_smtpAddress(), "Jane Doe/Acme");
    EXPECT_EQ(recipient->get_displayName(), "Jane Doe");
    EXPECT_FALSE(user->isAuthenticated()) << "a name lookup checks no password";
    user->release();

    // A name nobody has still gives a valid (empty) user: the lookup ran.
    LNString nobody("Nobody At All");
    user = nullptr;
    EXPECT_TRUE(scratch->loadRecipient(nobody, &recipient, &user));
    ASSERT_NE(user, nullptr);
    EXPECT_TRUE(user->getInfo()->mailFile.isEmpty());
    user->release();
}

TEST_F(RecipientTest, MemberDocumentsAndTheirDisplayTypes) {
    hx::NotesAddressBook* personal = provider->getUserAddressBook();
    ASSERT_NE(personal, nullptr);

    Lattice::Ptr<hx::NotesDocument> group;
    group = scratch->getMemberDoc(provider->getDirectory(), "everyone", provider.get());
    ASSERT_TRUE(group);
    group->release(); // the caller's reference
    EXPECT_TRUE(group->isGroup());
    EXPECT_EQ(scratch->getMemberDoc(personal, "Everyone", provider.get()), nullptr);
    EXPECT_EQ(scratch->getMemberDoc(nullptr, "Everyone", provider.get()), nullptr);

    struct Case {
        const char* name;
        long displayType;
        const char* smtp;
    } cases[] = {
        {"Pat Personal", 3, "pat@home.example"},
        {"Dan Director/Acme", 3, "dan.private@home.example"}, // in both books: the personal one wins
        {"Everyone", 1, "Everyone"},
        {"jane.doe@acme.example", 0, "jane.doe@acme.example"},
    };
    for (const Case& c : cases) {
        hxMail::Recipient* r = scratch->getGroupRecipient(personal, c.name, provider.get());
        ASSERT_NE(r, nullptr) << c.name;
        EXPECT_EQ(r->get_displayType(), c.displayType) << c.name;
        EXPECT_EQ(r->get_recipientType(), 4) << c.name;
        EXPECT_EQ(r->get_smtpAddress(), c.smtp) << c.name;
        r->release();
    }
    EXPECT_EQ(scratch->getGroupRecipient(personal, "Nobody", provider.get()), nullptr);

    // The same group is a directory group in one book and a personal group in the other.
    addGroup(kPersonal, "Everyone", {"Pat Personal"});
    hxMail::Recipient* r = scratch->getGroupRecipient(personal, "Everyone", provider.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->get_displayType(), 2);
    r->release();
    Lattice::ObjectCollection list;
    personal->getAddressList(&list, 0, 10, provider.get());
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.at(1).toObject<hxMail::Recipient>()->get_displayType(), 2);
    EXPECT_EQ(list.at(2).toObject<hxMail::Recipient>()->get_displayType(), 3);
}

TEST_F(RecipientTest, PersonalGroupsExpandOnceEachAndCyclesEnd) {
    addGroup(kPersonal, "A", {"Pat Personal", "Everyone", "B", "Ghost", ""});
    addGroup(kPersonal, "B", {"A", "B", "Dan Director/Acme"});
    LNText visited;
    visited.Append("A");
    LNText names;
    LNText all;
    all.Append("earlier@x.example");
    scratch->expandPabGroup("A", visited, names, all);
    EXPECT_EQ(texts(names),
              (std::vector<std::string>{"pat@home.example", "Everyone", "dan.private@home.example"}));
    EXPECT_EQ(texts(all), (std::vector<std::string>{"earlier@x.example", "pat@home.example", "Everyone",
                                                    "dan.private@home.example"}));
    EXPECT_EQ(texts(visited), (std::vector<std::string>{"A", "B"}));

    LNText none;
    scratch->expandPabGroup("", visited, none, all);
    scratch->expandPabGroup("No Such Group", visited, none, all);
    EXPECT_EQ(none.GetCount(), 0);
}

TEST_F(RecipientTest, RecipientListsAreWrittenIntoAddressItems) {
    addGroup(kPersonal, "Friends", {"Pat Personal", "Everyone"});
    LNDatabase* mail = provider->getUserMailDatabase()->getDatabase();
    ASSERT_NE(mail, nullptr);
    LNDocument memo;
    ASSERT_EQ(mail->CreateDocument(&memo, "Memo"), LNNOERROR);
    memo.CreateItem("CopyTo", LNText("keep@x.example"));

    Lattice::Ptr<hxMail::Recipients> to = new hxMail::Recipients();
    Lattice::Ptr<hxMail::Recipient> person = new hxMail::Recipient();
    person->set_smtpAddress("ann@acme.example");
    Lattice::Ptr<hxMail::Recipient> friends = new hxMail::Recipient();
    friends->set_smtpAddress("Friends");
    friends->set_displayType(2);
    to->add(person);
    to->add(friends);
    Lattice::Ptr<hxMail::Recipients> empty = new hxMail::Recipients();

    LNText all;
    scratch->storeRecipient(1, to.get(), all, &memo);
    scratch->storeRecipient(2, empty.get(), all, &memo);
    scratch->storeRecipient(4, to.get(), all, &memo);

    LNItem item;
    ASSERT_EQ(memo.GetItem("SendTo", &item), LNNOERROR);
    LNText sendTo;
    sendTo = item;
    EXPECT_EQ(texts(sendTo), (std::vector<std::string>{"ann@acme.example", "pat@home.example", "Everyone"}));
    ASSERT_EQ(memo.GetItem("CopyTo", &item), LNNOERROR);
    LNText copyTo;
    copyTo = item;
    EXPECT_EQ(texts(copyTo), std::vector<std::string>{"keep@x.example"}) << "no recipients leave the item";
    EXPECT_FALSE(memo.HasItem("BlindCopyTo"));
    EXPECT_EQ(all.GetCount(), 6) << "kind 4 writes no item but still counts its addresses";
    memo.Close();
}
