// One SQLite file per Notes database. See the README for the schema.
#include "store.h"
#include "connectionpool.h"
#include "runtime.h"

#include "attachments.h"
#include "sqlite_util.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

namespace notes {
namespace {

using sql::columnText;
using sql::statusOf;
using sql::Transaction;
using sql::Use;

constexpr int kSchemaVersion = 2;

constexpr const char* kSchema = R"sql(
CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL) WITHOUT ROWID;
CREATE TABLE notes(
    note_id     INTEGER PRIMARY KEY,
    unid        TEXT NOT NULL UNIQUE,
    note_class  INTEGER NOT NULL,
    created     INTEGER NOT NULL,
    modified    INTEGER NOT NULL,
    sequence    INTEGER NOT NULL DEFAULT 1,
    deleted     INTEGER NOT NULL DEFAULT 0,
    parent_unid TEXT,
    title       TEXT COLLATE NOCASE
);
CREATE INDEX notes_class ON notes(note_class, deleted);
CREATE INDEX notes_modified ON notes(modified);
CREATE INDEX notes_stubs ON notes(modified) WHERE deleted = 1;
CREATE INDEX notes_parent ON notes(parent_unid) WHERE parent_unid IS NOT NULL;
CREATE INDEX notes_title ON notes(note_class, title) WHERE title IS NOT NULL;
CREATE TABLE items(
    note_id INTEGER NOT NULL REFERENCES notes(note_id) ON DELETE CASCADE,
    seq     INTEGER NOT NULL,
    name    TEXT NOT NULL COLLATE NOCASE,
    type    INTEGER NOT NULL,
    flags   INTEGER NOT NULL,
    value   BLOB NOT NULL,
    PRIMARY KEY(note_id, seq)
) WITHOUT ROWID;
CREATE INDEX items_name ON items(name, note_id);
CREATE TABLE folder_entries(
    folder_id INTEGER NOT NULL,
    note_id   INTEGER NOT NULL,
    PRIMARY KEY(folder_id, note_id)
) WITHOUT ROWID;
CREATE INDEX folder_entries_note ON folder_entries(note_id);
CREATE TABLE unread(
    user    TEXT NOT NULL COLLATE NOCASE,
    note_id INTEGER NOT NULL,
    PRIMARY KEY(user, note_id)
) WITHOUT ROWID;
CREATE TABLE objects(
    object_id INTEGER PRIMARY KEY,
    note_id   INTEGER NOT NULL,
    name      TEXT NOT NULL,
    bytes     BLOB NOT NULL
);
CREATE INDEX objects_note ON objects(note_id);
)sql";

// Added by schema 2: the view indexes. A row per entry and collation, kept in order by its key;
// view_state records the design (note sequence) each view's rows were built for.
constexpr const char* kViewSchema = R"sql(
CREATE TABLE IF NOT EXISTS view_index(
    view_id   INTEGER NOT NULL,
    collation INTEGER NOT NULL,
    sort_key  BLOB NOT NULL,
    note_id   INTEGER NOT NULL,
    category  TEXT,
    PRIMARY KEY(view_id, collation, sort_key, note_id)
) WITHOUT ROWID;
CREATE INDEX IF NOT EXISTS view_index_note ON view_index(note_id, view_id);
CREATE TABLE IF NOT EXISTS view_values(
    view_id INTEGER NOT NULL,
    note_id INTEGER NOT NULL,
    vals    BLOB NOT NULL,
    PRIMARY KEY(view_id, note_id)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS view_state(
    view_id    INTEGER PRIMARY KEY,
    design_seq INTEGER NOT NULL
);
)sql";

// Every change of a view's membership (collation 0 rows), logged by the file itself so that the
// writes of any process are seen: a reader holding a view's documents catches up from the log
// instead of reading the whole view again. Only the newest rows are kept; a reader further behind
// reads the view afresh.
constexpr const char* kViewLogSchema = R"sql(
CREATE TABLE IF NOT EXISTS view_log(
    seq     INTEGER PRIMARY KEY AUTOINCREMENT,
    view_id INTEGER NOT NULL,
    note_id INTEGER NOT NULL
);
CREATE TRIGGER IF NOT EXISTS view_log_add AFTER INSERT ON view_index WHEN NEW.collation = 0 BEGIN
    INSERT INTO view_log(view_id, note_id) VALUES(NEW.view_id, NEW.note_id);
END;
CREATE TRIGGER IF NOT EXISTS view_log_remove AFTER DELETE ON view_index WHEN OLD.collation = 0 BEGIN
    INSERT INTO view_log(view_id, note_id) VALUES(OLD.view_id, OLD.note_id);
END;
CREATE TRIGGER IF NOT EXISTS view_log_trim AFTER INSERT ON view_log BEGIN
    DELETE FROM view_log WHERE seq <= NEW.seq - 8192;
END;
)sql";

