// Configuration of the stand-in client.
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

#include <string>

namespace notes {

// The data directory in force (resolving the configuration if the runtime was not initialised).
std::string dataDirectory();
// Reads "Directory=" from an ini file; empty when absent.
std::string iniDirectory(const std::string& iniPath);

} // namespace notes
