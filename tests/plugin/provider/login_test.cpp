// Login, mailbox, logout and the address lists as the host drives them: the plug-in loaded with
// dlopen, a provider from its factory, and only the host's provider interfaces.
#include "DirectoryFixture.h"

#include "notes/NotesUser.h"
#include "provider/MailProvider.h"
#include "provider/NotesProviderFactory.h"

#include "hxMail/Folder.h"

#include <dlfcn.h>

#include <memory>

namespace hx = hxMail::hxNotesProvider;
using Lattice::String;

namespace {

hx::NotesProviderFactory* newFactory() {
    static void* module = dlopen(HX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(module, nullptr) << dlerror();
    using Entry = hx::NotesProviderFactory* (*)();
    auto entry = module ? reinterpret_cast<Entry>(dlsym(module, "getMailProviderInterface")) : nullptr;
    return entry ? entry() : nullptr;
}

class LoginTest : public DirectoryTest {
protected:
    void SetUp() override {
        DirectoryTest::SetUp();
        if (HasFatalFailure())
            return;
        addPerson(kDirectory, jane());
        factory.reset(newFactory());
        ASSERT_NE(factory, nullptr);
        provider = newProvider();
    }

    void TearDown() override {
        provider.reset();
        factory.reset();
        DirectoryTest::TearDown();
    }

    Lattice::Ptr<hxMail::MailProvider> newProvider() {
        Lattice::Ptr<hxMail::MailProvider> made = factory->createProvider();
        EXPECT_TRUE(made);
        return made;
    }

    // The plug-in's view of the user, for what the host interface does not show.
    static const hx::_UserInfoStruct* record(hxMail::MailProvider* p) {
        hx::NotesUser* user = static_cast<hx::MailProvider*>(p)->getUser();
        return user ? user->getInfo() : nullptr;
    }

    // The recipient folders, listed as the host lists them under the mailbox.
    std::pair<String, String> bookIds(hxMail::MailProvider* p) {
        Lattice::ObjectCollection folders;
        EXPECT_EQ(p->contactProvider()->getContactFolders("MBX", &folders), 0);
        EXPECT_EQ(folders.count(), 2);
        return {folders.at(0).toObject<hxMail::Folder>()->get_id(),
                folders.at(1).toObject<hxMail::Folder>()->get_id()};
    }

    static std::vector<std::string> names(const Lattice::ObjectCollection& list) {
        std::vector<std::string> out;
        for (const Lattice::Data& d : list)
            out.push_back(d.toObject<hxMail::Recipient>()->get_displayName().str());
        return out;
    }

    std::unique_ptr<hx::NotesProviderFactory> factory;
    Lattice::Ptr<hxMail::MailProvider> provider;
};

} // namespace

TEST_F(LoginTest, TheRightPasswordLogsInAndFindsTheUsersDatabases) {
    EXPECT_EQ(provider->login("Jane Doe", "demo-password", "", 0, 0), 0);
    EXPECT_TRUE(provider->isAuthenticated());
    const hx::_UserInfoStruct* info = record(provider.get());
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->authenticated);
    EXPECT_TRUE(info->validUser);
    EXPECT_EQ(info->commonName, "Jane Doe");
    EXPECT_EQ(info->abbreviatedName, "Jane Doe/Acme");
    EXPECT_EQ(info->loginName, "CN=Jane Doe/O=Acme") << "the directory's full name replaces the login name";
    EXPECT_EQ(info->mailFile, "mail\\jdoe");
    EXPECT_EQ(info->addressBookPath, "pab/jdoe_pab");
    EXPECT_EQ(info->shortName, "jdoe");
    auto* notes = static_cast<hx::MailProvider*>(provider.get());
    ASSERT_NE(notes->getUserMailDatabase(), nullptr);
    ASSERT_NE(notes->getUserAddressBook(), nullptr);
    EXPECT_TRUE(notes->getUserAddressBook()->isPersonalBook());
    EXPECT_FALSE(notes->getUserMailDatabase()->isOpen()) << "no handle stays open between host calls";
    EXPECT_FALSE(LNGetThrowAllErrorsGlobal()) << "throw-all-errors mode ends with the call";

