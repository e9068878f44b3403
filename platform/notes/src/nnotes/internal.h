// Inside of "nnotes": the store, the handle table and the value codecs. The class library
// (lcppn30) is built on these; the plug-in sees only notes/capi.h and the LN* headers.
#pragma once

#include "notes/capi.h"

#include <cstdint>
#include <functional>
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

// ---- errors -------------------------------------------------------------------------------
// The text of ERR(code); never null ("Unknown error nnnn" texts live in a small ring buffer).
std::string errorText(STATUS code);

// ---- text helpers -------------------------------------------------------------------------
bool nameEquals(std::string_view a, std::string_view b); // ASCII case-insensitive
std::string lower(std::string_view s);
// Copies text into buf (size bytes, always zero-terminated, cut when too long); returns the length
// copied. Nothing happens when buf is null or size is 0.
std::size_t copyText(std::string_view text, char* buf, std::size_t size);

// ---- time ----------------------------------------------------------------------------------
// Ticks are hundredths of a second since 1970-01-01 00:00 GMT.
constexpr std::int64_t kTicksPerDay = 8640000;
constexpr std::int64_t kJulian1970 = 2440588;
std::int64_t ticksNow();
std::int64_t daysFromCivil(int y, int m, int d);
void civilFromDays(std::int64_t days, int* y, int* m, int* d);
bool validDate(int y, int m, int d);
// A TIMEDATE for a GMT instant, tagged with a zone (hours west) and dst flag.
TIMEDATE timedateFromTicks(std::int64_t ticks, int zone = 0, bool dst = false);
std::int64_t ticksFromTimedate(const TIMEDATE& td); // date-only: midnight GMT; time-only: 0 + time
bool timedateHasDate(const TIMEDATE& td);
bool timedateHasTime(const TIMEDATE& td);
int timedateZone(const TIMEDATE& td);
bool timedateDst(const TIMEDATE& td);
// The zone (hours west of GMT) and dst flag of this machine at a GMT instant.
void machineZone(std::int64_t ticks, int* zone, bool* dst);

// Broken-down local time with its zone; the class library's LNDatetime is one of these.
struct Fields {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, hundredth = 0;
    int zone = 0; // hours west of GMT
    bool dst = false;
    bool hasDate = false, hasTime = false;
};
TIMEDATE fieldsToTimedate(const Fields& f);
Fields fieldsFromTimedate(const TIMEDATE& td); // in the TIMEDATE's own zone
Fields fieldsInZone(const TIMEDATE& td, int zone, bool dst);
// Parses "MM/DD/YYYY", "MM/DD/YYYY h:mm[:ss[.hh]] [AM|PM]", "h:mm[:ss] [AM|PM]" and
// "YYYY-MM-DD[ T]HH:MM[:SS]". Zone and dst are this machine's at that time.
bool parseDatetime(std::string_view text, Fields* out);
// "MM/DD/YYYY hh:mm:ss AM", "MM/DD/YYYY" or "hh:mm:ss AM".
std::string formatDatetime(const Fields& f);
int weekday(const Fields& f); // 1 = Sunday .. 7 = Saturday

// ---- names ---------------------------------------------------------------------------------
std::string abbreviateName(std::string_view name);
std::string canonicalizeName(std::string_view name);
std::string commonName(std::string_view name); // first component, without "CN="

// ---- universal ids -------------------------------------------------------------------------
std::string unidToText(const UNID& unid);
bool unidFromText(std::string_view text, UNID* out);
UNID newUnid(std::int64_t createdTicks);

// ---- item values ---------------------------------------------------------------------------
namespace ods {
std::string encodeTextList(const std::vector<std::string>& values);
bool decodeText(WORD type, std::string_view value, std::vector<std::string>* out); // TEXT or TEXT_LIST
std::string encodeNumbers(const std::vector<double>& values);                      // NUMBER_RANGE
bool decodeNumbers(WORD type, std::string_view value, std::vector<double>* out);
std::string encodeTimes(const std::vector<TIMEDATE>& values, const std::vector<TIMEDATE_PAIR>& ranges);
bool decodeTimes(WORD type, std::string_view value, std::vector<TIMEDATE>* values,
                 std::vector<TIMEDATE_PAIR>* ranges);
std::string encodeNoteRefs(const std::vector<UNID>& refs);
bool decodeNoteRefs(std::string_view value, std::vector<UNID>* out);
// Rich text: a stream of records {WORD signature, DWORD length including the 6-byte header, data}.
constexpr WORD kCdText = 0x0085;                    // data: text of one run
constexpr WORD kCdParagraph = 0x0081;               // no data: paragraph break
std::string encodeRichText(std::string_view plain); // "\n" separates paragraphs
bool decodeRichTextPlain(std::string_view value, std::string* plain);
// The values of an item as text, joined by separator ("" for types without a text form).
std::string toText(WORD type, std::string_view value, std::string_view separator);
} // namespace ods

