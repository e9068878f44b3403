#pragma once
#include "hxMail/Items.h"

#include "Lattice/Util.h"

namespace hxMail {

class MailProvider;
class MessageProvider;
class CalendarProvider;
class ContactProvider;
class TaskProvider;
class NoteProvider;
class MeetingProvider;
class GroupProvider;

// Status every provider operation answers when a provider does not support it.
constexpr long kNotSupported = -1;

// Prefixes on a requested message id that ask for a new reply or forward of the stored message.
static const Lattice::String kForwardPrefix("forward_");
static const Lattice::String kReplyPrefix("reply_");
static const Lattice::String kReplyAllPrefix("replyAll_");

// The main provider of one user connection. Every operation answers a status, 0 for done; the
// base answers kNotSupported (verify operations false) and writes no output, so a plug-in only
// overrides what it supports. The slot order is the host's and must not change.
class MailProvider : public Lattice::Base {
    LATTICE_CLASS(MailProvider, "MailProvider", Lattice::Base)
public:
    using String = Lattice::String;
    using Collection = Lattice::ObjectCollection;

    MailProvider() = default;
    MailProvider(const MailProvider& other) : Lattice::Base(other) {}
    MailProvider& operator=(const MailProvider&) = delete;
    ~MailProvider() override;

    virtual long login(String userName, String password, String reserved, long, long);
    virtual bool providerReserved1(String, String, long);
    virtual bool verifyLogin(String userName, String password, String reserved, long, long, long);
    virtual long providerReserved2(long, long);
    virtual long logout();
    virtual long getMailbox(String ownerName, Lattice::Ptr<Mailbox>& mailbox);
    virtual long providerReserved3(String, Lattice::Ptr<Lattice::Base>& out);
    virtual long providerReserved4(String, String, String, long, long);
    virtual long copyFolder(String folderId, String targetParentId, String& newFolderId);
    virtual long copyItem(String folderId, String itemId, String targetFolderId, String& newItemId);
    virtual long providerReserved5(String, String);
    virtual long deleteItems(String folderId, const Collection& ids, bool, bool& done);
    virtual long deleteFolder(String folderId);
    virtual long getChanges(Collection* changes, long);
    virtual long providerReserved6(String, Lattice::Ptr<Lattice::Base>& out);
    virtual long getFolders(String, String mailboxId, Collection* folders);
    virtual long getSharedFolder(String ownerName, String folderName, Lattice::Ptr<Folder>& folder);
    virtual long getFolderItems(String folderId, Collection* items);
    virtual long getSortIndex(String folderId, String, long pageSize, Collection* labels, String& labelType,
                              long);
    virtual long getFolderItemsPage(String folderId, long start, long count, Collection* items);
    virtual long markAllRead(String folderId);
    virtual long markFolderRead(String folderId, long, long, long);
    virtual long providerReserved7(String, String);
    virtual long providerReserved8(String, String);
    virtual long newMailItem(String folderId, String className, Lattice::Ptr<MessageItem>& item);
    virtual long providerReserved9(String, String, String);
    virtual long providerReserved10(String, Lattice::Ptr<Lattice::Base>& out);
    virtual long providerReserved11(String);
    virtual long providerReserved12(String, String, long);
    virtual long setSortContext(String sortColumn, String folderId, bool ascending, String,
                                String& selectedFolderId);
    virtual long providerReserved13(long, long, long);
    virtual long providerReserved14(String);
    virtual long importCSVItems(String folderId, String csvText, long& imported);
    virtual long exportItemsToCSV(String folderId, String& csvText);
    virtual long providerReserved15(String, long, long);
    virtual long getAddressListCount(String bookId, long& count);
    virtual long getAddressList(String bookId, long count, Collection* entries);
    virtual long getAddressListPage(String bookId, long start, long count, Collection* entries);
    virtual long findAddressList(String bookId, String searchText, long count, long, Collection* entries,
                                 long& start, long&);
    virtual long providerReserved16(String);
    virtual long setShowPreview(String folderId, bool show);
    virtual long loadFullMessageItem(String id, Lattice::Ptr<MessageItem>& item);
    virtual long getACL(String folderId, Collection* entries);
    virtual long updateUsersInACL(String folderId, const Collection& entries);
    virtual bool useUnicode();
    virtual String getModuleName();
    // The child providers; null where a provider has none. They stay owned by this provider.
    virtual NoteProvider* noteProvider();
    virtual TaskProvider* taskProvider();
    virtual ContactProvider* contactProvider();
    virtual CalendarProvider* calendarProvider();
    virtual MessageProvider* messageProvider();
    virtual MeetingProvider* meetingProvider();
    virtual GroupProvider* groupProvider();
    virtual long providerReserved17();
    virtual void providerReserved18();
    virtual void providerReserved19();
    virtual String providerReserved20(long, Lattice::Base*, const String&);
    virtual void providerReserved21();
    virtual void providerReserved22();
    virtual long providerReserved23(String, String);
    virtual long providerReserved24(String, String);
    virtual long providerReserved25(String, String);

