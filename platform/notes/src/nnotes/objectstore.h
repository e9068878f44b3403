// The object store of a database: the bytes of file attachments, one row per object, written in
// the transaction that saves their note.
#pragma once

#include "notes/capi.h"

#include <cstddef>
#include <string>

namespace notes {

class Database;
class Note;

class ObjectStore {
public:
    explicit ObjectStore(Database& store) : store_(store) {}
    ObjectStore(const ObjectStore&) = delete;
    ObjectStore& operator=(const ObjectStore&) = delete;

    // The bytes of an object (ERR_ITEM_NOT_FOUND when there is no such object).
    STATUS bytes(DWORD objectId, std::string* out);
    // Cuts an object down to `length` bytes (a damaged attachment, for tests).
    STATUS truncate(DWORD objectId, std::size_t length);
    // Within the save's transaction: stores the bytes of new attachments (their items get the
    // object ids) and drops the objects no "$FILE" item of the note refers to any more.
    STATUS saveLocked(NOTEID id, Note& note);

private:
    Database& store_;
};

} // namespace notes
