// Contacts and distribution lists of Jane's personal address book through a logged-in provider:
// the field maps both ways, the name and address rules, lists with nested and cyclic members,
// the recipient folders, and the faults that must leave stored documents intact.
#include "MailFixture.h"

#include "contacts/ContactProvider.h"
#include "contacts/NotesContact.h"
#include "notes/NotesAddressBook.h"

#include "hxMail/Contact.h"
#include "hxMail/Folder.h"

#include <cstring>
#include <functional>
#include <set>

using Lattice::String;

namespace {

using ContactPtr = Lattice::Ptr<hxMail::Contact>;
using DetailPtr = Lattice::Ptr<hxMail::ContactDetail>;
using ListPtr = Lattice::Ptr<hxMail::DistributionList>;

std::string member(const Lattice::SchemaBase& object, const char* path) {
    Lattice::Data value;
    return object.getMemberByPath(path, value, false) ? value.toString(false).str() : "(no member)";
}

Lattice::Ptr<hxMail::Recipient> recipientNamed(const std::string& name) {
    Lattice::Ptr<hxMail::Recipient> r = new hxMail::Recipient();
    r->set_emailAddress(name);
    return r;
}

} // namespace

class ContactTest : public MailTest {
protected:
    void SetUp() override {
        MailTest::SetUp();
        if (HasFatalFailure())
            return;
        bobId = addPerson(kDirectory, person("CN=Bob Smith/O=Acme", "bob@acme.example"));
        loginAndList();
        contacts = provider->contactProvider();
        ASSERT_NE(contacts, nullptr);
    }

    // A stored item of a personal address book document, read as Notes holds it.
    std::string itemOf(const std::string& unid, const char* item, hx::NotesDatabase* book = nullptr) {
        provider->lockAll();
        String id(unid);
        std::string value;
        {
            Lattice::Ptr<hx::NotesDocument> doc =
                new hx::NotesDocument(id, provider, book ? book : provider->getUserAddressBook(), false);
            value = doc->loadFailed() ? "(no document)" : doc->getItemString(item, false).str();
        }
        provider->unlockAll();
        return value;
    }

    std::string add(ContactPtr contact, DetailPtr detail = new hxMail::ContactDetail()) {
        EXPECT_EQ(contacts->addContact("", contact, detail), 0);
        return contact->get_id().str();
    }

    // Ann Lee, with her mail address, added to the book; returns her id.
    std::string addAnn(ContactPtr contact = new hxMail::Contact(),
                       DetailPtr detail = new hxMail::ContactDetail()) {
        contact->set_eMail1("ann@example.com");
        detail->set_displayName("Ann Lee");
        return add(contact, detail);
    }

    std::string addList(const std::string& name, const std::vector<std::string>& members) {
        ListPtr list = new hxMail::DistributionList();
        list->set_name(name.c_str());
        for (const std::string& m : members)
            list->get_memberList()->add(Lattice::Data(recipientNamed(m)));
        bool flag = false;
        EXPECT_EQ(contacts->addDistributionList("", list, flag), 0);
        EXPECT_FALSE(flag) << "adding a list leaves the flag alone";
        return list->get_id().str();
    }

    // The Contacts folder's rows: contacts and lists, in name order.
    Lattice::ObjectCollection contactRows() {
        Lattice::ObjectCollection items;
        String selected;
        EXPECT_EQ(provider->setSortContext("name", folderId("Contacts").c_str(), true, "", selected), 0);
        EXPECT_EQ(provider->getFolderItemsPage(folderId("Contacts").c_str(), 0, 1000, &items), 0);
        return items;
    }

    template <class T> T* row(const std::string& id) {
        static Lattice::ObjectCollection keep;
        keep = contactRows();
        for (const Lattice::Data& d : keep)
            if (auto* item = d.toObject<T>(); item && item->get_id() == id.c_str())
                return item;
        return nullptr;
    }

    std::vector<std::string> memberAddresses(const std::string& listId) {
        std::vector<std::string> out;
        if (auto* list = row<hxMail::DistributionList>(listId))
            for (const Lattice::Data& d : *list->get_memberList())
                out.push_back(d.toObject<hxMail::Recipient>()->get_smtpAddress().str());
        return out;
    }

