#include "hxMail/Providers.h"

#include <gtest/gtest.h>

using namespace hxMail;
using Lattice::_DateData;
using Lattice::_DateTimeData;
using Lattice::_TimeData;
using Lattice::Data;
using Lattice::ObjectCollection;
using Lattice::Ptr;
using Lattice::String;

namespace {

// Output arguments preset to recognisable values; each test checks that nothing moved.
struct Sentinels {
    String text{"keep"};
    String text2{"keep2"};
    String text3{"keep3"};
    String text4{"keep4"};
    String text5{"keep5"};
    String text6{"keep6"};
    long number = 777;
    long number2 = 778;
    long number3 = 779;
    bool yes = true;
    bool no = false;
    _DateData date{20, 5, 1, 2};
    _DateData date2{20, 6, 3, 4};
    ObjectCollection out;
    Ptr<Lattice::Base> base{new Recipient()};
    Ptr<Mailbox> mailbox{new Mailbox()};
    Ptr<Folder> folder{new Inbox()};
    Ptr<MessageItem> item{new Message()};
    Ptr<Message> message{new Message()};
    Ptr<MessageDetail> detail{new MessageDetail()};
    Ptr<Attachment> attachment{new Attachment()};
    Ptr<Attachments> attachments{new Attachments()};
    Ptr<Lattice::BaseObject64> blob{new Lattice::BaseObject64()};
    Ptr<Appointment> appointment{new Appointment()};
    Ptr<AppointmentDetail> appointmentDetail{new AppointmentDetail()};
    Ptr<Contact> contact{new Contact()};
    Ptr<ContactDetail> contactDetail{new ContactDetail()};
    Ptr<Recipients> recipients{new Recipients()};
    Ptr<Recipient> recipient{new Recipient()};
    Ptr<Address> address{new Address()};
    Ptr<Task> task{new Task()};
    Ptr<TaskDetail> taskDetail{new TaskDetail()};
    Ptr<Note> note{new Note()};

    Sentinels() {
        out.add(Data("marker"));
        blob->setBinaryData("abc", 3, true);
    }

    // The preset values, captured to compare against after the calls.
    struct Snapshot {
        Lattice::Base* base;
        Mailbox* mailbox;
        Folder* folder;
        MessageItem* item;
        Message* message;
        MessageDetail* detail;
        Attachment* attachment;
        Attachments* attachments;
        Lattice::BaseObject64* blob;
        Appointment* appointment;
        AppointmentDetail* appointmentDetail;
        Contact* contact;
        ContactDetail* contactDetail;
        Recipients* recipients;
        Recipient* recipient;
        Address* address;
        Task* task;
        TaskDetail* taskDetail;
        Note* note;
    };
    Snapshot snapshot() const {
        return {base.get(),
                mailbox.get(),
                folder.get(),
                item.get(),
                message.get(),
                detail.get(),
                attachment.get(),
                attachments.get(),
                blob.get(),
                appointment.get(),
                appointmentDetail.get(),
                contact.get(),
                contactDetail.get(),
                recipients.get(),
                recipient.get(),
                address.get(),
                task.get(),
                taskDetail.get(),
                note.get()};
    }