// Every change of an unread list, logged the same way: a process holding a user's list brings it
// up to date from here after each delivery instead of reading every unread mark again.
constexpr const char* kUnreadLogSchema = R"sql(
CREATE TABLE IF NOT EXISTS unread_log(
    seq     INTEGER PRIMARY KEY AUTOINCREMENT,
    user    TEXT NOT NULL COLLATE NOCASE,
    note_id INTEGER NOT NULL
);
CREATE TRIGGER IF NOT EXISTS unread_log_add AFTER INSERT ON unread BEGIN
    INSERT INTO unread_log(user, note_id) VALUES(NEW.user, NEW.note_id);
END;
CREATE TRIGGER IF NOT EXISTS unread_log_remove AFTER DELETE ON unread BEGIN
    INSERT INTO unread_log(user, note_id) VALUES(OLD.user, OLD.note_id);
END;
CREATE TRIGGER IF NOT EXISTS unread_log_trim AFTER INSERT ON unread_log BEGIN
    DELETE FROM unread_log WHERE seq <= NEW.seq - 8192;
END;
)sql";

// The calendar index (calendarindex.h); a store made before it gets it, filled, when first opened.
constexpr const char* kCalendarSchema = R"sql(
CREATE TABLE IF NOT EXISTS calendar_index(
    note_id INTEGER PRIMARY KEY,
    start   INTEGER NOT NULL,
    end     INTEGER NOT NULL
);
CREATE INDEX IF NOT EXISTS calendar_start ON calendar_index(start, note_id);
)sql";

// Steps a bound statement whose first column is a note id.
STATUS collectIds(sqlite3_stmt* s, std::vector<NOTEID>* ids) {
    ids->clear();
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ids->push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
    }
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

std::string firstText(const Note& note, std::string_view name) {
    const Item* it = note.find(name);
    std::vector<std::string> values;
    if (it && ods::decodeText(it->type, it->value, &values) && !values.empty()) {
        return values.front();
    }
    return "";
}

std::string parentOf(const Note& note) {
    const Item* it = note.find("$REF");
    std::vector<UNID> refs;
    if (it && it->type == TYPE_NOTEREF_LIST && ods::decodeNoteRefs(it->value, &refs) && !refs.empty()) {
        return unidToText(refs.front());
    }
    return "";
}

} // namespace

// ---- Note ------------------------------------------------------------------------------------

std::size_t Note::size() const {
    std::size_t size = 0;
    for (const Item& it : items) {
        size += it.name.size() + it.value.size() + 2;
        files::FileObject file;
        if (files::isFileItem(it) && files::decode(it.value, &file)) {
            size += file.size; // an attachment counts with its bytes
        }
    }
    return size;
}

Item* Note::find(std::string_view name) {
    for (Item& it : items) {
        if (nameEquals(it.name, name)) {
            return &it;
        }
    }
    return nullptr;
}

const Item* Note::find(std::string_view name) const {
    return const_cast<Note*>(this)->find(name);
}

Item* Note::findById(WORD id) {
    for (Item& it : items) {
        if (it.id == id) {
            return &it;
        }
    }
    return nullptr;
}

Item& Note::append(std::string_view name, WORD type, WORD flags, std::string value) {
    Item item;
    item.id = nextItemId_++;
    item.name = std::string(name);
    item.type = type;
    item.flags = flags;
    item.value = std::move(value);
    items.push_back(std::move(item));
    dirty = true;
    return items.back();
}

void Note::remove(std::string_view name) {
    const auto before = items.size();
    items.erase(
        std::remove_if(items.begin(), items.end(), [&](const Item& it) { return nameEquals(it.name, name); }),
        items.end());
    dirty = dirty || items.size() != before;
}

void Note::removeById(WORD id) {
    const auto before = items.size();
    items.erase(std::remove_if(items.begin(), items.end(), [&](const Item& it) { return it.id == id; }),
                items.end());
    dirty = dirty || items.size() != before;
}

// ---- Database ----------------------------------------------------------------------------------

// ---- the façade's modules ---------------------------------------------------------------------

Database::Database() : views_(*this), fullText_(*this), objects_(*this), calendar_(*this) {}

STATUS Database::objectBytes(DWORD objectId, std::string* out) {
    return objects_.bytes(objectId, out);
}
STATUS Database::truncateObject(DWORD objectId, std::size_t length) {
    return objects_.truncate(objectId, length);
}
STATUS Database::findDesign(WORD noteClass, std::string_view name, NOTEID* out) {
    return views_.findDesign(noteClass, name, out);
}
STATUS Database::viewDesign(NOTEID view, ViewDesign* out) {
    return views_.viewDesign(view, out);
}
STATUS Database::viewValues(NOTEID view, std::shared_ptr<const ViewValues>* out) {
    return views_.viewValues(view, out);
}
STATUS Database::viewColumnOrder(NOTEID view, WORD collation, std::size_t column,
                                 const std::shared_ptr<const std::vector<NOTEID>>& ids,
                                 const std::shared_ptr<const ViewValues>& values,
                                 std::shared_ptr<const ViewColumnOrder>* out) {
    return views_.viewColumnOrder(view, collation, column, ids, values, out);
}

