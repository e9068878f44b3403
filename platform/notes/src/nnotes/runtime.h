// The runtime: the configuration in force, the mapping of server + path to files, and the table of
// handles the C API hands out.
#pragma once

#include "notes/capi.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace notes {

class Database;
class Note;

// ---- configuration and paths ---------------------------------------------------------------
// Resolves the configuration (see notes/admin/config.h). iniPath may be empty.
STATUS initRuntime(const std::string& iniPath);
void termRuntime();
// Splits "server!!path".
void splitNetPath(std::string_view netPath, std::string* server, std::string* path);
// DataDirectory::current()'s mapping of server + database path to a file (see
// notes/admin/config.h).
STATUS resolveDatabaseFile(std::string_view server, std::string_view path, bool mustExist, std::string* file);
// The folder of a server (the data directory for ""); ERR_SERVER_NOT_RESPONDING when missing.
STATUS serverFolder(std::string_view server, std::string* folder);

// ---- handle table --------------------------------------------------------------------------
struct MemoryBlock {
    std::vector<char> bytes;
    int locks = 0;
    std::size_t cursor = 0; // IDScan position
    // An ID table over a list held elsewhere (never changed while shared): read in place, and
    // written out into bytes only when the block is locked or changed (idtable::settle).
    std::shared_ptr<const std::vector<NOTEID>> shared;
};

// An open view collection (NIFOpenCollection).
struct Collection {
    std::shared_ptr<Database> db;
    NOTEID view = 0;
    WORD collation = 0;
};

// ID tables (see capi.h for their layout).
namespace idtable {
DHANDLE create(const std::vector<NOTEID>& ids); // ids need not be sorted
// A table reading `ids` (ascending, each once) without copying them; its holder never changes them.
DHANDLE share(std::shared_ptr<const std::vector<NOTEID>> ids);
// A shared table's ids written into the block's own bytes, before its memory is handed out or edited.
void settle(MemoryBlock* block);
bool read(DHANDLE h, std::vector<NOTEID>* ids);
// `ids` (ascending, each once) with every id of `changed` dropped and those of `present` put back;
// both ascending, `present` a part of `changed`. Touches only the part of `ids` from the first
// changed id on, so ids appended at the end cost their number, not the table's length.
void update(std::vector<NOTEID>* ids, const std::vector<NOTEID>& changed, const std::vector<NOTEID>& present);
// `ids` itself to change when no one else holds it any more, else a copy of it.
std::shared_ptr<std::vector<NOTEID>> own(std::shared_ptr<std::vector<NOTEID>> ids);
} // namespace idtable

namespace handles {
DHANDLE addDatabase(std::shared_ptr<Database> db);
DHANDLE addNote(std::shared_ptr<Note> note);
DHANDLE addMemory(std::vector<char> bytes);
DHANDLE addBlock(std::shared_ptr<MemoryBlock> block);
DHANDLE addCollection(std::shared_ptr<Collection> collection);
std::shared_ptr<Collection> collection(DHANDLE h);
STATUS closeCollection(DHANDLE h);
std::shared_ptr<Database> database(DHANDLE h);
std::shared_ptr<Note> note(DHANDLE h);
std::shared_ptr<MemoryBlock> memory(DHANDLE h);
STATUS closeDatabase(DHANDLE h);
STATUS closeNote(DHANDLE h); // frees the note's item blocks too
STATUS freeMemory(DHANDLE h);
std::size_t count(); // live handles (for tests)
} // namespace handles

} // namespace notes