    void expectUntouched(const Snapshot& s) const {
        EXPECT_EQ(text, "keep");
        EXPECT_EQ(text2, "keep2");
        EXPECT_EQ(text3, "keep3");
        EXPECT_EQ(text4, "keep4");
        EXPECT_EQ(text5, "keep5");
        EXPECT_EQ(text6, "keep6");
        EXPECT_EQ(number, 777);
        EXPECT_EQ(number2, 778);
        EXPECT_EQ(number3, 779);
        EXPECT_TRUE(yes);
        EXPECT_FALSE(no);
        EXPECT_EQ(date, (_DateData{20, 5, 1, 2}));
        EXPECT_EQ(date2, (_DateData{20, 6, 3, 4}));
        ASSERT_EQ(out.count(), 1);
        EXPECT_EQ(out.at(0).toString(), "marker");
        EXPECT_EQ(base.get(), s.base);
        EXPECT_EQ(mailbox.get(), s.mailbox);
        EXPECT_EQ(folder.get(), s.folder);
        EXPECT_EQ(item.get(), s.item);
        EXPECT_EQ(message.get(), s.message);
        EXPECT_EQ(detail.get(), s.detail);
        EXPECT_EQ(attachment.get(), s.attachment);
        EXPECT_EQ(attachments.get(), s.attachments);
        EXPECT_EQ(blob.get(), s.blob);
        EXPECT_EQ(appointment.get(), s.appointment);
        EXPECT_EQ(appointmentDetail.get(), s.appointmentDetail);
        EXPECT_EQ(contact.get(), s.contact);
        EXPECT_EQ(contactDetail.get(), s.contactDetail);
        EXPECT_EQ(recipients.get(), s.recipients);
        EXPECT_EQ(recipient.get(), s.recipient);
        EXPECT_EQ(address.get(), s.address);
        EXPECT_EQ(task.get(), s.task);
        EXPECT_EQ(taskDetail.get(), s.taskDetail);
        EXPECT_EQ(note.get(), s.note);
        // The objects handed in are not filled either.
        EXPECT_EQ(detail->get_to()->count(), 0);
        EXPECT_TRUE(detail->get_textType().isEmpty());
        EXPECT_EQ(recipients->count(), 0);
        EXPECT_EQ(blob->length(), 3);
        EXPECT_TRUE(address->get_fullAddress().isEmpty());
    }
};

constexpr long NS = kNotSupported;

} // namespace

