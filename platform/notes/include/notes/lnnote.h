// Notes, documents, universal ids and note arrays.
//
// LNNote objects are references: copies refer to the same note and share its open state. A note
// got from a database (GetDocument, an LNNoteArray) is bound but not open; Open loads it, Close
// drops unsaved changes. A note made by LNDatabase::CreateDocument is open and new until saved.
#pragma once

#include "notes/lnattachment.h"
#include "notes/lnitem.h"

#include <memory>
#include <vector>

class LNDatabase;
struct LNDatabaseBody;
namespace notes {
struct NoteInfo;
}
struct LNNoteBody;

typedef WORD LNNOTETYPE;
#define LNNOTETYPE_DOCUMENT ((LNNOTETYPE)NOTE_CLASS_DOCUMENT)
#define LNNOTETYPE_INFO ((LNNOTETYPE)NOTE_CLASS_INFO)
#define LNNOTETYPE_FORM ((LNNOTETYPE)NOTE_CLASS_FORM)
#define LNNOTETYPE_VIEW ((LNNOTETYPE)NOTE_CLASS_VIEW)
#define LNNOTETYPE_ICON ((LNNOTETYPE)NOTE_CLASS_ICON)
#define LNNOTETYPE_ACL ((LNNOTETYPE)NOTE_CLASS_ACL)
#define LNNOTETYPE_ALL ((LNNOTETYPE)NOTE_CLASS_ALL)

typedef unsigned long LNNOTEOPENFLAGS;
#define LNNOTEOPENFLAGS_DEFAULT 0x0UL
typedef unsigned long LNNOTESAVEFLAGS;
#define LNNOTESAVEFLAGS_DEFAULT 0x0UL

class LNUniversalID {
public:
    LNUniversalID() = default; // all zero (not valid)
    LNUniversalID(const UNID& unid) : unid_(unid), valid_(true) {}
    // 32 hexadecimal digits, as GetText produces; anything else makes an invalid id.
    LNUniversalID(const LNString& text);
    LNUniversalID(const char* text) : LNUniversalID(LNString(text)) {}

    LNString GetText() const; // 32 upper-case hexadecimal digits
    UNID GetUNID() const { return unid_; }
    operator UNID() const { return unid_; }
    LNBOOL IsValid() const { return valid_; }

    friend bool operator==(const LNUniversalID& a, const LNUniversalID& b);
    friend bool operator!=(const LNUniversalID& a, const LNUniversalID& b) { return !(a == b); }

private:
    UNID unid_{};
    bool valid_ = false;
};

class LNNote {
public:
    LNNote();
    LNNote(const LNNote& other);
    LNNote& operator=(const LNNote& other);
    virtual ~LNNote();

    LNSTATUS Open(LNNOTEOPENFLAGS flags = LNNOTEOPENFLAGS_DEFAULT);
    LNSTATUS Close();
    LNBOOL IsOpen() const;
    LNSTATUS Save(LNNOTESAVEFLAGS flags = LNNOTESAVEFLAGS_DEFAULT);
    LNBOOL IsNull() const; // bound to no note
    LNBOOL IsNewNote() const;
    LNBOOL IsModified() const; // open with unsaved changes
    LNBOOL IsDeleted() const;  // a deletion stub

    NOTEID GetNoteID() const;
    LNSTATUS GetUniversalID(LNUniversalID* unid) const;
    NOTEHANDLE GetNoteHandle() const; // NULLHANDLE when not open
    LNNOTETYPE GetNoteType() const;
    LNDatetime GetCreated() const;
    LNDatetime GetLastModified() const;
    LNINT GetSize() const; // bytes of all item names and values
    LNBOOL HasAttachments() const;
    LNDatabase GetDatabase() const;

    LNBOOL HasItem(const LNString& name) const;
    LNSTATUS GetItem(const LNString& name, LNItem* item) const;
    LNINT GetItemCount() const;
    LNSTATUS GetItem(LNINT index, LNItem* item) const;
    // An empty item of item's kind, attached to item.
    LNSTATUS CreateItem(const LNString& name, LNItem* item, LNITEMFLAGS flags = LNITEMFLAGS_SUMMARY,
                        LNITEMOPTION option = LNITEMOPTION_DELETE_APPEND);
    // An item holding value's values; newItem (if given) is attached to it.
    LNSTATUS CreateItem(const LNString& name, const LNItem& value, LNITEMFLAGS flags = LNITEMFLAGS_SUMMARY,
                        LNITEMOPTION option = LNITEMOPTION_DELETE_APPEND, LNItem* newItem = 0);
    LNSTATUS DeleteItem(const LNString& name);

    // The "$FILE" items in item order (attachment numbers count in the same order).
    LNSTATUS GetAttachments(LNAttachmentArray* attachments) const;
    // Attaches the file at path; attachmentName (default: the path's last component) names it in
    // the note. The bytes are stored when the note is saved.
    LNSTATUS CreateAttachment(const LNString& path, const LNString& attachmentName = "",
                              LNAttachment* attachment = 0);

protected:
    friend class LNDatabase;
    friend class LNNoteArray;
    friend class LNVFEntry;
    LNSTATUS checkOpen() const;
    void attach(LNItem* item, WORD id, const std::string& name) const;
    bool info(notes::NoteInfo* out) const;
    std::shared_ptr<LNNoteBody> body_;
};

class LNDocument : public LNNote {
public:
    LNDocument() = default;
    LNDocument(const LNNote& note) : LNNote(note) {}
    LNDocument& operator=(const LNNote& note);

    // Makes this document a response to parent ($REF); parent must have been saved.
    LNSTATUS MakeResponse(const LNDocument& parent);
    LNBOOL IsResponse() const;
    LNSTATUS GetParentDocument(LNDocument* parent) const;
    LNSTATUS GetForm(LNString* form) const;
    LNSTATUS SetForm(const LNString& form);
};

// A list of note ids. Copies share the ids until one of them changes; a list in ascending order
// (an unread list, GetNotes) answers Contains by binary search.
class LNNoteArray {
public:
    LNNoteArray() = default;

    LNINT GetCount() const { return ids_ ? static_cast<LNINT>(ids_->size()) : 0; }
    LNNote operator[](LNINT index) const; // a bound, unopened note
    NOTEID GetNoteID(LNINT index) const;
    LNBOOL Contains(NOTEID id) const;
    LNSTATUS Append(NOTEID id);
    LNSTATUS Append(const LNNote& note);
    LNSTATUS Remove(NOTEID id);
    LNSTATUS DeleteAll();

private:
    friend class LNDatabase;
    const std::vector<NOTEID>& ids() const;
    std::vector<NOTEID>& mutableIds(); // copies shared ids first
    void assign(std::shared_ptr<const std::vector<NOTEID>> ids, bool sorted);
    std::shared_ptr<LNDatabaseBody> db_;
    std::shared_ptr<const std::vector<NOTEID>> ids_;
    bool sorted_ = true;
};
