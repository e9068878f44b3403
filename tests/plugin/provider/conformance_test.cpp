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

Row served(const char* provider, const char* operation, std::function<long(Sentinels&)> call, long answer = 0,
           std::function<void(const Sentinels&)> check = nullptr) {
    return {provider, operation, std::move(call), Kind::Served, answer, std::move(check)};
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
        served("mail", "login", [=](Sentinels&) { return p->login("jdoe", "demo-password", "", 0, 0); }),
        {"mail", "providerReserved1", [=](Sentinels&) { return long(p->providerReserved1("a", "b", 1)); },
         Kind::NotServed, 0},
        served(
            "mail", "verifyLogin",
            [=](Sentinels&) { return long(p->verifyLogin("jdoe", "demo-password", "", 0, 0, 0)); }, 1),
        {"mail", "providerReserved2", [=](Sentinels&) { return p->providerReserved2(1, 2); }},
        served(
            "mail", "getMailbox", [=](Sentinels& s) { return p->getMailbox("", s.mailbox); }, 0,
            [](const Sentinels& s) { EXPECT_FALSE(s.mailbox->get_id().isEmpty()); }),
        {"mail", "providerReserved4", [=](Sentinels&) { return p->providerReserved4("a", "b", "c", 1, 2); }},
        {"mail", "copyFolder", [=](Sentinels& s) { return p->copyFolder("f", "g", s.text); }},
        {"mail", "copyItem", [=](Sentinels& s) { return p->copyItem("f", "i", "g", s.text); }},
        {"mail", "providerReserved5", [=](Sentinels&) { return p->providerReserved5("a", "b"); }},
        served("mail", "deleteItems", [=](Sentinels& s) { return p->deleteItems("f", none, true, s.no); }),
        {"mail", "deleteFolder", [=](Sentinels&) { return p->deleteFolder("f"); }},
        served("mail", "getChanges", [=](Sentinels& s) { return p->getChanges(&s.out, 0); }),
        {"mail", "providerReserved6", [=](Sentinels& s) { return p->providerReserved6("x", s.base); }},
        served("mail", "getFolders",
               [=](Sentinels& s) { return p->getFolders("", "another mailbox", &s.out); }),
        {"mail", "getSharedFolder",
         [=](Sentinels& s) { return p->getSharedFolder("ann", "Inbox", s.folder); }},
        {"mail", "getFolderItems", [=](Sentinels& s) { return p->getFolderItems("f", &s.out); }},
        served(
            "mail", "getSortIndex",
            [=](Sentinels& s) { return p->getSortIndex("f", "", 10, &s.out, s.text, 0); }, 0,
            [](const Sentinels& s) { EXPECT_EQ(s.text, "string"); }),
        served("mail", "getFolderItemsPage",
               [=](Sentinels& s) { return p->getFolderItemsPage("f", 0, 10, &s.out); }),
        served("mail", "markAllRead", [=](Sentinels&) { return p->markAllRead("f"); }),
        served("mail", "markFolderRead", [=](Sentinels&) { return p->markFolderRead("f", 0, 0, 0); }),
        {"mail", "providerReserved7", [=](Sentinels&) { return p->providerReserved7("a", "b"); }},
        {"mail", "providerReserved8", [=](Sentinels&) { return p->providerReserved8("a", "b"); }},
        {"mail", "newMailItem", [=](Sentinels& s) { return p->newMailItem("f", "Message", s.item); }},
        {"mail", "providerReserved9", [=](Sentinels&) { return p->providerReserved9("a", "b", "c"); }},
        {"mail", "providerReserved10", [=](Sentinels& s) { return p->providerReserved10("x", s.base); }},
        {"mail", "providerReserved11", [=](Sentinels&) { return p->providerReserved11("x"); }},
        {"mail", "providerReserved12", [=](Sentinels&) { return p->providerReserved12("a", "b", 1); }},
        served(
            "mail", "setSortContext",
            [=](Sentinels& s) { return p->setSortContext("subject", "f", true, "", s.text); }, 0,
            [](const Sentinels& s) { EXPECT_EQ(s.text, "f"); }),
        {"mail", "providerReserved13", [=](Sentinels&) { return p->providerReserved13(1, 2, 3); }},
        {"mail", "providerReserved14", [=](Sentinels&) { return p->providerReserved14("x"); }},
        {"mail", "importCSVItems", [=](Sentinels& s) { return p->importCSVItems("f", "a,b\n", s.number); }},
        {"mail", "exportItemsToCSV", [=](Sentinels& s) { return p->exportItemsToCSV("f", s.text); }},
        {"mail", "providerReserved15", [=](Sentinels&) { return p->providerReserved15("x", 1, 2); }},
        served("mail", "getAddressListCount",
               [=](Sentinels& s) { return p->getAddressListCount("b", s.number); }),
        served("mail", "getAddressList", [=](Sentinels& s) { return p->getAddressList("b", 5, &s.out); }),
        served("mail", "getAddressListPage",
               [=](Sentinels& s) { return p->getAddressListPage("b", 0, 5, &s.out); }),
        served(
            "mail", "findAddressList",
            [=](Sentinels& s) { return p->findAddressList("b", "ann", 5, 0, &s.out, s.number, s.number2); }),
        {"mail", "providerReserved16", [=](Sentinels&) { return p->providerReserved16("x"); }},
        served("mail", "setShowPreview", [=](Sentinels&) { return p->setShowPreview("f", true); }),
        {"mail", "loadFullMessageItem", [=](Sentinels& s) { return p->loadFullMessageItem("id", s.item); }},
        {"mail", "getACL", [=](Sentinels& s) { return p->getACL("f", &s.out); }},
        {"mail", "updateUsersInACL", [=](Sentinels&) { return p->updateUsersInACL("f", none); }},
        {"mail", "useUnicode", [=](Sentinels&) { return long(p->useUnicode()); }, Kind::NotServed, 0},
        served(
            "mail", "getModuleName",
            [=](Sentinels&) { return long(p->getModuleName() == "hxNotesProvider"); }, 1),
        {"mail", "noteProvider", [=](Sentinels&) { return long(p->noteProvider() != nullptr); },
         Kind::NotServed, 0},
        served(
            "mail", "taskProvider", [=](Sentinels&) { return long(p->taskProvider() == t); }, 1),
        served(
            "mail", "contactProvider", [=](Sentinels&) { return long(p->contactProvider() != nullptr); }, 1),
        served(
            "mail", "calendarProvider", [=](Sentinels&) { return long(p->calendarProvider() == c); }, 1),
        served(
            "mail", "messageProvider", [=](Sentinels&) { return long(p->messageProvider() == m); }, 1),
        served(
            "mail", "meetingProvider", [=](Sentinels&) { return long(p->meetingProvider() != nullptr); }, 1),
        served(
            "mail", "groupProvider", [=](Sentinels&) { return long(p->groupProvider() != nullptr); }, 1),
        {"mail", "providerReserved17", [=](Sentinels&) { return p->providerReserved17(); }, Kind::NotServed,
         0},
        {"mail", "providerReserved18",
         [=](Sentinels&) {
             p->providerReserved18();
             return NS;
         }},
        {"mail", "providerReserved19",
         [=](Sentinels&) {
             p->providerReserved19();
             return NS;
         }},
        {"mail", "providerReserved20",
         [=](Sentinels& s) { return p->providerReserved20(1, s.base.get(), "x").length(); }, Kind::NotServed,
         0},
        {"mail", "providerReserved21",
         [=](Sentinels&) {
             p->providerReserved21();
             return NS;
         }},
        {"mail", "providerReserved22",
         [=](Sentinels&) {
             p->providerReserved22();
             return NS;
         }},
        {"mail", "providerReserved23", [=](Sentinels&) { return p->providerReserved23("a", "b"); }},
        {"mail", "providerReserved24", [=](Sentinels&) { return p->providerReserved24("a", "b"); }},
        {"mail", "providerReserved25", [=](Sentinels&) { return p->providerReserved25("a", "b"); }},

        // The message provider; ids that name no message.
        {"message", "newMessage", [=](Sentinels& s) { return m->newMessage("f", s.message); }},
        served("message", "getMessageDetail",
               [=](Sentinels& s) { return m->getMessageDetail("", "html", s.detail); }),
        // A message without recipients: nobody to deliver to.
        served(
            "message", "sendMessage",
            [=](Sentinels&) {
                return m->sendMessage(Ptr<Message>(new Message()), Ptr<MessageDetail>(new MessageDetail()),
                                      "");
            },
            1),
        {"message", "sendMessage(id)", [=](Sentinels&) { return m->sendMessage(String("id")); }},
        {"message", "newAttachment", [=](Sentinels& s) { return m->newAttachment("id", s.attachment); }},
        {"message", "addRecipient", [=](Sentinels& s) { return m->addRecipient("id", s.recipient, 1); }},
        {"message", "removeRecipient",
         [=](Sentinels& s) { return m->removeRecipient("id", s.recipient, 1); }},
        served(
            "message", "saveMessage",
            [=](Sentinels& s) {
                return m->saveMessage(Ptr<Message>(new Message()), Ptr<MessageDetail>(new MessageDetail()),
                                      s.text, s.attachments);
            },
            0, [](const Sentinels& s) { EXPECT_EQ(s.text.length(), 32) << "the new draft's id"; }),
        {"message", "deleteMessage", [=](Sentinels& s) { return m->deleteMessage("id", s.no); }},
        {"message", "replyMessage",
         [=](Sentinels& s) { return m->replyMessage("id", true, s.message, s.detail); }},
        {"message", "forwardMessage",
         [=](Sentinels& s) { return m->forwardMessage("id", s.message, s.detail); }},
        // Served, but an id that names no message has no bytes to give.
        {"message", "loadAttachmentData",
         [=](Sentinels& s) { return m->loadAttachmentData("att_1_id", 1, s.blob); }},
        {"message", "getMessageText", [=](Sentinels& s) { return m->getMessageText("id", s.text); }},
        {"message", "loadAttachmentObject",
         [=](Sentinels& s) { return m->loadAttachmentObject("id", 1, s.item); }},
        {"message", "clearFlag", [=](Sentinels& s) { return m->clearFlag("id", s.yes); }},
        {"message", "setFlag", [=](Sentinels& s) { return m->setFlag("id", flag, 1, s.no); }},
        {"message", "getHTMLBody", [=](Sentinels& s) { return m->getHTMLBody("id", s.text); }},
        served(
            "message", "setImportance", [=](Sentinels& s) { return m->setImportance("", 2, s.no); }, 0,
            [](const Sentinels& s) { EXPECT_TRUE(s.no) << "changed is set first"; }),
        served("message", "setSmartValue", [=](Sentinels&) { return m->setSmartValue("", "n", "v"); }),
        served(
            "message", "getSmartValue", [=](Sentinels& s) { return m->getSmartValue("", s.text); }, 0,
            [](const Sentinels& s) { EXPECT_EQ(s.text, "keep"); }),
        {"message", "markMessageAsRead", [=](Sentinels&) { return m->markMessageAsRead("id", true); }},

        // The calendar provider; ids that name no entry.
        served(
            "calendar", "newAppointment", [=](Sentinels& s) { return c->newAppointment("f", s.appointment); },
            0, [](const Sentinels& s) { EXPECT_EQ(s.appointment->get_id().length(), 32); }),
        served("calendar", "addAppointment",
               [=](Sentinels& s) { return c->addAppointment("f", s.appointment, s.appointmentDetail, ""); }),
        served("calendar", "removeAppointment",
               [=](Sentinels& s) { return c->removeAppointment("", true, true, s.no); }),
        served("calendar", "getAppointmentDetail",
               [=](Sentinels& s) { return c->getAppointmentDetail("", s.appointmentDetail); }),
        {"calendar", "sendUpdateEx", [=](Sentinels& s) { return c->sendUpdateEx(s.appointment, s.no); }},
        served(
            "calendar", "saveAppointment",
            [=](Sentinels& s) {
                return c->saveAppointment(Ptr<Appointment>(new Appointment()), s.appointmentDetail, s.yes);
            },
            0, [](const Sentinels& s) { EXPECT_FALSE(s.yes) << "the flag comes back false"; }),
        served("calendar", "appointmentTimeChanged",
               [=](Sentinels&) { return c->appointmentTimeChanged("", start, end, "s", true, true); }),
        {"calendar", "sendAppointment",
         [=](Sentinels& s) { return c->sendAppointment(s.appointment, s.appointmentDetail, ""); }},
        {"calendar", "deleteRecurringAppointment",
         [=](Sentinels&) { return c->deleteRecurringAppointment("id", start, "", true); }},
        {"calendar", "recurrenceChanged",
         [=](Sentinels& s) {
             return c->recurrenceChanged("id", rec, start, nine, nine, "", s.date, s.text, &s.out, s.date2);
         }},
        served("calendar", "getAppointmentRange",
               [=](Sentinels& s) { return c->getAppointmentRange("f", s.date, s.date2, true, &s.out); }),
        served("calendar", "getAppointmentDatesRange",
               [=](Sentinels& s) { return c->getAppointmentDatesRange("f", s.date, s.date2, "", &s.out); }),
        {"calendar", "addRecurringBreak",
         [=](Sentinels& s) {
             return c->addRecurringBreak(s.appointment, s.appointmentDetail, s.text, s.number);
         }},
        {"calendar", "getFilteredDistributionRecipients",
         [=](Sentinels& s) {
             return c->getFilteredDistributionRecipients("l", "a", s.date, s.date2, &s.out);
         }},
        served("calendar", "getFreeBusyBlocks",
               [=](Sentinels& s) { return c->getFreeBusyBlocks(s.date, s.date2, none, &s.out); }),
        {"calendar", "syncAppointments", [=](Sentinels&) { return c->syncAppointments(none); }},

        // The contact provider (newContact keeps the host's base behaviour).
        {"contact", "newContact", [=](Sentinels& s) { return k->newContact("f", s.contact); }},
        served("contact", "removeContact", [=](Sentinels&) { return k->removeContact("id"); }),
        served(
            "contact", "getContactFolders", [=](Sentinels& s) { return k->getContactFolders("box", &s.out); },
            0,
            [](const Sentinels& s) { EXPECT_EQ(s.out.count(), 3) << "the marker, then both address books"; }),
        served("contact", "getRecipients",
               [=](Sentinels& s) { return k->getRecipients("", s.folder, s.recipients); }),
        served("contact", "getContactDetail",
               [=](Sentinels& s) { return k->getContactDetail("id", s.contactDetail); }),
        served("contact", "addContact",
               [=](Sentinels&) {
                   Ptr<Contact> made(new Contact());
                   made->set_fileAsName("Conformance, Ann");
                   return k->addContact("f", made, Ptr<ContactDetail>(new ContactDetail()));
               }),
        served("contact", "saveContact",
               [=](Sentinels& s) {
                   return k->saveContact(Ptr<Contact>(new Contact()), s.contactDetail, s.yes);
               }),
        served("contact", "getFilteredRecipients",
               [=](Sentinels& s) { return k->getFilteredRecipients("zzz-nobody", &s.out); }),
        served(
            "contact", "nameChanged",
            [=](Sentinels& s) { return k->nameChanged("", "Dr.", "Ann", "", "Lee", "", s.text, s.text2); }, 0,
            [](const Sentinels& s) { EXPECT_EQ(s.text, "Dr. Ann Lee"); }),
        served("contact", "addressChanged",
               [=](Sentinels& s) { return k->addressChanged("", s.address, "", s.text); }),
        served("contact", "fullAddressChanged",
               [=](Sentinels& s) { return k->fullAddressChanged("", "1 Main St", s.address); }),
        served(
            "contact", "fullNameChanged",
            [=](Sentinels& s) {
                return k->fullNameChanged("", "Ann Lee", s.text, s.text2, s.text3, s.text4, s.text5, s.text6);
            },
            0,
            [](const Sentinels& s) {
                EXPECT_EQ(s.text2, "Ann");
                EXPECT_EQ(s.text3, "Lee");
            }),
        served("contact", "addDistributionList",
               [=](Sentinels& s) {
                   Ptr<DistributionList> list(new DistributionList());
                   list->set_name("Conformance list");
                   return k->addDistributionList("f", list, s.yes);
               }),
        served("contact", "saveDistributionList",
               [=](Sentinels& s) {
                   return k->saveDistributionList(Ptr<DistributionList>(new DistributionList()), s.yes);
               }),
        served("contact", "addContactGetRecipient",
               [=](Sentinels& s) {
                   Ptr<Contact> made(new Contact());
                   made->set_fileAsName("Conformance, Bo");
                   return k->addContactGetRecipient("f", made, Ptr<ContactDetail>(new ContactDetail()),
                                                    s.recipient, s.yes);
               }),

        // The task provider.
        {"task", "newTask", [=](Sentinels& s) { return t->newTask("f", s.task); }},
        served(
            "task", "addTask", [=](Sentinels& s) { return t->addTask("f", s.task, s.taskDetail); }, 0,
            [](const Sentinels& s) { EXPECT_EQ(s.task->get_id().length(), 32); }),
        {"task", "removeTask", [=](Sentinels&) { return t->removeTask("id"); }},
        {"task", "getTaskDetail", [=](Sentinels& s) { return t->getTaskDetail("id", s.taskDetail); }},
        served(
            "task", "saveTask",
            [=](Sentinels& s) { return t->saveTask(Ptr<Task>(new Task()), s.taskDetail, s.yes); }, 0,
            [](const Sentinels& s) { EXPECT_FALSE(s.yes) << "the flag always comes back false"; }),
        served("task", "addTaskSimple",
               [=](Sentinels& s) { return t->addTaskSimple("f", "subj", true, s.date, 2); }),
        {"task", "taskRecurrenceChanged",
         [=](Sentinels& s) { return t->taskRecurrenceChanged("id", rec, s.date); }},
        {"task", "generateRecurringTask",
         [=](Sentinels& s) { return t->generateRecurringTask("id", s.task); }},

        // The note provider, made by its class name.
        {"note", "newNote", [=](Sentinels& s) { return n->newNote("f", s.note); }},
        {"note", "addNote", [=](Sentinels&) { return n->addNote("f", "text", 1); }},
        {"note", "removeNote", [=](Sentinels&) { return n->removeNote("id"); }},
        {"note", "saveNote", [=](Sentinels& s) { return n->saveNote("id", "text", 1, s.no); }},
        // The meeting and group providers.
        {"meeting", "sendInvitation",
         [=](Sentinels& s) { return mt->sendInvitation(s.appointment, s.appointmentDetail, ""); }},
        {"meeting", "sendUpdate",
         [=](Sentinels& s) { return mt->sendUpdate(s.appointment, s.appointmentDetail, ""); }},
        {"meeting", "respondToInvitation",
         [=](Sentinels&) { return mt->respondToInvitation("id", 1, "", true); }},
        {"meeting", "removeMeetingAppointment",
         [=](Sentinels& s) { return mt->removeMeetingAppointment("id", s.no); }},
        {"meeting", "sendRemoveNotification",
         [=](Sentinels& s) { return mt->sendRemoveNotification(s.appointment, s.appointmentDetail, ""); }},
        {"meeting", "sendProposal", [=](Sentinels&) { return mt->sendProposal("id", start, end, ""); }},
        {"meeting", "loadProposalAppointment",
         [=](Sentinels& s) { return mt->loadProposalAppointment("id", s.appointment, s.appointmentDetail); }},
        {"meeting", "updateRecipientStatus",
         [=](Sentinels&) { return mt->updateRecipientStatus("id", "a@b.c", 1); }},
        {"meeting", "sendRecUpdate",
         [=](Sentinels& s) { return mt->sendRecUpdate(s.appointment, s.appointmentDetail, rec, ""); }},
        {"meeting", "updateTrackingInfo", [=](Sentinels& s) { return mt->updateTrackingInfo("id", &s.out); }},

        {"group", "groupGetAppointmentRange",
         [=](Sentinels& s) { return g->groupGetAppointmentRange("g", "f", s.date, s.date2, true, &s.out); }},
        {"group", "groupGetAppointmentDatesRange",
         [=](Sentinels& s) {
             return g->groupGetAppointmentDatesRange("g", "f", s.date, s.date2, "", &s.out);
         }},
        {"group", "groupRemoveAppointment",
         [=](Sentinels& s) { return g->groupRemoveAppointment("g", "id", true, true, s.no); }},
        {"group", "groupGetAppointmentDetail",
         [=](Sentinels& s) { return g->groupGetAppointmentDetail("g", "id", s.appointmentDetail); }},
        {"group", "groupSaveAppointment",
         [=](Sentinels& s) {
             return g->groupSaveAppointment("g", s.appointment, s.appointmentDetail, s.yes);
         }},
        {"group", "groupAppointmentTimeChanged",
         [=](Sentinels&) { return g->groupAppointmentTimeChanged("g", "id", start, end, "s", true, true); }},
        {"group", "groupSendAppointment",
         [=](Sentinels& s) { return g->groupSendAppointment("g", s.appointment, s.appointmentDetail, ""); }},
        {"group", "groupDeleteRecurringAppointment",
         [=](Sentinels&) { return g->groupDeleteRecurringAppointment("g", "id", start, "", true); }},
        {"group", "groupRecurrenceChanged",
         [=](Sentinels& s) {
             return g->groupRecurrenceChanged("g", "id", rec, start, nine, nine, "", s.date, s.text, &s.out,
                                              s.date2);
         }},
        {"group", "groupAddRecurringBreak",
         [=](Sentinels& s) {
             return g->groupAddRecurringBreak("g", s.appointment, s.appointmentDetail, s.text, s.number);
         }},
        {"group", "groupGetFilteredDistributionRecipients",
         [=](Sentinels& s) {
             return g->groupGetFilteredDistributionRecipients("g", "l", "a", s.date, s.date2, &s.out);
         }},
        {"group", "groupSendUpdateEx",
         [=](Sentinels& s) { return g->groupSendUpdateEx("g", s.appointment, s.no); }},
        {"group", "groupSendInvitation",
         [=](Sentinels& s) { return g->groupSendInvitation("g", s.appointment, s.appointmentDetail, ""); }},
        {"group", "groupRespondToInvitation",
         [=](Sentinels&) { return g->groupRespondToInvitation("g", "id", 1, "", true); }},
        {"group", "groupRemoveMeetingAppointment",
         [=](Sentinels& s) { return g->groupRemoveMeetingAppointment("g", "id", s.no); }},
        {"group", "groupSendProposal",
         [=](Sentinels&) { return g->groupSendProposal("g", "id", start, end, ""); }},
        {"group", "groupSendUpdate",
         [=](Sentinels& s) { return g->groupSendUpdate("g", s.appointment, s.appointmentDetail, ""); }},
        {"group", "groupLoadProposalAppointment",
         [=](Sentinels& s) {
             return g->groupLoadProposalAppointment("g", "id", s.appointment, s.appointmentDetail);
         }},
        {"group", "groupUpdateRecipientStatus",
         [=](Sentinels&) { return g->groupUpdateRecipientStatus("g", "id", "a@b.c", 1); }},
        {"group", "groupUpdateTrackingInfo",
         [=](Sentinels& s) { return g->groupUpdateTrackingInfo("g", "id", &s.out); }},
        {"group", "groupAddAppointment",
         [=](Sentinels& s) {
             return g->groupAddAppointment("g", "f", s.appointment, s.appointmentDetail, "");
         }},
        {"group", "groupGetFreeBusyBlocks",
         [=](Sentinels& s) { return g->groupGetFreeBusyBlocks("g", s.date, s.date2, none, &s.out); }},
        {"group", "groupSyncAppointments", [=](Sentinels&) { return g->groupSyncAppointments("g", none); }},
        {"group", "groupGetRangeForUser",
         [=](Sentinels& s) { return g->groupGetRangeForUser("g", "ann", s.date, s.date2, &s.out); }},
        {"group", "groupHasEditRights", [=](Sentinels& s) { return g->groupHasEditRights("g", s.yes); }},
        {"group", "groupGetSmartValue",
         [=](Sentinels& s) { return g->groupGetSmartValue("g", "id", s.text); }},
        {"group", "groupSetSmartValue",
         [=](Sentinels&) { return g->groupSetSmartValue("g", "id", "n", "v"); }},
        {"group", "groupLoadAttachmentData",
         [=](Sentinels& s) { return g->groupLoadAttachmentData("g", "id", 1, s.blob); }},
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