TEST(MailProviderBase, EveryOperationIsNotSupportedAndWritesNothing) {
    Ptr<MailProvider> owner(new MailProvider());
    MailProvider* p = owner.get();
    Sentinels s;
    const auto snap = s.snapshot();
    const ObjectCollection ids;

    EXPECT_EQ(p->login("ann", "secret", "", 0, 0), NS);
    EXPECT_FALSE(p->providerReserved1("a", "b", 1));
    EXPECT_FALSE(p->verifyLogin("ann", "secret", "", 0, 0, 0));
    EXPECT_EQ(p->providerReserved2(1, 2), NS);
    EXPECT_EQ(p->logout(), NS);
    EXPECT_EQ(p->getMailbox("ann", s.mailbox), NS);
    EXPECT_EQ(p->providerReserved3("x", s.base), NS);
    EXPECT_EQ(p->providerReserved4("a", "b", "c", 1, 2), NS);
    EXPECT_EQ(p->copyFolder("f", "g", s.text), NS);
    EXPECT_EQ(p->copyItem("f", "i", "g", s.text), NS);
    EXPECT_EQ(p->providerReserved5("a", "b"), NS);
    EXPECT_EQ(p->deleteItems("f", ids, true, s.no), NS);
    EXPECT_EQ(p->deleteFolder("f"), NS);
    EXPECT_EQ(p->getChanges(&s.out, 0), NS);
    EXPECT_EQ(p->getChanges(nullptr, 0), NS);
    EXPECT_EQ(p->providerReserved6("x", s.base), NS);
    EXPECT_EQ(p->getFolders("", "mbx", &s.out), NS);
    EXPECT_EQ(p->getSharedFolder("ann", "Inbox", s.folder), NS);
    EXPECT_EQ(p->getFolderItems("f", &s.out), NS);
    EXPECT_EQ(p->getSortIndex("f", "", 10, &s.out, s.text, 0), NS);
    EXPECT_EQ(p->getFolderItemsPage("f", 0, 10, &s.out), NS);
    EXPECT_EQ(p->markAllRead("f"), NS);
    EXPECT_EQ(p->markFolderRead("f", 0, 0, 0), NS);
    EXPECT_EQ(p->providerReserved7("a", "b"), NS);
    EXPECT_EQ(p->providerReserved8("a", "b"), NS);
    EXPECT_EQ(p->newMailItem("f", "Message", s.item), NS);
    EXPECT_EQ(p->providerReserved9("a", "b", "c"), NS);
    EXPECT_EQ(p->providerReserved10("x", s.base), NS);
    EXPECT_EQ(p->providerReserved11("x"), NS);
    EXPECT_EQ(p->providerReserved12("a", "b", 1), NS);
    EXPECT_EQ(p->setSortContext("subject", "f", true, "", s.text), NS);
    EXPECT_EQ(p->providerReserved13(1, 2, 3), NS);
    EXPECT_EQ(p->providerReserved14("x"), NS);
    EXPECT_EQ(p->importCSVItems("f", "a,b\n", s.number), NS);
    EXPECT_EQ(p->exportItemsToCSV("f", s.text), NS);
    EXPECT_EQ(p->providerReserved15("x", 1, 2), NS);
    EXPECT_EQ(p->getAddressListCount("book", s.number), NS);
    EXPECT_EQ(p->getAddressList("book", 10, &s.out), NS);
    EXPECT_EQ(p->getAddressListPage("book", 0, 10, &s.out), NS);
    EXPECT_EQ(p->findAddressList("book", "ann", 10, 0, &s.out, s.number2, s.number3), NS);
    EXPECT_EQ(p->providerReserved16("x"), NS);
    EXPECT_EQ(p->setShowPreview("f", false), NS);
    EXPECT_EQ(p->loadFullMessageItem("id", s.item), NS);
    EXPECT_EQ(p->getACL("f", &s.out), NS);
    EXPECT_EQ(p->updateUsersInACL("f", ids), NS);
    EXPECT_FALSE(p->useUnicode());
    EXPECT_TRUE(p->getModuleName().isEmpty());
    EXPECT_EQ(p->noteProvider(), nullptr);
    EXPECT_EQ(p->taskProvider(), nullptr);
    EXPECT_EQ(p->contactProvider(), nullptr);
    EXPECT_EQ(p->calendarProvider(), nullptr);
    EXPECT_EQ(p->messageProvider(), nullptr);
    EXPECT_EQ(p->meetingProvider(), nullptr);
    EXPECT_EQ(p->groupProvider(), nullptr);
    EXPECT_EQ(p->providerReserved17(), NS);
    p->providerReserved18();
    p->providerReserved19();
    EXPECT_TRUE(p->providerReserved20(1, s.base.get(), "x").isEmpty());
    EXPECT_TRUE(p->providerReserved20(0, nullptr, "").isEmpty());
    p->providerReserved21();
    p->providerReserved22();
    EXPECT_EQ(p->providerReserved23("a", "b"), NS);
    EXPECT_EQ(p->providerReserved24("a", "b"), NS);
    EXPECT_EQ(p->providerReserved25("a", "b"), NS);

    s.expectUntouched(snap);
    EXPECT_FALSE(p->isAuthenticated());
    EXPECT_TRUE(p->getClientId().isEmpty());
}

