// File attachments: "$FILE" items and their bytes in the objects table.
#include "attachments.h"
#include "byteio.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace notes::files {
namespace {

using byteio::get;
using byteio::put;

std::string lastComponent(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::size_t kChunk = 64 * 1024;

} // namespace

std::string encode(const FileObject& file) {
    std::string out;
    put(out, kSignature);
    put(out, file.objectId);
    put(out, file.size);
    put(out, file.attributes);
    put(out, file.hostType);
    put(out, file.created);
    put(out, file.modified);
    put(out, static_cast<WORD>(file.name.size()));
    put(out, static_cast<WORD>(file.originalPath.size()));
    out += file.name;
    out += file.originalPath;
    return out;
}

bool decode(std::string_view value, FileObject* out) {
    *out = FileObject{};
    std::size_t pos = 0;
    WORD signature = 0;
    if (!get(value, pos, &signature) || signature != kSignature) {
        out->name = std::string(value); // listed only: the value is the name
        return !value.empty();
    }
    WORD nameLength = 0, pathLength = 0;
    if (!get(value, pos, &out->objectId) || !get(value, pos, &out->size) ||
        !get(value, pos, &out->attributes) || !get(value, pos, &out->hostType) ||
        !get(value, pos, &out->created) || !get(value, pos, &out->modified) ||
        !get(value, pos, &nameLength) || !get(value, pos, &pathLength) ||
        pos + nameLength + pathLength != value.size()) {
        return false;
    }
    out->name = std::string(value.substr(pos, nameLength));
    out->originalPath = std::string(value.substr(pos + nameLength, pathLength));
    return true;
}

bool isFileItem(const Item& item) {
    return item.type == TYPE_OBJECT && nameEquals(item.name, "$FILE");
}

STATUS attach(Note& note, std::string_view itemName, std::string bytes, FileObject file, WORD* itemId) {
    // A name is data (mail carries "/", "..", control characters); whoever makes a file of it on
    // disk or in a URL makes it safe there.
    if (file.name.empty() || file.name.size() > 0xFFFF || file.originalPath.size() > 0xFFFF) {
        return ERR_INVALID_PARAM;
    }
#if SIZE_MAX > 0xFFFFFFFF // a 32-bit size is always in range
    if (bytes.size() > 0xFFFFFFFFull) {
        return ERR_ITEM_VALUE_TOO_BIG;
    }
#endif
    for (const Item& item : note.items) {
        FileObject other;
        if (isFileItem(item) && decode(item.value, &other) && nameEquals(other.name, file.name)) {
            return ERR_EXISTS; // names find attachments (web links, extraction by name)
        }
    }
    file.size = static_cast<DWORD>(bytes.size());
    file.objectId = 0;
    const WORD id =
        note.append(itemName.empty() ? "$FILE" : itemName, TYPE_OBJECT, ITEM_SUMMARY, encode(file)).id;
    note.pendingObjects.emplace_back(id, std::move(bytes));
    if (itemId != nullptr) {
        *itemId = id;
    }
    return NOERROR;
}

STATUS attachFromDisk(Note& note, std::string_view itemName, const std::string& diskPath,
                      const std::string& recordedPath, std::string name, WORD* itemId) {
    // Sizes through std::filesystem are 64-bit on every target: a 32-bit stat fails on files past
    // 2 GB, and a size past what a DWORD holds is refused before a byte is read.
    std::error_code ec;
    const auto status =
        diskPath.empty() ? std::filesystem::file_status{} : std::filesystem::status(diskPath, ec);
    if (!std::filesystem::exists(status)) {
        return ERR_NOEXIST;
    }
    if (!std::filesystem::is_regular_file(status)) {
        return ERR_INVALID_PARAM;
    }
    const std::uintmax_t length = std::filesystem::file_size(diskPath, ec);
    if (ec) {
        return ERR_IO;
    }
    if (length > 0xFFFFFFFFu) {
        return ERR_ITEM_VALUE_TOO_BIG;
    }
    struct stat st {};
    if (::stat(diskPath.c_str(), &st) != 0) {
        return ERR_IO;
    }
    std::ifstream in(diskPath, std::ios::binary);
    if (!in) {
        return ERR_IO;
    }
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return ERR_IO;
    }
    FileObject file;
    file.originalPath = recordedPath.empty() ? diskPath : recordedPath;
    file.name = name.empty() ? lastComponent(file.originalPath) : std::move(name);
    file.attributes = (st.st_mode & S_IWUSR) ? 0 : ATTRIB_READONLY;
    const std::int64_t modified = static_cast<std::int64_t>(st.st_mtime) * 100;
    file.created = timedateFromTicks(modified);
    file.modified = timedateFromTicks(modified);
    return attach(note, itemName, std::move(bytes), std::move(file), itemId);
}

STATUS bytesOf(Note& note, const Item& item, std::string* out) {
    out->clear();
    FileObject file;
    if (!isFileItem(item) && item.type != TYPE_OBJECT) {
        return ERR_NOT_AN_ATTACHMENT;
    }
    if (!decode(item.value, &file)) {
        return ERR_INVALID_ITEM_VALUE;
    }
    const auto pending = std::find_if(note.pendingObjects.begin(), note.pendingObjects.end(),
                                      [&](const auto& p) { return p.first == item.id; });
    if (pending != note.pendingObjects.end()) {
        *out = pending->second;
        return NOERROR;
    }
    if (file.objectId == 0 || !note.db) {
        return NOERROR; // listed only: no bytes
    }
    STATUS s = note.db->objectBytes(file.objectId, out);
    if (s == ERR_ITEM_NOT_FOUND) { // the object is gone: nothing to hand out
        out->clear();
        return NOERROR;
    }
    if (s == NOERROR && out->size() > file.size) {
        out->resize(file.size);
    }
    return s;
}

