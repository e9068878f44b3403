#include "hxMail/Items.h"

#include <gtest/gtest.h>

#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace hxMail;
using Lattice::Data;
using Lattice::Ptr;
using Lattice::String;

namespace {

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

Ptr<Recipient> makeRecipient(const char* name, const char* smtp, long type) {
    Ptr<Recipient> r(new Recipient());
    r->set_displayName(name);
    r->set_smtpAddress(smtp);
    r->set_emailAddress(smtp);
    r->set_recipientType(type);
    return r;
}

} // namespace

TEST(MailItemsReflection, EveryContactFieldMapPathResolves) {
    const auto contactPaths =
        words("eMail1 eMail2 eMail3 fileAsName businessAddress.street businessAddress.city "
              "businessAddress.state businessAddress.postalCode businessAddress.country homeAddress.city "
              "homeAddress.country homeAddress.postalCode homeAddress.state homeAddress.street businessPhone "
              "homePhone mobile businessFax homeFax carPhone companyPhone otherPhone");
    const auto detailPaths =
        words("title first last middle suffix jobTitle company pager spouse manager assistant webPage "
              "displayName otherAddress.city otherAddress.country otherAddress.postalCode otherAddress.state "
              "otherAddress.street isdn radio primaryPhone otherFax home2Phone telex ttyttd department "
              "office profession nickname assistantPhone business2Phone callback email1Display email2Display "
              "email3Display IMAddress");
    Ptr<Contact> c(new Contact());
    for (const std::string& p : contactPaths) {
        String value = String("v-") + p.c_str();
        ASSERT_TRUE(c->setMemberByPath(p, Data(value), false)) << p;
        Data out;
        ASSERT_TRUE(c->getMemberByPath(p, out)) << p;
        EXPECT_EQ(out.toString(), value) << p;
    }
    // The addresses are made with the contact, each an object of its own.
    EXPECT_EQ(c->get_businessAddress()->get_city(), "v-businessAddress.city");
    EXPECT_EQ(c->get_homeAddress()->get_city(), "v-homeAddress.city");
    Ptr<ContactDetail> d(new ContactDetail());
    for (const std::string& p : detailPaths) {
        String value = String("v-") + p.c_str();
        ASSERT_TRUE(d->setMemberByPath(p, Data(value), false)) << p;
        Data out;
        ASSERT_TRUE(d->getMemberByPath(p, out)) << p;
        EXPECT_EQ(out.toString(), value) << p;
    }
}

TEST(MailItemsReflection, MissingMembersFailAndChangeNothing) {
    Ptr<Contact> c(new Contact());
    c->get_businessAddress()->set_city("Paris");
    EXPECT_FALSE(c->setMemberByPath("businessAddress.planet", Data("Mars"), true));
    EXPECT_FALSE(c->setMemberByPath("nosuch.city", Data("Rome"), true));
    EXPECT_FALSE(c->setMemberByPath("", Data("x"), true));
    EXPECT_FALSE(c->setMemberByPath("businessAddress.", Data("x"), true));
    EXPECT_FALSE(c->setMemberByPath("businessAddress..city", Data("x"), true));
    EXPECT_FALSE(c->setMemberByPath(".city", Data("x"), true));
    // A step through a plain value is not a path.
    EXPECT_FALSE(c->setMemberByPath("fileAsName.city", Data("x"), true));
    Data out("sentinel");
    EXPECT_FALSE(c->getMemberByPath("businessAddress.planet", out));
    EXPECT_EQ(out.toString(), "sentinel");
    EXPECT_EQ(c->get_businessAddress()->get_city(), "Paris");
    EXPECT_TRUE(c->get_fileAsName().isEmpty());
    // Member names are case-sensitive.
    EXPECT_FALSE(c->setMemberByPath("BusinessAddress.city", Data("x"), false));
    EXPECT_TRUE(c->hasMember("IMAddress") == false);
    EXPECT_TRUE(Ptr<ContactDetail>(new ContactDetail())->hasMember("IMAddress"));
}

