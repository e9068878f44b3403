// The object store: the bytes of file attachments, saved with their note.
#include "objectstore.h"

#include "attachments.h"
#include "sqlite_util.h"
#include "store.h"

#include <algorithm>

namespace notes {

using sql::statusOf;
using sql::Use;

// Stores the bytes of new attachments (their items get the object ids) and drops the objects that
// no "$FILE" item of the note refers to any more. Part of the save's transaction.
STATUS ObjectStore::saveLocked(NOTEID id, Note& note) {
    sqlite3_stmt* s = nullptr;
    std::vector<std::int64_t> keep;
    for (Item& item : note.items) {
        files::FileObject file;
        if (!files::isFileItem(item) || !files::decode(item.value, &file)) {
            continue;
        }
        const auto pending = std::find_if(note.pendingObjects.begin(), note.pendingObjects.end(),
                                          [&](const auto& p) { return p.first == item.id; });
        if (pending != note.pendingObjects.end()) {
            // The row is made with room for the bytes, which are then written in place: binding
            // them would make SQLite assemble a copy of a large file in memory.
            if (STATUS st =
                    store_.prepare("INSERT INTO objects(note_id, name, bytes) VALUES(?, ?, zeroblob(?))", &s);
                st != NOERROR) {
                return st;
            }
            Use use(s);
            sqlite3_bind_int64(s, 1, id);
            sqlite3_bind_text(s, 2, file.name.c_str(), static_cast<int>(file.name.size()), SQLITE_STATIC);
            sqlite3_bind_int64(s, 3, static_cast<sqlite3_int64>(pending->second.size()));
            if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
                return statusOf(rc);
            }
            file.objectId = static_cast<DWORD>(sqlite3_last_insert_rowid(store_.db_));
            if (!pending->second.empty()) {
                sqlite3_blob* blob = nullptr;
                int rc = sqlite3_blob_open(store_.db_, "main", "objects", "bytes", file.objectId, 1, &blob);
                constexpr std::size_t kPiece = 1u << 20;
                for (std::size_t at = 0; rc == SQLITE_OK && at < pending->second.size(); at += kPiece) {
                    const std::size_t n = std::min(kPiece, pending->second.size() - at);
                    rc = sqlite3_blob_write(blob, pending->second.data() + at, static_cast<int>(n),
                                            static_cast<int>(at));
                }
                sqlite3_blob_close(blob);
                if (rc != SQLITE_OK) {
                    return statusOf(rc);
                }
            }
            item.value = files::encode(file);
        } else if (file.objectId != 0) {
            // A value copied from another note of this file: the copy gets bytes of its own, so that
            // deleting either note leaves the other's attachment whole.
            if (STATUS st = store_.prepare(
                    "INSERT INTO objects(note_id, name, bytes) SELECT ?1, name, bytes FROM objects "
                    "WHERE object_id = ?2 AND note_id <> ?1",
                    &s);
                st != NOERROR) {
                return st;
            }
            Use use(s);
            sqlite3_bind_int64(s, 1, id);
            sqlite3_bind_int64(s, 2, file.objectId);
            if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
                return statusOf(rc);
            }
            if (sqlite3_changes(store_.db_) == 1) {
                file.objectId = static_cast<DWORD>(sqlite3_last_insert_rowid(store_.db_));
                item.value = files::encode(file);
            }
        }
        if (file.objectId != 0) {
            keep.push_back(file.objectId);
        }
    }
    if (STATUS st = store_.prepare("SELECT object_id FROM objects WHERE note_id = ?", &s); st != NOERROR) {
        return st;
    }
    std::vector<std::int64_t> stale;
    {
        Use use(s);
        sqlite3_bind_int64(s, 1, id);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const std::int64_t object = sqlite3_column_int64(s, 0);
            if (std::find(keep.begin(), keep.end(), object) == keep.end()) {
                stale.push_back(object);
            }
        }
        if (rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    for (std::int64_t object : stale) {
        if (STATUS st = store_.prepare("DELETE FROM objects WHERE object_id = ?", &s); st != NOERROR) {
            return st;
        }
        Use use(s);
        sqlite3_bind_int64(s, 1, object);
        if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
            return statusOf(rc);
        }
    }
    return NOERROR;
}

STATUS ObjectStore::bytes(DWORD objectId, std::string* out) {
    std::lock_guard<std::mutex> lock(store_.mutex_);
    // Read straight into the caller's buffer: a column value would hold a large file once more.
    sqlite3_blob* blob = nullptr;
    int rc = sqlite3_blob_open(store_.db_, "main", "objects", "bytes", objectId, 0, &blob);
    if (rc != SQLITE_OK) {
        sqlite3_blob_close(blob);
        return rc == SQLITE_ERROR ? ERR_ITEM_NOT_FOUND : statusOf(rc);
    }
    out->resize(static_cast<std::size_t>(sqlite3_blob_bytes(blob)));
    rc = out->empty() ? SQLITE_OK : sqlite3_blob_read(blob, out->data(), static_cast<int>(out->size()), 0);
    sqlite3_blob_close(blob);
    if (rc != SQLITE_OK) {
        out->clear();
        return statusOf(rc);
    }
    return NOERROR;
}

STATUS ObjectStore::truncate(DWORD objectId, std::size_t length) {
    std::lock_guard<std::mutex> lock(store_.mutex_);
    sqlite3_stmt* s = nullptr;
    if (STATUS st = store_.prepare("UPDATE objects SET bytes = substr(bytes, 1, ?) WHERE object_id = ?", &s);
        st != NOERROR) {
        return st;
    }
    Use use(s);
    sqlite3_bind_int64(s, 1, static_cast<std::int64_t>(length));
    sqlite3_bind_int64(s, 2, objectId);
    if (const int rc = sqlite3_step(s); rc != SQLITE_DONE) {
        return statusOf(rc);
    }
    return sqlite3_changes(store_.db_) == 1 ? NOERROR : ERR_ITEM_NOT_FOUND;
}

} // namespace notes
