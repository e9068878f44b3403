// SQLite for the Windows build: every database fails to open, so the store reports it missing.
#pragma once

#include "hxstub.h"

typedef long long sqlite3_int64;
struct sqlite3;
struct sqlite3_stmt;
struct sqlite3_blob;
struct sqlite3_str;
typedef void (*sqlite3_destructor_type)(void*);

#define SQLITE_OK 0
#define SQLITE_ERROR 1
#define SQLITE_BUSY 5
#define SQLITE_LOCKED 6
#define SQLITE_NOMEM 7
#define SQLITE_CORRUPT 11
#define SQLITE_CANTOPEN 14
#define SQLITE_CONSTRAINT 19
#define SQLITE_MISUSE 21
#define SQLITE_NOTADB 26
#define SQLITE_NULL 5
#define SQLITE_ROW 100
#define SQLITE_DONE 101
#define SQLITE_OPEN_READWRITE 0x00000002
#define SQLITE_OPEN_CREATE 0x00000004
#define SQLITE_OPEN_NOMUTEX 0x00008000
#define SQLITE_PREPARE_PERSISTENT 0x01
#define SQLITE_STATIC ((sqlite3_destructor_type)0)
#define SQLITE_TRANSIENT ((sqlite3_destructor_type)-1)

inline int sqlite3_open_v2(const char*, sqlite3** db, int, const char*) {
    *db = nullptr;
    return SQLITE_CANTOPEN;
}
// Nothing below is reached without an open database; each call fails as on a closed handle.
#define HXSTUB_SQLITE_FAIL(name)                                                                             \
    template <class... A> inline int name(A&&...) {                                                          \
        return SQLITE_MISUSE;                                                                                \
    }
HXSTUB_SQLITE_FAIL(sqlite3_close_v2)
HXSTUB_SQLITE_FAIL(sqlite3_exec)
HXSTUB_SQLITE_FAIL(sqlite3_busy_timeout)
HXSTUB_SQLITE_FAIL(sqlite3_prepare_v2)
HXSTUB_SQLITE_FAIL(sqlite3_prepare_v3)
HXSTUB_SQLITE_FAIL(sqlite3_step)
HXSTUB_SQLITE_FAIL(sqlite3_reset)
HXSTUB_SQLITE_FAIL(sqlite3_clear_bindings)
HXSTUB_SQLITE_FAIL(sqlite3_finalize)
HXSTUB_SQLITE_FAIL(sqlite3_errcode)
HXSTUB_SQLITE_FAIL(sqlite3_bind_blob)
HXSTUB_SQLITE_FAIL(sqlite3_bind_int)
HXSTUB_SQLITE_FAIL(sqlite3_bind_int64)
HXSTUB_SQLITE_FAIL(sqlite3_bind_null)
HXSTUB_SQLITE_FAIL(sqlite3_bind_text)
HXSTUB_SQLITE_FAIL(sqlite3_blob_open)
HXSTUB_SQLITE_FAIL(sqlite3_blob_close)
HXSTUB_SQLITE_FAIL(sqlite3_blob_read)
HXSTUB_SQLITE_FAIL(sqlite3_blob_write)
HXSTUB_EMPTY(sqlite3_bind_parameter_count)
HXSTUB_EMPTY(sqlite3_blob_bytes)
HXSTUB_EMPTY(sqlite3_changes)
HXSTUB_EMPTY(sqlite3_column_blob)
HXSTUB_EMPTY(sqlite3_column_bytes)
HXSTUB_EMPTY(sqlite3_column_int)
HXSTUB_EMPTY(sqlite3_column_int64)
HXSTUB_EMPTY(sqlite3_column_text)
HXSTUB_EMPTY(sqlite3_column_type)
HXSTUB_EMPTY(sqlite3_free)
HXSTUB_EMPTY(sqlite3_get_autocommit)
HXSTUB_EMPTY(sqlite3_last_insert_rowid)
HXSTUB_EMPTY(sqlite3_str_new)
HXSTUB_EMPTY(sqlite3_str_appendf)
HXSTUB_EMPTY(sqlite3_str_finish)