TEST(MailItemsReflection, UnsetSubObjectNeedsCreateMissing) {
    Ptr<Contact> c(new Contact());
    ASSERT_TRUE(c->get_contactDetail().isNull());
    EXPECT_FALSE(c->setMemberByPath("contactDetail.jobTitle", Data("Engineer"), false));
    EXPECT_TRUE(c->get_contactDetail().isNull());
    Data out;
    EXPECT_FALSE(c->getMemberByPath("contactDetail.jobTitle", out, false));
    EXPECT_TRUE(c->get_contactDetail().isNull());

    ASSERT_TRUE(c->setMemberByPath("contactDetail.jobTitle", Data("Engineer"), true));
    ASSERT_FALSE(c->get_contactDetail().isNull());
    EXPECT_EQ(c->get_contactDetail()->get_jobTitle(), "Engineer");
    // Two levels deep through the freshly made detail.
    ASSERT_TRUE(c->setMemberByPath("contactDetail.otherAddress.city", Data("Lyon"), false));
    EXPECT_EQ(c->get_contactDetail()->get_otherAddress()->get_city(), "Lyon");

    Ptr<Person> p(new Person());
    EXPECT_FALSE(p->setMemberByPath("recipient.smtpAddress", Data("a@b.c"), false));
    ASSERT_TRUE(p->setMemberByPath("recipient.smtpAddress", Data("a@b.c"), true));
    EXPECT_EQ(p->get_recipient()->get_smtpAddress(), "a@b.c");
}

TEST(MailItemsReflection, ValueKindsAndTypeMismatch) {
    Ptr<Contact> c(new Contact());
    Ptr<Address> home = c->get_homeAddress();
    // A text cannot replace an object member, and an object of the wrong class is refused.
    EXPECT_FALSE(c->setMemberByPath("homeAddress", Data("Paris"), false));
    Ptr<Recipient> r(new Recipient());
    EXPECT_FALSE(c->setMemberByPath("homeAddress", Data(r), false));
    EXPECT_EQ(c->get_homeAddress(), home);
    // The right class is accepted; an empty value clears the member.
    Ptr<Address> other(new Address());
    EXPECT_TRUE(c->setMemberByPath("homeAddress", Data(other), false));
    EXPECT_EQ(c->get_homeAddress(), other);
    EXPECT_TRUE(c->setMemberByPath("homeAddress", Data(), false));
    EXPECT_TRUE(c->get_homeAddress().isNull());

    Ptr<Message> m(new Message());
    EXPECT_EQ(m->get_importance(), MessageItem::ImportanceNormal);
    ASSERT_TRUE(m->setMemberByPath("size", Data(1234L), false));
    ASSERT_TRUE(m->setMemberByPath("readFlag", Data(true), false));
    Lattice::_DateTimeData sent;
    sent.setFullYear(2005);
    sent.month = 1;
    sent.day = 2;
    sent.hour = 15;
    ASSERT_TRUE(m->setMemberByPath("sent", Data(sent), false));
    EXPECT_EQ(m->get_size(), 1234);
    EXPECT_TRUE(m->get_readFlag());
    EXPECT_EQ(m->get_sent(), sent);
    Data out;
    ASSERT_TRUE(m->getMemberByPath("size", out));
    EXPECT_EQ(out.type(), Lattice::DataType::Long);

    Ptr<Task> t(new Task());
    Lattice::_DateData due;
    due.setFullYear(2024);
    due.month = 2;
    due.day = 29;
    ASSERT_TRUE(t->setMemberByPath("dueDate", Data(due), false));
    EXPECT_EQ(t->get_dueDate(), due);
}

TEST(MailItemsReflection, MembersListBaseClassFirst) {
    Ptr<Appointment> a(new Appointment());
    Lattice::Array<String> names = a->memberNames();
    ASSERT_GT(names.count(), 3);
    EXPECT_EQ(names[0], "id");
    EXPECT_EQ(names[1], "subject");
    EXPECT_GE(names.indexOf("busyStatus"), 0);
    EXPECT_LT(names.indexOf("iconType"), names.indexOf("startDate"));
}

