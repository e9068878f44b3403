#pragma once
#include "notes/NotesDocument.h"

#include "hxMail/Folder.h"
#include "hxMail/Types.h"

#include <functional>
#include <vector>

namespace hxMail::hxNotesProvider {

// One Notes view or folder shown to the host as a folder, or the mailbox root.
class HX_EXPORT NotesFolder : public NotesDocument {
    LATTICE_CLASS(NotesFolder, "NotesFolder", NotesDocument)
public:
    NotesFolder() = default;
    NotesFolder(const NotesFolder& other) : NotesDocument(other) {}
    // A system folder backed by the Notes view or folder `viewName`. A view that cannot be
    // opened still gives a folder, with an empty id.
    NotesFolder(MailProvider* provider, NotesDatabase* database, String displayName, String viewName,
                _FolderType type, bool hasSubFolders, bool isSystem, bool showPreview);
    // The mailbox root: no Notes note behind it; initMailBox completes it.
    NotesFolder(MailProvider* provider, NotesDatabase* database, bool);
    ~NotesFolder() override;

    // A new host folder of the class for `type`, or null for kinds without one.
    static hxMail::Folder* getServiceFolder(_FolderType type);
    // Whether the document with `noteId` is an entry of this folder's view (a full walk).
    bool contains(unsigned long noteId);

    // Chooses column, direction and the view collation that sorts by that column.
    void setSortContext(String column, bool ascending);
    // Makes the view sortable by `column`, adding the column where the design lacks it.
    void modColumn(String column);
    // The labels of the first and last entry of every page of `pageSize` entries.
    void getSortIndexItems(long pageSize, Lattice::ObjectCollection* out);
    void getIndexLabels(long first, long last, unsigned long* noteIds, Lattice::ObjectCollection* out);
    // The host items of the page at `start`.
    void getSortItems(String, long start, long count, Lattice::ObjectCollection* out);
    void loadSortItem(long index, unsigned long* noteIds, Lattice::ObjectCollection* out);
    // One document as a host item (list mode) or as the index label of the sort column.
    void loadDocument(NotesDatabase* db, LNDocument* doc, Lattice::ObjectCollection* out, bool indexLabel);
    void getCalendarItems(Lattice::_DateData from, Lattice::_DateData to, Lattice::ObjectCollection* out);
    long deleteItems(const Lattice::ObjectCollection& ids, bool, bool& done);

    bool getSortAscending() const { return sortAscending; }
    const String& getSortColumn() const { return sortColumn; }
    unsigned short getCollation() const { return collation; }

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
    // The note ids of the view's entries in the current collation; false when the view cannot
    // be read. With `window`, which is told the number of entries and sets the first position and
    // how many to read, only those are read (a page of a large view copies 50 ids, not all).
    bool readViewNoteIds(bool setCollationAlways, std::vector<unsigned long>& ids, bool logErrors,
                         const std::function<void(long total, long* first, long* count)>& window = {});
    // The index labels from the values the view's index keeps for the sort column, without opening
    // a document; false when the column has no such values (the labels then come from documents).
    bool getSortIndexFromView(long pageSize, Lattice::ObjectCollection* out);
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
