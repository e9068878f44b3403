// Access lists of mail files: besides its owner (the person whose directory MailFile it is), only
// the people listed as readers may read a mail file. See the README, access to mail files.
#pragma once

#include "notes/capi.h"

#include <string>
#include <vector>

namespace notes::access {

// Whether the database is a mail file (it carries a list, or has the mail template's inbox).
bool isMailFile(DBHANDLE db);
// Gives the directory person `name` (any name form; the list keeps the canonical full name, also
// put in *fullName) reader access to a mail file, or with reader false takes it away.
// ERR_NOT_FOUND when the directories of the database's server know no one person by that name (a
// group, several people); ERR_INVALID_PARAM for a database that is no mail file. Nothing is
// written then.
STATUS setReader(DBHANDLE db, const std::string& name, bool reader, std::string* fullName = nullptr);
// The readers by canonical full name; *hasList false when the database carries no list.
STATUS readers(DBHANDLE db, std::vector<std::string>* out, bool* hasList);

} // namespace notes::access