    hxMail::ContactProvider* contacts = nullptr;
    std::string bobId;
};

TEST_F(ContactTest, EveryRowOfBothFieldMapsCrossesBothWays) {
    const std::pair<const hx::_contactMapStruct*, long> maps[] = {
        {hx::contactFieldMap, hx::contactFieldMapCount}, {hx::detailFieldMap, hx::detailFieldMapCount}};
    ASSERT_EQ(hx::contactFieldMapCount, 22);
    ASSERT_EQ(hx::detailFieldMapCount, 36);

    // Host to Notes: a distinct value per row, with a character Notes holds in its own set.
    ContactPtr contact = new hxMail::Contact();
    DetailPtr detail = new hxMail::ContactDetail();
    for (int m = 0; m < 2; ++m)
        for (long i = 0; i < maps[m].second; ++i)
            ASSERT_TRUE((m == 0 ? static_cast<Lattice::SchemaBase&>(*contact) : *detail)
                            .setMemberByPath(maps[m].first[i].path,
                                             Lattice::Data(String("\xC3\xA9") + maps[m].first[i].path),
                                             false))
                << maps[m].first[i].path;
    detail->set_selectedMailingAddress(2);
    detail->set_body("first line\nsecond line");
    const std::string id = add(contact, detail);
    ASSERT_EQ(id.size(), 32u);
    std::set<std::string> items;
    for (int m = 0; m < 2; ++m)
        for (long i = 0; i < maps[m].second; ++i) {
            const hx::_contactMapStruct& r = maps[m].first[i];
            EXPECT_STREQ(r.type, "string");
            if (!items.insert(r.item).second || std::string(r.item) == "FullName")
                continue;
            EXPECT_EQ(itemOf(id, r.item), std::string("\xE9") + r.path) << r.item;
        }
    EXPECT_EQ(itemOf(id, "FullName"), "\xE9"
                                      "displayName")
        << "the detail's name is written last";
    EXPECT_EQ(itemOf(id, "Type"), "Person");
    EXPECT_EQ(itemOf(id, "Form"), "Person");

    // Notes to host: the document read back through the folder and the detail operation.
    hxMail::Contact* listed = row<hxMail::Contact>(id);
    ASSERT_NE(listed, nullptr);
    DetailPtr opened;
    ASSERT_EQ(contacts->getContactDetail(id.c_str(), opened), 0);
    ASSERT_TRUE(opened);
    for (int m = 0; m < 2; ++m)
        for (long i = 0; i < maps[m].second; ++i) {
            const hx::_contactMapStruct& r = maps[m].first[i];
            const std::string expected = std::string(r.item) == "FullName" ? "\xC3\xA9"
                                                                             "displayName"
                                                                           : std::string("\xC3\xA9") + r.path;
            EXPECT_EQ(member(m == 0 ? static_cast<const Lattice::SchemaBase&>(*listed) : *opened, r.path),
                      expected)
                << r.path;
        }
    EXPECT_EQ(listed->get_contactDetail()->get_selectedMailingAddress(), 2);
    EXPECT_EQ(opened->get_body(), "first line\nsecond line");
    EXPECT_EQ(listed->get_iconType(), 2);
    EXPECT_EQ(listed->get_homeAddress()->get_fullAddress(),
              "\xC3\xA9homeAddress.street\n\xC3\xA9homeAddress.city, \xC3\xA9homeAddress.state "
              "\xC3\xA9homeAddress.postalCode\n\xC3\xA9homeAddress.country");
    EXPECT_EQ(listed->get_contactDetail()->get_otherAddress()->get_country(), "\xC3\xA9otherAddress.country")
        << "the other address keeps its country beside its city";
}

