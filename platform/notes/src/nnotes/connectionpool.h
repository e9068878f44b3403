// Idle connections to database files, kept for the next open of the same file.
//
// Hosts open a database per call; a fresh SQLite connection parses the whole schema (the views'
// tables, the full-text index) before its first statement, which costs more than the call itself.
#pragma once

#include <memory>
#include <string>

namespace notes {
class Database;

namespace connectionpool {

// An idle connection to `file` that is still the same file on disk, or null.
std::unique_ptr<Database> take(const std::string& file);
// Shares `db`; when the last reference goes, an idle connection (no open transaction) returns to
// the pool instead of closing.
std::shared_ptr<Database> share(std::unique_ptr<Database> db);
// Closes the idle connections to `file` (it is being deleted or replaced).
void forget(const std::string& file);

} // namespace connectionpool
} // namespace notes
