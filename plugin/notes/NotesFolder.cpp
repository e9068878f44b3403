#include "notes/NotesFolder.h"

#include "notes/NotesUser.h"

#include "Lattice/Util.h"

namespace hxMail::hxNotesProvider {

NotesFolder::NotesFolder(MailProvider* owner, NotesDatabase* db, bool) {
    provider = owner;
    database = db;
    folderType = FolderTypeNone;
}

NotesFolder::~NotesFolder() {
    setFolderObject(nullptr);
}

void NotesFolder::setFolderObject(hxMail::Folder* folder) {
    if (folder)
        folder->addRef();
    if (folderObject)
        folderObject->release();
    folderObject = folder;
}

Lattice::String NotesFolder::generateId() {
    return Lattice::Guid::create().toString();
}

void NotesFolder::initMailBox(_UserInfoStruct* user, Lattice::Ptr<hxMail::Mailbox>& mailbox) {
    if (!mailbox)
        mailbox = new hxMail::Mailbox();
    Lattice::Ptr<hxMail::Person> person = new hxMail::Person();
    if (user) {
        person->set_firstName(user->firstName);
        person->set_initials(user->middleInitial);
        person->set_lastName(user->lastName);
        person->set_fullName(user->commonName);
        person->set_recipient(user->recipient);
    }
    folderId = generateId();
    mailbox->set_id(folderId);
    mailbox->set_person(person);
    mailbox->set_isSystem(true);
    displayName = person->get_fullName();
    mailbox->set_displayName(displayName);
    setFolderObject(mailbox.get());
}

LATTICE_REGISTER_CLASS(NotesFolder);

} // namespace hxMail::hxNotesProvider