TEST_F(ContactTest, NamesParseAndComposeByTheTable) {
    struct Case {
        const char* text;
        const char *title, *first, *middle, *last, *suffix, *fileAs;
    };
    // The documented table (docs/contact-names.md), awkward cases included.
    const Case cases[] = {
        {"Dr. John Smith", "Dr.", "John", "", "Smith", "", "Smith, John"},
        {"John Quincy Adams Jr.", "", "John", "Quincy", "Adams", "Jr.", "Adams, John Quincy"},
        {"Smith, John", "", "John", "", "Smith", "", "Smith, John"},
        {"Smith, John Jr.", "", "John", "", "Smith", "Jr.", "Smith, John"},
        {"Dr. Smith Jr.", "Dr.", "Smith", "", "", "Jr.", ", Smith"},
        {"Professor Ann Lee", "Professor", "Ann", "", "Lee", "", "Lee, Ann"},
        {"Madonna", "", "", "", "Madonna", "", "Madonna"},
        {"  Madonna  ", "", "", "", "Madonna", "", "Madonna"},
        {"", "", "", "", "", "", ""},
        {"Lee, Ann, Jr.", "", "Ann", "", "Lee", "Jr.", "Lee, Ann"},
        {"John Smith, Jr.", "", "John", "", "Smith", "Jr.", "Smith, John"},
        {"Lee , Ann Marie", "", "Ann", "Marie", "Lee", "", "Lee, Ann Marie"},
        {"Mr. Ann B. C. Lee III", "Mr.", "Ann", "B. C.", "Lee", "III", "Lee, Ann B. C."},
        {"Ann\r\nLee", "", "Ann", "", "Lee", "", "Lee, Ann"},
        {"O'Brien \"Pat\" Kelly", "", "O'Brien", "\"Pat\"", "Kelly", "", "Kelly, O'Brien \"Pat\""},
        {"\xE5\xB1\xB1\xE7\x94\xB0 \xE5\xA4\xAA\xE9\x83\x8E", "", "\xE5\xB1\xB1\xE7\x94\xB0", "",
         "\xE5\xA4\xAA\xE9\x83\x8E", "", "\xE5\xA4\xAA\xE9\x83\x8E, \xE5\xB1\xB1\xE7\x94\xB0"},
        {"Ann Marie Sen", "", "Ann", "", "Marie", "Sen", "Marie, Ann"},
    };
    for (const Case& c : cases) {
        String title, first, last, middle, suffix, fileAs;
        ASSERT_EQ(contacts->fullNameChanged("", c.text, title, first, last, middle, suffix, fileAs), 0);
        EXPECT_EQ((std::vector<std::string>{title.str(), first.str(), middle.str(), last.str(), suffix.str(),
                                            fileAs.str()}),
                  (std::vector<std::string>{c.title, c.first, c.middle, c.last, c.suffix, c.fileAs}))
            << c.text;
    }
    String full, fileAs;
    ASSERT_EQ(contacts->nameChanged("", "Mr.", "Ann", "B.", "Lee", "Jr.", full, fileAs), 0);
    EXPECT_EQ(full, "Mr. Ann B. Lee Jr.");
    EXPECT_EQ(fileAs, "Lee, Ann B.");
    contacts->nameChanged("", "", "Ann", "", "Lee", "", full, fileAs);
    EXPECT_EQ(full, " Ann Lee") << "an empty title still opens the name";
    EXPECT_EQ(fileAs, "Lee, Ann");
}

