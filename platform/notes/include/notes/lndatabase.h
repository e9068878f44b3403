// LNDatabase: a database named by server and path. Copies share the same state. A database got
// from LNNotesSession::GetDatabase is bound to its file; Open gives it a handle, Close drops it.
#pragma once

#include "notes/lnnote.h"

#include <memory>

class LNNotesSession;
class LNViewFolder;
class LNForm;

typedef unsigned long LNDBOPENFLAGS;
#define LNDBOPENFLAGS_DEFAULT 0x0UL

class LNDatabase {
public:
    LNDatabase();
    LNDatabase(const LNDatabase& other);
    LNDatabase& operator=(const LNDatabase& other);
    ~LNDatabase();

    LNSTATUS Open(LNDBOPENFLAGS flags = LNDBOPENFLAGS_DEFAULT);
    LNSTATUS Close();
    LNBOOL IsOpen() const;
    LNBOOL IsNull() const;              // not bound to a database
    DBHANDLE GetDatabaseHandle() const; // NULLHANDLE when not open

    LNString GetServer() const;
    LNString GetFilepath() const;
    LNString GetTitle() const;
    LNSTATUS GetReplicaID(TIMEDATE* id) const;

    LNSTATUS GetDocument(const LNUniversalID& unid, LNDocument* doc) const;
    LNSTATUS GetDocument(NOTEID id, LNDocument* doc) const;
    // The view or folder of that name or alias (ignoring case), bound; Open reads its entries.
    LNSTATUS GetViewFolder(const LNString& name, LNViewFolder* view) const;
    // The form design of that name or alias (ignoring case), bound, not open; ERR_NOT_FOUND when
    // there is none.
    LNSTATUS GetForm(const LNString& name, LNForm* form) const;
    // A new, open document; with formName, its "Form" item holds the name.
    LNSTATUS CreateDocument(LNDocument* newDoc, const LNString& formName = "");
    // A new, open document holding a copy of every item of source.
    LNSTATUS CreateDocument(const LNDocument& source, LNDocument* newDoc);
    LNSTATUS CreateDocument(LNDocument* newDoc, const LNDocument& source) {
        return CreateDocument(source, newDoc);
    }
    // Deletes the document for good (a deletion stub stays behind) and closes it.
    LNSTATUS DeleteDocument(LNDocument* doc);
    LNSTATUS DeleteDocument(NOTEID id);
    // Notes of the given class created, modified or deleted at or after `since` (deletion stubs
    // included), in note id order; `until` receives the time to pass as `since` next time. Stubs
    // are purged 90 days after the deletion; a `since` older than a purged stub answers
    // ERR_SINCE_PURGED with no notes but with `until`: read the whole database again from there.
    LNSTATUS GetModifiedNotes(const LNDatetime& since, LNNoteArray* notes,
                              LNNOTETYPE noteType = LNNOTETYPE_DOCUMENT, LNDatetime* until = 0);
    // Every live note of the given class.
    LNSTATUS GetNotes(LNNoteArray* notes, LNNOTETYPE noteType = LNNOTETYPE_DOCUMENT);
    // The unread list of the client's user, sorted, sharing the file's current list until the array
    // is changed. A new document is unread until taken off the list.
    LNSTATUS GetUnreadList(LNNoteArray* unread, LNBOOL update = FALSE);
    // Without `original`, the unread list becomes `unread`; with it, only the differences between
    // the two are applied (notes gone from it become read, new ones unread).
    LNSTATUS SetUnreadList(const LNNoteArray& unread, const LNNoteArray* original = 0, LNBOOL update = FALSE);
    // Takes one note off the unread list (read) or puts it on (not read).
    LNSTATUS MarkRead(NOTEID id, LNBOOL read = TRUE);

private:
    friend class LNNotesSession;
    friend class LNViewFolder;
    friend class LNNote;
    friend class LNNoteArray;
    LNSTATUS checkOpen() const;
    std::shared_ptr<LNDatabaseBody> body_;
};