STATUS Database::ensureViewIndex(NOTEID view) {
    return views_.ensureViewIndex(view);
}
STATUS Database::readyCollation(NOTEID view, WORD collation) {
    return views_.readyCollation(view, collation);
}
STATUS Database::calendarEntries(std::int64_t from, std::int64_t until, std::vector<NOTEID>* out) {
    return calendar_.overlapping(from, until, out);
}
STATUS Database::viewRows(NOTEID view, WORD collation, std::vector<ViewRow>* out) {
    return views_.viewRows(view, collation, out);
}
STATUS Database::viewMatches(NOTEID view, WORD collation, const std::string& prefix,
                             std::vector<NOTEID>* out) {
    return views_.viewMatches(view, collation, prefix, out);
}
STATUS Database::viewOrderedNoteIds(NOTEID view, WORD collation, std::vector<NOTEID>* out) {
    return views_.viewOrderedNoteIds(view, collation, out);
}
STATUS Database::viewOrderedNoteIds(NOTEID view, WORD collation,
                                    std::shared_ptr<const std::vector<NOTEID>>* out) {
    return views_.viewOrderedNoteIds(view, collation, out);
}
STATUS Database::viewMembers(NOTEID view, std::shared_ptr<const std::vector<NOTEID>>* out) {
    return views_.viewMembers(view, out);
}
STATUS Database::viewNoteIds(NOTEID view, std::vector<NOTEID>* out) {
    return views_.viewNoteIds(view, out);
}
STATUS Database::changeFolder(NOTEID folder, const std::vector<NOTEID>& add,
                              const std::vector<NOTEID>& remove) {
    return views_.changeFolder(folder, add, remove);
}
STATUS Database::ftSearch(NOTEID view, std::string_view query, std::vector<NOTEID>* out, std::string* error) {
    return fullText_.search(view, query, out, error);
}

Database::~Database() {
    for (auto& [sql, stmt] : statements_) {
        sqlite3_finalize(stmt);
    }
    if (db_) {
        sqlite3_close_v2(db_);
    }
}

bool Database::idle() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sqlite3_get_autocommit(db_) != 0;
}

STATUS Database::create(const std::string& file, const std::string& title) {
    std::error_code ec;
    if (std::filesystem::exists(file, ec)) {
        return ERR_EXISTS;
    }
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return statusOf(rc);
    }
    std::mt19937_64 rng{std::random_device{}()};
    const TIMEDATE replica = timedateFromTicks(ticksNow() ^ static_cast<std::int64_t>(rng() & 0xFFFF));
    char replicaText[24];
    std::snprintf(replicaText, sizeof replicaText, "%08X%08X", replica.Innards[1], replica.Innards[0]);
    std::string sql = "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN;";
    sql += kSchema;
    sql += kViewSchema;
    sql += kViewLogSchema;
    sql += kUnreadLogSchema;
    sql += kCalendarSchema;
    sql += "INSERT INTO meta VALUES('calendar_span','0');";
    sqlite3_str* meta = sqlite3_str_new(db);
    sqlite3_str_appendf(meta,
                        "INSERT INTO meta VALUES('schema_version','%d'),('replica_id','%s'),('title',%Q),"
                        "('created','%lld'),('last_until','0'),('design_version','0'); COMMIT;",
                        kSchemaVersion, replicaText, title.c_str(), static_cast<long long>(ticksNow()));
    char* metaSql = sqlite3_str_finish(meta);
    sql += metaSql ? metaSql : "";
    sqlite3_free(metaSql);
    rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);
    if (rc != SQLITE_OK) {
        std::filesystem::remove(file, ec);
        return statusOf(rc);
    }
    return NOERROR;
}

STATUS Database::open(const std::string& file, const std::string& server, const std::string& path,
                      std::shared_ptr<Database>* out) {
    if (std::unique_ptr<Database> idle = connectionpool::take(file)) {
        idle->server_ = server;
        idle->path_ = path;
        *out = connectionpool::share(std::move(idle));
        return NOERROR;
    }
    std::unique_ptr<Database> db(new Database());
    db->file_ = file;
    db->server_ = server;
    db->path_ = path;
    int rc = sqlite3_open_v2(file.c_str(), &db->db_, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        return statusOf(rc);
    }
    sqlite3_busy_timeout(db->db_, 5000);
    // A 32 MiB page cache (grown only as used) keeps a large mail file's index pages in memory while
    // batches of memos are written and views read.
    rc = sqlite3_exec(db->db_, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=ON; PRAGMA cache_size=-32768;",
                      nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        return statusOf(rc);
    }
    if (db->meta("schema_version") == "1") {
        if (STATUS st = db->migrate(); st != NOERROR) {
            return st;
        }
    }
    if (db->meta("schema_version") != std::to_string(kSchemaVersion)) {
        return ERR_NOT_A_DATABASE;
    }
    if (STATUS st = db->addViewValues(); st != NOERROR) {
        return st;
    }
    if (STATUS st = db->addLog("view_log_trim", kViewLogSchema); st != NOERROR) {
        return st;
    }
    if (STATUS st = db->addLog("unread_log_trim", kUnreadLogSchema); st != NOERROR) {
        return st;
    }
    if (STATUS st = db->addStubIndex(); st != NOERROR) {
        return st;
    }
    if (db->meta("calendar_span").empty()) {
        if (STATUS st = db->addCalendarIndex(); st != NOERROR) {
            return st;
        }
    }
    *out = connectionpool::share(std::move(db));
    return NOERROR;
}