TEST_F(ContactTest, AddressesParseAndComposeByTheTable) {
    struct Case {
        const char* text;
        const char *street, *city, *state, *postal, *country;
        bool roundTrip;
    };
    const Case cases[] = {
        {"1 Main St\nSpringfield, IL 62701\nUSA", "1 Main St", "Springfield", "IL", "62701", "USA", true},
        {"1 Main St\nSpringfield IL 62701", "1 Main St", "Springfield IL 62701", "", "", "", false},
        {"1 Main St\nSpringfield, IL \nUSA", "1 Main St", "Springfield", "IL", "", "USA", true},
        {"10 Downing St\nLondon, England SW1A 2AA\nUK", "10 Downing St", "London", "England", "SW1A 2AA",
         "UK", true},
        {"5 Park Ave\nNew York City, New York 10022\nUSA", "5 Park Ave", "New York City", "New York", "10022",
         "USA", true},
        {"1 Main St\r\nSpringfield, IL 62701\r\nUSA", "1 Main St", "Springfield", "IL", "62701", "USA",
         false},
        {"only a street\n \n", "only a street", "", "", "", "", true},
        {"", "", "", "", "", "", false},
        {"\xE6\x9D\xB1\xE4\xBA\xAC\n\xE5\x8D\x83\xE4\xBB\xA3\xE7\x94\xB0, \xE6\x9D\xB1\xE4\xBA\xAC 100-0001\n"
         "\xE6\x97\xA5\xE6\x9C\xAC",
         "\xE6\x9D\xB1\xE4\xBA\xAC", "\xE5\x8D\x83\xE4\xBB\xA3\xE7\x94\xB0", "\xE6\x9D\xB1\xE4\xBA\xAC",
         "100-0001", "\xE6\x97\xA5\xE6\x9C\xAC", true},
    };
    for (const Case& c : cases) {
        Lattice::Ptr<hxMail::Address> address;
        ASSERT_EQ(contacts->fullAddressChanged("", c.text, address), 0);
        ASSERT_TRUE(address);
        EXPECT_EQ((std::vector<std::string>{address->get_street().str(), address->get_city().str(),
                                            address->get_state().str(), address->get_postalCode().str(),
                                            address->get_country().str(), address->get_fullAddress().str()}),
                  (std::vector<std::string>{c.street, c.city, c.state, c.postal, c.country, c.text}))
            << c.text;
        String composed;
        ASSERT_EQ(contacts->addressChanged("", address, "", composed), 0);
        if (c.roundTrip) {
            EXPECT_EQ(composed, c.text);
        }
    }
}

TEST_F(ContactTest, TheMailingAddressIsStoredOrDerivedFromTheAddresses) {
    struct Case {
        std::vector<std::pair<std::string, std::vector<std::string>>> items;
        long expected;
    };
    const Case cases[] = {
        {{{"StreetAddress", {"1 Home Rd"}}, {"OfficeStreetAddress", {"2 Work St"}}}, 1},
        {{{"OfficeStreetAddress", {"2 Work St"}}, {"OtherStreet", {"3 Else Ln"}}}, 2},
        {{{"OtherStreet", {"3 Else Ln"}}}, 3},
        {{{"City", {"no street, no address"}}}, 0},
    };
    for (const Case& c : cases) {
        auto items = c.items;
        items.push_back({"Form", {"Person"}});
        items.push_back({"FullName", {"Ann Lee"}});
        const std::string id = addDoc(kPersonal, items);
        hxMail::Contact* listed = row<hxMail::Contact>(id);
        ASSERT_NE(listed, nullptr);
        EXPECT_EQ(listed->get_contactDetail()->get_selectedMailingAddress(), c.expected) << c.items[0].first;
        EXPECT_EQ(listed->get_fileAsName(), "Ann Lee");
        contacts->removeContact(id.c_str());
    }
    // A stored choice wins over the derived one.
    ContactPtr contact = new hxMail::Contact();
    contact->get_homeAddress()->set_street("1 Home Rd");
    DetailPtr detail = new hxMail::ContactDetail();
    detail->set_selectedMailingAddress(2);
    const std::string id = add(contact, detail);
    EXPECT_EQ(row<hxMail::Contact>(id)->get_contactDetail()->get_selectedMailingAddress(), 2);
}