    // Notes mail: the recipient is addressed by its Notes names.
    const hxMail::Recipient* me = info->recipient;
    EXPECT_EQ(me->get_emailType(), "NOTES");
    EXPECT_EQ(me->get_smtpAddress(), "Jane Doe/Acme");
    EXPECT_EQ(me->get_emailAddress(), "CN=Jane Doe/O=Acme");
    EXPECT_TRUE(me->get_id().endsWith("---CN=Jane Doe/O=Acme")) << me->get_id().c_str();

    // Short name and Internet address are lookup keys too, ignoring case.
    Lattice::Ptr<hxMail::MailProvider> second = newProvider();
    EXPECT_EQ(second->login("JDOE", "demo-password", "", 0, 0), 0);
    Lattice::Ptr<hxMail::MailProvider> third = newProvider();
    EXPECT_EQ(third->login("jane.doe@acme.example", "demo-password", "", 0, 0), 0);
}

TEST_F(LoginTest, AProviderKeepsItsFirstAnswerUntilLogout) {
    // Verifying checks the password without marking the host's session logged in.
    Lattice::Ptr<hxMail::MailProvider> verifier = newProvider();
    EXPECT_TRUE(verifier->verifyLogin("Jane Doe", "demo-password", "ignored", 1, 2, 3));
    EXPECT_FALSE(verifier->isAuthenticated());
    EXPECT_FALSE(newProvider()->verifyLogin("Jane Doe", "nope", "", 0, 0, 0));

    EXPECT_EQ(provider->login("jdoe", "wrong", "", 0, 0), 1);
    EXPECT_FALSE(provider->isAuthenticated());
    ASSERT_NE(record(provider.get()), nullptr) << "the failed user is kept";
    EXPECT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 1);
    EXPECT_FALSE(provider->verifyLogin("jdoe", "demo-password", "", 0, 0, 0));

    EXPECT_EQ(provider->logout(), 0);
    EXPECT_EQ(record(provider.get()), nullptr);
    EXPECT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 0);
    // The other way round: once in, a wrong password changes nothing either.
    EXPECT_EQ(provider->login("jdoe", "wrong", "", 0, 0), 0);
    EXPECT_EQ(provider->logout(), 0);
    EXPECT_FALSE(provider->isAuthenticated());
    EXPECT_EQ(static_cast<hx::MailProvider*>(provider.get())->getUserMailDatabase(), nullptr);
    EXPECT_EQ(provider->logout(), 0) << "logging out twice is harmless";
}

TEST_F(LoginTest, UnknownNamesEmptyAndOverlongInputFail) {
    EXPECT_EQ(provider->login("Nobody Here", "demo-password", "", 0, 0), 1);
    const hx::_UserInfoStruct* info = record(provider.get());
    ASSERT_NE(info, nullptr);
    EXPECT_TRUE(info->validUser) << "the lookup ran, it found no one";
    EXPECT_FALSE(info->authenticated);
    EXPECT_TRUE(info->mailFile.isEmpty());

    const std::pair<std::string, std::string> refused[] = {{"", "demo-password"},
                                                           {std::string(2000, 'x'), "demo-password"},
                                                           {std::string("Jane Doe\0x", 10), "demo-password"},
                                                           {"jdoe", std::string(5000, 'p')},
                                                           {"jdoe", ""}};
    for (const auto& [name, password] : refused) {
        Lattice::Ptr<hxMail::MailProvider> p = newProvider();
        EXPECT_EQ(p->login(name, password, "", 0, 0), 1) << name.size() << " " << password.size();
    }

    // A person without a digest cannot log in with any password.
    PersonDoc nopass = jane();
    nopass.fullName = "CN=Max Nopass/O=Acme";
    nopass.shortName = "max";
    nopass.internetAddress = "max@acme.example";
    nopass.password.clear();
    addPerson(kDirectory, nopass);
    EXPECT_EQ(newProvider()->login("max", "", "", 0, 0), 1);
}

