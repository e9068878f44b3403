// Configuration of the stand-in client and the data directory it works in.
//
// The data directory is looked up when the runtime is initialised (NotesInitExtended or
// LNNotesSession::Init), in this order:
//   1. an ini file named by the program arguments ("=path/notes.ini" as argv[1]) or by the
//      session's text argument, with a line "Directory=...";
//   2. the environment variable NOTES_DATA_DIR;
//   3. "notes.ini" in the current folder, with a line "Directory=...";
//   4. the current folder.
// The data directory holds the local databases; each subfolder named after a server's common
// name holds that server's databases.
#pragma once

#include "notes/capi.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace notes {

// The data directory in force (resolving the configuration if the runtime was not initialised).
std::string dataDirectory();
// Reads "Directory=" from an ini file; empty when absent.
std::string iniDirectory(const std::string& iniPath);

// A data directory. The C API works in the one of the configuration (current()); each web server
// object works in one of its own, by the same rules.
class DataDirectory {
public:
    explicit DataDirectory(std::string root);
    static DataDirectory current();

    const std::string& root() const { return root_; }
    // The server folders' names, sorted.
    std::vector<std::string> servers() const;
    // The folder of a server named by its common name (or full name), ignoring case; "" is the data
    // directory itself. ERR_NO_DATA_DIRECTORY, or ERR_SERVER_NOT_RESPONDING when there is none.
    STATUS serverFolder(std::string_view server, std::string* folder) const;
    // Maps a server and a database path ("mail\jdoe", "mail/jdoe.nsf") to a file. With mustExist
    // the file must be there (ERR_NOEXIST); without, the server's folder must exist and the
    // database's parent folders are made. Absolute paths and ".." are ERR_PATH_NOT_ALLOWED.
    STATUS databaseFile(std::string_view server, std::string_view path, bool mustExist,
                        std::string* file) const;
    // The existing database file `segments` below a server folder, each segment matched ignoring
    // case, without following links and never outside the data directory (for requests from the
    // network). Empty, "." and ".." segments find nothing.
    std::optional<std::string> existingFile(const std::string& serverFolder,
                                            const std::vector<std::string>& segments) const;

private:
    std::string root_;
};

} // namespace notes
