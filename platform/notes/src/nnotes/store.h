// The store of one database file: notes with their items, deletion stubs, file objects and batches.
// Database is the façade of a file's modules: it owns the view index, the full-text search and the
// object store, and keeps their work in the store's transactions.
#pragma once

#include "calendarindex.h"
#include "fulltext.h"
#include "objectstore.h"
#include "values.h"
#include "viewindex.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace notes {

// ---- notes and items -------------------------------------------------------------------------
struct Item {
    WORD id = 0; // stable within the open note; used in item BLOCKIDs
    std::string name;
    WORD type = 0;
    WORD flags = 0;
    std::string value; // without the type word
};

struct NoteInfo {
    NOTEID id = 0;
    UNID unid{};
    WORD noteClass = NOTE_CLASS_DOCUMENT;
    std::int64_t created = 0;  // ticks
    std::int64_t modified = 0; // ticks
    DWORD sequence = 0;
    bool deleted = false;
};

class Database;

class Note {
public:
    std::shared_ptr<Database> db;
    DBHANDLE dbHandle = NULLHANDLE; // the handle the note was opened through
    NoteInfo info;                  // info.id == 0 until first saved
    std::vector<Item> items;
    bool dirty = false;
    std::vector<DHANDLE> blocks; // memory handed out for item values; freed with the note
    // Bytes of attachments made since the last save, by their "$FILE" item's id; stored (and the
    // item's object id set) by Database::save.
    std::vector<std::pair<WORD, std::string>> pendingObjects;

    // The size a document reports (LNNote::GetSize, the size column of views).
    std::size_t size() const;
    Item* find(std::string_view name);
    const Item* find(std::string_view name) const;
    Item* findById(WORD id);
    Item& append(std::string_view name, WORD type, WORD flags, std::string value);
    void remove(std::string_view name); // all items of that name
    void removeById(WORD id);

private:
    WORD nextItemId_ = 1;
    friend class Database;
};

class Database {
public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    static STATUS create(const std::string& file, const std::string& title);
    static STATUS open(const std::string& file, const std::string& server, const std::string& path,
                       std::shared_ptr<Database>* out);

    const std::string& file() const { return file_; }
    // No transaction open: the connection may serve the next opener of the file.
    bool idle();
    const std::string& server() const { return server_; }
    const std::string& path() const { return path_; }

    STATUS info(NOTEID id, NoteInfo* out);
    STATUS findByUnid(const UNID& unid, NOTEID* out);
    // Loads a live note (ERR_INVALID_NOTE when missing, ERR_NOTE_DELETED for a stub).
    STATUS load(NOTEID id, Note* out);
    // Writes a note in one transaction; a new note gets its id, UNID (unless set) and times.
    STATUS save(Note& note);
    // Turns a note into a deletion stub.
    STATUS remove(NOTEID id);
    // How long a deletion stub outlives its document: as long as a replica may stay away.
    static constexpr std::int64_t kStubPurgeTicks = 90 * kTicksPerDay;
    // The notes of `classMask` created, modified or deleted at or after `since`, in note id order,
    // and the `until` to pass next time. Deletion stubs older than kStubPurgeTicks are purged
    // first; a `since` (other than 0, "everything") from before the newest purged stub gets no ids
    // and ERR_SINCE_PURGED, with `until` set: the caller has to read the database afresh.
    STATUS modifiedSince(std::int64_t since, WORD classMask, std::vector<NOTEID>* ids, std::int64_t* until);
    STATUS list(WORD classMask, std::vector<NOTEID>* ids);
    STATUS unread(const std::string& user, std::vector<NOTEID>* ids);
    // Marks `read` read and `unread` unread; with replace, every other note becomes read.
    STATUS setUnread(const std::string& user, const std::vector<NOTEID>& unread,
                     const std::vector<NOTEID>& read, bool replace);
    STATUS replicaId(TIMEDATE* out);
    // The bytes of a file object (ERR_ITEM_NOT_FOUND when there is no such object).
    STATUS objectBytes(DWORD objectId, std::string* out);
    // Cuts a stored object down to `length` bytes: how tests make a damaged attachment.
    STATUS truncateObject(DWORD objectId, std::size_t length);
    // Many writes in one transaction: saves, folder and unread changes between the two join it.
    // endBatch(false), or a failed commit, undoes all of them. For one thread at a time.
    STATUS beginBatch();
    STATUS endBatch(bool commit);
    std::string title();