TEST_F(LoginTest, AProviderWithoutASessionAnswersFailure) {
    setenv("NOTES_DATA_DIR", (dir + "/missing").c_str(), 1);
    Lattice::Ptr<hxMail::MailProvider> broken = newProvider();
    EXPECT_EQ(broken->login("jdoe", "demo-password", "", 0, 0), 1);
    EXPECT_FALSE(broken->verifyLogin("jdoe", "demo-password", "", 0, 0, 0));
    Lattice::Ptr<hxMail::Mailbox> box;
    EXPECT_EQ(broken->getMailbox("", box), hxMail::kNotSupported);
    EXPECT_FALSE(box);
    EXPECT_EQ(broken->logout(), 0);
    long count = 7;
    EXPECT_EQ(broken->getAddressListCount("xNOTESGAL", count), hxMail::kNotSupported);
    EXPECT_EQ(count, 7);
}

TEST_F(LoginTest, AMissingDirectoryIsReportedAndFailsTheLogin) {
    ASSERT_EQ(NSFDbDelete("Mail1!!names.nsf"), NOERROR);
    testing::internal::CaptureStdout();
    EXPECT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Error: unable to look up names in N&A books.\n"), std::string::npos) << out;
    EXPECT_EQ(record(provider.get()), nullptr);
}

TEST_F(LoginTest, UntilALoginSucceedsNothingOfTheAccountShows) {
    // A logged-in provider hands out the ids a stranger would try.
    Lattice::Ptr<hxMail::MailProvider> owner = newProvider();
    ASSERT_EQ(owner->login("jdoe", "demo-password", "", 0, 0), 0);
    Lattice::Ptr<hxMail::Mailbox> ownerBox;
    ASSERT_EQ(owner->getMailbox("", ownerBox), 0);
    const auto [gal, pab] = bookIds(owner.get());

    for (const char* password : {"", "wrong"}) {
        SCOPED_TRACE(password);
        Lattice::Ptr<hxMail::MailProvider> p = newProvider();
        if (*password) {
            EXPECT_EQ(p->login("jdoe", password, "", 0, 0), 1);
        }
        Lattice::ObjectCollection out;
        out.add(Lattice::Data("sentinel"));
        Lattice::Ptr<hxMail::Mailbox> box;
        long count = 7;
        long start = 5;
        long other = 6;
        bool done = false;
        String label = "before";
        String selected = "before";
        const long answers[] = {
            p->getMailbox("", box),
            p->getFolders("", ownerBox->get_id(), &out),
            p->getFolderItemsPage("any", 0, 10, &out),
            p->getSortIndex("any", "", 10, &out, label, 0),
            p->setSortContext("subject", "any", true, "", selected),
            p->deleteItems("any", out, false, done),
            p->markAllRead("any"),
            p->markFolderRead("any", 0, 0, 0),
            p->setShowPreview("any", false),
            p->getAddressListCount(gal, count),
            p->getAddressList(gal, 10, &out),
            p->getAddressListPage(pab, 0, 10, &out),
            p->findAddressList(gal, "J", 10, 0, &out, start, other),
            p->contactProvider()->getFilteredRecipients("jane", &out),
        };
        for (long answer : answers)
            EXPECT_EQ(answer, hxMail::kNotSupported);
        EXPECT_FALSE(box);
        EXPECT_EQ(out.count(), 1) << "outputs stay as they were";
        EXPECT_EQ(count, 7);
        EXPECT_EQ(start, 5);
        EXPECT_FALSE(done);
        EXPECT_EQ(label, "before");
        EXPECT_EQ(selected, "before");
    }
}

