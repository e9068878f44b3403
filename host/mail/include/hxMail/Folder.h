#pragma once
#include "hxMail/Message.h"

namespace hxMail {

class Person : public Item {
    LATTICE_CLASS(Person, "Person", Item)
#define HX_PERSON_PROPERTIES(P)                                                                              \
    P(Lattice::String, fullName)                                                                             \
    P(Lattice::String, firstName)                                                                            \
    P(Lattice::String, lastName)                                                                             \
    P(Lattice::String, initials)                                                                             \
    P(Lattice::Ptr<Recipient>, recipient)
    LATTICE_PROPERTIES(Item, HX_PERSON_PROPERTIES)
#undef HX_PERSON_PROPERTIES
};

class Folder : public Item {
    LATTICE_CLASS(Folder, "Folder", Item)
#define HX_FOLDER_PROPERTIES(P)                                                                              \
    P(Lattice::String, displayName)                                                                          \
    P(bool, hasSubFolders)                                                                                   \
    P(bool, isSystem)                                                                                        \
    P(bool, showPreview)
    LATTICE_PROPERTIES(Item, HX_FOLDER_PROPERTIES)
#undef HX_FOLDER_PROPERTIES
public:
    // The folder kind this class stands for; FolderTypeNone for plain folders.
    virtual _FolderType folderType() const {
        return FolderTypeNone;
    }
    // A new host folder of the class for `type`: a plain Folder for kinds without a class of their
    // own. The caller takes the first reference.
    static Folder* createForType(long type);
};

// The root of a user's folder tree, owned by a person.
class Mailbox : public Folder {
    LATTICE_CLASS(Mailbox, "Mailbox", Folder)
#define HX_MAILBOX_PROPERTIES(P) P(Lattice::Ptr<Person>, person)
    LATTICE_PROPERTIES(Folder, HX_MAILBOX_PROPERTIES)
#undef HX_MAILBOX_PROPERTIES
};

#define HX_FOLDER_KIND(Type, Kind)                                                                           \
    class Type : public Folder {                                                                             \
        LATTICE_CLASS(Type, #Type, Folder)                                                                   \
    public:                                                                                                  \
        _FolderType folderType() const override { return Kind; }                                             \
    };
HX_FOLDER_KIND(Inbox, FolderTypeInbox)
HX_FOLDER_KIND(Drafts, FolderTypeDrafts)
HX_FOLDER_KIND(SentItems, FolderTypeSentItems)
HX_FOLDER_KIND(DeletedItems, FolderTypeDeletedItems)
HX_FOLDER_KIND(CalendarFolder, FolderTypeCalendar)
HX_FOLDER_KIND(Contacts, FolderTypeContacts)
HX_FOLDER_KIND(Tasks, FolderTypeTasks)
#undef HX_FOLDER_KIND

// A folder of address-book entries (the directory or a personal address book).
class RecipientFolder : public Folder {
    LATTICE_CLASS(RecipientFolder, "RecipientFolder", Folder)
};

} // namespace hxMail
