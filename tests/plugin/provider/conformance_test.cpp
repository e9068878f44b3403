// Every slot of every provider base the plug-in derives from, called on the loaded plug-in for a
// logged-in user and checked against what the plug-in is meant to answer: a served operation
// answers as designed (so a slot that fell back to the host's base, which answers -1, is caught),
// an operation not served answers -1 and writes none of its outputs. One row per slot, in the
// host's slot order; the README's feature table lists the same answers.
#include "MailFixture.h"

#include "hxMail/Calendar.h"
#include "hxMail/Contact.h"
#include "hxMail/Task.h"

#include <functional>

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
    String text{"keep"}, text2{"keep2"}, text3{"keep3"}, text4{"keep4"}, text5{"keep5"}, text6{"keep6"};
    long number = 777, number2 = 778, number3 = 779;
    bool yes = true, no = false;
    _DateData date{20, 5, 1, 2}, date2{20, 6, 3, 4};
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

    // The objects handed in, to compare against after the calls: none may be replaced.
    std::vector<const void*> objects() const {
        return addresses(base, mailbox, folder, item, message, detail, attachment, attachments, blob,
                         appointment, appointmentDetail, contact, contactDetail, recipients, recipient,
                         address, task, taskDetail, note);
    }
    template <class... T> static std::vector<const void*> addresses(const Ptr<T>&... held) {
        return {held.get()...};
    }

    void expectUntouched(const std::vector<const void*>& before) const {
        EXPECT_EQ((std::vector<std::string>{text.str(), text2.str(), text3.str(), text4.str(), text5.str(),
                                            text6.str()}),
                  (std::vector<std::string>{"keep", "keep2", "keep3", "keep4", "keep5", "keep6"}));
        EXPECT_EQ((std::vector<long>{number, number2, number3}), (std::vector<long>{777, 778, 779}));
        EXPECT_TRUE(yes);
        EXPECT_FALSE(no);
        EXPECT_EQ(date, (_DateData{20, 5, 1, 2}));
        EXPECT_EQ(date2, (_DateData{20, 6, 3, 4}));
        ASSERT_EQ(out.count(), 1);
        EXPECT_EQ(out.at(0).toString(), "marker");
        EXPECT_EQ(objects(), before);
        // The objects handed in are not filled either.
        EXPECT_EQ(detail->get_to()->count(), 0);
        EXPECT_TRUE(detail->get_textType().isEmpty());
        EXPECT_EQ(recipients->count(), 0);
        EXPECT_EQ(blob->length(), 3);
        EXPECT_TRUE(address->get_fullAddress().isEmpty());
    }
};

constexpr long NS = kNotSupported;

// Not served: -1 and every output as it was. Served: the designed answer; `check` looks at the
// outputs the operation is meant to write (none when absent).
enum class Kind { NotServed, Served };

struct Row {
    const char* provider;
    const char* operation;
    std::function<long(Sentinels&)> call;
    Kind kind = Kind::NotServed;
    long answer = NS;
    std::function<void(const Sentinels&)> check = nullptr;
};

struct Providers {
    hxMail::MailProvider* main;
    MessageProvider* message;
    CalendarProvider* calendar;
    ContactProvider* contact;
    TaskProvider* task;
    NoteProvider* note;
    MeetingProvider* meeting;
    GroupProvider* group;
};

// Rows named by the call's own text.
#define SLOT(call) #call, [=]([[maybe_unused]] auto& s) -> long { return call; }
#define NOT_SERVED(provider, call, ...) notServed(provider, SLOT(call) __VA_OPT__(, ) __VA_ARGS__)
#define SERVED(provider, call, ...) served(provider, SLOT(call) __VA_OPT__(, ) __VA_ARGS__)

Row notServed(const char* provider, const char* operation, std::function<long(Sentinels&)> call,
              long answer = NS) {
    return {provider, operation, std::move(call), Kind::NotServed, answer};
}