// ---- configuration and paths ---------------------------------------------------------------
struct RuntimeConfig {
    std::string dataDirectory;
};
// Resolves the configuration (see notes/config.h). iniPath may be empty.
STATUS initRuntime(const std::string& iniPath);
void termRuntime();
// Splits "server!!path".
void splitNetPath(std::string_view netPath, std::string* server, std::string* path);
// Maps server + database path to a file, by the rules of the README. With mustExist the file must
// be there (ERR_NOEXIST otherwise); without, its server folder must exist and the parent folders
// are created.
STATUS resolveDatabaseFile(std::string_view server, std::string_view path, bool mustExist, std::string* file);
// The folder of a server (the data directory for ""); ERR_SERVER_NOT_RESPONDING when missing.
STATUS serverFolder(std::string_view server, std::string* folder);

// ---- store ---------------------------------------------------------------------------------
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
class Note;

// ---- views ---------------------------------------------------------------------------------
// A view's design, read from the items of its view note (see the README for the item names).
// Column flags:
constexpr DWORD kColSorted = 0x0001;
constexpr DWORD kColDescending = 0x0002;
constexpr DWORD kColCategory = 0x0004;        // one level of categories (the first sorted column)
constexpr DWORD kColSeparateEntries = 0x0008; // each value of the column makes an entry of its own
constexpr DWORD kColCaseSensitive = 0x0010;
constexpr DWORD kColCommonName = 0x0020;       // hierarchical names show (and sort) as common names
constexpr DWORD kColResortAscending = 0x0100;  // the column heading offers an ascending collation
constexpr DWORD kColResortDescending = 0x0200; // ... and a descending one

struct ViewColumn {
    std::string title;
    std::vector<std::string> items; // the column shows the values of these items, in this order
    DWORD flags = 0;
    // Without items a formula gives the value: @DocLength (and the mail template's size formula) the
    // document's size, @Created / @Modified its times; other formulas are kept, not evaluated.
    std::string formula;
};

struct ViewDesign {
    NOTEID id = 0;
    std::string title; // "$TITLE": name, then aliases after '|'
    bool folder = false;
    std::vector<std::string> forms;    // selection: documents of these forms (none: every document)
    std::vector<std::string> items;    // ... that have all these items
    std::vector<std::string> notItems; // ... and none of these
    std::vector<ViewColumn> columns;

    std::string name() const;                    // title up to the first '|'
    bool answersTo(std::string_view name) const; // name or an alias, ignoring case
    // Collation 0 is the columns' own sort order; every re-sortable column heading adds one
    // (ascending before descending), in column order.
    WORD collationCount() const;
};

struct ViewRow {
    NOTEID note = 0;
    std::string key;      // sort key of the collation (bytes compare in view order)
    std::string category; // category text; empty when the view has no categories
};

bool readViewDesign(const Note& note, ViewDesign* out);
void writeViewDesign(const ViewDesign& design, Note* note); // replaces the design items
// Text as views compare it unless a column is case-sensitive: lower case, accents dropped.
std::string collateFold(std::string_view text);
// The sort key prefix that finds `key` in the first sorted column of a collation; partial finds
// every key that starts with it.
std::string viewFindKey(const ViewDesign& design, WORD collation, std::string_view key, bool partial);

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
    // A user's unread list, ascending, shared (never copied per question) until the file changes.
    STATUS unreadShared(const std::string& user, std::shared_ptr<const std::vector<NOTEID>>* out);
    // The documents of a view or folder, each once, ascending.
    STATUS viewNoteIds(NOTEID view, std::vector<NOTEID>* out);
    // Adds documents to a folder and removes others (ERR_INVALID_NOTE when `folder` is not a
    // folder or a note to add is not a live document); one transaction, index rows included.
    STATUS changeFolder(NOTEID folder, const std::vector<NOTEID>& add, const std::vector<NOTEID>& remove);
    // The documents of a view that a full-text query matches (ERR_FT_QUERY on a bad query; the
    // reason goes to *error).
    STATUS ftSearch(NOTEID view, std::string_view query, std::vector<NOTEID>* out, std::string* error);

private:
    Database() = default;
    STATUS prepare(const char* sql, sqlite3_stmt** out); // cached; the caller holds mutex_
    // The "Locked" members expect the caller to hold mutex_.
    STATUS infoLocked(NOTEID id, NoteInfo* out);
    STATUS loadLocked(NOTEID id, Note* out);
    STATUS designsLocked(const std::vector<ViewDesign>** out); // every view's design, cached
    STATUS indexNoteLocked(NOTEID id, const Note& note);       // a document's rows in every view
    STATUS saveObjectsLocked(NOTEID id, Note& note);           // attachment bytes with the save
    STATUS indexInViewLocked(const ViewDesign& design, NOTEID id, const Note& note);
    STATUS rebuildViewLocked(const ViewDesign& design, DWORD sequence);
    STATUS bumpDesignVersionLocked();
    STATUS migrate();                // brings an older store to the current schema
    STATUS stamp(std::int64_t* out); // a modification time, see store.cpp
    STATUS checkLive(NOTEID id);     // ERR_INVALID_NOTE / ERR_NOTE_DELETED unless a live note
    std::string meta(const char* key);
    STATUS readOrderedNoteIdsLocked(NOTEID view, WORD collation,
                                    std::shared_ptr<const std::vector<NOTEID>>* out);
    STATUS readUnreadLocked(const std::string& user, std::shared_ptr<const std::vector<NOTEID>>* out);
    STATUS setMeta(const char* key, const std::string& value);

    sqlite3* db_ = nullptr;
    std::string file_, server_, path_;
    std::unordered_map<const char*, sqlite3_stmt*> statements_; // keyed by the SQL literal's address
    std::mutex mutex_;
    std::vector<ViewDesign> designs_;
    std::string designVersion_ = "-"; // of designs_; meta "design_version" changes with every view design
};