// A store made before the index kept column values gets the table; its views are rebuilt on first use.
STATUS Database::addViewValues() {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'view_values'", &s);
        st != NOERROR) {
        return st;
    }
    {
        Use use(s);
        if (sqlite3_step(s) == SQLITE_ROW) {
            return NOERROR;
        }
    }
    const int rc =
        sqlite3_exec(db_,
                     "BEGIN IMMEDIATE; CREATE TABLE IF NOT EXISTS view_values(view_id INTEGER NOT NULL, "
                     "note_id INTEGER NOT NULL, vals BLOB NOT NULL, PRIMARY KEY(view_id, note_id)) "
                     "WITHOUT ROWID; DELETE FROM view_state; COMMIT;",
                     nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return statusOf(rc);
}

// The deletion stubs by age, so that purging looks at stubs only, not at every older document; a
// store made before it gets it on first open.
STATUS Database::addStubIndex() {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'notes_stubs'", &s);
        st != NOERROR) {
        return st;
    }
    {
        Use use(s);
        if (sqlite3_step(s) == SQLITE_ROW) {
            return NOERROR;
        }
    }
    return statusOf(
        sqlite3_exec(db_, "CREATE INDEX IF NOT EXISTS notes_stubs ON notes(modified) WHERE deleted = 1",
                     nullptr, nullptr, nullptr));
}

// A store made before a change log gets it (empty: its readers start with a whole reading).
STATUS Database::addLog(const char* trimTrigger, const char* schema) {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT 1 FROM sqlite_master WHERE type = 'trigger' AND name = ?", &s);
        st != NOERROR) {
        return st;
    }
    {
        Use use(s);
        sqlite3_bind_text(s, 1, trimTrigger, -1, SQLITE_STATIC);
        if (sqlite3_step(s) == SQLITE_ROW) {
            return NOERROR;
        }
    }
    const std::string sql = std::string("BEGIN IMMEDIATE;") + schema + "COMMIT;";
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return statusOf(rc);
}

STATUS Database::logBoundsLocked(ChangeLog log, LogBounds* out) {
    sqlite3_stmt* s = nullptr;
    const char* sql =
        log == ChangeLog::Views
            ? "SELECT (SELECT ifnull(min(seq), 0) FROM view_log), "
              "(SELECT ifnull(max(seq), 0) FROM view_log), "
              "(SELECT group_concat(value, '/') FROM meta WHERE key IN ('replica_id', 'created'))"
            : "SELECT (SELECT ifnull(min(seq), 0) FROM unread_log), "
              "(SELECT ifnull(max(seq), 0) FROM unread_log), "
              "(SELECT group_concat(value, '/') FROM meta WHERE key IN ('replica_id', 'created'))";
    if (STATUS st = prepare(sql, &s); st != NOERROR) {
        return st;
    }
    Use use(s);
    if (const int rc = sqlite3_step(s); rc != SQLITE_ROW) {
        return statusOf(rc);
    }
    out->first = sqlite3_column_int64(s, 0);
    out->last = sqlite3_column_int64(s, 1);
    out->file = columnText(s, 2);
    return NOERROR;
}

// Schema 1 had no view indexes; views of such a store are indexed on first use.
STATUS Database::addCalendarIndex() {
    std::lock_guard<std::mutex> lock(mutex_);
    Transaction tx(db_);
    if (!tx.ok()) {
        return statusOf(tx.rc());
    }
    if (const int rc = sqlite3_exec(db_, kCalendarSchema, nullptr, nullptr, nullptr); rc != SQLITE_OK) {
        return statusOf(rc);
    }
    if (STATUS st = calendar_.buildLocked(); st != NOERROR) {
        return st;
    }
    return statusOf(tx.commit());
}

STATUS Database::migrate() {
    std::string sql = "BEGIN IMMEDIATE;";
    sql += kViewSchema;
    sql += "INSERT OR REPLACE INTO meta VALUES('schema_version','2'),('design_version','0'); COMMIT;";
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return statusOf(rc);
}

STATUS Database::prepare(const char* sql, sqlite3_stmt** out) {
    auto& cache = statements_;
    auto it = cache.find(sql);
    if (it != cache.end()) {
        *out = it->second;
        return NOERROR;
    }
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        return statusOf(rc);
    }
    cache.emplace(sql, stmt);
    *out = stmt;
    return NOERROR;
}

