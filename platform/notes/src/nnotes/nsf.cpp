// The database, note and item functions of the C API.
#include "connectionpool.h"
#include "mimeparts.h"
#include "ordercache.h"
#include "runtime.h"
#include "store.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <iterator>

namespace {

using notes::Database;
using notes::Item;
using notes::Note;

std::string itemName(const char* name, WORD length) {
    if (name == nullptr) {
        return "";
    }
    return length ? std::string(name, strnlen(name, length)) : std::string(name);
}

ORIGINATORID oidOf(const notes::NoteInfo& info) {
    ORIGINATORID oid{};
    oid.File = info.unid.File;
    oid.Note = info.unid.Note;
    oid.Sequence = info.sequence;
    oid.SequenceTime = notes::timedateFromTicks(info.modified);
    return oid;
}

// What the process keeps of a file it is about to delete: idle connections and shared lists.
void forgetFile(const std::string& file) {
    notes::ordercache::forget(file);
    notes::connectionpool::forget(file);
}

STATUS openDatabase(const char* pathName, std::shared_ptr<Database>* out) {
    if (pathName == nullptr) {
        return ERR_INVALID_PARAM;
    }
    std::string server, path, file;
    notes::splitNetPath(pathName, &server, &path);
    if (STATUS s = notes::resolveDatabaseFile(server, path, true, &file); s != NOERROR) {
        return s;
    }
    return Database::open(file, server, path, out);
}

// The value of an item as the C API hands it out: a memory block with the type word first.
BLOCKID valueBlock(Note& note, const Item& item, DWORD* length) {
    std::vector<char> bytes(sizeof(WORD) + item.value.size());
    std::memcpy(bytes.data(), &item.type, sizeof(WORD));
    std::memcpy(bytes.data() + sizeof(WORD), item.value.data(), item.value.size());
    const DHANDLE h = notes::handles::addMemory(std::move(bytes));
    note.blocks.push_back(h);
    if (length) {
        *length = static_cast<DWORD>(sizeof(WORD) + item.value.size());
    }
    return BLOCKID{h, 0};
}

STATUS itemInfoFrom(NOTEHANDLE hNote, std::size_t start, const std::string& name, BLOCKID* retItem,
                    WORD* retType, BLOCKID* retValue, DWORD* retLength) {
    const auto note = notes::handles::note(hNote);
    if (!note) {
        return ERR_INVALID_HANDLE;
    }
    for (std::size_t i = start; i < note->items.size(); ++i) {
        Item& item = note->items[i];
        if (notes::nameEquals(item.name, name)) {
            if (retItem) {
                *retItem = BLOCKID{hNote, item.id};
            }
            if (retType) {
                *retType = item.type;
            }
            if (retValue) {
                *retValue = valueBlock(*note, item, retLength);
            } else if (retLength) {
                *retLength = static_cast<DWORD>(sizeof(WORD) + item.value.size());
            }
            return NOERROR;
        }
    }
    return ERR_ITEM_NOT_FOUND;
}

} // namespace

extern "C" {

STATUS NSFDbCreate(const char* pathName, WORD, BOOL forceCreation) {
    if (pathName == nullptr) {
        return ERR_INVALID_PARAM;
    }
    std::string server, path, file;
    notes::splitNetPath(pathName, &server, &path);
    if (STATUS s = notes::resolveDatabaseFile(server, path, false, &file); s != NOERROR) {
        return s;
    }
    std::error_code ec;
    if (forceCreation) {
        forgetFile(file);
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::filesystem::remove(file + suffix, ec);
        }
    }
    return Database::create(file, std::filesystem::path(file).stem().string());
}