    // The host's client id, carried into attachment links and conversions.
    const String& getClientId() const { return clientId_; }
    void setClientId(const String& id) { clientId_ = id; }
    // Set by a successful login.
    bool isAuthenticated() const { return authenticated_; }
    void setAuthenticated(bool value) { authenticated_ = value; }

private:
    String clientId_;
    bool authenticated_ = false;
};

// A provider that works on behalf of a main provider. The owner is not counted: the main provider
// embeds its children and outlives them.
class MailChildProvider : public Lattice::Base {
    LATTICE_CLASS(MailChildProvider, "MailChildProvider", Lattice::Base)
public:
    explicit MailChildProvider(MailProvider* owner = nullptr) : owner_(owner) {}
    MailChildProvider(const MailChildProvider& other) : Lattice::Base(other), owner_(other.owner_) {}
    MailChildProvider& operator=(const MailChildProvider&) = delete;
    ~MailChildProvider() override;

    void setOwner(MailProvider* owner) { owner_ = owner; }
    MailProvider* owner() const { return owner_; }

private:
    MailProvider* owner_ = nullptr;
};

class MessageProvider : public MailChildProvider {
    LATTICE_CLASS(MessageProvider, "MessageProvider", MailChildProvider)
public:
    using String = Lattice::String;

    explicit MessageProvider(MailProvider* owner = nullptr) : MailChildProvider(owner) {}

    // Classifies a requested id by its prefix ("reply_", "replyAll_", "forward_") and strips the
    // prefix, leaving the stored message's id in `id`. An id without a prefix is left as it is.
    static _MessageType getMessageType(String& id);

    virtual long newMessage(String folderId, Lattice::Ptr<Message>& message);
    virtual long getMessageDetail(String id, String textType, Lattice::Ptr<MessageDetail>& detail);
    virtual long sendMessage(const Lattice::Ptr<Message>& message, const Lattice::Ptr<MessageDetail>& detail,
                             String text);
    virtual long sendMessage(String id);
    virtual long newAttachment(String id, Lattice::Ptr<Attachment>& attachment);
    virtual long addRecipient(String id, const Lattice::Ptr<Recipient>& recipient, long recipientType);
    virtual long removeRecipient(String id, const Lattice::Ptr<Recipient>& recipient, long recipientType);
    virtual long saveMessage(const Lattice::Ptr<Message>& message, const Lattice::Ptr<MessageDetail>& detail,
                             String& id, Lattice::Ptr<Attachments>& attachments);
    virtual long deleteMessage(String id, bool& deleted);
    virtual long replyMessage(String id, bool replyAll, Lattice::Ptr<Message>& message,
                              Lattice::Ptr<MessageDetail>& detail);
    virtual long forwardMessage(String id, Lattice::Ptr<Message>& message,
                                Lattice::Ptr<MessageDetail>& detail);
    virtual long loadAttachmentData(String id, long attachNum, Lattice::Ptr<Lattice::BaseObject64>& data);
    virtual long getMessageText(String id, String& text);
    virtual long loadAttachmentObject(String id, long attachNum, Lattice::Ptr<MessageItem>& item);
    virtual long clearFlag(String id, bool& changed);
    virtual long setFlag(String id, const Lattice::Ptr<ReminderFlag>& flag, long flagStatus, bool& changed);
    virtual long getHTMLBody(String id, String& html);
    virtual long setImportance(String id, long importance, bool& changed);
    virtual long setSmartValue(String id, String smartName, String smartValue);
    virtual long getSmartValue(String id, String& smartValue);
    virtual long markMessageAsRead(String id, bool read);
};

class CalendarProvider : public MailChildProvider {
    LATTICE_CLASS(CalendarProvider, "CalendarProvider", MailChildProvider)
public:
    using String = Lattice::String;
    using Collection = Lattice::ObjectCollection;