TEST_F(LoginTest, ANameThatTwoPeopleShareLogsNobodyIn) {
    PersonDoc twin = jane();
    twin.fullName = "CN=Jane Doe/O=Other";
    twin.internetAddress = "jane.doe@other.example";
    twin.mailFile = "mail\\jdoe2";
    twin.password = "twin-password";
    addPerson(kDirectory, twin);
    for (const char* password : {"demo-password", "twin-password"}) {
        Lattice::Ptr<hxMail::MailProvider> p = newProvider();
        EXPECT_EQ(p->login("jdoe", password, "", 0, 0), 1) << password;
    }
    EXPECT_NE(logText().find("Login name jdoe matches 2 people in the directory; login refused"),
              std::string::npos)
        << logText();
    // Names that still tell the two apart log in as before.
    EXPECT_EQ(provider->login("jane.doe@acme.example", "demo-password", "", 0, 0), 0);
}

TEST_F(LoginTest, AMailFileThatCannotBeOpenedFailsTheLogin) {
    PersonDoc lost = jane();
    lost.fullName = "CN=Lou Lost/O=Acme";
    lost.shortName = "llost";
    lost.internetAddress = "lou@acme.example";
    lost.mailFile = "mail\\nowhere";
    addPerson(kDirectory, lost);
    EXPECT_EQ(provider->login("llost", "demo-password", "", 0, 0), 1);
    EXPECT_FALSE(provider->isAuthenticated());
    EXPECT_NE(logText().find("Mail file mail\\nowhere on CN=Mail1/O=Acme cannot be opened; login refused"),
              std::string::npos)
        << logText();
    Lattice::ObjectCollection folders;
    EXPECT_EQ(provider->getFolders("", "", &folders), hxMail::kNotSupported);
}

TEST_F(LoginTest, PasswordsReachNeitherTheLogNorStandardOutput) {
    testing::internal::CaptureStdout();
    provider->login("jdoe", "Wrong-Secret-1", "", 0, 0);
    provider->logout();
    provider->login("jdoe", "demo-password", "", 0, 0);
    Lattice::Ptr<hxMail::Mailbox> box;
    provider->getMailbox("", box);
    Lattice::ObjectCollection found;
    provider->contactProvider()->getFilteredRecipients("jane", &found);
    provider.reset();
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string log = logText();
    for (const char* secret : {"Wrong-Secret-1", "demo-password", "ZGVtby1wYXNzd29yZA"}) {
        EXPECT_EQ(out.find(secret), std::string::npos) << secret;
        EXPECT_EQ(log.find(secret), std::string::npos) << secret;
    }
}

TEST_F(LoginTest, TheMailboxIsTheUsersAndNewEachTime) {
    Lattice::Ptr<hxMail::Mailbox> box;
    EXPECT_EQ(provider->getMailbox("", box), hxMail::kNotSupported);
    EXPECT_FALSE(box) << "no user, no mailbox";

    ASSERT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 0);
    EXPECT_EQ(provider->getMailbox("ignored", box), 0);
    ASSERT_TRUE(box);
    EXPECT_FALSE(box->get_id().isEmpty());
    EXPECT_EQ(box->get_displayName(), "Jane Doe");
    EXPECT_TRUE(box->get_isSystem());
    ASSERT_TRUE(box->get_person());
    EXPECT_EQ(box->get_person()->get_fullName(), "Jane Doe");
    EXPECT_EQ(box->get_person()->get_firstName(), "Jane");
    EXPECT_EQ(box->get_person()->get_lastName(), "Doe");
    ASSERT_TRUE(box->get_person()->get_recipient());
    EXPECT_EQ(box->get_person()->get_recipient()->get_smtpAddress(), "Jane Doe/Acme");
    auto* notes = static_cast<hx::MailProvider*>(provider.get());
    EXPECT_EQ(notes->getMailboxId(), box->get_id());
    EXPECT_EQ(notes->getUserMailDatabase()->getMailboxFolderId(), box->get_id());

    Lattice::Ptr<hxMail::Mailbox> again;
    provider->getMailbox("", again);
    EXPECT_NE(again->get_id(), box->get_id());
    EXPECT_EQ(notes->getMailboxId(), again->get_id());
    EXPECT_FALSE(LNGetThrowAllErrorsGlobal());
}

