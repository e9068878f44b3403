// File attachments: the value of a "$FILE" item (TYPE_OBJECT) and the bytes behind it, which live in
// the database's objects table and are saved with the note.
#pragma once

#include "runtime.h"
#include "store.h"

#include <string>
#include <string_view>

namespace notes::files {

constexpr WORD kSignature = 0x0F1E; // first word of a file object value

struct FileObject {
    std::string name;         // the file name in the note
    std::string originalPath; // the path it was attached from
    DWORD size = 0;
    WORD attributes = 0;
    WORD hostType = HOST_STREAM;
    TIMEDATE created{}, modified{};
    DWORD objectId = 0; // row of the objects table; 0 until saved (or for a listed-only file)
};

std::string encode(const FileObject& file);
// A value without the signature is an older listed-only entry: its bytes are the file name, size 0.
bool decode(std::string_view value, FileObject* out);
bool isFileItem(const Item& item); // a "$FILE" item of TYPE_OBJECT

// Appends a "$FILE" item for bytes that are stored when the note is saved; returns its item id.
// ERR_EXISTS when the note already has an attachment of that name.
STATUS attach(Note& note, std::string_view itemName, std::string bytes, FileObject file, WORD* itemId);
// Reads the file at diskPath and attaches it under name (default: the last component of recordedPath).
STATUS attachFromDisk(Note& note, std::string_view itemName, const std::string& diskPath,
                      const std::string& recordedPath, std::string name, WORD* itemId);
// The bytes of an attachment item: pending ones of an unsaved attachment, else the stored object
// (which may be shorter than the recorded size when damaged; none for a listed-only file).
STATUS bytesOf(Note& note, const Item& item, std::string* out);

// Cuts the stored bytes of attachment `number` (0-based, item order) of a saved note down to
// `length`, keeping its recorded size: a damaged attachment, for tests. ERR_ITEM_NOT_FOUND when the
// note has no such attachment with stored bytes.
STATUS truncateAttachment(Database& db, NOTEID note, WORD number, std::size_t length);

} // namespace notes::files