TEST(MailProviderBase, ChildProvidersAnswerNotSupportedThroughTheirBases) {
    Ptr<MailProvider> owner(new MailProvider());
    Sentinels s;
    const auto snap = s.snapshot();
    const ObjectCollection users;
    const _DateTimeData start{20, 5, 1, 2, 9, 0, 0, 0, 0};
    const _DateTimeData end{20, 5, 1, 2, 10, 0, 0, 0, 0};
    const _TimeData t{9, 0, 0, 0};

    Ptr<MessageProvider> messages(new MessageProvider(owner.get()));
    MessageProvider* m = messages.get();
    EXPECT_EQ(m->newMessage("f", s.message), NS);
    EXPECT_EQ(m->getMessageDetail("id", "text/html", s.detail), NS);
    EXPECT_EQ(m->sendMessage(s.message, s.detail, "x"), NS);
    EXPECT_EQ(m->sendMessage(String("id")), NS);
    EXPECT_EQ(m->newAttachment("id", s.attachment), NS);
    EXPECT_EQ(m->addRecipient("id", s.recipient, 1), NS);
    EXPECT_EQ(m->removeRecipient("id", s.recipient, 1), NS);
    EXPECT_EQ(m->saveMessage(s.message, s.detail, s.text, s.attachments), NS);
    EXPECT_EQ(m->deleteMessage("id", s.no), NS);
    EXPECT_EQ(m->replyMessage("id", true, s.message, s.detail), NS);
    EXPECT_EQ(m->forwardMessage("id", s.message, s.detail), NS);
    EXPECT_EQ(m->loadAttachmentData("att_1_id", 101, s.blob), NS);
    EXPECT_EQ(m->getMessageText("id", s.text), NS);
    EXPECT_EQ(m->loadAttachmentObject("id", 1, s.item), NS);
    EXPECT_EQ(m->clearFlag("id", s.yes), NS);
    Ptr<ReminderFlag> flag(new ReminderFlag());
    EXPECT_EQ(m->setFlag("id", flag, 1, s.no), NS);
    EXPECT_EQ(m->getHTMLBody("id", s.text), NS);
    EXPECT_EQ(m->setImportance("id", 2, s.no), NS);
    EXPECT_EQ(m->setSmartValue("id", "n", "v"), NS);
    EXPECT_EQ(m->getSmartValue("id", s.text), NS);
    EXPECT_EQ(m->markMessageAsRead("id", true), NS);

    Ptr<CalendarProvider> calendar(new CalendarProvider(owner.get()));
    CalendarProvider* c = calendar.get();
    EXPECT_EQ(c->newAppointment("f", s.appointment), NS);
    EXPECT_EQ(c->addAppointment("f", s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(c->removeAppointment("id", true, true, s.no), NS);
    EXPECT_EQ(c->getAppointmentDetail("id", s.appointmentDetail), NS);
    EXPECT_EQ(c->sendUpdateEx(s.appointment, s.no), NS);
    EXPECT_EQ(c->saveAppointment(s.appointment, s.appointmentDetail, s.yes), NS);
    EXPECT_EQ(c->appointmentTimeChanged("id", start, end, "subj", true, false), NS);
    EXPECT_EQ(c->sendAppointment(s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(c->deleteRecurringAppointment("id", start, "", true), NS);
    Ptr<RecurrenceObject> rec(new RecurrenceObject());
    EXPECT_EQ(c->recurrenceChanged("id", rec, start, t, t, "", s.date, s.text, &s.out, s.date2), NS);
    EXPECT_EQ(c->getAppointmentRange("f", s.date, s.date2, true, &s.out), NS);
    EXPECT_EQ(c->getAppointmentDatesRange("f", s.date, s.date2, "", &s.out), NS);
    EXPECT_EQ(c->addRecurringBreak(s.appointment, s.appointmentDetail, s.text, s.number), NS);
    EXPECT_EQ(c->getFilteredDistributionRecipients("l", "a", s.date, s.date2, &s.out), NS);
    EXPECT_EQ(c->getFreeBusyBlocks(s.date, s.date2, users, &s.out), NS);
    EXPECT_EQ(c->syncAppointments(users), NS);

    Ptr<ContactProvider> contacts(new ContactProvider(owner.get()));
    ContactProvider* k = contacts.get();
    EXPECT_EQ(k->newContact("f", s.contact), NS);
    EXPECT_EQ(k->removeContact("id"), NS);
    EXPECT_EQ(k->getContactFolders("X", &s.out), NS);
    EXPECT_EQ(k->getRecipients("", s.folder, s.recipients), NS);
    EXPECT_EQ(k->getContactDetail("id", s.contactDetail), NS);
    EXPECT_EQ(k->addContact("f", s.contact, s.contactDetail), NS);
    EXPECT_EQ(k->saveContact(s.contact, s.contactDetail, s.no), NS);
    EXPECT_EQ(k->getFilteredRecipients("ann", &s.out), NS);
    EXPECT_EQ(k->nameChanged("", "Mr.", "Ann", "B.", "Lee", "Jr.", s.text, s.text2), NS);
    EXPECT_EQ(k->addressChanged("", s.address, "", s.text), NS);
    EXPECT_EQ(k->fullAddressChanged("", "1 Main St\nSpringfield, IL 62701\nUSA", s.address), NS);
    EXPECT_EQ(k->fullNameChanged("", "Dr. John Smith", s.text, s.text2, s.text3, s.text4, s.text5, s.text6),
              NS);
    Ptr<DistributionList> list(new DistributionList());
    EXPECT_EQ(k->addDistributionList("f", list, s.no), NS);
    EXPECT_EQ(k->saveDistributionList(list, s.no), NS);
    EXPECT_EQ(k->addContactGetRecipient("f", s.contact, s.contactDetail, s.recipient, s.no), NS);

    Ptr<TaskProvider> tasks(new TaskProvider(owner.get()));
    TaskProvider* t2 = tasks.get();
    EXPECT_EQ(t2->newTask("f", s.task), NS);
    EXPECT_EQ(t2->addTask("f", s.task, s.taskDetail), NS);
    EXPECT_EQ(t2->removeTask("id"), NS);
    EXPECT_EQ(t2->getTaskDetail("id", s.taskDetail), NS);
    EXPECT_EQ(t2->saveTask(s.task, s.taskDetail, s.yes), NS);
    EXPECT_EQ(t2->addTaskSimple("f", "subj", true, s.date, 2), NS);
    EXPECT_EQ(t2->taskRecurrenceChanged("id", rec, s.date), NS);
    EXPECT_EQ(t2->generateRecurringTask("id", s.task), NS);

    Ptr<NoteProvider> notes(new NoteProvider(owner.get()));
    EXPECT_EQ(notes->newNote("f", s.note), NS);
    EXPECT_EQ(notes->addNote("f", "text", 1), NS);
    EXPECT_EQ(notes->removeNote("id"), NS);
    EXPECT_EQ(notes->saveNote("id", "text", 1, s.no), NS);

    Ptr<MeetingProvider> meetings(new MeetingProvider(owner.get()));
    MeetingProvider* mt = meetings.get();
    EXPECT_EQ(mt->sendInvitation(s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(mt->sendUpdate(s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(mt->respondToInvitation("id", 1, "", true), NS);
    EXPECT_EQ(mt->removeMeetingAppointment("id", s.no), NS);
    EXPECT_EQ(mt->sendRemoveNotification(s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(mt->sendProposal("id", start, end, ""), NS);
    EXPECT_EQ(mt->loadProposalAppointment("id", s.appointment, s.appointmentDetail), NS);
    EXPECT_EQ(mt->updateRecipientStatus("id", "a@b.c", 1), NS);
    EXPECT_EQ(mt->sendRecUpdate(s.appointment, s.appointmentDetail, rec, ""), NS);
    EXPECT_EQ(mt->updateTrackingInfo("id", &s.out), NS);

    Ptr<GroupProvider> groups(new GroupProvider(owner.get()));
    GroupProvider* g = groups.get();
    EXPECT_EQ(g->groupGetAppointmentRange("g", "f", s.date, s.date2, true, &s.out), NS);
    EXPECT_EQ(g->groupGetAppointmentDatesRange("g", "f", s.date, s.date2, "", &s.out), NS);
    EXPECT_EQ(g->groupRemoveAppointment("g", "id", true, true, s.no), NS);
    EXPECT_EQ(g->groupGetAppointmentDetail("g", "id", s.appointmentDetail), NS);
    EXPECT_EQ(g->groupSaveAppointment("g", s.appointment, s.appointmentDetail, s.yes), NS);
    EXPECT_EQ(g->groupAppointmentTimeChanged("g", "id", start, end, "s", true, true), NS);
    EXPECT_EQ(g->groupSendAppointment("g", s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(g->groupDeleteRecurringAppointment("g", "id", start, "", true), NS);
    EXPECT_EQ(g->groupRecurrenceChanged("g", "id", rec, start, t, t, "", s.date, s.text, &s.out, s.date2),
              NS);
    EXPECT_EQ(g->groupAddRecurringBreak("g", s.appointment, s.appointmentDetail, s.text, s.number), NS);
    EXPECT_EQ(g->groupGetFilteredDistributionRecipients("g", "l", "a", s.date, s.date2, &s.out), NS);
    EXPECT_EQ(g->groupSendUpdateEx("g", s.appointment, s.no), NS);
    EXPECT_EQ(g->groupSendInvitation("g", s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(g->groupRespondToInvitation("g", "id", 1, "", true), NS);
    EXPECT_EQ(g->groupRemoveMeetingAppointment("g", "id", s.no), NS);
    EXPECT_EQ(g->groupSendProposal("g", "id", start, end, ""), NS);
    EXPECT_EQ(g->groupSendUpdate("g", s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(g->groupLoadProposalAppointment("g", "id", s.appointment, s.appointmentDetail), NS);
    EXPECT_EQ(g->groupUpdateRecipientStatus("g", "id", "a@b.c", 1), NS);
    EXPECT_EQ(g->groupUpdateTrackingInfo("g", "id", &s.out), NS);
    EXPECT_EQ(g->groupAddAppointment("g", "f", s.appointment, s.appointmentDetail, ""), NS);
    EXPECT_EQ(g->groupGetFreeBusyBlocks("g", s.date, s.date2, users, &s.out), NS);
    EXPECT_EQ(g->groupSyncAppointments("g", users), NS);
    EXPECT_EQ(g->groupGetRangeForUser("g", "ann", s.date, s.date2, &s.out), NS);
    EXPECT_EQ(g->groupHasEditRights("g", s.yes), NS);
    EXPECT_EQ(g->groupHasEditRights("g", s.no), NS);
    EXPECT_EQ(g->groupGetSmartValue("g", "id", s.text), NS);
    EXPECT_EQ(g->groupSetSmartValue("g", "id", "n", "v"), NS);
    EXPECT_EQ(g->groupLoadAttachmentData("g", "id", 1, s.blob), NS);

    s.expectUntouched(snap);
}

TEST(MailProviderBase, StateAndOwnerBackPointer) {
    Ptr<MailProvider> p(new MailProvider());
    p->setClientId("client-7");
    p->setAuthenticated(true);
    EXPECT_EQ(p->getClientId(), "client-7");
    EXPECT_TRUE(p->isAuthenticated());
    // A copy is a fresh provider: a connection's login state does not travel.
    Ptr<MailProvider> fresh(dynamic_cast<MailProvider*>(p->copy(false)));
    ASSERT_FALSE(fresh.isNull());
    EXPECT_FALSE(fresh->isAuthenticated());

    Ptr<GroupProvider> made(
        dynamic_cast<GroupProvider*>(Lattice::ClassFactory::create(Lattice::Atom("GroupProvider"))));
    ASSERT_FALSE(made.isNull());
    EXPECT_EQ(made->owner(), nullptr);
    bool canEdit = true;
    EXPECT_EQ(made->groupHasEditRights("g", canEdit), NS);
    EXPECT_TRUE(canEdit);
    made->setOwner(p.get());
    EXPECT_EQ(made->owner(), p.get());
    made->setOwner(nullptr);
    EXPECT_EQ(made->owner(), nullptr);

    Ptr<CalendarProvider> cal(new CalendarProvider(p.get()));
    EXPECT_EQ(cal->owner(), p.get());
    EXPECT_TRUE(cal->inheritsFrom(MailChildProvider::classAtom()));
    EXPECT_FALSE(cal->inheritsFrom(MailProvider::classAtom()));
}

TEST(MailProviderBase, ProvidersAreMadeByTheirHostNames) {
    const char* names[] = {"MailProvider", "MessageProvider", "CalendarProvider", "ContactProvider",
                           "TaskProvider", "NoteProvider",    "MeetingProvider",  "GroupProvider"};
    for (const char* n : names) {
        Lattice::Atom atom(n);
        Ptr<Lattice::Base> made(Lattice::ClassFactory::create(atom));
        ASSERT_FALSE(made.isNull()) << n;
        EXPECT_TRUE(made->isA(atom)) << n;
        if (String(n) != "MailProvider") {
            EXPECT_NE(dynamic_cast<MailChildProvider*>(made.get()), nullptr) << n;
        }
    }
}

TEST(MessageType, PrefixesClassifyAndAreStripped) {
    struct Case {
        const char* in;
        _MessageType type;
        const char* rest;
    } cases[] = {
        {"reply_ABC123", MessageTypeReply, "ABC123"},
        {"replyAll_ABC123", MessageTypeReplyAll, "ABC123"},
        {"forward_ABC123", MessageTypeForward, "ABC123"},
        {"ABC123", MessageTypeNormal, "ABC123"},
        {"", MessageTypeNormal, ""},
        // Only a leading prefix counts.
        {"ABCreply_123", MessageTypeNormal, "ABCreply_123"},
        {"xforward_1", MessageTypeNormal, "xforward_1"},
        // Near misses: case, missing underscore, doubled prefix.
        {"Reply_ABC", MessageTypeNormal, "Reply_ABC"},
        {"replyall_ABC", MessageTypeNormal, "replyall_ABC"},
        {"reply", MessageTypeNormal, "reply"},
        {"replyAll", MessageTypeNormal, "replyAll"},
        {"reply_reply_X", MessageTypeReply, "reply_X"},
        {"forward_replyAll_X", MessageTypeForward, "replyAll_X"},
        // A bare prefix leaves an empty id.
        {"reply_", MessageTypeReply, ""},
        {"replyAll_", MessageTypeReplyAll, ""},
        {"forward_", MessageTypeForward, ""},
    };
    for (const Case& c : cases) {
        String id(c.in);
        EXPECT_EQ(MessageProvider::getMessageType(id), c.type) << c.in;
        EXPECT_EQ(id, c.rest) << c.in;
    }
    EXPECT_EQ(kReplyPrefix, "reply_");
    EXPECT_EQ(kReplyAllPrefix, "replyAll_");
    EXPECT_EQ(kForwardPrefix, "forward_");
}

TEST(MessageType, ClassifyingTwiceGivesNormalTheSecondTime) {
    String id("replyAll_0123456789ABCDEF0123456789ABCDEF");
    EXPECT_EQ(MessageProvider::getMessageType(id), MessageTypeReplyAll);
    EXPECT_EQ(MessageProvider::getMessageType(id), MessageTypeNormal);
    EXPECT_EQ(id, "0123456789ABCDEF0123456789ABCDEF");
}

namespace {

// A provider the way a plug-in writes one: a few overrides and embedded children.
class SampleMessageProvider : public MessageProvider {
public:
    using MessageProvider::sendMessage;
    long sendMessage(const Ptr<Message>&, const Ptr<MessageDetail>&, String) override { return 0; }
    long getSmartValue(String id, String& smartValue) override {
        smartValue = "value-of-" + id;
        return 0;
    }
};

class SampleMailProvider : public MailProvider {
public:
    SampleMailProvider() { messages_.setOwner(this); }
    long login(String userName, String, String, long, long) override {
        setAuthenticated(userName == "ann");
        return isAuthenticated() ? 0 : 1;
    }
    MessageProvider* messageProvider() override { return &messages_; }

private:
    SampleMessageProvider messages_;
};

} // namespace

TEST(MailProviderBase, OverridesDispatchThroughTheBaseSlots) {
    Ptr<MailProvider> p(new SampleMailProvider());
    EXPECT_EQ(p->login("bob", "pw", "", 0, 0), 1);
    EXPECT_FALSE(p->isAuthenticated());
    EXPECT_EQ(p->login("ann", "pw", "", 0, 0), 0);
    EXPECT_TRUE(p->isAuthenticated());
    // What the plug-in did not override keeps the base answer.
    EXPECT_EQ(p->logout(), NS);
    EXPECT_EQ(p->calendarProvider(), nullptr);

    MessageProvider* m = p->messageProvider();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m, p->messageProvider());
    EXPECT_EQ(m->owner(), p.get());
    String value("keep");
    EXPECT_EQ(m->getSmartValue("X1", value), 0);
    EXPECT_EQ(value, "value-of-X1");
    Ptr<Message> msg(new Message());
    Ptr<MessageDetail> detail(new MessageDetail());
    EXPECT_EQ(m->sendMessage(msg, detail, ""), 0);
    EXPECT_EQ(m->sendMessage(String("X1")), NS);
    EXPECT_EQ(m->setSmartValue("X1", "n", "v"), NS);
}
