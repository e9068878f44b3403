#include "hxMail/Providers.h"

namespace hxMail {

MailProvider::~MailProvider() = default;
MailChildProvider::~MailChildProvider() = default;

_MessageType MessageProvider::getMessageType(String& id) {
    // No prefix is a prefix of another, so the order of the tests does not matter; the longest
    // goes first all the same so that a future shorter one cannot shadow it.
    struct Prefix {
        const String& text;
        _MessageType type;
    };
    const Prefix prefixes[] = {
        {kReplyAllPrefix, MessageTypeReplyAll},
        {kForwardPrefix, MessageTypeForward},
        {kReplyPrefix, MessageTypeReply},
    };
    for (const Prefix& p : prefixes) {
        if (id.startsWith(p.text)) {
            id = id.substring(p.text.length());
            return p.type;
        }
    }
    return MessageTypeNormal;
}

long MailProvider::login(String, String, String, long, long) {
    return kNotSupported;
}

bool MailProvider::providerReserved1(String, String, long) {
    return false;
}

bool MailProvider::verifyLogin(String, String, String, long, long, long) {
    return false;
}

long MailProvider::providerReserved2(long, long) {
    return kNotSupported;
}

long MailProvider::logout() {
    return kNotSupported;
}

long MailProvider::getMailbox(String, Lattice::Ptr<Mailbox>&) {
    return kNotSupported;
}

long MailProvider::providerReserved3(String, Lattice::Ptr<Lattice::Base>&) {
    return kNotSupported;
}

long MailProvider::providerReserved4(String, String, String, long, long) {
    return kNotSupported;
}

long MailProvider::copyFolder(String, String, String&) {
    return kNotSupported;
}

long MailProvider::copyItem(String, String, String, String&) {
    return kNotSupported;
}

long MailProvider::providerReserved5(String, String) {
    return kNotSupported;
}

long MailProvider::deleteItems(String, const Collection&, bool, bool&) {
    return kNotSupported;
}

long MailProvider::deleteFolder(String) {
    return kNotSupported;
}

long MailProvider::getChanges(Collection*, long) {
    return kNotSupported;
}

long MailProvider::providerReserved6(String, Lattice::Ptr<Lattice::Base>&) {
    return kNotSupported;
}

long MailProvider::getFolders(String, String, Collection*) {
    return kNotSupported;
}

long MailProvider::getSharedFolder(String, String, Lattice::Ptr<Folder>&) {
    return kNotSupported;
}

long MailProvider::getFolderItems(String, Collection*) {
    return kNotSupported;
}

long MailProvider::getSortIndex(String, String, long, Collection*, String&, long) {
    return kNotSupported;
}

long MailProvider::getFolderItemsPage(String, long, long, Collection*) {
    return kNotSupported;
}

long MailProvider::markAllRead(String) {
    return kNotSupported;
}

long MailProvider::markFolderRead(String, long, long, long) {
    return kNotSupported;
}

long MailProvider::providerReserved7(String, String) {
    return kNotSupported;
}

long MailProvider::providerReserved8(String, String) {
    return kNotSupported;
}

long MailProvider::newMailItem(String, String, Lattice::Ptr<MessageItem>&) {
    return kNotSupported;
}

long MailProvider::providerReserved9(String, String, String) {
    return kNotSupported;
}

long MailProvider::providerReserved10(String, Lattice::Ptr<Lattice::Base>&) {
    return kNotSupported;
}

long MailProvider::providerReserved11(String) {
    return kNotSupported;
}

long MailProvider::providerReserved12(String, String, long) {
    return kNotSupported;
}

long MailProvider::setSortContext(String, String, bool, String, String&) {
    return kNotSupported;
}

long MailProvider::providerReserved13(long, long, long) {
    return kNotSupported;
}

long MailProvider::providerReserved14(String) {
    return kNotSupported;
}

long MailProvider::importCSVItems(String, String, long&) {
    return kNotSupported;
}

long MailProvider::exportItemsToCSV(String, String&) {
    return kNotSupported;
}

long MailProvider::providerReserved15(String, long, long) {
    return kNotSupported;
}

long MailProvider::getAddressListCount(String, long&) {
    return kNotSupported;
}

long MailProvider::getAddressList(String, long, Collection*) {
    return kNotSupported;
}

long MailProvider::getAddressListPage(String, long, long, Collection*) {
    return kNotSupported;
}

long MailProvider::findAddressList(String, String, long, long, Collection*, long&, long&) {
    return kNotSupported;
}

long MailProvider::providerReserved16(String) {
    return kNotSupported;
}

long MailProvider::setShowPreview(String, bool) {
    return kNotSupported;
}

long MailProvider::loadFullMessageItem(String, Lattice::Ptr<MessageItem>&) {
    return kNotSupported;
}

long MailProvider::getACL(String, Collection*) {
    return kNotSupported;
}

long MailProvider::updateUsersInACL(String, const Collection&) {
    return kNotSupported;
}

bool MailProvider::useUnicode() {
    return false;
}

Lattice::String MailProvider::getModuleName() {
    return String();
}

NoteProvider* MailProvider::noteProvider() {
    return nullptr;
}

TaskProvider* MailProvider::taskProvider() {
    return nullptr;
}

ContactProvider* MailProvider::contactProvider() {
    return nullptr;
}

CalendarProvider* MailProvider::calendarProvider() {
    return nullptr;
}

MessageProvider* MailProvider::messageProvider() {
    return nullptr;
}

MeetingProvider* MailProvider::meetingProvider() {
    return nullptr;
}

GroupProvider* MailProvider::groupProvider() {
    return nullptr;
}

long MailProvider::providerReserved17() {
    return kNotSupported;
}

void MailProvider::providerReserved18() {}

void MailProvider::providerReserved19() {}

Lattice::String MailProvider::providerReserved20(long, Lattice::Base*, const String&) {
    return String();
}

void MailProvider::providerReserved21() {}

void MailProvider::providerReserved22() {}

long MailProvider::providerReserved23(String, String) {
    return kNotSupported;
}

long MailProvider::providerReserved24(String, String) {
    return kNotSupported;
}

long MailProvider::providerReserved25(String, String) {
    return kNotSupported;
}

long MessageProvider::newMessage(String, Lattice::Ptr<Message>&) {
    return kNotSupported;
}

long MessageProvider::getMessageDetail(String, String, Lattice::Ptr<MessageDetail>&) {
    return kNotSupported;
}

long MessageProvider::sendMessage(const Lattice::Ptr<Message>&, const Lattice::Ptr<MessageDetail>&, String) {
    return kNotSupported;
}

long MessageProvider::sendMessage(String) {
    return kNotSupported;
}

long MessageProvider::newAttachment(String, Lattice::Ptr<Attachment>&) {
    return kNotSupported;
}

long MessageProvider::addRecipient(String, const Lattice::Ptr<Recipient>&, long) {
    return kNotSupported;
}

long MessageProvider::removeRecipient(String, const Lattice::Ptr<Recipient>&, long) {
    return kNotSupported;
}

long MessageProvider::saveMessage(const Lattice::Ptr<Message>&, const Lattice::Ptr<MessageDetail>&, String&,
                                  Lattice::Ptr<Attachments>&) {
    return kNotSupported;
}

long MessageProvider::deleteMessage(String, bool&) {
    return kNotSupported;
}

long MessageProvider::replyMessage(String, bool, Lattice::Ptr<Message>&, Lattice::Ptr<MessageDetail>&) {
    return kNotSupported;
}

long MessageProvider::forwardMessage(String, Lattice::Ptr<Message>&, Lattice::Ptr<MessageDetail>&) {
    return kNotSupported;
}

long MessageProvider::loadAttachmentData(String, long, Lattice::Ptr<Lattice::BaseObject64>&) {
    return kNotSupported;
}

long MessageProvider::getMessageText(String, String&) {
    return kNotSupported;
}

long MessageProvider::loadAttachmentObject(String, long, Lattice::Ptr<MessageItem>&) {
    return kNotSupported;
}

long MessageProvider::clearFlag(String, bool&) {
    return kNotSupported;
}

long MessageProvider::setFlag(String, const Lattice::Ptr<ReminderFlag>&, long, bool&) {
    return kNotSupported;
}

long MessageProvider::getHTMLBody(String, String&) {
    return kNotSupported;
}

long MessageProvider::setImportance(String, long, bool&) {
    return kNotSupported;
}

long MessageProvider::setSmartValue(String, String, String) {
    return kNotSupported;
}

long MessageProvider::getSmartValue(String, String&) {
    return kNotSupported;
}

long MessageProvider::markMessageAsRead(String, bool) {
    return kNotSupported;
}

long CalendarProvider::newAppointment(String, Lattice::Ptr<Appointment>&) {
    return kNotSupported;
}

long CalendarProvider::addAppointment(String, const Lattice::Ptr<Appointment>&,
                                      const Lattice::Ptr<AppointmentDetail>&, String) {
    return kNotSupported;
}

long CalendarProvider::removeAppointment(String, bool, bool, bool&) {
    return kNotSupported;
}

long CalendarProvider::getAppointmentDetail(String, Lattice::Ptr<AppointmentDetail>&) {
    return kNotSupported;
}

long CalendarProvider::sendUpdateEx(const Lattice::Ptr<Appointment>&, bool&) {
    return kNotSupported;
}

long CalendarProvider::saveAppointment(const Lattice::Ptr<Appointment>&,
                                       const Lattice::Ptr<AppointmentDetail>&, bool&) {
    return kNotSupported;
}

long CalendarProvider::appointmentTimeChanged(String, Lattice::_DateTimeData, Lattice::_DateTimeData, String,
                                              bool, bool) {
    return kNotSupported;
}

long CalendarProvider::sendAppointment(const Lattice::Ptr<Appointment>&,
                                       const Lattice::Ptr<AppointmentDetail>&, String) {
    return kNotSupported;
}

long CalendarProvider::deleteRecurringAppointment(String, Lattice::_DateTimeData, String, bool) {
    return kNotSupported;
}

long CalendarProvider::recurrenceChanged(String, const Lattice::Ptr<RecurrenceObject>&,
                                         Lattice::_DateTimeData, Lattice::_TimeData, Lattice::_TimeData,
                                         String, Lattice::_DateData&, String&, Collection*,
                                         Lattice::_DateData&) {
    return kNotSupported;
}

long CalendarProvider::getAppointmentRange(String, Lattice::_DateData, Lattice::_DateData, bool,
                                           Collection*) {
    return kNotSupported;
}

long CalendarProvider::getAppointmentDatesRange(String, Lattice::_DateData, Lattice::_DateData, String,
                                                Collection*) {
    return kNotSupported;
}

long CalendarProvider::addRecurringBreak(const Lattice::Ptr<Appointment>&,
                                         const Lattice::Ptr<AppointmentDetail>&, String&, long&) {
    return kNotSupported;
}

long CalendarProvider::getFilteredDistributionRecipients(String, String, Lattice::_DateData,
                                                         Lattice::_DateData, Collection*) {
    return kNotSupported;
}

long CalendarProvider::getFreeBusyBlocks(Lattice::_DateData, Lattice::_DateData, const Collection&,
                                         Collection*) {
    return kNotSupported;
}

long CalendarProvider::syncAppointments(const Collection&) {
    return kNotSupported;
}

long ContactProvider::newContact(String, Lattice::Ptr<Contact>&) {
    return kNotSupported;
}

long ContactProvider::removeContact(String) {
    return kNotSupported;
}

long ContactProvider::getContactFolders(String, Collection*) {
    return kNotSupported;
}

long ContactProvider::getRecipients(String, const Lattice::Ptr<Folder>&, Lattice::Ptr<Recipients>&) {
    return kNotSupported;
}

long ContactProvider::getContactDetail(String, Lattice::Ptr<ContactDetail>&) {
    return kNotSupported;
}

long ContactProvider::addContact(String, const Lattice::Ptr<Contact>&, const Lattice::Ptr<ContactDetail>&) {
    return kNotSupported;
}

long ContactProvider::saveContact(const Lattice::Ptr<Contact>&, const Lattice::Ptr<ContactDetail>&, bool&) {
    return kNotSupported;
}

long ContactProvider::getFilteredRecipients(String, Collection*) {
    return kNotSupported;
}

long ContactProvider::nameChanged(String, String, String, String, String, String, String&, String&) {
    return kNotSupported;
}

long ContactProvider::addressChanged(String, const Lattice::Ptr<Address>&, String, String&) {
    return kNotSupported;
}

long ContactProvider::fullAddressChanged(String, String, Lattice::Ptr<Address>&) {
    return kNotSupported;
}

long ContactProvider::fullNameChanged(String, String, String&, String&, String&, String&, String&, String&) {
    return kNotSupported;
}

long ContactProvider::addDistributionList(String, const Lattice::Ptr<DistributionList>&, bool&) {
    return kNotSupported;
}

long ContactProvider::saveDistributionList(const Lattice::Ptr<DistributionList>&, bool&) {
    return kNotSupported;
}

long ContactProvider::addContactGetRecipient(String, const Lattice::Ptr<Contact>&,
                                             const Lattice::Ptr<ContactDetail>&, Lattice::Ptr<Recipient>&,
                                             bool&) {
    return kNotSupported;
}

long TaskProvider::newTask(String, Lattice::Ptr<Task>&) {
    return kNotSupported;
}

long TaskProvider::addTask(String, const Lattice::Ptr<Task>&, const Lattice::Ptr<TaskDetail>&) {
    return kNotSupported;
}

long TaskProvider::removeTask(String) {
    return kNotSupported;
}

long TaskProvider::getTaskDetail(String, Lattice::Ptr<TaskDetail>&) {
    return kNotSupported;
}

long TaskProvider::saveTask(const Lattice::Ptr<Task>&, const Lattice::Ptr<TaskDetail>&, bool&) {
    return kNotSupported;
}

long TaskProvider::addTaskSimple(String, String, bool, Lattice::_DateData, long) {
    return kNotSupported;
}

long TaskProvider::taskRecurrenceChanged(String, const Lattice::Ptr<RecurrenceObject>&, Lattice::_DateData&) {
    return kNotSupported;
}

long TaskProvider::generateRecurringTask(String, Lattice::Ptr<Task>&) {
    return kNotSupported;
}

long NoteProvider::newNote(String, Lattice::Ptr<Note>&) {
    return kNotSupported;
}

long NoteProvider::addNote(String, String, long) {
    return kNotSupported;
}

long NoteProvider::removeNote(String) {
    return kNotSupported;
}

long NoteProvider::saveNote(String, String, long, bool&) {
    return kNotSupported;
}

long MeetingProvider::sendInvitation(const Lattice::Ptr<Appointment>&, const Lattice::Ptr<AppointmentDetail>&,
                                     String) {
    return kNotSupported;
}

long MeetingProvider::sendUpdate(const Lattice::Ptr<Appointment>&, const Lattice::Ptr<AppointmentDetail>&,
                                 String) {
    return kNotSupported;
}

long MeetingProvider::respondToInvitation(String, long, String, bool) {
    return kNotSupported;
}

long MeetingProvider::removeMeetingAppointment(String, bool&) {
    return kNotSupported;
}

long MeetingProvider::sendRemoveNotification(const Lattice::Ptr<Appointment>&,
                                             const Lattice::Ptr<AppointmentDetail>&, String) {
    return kNotSupported;
}

long MeetingProvider::sendProposal(String, Lattice::_DateTimeData, Lattice::_DateTimeData, String) {
    return kNotSupported;
}

long MeetingProvider::loadProposalAppointment(String, Lattice::Ptr<Appointment>&,
                                              Lattice::Ptr<AppointmentDetail>&) {
    return kNotSupported;
}

long MeetingProvider::updateRecipientStatus(String, String, long) {
    return kNotSupported;
}

long MeetingProvider::sendRecUpdate(const Lattice::Ptr<Appointment>&, const Lattice::Ptr<AppointmentDetail>&,
                                    const Lattice::Ptr<RecurrenceObject>&, String) {
    return kNotSupported;
}

long MeetingProvider::updateTrackingInfo(String, Collection*) {
    return kNotSupported;
}

long GroupProvider::groupGetAppointmentRange(String, String, Lattice::_DateData, Lattice::_DateData, bool,
                                             Collection*) {
    return kNotSupported;
}

long GroupProvider::groupGetAppointmentDatesRange(String, String, Lattice::_DateData, Lattice::_DateData,
                                                  String, Collection*) {
    return kNotSupported;
}

long GroupProvider::groupRemoveAppointment(String, String, bool, bool, bool&) {
    return kNotSupported;
}

long GroupProvider::groupGetAppointmentDetail(String, String, Lattice::Ptr<AppointmentDetail>&) {
    return kNotSupported;
}

long GroupProvider::groupSaveAppointment(String, const Lattice::Ptr<Appointment>&,
                                         const Lattice::Ptr<AppointmentDetail>&, bool&) {
    return kNotSupported;
}

long GroupProvider::groupAppointmentTimeChanged(String, String, Lattice::_DateTimeData,
                                                Lattice::_DateTimeData, String, bool, bool) {
    return kNotSupported;
}

long GroupProvider::groupSendAppointment(String, const Lattice::Ptr<Appointment>&,
                                         const Lattice::Ptr<AppointmentDetail>&, String) {
    return kNotSupported;
}

long GroupProvider::groupDeleteRecurringAppointment(String, String, Lattice::_DateTimeData, String, bool) {
    return kNotSupported;
}

long GroupProvider::groupRecurrenceChanged(String, String, const Lattice::Ptr<RecurrenceObject>&,
                                           Lattice::_DateTimeData, Lattice::_TimeData, Lattice::_TimeData,
                                           String, Lattice::_DateData&, String&, Collection*,
                                           Lattice::_DateData&) {
    return kNotSupported;
}

long GroupProvider::groupAddRecurringBreak(String, const Lattice::Ptr<Appointment>&,
                                           const Lattice::Ptr<AppointmentDetail>&, String&, long&) {
    return kNotSupported;
}

long GroupProvider::groupGetFilteredDistributionRecipients(String, String, String, Lattice::_DateData,
                                                           Lattice::_DateData, Collection*) {
    return kNotSupported;
}

long GroupProvider::groupSendUpdateEx(String, const Lattice::Ptr<Appointment>&, bool&) {
    return kNotSupported;
}

long GroupProvider::groupSendInvitation(String, const Lattice::Ptr<Appointment>&,
                                        const Lattice::Ptr<AppointmentDetail>&, String) {
    return kNotSupported;
}

long GroupProvider::groupRespondToInvitation(String, String, long, String, bool) {
    return kNotSupported;
}

long GroupProvider::groupRemoveMeetingAppointment(String, String, bool&) {
    return kNotSupported;
}

long GroupProvider::groupSendProposal(String, String, Lattice::_DateTimeData, Lattice::_DateTimeData,
                                      String) {
    return kNotSupported;
}

long GroupProvider::groupSendUpdate(String, const Lattice::Ptr<Appointment>&,
                                    const Lattice::Ptr<AppointmentDetail>&, String) {
    return kNotSupported;
}

long GroupProvider::groupLoadProposalAppointment(String, String, Lattice::Ptr<Appointment>&,
                                                 Lattice::Ptr<AppointmentDetail>&) {
    return kNotSupported;
}

long GroupProvider::groupUpdateRecipientStatus(String, String, String, long) {
    return kNotSupported;
}

long GroupProvider::groupUpdateTrackingInfo(String, String, Collection*) {
    return kNotSupported;
}

long GroupProvider::groupAddAppointment(String, String, const Lattice::Ptr<Appointment>&,
                                        const Lattice::Ptr<AppointmentDetail>&, String) {
    return kNotSupported;
}

long GroupProvider::groupGetFreeBusyBlocks(String, Lattice::_DateData, Lattice::_DateData, const Collection&,
                                           Collection*) {
    return kNotSupported;
}

long GroupProvider::groupSyncAppointments(String, const Collection&) {
    return kNotSupported;
}

long GroupProvider::groupGetRangeForUser(String, String, Lattice::_DateData, Lattice::_DateData,
                                         Collection*) {
    return kNotSupported;
}

long GroupProvider::groupHasEditRights(String, bool&) {
    return kNotSupported;
}

long GroupProvider::groupGetSmartValue(String, String, String&) {
    return kNotSupported;
}

long GroupProvider::groupSetSmartValue(String, String, String, String) {
    return kNotSupported;
}

long GroupProvider::groupLoadAttachmentData(String, String, long, Lattice::Ptr<Lattice::BaseObject64>&) {
    return kNotSupported;
}

// The host makes its providers by name; a plug-in's registration under the same name replaces
// these.
LATTICE_REGISTER_CLASS(MailProvider);
LATTICE_REGISTER_CLASS(MessageProvider);
LATTICE_REGISTER_CLASS(CalendarProvider);
LATTICE_REGISTER_CLASS(ContactProvider);
LATTICE_REGISTER_CLASS(TaskProvider);
LATTICE_REGISTER_CLASS(NoteProvider);
LATTICE_REGISTER_CLASS(MeetingProvider);
LATTICE_REGISTER_CLASS(GroupProvider);

} // namespace hxMail