std::string Database::meta(const char* key) {
    sqlite3_stmt* s = nullptr;
    if (prepare("SELECT value FROM meta WHERE key = ?", &s) != NOERROR) {
        return "";
    }
    Use use(s);
    sqlite3_bind_text(s, 1, key, -1, SQLITE_STATIC);
    return sqlite3_step(s) == SQLITE_ROW ? columnText(s, 0) : "";
}

STATUS Database::setMeta(const char* key, const std::string& value) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)", &s); st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_text(s, 1, key, -1, SQLITE_STATIC);
    sqlite3_bind_text(s, 2, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return statusOf(sqlite3_step(s));
}

// Modification times. Every change gets a time no earlier than the "until" of the last change
// query, and every query's "until" is later than every change made before it; so a change is
// reported by exactly one of a chain of queries, even when the clock stands still.
STATUS Database::stamp(std::int64_t* out) {
    const std::string last = meta("last_until");
    const std::int64_t lastUntil = last.empty() ? 0 : std::stoll(last);
    *out = std::max(ticksNow(), lastUntil);
    return NOERROR;
}

STATUS Database::checkLive(NOTEID id) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT deleted FROM notes WHERE note_id = ?", &s); st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, id);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERR_INVALID_NOTE : statusOf(rc);
    }
    return sqlite3_column_int(s, 0) != 0 ? ERR_NOTE_DELETED : NOERROR;
}

std::string Database::title() {
    std::lock_guard<std::mutex> lock(mutex_);
    return meta("title");
}

STATUS Database::replicaId(TIMEDATE* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string text = meta("replica_id");
    unsigned hi = 0, lo = 0;
    if (text.size() != 16 || std::sscanf(text.c_str(), "%8X%8X", &hi, &lo) != 2) {
        return ERR_DATABASE_DAMAGED;
    }
    out->Innards[1] = hi;
    out->Innards[0] = lo;
    return NOERROR;
}

STATUS Database::info(NOTEID id, NoteInfo* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    return infoLocked(id, out);
}

STATUS Database::infoLocked(NOTEID id, NoteInfo* out) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare(
            "SELECT unid, note_class, created, modified, sequence, deleted FROM notes WHERE note_id = ?", &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, id);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERR_INVALID_NOTE : statusOf(rc);
    }
    NoteInfo info;
    info.id = id;
    if (!unidFromText(columnText(s, 0), &info.unid)) {
        return ERR_DATABASE_DAMAGED;
    }
    info.noteClass = static_cast<WORD>(sqlite3_column_int(s, 1));
    info.created = sqlite3_column_int64(s, 2);
    info.modified = sqlite3_column_int64(s, 3);
    info.sequence = static_cast<DWORD>(sqlite3_column_int64(s, 4));
    info.deleted = sqlite3_column_int(s, 5) != 0;
    *out = info;
    return NOERROR;
}

STATUS Database::findByUnid(const UNID& unid, NOTEID* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT note_id FROM notes WHERE unid = ?", &s); st != NOERROR) {
        return st;
    }
    Use use(s);
    const std::string text = unidToText(unid);
    sqlite3_bind_text(s, 1, text.c_str(), static_cast<int>(text.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) {
        return rc == SQLITE_DONE ? ERR_INVALID_NOTE : statusOf(rc);
    }
    *out = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
    return NOERROR;
}

STATUS Database::load(NOTEID id, Note* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    return loadLocked(id, out);
}

STATUS Database::loadLocked(NOTEID id, Note* out) {
    NoteInfo info;
    if (STATUS st = infoLocked(id, &info); st != NOERROR) {
        return st;
    }
    if (info.deleted) {
        return ERR_NOTE_DELETED;
    }
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT name, type, flags, value FROM items WHERE note_id = ? ORDER BY seq", &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, id);
    out->info = info;
    out->items.clear();
    out->nextItemId_ = 1;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const void* blob = sqlite3_column_blob(s, 3);
        const int size = sqlite3_column_bytes(s, 3);
        out->append(columnText(s, 0), static_cast<WORD>(sqlite3_column_int(s, 1)),
                    static_cast<WORD>(sqlite3_column_int(s, 2)),
                    std::string(static_cast<const char*>(blob ? blob : ""), static_cast<std::size_t>(size)));
    }
    out->dirty = false;
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

