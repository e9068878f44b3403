// Texts of the statuses the stand-in raises.
#include "notes/lnglobal.h"
#include "values.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace notes {
namespace {

struct Text {
    STATUS code;
    const char* text;
};

constexpr Text kTexts[] = {
    {ERR_INVALID_PARAM, "Invalid argument"},
    {ERR_EXISTS, "File already exists"},
    {ERR_NOEXIST, "File does not exist"},
    {ERR_NOT_INITIALIZED, "Notes is not initialized"},
    {ERR_PATH_NOT_ALLOWED,
     "Invalid path: a database path may not be absolute or leave its server's data folder"},
    {ERR_INVALID_HANDLE, "Invalid handle"},
    {ERR_MEMORY, "Insufficient memory"},
    {ERR_HANDLE_LOCKED, "The memory block is locked"},
    {ERR_NO_DATA_DIRECTORY, "The Notes data directory does not exist"},
    {ERR_IO, "File I/O error"},
    {ERR_BUFFER_TOO_SMALL, "The buffer is too small for the value"},
    {ERR_NOT_A_DATABASE, "File is not a database"},
    {ERR_DATABASE_DAMAGED, "Database is damaged and cannot be read"},
    {ERR_DATABASE_BUSY, "Database is in use by another process; try again later"},
    {ERR_ITEM_NOT_FOUND, "Note item not found"},
    {ERR_ITEM_NAME_TOO_LONG, "Item name is too long"},
    {ERR_ITEM_VALUE_TOO_BIG, "Item value is too large"},
    {ERR_INVALID_NOTE, "Invalid or nonexistent document"},
    {ERR_NOTE_DELETED, "Document has been deleted"},
    {ERR_INVALID_ITEM_VALUE, "Item value is damaged or of the wrong type"},
    {ERR_NOT_FOUND, "Entry not found in index"},
    {ERR_BAD_COLLATION, "Collation number specified is invalid"},
    {ERR_FT_QUERY, "Query is not understandable"},
    {ERR_NAMESPACE_NOT_FOUND, "The name lookup view was not found in the directory"},
    {ERR_NO_DIRECTORY, "No directory to look names up in"},
    {ERR_SCHED_NO_USER, "No schedule: the name is no person with a mail file on this server"},
    {ERR_SCHED_BAD_INTERVAL, "No schedule: the interval ends before it starts"},
    {ERR_PASSWORD_MISMATCH, "The password does not match"},
    {ERR_PASSWORD_TOO_LONG, "The password is too long"},
    {ERR_BAD_DIGEST, "The password digest could not be made"},
    {ERR_TDI_CONV, "Unable to interpret time or date"},
    {ERR_SERVER_NOT_RESPONDING, "Server not responding"},
    {ERR_BAD_NAME, "Invalid hierarchical name"},
    {ERR_FORM_NOT_FOUND, "Form not found in the database"},
    {ERR_NOT_AN_ATTACHMENT, "The item is not a file attachment"},
    {ERR_MIME_PART_TOO_BIG, "A MIME part is larger than 65535 bytes"},
    {ERR_MIME_PARSE, "The message could not be read as MIME"},
    {ERR_NOACCESS, "You are not authorized to access that database"},
    {ERR_SINCE_PURGED, "Deletions since that time have been purged; read the database again"},
    {LNERR_NOT_INITIALIZED, "The Notes session is not initialized"},
    {LNERR_API_VERSION, "This version of the C++ API is not supported by the library"},
    {LNERR_DATABASE_NOT_OPEN, "Database is not open"},
    {LNERR_NOTE_NOT_OPEN, "Note is not open"},
    {LNERR_INVALID_UNID, "Invalid universal id"},
    {LNERR_ITEM_TYPE, "Item is of a different type"},
    {LNERR_ITEM_NOT_ATTACHED, "Item does not belong to an open note"},
    {LNERR_INDEX_OUT_OF_RANGE, "Index is out of range"},
    {LNERR_NULL_OBJECT, "Object is empty"},
    {LNERR_DIFFERENT_DATABASE, "The documents are in different databases"},
    {LNERR_INVALID_DATETIME, "Invalid date or time"},
    {LNWARN_NOT_FOUND, "Not found"},
};

} // namespace

std::string errorText(STATUS code) {
    const STATUS err = ERR(code);
    if (err == NOERROR) {
        return "No error";
    }
    const auto* it =
        std::find_if(std::begin(kTexts), std::end(kTexts), [&](const Text& t) { return t.code == err; });
    if (it != std::end(kTexts)) {
        return it->text;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "Unknown error 0x%04X", err);
    return buf;
}

} // namespace notes

extern "C" WORD OSLoadString(HMODULE, STATUS stringCode, char* retBuffer, WORD bufferLength) {
    return static_cast<WORD>(notes::copyText(notes::errorText(stringCode), retBuffer, bufferLength));
}