TEST_F(LoginTest, SmtpUsersAndDirectoryDetails) {
    PersonDoc smtp = jane();
    smtp.fullName = "CN=Sam Smtp/O=Acme";
    smtp.shortName = "ssmtp";
    smtp.internetAddress = "sam@example.org";
    smtp.mailSystem = "5";
    smtp.mailFile = "mail\\ssmtp";
    smtp.shortNameAsList = true;
    addPerson(kDirectory, smtp);
    ASSERT_EQ(notes::templates::create("Mail1", "mail/ssmtp.nsf", notes::templates::Kind::Mail), NOERROR);
    EXPECT_EQ(provider->login("sam@example.org", "demo-password", "", 0, 0), 0);
    const hx::_UserInfoStruct* info = record(provider.get());
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->recipient->get_emailType(), "SMTP");
    EXPECT_EQ(info->recipient->get_smtpAddress(), "sam@example.org");
    EXPECT_TRUE(info->recipient->get_emailAddress().isEmpty());
    EXPECT_TRUE(info->shortName.isEmpty()) << "a short name kept as a list is not taken";
    EXPECT_EQ(info->addressBookPath, "pab/ssmtp_pab");
}

TEST_F(LoginTest, AddressListsPageThroughTheChosenBook) {
    for (const std::string n : {"Adam Apple", "Bea Berry", "Carl Cherry", "Dora Date"})
        addPerson(kDirectory, person("CN=" + n + "/O=Acme", n.substr(0, n.find(' ')) + "@acme.example"));
    addPerson(kDirectory, person("CN=Emil Empty/O=Acme"));
    PersonDoc viaMail = person("CN=Fred Fallback/O=Acme");
    viaMail.mailAddress = "fred@elsewhere.example";
    addPerson(kDirectory, viaMail);
    addGroup(kDirectory, "Sales", {"Adam Apple/Acme"});
    // Directory order: Adam, Bea, Carl, Dora, Emil, Fred, Jane, Sales.

    ASSERT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 0);
    const auto [gal, pab] = bookIds(provider.get());
    EXPECT_EQ(gal, "MBXNOTESGAL");
    EXPECT_EQ(pab, "MBXNOTESPAB");

    // An unknown book leaves the count alone.
    const std::pair<String, long> counts[] = {{gal, 8}, {pab, 0}, {"MBXNOTESXYZ", -5}, {"", -5}};
    for (const auto& [book, expected] : counts) {
        long count = -5;
        EXPECT_EQ(provider->getAddressListCount(book, count), 0) << book.c_str();
        EXPECT_EQ(count, expected) << book.c_str();
    }

    auto page = [&](long start, long n) {
        Lattice::ObjectCollection out;
        EXPECT_EQ(provider->getAddressListPage(gal, start, n, &out), 0);
        return names(out);
    };
    EXPECT_EQ(page(0, 3), (std::vector<std::string>{"Adam Apple", "Bea Berry", "Carl Cherry"}));
    // Emil has no address and is skipped; the page does not reach further to make up for him.
    EXPECT_EQ(page(3, 3), (std::vector<std::string>{"Dora Date", "Fred Fallback"}));
    EXPECT_EQ(page(6, 100), (std::vector<std::string>{"Jane Doe", "Sales"}));
    EXPECT_TRUE(page(8, 5).empty());
    EXPECT_TRUE(page(500, 5).empty());
    // A count of 0 is no limit (the contact provider lists a whole book so).
    EXPECT_EQ(page(5, 0), (std::vector<std::string>{"Fred Fallback", "Jane Doe", "Sales"}));
    EXPECT_TRUE(page(-1, 3).empty());
    EXPECT_TRUE(page(2, -1).empty());
    EXPECT_TRUE(page(LONG_MAX, LONG_MAX).empty());
    EXPECT_EQ(page(7, LONG_MAX), (std::vector<std::string>{"Sales"}));
    EXPECT_FALSE(LNGetThrowAllErrorsGlobal());

    Lattice::ObjectCollection all;
    provider->getAddressList(gal, 100, &all);
    ASSERT_EQ(all.count(), 7);
    const auto* fred = all.at(4).toObject<hxMail::Recipient>();
    EXPECT_EQ(fred->get_smtpAddress(), "fred@elsewhere.example");
    EXPECT_EQ(fred->get_displayType(), 0);
    EXPECT_EQ(fred->get_recipientType(), 0);
    EXPECT_EQ(fred->get_emailAddress(), "CN=Fred Fallback/O=Acme");
    EXPECT_EQ(fred->get_id().length(), 32);
    const auto* sales = all.at(6).toObject<hxMail::Recipient>();
    EXPECT_EQ(sales->get_displayType(), 1);
    EXPECT_EQ(sales->get_smtpAddress(), "Sales");

    // A search position: the entry with that name, else the start.
    long start = -1;
    long unused = 0;
    Lattice::ObjectCollection found;
    EXPECT_EQ(provider->findAddressList(gal, "carl cherry", 2, 0, &found, start, unused), 0);
    EXPECT_EQ(start, 2);
    EXPECT_EQ(names(found), (std::vector<std::string>{"Carl Cherry", "Dora Date"}));
    found.removeAll();
    provider->findAddressList(gal, "Zed Nobody", 2, 0, &found, start, unused);
    EXPECT_EQ(start, 0);
    EXPECT_EQ(names(found), (std::vector<std::string>{"Adam Apple", "Bea Berry"}));
    found.removeAll();
    start = 99;
    provider->findAddressList("elsewhere", "Carl Cherry", 2, 0, &found, start, unused);
    EXPECT_EQ(start, 99) << "no book, nothing touched";
    EXPECT_TRUE(found.isEmpty());
}

