#include "hxMail/Items.h"

namespace hxMail {

Item::~Item() = default;

Folder* Folder::createForType(long type) {
    switch (type) {
    case FolderTypeInbox:
        return new Inbox();
    case FolderTypeCalendar:
        return new CalendarFolder();
    case FolderTypeContacts:
        return new Contacts();
    case FolderTypeTasks:
        return new Tasks();
    case FolderTypeDeletedItems:
        return new DeletedItems();
    case FolderTypeSentItems:
        return new SentItems();
    case FolderTypeDrafts:
        return new Drafts();
    default:
        return new Folder();
    }
}

// The host makes its items by class name, e.g. when reading them back from a request.
LATTICE_REGISTER_CLASS(Item);
LATTICE_REGISTER_CLASS(MessageItem);
LATTICE_REGISTER_CLASS(Message);
LATTICE_REGISTER_CLASS(Note);
LATTICE_REGISTER_CLASS(ReminderFlag);
LATTICE_REGISTER_CLASS(MessageBody);
LATTICE_REGISTER_CLASS(Attachment);
LATTICE_REGISTER_CLASS(Attachments);
LATTICE_REGISTER_CLASS(Recipient);
LATTICE_REGISTER_CLASS(Recipients);
LATTICE_REGISTER_CLASS(MessageDetail);
LATTICE_REGISTER_CLASS(Person);
LATTICE_REGISTER_CLASS(Folder);
LATTICE_REGISTER_CLASS(Mailbox);
LATTICE_REGISTER_CLASS(Inbox);
LATTICE_REGISTER_CLASS(Drafts);
LATTICE_REGISTER_CLASS(SentItems);
LATTICE_REGISTER_CLASS(DeletedItems);
LATTICE_REGISTER_CLASS(CalendarFolder);
LATTICE_REGISTER_CLASS(Contacts);
LATTICE_REGISTER_CLASS(Tasks);
LATTICE_REGISTER_CLASS(RecipientFolder);
LATTICE_REGISTER_CLASS(Appointment);
LATTICE_REGISTER_CLASS(AppointmentDetail);
LATTICE_REGISTER_CLASS(AppointmentAttendee);
LATTICE_REGISTER_CLASS(RecurrenceObject);
LATTICE_REGISTER_CLASS(Address);
LATTICE_REGISTER_CLASS(ContactDetail);
LATTICE_REGISTER_CLASS(Contact);
LATTICE_REGISTER_CLASS(DistributionList);
LATTICE_REGISTER_CLASS(Task);
LATTICE_REGISTER_CLASS(TaskDetail);
LATTICE_REGISTER_CLASS(ChangeItem);
LATTICE_REGISTER_CLASS(ChangeItemCopy);
LATTICE_REGISTER_CLASS(ChangeItemDelete);
LATTICE_REGISTER_CLASS(LotusNotesAccount);

} // namespace hxMail