    // Design notes by class and name ($TITLE or an alias, ignoring case): ERR_NOT_FOUND if none.
    STATUS findDesign(WORD noteClass, std::string_view name, NOTEID* out);
    STATUS viewDesign(NOTEID view, ViewDesign* out);
    // Rebuilds a view's index when its design changed since the last build (or it never was).
    STATUS ensureViewIndex(NOTEID view);
    // ensureViewIndex, then ERR_BAD_COLLATION unless the view has `collation`.
    STATUS readyCollation(NOTEID view, WORD collation);
    // The entries of a view in the order of a collation (ERR_BAD_COLLATION when it has none).
    STATUS viewRows(NOTEID view, WORD collation, std::vector<ViewRow>* out);
    // The documents whose key in a collation starts with `prefix` (see viewFindKey), in view order.
    STATUS viewMatches(NOTEID view, WORD collation, const std::string& prefix, std::vector<NOTEID>* out);
    // The note ids of a view's entries in collation order, from a process-wide cache that lives as
    // long as nothing in the file changes (ERR_BAD_COLLATION when the view has no such collation).
    STATUS viewOrderedNoteIds(NOTEID view, WORD collation, std::vector<NOTEID>* out);
    STATUS viewOrderedNoteIds(NOTEID view, WORD collation, std::shared_ptr<const std::vector<NOTEID>>* out);
    // A user's unread list, ascending, shared (never copied per question) and brought up to date
    // from the file's unread log (cost follows the changes since the last question, not the list).
    STATUS unreadShared(const std::string& user, std::shared_ptr<const std::vector<NOTEID>>* out);
    // The documents of a view or folder, each once, ascending, shared per file and brought up to
    // date from the file's membership log (cost follows the changes, not the view's size).
    STATUS viewMembers(NOTEID view, std::shared_ptr<const std::vector<NOTEID>>* out);
    // The documents of a view or folder, each once, ascending.
    STATUS viewNoteIds(NOTEID view, std::vector<NOTEID>* out);
    // Every document's column values as the view's index keeps them (see columnValue).
    STATUS viewValues(NOTEID view, std::shared_ptr<const ViewValues>* out);
    // One column of those values in the order of a reading of a collation (see ViewColumnOrder).
    STATUS viewColumnOrder(NOTEID view, WORD collation, std::size_t column,
                           const std::shared_ptr<const std::vector<NOTEID>>& ids,
                           const std::shared_ptr<const ViewValues>& values,
                           std::shared_ptr<const ViewColumnOrder>* out);
    // Adds documents to a folder and removes others (ERR_INVALID_NOTE when `folder` is not a
    // folder or a note to add is not a live document); one transaction, index rows included.
    STATUS changeFolder(NOTEID folder, const std::vector<NOTEID>& add, const std::vector<NOTEID>& remove);
    // The documents of a view that a full-text query matches (ERR_FT_QUERY on a bad query; the
    // reason goes to *error).
    STATUS ftSearch(NOTEID view, std::string_view query, std::vector<NOTEID>* out, std::string* error);
    // The "Appointment" documents overlapping [from, until) in GMT ticks, in start order.
    STATUS calendarEntries(std::int64_t from, std::int64_t until, std::vector<NOTEID>* out);

private:
    // The modules work on the store's connection, under its mutex and inside its transactions.
    friend class ViewIndex;
    friend class FullText;
    friend class ObjectStore;
    friend class CalendarIndex;

    Database();
    STATUS prepare(const char* sql, sqlite3_stmt** out); // cached; the caller holds mutex_
    // The "Locked" members expect the caller to hold mutex_.
    STATUS infoLocked(NOTEID id, NoteInfo* out);
    STATUS loadLocked(NOTEID id, Note* out);
    STATUS migrate();          // brings an older store to the current schema
    STATUS addCalendarIndex(); // for a store made before the calendar index
    STATUS addViewValues();    // for a store made before the index kept column values
    STATUS addLog(const char* trimTrigger, const char* schema); // for a store made before that log
    STATUS addStubIndex();                                      // for a store made before it
    STATUS stamp(std::int64_t* out);                            // a modification time, see store.cpp
    STATUS checkLive(NOTEID id); // ERR_INVALID_NOTE / ERR_NOTE_DELETED unless a live note
    STATUS purgeStubsLocked(std::int64_t cutoff, std::int64_t* horizon);
    STATUS quietSinceLocked(std::int64_t since, bool* quiet);
    std::string meta(const char* key);
    STATUS setMeta(const char* key, const std::string& value);

    // The change logs that per-process copies catch up from: the oldest and newest entry kept, and
    // the file's identity (a replaced file is read afresh). Read inside the caller's transaction.
    enum class ChangeLog { Views, Unread };
    struct LogBounds {
        std::int64_t first = 0, last = 0;
        std::string file;
    };
    STATUS logBoundsLocked(ChangeLog log, LogBounds* out);

    // The unread lists.
    STATUS readUnreadLocked(const std::string& user, std::vector<NOTEID>* out);
    STATUS catchUpUnreadLocked(const std::string& user, std::int64_t since, std::vector<NOTEID>* ids,
                               bool* current);

    sqlite3* db_ = nullptr;
    std::string file_, server_, path_;
    std::unordered_map<const char*, sqlite3_stmt*> statements_; // keyed by the SQL literal's address
    std::mutex mutex_;
    ViewIndex views_;
    FullText fullText_;
    ObjectStore objects_;
    CalendarIndex calendar_;
};

} // namespace notes
