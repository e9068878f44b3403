#pragma once

namespace hxMail {

// How a requested message id relates to a stored message (see MessageProvider::getMessageType).
enum _MessageType : long {
    MessageTypeNormal = 0,
    MessageTypeReply = 1,
    MessageTypeReplyAll = 2,
    MessageTypeForward = 3,
};

// Kinds of well-known folders. 0 is a folder of no special kind (the mailbox root among them).
enum _FolderType : long {
    FolderTypeNone = 0,
    FolderTypeInbox = 1,
    FolderTypeCalendar = 2,
    FolderTypeContacts = 3,
    FolderTypeTasks = 5,
    FolderTypeDeletedItems = 6,
    FolderTypeSentItems = 7,
    FolderTypeDrafts = 8,
};

} // namespace hxMail
