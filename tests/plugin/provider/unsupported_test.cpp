// What the loaded plug-in answers for every host operation it does not serve (the reserved slots,
// the operations it leaves to the host's bases, and the meeting and group providers): the answer
// the host expects and no output touched, for a logged-in user. One row per operation, so a new
// operation that the plug-in starts to serve moves out of this table on purpose.
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

struct Row {
    const char* operation;
    std::function<long(Sentinels&)> call;
    long answer = NS;
};

} // namespace

class UnsupportedTest : public MailTest {};

TEST_F(UnsupportedTest, EveryOperationThePluginDoesNotServeAnswersAsTheHostExpectsAndWritesNothing) {
    loginAndList();
    hxMail::MailProvider* p = provider;
    MessageProvider* m = p->messageProvider();
    CalendarProvider* c = p->calendarProvider();
    ContactProvider* k = p->contactProvider();
    TaskProvider* t = p->taskProvider();
    MeetingProvider* mt = p->meetingProvider();
    GroupProvider* g = p->groupProvider();
    ASSERT_TRUE(m && c && k && t && mt && g);
    EXPECT_EQ(p->noteProvider(), nullptr) << "the note provider is made by its class name only";
    Ptr<Lattice::Base> madeNotes(Lattice::ClassFactory::create("NoteProvider"));
    auto* notes = dynamic_cast<NoteProvider*>(madeNotes.get());
    ASSERT_NE(notes, nullptr);

    const ObjectCollection none;
    const _DateTimeData start{20, 5, 1, 2, 9, 0, 0, 0, 0};
    const _DateTimeData end{20, 5, 1, 2, 10, 0, 0, 0, 0};
    const _TimeData nine{9, 0, 0, 0};
    Ptr<RecurrenceObject> rec(new RecurrenceObject());
    Ptr<ReminderFlag> flag(new ReminderFlag());
    const std::vector<Row> rows = {
        {"providerReserved1", [&](Sentinels&) { return long(p->providerReserved1("a", "b", 1)); }, 0},
        {"providerReserved2", [&](Sentinels&) { return p->providerReserved2(1, 2); }},
        {"providerReserved4", [&](Sentinels&) { return p->providerReserved4("a", "b", "c", 1, 2); }},
        {"copyFolder", [&](Sentinels& s) { return p->copyFolder("f", "g", s.text); }},
        {"copyItem", [&](Sentinels& s) { return p->copyItem("f", "i", "g", s.text); }},
        {"providerReserved5", [&](Sentinels&) { return p->providerReserved5("a", "b"); }},
        {"deleteFolder", [&](Sentinels&) { return p->deleteFolder("f"); }},
        {"getChanges", [&](Sentinels& s) { return p->getChanges(&s.out, 0); }},
        {"providerReserved6", [&](Sentinels& s) { return p->providerReserved6("x", s.base); }},
        {"getSharedFolder", [&](Sentinels& s) { return p->getSharedFolder("ann", "Inbox", s.folder); }},
        {"getFolderItems", [&](Sentinels& s) { return p->getFolderItems("f", &s.out); }},
        {"providerReserved7", [&](Sentinels&) { return p->providerReserved7("a", "b"); }},
        {"providerReserved8", [&](Sentinels&) { return p->providerReserved8("a", "b"); }},
        {"newMailItem", [&](Sentinels& s) { return p->newMailItem("f", "Message", s.item); }},
        {"providerReserved9", [&](Sentinels&) { return p->providerReserved9("a", "b", "c"); }},
        {"providerReserved10", [&](Sentinels& s) { return p->providerReserved10("x", s.base); }},
        {"providerReserved11", [&](Sentinels&) { return p->providerReserved11("x"); }},
        {"providerReserved12", [&](Sentinels&) { return p->providerReserved12("a", "b", 1); }},
        {"providerReserved13", [&](Sentinels&) { return p->providerReserved13(1, 2, 3); }},
        {"providerReserved14", [&](Sentinels&) { return p->providerReserved14("x"); }},
        {"importCSVItems", [&](Sentinels& s) { return p->importCSVItems("f", "a,b\n", s.number); }},
        {"exportItemsToCSV", [&](Sentinels& s) { return p->exportItemsToCSV("f", s.text); }},
        {"providerReserved15", [&](Sentinels&) { return p->providerReserved15("x", 1, 2); }},
        {"providerReserved16", [&](Sentinels&) { return p->providerReserved16("x"); }},
        {"loadFullMessageItem", [&](Sentinels& s) { return p->loadFullMessageItem("id", s.item); }},
        {"getACL", [&](Sentinels& s) { return p->getACL("f", &s.out); }},
        {"updateUsersInACL", [&](Sentinels&) { return p->updateUsersInACL("f", none); }},
        {"useUnicode", [&](Sentinels&) { return long(p->useUnicode()); }, 0},
        {"providerReserved17", [&](Sentinels&) { return p->providerReserved17(); }, 0},
        {"providerReserved20",
         [&](Sentinels& s) { return p->providerReserved20(1, s.base.get(), "x").length(); }, 0},
        {"providerReserved23", [&](Sentinels&) { return p->providerReserved23("a", "b"); }},
        {"providerReserved24", [&](Sentinels&) { return p->providerReserved24("a", "b"); }},
        {"providerReserved25", [&](Sentinels&) { return p->providerReserved25("a", "b"); }},

        {"newMessage", [&](Sentinels& s) { return m->newMessage("f", s.message); }},
        {"sendMessage(id)", [&](Sentinels&) { return m->sendMessage(String("id")); }},
        {"newAttachment", [&](Sentinels& s) { return m->newAttachment("id", s.attachment); }},
        {"addRecipient", [&](Sentinels& s) { return m->addRecipient("id", s.recipient, 1); }},
        {"removeRecipient", [&](Sentinels& s) { return m->removeRecipient("id", s.recipient, 1); }},
        {"deleteMessage", [&](Sentinels& s) { return m->deleteMessage("id", s.no); }},
        {"replyMessage", [&](Sentinels& s) { return m->replyMessage("id", true, s.message, s.detail); }},
        {"forwardMessage", [&](Sentinels& s) { return m->forwardMessage("id", s.message, s.detail); }},
        {"getMessageText", [&](Sentinels& s) { return m->getMessageText("id", s.text); }},
        {"loadAttachmentObject", [&](Sentinels& s) { return m->loadAttachmentObject("id", 1, s.item); }},
        {"clearFlag", [&](Sentinels& s) { return m->clearFlag("id", s.yes); }},
        {"setFlag", [&](Sentinels& s) { return m->setFlag("id", flag, 1, s.no); }},
        {"getHTMLBody", [&](Sentinels& s) { return m->getHTMLBody("id", s.text); }},
        {"markMessageAsRead", [&](Sentinels&) { return m->markMessageAsRead("id", true); }},

        {"sendUpdateEx", [&](Sentinels& s) { return c->sendUpdateEx(s.appointment, s.no); }},
        {"sendAppointment",
         [&](Sentinels& s) { return c->sendAppointment(s.appointment, s.appointmentDetail, ""); }},
        {"deleteRecurringAppointment",
         [&](Sentinels&) { return c->deleteRecurringAppointment("id", start, "", true); }},
        {"recurrenceChanged",
         [&](Sentinels& s) {
             return c->recurrenceChanged("id", rec, start, nine, nine, "", s.date, s.text, &s.out, s.date2);
         }},
        {"addRecurringBreak",
         [&](Sentinels& s) {
             return c->addRecurringBreak(s.appointment, s.appointmentDetail, s.text, s.number);
         }},
        {"getFilteredDistributionRecipients",
         [&](Sentinels& s) {
             return c->getFilteredDistributionRecipients("l", "a", s.date, s.date2, &s.out);
         }},
        {"syncAppointments", [&](Sentinels&) { return c->syncAppointments(none); }},

        {"newContact", [&](Sentinels& s) { return k->newContact("f", s.contact); }},

        {"newTask", [&](Sentinels& s) { return t->newTask("f", s.task); }},
        {"addTask", [&](Sentinels& s) { return t->addTask("f", s.task, s.taskDetail); }},
        {"removeTask", [&](Sentinels&) { return t->removeTask("id"); }},
        {"getTaskDetail", [&](Sentinels& s) { return t->getTaskDetail("id", s.taskDetail); }},
        {"saveTask", [&](Sentinels& s) { return t->saveTask(s.task, s.taskDetail, s.yes); }},
        {"addTaskSimple", [&](Sentinels& s) { return t->addTaskSimple("f", "subj", true, s.date, 2); }},
        {"taskRecurrenceChanged", [&](Sentinels& s) { return t->taskRecurrenceChanged("id", rec, s.date); }},
        {"generateRecurringTask", [&](Sentinels& s) { return t->generateRecurringTask("id", s.task); }},

        {"newNote", [&](Sentinels& s) { return notes->newNote("f", s.note); }},
        {"addNote", [&](Sentinels&) { return notes->addNote("f", "text", 1); }},
        {"removeNote", [&](Sentinels&) { return notes->removeNote("id"); }},
        {"saveNote", [&](Sentinels& s) { return notes->saveNote("id", "text", 1, s.no); }},

        {"sendInvitation",
         [&](Sentinels& s) { return mt->sendInvitation(s.appointment, s.appointmentDetail, ""); }},
        {"sendUpdate", [&](Sentinels& s) { return mt->sendUpdate(s.appointment, s.appointmentDetail, ""); }},
        {"respondToInvitation", [&](Sentinels&) { return mt->respondToInvitation("id", 1, "", true); }},
        {"removeMeetingAppointment", [&](Sentinels& s) { return mt->removeMeetingAppointment("id", s.no); }},
        {"sendRemoveNotification",
         [&](Sentinels& s) { return mt->sendRemoveNotification(s.appointment, s.appointmentDetail, ""); }},
        {"sendProposal", [&](Sentinels&) { return mt->sendProposal("id", start, end, ""); }},
        {"loadProposalAppointment",
         [&](Sentinels& s) { return mt->loadProposalAppointment("id", s.appointment, s.appointmentDetail); }},
        {"updateRecipientStatus", [&](Sentinels&) { return mt->updateRecipientStatus("id", "a@b.c", 1); }},
        {"sendRecUpdate",
         [&](Sentinels& s) { return mt->sendRecUpdate(s.appointment, s.appointmentDetail, rec, ""); }},
        {"updateTrackingInfo", [&](Sentinels& s) { return mt->updateTrackingInfo("id", &s.out); }},

        {"groupGetAppointmentRange",
         [&](Sentinels& s) { return g->groupGetAppointmentRange("g", "f", s.date, s.date2, true, &s.out); }},
        {"groupGetAppointmentDatesRange",
         [&](Sentinels& s) {
             return g->groupGetAppointmentDatesRange("g", "f", s.date, s.date2, "", &s.out);
         }},
        {"groupRemoveAppointment",
         [&](Sentinels& s) { return g->groupRemoveAppointment("g", "id", true, true, s.no); }},
        {"groupGetAppointmentDetail",
         [&](Sentinels& s) { return g->groupGetAppointmentDetail("g", "id", s.appointmentDetail); }},
        {"groupSaveAppointment",
         [&](Sentinels& s) {
             return g->groupSaveAppointment("g", s.appointment, s.appointmentDetail, s.yes);
         }},
        {"groupAppointmentTimeChanged",
         [&](Sentinels&) { return g->groupAppointmentTimeChanged("g", "id", start, end, "s", true, true); }},
        {"groupSendAppointment",
         [&](Sentinels& s) { return g->groupSendAppointment("g", s.appointment, s.appointmentDetail, ""); }},
        {"groupDeleteRecurringAppointment",
         [&](Sentinels&) { return g->groupDeleteRecurringAppointment("g", "id", start, "", true); }},
        {"groupRecurrenceChanged",
         [&](Sentinels& s) {
             return g->groupRecurrenceChanged("g", "id", rec, start, nine, nine, "", s.date, s.text, &s.out,
                                              s.date2);
         }},
        {"groupAddRecurringBreak",
         [&](Sentinels& s) {
             return g->groupAddRecurringBreak("g", s.appointment, s.appointmentDetail, s.text, s.number);
         }},
        {"groupGetFilteredDistributionRecipients",
         [&](Sentinels& s) {
             return g->groupGetFilteredDistributionRecipients("g", "l", "a", s.date, s.date2, &s.out);
         }},
        {"groupSendUpdateEx", [&](Sentinels& s) { return g->groupSendUpdateEx("g", s.appointment, s.no); }},
        {"groupSendInvitation",
         [&](Sentinels& s) { return g->groupSendInvitation("g", s.appointment, s.appointmentDetail, ""); }},
        {"groupRespondToInvitation",
         [&](Sentinels&) { return g->groupRespondToInvitation("g", "id", 1, "", true); }},
        {"groupRemoveMeetingAppointment",
         [&](Sentinels& s) { return g->groupRemoveMeetingAppointment("g", "id", s.no); }},
        {"groupSendProposal", [&](Sentinels&) { return g->groupSendProposal("g", "id", start, end, ""); }},
        {"groupSendUpdate",
         [&](Sentinels& s) { return g->groupSendUpdate("g", s.appointment, s.appointmentDetail, ""); }},
        {"groupLoadProposalAppointment",
         [&](Sentinels& s) {
             return g->groupLoadProposalAppointment("g", "id", s.appointment, s.appointmentDetail);
         }},
        {"groupUpdateRecipientStatus",
         [&](Sentinels&) { return g->groupUpdateRecipientStatus("g", "id", "a@b.c", 1); }},
        {"groupUpdateTrackingInfo",
         [&](Sentinels& s) { return g->groupUpdateTrackingInfo("g", "id", &s.out); }},
        {"groupAddAppointment",
         [&](Sentinels& s) {
             return g->groupAddAppointment("g", "f", s.appointment, s.appointmentDetail, "");
         }},
        {"groupGetFreeBusyBlocks",
         [&](Sentinels& s) { return g->groupGetFreeBusyBlocks("g", s.date, s.date2, none, &s.out); }},
        {"groupSyncAppointments", [&](Sentinels&) { return g->groupSyncAppointments("g", none); }},
        {"groupGetRangeForUser",
         [&](Sentinels& s) { return g->groupGetRangeForUser("g", "ann", s.date, s.date2, &s.out); }},
        {"groupHasEditRights", [&](Sentinels& s) { return g->groupHasEditRights("g", s.yes); }},
        {"groupGetSmartValue", [&](Sentinels& s) { return g->groupGetSmartValue("g", "id", s.text); }},
        {"groupSetSmartValue", [&](Sentinels&) { return g->groupSetSmartValue("g", "id", "n", "v"); }},
        {"groupLoadAttachmentData",
         [&](Sentinels& s) { return g->groupLoadAttachmentData("g", "id", 1, s.blob); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.operation);
        Sentinels s;
        const auto before = s.snapshot();
        EXPECT_EQ(row.call(s), row.answer);
        s.expectUntouched(before);
    }
    Sentinels s;
    EXPECT_EQ(p->providerReserved3("x", s.base), NS);
    EXPECT_EQ(s.base.get(), nullptr) << "the one reserved slot that lets go of its output";
    p->providerReserved18();
    p->providerReserved19();
    p->providerReserved21();
    p->providerReserved22();
    EXPECT_EQ(p->getModuleName(), "hxNotesProvider");
}
