// Unread lists, kept per process and brought up to date from the file's unread log.
//
// The plug-in asks for the whole list once per memo it shows or announces, on a fresh handle each
// time, and every delivery commits to the file. Reading every unread mark again after each commit
// made a change report cost the mailbox's size; here a held list is handed out unchanged while the
// file has not changed, and otherwise catches up with the log entries written since it was read.
#include "ordercache.h"
#include "runtime.h"
#include "sqlite_util.h"
#include "store.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace notes {

using sql::ReadTransaction;
using sql::statusOf;
using sql::Use;

namespace {

// A user's list as last read in this process: the log entry it includes, and the file's stamp
// (ordercache::stamp) when it was known to be current.
struct Held {
    std::string file; // meta replica id and creation time: a file replaced under the path differs
    std::int64_t seq = 0;
    std::uint64_t stamp = 0;
    bool stamped = false;
    std::shared_ptr<std::vector<NOTEID>> ids; // handed out read-only; changed only while unshared
};

constexpr std::size_t kMaxHeld = 256;
std::mutex heldMutex;
std::unordered_map<std::string, Held> heldLists; // by path and user (lower case)

void keep(const std::string& key, Held held) {
    std::lock_guard<std::mutex> guard(heldMutex);
    if (heldLists.size() >= kMaxHeld) {
        heldLists.clear();
    }
    Held& slot = heldLists[key];
    // Another thread may have stored a newer reading meanwhile.
    if (!slot.ids || slot.file != held.file || slot.seq <= held.seq) {
        slot = std::move(held);
    }
}

} // namespace

STATUS Database::unreadShared(const std::string& user, std::shared_ptr<const std::vector<NOTEID>>* out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sqlite3_get_autocommit(db_)) {
        // Inside a batch this connection sees its own uncommitted marks: nothing to share.
        auto ids = std::make_shared<std::vector<NOTEID>>();
        if (STATUS st = readUnreadLocked(user, ids.get()); st != NOERROR) {
            return st;
        }
        *out = std::move(ids);
        return NOERROR;
    }
    // Taken before the snapshot: a commit in between makes the reading newer than its stamp, which
    // only costs a look at the log next time.
    std::uint64_t stamp = 0;
    const bool stamped = ordercache::stamp(file_, &stamp);
    const std::string key = file_ + '\n' + lower(user);
    Held held;
    {
        std::lock_guard<std::mutex> guard(heldMutex);
        if (auto it = heldLists.find(key); it != heldLists.end()) {
            if (it->second.stamped && stamped && it->second.stamp == stamp) {
                *out = it->second.ids;
                return NOERROR;
            }
            // Taken out, so that no one else holds it while it is brought up to date in place.
            held = std::move(it->second);
            heldLists.erase(it);
        }
    }
    ReadTransaction snapshot(db_);
    if (!snapshot.ok) {
        return statusOf(sqlite3_errcode(db_));
    }
    LogBounds bounds;
    if (STATUS st = logBoundsLocked(ChangeLog::Unread, &bounds); st != NOERROR) {
        return st;
    }
    const std::int64_t first = bounds.first, last = bounds.last;
    const std::string& file = bounds.file;
    std::shared_ptr<std::vector<NOTEID>> ids = std::move(held.ids);
    // Caught up only while the log still holds every entry after the reading (none trimmed).
    bool current = ids && held.file == file && held.seq <= last &&
                   (held.seq == last || (first != 0 && first <= held.seq + 1));
    if (current && held.seq < last) {
        ids = idtable::own(std::move(ids));
        if (STATUS st = catchUpUnreadLocked(user, held.seq, ids.get(), &current); st != NOERROR) {
            return st;
        }
    }
    if (!current) {
        ids = std::make_shared<std::vector<NOTEID>>();
        if (STATUS st = readUnreadLocked(user, ids.get()); st != NOERROR) {
            return st;
        }
    }
    keep(key, Held{file, last, stamp, stamped, ids});
    *out = std::move(ids);
    return NOERROR;
}

// `ids` with the log's entries after `since` applied: each logged note is on the list exactly when
// it is marked unread now. `current` false: too many entries, a whole reading is cheaper.
STATUS Database::catchUpUnreadLocked(const std::string& user, std::int64_t since, std::vector<NOTEID>* ids,
                                     bool* current) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT DISTINCT note_id FROM unread_log WHERE seq > ? AND user = ?", &s);
        st != NOERROR) {
        return st;
    }
    std::vector<NOTEID> changed;
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, since);
        sqlite3_bind_text(s, 2, user.c_str(), static_cast<int>(user.size()), SQLITE_STATIC);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            changed.push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    // Marking a whole folder read: one reading of the list is cheaper than a question per mark.
    if (changed.size() > ids->size() / 4 + 64) {
        *current = false;
        return NOERROR;
    }
    if (changed.empty()) {
        return NOERROR;
    }
    std::sort(changed.begin(), changed.end());
    // New mail comes last in note id order, so the marks from the first logged note on are mostly
    // the logged ones: one pass over them costs less than a question per note.
    const auto tail =
        static_cast<std::size_t>(ids->end() - std::lower_bound(ids->begin(), ids->end(), changed.front()));
    const bool scan = tail <= 4 * changed.size() + 64;
    if (STATUS st =
            prepare(scan ? "SELECT note_id FROM unread WHERE user = ? AND note_id >= ? ORDER BY note_id"
                         : "SELECT note_id FROM unread WHERE user = ? AND note_id = ?",
                    &s);
        st != NOERROR) {
        return st;
    }
    std::vector<NOTEID> present;
    for (std::size_t i = 0; i < (scan ? 1 : changed.size()); ++i) {
        Use use(s);
        sqlite3_bind_text(s, 1, user.c_str(), static_cast<int>(user.size()), SQLITE_STATIC);
        sqlite3_bind_int64(s, 2, changed[i]);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const auto id = static_cast<NOTEID>(sqlite3_column_int64(s, 0));
            if (std::binary_search(changed.begin(), changed.end(), id)) {
                present.push_back(id);
            }
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    idtable::update(ids, changed, present);
    return NOERROR;
}

STATUS Database::readUnreadLocked(const std::string& user, std::vector<NOTEID>* out) {
    sqlite3_stmt* s = nullptr;
    if (STATUS st = prepare("SELECT note_id FROM unread WHERE user = ? ORDER BY note_id", &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_text(s, 1, user.c_str(), static_cast<int>(user.size()), SQLITE_STATIC);
    out->clear();
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        out->push_back(static_cast<NOTEID>(sqlite3_column_int64(s, 0)));
    }
    return rc == SQLITE_DONE ? NOERROR : statusOf(rc);
}

} // namespace notes
