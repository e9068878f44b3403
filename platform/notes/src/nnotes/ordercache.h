// Lists of note ids (views in collation order, unread lists), shared by every connection of the process to a
// file.
//
// The plug-in opens fresh handles for each host call, so a cache on the connection would be cold
// on every page. Here one watcher connection per file (it never writes) answers "PRAGMA data_version",
// which changes whenever any other connection (of this process or another) commits to the file;
// the file's identity (see fileidentity.h) catches a file replaced under the same name.
#pragma once

#include "notes/capi.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace notes::ordercache {

using Ids = std::shared_ptr<const std::vector<NOTEID>>;

// The ids under `key` for `file`, read with `read` when missing or when the file changed since.
// Callers must not be inside a write transaction of their own: what `read` sees is shared.
STATUS get(const std::string& file, const std::string& key, const std::function<STATUS(Ids*)>& read,
           Ids* out);
// Any other shared reading of the file (a view's column values), under the same rules.
using Object = std::shared_ptr<const void>;
STATUS getObject(const std::string& file, const std::string& key, const std::function<STATUS(Object*)>& read,
                 Object* out);
// A number that stays the same exactly as long as nothing was committed to the file (by any
// connection or process) and the file was not replaced: what a caller keeping its own reading
// compares to skip asking the file. False when the file cannot be watched.
bool stamp(const std::string& file, std::uint64_t* out);
// Drops what is held for the file (it is being deleted).
void forget(const std::string& file);

} // namespace notes::ordercache
