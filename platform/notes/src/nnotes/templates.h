// Database templates applied to a store.
#pragma once

#include "notes/admin/templates.h"
#include "store.h"

namespace notes {

namespace templates {
// Writes the design into an existing database; design notes of the same names are replaced.
STATUS apply(Database& db, Kind kind);
} // namespace templates

} // namespace notes