STATUS truncateAttachment(Database& db, NOTEID note, WORD number, std::size_t length) {
    Note loaded;
    if (STATUS s = db.load(note, &loaded); s != NOERROR) {
        return s;
    }
    WORD seen = 0;
    for (const Item& item : loaded.items) {
        FileObject file;
        if (!isFileItem(item) || seen++ != number) {
            continue;
        }
        if (!decode(item.value, &file) || file.objectId == 0) {
            return ERR_ITEM_NOT_FOUND;
        }
        return db.truncateObject(file.objectId, length);
    }
    return ERR_ITEM_NOT_FOUND;
}

} // namespace notes::files

namespace {

// The item a BLOCKID names in an open note.
notes::Item* itemOf(const std::shared_ptr<notes::Note>& note, NOTEHANDLE hNote, BLOCKID bhItem) {
    return note && bhItem.pool == hNote ? note->findById(bhItem.block) : nullptr;
}

} // namespace

extern "C" BOOL MailGetMessageAttachmentInfo(NOTEHANDLE hMessage, WORD num, BLOCKID* bhItem,
                                             char* retFileName, DWORD* retFileSize, WORD* retFileAttributes,
                                             WORD* retFileHostType, TIMEDATE* retFileCreated,
                                             TIMEDATE* retFileModified) {
    const auto note = notes::handles::note(hMessage);
    if (!note) {
        return FALSE;
    }
    WORD seen = 0;
    for (const notes::Item& item : note->items) {
        if (!notes::files::isFileItem(item)) {
            continue;
        }
        if (seen++ != num) {
            continue;
        }
        notes::files::FileObject file;
        if (!notes::files::decode(item.value, &file)) {
            return FALSE;
        }
        if (bhItem) {
            *bhItem = BLOCKID{hMessage, item.id};
        }
        notes::copyText(file.name, retFileName, MAXPATH);
        if (retFileSize) {
            *retFileSize = file.size;
        }
        if (retFileAttributes) {
            *retFileAttributes = file.attributes;
        }
        if (retFileHostType) {
            *retFileHostType = file.hostType;
        }
        if (retFileCreated) {
            *retFileCreated = file.created;
        }
        if (retFileModified) {
            *retFileModified = file.modified;
        }
        return TRUE;
    }
    return FALSE;
}

extern "C" STATUS NSFNoteExtractWithCallback(NOTEHANDLE hNote, BLOCKID bhItem, char*, WORD,
                                             NOTEEXTRACTCALLBACK callback, void* param) {
    const auto note = notes::handles::note(hNote);
    if (!note) {
        return ERR_INVALID_HANDLE;
    }
    if (callback == nullptr) {
        return ERR_INVALID_PARAM;
    }
    const notes::Item* item = itemOf(note, hNote, bhItem);
    if (item == nullptr) {
        return ERR_ITEM_NOT_FOUND;
    }
    std::string bytes;
    if (STATUS s = notes::files::bytesOf(*note, *item, &bytes); s != NOERROR) {
        return s;
    }
    for (std::size_t pos = 0; pos < bytes.size(); pos += notes::files::kChunk) {
        const std::size_t n = std::min(notes::files::kChunk, bytes.size() - pos);
        if (STATUS s =
                callback(reinterpret_cast<const BYTE*>(bytes.data() + pos), static_cast<DWORD>(n), param);
            s != NOERROR) {
            return s;
        }
    }
    return callback(reinterpret_cast<const BYTE*>(bytes.data()), 0, param);
}

extern "C" STATUS NSFNoteExtractFile(NOTEHANDLE hNote, BLOCKID bhItem, const char* fileName, void*) {
    const auto note = notes::handles::note(hNote);
    if (!note) {
        return ERR_INVALID_HANDLE;
    }
    if (fileName == nullptr || *fileName == '\0') {
        return ERR_INVALID_PARAM;
    }
    const notes::Item* item = itemOf(note, hNote, bhItem);
    if (item == nullptr) {
        return ERR_ITEM_NOT_FOUND;
    }
    std::string bytes;
    if (STATUS s = notes::files::bytesOf(*note, *item, &bytes); s != NOERROR) {
        return s;
    }
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) {
        return ERR_IO;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return out ? NOERROR : ERR_IO;
}

extern "C" STATUS NSFNoteAttachFile(NOTEHANDLE hNote, const char* itemName, WORD itemNameLength,
                                    const char* pathName, const char* originalPathName, WORD) {
    const auto note = notes::handles::note(hNote);
    if (!note) {
        return ERR_INVALID_HANDLE;
    }
    if (pathName == nullptr) {
        return ERR_INVALID_PARAM;
    }
    std::string name = itemName == nullptr ? std::string("$FILE")
                       : itemNameLength    ? std::string(itemName, strnlen(itemName, itemNameLength))
                                           : std::string(itemName);
    return notes::files::attachFromDisk(*note, name, pathName, originalPathName ? originalPathName : "", "",
                                        nullptr);
}