STATUS NSFDbDelete(const char* pathName) {
    if (pathName == nullptr) {
        return ERR_INVALID_PARAM;
    }
    std::string server, path, file;
    notes::splitNetPath(pathName, &server, &path);
    if (STATUS s = notes::resolveDatabaseFile(server, path, true, &file); s != NOERROR) {
        return s;
    }
    forgetFile(file);
    std::error_code ec;
    for (const char* suffix : {"-wal", "-shm", ""}) {
        std::filesystem::remove(file + suffix, ec);
    }
    return ec ? ERR_IO : NOERROR;
}

STATUS NSFDbOpen(const char* pathName, DBHANDLE* rethDB) {
    if (rethDB == nullptr) {
        return ERR_INVALID_PARAM;
    }
    std::shared_ptr<Database> db;
    if (STATUS s = openDatabase(pathName, &db); s != NOERROR) {
        return s;
    }
    *rethDB = notes::handles::addDatabase(std::move(db));
    return NOERROR;
}

STATUS NSFDbClose(DBHANDLE hDB) {
    return notes::handles::closeDatabase(hDB);
}

STATUS NSFDbPathGet(DBHANDLE hDB, char* retCanonicalPathName, char* retExpandedPathName) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    const std::string canonical = db->server().empty() ? db->path() : db->server() + "!!" + db->path();
    notes::copyText(canonical, retCanonicalPathName, MAXPATH);
    notes::copyText(db->file(), retExpandedPathName, MAXPATH);
    return NOERROR;
}

STATUS NSFDbReplicaInfoGet(DBHANDLE hDB, DBREPLICAINFO* retReplicationInfo) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    if (retReplicationInfo == nullptr) {
        return ERR_INVALID_PARAM;
    }
    *retReplicationInfo = DBREPLICAINFO{};
    return db->replicaId(&retReplicationInfo->ID);
}

STATUS NSFDbGetNoteInfo(DBHANDLE hDB, NOTEID noteID, ORIGINATORID* retNoteOID, TIMEDATE* retModified,
                        WORD* retNoteClass) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    notes::NoteInfo info;
    if (STATUS s = db->info(noteID, &info); s != NOERROR) {
        return s;
    }
    if (retNoteOID) {
        *retNoteOID = oidOf(info);
    }
    if (retModified) {
        *retModified = notes::timedateFromTicks(info.modified);
    }
    if (retNoteClass) {
        *retNoteClass = static_cast<WORD>(info.noteClass | (info.deleted ? NOTE_CLASS_NOTIFYDELETION : 0));
    }
    return NOERROR;
}

STATUS NSFDbGetNoteInfoByUNID(DBHANDLE hDB, const UNID* unid, NOTEID* retNoteID, ORIGINATORID* retOID,
                              TIMEDATE* retModified, WORD* retClass) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    if (unid == nullptr) {
        return ERR_INVALID_PARAM;
    }
    NOTEID id = 0;
    if (STATUS s = db->findByUnid(*unid, &id); s != NOERROR) {
        return s;
    }
    if (retNoteID) {
        *retNoteID = id;
    }
    return NSFDbGetNoteInfo(hDB, id, retOID, retModified, retClass);
}

STATUS NSFDbGetModifiedNoteTable(DBHANDLE hDB, WORD noteClassMask, TIMEDATE since, TIMEDATE* retUntil,
                                 DHANDLE* rethTable) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    std::vector<NOTEID> ids;
    std::int64_t until = 0;
    const STATUS s = db->modifiedSince(notes::ticksFromTimedate(since), noteClassMask, &ids, &until);
    if (s != NOERROR && s != ERR_SINCE_PURGED) {
        return s;
    }
    if (retUntil) {
        *retUntil = notes::timedateFromTicks(until);
    }
    if (rethTable && s == NOERROR) {
        *rethTable = notes::idtable::create(ids);
    }
    return s;
}

