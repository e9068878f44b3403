// Database templates: the design (forms and views) a new directory, address book or mail file gets.
#pragma once

#include "notes/capi.h"

#include <string>
#include <string_view>
#include <vector>

namespace notes::templates {

enum class Kind { Directory, AddressBook, Mail };
// "names" (the server directory), "pab" (a personal address book), "mail" (a mail file).
bool kindFromName(std::string_view name, Kind* out);
const char* kindName(Kind kind);
// Creates "server!!path" and writes the template's design (forms and views) into it; nothing is
// left behind when that fails.
STATUS create(std::string_view server, std::string_view path, Kind kind);
// Writes the design into an open database; design notes of the same names are replaced.
STATUS apply(DBHANDLE db, Kind kind);

} // namespace notes::templates