TEST(MailItemsCopy, DeepCopyOfMessageDetailIsIndependent) {
    Ptr<MessageDetail> d(new MessageDetail());
    d->set_id("detail-1");
    d->set_textType("text/html");
    d->get_body()->set_text("<p>Hello</p>");
    d->get_to()->add(makeRecipient("Ann Lee", "ann@example.com", 1));
    d->get_to()->add(makeRecipient("Bob Roe", "bob@example.com", 1));
    d->get_cc()->add(makeRecipient("Cy Doe", "cy@example.com", 2));
    d->set_from(makeRecipient("Me", "me@example.com", 0));
    Ptr<Attachment> att(new Attachment());
    att->set_fileName("a.txt");
    att->set_attachNum(0);
    d->get_attachments()->add(att);

    Ptr<MessageDetail> copy(dynamic_cast<MessageDetail*>(d->copy(true)));
    ASSERT_FALSE(copy.isNull());
    EXPECT_TRUE(copy->isA(MessageDetail::classAtom()));
    EXPECT_EQ(copy->get_id(), "detail-1");
    EXPECT_EQ(copy->get_textType(), "text/html");
    EXPECT_EQ(copy->get_body()->get_text(), "<p>Hello</p>");
    ASSERT_EQ(copy->get_to()->count(), 2);
    EXPECT_EQ(copy->get_to()->at(1)->get_smtpAddress(), "bob@example.com");
    ASSERT_EQ(copy->get_cc()->count(), 1);
    EXPECT_EQ(copy->get_bcc()->count(), 0);
    ASSERT_EQ(copy->get_attachments()->count(), 1);
    EXPECT_EQ(copy->get_attachments()->at(0)->get_fileName(), "a.txt");
    ASSERT_FALSE(copy->get_from().isNull());
    EXPECT_EQ(copy->get_from()->get_displayName(), "Me");

    // Nothing is shared: changing the copy leaves the original alone.
    EXPECT_NE(copy->get_to().get(), d->get_to().get());
    EXPECT_NE(copy->get_to()->at(0), d->get_to()->at(0));
    copy->get_to()->at(0)->set_smtpAddress("changed@example.com");
    copy->get_body()->set_text("changed");
    copy->get_cc()->clear();
    EXPECT_EQ(d->get_to()->at(0)->get_smtpAddress(), "ann@example.com");
    EXPECT_EQ(d->get_body()->get_text(), "<p>Hello</p>");
    EXPECT_EQ(d->get_cc()->count(), 1);

    // A shallow copy is a fresh object of the same class.
    Ptr<Lattice::Base> fresh(d->copy(false));
    auto* f = dynamic_cast<MessageDetail*>(fresh.get());
    ASSERT_NE(f, nullptr);
    EXPECT_TRUE(f->get_id().isEmpty());
    EXPECT_EQ(f->get_to()->count(), 0);
}

TEST(MailItemsCopy, DeepCopyKeepsNullSubObjectsNullAndCopiesDerivedMembers) {
    Ptr<AppointmentDetail> d(new AppointmentDetail());
    Ptr<AppointmentAttendee> at(new AppointmentAttendee());
    at->set_attendType(1);
    at->set_recipient(makeRecipient("Ann", "ann@example.com", 1));
    d->get_attendeeList()->add(Data(at));
    Ptr<AppointmentDetail> copy(dynamic_cast<AppointmentDetail*>(d->deepCopy()));
    ASSERT_FALSE(copy.isNull());
    EXPECT_TRUE(copy->get_from().isNull());
    ASSERT_EQ(copy->get_attendeeList()->count(), 1);
    auto* a = copy->get_attendeeList()->at(0).toObject<AppointmentAttendee>();
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, at.get());
    EXPECT_EQ(a->get_recipient()->get_smtpAddress(), "ann@example.com");

    // A detail whose list was cleared to null copies as null, and the holder recovers on add.
    Ptr<Recipients> rs(new Recipients());
    rs->set_list(nullptr);
    Ptr<Recipients> rcopy(dynamic_cast<Recipients*>(rs->deepCopy()));
    EXPECT_TRUE(rcopy->get_list().isNull());
    EXPECT_EQ(rcopy->count(), 0);
    EXPECT_EQ(rcopy->at(0), nullptr);
    rcopy->add(makeRecipient("X", "x@example.com", 1));
    EXPECT_EQ(rcopy->count(), 1);
}

