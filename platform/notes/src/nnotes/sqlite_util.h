// SQLite helpers shared by the store's sources.
#pragma once

#include "runtime.h"
#include "store.h"

#include <sqlite3.h>

#include <string>

namespace notes::sql {

// Resets a cached statement when the scope ends.
class Use {
public:
    explicit Use(sqlite3_stmt* s) : s_(s) {}
    ~Use() {
        if (s_) {
            sqlite3_reset(s_);
            sqlite3_clear_bindings(s_);
        }
    }
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

private:
    sqlite3_stmt* s_;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : db_(db) {
        // Inside a batch (Database::beginBatch) the batch's transaction is the one that commits.
        if (sqlite3_get_autocommit(db_) == 0) {
            ok_ = done_ = nested_ = true;
            return;
        }
        ok_ = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!ok_) {
            rc_ = sqlite3_errcode(db_);
        }
    }
    ~Transaction() {
        if (ok_ && !done_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool ok() const { return ok_; }
    int rc() const { return rc_; }
    int commit() {
        if (nested_) {
            return SQLITE_OK;
        }
        const int rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        done_ = rc == SQLITE_OK;
        return rc;
    }

private:
    sqlite3* db_;
    bool ok_ = false;
    bool done_ = false;
    bool nested_ = false;
    int rc_ = SQLITE_OK;
};

// A read transaction, so that several reads see one snapshot. It writes nothing, so a failed
// commit loses nothing.
struct ReadTransaction {
    sqlite3* db;
    bool ok;
    explicit ReadTransaction(sqlite3* d)
        : db(d), ok(sqlite3_exec(d, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK) {}
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;
    ~ReadTransaction() {
        if (ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
};

inline STATUS statusOf(int rc) {
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return NOERROR;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return ERR_DATABASE_BUSY;
    case SQLITE_CORRUPT:
        return ERR_DATABASE_DAMAGED;
    case SQLITE_NOTADB:
        return ERR_NOT_A_DATABASE;
    case SQLITE_NOMEM:
        return ERR_MEMORY;
    case SQLITE_CANTOPEN:
        return ERR_NOEXIST;
    default:
        return ERR_IO;
    }
}

inline std::string columnText(sqlite3_stmt* s, int i) {
    const unsigned char* t = sqlite3_column_text(s, i);
    return t ? std::string(reinterpret_cast<const char*>(t),
                           static_cast<std::size_t>(sqlite3_column_bytes(s, i)))
             : std::string();
}

} // namespace notes::sql
