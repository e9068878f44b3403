#pragma once
#include "notes/NotesDocument.h"

#include "hxMail/Folder.h"
#include "hxMail/Types.h"

namespace hxMail::hxNotesProvider {

// One Notes view or folder shown to the host as a folder, or the mailbox root.
class HX_EXPORT NotesFolder : public NotesDocument {
    LATTICE_CLASS(NotesFolder, "NotesFolder", NotesDocument)
public:
    NotesFolder() = default;
    NotesFolder(const NotesFolder& other) : NotesDocument(other) {}
    // The mailbox root: no Notes note behind it; initMailBox completes it.
    NotesFolder(MailProvider* provider, NotesDatabase* database, bool);
    ~NotesFolder() override;

    // Makes the host mailbox of `user` with a fresh id and keeps it as this folder's object.
    void initMailBox(_UserInfoStruct* user, Lattice::Ptr<hxMail::Mailbox>& mailbox);
    // A new GUID text.
    static String generateId();

    hxMail::Folder* getFolderObject() const { return folderObject; }
    const String& getFolderId() const { return folderId; }
    _FolderType getFolderType() const { return folderType; }
    const String& getFolderItemIds() const { return folderItemIds; }
    const String& getViewName() const { return viewName; }
    const String& getDisplayName() const { return displayName; }

protected:
    void setFolderObject(hxMail::Folder* folder);

    String folderItemIds;
    hxMail::Folder* folderObject = nullptr; // counted reference
    String viewName;
    String displayName;
    String folderId;
    _FolderType folderType = FolderTypeNone;
    bool sortAscending = true;
    String sortColumn;
    unsigned short collation = 0;
};

} // namespace hxMail::hxNotesProvider