TEST_F(ContactTest, ContactsAreSavedRemovedAndListedByName) {
    ContactPtr ann = new hxMail::Contact();
    ann->set_fileAsName("Lee, Ann");
    ann->set_eMail1("ann@example.com");
    DetailPtr detail = new hxMail::ContactDetail();
    detail->set_displayName("Ann Lee");
    const std::string annId = add(ann, detail);
    ContactPtr only = new hxMail::Contact();
    only->set_fileAsName("Zed Only");
    const std::string onlyId = add(only, nullptr);
    EXPECT_EQ(itemOf(onlyId, "FullName"), "Zed Only") << "without a detail the file-as name is kept";

    // Both names come back as the stored display name (the file-as name is not stored apart).
    EXPECT_EQ(row<hxMail::Contact>(annId)->get_fileAsName(), "Ann Lee");
    Lattice::ObjectCollection labels;
    String labelType;
    ASSERT_EQ(provider->getSortIndex(folderId("Contacts").c_str(), "", 1, &labels, labelType, 0), 0);
    ASSERT_GE(labels.count(), 2);
    EXPECT_EQ(labels.at(0).toString(false), "Ann Lee");

    ann->set_eMail1("ann@new.example");
    detail->set_jobTitle("Editor");
    bool flag = false;
    ASSERT_EQ(contacts->saveContact(ann, detail, flag), 0);
    EXPECT_TRUE(flag);
    EXPECT_EQ(itemOf(annId, "MailAddress"), "ann@new.example");
    EXPECT_EQ(itemOf(annId, "JobTitle"), "Editor");

    ContactPtr noId = new hxMail::Contact();
    flag = false;
    EXPECT_EQ(contacts->saveContact(noId, detail, flag), 0);
    EXPECT_TRUE(flag) << "set on every path";

    EXPECT_EQ(contacts->removeContact(annId.c_str()), 0);
    EXPECT_EQ(itemOf(annId, "FullName"), "(no document)");
    EXPECT_EQ(contacts->removeContact(""), 0);
    EXPECT_EQ(row<hxMail::Contact>(onlyId)->get_fileAsName(), "Zed Only");
}

TEST_F(ContactTest, AddingARecipientContactDerivesItsNamesAndAnswersIt) {
    ContactPtr contact = new hxMail::Contact();
    contact->set_eMail1("john.adams@example.com");
    DetailPtr detail = new hxMail::ContactDetail();
    detail->set_displayName("John Quincy Adams Jr.");
    Lattice::Ptr<hxMail::Recipient> recipient;
    bool flag = false;
    ASSERT_EQ(contacts->addContactGetRecipient("", contact, detail, recipient, flag), 0);
    EXPECT_TRUE(flag);
    ASSERT_TRUE(recipient);
    EXPECT_EQ(recipient->get_smtpAddress(), "john.adams@example.com");
    EXPECT_EQ(recipient->get_displayName(), "John Quincy Adams Jr.");
    EXPECT_EQ(recipient->get_displayType(), 3) << "a person of the personal address book";
    EXPECT_EQ(recipient->get_id(), contact->get_id());
    EXPECT_EQ((std::vector<std::string>{detail->get_first().str(), detail->get_middle().str(),
                                        detail->get_last().str(), detail->get_suffix().str()}),
              (std::vector<std::string>{"John", "Quincy", "Adams", "Jr."}));
    EXPECT_EQ(contact->get_fileAsName(), "Adams, John Quincy");
    EXPECT_EQ(itemOf(contact->get_id().str(), "LastName"), "Adams");

    // The new contact is found as a recipient at once.
    Lattice::ObjectCollection found;
    ASSERT_EQ(contacts->getFilteredRecipients("Quincy", &found), 0);
    ASSERT_EQ(found.count(), 1);
}

TEST_F(ContactTest, RecipientFoldersAndTheirListings) {
    Lattice::ObjectCollection folders;
    ASSERT_EQ(contacts->getContactFolders("X", &folders), 0);
    ASSERT_EQ(folders.count(), 2);
    const std::vector<std::pair<std::string, std::string>> expected{{"XNOTESGAL", "Global Address List"},
                                                                    {"XNOTESPAB", "Personal Address Book"}};
    for (long i = 0; i < 2; ++i) {
        auto* f = folders.at(i).toObject<hxMail::RecipientFolder>();
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->get_id().str(), expected[i].first);
        EXPECT_EQ(f->get_displayName().str(), expected[i].second);
        EXPECT_FALSE(f->get_isSystem());
    }
    for (int n = 0; n < 3; ++n) {
        ContactPtr c = new hxMail::Contact();
        c->set_eMail1(("p" + std::to_string(n) + "@example.com").c_str());
        DetailPtr d = new hxMail::ContactDetail();
        d->set_displayName(("Person " + std::to_string(n)).c_str());
        add(c, d);
    }
    addList("Team", {"Person 0"});
    Lattice::Ptr<hxMail::Folder> pab = folders.at(1).toObject<hxMail::Folder>();
    Lattice::Ptr<hxMail::Recipients> listed;
    ASSERT_EQ(contacts->getRecipients("", pab, listed), 0);
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->count(), 4) << "the whole book: three people and the list";
    Lattice::Ptr<hxMail::Recipients> directory;
    contacts->getRecipients("", folders.at(0).toObject<hxMail::Folder>(), directory);
    EXPECT_EQ(directory->count(), 2) << "Jane and Bob";
}