TEST_F(LoginTest, SearchCoversBothBooksPersonalFirst) {
    addPerson(kDirectory, person("CN=John Smith/O=Acme", "john.smith@acme.example"));
    addGroup(kDirectory, "Smithy Team", {"John Smith/Acme"});
    addPerson(kPersonal, person("CN=Pat Smithers", "pat@home.example", ""));
    addGroup(kPersonal, "Smith Family", {"Pat Smithers"});

    ASSERT_EQ(provider->login("jdoe", "demo-password", "", 0, 0), 0);
    Lattice::ObjectCollection found;
    EXPECT_EQ(provider->contactProvider()->getFilteredRecipients("smi", &found), 0);
    ASSERT_EQ(names(found),
              (std::vector<std::string>{"Pat Smithers", "Smith Family", "John Smith", "Smithy Team"}));
    const long expectedTypes[] = {3, 2, 0, 1};
    for (long i = 0; i < 4; ++i)
        EXPECT_EQ(found.at(i).toObject<hxMail::Recipient>()->get_displayType(), expectedTypes[i]) << i;
    EXPECT_EQ(found.at(0).toObject<hxMail::Recipient>()->get_emailType(), "SMTP");
    EXPECT_EQ(found.at(2).toObject<hxMail::Recipient>()->get_emailType(), "NOTES");

    // The personal address book lists through its own recipient folder.
    const auto [gal, pab] = bookIds(provider.get());
    Lattice::ObjectCollection personal;
    provider->getAddressListPage(pab, 0, 10, &personal);
    EXPECT_EQ(names(personal), (std::vector<std::string>{"Pat Smithers", "Smith Family"}));

    // Filter text that looks like query syntax is only ever a search term.
    for (const char* hostile : {"x\") OR ([FullName] CONTAINS \"", "smi*) OR ([FullName] CONTAINS a*", "\"",
                                ")", "[", "OR", "smi OR jane", "(((", "*"}) {
        found.removeAll();
        testing::internal::CaptureStdout();
        EXPECT_EQ(provider->contactProvider()->getFilteredRecipients(hostile, &found), 0);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_TRUE(found.isEmpty()) << hostile << " found " << found.count();
        EXPECT_EQ(out.find("Error"), std::string::npos) << hostile << ": " << out;
    }
}