STATUS NSFDbGetUnreadNoteTable(DBHANDLE hDB, const char* userName, WORD userNameLength, BOOL,
                               DHANDLE* rethUnreadList) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    if (rethUnreadList == nullptr) {
        return ERR_INVALID_PARAM;
    }
    std::shared_ptr<const std::vector<NOTEID>> ids;
    if (STATUS s = db->unreadShared(itemName(userName, userNameLength), &ids); s != NOERROR) {
        return s;
    }
    *rethUnreadList = notes::idtable::share(std::move(ids));
    return NOERROR;
}

STATUS NSFDbSetUnreadNoteTable(DBHANDLE hDB, const char* userName, WORD userNameLength, BOOL,
                               DHANDLE hOriginalUnreadList, DHANDLE hUnreadList) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    std::vector<NOTEID> wanted, original;
    if (!notes::idtable::read(hUnreadList, &wanted)) {
        return ERR_INVALID_HANDLE;
    }
    const std::string user = itemName(userName, userNameLength);
    if (hOriginalUnreadList == NULLHANDLE) {
        return db->setUnread(user, wanted, {}, true);
    }
    if (!notes::idtable::read(hOriginalUnreadList, &original)) {
        return ERR_INVALID_HANDLE;
    }
    std::vector<NOTEID> nowRead, nowUnread;
    std::set_difference(original.begin(), original.end(), wanted.begin(), wanted.end(),
                        std::back_inserter(nowRead));
    std::set_difference(wanted.begin(), wanted.end(), original.begin(), original.end(),
                        std::back_inserter(nowUnread));
    return db->setUnread(user, nowUnread, nowRead, false);
}

STATUS NSFNoteCreate(DBHANDLE hDB, NOTEHANDLE* rethNote) {
    auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    if (rethNote == nullptr) {
        return ERR_INVALID_PARAM;
    }
    auto note = std::make_shared<Note>();
    note->db = std::move(db);
    note->dbHandle = hDB;
    note->dirty = true;
    *rethNote = notes::handles::addNote(std::move(note));
    return NOERROR;
}

STATUS NSFNoteOpenExt(DBHANDLE hDB, NOTEID noteID, DWORD, NOTEHANDLE* rethNote) {
    auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    if (rethNote == nullptr) {
        return ERR_INVALID_PARAM;
    }
    auto note = std::make_shared<Note>();
    if (STATUS s = db->load(noteID, note.get()); s != NOERROR) {
        return s;
    }
    note->db = std::move(db);
    note->dbHandle = hDB;
    *rethNote = notes::handles::addNote(std::move(note));
    return NOERROR;
}

STATUS NSFNoteOpen(DBHANDLE hDB, NOTEID noteID, WORD openFlags, NOTEHANDLE* rethNote) {
    return NSFNoteOpenExt(hDB, noteID, openFlags, rethNote);
}

STATUS NSFNoteOpenByUNID(DBHANDLE hDB, const UNID* unid, WORD flags, NOTEHANDLE* rethNote) {
    NOTEID id = 0;
    if (STATUS s = NSFDbGetNoteInfoByUNID(hDB, unid, &id, nullptr, nullptr, nullptr); s != NOERROR) {
        return s;
    }
    return NSFNoteOpenExt(hDB, id, flags, rethNote);
}

STATUS NSFNoteUpdate(NOTEHANDLE hNote, WORD) {
    const auto note = notes::handles::note(hNote);
    if (!note) {
        return ERR_INVALID_HANDLE;
    }
    // The server lays a native MIME body out when the note is saved, so every copy lists its files.
    if (note->find("$NoteHasNativeMIME") != nullptr) {
        Note stored;
        stored.db = note->db;
        const bool saved = note->info.id != 0 && note->db->load(note->info.id, &stored) == NOERROR;
        notes::mime::layOutWrittenBody(*note, saved ? &stored : nullptr);
    }
    return note->db->save(*note);
}

STATUS NSFNoteClose(NOTEHANDLE hNote) {
    return notes::handles::closeNote(hNote);
}