TEST_F(ContactTest, ListsHoldNestedAndCyclicMembers) {
    const std::string annId = addAnn();

    const std::string inner = addList("Inner", {"Ann Lee", "CN=Bob Smith/O=Acme", "", "Nobody Known"});
    EXPECT_EQ(itemOf(inner, "GroupType"), "1");
    EXPECT_EQ(itemOf(inner, "Form"), "Group");
    EXPECT_EQ(itemOf(inner, "Type"), "Group");
    // The empty name is not stored; the unknown one is stored and left out when read.
    EXPECT_EQ(memberAddresses(inner), (std::vector<std::string>{"ann@example.com", "bob@acme.example"}));

    const std::string outer = addList("Outer", {"Inner", "Outer", "ann lee", "Ann Lee"});
    ListPtr read(row<hxMail::DistributionList>(outer));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->get_iconType(), 14);
    ASSERT_EQ(read->get_memberList()->count(), 2) << "no list names itself; a name is kept once";
    auto* first = read->get_memberList()->at(0).toObject<hxMail::Recipient>();
    EXPECT_EQ(first->get_displayType(), 2) << "a nested list of the personal address book";

    // A cycle through three lists: saved as given, expanded once each when mail is addressed.
    const std::string a = addList("Cycle A", {"Ann Lee"});
    const std::string b = addList("Cycle B", {"Cycle A", "CN=Bob Smith/O=Acme"});
    const std::string c = addList("Cycle C", {"Cycle B"});
    read = row<hxMail::DistributionList>(a);
    read->get_memberList()->add(Lattice::Data(recipientNamed("Cycle C")));
    bool flag = false;
    ASSERT_EQ(contacts->saveDistributionList(read, flag), 0);
    EXPECT_TRUE(flag);
    provider->lockAll();
    {
        String unused;
        Lattice::Ptr<hx::NotesDocument> scratch = new hx::NotesDocument();
        LNText visited, names, all;
        visited.Append("Cycle C");
        scratch->openDocument(unused, provider, false);
        scratch->expandPabGroup("Cycle C", visited, names, all);
        std::vector<std::string> got;
        for (LNINT i = 0; i < names.GetCount(); ++i)
            got.emplace_back(names[i].GetTextPtr());
        EXPECT_EQ(got, (std::vector<std::string>{"ann@example.com", "CN=Bob Smith/O=Acme"}));
    }
    provider->unlockAll();

    // Deleting a contact a list names: the list reads without it; its stored name stays.
    ASSERT_EQ(contacts->removeContact(annId.c_str()), 0);
    EXPECT_EQ(memberAddresses(inner), (std::vector<std::string>{"bob@acme.example"}));
    ListPtr keep = new hxMail::DistributionList();
    keep->set_id(b.c_str());
    keep->set_name("Cycle B renamed");
    keep->set_memberList(nullptr);
    ASSERT_EQ(contacts->saveDistributionList(keep, flag), 0);
    EXPECT_EQ(itemOf(b, "ListName"), "Cycle B renamed");
    EXPECT_EQ(memberAddresses(b).size(), 2u) << "a list saved without a member list keeps its members";
}

