// Ways for tests to reach states the API never makes on its own.
#pragma once

#include "notes/capi.h"

#include <cstddef>

namespace notes::testhooks {

// Cuts the stored bytes of attachment `number` (0-based, in item order) of a saved note down to
// `length`, keeping its recorded size: a damaged attachment. ERR_ITEM_NOT_FOUND when the note has
// no such attachment with stored bytes.
STATUS truncateAttachment(DBHANDLE db, NOTEID note, WORD number, std::size_t length);
// Cuts a stored file object down to `length` bytes.
STATUS truncateObject(DBHANDLE db, DWORD objectId, std::size_t length);

} // namespace notes::testhooks
