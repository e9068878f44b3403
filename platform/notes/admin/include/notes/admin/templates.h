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

// The collations of the mail template's views that a sort column selects (0 is each view's own
// order). Columns made resortable or appended later come after all of these, so the numbers never
// move: "Subject" in the inbox and sent mail, "Size" in drafts, "Importance" in tasks.
namespace collation {
namespace inbox {
constexpr WORD kImportance = 1, kWho = 2, kWhoDescending = 3, kSent = 4, kReceived = 5, kSize = 6,
               kSubject = 7;
}
namespace drafts {
constexpr WORD kImportance = 1, kTo = 2, kDate = 3, kSubject = 4, kSize = 5;
}
namespace sent {
constexpr WORD kImportance = 1, kTo = 2, kToDescending = 3, kDate = 4, kSize = 5, kSubject = 6;
}
namespace todo {
constexpr WORD kSubject = 1, kDue = 2, kComplete = 3, kStart = 4, kStatus = 5, kImportance = 6;
}
namespace all {
constexpr WORD kWho = 1, kWhoDescending = 2, kDate = 3, kSize = 4, kSubject = 5;
}
} // namespace collation

} // namespace notes::templates
