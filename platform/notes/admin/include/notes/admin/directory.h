// People and groups of a directory ("names.nsf") or a personal address book, written the way the
// directory's forms lay them out. Text is the stand-in's ISO-8859-1.
#pragma once

#include "notes/capi.h"

#include <string>
#include <utility>
#include <vector>

namespace notes::directory {

struct Person {
    std::string fullName; // "CN=Jane Doe/O=Acme" or "Jane Doe/Acme"; stored canonical, then common
    std::string shortName;
    std::string firstName, middleInitial, lastName; // empty first or last name: from the common name
    std::string internetAddress;
    // Where a directory person's mail is; empty mailServer: an address book contact, without the
    // mail items. Empty mailDomain: the organisation of the full name; empty mailFile:
    // "mail\<shortName>".
    std::string mailServer, mailDomain, mailFile;
    std::string passwordDigest; // "HTTPPassword" (see hashPassword); empty: none
    std::vector<std::pair<std::string, std::vector<std::string>>> items; // further text items
};

struct Group {
    std::string name;
    std::string description;
    std::string type = "0"; // "0" multi-purpose, "1" mail only, "2" access control, "3" deny list
    std::vector<std::string> members;
};

// Whether a group type is one of the four above.
bool knownGroupType(const std::string& type);
// A digest of a password for "HTTPPassword".
STATUS hashPassword(const std::string& password, std::string* digest);
// Saves a new person or group document into an open address book; id (if given) receives its note
// id. ERR_INVALID_PARAM for a person without a full name or a group without a name or of an
// unknown type.
STATUS addPerson(DBHANDLE book, const Person& person, NOTEID* id = nullptr);
STATUS addGroup(DBHANDLE book, const Group& group, NOTEID* id = nullptr);

} // namespace notes::directory