TEST_F(ContactTest, FaultsHaveTheirDocumentedResultAndWriteNothingHalf) {
    ContactPtr contact = new hxMail::Contact();
    DetailPtr detail = new hxMail::ContactDetail();
    const std::string id = addAnn(contact, detail);
    bool flag = false;

    struct Case {
        const char* what;
        std::function<void(hxMail::Contact&, hxMail::ContactDetail&)> change;
        const char* item;
        std::string stored; // what the item holds afterwards
    };
    const std::string big(64 * 1024, 'x');
    const Case cases[] = {
        {"a 64 KB value is refused whole",
         [&](auto& c, auto& d) {
             c.set_eMail1("changed@example.com");
             d.set_company(big.c_str());
         },
         "MailAddress", "ann@example.com"},
        {"just under the limit is kept",
         [&](auto&, auto& d) { d.set_company(std::string(65000, 'y').c_str()); }, "CompanyName",
         std::string(65000, 'y')},
        {"quotes and commas are plain text", [](auto&, auto& d) { d.set_displayName("Lee, \"Ann\" Marie"); },
         "FullName", "Lee, \"Ann\" Marie"},
        {"line ends stay", [](auto&, auto& d) { d.set_displayName("Ann\r\nLee"); }, "FullName", "Ann\r\nLee"},
        {"NUL is dropped", [](auto&, auto& d) { d.set_displayName(String("Ann\0Lee", 7)); }, "FullName",
         "AnnLee"},
        {"invalid UTF-8 becomes '?'", [](auto&, auto& d) { d.set_displayName("Ann \xC3 Lee"); }, "FullName",
         "Ann ? Lee"},
        {"characters beyond the Notes set become '?'",
         [](auto&, auto& d) { d.set_displayName("Ann \xE6\xBC\xA2"); }, "FullName", "Ann ?"},
    };
    for (const Case& c : cases) {
        ContactPtr edited = new hxMail::Contact();
        edited->set_id(id.c_str());
        edited->set_eMail1(itemOf(id, "MailAddress").c_str());
        DetailPtr d = new hxMail::ContactDetail();
        d->set_displayName(itemOf(id, "FullName").c_str());
        c.change(*edited, *d);
        ASSERT_EQ(contacts->saveContact(edited, d, flag), 0) << c.what;
        EXPECT_EQ(itemOf(id, c.item), c.stored) << c.what;
    }
    EXPECT_NE(logText().find("the value of company is longer than 65000 bytes"), std::string::npos);

    // The directory is read-only for users: its ids find nothing in the personal address book.
    ContactPtr directoryPerson = new hxMail::Contact();
    directoryPerson->set_id(bobId.c_str());
    directoryPerson->set_eMail1("hijack@example.com");
    ASSERT_EQ(contacts->saveContact(directoryPerson, detail, flag), 0);
    ASSERT_EQ(contacts->removeContact(bobId.c_str()), 0);
    DetailPtr opened = new hxMail::ContactDetail();
    ASSERT_EQ(contacts->getContactDetail(bobId.c_str(), opened), 0);
    EXPECT_TRUE(opened->get_displayName().isEmpty());
    EXPECT_EQ(itemOf(bobId, "InternetAddress", provider->getDirectory()), "bob@acme.example");
    EXPECT_NE(logText().find("saveContact: the personal address book has no contact with the id " + bobId),
              std::string::npos);
    // Nor does a list's id open as a contact.
    const std::string list = addList("Team", {"Ann Lee"});
    ContactPtr notAContact = new hxMail::Contact();
    notAContact->set_id(list.c_str());
    ASSERT_EQ(contacts->saveContact(notAContact, detail, flag), 0);
    EXPECT_EQ(itemOf(list, "Form"), "Group");

    // Before a login nothing reaches the account.
    hx::MailProvider* fresh = makeProvider();
    EXPECT_EQ(fresh->contactProvider()->addContact("", contact, detail), hxMail::kNotSupported);
    EXPECT_EQ(fresh->contactProvider()->removeContact(id.c_str()), hxMail::kNotSupported);
    fresh->release();
}

TEST_F(ContactTest, TwoProvidersEditingOneContactLastSaveWinsWhole) {
    const std::string id = addAnn();
    hx::MailProvider* other = makeProvider();
    ASSERT_EQ(other->login("jdoe", "demo-password", "", 0, 0), 0);
    auto edit = [&](hx::MailProvider* p, const char* mail, const char* job) {
        ContactPtr c = new hxMail::Contact();
        c->set_id(id.c_str());
        c->set_eMail1(mail);
        DetailPtr d = new hxMail::ContactDetail();
        d->set_displayName("Ann Lee");
        d->set_jobTitle(job);
        bool flag = false;
        EXPECT_EQ(p->contactProvider()->saveContact(c, d, flag), 0);
    };
    edit(provider, "first@example.com", "Editor");
    edit(other, "second@example.com", "");
    EXPECT_EQ(itemOf(id, "MailAddress"), "second@example.com");
    EXPECT_EQ(itemOf(id, "JobTitle"), "") << "a save writes every field it maps, not only the changed ones";
    other->release();
}