STATUS Database::save(Note& note) {
    std::lock_guard<std::mutex> lock(mutex_);
    Transaction tx(db_);
    if (!tx.ok()) {
        return statusOf(tx.rc());
    }
    std::int64_t now = 0;
    stamp(&now);
    const std::string parent = parentOf(note);
    const std::string title =
        note.info.noteClass == NOTE_CLASS_DOCUMENT ? std::string() : firstText(note, "$TITLE");
    sqlite3_stmt* s = nullptr;
    NoteInfo info = note.info;
    ViewDesign viewBefore; // a view note's design before this save, when it had one
    bool hadView = false;
    DWORD viewBeforeSequence = 0;
    if (info.id == 0) {
        if (STATUS st = prepare("SELECT coalesce(max(note_id), 0) + 4 FROM notes", &s); st != NOERROR) {
            return st;
        }
        {
            Use use(s);
            if (sqlite3_step(s) != SQLITE_ROW) {
                return statusOf(sqlite3_errcode(db_));
            }
            info.id = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
        }
        if (info.unid.File.Innards[0] == 0 && info.unid.File.Innards[1] == 0 &&
            info.unid.Note.Innards[0] == 0 && info.unid.Note.Innards[1] == 0) {
            info.unid = newUnid(now);
        }
        info.created = now;
        info.sequence = 1;
        if (STATUS st =
                prepare("INSERT INTO notes(note_id, unid, note_class, created, modified, sequence, deleted, "
                        "parent_unid, title) VALUES(?, ?, ?, ?, ?, 1, 0, ?, ?)",
                        &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        const std::string unidText = unidToText(info.unid);
        sqlite3_bind_int64(s, 1, info.id);
        sqlite3_bind_text(s, 2, unidText.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(s, 3, info.noteClass);
        sqlite3_bind_int64(s, 4, now);
        sqlite3_bind_int64(s, 5, now);
        parent.empty() ? sqlite3_bind_null(s, 6)
                       : sqlite3_bind_text(s, 6, parent.c_str(), -1, SQLITE_TRANSIENT);
        title.empty() ? sqlite3_bind_null(s, 7)
                      : sqlite3_bind_text(s, 7, title.c_str(), -1, SQLITE_TRANSIENT);
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_CONSTRAINT) {
            return ERR_EXISTS;
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
        if (info.noteClass == NOTE_CLASS_DOCUMENT) { // a new document is unread
            if (STATUS st = prepare("INSERT OR IGNORE INTO unread(user, note_id) VALUES('', ?)", &s);
                st != NOERROR) {
                return st;
            }
            Use unread(s);
            sqlite3_bind_int64(s, 1, info.id);
            if (const int urc = sqlite3_step(s); urc != SQLITE_DONE) {
                return statusOf(urc);
            }
        }
    } else {
        if (STATUS st = checkLive(info.id); st != NOERROR) {
            return st;
        }
        if (info.noteClass == NOTE_CLASS_VIEW) {
            Note old;
            if (loadLocked(info.id, &old) == NOERROR && old.info.noteClass == NOTE_CLASS_VIEW &&
                readViewDesign(old, &viewBefore)) {
                hadView = true;
                viewBeforeSequence = old.info.sequence;
            }
        }
        if (STATUS st = prepare("UPDATE notes SET note_class = ?, modified = ?, sequence = sequence + 1, "
                                "parent_unid = ?, title = ? WHERE note_id = ?",
                                &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int(s, 1, info.noteClass);
        sqlite3_bind_int64(s, 2, now);
        parent.empty() ? sqlite3_bind_null(s, 3)
                       : sqlite3_bind_text(s, 3, parent.c_str(), -1, SQLITE_TRANSIENT);
        title.empty() ? sqlite3_bind_null(s, 4)
                      : sqlite3_bind_text(s, 4, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(s, 5, info.id);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
        ++info.sequence;
        if (STATUS st = prepare("DELETE FROM items WHERE note_id = ?", &s); st != NOERROR) {
            return st;
        }
        Use del(s);
        sqlite3_bind_int64(s, 1, info.id);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    if (STATUS st = objects_.saveLocked(info.id, note); st != NOERROR) {
        return st;
    }
    if (STATUS st =
            prepare("INSERT INTO items(note_id, seq, name, type, flags, value) VALUES(?, ?, ?, ?, ?, ?)", &s);
        st != NOERROR) {
        return st;
    }
    int seq = 0;
    for (const Item& item : note.items) {
        Use use(s);
        sqlite3_bind_int64(s, 1, info.id);
        sqlite3_bind_int(s, 2, seq++);
        sqlite3_bind_text(s, 3, item.name.c_str(), static_cast<int>(item.name.size()), SQLITE_STATIC);
        sqlite3_bind_int(s, 4, item.type);
        sqlite3_bind_int(s, 5, item.flags);
        sqlite3_bind_blob(s, 6, item.value.data(), static_cast<int>(item.value.size()), SQLITE_STATIC);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    if (info.noteClass == NOTE_CLASS_DOCUMENT) {
        // Columns of @Created and @Modified show the times this save gives the note.
        struct Restore {
            Note& note;
            NoteInfo kept;
            ~Restore() { note.info = kept; }
        } restore{note, note.info};
        note.info = info;
        note.info.modified = now;
        if (STATUS st = views_.indexNoteLocked(info.id, note); st != NOERROR) {
            return st;
        }
        if (STATUS st = calendar_.indexNoteLocked(info.id, note); st != NOERROR) {
            return st;
        }
    } else if (info.noteClass == NOTE_CLASS_VIEW) {
        if (STATUS st =
                views_.viewSavedLocked(info.id, note, hadView ? &viewBefore : nullptr, viewBeforeSequence);
            st != NOERROR) {
            return st;
        }
    }
    if (const int rc = tx.commit(); rc != SQLITE_OK) {
        return statusOf(rc);
    }
    info.modified = now;
    note.info = info;
    note.dirty = false;
    note.pendingObjects.clear();
    return NOERROR;
}

STATUS Database::remove(NOTEID id) {
    std::lock_guard<std::mutex> lock(mutex_);
    Transaction tx(db_);
    if (!tx.ok()) {
        return statusOf(tx.rc());
    }
    if (STATUS st = checkLive(id); st != NOERROR) {
        return st;
    }
    sqlite3_stmt* s = nullptr;
    std::int64_t now = 0;
    stamp(&now);
    static const char* const kSteps[] = {
        ("UPDATE notes SET deleted = 1, modified = ?2, sequence = sequence + 1, title = NULL "
         "WHERE note_id = ?1"),
        "DELETE FROM items WHERE note_id = ?1",
        "DELETE FROM folder_entries WHERE note_id = ?1 OR folder_id = ?1",
        "DELETE FROM unread WHERE note_id = ?1",
        "DELETE FROM objects WHERE note_id = ?1",
        "DELETE FROM view_index WHERE note_id = ?1",
        "DELETE FROM view_index WHERE view_id = ?1",
        ("DELETE FROM view_values WHERE view_id IN (SELECT note_id FROM notes WHERE note_class = 8) "
         "AND note_id = ?1"),
        "DELETE FROM view_values WHERE view_id = ?1",
        "DELETE FROM view_state WHERE view_id = ?1",
        "DELETE FROM calendar_index WHERE note_id = ?1",
    };
    for (const char* sql : kSteps) {
        if (STATUS st = prepare(sql, &s); st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, id);
        if (sqlite3_bind_parameter_count(s) >= 2) {
            sqlite3_bind_int64(s, 2, now);
        }
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    NoteInfo removed;
    if (infoLocked(id, &removed) == NOERROR && removed.noteClass == NOTE_CLASS_VIEW) {
        if (STATUS st = views_.bumpDesignVersionLocked(); st != NOERROR) {
            return st;
        }
    }
    return statusOf(tx.commit());
}

STATUS Database::modifiedSince(std::int64_t since, WORD classMask, std::vector<NOTEID>* ids,
                               std::int64_t* until) {
    std::lock_guard<std::mutex> lock(mutex_);
    ids->clear();
    bool quiet = false;
    if (STATUS st = quietSinceLocked(since, &quiet); st != NOERROR) {
        return st;
    }
    if (quiet) {
        *until = since;
        return NOERROR;
    }
    // A write transaction: no save commits while the query runs, so a change made meanwhile is
    // stamped at or after the "until" recorded here and falls to the next query.
    Transaction tx(db_);
    if (!tx.ok()) {
        return statusOf(tx.rc());
    }
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT coalesce(max(modified), 0) FROM notes", &s); st != NOERROR) {
        return st;
    }
    std::int64_t maxModified = 0;
    {
        Use use(s);
        if (sqlite3_step(s) != SQLITE_ROW) {
            return statusOf(sqlite3_errcode(db_));
        }
        maxModified = sqlite3_column_int64(s, 0);
    }
    const std::int64_t now = ticksNow();
    const std::int64_t newUntil = std::max(now, maxModified + 1);
    std::int64_t horizon = 0;
    if (STATUS st = purgeStubsLocked(now - kStubPurgeTicks, &horizon); st != NOERROR) {
        return st;
    }
    const bool purged = since > 0 && since < horizon;
    if (!purged) {
        if (STATUS st = prepare("SELECT note_id FROM notes INDEXED BY notes_modified "
                                "WHERE modified >= ? AND (note_class & ?) != 0",
                                &s);
            st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, since);
        sqlite3_bind_int(s, 2, classMask);
        if (STATUS st = collectIds(s, ids); st != NOERROR) {
            return st;
        }
        std::sort(ids->begin(), ids->end());
    }
    const std::string last = meta("last_until");
    if (newUntil > (last.empty() ? 0 : std::stoll(last))) {
        if (STATUS st = setMeta("last_until", std::to_string(newUntil)); st != NOERROR) {
            return st;
        }
    }
    if (const int rc = tx.commit(); rc != SQLITE_OK) {
        ids->clear();
        return statusOf(rc);
    }
    *until = newUntil;
    return purged ? ERR_SINCE_PURGED : NOERROR;
}

// True when nothing was modified at or after `since`, seen from one snapshot without a write: the
// answer is empty, and the next query may start from `since` again. A file that is only asked (an
// address book nobody edits) then costs a few index lookups per question instead of a commit.
// Only for a `since` the file has handed out (at most its "last_until"), so that every later save
// is stamped at or after it; not for one ahead of the clock (the long way answers with the file's
// own time) or from before purged stubs (refused the long way). Purging can wait for a query with
// something to report: every stub left is older than `since`, so it could not change this answer.
STATUS Database::quietSinceLocked(std::int64_t since, bool* quiet) {
    *quiet = false;
    if (since <= 0 || !sqlite3_get_autocommit(db_)) {
        return NOERROR;
    }
    sql::ReadTransaction snapshot(db_);
    if (!snapshot.ok) {
        return statusOf(sqlite3_errcode(db_));
    }
    sqlite3_stmt* s = nullptr;
    if (STATUS st =
            prepare("SELECT (SELECT coalesce(max(modified), 0) FROM notes), "
                    "(SELECT coalesce(max(CAST(value AS INTEGER)), 0) FROM meta WHERE key = 'last_until'), "
                    "(SELECT coalesce(max(CAST(value AS INTEGER)), 0) FROM meta WHERE key = 'purge_horizon')",
                    &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    if (const int rc = sqlite3_step(s); rc != SQLITE_ROW) {
        return statusOf(rc);
    }
    const std::int64_t maxModified = sqlite3_column_int64(s, 0);
    const std::int64_t lastUntil = sqlite3_column_int64(s, 1);
    const std::int64_t horizon = sqlite3_column_int64(s, 2);
    *quiet = maxModified < since && since <= lastUntil && since >= horizon && since <= ticksNow();
    return NOERROR;
}

// Stubs older than the purge interval go; "purge_horizon" keeps the time after which every stub
// is still here, so a query from before it can be told that deletions were lost.
STATUS Database::purgeStubsLocked(std::int64_t cutoff, std::int64_t* horizon) {
    const std::string known = meta("purge_horizon");
    *horizon = known.empty() ? 0 : std::stoll(known);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT max(modified) FROM notes INDEXED BY notes_stubs "
                            "WHERE modified < ? AND deleted = 1",
                            &s);
        st != NOERROR) {
        return st;
    }
    std::int64_t newest = 0;
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, cutoff);
        if (sqlite3_step(s) != SQLITE_ROW) {
            return statusOf(sqlite3_errcode(db_));
        }
        if (sqlite3_column_type(s, 0) == SQLITE_NULL) {
            return NOERROR;
        }
        newest = sqlite3_column_int64(s, 0);
    }
    if (STATUS st =
            prepare("DELETE FROM notes INDEXED BY notes_stubs WHERE modified < ? AND deleted = 1", &s);
        st != NOERROR) {
        return st;
    }
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, cutoff);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    if (newest + 1 > *horizon) {
        *horizon = newest + 1;
        return setMeta("purge_horizon", std::to_string(*horizon));
    }
    return NOERROR;
}

STATUS Database::list(WORD classMask, std::vector<NOTEID>* ids) {
    std::lock_guard<std::mutex> lock(mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare(
            "SELECT note_id FROM notes WHERE deleted = 0 AND (note_class & ?) != 0 ORDER BY note_id", &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int(s, 1, classMask);
    return collectIds(s, ids);
}

STATUS Database::beginBatch() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sqlite3_get_autocommit(db_) == 0) {
        return ERR_INVALID_PARAM; // a batch is already open
    }
    return statusOf(sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));
}

STATUS Database::endBatch(bool commit) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (sqlite3_get_autocommit(db_) != 0) {
        return ERR_INVALID_PARAM;
    }
    if (commit) {
        if (const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr); rc == SQLITE_OK) {
            return NOERROR;
        } else {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            return statusOf(rc);
        }
    }
    return statusOf(sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr));
}

STATUS Database::unread(const std::string& user, std::vector<NOTEID>* ids) {
    std::lock_guard<std::mutex> lock(mutex_);
    return readUnreadLocked(user, ids);
}

STATUS Database::setUnread(const std::string& user, const std::vector<NOTEID>& unread,
                           const std::vector<NOTEID>& read, bool replace) {
    std::lock_guard<std::mutex> lock(mutex_);
    Transaction tx(db_);
    if (!tx.ok()) {
        return statusOf(tx.rc());
    }
    // Runs sql (?1 = user, ?2 = note id) once per id.
    auto forEach = [&](const char* sql, const std::vector<NOTEID>& ids) -> STATUS {
        sqlite3_stmt* s = nullptr;
        if (STATUS st = prepare(sql, &s); st != NOERROR) {
            return st;
        }
        for (NOTEID id : ids) {
            Use use(s);
            sqlite3_bind_text(s, 1, user.c_str(), static_cast<int>(user.size()), SQLITE_STATIC);
            sqlite3_bind_int64(s, 2, id);
            if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
                return statusOf(rc);
            }
        }
        return NOERROR;
    };
    if (replace) {
        sqlite3_stmt* s = nullptr;
        if (STATUS st = prepare("DELETE FROM unread WHERE user = ?", &s); st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_text(s, 1, user.c_str(), static_cast<int>(user.size()), SQLITE_STATIC);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    if (STATUS st = forEach("DELETE FROM unread WHERE user = ?1 AND note_id = ?2", read); st != NOERROR) {
        return st;
    }
    // Only live documents can be unread.
    if (STATUS st = forEach("INSERT OR IGNORE INTO unread(user, note_id) "
                            "SELECT ?1, note_id FROM notes WHERE note_id = ?2 AND deleted = 0",
                            unread);
        st != NOERROR) {
        return st;
    }
    return statusOf(tx.commit());
}

} // namespace notes