TEST(MailItemsLists, HoldersAddCountAndIndexSafely) {
    Ptr<Recipients> rs(new Recipients());
    EXPECT_EQ(rs->count(), 0);
    rs->add(static_cast<Recipient*>(nullptr));
    EXPECT_EQ(rs->count(), 0);
    rs->add(makeRecipient("A", "a@example.com", 1));
    EXPECT_EQ(rs->at(-1), nullptr);
    EXPECT_EQ(rs->at(1), nullptr);
    ASSERT_NE(rs->at(0), nullptr);
    // An element of another class reads as null rather than a bad cast.
    rs->get_list()->add(Data(Ptr<Address>(new Address())));
    EXPECT_EQ(rs->count(), 2);
    EXPECT_EQ(rs->at(1), nullptr);
    // The list is reachable by member path, as the host's code reaches it.
    Data out;
    ASSERT_TRUE(rs->getMemberByPath("list", out));
    EXPECT_EQ(out.toObject(), rs->get_list().get());
}

TEST(MailItemsFactory, EveryItemClassIsMadeByName) {
    const auto names =
        words("Item MessageItem Message Note ReminderFlag MessageBody Attachment Attachments Recipient "
              "Recipients MessageDetail Person Mailbox Folder Inbox Drafts SentItems DeletedItems "
              "CalendarFolder Contacts Tasks RecipientFolder Appointment AppointmentDetail "
              "AppointmentAttendee RecurrenceObject Contact ContactDetail Address DistributionList Task "
              "TaskDetail ChangeItem ChangeItemCopy ChangeItemDelete LotusNotesAccount");
    for (const std::string& n : names) {
        Lattice::Atom atom(n.c_str());
        ASSERT_TRUE(Lattice::ClassFactory::isRegistered(atom)) << n;
        Ptr<Lattice::Base> made(Lattice::ClassFactory::create(atom));
        ASSERT_FALSE(made.isNull()) << n;
        EXPECT_TRUE(made->isA(atom)) << n;
        EXPECT_EQ(made->className(), atom) << n;
        EXPECT_NE(dynamic_cast<Lattice::SchemaBase*>(made.get()), nullptr) << n;
    }
}

TEST(MailItemsFolders, KindsMatchTheirFolderTypes) {
    struct Case {
        long type;
        const char* cls;
    } cases[] = {{FolderTypeInbox, "Inbox"},
                 {FolderTypeCalendar, "CalendarFolder"},
                 {FolderTypeContacts, "Contacts"},
                 {FolderTypeTasks, "Tasks"},
                 {FolderTypeDeletedItems, "DeletedItems"},
                 {FolderTypeSentItems, "SentItems"},
                 {FolderTypeDrafts, "Drafts"},
                 {0, "Folder"},
                 {4, "Folder"},
                 {-1, "Folder"}};
    for (const Case& c : cases) {
        Ptr<Folder> f(Folder::createForType(c.type));
        ASSERT_FALSE(f.isNull());
        EXPECT_TRUE(f->isA(Lattice::Atom(c.cls))) << c.type;
        if (String(c.cls) != "Folder")
            EXPECT_EQ(static_cast<long>(f->folderType()), c.type);
        else
            EXPECT_EQ(f->folderType(), FolderTypeNone);
    }
}