Row served(const char* provider, const char* operation, std::function<long(Sentinels&)> call, long answer = 0,
           std::function<void(const Sentinels&)> check = nullptr) {
    return {provider, operation, std::move(call), Kind::Served, answer, std::move(check)};
}

Ptr<Contact> filedAs(const char* name) {
    Ptr<Contact> made(new Contact());
    made->set_fileAsName(name);
    return made;
}

Ptr<DistributionList> listNamed(const char* name) {
    Ptr<DistributionList> list(new DistributionList());
    list->set_name(name);
    return list;
}

std::vector<Row> slotTable(const Providers& P) {
    hxMail::MailProvider* p = P.main;
    MessageProvider* m = P.message;
    CalendarProvider* c = P.calendar;
    ContactProvider* k = P.contact;
    TaskProvider* t = P.task;
    NoteProvider* n = P.note;
    MeetingProvider* mt = P.meeting;
    GroupProvider* g = P.group;
    static const ObjectCollection none;
    const _DateTimeData start{20, 5, 1, 2, 9, 0, 0, 0, 0};
    const _DateTimeData end{20, 5, 1, 2, 10, 0, 0, 0, 0};
    const _TimeData nine{9, 0, 0, 0};
    Ptr<RecurrenceObject> rec(new RecurrenceObject());
    Ptr<ReminderFlag> flag(new ReminderFlag());
    return {
        // The main provider.
        SERVED("mail", p->login("jdoe", "demo-password", "", 0, 0)),
        NOT_SERVED("mail", long(p->providerReserved1("a", "b", 1)), 0),
        SERVED("mail", long(p->verifyLogin("jdoe", "demo-password", "", 0, 0, 0)), 1),
        NOT_SERVED("mail", p->providerReserved2(1, 2)),
        SERVED("mail", p->getMailbox("", s.mailbox), 0,
               [](const Sentinels& s) { EXPECT_FALSE(s.mailbox->get_id().isEmpty()); }),
        NOT_SERVED("mail", p->providerReserved4("a", "b", "c", 1, 2)),
        NOT_SERVED("mail", p->copyFolder("f", "g", s.text)),
        NOT_SERVED("mail", p->copyItem("f", "i", "g", s.text)),
        NOT_SERVED("mail", p->providerReserved5("a", "b")),
        SERVED("mail", p->deleteItems("f", none, true, s.no)),
        NOT_SERVED("mail", p->deleteFolder("f")),
        SERVED("mail", p->getChanges(&s.out, 0)),
        NOT_SERVED("mail", p->providerReserved6("x", s.base)),
        SERVED("mail", p->getFolders("", "another mailbox", &s.out)),
        NOT_SERVED("mail", p->getSharedFolder("ann", "Inbox", s.folder)),
        NOT_SERVED("mail", p->getFolderItems("f", &s.out)),
        SERVED("mail", p->getSortIndex("f", "", 10, &s.out, s.text, 0), 0,
               [](const Sentinels& s) { EXPECT_EQ(s.text, "string"); }),
        SERVED("mail", p->getFolderItemsPage("f", 0, 10, &s.out)),
        SERVED("mail", p->markAllRead("f")),
        SERVED("mail", p->markFolderRead("f", 0, 0, 0)),
        NOT_SERVED("mail", p->providerReserved7("a", "b")),
        NOT_SERVED("mail", p->providerReserved8("a", "b")),
        NOT_SERVED("mail", p->newMailItem("f", "Message", s.item)),
        NOT_SERVED("mail", p->providerReserved9("a", "b", "c")),
        NOT_SERVED("mail", p->providerReserved10("x", s.base)),
        NOT_SERVED("mail", p->providerReserved11("x")),
        NOT_SERVED("mail", p->providerReserved12("a", "b", 1)),
        SERVED("mail", p->setSortContext("subject", "f", true, "", s.text), 0,
               [](const Sentinels& s) { EXPECT_EQ(s.text, "f"); }),
        NOT_SERVED("mail", p->providerReserved13(1, 2, 3)),
        NOT_SERVED("mail", p->providerReserved14("x")),
        NOT_SERVED("mail", p->importCSVItems("f", "a,b\n", s.number)),
        NOT_SERVED("mail", p->exportItemsToCSV("f", s.text)),
        NOT_SERVED("mail", p->providerReserved15("x", 1, 2)),
        SERVED("mail", p->getAddressListCount("b", s.number)),
        SERVED("mail", p->getAddressList("b", 5, &s.out)),
        SERVED("mail", p->getAddressListPage("b", 0, 5, &s.out)),
        SERVED("mail", p->findAddressList("b", "ann", 5, 0, &s.out, s.number, s.number2)),
        NOT_SERVED("mail", p->providerReserved16("x")),
        SERVED("mail", p->setShowPreview("f", true)),
        NOT_SERVED("mail", p->loadFullMessageItem("id", s.item)),
        NOT_SERVED("mail", p->getACL("f", &s.out)),
        NOT_SERVED("mail", p->updateUsersInACL("f", none)),
        NOT_SERVED("mail", long(p->useUnicode()), 0),
        SERVED("mail", long(p->getModuleName() == "hxNotesProvider"), 1),
        NOT_SERVED("mail", long(p->noteProvider() != nullptr), 0),
        SERVED("mail", long(p->taskProvider() == t), 1),
        SERVED("mail", long(p->contactProvider() != nullptr), 1),
        SERVED("mail", long(p->calendarProvider() == c), 1),
        SERVED("mail", long(p->messageProvider() == m), 1),
        SERVED("mail", long(p->meetingProvider() != nullptr), 1),
        SERVED("mail", long(p->groupProvider() != nullptr), 1),
        NOT_SERVED("mail", p->providerReserved17(), 0),
        NOT_SERVED("mail", (p->providerReserved18(), NS)),
        NOT_SERVED("mail", (p->providerReserved19(), NS)),
        NOT_SERVED("mail", p->providerReserved20(1, s.base.get(), "x").length(), 0),
        NOT_SERVED("mail", (p->providerReserved21(), NS)),
        NOT_SERVED("mail", (p->providerReserved22(), NS)),
        NOT_SERVED("mail", p->providerReserved23("a", "b")),
        NOT_SERVED("mail", p->providerReserved24("a", "b")),
        NOT_SERVED("mail", p->providerReserved25("a", "b")),

        // The message provider; ids that name no message.
        NOT_SERVED("message", m->newMessage("f", s.message)),
        SERVED("message", m->getMessageDetail("", "html", s.detail)),
        // A message without recipients: nobody to deliver to.
        SERVED("message",
               m->sendMessage(Ptr<Message>(new Message()), Ptr<MessageDetail>(new MessageDetail()), ""), 1),
        NOT_SERVED("message", m->sendMessage(String("id"))),
        NOT_SERVED("message", m->newAttachment("id", s.attachment)),
        NOT_SERVED("message", m->addRecipient("id", s.recipient, 1)),
        NOT_SERVED("message", m->removeRecipient("id", s.recipient, 1)),
        SERVED("message",
               m->saveMessage(Ptr<Message>(new Message()), Ptr<MessageDetail>(new MessageDetail()), s.text,
                              s.attachments),
               0, [](const Sentinels& s) { EXPECT_EQ(s.text.length(), 32) << "the new draft's id"; }),
        NOT_SERVED("message", m->deleteMessage("id", s.no)),
        NOT_SERVED("message", m->replyMessage("id", true, s.message, s.detail)),
        NOT_SERVED("message", m->forwardMessage("id", s.message, s.detail)),
        // Served, but an id that names no message has no bytes to give.
        NOT_SERVED("message", m->loadAttachmentData("att_1_id", 1, s.blob)),
        NOT_SERVED("message", m->getMessageText("id", s.text)),
        NOT_SERVED("message", m->loadAttachmentObject("id", 1, s.item)),
        NOT_SERVED("message", m->clearFlag("id", s.yes)),
        NOT_SERVED("message", m->setFlag("id", flag, 1, s.no)),
        NOT_SERVED("message", m->getHTMLBody("id", s.text)),
        SERVED("message", m->setImportance("", 2, s.no), 0,
               [](const Sentinels& s) { EXPECT_TRUE(s.no) << "changed is set first"; }),
        SERVED("message", m->setSmartValue("", "n", "v")),
        SERVED("message", m->getSmartValue("", s.text), 0,
               [](const Sentinels& s) { EXPECT_EQ(s.text, "keep"); }),
        NOT_SERVED("message", m->markMessageAsRead("id", true)),

        // The calendar provider; ids that name no entry.
        SERVED("calendar", c->newAppointment("f", s.appointment), 0,
               [](const Sentinels& s) { EXPECT_EQ(s.appointment->get_id().length(), 32); }),
        SERVED("calendar", c->addAppointment("f", s.appointment, s.appointmentDetail, "")),
        SERVED("calendar", c->removeAppointment("", true, true, s.no)),
        SERVED("calendar", c->getAppointmentDetail("", s.appointmentDetail)),
        NOT_SERVED("calendar", c->sendUpdateEx(s.appointment, s.no)),
        SERVED("calendar",
               c->saveAppointment(Ptr<Appointment>(new Appointment()), s.appointmentDetail, s.yes), 0,
               [](const Sentinels& s) { EXPECT_FALSE(s.yes) << "the flag comes back false"; }),
        SERVED("calendar", c->appointmentTimeChanged("", start, end, "s", true, true)),
        NOT_SERVED("calendar", c->sendAppointment(s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("calendar", c->deleteRecurringAppointment("id", start, "", true)),
        NOT_SERVED("calendar",
                   c->recurrenceChanged("id", rec, start, nine, nine, "", s.date, s.text, &s.out, s.date2)),
        SERVED("calendar", c->getAppointmentRange("f", s.date, s.date2, true, &s.out)),
        SERVED("calendar", c->getAppointmentDatesRange("f", s.date, s.date2, "", &s.out)),
        NOT_SERVED("calendar", c->addRecurringBreak(s.appointment, s.appointmentDetail, s.text, s.number)),
        NOT_SERVED("calendar", c->getFilteredDistributionRecipients("l", "a", s.date, s.date2, &s.out)),
        SERVED("calendar", c->getFreeBusyBlocks(s.date, s.date2, none, &s.out)),
        NOT_SERVED("calendar", c->syncAppointments(none)),

        // The contact provider (newContact keeps the host's base behaviour).
        NOT_SERVED("contact", k->newContact("f", s.contact)),
        SERVED("contact", k->removeContact("id")),
        SERVED(
            "contact", k->getContactFolders("box", &s.out), 0,
            [](const Sentinels& s) { EXPECT_EQ(s.out.count(), 3) << "the marker, then both address books"; }),
        SERVED("contact", k->getRecipients("", s.folder, s.recipients)),
        SERVED("contact", k->getContactDetail("id", s.contactDetail)),
        SERVED("contact",
               k->addContact("f", filedAs("Conformance, Ann"), Ptr<ContactDetail>(new ContactDetail()))),
        SERVED("contact", k->saveContact(Ptr<Contact>(new Contact()), s.contactDetail, s.yes)),
        SERVED("contact", k->getFilteredRecipients("zzz-nobody", &s.out)),
        SERVED("contact", k->nameChanged("", "Dr.", "Ann", "", "Lee", "", s.text, s.text2), 0,
               [](const Sentinels& s) { EXPECT_EQ(s.text, "Dr. Ann Lee"); }),
        SERVED("contact", k->addressChanged("", s.address, "", s.text)),
        SERVED("contact", k->fullAddressChanged("", "1 Main St", s.address)),
        SERVED("contact",
               k->fullNameChanged("", "Ann Lee", s.text, s.text2, s.text3, s.text4, s.text5, s.text6), 0,
               [](const Sentinels& s) {
                   EXPECT_EQ(s.text2, "Ann");
                   EXPECT_EQ(s.text3, "Lee");
               }),
        SERVED("contact", k->addDistributionList("f", listNamed("Conformance list"), s.yes)),
        SERVED("contact", k->saveDistributionList(Ptr<DistributionList>(new DistributionList()), s.yes)),
        SERVED("contact",
               k->addContactGetRecipient("f", filedAs("Conformance, Bo"),
                                         Ptr<ContactDetail>(new ContactDetail()), s.recipient, s.yes)),

        // The task provider.
        NOT_SERVED("task", t->newTask("f", s.task)),
        SERVED("task", t->addTask("f", s.task, s.taskDetail), 0,
               [](const Sentinels& s) { EXPECT_EQ(s.task->get_id().length(), 32); }),
        NOT_SERVED("task", t->removeTask("id")),
        NOT_SERVED("task", t->getTaskDetail("id", s.taskDetail)),
        SERVED("task", t->saveTask(Ptr<Task>(new Task()), s.taskDetail, s.yes), 0,
               [](const Sentinels& s) { EXPECT_FALSE(s.yes) << "the flag always comes back false"; }),
        SERVED("task", t->addTaskSimple("f", "subj", true, s.date, 2)),
        NOT_SERVED("task", t->taskRecurrenceChanged("id", rec, s.date)),
        NOT_SERVED("task", t->generateRecurringTask("id", s.task)),

        // The note provider, made by its class name.
        NOT_SERVED("note", n->newNote("f", s.note)),
        NOT_SERVED("note", n->addNote("f", "text", 1)),
        NOT_SERVED("note", n->removeNote("id")),
        NOT_SERVED("note", n->saveNote("id", "text", 1, s.no)),

        // The meeting and group providers.
        NOT_SERVED("meeting", mt->sendInvitation(s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("meeting", mt->sendUpdate(s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("meeting", mt->respondToInvitation("id", 1, "", true)),
        NOT_SERVED("meeting", mt->removeMeetingAppointment("id", s.no)),
        NOT_SERVED("meeting", mt->sendRemoveNotification(s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("meeting", mt->sendProposal("id", start, end, "")),
        NOT_SERVED("meeting", mt->loadProposalAppointment("id", s.appointment, s.appointmentDetail)),
        NOT_SERVED("meeting", mt->updateRecipientStatus("id", "a@b.c", 1)),
        NOT_SERVED("meeting", mt->sendRecUpdate(s.appointment, s.appointmentDetail, rec, "")),
        NOT_SERVED("meeting", mt->updateTrackingInfo("id", &s.out)),
        NOT_SERVED("group", g->groupGetAppointmentRange("g", "f", s.date, s.date2, true, &s.out)),
        NOT_SERVED("group", g->groupGetAppointmentDatesRange("g", "f", s.date, s.date2, "", &s.out)),
        NOT_SERVED("group", g->groupRemoveAppointment("g", "id", true, true, s.no)),
        NOT_SERVED("group", g->groupGetAppointmentDetail("g", "id", s.appointmentDetail)),
        NOT_SERVED("group", g->groupSaveAppointment("g", s.appointment, s.appointmentDetail, s.yes)),
        NOT_SERVED("group", g->groupAppointmentTimeChanged("g", "id", start, end, "s", true, true)),
        NOT_SERVED("group", g->groupSendAppointment("g", s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("group", g->groupDeleteRecurringAppointment("g", "id", start, "", true)),
        NOT_SERVED("group", g->groupRecurrenceChanged("g", "id", rec, start, nine, nine, "", s.date, s.text,
                                                      &s.out, s.date2)),
        NOT_SERVED("group",
                   g->groupAddRecurringBreak("g", s.appointment, s.appointmentDetail, s.text, s.number)),
        NOT_SERVED("group",
                   g->groupGetFilteredDistributionRecipients("g", "l", "a", s.date, s.date2, &s.out)),
        NOT_SERVED("group", g->groupSendUpdateEx("g", s.appointment, s.no)),
        NOT_SERVED("group", g->groupSendInvitation("g", s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("group", g->groupRespondToInvitation("g", "id", 1, "", true)),
        NOT_SERVED("group", g->groupRemoveMeetingAppointment("g", "id", s.no)),
        NOT_SERVED("group", g->groupSendProposal("g", "id", start, end, "")),
        NOT_SERVED("group", g->groupSendUpdate("g", s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("group", g->groupLoadProposalAppointment("g", "id", s.appointment, s.appointmentDetail)),
        NOT_SERVED("group", g->groupUpdateRecipientStatus("g", "id", "a@b.c", 1)),
        NOT_SERVED("group", g->groupUpdateTrackingInfo("g", "id", &s.out)),
        NOT_SERVED("group", g->groupAddAppointment("g", "f", s.appointment, s.appointmentDetail, "")),
        NOT_SERVED("group", g->groupGetFreeBusyBlocks("g", s.date, s.date2, none, &s.out)),
        NOT_SERVED("group", g->groupSyncAppointments("g", none)),
        NOT_SERVED("group", g->groupGetRangeForUser("g", "ann", s.date, s.date2, &s.out)),
        NOT_SERVED("group", g->groupHasEditRights("g", s.yes)),
        NOT_SERVED("group", g->groupGetSmartValue("g", "id", s.text)),
        NOT_SERVED("group", g->groupSetSmartValue("g", "id", "n", "v")),
        NOT_SERVED("group", g->groupLoadAttachmentData("g", "id", 1, s.blob)),
    };
}

} // namespace

class ConformanceTest : public MailTest {
protected:
    static void run(const std::vector<Row>& rows, const char* only = nullptr) {
        for (const Row& row : rows) {
            if (only && std::string(row.provider) != only)
                continue;
            SCOPED_TRACE(std::string(row.provider) + "::" + row.operation);
            Sentinels s;
            const auto before = s.objects();
            EXPECT_EQ(row.call(s), row.answer);
            if (row.kind == Kind::NotServed)
                s.expectUntouched(before);
            else if (row.check)
                row.check(s);
        }
    }
};

TEST_F(ConformanceTest, EverySlotOfEveryProviderAnswersAsDesigned) {
    loginAndList();
    Ptr<Lattice::Base> madeNotes(Lattice::ClassFactory::create("NoteProvider"));
    const Providers providers{provider,
                              provider->messageProvider(),
                              provider->calendarProvider(),
                              provider->contactProvider(),
                              provider->taskProvider(),
                              dynamic_cast<NoteProvider*>(madeNotes.get()),
                              provider->meetingProvider(),
                              provider->groupProvider()};
    ASSERT_TRUE(providers.message && providers.calendar && providers.contact && providers.task &&
                providers.note && providers.meeting && providers.group);
    run(slotTable(providers));
    Sentinels s;
    EXPECT_EQ(provider->providerReserved3("x", s.base), NS);
    EXPECT_EQ(s.base.get(), nullptr) << "the one reserved slot that lets go of its output";
}

// Made by class name, without an owner, the meeting and group providers answer the same.
TEST_F(ConformanceTest, MeetingAndGroupProvidersWithoutAnOwnerServeNothing) {
    Ptr<Lattice::Base> meeting(Lattice::ClassFactory::create("MeetingProvider"));
    Ptr<Lattice::Base> group(Lattice::ClassFactory::create("GroupProvider"));
    Providers providers{};
    providers.meeting = dynamic_cast<MeetingProvider*>(meeting.get());
    providers.group = dynamic_cast<GroupProvider*>(group.get());
    ASSERT_TRUE(providers.meeting && providers.group);
    EXPECT_EQ(providers.meeting->owner(), nullptr);
    const auto rows = slotTable(providers);
    run(rows, "meeting");
    run(rows, "group");
}
