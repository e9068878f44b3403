#include "notes/NotesFolder.h"

#include "notes/NotesDatabase.h"
#include "notes/NotesErrors.h"
#include "notes/NotesUser.h"

#include "Lattice/Util.h"

namespace hxMail::hxNotesProvider {

NotesFolder::NotesFolder(MailProvider* owner, NotesDatabase* db, String display, String view,
                         _FolderType type, bool hasSubFolders, bool isSystem, bool showPreview)
    : viewName(view), displayName(display), folderType(type) {
    provider = owner;
    database = db;
    ThrowAllErrorsScope throwing;
    String name = viewName;
    if (openDocument(name, owner, true) == 0)
        folderId = universalId;
    // The id is all that is needed now; the view's entries are read afresh for every request.
    dropFolder();
    hxMail::Folder* folder = getServiceFolder(type);
    if (folder) {
        folder->set_displayName(displayName);
        folder->set_hasSubFolders(hasSubFolders);
        folder->set_isSystem(isSystem);
        folder->set_showPreview(showPreview);
        folder->set_id(folderId);
        setFolderObject(folder);
        folder->release();
    }
}

hxMail::Folder* NotesFolder::getServiceFolder(_FolderType type) {
    switch (type) {
    case FolderTypeInbox:
    case FolderTypeCalendar:
    case FolderTypeContacts:
    case FolderTypeTasks:
    case FolderTypeDeletedItems:
    case FolderTypeSentItems:
    case FolderTypeDrafts: {
        hxMail::Folder* folder = hxMail::Folder::createForType(type);
        folder->addRef();
        return folder;
    }
    default:
        return nullptr;
    }
}

bool NotesFolder::contains(unsigned long wanted) {
    ThrowAllErrorsScope throwing;
    LNDatabase* db = database ? database->getDatabase() : nullptr;
    bool found = false;
    if (db) {
        try {
            LNViewFolder view;
            if (db->GetViewFolder(LNString(viewName.c_str()), &view) == LNNOERROR &&
                view.Open() == LNNOERROR) {
                view.Refresh();
                const LNINT count = view.GetEntryCount();
                LNVFEntry entry;
                for (LNINT i = 0; i < count && !found; ++i) {
                    if ((i == 0 ? view.GotoFirst(&entry) : view.GotoNext(&entry)) != LNNOERROR)
                        break;
                    if (entry.IsCategory())
                        continue;
                    LNDocument doc;
                    if (entry.GetDocument(&doc) == LNNOERROR && doc.Open() == LNNOERROR) {
                        found = doc.GetNoteID() == wanted;
                        doc.Close();
                    }
                }
                view.Close();
            }
        } catch (LNSTATUS) {
            found = false;
        }
    }
    return found;
}

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