STATUS NSFNoteDelete(DBHANDLE hDB, NOTEID noteID, WORD) {
    const auto db = notes::handles::database(hDB);
    if (!db) {
        return ERR_INVALID_HANDLE;
    }
    return db->remove(noteID);
}

void NSFNoteGetInfo(NOTEHANDLE hNote, WORD member, void* valuePtr) {
    const auto note = notes::handles::note(hNote);
    if (!note || valuePtr == nullptr) {
        return;
    }
    switch (member) {
    case _NOTE_DB:
        *static_cast<DBHANDLE*>(valuePtr) = note->dbHandle;
        break;
    case _NOTE_ID:
        *static_cast<NOTEID*>(valuePtr) = note->info.id;
        break;
    case _NOTE_OID:
        *static_cast<ORIGINATORID*>(valuePtr) = oidOf(note->info);
        break;
    case _NOTE_CLASS:
        *static_cast<WORD*>(valuePtr) = note->info.noteClass;
        break;
    case _NOTE_MODIFIED:
        *static_cast<TIMEDATE*>(valuePtr) = notes::timedateFromTicks(note->info.modified);
        break;
    case _NOTE_ADDED_TO_FILE:
        *static_cast<TIMEDATE*>(valuePtr) = notes::timedateFromTicks(note->info.created);
        break;
    case _NOTE_FLAGS:
        *static_cast<WORD*>(valuePtr) = 0;
        break;
    default:
        break;
    }
}

void NSFNoteSetInfo(NOTEHANDLE hNote, WORD member, const void* valuePtr) {
    const auto note = notes::handles::note(hNote);
    if (!note || valuePtr == nullptr) {
        return;
    }
    if (member == _NOTE_CLASS) {
        note->info.noteClass = *static_cast<const WORD*>(valuePtr);
        note->dirty = true;
    } else if (member == _NOTE_OID && note->info.id == 0) {
        const auto* oid = static_cast<const ORIGINATORID*>(valuePtr);
        note->info.unid.File = oid->File;
        note->info.unid.Note = oid->Note;
    }
}

// Field formulas are not evaluated: the stand-in keeps the note as it is and only checks it.
STATUS NSFNoteComputeWithForm(NOTEHANDLE hNote, NOTEHANDLE hFormNote, DWORD, CWF_ERROR_PROC, void*) {
    if (!notes::handles::note(hNote)) {
        return ERR_INVALID_HANDLE;
    }
    if (hFormNote != NULLHANDLE && !notes::handles::note(hFormNote)) {
        return ERR_INVALID_HANDLE;
    }
    return NOERROR;
}

STATUS NSFItemAppend(NOTEHANDLE hNote, WORD itemFlags, const char* name, WORD nameLength, WORD dataType,
                     const void* value, DWORD valueLength) {
    const auto note = notes::handles::note(hNote);
    if (!note) {
        return ERR_INVALID_HANDLE;
    }
    const std::string n = itemName(name, nameLength);
    if (n.empty()) {
        return ERR_INVALID_PARAM;
    }
    if (n.size() > 255) {
        return ERR_ITEM_NAME_TOO_LONG;
    }
    if (value == nullptr && valueLength != 0) {
        return ERR_INVALID_PARAM;
    }
    note->append(
        n, dataType, itemFlags,
        std::string(static_cast<const char*>(value ? value : ""), static_cast<std::size_t>(valueLength)));
    return NOERROR;
}

STATUS NSFItemDelete(NOTEHANDLE hNote, const char* name, WORD nameLength) {
    const auto note = notes::handles::note(hNote);
    if (!note) {
        return ERR_INVALID_HANDLE;
    }
    // Only the first item of the name goes, as in Notes: a body kept in several items is deleted by
    // calling again until none is found.
    const Item* first = note->find(itemName(name, nameLength));
    if (!first) {
        return ERR_ITEM_NOT_FOUND;
    }
    note->removeById(first->id);
    return NOERROR;
}

