// The Notes data folder as the web task sees it: one sub-folder per server, databases below them,
// and each server's directory "names.nsf". Nothing outside the folder is ever reached.
#pragma once

#include "internal.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace domino {

// A person of a directory, as far as the web task needs one.
struct Person {
    std::string fullName;   // canonical, first "FullName"
    std::string mailServer; // canonical
    std::string mailFile;   // "mail\jdoe"
    std::string digest;     // "HTTPPassword"
};

class DataFolder {
public:
    explicit DataFolder(std::string root) : root_(std::move(root)) {}

    const std::string& root() const { return root_; }
    // The folder name of a server named by its common name (ignoring case), if there is one.
    std::optional<std::string> server(const std::string& name) const;
    std::vector<std::string> servers() const; // folder names, sorted
    // The file of a database: `segments` below the server folder, each matched ignoring case; the
    // last one names an existing regular file. Empty, "." and ".." segments are refused.
    std::optional<std::string> databaseFile(const std::string& serverFolder,
                                            const std::vector<std::string>& segments) const;
    // The people that a login name finds in the "($Users)" view: the first directory (server
    // folders in name order) that knows the name answers.
    std::vector<Person> findPeople(const std::string& loginName) const;

private:
    std::string root_;
};

// "mail\jdoe", "mail/jdoe.nsf" and "MAIL/JDOE" are the same database.
std::string normalDatabasePath(const std::string& path);

} // namespace domino