TEST_F(ContactTest, AChangeItemCarriesTheNewContactWhole) {
    ContactPtr contact = new hxMail::Contact();
    DetailPtr detail = new hxMail::ContactDetail();
    detail->set_displayName("Ann Lee");
    const std::string contactId = add(contact, detail);
    provider->lockAll();
    {
        String id(contactId);
        Lattice::Ptr<hx::NotesContact> c = new hx::NotesContact(id, provider, provider->getUserAddressBook());
        EXPECT_FALSE(c->getChangeItem(false)) << "only new documents are announced";
        Lattice::Ptr<hxMail::ChangeItem> change = c->getChangeItem(true);
        auto* copy = dynamic_cast<hxMail::ChangeItemCopy*>(change.get());
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(copy->get_itemId().str(), contactId);
        auto* item = dynamic_cast<hxMail::Contact*>(copy->get_item().get());
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->get_fileAsName(), "Ann Lee");
    }
    provider->unlockAll();
}

// A list's members are resolved once and kept until either book changes: every change, made through
// the provider or straight in a book, shows on the next read of the listing.
TEST_F(ContactTest, AListReadsItsMembersAsTheBooksHoldThemNow) {
    const std::string annId = addAnn();
    const std::string team = addList("Team", {"Ann Lee", "CN=Bob Smith/O=Acme"});
    const auto setItem = [&](const char* db, const std::string& unid, const char* item,
                             const std::string& text) {
        changeNote(
            unid,
            [&](NOTEHANDLE h) {
                NSFItemDelete(h, item, static_cast<WORD>(std::strlen(item)));
                append(h, item, TYPE_TEXT, text);
            },
            db);
    };
    const struct {
        const char* what;
        std::function<void()> change;
        std::vector<std::string> members;
    } steps[] = {
        {"as saved", [] {}, {"ann@example.com", "bob@acme.example"}},
        {"read again", [] {}, {"ann@example.com", "bob@acme.example"}},
        {"a member's contact changed by the host",
         [&] {
             ContactPtr ann = new hxMail::Contact();
             DetailPtr detail = new hxMail::ContactDetail();
             ann->set_id(annId.c_str());
             ann->set_eMail1("ann.lee@example.com");
             detail->set_displayName("Ann Lee");
             bool flag = false;
             ASSERT_EQ(contacts->saveContact(ann, detail, flag), 0);
         },
         {"ann.lee@example.com", "bob@acme.example"}},
        {"a directory person changed by another program",
         [&] { setItem(kDirectory, bobId, "InternetAddress", "robert@acme.example"); },
         {"ann.lee@example.com", "robert@acme.example"}},
        {"the list's members changed by another program",
         [&] { setItem(kPersonal, team, "Members", "CN=Bob Smith/O=Acme"); },
         {"robert@acme.example"}},
        {"the list saved by the host",
         [&] {
             ListPtr list(row<hxMail::DistributionList>(team));
             ASSERT_TRUE(list);
             list->get_memberList()->add(Lattice::Data(recipientNamed("Ann Lee")));
             bool flag = false;
             ASSERT_EQ(contacts->saveDistributionList(list, flag), 0);
         },
         {"robert@acme.example", "ann.lee@example.com"}},
    };
    for (const auto& step : steps) {
        step.change();
        EXPECT_EQ(memberAddresses(team), step.members) << step.what;
    }
    // Rows are the host's own: changing one read leaves the next one as stored.
    row<hxMail::DistributionList>(team)
        ->get_memberList()
        ->at(0)
        .toObject<hxMail::Recipient>()
        ->set_smtpAddress("x");
    EXPECT_EQ(memberAddresses(team), steps[std::size(steps) - 1].members);
}