BOOL NSFItemIsPresent(NOTEHANDLE hNote, const char* name, WORD nameLength) {
    const auto note = notes::handles::note(hNote);
    return note && note->find(itemName(name, nameLength)) != nullptr;
}

STATUS NSFItemInfo(NOTEHANDLE hNote, const char* name, WORD nameLength, BLOCKID* retbhItem, WORD* retDataType,
                   BLOCKID* retbhValue, DWORD* retValueLength) {
    return itemInfoFrom(hNote, 0, itemName(name, nameLength), retbhItem, retDataType, retbhValue,
                        retValueLength);
}

STATUS NSFItemInfoNext(NOTEHANDLE hNote, BLOCKID nextItem, const char* name, WORD nameLength,
                       BLOCKID* retbhItem, WORD* retDataType, BLOCKID* retbhValue, DWORD* retValueLength) {
    const auto note = notes::handles::note(hNote);
    if (!note || nextItem.pool != hNote) {
        return ERR_INVALID_HANDLE;
    }
    for (std::size_t i = 0; i < note->items.size(); ++i) {
        if (note->items[i].id == nextItem.block) {
            return itemInfoFrom(hNote, i + 1, itemName(name, nameLength), retbhItem, retDataType, retbhValue,
                                retValueLength);
        }
    }
    return ERR_ITEM_NOT_FOUND;
}

void NSFItemQuery(NOTEHANDLE hNote, BLOCKID bhItem, char* retItemName, WORD itemNameBufferLength,
                  WORD* retItemNameLength, WORD* retItemFlags, WORD* retDataType, BLOCKID* retbhValue,
                  DWORD* retValueLength) {
    const auto note = notes::handles::note(hNote);
    Item* item = note && bhItem.pool == hNote ? note->findById(bhItem.block) : nullptr;
    if (item == nullptr) {
        if (retItemNameLength) {
            *retItemNameLength = 0;
        }
        return;
    }
    notes::copyText(item->name, retItemName, itemNameBufferLength);
    if (retItemNameLength) {
        *retItemNameLength = static_cast<WORD>(item->name.size());
    }
    if (retItemFlags) {
        *retItemFlags = item->flags;
    }
    if (retDataType) {
        *retDataType = item->type;
    }
    if (retbhValue) {
        *retbhValue = valueBlock(*note, *item, retValueLength);
    } else if (retValueLength) {
        *retValueLength = static_cast<DWORD>(sizeof(WORD) + item->value.size());
    }
}

WORD NSFItemConvertToText(NOTEHANDLE hNote, const char* itemName, char* retBuffer, WORD bufferLength,
                          char separator) {
    const auto note = notes::handles::note(hNote);
    const Item* item = note && itemName ? note->find(itemName) : nullptr;
    const std::string text =
        item ? notes::ods::toText(item->type, item->value, std::string(1, separator)) : "";
    return static_cast<WORD>(notes::copyText(text, retBuffer, bufferLength));
}

WORD NSFItemGetTextListEntries(NOTEHANDLE hNote, const char* itemName) {
    const auto note = notes::handles::note(hNote);
    const Item* item = note && itemName ? note->find(itemName) : nullptr;
    std::vector<std::string> values;
    return item && notes::ods::decodeText(item->type, item->value, &values) ? static_cast<WORD>(values.size())
                                                                            : 0;
}

WORD NSFItemGetTextListEntry(NOTEHANDLE hNote, const char* itemName, WORD entryPos, char* retBuffer,
                             WORD bufferLength) {
    const auto note = notes::handles::note(hNote);
    const Item* item = note && itemName ? note->find(itemName) : nullptr;
    std::vector<std::string> values;
    if (!item || !notes::ods::decodeText(item->type, item->value, &values) || entryPos >= values.size()) {
        return 0;
    }
    return static_cast<WORD>(notes::copyText(values[entryPos], retBuffer, bufferLength));
}

} // extern "C"