// ---- mail documents ------------------------------------------------------------------------------
namespace mail {
// A mail file document as the seed fixture and the generator describe it (items: see the README).
struct Message {
    enum class Kind { Inbox, Draft, Sent, Task } kind = Kind::Inbox;
    std::string form; // empty: "Memo" ("Task" for tasks)
    std::string from; // canonical or abbreviated name
    std::vector<std::string> sendTo, copyTo, blindCopyTo;
    std::string subject, body;
    std::int64_t posted = 0;    // ticks; inbox and sent mail
    std::int64_t delivered = 0; // ticks; inbox mail
    bool unread = false;
    std::string respondedTo;              // "$RespondedTo": "1" replied, "2" forwarded; empty: neither
    int importance = 2;                   // "Importance": 1 high, 2 normal, 3 low
    int mood = 0;                         // "MoodStamp", 0..10
    bool returnReceipt = false;           // "ReturnReceipt" "1"
    std::string deliveryReport;           // "DeliveryReport": "B", "C", "T", "N"; empty: none
    std::vector<std::string> attachments; // file names ("$FILE" items) with generated bytes
    std::vector<std::pair<std::string, std::string>> files; // attachments with their bytes: name, bytes
    std::string richText;               // a stored rich-text value for "Body"; replaces body when set
    std::vector<std::string> mimeParts; // "Body" MIME part item values: a native MIME memo
    std::int64_t due = 0, start = 0, completed = 0; // tasks
};
void fill(const Message& m, Note* note); // the items of a new note
// Stores messages in one transaction; inbox mail goes into "($Inbox)"; read mail leaves the unread
// list. ids (if given) receives the new note ids in order.
STATUS store(Database& db, const std::vector<Message>& messages, std::vector<NOTEID>* ids = nullptr);
// `count` realistic inbox memos (a third unread, some replied, some with attachments), delivered
// over the `days` days before `now`, stored in batches of `batch`; progress(done) after each batch.
STATUS generate(Database& db, std::size_t count, std::uint32_t seed, std::int64_t now, int days,
                std::size_t batch, const std::function<void(std::size_t)>& progress);
} // namespace mail

// ---- database templates ----------------------------------------------------------------------
namespace templates {
enum class Kind { Directory, AddressBook, Mail };
// "names" (the server directory), "pab" (a personal address book), "mail" (a mail file).
bool kindFromName(std::string_view name, Kind* out);
const char* kindName(Kind kind);
// Creates "server!!path" and writes the template's design (forms and views) into it.
STATUS create(std::string_view server, std::string_view path, Kind kind);
// Writes the design into an existing database; design notes of the same names are replaced.
STATUS apply(Database& db, Kind kind);
} // namespace templates

// ---- handle table --------------------------------------------------------------------------
struct MemoryBlock {
    std::vector<char> bytes;
    int locks = 0;
    std::size_t cursor = 0; // IDScan position
};

// An open view collection (NIFOpenCollection).
struct Collection {
    std::shared_ptr<Database> db;
    NOTEID view = 0;
    WORD collation = 0;
};

// ID tables (see capi.h for their layout).
namespace idtable {
DHANDLE create(const std::vector<NOTEID>& ids); // ids need not be sorted
bool read(DHANDLE h, std::vector<NOTEID>* ids);
} // namespace idtable

namespace handles {
DHANDLE addDatabase(std::shared_ptr<Database> db);
DHANDLE addNote(std::shared_ptr<Note> note);
DHANDLE addMemory(std::vector<char> bytes);
DHANDLE addCollection(std::shared_ptr<Collection> collection);
std::shared_ptr<Collection> collection(DHANDLE h);
STATUS closeCollection(DHANDLE h);
std::shared_ptr<Database> database(DHANDLE h);
std::shared_ptr<Note> note(DHANDLE h);
std::shared_ptr<MemoryBlock> memory(DHANDLE h);
STATUS closeDatabase(DHANDLE h);
STATUS closeNote(DHANDLE h); // frees the note's item blocks too
STATUS freeMemory(DHANDLE h);
std::size_t count(); // live handles (for tests)
} // namespace handles

} // namespace notes
