#pragma once
#include "provider/Export.h"
#include "provider/Forward.h"
#include <memory>

#include "Lattice/Data.h"
#include "Lattice/Object.h"
#include "hxMail/Change.h"
#include "hxMail/Message.h"
#include "notes/lncpp.h"

namespace hxMail::hxNotesProvider {

// One Notes note of a NotesDatabase: a document (opened by UNID, created from a form, or taken
// over from an LNDocument), or in folder mode a view or folder opened by name. The typed item
// operations fix how Notes values cross into host strings and Data.
class HX_EXPORT NotesDocument : public Lattice::Base {
    LATTICE_CLASS(NotesDocument, "NotesDocument", Lattice::Base)
public:
    using String = Lattice::String;

    NotesDocument();
    NotesDocument(const NotesDocument& other);
    NotesDocument& operator=(const NotesDocument&) = delete;
    // Opens the document with the UNID text `id`, or with asFolder the view or folder named `id`.
    NotesDocument(String& id, MailProvider* provider, NotesDatabase* database, bool asFolder);
    // A new document of the given form; it has no UNID until its first save.
    NotesDocument(MailProvider* provider, const char* formName, NotesDatabase* database);
    // Wraps `doc` itself, or with `copy` a new copy of it made in `database`.
    NotesDocument(MailProvider* provider, LNDocument* doc, NotesDatabase* database, bool copy);
    ~NotesDocument() override;

    virtual long load(Lattice::Ptr<hxMail::MessageItem>& item, Lattice::ObjectCollection* list, bool flag);
    virtual long loadDetail(Lattice::SchemaBase* detail);
    virtual long save();
    virtual void documentReserved1();
    virtual void documentReserved2();
    virtual long openDocument(String& id, MailProvider* provider, bool asFolder);
    virtual long createDocument(LNDocument* source, MailProvider* provider);
    virtual long createDocument(MailProvider* provider, const char* formName);
    virtual void getIndexLabel(String sortColumn, hxMail::MessageItem* item, Lattice::ObjectCollection* out);
    virtual Lattice::Ptr<hxMail::ChangeItem> getChangeItem(bool asNew);

    // Drops the Notes object and fetches it again by the same key, to see its current state.
    long newHandle();
    long computeWithForm();
    // Writes a one-entry note-reference list pointing at `parent`; 0 or the masked status.
    unsigned short setItemRefList(const char* name, LNDocument* parent);

    static LNUniversalID getUniversalID(const String& text);

    // The host recipient of a Notes name looked up in the name books: true, with the recipient
    // and its user (which the caller owns and which owns the recipient), when the name is a user.
    bool loadRecipient(LNString& name, hxMail::Recipient** recipient, NotesUser** user);
    // The person or group of `book` listed under `name` in its "($Users)" view, or null. The
    // caller owns the document.
    NotesDocument* getMemberDoc(NotesAddressBook* book, LNString name, MailProvider* provider);
    // The recipient of a person or group found in `book`, else in the directory, or null. The
    // caller owns one reference.
    hxMail::Recipient* getGroupRecipient(NotesAddressBook* book, LNString name, MailProvider* provider);
    // Appends the members of a personal group to `names` and `allAddresses`: personal people as
    // their addresses, directory entries by name, personal groups expanded once each (`visited`).
    void expandPabGroup(LNString group, LNText& visited, LNText& names, LNText& allAddresses);

    bool loadFailed() const { return loadFailed_; }
    bool isFolder() const { return isFolder_; }
    bool isGroup() const { return isGroup_; }
    void setIsGroup(bool value) { isGroup_ = value; }
    const String& getId() const { return universalId; }
    unsigned long getNoteId() const { return noteId; }
    // A Notes date-time as a host one, moved to GMT when it has both a date and a time.
    static Lattice::_DateTimeData gmtDateTime(LNDatetime value);
    LNDocument* getDocument() const { return document.get(); }
    LNNote* getNote() const { return note; }
    NotesDatabase* getDatabase() const { return database; }
    MailProvider* getProvider() const { return provider; }

    String getItemString(const char* name, bool utf8);
    // form 0: canonical, 1: abbreviated, anything else: as stored.
    String getItemName(const char* name, int form, bool utf8);
    LNText getItemTextList(const char* name);
    void setItemTextList(const char* name, LNText& values, bool append);
    void dumpItemTextList(LNText& values);
    void setItemString(const char* name, String& value);
    String getItemTextRT(const char* name, bool utf8);
    void setItemTextRT(const char* name, String& value);
    Lattice::Data getDate(const char* name, bool withTime);
    // Writes only while `ok` is true on entry; clears it when the value holds no date.
    void setDate(const char* name, Lattice::Data value, bool withDate, bool withTime, bool& ok);
    long getInt(const char* name, long defaultValue);
    void setInt(const char* name, long value);

protected:
    // Writes the addresses of `recipients` into the address item of `kind` (1 "SendTo",
    // 2 "CopyTo", 3 "BlindCopyTo") of `message`, expanding personal groups, and appends them to
    // `allAddresses`. No recipients leave the item as it was.
    void storeRecipient(long kind, hxMail::Recipients* recipients, LNText& allAddresses, LNDocument* message);

    void setUniversalId();
    // The item `name` of the open note, if it exists.
    bool findItem(const char* name, LNItem& item) const;
    long openFolder(const String& name);
    void dropFolder();

    // The note is the document or the view folder, whichever is open; the wrapper owns both.
    std::unique_ptr<LNDocument> document;
    LNNote* note = nullptr;
    std::unique_ptr<LNViewFolder> viewFolder;
    LNString openedName;
    NotesDatabase* database = nullptr;
    MailProvider* provider = nullptr;
    String universalId;
    unsigned long noteId = 0;
    bool createdHere = false;
    bool loadFailed_ = false;
    bool isFolder_ = false;
    bool isGroup_ = false;
};

} // namespace hxMail::hxNotesProvider
