// The people of the directories as the web task needs them: found with the client's own name
// lookup, in the data directory the server object serves.
#pragma once

#include "notes/admin/config.h"

#include <string>
#include <vector>

namespace domino {

struct Person {
    std::string fullName;   // canonical, first "FullName"
    std::string mailServer; // canonical
    std::string mailFile;   // "mail\jdoe"
    std::string digest;     // "HTTPPassword"
};

// The people that a login name finds in the "($Users)" view: the first directory that knows the
// name answers (the local one, then each server's in folder-name order). Groups share the view but
// are no people.
std::vector<Person> findPeople(const notes::DataDirectory& dir, const std::string& loginName);

// "mail\jdoe", "mail/jdoe.nsf" and "MAIL/JDOE" are the same database.
std::string normalDatabasePath(const std::string& path);

} // namespace domino