    explicit CalendarProvider(MailProvider* owner = nullptr) : MailChildProvider(owner) {}

    virtual long newAppointment(String folderId, Lattice::Ptr<Appointment>& appointment);
    virtual long addAppointment(String folderId, const Lattice::Ptr<Appointment>& appointment,
                                const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long removeAppointment(String id, bool, bool, bool& removed);
    virtual long getAppointmentDetail(String id, Lattice::Ptr<AppointmentDetail>& detail);
    virtual long sendUpdateEx(const Lattice::Ptr<Appointment>& appointment, bool& sent);
    virtual long saveAppointment(const Lattice::Ptr<Appointment>& appointment,
                                 const Lattice::Ptr<AppointmentDetail>& detail, bool& flag);
    virtual long appointmentTimeChanged(String id, Lattice::_DateTimeData start, Lattice::_DateTimeData end,
                                        String subject, bool, bool);
    virtual long sendAppointment(const Lattice::Ptr<Appointment>& appointment,
                                 const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long deleteRecurringAppointment(String id, Lattice::_DateTimeData instance, String text, bool);
    virtual long recurrenceChanged(String id, const Lattice::Ptr<RecurrenceObject>& recurrence,
                                   Lattice::_DateTimeData start, Lattice::_TimeData startTime,
                                   Lattice::_TimeData endTime, String text, Lattice::_DateData& firstDate,
                                   String& newId, Collection* changed, Lattice::_DateData& lastDate);
    virtual long getAppointmentRange(String folderId, Lattice::_DateData start, Lattice::_DateData end, bool,
                                     Collection* out);
    virtual long getAppointmentDatesRange(String folderId, Lattice::_DateData start, Lattice::_DateData end,
                                          String text, Collection* out);
    virtual long addRecurringBreak(const Lattice::Ptr<Appointment>& appointment,
                                   const Lattice::Ptr<AppointmentDetail>& detail, String& newId,
                                   long& status);
    virtual long getFilteredDistributionRecipients(String listId, String filter, Lattice::_DateData start,
                                                   Lattice::_DateData end, Collection* out);
    virtual long getFreeBusyBlocks(Lattice::_DateData start, Lattice::_DateData end, const Collection& users,
                                   Collection* out);
    virtual long syncAppointments(const Collection& appointments);
};

class ContactProvider : public MailChildProvider {
    LATTICE_CLASS(ContactProvider, "ContactProvider", MailChildProvider)
public:
    using String = Lattice::String;
    using Collection = Lattice::ObjectCollection;

    explicit ContactProvider(MailProvider* owner = nullptr) : MailChildProvider(owner) {}

    virtual long newContact(String folderId, Lattice::Ptr<Contact>& contact);
    virtual long removeContact(String id);
    virtual long getContactFolders(String parentId, Collection* out);
    virtual long getRecipients(String text, const Lattice::Ptr<Folder>& folder,
                               Lattice::Ptr<Recipients>& out);
    virtual long getContactDetail(String id, Lattice::Ptr<ContactDetail>& detail);
    virtual long addContact(String folderId, const Lattice::Ptr<Contact>& contact,
                            const Lattice::Ptr<ContactDetail>& detail);
    virtual long saveContact(const Lattice::Ptr<Contact>& contact, const Lattice::Ptr<ContactDetail>& detail,
                             bool& flag);
    virtual long getFilteredRecipients(String filter, Collection* out);
    virtual long nameChanged(String, String title, String first, String middle, String last, String suffix,
                             String& fullName, String& fileAsName);
    virtual long addressChanged(String, const Lattice::Ptr<Address>& address, String, String& fullAddress);
    virtual long fullAddressChanged(String, String fullAddress, Lattice::Ptr<Address>& address);
    virtual long fullNameChanged(String, String fullName, String& title, String& first, String& last,
                                 String& middle, String& suffix, String& fileAsName);
    virtual long addDistributionList(String folderId, const Lattice::Ptr<DistributionList>& list, bool& flag);
    virtual long saveDistributionList(const Lattice::Ptr<DistributionList>& list, bool& flag);
    virtual long addContactGetRecipient(String folderId, const Lattice::Ptr<Contact>& contact,
                                        const Lattice::Ptr<ContactDetail>& detail,
                                        Lattice::Ptr<Recipient>& recipient, bool& flag);
};

class TaskProvider : public MailChildProvider {
    LATTICE_CLASS(TaskProvider, "TaskProvider", MailChildProvider)
public:
    using String = Lattice::String;

    explicit TaskProvider(MailProvider* owner = nullptr) : MailChildProvider(owner) {}

    virtual long newTask(String folderId, Lattice::Ptr<Task>& task);
    virtual long addTask(String folderId, const Lattice::Ptr<Task>& task,
                         const Lattice::Ptr<TaskDetail>& detail);
    virtual long removeTask(String id);
    virtual long getTaskDetail(String id, Lattice::Ptr<TaskDetail>& detail);
    virtual long saveTask(const Lattice::Ptr<Task>& task, const Lattice::Ptr<TaskDetail>& detail, bool& flag);
    virtual long addTaskSimple(String folderId, String subject, bool complete, Lattice::_DateData due,
                               long importance);
    virtual long taskRecurrenceChanged(String id, const Lattice::Ptr<RecurrenceObject>& recurrence,
                                       Lattice::_DateData& nextDue);
    virtual long generateRecurringTask(String id, Lattice::Ptr<Task>& next);
};

class NoteProvider : public MailChildProvider {
    LATTICE_CLASS(NoteProvider, "NoteProvider", MailChildProvider)
public:
    using String = Lattice::String;

    explicit NoteProvider(MailProvider* owner = nullptr) : MailChildProvider(owner) {}

    virtual long newNote(String folderId, Lattice::Ptr<Note>& note);
    virtual long addNote(String folderId, String text, long color);
    virtual long removeNote(String id);
    virtual long saveNote(String id, String text, long color, bool& flag);
};

class MeetingProvider : public MailChildProvider {
    LATTICE_CLASS(MeetingProvider, "MeetingProvider", MailChildProvider)
public:
    using String = Lattice::String;
    using Collection = Lattice::ObjectCollection;

    explicit MeetingProvider(MailProvider* owner = nullptr) : MailChildProvider(owner) {}

    virtual long sendInvitation(const Lattice::Ptr<Appointment>& appointment,
                                const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long sendUpdate(const Lattice::Ptr<Appointment>& appointment,
                            const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long respondToInvitation(String id, long response, String text, bool sendResponse);
    virtual long removeMeetingAppointment(String id, bool& removed);
    virtual long sendRemoveNotification(const Lattice::Ptr<Appointment>& appointment,
                                        const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long sendProposal(String id, Lattice::_DateTimeData start, Lattice::_DateTimeData end,
                              String text);
    virtual long loadProposalAppointment(String id, Lattice::Ptr<Appointment>& appointment,
                                         Lattice::Ptr<AppointmentDetail>& detail);
    virtual long updateRecipientStatus(String id, String recipientAddress, long status);
    virtual long sendRecUpdate(const Lattice::Ptr<Appointment>& appointment,
                               const Lattice::Ptr<AppointmentDetail>& detail,
                               const Lattice::Ptr<RecurrenceObject>& recurrence, String text);
    virtual long updateTrackingInfo(String id, Collection* tracking);
};

// Shared calendars of several users; every operation names the group first.
class GroupProvider : public MailChildProvider {
    LATTICE_CLASS(GroupProvider, "GroupProvider", MailChildProvider)
public:
    using String = Lattice::String;
    using Collection = Lattice::ObjectCollection;

    explicit GroupProvider(MailProvider* owner = nullptr) : MailChildProvider(owner) {}

    virtual long groupGetAppointmentRange(String groupId, String folderId, Lattice::_DateData start,
                                          Lattice::_DateData end, bool, Collection* out);
    virtual long groupGetAppointmentDatesRange(String groupId, String folderId, Lattice::_DateData start,
                                               Lattice::_DateData end, String text, Collection* out);
    virtual long groupRemoveAppointment(String groupId, String id, bool, bool, bool& removed);
    virtual long groupGetAppointmentDetail(String groupId, String id,
                                           Lattice::Ptr<AppointmentDetail>& detail);
    virtual long groupSaveAppointment(String groupId, const Lattice::Ptr<Appointment>& appointment,
                                      const Lattice::Ptr<AppointmentDetail>& detail, bool& flag);
    virtual long groupAppointmentTimeChanged(String groupId, String id, Lattice::_DateTimeData start,
                                             Lattice::_DateTimeData end, String subject, bool, bool);
    virtual long groupSendAppointment(String groupId, const Lattice::Ptr<Appointment>& appointment,
                                      const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long groupDeleteRecurringAppointment(String groupId, String id, Lattice::_DateTimeData instance,
                                                 String text, bool);
    virtual long groupRecurrenceChanged(String groupId, String id,
                                        const Lattice::Ptr<RecurrenceObject>& recurrence,
                                        Lattice::_DateTimeData start, Lattice::_TimeData startTime,
                                        Lattice::_TimeData endTime, String text,
                                        Lattice::_DateData& firstDate, String& newId, Collection* changed,
                                        Lattice::_DateData& lastDate);
    virtual long groupAddRecurringBreak(String groupId, const Lattice::Ptr<Appointment>& appointment,
                                        const Lattice::Ptr<AppointmentDetail>& detail, String& newId,
                                        long& status);
    virtual long groupGetFilteredDistributionRecipients(String groupId, String listId, String filter,
                                                        Lattice::_DateData start, Lattice::_DateData end,
                                                        Collection* out);
    virtual long groupSendUpdateEx(String groupId, const Lattice::Ptr<Appointment>& appointment, bool& sent);
    virtual long groupSendInvitation(String groupId, const Lattice::Ptr<Appointment>& appointment,
                                     const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long groupRespondToInvitation(String groupId, String id, long response, String text,
                                          bool sendResponse);
    virtual long groupRemoveMeetingAppointment(String groupId, String id, bool& removed);
    virtual long groupSendProposal(String groupId, String id, Lattice::_DateTimeData start,
                                   Lattice::_DateTimeData end, String text);
    virtual long groupSendUpdate(String groupId, const Lattice::Ptr<Appointment>& appointment,
                                 const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long groupLoadProposalAppointment(String groupId, String id,
                                              Lattice::Ptr<Appointment>& appointment,
                                              Lattice::Ptr<AppointmentDetail>& detail);
    virtual long groupUpdateRecipientStatus(String groupId, String id, String recipientAddress, long status);
    virtual long groupUpdateTrackingInfo(String groupId, String id, Collection* tracking);
    virtual long groupAddAppointment(String groupId, String folderId,
                                     const Lattice::Ptr<Appointment>& appointment,
                                     const Lattice::Ptr<AppointmentDetail>& detail, String text);
    virtual long groupGetFreeBusyBlocks(String groupId, Lattice::_DateData start, Lattice::_DateData end,
                                        const Collection& users, Collection* out);
    virtual long groupSyncAppointments(String groupId, const Collection& appointments);
    virtual long groupGetRangeForUser(String groupId, String user, Lattice::_DateData start,
                                      Lattice::_DateData end, Collection* out);
    virtual long groupHasEditRights(String groupId, bool& canEdit);
    virtual long groupGetSmartValue(String groupId, String id, String& smartValue);
    virtual long groupSetSmartValue(String groupId, String id, String smartName, String smartValue);
    virtual long groupLoadAttachmentData(String groupId, String id, long attachNum,
                                         Lattice::Ptr<Lattice::BaseObject64>& data);
};

} // namespace hxMail
